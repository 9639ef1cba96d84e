// AVX2 forward transforms and quantisation of 16-bit blocks; the 32-bit forms, the 2x4 chroma
// DC array, the level-guarded forms and the scale generation share the portable kernels.
//
// Lanes: a 4x4 block is one 256-bit vector of 16-bit values (raster order) for quantisation; the
// 4x4 transforms work on four 128-bit rows (four 16-bit values each) with two 4x4 transposes. The
// 8x8 transform holds two rows per 256-bit vector in 16-bit lanes for blocks within +-427 (every
// 8-bit residual) and widens to 32 bits (eight 256-bit rows) beyond: its gain of 64 would
// overflow 16-bit lanes there.
//
// Quantisation in 16-bit lanes: |c| <= 32768 (pabsw of -32768 reads as 32768 unsigned) and
// s <= 65535 give |c| x s < 2^31; f < 2^23 for every 16-bit function's q (at most 24), so
// |c| x s + f fits an unsigned 32-bit lane and the shifted magnitude (q >= 11) is below 2^21,
// which packusdw then saturates to 65535 before the clamp to 32767 / 32768.
//
// The flat scales (s <= 13107) need no 32-bit lanes at all (quant_flat below), nor does the 8x8
// rule once q >= 16 (quant8x8_halves).
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "h264/encode/fwd.hpp"

namespace opx::h264::enc::avx2 {
namespace {

// Residuals within +-910 give 4x4 coefficients within 16 bits (gain 36): 36 x 910 = 32760.
constexpr int kExact16Bound = 910;

OPX_INLINE __m128i load64(const void* p) noexcept {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

// sign(c) x min((|c| x s + f) >> q, 32767 or 32768 for negative c), 16 lanes.
// With mag given, *mag receives the level's magnitude capped at 32767 (zero where the level is).
OPX_INLINE __m256i quant16(__m256i c, __m256i s, __m256i f, __m128i q,
                           __m256i* mag_out = nullptr) noexcept {
    const __m256i mag = _mm256_abs_epi16(c);
    const __m256i lo = _mm256_mullo_epi16(mag, s);
    const __m256i hi = _mm256_mulhi_epu16(mag, s);
    const __m256i p0 = _mm256_srl_epi32(_mm256_add_epi32(_mm256_unpacklo_epi16(lo, hi), f), q);
    const __m256i p1 = _mm256_srl_epi32(_mm256_add_epi32(_mm256_unpackhi_epi16(lo, hi), f), q);
    const __m256i neg = _mm256_cmpgt_epi16(_mm256_setzero_si256(), c);
    const __m256i limit = _mm256_sub_epi16(_mm256_set1_epi16(32767), neg);
    const __m256i m = _mm256_min_epu16(_mm256_packus_epi32(p0, p1), limit);
    if (mag_out) *mag_out = _mm256_min_epu16(m, _mm256_set1_epi16(32767));
    return _mm256_sign_epi16(m, c);
}

// Zero lanes of a level vector as a mask of 32 bits (two per lane).
OPX_INLINE std::uint32_t zero_mask(__m256i level) noexcept {
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi16(level, _mm256_setzero_si256())));
}

// Largest of the scan values where the level is non-zero, at least 0.
OPX_INLINE __m256i masked_scan(__m256i level, const Opx16s* scan) noexcept {
    const __m256i sc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan));
    const __m256i nz = _mm256_cmpeq_epi16(level, _mm256_setzero_si256());
    return _mm256_max_epi16(_mm256_andnot_si256(nz, sc), _mm256_setzero_si256());
}
OPX_INLINE std::int32_t hmax(__m256i v) noexcept {
    const __m128i m = _mm_max_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    // ~m reverses the order of 0..32767 read unsigned: its smallest word is ~max (bits 16..18
    // of the answer hold the index).
    const __m128i inv = _mm_xor_si128(m, _mm_cmpeq_epi16(m, m));
    return static_cast<std::uint16_t>(~_mm_cvtsi128_si32(_mm_minpos_epu16(inv)));
}

// ---- quantiser steps per qp -------------------------------------------------------------------
//
// The offset f and the shift q of every qp of the 16-bit forms with caller scales, read from one
// table entry in place of divisions and shifts per call.
struct QuantStep {
    std::int32_t f, q;
};
constexpr int kQps = 52;
struct QuantSteps {
    QuantStep v[kQps][2];  // [qp][intra]
};
enum class StepKind { kBlock4x4, kLumaDc, kChromaDc };
constexpr QuantSteps make_steps(StepKind kind) noexcept {
    QuantSteps t{};
    for (int intra = 0; intra < 2; ++intra)
        for (int qp = 0; qp < kQps; ++qp) {
            const int per = qp / 6;
            QuantStep& e = t.v[qp][intra];
            e.q = (kind == StepKind::kBlock4x4 ? 11 : 12) + per;
            const std::uint32_t unit = 1u << e.q;
            e.f = static_cast<std::int32_t>(kind == StepKind::kLumaDc ? 682u << (per + 1)
                                            : intra                   ? unit / 3
                                                                      : unit / 6);
        }
    return t;
}
constexpr QuantSteps kSteps4x4 = make_steps(StepKind::kBlock4x4);
constexpr QuantSteps kStepsLumaDc = make_steps(StepKind::kLumaDc);  // intra index unused
constexpr QuantSteps kStepsChromaDc = make_steps(StepKind::kChromaDc);

