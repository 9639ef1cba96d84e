// Block primitives through their exported names: position codes, sizes and residual planes on a
// ramp with closed-form half samples (so a mistake in the shared table indexing of the library
// cannot hide), and the values the rules single out (rounding, wrapping, saturation).
#include <algorithm>
#include <cstring>
#include <vector>

#include "frame/block.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

// Every exported function on a linear ramp r(x, y) = 2x + 10y, where each half-sample position
// has a closed form (the rounding bit never matters): horizontal adds n (the distance of the
// horizontal neighbour, 2 for interleaved chroma), vertical 5, both n + 5. This pins which
// position bits each function reads, its block size (canaries) and how it adds residuals
// r(x, y) = 3x - 7y (the rounding itself: the hand cases below).
constexpr int kRefStep = 40, kResStep = 64;  // bytes
int ramp(int x, int y) {
    return 2 * x + 10 * y;
}
int half(int x, int y, bool hor, bool ver, int n) {
    return ramp(x, y) + (hor ? n : 0) + (ver ? 5 : 0);
}
int residual(int x, int y) {
    return 3 * x - 7 * y;
}

struct RampBench {
    std::vector<Opx8u> ref = std::vector<Opx8u>(kRefStep * 18);
    std::vector<Opx16s> res = std::vector<Opx16s>(kResStep / 2 * 16);
    Plane<Opx8u> dst;
    std::vector<int> before;
    RampBench(int w, int h, Rng& rng) : dst(w, h, 16, 3, 1) {
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < kRefStep; ++x)
                ref[y * kRefStep + x] = static_cast<Opx8u>(ramp(x, y));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < kResStep / 2; ++x)
                res[y * kResStep / 2 + x] = static_cast<Opx16s>(residual(x, y));
        dst.fill(Pattern::kRandom, rng, 0, 255);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) before.push_back(dst.at(x, y));
    }
    template <class Model>
    testing::AssertionResult check(Model model) {
        std::vector<Opx8u> want;
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x)
                want.push_back(static_cast<Opx8u>(std::clamp(model(x, y), 0, 255)));
        if (!dst.canaries_intact()) return testing::AssertionFailure() << "write outside block";
        return regions_equal(want.data(), dst.width(), dst.data(), dst.step(), dst.width(),
                             dst.height());
    }
};

using HpApi = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, Opx32s, Opx32s);
using McApi = OpxResult (*)(const Opx8u*, Opx32s, const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s,
                            Opx32s);
using McBApi = OpxResult (*)(const Opx8u*, Opx32s, Opx32s, const Opx8u*, Opx32s, Opx32s,
                             const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s);

