// Portable forward transforms and quantisation, written per value from the rules in fwd.hpp.
// Every intermediate is a 64-bit integer unless a rule asks for 16-bit saturation or 32-bit
// wrapping, so the quantisation is exact for every input and qp.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "h264/encode/fwd.hpp"

namespace opx::h264::enc::ref {
namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;

constexpr i64 sat16(i64 x) noexcept { return std::clamp<i64>(x, -32768, 32767); }
constexpr i64 sat32(i64 x) noexcept {
    return std::clamp<i64>(x, std::numeric_limits<std::int32_t>::min(),
                           std::numeric_limits<std::int32_t>::max());
}
// 32-bit two's-complement wrapping.
constexpr i64 wrap32(i64 x) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<u64>(x)));
}

template <class Out>
constexpr i64 clamp_out(i64 x) noexcept {
    return sizeof(Out) == 2 ? sat16(x) : sat32(x);
}

// The quantisation rule: sign(c) x ((|c| x s + f) >> q), clamped to the output type.
template <class Out>
Out quantise(i64 c, u64 s, u64 f, int q) noexcept {
    const u64 mag = ((c < 0 ? static_cast<u64>(-c) : static_cast<u64>(c)) * s + f) >> q;
    const i64 m = static_cast<i64>(std::min<u64>(mag, u64{1} << 40));
    return static_cast<Out>(clamp_out<Out>(c < 0 ? -m : m));
}

// count and last of `n` levels (count negated when asked and level 0 is non-zero).
template <class L>
BlockFacts facts(const L* level, int n, const Opx16s* scan, bool negate_dc) noexcept {
    BlockFacts f{0, 0};
    for (int i = 0; i < n; ++i) {
        if (level[i] == 0) continue;
        ++f.count;
        if (scan) f.last = std::max<std::int32_t>(f.last, scan[i]);
    }
    if (negate_dc && level[0] != 0) f.count = -f.count;
    return f;
}

// Forward 4x4 core transform of one line (rows, then columns), in the arithmetic Op.
template <class Op>
void core4(i64 x0, i64 x1, i64 x2, i64 x3, i64* y) noexcept {
    const i64 s03 = Op::f(x0 + x3), s12 = Op::f(x1 + x2);
    const i64 d03 = Op::f(x0 - x3), d12 = Op::f(x1 - x2);
    y[0] = Op::f(s03 + s12);
    y[1] = Op::f(Op::f(2 * d03) + d12);
    y[2] = Op::f(s03 - s12);
    y[3] = Op::f(d03 - Op::f(2 * d12));
}
struct Exact {
    static constexpr i64 f(i64 x) noexcept { return x; }
};
struct Sat16 {
    static constexpr i64 f(i64 x) noexcept { return sat16(x); }
};
struct Wrap32 {
    static constexpr i64 f(i64 x) noexcept { return wrap32(x); }
};

template <class Op, class In>
void forward4x4(const In* x, i64* out) noexcept {
    i64 t[16];
    for (int r = 0; r < 4; ++r) core4<Op>(x[4 * r], x[4 * r + 1], x[4 * r + 2], x[4 * r + 3], t + 4 * r);
    for (int c = 0; c < 4; ++c) {
        i64 y[4];
        core4<Op>(t[c], t[4 + c], t[8 + c], t[12 + c], y);
        for (int r = 0; r < 4; ++r) out[4 * r + c] = y[r];
    }
}

// The 4x4 quantisation of 16 coefficients with the flat or the caller's scales.
template <class Out, class Scale>
void quant16(const i64* c, Out* dst, int qp, bool intra, const Scale* scale) noexcept {
    const int q = (scale ? 11 : 15) + qp / 6;
    const u64 f = intra ? (u64{1} << q) / 3 : (u64{1} << q) / 6;
    for (int i = 0; i < 16; ++i) {
        const u64 s = scale ? static_cast<u64>(static_cast<std::make_unsigned_t<Scale>>(scale[i]))
                            : kQuantScale4x4Raster[qp % 6][i];
        dst[i] = quantise<Out>(c[i], s, f, q);
    }
}

