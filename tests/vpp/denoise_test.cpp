// Denoisers: the smoothing and adaptive filters through the exported functions pinned (checked
// against per-sample models when pinned; on the AVX2 kernels, and on the portable ones in the
// suite's second run), over
// picture sizes, regions touching each picture edge, thresholds, windows and modes; the mended
// faults (region checks, whole sums, sizes of the state records); the mosquito filter's
// properties; checks and results.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "opxcore.h"
#include "vpp/denoise.hpp"
#include "harness/pinned.hpp"
#include "vpp/vpp_test_util.hpp"

namespace opx::test::vpp {
namespace {

constexpr int kUntouched = 0xA5;  // the harness canary

// Regions of a W × H picture: the whole, and ones touching or missing each edge.
std::vector<OpxRect> regions_of(int W, int H) {
    std::vector<OpxRect> out = {{0, 0, W, H}};
    if (H >= 4) out.push_back({0, 1, W, H - 1});
    if (W >= 3 && H >= 5) out.push_back({1, 1, W - 2, H - 2});
    if (W >= 2) out.push_back({W - 1, 0, 1, 3});
    if (W >= 6 && H >= 6) out.push_back({W / 3, H - 3, W - W / 3, 3});
    return out;
}

TEST(VppSmooth, EveryPictureRegionAndThreshold) {
    Rng rng(0x534D4F4Full);
    Digest digest;
    const OpxRoiSize sizes[] = {{1, 3}, {2, 5}, {3, 3}, {4, 4}, {17, 9}, {33, 12}, {50, 8}};
    for (OpxRoiSize size : sizes)
        for (const OpxRect& r : regions_of(size.width, size.height))
            for (int t : {INT_MIN, 0, 1, 3, 12, 28, 29, 255, 256})
                for (int kind = 0; kind < 2; ++kind) {
                    SCOPED_TRACE(testing::Message()
                                 << size.width << "x" << size.height << " roi " << r.x << "," << r.y
                                 << " " << r.width << "x" << r.height << " t " << t << " kind " << kind);
                    Plane<Opx8u> src(size.width, size.height, 8, 3);
                    src.fill_with_margins(Pattern::kRandom, rng, 0, 255);
                    // Kind 1: a few smooth levels, so that some map entries are 0.
                    if (kind == 1)
                        for (int y = 0; y < size.height; ++y)
                            for (int x = 0; x < size.width; ++x)
                                src.at(x, y) = static_cast<Opx8u>(100 + (x / 5 + y / 4) * 20 +
                                                                  rng.uniform(0, 2));
                    const std::size_t work_bytes = 2 * std::size_t(r.width + 3) * (r.height + 3);
                    GuardedBuffer work(work_bytes);
                    Plane<Opx8u> dst(size.width, size.height, 16, 6);
                    ASSERT_EQ(opxiFilterDenoiseSmooth_8u_C1R(src.data(), src.step(), dst.data(),
                                                             dst.step(), size, &r, t, work.begin()),
                              opxOk);
                    ASSERT_TRUE(dst.canaries_intact());
                    digest.add(dst.data(), dst.step(), size.width, size.height);
                }
    EXPECT_EQ(digest.value(), 0xe5fa48322af54cull);
}

// ---- adaptive ----------------------------------------------------------------------------------

struct AdaptiveState {
    OpxDenoiseAdaptiveState* s = nullptr;
    AdaptiveState(OpxRoiSize roi, OpxRoiSize mask) {
        EXPECT_EQ(opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&s, roi, mask), opxOk);
    }
    ~AdaptiveState() {
        if (s) opxiFilterDenoiseAdaptiveFree_8u_C1(s);
    }
};

TEST(VppAdaptive, EveryPictureWindowThresholdAndMode) {
    Rng rng(0x41444150ull);
    Digest digest;
    const OpxRoiSize sizes[] = {{3, 3}, {5, 4}, {17, 9}, {40, 7}, {70, 10}, {101, 12}};
    const OpxRoiSize masks[] = {{1, 1}, {2, 2}, {1, 3}, {3, 1}, {5, 5}};
    const int thresholds[] = {-1, 0, 1, 6, 20, 255, 256};
    int turn = 0;
    for (OpxRoiSize size : sizes)
        for (OpxRoiSize mask : masks)
            for (const OpxRect& r : regions_of(size.width, size.height)) {
                if (r.width < mask.width || r.height < mask.height) continue;
                Plane<Opx8u> pics[3] = {Plane<Opx8u>(size.width, size.height, 8),
                                        Plane<Opx8u>(size.width, size.height, 8),
                                        Plane<Opx8u>(size.width, size.height, 8)};
                for (auto& p : pics) p.fill_with_margins(Pattern::kRandom, rng, 0, 255);
                // Mostly near one level so that the thresholds select some samples.
                for (auto& p : pics)
                    for (int y = 0; y < size.height; ++y)
                        for (int x = 0; x < size.width; ++x)
                            if (rng.uniform(0, 7)) p.at(x, y) = static_cast<Opx8u>(rng.uniform(110, 130));
                const Opx8u* src[3] = {pics[0].data(), pics[1].data(), pics[2].data()};
                AdaptiveState state({r.width, r.height}, mask);
                for (int mode = 0; mode < 4; ++mode)
                    for (int n = 0; n < 2; ++n) {
                        const int t = thresholds[turn++ % 7];
                        SCOPED_TRACE(testing::Message()
                                     << size.width << "x" << size.height << " roi " << r.x << ","
                                     << r.y << " " << r.width << "x" << r.height << " mask "
                                     << mask.width << "x" << mask.height << " t " << t << " mode " << mode);
                        Plane<Opx8u> dst(size.width, size.height, 16, 9);
                        ASSERT_EQ(opxiFilterDenoiseAdaptive_8u_C1R(src, pics[0].step(), dst.data(),
                                                                   dst.step(), size, &r, mask, t,
                                                                   mode, state.s),
                                  opxOk);
                        ASSERT_TRUE(dst.canaries_intact());
                        digest.add(dst.data(), dst.step(), size.width, size.height);
                    }
            }
    EXPECT_EQ(digest.value(), 0x64c2b5de64c10616ull);
}

// Bright content with an 11×11 window or larger: the whole sum is used, so 250s stay near 250
// (the rounded table entries alone move them) instead of wrapping to dark values.
TEST(VppAdaptive, LargeWindowsOfBrightContentStayBright) {
    constexpr int kW = 48, kH = 30;
    for (OpxRoiSize mask : {OpxRoiSize{5, 5}, OpxRoiSize{8, 8}, OpxRoiSize{12, 9}}) {
        Plane<Opx8u> pics[3] = {Plane<Opx8u>(kW, kH), Plane<Opx8u>(kW, kH), Plane<Opx8u>(kW, kH)};
        Rng rng;
        for (auto& p : pics) p.fill(Pattern::kRandom, rng, 245, 255);
        const Opx8u* src[3] = {pics[0].data(), pics[1].data(), pics[2].data()};
        AdaptiveState state({kW, kH}, mask);
        const OpxRect all{0, 0, kW, kH};
        for (int mode = 0; mode < 4; ++mode) {
            Plane<Opx8u> dst(kW, kH);
            ASSERT_EQ(opxiFilterDenoiseAdaptive_8u_C1R(src, pics[0].step(), dst.data(), dst.step(),
                                                       {kW, kH}, &all, mask, 10, mode, state.s),
                      opxOk);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) ASSERT_GE(dst.at(x, y), 240) << x << "," << y << " mode " << mode;
        }
    }
}

