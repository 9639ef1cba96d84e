// AVX2 block statistics: subtraction, per-4x4 sums, deviation, variances, squared differences
// against half-sample predictions and the edge detector. The GetDiff family, the 16-bit forms
// and the bidirectional squared differences share the portable kernels.
//
// Every load reads only bytes of the documented region: whole rows of 16, 8 or 4 samples, and
// the half-sample candidates through Candidate8u (rows_avx2.hpp).
#include <cstring>

#include "metrics/rows_avx2.hpp"
#include "metrics/stats.hpp"

namespace opx::metrics::avx2 {
namespace {

// Keeps the compiler from regrouping a chain of accumulations into a tree of partial sums that
// needs more registers than there are (it then spills them to the stack). The same barrier on a
// row pointer keeps the loads in base + index addressing instead of one pointer step per row.
#define OPX_KEEP(...) __asm__("" : "+x"(__VA_ARGS__))

OPX_INLINE Opx16s* row16(Opx16s* p, int y, std::int32_t step) noexcept {
    return reinterpret_cast<Opx16s*>(reinterpret_cast<unsigned char*>(p) + row_offset(y, step));
}
OPX_INLINE void store16(void* p, __m128i v) noexcept {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// ---- subtraction ---------------------------------------------------------------------------

template <int N>
void sub8u(const Opx8u* a, std::int32_t a_step, const Opx8u* b, std::int32_t b_step, Opx16s* dst,
           std::int32_t dst_step) noexcept {
    for (int y = 0; y < N; ++y) {
        const Opx8u* ra = row8(a, y, a_step);
        const Opx8u* rb = row8(b, y, b_step);
        Opx16s* d = row16(dst, y, dst_step);
        if constexpr (N == 16) {
            const __m256i v = _mm256_sub_epi16(_mm256_cvtepu8_epi16(load16(ra)),
                                               _mm256_cvtepu8_epi16(load16(rb)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), v);
        } else if constexpr (N == 8) {
            store16(d, _mm_sub_epi16(_mm_cvtepu8_epi16(load8(ra)), _mm_cvtepu8_epi16(load8(rb))));
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d),
                             _mm_sub_epi16(_mm_cvtepu8_epi16(load4(ra)),
                                           _mm_cvtepu8_epi16(load4(rb))));
        }
    }
}

void sub_sad8x8(const Opx8u* a, std::int32_t a_step, const Opx8u* b, std::int32_t b_step,
                Opx16s* dst, std::int32_t dst_step, Opx32s* sad) noexcept {
    __m128i acc = _mm_setzero_si128();
    for (int y = 0; y < 8; ++y) {
        const __m128i ra = load8(row8(a, y, a_step)), rb = load8(row8(b, y, b_step));
        store16(row16(dst, y, dst_step), _mm_sub_epi16(_mm_cvtepu8_epi16(ra), _mm_cvtepu8_epi16(rb)));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(ra, rb));
    }
    *sad = _mm_cvtsi128_si32(acc);
}

// ---- per-4x4 sums --------------------------------------------------------------------------

