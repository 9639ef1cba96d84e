// Exported high-bit-depth and 4:2:2 macroblock reconstructions: check the records, then run the
// driver with the build's kernel tables.
#include "frame/check.hpp"
#include "h264/decode/recon.hpp"

using namespace opx::h264;

namespace {

const ReconKernelsHigh& kh() noexcept {
    return OPX_SELECT(opx::h264, kReconHigh);
}
const ReconKernels& k8() noexcept {
    return OPX_SELECT(opx::h264, kRecon);
}

bool depth_ok(Opx32s bd) {
    return bd >= 8 && bd <= 14;
}

template <class Info>
bool null_record(const Info* r) {
    return r == nullptr || r->ppSrcDstCoeff == nullptr || *r->ppSrcDstCoeff == nullptr ||
           r->pSrcDstPlane == nullptr || r->pQuantTable == nullptr;
}

// Luma checks up to qp: null pointers (record, its pointers, pMBIntraTypes when `needs_modes`),
// step, bit depth, qp 0..6 bitDepth + 3.
OpxResult check_luma(const OpxReconstructInfo* p, bool modes_null) {
    OPX_CHECK(!null_record(p) && !modes_null, opxErrNullPtr);
    OPX_CHECK(p->srcDstStep >= 1, opxErrStep);
    OPX_CHECK(depth_ok(p->bitDepth), opxErrOutOfRange);
    OPX_CHECK(static_cast<Opx32u>(p->qp) <= static_cast<Opx32u>(6 * p->bitDepth + 3),
              opxErrOutOfRange);
    return opxOk;
}

HighLuma luma(const OpxReconstructInfo* p) {
    return HighLuma{p->ppSrcDstCoeff,
                    p->pSrcDstPlane,
                    p->srcDstStep,
                    p->cbp,
                    p->qp,
                    p->pQuantTable,
                    p->bypassFlag != 0 && p->qp == 0,
                    p->bitDepth};
}

// Chroma checks up to qp. 32s16u: the Cb record's bit depth limits both qps to 6 bd - 9;
// 16s8u: 39.
template <class Info>
OpxResult check_chroma(const Info* const* pp, bool high) {
    OPX_CHECK(pp != nullptr, opxErrNullPtr);
    OPX_CHECK(!null_record(pp[0]) && !null_record(pp[1]), opxErrNullPtr);
    OPX_CHECK(pp[0]->srcDstStep >= 1 && pp[1]->srcDstStep >= 1, opxErrStep);
    Opx32u max_qp = 39;
    if (high) {
        OPX_CHECK(depth_ok(pp[0]->bitDepth), opxErrOutOfRange);
        max_qp = static_cast<Opx32u>(6 * pp[0]->bitDepth - 9);
    }
    OPX_CHECK(static_cast<Opx32u>(pp[0]->qp) <= max_qp && static_cast<Opx32u>(pp[1]->qp) <= max_qp,
              opxErrOutOfRange);
    return opxOk;
}

// The component of a record: cbp bit 0 the DC array, bits 1.. the AC blocks.
template <class S, class C, class Info>
ChromaPlane<S, C> plane_of(const Info* r, Opx32u ls_dc, int blocks) {
    return ChromaPlane<S, C>{r->ppSrcDstCoeff,
                             r->pSrcDstPlane,
                             r->srcDstStep,
                             (r->cbp & 1) != 0,
                             (r->cbp >> 1) & ((1u << blocks) - 1),
                             r->qp,
                             r->pQuantTable,
                             r->bypassFlag != 0 && r->qp == 0,
                             static_cast<int>(ls_dc)};
}

// Chroma intra kernel after the range check: the whole macroblock (half false) or the two
// halves, which serve DC and vertical only; null when refused.
template <class Fn>
OPX_INLINE Fn chroma_pred(const Fn (&plain)[kNumPredChromaSlots], const Fn (&dc)[kNumChromaDcSlots],
                          Opx32s mode, Opx32u edge_top, Opx32u edge_bottom, bool half) {
    if (half && mode != 0 && mode != 2) return nullptr;
    return chroma_pick(plain, dc, mode, mb_avail(static_cast<int>(edge_top)),
                       mb_avail(static_cast<int>(edge_bottom)));
}

// 32s16u chroma, 4:2:0 (Rows 8) or 4:2:2 (Rows 16); intra when `intra`.
template <int Rows>
OpxResult chroma_high(const OpxReconstructInfo* const* pp, bool intra, Opx32s mode, Opx32u edge_top,
                      Opx32u edge_bottom, bool half, Opx32u lsu, Opx32u lsv) {
    if (const OpxResult r = check_chroma(pp, true); r != opxOk) return r;
    PredHighFn pred = nullptr;
    const IntraKernelsHigh& ik = kh().intra;
    if (intra) {
        OPX_CHECK(static_cast<Opx32u>(mode) <= 3, opxErrOutOfRange);
        pred = Rows == 8
                   ? chroma_pred(ik.chroma, ik.chroma_dc, mode, edge_top, edge_bottom, half)
                   : chroma_pred(ik.chroma422, ik.chroma422_dc, mode, edge_top, edge_bottom, half);
        OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    }
    const ChromaPlane16 planes[2] = {plane_of<Opx16u, Opx32s>(pp[0], lsu, Rows / 2),
                                     plane_of<Opx16u, Opx32s>(pp[1], lsv, Rows / 2)};
    if constexpr (Rows == 8)
        chroma420(kh(), planes, pred, pp[0]->bitDepth);
    else
        chroma422(kh(), planes, pred, pp[0]->bitDepth);
    return opxOk;
}

// 16s8u 4:2:2 chroma; bitDepth is not read.
OpxResult chroma422_8u(const OpxReconstructInfo8u* const* pp, bool intra, Opx32s mode,
                       Opx32u edge_top, Opx32u edge_bottom, bool half, Opx32u lsu, Opx32u lsv) {
    if (const OpxResult r = check_chroma(pp, false); r != opxOk) return r;
    PredChromaFn pred = nullptr;
    if (intra) {
        OPX_CHECK(static_cast<Opx32u>(mode) <= 3, opxErrOutOfRange);
        pred = chroma_pred(k8().intra.chroma422, k8().intra.chroma422_dc, mode, edge_top,
                           edge_bottom, half);
        OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    }
    chroma422(k8(), pp, pred, static_cast<int>(lsu), static_cast<int>(lsv));
    return opxOk;
}

}  // namespace

