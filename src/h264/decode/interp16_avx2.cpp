// AVX2 kernels of H.264 interpolation, 16-bit samples: luma per quarter position, chroma per
// fractional axes; both walk the block in strips of 8, 4 (and, chroma, 2) columns.
#include <cstring>

#include "h264/decode/interp.hpp"
#include "h264/decode/interp_luma_avx2.hpp"

namespace opx::h264::avx2 {

// Widths are multiples of 4 (the entry points admit 4, 8 and 16).
template <int DX, int DY>
void luma16(const Opx16u* src, std::ptrdiff_t ss, Opx16u* dst, std::ptrdiff_t ds, int width,
            int height, int max) noexcept {
    int x = 0;
    if constexpr (DX == 0 && DY == 0) {
        // full-sample positions: a copy, whole rows of 16 at a time
        if (width == 16) {
            for (int y = 0; y < height; ++y)
                _mm256_storeu_si256(
                    reinterpret_cast<__m256i*>(dst + y * ds),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + y * ss)));
            return;
        }
    }
    for (; x + 8 <= width; x += 8)
        luma_body<Luma16Layout<8>, DX, DY>(src + x, ss, dst + x, ds, height, max);
    for (; x + 4 <= width; x += 4)
        luma_body<Luma16Layout<4>, DX, DY>(src + x, ss, dst + x, ds, height, max);
}

namespace {

// N samples of a 16-bit row widened to 32-bit lanes of an __m128i (N <= 4) or __m256i (N = 8).
// Pairs of taps go through pmaddwd, which reads its words as signed: the samples enter less
// 2^15 and the weights' sum, 64, times 2^15 comes back with the rounding term, so that any
// sample value up to 65535 gives the exact sum (at most 64 · 65535 + 32).
template <int N, bool DX, bool DY>
OPX_INLINE void chroma16_strip(const Opx16u* src, std::ptrdiff_t ss, Opx16u* dst, std::ptrdiff_t ds,
                               int height, int dx, int dy) {
    const int wa = (8 - dx) * (8 - dy), wb = dx * (8 - dy), wc = (8 - dx) * dy, wd = dx * dy;
    const __m256i wab = _mm256_set1_epi32(wa | (wb << 16));
    const __m256i wcd = _mm256_set1_epi32(wc | (wd << 16));
    const __m256i rnd = _mm256_set1_epi32(32 + 64 * 32768);
    // Pairs (s[x] - 2^15, s[x + 1] - 2^15) of row p, as 32-bit lanes of 16-bit pairs (x in order
    // across lanes); the second is unused (weight 0) without DX.
    auto pairs = [](const Opx16u* p) {
        const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
        const __m128i a = _mm_xor_si128(load_bytes<2 * N>(p), bias);
        const __m128i b = DX ? _mm_xor_si128(load_bytes<2 * N>(p + 1), bias) : bias;
        return _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
    };
    __m256i p0 = pairs(src);
    for (int y = 0; y < height; ++y) {
        __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(p0, wab), rnd);
        if constexpr (DY) {
            const __m256i p1 = pairs(src + (y + 1) * ss);
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(p1, wcd));
            p0 = p1;
        } else if (y + 1 < height) {
            p0 = pairs(src + (y + 1) * ss);
        }
        const __m256i r = _mm256_srli_epi32(sum, 6);
        store_bytes<2 * N>(dst + y * ds, _mm_packus_epi32(_mm256_castsi256_si128(r),
                                                          _mm256_extracti128_si256(r, 1)));
    }
}

}  // namespace

template <bool DX, bool DY>
void chroma16(const Opx16u* src, std::ptrdiff_t ss, Opx16u* dst, std::ptrdiff_t ds, int width,
              int height, int dx, int dy) noexcept {
    if constexpr (!DX && !DY) {
        // full-sample positions: (64 s + 32) >> 6 = s, a copy in strips of 8, 4 and 2 columns
        int x = 0;
        if (width == 8 && height % 2 == 0) {  // the usual block: two rows a step
            for (int y = 0; y < height; y += 2, src += 2 * ss, dst += 2 * ds) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + ss));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), a);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + ds), b);
            }
            return;
        }
        for (; x + 8 <= width; x += 8)
            for (int y = 0; y < height; ++y)
                _mm_storeu_si128(
                    reinterpret_cast<__m128i*>(dst + y * ds + x),
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + y * ss + x)));
        for (; x + 4 <= width; x += 4)
            for (int y = 0; y < height; ++y)
                _mm_storel_epi64(
                    reinterpret_cast<__m128i*>(dst + y * ds + x),
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + y * ss + x)));
        for (; x + 2 <= width; x += 2)
            for (int y = 0; y < height; ++y) std::memcpy(dst + y * ds + x, src + y * ss + x, 4);
        return;
    }
    if (!DX) dx = 0;
    if (!DY) dy = 0;
    int x = 0;
    for (; x + 8 <= width; x += 8)
        chroma16_strip<8, DX, DY>(src + x, ss, dst + x, ds, height, dx, dy);
    for (; x + 4 <= width; x += 4)
        chroma16_strip<4, DX, DY>(src + x, ss, dst + x, ds, height, dx, dy);
    for (; x + 2 <= width; x += 2)
        chroma16_strip<2, DX, DY>(src + x, ss, dst + x, ds, height, dx, dy);
}

// clang-format off
#define OPX_LUMA16(DX, DY) \
    template void luma16<DX, DY>(const Opx16u*, std::ptrdiff_t, Opx16u*, std::ptrdiff_t, int, int, int) noexcept;
OPX_LUMA16(0, 0) OPX_LUMA16(1, 0) OPX_LUMA16(2, 0) OPX_LUMA16(3, 0)
OPX_LUMA16(0, 1) OPX_LUMA16(1, 1) OPX_LUMA16(2, 1) OPX_LUMA16(3, 1)
OPX_LUMA16(0, 2) OPX_LUMA16(1, 2) OPX_LUMA16(2, 2) OPX_LUMA16(3, 2)
OPX_LUMA16(0, 3) OPX_LUMA16(1, 3) OPX_LUMA16(2, 3) OPX_LUMA16(3, 3)
#undef OPX_LUMA16
#define OPX_CHROMA16(DX, DY) \
    template void chroma16<DX, DY>(const Opx16u*, std::ptrdiff_t, Opx16u*, std::ptrdiff_t, int, int, int, int) noexcept;
OPX_CHROMA16(false, false) OPX_CHROMA16(true, false) OPX_CHROMA16(false, true) OPX_CHROMA16(true, true)
#undef OPX_CHROMA16
// clang-format on

}  // namespace opx::h264::avx2
