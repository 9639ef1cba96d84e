// Exported block primitives: check the arguments, take one kernel from the table, call it.
// There are no checks beyond null pointers; position and rounding arguments only select the
// kernel, through their documented bits.
#include "frame/block.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"

using namespace opx::frame;

namespace {

const BlockKernels& k() noexcept { return OPX_SELECT(opx::frame, kBlock); }

template <int S>
OpxResult copy_hp(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep, Opx32s acc,
                  Opx32s rounding) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    return k().copy_hp[S][hp_index(acc, rounding)](pSrc, srcStep, pDst, dstStep);
}

template <int S>
OpxResult interp_average(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst, Opx32s srcDstStep,
                         Opx32s acc, Opx32s rounding) noexcept {
    OPX_CHECK_NULL(pSrc, pSrcDst);
    return k().interp_average[S][hp_index(acc, rounding)](pSrc, srcStep, pSrcDst, srcDstStep);
}

template <int S>
OpxResult mc(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual, Opx32s residualStep,
             Opx8u* pDst, Opx32s dstStep, Opx32s mcType, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRef, pResidual, pDst);
    return k().mc[S][mc_index(mcType, roundControl)](pRef, refStep, pResidual, residualStep, pDst,
                                                   dstStep);
}

template <int S>
OpxResult mc_b(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
               Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual, Opx32s residualStep,
               Opx8u* pDst, Opx32s dstStep, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRefF, pRefB, pResidual, pDst);
    return k().mc_b[S][mc_b_index(mcTypeF, mcTypeB, roundControl)](
        pRefF, refFStep, pRefB, refBStep, pResidual, residualStep, pDst, dstStep);
}

template <int S>
OpxResult mc_small(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual, Opx32s residualStep,
                   Opx8u* pDst, Opx32s dstStep, Opx32s mcType, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRef, pResidual, pDst);
    return k().small->mc[S][mc_small_index(mcType)](pRef, refStep, pResidual, residualStep, pDst,
                                                  dstStep, roundControl);
}

template <int S>
OpxResult mc_small_b(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                     Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual, Opx32s residualStep,
                     Opx8u* pDst, Opx32s dstStep, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRefF, pRefB, pResidual, pDst);
    return k().small->mc_b[S][mc_small_b_index(mcTypeF, mcTypeB)](
        pRefF, refFStep, pRefB, refBStep, pResidual, residualStep, pDst, dstStep, roundControl);
}

template <int S>
OpxResult mc_p2c2(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidualU,
                  const Opx16s* pResidualV, Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                  Opx32s mcType, Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRef, pResidualU, pResidualV, pDst);
    return k().mc_p2c2[S][mc_index(mcType, roundControl)](pRef, refStep, pResidualU, pResidualV,
                                                        residualStep, pDst, dstStep);
}

template <int S>
OpxResult mc_p2c2_b(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                    Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidualU,
                    const Opx16s* pResidualV, Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                    Opx32s roundControl) noexcept {
    OPX_CHECK_NULL(pRefF, pRefB, pResidualU, pResidualV, pDst);
    return k().mc_p2c2_b[S][mc_b_index(mcTypeF, mcTypeB, roundControl)](
        pRefF, refFStep, pRefB, refBStep, pResidualU, pResidualV, residualStep, pDst, dstStep);
}

}  // namespace

// ---- copies and averages ----------------------------------------------------------------------

OpxResult opxiCopy8x8_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                             Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    return k().copy[kCopy8x8](pSrc, srcStep, pDst, dstStep);
}

OpxResult opxiCopy16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                               Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    return k().copy[kCopy16x16](pSrc, srcStep, pDst, dstStep);
}

