// AVX2 8×4 pair of inter 4×4 blocks with flat dequantisation: each 128-bit lane of the 256-bit
// registers holds one block, laid out as [row 0 | row 1], [row 2 | row 3] of 16-bit values, so
// the in-lane unpacks transpose both blocks at once. The arithmetic is that of the per-block
// kernel: 16-bit wrapping products for the dequantisation, 16-bit saturating additions and
// subtractions in both transform passes and for + 32, an arithmetic >> 6, a saturating addition
// of the prediction and an unsigned pack for the clamp to 0..255.
#include <immintrin.h>

#include <cstring>

#include "h264/decode/recon.hpp"

namespace opx::h264::avx2 {
namespace {

struct Pair {
    __m256i a, b;  // per lane: [v0 | v1], [v2 | v3]
};

// [r0 | r1], [r2 | r3] -> [c0 | c1], [c2 | c3] in each lane.
OPX_INLINE Pair transpose(Pair p) {
    const __m256i t0 = _mm256_unpacklo_epi16(p.a, p.b);
    const __m256i t1 = _mm256_unpackhi_epi16(p.a, p.b);
    return {_mm256_unpacklo_epi16(t0, t1), _mm256_unpackhi_epi16(t0, t1)};
}

// One pass of the 4-point inverse transform (clause 8.5.12.2) on [v0 | v1], [v2 | v3]:
// e0 = v0 + v2, e1 = v0 - v2, e2 = (v1 >> 1) - v3, e3 = v1 + (v3 >> 1);
// out = (e0 + e3, e1 + e2, e1 - e2, e0 - e3), every sum saturated to 16 bits.
OPX_INLINE Pair pass(Pair p) {
    const __m256i xh = _mm256_blend_epi16(p.a, _mm256_srai_epi16(p.a, 1), 0xF0);  // [v0 | v1>>1]
    const __m256i yh = _mm256_blend_epi16(p.b, _mm256_srai_epi16(p.b, 1), 0xF0);  // [v2 | v3>>1]
    const __m256i e03 = _mm256_adds_epi16(p.a, yh);
    const __m256i e12 = _mm256_subs_epi16(xh, p.b);
    const __m256i t1 = _mm256_unpacklo_epi64(e03, e12);  // [e0 | e1]
    const __m256i t2 = _mm256_unpackhi_epi64(e03, e12);  // [e3 | e2]
    const __m256i o01 = _mm256_adds_epi16(t1, t2);
    const __m256i o32 = _mm256_subs_epi16(t1, t2);
    return {o01, _mm256_shuffle_epi32(o32, 0x4E)};
}

// The upper 8 bytes of a register to unaligned memory.
OPX_INLINE void store_high64(Opx8u* p, __m128i v) {
    const long long q = _mm_extract_epi64(v, 1);
    std::memcpy(p, &q, 8);
}

OPX_INLINE __m128i load64(const Opx8u* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept {
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kDequantFlat4x4[qp]));
    const __m256i b0 =
        _mm256_mullo_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs)), f);
    const __m256i b1 =
        _mm256_mullo_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs + 16)), f);
    Pair p{_mm256_permute2x128_si256(b0, b1, 0x20), _mm256_permute2x128_si256(b0, b1, 0x31)};
    p = pass(transpose(p));
    p = pass(transpose(p));
    const __m256i k32 = _mm256_set1_epi16(32);
    const __m256i r01 = _mm256_srai_epi16(_mm256_adds_epi16(p.a, k32), 6);
    const __m256i r23 = _mm256_srai_epi16(_mm256_adds_epi16(p.b, k32), 6);
    // Prediction rows as [block 0 row r | block 0 row r + 1] per lane, block 1 in the high lane.
    const __m128i q01 = _mm_unpacklo_epi32(load64(dst), load64(dst + step));
    const __m128i q23 = _mm_unpacklo_epi32(load64(dst + 2 * step), load64(dst + 3 * step));
    const __m256i s01 = _mm256_adds_epi16(_mm256_cvtepu8_epi16(q01), r01);
    const __m256i s23 = _mm256_adds_epi16(_mm256_cvtepu8_epi16(q23), r23);
    // Lane dwords: block 0 rows 0..3, block 1 rows 0..3 -> row 0 of both, row 1 of both, ...
    const __m256i out = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(s01, s23),
                                                    _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    const __m128i lo = _mm256_castsi256_si128(out), hi = _mm256_extracti128_si256(out, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), lo);
    store_high64(dst + step, lo);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * step), hi);
    store_high64(dst + 3 * step, hi);
}

