// Exported CAVLC and Exp-Golomb decoders: check the arguments, describe the block, call the
// kernel.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/cavlc.hpp"

using namespace opx::h264;

namespace {

const CavlcKernels& k() noexcept { return OPX_SELECT(opx::h264, kCavlc); }

bool bad_offset(const Opx32s* offset) noexcept {
    return static_cast<Opx32u>(*offset) > 31u;
}

template <class T>
OpxResult luma(CavlcLumaFn<T> fn, Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff,
               T** ppDstCoeffs, Opx32s uVLCSelect, Opx16s coeffLimit,
               const Opx32s** ppTblCoeffToken, const Opx32s** ppTblTotalZeros,
               const Opx32s** ppTblRunBefore, const Opx32s* pScanMatrix) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, ppTblCoeffToken, ppTblTotalZeros,
                   ppTblRunBefore, pScanMatrix);
    OPX_CHECK_NULL(*ppBitStream, *ppDstCoeffs);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    OPX_CHECK(coeffLimit == 15 || coeffLimit == 16, opxErrOutOfRange);
    OPX_CHECK(uVLCSelect >= 0, opxErrOutOfRange);
    return fn(ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, uVLCSelect, coeffLimit, ppTblCoeffToken,
              ppTblTotalZeros, ppTblRunBefore, pScanMatrix);
}

template <class T>
OpxResult chroma_dc(CavlcFn<T> fn, int end, Opx32u** ppBitStream, Opx32s* pOffset,
                    Opx16s* pNumCoeff, T** ppDstCoeffs, const Opx32s* pTblCoeffToken,
                    const Opx32s** ppTblTotalZeros, const Opx32s** ppTblRunBefore) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, pTblCoeffToken, ppTblTotalZeros,
                   ppTblRunBefore);
    OPX_CHECK_NULL(*ppBitStream, *ppDstCoeffs);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    const Opx32s* token[1] = {pTblCoeffToken};
    const CavlcBlock b{ppBitStream, pOffset,         pNumCoeff,      0,      0, end,
                       token,       ppTblTotalZeros, ppTblRunBefore, nullptr};
    return fn(b, ppDstCoeffs);
}

}  // namespace

OpxResult opxiDecodeCAVLCCoeffs_H264_1u16s(Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff,
                                           Opx16s** ppDstCoeffs, Opx32s uVLCSelect,
                                           Opx16s coeffLimit, const Opx32s** ppTblCoeffToken,
                                           const Opx32s** ppTblTotalZeros,
                                           const Opx32s** ppTblRunBefore,
                                           const Opx32s* pScanMatrix) noexcept {
    return luma(k().luma_entry_16s, ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, uVLCSelect,
                coeffLimit, ppTblCoeffToken, ppTblTotalZeros, ppTblRunBefore, pScanMatrix);
}

OpxResult opxiDecodeCAVLCCoeffs_H264_1u32s(Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff,
                                           Opx32s** ppDstCoeffs, Opx32s uVLCSelect,
                                           Opx16s coeffLimit, const Opx32s** ppTblCoeffToken,
                                           const Opx32s** ppTblTotalZeros,
                                           const Opx32s** ppTblRunBefore,
                                           const Opx32s* pScanMatrix) noexcept {
    return luma(k().luma_entry_32s, ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, uVLCSelect,
                coeffLimit, ppTblCoeffToken, ppTblTotalZeros, ppTblRunBefore, pScanMatrix);
}

OpxResult opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
    Opx32s uVLCSelect, Opx16s maxNumCoeff, const Opx32s** ppTblCoeffToken,
    const Opx32s** ppTblTotalZeros, const Opx32s** ppTblRunBefore, const Opx32s* pScanMatrix,
    Opx32s startIdx, Opx32s endIdx) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, ppTblCoeffToken, ppTblTotalZeros,
                   ppTblRunBefore, pScanMatrix);
    OPX_CHECK_NULL(*ppBitStream, *ppDstCoeffs);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    OPX_CHECK(uVLCSelect >= 0, opxErrOutOfRange);
    OPX_CHECK(0 <= startIdx && startIdx <= endIdx && endIdx <= 15, opxErrOutOfRange);
    OPX_CHECK(maxNumCoeff == endIdx - startIdx + 1, opxErrBadArg);
    const CavlcBlock b{ppBitStream, pOffset,         pNumCoeff,       uVLCSelect,     startIdx,
                       endIdx,      ppTblCoeffToken, ppTblTotalZeros, ppTblRunBefore, pScanMatrix};
    return k().range_16s(b, ppDstCoeffs);
}

OpxResult opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                   Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
                                                   const Opx32s* pTblCoeffToken,
                                                   const Opx32s** ppTblTotalZeros,
                                                   const Opx32s** ppTblRunBefore) noexcept {
    // The tables and the coefficient pointer are checked by the kernel when it needs them.
    OPX_CHECK_NULL(ppBitStream, pOffset, pNumCoeff);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    const Opx32s* token[1] = {pTblCoeffToken};
    const CavlcBlock b{ppBitStream, pOffset,         pNumCoeff,      0,      0, 3,
                       token,       ppTblTotalZeros, ppTblRunBefore, nullptr};
    return k().dc2x2_16s(b, ppDstCoeffs);
}

OpxResult opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                   Opx16s* pNumCoeff, Opx32s** ppDstCoeffs,
                                                   const Opx32s* pTblCoeffToken,
                                                   const Opx32s** ppTblTotalZeros,
                                                   const Opx32s** ppTblRunBefore) noexcept {
    return chroma_dc(k().dc2x2_32s, 3, ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, pTblCoeffToken,
                     ppTblTotalZeros, ppTblRunBefore);
}

OpxResult opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                      Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
                                                      const Opx32s* pTblCoeffToken,
                                                      const Opx32s** ppTblTotalZeros,
                                                      const Opx32s** ppTblRunBefore) noexcept {
    return chroma_dc(k().dc2x4_16s, 7, ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, pTblCoeffToken,
                     ppTblTotalZeros, ppTblRunBefore);
}

OpxResult opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                      Opx16s* pNumCoeff, Opx32s** ppDstCoeffs,
                                                      const Opx32s* pTblCoeffToken,
                                                      const Opx32s** ppTblTotalZeros,
                                                      const Opx32s** ppTblRunBefore) noexcept {
    return chroma_dc(k().dc2x4_32s, 7, ppBitStream, pOffset, pNumCoeff, ppDstCoeffs, pTblCoeffToken,
                     ppTblTotalZeros, ppTblRunBefore);
}

OpxResult opxiDecodeExpGolombOne_H264_1u16s(Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pDst,
                                            Opx8u isSigned) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pDst);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    return k().exp_golomb_16s(ppBitStream, pOffset, pDst, isSigned != 0);
}

OpxResult opxiDecodeExpGolombOne_H264_1u32s(Opx32u** ppBitStream, Opx32s* pOffset, Opx32s* pDst,
                                            Opx32s isSigned) noexcept {
    OPX_CHECK_NULL(ppBitStream, pOffset, pDst);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(!bad_offset(pOffset), opxErrBadArg);
    return k().exp_golomb_32s(ppBitStream, pOffset, pDst, isSigned != 0);
}
