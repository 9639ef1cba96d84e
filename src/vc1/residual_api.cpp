// Exported VC-1 transforms, quantisers and Hadamard measure: check the arguments, take one kernel
// from the table, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "vc1/residual.hpp"

using namespace opx::vc1;

namespace {

const TransformKernels& kt() noexcept {
    return OPX_SELECT(opx::vc1, kTransform);
}
const QuantKernels& kq() noexcept {
    return OPX_SELECT(opx::vc1, kQuant);
}

OpxResult inverse(Shape shape, const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst, Opx32s dstStep,
                  OpxRoiSize nz) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    // The promise is clamped to the block before it picks a kernel: a wider one is the full
    // transform, a negative one an empty dimension.
    const int index = inv_kernel_index(nz, shape_width(shape), shape_height(shape));
    kt().inv[shape][index](pSrc, srcStep, pDst, dstStep);
    return opxOk;
}

OpxResult forward(Shape shape, const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                  Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    kt().fwd[shape](pSrc, srcStep, pDst, dstStep);
    return opxOk;
}

// roiSize of the inter quantisers: height, then width, 4 or 8.
bool inter_block(OpxRoiSize roi, QuantBlock* block) noexcept {
    if (roi.height != 4 && roi.height != 8) return false;
    if (roi.width != 4 && roi.width != 8) return false;
    *block = roi.width == 8 ? (roi.height == 8 ? kQInter8x8 : kQInter8x4)
                            : (roi.height == 8 ? kQInter4x8 : kQInter4x4);
    return true;
}

OpxResult quant_intra(QuantKind kind, Opx16s* pSrcDst, Opx32s step, Opx32s q) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(q >= 2 && q <= 62, opxErrOutOfRange);
    kq().fwd[kind][kQIntra][kDivSteps[q - 2].cls](pSrcDst, step, q);
    return opxOk;
}

OpxResult quant_inter(QuantKind kind, Opx16s* pSrcDst, Opx32s step, Opx32s q,
                      OpxRoiSize roi) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(q >= 2 && q <= 62, opxErrOutOfRange);
    QuantBlock block = kQInter8x8;
    OPX_CHECK(inter_block(roi, &block), opxErrSize);
    kq().fwd[kind][block][kDivSteps[q - 2].cls](pSrcDst, step, q);
    return opxOk;
}

OpxResult quant_inv_intra(QuantKind kind, const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                          Opx32s dstStep, Opx32s q, OpxRoiSize* nz) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, nz);
    kq().inv[kind][kQIntra](pSrc, srcStep, pDst, dstStep, q, nz);
    return opxOk;
}

OpxResult quant_inv_inter(QuantKind kind, const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                          Opx32s dstStep, Opx32s q, OpxRoiSize roi, OpxRoiSize* nz) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, nz);
    QuantBlock block = kQInter8x8;
    OPX_CHECK(inter_block(roi, &block), opxErrSize);
    kq().inv[kind][block](pSrc, srcStep, pDst, dstStep, q, nz);
    return opxOk;
}

}  // namespace

// ---- inverse transforms ----------------------------------------------------------------------

OpxResult opxiTransform8x8Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                           OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k8x8, pSrcDst, srcDstStep, pSrcDst, srcDstStep, srcSizeNZ);
}
OpxResult opxiTransform8x4Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                           OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k8x4, pSrcDst, srcDstStep, pSrcDst, srcDstStep, srcSizeNZ);
}
OpxResult opxiTransform4x8Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                           OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k4x8, pSrcDst, srcDstStep, pSrcDst, srcDstStep, srcSizeNZ);
}
OpxResult opxiTransform4x4Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                           OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k4x4, pSrcDst, srcDstStep, pSrcDst, srcDstStep, srcSizeNZ);
}
OpxResult opxiTransform8x8Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep, OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k8x8, pSrc, srcStep, pDst, dstStep, srcSizeNZ);
}
OpxResult opxiTransform8x4Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep, OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k8x4, pSrc, srcStep, pDst, dstStep, srcSizeNZ);
}
OpxResult opxiTransform4x8Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep, OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k4x8, pSrc, srcStep, pDst, dstStep, srcSizeNZ);
}
OpxResult opxiTransform4x4Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep, OpxRoiSize srcSizeNZ) noexcept {
    return inverse(k4x4, pSrc, srcStep, pDst, dstStep, srcSizeNZ);
}

// ---- forward transforms ----------------------------------------------------------------------

