// AVX2 intra prediction kernels for 16-bit samples (bit depths 8..14).
//
// Samples are at most 14 bits, so every 3-tap filter (a + 2b + c + 2) >> 2 stays below 2^16 and
// is formed in 16-bit lanes as avg(b, floor((a + c) / 2)), floor((a + c) / 2) being
// ~avg(~a, ~c) (the 8-bit kernels' identity, word-wide). The plane modes need 32-bit sums
// (a alone reaches 16 × 2 × 16383).
//
// Directional modes share the 8-bit kernels' scheme: the neighbours form a line e, the vectors
// F[j] = (e[j-1] + 2 e[j] + e[j+1] + 2) >> 2 and A[j] = (e[j] + e[j+1] + 1) >> 1 are formed once,
// and every predicted sample is one word of F or A. 4×4: both fit one register each and a word
// shuffle per pair of rows picks the samples. 8×8: F and A go to memory; the rows of modes 3, 4
// and 7 are contiguous windows of them, the samples of modes 5, 6 and 8 are picked one by one
// through an index table built at compile time from the mode's rule.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "h264/decode/intra.hpp"
#include "h264/decode/intra_lines.hpp"

namespace opx::h264::avx2 {
namespace {

OPX_INLINE __m128i load64(const Opx16u* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE void store64(Opx16u* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}
OPX_INLINE void store_high64(Opx16u* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_unpackhi_epi64(v, v));
}
OPX_INLINE __m128i loadu(const Opx16u* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE void storeu(Opx16u* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
OPX_INLINE void storeu(Opx16u* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

OPX_INLINE __m128i filt3(__m128i a, __m128i b, __m128i c) {
    const __m128i ones = _mm_cmpeq_epi16(b, b);
    const __m128i half =
        _mm_xor_si128(_mm_avg_epu16(_mm_xor_si128(a, ones), _mm_xor_si128(c, ones)), ones);
    return _mm_avg_epu16(b, half);
}

// ---- 4×4 ------------------------------------------------------------------------------------
// Lines and picks: intra_lines.hpp.
using namespace intra_lines;


// Byte shuffles of F and of A for rows 0, 1 and rows 2, 3 (-128: zero).
struct Shuffle4x4 {
    alignas(16) signed char f[2][16];
    alignas(16) signed char a[2][16];
};
constexpr Shuffle4x4 shuffle4x4(int mode) {
    Shuffle4x4 s{};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const Pick p = pick4x4(mode, x, y);
            const int r = y >> 1, b = 8 * (y & 1) + 2 * x;
            for (int k = 0; k < 2; ++k) {
                s.f[r][b + k] = static_cast<signed char>(p.a ? -128 : 2 * p.j + k);
                s.a[r][b + k] = static_cast<signed char>(p.a ? 2 * p.j + k : -128);
            }
        }
    return s;
}
template <int Mode>
constexpr Shuffle4x4 kShuffle4x4 = shuffle4x4(Mode);

OPX_INLINE __m128i shuf(__m128i v, const signed char* c) {
    return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(c)));
}

// Rows 2h and 2h + 1 of a 4×4 prediction (v: [row 2h | row 2h + 1]) stored; with kAdd first
// added to the residual rows res[8h..8h + 7] (saturating) and clamped to 0..max.
template <bool kAdd>
OPX_INLINE void out_rows(Opx16u* dst, std::ptrdiff_t step, int h, __m128i v, const Opx16s* res,
                         int max) {
    if constexpr (kAdd)
        v = _mm_min_epi16(
            _mm_max_epi16(
                _mm_adds_epi16(v, _mm_load_si128(reinterpret_cast<const __m128i*>(res + 8 * h))),
                _mm_setzero_si128()),
            _mm_set1_epi16(static_cast<short>(max)));
    store64(dst + 2 * h * step, v);
    store_high64(dst + (2 * h + 1) * step, v);
}

template <int Mode, bool AboveRight, bool kAdd>
OPX_INLINE void dir4x4_body(Opx16u* dst, std::ptrdiff_t step, const Opx16s* res, int max) {
    const Opx16u* above = dst - step;
    __m128i e, r;  // e[0..7] and e[1..8]
    if constexpr (Mode == 3 || Mode == 7) {
        if constexpr (AboveRight) {
            e = loadu(above);
            r = _mm_shuffle_epi8(
                e, _mm_setr_epi8(2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 14, 15));
        } else {
            e = _mm_shuffle_epi8(load64(above),
                                 _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7, 6, 7));
            r = _mm_shuffle_epi8(e, _mm_setr_epi8(2, 3, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7, 6, 7, 6, 7));
        }
    } else if constexpr (Mode == 8) {
        const int l3 = dst[3 * step - 1];
        e = _mm_setr_epi16(static_cast<short>(dst[-1]), static_cast<short>(dst[step - 1]),
                           static_cast<short>(dst[2 * step - 1]), static_cast<short>(l3),
                           static_cast<short>(l3), static_cast<short>(l3), static_cast<short>(l3),
                           static_cast<short>(l3));
        r = _mm_shuffle_epi8(e, _mm_setr_epi8(2, 3, 4, 5, 6, 7, 6, 7, 6, 7, 6, 7, 6, 7, 6, 7));
    } else {
        // VR reads no p[-1, 3] (its byte stays zero), HD nothing right of p[2, -1].
        const short l3 = Mode == 5 ? 0 : static_cast<short>(dst[3 * step - 1]);
        const __m128i left = _mm_setr_epi16(l3, static_cast<short>(dst[2 * step - 1]),
                                            static_cast<short>(dst[step - 1]),
                                            static_cast<short>(dst[-1]), 0, 0, 0, 0);
        e = _mm_unpacklo_epi64(left, load64(above - 1));
        // p[3, -1] alone: the samples right of it may lie outside the picture.
        const __m128i t3 = Mode == 6 ? _mm_setzero_si128() : _mm_cvtsi32_si128(above[3]);
        r = _mm_alignr_epi8(t3, e, 2);
    }
    const __m128i f = filt3(_mm_slli_si128(e, 2), e, r);  // F[0] unused
    const __m128i a = _mm_avg_epu16(e, r);
    constexpr const Shuffle4x4& s = kShuffle4x4<Mode>;
    for (int h = 0; h < 2; ++h) {
        __m128i v = shuf(f, s.f[h]);
        if constexpr (Mode != 3 && Mode != 4) v = _mm_or_si128(v, shuf(a, s.a[h]));
        out_rows<kAdd>(dst, step, h, v, res, max);
    }
}
template <int Mode, bool AboveRight>
void dir4x4(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    dir4x4_body<Mode, AboveRight, false>(dst, step, nullptr, 0);
}
template <int Mode, bool AboveRight>
void dir4x4_add(Opx16u* dst, std::ptrdiff_t step, int, const Opx16s* res, int max) noexcept {
    dir4x4_body<Mode, AboveRight, true>(dst, step, res, max);
}

void v4x4(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    const __m128i t = load64(dst - step);
    for (int y = 0; y < 4; ++y) store64(dst + y * step, t);
}
void v4x4_add(Opx16u* dst, std::ptrdiff_t step, int, const Opx16s* res, int max) noexcept {
    const __m128i t = load64(dst - step);
    const __m128i v = _mm_unpacklo_epi64(t, t);
    out_rows<true>(dst, step, 0, v, res, max);
    out_rows<true>(dst, step, 1, v, res, max);
}

void h4x4(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    for (int y = 0; y < 4; ++y)
        store64(dst + y * step, _mm_set1_epi16(static_cast<short>(dst[y * step - 1])));
}
void h4x4_add(Opx16u* dst, std::ptrdiff_t step, int, const Opx16s* res, int max) noexcept {
    for (int h = 0; h < 2; ++h)
        out_rows<true>(
            dst, step, h,
            _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(dst[2 * h * step - 1])),
                               _mm_set1_epi16(static_cast<short>(dst[(2 * h + 1) * step - 1]))),
            res, max);
}

