// H.264 weighted prediction: AVX2 kernels against the portable ones over the whole accepted
// argument range, the values the rules single out, result codes and their order.
#include "h264/decode/weight.hpp"

#include <algorithm>
#include <climits>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

// Weights and offsets: the H.264 range, the edges of the kernels' fast path and the whole of
// 32 bits.
std::int64_t any_weight(Rng& rng) {
    static constexpr std::int64_t kEdges[] = {-129,   -128,  -127,      -64,      0,   1,
                                              63,     64,    127,       128,      129, 255,
                                              -32768, 32767, INT32_MIN, INT32_MAX};
    switch (rng.uniform(0, 4)) {
        case 0:
        case 4:
            return rng.uniform(-128, 127);
        case 1:
            return kEdges[rng.uniform(0, std::size(kEdges) - 1)];
        case 2:
            return rng.uniform(-70000, 70000);
        default:
            return rng.uniform(INT32_MIN, INT32_MAX);
    }
}

std::int8_t s8(Rng& rng) {
    return static_cast<std::int8_t>(rng.uniform(-128, 127));
}

Pattern any_pattern(Rng& rng) {
    return kAllPatterns[rng.uniform(0, std::size(kAllPatterns) - 1)];
}

constexpr int kTrials = 64;

// A second plane of the same geometry holding the same samples (Plane is not copyable).
template <class T>
std::unique_ptr<Plane<T>> twin(const Plane<T>& a, int margin, int misalign = 0, int extra = 0) {
    auto b = std::make_unique<Plane<T>>(a.width(), a.height(), margin, misalign, extra);
    for (int y = 0; y < a.height(); ++y) std::copy(a.row(y), a.row(y) + a.width(), b->row(y));
    return b;
}

BiWeight any_bi_weight(Rng& rng, bool c2) {
    BiWeight wt;
    wt.shift = static_cast<int>(rng.uniform(0, c2 ? 16 : 30));
    for (int c = 0; c < 2; ++c) {
        wt.w1[c] = static_cast<std::int32_t>(c2 ? s8(rng) : any_weight(rng));
        wt.w2[c] = static_cast<std::int32_t>(c2 ? s8(rng) : any_weight(rng));
        wt.o[c] = c2 ? s8(rng) : any_weight(rng);
    }
    if (!c2) wt.w1[1] = wt.w1[0], wt.w2[1] = wt.w2[0], wt.o[1] = wt.o[0];
    return wt;
}

