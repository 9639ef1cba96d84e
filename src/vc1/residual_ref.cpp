// VC-1 residual path, portable kernels written per sample from the rules (residual.hpp).
#include <algorithm>
#include <cstdlib>

#include "vc1/residual.hpp"

namespace opx::vc1::ref {
namespace {

template <int N>
constexpr const Matrix<N>& inv_basis() noexcept {
    if constexpr (N == 8)
        return kInv8;
    else
        return kInv4;
}
template <int N>
constexpr const Matrix<N>& fwd_basis() noexcept {
    if constexpr (N == 8)
        return kFwd8;
    else
        return kFwd4;
}

// ---- inverse transform (SMPTE 421M 8.1.4.2) ----------------------------------------------------

// W x H block whose coefficients outside the top-left EW x EH rectangle are zero: those rows and
// columns are neither read nor computed.
template <int W, int H, int EW, int EH>
void inverse(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
             std::int32_t dst_step) noexcept {
    const auto& mw = inv_basis<W>();
    const auto& mh = inv_basis<H>();
    int d[EH][EW];
    for (int i = 0; i < EH; ++i)
        for (int k = 0; k < EW; ++k) d[i][k] = row_at(src, i, src_step)[k];
    int e[H][W] = {};
    for (int i = 0; i < EH; ++i)
        for (int j = 0; j < W; ++j) {
            int s = 0;
            for (int k = 0; k < EW; ++k) s += d[i][k] * mw.m[k][j];
            e[i][j] = clamp16((s + 4) >> 3);
        }
    for (int i = 0; i < H; ++i) {
        Opx16s* r = row_at(dst, i, dst_step);
        const int c = (H == 8 && i >= 4) ? 1 : 0;
        for (int j = 0; j < W; ++j) {
            int s = 0;
            for (int k = 0; k < EH; ++k) s += e[k][j] * mh.m[k][i];
            r[j] = static_cast<Opx16s>(clamp16((s + 64 + c) >> 7));
        }
    }
}

// Only D[0][0]: both passes of the full transform on one value (with their clamps; the +1 of
// rows 4..7 never changes (12 e + 64) >> 7, 12 e being a multiple of 4).
template <int W, int H>
void inverse_dc(const Opx16s* src, std::int32_t, Opx16s* dst, std::int32_t dst_step) noexcept {
    const int e = clamp16((src[0] * inv_basis<W>().m[0][0] + 4) >> 3);
    for (int i = 0; i < H; ++i) {
        const int c = (H == 8 && i >= 4) ? 1 : 0;
        const Opx16s v = static_cast<Opx16s>(clamp16((e * inv_basis<H>().m[0][0] + 64 + c) >> 7));
        Opx16s* r = row_at(dst, i, dst_step);
        for (int j = 0; j < W; ++j) r[j] = v;
    }
}

// ---- forward transform ------------------------------------------------------------------------

template <int W, int H>
void forward(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
             std::int32_t dst_step) noexcept {
    constexpr int s1 = W == 8 ? 12 : 11, s2 = H == 8 ? 20 : 19;
    const auto& fw = fwd_basis<W>();
    const auto& fh = fwd_basis<H>();
    int e[H][W];
    for (int i = 0; i < H; ++i) {
        const Opx16s* x = row_at(src, i, src_step);
        for (int k = 0; k < W; ++k) {
            std::uint32_t s = 1u << (s1 - 1);
            for (int j = 0; j < W; ++j) s += static_cast<std::uint32_t>(x[j] * fw.m[k][j]);
            e[i][k] = clamp16(sra32(s, s1));
        }
    }
    for (int l = 0; l < H; ++l) {
        Opx16s* y = row_at(dst, l, dst_step);
        for (int k = 0; k < W; ++k) {
            std::uint32_t s = 1u << (s2 - 1);
            for (int i = 0; i < H; ++i) s += static_cast<std::uint32_t>(e[i][k] * fh.m[l][i]);
            y[k] = static_cast<Opx16s>(clamp16(sra32(s, s2)));
        }
    }
}

// ---- quantisers ---------------------------------------------------------------------------------

constexpr int quant_w(int b) noexcept {
    return (b == kQInter4x8 || b == kQInter4x4) ? 4 : 8;
}
constexpr int quant_h(int b) noexcept {
    return (b == kQInter8x4 || b == kQInter4x4) ? 4 : 8;
}

template <int Kind, int Block>
void quant_fwd(Opx16s* block, std::int32_t step, int q) noexcept {
    for (int y = 0; y < quant_h(Block); ++y) {
        Opx16s* r = row_at(block, y, step);
        for (int x = 0; x < quant_w(Block); ++x) {
            if (Block == kQIntra && x == 0 && y == 0) continue;
            int c = r[x];
            if (Kind == kNonuniform) c -= (c > 0 ? 1 : c < 0 ? -1 : 0) * (q >> 1);
            r[x] = static_cast<Opx16s>(c / q);
        }
    }
}

template <int Kind, int Block>
void quant_inv(const Opx16s* src, std::int32_t src_step, Opx16s* dst, std::int32_t dst_step, int q,
               OpxRoiSize* nz) noexcept {
    int width = 0, height = 0;
    for (int y = 0; y < quant_h(Block); ++y) {
        const Opx16s* s = row_at(src, y, src_step);
        Opx16s* d = row_at(dst, y, dst_step);
        for (int x = 0; x < quant_w(Block); ++x) {
            const int c = s[x];
            int r;
            if (Block == kQIntra && x == 0 && y == 0) {
                r = c;
            } else {
                // Modulo 2^16: formed in unsigned arithmetic, read back as signed 16-bit.
                std::uint32_t v = static_cast<std::uint32_t>(c) * static_cast<std::uint32_t>(q);
                if (Kind == kNonuniform && c != 0)
                    v += c > 0 ? static_cast<std::uint32_t>(q >> 1)
                               : 0u - static_cast<std::uint32_t>(q >> 1);
                r = static_cast<Opx16s>(static_cast<std::uint16_t>(v));
            }
            d[x] = static_cast<Opx16s>(r);
            if (r != 0) {
                if (x + 1 > width) width = x + 1;
                if (y + 1 > height) height = y + 1;
            }
        }
    }
    if (Block == kQIntra && height < 1) height = 1;
    nz->width = width;
    nz->height = height;
}

// ---- Hadamard ----------------------------------------------------------------------------------

int sat16(int v) noexcept {
    return clamp16(v);
}

// One 8-point butterfly network on v[0], v[d], ..., v[7d] (distances 1, 2, 4 between the
// elements), sum at the lower index, difference at the upper, each saturated.
void butterflies(int* v, int stride) noexcept {
    for (int dist = 1; dist < 8; dist <<= 1)
        for (int i = 0; i < 8; ++i)
            if (!(i & dist)) {
                const int a = v[i * stride], b = v[(i + dist) * stride];
                v[i * stride] = sat16(a + b);
                v[(i + dist) * stride] = sat16(a - b);
            }
}

template <class T>
void hadamard(const T* src, std::int32_t src_step, Opx16s* dst, Opx32s* sum) noexcept {
    int v[8][8];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) v[y][x] = row_at(src, y, src_step)[x];
    for (int y = 0; y < 8; ++y) butterflies(&v[y][0], 1);
    for (int x = 0; x < 8; ++x) butterflies(&v[0][x], 8);
    Opx32s total = 0;
    for (int x = 0; x < 8; ++x) {
        int col = 0;
        for (int y = 0; y < 8; ++y) col = std::min(32767, col + std::min(32767, std::abs(v[y][x])));
        total += col;
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) dst[8 * y + x] = static_cast<Opx16s>(v[y][x]);
    *sum = total;
}

}  // namespace

