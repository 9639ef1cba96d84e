// AVX2 H.264 inverse transforms and dequantisation. Each kernel reproduces the arithmetic its
// contract in transform.hpp names: 16-bit saturating lanes (adds/subs), 16-bit wrapping lanes
// (add/sub), 32-bit wrapping lanes, or 32-bit lanes where 16-bit values cannot overflow them.
//
// 4x4 blocks of 16-bit values live in two 128-bit registers holding two 4-element vectors each,
// [v0 | v1] and [v2 | v3]; a transform pass works on the vectors of one index, so the block is
// transposed before each pass (four unpacks). 8x8 blocks of 16-bit values live in four 256-bit
// registers holding two vectors each (see add8x8), 8x8 blocks of 32-bit values in eight 256-bit
// registers.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "frame/dispatch.hpp"
#include "h264/decode/chroma_dc_avx2.hpp"
#include "h264/decode/recon.hpp"
#include "h264/decode/transform.hpp"

namespace opx::h264::avx2 {
namespace {

// ---- memory ---------------------------------------------------------------------------------

template <class T>
T* row_at(T* p, std::int32_t step, int y) noexcept {
    using B = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<B*>(p) + static_cast<std::ptrdiff_t>(step) * y);
}
inline __m128i load32(const void* p) noexcept {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
// Stores the high 64 bits of x (movhps; no alignment needed).
inline void store_high64(void* p, __m128i x) noexcept {
    _mm_storeh_pi(static_cast<__m64*>(p), _mm_castsi128_ps(x));
}
inline __m128i load64(const void* p) noexcept {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
inline __m128i load128(const void* p) noexcept {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
inline __m256i load256(const void* p) noexcept {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
inline void store128(void* p, __m128i x) noexcept {
    _mm_storeu_si128(static_cast<__m128i*>(p), x);
}
inline void store256(void* p, __m256i x) noexcept {
    _mm256_storeu_si256(static_cast<__m256i*>(p), x);
}

// ---- lane arithmetic ------------------------------------------------------------------------

// 16-bit lanes, saturating.
struct Sat16 {
    using V = __m128i;
    static V add(V a, V b) noexcept { return _mm_adds_epi16(a, b); }
    static V sub(V a, V b) noexcept { return _mm_subs_epi16(a, b); }
    template <int N>
    static V sra(V a) noexcept {
        return _mm_srai_epi16(a, N);
    }
};
// 16-bit lanes, wrapping.
struct Wrap16 {
    using V = __m128i;
    static V add(V a, V b) noexcept { return _mm_add_epi16(a, b); }
    static V sub(V a, V b) noexcept { return _mm_sub_epi16(a, b); }
    template <int N>
    static V sra(V a) noexcept {
        return _mm_srai_epi16(a, N);
    }
};
// 32-bit lanes, wrapping (also exact for values that stay inside 32 bits).
struct Wrap32x4 {
    using V = __m128i;
    static V add(V a, V b) noexcept { return _mm_add_epi32(a, b); }
    static V sub(V a, V b) noexcept { return _mm_sub_epi32(a, b); }
    template <int N>
    static V sra(V a) noexcept {
        return _mm_srai_epi32(a, N);
    }
};
struct Wrap32x8 {
    using V = __m256i;
    static V add(V a, V b) noexcept { return _mm256_add_epi32(a, b); }
    static V sub(V a, V b) noexcept { return _mm256_sub_epi32(a, b); }
    template <int N>
    static V sra(V a) noexcept {
        return _mm256_srai_epi32(a, N);
    }
};

// ---- 4x4, 16-bit lanes ----------------------------------------------------------------------

struct Pair {
    __m128i a, b;  // [v0 | v1], [v2 | v3]
};

// [r0 | r1], [r2 | r3] -> [c0 | c1], [c2 | c3] (its own inverse).
inline Pair transpose4x4(Pair p) noexcept {
    const __m128i t0 = _mm_unpacklo_epi16(p.a, p.b);  // r0.0 r2.0 r0.1 r2.1 r0.2 r2.2 r0.3 r2.3
    const __m128i t1 = _mm_unpackhi_epi16(p.a, p.b);  // r1.0 r3.0 r1.1 r3.1 ...
    return {_mm_unpacklo_epi16(t0, t1), _mm_unpackhi_epi16(t0, t1)};
}

// The first stage of the 4-point inverse transform on the vectors [v0 | v1], [v2 | v3]: returns
// [e0 | e1], [e3 | e2], whose sum is [o0 | o1] and difference [o3 | o2].
template <class A>
inline Pair idct4_stage1(Pair p) noexcept {
    const __m128i xh = _mm_blend_epi16(p.a, _mm_srai_epi16(p.a, 1), 0xF0);  // [v0 | v1 >> 1]
    const __m128i yh = _mm_blend_epi16(p.b, _mm_srai_epi16(p.b, 1), 0xF0);  // [v2 | v3 >> 1]
    const __m128i e03 = A::add(p.a, yh);                                    // [e0 | e3]
    const __m128i e12 = A::sub(xh, p.b);                                    // [e1 | e2]
    return {_mm_unpacklo_epi64(e03, e12), _mm_unpackhi_epi64(e03, e12)};
}

// One pass of the 4-point inverse transform on the vectors [v0 | v1], [v2 | v3]; returns
// [o0 | o1], [o2 | o3].
template <class A>
inline Pair idct4_pass(Pair p) noexcept {
    const Pair t = idct4_stage1<A>(p);
    return {A::add(t.a, t.b), _mm_shuffle_epi32(A::sub(t.a, t.b), 0x4E)};
}

// The first pass with a shorter dependency chain: from [v0 | v1], [v2 | v3] it leaves o0..o3 in
// the low halves of four registers (the high halves hold values of no use).
template <class A>
inline void idct4_pass_quad(Pair p, __m128i* o) noexcept {
    const __m128i h01 = _mm_srai_epi16(p.a, 1), h23 = _mm_srai_epi16(p.b, 1);
    const __m128i e0 = A::add(p.a, p.b);                           // low: v0 + v2
    const __m128i e1 = A::sub(p.a, p.b);                           // low: v0 - v2
    const __m128i e3 = _mm_unpackhi_epi64(A::add(p.a, h23), p.a);  // low: v1 + (v3 >> 1)
    const __m128i e2 = _mm_unpackhi_epi64(A::sub(h01, p.b), p.a);  // low: (v1 >> 1) - v3
    o[0] = A::add(e0, e3);
    o[1] = A::add(e1, e2);
    o[2] = A::sub(e1, e2);
    o[3] = A::sub(e0, e3);
}

// Four registers with o0..o3 in their low halves (vectors over rows) -> rows [R0 | R1], [R2 | R3].
inline Pair quad_to_rows(const __m128i* o) noexcept {
    const __m128i t0 = _mm_unpacklo_epi16(o[0], o[1]);  // o0.0 o1.0 o0.1 o1.1 ...
    const __m128i t1 = _mm_unpacklo_epi16(o[2], o[3]);  // o2.0 o3.0 o2.1 o3.1 ...
    return {_mm_unpacklo_epi32(t0, t1), _mm_unpackhi_epi32(t0, t1)};
}

// Rows then columns with the arithmetic A, then (r + 32) >> 6 with A: the residual rows.
template <class A>
inline Pair idct4x4(Pair rows) noexcept {
    __m128i o[4];
    idct4_pass_quad<A>(transpose4x4(rows), o);
    const Pair p = idct4_pass<A>(quad_to_rows(o));
    const __m128i k32 = _mm_set1_epi16(32);
    return {_mm_srai_epi16(A::add(p.a, k32), 6), _mm_srai_epi16(A::add(p.b, k32), 6)};
}

inline int sat16(int x) noexcept {
    return x < -32768 ? -32768 : x > 32767 ? 32767 : x;
}
inline int wrap16(std::uint32_t x) noexcept {
    return static_cast<std::int16_t>(x & 0xFFFF);
}

// Replaces lane 0 of [r0 | r1] by v.
inline __m128i with_lane0(__m128i x, int v) noexcept {
    return _mm_blend_epi16(x, _mm_cvtsi32_si128(v), 1);
}

// ---- 4x4 with prediction: the fast layout ---------------------------------------------------
//
// The row pass works on word pairs, one row per 32-bit lane, so it needs no transpose before it:
// the matrix kernel gets the pairs (d0, d2) and (d1, d3) of every row for free from its
// dequantisation (the even and odd products of pmaddwd, packed); the flat kernel gathers (d0, d1)
// and (d2, d3) from the raster rows with two shufps. A word swap or two and two dword unpacks
// turn the results into the rows [R0 | R1], [R2 | R3] for the column pass.

// Vector constants read from memory (an operand of the instruction that uses them, where a
// constant built in registers would cost two or three instructions).
alignas(16) constexpr std::uint8_t kSwapWords[16] = {2,  3,  0, 1, 6,  7,  4,  5,
                                                     10, 11, 8, 9, 14, 15, 12, 13};
alignas(16) constexpr Opx16s kRound32[8] = {32, 32, 32, 32, 32, 32, 32, 32};
// The 16-bit limits in 32-bit lanes, minimum then maximum (one base address for both).
alignas(16) constexpr std::int32_t kInt16Limits32[8] = {-32768, -32768, -32768, -32768,
                                                        32767,  32767,  32767,  32767};

// The address of a constant, hidden from the optimiser: a vector constant with equal lanes would
// otherwise be built with a move, a movd and a broadcast instead of being an instruction's memory
// operand.
template <class T>
inline const T* in_memory(const T* p) noexcept {
    asm("" : "+r"(p));
    return p;
}

// qp / 6 for qp 0..130 (one multiply and shift, without the sign handling of a division).
inline unsigned div6(int qp) noexcept {
    return (static_cast<unsigned>(qp) * 43) >> 8;
}

// Swaps the two words of every 32-bit lane.
inline __m128i swap_words(__m128i x) noexcept {
    return _mm_shuffle_epi8(x, load128(kSwapWords));
}

// The row pass (clause 8.5.12.2) on column pairs X = (d0, d2), Y = (d1, d3) per row, with the
// arithmetic A; returns the rows of its results, [R0 | R1], [R2 | R3].
template <class A>
inline Pair row_pass_pairs(__m128i x, __m128i y) noexcept {
    const __m128i xs = swap_words(x);                                         // (d2, d0)
    const __m128i h = _mm_srai_epi16(swap_words(y), 1);                       // (d3 >> 1, d1 >> 1)
    const __m128i e01 = _mm_blend_epi16(A::add(x, xs), A::sub(xs, x), 0xAA);  // (e0, e1)
    const __m128i e32 = _mm_blend_epi16(A::add(y, h), A::sub(h, y), 0xAA);    // (e3, e2)
    const __m128i o01 = A::add(e01, e32);                                     // (o0, o1)
    const __m128i o23 = swap_words(A::sub(e01, e32));                         // (o2, o3)
    return {_mm_unpacklo_epi32(o01, o23), _mm_unpackhi_epi32(o01, o23)};
}

// The row pass (sat16) on the raster rows [R0 | R1], [R2 | R3]: shufps gathers, per row (one
// 32-bit lane each), the word pairs X = (d0, d1) and Y = (d2, d3); S = (e0, e3), D = (e1, e2);
// with their word-swapped copies the outputs are formed as (o0, o1) and (o2, o3) per row.
inline Pair row_pass_raster(__m128i a, __m128i b) noexcept {
    const __m128 af = _mm_castsi128_ps(a), bf = _mm_castsi128_ps(b);
    const __m128i x = _mm_castps_si128(_mm_shuffle_ps(af, bf, 0x88));  // (d0, d1)
    const __m128i y = _mm_castps_si128(_mm_shuffle_ps(af, bf, 0xDD));  // (d2, d3)
    const __m128i s = _mm_adds_epi16(x, _mm_blend_epi16(y, _mm_srai_epi16(y, 1), 0xAA));  // e0 e3
    const __m128i d = _mm_subs_epi16(_mm_blend_epi16(x, _mm_srai_epi16(x, 1), 0xAA), y);  // e1 e2
    const __m128i ss = swap_words(s), ds = swap_words(d);  // e3 e0, e2 e1
    const __m128i o01 = _mm_blend_epi16(_mm_adds_epi16(s, ss), _mm_adds_epi16(d, ds), 0xAA);
    const __m128i o23 = _mm_blend_epi16(_mm_subs_epi16(d, ds), _mm_subs_epi16(ss, s), 0xAA);
    return {_mm_unpacklo_epi32(o01, o23), _mm_unpackhi_epi32(o01, o23)};
}

// The column pass on the rows [R0 | R1], [R2 | R3] with the arithmetic A, then (r + 32) >> 6
// with A: the residual rows [F0 | F1], [F3 | F2].
template <class A>
inline Pair column_pass_round(Pair p) noexcept {
    const Pair t = idct4_stage1<A>(p);
    const __m128i k32 = load128(in_memory(kRound32));
    return {_mm_srai_epi16(A::add(A::add(t.a, t.b), k32), 6),
            _mm_srai_epi16(A::add(A::sub(t.a, t.b), k32), 6)};
}

// Two prediction rows (4 bytes each) as eight 16-bit values [first | second].
inline __m128i load_pred_rows(const Opx8u* first, const Opx8u* second) noexcept {
    std::int32_t b;
    std::memcpy(&b, second, 4);
    return _mm_cvtepu8_epi16(_mm_insert_epi32(load32(first), b, 1));
}

// dst = clamp(pred + residual, 0, 255) for the residual rows [F0 | F1], [F3 | F2]. All
// prediction rows are read before any destination row is written, so pred may be dst.
inline void add_pred4x4(Pair r, const Opx8u* pred, std::int32_t pred_step, Opx8u* dst,
                        std::int32_t dst_step) noexcept {
    const __m128i p01 = load_pred_rows(pred, row_at(pred, pred_step, 1));
    const __m128i p32 = load_pred_rows(row_at(pred, pred_step, 3), row_at(pred, pred_step, 2));
    // The residuals lie in -512..511 and the prediction in 0..255: plain 16-bit sums are exact
    // (paddw issues on every vector pipe, paddsw on two only).
    const __m128i out = _mm_packus_epi16(_mm_add_epi16(p01, r.a), _mm_add_epi16(p32, r.b));
    const std::int32_t rows[4] = {_mm_cvtsi128_si32(out), _mm_extract_epi32(out, 1),
                                  _mm_extract_epi32(out, 3), _mm_extract_epi32(out, 2)};
    for (int y = 0; y < 4; ++y) std::memcpy(row_at(dst, dst_step, y), &rows[y], 4);
}

// The residual rows [F0 | F1], [F3 | F2] written to coeffs, then added to the prediction.
inline void store_add4x4(Pair r, const Opx8u* pred, std::int32_t pred_step, Opx16s* coeffs,
                         Opx8u* dst, std::int32_t dst_step) noexcept {
    store128(coeffs, r.a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(coeffs + 12), r.b);
    store_high64(coeffs + 8, r.b);
    add_pred4x4(r, pred, pred_step, dst, dst_step);
}

// DC-only block: v holds the DC value in every lane; every residual is r = sat16(DC + 32) >> 6
// (-512..511), added like a full block's. The chain from the DC is paddsw, psraw, paddw, packus.
inline void add_dc4x4(const Opx8u* pred, std::int32_t pred_step, __m128i v, Opx8u* dst,
                      std::int32_t dst_step) noexcept {
    const __m128i r = _mm_srai_epi16(_mm_adds_epi16(v, load128(in_memory(kRound32))), 6);
    add_pred4x4({r, r}, pred, pred_step, dst, dst_step);
}

// *p in every 16-bit lane (a broadcast load).
inline __m128i broadcast16(const Opx16s* p) noexcept {
    return _mm_set1_epi16(*p);
}

// The low 16 bits of the product a * b in every lane: the DC's wrapping dequantisation, formed in
// the vector unit from broadcast loads (shorter than a multiply in a general register and a move).
inline __m128i product16(const Opx16s* a, const Opx16s* b) noexcept {
    return _mm_mullo_epi16(broadcast16(a), broadcast16(b));
}

// ---- 4x4 kernels ----------------------------------------------------------------------------

OpxResult add4x4_flat(const Opx8u* pred, Opx16s* coeffs, const Opx16s* dc, Opx8u* dst,
                      Opx32s pred_step, Opx32s dst_step, Opx32s qp, Opx32s ac) noexcept {
    const Opx16s* f = kDequantFlat4x4[qp];
    if (!ac) {
        add_dc4x4(pred, pred_step, dc ? broadcast16(dc) : product16(coeffs, f), dst, dst_step);
        return opxOk;
    }
    // 16-bit wrapping products (mullo keeps the low half).
    __m128i a = _mm_mullo_epi16(load128(coeffs), load128(f));
    if (dc) a = _mm_insert_epi16(a, *dc, 0);
    const Pair r = column_pass_round<Sat16>(
        row_pass_raster(a, _mm_mullo_epi16(load128(coeffs + 8), load128(f + 8))));
    store_add4x4(r, pred, pred_step, coeffs, dst, dst_step);
    return opxOk;
}

// Matrix-style scaling of 16 coefficients to sat16 (clause 8.5.12.1), in the column-pair layout.
// pmaddwd against the level scales with their odd (even) words cleared gives the exact 32-bit
// products of the even (odd) positions; the rounding shift below qp 24, or the left shift from
// qp 30 on (after clamping to 16 bits, which keeps the saturated result and avoids overflow),
// is done on those; packssdw saturates and gathers each row's even (odd) positions.
inline Pair scale4x4_pairs(const Opx16s* coeffs, const Opx16s* ls, int qp) noexcept {
    const __m128i ca = load128(coeffs), cb = load128(coeffs + 8);
    const __m128i la = load128(ls), lb = load128(ls + 8);
    const __m128i zero = _mm_setzero_si128();
    __m128i p[4] = {_mm_madd_epi16(ca, _mm_blend_epi16(zero, la, 0x55)),
                    _mm_madd_epi16(cb, _mm_blend_epi16(zero, lb, 0x55)),
                    _mm_madd_epi16(ca, _mm_blend_epi16(zero, la, 0xAA)),
                    _mm_madd_epi16(cb, _mm_blend_epi16(zero, lb, 0xAA))};
    const int q6 = static_cast<int>(div6(qp));
    // q6 = 4 (qp 24..29) needs neither shift: tested first, with one compare.
    if (q6 == 4) {
    } else if (q6 < 4) {
        const __m128i rnd = _mm_set1_epi32(1 << (3 - q6));
        const __m128i sh = _mm_cvtsi32_si128(4 - q6);
        for (__m128i& v : p) v = _mm_sra_epi32(_mm_add_epi32(v, rnd), sh);
    } else {
        const std::int32_t* limits = in_memory(kInt16Limits32);
        const __m128i lo16 = load128(limits), hi16 = load128(limits + 4);
        const __m128i sh = _mm_cvtsi32_si128(q6 - 4);
        for (__m128i& v : p) v = _mm_sll_epi32(_mm_max_epi32(_mm_min_epi32(v, hi16), lo16), sh);
    }
    return {_mm_packs_epi32(p[0], p[1]), _mm_packs_epi32(p[2], p[3])};
}

OpxResult add4x4_matrix(const Opx8u* pred, Opx32s pred_step, Opx16s* coeffs, const Opx16s* dc,
                        Opx8u* dst, Opx32s dst_step, Opx32s qp, Opx32s ac,
                        const Opx16s* level_scale) noexcept {
    if (OPX_UNLIKELY(!level_scale))  // the flat default, at the entry where registers are free
        return add4x4_matrix(pred, pred_step, coeffs, dc, dst, dst_step, qp, ac,
                             kFlatLevelScale4x4[qp % 6]);
    const unsigned q6 = div6(qp);
    const Opx16s* ls = level_scale;
    if (!ac) {
        // The DC value alone, reduced to 16 bits without saturation. (d * 2^q6 + 8) >> 4 is the
        // rounded right shift below qp 24 and the exact left shift from there on; its bits 0..15
        // only depend on the low 32 bits of d * 2^q6, so 32-bit unsigned arithmetic suffices.
        __m128i v;
        if (dc) {
            v = broadcast16(dc);
        } else {
            const std::uint32_t d = static_cast<std::uint32_t>(coeffs[0] * ls[0]);
            v = _mm_set1_epi16(static_cast<short>(((d << q6) + 8) >> 4));
        }
        add_dc4x4(pred, pred_step, v, dst, dst_step);
        return opxOk;
    }
    Pair p = scale4x4_pairs(coeffs, ls, qp);
    if (dc) p.a = _mm_insert_epi16(p.a, *dc, 0);
    store_add4x4(column_pass_round<Sat16>(row_pass_pairs<Sat16>(p.a, p.b)), pred, pred_step, coeffs,
                 dst, dst_step);
    return opxOk;
}

void residual4x4(const Opx16s* src, Opx16s* dst) noexcept {
    const Pair r = idct4x4<Sat16>({load128(src), load128(src + 8)});
    store128(dst, r.a);
    store128(dst + 8, r.b);
}

// Rows in 16-bit wrapping lanes, then the columns exactly in 32-bit lanes (outputs fit 16 bits).
inline Pair idct4x4_wrap_rows_exact_columns(Pair rows) noexcept {
    __m128i o[4];
    idct4_pass_quad<Wrap16>(transpose4x4(rows), o);
    const Pair m = quad_to_rows(o);  // rows of M
    __m128i r[4] = {_mm_cvtepi16_epi32(m.a), _mm_cvtepi16_epi32(_mm_srli_si128(m.a, 8)),
                    _mm_cvtepi16_epi32(m.b), _mm_cvtepi16_epi32(_mm_srli_si128(m.b, 8))};
    using A = Wrap32x4;
    const __m128i e0 = A::add(r[0], r[2]), e1 = A::sub(r[0], r[2]);
    const __m128i e2 = A::sub(A::sra<1>(r[1]), r[3]), e3 = A::add(r[1], A::sra<1>(r[3]));
    const __m128i k32 = _mm_set1_epi32(32);
    r[0] = _mm_srai_epi32(A::add(A::add(e0, e3), k32), 6);
    r[1] = _mm_srai_epi32(A::add(A::add(e1, e2), k32), 6);
    r[2] = _mm_srai_epi32(A::add(A::sub(e1, e2), k32), 6);
    r[3] = _mm_srai_epi32(A::add(A::sub(e0, e3), k32), 6);
    return {_mm_packs_epi32(r[0], r[1]), _mm_packs_epi32(r[2], r[3])};
}

void dequant_residual4x4_flat(Opx16s* coeffs, std::int32_t step, const Opx16s* dc, bool ac,
                              int qp) noexcept {
    const Opx16s* f = kDequantFlat4x4[qp];
    Opx16s* rows[4] = {coeffs, row_at(coeffs, step, 1), row_at(coeffs, step, 2),
                       row_at(coeffs, step, 3)};
    if (!ac) {
        const int d = dc ? *dc : wrap16(static_cast<std::uint32_t>(coeffs[0] * f[0]));
        const __m128i v = _mm_set1_epi16(static_cast<short>((d + 32) >> 6));
        for (Opx16s* r : rows) _mm_storel_epi64(reinterpret_cast<__m128i*>(r), v);
        return;
    }
    Pair p{_mm_unpacklo_epi64(load64(rows[0]), load64(rows[1])),
           _mm_unpacklo_epi64(load64(rows[2]), load64(rows[3]))};
    p.a = _mm_mullo_epi16(p.a, load128(f));
    p.b = _mm_mullo_epi16(p.b, load128(f + 8));
    if (dc) p.a = with_lane0(p.a, *dc);
    const Pair r = idct4x4_wrap_rows_exact_columns(p);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rows[0]), r.a);
    store_high64(rows[1], r.a);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rows[2]), r.b);
    store_high64(rows[3], r.b);
}

// ---- 4x4, 32-bit lanes ----------------------------------------------------------------------

inline void transpose4x4_epi32(__m128i* r) noexcept {
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
    const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm_unpacklo_epi64(t0, t1);
    r[1] = _mm_unpackhi_epi64(t0, t1);
    r[2] = _mm_unpacklo_epi64(t2, t3);
    r[3] = _mm_unpackhi_epi64(t2, t3);
}

// The 4-point pass on four vectors with the arithmetic A.
template <class A>
inline void idct4_pass4(typename A::V* d) noexcept {
    using V = typename A::V;
    const V e0 = A::add(d[0], d[2]), e1 = A::sub(d[0], d[2]);
    const V e2 = A::sub(A::template sra<1>(d[1]), d[3]);
    const V e3 = A::add(d[1], A::template sra<1>(d[3]));
    d[0] = A::add(e0, e3);
    d[1] = A::add(e1, e2);
    d[2] = A::sub(e1, e2);
    d[3] = A::sub(e0, e3);
}

// wrap32 4x4 transform of the rows r[0..3], then wrap32(r + 32) >> 6.
inline void idct4x4_wrap32(__m128i* r) noexcept {
    transpose4x4_epi32(r);
    idct4_pass4<Wrap32x4>(r);
    transpose4x4_epi32(r);
    idct4_pass4<Wrap32x4>(r);
    const __m128i k32 = _mm_set1_epi32(32);
    for (int i = 0; i < 4; ++i) r[i] = _mm_srai_epi32(_mm_add_epi32(r[i], k32), 6);
}

void residual4x4_high(const Opx32s* src, Opx32s* dst) noexcept {
    __m128i r[4];
    for (int i = 0; i < 4; ++i) r[i] = load128(src + 4 * i);
    idct4x4_wrap32(r);
    for (int i = 0; i < 4; ++i) store128(dst + 4 * i, r[i]);
}

inline std::int32_t wrap32(std::uint32_t x) noexcept {
    return static_cast<std::int32_t>(x);
}

void add4x4_matrix_high(const Opx16u* pred, std::int32_t pred_step, Opx32s* coeffs,
                        const Opx32s* dc, Opx16u* dst, std::int32_t dst_step, int qp, bool ac,
                        int max_sample, const Opx16s* level_scale) noexcept {
    const int q6 = qp / 6;
    __m128i r[4];
    if (ac) {
        for (int i = 0; i < 4; ++i) {
            const __m128i d = _mm_mullo_epi32(load128(coeffs + 4 * i),
                                              _mm_cvtepi16_epi32(load64(level_scale + 4 * i)));
            r[i] = qp < 24 ? _mm_sra_epi32(_mm_add_epi32(d, _mm_set1_epi32(1 << (3 - q6))),
                                           _mm_cvtsi32_si128(4 - q6))
                           : _mm_sll_epi32(d, _mm_cvtsi32_si128(q6 - 4));
        }
        if (dc) r[0] = _mm_blend_epi32(r[0], _mm_cvtsi32_si128(*dc), 1);
        idct4x4_wrap32(r);
        for (int i = 0; i < 4; ++i) store128(coeffs + 4 * i, r[i]);
    } else {
        std::int32_t d;
        if (dc) {
            d = *dc;
        } else {
            const std::uint32_t p =
                static_cast<std::uint32_t>(coeffs[0]) * static_cast<std::uint32_t>(level_scale[0]);
            d = qp < 24 ? wrap32(p + (1u << (3 - q6))) >> (4 - q6) : wrap32(p << (q6 - 4));
        }
        const __m128i v = _mm_set1_epi32(wrap32(static_cast<std::uint32_t>(d) + 32) >> 6);
        for (__m128i& x : r) x = v;
    }
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi32(max_sample);
    for (int y = 0; y < 4; ++y) {
        const __m128i p = _mm_cvtepu16_epi32(load64(row_at(pred, pred_step, y)));
        r[y] = _mm_min_epi32(_mm_max_epi32(_mm_add_epi32(p, r[y]), zero), top);
    }
    for (int y = 0; y < 4; ++y)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, dst_step, y)),
                         _mm_packus_epi32(r[y], r[y]));
}