// Every size of the uni- and bi-directional tables, planar and interleaved (c2), over the whole
// accepted argument range.
TEST(H264Weight, UniAndBiKernelsMatchPortableOverAllArguments) {
    Rng rng;
    for (int bi = 0; bi < 2; ++bi)
        for (int c2 = 0; c2 < 2; ++c2)
            for (int i = 0; i < kNumWeightSizes; ++i)
                for (int t = 0; t < kTrials; ++t) {
                    const int bytes = kWeightSides[i / 4] * (c2 ? 2 : 1), h = kWeightSides[i % 4];
                    const int misalign = static_cast<int>(rng.uniform(0, 31));
                    Plane<Opx8u> a(bytes, h, 16, misalign, static_cast<int>(rng.uniform(0, 9)));
                    const Pattern p = any_pattern(rng);
                    // One planar uni trial in three: samples near 128 and an offset that brings
                    // them back into range, so that the rounding of wide weights shows instead
                    // of being clamped away.
                    const bool counter = !bi && !c2 && t % 3 == 0;
                    if (counter)
                        a.fill(p, rng, 120, 136);
                    else
                        a.fill(p, rng);
                    auto b = twin(a, 16, misalign);
                    SCOPED_TRACE(testing::Message() << (bi ? "bi " : "uni ") << (c2 ? "c2 " : "")
                                                    << bytes << "x" << h << " trial " << t);
                    if (bi) {
                        const BiWeight wt = any_bi_weight(rng, c2);
                        Plane<Opx8u> s1(bytes, h, 16, static_cast<int>(rng.uniform(0, 31)));
                        Plane<Opx8u> s2(bytes, h, 16, static_cast<int>(rng.uniform(0, 31)), 5);
                        s1.fill(p, rng, 0, 255, false);
                        s2.fill(p, rng, 0, 255, true);
                        (c2 ? ref::kWeight.bi_c2 : ref::kWeight.bi)[i](
                            s1.data(), s1.step(), s2.data(), s2.step(), a.data(), a.step(), wt);
                        (c2 ? avx2::kWeight.bi_c2 : avx2::kWeight.bi)[i](
                            s1.data(), s1.step(), s2.data(), s2.step(), b->data(), b->step(), wt);
                    } else {
                        UniWeight wt;
                        wt.shift = static_cast<int>(rng.uniform(0, c2 ? 15 : 7));
                        for (int c = 0; c < 2; ++c) {
                            wt.w[c] = static_cast<std::int32_t>(c2 ? s8(rng) : any_weight(rng));
                            wt.o[c] = c2 ? s8(rng) : any_weight(rng);
                        }
                        if (!c2) wt.w[1] = wt.w[0], wt.o[1] = wt.o[0];
                        if (counter) {
                            const std::int64_t o =
                                128 - ((128 * std::int64_t{wt.w[0]}) >> wt.shift);
                            wt.o[0] = wt.o[1] = std::clamp<std::int64_t>(o, INT32_MIN, INT32_MAX);
                        }
                        (c2 ? ref::kWeight.uni_c2 : ref::kWeight.uni)[i](a.data(), a.step(), wt);
                        (c2 ? avx2::kWeight.uni_c2 : avx2::kWeight.uni)[i](b->data(), b->step(),
                                                                           wt);
                        // The plain kernel the exported function takes for weights and offsets
                        // as H.264 signals them.
                        if (!c2) {
                            const int w = s8(rng),
                                      o = static_cast<int>(rng.coin() ? s8(rng)
                                                                      : rng.uniform(-32768, 32767));
                            ref::kWeight.uni_plain[i](a.data(), a.step(), wt.shift, w, o);
                            avx2::kWeight.uni_plain[i](b->data(), b->step(), wt.shift, w, o);
                        }
                    }
                    ASSERT_TRUE(planes_equal(a, *b));
                    ASSERT_TRUE(b->canaries_intact());
                }
}

// Overlap: a bi-directional destination that is its second source or overlaps it by a few bytes,
// and interleaved rows in place that are shorter than their step in bytes (negative steps
// too). Both paths read each sample before writing it, in row order.
TEST(H264Weight, OverlappingBlocksGiveRowOrderResults) {
    Rng rng;
    for (int i = 0; i < kNumWeightSizes; ++i) {
        const int w = kWeightSides[i / 4], h = kWeightSides[i % 4];
        for (int shift_src : {0, 1, -1, 3, 40}) {
            const BiWeight wt = {5, {20, 20}, {44, 44}, {-3, -3}};
            Plane<Opx8u> a(w + 48, h + 4, 16), src(w + 48, h + 4, 16);
            a.fill(Pattern::kRandom, rng);
            src.fill(Pattern::kRandom, rng);
            auto b = twin(a, 16);
            Opx8u *da = a.row(2) + 8, *db = b->row(2) + 8;
            ref::kWeight.bi[i](src.row(2) + 8, src.step(), da + shift_src, a.step(), da, a.step(),
                               wt);
            avx2::kWeight.bi[i](src.row(2) + 8, src.step(), db + shift_src, b->step(), db,
                                b->step(), wt);
            ASSERT_TRUE(planes_equal(a, *b)) << w << "x" << h << " shift " << shift_src;
        }
        for (int step : {w, -w, w + 1}) {
            const UniWeight wt = {3, {-7, 90}, {12, -40}};
            Plane<Opx8u> a(2 * w, 2 * h + 2, 16);
            a.fill(Pattern::kRandom, rng);
            auto b = twin(a, 16);
            ref::kWeight.uni_c2[i](step < 0 ? a.row(2 * h) : a.data(), step, wt);
            avx2::kWeight.uni_c2[i](step < 0 ? b->row(2 * h) : b->data(), step, wt);
            ASSERT_TRUE(planes_equal(a, *b)) << w << "x" << h << " step " << step;
        }
    }
}