OPX_INLINE int sum_above(const Opx16u* p, int n) {
    int s = 0;
    for (int i = 0; i < n; ++i) s += p[i];
    return s;
}
OPX_INLINE int sum_left(const Opx16u* dst, std::ptrdiff_t step, int n) {
    int s = 0;
    for (int i = 0; i < n; ++i) s += dst[i * step - 1];
    return s;
}

template <int Sides>
OPX_INLINE int dc4x4_value(const Opx16u* dst, std::ptrdiff_t step, int bd) {
    int dc = 1 << (bd - 1);
    if constexpr (Sides == 3) dc = (sum_above(dst - step, 4) + sum_left(dst, step, 4) + 4) >> 3;
    if constexpr (Sides == 1) dc = (sum_above(dst - step, 4) + 2) >> 2;
    if constexpr (Sides == 2) dc = (sum_left(dst, step, 4) + 2) >> 2;
    return dc;
}
template <int Sides>
void dc4x4(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    const __m128i v = _mm_set1_epi16(static_cast<short>(dc4x4_value<Sides>(dst, step, bd)));
    for (int y = 0; y < 4; ++y) store64(dst + y * step, v);
}
template <int Sides>
void dc4x4_add(Opx16u* dst, std::ptrdiff_t step, int bd, const Opx16s* res, int max) noexcept {
    const __m128i v = _mm_set1_epi16(static_cast<short>(dc4x4_value<Sides>(dst, step, bd)));
    out_rows<true>(dst, step, 0, v, res, max);
    out_rows<true>(dst, step, 1, v, res, max);
}

