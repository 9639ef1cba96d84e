// Exported MPEG-2 quantisers, scans and zero count: check the arguments, take one kernel from the
// table, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg2/quant.hpp"

using namespace opx::mpeg2;

namespace {

const QuantKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg2, kQuant);
}

}  // namespace

OpxResult opxiQuantIntra_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                       const Opx32f* pQMatrixInv, Opx32s* pCount) noexcept {
    OPX_CHECK_NULL(pSrcDst, pCount);
    OPX_CHECK(quantiserScale != 0, opxErrDivByZero);
    const float* inv = pQMatrixInv ? pQMatrixInv : kDefaultIntraInverse.v;
    *pCount = k().quant_intra(pSrcDst, quantiserScale, inv);
    return opxOk;
}

OpxResult opxiQuant_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale, const Opx32f* pQMatrixInv,
                                  Opx32s* pCount) noexcept {
    OPX_CHECK_NULL(pSrcDst, pCount);
    OPX_CHECK(quantiserScale != 0, opxErrDivByZero);
    *pCount = pQMatrixInv ? k().quant_table(pSrcDst, quantiserScale, pQMatrixInv)
                          : k().quant_flat(pSrcDst, quantiserScale);
    return opxOk;
}

OpxResult opxiQuantInvIntra_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                          const Opx16s* pQMatrix) noexcept {
    OPX_CHECK_NULL(pSrcDst, pQMatrix);
    k().inv_intra(pSrcDst, quantiserScale, pQMatrix);
    return opxOk;
}

OpxResult opxiQuantInv_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                     const Opx16s* pQMatrix) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    if (pQMatrix)
        k().inv_table(pSrcDst, quantiserScale, pQMatrix);
    else
        k().inv_flat(pSrcDst, quantiserScale);
    return opxOk;
}

OpxResult opxiScanFwd_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s countNonZero,
                             Opx32s scan) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(countNonZero >= 1 && countNonZero <= 64, opxErrOutOfRange);
    k().scan_fwd[scan_kind(scan)](pSrc, pDst, countNonZero);
    return opxOk;
}

OpxResult opxiScanInv_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s lastIndex,
                             Opx32s scan) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(lastIndex >= 0 && lastIndex <= 63, opxErrOutOfRange);
    k().scan_inv[scan_kind(scan)](pSrc, pDst, lastIndex);
    return opxOk;
}

OpxResult opxiCountZeros8x8_16s_C1(const Opx16s* pSrc, Opx32u* pCount) noexcept {
    OPX_CHECK_NULL(pSrc, pCount);
    *pCount = k().count_zeros(pSrc);
    return opxOk;
}