TEST(H264Weight, AnySizeKernelMatchesPortable) {
    Rng rng;
    for (int t = 0; t < 200; ++t) {
        const int w = static_cast<int>(rng.uniform(1, 80)), h = static_cast<int>(rng.uniform(1, 9));
        const BiWeight wt = t % 2 ? any_bi_weight(rng, false)
                                  : BiWeight{6,
                                             {static_cast<std::int32_t>(rng.uniform(-64, 128)), 0},
                                             {static_cast<std::int32_t>(rng.uniform(-64, 128)), 0},
                                             {0, 0}};
        BiWeight wt2 = wt;
        wt2.w1[1] = wt2.w1[0], wt2.w2[1] = wt2.w2[0], wt2.o[1] = wt2.o[0];
        Plane<Opx8u> s1(w, h, 8, static_cast<int>(rng.uniform(0, 31)));
        Plane<Opx8u> s2(w, h, 8, static_cast<int>(rng.uniform(0, 31)));
        s1.fill(any_pattern(rng), rng);
        s2.fill(any_pattern(rng), rng);
        Plane<Opx8u> a(w, h, 8), b(w, h, 8);
        ref::kWeight.bi_any(s1.data(), s1.step(), s2.data(), s2.step(), a.data(), a.step(), w, h,
                            wt2);
        avx2::kWeight.bi_any(s1.data(), s1.step(), s2.data(), s2.step(), b.data(), b.step(), w, h,
                             wt2);
        ASSERT_TRUE(planes_equal(a, b)) << w << "x" << h;
        ASSERT_TRUE(b.canaries_intact());
    }
}

TEST(H264Weight, SixteenBitKernelsMatchPortable) {
    Rng rng;
    for (int t = 0; t < 300; ++t) {
        const int w = t % 3 ? static_cast<int>(rng.uniform(1, 17)) : 16,
                  h = static_cast<int>(rng.uniform(1, 16));
        const int depth = static_cast<int>(rng.uniform(8, 14)), max = (1 << depth) - 1;
        Plane<Opx16u> s1(w, h, 8), s2(w, h, 8);
        const Pattern p = any_pattern(rng);
        // Samples beyond the bit depth now and then: the planes are not checked.
        const bool extreme = t % 8 == 5;  // the largest weights and offsets the vector path takes
        const int hi = t % 5 == 0 || extreme ? 65535 : max;
        s1.fill(p, rng, 0, hi, false);
        s2.fill(p, rng, 0, hi, true);
        Plane<Opx16u> a(w, h, 8), b(w, h, 8);
        // a quarter each: equal weights of half the unit and no offset (which the AVX2 kernel
        // averages), weights of a stream (shift up to 8, weights within +-128), any weights
        const int sh = static_cast<int>(rng.uniform(1, 8));
        const auto s = [&](int lo, int hi) {
            return static_cast<std::int32_t>(rng.uniform(lo, hi));
        };
        const std::int32_t w1 = extreme ? 16383 : s(-128, 129),
                           w2 = extreme ? (t % 16 == 5 ? 16383 : -16383) : s(-128, 129),
                           o = extreme ? (t % 16 == 5 ? -(1 << 29) : 1 << 29) : s(-512, 513);
        const BiWeight wt = t % 4 == 0   ? BiWeight{sh,
                                                  {1 << (sh - 1), 1 << (sh - 1)},
                                                  {1 << (sh - 1), 1 << (sh - 1)},
                                                  {0, 0}}
                            : t % 4 == 1 ? BiWeight{sh, {w1, w1}, {w2, w2}, {o, o}}
                                         : any_bi_weight(rng, false);
        ref::kWeight.bi16(s1.data(), s1.step() / 2, s2.data(), s2.step() / 2, a.data(),
                          a.step() / 2, w, h, wt, max);
        avx2::kWeight.bi16(s1.data(), s1.step() / 2, s2.data(), s2.step() / 2, b.data(),
                           b.step() / 2, w, h, wt, max);
        ASSERT_TRUE(planes_equal(a, b));
        ref::kWeight.avg16(s1.data(), s1.step() / 2, s2.data(), s2.step() / 2, a.data(),
                           a.step() / 2, w, h);
        avx2::kWeight.avg16(s1.data(), s1.step() / 2, s2.data(), s2.step() / 2, b.data(),
                            b.step() / 2, w, h);
        ASSERT_TRUE(planes_equal(a, b));
        const UniWeight u = {
            static_cast<int>(rng.uniform(0, 7)), {wt.w1[0], wt.w1[0]}, {wt.o[0], wt.o[0]}};
        ref::kWeight.uni16(a.data(), a.step() / 2, w, h, u, max);
        avx2::kWeight.uni16(b.data(), b.step() / 2, w, h, u, max);
        ASSERT_TRUE(planes_equal(a, b));
        ASSERT_TRUE(b.canaries_intact());
    }
}

