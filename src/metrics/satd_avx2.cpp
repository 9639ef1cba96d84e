// AVX2-build SATD and SAT8x8D kernels: Hadamard butterflies in 16-bit lanes (8-bit samples) or
// 32-bit lanes (16-bit samples).
//
// Bounds for 8-bit samples: differences are within ±255; every butterfly stage at most doubles
// the magnitude, so the 4×4 coefficients stay within 16 × 255 = 4080 and the 8×8 ones within
// 64 × 255 = 16320: 16-bit lanes never overflow. The last stage is not computed: for a pair
// (a, b), |a + b| + |a − b| = 2 × max(|a|, |b|).
#include "metrics/rows_avx2.hpp"
#include "metrics/satd.hpp"

namespace opx::metrics::avx2 {
namespace {

// s − r of eight byte pairs as 16-bit lanes: bytes interleaved (s, r) and multiplied by (1, −1).
OPX_INLINE __m128i diff8(__m128i s, __m128i r) noexcept {
    return _mm_maddubs_epi16(_mm_unpacklo_epi8(s, r), _mm_set1_epi16(0xFF01));
}
// The same from zero-extended bytes: shorter latency than the multiply, which matters for the
// small blocks.
OPX_INLINE __m128i diff8_zx(__m128i s, __m128i r) noexcept {
    return _mm_sub_epi16(_mm_cvtepu8_epi16(s), _mm_cvtepu8_epi16(r));
}

// The 16-bit lane operations of the SATD butterflies, for 128-bit vectors (one 8×4 unit) and
// 256-bit vectors (two units, one per 128-bit half: every operation here stays within its half).
#define OPX_SATD_OP(name, op)                                \
    OPX_INLINE __m128i name(__m128i a, __m128i b) noexcept { \
        return _mm_##op(a, b);                               \
    }                                                        \
    OPX_INLINE __m256i name(__m256i a, __m256i b) noexcept { \
        return _mm256_##op(a, b);                            \
    }
OPX_SATD_OP(add16, add_epi16)
OPX_SATD_OP(sub16, sub_epi16)
OPX_SATD_OP(max16, max_epi16)
OPX_SATD_OP(unpacklo16, unpacklo_epi16)
OPX_SATD_OP(unpackhi16, unpackhi_epi16)
OPX_SATD_OP(unpacklo32, unpacklo_epi32)
OPX_SATD_OP(unpackhi32, unpackhi_epi32)
OPX_SATD_OP(unpacklo64, unpacklo_epi64)
OPX_SATD_OP(unpackhi64, unpackhi_epi64)
#undef OPX_SATD_OP
OPX_INLINE __m128i abs16(__m128i a) noexcept {
    return _mm_abs_epi16(a);
}
OPX_INLINE __m256i abs16(__m256i a) noexcept {
    return _mm256_abs_epi16(a);
}

// 4-point butterflies across four vectors (pairs at distance 1, then 2).
template <class V>
OPX_INLINE void hadamard4(V (&v)[4]) noexcept {
    const V a0 = add16(v[0], v[1]), a1 = sub16(v[0], v[1]);
    const V a2 = add16(v[2], v[3]), a3 = sub16(v[2], v[3]);
    v[0] = add16(a0, a2);
    v[1] = sub16(a0, a2);
    v[2] = add16(a1, a3);
    v[3] = sub16(a1, a3);
}

// Four rows, two 4×4 blocks side by side (lanes 0..3 block A, 4..7 block B) per 128 bits.
// Returns eight 16-bit lanes per 128 bits, each max(|a|, |b|) + max(|c|, |d|) ≤ 4080 of two
// final butterfly pairs; twice their sum is the SATD of both blocks.
template <class V>
OPX_INLINE V satd_8x4(V r0, V r1, V r2, V r3) noexcept {
    // Vertical 4-point transform (rows).
    V v[4] = {r0, r1, r2, r3};
    hadamard4(v);
    const V v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3];
    // Transpose each 4×4: y0 = [A col 0 | A col 1], y1 = [A col 2 | A col 3], y2, y3 for B.
    const V x0 = unpacklo16(v0, v1), x1 = unpackhi16(v0, v1);
    const V x2 = unpacklo16(v2, v3), x3 = unpackhi16(v2, v3);
    const V y0 = unpacklo32(x0, x2), y1 = unpackhi32(x0, x2);
    const V y2 = unpacklo32(x1, x3), y3 = unpackhi32(x1, x3);
    // Horizontal transform: (c0 ± c2, c1 ± c3), then the last stage as a maximum.
    const V sa = add16(y0, y1), ta = sub16(y0, y1);
    const V sb = add16(y2, y3), tb = sub16(y2, y3);
    const V ma = max16(abs16(unpacklo64(sa, ta)), abs16(unpackhi64(sa, ta)));
    const V mb = max16(abs16(unpacklo64(sb, tb)), abs16(unpackhi64(sb, tb)));
    return add16(ma, mb);
}

// 2 × the sum of 16-bit lanes (each lane below 32768).
OPX_INLINE std::int32_t twice_sum(__m128i v) noexcept {
    return hsum_epi32(_mm_madd_epi16(v, _mm_set1_epi16(2)));
}

// One 4×4 block, rows 0 and 2 in the two 128-bit halves of one vector, rows 1 and 3 in another
// (where 256-bit operations run at full width, as on the benchmark machine, the second half
// costs nothing).
//
// Horizontal transform as a product: the row's four bytes are broadcast to every dword, and
// pmaddubsw multiplies them by twice the signs of one Hadamard row per dword (words: 2 (c0 ± c1),
// 2 (c2 ± c3), each within ±1020). S and R are transformed apart (the transform is linear) and
// subtracted in 16 bits (±2040); pmaddwd adds the pairs: each coefficient doubled (and negated),
// ±2040, one row of four per 128-bit half. No shuffle up to here.
// Vertical transform: the first stage adds and subtracts the two vectors (rows 0 ± 1 | 2 ± 3,
// ±4080); the last stage pairs the two halves and is taken as max (|a + b| + |a − b| =
// 2 max(|a|, |b|), the factor 2 already in the doubled values), so the sum of the maxima is the
// SATD.
std::int32_t satd_4x4(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                      std::int32_t ref_step) noexcept {
    const auto rows = [](const Opx8u* p, std::int32_t step, int lo, int hi) {
        std::int32_t a, b;
        std::memcpy(&a, row8(p, lo, step), 4);
        std::memcpy(&b, row8(p, hi, step), 4);
        return _mm256_blend_epi32(_mm256_set1_epi32(a), _mm256_set1_epi32(b), 0xF0);
    };
    // Twice the signs of the Hadamard rows (1 1 1 1), (1 −1 1 −1), (1 1 −1 −1), (1 −1 −1 1), one
    // per dword.
    const __m256i signs = _mm256_setr_epi8(2, 2, 2, 2, 2, -2, 2, -2, 2, 2, -2, -2, 2, -2, -2, 2,  //
                                           2, 2, 2, 2, 2, -2, 2, -2, 2, 2, -2, -2, 2, -2, -2, 2);
    // pmaddwd by −1 rather than 1: an all-ones vector needs no constant, and the sign is lost in
    // the absolute values below.
    const __m256i minus_one = _mm256_set1_epi16(-1);
    const auto transform = [&](__m256i s, __m256i r) {
        return _mm256_madd_epi16(
            _mm256_sub_epi16(_mm256_maddubs_epi16(s, signs), _mm256_maddubs_epi16(r, signs)),
            minus_one);
    };
    const __m256i h02 = transform(rows(src, src_step, 0, 2), rows(ref, ref_step, 0, 2));
    const __m256i h13 = transform(rows(src, src_step, 1, 3), rows(ref, ref_step, 1, 3));
    const __m256i a = _mm256_abs_epi32(_mm256_add_epi32(h02, h13));
    const __m256i b = _mm256_abs_epi32(_mm256_sub_epi32(h02, h13));
    const __m128i m =
        _mm_add_epi32(_mm_max_epi32(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1)),
                      _mm_max_epi32(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1)));
    return hsum_epi32(m);
}

