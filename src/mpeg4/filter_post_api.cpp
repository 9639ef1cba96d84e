// Exported MPEG-4 deblocking and deringing post-filters: check the arguments, call one kernel.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg4/filter_post.hpp"

using namespace opx::mpeg4;

namespace {

const PostFilterKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg4, kPostFilter);
}

}  // namespace

OpxResult opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s qp,
                                                       Opx32s thr1, Opx32s thr2) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    k().deblock_hor(pSrcDst, srcDstStep, qp, thr1, thr2);
    return opxOk;
}

OpxResult opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s qp,
                                                       Opx32s thr1, Opx32s thr2) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    k().deblock_ver(pSrcDst, srcDstStep, qp, thr1, thr2);
    return opxOk;
}

OpxResult opxiFilterDeringingThreshold_MPEG4_8u_P3R(const Opx8u* pSrcY, Opx32s srcStepY,
                                                    const Opx8u* pSrcCb, Opx32s srcStepCb,
                                                    const Opx8u* pSrcCr, Opx32s srcStepCr,
                                                    Opx32s* pThresholds) noexcept {
    OPX_CHECK_NULL(pSrcY, pSrcCb, pSrcCr, pThresholds);
    k().dering_threshold(pSrcY, srcStepY, pSrcCb, srcStepCb, pSrcCr, srcStepCr, pThresholds);
    return opxOk;
}

OpxResult opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                    Opx32s dstStep, Opx32s qp,
                                                    Opx32s threshold) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    k().dering_smooth(pSrc, srcStep, pDst, dstStep, qp, threshold);
    return opxOk;
}
