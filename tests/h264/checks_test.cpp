// Argument checks of the H.264 functions, one table: each row one bad argument (or two, the
// first checked winning), the code it gives, and nothing written.
#include <algorithm>
#include <climits>
#include <tuple>
#include <vector>

#include "h264/cavlc_writer.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

constexpr Opx32s kZz[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
constexpr Opx16s kZz16[16] = {0, 1, 5, 6, 2, 4, 7, 12, 3, 8, 11, 13, 9, 10, 14, 15};

OpxInterpolate16u interp16(Scratch& s, Opx32s step, int dx, int dy, OpxRoiSize r, int depth) {
    return {s.u16(0), step, s.u16(1), step, dx, dy, r, depth};
}
// A 16-bit record without coded blocks (a call that passes its checks only predicts).
OpxReconstructInfo recon16(Scratch& s, int slot, int bd, int qp, Opx32s step = 128) {
    return {s.put(slot, s.s32(slot + 1)), s.u16(slot + 2), step, 0, qp, s.s16(15), 0, bd};
}

// The coefficient pointer of the 8-bit reconstruction functions, in Scratch.
Opx16s** pc(Scratch& s) {
    return s.put(1, s.s16(2));
}

// The two records of the 16-bit chroma functions, built in Scratch.
struct Chroma16 {
    OpxReconstructInfo info[2];
    const OpxReconstructInfo* p[2];
    const OpxReconstructInfo** make(Scratch& s, int cb_qp = 30, int cr_qp = 30, int cb_bd = 10,
                                    int cr_bd = 10, Opx32s cb_step = 128) {
        info[0] = recon16(s, 0, cb_bd, cb_qp, cb_step);
        info[1] = recon16(s, 4, cr_bd, cr_qp);
        p[0] = &info[0];
        p[1] = &info[1];
        return p;
    }
};

// The two records of the 8-bit 4:2:2 chroma functions (qp 39 the limit, bit depth not read).
struct Chroma8 {
    OpxReconstructInfo8u info[2];
    const OpxReconstructInfo8u* p[2];
    Opx16s zeros[17 * 64] = {};
    const OpxReconstructInfo8u** make(Scratch& s, Opx32s cr_qp = 39, Opx32s cb_step = 96,
                                      bool zero_levels = false) {
        Opx16s** coeffs = s.put(1, zero_levels ? zeros : s.s16(2));
        info[0] = {coeffs, s.u8(3), cb_step, 3, 39, s.s16(15), 0, 0};
        info[1] = {coeffs, s.u8(4), 96, 3, cr_qp, s.s16(15), 0, 0};
        p[0] = &info[0];
        p[1] = &info[1];
        return p;
    }
};

// Calls of the interpolation functions with their fixed arguments filled in from the Scratch zone
// (source slot 0, destinations slots 1 and 2, steps 64).
OpxResult luma8(Scratch& s, int dx, int dy, OpxRoiSize r) {
    return opxiInterpolateLuma_H264_8u_C1R(s.u8(0), 64, s.u8(1), 64, dx, dy, r);
}
OpxResult chroma8(Scratch& s, int dx, int dy, OpxRoiSize r) {
    return opxiInterpolateChroma_H264_8u_C1R(s.u8(0), 64, s.u8(1), 64, dx, dy, r);
}
OpxResult chroma8_c2(Scratch& s, int dx, int dy, OpxRoiSize r) {
    return opxiInterpolateChroma_H264_8u_C2P2R(s.u8(0), 64, s.u8(1), s.u8(2), 64, dx, dy, r);
}
// A 16-bit record with both steps `step`; the Top and Bottom forms get `out` as outPixels.
OpxResult i16(OpxResult (*f)(const OpxInterpolate16u*), Scratch& s, Opx32s step, int dx, int dy,
              OpxRoiSize r, int depth) {
    const OpxInterpolate16u rec = interp16(s, step, dx, dy, r, depth);
    return f(&rec);
}
OpxResult i16(OpxResult (*f)(const OpxInterpolate16u*, Opx32s), Opx32s out, Scratch& s, Opx32s step,
              int dx, int dy, OpxRoiSize r, int depth) {
    const OpxInterpolate16u rec = interp16(s, step, dx, dy, r, depth);
    return f(&rec, out);
}
// Block records: 8-bit with two destination planes, 16-bit on a 32 × 32 frame; `edit` may
// change the record before the call.
OpxResult blk8(OpxResult (*f)(const OpxInterpolateBlock8u*), Scratch& s, OpxRoiSize frame,
               OpxRoiSize block, void (*edit)(OpxInterpolateBlock8u&) = nullptr) {
    OpxInterpolateBlock8u q{
        {s.u8(0), s.u8(0)}, 64, {s.u8(1), s.u8(2)}, 64, frame, block, {0, 0}, {1, 1}};
    if (edit) edit(q);
    return f(&q);
}
OpxResult blk16(OpxResult (*f)(const OpxInterpolateBlock16u*), Scratch& s, OpxRoiSize block,
                int depth) {
    const OpxInterpolateBlock16u q{
        {s.u16(0), s.u16(0)}, 64, {s.u16(1), s.u16(1)}, 64, {32, 32}, block, {0, 0}, {1, 1}, depth};
    return f(&q);
}

TEST(H264Checks, Interpolation) {
    const auto luma16 = opxiInterpolateLuma_H264_16u_C1R;
    const auto chroma16 = opxiInterpolateChroma_H264_16u_C1R;
    OpxInterpolate16u r16{};
    std::vector<ArgCase> rows = {
        // Interpolation: null, fraction, size; steps of the 16-bit records; bit depth last.
        OPX_ARG(opxErrNullPtr,
                opxiInterpolateLuma_H264_8u_C1R(nullptr, 64, s.u8(1), 64, 9, 9, {3, 3})),
        OPX_ARG(opxErrBadArg, luma8(s, 4, 0, {3, 3})),
        OPX_ARG(opxErrBadArg, luma8(s, 0, -1, {4, 4})),
        OPX_ARG(opxOk, luma8(s, 2, 2, {8, 20})),
        OPX_ARG(opxOk, luma8(s, 1, 1, {16, 4})),
        OPX_ARG(opxOk, luma8(s, 1, 1, {4, 16})),
        OPX_ARG(opxErrSize,
                opxiInterpolateLumaTop_H264_8u_C1R(s.u8(0), 64, s.u8(1), 16, 2, 2, 1, {8, 20})),
        OPX_ARG(opxErrSize,
                opxiInterpolateLumaBottom_H264_8u_C1R(s.u8(0), 64, s.u8(1), 16, 2, 2, 1, {8, 0})),
        OPX_ARG(opxErrStep, i16(luma16, s, 15, 9, 0, {16, 16}, 10)),
        OPX_ARG(opxErrBadArg, i16(luma16, s, 32, 4, 0, {3, 16}, 10)),
        OPX_ARG(opxErrNullPtr,
                opxiInterpolateChroma_H264_8u_C1R(nullptr, 64, s.u8(1), 64, 8, 8, {3, 3})),
        OPX_ARG(opxErrNullPtr, opxiInterpolateChroma_H264_8u_C2P2R(s.u8(0), 64, s.u8(1), nullptr,
                                                                   64, 8, 8, {3, 3})),
        OPX_ARG(opxErrBadArg, chroma8(s, 8, 0, {3, 3})),
        OPX_ARG(opxErrBadArg, chroma8(s, 0, -1, {3, 3})),
        OPX_ARG(opxErrSize,
                opxiInterpolateChromaTop_H264_8u_C1R(s.u8(0), 64, s.u8(1), 64, 1, 1, 0, {4, 18})),
        OPX_ARG(opxErrSize, opxiInterpolateChromaBottom_H264_8u_C1R(s.u8(0), 64, s.u8(1), 64, 1, 1,
                                                                    0, {4, 18})),
        OPX_ARG(opxOk, i16(chroma16, s, 8, 3, 3, {8, 8}, 10)),
        OPX_ARG(opxOk, i16(chroma16, s, 8, 3, 3, {2, 2}, 10)),
        OPX_ARG(opxErrStep, i16(chroma16, s, 7, 9, 3, {2, 2}, 10)),
        OPX_ARG(opxErrBadArg, i16(chroma16, s, 8, 9, 3, {3, 3}, 10)),
        OPX_ARG(opxErrOutOfRange, i16(chroma16, s, 16, 1, 1, {4, 4}, 15)),
        OPX_ARG(opxErrOutOfRange,
                i16(opxiInterpolateChromaTop_H264_16u_C1R, 0, s, 16, 1, 1, {4, 4}, 15)),
        OPX_ARG(opxErrOutOfRange,
                i16(opxiInterpolateChromaBottom_H264_16u_C1R, 0, s, 16, 1, 1, {4, 4}, 15)),
        OPX_ARG(opxErrNullPtr, opxiInterpolateChromaBottom_H264_16u_C1R(
                                   &(r16 = {nullptr, 16, s.u16(1), 16, 1, 1, {4, 4}, 15}), 0)),
    };
    for (int w : {0, 2, 12, 20, 24, 28, 32, -4})
        rows.push_back(OPX_ARG(opxErrSize, luma8(s, 1, 1, {w, 4})));
    for (int h : {0, -4, 2, 6}) rows.push_back(OPX_ARG(opxErrSize, luma8(s, 1, 1, {8, h})));
    for (OpxRoiSize sz : {OpxRoiSize{16, 4}, {4, 16}, {12, 8}, {8, 12}, {0, 4}})
        rows.push_back(OPX_ARG(opxErrSize, i16(luma16, s, 32, 1, 1, sz, 99)));
    for (int depth : {0, 7, 15, 16, 31, -1}) {
        rows.push_back(OPX_ARG(opxErrOutOfRange, i16(luma16, s, 32, 1, 1, {8, 8}, depth)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, i16(opxiInterpolateLumaTop_H264_16u_C1R, 1, s, 32,
                                                     1, 1, {8, 8}, depth)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, i16(opxiInterpolateLumaBottom_H264_16u_C1R, 1, s,
                                                     32, 1, 1, {8, 8}, depth)));
    }
    for (int w : {0, 6, 10, 12, 14, 16, 1, -2}) {
        rows.push_back(OPX_ARG(opxErrSize, chroma8(s, 1, 1, {w, 4})));
        rows.push_back(OPX_ARG(opxErrSize, chroma8_c2(s, 1, 1, {w, 4})));
    }
    for (int h : {0, 3, -2}) rows.push_back(OPX_ARG(opxErrSize, chroma8(s, 1, 1, {4, h})));
    for (OpxRoiSize sz : {OpxRoiSize{2, 6}, {2, 32}, {6, 2}, {16, 2}, {0, 2}})
        rows.push_back(OPX_ARG(opxErrSize, i16(chroma16, s, 16, 1, 1, sz, 10)));
    // Plane expansion: null, sizes, then the picture structure.
    rows.push_back(OPX_ARG(opxErrNullPtr, opxiExpandPlane_H264_8u_C1R(nullptr, 0, 3, 64, 4, 9)));
    rows.push_back(OPX_ARG(opxErrSize, opxiExpandPlane_H264_8u_C1R(s.u8(0), 8, 3, 64, 4, 9)));
    rows.push_back(OPX_ARG(opxErrSize, opxiExpandPlane_H264_8u_C1R(s.u8(0), 8, 0, 64, 4, 0)));
    rows.push_back(OPX_ARG(opxErrSize, opxiExpandPlane_H264_8u_C1R(s.u8(0), 0, 8, 64, 4, 0)));
    rows.push_back(OPX_ARG(opxErrSize, opxiExpandPlane_H264_8u_C1R(s.u8(0), -5, 8, 64, 4, 0)));
    rows.push_back(
        OPX_ARG(opxOk, opxiExpandPlane_H264_8u_C1R(s.u8(0), 8, 8, 64, 0, 9)));  // nothing to do
    rows.push_back(OPX_ARG(opxErrBadArg, opxiExpandPlane_H264_8u_C1R(s.u8(0), 8, 8, 64, 4, 3)));
    rows.push_back(OPX_ARG(opxErrBadArg, opxiExpandPlane_H264_8u_C1R(s.u8(0), 8, 8, 64, 4, -1)));
    // Block interpolation: block and frame sizes, the second planes, the bit depth.
    const auto luma_blk = opxiInterpolateLumaBlock_H264_8u_P1R;
    const auto c2p2 = opxiInterpolateChromaBlock_H264_8u_C2P2R;
    rows.push_back(OPX_ARG(opxOk, blk8(luma_blk, s, {32, 32}, {8, 8})));
    for (OpxRoiSize bs : {OpxRoiSize{8, 20}, {8, 0}, {8, -4}, {8, 6}, {12, 8}, {0, 8}, {32, 8}})
        rows.push_back(OPX_ARG(opxErrSize, blk8(luma_blk, s, {32, 32}, bs)));
    for (OpxRoiSize bs : {OpxRoiSize{8, 18}, {8, 0}, {8, 3}, {6, 8}, {16, 8}})
        for (auto f : {c2p2, opxiInterpolateChromaBlock_H264_8u_P2R,
                       opxiInterpolateChromaBlock_H264_8u_C2C2R})
            rows.push_back(OPX_ARG(opxErrSize, blk8(f, s, {32, 32}, bs)));
    for (OpxRoiSize fs : {OpxRoiSize{0, 32}, {32, 0}, {-1, 32}, {32, INT_MIN}}) {
        rows.push_back(OPX_ARG(opxErrSize, blk8(luma_blk, s, fs, {8, 8})));
        rows.push_back(OPX_ARG(opxErrSize, blk8(c2p2, s, fs, {8, 8})));
    }
    const auto no_dst1 = [](OpxInterpolateBlock8u& q) { q.pDst[1] = nullptr; };
    const auto no_src1 = [](OpxInterpolateBlock8u& q) { q.pSrc[1] = nullptr; };
    rows.push_back(OPX_ARG(opxErrNullPtr, blk8(c2p2, s, {32, 32}, {8, 8}, no_dst1)));
    // pSrc[1] is not read by the interleaved forms.
    rows.push_back(OPX_ARG(opxOk, blk8(c2p2, s, {32, 32}, {8, 8}, no_src1)));
    rows.push_back(OPX_ARG(
        opxErrNullPtr, blk8(opxiInterpolateChromaBlock_H264_8u_P2R, s, {32, 32}, {8, 8}, no_src1)));
    for (int depth : {7, 15, 0, 33}) {
        rows.push_back(OPX_ARG(opxErrOutOfRange,
                               blk16(opxiInterpolateLumaBlock_H264_16u_P1R, s, {8, 8}, depth)));
        rows.push_back(OPX_ARG(opxErrOutOfRange,
                               blk16(opxiInterpolateChromaBlock_H264_16u_P2R, s, {8, 8}, depth)));
    }
    rows.push_back(
        OPX_ARG(opxErrSize, blk16(opxiInterpolateLumaBlock_H264_16u_P1R, s, {8, 20}, 9)));
    expect_arg_cases(rows);
}

TEST(H264Checks, InverseTransforms) {
    std::vector<ArgCase> rows = {
        // Inverse transforms: null before qp before step; qp and bit depth share a code.
        OPX_ARG(opxErrOutOfRange,
                opxiDequantTransformResidual_H264_16s_C1I(s.s16(0), 8, nullptr, 1, 52)),
        OPX_ARG(opxErrStep, opxiDequantTransformResidual_H264_16s_C1I(s.s16(0), 6, nullptr, 1, 20)),
        OPX_ARG(opxErrOutOfRange,
                opxiDequantTransformResidual_H264_16s_C1I(s.s16(0), 6, nullptr, 1, 52)),
        OPX_ARG(opxErrOutOfRange,
                opxiDequantTransformResidual_H264_16s_C1I(s.s16(0), 8, nullptr, 1, -1)),
        OPX_ARG(opxErrNullPtr,
                opxiDequantTransformResidual_H264_16s_C1I(nullptr, 6, nullptr, 1, 52)),
        OPX_ARG(opxErrNullPtr, opxiDequantTransformResidualAndAdd_H264_16s_C1I(
                                   s.u8(0), nullptr, s.s16(2), s.u8(1), 4, 4, 10, 1)),
        OPX_ARG(opxErrNullPtr, opxiDequantTransformResidualAndAdd_H264_16s_C1I(
                                   s.u8(0), nullptr, nullptr, s.u8(1), 4, 4, 10, 0)),
        OPX_ARG(opxErrOutOfRange, opxiDequantTransformResidualAndAdd_H264_16s_C1I(
                                      s.u8(0), nullptr, nullptr, s.u8(1), 4, 4, 52, 0)),
        OPX_ARG(opxErrNullPtr, opxiDequantTransformResidualAndAdd_H264_16s_C1I(
                                   nullptr, nullptr, nullptr, s.u8(1), 4, 4, 52, 0)),
        OPX_ARG(opxErrNullPtr, opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
                                   s.u16(0), 8, nullptr, nullptr, s.u16(1), 8, 99, 1, 8, nullptr)),
    };
    for (int bd : {8, 15, 16, 0, -3, 9, 14}) {
        const OpxResult want = bd == 9 || bd == 14 ? opxOk : opxErrOutOfRange;
        rows.push_back(OPX_ARG(want, opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
                                         s.u16(0), 8, s.s32(1), nullptr, s.u16(0), 8, 20, 1, bd,
                                         nullptr)));
        rows.push_back(OPX_ARG(want, opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R(
                                         s.u16(0), 16, s.s32(1), s.u16(0), 16, bd)));
    }
    // The qp limits [lo, hi] of every function: refused just and far past them, accepted at them
    // (the row's line field holds the qp).
    const auto qp_limits = [&rows](const char* name, int lo, int hi, OpxResult code,
                                   OpxResult (*f)(Scratch&, int)) {
        for (int q : {lo - 1000, lo - 1, lo, hi, hi + 1, hi + 1000})
            rows.push_back({name, q, q < lo || q > hi ? code : opxOk,
                            [f, q](Scratch& s) { return f(s, q); }});
    };
    using S = Scratch&;
    const auto oor = opxErrOutOfRange;
    qp_limits("LumaDC", 0, 51, oor,
              [](S s, int q) { return opxiTransformDequantLumaDC_H264_16s_C1I(s.s16(0), q); });
    qp_limits("ChromaDC", 0, 51, oor,
              [](S s, int q) { return opxiTransformDequantChromaDC_H264_16s_C1I(s.s16(0), q); });
    qp_limits("AddPred4x4 16s", 0, 51, oor, [](S s, int q) {
        return opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(s.u8(0), 4, s.s16(1), nullptr,
                                                             s.u8(0), 4, q, 1, nullptr);
    });
    qp_limits("AddPred4x4 32s", 0, 87, oor, [](S s, int q) {
        return opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(s.u16(0), 8, s.s32(1), nullptr,
                                                             s.u16(0), 8, q, 1, 10, nullptr);
    });
    qp_limits("ChromaDC2x2 16s", 0, 39, oor, [](S s, int q) {
        return opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(s.s16(0), q, nullptr);
    });
    qp_limits("ChromaDC2x2 32s", 0, 75, oor, [](S s, int q) {
        return opxiTransformQuantInvChromaDC2x2_H264_32s_C1I(s.s32(0), q, nullptr);
    });
    qp_limits("ChromaDC2x4 16s", 0, 39, oor, [](S s, int q) {
        return opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(s.s16(0), q, nullptr);
    });
    qp_limits("ChromaDC2x4 32s", 0, 75, oor, [](S s, int q) {
        return opxiTransformQuantInvChromaDC2x4_H264_32s_C1I(s.s32(0), q, nullptr);
    });
    qp_limits("LumaDC4x4 16s", 0, 51, oor, [](S s, int q) {
        return opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(s.s16(0), q, nullptr);
    });
    qp_limits("LumaDC4x4 32s", 0, 87, oor, [](S s, int q) {
        return opxiTransformQuantInvLumaDC4x4_H264_32s_C1I(s.s32(0), q, nullptr);
    });
    qp_limits("SISP qp", 0, 51, oor, [](S s, int q) {
        return opxiDequantTransformResidual_SISP_H264_16s_C1I(s.s16(0), s.s16(1), nullptr, 1, q,
                                                              20, 0);
    });
    qp_limits("SISP qs", 0, 51, oor, [](S s, int q) {
        return opxiDequantTransformResidual_SISP_H264_16s_C1I(s.s16(0), s.s16(1), nullptr, 1, 20,
                                                              q, 1);
    });
    qp_limits("ChromaDC SISP qp", 0, 51, oor, [](S s, int q) {
        return opxiTransformDequantChromaDC_SISP_H264_16s_C1I(s.s16(0), s.s16(1), q, 20, 1);
    });
    qp_limits("ChromaDC SISP qs", 0, 51, oor, [](S s, int q) {
        return opxiTransformDequantChromaDC_SISP_H264_16s_C1I(s.s16(0), s.s16(1), 20, q, 0);
    });
    qp_limits("QuantLuma8x8Inv 16s", 0, 8, opxErrQp,
              [](S s, int q) { return opxiQuantLuma8x8Inv_H264_16s_C1I(s.s16(0), q, s.s16(1)); });
    qp_limits("QuantInvLuma8x8 32s", 0, 14, opxErrQp,
              [](S s, int q) { return opxiQuantInvLuma8x8_H264_32s_C1I(s.s32(0), q, s.s16(1)); });
    expect_arg_cases(rows);
}

