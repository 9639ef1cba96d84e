// opxvc-bench-peers, high bit depth: x264's 10-bit kernels (libx264.a's x264_10_* entry points)
// doing the work of the 10-bit reconstruction cases of opxvc-bench (h264_recon_high_bench.cpp),
// timed by the same timer. Samples are 16-bit, coefficients 32-bit, as in the library's cases;
// the peer reconstructs at its fixed stride with no argument checks.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bench.hpp"

extern "C" {
void x264_10_dequant_4x4_avx2(std::int32_t dct[16], int mf[6][16], int qp);
void x264_10_dequant_8x8_avx2(std::int32_t dct[64], int mf[6][64], int qp);
void x264_10_add16x16_idct_avx(std::uint16_t* dst, std::int32_t dct[16][16]);
void x264_10_add8x8_idct_avx(std::uint16_t* dst, std::int32_t dct[4][16]);
void x264_10_add8x8_idct8_avx(std::uint16_t* dst, std::int32_t dct[64]);
void x264_10_idct_dequant_2x4_dc_avx(std::int32_t dct[8], std::int32_t dct4x4[8][16], int mf[6][16],
                                     int qp);
}

namespace {

struct alignas(64) HighBuffers {
    std::uint16_t fdec[32 * 40];
    std::int32_t coeffs[16][16];
    std::int32_t coeffs8[4][64];
    std::int32_t fresh8[4][64];  // coeffs8 as filled: restored before each call
    std::int32_t dc[8];
    int mf4[6][16];
    int mf8[6][64];
};
HighBuffers h;

struct HighFill {
    HighFill() {
        for (int i = 0; i < 32 * 40; ++i) h.fdec[i] = static_cast<std::uint16_t>(i * 37 & 1023);
        for (auto& b : h.coeffs)
            for (int i = 0; i < 16; ++i) b[i] = (i * 13) % 21 - 10;
        for (auto& b : h.coeffs8)
            for (int i = 0; i < 64; ++i) b[i] = (i * 13) % 21 - 10;
        std::memcpy(h.fresh8, h.coeffs8, sizeof h.fresh8);
        for (int i = 0; i < 8; ++i) h.dc[i] = i - 4;
        for (int q = 0; q < 6; ++q) {
            for (int i = 0; i < 16; ++i) h.mf4[q][i] = 16 * (10 + (q + i) % 7);
            for (int i = 0; i < 64; ++i) h.mf8[q][i] = 16 * (20 + (q + i) % 7);
        }
    }
} h_fill;

std::uint16_t* mb() {
    return h.fdec + 8 * 32 + 8;
}

template <class F>
void add_peer(const char* function, const char* label, F f) {
    opx::bench::Case c{function, label, [=] { return opx::bench::measure(f); }, {}};
    opx::bench::registry().push_back(std::move(c));
}

}  // namespace

OPX_BENCH_CASES(x264_high_peers) {
    // 16 × dequant_4x4 + add16x16_idct.
    add_peer("opxiReconstructLumaInter4x4_H264High_32s16u_IP1R", "all", [] {
        for (auto& b : h.coeffs) x264_10_dequant_4x4_avx2(b, h.mf4, 32);
        x264_10_add16x16_idct_avx(mb(), h.coeffs);
    });
    // 4 × (dequant_8x8 + add8x8_idct8).
    add_peer("opxiReconstructLumaInter8x8_H264High_32s16u_IP1R", "all", [] {
        std::memcpy(h.coeffs8, h.fresh8, sizeof h.coeffs8);
        for (int k = 0; k < 4; ++k) {
            x264_10_dequant_8x8_avx2(h.coeffs8[k], h.mf8, 32);
            x264_10_add8x8_idct8_avx(mb() + 8 * (k & 1) + 8 * 32 * (k >> 1), h.coeffs8[k]);
        }
    });
    // 2 × (idct_dequant_2x4_dc + 8 dequant_4x4 + 2 add8x8_idct).
    add_peer("opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R", "all", [] {
        for (int comp = 0; comp < 2; ++comp) {
            for (int k = 0; k < 8; ++k) x264_10_dequant_4x4_avx2(h.coeffs[k], h.mf4, 30);
            x264_10_idct_dequant_2x4_dc_avx(h.dc, h.coeffs, h.mf4, 33);
            x264_10_add8x8_idct_avx(mb(), h.coeffs);
            x264_10_add8x8_idct_avx(mb() + 8 * 32, h.coeffs + 4);
        }
    });
}
