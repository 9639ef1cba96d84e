// Byte-vector helpers of the video-processing AVX2 kernels: one spelling for 128- and 256-bit
// vectors (overloads chosen by a tag value), and a column walk that covers a row span with
// 32-byte steps, one overlapping last step, 16-byte steps for short rows and single samples for
// the shortest. Included only by _avx2.cpp files.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::vpp::avx2 {

using V256 = __m256i;
using V128 = __m128i;

OPX_INLINE V256 ld(V256, const void* p) noexcept { return _mm256_loadu_si256(static_cast<const V256*>(p)); }
OPX_INLINE V128 ld(V128, const void* p) noexcept { return _mm_loadu_si128(static_cast<const V128*>(p)); }
OPX_INLINE void st(void* p, V256 v) noexcept { _mm256_storeu_si256(static_cast<V256*>(p), v); }
OPX_INLINE void st(void* p, V128 v) noexcept { _mm_storeu_si128(static_cast<V128*>(p), v); }
OPX_INLINE V256 set1_8(V256, int v) noexcept { return _mm256_set1_epi8(static_cast<char>(v)); }
OPX_INLINE V128 set1_8(V128, int v) noexcept { return _mm_set1_epi8(static_cast<char>(v)); }
OPX_INLINE V256 set1_16(V256, int v) noexcept { return _mm256_set1_epi16(static_cast<short>(v)); }
OPX_INLINE V128 set1_16(V128, int v) noexcept { return _mm_set1_epi16(static_cast<short>(v)); }
OPX_INLINE V256 zero(V256) noexcept { return _mm256_setzero_si256(); }
OPX_INLINE V128 zero(V128) noexcept { return _mm_setzero_si128(); }
OPX_INLINE V256 max8(V256 a, V256 b) noexcept { return _mm256_max_epu8(a, b); }
OPX_INLINE V128 max8(V128 a, V128 b) noexcept { return _mm_max_epu8(a, b); }
OPX_INLINE V256 min8(V256 a, V256 b) noexcept { return _mm256_min_epu8(a, b); }
OPX_INLINE V128 min8(V128 a, V128 b) noexcept { return _mm_min_epu8(a, b); }
OPX_INLINE V256 avg8(V256 a, V256 b) noexcept { return _mm256_avg_epu8(a, b); }
OPX_INLINE V128 avg8(V128 a, V128 b) noexcept { return _mm_avg_epu8(a, b); }
OPX_INLINE V256 subs8(V256 a, V256 b) noexcept { return _mm256_subs_epu8(a, b); }
OPX_INLINE V128 subs8(V128 a, V128 b) noexcept { return _mm_subs_epu8(a, b); }
OPX_INLINE V256 eq8(V256 a, V256 b) noexcept { return _mm256_cmpeq_epi8(a, b); }
OPX_INLINE V128 eq8(V128 a, V128 b) noexcept { return _mm_cmpeq_epi8(a, b); }
OPX_INLINE V256 and_(V256 a, V256 b) noexcept { return _mm256_and_si256(a, b); }
OPX_INLINE V128 and_(V128 a, V128 b) noexcept { return _mm_and_si128(a, b); }
OPX_INLINE V256 or_(V256 a, V256 b) noexcept { return _mm256_or_si256(a, b); }
OPX_INLINE V128 or_(V128 a, V128 b) noexcept { return _mm_or_si128(a, b); }
// b where the mask byte is set, else a.
OPX_INLINE V256 blend8(V256 a, V256 b, V256 m) noexcept { return _mm256_blendv_epi8(a, b, m); }
OPX_INLINE V128 blend8(V128 a, V128 b, V128 m) noexcept { return _mm_blendv_epi8(a, b, m); }
OPX_INLINE V256 add16(V256 a, V256 b) noexcept { return _mm256_add_epi16(a, b); }
OPX_INLINE V128 add16(V128 a, V128 b) noexcept { return _mm_add_epi16(a, b); }
OPX_INLINE V256 mullo16(V256 a, V256 b) noexcept { return _mm256_mullo_epi16(a, b); }
OPX_INLINE V128 mullo16(V128 a, V128 b) noexcept { return _mm_mullo_epi16(a, b); }
OPX_INLINE V256 mulhi16(V256 a, V256 b) noexcept { return _mm256_mulhi_epu16(a, b); }
OPX_INLINE V128 mulhi16(V128 a, V128 b) noexcept { return _mm_mulhi_epu16(a, b); }
OPX_INLINE V256 sub16(V256 a, V256 b) noexcept { return _mm256_sub_epi16(a, b); }
OPX_INLINE V128 sub16(V128 a, V128 b) noexcept { return _mm_sub_epi16(a, b); }
OPX_INLINE V256 xor_(V256 a, V256 b) noexcept { return _mm256_xor_si256(a, b); }
OPX_INLINE V128 xor_(V128 a, V128 b) noexcept { return _mm_xor_si128(a, b); }
OPX_INLINE V256 srli16_8(V256 a) noexcept { return _mm256_srli_epi16(a, 8); }
OPX_INLINE V128 srli16_8(V128 a) noexcept { return _mm_srli_epi16(a, 8); }
OPX_INLINE V256 unpacklo8(V256 a, V256 b) noexcept { return _mm256_unpacklo_epi8(a, b); }
OPX_INLINE V128 unpacklo8(V128 a, V128 b) noexcept { return _mm_unpacklo_epi8(a, b); }
OPX_INLINE V256 unpackhi8(V256 a, V256 b) noexcept { return _mm256_unpackhi_epi8(a, b); }
OPX_INLINE V128 unpackhi8(V128 a, V128 b) noexcept { return _mm_unpackhi_epi8(a, b); }
OPX_INLINE V256 packus16(V256 a, V256 b) noexcept { return _mm256_packus_epi16(a, b); }
OPX_INLINE V128 packus16(V128 a, V128 b) noexcept { return _mm_packus_epi16(a, b); }

