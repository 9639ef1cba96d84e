// Exported block statistics and differences: check the arguments, take one kernel, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "metrics/stats.hpp"

using namespace opx::metrics;

namespace {

const StatsKernels& k() noexcept { return OPX_SELECT(opx::metrics, kStats); }

// The MC-style functions read only bits 2 and 3 of mcType and bit 0 of roundControl.
constexpr int pos_bits(Opx32s mc_type) noexcept { return (mc_type & 12) >> 2; }

// SqrDiff and VarMeanDiff take only the four codes 0, 4, 8 and 12.
constexpr bool exact_position(Opx32s mc_type, int* pos) noexcept {
    if (mc_type != 0 && mc_type != 4 && mc_type != 8 && mc_type != 12) return false;
    *pos = mc_type >> 2;
    return true;
}

OpxResult get_diff(DiffSize size, const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef,
                   Opx32s srcRefStep, Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor,
                   Opx32s dstPredictorStep, Opx32s mcType, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pSrcCur, pSrcRef, pDstDiff);
    k().diff[size][pos_bits(mcType)](pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiff,
                                     dstDiffStep, pDstPredictor, dstPredictorStep,
                                     roundControl & 1);
    return opxOk;
}

OpxResult get_diff_b(DiffSize size, const Opx8u* pSrcCur, Opx32s srcCurStep,
                     const Opx8u* pSrcRefF, Opx32s srcRefFStep, Opx32s mcTypeF,
                     const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
                     Opx32s dstDiffStep, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pSrcCur, pSrcRefF, pSrcRefB, pDstDiff);
    k().diff_b[size][pos_bits(mcTypeF)][pos_bits(mcTypeB)](pSrcCur, srcCurStep, pSrcRefF,
                                                           srcRefFStep, pSrcRefB, srcRefBStep,
                                                           pDstDiff, dstDiffStep,
                                                           roundControl & 1);
    return opxOk;
}

OpxResult get_diff_c2(C2Size size, const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef,
                      Opx32s srcRefStep, Opx16s* pDstDiffU, Opx32s dstDiffUStep,
                      Opx16s* pDstDiffV, Opx32s dstDiffVStep, Opx32s mcType,
                      Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pSrcCur, pSrcRef, pDstDiffU, pDstDiffV);
    k().diff_c2[size][pos_bits(mcType)](pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiffU,
                                        dstDiffUStep, pDstDiffV, dstDiffVStep, roundControl & 1);
    return opxOk;
}

OpxResult get_diff_c2_b(C2Size size, const Opx8u* pSrcCur, Opx32s srcCurStep,
                        const Opx8u* pSrcRefF, Opx32s srcRefFStep, Opx32s mcTypeF,
                        const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,
                        Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV,
                        Opx32s dstDiffVStep, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pSrcCur, pSrcRefF, pSrcRefB, pDstDiffU, pDstDiffV);
    k().diff_c2_b[size][pos_bits(mcTypeF)][pos_bits(mcTypeB)](
        pSrcCur, srcCurStep, pSrcRefF, srcRefFStep, pSrcRefB, srcRefBStep, pDstDiffU, dstDiffUStep,
        pDstDiffV, dstDiffVStep, roundControl & 1);
    return opxOk;
}

OpxResult sub8u(SubSize size, const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    k().sub8u[size](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
    return opxOk;
}

OpxResult sub16u(Sub16uSize size, const Opx16u* pSrc1, Opx32s src1Step, const Opx16u* pSrc2,
                 Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    k().sub16u[size](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
    return opxOk;
}

OpxResult var_sum8u(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pVar, Opx32s* pSum) noexcept {
    OPX_CHECK_NULL(pSrc, pVar, pSum);
    return k().var_sum8u(pSrc, srcStep, pVar, pSum);
}

OpxResult var_sum16s(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pVar, Opx32s* pSum) noexcept {
    OPX_CHECK_NULL(pSrc, pVar, pSum);
    k().var_sum16s(pSrc, srcStep, pVar, pSum);
    return opxOk;
}

OpxResult var_mean_diff(VmdSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                        Opx32s refStep, const Opx32s* pSrcSum, Opx32s* pVar, Opx32s* pMean,
                        Opx32s mcType) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSrcSum, pVar, pMean);
    int pos = 0;
    OPX_CHECK(exact_position(mcType, &pos), opxWrnNothingDone);
    k().var_mean_diff[size][pos](pSrc, srcStep, pRef, refStep, pSrcSum, pVar, pMean);
    return opxOk;
}

}  // namespace

