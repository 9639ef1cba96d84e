// Exported H.264 weighted prediction: check the arguments, pick a kernel, call it.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "h264/decode/weight.hpp"

using namespace opx::h264;

namespace {

const WeightKernels& k() noexcept { return OPX_SELECT(opx::h264, kWeight); }

// Size class of a block side: 2, 4, 8, 16 → 0..3; any other side up to 16 → a large negative.
constexpr signed char kSideClass[17] = {-64, -64, 0,   -64, 1,   -64, -64, -64, 2,
                                        -64, -64, -64, -64, -64, -64, -64, 3};

// Index of a size-checked block in the kernel tables, or a negative value.
int size_index(OpxRoiSize roi) noexcept {
    if (static_cast<Opx32u>(roi.width) > 16 || static_cast<Opx32u>(roi.height) > 16) return -1;
    return kSideClass[roi.width] * 4 + kSideClass[roi.height];
}

constexpr Opx32u kMaxLogWd = 7;
constexpr Opx32s kMaxShift = 30;

bool bit_depth_ok(Opx32s bit_depth) noexcept {
    return bit_depth >= 8 && bit_depth <= 14;
}

// (o1 + o2 + 1) >> 1 without overflow; the result lies between the offsets.
std::int64_t bi_offset(std::int64_t o1, std::int64_t o2) noexcept {
    const std::int64_t s = o1 + o2 + 1;
    return s >= 0 ? s >> 1 : ~(~s >> 1);
}

UniWeight uni_weight(Opx32u log_wd, Opx32s weight, Opx32s offset) noexcept {
    return {static_cast<int>(log_wd), {weight, weight}, {offset, offset}};
}

BiWeight bi_weight(Opx32u log_wd, Opx32s w1, Opx32s o1, Opx32s w2, Opx32s o2) noexcept {
    const std::int64_t o = bi_offset(o1, o2);
    return {static_cast<int>(log_wd) + 1, {w1, w1}, {w2, w2}, {o, o}};
}

BiWeight implicit_weight(Opx32s w1, Opx32s w2) noexcept {
    return {6, {w1, w1}, {w2, w2}, {0, 0}};
}

bool step_below(Opx32u step, Opx32s width) noexcept {
    return step < static_cast<Opx32u>(width);
}

// Any other weight or offset; kept out of line so that the common call needs no stack frame.
__attribute__((noinline)) OpxResult uni_general(int i, Opx8u* p, Opx32u step, Opx32u log_wd,
                                                Opx32s weight, Opx32s offset) noexcept {
    k().uni[i](p, step, uni_weight(log_wd, weight, offset));
    return opxOk;
}

}  // namespace

OpxResult opxiUniDirWeightBlock_H264_8u_C1R(Opx8u* pSrcDst, Opx32u srcDstStep, Opx32u logWD,
                                            Opx32s weight, Opx32s offset,
                                            OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(!step_below(srcDstStep, roiSize.width), opxErrStep);
    const int i = size_index(roiSize);
    OPX_CHECK(i >= 0, opxErrSize);
    OPX_CHECK(logWD <= kMaxLogWd, opxErrBadArg);
    // Weights and offsets as H.264 signals them (and well beyond) take the plain kernel.
    if (OPX_LIKELY(static_cast<Opx32u>(weight) + 128u < 256u &&
                   static_cast<Opx32u>(offset) + 32768u < 65536u))
        return k().uni_plain[i](pSrcDst, srcDstStep, static_cast<int>(logWD), weight, offset);
    return uni_general(i, pSrcDst, srcDstStep, logWD, weight, offset);
}

OpxResult opxiUniDirWeightBlock_H264_8u_C1IR(Opx8u* pSrcDst, Opx32u srcDstStep, Opx32u logWD,
                                             Opx32s weight, Opx32s offset,
                                             OpxRoiSize roiSize) noexcept {
    return opxiUniDirWeightBlock_H264_8u_C1R(pSrcDst, srcDstStep, logWD, weight, offset, roiSize);
}

OpxResult opxiUniDirWeightBlock_H264_8u_C2R(OpxBidir8u* pBidir,
                                            const OpxChromaWeight* pWeight) noexcept {
    OPX_CHECK_NULL(pBidir);
    OPX_CHECK_NULL(pBidir->pDst, pWeight);
    const OpxRoiSize roi = pBidir->roiSize;
    OPX_CHECK(!step_below(static_cast<Opx32u>(pBidir->dstStep), roi.width), opxErrStep);
    const int i = size_index(roi);
    OPX_CHECK(i >= 0, opxErrSize);
    const UniWeight wt = {static_cast<int>(pWeight->logWD & 15),
                          {pWeight->weight[0], pWeight->weight[1]},
                          {pWeight->offset[0], pWeight->offset[1]}};
    k().uni_c2[i](pBidir->pDst, pBidir->dstStep, wt);
    return opxOk;
}

