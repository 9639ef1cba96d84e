// AVX2 block primitives (VEX-encoded 128-bit code: on the target cores a 256-bit operation is
// split into two 128-bit halves, and one 16-byte row per vector keeps every width uniform).
//
// Lane layout: one block row per vector, rows narrower than 16 bytes at the low end. Predictions
// stay in bytes: pavgb gives (a + b + 1) >> 1, and the other roundings are corrected from the
// parity of the sums (see avg2 and avg4), which is exact and avoids widening. Residual sums are
// 16-bit lanes. Loads cover exactly the bytes the rules read (the block, n bytes to the right, one
// row below). One path serves every pointer and step: VEX unaligned loads and stores cost the
// same as aligned ones when the address happens to be aligned.
#include <immintrin.h>

#include <cstring>
#include <type_traits>

#include "frame/block.hpp"
#include "frame/dispatch.hpp"

namespace opx::frame::avx2 {
namespace {

// Loads and stores of exactly W bytes (2, 4, 8 or 16), into or from the low end of a vector.
template <int W>
OPX_INLINE __m128i load(const void* p) {
    static_assert(W == 2 || W == 4 || W == 8 || W == 16);
    if constexpr (W == 16) {
        return _mm_loadu_si128(static_cast<const __m128i*>(p));
    } else if constexpr (W == 8) {
        return _mm_loadl_epi64(static_cast<const __m128i*>(p));
    } else if constexpr (W == 4) {
        std::int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    } else {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return _mm_cvtsi32_si128(v);
    }
}

template <int W>
OPX_INLINE void store(void* p, __m128i v) {
    if constexpr (W == 16) {
        _mm_storeu_si128(static_cast<__m128i*>(p), v);
    } else if constexpr (W == 8) {
        _mm_storel_epi64(static_cast<__m128i*>(p), v);
    } else {
        const std::int32_t x = _mm_cvtsi128_si32(v);
        std::memcpy(p, &x, W);
    }
}

template <class T>
OPX_INLINE T* advance(T* p, std::ptrdiff_t bytes) {
    using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) + bytes);
}

