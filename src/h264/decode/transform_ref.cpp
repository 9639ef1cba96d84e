// Portable H.264 inverse transforms and dequantisation, written per coefficient from the
// standard's rules (clauses 8.5.10 to 8.5.13, 8.6.1, 8.6.2). Every value is carried in 64 bits and
// reduced to the precision that the kernel's contract names (see transform.hpp), so no signed
// overflow can occur and the reductions are explicit.
#include <algorithm>
#include <cstdint>

#include "h264/decode/transform.hpp"

namespace opx::h264::ref {
namespace {

using i64 = std::int64_t;

constexpr i64 wrap16(i64 x) noexcept {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(x)));
}
constexpr i64 wrap32(i64 x) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(x)));
}
constexpr i64 sat16(i64 x) noexcept {
    return std::clamp<i64>(x, -32768, 32767);
}
// x * 2^n without a signed left shift.
constexpr i64 mul_pow2(i64 x, int n) noexcept {
    return x * (i64{1} << n);
}

// Arithmetic of a transform pass: each addition and subtraction goes through `op`.
struct Sat16 {
    static constexpr i64 op(i64 x) noexcept { return sat16(x); }
};
struct Wrap16 {
    static constexpr i64 op(i64 x) noexcept { return wrap16(x); }
};
struct Wrap32 {
    static constexpr i64 op(i64 x) noexcept { return wrap32(x); }
};
struct Exact {
    static constexpr i64 op(i64 x) noexcept { return x; }
};

// One 4-point inverse transform (clause 8.5.12.2) on x[0], x[s], x[2s], x[3s].
template <class A>
void idct4_1d(i64* x, int s) noexcept {
    const i64 d0 = x[0], d1 = x[s], d2 = x[2 * s], d3 = x[3 * s];
    const i64 e0 = A::op(d0 + d2), e1 = A::op(d0 - d2);
    const i64 e2 = A::op((d1 >> 1) - d3), e3 = A::op(d1 + (d3 >> 1));
    x[0] = A::op(e0 + e3);
    x[s] = A::op(e1 + e2);
    x[2 * s] = A::op(e1 - e2);
    x[3 * s] = A::op(e0 - e3);
}

// One 8-point inverse transform (clause 8.5.13.2), sums evaluated as transform.hpp writes them.
template <class A>
void idct8_1d(i64* x, int s) noexcept {
    i64 d[8];
    for (int i = 0; i < 8; ++i) d[i] = x[i * s];
    const i64 e0 = A::op(d[0] + d[4]);
    const i64 e1 = A::op(A::op(A::op(d[5] - d[3]) - d[7]) - (d[7] >> 1));
    const i64 e2 = A::op(d[0] - d[4]);
    const i64 e3 = A::op(A::op(A::op(d[1] + d[7]) - d[3]) - (d[3] >> 1));
    const i64 e4 = A::op((d[2] >> 1) - d[6]);
    const i64 e5 = A::op(A::op(A::op(d[7] - d[1]) + d[5]) + (d[5] >> 1));
    const i64 e6 = A::op(d[2] + (d[6] >> 1));
    const i64 e7 = A::op(A::op(A::op(d[3] + d[5]) + d[1]) + (d[1] >> 1));
    const i64 f0 = A::op(e0 + e6), f1 = A::op(e1 + (e7 >> 2));
    const i64 f2 = A::op(e2 + e4), f3 = A::op(e3 + (e5 >> 2));
    const i64 f4 = A::op(e2 - e4), f5 = A::op((e3 >> 2) - e5);
    const i64 f6 = A::op(e0 - e6), f7 = A::op(e7 - (e1 >> 2));
    const i64 g[8] = {A::op(f0 + f7), A::op(f2 + f5), A::op(f4 + f3), A::op(f6 + f1),
                      A::op(f6 - f1), A::op(f4 - f3), A::op(f2 - f5), A::op(f0 - f7)};
    for (int i = 0; i < 8; ++i) x[i * s] = g[i];
}

// The N x N inverse transform: rows with arithmetic R, columns and (r + 32) >> 6 with C.
template <int N, class R, class C>
void idct(i64* b) noexcept {
    for (int i = 0; i < N; ++i) {
        if constexpr (N == 4) {
            idct4_1d<R>(b + 4 * i, 1);
        } else {
            idct8_1d<R>(b + 8 * i, 1);
        }
    }
    for (int i = 0; i < N; ++i) {
        if constexpr (N == 4) {
            idct4_1d<C>(b + i, 4);
        } else {
            idct8_1d<C>(b + i, 8);
        }
    }
    for (int i = 0; i < N * N; ++i) b[i] = C::op(b[i] + 32) >> 6;
}