OpxResult opxiUnidirWeight_H264_16u_IP2P1R(Opx16u* pSrcDst, Opx32u srcDstStep, Opx32u logWD,
                                           Opx32s weight, Opx32s offset, OpxRoiSize roiSize,
                                           Opx32s bitDepth) noexcept {
    OPX_CHECK_NULL(pSrcDst);
    OPX_CHECK(!step_below(srcDstStep, roiSize.width), opxErrStep);
    OPX_CHECK(size_index(roiSize) >= 0, opxErrSize);
    OPX_CHECK(logWD <= kMaxLogWd, opxErrBadArg);
    OPX_CHECK(bit_depth_ok(bitDepth), opxErrOutOfRange);
    k().uni16(pSrcDst, srcDstStep, roiSize.width, roiSize.height, uni_weight(logWD, weight, offset),
            (1 << bitDepth) - 1);
    return opxOk;
}

OpxResult opxiBiDirWeightBlock_H264_8u_P2P1R(const Opx8u* pSrc1, const Opx8u* pSrc2, Opx8u* pDst,
                                             Opx32u srcStep, Opx32u dstStep, Opx32u logWD,
                                             Opx32s weight1, Opx32s offset1, Opx32s weight2,
                                             Opx32s offset2, OpxRoiSize roiSize) noexcept {
    return opxiBiDirWeightBlock_H264_8u_P3P1R(pSrc1, pSrc2, pDst, srcStep, srcStep, dstStep, logWD,
                                              weight1, offset1, weight2, offset2, roiSize);
}

OpxResult opxiBiDirWeightBlock_H264_8u_P3P1R(const Opx8u* pSrc1, const Opx8u* pSrc2, Opx8u* pDst,
                                             Opx32u src1Step, Opx32u src2Step, Opx32u dstStep,
                                             Opx32u logWD, Opx32s weight1, Opx32s offset1,
                                             Opx32s weight2, Opx32s offset2,
                                             OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    OPX_CHECK(!step_below(src1Step, roiSize.width) && !step_below(src2Step, roiSize.width) &&
                  !step_below(dstStep, roiSize.width),
              opxErrStep);
    const int i = size_index(roiSize);
    OPX_CHECK(i >= 0, opxErrSize);
    OPX_CHECK(logWD <= kMaxLogWd, opxErrBadArg);
    k().bi[i](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep,
            bi_weight(logWD, weight1, offset1, weight2, offset2));
    return opxOk;
}

OpxResult opxiBiDirWeightBlock_H264_8u_C2R(OpxBidir8u* pBidir, const OpxChromaWeight* pWeight0,
                                           const OpxChromaWeight* pWeight1) noexcept {
    OPX_CHECK_NULL(pBidir);
    OPX_CHECK_NULL(pBidir->pSrc1, pBidir->pSrc2, pBidir->pDst, pWeight0, pWeight1);
    const OpxRoiSize roi = pBidir->roiSize;
    OPX_CHECK(!step_below(static_cast<Opx32u>(pBidir->src1Step), roi.width) &&
                  !step_below(static_cast<Opx32u>(pBidir->dstStep), roi.width),
              opxErrStep);
    const int i = size_index(roi);
    OPX_CHECK(i >= 0, opxErrSize);
    BiWeight wt;
    wt.shift = static_cast<int>(pWeight0->logWD & 15) + 1;
    for (int c = 0; c < 2; ++c) {
        wt.w1[c] = pWeight0->weight[c];
        wt.w2[c] = pWeight1->weight[c];
        wt.o[c] = bi_offset(pWeight0->offset[c], pWeight1->offset[c]);
    }
    k().bi_c2[i](pBidir->pSrc1, pBidir->src1Step, pBidir->pSrc2, pBidir->src2Step, pBidir->pDst,
               pBidir->dstStep, wt);
    return opxOk;
}

OpxResult opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                     Opx8u* pDst, Opx32u srcStep, Opx32u dstStep,
                                                     Opx32s weight1, Opx32s weight2,
                                                     OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    OPX_CHECK(!step_below(srcStep, roiSize.width) && !step_below(dstStep, roiSize.width),
              opxErrStep);
    const int i = size_index(roiSize);
    OPX_CHECK(i >= 0, opxErrSize);
    k().bi[i](pSrc1, srcStep, pSrc2, srcStep, pDst, dstStep, implicit_weight(weight1, weight2));
    return opxOk;
}