// ---- 8x8 ------------------------------------------------------------------------------------

inline void transpose8x8_epi32(__m256i* r) noexcept {
    const __m256i a0 = _mm256_unpacklo_epi32(r[0], r[1]), a1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(r[2], r[3]), a3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i a4 = _mm256_unpacklo_epi32(r[4], r[5]), a5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const __m256i a6 = _mm256_unpacklo_epi32(r[6], r[7]), a7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const __m256i b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
    r[0] = _mm256_permute2x128_si256(b0, b4, 0x20);
    r[1] = _mm256_permute2x128_si256(b1, b5, 0x20);
    r[2] = _mm256_permute2x128_si256(b2, b6, 0x20);
    r[3] = _mm256_permute2x128_si256(b3, b7, 0x20);
    r[4] = _mm256_permute2x128_si256(b0, b4, 0x31);
    r[5] = _mm256_permute2x128_si256(b1, b5, 0x31);
    r[6] = _mm256_permute2x128_si256(b2, b6, 0x31);
    r[7] = _mm256_permute2x128_si256(b3, b7, 0x31);
}

// One pass of the 8-point inverse transform (clause 8.5.13.2) on eight vectors, each sum in the
// order transform.hpp fixes.
template <class A>
inline void idct8_pass(typename A::V* d) noexcept {
    using V = typename A::V;
    const V e0 = A::add(d[0], d[4]);
    const V e1 = A::sub(A::sub(A::sub(d[5], d[3]), d[7]), A::template sra<1>(d[7]));
    const V e2 = A::sub(d[0], d[4]);
    const V e3 = A::sub(A::sub(A::add(d[1], d[7]), d[3]), A::template sra<1>(d[3]));
    const V e4 = A::sub(A::template sra<1>(d[2]), d[6]);
    const V e5 = A::add(A::add(A::sub(d[7], d[1]), d[5]), A::template sra<1>(d[5]));
    const V e6 = A::add(d[2], A::template sra<1>(d[6]));
    const V e7 = A::add(A::add(A::add(d[3], d[5]), d[1]), A::template sra<1>(d[1]));
    const V f0 = A::add(e0, e6), f1 = A::add(e1, A::template sra<2>(e7));
    const V f2 = A::add(e2, e4), f3 = A::add(e3, A::template sra<2>(e5));
    const V f4 = A::sub(e2, e4), f5 = A::sub(A::template sra<2>(e3), e5);
    const V f6 = A::sub(e0, e6), f7 = A::sub(e7, A::template sra<2>(e1));
    d[0] = A::add(f0, f7);
    d[1] = A::add(f2, f5);
    d[2] = A::add(f4, f3);
    d[3] = A::add(f6, f1);
    d[4] = A::sub(f6, f1);
    d[5] = A::sub(f4, f3);
    d[6] = A::sub(f2, f5);
    d[7] = A::sub(f0, f7);
}

