#include "frame/block.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::frame;

TEST(BlockCopy, Avx2KernelsMatchPortableOnEveryStepAndAlignment) {
    Rng rng;
    for (int s = 0; s < kNumCopySizes; ++s) {
        const BlockSize bs = kCopySizes[s];
        for (int misalign : {0, 1, 7, 15}) {
            for (int extra : {0, 3, 64}) {
                Plane<Opx8u> src(bs.width, bs.height, 16, misalign, extra);
                src.fill(Pattern::kRandom, rng);
                Plane<Opx8u> a(bs.width, bs.height, 16, misalign), b(bs.width, bs.height, 16);
                ref::kBlock.copy[s](src.data(), src.step(), a.data(), a.step());
                avx2::kBlock.copy[s](src.data(), src.step(), b.data(), b.step());
                EXPECT_TRUE(planes_equal(src, a));
                EXPECT_TRUE(planes_equal(a, b));
                EXPECT_TRUE(a.canaries_intact());
                EXPECT_TRUE(b.canaries_intact());
            }
        }
    }
}

TEST(BlockCopy, NegativeStepReadsUpwardAndStaysInsideGuardPages) {
    GuardedBuffer g(16 * 16);
    unsigned char* last = g.place(16, 16, -16);
    ASSERT_NE(last, nullptr);
    for (int i = 0; i < 256; ++i) g.begin()[i] = static_cast<unsigned char>(i);
    Opx8u dst[256];
    ASSERT_EQ(opxiCopy16x16_8u_C1R(last, -16, dst, 16), opxOk);
    EXPECT_EQ(dst[0], 240);
    EXPECT_EQ(dst[255], 15);
}

}  // namespace

OPX_NULL_CASE(opxiCopy8x8_8u_C1R) { return opxiCopy8x8_8u_C1R(nul(s.u8(0)), 8, nul(s.u8(1)), 8); }
OPX_NULL_CASE(opxiCopy16x16_8u_C1R) {
    return opxiCopy16x16_8u_C1R(nul(s.u8(0)), 16, nul(s.u8(1)), 16);
}

}  // namespace opx::test
