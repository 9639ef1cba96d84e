// VC-1 interpolation and range mapping, AVX2.
//
// Interpolation works on one block row at a time, its samples widened to 16-bit lanes (16 lanes:
// a 16-wide row; 8- and 4-wide rows use the low lanes). Loads cover exactly the filter support:
// 4-, 8- or 16-byte loads at the tap offsets. Single-pass sums fit 16 bits (|sum| <= 78 * 255);
// the second pass of the two-dimensional bicubic filter multiplies word pairs into 32-bit sums
// (vpmaddwd), its inputs reaching 78 * 255 >> 1.
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

// Bytes at p widened to 16 bits (Bytes 4, 8 or 16).
template <int Bytes>
OPX_INLINE __m256i load_wide(const Opx8u* p) noexcept {
    if constexpr (Bytes == 16)
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    else if constexpr (Bytes == 8)
        return _mm256_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    else {
        std::int32_t v;
        __builtin_memcpy(&v, p, 4);
        return _mm256_cvtepu8_epi16(_mm_cvtsi32_si128(v));
    }
}

// Stores the low Bytes lanes of v (0..255 after the pack) as bytes.
template <int Bytes>
OPX_INLINE void store_narrow(Opx8u* p, __m256i v) noexcept {
    const __m128i b = _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    if constexpr (Bytes == 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
    else if constexpr (Bytes == 8)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), b);
    else {
        const std::int32_t v32 = _mm_cvtsi128_si32(b);
        __builtin_memcpy(p, &v32, 4);
    }
}

// Sum of taps t[k] times rows/columns v[k], 16-bit.
OPX_INLINE __m256i taps4(const __m256i v[4], const int* t) noexcept {
    __m256i s = _mm256_mullo_epi16(v[0], _mm256_set1_epi16(static_cast<short>(t[0])));
    for (int k = 1; k < 4; ++k)
        s = _mm256_add_epi16(s,
                             _mm256_mullo_epi16(v[k], _mm256_set1_epi16(static_cast<short>(t[k]))));
    return s;
}

