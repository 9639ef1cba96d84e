// Intra prediction: AVX2 kernels against the portable ones for every slot, every mode with every
// availability through the drivers, and the rules the standard singles out.
#include <iterator>
#include <vector>

#include "frame/dispatch.hpp"
#include "h264/decode/intra.hpp"
#include "harness/harness.hpp"
#include "harness/pinned.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

// A picture with room around a block at (32, 32).
struct Pic {
    static constexpr int kStep = 96, kRows = 80, kX = 32, kY = 32;
    std::vector<Opx8u> buf = std::vector<Opx8u>(kStep * kRows);
    Opx8u* blk() { return buf.data() + kY * kStep + kX; }
    Opx8u& at(int x, int y) { return blk()[y * kStep + x]; }  // relative to the block
    void fill(Pattern p, Rng& rng) {
        opx::test::fill(buf.data(), kStep, kStep, kRows, p, rng, 0, 255);
    }
};

testing::AssertionResult same(Pic& a, Pic& b) {
    return regions_equal(a.buf.data(), Pic::kStep, b.buf.data(), Pic::kStep, Pic::kStep,
                         Pic::kRows);
}

constexpr int kAvailBits[] = {kAvailAbove, kAvailLeft, kAvailAboveLeft, kAvailAboveRight};

int avail_combo(int i) {
    int a = 0;
    for (int b = 0; b < 4; ++b)
        if (i & (1 << b)) a |= kAvailBits[b];
    return a;
}

// ---- AVX2 against portable, slot by slot ------------------------------------------------------

// Plane prediction with the steepest gradients (0 before the middle, 255 after it, on both
// sides, and the reverse): the 16-bit intermediates of the AVX2 kernels reach their extremes.
TEST(H264IntraKernels, PlaneAtExtremeGradients) {
    for (int flip = 0; flip < 2; ++flip)
        for (int n : {16, 8}) {
            Pic a;
            std::fill(a.buf.begin(), a.buf.end(), Opx8u(0));
            for (int i = -1; i < n; ++i) {
                const Opx8u v = Opx8u((i >= n / 2) != (flip == 1) ? 255 : 0);
                a.at(i, -1) = v;
                if (i >= 0) a.at(-1, i) = v;
            }
            Pic x = a, y = a;
            if (n == 16) {
                ref::kIntra.pred16x16[kP16Plane](x.blk(), Pic::kStep);
                avx2::kIntra.pred16x16[kP16Plane](y.blk(), Pic::kStep);
            } else {
                ref::kIntra.chroma[kPcPlane](x.blk(), Pic::kStep);
                avx2::kIntra.chroma[kPcPlane](y.blk(), Pic::kStep);
            }
            EXPECT_TRUE(same(x, y)) << n << " flip " << flip;
        }
}

// Kernels read no neighbour marked unavailable, in both kernel tables of both sample sizes: the
// row above at the very start of readable memory (only the left column available), or, with a
// negative step, the row above as the last row, ending where the block ends (no samples
// above-right).
template <class S, class K>
void check_no_read_outside(const K& k) {
    // The 16-bit kernels take the bit depth last.
    const auto run = [](auto fn, S* d, std::ptrdiff_t st, auto... a) {
        if constexpr (sizeof(S) == 1)
            return fn(d, st, a...);
        else
            return fn(d, st, a..., 10);
    };
    const auto p4 = [&](S* d, std::ptrdiff_t st, int mode, int av) {
        return run([&](auto... a) { return predict_4x4(k, a...) != 0; }, d, st, mode, av);
    };
    const std::ptrdiff_t bytes = sizeof(S);
    for (int n : {4, 8, 16}) {
        GuardedBuffer g(64 * 64 * bytes);
        S* top = reinterpret_cast<S*>(g.place(bytes * (n + 1), n, 64 * bytes, true)) + 1;
        std::memset(g.begin(), 1, g.size());
        for (int mode = 0; mode < 9; ++mode) {
            if (n == 4) p4(top, 64, mode, kAvailLeft);
            if (n == 8) run(k.pred8x8[mode], top, 64, kAvailLeft);
        }
        if (n == 16) {
            run(k.pred16x16[kP16H], top, 64);
            run(k.pred16x16[kP16DcLeft], top, 64);
        } else if (n == 8) {
            run(k.chroma[kPcH], top, 64);
            run(k.chroma_dc[2 | 2 << 2], top, 64);
            run(k.chroma422[kPcH], top, 64);
            run(k.chroma422_dc[2 | 2 << 2], top, 64);
        }
        GuardedBuffer h(64 * 64 * bytes);
        S* blk = reinterpret_cast<S*>(h.place(bytes * (n + 1), n + 1, -64 * bytes)) + 1 - 64;
        std::memset(h.begin(), 1, h.size());
        const int av = kAvailAbove | kAvailLeft | kAvailAboveLeft;
        for (int mode = 0; mode < 9; ++mode) {
            if (n == 4) {
                EXPECT_FALSE(p4(blk, -64, mode, av));
            }
            if (n == 8) run(k.pred8x8[mode], blk, -64, av);
        }
        if (n == 16)
            for (auto fn : k.pred16x16) run(fn, blk, -64);
        if (n == 8) {
            for (auto fn : k.chroma) run(fn, blk, -64);
            for (auto fn : k.chroma_dc) run(fn, blk, -64);
        }
    }
}

