// Common vocabulary of the distortion metrics: block sizes, the half-sample position index and
// the build of kernel tables from a size list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "opxvc.h"

namespace opx::metrics {

struct BlockSize {
    int width, height;
};

// Candidate position, the index mcType >> 2 of the public interface: bit 0 = vertical half
// sample, bit 1 = horizontal half sample.
enum Position { kInteger = 0, kVertical = 1, kHorizontal = 2, kBoth = 3, kNumPositions = 4 };

// Maps mcType to its position; false for values whose mcType >> 2 lies outside 0..3 (negative
// or above 15), which the entry points answer with opxWrnNothingDone.
constexpr bool position_of(std::int32_t mc_type, int* position) noexcept {
    if (mc_type < 0 || mc_type > 15) return false;
    *position = mc_type >> 2;
    return true;
}

// Byte offset of row y for a signed step.
constexpr std::ptrdiff_t row_offset(int y, std::int32_t step) noexcept {
    return static_cast<std::ptrdiff_t>(y) * step;
}

// A kernel that stores the value of Fn (a function returning the measure) to *out and returns
// opxOk: the form the single-value tables hold.
template <auto Fn, class T>
OpxResult stored(const T* src, std::int32_t src_step, const T* ref, std::int32_t ref_step,
                 Opx32s* out) noexcept {
    *out = Fn(src, src_step, ref, ref_step);
    return opxOk;
}

template <class T>
constexpr const T* row_at(const T* base, int y, std::int32_t step) noexcept {
    return reinterpret_cast<const T*>(reinterpret_cast<const unsigned char*>(base) +
                                      row_offset(y, step));
}

}  // namespace opx::metrics

namespace opx::metrics::portable {

// The candidate sample P[y][x] at a position (rules of the half-sample prediction, rounding half
// up), with n the distance of the horizontal neighbour (1, or 2 for interleaved two-channel
// rows). Formed in int, so it is exact for 16-bit samples too.
template <int Pos, int N, class T>
inline int candidate(const T* ref, std::int32_t step, int x, int y) noexcept {
    const T* r0 = row_at(ref, y, step);
    if constexpr (Pos == kInteger) {
        return r0[x];
    } else if constexpr (Pos == kVertical) {
        const T* r1 = row_at(ref, y + 1, step);
        return (r0[x] + r1[x] + 1) >> 1;
    } else if constexpr (Pos == kHorizontal) {
        return (r0[x] + r0[x + N] + 1) >> 1;
    } else {
        const T* r1 = row_at(ref, y + 1, step);
        return (r0[x] + r0[x + N] + r1[x] + r1[x + N] + 2) >> 2;
    }
}

template <class T>
inline int sample(const T* base, std::int32_t step, int x, int y) noexcept {
    return row_at(base, y, step)[x];
}

}  // namespace opx::metrics::portable
