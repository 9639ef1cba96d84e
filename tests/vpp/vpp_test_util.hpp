// Helpers of the video-processing tests: a plain sample grid of expected values and planes filled
// with patterns chosen for the filters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test::vpp {

// A grid of expected values; -1 marks a sample that must not be written.
struct Grid {
    int width, height;
    std::vector<int> v;
    Grid(int w, int h, int fill = -1) : width(w), height(h), v(static_cast<std::size_t>(w) * h, fill) {}
    int& at(int x, int y) { return v[static_cast<std::size_t>(y) * width + x]; }
    int at(int x, int y) const { return v[static_cast<std::size_t>(y) * width + x]; }
};

// Compares a destination plane (written over its canaries) with a grid: samples the grid
// leaves alone must keep the value `untouched`.
inline testing::AssertionResult matches(const Grid& want, const Opx8u* dst, std::ptrdiff_t step,
                                        int untouched) {
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const int got = dst[y * step + x];
            const int w = want.at(x, y) < 0 ? untouched : want.at(x, y);
            if (got != w)
                return testing::AssertionFailure()
                       << "at (x " << x << ", y " << y << "): want " << w << ", got " << got
                       << (want.at(x, y) < 0 ? " (sample must not be written)" : "");
        }
    return testing::AssertionSuccess();
}

// Fills a plane and its margins: random samples, or random samples of a few levels (ties and
// equal differences are frequent, which is where the deinterlacers' tie rules matter), or
// a ramp or the extremes.
inline void fill_plane(Plane<Opx8u>& p, int kind, Rng& rng) {
    const int k = kind % 4;  // negative kinds: the extremes
    p.fill_with_margins(k == 0 || k == 1 ? Pattern::kRandom
                        : k == 2         ? Pattern::kRamp
                                         : Pattern::kChecker,
                        rng, 0, k == 1 ? 3 : 255);
    if (k == 1)
        for (int y = -2; y < p.height() + 2; ++y)
            for (int x = -2; x < p.width() + 2; ++x)
                p.at(x, y) = static_cast<Opx8u>(p.at(x, y) * 85);
}

inline constexpr int kWidths[] = {1, 2, 3, 17, 33, 47, 64, 100};

}  // namespace opx::test::vpp
