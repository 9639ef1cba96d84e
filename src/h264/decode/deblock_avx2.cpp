// AVX2 deblocking filter.
//
// One filter body (`filter`, luma and chroma rules) works on eight vectors p3..q3 whose lanes are
// lines across an edge; the layouts differ only in how lines are brought into lanes:
//   horizontal edges: each vector is one row, a lane one sample column;
//   vertical edges: rows are transposed in registers so that each vector is one sample column
//   and a lane one row, then transposed back.
// 8-bit samples use 16-bit lanes: every intermediate lies in −1280..2048 (the strong filter's
// sums at most 8·255 + 4, the normal filter's (q0 − p0)·4 + (p1 − q1) + 4 within ±1279), and
// results are clipped to 0..255 by the unsigned-saturating pack that stores them. 16-bit samples
// use 32-bit lanes, with an explicit clip to 0..2^bitDepth − 1.
//
// Shortcuts, each giving the result of testing every line: an edge (or a pair of edges filtered
// together) whose bS are all zero is not loaded; the strong-filter arithmetic is skipped when no
// lane of the vectors has bS ≥ 4. Edges of a chroma set lie four samples apart and each reads
// two samples and writes one on either side of it, so they never see each other's writes and are
// filtered together in one set of vectors. Luma edges lie four lines apart and each reads four
// lines on either side, so each edge reads what the previous one wrote: the lines of a
// macroblock stay in registers from edge to edge and are loaded and stored once.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "frame/dispatch.hpp"
#include "h264/decode/deblock.hpp"