TEST(BlockRules, HalfSamplePositionsSizesAndResidualsOnARamp) {
    Rng rng;
    const struct {
        const char* name;
        HpApi fn;
        int w, h;
    } hp[] = {{"Copy8x8HP", opxiCopy8x8HP_8u_C1R, 8, 8},
              {"Copy16x16HP", opxiCopy16x16HP_8u_C1R, 16, 16},
              {"Copy16x8HP", opxiCopy16x8HP_8u_C1R, 16, 8},
              {"Copy8x4HP", opxiCopy8x4HP_8u_C1R, 8, 4},
              {"InterpolateAverage16x16", opxiInterpolateAverage16x16_8u_C1IR, 16, 16},
              {"InterpolateAverage16x8", opxiInterpolateAverage16x8_8u_C1IR, 16, 8},
              {"InterpolateAverage8x8", opxiInterpolateAverage8x8_8u_C1IR, 8, 8},
              {"InterpolateAverage8x4", opxiInterpolateAverage8x4_8u_C1IR, 8, 4}};
    // acc: bit 0 horizontal, bit 1 vertical, other bits ignored.
    for (const auto& c : hp)
        for (int acc : {0, 1, 2, 3, 7, -1}) {
            RampBench t(c.w, c.h, rng);
            ASSERT_EQ(c.fn(t.ref.data(), kRefStep, t.dst.data(), t.dst.step(), acc, 1), opxOk);
            const bool average = c.name[0] == 'I';
            EXPECT_TRUE(t.check([&](int x, int y) {
                const int p = half(x, y, acc & 1, acc & 2, 1);
                return average ? (p + t.before[y * c.w + x] + 1) >> 1 : p;
            })) << c.name
                << " acc " << acc;
        }
    const struct {
        const char* name;
        McApi one;
        McBApi two;
        int w, h, n;
    } mc[] = {{"MC16x16", opxiMC16x16_8u_C1, opxiMC16x16B_8u_C1, 16, 16, 1},
              {"MC16x8", opxiMC16x8_8u_C1, opxiMC16x8B_8u_C1, 16, 8, 1},
              {"MC8x16", opxiMC8x16_8u_C1, opxiMC8x16B_8u_C1, 8, 16, 1},
              {"MC8x8", opxiMC8x8_8u_C1, opxiMC8x8B_8u_C1, 8, 8, 1},
              {"MC8x4", opxiMC8x4_8u_C1, opxiMC8x4B_8u_C1, 8, 4, 1},
              {"MC4x8", opxiMC4x8_8u_C1, opxiMC4x8B_8u_C1, 4, 8, 1},
              {"MC4x4", opxiMC4x4_8u_C1, opxiMC4x4B_8u_C1, 4, 4, 1},
              {"MC4x2", opxiMC4x2_8u_C1, opxiMC4x2B_8u_C1, 4, 2, 1},
              {"MC2x4", opxiMC2x4_8u_C1, opxiMC2x4B_8u_C1, 2, 4, 1},
              {"MC2x2", opxiMC2x2_8u_C1, opxiMC2x2B_8u_C1, 2, 2, 1},
              {"MC16x8UV", opxiMC16x8UV_8u_C1, opxiMC16x8BUV_8u_C1, 16, 8, 2},
              {"MC16x4", opxiMC16x4_8u_C1, opxiMC16x4B_8u_C1, 16, 4, 2}};
    // mcType: 8 horizontal, 4 vertical, other bits ignored; the B forms average the two.
    for (const auto& c : mc)
        for (int tf : {0, 4, 8, 12, 3, 28})
            for (int tb : {0, 8, 13}) {
                RampBench t(c.w, c.h, rng), u(c.w, c.h, rng);
                ASSERT_EQ(c.one(t.ref.data(), kRefStep, t.res.data(), kResStep, t.dst.data(),
                                t.dst.step(), tf, 1),
                          opxOk);
                EXPECT_TRUE(t.check([&](int x, int y) {
                    return half(x, y, tf & 8, tf & 4, c.n) + residual(x, y);
                })) << c.name
                    << " mcType " << tf;
                ASSERT_EQ(c.two(u.ref.data(), kRefStep, tf, u.ref.data() + 1, kRefStep, tb,
                                u.res.data(), kResStep, u.dst.data(), u.dst.step(), 0),
                          opxOk);
                EXPECT_TRUE(u.check([&](int x, int y) {
                    return ((half(x, y, tf & 8, tf & 4, c.n) + half(x + 1, y, tb & 8, tb & 4, c.n) +
                             1) >>
                            1) +
                           residual(x, y);
                })) << c.name
                    << "B mcTypes " << tf << " " << tb;
            }
    // Residual U at even destination bytes, V at odd ones (V: the residual plane one row on).
    for (int h : {8, 4}) {
        auto one = h == 8 ? opxiMC8x8_16s8u_P2C2R : opxiMC8x4_16s8u_P2C2R;
        auto two = h == 8 ? opxiMC8x8B_16s8u_P2C2R : opxiMC8x4B_16s8u_P2C2R;
        for (int tf : {0, 4, 8, 12}) {
            RampBench t(16, h, rng), u(16, h, rng);
            const Opx16s* v = t.res.data() + kResStep / 2;
            auto res = [](int x, int y) {
                return (x & 1) ? residual(x >> 1, y + 1) : residual(x >> 1, y);
            };
            ASSERT_EQ(one(t.ref.data(), kRefStep, t.res.data(), v, kResStep, t.dst.data(),
                          t.dst.step(), tf, 0),
                      opxOk);
            EXPECT_TRUE(t.check([&](int x, int y) {
                return half(x, y, tf & 8, tf & 4, 2) + res(x, y);
            })) << "P2C2R height "
                << h << " mcType " << tf;
            ASSERT_EQ(two(u.ref.data(), kRefStep, tf, u.ref.data() + 2, kRefStep, 4, u.res.data(),
                          u.res.data() + kResStep / 2, kResStep, u.dst.data(), u.dst.step(), 0),
                      opxOk);
            EXPECT_TRUE(u.check([&](int x, int y) {
                return ((half(x, y, tf & 8, tf & 4, 2) + half(x + 2, y, false, true, 2) + 1) >> 1) +
                       res(x, y);
            })) << "P2C2R B height "
                << h << " mcType " << tf;
        }
    }
    // Copies, averages and residual additions.
    for (int size : {8, 16}) {
        RampBench a(size, size, rng), b(size, size, rng), c(size, size, rng);
        ASSERT_EQ((size == 8 ? opxiCopy8x8_8u_C1R : opxiCopy16x16_8u_C1R)(
                      a.ref.data(), kRefStep, a.dst.data(), a.dst.step()),
                  opxOk);
        EXPECT_TRUE(a.check(ramp)) << "Copy " << size;
        ASSERT_EQ((size == 8 ? opxiAverage8x8_8u_C1R : opxiAverage16x16_8u_C1R)(
                      b.ref.data(), kRefStep, b.ref.data() + 2 * kRefStep, kRefStep, b.dst.data(),
                      b.dst.step()),
                  opxOk);
        EXPECT_TRUE(b.check([](int x, int y) { return (ramp(x, y) + ramp(x, y + 2) + 1) >> 1; }))
            << "Average " << size;
        ASSERT_EQ((size == 8 ? opxiAverage8x8_8u_C1IR : opxiAverage16x16_8u_C1IR)(
                      c.ref.data() + 1, kRefStep, c.dst.data(), c.dst.step()),
                  opxOk);
        EXPECT_TRUE(c.check([&](int x, int y) {
            return (ramp(x + 1, y) + c.before[y * size + x] + 1) >> 1;
        })) << "Average in place "
            << size;
    }
    RampBench a(8, 8, rng), b(8, 8, rng);
    ASSERT_EQ(opxiAdd8x8_16s8u_C1IRS(a.res.data(), kResStep, a.dst.data(), a.dst.step()), opxOk);
    EXPECT_TRUE(a.check([&](int x, int y) { return a.before[y * 8 + x] + residual(x, y); }));
    ASSERT_EQ(opxiAdd8x8HP_16s8u_C1RS(b.res.data(), kResStep, b.ref.data(), kRefStep, b.dst.data(),
                                      b.dst.step(), 2, 0),
              opxOk);
    EXPECT_TRUE(b.check([](int x, int y) { return half(x, y, false, true, 1) + residual(x, y); }));
}

