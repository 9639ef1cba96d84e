// Exported SAD functions: check the arguments, take one kernel from the table, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "metrics/sad.hpp"

using namespace opx::metrics;

namespace {

const SadKernels& k() noexcept { return OPX_SELECT(opx::metrics, kSad); }

OpxResult sad_at(SadSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                 Opx32s* pSAD, Opx32s mcType) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD);
    int pos = 0;
    OPX_CHECK(position_of(mcType, &pos), opxWrnNothingDone);
    return k().sad[size][pos](pSrc, srcStep, pRef, refStep, pSAD);
}

OpxResult sad_integer(SadSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                      Opx32s refStep, Opx32s* pSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD);
    return k().sad[size][kInteger](pSrc, srcStep, pRef, refStep, pSAD);
}

OpxResult sad16u_at(Sad16uSize size, const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                    Opx32s refStep, Opx32s* pSAD, Opx32s mcType) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD);
    int pos = 0;
    OPX_CHECK(position_of(mcType, &pos), opxWrnNothingDone);
    return k().sad16u[size][pos](pSrc, srcStep, pRef, refStep, pSAD);
}

// Candidates are computed eight at a time: M = N AND NOT 7.
OpxResult sad_xn(SadXnSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                 Opx32s refStep, Opx16u* pSAD, Opx32s N) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD);
    const Opx32s m = N & ~7;
    OPX_CHECK(m >= 1, opxErrSize);
    k().xn[size](pSrc, srcStep, pRef, refStep, pSAD, m);
    return opxOk;
}

OpxResult sad_xni(SadXnSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                  Opx32s refStep, Opx16u* pSAD, Opx32s N, Opx32s* pMinIndex) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD, pMinIndex);
    const Opx32s m = N & ~7;
    OPX_CHECK(m >= 1, opxErrSize);
    *pMinIndex = k().xni[size](pSrc, srcStep, pRef, refStep, pSAD, m);
    return opxOk;
}

}  // namespace

OpxResult opxiSAD16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                             Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad_at(kSad16x16, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}
OpxResult opxiSAD16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad_at(kSad16x8, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}
OpxResult opxiSAD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad_at(kSad8x8, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}

OpxResult opxiSAD8x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSAD) noexcept {
    return sad_integer(kSad8x16, pSrc, srcStep, pRef, refStep, pSAD);
}
OpxResult opxiSAD8x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSAD) noexcept {
    return sad_integer(kSad8x4, pSrc, srcStep, pRef, refStep, pSAD);
}
OpxResult opxiSAD4x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSAD) noexcept {
    return sad_integer(kSad4x8, pSrc, srcStep, pRef, refStep, pSAD);
}
OpxResult opxiSAD4x4_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                           Opx32s* pSAD) noexcept {
    return sad_integer(kSad4x4, pSrc, srcStep, pRef, refStep, pSAD);
}

OpxResult opxiSAD16x16_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                  Opx32s refStep, Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad16u_at(kSad16u16x16, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}
OpxResult opxiSAD8x8_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                Opx32s refStep, Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad16u_at(kSad16u8x8, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}
OpxResult opxiSAD4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                Opx32s refStep, Opx32s* pSAD, Opx32s mcType) noexcept {
    return sad16u_at(kSad16u4x4, pSrc, srcStep, pRef, refStep, pSAD, mcType);
}

OpxResult opxiSAD8x8_8u32s_C2R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSAD0, Opx32s* pSAD1, Opx32s mcType) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSAD0, pSAD1);
    OPX_CHECK(srcStep >= 1 && refStep >= 1, opxErrStep);
    int pos = 0;
    OPX_CHECK(position_of(mcType, &pos), opxWrnNothingDone);
    std::int32_t sad[2];
    k().sad_c2[pos](pSrc, srcStep, pRef, refStep, sad);
    *pSAD0 = sad[0];
    *pSAD1 = sad[1];
    return opxOk;
}

OpxResult opxiSAD16x16xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                   Opx32s refStep, Opx16u* pSAD, Opx32s N) noexcept {
    return sad_xn(kXn16x16, pSrc, srcStep, pRef, refStep, pSAD, N);
}
OpxResult opxiSAD8x8xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx16u* pSAD, Opx32s N) noexcept {
    return sad_xn(kXn8x8, pSrc, srcStep, pRef, refStep, pSAD, N);
}
OpxResult opxiSAD4x4xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx16u* pSAD, Opx32s N) noexcept {
    return sad_xn(kXn4x4, pSrc, srcStep, pRef, refStep, pSAD, N);
}
OpxResult opxiSAD2x2xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx16u* pSAD, Opx32s N) noexcept {
    return sad_xn(kXn2x2, pSrc, srcStep, pRef, refStep, pSAD, N);
}
OpxResult opxiSAD16x16xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                    Opx32s refStep, Opx16u* pSAD, Opx32s N,
                                    Opx32s* pMinIndex) noexcept {
    return sad_xni(kXn16x16, pSrc, srcStep, pRef, refStep, pSAD, N, pMinIndex);
}
OpxResult opxiSAD8x8xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                  Opx32s refStep, Opx16u* pSAD, Opx32s N,
                                  Opx32s* pMinIndex) noexcept {
    return sad_xni(kXn8x8, pSrc, srcStep, pRef, refStep, pSAD, N, pMinIndex);
}
OpxResult opxiSAD4x4xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                  Opx32s refStep, Opx16u* pSAD, Opx32s N,
                                  Opx32s* pMinIndex) noexcept {
    return sad_xni(kXn4x4, pSrc, srcStep, pRef, refStep, pSAD, N, pMinIndex);
}

OpxResult opxiSAD16x16Blocks8x8_8u16u(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                      Opx32s refStep, Opx16u* pDstSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pDstSAD);
    k().blocks8u[kBlocks8x8](pSrc, srcStep, pRef, refStep, pDstSAD);
    return opxOk;
}
OpxResult opxiSAD16x16Blocks4x4_8u16u(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                      Opx32s refStep, Opx16u* pDstSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pDstSAD);
    k().blocks8u[kBlocks4x4](pSrc, srcStep, pRef, refStep, pDstSAD);
    return opxOk;
}
OpxResult opxiSAD16x16Blocks8x8_16u32u_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                           Opx32s refStep, Opx32u* pDstSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pDstSAD);
    k().blocks16u[kBlocks8x8](pSrc, srcStep, pRef, refStep, pDstSAD);
    return opxOk;
}
OpxResult opxiSAD16x16Blocks4x4_16u32u_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                           Opx32s refStep, Opx32u* pDstSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pDstSAD);
    k().blocks16u[kBlocks4x4](pSrc, srcStep, pRef, refStep, pDstSAD);
    return opxOk;
}
