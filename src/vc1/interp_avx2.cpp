// VC-1 interpolation and range mapping, AVX2.
//
// Interpolation works on two block rows per register (row y in the low lane, y + 1 in the high
// lane) with byte-pair products (vpmaddubsw); loads cover exactly the filter support.
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "vc1/interp.hpp"

namespace opx::vc1::avx2 {
namespace {

// Sixteen samples at a time in 16-bit lanes: |(v - 128) (r + 9)| <= 128 * 16 fits; the +128 and
// the clamp come from the unsigned saturating pack.
void range_map(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step,
               int width, int height, int r) noexcept {
    const __m256i scale = _mm256_set1_epi16(static_cast<short>(r + 9));
    const __m256i bias = _mm256_set1_epi16(128), four = _mm256_set1_epi16(4);
    for (int y = 0; y < height; ++y) {
        const Opx8u* s = row_at(src, y, src_step);
        Opx8u* d = row_at(dst, y, dst_step);
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const __m256i v =
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
            const __m256i t = _mm256_mullo_epi16(_mm256_sub_epi16(v, bias), scale);
            const __m256i o =
                _mm256_add_epi16(_mm256_srai_epi16(_mm256_add_epi16(t, four), 3), bias);
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(d + x),
                _mm_packus_epi16(_mm256_castsi256_si128(o), _mm256_extracti128_si256(o, 1)));
        }
        for (; x < width; ++x)
            d[x] = static_cast<Opx8u>(clamp8((((s[x] - 128) * (r + 9) + 4) >> 3) + 128));
    }
}

// Two 8-byte loads side by side: bytes 0..7 from a, 8..15 from b.
OPX_INLINE __m128i load_2x8(const Opx8u* a, const Opx8u* b) noexcept {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
}
OPX_INLINE __m128i load16(const Opx8u* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE __m128i load8(const Opx8u* p) noexcept {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE __m128i load4(const Opx8u* p) noexcept {
    std::int32_t v;
    __builtin_memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
OPX_INLINE __m256i lanes(__m128i lo, __m128i hi) noexcept {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}
// Rows y (low lane) and y + 1 (high lane) of 16 bytes each, as bytes; stores of the low 16,
// 8 or 4 bytes of each lane to rows y and y + 1.
template <int Bytes>
OPX_INLINE void store_2rows(Opx8u* dst, std::int32_t step, int y, __m256i v) noexcept {
    const __m128i a = _mm256_castsi256_si128(v), b = _mm256_extracti128_si256(v, 1);
    Opx8u* d0 = row_at(dst, y, step);
    Opx8u* d1 = row_at(dst, y + 1, step);
    if constexpr (Bytes == 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d0), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d1), b);
    } else if constexpr (Bytes == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), a);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), b);
    } else {
        const std::int32_t v0 = _mm_cvtsi128_si32(a), v1 = _mm_cvtsi128_si32(b);
        __builtin_memcpy(d0, &v0, 4);
        __builtin_memcpy(d1, &v1, 4);
    }
}

// Byte pair (t0, t1) for vpmaddubsw, word pair for vpmaddwd.
OPX_INLINE __m256i byte_pair(int t0, int t1) noexcept {
    return _mm256_set1_epi16(static_cast<short>((static_cast<unsigned>(t1) << 8) | (t0 & 0xFF)));
}
OPX_INLINE __m256i word_pair(int t0, int t1) noexcept {
    return _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(t1) << 16) | (t0 & 0xFFFF)));
}

// Bicubic filters with vpmaddubsw: samples are unsigned bytes and every tap a signed byte; a
// pair sum stays within -1020..13515 and a 4-tap sum within -1785..18105, no saturation. The
// two-dimensional filter keeps its intermediate rows in 16 bits (|v| <= 18105 before the first
// shift) and takes the horizontal sums in 32 bits (vpmaddwd), as they reach 71 * 2295.
//
// Layout: two block rows per register, row y in the low lane and y + 1 in the high lane. A
// 16-wide row's support (columns -1..17) comes from two 16-byte loads at columns -1 and 2, an
// 8-wide row's (-1..9) from two 8-byte loads at -1 and 2 side by side in one lane; only the
// support is read.