// Sums of four-sample groups: src - pred as pair sums (maddubs with ones, +-510 per lane, four
// rows +-2040), then pmaddwd with ones adds the pairs into 32-bit group sums.
// 8x8 without differences: rows (y, y + 4) side by side in each 128-bit half, rows y and
// y + 1 in the two halves, so two 256-bit registers hold the block; the pair sums of both add up
// (+-2040 per lane) before the halves fold and phaddw forms the four group sums.
OPX_INLINE void sums8x8(const Opx8u* src, std::int32_t src_step, const Opx8u* pred,
                        std::int32_t pred_step, Opx16s* sums) noexcept {
    const __m256i ones8 = _mm256_set1_epi8(1);
    // Rows 0..3 from p, rows 4..7 from p + 4 step, each with index 0, step, 2 step, 3 step.
    const auto block = [ones8](const Opx8u* p, std::int32_t step) noexcept {
        const std::ptrdiff_t s1 = step, s3 = 3 * s1;
        const Opx8u* p4 = p + 4 * s1;
        const __m256i r01 = _mm256_set_m128i(load8x2(p + s1, p4 + s1), load8x2(p, p4));
        const __m256i r23 =
            _mm256_set_m128i(load8x2(p + s3, p4 + s3), load8x2(p + 2 * s1, p4 + 2 * s1));
        return _mm256_add_epi16(_mm256_maddubs_epi16(r01, ones8), _mm256_maddubs_epi16(r23, ones8));
    };
    const __m256i d = _mm256_sub_epi16(block(src, src_step), block(pred, pred_step));
    const __m128i d2 = _mm_add_epi16(_mm256_castsi256_si128(d), _mm256_extracti128_si256(d, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(sums), _mm_hadd_epi16(d2, d2));
}

template <int N>
__attribute__((noinline)) OpxResult sums_diff_all(const Opx8u* src, std::int32_t src_step,
                                                  const Opx8u* pred, std::int32_t pred_step,
                                                  Opx16s* sums, Opx16s* diff) noexcept {
    const __m128i ones8 = _mm_set1_epi8(1), ones16 = _mm_set1_epi16(1);
    // 16 wide: one block row of four sub-blocks per pass. 8 wide: rows y and y + 4 side by side,
    // so one pass covers the four sub-blocks (two block rows) at once. Either way the four group
    // sums of a pass are sub-blocks k0 .. k0 + 3.
    constexpr int kPasses = N == 16 ? 4 : 1;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int k0 = 4 * pass;
        __m128i acc = _mm_setzero_si128();
        for (int y = 0; y < 4; ++y) {
            __m128i s, p;
            if constexpr (N == 16) {
                s = load16(row8(src, 4 * pass + y, src_step));
                p = load16(row8(pred, 4 * pass + y, pred_step));
            } else {
                s = load8x2(row8(src, y, src_step), row8(src, y + 4, src_step));
                p = load8x2(row8(pred, y, pred_step), row8(pred, y + 4, pred_step));
            }
            acc = _mm_add_epi16(acc, _mm_sub_epi16(_mm_maddubs_epi16(s, ones8),
                                                   _mm_maddubs_epi16(p, ones8)));
            if (diff) {
                const __m128i z = _mm_setzero_si128();
                const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(s, z), _mm_unpacklo_epi8(p, z));
                const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(s, z), _mm_unpackhi_epi8(p, z));
                // Four values of row y in each of the sub-blocks k0 .. k0 + 3.
                Opx16s* d = diff + 16 * k0 + 4 * y;
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d), lo);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm_unpackhi_epi64(lo, lo));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 32), hi);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 48), _mm_unpackhi_epi64(hi, hi));
            }
        }
        const __m128i s32 = _mm_madd_epi16(acc, ones16);  // |sum| <= 16 x 255
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sums + k0), _mm_packs_epi32(s32, s32));
    }
    return opxOk;
}

template <int N>
OpxResult sums_diff8u(const Opx8u* src, std::int32_t src_step, const Opx8u* pred,
                      std::int32_t pred_step, Opx16s* sums, Opx16s* diff) noexcept {
    if constexpr (N == 8) {
        if (!diff) {
            sums8x8(src, src_step, pred, pred_step, sums);
            return opxOk;
        }
    }
    return sums_diff_all<N>(src, src_step, pred, pred_step, sums, diff);
}

// ---- deviation and variance ----------------------------------------------------------------

// Row groups of a square N-wide block: 16 bytes each (one row of 16, two rows of 8).
template <int N>
OPX_INLINE __m128i group(const Opx8u* src, std::int32_t step, int g) noexcept {
    if constexpr (N == 16)
        return load16(row8(src, g, step));
    else
        return load8x2(row8(src, 2 * g, step), row8(src, 2 * g + 1, step));
}

template <int N>
std::int32_t mean_abs_dev(const Opx8u* src, std::int32_t step) noexcept {
    constexpr int kGroups = N * N / 16;
    __m128i g[kGroups];
    __m128i acc = _mm_setzero_si128();
    for (int i = 0; i < kGroups; ++i) {
        g[i] = group<N>(src, step, i);
        acc = _mm_add_epi64(acc, _mm_sad_epu8(g[i], _mm_setzero_si128()));
    }
    const std::int32_t s = hsum_sad(acc);
    const std::int32_t m = (s + N * N / 2) / (N * N);  // 0..255
    // psadbw against the mean gives the sum of |x - m| directly.
    const __m128i mv = _mm_set1_epi8(static_cast<char>(m));
    acc = _mm_setzero_si128();
    for (int i = 0; i < kGroups; ++i) acc = _mm_add_epi64(acc, _mm_sad_epu8(g[i], mv));
    return hsum_sad(acc);
}