// ---- flat-scale quantisation in 16-bit lanes ------------------------------------------------
//
// Doubling s and f and raising q by one leaves (|c| x s + f) >> q as it is and makes q >= 16 for
// every flat-scale rule (4x4: q = 15 + qp / 6, DC: 16 + qp / 6). With 2s <= 26214 and
// |c| <= 32768 the product P = |c| x 2s (below 2^30) splits into 16-bit halves hi:lo, 2f into
// fh:fl, and
//   (P + 2f) >> 16 = hi + fh + carry,   carry = (lo + fl >= 2^16) = (lo >= 2^16 - fl),
// a sum below 2^15; the level magnitude is that sum >> (q + 1 - 16), at most 13107 + 1, so no
// clamp is needed. fl is never 0 for these offsets (2f is 2 x floor(2^q / 3 or 6)), which
// keeps 2^16 - fl within 16 bits (checked below).
struct FlatStep {
    std::uint16_t k;      // 2^16 - fl: lo at or above it carries
    std::uint16_t fh;     // high half of 2f
    std::uint16_t shift;  // q + 1 - 16
    std::uint16_t aux;    // the doubled DC scale 2 MF[qp % 6][0] (DC arrays)
};
struct FlatSteps {
    FlatStep v[kQps][2];  // [qp][intra]
};
constexpr FlatSteps make_flat_steps(StepKind kind) noexcept {
    FlatSteps t{};
    for (int intra = 0; intra < 2; ++intra)
        for (int qp = 0; qp < kQps; ++qp) {
            const int q = (kind == StepKind::kBlock4x4 ? 15 : 16) + qp / 6;
            const std::uint32_t unit = 1u << q;
            const std::uint32_t f = kind == StepKind::kLumaDc || intra ? unit / 3 : unit / 6;
            const std::uint32_t f2 = 2 * f;
            FlatStep& e = t.v[qp][intra];
            e.k = static_cast<std::uint16_t>(0x10000u - (f2 & 0xFFFF));
            e.fh = static_cast<std::uint16_t>(f2 >> 16);
            e.shift = static_cast<std::uint16_t>(q + 1 - 16);
            e.aux = static_cast<std::uint16_t>(2 * kMf4x4[qp % 6][0]);
        }
    return t;
}
constexpr bool low_halves_nonzero(const FlatSteps& t) noexcept {
    for (const auto& row : t.v)
        for (const FlatStep& e : row)
            if (e.k == 0) return false;  // fl = 0 would wrap 2^16 - fl to 0
    return true;
}
constexpr FlatSteps kFlat4x4 = make_flat_steps(StepKind::kBlock4x4);
constexpr FlatSteps kFlatLumaDc = make_flat_steps(StepKind::kLumaDc);  // intra index unused
constexpr FlatSteps kFlatChromaDc = make_flat_steps(StepKind::kChromaDc);
static_assert(low_halves_nonzero(kFlat4x4) && low_halves_nonzero(kFlatLumaDc) &&
              low_halves_nonzero(kFlatChromaDc));

// The doubled flat 4x4 scales per raster position for every qp: [kQps][16]. A row per qp (not
// per qp % 6) lets its load start as soon as qp is known, beside the step's load; the qp of the
// exported functions arrives on the stack, and a second load behind the first would sit on the
// critical path of the whole call.
struct Scale2Rows {
    alignas(32) std::uint16_t v[kQps][16];
};
constexpr Scale2Rows make_scale2() noexcept {
    Scale2Rows t{};
    for (int qp = 0; qp < kQps; ++qp)
        for (int i = 0; i < 16; ++i)
            t.v[qp][i] = static_cast<std::uint16_t>(2 * kMf4x4[qp % 6][class4x4(i)]);
    return t;
}
constexpr Scale2Rows kScale2 = make_scale2();

// sign(c) x ((|c| x s2 + f2) >> (q + 1)) with the doubled scale s2 and the step's halves of f2.
// With mag given, *mag receives the level's magnitude (zero where the level is).
template <class V>
OPX_INLINE V quant_flat(V c, V s2, const FlatStep& st, V* mag = nullptr) noexcept;
template <>
OPX_INLINE __m256i quant_flat(__m256i c, __m256i s2, const FlatStep& st,
                              __m256i* mag_out) noexcept {
    const __m256i mag = _mm256_abs_epi16(c);  // -32768 reads as 32768
    const __m256i lo = _mm256_mullo_epi16(mag, s2), hi = _mm256_mulhi_epu16(mag, s2);
    const __m256i k = _mm256_set1_epi16(static_cast<short>(st.k));
    const __m256i carry = _mm256_cmpeq_epi16(_mm256_max_epu16(lo, k), lo);  // -1 where lo >= k
    const __m256i sum = _mm256_sub_epi16(_mm256_add_epi16(hi, _mm256_set1_epi16(st.fh)), carry);
    const __m256i r = _mm256_srl_epi16(sum, _mm_cvtsi32_si128(st.shift));
    if (mag_out) *mag_out = r;
    return _mm256_sign_epi16(r, c);
}
template <>
OPX_INLINE __m128i quant_flat(__m128i c, __m128i s2, const FlatStep& st, __m128i*) noexcept {
    const __m128i mag = _mm_abs_epi16(c);
    const __m128i lo = _mm_mullo_epi16(mag, s2), hi = _mm_mulhi_epu16(mag, s2);
    const __m128i k = _mm_set1_epi16(static_cast<short>(st.k));
    const __m128i carry = _mm_cmpeq_epi16(_mm_max_epu16(lo, k), lo);
    const __m128i sum = _mm_sub_epi16(_mm_add_epi16(hi, _mm_set1_epi16(st.fh)), carry);
    return _mm_sign_epi16(_mm_srl_epi16(sum, _mm_cvtsi32_si128(st.shift)), c);
}

