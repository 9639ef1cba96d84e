// Exported H.264 interpolation, averaging and plane expansion: check the arguments, pick a
// kernel, call it (on the picture or on an edge work buffer).
#include <cstring>

#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/expand_plane.hpp"
#include "h264/decode/interp.hpp"
#include "h264/decode/interp_edge.hpp"

using namespace opx::h264;
using opx::h264::edge::kPitch;

namespace {

const InterpKernels& k() noexcept { return OPX_SELECT(opx::h264, kInterp); }

constexpr bool luma_width_ok(int w) {
    return w == 4 || w == 8 || w == 16;
}
constexpr bool chroma_width_ok(int w) {
    return w == 2 || w == 4 || w == 8;
}
// Plain functions: any positive height of the allowed multiple.
constexpr bool luma_height_ok(int h) {
    return h > 0 && h % 4 == 0;
}
constexpr bool chroma_height_ok(int h) {
    return h > 0 && h % 2 == 0;
}
// Functions that go through the work buffer: at most 16 rows.
constexpr int kMaxEdgeHeight = 16;
constexpr bool bit_depth_ok(int d) {
    return d >= 8 && d <= 14;
}
constexpr bool fraction_ok(int dx, int dy, unsigned max) {
    return static_cast<unsigned>(dx | dy) <= max;
}

template <class T>
const T* offset(const T* p, std::int64_t x, std::int64_t y, std::ptrdiff_t step) {
    return p + static_cast<std::ptrdiff_t>(y) * step + static_cast<std::ptrdiff_t>(x);
}

// ---- Top and Bottom ---------------------------------------------------------------------------

// Luma support rows and columns (block coordinates) for fractions dx, dy.
struct Support {
    int r0, r1, c0, c1;
};
constexpr Support luma_support(int w, int h, int dx, int dy) {
    return {dy ? -2 : 0, dy ? h + 2 : h - 1, dx ? -2 : 0, dx ? w + 2 : w - 1};
}
constexpr Support chroma_support(int w, int h, int dx, int dy) {
    return {0, dy ? h : h - 1, 0, dx ? w : w - 1};
}

template <class T, class RowOf>
T* gather_support(const T* src, std::ptrdiff_t step, const Support& s, RowOf row_of,
                  edge::WorkBuffer<T>& buf) {
    T* origin = buf.data + 2 * kPitch + 2;
    edge::gather_rows(src, step, s.r0, s.r1, s.c0, s.c1, row_of, origin);
    return origin;
}

template <class RowOf>
void luma8_rows(const Opx8u* src, Opx32s src_step, Opx8u* dst, Opx32s dst_step, int dx, int dy,
                OpxRoiSize roi, RowOf row_of) {
    edge::WorkBuffer<Opx8u> buf;
    const Opx8u* b =
        gather_support(src, src_step, luma_support(roi.width, roi.height, dx, dy), row_of, buf);
    k().luma8[luma8_index(roi.width, dx, dy)](b, kPitch, dst, dst_step, roi.height);
}

template <class RowOf>
void chroma8_rows(const Opx8u* src, Opx32s src_step, Opx8u* dst, Opx32s dst_step, int dx, int dy,
                  OpxRoiSize roi, RowOf row_of) {
    edge::WorkBuffer<Opx8u> buf;
    const Opx8u* b =
        gather_support(src, src_step, chroma_support(roi.width, roi.height, dx, dy), row_of, buf);
    k().chroma8[chroma8_index(roi.width, dx, dy)](b, kPitch, dst, dst_step, roi.height,
                                                chroma_frac(dx, dy));
}

template <class RowOf>
void luma16_rows(const OpxInterpolate16u& p, RowOf row_of) {
    edge::WorkBuffer<Opx16u> buf;
    const Opx16u* b =
        gather_support(p.pSrc, p.srcStep,
                       luma_support(p.roiSize.width, p.roiSize.height, p.dx, p.dy), row_of, buf);
    k().luma16[p.dy * 4 + p.dx](b, kPitch, p.pDst, p.dstStep, p.roiSize.width, p.roiSize.height,
                              (1 << p.bitDepth) - 1);
}

template <class RowOf>
void chroma16_rows(const OpxInterpolate16u& p, RowOf row_of) {
    edge::WorkBuffer<Opx16u> buf;
    const Opx16u* b =
        gather_support(p.pSrc, p.srcStep,
                       chroma_support(p.roiSize.width, p.roiSize.height, p.dx, p.dy), row_of, buf);
    k().chroma16[chroma16_index(p.dx, p.dy)](b, kPitch, p.pDst, p.dstStep, p.roiSize.width,
                                           p.roiSize.height, p.dx, p.dy);
}

edge::TopRows top_rows(int out) {
    return {out};
}
edge::BottomRows bottom_rows(int height, int out) {
    return {static_cast<int>(std::int64_t{height} - 1 - out), out > 0};
}

// ---- checks shared by the 16-bit record functions ---------------------------------------------

OpxResult check_luma16(const OpxInterpolate16u* p) {
    OPX_CHECK_NULL(p);
    OPX_CHECK_NULL(p->pSrc, p->pDst);
    const int w = p->roiSize.width, h = p->roiSize.height;
    OPX_CHECK(p->srcStep >= w && p->dstStep >= w, opxErrStep);
    OPX_CHECK(p->dx >= 0 && p->dx <= 3 && p->dy >= 0 && p->dy <= 3, opxErrBadArg);
    OPX_CHECK(luma_width_ok(w) && luma_width_ok(h) && w + h != 20, opxErrSize);
    OPX_CHECK(bit_depth_ok(p->bitDepth), opxErrOutOfRange);
    return opxOk;
}

OpxResult check_chroma16(const OpxInterpolate16u* p) {
    OPX_CHECK_NULL(p);
    OPX_CHECK_NULL(p->pSrc, p->pDst);
    OPX_CHECK(p->srcStep >= 8 && p->dstStep >= 8, opxErrStep);
    OPX_CHECK(p->dx >= 0 && p->dx <= 7 && p->dy >= 0 && p->dy <= 7, opxErrBadArg);
    const int w = p->roiSize.width, h = p->roiSize.height;
    OPX_CHECK(h == 2 || h == 4 || h == 8 || h == 16, opxErrSize);
    OPX_CHECK(chroma_width_ok(w), opxErrSize);
    OPX_CHECK(bit_depth_ok(p->bitDepth), opxErrOutOfRange);
    return opxOk;
}

// ---- Block functions ---------------------------------------------------------------------------

// Integer part and fraction of a vector component with `bits` fraction bits, and the reference
// region of one dimension (start back by `tap_before` and `taps` wider when fractional).
struct Axis {
    std::int64_t start;
    int length;
    int frac;
};
constexpr Axis axis(Opx32s pos, Opx32s mv, int bits, int size, int tap_before, int taps) {
    const int frac = mv & ((1 << bits) - 1);
    const std::int64_t start = std::int64_t{pos} + (mv >> bits);
    return frac ? Axis{start - tap_before, size + taps, frac} : Axis{start, size, 0};
}

template <class R>
OpxResult check_block_common(const R& r, bool luma) {
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (luma) {
        OPX_CHECK(luma_width_ok(w) && luma_height_ok(h) && h <= kMaxEdgeHeight, opxErrSize);
    } else {
        OPX_CHECK(chroma_width_ok(w) && chroma_height_ok(h) && h <= kMaxEdgeHeight, opxErrSize);
    }
    OPX_CHECK(r.frameSize.width >= 1 && r.frameSize.height >= 1, opxErrSize);
    return opxOk;
}

// Runs `filter(c, src, step, frac_x, frac_y)` on the reference region of a Block call in each of
// the first `planes` source planes (c = 0, 1): straight from the plane when the region lies inside
// the picture, else from a clamped copy. The region is found once for both planes (they share
// size, position and vector). E is the element of one picture sample (a CbCr pair for
// interleaved chroma).
template <class E, class T, class R, class Filter>
void block_region(const T* const* plane, int planes, const R& r, int bits, int tap_before,
                  int taps, Filter filter) {
    const Axis ax = axis(r.blockPos.x, r.motionVector.x, bits, r.blockSize.width, tap_before, taps);
    const Axis ay =
        axis(r.blockPos.y, r.motionVector.y, bits, r.blockSize.height, tap_before, taps);
    const edge::Region region{ax.start, ay.start, ax.length, ay.length};
    const int cx = ax.frac ? tap_before : 0, cy = ay.frac ? tap_before : 0;
    constexpr int kPerE = sizeof(E) / sizeof(T);  // 2 for an interleaved pair of 8-bit samples
    if (edge::inside(region, r.frameSize.width, r.frameSize.height)) {
        for (int c = 0; c < planes; ++c)
            filter(c, offset(plane[c], (ax.start + cx) * kPerE, ay.start + cy, r.srcStep),
                   r.srcStep, ax.frac, ay.frac);
        return;
    }
    edge::WorkBuffer<E> buf;
    for (int c = 0; c < planes; ++c) {
        k().gather[sizeof(E) - 1](reinterpret_cast<const unsigned char*>(plane[c]),
                                std::ptrdiff_t{r.srcStep} * static_cast<std::ptrdiff_t>(sizeof(T)),
                                r.frameSize.width, r.frameSize.height, region,
                                reinterpret_cast<unsigned char*>(buf.data));
        filter(c, reinterpret_cast<const T*>(buf.data + cy * kPitch + cx), kPitch * kPerE, ax.frac,
               ay.frac);
    }
}

}  // namespace