// S and Q of a block from zero-extended 16-bit samples: the words add up in 16 bits
// (at most 16 x 255 per lane), pmaddwd of the words with themselves gives the squares in 32 bits
// (at most 256 x 65025 in all). One reduction at the end yields both: S in lane 0, Q in lane 2.
OPX_INLINE __m128i reduce_sq(__m256i s16, __m256i q32) noexcept {
    const __m256i s32 = _mm256_madd_epi16(s16, _mm256_set1_epi16(1));
    const __m256i h = _mm256_hadd_epi32(s32, q32);  // s01 s23 q01 q23 | s45 s67 q45 q67
    const __m128i f = _mm_add_epi32(_mm256_castsi256_si128(h), _mm256_extracti128_si256(h, 1));
    return _mm_add_epi32(f, _mm_srli_epi64(f, 32));
}

OPX_INLINE __m128i sums16x16(const Opx8u* src, std::int32_t step) noexcept {
    // Four rows per pass, addressed from one pointer (fewer instructions than a pointer step per
    // row).
    const std::ptrdiff_t s1 = step, s2 = 2 * s1, s3 = 3 * s1;
    __m256i sa = _mm256_setzero_si256(), sb = sa, qa = sa, qb = sa;
    for (int y = 0; y < 16; y += 4, src += 4 * s1) {
        const __m256i a = _mm256_cvtepu8_epi16(load16(src));
        const __m256i b = _mm256_cvtepu8_epi16(load16(src + s1));
        const __m256i c = _mm256_cvtepu8_epi16(load16(src + s2));
        const __m256i d = _mm256_cvtepu8_epi16(load16(src + s3));
        sa = _mm256_add_epi16(_mm256_add_epi16(sa, a), c);
        sb = _mm256_add_epi16(_mm256_add_epi16(sb, b), d);
        qa = _mm256_add_epi32(_mm256_add_epi32(qa, _mm256_madd_epi16(a, a)),
                              _mm256_madd_epi16(c, c));
        qb = _mm256_add_epi32(_mm256_add_epi32(qb, _mm256_madd_epi16(b, b)),
                              _mm256_madd_epi16(d, d));
        OPX_KEEP(sa);
        OPX_KEEP(sb);
        OPX_KEEP(qa);
        OPX_KEEP(qb);
        __asm__("" : "+r"(src));
    }
    return reduce_sq(_mm256_add_epi16(sa, sb), _mm256_add_epi32(qa, qb));
}

// Q - (S^2 >> 8) in lane 0: S^2 < 2^32 as an unsigned 64-bit product, the difference (at most
// Q) in 32 bits.
OPX_INLINE __m128i variance16v(const Opx8u* src, std::int32_t step) noexcept {
    const __m128i r = sums16x16(src, step);
    const __m128i m = _mm_srli_epi64(_mm_mul_epu32(r, r), 8);
    return _mm_sub_epi32(_mm_unpackhi_epi64(r, r), m);
}
std::int32_t variance16(const Opx8u* src, std::int32_t step) noexcept {
    return _mm_cvtsi128_si32(variance16v(src, step));
}
// The entry point's form: stored straight from the vector register.
OpxResult variance16_out(const Opx8u* src, std::int32_t step, Opx32s* out) noexcept {
    _mm_storeu_si32(out, variance16v(src, step));
    return opxOk;
}

// 8x8 for the shortest dependency chain: one zero-extending load per row, the rows summed in a
// tree, S (16-bit lanes, at most 8 x 255) and Q paired by pmaddwd and folded by one phaddd:
// lane 0 S, lane 2 Q.
OPX_INLINE __m128i sums8x8(const Opx8u* src, std::int32_t step) noexcept {
    __m128i w[8], q[8];
    for (int y = 0; y < 8; ++y) {
        w[y] = _mm_cvtepu8_epi16(load8(row8(src, y, step)));
        q[y] = _mm_madd_epi16(w[y], w[y]);
    }
    for (int n = 4; n > 0; n /= 2)
        for (int i = 0; i < n; ++i) {
            w[i] = _mm_add_epi16(w[i], w[i + n]);
            q[i] = _mm_add_epi32(q[i], q[i + n]);
        }
    const __m128i h = _mm_hadd_epi32(_mm_madd_epi16(w[0], _mm_set1_epi16(1)), q[0]);
    return _mm_add_epi32(h, _mm_srli_epi64(h, 32));
}

