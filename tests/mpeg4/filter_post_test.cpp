// MPEG-4 deblocking and deringing post-filters: the values the rules single out (the truncating
// default-mode limit included), pinned results of the exported functions on random segments,
// AVX2 against portable kernels at guard pages, in-place smoothing, result codes and nothing
// written on error.
#include "mpeg4/filter_post.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;
namespace avx2 = opx::mpeg4::avx2;

using DeblockFn = OpxResult (*)(Opx8u*, Opx32s, Opx32s, Opx32s, Opx32s);
DeblockFn deblock_fn(bool hor) {
    return hor ? opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR
               : opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR;
}

// One segment across an edge, run through the exported function in the chosen direction.
std::array<int, 10> run_segment(const std::array<int, 10>& in, bool hor, int qp, int t1, int t2) {
    Plane<Opx8u> pl(hor ? 8 : 10, hor ? 10 : 8);
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 10; ++k)
            (hor ? pl.at(i, k) : pl.at(k, i)) = static_cast<Opx8u>(in[static_cast<std::size_t>(k)]);
    EXPECT_EQ(deblock_fn(hor)(hor ? pl.row(5) : &pl.at(5, 0), pl.step32(), qp, t1, t2), opxOk);
    EXPECT_TRUE(pl.canaries_intact());
    std::array<int, 10> out{};
    for (int k = 0; k < 10; ++k) out[static_cast<std::size_t>(k)] = hor ? pl.at(3, k) : pl.at(k, 3);
    return out;
}

// ---- values the rules single out ----------------------------------------------------------------

TEST(Mpeg4PostFilterRules, FlatSegmentAndSharpEdgeStayUnchanged) {
    for (bool hor : {true, false}) {
        const std::array<int, 10> flat{90, 90, 90, 90, 90, 90, 90, 90, 90, 90};
        for (int t2 : {6, 9}) EXPECT_EQ(run_segment(flat, hor, 10, 2, t2), flat);
        const std::array<int, 10> edge{0, 0, 0, 0, 0, 100, 100, 100, 100, 100};
        EXPECT_EQ(run_segment(edge, hor, 10, 0, 9), edge);  // default mode, a30 = 38 >= qp
        EXPECT_EQ(run_segment(edge, hor, 10, 0, 8), edge);  // DC offset mode, span >= 2 qp
    }
}

// a3,0 = 6, a3,1 = 0: d = −4, limited by (100 − 103) / 2 = −1 (an arithmetic shift would give −2).
TEST(Mpeg4PostFilterRules, DefaultModeLimitTruncatesTowardsZero) {
    for (bool hor : {true, false}) {
        const std::array<int, 10> in{100, 100, 110, 110, 100, 103, 93, 80, 60, 40};
        const std::array<int, 10> want{100, 100, 110, 110, 101, 102, 93, 80, 60, 40};
        EXPECT_EQ(run_segment(in, hor, 31, 0, 6), want);
    }
}

TEST(Mpeg4PostFilterRules, DcOffsetModeSmoothsTheSegment) {
    const std::array<int, 10> in{50, 52, 51, 53, 52, 56, 55, 57, 56, 70};
    // s1' = (50 + 50 + 2·50 + 2·50 + 4·52 + 2·51 + 2·53 + 52 + 56 + 8) >> 4 = 52 (p0 = s0).
    const std::array<int, 10> want{50, 52, 52, 53, 53, 55, 55, 56, 56, 70};
    EXPECT_NE(want, in);
    // p9 = s8 (|56 − 70| >= qp): s8' = (6·56 + 4·56 + 2·57 + 2·55 + 56 + 52 + 8) >> 4
    EXPECT_EQ(want[8], (6 * 56 + 4 * 56 + 2 * 57 + 2 * 55 + 56 + 52 + 8) >> 4);
    for (bool hor : {true, false}) EXPECT_EQ(run_segment(in, hor, 8, 2, 6), want);
}

// ---- pinned results of the exported functions, on both tables --------------------------------

