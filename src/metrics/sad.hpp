// Sums of absolute differences: single candidates (integer or half-sample position), rows of
// horizontally adjacent candidates, sub-blocks of a 16×16 block; 8-bit, interleaved two-channel
// and 16-bit samples. Kernel signatures, size lists and the kernel table of the family.
//
// Contract of every kernel: arguments already checked (pointers valid, position 0..3, candidate
// count a positive multiple of 8); reads exactly the documented samples (the block, plus one row
// below and n columns to the right for half-sample positions, plus M − 1 columns for the rows of
// candidates) and nothing else; results exact.
#pragma once

#include "metrics/metrics.hpp"

namespace opx::metrics {

// 8-bit single-candidate SAD, every size at every position.
inline constexpr BlockSize kSadSizes[] = {{16, 16}, {16, 8}, {8, 16}, {8, 8},
                                          {8, 4},   {4, 8},  {4, 4}};
enum SadSize { kSad16x16, kSad16x8, kSad8x16, kSad8x8, kSad8x4, kSad4x8, kSad4x4, kNumSadSizes };

// 16-bit-sample SAD sizes.
inline constexpr BlockSize kSad16uSizes[] = {{16, 16}, {8, 8}, {4, 4}};
enum Sad16uSize { kSad16u16x16, kSad16u8x8, kSad16u4x4, kNumSad16uSizes };

// Square blocks of the candidate-row (xN) forms.
inline constexpr BlockSize kSadXnSizes[] = {{16, 16}, {8, 8}, {4, 4}, {2, 2}};
enum SadXnSize { kXn16x16, kXn8x8, kXn4x4, kXn2x2, kNumXnSizes };

// Sub-blocks of a 16×16 block.
inline constexpr BlockSize kSadBlocksSizes[] = {{8, 8}, {4, 4}};
enum SadBlocksSize { kBlocks8x8, kBlocks4x4, kNumBlocksSizes };

// Store the SAD (at most 255 × 256 = 65280 for 8-bit samples; 65535 × 256 for 16-bit) to *out
// and return opxOk, so that an entry point ends in a jump to its kernel.
using SadFn = OpxResult (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                            std::int32_t ref_step, Opx32s* out) noexcept;
using Sad16uFn = OpxResult (*)(const Opx16u* src, std::int32_t src_step, const Opx16u* ref,
                               std::int32_t ref_step, Opx32s* out) noexcept;
// Two-channel interleaved 8×8: sad[0] even bytes, sad[1] odd bytes.
using SadC2Fn = void (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                         std::int32_t ref_step, std::int32_t sad[2]) noexcept;
// sad[i] for candidates pRef + i, i = 0..m−1, m a positive multiple of 8.
using SadXnFn = void (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                         std::int32_t ref_step, Opx16u* sad, int m) noexcept;
// As SadXnFn, and the smallest index of the least SAD; returns it.
using SadXniFn = std::int32_t (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                  std::int32_t ref_step, Opx16u* sad, int m) noexcept;
using SadBlocks8uFn = void (*)(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                               std::int32_t ref_step, Opx16u* sad) noexcept;
using SadBlocks16uFn = void (*)(const Opx16u* src, std::int32_t src_step, const Opx16u* ref,
                                std::int32_t ref_step, Opx32u* sad) noexcept;

struct SadKernels {
    SadFn sad[kNumSadSizes][kNumPositions];
    Sad16uFn sad16u[kNumSad16uSizes][kNumPositions];
    SadC2Fn sad_c2[kNumPositions];
    SadXnFn xn[kNumXnSizes];
    SadXniFn xni[kNumXnSizes];
    SadBlocks8uFn blocks8u[kNumBlocksSizes];
    SadBlocks16uFn blocks16u[kNumBlocksSizes];
};

namespace ref {
extern const SadKernels kSad;
}
namespace avx2 {
extern const SadKernels kSad;
}

}  // namespace opx::metrics
