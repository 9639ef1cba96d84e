// Exported VC-1 interpolation and range-mapping functions. The block forms build the padded,
// intensity-compensated filter support in a stack buffer (or, for a block inside the picture
// without tables, read the picture directly) and run the same kernels as the QP functions.
#include <algorithm>
#include <cstdint>

#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "vc1/interp.hpp"

using namespace opx::vc1;

namespace {

const InterpKernels& k() noexcept {
    return OPX_SELECT(opx::vc1, kInterp);
}

enum Filter { kBicubic, kBilinear, kBilinearC2 };

InterpFn kernel_for(Filter f, OpxRoiSize size) noexcept {
    int i;
    switch (f) {
        case kBicubic:
            i = size_index(kBicubicSizes, size);
            return i < 0 ? nullptr : k().bicubic[i];
        case kBilinear:
            i = size_index(kBilinearSizes, size);
            return i < 0 ? nullptr : k().bilinear[i];
        default:
            i = size_index(kBilinearC2Sizes, size);
            return i < 0 ? nullptr : k().bilinear_c2[i];
    }
}

OpxResult qp(Filter f, const OpxVC1Interpolate8u* p) noexcept {
    OPX_CHECK_NULL(p);
    OPX_CHECK_NULL(p->pSrc, p->pDst);
    const InterpFn fn = kernel_for(f, p->roiSize);
    OPX_CHECK(fn != nullptr, opxErrSize);
    fn(p->pSrc, p->srcStep, p->pDst, p->dstStep, p->dx & 3, p->dy & 3, p->roundControl & 1);
    return opxOk;
}

// ---- block forms ---------------------------------------------------------------------------

// Support of a block relative to its top-left sample: `left` columns (bytes for C2R) before it,
// `cols` in all; `top` rows above it, `rows` in all.
struct Support {
    int left, cols, top, rows;
};
Support support_of(Filter f, OpxRoiSize b) noexcept {
    switch (f) {
        case kBicubic:
            return {1, b.width + 3, 1, b.height + 3};
        case kBilinear:
            return {0, b.width + 1, 0, b.height + 1};
        default:
            return {0, 2 * b.width + 2, 0, b.height + 1};
    }
}

// Where support row y (picture or field row, any value) is read from, and its table.
struct RowSource {
    const Opx8u* row;
    const Opx8u* lut;
};

RowSource row_source(const OpxVC1InterpolateBlockIC8u& p, std::int64_t y) noexcept {
    const std::int64_t h = p.frameSize.height;
    const std::ptrdiff_t step = p.srcStep;
    const bool pad1 = p.paddingMode == 1;  // any other value means 0
    if (!p.fieldPrediction) {
        std::int64_t yc = y;
        if (y < 0)
            yc = pad1 ? (y & 1) : 0;  // first row of y's parity
        else if (y > h - 1)
            yc = pad1 ? (((y - (h - 1)) & 1) ? h - 2 : h - 1) : h - 1;
        return {p.pSrc + yc * step, (yc & 1) ? p.pLutBottom : p.pLutTop};
    }
    const std::int64_t fh = h / 2;
    const Opx8u* lut = p.bottomField ? p.pLutBottom : p.pLutTop;
    if (y < 0) {
        // Bottom field, interlace-aware: the frame row just above its first row.
        if (pad1 && p.bottomField) return {p.pSrc - step, lut};
        return {p.pSrc, lut};
    }
    if (y > fh - 1) {
        // Top field, interlace-aware: the frame row just below its last row.
        if (pad1 && !p.bottomField) return {p.pSrc + (2 * fh - 1) * step, lut};
        return {p.pSrc + (fh - 1) * 2 * step, lut};
    }
    return {p.pSrc + y * 2 * step, lut};
}

OpxResult block(Filter f, const OpxVC1InterpolateBlockIC8u* rec) noexcept {
    OPX_CHECK_NULL(rec);
    OPX_CHECK_NULL(rec->pSrc, rec->pDst);
    const OpxVC1InterpolateBlockIC8u& p = *rec;
    const InterpFn fn = kernel_for(f, p.blockSize);
    OPX_CHECK(fn != nullptr, opxErrSize);
    OPX_CHECK(p.frameSize.width >= 1 && p.frameSize.height >= 1, opxErrSize);
    OPX_CHECK(!((p.fieldPrediction || p.paddingMode == 1) && p.frameSize.height < 2), opxErrSize);
    const int dx = p.dx & 3, dy = p.dy & 3, rnd = static_cast<int>(p.roundControl & 1);

    const Support s = support_of(f, p.blockSize);
    const bool c2 = f == kBilinearC2;
    // Support origin in picture coordinates, 64-bit: blockPos may be anywhere. C2R: pair index
    // blockPos.x >> 1, the low bit ignored.
    const std::int64_t x0 =
        c2 ? 2 * (std::int64_t{p.blockPos.x} >> 1) : std::int64_t{p.blockPos.x} - s.left;
    const std::int64_t y0 = std::int64_t{p.blockPos.y} - s.top;
    const std::int64_t width_bytes = c2 ? 2 * std::int64_t{p.frameSize.width} : p.frameSize.width;
    const std::int64_t rows = p.fieldPrediction ? p.frameSize.height / 2 : p.frameSize.height;

    // Inside the picture and no tables: the kernel reads the picture itself.
    if (!p.pLutTop && !p.pLutBottom && x0 >= 0 && x0 + s.cols <= width_bytes && y0 >= 0 &&
        y0 + s.rows <= rows) {
        const std::int32_t step = p.fieldPrediction ? 2 * p.srcStep : p.srcStep;
        const Opx8u* origin = p.pSrc + (y0 + s.top) * std::ptrdiff_t{step} + (x0 + s.left);
        fn(origin, step, p.pDst, p.dstStep, dx, dy, rnd);
        return opxOk;
    }

    // Padded, compensated support: at most 35 bytes x 19 rows.
    constexpr int kStride = 48;
    Opx8u buf[19 * kStride];
    for (int j = 0; j < s.rows; ++j) {
        const RowSource src = row_source(p, y0 + j);
        Opx8u* out = buf + j * kStride;
        for (int i = 0; i < s.cols; ++i) {
            std::int64_t x;
            if (c2) {
                const std::int64_t pair =
                    std::clamp<std::int64_t>((x0 >> 1) + (i >> 1), 0, p.frameSize.width - 1);
                x = 2 * pair + (i & 1);
            } else {
                x = std::clamp<std::int64_t>(x0 + i, 0, p.frameSize.width - 1);
            }
            const Opx8u v = src.row[x];
            out[i] = src.lut ? src.lut[v] : v;
        }
    }
    fn(buf + s.top * kStride + s.left, kStride, p.pDst, p.dstStep, dx, dy, rnd);
    return opxOk;
}

}  // namespace

