// Luma macroblock reconstruction drivers for 8-bit samples: the generic bodies of
// recon_drivers.hpp, with the inter 4×4 paths on kernels of several blocks (flat style: pairs of
// horizontally adjacent blocks; matrix style: the whole macroblock).
#include "h264/decode/recon_drivers.hpp"

namespace opx::h264 {

void luma_inter_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    if (!ls && !bypass) {
        // Blocks 2m and 2m + 1 sit side by side: both coded go through one 8×4 kernel.
        Opx16s* c = *coeffs;
        const std::uint32_t blocks = (cbp >> 1) & 0xFFFF;
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
    if (!bypass) {
        *coeffs = k.add_luma_inter4x4(dst, step, *coeffs, (cbp >> 1) & 0xFFFF, qp, ls);
        return;
    }
    luma_inter_4x4_blocks(ReconOps<Opx8u>{k}, coeffs, dst, step, cbp, qp, ls, bypass);
}

void luma_inter_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                    std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    luma_inter_8x8_blocks(ReconOps<Opx8u>{k}, coeffs, dst, step, cbp, qp, ls, bypass);
}

OpxResult luma_intra_4x4(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int shift, int qp,
                         int edge, const Opx16s* ls, bool bypass) noexcept {
    return luma_intra_4x4_blocks(ReconOps<Opx8u>{k}, coeffs, dst, step, modes, blocks, cbp, shift,
                                 qp, edge, ls, bypass);
}

OpxResult luma_intra_8x8(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                         const Opx32s* modes, int blocks, std::uint32_t cbp, int qp, int edge,
                         const Opx16s* ls, bool bypass) noexcept {
    return luma_intra_8x8_blocks(ReconOps<Opx8u>{k}, coeffs, dst, step, modes, blocks, cbp, qp,
                                 edge, ls, bypass);
}

void luma_intra_16x16(const ReconKernels& k, Opx16s** coeffs, Opx8u* dst, std::ptrdiff_t step,
                      int slot, std::uint32_t cbp, int qp, const Opx16s* ls, bool bypass) noexcept {
    luma_intra_16x16_mb(ReconOps<Opx8u>{k}, coeffs, dst, step, slot, cbp, qp, ls, bypass);
}

}  // namespace opx::h264
