// AVX2 denoising rows. The box mean and the map work on 32 bytes per step, the smoothing average
// on 16 samples in 16-bit lanes, the adaptive filter on 32 samples with 16-bit window sums
// (windows of at most 257 samples: 257 × 255 = 65535 fits) and a 32-bit final product.
#include <cstring>
#include <initializer_list>

#include "vpp/denoise.hpp"
#include "vpp/simd_avx2.hpp"

namespace opx::vpp::avx2 {
namespace {

// Byte pairs summed into 16-bit lanes: maddubs of interleaved bytes with ones gives
// a[i] + b[i] in the unpacklo (lo) and unpackhi (hi) order of the bytes.
OPX_INLINE V256 maddubs(V256 a, V256 b) noexcept { return _mm256_maddubs_epi16(a, b); }
OPX_INLINE V128 maddubs(V128 a, V128 b) noexcept { return _mm_maddubs_epi16(a, b); }
OPX_INLINE V256 andnot(V256 m, V256 a) noexcept { return _mm256_andnot_si256(m, a); }
OPX_INLINE V128 andnot(V128 m, V128 a) noexcept { return _mm_andnot_si128(m, a); }
OPX_INLINE V256 add8(V256 a, V256 b) noexcept { return _mm256_add_epi8(a, b); }
OPX_INLINE V128 add8(V128 a, V128 b) noexcept { return _mm_add_epi8(a, b); }
OPX_INLINE V256 shuffle8(V256 t, V256 i) noexcept { return _mm256_shuffle_epi8(t, i); }
OPX_INLINE V128 shuffle8(V128 t, V128 i) noexcept { return _mm_shuffle_epi8(t, i); }
// A 16-byte table in every 128-bit lane.
OPX_INLINE V256 table16(V256, const Opx8u* t) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
}
OPX_INLINE V128 table16(V128, const Opx8u* t) noexcept { return ld(V128{}, t); }

template <class V>
struct PairSums {
    V lo, hi;
    OPX_INLINE void add_pair(V a, V b, V ones) noexcept {
        lo = add16(lo, maddubs(unpacklo8(a, b), ones));
        hi = add16(hi, maddubs(unpackhi8(a, b), ones));
    }
};

void box_row(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* f, std::ptrdiff_t n) noexcept {
    walk_columns(
        0, n,
        [&](auto tag, std::ptrdiff_t i) {
            using V = decltype(tag);
            const V ones = set1_8(tag, 1);
            // The centre (+ 5 in its partner's place) and four pairs of neighbours.
            PairSums<V> s{zero(tag), zero(tag)};
            s.add_pair(ld(tag, b + i), set1_8(tag, 5), ones);
            s.add_pair(ld(tag, a + i - 1), ld(tag, a + i + 1), ones);
            s.add_pair(ld(tag, a + i), ld(tag, c + i), ones);
            s.add_pair(ld(tag, c + i - 1), ld(tag, c + i + 1), ones);
            s.add_pair(ld(tag, b + i - 1), ld(tag, b + i + 1), ones);
            // (Σ + 5) ≤ 2300, so (Σ + 5) × 7281 >> 16 is the high half of a 16-bit product.
            const V scale = set1_16(tag, 7281);
            st(f + i, packus16(mulhi16(s.lo, scale), mulhi16(s.hi, scale)));
        },
        [&](std::ptrdiff_t i) {
            int sum = 0;
            for (std::ptrdiff_t d = -1; d <= 1; ++d) sum += a[i + d] + b[i + d] + c[i + d];
            f[i] = static_cast<Opx8u>(((sum + 5) * 7281) >> 16);
        });
}

void map_row(const Opx8u* f0, const Opx8u* f1, Opx8u* m, std::ptrdiff_t n,
             std::int32_t threshold) noexcept {
    // Differences are 0..255: a threshold of 0 or below marks everything, one above 255 nothing.
    if (threshold <= 0 || threshold > 255) {
        std::memset(m, threshold <= 0 ? 255 : 0, static_cast<std::size_t>(n));
        return;
    }
    walk_columns(
        0, n,
        [&](auto tag, std::ptrdiff_t i) {
            const auto t1 = set1_8(tag, threshold - 1);
            // |d| ≥ t  ⇔  |d| − (t − 1) > 0 in saturating bytes.
            const auto over = or_(subs8(absdiff8(ld(tag, f0 + i), ld(tag, f1 + i + 1)), t1),
                                  subs8(absdiff8(ld(tag, f0 + i + 1), ld(tag, f1 + i)), t1));
            st(m + i, xor_(eq8(over, zero(tag)), set1_8(tag, 0xFF)));
        },
        [&](std::ptrdiff_t i) { m[i] = map_sample(f0, f1, i, threshold); });
}

void smooth_row(const Opx8u* const s[3], const Opx8u* const m[3], Opx8u* dst,
                std::ptrdiff_t n) noexcept {
    // T[n] split into low and high bytes for two byte shuffles indexed by n (1..9).
    alignas(16) Opx8u t_lo[16] = {}, t_hi[16] = {};
    for (int i = 1; i <= 9; ++i) {
        t_lo[i] = static_cast<Opx8u>(kSmoothReciprocal[i] & 0xFF);
        t_hi[i] = static_cast<Opx8u>(kSmoothReciprocal[i] >> 8);
    }
    walk_columns(
        0, n,
        [&](auto tag, std::ptrdiff_t i) {
            using V = decltype(tag);
            // Map entries are 0 (free) or 255 (edge): a neighbour's sample counts where its
            // entry is 0 (andnot), and adding the entries as bytes (−1 each) takes the edge
            // neighbours off the count of 9.
            const V ones = set1_8(tag, 1);
            V cnt = set1_8(tag, 9);
            auto tap = [&](int j, std::ptrdiff_t d) {
                const V e = ld(tag, m[j] + i + d);
                cnt = add8(cnt, e);
                return andnot(e, ld(tag, s[j] + i + d));
            };
            const V c = ld(tag, s[1] + i);
            PairSums<V> sum{zero(tag), zero(tag)};
            sum.add_pair(c, tap(1, -1), ones);
            sum.add_pair(tap(1, 1), tap(0, 0), ones);
            sum.add_pair(tap(0, -1), tap(0, 1), ones);
            sum.add_pair(tap(2, -1), tap(2, 0), ones);
            sum.add_pair(tap(2, 1), zero(tag), ones);
            // T[n] by shuffles of the counts (1..9, bytes in sample order), widened in the
            // sums' order. Σ ≤ n × 255 and n·T[n] ≤ 65538, so (Σ × T[n]) >> 16 ≤ 255.
            const V lo = shuffle8(table16(tag, t_lo), cnt), hi = shuffle8(table16(tag, t_hi), cnt);
            const V avg = packus16(mulhi16(sum.lo, unpacklo8(lo, hi)), mulhi16(sum.hi, unpackhi8(lo, hi)));
            st(dst + i, blend8(avg, c, ld(tag, m[1] + i)));
        },
        [&](std::ptrdiff_t i) { dst[i] = smooth_sample(s, m, i); });
}

// ---- adaptive ------------------------------------------------------------------------------

// Window sums of 32 samples: unsigned 16-bit lanes, in the unpacklo/unpackhi order of the bytes
// (lo: samples 0..7 and 16..23, hi: 8..15 and 24..31).
struct Sums {
    __m256i lo, hi;
};
OPX_INLINE void accumulate(Sums& s, __m256i bytes) noexcept {
    const __m256i z = _mm256_setzero_si256();
    s.lo = _mm256_add_epi16(s.lo, _mm256_unpacklo_epi8(bytes, z));
    s.hi = _mm256_add_epi16(s.hi, _mm256_unpackhi_epi8(bytes, z));
}
// Counts: a mask byte of all ones widens to −1.
OPX_INLINE void count(Sums& s, __m256i mask) noexcept {
    s.lo = _mm256_sub_epi16(s.lo, _mm256_unpacklo_epi8(mask, mask));
    s.hi = _mm256_sub_epi16(s.hi, _mm256_unpackhi_epi8(mask, mask));
}

// The rule's last step on eight 32-bit lanes. s ≤ 255·k and T[k] ≤ 65535/k + 1/2, so s·T[k]
// stays below 2^32 for the k < 772 of these windows.
template <int Mode>
OPX_INLINE __m256i finish(__m256i sc, __m256i sp, __m256i sn, __m256i np, __m256i nn, __m256i pp,
                          __m256i pn, __m256i n, const Opx16u* table) noexcept {
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i s_any = _mm256_add_epi32(sc, _mm256_add_epi32((Mode & 1) ? sp : pp,
                                                                (Mode & 2) ? sn : pn));
    const __m256i k_any = _mm256_add_epi32(n, _mm256_add_epi32((Mode & 1) ? np : one,
                                                               (Mode & 2) ? nn : one));
    const __m256i any = _mm256_cmpgt_epi32(_mm256_add_epi32(np, nn), _mm256_setzero_si256());
    const __m256i s = _mm256_blendv_epi8(sc, s_any, any);
    const __m256i k = _mm256_blendv_epi8(n, k_any, any);
    // 32-bit gather of T[k] and T[k + 1] (the table keeps a spare entry), low half kept.
    const __m256i t = _mm256_and_si256(
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), k, 2), _mm256_set1_epi32(0xFFFF));
    return _mm256_srli_epi32(_mm256_mullo_epi32(s, t), 16);
}

