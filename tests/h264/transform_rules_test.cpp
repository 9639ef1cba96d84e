// Rule tests of the exported H.264 inverse transform and dequantisation functions: result codes
// and their order, nothing written on error, the values the rules single out, and the SP/SI
// switching property.
#include <array>
#include <cstring>

#include "h264/transform_inputs.hpp"
#include "opxvc.h"

namespace opx::test::h264 {
namespace {

// ---- qp ranges and the DC-only call ------------------------------------------------------------

template <class T, std::size_t N>
bool all_equal(const std::array<T, N>& a, T v) {
    for (T x : a)
        if (x != v) return false;
    return true;
}

TEST(H264TransformRules, AndAddTakesTheGivenDcWithOrWithoutAc) {
    std::array<Opx8u, 16> pred, dst;
    pred.fill(100);
    dst.fill(1);
    const Opx16s dc = 64 * 5;
    // pSrcDst null, pDC given, AC 0: the DC residual (320 + 32) >> 6 = 5 is added.
    EXPECT_EQ(opxiDequantTransformResidualAndAdd_H264_16s_C1I(pred.data(), nullptr, &dc, dst.data(),
                                                              4, 4, 10, 0),
              opxOk);
    EXPECT_TRUE(all_equal(dst, Opx8u{105}));
    // AC set: pDC still replaces coefficient 0 (the others are zero here)
    std::array<Opx16s, 16> c{};
    c[0] = 7;
    dst.fill(1);
    EXPECT_EQ(opxiDequantTransformResidualAndAdd_H264_16s_C1I(pred.data(), c.data(), &dc, dst.data(),
                                                              4, 4, 10, 1),
              opxOk);
    EXPECT_TRUE(all_equal(dst, Opx8u{105}));
}

// ---- values the rules single out --------------------------------------------------------------

// The in-place form keeps rows in 16 bits (wrapping) and forms the columns exactly.
TEST(H264TransformRules, InPlaceRowsWrapColumnsExact) {
    const Opx16s dc = 32767;
    Opx16s b[16] = {0, 0, 30000, 0};
    // Row 0: DC 32767 and d2 = 30000 (dequantised with qp 0: 30000 * 10 wraps).
    b[2] = 3000;  // 3000 * v(0, class 0) = 30000
    ASSERT_EQ(opxiDequantTransformResidual_H264_16s_C1I(b, 8, &dc, 1, 0), opxOk);
    // Row 0 outputs: e0 = 32767 + 30000 wraps to -2769; e1 = 2767.
    const i64 e0 = -2769, e1 = 2767;
    const i64 row[4] = {e0, e1, e1, e0};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(b[4 * y + x], (row[x] + 32) >> 6);
    // The same coefficients through the saturating form.
    Opx16s s[16] = {32767, 0, 30000};
    Opx16s r[16];
    ASSERT_EQ(opxiTransformResidual4x4Inv_H264_16s_C1(s, r), opxOk);
    EXPECT_EQ(r[0], 511);  // e0 saturates at 32767, and so does the + 32
    EXPECT_EQ(r[1], (2767 + 32) >> 6);
    // Columns: 32767 in rows 0 and 2 stays exact in the in-place form.
    Opx16s col[16] = {};
    col[8] = 3277;  // 32770 wraps to -32766 in the dequantisation? 3277 * 10 = 32770 -> wraps
    const Opx16s big = 32767;
    ASSERT_EQ(opxiDequantTransformResidual_H264_16s_C1I(col, 8, &big, 1, 0), opxOk);
    // d(2,0) = wrap16(32770) = -32766; column 0: e0 = 32767 - 32766 = 1, e1 = 65533 (exact).
    EXPECT_EQ(col[0], (1 + 32) >> 6);
    EXPECT_EQ(col[4], (65533 + 32) >> 6);
}

TEST(H264TransformRules, SaturatingFormsSaturateEveryStep) {
    // Rows of +32767 and -32767: exact arithmetic would give r = 32767 * 2 on the first output.
    Opx16s src[16];
    for (int i = 0; i < 16; ++i) src[i] = (i / 4) % 2 ? -32767 : 32767;
    Opx16s out[16];
    ASSERT_EQ(opxiTransformResidual4x4Inv_H264_16s_C1(src, out), opxOk);
    // Row pass: (32767, 32767, 32767, 32767) -> e0 = sat(65534) = 32767, e1 = 0,
    // e2 = 16383 - 32767 = -16384, e3 = 32767 + 16383 -> 32767; outputs 32767, -16384, 16384, 0.
    // Rows of -32767 give -32768, 16383, -16383, 0. Column 0 is (32767, -32768, 32767,
    // -32768): e0 = 32767, e1 = 0, e2 = -16384 + 32768 = 16384, e3 = -32768 - 16384 -> -32768;
    // outputs -1, 16384, -16384, sat(65535) = 32767, then sat(r + 32) >> 6.
    const i64 col0[4] = {0, 256, -256, 511};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(out[4 * y], col0[y]) << y;
    // The 32-bit form does the same exactly.
    Opx32s s32[16], o32[16];
    for (int i = 0; i < 16; ++i) s32[i] = src[i];
    ASSERT_EQ(opxiTransformResidual4x4Inv_H264_32s_C1(s32, o32), opxOk);
    // Exact: rows give 114684 and -114685 first; column 0: e0 = 229368, e3 = -172028.
    EXPECT_EQ(o32[0], (57340 + 32) >> 6);
}

TEST(H264TransformRules, ChromaDc2x4UsesQpPlus3) {
    // qp 39: qP,DC 42, q6 = 7: (f * LS) << 1 with LS = 16 * v(0, 0) = 160 when no array is given.
    Opx16s c[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(c, 39, nullptr), opxOk);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c[i], i % 2 ? 320 : 320) << i;
    // qp 4: qP,DC 7 -> m = 1 (LS 176), q6 = 1: (f * 176 + 16) >> 5.
    Opx16s d[8] = {10, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(d, 4, nullptr), opxOk);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d[i], (10 * 176 + 16) >> 5) << i;
    Opx32s e[8] = {10, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(opxiTransformQuantInvChromaDC2x4_H264_32s_C1I(e, 4, nullptr), opxOk);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(e[i], (10 * 176 + 16) >> 5) << i;
}

TEST(H264TransformRules, HighBitDepthAcIsAnyNonzeroValue) {
    Opx16u pred[16];
    for (Opx16u& p : pred) p = 500;
    Opx32s a[16] = {0, 40, 0, 0, 7}, b[16] = {0, 40, 0, 0, 7};
    Opx16u da[16], db[16];
    ASSERT_EQ(opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(pred, 8, a, nullptr, da, 8, 30, 1, 10,
                                                            nullptr),
              opxOk);
    ASSERT_EQ(opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(pred, 8, b, nullptr, db, 8, 30, 2, 10,
                                                            nullptr),
              opxOk);
    EXPECT_EQ(0, std::memcmp(da, db, sizeof(da)));
    EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));
    EXPECT_NE(da[0], 500);  // the AC coefficients were used
}

