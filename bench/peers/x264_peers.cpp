// opxvc-bench-peers: x264's hand-written kernels timed by this tool's own timer, on the same cases
// as opxvc-bench, so that a peer's figure and ours compare under one method (default or
// --strict). Each line carries the opxvc function and case whose work the peer does; its ticks are
// the best of the peer's variants that run on an AVX2 processor. The kernels come from Debian's
// libx264-dev (libx264.a, 8-bit build) and are called by their assembly entry points.
//
// The peer does a little less than the library in every case: no argument checks, no dispatch,
// fixed strides for prediction and reconstruction, results returned in a register.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "bench.hpp"

extern "C" {
int x264_8_pixel_sad_4x4_mmx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sad_8x8_mmx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sad_16x16_mmx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sad_16x16_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sad_16x16_sse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_4x4_mmx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_4x4_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_4x4_sse4(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_4x4_avx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_8x8_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_8x8_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_8x8_sse4(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_8x8_avx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_8x8_avx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_16x16_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_16x16_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_16x16_sse4(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_16x16_avx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_satd_16x16_avx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sa8d_8x8_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sa8d_8x8_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sa8d_8x8_sse4(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sa8d_8x8_avx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_sa8d_8x8_avx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_4x4_mmx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_4x4_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_8x8_mmx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_8x8_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_8x8_ssse3(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_8x8_avx(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);

// Prediction and reconstruction work on the decoded-picture cache, rows 32 bytes apart.
void x264_8_predict_4x4_dc_mmx2(std::uint8_t*);
void x264_8_predict_4x4_ddl_mmx2(std::uint8_t*);
void x264_8_predict_4x4_ddr_mmx2(std::uint8_t*);
void x264_8_predict_4x4_ddr_ssse3(std::uint8_t*);
void x264_8_predict_4x4_vr_mmx2(std::uint8_t*);
void x264_8_predict_4x4_vr_ssse3(std::uint8_t*);
void x264_8_predict_4x4_hd_mmx2(std::uint8_t*);
void x264_8_predict_4x4_hd_ssse3(std::uint8_t*);
void x264_8_predict_4x4_vl_mmx2(std::uint8_t*);
void x264_8_predict_4x4_hu_mmx2(std::uint8_t*);
void x264_8_predict_16x16_dc_sse2(std::uint8_t*);
void x264_8_predict_16x16_dc_avx2(std::uint8_t*);
void x264_8_add4x4_idct_mmx(std::uint8_t*, std::int16_t*);
void x264_8_add4x4_idct_sse4(std::uint8_t*, std::int16_t*);
void x264_8_add4x4_idct_avx(std::uint8_t*, std::int16_t*);
void x264_8_add8x8_idct8_sse2(std::uint8_t*, std::int16_t*);
void x264_8_add8x8_idct8_avx(std::uint8_t*, std::int16_t*);
void x264_8_dequant_4x4_sse2(std::int16_t*, int (*)[16], int);
void x264_8_dequant_4x4_avx(std::int16_t*, int (*)[16], int);
void x264_8_dequant_4x4_avx2(std::int16_t*, int (*)[16], int);
void x264_8_dequant_8x8_sse2(std::int16_t*, int (*)[64], int);
void x264_8_dequant_8x8_avx(std::int16_t*, int (*)[64], int);
void x264_8_dequant_8x8_avx2(std::int16_t*, int (*)[64], int);
void x264_8_dequant_4x4dc_sse2(std::int16_t*, int (*)[16], int);
void x264_8_dequant_4x4dc_avx(std::int16_t*, int (*)[16], int);
void x264_8_dequant_4x4dc_avx2(std::int16_t*, int (*)[16], int);
void x264_8_idct4x4dc_mmx(std::int16_t*);
int x264_8_quant_8x8_sse2(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_8x8_ssse3(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_8x8_sse4(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_8x8_avx2(std::int16_t*, std::uint16_t*, std::uint16_t*);
void x264_8_zigzag_scan_8x8_frame_mmx2(std::int16_t*, std::int16_t*);
void x264_8_zigzag_scan_8x8_frame_sse2(std::int16_t*, std::int16_t*);
void x264_8_zigzag_scan_8x8_frame_ssse3(std::int16_t*, std::int16_t*);
void x264_8_deblock_v_luma_sse2(std::uint8_t*, std::intptr_t, int, int, std::int8_t*);
void x264_8_deblock_v_luma_avx(std::uint8_t*, std::intptr_t, int, int, std::int8_t*);
void x264_8_deblock_h_luma_sse2(std::uint8_t*, std::intptr_t, int, int, std::int8_t*);
void x264_8_deblock_h_luma_avx(std::uint8_t*, std::intptr_t, int, int, std::int8_t*);
}

namespace {

// The same layout as the metrics cases: blocks on pages of their own, the reference one byte past
// a 64-byte boundary, rows 64 bytes apart.
constexpr int kStep = 64;
struct alignas(4096) Buffers {
    alignas(4096) std::uint8_t src[64 * 40];
    alignas(4096) std::uint8_t ref[64 * 40];
    alignas(4096) std::uint8_t fdec[32 * 40];  // 32-byte rows, blocks from row 8 on
    alignas(4096) std::uint8_t plane[64 * 64];  // deblocking, a macroblock at (16, 16)
    alignas(64) std::int16_t coeffs[8][64];
    alignas(64) int mf4[6][16];
    alignas(64) int mf8[6][64];
    alignas(64) std::uint16_t qmf8[64], qbias8[64];  // forward 8×8 quantisation
    volatile int sink;
};
Buffers g;

struct Fill {
    Fill() {
        for (int i = 0; i < 64 * 40; ++i) {
            g.src[i] = static_cast<std::uint8_t>(i * 7);
            g.ref[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        for (int i = 0; i < 32 * 40; ++i) g.fdec[i] = static_cast<std::uint8_t>(i * 37 & 255);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                g.plane[y * 64 + x] =
                    static_cast<std::uint8_t>(90 + ((x / 4) * 7 + (y / 4) * 5) % 11 * 3 +
                                              (x * 3 + y) % 3);
        for (auto& b : g.coeffs)
            for (int i = 0; i < 64; ++i) b[i] = static_cast<std::int16_t>((i * 13) % 21 - 10);
        for (int q = 0; q < 6; ++q) {
            for (int i = 0; i < 16; ++i) g.mf4[q][i] = 16 * (10 + (q + i) % 7);
            for (int i = 0; i < 64; ++i) g.mf8[q][i] = 16 * (20 + (q + i) % 7);
        }
        for (int i = 0; i < 64; ++i) {
            g.qmf8[i] = static_cast<std::uint16_t>(4000 + 37 * i);
            g.qbias8[i] = static_cast<std::uint16_t>(300 + i);
        }
    }
} g_fill;

std::uint8_t* src() { return g.src; }
std::uint8_t* cand() { return g.ref + 1; }
std::uint8_t* blk4() { return g.fdec + 8 * 32 + 8; }
std::uint8_t* blk16() { return g.fdec + 8 * 32 + 16; }  // 16-byte aligned rows
std::uint8_t* mb() { return g.plane + 16 * 64 + 16; }

std::int8_t g_tc0[4] = {1, 2, 1, 2};

// The best of a peer's variants, each timed as its own lambda type (called directly, like the
// library's cases).
template <class... F>
void add_best(const char* function, const char* label, F... variants) {
    opx::bench::Case c{function, label,
                       [=] {
                           double best = 1e30;
                           ((best = std::min(best, opx::bench::measure(variants))), ...);
                           return best;
                       },
                       {}};
    opx::bench::registry().push_back(std::move(c));
}

template <auto... Fns>
void add_cmp(const char* function, const char* label) {
    add_best(function, label, [] { g.sink = Fns(src(), kStep, cand(), kStep); }...);
}

template <auto... Fns>
void add_pred(const char* function, const char* label) {
    add_best(function, label, [] { Fns(blk4()); }...);
}

// Dequantisation and the inverse transform with the addition, as two calls.
template <auto Dequant, auto Add>
constexpr auto kDequantAdd = [] {
    Dequant(g.coeffs[0], g.mf4, 28);
    Add(blk4(), g.coeffs[0]);
};

template <auto Dequant>
constexpr auto kLumaDc = [] {
    x264_8_idct4x4dc_mmx(g.coeffs[1]);
    Dequant(g.coeffs[1], g.mf4, 28);
};

// A macroblock's four luma edges, one call per edge.
template <auto Edge>
constexpr auto kHorEdges = [] {
    for (int k = 0; k < 4; ++k) Edge(mb() + 4 * k * 64, 64, 40, 12, g_tc0);
};
template <auto Edge>
constexpr auto kVerEdges = [] {
    for (int k = 0; k < 4; ++k) Edge(mb() + 4 * k, 64, 40, 12, g_tc0);
};

}  // namespace

OPX_BENCH_CASES(x264_peers) {
    add_cmp<x264_8_pixel_sad_16x16_mmx2, x264_8_pixel_sad_16x16_sse2,
            x264_8_pixel_sad_16x16_sse3>("opxiSAD16x16_8u32s", "mcType0");
    add_cmp<x264_8_pixel_sad_8x8_mmx2>("opxiSAD8x8_8u32s_C1R", "mcType0");
    add_cmp<x264_8_pixel_sad_4x4_mmx2>("opxiSAD4x4_8u32s", "4x4");
    add_cmp<x264_8_pixel_satd_16x16_sse2, x264_8_pixel_satd_16x16_ssse3,
            x264_8_pixel_satd_16x16_sse4, x264_8_pixel_satd_16x16_avx,
            x264_8_pixel_satd_16x16_avx2>("opxiSATD16x16_8u32s_C1R", "16x16");
    add_cmp<x264_8_pixel_satd_8x8_sse2, x264_8_pixel_satd_8x8_ssse3, x264_8_pixel_satd_8x8_sse4,
            x264_8_pixel_satd_8x8_avx, x264_8_pixel_satd_8x8_avx2>("opxiSATD8x8_8u32s_C1R", "8x8");
    add_cmp<x264_8_pixel_satd_4x4_mmx2, x264_8_pixel_satd_4x4_ssse3, x264_8_pixel_satd_4x4_sse4,
            x264_8_pixel_satd_4x4_avx>("opxiSATD4x4_8u32s_C1R", "4x4");
    add_cmp<x264_8_pixel_sa8d_8x8_sse2, x264_8_pixel_sa8d_8x8_ssse3, x264_8_pixel_sa8d_8x8_sse4,
            x264_8_pixel_sa8d_8x8_avx, x264_8_pixel_sa8d_8x8_avx2>("opxiSAT8x8D_8u32s_C1R", "8x8");
    add_cmp<x264_8_pixel_ssd_8x8_mmx, x264_8_pixel_ssd_8x8_sse2, x264_8_pixel_ssd_8x8_ssse3,
            x264_8_pixel_ssd_8x8_avx>("opxiSSD8x8_8u32s_C1R", "mcType0");
    add_cmp<x264_8_pixel_ssd_4x4_mmx, x264_8_pixel_ssd_4x4_ssse3>("opxiSSD4x4_8u32s_C1R",
                                                                  "mcType0");

    const char* intra4 = "opxiPredictIntra_4x4_H264_8u_C1IR";
    add_pred<x264_8_predict_4x4_dc_mmx2>(intra4, "mode2");
    add_pred<x264_8_predict_4x4_ddl_mmx2>(intra4, "mode3");
    add_pred<x264_8_predict_4x4_ddr_mmx2, x264_8_predict_4x4_ddr_ssse3>(intra4, "mode4");
    add_pred<x264_8_predict_4x4_vr_mmx2, x264_8_predict_4x4_vr_ssse3>(intra4, "mode5");
    add_pred<x264_8_predict_4x4_hd_mmx2, x264_8_predict_4x4_hd_ssse3>(intra4, "mode6");
    add_pred<x264_8_predict_4x4_vl_mmx2>(intra4, "mode7");
    add_pred<x264_8_predict_4x4_hu_mmx2>(intra4, "mode8");
    add_best("opxiPredictIntra_16x16_H264_8u_C1IR", "dc",
             [] { x264_8_predict_16x16_dc_sse2(blk16()); },
             [] { x264_8_predict_16x16_dc_avx2(blk16()); });

    const auto dequant_add = [](const char* function, const char* label) {
        add_best(function, label, kDequantAdd<x264_8_dequant_4x4_sse2, x264_8_add4x4_idct_mmx>,
                 kDequantAdd<x264_8_dequant_4x4_sse2, x264_8_add4x4_idct_sse4>,
                 kDequantAdd<x264_8_dequant_4x4_sse2, x264_8_add4x4_idct_avx>,
                 kDequantAdd<x264_8_dequant_4x4_avx, x264_8_add4x4_idct_sse4>,
                 kDequantAdd<x264_8_dequant_4x4_avx, x264_8_add4x4_idct_avx>,
                 kDequantAdd<x264_8_dequant_4x4_avx2, x264_8_add4x4_idct_sse4>,
                 kDequantAdd<x264_8_dequant_4x4_avx2, x264_8_add4x4_idct_avx>);
    };
    dequant_add("opxiTransformQuantInvAddPred4x4_H264_16s_C1IR", "ac");
    dequant_add("opxiDequantTransformResidualAndAdd_H264_16s_C1I", "4x4");
    add_best("opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R", "8x8",
             [] { x264_8_add8x8_idct8_sse2(blk4(), g.coeffs[0]); },
             [] { x264_8_add8x8_idct8_avx(blk4(), g.coeffs[0]); });
    add_best("opxiQuantLuma8x8Inv_H264_16s_C1I", "8x8",
             [] { x264_8_dequant_8x8_sse2(g.coeffs[0], g.mf8, 28); },
             [] { x264_8_dequant_8x8_avx(g.coeffs[0], g.mf8, 28); },
             [] { x264_8_dequant_8x8_avx2(g.coeffs[0], g.mf8, 28); });
    // The DV quantisers' peer: the same 8x8 dequantiser (two multiplies a lane, a table of scales).
    for (const char* dv : {"opxiQuantInv_DV_16s_C1I", "opxiQuantWeightBlockInv_DV_16s_C1I",
                           "opxiQuantWeightBlockInv_DV100_16s_C1I"})
        add_best(dv, "block", [] { x264_8_dequant_8x8_sse2(g.coeffs[0], g.mf8, 28); },
                 [] { x264_8_dequant_8x8_avx(g.coeffs[0], g.mf8, 28); },
                 [] { x264_8_dequant_8x8_avx2(g.coeffs[0], g.mf8, 28); });
    add_best("opxiTransformDequantLumaDC_H264_16s_C1I", "4x4", kLumaDc<x264_8_dequant_4x4dc_sse2>,
             kLumaDc<x264_8_dequant_4x4dc_avx>, kLumaDc<x264_8_dequant_4x4dc_avx2>);

    // The MPEG-2 8×8 block functions against x264's nearest kernels (its dequantisation has no
    // saturation or mismatch control, its quantisation a fixed-point multiply).
    add_best("opxiQuantInv_MPEG2_16s_C1I", "table",
             [] { x264_8_dequant_8x8_sse2(g.coeffs[2], g.mf8, 28); },
             [] { x264_8_dequant_8x8_avx(g.coeffs[2], g.mf8, 28); },
             [] { x264_8_dequant_8x8_avx2(g.coeffs[2], g.mf8, 28); });
    add_best("opxiQuant_MPEG2_16s_C1I", "table",
             [] { g.sink = x264_8_quant_8x8_sse2(g.coeffs[3], g.qmf8, g.qbias8); },
             [] { g.sink = x264_8_quant_8x8_ssse3(g.coeffs[3], g.qmf8, g.qbias8); },
             [] { g.sink = x264_8_quant_8x8_sse4(g.coeffs[3], g.qmf8, g.qbias8); },
             [] { g.sink = x264_8_quant_8x8_avx2(g.coeffs[3], g.qmf8, g.qbias8); });
    // the other MPEG-2 cases against the same kernels
    using Name = std::pair<const char*, const char*>;
    for (const Name& c : {Name{"opxiQuantInv_MPEG2_16s_C1I", "flat"}, Name{"opxiQuantInvIntra_MPEG2_16s_C1I", "table"}})
        add_best(c.first, c.second, [] { x264_8_dequant_8x8_sse2(g.coeffs[2], g.mf8, 28); },
                 [] { x264_8_dequant_8x8_avx(g.coeffs[2], g.mf8, 28); },
                 [] { x264_8_dequant_8x8_avx2(g.coeffs[2], g.mf8, 28); });
    for (const Name& c : {Name{"opxiQuant_MPEG2_16s_C1I", "flat"}, Name{"opxiQuantIntra_MPEG2_16s_C1I", "table"},
                          Name{"opxiQuantIntra_MPEG2_16s_C1I", "default"}})
        add_best(c.first, c.second, [] { g.sink = x264_8_quant_8x8_sse2(g.coeffs[3], g.qmf8, g.qbias8); },
                 [] { g.sink = x264_8_quant_8x8_ssse3(g.coeffs[3], g.qmf8, g.qbias8); },
                 [] { g.sink = x264_8_quant_8x8_sse4(g.coeffs[3], g.qmf8, g.qbias8); },
                 [] { g.sink = x264_8_quant_8x8_avx2(g.coeffs[3], g.qmf8, g.qbias8); });
    // the scans against the MMX zigzag (the goal is half its time), and against its best build
    for (const Name& c : {Name{"opxiScanFwd_16s_C1", "many"}, Name{"opxiScanFwd_16s_C1", "few"},
                          Name{"opxiScanFwd_16s_C1", "altvert"}, Name{"opxiScanInv_16s_C1", "last63"},
                          Name{"opxiScanInv_16s_C1", "last10"}}) {
        add_best(c.first, c.second, [] { x264_8_zigzag_scan_8x8_frame_mmx2(g.coeffs[4], g.coeffs[5]); });
        add_best(c.first, (std::string(c.second) + "/best").c_str(),
                 [] { x264_8_zigzag_scan_8x8_frame_mmx2(g.coeffs[4], g.coeffs[5]); },
                 [] { x264_8_zigzag_scan_8x8_frame_sse2(g.coeffs[4], g.coeffs[5]); },
                 [] { x264_8_zigzag_scan_8x8_frame_ssse3(g.coeffs[4], g.coeffs[5]); });
    }

    add_best("opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR", "bs123",
             kHorEdges<x264_8_deblock_v_luma_sse2>, kHorEdges<x264_8_deblock_v_luma_avx>);
    add_best("opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR", "bs123",
             kVerEdges<x264_8_deblock_h_luma_sse2>, kVerEdges<x264_8_deblock_h_luma_avx>);
}
