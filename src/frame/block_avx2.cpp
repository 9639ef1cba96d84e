// AVX2 block primitives (VEX-encoded 128-bit code: on the target cores a 256-bit operation is
// split into two 128-bit halves, and one 16-byte row per vector keeps every width uniform).
//
// Lane layout: one block row per vector, 8-byte rows in the low half. Predictions stay in bytes:
// pavgb gives (a + b + 1) >> 1, and the other roundings are corrected from the parity of the
// sums (see avg2 and avg4), which is exact and avoids widening. Residual sums are 16-bit lanes.
// Loads cover exactly the bytes the rules read (the block, n bytes to the right, one row below).
#include <immintrin.h>

#include "frame/block.hpp"
#include "frame/dispatch.hpp"

namespace opx::frame::avx2 {
namespace {

template <int W>
OPX_INLINE __m128i load(const void* p) {
    static_assert(W == 8 || W == 16);
    if constexpr (W == 16) return _mm_loadu_si128(static_cast<const __m128i*>(p));
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

template <int W>
OPX_INLINE void store(void* p, __m128i v) {
    if constexpr (W == 16) {
        _mm_storeu_si128(static_cast<__m128i*>(p), v);
    } else {
        _mm_storel_epi64(static_cast<__m128i*>(p), v);
    }
}

OPX_INLINE void store_high(void* p, __m128i v) {
    _mm_storeh_pd(static_cast<double*>(p), _mm_castsi128_pd(v));
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

// Half-sample prediction of a W-byte block, one row per next(). Vertical forms keep the row
// below (or its pair average and parity) for the next call, so each reference row is loaded once.
template <int W, int N, int Pos, int R>
class Predictor {
  public:
    OPX_INLINE Predictor(const Opx8u* ref, std::int32_t step) : p_(ref), step_(step) {
        if constexpr (Pos == kHalfVer) above_ = load<W>(p_);
        if constexpr (Pos == kHalfBoth) pair(p_, above_, above_parity_);
    }

    OPX_INLINE __m128i next() {
        __m128i v;
        if constexpr (Pos == kFull) {
            v = load<W>(p_);
        } else if constexpr (Pos == kHalfHor) {
            v = avg2<R>(load<W>(p_), load<W>(p_ + N));
        } else if constexpr (Pos == kHalfVer) {
            const __m128i below = load<W>(p_ + step_);
            v = avg2<R>(above_, below);
            above_ = below;
        } else {
            __m128i below, below_parity;
            pair(p_ + step_, below, below_parity);
            v = avg4<R>(above_, above_parity_, below, below_parity);
            above_ = below;
            above_parity_ = below_parity;
        }
        p_ += step_;
        return v;
    }

  private:
    OPX_INLINE static void pair(const Opx8u* p, __m128i& avg, __m128i& parity) {
        const __m128i a = load<W>(p), b = load<W>(p + N);
        avg = _mm_avg_epu8(a, b);
        parity = _mm_xor_si128(a, b);
    }

    const Opx8u* p_;
    std::ptrdiff_t step_;
    __m128i above_{}, above_parity_{};
};

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
        store<8>(dst, _mm_packus_epi16(lo, lo));
    }
}

template <int W>
OPX_INLINE void add_exact_store(Opx8u* dst, __m128i p, const Opx16s* res) {
    add_exact_store<W>(dst, p, load<16>(res), W == 16 ? load<16>(res + 8) : __m128i{});
}

// ---- kernels ----------------------------------------------------------------------------------

template <int W, int H>
void copy(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y, src += src_step, dst += dst_step) store<W>(dst, load<W>(src));
}

template <int W, int H>
void average(const Opx8u* src1, std::int32_t src1_step, const Opx8u* src2, std::int32_t src2_step,
             Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y, src1 += src1_step, src2 += src2_step, dst += dst_step)
        store<W>(dst, _mm_avg_epu8(load<W>(src1), load<W>(src2)));
}

