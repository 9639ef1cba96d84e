// AVX2 8×4 pair of inter 4×4 blocks with flat dequantisation: each 128-bit lane of the 256-bit
// registers holds one block, laid out as [row 0 | row 1], [row 2 | row 3] of 16-bit values, so
// the in-lane unpacks transpose both blocks at once. The arithmetic is that of the per-block
// kernel: 16-bit wrapping products for the dequantisation, 16-bit saturating additions and
// subtractions in both transform passes and for + 32, an arithmetic >> 6, a saturating addition
// of the prediction and an unsigned pack for the clamp to 0..255.
#include <immintrin.h>

#include <cstring>

#include "h264/decode/chroma_dc_avx2.hpp"
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

// Transformed pair p after the second pass: (p + 32) >> 6 (saturating addition) added to the
// prediction at dst (saturating), clamped to 0..255 and stored.
OPX_INLINE void add_store(Opx8u* dst, std::ptrdiff_t step, Pair p) {
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

}  // namespace

void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept {
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kDequantFlat4x4[qp]));
    const __m256i b0 =
        _mm256_mullo_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs)), f);
    const __m256i b1 =
        _mm256_mullo_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(coeffs + 16)), f);
    Pair p{_mm256_permute2x128_si256(b0, b1, 0x20), _mm256_permute2x128_si256(b0, b1, 0x31)};
    p = pass(transpose(p));
    add_store(dst, step, pass(transpose(p)));
}

