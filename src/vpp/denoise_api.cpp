// Exported denoising functions: check the arguments, make and release the state records, run
// the plane walks with one kernel table.
#include <cmath>
#include <cstring>

#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "opxcore.h"
#include "vpp/denoise.hpp"

using namespace opx::vpp;

namespace {

const DenoiseKernels& k() noexcept { return OPX_SELECT(opx::vpp, kDenoise); }

// A rectangle with a non-negative origin and positive sizes that lies in a picture of `size`;
// sums in 64 bits so that huge coordinates cannot wrap into range.
bool inside(const OpxRect& r, OpxRoiSize size) noexcept {
    return r.x >= 0 && r.y >= 0 && r.width >= 1 && r.height >= 1 &&
           std::int64_t{r.x} + r.width <= size.width && std::int64_t{r.y} + r.height <= size.height;
}

Region region_of(const OpxRect& r) noexcept { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

// opxMalloc takes a 32-bit size: larger requests fail as an allocation would.
void* allocate(std::int64_t bytes) noexcept {
    if (bytes < 1 || bytes > INT32_MAX) return nullptr;
    return opxMalloc(static_cast<Opx32s>(bytes));
}

}  // namespace

OpxResult opxiFilterDenoiseSmooth_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                         Opx32s dstStep, OpxRoiSize size, const OpxRect* roi,
                                         Opx32s threshold, Opx8u* pWork) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, roi, pWork);
    OPX_CHECK(size.width >= 1 && size.height >= 1, opxErrSize);
    OPX_CHECK(roi->height >= 3, opxErrRegionTooSmall);
    OPX_CHECK(inside(*roi, size), opxErrSize);
    smooth(k(), pSrc, srcStep, pDst, dstStep, size.width, size.height, region_of(*roi), threshold,
           pWork);
    return opxOk;
}

OpxResult opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(OpxDenoiseAdaptiveState** ppState,
                                                   OpxRoiSize roiSize,
                                                   OpxRoiSize maskSize) noexcept {
    OPX_CHECK_NULL(ppState);
    OPX_CHECK(roiSize.width >= 1 && roiSize.height >= 1 && maskSize.width >= 1 &&
                  maskSize.height >= 1,
              opxErrSize);
    OPX_CHECK(roiSize.width >= maskSize.width && roiSize.height >= maskSize.height, opxErrSize);
    const std::int64_t n = maskSize.width > maskSize.height ? maskSize.width : maskSize.height;
    // (6n + 3)(2n + 1) + 1 entries, one spare after them for the vector gather. Beyond n = 2^20
    // the product would not even fit 64 bits; such tables are far above what opxMalloc gives.
    if (n > (1 << 20)) return opxErrMemAlloc;
    const std::int64_t entries = (6 * n + 3) * (2 * n + 1) + 1;
    auto* state = static_cast<OpxDenoiseAdaptiveState*>(allocate(sizeof(OpxDenoiseAdaptiveState)));
    auto* table = static_cast<Opx16u*>(allocate((entries + 1) * 2));
    if (!state || !table) {
        opxFree(state);
        opxFree(table);
        return opxErrMemAlloc;
    }
    table[0] = 1;
    for (std::int64_t i = 1; i < entries; ++i) {
        const double v = std::floor(0.5 + 65535.0 / static_cast<double>(i));
        table[i] = static_cast<Opx16u>(v > 65535 ? 65535 : v);
    }
    table[entries] = 0;
    state->mask_width = maskSize.width;
    state->mask_height = maskSize.height;
    state->roi_width = roiSize.width;
    state->roi_height = roiSize.height;
    state->table = table;
    *ppState = state;
    return opxOk;
}

OpxResult opxiFilterDenoiseAdaptiveFree_8u_C1(OpxDenoiseAdaptiveState* pState) noexcept {
    OPX_CHECK_NULL(pState);
    opxFree(pState->table);
    opxFree(pState);
    return opxOk;
}

