// AVX2 MPEG-4 post-filters. Deblocking: the eight segments of an edge are held as ten 8-lane
// 16-bit vectors (loaded directly for a horizontal edge, gathered for a vertical one); the mode
// decision and the default mode run on all eight at once, the DC offset filter per segment that
// chose it. Deringing: block extrema with byte max/min; the smoother forms the flag rows and the
// 3x3 sums of the 10x10 window in 16-bit lanes, eight outputs per row.
#include <immintrin.h>

#include <cstring>

#include "mpeg4/filter_post.hpp"

namespace opx::mpeg4::avx2 {
namespace {

inline __m128i load8(const Opx8u* p) noexcept {
    return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// (x + 4 − [x < 0]) >> 3 per lane.
inline __m128i div8(__m128i x) noexcept {
    return _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(4)), _mm_srai_epi16(x, 15)),
                          3);
}

// 2a − 5b + 5c − 2d
inline __m128i tap4(__m128i a, __m128i b, __m128i c, __m128i d) noexcept {
    const __m128i two = _mm_slli_epi16(_mm_sub_epi16(a, d), 1);
    const __m128i cb = _mm_sub_epi16(c, b);
    return _mm_add_epi16(two, _mm_add_epi16(_mm_slli_epi16(cb, 2), cb));
}

// Decision and default mode of eight segments s[0..9]; returns the lanes in DC offset mode as a
// byte mask (bit i: segment i), and s[4], s[5] updated.
inline int segments(__m128i* s, int qp, int thr1, int thr2) noexcept {
    const __m128i t1 = _mm_set1_epi16(static_cast<short>(thr1 < -1 ? -1 : thr1 > 255 ? 255 : thr1));
    __m128i eq = _mm_setzero_si128();
    for (int k = 0; k < 9; ++k) {
        const __m128i ad = _mm_abs_epi16(_mm_sub_epi16(s[k], s[k + 1]));
        eq = _mm_sub_epi16(eq, _mm_cmpgt_epi16(_mm_add_epi16(t1, _mm_set1_epi16(1)), ad));
    }
    const __m128i t2 = _mm_set1_epi16(static_cast<short>(thr2 < -1 ? -1 : thr2 > 10 ? 10 : thr2));
    const __m128i def = _mm_cmpgt_epi16(t2, eq);  // eq_cnt < thr2
    const __m128i a30 = div8(tap4(s[3], s[4], s[5], s[6]));
    const __m128i a31 = div8(tap4(s[1], s[2], s[3], s[4]));
    const __m128i a32 = div8(tap4(s[5], s[6], s[7], s[8]));
    const __m128i m =
        _mm_min_epi16(_mm_abs_epi16(a30), _mm_min_epi16(_mm_abs_epi16(a31), _mm_abs_epi16(a32)));
    const __m128i a30n = _mm_sign_epi16(m, a30);
    const __m128i act = _mm_and_si128(
        _mm_and_si128(def,
                      _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(qp)), _mm_abs_epi16(a30))),
        _mm_xor_si128(_mm_cmpeq_epi16(a30n, a30), _mm_set1_epi16(-1)));
    const __m128i diff = _mm_sub_epi16(a30n, a30);
    __m128i d = div8(_mm_add_epi16(_mm_slli_epi16(diff, 2), diff));
    const __m128i t = _mm_sub_epi16(s[4], s[5]);
    const __m128i lim = _mm_srai_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 15)), 1);
    const __m128i zero = _mm_setzero_si128();
    d = _mm_max_epi16(_mm_min_epi16(d, _mm_max_epi16(lim, zero)), _mm_min_epi16(lim, zero));
    d = _mm_and_si128(d, act);
    s[4] = _mm_sub_epi16(s[4], d);
    s[5] = _mm_add_epi16(s[5], d);
    const __m128i dc = _mm_xor_si128(def, _mm_set1_epi16(-1));
    return _mm_movemask_epi8(_mm_packs_epi16(dc, dc)) & 0xFF;
}

void dc_segment(Opx8u* p, std::ptrdiff_t across, int qp) noexcept {
    int v[10];
    for (int k = 0; k < 10; ++k) v[k] = p[(k - 5) * across];
    dc_offset_segment(v, qp);
    for (int k = 1; k <= 8; ++k) p[(k - 5) * across] = static_cast<Opx8u>(v[k]);
}

void deblock_hor(Opx8u* p, std::ptrdiff_t step, int qp, int t1, int t2) noexcept {
    __m128i s[10];
    for (int k = 0; k < 10; ++k) s[k] = load8(p + (k - 5) * step);
    const int dc = segments(s, qp, t1, t2);
    const __m128i b = _mm_packus_epi16(s[4], s[5]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p - step), b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_srli_si128(b, 8));
    for (int i = 0; i < 8; ++i)
        if (dc >> i & 1) dc_segment(p + i, step, qp);
}

void deblock_ver(Opx8u* p, std::ptrdiff_t step, int qp, int t1, int t2) noexcept {
    alignas(16) Opx16s g[10][8];
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 10; ++k) g[k][i] = p[i * step + k - 5];
    __m128i s[10];
    for (int k = 0; k < 10; ++k) s[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(g[k]));
    const int dc = segments(s, qp, t1, t2);
    alignas(16) Opx8u o[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(s[4], s[5]));
    for (int i = 0; i < 8; ++i) {
        Opx8u* r = p + i * step;
        r[-1] = o[i];
        r[0] = o[8 + i];
        if (dc >> i & 1) dc_segment(r, 1, qp);
    }
}