template <class T>
T* row_at(T* p, std::int32_t step, int y) noexcept {
    using B = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<B*>(p) + static_cast<std::ptrdiff_t>(step) * y);
}

// dst = clamp(pred + r, 0, max_sample); for 8-bit samples the addition is sat16 first.
template <int N, class P>
void add_pred(const P* pred, std::int32_t pred_step, const i64* r, P* dst, std::int32_t dst_step,
              i64 max_sample) noexcept {
    for (int y = 0; y < N; ++y) {
        const P* p = row_at(pred, pred_step, y);
        P* d = row_at(dst, dst_step, y);
        for (int x = 0; x < N; ++x) {
            i64 s = p[x] + r[N * y + x];
            if constexpr (sizeof(P) == 1) s = sat16(s);
            d[x] = static_cast<P>(std::clamp<i64>(s, 0, max_sample));
        }
    }
}

// Flat factor v(qp % 6, class) << (qp / 6), from the standard's normAdjust4x4.
i64 flat_factor(int qp, int i) noexcept {
    return mul_pow2(kNormAdjust4x4[qp % 6][class4x4(i)], qp / 6);
}

// Matrix-style 4x4 scaling (clause 8.5.12.1) before any reduction of precision.
i64 scale4x4(i64 c, i64 ls, int qp) noexcept {
    const int q6 = qp / 6;
    const i64 d = c * ls;
    return qp < 24 ? (d + (i64{1} << (3 - q6))) >> (4 - q6) : mul_pow2(d, q6 - 4);
}
// The same in 32-bit wrapping arithmetic.
i64 scale4x4_wrap32(i64 c, i64 ls, int qp) noexcept {
    const int q6 = qp / 6;
    const i64 d = wrap32(c * ls);
    return qp < 24 ? wrap32(d + (i64{1} << (3 - q6))) >> (4 - q6) : wrap32(mul_pow2(d, q6 - 4));
}

OpxResult add4x4_flat(const Opx8u* pred, Opx16s* coeffs, const Opx16s* dc, Opx8u* dst,
                      Opx32s pred_step, Opx32s dst_step, Opx32s qp, Opx32s ac) noexcept {
    i64 b[16];
    const i64 dc_value = dc ? *dc : wrap16(coeffs[0] * flat_factor(qp, 0));
    if (ac) {
        b[0] = dc_value;
        for (int i = 1; i < 16; ++i) b[i] = wrap16(coeffs[i] * flat_factor(qp, i));
        idct<4, Sat16, Sat16>(b);
        for (int i = 0; i < 16; ++i) coeffs[i] = static_cast<Opx16s>(b[i]);
    } else {
        std::fill(b, b + 16, sat16(dc_value + 32) >> 6);
    }
    add_pred<4>(pred, pred_step, b, dst, dst_step, 255);
    return opxOk;
}

OpxResult add4x4_matrix(const Opx8u* pred, Opx32s pred_step, Opx16s* coeffs, const Opx16s* dc,
                        Opx8u* dst, Opx32s dst_step, Opx32s qp, Opx32s ac,
                        const Opx16s* level_scale) noexcept {
    if (!level_scale) level_scale = kFlatLevelScale4x4[qp % 6];
    i64 b[16];
    if (ac) {
        for (int i = 0; i < 16; ++i) b[i] = sat16(scale4x4(coeffs[i], level_scale[i], qp));
        if (dc) b[0] = *dc;
        idct<4, Sat16, Sat16>(b);
        for (int i = 0; i < 16; ++i) coeffs[i] = static_cast<Opx16s>(b[i]);
    } else {
        const i64 dc_value = dc ? *dc : wrap16(scale4x4(coeffs[0], level_scale[0], qp));
        std::fill(b, b + 16, sat16(dc_value + 32) >> 6);
    }
    add_pred<4>(pred, pred_step, b, dst, dst_step, 255);
    return opxOk;
}

