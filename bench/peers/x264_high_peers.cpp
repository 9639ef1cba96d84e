// opxvc-bench-peers, high bit depth: x264's 10-bit kernels (libx264.a's x264_10_* entry points)
// doing the work of the 10-bit reconstruction cases of opxvc-bench (h264_recon_high_bench.cpp),
// timed by the same timer. Samples are 16-bit, coefficients 32-bit, as in the library's cases;
// the peer reconstructs at its fixed stride with no argument checks. Predictions come from the
// tables x264's own initialisation fills for this processor (on this build the 10-bit 16x16 plane
// entry is its portable C code); the 16s8u 4:2:2 cases use the 8-bit build's kernels.
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
void x264_10_add4x4_idct_avx(std::uint16_t* dst, std::int32_t dct[16]);
void x264_10_idct4x4dc_avx(std::int32_t d[16]);
void x264_10_dequant_4x4dc_avx2(std::int32_t dct[16], int mf[6][16], int qp);
void x264_8_dequant_4x4_avx2(std::int16_t dct[16], int mf[6][16], int qp);
void x264_8_add8x8_idct_avx2(std::uint8_t* dst, std::int16_t dct[4][16]);
void x264_8_idct_dequant_2x4_dc_avx(std::int16_t dct[8], std::int16_t dct4x4[8][16], int mf[6][16],
                                    int qp);
// Prediction tables as the library's own initialisation fills them for this processor.
using Pred10 = void (*)(std::uint16_t* src);
using Pred8x8_10 = void (*)(std::uint16_t* src, std::uint16_t edge[36]);
using Filter8x8_10 = void (*)(std::uint16_t* src, std::uint16_t edge[36], int neighbours,
                              int filters);
using Pred8 = void (*)(std::uint8_t* src);
std::uint32_t x264_cpu_detect(void);
void x264_10_predict_4x4_init(std::uint32_t cpu, Pred10 pf[12]);
void x264_10_predict_8x8_init(std::uint32_t cpu, Pred8x8_10 pf[12], Filter8x8_10* filter);
void x264_10_predict_16x16_init(std::uint32_t cpu, Pred10 pf[7]);
void x264_10_predict_8x8c_init(std::uint32_t cpu, Pred10 pf[7]);
void x264_10_predict_8x16c_init(std::uint32_t cpu, Pred10 pf[7]);
void x264_8_predict_8x16c_init(std::uint32_t cpu, Pred8 pf[7]);
}