OpxResult var_sum8u(const Opx8u* src, std::int32_t step, Opx32s* var, Opx32s* sum) noexcept {
    const __m128i r = sums8x8(src, step);
    // Lane 0: b = S / 64, lane 2: a = Q / 64, without a round trip through integer registers.
    const __m128 f = _mm_mul_ps(_mm_cvtepi32_ps(r), _mm_set1_ps(0.015625f));
    const __m128 c = _mm_mul_ss(f, f);
    const __m128 v = _mm_sub_ss(_mm_movehl_ps(f, f), c);
    // Stored straight from the vector registers (no transfer to integer registers).
    _mm_storeu_si32(var, _mm_cvttps_epi32(v));
    _mm_storeu_si32(sum, r);
    return opxOk;
}

// ---- squared differences against a half-sample prediction --------------------------------

// Squares of p - s over the low and the high eight bytes (maddubs of interleaved (p, s) with
// (1, -1) gives the differences, +-255; pmaddwd squares and adds pairs).
OPX_INLINE __m128i squares_lo(__m128i p, __m128i s) noexcept {
    const __m128i d = _mm_maddubs_epi16(_mm_unpacklo_epi8(p, s), _mm_set1_epi16(0xFF01));
    return _mm_madd_epi16(d, d);
}
OPX_INLINE __m128i squares_hi(__m128i p, __m128i s) noexcept {
    const __m128i d = _mm_maddubs_epi16(_mm_unpackhi_epi8(p, s), _mm_set1_epi16(0xFF01));
    return _mm_madd_epi16(d, d);
}

template <int Pos>
OPX_INLINE std::int32_t sqr_diff(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                 std::int32_t ref_step) noexcept {
    Candidate8u<16, Pos> cand(ref, ref_step);
    __m128i acc = _mm_setzero_si128();
    for (int y = 0; y < 16; ++y) {
        const __m128i p = cand.next(), s = load16(row8(src, y, src_step));
        acc = _mm_add_epi32(acc, _mm_add_epi32(squares_lo(p, s), squares_hi(p, s)));
    }
    return hsum_epi32(acc);
}

// Integer position: a row of zero-extended words per step, differences squared and paired by
// pmaddwd; two accumulators (8 lanes each at most 8 x 130050).
OPX_INLINE std::int32_t sqr_diff_integer(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                         std::int32_t ref_step) noexcept {
    const std::ptrdiff_t s1 = src_step, s2 = 2 * s1, r1 = ref_step, r2 = 2 * r1;
    const auto sq = [](const Opx8u* a, const Opx8u* b) noexcept {
        const __m256i d =
            _mm256_sub_epi16(_mm256_cvtepu8_epi16(load16(a)), _mm256_cvtepu8_epi16(load16(b)));
        return _mm256_madd_epi16(d, d);
    };
    __m256i qa = _mm256_setzero_si256(), qb = qa;
    for (int y = 0; y < 16; y += 4, src += 2 * s2, ref += 2 * r2) {
        qa = _mm256_add_epi32(_mm256_add_epi32(qa, sq(src, ref)), sq(src + s2, ref + r2));
        qb = _mm256_add_epi32(_mm256_add_epi32(qb, sq(src + s1, ref + r1)),
                              sq(src + s1 + s2, ref + r1 + r2));
        OPX_KEEP(qa);
        OPX_KEEP(qb);
        __asm__("" : "+r"(src), "+r"(ref));
    }
    const __m256i q = _mm256_add_epi32(qa, qb);
    return hsum_epi32(_mm_add_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1)));
}

