// Exported VC-1 deblocking and overlap smoothing functions: check, derive the segments or rows,
// call the kernels.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "vc1/loopfilter.hpp"

using namespace opx::vc1;

namespace {

const LoopFilterKernels& k() noexcept {
    return OPX_SELECT(opx::vc1, kLoopFilter);
}

// Luma flags: bit s set = segment s (lines 4s..4s+3) not filtered.
unsigned luma_segments(Opx32u flag) noexcept {
    return ~flag & 15u;
}
// Chroma flags: bit 1 (lines 0..3) and bit 2 (lines 4..7); the other bits are not used.
unsigned chroma_segments(Opx32u flag) noexcept {
    return ((flag & 2u) ? 0u : 1u) | ((flag & 4u) ? 0u : 2u);
}

OpxResult deblock(DeblockForm form, Opx8u* p, Opx32s pquant, Opx32s step,
                  unsigned segments) noexcept {
    OPX_CHECK_NULL(p);
    if (segments != 0) k().deblock[form](p, step, pquant, segments);
    return opxOk;
}

constexpr SmoothRows frame_rows() noexcept {
    SmoothRows r{};
    for (int t = 0; t < 8; ++t) {
        r.a[t] = r.b[t] = r.dst[t] = static_cast<std::int8_t>(t);
        r.parity[t] = static_cast<std::int8_t>(t & 1);
    }
    return r;
}
constexpr SmoothRows kFrameRows = frame_rows();

// One field of a 16-line luma edge: field 0 (top) or 1 (bottom); a block that is field-ordered
// holds the field in rows 8 f .. 8 f + 7, a frame-ordered one in rows f, f + 2, ...
SmoothRows field_rows(int field, bool left_field, bool right_field) noexcept {
    SmoothRows r{};
    for (int t = 0; t < 8; ++t) {
        const int frame_row = 2 * t + field, field_row = 8 * field + t;
        r.a[t] = static_cast<std::int8_t>(left_field ? field_row : frame_row);
        r.b[t] = static_cast<std::int8_t>(right_field ? field_row : frame_row);
        r.dst[t] = static_cast<std::int8_t>(frame_row);
        r.parity[t] = static_cast<std::int8_t>(field);
    }
    return r;
}

}  // namespace

// ---- deblocking ------------------------------------------------------------------------------

OpxResult opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                       Opx32s srcDstStep,
                                                       Opx32u edgeDisabledFlag) noexcept {
    return deblock(kLumaVer, pSrcDst, pQuant, srcDstStep, luma_segments(edgeDisabledFlag));
}
OpxResult opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                       Opx32s srcDstStep,
                                                       Opx32u edgeDisabledFlag) noexcept {
    return deblock(kLumaHor, pSrcDst, pQuant, srcDstStep, luma_segments(edgeDisabledFlag));
}
OpxResult opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                         Opx32s srcDstStep,
                                                         Opx32u edgeDisabledFlag) noexcept {
    return deblock(kChromaVer, pSrcDst, pQuant, srcDstStep, chroma_segments(edgeDisabledFlag));
}
OpxResult opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                         Opx32s srcDstStep,
                                                         Opx32u edgeDisabledFlag) noexcept {
    return deblock(kChromaHor, pSrcDst, pQuant, srcDstStep, chroma_segments(edgeDisabledFlag));
}
OpxResult opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                         Opx32s srcDstStep,
                                                         Opx32u edgeDisabledFlagU,
                                                         Opx32u edgeDisabledFlagV) noexcept {
    return deblock(kChromaVerC2, pSrcDst, pQuant, srcDstStep,
                   chroma_segments(edgeDisabledFlagU) | chroma_segments(edgeDisabledFlagV) << 2);
}
OpxResult opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR(Opx8u* pSrcDst, Opx32s pQuant,
                                                         Opx32s srcDstStep,
                                                         Opx32u edgeDisabledFlagU,
                                                         Opx32u edgeDisabledFlagV) noexcept {
    return deblock(kChromaHorC2, pSrcDst, pQuant, srcDstStep,
                   chroma_segments(edgeDisabledFlagU) | chroma_segments(edgeDisabledFlagV) << 2);
}

// ---- smoothing -------------------------------------------------------------------------------

