// H.264 forward transforms, quantisation and CAVLC syntax elements: exported functions against
// their portable kernels. Residual blocks hold 8-bit-picture residuals (within +-255), levels a
// typical mix at qp 26.
#include "bench.hpp"
#include "h264/encode/cavlc_enc.hpp"
#include "h264/encode/fwd.hpp"
#include "metrics/stats.hpp"
#include "opxvc.h"

namespace {

constexpr Opx16s kZigzag16[16] = {0, 1, 5, 6, 2, 4, 7, 12, 3, 8, 11, 13, 9, 10, 14, 15};
constexpr Opx32s kScan32[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

struct alignas(4096) Page {
    alignas(64) Opx8u cur[64 * 16];
    alignas(64) Opx8u pred[64 * 16];
    alignas(64) Opx16s res[64];
    alignas(64) Opx16s coef[64];
    alignas(64) Opx16s dc[16];
    alignas(64) Opx16s sparse[16], dense[16], ac[16];
    // Rings of varied blocks for the CAVLC cases: a fixed block (or a ring of a few hundred) lets
    // the branch predictor learn every decision of a loop over the coefficients, which an encoder
    // never sees; 2048 blocks a kind it cannot.
    alignas(64) Opx16s ring[3][2048][16];
    alignas(64) Opx16s cdc[8];
    alignas(64) Opx16s scan64[64];
    alignas(64) Opx16u scale64[64];
    struct alignas(1024) Out {
        Opx16s levels[64], t[16];
        Opx32s num, last;
        Opx8u t1, signs, tc, tz, runs[16];
    } out;
} g;

struct Init {
    Init() {
        std::uint32_t x = 777;
        auto rnd = [&x] { return (x = x * 1103515245 + 12345) >> 16; };
        for (int i = 0; i < 64 * 16; ++i) {
            g.cur[i] = static_cast<Opx8u>(rnd());
            g.pred[i] = static_cast<Opx8u>(g.cur[i] + static_cast<int>(rnd() % 41) - 20);
        }
        for (int i = 0; i < 64; ++i) {
            g.res[i] = static_cast<Opx16s>(static_cast<int>(rnd() % 101) - 50);
            g.coef[i] = static_cast<Opx16s>(static_cast<int>(rnd() % 1601) - 800);
            g.scan64[i] = static_cast<Opx16s>(i);
            g.scale64[i] = static_cast<Opx16u>(13107 / 16 * 16 / 16);
        }
        for (int i = 0; i < 16; ++i) {
            g.dc[i] = static_cast<Opx16s>(static_cast<int>(rnd() % 4001) - 2000);
            g.dense[i] = static_cast<Opx16s>(static_cast<int>(rnd() % 9) - 4);
            g.sparse[i] = 0;
            g.ac[i] = i == 0 ? 0 : g.dense[i] & (i < 6 ? ~0 : 0);
        }
        g.sparse[0] = 5, g.sparse[1] = -1, g.sparse[4] = 1;
        for (int kind = 0; kind < 3; ++kind)
            for (auto& b : g.ring[kind]) {
                // sparse: 1..4 coefficients in the first 8 scan positions; dense: most non-zero;
                // ac: position 0 empty, 1..6 coefficients.
                for (int i = 0; i < 16; ++i) b[i] = 0;
                const int n = kind == 1 ? 10 + static_cast<int>(rnd() % 7) : 1 + static_cast<int>(rnd() % (kind == 0 ? 4 : 6));
                for (int j = 0; j < n; ++j) {
                    const int pos = kind == 1 ? static_cast<int>(rnd() % 16) : 1 + static_cast<int>(rnd() % 8) - (kind == 0);
                    const int mag = rnd() % 3 ? 1 : 2 + static_cast<int>(rnd() % 6);
                    b[kScan32[pos]] = static_cast<Opx16s>(rnd() & 1 ? mag : -mag);
                }
            }
        for (int i = 0; i < 8; ++i) g.cdc[i] = static_cast<Opx16s>(i % 3 ? 0 : 3 - i);
    }
} g_init;

}  // namespace

OPX_BENCH_CASES(h264_encode) {
    using opx::bench::add;
    namespace e = opx::h264::enc;
    namespace m = opx::metrics;
    const auto& rf = e::ref::kFwd;
    const auto& rc = e::ref::kCavlcEnc;
    const auto& rs = m::ref::kStats;

    add(
        "opxiTransformQuantFwd4x4_H264_16s_C1", "qp26",
        [] {
            opxiTransformQuantFwd4x4_H264_16s_C1(g.res, g.out.levels, 26, &g.out.num, 1, kZigzag16,
                                                 &g.out.last, nullptr);
        },
        [&rf] {
            rf.trans_quant4x4(g.res, g.out.levels, 26, &g.out.num, 1, kZigzag16, &g.out.last,
                              nullptr);
        });
    add(
        "Sub4x4+TransformQuantFwd4x4", "qp26",
        [] {
            opxiSub4x4_8u16s_C1R(g.cur, 64, g.pred, 64, g.coef, 8);
            opxiTransformQuantFwd4x4_H264_16s_C1(g.coef, g.out.levels, 26, &g.out.num, 1,
                                                 kZigzag16, &g.out.last, nullptr);
        },
        [&rf, &rs] {
            rs.sub8u[m::kSub4x4](g.cur, 64, g.pred, 64, g.coef, 8);
            rf.trans_quant4x4(g.coef, g.out.levels, 26, &g.out.num, 1, kZigzag16, &g.out.last,
                              nullptr);
        });
    add(
        "opxiQuantizeResidual4x4Fwd_H264_16s_C1", "qp26",
        [] {
            opxiQuantizeResidual4x4Fwd_H264_16s_C1(g.coef, g.out.levels, &g.out.num, &g.out.last,
                                                   nullptr, kZigzag16, 26, 0);
        },
        [&rf] {
            rf.quant4x4(g.coef, g.out.levels, &g.out.num, &g.out.last, nullptr, kZigzag16, 26, 0);
        });
    add(
        "opxiQuantLuma8x8_H264_16s_C1", "qp26",
        [] {
            opxiQuantLuma8x8_H264_16s_C1(g.coef, g.out.levels, 4, 1, g.scan64, g.scale64,
                                         &g.out.num, &g.out.last);
        },
        [&rf] {
            rf.quant8x8(g.coef, g.out.levels, 4, 1, g.scan64, g.scale64, &g.out.num, &g.out.last);
        });
    add(
        "Sub8x8+TransformFwdLuma8x8", "8x8",
        [] {
            opxiSub8x8_8u16s_C1R(g.cur, 64, g.pred, 64, g.coef, 16);
            opxiTransformFwdLuma8x8_H264_16s_C1(g.coef, g.out.levels);
        },
        [&rf, &rs] {
            rs.sub8u[m::kSub8x8](g.cur, 64, g.pred, 64, g.coef, 16);
            rf.transform8x8(g.coef, g.out.levels);
        });
    add(
        "opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I", "qp26",
        [] {
            for (int i = 0; i < 16; ++i) g.out.levels[i] = g.dc[i];
            opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(g.out.levels, g.out.t, 26, &g.out.num, 1,
                                                        kZigzag16, &g.out.last, nullptr);
        },
        [&rf] {
            for (int i = 0; i < 16; ++i) g.out.levels[i] = g.dc[i];
            rf.luma_dc(g.out.levels, g.out.t, 26, &g.out.num, 1, kZigzag16, &g.out.last, nullptr);
        });
    add(
        "opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I", "qp26",
        [] {
            for (int i = 0; i < 4; ++i) g.out.levels[i] = g.dc[i];
            opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(g.out.levels, g.out.t, 26, &g.out.num,
                                                          1, 1, nullptr);
        },
        [&rf] {
            for (int i = 0; i < 4; ++i) g.out.levels[i] = g.dc[i];
            rf.chroma_dc2x2(g.out.levels, g.out.t, 26, &g.out.num, 1, 1, nullptr);
        });

    const char* labels[3] = {"sparse", "dense", "ac"};
    for (int kind = 0; kind < 3; ++kind) {
        const Opx8u first = kind == 2 ? 1 : 0;
        add(
            "opxiEncodeCoeffsCAVLC_H264_16s", labels[kind],
            [kind, first, n = 0u]() mutable {
                opxiEncodeCoeffsCAVLC_H264_16s(g.ring[kind][n++ & 2047], first, kScan32, 15,
                                               &g.out.t1, &g.out.signs, &g.out.tc, &g.out.tz,
                                               g.out.levels, g.out.runs);
            },
            [kind, first, n = 0u, &rc]() mutable {
                rc.block(g.ring[kind][n++ & 2047], first, kScan32, 15, &g.out.t1, &g.out.signs,
                         &g.out.tc, &g.out.tz, g.out.levels, g.out.runs);
            });
    }
    add(
        "opxiEncodeChromaDcCoeffsCAVLC_H264_16s", "2x2",
        [] {
            opxiEncodeChromaDcCoeffsCAVLC_H264_16s(g.cdc, &g.out.t1, &g.out.signs, &g.out.tc,
                                                   &g.out.tz, g.out.levels, g.out.runs);
        },
        [&rc] {
            rc.dc2x2(g.cdc, &g.out.t1, &g.out.signs, &g.out.tc, &g.out.tz, g.out.levels,
                     g.out.runs);
        });
    add(
        "opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s", "2x4",
        [] {
            opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s(g.cdc, &g.out.t1, &g.out.signs, &g.out.tc,
                                                      &g.out.tz, g.out.levels, g.out.runs);
        },
        [&rc] {
            rc.dc2x4(g.cdc, &g.out.t1, &g.out.signs, &g.out.tc, &g.out.tz, g.out.levels,
                     g.out.runs);
        });
}
