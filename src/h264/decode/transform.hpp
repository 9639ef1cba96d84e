// H.264 inverse transforms and dequantisation (H.264 clauses 8.5.6 to 8.5.13 and 8.6): the
// per-block kernels of the family, their table, and the read-only tables they use.
//
// The kernels do no argument checking: the exported functions (transform_api.cpp) and the
// macroblock reconstruction functions check and then call one kernel from
// `OPX_SELECT(opx::h264, kTransform)`. Both tables (portable `ref`, `avx2`) give bit-identical
// results for every input in the stated domain, including inputs far outside what a conforming
// stream produces; the arithmetic of each kernel (16-bit wrapping, 16-bit saturating, exact or
// 32-bit wrapping) is part of its contract and is stated with it.
//
// Common terms:
//  - Blocks are raster arrays (row = vertical frequency): 16 values for 4x4 and the luma DC
//    array, 4 for the 2x2 chroma DC array, 8 for the 2x4 chroma DC array (2 columns, 4 rows, row
//    by row), 64 for 8x8. Only `dequant_residual4x4_flat` addresses its block with a row step.
//  - Position class of a 4x4 position (class4x4): 0 row and column even, 1 both odd, 2 otherwise.
//  - v(m, k) = kNormAdjust4x4[m][k], the standard's normAdjust4x4 (m = qP % 6, k = class).
//  - Flat style: coefficient c at position i becomes c * (v(qp % 6, class(i)) << (qp / 6)), the
//    product reduced to 16 bits (wrapping); kDequantFlat4x4[qp][i] holds the factor.
//  - Matrix style: LS = level_scale[i], the standard's LevelScale4x4/8x8 for qP % 6 (weightScale
//    x normAdjust); with no scaling matrix the caller passes kFlatLevelScale4x4[qp % 6]
//    (16 x v). Kernels always get a valid level_scale pointer or value.
//  - The inverse 4x4 transform (clause 8.5.12.2), on each row then each column:
//      e0 = d0 + d2, e1 = d0 - d2, e2 = (d1 >> 1) - d3, e3 = d1 + (d3 >> 1),
//      out = (e0 + e3, e1 + e2, e1 - e2, e0 - e3), then r = (r + 32) >> 6.
//    "sat16" below means every addition and subtraction of that formula (and the + 32) is
//    saturated to -32768..32767; "wrap16" means reduced modulo 2^16; "exact" means computed in
//    wide enough integers; "wrap32" means 32-bit two's-complement wrapping.
//  - The inverse 8x8 transform (clause 8.5.13.2), on each row then each column, with every
//    multi-term sum evaluated left to right as written here (this fixes where sat16 applies):
//      e0 = d0 + d4               e1 = ((d5 - d3) - d7) - (d7 >> 1)
//      e2 = d0 - d4               e3 = ((d1 + d7) - d3) - (d3 >> 1)
//      e4 = (d2 >> 1) - d6        e5 = ((d7 - d1) + d5) + (d5 >> 1)
//      e6 = d2 + (d6 >> 1)        e7 = ((d3 + d5) + d1) + (d1 >> 1)
//      f0 = e0 + e6, f1 = e1 + (e7 >> 2), f2 = e2 + e4, f3 = e3 + (e5 >> 2),
//      f4 = e2 - e4, f5 = (e3 >> 2) - e5, f6 = e0 - e6, f7 = e7 - (e1 >> 2),
//      out = (f0 + f7, f2 + f5, f4 + f3, f6 + f1, f6 - f1, f4 - f3, f2 - f5, f0 - f7),
//    then r = (r + 32) >> 6.
//  - Adding the prediction: out = clamp(pred + r, 0, max). In the 8-bit kernels the addition is
//    sat16 (it never saturates: |r| <= 512 after the shift) and max is 255; in the 16-bit-sample
//    kernels max = max_sample = (1 << bitDepth) - 1, bitDepth 9..14.
//  - pred and dst of the AddPred kernels may be the same block (in-place reconstruction); steps
//    are in bytes and may be negative.
#pragma once

#include <cstdint>

#include "opxvc.h"

// The tables and kernel tables are internal to the library: hidden visibility lets the code
// reach them without a GOT load.
#pragma GCC visibility push(hidden)

