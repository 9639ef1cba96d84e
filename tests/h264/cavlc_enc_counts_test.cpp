// CAVLC elements of 16-bit blocks, AVX2 against portable for every number of non-zero values
// (0..16) and of trailing ones, with values that saturate when packed to bytes: the levels and
// runs are written against unreadable pages, exactly as many as the rules give.
#include <algorithm>

#include "h264/encode/cavlc_enc.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using opx::h264::enc::CavlcFacts;

TEST(H264CavlcEncCounts, EveryCountAgainstGuardPages) {
    constexpr Opx16s kValues[] = {1, -1, 2, -2, 255, -256, 256, 32767, -32768, 129, -129};
    constexpr Opx32s kIdentity[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    Rng rng;
    GuardedBuffer gl(4096), gr(4096);
    for (int n = 0; n <= 16; ++n)
        for (int round = 0; round < 40; ++round) {
            Opx16s src[16] = {};
            int pos[16];
            std::copy(kIdentity, kIdentity + 16, pos);
            for (int i = 15; i > 0; --i) std::swap(pos[i], pos[rng.uniform(0, i)]);
            for (int i = 0; i < n; ++i)
                src[pos[i]] = round % 4 == 0 ? static_cast<Opx16s>(rng.coin() ? 1 : -1)
                                             : kValues[rng.uniform(0, 10)];
            const int first = round % 5 == 0 ? static_cast<int>(rng.uniform(0, 3)) : 0;
            Opx16s lw[16], lg[16];
            Opx8u rw[16], rg[16];
            const CavlcFacts want =
                opx::h264::enc::ref::kCavlcEnc.block(src, kIdentity, first, 15, lw, rw);
            const int nl = want.total_coeff - want.trailing_ones;
            const int nr = want.total_coeff ? want.total_coeff - 1 : 0;
            const bool front = round & 1;
            auto* lev = nl ? reinterpret_cast<Opx16s*>(gl.place(nl * 2, 1, 0, front)) : lg;
            Opx8u* runs = nr ? gr.place(nr, 1, 0, !front) : rg;
            const CavlcFacts got =
                opx::h264::enc::avx2::kCavlcEnc.block(src, kIdentity, first, 15, lev, runs);
            ASSERT_EQ(want.trailing_ones, got.trailing_ones) << n;
            ASSERT_EQ(want.signs, got.signs) << n;
            ASSERT_EQ(want.total_coeff, got.total_coeff) << n;
            ASSERT_EQ(want.total_zeros, got.total_zeros) << n;
            ASSERT_TRUE(std::equal(lw, lw + nl, lev)) << n;
            ASSERT_TRUE(std::equal(rw, rw + nr, runs)) << n;
        }
}

}  // namespace
}  // namespace opx::test