namespace opx::h264::avx2 {
namespace {

// ---- lane operations --------------------------------------------------------------------------

// 16-bit lanes (8-bit samples).
struct V16 {
    using V = __m256i;
    static V zero() noexcept { return _mm256_setzero_si256(); }
    static V band(V a, V b) noexcept { return _mm256_and_si256(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm256_andnot_si256(a, b); }
    static V select(V mask, V yes, V no) noexcept { return _mm256_blendv_epi8(no, yes, mask); }
    static __m256i set1(int v) noexcept { return _mm256_set1_epi16(static_cast<short>(v)); }
    static __m256i add(__m256i a, __m256i b) noexcept { return _mm256_add_epi16(a, b); }
    static __m256i sub(__m256i a, __m256i b) noexcept { return _mm256_sub_epi16(a, b); }
    static __m256i abs(__m256i a) noexcept { return _mm256_abs_epi16(a); }
    static __m256i gt(__m256i a, __m256i b) noexcept { return _mm256_cmpgt_epi16(a, b); }
    static __m256i min(__m256i a, __m256i b) noexcept { return _mm256_min_epi16(a, b); }
    static __m256i max(__m256i a, __m256i b) noexcept { return _mm256_max_epi16(a, b); }
    static __m256i sra(__m256i a, int n) noexcept { return _mm256_srai_epi16(a, n); }
    static __m256i srl(__m256i a, int n) noexcept { return _mm256_srli_epi16(a, n); }
    static __m256i sll(__m256i a, int n) noexcept { return _mm256_slli_epi16(a, n); }
    // (a + b + 1) >> 1 for non-negative lanes.
    static __m256i avg(__m256i a, __m256i b) noexcept { return _mm256_avg_epu16(a, b); }
    // Lanes of `mask` take `a` clipped to the sample range; the store's saturating pack clips
    // to 0..255, and the other lanes already hold `a` (delta 0).
    static __m256i clip(__m256i a, __m256i, __m256i, __m256i) noexcept { return a; }
};

// 32-bit lanes (16-bit samples).
struct V32 {
    using V = __m256i;
    static V zero() noexcept { return _mm256_setzero_si256(); }
    static V band(V a, V b) noexcept { return _mm256_and_si256(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm256_andnot_si256(a, b); }
    static V select(V mask, V yes, V no) noexcept { return _mm256_blendv_epi8(no, yes, mask); }
    static __m256i set1(int v) noexcept { return _mm256_set1_epi32(v); }
    static __m256i add(__m256i a, __m256i b) noexcept { return _mm256_add_epi32(a, b); }
    static __m256i sub(__m256i a, __m256i b) noexcept { return _mm256_sub_epi32(a, b); }
    static __m256i abs(__m256i a) noexcept { return _mm256_abs_epi32(a); }
    static __m256i gt(__m256i a, __m256i b) noexcept { return _mm256_cmpgt_epi32(a, b); }
    static __m256i min(__m256i a, __m256i b) noexcept { return _mm256_min_epi32(a, b); }
    static __m256i max(__m256i a, __m256i b) noexcept { return _mm256_max_epi32(a, b); }
    static __m256i sra(__m256i a, int n) noexcept { return _mm256_srai_epi32(a, n); }
    static __m256i srl(__m256i a, int n) noexcept { return _mm256_srli_epi32(a, n); }
    static __m256i sll(__m256i a, int n) noexcept { return _mm256_slli_epi32(a, n); }
    static __m256i avg(__m256i a, __m256i b) noexcept {
        return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(a, b), _mm256_set1_epi32(1)), 1);
    }
    // Lanes of `mask` take `a` clipped to 0..max_value, the others `old` (which may lie above
    // max_value: samples are not checked against the bit depth).
    static __m256i clip(__m256i a, __m256i old, __m256i mask, __m256i max_value) noexcept {
        const __m256i c = _mm256_min_epi32(_mm256_max_epi32(a, _mm256_setzero_si256()), max_value);
        return _mm256_blendv_epi8(old, c, mask);
    }
};

// Samples p3..q3 of the lines of the vectors (p3, q2, q3 unused by chroma).
template <class O>
struct Lines {
    typename O::V p3, p2, p1, p0, q0, q1, q2, q3;
};

// Per-lane parameters of one filtering pass.
template <class O>
struct Params {
    typename O::V alpha, beta, bs, tc0;
    typename O::V max_value;  // 16-bit samples only
    bool strong;              // some lane has bS ≥ 4
};

// The filter of H.264 clauses 8.7.2.3 and 8.7.2.4 on every lane; Luma selects the luma rules.
// Lanes with bS 0 or outside the alpha/beta tests come out unchanged.
template <class O, bool Luma>
OPX_INLINE void filter(Lines<O>& l, const Params<O>& e) noexcept {
    using V = typename O::V;
    const V zero = O::zero();
    const V one = O::set1(1);
    const V dpq = O::sub(l.q0, l.p0);
    const V adpq = O::abs(dpq);
    // The masks of the lanes to filter, as a shallow tree: the bS masks do not depend on the
    // samples, and for luma |p1 − p0| and |q1 − q0| meet one beta test through their maximum.
    const V bs_strong = O::gt(e.bs, O::set1(3));
    const V bs_weak = O::bandnot(bs_strong, O::gt(e.bs, zero));
    const V dp1 = O::abs(O::sub(l.p1, l.p0)), dq1 = O::abs(O::sub(l.q1, l.q0));
    V weak, strong;
    if constexpr (Luma) {
        const V near = O::band(O::gt(e.alpha, adpq), O::gt(e.beta, O::max(dp1, dq1)));
        weak = O::band(near, bs_weak);
        strong = O::band(near, bs_strong);
    } else {  // two comparisons and the bS masks early measured faster on chroma's short path
        const V near_p = O::band(O::gt(e.alpha, adpq), O::gt(e.beta, dp1));
        const V near_q = O::gt(e.beta, dq1);
        weak = O::band(near_p, O::band(near_q, bs_weak));
        strong = O::band(near_p, O::band(near_q, bs_strong));
    }

    // bS < 4 (clause 8.7.2.3).
    V ap = zero, aq = zero;
    V delta = O::sra(O::add(O::sll(dpq, 2), O::add(O::sub(l.p1, l.q1), O::set1(4))), 3);
    V p1 = l.p1, q1 = l.q1, p2 = l.p2, q2 = l.q2;
    if constexpr (Luma) {
        ap = O::gt(e.beta, O::abs(O::sub(l.p2, l.p0)));  // all ones where ap < beta
        aq = O::gt(e.beta, O::abs(O::sub(l.q2, l.q0)));
        // Lanes outside `weak` get tC 0, hence delta 0, and keep p1 and q1.
        const V apw = O::band(ap, weak), aqw = O::band(aq, weak);
        const V tc = O::sub(O::sub(O::band(e.tc0, weak), apw), aqw);
        delta = O::min(O::max(delta, O::sub(zero, tc)), tc);
        // (p2 + ((p0 + q0 + 1) >> 1) − 2·p1) >> 1 is ((p2 + avg) >> 1) − p1: 2·p1 is even.
        const V avg = O::avg(l.p0, l.q0);
        const V ntc0 = O::sub(zero, e.tc0);
        const V dp = O::sub(O::srl(O::add(l.p2, avg), 1), l.p1);
        const V dq = O::sub(O::srl(O::add(l.q2, avg), 1), l.q1);
        p1 = O::add(l.p1, O::band(O::min(O::max(dp, ntc0), e.tc0), apw));
        q1 = O::add(l.q1, O::band(O::min(O::max(dq, ntc0), e.tc0), aqw));
    } else {
        // Chroma's tC does not depend on the samples: the delta is clipped first and masked
        // last, which keeps the masks off the path from the loads to the stores.
        const V tc = O::add(e.tc0, one);
        delta = O::band(O::min(O::max(delta, O::sub(zero, tc)), tc), weak);
    }
    V p0 = O::clip(O::add(l.p0, delta), l.p0, weak, e.max_value);
    V q0 = O::clip(O::sub(l.q0, delta), l.q0, weak, e.max_value);

    // bS = 4 (clause 8.7.2.4).
    if (e.strong) {
        const V two = O::set1(2);
        // (2·p1 + p0 + q1 + 2) >> 2 and its mirror: chroma, and luma without the full filter.
        const V p0_3tap = O::sra(O::add(O::add(O::add(l.p1, l.p1), O::add(l.p0, l.q1)), two), 2);
        const V q0_3tap = O::sra(O::add(O::add(O::add(l.q1, l.q1), O::add(l.q0, l.p1)), two), 2);
        if constexpr (Luma) {
            const V small = O::gt(O::add(O::sra(e.alpha, 2), two), adpq);
            const V sp = O::band(O::band(strong, ap), small);
            const V sq = O::band(O::band(strong, aq), small);
            const V four = O::set1(4);
            const V sum_p = O::add(O::add(l.p1, l.p0), l.q0);  // p1 + p0 + q0
            const V sum_q = O::add(O::add(l.q1, l.q0), l.p0);  // q1 + q0 + p0
            const V p0f = O::sra(O::add(O::add(O::add(l.p2, O::add(sum_p, sum_p)), l.q1), four), 3);
            const V p1f = O::sra(O::add(O::add(l.p2, sum_p), two), 2);
            const V p2f =
                O::sra(O::add(O::add(O::sll(O::add(l.p3, l.p2), 1), O::add(l.p2, sum_p)), four), 3);
            const V q0f = O::sra(O::add(O::add(O::add(l.q2, O::add(sum_q, sum_q)), l.p1), four), 3);
            const V q1f = O::sra(O::add(O::add(l.q2, sum_q), two), 2);
            const V q2f =
                O::sra(O::add(O::add(O::sll(O::add(l.q3, l.q2), 1), O::add(l.q2, sum_q)), four), 3);
            p0 = O::select(sp, p0f, O::select(strong, p0_3tap, p0));
            q0 = O::select(sq, q0f, O::select(strong, q0_3tap, q0));
            p1 = O::select(sp, p1f, p1);
            q1 = O::select(sq, q1f, q1);
            p2 = O::select(sp, p2f, p2);
            q2 = O::select(sq, q2f, q2);
        } else {
            p0 = O::select(strong, p0_3tap, p0);
            q0 = O::select(strong, q0_3tap, q0);
        }
    }
    l.p0 = p0;
    l.q0 = q0;
    l.p1 = p1;
    l.q1 = q1;
    l.p2 = p2;
    l.q2 = q2;
}

// ---- bS and thresholds ------------------------------------------------------------------------

// Four bytes as one word (bS or tC0 of an edge).
OPX_INLINE std::uint32_t word4(const Opx8u* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
constexpr bool any_strong(std::uint32_t w) noexcept {
    return (w & 0xFCFCFCFCu) != 0;
}  // a byte ≥ 4

// The whole edge becomes bS 4 when its first bS is ≥ 4.
constexpr std::uint32_t first_rule(std::uint32_t w) noexcept {
    return (w & 0xFC) != 0 ? 0x04040404u : w;
}
// bS 4 rule only when all four are ≥ 4; otherwise every non-zero bS takes the bS < 4 rule.
constexpr std::uint32_t all_four_rule(std::uint32_t w) noexcept {
    std::uint32_t out = 0;
    int strong = 0;
    for (int k = 0; k < 4; ++k) {
        const std::uint32_t b = (w >> (8 * k)) & 0xFF;
        strong += b >= 4;
        out |= std::min<std::uint32_t>(b, 3) << (8 * k);
    }
    return strong == 4 ? 0x04040404u : out;
}

// Bytes of `src` spread over 16-bit lanes by a byte shuffle (index 0x80: zero).
OPX_INLINE __m256i spread16(__m128i src, __m128i index) noexcept {
    return _mm256_cvtepu8_epi16(_mm_shuffle_epi8(src, index));
}

// Lane i takes byte i / 4: one edge's segments of four lines.
OPX_INLINE __m128i by4() noexcept {
    return _mm_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
}
// Lane i takes byte i / 2: two edges (bytes 0..3 and 4..7) of segments of two lines.
OPX_INLINE __m128i by2() noexcept {
    return _mm_setr_epi8(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
}

// Parameters of one edge whose 16 lanes take segment i / 4.
OPX_INLINE Params<V16> edge_params16(std::uint32_t bs, std::uint32_t tc0, int alpha,
                                     int beta) noexcept {
    Params<V16> e;
    e.alpha = V16::set1(alpha);
    e.beta = V16::set1(beta);
    e.bs = spread16(_mm_cvtsi32_si128(static_cast<int>(bs)), by4());
    e.tc0 = spread16(_mm_cvtsi32_si128(static_cast<int>(tc0)), by4());
    e.max_value = _mm256_setzero_si256();
    e.strong = any_strong(bs);
    return e;
}

// Two bytes (a | b << 8) as 16-bit lanes: a in lanes 0..7, b in lanes 8..15.
OPX_INLINE __m256i pair_lanes(std::uint32_t two) noexcept {
    const __m256i index =
        _mm256_setr_epi8(0, -128, 0, -128, 0, -128, 0, -128, 0, -128, 0, -128, 0, -128, 0, -128, 1,
                         -128, 1, -128, 1, -128, 1, -128, 1, -128, 1, -128, 1, -128, 1, -128);
    return _mm256_shuffle_epi8(_mm256_set1_epi16(static_cast<short>(two)), index);
}
OPX_INLINE std::uint32_t two_bytes(const Opx8u* p) noexcept {
    return p[0] | (p[1] << 8);
}
OPX_INLINE std::uint32_t two_bytes(int a, int b) noexcept {
    return static_cast<std::uint32_t>(a | (b << 8));
}

// Parameters of two edges filtered together: lanes 0..7 edge a, 8..15 edge b, two lines per
// segment. `alpha` and `beta` hold edge a's threshold in the low byte, edge b's in the next.
OPX_INLINE Params<V16> pair_params16(std::uint32_t bs_a, std::uint32_t bs_b, std::uint64_t tc,
                                     std::uint32_t alpha, std::uint32_t beta) noexcept {
    Params<V16> e;
    e.alpha = pair_lanes(alpha);
    e.beta = pair_lanes(beta);
    e.bs = spread16(_mm_cvtsi64_si128(static_cast<long long>(bs_a | (std::uint64_t{bs_b} << 32))),
                    by2());
    e.tc0 = spread16(_mm_cvtsi64_si128(static_cast<long long>(tc)), by2());
    e.max_value = _mm256_setzero_si256();
    e.strong = any_strong(bs_a | bs_b);
    return e;
}

OPX_INLINE std::uint64_t word8(const Opx8u* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---- 8-bit rows and columns -------------------------------------------------------------------

OPX_INLINE __m256i load_row16(const Opx8u* p) noexcept {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// Two rows of 8 bytes: lanes 0..7 from a, 8..15 from b (widened within each 128-bit lane).
OPX_INLINE __m256i load_rows8x2(const Opx8u* a, const Opx8u* b) noexcept {
    const __m256i v = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), 1);
    return _mm256_unpacklo_epi8(v, _mm256_setzero_si256());
}
// Two 16-lane rows packed to bytes and stored, 16 bytes each.
OPX_INLINE void store_rows16(Opx8u* a, Opx8u* b, __m256i ra, __m256i rb) noexcept {
    const __m256i v = _mm256_permute4x64_epi64(_mm256_packus_epi16(ra, rb), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b), _mm256_extracti128_si256(v, 1));
}

// In-lane 8×8 byte transpose of each 128-bit lane: rows (2k, 2k+1) in y[k] → columns
// (2k, 2k+1) in y[k]. Its own inverse.
OPX_INLINE void transpose8x8x2(__m256i y[4]) noexcept {
    const __m256i pair = _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15, 0,
                                          8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
    for (int k = 0; k < 4; ++k) y[k] = _mm256_shuffle_epi8(y[k], pair);  // 16-bit unit j: column j
    const __m256i z0 = _mm256_unpacklo_epi16(y[0], y[1]);                // columns 0..3, rows 0..3
    const __m256i z1 = _mm256_unpackhi_epi16(y[0], y[1]);                // columns 4..7, rows 0..3
    const __m256i z2 = _mm256_unpacklo_epi16(y[2], y[3]);                // columns 0..3, rows 4..7
    const __m256i z3 = _mm256_unpackhi_epi16(y[2], y[3]);                // columns 4..7, rows 4..7
    y[0] = _mm256_unpacklo_epi32(z0, z2);
    y[1] = _mm256_unpackhi_epi32(z0, z2);
    y[2] = _mm256_unpacklo_epi32(z1, z3);
    y[3] = _mm256_unpackhi_epi32(z1, z3);
}

// R (8 or 16) rows of 8 bytes → 8 column vectors, lane r = row r (lanes ≥ R zero).
template <int R>
OPX_INLINE void load_columns(const Opx8u* p, std::ptrdiff_t step, __m256i col[8]) noexcept {
    __m256i y[4];
    const auto two_rows = [&](int r) {
        const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + r * step));
        return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo),
                                             reinterpret_cast<const double*>(p + (r + 1) * step)));
    };
    for (int k = 0; k < 4; ++k) {
        const __m128i lo = two_rows(2 * k);
        y[k] = R == 16 ? _mm256_setr_m128i(lo, two_rows(2 * k + 8)) : _mm256_zextsi128_si256(lo);
    }
    transpose8x8x2(y);
    const __m256i zero = _mm256_setzero_si256();
    for (int k = 0; k < 4; ++k) {
        col[2 * k] = _mm256_unpacklo_epi8(y[k], zero);
        col[2 * k + 1] = _mm256_unpackhi_epi8(y[k], zero);
    }
}

