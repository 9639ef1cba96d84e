// The plain form of explicit uni-directional weighting (one weight and offset, H.264 ranges):
// AVX2 and portable kernels against the general portable kernel, and the entry point's choice
// between the plain and the general kernels.
#include <climits>

#include "h264/decode/weight.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

TEST(H264Weight, PlainUniKernelsMatchGeneralOverTheirRange) {
    Rng rng;
    static constexpr int kWeights[] = {-128, -127, -1, 0, 1, 64, 127};
    static constexpr int kOffsets[] = {-32768, -256, -128, 0, 127, 255, 32767};
    for (int i = 0; i < kNumWeightSizes; ++i)
        for (int t = 0; t < 48; ++t) {
            const int w = t < 7 ? kWeights[t] : static_cast<int>(rng.uniform(-128, 127));
            const int o = t < 7 ? kOffsets[6 - t] : static_cast<int>(rng.uniform(-300, 300));
            const int shift = static_cast<int>(rng.uniform(0, 7));
            const int bytes = kWeightSides[i / 4], h = kWeightSides[i % 4];
            const int misalign = static_cast<int>(rng.uniform(0, 31));
            const int extra = static_cast<int>(rng.uniform(0, 9));
            Plane<Opx8u> a(bytes, h, 16, misalign, extra), b(bytes, h, 16, misalign, extra),
                c(bytes, h, 16, misalign, extra);
            a.fill(kAllPatterns[t % std::size(kAllPatterns)], rng);
            for (int y = 0; y < h; ++y) {
                std::copy(a.row(y), a.row(y) + bytes, b.row(y));
                std::copy(a.row(y), a.row(y) + bytes, c.row(y));
            }
            ref::kWeight.uni[i](a.data(), a.step(), UniWeight{shift, {w, w}, {o, o}});
            EXPECT_EQ(ref::kWeight.uni_plain[i](b.data(), b.step(), shift, w, o), opxOk);
            EXPECT_EQ(avx2::kWeight.uni_plain[i](c.data(), c.step(), shift, w, o), opxOk);
            ASSERT_TRUE(planes_equal(a, b)) << bytes << "x" << h;
            ASSERT_TRUE(planes_equal(a, c))
                << bytes << "x" << h << " shift " << shift << " w " << w << " o " << o;
            ASSERT_TRUE(c.canaries_intact());
        }
}

// Weights and offsets just outside the plain range go through the general kernels.
TEST(H264Weight, UniEntryPointTakesEveryWeightAndOffset) {
    Rng rng;
    static constexpr int kValues[] = {-32769, -129, -128, 127, 128, 32767, 32768, INT32_MIN};
    for (int w : kValues)
        for (int o : kValues) {
            Plane<Opx8u> a(8, 8, 16), b(8, 8, 16);
            a.fill(Pattern::kRandom, rng);
            for (int y = 0; y < 8; ++y) std::copy(a.row(y), a.row(y) + 8, b.row(y));
            ref::kWeight.uni[10](a.data(), a.step(), UniWeight{3, {w, w}, {o, o}});
            ASSERT_EQ(opxiUniDirWeightBlock_H264_8u_C1R(b.data(), static_cast<Opx32u>(b.step()), 3,
                                                        w, o, {8, 8}),
                      opxOk);
            ASSERT_TRUE(planes_equal(a, b)) << "w " << w << " o " << o;
        }
}

}  // namespace
}  // namespace opx::test