// ---- mosquito ----------------------------------------------------------------------------------

struct MosquitoState {
    OpxDenoiseMosquitoState* s = nullptr;
    explicit MosquitoState(OpxRoiSize roi) {
        EXPECT_EQ(opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&s, roi), opxOk);
    }
    ~MosquitoState() {
        if (s) opxiFilterDenoiseMosquitoFree_8u_C1(s);
    }
};

// Runs the filter on `cur` (previous picture `prev`, or cur itself) over the region; returns
// the destination (canaries outside the region checked).
Plane<Opx8u> mosquito(const Plane<Opx8u>& cur, const OpxRect& r, const Plane<Opx8u>* prev = nullptr) {
    MosquitoState state({r.width, r.height});
    Plane<Opx8u> dst(cur.width(), cur.height(), 16);
    const Opx8u* src[2] = {cur.data(), (prev ? prev : &cur)->data()};
    EXPECT_EQ(opxiFilterDenoiseMosquito_8u_C1R(src, cur.step(), dst.data(), dst.step(),
                                               {cur.width(), cur.height()}, &r, state.s),
              opxOk);
    for (int y = 0; y < cur.height(); ++y)
        for (int x = 0; x < cur.width(); ++x) {
            const bool in = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            if (!in) {
                EXPECT_EQ(dst.row(y)[x], kUntouched) << "written outside the region at " << x << "," << y;
            }
        }
    EXPECT_TRUE(dst.canaries_intact());
    return dst;
}

