// H.263 deblocking and block boundary filters and the H.261 loop filter: the values the rules
// single out, pinned results of the exported functions, every AVX2 kernel against the portable
// one at guard pages, in-place H.261 filtering, result codes and nothing written on error.
#include "mpeg4/filter.hpp"

#include <cstdlib>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;
namespace avx2 = opx::mpeg4::avx2;

void fill_edge_samples(Plane<Opx8u>& pl, Rng& rng, int kind) {
    // 0 random, 1 extremes, 2 small steps (where the ramp acts), 3 step edge
    for (int y = 0; y < pl.height(); ++y)
        for (int x = 0; x < pl.width(); ++x) {
            pl.at(x, y) = static_cast<Opx8u>(
                kind == 0   ? rng.uniform_int(0, 255)
                : kind == 1 ? (rng.coin() ? 255 : 0)
                : kind == 2 ? 120 + rng.uniform_int(-40, 40)
                            : (((x + y) & 1) ? rng.uniform_int(200, 255) : rng.uniform_int(0, 60)));
        }
}

// ---- values the rules single out ----------------------------------------------------------------

// p1 p0 | q0 q1 = 0 0 | 16 16 across a horizontal edge of 8 columns.
std::array<int, 4> step_edge(OpxResult (*fn)(Opx8u*, Opx32s, Opx32s), Opx32s qp, bool ver) {
    Plane<Opx8u> pl(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pl.at(x, y) = static_cast<Opx8u>(((ver ? x : y) >= 4) ? 16 : 0);
    EXPECT_EQ(fn(ver ? &pl.at(4, 0) : pl.row(4), pl.step32(), qp), opxOk);
    EXPECT_TRUE(pl.canaries_intact());
    std::array<int, 4> r{};
    for (int j = 0; j < 4; ++j)
        r[static_cast<std::size_t>(j)] = ver ? pl.at(2 + j, 5) : pl.at(5, 2 + j);
    return r;
}

TEST(Mpeg4FilterRules, H263StepEdgeAtQp1AndQp31BothDirections) {
    for (bool ver : {false, true}) {
        auto fn = ver ? opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR
                      : opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR;
        EXPECT_EQ(step_edge(fn, 1, ver), (std::array<int, 4>{0, 0, 16, 16}));
        EXPECT_EQ(step_edge(fn, 31, ver), (std::array<int, 4>{3, 6, 10, 13}));
    }
}

TEST(Mpeg4FilterRules, SixteenSampleEdgeHasNoRampAndBoundaryFilter) {
    for (bool ver : {false, true}) {
        Plane<Opx8u> pl(16, 16), bb(16, 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                pl.at(x, y) = static_cast<Opx8u>(((ver ? x : y) >= 8) ? 16 : 0);
                bb.at(x, y) = static_cast<Opx8u>(((ver ? x : y) >= 8) ? 4 : 0);
            }
        Opx8u* p = ver ? &pl.at(8, 0) : pl.row(8);
        Opx8u* q = ver ? &bb.at(8, 0) : bb.row(8);
        const Opx32s st = pl.step32();
        ASSERT_EQ((ver ? opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR
                       : opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR)(p, st),
                  opxOk);
        ASSERT_EQ((ver ? opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR
                       : opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR)(q, st),
                  opxOk);
        for (int i = 0; i < 16; ++i) {
            const int e[4] = {3, 6, 10, 13}, b[4] = {0, 1, 3, 4};
            for (int j = 0; j < 4; ++j) {
                EXPECT_EQ(ver ? pl.at(6 + j, i) : pl.at(i, 6 + j), e[j]);
                EXPECT_EQ(ver ? bb.at(6 + j, i) : bb.at(i, 6 + j), b[j]);
            }
        }
        EXPECT_TRUE(pl.canaries_intact());
        EXPECT_TRUE(bb.canaries_intact());
    }
}

TEST(Mpeg4FilterRules, H261FlatBlockUnchangedAndCornersKept) {
    Plane<Opx8u> s(8, 8), d(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) s.at(x, y) = 77;
    ASSERT_EQ(opxiFilter8x8_H261_8u_C1R(s.data(), s.step32(), d.data(), d.step32()), opxOk);
    EXPECT_TRUE(planes_equal(s, d));
    Rng rng;
    s.fill(Pattern::kRandom, rng);
    ASSERT_EQ(opxiFilter8x8_H261_8u_C1R(s.data(), s.step32(), d.data(), d.step32()), opxOk);
    for (int c : {0, 7})
        for (int r : {0, 7}) EXPECT_EQ(d.at(c, r), s.at(c, r));
    EXPECT_TRUE(d.canaries_intact());
}

// Every QP of the 8x8 filters (0: the 16-sample filter, 32: the boundary filter), both
// directions, four kinds of samples; the H.261 filter out of place and in place.
TEST(Mpeg4FilterRules, PinnedResultsEveryQpBothDirections) {
    Rng rng(0x48323633ull);
    Digest edges, h261;
    for (int kind = 0; kind < 4; ++kind)
        for (int qp = 0; qp <= 32; ++qp)
            for (bool ver : {false, true}) {
                const int n = (qp == 0 || qp == 32) ? 16 : 8;
                Plane<Opx8u> pl(ver ? 8 : n, ver ? n : 8, 8, qp & 7);
                fill_edge_samples(pl, rng, kind);
                Opx8u* p = ver ? &pl.at(4, 0) : pl.row(4);
                const Opx32s st = pl.step32();
                const OpxResult r =
                    qp == 0    ? (ver ? opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR
                                      : opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR)(p, st)
                    : qp == 32 ? (ver ? opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR
                                      : opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR)(p, st)
                               : (ver ? opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR
                                      : opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR)(p, st, qp);
                ASSERT_EQ(r, opxOk);
                ASSERT_TRUE(pl.canaries_intact());
                edges.add(pl.data(), pl.step(), pl.width(), pl.height());
            }
    for (int iter = 0; iter < 200; ++iter) {
        Plane<Opx8u> s(8, 8, 8, iter & 15), d(8, 8, 8, iter & 7);
        s.fill(iter % 5 == 0 ? Pattern::kChecker : Pattern::kRandom, rng);
        const Opx32s ss = s.step32(), ds = d.step32();
        ASSERT_EQ(opxiFilter8x8_H261_8u_C1R(s.data(), ss, d.data(), ds), opxOk);
        h261.add(d.data(), d.step(), 8, 8);
        ASSERT_EQ(opxiFilter8x8_H261_8u_C1R(s.data(), ss, s.data(), ss), opxOk);
        ASSERT_TRUE(planes_equal(d, s)) << "in place";
        ASSERT_TRUE(d.canaries_intact() && s.canaries_intact());
    }
    EXPECT_EQ(edges.value(), 0x590fe34ddc159e9aull);
    EXPECT_EQ(h261.value(), 0xce423b3c4bd2a287ull);
}

// ---- AVX2 against portable ---------------------------------------------------------------------

// Every kernel of the table; edges placed at the ends of guarded buffers, steps of both signs: a
// sample read or written outside p1..q1 (outside the 8x8 block for H.261) faults.
TEST(Mpeg4FilterDifferential, EveryKernelAgreesAtGuardPages) {
    if (!have_avx2()) GTEST_SKIP();
    Rng rng;
    GuardedBuffer ga(4096), gb(4096), gs(4096);
    for (int iter = 0; iter < 1200; ++iter) {
        const bool ver = iter & 1;
        const int what = (iter >> 1) % 4;  // deblock 8, deblock 16 (no ramp), boundary, H.261
        const int n = what == 0 ? 8 : 16;
        const std::ptrdiff_t step =
            (iter & 8) ? -static_cast<std::ptrdiff_t>(rng.uniform(16, 40)) : rng.uniform(16, 40);
        const bool front = iter & 16;
        const int w = what == 3 ? 8 : ver ? 4 : n, h = what == 3 ? 8 : ver ? n : 4;
        Opx8u* a = ga.place(w, h, step, front);
        Opx8u* b = gb.place(w, h, step, front);
        Opx8u* src = gs.place(w, h, -step, !front);
        const int kind = rng.uniform_int(0, 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                src[-y * step + x] = a[y * step + x] = b[y * step + x] =
                    static_cast<Opx8u>(kind == 0   ? rng.uniform(0, 255)
                                       : kind == 1 ? (rng.coin() ? 255 : 0)
                                       : kind == 2 ? 128 + rng.uniform(-30, 30)
                                                   : (((ver ? x : y) >= 2) ? 255 : 0));
        Opx8u* pa = ver ? a + 2 : a + 2 * step;
        Opx8u* pb = ver ? b + 2 : b + 2 * step;
        const int s = what == 0 ? rng.uniform_int(1, 12) : opx::mpeg4::kNoRamp;
        if (what == 3) {
            ref::kFilter.h261(src, -step, a, step);
            avx2::kFilter.h261(src, -step, b, step);
        } else if (what == 2) {
            (ver ? ref::kFilter.boundary_ver : ref::kFilter.boundary_hor)(pa, step);
            (ver ? avx2::kFilter.boundary_ver : avx2::kFilter.boundary_hor)(pb, step);
        } else {
            (ver ? ref::kFilter.deblock_ver : ref::kFilter.deblock_hor)(pa, step, n, s);
            (ver ? avx2::kFilter.deblock_ver : avx2::kFilter.deblock_hor)(pb, step, n, s);
        }
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(regions_equal(a + y * step, 0, b + y * step, 0, w, 1))
                << "iter " << iter << " kernel " << what << " row " << y;
    }
}

}  // namespace

OPX_NULL_CALL(opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32, 8)
OPX_NULL_CALL(opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32, 8)
OPX_NULL_CALL(opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32)
OPX_NULL_CALL(opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32)
OPX_NULL_CALL(opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32)
OPX_NULL_CALL(opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR, nul(s.u8(0) + 64), 32)
OPX_NULL_AUTO(opxiFilter8x8_H261_8u_C1R, 8, 8)

}  // namespace opx::test::mpeg4
