// opxvc-bench-peers, encoder cases: x264's forward transform, quantisation, run-level and block
// statistics kernels on the cases of h264_encode_bench.cpp and stats_bench.cpp, timed by this
// tool's timer (best of the variants that run on an AVX2 processor). Pairs of peer calls stand
// for one library call where the library does both jobs (a residual and its transform, levels
// and their last position). Quantisers work in place on their block, as x264 calls them.
#include <algorithm>
#include <cstdint>

#include "bench.hpp"

extern "C" {
void x264_8_sub4x4_dct_mmx(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub4x4_dct_ssse3(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub8x8_dct8_sse2(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub8x8_dct8_ssse3(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub8x8_dct8_avx(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub8x8_dct_dc_mmx2(std::int16_t*, std::uint8_t*, std::uint8_t*);
void x264_8_sub8x8_dct_dc_sse2(std::int16_t*, std::uint8_t*, std::uint8_t*);
int x264_8_quant_4x4_sse4(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_4x4_avx2(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_8x8_sse4(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_8x8_avx2(std::int16_t*, std::uint16_t*, std::uint16_t*);
int x264_8_quant_4x4_dc_sse4(std::int16_t*, int, int);
int x264_8_quant_4x4_dc_avx2(std::int16_t*, int, int);
int x264_8_quant_2x2_dc_ssse3(std::int16_t*, int, int);
void x264_8_dct4x4dc_mmx2(std::int16_t*);
int x264_8_coeff_last16_sse2(std::int16_t*);
int x264_8_coeff_last16_lzcnt(std::int16_t*);
int x264_8_coeff_last64_avx2(std::int16_t*);
int x264_8_coeff_last64_lzcnt(std::int16_t*);
int x264_8_coeff_level_run16_avx2(std::int16_t*, void*);
int x264_8_coeff_level_run16_ssse3_lzcnt(std::int16_t*, void*);
int x264_8_coeff_level_run15_avx2(std::int16_t*, void*);
int x264_8_coeff_level_run15_ssse3_lzcnt(std::int16_t*, void*);
int x264_8_coeff_level_run4_ssse3_lzcnt(std::int16_t*, void*);
int x264_8_coeff_level_run8_ssse3_lzcnt(std::int16_t*, void*);
std::uint64_t x264_8_pixel_var_16x16_sse2(std::uint8_t*, std::intptr_t);
std::uint64_t x264_8_pixel_var_16x16_avx2(std::uint8_t*, std::intptr_t);
std::uint64_t x264_8_pixel_var_8x8_sse2(std::uint8_t*, std::intptr_t);
std::uint64_t x264_8_pixel_var_8x8_avx(std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_16x16_sse2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
int x264_8_pixel_ssd_16x16_avx2(std::uint8_t*, std::intptr_t, std::uint8_t*, std::intptr_t);
}

namespace {

// x264 reads its source blocks 16 bytes a row and its prediction 32 bytes a row.
struct alignas(4096) Enc {
    alignas(64) std::uint8_t fenc[16 * 16];
    alignas(64) std::uint8_t fdec[32 * 16];
    alignas(64) std::uint8_t pix[64 * 17];
    alignas(64) std::int16_t dct[64];
    alignas(64) std::int16_t dc[16];
    alignas(64) std::int16_t sparse[16], dense[16], ac[16], cdc[8];
    alignas(64) std::uint16_t mf[64], bias[64];
    alignas(64) unsigned char runlevel[256];  // room for either layout of x264's run-level record
    // The CAVLC cases step through 2048 varied blocks a kind, as the library's cases do.
    alignas(64) std::int16_t ring[3][2048][16];
    volatile std::int64_t sink;
} e;

struct Fill {
    Fill() {
        std::uint32_t x = 777;
        auto rnd = [&x] { return (x = x * 1103515245 + 12345) >> 16; };
        for (int i = 0; i < 16 * 16; ++i) e.fenc[i] = static_cast<std::uint8_t>(rnd());
        for (int y = 0; y < 16; ++y)
            for (int i = 0; i < 16; ++i)
                e.fdec[y * 32 + i] = static_cast<std::uint8_t>(e.fenc[y * 16 + i] + rnd() % 41 - 20);
        for (int i = 0; i < 64 * 17; ++i) e.pix[i] = static_cast<std::uint8_t>(rnd());
        for (int i = 0; i < 64; ++i) {
            e.dct[i] = static_cast<std::int16_t>(static_cast<int>(rnd() % 1601) - 800);
            e.mf[i] = 13107 / 16;
            e.bias[i] = 1 << 9;
        }
        for (int i = 0; i < 16; ++i) {
            e.dc[i] = static_cast<std::int16_t>(static_cast<int>(rnd() % 4001) - 2000);
            e.dense[i] = static_cast<std::int16_t>(static_cast<int>(rnd() % 9) - 4);
            e.ac[i] = i < 6 ? e.dense[i] : 0;
        }
        e.sparse[0] = 5, e.sparse[1] = -1, e.sparse[2] = 1;
        for (int i = 0; i < 8; ++i) e.cdc[i] = static_cast<std::int16_t>(i % 3 ? 0 : 3 - i);
        for (int kind = 0; kind < 3; ++kind)
            for (auto& b : e.ring[kind]) {
                for (int i = 0; i < 16; ++i) b[i] = 0;
                const int n = kind == 1 ? 10 + static_cast<int>(rnd() % 7)
                                        : 1 + static_cast<int>(rnd() % (kind == 0 ? 4 : 6));
                for (int j = 0; j < n; ++j) {
                    const int pos = kind == 1 ? static_cast<int>(rnd() % 16)
                                              : 1 + static_cast<int>(rnd() % 8) - (kind == 0);
                    const int mag = rnd() % 3 ? 1 : 2 + static_cast<int>(rnd() % 6);
                    b[pos] = static_cast<std::int16_t>(rnd() & 1 ? mag : -mag);
                }
            }
    }
} e_fill;

template <class... F>
void best(const char* function, const char* label, F... variants) {
    opx::bench::Case c{function, label,
                       [=] {
                           double b = 1e30;
                           ((b = std::min(b, opx::bench::measure(variants))), ...);
                           return b;
                       },
                       {}};
    opx::bench::registry().push_back(std::move(c));
}

}  // namespace

OPX_BENCH_CASES(x264_encode_peers) {
    best("Sub4x4+TransformQuantFwd4x4", "qp26",
         [] {
             x264_8_sub4x4_dct_ssse3(e.dct, e.fenc, e.fdec);
             e.sink = x264_8_quant_4x4_avx2(e.dct, e.mf, e.bias) + x264_8_coeff_last16_lzcnt(e.dct);
         },
         [] {
             x264_8_sub4x4_dct_mmx(e.dct, e.fenc, e.fdec);
             e.sink = x264_8_quant_4x4_sse4(e.dct, e.mf, e.bias) + x264_8_coeff_last16_sse2(e.dct);
         });
    best("opxiQuantizeResidual4x4Fwd_H264_16s_C1", "qp26",
         [] { e.sink = x264_8_quant_4x4_avx2(e.dct, e.mf, e.bias) + x264_8_coeff_last16_lzcnt(e.dct); },
         [] { e.sink = x264_8_quant_4x4_sse4(e.dct, e.mf, e.bias) + x264_8_coeff_last16_sse2(e.dct); });
    best("opxiQuantLuma8x8_H264_16s_C1", "qp26",
         [] { e.sink = x264_8_quant_8x8_avx2(e.dct, e.mf, e.bias) + x264_8_coeff_last64_avx2(e.dct); },
         [] { e.sink = x264_8_quant_8x8_sse4(e.dct, e.mf, e.bias) + x264_8_coeff_last64_lzcnt(e.dct); });
    best("Sub8x8+TransformFwdLuma8x8", "8x8",
         [] { x264_8_sub8x8_dct8_avx(e.dct, e.fenc, e.fdec); },
         [] { x264_8_sub8x8_dct8_ssse3(e.dct, e.fenc, e.fdec); },
         [] { x264_8_sub8x8_dct8_sse2(e.dct, e.fenc, e.fdec); });
    best("opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I", "qp26",
         [] {
             x264_8_dct4x4dc_mmx2(e.dc);
             e.sink = x264_8_quant_4x4_dc_avx2(e.dc, 13107 >> 1, 1 << 15);
         },
         [] {
             x264_8_dct4x4dc_mmx2(e.dc);
             e.sink = x264_8_quant_4x4_dc_sse4(e.dc, 13107 >> 1, 1 << 15);
         });
    best("opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I", "qp26",
         [] { e.sink = x264_8_quant_2x2_dc_ssse3(e.dc, 13107 >> 1, 1 << 15); });
    const char* labels[3] = {"sparse", "dense", "ac"};
    for (int kind = 0; kind < 3; ++kind) {
        const int skip = kind == 2;  // the AC form starts at scan position 1
        if (kind == 2)
            best("opxiEncodeCoeffsCAVLC_H264_16s", labels[kind],
                 [kind, skip, n = 0u]() mutable {
                     e.sink = x264_8_coeff_level_run15_avx2(e.ring[kind][n++ & 2047] + skip, e.runlevel);
                 },
                 [kind, skip, n = 0u]() mutable {
                     e.sink = x264_8_coeff_level_run15_ssse3_lzcnt(e.ring[kind][n++ & 2047] + skip,
                                                                   e.runlevel);
                 });
        else
            best("opxiEncodeCoeffsCAVLC_H264_16s", labels[kind],
                 [kind, n = 0u]() mutable {
                     e.sink = x264_8_coeff_level_run16_avx2(e.ring[kind][n++ & 2047], e.runlevel);
                 },
                 [kind, n = 0u]() mutable {
                     e.sink = x264_8_coeff_level_run16_ssse3_lzcnt(e.ring[kind][n++ & 2047], e.runlevel);
                 });
    }
    best("opxiEncodeChromaDcCoeffsCAVLC_H264_16s", "2x2",
         [] { e.sink = x264_8_coeff_level_run4_ssse3_lzcnt(e.cdc, e.runlevel); });
    best("opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s", "2x4",
         [] { e.sink = x264_8_coeff_level_run8_ssse3_lzcnt(e.cdc, e.runlevel); });
    best("opxiVariance16x16_8u32s", "16x16",
         [] { e.sink = static_cast<std::int64_t>(x264_8_pixel_var_16x16_avx2(e.pix, 64)); },
         [] { e.sink = static_cast<std::int64_t>(x264_8_pixel_var_16x16_sse2(e.pix, 64)); });
    best("opxiVarSum8x8_8u32s_C1R", "8x8",
         [] { e.sink = static_cast<std::int64_t>(x264_8_pixel_var_8x8_avx(e.pix, 64)); },
         [] { e.sink = static_cast<std::int64_t>(x264_8_pixel_var_8x8_sse2(e.pix, 64)); });
    // x264 compares 16-byte-aligned blocks (its picture caches); the library case reads one byte
    // past a boundary.
    best("opxiSqrDiff16x16_8u32s", "mcType0",
         [] { e.sink = x264_8_pixel_ssd_16x16_avx2(e.pix, 64, e.pix + 16, 64); },
         [] { e.sink = x264_8_pixel_ssd_16x16_sse2(e.pix, 64, e.pix + 16, 64); });
    best("opxiSumsDiff8x8Blocks4x4_8u16s_C1", "no pDiff",
         [] { x264_8_sub8x8_dct_dc_sse2(e.dct, e.fenc, e.fdec); },
         [] { x264_8_sub8x8_dct_dc_mmx2(e.dct, e.fenc, e.fdec); });
}