// Horizontal only: rounding 2^(s-1) - rnd.
template <int W, int H>
void bicubic_h(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
               int rnd) noexcept {
    const int* t = kBicubicTaps[dx];
    const __m256i t01 = byte_pair(t[0], t[1]), t23 = byte_pair(t[2], t[3]);
    const __m256i round = _mm256_set1_epi16(static_cast<short>((1 << (kBicubicShift[dx] - 1)) - rnd));
    const __m128i shift = _mm_cvtsi32_si128(kBicubicShift[dx]);
    if constexpr (W == 16) {
        // Low lane columns -1..14 (outputs 0..7), high lane columns 2..17 (outputs 8..15).
        const __m256i s01 = _mm256_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8,  //
                                             5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13);
        const __m256i s23 = _mm256_setr_epi8(2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10,  //
                                             7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15);
        auto row = [&](int y) {
            const Opx8u* r = row_at(src, y, src_step);
            const __m256i a = lanes(load16(r - 1), load16(r + 2));
            const __m256i s = _mm256_add_epi16(
                _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(a, s01), t01),
                                 _mm256_maddubs_epi16(_mm256_shuffle_epi8(a, s23), t23)),
                round);
            return _mm256_sra_epi16(s, shift);
        };
        for (int y = 0; y < H; y += 2)
            store_2rows<16>(dst, dst_step, y,
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(row(y), row(y + 1)), 0xD8));
    } else {
        // Bytes 0..7 columns -1..6, bytes 8..15 columns 2..9.
        const __m256i s01 = _mm256_setr_epi8(0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 13,  //
                                             0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 13);
        const __m256i s23 = _mm256_setr_epi8(2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 13, 13, 14, 14, 15,
                                             2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 13, 13, 14, 14, 15);
        for (int y = 0; y < H; y += 2) {
            const Opx8u* r0 = row_at(src, y, src_step);
            const Opx8u* r1 = row_at(src, y + 1, src_step);
            const __m256i a = lanes(load_2x8(r0 - 1, r0 + 2), load_2x8(r1 - 1, r1 + 2));
            const __m256i s = _mm256_add_epi16(
                _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(a, s01), t01),
                                 _mm256_maddubs_epi16(_mm256_shuffle_epi8(a, s23), t23)),
                round);
            const __m256i v = _mm256_sra_epi16(s, shift);
            store_2rows<8>(dst, dst_step, y, _mm256_packus_epi16(v, v));
        }
    }
}

// Vertical pass on two rows: a01 holds rows (y-1, y) interleaved byte by byte in the low lane
// and (y, y+1) in the high lane, a23 rows (y+1, y+2) / (y+2, y+3).
OPX_INLINE __m256i vsum(__m256i a01, __m256i a23, __m256i t01, __m256i t23, __m256i round,
                        __m128i shift) noexcept {
    return _mm256_sra_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(a01, t01),
                                          _mm256_maddubs_epi16(a23, t23)),
                         round),
        shift);
}

// Vertical only: rounding 2^(s-1) - 1 + rnd. rows(k) gives rows k and k + 1 (lanes).
template <int W, int H>
void bicubic_v(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dy,
               int rnd) noexcept {
    const int* t = kBicubicTaps[dy];
    const __m256i t01 = byte_pair(t[0], t[1]), t23 = byte_pair(t[2], t[3]);
    const __m256i round =
        _mm256_set1_epi16(static_cast<short>((1 << (kBicubicShift[dy] - 1)) - 1 + rnd));
    const __m128i shift = _mm_cvtsi32_si128(kBicubicShift[dy]);
    auto rows = [&](int k) {
        const Opx8u* r0 = row_at(src, k, src_step);
        const Opx8u* r1 = row_at(src, k + 1, src_step);
        if constexpr (W == 16)
            return lanes(load16(r0), load16(r1));
        else
            return lanes(load8(r0), load8(r1));
    };
    __m256i am1 = rows(-1), a0 = rows(0);
    for (int y = 0; y < H; y += 2) {
        const __m256i a1 = rows(y + 1), a2 = rows(y + 2);
        const __m256i lo = vsum(_mm256_unpacklo_epi8(am1, a0), _mm256_unpacklo_epi8(a1, a2), t01,
                                t23, round, shift);
        if constexpr (W == 16) {
            const __m256i hi = vsum(_mm256_unpackhi_epi8(am1, a0), _mm256_unpackhi_epi8(a1, a2),
                                    t01, t23, round, shift);
            store_2rows<16>(dst, dst_step, y, _mm256_packus_epi16(lo, hi));
        } else {
            store_2rows<8>(dst, dst_step, y, _mm256_packus_epi16(lo, lo));
        }
        am1 = a1, a0 = a2;
    }
}

// Horizontal pass of the two-dimensional filter on 16-bit columns m1 = v[x-1], z0 = v[x],
// p1 = v[x+1], p2 = v[x+2] of eight outputs per lane: (sum + 64 - rnd) >> 7, packed to words.
OPX_INLINE __m256i hsum(__m256i m1, __m256i z0, __m256i p1, __m256i p2, __m256i t01, __m256i t23,
                        __m256i round) noexcept {
    const __m256i lo = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(m1, z0), t01),
                         _mm256_madd_epi16(_mm256_unpacklo_epi16(p1, p2), t23)),
        round);
    const __m256i hi = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(m1, z0), t01),
                         _mm256_madd_epi16(_mm256_unpackhi_epi16(p1, p2), t23)),
        round);
    return _mm256_packs_epi32(_mm256_srai_epi32(lo, 7), _mm256_srai_epi32(hi, 7));
}

