// Helpers of the distortion-metric tests: blocks placed at a chosen alignment and step inside a
// buffer with room on every side, filled with the harness patterns.
#pragma once

#include <cstdint>
#include <vector>

#include "harness/harness.hpp"
#include "metrics/metrics.hpp"

namespace opx::test::metrics {

using opx::metrics::BlockSize;

// `rows` rows of `width` samples of T, row 0 at `align` bytes past a 64-byte boundary, rows
// `step` bytes apart (negative: upwards). Samples outside the rows stay at a fixed filler.
template <class T>
class Area {
  public:
    Area(int width, int rows, int align, std::int32_t step)
        : width_(width), rows_(rows), step_(step) {
        const std::ptrdiff_t span = static_cast<std::ptrdiff_t>(step < 0 ? -step : step) * rows +
                                    width * static_cast<std::ptrdiff_t>(sizeof(T));
        mem_.assign(static_cast<std::size_t>(span) + 256, 0x5A);
        unsigned char* base = reinterpret_cast<unsigned char*>(
            (reinterpret_cast<std::uintptr_t>(mem_.data()) + 63) & ~std::uintptr_t{63});
        base += 64 + align;
        if (step < 0) base += static_cast<std::ptrdiff_t>(-step) * (rows - 1);
        origin_ = reinterpret_cast<T*>(base);
    }
    T* data() { return origin_; }
    std::int32_t step() const { return step_; }
    T& at(int x, int y) {
        return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(origin_) +
                                    static_cast<std::ptrdiff_t>(y) * step_)[x];
    }
    void fill(Pattern p, Rng& rng, std::int64_t lo, std::int64_t hi, bool second = false) {
        for (int y = 0; y < rows_; ++y)
            for (int x = 0; x < width_; ++x)
                at(x, y) = static_cast<T>(pattern_value(p, x, y, lo, hi, rng, second));
    }

  private:
    int width_, rows_;
    std::int32_t step_;
    std::vector<unsigned char> mem_;
    T* origin_;
};

// Steps (in samples of width w, times the sample size) that are and are not multiples of 16
// bytes, negative ones included.
inline std::vector<std::int32_t> steps_for(int width_bytes, int sample_bytes = 1) {
    const int w = (width_bytes + 16) & ~1;
    return {w + 1 * sample_bytes, 32, 48, 64 + 6 * sample_bytes, -w - 2 * sample_bytes, -64};
}

}  // namespace opx::test::metrics
