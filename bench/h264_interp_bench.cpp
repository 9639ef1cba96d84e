#include "bench.hpp"
#include "h264/decode/interp.hpp"
#include "opxvc.h"

namespace {

constexpr int kStep = 64;
// The destination rows never share their low 12 address bits with the source rows a case reads
// (8-bit: sources at bytes 384..1760 of a page, destinations from byte 2048; 16-bit: source rows
// at bytes 12..63 modulo 128, destination rows at 64..95), so that no timed store holds back a
// load through 4K aliasing, a cost of the layout rather than of the functions.
struct alignas(4096) Buffers {
    Opx8u src[kStep * 64];
    Opx8u gap[2048];
    Opx8u dst[kStep * 32];
    Opx16u src16[kStep * 64];
    Opx16u dst16[kStep * 32 + 32];
} g_buffers;
Opx8u* const g_src = g_buffers.src;
Opx8u* const g_dst = g_buffers.dst;
Opx16u* const g_src16 = g_buffers.src16;
Opx16u* const g_dst16 = g_buffers.dst16 + 32;
// Block origin inside the source, leaving room for the filter support on every side.
Opx8u* const g_block = g_src + 8 * kStep + 8;
Opx16u* const g_block16 = g_src16 + 8 * kStep + 8;

struct Init {
    Init() {
        unsigned v = 12345;
        for (Opx8u& s : g_buffers.src) s = static_cast<Opx8u>((v = v * 1103515245u + 12345u) >> 23);
        for (Opx16u& s : g_buffers.src16)
            s = static_cast<Opx16u>((v = v * 1103515245u + 12345u) >> 22);
    }
} g_init;

// Luma figures are means over the 16 quarter-sample positions, chroma figures over the 63
// fractional positions (dx, dy) != (0, 0); each position is timed on its own.
constexpr int kLumaPositions = 16;
constexpr int kChromaPositions = 63;

template <int W, int H>
void luma_at(int p) {
    opxiInterpolateLuma_H264_8u_C1R(g_block, kStep, g_dst, kStep, p & 3, p >> 2, {W, H});
}
template <int W, int H>
void luma_at_ref(int p) {
    opx::h264::ref::kInterp.luma8[opx::h264::luma8_index(W, p & 3, p >> 2)](g_block, kStep, g_dst,
                                                                            kStep, H);
}
template <int W, int H>
void chroma_at(int i) {
    const int p = i + 1;
    opxiInterpolateChroma_H264_8u_C1R(g_block, kStep, g_dst, kStep, p & 7, p >> 3, {W, H});
}
template <int W, int H>
void chroma_at_ref(int i) {
    const int p = i + 1, dx = p & 7, dy = p >> 3;
    opx::h264::ref::kInterp.chroma8[opx::h264::chroma8_index(W, dx, dy)](g_block, kStep, g_dst,
                                                                         kStep, H, dy * 8 + dx);
}

// A 16x16 block 8 samples above and left of the picture's top-left corner.
void luma_block_edge(int p) {
    OpxInterpolateBlock8u r{};
    r.pSrc[0] = g_src;
    r.srcStep = kStep;
    r.pDst[0] = g_dst;
    r.dstStep = kStep;
    r.frameSize = {64, 64};
    r.blockSize = {16, 16};
    r.blockPos = {0, 0};
    r.motionVector = {static_cast<Opx32s>(-32 + (p & 3)), static_cast<Opx32s>(-32 + (p >> 2))};
    opxiInterpolateLumaBlock_H264_8u_P1R(&r);
}

}  // namespace

OPX_BENCH_CASES(h264_interp) {
    using opx::bench::add;
    using opx::bench::add_mean;
    add_mean("opxiInterpolateLuma_H264_8u_C1R", "16x16", kLumaPositions, luma_at<16, 16>,
             luma_at_ref<16, 16>);
    add_mean("opxiInterpolateLuma_H264_8u_C1R", "8x8", kLumaPositions, luma_at<8, 8>,
             luma_at_ref<8, 8>);
    add_mean("opxiInterpolateLuma_H264_8u_C1R", "4x4", kLumaPositions, luma_at<4, 4>,
             luma_at_ref<4, 4>);
    add(
        "opxiInterpolateLuma_H264_8u_C1R", "16x16-mc22",
        [] {
            opxiInterpolateLuma_H264_8u_C1R(g_block, kStep, g_dst, kStep, 2, 2, {16, 16});
        },
        [] { opx::h264::ref::kInterp.luma8[32 + 10](g_block, kStep, g_dst, kStep, 16); });
    add(
        "opxiInterpolateLuma_H264_8u_C1R", "16x16-mc21",
        [] {
            opxiInterpolateLuma_H264_8u_C1R(g_block, kStep, g_dst, kStep, 2, 1, {16, 16});
        },
        [] { opx::h264::ref::kInterp.luma8[32 + 6](g_block, kStep, g_dst, kStep, 16); });
    add_mean("opxiInterpolateChroma_H264_8u_C1R", "8x8", kChromaPositions, chroma_at<8, 8>,
             chroma_at_ref<8, 8>);
    add_mean("opxiInterpolateChroma_H264_8u_C1R", "4x4", kChromaPositions, chroma_at<4, 4>,
             chroma_at_ref<4, 4>);
    add_mean("opxiInterpolateLumaBlock_H264_8u_P1R", "16x16-edge", kLumaPositions, luma_block_edge,
             nullptr);
    add_mean(
        "opxiInterpolateChroma_H264_8u_C2P2R", "8x8", kChromaPositions,
        [](int i) {
            const int p = i + 1;
            opxiInterpolateChroma_H264_8u_C2P2R(g_block, kStep, g_dst, g_dst + 16, kStep, p & 7,
                                                p >> 3, {8, 8});
        },
        nullptr);
    add_mean(
        "opxiInterpolateLuma_H264_16u_C1R", "16x16", kLumaPositions,
        [](int p) {
            const OpxInterpolate16u r{g_block16,
                                      kStep,
                                      g_dst16,
                                      kStep,
                                      static_cast<Opx32s>(p & 3),
                                      static_cast<Opx32s>(p >> 2),
                                      {16, 16},
                                      10};
            opxiInterpolateLuma_H264_16u_C1R(&r);
        },
        [](int p) {
            opx::h264::ref::kInterp.luma16[p](g_block16, kStep, g_dst16, kStep, 16, 16, 1023);
        });
    add(
        "opxiInterpolateBlock_H264_8u_P3P1R", "16x16",
        [] {
            opxiInterpolateBlock_H264_8u_P3P1R(g_block, g_block + 3, g_dst, 16, 16, kStep, kStep,
                                               kStep);
        },
        [] {
            opx::h264::ref::kInterp.average(g_block, kStep, g_block + 3, kStep, g_dst, kStep, 16,
                                            16);
        });
}