void add4x4_matrix_high(const Opx16u* pred, std::int32_t pred_step, Opx32s* coeffs,
                        const Opx32s* dc, Opx16u* dst, std::int32_t dst_step, int qp, bool ac,
                        int max_sample, const Opx16s* level_scale) noexcept {
    i64 b[16];
    if (ac) {
        for (int i = 0; i < 16; ++i) b[i] = scale4x4_wrap32(coeffs[i], level_scale[i], qp);
        if (dc) b[0] = *dc;
        idct<4, Wrap32, Wrap32>(b);
        for (int i = 0; i < 16; ++i) coeffs[i] = static_cast<Opx32s>(b[i]);
    } else {
        const i64 dc_value = dc ? *dc : scale4x4_wrap32(coeffs[0], level_scale[0], qp);
        std::fill(b, b + 16, wrap32(dc_value + 32) >> 6);
    }
    add_pred<4>(pred, pred_step, b, dst, dst_step, max_sample);
}

void dequant_residual4x4_flat(Opx16s* coeffs, std::int32_t step, const Opx16s* dc, bool ac,
                              int qp) noexcept {
    i64 b[16];
    const i64 dc_value = dc ? *dc : wrap16(coeffs[0] * flat_factor(qp, 0));
    if (ac) {
        b[0] = dc_value;
        for (int i = 1; i < 16; ++i)
            b[i] = wrap16(row_at(coeffs, step, i >> 2)[i & 3] * flat_factor(qp, i));
        idct<4, Wrap16, Exact>(b);
    } else {
        std::fill(b, b + 16, (dc_value + 32) >> 6);
    }
    for (int i = 0; i < 16; ++i) row_at(coeffs, step, i >> 2)[i & 3] = static_cast<Opx16s>(b[i]);
}

// SP/SI requantisation with QS of one value in the forward transform domain: q_bits is 15 for
// 4x4 coefficients, 16 for chroma DC values (clause 8.6.1).
i64 requant(i64 x, int qs, int k, int q_bits) noexcept {
    const int shift = q_bits + qs / 6;
    const i64 m = ((x < 0 ? -x : x) * kLevelScale2[qs % 6][k] + (i64{1} << (shift - 1))) >> shift;
    return x < 0 ? -m : m;
}

void sisp4x4(Opx16s* coeffs, const Opx16s* pred_coeffs, const Opx16s* dc, bool ac, int qp, int qs,
             bool switching) noexcept {
    static constexpr i64 kA[3] = {16, 25, 20};
    i64 b[16];
    for (int i = 0; i < 16; ++i) {
        const int k = class4x4(i);
        const i64 c = (i == 0 || ac) ? coeffs[i] : 0;
        i64 level;
        if (switching) {
            // Clause 8.6.2: the prediction is quantised with QS and added in the level domain.
            level = c + requant(pred_coeffs[i], qs, k, 15);
        } else {
            // Clause 8.6.1: the levels are dequantised with QP, added to the prediction in the
            // transform domain, and the sum is requantised with QS.
            const i64 cs = pred_coeffs[i] + ((c * kA[k] * flat_factor(qp, i)) >> 6);
            level = requant(cs, qs, k, 15);
        }
        b[i] = wrap16(level * flat_factor(qs, i));
    }
    if (dc) b[0] = *dc;
    idct<4, Wrap16, Exact>(b);
    for (int i = 0; i < 16; ++i) coeffs[i] = static_cast<Opx16s>(std::clamp<i64>(b[i], 0, 255));
}

// The 2x2 transform (clause 8.5.11.1) with the arithmetic A.
template <class A>
void transform2x2(i64* c) noexcept {
    const i64 s0 = A::op(c[0] + c[1]), d0 = A::op(c[0] - c[1]);
    const i64 s1 = A::op(c[2] + c[3]), d1 = A::op(c[2] - c[3]);
    c[0] = A::op(s0 + s1);
    c[1] = A::op(d0 + d1);
    c[2] = A::op(s0 - s1);
    c[3] = A::op(d0 - d1);
}

void sisp_chroma_dc(Opx16s* dc, const Opx16s* dc_pred, int qp, int qs, bool switching) noexcept {
    i64 p[4], g[4];
    for (int i = 0; i < 4; ++i) p[i] = dc_pred[i];
    transform2x2<Exact>(p);
    for (int i = 0; i < 4; ++i) {
        i64 level;
        if (switching) {
            level = dc[i] + requant(p[i], qs, 0, 16);
        } else {
            const i64 dcs = p[i] + ((dc[i] * flat_factor(qp, 0) * 16) >> 5);
            level = requant(dcs, qs, 0, 16);
        }
        g[i] = level * flat_factor(qs, 0);
    }
    transform2x2<Exact>(g);
    for (int i = 0; i < 4; ++i) dc[i] = static_cast<Opx16s>(wrap16(g[i] >> 1));
}

