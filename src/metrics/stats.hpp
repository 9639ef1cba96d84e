// Block statistics and differences: residuals against (half-sample) predictions, plain block
// subtraction, per-4x4 sums of differences, mean absolute deviation, variances, squared
// differences and a quick edge detector. Kernel signatures and the kernel table of the family.
//
// Common terms:
//  - Steps are signed byte distances for 8-bit and 16-bit data alike.
//  - Half-sample prediction P at a position (Position of metrics.hpp: mcType >> 2 for the codes
//    0, 4, 8, 12) with rounding bit r: two samples (a + b + 1 - r) >> 1, four samples
//    (a + b + c + d + 2 - r) >> 2; the horizontal neighbour is n bytes on (1, or 2 for
//    interleaved two-component rows). A bidirectional prediction is (PF + PB + 1) >> 1.
//  - Reads: a block, plus one row below and n columns to the right of a reference block for the
//    half-sample positions; nothing else.
//  - 4x4-block order: the 16 values of the first 4x4 sub-block row by row, then the next
//    sub-block, sub-blocks left to right, top to bottom.
#pragma once

#include "metrics/metrics.hpp"

#pragma GCC visibility push(hidden)

namespace opx::metrics {

// GetDiff block sizes.
inline constexpr BlockSize kDiffSizes[] = {{16, 16}, {16, 8}, {8, 16}, {8, 8}, {8, 4}};
enum DiffSize { kDiff16x16, kDiff16x8, kDiff8x16, kDiff8x8, kDiff8x4, kNumDiffSizes };
// Sub (8-bit) sizes, and the 16-bit ones (the last two).
inline constexpr BlockSize kSubSizes[] = {{16, 16}, {8, 8}, {4, 4}};
enum SubSize { kSub16x16, kSub8x8, kSub4x4, kNumSubSizes };
enum Sub16uSize { kSub16u8x8, kSub16u4x4, kNumSub16uSizes };
// Square blocks of the SumsDiff and MeanAbsDev forms: 16x16, 8x8.
enum SquareSize { kSquare16, kSquare8, kNumSquareSizes };
// VarMeanDiff heights: 16x16 and 16x8.
enum VmdSize { kVmd16x16, kVmd16x8, kNumVmdSizes };
// Interleaved two-component heights: 8 and 4 rows of 8 sample pairs.
enum C2Size { kC2x8, kC2x4, kNumC2Sizes };

// cur - P (P at the table's position, rounding bit r) into diff; P also into pred unless null.
using DiffFn = void (*)(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref,
                        std::int32_t ref_step, Opx16s* diff, std::int32_t diff_step, Opx16s* pred,
                        std::int32_t pred_step, int r) noexcept;
// cur - ((PF + PB + 1) >> 1).
using DiffBFn = void (*)(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref_f,
                         std::int32_t ref_f_step, const Opx8u* ref_b, std::int32_t ref_b_step,
                         Opx16s* diff, std::int32_t diff_step, int r) noexcept;
// Interleaved rows of 8 pairs: even bytes' differences to diff_u, odd bytes' to diff_v.
using DiffC2Fn = void (*)(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref,
                          std::int32_t ref_step, Opx16s* diff_u, std::int32_t u_step,
                          Opx16s* diff_v, std::int32_t v_step, int r) noexcept;
using DiffC2BFn = void (*)(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref_f,
                           std::int32_t ref_f_step, const Opx8u* ref_b, std::int32_t ref_b_step,
                           Opx16s* diff_u, std::int32_t u_step, Opx16s* diff_v,
                           std::int32_t v_step, int r) noexcept;
// a - b (8-bit: exact; 16-bit: modulo 2^16).
using Sub8uFn = void (*)(const Opx8u* a, std::int32_t a_step, const Opx8u* b, std::int32_t b_step,
                         Opx16s* dst, std::int32_t dst_step) noexcept;
using Sub16uFn = void (*)(const Opx16u* a, std::int32_t a_step, const Opx16u* b,
                          std::int32_t b_step, Opx16s* dst, std::int32_t dst_step) noexcept;
// Sub8x8 and the SAD of the same differences (at most 64 x 255).
using SubSadFn = void (*)(const Opx8u* a, std::int32_t a_step, const Opx8u* b,
                          std::int32_t b_step, Opx16s* dst, std::int32_t dst_step,
                          Opx32s* sad) noexcept;
// Sums of src - pred per 4x4 sub-block (raster order of the sub-blocks); all differences in
// 4x4-block order into diff unless null. 8-bit: sums within 16 x 255; 16-bit: exact in 32 bits,
// differences modulo 2^16.
using SumsDiff8uFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* pred,
                                   std::int32_t pred_step, Opx16s* sums, Opx16s* diff) noexcept;
using SumsDiff16uFn = void (*)(const Opx16u* src, std::int32_t src_step, const Opx16u* pred,
                               std::int32_t pred_step, Opx32s* sums, Opx16s* diff) noexcept;
// Interleaved 8x8 pairs against two planar 8x8 predictions.
using SumsDiffC2Fn = void (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* pred_u,
                              std::int32_t pred_u_step, const Opx8u* pred_v,
                              std::int32_t pred_v_step, Opx16s* sums_u, Opx16s* diff_u,
                              Opx16s* sums_v, Opx16s* diff_v) noexcept;
// Sum |x - m|, m = (Sx + N / 2) / N.
using MeanAbsDevFn = std::int32_t (*)(const Opx8u* src, std::int32_t step) noexcept;
// Sx^2 - ((Sx)^2 >> 8) over 16x16 (the square formed in 64 bits).
using Variance16Fn = std::int32_t (*)(const Opx8u* src, std::int32_t step) noexcept;
// 8x8: *sum = S; *var = the single-precision variance of the rules (a = Q / 64, b = S / 64,
// v = a - b * b, each operation rounded to float, no fused multiply-add), truncated. Q exact
// (64 bits for 16-bit samples).
using VarSum8uFn = OpxResult (*)(const Opx8u* src, std::int32_t step, Opx32s* var,
                                 Opx32s* sum) noexcept;
