// Block statistics and differences: every AVX2 entry against the portable one (all sizes,
// positions, rounding, steps, alignments, patterns; reads at unreadable pages are in
// sad_test.cpp's footprints), the values the rules single out, the mended faults, the null-pointer
// cases.
#include "metrics/stats.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>
#include <vector>

#include "metrics/metrics_util.hpp"

namespace opx::test::metrics {
namespace {

using namespace opx::metrics;
namespace ref = opx::metrics::ref;
namespace avx2 = opx::metrics::avx2;

constexpr std::int32_t kSteps[] = {40, 33, -48, 64};

// An 8-bit source block and reference with the extra row and columns a half-sample position
// reads, filled with a pattern; the 16-bit outputs of both tables compared with canaries.
struct Case8 {
    Area<Opx8u> cur, ref_a, ref_b;
    Case8(int w, int h, int align, std::int32_t step, Pattern p, Rng& rng)
        : cur(w, h, align, step),
          ref_a(w + 2, h + 1, 31 - align, -step + 2),
          ref_b(w + 2, h + 1, (align * 3) % 32, step + 16) {
        cur.fill(p, rng, 0, 255);
        ref_a.fill(p, rng, 0, 255, true);
        ref_b.fill(p == Pattern::kComplementary ? Pattern::kZeros : p, rng, 0, 255);
    }
    const Opx8u* c() { return cur.data(); }
    const Opx8u* a() { return ref_a.data(); }
    const Opx8u* b() { return ref_b.data(); }
};

// Outputs: n values of T in a row of `stride` with a canary after each row's last value.
template <class T>
struct Out {
    std::vector<T> v;
    int w, h, stride;
    Out(int w_, int h_, T canary)
        : v(static_cast<std::size_t>((w_ + 3) * h_ + 8), canary), w(w_), h(h_), stride(w_ + 3) {}
    T* data() { return v.data() + 2; }
    std::int32_t step() const { return stride * static_cast<int>(sizeof(T)); }
    bool operator==(const Out& o) const { return v == o.v; }
};
using Out16 = Out<Opx16s>;
using Two16 = std::pair<Out16, Out16>;

// Runs `call(table, out)` on the portable table and on the AVX2 one, each on its own copy of
// `out` (outputs with canaries, or plain values), and requires the same outputs.
template <class O, class F>
testing::AssertionResult same_on_both(const O& out, F call) {
    O want = out, got = out;
    call(ref::kStats, want);
    call(avx2::kStats, got);
    if (want == got) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the AVX2 table differs from the portable one";
}

// same_on_both with a one-statement call: the table is k, the output o.
#define OPX_SAME(out, ...) same_on_both(out, [&](auto& k, auto& o) { __VA_ARGS__; })

TEST(StatsDifferential, GetDiffEverySizePositionAndRounding) {
    Rng rng;
    for (int s = 0; s < kNumDiffSizes; ++s) {
        const int w = kDiffSizes[s].width, h = kDiffSizes[s].height;
        for (int pf = 0; pf < 4; ++pf)
            for (int r = 0; r < 2; ++r)
                for (std::int32_t step : kSteps)
                    for (int align = 0; align < 32; align += 5) {
                        SCOPED_TRACE(testing::Message()
                                     << w << "x" << h << " pos " << pf << " r " << r);
                        Case8 c(w, h, align, step, kAllPatterns[(align + pf) % 6], rng);
                        const std::int32_t cs = c.cur.step(), as = c.ref_a.step(),
                                           bs = c.ref_b.step();
                        ASSERT_TRUE(OPX_SAME(
                            (Two16{{w, h, 0x5A5A}, {w, h, 0x3C3C}}),
                            k.diff[s][pf](c.c(), cs, c.a(), as, o.first.data(), o.first.step(),
                                          o.second.data(), o.second.step(), r)));
                        for (int pb = 0; pb < 4; ++pb)
                            ASSERT_TRUE(OPX_SAME((Out16(w, h, 0x5A5A)),
                                                 k.diff_b[s][pf][pb](c.c(), cs, c.a(), as, c.b(),
                                                                     bs, o.data(), o.step(), r)))
                                << "B " << pb;
                    }
    }
    for (int c2 = 0; c2 < kNumC2Sizes; ++c2) {
        const int h = c2 == kC2x8 ? 8 : 4;
        for (int pf = 0; pf < 4; ++pf)
            for (int r = 0; r < 2; ++r) {
                Case8 c(16, h, pf * 3, 48, kAllPatterns[pf + r], rng);
                const std::int32_t cs = c.cur.step(), as = c.ref_a.step(), bs = c.ref_b.step();
                const Two16 uv{{8, h, 1}, {8, h, 2}};
                ASSERT_TRUE(OPX_SAME(
                    uv, k.diff_c2[c2][pf](c.c(), cs, c.a(), as, o.first.data(), o.first.step(),
                                          o.second.data(), o.second.step(), r)));
                for (int pb = 0; pb < 4; ++pb)
                    ASSERT_TRUE(
                        OPX_SAME(uv, k.diff_c2_b[c2][pf][pb](c.c(), cs, c.a(), as, c.b(), bs,
                                                             o.first.data(), o.first.step(),
                                                             o.second.data(), o.second.step(), r)));
            }
    }
}

TEST(StatsDifferential, SubSumsDeviationsSqrDiffVarMeanDiffAndEdges) {
    Rng rng;
    using V16 = std::vector<Opx16s>;
    using V32 = std::vector<Opx32s>;
    for (std::int32_t step : kSteps)
        for (int align = 0; align < 32; align += 3) {
            SCOPED_TRACE(testing::Message() << "step " << step << " align " << align);
            const Pattern pat = kAllPatterns[align % 6];
            Case8 c(16, 16, align, step, pat, rng);
            const std::int32_t cs = c.cur.step(), as = c.ref_a.step();
            const int ns[3] = {16, 8, 4};
            for (int s = 0; s < kNumSubSizes; ++s)
                ASSERT_TRUE(OPX_SAME((Out16(ns[s], ns[s], 7)),
                                     k.sub8u[s](c.c(), cs, c.a(), as, o.data(), o.step())))
                    << "Sub " << ns[s];
            ASSERT_TRUE(OPX_SAME(
                (std::pair{Out16(8, 8, 7), Opx32s{-1}}),
                k.sub_sad8x8(c.c(), cs, c.a(), as, o.first.data(), o.first.step(), &o.second)));
            for (int q = 0; q < kNumSquareSizes; ++q) {
                for (bool with_diff : {false, true})
                    ASSERT_TRUE(OPX_SAME((std::pair{V16(17, 9), V16(257, 9)}),
                                         k.sums_diff8u[q](c.c(), cs, c.a(), as, o.first.data(),
                                                          with_diff ? o.second.data() : nullptr)));
                ASSERT_TRUE(OPX_SAME(Opx32s{}, o = k.mean_abs_dev[q](c.c(), cs)));
            }
            Area<Opx8u> pv(8, 8, align, -step);
            pv.fill(pat, rng, 0, 255, true);
            ASSERT_TRUE(same_on_both(
                std::array<V16, 4>{V16(4), V16(65), V16(4), V16(65)}, [&](auto& k, auto& o) {
                    k.sums_diff_c2(c.c(), cs, c.a(), as, pv.data(), pv.step(), o[0].data(),
                                   o[1].data(), o[2].data(), o[3].data());
                }));
            ASSERT_TRUE(same_on_both(V32(3, 1), [&](auto& k, auto& o) {
                o[0] = k.variance16(c.c(), cs);
                k.var_sum8u(c.c(), cs, &o[1], &o[2]);
            }));
            // 16-bit data: the full ranges.
            Area<Opx16u> a16(16, 16, align & ~1, 2 * step), b16(16, 16, 0, -2 * step);
            a16.fill(pat, rng, 0, 65535);
            b16.fill(pat, rng, 0, 65535, true);
            for (int s = 0; s < kNumSub16uSizes; ++s) {
                const int n = s == kSub16u8x8 ? 8 : 4;
                ASSERT_TRUE(
                    OPX_SAME((Out16(n, n, 7)), k.sub16u[s](a16.data(), a16.step(), b16.data(),
                                                           b16.step(), o.data(), o.step())));
            }
            for (int q = 0; q < kNumSquareSizes; ++q)
                ASSERT_TRUE(
                    OPX_SAME((std::pair{V32(17, 9), V16(257, 9)}),
                             k.sums_diff16u[q](a16.data(), a16.step(), b16.data(), b16.step(),
                                               o.first.data(), o.second.data())));
            Area<Opx16s> s16(8, 8, align & ~1, 2 * step);
            s16.fill(pat, rng, -32768, 32767);
            ASSERT_TRUE(OPX_SAME((V32(2, 1)), k.var_sum16s(s16.data(), s16.step(), &o[0], &o[1])));
            // Squared differences of every position pair; both sizes of the variance and mean
            // of differences; edge detection on thresholds and counts around each bound.
            const std::int32_t bs = c.ref_b.step();
            const Opx32s sums[4] = {rng.uniform_int(0, 16320), 0, -12, INT32_MAX};
            for (int pf = 0; pf < 4; ++pf)
                ASSERT_TRUE(same_on_both(V32(25, 1), [&](auto& k, auto& o) {
                    o[0] = k.sqr_diff[pf](c.c(), cs, c.a(), as);
                    for (int pb = 0; pb < 4; ++pb)
                        o[1 + pb] = k.sqr_diff_b[pf][pb](c.c(), cs, c.a(), as, c.b(), bs);
                    for (int v = 0; v < kNumVmdSizes; ++v)
                        k.var_mean_diff[v][pf](c.c(), cs, c.a(), as, sums, &o[5 + 10 * v],
                                               &o[10 + 10 * v]);
                })) << "position " << pf;
            ASSERT_TRUE(same_on_both(std::vector<bool>(), [&](auto& k, auto& o) {
                for (std::uint32_t t : {0u, 1u, 20u, 126u, 127u, 128u, 255u, 256u + 3u})
                    for (std::uint32_t n : {0u, 10u, 100u, 224u, 225u})
                        o.push_back(k.edges8u(c.c(), cs, t, n));
            }));
        }
}

// ---- rules ---------------------------------------------------------------------------------

TEST(StatsRules, VarianceValuesTheRulesSingleOut) {
    Opx8u b[16 * 16];
    Opx32s var = -1, sum = -1;
    std::fill(b, b + 256, 200);
    ASSERT_EQ(opxiVarSum8x8_8u32s_C1R(b, 16, &var, &sum), opxOk);
    EXPECT_EQ(var, 0);
    EXPECT_EQ(sum, 64 * 200);
    for (int i = 0; i < 256; ++i) b[i] = (i & 1) ? 2 : 0;
    ASSERT_EQ(opxiVarMean8x8_8u32s_C1R(b, 16, &var, &sum), opxOk);
    EXPECT_EQ(var, 1);
    EXPECT_EQ(sum, 64);
    ASSERT_EQ(opxiVariance16x16_8u32s(b, 16, &var), opxOk);
    EXPECT_EQ(var, 256);
    // Mended: (sum of x)^2 = 65280^2 does not fit 32 bits.
    std::fill(b, b + 256, 255);
    ASSERT_EQ(opxiVariance16x16_8u32s(b, 16, &var), opxOk);
    EXPECT_EQ(var, 0);
    for (int i = 0; i < 256; ++i) b[i] = (i & 1) ? 3 : 0;
    ASSERT_EQ(opxiMeanAbsDev8x8_8u32s_C1R(b, 16, &var), opxOk);
    EXPECT_EQ(var, 96);
    // Mended: the sum of squares of 16-bit samples reaches 2^36.
    Opx16s s[64];
    std::fill(s, s + 64, -32768);
    ASSERT_EQ(opxiVarSum8x8_16s32s_C1R(s, 16, &var, &sum), opxOk);
    EXPECT_EQ(var, 0);
    EXPECT_EQ(sum, -32768 * 64);
    for (int i = 0; i < 64; ++i) s[i] = static_cast<Opx16s>((i & 1) ? 32767 : -32767);
    ASSERT_EQ(opxiVarMean8x8_16s32s_C1R(s, 16, &var, &sum), opxOk);
    EXPECT_EQ(var, 1073676288);  // 32767^2 rounded to single precision
    EXPECT_EQ(sum, 0);
}

TEST(StatsRules, VarMeanDiffMeanTruncatesTowardZero) {
    Opx8u src[16 * 16], refb[17 * 17];
    std::fill(src, src + 256, 10);
    std::fill(refb, refb + 289, 10);
    const Opx32s sums[4] = {64 * 10 - 12, 64 * 10 + 12, 64 * 10, 64 * 10 - 7};
    Opx32s var[4], mean[4];
    ASSERT_EQ(opxiVarMeanDiff16x16_8u32s_C1R(src, 16, refb, 17, sums, var, mean, 0), opxOk);
    EXPECT_EQ(mean[0], -1);
    EXPECT_EQ(mean[1], 1);
    EXPECT_EQ(mean[2], 0);
    EXPECT_EQ(mean[3], 0);
    EXPECT_EQ(var[0], (0 - 1) >> 6);
    Opx32s keep[4] = {5, 6, 7, 8};
    std::copy(keep, keep + 4, var);
    std::copy(keep, keep + 4, mean);
    EXPECT_EQ(opxiVarMeanDiff16x8_8u32s_C1R(src, 16, refb, 17, sums, var, mean, 13),
              opxWrnNothingDone);
    EXPECT_TRUE(std::equal(keep, keep + 4, var));
    EXPECT_TRUE(std::equal(keep, keep + 4, mean));
}

TEST(StatsRules, SqrDiffOfTwoEqualPredictionsIsThePrediction) {
    Opx8u src[16 * 16], r[17 * 17];
    for (int i = 0; i < 256; ++i) src[i] = static_cast<Opx8u>(i);
    for (int i = 0; i < 289; ++i) r[i] = static_cast<Opx8u>(3 * i);
    Opx32s a = 0, b = 0;
    EXPECT_EQ(opxiSqrDiff16x16_8u32s(src, 16, r, 17, 12, &a), opxOk);
    EXPECT_EQ(opxiSqrDiff16x16B_8u32s(src, 16, r, 17, 12, r, 17, 12, &b), opxOk);
    EXPECT_EQ(a, b);  // the average of two equal predictions is the prediction
}

TEST(StatsRules, GetDiffPositionBitsRoundingAndPredictor) {
    Opx8u cur[16 * 16] = {}, r[17 * 17];
    for (int i = 0; i < 289; ++i) r[i] = static_cast<Opx8u>(i % 2 + 1);  // 1, 2, 1, 2 ...
    Opx16s d[256], p[256], d2[256];
    std::fill(p, p + 256, 777);
    // Horizontal half sample of 1 and 2: 2 rounding up, 1 rounding down.
    ASSERT_EQ(opxiGetDiff8x8_8u16s_C1(cur, 16, r, 17, d, 16, p, 16, 8, 0), opxOk);
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(d[0], -2);
    ASSERT_EQ(opxiGetDiff8x8_8u16s_C1(cur, 16, r, 17, d, 16, p, 16, 8 | 3 | 16, 1), opxOk);
    EXPECT_EQ(p[0], 1);
    ASSERT_EQ(opxiGetDiff8x8_8u16s_C1(cur, 16, r, 17, d2, 16, nullptr, 0, 8, 2), opxOk);
    EXPECT_EQ(d2[0], -2);  // roundControl 2 reads as 0
    // Bidirectional: PF = 1, PB = 2 averages to 2 even when rounding down.
    Opx8u ones[17 * 17], twos[17 * 17];
    std::fill(ones, ones + 289, 1);
    std::fill(twos, twos + 289, 2);
    ASSERT_EQ(opxiGetDiff8x4B_8u16s_C1(cur, 16, ones, 17, 0, twos, 17, 0, d, 16, 1), opxOk);
    EXPECT_EQ(d[0], -2);
    // Interleaved: byte 2i is averaged with byte 2i + 2.
    Opx16s u[64], v[64];
    ASSERT_EQ(opxiGetDiff8x4_8u16s_C2P2(cur, 16, r, 17, u, 16, v, 16, 8, 0), opxOk);
    EXPECT_EQ(u[0], -1);
    EXPECT_EQ(v[0], -2);
}

TEST(StatsRules, SubtractionModuloAndSums) {
    Opx16u a[16] = {0, 65535}, b[16] = {65535, 0};
    Opx16s d[16];
    ASSERT_EQ(opxiSub4x4_16u16s_C1R(a, 8, b, 8, d, 8), opxOk);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(d[1], -1);
    Opx8u s8[64], p8[64];
    for (int i = 0; i < 64; ++i) s8[i] = 255, p8[i] = static_cast<Opx8u>(i);
    Opx16s sums[4], diff[64], sub[64];
    Opx32s sad = -1;
    ASSERT_EQ(opxiSumsDiff8x8Blocks4x4_8u16s_C1(s8, 8, p8, 8, sums, diff), opxOk);
    ASSERT_EQ(opxiSubSAD8x8_8u16s_C1R(s8, 8, p8, 8, sub, 16, &sad), opxOk);
    int total = 0;
    for (int i = 0; i < 64; ++i) total += 255 - i;
    EXPECT_EQ(sad, total);
    EXPECT_EQ(sums[0] + sums[1] + sums[2] + sums[3], total);
    EXPECT_EQ(diff[16], 255 - 4);  // sub-block 1 starts at column 4 of row 0
    EXPECT_EQ(diff[4], 255 - 8);   // second row of sub-block 0
}

TEST(StatsRules, EdgesDetectCountsAndThresholds) {
    Opx8u b[16 * 16];
    for (int i = 0; i < 256; ++i) b[i] = static_cast<Opx8u>((i + i / 16) & 1 ? 200 : 0);
    Opx8u res = 9;
    // All 225 examined samples are edge samples: more than 224, not more than 225.
    ASSERT_EQ(opxiEdgesDetect16x16_8u_C1R(b, 16, 100, 225, &res), opxOk);
    EXPECT_EQ(res, 0);
    ASSERT_EQ(opxiEdgesDetect16x16_8u_C1R(b, 16, 100, 224, &res), opxOk);
    EXPECT_EQ(res, 1);
    ASSERT_EQ(opxiEdgesDetect16x16_8u_C1R(b, 16, 127, 0, &res), opxOk);
    EXPECT_EQ(res, 0);  // differences of 200 count as 127, which does not exceed 127
    std::fill(b, b + 256, 50);
    ASSERT_EQ(opxiEdgesDetect16x16_8u_C1R(b, 16, 128, 200, &res), opxOk);
    EXPECT_EQ(res, 1);  // threshold byte 128 = -128: every sample is an edge sample
    ASSERT_EQ(opxiEdgesDetect16x16_8u_C1R(b, 16, 256 + 5, 0, &res), opxOk);
    EXPECT_EQ(res, 0);  // only the low byte counts
    Opx16u w[16 * 16];
    for (int i = 0; i < 256; ++i) w[i] = static_cast<Opx16u>(i & 1 ? 65535 : 0);
    Opx32u r32 = 9;
    ASSERT_EQ(opxiEdgesDetect16x16_16u_C1R(w, 32, 65534, 5, &r32), opxOk);
    EXPECT_EQ(r32, 1u);
    // Mended: thresholds and counts past any possible answer write 0 rather than nothing.
    r32 = 9;
    ASSERT_EQ(opxiEdgesDetect16x16_16u_C1R(w, 32, 65536, 5, &r32), opxOk);
    EXPECT_EQ(r32, 0u);
    r32 = 9;
    ASSERT_EQ(opxiEdgesDetect16x16_16u_C1R(w, 32, 0, 257, &r32), opxOk);
    EXPECT_EQ(r32, 0u);
}

// ---- null pointers -------------------------------------------------------------------------

#define OPX_GET_DIFF_NULL(W, H)                                                                 \
    OPX_NULL_CALL(opxiGetDiff##W##x##H##_8u16s_C1, nul(s.u8(0)), 64, nul(s.u8(1)), 64,          \
                  nul(s.s16(2)), 64, nullptr, 0, 0, 0)                                          \
    OPX_NULL_CALL(opxiGetDiff##W##x##H##B_8u16s_C1, nul(s.u8(0)), 64, nul(s.u8(1)), 64, 0,      \
                  nul(s.u8(2)), 64, 0, nul(s.s16(3)), 64, 0)
OPX_GET_DIFF_NULL(16, 16)
OPX_GET_DIFF_NULL(16, 8)
OPX_GET_DIFF_NULL(8, 16)
OPX_GET_DIFF_NULL(8, 8)
OPX_GET_DIFF_NULL(8, 4)
OPX_NULL_AUTO(opxiGetDiff8x8_8u16s_C2P2, 64, 64, 64, 64, 0, 0)
OPX_NULL_AUTO(opxiGetDiff8x4_8u16s_C2P2, 64, 64, 64, 64, 0, 0)
OPX_NULL_AUTO(opxiGetDiff8x8B_8u16s_C2P2, 64, 64, 0, 64, 0, 64, 64, 0)
OPX_NULL_AUTO(opxiGetDiff8x4B_8u16s_C2P2, 64, 64, 0, 64, 0, 64, 64, 0)
OPX_NULL_AUTO(opxiGetDiff4x4_8u16s_C1, 64, 64, 64)
OPX_NULL_AUTO(opxiSub16x16_8u16s_C1R, 64, 64, 64)
OPX_NULL_AUTO(opxiSub8x8_8u16s_C1R, 64, 64, 64)
OPX_NULL_AUTO(opxiSub4x4_8u16s_C1R, 64, 64, 64)
OPX_NULL_AUTO(opxiSub8x8_16u16s_C1R, 64, 64, 64)
OPX_NULL_AUTO(opxiSub4x4_16u16s_C1R, 64, 64, 64)
OPX_NULL_AUTO(opxiSubSAD8x8_8u16s_C1R, 64, 64, 64)
OPX_NULL_CALL(opxiSumsDiff16x16Blocks4x4_8u16s_C1, nul(s.u8(0)), 64, nul(s.u8(1)), 64,
              nul(s.s16(2)), nullptr)
OPX_NULL_CALL(opxiSumsDiff8x8Blocks4x4_8u16s_C1, nul(s.u8(0)), 64, nul(s.u8(1)), 64,
              nul(s.s16(2)), nullptr)
OPX_NULL_CALL(opxiSumsDiff16x16Blocks4x4_16u32s_C1R, nul(s.u16(0)), 64, nul(s.u16(1)), 64,
              nul(s.s32(2)), nullptr)
OPX_NULL_CALL(opxiSumsDiff8x8Blocks4x4_16u32s_C1R, nul(s.u16(0)), 64, nul(s.u16(1)), 64,
              nul(s.s32(2)), nullptr)
OPX_NULL_CALL(opxiSumsDiff8x8Blocks4x4_8u16s_C2P2, nul(s.u8(0)), 64, nul(s.u8(1)), 64,
              nul(s.u8(2)), 64, nul(s.s16(3)), nullptr, nul(s.s16(4)), nullptr)
OPX_NULL_AUTO(opxiMeanAbsDev16x16_8u32s_C1R, 64)
OPX_NULL_AUTO(opxiMeanAbsDev8x8_8u32s_C1R, 64)
OPX_NULL_AUTO(opxiVariance16x16_8u32s, 64)
OPX_NULL_AUTO(opxiVarSum8x8_8u32s_C1R, 64)
OPX_NULL_AUTO(opxiVarMean8x8_8u32s_C1R, 64)
OPX_NULL_AUTO(opxiVarSum8x8_16s32s_C1R, 64)
OPX_NULL_AUTO(opxiVarMean8x8_16s32s_C1R, 64)
OPX_NULL_AUTO(opxiVarMeanDiff16x16_8u32s_C1R, 64, 64, 0)
OPX_NULL_AUTO(opxiVarMeanDiff16x8_8u32s_C1R, 64, 64, 0)
OPX_NULL_AUTO(opxiSqrDiff16x16_8u32s, 64, 64, 0)
OPX_NULL_AUTO(opxiSqrDiff16x16B_8u32s, 64, 64, 0, 64, 0)
OPX_NULL_AUTO(opxiEdgesDetect16x16_8u_C1R, 64, 10, 10)
OPX_NULL_AUTO(opxiEdgesDetect16x16_16u_C1R, 64, 10, 10)

}  // namespace
}  // namespace opx::test::metrics
