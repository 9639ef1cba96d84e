// Exported H.264 forward transforms and quantisation: check the arguments (null pointers first,
// then the ranges), call one kernel, store the block facts (the 16s block quantisers' kernels
// store their own: those entry points end in a jump to the kernel).
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/encode/fwd.hpp"

using namespace opx::h264::enc;

namespace {

const FwdKernels& k() noexcept { return OPX_SELECT(opx::h264::enc, kFwd); }

constexpr bool in(Opx32s v, Opx32s lo, Opx32s hi) noexcept { return v >= lo && v <= hi; }

OpxResult store(BlockFacts f, Opx32s* pNumLevels, Opx32s* pLastCoeff) noexcept {
    *pNumLevels = f.count;
    if (pLastCoeff) *pLastCoeff = f.last;
    return opxOk;
}

// The older functions' 8-bit facts: the count fits (|count| <= 16), the last position is masked
// to 0..127.
OpxResult store_old(BlockFacts f, Opx8s* pNumLevels, Opx8u* pLastCoeff) noexcept {
    *pNumLevels = static_cast<Opx8s>(f.count);
    if (pLastCoeff) *pLastCoeff = static_cast<Opx8u>(f.last & 127);
    return opxOk;
}

}  // namespace

OpxResult opxiTransformQuantFwd4x4_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s qp,
                                               Opx32s* pNumLevels, Opx32s intra,
                                               const Opx16s* pScanMatrix, Opx32s* pLastCoeff,
                                               const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    return k().trans_quant4x4(pSrc, pDst, qp, pNumLevels, intra, pScanMatrix, pLastCoeff,
                              pScaleLevels);
}

OpxResult opxiTransformQuantFwd4x4_H264_16s32s_C1(const Opx16s* pSrc, Opx32s* pDst, Opx32s qp,
                                                  Opx32s* pNumLevels, Opx32s intra,
                                                  const Opx16s* pScanMatrix, Opx32s* pLastCoeff,
                                                  const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 87), opxErrOutOfRange);
    return store(k().trans_quant4x4_wide(pSrc, pDst, qp, intra != 0, pScanMatrix, pScaleLevels),
                 pNumLevels, pLastCoeff);
}

OpxResult opxiQuantizeResidual4x4Fwd_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst,
                                                 Opx32s* pNumLevels, Opx32s* pLastCoeff,
                                                 const Opx16u* pScaleLevels,
                                                 const Opx16s* pScanMatrix, Opx32s qp,
                                                 Opx32s intra) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumLevels, pLastCoeff, pScanMatrix);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    return k().quant4x4(pSrc, pDst, pNumLevels, pLastCoeff, pScaleLevels, pScanMatrix, qp, intra);
}

OpxResult opxiQuantizeResidual4x4Fwd_H264_16s32s_C1(const Opx16s* pSrc, Opx32s* pDst,
                                                    Opx32s* pNumLevels, Opx32s* pLastCoeff,
                                                    const Opx32s* pScaleLevels,
                                                    const Opx16s* pScanMatrix, Opx32s qp,
                                                    Opx32s intra) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumLevels, pLastCoeff, pScaleLevels, pScanMatrix);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    return store(k().quant4x4_wide(pSrc, pDst, qp, intra != 0, pScanMatrix, pScaleLevels),
                 pNumLevels, pLastCoeff);
}

OpxResult opxiQuantizeResidual4x4Fwd_H264_32s_C1(const Opx32s* pSrc, Opx32s* pDst,
                                                 Opx32s* pNumLevels, Opx32s* pLastCoeff,
                                                 const Opx32s* pScaleLevels,
                                                 const Opx16s* pScanMatrix, Opx32s qp,
                                                 Opx32s intra) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pNumLevels, pLastCoeff, pScanMatrix);
    OPX_CHECK(in(qp, 0, 87), opxErrOutOfRange);
    return store(k().quant4x4_high(pSrc, pDst, qp, intra != 0, pScanMatrix, pScaleLevels),
                 pNumLevels, pLastCoeff);
}

