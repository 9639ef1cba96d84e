// AVX2 H.264 chroma interpolation body (clause 8.4.2.2.2), shared by the 8-bit planar,
// interleaved and splitting kernels. Built only into *_avx2.cpp translation units.
#pragma once

#include "h264/decode/interp_luma_avx2.hpp"

namespace opx::h264::avx2 {

// Where the finished samples of a row go.
enum class ChromaOut { kSame, kSplit };

// One row of BW bytes (W samples of C interleaved channels; a horizontal neighbour is C bytes on).
// Pairs of horizontal (or vertical) neighbours are interleaved and weighted with pmaddubsw: all
// weights are at most 64 and a weighted sum at most 64 * 255 = 16320, within 16 bits. Rounding
// (x + 2^(s-1)) >> s is done by pmulhrsw with 2^(15-s), exact for non-negative x.
template <int BW, int C, bool DX, bool DY, ChromaOut Out>
void chroma_body(const Opx8u* src, std::ptrdiff_t ss, Opx8u* d0, Opx8u* d1, std::ptrdiff_t ds,
                 int height, int dx, int dy) {
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
        // Weights of the two taps per pmaddubsw: (A, B) and (C, D) of the bilinear formula.
        const int wa = (8 - dx) * (8 - dy), wb = dx * (8 - dy), wc = (8 - dx) * dy, wd = dx * dy;
        constexpr int kShift = DX && DY ? 6 : 3;
        const __m128i rnd = _mm_set1_epi16(1 << (15 - kShift));
        // 1-D: one pair of taps, (8 - f, f).
        const __m128i w0 = DX && DY ? _mm_set1_epi16(static_cast<short>(wa | (wb << 8)))
                           : DX     ? _mm_set1_epi16(static_cast<short>((8 - dx) | (dx << 8)))
                                    : _mm_set1_epi16(static_cast<short>((8 - dy) | (dy << 8)));
        const __m128i w1 = _mm_set1_epi16(static_cast<short>(wc | (wd << 8)));
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
        if constexpr (DX && DY) {
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
