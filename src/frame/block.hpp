// Generic 8-bit block primitives: copies, averages, residual addition and half-sample motion
// compensation. Kernel signatures, the shape lists and the kernel table of the family.
//
// Half-sample positions. Two encodings reach the kernels:
//   - `acc` (HP copies, interpolating averages, Add8x8HP): bit 0 horizontal, bit 1 vertical;
//   - `mcType` (MC functions): bit 2 (value 4) vertical, bit 3 (value 8) horizontal.
// Inside the family a position is always the `acc` form (HalfPel); the MC tables convert with
// mc_position(). The prediction of sample (x, y) from reference R with rounding bit r is
//   integer     R[y][x]
//   horizontal  (R[y][x] + R[y][x+n] + 1 - r) >> 1
//   vertical    (R[y][x] + R[y+1][x] + 1 - r) >> 1
//   both        (R[y][x] + R[y][x+n] + R[y+1][x] + R[y+1][x+n] + 2 - r) >> 2
// with n = 1, or n = 2 for interleaved two-component chroma rows. A kernel reads exactly the
// block, plus n bytes to the right of each row (horizontal, both) and one row below (vertical,
// both); nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "opxvc.h"

namespace opx::frame {

struct BlockSize {
    int width, height;
};

// Position codes in `acc` form.
enum HalfPel { kFull = 0, kHalfHor = 1, kHalfVer = 2, kHalfBoth = 3 };

// (mcType & 12) >> 2 (0 integer, 1 vertical, 2 horizontal, 3 both) to HalfPel.
constexpr int mc_position(int mc_code) {
    return ((mc_code & 1) << 1) | ((mc_code >> 1) & 1);
}

// ---- shape lists (table order) ----------------------------------------------------------------

// Plain copies and averages.
inline constexpr BlockSize kCopySizes[] = {{8, 8}, {16, 16}};
enum CopySize { kCopy8x8, kCopy16x16, kNumCopySizes };

// HP copies and interpolating averages.
inline constexpr BlockSize kHpSizes[] = {{8, 8}, {16, 16}, {16, 8}, {8, 4}};
enum HpSize { kHp8x8, kHp16x16, kHp16x8, kHp8x4, kNumHpSizes };

// MC blocks 8 or 16 bytes wide; n is the distance of horizontal neighbours (2: interleaved
// two-component chroma, residuals alternate the same way).
struct McShape {
    int width, height, n;
};
inline constexpr McShape kMcShapes[] = {{16, 16, 1}, {16, 8, 1}, {8, 16, 1}, {8, 8, 1},
                                        {8, 4, 1},   {16, 8, 2}, {16, 4, 2}};
enum McShapeIndex { kMc16x16, kMc16x8, kMc8x16, kMc8x8, kMc8x4, kMc16x8UV, kMc16x4, kNumMcShapes };

// MC blocks 2 or 4 wide (scalar kernels).
inline constexpr BlockSize kMcSmallSizes[] = {{4, 8}, {4, 4}, {4, 2}, {2, 4}, {2, 2}};
enum McSmallSize { kMc4x8, kMc4x4, kMc4x2, kMc2x4, kMc2x2, kNumMcSmallSizes };

// Interleaved chroma from planar residuals: 8 sample pairs (16 bytes) wide.
inline constexpr BlockSize kP2C2Sizes[] = {{16, 8}, {16, 4}};
enum P2C2Size { kP2C2_8x8, kP2C2_8x4, kNumP2C2Sizes };

// ---- table indices ----------------------------------------------------------------------------

// HP copies, interpolating averages, Add8x8HP: (acc & 3) * 2 + (rounding & 1).
constexpr int hp_index(std::int32_t acc, std::int32_t rounding) {
    return (acc & 3) * 2 + (rounding & 1);
}
// MC, one prediction, 8/16 wide: ((mcType & 12) >> 1) + (roundControl & 1).
constexpr int mc_index(std::int32_t mc_type, std::int32_t round) {
    return ((mc_type & 12) >> 1) + (round & 1);
}
// MC, two predictions, 8/16 wide: (mcTypeB & 12) * 2 + ((mcTypeF & 12) >> 1) + (roundControl & 1).
constexpr int mc_b_index(std::int32_t mc_type_f, std::int32_t mc_type_b, std::int32_t round) {
    return (mc_type_b & 12) * 2 + ((mc_type_f & 12) >> 1) + (round & 1);
}
// MC 2/4 wide: one kernel per position code, rounding passed as a number.
constexpr int mc_small_index(std::int32_t mc_type) {
    return (mc_type & 12) >> 2;
}
constexpr int mc_small_b_index(std::int32_t mc_type_f, std::int32_t mc_type_b) {
    return ((mc_type_f & 12) >> 2) | (mc_type_b & 12);
}

// ---- kernel signatures ------------------------------------------------------------------------
//
// Kernels return opxOk, so that an entry point ends in a jump through the table.

using CopyFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                             std::int32_t dst_step) noexcept;
// HP copy: dst = P(src). Interpolating average: dst = (P(src) + dst + 1) >> 1 (same signature).
using HpFn = CopyFn;
// dst = (src1 + src2 + 1) >> 1.
using AverageFn = OpxResult (*)(const Opx8u* src1, std::int32_t src1_step, const Opx8u* src2,
                                std::int32_t src2_step, Opx8u* dst, std::int32_t dst_step) noexcept;
// srcdst = clamp(srcdst + residual), 16-bit wrapping sum.
using AddFn = OpxResult (*)(const Opx16s* res, std::int32_t res_step, Opx8u* srcdst,
                            std::int32_t srcdst_step) noexcept;