// A 4:2:2 or 4:2:0 chroma component of 8-bit samples with matrix dequantisation: the DC array
// transformed (4:2:2 in a register, chroma_dc_avx2.hpp; 4:2:0 by the DC kernel), then the blocks
// four at a time (4:2:0: one quad): quad k holds blocks 4k .. 4k + 3, the 8×8 samples at (0, 8k),
// block 4k + 2L + q at (4q, 4L). The levels are
// loaded half-blocks to lanes and scaled, then transposed so that register j holds coefficient
// column j of every block row ((L, q, r): 128-bit lane L, 64-bit half q, word r); the row pass
// works on the four registers at once, a second transpose brings register r to row r of every
// block with the words in sample order (lane L: picture row 4L + r), and the column pass leaves
// each register two picture rows of eight samples. The scaling is the per-block kernel's: exact
// 32-bit products (mullo and mulhi interleaved), below q6 4 the rounding shift, above it a clamp
// to 16 bits and the left shift, then a saturating pack, or 16-bit products alone for a quad
// whose levels keep every product within 16 bits; the DC values replace position 0; both
// transform passes saturate, as there. An uncoded block reads zeros, which gives the DC-only
// residual.
namespace {

alignas(32) const Opx16s kZeroBlock16[16] = {};

// kMode 0: q6 < 4, 1: q6 == 4, 2: q6 > 4.
template <int kMode>
OPX_INLINE __m256i scale_block(__m256i c, __m256i ls, __m256i rnd, __m128i sh) {
    const __m256i lo = _mm256_mullo_epi16(c, ls), hi = _mm256_mulhi_epi16(c, ls);
    __m256i p0 = _mm256_unpacklo_epi16(lo, hi), p1 = _mm256_unpackhi_epi16(lo, hi);
    if (kMode == 0) {
        p0 = _mm256_sra_epi32(_mm256_add_epi32(p0, rnd), sh);
        p1 = _mm256_sra_epi32(_mm256_add_epi32(p1, rnd), sh);
    } else if (kMode == 2) {
        const __m256i lo16 = _mm256_set1_epi32(-32768), hi16 = _mm256_set1_epi32(32767);
        p0 = _mm256_sll_epi32(_mm256_max_epi32(_mm256_min_epi32(p0, hi16), lo16), sh);
        p1 = _mm256_sll_epi32(_mm256_max_epi32(_mm256_min_epi32(p1, hi16), lo16), sh);
    }
    return _mm256_packs_epi32(p0, p1);
}

// The 4-point inverse transform (clause 8.5.12.2) on x[0..3], element by element, in the lanes
// and arithmetic of Lanes: Sat16 (16-bit lanes, every sum saturated) or Wide32 (32-bit lanes).
struct Sat16 {
    static __m256i add(__m256i a, __m256i b) { return _mm256_adds_epi16(a, b); }
    static __m256i sub(__m256i a, __m256i b) { return _mm256_subs_epi16(a, b); }
    static __m256i half(__m256i a) { return _mm256_srai_epi16(a, 1); }
};
struct Wide32 {
    static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
    static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
    static __m256i half(__m256i a) { return _mm256_srai_epi32(a, 1); }
};
template <class Lanes>
OPX_INLINE void idct4(__m256i* x) {
    const __m256i e0 = Lanes::add(x[0], x[2]), e1 = Lanes::sub(x[0], x[2]);
    const __m256i e2 = Lanes::sub(Lanes::half(x[1]), x[3]);
    const __m256i e3 = Lanes::add(x[1], Lanes::half(x[3]));
    x[0] = Lanes::add(e0, e3);
    x[1] = Lanes::add(e1, e2);
    x[2] = Lanes::sub(e1, e2);
    x[3] = Lanes::sub(e0, e3);
}

// (r + 32) >> 6 of picture rows y (low lanes) and 4 + y (high lanes) in ra and of the rows
// below in rb, added to the prediction, clamped to 0..255 and stored. The rounding is one
// pmulhrsw by 512, ((r >> 5) + 1) >> 1 = (r + 32) >> 6 exactly; for r >= 32736, where the
// saturating + 32 gives 511, it gives 512, and either clamps to 255 from any prediction.
// Residuals -512..512 and prediction 0..255: the saturating sums are plain ones.
OPX_INLINE void add_rows8(Opx8u* row, std::ptrdiff_t step, __m256i ra, __m256i rb) {
    const __m256i k512 = _mm256_set1_epi16(512);
    ra = _mm256_mulhrs_epi16(ra, k512);
    rb = _mm256_mulhrs_epi16(rb, k512);
    // Prediction rows y | 4 + y and y + 1 | 5 + y as 16-bit lanes.
    const auto pred = [step](const Opx8u* p) {
        return _mm256_cvtepu8_epi16(_mm_castps_si128(
            _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))),
                         reinterpret_cast<const __m64*>(p + 4 * step))));
    };
    const __m256i o = _mm256_packus_epi16(_mm256_adds_epi16(pred(row), ra),
                                          _mm256_adds_epi16(pred(row + step), rb));
    const __m128i lo = _mm256_castsi256_si128(o), hi = _mm256_extracti128_si256(o, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row), lo);
    _mm_storeh_pi(reinterpret_cast<__m64*>(row + step), _mm_castsi128_ps(lo));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 4 * step), hi);
    _mm_storeh_pi(reinterpret_cast<__m64*>(row + 5 * step), _mm_castsi128_ps(hi));
}

// The levels of blocks p0..p3 of a quad (block 2L + q at pq): b[0] lane L rows 0, 1 of block
// (L, 0), b[1] its rows 2, 3; b[2], b[3] the same of block (L, 1).
OPX_INLINE void load_quad(__m256i* b, const Opx16s* p0, const Opx16s* p1, const Opx16s* p2,
                          const Opx16s* p3) {
    const auto two = [](const Opx16s* lo, const Opx16s* hi) {
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
    };
    b[0] = two(p0, p2);
    b[1] = two(p0 + 8, p2 + 8);
    b[2] = two(p1, p3);
    b[3] = two(p1 + 8, p3 + 8);
}

