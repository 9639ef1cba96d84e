// Exported H.264 inverse transforms and dequantisation: check the arguments, take one kernel from
// the table, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/transform.hpp"

using namespace opx::h264;

namespace {

const TransformKernels& k() noexcept { return OPX_SELECT(opx::h264, kTransform); }

constexpr bool in_range(Opx32s v, Opx32s lo, Opx32s hi) noexcept {
    return v >= lo && v <= hi;
}

// The level scale of a matrix-style function: the caller's array, or the flat default for m.
const Opx16s* level_scale_or_flat(const Opx16s* level_scale, int m) noexcept {
    return level_scale ? level_scale : kFlatLevelScale4x4[m];
}

}  // namespace

OpxResult opxiDequantTransformResidual_H264_16s_C1I(Opx16s* pSrcDst, Opx32s step, const Opx16s* pDC,
                                                    Opx32s AC, Opx32s qp) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    OPX_CHECK(step >= 8, opxErrStep);
    k().dequant_residual4x4_flat(pSrcDst, step, pDC, AC != 0, qp);
    return opxOk;
}

OpxResult opxiDequantTransformResidualAndAdd_H264_16s_C1I(const Opx8u* pPred, Opx16s* pSrcDst,
                                                          const Opx16s* pDC, Opx8u* pDst,
                                                          Opx32s predStep, Opx32s dstStep,
                                                          Opx32s qp, Opx32s AC) noexcept {
    OPX_CHECK_NULL(pPred, pDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    // The coefficients are needed unless the DC value is given and there is no AC.
    OPX_CHECK(pSrcDst || (pDC && AC == 0), opxErrNullPtr);
    return k().add4x4_flat(pPred, pSrcDst, pDC, pDst, predStep, dstStep, qp, AC);
}

OpxResult opxiDequantTransformResidual_SISP_H264_16s_C1I(Opx16s* pSrcDst,
                                                         const Opx16s* pPredictBlock,
                                                         const Opx16s* pDC, Opx32s AC, Opx32s qp,
                                                         Opx32s qs, Opx32s switching) noexcept {
    OPX_CHECK_NULL(pSrcDst, pPredictBlock);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    OPX_CHECK(in_range(qs, 0, 51), opxErrOutOfRange);
    k().sisp4x4(pSrcDst, pPredictBlock, pDC, AC != 0, qp, qs, switching != 0);
    return opxOk;
}

OpxResult opxiTransformDequantLumaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    return k().luma_dc_flat(pSrcDst, qp);
}

OpxResult opxiTransformDequantChromaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    k().chroma_dc_flat(pSrcDst, qp);
    return opxOk;
}

OpxResult opxiTransformDequantChromaDC_SISP_H264_16s_C1I(Opx16s* pSrcDst, const Opx16s* pDCPredict,
                                                         Opx32s qp, Opx32s qs,
                                                         Opx32s switching) noexcept {
    OPX_CHECK_NULL(pSrcDst, pDCPredict);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    OPX_CHECK(in_range(qs, 0, 51), opxErrOutOfRange);
    k().sisp_chroma_dc(pSrcDst, pDCPredict, qp, qs, switching != 0);
    return opxOk;
}

OpxResult opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(const Opx8u* pPred, Opx32s predStep,
                                                        Opx16s* pSrcDst, const Opx16s* pDC,
                                                        Opx8u* pDst, Opx32s dstStep, Opx32s qp,
                                                        Opx32s AC,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pPred, pSrcDst, pDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    return k().add4x4_matrix(pPred, predStep, pSrcDst, pDC, pDst, dstStep, qp, AC, pLevelScale);
}

OpxResult opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(const Opx16u* pPred, Opx32s predStep,
                                                        Opx32s* pSrcDst, const Opx32s* pDC,
                                                        Opx16u* pDst, Opx32s dstStep, Opx32s qp,
                                                        Opx32s AC, Opx32s bitDepth,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pPred, pSrcDst, pDst);
    OPX_CHECK(in_range(qp, 0, 87) && in_range(bitDepth, 9, 14), opxErrOutOfRange);
    // Any nonzero AC marks AC coefficients as present (a test of bit 0 alone would drop them
    // for even values).
    k().add4x4_matrix_high(pPred, predStep, pSrcDst, pDC, pDst, dstStep, qp, AC != 0,
                         (1 << bitDepth) - 1, level_scale_or_flat(pLevelScale, qp % 6));
    return opxOk;
}

