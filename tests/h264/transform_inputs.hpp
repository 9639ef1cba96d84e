// Inputs for the H.264 inverse transform tests: coefficient blocks that tell wrapping,
// saturating and exact arithmetic apart, and realistic levels made by the forward transform and
// quantisation of random residuals.
#pragma once

#include <algorithm>
#include <cstdint>

#include "harness/harness.hpp"

namespace opx::test::h264 {

using i64 = std::int64_t;

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
inline int class8(int i) {
    const int r = i >> 3, c = i & 7;
    if (r % 4 == 0 && c % 4 == 0) return 0;
    if (r % 2 == 1 && c % 2 == 1) return 1;
    if (r % 4 == 2 && c % 4 == 2) return 2;
    if ((r % 4 == 0 && c % 2 == 1) || (c % 4 == 0 && r % 2 == 1)) return 3;
    if ((r % 4 == 0 && c % 4 == 2) || (c % 4 == 0 && r % 4 == 2)) return 4;
    return 5;
}

// Levels of a random residual (samples -range..range) at qp, as an encoder makes them: the
// library's exact forward transforms and quantisation (intra rounding, flat 8x8 scales).
inline void realistic_levels4x4(Rng& rng, int qp, int range, i64* levels) {
    Opx16s x[16], scan[16];
    Opx32s l[16], num, last;
    for (int i = 0; i < 16; ++i)
        x[i] = static_cast<Opx16s>(rng.uniform(-range, range)), scan[i] = static_cast<Opx16s>(i);
    EXPECT_EQ(opxiTransformQuantFwd4x4_H264_16s32s_C1(x, l, qp, &num, 1, scan, &last, nullptr),
              opxOk);
    std::copy(l, l + 16, levels);
}

inline void realistic_levels8x8(Rng& rng, int qp, int range, i64* levels) {
    Opx16s x[64], scan[64];
    Opx8u flat[64];
    Opx16u deq[64], quant[64];
    Opx32s w[64], l[64], num, last;
    for (int i = 0; i < 64; ++i)
        x[i] = static_cast<Opx16s>(rng.uniform(-range, range)), scan[i] = static_cast<Opx16s>(i),
        flat[i] = 16;
    EXPECT_EQ(opxiGenScaleLevel8x8_H264_8u16s_D2(flat, 8, deq, quant, qp % 6), opxOk);
    EXPECT_EQ(opxiTransformFwdLuma8x8_H264_16s32s_C1(x, w), opxOk);
    EXPECT_EQ(opxiQuantLuma8x8_H264_32s_C1(w, l, qp / 6, 1, scan, quant, &num, &last), opxOk);
    std::copy(l, l + 64, levels);
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
