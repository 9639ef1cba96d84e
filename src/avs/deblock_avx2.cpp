// AVX2 AVS loop filter. An edge is filtered at once: its lines (16 luma, 8 chroma) are the
// 16-bit lanes of one AVX2 register per sample position p2..q2; the conditions become per-lane
// masks and lines that fail keep their samples by blending. Horizontal edges load rows directly;
// vertical edges transpose the 8 columns −4..3 of the edge's rows into registers and back
// (columns −4 and 3 are written back unchanged). An edge whose two bS values are zero is passed
// over without loading samples. All arithmetic fits 16 bits: |3·(q0 − p0) + (p1 − q1) + 4| ≤ 1024.
#include <immintrin.h>

#include "avs/avs.hpp"
#include "frame/dispatch.hpp"

namespace opx::avs::avx2 {
namespace {

struct Line6 {
    __m256i p2, p1, p0, q0, q1, q2;
};

OPX_INLINE __m256i absdiff(__m256i a, __m256i b) {
    return _mm256_abs_epi16(_mm256_sub_epi16(a, b));
}
OPX_INLINE __m256i less(__m256i a, int bound) {  // a < bound, per lane
    return _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(bound)), a);
}
OPX_INLINE __m256i clamp(__m256i v, __m256i lo, __m256i hi) {
    return _mm256_min_epi16(_mm256_max_epi16(v, lo), hi);
}
OPX_INLINE __m256i blend(__m256i mask, __m256i yes, __m256i no) {
    return _mm256_blendv_epi8(no, yes, mask);
}
// (a + b + 1) >> 1 of values in 0..255 (no overflow in 16 bits).
OPX_INLINE __m256i avg_up(__m256i a, __m256i b) {
    return _mm256_avg_epu16(a, b);
}

template <bool Luma>
void filter(Line6& s, __m256i lines, int alpha, int beta, int c, bool strong) {
    const __m256i ad = absdiff(s.p0, s.q0);
    const __m256i m = _mm256_and_si256(
        _mm256_and_si256(lines, less(ad, alpha)),
        _mm256_and_si256(less(absdiff(s.p1, s.p0), beta), less(absdiff(s.q1, s.q0), beta)));
    const __m256i ap = less(absdiff(s.p2, s.p0), beta), aq = less(absdiff(s.q2, s.q0), beta);
    __m256i np1 = s.p1, np0, nq0, nq1 = s.q1;
    if (strong) {
        const __m256i sm = less(ad, (alpha >> 2) + 2);
        const __m256i half_pq = _mm256_srli_epi16(_mm256_add_epi16(s.p0, s.q0), 1);
        // ((p0 + q0) >> 1 + p1 + 1) >> 1: p0' of the weak variant, p1' of the strong one.
        const __m256i weak_p = avg_up(half_pq, s.p1), weak_q = avg_up(half_pq, s.q1);
        const __m256i cp = _mm256_and_si256(ap, sm), cq = _mm256_and_si256(aq, sm);
        np0 = blend(cp, avg_up(_mm256_srli_epi16(_mm256_add_epi16(s.p1, s.q0), 1), s.p0), weak_p);
        nq0 = blend(cq, avg_up(_mm256_srli_epi16(_mm256_add_epi16(s.q1, s.p0), 1), s.q0), weak_q);
        if (Luma) {
            np1 = blend(cp, weak_p, s.p1);
            nq1 = blend(cq, weak_q, s.q1);
        }
    } else {
        const __m256i cc = _mm256_set1_epi16(static_cast<short>(c)),
                      nc = _mm256_sub_epi16(_mm256_setzero_si256(), cc);
        const __m256i zero = _mm256_setzero_si256(), max = _mm256_set1_epi16(255),
                      four = _mm256_set1_epi16(4);
        auto three = [](__m256i v) { return _mm256_add_epi16(_mm256_add_epi16(v, v), v); };
        const __m256i d = clamp(
            _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(three(_mm256_sub_epi16(s.q0, s.p0)),
                                                                _mm256_sub_epi16(s.p1, s.q1)),
                                               four),
                              3),
            nc, cc);
        np0 = clamp(_mm256_add_epi16(s.p0, d), zero, max);
        nq0 = clamp(_mm256_sub_epi16(s.q0, d), zero, max);
        if (Luma) {
            const __m256i d1 =
                clamp(_mm256_srai_epi16(
                          _mm256_add_epi16(_mm256_add_epi16(three(_mm256_sub_epi16(np0, s.p1)),
                                                            _mm256_sub_epi16(s.p2, nq0)),
                                           four),
                          3),
                      nc, cc);
            const __m256i d2 =
                clamp(_mm256_srai_epi16(
                          _mm256_add_epi16(_mm256_add_epi16(three(_mm256_sub_epi16(s.q1, nq0)),
                                                            _mm256_sub_epi16(np0, s.q2)),
                                           four),
                          3),
                      nc, cc);
            np1 = blend(ap, clamp(_mm256_add_epi16(s.p1, d1), zero, max), s.p1);
            nq1 = blend(aq, clamp(_mm256_sub_epi16(s.q1, d2), zero, max), s.q1);
        }
    }
    s.p1 = blend(m, np1, s.p1);
    s.p0 = blend(m, np0, s.p0);
    s.q0 = blend(m, nq0, s.q0);
    s.q1 = blend(m, nq1, s.q1);
}