template <class Out>
BlockFacts trans_quant(const Opx16s* src, Out* dst, int qp, bool intra, const Opx16s* scan,
                       const Opx16s* scale) noexcept {
    i64 c[16];
    forward4x4<Exact>(src, c);
    quant16(c, dst, qp, intra, scale);
    return facts(dst, 16, scan, true);
}

template <class In, class Out, class Scale>
BlockFacts quant4x4_of(const In* src, Out* dst, int qp, bool intra, const Opx16s* scan,
                       const Scale* scale) noexcept {
    i64 c[16];
    for (int i = 0; i < 16; ++i) c[i] = src[i];
    quant16(c, dst, qp, intra, scale);
    return facts(dst, 16, scan, false);
}

// Forward 8x8 transform of one line (H.264 8x8 integer transform, forward direction).
void core8(const i64* x, i64* y) noexcept {
    const i64 a0 = x[0] + x[7], a1 = x[1] + x[6], a2 = x[2] + x[5], a3 = x[3] + x[4];
    const i64 a4 = x[0] - x[7], a5 = x[1] - x[6], a6 = x[2] - x[5], a7 = x[3] - x[4];
    const i64 b0 = a0 + a3, b1 = a1 + a2, b2 = a0 - a3, b3 = a1 - a2;
    const i64 b4 = a5 + a6 + ((a4 >> 1) + a4);
    const i64 b5 = a4 - a7 - ((a6 >> 1) + a6);
    const i64 b6 = a4 + a7 - ((a5 >> 1) + a5);
    const i64 b7 = a5 - a6 + ((a7 >> 1) + a7);
    y[0] = b0 + b1;
    y[2] = b2 + (b3 >> 1);
    y[4] = b0 - b1;
    y[6] = (b2 >> 1) - b3;
    y[1] = b4 + (b7 >> 2);
    y[3] = b5 + (b6 >> 2);
    y[5] = b6 - (b5 >> 2);
    y[7] = (b4 >> 2) - b7;
}

void forward8x8(const Opx16s* src, i64* out) noexcept {
    i64 t[64];
    for (int r = 0; r < 8; ++r) {
        i64 x[8];
        for (int c = 0; c < 8; ++c) x[c] = src[8 * r + c];
        core8(x, t + 8 * r);
    }
    for (int c = 0; c < 8; ++c) {
        i64 x[8], y[8];
        for (int r = 0; r < 8; ++r) x[r] = t[8 * r + c];
        core8(x, y);
        for (int r = 0; r < 8; ++r) out[8 * r + c] = y[r];
    }
}

template <class In, class Out>
BlockFacts quant8x8_of(const In* src, Out* dst, int qp_per, bool intra, const Opx16s* scan,
                       const Opx16u* scale) noexcept {
    const int q = 12 + qp_per;
    const u64 f = u64{intra ? 682u : 342u} << (qp_per + 1);
    for (int i = 0; i < 64; ++i) {
        i64 c = src[i];
        if constexpr (sizeof(In) == 2) c = std::clamp<i64>(c, -32767, 32767);
        dst[i] = quantise<Out>(c, scale[i], f, q);
    }
    return facts(dst, 64, scan, true);
}

// Luma DC: 4x4 Hadamard down the columns then along the rows, each value >> 1 (floor), held in
// the block type (saturated).
template <class T>
void hadamard_dc(const T* c, T* out) noexcept {
    i64 t[16];
    for (int col = 0; col < 4; ++col) {
        const i64 x0 = c[col], x1 = c[4 + col], x2 = c[8 + col], x3 = c[12 + col];
        t[col] = (x0 + x1) + (x2 + x3);
        t[4 + col] = (x0 + x1) - (x2 + x3);
        t[8 + col] = (x0 - x1) - (x2 - x3);
        t[12 + col] = (x0 - x1) + (x2 - x3);
    }
    for (int r = 0; r < 4; ++r) {
        const i64 x0 = t[4 * r], x1 = t[4 * r + 1], x2 = t[4 * r + 2], x3 = t[4 * r + 3];
        const i64 y[4] = {(x0 + x1) + (x2 + x3), (x0 + x1) - (x2 + x3), (x0 - x1) - (x2 - x3),
                          (x0 - x1) + (x2 - x3)};
        for (int k = 0; k < 4; ++k) out[4 * r + k] = static_cast<T>(clamp_out<T>(y[k] >> 1));
    }
}