OpxResult opxiInterpolateQPBicubic_VC1_8u_C1R(const OpxVC1Interpolate8u* pParams) noexcept {
    return qp(kBicubic, pParams);
}
OpxResult opxiInterpolateQPBilinear_VC1_8u_C1R(const OpxVC1Interpolate8u* pParams) noexcept {
    return qp(kBilinear, pParams);
}
OpxResult opxiInterpolateQPBilinear_VC1_8u_C2R(const OpxVC1Interpolate8u* pParams) noexcept {
    return qp(kBilinearC2, pParams);
}
OpxResult opxiInterpolateICBicubicBlock_VC1_8u_C1R(
    const OpxVC1InterpolateBlockIC8u* pParams) noexcept {
    return block(kBicubic, pParams);
}
OpxResult opxiInterpolateICBilinearBlock_VC1_8u_C1R(
    const OpxVC1InterpolateBlockIC8u* pParams) noexcept {
    return block(kBilinear, pParams);
}
OpxResult opxiInterpolateICBilinearBlock_VC1_8u_C2R(
    const OpxVC1InterpolateBlockIC8u* pParams) noexcept {
    return block(kBilinearC2, pParams);
}

OpxResult opxiRangeMapping_VC1_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                      Opx32s dstStep, OpxRoiSize roiSize,
                                      Opx32u rangeMapValue) noexcept {
    OPX_CHECK_NULL(pSrc, pDst);
    OPX_CHECK(rangeMapValue <= 7, opxErrOutOfRange);
    if (roiSize.width < 1 || roiSize.height < 1) return opxOk;
    k().range_map(pSrc, srcStep, pDst, dstStep, roiSize.width, roiSize.height,
                  static_cast<int>(rangeMapValue));
    return opxOk;
}
