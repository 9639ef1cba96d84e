// Exported CAVLC syntax-element functions: check the arguments, call one kernel, store the facts
// (the 16-bit kernels store their own: those entry points end in a jump; the 16-bit block
// kernel makes its checks too, see cavlc_enc.hpp).
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/encode/cavlc_enc.hpp"

using namespace opx::h264::enc;

namespace {

const CavlcEncKernels& k() noexcept { return OPX_SELECT(opx::h264::enc, kCavlcEnc); }

OpxResult store(CavlcFacts f, Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                Opx8u* pTotalZeros) noexcept {
    *pTrailingOnes = f.trailing_ones;
    *pTrailingOneSigns = f.signs;
    *pNumCoeffs = f.total_coeff;
    *pTotalZeros = f.total_zeros;
    return opxOk;
}

// firstPos..lastPos must lie in 0..15 (the kernels judge the scan entries they use).
constexpr bool range_ok(Opx32s first, Opx32s last) noexcept {
    return first >= 0 && last <= 15 && last >= first;
}

}  // namespace

OpxResult opxiEncodeCoeffsCAVLC_H264_16s(const Opx16s* pSrc, Opx8u firstPos, const Opx32s* pScan,
                                         Opx8u lastPos, Opx8u* pTrailingOnes,
                                         Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                         Opx8u* pTotalZeros, Opx16s* pLevels,
                                         Opx8u* pRuns) noexcept {
    // The kernel makes every check (check_block16, then the scan's).
    return k().block(pSrc, firstPos, pScan, lastPos, pTrailingOnes, pTrailingOneSigns, pNumCoeffs,
                     pTotalZeros, pLevels, pRuns);
}

OpxResult opxiEncodeCoeffsCAVLC_H264_32s(const Opx32s* pSrc, Opx32s firstPos, const Opx32s* pScan,
                                         Opx32s lastPos, Opx8u* pTrailingOnes,
                                         Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                         Opx8u* pTotalZeros, Opx32s* pLevels,
                                         Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pScan, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros,
                   pLevels, pRuns);
    OPX_CHECK(range_ok(firstPos, lastPos), opxErrOutOfRange);
    return store_facts(k().block_high(pSrc, pScan, firstPos, lastPos, pLevels, pRuns),
                       pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros);
}

OpxResult opxiEncodeChromaDcCoeffsCAVLC_H264_16s(const Opx16s* pSrc, Opx8u* pTrailingOnes,
                                                 Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                 Opx8u* pTotalZeros, Opx16s* pLevels,
                                                 Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return k().dc2x2(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels,
                     pRuns);
}

OpxResult opxiEncodeCoeffsCAVLCChromaDC2x2_H264_32s(const Opx32s* pSrc, Opx8u* pTrailingOnes,
                                                    Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                    Opx8u* pTotalZeros, Opx32s* pLevels,
                                                    Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return store(k().dc2x2_high(pSrc, pLevels, pRuns), pTrailingOnes, pTrailingOneSigns,
                 pNumCoeffs, pTotalZeros);
}

OpxResult opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s(const Opx16s* pSrc, Opx8u* pTrailingOnes,
                                                    Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                    Opx8u* pTotalZeros, Opx16s* pLevels,
                                                    Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return k().dc2x4(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels,
                     pRuns);
}

OpxResult opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s(const Opx32s* pSrc, Opx8u* pTrailingOnes,
                                                    Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                    Opx8u* pTotalZeros, Opx32s* pLevels,
                                                    Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return store(k().dc2x4_high(pSrc, pLevels, pRuns), pTrailingOnes, pTrailingOneSigns,
                 pNumCoeffs, pTotalZeros);
}
