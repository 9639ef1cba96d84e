// Common vocabulary of the VC-1 family (SMPTE 421M): row addressing with signed byte steps,
// clamps, and the standard's constant matrices and filters, shared as data by the portable and
// AVX2 kernels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"

#pragma GCC visibility push(hidden)

namespace opx::vc1 {

template <class T>
inline T* row_at(T* base, std::ptrdiff_t y, std::int32_t step) noexcept {
    return reinterpret_cast<T*>(reinterpret_cast<char*>(base) + y * step);
}
template <class T>
inline const T* row_at(const T* base, std::ptrdiff_t y, std::int32_t step) noexcept {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(base) + y * step);
}

constexpr int clamp16(std::int64_t v) noexcept {
    return v < -32768 ? -32768 : v > 32767 ? 32767 : static_cast<int>(v);
}
constexpr int clamp8(int v) noexcept {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Arithmetic right shift of a two's-complement 32-bit value held as unsigned (the forward
// transform sums wrap modulo 2^32).
constexpr std::int32_t sra32(std::uint32_t v, int s) noexcept {
    return static_cast<std::int32_t>(v) >> s;
}

// Block shapes of the transforms and the inter quantisers: width x height (8x4 is 8 columns and
// 4 rows).
enum Shape { k8x8, k8x4, k4x8, k4x4, kNumShapes };
constexpr int shape_width(int s) noexcept {
    return (s == k8x8 || s == k8x4) ? 8 : 4;
}
constexpr int shape_height(int s) noexcept {
    return (s == k8x8 || s == k4x8) ? 8 : 4;
}

template <int N>
struct Matrix {
    std::int16_t m[N][N];
};

// SMPTE 421M 8.1.4.2 (T8, T4): inverse transform bases, row k is basis vector k.
inline constexpr Matrix<8> kInv8 = {{
    {12, 12, 12, 12, 12, 12, 12, 12},
    {16, 15, 9, 4, -4, -9, -15, -16},
    {16, 6, -6, -16, -16, -6, 6, 16},
    {15, -4, -16, -9, 9, 16, 4, -15},
    {12, -12, -12, 12, 12, -12, -12, 12},
    {9, -16, 4, 15, -15, -4, 16, -9},
    {6, -16, 16, -6, -6, 16, -16, 6},
    {4, -9, 15, -16, 16, -15, 9, -4},
}};
inline constexpr Matrix<4> kInv4 = {{
    {17, 17, 17, 17},
    {22, 10, -10, -22},
    {17, -17, -17, 17},
    {10, -22, 22, -10},
}};

// Forward bases of the library's encoder transform (scaled inverses of the above): rows k.
inline constexpr Matrix<8> kFwd8 = {{
    {21845, 21845, 21845, 21845, 21845, 21845, 21845, 21845},
    {29026, 27212, 16327, 7257, -7257, -16327, -27212, -29026},
    {28728, 10773, -10773, -28728, -28728, -10773, 10773, 28728},
    {27212, -7257, -29026, -16327, 16327, 29026, 7257, -27212},
    {21845, -21845, -21845, 21845, 21845, -21845, -21845, 21845},
    {16327, -29026, 7257, 27212, -27212, -7257, 29026, -16327},
    {10773, -28728, 28728, -10773, -10773, 28728, -28728, 10773},
    {7257, -16327, 27212, -29026, 29026, -27212, 16327, -7257},
}};
inline constexpr Matrix<4> kFwd4 = {{
    {15420, 15420, 15420, 15420},
    {19751, 8978, -8978, -19751},
    {15420, -15420, -15420, 15420},
    {8978, -19751, 19751, -8978},
}};

// Forward quantiser division by q = 2..62 (AVX2 path): class 0 divides by shifting (q = 2^shift),
// class 1 takes the high half of c * magic, class 2 the high half of c * (magic + 2^16) (magic
// stored minus 2^16); classes 1 and 2 then shift arithmetically by `shift` and add 1 for a
// negative dividend. Equal to truncating division for every 16-bit c (tests check all).
struct DivStep {
    std::int8_t cls, shift;
    std::int16_t magic;
};
inline constexpr DivStep kDivSteps[61] = {
    {0, 1, 0},      {1, 0, 21846},  {0, 2, 0},      {1, 1, 26215},  {1, 0, 10923},  {1, 1, 18725},
    {0, 3, 0},      {1, 0, 7282},   {1, 2, 26215},  {1, 0, 5958},   {1, 1, 10923},  {1, 2, 20165},
    {1, 2, 18725},  {2, 3, -30583}, {0, 4, 0},      {1, 3, 30841},  {1, 0, 3641},   {2, 4, -10347},
    {1, 3, 26215},  {2, 4, -15603}, {1, 0, 2979},   {2, 4, -19945}, {1, 2, 10923},  {1, 1, 5243},
    {1, 3, 20165},  {2, 4, -26699}, {1, 3, 18725},  {1, 3, 18079},  {2, 4, -30583}, {1, 3, 16913},
    {0, 5, 0},      {1, 0, 1986},   {1, 4, 30841},  {1, 1, 3745},   {1, 1, 3641},   {1, 2, 7085},
    {2, 5, -10347}, {1, 4, 26887},  {1, 4, 26215},  {2, 5, -14385}, {2, 5, -15603}, {1, 3, 12193},
    {1, 1, 2979},   {1, 3, 11651},  {2, 5, -19945}, {2, 5, -20915}, {1, 3, 10923},  {1, 1, 2675},
    {1, 2, 5243},   {2, 5, -24415}, {1, 4, 20165},  {1, 4, 19785},  {2, 5, -26699}, {2, 5, -27405},
    {1, 4, 18725},  {2, 5, -28743}, {1, 4, 18079},  {1, 4, 17773},  {2, 5, -30583}, {1, 3, 8595},
    {1, 4, 16913},
};

}  // namespace opx::vc1

#pragma GCC visibility pop