// The column pass of a 32-bit 8×8 block whose row pass is done (r[i]: row i), with the + 32
// added to its first input row (every output takes that row once), then >> 6, the residuals
// saturated to 16 bits (which keeps clamp(pred + r, 0, max): a saturated r lies beyond either end
// of 0..max from any pred) and added to the prediction two rows at a time with a saturating
// 16-bit addition. Steps in bytes.
inline void add8x8_columns(Opx16u* dst, std::int32_t dst_step, const Opx16u* pred,
                           std::int32_t pred_step, __m256i* r, int max_sample) noexcept {
    r[0] = _mm256_add_epi32(r[0], _mm256_set1_epi32(32));
    idct8_pass<Wrap32x8>(r);
    // The prediction is read whole before any row is written.
    __m256i p[4];
    for (int y = 0; y < 8; y += 2)
        p[y / 2] =
            _mm256_inserti128_si256(_mm256_castsi128_si256(load128(row_at(pred, pred_step, y))),
                                    load128(row_at(pred, pred_step, y + 1)), 1);
    const __m256i top = _mm256_set1_epi16(static_cast<short>(max_sample));
    for (int y = 0; y < 8; y += 2) {
        // packs gives the lanes [row y 0..3, row y + 1 0..3], [row y 4..7, row y + 1 4..7];
        // qwords 0, 2, 1, 3: [row y | row y + 1].
        const __m256i res = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(_mm256_srai_epi32(r[y], 6), _mm256_srai_epi32(r[y + 1], 6)), 0xD8);
        const __m256i v = _mm256_min_epi16(
            _mm256_max_epi16(_mm256_adds_epi16(p[y / 2], res), _mm256_setzero_si256()), top);
        store128(row_at(dst, dst_step, y), _mm256_castsi256_si128(v));
        store128(row_at(dst, dst_step, y + 1), _mm256_extracti128_si256(v, 1));
    }
}

