// Exported SATD and SAT8x8D functions: check the arguments, take one kernel, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "metrics/satd.hpp"

using namespace opx::metrics;

namespace {

const SatdKernels& k() noexcept { return OPX_SELECT(opx::metrics, kSatd); }

OpxResult satd(SatdSize size, const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef, Opx32s refStep,
               Opx32s* pSATD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSATD);
    return k().satd[size](pSrc, srcStep, pRef, refStep, pSATD);
}

}  // namespace

OpxResult opxiSATD16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                  Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd16x16, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd16x8, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD8x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                 Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd8x16, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd8x8, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD8x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd8x4, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD4x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd4x8, pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSATD4x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSATD) noexcept {
    return satd(kSatd4x4, pSrc, srcStep, pRef, refStep, pSATD);
}

OpxResult opxiSAT8x8D_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                Opx32s refStep, Opx32s* pSATD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSATD);
    return k().sat8x8d(pSrc, srcStep, pRef, refStep, pSATD);
}
OpxResult opxiSAT8x8D_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                 Opx32s refStep, Opx32s* pSATD) noexcept {
    OPX_CHECK_NULL(pSrc, pRef, pSATD);
    return k().sat8x8d_16u(pSrc, srcStep, pRef, refStep, pSATD);
}
