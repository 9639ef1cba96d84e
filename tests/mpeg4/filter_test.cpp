// H.263 deblocking and block boundary filters and the H.261 loop filter: the values the rules
// single out; the exported functions against the portable kernels at guard pages, results pinned;
// in-place H.261 filtering; result codes and nothing written on error.
#include "mpeg4/filter.hpp"

#include <cstdlib>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;

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

// ---- exported functions against the portable kernels ------------------------------------------

// Every QP of the 8x8 filters (0: the 16-sample filter, 32: the boundary filter) in both
// directions, and the H.261 filter out of place and in place, through the exported functions (the
// AVX2 kernels, and the portable ones in the suite's second run) against the portable kernels, on
// four kinds of samples: edges at the ends of guarded buffers, steps of both signs (a sample read
// or written outside p1..q1, outside the 8x8 block for H.261, faults). Results pinned (from the
// library whose earlier pins held).
TEST(Mpeg4FilterRules, ExportedAgainstThePortableKernelsAtGuardPagesPinned) {
    using Edge = OpxResult (*)(Opx8u*, Opx32s);
    const Edge edge16[2] = {opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR,
                            opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR};
    const Edge boundary[2] = {opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR,
                              opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR};
    Rng rng(0x48323633ull);
    Digest edges, h261;
    GuardedBuffer ga(4096), gb(4096), gs(4096);
    for (int iter = 0; iter < 34 * 2 * 20; ++iter) {
        const bool ver = iter & 1;
        const int qp = (iter >> 1) % 34;  // 33: H.261
        const int n = (qp == 0 || qp == 32) ? 16 : 8;
        const std::ptrdiff_t step =
            (iter & 8) ? -static_cast<std::ptrdiff_t>(rng.uniform(16, 40)) : rng.uniform(16, 40);
        const Opx32s st = static_cast<Opx32s>(step);
        const bool front = iter & 16;
        const int w = qp == 33 ? 8 : ver ? 4 : n, h = qp == 33 ? 8 : ver ? n : 4;
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
        OpxResult r;
        if (qp == 33) {
            ref::kFilter.h261(src, -step, a, step);
            r = opxiFilter8x8_H261_8u_C1R(src, -st, b, st);
        } else if (qp == 32) {
            (ver ? ref::kFilter.boundary_ver : ref::kFilter.boundary_hor)(pa, step);
            r = boundary[ver](pb, st);
        } else {
            (ver ? ref::kFilter.deblock_ver : ref::kFilter.deblock_hor)(
                pa, step, n, qp ? opx::mpeg4::kH263Strength[qp - 1] : opx::mpeg4::kNoRamp);
            r = qp ? (ver ? opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR
                          : opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR)(pb, st, qp)
                   : edge16[ver](pb, st);
        }
        ASSERT_EQ(r, opxOk);
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(regions_equal(a + y * step, 0, b + y * step, 0, w, 1))
                << "iter " << iter << " QP " << qp << " row " << y;
        (qp == 33 ? h261 : edges).add(b, step, w, h);
        if (qp == 33) {  // in place
            ASSERT_EQ(opxiFilter8x8_H261_8u_C1R(src, -st, src, -st), opxOk);
            for (int y = 0; y < 8; ++y)
                ASSERT_TRUE(regions_equal(b + y * step, 0, src - y * step, 0, 8, 1)) << "in place";
        }
    }
    EXPECT_EQ(edges.value(), 0x800dcfaccae1210cull) << std::hex << edges.value();
    EXPECT_EQ(h261.value(), 0xe287c8a21f2c31bfull) << std::hex << h261.value();
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
