// Exported chroma macroblock reconstructions (4:2:0): check the arguments, then run the planar or
// interleaved driver with the build's kernel tables.
#include "frame/check.hpp"
#include "h264/decode/recon.hpp"

using namespace opx::h264;

namespace {

const ReconKernels& k() noexcept { return OPX_SELECT(opx::h264, kRecon); }

constexpr Opx32u kMaxChromaQp = 39;

ChromaParams flat(Opx32u cbp, Opx32u qp) {
    return ChromaParams{cbp, {int(qp), int(qp)}, {nullptr, nullptr}, {false, false}};
}

ChromaParams matrix(Opx32u cbp, Opx32u qpu, Opx32u qpv, const Opx16s* lsu, const Opx16s* lsv,
                    Opx8u bypass) {
    return ChromaParams{
        cbp, {int(qpu), int(qpv)}, {lsu, lsv}, {bypass && qpu == 0, bypass && qpv == 0}};
}

// Kernel for an intra mode with the neighbours of the whole macroblock (or of its two halves),
// after the mode range check; null when the mode lacks a neighbour it needs.
PredChromaFn intra_kernel(Opx32s mode, int edge_top, int edge_bottom) {
    return chroma_kernel(k().intra, mode, mb_avail(edge_top), mb_avail(edge_bottom));
}

// The half-macroblock forms serve DC and vertical only.
PredChromaFn halves_kernel(Opx32s mode, int edge_top, int edge_bottom) {
    return (mode == 0 || mode == 2) ? intra_kernel(mode, edge_top, edge_bottom) : nullptr;
}

}  // namespace

// ---- inter ------------------------------------------------------------------------------------

OpxResult opxiReconstructChromaInterMB_H264_16s8u_P2R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane,
                                                      Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
                                                      Opx32u cbp4x4, Opx32u chromaQP) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), nullptr,
                  flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaInterMB_H264_16s8u_C2R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV,
                                                      Opx32u srcDstUVStep, Opx32u cbp4x4,
                                                      Opx32u chromaQP) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUV);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32s(srcDstUVStep) >= 1, opxErrStep);
    chroma_interleaved(k(), ppSrcDstCoeff, pSrcDstUV, Opx32s(srcDstUVStep), nullptr, 0, 0,
                       flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV, const Opx16s* pQuantTableU,
    const Opx16s* pQuantTableV, Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTableU, pQuantTableV);
    OPX_CHECK(chromaQPU <= kMaxChromaQp && chromaQPV <= kMaxChromaQp, opxErrOutOfRange);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), nullptr,
                  matrix(cbp4x4, chromaQPU, chromaQPV, pQuantTableU, pQuantTableV, bypassFlag));
    return opxOk;
}

OpxResult opxiReconstructChromaInter4x4MB_H264_16s8u_C2R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV,
                                                         Opx32u srcDstUVStep, Opx32u cbp4x4,
                                                         Opx32u chromaQPU, Opx32u chromaQPV,
                                                         const Opx16s* pQuantTableU,
                                                         const Opx16s* pQuantTableV,
                                                         Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUV);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTableU, pQuantTableV);
    OPX_CHECK(chromaQPU <= kMaxChromaQp && chromaQPV <= kMaxChromaQp, opxErrOutOfRange);
    chroma_interleaved(
        k(), ppSrcDstCoeff, pSrcDstUV, Opx32s(srcDstUVStep), nullptr, 0, 0,
        matrix(cbp4x4, chromaQPU, chromaQPV, pQuantTableU, pQuantTableV, bypassFlag));
    return opxOk;
}

// ---- intra ------------------------------------------------------------------------------------

OpxResult opxiReconstructChromaIntraMB_H264_16s8u_P2R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane,
                                                      Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
                                                      Opx32s intraChromaPredMode, Opx32u cbp4x4,
                                                      Opx32u chromaQP, Opx8u edgeType) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = intra_kernel(intraChromaPredMode, edgeType, edgeType);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), pred,
                  flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaIntraMB_H264_16s8u_C2R(Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV,
                                                      Opx32s srcDstUVStep,
                                                      Opx32s intraChromaPredMode, Opx32u cbp4x4,
                                                      Opx32u chromaQP, Opx8u edgeType) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUV);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(srcDstUVStep >= 1, opxErrStep);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = intra_kernel(intraChromaPredMode, edgeType, edgeType);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    const int avail = mb_avail(edgeType);
    chroma_interleaved(k(), ppSrcDstCoeff, pSrcDstUV, srcDstUVStep, pred, avail, avail,
                       flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV, Opx8u edgeType,
    const Opx16s* pQuantTableU, const Opx16s* pQuantTableV, Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTableU, pQuantTableV);
    OPX_CHECK(chromaQPU <= kMaxChromaQp && chromaQPV <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = intra_kernel(intraChromaPredMode, edgeType, edgeType);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), pred,
                  matrix(cbp4x4, chromaQPU, chromaQPV, pQuantTableU, pQuantTableV, bypassFlag));
    return opxOk;
}