// s − r of the byte pairs as 16-bit lanes, per 128-bit half: bytes interleaved (s, r) and
// multiplied by (1, −1).
OPX_INLINE __m256i diff8(__m256i s, __m256i r) noexcept {
    return _mm256_maddubs_epi16(_mm256_unpacklo_epi8(s, r), _mm256_set1_epi16(0xFF01));
}
// Eight bytes of row y in the low 128 bits, of row y + 4 in the high ones.
OPX_INLINE __m256i rows_y_y4(const Opx8u* p, std::int32_t step, int y) noexcept {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(load8(row8(p, y, step))),
                                   load8(row8(p, y + 4, step)), 1);
}

// Four 4×4 blocks side by side in each 128-bit half: sixteen bytes of their row k in s[k] and
// r[k]. Returns 16-bit lanes, each the sum of four maxima ≤ 4 × 2040 = 8160; twice the sum of
// the lanes is the SATD of the eight blocks.
//
// The first horizontal stage is a product: pmaddubsw of the bytes by (1, 1) gives p = c0 + c1,
// q = c2 + c3 in one dword per block row, by (1, −1) m = c0 − c1, n = c2 − c3 (S and R apart,
// then subtracted: ±510), with no shuffle. The last horizontal stage pairs p with q and m with n;
// two blends and a swap of the halves of each dword regroup them as (p, n) and (q, m) at the
// same places of two vectors, so that after the vertical transform between the rows (±2040) it
// is the maximum of two vectors.
OPX_INLINE __m256i satd_16x4(const __m256i (&s)[4], const __m256i (&r)[4]) noexcept {
    const __m256i plus = _mm256_set1_epi8(1), plus_minus = _mm256_set1_epi16(0xFF01);
    const __m256i swap_words =
        _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13, 2, 3, 0, 1, 6, 7, 4,
                         5, 10, 11, 8, 9, 14, 15, 12, 13);
    __m256i a[4], b[4];
    for (int k = 0; k < 4; ++k) {
        const __m256i pq =
            _mm256_sub_epi16(_mm256_maddubs_epi16(s[k], plus), _mm256_maddubs_epi16(r[k], plus));
        const __m256i mn = _mm256_sub_epi16(_mm256_maddubs_epi16(s[k], plus_minus),
                                            _mm256_maddubs_epi16(r[k], plus_minus));
        a[k] = _mm256_blend_epi16(pq, mn, 0xAA);
        b[k] = _mm256_shuffle_epi8(_mm256_blend_epi16(mn, pq, 0xAA), swap_words);
    }
    hadamard4(a);
    hadamard4(b);
    __m256i m[4];
    for (int i = 0; i < 4; ++i) m[i] = max16(abs16(a[i]), abs16(b[i]));
    return add16(add16(m[0], m[1]), add16(m[2], m[3]));
}
// Row k of the blocks for satd_16x4: W = 16: rows k and k + 4 of eight (all sixteen bytes);
// W = 8: rows k, k + 8 in the low half, k + 4, k + 12 in the high one (eight bytes each).
template <int W>
OPX_INLINE __m256i rows16(const Opx8u* p, std::int32_t step, int k) noexcept {
    if constexpr (W == 16) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(load16(row8(p, k, step))),
                                       load16(row8(p, k + 4, step)), 1);
    } else {
        const __m128i lo = load8x2(row8(p, k, step), row8(p, k + 8, step));
        const __m128i hi = load8x2(row8(p, k + 4, step), row8(p, k + 12, step));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
}

