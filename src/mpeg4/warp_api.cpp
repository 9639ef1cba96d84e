// Exported sprite warping, global motion vector and brightness change functions. Init checks every
// argument before it writes (nothing is written on failure) and clears the record first, so no
// field is left undefined for any number of points.
#include <cstring>

#include "frame/check.hpp"
#include "mpeg4/quant.hpp"
#include "mpeg4/warp.hpp"

using namespace opx::mpeg4;

namespace {

const WarpKernels& k() noexcept {
    return OPX_SELECT(opx::mpeg4, kWarp);
}

// n // d, rounding halves away from zero (d > 0).
std::int64_t div_half_away(std::int64_t n, std::int64_t d) noexcept {
    return n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
}

int log2_ceil(std::int64_t v, std::int64_t* pow) noexcept {
    int e = 0;
    while ((std::int64_t{1} << e) < v) ++e;
    *pow = std::int64_t{1} << e;
    return e;
}

const WarpRecord* record(const OpxWarpStateMPEG4* p) noexcept {
    return align_record<WarpRecord>(p);
}

}  // namespace

OpxResult opxiWarpGetSize_MPEG4(Opx32s* pSize) noexcept {
    OPX_CHECK_NULL(pSize);
    *pSize = kWarpSize;
    return opxOk;
}

