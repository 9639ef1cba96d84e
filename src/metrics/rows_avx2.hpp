// Row loads and half-sample candidates in 128-bit vectors, shared by the AVX2 metric kernels
// (include only from *_avx2.cpp translation units).
//
// A "row group" is one 16-byte vector of 8-bit samples holding 16 / W rows of a block W samples
// wide: one row of 16, two rows of 8 (row y in the low half) or four rows of 4. Every load reads
// exactly the W bytes of its row, so no kernel touches a byte outside its documented region.
#pragma once

#include <immintrin.h>

#include <cstring>

#include "frame/dispatch.hpp"
#include "metrics/metrics.hpp"

namespace opx::metrics::avx2 {

OPX_INLINE const Opx8u* row8(const Opx8u* p, int y, std::int32_t step) noexcept {
    return p + row_offset(y, step);
}
template <class T>
OPX_INLINE const T* row_t(const T* p, int y, std::int32_t step) noexcept {
    return row_at(p, y, step);
}

OPX_INLINE __m128i load16(const void* p) noexcept {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
OPX_INLINE __m128i load8(const void* p) noexcept {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
OPX_INLINE __m128i load4(const void* p) noexcept {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
// Two 8-byte rows: lo in bytes 0..7, hi in bytes 8..15.
OPX_INLINE __m128i load8x2(const void* lo, const void* hi) noexcept {
    return _mm_castpd_si128(
        _mm_loadh_pd(_mm_castsi128_pd(load8(lo)), static_cast<const double*>(hi)));
}

// Rows y .. y + 16/W − 1 of a W-wide 8-bit block starting at p.
template <int W>
OPX_INLINE __m128i load_group(const Opx8u* p, std::int32_t step) noexcept {
    static_assert(W == 16 || W == 8 || W == 4);
    if constexpr (W == 16) {
        return load16(p);
    } else if constexpr (W == 8) {
        return load8x2(p, p + step);
    } else {
        const __m128i r01 = _mm_unpacklo_epi32(load4(p), load4(row8(p, 1, step)));
        const __m128i r23 = _mm_unpacklo_epi32(load4(row8(p, 2, step)), load4(row8(p, 3, step)));
        return _mm_unpacklo_epi64(r01, r23);
    }
}

// (a + b + c + d + 2) >> 2 per byte, exactly, from ab = avg(a, b), cd = avg(c, d) and the
// parities x1 = a XOR b, x2 = c XOR d. With S = ab + cd, a + b + c + d = 2S − e, e = the number
// of odd pair sums; avg(ab, cd) = (2S + 2) >> 2 exceeds (2S + 2 − e) >> 2 by one exactly when S
// is odd and e > 0.
OPX_INLINE __m128i avg4_u8(__m128i ab, __m128i cd, __m128i x1, __m128i x2) noexcept {
    const __m128i fix =
        _mm_and_si128(_mm_and_si128(_mm_xor_si128(ab, cd), _mm_or_si128(x1, x2)), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(ab, cd), fix);
}
// The same for unsigned 16-bit lanes (pavgw is exact over the whole 16-bit range).
OPX_INLINE __m128i avg4_u16(__m128i ab, __m128i cd, __m128i x1, __m128i x2) noexcept {
    const __m128i fix = _mm_and_si128(_mm_and_si128(_mm_xor_si128(ab, cd), _mm_or_si128(x1, x2)),
                                      _mm_set1_epi16(1));
    return _mm_sub_epi16(_mm_avg_epu16(ab, cd), fix);
}

// Successive row groups of the candidate at position Pos (horizontal neighbour N bytes on) of a
// W-wide 8-bit reference block. For 16-wide rows the previous row is kept, so each reference row
// is loaded once (twice for the horizontal positions); narrower groups are loaded afresh.
template <int W, int Pos, int N = 1>
class Candidate8u {
  public:
    OPX_INLINE Candidate8u(const Opx8u* ref, std::int32_t step) noexcept : ref_(ref), step_(step) {
        if constexpr (W == 16 && Pos == kVertical) {
            prev_a_ = load16(ref_);
        } else if constexpr (W == 16 && Pos == kBoth) {
            const __m128i a = load16(ref_), b = load16(ref_ + N);
            prev_a_ = _mm_avg_epu8(a, b);
            prev_x_ = _mm_xor_si128(a, b);
        }
    }

    // The next group of 16 / W candidate rows.
    OPX_INLINE __m128i next() noexcept {
        const Opx8u* r = ref_;
        ref_ += static_cast<std::ptrdiff_t>(step_) * (16 / W);
        if constexpr (Pos == kInteger) {
            return load_group<W>(r, step_);
        } else if constexpr (Pos == kHorizontal) {
            return _mm_avg_epu8(load_group<W>(r, step_), load_group<W>(r + N, step_));
        } else if constexpr (W == 16 && Pos == kVertical) {
            const __m128i c = load16(r + step_);
            const __m128i out = _mm_avg_epu8(prev_a_, c);
            prev_a_ = c;
            return out;
        } else if constexpr (W == 16) {
            const __m128i c = load16(r + step_), d = load16(r + step_ + N);
            const __m128i cd = _mm_avg_epu8(c, d), x2 = _mm_xor_si128(c, d);
            const __m128i out = avg4_u8(prev_a_, cd, prev_x_, x2);
            prev_a_ = cd;
            prev_x_ = x2;
            return out;
        } else if constexpr (Pos == kVertical) {
            return _mm_avg_epu8(load_group<W>(r, step_), load_group<W>(r + step_, step_));
        } else {
            const __m128i a = load_group<W>(r, step_), b = load_group<W>(r + N, step_);
            const __m128i c = load_group<W>(r + step_, step_);
            const __m128i d = load_group<W>(r + step_ + N, step_);
            return avg4_u8(_mm_avg_epu8(a, b), _mm_avg_epu8(c, d), _mm_xor_si128(a, b),
                           _mm_xor_si128(c, d));
        }
    }

  private:
    const Opx8u* ref_;
    std::int32_t step_;
    __m128i prev_a_{}, prev_x_{};
};

// Sum of the 32-bit lanes 0 and 2 (the two 64-bit halves of a psadbw accumulator).
OPX_INLINE std::int32_t hsum_sad(__m128i v) noexcept {
    return _mm_cvtsi128_si32(_mm_add_epi32(v, _mm_unpackhi_epi64(v, v)));
}
// Sum of the four 32-bit lanes.
OPX_INLINE std::int32_t hsum_epi32(__m128i v) noexcept {
    v = _mm_add_epi32(v, _mm_unpackhi_epi64(v, v));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 1, 1, 1)));
    return _mm_cvtsi128_si32(v);
}

}  // namespace opx::metrics::avx2