// Width 16 and 8×16: satd_16x4 on eight rows at a time (two steps at most: 16320 per lane in the
// 16-bit accumulator, 32640 once its halves are added). 8×8: two 8×4 units in one 256-bit
// vector; 8×4: one in 128 bits. Width 4, height 8: the two 4×4 blocks side by side (row k
// beside row k + 4).
template <int W, int H>
OPX_INLINE std::int32_t satd(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                             std::int32_t ref_step) noexcept {
    if constexpr (W == 4 && H == 4) {
        return satd_4x4(src, src_step, ref, ref_step);
    } else if constexpr (W == 4) {
        static_assert(H == 8);
        __m128i d[4];
        for (int k = 0; k < 4; ++k) {
            const __m128i s = _mm_unpacklo_epi32(load4(row8(src, k, src_step)),
                                                 load4(row8(src, k + 4, src_step)));
            const __m128i r = _mm_unpacklo_epi32(load4(row8(ref, k, ref_step)),
                                                 load4(row8(ref, k + 4, ref_step)));
            d[k] = diff8_zx(s, r);
        }
        return twice_sum(satd_8x4(d[0], d[1], d[2], d[3]));
    } else if constexpr (H == 4) {
        static_assert(W == 8);
        __m128i d[4];
        for (int k = 0; k < 4; ++k)
            d[k] = diff8(load8(row8(src, k, src_step)), load8(row8(ref, k, ref_step)));
        return twice_sum(satd_8x4(d[0], d[1], d[2], d[3]));
    } else if constexpr (W == 8 && H == 8) {
        __m256i d[4];
        for (int k = 0; k < 4; ++k)
            d[k] = diff8(rows_y_y4(src, src_step, k), rows_y_y4(ref, ref_step, k));
        const __m256i m = satd_8x4(d[0], d[1], d[2], d[3]);
        return twice_sum(_mm_add_epi16(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1)));
    } else {
        static_assert(W == 16 || (W == 8 && H == 16));
        constexpr int kRows = W == 16 ? 8 : 16;  // rows per satd_16x4 step
        __m256i acc = _mm256_setzero_si256();
        for (int y = 0; y < H; y += kRows) {
            __m256i s[4], r[4];
            for (int k = 0; k < 4; ++k) {
                s[k] = rows16<W>(row8(src, y, src_step), src_step, k);
                r[k] = rows16<W>(row8(ref, y, ref_step), ref_step, k);
            }
            acc = add16(acc, satd_16x4(s, r));
        }
        return twice_sum(
            _mm_add_epi16(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1)));
    }
}