template <int R>
OPX_INLINE void store_columns(Opx8u* p, std::ptrdiff_t step, const __m256i col[8]) noexcept {
    __m256i y[4];
    for (int k = 0; k < 4; ++k) y[k] = _mm256_packus_epi16(col[2 * k], col[2 * k + 1]);
    transpose8x8x2(y);
    for (int k = 0; k < 4; ++k) {
        const auto put = [&](int r, __m128i v) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p + r * step), v);
            _mm_storeh_pi(reinterpret_cast<__m64*>(p + (r + 1) * step), _mm_castsi128_ps(v));
        };
        put(2 * k, _mm256_castsi256_si128(y[k]));
        if constexpr (R == 16) put(2 * k + 8, _mm256_extracti128_si256(y[k], 1));
    }
}

// ---- 8-bit luma -------------------------------------------------------------------------------

OPX_INLINE bool all_zero16(const Opx8u* bs) noexcept {
    return _mm_testz_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bs)),
                           _mm_set1_epi8(-1));
}

// The edges lie four rows apart and each reads rows −4..3 around it, so edge e + 1 reads what
// edge e wrote: its p3..p1 are edge e's q0..q2 carried in registers, its p0 edge e's q3, and
// only its q0..q3 are loaded. Rows are stored once, when no later edge can change them.
// Without the top edge, rows −4..−1 are neither read nor written: the window starts at edge 1.
template <bool Top>
OPX_INLINE void luma_hor_mb(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                            const Opx8u* tc0, const Opx8u* bs) noexcept {
    constexpr int first = Top ? 0 : 1;
    const Opx8u* const start = p + 4 * first * step;
    Lines<V16> l;
    l.p3 = load_row16(start - 4 * step);
    l.p2 = load_row16(start - 3 * step);
    l.p1 = load_row16(start - 2 * step);
    l.p0 = load_row16(start - step);
    for (int e = first; e < 4; ++e) {
        Opx8u* q = p + 4 * e * step;
        l.q0 = load_row16(q);
        l.q1 = load_row16(q + step);
        l.q2 = load_row16(q + 2 * step);
        l.q3 = load_row16(q + 3 * step);
        const std::uint32_t b = word4(bs + 4 * e);
        if (b != 0)
            filter<V16, true>(
                l, edge_params16(b, word4(tc0 + 4 * e), alpha[e ? 1 : 0], beta[e ? 1 : 0]));
        store_rows16(q - 3 * step, q - 2 * step, l.p2, l.p1);
        store_rows16(q - step, q, l.p0, l.q0);
        l = {l.q0, l.q1, l.q2, l.q3, l.q3, l.q3, l.q3, l.q3};
    }
    store_rows16(p + 13 * step, p + 14 * step, l.p2, l.p1);
}

