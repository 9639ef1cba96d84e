// H.264 interpolation kernels: every AVX2 table entry against the portable entry of the same
// index, on random data, checkerboards, ramps, constant blocks and the six-tap worst cases, with
// canaries around the destination and sources flush against unreadable pages.
#include "h264/decode/interp.hpp"
#include "h264/interp_test_util.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;
using namespace opx::test::interp;

constexpr int kMargin = 8;

int luma_width_of(int index) {
    return kLumaWidths[std::min(index / 16, 2)];
}
int chroma_width_of(int index) {
    return kChromaWidths[std::min(index / 4, 2)];
}

// ---- 8-bit luma ---------------------------------------------------------------------------------

TEST(InterpKernels, Luma8MatchesPortableAndReadsOnlyItsSupport) {
    Rng rng;
    for (int i = 0; i < 64; ++i) {
        const int w = luma_width_of(i), dx = i % 4, dy = (i / 4) % 4;
        for (int h : {4, 8, 12, 16, 32}) {
            for (Input in : kAllInputs) {
                SCOPED_TRACE(testing::Message()
                             << "entry " << i << " " << w << "x" << h << " dx " << dx << " dy "
                             << dy << " input " << static_cast<int>(in));
                const int misalign = static_cast<int>(rng.uniform(0, 63));
                Plane<Opx8u> src(w, h, kMargin, misalign);
                fill_input(src, kMargin, in, 255, rng);
                Plane<Opx8u> a(w, h, 16, misalign / 3), b(w, h, 16, misalign / 5);
                // Height 12 bottom row first (negative steps).
                const int y0 = h == 12 ? h - 1 : 0, dir = y0 ? -1 : 1;
                ref::kInterp.luma8[i](src.row(y0), dir * src.step(), a.row(y0), dir * a.step(), h);
                avx2::kInterp.luma8[i](src.row(y0), dir * src.step(), b.row(y0), dir * b.step(), h);
                ASSERT_TRUE(planes_equal(a, b));
                ASSERT_TRUE(a.canaries_intact());
                ASSERT_TRUE(b.canaries_intact());
            }
        }
        // The support against unreadable pages at the end and at the front of readable memory,
        // with the tightest step and a wider one: no kernel reads beyond it.
        const Support s = luma_support(w, 16, dx, dy);
        for (bool front : {false, true}) {
            for (int extra : {0, 9}) {
                GuardedSource<Opx8u> g(s, s.width() + extra, front, rng, 255);
                Opx8u a[16 * 16], b[16 * 16];
                ref::kInterp.luma8[i](g.block, g.step, a, 16, 16);
                avx2::kInterp.luma8[i](g.block, g.step, b, 16, 16);
                ASSERT_TRUE(regions_equal(a, 16, b, 16, w, 16)) << "entry " << i;
            }
        }
    }
}

// ---- 16-bit luma --------------------------------------------------------------------------------

TEST(InterpKernels, Luma16MatchesPortableAndReadsOnlyItsSupport) {
    Rng rng;
    for (int p = 0; p < 16; ++p) {
        for (int depth : {8, 10, 12, 14}) {
            const int max = (1 << depth) - 1;
            for (int w : {4, 8, 16}) {
                for (int h : {4, 8, 16}) {
                    for (Input in : kAllInputs) {
                        SCOPED_TRACE(testing::Message()
                                     << "position " << p << " " << w << "x" << h << " depth "
                                     << depth << " input " << static_cast<int>(in));
                        Plane<Opx16u> src(w, h, kMargin, 2 * static_cast<int>(rng.uniform(0, 31)));
                        fill_input(src, kMargin, in, max, rng);
                        Plane<Opx16u> a(w, h, 8, 2), b(w, h, 8, 6);
                        ref::kInterp.luma16[p](src.data(), src.step() / 2, a.data(), a.step() / 2,
                                               w, h, max);
                        avx2::kInterp.luma16[p](src.data(), src.step() / 2, b.data(), b.step() / 2,
                                                w, h, max);
                        ASSERT_TRUE(planes_equal(a, b));
                        ASSERT_TRUE(a.canaries_intact());
                        ASSERT_TRUE(b.canaries_intact());
                    }
                }
            }
        }
        // Support only (against unreadable pages).
        for (int w : {4, 8, 16}) {
            const Support s = luma_support(w, 8, p % 4, p / 4);
            for (bool front : {false, true}) {
                GuardedSource<Opx16u> g(s, s.width(), front, rng, 1023);
                Opx16u a[16 * 16], b[16 * 16];
                ref::kInterp.luma16[p](g.block, g.step, a, 16, w, 8, 1023);
                avx2::kInterp.luma16[p](g.block, g.step, b, 16, w, 8, 1023);
                ASSERT_TRUE(regions_equal(a, 32, b, 32, w, 8)) << "position " << p;
            }
        }
    }
}