// One half (unpacklo or unpackhi order) of 16 samples: 16-bit lanes to two 32-bit groups and back.
template <int Mode>
OPX_INLINE __m256i finish16(__m256i sc, __m256i sp, __m256i sn, __m256i np, __m256i nn,
                            __m256i pp, __m256i pn, __m256i n, const Opx16u* table) noexcept {
    const __m256i z = _mm256_setzero_si256();
    auto lo = [&](__m256i v) { return _mm256_unpacklo_epi16(v, z); };
    auto hi = [&](__m256i v) { return _mm256_unpackhi_epi16(v, z); };
    const __m256i a = finish<Mode>(lo(sc), lo(sp), lo(sn), lo(np), lo(nn), lo(pp), lo(pn), n, table);
    const __m256i b = finish<Mode>(hi(sc), hi(sp), hi(sn), hi(np), hi(nn), hi(pp), hi(pn), n, table);
    return _mm256_packus_epi32(a, b);
}

// 32 samples at (y, x) whose whole window lies in the picture, any window (half-sizes from
// the arguments): 16-bit window sums and counts, the last step in 32-bit lanes with a gather.
template <int Mode>
OPX_INLINE void adaptive_span(const AdaptiveArgs& a, int y, int x) noexcept {
    // |v − c| < t  ⇔  lo ≤ v ≤ hi with lo = c − (t − 1), hi = c + (t − 1) saturated, tested as
    // (lo −sat v) | (v −sat hi) = 0. A threshold of 0 or below takes lo = 255, hi = 0: never.
    const __m256i c = ld(V256{}, row_of(a.cur, y, a.src_step) + x);
    const __m256i t1 = _mm256_set1_epi8(static_cast<char>(threshold_minus_1(a.threshold)));
    const bool none = a.threshold < 1;
    const __m256i low = none ? _mm256_set1_epi8(-1) : _mm256_subs_epu8(c, t1);
    const __m256i high = none ? _mm256_setzero_si256() : _mm256_adds_epu8(c, t1);
    const __m256i z = _mm256_setzero_si256();
    auto similar = [&](__m256i v) {
        return _mm256_cmpeq_epi8(_mm256_or_si256(_mm256_subs_epu8(low, v), _mm256_subs_epu8(v, high)), z);
    };
    Sums sc{z, z}, sp{z, z}, sn{z, z}, np{z, z}, nn{z, z};
    for (int j = -a.mh; j <= a.mh; ++j) {
        const Opx8u* p = row_of(a.prev, y + j, a.src_step) + x;
        const Opx8u* q = row_of(a.cur, y + j, a.src_step) + x;
        const Opx8u* r = row_of(a.next, y + j, a.src_step) + x;
        for (int i = -a.mw; i <= a.mw; ++i) {
            accumulate(sc, ld(V256{}, q + i));
            const __m256i vp = ld(V256{}, p + i), vn = ld(V256{}, r + i);
            const __m256i mp = similar(vp), mn = similar(vn);
            accumulate(sp, _mm256_and_si256(vp, mp));
            accumulate(sn, _mm256_and_si256(vn, mn));
            count(np, mp);
            count(nn, mn);
        }
    }
    Sums pp{z, z}, pn{z, z};
    accumulate(pp, ld(V256{}, row_of(a.prev, y, a.src_step) + x));
    accumulate(pn, ld(V256{}, row_of(a.next, y, a.src_step) + x));
    const __m256i n = _mm256_set1_epi32((2 * a.mw + 1) * (2 * a.mh + 1));
    const __m256i lo = finish16<Mode>(sc.lo, sp.lo, sn.lo, np.lo, nn.lo, pp.lo, pn.lo, n, a.table);
    const __m256i hi = finish16<Mode>(sc.hi, sp.hi, sn.hi, np.hi, nn.hi, pp.hi, pn.hi, n, a.table);
    st(row_of(a.dst, y, a.dst_step) + x, _mm256_packus_epi16(lo, hi));
}