// ---- GetDiff ------------------------------------------------------------------------------

#define OPX_GET_DIFF(W, H)                                                                      \
    OpxResult opxiGetDiff##W##x##H##_8u16s_C1(                                                  \
        const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,      \
        Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,  \
        Opx32s mcType, Opx32s roundControl) noexcept {                                         \
        return get_diff(kDiff##W##x##H, pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiff,    \
                        dstDiffStep, pDstPredictor, dstPredictorStep, mcType, roundControl);   \
    }                                                                                           \
    OpxResult opxiGetDiff##W##x##H##B_8u16s_C1(                                                 \
        const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,    \
        Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,             \
        Opx16s* pDstDiff, Opx32s dstDiffStep, Opx32s roundControl) noexcept {                  \
        return get_diff_b(kDiff##W##x##H, pSrcCur, srcCurStep, pSrcRefF, srcRefFStep, mcTypeF, \
                          pSrcRefB, srcRefBStep, mcTypeB, pDstDiff, dstDiffStep,               \
                          roundControl);                                                       \
    }

OPX_GET_DIFF(16, 16)
OPX_GET_DIFF(16, 8)
OPX_GET_DIFF(8, 16)
OPX_GET_DIFF(8, 8)
OPX_GET_DIFF(8, 4)
#undef OPX_GET_DIFF

OpxResult opxiGetDiff8x8_8u16s_C2P2(const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef,
                                    Opx32s srcRefStep, Opx16s* pDstDiffU, Opx32s dstDiffUStep,
                                    Opx16s* pDstDiffV, Opx32s dstDiffVStep, Opx32s mcType,
                                    Opx32s roundControl) noexcept {
    return get_diff_c2(kC2x8, pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiffU, dstDiffUStep,
                       pDstDiffV, dstDiffVStep, mcType, roundControl);
}
OpxResult opxiGetDiff8x4_8u16s_C2P2(const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef,
                                    Opx32s srcRefStep, Opx16s* pDstDiffU, Opx32s dstDiffUStep,
                                    Opx16s* pDstDiffV, Opx32s dstDiffVStep, Opx32s mcType,
                                    Opx32s roundControl) noexcept {
    return get_diff_c2(kC2x4, pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiffU, dstDiffUStep,
                       pDstDiffV, dstDiffVStep, mcType, roundControl);
}
OpxResult opxiGetDiff8x8B_8u16s_C2P2(const Opx8u* pSrcCur, Opx32s srcCurStep,
                                     const Opx8u* pSrcRefF, Opx32s srcRefFStep, Opx32s mcTypeF,
                                     const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,
                                     Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV,
                                     Opx32s dstDiffVStep, Opx32s roundControl) noexcept {
    return get_diff_c2_b(kC2x8, pSrcCur, srcCurStep, pSrcRefF, srcRefFStep, mcTypeF, pSrcRefB,
                         srcRefBStep, mcTypeB, pDstDiffU, dstDiffUStep, pDstDiffV, dstDiffVStep,
                         roundControl);
}
OpxResult opxiGetDiff8x4B_8u16s_C2P2(const Opx8u* pSrcCur, Opx32s srcCurStep,
                                     const Opx8u* pSrcRefF, Opx32s srcRefFStep, Opx32s mcTypeF,
                                     const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,
                                     Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV,
                                     Opx32s dstDiffVStep, Opx32s roundControl) noexcept {
    return get_diff_c2_b(kC2x4, pSrcCur, srcCurStep, pSrcRefF, srcRefFStep, mcTypeF, pSrcRefB,
                         srcRefBStep, mcTypeB, pDstDiffU, dstDiffUStep, pDstDiffV, dstDiffVStep,
                         roundControl);
}