// ---- 8-bit chroma -------------------------------------------------------------------------------

// Fractions that index entry i: zero where the entry has no fraction on that axis.
std::vector<std::pair<int, int>> chroma_fractions(int i) {
    std::vector<std::pair<int, int>> out;
    for (int dy = 0; dy < 8; ++dy)
        for (int dx = 0; dx < 8; ++dx)
            if (chroma8_index(chroma_width_of(i), dx, dy) == i) out.emplace_back(dx, dy);
    return out;
}

TEST(InterpKernels, Chroma8PlanarInterleavedAndSplitMatchPortableAndReadOnlyTheirSupport) {
    Rng rng;
    for (int i = 0; i < 16; ++i) {
        const int w = chroma_width_of(i);
        for (auto [dx, dy] : chroma_fractions(i)) {
            for (int h : {2, 4, 6, 8, 16, 32}) {
                for (Input in : {Input::kRandom, Input::kChecker, Input::kMax}) {
                    SCOPED_TRACE(testing::Message() << "entry " << i << " " << w << "x" << h
                                                    << " dx " << dx << " dy " << dy);
                    const int mis = static_cast<int>(rng.uniform(0, 63));
                    Plane<Opx8u> src(2 * w, h, kMargin, mis);
                    fill_input(src, kMargin, in, 255, rng);
                    Plane<Opx8u> a(w, h, 16, 3), b(w, h, 16, mis);
                    ref::kInterp.chroma8[i](src.data(), src.step(), a.data(), a.step(), h,
                                            chroma_frac(dx, dy));
                    avx2::kInterp.chroma8[i](src.data(), src.step(), b.data(), b.step(), h,
                                             chroma_frac(dx, dy));
                    ASSERT_TRUE(planes_equal(a, b));
                    ASSERT_TRUE(b.canaries_intact());

                    Plane<Opx8u> c(2 * w, h, 16, 1), d(2 * w, h, 16, 7);
                    ref::kInterp.chroma8_c2[i](src.data(), src.step(), c.data(), c.step(), h,
                                               chroma_frac(dx, dy));
                    avx2::kInterp.chroma8_c2[i](src.data(), src.step(), d.data(), d.step(), h,
                                                chroma_frac(dx, dy));
                    ASSERT_TRUE(planes_equal(c, d));
                    ASSERT_TRUE(d.canaries_intact());

                    // One step for both planes: the Cr plane is the Cb plane's neighbour rows.
                    Plane<Opx8u> uv0(w, 2 * h, 16), uv1(w, 2 * h, 16, 9);
                    ref::kInterp.chroma8_split[i](src.data(), src.step(), uv0.data(), uv0.row(h),
                                                  uv0.step(), h, chroma_frac(dx, dy));
                    avx2::kInterp.chroma8_split[i](src.data(), src.step(), uv1.data(), uv1.row(h),
                                                   uv1.step(), h, chroma_frac(dx, dy));
                    ASSERT_TRUE(planes_equal(uv0, uv1));
                    ASSERT_TRUE(uv1.canaries_intact());
                }
            }
        }
        // Support only (against unreadable pages), planar and interleaved.
        const int hs = 8;
        const int sdx = (i & 1) ? 5 : 0, sdy = (i & 2) ? 3 : 0;
        for (bool front : {false, true}) {
            for (int channels : {1, 2}) {
                const Support s = chroma_support(w, hs, sdx, sdy, channels);
                GuardedSource<Opx8u> g(s, s.width(), front, rng, 255);
                Opx8u a[16 * 16], b[16 * 16], u[16 * 16], v[16 * 16];
                if (channels == 1) {
                    ref::kInterp.chroma8[i](g.block, g.step, a, 16, hs, chroma_frac(sdx, sdy));
                    avx2::kInterp.chroma8[i](g.block, g.step, b, 16, hs, chroma_frac(sdx, sdy));
                    ASSERT_TRUE(regions_equal(a, 16, b, 16, w, hs));
                } else {
                    ref::kInterp.chroma8_c2[i](g.block, g.step, a, 16, hs, chroma_frac(sdx, sdy));
                    avx2::kInterp.chroma8_c2[i](g.block, g.step, b, 16, hs, chroma_frac(sdx, sdy));
                    ASSERT_TRUE(regions_equal(a, 16, b, 16, 2 * w, hs));
                    avx2::kInterp.chroma8_split[i](g.block, g.step, u, v, 16, hs,
                                                   chroma_frac(sdx, sdy));
                    for (int y = 0; y < hs; ++y)
                        for (int x = 0; x < w; ++x) {
                            ASSERT_EQ(u[y * 16 + x], a[y * 16 + 2 * x]);
                            ASSERT_EQ(v[y * 16 + x], a[y * 16 + 2 * x + 1]);
                        }
                }
            }
        }
    }
}

