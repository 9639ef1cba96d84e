// Luma macroblock reconstruction drivers (8-bit): prediction, coefficient consumption and the
// per-block transform kernels, in decoding order.
#include <cstring>

#include "h264/decode/recon.hpp"

namespace opx::h264 {
namespace {

// One coded 4×4 block: dequantise (flat or matrix style, `dc` replacing position 0 when given),
// inverse transform and add to the prediction in place; or add untransformed (bypass).
OPX_INLINE void add_4x4(const ReconKernels& k, Opx8u* blk, std::ptrdiff_t step, Opx16s* c,
                        const Opx16s* dc, int qp, const Opx16s* ls, bool bypass) noexcept {
    if (bypass) {
        if (dc) c[0] = *dc;
        bypass_add<4>(blk, step, c);
    } else if (ls) {
        k.transform.add4x4_matrix(blk, step, c, dc, blk, step, qp, true, ls);
    } else {
        k.transform.add4x4_flat(blk, c, dc, blk, step, step, qp, true);
    }
}

// One coded 8×8 block in two steps: the dequantisation (none in bypass), which does not depend
// on the block's samples, then the inverse transform added in place (or the coefficients added
// untransformed).
OPX_INLINE void dequant_8x8(const ReconKernels& k, Opx16s* c, int qp, const Opx16s* ls,
                            bool bypass) noexcept {
    if (!bypass) k.transform.dequant8x8(c, qp / 6, ls);
}
OPX_INLINE void add_8x8(const ReconKernels& k, Opx8u* blk, std::ptrdiff_t step, const Opx16s* c,
                        bool bypass) noexcept {
    if (bypass)
        bypass_add<8>(blk, step, c);
    else
        k.transform.add8x8(blk, step, c, blk, step);
}

}  // namespace

void luma_inter_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    Opx16s* c = *coeffs;
    const std::uint32_t blocks = (cbp >> 1) & 0xFFFF;
    if (!ls && !bypass) {
        // Blocks 2m and 2m + 1 sit side by side: both coded go through one 8×4 kernel.
        for (int n = 0; n < 16; n += 2) {
            const std::uint32_t two = (blocks >> n) & 3;
            if (!two) continue;
            Opx8u* blk = dst + luma4x4_y(n) * step + luma4x4_x(n);
            if (two == 3) {
                k.add4x4_flat_pair(blk, step, c, qp);
                c += 32;
            } else {
                if (two == 2) blk += 4;
                k.transform.add4x4_flat(blk, c, nullptr, blk, step, step, qp, true);
                c += 16;
            }
        }
        *coeffs = c;
        return;
    }
    for (std::uint32_t bits = blocks; bits != 0; bits &= bits - 1) {
        const int n = __builtin_ctz(bits);
        add_4x4(k, dst + luma4x4_y(n) * step + luma4x4_x(n), step, c, nullptr, qp, ls, bypass);
        c += 16;
    }
    *coeffs = c;
}

void luma_inter_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    Opx16s* c = *coeffs;
    for (int n = 0; n < 4; ++n) {
        if (!(cbp & (1u << n))) continue;
        dequant_8x8(k, c, qp, ls, bypass);
        add_8x8(k, dst + 8 * (n >> 1) * step + 8 * (n & 1), step, c, bypass);
        c += 64;
    }
    *coeffs = c;
}

OpxResult luma_intra_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int shift, int qp,
                         int edge, const Opx16s* ls, bool bypass) noexcept {
    Opx16s* c = *coeffs;
    bool substituted = false;
    for (int n = 0; n < blocks; ++n) {
        const Opx32s mode = modes[n];
        if (static_cast<std::uint32_t>(mode) > 8) {
            *coeffs = c;
            return opxErrOutOfRange;
        }
        const int x = luma4x4_x(n), y = luma4x4_y(n);
        Opx8u* blk = dst + y * step + x;
        substituted |=
            predict_4x4(k.intra, blk, step, mode, luma_block_avail(x, y, 4, edge)) != opxOk;
        if (cbp & (1u << (n + shift))) {
            add_4x4(k, blk, step, c, nullptr, qp, ls, bypass);
            c += 16;
        }
    }
    *coeffs = c;
    return substituted ? opxWrnIntraPredUnavailable : opxOk;
}

OpxResult luma_intra_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int qp, int edge,
                         const Opx16s* ls, bool bypass) noexcept {
    Opx16s* c = *coeffs;
    for (int n = 0; n < blocks; ++n) {
        const Opx32s mode = modes[n];
        if (static_cast<std::uint32_t>(mode) > 8) {
            *coeffs = c;
            return opxErrOutOfRange;
        }
        const int x = 8 * (n & 1), y = 8 * (n >> 1);
        Opx8u* blk = dst + y * step + x;
        // Dequantised first, the coefficients are ready while the prediction waits for the
        // samples of the block before.
        const bool coded = cbp & (1u << n);
        if (coded) dequant_8x8(k, c, qp, ls, bypass);
        predict_8x8(k.intra, blk, step, mode, luma_block_avail(x, y, 8, edge));
        if (coded) {
            add_8x8(k, blk, step, c, bypass);
            c += 64;
        }
    }
    *coeffs = c;
    return opxOk;
}

void luma_intra_16x16(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                      int slot, std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    k.intra.pred16x16[slot](dst, step);
    if (!(cbp & 0x1FFFF)) return;
    Opx16s* c = *coeffs;
    alignas(16) Opx16s dc[16] = {};
    if (cbp & 1) {
        // Clause 8.5.10: the DC array of the 16 blocks, raster order of the 4×4 array of blocks.
        if (!bypass) {
            if (ls)
                k.transform.luma_dc_matrix(c, qp, ls[0]);
            else
                k.transform.luma_dc_flat(c, qp);
        }
        std::memcpy(dc, c, sizeof dc);
        c += 16;
    }
    for (int n = 0; n < 16; ++n) {
        const int x = luma4x4_x(n), y = luma4x4_y(n);
        Opx8u* blk = dst + y * step + x;
        const Opx16s* d = &dc[4 * (y >> 2) + (x >> 2)];
        if (cbp & (2u << n)) {
            add_4x4(k, blk, step, c, d, qp, ls, bypass);
            c += 16;
        } else if (bypass) {
            const int v = blk[0] + *d;
            blk[0] = static_cast<Opx8u>(v < 0 ? 0 : v > 255 ? 255 : v);
        } else if (*d < -32 || *d > 31) {
            // DC-only residual (DC + 32) >> 6 on all 16 samples; zero for DC in -32..31.
            if (ls)
                k.transform.add4x4_matrix(blk, step, nullptr, d, blk, step, qp, false, ls);
            else
                k.transform.add4x4_flat(blk, nullptr, d, blk, step, step, qp, false);
        }
    }
    *coeffs = c;
}

}  // namespace opx::h264
