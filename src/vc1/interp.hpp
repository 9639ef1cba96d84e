// VC-1 motion-compensated prediction (SMPTE 421M 8.3.6): quarter-sample bicubic and bilinear
// interpolation of blocks, and range mapping. Kernel signatures and the kernel tables.
//
// Contract of the interpolation kernels: dx, dy in 0..3, rnd 0 or 1, the block size that of the
// table entry; reads exactly the filter support (bicubic: columns -1..W+1 when dx != 0, rows
// -1..H+1 when dy != 0; bilinear: column W (C2R: bytes 2W, 2W + 1) when dx != 0, row H when
// dy != 0); writes the W x H block (C2R: 2W bytes per row).
#pragma once

#include "vc1/vc1.hpp"

#pragma GCC visibility push(hidden)

namespace opx::vc1 {

struct InterpSize {
    int width, height;
};
// Bicubic blocks: 8x8, 16x8 (16 wide), 16x16.
inline constexpr InterpSize kBicubicSizes[] = {{8, 8}, {16, 8}, {16, 16}};
// Bilinear blocks, planar: 16x16, 8x8, 8x4, 4x4; interleaved (width in sample pairs): 8x8, 8x4,
// 4x4.
inline constexpr InterpSize kBilinearSizes[] = {{16, 16}, {8, 8}, {8, 4}, {4, 4}};
inline constexpr InterpSize kBilinearC2Sizes[] = {{8, 8}, {8, 4}, {4, 4}};
enum { kNumBicubicSizes = 3, kNumBilinearSizes = 4, kNumBilinearC2Sizes = 3 };

// Index of a block size in a size list, or -1.
template <int N>
constexpr int size_index(const InterpSize (&list)[N], OpxRoiSize s) noexcept {
    for (int i = 0; i < N; ++i)
        if (list[i].width == s.width && list[i].height == s.height) return i;
    return -1;
}

// Bicubic taps for fractions 1..3 (applied at offsets -1, 0, +1, +2) and their shifts.
inline constexpr int kBicubicTaps[4][4] = {
    {0, 128, 0, 0}, {-4, 53, 18, -3}, {-1, 9, 9, -1}, {-3, 18, 53, -4}};
inline constexpr int kBicubicShift[4] = {0, 6, 4, 6};

using InterpFn = void (*)(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                          std::int32_t dst_step, int dx, int dy, int rnd) noexcept;
// out = clamp(((v - 128) (r + 9) + 4) >> 3) + 128) over width x height, r = 0..7.
using RangeMapFn = void (*)(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                            std::int32_t dst_step, int width, int height, int r) noexcept;

struct InterpKernels {
    InterpFn bicubic[kNumBicubicSizes];
    InterpFn bilinear[kNumBilinearSizes];
    InterpFn bilinear_c2[kNumBilinearC2Sizes];
    RangeMapFn range_map;
};

namespace ref {
extern const InterpKernels kInterp;
// The portable filters (instantiated in interp_ref.cpp for the listed sizes).
template <int W, int H>
void bicubic(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
             int dy, int rnd) noexcept;
template <int W, int H, int N>
void bilinear(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
              int dy, int rnd) noexcept;
}  // namespace ref
namespace avx2 {
extern const InterpKernels kInterp;
}

}  // namespace opx::vc1

#pragma GCC visibility pop