// ---- luma, 8-bit -------------------------------------------------------------------------------

OpxResult opxiInterpolateLuma_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                          Opx32s dstStep, Opx32s dx, Opx32s dy,
                                          OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(fraction_ok(dx, dy, 3), opxErrBadArg);
    OPX_CHECK(luma_width_ok(roiSize.width) && luma_height_ok(roiSize.height), opxErrSize);
    k().luma8[luma8_index(roiSize.width, dx, dy)](pSrc, srcStep, pDst, dstStep, roiSize.height);
    return opxOk;
}

namespace {

// Checks of the 8-bit Top and Bottom functions (luma: fractions 0..3, chroma: 0..7), in order.
template <bool Luma>
OpxResult check_rows8(const Opx8u* src, const Opx8u* dst, Opx32s dx, Opx32s dy,
                      OpxRoiSize roi) noexcept {
    OPX_CHECK_NULL(src, dst);
    OPX_CHECK(fraction_ok(dx, dy, Luma ? 3 : 7), opxErrBadArg);
    const bool width_ok = Luma ? luma_width_ok(roi.width) : chroma_width_ok(roi.width);
    const bool height_ok = Luma ? luma_height_ok(roi.height) : chroma_height_ok(roi.height);
    OPX_CHECK(width_ok && height_ok && roi.height <= kMaxEdgeHeight, opxErrSize);
    return opxOk;
}

}  // namespace