OpxResult opxiCopy8x8HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                               Opx32s acc, Opx32s rounding) noexcept {
    return copy_hp<kHp8x8>(pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiCopy16x16HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                 Opx32s acc, Opx32s rounding) noexcept {
    return copy_hp<kHp16x16>(pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiCopy16x8HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                Opx32s acc, Opx32s rounding) noexcept {
    return copy_hp<kHp16x8>(pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiCopy8x4HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                               Opx32s acc, Opx32s rounding) noexcept {
    return copy_hp<kHp8x4>(pSrc, srcStep, pDst, dstStep, acc, rounding);
}

OpxResult opxiAverage8x8_8u_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                Opx32s src2Step, Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    return k().average[kCopy8x8](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}

OpxResult opxiAverage16x16_8u_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                  Opx32s src2Step, Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    return k().average[kCopy16x16](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep);
}

// The in-place average is the integer-position interpolating average.
OpxResult opxiAverage8x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                 Opx32s srcDstStep) noexcept {
    return interp_average<kHp8x8>(pSrc, srcStep, pSrcDst, srcDstStep, 0, 0);
}

// The in-place average is the integer-position interpolating average.
OpxResult opxiAverage16x16_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                   Opx32s srcDstStep) noexcept {
    return interp_average<kHp16x16>(pSrc, srcStep, pSrcDst, srcDstStep, 0, 0);
}

OpxResult opxiInterpolateAverage16x16_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                              Opx32s srcDstStep, Opx32s acc,
                                              Opx32s rounding) noexcept {
    return interp_average<kHp16x16>(pSrc, srcStep, pSrcDst, srcDstStep, acc, rounding);
}

OpxResult opxiInterpolateAverage16x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                             Opx32s srcDstStep, Opx32s acc,
                                             Opx32s rounding) noexcept {
    return interp_average<kHp16x8>(pSrc, srcStep, pSrcDst, srcDstStep, acc, rounding);
}

OpxResult opxiInterpolateAverage8x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                            Opx32s srcDstStep, Opx32s acc,
                                            Opx32s rounding) noexcept {
    return interp_average<kHp8x8>(pSrc, srcStep, pSrcDst, srcDstStep, acc, rounding);
}

OpxResult opxiInterpolateAverage8x4_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                            Opx32s srcDstStep, Opx32s acc,
                                            Opx32s rounding) noexcept {
    return interp_average<kHp8x4>(pSrc, srcStep, pSrcDst, srcDstStep, acc, rounding);
}

// ---- residual addition ------------------------------------------------------------------------

OpxResult opxiAdd8x8_16s8u_C1IRS(const Opx16s* pResidual, Opx32s residualStep, Opx8u* pSrcDst,
                                 Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pResidual, pSrcDst);
    return k().add_8x8(pResidual, residualStep, pSrcDst, srcDstStep);
}

OpxResult opxiAdd8x8HP_16s8u_C1RS(const Opx16s* pResidual, Opx32s residualStep, const Opx8u* pRef,
                                  Opx32s refStep, Opx8u* pDst, Opx32s dstStep, Opx32s acc,
                                  Opx32s rounding) noexcept {
    OPX_CHECK_NULL(pResidual, pRef, pDst);
    return k().add_hp_8x8[hp_index(acc, rounding)](pResidual, residualStep, pRef, refStep, pDst,
                                                 dstStep);
}

OpxResult opxiAddC8x8_16s8u_C1IR(Opx16s value, Opx8u* pSrcDst, Opx32s srcDstStep) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    return k().add_const_8x8(value, pSrcDst, srcDstStep);
}

// ---- motion compensation ----------------------------------------------------------------------