OpxResult opxiTransform8x8Fwd_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep) noexcept {
    return forward(k8x8, pSrcDst, srcDstStep, pSrcDst, srcDstStep);
}
OpxResult opxiTransform8x4Fwd_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep) noexcept {
    return forward(k8x4, pSrcDst, srcDstStep, pSrcDst, srcDstStep);
}
OpxResult opxiTransform4x8Fwd_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep) noexcept {
    return forward(k4x8, pSrcDst, srcDstStep, pSrcDst, srcDstStep);
}
OpxResult opxiTransform4x4Fwd_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep) noexcept {
    return forward(k4x4, pSrcDst, srcDstStep, pSrcDst, srcDstStep);
}
OpxResult opxiTransform8x8Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep) noexcept {
    return forward(k8x8, pSrc, srcStep, pDst, dstStep);
}
OpxResult opxiTransform8x4Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep) noexcept {
    return forward(k8x4, pSrc, srcStep, pDst, dstStep);
}
OpxResult opxiTransform4x8Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep) noexcept {
    return forward(k4x8, pSrc, srcStep, pDst, dstStep);
}
OpxResult opxiTransform4x4Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                          Opx32s dstStep) noexcept {
    return forward(k4x4, pSrc, srcStep, pDst, dstStep);
}

// ---- quantisers ---------------------------------------------------------------------------------

OpxResult opxiQuantIntraUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                             Opx32s doubleQuant) noexcept {
    return quant_intra(kUniform, pSrcDst, srcDstStep, doubleQuant);
}
OpxResult opxiQuantIntraNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                Opx32s doubleQuant) noexcept {
    return quant_intra(kNonuniform, pSrcDst, srcDstStep, doubleQuant);
}
OpxResult opxiQuantInterUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep, Opx32s doubleQuant,
                                             OpxRoiSize roiSize) noexcept {
    return quant_inter(kUniform, pSrcDst, srcDstStep, doubleQuant, roiSize);
}
OpxResult opxiQuantInterNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                Opx32s doubleQuant, OpxRoiSize roiSize) noexcept {
    return quant_inter(kNonuniform, pSrcDst, srcDstStep, doubleQuant, roiSize);
}

OpxResult opxiQuantInvIntraUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                Opx32s doubleQuant,
                                                OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_intra(kUniform, pSrcDst, srcDstStep, pSrcDst, srcDstStep, doubleQuant,
                           pDstSizeNZ);
}
OpxResult opxiQuantInvIntraNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                   Opx32s doubleQuant,
                                                   OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_intra(kNonuniform, pSrcDst, srcDstStep, pSrcDst, srcDstStep, doubleQuant,
                           pDstSizeNZ);
}
OpxResult opxiQuantInvIntraUniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                               Opx32s dstStep, Opx32s doubleQuant,
                                               OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_intra(kUniform, pSrc, srcStep, pDst, dstStep, doubleQuant, pDstSizeNZ);
}
OpxResult opxiQuantInvIntraNonuniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                                  Opx32s dstStep, Opx32s doubleQuant,
                                                  OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_intra(kNonuniform, pSrc, srcStep, pDst, dstStep, doubleQuant, pDstSizeNZ);
}
OpxResult opxiQuantInvInterUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                Opx32s doubleQuant, OpxRoiSize roiSize,
                                                OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_inter(kUniform, pSrcDst, srcDstStep, pSrcDst, srcDstStep, doubleQuant, roiSize,
                           pDstSizeNZ);
}
OpxResult opxiQuantInvInterNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                   Opx32s doubleQuant, OpxRoiSize roiSize,
                                                   OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_inter(kNonuniform, pSrcDst, srcDstStep, pSrcDst, srcDstStep, doubleQuant,
                           roiSize, pDstSizeNZ);
}
OpxResult opxiQuantInvInterUniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                               Opx32s dstStep, Opx32s doubleQuant,
                                               OpxRoiSize roiSize,
                                               OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_inter(kUniform, pSrc, srcStep, pDst, dstStep, doubleQuant, roiSize,
                           pDstSizeNZ);
}
OpxResult opxiQuantInvInterNonuniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                                  Opx32s dstStep, Opx32s doubleQuant,
                                                  OpxRoiSize roiSize,
                                                  OpxRoiSize* pDstSizeNZ) noexcept {
    return quant_inv_inter(kNonuniform, pSrc, srcStep, pDst, dstStep, doubleQuant, roiSize,
                           pDstSizeNZ);
}

// ---- Hadamard ----------------------------------------------------------------------------------

OpxResult opxiHadamard8x8Sum_VC1_8u16s(const Opx8u* pSrc, Opx32s srcStep, Opx16s* pDst,
                                       Opx32s* pSum) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pSum);
    kq().hadamard8u(pSrc, srcStep, pDst, pSum);
    return opxOk;
}
OpxResult opxiHadamard8x8Sum_VC1_16s(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                     Opx32s* pSum) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pSum);
    kq().hadamard16s(pSrc, srcStep, pDst, pSum);
    return opxOk;
}
