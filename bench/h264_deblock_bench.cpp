#include "bench.hpp"
#include "h264/decode/deblock.hpp"
#include "opxvc.h"

namespace {
constexpr int kStep = 64;
alignas(64) Opx8u g_plane[64 * kStep];
Opx8u* const g_mb = g_plane + 16 * kStep + 16;

// Blocks of 4×4 samples at different levels with a little texture: every edge is filtered.
struct Fill {
    Fill() {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < kStep; ++x)
                g_plane[y * kStep + x] =
                    static_cast<Opx8u>(90 + ((x / 4) * 7 + (y / 4) * 5) % 11 * 3 + (x * 3 + y) % 3);
    }
} g_fill;

const Opx8u kAlpha[2] = {40, 45}, kBeta[2] = {12, 14};
const Opx8u kTc0[16] = {1, 2, 1, 2, 2, 3, 2, 1, 1, 1, 2, 2, 3, 2, 1, 2};
const Opx8u kBs123[16] = {1, 2, 3, 2, 1, 3, 2, 1, 2, 2, 3, 1, 1, 2, 3, 3};
const Opx8u kBs4[16] = {4, 4, 4, 4, 1, 3, 2, 1, 2, 2, 3, 1, 1, 2, 3, 3};
}  // namespace

OPX_BENCH_CASES(h264_deblock) {
    using namespace opx::h264;
    opx::bench::add(
        "opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR", "bs123",
        [] {
            opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0, kBs123);
        },
        [] { ref::kDeblock.edges8[kDeblockLumaVer](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123); });
    opx::bench::add(
        "opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR", "bs4",
        [] {
            opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0, kBs4);
        },
        [] { ref::kDeblock.edges8[kDeblockLumaVer](g_mb, kStep, kAlpha, kBeta, kTc0, kBs4); });
    opx::bench::add(
        "opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR", "bs123",
        [] {
            opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0, kBs123);
        },
        [] { ref::kDeblock.edges8[kDeblockLumaHor](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123); });
    opx::bench::add(
        "opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR", "bs4",
        [] {
            opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0, kBs4);
        },
        [] { ref::kDeblock.edges8[kDeblockLumaHor](g_mb, kStep, kAlpha, kBeta, kTc0, kBs4); });
    opx::bench::add(
        "opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR", "bs123",
        [] {
            opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0,
                                                            kBs123);
        },
        [] { ref::kDeblock.edges8[kDeblockChromaVer](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123); });
    opx::bench::add(
        "opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR", "bs123",
        [] {
            opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR(g_mb, kStep, kAlpha, kBeta, kTc0,
                                                            kBs123);
        },
        [] { ref::kDeblock.edges8[kDeblockChromaHor](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123); });
    opx::bench::add(
        "opxiFilterDeblockingChroma_VerEdge_H264_8u_C2IR", "bs123",
        [] {
            opxiFilterDeblockingChroma_VerEdge_H264_8u_C2IR(g_mb, kStep, kAlpha, kBeta, kTc0,
                                                            kBs123);
        },
        [] {
            ref::kDeblock.edges8[kDeblockChromaVerC2](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123);
        });
    opx::bench::add(
        "opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR", "bs123",
        [] {
            opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR(g_mb, kStep, kAlpha, kBeta, kTc0,
                                                            kBs123);
        },
        [] {
            ref::kDeblock.edges8[kDeblockChromaHorC2](g_mb, kStep, kAlpha, kBeta, kTc0, kBs123);
        });
}
