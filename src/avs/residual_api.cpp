// Exported AVS residual functions: block decoding, luma and chroma reconstruction, forward
// transform and quantisation, intra macroblock coding. Check the arguments, then call kernels.
#include "avs/avs.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"

using namespace opx::avs;

namespace {

const ResidualKernels& k() noexcept {
    return OPX_SELECT(opx::avs, kResidual);
}

constexpr Opx32u kMaxLumaQp = 63, kMaxChromaQp = 51;

OpxResult decode(BlockKind kind, Opx32u** ppBitStream, Opx32s* pOffset, Opx32s* pNumCoeff,
                 Opx16s* pDstCoeffs, Opx32s scanType) noexcept {
    OPX_CHECK_NULL(ppBitStream);
    OPX_CHECK_NULL(*ppBitStream, pOffset, pNumCoeff, pDstCoeffs);
    return k().decode[kind](ppBitStream, pOffset, pNumCoeff, pDstCoeffs, scanType != 0);
}

Opx8u* block_at(Opx8u* p, std::ptrdiff_t step, int b) noexcept {
    return p + (b >> 1) * 8 * step + (b & 1) * 8;
}

// Reconstructs one coded block from the next coefficient slot and advances the slot.
void add_residual(Opx16s** coeff, Opx8u* dst, std::ptrdiff_t step, Opx32s num, int qp) noexcept {
    k().recon[recon_kernel(num)](*coeff, qp, dst, step);
    *coeff += 64;
}

// Differences source − prediction of one 8×8 block into `diff`; returns their absolute sum.
Opx32u difference(const Opx8u* src, std::ptrdiff_t src_step, const Opx8u* pred,
                  std::ptrdiff_t pred_step, Opx16s* diff) noexcept {
    Opx32u sad = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int d = src[y * src_step + x] - pred[y * pred_step + x];
            diff[y * 8 + x] = static_cast<Opx16s>(d);
            sad += static_cast<Opx32u>(d < 0 ? -d : d);
        }
    return sad;
}

}  // namespace

// ---- block decoding ----------------------------------------------------------------------------

OpxResult opxiDecodeLumaBlockIntra_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                             Opx32s* pNumCoeff, Opx16s* pDstCoeffs,
                                             Opx32s scanType) noexcept {
    return decode(kIntraLuma, ppBitStream, pOffset, pNumCoeff, pDstCoeffs, scanType);
}
OpxResult opxiDecodeLumaBlockInter_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                             Opx32s* pNumCoeff, Opx16s* pDstCoeffs,
                                             Opx32s scanType) noexcept {
    return decode(kInterLuma, ppBitStream, pOffset, pNumCoeff, pDstCoeffs, scanType);
}
OpxResult opxiDecodeChromaBlock_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset, Opx32s* pNumCoeff,
                                          Opx16s* pDstCoeffs, Opx32s scanType) noexcept {
    return decode(kChroma, ppBitStream, pOffset, pNumCoeff, pDstCoeffs, scanType);
}

// ---- reconstruction ----------------------------------------------------------------------------

OpxResult opxiReconstructLumaIntra_AVS_16s8u_C1R(Opx16s** ppSrcCoeff, Opx8u* pSrcDst,
                                                 Opx32s srcDstStep, const Opx32u* pIntraPredModes,
                                                 const Opx32s* pNumCoeff, Opx32u cbp, Opx32s QP,
                                                 Opx32u edgeFlags) noexcept {
    OPX_CHECK_NULL(ppSrcCoeff);
    OPX_CHECK_NULL(*ppSrcCoeff, pSrcDst, pIntraPredModes, pNumCoeff);
    OPX_CHECK(static_cast<Opx32u>(QP) <= kMaxLumaQp, opxErrOutOfRange);
    for (int b = 0; b < 4; ++b) {
        Opx8u* blk = block_at(pSrcDst, srcDstStep, b);
        // An unavailable mode leaves the block as it was; the residual is still added.
        predict_luma(blk, srcDstStep, pIntraPredModes[b] & 7, luma_block_flags(b, edgeFlags));
        if (cbp & (1u << b)) add_residual(ppSrcCoeff, blk, srcDstStep, pNumCoeff[b], QP);
    }
    return opxOk;
}