// ---- 8×8 --------------------------------------------------------------------------------------
// The filtered line in memory: L[0..7] = p'[-1, 7..0], L[8] = p'[-1, -1], L[9..24] = p'[0..15, -1],
// L[25..] = p'[15, -1]; F and A over it as defined above, L[-1] taken as L[0].

constexpr int kL0 = 7, kC = 8, kT0 = 9;

template <int Mode>
void pred8x8(Opx16u* dst, std::ptrdiff_t step, int avail, int bd) noexcept {
    constexpr bool uses_above = Mode != 1 && Mode != 8;
    constexpr bool uses_left = Mode != 0 && Mode != 3 && Mode != 7;
    constexpr int need = kIntraNeeds[Mode];
    const short half = static_cast<short>(1 << (bd - 1));
    const Opx16u* up = dst - step;
    bool above = uses_above && (avail & kAvailAbove);
    bool left = uses_left && (avail & kAvailLeft);
    bool corner = avail & kAvailAboveLeft;

    // Gather (clause 8.3.2.2): the samples of the groups used and available, the value half
    // for a needed group that is missing.
    __m128i t0 = _mm_set1_epi16(half), t1 = t0;  // p[0..7, -1], p[8..15, -1]
    if (above) {
        t0 = loadu(up);
        t1 = (avail & kAvailAboveRight) ? loadu(up + 8) : _mm_set1_epi16(static_cast<short>(up[7]));
    } else if (need & kAvailAbove) {
        above = true;
    }
    __m128i l = _mm_set1_epi16(half);  // p[-1, 7..0]
    if (left) {
        l = _mm_setr_epi16(
            static_cast<short>(dst[7 * step - 1]), static_cast<short>(dst[6 * step - 1]),
            static_cast<short>(dst[5 * step - 1]), static_cast<short>(dst[4 * step - 1]),
            static_cast<short>(dst[3 * step - 1]), static_cast<short>(dst[2 * step - 1]),
            static_cast<short>(dst[step - 1]), static_cast<short>(dst[-1]));
    } else if (need & kAvailLeft) {
        left = true;
    }
    int c = half;
    if (corner)
        c = up[-1];
    else if (need & kAvailAboveLeft)
        corner = true;

    // Reference filter (clause 8.3.2.2.1): a missing neighbour of a sample is the sample itself.
    const int ta = _mm_extract_epi16(t0, 0), la = _mm_extract_epi16(l, 7);
    __m128i tf0 = t0, tf1 = t1, lf = l;
    if (above) {
        const __m128i cv = _mm_set1_epi16(static_cast<short>(corner ? c : ta));
        tf0 = filt3(_mm_alignr_epi8(t0, cv, 14), t0, _mm_alignr_epi8(t1, t0, 2));
        const __m128i last = _mm_shuffle_epi8(t1, _mm_set1_epi16(0x0F0E));
        tf1 = filt3(_mm_alignr_epi8(t1, t0, 14), t1, _mm_alignr_epi8(last, t1, 2));
    }
    if (left) {
        // In the line order p[-1, 7..0]: below is the previous word, above the next.
        const __m128i first = _mm_shuffle_epi8(l, _mm_set1_epi16(0x0100));
        const __m128i nxt = _mm_set1_epi16(static_cast<short>(corner ? c : la));
        lf = filt3(_mm_alignr_epi8(l, first, 14), l, _mm_alignr_epi8(nxt, l, 2));
    }
    int cf = c;
    if (corner) cf = ((above ? ta : c) + 2 * c + (left ? la : c) + 2) >> 2;

    if constexpr (Mode == 0) {
        for (int y = 0; y < 8; ++y) storeu(dst + y * step, tf0);
    } else if constexpr (Mode == 1) {
        alignas(16) Opx16u lv[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lv), lf);
        for (int y = 0; y < 8; ++y)
            storeu(dst + y * step, _mm_set1_epi16(static_cast<short>(lv[7 - y])));
    } else if constexpr (Mode == 2) {
        auto hsum = [](__m128i v) {
            __m128i s = _mm_madd_epi16(v, _mm_set1_epi16(1));  // words <= 16383: no sign issue
            s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
            s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
            return _mm_cvtsi128_si32(s);
        };
        int dc = half;
        if (above && left)
            dc = (hsum(tf0) + hsum(lf) + 8) >> 4;
        else if (above)
            dc = (hsum(tf0) + 4) >> 3;
        else if (left)
            dc = (hsum(lf) + 4) >> 3;
        const __m128i v = _mm_set1_epi16(static_cast<short>(dc));
        for (int y = 0; y < 8; ++y) storeu(dst + y * step, v);
    } else {
        // Memory block: F[0..31], A[0..31], L[0..31].
        alignas(32) Opx16u m[104];
        Opx16u* fl = m;
        Opx16u* al = m + 32;
        Opx16u* ln = m + 64;
        _mm_store_si128(reinterpret_cast<__m128i*>(ln), lf);
        ln[kC] = static_cast<Opx16u>(cf);
        storeu(ln + kT0, tf0);
        storeu(ln + kT0 + 8, tf1);
        const __m128i last = _mm_set1_epi16(static_cast<short>(ln[kT0 + 15]));
        storeu(ln + kT0 + 16, last);
        // F and A over L[0..31]; the word after L[31] is taken as L[31] (not used).
        for (int j = 0; j < 32; j += 8) {
            const __m128i cur = _mm_load_si128(reinterpret_cast<const __m128i*>(ln + j));
            // Below p'[-1, 7] stands p'[-1, 7] itself (F[0] serves mode 8 at zHU = 13).
            const __m128i prv =
                j ? loadu(ln + j - 1)
                  : _mm_alignr_epi8(cur, _mm_shuffle_epi8(cur, _mm_set1_epi16(0x0100)), 14);
            const __m128i nx = j + 8 < 32 ? loadu(ln + j + 1) : _mm_alignr_epi8(last, cur, 2);
            _mm_store_si128(reinterpret_cast<__m128i*>(fl + j), filt3(prv, cur, nx));
            _mm_store_si128(reinterpret_cast<__m128i*>(al + j), _mm_avg_epu16(cur, nx));
        }
        if constexpr (Mode == 3) {
            // p'[x + y + 1, -1] filtered; (7, 7) is (p'[14] + 3 p'[15] + 2) >> 2, which is F at
            // the first pad (its right neighbour equals p'[15]).
            for (int y = 0; y < 8; ++y) storeu(dst + y * step, loadu(fl + kT0 + 1 + y));
        } else if constexpr (Mode == 4) {
            for (int y = 0; y < 8; ++y) storeu(dst + y * step, loadu(fl + kC - y));
        } else if constexpr (Mode == 7) {
            for (int y = 0; y < 8; ++y)
                storeu(dst + y * step,
                       (y & 1) ? loadu(fl + kT0 + 1 + (y >> 1)) : loadu(al + kT0 + (y >> 1)));
        } else if constexpr (Mode == 5) {
            // Vertical-right (clause 8.3.2.2.7): row y = 2k (2k + 1): samples x >= k are A[8 + x - k] (F[8 + x - k]); the first k
            // are F[9 - y + 2x], from F's odd (even) entries: Fo[i] = F[2i + 1], Fe[i] = F[2i].
            const __m128i f0 = _mm_load_si128(reinterpret_cast<const __m128i*>(fl));
            const __m128i fo = _mm_shuffle_epi8(
                f0, _mm_setr_epi8(2, 3, 6, 7, 10, 11, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1));
            const __m128i fe = _mm_shuffle_epi8(
                f0, _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1));
            storeu(dst, loadu(al + 8));
            storeu(dst + step, loadu(fl + 8));
            storeu(dst + 2 * step, _mm_blend_epi16(loadu(al + 7), _mm_srli_si128(fo, 6), 0x01));
            storeu(dst + 3 * step, _mm_blend_epi16(loadu(fl + 7), _mm_srli_si128(fe, 6), 0x01));
            storeu(dst + 4 * step, _mm_blend_epi16(loadu(al + 6), _mm_srli_si128(fo, 4), 0x03));
            storeu(dst + 5 * step, _mm_blend_epi16(loadu(fl + 6), _mm_srli_si128(fe, 4), 0x03));
            storeu(dst + 6 * step, _mm_blend_epi16(loadu(al + 5), _mm_srli_si128(fo, 2), 0x07));
            storeu(dst + 7 * step, _mm_blend_epi16(loadu(fl + 5), _mm_srli_si128(fe, 2), 0x07));
        } else if constexpr (Mode == 6) {
            // Horizontal-down (clause 8.3.2.2.8): samples with x <= 2y + 1 are S[14 - 2y + x] of the sequence S[2j] = A[j],
            // S[2j + 1] = F[j + 1]; the others (rows 0..2 only) F[7 + x - 2y].
            const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(al));
            const __m128i f1 = loadu(fl + 1);
            const __m128i lo = _mm_unpacklo_epi16(a, f1), hi = _mm_unpackhi_epi16(a, f1);
            storeu(dst, _mm_blend_epi16(_mm_srli_si128(hi, 12), loadu(fl + 7), 0xFC));
            storeu(dst + step, _mm_blend_epi16(_mm_srli_si128(hi, 8), loadu(fl + 5), 0xF0));
            storeu(dst + 2 * step, _mm_blend_epi16(_mm_srli_si128(hi, 4), loadu(fl + 3), 0xC0));
            storeu(dst + 3 * step, hi);
            storeu(dst + 4 * step, _mm_alignr_epi8(hi, lo, 12));
            storeu(dst + 5 * step, _mm_alignr_epi8(hi, lo, 8));
            storeu(dst + 6 * step, _mm_alignr_epi8(hi, lo, 4));
            storeu(dst + 7 * step, lo);
        } else {
            static_assert(Mode == 8);
            // Horizontal-up (clause 8.3.2.2.10): row y is R[2y .. 2y + 7] of the sequence R[2j] = A[6 - j], R[2j + 1] = F[6 - j]
            // (j = 0..6; R[13] = F[0] is the zHU = 13 sample) followed by L[0] = p'[-1, 7].
            const __m128i rev = _mm_setr_epi8(12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15);
            const __m128i ar = _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(al)), rev);
            const __m128i fr = _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(fl)), rev);
            const __m128i l0 = _mm_set1_epi16(static_cast<short>(ln[0]));
            const __m128i lo = _mm_unpacklo_epi16(ar, fr);                             // R[0..7]
            const __m128i hi = _mm_blend_epi16(_mm_unpackhi_epi16(ar, fr), l0, 0xC0);  // R[8..15]
            storeu(dst, lo);
            storeu(dst + step, _mm_alignr_epi8(hi, lo, 4));
            storeu(dst + 2 * step, _mm_alignr_epi8(hi, lo, 8));
            storeu(dst + 3 * step, _mm_alignr_epi8(hi, lo, 12));
            storeu(dst + 4 * step, hi);
            storeu(dst + 5 * step, _mm_alignr_epi8(l0, hi, 4));
            storeu(dst + 6 * step, _mm_alignr_epi8(l0, hi, 8));
            storeu(dst + 7 * step, _mm_alignr_epi8(l0, hi, 12));
        }
    }
}