// One quad of scaled blocks as loaded by load_quad with the DC values in words 0..3 of dc
// (kDc), or with their own position 0 (luma).
template <bool kDc>
OPX_INLINE void quad(Opx8u* dst, std::ptrdiff_t step, const __m256i* b, __m128i dc) {
    // Lane L of c0, c1: rows 0, 1 and rows 2, 3 of block (L, 0); c2, c3 those of block (L, 1).
    const __m256i c0 = b[0], c1 = b[1], c2 = b[2], c3 = b[3];
    // [r0 c0, r2 c0, r0 c1, ...] and [r1 c0, r3 c0, ...], then [column 0 | column 1] and
    // [column 2 | column 3] of the block, rows in order.
    const __m256i t0 = _mm256_unpacklo_epi16(c0, c1), t1 = _mm256_unpackhi_epi16(c0, c1);
    const __m256i t2 = _mm256_unpacklo_epi16(c2, c3), t3 = _mm256_unpackhi_epi16(c2, c3);
    const __m256i p0 = _mm256_unpacklo_epi16(t0, t1), p1 = _mm256_unpackhi_epi16(t0, t1);
    const __m256i q0 = _mm256_unpacklo_epi16(t2, t3), q1 = _mm256_unpackhi_epi16(t2, t3);
    __m256i x[4] = {_mm256_unpacklo_epi64(p0, q0), _mm256_unpackhi_epi64(p0, q0),
                    _mm256_unpacklo_epi64(p1, q1), _mm256_unpackhi_epi64(p1, q1)};
    // Position 0 of block 2L + q is word 4 (2L + q) of column 0: the DC values one per qword.
    if (kDc) x[0] = _mm256_blend_epi16(x[0], _mm256_cvtepu16_epi64(dc), 0x11);
    idct4<Sat16>(x);  // rows: x[j] holds output column j of row (L, q, r)
    // 4×4 transposes within each (L, q) group: x[r] word j of group (L, q) = row r, column j.
    const __m256i a0 = _mm256_unpacklo_epi16(x[0], x[1]), a1 = _mm256_unpackhi_epi16(x[0], x[1]);
    const __m256i a2 = _mm256_unpacklo_epi16(x[2], x[3]), a3 = _mm256_unpackhi_epi16(x[2], x[3]);
    const __m256i u0 = _mm256_unpacklo_epi32(a0, a2), u1 = _mm256_unpackhi_epi32(a0, a2);
    const __m256i u2 = _mm256_unpacklo_epi32(a1, a3), u3 = _mm256_unpackhi_epi32(a1, a3);
    x[0] = _mm256_unpacklo_epi64(u0, u2);
    x[1] = _mm256_unpackhi_epi64(u0, u2);
    x[2] = _mm256_unpacklo_epi64(u1, u3);
    x[3] = _mm256_unpackhi_epi64(u1, u3);
    idct4<Sat16>(x);  // columns: x[r] holds picture rows r (low lane) and 4 + r (high lane)
    add_rows8(dst, step, x[0], x[1]);
    add_rows8(dst + 2 * step, step, x[2], x[3]);
}