// Both directions: vertical pass first (rounding 2^(s1-1) - 1 + rnd, s1 = sx + sy - 7) on the
// support columns, then the horizontal pass on 16-bit words (rounding 64 - rnd, shift 7).
template <int W, int H>
void bicubic_hv(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step,
                int dx, int dy, int rnd) noexcept {
    const int* ty = kBicubicTaps[dy];
    const int* tx = kBicubicTaps[dx];
    const int s1 = kBicubicShift[dx] + kBicubicShift[dy] - 7;
    const __m256i v01 = byte_pair(ty[0], ty[1]), v23 = byte_pair(ty[2], ty[3]);
    const __m256i round1 = _mm256_set1_epi16(static_cast<short>((1 << (s1 - 1)) - 1 + rnd));
    const __m128i shift1 = _mm_cvtsi32_si128(s1);
    const __m256i h01 = word_pair(tx[0], tx[1]), h23 = word_pair(tx[2], tx[3]);
    const __m256i round2 = _mm256_set1_epi32(64 - rnd);
    if constexpr (W == 16) {
        // Set a: columns -1..14, set b: columns 2..17, rows k and k + 1.
        auto rows = [&](int k, int off) {
            return lanes(load16(row_at(src, k, src_step) + off),
                         load16(row_at(src, k + 1, src_step) + off));
        };
        __m256i am1 = rows(-1, -1), a0 = rows(0, -1), bm1 = rows(-1, 2), b0 = rows(0, 2);
        for (int y = 0; y < H; y += 2) {
            const __m256i a1 = rows(y + 1, -1), a2 = rows(y + 2, -1);
            const __m256i b1 = rows(y + 1, 2), b2 = rows(y + 2, 2);
            // Columns -1..6, 7..14, 2..9, 10..17.
            const __m256i va_lo = vsum(_mm256_unpacklo_epi8(am1, a0), _mm256_unpacklo_epi8(a1, a2),
                                       v01, v23, round1, shift1);
            const __m256i va_hi = vsum(_mm256_unpackhi_epi8(am1, a0), _mm256_unpackhi_epi8(a1, a2),
                                       v01, v23, round1, shift1);
            const __m256i vb_lo = vsum(_mm256_unpacklo_epi8(bm1, b0), _mm256_unpacklo_epi8(b1, b2),
                                       v01, v23, round1, shift1);
            const __m256i vb_hi = vsum(_mm256_unpackhi_epi8(bm1, b0), _mm256_unpackhi_epi8(b1, b2),
                                       v01, v23, round1, shift1);
            const __m256i out0 = hsum(va_lo, _mm256_alignr_epi8(va_hi, va_lo, 2),
                                      _mm256_alignr_epi8(va_hi, va_lo, 4), vb_lo, h01, h23, round2);
            const __m256i out1 = hsum(va_hi, _mm256_alignr_epi8(vb_hi, vb_lo, 12),
                                      _mm256_alignr_epi8(vb_hi, vb_lo, 14), vb_hi, h01, h23, round2);
            store_2rows<16>(dst, dst_step, y, _mm256_packus_epi16(out0, out1));
            am1 = a1, a0 = a2, bm1 = b1, b0 = b2;
        }
    } else {
        // Bytes 0..7 columns -1..6, bytes 8..15 columns 2..9.
        auto rows = [&](int k) {
            const Opx8u* r0 = row_at(src, k, src_step);
            const Opx8u* r1 = row_at(src, k + 1, src_step);
            return lanes(load_2x8(r0 - 1, r0 + 2), load_2x8(r1 - 1, r1 + 2));
        };
        __m256i am1 = rows(-1), a0 = rows(0);
        for (int y = 0; y < H; y += 2) {
            const __m256i a1 = rows(y + 1), a2 = rows(y + 2);
            const __m256i v_lo = vsum(_mm256_unpacklo_epi8(am1, a0), _mm256_unpacklo_epi8(a1, a2),
                                      v01, v23, round1, shift1);  // columns -1..6
            const __m256i v_hi = vsum(_mm256_unpackhi_epi8(am1, a0), _mm256_unpackhi_epi8(a1, a2),
                                      v01, v23, round1, shift1);  // columns 2..9
            const __m256i c7 = _mm256_srli_si256(v_hi, 10);       // columns 7, 8, 9
            const __m256i out = hsum(v_lo, _mm256_alignr_epi8(c7, v_lo, 2),
                                     _mm256_alignr_epi8(c7, v_lo, 4), v_hi, h01, h23, round2);
            store_2rows<8>(dst, dst_step, y, _mm256_packus_epi16(out, out));
            am1 = a1, a0 = a2;
        }
    }
}