TEST(H264Checks, ForwardTransforms) {
    Opx32s z32[16] = {};
    std::vector<ArgCase> rows = {
        // Forward transforms and quantisers.
        OPX_ARG(opxErrOutOfRange,
                opxiTransformQuantFwd4x4_H264_16s_C1(s.s16(0), s.s16(1), 52, s.s32(2), 1, kZz16,
                                                     s.s32(3), nullptr)),
        OPX_ARG(opxOk, opxiTransformQuantFwd4x4_H264_16s32s_C1(s.s16(0), s.s32(1), 52, s.s32(2), 1,
                                                               kZz16, s.s32(3), nullptr)),
        OPX_ARG(opxOk, opxiQuantizeResidual4x4Fwd_H264_32s_C1(z32, s.s32(1), s.s32(2), s.s32(3),
                                                              nullptr, kZz16, 87, 1)),
        OPX_ARG(opxOk, opxiTransformQuantFwdLumaDC4x4_H264_32s_C1I(z32, s.s32(1), 87, s.s32(2), 1,
                                                                   kZz16, s.s32(3), nullptr)),
        OPX_ARG(opxErrOutOfRange,
                opxiTransformQuantFwd4x4_H264_16s32s_C1(s.s16(0), s.s32(1), 88, s.s32(2), 1, kZz16,
                                                        s.s32(3), nullptr)),
        OPX_ARG(opxErrOutOfRange,
                opxiQuantizeResidual4x4Fwd_H264_16s_C1(s.s16(0), s.s16(1), s.s32(2), s.s32(3),
                                                       nullptr, kZz16, -1, 1)),
        OPX_ARG(opxErrQp, opxiQuantLuma8x8_H264_16s_C1(s.s16(0), s.s16(1), 9, 1, s.s16(4), s.u16(5),
                                                       s.s32(2), s.s32(3))),
        OPX_ARG(opxErrQp, opxiQuantLuma8x8_H264_32s_C1(s.s32(0), s.s32(1), 15, 1, s.s16(4),
                                                       s.u16(5), s.s32(2), s.s32(3))),
        OPX_ARG(opxErrOutOfRange, opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(
                                      s.s16(0), s.s16(1), 40, s.s32(2), 1, 1, nullptr)),
        OPX_ARG(opxErrOutOfRange, opxiTransformQuantFwdChromaDC2x4_H264_32s_C1I(
                                      s.s32(0), s.s32(1), 76, s.s32(2), 1, 1, nullptr)),
        OPX_ARG(opxErrQp, opxiGenScaleLevel8x8_H264_8u16s_D2(s.u8(0), 8, s.u16(1), s.u16(2), 6)),
        OPX_ARG(opxErrOutOfRange,
                opxiGenScaleLevel4x4_H264_8u16s_C1(s.u8(0), s.u16(1), s.u16(2), -1)),
    };
    expect_arg_cases(rows);
}