OpxResult opxiWarpInit_MPEG4(OpxWarpStateMPEG4* pState, const Opx32s* pDu, const Opx32s* pDv,
                             Opx32s numPoints, Opx32s spriteType, Opx32s warpAccuracy,
                             Opx32s roundingType, Opx32s quarterSample, Opx32s fcode,
                             const OpxRect* pSpriteRect, const OpxRect* pVopRect) noexcept {
    OPX_CHECK_NULL(pState, pSpriteRect, pVopRect);
    if (numPoints > 0) OPX_CHECK_NULL(pDu, pDv);
    OPX_CHECK(numPoints >= 0 && numPoints <= 4, opxErrOutOfRange);
    OPX_CHECK(numPoints != 4 || spriteType == 1, opxErrOutOfRange);
    OPX_CHECK(warpAccuracy >= 0 && warpAccuracy <= 3, opxErrOutOfRange);
    OPX_CHECK(fcode >= 1 && fcode <= 7, opxErrOutOfRange);
    OPX_CHECK(pSpriteRect->width > 0 && pSpriteRect->height > 0, opxErrSize);
    OPX_CHECK(pVopRect->width >= 1 && pVopRect->height >= 1, opxErrSize);

    WarpRecord* r = align_record<WarpRecord>(pState);
    std::memset(r, 0, sizeof *r);
    const int a = warpAccuracy, rho = 3 - a;
    r->rounding = spriteType != 1 ? (roundingType & 1) : 0;
    r->quarter = quarterSample ? 1 : 0;
    r->points = numPoints;
    r->accuracy = a;
    r->sprite_type = spriteType;
    r->mv_lo = -(16 << fcode);
    r->mv_hi = (16 << fcode) - 1;
    r->sx = pSpriteRect->x;
    r->sy = pSpriteRect->y;
    r->sw = pSpriteRect->width;
    r->sh = pSpriteRect->height;
    r->cx = pSpriteRect->x / 2;
    r->cy = pSpriteRect->y / 2;
    r->cw = (pSpriteRect->width + 1) >> 1;
    r->ch = (pSpriteRect->height + 1) >> 1;
    r->vx = pVopRect->x;
    r->vy = pVopRect->y;
    r->vw = pVopRect->width;
    r->vh = pVopRect->height;
    r->k = 128 - (r->rounding << rho);
    r->id = kIdWarp;
    if (numPoints == 0) return opxOk;

    const std::int64_t x = pVopRect->x, y = pVopRect->y, W = pVopRect->width, H = pVopRect->height;
    const std::int64_t du0 = pDu[0], dv0 = pDv[0];
    const std::int64_t i0 = 8 * (2 * x + du0), j0 = 8 * (2 * y + dv0);
    r->i0 = i0;
    r->j0 = j0;
    auto chroma_of = [&](std::int64_t v) {
        const std::int64_t t = asr(v, rho);
        const std::int64_t c = spriteType == 1 ? asr(t + 1, 1) : (asr(t, 1) | (t & 1));
        return c * (std::int64_t{1} << rho);
    };
    r->ci0 = chroma_of(i0);
    r->cj0 = chroma_of(j0);
    if (numPoints == 4) {
        const std::int64_t sc = std::int64_t{1} << a;  // half samples to 1/s
        const std::int64_t s = std::int64_t{2} << a;
        const std::int64_t cxs[4] = {x, x + W, x, x + W}, cys[4] = {y, y, y + H, y + H};
        for (int kpt = 0; kpt < 4; ++kpt) {
            std::int64_t du = du0, dv = dv0;
            if (kpt == 1 || kpt == 3) du += pDu[1], dv += pDv[1];
            if (kpt == 2 || kpt == 3) du += pDu[2], dv += pDv[2];
            if (kpt == 3) du += pDu[3], dv += pDv[3];
            r->corner[2 * kpt] = s * cxs[kpt] + sc * du;
            r->corner[2 * kpt + 1] = s * cys[kpt] + sc * dv;
        }
        return opxOk;
    }
    if (numPoints == 1) return opxOk;

    std::int64_t Wp, Hp;
    const int alpha = log2_ceil(W, &Wp);
    const std::int64_t i1 = 8 * (du0 + pDu[1] + 2 * (x + W)), j1 = 16 * y + 8 * (dv0 + pDv[1]);
    const std::int64_t i1v =
        16 * (x + Wp) + div_half_away((W - Wp) * (i0 - 16 * x) + Wp * (i1 - 16 * (x + W)), W);
    const std::int64_t j1v =
        16 * y + div_half_away((W - Wp) * (j0 - 16 * y) + Wp * (j1 - 16 * y), W);
    if (numPoints == 2) {
        r->e = alpha;
        r->fx = i1v - i0;
        r->fy = j0 - j1v;
        r->gx = j1v - j0;
        r->gy = i1v - i0;
        return opxOk;
    }
    const int beta = log2_ceil(H, &Hp);
    const std::int64_t i2 = 16 * x + 8 * (du0 + pDu[2]), j2 = 8 * (dv0 + pDv[2] + 2 * (y + H));
    const std::int64_t i2v =
        16 * x + div_half_away((H - Hp) * (i0 - 16 * x) + Hp * (i2 - 16 * x), H);
    const std::int64_t j2v =
        16 * (y + Hp) + div_half_away((H - Hp) * (j0 - 16 * y) + Hp * (j2 - 16 * (y + H)), H);
    if (alpha >= beta) {
        r->e = alpha;
        r->fx = i1v - i0;
        r->gx = j1v - j0;
        r->fy = (i2v - i0) * (std::int64_t{1} << (alpha - beta));
        r->gy = (j2v - j0) * (std::int64_t{1} << (alpha - beta));
    } else {
        r->e = beta;
        r->fx = (i1v - i0) * (std::int64_t{1} << (beta - alpha));
        r->gx = (j1v - j0) * (std::int64_t{1} << (beta - alpha));
        r->fy = i2v - i0;
        r->gy = j2v - j0;
    }
    return opxOk;
}

OpxResult opxiWarpLuma_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst, Opx32s dstStep,
                                    const OpxRect* pDstRect,
                                    const OpxWarpStateMPEG4* pState) noexcept {
    OPX_CHECK_NULL(pSrc, pDst, pDstRect, pState);
    const WarpRecord* r = record(pState);
    OPX_CHECK(r->id == kIdWarp, opxErrContextMatch);
    if (pDstRect->width <= 0 || pDstRect->height <= 0) return opxOk;
    k().warp(*r, false, pSrc, srcStep, pDst, dstStep, pDstRect->x, pDstRect->y, pDstRect->width,
             pDstRect->height);
    return opxOk;
}

