// Sums of squared differences against a candidate at an integer or half-sample position, and the
// frame/field activity of a 16×16 block. Kernel signatures, the size list and the kernel table.
#pragma once

#include "metrics/metrics.hpp"

namespace opx::metrics {

inline constexpr BlockSize kSsdSizes[] = {{8, 8}, {4, 4}};
enum SsdSize { kSsd8x8, kSsd4x4, kNumSsdSizes };

// Stores Σ (P − S)² (at most 65025 × 64) to *out and returns opxOk.
using SsdFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                            std::int32_t ref_step, Opx32s* out) noexcept;

struct FrameField {
    std::int32_t frame, field;
};
using FrameField8uFn = FrameField (*)(const Opx8u* src, std::int32_t src_step) noexcept;
// Both sums modulo 2^16, zero-extended.
using FrameField16sFn = FrameField (*)(const Opx16s* src, std::int32_t src_step) noexcept;

struct SsdKernels {
    SsdFn ssd[kNumSsdSizes][kNumPositions];
    FrameField8uFn frame_field_8u;
    FrameField16sFn frame_field_16s;
};

namespace ref {
extern const SsdKernels kSsd;
}
namespace avx2 {
extern const SsdKernels kSsd;
}

}  // namespace opx::metrics