// ---- 8×8 Hadamard ------------------------------------------------------------------------------

// Butterflies across eight vectors in Sylvester order (pairs at distance 1, 2, 4).
template <class V, class Add, class Sub>
OPX_INLINE void hadamard8(V (&v)[8], Add add, Sub sub, int stages = 3) noexcept {
    for (int dist = 1, s = 0; s < stages; dist <<= 1, ++s)
        for (int i = 0; i < 8; ++i)
            if (!(i & dist)) {
                const V a = v[i], b = v[i + dist];
                v[i] = add(a, b);
                v[i + dist] = sub(a, b);
            }
}

// Rows k and k + 4 in the two 128-bit halves of d[k]. The vertical stages at distance 1 and 2
// run between the vectors; each half is transposed to two columns per vector ([c0 | c1],
// [c2 | c3], [c4 | c5], [c6 | c7]), so that the horizontal stages at distance 2 and 4 run between
// the vectors too, and the one at distance 1 once the 64-bit halves are regrouped. The last stage,
// vertical at distance 4, pairs the two 128-bit halves and is taken as 2 × max: lanes at most
// 32 × 255 = 8160, four of them summed per lane ≤ 32640.
std::int32_t sat8x8d(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                     std::int32_t ref_step) noexcept {
    __m256i d[4];
    for (int k = 0; k < 4; ++k)
        d[k] = diff8(rows_y_y4(src, src_step, k), rows_y_y4(ref, ref_step, k));
    hadamard4(d);
    const __m256i x0 = unpacklo16(d[0], d[1]), x1 = unpackhi16(d[0], d[1]);
    const __m256i x2 = unpacklo16(d[2], d[3]), x3 = unpackhi16(d[2], d[3]);
    __m256i c[4] = {unpacklo32(x0, x2), unpackhi32(x0, x2), unpacklo32(x1, x3), unpackhi32(x1, x3)};
    hadamard4(c);
    const __m256i z0 = unpacklo64(c[0], c[1]), z1 = unpackhi64(c[0], c[1]);
    const __m256i z2 = unpacklo64(c[2], c[3]), z3 = unpackhi64(c[2], c[3]);
    // The halves are paired by extraction rather than a 128-bit permute, which some processors
    // split into many micro-operations.
    const auto max_halves = [](__m256i w) {
        return max16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    };
    const __m128i m0 = max_halves(abs16(add16(z0, z1))), m1 = max_halves(abs16(sub16(z0, z1)));
    const __m128i m2 = max_halves(abs16(add16(z2, z3))), m3 = max_halves(abs16(sub16(z2, z3)));
    return twice_sum(add16(add16(m0, m1), add16(m2, m3)));
}