// A vertical step from 40 to 200 at column 13 of a 32 × 24 picture; with `ring` the dark side
// of the step's 8×8 blocks (columns 8..10, two or more columns away from the step) carries
// ringing of ±ring in a checker pattern.
Plane<Opx8u> step_picture(int ring) {
    Plane<Opx8u> p(32, 24, 8);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
            int v = x < 13 ? 40 : 200;
            if (x >= 8 && x < 11) v += (x + y) & 1 ? ring : -ring;
            p.at(x, y) = static_cast<Opx8u>(v);
        }
    return p;
}

TEST(VppMosquito, FlatPicturesBlocksWithoutEdgesAndStepEdgesAreUnchanged) {
    Rng rng;
    const OpxRect whole{0, 0, 32, 24}, part{3, 2, 26, 19};
    Plane<Opx8u> flat(32, 24, 8);
    flat.fill(Pattern::kMax, rng, 0, 77);
    Plane<Opx8u> texture(32, 24, 8);  // activity below 32 in every block
    texture.fill(Pattern::kRandom, rng, 100, 130);
    Plane<Opx8u> gradient(32, 24, 8);  // activity above 32 but no edge samples
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) gradient.at(x, y) = static_cast<Opx8u>(3 * x + 2 * y);
    const Plane<Opx8u> step = step_picture(0);
    const Plane<Opx8u>* const pictures[] = {&flat, &texture, &gradient, &step};
    for (const Plane<Opx8u>* p : pictures)
        for (const OpxRect& r : {whole, part}) {
            Plane<Opx8u> out = mosquito(*p, r);
            for (int y = r.y; y < r.y + r.height; ++y)
                for (int x = r.x; x < r.x + r.width; ++x) ASSERT_EQ(out.row(y)[x], p->row(y)[x]) << x << "," << y;
        }
}

TEST(VppMosquito, RingingNextToAnEdgeIsReducedAndTheEdgeKept) {
    const Plane<Opx8u> clean = step_picture(0);
    for (int ring : {2, 3, 4}) {  // neighbours differ by 2·ring, below the threshold 160 / 16
        const Plane<Opx8u> noisy = step_picture(ring);
        const OpxRect all{0, 0, 32, 24};
        const Plane<Opx8u> out = mosquito(noisy, all);
        long before = 0, after = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                before += std::abs(noisy.row(y)[x] - clean.row(y)[x]);
                after += std::abs(out.row(y)[x] - clean.row(y)[x]);
                if (x >= 12) {
                    ASSERT_EQ(out.row(y)[x], noisy.row(y)[x]) << "edge changed at " << x << "," << y;
                }
            }
        EXPECT_LT(after * 2, before) << "ringing ±" << ring << ": " << before << " → " << after;
    }
}

// The temporal guard: where the previous picture differs by more than the limits (new content)
// nothing changes.
TEST(VppMosquito, NewContentAgainstThePreviousPictureIsKept) {
    const Plane<Opx8u> noisy = step_picture(5);
    Plane<Opx8u> other(32, 24, 8);
    Rng rng;
    other.fill(Pattern::kMax, rng, 0, 255);
    const Plane<Opx8u> out = mosquito(noisy, {0, 0, 32, 24}, &other);
    EXPECT_TRUE(planes_equal(noisy, out));
}

TEST(VppMosquito, StateSizeAndLayout) {
    // A 16 × 16 region: 192 + 576 + 495 = 1263 bytes.
    MosquitoState st({16, 16});
    ASSERT_NE(st.s, nullptr);
    auto* base = static_cast<unsigned char*>(st.s->allocation);
    auto* rec = reinterpret_cast<unsigned char*>(st.s);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(rec) % 16, 0u);
    EXPECT_LT(rec - base, 16);
    EXPECT_EQ(st.s->samples + 576 - base + (15 - (rec - base)), 1263);
    EXPECT_EQ(st.s->width, 16);
    EXPECT_EQ(st.s->height, 16);
    const Opx32s tune[13] = {8, 8, 4, 12, 16, 4, 32, 1, 32, 20, 2, 16, 6};
    EXPECT_EQ(std::memcmp(st.s->tune, tune, sizeof tune), 0);
}