// |a − b| of unsigned bytes.
template <class V>
OPX_INLINE V absdiff8(V a, V b) noexcept {
    return or_(subs8(a, b), subs8(b, a));
}
// Mask of a ≥ b, unsigned bytes.
template <class V>
OPX_INLINE V ge8(V a, V b) noexcept {
    return eq8(max8(a, b), a);
}

// Mask of |a − b| < t for unsigned bytes, with t_minus_1 = t − 1 clamped to 0..255 and `allow`
// all ones when t ≥ 1 (t ≤ 0 never holds; t ≥ 256 always).
template <class V>
OPX_INLINE V below_threshold(V a, V b, V t_minus_1, V allow) noexcept {
    return and_(eq8(subs8(absdiff8(a, b), t_minus_1), zero(a)), allow);
}
inline int threshold_minus_1(std::int32_t t) noexcept { return t > 255 ? 255 : t < 1 ? 0 : t - 1; }
inline int threshold_allow(std::int32_t t) noexcept { return t >= 1 ? 0xFF : 0; }

// Calls body(V256{}, x) for 32-byte spans and body(V128{}, x) for 16-byte spans covering
// [begin, end), the last span of each kind overlapping its predecessor; spans shorter than 16
// go to scalar(x) sample by sample. Overlap means some samples are computed twice: callers
// whose output does not feed their own input (or rebuilds to itself) may use it.
template <class Body, class Scalar>
OPX_INLINE void walk_columns(std::ptrdiff_t begin, std::ptrdiff_t end, Body body,
                             Scalar scalar) noexcept {
    const std::ptrdiff_t n = end - begin;
    if (n >= 32) {
        std::ptrdiff_t x = begin;
        for (; x + 32 <= end; x += 32) body(V256{}, x);
        if (x < end) body(V256{}, end - 32);
    } else if (n >= 16) {
        body(V128{}, begin);
        if (n > 16) body(V128{}, end - 16);
    } else {
        for (std::ptrdiff_t x = begin; x < end; ++x) scalar(x);
    }
}

}  // namespace opx::vpp::avx2
