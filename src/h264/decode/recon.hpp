// H.264 macroblock reconstruction: the drivers that walk the coded-block pattern, predict
// (intra), consume the packed coefficient stream and call the per-block kernels of intra.hpp and
// transform.hpp. One body per driver (recon_drivers.hpp) serves 8-bit samples with 16-bit
// coefficients and 16-bit samples (bit depths 8..14) with 32-bit coefficients, 4:2:0 and 4:2:2
// chroma; this header declares the instantiations the exported functions use. The exported
// functions check their arguments and call one driver with the build's kernel tables; the tests
// call the drivers with either table.
//
// Packed coefficient stream: every block marked coded takes the next 16 (8×8 blocks: 64)
// coefficients at *coeffs, which then advances past them; consumed blocks are work space.
// Level-scale pointer `ls`: null selects the flat dequantisation of qp (the older functions),
// otherwise the matrix style with that array (the newer ones). `bypass`: transform bypass, only
// meaningful with ls (the callers pass bypassFlag && qp == 0).
#pragma once

#include <cstdint>

#include "h264/decode/intra.hpp"
#include "h264/decode/transform.hpp"
#include "opxvc.h"

namespace opx::h264 {

// Two horizontally adjacent coded 4×4 blocks of an inter macroblock (blocks n and n + 1, n even)
// with flat dequantisation: for each, the rule of AddFlat4x4Fn (transform.hpp) with ac true and
// no DC value, on the 32 coefficients at `coeffs` (block n first), predicting from and writing to
// the 8×4 samples at dst. Same results as two AddFlat4x4Fn calls; the coefficients are work
// space. qp 0..51.
using AddFlatPairFn = void (*)(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept;
namespace ref {
void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept;
}
namespace avx2 {
void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept;
}

// One 4:2:2 chroma component of 8-bit samples, matrix dequantisation: the eight 4×4 blocks of
// the 8×16 samples at dst, block n at (4 (n & 1), 4 (n >> 1)). The DC values are the 2×4 array
// at dc after the chroma 2x4 rule of DcMatrixFn (transform.hpp) with qp and ls_dc, block n taking
// position n; all zero when dc is null. Bit n of `coded` marks block n coded: it takes the next
// 16 coefficients at `coeffs` and the rule of AddMatrix4x4Fn (transform.hpp) with ac true, its DC
// value replacing position 0; an uncoded block takes the rule with ac false and its DC value
// (zero residual for -32..31). Returns the coefficient pointer after the blocks consumed; those
// blocks and the DC array are then work space. Same samples as the DC kernel and the per-block
// kernel in turn. qp (QPc) 0..39; level_scale not null.
using AddChroma422Fn = Opx16s* (*)(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                                   std::uint32_t coded, int qp, const Opx16s* level_scale,
                                   int ls_dc) noexcept;
namespace ref {
Opx16s* add_chroma422(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale, int ls_dc) noexcept;
}
namespace avx2 {
Opx16s* add_chroma422(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale, int ls_dc) noexcept;
}

// One 4:2:0 chroma component of 8-bit samples, matrix dequantisation: the four 4×4 blocks of
// the 8×8 samples at dst, block n at (4 (n & 1), 4 (n >> 1)). The DC values are the 2×2 array
// at dc after the chroma 2x2 rule of DcMatrixFn (transform.hpp) with qp and level_scale[0],
// block n taking position n; all zero when dc is null. Otherwise as AddChroma422Fn: bit n of
// `coded` marks block n coded, the blocks consumed and the DC array are then work space, the
// samples are those of the DC kernel and the per-block kernel in turn. qp (QPc) 0..39;
// level_scale not null.
using AddChroma420Fn = Opx16s* (*)(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                                   std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept;
namespace ref {
Opx16s* add_chroma420(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept;
}
namespace avx2 {
Opx16s* add_chroma420(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept;
}

// The coded 4×4 blocks of an inter macroblock of 8-bit samples, matrix dequantisation: bit n of
// `coded` (n 0..15, luma4x4BlkIdx order) marks block n coded: it takes the next 16 coefficients at
// `coeffs` and the rule of AddMatrix4x4Fn (transform.hpp) with ac true and no DC value; other
// blocks are left alone. Returns the coefficient pointer after the blocks consumed (then work
// space). Same samples as the per-block kernel in turn. qp 0..51; level_scale not null.
using AddLumaInter4x4Fn = Opx16s* (*)(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs,
                                      std::uint32_t coded, int qp,
                                      const Opx16s* level_scale) noexcept;
namespace ref {
Opx16s* add_luma_inter4x4(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, std::uint32_t coded,
                          int qp, const Opx16s* level_scale) noexcept;
}
namespace avx2 {
Opx16s* add_luma_inter4x4(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, std::uint32_t coded,
                          int qp, const Opx16s* level_scale) noexcept;
}

struct ReconKernels {
    const IntraKernels& intra;
    const TransformKernels& transform;
    AddFlatPairFn add4x4_flat_pair;
    AddChroma422Fn add_chroma422;
    AddChroma420Fn add_chroma420;
    AddLumaInter4x4Fn add_luma_inter4x4;
};

// The drivers' kernels of each table set (constant-initialised: they only name other tables).
namespace ref {
inline const ReconKernels kRecon{kIntra,        kTransform,    add4x4_flat_pair,
                                 add_chroma422, add_chroma420, add_luma_inter4x4};
}
#if OPX_USE_AVX2
namespace avx2 {
inline const ReconKernels kRecon{kIntra,        kTransform,    add4x4_flat_pair,
                                 add_chroma422, add_chroma420, add_luma_inter4x4};
}
#endif

// The 4×4 blocks of a luma macroblock or of one chroma component, 16-bit samples, matrix
// dequantisation, taken two side by side at a time: pair m holds blocks 2m and 2m + 1, m below
// `pairs`. Luma (`luma` true): blocks in luma4x4BlkIdx order; chroma: block b at
// (4 (b & 1), 4 (b >> 1)). Bit n of `coded` marks block n coded: it takes the next 16
// coefficients at `coeffs` and the rule of AddMatrix4x4HighFn (transform.hpp) with ac true, its
// DC value replacing position 0 when dc is given. An uncoded block with dc given takes the rule
// with ac false (the DC-only residual, zero for DC values -32..31); without dc it is left alone.
// dc: null, or the DC values (luma: the 4×4 array of blocks in raster order, as the Intra16x16 DC
// array; chroma: block order). Returns the coefficient pointer after the blocks consumed, whose
// contents are then work space. Same samples as the per-block kernel on each block in turn.
// qp 0..87; step in samples.
using AddBlocksHighFn = Opx32s* (*)(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs,
                                    const Opx32s* dc, std::uint32_t coded, int pairs, bool luma,
                                    int qp, int max_sample, const Opx16s* level_scale) noexcept;
namespace ref {
Opx32s* add4x4_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                           std::uint32_t coded, int pairs, bool luma, int qp, int max_sample,
                           const Opx16s* level_scale) noexcept;
}
namespace avx2 {
Opx32s* add4x4_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                           std::uint32_t coded, int pairs, bool luma, int qp, int max_sample,
                           const Opx16s* level_scale) noexcept;
}

// The coded 8×8 blocks of a 16-bit-sample inter macroblock: bit n of `coded` (n 0..3) marks
// block n (at (8 (n & 1), 8 (n >> 1))), which takes the next 64 coefficients at `coeffs`, the
// dequantisation of Dequant8x8HighFn (transform.hpp, qp6 = qp / 6), then its inverse transform
// added to the prediction at dst in place with the rule of Add8x8HighFn. Returns the coefficient
// pointer after the blocks consumed, whose contents are then work space. qp 0..87; step in
// samples.
using Add8x8BlocksHighFn = Opx32s* (*)(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs,
                                       std::uint32_t coded, int qp, int max_sample,
                                       const Opx16s* level_scale) noexcept;
namespace ref {
Opx32s* add8x8_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, std::uint32_t coded,
                           int qp, int max_sample, const Opx16s* level_scale) noexcept;
}
namespace avx2 {
Opx32s* add8x8_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, std::uint32_t coded,
                           int qp, int max_sample, const Opx16s* level_scale) noexcept;
}

// The residuals of `count` coded 4×4 blocks of 16-bit samples, the 16 × count coefficients at
// coeffs block after block: for each, the residual AddMatrix4x4HighFn (transform.hpp) adds with
// ac true and no DC value, saturated to 16 bits (which leaves clamp(pred + r, 0, max)
// unchanged), in raster order at res + 16 k. res holds count rounded up to even blocks; the
// coefficients are not written. qp 0..87.
using Residuals4x4HighFn = void (*)(Opx16s* res, const Opx32s* coeffs, int count, int qp,
                                    const Opx16s* level_scale) noexcept;
// dst = clamp(dst + res, 0, max_sample) on a 4×4 block (res: 16 values in raster order); step
// in samples.
using AddResidual4x4HighFn = void (*)(Opx16u* dst, std::ptrdiff_t step, const Opx16s* res,
                                      int max_sample) noexcept;
namespace avx2 {
void residuals4x4_high(Opx16s* res, const Opx32s* coeffs, int count, int qp,
                       const Opx16s* level_scale) noexcept;
void add_residual4x4_high(Opx16u* dst, std::ptrdiff_t step, const Opx16s* res,
                          int max_sample) noexcept;
}  // namespace avx2

// The kernels of the 16-bit-sample drivers. residuals4x4, add_residual4x4 and pred4x4_add are
// null in the portable table, whose intra 4×4 driver then adds block by block.
struct ReconKernelsHigh {
    const IntraKernelsHigh& intra;
    const TransformKernels& transform;
    AddBlocksHighFn add4x4_blocks;
    Add8x8BlocksHighFn add8x8_blocks;
    Residuals4x4HighFn residuals4x4;
    AddResidual4x4HighFn add_residual4x4;
    const Pred4x4AddHighTable* pred4x4_add;  // null: predict, then add_residual4x4
};
namespace ref {
inline const ReconKernelsHigh kReconHigh{
    kIntraHigh, kTransform, add4x4_blocks_high, add8x8_blocks_high, nullptr, nullptr, nullptr};
}
#if OPX_USE_AVX2
namespace avx2 {
inline const ReconKernelsHigh kReconHigh{
    kIntraHigh,        kTransform,           add4x4_blocks_high, add8x8_blocks_high,
    residuals4x4_high, add_residual4x4_high, &kPred4x4AddHigh};
}
#endif

// Position of 4×4 luma block n (luma4x4BlkIdx) inside its macroblock, clause 6.4.3.
constexpr int luma4x4_x(int n) {
    return 8 * ((n >> 2) & 1) + 4 * (n & 1);
}
constexpr int luma4x4_y(int n) {
    return 8 * (n >> 3) + 4 * ((n >> 1) & 1);
}

// Availability bits (intra.hpp) of the N×N block (N = 4 or 8) at (x, y) of a macroblock whose
// neighbouring macroblocks edgeType marks. Samples above-right exist only when the block that
// holds them is decoded before this one (clause 6.4.11.4).
constexpr int luma_block_avail(int x, int y, int n, int edge) {
    const bool up = !(edge & kEdgeAbove), left = !(edge & kEdgeLeft),
               up_left = !(edge & kEdgeAboveLeft), up_right = !(edge & kEdgeAboveRight);
    int a = 0;
    if (y > 0 || up) a |= kAvailAbove;
    if (x > 0 || left) a |= kAvailLeft;
    if (x > 0 && y > 0 ? true : x == 0 && y == 0 ? up_left : x == 0 ? left : up)
        a |= kAvailAboveLeft;
    bool ar = false;
    if (y == 0) {
        ar = x + n < 16 ? up : up_right;
    } else if (x + n >= 16) {
        ar = false;
    } else {
        auto index = [n](int bx, int by) {
            return n == 4 ? 8 * (by / 8) + 4 * (bx / 8) + 2 * ((by % 8) / 4) + (bx % 8) / 4
                          : 2 * (by / 8) + bx / 8;
        };
        ar = index(x + n, y - n) < index(x, y);
    }
    if (ar) a |= kAvailAboveRight;
    return a;
}

// luma_block_avail of every block (luma4x4BlkIdx order, N = 4: 16 blocks, N = 8: 4) for every
// combination of the four edgeType bits it reads, looked up by block_avail_table: the drivers
// look the bits up instead of deriving them per block.
template <int N>
struct BlockAvailTable {
    std::uint8_t v[16][N == 4 ? 16 : 4];
};
template <int N>
constexpr BlockAvailTable<N> make_block_avail_table() {
    BlockAvailTable<N> t{};
    constexpr int kBlocks = N == 4 ? 16 : 4;
    for (int i = 0; i < 16; ++i) {
        const int edge = (i & 1 ? kEdgeLeft : 0) | (i & 2 ? kEdgeAbove : 0) |
                         (i & 4 ? kEdgeAboveLeft : 0) | (i & 8 ? kEdgeAboveRight : 0);
        for (int n = 0; n < kBlocks; ++n) {
            const int x = N == 4 ? luma4x4_x(n) : 8 * (n & 1);
            const int y = N == 4 ? luma4x4_y(n) : 8 * (n >> 1);
            t.v[i][n] = static_cast<std::uint8_t>(luma_block_avail(x, y, N, edge));
        }
    }
    return t;
}
template <int N>
inline constexpr BlockAvailTable<N> kBlockAvail = make_block_avail_table<N>();
// The table row of edgeType `edge`.
template <int N>
constexpr const std::uint8_t* block_avail_row(int edge) {
    const int i = ((edge & kEdgeLeft) ? 1 : 0) | ((edge & kEdgeAbove) ? 2 : 0) |
                  ((edge & kEdgeAboveLeft) ? 4 : 0) | ((edge & kEdgeAboveRight) ? 8 : 0);
    return kBlockAvail<N>.v[i];
}

// ---- luma (recon_luma.cpp) ----------------------------------------------------------------

// Inter macroblock, 4×4 transform: cbp bits 1..16 mark blocks 0..15.
void luma_inter_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept;
// Inter macroblock, 8×8 transform: cbp bits 0..3 mark the 8×8 blocks. ls: 64 values.
void luma_inter_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept;
// Intra 4×4 blocks 0..blocks-1 (16, or 8 for a half): bit `shift + n` of cbp marks block n.
// Returns opxOk, opxWrnIntraPredUnavailable, or opxErrOutOfRange for a mode outside 0..8.
OpxResult luma_intra_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int shift, int qp,
                         int edge, const Opx16s* ls, bool bypass) noexcept;
