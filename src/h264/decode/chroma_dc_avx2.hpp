// The 16-bit 4:2:2 chroma DC transform and scaling (DcMatrixFn's chroma 2x4 rule, transform.hpp)
// on a register, for the AVX2 translation units: the transform kernel and the 4:2:2 chroma
// component kernel, which keeps the DC values in a register for its blocks.
#pragma once

#include <immintrin.h>

namespace opx::h264::avx2 {

// x: c[0..7]; returns the eight scaled DC values in the same positions. qp is QPc (qP = qp + 3).
inline __m128i chroma_dc2x4_vec(__m128i x, int qp, int ls) noexcept {
    // s_r, d_r saturated (phaddsw, phsubsw), then the Hadamard in wrapping 16-bit lanes.
    const __m128i v = _mm_unpacklo_epi64(_mm_hadds_epi16(x, x), _mm_hsubs_epi16(x, x));  // s, d
    const __m128i ab = _mm_hadd_epi16(v, v);  // [a_s, b_s, a_d, b_d, ...]: a, b of s and d
    const __m128i eg = _mm_hsub_epi16(v, v);  // [e_s, g_s, e_d, g_d, ...]
    const __m128i t = _mm_unpacklo_epi64(ab, eg);
    // (f0, f3) and (f1, f2) of s and d as word pairs [s, d]; dwords f0, f1, f2, f3 in order.
    const __m128i f =
        _mm_shuffle_epi32(_mm_unpacklo_epi32(_mm_hadd_epi16(t, t), _mm_hsub_epi16(t, t)), 0xB4);
    const int q6 = (qp + 3) / 6;
    if (q6 >= 6) {
        // Bits 0..15 of (f * ls) << (q6 - 6) depend on those of f * ls alone.
        return _mm_sll_epi16(_mm_mullo_epi16(f, _mm_set1_epi16(static_cast<short>(ls))),
                             _mm_cvtsi32_si128(q6 - 6));
    }
    // The 32-bit product clamped to +-2^30 first: beyond that the shifted sum saturates anyway,
    // and the rounding addition cannot wrap.
    const __m256i lim = _mm256_set1_epi32(1 << 30);
    __m256i p = _mm256_mullo_epi32(_mm256_cvtepi16_epi32(f), _mm256_set1_epi32(ls));
    p = _mm256_max_epi32(_mm256_min_epi32(p, lim), _mm256_sub_epi32(_mm256_setzero_si256(), lim));
    p = _mm256_sra_epi32(_mm256_add_epi32(p, _mm256_set1_epi32(1 << (5 - q6))),
                         _mm_cvtsi32_si128(6 - q6));
    return _mm_packs_epi32(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
}

}  // namespace opx::h264::avx2
