// SATD and SAT8x8D: AVX2 kernels against the portable matrix products, the values the rules
// single out (all-ones and 0/255 checkerboard differences), reads confined to the block.
#include "metrics/satd.hpp"

#include "metrics/metrics_util.hpp"

namespace opx::test::metrics {
namespace {

using namespace opx::metrics;
namespace ref = opx::metrics::ref;
namespace avx2 = opx::metrics::avx2;

TEST(SatdDifferential, EverySizeAlignmentStepAndPattern) {
    Rng rng;
    for (int s = 0; s < kNumSatdSizes; ++s) {
        const BlockSize b = kSatdSizes[s];
        SCOPED_TRACE(testing::Message() << b.width << "x" << b.height);
        for (std::int32_t step : steps_for(b.width)) {
            for (int align = 0; align < 32; ++align) {
                const Pattern pat = kAllPatterns[align % 6];
                Area<Opx8u> src(b.width, b.height, (align * 11) % 32, step);
                Area<Opx8u> cand(b.width, b.height, align, -step + 1);
                src.fill(pat, rng, 0, 255);
                // The checkerboard against its inverse: differences ±255 in a checkerboard,
                // the largest coefficient (16 × 255 per 4×4) the transform can produce.
                cand.fill(pat, rng, 0, 255, true);
                if (pat == Pattern::kChecker) cand.fill(pat, rng, 255, 0);
                Opx32s want = -1, got = -2;
                ref::kSatd.satd[s](src.data(), src.step(), cand.data(), cand.step(), &want);
                avx2::kSatd.satd[s](src.data(), src.step(), cand.data(), cand.step(), &got);
                ASSERT_EQ(want, got) << pattern_name(pat) << " align " << align << " step " << step;
                if (s == kSatd8x8) {
                    ref::kSatd.sat8x8d(src.data(), src.step(), cand.data(), cand.step(), &want);
                    avx2::kSatd.sat8x8d(src.data(), src.step(), cand.data(), cand.step(), &got);
                    ASSERT_EQ(want, got) << "SAT8x8D " << pattern_name(pat) << " align " << align;
                }
            }
        }
    }
}

TEST(SatdDifferential, SixteenBitEightByEightAtFourteenFifteenAndSixteenBits) {
    Rng rng;
    for (int bits : {14, 15, 16}) {
        const std::int64_t hi = (1 << bits) - 1;
        for (std::int32_t step : steps_for(16, 2)) {
            for (int align = 0; align < 32; align += 2) {
                const Pattern pat = kAllPatterns[align / 2 % 6];
                Area<Opx16u> src(8, 8, align, step), cand(8, 8, 30 - align, -step);
                src.fill(pat, rng, 0, hi);
                cand.fill(pat, rng, 0, hi, true);
                if (pat == Pattern::kChecker) cand.fill(pat, rng, hi, 0);
                Opx32s want = -1, got = -2;
                ref::kSatd.sat8x8d_16u(src.data(), src.step(), cand.data(), cand.step(), &want);
                avx2::kSatd.sat8x8d_16u(src.data(), src.step(), cand.data(), cand.step(), &got);
                ASSERT_EQ(want, got) << bits << " bits, " << pattern_name(pat);
            }
        }
    }
}

// Exported SATD functions by size index.
using SatdEntry = OpxResult (*)(const Opx8u*, Opx32s, const Opx8u*, Opx32s, Opx32s*) noexcept;
const SatdEntry kSatdEntries[kNumSatdSizes] = {
    opxiSATD16x16_8u32s_C1R, opxiSATD16x8_8u32s_C1R, opxiSATD8x16_8u32s_C1R, opxiSATD8x8_8u32s_C1R,
    opxiSATD8x4_8u32s_C1R,   opxiSATD4x8_8u32s_C1R,  opxiSATD4x4_8u32s_C1R};

// S − R = 1 everywhere: one coefficient of 16 per 4×4, of 64 for the 8×8 transform. The
// checkerboard against its inverse: the largest coefficients, 16 × 255 per 4×4 (16 × 65535 for
// 16-bit samples). Both operand orders of the 16-bit form.
TEST(SatdRules, UniformDifferenceAndCheckerboardAgainstItsInverse) {
    for (bool checker : {false, true}) {
        SCOPED_TRACE(checker ? "checkerboard" : "uniform difference");
        Opx8u s[16 * 16], r[16 * 16];
        for (int i = 0; i < 256; ++i) {
            s[i] = checker ? ((i + i / 16) & 1 ? 255 : 0) : 101;
            r[i] = static_cast<Opx8u>(checker ? 255 - s[i] : 100);
        }
        const int unit = checker ? 255 : 1;
        for (int i = 0; i < kNumSatdSizes; ++i) {
            Opx32s v = -1;
            ASSERT_EQ(kSatdEntries[i](s, 16, r, 16, &v), opxOk);
            EXPECT_EQ(v, unit * kSatdSizes[i].width * kSatdSizes[i].height) << i;
        }
        Opx32s v = -1;
        ASSERT_EQ(opxiSAT8x8D_8u32s_C1R(s, 16, r, 16, &v), opxOk);
        EXPECT_EQ(v, 64 * unit);
        Opx16u s16[64], r16[64];
        for (int i = 0; i < 64; ++i) {
            s16[i] = checker ? ((i + i / 8) & 1 ? 65535 : 0) : 40000;
            r16[i] = static_cast<Opx16u>(checker ? 65535 - s16[i] : 39999);
        }
        ASSERT_EQ(opxiSAT8x8D_16u32s_C1R(s16, 16, r16, 16, &v), opxOk);
        EXPECT_EQ(v, 64 * (checker ? 65535 : 1));
        ASSERT_EQ(opxiSAT8x8D_16u32s_C1R(r16, 16, s16, 16, &v), opxOk);
        EXPECT_EQ(v, 64 * (checker ? 65535 : 1));
    }
}

}  // namespace

OPX_NULL_AUTO(opxiSATD16x16_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD16x8_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD8x16_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD8x8_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD8x4_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD4x8_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSATD4x4_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSAT8x8D_8u32s_C1R, 16, 16)
OPX_NULL_AUTO(opxiSAT8x8D_16u32s_C1R, 16, 16)

}  // namespace opx::test::metrics