namespace opx::h264 {

// ---- tables (transform_tables.cpp) --------------------------------------------------------

// A read-only two-dimensional table; t[a][b] reads like a plain array.
template <class T, int A, int B>
struct Table2 {
    T v[A][B];
    constexpr const T* operator[](int a) const noexcept { return v[a]; }
};

// H.264 clause 8.5.9, normAdjust4x4 v(m, k): [6 /* qP % 6 */][3 /* position class */].
extern const Table2<std::uint8_t, 6, 3> kNormAdjust4x4;
// H.264 clause 8.6.1, LevelScale2 of the SP/SI requantisation (the forward quantisation
// factors): [6 /* QS % 6 */][3 /* position class */].
extern const Table2<std::uint16_t, 6, 3> kLevelScale2;
// The standard's LevelScale4x4 with flat weights (16 x v): [6 /* qP % 6 */][16 /* raster */].
// The default of the matrix-style functions when no level-scale array is given.
extern const Table2<Opx16s, 6, 16> kFlatLevelScale4x4;
// Flat dequantisation factors v(qp % 6, class(i)) << (qp / 6): [52 /* qp */][16 /* raster */].
extern const Table2<Opx16s, 52, 16> kDequantFlat4x4;

// Position class of raster position i of a 4x4 block.
constexpr int class4x4(int i) noexcept {
    const int row = i >> 2, col = i & 3;
    return ((row | col) & 1) == 0 ? 0 : ((row & col) & 1) ? 1 : 2;
}

// ---- kernel types ---------------------------------------------------------------------------
//
// The kernels that an exported function calls with its own arguments (same order, same types)
// return opxOk and take the raw AC flag (nonzero: AC present) and a level-scale pointer that may
// be null (the flat default), so that the exported function ends in a tail jump to the kernel,
// with the stack arguments left where the caller put them.

// Flat-style 4x4 reconstruction (the rules of opxiDequantTransformResidualAndAdd).
//  DC value: *dc when dc is not null, else wrap16(coeffs[0] * kDequantFlat4x4[qp][0]).
//  ac true:  positions 1..15 become wrap16(c * kDequantFlat4x4[qp][i]), position 0 the DC value;
//            sat16 inverse 4x4 transform; the 16 residuals are written back to coeffs.
//  ac false: every residual is sat16(DC + 32) >> 6; coeffs is neither read (when dc is given,
//            and may then be null) nor written.
//  dst = clamp(pred + residual, 0, 255). qp 0..51.
// The argument order is that of the exported function; ac nonzero means true.
using AddFlat4x4Fn = OpxResult (*)(const Opx8u* pred, Opx16s* coeffs, const Opx16s* dc, Opx8u* dst,
                                   Opx32s pred_step, Opx32s dst_step, Opx32s qp,
                                   Opx32s ac) noexcept;

// Matrix-style 4x4 reconstruction, 8-bit (the rules of opxiTransformQuantInvAddPred4x4 16s,
// clause 8.5.12.1). With d = c * LS exact (fits 32 bits) and q6 = qp / 6:
//  scale(c, LS) = qp < 24 ? (d + 2^(3 - q6)) >> (4 - q6) : d * 2^(q6 - 4)  (exact).
//  ac true:  every position becomes sat16(scale(c, LS)); position 0 then takes *dc when dc is
//            given; sat16 inverse transform; residuals written back to coeffs;
//            dst = clamp(pred + residual, 0, 255).
//  ac false: DC = *dc, or wrap16(scale(coeffs[0], level_scale[0])); every residual is
//            sat16(DC + 32) >> 6; coeffs is not written (nor read when dc is given).
// qp 0..51; ac nonzero means true; level_scale: 16 values, or null for the flat default
// kFlatLevelScale4x4[qp % 6].
using AddMatrix4x4Fn = OpxResult (*)(const Opx8u* pred, Opx32s pred_step, Opx16s* coeffs,
                                     const Opx16s* dc, Opx8u* dst, Opx32s dst_step, Opx32s qp,
                                     Opx32s ac, const Opx16s* level_scale) noexcept;

// Matrix-style 4x4 reconstruction, high bit depth (opxiTransformQuantInvAddPred4x4 32s): as
// AddMatrix4x4Fn with every operation wrap32 (product, rounding, shifts, transform, + 32), no
// saturation, qp 0..87 (q6 up to 14), and dst = clamp(pred + residual, 0, max_sample).
// ac false: DC = *dc or the wrap32 scaled coeffs[0]; every residual is wrap32(DC + 32) >> 6.
using AddMatrix4x4HighFn = void (*)(const Opx16u* pred, std::int32_t pred_step, Opx32s* coeffs,
                                    const Opx32s* dc, Opx16u* dst, std::int32_t dst_step, int qp,
                                    bool ac, int max_sample, const Opx16s* level_scale) noexcept;

// Flat-style 4x4 dequantisation and inverse transform in place with a row step in bytes (>= 8)
// (opxiDequantTransformResidual). DC value as in AddFlat4x4Fn.
//  ac true:  positions 1..15 dequantised as in AddFlat4x4Fn, position 0 the DC value; the row
//            pass is wrap16, the column pass and the final (r + 32) >> 6 are exact (the outputs
//            fit 16 bits); the residuals replace the coefficients.
//  ac false: all 16 positions become (DC + 32) >> 6, exact; positions 1..15 are not read.
using DequantResidualFlat4x4Fn = void (*)(Opx16s* coeffs, std::int32_t step, const Opx16s* dc,
                                          bool ac, int qp) noexcept;

// SP/SI 4x4 reconstruction (clause 8.6), in place: coeffs holds the levels c, pred_coeffs the
// forward 4x4 transform of the prediction, the output the reconstructed samples 0..255.
// With A(k) = 16, 25, 20 and i over the positions (c_i = 0 for i >= 1 when ac is false):
//  switching false (clause 8.6.1): cs = pred_i + ((c_i * A(k) * (v(qp % 6, k) << (qp / 6))) >> 6)
//      level = sign(cs) * ((|cs| * LevelScale2(qs % 6, k) + 2^(14 + qs / 6)) >> (15 + qs / 6))
//  switching true (clause 8.6.2):
//      level = c_i + sign(pred_i) * ((|pred_i| * LevelScale2(qs % 6, k) + 2^(14 + qs / 6))
//              >> (15 + qs / 6))
//  all exact; then w_i = wrap16(level * (v(qs % 6, k) << (qs / 6))); w_0 = *dc when dc is given.
//  Inverse transform with a wrap16 row pass and an exact column pass, (r + 32) >> 6 clamped to
//  0..255. qp, qs 0..51.
using SispResidual4x4Fn = void (*)(Opx16s* coeffs, const Opx16s* pred_coeffs, const Opx16s* dc,
                                   bool ac, int qp, int qs, bool switching) noexcept;

// SP/SI chroma DC (2x2): p' = 2x2 transform of dc_pred (exact). With v0(q) = v(q % 6, 0):
//  switching false: dcs = p' + ((c * (v0(qp) << (qp / 6)) * 16) >> 5)
//      dcr = sign(dcs) * ((|dcs| * LevelScale2(qs % 6, 0) + 2^(15 + qs / 6)) >> (16 + qs / 6))
//  switching true:
//      dcr = c + sign(p') * ((|p'| * LevelScale2(qs % 6, 0) + 2^(15 + qs / 6)) >> (16 + qs / 6))
//  then g = dcr * (v0(qs) << (qs / 6)), the 2x2 transform of g, each value >> 1, all exact, the
//  results reduced to 16 bits into dc. qp, qs 0..51.
using SispChromaDcFn = void (*)(Opx16s* dc, const Opx16s* dc_pred, int qp, int qs,
                                bool switching) noexcept;

// Flat luma DC (opxiTransformDequantLumaDC, clause 8.5.10): f = H c H exact (H the 4x4 Hadamard
// matrix); dcY = (f * T + r) >> s with T = v(qp % 6, 0) << max(qp / 6 - 2, 0) and (r, s) = (2, 2)
// for qp < 6, (1, 1) for qp 6..11, (0, 0) from 12; the low 16 bits are stored. qp 0..51.
using LumaDcFlatFn = OpxResult (*)(Opx16s* c, Opx32s qp) noexcept;

// Flat chroma DC 2x2 (opxiTransformDequantChromaDC, clause 8.5.11): f0 = c0 + c1 + c2 + c3,
// f1 = c0 - c1 + c2 - c3, f2 = c0 + c1 - c2 - c3, f3 = c0 - c1 - c2 + c3, each wrap16;
// dcC = (f * (v(qp % 6, 0) << (qp / 6))) >> 1 (exact), low 16 bits stored. qp 0..51.
using ChromaDcFlatFn = void (*)(Opx16s* c, int qp) noexcept;

// Matrix-style DC arrays, in place, ls = LevelScale(qP % 6, 0, 0) (level_scale[0] or the flat
// default), q6 = qP / 6:
//  luma 4x4 (clause 8.5.10): 4x4 Hadamard, rows then columns, butterfly
//      (x0 + x1) + (x2 + x3), (x0 + x1) - (x2 + x3), (x0 - x1) - (x2 - x3), (x0 - x1) + (x2 - x3)
//      (the output order of H's rows); then qP >= 36: (f * ls) << (q6 - 6), else
//      (f * ls + 2^(5 - q6)) >> (6 - q6).
//      16s: Hadamard sat16, scaling exact then sat16. qP 0..51.  32s: wrap32. qP 0..87.
//  chroma 2x2 (clause 8.5.11.2): the 2x2 transform of ChromaDcFlatFn; then q6 < 5:
//      (f * ls) >> (5 - q6), else (f * ls) << (q6 - 5).
//      16s: transform wrap16, product exact, q6 < 5 low 16 bits, else sat16. qP 0..39.
//      32s: wrap32. qP 0..75.
//  chroma 2x4 (4:2:2, clause 8.5.11.2): the argument qp is QPc; the kernel uses qP = qp + 3 and
//      ls must be LevelScale((qp + 3) % 6, 0, 0). Per row r: s_r = c[2r] + c[2r+1],
//      d_r = c[2r] - c[2r+1]; output column 0 (positions 0, 2, 4, 6) is the 4-point Hadamard
//      of s: (s0 + s1) + (s2 + s3), (s0 + s1) - (s2 + s3), (s0 - s1) - (s2 - s3),
//      (s0 - s1) + (s2 - s3); column 1 (positions 1, 3, 5, 7) the same of d. Then q6 < 6:
//      (f * ls + 2^(5 - q6)) >> (6 - q6), else (f * ls) << (q6 - 6).
//      16s: s, d sat16, Hadamard wrap16, q6 < 6 exact then sat16, else wrap16. QPc 0..39.
//      32s: wrap32. QPc 0..75.
using DcMatrixFn = void (*)(Opx16s* c, int qp, int ls) noexcept;
using DcMatrixHighFn = void (*)(Opx32s* c, int qp, int ls) noexcept;

// Inverse 4x4 transform of dequantised coefficients from src to dst (src unchanged, may equal
// dst): 16s sat16, 32s wrap32 (opxiTransformResidual4x4Inv).
using Residual4x4Fn = void (*)(const Opx16s* src, Opx16s* dst) noexcept;
using Residual4x4HighFn = void (*)(const Opx32s* src, Opx32s* dst) noexcept;

// 8x8 dequantisation in place (clause 8.5.13.1), LS = level_scale[i] (64 values for qP % 6),
// qp6 = qP / 6:
//  16s, qp6 0..8: qp6 < 6: sat16((c * LS + 2^(5 - qp6)) >> (6 - qp6)) from the exact product;
//       qp6 >= 6: wrap16(c * LS << (qp6 - 6)).
//  32s, qp6 0..14: the product c * LS is exact (no pre-saturation of c); qp6 < 6:
//       (c * LS + 2^(5 - qp6)) >> (6 - qp6), qp6 >= 6: (c * LS) << (qp6 - 6); the result
//       reduced to its low 32 bits.
using Dequant8x8Fn = OpxResult (*)(Opx16s* c, Opx32s qp6, const Opx16s* level_scale) noexcept;
using Dequant8x8HighFn = void (*)(Opx32s* c, int qp6, const Opx16s* level_scale) noexcept;

// Inverse 8x8 transform of dequantised coefficients plus prediction; coeffs are not written.
// 8-bit: sat16 transform, clamp 0..255. High: wrap32 transform, clamp 0..max_sample.
using Add8x8Fn = OpxResult (*)(const Opx8u* pred, Opx32s pred_step, const Opx16s* coeffs,
                               Opx8u* dst, Opx32s dst_step) noexcept;
using Add8x8HighFn = void (*)(const Opx16u* pred, std::int32_t pred_step, const Opx32s* coeffs,
                              Opx16u* dst, std::int32_t dst_step, int max_sample) noexcept;

// ---- the kernel table ---------------------------------------------------------------------

struct TransformKernels {
    AddFlat4x4Fn add4x4_flat;
    AddMatrix4x4Fn add4x4_matrix;
    AddMatrix4x4HighFn add4x4_matrix_high;
    DequantResidualFlat4x4Fn dequant_residual4x4_flat;
    SispResidual4x4Fn sisp4x4;
    SispChromaDcFn sisp_chroma_dc;
    LumaDcFlatFn luma_dc_flat;
    ChromaDcFlatFn chroma_dc_flat;
    DcMatrixFn luma_dc_matrix;
    DcMatrixHighFn luma_dc_matrix_high;
    DcMatrixFn chroma_dc2x2_matrix;
    DcMatrixHighFn chroma_dc2x2_matrix_high;
    DcMatrixFn chroma_dc2x4_matrix;
    DcMatrixHighFn chroma_dc2x4_matrix_high;
    Residual4x4Fn residual4x4;
    Residual4x4HighFn residual4x4_high;
    Dequant8x8Fn dequant8x8;
    Dequant8x8HighFn dequant8x8_high;
    Add8x8Fn add8x8;
    Add8x8HighFn add8x8_high;
};

namespace ref {
extern const TransformKernels kTransform;
}
namespace avx2 {
extern const TransformKernels kTransform;
}

}  // namespace opx::h264

#pragma GCC visibility pop