using LumaMbFn = void (*)(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                          const Opx8u* tc0, const Opx8u* bs) noexcept;

// A macroblock's luma edges: nothing when every bS is 0, else the window with or without the
// first edge as its bS decide.
OPX_INLINE OpxResult luma_mb(LumaMbFn with_first, LumaMbFn without_first, Opx8u* p,
                             std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                             const Opx8u* tc0, const Opx8u* bs) noexcept {
    if (all_zero16(bs)) return opxOk;
    (word4(bs) != 0 ? with_first : without_first)(p, step, alpha, beta, tc0, bs);
    return opxOk;
}

OpxResult luma_hor8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                    const Opx8u* tc0, const Opx8u* bs) noexcept {
    return luma_mb(luma_hor_mb<true>, luma_hor_mb<false>, p, step, alpha, beta, tc0, bs);
}

// As for horizontal edges, edge e + 1 reads columns edge e wrote, and stores of eight columns
// reloaded four columns on would not forward: columns −4..15 are transposed in once, as three
// blocks of eight (the last overlapping the second), and out once, when all edges are done.
// Without the left edge, columns 0..15 as two blocks (the left neighbour is not touched).
// Edges 1 and 3 unfiltered (8×8 transforms, or no coefficients or motion across them): edges 0
// and 2 read disjoint columns, −4..3 and 4..11, and go through two blocks of eight (without the
// left edge, one).
template <bool Left>
OPX_INLINE void luma_ver_mb(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                            const Opx8u* tc0, const Opx8u* bs) noexcept {
    __m256i c[20];  // columns −4..15
    if ((word4(bs + 4) | word4(bs + 12)) == 0) {
        if constexpr (Left) load_columns<16>(p - 4, step, c);
        load_columns<16>(p + 4, step, c + 8);
        for (int e = Left ? 0 : 2; e < 4; e += 2) {
            const std::uint32_t b = word4(bs + 4 * e);
            if (b == 0) continue;
            __m256i* x = c + 4 * e;
            Lines<V16> l = {x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]};
            filter<V16, true>(
                l, edge_params16(b, word4(tc0 + 4 * e), alpha[e ? 1 : 0], beta[e ? 1 : 0]));
            x[1] = l.p2, x[2] = l.p1, x[3] = l.p0, x[4] = l.q0, x[5] = l.q1, x[6] = l.q2;
        }
        if constexpr (Left) store_columns<16>(p - 4, step, c);
        store_columns<16>(p + 4, step, c + 8);
        return;
    }
    if constexpr (Left) {
        load_columns<16>(p - 4, step, c);
        load_columns<16>(p + 4, step, c + 8);
        __m256i last[8];  // columns 8..15
        load_columns<16>(p + 8, step, last);
        for (int k = 0; k < 4; ++k) c[16 + k] = last[4 + k];
    } else {
        load_columns<16>(p, step, c + 4);
        load_columns<16>(p + 8, step, c + 12);
    }
    for (int e = Left ? 0 : 1; e < 4; ++e) {
        const std::uint32_t b = word4(bs + 4 * e);
        if (b == 0) continue;
        __m256i* x = c + 4 * e;
        Lines<V16> l = {x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]};
        filter<V16, true>(l,
                          edge_params16(b, word4(tc0 + 4 * e), alpha[e ? 1 : 0], beta[e ? 1 : 0]));
        x[1] = l.p2, x[2] = l.p1, x[3] = l.p0, x[4] = l.q0, x[5] = l.q1, x[6] = l.q2;
    }
    if constexpr (Left) {
        store_columns<16>(p - 4, step, c);
        store_columns<16>(p + 4, step, c + 8);
        store_columns<16>(p + 8, step, c + 12);
    } else {
        store_columns<16>(p, step, c + 4);
        store_columns<16>(p + 8, step, c + 12);
    }
}

