// AVX2 H.264 luma interpolation: one kernel body for every quarter-sample position, instantiated
// per position and per lane layout (8-bit samples in 16-bit lanes, 16-bit samples in 32-bit
// lanes). Built only into *_avx2.cpp translation units.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::h264::avx2 {

// ---- exact-size loads and stores (never touch a byte outside [p, p + N))
// --------------------------

template <int N>
OPX_INLINE __m128i load_bytes(const void* p) {
    if constexpr (N == 16) {
        return _mm_loadu_si128(static_cast<const __m128i*>(p));
    } else if constexpr (N == 8) {
        return _mm_loadl_epi64(static_cast<const __m128i*>(p));
    } else if constexpr (N == 4) {
        std::int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    } else {
        static_assert(N == 2);
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return _mm_cvtsi32_si128(v);
    }
}

template <int N>
OPX_INLINE void store_bytes(void* p, __m128i v) {
    if constexpr (N == 16) {
        _mm_storeu_si128(static_cast<__m128i*>(p), v);
    } else if constexpr (N == 8) {
        _mm_storel_epi64(static_cast<__m128i*>(p), v);
    } else if constexpr (N == 4) {
        const std::int32_t x = _mm_cvtsi128_si32(v);
        std::memcpy(p, &x, 4);
    } else {
        static_assert(N == 2);
        const std::uint16_t x = static_cast<std::uint16_t>(_mm_cvtsi128_si32(v));
        std::memcpy(p, &x, 2);
    }
}

// ---- lane layouts
// -----------------------------------------------------------------------------------
//
// A layout holds one row of a block (or of a column strip of it) widened to `Row` lanes, and the
// finished samples of the row in `Out`. The six-tap sums of 8-bit samples lie in [-2550, 10710]
// and fit 16-bit lanes; the centre sample j sums six of them with the taps again, up to 449820,
// so it is formed in 32-bit lanes (pmaddwd) and rounded once. 16-bit samples (at most 14 bits)
// give six-tap sums in [-163830, 688086] and j1 below 2^25: 32-bit lanes throughout.

// Vector type of one widened row: 256 bits or 128 bits.
template <bool Wide>
struct RowOf {
    using type = __m128i;
};
template <>
struct RowOf<true> {
    using type = __m256i;
};

// 8-bit samples, W = 4, 8 or 16 per row.
template <int W>
struct Luma8Layout {
    using T = Opx8u;
    static constexpr bool kWide = W == 16;
    using Row = typename RowOf<kWide>::type;

    static OPX_INLINE Row load(const T* p) {
        if constexpr (kWide)
            return _mm256_cvtepu8_epi16(load_bytes<16>(p));
        else
            return _mm_cvtepu8_epi16(load_bytes<W>(p));
    }
    static OPX_INLINE Row add(Row a, Row b) {
        if constexpr (kWide)
            return _mm256_add_epi16(a, b);
        else
            return _mm_add_epi16(a, b);
    }
    static OPX_INLINE Row sub(Row a, Row b) {
        if constexpr (kWide)
            return _mm256_sub_epi16(a, b);
        else
            return _mm_sub_epi16(a, b);
    }
    template <int S>
    static OPX_INLINE Row shl(Row a) {
        if constexpr (kWide)
            return _mm256_slli_epi16(a, S);
        else
            return _mm_slli_epi16(a, S);
    }
    // Unrounded six-tap sum a - 5b + 20c + 20d - 5e + f = (a + f) + 5 (4 (c + d) - (b + e)).
    static OPX_INLINE Row tap(Row a, Row b, Row c, Row d, Row e, Row f) {
        const Row x = sub(shl<2>(add(c, d)), add(b, e));
        return add(add(a, f), add(shl<2>(x), x));
    }
    // Clip1((x + 16) >> 5) as packed samples (W valid bytes).
    static OPX_INLINE __m128i half(Row x, int) {
        if constexpr (kWide) {
            const __m256i r = _mm256_srai_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(16)), 5);
            return _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
        } else {
            const __m128i r = _mm_srai_epi16(_mm_add_epi16(x, _mm_set1_epi16(16)), 5);
            return _mm_packus_epi16(r, r);
        }
    }
    // Clip1((j1 + 512) >> 10) from six rows of unrounded horizontal sums (equation 8-244).
    // A = r0 + r5, B = r1 + r4, C = r2 + r3 stay within 16 bits; j1 = A - 5B + 20C is summed
    // by pmaddwd in 32-bit lanes. The in-lane unpacks and the pack restore the sample order.
    static OPX_INLINE __m128i centre(Row r0, Row r1, Row r2, Row r3, Row r4, Row r5, int) {
        const Row a = add(r0, r5), b = add(r1, r4), c = add(r2, r3);
        if constexpr (kWide) {
            const __m256i k15 = _mm256_set1_epi32(0xFFFB0001);  // (1, -5)
            const __m256i k10 = _mm256_set1_epi16(10);
            const __m256i rnd = _mm256_set1_epi32(512);
            const __m256i lo = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), k15),
                                 _mm256_madd_epi16(_mm256_unpacklo_epi16(c, c), k10)),
                rnd);
            const __m256i hi = _mm256_add_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), k15),
                                 _mm256_madd_epi16(_mm256_unpackhi_epi16(c, c), k10)),
                rnd);
            const __m256i j =
                _mm256_packs_epi32(_mm256_srai_epi32(lo, 10), _mm256_srai_epi32(hi, 10));
            return _mm_packus_epi16(_mm256_castsi256_si128(j), _mm256_extracti128_si256(j, 1));
        } else {
            const __m128i k15 = _mm_set1_epi32(0xFFFB0001);
            const __m128i k10 = _mm_set1_epi16(10);
            const __m128i rnd = _mm_set1_epi32(512);
            const __m128i lo =
                _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k15),
                                            _mm_madd_epi16(_mm_unpacklo_epi16(c, c), k10)),
                              rnd);
            __m128i j = _mm_srai_epi32(lo, 10);
            if constexpr (W == 8) {
                const __m128i hi =
                    _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), k15),
                                                _mm_madd_epi16(_mm_unpackhi_epi16(c, c), k10)),
                                  rnd);
                j = _mm_packs_epi32(j, _mm_srai_epi32(hi, 10));
            } else {
                j = _mm_packs_epi32(j, j);
            }
            return _mm_packus_epi16(j, j);
        }
    }
    static OPX_INLINE __m128i sample(const T* p) { return load_bytes<W>(p); }
    static OPX_INLINE __m128i avg(__m128i a, __m128i b) { return _mm_avg_epu8(a, b); }
    static OPX_INLINE void store(T* p, __m128i v) { store_bytes<W>(p, v); }
};