// kQuads quads of four blocks: chroma (kLuma false) quad k at (0, 8k) with the DC values of dc,
// four per quad; luma quad k (the 8×8 block k) at (8 (k & 1), 8 (k >> 1)) without DC values,
// passed over when it has no coded block.
template <int kMode, int kQuads, bool kLuma>
Opx16s* quads(Opx8u* dst, std::ptrdiff_t step, Opx16s* c, __m128i dc, std::uint32_t coded, int q6,
              const Opx16s* level_scale) {
    const __m256i ls = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(level_scale));
    // The scales of rows 0, 1 and of rows 2, 3 in both lanes, as load_quad lays the levels out.
    const __m256i ls_half[2] = {_mm256_permute2x128_si256(ls, ls, 0x00),
                                _mm256_permute2x128_si256(ls, ls, 0x11)};
    const int round = kMode == 0 ? 1 << (3 - q6) : 0;
    const __m256i rnd = _mm256_set1_epi32(round);
    const __m128i sh = _mm_cvtsi32_si128(kMode == 0 ? 4 - q6 : q6 - 4);
    // Levels up to `bound` in magnitude scale exactly in 16 bits: |c| × max|LS| × 2^(q6 - 4)
    // + round <= 32767, so that 16-bit products (the scale pre-shifted above q6 4), rounding
    // and shift equal the saturating 32-bit path, which only quads with a larger level take.
    const __m128i ls_abs = [&] {
        const __m256i a = _mm256_abs_epi16(ls);
        return _mm_max_epu16(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    }();
    // minpos of 65535 - |LS| gives 65535 - max |LS|.
    const unsigned max_ls =
        65535u - static_cast<unsigned>(_mm_extract_epi16(
                     _mm_minpos_epu16(_mm_xor_si128(ls_abs, _mm_set1_epi32(-1))), 0));
    const unsigned scale = kMode == 2 ? max_ls << (q6 - 4) : max_ls;
    const unsigned bound = scale ? (32767u - static_cast<unsigned>(round)) / scale : 32768u;
    const __m256i vbound = _mm256_set1_epi16(static_cast<short>(bound));
    const __m256i rnd16 = _mm256_set1_epi16(static_cast<short>(round));
    // Non-zero words where the DC value lies outside -32..31 (a residual of its own).
    const __m128i big = _mm_srli_epi16(_mm_add_epi16(dc, _mm_set1_epi16(32)), 6);
#pragma GCC unroll 2
    for (int k = 0; k < kQuads; ++k, coded >>= 4) {
        const std::uint32_t four = coded & 15;
        Opx8u* const at = kLuma ? dst + 8 * (k >> 1) * step + 8 * (k & 1) : dst + 8 * k * step;
        const __m128i d = k ? _mm_srli_si128(dc, 8) : dc;
        // Zero residuals: no block coded and every DC value -32..31.
        if (!four &&
            (kLuma || _mm_testz_si128(big, k ? _mm_set_epi64x(-1, 0) : _mm_set_epi64x(0, -1))))
            continue;
        __m256i b[4];
        if (four == 15) {
            load_quad(b, c, c + 16, c + 32, c + 48);
            c += 64;
        } else {
            const Opx16s* p[4];
            for (int i = 0; i < 4; ++i) {
                const bool coded_block = four & (1u << i);
                p[i] = coded_block ? c : kZeroBlock16;
                c += coded_block ? 16 : 0;
            }
            load_quad(b, p[0], p[1], p[2], p[3]);
        }
        // Largest |level| of the quad above the bound (unsigned words: |-32768| is 32768)?
        const __m256i m =
            _mm256_max_epu16(_mm256_max_epu16(_mm256_abs_epi16(b[0]), _mm256_abs_epi16(b[1])),
                             _mm256_max_epu16(_mm256_abs_epi16(b[2]), _mm256_abs_epi16(b[3])));
        if (_mm256_testz_si256(_mm256_subs_epu16(m, vbound), _mm256_subs_epu16(m, vbound))) {
            for (int i = 0; i < 4; ++i) {
                const __m256i l = ls_half[i & 1];
                b[i] = _mm256_mullo_epi16(b[i], kMode == 2 ? _mm256_sll_epi16(l, sh) : l);
                if (kMode == 0) b[i] = _mm256_sra_epi16(_mm256_add_epi16(b[i], rnd16), sh);
            }
        } else {
            for (int i = 0; i < 4; ++i) b[i] = scale_block<kMode>(b[i], ls_half[i & 1], rnd, sh);
        }
        quad<!kLuma>(at, step, b, d);
    }
    return c;
}

// quads() with the scaling mode of qp.
template <int kQuads, bool kLuma>
Opx16s* quads_at(Opx8u* dst, std::ptrdiff_t step, Opx16s* c, __m128i dc, std::uint32_t coded,
                 int qp, const Opx16s* level_scale) {
    const int q6 = qp / 6;
    if (q6 < 4) return quads<0, kQuads, kLuma>(dst, step, c, dc, coded, q6, level_scale);
    if (q6 == 4) return quads<1, kQuads, kLuma>(dst, step, c, dc, coded, q6, level_scale);
    return quads<2, kQuads, kLuma>(dst, step, c, dc, coded, q6, level_scale);
}

}  // namespace

Opx16s* add_chroma422(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale, int ls_dc) noexcept {
    const __m128i d =
        dc ? chroma_dc2x4_vec(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dc)), qp, ls_dc)
           : _mm_setzero_si128();
    return quads_at<2, false>(dst, step, coeffs, d, coded, qp, level_scale);
}