OpxResult opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 39), opxErrOutOfRange);
    k().chroma_dc2x2_matrix(pSrcDst, qp, level_scale_or_flat(pLevelScale, qp % 6)[0]);
    return opxOk;
}

OpxResult opxiTransformQuantInvChromaDC2x2_H264_32s_C1I(Opx32s* pSrcDst, Opx32s qp,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 75), opxErrOutOfRange);
    k().chroma_dc2x2_matrix_high(pSrcDst, qp, level_scale_or_flat(pLevelScale, qp % 6)[0]);
    return opxOk;
}

// The 4:2:2 chroma DC uses qP,DC = QPc + 3 (H.264 clause 8.5.11.2), for the level scale as well.
OpxResult opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 39), opxErrOutOfRange);
    k().chroma_dc2x4_matrix(pSrcDst, qp, level_scale_or_flat(pLevelScale, (qp + 3) % 6)[0]);
    return opxOk;
}

OpxResult opxiTransformQuantInvChromaDC2x4_H264_32s_C1I(Opx32s* pSrcDst, Opx32s qp,
                                                        const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 75), opxErrOutOfRange);
    k().chroma_dc2x4_matrix_high(pSrcDst, qp, level_scale_or_flat(pLevelScale, (qp + 3) % 6)[0]);
    return opxOk;
}

OpxResult opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp,
                                                      const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 51), opxErrOutOfRange);
    k().luma_dc_matrix(pSrcDst, qp, level_scale_or_flat(pLevelScale, qp % 6)[0]);
    return opxOk;
}

OpxResult opxiTransformQuantInvLumaDC4x4_H264_32s_C1I(Opx32s* pSrcDst, Opx32s qp,
                                                      const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(in_range(qp, 0, 87), opxErrOutOfRange);
    k().luma_dc_matrix_high(pSrcDst, qp, level_scale_or_flat(pLevelScale, qp % 6)[0]);
    return opxOk;
}

OpxResult opxiTransformResidual4x4Inv_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().residual4x4(pSrc, pDst);
    return opxOk;
}

OpxResult opxiTransformResidual4x4Inv_H264_32s_C1(const Opx32s* pSrc, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().residual4x4_high(pSrc, pDst);
    return opxOk;
}

OpxResult opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(const Opx8u* pPred, Opx32s predStep,
                                                        Opx16s* pSrcDst, Opx8u* pDst,
                                                        Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pPred, pSrcDst, pDst);
    return k().add8x8(pPred, predStep, pSrcDst, pDst, dstStep);
}

OpxResult opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R(const Opx16u* pPred, Opx32s predStep,
                                                         Opx32s* pSrcDst, Opx16u* pDst,
                                                         Opx32s dstStep, Opx32s bitDepth) noexcept {
    OPX_CHECK_NULL(pPred, pSrcDst, pDst);
    // Without this bound the clamp limit (1 << bitDepth) - 1 would be meaningless.
    OPX_CHECK(in_range(bitDepth, 9, 14), opxErrOutOfRange);
    k().add8x8_high(pPred, predStep, pSrcDst, pDst, dstStep, (1 << bitDepth) - 1);
    return opxOk;
}

OpxResult opxiQuantLuma8x8Inv_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp6,
                                           const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst, pLevelScale);
    // A negative qp6 would be a negative shift count.
    OPX_CHECK(in_range(qp6, 0, 8), opxErrQp);
    return k().dequant8x8(pSrcDst, qp6, pLevelScale);
}

OpxResult opxiQuantInvLuma8x8_H264_32s_C1I(Opx32s* pSrcDst, Opx32s qp6,
                                           const Opx16s* pLevelScale) noexcept {
    OPX_CHECK_NULL(pSrcDst, pLevelScale);
    OPX_CHECK(in_range(qp6, 0, 14), opxErrQp);
    k().dequant8x8_high(pSrcDst, qp6, pLevelScale);
    return opxOk;
}