TEST(H264TransformRules, HighBitDepth8x8DequantKeepsLevelsBeyond16Bits) {
    // A 14-bit level of 100000 at qp6 2: (100000 * 16 + 8) >> 4 = 100000; saturating the level
    // to 16 bits first would give 32767.
    Opx32s c[64] = {100000, -100000, 40000};
    Opx16s ls[64];
    for (Opx16s& l : ls) l = 16;
    ASSERT_EQ(opxiQuantInvLuma8x8_H264_32s_C1I(c, 2, ls), opxOk);
    EXPECT_EQ(c[0], 100000);
    EXPECT_EQ(c[1], -100000);
    EXPECT_EQ(c[2], 40000);
    // Above qp6 6 the product is shifted left: (2^21 + 1) * 64 << 8 = 2^35 + 2^14 is reduced
    // to its low 32 bits.
    Opx32s d[64] = {(1 << 21) + 1};
    for (Opx16s& l : ls) l = 64;
    ASSERT_EQ(opxiQuantInvLuma8x8_H264_32s_C1I(d, 14, ls), opxOk);
    EXPECT_EQ(d[0], 16384);
}

// (The qp range itself is in H264Checks.InverseTransforms.)
TEST(H264TransformRules, Dequant8x8QpLimits) {
    Opx16s c[64], ls[64];
    for (int i = 0; i < 64; ++i) c[i] = 3, ls[i] = 20;
    // qp6 0: (3 * 20 + 32) >> 6 = 1; qp6 8: (3 * 20) << 2 = 240.
    ASSERT_EQ(opxiQuantLuma8x8Inv_H264_16s_C1I(c, 0, ls), opxOk);
    EXPECT_EQ(c[0], 1);
    for (Opx16s& x : c) x = 3;
    ASSERT_EQ(opxiQuantLuma8x8Inv_H264_16s_C1I(c, 8, ls), opxOk);
    EXPECT_EQ(c[63], 240);
    // Below qp6 6 the result saturates; from 6 on it wraps in 16 bits.
    for (Opx16s& x : c) x = 32767;
    for (Opx16s& x : ls) x = 32767;
    ASSERT_EQ(opxiQuantLuma8x8Inv_H264_16s_C1I(c, 5, ls), opxOk);
    EXPECT_EQ(c[0], 32767);
    for (Opx16s& x : c) x = 3;
    for (Opx16s& x : ls) x = 11000;
    ASSERT_EQ(opxiQuantLuma8x8Inv_H264_16s_C1I(c, 6, ls), opxOk);
    EXPECT_EQ(c[0], static_cast<Opx16s>(33000 - 65536));
}