OpxResult luma_ver8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                    const Opx8u* tc0, const Opx8u* bs) noexcept {
    return luma_mb(luma_ver_mb<true>, luma_ver_mb<false>, p, step, alpha, beta, tc0, bs);
}

// MBAFF luma: 8 rows of one edge, row r with entry r >> 1.
void luma_mbaff8(Opx8u* p, std::ptrdiff_t step, Opx32u alpha, Opx32u beta, const Opx8u* tc0,
                 const Opx8u* bs) noexcept {
    const std::uint32_t b = word4(bs);
    if (alpha == 0 || b == 0) return;
    // Beyond 1023 a threshold compares like 1023: |p0 − q0| ≤ 255 < (1023 >> 2) + 2.
    Params<V16> prm = pair_params16(b, 0, word4(tc0), 0, 0);
    prm.alpha = V16::set1(static_cast<int>(std::min<Opx32u>(alpha, 1023)));
    prm.beta = V16::set1(static_cast<int>(std::min<Opx32u>(beta, 1023)));
    __m256i c[8];
    load_columns<8>(p - 4, step, c);
    Lines<V16> l = {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
    filter<V16, true>(l, prm);
    c[1] = l.p2, c[2] = l.p1, c[3] = l.p0, c[4] = l.q0, c[5] = l.q1, c[6] = l.q2;
    store_columns<8>(p - 4, step, c);
}

// ---- 8-bit chroma, one plane ------------------------------------------------------------------

constexpr std::uint32_t as_given(std::uint32_t w) noexcept {
    return w;
}

// Two horizontal edges (rows ra and ra + 4) of 8 columns, filtered together: lanes 0..7 are
// the columns of edge a, lanes 8..15 those of edge b.
template <std::uint32_t (*Rule)(std::uint32_t)>
OPX_INLINE void chroma_hor_pair(Opx8u* p, std::ptrdiff_t step, int ra, std::uint32_t alpha,
                                std::uint32_t beta, std::uint32_t bs_a, std::uint32_t bs_b,
                                std::uint64_t tc) noexcept {
    bs_a = Rule(bs_a);
    bs_b = Rule(bs_b);
    if ((bs_a | bs_b) == 0) return;
    const Params<V16> prm = pair_params16(bs_a, bs_b, tc, alpha, beta);
    Opx8u* a = p + ra * step;
    Opx8u* b = a + 4 * step;
    Lines<V16> l;
    l.p1 = load_rows8x2(a - 2 * step, b - 2 * step);
    l.p0 = load_rows8x2(a - step, b - step);
    l.q0 = load_rows8x2(a, b);
    l.q1 = load_rows8x2(a + step, b + step);
    filter<V16, false>(l, prm);
    const __m256i packed = _mm256_packus_epi16(l.p0, l.q0);  // per 128-bit lane: p0 | q0
    const __m128i lo = _mm256_castsi256_si128(packed), hi = _mm256_extracti128_si256(packed, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(a - step), lo);
    _mm_storeh_pi(reinterpret_cast<__m64*>(a), _mm_castsi128_ps(lo));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(b - step), hi);
    _mm_storeh_pi(reinterpret_cast<__m64*>(b), _mm_castsi128_ps(hi));
}

OpxResult chroma_hor8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                      const Opx8u* tc0, const Opx8u* bs) noexcept {
    chroma_hor_pair<as_given>(p, step, 0, two_bytes(alpha), two_bytes(beta), word4(bs),
                              word4(bs + 8), word8(tc0));
    return opxOk;
}

OpxResult chroma422_hor8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                         const Opx8u* tc0, const Opx8u* bs) noexcept {
    chroma_hor_pair<first_rule>(p, step, 0, two_bytes(alpha), two_bytes(beta), word4(bs),
                                word4(bs + 4), word8(tc0));
    chroma_hor_pair<first_rule>(p, step, 8, two_bytes(alpha[1], alpha[1]),
                                two_bytes(beta[1], beta[1]), word4(bs + 8), word4(bs + 12),
                                word8(tc0 + 8));
    return opxOk;
}

// Lanes 0..7 of a and of b side by side (edges of 8 rows filtered together).
OPX_INLINE __m256i join(__m256i a, __m256i b) noexcept {
    return _mm256_permute2x128_si256(a, b, 0x20);
}

OpxResult chroma_ver8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                      const Opx8u* tc0, const Opx8u* bs) noexcept {
    const std::uint32_t ba = word4(bs), bb = word4(bs + 8);
    if ((ba | bb) == 0) return opxOk;
    const Params<V16> prm = pair_params16(ba, bb, word8(tc0), two_bytes(alpha), two_bytes(beta));
    __m256i c[8];  // columns −2..5
    load_columns<8>(p - 2, step, c);
    Lines<V16> l;
    l.p1 = join(c[0], c[4]);
    l.p0 = join(c[1], c[5]);
    l.q0 = join(c[2], c[6]);
    l.q1 = join(c[3], c[7]);
    filter<V16, false>(l, prm);
    c[1] = l.p0;
    c[2] = l.q0;
    c[5] = _mm256_permute2x128_si256(l.p0, l.p0, 0x01);
    c[6] = _mm256_permute2x128_si256(l.q0, l.q0, 0x01);
    store_columns<8>(p - 2, step, c);
    return opxOk;
}