// One 16-wide row holds a row of two 8x8 sub-blocks: psadbw gives the two sums of P, the low
// and high byte halves the two sums of squares.
template <int H, int Pos>
void var_mean_diff(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                   std::int32_t ref_step, const Opx32s* src_sum, Opx32s* var,
                   Opx32s* mean) noexcept {
    Candidate8u<16, Pos> cand(ref, ref_step);
    for (int by = 0; by < H / 8; ++by) {
        __m128i sp = _mm_setzero_si128(), ql = _mm_setzero_si128(), qh = _mm_setzero_si128();
        for (int y = 0; y < 8; ++y) {
            const __m128i p = cand.next(), s = load16(row8(src, 8 * by + y, src_step));
            sp = _mm_add_epi64(sp, _mm_sad_epu8(p, _mm_setzero_si128()));
            ql = _mm_add_epi32(ql, squares_lo(p, s));
            qh = _mm_add_epi32(qh, squares_hi(p, s));
        }
        const std::int64_t sum_p[2] = {_mm_cvtsi128_si32(sp),
                                       _mm_cvtsi128_si32(_mm_unpackhi_epi64(sp, sp))};
        const std::int64_t sum_q[2] = {hsum_epi32(ql), hsum_epi32(qh)};
        for (int h = 0; h < 2; ++h) {
            const int k = 2 * by + h;
            const std::int64_t m = (std::int64_t{src_sum[k]} - sum_p[h]) / 8;
            std::int64_t v = (sum_q[h] - m * m) >> 6;
            v = v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v;
            mean[k] = static_cast<Opx32s>(m);
            var[k] = static_cast<Opx32s>(v);
        }
    }
}

// ---- edges ---------------------------------------------------------------------------------

// Per row: |a - right| and |a - below| as saturating byte differences limited to 127, compared
// signed with the threshold byte; lane 15 (no examined sample) masked off. Rows after the count
// exceeds the limit are not looked at (the answer is already known).
bool edges8u(const Opx8u* src, std::int32_t step, std::uint32_t difference,
             std::uint32_t count) noexcept {
    const __m128i t = _mm_set1_epi8(static_cast<char>(difference & 0xFF));
    const __m128i lim = _mm_set1_epi8(127);
    std::uint32_t n = 0;
    __m128i cur = load16(src);
    for (int y = 0; y < 15; ++y) {
        const __m128i below = load16(row8(src, y + 1, step));
        // The right neighbours of columns 0..14 are bytes 1..15 of the row itself.
        const __m128i right = _mm_srli_si128(cur, 1);
        const __m128i dh = _mm_min_epu8(_mm_or_si128(_mm_subs_epu8(cur, right),
                                                     _mm_subs_epu8(right, cur)), lim);
        const __m128i dv = _mm_min_epu8(_mm_or_si128(_mm_subs_epu8(cur, below),
                                                     _mm_subs_epu8(below, cur)), lim);
        const __m128i e = _mm_or_si128(_mm_cmpgt_epi8(dh, t), _mm_cmpgt_epi8(dv, t));
        n += static_cast<std::uint32_t>(_mm_popcnt_u32(_mm_movemask_epi8(e) & 0x7FFF));
        if (n > count) return true;
        cur = below;
    }
    return false;
}

// ---- the table ---------------------------------------------------------------------------