// −1 in lanes 0..n/2 − 1 when b0 is nonzero, in lanes n/2..n − 1 when b1 is; 0 elsewhere.
OPX_INLINE __m256i line_mask(int n, int b0, int b1) {
    const __m256i lane = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m256i first = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(n / 2)), lane);
    const __m256i all = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(n)), lane);
    const __m256i on0 = _mm256_set1_epi16(b0 ? -1 : 0), on1 = _mm256_set1_epi16(b1 ? -1 : 0);
    return _mm256_and_si256(all, blend(first, on0, on1));
}

OPX_INLINE __m256i widen(__m128i b) {
    return _mm256_cvtepu8_epi16(b);
}
OPX_INLINE __m128i narrow(__m256i v) {
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Horizontal edge of N (16 or 8) columns at row 0 of `q`.
template <bool Luma, int N>
void hor_edge(Opx8u* q, std::ptrdiff_t step, int b0, int b1, int alpha, int beta, int c) {
    if ((b0 | b1) == 0) return;
    auto load = [&](int r) {
        const Opx8u* p = q + r * step;
        return widen(N == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                             : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    };
    auto store = [&](int r, __m256i v) {
        Opx8u* p = q + r * step;
        if (N == 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), narrow(v));
        else
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p), narrow(v));
    };
    Line6 s{load(-3), load(-2), load(-1), load(0), load(1), load(2)};
    filter<Luma>(s, line_mask(N, b0, b1), alpha, beta, c, b0 == 2 && b1 == 2);
    store(-2, s.p1);
    store(-1, s.p0);
    store(0, s.q0);
    store(1, s.q1);
}