OpxResult opxiFilterDenoiseAdaptive_8u_C1R(const Opx8u* const ppSrc[3], Opx32s srcStep,
                                           Opx8u* pDst, Opx32s dstStep, OpxRoiSize size,
                                           const OpxRect* roi, OpxRoiSize maskSize,
                                           Opx32s threshold, Opx32s mode,
                                           OpxDenoiseAdaptiveState* pState) noexcept {
    OPX_CHECK_NULL(ppSrc);
    OPX_CHECK_NULL(ppSrc[0], ppSrc[1], ppSrc[2], pDst, roi, pState);
    OPX_CHECK(size.width >= 1 && size.height >= 1 && maskSize.width >= 1 && maskSize.height >= 1,
              opxErrSize);
    OPX_CHECK(inside(*roi, size), opxErrSize);
    OPX_CHECK(maskSize.width == pState->mask_width && maskSize.height == pState->mask_height &&
                  roi->width == pState->roi_width && roi->height == pState->roi_height,
              opxErrSize);
    OPX_CHECK(mode >= 0 && mode <= 3, opxWrnNothingDone);
    const AdaptiveArgs a{ppSrc[0], ppSrc[1], ppSrc[2], srcStep,    pDst,
                         dstStep,  size.width, size.height, region_of(*roi), maskSize.width,
                         maskSize.height, threshold, mode, pState->table};
    adaptive(k(), a);
    return opxOk;
}

OpxResult opxiFilterDenoiseMosquitoInitAlloc_8u_C1(OpxDenoiseMosquitoState** ppState,
                                                   OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(ppState);
    OPX_CHECK(roiSize.width >= 1 && roiSize.height >= 1, opxErrSize);
    const std::int64_t w = roiSize.width, h = roiSize.height;
    const std::int64_t blocks = ((w / 8 + 1) * (h / 8 + 1) * 20 + 15) & ~std::int64_t{15};
    const std::int64_t samples = ((w + 8) * (h + 8) + 15) & ~std::int64_t{15};
    const std::int64_t bytes = blocks + samples + kMosquitoHeaderBytes + 15;  // + 495
    void* mem = allocate(bytes);
    if (!mem) return opxErrMemAlloc;
    std::memset(mem, 0, static_cast<std::size_t>(bytes));
    auto* base = reinterpret_cast<unsigned char*>(
        (reinterpret_cast<std::uintptr_t>(mem) + 15) & ~std::uintptr_t{15});
    auto* state = reinterpret_cast<OpxDenoiseMosquitoState*>(base);
    state->width = roiSize.width;
    state->height = roiSize.height;
    std::memcpy(state->tune, kMosquitoTune, sizeof state->tune);
    state->allocation = mem;
    state->blocks = base + kMosquitoHeaderBytes;
    state->samples = base + kMosquitoHeaderBytes + blocks;
    *ppState = state;
    return opxOk;
}

OpxResult opxiFilterDenoiseMosquitoFree_8u_C1(OpxDenoiseMosquitoState* pState) noexcept {
    OPX_CHECK_NULL(pState);
    OPX_CHECK_NULL(pState->allocation);
    opxFree(pState->allocation);
    return opxOk;
}

OpxResult opxiFilterDenoiseMosquito_8u_C1R(const Opx8u* const ppSrc[2], Opx32s srcStep,
                                           Opx8u* pDst, Opx32s dstStep, OpxRoiSize size,
                                           const OpxRect* roi,
                                           OpxDenoiseMosquitoState* pState) noexcept {
    OPX_CHECK_NULL(ppSrc);
    OPX_CHECK_NULL(ppSrc[0], ppSrc[1], pDst, roi, pState);
    OPX_CHECK_NULL(pState->samples, pState->blocks);
    OPX_CHECK(pState->width >= 1 && pState->height >= 1, opxErrSize);
    OPX_CHECK(size.width >= 1 && size.height >= 1, opxErrSize);
    OPX_CHECK(inside(*roi, size), opxErrSize);
    OPX_CHECK(roi->width == pState->width && roi->height == pState->height, opxErrSize);
    // Whole blocks of the picture's 8×8 grid inside the region.
    const std::int64_t bx0 = (std::int64_t{roi->x} + 7) / 8, bx1 = (std::int64_t{roi->x} + roi->width) / 8;
    const std::int64_t by0 = (std::int64_t{roi->y} + 7) / 8, by1 = (std::int64_t{roi->y} + roi->height) / 8;
    OPX_CHECK(bx1 > bx0 && by1 > by0, opxErrRegionTooSmall);
    mosquito(ppSrc[0], ppSrc[1], srcStep, pDst, dstStep, region_of(*roi), pState);
    return opxOk;
}