// ---- 16×16 ------------------------------------------------------------------------------------

void v16(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst - step));
    for (int y = 0; y < 16; ++y) storeu(dst + y * step, t);
}

void h16(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    for (int y = 0; y < 16; ++y)
        storeu(dst + y * step, _mm256_set1_epi16(static_cast<short>(dst[y * step - 1])));
}

OPX_INLINE int sum16_above(const Opx16u* p) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m128i s =
        _mm_madd_epi16(_mm_add_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)),
                       _mm_set1_epi16(1));  // pairs of 14-bit samples fit 15 bits
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return _mm_cvtsi128_si32(s);
}

template <int Sides>
void dc16(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    int dc = 1 << (bd - 1);
    if constexpr (Sides == 3) dc = (sum16_above(dst - step) + sum_left(dst, step, 16) + 16) >> 5;
    if constexpr (Sides == 1) dc = (sum16_above(dst - step) + 8) >> 4;
    if constexpr (Sides == 2) dc = (sum_left(dst, step, 16) + 8) >> 4;
    const __m256i v = _mm256_set1_epi16(static_cast<short>(dc));
    for (int y = 0; y < 16; ++y) storeu(dst + y * step, v);
}

// Plane (clauses 8.3.3.4, 8.3.4.4) for W × H = 16 × 16, 8 × 8 and 8 × 16: gradient sums in
// scalar code, then 32-bit rows a + b (x - xc) + c (y - yc) + 16 (|sum| < 2^22), shifted, packed
// with unsigned saturation (negative sums give 0) and clamped to the maximum sample.
template <int W, int H>
void plane(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    constexpr int hw = W / 2, hh = H / 2;
    const Opx16u* above = dst - step;
    int gh = 0, gv = 0;
    for (int i = 0; i < hw; ++i) gh += (i + 1) * (above[hw + i] - above[hw - 2 - i]);
    for (int i = 0; i < hh; ++i)
        gv += (i + 1) * (dst[(hh + i) * step - 1] - dst[(hh - 2 - i) * step - 1]);
    const int a = 16 * (dst[(H - 1) * step - 1] + above[W - 1]);
    const int b = ((W == 16 ? 5 : 34) * gh + 32) >> 6;
    const int c = ((H == 16 ? 5 : 34) * gv + 32) >> 6;
    const int base = a - (hw - 1) * b - (hh - 1) * c + 16;
    const __m256i maxv = _mm256_set1_epi16(static_cast<short>((1 << bd) - 1));
    const __m256i ramp = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i r0 = _mm256_add_epi32(_mm256_set1_epi32(base),
                                  _mm256_mullo_epi32(ramp, _mm256_set1_epi32(b)));  // x 0..7
    const __m256i vc = _mm256_set1_epi32(c);
    if constexpr (W == 16) {
        __m256i r1 = _mm256_add_epi32(r0, _mm256_set1_epi32(8 * b));  // x 8..15
        for (int y = 0; y < H; ++y) {
            const __m256i p = _mm256_permute4x64_epi64(
                _mm256_packus_epi32(_mm256_srai_epi32(r0, 5), _mm256_srai_epi32(r1, 5)), 0xD8);
            storeu(dst + y * step, _mm256_min_epu16(p, maxv));
            r0 = _mm256_add_epi32(r0, vc);
            r1 = _mm256_add_epi32(r1, vc);
        }
    } else {
        __m256i r1 = _mm256_add_epi32(r0, vc);  // row y + 1
        const __m256i c2 = _mm256_add_epi32(vc, vc);
        for (int y = 0; y < H; y += 2) {
            const __m256i p = _mm256_min_epu16(
                _mm256_permute4x64_epi64(
                    _mm256_packus_epi32(_mm256_srai_epi32(r0, 5), _mm256_srai_epi32(r1, 5)), 0xD8),
                maxv);
            storeu(dst + y * step, _mm256_castsi256_si128(p));
            storeu(dst + (y + 1) * step, _mm256_extracti128_si256(p, 1));
            r0 = _mm256_add_epi32(r0, c2);
            r1 = _mm256_add_epi32(r1, c2);
        }
    }
}