// 16-bit samples, a strip of N = 4 or 8 columns; results clamped to 0..max.
template <int N>
struct Luma16Layout {
    using T = Opx16u;
    static constexpr bool kWide = N == 8;
    using Row = typename RowOf<kWide>::type;

    static OPX_INLINE Row load(const T* p) {
        if constexpr (kWide)
            return _mm256_cvtepu16_epi32(load_bytes<16>(p));
        else
            return _mm_cvtepu16_epi32(load_bytes<8>(p));
    }
    static OPX_INLINE Row add(Row a, Row b) {
        if constexpr (kWide)
            return _mm256_add_epi32(a, b);
        else
            return _mm_add_epi32(a, b);
    }
    static OPX_INLINE Row sub(Row a, Row b) {
        if constexpr (kWide)
            return _mm256_sub_epi32(a, b);
        else
            return _mm_sub_epi32(a, b);
    }
    template <int S>
    static OPX_INLINE Row shl(Row a) {
        if constexpr (kWide)
            return _mm256_slli_epi32(a, S);
        else
            return _mm_slli_epi32(a, S);
    }
    static OPX_INLINE Row tap(Row a, Row b, Row c, Row d, Row e, Row f) {
        const Row x = sub(shl<2>(add(c, d)), add(b, e));
        return add(add(a, f), add(shl<2>(x), x));
    }
    // Clip1((x + round) >> shift) packed to 16-bit samples.
    template <int Shift>
    static OPX_INLINE __m128i finish(Row x, int max) {
        if constexpr (kWide) {
            __m256i r =
                _mm256_srai_epi32(_mm256_add_epi32(x, _mm256_set1_epi32(1 << (Shift - 1))), Shift);
            r = _mm256_min_epi32(_mm256_max_epi32(r, _mm256_setzero_si256()),
                                 _mm256_set1_epi32(max));
            return _mm_packus_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
        } else {
            __m128i r = _mm_srai_epi32(_mm_add_epi32(x, _mm_set1_epi32(1 << (Shift - 1))), Shift);
            r = _mm_min_epi32(_mm_max_epi32(r, _mm_setzero_si128()), _mm_set1_epi32(max));
            return _mm_packus_epi32(r, r);
        }
    }
    static OPX_INLINE __m128i half(Row x, int max) { return finish<5>(x, max); }
    static OPX_INLINE __m128i centre(Row r0, Row r1, Row r2, Row r3, Row r4, Row r5, int max) {
        return finish<10>(tap(r0, r1, r2, r3, r4, r5), max);
    }
    static OPX_INLINE __m128i sample(const T* p) { return load_bytes<2 * N>(p); }
    static OPX_INLINE __m128i avg(__m128i a, __m128i b) { return _mm_avg_epu16(a, b); }
    static OPX_INLINE void store(T* p, __m128i v) { store_bytes<2 * N>(p, v); }
};

