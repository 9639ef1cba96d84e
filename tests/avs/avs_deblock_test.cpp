// AVS loop filter: every AVX2 kernel against the portable one on planes that make the filters
// fire, thresholds and bS over their range; the edge order; the values the rules single out.
#include <algorithm>
#include <array>
#include <vector>

#include "avs/avs.hpp"
#include "harness/harness.hpp"

namespace opx::test::avs {
namespace {

using namespace opx::avs;

constexpr const char* kEdgeNames[kNumDeblockEdges] = {"luma ver", "luma hor", "chroma ver",
                                                      "chroma hor"};
constexpr int kSide = 32, kOrigin = 8;  // the macroblock at (8, 8) of a 32×32 area

struct Area {
    std::vector<Opx8u> px = std::vector<Opx8u>(kSide * kSide);
    Opx8u* mb() { return px.data() + kOrigin * kSide + kOrigin; }
    Opx8u& at(int x, int y) { return px[(kOrigin + y) * kSide + kOrigin + x]; }
};

void fill(Area& a, int kind, Rng& rng) {
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            int v;
            switch (kind) {
                case 0:
                    v = 100 + ((x / 8) * 7 + (y / 8) * 11) % 23 +
                        static_cast<int>(rng.uniform(-3, 3));
                    break;
                case 1:
                    v = ((x / 4 + y / 4) & 1) ? 250 : 5;
                    break;
                case 2:
                    v = static_cast<int>(rng.uniform(0, 255));
                    break;
                default:
                    v = 128 + static_cast<int>(rng.uniform(-8, 8)) + ((x / 8) & 1) * 12;
                    break;
            }
            a.px[y * kSide + x] = static_cast<Opx8u>(std::clamp(v, 0, 255));
        }
}

TEST(AvsDeblockKernels, Avx2MatchesPortable) {
    Rng rng;
    for (int e = 0; e < kNumDeblockEdges; ++e)
        for (int iter = 0; iter < 3000; ++iter) {
            Area a;
            fill(a, iter % 4, rng);
            Area b = a;
            Opx8u alpha[2], beta[2], c[2], bs[4];
            for (int i = 0; i < 2; ++i) {
                alpha[i] =
                    static_cast<Opx8u>(iter % 7 == 0 ? rng.uniform(0, 255) : rng.uniform(0, 64));
                beta[i] =
                    static_cast<Opx8u>(iter % 7 == 1 ? rng.uniform(0, 255) : rng.uniform(0, 24));
                c[i] = static_cast<Opx8u>(iter % 7 == 2 ? rng.uniform(0, 255) : rng.uniform(0, 12));
            }
            for (auto& v : bs)
                v = static_cast<Opx8u>(iter % 9 == 0 ? rng.uniform(0, 255) : rng.uniform(0, 2));
            if (iter % 5 == 0) std::fill(std::begin(bs), std::end(bs), Opx8u{2});
            opx::avs::ref::kDeblock.edges[e](a.mb(), kSide, alpha, beta, c, bs);
            opx::avs::avx2::kDeblock.edges[e](b.mb(), kSide, alpha, beta, c, bs);
            ASSERT_EQ(a.px, b.px) << kEdgeNames[e] << " iter " << iter;
        }
}

OpxResult call(int e, Opx8u* p, int step, const Opx8u* alpha, const Opx8u* beta, const Opx8u* c,
               const Opx8u* bs) {
    const OpxDeblock8u d{p, step, alpha, beta, c, bs};
    switch (e) {
        case kLumaVer:
            return opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR(&d);
        case kLumaHor:
            return opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR(&d);
        case kChromaVer:
            return opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR(&d);
        default:
            return opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR(&d);
    }
}

// A line across the first edge: p2 p1 p0 | q0 q1 q2 written at columns −3..2 of every row (vertical
// edges) or rows −3..2 of every column (horizontal edges).
void set_line(Area& a, int e, std::array<int, 6> v) {
    const bool vertical = e == kLumaVer || e == kChromaVer;
    for (int i = 0; i < 16; ++i)
        for (int k = 0; k < 6; ++k) {
            if (vertical)
                a.at(k - 3, i) = static_cast<Opx8u>(v[k]);
            else
                a.at(i, k - 3) = static_cast<Opx8u>(v[k]);
        }
}
std::array<int, 6> get_line(Area& a, int e, int i) {
    const bool vertical = e == kLumaVer || e == kChromaVer;
    std::array<int, 6> v;
    for (int k = 0; k < 6; ++k) v[k] = vertical ? a.at(k - 3, i) : a.at(i, k - 3);
    return v;
}

TEST(AvsDeblock, RuleCases) {
    Rng rng;
    for (int e = 0; e < kNumDeblockEdges; ++e) {
        SCOPED_TRACE(kEdgeNames[e]);
        const bool luma = e < 2;
        const Opx8u alpha[2] = {40, 40}, beta[2] = {10, 10}, c[2] = {3, 3};
        // bS all zero: nothing changes; a flat area is unchanged in every mode.
        for (Opx8u b : {0, 1, 2}) {
            Area a;
            fill(a, 2, rng);
            if (b) std::fill(a.px.begin(), a.px.end(), Opx8u{90});
            const Area before = a;
            const Opx8u bs[4] = {b, b, b, b};
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
            EXPECT_EQ(a.px, before.px) << "bS " << int{b};
        }
        // Strong mode, p side: |p2 − p0| < beta and |p0 − q0| < (alpha >> 2) + 2 = 12.
        {
            Area a;
            set_line(a, e, {60, 62, 64, 70, 72, 74});
            const Opx8u bs[4] = {2, 2, 2, 2};
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
            const auto l = get_line(a, e, 0);
            EXPECT_EQ(l[2], (((62 + 70) >> 1) + 64 + 1) >> 1);
            EXPECT_EQ(l[3], (((72 + 64) >> 1) + 70 + 1) >> 1);
            EXPECT_EQ(l[1], luma ? (((64 + 70) >> 1) + 62 + 1) >> 1 : 62);
            EXPECT_EQ(l[4], luma ? (((64 + 70) >> 1) + 72 + 1) >> 1 : 72);
            EXPECT_EQ(l[0], 60);
            EXPECT_EQ(l[5], 74);
        }
        // Strong mode with |p0 − q0| = (alpha >> 2) + 2: the weak variant on both sides.
        {
            Area a;
            set_line(a, e, {60, 62, 64, 76, 78, 80});
            const Opx8u bs[4] = {2, 2, 2, 2};
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
            const auto l = get_line(a, e, 0);
            EXPECT_EQ(l[2], (((64 + 76) >> 1) + 62 + 1) >> 1);
            EXPECT_EQ(l[3], (((64 + 76) >> 1) + 78 + 1) >> 1);
            EXPECT_EQ(l[1], 62);
            EXPECT_EQ(l[4], 78);
        }
        // bS (2, 1): both halves in normal mode; the bS 2 half exactly like a bS 1 half.
        {
            Area a, b;
            set_line(a, e, {60, 62, 64, 70, 72, 74});
            set_line(b, e, {60, 62, 64, 70, 72, 74});
            const Opx8u mixed[4] = {2, 1, 1, 2}, ones[4] = {1, 1, 1, 1};  // edge 0: (2, 1)
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, mixed), opxOk);
            ASSERT_EQ(call(e, b.mb(), kSide, alpha, beta, c, ones), opxOk);
            const int lines = luma ? 16 : 8;
            for (int i = 0; i < lines; ++i) EXPECT_EQ(get_line(a, e, i), get_line(b, e, i)) << i;
            // Normal mode: d = clamp((3·6 + (62 − 72) + 4) >> 3, −3, 3) = 1.
            const auto l = get_line(a, e, 0);
            EXPECT_EQ(l[2], 65);
            EXPECT_EQ(l[3], 69);
            if (luma) {
                // p1: d1 = clamp((3·(65 − 62) + (60 − 69) + 4) >> 3) = 0; q1: d2 = (3·(72 − 69) +
                // (65 − 74) + 4) >> 3 = 0.
                EXPECT_EQ(l[1], 62);
                EXPECT_EQ(l[4], 72);
            }
        }
        // Normal mode with C = 0 changes nothing.
        {
            Area a;
            set_line(a, e, {50, 55, 60, 70, 75, 80});
            const Area before = a;
            const Opx8u zero[2] = {0, 0}, bs[4] = {1, 1, 1, 1};
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, zero, bs), opxOk);
            EXPECT_EQ(a.px, before.px);
        }
    }
}