// (a + b + 1 - R) >> 1 per byte. Rounding down takes back the half that pavgb added when a + b
// is odd, i.e. the low bit of a ^ b.
template <int R>
OPX_INLINE __m128i avg2(__m128i a, __m128i b) {
    const __m128i up = _mm_avg_epu8(a, b);
    if constexpr (R == 0) return up;
    return _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// (a + b + c + d + 2 - R) >> 2 per byte, from e = pavgb(a, b), f = pavgb(c, d) and the parities
// pa = a ^ b, pc = c ^ d (bit 0). With s the four-sample sum, pavgb(e, f) = (s + pa + pc + 2) >> 2,
// which exceeds the wanted value by exactly one when
//   R = 0: bit 0 of (e ^ f) & (pa | pc),
//   R = 1: bit 0 of (e ^ f) | (pa & pc)
// (checked over all residues of s mod 4 and pa, pc).
template <int R>
OPX_INLINE __m128i avg4(__m128i e, __m128i pa, __m128i f, __m128i pc) {
    const __m128i up = _mm_avg_epu8(e, f);
    const __m128i ef = _mm_xor_si128(e, f);
    const __m128i excess = (R == 0) ? _mm_and_si128(ef, _mm_or_si128(pa, pc))
                                    : _mm_or_si128(ef, _mm_and_si128(pa, pc));
    return _mm_sub_epi8(up, _mm_and_si128(excess, _mm_set1_epi8(1)));
}

// Rows of a block walked four at a time. at<k>() is row k of the current group of four; each is
// one addressing mode (base, base + step, base + 2 step, base + 3 step with 3 step kept, base +
// 4 step), so an unrolled group costs one pointer update instead of one per row.
template <class T>
class Rows {
  public:
    OPX_INLINE Rows(T* p, std::int32_t step) : p_(p), step_(step), step3_(3 * step_) {}
    template <int K>
    OPX_INLINE T* at() const {
        static_assert(K >= 0 && K <= 4);
        if constexpr (K == 3) return advance(p_, step3_);
        return advance(p_, K * step_);
    }
    OPX_INLINE void next4() { p_ = advance(p_, 4 * step_); }

  private:
    T* p_;
    std::ptrdiff_t step_, step3_;
};

// Calls f(k) for k = 0..3 as compile-time constants.
template <class F>
OPX_INLINE void unroll4(F&& f) {
    f(std::integral_constant<int, 0>{});
    f(std::integral_constant<int, 1>{});
    f(std::integral_constant<int, 2>{});
    f(std::integral_constant<int, 3>{});
}

// Calls f(k) for every row of a block of H rows (2 or a multiple of 4), advancing the cursors
// after each group of four.
template <int H, class F, class... R>
OPX_INLINE void for_rows(F&& f, R&... rows) {
    if constexpr (H == 2) {
        f(std::integral_constant<int, 0>{});
        f(std::integral_constant<int, 1>{});
    } else {
        static_assert(H % 4 == 0);
#pragma GCC unroll 1
        for (int y = 0; y < H; y += 4) {
            unroll4(f);
            (rows.next4(), ...);
        }
    }
}

// Half-sample prediction of a W-byte block, one row per call of row<k>(), in row order.
// Vertical forms keep the row below (or its pair average and parity) for the next row, so each
// reference row is loaded once.
template <int W, int N, int Pos, int R>
class Predictor {
  public:
    OPX_INLINE explicit Predictor(const Rows<const Opx8u>& ref) {
        if constexpr (Pos == kHalfVer) above_ = load<W>(ref.template at<0>());
        if constexpr (Pos == kHalfBoth) pair(ref.template at<0>(), above_, above_parity_);
    }

    template <int K>
    OPX_INLINE __m128i row(const Rows<const Opx8u>& ref) {
        const Opx8u* p = ref.template at<K>();
        if constexpr (Pos == kFull) {
            return load<W>(p);
        } else if constexpr (Pos == kHalfHor) {
            return avg2<R>(load<W>(p), load<W>(p + N));
        } else if constexpr (Pos == kHalfVer) {
            const __m128i below = load<W>(ref.template at<K + 1>());
            const __m128i v = avg2<R>(above_, below);
            above_ = below;
            return v;
        } else {
            __m128i below, below_parity;
            pair(ref.template at<K + 1>(), below, below_parity);
            const __m128i v = avg4<R>(above_, above_parity_, below, below_parity);
            above_ = below;
            above_parity_ = below_parity;
            return v;
        }
    }

  private:
    OPX_INLINE static void pair(const Opx8u* p, __m128i& avg, __m128i& parity) {
        const __m128i a = load<W>(p), b = load<W>(p + N);
        avg = _mm_avg_epu8(a, b);
        parity = _mm_xor_si128(a, b);
    }

    __m128i above_{}, above_parity_{};
};

// Two 8-byte rows in one vector, row a in the low half and row b in the high half.
OPX_INLINE __m128i load_pair(const Opx8u* a, const Opx8u* b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
}

// Half-sample prediction of an 8-byte-wide block (n = 1), two rows per vector: pair<k>() gives
// rows k and k + 1 (k even). Vertical forms load the pair one row down, (k + 1, k + 2), and take
// the upper rows (k, k + 1) from its low half and the high half of the previous one (alignr), so
// each reference row is loaded once and nothing beyond row H is read.
template <int Pos, int R>
class PairPredictor {
  public:
    OPX_INLINE explicit PairPredictor(const Rows<const Opx8u>& ref) {
        if constexpr (Pos == kHalfVer) {
            const __m128i v = load<8>(ref.template at<0>());
            prev_ = _mm_unpacklo_epi64(v, v);
        }
        if constexpr (Pos == kHalfBoth) {
            const Opx8u* p = ref.template at<0>();
            const __m128i a = load<8>(p), b = load<8>(p + 1);
            const __m128i avg = _mm_avg_epu8(a, b), parity = _mm_xor_si128(a, b);
            prev_ = _mm_unpacklo_epi64(avg, avg);
            prev_parity_ = _mm_unpacklo_epi64(parity, parity);
        }
    }

    template <int K>
    OPX_INLINE __m128i pair(const Rows<const Opx8u>& ref) {
        if constexpr (Pos == kFull) {
            return load_pair(ref.template at<K>(), ref.template at<K + 1>());
        } else if constexpr (Pos == kHalfHor) {
            const Opx8u* a = ref.template at<K>();
            const Opx8u* b = ref.template at<K + 1>();
            return avg2<R>(load_pair(a, b), load_pair(a + 1, b + 1));
        } else if constexpr (Pos == kHalfVer) {
            const __m128i below = load_pair(ref.template at<K + 1>(), ref.template at<K + 2>());
            const __m128i above = _mm_alignr_epi8(below, prev_, 8);
            prev_ = below;
            return avg2<R>(above, below);
        } else {
            const Opx8u* a = ref.template at<K + 1>();
            const Opx8u* b = ref.template at<K + 2>();
            const __m128i x = load_pair(a, b), y = load_pair(a + 1, b + 1);
            const __m128i below = _mm_avg_epu8(x, y), below_parity = _mm_xor_si128(x, y);
            const __m128i above = _mm_alignr_epi8(below, prev_, 8);
            const __m128i above_parity = _mm_alignr_epi8(below_parity, prev_parity_, 8);
            prev_ = below;
            prev_parity_ = below_parity;
            return avg4<R>(above, above_parity, below, below_parity);
        }
    }

  private:
    __m128i prev_{}, prev_parity_{};
};

// Rows k and k + 1 of an 8-wide block: dst = clamp(p + residual), exact (as add_exact_store),
// row k stored before row k + 1.
OPX_INLINE void add_exact_store_pair(Opx8u* d0, Opx8u* d1, __m128i p, const Opx16s* r0,
                                     const Opx16s* r1) {
    const __m128i lo = _mm_adds_epi16(_mm_cvtepu8_epi16(p), load<16>(r0));
    const __m128i hi = _mm_adds_epi16(_mm_unpackhi_epi8(p, _mm_setzero_si128()), load<16>(r1));
    const __m128i v = _mm_packus_epi16(lo, hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d1), _mm_unpackhi_epi64(v, v));
}

