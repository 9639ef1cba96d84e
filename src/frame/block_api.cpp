// Exported block primitives: check the arguments, take one kernel from the table, call it.
#include "frame/block.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"

using namespace opx::frame;

namespace {
const BlockKernels& k = OPX_KERNELS::kBlock;
}

OpxResult opxiCopy8x8_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                             Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k.copy[kCopy8x8](pSrc, srcStep, pDst, dstStep);
    return opxOk;
}

OpxResult opxiCopy16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                               Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    k.copy[kCopy16x16](pSrc, srcStep, pDst, dstStep);
    return opxOk;
}