TEST(H264Checks, Weighting) {
    OpxBidir8u b8{};
    const OpxChromaWeight cw = {0, {1, 1}, {0, 0}};
    std::vector<ArgCase> rows = {
        // Weighting: null, step (unsigned: a negative width is a step error), size, values.
        OPX_ARG(opxErrNullPtr, opxiUniDirWeightBlock_H264_8u_C1R(nullptr, 1, 9, 1, 0, {3, 3})),
        OPX_ARG(opxErrStep, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 7, 9, 1, 0, {8, 3})),
        OPX_ARG(opxErrSize, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 8, 9, 1, 0, {8, 3})),
        OPX_ARG(opxErrBadArg, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 8, 8, 1, 0, {8, 4})),
        OPX_ARG(opxErrSize, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 32, 0, 1, 0, {32, 4})),
        OPX_ARG(opxErrSize, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 8, 0, 1, 0, {1, 4})),
        OPX_ARG(opxErrSize, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 8, 0, 1, 0, {8, 0})),
        OPX_ARG(opxErrStep, opxiUniDirWeightBlock_H264_8u_C1R(s.u8(0), 8, 0, 1, 0, {-1, 4})),
        OPX_ARG(opxErrStep, opxiBiDirWeightBlock_H264_8u_P2P1R(s.u8(0), s.u8(0), s.u8(1), 15, 16, 9,
                                                               1, 0, 1, 0, {16, 16})),
        OPX_ARG(opxErrStep, opxiBiDirWeightBlock_H264_8u_P3P1R(s.u8(0), s.u8(0), s.u8(1), 16, 15,
                                                               16, 9, 1, 0, 1, 0, {16, 16})),
        OPX_ARG(opxErrSize, opxiBiDirWeightBlock_H264_8u_P3P1R(s.u8(0), s.u8(0), s.u8(1), 16, 16,
                                                               16, 9, 1, 0, 1, 0, {16, 6})),
        OPX_ARG(opxErrBadArg, opxiBiDirWeightBlock_H264_8u_P3P1R(s.u8(0), s.u8(0), s.u8(1), 16, 16,
                                                                 16, 8, 1, 0, 1, 0, {16, 4})),
        OPX_ARG(opxErrStep, opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(s.u8(0), s.u8(0), s.u8(1),
                                                                       16, 8, 32, 32, {16, 4})),
        OPX_ARG(opxErrStep,
                opxiWeightedAverage_H264_8u_C1IR(s.u8(0), s.u8(1), 7, 1, 1, 40, 0, {8, 8})),
        OPX_ARG(opxErrSize,
                opxiWeightedAverage_H264_8u_C1IR(s.u8(0), s.u8(1), 8, 1, 1, 40, 0, {8, 5})),
        OPX_ARG(opxErrBadArg,
                opxiWeightedAverage_H264_8u_C1IR(s.u8(0), s.u8(1), 8, 1, 1, 40, 0, {8, 4})),
        OPX_ARG(opxErrNullPtr, opxiUniDirWeightBlock_H264_8u_C2R(
                                   &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 4, {4, 4}}), nullptr)),
        OPX_ARG(opxErrNullPtr,
                opxiBiDirWeightBlock_H264_8u_C2R(
                    &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 4, {4, 4}}), &cw, nullptr)),
        OPX_ARG(opxErrStep, opxiUniDirWeightBlock_H264_8u_C2R(
                                &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 3, {4, 4}}), &cw)),
        OPX_ARG(opxErrStep, opxiBiDirWeightBlock_H264_8u_C2R(
                                &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 3, {4, 4}}), &cw, &cw)),
        OPX_ARG(opxErrSize, opxiUniDirWeightBlock_H264_8u_C2R(
                                &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 8, {4, 5}}), &cw)),
        // src2Step is not checked by the interleaved bi-directional form.
        OPX_ARG(opxOk, opxiBiDirWeightBlock_H264_8u_C2R(
                           &(b8 = {s.u8(0), 4, s.u8(0), 1, s.u8(1), 8, {4, 4}}), &cw, &cw)),
    };
    // 16-bit weighting: sizes (the plain average takes any side 2..16), bit depth, log2
    // denominator.
    auto w16 = [](Scratch& s, OpxRoiSize r, int depth) {
        return OpxBidir16u{s.u16(0), 4, s.u16(1), 4, s.u16(2), 4, r, depth};
    };
    OpxBidir16u bw{};
    rows.push_back(OPX_ARG(
        opxErrSize, opxiBidirWeight_H264_16u_P2P1R(&(bw = w16(s, {3, 5}, 10)), 0, 1, 0, 1, 0)));
    rows.push_back(OPX_ARG(opxErrSize, opxiBidir_H264_16u_P2P1R(&(bw = w16(s, {17, 2}, 10)))));
    rows.push_back(OPX_ARG(opxErrSize, opxiBidir_H264_16u_P2P1R(&(bw = w16(s, {2, 1}, 10)))));
    for (Opx32s depth : {7, 15, -1, 32, 1000}) {
        rows.push_back(
            OPX_ARG(opxErrOutOfRange,
                    opxiBidirWeight_H264_16u_P2P1R(&(bw = w16(s, {4, 4}, depth)), 0, 1, 0, 1, 0)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiBidirWeightImplicit_H264_16u_P2P1R(
                                                     &(bw = w16(s, {4, 4}, depth)), 32, 32)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiUnidirWeight_H264_16u_IP2P1R(
                                                     s.u16(2), 4, 0, 1, 0, {4, 4}, depth)));
    }
    rows.push_back(OPX_ARG(
        opxErrBadArg, opxiBidirWeight_H264_16u_P2P1R(&(bw = w16(s, {4, 4}, 14)), 8, 1, 0, 1, 0)));
    rows.push_back(
        OPX_ARG(opxErrBadArg, opxiUnidirWeight_H264_16u_IP2P1R(s.u16(2), 4, 8, 1, 0, {4, 4}, 14)));
    expect_arg_cases(rows);
}