// ---- values singled out by the rules ----------------------------------------------------------

TEST(BlockRules, RoundingOfTwoAndFourSamples) {
    // Horizontal half of 1 and 2: 2 rounding up, 1 rounding down.
    Opx8u src[2 * 17] = {};
    for (int x = 0; x < 17; x += 2) src[x] = 1, src[x + 1] = 2;
    Opx8u dst[16 * 16];
    ASSERT_EQ(opxiCopy8x4HP_8u_C1R(src, 0, dst, 8, 1, 0), opxOk);
    EXPECT_EQ(dst[0], 2);
    ASSERT_EQ(opxiCopy8x4HP_8u_C1R(src, 0, dst, 8, 1, 1), opxOk);
    EXPECT_EQ(dst[0], 1);
    // Four samples 0, 0, 0, 1 rounding up: (1 + 2) >> 2 = 0, not an average of averages (1).
    Opx8u quad[17 * 17] = {};
    quad[17 + 1] = 1;
    ASSERT_EQ(opxiCopy16x16HP_8u_C1R(quad, 17, dst, 16, 3, 0), opxOk);
    EXPECT_EQ(dst[0], 0);
    // 1, 1, 1, 0 rounding down: (3 + 1) >> 2 = 1.
    std::memset(quad, 1, sizeof quad);
    quad[17 + 1] = 0;
    ASSERT_EQ(opxiCopy8x8HP_8u_C1R(quad, 17, dst, 8, 3, 1), opxOk);
    EXPECT_EQ(dst[0], 1);
    // The 2- and 4-wide motion compensation reads bit 0 of roundControl like the others (2
    // rounds as 0, 3 as 1); two predictions 1 and 2 average up to 2.
    const Opx16s zero[16 * 16] = {};
    for (int rc : {0, 1, 2, 3}) {
        ASSERT_EQ(opxiMC2x2_8u_C1(src, 0, zero, 32, dst, 16, 8, rc), opxOk);
        EXPECT_EQ(dst[0], 2 - (rc & 1)) << rc;
        ASSERT_EQ(opxiMC4x4_8u_C1(src, 0, zero, 32, dst, 16, 8, rc), opxOk);
        EXPECT_EQ(dst[0], 2 - (rc & 1)) << rc;
    }
    ASSERT_EQ(opxiMC2x2B_8u_C1(src, 0, 0, src + 1, 0, 0, zero, 32, dst, 16, 0), opxOk);
    EXPECT_EQ(dst[0], 2);
}

