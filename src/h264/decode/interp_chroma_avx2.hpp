// AVX2 H.264 chroma interpolation body (clause 8.4.2.2.2), shared by the 8-bit planar,
// interleaved and splitting kernels. Built only into *_avx2.cpp translation units.
#pragma once

#include <array>

#include "h264/decode/interp_luma_avx2.hpp"

namespace opx::h264::avx2 {

// Bilinear weights of fraction (dx, dy) (equation 8-270) as byte pairs for pmaddubsw, low byte
// first: (A, B), (C, D) and, for vertical-only kernels, (A, C).
struct ChromaPairWeights {
    std::uint16_t ab, cd, ac;
};
inline constexpr auto kChromaPairWeights = [] {
    std::array<ChromaPairWeights, 64> t{};
    for (int dy = 0; dy < 8; ++dy)
        for (int dx = 0; dx < 8; ++dx) {
            const int a = (8 - dx) * (8 - dy), b = dx * (8 - dy), c = (8 - dx) * dy, d = dx * dy;
            t[dy * 8 + dx] = {static_cast<std::uint16_t>(a | b << 8),
                              static_cast<std::uint16_t>(c | d << 8),
                              static_cast<std::uint16_t>(a | c << 8)};
        }
    return t;
}();

// Where the finished samples of a row go.
enum class ChromaOut { kSame, kSplit };

// One row of BW bytes (W samples of C interleaved channels; a horizontal neighbour is C bytes on).
// The height is even.
// Pairs of horizontal (or vertical) neighbours are interleaved and weighted with pmaddubsw: all
// weights are at most 64 and a weighted sum at most 64 * 255 = 16320, within 16 bits. Rounding
// (x + 32) >> 6 is done by pmulhrsw with 2^9, exact for non-negative x.
template <int BW, int C, bool DX, bool DY, ChromaOut Out>
OPX_INLINE void chroma_body(const Opx8u* src, std::ptrdiff_t ss, Opx8u* d0, Opx8u* d1,
                            std::ptrdiff_t ds, int height, int frac) {
    static_assert(BW == 2 || BW == 4 || BW == 8 || BW == 16);
    auto put = [&](int y, __m128i v) {
        if constexpr (Out == ChromaOut::kSame) {
            store_bytes<BW>(d0 + y * ds, v);
        } else {
            // Cb at even bytes, Cr at odd bytes: gather each into one half.
            v = _mm_shuffle_epi8(
                v, _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15));
            if constexpr (BW == 16) {
                store_bytes<8>(d0 + y * ds, v);
                store_bytes<8>(d1 + y * ds, _mm_unpackhi_epi64(v, v));
            } else if constexpr (BW == 8) {
                store_bytes<4>(d0 + y * ds, v);
                store_bytes<4>(d1 + y * ds, _mm_srli_si128(v, 8));
            } else {
                static_assert(BW == 4);
                store_bytes<2>(d0 + y * ds, v);
                store_bytes<2>(d1 + y * ds, _mm_srli_si128(v, 8));
            }
        }
    };
    if constexpr (!DX && !DY) {
        for (int y = 0; y < height; ++y) put(y, load_bytes<BW>(src + y * ss));
        return;
    } else {
        // Every kernel uses the two-dimensional weights and rounding: with a zero fraction they
        // give the one-dimensional value exactly, ((8 - f) A + f B + 4) >> 3.
        const ChromaPairWeights& wt = kChromaPairWeights[frac];
        const __m128i rnd = _mm_set1_epi16(1 << 9);
        const __m128i w0 = _mm_set1_epi16(static_cast<short>(DX ? wt.ab : wt.ac));
        const __m128i w1 = _mm_set1_epi16(static_cast<short>(wt.cd));
        // Horizontal pairs of the row at p: (s[x], s[x + 1]) per sample, low and high halves.
        struct Pairs {
            __m128i lo, hi;
        };
        auto hpairs = [](const Opx8u* p) {
            const __m128i a = load_bytes<BW>(p), b = load_bytes<BW>(p + C);
            return Pairs{_mm_unpacklo_epi8(a, b), _mm_unpackhi_epi8(a, b)};
        };
        auto finish = [&](__m128i lo, __m128i hi) {
            lo = _mm_mulhrs_epi16(lo, rnd);
            if constexpr (BW == 16)
                return _mm_packus_epi16(lo, _mm_mulhrs_epi16(hi, rnd));
            else
                return _mm_packus_epi16(lo, lo);
        };
        if constexpr (BW <= 4) {
            // Narrow rows: the pairs of two rows (at most 8 bytes each) share one register and two
            // output rows are finished together; their samples land at bytes 0 and 4.
            auto two = [](__m128i a, __m128i b) { return _mm_unpacklo_epi64(a, b); };
            auto vpairs = [](const Opx8u* p, std::ptrdiff_t step) {
                return _mm_unpacklo_epi8(load_bytes<BW>(p), load_bytes<BW>(p + step));
            };
            auto put2 = [&](int y, __m128i v) {
                v = _mm_mulhrs_epi16(v, rnd);
                v = _mm_packus_epi16(v, v);
                put(y, v);
                put(y + 1, _mm_srli_epi64(v, 32));
            };
            // One-dimensional forms: `sums(y)` gives the weighted sums of rows y and y + 1;
            // four rows are finished together.
            auto rows1d = [&](auto sums) {
                int y = 0;
                for (; y + 4 <= height; y += 4) {
                    const __m128i v = _mm_packus_epi16(_mm_mulhrs_epi16(sums(y), rnd),
                                                       _mm_mulhrs_epi16(sums(y + 2), rnd));
                    put(y, v);
                    put(y + 1, _mm_srli_si128(v, 4));
                    put(y + 2, _mm_srli_si128(v, 8));
                    put(y + 3, _mm_srli_si128(v, 12));
                }
                for (; y < height; y += 2) put2(y, sums(y));
            };
            if constexpr (DX && DY) {
                auto pairs = [&](int y) { return hpairs(src + y * ss).lo; };
                __m128i p0 = pairs(0);
                int y = 0;
                // Four rows at a time: two pairs of rows, packed into one register whose
                // 4-byte quarters are the four output rows.
                for (; y + 4 <= height; y += 4) {
                    const __m128i p1 = pairs(y + 1), p2 = pairs(y + 2);
                    const __m128i p3 = pairs(y + 3), p4 = pairs(y + 4);
                    const __m128i a = _mm_add_epi16(_mm_maddubs_epi16(two(p0, p1), w0),
                                                    _mm_maddubs_epi16(two(p1, p2), w1));
                    const __m128i b = _mm_add_epi16(_mm_maddubs_epi16(two(p2, p3), w0),
                                                    _mm_maddubs_epi16(two(p3, p4), w1));
                    const __m128i v =
                        _mm_packus_epi16(_mm_mulhrs_epi16(a, rnd), _mm_mulhrs_epi16(b, rnd));
                    put(y, v);
                    put(y + 1, _mm_srli_si128(v, 4));
                    put(y + 2, _mm_srli_si128(v, 8));
                    put(y + 3, _mm_srli_si128(v, 12));
                    p0 = p4;
                }
                for (; y < height; y += 2) {
                    const __m128i p1 = pairs(y + 1), p2 = pairs(y + 2);
                    put2(y, _mm_add_epi16(_mm_maddubs_epi16(two(p0, p1), w0),
                                          _mm_maddubs_epi16(two(p1, p2), w1)));
                    p0 = p2;
                }
            } else if constexpr (DX) {
                rows1d([&](int y) {
                    return _mm_maddubs_epi16(
                        two(hpairs(src + y * ss).lo, hpairs(src + (y + 1) * ss).lo), w0);
                });
            } else {
                rows1d([&](int y) {
                    return _mm_maddubs_epi16(
                        two(vpairs(src + y * ss, ss), vpairs(src + (y + 1) * ss, ss)), w0);
                });
            }
        } else if constexpr (DX && DY) {
            Pairs p0 = hpairs(src);
            for (int y = 0; y < height; ++y) {
                const Pairs p1 = hpairs(src + (y + 1) * ss);
                const __m128i lo =
                    _mm_add_epi16(_mm_maddubs_epi16(p0.lo, w0), _mm_maddubs_epi16(p1.lo, w1));
                __m128i hi = lo;
                if constexpr (BW == 16)
                    hi = _mm_add_epi16(_mm_maddubs_epi16(p0.hi, w0), _mm_maddubs_epi16(p1.hi, w1));
                put(y, finish(lo, hi));
                p0 = p1;
            }
        } else if constexpr (DX) {
            for (int y = 0; y < height; ++y) {
                const Pairs p = hpairs(src + y * ss);
                const __m128i lo = _mm_maddubs_epi16(p.lo, w0);
                const __m128i hi = BW == 16 ? _mm_maddubs_epi16(p.hi, w0) : lo;
                put(y, finish(lo, hi));
            }
        } else {
            __m128i r0 = load_bytes<BW>(src);
            for (int y = 0; y < height; ++y) {
                const __m128i r1 = load_bytes<BW>(src + (y + 1) * ss);
                const __m128i lo = _mm_maddubs_epi16(_mm_unpacklo_epi8(r0, r1), w0);
                const __m128i hi = BW == 16 ? _mm_maddubs_epi16(_mm_unpackhi_epi8(r0, r1), w0) : lo;
                put(y, finish(lo, hi));
                r0 = r1;
            }
        }
    }
}

}  // namespace opx::h264::avx2