// ---- 4x4 transforms in 16-bit lanes --------------------------------------------------------

struct Wrap {
    static OPX_INLINE __m128i add(__m128i a, __m128i b) noexcept { return _mm_add_epi16(a, b); }
    static OPX_INLINE __m128i sub(__m128i a, __m128i b) noexcept { return _mm_sub_epi16(a, b); }
};
struct Sat {
    static OPX_INLINE __m128i add(__m128i a, __m128i b) noexcept { return _mm_adds_epi16(a, b); }
    static OPX_INLINE __m128i sub(__m128i a, __m128i b) noexcept { return _mm_subs_epi16(a, b); }
};

// One pass of the core transform across four vectors (x[k] holds sample k of each line).
template <class Op>
OPX_INLINE void pass4(__m128i* x) noexcept {
    const __m128i s03 = Op::add(x[0], x[3]), s12 = Op::add(x[1], x[2]);
    const __m128i d03 = Op::sub(x[0], x[3]), d12 = Op::sub(x[1], x[2]);
    x[0] = Op::add(s03, s12);
    x[1] = Op::add(Op::add(d03, d03), d12);
    x[2] = Op::sub(s03, s12);
    x[3] = Op::sub(d03, Op::add(d12, d12));
}

// Transpose of four 4-lane 16-bit vectors (low halves).
OPX_INLINE void transpose4(__m128i* x) noexcept {
    const __m128i a = _mm_unpacklo_epi16(x[0], x[1]);
    const __m128i b = _mm_unpacklo_epi16(x[2], x[3]);
    const __m128i c = _mm_unpacklo_epi32(a, b);
    const __m128i d = _mm_unpackhi_epi32(a, b);
    x[0] = c;
    x[1] = _mm_unpackhi_epi64(c, c);
    x[2] = d;
    x[3] = _mm_unpackhi_epi64(d, d);
}

// Rows then columns; returns rows 0..3 as one vector in raster order.
template <class Op>
OPX_INLINE __m256i forward4x4(__m128i* x) noexcept {
    transpose4(x);
    pass4<Op>(x);  // rows: x[k] = output k of each row
    transpose4(x);
    pass4<Op>(x);  // columns: x[v] = output row v
    const __m128i r01 = _mm_unpacklo_epi64(x[0], x[1]);
    const __m128i r23 = _mm_unpacklo_epi64(x[2], x[3]);
    return _mm256_set_m128i(r23, r01);
}

OPX_INLINE BlockFacts facts16(__m256i level, const Opx16s* scan, bool negate_dc) noexcept {
    const std::uint32_t z = zero_mask(level);
    std::int32_t count = 16 - (_mm_popcnt_u32(z) >> 1);
    if (negate_dc && !(z & 1)) count = -count;
    return {count, hmax(masked_scan(level, scan))};
}

// The facts from the level magnitudes mag (0..32767, zero where the level is), a step shorter
// than from the levels: vpsignw of the scan values by mag leaves the scan value of every
// non-zero level and 0 elsewhere.
OPX_INLINE BlockFacts facts16_of_magnitudes(__m256i mag, const Opx16s* scan,
                                            bool negate_dc) noexcept {
    const std::uint32_t z = zero_mask(mag);
    std::int32_t count = 16 - (_mm_popcnt_u32(z) >> 1);
    if (negate_dc && !(z & 1)) count = -count;
    const __m256i sc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan));
    return {count, hmax(_mm256_max_epi16(_mm256_sign_epi16(sc, mag), _mm256_setzero_si256()))};
}

// The 4x4 rule on the coefficients c: flat scales in 16-bit lanes, caller scales in 32-bit ones.
OPX_INLINE __m256i quant4x4_levels(__m256i c, int qp, bool intra, const void* scale,
                                   __m256i* mag) noexcept {
    if (scale) {
        const QuantStep& st = kSteps4x4.v[qp][intra];
        return quant16(c, _mm256_loadu_si256(static_cast<const __m256i*>(scale)),
                       _mm256_set1_epi32(st.f), _mm_cvtsi32_si128(st.q), mag);
    }
    const FlatStep& st = kFlat4x4.v[qp][intra];
    return quant_flat(c, _mm256_load_si256(reinterpret_cast<const __m256i*>(kScale2.v[qp])), st,
                      mag);
}