Opx16s* add_luma_inter4x4(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, std::uint32_t coded,
                          int qp, const Opx16s* level_scale) noexcept {
    return quads_at<4, true>(dst, step, coeffs, _mm_setzero_si128(), coded, qp, level_scale);
}

Opx16s* add_chroma420(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept {
    __m128i d = _mm_setzero_si128();
    if (dc) {
        kTransform.chroma_dc2x2_matrix(dc, qp, level_scale[0]);
        d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dc));
    }
    return quads_at<1, false>(dst, step, coeffs, d, coded, qp, level_scale);
}

// The 4×4 blocks of 16-bit samples with matrix dequantisation, two side by side at a time: each
// 128-bit lane of the 256-bit registers holds one block's row (block 2m low, 2m + 1 high), four
// registers the four rows; an uncoded block of a pair reads zeros. Everything wraps in 32 bits
// as the per-block kernel does: the products (for qp >= 24 the level scale is shifted first,
// c × (LS << s) being c × LS × 2^s modulo 2^32), rounding and shifts, both transform passes (each
// after an in-lane 4×4 transpose), the + 32 (added to the first input row of the column pass,
// which every output takes once) and >> 6. The residuals are then saturated to 16 bits, which
// keeps clamp(pred + r, 0, max) (a saturated r lies beyond either end of 0..max from any pred),
// and added to the prediction rows with a saturating 16-bit addition.
namespace {

alignas(32) const Opx32s kZeroBlock[16] = {};

OPX_INLINE void transpose4x4_lanes(__m256i* r) {
    const __m256i a0 = _mm256_unpacklo_epi32(r[0], r[1]), a1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(r[2], r[3]), a3 = _mm256_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm256_unpacklo_epi64(a0, a2);
    r[1] = _mm256_unpackhi_epi64(a0, a2);
    r[2] = _mm256_unpacklo_epi64(a1, a3);
    r[3] = _mm256_unpackhi_epi64(a1, a3);
}

// Two rows of residuals ([block 2m | block 2m + 1] each, 32-bit) added to the prediction rows at
// row and row + step, clamped to 0..top.
OPX_INLINE void add_rows(Opx16u* row, std::ptrdiff_t step, __m256i ra, __m256i rb, __m256i top) {
    // packs gives [2m ra | 2m rb], [2m+1 ra | 2m+1 rb]; qwords 0, 2, 1, 3: [ra | rb].
    const __m256i r = _mm256_permute4x64_epi64(_mm256_packs_epi32(ra, rb), 0xD8);
    const __m256i p = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + step)), 1);
    const __m256i v =
        _mm256_min_epi16(_mm256_max_epi16(_mm256_adds_epi16(p, r), _mm256_setzero_si256()), top);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + step), _mm256_extracti128_si256(v, 1));
}

// The DC-only residual of one block, saturated to 16 bits.
OPX_INLINE int dc_residual(Opx32s dc) {
    const int r = static_cast<std::int32_t>(static_cast<std::uint32_t>(dc) + 32u) >> 6;
    return r < -32768 ? -32768 : r > 32767 ? 32767 : r;
}

// Pair m's position: luma blocks 2m, 2m + 1 at (8 ((m >> 1) & 1), 8 (m >> 2) + 4 (m & 1)), their
// DC values at raster index 4 (y / 4) + x / 4; chroma at (0, 4m), DC values 2m, 2m + 1.
constexpr int pair_x(bool luma, int m) {
    return luma ? 8 * ((m >> 1) & 1) : 0;
}
constexpr int pair_y(bool luma, int m) {
    return luma ? 8 * (m >> 2) + 4 * (m & 1) : 4 * m;
}
constexpr int pair_dc(bool luma, int m) {
    return luma ? 4 * (pair_y(true, m) >> 2) + (pair_x(true, m) >> 2) : 2 * m;
}