// Intra 8×8 blocks 0..blocks-1 (4, or 2 for a half); bit n of cbp marks block n. ls: 64 values.
// Returns opxOk or opxErrOutOfRange for a mode outside 0..8.
OpxResult luma_intra_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int qp, int edge,
                         const Opx16s* ls, bool bypass) noexcept;
// Intra 16×16 macroblock with a prediction slot already checked (pred16x16_slot).
void luma_intra_16x16(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                      int slot, std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept;

// ---- chroma (recon_chroma.cpp) ------------------------------------------------------------

struct ChromaParams {
    std::uint32_t cbp;    // bits 17..26
    int qp[2];            // Cb, Cr
    const Opx16s* ls[2];  // null: flat style
    bool bypass[2];
};

// Planar Cb and Cr 8×8 blocks (one step). `pred` is the intra kernel (intra.hpp chroma_kernel)
// applied to both planes first, or null for inter macroblocks.
void chroma_planar(const ReconKernels& k, Opx16s** coeffs, Opx8u* u, Opx8u* v, std::ptrdiff_t step,
                   PredChromaFn pred, const ChromaParams& p) noexcept;
// The same on one interleaved plane (Cb even bytes, Cr odd bytes). `upper` and `lower` are the
// availability bits of the two halves, used to copy only available neighbours.
void chroma_interleaved(const ReconKernels& k, Opx16s** coeffs, Opx8u* uv, std::ptrdiff_t step,
                        PredChromaFn pred, int upper, int lower, const ChromaParams& p) noexcept;

// ---- 16-bit samples and 4:2:2 chroma (recon_high.cpp) ----------------------------------------
// Steps count samples. `bd` is the bit depth (8..14); qp includes the bit-depth offset (QP'Y,
// QP'C); ls is never null. The drivers mirror the 8-bit ones above.

struct HighLuma {
    Opx32s** coeffs;
    Opx16u* dst;
    std::ptrdiff_t step;
    std::uint32_t cbp;
    int qp;
    const Opx16s* ls;
    bool bypass;
    int bd;
};
void luma_inter_4x4(const ReconKernelsHigh& k, const HighLuma& p) noexcept;
void luma_inter_8x8(const ReconKernelsHigh& k, const HighLuma& p) noexcept;
OpxResult luma_intra_4x4(const ReconKernelsHigh& k, const HighLuma& p, const Opx32s* modes,
                         int blocks, int shift, int edge) noexcept;
OpxResult luma_intra_8x8(const ReconKernelsHigh& k, const HighLuma& p, const Opx32s* modes,
                         int blocks, int edge) noexcept;
void luma_intra_16x16(const ReconKernelsHigh& k, const HighLuma& p, int slot) noexcept;

// One chroma component: its own coefficient pointer (read again at each use, so that two records
// sharing one pointer consume Cb DC, Cr DC, Cb blocks, Cr blocks in that order), plane and step;
// dc: its DC array is coded; ac: AC bits of its blocks 0..3 (4:2:0) or 0..7 (4:2:2); ls_dc: the
// level scale of the 4:2:2 DC array (qP,DC = qp + 3).
template <class S, class C>
struct ChromaPlane {
    C** coeffs;
    S* plane;
    std::ptrdiff_t step;
    bool dc;
    std::uint32_t ac;
    int qp;
    const Opx16s* ls;
    bool bypass;
    int ls_dc;
};
using ChromaPlane8 = ChromaPlane<Opx8u, Opx16s>;
using ChromaPlane16 = ChromaPlane<Opx16u, Opx32s>;

// `pred`: the intra kernel of both components (chroma_pick on the matching kernels), or null.
void chroma420(const ReconKernelsHigh& k, const ChromaPlane16 (&p)[2], PredHighFn pred,
               int bd) noexcept;
void chroma422(const ReconKernelsHigh& k, const ChromaPlane16 (&p)[2], PredHighFn pred,
               int bd) noexcept;
// 8-bit samples: the two checked records of the 16s8u functions and the DC level scales.
void chroma422(const ReconKernels& k, const OpxReconstructInfo8u* const* pp, PredChromaFn pred,
               int ls_dc_u, int ls_dc_v) noexcept;

}  // namespace opx::h264