OpxResult trans_quant4x4(const Opx16s* src, Opx16s* dst, Opx32s qp, Opx32s* num, Opx32s intra,
                         const Opx16s* scan, Opx32s* last, const Opx16s* scale) noexcept {
    __m128i x[4] = {load64(src), load64(src + 4), load64(src + 8), load64(src + 12)};
    const __m128i r01 = _mm_unpacklo_epi64(x[0], x[1]), r23 = _mm_unpacklo_epi64(x[2], x[3]);
    const __m128i bound = _mm_set1_epi16(kExact16Bound);
    const __m128i over = _mm_or_si128(_mm_cmpgt_epi16(_mm_abs_epi16(r01), bound),
                                      _mm_cmpgt_epi16(_mm_abs_epi16(r23), bound));
    // Larger residuals (never from 8-bit or 9-bit samples) take the exact 64-bit path.
    if (OPX_UNLIKELY(!_mm_testz_si128(over, over)))
        return ref::trans_quant4x4(src, dst, qp, num, intra, scan, last, scale);
    const __m256i c = forward4x4<Wrap>(x);
    __m256i mag;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                        quant4x4_levels(c, qp, intra != 0, scale, &mag));
    const BlockFacts f = facts16_of_magnitudes(mag, scan, true);
    *num = f.count;
    *last = f.last;
    return opxOk;
}

OpxResult quant4x4(const Opx16s* src, Opx16s* dst, Opx32s* num, Opx32s* last, const Opx16u* scale,
                   const Opx16s* scan, Opx32s qp, Opx32s intra) noexcept {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    // The facts from the levels: for this short call, their magnitudes measured no faster.
    const __m256i level = quant4x4_levels(c, qp, intra != 0, scale, nullptr);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), level);
    const BlockFacts f = facts16(level, scan, false);
    *num = f.count;
    *last = f.last;
    return opxOk;
}

void transform4x4(const Opx16s* src, Opx16s* dst) noexcept {
    __m128i x[4] = {load64(src), load64(src + 4), load64(src + 8), load64(src + 12)};
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), forward4x4<Sat>(x));
}

// 8-bit samples: coefficients within 36 x 255, exact in 16-bit lanes.
void transform_pred(const Opx8u* src, std::int32_t step, Opx16s* dst) noexcept {
    __m128i x[4];
    for (int r = 0; r < 4; ++r) {
        std::int32_t v;
        __builtin_memcpy(&v, src + static_cast<std::ptrdiff_t>(r) * step, 4);
        x[r] = _mm_cvtepu8_epi16(_mm_cvtsi32_si128(v));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), forward4x4<Wrap>(x));
}

// ---- 8x8 transform in 32-bit lanes -------------------------------------------------------

OPX_INLINE void transpose8(__m256i* r) noexcept {
    __m256i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
}

OPX_INLINE __m256i add(__m256i a, __m256i b) noexcept { return _mm256_add_epi32(a, b); }
OPX_INLINE __m256i sub(__m256i a, __m256i b) noexcept { return _mm256_sub_epi32(a, b); }
template <int N>
OPX_INLINE __m256i sra(__m256i a) noexcept {
    return _mm256_srai_epi32(a, N);
}

// One pass of the 8x8 forward butterflies across eight vectors.
OPX_INLINE void pass8(__m256i* x) noexcept {
    const __m256i a0 = add(x[0], x[7]), a1 = add(x[1], x[6]), a2 = add(x[2], x[5]),
                  a3 = add(x[3], x[4]);
    const __m256i a4 = sub(x[0], x[7]), a5 = sub(x[1], x[6]), a6 = sub(x[2], x[5]),
                  a7 = sub(x[3], x[4]);
    const __m256i b0 = add(a0, a3), b1 = add(a1, a2), b2 = sub(a0, a3), b3 = sub(a1, a2);
    const __m256i b4 = add(add(a5, a6), add(sra<1>(a4), a4));
    const __m256i b5 = sub(sub(a4, a7), add(sra<1>(a6), a6));
    const __m256i b6 = sub(add(a4, a7), add(sra<1>(a5), a5));
    const __m256i b7 = add(sub(a5, a6), add(sra<1>(a7), a7));
    x[0] = add(b0, b1);
    x[2] = add(b2, sra<1>(b3));
    x[4] = sub(b0, b1);
    x[6] = sub(sra<1>(b2), b3);
    x[1] = add(b4, sra<2>(b7));
    x[3] = add(b5, sra<2>(b6));
    x[5] = sub(b6, sra<2>(b5));
    x[7] = sub(sra<2>(b4), b7);
}

OPX_INLINE void forward8x8(const Opx16s* src, __m256i* x) noexcept {
    for (int r = 0; r < 8; ++r)
        x[r] = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8 * r)));
    transpose8(x);
    pass8(x);  // rows
    transpose8(x);
    pass8(x);  // columns
}

// ---- 8x8 transform in 16-bit lanes ----------------------------------------------------------
//
// Residuals within +-427 keep every intermediate within 16 bits: per pass a <= 2B, b0..b3 <= 4B,
// b4..b7 <= 7B and the outputs <= 8.75B for inputs of magnitude B, so the column pass stays
// below 7 x 8.75 x 8.75 x 427 < 32768 (b) and 8.75^2 x 427 = 32692 (outputs). Arithmetic shifts of
// 16-bit lanes equal those of the 32-bit path there.
constexpr int kExact8x8Bound = 427;