// ---- chroma 8×8 and 8×16 ------------------------------------------------------------------------

template <int H>
void chroma_h(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    for (int y = 0; y < H; ++y)
        storeu(dst + y * step, _mm_set1_epi16(static_cast<short>(dst[y * step - 1])));
}

template <int H>
void chroma_v(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    const __m128i t = loadu(dst - step);
    for (int y = 0; y < H; ++y) storeu(dst + y * step, t);
}

// DC per 4×4 block (clauses 8.3.4.1 to 8.3.4.3); Slot = upper | lower << 2 (rows 0..H/2-1 and
// the rest), bit 0 above, bit 1 left. Block (0, 0) and blocks with both offsets nonzero average
// both sides; (4, 0) prefers above; (0, yO > 0) prefers left.
template <int Slot, int H>
void chroma_dc(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    constexpr int up = Slot & 3, lo = Slot >> 2;
    constexpr int rows = H / 4;
    const int half = 1 << (bd - 1);
    int t0 = 0, t1 = 0;
    if constexpr (((up | lo) & 1) != 0) {
        t0 = sum_above(dst - step, 4);
        t1 = sum_above(dst - step + 4, 4);
    }
    int ls[rows] = {};
    for (int by = 0; by < rows; ++by)
        if (((by < rows / 2 ? up : lo) & 2) != 0) ls[by] = sum_left(dst + 4 * by * step, step, 4);
    for (int by = 0; by < rows; ++by) {
        const int sides = by < rows / 2 ? up : lo;
        const bool a = sides & 1, l = sides & 2;
        int d0, d1;
        if (by == 0) {
            d0 = a && l ? (t0 + ls[0] + 4) >> 3 : a ? (t0 + 2) >> 2 : l ? (ls[0] + 2) >> 2 : half;
            d1 = a ? (t1 + 2) >> 2 : l ? (ls[0] + 2) >> 2 : half;
        } else {
            d0 = l ? (ls[by] + 2) >> 2 : a ? (t0 + 2) >> 2 : half;
            d1 = a && l ? (t1 + ls[by] + 4) >> 3 : a ? (t1 + 2) >> 2 : l ? (ls[by] + 2) >> 2 : half;
        }
        const __m128i v = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(d0)),
                                             _mm_set1_epi16(static_cast<short>(d1)));
        for (int y = 0; y < 4; ++y) storeu(dst + (4 * by + y) * step, v);
    }
}

