// Exported deinterlacing functions: check the arguments, walk the plane with one kernel table.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "vpp/deinterlace.hpp"

using namespace opx::vpp;

namespace {

const DeinterlaceKernels& k() noexcept { return OPX_SELECT(opx::vpp, kDeinterlace); }

bool is_slice_layout(Opx32u layout) noexcept { return layout == 1 || layout == 4 || layout == 16; }

// The triangle filter on `width` bytes a row (twice the sample count for two channels: the
// filter is vertical, so interleaved channels never mix).
OpxResult triangle(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                   OpxRoiSize roiSize, std::ptrdiff_t bytes_per_sample, Opx32u centerWeight,
                   Opx32u layout) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(roiSize.width >= 1 && roiSize.height >= 3, opxErrSize);
    if (!is_slice_layout(layout)) return opxOk;  // nothing to do for other layouts
    opx::vpp::triangle(k(), pSrc, srcStep, pDst, dstStep, roiSize.width * bytes_per_sample,
                       roiSize.height, centerWeight, layout);
    return opxOk;
}

}  // namespace

OpxResult opxiDeinterlaceEdgeDetect_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                           Opx32s dstStep, OpxRoiSize roiSize, Opx32s fieldNum,
                                           Opx32s copyBorder) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(roiSize.width >= 1 && roiSize.height >= 1, opxErrSize);
    // Any nonzero fieldNum means "below": the rows read stay within 0 .. h (row h only
    // without the border copy), never further down.
    edge_detect(k(), pSrc, srcStep, pDst, dstStep, roiSize.width, roiSize.height,
                fieldNum != 0 ? 1 : 0, copyBorder != 0);
    return opxOk;
}

OpxResult opxiDeinterlaceMedianThreshold_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                Opx32s dstStep, OpxRoiSize roiSize,
                                                Opx32s threshold, Opx32s fieldNum,
                                                Opx32s copyBorder) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(roiSize.width >= 1 && roiSize.height >= 2, opxErrSize);
    median_threshold(k(), pSrc, srcStep, pDst, dstStep, roiSize.width, roiSize.height, threshold,
                     fieldNum == 1, copyBorder != 0);
    return opxOk;
}

OpxResult opxiDeinterlaceFilterTriangle_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, OpxRoiSize roiSize,
                                               Opx32u centerWeight, Opx32u layout) noexcept {
    return triangle(pSrc, srcStep, pDst, dstStep, roiSize, 1, centerWeight, layout);
}

OpxResult opxiDeinterlaceFilterTriangle_8u_C2R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, OpxRoiSize roiSize,
                                               Opx32u centerWeight, Opx32u layout) noexcept {
    return triangle(pSrc, srcStep, pDst, dstStep, roiSize, 2, centerWeight, layout);
}