// Each sample flush against an unreadable page, both ends: no read beyond the block.
TEST(H264Weight, KernelsReadAndWriteOnlyTheBlock) {
    for (int i = 0; i < kNumWeightSizes; ++i)
        for (bool front : {false, true}) {
            const int w = kWeightSides[i / 4], h = kWeightSides[i % 4];
            GuardedBuffer g1(w * h), g2(w * h), gd(w * h);
            Opx8u* s1 = g1.place(w, h, w, front);
            Opx8u* s2 = g2.place(w, h, w, front);
            Opx8u* d = gd.place(w, h, w, front);
            std::fill(g1.begin(), g1.end(), 200);
            std::fill(g2.begin(), g2.end(), 100);
            avx2::kWeight.bi[i](s1, w, s2, w, d, w, BiWeight{1, {1, 1}, {1, 1}, {0, 0}});
            EXPECT_EQ(d[w * h - 1], 150);
            avx2::kWeight.uni[i](d, w, UniWeight{0, {1, 1}, {5, 5}});
            EXPECT_EQ(d[0], 155);
            avx2::kWeight.bi_any(s1, w, s2, w, d, w, w, h, BiWeight{6, {32, 32}, {32, 32}, {0, 0}});
            EXPECT_EQ(d[0], 150);
        }
}

// ---- rules of the exported functions ----------------------------------------------------------

constexpr OpxRoiSize k8x8 = {8, 8};

