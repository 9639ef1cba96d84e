// Hadamard-transformed differences: SATD (sum over 4×4 sub-blocks of the absolute 4×4 Hadamard
// coefficients of S − R) and SAT8x8D (one 8×8 Hadamard transform). Kernel signatures, the size
// list and the kernel table.
#pragma once

#include "metrics/metrics.hpp"

namespace opx::metrics {

inline constexpr BlockSize kSatdSizes[] = {{16, 16}, {16, 8}, {8, 16}, {8, 8},
                                           {8, 4},   {4, 8},  {4, 4}};
enum SatdSize {
    kSatd16x16,
    kSatd16x8,
    kSatd8x16,
    kSatd8x8,
    kSatd8x4,
    kSatd4x8,
    kSatd4x4,
    kNumSatdSizes
};

// Store the sum to *out and return opxOk (entry points end in a jump to their kernel).
using SatdFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                             std::int32_t ref_step, Opx32s* out) noexcept;
using Sat8x8d16uFn = OpxResult (*)(const Opx16u* src, std::int32_t src_step, const Opx16u* ref,
                                   std::int32_t ref_step, Opx32s* out) noexcept;

struct SatdKernels {
    SatdFn satd[kNumSatdSizes];
    SatdFn sat8x8d;
    Sat8x8d16uFn sat8x8d_16u;
};

namespace ref {
extern const SatdKernels kSatd;
}
namespace avx2 {
extern const SatdKernels kSatd;
}

}  // namespace opx::metrics