// ---- luma ---------------------------------------------------------------------------------------

OpxResult opxiReconstructLumaInter4x4_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo) noexcept {
    if (const OpxResult r = check_luma(pInfo, false); r != opxOk) return r;
    luma_inter_4x4(kh(), luma(pInfo));
    return opxOk;
}

OpxResult opxiReconstructLumaInter8x8_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo) noexcept {
    if (const OpxResult r = check_luma(pInfo, false); r != opxOk) return r;
    luma_inter_8x8(kh(), luma(pInfo));
    return opxOk;
}

OpxResult opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(const OpxReconstructInfo* pInfo,
                                                           const Opx32s* pMBIntraTypes,
                                                           Opx32u edgeType) noexcept {
    if (const OpxResult r = check_luma(pInfo, pMBIntraTypes == nullptr); r != opxOk) return r;
    return luma_intra_4x4(kh(), luma(pInfo), pMBIntraTypes, 16, 1, static_cast<int>(edgeType));
}

OpxResult opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R(const OpxReconstructInfo* pInfo,
                                                               const Opx32s* pMBIntraTypes,
                                                               Opx32u edgeType) noexcept {
    if (const OpxResult r = check_luma(pInfo, pMBIntraTypes == nullptr); r != opxOk) return r;
    return luma_intra_4x4(kh(), luma(pInfo), pMBIntraTypes, 8, 0, static_cast<int>(edgeType));
}

