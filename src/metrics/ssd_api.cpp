// Exported SSD and frame/field activity functions: check the arguments, take one kernel, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "metrics/ssd.hpp"

using namespace opx::metrics;

namespace {

const SsdKernels& k() noexcept { return OPX_SELECT(opx::metrics, kSsd); }

OpxResult ssd(SsdSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
              Opx32s* pSSD, Opx32s mcType) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSSD);
    int pos = 0;
    OPX_CHECK(position_of(mcType, &pos), opxWrnNothingDone);
    return k().ssd[size][pos](pSrc, srcStep, pRef, refStep, pSSD);
}

}  // namespace

OpxResult opxiSSD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSSD, Opx32s mcType) noexcept {
    return ssd(kSsd8x8, pSrc, srcStep, pRef, refStep, pSSD, mcType);
}
OpxResult opxiSSD4x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
                               Opx32s* pSSD, Opx32s mcType) noexcept {
    return ssd(kSsd4x4, pSrc, srcStep, pRef, refStep, pSSD, mcType);
}

OpxResult opxiFrameFieldSAD16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pFrameSAD,
                                           Opx32s* pFieldSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pFrameSAD, pFieldSAD);
    const FrameField r = k().frame_field_8u(pSrc, srcStep);
    *pFrameSAD = r.frame;
    *pFieldSAD = r.field;
    return opxOk;
}
OpxResult opxiFrameFieldSAD16x16_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pFrameSAD,
                                            Opx32s* pFieldSAD) noexcept {
    OPX_CHECK_NULL(pSrc, pFrameSAD, pFieldSAD);
    const FrameField r = k().frame_field_16s(pSrc, srcStep);
    *pFrameSAD = r.frame;
    *pFieldSAD = r.field;
    return opxOk;
}
