// Portable block primitives, written per sample from the rules; the oracle of the AVX2 kernels.
#include <algorithm>
#include <cstring>

#include "frame/block.hpp"

namespace opx::frame::ref {
namespace {

template <class T>
T* advance(T* p, std::ptrdiff_t bytes) {
    using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
    return reinterpret_cast<T*>(reinterpret_cast<Byte*>(p) + bytes);
}

template <class T>
T* row(T* p, std::int32_t step, int y) {
    return advance(p, static_cast<std::ptrdiff_t>(step) * y);
}

int clamp255(int v) {
    return std::clamp(v, 0, 255);
}

// Wrapping residual addition (Add8x8, Add8x8HP, AddC8x8): the sum modulo 2^16 read as a signed
// 16-bit value, before the clamp (200 + 32700 = 32900 reads as -32636 and clamps to 0).
int wrap16(int v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

// Half-sample prediction of sample (x, y); Pos in HalfPel form, n the neighbour distance, r the
// rounding bit. Every intermediate is an int: the four-sample sum (at most 1022) is rounded once.
template <int Pos, int N>
int predict(const Opx8u* ref, std::int32_t step, int x, int y, int r) {
    const Opx8u* a = row(ref, step, y);
    if constexpr (Pos == kFull) {
        return a[x];
    } else if constexpr (Pos == kHalfHor) {
        return (a[x] + a[x + N] + 1 - r) >> 1;
    } else {
        const Opx8u* b = row(ref, step, y + 1);
        if constexpr (Pos == kHalfVer) {
            return (a[x] + b[x] + 1 - r) >> 1;
        } else {
            return (a[x] + a[x + N] + b[x] + b[x + N] + 2 - r) >> 2;
        }
    }
}

template <int W, int H>
OpxResult copy(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
               std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y) std::memcpy(row(dst, dst_step, y), row(src, src_step, y), W);
    return opxOk;
}

template <int W, int H>
OpxResult average(const Opx8u* src1, std::int32_t src1_step, const Opx8u* src2,
                  std::int32_t src2_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                (row(src1, src1_step, y)[x] + row(src2, src2_step, y)[x] + 1) >> 1);
    return opxOk;
}

template <int W, int H, int Pos, int R>
OpxResult copy_hp(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                  std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(predict<Pos, 1>(src, src_step, x, y, R));
    return opxOk;
}

// The final average rounds half up whatever R is.
template <int W, int H, int Pos, int R>
OpxResult interp_average(const Opx8u* src, std::int32_t src_step, Opx8u* dst,
                         std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y) {
        Opx8u* d = row(dst, dst_step, y);
        for (int x = 0; x < W; ++x)
            d[x] = static_cast<Opx8u>((predict<Pos, 1>(src, src_step, x, y, R) + d[x] + 1) >> 1);
    }
    return opxOk;
}

OpxResult add_8x8(const Opx16s* res, std::int32_t res_step, Opx8u* srcdst,
                  std::int32_t srcdst_step) noexcept {
    for (int y = 0; y < 8; ++y) {
        Opx8u* d = row(srcdst, srcdst_step, y);
        for (int x = 0; x < 8; ++x)
            d[x] = static_cast<Opx8u>(clamp255(wrap16(d[x] + row(res, res_step, y)[x])));
    }
    return opxOk;
}

template <int Pos, int R>
OpxResult add_hp_8x8(const Opx16s* res, std::int32_t res_step, const Opx8u* ref,
                     std::int32_t ref_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(clamp255(
                wrap16(predict<Pos, 1>(ref, ref_step, x, y, R) + row(res, res_step, y)[x])));
    return opxOk;
}

OpxResult add_const_8x8(Opx16s value, Opx8u* srcdst, std::int32_t srcdst_step) noexcept {
    for (int y = 0; y < 8; ++y) {
        Opx8u* d = row(srcdst, srcdst_step, y);
        for (int x = 0; x < 8; ++x) d[x] = static_cast<Opx8u>(clamp255(wrap16(d[x] + value)));
    }
    return opxOk;
}

// Exact sums: P + residual lies in -32768..33022 and is clamped as an int.
template <int W, int H, int N, int Pos, int R>
OpxResult mc(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res, std::int32_t res_step,
             Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                clamp255(predict<Pos, N>(ref, ref_step, x, y, R) + row(res, res_step, y)[x]));
    return opxOk;
}

template <int N, int PosF, int PosB>
int bidir(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b, std::int32_t ref_b_step,
          int x, int y, int r) {
    return (predict<PosF, N>(ref_f, ref_f_step, x, y, r) +
            predict<PosB, N>(ref_b, ref_b_step, x, y, r) + 1) >>
           1;
}

template <int W, int H, int N, int PosF, int PosB, int R>
OpxResult mc_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
               std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step, Opx8u* dst,
               std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                clamp255(bidir<N, PosF, PosB>(ref_f, ref_f_step, ref_b, ref_b_step, x, y, R) +
                         row(res, res_step, y)[x]));
    return opxOk;
}

// Residual of destination byte x of an interleaved row: U at even bytes, V at odd bytes.
int planar_residual(const Opx16s* res_u, const Opx16s* res_v, std::int32_t res_step, int x, int y) {
    return row((x & 1) ? res_v : res_u, res_step, y)[x >> 1];
}

template <int W, int H, int Pos, int R>
OpxResult mc_p2c2(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res_u, const Opx16s* res_v,
                  std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] =
                static_cast<Opx8u>(clamp255(predict<Pos, 2>(ref, ref_step, x, y, R) +
                                            planar_residual(res_u, res_v, res_step, x, y)));
    return opxOk;
}

template <int W, int H, int PosF, int PosB, int R>
OpxResult mc_p2c2_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                    std::int32_t ref_b_step, const Opx16s* res_u, const Opx16s* res_v,
                    std::int32_t res_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                clamp255(bidir<2, PosF, PosB>(ref_f, ref_f_step, ref_b, ref_b_step, x, y, R) +
                         planar_residual(res_u, res_v, res_step, x, y)));
    return opxOk;
}

// 2- and 4-wide forms: the rounding comes as a number of which only bit 0 is used, as in the
// 8- and 16-wide forms (a caller's 2 must not turn "+ 1 - r" into a negative bias).
template <int W, int H, int Pos>
OpxResult mc_small(const Opx8u* ref, std::int32_t ref_step, const Opx16s* res,
                   std::int32_t res_step, Opx8u* dst, std::int32_t dst_step,
                   std::int32_t round) noexcept {
    const int r = round & 1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                clamp255(predict<Pos, 1>(ref, ref_step, x, y, r) + row(res, res_step, y)[x]));
    return opxOk;
}

template <int W, int H, int PosF, int PosB>
OpxResult mc_small_b(const Opx8u* ref_f, std::int32_t ref_f_step, const Opx8u* ref_b,
                     std::int32_t ref_b_step, const Opx16s* res, std::int32_t res_step, Opx8u* dst,
                     std::int32_t dst_step, std::int32_t round) noexcept {
    const int r = round & 1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            row(dst, dst_step, y)[x] = static_cast<Opx8u>(
                clamp255(bidir<1, PosF, PosB>(ref_f, ref_f_step, ref_b, ref_b_step, x, y, r) +
                         row(res, res_step, y)[x]));
    return opxOk;
}

}  // namespace

#include "frame/block_tables.inc"

}  // namespace opx::frame::ref
