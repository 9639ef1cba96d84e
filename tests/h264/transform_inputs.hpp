// Inputs for the H.264 inverse transform tests: coefficient blocks that tell wrapping,
// saturating and exact arithmetic apart, and realistic levels made by the encoder's forward
// transform and quantisation of random residuals (written here from the forward rules, apart from
// the library's code).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test::h264 {

using i64 = std::int64_t;

// Forward 4x4 core transform of one residual block (rows then columns, exact).
inline void forward4x4(const int* x, i64* y) {
    i64 t[16];
    for (int pass = 0; pass < 2; ++pass) {
        const i64* in = pass == 0 ? nullptr : t;
        for (int k = 0; k < 4; ++k) {
            i64 v[4];
            for (int j = 0; j < 4; ++j) v[j] = pass == 0 ? x[4 * k + j] : in[4 * j + k];
            const i64 s03 = v[0] + v[3], d03 = v[0] - v[3], s12 = v[1] + v[2], d12 = v[1] - v[2];
            const i64 o[4] = {s03 + s12, 2 * d03 + d12, s03 - s12, d03 - 2 * d12};
            for (int j = 0; j < 4; ++j) (pass == 0 ? t[4 * k + j] : y[4 * j + k]) = o[j];
        }
    }
}

// Forward 8x8 transform (rows then columns, exact, arithmetic shifts).
inline void forward8x8(const int* x, i64* y) {
    i64 t[64];
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < 8; ++k) {
            i64 v[8];
            for (int j = 0; j < 8; ++j) v[j] = pass == 0 ? x[8 * k + j] : t[8 * j + k];
            const i64 a0 = v[0] + v[7], a1 = v[1] + v[6], a2 = v[2] + v[5], a3 = v[3] + v[4];
            const i64 a4 = v[0] - v[7], a5 = v[1] - v[6], a6 = v[2] - v[5], a7 = v[3] - v[4];
            const i64 b0 = a0 + a3, b1 = a1 + a2, b2 = a0 - a3, b3 = a1 - a2;
            const i64 b4 = a5 + a6 + ((a4 >> 1) + a4), b5 = a4 - a7 - ((a6 >> 1) + a6);
            const i64 b6 = a4 + a7 - ((a5 >> 1) + a5), b7 = a5 - a6 + ((a7 >> 1) + a7);
            const i64 o[8] = {b0 + b1, b4 + (b7 >> 2), b2 + (b3 >> 1), b5 + (b6 >> 2),
                              b0 - b1, b6 - (b5 >> 2), (b2 >> 1) - b3, (b4 >> 2) - b7};
            for (int j = 0; j < 8; ++j) (pass == 0 ? t[8 * k + j] : y[8 * j + k]) = o[j];
        }
    }
}

// Forward quantisation factors MF[qp % 6][class] (4x4: a both even, b both odd, c otherwise).
inline constexpr int kMF[6][3] = {{13107, 5243, 8066}, {11916, 4660, 7490}, {10082, 4194, 6554},
                                  {9362, 3647, 5825},  {8192, 3355, 5243},  {7282, 2893, 4559}};