OpxResult opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(const OpxReconstructInfo* pInfo,
                                                           const Opx32s* pMBIntraTypes,
                                                           Opx32u edgeType) noexcept {
    if (const OpxResult r = check_luma(pInfo, pMBIntraTypes == nullptr); r != opxOk) return r;
    return luma_intra_8x8(kh(), luma(pInfo), pMBIntraTypes, 4, static_cast<int>(edgeType));
}

OpxResult opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R(const OpxReconstructInfo* pInfo,
                                                               const Opx32s* pMBIntraTypes,
                                                               Opx32u edgeType) noexcept {
    if (const OpxResult r = check_luma(pInfo, pMBIntraTypes == nullptr); r != opxOk) return r;
    return luma_intra_8x8(kh(), luma(pInfo), pMBIntraTypes, 2, static_cast<int>(edgeType));
}

OpxResult opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(const OpxReconstructInfo* pInfo,
                                                             Opx32s intraPredMode,
                                                             Opx32u edgeType) noexcept {
    if (const OpxResult r = check_luma(pInfo, false); r != opxOk) return r;
    OPX_CHECK(static_cast<Opx32u>(intraPredMode) <= 3, opxErrOutOfRange);
    const int slot = pred16x16_slot(intraPredMode, mb_avail(static_cast<int>(edgeType)));
    OPX_CHECK(slot >= 0, opxErrIntraPredUnavailable);
    luma_intra_16x16(kh(), luma(pInfo), slot);
    return opxOk;
}

// ---- chroma 4:2:0 -------------------------------------------------------------------------------

OpxResult opxiReconstructChromaInter4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2]) noexcept {
    return chroma_high<8>(ppInfo, false, 0, 0, 0, false, 0, 0);
}

OpxResult opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode,
    Opx32u edgeType) noexcept {
    return chroma_high<8>(ppInfo, true, intraChromaPredMode, edgeType, edgeType, false, 0, 0);
}

OpxResult opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom) noexcept {
    return chroma_high<8>(ppInfo, true, intraChromaPredMode, edgeTypeTop, edgeTypeBottom, true, 0,
                          0);
}

// ---- chroma 4:2:2 -------------------------------------------------------------------------------

OpxResult opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32u levelScaleDCU,
    Opx32u levelScaleDCV) noexcept {
    return chroma422_8u(ppInfo, false, 0, 0, 0, false, levelScaleDCU, levelScaleDCV);
}

OpxResult opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32u levelScaleDCU,
    Opx32u levelScaleDCV) noexcept {
    return chroma_high<16>(ppInfo, false, 0, 0, 0, false, levelScaleDCU, levelScaleDCV);
}

OpxResult opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeType,
    Opx32u levelScaleDCU, Opx32u levelScaleDCV) noexcept {
    return chroma422_8u(ppInfo, true, intraChromaPredMode, edgeType, edgeType, false, levelScaleDCU,
                        levelScaleDCV);
}

OpxResult opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeType,
    Opx32u levelScaleDCU, Opx32u levelScaleDCV) noexcept {
    return chroma_high<16>(ppInfo, true, intraChromaPredMode, edgeType, edgeType, false,
                           levelScaleDCU, levelScaleDCV);
}

OpxResult opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom, Opx32u levelScaleDCU, Opx32u levelScaleDCV) noexcept {
    return chroma422_8u(ppInfo, true, intraChromaPredMode, edgeTypeTop, edgeTypeBottom, true,
                        levelScaleDCU, levelScaleDCV);
}

OpxResult opxiReconstructChroma422IntraHalf4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom, Opx32u levelScaleDCU, Opx32u levelScaleDCV) noexcept {
    return chroma_high<16>(ppInfo, true, intraChromaPredMode, edgeTypeTop, edgeTypeBottom, true,
                           levelScaleDCU, levelScaleDCV);
}