// Dequantisation of two 4x4 blocks of 32-bit levels by one level-scale row: with kRound,
// (c·LS + 2^(3 − qp/6)) >> (4 − qp/6), else c·LS << (qp/6 − 4) (the scale pre-shifted, exact
// modulo 2^32). load() gives rows [block a row i | block b row i] in r[0..3].
template <bool kRound>
struct PairDequant {
    __m128i sh;
    __m256i round, ls[4];
    PairDequant(int qp, const Opx16s* level_scale) {
        const int q6 = qp / 6;
        sh = _mm_cvtsi32_si128(kRound ? 4 - q6 : q6 - 4);
        round = _mm256_set1_epi32(kRound ? 1 << (3 - q6) : 0);
        for (int i = 0; i < 4; ++i) {
            ls[i] = _mm256_broadcastsi128_si256(_mm_cvtepi16_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(level_scale + 4 * i))));
            if (!kRound) ls[i] = _mm256_sll_epi32(ls[i], sh);
        }
    }
    OPX_INLINE void load(const Opx32s* a, const Opx32s* b, __m256i r[4]) const {
        for (int h = 0; h < 2; ++h) {
            // [a row 2h | a row 2h + 1] and the same of b -> [a row | b row].
            const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 8 * h));
            const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 8 * h));
            r[2 * h] = _mm256_permute2x128_si256(x, y, 0x20);
            r[2 * h + 1] = _mm256_permute2x128_si256(x, y, 0x31);
        }
        for (int i = 0; i < 4; ++i) {
            const __m256i p = _mm256_mullo_epi32(r[i], ls[i]);
            r[i] = kRound ? _mm256_sra_epi32(_mm256_add_epi32(p, round), sh) : p;
        }
    }
};

template <bool kRound, bool kLuma, bool kDc>
Opx32s* blocks(Opx16u* dst, std::ptrdiff_t step, Opx32s* c, const Opx32s* dc, std::uint32_t coded,
               int pairs, int qp, int max_sample, const Opx16s* level_scale) {
    const PairDequant<kRound> dq(qp, level_scale);
    const __m256i top = _mm256_set1_epi16(static_cast<short>(max_sample));
    const __m256i k32 = _mm256_set1_epi32(32);
    for (int m = 0; m < pairs; ++m) {
        const std::uint32_t two = (coded >> (2 * m)) & 3;
        if (!kDc && !two) continue;
        Opx16u* blk = dst + pair_y(kLuma, m) * step + pair_x(kLuma, m);
        const Opx32s* d = kDc ? dc + pair_dc(kLuma, m) : nullptr;
        if (kDc && !two) {
            // Both residuals zero for DC values -32..31.
            if (static_cast<std::uint32_t>(d[0]) + 32u < 64u &&
                static_cast<std::uint32_t>(d[1]) + 32u < 64u)
                continue;
            const __m256i r =
                _mm256_unpacklo_epi64(_mm256_set1_epi16(static_cast<short>(dc_residual(d[0]))),
                                      _mm256_set1_epi16(static_cast<short>(dc_residual(d[1]))));
            for (int h = 0; h < 2; ++h) {
                Opx16u* row = blk + 2 * h * step;
                const __m256i p = _mm256_inserti128_si256(
                    _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))),
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + step)), 1);
                const __m256i v = _mm256_min_epi16(
                    _mm256_max_epi16(_mm256_adds_epi16(p, r), _mm256_setzero_si256()), top);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm256_castsi256_si128(v));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + step),
                                 _mm256_extracti128_si256(v, 1));
            }
            continue;
        }
        const Opx32s* left = (two & 1) ? c : kZeroBlock;
        c += (two & 1) ? 16 : 0;
        const Opx32s* right = (two & 2) ? c : kZeroBlock;
        c += (two & 2) ? 16 : 0;
        __m256i r[4];
        dq.load(left, right, r);
        if (kDc)
            r[0] = _mm256_blend_epi32(r[0], _mm256_setr_epi32(d[0], 0, 0, 0, d[1], 0, 0, 0), 0x11);
        transpose4x4_lanes(r);
        idct4<Wide32>(r);
        transpose4x4_lanes(r);
        r[0] = _mm256_add_epi32(r[0], k32);
        idct4<Wide32>(r);
        for (int i = 0; i < 4; ++i) r[i] = _mm256_srai_epi32(r[i], 6);
        add_rows(blk, step, r[0], r[1], top);
        add_rows(blk + 2 * step, step, r[2], r[3], top);
    }
    return c;
}