void fill_segments(Plane<Opx8u>& pl, Rng& rng, int kind) {
    const int base = rng.uniform_int(20, 235);
    for (int y = 0; y < pl.height(); ++y)
        for (int x = 0; x < pl.width(); ++x) {
            const std::int64_t v[] = {rng.uniform(0, 255), base + rng.uniform(-3, 3),
                                      base + rng.uniform(-12, 12) + ((x + y) % 10 >= 5 ? 10 : 0),
                                      rng.coin() ? 255 : 0};
            pl.at(x, y) = static_cast<Opx8u>(std::clamp<std::int64_t>(v[kind], 0, 255));
        }
}

TEST(Mpeg4PostFilterRules, PinnedResultsOnRandomSegmentsAndBlocks) {
    Rng rng(0x4D50534Full);
    Digest deblock, smooth, thresholds;
    for (int iter = 0; iter < 1500; ++iter) {
        const bool hor = iter & 1;
        const int qp = iter % 7 == 0 ? 31 : iter % 5 == 0 ? 1 : rng.uniform_int(1, 31);
        const int t1 = iter % 11 == 0 ? -3 : rng.uniform_int(0, 6);
        const int t2 = iter % 13 == 0 ? 100 : rng.uniform_int(-1, 10);
        Plane<Opx8u> pl(hor ? 8 : 10, hor ? 10 : 8, 8, iter & 15);
        fill_segments(pl, rng, (iter >> 1) % 4);
        ASSERT_EQ((hor ? opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR
                       : opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR)(
                      hor ? pl.row(5) : &pl.at(5, 0), pl.step32(), qp, t1, t2),
                  opxOk);
        ASSERT_TRUE(pl.canaries_intact());
        deblock.add(pl.data(), pl.step(), pl.width(), pl.height());
    }
    for (int iter = 0; iter < 400; ++iter) {
        Plane<Opx8u> s(10, 10, 8, iter & 7), d(8, 8, 8, iter & 15);
        fill_segments(s, rng, iter % 4);
        const int qp = iter % 9 == 0 ? 1 : rng.uniform_int(1, 31);
        const int thr = iter % 17 == 0 ? (iter % 2 ? -5 : 300) : rng.uniform_int(0, 255);
        Opx8u* blk = &s.at(1, 1);
        const Opx32s st = s.step32();
        ASSERT_EQ(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(blk, st, d.data(), d.step32(), qp, thr),
                  opxOk);
        ASSERT_TRUE(d.canaries_intact());
        smooth.add(d.data(), d.step(), 8, 8);
        ASSERT_EQ(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(blk, st, blk, st, qp, thr), opxOk);
        ASSERT_TRUE(regions_equal(d.data(), d.step(), blk, s.step(), 8, 8)) << "in place " << iter;
    }
    for (int iter = 0; iter < 600; ++iter) {
        Plane<Opx8u> y(16, 16, 8, iter & 7), cb(8, 8), cr(8, 8);
        // per block a base and a spread: ranges below 16, 16..63, 64 and above, ties
        for (int k = 0; k < 4; ++k) {
            const int spread =
                iter % 5 == 0 ? 10 : static_cast<int>(rng.uniform(0, 3) * 30 + rng.uniform(0, 8));
            const int base = rng.uniform_int(0, 255 - spread);
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i)
                    y.at(8 * (k % 2) + i, 8 * (k / 2) + j) =
                        static_cast<Opx8u>(base + rng.uniform(0, spread));
        }
        cb.fill(Pattern::kRandom, rng);
        cr.fill(iter & 1 ? Pattern::kZeros : Pattern::kRandom, rng);
        Opx32s got[8] = {-7, -7, -7, -7, -7, -7, -7, -7};
        ASSERT_EQ(
            opxiFilterDeringingThreshold_MPEG4_8u_P3R(y.data(), y.step32(), cb.data(), cb.step32(),
                                                      cr.data(), cr.step32(), got + 1),
            opxOk);
        ASSERT_TRUE(got[0] == -7 && got[7] == -7);
        thresholds.add(got + 1, sizeof got - 8);
    }
    EXPECT_EQ(deblock.value(), 0x9dbc27d9a0602724ull);
    EXPECT_EQ(smooth.value(), 0x195ea93753a42b97ull);
    EXPECT_EQ(thresholds.value(), 0x9941f99d8a40ce29ull);
}

