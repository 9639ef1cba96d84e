// VC-1 range mapping, AVX2; the interpolation entries of this table are the portable filters.
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "vc1/interp.hpp"

namespace opx::vc1::avx2 {
namespace {

// Sixteen samples at a time in 16-bit lanes: |(v - 128) (r + 9)| <= 128 * 16 fits; the +128 and
// the clamp come from the unsigned saturating pack.
void range_map(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int width,
               int height, int r) noexcept {
    const __m256i scale = _mm256_set1_epi16(static_cast<short>(r + 9));
    const __m256i bias = _mm256_set1_epi16(128), four = _mm256_set1_epi16(4);
    for (int y = 0; y < height; ++y) {
        const Opx8u* s = row_at(src, y, src_step);
        Opx8u* d = row_at(dst, y, dst_step);
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const __m256i v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
            const __m256i t = _mm256_mullo_epi16(_mm256_sub_epi16(v, bias), scale);
            const __m256i o = _mm256_add_epi16(_mm256_srai_epi16(_mm256_add_epi16(t, four), 3), bias);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x),
                             _mm_packus_epi16(_mm256_castsi256_si128(o), _mm256_extracti128_si256(o, 1)));
        }
        for (; x < width; ++x) d[x] = static_cast<Opx8u>(clamp8((((s[x] - 128) * (r + 9) + 4) >> 3) + 128));
    }
}

}  // namespace

const InterpKernels kInterp = {
    {&ref::bicubic<8, 8>, &ref::bicubic<16, 8>, &ref::bicubic<16, 16>},
    {&ref::bilinear<16, 16, 1>, &ref::bilinear<8, 8, 1>, &ref::bilinear<8, 4, 1>, &ref::bilinear<4, 4, 1>},
    {&ref::bilinear<8, 8, 2>, &ref::bilinear<8, 4, 2>, &ref::bilinear<4, 4, 2>},
    &range_map,
};

}  // namespace opx::vc1::avx2
