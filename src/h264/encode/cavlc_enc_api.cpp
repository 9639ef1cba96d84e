// Exported CAVLC syntax-element functions: check the arguments, call one kernel, store the facts.
#include <emmintrin.h>

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

// firstPos..lastPos must lie in 0..15 and every scan entry they use must name a raster position
// of the block (a wrong entry would read outside the 16 coefficients). pScan has 16 entries;
// those outside firstPos..lastPos are read but not judged.
bool range_ok(Opx32s first, Opx32s last, const Opx32s* scan) noexcept {
    if (first < 0 || last > 15 || last < first) return false;
    // Signed saturation keeps every entry outside 0..15 outside it (and negative ones above 127
    // read unsigned): one unsigned byte compare for the 16 entries.
    auto at = [scan](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(scan + i)); };
    const __m128i bytes =
        _mm_packs_epi16(_mm_packs_epi32(at(0), at(4)), _mm_packs_epi32(at(8), at(12)));
    const __m128i ok = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(15)), bytes);
    const unsigned good = static_cast<unsigned>(_mm_movemask_epi8(ok));
    const unsigned used = (0xFFFFu >> (15 - last)) & (0xFFFFu << first);
    return (~good & used) == 0;
}

}  // namespace

OpxResult opxiEncodeCoeffsCAVLC_H264_16s(const Opx16s* pSrc, Opx8u firstPos, const Opx32s* pScan,
                                         Opx8u lastPos, Opx8u* pTrailingOnes,
                                         Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                         Opx8u* pTotalZeros, Opx16s* pLevels,
                                         Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pScan, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros,
                   pLevels, pRuns);
    OPX_CHECK(range_ok(firstPos, lastPos, pScan), opxErrOutOfRange);
    return store(k().block(pSrc, pScan, firstPos, lastPos, pLevels, pRuns), pTrailingOnes,
                 pTrailingOneSigns, pNumCoeffs, pTotalZeros);
}

OpxResult opxiEncodeCoeffsCAVLC_H264_32s(const Opx32s* pSrc, Opx32s firstPos, const Opx32s* pScan,
                                         Opx32s lastPos, Opx8u* pTrailingOnes,
                                         Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                         Opx8u* pTotalZeros, Opx32s* pLevels,
                                         Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pScan, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros,
                   pLevels, pRuns);
    OPX_CHECK(range_ok(firstPos, lastPos, pScan), opxErrOutOfRange);
    return store(k().block_high(pSrc, pScan, firstPos, lastPos, pLevels, pRuns), pTrailingOnes,
                 pTrailingOneSigns, pNumCoeffs, pTotalZeros);
}

OpxResult opxiEncodeChromaDcCoeffsCAVLC_H264_16s(const Opx16s* pSrc, Opx8u* pTrailingOnes,
                                                 Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                 Opx8u* pTotalZeros, Opx16s* pLevels,
                                                 Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return store(k().dc2x2(pSrc, pLevels, pRuns), pTrailingOnes, pTrailingOneSigns, pNumCoeffs,
                 pTotalZeros);
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
    return store(k().dc2x4(pSrc, pLevels, pRuns), pTrailingOnes, pTrailingOneSigns, pNumCoeffs,
                 pTotalZeros);
}

OpxResult opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s(const Opx32s* pSrc, Opx8u* pTrailingOnes,
                                                    Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
                                                    Opx8u* pTotalZeros, Opx32s* pLevels,
                                                    Opx8u* pRuns) noexcept {
    OPX_CHECK_NULL(pSrc, pTrailingOnes, pTrailingOneSigns, pNumCoeffs, pTotalZeros, pLevels, pRuns);
    return store(k().dc2x4_high(pSrc, pLevels, pRuns), pTrailingOnes, pTrailingOneSigns,
                 pNumCoeffs, pTotalZeros);
}