OpxResult opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R(Opx16s* pSrcLeft, Opx32s srcLeftStep,
                                                  Opx16s* pSrcRight, Opx32s srcRightStep,
                                                  Opx8u* pDst, Opx32s dstStep,
                                                  Opx32u fieldNeighbourFlag,
                                                  Opx32u edgeFlag) noexcept {
    OPX_CHECK_NULL(pSrcLeft, pSrcRight, pDst);
    const Opx32u mode = fieldNeighbourFlag & 3u;  // bit 0: right block, bit 1: left block
    if (mode == 0) {
        for (int half = 0; half < 2; ++half)
            if (edgeFlag & (3u << (2 * half)))
                k().smooth_ver(opx::vc1::row_at(pSrcLeft, 8 * half, srcLeftStep), srcLeftStep,
                               opx::vc1::row_at(pSrcRight, 8 * half, srcRightStep), srcRightStep,
                               opx::vc1::row_at(pDst, 8 * half, dstStep), dstStep, 1, kFrameRows);
    } else if (edgeFlag != 0) {
        for (int field = 0; field < 2; ++field)
            k().smooth_ver(pSrcLeft, srcLeftStep, pSrcRight, srcRightStep, pDst, dstStep, 1,
                           field_rows(field, mode & 2u, mode & 1u));
    }
    return opxOk;
}

OpxResult opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R(Opx16s* pSrcUpper, Opx32s srcUpperStep,
                                                  Opx16s* pSrcBottom, Opx32s srcBottomStep,
                                                  Opx8u* pDst, Opx32s dstStep,
                                                  Opx32u edgeFlag) noexcept {
    OPX_CHECK_NULL(pSrcUpper, pSrcBottom, pDst);
    for (int half = 0; half < 2; ++half)
        if (edgeFlag & (3u << (2 * half)))
            k().smooth_hor(pSrcUpper + 8 * half, srcUpperStep, pSrcBottom + 8 * half, srcBottomStep,
                           pDst + 8 * half, dstStep, 1);
    return opxOk;
}

OpxResult opxiSmoothingChroma_VerEdge_VC1_16s8u_C1R(Opx16s* pSrcLeft, Opx32s srcLeftStep,
                                                    Opx16s* pSrcRight, Opx32s srcRightStep,
                                                    Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrcLeft, pSrcRight, pDst);
    k().smooth_ver(pSrcLeft, srcLeftStep, pSrcRight, srcRightStep, pDst, dstStep, 1, kFrameRows);
    return opxOk;
}

OpxResult opxiSmoothingChroma_HorEdge_VC1_16s8u_C1R(Opx16s* pSrcUpper, Opx32s srcUpperStep,
                                                    Opx16s* pSrcBottom, Opx32s srcBottomStep,
                                                    Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrcUpper, pSrcBottom, pDst);
    k().smooth_hor(pSrcUpper, srcUpperStep, pSrcBottom, srcBottomStep, pDst, dstStep, 1);
    return opxOk;
}

OpxResult opxiSmoothingChroma_VerEdge_VC1_16s8u_P2C2R(Opx16s* pSrcLeftU, Opx32s srcLeftStepU,
                                                      Opx16s* pSrcRightU, Opx32s srcRightStepU,
                                                      Opx16s* pSrcLeftV, Opx32s srcLeftStepV,
                                                      Opx16s* pSrcRightV, Opx32s srcRightStepV,
                                                      Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrcLeftU, pSrcRightU, pSrcLeftV, pSrcRightV, pDst);
    k().smooth_ver(pSrcLeftU, srcLeftStepU, pSrcRightU, srcRightStepU, pDst, dstStep, 2,
                   kFrameRows);
    k().smooth_ver(pSrcLeftV, srcLeftStepV, pSrcRightV, srcRightStepV, pDst + 1, dstStep, 2,
                   kFrameRows);
    return opxOk;
}

OpxResult opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R(Opx16s* pSrcUpperU, Opx32s srcUpperStepU,
                                                      Opx16s* pSrcBottomU, Opx32s srcBottomStepU,
                                                      Opx16s* pSrcUpperV, Opx32s srcUpperStepV,
                                                      Opx16s* pSrcBottomV, Opx32s srcBottomStepV,
                                                      Opx8u* pDst, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrcUpperU, pSrcBottomU, pSrcUpperV, pSrcBottomV, pDst);
    k().smooth_hor(pSrcUpperU, srcUpperStepU, pSrcBottomU, srcBottomStepU, pDst, dstStep, 2);
    k().smooth_hor(pSrcUpperV, srcUpperStepV, pSrcBottomV, srcBottomStepV, pDst + 1, dstStep, 2);
    return opxOk;
}