template <std::size_t S, int F>
constexpr void fill_b(StatsKernels& k) {
    constexpr int W = kDiffSizes[S].width, H = kDiffSizes[S].height;
    k.diff_b[S][F][0] = &ref::diff_b<W, H, F, 0>;
    k.diff_b[S][F][1] = &ref::diff_b<W, H, F, 1>;
    k.diff_b[S][F][2] = &ref::diff_b<W, H, F, 2>;
    k.diff_b[S][F][3] = &ref::diff_b<W, H, F, 3>;
}
template <std::size_t S>
constexpr void fill_size(StatsKernels& k) {
    constexpr int W = kDiffSizes[S].width, H = kDiffSizes[S].height;
    k.diff[S][0] = &ref::diff<W, H, 0>;
    k.diff[S][1] = &ref::diff<W, H, 1>;
    k.diff[S][2] = &ref::diff<W, H, 2>;
    k.diff[S][3] = &ref::diff<W, H, 3>;
    fill_b<S, 0>(k);
    fill_b<S, 1>(k);
    fill_b<S, 2>(k);
    fill_b<S, 3>(k);
}
template <int C, int H, int F>
constexpr void fill_c2_b(StatsKernels& k) {
    k.diff_c2_b[C][F][0] = &ref::diff_c2_b<H, F, 0>;
    k.diff_c2_b[C][F][1] = &ref::diff_c2_b<H, F, 1>;
    k.diff_c2_b[C][F][2] = &ref::diff_c2_b<H, F, 2>;
    k.diff_c2_b[C][F][3] = &ref::diff_c2_b<H, F, 3>;
}
template <int C, int H>
constexpr void fill_c2(StatsKernels& k) {
    k.diff_c2[C][0] = &ref::diff_c2<H, 0>;
    k.diff_c2[C][1] = &ref::diff_c2<H, 1>;
    k.diff_c2[C][2] = &ref::diff_c2<H, 2>;
    k.diff_c2[C][3] = &ref::diff_c2<H, 3>;
    fill_c2_b<C, H, 0>(k);
    fill_c2_b<C, H, 1>(k);
    fill_c2_b<C, H, 2>(k);
    fill_c2_b<C, H, 3>(k);
}
template <int F>
constexpr void fill_sqr_b(StatsKernels& k) {
    k.sqr_diff_b[F][0] = &ref::sqr_diff_b<F, 0>;
    k.sqr_diff_b[F][1] = &ref::sqr_diff_b<F, 1>;
    k.sqr_diff_b[F][2] = &ref::sqr_diff_b<F, 2>;
    k.sqr_diff_b[F][3] = &ref::sqr_diff_b<F, 3>;
}
template <int V, int H>
constexpr void fill_vmd(StatsKernels& k) {
    k.var_mean_diff[V][0] = &var_mean_diff<H, 0>;
    k.var_mean_diff[V][1] = &var_mean_diff<H, 1>;
    k.var_mean_diff[V][2] = &var_mean_diff<H, 2>;
    k.var_mean_diff[V][3] = &var_mean_diff<H, 3>;
}

template <std::size_t... S>
constexpr StatsKernels make(std::index_sequence<S...>) {
    StatsKernels k{};
    (fill_size<S>(k), ...);
    fill_c2<kC2x8, 8>(k);
    fill_c2<kC2x4, 4>(k);
    k.sub8u[kSub16x16] = &sub8u<16>;
    k.sub8u[kSub8x8] = &sub8u<8>;
    k.sub8u[kSub4x4] = &sub8u<4>;
    k.sub16u[kSub16u8x8] = &ref::sub16u<8>;
    k.sub16u[kSub16u4x4] = &ref::sub16u<4>;
    k.sub_sad8x8 = &sub_sad8x8;
    k.sums_diff8u[kSquare16] = &sums_diff8u<16>;
    k.sums_diff8u[kSquare8] = &sums_diff8u<8>;
    k.sums_diff16u[kSquare16] = &ref::sums_diff16u<16>;
    k.sums_diff16u[kSquare8] = &ref::sums_diff16u<8>;
    k.sums_diff_c2 = &ref::sums_diff_c2;
    k.mean_abs_dev[kSquare16] = &mean_abs_dev<16>;
    k.mean_abs_dev[kSquare8] = &mean_abs_dev<8>;
    k.variance16 = &variance16;
    k.variance16_out = &variance16_out;
    k.var_sum8u = &var_sum8u;
    k.var_sum16s = &ref::var_sum16s;
    fill_vmd<kVmd16x16, 16>(k);
    fill_vmd<kVmd16x8, 8>(k);
    k.sqr_diff[0] = &sqr_diff_integer;
    k.sqr_diff[1] = &sqr_diff<1>;
    k.sqr_diff[2] = &sqr_diff<2>;
    k.sqr_diff[3] = &sqr_diff<3>;
    k.sqr_diff_out[0] = &stored<&sqr_diff_integer, Opx8u>;
    k.sqr_diff_out[1] = &stored<&sqr_diff<1>, Opx8u>;
    k.sqr_diff_out[2] = &stored<&sqr_diff<2>, Opx8u>;
    k.sqr_diff_out[3] = &stored<&sqr_diff<3>, Opx8u>;
    fill_sqr_b<0>(k);
    fill_sqr_b<1>(k);
    fill_sqr_b<2>(k);
    fill_sqr_b<3>(k);
    k.edges8u = &edges8u;
    k.edges16u = &ref::edges16u;
    return k;
}

}  // namespace

extern const StatsKernels kStats = make(std::make_index_sequence<kNumDiffSizes>());

}  // namespace opx::metrics::avx2