OpxResult opxiInterpolateLumaTop_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                             Opx32s dstStep, Opx32s dx, Opx32s dy, Opx32s outPixels,
                                             OpxRoiSize roiSize) noexcept {
    if (const OpxResult r = check_rows8<true>(pSrc, pDst, dx, dy, roiSize); r != opxOk) return r;
    luma8_rows(pSrc, srcStep, pDst, dstStep, dx, dy, roiSize, top_rows(outPixels));
    return opxOk;
}

OpxResult opxiInterpolateLumaBottom_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                Opx32s dstStep, Opx32s dx, Opx32s dy,
                                                Opx32s outPixels, OpxRoiSize roiSize) noexcept {
    if (const OpxResult r = check_rows8<true>(pSrc, pDst, dx, dy, roiSize); r != opxOk) return r;
    luma8_rows(pSrc, srcStep, pDst, dstStep, dx, dy, roiSize,
               bottom_rows(roiSize.height, outPixels));
    return opxOk;
}

// ---- luma, 16-bit ------------------------------------------------------------------------------

OpxResult opxiInterpolateLuma_H264_16u_C1R(const OpxInterpolate16u* pSrcDst) noexcept {
    if (const OpxResult r = check_luma16(pSrcDst); r != opxOk) return r;
    const OpxInterpolate16u& p = *pSrcDst;
    k().luma16[p.dy * 4 + p.dx](p.pSrc, p.srcStep, p.pDst, p.dstStep, p.roiSize.width,
                              p.roiSize.height, (1 << p.bitDepth) - 1);
    return opxOk;
}

