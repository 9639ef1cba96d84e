// SATD and SAT8x8D: AVX2 kernels against the portable matrix products, the values the rules
// single out (all-ones and 0/255 checkerboard differences), reads confined to the block.
#include "metrics/satd.hpp"

#include "metrics/metrics_util.hpp"

namespace opx::test::metrics {
namespace {

using namespace opx::metrics;
namespace ref = opx::metrics::ref;
namespace avx2 = opx::metrics::avx2;

// One kernel of each table on w × h blocks of T with samples of `bits` bits, every step,
// alignment and pattern. The checkerboard against its inverse: differences of the full range in
// a checkerboard, the largest coefficients (16 × 255 per 4×4 for 8 bits) the transform can produce.
template <class T, class Fn>
void satd_sweep(Fn ref_k, Fn avx_k, int w, int h, int bits, Rng& rng) {
    SCOPED_TRACE(testing::Message() << w << "x" << h << ", " << bits << " bits");
    const std::int64_t hi = (std::int64_t{1} << bits) - 1;
    const int unit = sizeof(T);
    for (std::int32_t step : steps_for(unit * w, unit))
        for (int align = 0; align < 32; align += unit) {
            const Pattern pat = kAllPatterns[align / unit % 6];
            Area<T> src(w, h, (align * 11) % 32 & -unit, step), cand(w, h, align, -step + unit);
            src.fill(pat, rng, 0, hi);
            cand.fill(pat, rng, 0, hi, true);
            if (pat == Pattern::kChecker) cand.fill(pat, rng, hi, 0);
            Opx32s want = -1, got = -2;
            ref_k(src.data(), src.step(), cand.data(), cand.step(), &want);
            avx_k(src.data(), src.step(), cand.data(), cand.step(), &got);
            ASSERT_EQ(want, got) << pattern_name(pat) << " align " << align << " step " << step;
        }
}

TEST(SatdDifferential, EverySizeSampleWidthAlignmentStepAndPattern) {
    Rng rng;
    for (int s = 0; s < kNumSatdSizes; ++s)
        satd_sweep<Opx8u>(ref::kSatd.satd[s], avx2::kSatd.satd[s], kSatdSizes[s].width,
                          kSatdSizes[s].height, 8, rng);
    satd_sweep<Opx8u>(ref::kSatd.sat8x8d, avx2::kSatd.sat8x8d, 8, 8, 8, rng);
    for (int bits : {14, 15, 16})
        satd_sweep<Opx16u>(ref::kSatd.sat8x8d_16u, avx2::kSatd.sat8x8d_16u, 8, 8, bits, rng);
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
