// H.264 fractional-sample interpolation (clause 8.4.2.2): kernel signatures, the kernel table of
// the family and the index rules that pick a kernel.
//
// Steps are in elements (bytes for 8-bit data, samples for 16-bit data). Source pointers point
// at the integer sample of the block's top-left corner. A luma kernel with a fractional dx reads
// columns -2..width+2, with a fractional dy rows -2..height+2, and nothing else; a chroma kernel
// reads one further column (row) for a fractional dx (dy). Kernels write exactly the block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"

namespace opx::h264 {

// 8-bit luma: one kernel per (width, dx, dy); any height that is a multiple of 4.
using InterpLuma8Fn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                               std::ptrdiff_t dst_step, int height) noexcept;
// 16-bit luma: one kernel per (dx, dy); any width and height; results clamped to 0..max_value.
using InterpLuma16Fn = void (*)(const Opx16u* src, std::ptrdiff_t src_step, Opx16u* dst,
                                std::ptrdiff_t dst_step, int width, int height,
                                int max_value) noexcept;
// 8-bit chroma, planar or interleaved CbCr in and out: one kernel per (width, dx != 0, dy != 0);
// `frac` = dy * 8 + dx gives the bilinear weights. For interleaved data the width counts CbCr
// pairs. Returns opxOk, so that an entry point can hand its result straight on.
using InterpChroma8Fn = OpxResult (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                                      std::ptrdiff_t dst_step, int height, int frac) noexcept;
// 8-bit chroma from interleaved CbCr into two planes (Cb to dst_u, Cr to dst_v).
using InterpChromaSplit8Fn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst_u,
                                      Opx8u* dst_v, std::ptrdiff_t dst_step, int height,
                                      int frac) noexcept;
// 16-bit chroma: one kernel per (dx != 0, dy != 0); any width and height.
using InterpChroma16Fn = void (*)(const Opx16u* src, std::ptrdiff_t src_step, Opx16u* dst,
                                  std::ptrdiff_t dst_step, int width, int height, int dx,
                                  int dy) noexcept;
// Rounded average of two blocks, width and height 2..16.
using AverageFn = void (*)(const Opx8u* src1, std::ptrdiff_t src1_step, const Opx8u* src2,
                           std::ptrdiff_t src2_step, Opx8u* dst, std::ptrdiff_t dst_step, int width,
                           int height) noexcept;

// A reference region of a Block call in picture coordinates (64-bit: any position plus any
// vector is exact), and the copier that fills an edge work buffer from it: every sample outside
// the picture is taken at the clamped coordinates. Elements are `E` bytes (1: 8-bit samples; 2:
// 16-bit samples or interleaved CbCr pairs); buffer rows are kEdgePitch elements apart.
struct EdgeRegion {
    std::int64_t x0, y0;
    int width, height;
};
inline constexpr int kEdgePitch = 32;
using EdgeGatherFn = void (*)(const unsigned char* plane, std::ptrdiff_t step_bytes,
                              int frame_width, int frame_height, const EdgeRegion& region,
                              unsigned char* buf) noexcept;

struct InterpKernels {
    // [width group * 16 + dy * 4 + dx]; width group = bits 3 and 4 of the width (4 -> 0, 8 -> 1,
    // 16 -> 2; group 3 repeats group 2).
    InterpLuma8Fn luma8[64];
    // [dy * 4 + dx]
    InterpLuma16Fn luma16[16];
    // [(width & 12) + (dy != 0) * 2 + (dx != 0)]: width 2 -> 0, 4 -> 4, 8 -> 8, 12..15
    // repeat 8..11.
    InterpChroma8Fn chroma8[16];
    InterpChroma8Fn chroma8_c2[16];          // interleaved CbCr in and out, same index
    InterpChromaSplit8Fn chroma8_split[16];  // interleaved CbCr in, two planes out, same index
    // [(dy != 0) * 2 + (dx != 0)]
    InterpChroma16Fn chroma16[4];
    AverageFn average;
    // [element bytes - 1]
    EdgeGatherFn gather[2];
};

constexpr int luma8_index(int width, int dx, int dy) noexcept {
    return ((width >> 3) & 3) * 16 + dy * 4 + dx;
}
// dx, dy in 0..7: (f + 7) >> 3 is 1 for a nonzero fraction, without a compare.
constexpr int chroma8_index(int width, int dx, int dy) noexcept {
    return (width & 12) + ((dy + 7) >> 3 << 1) + ((dx + 7) >> 3);
}
constexpr int chroma_frac(int dx, int dy) noexcept {
    return dy * 8 + dx;
}
constexpr int chroma16_index(int dx, int dy) noexcept {
    return (dy != 0 ? 2 : 0) + (dx != 0 ? 1 : 0);
}

// Block widths with kernels.
inline constexpr int kLumaWidths[] = {4, 8, 16};
inline constexpr int kChromaWidths[] = {2, 4, 8};

namespace ref {
extern const InterpKernels kInterp;
}
namespace avx2 {
extern const InterpKernels kInterp;
// The 16-bit kernels, instantiated in interp16_avx2.cpp for every (dx, dy) the table holds;
// declared here so that the table is a constant of the 8-bit translation unit.
template <int DX, int DY>
void luma16(const Opx16u* src, std::ptrdiff_t ss, Opx16u* dst, std::ptrdiff_t ds, int width,
            int height, int max) noexcept;
template <bool DX, bool DY>
void chroma16(const Opx16u* src, std::ptrdiff_t ss, Opx16u* dst, std::ptrdiff_t ds, int width,
              int height, int dx, int dy) noexcept;
}  // namespace avx2

}  // namespace opx::h264