OpxResult chroma422_ver8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                         const Opx8u* tc0, const Opx8u* bs) noexcept {
    const std::uint32_t ba = word4(bs), bb = word4(bs + 8);
    if ((ba | bb) == 0) return opxOk;
    __m256i c[8];  // columns −2..5, 16 rows
    load_columns<16>(p - 2, step, c);
    for (int e = 0; e < 2; ++e) {
        const std::uint32_t b = e ? bb : ba;
        if (b == 0) continue;
        const Params<V16> prm = edge_params16(b, word4(tc0 + 4 * e), alpha[e], beta[e]);
        Lines<V16> l;
        l.p1 = c[4 * e];
        l.p0 = c[4 * e + 1];
        l.q0 = c[4 * e + 2];
        l.q1 = c[4 * e + 3];
        filter<V16, false>(l, prm);
        c[4 * e + 1] = l.p0;
        c[4 * e + 2] = l.q0;
    }
    store_columns<16>(p - 2, step, c);
    return opxOk;
}

// MBAFF chroma: 4 rows of one edge, row r with entry r; columns −2..1 as a 4×4 byte block.
void chroma_mbaff8(Opx8u* p, std::ptrdiff_t step, Opx32u alpha, Opx32u beta, const Opx8u* tc0,
                   const Opx8u* bs) noexcept {
    const std::uint32_t b = word4(bs);
    if (alpha == 0 || b == 0) return;
    Params<V16> prm;
    prm.alpha = V16::set1(static_cast<int>(std::min<Opx32u>(alpha, 1023)));
    prm.beta = V16::set1(static_cast<int>(std::min<Opx32u>(beta, 1023)));
    const __m128i row_lanes = _mm_setr_epi8(0, 1, 2, 3, -128, -128, -128, -128, -128, -128, -128,
                                            -128, -128, -128, -128, -128);
    prm.bs = spread16(_mm_cvtsi32_si128(static_cast<int>(b)), row_lanes);
    prm.tc0 = spread16(_mm_cvtsi32_si128(static_cast<int>(word4(tc0))), row_lanes);
    prm.max_value = _mm256_setzero_si256();
    prm.strong = any_strong(b);
    Opx8u* q = p - 2;
    const __m128i rows = _mm_setr_epi32(
        static_cast<int>(word4(q)), static_cast<int>(word4(q + step)),
        static_cast<int>(word4(q + 2 * step)), static_cast<int>(word4(q + 3 * step)));
    // 4×4 transpose: bytes 4c..4c+3 = column c of rows 0..3 (its own inverse).
    const __m128i t4 = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m128i cols = _mm_shuffle_epi8(rows, t4);
    Lines<V16> l;
    l.p1 = _mm256_cvtepu8_epi16(cols);
    l.p0 = _mm256_cvtepu8_epi16(_mm_srli_si128(cols, 4));
    l.q0 = _mm256_cvtepu8_epi16(_mm_srli_si128(cols, 8));
    l.q1 = _mm256_cvtepu8_epi16(_mm_srli_si128(cols, 12));
    filter<V16, false>(l, prm);
    // bytes 0..3 new p0, 8..11 new q0
    const __m128i pq = _mm_packus_epi16(_mm256_castsi256_si128(l.p0), _mm256_castsi256_si128(l.q0));
    const __m128i moved = _mm_shuffle_epi8(pq, _mm_setr_epi8(-128, -128, -128, -128, 0, 1, 2, 3, 8,
                                                             9, 10, 11, -128, -128, -128, -128));
    const __m128i mid = _mm_setr_epi32(0, -1, -1, 0);
    const __m128i out = _mm_shuffle_epi8(_mm_blendv_epi8(cols, moved, mid), t4);
    const auto put = [](Opx8u* d, int v) { std::memcpy(d, &v, 4); };
    put(q, _mm_cvtsi128_si32(out));
    put(q + step, _mm_extract_epi32(out, 1));
    put(q + 2 * step, _mm_extract_epi32(out, 2));
    put(q + 3 * step, _mm_extract_epi32(out, 3));
}

// ---- 8-bit chroma, interleaved CbCr -----------------------------------------------------------

// Horizontal: each edge's four rows of 16 bytes; lane i is byte i, chroma column i / 2.
OpxResult chroma_hor_c2(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                        const Opx8u* tc0, const Opx8u* bs) noexcept {
    for (int e = 0; e < 2; ++e) {
        const std::uint32_t b = all_four_rule(word4(bs + 8 * e));
        if (b == 0) continue;
        const Params<V16> prm = edge_params16(b, word4(tc0 + 4 * e), alpha[e], beta[e]);
        Opx8u* q = p + 4 * e * step;
        Lines<V16> l;
        l.p1 = load_row16(q - 2 * step);
        l.p0 = load_row16(q - step);
        l.q0 = load_row16(q);
        l.q1 = load_row16(q + step);
        filter<V16, false>(l, prm);
        store_rows16(q - step, q, l.p0, l.q0);
    }
    return opxOk;
}

// 8×8 transpose of 16-bit units (its own inverse).
OPX_INLINE void transpose8x8w(__m128i r[8]) noexcept {
    __m128i a[8], b[8];
    for (int k = 0; k < 4; ++k) {
        a[2 * k] = _mm_unpacklo_epi16(r[2 * k], r[2 * k + 1]);
        a[2 * k + 1] = _mm_unpackhi_epi16(r[2 * k], r[2 * k + 1]);
    }
    for (int h = 0; h < 2; ++h) {  // rows 0..3, 4..7
        const __m128i* x = a + 4 * h;
        b[4 * h + 0] = _mm_unpacklo_epi32(x[0], x[2]);  // units 0, 1
        b[4 * h + 1] = _mm_unpackhi_epi32(x[0], x[2]);  // units 2, 3
        b[4 * h + 2] = _mm_unpacklo_epi32(x[1], x[3]);  // units 4, 5
        b[4 * h + 3] = _mm_unpackhi_epi32(x[1], x[3]);  // units 6, 7
    }
    for (int k = 0; k < 4; ++k) {
        r[2 * k] = _mm_unpacklo_epi64(b[k], b[k + 4]);
        r[2 * k + 1] = _mm_unpackhi_epi64(b[k], b[k + 4]);
    }
}