OpxResult opxiInterpolateLumaTop_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                              Opx32s outPixels) noexcept {
    if (const OpxResult r = check_luma16(pSrcDst); r != opxOk) return r;
    luma16_rows(*pSrcDst, top_rows(outPixels));
    return opxOk;
}

OpxResult opxiInterpolateLumaBottom_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                 Opx32s outPixels) noexcept {
    if (const OpxResult r = check_luma16(pSrcDst); r != opxOk) return r;
    luma16_rows(*pSrcDst, bottom_rows(pSrcDst->roiSize.height, outPixels));
    return opxOk;
}

// ---- chroma, 8-bit -----------------------------------------------------------------------------

OpxResult opxiInterpolateChroma_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                            Opx32s dstStep, Opx32s dx, Opx32s dy,
                                            OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(fraction_ok(dx, dy, 7), opxErrBadArg);
    OPX_CHECK(chroma_width_ok(roiSize.width) && chroma_height_ok(roiSize.height), opxErrSize);
    return k().chroma8[chroma8_index(roiSize.width, dx, dy)](pSrc, srcStep, pDst, dstStep,
                                                           roiSize.height, chroma_frac(dx, dy));
}

OpxResult opxiInterpolateChroma_H264_8u_C2P2R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDstU,
                                              Opx8u* pDstV, Opx32s dstStep, Opx32s dx, Opx32s dy,
                                              OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc, pDstU, pDstV);
    OPX_CHECK(fraction_ok(dx, dy, 7), opxErrBadArg);
    OPX_CHECK(chroma_width_ok(roiSize.width) && chroma_height_ok(roiSize.height), opxErrSize);
    k().chroma8_split[chroma8_index(roiSize.width, dx, dy)](pSrc, srcStep, pDstU, pDstV, dstStep,
                                                          roiSize.height, chroma_frac(dx, dy));
    return opxOk;
}

OpxResult opxiInterpolateChromaTop_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, Opx32s dx, Opx32s dy,
                                               Opx32s outPixels, OpxRoiSize roiSize) noexcept {
    if (const OpxResult r = check_rows8<false>(pSrc, pDst, dx, dy, roiSize); r != opxOk) return r;
    chroma8_rows(pSrc, srcStep, pDst, dstStep, dx, dy, roiSize, top_rows(outPixels));
    return opxOk;
}

OpxResult opxiInterpolateChromaBottom_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                  Opx32s dstStep, Opx32s dx, Opx32s dy,
                                                  Opx32s outPixels, OpxRoiSize roiSize) noexcept {
    if (const OpxResult r = check_rows8<false>(pSrc, pDst, dx, dy, roiSize); r != opxOk) return r;
    chroma8_rows(pSrc, srcStep, pDst, dstStep, dx, dy, roiSize,
                 bottom_rows(roiSize.height, outPixels));
    return opxOk;
}

// ---- chroma, 16-bit ----------------------------------------------------------------------------

OpxResult opxiInterpolateChroma_H264_16u_C1R(const OpxInterpolate16u* pSrcDst) noexcept {
    if (const OpxResult r = check_chroma16(pSrcDst); r != opxOk) return r;
    const OpxInterpolate16u& p = *pSrcDst;
    k().chroma16[chroma16_index(p.dx, p.dy)](p.pSrc, p.srcStep, p.pDst, p.dstStep, p.roiSize.width,
                                           p.roiSize.height, p.dx, p.dy);
    return opxOk;
}

OpxResult opxiInterpolateChromaTop_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                Opx32s outPixels) noexcept {
    if (const OpxResult r = check_chroma16(pSrcDst); r != opxOk) return r;
    chroma16_rows(*pSrcDst, top_rows(outPixels));
    return opxOk;
}