template <int W, int H>
void bicubic(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
             int dy, int rnd) noexcept {
    const int* tx = kBicubicTaps[dx];
    const int* ty = kBicubicTaps[dy];
    const int sx = kBicubicShift[dx], sy = kBicubicShift[dy];
    if (dx == 0 && dy == 0) {
        for (int y = 0; y < H; ++y)
            store_narrow<W>(row_at(dst, y, dst_step), load_wide<W>(row_at(src, y, src_step)));
        return;
    }
    if (dy == 0) {  // horizontal only: rounding 2^(s-1) - rnd
        const __m256i round = _mm256_set1_epi16(static_cast<short>((1 << (sx - 1)) - rnd));
        const __m128i shift = _mm_cvtsi32_si128(sx);
        for (int y = 0; y < H; ++y) {
            const Opx8u* r = row_at(src, y, src_step);
            const __m256i v[4] = {load_wide<W>(r - 1), load_wide<W>(r), load_wide<W>(r + 1),
                                  load_wide<W>(r + 2)};
            store_narrow<W>(row_at(dst, y, dst_step),
                            _mm256_sra_epi16(_mm256_add_epi16(taps4(v, tx), round), shift));
        }
        return;
    }
    if (dx == 0) {  // vertical only: rounding 2^(s-1) - 1 + rnd
        const __m256i round = _mm256_set1_epi16(static_cast<short>((1 << (sy - 1)) - 1 + rnd));
        const __m128i shift = _mm_cvtsi32_si128(sy);
        __m256i v[4] = {load_wide<W>(row_at(src, -1, src_step)), load_wide<W>(src),
                        load_wide<W>(row_at(src, 1, src_step)), __m256i{}};
        for (int y = 0; y < H; ++y) {
            v[3] = load_wide<W>(row_at(src, y + 2, src_step));
            store_narrow<W>(row_at(dst, y, dst_step),
                            _mm256_sra_epi16(_mm256_add_epi16(taps4(v, ty), round), shift));
            v[0] = v[1], v[1] = v[2], v[2] = v[3];
        }
        return;
    }
    // Both: vertical pass on the column sets x-1, x, x+1, x+2 (rows held in a rolling window),
    // then the horizontal pass on word pairs.
    const int s1 = sx + sy - 7;
    const __m256i round1 = _mm256_set1_epi16(static_cast<short>((1 << (s1 - 1)) - 1 + rnd));
    const __m128i shift1 = _mm_cvtsi32_si128(s1);
    const __m256i t01 = _mm256_set1_epi32(
        static_cast<int>((static_cast<unsigned>(tx[1]) << 16) | (tx[0] & 0xFFFF)));
    const __m256i t23 = _mm256_set1_epi32(
        static_cast<int>((static_cast<unsigned>(tx[3]) << 16) | (tx[2] & 0xFFFF)));
    const __m256i round2 = _mm256_set1_epi32(64 - rnd);
    __m256i win[4][4];  // [column set j][row k]
    for (int k = 0; k < 3; ++k) {
        const Opx8u* r = row_at(src, k - 1, src_step);
        for (int j = 0; j < 4; ++j) win[j][k] = load_wide<W>(r - 1 + j);
    }
    for (int y = 0; y < H; ++y) {
        const Opx8u* r = row_at(src, y + 2, src_step);
        __m256i t[4];
        for (int j = 0; j < 4; ++j) {
            win[j][3] = load_wide<W>(r - 1 + j);
            t[j] = _mm256_sra_epi16(_mm256_add_epi16(taps4(win[j], ty), round1), shift1);
            win[j][0] = win[j][1], win[j][1] = win[j][2], win[j][2] = win[j][3];
        }
        const __m256i lo = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(t[0], t[1]), t01),
                             _mm256_madd_epi16(_mm256_unpacklo_epi16(t[2], t[3]), t23)),
            round2);
        const __m256i hi = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(t[0], t[1]), t01),
                             _mm256_madd_epi16(_mm256_unpackhi_epi16(t[2], t[3]), t23)),
            round2);
        store_narrow<W>(row_at(dst, y, dst_step),
                        _mm256_packs_epi32(_mm256_srai_epi32(lo, 7), _mm256_srai_epi32(hi, 7)));
    }
}

// N = 1 planar, 2 interleaved pairs (W pairs = 2W bytes per row).
template <int W, int H, int N>
void bilinear(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
              int dy, int rnd) noexcept {
    constexpr int B = W * N;
    const __m256i wa = _mm256_set1_epi16(static_cast<short>((4 - dx) * (4 - dy)));
    const __m256i wb = _mm256_set1_epi16(static_cast<short>(dx * (4 - dy)));
    const __m256i wc = _mm256_set1_epi16(static_cast<short>((4 - dx) * dy));
    const __m256i wd = _mm256_set1_epi16(static_cast<short>(dx * dy));
    const __m256i round = _mm256_set1_epi16(static_cast<short>(8 - rnd));
    // Row y's weighted pair A (4-dx) + B dx, reading B only when dx != 0.
    auto row_terms = [&](const Opx8u* r, __m256i w0, __m256i w1) {
        __m256i s = _mm256_mullo_epi16(load_wide<B>(r), w0);
        if (dx) s = _mm256_add_epi16(s, _mm256_mullo_epi16(load_wide<B>(r + N), w1));
        return s;
    };
    for (int y = 0; y < H; ++y) {
        const Opx8u* r0 = row_at(src, y, src_step);
        __m256i s = _mm256_add_epi16(row_terms(r0, wa, wb), round);
        if (dy) s = _mm256_add_epi16(s, row_terms(row_at(src, y + 1, src_step), wc, wd));
        store_narrow<B>(row_at(dst, y, dst_step), _mm256_srli_epi16(s, 4));
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
