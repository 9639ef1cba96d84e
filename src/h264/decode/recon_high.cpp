// Macroblock reconstruction drivers for 16-bit samples (bit depths 8..14, 32-bit coefficients),
// 4:2:0 and 4:2:2: the generic bodies of recon_drivers.hpp.
#include "h264/decode/recon_drivers.hpp"

namespace opx::h264 {
namespace {

ReconOps<Opx16u> ops(const ReconKernelsHigh& k, int bd) noexcept {
    return ReconOps<Opx16u>{k, bd, (1 << bd) - 1};
}

}  // namespace

void luma_inter_4x4(const ReconKernelsHigh& k, const HighLuma& p) noexcept {
    if (p.bypass) {
        luma_inter_4x4_blocks(ops(k, p.bd), p.coeffs, p.dst, p.step, p.cbp, p.qp, p.ls, true);
        return;
    }
    *p.coeffs = k.add4x4_blocks(p.dst, p.step, *p.coeffs, nullptr, (p.cbp >> 1) & 0xFFFF, 8, true,
                                p.qp, (1 << p.bd) - 1, p.ls);
}

void luma_inter_8x8(const ReconKernelsHigh& k, const HighLuma& p) noexcept {
    if (!p.bypass) {
        *p.coeffs =
            k.add8x8_blocks(p.dst, p.step, *p.coeffs, p.cbp & 15, p.qp, (1 << p.bd) - 1, p.ls);
        return;
    }
    luma_inter_8x8_blocks(ops(k, p.bd), p.coeffs, p.dst, p.step, p.cbp, p.qp, p.ls, p.bypass);
}

OpxResult luma_intra_4x4(const ReconKernelsHigh& k, const HighLuma& p, const Opx32s* modes,
                         int blocks, int shift, int edge) noexcept {
    return luma_intra_4x4_blocks(ops(k, p.bd), p.coeffs, p.dst, p.step, modes, blocks, p.cbp, shift,
                                 p.qp, edge, p.ls, p.bypass);
}

OpxResult luma_intra_8x8(const ReconKernelsHigh& k, const HighLuma& p, const Opx32s* modes,
                         int blocks, int edge) noexcept {
    return luma_intra_8x8_blocks(ops(k, p.bd), p.coeffs, p.dst, p.step, modes, blocks, p.cbp, p.qp,
                                 edge, p.ls, p.bypass);
}

void luma_intra_16x16(const ReconKernelsHigh& k, const HighLuma& p, int slot) noexcept {
    luma_intra_16x16_mb(ops(k, p.bd), p.coeffs, p.dst, p.step, slot, p.cbp, p.qp, p.ls, p.bypass);
}

void chroma420(const ReconKernelsHigh& k, const ChromaPlane16 (&p)[2], PredHighFn pred,
               int bd) noexcept {
    chroma_mb<8>(ops(k, bd), p, pred);
}

void chroma422(const ReconKernelsHigh& k, const ChromaPlane16 (&p)[2], PredHighFn pred,
               int bd) noexcept {
    chroma_mb<16>(ops(k, bd), p, pred);
}

}  // namespace opx::h264