template <bool kRound>
void residuals(Opx16s* res, const Opx32s* c, int count, int qp, const Opx16s* level_scale) {
    const PairDequant<kRound> dq(qp, level_scale);
    const __m256i k32 = _mm256_set1_epi32(32);
    for (int k = 0; k < count; k += 2, c += 32, res += 32) {
        const Opx32s* right = k + 1 < count ? c + 16 : kZeroBlock;
        __m256i r[4];
        dq.load(c, right, r);
        transpose4x4_lanes(r);
        idct4<Wide32>(r);
        transpose4x4_lanes(r);
        r[0] = _mm256_add_epi32(r[0], k32);
        idct4<Wide32>(r);
        // packs: [k rows 0, 1 | k + 1 rows 0, 1] and rows 2, 3 alike.
        const __m256i p01 =
            _mm256_packs_epi32(_mm256_srai_epi32(r[0], 6), _mm256_srai_epi32(r[1], 6));
        const __m256i p23 =
            _mm256_packs_epi32(_mm256_srai_epi32(r[2], 6), _mm256_srai_epi32(r[3], 6));
        _mm256_store_si256(reinterpret_cast<__m256i*>(res),
                           _mm256_permute2x128_si256(p01, p23, 0x20));
        _mm256_store_si256(reinterpret_cast<__m256i*>(res + 16),
                           _mm256_permute2x128_si256(p01, p23, 0x31));
    }
}

template <bool kLuma, bool kDc>
Opx32s* blocks(Opx16u* dst, std::ptrdiff_t step, Opx32s* c, const Opx32s* dc, std::uint32_t coded,
               int pairs, int qp, int max_sample, const Opx16s* level_scale) {
    return qp < 24 ? blocks<true, kLuma, kDc>(dst, step, c, dc, coded, pairs, qp, max_sample,
                                              level_scale)
                   : blocks<false, kLuma, kDc>(dst, step, c, dc, coded, pairs, qp, max_sample,
                                               level_scale);
}

}  // namespace

Opx32s* add4x4_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                           std::uint32_t coded, int pairs, bool luma, int qp, int max_sample,
                           const Opx16s* level_scale) noexcept {
    if (luma)
        return dc ? blocks<true, true>(dst, step, coeffs, dc, coded, pairs, qp, max_sample,
                                       level_scale)
                  : blocks<true, false>(dst, step, coeffs, dc, coded, pairs, qp, max_sample,
                                        level_scale);
    return dc ? blocks<false, true>(dst, step, coeffs, dc, coded, pairs, qp, max_sample,
                                    level_scale)
              : blocks<false, false>(dst, step, coeffs, dc, coded, pairs, qp, max_sample,
                                     level_scale);
}

void residuals4x4_high(Opx16s* res, const Opx32s* coeffs, int count, int qp,
                       const Opx16s* level_scale) noexcept {
    if (qp < 24)
        residuals<true>(res, coeffs, count, qp, level_scale);
    else
        residuals<false>(res, coeffs, count, qp, level_scale);
}

void add_residual4x4_high(Opx16u* dst, std::ptrdiff_t step, const Opx16s* res,
                          int max_sample) noexcept {
    const __m128i top = _mm_set1_epi16(static_cast<short>(max_sample)), zero = _mm_setzero_si128();
    for (int h = 0; h < 2; ++h) {
        Opx16u* row = dst + 2 * h * step;
        const __m128i p =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + step)));
        const __m128i v = _mm_min_epi16(
            _mm_max_epi16(
                _mm_adds_epi16(p, _mm_load_si128(reinterpret_cast<const __m128i*>(res + 8 * h))),
                zero),
            top);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row), v);
        _mm_storeh_pi(reinterpret_cast<__m64*>(row + step), _mm_castsi128_ps(v));
    }
}

}  // namespace opx::h264::avx2
