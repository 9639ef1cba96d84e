#include "bench.hpp"
#include "h264/decode/intra.hpp"
#include "h264/decode/recon.hpp"
#include "opxvc.h"

namespace {

constexpr int kStep = 64;
// The picture fills one page and the coefficients start half-way into the next, so that no
// coefficient load shares its low 12 address bits with a sample row the calls store (4K aliasing
// would hold those loads back: a cost of the layout, not of the functions).
struct alignas(4096) Buffers {
    Opx8u pic[64 * 64];
    Opx8u gap[2048];
    Opx16s coeffs[16 * 64];
    Opx16s ls64[64];
};
Buffers g_buf;
Opx8u* const g_pic = g_buf.pic;
Opx16s* const g_coeffs = g_buf.coeffs;
Opx8u* const g_blk = g_pic + 16 * kStep + 16;
const Opx32s g_modes8x8[4] = {0, 4, 2, 8};
Opx16s* const g_ls64 = g_buf.ls64;

void init() {
    for (int i = 0; i < 64 * 64; ++i) g_pic[i] = static_cast<Opx8u>((i * 37 + (i >> 6) * 11) & 255);
    for (int i = 0; i < 16 * 64; ++i)
        g_coeffs[i] = static_cast<Opx16s>((i % 7 == 0) ? (i % 23) - 11 : 0);
    for (int i = 0; i < 64; ++i) g_ls64[i] = static_cast<Opx16s>(16 + (i & 7));
}

using namespace opx::h264;
const ReconKernels& kRef = ref::kRecon;

}  // namespace

OPX_BENCH_CASES(h264_intra) {
    init();
    opx::bench::add(
        "opxiPredictIntra_16x16_H264_8u_C1IR", "plane",
        [] { opxiPredictIntra_16x16_H264_8u_C1IR(g_blk, kStep, 3, 35); },
        [] { ref::kIntra.pred16x16[kP16Plane](g_blk, kStep); });
    opx::bench::add(
        "opxiPredictIntra_16x16_H264_8u_C1IR", "dc",
        [] { opxiPredictIntra_16x16_H264_8u_C1IR(g_blk, kStep, 2, 35); },
        [] { ref::kIntra.pred16x16[kP16Dc](g_blk, kStep); });
    static const char* kLabels[9] = {"mode0", "mode1", "mode2", "mode3", "mode4",
                                     "mode5", "mode6", "mode7", "mode8"};
    static int mode_of[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    for (int m = 0; m < 9; ++m) {
        const int* mp = &mode_of[m];
        opx::bench::add(
            "opxiPredictIntra_4x4_H264_8u_C1IR", kLabels[m],
            [mp] { opxiPredictIntra_4x4_H264_8u_C1IR(g_blk, kStep, *mp, 99); },
            [mp] { predict_4x4(ref::kIntra, g_blk, kStep, *mp, 99); });
    }
    opx::bench::add(
        "opxiPredictIntraChroma8x8_H264_8u_C1IR", "plane",
        [] { opxiPredictIntraChroma8x8_H264_8u_C1IR(g_blk, kStep, 3, 35); },
        [] { ref::kIntra.chroma[kPcPlane](g_blk, kStep); });
    opx::bench::add(
        "opxiPredictIntraChroma8x8_H264_8u_C1IR", "dc",
        [] { opxiPredictIntraChroma8x8_H264_8u_C1IR(g_blk, kStep, 0, 35); },
        [] { ref::kIntra.chroma_dc[15](g_blk, kStep); });
    opx::bench::add(
        "opxiReconstructLumaInterMB_H264_16s8u_C1R", "all",
        [] {
            Opx16s* p = g_coeffs;
            opxiReconstructLumaInterMB_H264_16s8u_C1R(&p, g_blk, kStep, 0x1FFFE, 20);
        },
        [] {
            Opx16s* p = g_coeffs;
            luma_inter_4x4(kRef, &p, g_blk, kStep, 0x1FFFE, 20, nullptr, false);
        });
    opx::bench::add(
        "opxiReconstructLumaInter4x4MB_H264_16s8u_C1R", "all",
        [] {
            Opx16s* p = g_coeffs;
            opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(&p, g_blk, kStep, 0x1FFFE, 20, g_ls64, 0);
        },
        [] {
            Opx16s* p = g_coeffs;
            luma_inter_4x4(kRef, &p, g_blk, kStep, 0x1FFFE, 20, g_ls64, false);
        });
    opx::bench::add(
        "opxiReconstructChromaInter4x4MB_H264_16s8u_P2R", "all",
        [] {
            Opx16s* p = g_coeffs;
            opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(&p, g_blk, g_blk + 8, kStep, 0x7FE0000,
                                                           20, 20, g_ls64, g_ls64, 0);
        },
        [] {
            Opx16s* p = g_coeffs;
            chroma_planar(kRef, &p, g_blk, g_blk + 8, kStep, nullptr,
                          ChromaParams{0x7FE0000, {20, 20}, {g_ls64, g_ls64}, {false, false}});
        });
    opx::bench::add(
        "opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R", "all",
        [] {
            Opx16s* p = g_coeffs;
            opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(&p, g_blk, kStep, g_modes8x8, 15, 20, 0,
                                                         g_ls64, 0);
        },
        [] {
            Opx16s* p = g_coeffs;
            luma_intra_8x8(kRef, &p, g_blk, kStep, g_modes8x8, 4, 15, 20, 0, g_ls64, false);
        });
}