void add8x8_high(const Opx16u* pred, std::int32_t pred_step, const Opx32s* coeffs, Opx16u* dst,
                 std::int32_t dst_step, int max_sample) noexcept {
    // (rows loaded one statement each: GCC turns a loop of them into a memcpy to the stack in
    // 16-byte pieces, which the 32-byte reads after it cannot take from the store buffer)
    __m256i r[8] = {load256(coeffs),      load256(coeffs + 8),  load256(coeffs + 16),
                    load256(coeffs + 24), load256(coeffs + 32), load256(coeffs + 40),
                    load256(coeffs + 48), load256(coeffs + 56)};
    transpose8x8_epi32(r);
    idct8_pass<Wrap32x8>(r);
    transpose8x8_epi32(r);
    add8x8_columns(dst, dst_step, pred, pred_step, r, max_sample);
}

// ---- 8x8, 16-bit lanes: two vectors per 256-bit register ----------------------------------
//
// A register holds two 8-element vectors a, b as [a0..3 b0..3 | a4..7 b4..7], written [a | b]:
// every 128-bit lane holds half of both, so exchanging the two (pshufd) and taking b from
// another register (vpblendd) are in-lane operations. The block is four registers.

// [b | a] from [a | b].
inline __m256i swap_pair(__m256i x) noexcept {
    return _mm256_shuffle_epi32(x, 0x4E);
}
// [x.a | y.b].
inline __m256i pair_of(__m256i x, __m256i y) noexcept {
    return _mm256_blend_epi32(x, y, 0xCC);
}

