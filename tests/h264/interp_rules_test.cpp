// H.264 interpolation entry points: result codes and their order, nothing written on error, the
// values the rules single out, averaging and plane expansion.
#include <climits>
#include <type_traits>

#include "h264/decode/interp.hpp"
#include "h264/interp_test_util.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

// ---- values the rules single out ----------------------------------------------------------------

// The exported 16-bit function clamps to its bit depth: columns 0 0 M M 0 0 repeated give
// b1 = 40 M at x = 0 (above the range: max), M M 0 0 M M b1 = -8 M at x = 2 (below: 0).
TEST(InterpRules, SixteenBitHalfSamplesClampToTheBitDepth) {
    for (int depth : {8, 10, 14}) {
        const int max = (1 << depth) - 1;
        Plane<Opx16u> src(16, 16, 8), d(16, 16, 8);
        for (int y = -8; y < 24; ++y)
            for (int x = -8; x < 24; ++x)
                src.at(x, y) = static_cast<Opx16u>((x + 8) % 4 < 2 ? max : 0);
        const OpxInterpolate16u p = {src.data(), static_cast<Opx32s>(src.step() / 2),
                                     d.data(),   static_cast<Opx32s>(d.step() / 2),
                                     2,          0,
                                     {16, 16},   depth};
        ASSERT_EQ(opxiInterpolateLuma_H264_16u_C1R(&p), opxOk);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; x += 4) {
                ASSERT_EQ(d.at(x, y), max);
                ASSERT_EQ(d.at(x + 2, y), 0);
            }
    }
}

// ---- averaging ----------------------------------------------------------------------------------

TEST(InterpRules, AveragingCodesAndRounding) {
    Opx8u a[16 * 16], b[16 * 16], d[16 * 16];
    std::memset(a, 255, sizeof a);
    std::memset(b, 0, sizeof b);
    std::memset(d, 7, sizeof d);
    for (Opx32u w : {0u, 1u, 17u, 0xFFFFFFFFu}) {
        EXPECT_EQ(opxiInterpolateBlock_H264_8u_P2P1R(a, b, d, w, 4, 16), opxErrSize);
        EXPECT_EQ(opxiInterpolateBlock_H264_8u_P3P1R(a, b, d, 4, w, 16, 16, 16), opxErrSize);
    }
    EXPECT_EQ(d[0], 7);
    ASSERT_EQ(opxiInterpolateBlock_H264_8u_P2P1R(a, b, d, 16, 16, 16), opxOk);
    for (Opx8u v : d) ASSERT_EQ(v, 128);
    std::memset(d, 7, sizeof d);
    ASSERT_EQ(opxiInterpolateBlock_H264_8u_P3P1R(a, b, d, 3, 2, 16, 16, 4), opxOk);
    EXPECT_EQ(d[0], 128);
    EXPECT_EQ(d[2], 128);
    EXPECT_EQ(d[3], 7);
    EXPECT_EQ(d[6], 128);
    EXPECT_EQ(d[7], 7);
}

// ---- plane expansion ----------------------------------------------------------------------------