OpxResult opxiReconstructLumaInter_AVS_16s8u_C1R(Opx16s** ppSrcCoeff, Opx8u* pSrcDst,
                                                 Opx32s srcDstStep, const Opx32s* pNumCoeff,
                                                 Opx32u cbp, Opx32s QP) noexcept {
    OPX_CHECK_NULL(ppSrcCoeff);
    OPX_CHECK_NULL(*ppSrcCoeff, pSrcDst, pNumCoeff);
    OPX_CHECK(static_cast<Opx32u>(QP) <= kMaxLumaQp, opxErrOutOfRange);
    for (int b = 0; b < 4; ++b)
        if (cbp & (1u << b))
            add_residual(ppSrcCoeff, block_at(pSrcDst, srcDstStep, b), srcDstStep, pNumCoeff[b],
                         QP);
    return opxOk;
}

OpxResult opxiReconstructChromaIntra_AVS_16s8u_C1R(Opx16s** ppSrcCoeff, Opx8u* pSrcDstU,
                                                   Opx8u* pSrcDstV, Opx32s srcDstStep,
                                                   Opx32u chromaPredMode, const Opx32s* pNumCoeff,
                                                   Opx32u cbp, Opx32s chromaQP,
                                                   Opx32u edgeFlags) noexcept {
    OPX_CHECK_NULL(ppSrcCoeff);
    OPX_CHECK_NULL(*ppSrcCoeff, pSrcDstU, pSrcDstV, pNumCoeff);
    OPX_CHECK(static_cast<Opx32u>(chromaQP) <= kMaxChromaQp, opxErrOutOfRange);
    Opx8u* const planes[2] = {pSrcDstU, pSrcDstV};
    for (int c = 0; c < 2; ++c) {
        predict_chroma(planes[c], srcDstStep, chromaPredMode & 3,
                       edgeFlags | kBottomLeftUnavailable);
        if (cbp & (1u << c))
            add_residual(ppSrcCoeff, planes[c], srcDstStep, pNumCoeff[c], chromaQP);
    }
    return opxOk;
}

OpxResult opxiReconstructChromaInter_AVS_16s8u_C1R(Opx16s** ppSrcCoeff, Opx8u* pSrcDstU,
                                                   Opx8u* pSrcDstV, Opx32s srcDstStep,
                                                   const Opx32s* pNumCoeff, Opx32u cbp,
                                                   Opx32s chromaQP) noexcept {
    OPX_CHECK_NULL(ppSrcCoeff);
    OPX_CHECK_NULL(*ppSrcCoeff, pSrcDstU, pSrcDstV, pNumCoeff);
    OPX_CHECK(static_cast<Opx32u>(chromaQP) <= kMaxChromaQp, opxErrOutOfRange);
    // Cb rows 0–7, Cr rows 0–7, Cb rows 8–15, Cr rows 8–15.
    for (int b = 0; b < 4; ++b) {
        if (!(cbp & (1u << b))) continue;
        Opx8u* plane = (b & 1) ? pSrcDstV : pSrcDstU;
        add_residual(ppSrcCoeff, plane + (b >> 1) * 8 * std::ptrdiff_t{srcDstStep}, srcDstStep,
                     pNumCoeff[b], chromaQP);
    }
    return opxOk;
}

// ---- encoder side ------------------------------------------------------------------------------

OpxResult opxiTransformQuant8x8Fwd_AVS_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s* pNumCoeff,
                                              Opx32s QP, Opx32s isIntra) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumCoeff);
    OPX_CHECK(static_cast<Opx32u>(QP) <= kMaxLumaQp, opxErrBadArg);
    *pNumCoeff = k().fwd_quant(pSrc, pDst, QP, isIntra != 0);
    return opxOk;
}

