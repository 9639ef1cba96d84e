// AVS loop filter: every edge through its exported function against the portable kernel on
// planes that make the filters fire, thresholds and bS over their range; every edge, mode and bS
// pinned.
#include <algorithm>
#include <array>
#include <vector>

#include "avs/avs.hpp"
#include "harness/harness.hpp"
#include "harness/pinned.hpp"

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
            const int v = kind == 0
                              ? 100 + ((x / 8) * 7 + (y / 8) * 11) % 23 + rng.uniform_int(-3, 3)
                          : kind == 1 ? (((x / 4 + y / 4) & 1) ? 250 : 5)
                          : kind == 2 ? rng.uniform_int(0, 255)
                                      : 128 + rng.uniform_int(-8, 8) + ((x / 8) & 1) * 12;
            a.px[y * kSide + x] = static_cast<Opx8u>(std::clamp(v, 0, 255));
        }
}

// Every edge through its exported function (the AVX2 kernels, and the portable ones in the suite's
// second run) against the portable kernel, on areas that make each mode fire, with thresholds,
// clipping values and a bS per segment drawn over their range and beyond; the results pinned
// (from the library whose earlier pin held, that pin checked against the hand-computed cases of
// the standard's filter: strong mode and its (alpha >> 2) + 2 limit on |p0 - q0|, normal mode with
// p1 from the new p0, bS 2 next to bS 1, C = 0, bS from the q-side blocks and the internal edge
// reading what the macroblock edge wrote).
TEST(AvsDeblock, EveryEdgeModeAndBsAgainstThePortableKernelPinned) {
    using Exported = OpxResult (*)(const OpxDeblock8u*);
    const Exported exported[kNumDeblockEdges] = {
        opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR, opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR,
        opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR,
        opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR};
    Rng rng(0x41564442ull);
    Digest digest;
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
            const OpxDeblock8u d{b.mb(), kSide, alpha, beta, c, bs};
            ASSERT_EQ(exported[e](&d), opxOk);
            ASSERT_EQ(a.px, b.px) << kEdgeNames[e] << " iter " << iter;
            digest.add(b.px.data(), b.px.size());
        }
    EXPECT_EQ(digest.value(), 0x2caa053439c4e5bfull) << std::hex << digest.value();
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