// ---- SP/SI -------------------------------------------------------------------------------------

i64 quant_qs(i64 x, int qs, int k, int bits) {
    const int sh = bits + qs / 6;
    const i64 m = ((x < 0 ? -x : x) * kMF[qs % 6][k] + (i64{1} << (sh - 1))) >> sh;
    return x < 0 ? -m : m;
}

// In SI and switching SP pictures the decoder quantises the prediction with QS and adds the
// levels (H.264 clause 8.6.2). An encoder that sends Q(X) - Q(P) makes the reconstruction the
// dequantised Q(X) whatever the prediction is: the property that makes switching drift-free.
TEST(H264TransformRules, SwitchingReconstructionDoesNotDependOnThePrediction) {
    Rng rng;
    for (int round = 0; round < 300; ++round) {
        const int qs = static_cast<int>(rng.uniform(0, 51));
        const int qp = static_cast<int>(rng.uniform(0, 51));
        int orig[16], pa[16], pb[16];
        for (int i = 0; i < 16; ++i) {
            orig[i] = static_cast<int>(rng.uniform(0, 255));
            pa[i] = static_cast<int>(rng.uniform(0, 255));
            pb[i] = std::clamp(orig[i] + static_cast<int>(rng.uniform(-9, 9)), 0, 255);
        }
        Opx32s wx[16], wa[16], wb[16];
        const auto forward4x4 = [](const int* x, Opx32s* y) {
            Opx32s in[16];
            std::copy(x, x + 16, in);
            ASSERT_EQ(opxiTransformResidual4x4Fwd_H264_32s_C1(in, y), opxOk);
        };
        forward4x4(orig, wx);
        forward4x4(pa, wa);
        forward4x4(pb, wb);
        Opx16s qx[16], ca[16], cb[16], pra[16], prb[16];
        for (int i = 0; i < 16; ++i) {
            const int k = class4(i);
            const i64 lx = quant_qs(wx[i], qs, k, 15);
            qx[i] = static_cast<Opx16s>(lx);
            ca[i] = static_cast<Opx16s>(lx - quant_qs(wa[i], qs, k, 15));
            cb[i] = static_cast<Opx16s>(lx - quant_qs(wb[i], qs, k, 15));
            pra[i] = static_cast<Opx16s>(wa[i]);
            prb[i] = static_cast<Opx16s>(wb[i]);
        }
        ASSERT_EQ(opxiDequantTransformResidual_SISP_H264_16s_C1I(ca, pra, nullptr, 1, qp, qs, 1),
                  opxOk);
        ASSERT_EQ(opxiDequantTransformResidual_SISP_H264_16s_C1I(cb, prb, nullptr, 1, qp, qs, 1),
                  opxOk);
        ASSERT_EQ(opxiDequantTransformResidual_H264_16s_C1I(qx, 8, nullptr, 1, qs), opxOk);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(ca[i], std::clamp<int>(qx[i], 0, 255)) << "qs " << qs << " pos " << i;
            EXPECT_EQ(cb[i], ca[i]);
        }

        // Chroma DC: the same with the 2x2 DC array of the prediction blocks' transforms.
        Opx16s dx[4], dpa[4], dcl[4];
        i64 px[4], pp[4];
        const i64 xdc[4] = {rng.uniform(0, 4080), rng.uniform(0, 4080), rng.uniform(0, 4080),
                            rng.uniform(0, 4080)};
        for (int i = 0; i < 4; ++i) dpa[i] = static_cast<Opx16s>(rng.uniform(0, 4080));
        auto t2 = [](const i64* c, i64* f) {
            f[0] = c[0] + c[1] + c[2] + c[3];
            f[1] = c[0] - c[1] + c[2] - c[3];
            f[2] = c[0] + c[1] - c[2] - c[3];
            f[3] = c[0] - c[1] - c[2] + c[3];
        };
        const i64 dpv[4] = {dpa[0], dpa[1], dpa[2], dpa[3]};
        t2(xdc, px);
        t2(dpv, pp);
        for (int i = 0; i < 4; ++i) {
            const i64 lx = quant_qs(px[i], qs, 0, 16);
            dx[i] = static_cast<Opx16s>(lx);
            dcl[i] = static_cast<Opx16s>(lx - quant_qs(pp[i], qs, 0, 16));
        }
        ASSERT_EQ(opxiTransformDequantChromaDC_SISP_H264_16s_C1I(dcl, dpa, qp, qs, 1), opxOk);
        ASSERT_EQ(opxiTransformDequantChromaDC_H264_16s_C1I(dx, qs), opxOk);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dcl[i], dx[i]) << "qs " << qs;
    }
}

}  // namespace