// Exact results where 32-bit arithmetic would wrap: the extremes of the accepted weights.
TEST(H264Weight, ExtremeWeightsGiveExactResults) {
    Opx8u d[4] = {255, 1, 0, 2};
    // 255·2^31−1 − 2^31·... : weight INT32_MAX with offset INT32_MIN.
    ASSERT_EQ(opxiUniDirWeightBlock_H264_8u_C1R(d, 2, 0, INT32_MAX, INT32_MIN, {2, 2}), opxOk);
    EXPECT_EQ(d[0], 255);  // 255·(2^31 − 1) − 2^31 > 255
    EXPECT_EQ(d[1], 0);    // 2^31 − 1 − 2^31 = −1
    EXPECT_EQ(d[2], 0);
    EXPECT_EQ(d[3], 255);  // 2^32 − 2 − 2^31 > 255
    Opx8u s1[4] = {1, 1, 1, 1}, s2[4] = {1, 1, 1, 1}, o[4];
    // 1·2^31−1 + 1·(−2^31) + 2^7 = 127 → >> 8 = 0; offsets (2^31 − 1 + 2^31 − 1 + 1) >> 1.
    ASSERT_EQ(
        opxiBiDirWeightBlock_H264_8u_P2P1R(s1, s2, o, 2, 2, 7, INT32_MAX, 0, INT32_MIN, 0, {2, 2}),
        opxOk);
    EXPECT_EQ(o[0], 0);
    ASSERT_EQ(
        opxiBiDirWeightBlock_H264_8u_P2P1R(s1, s2, o, 2, 2, 0, 0, INT32_MAX, 0, INT32_MAX, {2, 2}),
        opxOk);
    EXPECT_EQ(o[0], 255);
    ASSERT_EQ(
        opxiBiDirWeightBlock_H264_8u_P2P1R(s1, s2, o, 2, 2, 0, 0, INT32_MIN, 0, INT32_MIN, {2, 2}),
        opxOk);
    EXPECT_EQ(o[0], 0);
    // Offsets of opposite extremes: (2^31 − 1 − 2^31 + 1) >> 1 = 0; 100 + 100 → 100.
    Opx8u a[4] = {100, 100, 100, 100};
    ASSERT_EQ(
        opxiBiDirWeightBlock_H264_8u_P2P1R(a, a, o, 2, 2, 0, 1, INT32_MAX, 1, INT32_MIN, {2, 2}),
        opxOk);
    EXPECT_EQ(o[0], 100);
}

TEST(H264Weight, ImplicitAnySizeAcceptsZeroWidthWhereTheSizedFormRefuses) {
    Opx8u s[16] = {}, d[16];
    std::fill(d, d + 16, 7);
    EXPECT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(s, s, d, 4, 4, 4, 32, 32, {0, 4}), opxOk);
    EXPECT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(s, s, d, 4, 4, 4, 32, 32, {4, -1}), opxOk);
    EXPECT_TRUE(std::all_of(d, d + 16, [](Opx8u v) { return v == 7; }));
    EXPECT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(s, s, d, 4, 4, 32, 32, {0, 4}),
              opxErrSize);
    // Odd sizes are fine for the any-size form.
    EXPECT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(s, s, d, 4, 4, 4, 32, 32, {3, 3}), opxOk);
    EXPECT_EQ(d[0], 0);
    EXPECT_EQ(d[3], 7);
}

// The any-size implicit form takes the sized kernels for partition sizes: the results stay those
// of the portable any-size kernel for any steps, also when the destination rows overlap each
// other or a source.
TEST(H264Weight, ImplicitAnySizeMatchesPortableAtPartitionSizes) {
    Rng rng;
    std::vector<Opx8u> s1(64 * 20), s2(64 * 20), a(64 * 20), b(64 * 20);
    for (int i = 0; i < kNumWeightSizes; ++i)
        for (int t = 0; t < 16; ++t) {
            const int w = kWeightSides[i / 4], h = kWeightSides[i % 4];
            const auto step = [&] {
                return static_cast<Opx32u>(t < 12 ? rng.uniform(w, 64) : rng.uniform(0, w));
            };
            const Opx32u st1 = step(), st2 = step(), std_ = step();
            for (auto* v : {&s1, &s2, &a})
                for (auto& x : *v) x = static_cast<Opx8u>(rng.uniform(0, 255));
            b = a;
            const std::int32_t w1 = static_cast<std::int32_t>(rng.uniform(-64, 128)), w2 = 64 - w1;
            // t ≥ 14: in place on the first source.
            Opx8u* const da = t >= 14 ? a.data() : a.data() + 8;
            Opx8u* const db = t >= 14 ? b.data() : b.data() + 8;
            const Opx8u* src1a = t >= 14 ? a.data() : s1.data();
            const Opx8u* src1b = t >= 14 ? b.data() : s1.data();
            ref::kWeight.bi_any(src1a, st1, s2.data(), st2, da, t >= 14 ? st1 : std_, w, h,
                                BiWeight{6, {w1, w1}, {w2, w2}, {0, 0}});
            ASSERT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(
                          src1b, s2.data(), db, st1, st2, t >= 14 ? st1 : std_, w1, w2, {w, h}),
                      opxOk);
            ASSERT_EQ(a, b) << w << "x" << h << " steps " << st1 << "," << st2 << "," << std_;
        }
}