// The 16-bit-sample pair with matrix dequantisation: each 128-bit lane holds one block's row
// (block n low, block n + 1 high), four registers the four rows. Everything wraps in 32 bits as
// the per-block kernel does: mullo products, rounding and shifts, both transform passes (each
// after an in-lane 4×4 transpose), + 32 and >> 6; the prediction is widened from 8 samples per
// row and the sum clamped to 0..max_sample.
namespace {

OPX_INLINE void transpose4x4_lanes(__m256i* r) {
    const __m256i a0 = _mm256_unpacklo_epi32(r[0], r[1]), a1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(r[2], r[3]), a3 = _mm256_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm256_unpacklo_epi64(a0, a2);
    r[1] = _mm256_unpackhi_epi64(a0, a2);
    r[2] = _mm256_unpacklo_epi64(a1, a3);
    r[3] = _mm256_unpackhi_epi64(a1, a3);
}

// Clause 8.5.12.2 on vectors d0..d3 (element j of each row, or row i of each column).
OPX_INLINE void idct4_pass(__m256i* r) {
    const __m256i e0 = _mm256_add_epi32(r[0], r[2]), e1 = _mm256_sub_epi32(r[0], r[2]);
    const __m256i e2 = _mm256_sub_epi32(_mm256_srai_epi32(r[1], 1), r[3]);
    const __m256i e3 = _mm256_add_epi32(r[1], _mm256_srai_epi32(r[3], 1));
    r[0] = _mm256_add_epi32(e0, e3);
    r[1] = _mm256_add_epi32(e1, e2);
    r[2] = _mm256_sub_epi32(e1, e2);
    r[3] = _mm256_sub_epi32(e0, e3);
}

}  // namespace

void add4x4_matrix_pair_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                             int qp, int max_sample, const Opx16s* level_scale) noexcept {
    const int q6 = qp / 6;
    __m256i r[4];
    for (int h = 0; h < 2; ++h) {
        // [n row 2h | n row 2h + 1] and the same of n + 1 -> [n row | n + 1 row] per register.
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs + 8 * h));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs + 16 + 8 * h));
        r[2 * h] = _mm256_permute2x128_si256(a, b, 0x20);
        r[2 * h + 1] = _mm256_permute2x128_si256(a, b, 0x31);
    }
    const __m128i sh = _mm_cvtsi32_si128(qp < 24 ? 4 - q6 : q6 - 4);
    const __m256i round = _mm256_set1_epi32(qp < 24 ? 1 << (3 - q6) : 0);
    for (int i = 0; i < 4; ++i) {
        const __m256i ls = _mm256_broadcastsi128_si256(_mm_cvtepi16_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(level_scale + 4 * i))));
        const __m256i d = _mm256_mullo_epi32(r[i], ls);
        r[i] = qp < 24 ? _mm256_sra_epi32(_mm256_add_epi32(d, round), sh) : _mm256_sll_epi32(d, sh);
    }
    if (dc)
        r[0] = _mm256_blend_epi32(r[0], _mm256_setr_epi32(dc[0], 0, 0, 0, dc[1], 0, 0, 0), 0x11);
    transpose4x4_lanes(r);
    idct4_pass(r);
    transpose4x4_lanes(r);
    idct4_pass(r);
    const __m256i k32 = _mm256_set1_epi32(32), zero = _mm256_setzero_si256(),
                  top = _mm256_set1_epi32(max_sample);
    for (int i = 0; i < 4; ++i) r[i] = _mm256_srai_epi32(_mm256_add_epi32(r[i], k32), 6);
    for (int h = 0; h < 2; ++h) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(coeffs + 8 * h),
                            _mm256_permute2x128_si256(r[2 * h], r[2 * h + 1], 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(coeffs + 16 + 8 * h),
                            _mm256_permute2x128_si256(r[2 * h], r[2 * h + 1], 0x31));
    }
    for (int y = 0; y < 4; ++y) {
        Opx16u* row = dst + y * step;
        const __m256i p =
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
        const __m256i v = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(p, r[y]), zero), top);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm256_castsi256_si128(packed));
    }
}

}  // namespace opx::h264::avx2