OpxResult opxiMC16x16_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                            Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                            Opx32s roundControl) noexcept {
    return mc<kMc16x16>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                        roundControl);
}
OpxResult opxiMC16x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                           Opx32s roundControl) noexcept {
    return mc<kMc16x8>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType, roundControl);
}
OpxResult opxiMC8x16_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                           Opx32s roundControl) noexcept {
    return mc<kMc8x16>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType, roundControl);
}
OpxResult opxiMC8x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc<kMc8x8>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType, roundControl);
}
OpxResult opxiMC8x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc<kMc8x4>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType, roundControl);
}
OpxResult opxiMC4x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc_small<kMc4x8>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                            roundControl);
}
OpxResult opxiMC4x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc_small<kMc4x4>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                            roundControl);
}
OpxResult opxiMC4x2_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc_small<kMc4x2>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                            roundControl);
}
OpxResult opxiMC2x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc_small<kMc2x4>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                            roundControl);
}
OpxResult opxiMC2x2_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                          Opx32s roundControl) noexcept {
    return mc_small<kMc2x2>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                            roundControl);
}
OpxResult opxiMC16x8UV_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                             Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                             Opx32s roundControl) noexcept {
    return mc<kMc16x8UV>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType,
                         roundControl);
}
OpxResult opxiMC16x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                           Opx32s roundControl) noexcept {
    return mc<kMc16x4>(pRef, refStep, pResidual, residualStep, pDst, dstStep, mcType, roundControl);
}

OpxResult opxiMC16x16B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                             const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                             const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                             Opx32s dstStep, Opx32s roundControl) noexcept {
    return mc_b<kMc16x16>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                          residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC16x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                            Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                            Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                            Opx32s roundControl) noexcept {
    return mc_b<kMc16x8>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                         residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC8x16B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                            Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                            Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                            Opx32s roundControl) noexcept {
    return mc_b<kMc8x16>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                         residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC8x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_b<kMc8x8>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual, residualStep,
                        pDst, dstStep, roundControl);
}
OpxResult opxiMC8x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_b<kMc8x4>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual, residualStep,
                        pDst, dstStep, roundControl);
}
OpxResult opxiMC4x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_small_b<kMc4x8>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                              residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC4x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_small_b<kMc4x4>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                              residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC4x2B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_small_b<kMc4x2>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                              residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC2x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_small_b<kMc2x4>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                              residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC2x2B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                           Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                           Opx32s roundControl) noexcept {
    return mc_small_b<kMc2x2>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                              residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC16x8BUV_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                              const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                              const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                              Opx32s dstStep, Opx32s roundControl) noexcept {
    return mc_b<kMc16x8UV>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                           residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC16x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF, const Opx8u* pRefB,
                            Opx32s refBStep, Opx32s mcTypeB, const Opx16s* pResidual,
                            Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                            Opx32s roundControl) noexcept {
    return mc_b<kMc16x4>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidual,
                         residualStep, pDst, dstStep, roundControl);
}

OpxResult opxiMC8x8_16s8u_P2C2R(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidualU,
                                const Opx16s* pResidualV, Opx32s residualStep, Opx8u* pDst,
                                Opx32s dstStep, Opx32s mcType, Opx32s roundControl) noexcept {
    return mc_p2c2<kP2C2_8x8>(pRef, refStep, pResidualU, pResidualV, residualStep, pDst, dstStep,
                              mcType, roundControl);
}
OpxResult opxiMC8x4_16s8u_P2C2R(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidualU,
                                const Opx16s* pResidualV, Opx32s residualStep, Opx8u* pDst,
                                Opx32s dstStep, Opx32s mcType, Opx32s roundControl) noexcept {
    return mc_p2c2<kP2C2_8x4>(pRef, refStep, pResidualU, pResidualV, residualStep, pDst, dstStep,
                              mcType, roundControl);
}
OpxResult opxiMC8x8B_16s8u_P2C2R(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                 const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                 const Opx16s* pResidualU, const Opx16s* pResidualV,
                                 Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                 Opx32s roundControl) noexcept {
    return mc_p2c2_b<kP2C2_8x8>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidualU,
                                pResidualV, residualStep, pDst, dstStep, roundControl);
}
OpxResult opxiMC8x4B_16s8u_P2C2R(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                 const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                 const Opx16s* pResidualU, const Opx16s* pResidualV,
                                 Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                 Opx32s roundControl) noexcept {
    return mc_p2c2_b<kP2C2_8x4>(pRefF, refFStep, mcTypeF, pRefB, refBStep, mcTypeB, pResidualU,
                                pResidualV, residualStep, pDst, dstStep, roundControl);
}
