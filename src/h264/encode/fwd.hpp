// H.264 forward transforms and quantisation: the encoder's side of residual coding (the inverse
// of H.264 clauses 8.5.10 to 8.5.13). Kernel signatures, the kernel table and the read-only
// tables of the family.
//
// Common terms (every kernel follows them; the exported functions in fwd_api.cpp check the
// arguments and call one kernel from `OPX_SELECT(opx::h264::enc, kFwd)`; the kernels of the 16s
// block quantisers take the exported function's arguments as they come and store the facts
// themselves, so that those entry points end in a jump):
//  - Blocks are raster arrays (row = vertical frequency): 16 values for 4x4 blocks and the luma
//    DC array, 4 for the 2x2 chroma DC array, 8 for the 2x4 chroma DC array (2 columns by 4
//    rows, row by row), 64 for 8x8 blocks.
//  - Forward 4x4 core transform, on each row x0..x3 and then on each column of the result:
//      y0 = (x0 + x3) + (x1 + x2), y1 = 2(x0 - x3) + (x1 - x2),
//      y2 = (x0 + x3) - (x1 + x2), y3 = (x0 - x3) - 2(x1 - x2).
//    Its gain is at most 6 per pass, 36 overall: 16-bit residuals give coefficients of at most
//    36 x 32768 (exact in 32 bits), and residuals within +-910 give coefficients within 16 bits.
//  - Forward 8x8 transform: the rows then the columns with the butterflies written out in
//    fwd_ref.cpp (arithmetic shifts, 32-bit intermediates; gain at most 64 overall).
//  - Quantisation of a coefficient c with scale s, shift q and offset f:
//      level = sign(c) x ((|c| x s + f) >> q),
//    formed from the magnitude, so no negative value is ever shifted; the product is exact
//    (64 bits where 32 might not hold it). 16-bit outputs clamp the level to -32768..32767,
//    32-bit outputs to the 32-bit range. Caller scale arrays are read as unsigned values.
//  - Block facts: `count` is the number of non-zero levels, negated when the kernel's function
//    reports it so and the level at position 0 is non-zero; `last` is the largest pScanMatrix
//    value among the positions holding a non-zero level, 0 when none does (a scan value below 0
//    never wins over that 0).
#pragma once

#include <cstdint>

#include "opxvc.h"

#pragma GCC visibility push(hidden)