TEST(H264Checks, IntraPrediction) {
    std::vector<ArgCase> rows = {
        // Intra prediction: availability before nothing else, the mode first.
        OPX_ARG(opxErrIntraPredUnavailable, opxiPredictIntra_16x16_H264_8u_C1IR(s.u8(0), 64, 3, 3)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiPredictIntra_16x16_H264_8u_C1IR(s.u8(0), 64, 0, 2)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiPredictIntra_16x16_H264_8u_C1IR(s.u8(0), 64, 1, 1)),
        OPX_ARG(opxErrOutOfRange, opxiPredictIntra_16x16_H264_8u_C1IR(s.u8(0), 64, 4, 35)),
        OPX_ARG(opxErrOutOfRange, opxiPredictIntra_16x16_H264_8u_C1IR(s.u8(0), 64, -1, 35)),
        OPX_ARG(opxErrNullPtr, opxiPredictIntra_16x16_H264_8u_C1IR(nullptr, 64, 4, 0)),
    };
    // 4x4 intra modes outside 0..8 (negative included) are refused.
    for (int mode : {9, -1, 1 << 30})
        rows.push_back(
            OPX_ARG(opxErrOutOfRange, opxiPredictIntra_4x4_H264_8u_C1IR(s.u8(0), 64, mode, 99)));
    // Chroma intra prediction: step, mode, availability.
    rows.push_back(OPX_ARG(opxErrStep, opxiPredictIntraChroma8x8_H264_8u_C1IR(s.u8(0), 7, 9, 0)));
    rows.push_back(
        OPX_ARG(opxErrOutOfRange, opxiPredictIntraChroma8x8_H264_8u_C1IR(s.u8(0), 64, 4, 0)));
    for (int mode : {3, 2, 1})
        rows.push_back(OPX_ARG(opxErrIntraPredUnavailable,
                               opxiPredictIntraChroma8x8_H264_8u_C1IR(s.u8(0), 64, mode, mode)));
    expect_arg_cases(rows);
}