// Lanes: an 8x8 block is four 256-bit vectors, each holding two 8-lane vectors v, w of the block
// as quads [v0-3, w0-3 | v4-7, w4-7] (quadwords 0 and 2 against 1 and 3), so that v and w trade
// places by an in-lane vpshufd.
OPX_INLINE __m256i swap_pair(__m256i v) noexcept {
    return _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
}

// Transposes t[i][j] = v[j][i] delivering the quads (t0, t1), (t3, t2), (t4, t5), (t7, t6) that
// the first butterflies pair. From the halves Y[k] = (v[k] | v[k + 4]) (rows as loaded), the
// in-lane unpacks already leave quads (t0, t1), (t2, t3), (t4, t5), (t6, t7): rows 0..3 of v in
// the low lane, 4..7 in the high one.
OPX_INLINE void transpose_halves(const __m256i* y, __m256i* t) noexcept {
    const __m256i u0 = _mm256_unpacklo_epi16(y[0], y[1]), u1 = _mm256_unpackhi_epi16(y[0], y[1]);
    const __m256i u2 = _mm256_unpacklo_epi16(y[2], y[3]), u3 = _mm256_unpackhi_epi16(y[2], y[3]);
    t[0] = _mm256_unpacklo_epi32(u0, u2);
    t[1] = swap_pair(_mm256_unpackhi_epi32(u0, u2));
    t[2] = _mm256_unpacklo_epi32(u1, u3);
    t[3] = swap_pair(_mm256_unpackhi_epi32(u1, u3));
}
// From the quads Y[k] = (v[k], v[k + 4]) (a pass's outputs): the unpacks give, per lane, lanes
// 0..3 (a) or 4..7 (b) of t[i], t[i + 1] in the low lane and of t[i + 4], t[i + 5] in the high
// one; vperm2i128 joins the a and b parts of each pair.
OPX_INLINE void transpose_quads(const __m256i* y, __m256i* t) noexcept {
    const __m256i u0 = _mm256_unpacklo_epi16(y[0], y[1]), u1 = _mm256_unpackhi_epi16(y[0], y[1]);
    const __m256i u2 = _mm256_unpacklo_epi16(y[2], y[3]), u3 = _mm256_unpackhi_epi16(y[2], y[3]);
    const __m256i a01 = _mm256_unpacklo_epi32(u0, u2), a23 = _mm256_unpackhi_epi32(u0, u2);
    const __m256i b01 = _mm256_unpacklo_epi32(u1, u3), b23 = _mm256_unpackhi_epi32(u1, u3);
    t[0] = _mm256_permute2x128_si256(a01, b01, 0x20);
    t[1] = swap_pair(_mm256_permute2x128_si256(a23, b23, 0x20));
    t[2] = _mm256_permute2x128_si256(a01, b01, 0x31);
    t[3] = swap_pair(_mm256_permute2x128_si256(a23, b23, 0x31));
}

// One pass of the butterflies of fwd_ref.cpp's core8 on the quads (x0, x1), (x3, x2), (x4, x5),
// (x7, x6); the outputs come back as (y0, y4), (y1, y5), (y2, y6), (y3, y7), in the same
// layout. Each value equals its counterpart of the 32-bit path while the block stays within
// kExact8x8Bound (the additions wrap, and every value that is shifted is within 16 bits).
OPX_INLINE void pass8x8_paired(const __m256i* t, __m256i* y) noexcept {
    const __m256i fs =  // +1 for the first vector of a pair, -1 for the second
        _mm256_setr_epi16(1, 1, 1, 1, -1, -1, -1, -1, 1, 1, 1, 1, -1, -1, -1, -1);
    const __m256i s01 = _mm256_add_epi16(t[0], t[3]);  // a0, a1
    const __m256i p = _mm256_sub_epi16(t[0], t[3]);    // a4, a5
    const __m256i s32 = _mm256_add_epi16(t[1], t[2]);  // a3, a2
    const __m256i q = _mm256_sub_epi16(t[1], t[2]);    // a7, a6
    const __m256i b01 = _mm256_add_epi16(s01, s32);    // b0, b1
    const __m256i b23 = _mm256_sub_epi16(s01, s32);    // b2, b3
    // y0 = b0 + b1, y4 = b0 - b1; y2 = b2 + (b3 >> 1), y6 = (b2 >> 1) - b3.
    y[0] = _mm256_add_epi16(_mm256_sign_epi16(b01, fs), swap_pair(b01));
    y[2] = _mm256_add_epi16(_mm256_sign_epi16(b23, fs), swap_pair(_mm256_srai_epi16(b23, 1)));
    // h = a + (a >> 1) for a4..a7; b4 = (a5 + a6) + h4, b6 = (a4 + a7) - h5,
    // b5 = (a4 - a7) - h6, b7 = (a5 - a6) + h7, each formed in both orders of its pair.
    const __m256i hp = _mm256_add_epi16(p, _mm256_srai_epi16(p, 1));  // h4, h5
    const __m256i hq = _mm256_add_epi16(q, _mm256_srai_epi16(q, 1));  // h7, h6
    const __m256i sum = _mm256_add_epi16(p, q), dif = _mm256_sub_epi16(p, q);
    const __m256i b46 = _mm256_add_epi16(swap_pair(sum), _mm256_sign_epi16(hp, fs));
    const __m256i b64 = _mm256_sub_epi16(sum, _mm256_sign_epi16(swap_pair(hp), fs));
    const __m256i b75 = _mm256_add_epi16(swap_pair(dif), _mm256_sign_epi16(hq, fs));
    const __m256i b57 = _mm256_sub_epi16(dif, _mm256_sign_epi16(swap_pair(hq), fs));
    // y1 = b4 + (b7 >> 2), y5 = b6 - (b5 >> 2); y3 = b5 + (b6 >> 2), y7 = (b4 >> 2) - b7.
    y[1] = _mm256_add_epi16(b46, _mm256_sign_epi16(_mm256_srai_epi16(b75, 2), fs));
    y[3] = _mm256_add_epi16(_mm256_sign_epi16(b57, fs), _mm256_srai_epi16(b64, 2));
}