// The 4-point Hadamard butterfly on x[0], x[s], x[2s], x[3s], outputs in the order of the rows
// of H (1 1 1 1 / 1 1 -1 -1 / 1 -1 -1 1 / 1 -1 1 -1).
template <class A>
void hadamard4_1d(i64* x, int s) noexcept {
    const i64 a = A::op(x[0] + x[s]), b = A::op(x[2 * s] + x[3 * s]);
    const i64 c = A::op(x[0] - x[s]), d = A::op(x[2 * s] - x[3 * s]);
    x[0] = A::op(a + b);
    x[s] = A::op(a - b);
    x[2 * s] = A::op(c - d);
    x[3 * s] = A::op(c + d);
}

template <class A>
void hadamard4x4(i64* b) noexcept {
    for (int i = 0; i < 4; ++i) hadamard4_1d<A>(b + 4 * i, 1);
    for (int i = 0; i < 4; ++i) hadamard4_1d<A>(b + i, 4);
}

OpxResult luma_dc_flat(Opx16s* c, Opx32s qp) noexcept {
    i64 b[16];
    for (int i = 0; i < 16; ++i) b[i] = c[i];
    hadamard4x4<Exact>(b);
    const int q6 = qp / 6;
    const i64 t = mul_pow2(kNormAdjust4x4[qp % 6][0], std::max(q6 - 2, 0));
    const int s = q6 == 0 ? 2 : q6 == 1 ? 1 : 0;
    const i64 r = s ? i64{1} << (s - 1) : 0;
    for (int i = 0; i < 16; ++i) c[i] = static_cast<Opx16s>(wrap16((b[i] * t + r) >> s));
    return opxOk;
}

void chroma_dc_flat(Opx16s* c, int qp) noexcept {
    i64 b[4];
    for (int i = 0; i < 4; ++i) b[i] = c[i];
    transform2x2<Wrap16>(b);
    for (int i = 0; i < 4; ++i)
        c[i] = static_cast<Opx16s>(wrap16((b[i] * flat_factor(qp, 0)) >> 1));
}

// DC scaling of the luma DC and 2x4 chroma DC arrays (clauses 8.5.10, 8.5.11.2): qP >= 36 (q6 >=
// 6) scales up, below it rounds down.
i64 scale_dc6(i64 f, i64 ls, int q6) noexcept {
    return q6 >= 6 ? mul_pow2(f * ls, q6 - 6) : (f * ls + (i64{1} << (5 - q6))) >> (6 - q6);
}
i64 scale_dc6_wrap32(i64 f, i64 ls, int q6) noexcept {
    const i64 d = wrap32(f * ls);
    return q6 >= 6 ? wrap32(mul_pow2(d, q6 - 6)) : wrap32(d + (i64{1} << (5 - q6))) >> (6 - q6);
}

void luma_dc_matrix(Opx16s* c, int qp, int ls) noexcept {
    i64 b[16];
    for (int i = 0; i < 16; ++i) b[i] = c[i];
    hadamard4x4<Sat16>(b);
    for (int i = 0; i < 16; ++i) c[i] = static_cast<Opx16s>(sat16(scale_dc6(b[i], ls, qp / 6)));
}

void luma_dc_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    i64 b[16];
    for (int i = 0; i < 16; ++i) b[i] = c[i];
    hadamard4x4<Wrap32>(b);
    for (int i = 0; i < 16; ++i) c[i] = static_cast<Opx32s>(scale_dc6_wrap32(b[i], ls, qp / 6));
}

void chroma_dc2x2_matrix(Opx16s* c, int qp, int ls) noexcept {
    i64 b[4];
    for (int i = 0; i < 4; ++i) b[i] = c[i];
    transform2x2<Wrap16>(b);
    const int q6 = qp / 6;
    for (int i = 0; i < 4; ++i) {
        const i64 d = b[i] * ls;
        c[i] = static_cast<Opx16s>(q6 < 5 ? wrap16(d >> (5 - q6)) : sat16(mul_pow2(d, q6 - 5)));
    }
}