OpxResult opxiTransformResidual4x4Fwd_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().transform4x4(pSrc, pDst);
    return opxOk;
}

OpxResult opxiTransformResidual4x4Fwd_H264_32s_C1(const Opx32s* pSrc, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().transform4x4_high(pSrc, pDst);
    return opxOk;
}

OpxResult opxiTransformFwdLuma8x8_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    return k().transform8x8(pSrc, pDst);
}

OpxResult opxiTransformFwdLuma8x8_H264_16s32s_C1(const Opx16s* pSrc, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().transform8x8_wide(pSrc, pDst);
    return opxOk;
}

OpxResult opxiTransformLuma8x8Fwd_H264_16s_C1I(Opx16s* pSrcDst) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    return k().transform8x8(pSrcDst, pSrcDst);
}

OpxResult opxiQuantLuma8x8_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s qpPer,
                                       Opx32s intra, const Opx16s* pScanMatrix,
                                       const Opx16u* pScaleLevels, Opx32s* pNumLevels,
                                       Opx32s* pLastCoeff) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pScanMatrix, pScaleLevels, pNumLevels, pLastCoeff);
    OPX_CHECK(in(qpPer, 0, 8), opxErrQp);
    return k().quant8x8(pSrc, pDst, qpPer, intra, pScanMatrix, pScaleLevels, pNumLevels,
                        pLastCoeff);
}

OpxResult opxiQuantLuma8x8_H264_32s_C1(const Opx32s* pSrc, Opx32s* pDst, Opx32s qpPer,
                                       Opx32s intra, const Opx16s* pScanMatrix,
                                       const Opx16u* pScaleLevels, Opx32s* pNumLevels,
                                       Opx32s* pLastCoeff) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pScanMatrix, pScaleLevels, pNumLevels, pLastCoeff);
    OPX_CHECK(in(qpPer, 0, 14), opxErrQp);
    return store(k().quant8x8_high(pSrc, pDst, qpPer, intra != 0, pScanMatrix, pScaleLevels),
                 pNumLevels, pLastCoeff);
}

OpxResult opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp,
                                                      Opx32s* pNumLevels, Opx32s needTransform,
                                                      const Opx16s* pScanMatrix,
                                                      Opx32s* pLastCoeff,
                                                      const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    return k().luma_dc(pSrcDst, pTBlock, qp, pNumLevels, needTransform, pScanMatrix, pLastCoeff,
                       pScaleLevels);
}

OpxResult opxiTransformQuantFwdLumaDC4x4_H264_32s_C1I(Opx32s* pSrcDst, Opx32s* pTBlock, Opx32s qp,
                                                      Opx32s* pNumLevels, Opx32s needTransform,
                                                      const Opx16s* pScanMatrix,
                                                      Opx32s* pLastCoeff,
                                                      const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 87), opxErrOutOfRange);
    return store(
        k().luma_dc_high(pSrcDst, pTBlock, qp, needTransform != 0, pScanMatrix, pScaleLevels),
        pNumLevels, pLastCoeff);
}

OpxResult opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock,
                                                        Opx32s qp, Opx32s* pNumLevels,
                                                        Opx32s intra, Opx32s needTransform,
                                                        const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels);
    OPX_CHECK(in(qp, 0, 39), opxErrOutOfRange);
    return k().chroma_dc2x2(pSrcDst, pTBlock, qp, pNumLevels, intra, needTransform, pScaleLevels);
}

OpxResult opxiTransformQuantFwdChromaDC2x2_H264_32s_C1I(Opx32s* pSrcDst, Opx32s* pTBlock,
                                                        Opx32s qp, Opx32s* pNumLevels,
                                                        Opx32s intra, Opx32s needTransform,
                                                        const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels);
    OPX_CHECK(in(qp, 0, 75), opxErrOutOfRange);
    return store(k().chroma_dc2x2_high(pSrcDst, pTBlock, qp, intra != 0, needTransform != 0,
                                       pScaleLevels),
                 pNumLevels, nullptr);
}

