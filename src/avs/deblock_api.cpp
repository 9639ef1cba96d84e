// Exported AVS loop filter: check the record, call the edge kernel.
#include "avs/avs.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"

using namespace opx::avs;

namespace {

const DeblockKernels& k() noexcept {
    return OPX_SELECT(opx::avs, kDeblock);
}

OpxResult run(DeblockEdges edges, const OpxDeblock8u* d) noexcept {
    OPX_CHECK_NULL(d);
    OPX_CHECK_NULL(d->pSrcDstPlane, d->pAlpha, d->pBeta, d->pThresholds, d->pBs);
    return k().edges[edges](d->pSrcDstPlane, d->srcDstStep, d->pAlpha, d->pBeta, d->pThresholds,
                            d->pBs);
}

}  // namespace

OpxResult opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR(const OpxDeblock8u* pDeblockInfo) noexcept {
    return run(kLumaVer, pDeblockInfo);
}
OpxResult opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR(const OpxDeblock8u* pDeblockInfo) noexcept {
    return run(kLumaHor, pDeblockInfo);
}
OpxResult opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR(
    const OpxDeblock8u* pDeblockInfo) noexcept {
    return run(kChromaVer, pDeblockInfo);
}
OpxResult opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR(
    const OpxDeblock8u* pDeblockInfo) noexcept {
    return run(kChromaHor, pDeblockInfo);
}
