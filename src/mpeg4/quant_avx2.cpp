// AVX2 quantisation kernels.
//
// Inverse kernels work one row (eight coefficients) at a time in 32-bit lanes, so that they touch
// exactly the rows up to the last index and no product wraps; packssdw gives the final 16-bit
// saturation. Forward kernels work on 16 coefficients at a time: the H.263 method and the b ≤ 8
// matrix method in 16-bit unsigned lanes (the reciprocal multiplications are pmulhuw), the b ≥ 9
// path in single precision (products and the bias addition as separate instructions, the same
// order as the portable kernel; no FMA). Counts come from per-lane comparisons in the same pass.
#include <immintrin.h>

#include "mpeg4/quant.hpp"

namespace opx::mpeg4::avx2 {
namespace {

OPX_INLINE __m256i load_row32(const Opx16s* p) noexcept {
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
OPX_INLINE void store_row32(Opx16s* p, __m256i v) noexcept {
    const __m128i packed =
        _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), packed);
}

void inv_uniform(Opx16s* c, int rows, bool skip_dc, const InvUniform& p) noexcept {
    if (rows <= 0) return;
    const Opx16s dc = c[0];
    const __m256i qp2 = _mm256_set1_epi32(p.qp2), odd = _mm256_set1_epi32(p.odd);
    const __m256i lo = _mm256_set1_epi32(p.lo), hi = _mm256_set1_epi32(p.hi);
    for (int y = 0; y < rows; ++y) {
        const __m256i v = load_row32(c + 8 * y);
        // |c| · qp2 + odd < 2^25; psignd restores the sign and zeroes the lanes whose level is 0.
        __m256i f = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_abs_epi32(v), qp2), odd);
        f = _mm256_sign_epi32(f, v);
        f = _mm256_min_epi32(_mm256_max_epi32(f, lo), hi);
        store_row32(c + 8 * y, f);
    }
    if (skip_dc) c[0] = dc;
}

std::int32_t inv_matrix(Opx16s* c, int rows, bool intra, const std::uint16_t* w, std::int32_t qp,
                        std::int32_t lo, std::int32_t hi) noexcept {
    if (rows <= 0) return 0;
    const Opx16s dc = c[0];
    const __m256i vqp = _mm256_set1_epi32(qp);
    const __m256i cap = _mm256_set1_epi32(1 << 20);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i vlo = _mm256_set1_epi32(lo), vhi = _mm256_set1_epi32(hi);
    __m256i sum = _mm256_setzero_si256();
    for (int y = 0; y < rows; ++y) {
        __m256i v = load_row32(c + 8 * y);
        if (intra && y == 0) v = _mm256_blend_epi32(v, _mm256_setzero_si256(), 1);
        const __m256i wt =
            _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * y)));
        // Magnitude: |c| (intra) or 2|c| + 1 (inter) times W, below 2^24. Any value above 2^20
        // gives at least 2^20 · QP / 16 = 65536 in magnitude, beyond every clamp range, so capping
        // it there keeps the product with QP (≤ 511) below 2^29 and changes no result.
        const __m256i a = _mm256_abs_epi32(v);
        const __m256i m = intra ? a : _mm256_add_epi32(_mm256_add_epi32(a, a), one);
        __m256i t = _mm256_min_epi32(_mm256_mullo_epi32(m, wt), cap);
        t = _mm256_mullo_epi32(t, vqp);
        t = intra ? _mm256_srli_epi32(t, 3) : _mm256_srli_epi32(t, 4);
        t = _mm256_sign_epi32(t, v);  // truncation towards zero; 0 stays 0
        t = _mm256_min_epi32(_mm256_max_epi32(t, vlo), vhi);
        sum = _mm256_add_epi32(sum, t);
        store_row32(c + 8 * y, t);
    }
    if (intra) c[0] = dc;
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return _mm_cvtsi128_si32(s);
}

OPX_INLINE __m256i load16(const Opx16s* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
OPX_INLINE void store16(Opx16s* p, __m256i v) noexcept {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
// Number of nonzero 16-bit lanes.
OPX_INLINE std::int32_t nonzero16(__m256i v) noexcept {
    const std::uint32_t zero =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(v, _mm256_setzero_si256())));
    return 16 - _mm_popcnt_u32(zero) / 2;
}

