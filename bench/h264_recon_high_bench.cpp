// High-bit-depth (10-bit) and 4:2:2 macroblock reconstruction: the exported functions (AVX2
// tables) against the same drivers with the portable tables.
#include <cstring>

#include "bench.hpp"
#include "h264/decode/recon.hpp"
#include "opxvc.h"

namespace {

using namespace opx::h264;

constexpr int kStep = 64;  // samples
constexpr int kBd = 10;

// The pictures fill their own pages, the coefficients start apart from them (see
// h264_intra_bench.cpp on 4K aliasing).
struct alignas(4096) Buffers {
    Opx16u pic[3][64 * 64];
    Opx8u pic8[2][64 * 64];
    Opx16u gap[1024];
    Opx32s coeffs[17 * 64];
    Opx16s coeffs16[17 * 64];
    Opx32s fresh[17 * 64];
    Opx16s ls64[64];
    Opx16s ls16[16];
};
Buffers g;
Opx16u* const g_blk = g.pic[0] + 16 * kStep + 16;
Opx16u* const g_cb = g.pic[1] + 16 * kStep + 16;
Opx16u* const g_cr = g.pic[2] + 16 * kStep + 16;
Opx8u* const g_cb8 = g.pic8[0] + 16 * kStep + 16;
Opx8u* const g_cr8 = g.pic8[1] + 16 * kStep + 16;
const Opx32s g_modes4x4[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2, 3, 4, 5, 6};
const Opx32s g_modes8x8[4] = {0, 4, 2, 8};

Opx32s* g_ptr;
Opx16s* g_ptr16;
OpxReconstructInfo g_luma4, g_luma8, g_chroma[2];
OpxReconstructInfo8u g_chroma8[2];
const OpxReconstructInfo* g_pp[2] = {&g_chroma[0], &g_chroma[1]};
const OpxReconstructInfo8u* g_pp8[2] = {&g_chroma8[0], &g_chroma8[1]};

void init() {
    for (int p = 0; p < 3; ++p)
        for (int i = 0; i < 64 * 64; ++i)
            g.pic[p][i] = static_cast<Opx16u>((i * 37 + (i >> 6) * 11 + p * 101) & 1023);
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 64 * 64; ++i) g.pic8[p][i] = static_cast<Opx8u>(g.pic[p + 1][i] >> 2);
    for (int i = 0; i < 17 * 64; ++i) {
        g.fresh[i] = (i % 7 == 0) ? (i % 23) - 11 : 0;
        g.coeffs[i] = g.fresh[i];
        g.coeffs16[i] = static_cast<Opx16s>(g.fresh[i]);
    }
    for (int i = 0; i < 64; ++i) g.ls64[i] = static_cast<Opx16s>(16 + (i & 7));
    for (int i = 0; i < 16; ++i) g.ls16[i] = static_cast<Opx16s>(16 + (i & 3));
    g_luma4 = OpxReconstructInfo{&g_ptr, g_blk, kStep, 0x1FFFF, 32, g.ls16, 0, kBd};
    g_luma8 = OpxReconstructInfo{&g_ptr, g_blk, kStep, 15, 32, g.ls64, 0, kBd};
    g_chroma[0] = OpxReconstructInfo{&g_ptr, g_cb, kStep, 0x1FF, 30, g.ls16, 0, kBd};
    g_chroma[1] = OpxReconstructInfo{&g_ptr, g_cr, kStep, 0x1FF, 30, g.ls16, 0, kBd};
    g_chroma8[0] = OpxReconstructInfo8u{&g_ptr16, g_cb8, kStep, 0x1FF, 24, g.ls16, 0, 8};
    g_chroma8[1] = OpxReconstructInfo8u{&g_ptr16, g_cr8, kStep, 0x1FF, 24, g.ls16, 0, 8};
}

// The DC arrays are transformed in place: they are restored before each call so that every
// call sees the same levels (16 values: a few ticks in both columns).
void fresh_dc() {
    std::memcpy(g.coeffs, g.fresh, 16 * sizeof(Opx32s));
}
// The 8x8 blocks are dequantised in place too: restored before each call (256 values), so that
// every call sees levels of a real stream's size rather than values grown by earlier calls.
void fresh8x8() {
    std::memcpy(g.coeffs, g.fresh, 4 * 64 * sizeof(Opx32s));
}
void fresh_dc16() {
    for (int i = 0; i < 16; ++i) g.coeffs16[i] = static_cast<Opx16s>(g.fresh[i]);
}