// Calls f(k) for k = 0 and 2 as compile-time constants.
template <class F>
OPX_INLINE void unroll2x2(F&& f) {
    f(std::integral_constant<int, 0>{});
    f(std::integral_constant<int, 2>{});
}

template <int H, class F, class... R>
OPX_INLINE void for_row_pairs(F&& f, R&... rows) {
    static_assert(H % 4 == 0);
#pragma GCC unroll 1
    for (int y = 0; y < H; y += 4) {
        unroll2x2(f);
        (rows.next4(), ...);
    }
}

// dst = clamp(p + residual), exact: p is 0..255, so the saturating 16-bit sum differs from the
// exact one only above 32767, where both clamp to 255; packus clamps to 0..255. r0 holds the
// residuals of bytes 0..7, r1 those of bytes 8..15 (W = 16).
template <int W>
OPX_INLINE void add_exact_store(Opx8u* dst, __m128i p, __m128i r0, __m128i r1) {
    const __m128i lo = _mm_adds_epi16(_mm_cvtepu8_epi16(p), r0);
    if constexpr (W == 16) {
        const __m128i hi = _mm_adds_epi16(_mm_unpackhi_epi8(p, _mm_setzero_si128()), r1);
        store<16>(dst, _mm_packus_epi16(lo, hi));
    } else {
        store<W>(dst, _mm_packus_epi16(lo, lo));
    }
}

template <int W>
OPX_INLINE void add_exact_store(Opx8u* dst, __m128i p, const Opx16s* res) {
    if constexpr (W == 16) {
        add_exact_store<16>(dst, p, load<16>(res), load<16>(res + 8));
    } else {
        add_exact_store<W>(dst, p, load<2 * W>(res), __m128i{});
    }
}

// ---- kernels ----------------------------------------------------------------------------------
//
// Every kernel handles its rows in order, one row read completely before it is written, so the
// in-place forms give the portable results also when rows overlap (steps smaller than the row).

template <int W, int H>
OpxResult copy(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
               std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s(src, src_step);
    Rows<Opx8u> d(dst, dst_step);
    for_rows<H>([&](auto k) { store<W>(d.at<k>(), load<W>(s.at<k>())); }, s, d);
    return opxOk;
}

template <int W, int H>
OpxResult average(const Opx8u* src1, std::int32_t src1_step, const Opx8u* src2,
                  std::int32_t src2_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s1(src1, src1_step), s2(src2, src2_step);
    Rows<Opx8u> d(dst, dst_step);
    for_rows<H>(
        [&](auto k) {
            store<W>(d.at<k>(), _mm_avg_epu8(load<W>(s1.at<k>()), load<W>(s2.at<k>())));
        },
        s1, s2, d);
    return opxOk;
}