// Maximum and minimum of the 8x8 blocks at columns 0..7 and 8..15 of `rows` rows (16 wide) or of
// one 8-wide block.
inline void extrema16(const Opx8u* b, std::ptrdiff_t s, int x0, int* mx, int* mn, int n) noexcept {
    __m128i hi = _mm_setzero_si128(), lo = _mm_set1_epi8(-1);
    for (int y = 0; y < 8; ++y) {
        const __m128i r = n == 2
                              ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + y * s + x0))
                              : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + y * s + x0));
        hi = _mm_max_epu8(hi, r);
        lo = _mm_min_epu8(lo, r);
    }
    for (int k = 0; k < n; ++k) {
        // reduce 8 bytes: max via the complement's minimum position trick
        const __m128i h = k ? _mm_srli_si128(hi, 8) : hi, l = k ? _mm_srli_si128(lo, 8) : lo;
        const __m128i hw = _mm_cvtepu8_epi16(h), lw = _mm_cvtepu8_epi16(l);
        mx[k] =
            255 - _mm_extract_epi16(_mm_minpos_epu16(_mm_sub_epi16(_mm_set1_epi16(255), hw)), 0);
        mn[k] = _mm_extract_epi16(_mm_minpos_epu16(lw), 0);
    }
}

void dering_threshold(const Opx8u* y, std::ptrdiff_t ys, const Opx8u* cb, std::ptrdiff_t cbs,
                      const Opx8u* cr, std::ptrdiff_t crs, Opx32s* thr) noexcept {
    int mx[6], mn[6];
    extrema16(y, ys, 0, mx, mn, 2);
    extrema16(y + 8 * ys, ys, 0, mx + 2, mn + 2, 2);
    extrema16(cb, cbs, 0, mx + 4, mn + 4, 1);
    extrema16(cr, crs, 0, mx + 5, mn + 5, 1);
    int t[6], r[6];
    for (int k = 0; k < 6; ++k) {
        t[k] = (mx[k] + mn[k] + 1) >> 1;
        r[k] = mx[k] - mn[k];
    }
    int best = 0;
    for (int k = 1; k < 4; ++k)
        if (r[k] > r[best]) best = k;
    const int big = r[best], tbest = t[best];
    for (int k = 0; k < 4; ++k) {
        if (big < 16)
            t[k] = 0;
        else if (big >= 64 && r[k] < 32)
            t[k] = tbest;
    }
    for (int k = 0; k < 6; ++k) thr[k] = t[k];
}

// Row y (−1..8) of the window: columns −1..8 as bytes 0..9 (nothing beyond is read).
inline __m128i window_row(const Opx8u* src, std::ptrdiff_t ss, int y) noexcept {
    const Opx8u* r = src + y * ss - 1;
    std::uint16_t tail;
    std::memcpy(&tail, r + 8, 2);
    return _mm_insert_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r)), tail, 4);
}

void dering_smooth(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int qp,
                   int threshold) noexcept {
    __m128i out[8];
    if (qp == 1) {
        for (int y = 0; y < 8; ++y)
            out[y] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + y * ss));
    } else {
        const __m128i thr = _mm_set1_epi16(static_cast<short>(threshold < 0     ? 0
                                                              : threshold > 256 ? 256
                                                                                : threshold));
        __m128i h[10], all[10], any[10], c[10];
        for (int y = 0; y < 10; ++y) {
            const __m128i w = window_row(src, ss, y - 1);
            const __m128i l = _mm_cvtepu8_epi16(w), m = _mm_cvtepu8_epi16(_mm_srli_si128(w, 1)),
                          r = _mm_cvtepu8_epi16(_mm_srli_si128(w, 2));
            h[y] = _mm_add_epi16(_mm_add_epi16(l, r), _mm_add_epi16(m, m));
            c[y] = m;
            const __m128i fl = _mm_cmpgt_epi16(thr, l), fm = _mm_cmpgt_epi16(thr, m),
                          fr = _mm_cmpgt_epi16(thr, r);
            all[y] = _mm_and_si128(_mm_and_si128(fl, fm), fr);
            any[y] = _mm_or_si128(_mm_or_si128(fl, fm), fr);
        }
        const __m128i lim = _mm_set1_epi16(static_cast<short>(qp >> 1));
        for (int y = 0; y < 8; ++y) {
            const __m128i a = _mm_and_si128(_mm_and_si128(all[y], all[y + 1]), all[y + 2]);
            const __m128i o = _mm_or_si128(_mm_or_si128(any[y], any[y + 1]), any[y + 2]);
            const __m128i same = _mm_or_si128(a, _mm_xor_si128(o, _mm_set1_epi16(-1)));
            const __m128i s =
                _mm_add_epi16(_mm_add_epi16(h[y], h[y + 2]),
                              _mm_add_epi16(_mm_add_epi16(h[y + 1], h[y + 1]), _mm_set1_epi16(8)));
            const __m128i p = c[y + 1];
            __m128i f = _mm_srli_epi16(s, 4);
            f = _mm_max_epi16(_mm_min_epi16(f, _mm_add_epi16(p, lim)), _mm_sub_epi16(p, lim));
            const __m128i v = _mm_blendv_epi8(p, f, same);
            out[y] = _mm_packus_epi16(v, v);
        }
    }
    for (int y = 0; y < 8; ++y) _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * ds), out[y]);
}

}  // namespace

const PostFilterKernels kPostFilter = {deblock_hor, deblock_ver, dering_threshold, dering_smooth};

}  // namespace opx::mpeg4::avx2