template <int W, int H, int Pos, int R>
void copy_hp(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    Predictor<W, 1, Pos, R> pred(src, src_step);
    for (int y = 0; y < H; ++y, dst += dst_step) store<W>(dst, pred.next());
}

template <int W, int H, int Pos, int R>
void interp_average(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                    std::int32_t dst_step) noexcept {
    Predictor<W, 1, Pos, R> pred(src, src_step);
    for (int y = 0; y < H; ++y, dst += dst_step)
        store<W>(dst, _mm_avg_epu8(pred.next(), load<W>(dst)));
}

// Wrapping sums (paddw), two rows per pack.
void add_8x8(const Opx16s* res, std::int32_t res_step, Opx8u* srcdst,
             std::int32_t srcdst_step) noexcept {
    for (int y = 0; y < 8; y += 2) {
        Opx8u* d1 = srcdst + srcdst_step;
        const __m128i s0 = _mm_add_epi16(_mm_cvtepu8_epi16(load<8>(srcdst)), load<16>(res));
        const __m128i s1 =
            _mm_add_epi16(_mm_cvtepu8_epi16(load<8>(d1)), load<16>(advance(res, res_step)));
        const __m128i v = _mm_packus_epi16(s0, s1);
        store<8>(srcdst, v);
        store_high(d1, v);
        srcdst = d1 + srcdst_step;
        res = advance(res, 2 * static_cast<std::ptrdiff_t>(res_step));
    }
}

template <int Pos, int R>
void add_hp_8x8(const Opx16s* res, std::int32_t res_step, const Opx8u* ref, std::int32_t ref_step,
                Opx8u* dst, std::int32_t dst_step) noexcept {
    Predictor<8, 1, Pos, R> pred(ref, ref_step);
    for (int y = 0; y < 8; ++y, dst += dst_step, res = advance(res, res_step)) {
        const __m128i s = _mm_add_epi16(_mm_cvtepu8_epi16(pred.next()), load<16>(res));
        store<8>(dst, _mm_packus_epi16(s, s));
    }
}

void add_const_8x8(Opx16s value, Opx8u* srcdst, std::int32_t srcdst_step) noexcept {
    const __m128i c = _mm_set1_epi16(value);
    for (int y = 0; y < 8; y += 2) {
        Opx8u* d1 = srcdst + srcdst_step;
        const __m128i s0 = _mm_add_epi16(_mm_cvtepu8_epi16(load<8>(srcdst)), c);
        const __m128i s1 = _mm_add_epi16(_mm_cvtepu8_epi16(load<8>(d1)), c);
        const __m128i v = _mm_packus_epi16(s0, s1);
        store<8>(srcdst, v);
        store_high(d1, v);
        srcdst = d1 + srcdst_step;
    }
}

template <int W, int H, int N, int Pos, int R>
void mc(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res, std::int32_t res_step,
        Opx8u* dst, std::int32_t dst_step) noexcept {
    Predictor<W, N, Pos, R> pred(ref, ref_step);
    for (int y = 0; y < H; ++y, dst += dst_step, res = advance(res, res_step))
        add_exact_store<W>(dst, pred.next(), res);
}

// The two predictions are each rounded with R; their average rounds up (pavgb).
template <int W, int H, int N, int PosF, int PosB, int R>
void mc_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b, std::int32_t ref_b_step,
          const Opx16s* res, std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    Predictor<W, N, PosF, R> pred_f(ref_f, ref_f_step);
    Predictor<W, N, PosB, R> pred_b(ref_b, ref_b_step);
    for (int y = 0; y < H; ++y, dst += dst_step, res = advance(res, res_step))
        add_exact_store<W>(dst, _mm_avg_epu8(pred_f.next(), pred_b.next()), res);
}

// Planar residuals interleaved to the destination's byte order: U at even bytes, V at odd.
OPX_INLINE void add_planar_store(Opx8u* dst, __m128i p, const Opx16s* res_u, const Opx16s* res_v) {
    const __m128i u = load<16>(res_u), v = load<16>(res_v);
    add_exact_store<16>(dst, p, _mm_unpacklo_epi16(u, v), _mm_unpackhi_epi16(u, v));
}