OpxResult opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32u srcDstUVStep, Opx32s intraChromaPredMode,
    Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV, Opx8u edgeType, const Opx16s* pQuantTableU,
    const Opx16s* pQuantTableV, Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUV);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTableU, pQuantTableV);
    OPX_CHECK(chromaQPU <= kMaxChromaQp && chromaQPV <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = intra_kernel(intraChromaPredMode, edgeType, edgeType);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    const int avail = mb_avail(edgeType);
    chroma_interleaved(
        k(), ppSrcDstCoeff, pSrcDstUV, Opx32s(srcDstUVStep), pred, avail, avail,
        matrix(cbp4x4, chromaQPU, chromaQPV, pQuantTableU, pQuantTableV, bypassFlag));
    return opxOk;
}

// ---- intra, half macroblocks (macroblock-adaptive frame/field) --------------------------------

OpxResult opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop,
    Opx8u edgeTypeBottom) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = halves_kernel(intraChromaPredMode, edgeTypeTop, edgeTypeBottom);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), pred,
                  flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaIntraHalvesMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop,
    Opx8u edgeTypeBottom) noexcept {
    return opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
        ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, srcDstUVStep, intraChromaPredMode, cbp4x4,
        chromaQP, edgeTypeTop, edgeTypeBottom);
}

OpxResult opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32s srcDstUVStep, Opx32s intraChromaPredMode,
    Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop, Opx8u edgeTypeBottom) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUV);
    OPX_CHECK_NULL(*ppSrcDstCoeff);
    OPX_CHECK(chromaQP <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(srcDstUVStep >= 1, opxErrStep);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = halves_kernel(intraChromaPredMode, edgeTypeTop, edgeTypeBottom);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    chroma_interleaved(k(), ppSrcDstCoeff, pSrcDstUV, srcDstUVStep, pred, mb_avail(edgeTypeTop),
                       mb_avail(edgeTypeBottom), flat(cbp4x4, chromaQP));
    return opxOk;
}

OpxResult opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV,
    Opx8u edgeTypeTop, Opx8u edgeTypeBottom, const Opx16s* pQuantTableU, const Opx16s* pQuantTableV,
    Opx8u bypassFlag) noexcept {
    OPX_CHECK_NULL(ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane);
    OPX_CHECK_NULL(*ppSrcDstCoeff, pQuantTableU, pQuantTableV);
    OPX_CHECK(chromaQPU <= kMaxChromaQp && chromaQPV <= kMaxChromaQp, opxErrOutOfRange);
    OPX_CHECK(Opx32u(intraChromaPredMode) <= 3, opxErrOutOfRange);
    const PredChromaFn pred = halves_kernel(intraChromaPredMode, edgeTypeTop, edgeTypeBottom);
    OPX_CHECK(pred != nullptr, opxErrIntraPredUnavailable);
    chroma_planar(k(), ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, Opx32s(srcDstUVStep), pred,
                  matrix(cbp4x4, chromaQPU, chromaQPV, pQuantTableU, pQuantTableV, bypassFlag));
    return opxOk;
}

OpxResult opxiReconstructChromaIntraHalves4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV,
    Opx8u edgeTypeTop, Opx8u edgeTypeBottom, const Opx16s* pQuantTableU, const Opx16s* pQuantTableV,
    Opx8u bypassFlag) noexcept {
    return opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(
        ppSrcDstCoeff, pSrcDstUPlane, pSrcDstVPlane, srcDstUVStep, intraChromaPredMode, cbp4x4,
        chromaQPU, chromaQPV, edgeTypeTop, edgeTypeBottom, pQuantTableU, pQuantTableV, bypassFlag);
}