template <int W, int H, int Pos, int R>
OpxResult copy_hp(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                  std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s(src, src_step);
    Rows<Opx8u> d(dst, dst_step);
    Predictor<W, 1, Pos, R> pred(s);
    for_rows<H>([&](auto k) { store<W>(d.at<k>(), pred.template row<k>(s)); }, s, d);
    return opxOk;
}

template <int W, int H, int Pos, int R>
OpxResult interp_average(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                         std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s(src, src_step);
    Rows<Opx8u> d(dst, dst_step);
    Predictor<W, 1, Pos, R> pred(s);
    for_rows<H>(
        [&](auto k) {
            store<W>(d.at<k>(), _mm_avg_epu8(pred.template row<k>(s), load<W>(d.at<k>())));
        },
        s, d);
    return opxOk;
}

// Wrapping sums: paddw, then packus clamps the signed 16-bit result.
OPX_INLINE __m128i add_wrap(__m128i p, const Opx16s* res) {
    const __m128i s = _mm_add_epi16(_mm_cvtepu8_epi16(p), load<16>(res));
    return _mm_packus_epi16(s, s);
}

OpxResult add_8x8(const Opx16s* res, std::int32_t res_step, Opx8u* srcdst,
                  std::int32_t srcdst_step) noexcept {
    Rows<const Opx16s> r(res, res_step);
    Rows<Opx8u> d(srcdst, srcdst_step);
    for_rows<8>([&](auto k) { store<8>(d.at<k>(), add_wrap(load<8>(d.at<k>()), r.at<k>())); }, r,
                d);
    return opxOk;
}

template <int Pos, int R>
OpxResult add_hp_8x8(const Opx16s* res, std::int32_t res_step, const Opx8u* ref,
                     std::int32_t ref_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s(ref, ref_step);
    Rows<const Opx16s> r(res, res_step);
    Rows<Opx8u> d(dst, dst_step);
    Predictor<8, 1, Pos, R> pred(s);
    for_rows<8>([&](auto k) { store<8>(d.at<k>(), add_wrap(pred.template row<k>(s), r.at<k>())); },
                s, r, d);
    return opxOk;
}

OpxResult add_const_8x8(Opx16s value, Opx8u* srcdst, std::int32_t srcdst_step) noexcept {
    const __m128i c = _mm_set1_epi16(value);
    Rows<Opx8u> d(srcdst, srcdst_step);
    for_rows<8>(
        [&](auto k) {
            const __m128i s = _mm_add_epi16(_mm_cvtepu8_epi16(load<8>(d.at<k>())), c);
            store<8>(d.at<k>(), _mm_packus_epi16(s, s));
        },
        d);
    return opxOk;
}

template <int W, int H, int N, int Pos, int R>
OpxResult mc(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res, std::int32_t res_step,
             Opx8u* dst, std::int32_t dst_step) noexcept {
    Rows<const Opx8u> s(ref, ref_step);
    Rows<const Opx16s> r(res, res_step);
    Rows<Opx8u> d(dst, dst_step);
    if constexpr (W == 8 && N == 1 && H % 4 == 0) {
        PairPredictor<Pos, R> pred(s);
        for_row_pairs<H>(
            [&](auto k) {
                constexpr int K = decltype(k)::value;
                add_exact_store_pair(d.at<K>(), d.at<K + 1>(), pred.template pair<K>(s),
                                     r.at<K>(), r.at<K + 1>());
            },
            s, r, d);
    } else {
        Predictor<W, N, Pos, R> pred(s);
        for_rows<H>(
            [&](auto k) { add_exact_store<W>(d.at<k>(), pred.template row<k>(s), r.at<k>()); }, s,
            r, d);
    }
    return opxOk;
}

