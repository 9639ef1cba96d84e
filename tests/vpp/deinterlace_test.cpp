// Deinterlacers: the exported functions pinned (checked against per-sample models of the rules
// when pinned; on the AVX2 kernels, and on the portable ones in the suite's second run), over
// widths, heights, fields, border copies, thresholds, weights and layouts; nothing written outside
// the rows the rules name; checks and results.
#include "vpp/deinterlace.hpp"

#include <algorithm>
#include <climits>

#include "harness/pinned.hpp"
#include "vpp/vpp_test_util.hpp"

namespace opx::test::vpp {
namespace {

constexpr int kUntouched = 0xA5;  // the harness canary

// ---- rules on every table ----------------------------------------------------------------------

TEST(VppDeinterlace, EdgeDetectEveryWidthFieldAndBorder) {
    Rng rng(0x45444745ull);
    Digest digest;
    for (int w : kWidths)
        for (int h : {1, 2, 5})
            for (int field : {0, 1, 2, -3})
                for (int border : {0, 1})
                    for (int kind = 0; kind < 4; ++kind) {
                        SCOPED_TRACE(testing::Message() << w << "x" << h << " field " << field
                                                        << " border " << border << " kind " << kind);
                        Plane<Opx8u> src(w, h, 4, kind * 5);
                        fill_plane(src, kind, rng);
                        Plane<Opx8u> dst(w, h, 16, 4);
                        ASSERT_EQ(
                            opxiDeinterlaceEdgeDetect_8u_C1R(src.data(), src.step(), dst.data(),
                                                             dst.step(), {w, h}, field, border * 7),
                            opxOk);
                        ASSERT_TRUE(dst.canaries_intact());
                        digest.add(dst.data(), dst.step(), w, h);
                    }
    EXPECT_EQ(digest.value(), 0xb58763fcde93f315ull);
}

TEST(VppDeinterlace, MedianThresholdEveryWidthThresholdFieldAndBorderAndInPlace) {
    Rng rng(0x4D454449ull);
    Digest digest;
    for (int w : kWidths)
        for (int h : {2, 3, 4, 7})
            for (int threshold : {INT_MIN, -5, 0, 1, 2, 85, 255, 256, 1000})
                for (int field : {0, 1, 2})
                    for (int border : {0, 1}) {
                        const int kind = (w + h + threshold) & 3;
                        SCOPED_TRACE(testing::Message() << w << "x" << h << " t " << threshold
                                                        << " field " << field << " border " << border);
                        Plane<Opx8u> src(w, h, 4, kind);
                        fill_plane(src, kind, rng);
                        Plane<Opx8u> dst(w, h, 16, 7), in_place(w, h, 4, kind);
                        ASSERT_EQ(opxiDeinterlaceMedianThreshold_8u_C1R(
                                      src.data(), src.step(), dst.data(), dst.step(), {w, h},
                                      threshold, field, border),
                                  opxOk);
                        ASSERT_TRUE(dst.canaries_intact());
                        digest.add(dst.data(), dst.step(), w, h);
                        // In place: each row is read before it is written.
                        for (int y = -1; y <= h; ++y)
                            std::copy(src.row(y), src.row(y) + w, in_place.row(y));
                        ASSERT_EQ(opxiDeinterlaceMedianThreshold_8u_C1R(
                                      in_place.data(), in_place.step(), in_place.data(),
                                      in_place.step(), {w, h}, threshold, field, border),
                                  opxOk);
                        ASSERT_TRUE(planes_equal(dst, in_place)) << "in place";
                    }
    EXPECT_EQ(digest.value(), 0x2e580028dd3c5122ull);
}

TEST(VppDeinterlace, TriangleEveryWidthWeightAndLayout) {
    Rng rng(0x54524941ull);
    Digest digest;
    for (int w : kWidths)
        for (int h : {3, 4, 9})
            for (unsigned weight : {0u, 1u, 100u, 128u, 255u, 256u, 1000u, 0xFFFFFFFFu})
                for (unsigned layout : {1u, 4u, 16u, 0u, 2u, 5u}) {
                    SCOPED_TRACE(testing::Message() << w << "x" << h << " weight " << weight
                                                    << " layout " << layout);
                    Plane<Opx8u> src(w, h, 4, weight & 31);
                    fill_plane(src, static_cast<int>(weight + layout), rng);
                    // Destination rows −1 .. h − 1.
                    Plane<Opx8u> dst(w, h + 1, 16, 5);
                    ASSERT_EQ(
                        opxiDeinterlaceFilterTriangle_8u_C1R(src.data(), src.step(), dst.row(1),
                                                             dst.step(), {w, h}, weight, layout),
                        opxOk);
                    ASSERT_TRUE(dst.canaries_intact());
                    digest.add(dst.data(), dst.step(), w, h + 1);
                }
    EXPECT_EQ(digest.value(), 0x40d4b16357002396ull);
}

// ---- rules the filters single out ----------------------------------------------------------------

TEST(VppDeinterlace, TriangleSlicesFilterAsOneWholeFramePass) {
    Rng rng;
    constexpr int kW = 37, kH = 24;
    Plane<Opx8u> src(kW, kH, 4);
    src.fill(Pattern::kRandom, rng, 0, 255);
    for (unsigned weight : {0u, 77u, 128u, 256u}) {
        // Whole frame: first and last rows copied, the rest filtered.
        Grid want(kW, kH);
        const int e = (256 - static_cast<int>(weight)) / 2;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                want.at(x, y) = (y == 0 || y == kH - 1)
                                    ? src.row(y)[x]
                                    : ((src.row(y - 1)[x] + src.row(y + 1)[x]) * e + src.row(y)[x] * static_cast<int>(weight)) >> 8;
        Plane<Opx8u> dst(kW, kH, 16);
        const int cuts[] = {0, 7, 10, 17, kH};  // top 7, middles 3 and 7, bottom 7
        for (int i = 0; i < 4; ++i) {
            const unsigned layout = i == 0 ? 1 : i == 3 ? 16 : 4;
            ASSERT_EQ(opxiDeinterlaceFilterTriangle_8u_C1R(src.row(cuts[i]), src.step(),
                                                           dst.row(cuts[i]), dst.step(),
                                                           {kW, cuts[i + 1] - cuts[i]}, weight, layout),
                      opxOk);
        }
        EXPECT_TRUE(matches(want, dst.data(), dst.step(), kUntouched)) << "weight " << weight;
        EXPECT_TRUE(dst.canaries_intact());
    }
}

// The two-channel form filters 2 × width bytes and returns the one-channel results (not its
// layout argument, which would read as a warning or an unknown code).
TEST(VppDeinterlace, TriangleTwoChannelsIsTheOneChannelRuleOnTwiceTheBytes) {
    Rng rng;
    for (int w : {1, 8, 17, 40})
        for (unsigned layout : {1u, 4u, 16u, 2u}) {
            Plane<Opx8u> src(2 * w, 6, 4);
            fill_plane(src, 0, rng);
            Plane<Opx8u> one(2 * w, 7, 16), two(2 * w, 7, 16);
            const OpxResult r1 = opxiDeinterlaceFilterTriangle_8u_C1R(
                src.data(), src.step(), one.row(1), one.step(), {2 * w, 6}, 90, layout);
            const OpxResult r2 = opxiDeinterlaceFilterTriangle_8u_C2R(
                src.data(), src.step(), two.row(1), two.step(), {w, 6}, 90, layout);
            EXPECT_EQ(r1, opxOk);
            EXPECT_EQ(r2, opxOk) << "layout " << layout;
            EXPECT_TRUE(planes_equal(one, two)) << "width " << w << " layout " << layout;
            EXPECT_TRUE(two.canaries_intact());
        }
    Opx8u b[64] = {};
    EXPECT_EQ(opxiDeinterlaceFilterTriangle_8u_C2R(b, 8, b + 32, 8, {0, 3}, 0, 1), opxErrSize);
    EXPECT_EQ(opxiDeinterlaceFilterTriangle_8u_C2R(b, 8, b + 32, 8, {1, 2}, 0, 1), opxErrSize);
}

// Source and destination as the two fields of one frame (steps twice the frame's): the even
// rows rebuild the odd ones.
TEST(VppDeinterlace, EdgeDetectOnTheFieldsOfOneFrame) {
    Rng rng;
    constexpr int kW = 40, kH = 12;
    Plane<Opx8u> frame(kW, kH, 4);
    frame.fill(Pattern::kRandom, rng, 0, 255);
    Plane<Opx8u> field(kW, kH / 2, 4);
    for (int r = 0; r < kH / 2; ++r) std::copy(frame.row(2 * r), frame.row(2 * r) + kW, field.row(r));
    Plane<Opx8u> want(kW, kH / 2);
    ASSERT_EQ(opxiDeinterlaceEdgeDetect_8u_C1R(field.data(), field.step(), want.data(), want.step(), {kW, kH / 2}, 1, 1), opxOk);
    ASSERT_EQ(opxiDeinterlaceEdgeDetect_8u_C1R(frame.row(0), 2 * frame.step(), frame.row(1),
                                               2 * frame.step(), {kW, kH / 2}, 1, 1),
              opxOk);
    for (int r = 0; r < kH / 2; ++r)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(frame.row(2 * r + 1)[x], want.at(x, r));
}

// A fieldNum above 1 reads no row below the field's last (row h only without the border copy):
// the field ends just before an unreadable page.
TEST(VppDeinterlace, EdgeDetectLargeFieldNumStaysInsideTheField) {
    Rng rng;
    constexpr int kW = 50, kH = 6;
    GuardedBuffer g(4096 * 2);
    for (int border : {1, 0}) {
        const int rows = kH + (border ? 0 : 1);
        Opx8u* src = g.place(kW, rows, kW);
        for (int i = 0; i < kW * rows; ++i) src[i] = static_cast<Opx8u>(rng.next());
        Plane<Opx8u> d1(kW, kH), d2(kW, kH);
        ASSERT_EQ(opxiDeinterlaceEdgeDetect_8u_C1R(src, kW, d1.data(), d1.step(), {kW, kH}, 1, border), opxOk);
        for (int field : {2, 3, 1000, INT_MAX, -1}) {
            ASSERT_EQ(opxiDeinterlaceEdgeDetect_8u_C1R(src, kW, d2.data(), d2.step(), {kW, kH}, field, border), opxOk);
            EXPECT_TRUE(planes_equal(d1, d2)) << "fieldNum " << field;
        }
    }
}

// ---- null pointers (the harness nulls each in turn) ---------------------------------------------

OPX_NULL_CALL(opxiDeinterlaceEdgeDetect_8u_C1R, nul(s.u8(0) + 256), 64, nul(s.u8(1)), 64,
              OpxRoiSize{16, 4}, 0, 0)
OPX_NULL_CALL(opxiDeinterlaceMedianThreshold_8u_C1R, nul(s.u8(0) + 256), 64, nul(s.u8(1) + 256),
              64, OpxRoiSize{16, 4}, 10, 1, 0)
OPX_NULL_CALL(opxiDeinterlaceFilterTriangle_8u_C1R, nul(s.u8(0) + 256), 64, nul(s.u8(1) + 256),
              64, OpxRoiSize{16, 4}, 128, 4)
OPX_NULL_CALL(opxiDeinterlaceFilterTriangle_8u_C2R, nul(s.u8(0) + 256), 64, nul(s.u8(1) + 256),
              64, OpxRoiSize{16, 4}, 128, 16)

}  // namespace
}  // namespace opx::test::vpp