#define OPX_INV(W, H, EW, EH) &inverse<W, H, (EW < W ? EW : W), (EH < H ? EH : H)>
#define OPX_INV_ROW(W, H)                                                                       \
    {                                                                                           \
        &inverse_dc<W, H>, OPX_INV(W, H, 2, 2), OPX_INV(W, H, 4, 2), OPX_INV(W, H, 8, 2),       \
            OPX_INV(W, H, 2, 4), OPX_INV(W, H, 4, 4), OPX_INV(W, H, 8, 4), OPX_INV(W, H, 2, 8), \
            OPX_INV(W, H, 4, 8), OPX_INV(W, H, 8, 8)                                            \
    }
const TransformKernels kTransform = {
    {OPX_INV_ROW(8, 8), OPX_INV_ROW(8, 4), OPX_INV_ROW(4, 8), OPX_INV_ROW(4, 4)},
    {&forward<8, 8>, &forward<8, 4>, &forward<4, 8>, &forward<4, 4>},
};
#undef OPX_INV_ROW
#undef OPX_INV

#define OPX_FWD(K, B) \
    { &quant_fwd<K, B>, &quant_fwd<K, B>, &quant_fwd<K, B> }
#define OPX_FWD_ROW(K)                                                       \
    {                                                                        \
        OPX_FWD(K, kQIntra), OPX_FWD(K, kQInter8x8), OPX_FWD(K, kQInter8x4), \
            OPX_FWD(K, kQInter4x8), OPX_FWD(K, kQInter4x4)                   \
    }
#define OPX_INVQ_ROW(K)                                                               \
    {                                                                                 \
        &quant_inv<K, kQIntra>, &quant_inv<K, kQInter8x8>, &quant_inv<K, kQInter8x4>, \
            &quant_inv<K, kQInter4x8>, &quant_inv<K, kQInter4x4>                      \
    }
const QuantKernels kQuant = {
    {OPX_FWD_ROW(kUniform), OPX_FWD_ROW(kNonuniform)},
    {OPX_INVQ_ROW(kUniform), OPX_INVQ_ROW(kNonuniform)},
    &hadamard<Opx8u>,
    &hadamard<Opx16s>,
};
#undef OPX_FWD
#undef OPX_FWD_ROW
#undef OPX_INVQ_ROW

}  // namespace opx::vc1::ref
