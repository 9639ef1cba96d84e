// Exported H.264 deblocking: check the pointers, call the kernel of the edge set.
#include <algorithm>

#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/deblock.hpp"

using namespace opx::h264;

namespace {

const DeblockKernels& k() noexcept { return OPX_SELECT(opx::h264, kDeblock); }

OpxResult edges8(DeblockEdges kind, Opx8u* p, Opx32s step, const Opx8u* alpha, const Opx8u* beta,
                 const Opx8u* tc0, const Opx8u* bs) noexcept {
    OPX_CHECK_NULL(p, alpha, beta, tc0, bs);
    return k().edges8[kind](p, step, alpha, beta, tc0, bs);
}

OpxResult record8(DeblockEdges kind, const OpxDeblock8u* d) noexcept {
    OPX_CHECK_NULL(d);
    return edges8(kind, d->pSrcDstPlane, d->srcDstStep, d->pAlpha, d->pBeta, d->pThresholds,
                  d->pBs);
}

// The bit depth is a shift count the rules leave unchecked and give no error for: it is
// clamped to the depths H.264 defines (8..14), which keeps 2^bitDepth − 1 within the samples.
int clamp_bit_depth(Opx32s bit_depth) noexcept {
    return std::clamp<Opx32s>(bit_depth, 8, 14);
}

OpxResult record16(DeblockEdges16 kind, const OpxDeblock16u* d) noexcept {
    OPX_CHECK_NULL(d);
    OPX_CHECK_NULL(d->pSrcDstPlane, d->pAlpha, d->pBeta, d->pThresholds, d->pBs);
    k().edges16[kind](d->pSrcDstPlane, d->srcDstStep, d->pAlpha, d->pBeta, d->pThresholds, d->pBs,
                    clamp_bit_depth(d->bitDepth));
    return opxOk;
}

}  // namespace

OpxResult opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                        const Opx8u* pAlpha, const Opx8u* pBeta,
                                                        const Opx8u* pThresholds,
                                                        const Opx8u* pBs) noexcept {
    return edges8(kDeblockLumaVer, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                        const Opx8u* pAlpha, const Opx8u* pBeta,
                                                        const Opx8u* pThresholds,
                                                        const Opx8u* pBs) noexcept {
    return edges8(kDeblockLumaHor, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                          const Opx8u* pAlpha, const Opx8u* pBeta,
                                                          const Opx8u* pThresholds,
                                                          const Opx8u* pBs) noexcept {
    return edges8(kDeblockChromaVer, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                          const Opx8u* pAlpha, const Opx8u* pBeta,
                                                          const Opx8u* pThresholds,
                                                          const Opx8u* pBs) noexcept {
    return edges8(kDeblockChromaHor, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C2IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                          const Opx8u* pAlpha, const Opx8u* pBeta,
                                                          const Opx8u* pThresholds,
                                                          const Opx8u* pBs) noexcept {
    return edges8(kDeblockChromaVerC2, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                          const Opx8u* pAlpha, const Opx8u* pBeta,
                                                          const Opx8u* pThresholds,
                                                          const Opx8u* pBs) noexcept {
    return edges8(kDeblockChromaHorC2, pSrcDst, srcDstStep, pAlpha, pBeta, pThresholds, pBs);
}

OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C2I(const OpxDeblock8u* pDeblock) noexcept {
    return record8(kDeblockChromaVerC2, pDeblock);
}

OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C2I(const OpxDeblock8u* pDeblock) noexcept {
    return record8(kDeblockChromaHorC2, pDeblock);
}

OpxResult opxiFilterDeblockingChroma422VerEdge_H264_8u_C1IR(const OpxDeblock8u* pDeblock) noexcept {
    return record8(kDeblockChroma422Ver, pDeblock);
}

OpxResult opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR(const OpxDeblock8u* pDeblock) noexcept {
    return record8(kDeblockChroma422Hor, pDeblock);
}

OpxResult opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                              Opx32u nAlpha, Opx32u nBeta,
                                                              const Opx8u* pThresholds,
                                                              const Opx8u* pBs) noexcept {
    OPX_CHECK_NULL(pSrcDst, pThresholds, pBs);
    k().luma_mbaff8(pSrcDst, srcDstStep, nAlpha, nBeta, pThresholds, pBs);
    return opxOk;
}

OpxResult opxiFilterDeblockingChroma_VerEdge_MBAFF_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                                Opx32u nAlpha, Opx32u nBeta,
                                                                const Opx8u* pThresholds,
                                                                const Opx8u* pBs) noexcept {
    OPX_CHECK_NULL(pSrcDst, pThresholds, pBs);
    k().chroma_mbaff8(pSrcDst, srcDstStep, nAlpha, nBeta, pThresholds, pBs);
    return opxOk;
}

OpxResult opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16LumaVer, pDeblock);
}

OpxResult opxiFilterDeblockingLumaHorEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16LumaHor, pDeblock);
}

OpxResult opxiFilterDeblockingLumaVerEdgeMBAFF_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16LumaVerMbaff, pDeblock);
}

OpxResult opxiFilterDeblockingChromaVerEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16ChromaVer, pDeblock);
}

OpxResult opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16ChromaHor, pDeblock);
}

OpxResult opxiFilterDeblockingChromaVerEdgeMBAFF_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16ChromaVerMbaff, pDeblock);
}

OpxResult opxiFilterDeblockingChroma422VerEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16Chroma422Ver, pDeblock);
}

OpxResult opxiFilterDeblockingChroma422HorEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) noexcept {
    return record16(kDeblock16Chroma422Hor, pDeblock);
}