OpxResult opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                     Opx8u* pDst, Opx32u src1Step, Opx32u src2Step,
                                                     Opx32u dstStep, Opx32s weight1, Opx32s weight2,
                                                     OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrc2, pDst);
    if (roiSize.width < 1 || roiSize.height < 1) return opxOk;
    // Partition sizes take the kernel of their size (any steps: the kernels fall back to row
    // order themselves where blocks overlap); other sizes the any-size kernel.
    const int i = size_index(roiSize);
    if (i >= 0)
        k().bi[i](pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, implicit_weight(weight1, weight2));
    else
        k().bi_any(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize.width, roiSize.height,
                 implicit_weight(weight1, weight2));
    return opxOk;
}

namespace {

// Checks shared by the weighted 16-bit two-source functions, up to the size check.
OpxResult check_bidir16(const OpxBidir16u* b) noexcept {
    OPX_CHECK_NULL(b);
    OPX_CHECK_NULL(b->pSrc1, b->pSrc2, b->pDst);
    const Opx32s w = b->roiSize.width;
    OPX_CHECK(b->src1Step >= w && b->src2Step >= w && b->dstStep >= w, opxErrStep);
    OPX_CHECK(size_index(b->roiSize) >= 0, opxErrSize);
    return opxOk;
}

void run_bidir16(const OpxBidir16u* b, const BiWeight& wt) noexcept {
    k().bi16(b->pSrc1, b->src1Step, b->pSrc2, b->src2Step, b->pDst, b->dstStep, b->roiSize.width,
           b->roiSize.height, wt, (1 << b->bitDepth) - 1);
}

}  // namespace

OpxResult opxiBidirWeight_H264_16u_P2P1R(const OpxBidir16u* pBidir, Opx32u logWD, Opx32s weight1,
                                         Opx32s offset1, Opx32s weight2, Opx32s offset2) noexcept {
    if (const OpxResult r = check_bidir16(pBidir); r != opxOk) return r;
    OPX_CHECK(logWD <= kMaxLogWd, opxErrBadArg);
    OPX_CHECK(bit_depth_ok(pBidir->bitDepth), opxErrOutOfRange);
    run_bidir16(pBidir, bi_weight(logWD, weight1, offset1, weight2, offset2));
    return opxOk;
}

OpxResult opxiBidirWeightImplicit_H264_16u_P2P1R(const OpxBidir16u* pBidir, Opx32s weight1,
                                                 Opx32s weight2) noexcept {
    if (const OpxResult r = check_bidir16(pBidir); r != opxOk) return r;
    OPX_CHECK(bit_depth_ok(pBidir->bitDepth), opxErrOutOfRange);
    run_bidir16(pBidir, implicit_weight(weight1, weight2));
    return opxOk;
}

OpxResult opxiBidir_H264_16u_P2P1R(const OpxBidir16u* pBidir) noexcept {
    OPX_CHECK_NULL(pBidir);
    OPX_CHECK_NULL(pBidir->pSrc1, pBidir->pSrc2, pBidir->pDst);
    const OpxRoiSize roi = pBidir->roiSize;
    OPX_CHECK(roi.width >= 2 && roi.width <= 16, opxErrSize);
    OPX_CHECK(roi.height >= 2 && roi.height <= 16, opxErrSize);
    k().avg16(pBidir->pSrc1, pBidir->src1Step, pBidir->pSrc2, pBidir->src2Step, pBidir->pDst,
            pBidir->dstStep, roi.width, roi.height);
    return opxOk;
}

OpxResult opxiWeightedAverage_H264_8u_C1IR(const Opx8u* pSrc1, Opx8u* pSrcDst, Opx32s srcDstStep,
                                           Opx32s weight1, Opx32s weight2, Opx32s shift,
                                           Opx32s offset, OpxRoiSize roiSize) noexcept {
    OPX_CHECK_NULL(pSrc1, pSrcDst);
    OPX_CHECK(!step_below(static_cast<Opx32u>(srcDstStep), roiSize.width), opxErrStep);
    const int i = size_index(roiSize);
    OPX_CHECK(i >= 0, opxErrSize);
    OPX_CHECK(shift <= kMaxShift, opxErrBadArg);
    const BiWeight wt = {
        shift > 0 ? shift : 0, {weight1, weight1}, {weight2, weight2}, {offset, offset}};
    k().bi[i](pSrc1, srcDstStep, pSrcDst, srcDstStep, pSrcDst, srcDstStep, wt);
    return opxOk;
}