void chroma_dc2x2_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    i64 b[4];
    for (int i = 0; i < 4; ++i) b[i] = c[i];
    transform2x2<Wrap32>(b);
    const int q6 = qp / 6;
    for (int i = 0; i < 4; ++i) {
        const i64 d = wrap32(b[i] * ls);
        c[i] = static_cast<Opx32s>(q6 < 5 ? d >> (5 - q6) : wrap32(mul_pow2(d, q6 - 5)));
    }
}

// The 2x4 chroma DC transform: per row sum and difference with S, the 4-point Hadamard down each
// column with H.
template <class S, class H>
void transform2x4(i64* b) noexcept {
    for (int r = 0; r < 4; ++r) {
        const i64 s = S::op(b[2 * r] + b[2 * r + 1]), d = S::op(b[2 * r] - b[2 * r + 1]);
        b[2 * r] = s;
        b[2 * r + 1] = d;
    }
    hadamard4_1d<H>(b, 2);
    hadamard4_1d<H>(b + 1, 2);
}

void chroma_dc2x4_matrix(Opx16s* c, int qp, int ls) noexcept {
    i64 b[8];
    for (int i = 0; i < 8; ++i) b[i] = c[i];
    transform2x4<Sat16, Wrap16>(b);
    const int q6 = (qp + 3) / 6;
    for (int i = 0; i < 8; ++i) {
        const i64 d = scale_dc6(b[i], ls, q6);
        c[i] = static_cast<Opx16s>(q6 < 6 ? sat16(d) : wrap16(d));
    }
}

void chroma_dc2x4_matrix_high(Opx32s* c, int qp, int ls) noexcept {
    i64 b[8];
    for (int i = 0; i < 8; ++i) b[i] = c[i];
    transform2x4<Wrap32, Wrap32>(b);
    const int q6 = (qp + 3) / 6;
    for (int i = 0; i < 8; ++i) c[i] = static_cast<Opx32s>(scale_dc6_wrap32(b[i], ls, q6));
}

void residual4x4(const Opx16s* src, Opx16s* dst) noexcept {
    i64 b[16];
    for (int i = 0; i < 16; ++i) b[i] = src[i];
    idct<4, Sat16, Sat16>(b);
    for (int i = 0; i < 16; ++i) dst[i] = static_cast<Opx16s>(b[i]);
}

void residual4x4_high(const Opx32s* src, Opx32s* dst) noexcept {
    i64 b[16];
    for (int i = 0; i < 16; ++i) b[i] = src[i];
    idct<4, Wrap32, Wrap32>(b);
    for (int i = 0; i < 16; ++i) dst[i] = static_cast<Opx32s>(b[i]);
}

// Clause 8.5.13.1 from the exact product.
i64 scale8x8(i64 c, i64 ls, int qp6) noexcept {
    const i64 d = c * ls;
    return qp6 < 6 ? (d + (i64{1} << (5 - qp6))) >> (6 - qp6) : mul_pow2(d, qp6 - 6);
}

OpxResult dequant8x8(Opx16s* c, Opx32s qp6, const Opx16s* level_scale) noexcept {
    for (int i = 0; i < 64; ++i) {
        const i64 d = scale8x8(c[i], level_scale[i], qp6);
        c[i] = static_cast<Opx16s>(qp6 < 6 ? sat16(d) : wrap16(d));
    }
    return opxOk;
}

void dequant8x8_high(Opx32s* c, int qp6, const Opx16s* level_scale) noexcept {
    for (int i = 0; i < 64; ++i)
        c[i] = static_cast<Opx32s>(wrap32(scale8x8(c[i], level_scale[i], qp6)));
}

OpxResult add8x8(const Opx8u* pred, Opx32s pred_step, const Opx16s* coeffs, Opx8u* dst,
                 Opx32s dst_step) noexcept {
    i64 b[64];
    for (int i = 0; i < 64; ++i) b[i] = coeffs[i];
    idct<8, Sat16, Sat16>(b);
    add_pred<8>(pred, pred_step, b, dst, dst_step, 255);
    return opxOk;
}

void add8x8_high(const Opx16u* pred, std::int32_t pred_step, const Opx32s* coeffs, Opx16u* dst,
                 std::int32_t dst_step, int max_sample) noexcept {
    i64 b[64];
    for (int i = 0; i < 64; ++i) b[i] = coeffs[i];
    idct<8, Wrap32, Wrap32>(b);
    add_pred<8>(pred, pred_step, b, dst, dst_step, max_sample);
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

}  // namespace opx::h264::ref