// The two-source forms read both sources with srcStep and write with dstStep: equal to the
// three-step forms given those steps.
TEST(H264Weight, TwoSourceFormsKeepTheSourceStepApartFromTheDestinations) {
    Rng rng;
    std::vector<Opx8u> a(16 * 16), b(16 * 16), d(24 * 16), e(24 * 16);
    for (auto* v : {&a, &b})
        for (auto& x : *v) x = static_cast<Opx8u>(rng.uniform(0, 256));
    const OpxRoiSize r = {16, 16};
    ASSERT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(a.data(), b.data(), d.data(), 16, 24, 20,
                                                         44, r),
              opxOk);
    ASSERT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(a.data(), b.data(), e.data(), 16, 16, 24,
                                                         20, 44, r),
              opxOk);
    EXPECT_EQ(d, e);
    ASSERT_EQ(opxiBiDirWeightBlock_H264_8u_P2P1R(a.data(), b.data(), d.data(), 16, 24, 5, 40, 3, 24,
                                                 -2, r),
              opxOk);
    ASSERT_EQ(opxiBiDirWeightBlock_H264_8u_P3P1R(a.data(), b.data(), e.data(), 16, 16, 24, 5, 40, 3,
                                                 24, -2, r),
              opxOk);
    EXPECT_EQ(d, e);
}

TEST(H264Weight, SixteenByTwoAndTwoBySixteenAreAccepted) {
    Opx8u a[64] = {}, b[64] = {}, d[64];
    for (OpxRoiSize r : {OpxRoiSize{16, 2}, OpxRoiSize{2, 16}}) {
        const Opx32u st = static_cast<Opx32u>(r.width);
        EXPECT_EQ(opxiUniDirWeightBlock_H264_8u_C1R(d, st, 0, 1, 0, r), opxOk);
        EXPECT_EQ(opxiBiDirWeightBlock_H264_8u_P2P1R(a, b, d, st, st, 0, 1, 0, 1, 0, r), opxOk);
        EXPECT_EQ(opxiBiDirWeightBlock_H264_8u_P3P1R(a, b, d, st, st, st, 0, 1, 0, 1, 0, r), opxOk);
        EXPECT_EQ(opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(a, b, d, st, st, 32, 32, r), opxOk);
        EXPECT_EQ(opxiWeightedAverage_H264_8u_C1IR(a, d, r.width, 1, 1, 1, 0, r), opxOk);
        OpxBidir8u rec = {a, r.width, b, r.width, d, r.width, r};
        const OpxChromaWeight cw = {0, {1, 1}, {0, 0}};
        EXPECT_EQ(opxiUniDirWeightBlock_H264_8u_C2R(&rec, &cw), opxOk);
        EXPECT_EQ(opxiBiDirWeightBlock_H264_8u_C2R(&rec, &cw, &cw), opxOk);
    }
}

