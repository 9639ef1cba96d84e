// DV inverse quantisers: the AVX2-build kernels against the portable ones on random and extreme
// values, and the values the rules single out (16-bit wraps, floor shifts, saturation).
#include <cstdint>
#include <vector>

#include "dv/dv.hpp"
#include "harness/harness.hpp"

namespace opx::test::dv {
namespace {

namespace ref = opx::dv::ref;
namespace avx2 = opx::dv::avx2;

// Blocks that reach every extreme of the products: random, the ends of the range, and mixes.
std::vector<Opx16s> block_of(Pattern p, Rng& rng, bool second = false) {
    std::vector<Opx16s> b(64);
    fill(b.data(), 128, 64, 1, p, rng, -32768, 32767, second);
    return b;
}

TEST(DvQuantDifferential, EveryQuantiserOnRandomAndExtremeValues) {
    Rng rng;
    for (int iter = 0; iter < 400; ++iter) {
        const Pattern pc = kAllPatterns[iter % 6];
        const Pattern pt = kAllPatterns[(iter / 6) % 6];
        const std::vector<Opx16s> c = block_of(pc, rng);
        const std::vector<Opx16s> t = block_of(pt, rng, true);
        std::vector<Opx16u> q(64);
        for (int i = 0; i < 64; ++i) q[i] = static_cast<Opx16u>(t[i]);
        const Opx16u scale = iter % 5 == 0   ? 0xFFFF
                             : iter % 5 == 1 ? 0
                                             : static_cast<Opx16u>(rng.next());
        SCOPED_TRACE(testing::Message() << pattern_name(pc) << " / " << pattern_name(pt));

        for (int form = 0; form < 3; ++form) {  // QuantInv, QuantWeightBlockInv, its DV100 form
            std::vector<Opx16s> b[2] = {c, c};
            for (int k = 0; k < 2; ++k) {
                const auto& dv = k ? avx2::kDv : ref::kDv;
                form == 0   ? dv.quant_inv(b[k].data(), t.data())
                : form == 1 ? dv.quant_weight(b[k].data(), q.data(), t.data())
                            : dv.quant_weight100(b[k].data(), t.data(), scale);
            }
            ASSERT_EQ(b[0], b[1]) << "form " << form << ", scale " << scale;
        }
    }
}

// One coefficient through an exported quantiser, the others 0.
Opx16s quant_inv(Opx16s c, Opx16s d) {
    std::vector<Opx16s> b(64, 0), t(64, d);
    b[5] = c;
    EXPECT_EQ(opxiQuantInv_DV_16s_C1I(b.data(), t.data()), opxOk);
    return b[5];
}
Opx16s quant_weight(Opx16s c, Opx16u q, Opx16s w) {
    std::vector<Opx16s> b(64, 0), wt(64, w);
    std::vector<Opx16u> qt(64, q);
    b[9] = c;
    EXPECT_EQ(opxiQuantWeightBlockInv_DV_16s_C1I(b.data(), qt.data(), wt.data()), opxOk);
    return b[9];
}
Opx16s quant_weight100(Opx16s c, Opx16s w, Opx16u s, int at = 63) {
    std::vector<Opx16s> b(64, 0), wt(64, w);
    b[at] = c;
    EXPECT_EQ(opxiQuantWeightBlockInv_DV100_16s_C1I(b.data(), wt.data(), s), opxOk);
    return b[at];
}

TEST(DvQuant, QuantInvUpperHalfTimesFour) {
    EXPECT_EQ(quant_inv(64, 4096), 16);  // hi16(262144) << 2
    EXPECT_EQ(quant_inv(-64, 4096), -16);
    EXPECT_EQ(quant_inv(-1, 1), -4);          // hi16(-1) = -1: the arithmetic upper half
    EXPECT_EQ(quant_inv(32767, 32767), -4);   // hi16 = 16383, << 2 = 65532: low 16 bits kept
    EXPECT_EQ(quant_inv(-32768, -32768), 0);  // hi16 = 16384, << 2 = 65536 -> 0
}

TEST(DvQuant, WeightBlockFloorShiftThenLow16ThenUpperHalf) {
    EXPECT_EQ(quant_weight(-1, 1, 32767), -1);        // -1 >> 3 = -1 (floor); hi16(-32767) = -1
    EXPECT_EQ(quant_weight(-9, 1, 16384), -1);        // -9 >> 3 = -2; hi16(-32768) = -1
    EXPECT_EQ(quant_weight(8, 65535, 16384), -1);     // 1 * 65535 keeps 0xFFFF = -1
    EXPECT_EQ(quant_weight(32767, 8, 32767), 16379);  // 4095 * 8 = 32760; hi16(32760 * 32767)
    EXPECT_EQ(quant_weight(256, 1024, 2), -1);  // 32 * 1024 = 32768 wraps to -32768; hi16(-65536)
}

TEST(DvQuant, Dv100SaturatesAndShiftsTheDcAlone) {
    EXPECT_EQ(quant_weight100(32767, 32767, 1), 32767);  // (511 * 32767) >> 5 saturates
    EXPECT_EQ(quant_weight100(-32768, 32767, 1), -32768);
    EXPECT_EQ(quant_weight100(-1, 1, 1), -1);         // -1 >> 6 = -1; -1 >> 5 = -1
    EXPECT_EQ(quant_weight100(640, 32, 3), 30);       // 10 * 3 = 30; 30 * 32 >> 5
    EXPECT_EQ(quant_weight100(64, 1, 32768), -1024);  // 1 * 32768 wraps to -32768; >> 5
    EXPECT_EQ(quant_weight100(-33, 1000, 7, 0), -2);  // coefficient 0: c0 >> 5 only
    EXPECT_EQ(quant_weight100(32767, 0, 0, 0), 1023);
}

OPX_NULL_CALL(opxiQuantInv_DV_16s_C1I, nul(s.s16(0)), nul(s.s16(1)))
OPX_NULL_CALL(opxiQuantWeightBlockInv_DV_16s_C1I, nul(s.s16(0)), nul(s.u16(1)), nul(s.s16(2)))
OPX_NULL_AUTO(opxiQuantWeightBlockInv_DV100_16s_C1I, 3)

}  // namespace
}  // namespace opx::test::dv
