// MPEG-4 deblocking and deringing post-filters: the truncating default-mode limit; the exported
// functions against the portable kernels at guard pages, results pinned; in-place smoothing;
// result codes and nothing written on error.
#include "mpeg4/filter_post.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;

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

// a3,0 = 6, a3,1 = 0: d = −4, limited by (100 − 103) / 2 = −1 (an arithmetic shift would give −2).
TEST(Mpeg4PostFilterRules, DefaultModeLimitTruncatesTowardsZero) {
    for (bool hor : {true, false}) {
        const std::array<int, 10> in{100, 100, 110, 110, 100, 103, 93, 80, 60, 40};
        const std::array<int, 10> want{100, 100, 110, 110, 101, 102, 93, 80, 60, 40};
        EXPECT_EQ(run_segment(in, hor, 31, 0, 6), want);
    }
}

// ---- exported functions against the portable kernels --------------------------------------------

// Deblocking across edges in both directions (QP and thresholds over their ranges and beyond),
// deringing smoothing out of place and in place, and deringing thresholds (blocks whose ranges lie
// below 16, in 16..63 and above, ties) through the exported functions (the AVX2 kernels, and the
// portable ones in the suite's second run) against the portable kernels; blocks at the ends of
// guarded buffers, steps of both signs. Samples: random, flat (DC offset mode), a step of 10
// with noise, extremes. Results pinned (from the library whose earlier pins held).
TEST(Mpeg4PostFilterRules, ExportedAgainstThePortableKernelsAtGuardPagesPinned) {
    Rng rng(0x4D50534Full);
    Digest deblock, smooth, thresholds;
    GuardedBuffer ga(8192), gb(8192), gc(8192), gd(8192);
    for (int iter = 0; iter < 2400; ++iter) {
        const std::ptrdiff_t step =
            (iter & 2) ? -static_cast<std::ptrdiff_t>(rng.uniform(16, 40)) : rng.uniform(16, 40);
        const Opx32s st = static_cast<Opx32s>(step);
        const bool front = iter & 4;
        const int qp = iter % 7 == 0 ? 31 : iter % 5 == 0 ? 1 : rng.uniform_int(1, 31);
        const int kind = (iter >> 3) % 4, base = rng.uniform_int(20, 235);
        auto value = [&](int x, int y) {
            const std::int64_t v[] = {rng.uniform(0, 255), base + rng.uniform(-3, 3),
                                      base + rng.uniform(-12, 12) + ((x + y) % 10 >= 5 ? 10 : 0),
                                      rng.coin() ? 255 : 0};
            return static_cast<Opx8u>(std::clamp<std::int64_t>(v[kind], 0, 255));
        };
        if (iter % 3 == 0) {  // deblocking, both directions
            const bool hor = iter & 1;
            const int w = hor ? 8 : 10, h = hor ? 10 : 8;
            Opx8u* a = ga.place(w, h, step, front);
            Opx8u* b = gb.place(w, h, step, front);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) a[y * step + x] = b[y * step + x] = value(x, y);
            const int t1 = iter % 11 == 0 ? -3 : rng.uniform_int(-1, 8);
            const int t2 = iter % 13 == 0 ? 100 : rng.uniform_int(-1, 10);
            Opx8u* pa = hor ? a + 5 * step : a + 5;
            Opx8u* pb = hor ? b + 5 * step : b + 5;
            (hor ? ref::kPostFilter.deblock_hor : ref::kPostFilter.deblock_ver)(pa, step, qp, t1,
                                                                                t2);
            ASSERT_EQ(deblock_fn(hor)(pb, st, qp, t1, t2), opxOk);
            for (int y = 0; y < h; ++y)
                ASSERT_TRUE(regions_equal(a + y * step, 0, b + y * step, 0, w, 1)) << iter;
            deblock.add(b, step, w, h);
        } else if (iter % 3 == 1) {  // smoothing: 10x10 source
            Opx8u* s = gc.place(10, 10, step, front);
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x) s[y * step + x] = value(x, y);
            Opx8u* a = ga.place(8, 8, -step, !front);
            Opx8u* b = gb.place(8, 8, -step, !front);
            const int thr = iter % 17 == 1 ? (iter % 2 ? -5 : 300) : rng.uniform_int(-2, 258);
            Opx8u* blk = s + step + 1;
            ref::kPostFilter.dering_smooth(blk, step, a, -step, qp, thr);
            ASSERT_EQ(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(blk, st, b, -st, qp, thr), opxOk);
            ASSERT_TRUE(regions_equal(a, -step, b, -step, 8, 8)) << iter;
            smooth.add(b, -step, 8, 8);
            ASSERT_EQ(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(blk, st, blk, st, qp, thr), opxOk);
            ASSERT_TRUE(regions_equal(a, -step, blk, step, 8, 8)) << "in place " << iter;
        } else {  // thresholds: per luma block a base and a range (15 and 16 on either side of 16)
            Opx8u* y = gc.place(16, 16, step, front);
            Opx8u* cb = ga.place(8, 8, step, !front);
            Opx8u* cr = gd.place(8, 8, -step, front);
            for (int k = 0; k < 4; ++k) {
                const int spread = iter % 5 == 2
                                       ? 15 + (iter / 5) % 2
                                       : static_cast<int>(rng.uniform(0, 3) * 30 + rng.uniform(0, 8));
                const int lo = rng.uniform_int(0, 255 - spread);
                Opx8u* blk = y + 8 * (k / 2) * step + 8 * (k % 2);
                for (int j = 0; j < 8; ++j)
                    for (int i = 0; i < 8; ++i)
                        blk[j * step + i] = static_cast<Opx8u>(lo + rng.uniform(0, spread));
                blk[0] = static_cast<Opx8u>(lo);
                blk[7 * step + 7] = static_cast<Opx8u>(lo + spread);
            }
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    cb[j * step + i] = static_cast<Opx8u>(rng.next());
                    cr[-j * step + i] = static_cast<Opx8u>(iter & 1 ? 0 : rng.next());
                }
            Opx32s want[6], got[8] = {-7, -7, -7, -7, -7, -7, -7, -7};
            ref::kPostFilter.dering_threshold(y, step, cb, step, cr, -step, want);
            ASSERT_EQ(opxiFilterDeringingThreshold_MPEG4_8u_P3R(y, st, cb, st, cr, -st, got + 1),
                      opxOk);
            ASSERT_TRUE(got[0] == -7 && got[7] == -7);
            ASSERT_TRUE(std::equal(want, want + 6, got + 1)) << iter;
            thresholds.add(got + 1, sizeof got - 8);
        }
    }
    EXPECT_EQ(deblock.value(), 0x13bb9779498ce129ull) << std::hex << deblock.value();
    EXPECT_EQ(smooth.value(), 0x9dd5ba4bc8154e33ull) << std::hex << smooth.value();
    EXPECT_EQ(thresholds.value(), 0x7b33f42a1c373f9cull) << std::hex << thresholds.value();
}

}  // namespace

OPX_NULL_AUTO(opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR, 32, 8, 2, 6)
OPX_NULL_AUTO(opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR, 32, 8, 2, 6)
OPX_NULL_AUTO(opxiFilterDeringingThreshold_MPEG4_8u_P3R, 32, 16, 16)
OPX_NULL_AUTO(opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R, 32, 16, 8, 100)

}  // namespace opx::test::mpeg4