TEST(BlockRules, WrappingAndExactSumsDiffer) {
    Opx8u block[8 * 8];
    std::memset(block, 200, sizeof block);
    Opx16s res[8 * 8];
    std::fill(std::begin(res), std::end(res), Opx16s{32700});
    ASSERT_EQ(opxiAdd8x8_16s8u_C1IRS(res, 16, block, 8), opxOk);
    EXPECT_EQ(block[0], 0);  // 32900 wraps to -32636
    EXPECT_EQ(block[63], 0);
    Opx8u ref[9 * 8];
    std::memset(ref, 200, sizeof ref);
    Opx8u dst[8 * 8] = {};
    ASSERT_EQ(opxiMC8x8_8u_C1(ref, 8, res, 16, dst, 8, 0, 0), opxOk);
    EXPECT_EQ(dst[0], 255);
    EXPECT_EQ(dst[63], 255);
    ASSERT_EQ(opxiMC2x2_8u_C1(ref, 8, res, 16, dst, 8, 12, 0), opxOk);
    EXPECT_EQ(dst[0], 255);
    // The HP form wraps too.
    ASSERT_EQ(opxiAdd8x8HP_16s8u_C1RS(res, 16, ref, 8, dst, 8, 0, 0), opxOk);
    EXPECT_EQ(dst[0], 0);
}

TEST(BlockRules, AddConstantSaturates) {
    Opx8u block[8 * 8];
    for (int i = 0; i < 64; ++i) block[i] = static_cast<Opx8u>(i * 4);
    ASSERT_EQ(opxiAddC8x8_16s8u_C1IR(-300, block, 8), opxOk);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
}

TEST(BlockRules, InterleavedChromaNeverMixesComponents) {
    // Even bytes 0, odd bytes 255: a horizontal half sample of either component keeps it.
    Opx8u ref[2 * 18];
    for (int i = 0; i < 36; ++i) ref[i] = (i & 1) ? 255 : 0;
    const Opx16s res[16 * 8] = {};
    const Opx16s res_plane[8 * 8] = {};
    Opx8u dst[16 * 8];
    for (McApi fn : {opxiMC16x8UV_8u_C1, opxiMC16x4_8u_C1}) {
        ASSERT_EQ(fn(ref, 0, res, 32, dst, 16, 8, 1), opxOk);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(dst[i], (i & 1) ? 255 : 0);
    }
    ASSERT_EQ(opxiMC8x8_16s8u_P2C2R(ref, 0, res_plane, res_plane, 16, dst, 16, 12, 0), opxOk);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(dst[i], (i & 1) ? 255 : 0);
}

}  // namespace