OpxResult opxiGetDiff4x4_8u16s_C1(const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef,
                                  Opx32s srcRefStep, Opx16s* pDstDiff,
                                  Opx32s dstDiffStep) noexcept {
    return sub8u(kSub4x4, pSrcCur, srcCurStep, pSrcRef, srcRefStep, pDstDiff, dstDiffStep);
}

// ---- Sub ----------------------------------------------------------------------------------

OpxResult opxiSub16x16_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                 Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    return sub8u(kSub16x16, pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}
OpxResult opxiSub8x8_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                               Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    return sub8u(kSub8x8, pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}
OpxResult opxiSub4x4_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                               Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    return sub8u(kSub4x4, pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}
OpxResult opxiSub8x8_16u16s_C1R(const Opx16u* pSrc1, Opx32s src1Step, const Opx16u* pSrc2,
                                Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    return sub16u(kSub16u8x8, pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}
OpxResult opxiSub4x4_16u16s_C1R(const Opx16u* pSrc1, Opx32s src1Step, const Opx16u* pSrc2,
                                Opx32s src2Step, Opx16s* pDst, Opx32s dstStep) noexcept {
    return sub16u(kSub16u4x4, pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}

OpxResult opxiSubSAD8x8_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                  Opx32s src2Step, Opx16s* pDst, Opx32s dstStep,
                                  Opx32s* pSAD) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst, pSAD);
    k().sub_sad8x8(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, pSAD);
    return opxOk;
}

// ---- SumsDiff -----------------------------------------------------------------------------

OpxResult opxiSumsDiff16x16Blocks4x4_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep,
                                              const Opx8u* pPred, Opx32s predStep, Opx16s* pSums,
                                              Opx16s* pDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pPred, pSums);
    return k().sums_diff8u[kSquare16](pSrc, srcStep, pPred, predStep, pSums, pDiff);
}
OpxResult opxiSumsDiff8x8Blocks4x4_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pPred,
                                            Opx32s predStep, Opx16s* pSums,
                                            Opx16s* pDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pPred, pSums);
    return k().sums_diff8u[kSquare8](pSrc, srcStep, pPred, predStep, pSums, pDiff);
}
OpxResult opxiSumsDiff16x16Blocks4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                const Opx16u* pPred, Opx32s predStep,
                                                Opx32s* pSums, Opx16s* pDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pPred, pSums);
    k().sums_diff16u[kSquare16](pSrc, srcStep, pPred, predStep, pSums, pDiff);
    return opxOk;
}
OpxResult opxiSumsDiff8x8Blocks4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                              const Opx16u* pPred, Opx32s predStep,
                                              Opx32s* pSums, Opx16s* pDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pPred, pSums);
    k().sums_diff16u[kSquare8](pSrc, srcStep, pPred, predStep, pSums, pDiff);
    return opxOk;
}
OpxResult opxiSumsDiff8x8Blocks4x4_8u16s_C2P2(const Opx8u* pSrc, Opx32s srcStep,
                                              const Opx8u* pPredU, Opx32s predUStep,
                                              const Opx8u* pPredV, Opx32s predVStep,
                                              Opx16s* pSumsU, Opx16s* pDiffU, Opx16s* pSumsV,
                                              Opx16s* pDiffV) noexcept {
    OPX_CHECK_NULL(pSrc, pPredU, pPredV, pSumsU, pSumsV);
    k().sums_diff_c2(pSrc, srcStep, pPredU, predUStep, pPredV, predVStep, pSumsU, pDiffU, pSumsV,
                     pDiffV);
    return opxOk;
}