// Blocks beyond kExact8x8Bound: 32-bit lanes, saturated to 16 bits at the end. Out of line, so
// that the 16-bit path needs no stack frame.
OPX_NOINLINE OpxResult transform8x8_wide32(const Opx16s* src, Opx16s* dst) noexcept {
    __m256i x[8];
    forward8x8(src, x);
    for (int i = 0; i < 8; i += 2)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8 * i),
                            _mm256_permute4x64_epi64(_mm256_packs_epi32(x[i], x[i + 1]), 0xD8));
    return opxOk;
}

OpxResult transform8x8(const Opx16s* src, Opx16s* dst) noexcept {
    // Rows are read 16 bytes at a time, as a caller's residual is likely just stored (a wider
    // load over two stores would wait for both to reach the cache): Y[k] = (row k | row k + 4).
    auto row = [src](int r) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8 * r));
    };
    __m256i y[4], t[4];
    for (int k = 0; k < 4; ++k)
        y[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(row(k)), row(k + 4), 1);
    // A peak above the bound leaves a non-zero unsigned saturated difference (-32768 reads as
    // 32768 after vpabsw).
    const __m256i peak =
        _mm256_max_epu16(_mm256_max_epu16(_mm256_abs_epi16(y[0]), _mm256_abs_epi16(y[1])),
                         _mm256_max_epu16(_mm256_abs_epi16(y[2]), _mm256_abs_epi16(y[3])));
    const __m256i over = _mm256_subs_epu16(peak, _mm256_set1_epi16(kExact8x8Bound));
    if (!OPX_LIKELY(_mm256_testz_si256(over, over))) return transform8x8_wide32(src, dst);
    transpose_halves(y, t);
    pass8x8_paired(t, y);  // rows: y[k] = (y_k, y_k+4), y_u holding the rows' coefficient u
    transpose_quads(y, t);
    pass8x8_paired(t, y);  // columns: y[k] = (row k, row k + 4) of the result
    // Rows 2m, 2m + 1 as one 32-byte store each: a quantiser reading the block 16 values at a
    // time then loads what one store wrote.
    auto rows = [dst](int r, __m256i v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8 * r),
                            _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0)));
    };
    rows(0, _mm256_unpacklo_epi64(y[0], y[1]));
    rows(2, _mm256_unpacklo_epi64(y[2], y[3]));
    rows(4, _mm256_unpackhi_epi64(y[0], y[1]));
    rows(6, _mm256_unpackhi_epi64(y[2], y[3]));
    return opxOk;
}

// The 8x8 rule once q = 12 + qp_per >= 16 (qp_per >= 4), in 16-bit lanes: |c| <= 32767 and
// s <= 65535 give P = |c| x s <= 2147385345 < 2^31 and f <= 682 x 2^9, so with the halves hi:lo
// of P and fh:fl of f, (P + f) >> 16 = hi + fh + carry and the magnitude is that sum
// >> (q - 16). No clamp is needed: at q = 16 f is at most 682 x 2^5 = 21824 and
// (2147385345 + 21824) >> 16 = 32766; above it the magnitude halves. fl is never 0 for these
// offsets.
struct Step8x8 {
    std::uint16_t k, fh;  // 2^16 - fl, high half of f
};
struct Steps8x8 {
    Step8x8 v[2][9];  // [intra][qp_per]
};
constexpr Steps8x8 make_steps8x8() noexcept {
    Steps8x8 t{};
    for (int intra = 0; intra < 2; ++intra)
        for (int per = 4; per <= 8; ++per) {
            const std::uint32_t f = (intra ? 682u : 342u) << (per + 1);
            t.v[intra][per] = {static_cast<std::uint16_t>(0x10000u - (f & 0xFFFF)),
                               static_cast<std::uint16_t>(f >> 16)};
        }
    return t;
}
constexpr Steps8x8 kSteps8x8 = make_steps8x8();
constexpr bool steps8x8_ok() noexcept {
    for (int intra = 0; intra < 2; ++intra)
        for (int per = 4; per <= 8; ++per)
            if (kSteps8x8.v[intra][per].k == 0) return false;
    return true;
}
static_assert(steps8x8_ok());