// ---- 16-bit chroma ------------------------------------------------------------------------------

TEST(InterpKernels, Chroma16MatchesPortable) {
    Rng rng;
    for (int i = 0; i < 4; ++i) {
        for (int dy = 0; dy < 8; ++dy) {
            for (int dx = 0; dx < 8; ++dx) {
                if (chroma16_index(dx, dy) != i) continue;
                for (int w : {2, 4, 8}) {
                    for (int h : {2, 4, 8, 16}) {
                        // 16: samples beyond any bit depth (the planes are not checked)
                        for (int depth : {8, 14, 16}) {
                            const int max = (1 << depth) - 1;
                            Plane<Opx16u> src(w + 1, h + 1, kMargin, 2);
                            fill_input(src, kMargin, rng.coin() ? Input::kRandom : Input::kMax, max,
                                       rng);
                            Plane<Opx16u> a(w, h, 8, 4), b(w, h, 8, 10);
                            ref::kInterp.chroma16[i](src.data(), src.step() / 2, a.data(),
                                                     a.step() / 2, w, h, dx, dy);
                            avx2::kInterp.chroma16[i](src.data(), src.step() / 2, b.data(),
                                                      b.step() / 2, w, h, dx, dy);
                            ASSERT_TRUE(planes_equal(a, b)) << i << " " << dx << " " << dy;
                            ASSERT_TRUE(b.canaries_intact());
                        }
                    }
                }
                // Support only.
                for (bool front : {false, true}) {
                    const Support s = chroma_support(8, 4, dx, dy);
                    GuardedSource<Opx16u> g(s, s.width(), front, rng, 16383);
                    Opx16u a[8 * 4], b[8 * 4];
                    ref::kInterp.chroma16[i](g.block, g.step, a, 8, 8, 4, dx, dy);
                    avx2::kInterp.chroma16[i](g.block, g.step, b, 8, 8, 4, dx, dy);
                    ASSERT_TRUE(regions_equal(a, 16, b, 16, 8, 4));
                }
            }
        }
    }
}

// ---- averaging ----------------------------------------------------------------------------------

TEST(InterpKernels, AverageMatchesPortableAtEverySizeAndInPlace) {
    Rng rng;
    for (int w = 2; w <= 16; ++w) {
        for (int h = 2; h <= 16; ++h) {
            Plane<Opx8u> s1(w, h, 16, 3), s2(w, h, 16, 11);
            s1.fill(Pattern::kRandom, rng);
            s2.fill(rng.coin() ? Pattern::kRandom : Pattern::kMax, rng);
            Plane<Opx8u> a(w, h, 16, 1), b(w, h, 16, 2);
            ref::kInterp.average(s1.data(), s1.step(), s2.data(), s2.step(), a.data(), a.step(), w,
                                 h);
            avx2::kInterp.average(s1.data(), s1.step(), s2.data(), s2.step(), b.data(), b.step(), w,
                                  h);
            ASSERT_TRUE(planes_equal(a, b)) << w << "x" << h;
            ASSERT_TRUE(b.canaries_intact());
            // In place over the first source.
            avx2::kInterp.average(s1.data(), s1.step(), s2.data(), s2.step(), s1.data(), s1.step(),
                                  w, h);
            ASSERT_TRUE(planes_equal(a, s1)) << w << "x" << h;
            ASSERT_TRUE(s1.canaries_intact());
        }
    }
}

}  // namespace
}  // namespace opx::test