// One pass of the 8-point inverse transform (clause 8.5.13.2), every sum saturated in the
// order transform.hpp fixes, on [d0 | d2], [d4 | d6], [d1 | d3], [d5 | d7]; the two halves of
// a register take the same operation wherever the sums allow it (only additions are commuted).
// Returns [g0 | g1], [g7 | g6], [g3 | g2], [g4 | g5] in o[0..3].
inline void idct8_pass_pairs(__m256i x02, __m256i x46, __m256i x13, __m256i x57,
                             __m256i* o) noexcept {
    const __m256i e06 = _mm256_adds_epi16(x02, pair_of(x46, _mm256_srai_epi16(x46, 1)));
    const __m256i e24 = _mm256_subs_epi16(pair_of(x02, _mm256_srai_epi16(x02, 1)), x46);
    const __m256i e02 = pair_of(e06, swap_pair(e24)), e64 = pair_of(swap_pair(e06), e24);
    const __m256i f02 = _mm256_adds_epi16(e02, e64), f64 = _mm256_subs_epi16(e02, e64);
    const __m256i x31 = swap_pair(x13), x75 = swap_pair(x57);
    const __m256i s = _mm256_adds_epi16(x31, x57);                   // [d3 + d5 | d1 + d7]
    const __m256i t = _mm256_subs_epi16(x57, x31);                   // [d5 - d3 | d7 - d1]
    const __m256i y15 = pair_of(x13, x75), y73 = pair_of(x75, x13);  // [d1 | d5], [d7 | d3]
    const __m256i e75 =
        _mm256_adds_epi16(_mm256_adds_epi16(pair_of(s, t), y15), _mm256_srai_epi16(y15, 1));
    const __m256i e13 =
        _mm256_subs_epi16(_mm256_subs_epi16(pair_of(t, s), y73), _mm256_srai_epi16(y73, 1));
    const __m256i f13 = _mm256_adds_epi16(e13, _mm256_srai_epi16(e75, 2));
    const __m256i h13 = _mm256_srai_epi16(e13, 2);
    const __m256i f75 = _mm256_subs_epi16(pair_of(e75, h13), pair_of(h13, e75));
    o[0] = _mm256_adds_epi16(f02, f75);
    o[1] = _mm256_subs_epi16(f02, f75);
    o[2] = _mm256_adds_epi16(f64, f13);
    o[3] = _mm256_subs_epi16(f64, f13);
}

// Row pass: the rows, loaded as [r0 | r1], [r2 | r3], [r4 | r5], [r6 | r7] (128-bit halves),
// become by in-lane unpacks the vector pairs of the pass, element i of a vector coming from the
// i-th row of its lane (rows 0, 2, 4, 6 in the low lanes, 1, 3, 5, 7 in the high ones).
// Column pass: its vectors are the rows of the row pass's results. Two 128-bit regroups put
// columns 0..3 in the low lanes and 4..7 in the high ones, and in-lane unpacks make the pairs;
// from the lanes' row order they come out as the pass wants them.
OpxResult add8x8(const Opx8u* pred, Opx32s pred_step, const Opx16s* coeffs, Opx8u* dst,
                 Opx32s dst_step) noexcept {
    __m256i o[4];
    {
        const __m256i a = load256(coeffs), b = load256(coeffs + 16);
        const __m256i c = load256(coeffs + 32), d = load256(coeffs + 48);
        const __m256i ab0 = _mm256_unpacklo_epi16(a, b), ab1 = _mm256_unpackhi_epi16(a, b);
        const __m256i cd0 = _mm256_unpacklo_epi16(c, d), cd1 = _mm256_unpackhi_epi16(c, d);
        const __m256i v01 = _mm256_unpacklo_epi32(ab0, cd0), v23 = _mm256_unpackhi_epi32(ab0, cd0);
        const __m256i v45 = _mm256_unpacklo_epi32(ab1, cd1), v67 = _mm256_unpackhi_epi32(ab1, cd1);
        idct8_pass_pairs(_mm256_unpacklo_epi64(v01, v23), _mm256_unpacklo_epi64(v45, v67),
                         _mm256_unpackhi_epi64(v01, v23), _mm256_unpackhi_epi64(v45, v67), o);
    }
    {
        // [g0 | g1], [g2 | g3] beside [g4 | g5], [g6 | g7]: the same order in both lanes.
        const __m256i g23 = swap_pair(o[2]), g67 = swap_pair(o[1]);
        const __m256i x0 = _mm256_inserti128_si256(o[0], _mm256_castsi256_si128(o[3]), 1);
        const __m256i y0 = _mm256_inserti128_si256(g23, _mm256_castsi256_si128(g67), 1);
        const __m256i x1 = _mm256_permute2x128_si256(o[0], o[3], 0x31);
        const __m256i y1 = _mm256_permute2x128_si256(g23, g67, 0x31);
        const __m256i l0 = _mm256_unpacklo_epi16(x0, y0), h0 = _mm256_unpackhi_epi16(x0, y0);
        const __m256i l1 = _mm256_unpacklo_epi16(x1, y1), h1 = _mm256_unpackhi_epi16(x1, y1);
        idct8_pass_pairs(_mm256_unpacklo_epi16(l0, h0), _mm256_unpackhi_epi16(l0, h0),
                         _mm256_unpacklo_epi16(l1, h1), _mm256_unpackhi_epi16(l1, h1), o);
    }
    // o: [F0 | F1], [F7 | F6], [F3 | F2], [F4 | F5]. The prediction rows in the same layout:
    // two rows in the four 64-bit lanes, widened by a byte shuffle taking columns 0..3 in the
    // low 128-bit lane and 4..7 in the high one. All are read before any row is written, so pred
    // may be dst.
    static constexpr int kRows[4][2] = {{0, 1}, {7, 6}, {3, 2}, {4, 5}};
    const __m256i widen =
        _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 3, -1, 8, -1, 9, -1, 10, -1, 11, -1, 4, -1, 5, -1, 6,
                         -1, 7, -1, 12, -1, 13, -1, 14, -1, 15, -1);
    auto pred_rows = [pred, pred_step, widen](const int* y) {
        std::int64_t a, b;
        std::memcpy(&a, row_at(pred, pred_step, y[0]), 8);
        std::memcpy(&b, row_at(pred, pred_step, y[1]), 8);
        return _mm256_shuffle_epi8(
            _mm256_blend_epi32(_mm256_set1_epi64x(a), _mm256_set1_epi64x(b), 0xCC), widen);
    };
    __m256i p[4];
    for (int i = 0; i < 4; ++i) p[i] = pred_rows(kRows[i]);
    const __m256i k32 = _mm256_set1_epi16(32);
    // The residuals lie in -512..511 and the prediction in 0..255: plain 16-bit sums are exact.
    for (int i = 0; i < 4; ++i)
        o[i] = _mm256_add_epi16(p[i], _mm256_srai_epi16(_mm256_adds_epi16(o[i], k32), 6));
    // Bytes [F0 F1 F7 F6 (columns 0..3) | the same (4..7)], then rows 3, 2, 4, 5.
    for (int k = 0; k < 2; ++k) {
        const __m256i x = _mm256_packus_epi16(o[2 * k], o[2 * k + 1]);
        const __m128i lo = _mm256_castsi256_si128(x), hi = _mm256_extracti128_si256(x, 1);
        const __m128i r01 = _mm_unpacklo_epi32(lo, hi), r23 = _mm_unpackhi_epi32(lo, hi);
        const int* y0 = kRows[2 * k];
        const int* y1 = kRows[2 * k + 1];
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, dst_step, y0[0])), r01);
        store_high64(row_at(dst, dst_step, y0[1]), r01);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, dst_step, y1[0])), r23);
        store_high64(row_at(dst, dst_step, y1[1]), r23);
    }
    return opxOk;
}

// Clause 8.5.13.1, 16-bit: below qp6 6 from the exact 32-bit product, saturated; from 6 on the
// low 16 bits of the product shifted left (mullo is the product reduced to 16 bits).
OpxResult dequant8x8(Opx16s* c, Opx32s qp6, const Opx16s* level_scale) noexcept {
    if (qp6 >= 6) {
        const __m128i sh = _mm_cvtsi32_si128(qp6 - 6);
        for (int i = 0; i < 64; i += 16)
            store256(c + i, _mm256_sll_epi16(
                                _mm256_mullo_epi16(load256(c + i), load256(level_scale + i)), sh));
        return opxOk;
    }
    const __m256i rnd = _mm256_set1_epi32(1 << (5 - qp6));
    const __m128i sh = _mm_cvtsi32_si128(6 - qp6);
    for (int i = 0; i < 64; i += 16) {
        const __m256i x = load256(c + i), ls = load256(level_scale + i);
        const __m256i lo = _mm256_mullo_epi16(x, ls), hi = _mm256_mulhi_epi16(x, ls);
        const __m256i p0 =
            _mm256_sra_epi32(_mm256_add_epi32(_mm256_unpacklo_epi16(lo, hi), rnd), sh);
        const __m256i p1 =
            _mm256_sra_epi32(_mm256_add_epi32(_mm256_unpackhi_epi16(lo, hi), rnd), sh);
        store256(c + i, _mm256_packs_epi32(p0, p1));
    }
    return opxOk;
}

