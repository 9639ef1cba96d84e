// Scalar model of the VC-1 residual path for the tests, written from the formulas: matrix
// products in 64-bit integers with the clamps of the rules, division by the operator, the
// Hadamard matrix by its sign rule. Shares nothing with the library but the public types.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "opxvc.h"

namespace opx::test::vc1 {

using i64 = std::int64_t;

// SMPTE 421M inverse bases T8 and T4.
inline constexpr int kT8[8][8] = {
    {12, 12, 12, 12, 12, 12, 12, 12},     {16, 15, 9, 4, -4, -9, -15, -16},
    {16, 6, -6, -16, -16, -6, 6, 16},     {15, -4, -16, -9, 9, 16, 4, -15},
    {12, -12, -12, 12, 12, -12, -12, 12}, {9, -16, 4, 15, -15, -4, 16, -9},
    {6, -16, 16, -6, -6, 16, -16, 6},     {4, -9, 15, -16, 16, -15, 9, -4}};
inline constexpr int kT4[4][4] = {
    {17, 17, 17, 17}, {22, 10, -10, -22}, {17, -17, -17, 17}, {10, -22, 22, -10}};
inline constexpr int kF8[8][8] = {{21845, 21845, 21845, 21845, 21845, 21845, 21845, 21845},
                                  {29026, 27212, 16327, 7257, -7257, -16327, -27212, -29026},
                                  {28728, 10773, -10773, -28728, -28728, -10773, 10773, 28728},
                                  {27212, -7257, -29026, -16327, 16327, 29026, 7257, -27212},
                                  {21845, -21845, -21845, 21845, 21845, -21845, -21845, 21845},
                                  {16327, -29026, 7257, 27212, -27212, -7257, 29026, -16327},
                                  {10773, -28728, 28728, -10773, -10773, 28728, -28728, 10773},
                                  {7257, -16327, 27212, -29026, 29026, -27212, 16327, -7257}};
inline constexpr int kF4[4][4] = {{15420, 15420, 15420, 15420},
                                  {19751, 8978, -8978, -19751},
                                  {15420, -15420, -15420, 15420},
                                  {8978, -19751, 19751, -8978}};

inline int basis(int n, int k, int j) {
    return n == 8 ? kT8[k][j] : kT4[k][j];
}
inline int fbasis(int n, int k, int j) {
    return n == 8 ? kF8[k][j] : kF4[k][j];
}
inline i64 sat16(i64 v) {
    return std::clamp<i64>(v, -32768, 32767);
}
// Arithmetic shift right by s of a 64-bit value (floor division).
inline i64 shr(i64 v, int s) {
    return v >> s;
}
// A 32-bit two's-complement sum.
inline i64 wrap32(i64 v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// Block: w x h values in raster order.
using Block = std::vector<int>;

inline Block model_inverse(const Block& d, int w, int h) {
    std::vector<i64> e(w * h);
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) {
            i64 s = 0;
            for (int k = 0; k < w; ++k) s += i64{d[i * w + k]} * basis(w, k, j);
            e[i * w + j] = sat16(shr(s + 4, 3));
        }
    Block r(w * h);
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j) {
            i64 s = 0;
            for (int k = 0; k < h; ++k) s += e[k * w + j] * basis(h, k, i);
            const int c = (h == 8 && i >= 4) ? 1 : 0;
            r[i * w + j] = static_cast<int>(sat16(shr(s + 64 + c, 7)));
        }
    return r;
}

inline Block model_forward(const Block& x, int w, int h) {
    const int s1 = w == 8 ? 12 : 11, s2 = h == 8 ? 20 : 19;
    std::vector<i64> e(w * h);
    for (int i = 0; i < h; ++i)
        for (int k = 0; k < w; ++k) {
            i64 s = 0;
            for (int j = 0; j < w; ++j) s += i64{x[i * w + j]} * fbasis(w, k, j);
            e[i * w + k] = sat16(shr(wrap32(s + (i64{1} << (s1 - 1))), s1));
        }
    Block y(w * h);
    for (int l = 0; l < h; ++l)
        for (int k = 0; k < w; ++k) {
            i64 s = 0;
            for (int i = 0; i < h; ++i) s += e[i * w + k] * fbasis(h, l, i);
            y[l * w + k] = static_cast<int>(sat16(shr(wrap32(s + (i64{1} << (s2 - 1))), s2)));
        }
    return y;
}

inline int model_quant(int c, int q, bool nonuniform) {
    if (c == 0) return 0;
    const int t = nonuniform ? c - (c > 0 ? 1 : -1) * (q / 2) : c;
    return t / q;  // C++ division truncates toward zero
}

inline int model_dequant(int c, i64 q, bool nonuniform) {
    i64 r = i64{c} * q;
    if (nonuniform && c != 0) r += (c > 0 ? 1 : -1) * (q >> 1);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(r)));
}

// Non-zero extent (width, height) of a w x h block.
inline OpxRoiSize model_extent(const Block& b, int w, int h) {
    OpxRoiSize e{0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (b[y * w + x] != 0) {
                e.width = std::max(e.width, x + 1);
                e.height = std::max(e.height, y + 1);
            }
    return e;
}

// Hadamard by the sign rule, exact (inputs that cannot saturate).
inline Block model_hadamard_exact(const Block& x) {
    Block out(64);
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) {
            i64 s = 0;
            for (int y = 0; y < 8; ++y)
                for (int xx = 0; xx < 8; ++xx)
                    s += ((__builtin_popcount(u & y) + __builtin_popcount(v & xx)) & 1)
                             ? -x[y * 8 + xx]
                             : x[y * 8 + xx];
            out[u * 8 + v] = static_cast<int>(s);
        }
    return out;
}

// Hadamard by saturated butterflies: horizontal distances 1, 2, 4, then vertical.
inline Block model_hadamard_saturating(Block v) {
    for (int pass = 0; pass < 2; ++pass)
        for (int line = 0; line < 8; ++line)
            for (int d = 1; d < 8; d <<= 1)
                for (int i = 0; i < 8; ++i) {
                    if (i & d) continue;
                    int& a = pass == 0 ? v[line * 8 + i] : v[i * 8 + line];
                    int& b = pass == 0 ? v[line * 8 + i + d] : v[(i + d) * 8 + line];
                    const int s = static_cast<int>(sat16(i64{a} + b));
                    const int df = static_cast<int>(sat16(i64{a} - b));
                    a = s;
                    b = df;
                }
    return v;
}

inline i64 model_hadamard_sum(const Block& h) {
    i64 total = 0;
    for (int v = 0; v < 8; ++v) {
        i64 col = 0;
        for (int u = 0; u < 8; ++u) col += std::min(32767, std::abs(h[u * 8 + v]));
        total += std::min<i64>(col, 32767);
    }
    return total;
}

}  // namespace opx::test::vc1