struct Quant8x8Halves {
    __m256i k, fh;
    __m128i shift;
    Quant8x8Halves(int qp_per, bool intra) noexcept
        : k(_mm256_set1_epi16(static_cast<short>(kSteps8x8.v[intra][qp_per].k))),
          fh(_mm256_set1_epi16(static_cast<short>(kSteps8x8.v[intra][qp_per].fh))),
          shift(_mm_cvtsi32_si128(qp_per - 4)) {}
    // Returns the level; r is its magnitude (0..32767).
    OPX_INLINE __m256i operator()(__m256i c, __m256i s, __m256i& r) const noexcept {
        const __m256i mag = _mm256_min_epu16(_mm256_abs_epi16(c), _mm256_set1_epi16(0x7FFF));
        const __m256i lo = _mm256_mullo_epi16(mag, s), hi = _mm256_mulhi_epu16(mag, s);
        const __m256i carry = _mm256_cmpeq_epi16(_mm256_max_epu16(lo, k), lo);
        r = _mm256_srl_epi16(_mm256_sub_epi16(_mm256_add_epi16(hi, fh), carry), shift);
        return _mm256_sign_epi16(r, c);
    }
};
struct Quant8x8Wide {
    __m256i f;
    __m128i q;
    Quant8x8Wide(int qp_per, bool intra) noexcept
        : f(_mm256_set1_epi32((intra ? 682 : 342) << (qp_per + 1))),
          q(_mm_cvtsi32_si128(12 + qp_per)) {}
    OPX_INLINE __m256i operator()(__m256i c, __m256i s, __m256i& r) const noexcept {
        // -32768 is taken as -32767 (|c| saturated to 32767).
        return quant16(_mm256_max_epi16(c, _mm256_set1_epi16(-32767)), s, f, q, &r);
    }
};

// The facts come from the level magnitudes r (0..32767, zero exactly where the level is):
// packed to bytes with unsigned saturation they keep their zeros (two compares, two popcounts),
// and vpsignw of the scan values by r leaves the scan value of every non-zero level and 0
// elsewhere, so that a running maximum from 0 is `last` (negative scan values never win).
template <class Quant>
OPX_INLINE BlockFacts quant8x8_of(const Quant& quant, const Opx16s* src, Opx16s* dst,
                                  const Opx16s* scan, const Opx16u* scale) noexcept {
    __m256i last = _mm256_setzero_si256();
    __m256i r[4];
    for (int k = 0; k < 4; ++k) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 16 * k));
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scale + 16 * k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 16 * k), quant(c, s, r[k]));
        const __m256i sc = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan + 16 * k));
        last = _mm256_max_epi16(last, _mm256_sign_epi16(sc, r[k]));
    }
    // Byte 0 of the first packed vector is level 0.
    const __m256i zero = _mm256_setzero_si256();
    const auto z01 = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_packus_epi16(r[0], r[1]), zero)));
    const auto z23 = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_packus_epi16(r[2], r[3]), zero)));
    std::int32_t count = 64 - static_cast<std::int32_t>(_mm_popcnt_u32(z01) + _mm_popcnt_u32(z23));
    if (!(z01 & 1)) count = -count;
    return {count, hmax(last)};
}

OpxResult quant8x8(const Opx16s* src, Opx16s* dst, Opx32s qp_per, Opx32s intra_arg,
                   const Opx16s* scan, const Opx16u* scale, Opx32s* num, Opx32s* last) noexcept {
    const bool intra = intra_arg != 0;
    BlockFacts f;
    if (qp_per >= 4)
        f = quant8x8_of(Quant8x8Halves(qp_per, intra), src, dst, scan, scale);
    else
        f = quant8x8_of(Quant8x8Wide(qp_per, intra), src, dst, scan, scale);
    *num = f.count;
    *last = f.last;
    return opxOk;
}

// ---- luma DC -------------------------------------------------------------------------------

OPX_INLINE void transpose4x32(__m128i* x) noexcept {
    const __m128i a = _mm_unpacklo_epi32(x[0], x[1]), b = _mm_unpackhi_epi32(x[0], x[1]);
    const __m128i c = _mm_unpacklo_epi32(x[2], x[3]), d = _mm_unpackhi_epi32(x[2], x[3]);
    x[0] = _mm_unpacklo_epi64(a, c);
    x[1] = _mm_unpackhi_epi64(a, c);
    x[2] = _mm_unpacklo_epi64(b, d);
    x[3] = _mm_unpackhi_epi64(b, d);
}
OPX_INLINE void hadamard_pass(__m128i* x) noexcept {
    const __m128i s01 = _mm_add_epi32(x[0], x[1]), s23 = _mm_add_epi32(x[2], x[3]);
    const __m128i d01 = _mm_sub_epi32(x[0], x[1]), d23 = _mm_sub_epi32(x[2], x[3]);
    x[0] = _mm_add_epi32(s01, s23);
    x[1] = _mm_sub_epi32(s01, s23);
    x[2] = _mm_sub_epi32(d01, d23);
    x[3] = _mm_add_epi32(d01, d23);
}

