// AVX2 H.263 and H.261 loop filters. Eight positions of an edge are filtered at once in 16-bit
// lanes: a horizontal edge loads its four rows directly; a vertical edge loads four bytes per row
// and transposes them into the same four row vectors (and back), so one filter body serves both.
#include <immintrin.h>

#include <cstring>

#include "mpeg4/filter.hpp"

namespace opx::mpeg4::avx2 {
namespace {

inline __m128i load8(const Opx8u* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return _mm_cvtepu8_epi16(_mm_cvtsi64_si128(static_cast<long long>(v)));
}
inline void store8(Opx8u* p, __m128i v16) noexcept {
    const std::uint64_t v =
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(v16, v16)));
    std::memcpy(p, &v, 8);
}
inline std::uint32_t load32(const Opx8u* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Division by 2^k truncating towards zero.
template <int K>
inline __m128i div_trunc(__m128i x) noexcept {
    const __m128i bias = _mm_and_si128(_mm_srai_epi16(x, 15), _mm_set1_epi16((1 << K) - 1));
    return _mm_srai_epi16(_mm_add_epi16(x, bias), K);
}

struct Deblock {
    __m128i s;
    void operator()(__m128i& p1, __m128i& p0, __m128i& q0, __m128i& q1) const noexcept {
        const __m128i zero = _mm_setzero_si128();
        const __m128i x = _mm_sub_epi16(_mm_add_epi16(_mm_sub_epi16(p1, q1), _mm_slli_epi16(q0, 2)),
                                        _mm_slli_epi16(p0, 2));
        const __m128i d = div_trunc<3>(x);
        const __m128i ad = _mm_abs_epi16(d);
        const __m128i m = _mm_max_epi16(_mm_slli_epi16(_mm_sub_epi16(ad, s), 1), zero);
        const __m128i r = _mm_max_epi16(_mm_sub_epi16(ad, m), zero);
        const __m128i d1 = _mm_sign_epi16(r, d);
        const __m128i lim = _mm_srai_epi16(r, 1);
        __m128i d2 = div_trunc<2>(_mm_sub_epi16(p1, q1));
        d2 = _mm_max_epi16(_mm_min_epi16(d2, lim), _mm_sub_epi16(zero, lim));
        p1 = _mm_sub_epi16(p1, d2);
        q1 = _mm_add_epi16(q1, d2);
        p0 = _mm_add_epi16(p0, d1);
        q0 = _mm_sub_epi16(q0, d1);
    }
};

struct Boundary {
    void operator()(__m128i&, __m128i& p0, __m128i& q0, __m128i&) const noexcept {
        const __m128i two = _mm_set1_epi16(2);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(p0, q0), two);
        const __m128i np = _mm_srli_epi16(_mm_add_epi16(sum, _mm_add_epi16(p0, p0)), 2);
        const __m128i nq = _mm_srli_epi16(_mm_add_epi16(sum, _mm_add_epi16(q0, q0)), 2);
        p0 = np;
        q0 = nq;
    }
};

// Eight columns of a horizontal edge.
template <class Op>
inline void hor8(Opx8u* p, std::ptrdiff_t step, const Op& op) noexcept {
    __m128i p1 = load8(p - 2 * step), p0 = load8(p - step), q0 = load8(p), q1 = load8(p + step);
    op(p1, p0, q0, q1);
    store8(p - 2 * step, p1);
    store8(p - step, p0);
    store8(p, q0);
    store8(p + step, q1);
}

// Eight rows of a vertical edge: the bytes p1 p0 q0 q1 of each row are transposed into four
// 8-lane vectors and back.
template <class Op>
inline void ver8(Opx8u* p, std::ptrdiff_t step, const Op& op) noexcept {
    Opx8u* b = p - 2;
    const __m256i rows = _mm256_setr_epi32(
        static_cast<int>(load32(b)), static_cast<int>(load32(b + step)),
        static_cast<int>(load32(b + 2 * step)), static_cast<int>(load32(b + 3 * step)),
        static_cast<int>(load32(b + 4 * step)), static_cast<int>(load32(b + 5 * step)),
        static_cast<int>(load32(b + 6 * step)), static_cast<int>(load32(b + 7 * step)));
    const __m256i tr4 = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4,
                                         8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    __m256i t = _mm256_shuffle_epi8(rows, tr4);
    t = _mm256_permutevar8x32_epi32(t, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    const __m128i lo = _mm256_castsi256_si128(t), hi = _mm256_extracti128_si256(t, 1);
    __m128i p1 = _mm_cvtepu8_epi16(lo), p0 = _mm_cvtepu8_epi16(_mm_srli_si128(lo, 8));
    __m128i q0 = _mm_cvtepu8_epi16(hi), q1 = _mm_cvtepu8_epi16(_mm_srli_si128(hi, 8));
    op(p1, p0, q0, q1);
    __m256i o = _mm256_set_m128i(_mm_packus_epi16(q0, q1), _mm_packus_epi16(p1, p0));
    o = _mm256_permutevar8x32_epi32(o, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    o = _mm256_shuffle_epi8(o, tr4);
    alignas(32) std::uint32_t out[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(out), o);
    for (int y = 0; y < 8; ++y) std::memcpy(b + y * step, &out[y], 4);
}

void deblock_hor(Opx8u* p, std::ptrdiff_t step, int n, int s) noexcept {
    const Deblock op{_mm_set1_epi16(static_cast<short>(s))};
    for (int i = 0; i < n; i += 8) hor8(p + i, step, op);
}
void deblock_ver(Opx8u* p, std::ptrdiff_t step, int n, int s) noexcept {
    const Deblock op{_mm_set1_epi16(static_cast<short>(s))};
    for (int i = 0; i < n; i += 8) ver8(p + i * step, step, op);
}
void boundary_hor(Opx8u* p, std::ptrdiff_t step) noexcept {
    hor8(p, step, Boundary{});
    hor8(p + 8, step, Boundary{});
}
void boundary_ver(Opx8u* p, std::ptrdiff_t step) noexcept {
    ver8(p, step, Boundary{});
    ver8(p + 8 * step, step, Boundary{});
}

// All eight source rows are loaded before the first store, so the block may be filtered in place.
void h261(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds) noexcept {
    __m128i h[8];
    const __m128i ends = _mm_setr_epi16(-1, 0, 0, 0, 0, 0, 0, -1);
    for (int y = 0; y < 8; ++y) {
        const __m128i r = load8(src + y * ss);
        const __m128i inner = _mm_add_epi16(
            _mm_add_epi16(_mm_slli_si128(r, 2), _mm_srli_si128(r, 2)), _mm_add_epi16(r, r));
        h[y] = _mm_blendv_epi8(inner, _mm_slli_epi16(r, 2), ends);
    }
    const __m128i two = _mm_set1_epi16(2), eight = _mm_set1_epi16(8);
    __m128i o[8];
    o[0] = _mm_srli_epi16(_mm_add_epi16(h[0], two), 2);
    o[7] = _mm_srli_epi16(_mm_add_epi16(h[7], two), 2);
    for (int y = 1; y < 7; ++y)
        o[y] = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(h[y - 1], h[y + 1]),
                                            _mm_add_epi16(_mm_add_epi16(h[y], h[y]), eight)),
                              4);
    for (int y = 0; y < 8; ++y) store8(dst + y * ds, o[y]);
}

}  // namespace

const FilterKernels kFilter = {deblock_hor, deblock_ver, boundary_hor, boundary_ver, h261};

}  // namespace opx::mpeg4::avx2