using VarSum16sFn = void (*)(const Opx16s* src, std::int32_t step, Opx32s* var,
                             Opx32s* sum) noexcept;
// Per 8x8 sub-block k of the residual d = src - P (P rounding up): mean[k] = (src_sum[k] - SP)
// / 8 truncated toward zero, var[k] = (Sd^2 - mean^2) >> 6 formed in 64 bits and clamped to
// 32 bits.
using VarMeanDiffFn = void (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                               std::int32_t ref_step, const Opx32s* src_sum, Opx32s* var,
                               Opx32s* mean) noexcept;
// S (src - P)^2 over 16x16, predictions rounding up.
using SqrDiffFn = std::int32_t (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                   std::int32_t ref_step) noexcept;
// The forms the entry points jump to (the value stored to *out, opxOk returned).
using Variance16OutFn = OpxResult (*)(const Opx8u* src, std::int32_t step, Opx32s* out) noexcept;
using SqrDiffOutFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                   std::int32_t ref_step, Opx32s* out) noexcept;
template <Variance16Fn Fn>
OpxResult variance_stored(const Opx8u* src, std::int32_t step, Opx32s* out) noexcept {
    *out = Fn(src, step);
    return opxOk;
}
using SqrDiffBFn = std::int32_t (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref_f,
                                    std::int32_t ref_f_step, const Opx8u* ref_b,
                                    std::int32_t ref_b_step) noexcept;
// True when more than `count` of the top-left 15x15 samples differ from their right or lower
// neighbour by more than the threshold. 8-bit: the threshold is the low byte of `difference`
// read as a signed byte, the differences limited to 127. 16-bit: exact differences and
// threshold (the entry point answers thresholds above 65535 itself). Reads the 16x16 block.
using Edges8uFn = bool (*)(const Opx8u* src, std::int32_t step, std::uint32_t difference,
                           std::uint32_t count) noexcept;
using Edges16uFn = bool (*)(const Opx16u* src, std::int32_t step, std::uint32_t difference,
                            std::uint32_t count) noexcept;

struct StatsKernels {
    DiffFn diff[kNumDiffSizes][kNumPositions];
    DiffBFn diff_b[kNumDiffSizes][kNumPositions][kNumPositions];  // [size][forward][backward]
    DiffC2Fn diff_c2[kNumC2Sizes][kNumPositions];
    DiffC2BFn diff_c2_b[kNumC2Sizes][kNumPositions][kNumPositions];
    Sub8uFn sub8u[kNumSubSizes];
    Sub16uFn sub16u[kNumSub16uSizes];
    SubSadFn sub_sad8x8;
    SumsDiff8uFn sums_diff8u[kNumSquareSizes];
    SumsDiff16uFn sums_diff16u[kNumSquareSizes];
    SumsDiffC2Fn sums_diff_c2;
    MeanAbsDevFn mean_abs_dev[kNumSquareSizes];
    Variance16Fn variance16;
    Variance16OutFn variance16_out;
    VarSum8uFn var_sum8u;
    VarSum16sFn var_sum16s;
    VarMeanDiffFn var_mean_diff[kNumVmdSizes][kNumPositions];
    SqrDiffFn sqr_diff[kNumPositions];
    SqrDiffOutFn sqr_diff_out[kNumPositions];
    SqrDiffBFn sqr_diff_b[kNumPositions][kNumPositions];
    Edges8uFn edges8u;
    Edges16uFn edges16u;
};

namespace ref {
extern const StatsKernels kStats;

// Portable kernels that the AVX2 table shares (instantiated by the portable table).
template <int W, int H, int Pos>
void diff(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, Opx16s*, std::int32_t, Opx16s*,
          std::int32_t, int) noexcept;
template <int W, int H, int PosF, int PosB>
void diff_b(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, const Opx8u*, std::int32_t,
            Opx16s*, std::int32_t, int) noexcept;
template <int H, int Pos>
void diff_c2(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, Opx16s*, std::int32_t,
             Opx16s*, std::int32_t, int) noexcept;
template <int H, int PosF, int PosB>
void diff_c2_b(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, const Opx8u*,
               std::int32_t, Opx16s*, std::int32_t, Opx16s*, std::int32_t, int) noexcept;
template <int N>
void sub16u(const Opx16u*, std::int32_t, const Opx16u*, std::int32_t, Opx16s*,
            std::int32_t) noexcept;
template <int N>
void sums_diff16u(const Opx16u*, std::int32_t, const Opx16u*, std::int32_t, Opx32s*,
                  Opx16s*) noexcept;
void sums_diff_c2(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, const Opx8u*,
                  std::int32_t, Opx16s*, Opx16s*, Opx16s*, Opx16s*) noexcept;
void var_sum16s(const Opx16s*, std::int32_t, Opx32s*, Opx32s*) noexcept;
template <int H, int Pos>
void var_mean_diff(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, const Opx32s*,
                   Opx32s*, Opx32s*) noexcept;
template <int PosF, int PosB>
std::int32_t sqr_diff_b(const Opx8u*, std::int32_t, const Opx8u*, std::int32_t, const Opx8u*,
                        std::int32_t) noexcept;
bool edges16u(const Opx16u*, std::int32_t, std::uint32_t, std::uint32_t) noexcept;
}  // namespace ref
namespace avx2 {
extern const StatsKernels kStats;
}

}  // namespace opx::metrics

#pragma GCC visibility pop