HighLuma luma(const OpxReconstructInfo& r) {
    return HighLuma{&g_ptr, r.pSrcDstPlane, r.srcDstStep, r.cbp,
                    r.qp,   r.pQuantTable,  false,        r.bitDepth};
}

ChromaPlane16 plane(const OpxReconstructInfo& r, int ls_dc, int blocks) {
    return ChromaPlane16{&g_ptr,
                         r.pSrcDstPlane,
                         r.srcDstStep,
                         (r.cbp & 1) != 0,
                         (r.cbp >> 1) & ((1u << blocks) - 1),
                         r.qp,
                         r.pQuantTable,
                         false,
                         ls_dc};
}

const ReconKernels& kRef8 = ref::kRecon;

}  // namespace

OPX_BENCH_CASES(h264_recon_high) {
    init();
    opx::bench::add(
        "opxiReconstructLumaInter4x4_H264High_32s16u_IP1R", "all",
        [] {
            g_ptr = g.coeffs;
            opxiReconstructLumaInter4x4_H264High_32s16u_IP1R(&g_luma4);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            g_ptr = g.coeffs;
            luma_inter_4x4(kr, luma(g_luma4));
        });
    opx::bench::add(
        "opxiReconstructLumaInter8x8_H264High_32s16u_IP1R", "all",
        [] {
            fresh8x8();
            g_ptr = g.coeffs;
            opxiReconstructLumaInter8x8_H264High_32s16u_IP1R(&g_luma8);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh8x8();
            g_ptr = g.coeffs;
            luma_inter_8x8(kr, luma(g_luma8));
        });
    opx::bench::add(
        "opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R", "all",
        [] {
            g_ptr = g.coeffs;
            opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(&g_luma4, g_modes4x4, 0);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            g_ptr = g.coeffs;
            luma_intra_4x4(kr, luma(g_luma4), g_modes4x4, 16, 1, 0);
        });
    opx::bench::add(
        "opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R", "all",
        [] {
            fresh8x8();
            g_ptr = g.coeffs;
            opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(&g_luma8, g_modes8x8, 0);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh8x8();
            g_ptr = g.coeffs;
            luma_intra_8x8(kr, luma(g_luma8), g_modes8x8, 4, 0);
        });
    opx::bench::add(
        "opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R", "plane",
        [] {
            fresh_dc();
            g_ptr = g.coeffs;
            opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(&g_luma4, 3, 0);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh_dc();
            g_ptr = g.coeffs;
            luma_intra_16x16(kr, luma(g_luma4), kP16Plane);
        });
    opx::bench::add(
        "opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R", "plane",
        [] {
            fresh_dc();
            g_ptr = g.coeffs;
            opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(g_pp, 3, 0);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh_dc();
            g_ptr = g.coeffs;
            const ChromaPlane16 p[2] = {plane(g_chroma[0], 0, 4), plane(g_chroma[1], 0, 4)};
            chroma420(kr, p, kr.intra.chroma[kPcPlane], kBd);
        });
    opx::bench::add(
        "opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R", "all",
        [] {
            fresh_dc();
            g_ptr = g.coeffs;
            opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R(g_pp, 40, 40);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh_dc();
            g_ptr = g.coeffs;
            const ChromaPlane16 p[2] = {plane(g_chroma[0], 40, 8), plane(g_chroma[1], 40, 8)};
            chroma422(kr, p, nullptr, kBd);
        });
    opx::bench::add(
        "opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R", "plane",
        [] {
            fresh_dc();
            g_ptr = g.coeffs;
            opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(g_pp, 3, 0, 40, 40);
        },
        [] {
            const ReconKernelsHigh& kr = ref::kReconHigh;
            fresh_dc();
            g_ptr = g.coeffs;
            const ChromaPlane16 p[2] = {plane(g_chroma[0], 40, 8), plane(g_chroma[1], 40, 8)};
            chroma422(kr, p, kr.intra.chroma422[kPcPlane], kBd);
        });
    opx::bench::add(
        "opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R", "all",
        [] {
            fresh_dc16();
            g_ptr16 = g.coeffs16;
            opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(g_pp8, 40, 40);
        },
        [] {
            fresh_dc16();
            g_ptr16 = g.coeffs16;
            chroma422(kRef8, g_pp8, nullptr, 40, 40);
        });
    opx::bench::add(
        "opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R", "plane",
        [] {
            fresh_dc16();
            g_ptr16 = g.coeffs16;
            opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(g_pp8, 3, 0, 40, 40);
        },
        [] {
            fresh_dc16();
            g_ptr16 = g.coeffs16;
            chroma422(kRef8, g_pp8, ref::kIntra.chroma422[kPcPlane], 40, 40);
        });
}