TEST(H264Weight, InterleavedFormsWeightCbAndCrApart) {
    Opx8u p[32];
    for (int i = 0; i < 32; ++i) p[i] = 100;
    OpxBidir8u rec = {nullptr, 0, nullptr, 0, p, 8, {4, 4}};
    const OpxChromaWeight cw = {0x31, {2, -1}, {-10, 127}};  // logWD 1: the high bits are ignored
    ASSERT_EQ(opxiUniDirWeightBlock_H264_8u_C2R(&rec, &cw), opxOk);
    EXPECT_EQ(p[0], 90);  // (200 + 1) >> 1 − 10
    EXPECT_EQ(p[1], 77);  // (−100 + 1) >> 1 + 127 = −50 + 127
    Opx8u s1[32], s2[32], d[32];
    std::fill(s1, s1 + 32, 40);
    std::fill(s2, s2 + 32, 60);
    OpxBidir8u bi = {s1, 8, s2, 8, d, 8, {4, 4}};
    const OpxChromaWeight w0 = {2, {4, 1}, {3, -4}}, w1 = {7, {4, 2}, {0, 0}};
    ASSERT_EQ(opxiBiDirWeightBlock_H264_8u_C2R(&bi, &w0, &w1), opxOk);
    EXPECT_EQ(d[0], ((40 * 4 + 60 * 4 + 4) >> 3) + 2);   // logWD from list 0
    EXPECT_EQ(d[1], ((40 * 1 + 60 * 2 + 4) >> 3) + -2);  // (−4 + 0 + 1) >> 1 = −2
}

TEST(H264Weight, WeightedAverageShiftZeroOrNegativeMeansNoShiftAndNoRounding) {
    Opx8u s1[4] = {10, 20, 30, 40}, d[4] = {1, 2, 3, 4};
    ASSERT_EQ(opxiWeightedAverage_H264_8u_C1IR(s1, d, 2, 2, 3, -5, -1, {2, 2}), opxOk);
    EXPECT_EQ(d[0], 22);  // 20 + 3 − 1
    EXPECT_EQ(d[3], 91);  // 80 + 12 − 1
    Opx8u e[4] = {1, 2, 3, 4};
    ASSERT_EQ(opxiWeightedAverage_H264_8u_C1IR(s1, e, 2, 2, 3, 0, -1, {2, 2}), opxOk);
    EXPECT_EQ(e[0], 22);
    // shift 2: (20 + 3 + 2) >> 2 = 6; shift 30 accepted, 31 refused.
    Opx8u f[4] = {1, 2, 3, 4};
    ASSERT_EQ(opxiWeightedAverage_H264_8u_C1IR(s1, f, 2, 2, 3, 2, 0, {2, 2}), opxOk);
    EXPECT_EQ(f[0], 6);
    EXPECT_EQ(opxiWeightedAverage_H264_8u_C1IR(s1, f, 2, INT32_MAX, INT32_MAX, 30, 0, {2, 2}),
              opxOk);
    EXPECT_EQ(f[0], (16LL * INT32_MAX + (1LL << 29)) >> 30);  // 10 and 6 weighted by 2^31 − 1
    Opx8u g[4] = {9, 9, 9, 9};
    EXPECT_EQ(opxiWeightedAverage_H264_8u_C1IR(s1, g, 2, 1, 1, 31, 0, {2, 2}), opxErrBadArg);
    EXPECT_EQ(g[0], 9);
}

TEST(H264Weight, SixteenBitRules) {
    Opx16u s1[64], s2[64], d[64];
    std::fill(s1, s1 + 64, 1000);
    std::fill(s2, s2 + 64, 1020);
    OpxBidir16u rec = {s1, 4, s2, 4, d, 4, {4, 4}, 10};
    ASSERT_EQ(opxiBidirWeight_H264_16u_P2P1R(&rec, 0, 1, 20, 1, 20), opxOk);
    EXPECT_EQ(d[0], 1023);  // clamped to 10 bits
    ASSERT_EQ(opxiBidirWeightImplicit_H264_16u_P2P1R(&rec, 32, 32), opxOk);
    EXPECT_EQ(d[5], 1010);
    ASSERT_EQ(opxiBidir_H264_16u_P2P1R(&rec), opxOk);
    EXPECT_EQ(d[5], 1010);
    rec.roiSize = {3, 5};  // the plain average takes any side 2..16
    ASSERT_EQ(opxiBidir_H264_16u_P2P1R(&rec), opxOk);
    std::fill(d, d + 16, 5);
    ASSERT_EQ(opxiUnidirWeight_H264_16u_IP2P1R(d, 4, 1, 3, -2, {4, 4}, 14), opxOk);
    EXPECT_EQ(d[0], ((5 * 3 + 1) >> 1) - 2);
    std::fill(d, d + 16, 1000);
    ASSERT_EQ(opxiUnidirWeight_H264_16u_IP2P1R(d, 4, 0, 1, 100, {4, 4}, 10), opxOk);
    EXPECT_EQ(d[0], 1023);  // clamped to 10 bits
}

}  // namespace