// 16-bit samples: exact differences (within ±65535) in 32-bit lanes, one row per 256-bit vector;
// coefficients at most 64 × 65535 < 2^22, their sum below 2^28.
std::int32_t sat8x8d_16u(const Opx16u* src, std::int32_t src_step, const Opx16u* ref,
                         std::int32_t ref_step) noexcept {
    __m256i d[8];
    for (int y = 0; y < 8; ++y)
        d[y] = _mm256_sub_epi32(_mm256_cvtepu16_epi32(load16(row_t(src, y, src_step))),
                                _mm256_cvtepu16_epi32(load16(row_t(ref, y, ref_step))));
    const auto add = [](__m256i a, __m256i b) { return _mm256_add_epi32(a, b); };
    const auto sub = [](__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); };
    hadamard8(d, add, sub);
    // Transpose 8×8 dwords: in-lane unpacks, then 128-bit halves exchanged.
    __m256i t[8], u[8];
    for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm256_unpacklo_epi32(d[2 * i], d[2 * i + 1]);
        t[2 * i + 1] = _mm256_unpackhi_epi32(d[2 * i], d[2 * i + 1]);
    }
    for (int i = 0; i < 2; ++i) {
        u[4 * i + 0] = _mm256_unpacklo_epi64(t[4 * i + 0], t[4 * i + 2]);
        u[4 * i + 1] = _mm256_unpackhi_epi64(t[4 * i + 0], t[4 * i + 2]);
        u[4 * i + 2] = _mm256_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
        u[4 * i + 3] = _mm256_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        d[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        d[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
    hadamard8(d, add, sub, 2);
    __m256i m = _mm256_setzero_si256();
    for (int i = 0; i < 4; ++i)
        m = _mm256_add_epi32(m,
                             _mm256_max_epi32(_mm256_abs_epi32(d[i]), _mm256_abs_epi32(d[i + 4])));
    const __m128i h = _mm_add_epi32(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1));
    return 2 * hsum_epi32(h);
}

template <std::size_t... S>
constexpr SatdKernels make(std::index_sequence<S...>) {
    SatdKernels k{};
    ((k.satd[S] = &stored<&satd<kSatdSizes[S].width, kSatdSizes[S].height>, Opx8u>), ...);
    k.sat8x8d = &stored<&sat8x8d, Opx8u>;
    k.sat8x8d_16u = &stored<&sat8x8d_16u, Opx16u>;
    return k;
}

}  // namespace

extern const SatdKernels kSatd = make(std::make_index_sequence<kNumSatdSizes>());

}  // namespace opx::metrics::avx2