// 32-bit coefficients times 16-bit level scales as exact 64-bit products (even and odd lanes
// separately), rounded and shifted in 64 bits; the low 32 bits are kept. A logical 64-bit right
// shift leaves the same low 32 bits as an arithmetic one for shifts up to 32.
// Coefficients within +-32767 (every real stream's, whose levels are far smaller) make products
// below 2^30 in magnitude: the rounding and the shift then fit 32-bit lanes, whose arithmetic
// shift keeps the same low 32 bits.
void dequant8x8_high(Opx32s* c, int qp6, const Opx16s* level_scale) noexcept {
    if (qp6 < 6) {
        __m256i peak = _mm256_setzero_si256();
        for (int i = 0; i < 64; i += 8)
            peak = _mm256_or_si256(peak, _mm256_abs_epi32(load256(c + i)));
        // |INT32_MIN| stays INT32_MIN, which has the tested bit 31
        if (_mm256_testz_si256(peak, _mm256_set1_epi32(~0x7FFF))) {
            const __m256i rnd = _mm256_set1_epi32(1 << (5 - qp6));
            const __m128i sh = _mm_cvtsi32_si128(6 - qp6);
            for (int i = 0; i < 64; i += 8) {
                const __m256i ls = _mm256_cvtepi16_epi32(load128(level_scale + i));
                store256(c + i,
                         _mm256_sra_epi32(
                             _mm256_add_epi32(_mm256_mullo_epi32(load256(c + i), ls), rnd), sh));
            }
            return;
        }
    }
    for (int i = 0; i < 64; i += 8) {
        const __m256i x = load256(c + i);
        const __m256i ls = _mm256_cvtepi16_epi32(load128(level_scale + i));
        if (qp6 >= 6) {
            store256(c + i,
                     _mm256_sll_epi32(_mm256_mullo_epi32(x, ls), _mm_cvtsi32_si128(qp6 - 6)));
            continue;
        }
        const __m256i rnd = _mm256_set1_epi64x(std::int64_t{1} << (5 - qp6));
        const __m128i sh = _mm_cvtsi32_si128(6 - qp6);
        const __m256i even = _mm256_srl_epi64(_mm256_add_epi64(_mm256_mul_epi32(x, ls), rnd), sh);
        const __m256i odd = _mm256_srl_epi64(
            _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(ls, 32)),
                             rnd),
            sh);
        store256(c + i, _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA));
    }
}

}  // namespace

namespace {

// The 32-bit paths of dequant8x8_high on the 64 coefficients at c (qp6 >= 6: kRound false; ls:
// the level scales widened to 32 bits, for qp6 >= 6 shifted left by qp6 - 6, the product then
// already shifted modulo 2^32), then the transform of add8x8_high in place at dst.
template <bool kRound>
OPX_INLINE void dequant_add8x8_rows(Opx16u* dst, std::int32_t st, __m256i* r, int qp6,
                                    int max_sample, const __m256i* ls) noexcept {
    const __m128i sh = _mm_cvtsi32_si128(6 - qp6);
    const __m256i rnd = _mm256_set1_epi32(kRound ? 1 << (5 - qp6) : 0);
    for (int i = 0; i < 8; ++i) {
        const __m256i p = _mm256_mullo_epi32(r[i], ls[i]);
        r[i] = kRound ? _mm256_sra_epi32(_mm256_add_epi32(p, rnd), sh) : p;
    }
    transpose8x8_epi32(r);
    idct8_pass<Wrap32x8>(r);
    transpose8x8_epi32(r);
    add8x8_columns(dst, st, dst, st, r, max_sample);
}

template <bool kRound>
OPX_INLINE Opx32s* add8x8_blocks(Opx16u* dst, std::ptrdiff_t step, Opx32s* c, std::uint32_t coded,
                                 int qp6, int max_sample, const Opx16s* level_scale) noexcept {
    const auto st = static_cast<std::int32_t>(step * 2);
    alignas(32) __m256i ls[8];
    for (int i = 0; i < 8; ++i) {
        ls[i] = _mm256_cvtepi16_epi32(load128(level_scale + 8 * i));
        if (!kRound) ls[i] = _mm256_sll_epi32(ls[i], _mm_cvtsi32_si128(qp6 - 6));
    }
    for (int n = 0; n < 4; ++n) {
        if (!(coded & (1u << n))) continue;
        Opx16u* blk = dst + 8 * (n >> 1) * step + 8 * (n & 1);
        __m256i r[8] = {load256(c),      load256(c + 8),  load256(c + 16), load256(c + 24),
                        load256(c + 32), load256(c + 40), load256(c + 48), load256(c + 56)};
        if (!kRound) {
            dequant_add8x8_rows<false>(blk, st, r, qp6, max_sample, ls);
        } else {
            __m256i peak = _mm256_abs_epi32(r[0]);
            for (int i = 1; i < 8; ++i) peak = _mm256_or_si256(peak, _mm256_abs_epi32(r[i]));
            if (_mm256_testz_si256(peak, _mm256_set1_epi32(~0x7FFF))) {
                dequant_add8x8_rows<true>(blk, st, r, qp6, max_sample, ls);
            } else {
                dequant8x8_high(c, qp6, level_scale);
                add8x8_high(blk, st, c, blk, st, max_sample);
            }
        }
        c += 64;
    }
    return c;
}

}  // namespace

// dequant8x8_high's 32-bit paths keep the coefficients in registers for add8x8_high's
// transform; its wide path (coefficients beyond +-32767 below qp6 6) goes through memory.
Opx32s* add8x8_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, std::uint32_t coded,
                           int qp, int max_sample, const Opx16s* level_scale) noexcept {
    const int qp6 = qp / 6;
    return qp6 >= 6 ? add8x8_blocks<false>(dst, step, coeffs, coded, qp6, max_sample, level_scale)
                    : add8x8_blocks<true>(dst, step, coeffs, coded, qp6, max_sample, level_scale);
}