// ---- null pointers ----------------------------------------------------------------------------

OPX_NULL_CALL(opxiCopy8x8_8u_C1R, nul(s.u8(0)), 8, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiCopy16x16_8u_C1R, nul(s.u8(0)), 16, nul(s.u8(1)), 16)
#define OPX_HP_NULL_CASE(fn)                                 \
    OPX_NULL_CASE(fn) {                                      \
        return fn(nul(s.u8(0)), 32, nul(s.u8(1)), 32, 3, 1); \
    }
OPX_HP_NULL_CASE(opxiCopy8x8HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy16x16HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy16x8HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy8x4HP_8u_C1R)
OPX_HP_NULL_CASE(opxiInterpolateAverage16x16_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage16x8_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage8x8_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage8x4_8u_C1IR)
OPX_NULL_CALL(opxiAverage8x8_8u_C1R, nul(s.u8(0)), 8, nul(s.u8(1)), 8, nul(s.u8(2)), 8)
OPX_NULL_CALL(opxiAverage16x16_8u_C1R, nul(s.u8(0)), 16, nul(s.u8(1)), 16, nul(s.u8(2)), 16)
OPX_NULL_CALL(opxiAverage8x8_8u_C1IR, nul(s.u8(0)), 8, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiAverage16x16_8u_C1IR, nul(s.u8(0)), 16, nul(s.u8(1)), 16)
OPX_NULL_CALL(opxiAdd8x8_16s8u_C1IRS, nul(s.s16(0)), 16, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiAdd8x8HP_16s8u_C1RS, nul(s.s16(0)), 16, nul(s.u8(1)), 9, nul(s.u8(2)), 8, 3, 0)
OPX_NULL_CALL(opxiAddC8x8_16s8u_C1IR, -300, nul(s.u8(0)), 8)

#define OPX_MC_NULL_CASE(fn)                                                     \
    OPX_NULL_CASE(fn) {                                                          \
        return fn(nul(s.u8(0)), 33, nul(s.s16(1)), 32, nul(s.u8(2)), 16, 12, 1); \
    }
#define OPX_MC_B_NULL_CASE(fn)                                                                     \
    OPX_NULL_CASE(fn) {                                                                            \
        return fn(nul(s.u8(0)), 33, 12, nul(s.u8(1)), -33, 8, nul(s.s16(2)), 32, nul(s.u8(3)), 16, \
                  1);                                                                              \
    }
OPX_MC_NULL_CASE(opxiMC16x16_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x16_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x2_8u_C1)
OPX_MC_NULL_CASE(opxiMC2x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC2x2_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x8UV_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x4_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x16B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x16B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x2B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC2x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC2x2B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x8BUV_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x4B_8u_C1)
OPX_NULL_CALL(opxiMC8x8_16s8u_P2C2R, nul(s.u8(0)), 33, nul(s.s16(1)), nul(s.s16(2)), 16,
              nul(s.u8(3)), 16, 12, 0)
OPX_NULL_CALL(opxiMC8x4_16s8u_P2C2R, nul(s.u8(0)), 33, nul(s.s16(1)), nul(s.s16(2)), 16,
              nul(s.u8(3)), 16, 4, 1)
OPX_NULL_CALL(opxiMC8x8B_16s8u_P2C2R, nul(s.u8(0)), 33, 12, nul(s.u8(1)), 33, 4, nul(s.s16(2)),
              nul(s.s16(3)), 16, nul(s.u8(4)), 16, 0)
OPX_NULL_CALL(opxiMC8x4B_16s8u_P2C2R, nul(s.u8(0)), 33, 8, nul(s.u8(1)), -33, 12, nul(s.s16(2)),
              nul(s.s16(3)), 16, nul(s.u8(4)), 16, 1)

}  // namespace opx::test