namespace {
constexpr OpxRoiSize kRoi16 = {16, 16};
}  // namespace

OPX_NULL_CALL(opxiUniDirWeightBlock_H264_8u_C1R, nul(s.u8(0)), 16, 5, 3, 1, kRoi16)
OPX_NULL_CALL(opxiUniDirWeightBlock_H264_8u_C1IR, nul(s.u8(0)), 16, 5, 3, 1, kRoi16)
OPX_NULL_CASE(opxiUniDirWeightBlock_H264_8u_C2R) {
    OpxBidir8u rec = {s.u8(1), 16, s.u8(2), 16, nul(s.u8(0)), 16, {8, 8}};
    const OpxChromaWeight cw = {3, {5, 6}, {1, 2}};
    return opxiUniDirWeightBlock_H264_8u_C2R(nul(&rec), nul(&cw));
}
OPX_NULL_CALL(opxiUnidirWeight_H264_16u_IP2P1R, nul(s.u16(0)), 16, 5, 3, 1, kRoi16, 10)
OPX_NULL_AUTO(opxiBiDirWeightBlock_H264_8u_P2P1R, 16, 16, 5, 3, 1, 4, 2, kRoi16)
OPX_NULL_AUTO(opxiBiDirWeightBlock_H264_8u_P3P1R, 16, 16, 16, 5, 3, 1, 4, 2, kRoi16)
OPX_NULL_CASE(opxiBiDirWeightBlock_H264_8u_C2R) {
    OpxBidir8u rec = {nul(s.u8(0)), 32, nul(s.u8(1)), 32, nul(s.u8(2)), 32, {8, 8}};
    const OpxChromaWeight cw = {3, {5, 6}, {1, 2}};
    return opxiBiDirWeightBlock_H264_8u_C2R(nul(&rec), nul(&cw), nul(&cw));
}
OPX_NULL_AUTO(opxiBiDirWeightBlockImplicit_H264_8u_P2P1R, 16, 16, 20, 44, kRoi16)
OPX_NULL_AUTO(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R, 16, 16, 16, 20, 44, kRoi16)
OPX_NULL_CASE(opxiBidirWeight_H264_16u_P2P1R) {
    OpxBidir16u rec = {nul(s.u16(0)), 16, nul(s.u16(1)), 16, nul(s.u16(2)), 16, {16, 16}, 10};
    return opxiBidirWeight_H264_16u_P2P1R(nul(&rec), 5, 3, 1, 4, 2);
}
OPX_NULL_CASE(opxiBidirWeightImplicit_H264_16u_P2P1R) {
    OpxBidir16u rec = {nul(s.u16(0)), 16, nul(s.u16(1)), 16, nul(s.u16(2)), 16, {16, 16}, 10};
    return opxiBidirWeightImplicit_H264_16u_P2P1R(nul(&rec), 20, 44);
}
OPX_NULL_CASE(opxiBidir_H264_16u_P2P1R) {
    OpxBidir16u rec = {nul(s.u16(0)), 16, nul(s.u16(1)), 16, nul(s.u16(2)), 16, {16, 16}, 10};
    return opxiBidir_H264_16u_P2P1R(nul(&rec));
}
OPX_NULL_CALL(opxiWeightedAverage_H264_8u_C1IR, nul(s.u8(0)), nul(s.u8(1)), 16, 3, 4, 2, 1, kRoi16)

}  // namespace opx::test