namespace {

// ---- DC arrays ------------------------------------------------------------------------------

// Flat luma DC (clause 8.5.10) below qp 12, where the rounding shift needs bits of f above
// the 16th: the Hadamard transform is exact in 32-bit lanes, so the column pass runs first on
// whole rows, and the row pass uses horizontal adds and subtracts; the results come out permuted
// and are put back in raster order when packed to their low 16 bits.
void luma_dc_flat_exact(Opx16s* c, int qp) noexcept {
    const __m256i r01 = _mm256_cvtepi16_epi32(load128(c));      // [R0 | R1]
    const __m256i r23 = _mm256_cvtepi16_epi32(load128(c + 8));  // [R2 | R3]
    const __m256i x = _mm256_add_epi32(r01, r23);               // [R0 + R2 | R1 + R3]
    const __m256i y = _mm256_sub_epi32(r01, r23);               // [R0 - R2 | R1 - R3]
    const __m256i lo = _mm256_permute2x128_si256(x, y, 0x20),
                  hi = _mm256_permute2x128_si256(x, y, 0x31);
    const __m256i p = _mm256_add_epi32(lo, hi);  // [G0 | G1]
    const __m256i q = _mm256_sub_epi32(lo, hi);  // [G3 | G2]
    // Per row x: s01 = x0 + x1, s23 = x2 + x3, d01 = x0 - x1, d23 = x2 - x3.
    const __m256i s = _mm256_hadd_epi32(p, q);  // [s01 s23 (G0), s01 s23 (G3) | G1, G2]
    const __m256i d = _mm256_hsub_epi32(p, q);  // [d01 d23 (G0), d01 d23 (G3) | G1, G2]
    __m256i h1 = _mm256_hadd_epi32(s, d);       // [y0 G0, y0 G3, y3 G0, y3 G3 | G1, G2]
    __m256i h2 = _mm256_hsub_epi32(s, d);       // [y1 G0, y1 G3, y2 G0, y2 G3 | G1, G2]
    const int q6 = qp / 6;
    const __m256i t = _mm256_set1_epi32(kDequantFlat4x4[qp][0] >> (q6 < 2 ? q6 : 2));
    const int sh = q6 == 0 ? 2 : q6 == 1 ? 1 : 0;
    const __m256i rnd = _mm256_set1_epi32(sh ? 1 << (sh - 1) : 0);
    const __m128i shv = _mm_cvtsi32_si128(sh);
    h1 = _mm256_sra_epi32(_mm256_add_epi32(_mm256_mullo_epi32(h1, t), rnd), shv);
    h2 = _mm256_sra_epi32(_mm256_add_epi32(_mm256_mullo_epi32(h2, t), rnd), shv);
    // Low 16 bits: [y0 y1 (G0), y0 y1 (G3), y3 y2 (G0), y3 y2 (G3)] per lane, then raster.
    const __m256i w = _mm256_blend_epi16(h1, _mm256_slli_epi32(h2, 16), 0xAA);
    const __m256i order = _mm256_setr_epi8(0, 1, 2, 3, 10, 11, 8, 9, 4, 5, 6, 7, 14, 15, 12, 13, 0,
                                           1, 2, 3, 10, 11, 8, 9, 4, 5, 6, 7, 14, 15, 12, 13);
    const __m256i rows = _mm256_shuffle_epi8(w, order);  // [G0 row, G3 row | G1 row, G2 row]
    store256(c, _mm256_permute4x64_epi64(rows, 0x78));
}

// Luma DC sign patterns and the word order of the row pass.
alignas(16) constexpr Opx16s kSignOdd[8] = {1, -1, 1, -1, 1, -1, 1, -1};
alignas(16) constexpr Opx16s kSignHigh[8] = {1, 1, -1, -1, 1, 1, -1, -1};
// Rows [out0 out3 out1 out2] back to raster order; the second swaps the two rows as well.
alignas(16) constexpr std::uint8_t kLumaDcOrder[16] = {0, 1, 4,  5,  6,  7,  2,  3,
                                                       8, 9, 12, 13, 14, 15, 10, 11};
alignas(16) constexpr std::uint8_t kLumaDcOrderSwap[16] = {8, 9, 12, 13, 14, 15, 10, 11,
                                                           0, 1, 4,  5,  6,  7,  2,  3};

// Flat luma DC (clause 8.5.10). From qp 12 on, dcY = low16(f * T): only f modulo 2^16 matters,
// so the Hadamard transform runs in 16-bit wrapping lanes, where its result does not depend on
// the order of the passes. The row pass stays inside each row (per 64-bit half):
// (a, b, c, d) -> (a + b, a - b, c + d, c - d) = x * (1, -1, 1, -1) + (b, a, d, c), then
// (s1, d1, s2, d2) -> (s1 + s2, d1 + d2, s1 - s2, d1 - d2) = x * (1, 1, -1, -1) + (s2, d2, s1, d1),
// which is the row's outputs in the order (0, 3, 1, 2), put back by the final word shuffle. The
// column pass works on whole rows: [R0 | R1] +- [R2 | R3], then the halves combined.
OpxResult luma_dc_flat(Opx16s* c, Opx32s qp) noexcept {
    if (qp < 12) {
        luma_dc_flat_exact(c, qp);
        return opxOk;
    }
    const __m128i sign_odd = load128(kSignOdd), sign_high = load128(kSignHigh);
    __m128i a = load128(c), b = load128(c + 8);  // [R0 | R1], [R2 | R3]
    a = _mm_add_epi16(_mm_sign_epi16(a, sign_odd), swap_words(a));
    b = _mm_add_epi16(_mm_sign_epi16(b, sign_odd), swap_words(b));
    a = _mm_add_epi16(_mm_sign_epi16(a, sign_high), _mm_shuffle_epi32(a, 0xB1));
    b = _mm_add_epi16(_mm_sign_epi16(b, sign_high), _mm_shuffle_epi32(b, 0xB1));
    const __m128i x = _mm_add_epi16(a, b),
                  y = _mm_sub_epi16(a, b);  // [R0+R2 | R1+R3], [R0-R2 | R1-R3]
    const __m128i lo = _mm_unpacklo_epi64(x, y), hi = _mm_unpackhi_epi64(x, y);
    // T = v(qp % 6, 0) << (qp / 6 - 2) = kDequantFlat4x4[qp][0] >> 2, at most 1600.
    const __m128i t = _mm_srai_epi16(_mm_set1_epi16(kDequantFlat4x4[qp][0]), 2);
    const __m128i f01 = _mm_mullo_epi16(_mm_add_epi16(lo, hi), t);  // [G0 | G1]
    const __m128i f32 = _mm_mullo_epi16(_mm_sub_epi16(lo, hi), t);  // [G3 | G2]
    store128(c, _mm_shuffle_epi8(f01, load128(kLumaDcOrder)));
    store128(c + 8, _mm_shuffle_epi8(f32, load128(kLumaDcOrderSwap)));
    return opxOk;
}

// The remaining DC kernels and the SP/SI kernels work on 4 to 16 values with per-value scaling
// rules; they are written with scalar 32-bit (or, where products need it, 64-bit) arithmetic.

void luma_dc_matrix(Opx16s* c, int qp, int ls) noexcept {
    // Hadamard in saturating 16-bit lanes: rows (after a transpose), then columns.
    const __m128i a = load128(c), b = load128(c + 8);
    auto had = [](__m128i x, __m128i y) {  // [v0 | v1], [v2 | v3] -> [o0 | o1], [o2 | o3]
        const __m128i s01 = _mm_adds_epi16(x, _mm_shuffle_epi32(x, 0x4E));  // [v0+v1 | v1+v0]
        const __m128i d01 = _mm_subs_epi16(x, _mm_shuffle_epi32(x, 0x4E));  // [v0-v1 | ...]
        const __m128i s23 = _mm_adds_epi16(y, _mm_shuffle_epi32(y, 0x4E));
        const __m128i d23 = _mm_subs_epi16(y, _mm_shuffle_epi32(y, 0x4E));
        const __m128i sd01 = _mm_unpacklo_epi64(s01, d01);  // [a | c]
        const __m128i sd23 = _mm_unpacklo_epi64(s23, d23);  // [b | d]
        const __m128i plus = _mm_adds_epi16(sd01, sd23);    // [a + b | c + d] = [o0 | o3]
        const __m128i minus = _mm_subs_epi16(sd01, sd23);   // [a - b | c - d] = [o1 | o2]
        return Pair{_mm_unpacklo_epi64(plus, minus), _mm_unpackhi_epi64(minus, plus)};
    };
    Pair p = transpose4x4({a, b});
    p = had(p.a, p.b);
    p = transpose4x4(p);
    p = had(p.a, p.b);
    const __m256i f = _mm256_set_m128i(p.b, p.a);
    const __m256i lsv = _mm256_set1_epi16(static_cast<short>(ls));
    const __m256i lo = _mm256_mullo_epi16(f, lsv), hi = _mm256_mulhi_epi16(f, lsv);
    __m256i p0 = _mm256_unpacklo_epi16(lo, hi), p1 = _mm256_unpackhi_epi16(lo, hi);
    const int q6 = qp / 6;
    if (q6 >= 6) {
        const __m256i lo16 = _mm256_set1_epi32(-32768), hi16 = _mm256_set1_epi32(32767);
        const __m128i sh = _mm_cvtsi32_si128(q6 - 6);
        p0 = _mm256_sll_epi32(_mm256_max_epi32(_mm256_min_epi32(p0, hi16), lo16), sh);
        p1 = _mm256_sll_epi32(_mm256_max_epi32(_mm256_min_epi32(p1, hi16), lo16), sh);
    } else {
        const __m256i rnd = _mm256_set1_epi32(1 << (5 - q6));
        const __m128i sh = _mm_cvtsi32_si128(6 - q6);
        p0 = _mm256_sra_epi32(_mm256_add_epi32(p0, rnd), sh);
        p1 = _mm256_sra_epi32(_mm256_add_epi32(p1, rnd), sh);
    }
    store256(c, _mm256_packs_epi32(p0, p1));
}

// 32-bit wrapping Hadamard of 16 values in four 128-bit rows.
inline void hadamard4x4_wrap32(__m128i* r) noexcept {
    for (int pass = 0; pass < 2; ++pass) {
        transpose4x4_epi32(r);
        const __m128i a = _mm_add_epi32(r[0], r[1]), b = _mm_add_epi32(r[2], r[3]);
        const __m128i c = _mm_sub_epi32(r[0], r[1]), d = _mm_sub_epi32(r[2], r[3]);
        r[0] = _mm_add_epi32(a, b);
        r[1] = _mm_sub_epi32(a, b);
        r[2] = _mm_sub_epi32(c, d);
        r[3] = _mm_add_epi32(c, d);
    }
}

void luma_dc_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    __m128i r[4];
    for (int i = 0; i < 4; ++i) r[i] = load128(c + 4 * i);
    hadamard4x4_wrap32(r);
    const int q6 = qp / 6;
    const __m128i lsv = _mm_set1_epi32(ls);
    for (int i = 0; i < 4; ++i) {
        const __m128i d = _mm_mullo_epi32(r[i], lsv);
        r[i] = q6 >= 6 ? _mm_sll_epi32(d, _mm_cvtsi32_si128(q6 - 6))
                       : _mm_sra_epi32(_mm_add_epi32(d, _mm_set1_epi32(1 << (5 - q6))),
                                       _mm_cvtsi32_si128(6 - q6));
        store128(c + 4 * i, r[i]);
    }
}