template <int W, int H, int Pos, int R>
void mc_p2c2(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res_u, const Opx16s* res_v,
             std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    static_assert(W == 16);
    Predictor<W, 2, Pos, R> pred(ref, ref_step);
    for (int y = 0; y < H; ++y, dst += dst_step) {
        add_planar_store(dst, pred.next(), res_u, res_v);
        res_u = advance(res_u, res_step);
        res_v = advance(res_v, res_step);
    }
}

template <int W, int H, int PosF, int PosB, int R>
void mc_p2c2_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
               std::int32_t ref_b_step, const Opx16s* res_u, const Opx16s* res_v,
               std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    static_assert(W == 16);
    Predictor<W, 2, PosF, R> pred_f(ref_f, ref_f_step);
    Predictor<W, 2, PosB, R> pred_b(ref_b, ref_b_step);
    for (int y = 0; y < H; ++y, dst += dst_step) {
        add_planar_store(dst, _mm_avg_epu8(pred_f.next(), pred_b.next()), res_u, res_v);
        res_u = advance(res_u, res_step);
        res_v = advance(res_v, res_step);
    }
}

// ---- table entries: K<size, index>::value -----------------------------------------------------

template <std::size_t S, std::size_t I>
struct CopyHpK {
    static constexpr HpFn value =
        &copy_hp<kHpSizes[S].width, kHpSizes[S].height, hp_pos(I), hp_round(I)>;
};
template <std::size_t S, std::size_t I>
struct InterpAverageK {
    static constexpr HpFn value =
        &interp_average<kHpSizes[S].width, kHpSizes[S].height, hp_pos(I), hp_round(I)>;
};
template <std::size_t, std::size_t I>
struct AddHpK {
    static constexpr AddHpFn value = &add_hp_8x8<hp_pos(I), hp_round(I)>;
};
template <std::size_t S, std::size_t I>
struct McK {
    static constexpr McShape s = kMcShapes[S];
    static constexpr McFn value = &mc<s.width, s.height, s.n, mc_pos(I), mc_round(I)>;
};
template <std::size_t S, std::size_t I>
struct McBK {
    static constexpr McShape s = kMcShapes[S];
    static constexpr McBFn value =
        &mc_b<s.width, s.height, s.n, mc_b_pos_f(I), mc_b_pos_b(I), mc_b_round(I)>;
};
template <std::size_t S, std::size_t I>
struct McP2C2K {
    static constexpr McP2C2Fn value =
        &mc_p2c2<kP2C2Sizes[S].width, kP2C2Sizes[S].height, mc_pos(I), mc_round(I)>;
};
template <std::size_t S, std::size_t I>
struct McP2C2BK {
    static constexpr McP2C2BFn value = &mc_p2c2_b<kP2C2Sizes[S].width, kP2C2Sizes[S].height,
                                                  mc_b_pos_f(I), mc_b_pos_b(I), mc_b_round(I)>;
};

}  // namespace

extern const BlockKernels kBlock = {
    {copy<8, 8>, copy<16, 16>},
    {average<8, 8>, average<16, 16>},
    kernel_table<HpFn, 8, kNumHpSizes, CopyHpK>(),
    kernel_table<HpFn, 8, kNumHpSizes, InterpAverageK>(),
    add_8x8,
    kernel_table<AddHpFn, 8, 1, AddHpK>()[0],
    add_const_8x8,
    kernel_table<McFn, 8, kNumMcShapes, McK>(),
    kernel_table<McBFn, 32, kNumMcShapes, McBK>(),
    kernel_table<McP2C2Fn, 8, kNumP2C2Sizes, McP2C2K>(),
    kernel_table<McP2C2BFn, 32, kNumP2C2Sizes, McP2C2BK>(),
    // 2- and 4-wide blocks: the scalar kernels.
    &ref::kMcSmall,
};

}  // namespace opx::frame::avx2