OpxResult opxiDisassembleLumaIntra_AVS_16s8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                                 Opx32s srcDstStep, Opx16s** ppDstCoeff,
                                                 Opx32u* pIntraPredModes, Opx32u* pCbp, Opx32s QP,
                                                 Opx32u edgeFlags) noexcept {
    OPX_CHECK_NULL(pSrc, pSrcDst, ppDstCoeff);
    OPX_CHECK_NULL(*ppDstCoeff, pIntraPredModes, pCbp);
    OPX_CHECK(static_cast<Opx32u>(QP) <= kMaxLumaQp, opxErrOutOfRange);
    Opx16s* slot = *ppDstCoeff;
    Opx32u cbp = 0;
    for (int b = 0; b < 4; ++b) {
        const Opx32u flags = luma_block_flags(b, edgeFlags);
        Opx8u* blk = block_at(pSrcDst, srcDstStep, b);
        const Opx8u* src = pSrc + (b >> 1) * 8 * std::ptrdiff_t{srcStep} + (b & 1) * 8;
        // Least SAD; DC (always possible) unless a mode is strictly better.
        unsigned best = 2;
        Opx32u best_sad = 0xFFFFFFFFu;
        for (unsigned mode = 0; mode <= 4; ++mode) {
            if (!predict_luma(blk, srcDstStep, mode, flags)) continue;
            const Opx32u sad = difference(src, srcStep, blk, srcDstStep, slot);
            if (sad < best_sad) {
                best = mode;
                best_sad = sad;
            }
        }
        pIntraPredModes[b] = best;
        predict_luma(blk, srcDstStep, best, flags);
        difference(src, srcStep, blk, srcDstStep, slot);
        const Opx32s num = k().fwd_quant(slot, slot, QP, true);
        if (num != 0) {
            k().recon[recon_kernel(num)](slot, QP, blk, srcDstStep);
            slot += 64;
            cbp |= 1u << b;
        }
    }
    *pCbp = cbp;
    *ppDstCoeff = slot;
    return opxOk;
}

OpxResult opxiDisassembleChroma420Intra_AVS_16s8u_C1R(const Opx8u* pSrc[2], Opx32s srcStep,
                                                      Opx8u* pSrcDst[2], Opx32s srcDstStep,
                                                      Opx16s** ppDstCoeff, Opx32u* pChromaPredMode,
                                                      Opx32u* pCbp, Opx32s chromaQP,
                                                      Opx32u edgeFlags) noexcept {
    OPX_CHECK_NULL(pSrc);
    OPX_CHECK_NULL(pSrc[0], pSrc[1], pSrcDst);
    OPX_CHECK_NULL(pSrcDst[0], pSrcDst[1], ppDstCoeff);
    OPX_CHECK_NULL(*ppDstCoeff, pChromaPredMode, pCbp);
    OPX_CHECK(static_cast<Opx32u>(chromaQP) <= kMaxChromaQp, opxErrOutOfRange);
    const Opx32u flags = edgeFlags | kBottomLeftUnavailable;
    Opx16s* const slot = *ppDstCoeff;
    unsigned best = 0;
    Opx32u best_cost = 0xFFFFFFFFu;
    for (unsigned mode = 0; mode <= 3; ++mode) {
        predict_chroma(pSrcDst[0], srcDstStep, mode, flags);
        // Both planes need the same neighbours: the Cr prediction decides.
        if (!predict_chroma(pSrcDst[1], srcDstStep, mode, flags)) continue;
        const Opx32u cost = difference(pSrc[0], srcStep, pSrcDst[0], srcDstStep, slot) +
                            difference(pSrc[1], srcStep, pSrcDst[1], srcDstStep, slot + 64);
        if (cost < best_cost) {
            best = mode;
            best_cost = cost;
        }
    }
    *pChromaPredMode = best;
    for (int c = 0; c < 2; ++c) {
        predict_chroma(pSrcDst[c], srcDstStep, best, flags);
        difference(pSrc[c], srcStep, pSrcDst[c], srcDstStep, slot + 64 * c);
    }
    const Opx32s num_cb = k().fwd_quant(slot, slot, chromaQP, true);
    // Coded blocks lie consecutively: Cr moves to the first slot when Cb has no level.
    Opx16s* const cr_slot = num_cb ? slot + 64 : slot;
    const Opx32s num_cr = k().fwd_quant(slot + 64, cr_slot, chromaQP, true);
    Opx32u cbp = 0;
    Opx16s* next = slot;
    if (num_cb) {
        k().recon[recon_kernel(num_cb)](slot, chromaQP, pSrcDst[0], srcDstStep);
        cbp |= 1;
        next += 64;
    }
    if (num_cr) {
        k().recon[recon_kernel(num_cr)](cr_slot, chromaQP, pSrcDst[1], srcDstStep);
        cbp |= 2;
        next += 64;
    }
    *pCbp = cbp;
    *ppDstCoeff = next;
    return opxOk;
}