template <int W, int H>
void bicubic(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
             int dy, int rnd) noexcept {
    if (dx && dy) return bicubic_hv<W, H>(src, src_step, dst, dst_step, dx, dy, rnd);
    if (dx) return bicubic_h<W, H>(src, src_step, dst, dst_step, dx, rnd);
    if (dy) return bicubic_v<W, H>(src, src_step, dst, dst_step, dy, rnd);
    for (int y = 0; y < H; y += 2) {
        const Opx8u* r0 = row_at(src, y, src_step);
        const Opx8u* r1 = row_at(src, y + 1, src_step);
        if constexpr (W == 16)
            store_2rows<16>(dst, dst_step, y, lanes(load16(r0), load16(r1)));
        else
            store_2rows<8>(dst, dst_step, y, lanes(load8(r0), load8(r1)));
    }
}

// Bilinear, N = 1 planar, 2 interleaved pairs (W pairs = 2W bytes per row): byte pairs
// (p[x], p[x+N]) of one row times the combined weights ((4-dx)(4-dy), dx(4-dy)) and of the next
// row times ((4-dx)dy, dx dy), vpmaddubsw (weights up to 16, sums up to 16 * 255). Without dx the
// pair is (p[x], p[x]) and column W is not read; without dy row H is not read.
template <int W, int H, int N>
void bilinear(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
              int dy, int rnd) noexcept {
    constexpr int B = W * N;
    const int n = dx ? N : 0;
    const __m256i wab = byte_pair((4 - dx) * (4 - dy), dx * (4 - dy));
    const __m256i wcd = byte_pair((4 - dx) * dy, dx * dy);
    const __m256i round = _mm256_set1_epi16(static_cast<short>(8 - rnd));
    if constexpr (B == 16) {
        // One row per register: pairs of columns 0..7 in the low lane, 8..15 in the high lane.
        auto pairs = [&](int k) {
            const Opx8u* r = row_at(src, k, src_step);
            const __m128i a = load16(r), b = load16(r + n);
            return lanes(_mm_unpacklo_epi8(a, b), _mm_unpackhi_epi8(a, b));
        };
        auto row = [&](const __m256i& p0, const __m256i& p1) {
            __m256i s = _mm256_add_epi16(_mm256_maddubs_epi16(p0, wab), round);
            if (dy) s = _mm256_add_epi16(s, _mm256_maddubs_epi16(p1, wcd));
            return _mm256_srli_epi16(s, 4);
        };
        __m256i p0 = pairs(0);
        for (int y = 0; y < H; y += 2) {
            const __m256i p1 = pairs(y + 1);
            const __m256i p2 = dy || y + 2 < H ? pairs(y + 2) : p1;
            store_2rows<16>(dst, dst_step, y,
                            _mm256_permute4x64_epi64(
                                _mm256_packus_epi16(row(p0, p1), row(p1, p2)), 0xD8));
            p0 = p2;
        }
    } else {
        // Pairs of one row in 128 bits (B = 8) or 64 bits (B = 4); rows y, y + 1 as lanes.
        auto pairs = [&](int k) {
            const Opx8u* r = row_at(src, k, src_step);
            if constexpr (B == 8)
                return _mm_unpacklo_epi8(load8(r), load8(r + n));
            else
                return _mm_unpacklo_epi8(load4(r), load4(r + n));
        };
        __m128i p0 = pairs(0);
        for (int y = 0; y < H; y += 2) {
            const __m128i p1 = pairs(y + 1);
            __m256i s = _mm256_add_epi16(_mm256_maddubs_epi16(lanes(p0, p1), wab), round);
            if (dy) {
                const __m128i p2 = pairs(y + 2);
                s = _mm256_add_epi16(s, _mm256_maddubs_epi16(lanes(p1, p2), wcd));
                p0 = p2;
            } else if (y + 2 < H) {
                p0 = pairs(y + 2);
            }
            s = _mm256_srli_epi16(s, 4);
            store_2rows<B>(dst, dst_step, y, _mm256_packus_epi16(s, s));
        }
    }
}

}  // namespace

const InterpKernels kInterp = {
    {&bicubic<8, 8>, &bicubic<16, 8>, &bicubic<16, 16>},
    {&bilinear<16, 16, 1>, &bilinear<8, 8, 1>, &bilinear<8, 4, 1>, &bilinear<4, 4, 1>},
    {&bilinear<8, 8, 2>, &bilinear<8, 4, 2>, &bilinear<4, 4, 2>},
    &range_map,
};

}  // namespace opx::vc1::avx2