// Windows of N ≤ 25 samples (1×1 and 2×2 half-sizes fixed at compile time) and thresholds of 1 or
// more. Counts stay in bytes (k ≤ 3N = 75) and sums in 16-bit lanes (s ≤ 255·k < 2^15), and
// the last step is a 16-bit one: T[k] by byte shuffles of 16-entry chunks (k >> 4, k & 15)
// and (s·T[k]) >> 16 as the high half of the 16-bit product.
template <int MW, int MH>
struct SmallWindow {
    static constexpr int kN = (2 * MW + 1) * (2 * MH + 1);
    static constexpr int kChunks = 3 * kN / 16 + 1;
    __m256i lo[kChunks], hi[kChunks];  // T[k] bytes, every chunk in both 128-bit lanes

    explicit SmallWindow(const Opx16u* table) noexcept {
        alignas(32) Opx8u l[kChunks][32] = {}, h[kChunks][32] = {};
        for (int k = 0; k <= 3 * kN; ++k) {
            l[k >> 4][k & 15] = l[k >> 4][16 + (k & 15)] = static_cast<Opx8u>(table[k] & 0xFF);
            h[k >> 4][k & 15] = h[k >> 4][16 + (k & 15)] = static_cast<Opx8u>(table[k] >> 8);
        }
        for (int c = 0; c < kChunks; ++c) {
            lo[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(l[c]));
            hi[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(h[c]));
        }
    }
};