inline int class4(int i) {
    const int r = i >> 2, c = i & 3;
    return (r % 2 == 0 && c % 2 == 0) ? 0 : (r % 2 == 1 && c % 2 == 1) ? 1 : 2;
}
// normAdjust4x4 v(m, class), and the 8x8 tables with their six classes.
inline constexpr int kV4[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                                  {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};
inline constexpr int kV8[6][6] = {{20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26},
                                  {26, 23, 42, 24, 33, 31}, {28, 25, 45, 26, 35, 33},
                                  {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43}};
inline constexpr int kMF8[6][6] = {
    {13107, 11428, 20972, 12222, 16777, 15481}, {11916, 10826, 19174, 11058, 14980, 14290},
    {10082, 8943, 15978, 9675, 12710, 11985},   {9362, 8228, 14913, 8931, 11984, 11259},
    {8192, 7346, 13159, 7740, 10486, 9777},     {7282, 6428, 11570, 6830, 9118, 8640}};
inline int class8(int i) {
    const int r = i >> 3, c = i & 7;
    if (r % 4 == 0 && c % 4 == 0) return 0;
    if (r % 2 == 1 && c % 2 == 1) return 1;
    if (r % 4 == 2 && c % 4 == 2) return 2;
    if ((r % 4 == 0 && c % 2 == 1) || (c % 4 == 0 && r % 2 == 1)) return 3;
    if ((r % 4 == 0 && c % 4 == 2) || (c % 4 == 0 && r % 4 == 2)) return 4;
    return 5;
}

inline i64 quantise(i64 c, i64 mf, int q_bits) {
    const i64 f = (i64{1} << q_bits) / 3;
    const i64 m = ((c < 0 ? -c : c) * mf + f) >> q_bits;
    return c < 0 ? -m : m;
}

// Levels of a random residual (samples -range..range) at qp, as an encoder makes them.
inline void realistic_levels4x4(Rng& rng, int qp, int range, i64* levels) {
    int x[16];
    for (int& v : x) v = static_cast<int>(rng.uniform(-range, range));
    i64 w[16];
    forward4x4(x, w);
    for (int i = 0; i < 16; ++i) levels[i] = quantise(w[i], kMF[qp % 6][class4(i)], 15 + qp / 6);
}

inline void realistic_levels8x8(Rng& rng, int qp, int range, i64* levels) {
    int x[64];
    for (int& v : x) v = static_cast<int>(rng.uniform(-range, range));
    i64 w[64];
    forward8x8(x, w);
    for (int i = 0; i < 64; ++i) levels[i] = quantise(w[i], kMF8[qp % 6][class8(i)], 16 + qp / 6);
}

// Shapes of coefficient blocks for the differential tests. Each tells one kind of arithmetic
// from the others: full-range random values and rows of +-32767 overflow every 16-bit
// intermediate, DC values near the limits overflow the rounding, small levels stay exact.
enum class Shape {
    kRandomFull,
    kRandomSmall,
    kRowsMax,
    kRowsAlternating,
    kDcNearLimits,
    kComplementary,
    kSparse,
    kZeros
};
inline constexpr Shape kAllShapes[] = {
    Shape::kRandomFull,   Shape::kRandomSmall,   Shape::kRowsMax, Shape::kRowsAlternating,
    Shape::kDcNearLimits, Shape::kComplementary, Shape::kSparse,  Shape::kZeros};

// Fills n values (a square block of side `side`, or any array) in [lo, hi].
inline void fill_shape(Rng& rng, Shape s, int side, int n, i64 lo, i64 hi, i64* out) {
    for (int i = 0; i < n; ++i) {
        const int r = side ? i / side : 0;
        const int c = side ? i % side : i;
        switch (s) {
            case Shape::kRandomFull:
                out[i] = rng.uniform(lo, hi);
                break;
            case Shape::kRandomSmall:
                out[i] = rng.uniform(-2063, 2063);
                break;
            case Shape::kRowsMax:
                out[i] = (r & 1) ? lo + 1 : hi;
                break;
            case Shape::kRowsAlternating:
                out[i] = ((r + c) & 1) ? lo : hi;
                break;
            case Shape::kDcNearLimits:
                out[i] = i == 0 ? (rng.coin() ? hi - rng.uniform(0, 40) : lo + rng.uniform(0, 40))
                                : rng.uniform(-3, 3);
                break;
            case Shape::kComplementary:
                out[i] = (c < (side ? side / 2 : n / 2)) ? hi : lo;
                break;
            case Shape::kSparse:
                out[i] = rng.uniform(0, 7) == 0 ? rng.uniform(lo, hi) : 0;
                break;
            case Shape::kZeros:
                out[i] = 0;
                break;
        }
    }
}

}  // namespace opx::test::h264