// ---- the kernel body
// ------------------------------------------------------------------------------
//
// Prediction at quarter position (DX, DY), clause 8.4.2.2.1 and Table 8-12. Rows are produced one
// at a time; vertical filters keep a sliding window of six widened rows, so every source row is
// loaded once per column offset. Only the support of the position is read: columns -2..W+2 when
// DX != 0 (else 0..W-1), rows -2..height+2 when DY != 0 (else 0..height-1).
template <class L, int DX, int DY>
OPX_INLINE void luma_body(const typename L::T* src, std::ptrdiff_t ss, typename L::T* dst,
                          std::ptrdiff_t ds, int height, int max) {
    using Row = typename L::Row;
    using T = typename L::T;
    // Horizontal sum b1 of the row at p (columns -2..3 around each sample).
    auto hsum = [](const T* p) {
        return L::tap(L::load(p - 2), L::load(p - 1), L::load(p), L::load(p + 1), L::load(p + 2),
                      L::load(p + 3));
    };
    if constexpr (DX == 0 && DY == 0) {
        for (int y = 0; y < height; ++y) L::store(dst + y * ds, L::sample(src + y * ss));
    } else if constexpr (DY == 0) {
        // a, b, c: b averaged with G (a) or H (c).
        for (int y = 0; y < height; ++y) {
            const T* p = src + y * ss;
            __m128i v = L::half(hsum(p), max);
            if constexpr (DX != 2) v = L::avg(v, L::sample(p + (DX == 3)));
            L::store(dst + y * ds, v);
        }
    } else if constexpr (DX == 0) {
        // d, h, n: h averaged with G (d) or M (n).
        Row r0 = L::load(src - 2 * ss), r1 = L::load(src - ss), r2 = L::load(src),
            r3 = L::load(src + ss), r4 = L::load(src + 2 * ss);
        for (int y = 0; y < height; ++y) {
            const Row r5 = L::load(src + (y + 3) * ss);
            __m128i v = L::half(L::tap(r0, r1, r2, r3, r4, r5), max);
            if constexpr (DY != 2) v = L::avg(v, L::sample(src + (y + (DY == 3)) * ss));
            L::store(dst + y * ds, v);
            r0 = r1, r1 = r2, r2 = r3, r3 = r4, r4 = r5;
        }
    } else if constexpr (DX != 2 && DY != 2) {
        // e, g, p, r: b of row y (DY 1) or y + 1 (s, DY 3) averaged with h of column x (DX 1) or
        // x + 1 (m, DX 3).
        const T* v0 = src + (DX == 3);
        Row r0 = L::load(v0 - 2 * ss), r1 = L::load(v0 - ss), r2 = L::load(v0),
            r3 = L::load(v0 + ss), r4 = L::load(v0 + 2 * ss);
        for (int y = 0; y < height; ++y) {
            const Row r5 = L::load(v0 + (y + 3) * ss);
            const __m128i h = L::half(L::tap(r0, r1, r2, r3, r4, r5), max);
            const __m128i b = L::half(hsum(src + (y + (DY == 3)) * ss), max);
            L::store(dst + y * ds, L::avg(b, h));
            r0 = r1, r1 = r2, r2 = r3, r3 = r4, r4 = r5;
        }
    } else {
        // f, q (DX 2): j averaged with b of row y or y + 1 (s); i, k (DY 2): j averaged with h of
        // column x or x + 1 (m); j alone at (2, 2). j is filtered vertically from the unrounded
        // horizontal sums of rows -2..height+2.
        Row b0 = hsum(src - 2 * ss), b1 = hsum(src - ss), b2 = hsum(src), b3 = hsum(src + ss),
            b4 = hsum(src + 2 * ss);
        [[maybe_unused]] const T* v0 = src + (DX == 3);
        [[maybe_unused]] Row r0, r1, r2, r3, r4;
        if constexpr (DY == 2 && DX != 2) {
            r0 = L::load(v0 - 2 * ss), r1 = L::load(v0 - ss), r2 = L::load(v0),
            r3 = L::load(v0 + ss), r4 = L::load(v0 + 2 * ss);
        }
        for (int y = 0; y < height; ++y) {
            const Row b5 = hsum(src + (y + 3) * ss);
            __m128i v = L::centre(b0, b1, b2, b3, b4, b5, max);
            if constexpr (DX == 2 && DY != 2) {
                v = L::avg(v, L::half(DY == 1 ? b2 : b3, max));
            } else if constexpr (DY == 2 && DX != 2) {
                const Row r5 = L::load(v0 + (y + 3) * ss);
                v = L::avg(v, L::half(L::tap(r0, r1, r2, r3, r4, r5), max));
                r0 = r1, r1 = r2, r2 = r3, r3 = r4, r4 = r5;
            }
            L::store(dst + y * ds, v);
            b0 = b1, b1 = b2, b2 = b3, b3 = b4, b4 = b5;
        }
    }
}

}  // namespace opx::h264::avx2
