// Exported AVS luma interpolation and weighted prediction: check, pick the kernel, call it on the
// reference plane or, near the picture edges, on a clamped copy of the filter support (the
// H.264 Block functions' work buffer and gather kernel: AVS fetches reference samples outside
// the picture at clamped coordinates the same way).
#include <cstdint>

#include "avs/avs.hpp"
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/interp.hpp"
#include "h264/decode/interp_edge.hpp"

using namespace opx::avs;
namespace h264 = opx::h264;

namespace {

const InterpKernels& k() noexcept {
    return OPX_SELECT(opx::avs, kInterp);
}
const h264::InterpKernels& k264() noexcept {
    return OPX_SELECT(opx::h264, kInterp);
}

constexpr bool block_side_ok(int n) noexcept {
    return n == 8 || n == 16;
}

// One dimension of the reference region: integer start and fraction of a quarter-sample vector
// component; a fraction widens the region by the filter's 2 samples before and 3 after.
struct Axis {
    std::int64_t start;
    int length, frac;
};
constexpr Axis axis(Opx32s pos, Opx32s mv, int size) noexcept {
    const int frac = mv & 3;
    const std::int64_t start = std::int64_t{pos} + (mv >> 2);
    return frac ? Axis{start - 2, size + 5, frac} : Axis{start, size, 0};
}

}  // namespace

OpxResult opxiInterpolateLumaBlock_AVS_8u_P1R(const OpxInterpolateBlock8u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock8u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pDst[0]);
    const int w = r.blockSize.width, h = r.blockSize.height;
    // Kernels and the edge work buffer exist for 8 and 16 only.
    OPX_CHECK(block_side_ok(w) && block_side_ok(h), opxErrSize);
    // An empty picture has no sample to clamp to.
    OPX_CHECK(r.frameSize.width >= 1 && r.frameSize.height >= 1, opxErrSize);
    const std::ptrdiff_t step = r.srcStep;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {  // no edge test, as the standard's copy
        k().luma[interp_index(w, 0, 0)](
            r.pSrc[0] + std::ptrdiff_t{r.blockPos.y} * step + r.blockPos.x, step, r.pDst[0],
            r.dstStep, h);
        return opxOk;
    }
    const Axis ax = axis(r.blockPos.x, r.motionVector.x, w);
    const Axis ay = axis(r.blockPos.y, r.motionVector.y, h);
    const InterpFn kernel = k().luma[interp_index(w, ax.frac, ay.frac)];
    const int cx = ax.frac ? 2 : 0, cy = ay.frac ? 2 : 0;
    const h264::edge::Region region{ax.start, ay.start, ax.length, ay.length};
    if (h264::edge::inside(region, r.frameSize.width, r.frameSize.height)) {
        kernel(r.pSrc[0] + static_cast<std::ptrdiff_t>(ay.start + cy) * step +
                   static_cast<std::ptrdiff_t>(ax.start + cx),
               step, r.pDst[0], r.dstStep, h);
        return opxOk;
    }
    // At most 21 × 21 samples: inside the 23-row, 32-column buffer.
    h264::edge::WorkBuffer<Opx8u> buf;
    k264().gather[0](r.pSrc[0], step, r.frameSize.width, r.frameSize.height, region, buf.data);
    kernel(buf.data + cy * h264::edge::kPitch + cx, h264::edge::kPitch, r.pDst[0], r.dstStep, h);
    return opxOk;
}

OpxResult opxiWeightPrediction_AVS_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                          Opx32s dstStep, Opx32s scale, Opx32s offset,
                                          OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK((roiSize.width & ~28) == 0 && roiSize.height % 4 == 0, opxErrSize);
    k().weight(pSrc, srcStep, pDst, dstStep, scale, offset, roiSize.width, roiSize.height);
    return opxOk;
}