std::int32_t fwd_uniform(Opx16s* c, int first, FwdMode mode, std::int32_t qp,
                         std::int32_t limit) noexcept {
    const Opx16s dc = c[0];
    const __m256i r = _mm256_set1_epi16(static_cast<short>(step_recip(qp)));
    const __m256i half = _mm256_set1_epi16(static_cast<short>(qp / 2));
    const __m256i adv = _mm256_set1_epi16(static_cast<short>(3 * qp / 4));
    const __m256i max15 = _mm256_set1_epi16(32767);
    const __m256i lim = _mm256_set1_epi16(static_cast<short>(limit < 32767 ? limit : 32767));
    std::int32_t count = 0;
    for (int i = 0; i < 64; i += 16) {
        const __m256i v = load16(c + i);
        const __m256i a = _mm256_abs_epi16(v);  // as unsigned: |−32768| = 32768
        __m256i m;
        if (qp == 1) {
            m = _mm256_srli_epi16(a, 1);
        } else if (mode == kFwdInter) {
            m = _mm256_mulhi_epu16(_mm256_subs_epu16(a, half), r);
        } else if (mode == kFwdIntra) {
            m = _mm256_mulhi_epu16(a, r);
        } else {
            m = _mm256_mulhi_epu16(_mm256_min_epu16(_mm256_adds_epu16(a, adv), max15), r);
        }
        m = _mm256_min_epu16(m, lim);  // every magnitude here is at most 16384
        m = _mm256_sign_epi16(m, v);
        count += nonzero16(m);
        store16(c + i, m);
    }
    if (first == 1) {
        count -= c[0] != 0;
        c[0] = dc;
    }
    return count;
}

std::int32_t fwd_matrix(Opx16s* c, int first, bool intra, const std::uint16_t* half_w,
                        const std::uint16_t* rw, std::int32_t qp) noexcept {
    const Opx16s dc = c[0];
    const __m256i r = _mm256_set1_epi16(static_cast<short>(step_recip(qp)));
    const __m256i kin = _mm256_set1_epi16(static_cast<short>((3 * qp + 2) / 4));
    const __m256i cap = _mm256_set1_epi16(2047);
    std::int32_t count = 0;
    for (int i = 0; i < 64; i += 16) {
        const __m256i v = load16(c + i);
        const __m256i a = _mm256_abs_epi16(v);
        const __m256i hw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(half_w + i));
        const __m256i rr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rw + i));
        // 16-bit unsigned intermediates, wrapping as the portable kernel does.
        const __m256i x = _mm256_add_epi16(_mm256_slli_epi16(a, 4), hw);
        __m256i t = _mm256_mulhi_epu16(x, rr);
        if (intra) t = _mm256_add_epi16(t, kin);
        __m256i m = _mm256_min_epu16(_mm256_mulhi_epu16(t, r), cap);
        m = _mm256_sign_epi16(m, v);
        count += nonzero16(m);
        store16(c + i, m);
    }
    if (first == 1) {
        count -= c[0] != 0;
        c[0] = dc;
    }
    return count;
}

std::int32_t fwd_float(Opx16s* c, int first, const FwdFloat& p) noexcept {
    const Opx16s dc = c[0];
    const __m256i dead = _mm256_set1_epi32(p.dead);
    const __m256 a = _mm256_set1_ps(p.a);
    const __m256 bias = _mm256_set1_ps(p.pos_bias);
    const __m256 sign_bit = _mm256_set1_ps(-0.0f);
    const __m256i cap = _mm256_set1_epi16(2047), ncap = _mm256_set1_epi16(-2047);
    std::int32_t count = 0;
    for (int i = 0; i < 64; i += 16) {
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i v = load_row32(c + i + 8 * h);
            const __m256i pos = _mm256_cmpgt_epi32(v, _mm256_setzero_si256());
            // c − dead for c > 0, c + dead otherwise.
            const __m256i x = _mm256_add_epi32(
                v, _mm256_sub_epi32(_mm256_xor_si256(dead, pos), pos));
            const __m256 neg = _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_setzero_si256(), v));
            const __m256 b = _mm256_or_ps(bias, _mm256_and_ps(neg, sign_bit));
            __m256 f = _mm256_mul_ps(_mm256_cvtepi32_ps(x), a);
            f = _mm256_mul_ps(f, _mm256_loadu_ps(p.rw + i + 8 * h));
            f = _mm256_add_ps(f, b);
            half[h] = _mm256_cvttps_epi32(f);
        }
        // packssdw interleaves the 128-bit lanes; restore raster order.
        __m256i l = _mm256_permute4x64_epi64(_mm256_packs_epi32(half[0], half[1]), 0xD8);
        l = _mm256_max_epi16(_mm256_min_epi16(l, cap), ncap);
        count += nonzero16(l);
        store16(c + i, l);
    }
    if (first == 1) {
        count -= c[0] != 0;
        c[0] = dc;
    }
    return count;
}

}  // namespace

const QuantKernels kQuant = {inv_uniform, inv_matrix, fwd_uniform, fwd_matrix, fwd_float};

}  // namespace opx::mpeg4::avx2
