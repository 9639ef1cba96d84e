// Exported MPEG-4 quarter-sample copies and OBMC: check the pointers, call one kernel.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg4/qpel.hpp"

using namespace opx::mpeg4;

namespace {

const QpelKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg4, kQpel);
}

OpxResult copy_qp(int shape, const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                  Opx32s acc, Opx32s rounding) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().copy[shape](pSrc, srcStep, pDst, dstStep, acc & 15, rounding & 1);
    return opxOk;
}

// All seven pointers are tested before anything is read (the vectors included).
OpxResult obmc(ObmcFn fn, const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
               const OpxMotionVec* pMvCur, const OpxMotionVec* pMvLeft,
               const OpxMotionVec* pMvRight, const OpxMotionVec* pMvAbove,
               const OpxMotionVec* pMvBelow, Opx32s rounding) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pMvCur, pMvLeft, pMvRight, pMvAbove, pMvBelow);
    const OpxMotionVec* const mv[5] = {pMvCur, pMvLeft, pMvRight, pMvAbove, pMvBelow};
    fn(pSrc, srcStep, pDst, dstStep, mv, rounding & 1);
    return opxOk;
}

}  // namespace

OpxResult opxiCopy8x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                     Opx32s acc, Opx32s rounding) noexcept {
    return copy_qp(0, pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiCopy16x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                      Opx32s dstStep, Opx32s acc, Opx32s rounding) noexcept {
    return copy_qp(1, pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiCopy16x16QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                       Opx32s dstStep, Opx32s acc, Opx32s rounding) noexcept {
    return copy_qp(2, pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiOBMC8x8HP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                     const OpxMotionVec* pMvCur, const OpxMotionVec* pMvLeft,
                                     const OpxMotionVec* pMvRight, const OpxMotionVec* pMvAbove,
                                     const OpxMotionVec* pMvBelow, Opx32s rounding) noexcept {
    return obmc(k().obmc_hp8, pSrc, srcStep, pDst, dstStep, pMvCur, pMvLeft, pMvRight, pMvAbove,
                pMvBelow, rounding);
}

OpxResult opxiOBMC16x16HP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                       Opx32s dstStep, const OpxMotionVec* pMvCur,
                                       const OpxMotionVec* pMvLeft, const OpxMotionVec* pMvRight,
                                       const OpxMotionVec* pMvAbove, const OpxMotionVec* pMvBelow,
                                       Opx32s rounding) noexcept {
    return obmc(k().obmc_hp16, pSrc, srcStep, pDst, dstStep, pMvCur, pMvLeft, pMvRight, pMvAbove,
                pMvBelow, rounding);
}

OpxResult opxiOBMC8x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                     const OpxMotionVec* pMvCur, const OpxMotionVec* pMvLeft,
                                     const OpxMotionVec* pMvRight, const OpxMotionVec* pMvAbove,
                                     const OpxMotionVec* pMvBelow, Opx32s rounding) noexcept {
    return obmc(k().obmc_qp8, pSrc, srcStep, pDst, dstStep, pMvCur, pMvLeft, pMvRight, pMvAbove,
                pMvBelow, rounding);
}
