// VC-1 deblocking and overlap smoothing, AVX2.
//
// Deblocking: the sixteen lines of an edge (luma: 16 lines; chroma: 8 lines in lanes 0..7;
// interleaved chroma: U in lanes 0..7, V in lanes 8..15) sit in the 16-bit lanes of eight
// registers P1..P8, one register per position across the edge. One body filters all lines at
// once; each line's own decision is masked by the decision of its segment's third line (lanes
// 2, 6, 10, 14) and by the enabled segments (one 64-bit quarter of a register per segment).
// Horizontal edges load rows straight into P1..P8; vertical edges transpose 16 rows of 8 bytes
// in and write the two changed columns back. All intermediates fit 16 bits (|a0| <= 223).
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "vc1/loopfilter.hpp"

namespace opx::vc1::avx2 {
namespace {

// a / 2^s truncated toward zero.
template <int S>
OPX_INLINE __m256i div_trunc(__m256i a) noexcept {
    const __m256i bias =
        _mm256_and_si256(_mm256_srai_epi16(a, 15), _mm256_set1_epi16((1 << S) - 1));
    return _mm256_srai_epi16(_mm256_add_epi16(a, bias), S);
}

// (2 (a - d) - 5 (b - c) + 4) >> 3
OPX_INLINE __m256i edge_term(__m256i a, __m256i b, __m256i c, __m256i d) noexcept {
    const __m256i ad = _mm256_sub_epi16(a, d), bc = _mm256_sub_epi16(b, c);
    const __m256i t =
        _mm256_sub_epi16(_mm256_add_epi16(ad, ad), _mm256_add_epi16(_mm256_slli_epi16(bc, 2), bc));
    return _mm256_srai_epi16(_mm256_add_epi16(t, _mm256_set1_epi16(4)), 3);
}

// The filter body: p[0..7] = P1..P8 of sixteen lines; updates p[3] (P4) and p[4] (P5).
OPX_INLINE void filter16(__m256i p[8], int pquant, unsigned segments) noexcept {
    const __m256i pq = _mm256_set1_epi16(static_cast<short>(pquant > 32767 ? 32767
                                                            : pquant < 0   ? 0
                                                                           : pquant));
    const __m256i a0 = edge_term(p[2], p[3], p[4], p[5]);
    const __m256i a1 = edge_term(p[0], p[1], p[2], p[3]);
    const __m256i a2 = edge_term(p[4], p[5], p[6], p[7]);
    const __m256i abs_a0 = _mm256_abs_epi16(a0);
    const __m256i a3 = _mm256_min_epi16(_mm256_abs_epi16(a1), _mm256_abs_epi16(a2));
    const __m256i diff = _mm256_sub_epi16(p[3], p[4]);
    const __m256i clip = div_trunc<1>(diff);
    const __m256i zero = _mm256_setzero_si256();
    // |a0| < PQUANT, a3 < |a0|, clip != 0.
    __m256i on = _mm256_and_si256(_mm256_cmpgt_epi16(pq, abs_a0), _mm256_cmpgt_epi16(abs_a0, a3));
    on = _mm256_andnot_si256(_mm256_cmpeq_epi16(clip, zero), on);
    // d = 5 (sign(a0) a3 - a0) / 8 (truncating); limited toward clip's sign: with s = sign(clip),
    // d' = s clamp(s d, 0, |clip|).
    const __m256i t = _mm256_sub_epi16(_mm256_sign_epi16(a3, a0), a0);
    const __m256i d = div_trunc<3>(_mm256_add_epi16(_mm256_slli_epi16(t, 2), t));
    __m256i dl = _mm256_max_epi16(_mm256_sign_epi16(d, clip), zero);
    dl = _mm256_sign_epi16(_mm256_min_epi16(dl, _mm256_abs_epi16(clip)), clip);
    // Third line of each segment decides for its four lines.
    const __m256i third = _mm256_setr_epi8(4, 5, 4, 5, 4, 5, 4, 5, 12, 13, 12, 13, 12, 13, 12, 13,
                                           4, 5, 4, 5, 4, 5, 4, 5, 12, 13, 12, 13, 12, 13, 12, 13);
    const __m256i enabled = _mm256_setr_epi64x((segments & 1) ? -1 : 0, (segments & 2) ? -1 : 0,
                                               (segments & 4) ? -1 : 0, (segments & 8) ? -1 : 0);
    const __m256i mask =
        _mm256_and_si256(_mm256_and_si256(on, _mm256_shuffle_epi8(on, third)), enabled);
    dl = _mm256_and_si256(dl, mask);
    p[3] = _mm256_sub_epi16(p[3], dl);
    p[4] = _mm256_add_epi16(p[4], dl);
}

OPX_INLINE __m256i widen(__m128i v) noexcept {
    return _mm256_cvtepu8_epi16(v);
}
OPX_INLINE __m128i narrow(__m256i v) noexcept {
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}
OPX_INLINE __m128i load8(const Opx8u* p) noexcept {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE __m128i load16(const Opx8u* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Sixteen rows of eight bytes r[0..15] to eight columns of sixteen lines.
OPX_INLINE void transpose16x8(const __m128i r[16], __m256i col[8]) noexcept {
    __m128i t[8], u[8], v[8];
    for (int i = 0; i < 8; ++i) t[i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);
    for (int i = 0; i < 4; ++i) {
        u[2 * i] = _mm_unpacklo_epi16(t[2 * i], t[2 * i + 1]);
        u[2 * i + 1] = _mm_unpackhi_epi16(t[2 * i], t[2 * i + 1]);
    }
    for (int h = 0; h < 2; ++h) {  // rows 0..7, rows 8..15
        v[4 * h + 0] = _mm_unpacklo_epi32(u[4 * h + 0], u[4 * h + 2]);
        v[4 * h + 1] = _mm_unpackhi_epi32(u[4 * h + 0], u[4 * h + 2]);
        v[4 * h + 2] = _mm_unpacklo_epi32(u[4 * h + 1], u[4 * h + 3]);
        v[4 * h + 3] = _mm_unpackhi_epi32(u[4 * h + 1], u[4 * h + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        col[2 * k] = widen(_mm_unpacklo_epi64(v[k], v[4 + k]));
        col[2 * k + 1] = widen(_mm_unpackhi_epi64(v[k], v[4 + k]));
    }
}

// Bytes of a 16-byte interleaved row regrouped: first component in bytes 0..7, second in 8..15.
OPX_INLINE __m128i deinterleave(__m128i v) noexcept {
    return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15));
}
OPX_INLINE __m128i interleave(__m128i v) noexcept {
    return _mm_shuffle_epi8(v, _mm_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15));
}

template <DeblockForm Form>
void deblock(Opx8u* p, std::int32_t step, int pquant, unsigned segments) noexcept {
    __m256i c[8];
    if constexpr (Form == kLumaHor || Form == kChromaHor || Form == kChromaHorC2) {
        for (int k = 0; k < 8; ++k) {
            const Opx8u* row = row_at(p, k - 4, step);
            __m128i v = Form == kChromaHor ? load8(row) : load16(row);
            if constexpr (Form == kChromaHorC2) v = deinterleave(v);
            c[k] = widen(v);
        }
        filter16(c, pquant, segments);
        for (int k = 3; k < 5; ++k) {
            Opx8u* row = row_at(p, k - 4, step);
            __m128i v = narrow(c[k]);
            if constexpr (Form == kChromaHor) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(row), v);
            } else {
                if constexpr (Form == kChromaHorC2) v = interleave(v);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row), v);
            }
        }
    } else {
        __m128i r[16];
        constexpr int lines = Form == kLumaVer ? 16 : 8;
        for (int i = 0; i < 16; ++i) {
            if (i >= lines) {
                r[i] = _mm_setzero_si128();
            } else if constexpr (Form == kChromaVerC2) {
                const __m128i v = deinterleave(load16(row_at(p, i, step) - 8));
                r[i] = v;                             // U: P1..P8 of row i
                r[i + 8] = _mm_unpackhi_epi64(v, v);  // V: P1..P8 of row i
            } else {
                r[i] = load8(row_at(p, i, step) - 4);
            }
            if (Form == kChromaVerC2 && i == 7) break;
        }
        transpose16x8(r, c);
        filter16(c, pquant, segments);
        // Lines k: (P4, P5) as byte pairs.
        const __m128i p4 = narrow(c[3]), p5 = narrow(c[4]);
        alignas(16) Opx16u pairs[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(pairs), _mm_unpacklo_epi8(p4, p5));
        _mm_store_si128(reinterpret_cast<__m128i*>(pairs + 8), _mm_unpackhi_epi8(p4, p5));
        for (int i = 0; i < lines; ++i) {
            Opx8u* row = row_at(p, i, step);
            if constexpr (Form == kChromaVerC2) {
                row[-2] = static_cast<Opx8u>(pairs[i]);
                row[0] = static_cast<Opx8u>(pairs[i] >> 8);
                row[-1] = static_cast<Opx8u>(pairs[i + 8]);
                row[1] = static_cast<Opx8u>(pairs[i + 8] >> 8);
            } else {
                row[-1] = static_cast<Opx8u>(pairs[i]);
                row[0] = static_cast<Opx8u>(pairs[i] >> 8);
            }
        }
    }
}

