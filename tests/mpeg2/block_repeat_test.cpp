// Mismatch control counts the values left in the block: a caller scan that places twice at one
// index counts only the last value there.
#include <gtest/gtest.h>

#include <array>

#include "block_writer.hpp"

namespace {

TEST(Mpeg2BlockRepeat, MismatchControlSumsTheValuesLeftInTheBlock) {
    const opx::test::mpeg2::Tables t;
    std::array<Opx32s, 64> scan;
    scan.fill(5);  // every position lands on index 5
    std::array<Opx16s, 64> weights;
    weights.fill(16);
    // "11" (0,-1) by the first-code shortcut, "110" (0,+1), "10" EOB, at scale 2: -3, then 3
    std::array<Opx32u, 4> words = {0xF4000000u, 0, 0, 0};  // 11 110 10
    for (int way = 0; way < 2; ++way) {
        Opx32u* p = words.data();
        Opx32s pos = 31, size = 0;
        std::array<Opx16s, 64> dst;
        const Opx16s* w = way ? weights.data() : nullptr;
        ASSERT_EQ(opxiReconstructDCTBlock_MPEG2_32s(&p, &pos, t.b14_first, t.b14, scan.data(), 2, w,
                                                    dst.data(), &size),
                  opxOk);
        EXPECT_EQ(dst[5], 3);
        EXPECT_EQ(dst[63], 0);  // the sum, 3, is odd: no change
        EXPECT_EQ(pos, 24);
    }
}

}  // namespace
