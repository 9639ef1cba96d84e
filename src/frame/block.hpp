// Generic 8-bit block primitives: copies, averages, residual addition and half-sample motion
// compensation. Kernel signatures and the kernel table of the family.
#pragma once

#include <cstdint>

#include "opxvc.h"

namespace opx::frame {

struct BlockSize {
    int width, height;
};

// Sizes of the plain copies, in table order.
inline constexpr BlockSize kCopySizes[] = {{8, 8}, {16, 16}};
enum CopySize { kCopy8x8, kCopy16x16, kNumCopySizes };

using CopyFn = void (*)(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                        std::int32_t dst_step) noexcept;

struct BlockKernels {
    CopyFn copy[kNumCopySizes];
};

namespace ref {
extern const BlockKernels kBlock;
}
namespace avx2 {
extern const BlockKernels kBlock;
}

}  // namespace opx::frame