// ---- null pointers -------------------------------------------------------------------------

OPX_NULL_CALL(opxiDequantTransformResidual_H264_16s_C1I, nul(s.s16(0)), 8, nullptr, 1, 20)
OPX_NULL_CALL(opxiDequantTransformResidualAndAdd_H264_16s_C1I, nul(s.u8(0)), nul(s.s16(1)), nullptr,
              nul(s.u8(2)), 16, 16, 20, 1)
OPX_NULL_CALL(opxiDequantTransformResidual_SISP_H264_16s_C1I, nul(s.s16(0)), nul(s.s16(1)), nullptr,
              1, 20, 20, 1)
OPX_NULL_CALL(opxiTransformDequantLumaDC_H264_16s_C1I, nul(s.s16(0)), 20)
OPX_NULL_CALL(opxiTransformDequantChromaDC_H264_16s_C1I, nul(s.s16(0)), 20)
OPX_NULL_AUTO(opxiTransformDequantChromaDC_SISP_H264_16s_C1I, 20, 20, 0)
OPX_NULL_CALL(opxiTransformQuantInvAddPred4x4_H264_16s_C1IR, nul(s.u8(0)), 16, nul(s.s16(1)),
              nullptr, nul(s.u8(2)), 16, 20, 1, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvAddPred4x4_H264_32s_C1IR, nul(s.u16(0)), 16, nul(s.s32(1)),
              nullptr, nul(s.u16(2)), 16, 20, 1, 10, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvChromaDC2x2_H264_16s_C1I, nul(s.s16(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvChromaDC2x2_H264_32s_C1I, nul(s.s32(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvChromaDC2x4_H264_16s_C1I, nul(s.s16(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvChromaDC2x4_H264_32s_C1I, nul(s.s32(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvLumaDC4x4_H264_16s_C1I, nul(s.s16(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformQuantInvLumaDC4x4_H264_32s_C1I, nul(s.s32(0)), 20, nullptr)
OPX_NULL_CALL(opxiTransformResidual4x4Inv_H264_16s_C1, nul(s.s16(0)), nul(s.s16(1)))
OPX_NULL_CALL(opxiTransformResidual4x4Inv_H264_32s_C1, nul(s.s32(0)), nul(s.s32(1)))
OPX_NULL_AUTO(opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R, 16, 16)
OPX_NULL_AUTO(opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R, 32, 32, 10)
OPX_NULL_CALL(opxiQuantLuma8x8Inv_H264_16s_C1I, nul(s.s16(0)), 2, nul(s.s16(1)))
OPX_NULL_CALL(opxiQuantInvLuma8x8_H264_32s_C1I, nul(s.s32(0)), 2, nul(s.s16(1)))

}  // namespace opx::test::h264