OpxResult opxiTransformQuantFwdChromaDC2x4_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock,
                                                        Opx32s qp, Opx32s* pNumLevels,
                                                        Opx32s intra, Opx32s needTransform,
                                                        const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels);
    OPX_CHECK(in(qp, 0, 39), opxErrOutOfRange);
    return k().chroma_dc2x4(pSrcDst, pTBlock, qp, pNumLevels, intra, needTransform, pScaleLevels);
}

OpxResult opxiTransformQuantFwdChromaDC2x4_H264_32s_C1I(Opx32s* pSrcDst, Opx32s* pTBlock,
                                                        Opx32s qp, Opx32s* pNumLevels,
                                                        Opx32s intra, Opx32s needTransform,
                                                        const Opx16s* pScaleLevels) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels);
    OPX_CHECK(in(qp, 0, 75), opxErrOutOfRange);
    return store(k().chroma_dc2x4_high(pSrcDst, pTBlock, qp, intra != 0, needTransform != 0,
                                       pScaleLevels),
                 pNumLevels, nullptr);
}

OpxResult opxiTransformQuantResidual_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp, Opx8s* pNumLevels,
                                                  Opx8u intra, const Opx16s* pScanMatrix,
                                                  Opx8u* pLastCoeff) noexcept {
    OPX_CHECK_NULL(pSrcDst, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    BlockFacts f;
    if (!k().old_residual(pSrcDst, qp, intra != 0, pScanMatrix, &f)) return opxErrLevelRange;
    return store_old(f, pNumLevels, pLastCoeff);
}

OpxResult opxiTransformQuantLumaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp,
                                                Opx8s* pNumLevels, Opx8u needTransform,
                                                const Opx16s* pScanMatrix,
                                                Opx8u* pLastCoeff) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels, pScanMatrix, pLastCoeff);
    OPX_CHECK(in(qp, 0, 51), opxErrOutOfRange);
    BlockFacts f;
    if (!k().old_luma_dc(pSrcDst, pTBlock, qp, needTransform != 0, pScanMatrix, &f))
        return opxErrLevelRange;
    return store_old(f, pNumLevels, pLastCoeff);
}

OpxResult opxiTransformQuantChromaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp,
                                                  Opx8s* pNumLevels, Opx8u intra,
                                                  Opx8u needTransform) noexcept {
    OPX_CHECK_NULL(pSrcDst, pTBlock, pNumLevels);
    OPX_CHECK(in(qp, 0, 39), opxErrOutOfRange);
    BlockFacts f;
    if (!k().old_chroma_dc(pSrcDst, pTBlock, qp, intra != 0, needTransform != 0, &f))
        return opxErrLevelRange;
    return store_old(f, pNumLevels, nullptr);
}

OpxResult opxiTransformPrediction_H264_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep,
                                                Opx16s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k().transform_pred(pSrc, srcStep, pDst);
    return opxOk;
}

OpxResult opxiGenScaleLevel4x4_H264_8u16s_C1(const Opx8u* pScalingList, Opx16u* pDequantScale,
                                             Opx16u* pQuantScale, Opx32s qpRem) noexcept {
    OPX_CHECK_NULL(pScalingList, pDequantScale, pQuantScale);
    OPX_CHECK(in(qpRem, 0, 5), opxErrOutOfRange);
    k().gen_scale4x4(pScalingList, pDequantScale, pQuantScale, qpRem);
    return opxOk;
}

OpxResult opxiGenScaleLevel8x8_H264_8u16s_D2(const Opx8u* pScalingList, Opx32s srcStep,
                                             Opx16u* pDequantScale, Opx16u* pQuantScale,
                                             Opx32s qpRem) noexcept {
    OPX_CHECK_NULL(pScalingList, pDequantScale, pQuantScale);
    OPX_CHECK(in(qpRem, 0, 5), opxErrQp);
    k().gen_scale8x8(pScalingList, srcStep, pDequantScale, pQuantScale, qpRem);
    return opxOk;
}