// The sums of the rule gathered as one sum of byte vectors, in pairs: two bytes of a sample
// interleaved and multiplied by ones (maddubs) give their 16-bit sum, in the unpacklo (lo) and
// unpackhi (hi) order of the bytes.
struct PairedSum {
    __m256i lo, hi, pending;
    bool have = false;
    OPX_INLINE void add(__m256i v) noexcept {
        if (!have) {
            pending = v;
            have = true;
            return;
        }
        const __m256i ones = _mm256_set1_epi8(1);
        lo = _mm256_add_epi16(lo, _mm256_maddubs_epi16(_mm256_unpacklo_epi8(pending, v), ones));
        hi = _mm256_add_epi16(hi, _mm256_maddubs_epi16(_mm256_unpackhi_epi8(pending, v), ones));
        // Keep the sums a chain: regrouped into a tree of additions, the pair sums of a whole
        // window would be live at once, more than the 16 vector registers hold.
        __asm__("" : "+x"(lo), "+x"(hi));
        have = false;
    }
    OPX_INLINE void flush() noexcept {
        if (have) add(_mm256_setzero_si256());
    }
};

template <int Mode, int MW, int MH>
OPX_INLINE void adaptive_span_small(const AdaptiveArgs& a, int y, int x,
                                    const SmallWindow<MW, MH>& t) noexcept {
    // |v − c| < t  ⇔  lo ≤ v ≤ hi with lo = c − (t − 1), hi = c + (t − 1) saturated (t ≥ 1),
    // tested as clamp(v, lo, hi) = v.
    const __m256i c = ld(V256{}, row_of(a.cur, y, a.src_step) + x);
    const __m256i t1 = _mm256_set1_epi8(static_cast<char>(threshold_minus_1(a.threshold)));
    const __m256i low = _mm256_subs_epu8(c, t1), high = _mm256_adds_epu8(c, t1);
    auto similar = [&](__m256i v) {
        return _mm256_cmpeq_epi8(_mm256_max_epu8(_mm256_min_epu8(v, high), low), v);
    };
    const __m256i z = _mm256_setzero_si256();
    // s: the current window plus the similar samples of the pictures the mode averages; the
    // counts of similar samples in bytes (a mask byte of all ones is −1).
    PairedSum s{z, z, z};
    __m256i np = z, nn = z;
#pragma GCC unroll 8
    for (int j = -MH; j <= MH; ++j) {
        const Opx8u* p = row_of(a.prev, y + j, a.src_step) + x;
        const Opx8u* q = row_of(a.cur, y + j, a.src_step) + x;
        const Opx8u* r = row_of(a.next, y + j, a.src_step) + x;
#pragma GCC unroll 8
        for (int i = -MW; i <= MW; ++i) {
            const __m256i vp = ld(V256{}, p + i), vn = ld(V256{}, r + i);
            const __m256i mp = similar(vp), mn = similar(vn);
            np = _mm256_sub_epi8(np, mp);
            nn = _mm256_sub_epi8(nn, mn);
            if constexpr ((Mode & 1) != 0) s.add(_mm256_and_si256(vp, mp));
            if constexpr ((Mode & 2) != 0) s.add(_mm256_and_si256(vn, mn));
            s.add(ld(V256{}, q + i));
        }
    }
    // With no similar sample in either picture the rule takes the current window alone; else it
    // adds, for a picture the mode does not average, its centre sample, counted once (the sums
    // of similar samples are 0 when their counts are).
    const __m256i any = _mm256_xor_si256(_mm256_cmpeq_epi8(_mm256_or_si256(np, nn), z),
                                         _mm256_set1_epi8(-1));
    const __m256i one = _mm256_and_si256(any, _mm256_set1_epi8(1));
    __m256i k = _mm256_set1_epi8(SmallWindow<MW, MH>::kN);
    k = _mm256_add_epi8(k, (Mode & 1) ? np : one);
    k = _mm256_add_epi8(k, (Mode & 2) ? nn : one);
    if constexpr ((Mode & 1) == 0) s.add(_mm256_and_si256(ld(V256{}, row_of(a.prev, y, a.src_step) + x), any));
    if constexpr ((Mode & 2) == 0) s.add(_mm256_and_si256(ld(V256{}, row_of(a.next, y, a.src_step) + x), any));
    s.flush();
    // T[k]: chunk 0 by one shuffle, the others blended in where k falls in them.
    __m256i lo = _mm256_shuffle_epi8(t.lo[0], k), hi = _mm256_shuffle_epi8(t.hi[0], k);
    for (int ch = 1; ch < SmallWindow<MW, MH>::kChunks; ++ch) {
        const __m256i here = _mm256_cmpeq_epi8(_mm256_srli_epi16(_mm256_and_si256(k, _mm256_set1_epi8(0x70)), 4),
                                               _mm256_set1_epi8(static_cast<char>(ch)));
        lo = _mm256_blendv_epi8(lo, _mm256_shuffle_epi8(t.lo[ch], k), here);
        hi = _mm256_blendv_epi8(hi, _mm256_shuffle_epi8(t.hi[ch], k), here);
    }
    const __m256i r_lo = _mm256_mulhi_epu16(s.lo, _mm256_unpacklo_epi8(lo, hi));
    const __m256i r_hi = _mm256_mulhi_epu16(s.hi, _mm256_unpackhi_epi8(lo, hi));
    st(row_of(a.dst, y, a.dst_step) + x, _mm256_packus_epi16(r_lo, r_hi));
}