OpxResult opxiInterpolateChromaBottom_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                   Opx32s outPixels) noexcept {
    if (const OpxResult r = check_chroma16(pSrcDst); r != opxOk) return r;
    chroma16_rows(*pSrcDst, bottom_rows(pSrcDst->roiSize.height, outPixels));
    return opxOk;
}

// ---- Block functions ---------------------------------------------------------------------------

OpxResult opxiInterpolateLumaBlock_H264_8u_P1R(const OpxInterpolateBlock8u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock8u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pDst[0]);
    if (const OpxResult e = check_block_common(r, true); e != opxOk) return e;
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        k().luma8[luma8_index(w, 0, 0)](offset(r.pSrc[0], r.blockPos.x, r.blockPos.y, r.srcStep),
                                      r.srcStep, r.pDst[0], r.dstStep, h);
        return opxOk;
    }
    block_region<Opx8u>(r.pSrc, 1, r, 2, 2, 5,
                        [&](int, const Opx8u* src, std::ptrdiff_t step, int fx, int fy) {
                            k().luma8[luma8_index(w, fx, fy)](src, step, r.pDst[0], r.dstStep, h);
                        });
    return opxOk;
}

OpxResult opxiInterpolateLumaBlock_H264_16u_P1R(
    const OpxInterpolateBlock16u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock16u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pDst[0]);
    if (const OpxResult e = check_block_common(r, true); e != opxOk) return e;
    OPX_CHECK(bit_depth_ok(r.bitDepth), opxErrOutOfRange);
    const int w = r.blockSize.width, h = r.blockSize.height, max = (1 << r.bitDepth) - 1;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        k().luma16[0](offset(r.pSrc[0], r.blockPos.x, r.blockPos.y, r.srcStep), r.srcStep, r.pDst[0],
                    r.dstStep, w, h, max);
        return opxOk;
    }
    block_region<Opx16u>(r.pSrc, 1, r, 2, 2, 5,
                         [&](int, const Opx16u* src, std::ptrdiff_t step, int fx, int fy) {
                             k().luma16[fy * 4 + fx](src, step, r.pDst[0], r.dstStep, w, h, max);
                         });
    return opxOk;
}

OpxResult opxiInterpolateChromaBlock_H264_8u_P2R(
    const OpxInterpolateBlock8u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock8u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pSrc[1], r.pDst[0], r.pDst[1]);
    if (const OpxResult e = check_block_common(r, false); e != opxOk) return e;
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        const auto copy = k().chroma8[chroma8_index(w, 0, 0)];
        for (int c = 0; c < 2; ++c)
            copy(offset(r.pSrc[c], r.blockPos.x, r.blockPos.y, r.srcStep), r.srcStep, r.pDst[c],
                 r.dstStep, h, 0);
        return opxOk;
    }
    block_region<Opx8u>(r.pSrc, 2, r, 3, 0, 1,
                        [&](int c, const Opx8u* src, std::ptrdiff_t step, int fx, int fy) {
                            k().chroma8[chroma8_index(w, fx, fy)](src, step, r.pDst[c], r.dstStep,
                                                                h, chroma_frac(fx, fy));
                        });
    return opxOk;
}

OpxResult opxiInterpolateChromaBlock_H264_16u_P2R(
    const OpxInterpolateBlock16u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock16u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pSrc[1], r.pDst[0], r.pDst[1]);
    if (const OpxResult e = check_block_common(r, false); e != opxOk) return e;
    OPX_CHECK(bit_depth_ok(r.bitDepth), opxErrOutOfRange);
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        for (int c = 0; c < 2; ++c)
            k().chroma16[0](offset(r.pSrc[c], r.blockPos.x, r.blockPos.y, r.srcStep), r.srcStep,
                          r.pDst[c], r.dstStep, w, h, 0, 0);
        return opxOk;
    }
    block_region<Opx16u>(
        r.pSrc, 2, r, 3, 0, 1, [&](int c, const Opx16u* src, std::ptrdiff_t step, int fx, int fy) {
            k().chroma16[chroma16_index(fx, fy)](src, step, r.pDst[c], r.dstStep, w, h, fx, fy);
        });
    return opxOk;
}