// ---- deviation and variance -----------------------------------------------------------------

OpxResult opxiMeanAbsDev16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    *pDst = k().mean_abs_dev[kSquare16](pSrc, srcStep);
    return opxOk;
}
OpxResult opxiMeanAbsDev8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    *pDst = k().mean_abs_dev[kSquare8](pSrc, srcStep);
    return opxOk;
}
OpxResult opxiVariance16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pDst) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    return k().variance16_out(pSrc, srcStep, pDst);
}
OpxResult opxiVarSum8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pVar,
                                  Opx32s* pSum) noexcept {
    return var_sum8u(pSrc, srcStep, pVar, pSum);
}
OpxResult opxiVarMean8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pVar,
                                   Opx32s* pMean) noexcept {
    return var_sum8u(pSrc, srcStep, pVar, pMean);
}
OpxResult opxiVarSum8x8_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pVar,
                                   Opx32s* pSum) noexcept {
    return var_sum16s(pSrc, srcStep, pVar, pSum);
}
OpxResult opxiVarMean8x8_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pVar,
                                    Opx32s* pMean) noexcept {
    return var_sum16s(pSrc, srcStep, pVar, pMean);
}

OpxResult opxiVarMeanDiff16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, const Opx32s* pSrcSum, Opx32s* pVar,
                                         Opx32s* pMean, Opx32s mcType) noexcept {
    return var_mean_diff(kVmd16x16, pSrc, srcStep, pRef, refStep, pSrcSum, pVar, pMean, mcType);
}
OpxResult opxiVarMeanDiff16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                        Opx32s refStep, const Opx32s* pSrcSum, Opx32s* pVar,
                                        Opx32s* pMean, Opx32s mcType) noexcept {
    return var_mean_diff(kVmd16x8, pSrc, srcStep, pRef, refStep, pSrcSum, pVar, pMean, mcType);
}

// ---- squared differences and edges -------------------------------------------------------

OpxResult opxiSqrDiff16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx32s mcType, Opx32s* pSqrDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSqrDiff);
    OPX_CHECK((mcType & ~12) == 0, opxWrnNothingDone);  // 0, 4, 8 or 12
    return k().sqr_diff_out[mcType >> 2](pSrc, srcStep, pRef, refStep, pSqrDiff);
}

OpxResult opxiSqrDiff16x16B_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRefF,
                                  Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                                  Opx32s refBStep, Opx32s mcTypeB, Opx32s* pSqrDiff) noexcept {
    OPX_CHECK_NULL(pSrc, pRefF, pRefB, pSqrDiff);
    int pf = 0, pb = 0;
    OPX_CHECK(exact_position(mcTypeF, &pf) && exact_position(mcTypeB, &pb), opxWrnNothingDone);
    *pSqrDiff = k().sqr_diff_b[pf][pb](pSrc, srcStep, pRefF, refFStep, pRefB, refBStep);
    return opxOk;
}

OpxResult opxiEdgesDetect16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32u edgePelDifference,
                                      Opx32u edgePelCount, Opx8u* pRes) noexcept {
    OPX_CHECK_NULL(pSrc, pRes);
    *pRes = k().edges8u(pSrc, srcStep, edgePelDifference, edgePelCount)
                ? 1
                : 0;
    return opxOk;
}

// A threshold above 65535 or a count above 224 leaves no block with more edge samples: the
// answer 0 is written without looking at the block.
OpxResult opxiEdgesDetect16x16_16u_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                       Opx32u edgePelDifference, Opx32u edgePelCount,
                                       Opx32u* pRes) noexcept {
    OPX_CHECK_NULL(pSrc, pRes);
    if (edgePelDifference >= 65536 || edgePelCount >= 225) {
        *pRes = 0;
        return opxOk;
    }
    *pRes = k().edges16u(pSrc, srcStep, edgePelDifference,
                         edgePelCount)
                ? 1
                : 0;
    return opxOk;
}