template <int Mode, int MW, int MH>
void adaptive_row_mode(const AdaptiveArgs& a, int y, int x0, int x1) noexcept {
    Opx8u* d = row_of(a.dst, y, a.dst_step);
    const bool rows_inside = y - a.mh >= 0 && y + a.mh <= a.height - 1;
    const bool small_window = (2 * a.mw + 1) * (2 * a.mh + 1) <= 257;
    // Columns whose window lies in the picture: mw ≤ x < width − mw.
    const int v0 = x0 > a.mw ? x0 : a.mw;
    const int v1 = x1 < a.width - a.mw ? x1 : a.width - a.mw;
    // Rows without a 32-sample span of whole windows: the portable row (the scalar rule built
    // for baseline x86-64 is the faster of the two here).
    if (!rows_inside || !small_window || v1 - v0 < 32) return ref::kDenoise.adaptive_row(a, y, x0, x1);
    for (int x = x0; x < v0; ++x) d[x] = adaptive_sample(a, y, x);
    if constexpr (MW > 0) {
        if (a.threshold >= 1) {
            const SmallWindow<MW, MH> t(a.table);
            int x = v0;
            for (; x + 32 <= v1; x += 32) adaptive_span_small<Mode, MW, MH>(a, y, x, t);
            if (x < v1) adaptive_span_small<Mode, MW, MH>(a, y, v1 - 32, t);
            for (x = v1; x < x1; ++x) d[x] = adaptive_sample(a, y, x);
            return;
        }
    }
    int x = v0;
    for (; x + 32 <= v1; x += 32) adaptive_span<Mode>(a, y, x);
    if (x < v1) adaptive_span<Mode>(a, y, v1 - 32);
    for (x = v1; x < x1; ++x) d[x] = adaptive_sample(a, y, x);
}

template <int MW, int MH>
void adaptive_row_window(const AdaptiveArgs& a, int y, int x0, int x1) noexcept {
    switch (a.mode) {
        case 0: return adaptive_row_mode<0, MW, MH>(a, y, x0, x1);
        case 1: return adaptive_row_mode<1, MW, MH>(a, y, x0, x1);
        case 2: return adaptive_row_mode<2, MW, MH>(a, y, x0, x1);
        default: return adaptive_row_mode<3, MW, MH>(a, y, x0, x1);
    }
}

void adaptive_row(const AdaptiveArgs& a, int y, int x0, int x1) noexcept {
    if (a.mw == 1 && a.mh == 1) return adaptive_row_window<1, 1>(a, y, x0, x1);
    if (a.mw == 2 && a.mh == 2) return adaptive_row_window<2, 2>(a, y, x0, x1);
    adaptive_row_window<0, 0>(a, y, x0, x1);
}

}  // namespace

extern const DenoiseKernels kDenoise = {&box_row, &map_row, &smooth_row, &adaptive_row};

}  // namespace opx::vpp::avx2
