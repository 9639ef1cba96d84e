// Helpers of the H.264 interpolation tests: source patterns that drive the six-tap intermediates
// to their extremes, and sources placed flush against unreadable pages.
#pragma once

#include <cstdint>

#include "harness/harness.hpp"

namespace opx::test::interp {

// Input kinds of the differential tests: the harness patterns plus the six-tap worst cases.
enum class Input { kRandom, kChecker, kZeros, kMax, kRamp, kSixTapMax, kSixTapMin };
inline constexpr Input kAllInputs[] = {Input::kRandom,   Input::kChecker, Input::kZeros,
                                       Input::kMax,      Input::kRamp,    Input::kSixTapMax,
                                       Input::kSixTapMin};

// Columns (rows) x with x mod 6 in {0, 2, 3, 5} meet the positive taps of a six-tap window that
// starts at a multiple of 6, the others the negative taps. A sample is `hi` where the column and
// row phases agree: every window aligned that way gives the largest b1 on one row kind and the
// smallest on the other, and so the largest j1 (kSixTapMax) or, inverted, the smallest.
inline bool six_tap_positive(int v) {
    const int m = ((v % 6) + 6) % 6;
    return m == 0 || m == 2 || m == 3 || m == 5;
}

template <class T>
T input_value(Input in, int x, int y, int max, int phase_x, int phase_y, Rng& rng) {
    switch (in) {
        case Input::kRandom:
            return static_cast<T>(rng.uniform(0, max));
        case Input::kChecker:
            return static_cast<T>(((x + y) & 1) ? max : 0);
        case Input::kZeros:
            return 0;
        case Input::kMax:
            return static_cast<T>(max);
        case Input::kRamp:
            return static_cast<T>((x * 7 + y * 13) % (max + 1));
        case Input::kSixTapMax:
        case Input::kSixTapMin: {
            const bool agree = six_tap_positive(x + phase_x) == six_tap_positive(y + phase_y);
            return static_cast<T>(agree == (in == Input::kSixTapMax) ? max : 0);
        }
    }
    return 0;
}

// Fills a plane and its margins.
template <class T>
void fill_input(Plane<T>& p, int margin, Input in, int max, Rng& rng) {
    const int px = static_cast<int>(rng.uniform(0, 5)), py = static_cast<int>(rng.uniform(0, 5));
    for (int y = -margin; y < p.height() + margin; ++y)
        for (int x = -margin; x < p.width() + margin; ++x)
            p.at(x, y) = input_value<T>(in, x, y, max, px, py, rng);
}

// Support of a kernel call relative to the block: columns c0..c1, rows r0..r1.
struct Support {
    int c0, c1, r0, r1;
    int width() const { return c1 - c0 + 1; }
    int height() const { return r1 - r0 + 1; }
};
inline Support luma_support(int w, int h, int dx, int dy) {
    return {dx ? -2 : 0, dx ? w + 2 : w - 1, dy ? -2 : 0, dy ? h + 2 : h - 1};
}
inline Support chroma_support(int w, int h, int dx, int dy, int channels = 1) {
    return {0, (dx ? w + 1 : w) * channels - 1, 0, dy ? h : h - 1};
}

// A source whose support (in elements of T) is enclosed by unreadable pages, flush against the
// end (or the front) of the readable memory, with row step `step` elements (>= support width).
template <class T>
struct GuardedSource {
    GuardedBuffer buf;
    const T* block = nullptr;  // position of block sample (0, 0)
    std::ptrdiff_t step;

    GuardedSource(const Support& s, std::ptrdiff_t step_elems, bool at_front, Rng& rng, int max)
        : buf(static_cast<std::size_t>(step_elems) * s.height() * sizeof(T) + 64),
          step(step_elems) {
        unsigned char* first =
            buf.place(s.width() * sizeof(T), s.height(),
                      step_elems * static_cast<std::ptrdiff_t>(sizeof(T)), at_front);
        T* origin = reinterpret_cast<T*>(first);
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x)
                origin[y * step_elems + x] = static_cast<T>(rng.uniform(0, max));
        block = origin - s.r0 * step_elems - s.c0;
    }
};

}  // namespace opx::test::interp