template <class T>
BlockFacts luma_dc_of(T* srcdst, T* tblock, int qp, bool need_transform, const Opx16s* scan,
                      const Opx16s* scale) noexcept {
    if (need_transform) hadamard_dc(srcdst, tblock);
    const int per = qp / 6;
    const int q = (scale ? 12 : 16) + per;
    const u64 s = scale ? static_cast<Opx16u>(scale[0]) : kQuantScale4x4[qp % 6][0];
    const u64 f = scale ? (u64{682} << (per + 1)) : (u64{1} << q) / 3;
    for (int i = 0; i < 16; ++i) srcdst[i] = quantise<T>(tblock[i], s, f, q);
    return facts(srcdst, 16, scan, true);
}

// Chroma DC 2x2: f00, f01, f10, f11 of the 2x2 array c0..c3 (raster order).
template <class T>
void transform2x2(const T* c, T* out) noexcept {
    const i64 c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
    out[0] = static_cast<T>(clamp_out<T>(c0 + c1 + c2 + c3));
    out[1] = static_cast<T>(clamp_out<T>(c0 - c1 + c2 - c3));
    out[2] = static_cast<T>(clamp_out<T>(c0 + c1 - c2 - c3));
    out[3] = static_cast<T>(clamp_out<T>(c0 - c1 - c2 + c3));
}

// Chroma DC 2x4 (4:2:2): row sums s_r and differences d_r; column 0 from s, column 1 from d.
template <class T>
void transform2x4(const T* c, T* out) noexcept {
    i64 s[4], d[4];
    for (int r = 0; r < 4; ++r) {
        s[r] = i64{c[2 * r]} + c[2 * r + 1];
        d[r] = i64{c[2 * r]} - c[2 * r + 1];
    }
    const i64* v[2] = {s, d};
    for (int h = 0; h < 2; ++h) {
        const i64* x = v[h];
        out[0 + h] = static_cast<T>(clamp_out<T>(x[0] + x[1] + x[2] + x[3]));
        out[2 + h] = static_cast<T>(clamp_out<T>(x[0] + x[1] - x[2] - x[3]));
        out[4 + h] = static_cast<T>(clamp_out<T>(x[0] - x[1] - x[2] + x[3]));
        out[6 + h] = static_cast<T>(clamp_out<T>(x[0] - x[1] + x[2] - x[3]));
    }
}

template <int N, class T>
BlockFacts chroma_dc_of(T* srcdst, T* tblock, int qp, bool intra, bool need_transform,
                        const Opx16s* scale) noexcept {
    if (need_transform) {
        if constexpr (N == 4)
            transform2x2(srcdst, tblock);
        else
            transform2x4(srcdst, tblock);
    }
    const int qpx = N == 4 ? qp : qp + 3;
    const int q = (scale ? 12 : 16) + qpx / 6;
    const u64 s = scale ? static_cast<Opx16u>(scale[0]) : kQuantScale4x4[qpx % 6][0];
    const u64 f = N == 8      ? u64{intra ? 682u : 342u} << (q - 11)
                  : intra ? (u64{1} << q) / 3
                          : (u64{1} << q) / 6;
    for (int i = 0; i < N; ++i) srcdst[i] = quantise<T>(tblock[i], s, f, q);
    return facts(srcdst, N, nullptr, true);
}

constexpr int kMaxCavlcLevel = 2063;

template <int N>
bool levels_in_range(const Opx16s* l) noexcept {
    for (int i = 0; i < N; ++i)
        if (std::abs(l[i]) > kMaxCavlcLevel) return false;
    return true;
}

}  // namespace