// Expected padding, sample by sample: the plane value at (x, y) outside the picture is that of
// the nearest picture sample of the same parity (field modes) or of any row (frame).
TEST(InterpRules, ExpandPlaneFrameAndFields) {
    Rng rng;
    for (int mode : {opxFrame, opxTopField, opxBottomField}) {
        for (Opx32u pels : {1u, 2u, 5u, 16u}) {
            for (int w : {1, 7, 16}) {
                for (int h : {2, 6, 10}) {
                    const int p = static_cast<int>(pels);
                    Plane<Opx8u> plane(w + 2 * p, h + 2 * p, 8);
                    plane.fill(Pattern::kRandom, rng);
                    Plane<Opx8u> before = plane;
                    Opx8u* origin = plane.row(p) + p;
                    ASSERT_EQ(opxiExpandPlane_H264_8u_C1R(
                                  origin, w, h, static_cast<Opx32s>(plane.step()), pels, mode),
                              opxOk);
                    EXPECT_TRUE(plane.canaries_intact());
                    for (int y = -p; y < h + p; ++y) {
                        for (int x = -p; x < w + p; ++x) {
                            const bool in_parity =
                                mode == opxFrame || ((y & 1) == (mode == opxBottomField));
                            const Opx8u got = plane.at(x + p, y + p);
                            const bool inside = x >= 0 && x < w && y >= 0 && y < h;
                            if (inside || !in_parity) {
                                ASSERT_EQ(got, before.at(x + p, y + p))
                                    << "untouched " << x << "," << y << " mode " << mode;
                                continue;
                            }
                            int sy = std::clamp(y, 0, h - 1);
                            if (mode == opxTopField) sy = std::clamp(y, 0, h - 2);
                            if (mode == opxBottomField) sy = std::clamp(y, 1, h - 1);
                            const int sx = std::clamp(x, 0, w - 1);
                            ASSERT_EQ(got, before.at(sx + p, sy + p))
                                << x << "," << y << " mode " << mode << " pels " << p << " " << w
                                << "x" << h;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace

// ---- null-pointer cases -------------------------------------------------------------------------

namespace {
constexpr OpxRoiSize kRoi16 = {16, 16}, kRoi8 = {8, 8};
}  // namespace

OPX_NULL_CALL(opxiInterpolateLuma_H264_8u_C1R, nul(s.u8(0)), 64, nul(s.u8(1)), 64, 1, 1, kRoi16)
OPX_NULL_AUTO(opxiInterpolateLumaTop_H264_8u_C1R, 64, 64, 1, 1, 2, kRoi16)
OPX_NULL_AUTO(opxiInterpolateLumaBottom_H264_8u_C1R, 64, 64, 1, 1, 2, kRoi16)
OPX_NULL_CALL(opxiInterpolateChroma_H264_8u_C1R, nul(s.u8(0)), 64, nul(s.u8(1)), 64, 1, 1, kRoi8)
OPX_NULL_AUTO(opxiInterpolateChroma_H264_8u_C2P2R, 64, 64, 1, 1, kRoi8)
OPX_NULL_AUTO(opxiInterpolateChromaTop_H264_8u_C1R, 64, 64, 1, 1, 1, kRoi8)
OPX_NULL_AUTO(opxiInterpolateChromaBottom_H264_8u_C1R, 64, 64, 1, 1, 1, kRoi8)

namespace {
// pSrc, then pDst (list-initialisation evaluates nul() in that order).
OpxInterpolate16u null_record(NullProbe& nul, Scratch& s) {
    return {nul(s.u16(0)), 64, nul(s.u16(1)), 64, 1, 1, {8, 8}, 10};
}
}  // namespace

#define OPX_NULL_CASE_16U(fn, ...)        \
    OPX_NULL_CASE(fn) {                   \
        OpxInterpolate16u rec{};          \
        OpxInterpolate16u* p = nul(&rec); \
        rec = null_record(nul, s);        \
        return fn(p __VA_ARGS__);         \
    }
OPX_NULL_CASE_16U(opxiInterpolateLuma_H264_16u_C1R)
OPX_NULL_CASE_16U(opxiInterpolateLumaTop_H264_16u_C1R, , 1)
OPX_NULL_CASE_16U(opxiInterpolateLumaBottom_H264_16u_C1R, , 1)
OPX_NULL_CASE_16U(opxiInterpolateChroma_H264_16u_C1R)
OPX_NULL_CASE_16U(opxiInterpolateChromaTop_H264_16u_C1R, , 1)
OPX_NULL_CASE_16U(opxiInterpolateChromaBottom_H264_16u_C1R, , 1)

namespace {
template <class R, class T>
R* block_record(R& rec, NullProbe& nul, Scratch& s, T* (Scratch::*mem)(int), int planes_src,
                int planes_dst) {
    R* p = nul(&rec);
    rec = R{};
    for (int i = 0; i < planes_src; ++i) rec.pSrc[i] = nul((s.*mem)(i));
    for (int i = 0; i < planes_dst; ++i) rec.pDst[i] = nul((s.*mem)(4 + i));
    rec.srcStep = 64;
    rec.dstStep = 64;
    rec.frameSize = {32, 32};
    rec.blockSize = {8, 8};
    rec.blockPos = {4, 4};
    rec.motionVector = {-3, 5};
    if constexpr (std::is_same_v<R, OpxInterpolateBlock16u>) rec.bitDepth = 10;
    return p;
}
}  // namespace

// The Block functions: the record, then its source and destination planes in order.
#define OPX_BLOCK_NULL_CASE(fn, Rec, mem, planes_src, planes_dst)                    \
    OPX_NULL_CASE(fn) {                                                              \
        Rec rec;                                                                     \
        return fn(block_record(rec, nul, s, &Scratch::mem, planes_src, planes_dst)); \
    }
OPX_BLOCK_NULL_CASE(opxiInterpolateLumaBlock_H264_8u_P1R, OpxInterpolateBlock8u, u8, 1, 1)
OPX_BLOCK_NULL_CASE(opxiInterpolateLumaBlock_H264_16u_P1R, OpxInterpolateBlock16u, u16, 1, 1)
OPX_BLOCK_NULL_CASE(opxiInterpolateChromaBlock_H264_8u_P2R, OpxInterpolateBlock8u, u8, 2, 2)
OPX_BLOCK_NULL_CASE(opxiInterpolateChromaBlock_H264_16u_P2R, OpxInterpolateBlock16u, u16, 2, 2)
OPX_BLOCK_NULL_CASE(opxiInterpolateChromaBlock_H264_8u_C2C2R, OpxInterpolateBlock8u, u8, 1, 1)
OPX_BLOCK_NULL_CASE(opxiInterpolateChromaBlock_H264_8u_C2P2R, OpxInterpolateBlock8u, u8, 1, 2)
OPX_NULL_AUTO(opxiInterpolateBlock_H264_8u_P2P1R, 16, 16, 16)
OPX_NULL_AUTO(opxiInterpolateBlock_H264_8u_P3P1R, 16, 16, 16, 16, 16)
OPX_NULL_CALL(opxiExpandPlane_H264_8u_C1R, nul(s.u8(0)), 16, 16, 64, 8, opxFrame)

}  // namespace opx::test