// ---- vertical-edge smoothing -----------------------------------------------------------------

// One line at a time, in order (a line may read what an earlier one wrote when the caller's rows
// overlap): the four samples (a0, a1, b0, b1) in the low 64 bits, the outputs as sums of word
// pairs (vpmaddwd): y0 = (a0, b1).(7, 1), y1 = (a0, a1).(-1, 7) + (b0, b1).(1, 1),
// y2 = (a0, a1).(1, 1) + (b0, b1).(7, -1), y3 = (a0, b1).(1, 7); exact in 32 bits.
void smooth_ver(Opx16s* a, std::int32_t a_step, Opx16s* b, std::int32_t b_step, Opx8u* dst,
                std::int32_t dst_step, int dst_pitch, const SmoothRows& rows) noexcept {
    const __m128i su = _mm_setr_epi8(0, 1, 6, 7, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 6, 7);
    const __m128i sv = _mm_setr_epi8(-1, -1, -1, -1, 4, 5, 6, 7, 4, 5, 6, 7, -1, -1, -1, -1);
    const __m128i k1 = _mm_setr_epi16(7, 1, -1, 7, 1, 1, 1, 7);
    const __m128i k2 = _mm_setr_epi16(0, 0, 1, 1, 7, -1, 0, 0);
    // r = 4 when (k + parity) is even.
    const __m128i round[2] = {_mm_setr_epi32(4, 3, 4, 3), _mm_setr_epi32(3, 4, 3, 4)};
    const __m128i low16 = _mm_set1_epi32(0xFFFF);
    for (int t = 0; t < 8; ++t) {
        Opx16s* ra = row_at(a, rows.a[t], a_step);
        Opx16s* rb = row_at(b, rows.b[t], b_step);
        Opx8u* rd = row_at(dst, rows.dst[t], dst_step);
        std::int32_t va, vb;
        __builtin_memcpy(&va, ra, 4);
        __builtin_memcpy(&vb, rb, 4);
        const __m128i x = _mm_unpacklo_epi32(_mm_cvtsi32_si128(va), _mm_cvtsi32_si128(vb));
        const __m128i y = _mm_srai_epi32(
            _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_shuffle_epi8(x, su), k1),
                                        _mm_madd_epi16(_mm_shuffle_epi8(x, sv), k2)),
                          round[rows.parity[t] & 1]),
            3);
        // Write-back modulo 2^16; pDst clamped (signed then unsigned saturation).
        const __m128i w = _mm_packus_epi32(_mm_and_si128(y, low16), y);
        const std::int32_t wa = _mm_cvtsi128_si32(w), wb = _mm_extract_epi32(w, 1);
        __builtin_memcpy(ra, &wa, 4);
        __builtin_memcpy(rb, &wb, 4);
        const __m128i c = _mm_packus_epi16(_mm_packs_epi32(y, y), y);
        if (dst_pitch == 1) {
            const std::int32_t v = _mm_cvtsi128_si32(c);
            __builtin_memcpy(rd - 2, &v, 4);
        } else {
            std::uint32_t v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(c));
            for (int k = 0; k < 4; ++k, v >>= 8) rd[(k - 2) * dst_pitch] = static_cast<Opx8u>(v);
        }
    }
}

