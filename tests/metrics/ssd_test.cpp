// SSD and frame/field activity: AVX2 kernels against the portable ones, the 16-bit modulo rule
// and its zero extension, the values the rules single out.
#include "metrics/ssd.hpp"

#include "metrics/metrics_util.hpp"

namespace opx::test::metrics {
namespace {

using namespace opx::metrics;
namespace ref = opx::metrics::ref;
namespace avx2 = opx::metrics::avx2;

TEST(SsdDifferential, EverySizePositionAlignmentAndStep) {
    Rng rng;
    single_candidate_sweep<Opx8u>(kSsdSizes, ref::kSsd.ssd, avx2::kSsd.ssd, 8, rng);
}

TEST(SsdDifferential, FrameFieldActivity) {
    Rng rng;
    for (std::int32_t step : steps_for(32, 2)) {
        for (int align = 0; align < 32; ++align) {
            const Pattern pat = kAllPatterns[align % 6];
            Area<Opx8u> a(16, 16, align, step);
            a.fill(pat, rng, 0, 255);
            FrameField want = ref::kSsd.frame_field_8u(a.data(), a.step());
            FrameField got = avx2::kSsd.frame_field_8u(a.data(), a.step());
            ASSERT_EQ(want.frame, got.frame) << pattern_name(pat);
            ASSERT_EQ(want.field, got.field) << pattern_name(pat);
            // Full 16-bit range and ranges small enough not to wrap.
            for (std::int64_t lim : {32767, 2000}) {
                Area<Opx16s> b(16, 16, align & ~1, step);
                b.fill(pat, rng, -lim - 1, lim);
                want = ref::kSsd.frame_field_16s(b.data(), b.step());
                got = avx2::kSsd.frame_field_16s(b.data(), b.step());
                ASSERT_EQ(want.frame, got.frame) << pattern_name(pat) << " ±" << lim;
                ASSERT_EQ(want.field, got.field) << pattern_name(pat) << " ±" << lim;
                ASSERT_GE(got.frame, 0);
                ASSERT_LE(got.frame, 65535);
            }
        }
    }
}

TEST(FrameFieldRules, SixteenBitSumsAreModuloTwoToTheSixteenZeroExtended) {
    Opx16s b[16 * 16] = {};
    Opx32s frame = -1, field = -1;
    // Alternating rows 0 and 200: frame 14 × 16 × 200 = 44800, above 32767: zero-extended, not
    // read back as a negative 16-bit value.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) b[16 * y + x] = (y & 1) ? 200 : 0;
    ASSERT_EQ(opxiFrameFieldSAD16x16_16s32s_C1R(b, 32, &frame, &field), opxOk);
    EXPECT_EQ(frame, 44800);
    EXPECT_EQ(field, 0);
    // Alternating rows 0 and 1000: 224000 modulo 65536.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) b[16 * y + x] = (y & 1) ? 1000 : 0;
    ASSERT_EQ(opxiFrameFieldSAD16x16_16s32s_C1R(b, 32, &frame, &field), opxOk);
    EXPECT_EQ(frame, 224000 % 65536);
    // Differences in wrapping 16-bit arithmetic: 32767 − (−32768) wraps to −1 (absolute 1);
    // −32768 − 0 has the absolute value 0x8000 = 32768.
    std::fill(std::begin(b), std::end(b), 0);
    b[0] = 32767;    // row 0
    b[16] = -32768;  // row 1
    ASSERT_EQ(opxiFrameFieldSAD16x16_16s32s_C1R(b, 32, &frame, &field), opxOk);
    EXPECT_EQ(frame, 1 + 32768);      // pairs (0, 1) and (1, 2)
    EXPECT_EQ(field, 32767 + 32768);  // pairs (0, 2) and (1, 3)
}

}  // namespace

OPX_NULL_AUTO(opxiSSD8x8_8u32s_C1R, 16, 16, 12)
OPX_NULL_AUTO(opxiSSD4x4_8u32s_C1R, 16, 16, 4)
OPX_NULL_AUTO(opxiFrameFieldSAD16x16_8u32s_C1R, 16)
OPX_NULL_AUTO(opxiFrameFieldSAD16x16_16s32s_C1R, 32)

}  // namespace opx::test::metrics