// The two predictions are each rounded with R; their average rounds up (pavgb).
template <int W, int H, int N, int PosF, int PosB, int R>
OpxResult mc_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
               std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step, Opx8u* dst,
               std::int32_t dst_step) noexcept {
    Rows<const Opx8u> sf(ref_f, ref_f_step), sb(ref_b, ref_b_step);
    Rows<const Opx16s> r(res, res_step);
    Rows<Opx8u> d(dst, dst_step);
    if constexpr (W == 8 && N == 1 && H % 4 == 0) {
        PairPredictor<PosF, R> pred_f(sf);
        PairPredictor<PosB, R> pred_b(sb);
        for_row_pairs<H>(
            [&](auto k) {
                constexpr int K = decltype(k)::value;
                const __m128i p =
                    _mm_avg_epu8(pred_f.template pair<K>(sf), pred_b.template pair<K>(sb));
                add_exact_store_pair(d.at<K>(), d.at<K + 1>(), p, r.at<K>(), r.at<K + 1>());
            },
            sf, sb, r, d);
    } else {
        Predictor<W, N, PosF, R> pred_f(sf);
        Predictor<W, N, PosB, R> pred_b(sb);
        for_rows<H>(
            [&](auto k) {
                const __m128i p =
                    _mm_avg_epu8(pred_f.template row<k>(sf), pred_b.template row<k>(sb));
                add_exact_store<W>(d.at<k>(), p, r.at<k>());
            },
            sf, sb, r, d);
    }
    return opxOk;
}

// Planar residuals interleaved to the destination's byte order: U at even bytes, V at odd.
OPX_INLINE void add_planar_store(Opx8u* dst, __m128i p, const Opx16s* res_u, const Opx16s* res_v) {
    const __m128i u = load<16>(res_u), v = load<16>(res_v);
    add_exact_store<16>(dst, p, _mm_unpacklo_epi16(u, v), _mm_unpackhi_epi16(u, v));
}

template <int W, int H, int Pos, int R>
OpxResult mc_p2c2(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res_u, const Opx16s* res_v,
                  std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    static_assert(W == 16);
    Rows<const Opx8u> s(ref, ref_step);
    Rows<const Opx16s> u(res_u, res_step), v(res_v, res_step);
    Rows<Opx8u> d(dst, dst_step);
    Predictor<W, 2, Pos, R> pred(s);
    for_rows<H>(
        [&](auto k) { add_planar_store(d.at<k>(), pred.template row<k>(s), u.at<k>(), v.at<k>()); },
        s, u, v, d);
    return opxOk;
}

template <int W, int H, int PosF, int PosB, int R>
OpxResult mc_p2c2_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                    std::int32_t ref_b_step, const Opx16s* res_u, const Opx16s* res_v,
                    std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    static_assert(W == 16);
    Rows<const Opx8u> sf(ref_f, ref_f_step), sb(ref_b, ref_b_step);
    Rows<const Opx16s> u(res_u, res_step), v(res_v, res_step);
    Rows<Opx8u> d(dst, dst_step);
    Predictor<W, 2, PosF, R> pred_f(sf);
    Predictor<W, 2, PosB, R> pred_b(sb);
    for_rows<H>(
        [&](auto k) {
            const __m128i p = _mm_avg_epu8(pred_f.template row<k>(sf), pred_b.template row<k>(sb));
            add_planar_store(d.at<k>(), p, u.at<k>(), v.at<k>());
        },
        sf, sb, u, v, d);
    return opxOk;
}

// 2- and 4-wide blocks: the same kernels on 2- or 4-byte rows; the rounding number picks the
// instance (bit 0 only, as in the wider forms).
template <int W, int H, int Pos>
OpxResult mc_small(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res,
                   std::int32_t res_step, Opx8u* dst, std::int32_t dst_step,
                   std::int32_t round) noexcept {
    constexpr int kPosRound = Pos == kFull ? 0 : 1;
    if (round & 1) {
        mc<W, H, 1, Pos, kPosRound>(ref, ref_step, res, res_step, dst, dst_step);
    } else {
        mc<W, H, 1, Pos, 0>(ref, ref_step, res, res_step, dst, dst_step);
    }
    return opxOk;
}

template <int W, int H, int PosF, int PosB>
OpxResult mc_small_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                     std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step, Opx8u* dst,
                     std::int32_t dst_step, std::int32_t round) noexcept {
    constexpr int kPosRound = PosF == kFull && PosB == kFull ? 0 : 1;
    if (round & 1) {
        mc_b<W, H, 1, PosF, PosB, kPosRound>(ref_f, ref_f_step, ref_b, ref_b_step, res, res_step,
                                             dst, dst_step);
    } else {
        mc_b<W, H, 1, PosF, PosB, 0>(ref_f, ref_f_step, ref_b, ref_b_step, res, res_step, dst,
                                     dst_step);
    }
    return opxOk;
}

}  // namespace

#include "frame/block_tables.inc"

}  // namespace opx::frame::avx2
