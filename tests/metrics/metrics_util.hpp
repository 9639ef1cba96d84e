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

// A single-candidate kernel table (`ref_k[size][position]` against `avx_k[size][position]`) on
// every size, half-sample position, step, alignment and pattern, samples of `bits` bits: the
// candidate block has two columns (the two-channel form's half sample) and one row more than the
// source, and steps of the two blocks differ in sign. Kernels write one measure or two.
template <class T, class Table, std::size_t N>
void single_candidate_sweep(const BlockSize (&sizes)[N], const Table& ref_k, const Table& avx_k,
                            int bits, Rng& rng) {
    const std::int64_t hi = (std::int64_t{1} << bits) - 1;
    const int unit = sizeof(T);
    for (std::size_t s = 0; s < N; ++s) {
        const BlockSize b = sizes[s];
        for (int pos = 0; pos < 4; ++pos) {
            SCOPED_TRACE(testing::Message() << b.width << "x" << b.height << " position " << pos
                                            << ", " << bits << " bits");
            for (std::int32_t step : steps_for(unit * (b.width + 2), unit))
                for (int align = 0; align < 32; align += unit) {
                    const Pattern pat = kAllPatterns[align / unit % 6];
                    Area<T> src(b.width, b.height, (align * 7) % 32 & -unit, -step + 3 * unit);
                    Area<T> cand(b.width + 2, b.height + 1, align, step);
                    src.fill(pat, rng, 0, hi);
                    cand.fill(pat, rng, 0, hi, true);
                    Opx32s want[2] = {-1, -1}, got[2] = {-1, -1};
                    ref_k[s][pos](src.data(), src.step(), cand.data(), cand.step(), want);
                    avx_k[s][pos](src.data(), src.step(), cand.data(), cand.step(), got);
                    ASSERT_TRUE(want[0] == got[0] && want[1] == got[1])
                        << pattern_name(pat) << " align " << align << " step " << step << ": "
                        << want[0] << " " << want[1] << " against " << got[0] << " " << got[1];
                }
        }
    }
}

}  // namespace opx::test::metrics