// Argument checks of the picture filters, one table: each row one bad argument (or two, the
// first checked winning), the code it gives, and nothing written.
TEST(VppChecks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    AdaptiveState adaptive({8, 4}, {1, 1});
    MosquitoState mosquito({10, 10}), broken({10, 10});
    broken.s->width = 0;
    OpxDenoiseAdaptiveState* as = adaptive.s;
    OpxDenoiseMosquitoState* ms = mosquito.s;
    OpxDenoiseMosquitoState* bs = broken.s;
    auto* kept = reinterpret_cast<OpxDenoiseAdaptiveState*>(&adaptive);  // any non-null value
    // Pictures of 16 x 8 (smooth, adaptive) and 32 x 24 (mosquito) from Scratch slot 0.
    auto smooth = [](Scratch& s, OpxRoiSize size, OpxRect r) {
        return opxiFilterDenoiseSmooth_8u_C1R(s.u8(0), 16, s.u8(1), 16, size, &r, 5, s.u8(2));
    };
    auto adapt = [as](Scratch& s, OpxRoiSize size, OpxRect r, OpxRoiSize mask, int mode) {
        const Opx8u* src[3] = {s.u8(0), s.u8(0), s.u8(0)};
        return opxiFilterDenoiseAdaptive_8u_C1R(src, 16, s.u8(1), 16, size, &r, mask, 5, mode, as);
    };
    auto mosq = [](Scratch& s, OpxDenoiseMosquitoState* st, OpxRoiSize size, OpxRect r) {
        const Opx8u* src[2] = {s.u8(0), s.u8(0)};
        return opxiFilterDenoiseMosquito_8u_C1R(src, 32, s.u8(1), 32, size, &r, st);
    };
    std::vector<ArgCase> rows = {
        // Deinterlacing: null pointers before the size; sizes below each minimum.
        OPX_ARG(opxErrSize, opxiDeinterlaceEdgeDetect_8u_C1R(s.u8(0) + 16, 8, s.u8(1), 8, {4, 0}, 0, 1)),
        OPX_ARG(opxErrSize, opxiDeinterlaceEdgeDetect_8u_C1R(s.u8(0) + 16, 8, s.u8(1), 8, {0, 2}, 0, 1)),
        OPX_ARG(opxErrSize, opxiDeinterlaceMedianThreshold_8u_C1R(s.u8(0) + 16, 8, s.u8(1), 8, {4, 1}, 5, 1, 1)),
        OPX_ARG(opxErrSize, opxiDeinterlaceMedianThreshold_8u_C1R(s.u8(0) + 16, 8, s.u8(1), 8, {-1, 4}, 5, 1, 1)),
        OPX_ARG(opxErrSize, opxiDeinterlaceFilterTriangle_8u_C1R(s.u8(0) + 16, 8, s.u8(1) + 8, 8, {4, 2}, 5, 1)),
        OPX_ARG(opxErrSize, opxiDeinterlaceFilterTriangle_8u_C1R(s.u8(0) + 16, 8, s.u8(1) + 8, 8, {0, 5}, 5, 4)),
        OPX_ARG(opxErrNullPtr, opxiDeinterlaceFilterTriangle_8u_C1R(nullptr, 8, s.u8(1), 8, {0, 0}, 5, 1)),
        OPX_ARG(opxErrNullPtr, opxiDeinterlaceEdgeDetect_8u_C1R(s.u8(0), 8, nullptr, 8, {0, 0}, 0, 0)),

        // Smoothing: null before size; the region's height before its position.
        OPX_ARG(opxErrNullPtr, opxiFilterDenoiseSmooth_8u_C1R(s.u8(0), 16, s.u8(1), 16, {0, 0}, nullptr, 5, s.u8(2))),
        OPX_ARG(opxErrSize, smooth(s, {0, 8}, {0, 0, 16, 8})),
        OPX_ARG(opxErrSize, smooth(s, {16, -1}, {0, 0, 16, 8})),
        OPX_ARG(opxErrRegionTooSmall, smooth(s, {16, 8}, {0, 0, 16, 2})),
        OPX_ARG(opxErrRegionTooSmall, smooth(s, {16, 8}, {-1, 0, 4, 2})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {-1, 0, 4, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {0, -2, 4, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {2, 2, 0, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {2, 2, -3, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {13, 0, 4, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {0, 5, 4, 4})),
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {INT_MAX - 1, 0, 4, 4})),  // x + width wraps
        OPX_ARG(opxErrSize, smooth(s, {16, 8}, {0, INT_MAX, 4, INT_MAX})),
        OPX_ARG(opxOk, smooth(s, {16, 8}, {3, 5, 13, 3})),

        // Adaptive: picture, region, the state's region and window; errors before the warning.
        OPX_ARG(opxOk, adapt(s, {16, 8}, {1, 1, 8, 4}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {0, 8}, {1, 1, 8, 4}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {-1, 1, 8, 4}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {9, 1, 8, 4}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {INT_MAX, 1, 8, 4}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {1, 1, 8, 3}, {1, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {1, 1, 8, 4}, {2, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {1, 1, 8, 4}, {0, 1}, 0)),
        OPX_ARG(opxErrSize, adapt(s, {16, 8}, {1, 1, 8, 4}, {2, 1}, 7)),
        OPX_ARG(opxErrSize, opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(s.put(3, kept), {0, 5}, {1, 1})),
        OPX_ARG(opxErrSize, opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(s.put(3, kept), {5, 5}, {0, 1})),
        OPX_ARG(opxErrSize, opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(s.put(3, kept), {5, 5}, {6, 1})),
        OPX_ARG(opxErrSize, opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(s.put(3, kept), {5, 5}, {1, 6})),

        // Mosquito: picture, region, the state's size, then a whole block inside the region.
        OPX_ARG(opxErrSize, mosq(s, ms, {0, 24}, {0, 0, 10, 10})),
        OPX_ARG(opxErrSize, mosq(s, ms, {32, 24}, {-8, 0, 10, 10})),
        OPX_ARG(opxErrSize, mosq(s, ms, {32, 24}, {0, -1, 10, 10})),
        OPX_ARG(opxErrSize, mosq(s, ms, {32, 24}, {23, 0, 10, 10})),
        OPX_ARG(opxErrSize, mosq(s, ms, {32, 24}, {INT_MAX - 2, 0, 10, 10})),
        OPX_ARG(opxErrSize, mosq(s, ms, {32, 24}, {0, 0, 10, 9})),
        OPX_ARG(opxErrRegionTooSmall, mosq(s, ms, {32, 24}, {3, 0, 10, 10})),  // no whole block
        OPX_ARG(opxErrRegionTooSmall, mosq(s, ms, {32, 24}, {0, 9, 10, 10})),
        OPX_ARG(opxOk, mosq(s, ms, {32, 24}, {6, 6, 10, 10})),  // block (8, 8) inside
        OPX_ARG(opxErrSize, mosq(s, bs, {32, 24}, {0, 0, 10, 10})),  // a damaged state
        OPX_ARG(opxErrSize, opxiFilterDenoiseMosquitoInitAlloc_8u_C1(s.put(3, static_cast<OpxDenoiseMosquitoState*>(nullptr)), {0, 8})),
        OPX_ARG(opxErrSize, opxiFilterDenoiseMosquitoInitAlloc_8u_C1(s.put(3, static_cast<OpxDenoiseMosquitoState*>(nullptr)), {8, -8})),
    };
    for (int mode : {-1, 4, INT_MAX})
        rows.push_back(OPX_ARG(opxWrnNothingDone, adapt(s, {16, 8}, {1, 1, 8, 4}, {1, 1}, mode)));
    // Sizes whose state would not fit the allocator's 32-bit size (or would wrap it).
    for (OpxRoiSize mask : {OpxRoiSize{20000, 1}, {1, 1 << 16}, {INT_MAX, INT_MAX}})
        rows.push_back(OPX_ARG(opxErrMemAlloc, opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(s.put(3, kept), {INT_MAX, INT_MAX}, mask)));
    for (OpxRoiSize big : {OpxRoiSize{1 << 16, 1 << 16}, {INT_MAX, INT_MAX}, {INT_MAX, 1}})
        rows.push_back(OPX_ARG(opxErrMemAlloc, opxiFilterDenoiseMosquitoInitAlloc_8u_C1(s.put(3, static_cast<OpxDenoiseMosquitoState*>(nullptr)), big)));
    expect_arg_cases(rows);
    broken.s->width = 10;
}

// ---- null pointers -------------------------------------------------------------------------------

OPX_NULL_CASE(opxiFilterDenoiseSmooth_8u_C1R) {
    const Opx8u* src = nul(s.u8(0) + 256);
    Opx8u* dst = nul(s.u8(1) + 256);
    static const OpxRect r{0, 0, 16, 8};
    const OpxRect* roi = nul(&r);
    Opx8u* work = nul(s.u8(2));
    return opxiFilterDenoiseSmooth_8u_C1R(src, 64, dst, 64, {16, 8}, roi, 5, work);
}

OPX_NULL_CASE(opxiFilterDenoiseAdaptiveInitAlloc_8u_C1) {
    OpxDenoiseAdaptiveState* st = nullptr;
    const OpxResult r = opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(nul(&st), {16, 8}, {1, 1});
    if (st) opxiFilterDenoiseAdaptiveFree_8u_C1(st);
    return r;
}

OPX_NULL_CASE(opxiFilterDenoiseAdaptiveFree_8u_C1) {
    OpxDenoiseAdaptiveState* st = nullptr;
    opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&st, {16, 8}, {1, 1});
    OpxDenoiseAdaptiveState* p = nul(st);
    const OpxResult r = opxiFilterDenoiseAdaptiveFree_8u_C1(p);
    if (!p) opxiFilterDenoiseAdaptiveFree_8u_C1(st);
    return r;
}

OPX_NULL_CASE(opxiFilterDenoiseAdaptive_8u_C1R) {
    OpxDenoiseAdaptiveState* st = nullptr;
    opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&st, {16, 8}, {1, 1});
    const Opx8u* pics[3];
    const Opx8u* const* pp = nul(pics);
    for (int i = 0; i < 3; ++i) pics[i] = nul(s.u8(i) + 256);
    Opx8u* dst = nul(s.u8(3) + 256);
    static const OpxRect r{0, 0, 16, 8};
    const OpxRect* roi = nul(&r);
    const OpxResult res =
        opxiFilterDenoiseAdaptive_8u_C1R(pp, 64, dst, 64, {16, 8}, roi, {1, 1}, 5, 3, nul(st));
    opxiFilterDenoiseAdaptiveFree_8u_C1(st);
    return res;
}

OPX_NULL_CASE(opxiFilterDenoiseMosquitoInitAlloc_8u_C1) {
    OpxDenoiseMosquitoState* st = nullptr;
    const OpxResult r = opxiFilterDenoiseMosquitoInitAlloc_8u_C1(nul(&st), {16, 8});
    if (st) opxiFilterDenoiseMosquitoFree_8u_C1(st);
    return r;
}

// The state and, behind it, the memory it keeps for Free.
OPX_NULL_CASE(opxiFilterDenoiseMosquitoFree_8u_C1) {
    OpxDenoiseMosquitoState* st = nullptr;
    opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&st, {16, 8});
    void* const mem = st->allocation;
    OpxDenoiseMosquitoState* p = nul(st);
    if (p) p->allocation = nul(mem);
    const OpxResult r = opxiFilterDenoiseMosquitoFree_8u_C1(p);
    if (r != opxOk) {
        st->allocation = mem;
        opxiFilterDenoiseMosquitoFree_8u_C1(st);
    }
    return r;
}

// The pictures, the destination, the region, the state and the state's sample memory.
OPX_NULL_CASE(opxiFilterDenoiseMosquito_8u_C1R) {
    OpxDenoiseMosquitoState* st = nullptr;
    opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&st, {16, 8});
    const Opx8u* pics[2];
    const Opx8u* const* pp = nul(pics);
    for (int i = 0; i < 2; ++i) pics[i] = nul(s.u8(i) + 256);
    Opx8u* dst = nul(s.u8(3) + 256);
    static const OpxRect r{0, 0, 16, 8};
    const OpxRect* roi = nul(&r);
    OpxDenoiseMosquitoState* p = nul(st);
    Opx8u* const samples = st->samples;
    st->samples = nul(samples);
    const OpxResult res = opxiFilterDenoiseMosquito_8u_C1R(pp, 64, dst, 64, {16, 8}, roi, p);
    st->samples = samples;
    opxiFilterDenoiseMosquitoFree_8u_C1(st);
    return res;
}

}  // namespace
}  // namespace opx::test::vpp