namespace opx::h264::enc {

// ---- tables (fwd_tables.cpp) ------------------------------------------------------------------

// Six rows, one per qp % 6, of N values; t[m][i] reads like a plain array.
template <class T, int N>
struct PerQpRem {
    T v[6][N];
    constexpr const T* operator[](int m) const noexcept { return v[m]; }
};

// Forward scale MF of the 4x4 transform: [6 /* qp % 6 */][3 /* class: both even, both odd,
// mixed */]; kQuantScale4x4 holds the same values.
inline constexpr PerQpRem<std::uint16_t, 3> kMf4x4 = {{
    {13107, 5243, 8066},
    {11916, 4660, 7490},
    {10082, 4194, 6554},
    {9362, 3647, 5825},
    {8192, 3355, 5243},
    {7282, 2893, 4559},
}};
extern const PerQpRem<std::uint16_t, 3> kQuantScale4x4;
// The same per raster position: [6 /* qp % 6 */][16 /* raster */].
extern const PerQpRem<std::uint16_t, 16> kQuantScale4x4Raster;
// Forward scale MF8 of the 8x8 transform per raster position: [6 /* qp % 6 */][64].
extern const PerQpRem<std::uint16_t, 64> kQuantScale8x8Raster;
// H.264 clause 8.5.9, normAdjust4x4 per raster position: [6 /* qp % 6 */][16].
extern const PerQpRem<std::uint8_t, 16> kNormAdjust4x4Raster;
// H.264 clause 8.5.9, normAdjust8x8 per raster position: [6 /* qp % 6 */][64].
extern const PerQpRem<std::uint8_t, 64> kNormAdjust8x8Raster;

// Position class of raster position i of a 4x4 block: 0 row and column even, 1 both odd, 2
// otherwise.
constexpr int class4x4(int i) noexcept {
    const int row = i >> 2, col = i & 3;
    return ((row | col) & 1) == 0 ? 0 : ((row & col) & 1) ? 1 : 2;
}

// Position class of an 8x8 raster position (the six classes of normAdjust8x8).
constexpr int class8x8(int i) noexcept {
    const int r = i >> 3, c = i & 7;
    if (r % 4 == 0 && c % 4 == 0) return 0;
    if (r % 2 == 1 && c % 2 == 1) return 1;
    if (r % 4 == 2 && c % 4 == 2) return 2;
    if ((r % 4 == 0 && c % 2 == 1) || (r % 2 == 1 && c % 4 == 0)) return 3;
    if ((r % 4 == 0 && c % 4 == 2) || (r % 4 == 2 && c % 4 == 0)) return 4;
    return 5;
}

// ---- kernel types -----------------------------------------------------------------------------

struct BlockFacts {
    std::int32_t count;
    std::int32_t last;
};

// Transform and quantise one 4x4 residual block (opxiTransformQuantFwd4x4): exact transform,
// then the 4x4 rule with s = MF[qp % 6][class], q = 15 + qp / 6, or s = scale[i] (read as
// unsigned 16-bit), q = 11 + qp / 6 when scale is not null; f = floor(2^q / 3) (intra) or
// floor(2^q / 6). count negated when level 0 is non-zero. qp 0..51 (16s), 0..87 (16s32s).
// The 16s kernel takes the exported function's arguments and stores the facts, as Quant4x4Fn.
using TransQuant4x4Fn = OpxResult (*)(const Opx16s* src, Opx16s* dst, Opx32s qp, Opx32s* num,
                                      Opx32s intra, const Opx16s* scan, Opx32s* last,
                                      const Opx16s* scale) noexcept;
using TransQuant4x4WideFn = BlockFacts (*)(const Opx16s* src, Opx32s* dst, int qp, bool intra,
                                           const Opx16s* scan, const Opx16s* scale) noexcept;

// Quantise 16 coefficients (opxiQuantizeResidual4x4Fwd): the 4x4 rule as above; the count is
// never negated. 16s: scale (optional) unsigned 16-bit, qp 0..51. 16s32s: scale required,
// qp 0..51. 32s: scale optional, qp 0..87; the 32-bit scale values are read as unsigned.
// The 16s kernel takes the exported function's arguments as they come (checked; intra any
// non-zero value), stores the facts itself and returns opxOk, so that the entry point ends in a
// jump: for a call this short, a second call with its frame, the facts passed back and stored
// afterwards cost about a third more.
using Quant4x4Fn = OpxResult (*)(const Opx16s* src, Opx16s* dst, Opx32s* num, Opx32s* last,
                                 const Opx16u* scale, const Opx16s* scan, Opx32s qp,
                                 Opx32s intra) noexcept;
using Quant4x4WideFn = BlockFacts (*)(const Opx16s* src, Opx32s* dst, int qp, bool intra,
                                      const Opx16s* scan, const Opx32s* scale) noexcept;
using Quant4x4HighFn = BlockFacts (*)(const Opx32s* src, Opx32s* dst, int qp, bool intra,
                                      const Opx16s* scan, const Opx32s* scale) noexcept;

// Transform only. 16s: every intermediate sum saturated to 16 bits; 32s: 32-bit wrapping.
using Transform4x4Fn = void (*)(const Opx16s* src, Opx16s* dst) noexcept;
using Transform4x4HighFn = void (*)(const Opx32s* src, Opx32s* dst) noexcept;
// 8x8 forward transform with 32-bit intermediates (exact for 16-bit input); the 16s output is
// saturated to 16 bits. src may equal dst.
// The 16s kernel returns opxOk, so that its entry points end in a jump.
using Transform8x8Fn = OpxResult (*)(const Opx16s* src, Opx16s* dst) noexcept;
using Transform8x8WideFn = void (*)(const Opx16s* src, Opx32s* dst) noexcept;

// Quantise 64 coefficients (opxiQuantLuma8x8): s = scale[i] (unsigned), q = 12 + qp_per,
// f = 682 x 2^(qp_per + 1) (intra) or 342 x 2^(qp_per + 1); the 16s form saturates |c| to
// 32767 first. count negated when level 0 is non-zero. qp_per 0..8 (16s), 0..14 (32s).
// The 16s kernel takes the exported function's arguments as they come and stores the facts, as
// Quant4x4Fn.
using Quant8x8Fn = OpxResult (*)(const Opx16s* src, Opx16s* dst, Opx32s qp_per, Opx32s intra,
                                 const Opx16s* scan, const Opx16u* scale, Opx32s* num,
                                 Opx32s* last) noexcept;
using Quant8x8HighFn = BlockFacts (*)(const Opx32s* src, Opx32s* dst, int qp_per, bool intra,
                                      const Opx16s* scan, const Opx16u* scale) noexcept;

// Luma DC 4x4 (opxiTransformQuantFwdLumaDC4x4): with need_transform the 4x4 Hadamard of
// srcdst (exact), each value >> 1 (floor), saturated to 16 (32) bits, is written to tblock;
// otherwise tblock is read and left as it is. The values of tblock are then quantised into
// srcdst with s = MF[qp % 6][0], q = 16 + qp / 6, f = floor(2^q / 3), or with scale given
// s = scale[0] (unsigned), q = 12 + qp / 6, f = 682 x 2^(qp / 6 + 1). count negated when level 0
// is non-zero. qp 0..51 (16s), 0..87 (32s).
// The 16s kernel takes the exported function's arguments and stores the facts, as Quant4x4Fn.
using LumaDcFn = OpxResult (*)(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num,
                               Opx32s need_transform, const Opx16s* scan, Opx32s* last,
                               const Opx16s* scale) noexcept;
using LumaDcHighFn = BlockFacts (*)(Opx32s* srcdst, Opx32s* tblock, int qp, bool need_transform,
                                    const Opx16s* scan, const Opx16s* scale) noexcept;

// Chroma DC (opxiTransformQuantFwdChromaDC2x2 / 2x4): the 2x2 or 2x4 DC transform, saturated
// to 16 (32) bits, into tblock when need_transform, else tblock read; quantised into srcdst.
// 2x2: s = MF[qp % 6][0], q = 16 + qp / 6, f = floor(2^q / 3) / floor(2^q / 6); with scale
// s = scale[0], q = 12 + qp / 6. 2x4: qp' = qp + 3 in place of qp, f = 682 / 342 x 2^(q - 11).
// Only `count` is meaningful (negated when level 0 is non-zero). qp 0..39 (16s), 0..75 (32s).
// The 16s kernels take the exported functions' arguments as they come (checked; intra and
// need_transform any non-zero value), store the count themselves and return opxOk, as Quant4x4Fn.
using ChromaDcFn = OpxResult (*)(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num,
                                 Opx32s intra, Opx32s need_transform, const Opx16s* scale) noexcept;
using ChromaDcHighFn = BlockFacts (*)(Opx32s* srcdst, Opx32s* tblock, int qp, bool intra,
                                      bool need_transform, const Opx16s* scale) noexcept;

// Older in-place forms with the level guard: the work of their current counterparts (flat
// scales) done into local blocks; when any level's magnitude exceeds 2063 they return false and
// write nothing, else they store levels (and tblock) and the facts and return true.
// Residual: exact 4x4 transform, 4x4 rule. Luma DC: as LumaDcFn without scale. Chroma DC: as
// the 2x2 ChromaDcFn without scale (facts.last unused).
using OldResidualFn = bool (*)(Opx16s* srcdst, int qp, bool intra, const Opx16s* scan,
                               BlockFacts* facts) noexcept;
using OldLumaDcFn = bool (*)(Opx16s* srcdst, Opx16s* tblock, int qp, bool need_transform,
                             const Opx16s* scan, BlockFacts* facts) noexcept;
using OldChromaDcFn = bool (*)(Opx16s* srcdst, Opx16s* tblock, int qp, bool intra,
                               bool need_transform, BlockFacts* facts) noexcept;

// Exact forward 4x4 transform of 8-bit samples (opxiTransformPrediction).
using TransformPredFn = void (*)(const Opx8u* src, std::int32_t step, Opx16s* dst) noexcept;

// Scale-level generation for one qp % 6 (opxiGenScaleLevel4x4 / 8x8): dequant = w x normAdjust,
// quant = floor(MF / w); a weight of 0 gives quant 1 and dequant 0. The 8x8 weights are read as
// 8 rows of 8 bytes, `step` bytes apart.
using GenScale4x4Fn = void (*)(const Opx8u* weights, Opx16u* dequant, Opx16u* quant,
                               int qp_rem) noexcept;
using GenScale8x8Fn = void (*)(const Opx8u* weights, std::int32_t step, Opx16u* dequant,
                               Opx16u* quant, int qp_rem) noexcept;

struct FwdKernels {
    TransQuant4x4Fn trans_quant4x4;
    TransQuant4x4WideFn trans_quant4x4_wide;
    Quant4x4Fn quant4x4;
    Quant4x4WideFn quant4x4_wide;
    Quant4x4HighFn quant4x4_high;
    Transform4x4Fn transform4x4;
    Transform4x4HighFn transform4x4_high;
    Transform8x8Fn transform8x8;
    Transform8x8WideFn transform8x8_wide;
    Quant8x8Fn quant8x8;
    Quant8x8HighFn quant8x8_high;
    LumaDcFn luma_dc;
    LumaDcHighFn luma_dc_high;
    ChromaDcFn chroma_dc2x2;
    ChromaDcHighFn chroma_dc2x2_high;
    ChromaDcFn chroma_dc2x4;
    ChromaDcHighFn chroma_dc2x4_high;
    OldResidualFn old_residual;
    OldLumaDcFn old_luma_dc;
    OldChromaDcFn old_chroma_dc;
    TransformPredFn transform_pred;
    GenScale4x4Fn gen_scale4x4;
    GenScale8x8Fn gen_scale8x8;
};

namespace ref {
extern const FwdKernels kFwd;

// Portable kernels that the AVX2 table shares (cases too rare or too small to pay for a vector
// form: 32-bit data, DC arrays, scale generation).
OpxResult trans_quant4x4(const Opx16s*, Opx16s*, Opx32s, Opx32s*, Opx32s, const Opx16s*, Opx32s*,
                         const Opx16s*) noexcept;
BlockFacts trans_quant4x4_wide(const Opx16s*, Opx32s*, int, bool, const Opx16s*,
                               const Opx16s*) noexcept;
BlockFacts quant4x4_wide(const Opx16s*, Opx32s*, int, bool, const Opx16s*, const Opx32s*) noexcept;
BlockFacts quant4x4_high(const Opx32s*, Opx32s*, int, bool, const Opx16s*, const Opx32s*) noexcept;
void transform4x4(const Opx16s*, Opx16s*) noexcept;
void transform4x4_high(const Opx32s*, Opx32s*) noexcept;
void transform8x8_wide(const Opx16s*, Opx32s*) noexcept;
BlockFacts quant8x8_high(const Opx32s*, Opx32s*, int, bool, const Opx16s*, const Opx16u*) noexcept;
OpxResult luma_dc(Opx16s*, Opx16s*, Opx32s, Opx32s*, Opx32s, const Opx16s*, Opx32s*,
                  const Opx16s*) noexcept;
BlockFacts luma_dc_high(Opx32s*, Opx32s*, int, bool, const Opx16s*, const Opx16s*) noexcept;
OpxResult chroma_dc2x2(Opx16s*, Opx16s*, Opx32s, Opx32s*, Opx32s, Opx32s, const Opx16s*) noexcept;
BlockFacts chroma_dc2x2_high(Opx32s*, Opx32s*, int, bool, bool, const Opx16s*) noexcept;
OpxResult chroma_dc2x4(Opx16s*, Opx16s*, Opx32s, Opx32s*, Opx32s, Opx32s, const Opx16s*) noexcept;
BlockFacts chroma_dc2x4_high(Opx32s*, Opx32s*, int, bool, bool, const Opx16s*) noexcept;
bool old_residual(Opx16s*, int, bool, const Opx16s*, BlockFacts*) noexcept;
bool old_luma_dc(Opx16s*, Opx16s*, int, bool, const Opx16s*, BlockFacts*) noexcept;
bool old_chroma_dc(Opx16s*, Opx16s*, int, bool, bool, BlockFacts*) noexcept;
void transform_pred(const Opx8u*, std::int32_t, Opx16s*) noexcept;
void gen_scale4x4(const Opx8u*, Opx16u*, Opx16u*, int) noexcept;
void gen_scale8x8(const Opx8u*, std::int32_t, Opx16u*, Opx16u*, int) noexcept;
}  // namespace ref

namespace avx2 {
extern const FwdKernels kFwd;
}

}  // namespace opx::h264::enc

#pragma GCC visibility pop