void chroma_dc_flat(Opx16s* c, int qp) noexcept {
    const int s0 = c[0] + c[1], d0 = c[0] - c[1], s1 = c[2] + c[3], d1 = c[2] - c[3];
    const int f[4] = {wrap16(s0 + s1), wrap16(d0 + d1), wrap16(s0 - s1), wrap16(d0 - d1)};
    const int scale = kDequantFlat4x4[qp][0];
    for (int i = 0; i < 4; ++i)
        c[i] = static_cast<Opx16s>(wrap16(static_cast<std::uint32_t>((f[i] * scale) >> 1)));
}

void chroma_dc2x2_matrix(Opx16s* c, int qp, int ls) noexcept {
    const int s0 = c[0] + c[1], d0 = c[0] - c[1], s1 = c[2] + c[3], d1 = c[2] - c[3];
    const int f[4] = {wrap16(s0 + s1), wrap16(d0 + d1), wrap16(s0 - s1), wrap16(d0 - d1)};
    const int q6 = qp / 6;
    for (int i = 0; i < 4; ++i) {
        const std::int64_t d = static_cast<std::int64_t>(f[i]) * ls;
        c[i] = static_cast<Opx16s>(q6 < 5 ? wrap16(static_cast<std::uint32_t>(d >> (5 - q6)))
                                          : sat16(static_cast<int>(std::clamp<std::int64_t>(
                                                d * (1 << (q6 - 5)), -32768, 32767))));
    }
}

void chroma_dc2x2_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    const __m128i x = load128(c);
    // [s0, d0, s1, d1] with s0, d0 = c0 +- c1 and s1, d1 = c2 +- c3.
    const __m128i t = _mm_unpacklo_epi32(_mm_hadd_epi32(x, x), _mm_hsub_epi32(x, x));
    const __m128i a = _mm_shuffle_epi32(t, 0x44), b = _mm_shuffle_epi32(t, 0xEE);
    // [s0 + s1, d0 + d1, s0 - s1, d0 - d1]
    const __m128i f = _mm_blend_epi32(_mm_add_epi32(a, b), _mm_sub_epi32(a, b), 0xC);
    const __m128i p = _mm_mullo_epi32(f, _mm_set1_epi32(ls));
    const int q6 = qp / 6;
    store128(c, q6 < 5 ? _mm_sra_epi32(p, _mm_cvtsi32_si128(5 - q6))
                       : _mm_sll_epi32(p, _mm_cvtsi32_si128(q6 - 5)));
}

void chroma_dc2x4_matrix(Opx16s* c, int qp, int ls) noexcept {
    store128(c, chroma_dc2x4_vec(load128(c), qp, ls));
}

void chroma_dc2x4_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    const __m128i lo = load128(c), hi = load128(c + 4);
    const __m128i s = _mm_hadd_epi32(lo, hi);  // s0..s3
    const __m128i d = _mm_hsub_epi32(lo, hi);  // d0..d3
    const __m128i ab = _mm_hadd_epi32(s, d);   // [s0 + s1, s2 + s3, d0 + d1, d2 + d3]: a, b of s, d
    const __m128i eg = _mm_hsub_epi32(s, d);   // [s0 - s1, s2 - s3, d0 - d1, d2 - d3]: e, g of s, d
    // Output position 2k + h takes f_k of s (h 0) or d (h 1): f0, f1 = a + b, a - b and
    // f2, f3 = e - g, e + g, each as [s, d, s, d] from [a_s, a_d, a_s, a_d] and [b_s, b_d, ...].
    const __m128i a2 = _mm_shuffle_epi32(ab, 0x88), b2 = _mm_shuffle_epi32(ab, 0xDD);
    const __m128i e2 = _mm_shuffle_epi32(eg, 0x88), g2 = _mm_shuffle_epi32(eg, 0xDD);
    const __m128i f01 = _mm_blend_epi32(_mm_add_epi32(a2, b2), _mm_sub_epi32(a2, b2), 0xC);
    const __m128i f23 = _mm_blend_epi32(_mm_sub_epi32(e2, g2), _mm_add_epi32(e2, g2), 0xC);
    const __m256i p = _mm256_mullo_epi32(
        _mm256_inserti128_si256(_mm256_castsi128_si256(f01), f23, 1), _mm256_set1_epi32(ls));
    const int q6 = (qp + 3) / 6;
    store256(c, q6 < 6 ? _mm256_sra_epi32(_mm256_add_epi32(p, _mm256_set1_epi32(1 << (5 - q6))),
                                          _mm_cvtsi32_si128(6 - q6))
                       : _mm256_sll_epi32(p, _mm_cvtsi32_si128(q6 - 6)));
}

// SP/SI (clauses 8.6.1, 8.6.2): per-position requantisation in 64-bit scalar arithmetic, then the
// vector transform with wrapping rows and exact columns.
inline std::int64_t requant(std::int64_t x, int qs, int k, int q_bits) noexcept {
    const int shift = q_bits + qs / 6;
    const std::int64_t m =
        ((x < 0 ? -x : x) * kLevelScale2[qs % 6][k] + (std::int64_t{1} << (shift - 1))) >> shift;
    return x < 0 ? -m : m;
}

void sisp4x4(Opx16s* coeffs, const Opx16s* pred_coeffs, const Opx16s* dc, bool ac, int qp, int qs,
             bool switching) noexcept {
    static constexpr int kA[3] = {16, 25, 20};
    alignas(16) Opx16s w[16];
    for (int i = 0; i < 16; ++i) {
        const int k = class4x4(i);
        const std::int64_t c = (i == 0 || ac) ? coeffs[i] : 0;
        const std::int64_t level =
            switching
                ? c + requant(pred_coeffs[i], qs, k, 15)
                : requant(pred_coeffs[i] + ((c * kA[k] * kDequantFlat4x4[qp][i]) >> 6), qs, k, 15);
        w[i] = static_cast<Opx16s>(wrap16(static_cast<std::uint32_t>(
            static_cast<std::uint64_t>(level * kDequantFlat4x4[qs][i]))));
    }
    if (dc) w[0] = *dc;
    const Pair r = idct4x4_wrap_rows_exact_columns({load128(w), load128(w + 8)});
    store128(coeffs, _mm_max_epi16(_mm_min_epi16(r.a, _mm_set1_epi16(255)), _mm_setzero_si128()));
    store128(coeffs + 8,
             _mm_max_epi16(_mm_min_epi16(r.b, _mm_set1_epi16(255)), _mm_setzero_si128()));
}

void sisp_chroma_dc(Opx16s* dc, const Opx16s* dc_pred, int qp, int qs, bool switching) noexcept {
    const std::int64_t p0 = dc_pred[0], p1 = dc_pred[1], p2 = dc_pred[2], p3 = dc_pred[3];
    const std::int64_t p[4] = {p0 + p1 + p2 + p3, p0 - p1 + p2 - p3, p0 + p1 - p2 - p3,
                               p0 - p1 - p2 + p3};
    std::int64_t g[4];
    for (int i = 0; i < 4; ++i) {
        const std::int64_t level =
            switching ? dc[i] + requant(p[i], qs, 0, 16)
                      : requant(p[i] + ((std::int64_t{dc[i]} * kDequantFlat4x4[qp][0] * 16) >> 5),
                                qs, 0, 16);
        g[i] = level * kDequantFlat4x4[qs][0];
    }
    const std::int64_t f[4] = {g[0] + g[1] + g[2] + g[3], g[0] - g[1] + g[2] - g[3],
                               g[0] + g[1] - g[2] - g[3], g[0] - g[1] - g[2] + g[3]};
    for (int i = 0; i < 4; ++i)
        dc[i] = static_cast<Opx16s>(
            wrap16(static_cast<std::uint32_t>(static_cast<std::uint64_t>(f[i] >> 1))));
}

}  // namespace

extern const TransformKernels kTransform = {
    add4x4_flat,
    add4x4_matrix,
    add4x4_matrix_high,
    dequant_residual4x4_flat,
    sisp4x4,
    sisp_chroma_dc,
    luma_dc_flat,
    chroma_dc_flat,
    luma_dc_matrix,
    luma_dc_matrix_high,
    chroma_dc2x2_matrix,
    chroma_dc2x2_matrix_high,
    chroma_dc2x4_matrix,
    chroma_dc2x4_matrix_high,
    residual4x4,
    residual4x4_high,
    dequant8x8,
    dequant8x8_high,
    add8x8,
    add8x8_high,
};

}  // namespace opx::h264::avx2