// Vertical: 8 rows of bytes −4..11 (CbCr pairs −2..5) transposed into pair columns; lane i is
// row i / 2, component i % 2.
OpxResult chroma_ver_c2(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                        const Opx8u* tc0, const Opx8u* bs) noexcept {
    const std::uint32_t ba = all_four_rule(word4(bs)), bb = all_four_rule(word4(bs + 8));
    if ((ba | bb) == 0) return opxOk;
    Opx8u* q = p - 4;
    __m128i r[8];
    for (int i = 0; i < 8; ++i)
        r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i * step));
    transpose8x8w(r);
    for (int e = 0; e < 2; ++e) {
        const std::uint32_t b = e ? bb : ba;
        if (b == 0) continue;
        const Params<V16> prm = edge_params16(b, word4(tc0 + 4 * e), alpha[e], beta[e]);
        Lines<V16> l;
        l.p1 = _mm256_cvtepu8_epi16(r[4 * e]);
        l.p0 = _mm256_cvtepu8_epi16(r[4 * e + 1]);
        l.q0 = _mm256_cvtepu8_epi16(r[4 * e + 2]);
        l.q1 = _mm256_cvtepu8_epi16(r[4 * e + 3]);
        filter<V16, false>(l, prm);
        r[4 * e + 1] =
            _mm_packus_epi16(_mm256_castsi256_si128(l.p0), _mm256_extracti128_si256(l.p0, 1));
        r[4 * e + 2] =
            _mm_packus_epi16(_mm256_castsi256_si128(l.q0), _mm256_extracti128_si256(l.q0, 1));
    }
    transpose8x8w(r);
    for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(q + i * step), r[i]);
    return opxOk;
}

// ---- 16-bit samples ---------------------------------------------------------------------------

using Rule = std::uint32_t (*)(std::uint32_t);

// One kind of 16-bit edge set.
struct Kind16 {
    bool vertical, luma;
    int edges, distance, lines, lines_per_bs, bs_stride;
    Rule rule;
    bool mbaff;
};

constexpr Kind16 kLumaVer16 = {true, true, 4, 4, 16, 4, 4, as_given, false};
constexpr Kind16 kLumaHor16 = {false, true, 4, 4, 16, 4, 4, as_given, false};
constexpr Kind16 kLumaMbaff16 = {true, true, 1, 0, 8, 2, 0, as_given, true};
constexpr Kind16 kChromaVer16 = {true, false, 2, 4, 8, 2, 8, as_given, false};
constexpr Kind16 kChromaHor16 = {false, false, 2, 4, 8, 2, 8, first_rule, false};
constexpr Kind16 kChromaMbaff16 = {true, false, 1, 0, 4, 1, 0, as_given, true};
constexpr Kind16 kChroma422Ver16 = {true, false, 2, 4, 16, 4, 8, as_given, false};
constexpr Kind16 kChroma422Hor16 = {false, false, 4, 4, 8, 2, 4, first_rule, false};

OPX_INLINE __m256i widen(__m128i v) noexcept {
    return _mm256_cvtepu16_epi32(v);
}
// Lanes in 0..65535 (results are clipped or averages of samples) back to 16 bits.
OPX_INLINE __m128i narrow(__m256i v) noexcept {
    return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Up to 8 lines of one edge from q0 (the first line's q0 sample) on, in 32-bit lanes. Luma reads
// and writes p3..q3 (8 samples), chroma p1..q1 (4).
template <bool Vertical, bool Luma>
void filter_lines16(Opx16u* q0, std::ptrdiff_t step, int n, const Params<V32>& prm) noexcept {
    constexpr int kAcross = Luma ? 8 : 4;
    constexpr int kHalf = kAcross / 2;
    Lines<V32> l;
    __m256i* const line[8] = {&l.p3, &l.p2, &l.p1, &l.p0, &l.q0, &l.q1, &l.q2, &l.q3};
    __m256i* const* used = line + 4 - kHalf;  // p(kHalf − 1) .. q(kHalf − 1)
    if constexpr (Vertical) {
        __m128i r[8];
        for (int i = 0; i < 8; ++i) {
            const Opx16u* row = q0 + i * step - kHalf;
            if (i >= n)
                r[i] = _mm_setzero_si128();
            else if constexpr (Luma)
                r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            else
                r[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
        }
        transpose8x8w(r);
        for (int j = 0; j < kAcross; ++j) *used[j] = widen(r[j]);
        Luma ? filter<V32, true>(l, prm) : filter<V32, false>(l, prm);
        for (int j = 0; j < kAcross; ++j) r[j] = narrow(*used[j]);
        transpose8x8w(r);
        for (int i = 0; i < n; ++i) {
            Opx16u* row = q0 + i * step - kHalf;
            if constexpr (Luma)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row), r[i]);
            else
                _mm_storel_epi64(reinterpret_cast<__m128i*>(row), r[i]);
        }
    } else {
        for (int j = 0; j < kAcross; ++j)
            *used[j] =
                widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q0 + (j - kHalf) * step)));
        Luma ? filter<V32, true>(l, prm) : filter<V32, false>(l, prm);
        for (int j = 1; j < kAcross - 1; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q0 + (j - kHalf) * step), narrow(*used[j]));
    }
}

// 16-bit lanes for 16-bit samples: 16 lines of a luma edge in one pass, exact while every
// sample read is at most 4095 (the largest filter sum, 8 · 4095 + 4, then stays below 2^15).
// Sample values above max_value may stand in unfiltered lanes: they keep their value.
struct V16Clip : V16 {
    static __m256i clip(__m256i a, __m256i old, __m256i mask, __m256i max_value) noexcept {
        const __m256i c = _mm256_min_epi16(_mm256_max_epi16(a, _mm256_setzero_si256()), max_value);
        return _mm256_blendv_epi8(old, c, mask);
    }
};