// ---- AVX2 against portable at guard pages -------------------------------------------------------

TEST(Mpeg4PostFilterDifferential, KernelsAgreeAtGuardPages) {
    if (!have_avx2()) GTEST_SKIP();
    Rng rng;
    GuardedBuffer ga(8192), gb(8192), gc(8192), gd(8192);
    for (int iter = 0; iter < 1200; ++iter) {
        const std::ptrdiff_t step =
            (iter & 2) ? -static_cast<std::ptrdiff_t>(rng.uniform(16, 40)) : rng.uniform(16, 40);
        const bool front = iter & 4;
        const int qp = rng.uniform_int(1, 31);
        const int kind = rng.uniform_int(0, 3);
        auto value = [&](int x, int y) {
            return static_cast<Opx8u>(kind == 0   ? rng.uniform(0, 255)
                                      : kind == 1 ? 128 + rng.uniform(-4, 4)
                                      : kind == 2 ? (((x + y) & 1) ? 255 : 0)
                                                  : 60 + ((x > 4) ? 9 : 0) + rng.uniform(0, 3));
        };
        if (iter % 3 == 0) {  // deblocking, both directions
            const bool hor = iter & 1;
            const int w = hor ? 8 : 10, h = hor ? 10 : 8;
            Opx8u* a = ga.place(w, h, step, front);
            Opx8u* b = gb.place(w, h, step, front);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) a[y * step + x] = b[y * step + x] = value(x, y);
            const int t1 = rng.uniform_int(-1, 8), t2 = rng.uniform_int(0, 10);
            Opx8u* pa = hor ? a + 5 * step : a + 5;
            Opx8u* pb = hor ? b + 5 * step : b + 5;
            (hor ? ref::kPostFilter.deblock_hor : ref::kPostFilter.deblock_ver)(pa, step, qp, t1,
                                                                                t2);
            (hor ? avx2::kPostFilter.deblock_hor : avx2::kPostFilter.deblock_ver)(pb, step, qp, t1,
                                                                                  t2);
            for (int y = 0; y < h; ++y)
                ASSERT_TRUE(regions_equal(a + y * step, 0, b + y * step, 0, w, 1)) << iter;
        } else if (iter % 3 == 1) {  // smoothing: 10x10 source
            Opx8u* s = gc.place(10, 10, step, front);
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x) s[y * step + x] = value(x, y);
            Opx8u* a = ga.place(8, 8, -step, !front);
            Opx8u* b = gb.place(8, 8, -step, !front);
            const int thr = rng.uniform_int(-2, 258);
            ref::kPostFilter.dering_smooth(s + step + 1, step, a, -step, qp, thr);
            avx2::kPostFilter.dering_smooth(s + step + 1, step, b, -step, qp, thr);
            ASSERT_TRUE(regions_equal(a, -step, b, -step, 8, 8)) << iter;
        } else {  // thresholds
            Opx8u* y = gc.place(16, 16, step, front);
            Opx8u* cb = ga.place(8, 8, step, !front);
            Opx8u* cr = gd.place(8, 8, -step, front);
            for (int j = 0; j < 16; ++j)
                for (int i = 0; i < 16; ++i) y[j * step + i] = value(i, j);
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    cb[j * step + i] = value(i, j);
                    cr[-j * step + i] = value(j, i);
                }
            Opx32s ta[6], tb[6];
            ref::kPostFilter.dering_threshold(y, step, cb, step, cr, -step, ta);
            avx2::kPostFilter.dering_threshold(y, step, cb, step, cr, -step, tb);
            for (int k = 0; k < 6; ++k) ASSERT_EQ(ta[k], tb[k]) << iter;
        }
    }
}

}  // namespace

OPX_NULL_AUTO(opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR, 32, 8, 2, 6)
OPX_NULL_AUTO(opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR, 32, 8, 2, 6)
OPX_NULL_AUTO(opxiFilterDeringingThreshold_MPEG4_8u_P3R, 32, 16, 16)
OPX_NULL_AUTO(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R, 32, 16, 8, 100)

}  // namespace opx::test::mpeg4