// ---- horizontal-edge smoothing ---------------------------------------------------------------

// Eight columns in 32-bit lanes; exact sums.
void smooth_hor(const Opx16s* a, std::int32_t a_step, const Opx16s* b, std::int32_t b_step,
                Opx8u* dst, std::int32_t dst_step, int dst_pitch) noexcept {
    auto load = [](const Opx16s* r) {
        return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r)));
    };
    const __m256i x0 = load(a), x1 = load(row_at(a, 1, a_step));
    const __m256i x2 = load(b), x3 = load(row_at(b, 1, b_step));
    // r = 4 when (k + column) is even: columns 0, 2, .. get (4, 3, 4, 3), odd ones (3, 4, 3, 4).
    const __m256i r43 = _mm256_setr_epi32(4, 3, 4, 3, 4, 3, 4, 3);
    const __m256i r34 = _mm256_setr_epi32(3, 4, 3, 4, 3, 4, 3, 4);
    auto times7 = [](__m256i v) { return _mm256_sub_epi32(_mm256_slli_epi32(v, 3), v); };
    __m256i y[4];
    y[0] = _mm256_add_epi32(_mm256_add_epi32(times7(x0), x3), r43);
    y[1] = _mm256_add_epi32(
        _mm256_sub_epi32(_mm256_add_epi32(times7(x1), _mm256_add_epi32(x2, x3)), x0), r34);
    y[2] = _mm256_add_epi32(
        _mm256_sub_epi32(_mm256_add_epi32(times7(x2), _mm256_add_epi32(x0, x1)), x3), r43);
    y[3] = _mm256_add_epi32(_mm256_add_epi32(times7(x3), x0), r34);
    for (int k = 0; k < 4; ++k) {
        const __m256i v = _mm256_srai_epi32(y[k], 3);
        const __m128i w =
            _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        const __m128i bytes = _mm_packus_epi16(w, w);  // saturation then clamp: clamp to 0..255
        Opx8u* row = row_at(dst, k - 2, dst_step);
        if (dst_pitch == 1) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row), bytes);
        } else {
            alignas(16) Opx8u out[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(out), bytes);
            for (int c = 0; c < 8; ++c) row[2 * c] = out[c];
        }
    }
}

}  // namespace

const LoopFilterKernels kLoopFilter = {
    {&deblock<kLumaVer>, &deblock<kLumaHor>, &deblock<kChromaVer>, &deblock<kChromaHor>,
     &deblock<kChromaVerC2>, &deblock<kChromaHorC2>},
    &smooth_ver,
    &smooth_hor,
};

}  // namespace opx::vc1::avx2