// One luma edge of 16 lines (q0 the first line's q0 sample) with bS bytes w; false, with nothing
// written, when a sample is above 4095. Thresholds are capped where larger ones act alike on
// such samples: alpha and beta at 2^15 − 1 (the differences and alpha / 4 + 2 stay below), tC0
// at 8191 (above any |delta| or p1 step).
template <bool Vertical>
bool luma_edge16_narrow(Opx16u* q0, std::ptrdiff_t step, int alpha, int beta, const Opx16u* tc0,
                        std::uint32_t w, int max) noexcept {
    Lines<V16Clip> l;
    __m256i* const line[8] = {&l.p3, &l.p2, &l.p1, &l.p0, &l.q0, &l.q1, &l.q2, &l.q3};
    __m128i lo[8], hi[8];
    if constexpr (Vertical) {
        for (int i = 0; i < 8; ++i) {
            lo[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q0 + i * step - 4));
            hi[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q0 + (i + 8) * step - 4));
        }
        transpose8x8w(lo);
        transpose8x8w(hi);
        for (int j = 0; j < 8; ++j) *line[j] = _mm256_set_m128i(hi[j], lo[j]);
    } else {
        for (int j = 0; j < 8; ++j)
            *line[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q0 + (j - 4) * step));
    }
    __m256i top = *line[0];
    for (int j = 1; j < 8; ++j) top = _mm256_max_epu16(top, *line[j]);
    const __m256i limit = _mm256_set1_epi16(4095);
    if (~_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(top, limit), limit))) return false;
    // line i takes entry i / 4 of the edge's four bS bytes and tC0 values
    const __m256i pick = _mm256_setr_epi8(0, -128, 0, -128, 0, -128, 0, -128, 1, -128, 1, -128, 1,
                                          -128, 1, -128, 2, -128, 2, -128, 2, -128, 2, -128, 3,
                                          -128, 3, -128, 3, -128, 3, -128);
    const __m256i pick16 = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 2, 3, 4, 5, 4,
                                            5, 4, 5, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7);
    std::uint64_t tc;
    std::memcpy(&tc, tc0, 8);
    Params<V16Clip> prm;
    prm.alpha = V16::set1(std::min(alpha, 32767));
    prm.beta = V16::set1(std::min(beta, 32767));
    prm.bs = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(w)), pick);
    prm.tc0 = _mm256_min_epu16(
        _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(tc)), pick16),
        _mm256_set1_epi16(8191));
    prm.max_value = V16::set1(max);
    prm.strong = any_strong(w);
    filter<V16Clip, true>(l, prm);
    if constexpr (Vertical) {
        for (int j = 0; j < 8; ++j) {
            lo[j] = _mm256_castsi256_si128(*line[j]);
            hi[j] = _mm256_extracti128_si256(*line[j], 1);
        }
        transpose8x8w(lo);
        transpose8x8w(hi);
        for (int i = 0; i < 8; ++i) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q0 + i * step - 4), lo[i]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q0 + (i + 8) * step - 4), hi[i]);
        }
    } else {
        for (int j = 1; j < 7; ++j)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(q0 + (j - 4) * step), *line[j]);
    }
    return true;
}

template <const Kind16& K>
void edges16(Opx16u* p, std::ptrdiff_t step, const Opx16u* alpha, const Opx16u* beta,
             const Opx16u* tc0, const Opx8u* bs, int bit_depth) noexcept {
    if (K.mbaff && alpha[0] == 0) return;
    for (int c = 0; c < K.edges; ++c) {
        const std::uint32_t w = K.rule(word4(bs + K.bs_stride * c));
        if (w == 0) continue;
        if constexpr (K.luma && !K.mbaff) {
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(c) * K.distance * (K.vertical ? 1 : step);
            if (luma_edge16_narrow<K.vertical>(p + at, step, alpha[c ? 1 : 0], beta[c ? 1 : 0],
                                               tc0 + 4 * c, w, (1 << bit_depth) - 1))
                continue;
        }
        // line i of the 8 takes entry (start + i) / lines_per_bs (0..3) of the edge's four
        // strengths and tc0 values: permuted in registers (lanes stored one by one and read as a
        // vector would wait for the store buffer), lines past n set to zero
        static_assert(K.lines_per_bs == 1 || K.lines_per_bs == 2 || K.lines_per_bs == 4);
        constexpr int kLog2PerBs = K.lines_per_bs == 4 ? 2 : K.lines_per_bs == 2 ? 1 : 0;
        const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i bs4 = _mm256_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(w)));
        const __m256i tc4 =
            _mm256_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(tc0 + 4 * c)));
        for (int start = 0; start < K.lines; start += 8) {
            const int n = std::min(8, K.lines - start);
            const __m256i entry =
                _mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32(start), iota), kLog2PerBs);
            const __m256i used = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), iota);
            Params<V32> prm;
            prm.alpha = V32::set1(alpha[c ? 1 : 0]);
            prm.beta = V32::set1(beta[c ? 1 : 0]);
            prm.bs = _mm256_and_si256(_mm256_permutevar8x32_epi32(bs4, entry), used);
            prm.tc0 = _mm256_and_si256(_mm256_permutevar8x32_epi32(tc4, entry), used);
            prm.max_value = V32::set1((1 << bit_depth) - 1);
            prm.strong = any_strong(w);
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(c) * K.distance;
            if constexpr (K.vertical)
                filter_lines16<true, K.luma>(p + offset + start * step, step, n, prm);
            else
                filter_lines16<false, K.luma>(p + offset * step + start, step, n, prm);
        }
    }
}

}  // namespace

extern const DeblockKernels kDeblock = {
    {
        luma_ver8,
        luma_hor8,
        chroma_ver8,
        chroma_hor8,
        chroma_ver_c2,
        chroma_hor_c2,
        chroma422_ver8,
        chroma422_hor8,
    },
    luma_mbaff8,
    chroma_mbaff8,
    {
        edges16<kLumaVer16>,
        edges16<kLumaHor16>,
        edges16<kLumaMbaff16>,
        edges16<kChromaVer16>,
        edges16<kChromaHor16>,
        edges16<kChromaMbaff16>,
        edges16<kChroma422Ver16>,
        edges16<kChroma422Hor16>,
    },
};

}  // namespace opx::h264::avx2
