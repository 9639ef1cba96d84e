// Exported stand-alone intra predictions: check the arguments, pick the kernel, call it.
#include "frame/check.hpp"
#include "h264/decode/intra.hpp"

using namespace opx::h264;

namespace {
const IntraKernels& k() noexcept { return OPX_SELECT(opx::h264, kIntra); }
}

OpxResult opxiPredictIntra_4x4_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s mode,
                                            Opx32s availability) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(static_cast<Opx32u>(mode) <= 8, opxErrOutOfRange);
    return predict_4x4(k(), pSrcDst, srcDstStep, mode, availability);
}

OpxResult opxiPredictIntra_16x16_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s mode,
                                              Opx32s availability) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(static_cast<Opx32u>(mode) <= 3, opxErrOutOfRange);
    const int slot = pred16x16_slot(mode, availability);
    OPX_CHECK(slot >= 0, opxErrIntraPredUnavailable);
    k().pred16x16[slot](pSrcDst, srcDstStep);
    return opxOk;
}

OpxResult opxiPredictIntraChroma8x8_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s mode,
                                                 Opx32s availability) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(srcDstStep >= 8, opxErrStep);
    OPX_CHECK(static_cast<Opx32u>(mode) <= 3, opxErrOutOfRange);
    const PredChromaFn fn = chroma_kernel(k(), mode, availability, availability);
    OPX_CHECK(fn != nullptr, opxErrIntraPredUnavailable);
    fn(pSrcDst, srcDstStep);
    return opxOk;
}