TEST(AvsDeblock, LumaP1UsesNewP0AndNeedsP2WithinBeta) {
    for (int e : {kLumaVer, kLumaHor}) {
        const Opx8u alpha[2] = {60, 60}, beta[2] = {20, 20}, c[2] = {9, 9}, bs[4] = {1, 1, 1, 1};
        Area a;
        set_line(a, e, {40, 50, 52, 80, 70, 70});
        ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
        auto l = get_line(a, e, 0);
        const int d = std::clamp((3 * (80 - 52) + (50 - 70) + 4) >> 3, -9, 9);
        const int p0 = 52 + d, q0 = 80 - d;
        EXPECT_EQ(l[2], p0);
        EXPECT_EQ(l[3], q0);
        EXPECT_EQ(l[1], 50 + std::clamp((3 * (p0 - 50) + (40 - q0) + 4) >> 3, -9, 9));
        EXPECT_EQ(l[4], 70 - std::clamp((3 * (70 - q0) + (p0 - 70) + 4) >> 3, -9, 9));
        // p2 − p0 = beta: p1 is not changed.
        set_line(a, e, {32, 50, 52, 80, 70, 70});
        ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
        l = get_line(a, e, 0);
        EXPECT_EQ(l[1], 50);
    }
}

// The internal luma edge reads what the macroblock edge wrote, and bS entries follow the q-side
// blocks: vertical [e], [e + 2]; horizontal [2e], [2e + 1]; chroma vertical [0], [2].
TEST(AvsDeblock, SegmentsUseTheQSideBlocksBs) {
    Rng rng;
    for (int e = 0; e < kNumDeblockEdges; ++e) {
        for (int which = 0; which < 4; ++which) {
            Area a;
            fill(a, 0, rng);
            const Area before = a;
            Opx8u bs[4] = {0, 0, 0, 0};
            bs[which] = 1;
            const Opx8u alpha[2] = {255, 255}, beta[2] = {255, 255}, c[2] = {50, 50};
            ASSERT_EQ(call(e, a.mb(), kSide, alpha, beta, c, bs), opxOk);
            // Lines that may change: which edge, which half.
            const bool vertical = e == kLumaVer || e == kChromaVer;
            const int n = e < 2 ? 16 : 8;
            int edge = -1, half = -1;
            if (e == kLumaVer) edge = which & 1, half = which >> 1;
            if (e == kLumaHor) edge = which >> 1, half = which & 1;
            if (e == kChromaVer && (which == 0 || which == 2)) edge = 0, half = which >> 1;
            if (e == kChromaHor && which < 2) edge = 0, half = which;
            for (int y = -4; y < 16; ++y)
                for (int x = -4; x < 16; ++x) {
                    const int line = vertical ? y : x, across = vertical ? x : y;
                    const bool may = edge >= 0 && line >= 0 && line < n &&
                                     (line >= n / 2) == (half == 1) && across >= 8 * edge - 3 &&
                                     across < 8 * edge + 3;
                    if (!may) {
                        ASSERT_EQ(a.px[(kOrigin + y) * kSide + kOrigin + x],
                                  before.px[(kOrigin + y) * kSide + kOrigin + x])
                            << kEdgeNames[e] << " bS[" << which << "] at " << x << "," << y;
                    }
                }
            if (edge >= 0) {
                EXPECT_NE(a.px, before.px) << kEdgeNames[e] << " bS[" << which << "]";
            }
        }
    }
}

}  // namespace

#define OPX_AVS_DEBLOCK_NULL_CASE(fn)                                      \
    OPX_NULL_CASE(fn) {                                                    \
        const OpxDeblock8u d = {nul(s.u8(0)), 64,           nul(s.u8(1)),  \
                                nul(s.u8(2)), nul(s.u8(3)), nul(s.u8(4))}; \
        return fn(nul(&d));                                                \
    }
OPX_AVS_DEBLOCK_NULL_CASE(opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR)
OPX_AVS_DEBLOCK_NULL_CASE(opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR)
OPX_AVS_DEBLOCK_NULL_CASE(opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR)
OPX_AVS_DEBLOCK_NULL_CASE(opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR)

}  // namespace opx::test::avs