OpxResult opxiInterpolateChromaBlock_H264_8u_C2C2R(
    const OpxInterpolateBlock8u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock8u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pDst[0]);
    if (const OpxResult e = check_block_common(r, false); e != opxOk) return e;
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        k().chroma8_c2[chroma8_index(w, 0, 0)](
            offset(r.pSrc[0], std::int64_t{r.blockPos.x} * 2, r.blockPos.y, r.srcStep), r.srcStep,
            r.pDst[0], r.dstStep, h, 0);
        return opxOk;
    }
    block_region<std::uint16_t>(r.pSrc, 1, r, 3, 0, 1,
                                [&](int, const Opx8u* src, std::ptrdiff_t step, int fx, int fy) {
                                    k().chroma8_c2[chroma8_index(w, fx, fy)](
                                        src, step, r.pDst[0], r.dstStep, h, chroma_frac(fx, fy));
                                });
    return opxOk;
}

OpxResult opxiInterpolateChromaBlock_H264_8u_C2P2R(
    const OpxInterpolateBlock8u* pInterpInfo) noexcept {
    OPX_CHECK_NULL(pInterpInfo);
    const OpxInterpolateBlock8u& r = *pInterpInfo;
    OPX_CHECK_NULL(r.pSrc[0], r.pDst[0], r.pDst[1]);
    if (const OpxResult e = check_block_common(r, false); e != opxOk) return e;
    const int w = r.blockSize.width, h = r.blockSize.height;
    if (r.motionVector.x == 0 && r.motionVector.y == 0) {
        k().chroma8_split[chroma8_index(w, 0, 0)](
            offset(r.pSrc[0], std::int64_t{r.blockPos.x} * 2, r.blockPos.y, r.srcStep), r.srcStep,
            r.pDst[0], r.pDst[1], r.dstStep, h, 0);
        return opxOk;
    }
    block_region<std::uint16_t>(
        r.pSrc, 1, r, 3, 0, 1, [&](int, const Opx8u* src, std::ptrdiff_t step, int fx, int fy) {
            k().chroma8_split[chroma8_index(w, fx, fy)](src, step, r.pDst[0], r.pDst[1], r.dstStep, h,
                                                      chroma_frac(fx, fy));
        });
    return opxOk;
}

// ---- averaging ----------------------------------------------------------------------------------

OpxResult opxiInterpolateBlock_H264_8u_P2P1R(const Opx8u* pSrc1, const Opx8u* pSrc2, Opx8u* pDst,
                                             Opx32u width, Opx32u height, Opx32s pitch) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    OPX_CHECK(width >= 2 && width <= 16 && height >= 2 && height <= 16, opxErrSize);
    k().average(pSrc1, pitch, pSrc2, pitch, pDst, pitch, static_cast<int>(width),
              static_cast<int>(height));
    return opxOk;
}

OpxResult opxiInterpolateBlock_H264_8u_P3P1R(const Opx8u* pSrc1, const Opx8u* pSrc2, Opx8u* pDst,
                                             Opx32u width, Opx32u height, Opx32s src1Step,
                                             Opx32s src2Step, Opx32s dstStep) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    OPX_CHECK(width >= 2 && width <= 16 && height >= 2 && height <= 16, opxErrSize);
    k().average(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, static_cast<int>(width),
              static_cast<int>(height));
    return opxOk;
}

// ---- plane expansion ----------------------------------------------------------------------------

OpxResult opxiExpandPlane_H264_8u_C1R(Opx8u* pSrcDstPlane, Opx32s frameWidth, Opx32s frameHeight,
                                      Opx32s pitch, Opx32u pels,
                                      OpxFrameFieldFlag fieldMode) noexcept {
    OPX_CHECK_NULL(pSrcDstPlane);
    OPX_CHECK(frameHeight >= 2 && frameHeight % 2 == 0 && frameWidth >= 1, opxErrSize);
    if (pels == 0) return opxOk;
    OPX_CHECK(fieldMode == opxFrame || fieldMode == opxTopField || fieldMode == opxBottomField,
              opxErrBadArg);
    opx::h264::expand_plane(pSrcDstPlane, frameWidth, frameHeight, pitch, pels, fieldMode);
    return opxOk;
}