OpxResult trans_quant4x4(const Opx16s* src, Opx16s* dst, Opx32s qp, Opx32s* num, Opx32s intra,
                         const Opx16s* scan, Opx32s* last, const Opx16s* scale) noexcept {
    const BlockFacts f = trans_quant(src, dst, qp, intra != 0, scan, scale);
    *num = f.count;
    *last = f.last;
    return opxOk;
}
BlockFacts trans_quant4x4_wide(const Opx16s* src, Opx32s* dst, int qp, bool intra,
                               const Opx16s* scan, const Opx16s* scale) noexcept {
    return trans_quant(src, dst, qp, intra, scan, scale);
}
OpxResult quant4x4(const Opx16s* src, Opx16s* dst, Opx32s* num, Opx32s* last, const Opx16u* scale,
                   const Opx16s* scan, Opx32s qp, Opx32s intra) noexcept {
    const BlockFacts f = quant4x4_of(src, dst, qp, intra != 0, scan, scale);
    *num = f.count;
    *last = f.last;
    return opxOk;
}
BlockFacts quant4x4_wide(const Opx16s* src, Opx32s* dst, int qp, bool intra, const Opx16s* scan,
                         const Opx32s* scale) noexcept {
    return quant4x4_of(src, dst, qp, intra, scan, scale);
}
BlockFacts quant4x4_high(const Opx32s* src, Opx32s* dst, int qp, bool intra, const Opx16s* scan,
                         const Opx32s* scale) noexcept {
    return quant4x4_of(src, dst, qp, intra, scan, scale);
}

void transform4x4(const Opx16s* src, Opx16s* dst) noexcept {
    i64 c[16];
    forward4x4<Sat16>(src, c);
    for (int i = 0; i < 16; ++i) dst[i] = static_cast<Opx16s>(c[i]);
}
void transform4x4_high(const Opx32s* src, Opx32s* dst) noexcept {
    i64 c[16];
    forward4x4<Wrap32>(src, c);
    for (int i = 0; i < 16; ++i) dst[i] = static_cast<Opx32s>(c[i]);
}

OpxResult transform8x8(const Opx16s* src, Opx16s* dst) noexcept {
    i64 c[64];
    forward8x8(src, c);
    for (int i = 0; i < 64; ++i) dst[i] = static_cast<Opx16s>(sat16(c[i]));
    return opxOk;
}
void transform8x8_wide(const Opx16s* src, Opx32s* dst) noexcept {
    i64 c[64];
    forward8x8(src, c);
    for (int i = 0; i < 64; ++i) dst[i] = static_cast<Opx32s>(c[i]);
}

OpxResult quant8x8(const Opx16s* src, Opx16s* dst, Opx32s qp_per, Opx32s intra, const Opx16s* scan,
                   const Opx16u* scale, Opx32s* num, Opx32s* last) noexcept {
    const BlockFacts f = quant8x8_of(src, dst, qp_per, intra != 0, scan, scale);
    *num = f.count;
    *last = f.last;
    return opxOk;
}
BlockFacts quant8x8_high(const Opx32s* src, Opx32s* dst, int qp_per, bool intra,
                         const Opx16s* scan, const Opx16u* scale) noexcept {
    return quant8x8_of(src, dst, qp_per, intra, scan, scale);
}

OpxResult luma_dc(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num, Opx32s need_transform,
                  const Opx16s* scan, Opx32s* last, const Opx16s* scale) noexcept {
    const BlockFacts f = luma_dc_of(srcdst, tblock, qp, need_transform != 0, scan, scale);
    *num = f.count;
    *last = f.last;
    return opxOk;
}
BlockFacts luma_dc_high(Opx32s* srcdst, Opx32s* tblock, int qp, bool need_transform,
                        const Opx16s* scan, const Opx16s* scale) noexcept {
    return luma_dc_of(srcdst, tblock, qp, need_transform, scan, scale);
}
OpxResult chroma_dc2x2(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num, Opx32s intra,
                       Opx32s need_transform, const Opx16s* scale) noexcept {
    *num = chroma_dc_of<4>(srcdst, tblock, qp, intra != 0, need_transform != 0, scale).count;
    return opxOk;
}
BlockFacts chroma_dc2x2_high(Opx32s* srcdst, Opx32s* tblock, int qp, bool intra,
                             bool need_transform, const Opx16s* scale) noexcept {
    return chroma_dc_of<4>(srcdst, tblock, qp, intra, need_transform, scale);
}
OpxResult chroma_dc2x4(Opx16s* srcdst, Opx16s* tblock, Opx32s qp, Opx32s* num, Opx32s intra,
                       Opx32s need_transform, const Opx16s* scale) noexcept {
    *num = chroma_dc_of<8>(srcdst, tblock, qp, intra != 0, need_transform != 0, scale).count;
    return opxOk;
}
BlockFacts chroma_dc2x4_high(Opx32s* srcdst, Opx32s* tblock, int qp, bool intra,
                             bool need_transform, const Opx16s* scale) noexcept {
    return chroma_dc_of<8>(srcdst, tblock, qp, intra, need_transform, scale);
}

