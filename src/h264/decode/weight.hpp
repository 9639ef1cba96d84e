// H.264 weighted sample prediction (clause 8.4.2.3): kernel signatures, parameter records and
// the kernel tables of the family.
//
// Every operation of the family is one of two forms, evaluated exactly (as with unbounded
// integers) for every weight and offset an entry point accepts:
//
//   uni:  d' = Clip((s·w + r) >> shift) + o)                 in place
//   bi:   d  = Clip(((s1·w1 + s2·w2 + r) >> shift) + o)
//
// with r = 2^(shift−1) for shift ≥ 1 and r = 0 for shift = 0, and >> the floor division by
// 2^shift. Explicit uni-directional weighting has shift = logWD; explicit bi-directional has
// shift = logWD + 1 and o = (o1 + o2 + 1) >> 1; implicit has shift 6, o = 0; the weighted
// average takes its shift as given (≤ 0 meaning 0). Weights and offsets come in pairs: [0]
// applies to even samples and [1] to odd samples of a row, so one kernel serves planar blocks
// (both entries equal) and interleaved CbCr blocks (Cb even, Cr odd).
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"

namespace opx::h264 {

// Block sides of the size-checked functions, in class order: class(2) = 0 … class(16) = 3.
inline constexpr int kWeightSides[] = {2, 4, 8, 16};
inline constexpr int kNumWeightSizes = 16;  // index = width class * 4 + height class

struct UniWeight {
    int shift;          // 0..15
    std::int32_t w[2];  // weight of even / odd samples
    std::int64_t o[2];  // offset of even / odd samples
};

struct BiWeight {
    int shift;  // 0..30
    std::int32_t w1[2], w2[2];
    std::int64_t o[2];
};

// 8-bit kernels. Steps in bytes; `uni` weights a block in place.
using Uni8uFn = void (*)(Opx8u* p, std::ptrdiff_t step, const UniWeight& wt) noexcept;
using Bi8uFn = void (*)(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2,
                        std::ptrdiff_t step2, Opx8u* d, std::ptrdiff_t dstep,
                        const BiWeight& wt) noexcept;
// The exported explicit form on a planar block, with the one weight and offset in the ranges
// H.264 gives them and rows that do not overlap: shift 0..7, w −128..127, o −32768..32767.
// Returns opxOk, so that the entry point can hand its result straight on.
using UniPlain8uFn = OpxResult (*)(Opx8u* p, std::ptrdiff_t step, int shift, int w, int o) noexcept;
// Any width ≥ 1 (in bytes) and height ≥ 1.
using Bi8uAnyFn = void (*)(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2,
                           std::ptrdiff_t step2, Opx8u* d, std::ptrdiff_t dstep, int width,
                           int height, const BiWeight& wt) noexcept;

// 16-bit kernels (steps in samples, any width and height ≥ 1, results clamped to 0..max).
using Uni16uFn = void (*)(Opx16u* p, std::ptrdiff_t step, int width, int height,
                          const UniWeight& wt, int max) noexcept;
using Bi16uFn = void (*)(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2,
                         std::ptrdiff_t step2, Opx16u* d, std::ptrdiff_t dstep, int width,
                         int height, const BiWeight& wt, int max) noexcept;
// (s1 + s2 + 1) >> 1.
using Avg16uFn = void (*)(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2,
                          std::ptrdiff_t step2, Opx16u* d, std::ptrdiff_t dstep, int width,
                          int height) noexcept;

struct WeightKernels {
    Uni8uFn uni[kNumWeightSizes];     // planar: width in samples
    Uni8uFn uni_c2[kNumWeightSizes];  // interleaved: width in CbCr pairs (2 bytes each)
    UniPlain8uFn uni_plain[kNumWeightSizes];
    Bi8uFn bi[kNumWeightSizes];
    Bi8uFn bi_c2[kNumWeightSizes];
    Bi8uAnyFn bi_any;
    Uni16uFn uni16;
    Bi16uFn bi16;
    Avg16uFn avg16;
};

// Lists fn<Bytes, H> for the 16 size classes in table order, Bytes = width × `scale`.
#define OPX_WEIGHT_ROW(fn, scale, w) \
    fn<(w) * (scale), 2>, fn<(w) * (scale), 4>, fn<(w) * (scale), 8>, fn<(w) * (scale), 16>
#define OPX_WEIGHT_TABLE(fn, scale)                                                               \
    {                                                                                             \
        OPX_WEIGHT_ROW(fn, scale, 2), OPX_WEIGHT_ROW(fn, scale, 4), OPX_WEIGHT_ROW(fn, scale, 8), \
            OPX_WEIGHT_ROW(fn, scale, 16)                                                         \
    }

namespace ref {
extern const WeightKernels kWeight;
}
namespace avx2 {
extern const WeightKernels kWeight;
}

}  // namespace opx::h264
