// Exported H.263 deblocking and block boundary filters and the H.261 loop filter: check the
// arguments, call one kernel.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg4/filter.hpp"

using namespace opx::mpeg4;

namespace {

const FilterKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg4, kFilter);
}

}  // namespace

OpxResult opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                      Opx32s qp) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    k().deblock_hor(pSrcDst, srcDstStep, 8, kH263Strength[qp - 1]);
    return opxOk;
}

OpxResult opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                      Opx32s qp) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    k().deblock_ver(pSrcDst, srcDstStep, 8, kH263Strength[qp - 1]);
    return opxOk;
}

OpxResult opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                        Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    k().deblock_hor(pSrcDst, srcDstStep, 16, kNoRamp);
    return opxOk;
}

OpxResult opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                        Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    k().deblock_ver(pSrcDst, srcDstStep, 16, kNoRamp);
    return opxOk;
}

OpxResult opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    k().boundary_hor(pSrcDst, srcDstStep);
    return opxOk;
}

OpxResult opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    k().boundary_ver(pSrcDst, srcDstStep);
    return opxOk;
}

OpxResult opxiFilter8x8_H261_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                    Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().h261(pSrc, srcStep, pDst, dstStep);
    return opxOk;
}