bool old_residual(Opx16s* srcdst, int qp, bool intra, const Opx16s* scan,
                  BlockFacts* out) noexcept {
    Opx16s level[16];
    const BlockFacts f = trans_quant(srcdst, level, qp, intra, scan, nullptr);
    if (!levels_in_range<16>(level)) return false;
    std::copy(level, level + 16, srcdst);
    *out = f;
    return true;
}

bool old_luma_dc(Opx16s* srcdst, Opx16s* tblock, int qp, bool need_transform, const Opx16s* scan,
                 BlockFacts* out) noexcept {
    Opx16s level[16], t[16];
    std::copy(srcdst, srcdst + 16, level);
    std::copy(tblock, tblock + 16, t);
    const BlockFacts f = luma_dc_of(level, t, qp, need_transform, scan, nullptr);
    if (!levels_in_range<16>(level)) return false;
    std::copy(level, level + 16, srcdst);
    if (need_transform) std::copy(t, t + 16, tblock);
    *out = f;
    return true;
}

bool old_chroma_dc(Opx16s* srcdst, Opx16s* tblock, int qp, bool intra, bool need_transform,
                   BlockFacts* out) noexcept {
    Opx16s level[4], t[4];
    std::copy(srcdst, srcdst + 4, level);
    std::copy(tblock, tblock + 4, t);
    const BlockFacts f = chroma_dc_of<4>(level, t, qp, intra, need_transform, nullptr);
    if (!levels_in_range<4>(level)) return false;
    std::copy(level, level + 4, srcdst);
    if (need_transform) std::copy(t, t + 4, tblock);
    *out = f;
    return true;
}

void transform_pred(const Opx8u* src, std::int32_t step, Opx16s* dst) noexcept {
    Opx16s x[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) x[4 * r + c] = src[static_cast<std::ptrdiff_t>(r) * step + c];
    i64 y[16];
    forward4x4<Exact>(x, y);
    for (int i = 0; i < 16; ++i) dst[i] = static_cast<Opx16s>(y[i]);  // |y| <= 36 x 255
}

// pQuantScale = floor(MF / w) (1 for w = 0), pDequantScale = w x normAdjust.
void gen_scale4x4(const Opx8u* weights, Opx16u* dequant, Opx16u* quant, int qp_rem) noexcept {
    for (int i = 0; i < 16; ++i) {
        const unsigned w = weights[i];
        dequant[i] = static_cast<Opx16u>(w * kNormAdjust4x4Raster[qp_rem][i]);
        quant[i] = static_cast<Opx16u>(w ? kQuantScale4x4Raster[qp_rem][i] / w : 1);
    }
}
void gen_scale8x8(const Opx8u* weights, std::int32_t step, Opx16u* dequant, Opx16u* quant,
                  int qp_rem) noexcept {
    for (int i = 0; i < 64; ++i) {
        const unsigned w = weights[static_cast<std::ptrdiff_t>(i >> 3) * step + (i & 7)];
        dequant[i] = static_cast<Opx16u>(w * kNormAdjust8x8Raster[qp_rem][i]);
        quant[i] = static_cast<Opx16u>(w ? kQuantScale8x8Raster[qp_rem][i] / w : 1);
    }
}

extern const FwdKernels kFwd = {
    trans_quant4x4, trans_quant4x4_wide, quant4x4,         quant4x4_wide,
    quant4x4_high,  transform4x4,        transform4x4_high, transform8x8,
    transform8x8_wide, quant8x8,         quant8x8_high,     luma_dc,
    luma_dc_high,   chroma_dc2x2,        chroma_dc2x2_high, chroma_dc2x4,
    chroma_dc2x4_high, old_residual,     old_luma_dc,       old_chroma_dc,
    transform_pred, gen_scale4x4,        gen_scale8x8,
};

}  // namespace opx::h264::enc::ref