OpxResult opxiWarpChroma_MPEG4_8u_P2R(const Opx8u* pSrcCb, Opx32s srcStepCb, const Opx8u* pSrcCr,
                                      Opx32s srcStepCr, Opx8u* pDstCb, Opx32s dstStepCb,
                                      Opx8u* pDstCr, Opx32s dstStepCr, const OpxRect* pDstRect,
                                      const OpxWarpStateMPEG4* pState) noexcept {
    OPX_CHECK_NULL(pSrcCb, pSrcCr, pDstCb, pDstCr, pDstRect, pState);
    const WarpRecord* r = record(pState);
    OPX_CHECK(r->id == kIdWarp, opxErrContextMatch);
    if (pDstRect->width <= 0 || pDstRect->height <= 0) return opxOk;
    const int x = pDstRect->x, y = pDstRect->y, w = pDstRect->width, h = pDstRect->height;
    k().warp(*r, true, pSrcCb, srcStepCb, pDstCb, dstStepCb, x, y, w, h);
    k().warp(*r, true, pSrcCr, srcStepCr, pDstCr, dstStepCr, x, y, w, h);
    return opxOk;
}

OpxResult opxiCalcGlobalMV_MPEG4(Opx32s xOffset, Opx32s yOffset, OpxMotionVec* pMv,
                                 const OpxWarpStateMPEG4* pState) noexcept {
    OPX_CHECK_NULL(pMv, pState);
    const WarpRecord* r = record(pState);
    OPX_CHECK(r->id == kIdWarp, opxErrContextMatch);
    std::int64_t mx = 0, my = 0;
    const int q = r->quarter;
    if (r->points == 1) {
        mx = asr(r->i0, 3 - q);
        my = asr(r->j0, 3 - q);
    } else if (r->points == 2 || r->points == 3) {
        const int a = r->accuracy, rho = 3 - a;
        std::int64_t sx = 0, sy = 0;
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) {
                const std::int64_t pi = static_cast<std::int64_t>(xOffset) + i;
                const std::int64_t pj = static_cast<std::int64_t>(yOffset) + j;
                std::int64_t F, G;
                ref::warp_position(*r, false, pi, pj, &F, &G);
                // displacement in 1/s sample (s = 2^(a + 1)), absolute positions
                sx += asr(F + 16 * static_cast<std::int64_t>(r->sx), rho) -
                      pi * (std::int64_t{2} << a);
                sy += asr(G + 16 * static_cast<std::int64_t>(r->sy), rho) -
                      pj * (std::int64_t{2} << a);
            }
        const int sh = a + 8 - q;
        mx = asr(sx - (sx < 0) + (std::int64_t{1} << (sh - 1)), sh);
        my = asr(sy - (sy < 0) + (std::int64_t{1} << (sh - 1)), sh);
    }
    auto clampv = [r](std::int64_t v) {
        return static_cast<Opx16s>(v < r->mv_lo ? r->mv_lo : v > r->mv_hi ? r->mv_hi : v);
    };
    pMv->dx = clampv(mx);
    pMv->dy = clampv(my);
    return opxOk;
}

OpxResult opxiChangeSpriteBrightness_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s width,
                                                   Opx32s height,
                                                   Opx32s brightnessChange) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(brightnessChange >= -112 && brightnessChange <= 1648, opxErrOutOfRange);
    if (brightnessChange == 0 || width <= 0 || height <= 0) return opxOk;
    const int b = brightnessChange;
    const int f = (1024 * b + (b < 0 ? -50 : 50)) / 100 + 1024;
    k().brightness(pSrcDst, srcDstStep, width, height, f);
    return opxOk;
}