// Vertical edge of N (16 or 8) rows at column 0 of `q`: columns −4..3 transposed.
template <bool Luma, int N>
void ver_edge(Opx8u* q, std::ptrdiff_t step, int b0, int b1, int alpha, int beta, int c) {
    if ((b0 | b1) == 0) return;
    __m128i r[16];
    for (int i = 0; i < 16; ++i)
        r[i] = i < N ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + i * step - 4))
                     : _mm_setzero_si128();
    __m128i t[8], u[8], v[8], col[8];
    for (int i = 0; i < 8; ++i) t[i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
    for (int i = 0; i < 4; ++i) {
        u[2 * i] = _mm_unpacklo_epi16(t[2 * i], t[2 * i + 1]);      // cols 0..3, rows 4i..4i+3
        u[2 * i + 1] = _mm_unpackhi_epi16(t[2 * i], t[2 * i + 1]);  // cols 4..7
    }
    for (int h = 0; h < 2; ++h) {                                   // rows 0..7 (h 0), 8..15 (h 1)
        v[4 * h + 0] = _mm_unpacklo_epi32(u[4 * h], u[4 * h + 2]);  // cols 0, 1
        v[4 * h + 1] = _mm_unpackhi_epi32(u[4 * h], u[4 * h + 2]);  // cols 2, 3
        v[4 * h + 2] = _mm_unpacklo_epi32(u[4 * h + 1], u[4 * h + 3]);  // cols 4, 5
        v[4 * h + 3] = _mm_unpackhi_epi32(u[4 * h + 1], u[4 * h + 3]);  // cols 6, 7
    }
    for (int i = 0; i < 4; ++i) {
        col[2 * i] = _mm_unpacklo_epi64(v[i], v[4 + i]);
        col[2 * i + 1] = _mm_unpackhi_epi64(v[i], v[4 + i]);
    }
    Line6 s{widen(col[1]), widen(col[2]), widen(col[3]),
            widen(col[4]), widen(col[5]), widen(col[6])};
    filter<Luma>(s, line_mask(N, b0, b1), alpha, beta, c, b0 == 2 && b1 == 2);
    col[2] = narrow(s.p1);
    col[3] = narrow(s.p0);
    col[4] = narrow(s.q0);
    col[5] = narrow(s.q1);
    // Back: 8 columns of 16 rows -> 16 rows of 8 bytes.
    for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm_unpacklo_epi8(col[2 * i], col[2 * i + 1]);      // rows 0..7, cols 2i, 2i+1
        t[2 * i + 1] = _mm_unpackhi_epi8(col[2 * i], col[2 * i + 1]);  // rows 8..15
    }
    for (int h = 0; h < 2; ++h) {
        const __m128i a = _mm_unpacklo_epi16(t[h], t[2 + h]);       // rows 8h..8h+3, cols 0..3
        const __m128i b = _mm_unpackhi_epi16(t[h], t[2 + h]);       // rows 8h+4..8h+7, cols 0..3
        const __m128i cc = _mm_unpacklo_epi16(t[4 + h], t[6 + h]);  // rows 8h..8h+3, cols 4..7
        const __m128i d = _mm_unpackhi_epi16(t[4 + h], t[6 + h]);   // rows 8h+4.., cols 4..7
        const __m128i w[4] = {_mm_unpacklo_epi32(a, cc), _mm_unpackhi_epi32(a, cc),
                              _mm_unpacklo_epi32(b, d), _mm_unpackhi_epi32(b, d)};
        for (int k = 0; k < 4; ++k) {
            const int row = 8 * h + 2 * k;
            if (row >= N) break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q + row * step - 4), w[k]);
            _mm_storeh_pi(reinterpret_cast<__m64*>(q + (row + 1) * step - 4),
                          _mm_castsi128_ps(w[k]));
        }
    }
}

template <bool Vertical>
OpxResult luma(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta, const Opx8u* c,
               const Opx8u* bs) noexcept {
    for (int e = 0; e < 2; ++e) {
        if (Vertical)
            ver_edge<true, 16>(p + 8 * e, step, bs[e], bs[e + 2], alpha[e], beta[e], c[e]);
        else
            hor_edge<true, 16>(p + 8 * e * step, step, bs[2 * e], bs[2 * e + 1], alpha[e], beta[e],
                               c[e]);
    }
    return opxOk;
}

template <bool Vertical>
OpxResult chroma(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                 const Opx8u* c, const Opx8u* bs) noexcept {
    if (Vertical)
        ver_edge<false, 8>(p, step, bs[0], bs[2], alpha[0], beta[0], c[0]);
    else
        hor_edge<false, 8>(p, step, bs[0], bs[1], alpha[0], beta[0], c[0]);
    return opxOk;
}

}  // namespace

// The chroma vertical edge is 8 short lines: transposing them costs more than the scalar filter
// (bench: 36 against 27 ticks), so the portable kernel serves it.
const DeblockKernels kDeblock = {{luma<true>, luma<false>, ref::deblock_chroma_ver, chroma<false>}};

}  // namespace opx::avs::avx2