// The Hadamard is exact in 32-bit lanes (|f| <= 16 x 32768), so the order of the passes does
// not matter; >> 1 floors, packssdw saturates to 16 bits.
OpxResult luma_dc(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num, Opx32s need_transform,
                  const Opx16s* scan, Opx32s* last, const Opx16s* scale) noexcept {
    __m256i t;
    if (need_transform) {
        __m128i x[4];
        for (int r = 0; r < 4; ++r) x[r] = _mm_cvtepi16_epi32(load64(srcdst + 4 * r));
        hadamard_pass(x);
        transpose4x32(x);
        hadamard_pass(x);
        transpose4x32(x);
        const __m128i r01 = _mm_packs_epi32(_mm_srai_epi32(x[0], 1), _mm_srai_epi32(x[1], 1));
        const __m128i r23 = _mm_packs_epi32(_mm_srai_epi32(x[2], 1), _mm_srai_epi32(x[3], 1));
        t = _mm256_set_m128i(r23, r01);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(tblock), t);
    } else {
        t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(tblock));
    }
    __m256i level;
    if (scale) {
        const QuantStep& st = kStepsLumaDc.v[qp][1];
        level = quant16(t, _mm256_set1_epi16(scale[0]), _mm256_set1_epi32(st.f),
                        _mm_cvtsi32_si128(st.q));
    } else {
        const FlatStep& st = kFlatLumaDc.v[qp][1];
        level = quant_flat(t, _mm256_set1_epi16(static_cast<short>(st.aux)), st);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(srcdst), level);
    const BlockFacts f = facts16(level, scan, true);
    *num = f.count;
    *last = f.last;
    return opxOk;
}

// ---- chroma DC 2x2 --------------------------------------------------------------------------

// The 128-bit form of quant16 (eight lanes).
OPX_INLINE __m128i quant8(__m128i c, __m128i s, __m128i f, __m128i q) noexcept {
    const __m128i mag = _mm_abs_epi16(c);
    const __m128i lo = _mm_mullo_epi16(mag, s), hi = _mm_mulhi_epu16(mag, s);
    const __m128i p0 = _mm_srl_epi32(_mm_add_epi32(_mm_unpacklo_epi16(lo, hi), f), q);
    const __m128i p1 = _mm_srl_epi32(_mm_add_epi32(_mm_unpackhi_epi16(lo, hi), f), q);
    const __m128i neg = _mm_cmpgt_epi16(_mm_setzero_si128(), c);
    const __m128i limit = _mm_sub_epi16(_mm_set1_epi16(32767), neg);
    return _mm_sign_epi16(_mm_min_epu16(_mm_packus_epi32(p0, p1), limit), c);
}

// The 2x2 transform in 32-bit lanes: pmaddwd of (c0, c1, c0, c1, c2, c3, c2, c3) gives
// a = (c0 + c1, c0 - c1, c2 + c3, c2 - c3), then f = (a0 + a2, a1 + a3, a0 - a2, a1 - a3) =
// (f00, f01, f10, f11), all exact; packssdw saturates.
OpxResult chroma_dc2x2(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num, Opx32s intra_arg,
                       Opx32s need_transform, const Opx16s* scale) noexcept {
    const bool intra = intra_arg != 0;
    __m128i t;
    if (need_transform) {
        const __m128i x = load64(srcdst);
        const __m128i a =
            _mm_madd_epi16(_mm_unpacklo_epi32(x, x), _mm_setr_epi16(1, 1, 1, -1, 1, 1, 1, -1));
        const __m128i f = _mm_add_epi32(_mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 1, 0)),
                                        _mm_sign_epi32(_mm_shuffle_epi32(a, _MM_SHUFFLE(3, 2, 3, 2)),
                                                       _mm_set_epi32(-1, -1, 1, 1)));
        t = _mm_packs_epi32(f, f);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(tblock), t);
    } else {
        t = load64(tblock);
    }
    __m128i level;
    if (scale) {
        const QuantStep& st = kStepsChromaDc.v[qp][intra];
        level = quant8(t, _mm_set1_epi16(scale[0]), _mm_set1_epi32(st.f), _mm_cvtsi32_si128(st.q));
    } else {
        const FlatStep& st = kFlatChromaDc.v[qp][intra];
        level = quant_flat(t, _mm_set1_epi16(static_cast<short>(st.aux)), st);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(srcdst), level);
    const unsigned nz =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(level, _mm_setzero_si128()))) & 0xFF;
    std::int32_t count = _mm_popcnt_u32(nz) >> 1;
    if (nz & 1) count = -count;
    *num = count;
    return opxOk;
}

}  // namespace

extern const FwdKernels kFwd = {
    trans_quant4x4,          ref::trans_quant4x4_wide, quant4x4,
    ref::quant4x4_wide,      ref::quant4x4_high,       transform4x4,
    ref::transform4x4_high,  transform8x8,             ref::transform8x8_wide,
    quant8x8,                ref::quant8x8_high,       luma_dc,
    ref::luma_dc_high,       chroma_dc2x2,        ref::chroma_dc2x2_high,
    ref::chroma_dc2x4,       ref::chroma_dc2x4_high,   ref::old_residual,
    ref::old_luma_dc,        ref::old_chroma_dc,       transform_pred,
    ref::gen_scale4x4,       ref::gen_scale8x8,
};

}  // namespace opx::h264::enc::avx2