template <int... S>
constexpr IntraKernelsHigh make_table(std::integer_sequence<int, S...>) {
    return with_pred4x4_by_avail(IntraKernelsHigh{
        {v4x4, h4x4, dc4x4<3>, dir4x4<3, true>, dir4x4<4, true>, dir4x4<5, true>, dir4x4<6, true>,
         dir4x4<7, true>, dir4x4<8, true>, dir4x4<3, false>, dir4x4<7, false>, dc4x4<1>, dc4x4<2>,
         dc4x4<0>},
        {pred8x8<0>, pred8x8<1>, pred8x8<2>, pred8x8<3>, pred8x8<4>, pred8x8<5>, pred8x8<6>,
         pred8x8<7>, pred8x8<8>},
        {v16, h16, dc16<3>, plane<16, 16>, dc16<1>, dc16<2>, dc16<0>},
        {chroma_h<8>, chroma_v<8>, plane<8, 8>},
        {chroma_dc<S, 8>...},
        {chroma_h<16>, chroma_v<16>, plane<8, 16>},
        {chroma_dc<S, 16>...},
        {},
    });
}

constexpr Pred4x4AddHighTable make_add_table() {
    constexpr Pred4x4AddHighFn kSlots[kNumPred4x4Slots] = {v4x4_add,
                                                           h4x4_add,
                                                           dc4x4_add<3>,
                                                           dir4x4_add<3, true>,
                                                           dir4x4_add<4, true>,
                                                           dir4x4_add<5, true>,
                                                           dir4x4_add<6, true>,
                                                           dir4x4_add<7, true>,
                                                           dir4x4_add<8, true>,
                                                           dir4x4_add<3, false>,
                                                           dir4x4_add<7, false>,
                                                           dc4x4_add<1>,
                                                           dc4x4_add<2>,
                                                           dc4x4_add<0>};
    Pred4x4AddHighTable t{};
    for (int mode = 0; mode < 9; ++mode)
        for (int bits = 0; bits < 128; ++bits) {
            const int slot = pred4x4_slot(mode, bits & kAvail4x4Bits);
            t.by_avail[mode][bits] = slot < 0 ? nullptr : kSlots[slot];
        }
    return t;
}

}  // namespace

extern const IntraKernelsHigh kIntraHigh =
    make_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});
extern const Pred4x4AddHighTable kPred4x4AddHigh = make_add_table();

}  // namespace opx::h264::avx2
