// VC-1 residual path: inverse and forward transforms of 8x8, 8x4, 4x8 and 4x4 blocks, forward
// and inverse quantisers, the 8x8 Hadamard activity measure. Kernel signatures and the two kernel
// tables (portable `ref`, `avx2`).
//
// Contract of every kernel: arguments already checked (pointers valid, doubleQuant 2..62 for the
// forward quantisers); a block is read completely before any of it is written, so source and
// destination may be the same block (the in-place functions); steps are in bytes, may be odd or
// negative; exactly the block's w x h values are read and written. Both tables give identical
// results for every 16-bit input:
//  - inverse transform (SMPTE 421M 8.1.4.2): rows E = (D . Mw + 4) >> 3, columns
//    R = (Mh^T . E + 64 + c) >> 7 with c = 1 on output rows 4..7 of an 8-point column pass;
//    each pass clamped to 16 bits. Sums fit 32 bits (|sum| <= 32768 * 8 * 17).
//  - forward transform: rows (X . Fw^T + 2^(s1-1)) >> s1, s1 = 11 (4-point) or 12 (8-point),
//    columns (Fh . E + 2^(s2-1)) >> s2, s2 = 19 or 20; sums taken modulo 2^32 (they exceed 32
//    bits only far outside residual range), each pass clamped to 16 bits.
#pragma once

#include "vc1/vc1.hpp"

#pragma GCC visibility push(hidden)

namespace opx::vc1 {

// ---- transforms ------------------------------------------------------------------------------

// Non-zero extent classes of one dimension: the extent rounded up to 2, 4 or the block size.
enum Extent { kExt2, kExt4, kExt8, kNumExtents };
// Inverse-transform kernel index: kInvDc (extent below 2 both ways: only D[0][0] is read), else
// kInvFirst + 3 * height class + width class (a 4-point dimension uses kExt2 or kExt4 only).
enum { kInvDc = 0, kInvFirst = 1, kNumInvKernels = 1 + kNumExtents * kNumExtents };

constexpr int extent_class(std::int32_t extent, int n) noexcept {
    const std::int32_t e = extent < 0 ? 0 : extent > n ? n : extent;
    return e <= 2 ? kExt2 : e <= 4 ? kExt4 : kExt8;
}
// Kernel index of a block of size n_w x n_h with the promised extent (clamped first: a negative
// extent is 0, one beyond the block is the whole block).
constexpr int inv_kernel_index(OpxRoiSize nz, int n_w, int n_h) noexcept {
    const std::int32_t w = nz.width < 0 ? 0 : nz.width > n_w ? n_w : nz.width;
    const std::int32_t h = nz.height < 0 ? 0 : nz.height > n_h ? n_h : nz.height;
    if (w < 2 && h < 2) return kInvDc;
    return kInvFirst + 3 * extent_class(h, n_h) + extent_class(w, n_w);
}

using TransformFn = void (*)(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                             std::int32_t dst_step) noexcept;

struct TransformKernels {
    TransformFn inv[kNumShapes][kNumInvKernels];
    TransformFn fwd[kNumShapes];
};

// ---- quantisers and Hadamard --------------------------------------------------------------------

// Quantiser block kinds: the intra 8x8 block (first coefficient left alone) and the four inter
// shapes.
enum QuantBlock { kQIntra, kQInter8x8, kQInter8x4, kQInter4x8, kQInter4x4, kNumQuantBlocks };
enum QuantKind { kUniform, kNonuniform, kNumQuantKinds };

// Forward quantiser in place, q = doubleQuant 2..62: uniform c / q, non-uniform
// (c - sign(c) (q >> 1)) / q, truncating toward zero; 0 stays 0. Entry [cls] serves the q whose
// kDivSteps class is cls (the portable table holds one division kernel in all three).
using QuantFwdFn = void (*)(Opx16s* block, std::int32_t step, int q) noexcept;
// Inverse quantiser: r = c q (+ sign(c) (q >> 1) non-uniform), modulo 2^16; the non-zero extent
// of the output to *nz (intra: height at least 1). Any q.
using QuantInvFn = void (*)(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                            std::int32_t dst_step, int q, OpxRoiSize* nz) noexcept;
// 8x8 Hadamard, horizontal butterflies (distances 1, 2, 4) then vertical, each saturated to 16
// bits; 64 values to dst (rows 16 bytes apart), the column-saturated magnitude sum to *sum.
using Hadamard8uFn = void (*)(const Opx8u* src, std::int32_t src_step, Opx16s* dst,
                              Opx32s* sum) noexcept;
using Hadamard16sFn = void (*)(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                               Opx32s* sum) noexcept;

struct QuantKernels {
    QuantFwdFn fwd[kNumQuantKinds][kNumQuantBlocks][3];
    QuantInvFn inv[kNumQuantKinds][kNumQuantBlocks];
    Hadamard8uFn hadamard8u;
    Hadamard16sFn hadamard16s;
};

namespace ref {
extern const TransformKernels kTransform;
extern const QuantKernels kQuant;
}  // namespace ref
namespace avx2 {
extern const TransformKernels kTransform;
extern const QuantKernels kQuant;
}  // namespace avx2

}  // namespace opx::vc1

#pragma GCC visibility pop
