// Exported luma macroblock reconstructions: check the arguments, then run the driver with the
// build's kernel tables.
#include "frame/check.hpp"
#include "h264/decode/recon.hpp"

using namespace opx::h264;

namespace {

const ReconKernels& k() noexcept { return OPX_SELECT(opx::h264, kRecon); }

inline bool qp_ok(Opx32s qp) {
    return static_cast<Opx32u>(qp) <= 51;
}

}  // namespace

OpxResult opxiReconstructLumaInterMB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                    Opx32s srcDstStep, Opx32u cbp4x4,
                                                    Opx32s qp) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    luma_inter_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, cbp4x4, qp, nullptr, false);
    return opxOk;
}

OpxResult opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                       Opx32s srcDstStep, Opx32u cbp4x4, Opx32s qp,
                                                       const Opx16s* pQuantTable,
                                                       Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    luma_inter_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, cbp4x4, qp, pQuantTable,
                   bypassFlag && qp == 0);
    return opxOk;
}

OpxResult opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                       Opx32s srcDstStep, Opx32u cbp8x8, Opx32s qp,
                                                       const Opx16s* pQuantTable,
                                                       Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    luma_inter_8x8(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, cbp8x8, qp, pQuantTable,
                   bypassFlag && qp == 0);
    return opxOk;
}

OpxResult opxiReconstructLumaIntraMB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                    Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
                                                    Opx32u cbp4x4, Opx32s qp,
                                                    Opx8u edgeType) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 16, cbp4x4, 1, qp,
                          edgeType, nullptr, false);
}

OpxResult opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                        Opx32s srcDstStep,
                                                        const Opx32s* pMBIntraTypes, Opx32u cbp4x4,
                                                        Opx32s qp, Opx8u edgeType) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes);
    OPX_CHECK(srcDstStep >= 1, opxErrStep);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 8, cbp4x4, 0, qp,
                          edgeType, nullptr, false);
}

OpxResult opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                       Opx32s srcDstStep,
                                                       const Opx32s* pMBIntraTypes, Opx32u cbp4x4,
                                                       Opx32s qp, Opx8u edgeType,
                                                       const Opx16s* pQuantTable,
                                                       Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 16, cbp4x4, 1, qp,
                          edgeType, pQuantTable, bypassFlag && qp == 0);
}

OpxResult opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                           Opx32s srcDstStep,
                                                           const Opx32s* pMBIntraTypes,
                                                           Opx32u cbp4x4, Opx32s qp, Opx8u edgeType,
                                                           const Opx16s* pQuantTable,
                                                           Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_4x4(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 8, cbp4x4, 0, qp,
                          edgeType, pQuantTable, bypassFlag && qp == 0);
}

OpxResult opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                       Opx32s srcDstStep,
                                                       const Opx32s* pMBIntraTypes, Opx32u cbp8x8,
                                                       Opx32s qp, Opx8u edgeType,
                                                       const Opx16s* pQuantTable,
                                                       Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_8x8(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 4, cbp8x8, qp,
                          edgeType, pQuantTable, bypassFlag && qp == 0);
}

OpxResult opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                           Opx32s srcDstStep,
                                                           const Opx32s* pMBIntraTypes,
                                                           Opx32u cbp8x8, Opx32s qp, Opx8u edgeType,
                                                           const Opx16s* pQuantTable,
                                                           Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pMBIntraTypes, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    return luma_intra_8x8(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, pMBIntraTypes, 2, cbp8x8, qp,
                          edgeType, pQuantTable, bypassFlag && qp == 0);
}

OpxResult opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                         Opx32s srcDstStep, Opx32s intraPredMode,
                                                         Opx32u cbp4x4, Opx32s qp,
                                                         Opx8u edgeType) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    OPX_CHECK(static_cast<Opx32u>(intraPredMode) <= 3, opxErrOutOfRange);
    const int slot = pred16x16_slot(intraPredMode, mb_avail(edgeType));
    OPX_CHECK(slot >= 0, opxErrIntraPredUnavailable);
    luma_intra_16x16(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, slot, cbp4x4, qp, nullptr, false);
    return opxOk;
}

OpxResult opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst,
                                                          Opx32s srcDstStep, Opx32s intraPredMode,
                                                          Opx32u cbp4x4, Opx32s qp, Opx8u edgeType,
                                                          const Opx16s* pQuantTable,
                                                          Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDst);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTable);
    OPX_CHECK(qp_ok(qp), opxErrOutOfRange);
    OPX_CHECK(static_cast<Opx32u>(intraPredMode) <= 3, opxErrOutOfRange);
    const int slot = pred16x16_slot(intraPredMode, mb_avail(edgeType));
    OPX_CHECK(slot >= 0, opxErrIntraPredUnavailable);
    luma_intra_16x16(k(), ppSrcDstCoeff, pSrcDst, srcDstStep, slot, cbp4x4, qp, pQuantTable,
                     bypassFlag && qp == 0);
    return opxOk;
}