TEST(H264Checks, Reconstruction) {
    OpxReconstructInfo r{};
    Chroma16 c16{};
    const Opx32s modes[16] = {};
    std::vector<ArgCase> rows = {
        // 8-bit macroblock reconstruction: step, qp, mode, then the neighbours; nothing consumed.
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructLumaInterMB_H264_16s8u_C1R(pc(s), s.u8(0), 96, ~0u, 52)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructLumaInterMB_H264_16s8u_C1R(pc(s), s.u8(0), 96, ~0u, -1)),
        OPX_ARG(opxErrStep, opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(pc(s), s.u8(0), 0, modes,
                                                                          ~0u, 52, 0)),
        OPX_ARG(opxErrOutOfRange, opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(pc(s), s.u8(0), 96,
                                                                                modes, ~0u, 52, 0)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(pc(s), s.u8(0), 96, 4, ~0u, 52, 0)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(pc(s), s.u8(0), 96, 4, ~0u, 20, 0)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(pc(s), s.u8(0), 96, -1, ~0u, 20, 0)),
        OPX_ARG(opxErrIntraPredUnavailable,
                opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(pc(s), s.u8(0), 96, 3, ~0u, 20, 16)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(
                                                pc(s), s.u8(0), 96, 0, ~0u, 20, 4, s.s16(15), 0)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(
                                                pc(s), s.u8(0), 96, 1, ~0u, 20, 1, s.s16(15), 0)),
        OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
                                      pc(s), s.u8(0), s.u8(3), 96, 0, ~0u, 40, 0, 0)),
        OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(
                                      pc(s), s.u8(0), 96, 0, ~0u, 51, 0, 0)),
        OPX_ARG(opxErrStep, opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(pc(s), s.u8(0), 0, 0,
                                                                              ~0u, 39, 0, 0)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
                                                pc(s), s.u8(0), s.u8(3), 96, 1, ~0u, 20, 0, 0)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
                                                pc(s), s.u8(0), s.u8(3), 96, 3, ~0u, 20, 0, 0)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
                                                pc(s), s.u8(0), s.u8(3), 96, 2, ~0u, 20, 4, 0)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(
                    pc(s), s.u8(0), s.u8(3), 96, 0, ~0u, 20, 40, 0, 0, s.s16(15), s.s16(15), 0)),
        OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntraMB_H264_16s8u_P2R(
                                      pc(s), s.u8(0), s.u8(3), 96, 4, ~0u, 20, 0)),
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructChromaIntraMB_H264_16s8u_P2R(
                                                pc(s), s.u8(0), s.u8(3), 96, 3, ~0u, 20, 16)),
        OPX_ARG(opxErrStep,
                opxiReconstructChromaInterMB_H264_16s8u_C2R(pc(s), s.u8(0), 0, ~0u, 20)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructChromaInterMB_H264_16s8u_C2R(pc(s), s.u8(0), 0, ~0u, 40)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(pc(s), s.u8(0), s.u8(3), 96, ~0u, 0,
                                                               40, s.s16(15), s.s16(15), 0)),

        // 16-bit reconstruction: neighbours and modes.
        OPX_ARG(opxErrIntraPredUnavailable, opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(
                                                &(r = recon16(s, 0, 10, 30)), 3, 16)),
        OPX_ARG(opxErrOutOfRange, opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(
                                      &(r = recon16(s, 0, 10, 30)), 4, 0)),
        OPX_ARG(opxErrIntraPredUnavailable,
                opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R(c16.make(s), 1, 0, 0)),
        OPX_ARG(opxErrIntraPredUnavailable,
                opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R(c16.make(s), 3, 0, 0)),
        OPX_ARG(opxErrIntraPredUnavailable,
                opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(c16.make(s), 3, 16)),
        OPX_ARG(opxErrOutOfRange,
                opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(c16.make(s), -1, 0, 16, 16)),
    };
    // The qp limits follow the bit depth: luma 6 bitDepth + 3; chroma 6 bitDepth - 9 for both
    // records, from the Cb record's bit depth (the Cr one is not read).
    for (const auto& [want, inter8, bd, qp] : {std::tuple{opxOk, false, 10, 63},
                                               {opxErrOutOfRange, false, 10, 64},
                                               {opxErrOutOfRange, true, 10, -1},
                                               {opxOk, true, 14, 87},
                                               {opxErrOutOfRange, true, 14, 88}})
        rows.push_back(OPX_ARG(want, (inter8 ? opxiReconstructLumaInter8x8_H264High_32s16u_IP1R
                                             : opxiReconstructLumaInter4x4_H264High_32s16u_IP1R)(
                                         &(r = recon16(s, 0, bd, qp)))));
    rows.push_back(
        OPX_ARG(opxOk, opxiReconstructChromaInter4x4_H264High_32s16u_IP2R(c16.make(s, 51, 51))));
    rows.push_back(OPX_ARG(
        opxErrOutOfRange, opxiReconstructChromaInter4x4_H264High_32s16u_IP2R(c16.make(s, 51, 52))));
    rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R(
                                                 c16.make(s, 52, 51), 16, 16)));
    rows.push_back(OPX_ARG(opxOk, opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(
                                      c16.make(s, 51, 51, 10, 99), 0, 0, 16, 16)));
    rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(
                                                 c16.make(s, 51, 51, 9), 0, 0, 16, 16)));
    rows.push_back(OPX_ARG(opxErrStep, opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(
                                           c16.make(s, 51, 51, 15, 10, 0), 0, 0)));
    rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(
                                                 c16.make(s, 51, 51, 15), 0, 0)));
    // Bit depths 7 and 15 are refused after the step check and before qp.
    for (int bd : {7, 15}) {
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(
                                                     &(r = recon16(s, 0, bd, 200)), modes, 0)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(
                                                     &(r = recon16(s, 0, bd, 200)), 9, 0)));
        rows.push_back(OPX_ARG(opxErrStep, opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(
                                               &(r = recon16(s, 0, bd, 200, 0)), modes, 0)));
    }
    for (int mode : {-1, 4, 1000}) {
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntraMB_H264_16s8u_C2R(
                                                     pc(s), s.u8(0), 96, mode, ~0u, 20, 0)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
                                                     pc(s), s.u8(0), s.u8(3), 96, mode, ~0u, 20, 20,
                                                     0, s.s16(15), s.s16(15), 0)));
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(
                                                     pc(s), s.u8(0), 96, mode, ~0u, 20, 20, 0,
                                                     s.s16(15), s.s16(15), 0)));
    }
    // 8-bit 4:2:2 chroma: qp up to 39, step, mode, availability.
    Chroma8 c8{};
    rows.push_back(OPX_ARG(opxOk, opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(
                                      c8.make(s, 39, 96, true), 16, 16)));
    rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(
                                                 c8.make(s, 40), 16, 16)));
    rows.push_back(OPX_ARG(opxErrStep, opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(
                                           c8.make(s, 39, -3), 5, 0, 16, 16)));
    rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(
                                                 c8.make(s), 4, 0, 16, 16)));
    rows.push_back(
        OPX_ARG(opxErrIntraPredUnavailable,
                opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(c8.make(s), 3, 16, 16, 16)));
    for (int mode : {1, 3})
        rows.push_back(OPX_ARG(opxErrIntraPredUnavailable,
                               opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R(
                                   c8.make(s), mode, 0, 0, 16, 16)));
    rows.push_back(OPX_ARG(
        opxErrIntraPredUnavailable,
        opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R(c8.make(s), 2, 4, 0, 16, 16)));
    expect_arg_cases(rows);
}