// dst = clamp(P(ref) + residual), 16-bit wrapping sum.
using AddHpFn = OpxResult (*)(const Opx16s* res, std::int32_t res_step, const Opx8u* ref,
                              std::int32_t ref_step, Opx8u* dst, std::int32_t dst_step) noexcept;
// Every sample = clamp(sample + value), 16-bit wrapping sum.
using AddConstFn = OpxResult (*)(Opx16s value, Opx8u* srcdst, std::int32_t srcdst_step) noexcept;
// dst = clamp(P(ref) + residual), exact sum.
using McFn = OpxResult (*)(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res,
                           std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept;
// dst = clamp(((PF + PB + 1) >> 1) + residual), exact sum.
using McBFn = OpxResult (*)(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                            std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step,
                            Opx8u* dst, std::int32_t dst_step) noexcept;
// 2/4-wide forms: rounding bit passed as a number (only bit 0 is read).
using McSmallFn = OpxResult (*)(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res,
                                std::int32_t res_step, Opx8u* dst, std::int32_t dst_step,
                                std::int32_t round) noexcept;
using McSmallBFn = OpxResult (*)(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                                 std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step,
                                 Opx8u* dst, std::int32_t dst_step, std::int32_t round) noexcept;
// Interleaved chroma destination, planar residuals: residual U at even bytes, V at odd bytes.
using McP2C2Fn = OpxResult (*)(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res_u,
                               const Opx16s* res_v, std::int32_t res_step, Opx8u* dst,
                               std::int32_t dst_step) noexcept;
using McP2C2BFn = OpxResult (*)(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                                std::int32_t ref_b_step, const Opx16s* res_u, const Opx16s* res_v,
                                std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept;

template <class Fn, std::size_t N>
using Row = std::array<Fn, N>;

// ---- building the tables ----------------------------------------------------------------------

// What a table index selects, in template-argument form. The rounding bit is folded to 0 where
// no half-sample sum is formed, so both integer-position entries are one kernel.
constexpr int hp_pos(std::size_t i) {
    return static_cast<int>(i >> 1);
}
constexpr int hp_round(std::size_t i) {
    return hp_pos(i) == kFull ? 0 : static_cast<int>(i & 1);
}
constexpr int mc_pos(std::size_t i) {
    return mc_position(static_cast<int>(i >> 1));
}
constexpr int mc_round(std::size_t i) {
    return mc_pos(i) == kFull ? 0 : static_cast<int>(i & 1);
}
constexpr int mc_b_pos_f(std::size_t i) {
    return mc_position(static_cast<int>((i >> 1) & 3));
}
constexpr int mc_b_pos_b(std::size_t i) {
    return mc_position(static_cast<int>(i >> 3));
}
constexpr int mc_b_round(std::size_t i) {
    return (mc_b_pos_f(i) == kFull && mc_b_pos_b(i) == kFull) ? 0 : static_cast<int>(i & 1);
}
constexpr int mc_small_pos(std::size_t i) {
    return mc_position(static_cast<int>(i));
}
constexpr int mc_small_b_pos_f(std::size_t i) {
    return mc_position(static_cast<int>(i & 3));
}
constexpr int mc_small_b_pos_b(std::size_t i) {
    return mc_position(static_cast<int>(i >> 2));
}

// kernel_table<Fn, N, Sizes, K>() is the table [Sizes][N] with entry [s][i] = K<s, i>::value.
template <class Fn, std::size_t N, template <std::size_t, std::size_t> class K, std::size_t S,
          std::size_t... I>
constexpr Row<Fn, N> make_row(std::index_sequence<I...>) {
    return {{K<S, I>::value...}};
}
template <class Fn, std::size_t N, template <std::size_t, std::size_t> class K, std::size_t... S>
constexpr std::array<Row<Fn, N>, sizeof...(S)> make_table(std::index_sequence<S...>) {
    return {{make_row<Fn, N, K, S>(std::make_index_sequence<N>{})...}};
}
template <class Fn, std::size_t N, std::size_t Sizes, template <std::size_t, std::size_t> class K>
constexpr std::array<Row<Fn, N>, Sizes> kernel_table() {
    return make_table<Fn, N, K>(std::make_index_sequence<Sizes>{});
}

// 2- and 4-wide forms: one kernel per position code, the rounding passed as a number.
struct McSmallKernels {
    std::array<Row<McSmallFn, 4>, kNumMcSmallSizes> mc;      // [size][mc_small_index]
    std::array<Row<McSmallBFn, 16>, kNumMcSmallSizes> mc_b;  // [size][mc_small_b_index]
};

struct BlockKernels {
    std::array<CopyFn, kNumCopySizes> copy;
    std::array<AverageFn, kNumCopySizes> average;
    std::array<Row<HpFn, 8>, kNumHpSizes> copy_hp;         // [size][hp_index]
    std::array<Row<HpFn, 8>, kNumHpSizes> interp_average;  // [size][hp_index]; [0] in place avg
    AddFn add_8x8;
    Row<AddHpFn, 8> add_hp_8x8;  // [hp_index]
    AddConstFn add_const_8x8;
    std::array<Row<McFn, 8>, kNumMcShapes> mc;                // [shape][mc_index]
    std::array<Row<McBFn, 32>, kNumMcShapes> mc_b;            // [shape][mc_b_index]
    std::array<Row<McP2C2Fn, 8>, kNumP2C2Sizes> mc_p2c2;      // [size][mc_index]
    std::array<Row<McP2C2BFn, 32>, kNumP2C2Sizes> mc_p2c2_b;  // [size][mc_b_index]
    const McSmallKernels* small;
};

namespace ref {
extern const McSmallKernels kMcSmall;
extern const BlockKernels kBlock;
}  // namespace ref
namespace avx2 {
extern const McSmallKernels kMcSmall;
extern const BlockKernels kBlock;
}  // namespace avx2

}  // namespace opx::frame