TEST(H264IntraDrivers, NoReadOutsideAvailableNeighbours) {
    check_no_read_outside<Opx8u>(ref::kIntra);
    check_no_read_outside<Opx16u>(ref::kIntraHigh);
    if (!cpu::processor_has_avx2()) GTEST_SKIP() << "no AVX2";
    check_no_read_outside<Opx8u>(avx2::kIntra);
    check_no_read_outside<Opx16u>(avx2::kIntraHigh);
}

// Every mode of every size under every availability on two random neighbourhoods, a step of 0
// against 255 between the halves (the plane intermediates at their extremes) and flat ones with
// plane gradients where (5 H + 32) >> 6 and (34 H + 32) >> 6 are exact multiples: the result codes
// and blocks of the exported 4x4, 16x16 and chroma functions and of the 8x8 driver are pinned.
// Every call goes through the kernels that serve the exported names, so the digest, taken from
// the portable path, also holds the AVX2 kernels to it, neighbours marked unavailable included
// (the random neighbourhoods differ from what any substitution gives). Pinned from the library
// while hand computations passed against it: the 8x8 reference filter with and without the
// corner, above-right completed from p[7, -1], DC of the row above alone without substitution,
// 128 for a missing group; plane b = (5 H + 32) >> 6 (16x16) and (34 H + 32) >> 6 (chroma) over
// every sample; 4x4: 128 and the warning for vertical without the row above, and for
// vertical-left without it even with the above-right bit set, p[4..7, -1] = p[3, -1] for
// diagonal down-left without above-right (no warning), a corner of 128 with the warning for
// diagonal down-right, DC of the left column alone, or 128, without a warning; chroma DC: a
// block on the top row prefers the samples above, one on the left column the left ones, either
// falls back to the other side, blocks 0 and 3 average both.
TEST(H264Intra, EveryModeAndAvailabilityPinned) {
    Rng rng(0x494E5452ull);
    Digest dg;
    for (int n = 0; n < 5; ++n) {
        Pic p;
        p.fill(Pattern::kRandom, rng);
        for (int i = -1; i < 16 && n >= 2; ++i)
            p.at(i, -1) = p.at(-1, i) = static_cast<Opx8u>(n > 2 ? 100 : i < 8 ? 0 : 255);
        // Gradients at a rounding edge of b and c: H = V = 16 (chroma), 32 (16x16).
        if (n > 2) p.at(n == 3 ? 4 : 8, -1) = p.at(-1, n == 3 ? 4 : 8) = n == 3 ? 116 : 132;
        for (int combo = 0; combo < 16; ++combo) {
            const int av = avail_combo(combo);
            for (int mode = 0; mode < 9; ++mode) {
                Pic a = p, b = p;
                dg.add(opxiPredictIntra_4x4_H264_8u_C1IR(a.blk(), Pic::kStep, mode, av));
                dg.add(a.blk(), Pic::kStep, 4, 4);
                dg.add(predict_8x8(OPX_SELECT(opx::h264, kIntra), b.blk(), Pic::kStep, mode, av));
                dg.add(b.blk(), Pic::kStep, 8, 8);
            }
            for (int mode = 0; mode < 4; ++mode) {
                Pic a = p, b = p;
                dg.add(opxiPredictIntra_16x16_H264_8u_C1IR(a.blk(), Pic::kStep, mode, av));
                dg.add(a.blk(), Pic::kStep, 16, 16);
                dg.add(opxiPredictIntraChroma8x8_H264_8u_C1IR(b.blk(), Pic::kStep, mode, av));
                dg.add(b.blk(), Pic::kStep, 8, 8);
            }
        }
    }
    EXPECT_EQ(dg.value(), 0x227b4c5f63c90b7dull) << std::hex << dg.value();
}

}  // namespace

OPX_NULL_CALL(opxiPredictIntra_4x4_H264_8u_C1IR, nul(s.u8(0) + 1024), 64, 2, 0)
OPX_NULL_CALL(opxiPredictIntra_16x16_H264_8u_C1IR, nul(s.u8(0) + 1024), 64, 2, 0)
OPX_NULL_CALL(opxiPredictIntraChroma8x8_H264_8u_C1IR, nul(s.u8(0) + 1024), 64, 0, 0)

}  // namespace opx::test