// CAVLC decoding: position, then coeffLimit, then uVLCSelect (range form: uVLCSelect, the
// indices, then maxNumCoeff and the position); nothing consumed. Encoding: the positions
// (mended: a negative firstPos of the 32s form), then the scan entries examined (entries outside
// 0..15 refused, those past the last position unused).
TEST(H264Checks, Cavlc) {
    cavlc::Tables t = cavlc::tables();
    std::vector<ArgCase> rows;
    struct {
        OpxResult want;
        Opx32s pos;
        int vlc, limit;
    } const plain[] = {{opxErrBadArg, 32, 0, 14},
                       {opxErrBadArg, -1, 0, 16},
                       {opxErrOutOfRange, 31, -1, 14},
                       {opxErrOutOfRange, 31, -1, 16},
                       {opxErrOutOfRange, 31, 0, 0}};
    for (const auto& k : plain)
        rows.push_back(OPX_ARG(
            k.want, opxiDecodeCAVLCCoeffs_H264_1u16s(
                        s.put(1, s.u32(0)), s.put(2, k.pos), s.s16(3), s.put(4, s.s16(5)), k.vlc,
                        k.limit, t.coeff_token, t.total_zeros_4x4, t.run_before, kZz)));
    struct {
        OpxResult want;
        Opx32s pos;
        int vlc, max, start, end;
    } const range[] = {{opxErrOutOfRange, 31, -1, 20, -1, 3}, {opxErrOutOfRange, 31, 0, 1, -1, 0},
                       {opxErrOutOfRange, 31, 0, 0, 5, 4},    {opxErrOutOfRange, 31, 0, 2, 15, 16},
                       {opxErrBadArg, 31, 0, 16, 1, 15},      {opxErrBadArg, 31, 0, 17, 0, 15},
                       {opxErrBadArg, 40, 0, 16, 0, 15}};
    for (const auto& k : range)
        rows.push_back(OPX_ARG(k.want, opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(
                                           s.put(1, s.u32(0)), s.put(2, k.pos), s.s16(3),
                                           s.put(4, s.s16(5)), k.vlc, k.max, t.coeff_token,
                                           t.total_zeros_4x4, t.run_before, kZz, k.start, k.end)));
    Opx32s scan_16[16], scan_m1[16];
    std::copy(kZz, kZz + 16, scan_16);
    std::copy(kZz, kZz + 16, scan_m1);
    scan_16[7] = 16;
    scan_m1[7] = -1;
    struct {
        OpxResult want;
        int first;
        const Opx32s* scan;
        int last;
    } const enc[] = {{opxErrOutOfRange, -1, kZz, 15},    {opxErrOutOfRange, 0, kZz, 16},
                     {opxErrOutOfRange, 5, kZz, 4},      {opxErrOutOfRange, 0, scan_16, 15},
                     {opxErrOutOfRange, 0, scan_m1, 15}, {opxOk, 0, scan_m1, 6}};
    for (const auto& k : enc)
        rows.push_back(OPX_ARG(
            k.want, opxiEncodeCoeffsCAVLC_H264_32s(s.s32(0), k.first, k.scan, k.last, s.u8(1),
                                                   s.u8(2), s.u8(3), s.u8(4), s.s32(5), s.u8(6))));
    rows.push_back(OPX_ARG(opxErrOutOfRange,
                           opxiEncodeCoeffsCAVLC_H264_16s(s.s16(0), 0, kZz, 16, s.u8(1), s.u8(2),
                                                          s.u8(3), s.u8(4), s.s16(5), s.u8(6))));
    for (const auto& k : enc)  // the 16-bit kernels judge the scan themselves
        if (k.first >= 0 && k.last <= 15)
            rows.push_back(OPX_ARG(k.want, opxiEncodeCoeffsCAVLC_H264_16s(
                                               s.s16(0), static_cast<Opx8u>(k.first), k.scan,
                                               static_cast<Opx8u>(k.last), s.u8(1), s.u8(2),
                                               s.u8(3), s.u8(4), s.s16(5), s.u8(6))));
    // The word-reading decoders take bit positions 0..31.
    for (Opx32s pos : {32, -1, 1000}) {
        rows.push_back(OPX_ARG(opxErrBadArg,
                               opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(
                                   s.put(1, s.u32(0)), s.put(2, pos), s.s16(3), s.put(4, s.s16(5)),
                                   t.coeff_token_dc, t.total_zeros_2x2, t.run_before)));
        rows.push_back(OPX_ARG(opxErrBadArg,
                               opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s(
                                   s.put(1, s.u32(0)), s.put(2, pos), s.s16(3), s.put(4, s.s16(5)),
                                   t.coeff_token_dc422, t.total_zeros_2x4, t.run_before)));
        rows.push_back(OPX_ARG(opxErrBadArg, opxiDecodeExpGolombOne_H264_1u16s(
                                                 s.put(1, s.u32(0)), s.put(2, pos), s.s16(3), 0)));
        rows.push_back(OPX_ARG(opxErrBadArg, opxiDecodeExpGolombOne_H264_1u32s(
                                                 s.put(1, s.u32(0)), s.put(2, pos), s.s32(3), 1)));
        rows.push_back(
            OPX_ARG(opxErrBadArg, opxiDecodeHuffmanOne_1u32s(s.put(1, s.u32(0)), s.put(2, pos),
                                                             s.s32(3), t.run_before[1])));
        rows.push_back(
            OPX_ARG(opxErrBadArg, opxiDecodeHuffmanPair_1u16s(s.put(1, s.u32(0)), s.put(2, pos),
                                                              t.run_before[1], s.u8(3), s.s16(4))));
    }
    expect_arg_cases(rows);
}

}  // namespace
}  // namespace opx::test