namespace {

// Every array starts on its own 64-byte boundary (some kernels need 32-byte aligned operands).
struct alignas(64) HighBuffers {
    alignas(64) std::uint16_t fdec[32 * 40];
    alignas(64) std::int32_t coeffs[16][16];
    alignas(64) std::int32_t coeffs8[4][64];
    alignas(64) std::int32_t fresh8[4][64];  // coeffs8 as filled: restored before each call
    alignas(64) std::int32_t dc[8];
    alignas(64) std::int32_t dc16[16];
    alignas(64) std::uint16_t edge[64];
    alignas(64) std::uint8_t fdec8[32 * 40];
    alignas(64) std::int16_t coeffs16[16][16];
    alignas(64) std::int16_t dc8[8];
    alignas(64) int mf4[6][16];
    alignas(64) int mf8[6][64];
};
HighBuffers h;

// Prediction tables (room beyond the entries the initialisation fills).
struct Preds {
    Pred10 p4[32] = {};
    Pred8x8_10 p8[32] = {};
    Filter8x8_10 filter8 = nullptr;
    Pred10 p16[32] = {};
    Pred10 p8c[32] = {};
    Pred10 p8x16c[32] = {};
    Pred8 p8x16c_8[32] = {};
    Preds() {
        const std::uint32_t cpu = x264_cpu_detect();
        x264_10_predict_4x4_init(cpu, p4);
        x264_10_predict_8x8_init(cpu, p8, &filter8);
        x264_10_predict_16x16_init(cpu, p16);
        x264_10_predict_8x8c_init(cpu, p8c);
        x264_10_predict_8x16c_init(cpu, p8x16c);
        x264_8_predict_8x16c_init(cpu, p8x16c_8);
    }
};
const Preds& preds() {
    static const Preds p;
    return p;
}
constexpr int kPlane = 3;  // the plane mode's entry of the 16x16 and chroma tables

struct HighFill {
    HighFill() {
        for (int i = 0; i < 32 * 40; ++i) h.fdec[i] = static_cast<std::uint16_t>(i * 37 & 1023);
        for (auto& b : h.coeffs)
            for (int i = 0; i < 16; ++i) b[i] = (i * 13) % 21 - 10;
        for (auto& b : h.coeffs8)
            for (int i = 0; i < 64; ++i) b[i] = (i * 13) % 21 - 10;
        std::memcpy(h.fresh8, h.coeffs8, sizeof h.fresh8);
        for (int i = 0; i < 8; ++i) h.dc[i] = i - 4;
        for (int i = 0; i < 16; ++i) h.dc16[i] = i - 8;
        for (int i = 0; i < 8; ++i) h.dc8[i] = static_cast<std::int16_t>(i - 4);
        for (int i = 0; i < 32 * 40; ++i) h.fdec8[i] = static_cast<std::uint8_t>(i * 37);
        for (auto& b : h.coeffs16)
            for (int i = 0; i < 16; ++i) b[i] = static_cast<std::int16_t>((i * 13) % 21 - 10);
        for (int q = 0; q < 6; ++q) {
            for (int i = 0; i < 16; ++i) h.mf4[q][i] = 16 * (10 + (q + i) % 7);
            for (int i = 0; i < 64; ++i) h.mf8[q][i] = 16 * (20 + (q + i) % 7);
        }
    }
} h_fill;

std::uint16_t* mb() {
    return h.fdec + 8 * 32 + 8;
}
std::uint8_t* mb8() {
    return h.fdec8 + 8 * 32 + 8;
}
// Luma 4x4 block n (H.264 block order) and 8x8 block n of the macroblock at mb().
std::uint16_t* blk4(int n) {
    return mb() + 32 * (8 * (n >> 3) + 4 * ((n >> 1) & 1)) + 8 * ((n >> 2) & 1) + 4 * (n & 1);
}
std::uint16_t* blk8(int n) {
    return mb() + 8 * 32 * (n >> 1) + 8 * (n & 1);
}
constexpr int kModes4x4[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2, 3, 4, 5, 6};
constexpr int kModes8x8[4] = {0, 4, 2, 8};

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
    // Σ16 (predict_4x4 of the block's mode + dequant_4x4 + add4x4_idct).
    add_peer("opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R", "all", [] {
        const Preds& p = preds();
        for (int n = 0; n < 16; ++n) {
            p.p4[kModes4x4[n]](blk4(n));
            x264_10_dequant_4x4_avx2(h.coeffs[n], h.mf4, 32);
            x264_10_add4x4_idct_avx(blk4(n), h.coeffs[n]);
        }
    });
    // Σ4 (predict_8x8_filter + mode + dequant_8x8 + add8x8_idct8), every neighbour available.
    add_peer("opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R", "all", [] {
        const Preds& p = preds();
        std::memcpy(h.coeffs8, h.fresh8, sizeof h.coeffs8);
        for (int k = 0; k < 4; ++k) {
            p.filter8(blk8(k), h.edge, 15, 15);
            p.p8[kModes8x8[k]](blk8(k), h.edge);
            x264_10_dequant_8x8_avx2(h.coeffs8[k], h.mf8, 32);
            x264_10_add8x8_idct8_avx(blk8(k), h.coeffs8[k]);
        }
    });
    // predict_16x16 plane + idct4x4dc + dequant_4x4dc + 16 (DC into the block + dequant_4x4) +
    // add16x16_idct.
    add_peer("opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R", "plane", [] {
        preds().p16[kPlane](mb());
        for (int i = 0; i < 16; ++i) h.dc16[i] = i - 8;
        x264_10_idct4x4dc_avx(h.dc16);
        x264_10_dequant_4x4dc_avx2(h.dc16, h.mf4, 32);
        for (int n = 0; n < 16; ++n) {
            x264_10_dequant_4x4_avx2(h.coeffs[n], h.mf4, 32);
            h.coeffs[n][0] = h.dc16[n];
        }
        x264_10_add16x16_idct_avx(mb(), h.coeffs);
    });
    // 2 × (predict_8x8c plane + 2x2 DC transform and scaling (scalar, here) + 4 dequant_4x4 +
    // add8x8_idct).
    add_peer("opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R", "plane", [] {
        for (int comp = 0; comp < 2; ++comp) {
            std::uint16_t* dst = mb() + 8 * comp;
            preds().p8c[kPlane](dst);
            const std::int32_t* d = h.dc;
            const std::int32_t s0 = d[0] + d[1], s1 = d[2] + d[3], d0 = d[0] - d[1],
                               d1 = d[2] - d[3];
            const std::int32_t f[4] = {s0 + s1, d0 + d1, s0 - s1, d0 - d1};
            for (int k = 0; k < 4; ++k) {
                x264_10_dequant_4x4_avx2(h.coeffs[k], h.mf4, 30);
                h.coeffs[k][0] = (f[k] * h.mf4[0][0]) >> 5;
            }
            x264_10_add8x8_idct_avx(dst, h.coeffs);
        }
    });
    // 2 × ([predict_8x16c plane +] idct_dequant_2x4_dc + 8 dequant_4x4 + 2 add8x8_idct).
    static constexpr auto chroma422_10 = [](bool plane) {
        for (int comp = 0; comp < 2; ++comp) {
            std::uint16_t* dst = mb() + 8 * comp;
            if (plane) preds().p8x16c[kPlane](dst);
            for (int k = 0; k < 8; ++k) x264_10_dequant_4x4_avx2(h.coeffs[k], h.mf4, 30);
            x264_10_idct_dequant_2x4_dc_avx(h.dc, h.coeffs, h.mf4, 33);
            x264_10_add8x8_idct_avx(dst, h.coeffs);
            x264_10_add8x8_idct_avx(dst + 8 * 32, h.coeffs + 4);
        }
    };
    add_peer("opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R", "plane",
             [] { chroma422_10(true); });
    // 8-bit: 2 × ([predict_8x16c plane +] idct_dequant_2x4_dc + 8 dequant_4x4 + 2 add8x8_idct),
    // x264's 8-bit kernels.
    static constexpr auto chroma422_8 = [](bool plane) {
        for (int comp = 0; comp < 2; ++comp) {
            std::uint8_t* dst = mb8() + 8 * comp;
            if (plane) preds().p8x16c_8[kPlane](dst);
            for (int k = 0; k < 8; ++k) x264_8_dequant_4x4_avx2(h.coeffs16[k], h.mf4, 24);
            x264_8_idct_dequant_2x4_dc_avx(h.dc8, h.coeffs16, h.mf4, 27);
            x264_8_add8x8_idct_avx2(dst, h.coeffs16);
            x264_8_add8x8_idct_avx2(dst + 8 * 32, h.coeffs16 + 4);
        }
    };
    add_peer("opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R", "all",
             [] { chroma422_8(false); });
    add_peer("opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R", "plane",
             [] { chroma422_8(true); });
    add_peer("opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R", "all",
             [] { chroma422_10(false); });
}
