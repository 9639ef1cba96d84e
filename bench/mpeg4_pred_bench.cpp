// MPEG-4 quarter-sample copies, OBMC, H.263/H.261 loop filters and MPEG-4 post-filters: each
// exported function under the AVX2 tables and under the portable tables (the portable case selects
// the portable tables for its call and hands the choice back afterwards). In-place filters restore
// their input block before each call (a copy of a few rows, in both figures).
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench.hpp"
#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace {

template <class F>
auto portable(F f) {
    return opx::bench::through_portable(f);
}

constexpr int kStep = 64;

struct Planes {
    std::vector<Opx8u> ref = std::vector<Opx8u>(kStep * 64);
    std::vector<Opx8u> work = std::vector<Opx8u>(kStep * 32);
    std::vector<Opx8u> keep = std::vector<Opx8u>(kStep * 32);
    std::vector<Opx8u> dst = std::vector<Opx8u>(kStep * 32);
    Planes() {
        std::mt19937 rng(7);
        for (Opx8u& v : ref) v = static_cast<Opx8u>(rng());
        // blocky content for the filters: flat 8x8 blocks with small noise and steps between them
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < kStep; ++x)
                keep[static_cast<std::size_t>(y * kStep + x)] = static_cast<Opx8u>(
                    100 + ((x / 8 + y / 8) & 1) * 12 + static_cast<int>(rng() % 5));
        work = keep;
    }
    void restore(int rows) {
        std::memcpy(work.data(), keep.data(), static_cast<std::size_t>(rows) * kStep);
    }
};

}  // namespace

OPX_BENCH_CASES(mpeg4_pred) {
    using opx::bench::add;
    using opx::bench::add_mean;
    static Planes p;
    const Opx8u* src = p.ref.data() + 16 * kStep + 16;

    // ---- quarter-sample copies, every position, and the mean over them
    for (int acc = 0; acc < 16; ++acc) {
        auto c16 = [src, acc] {
            opxiCopy16x16QP_MPEG4_8u_C1R(src, kStep, p.dst.data(), kStep, acc, 0);
        };
        add("opxiCopy16x16QP_MPEG4_8u_C1R", "acc" + std::to_string(acc), c16, portable(c16));
        auto c8 = [src, acc] {
            opxiCopy8x8QP_MPEG4_8u_C1R(src, kStep, p.dst.data(), kStep, acc, 1);
        };
        add("opxiCopy8x8QP_MPEG4_8u_C1R", "acc" + std::to_string(acc), c8, portable(c8));
    }
    auto mix16 = [src](int acc) {
        opxiCopy16x16QP_MPEG4_8u_C1R(src, kStep, p.dst.data(), kStep, acc, acc & 1);
    };
    add_mean("opxiCopy16x16QP_MPEG4_8u_C1R", "mix", 16, mix16,
             [mix16](int acc) { portable([mix16, acc] { mix16(acc); })(); });
    auto mix8 = [src](int acc) {
        opxiCopy8x8QP_MPEG4_8u_C1R(src, kStep, p.dst.data(), kStep, acc, acc & 1);
    };
    add_mean("opxiCopy8x8QP_MPEG4_8u_C1R", "mix", 16, mix8,
             [mix8](int acc) { portable([mix8, acc] { mix8(acc); })(); });

    // ---- OBMC: all five vectors different, or one neighbour equal to the current vector
    static const OpxMotionVec diff[5] = {{3, 1}, {-5, 2}, {6, -3}, {1, 7}, {-2, -6}};
    static const OpxMotionVec one[5] = {{3, 1}, {3, 1}, {6, -3}, {1, 7}, {-2, -6}};
    struct ObmcCase {
        const char* name;
        OpxResult (*fn)(const Opx8u*, Opx32s, Opx8u*, Opx32s, const OpxMotionVec*,
                        const OpxMotionVec*, const OpxMotionVec*, const OpxMotionVec*,
                        const OpxMotionVec*, Opx32s);
    };
    for (const ObmcCase& oc :
         {ObmcCase{"opxiOBMC8x8HP_MPEG4_8u_C1R", opxiOBMC8x8HP_MPEG4_8u_C1R},
          ObmcCase{"opxiOBMC16x16HP_MPEG4_8u_C1R", opxiOBMC16x16HP_MPEG4_8u_C1R},
          ObmcCase{"opxiOBMC8x8QP_MPEG4_8u_C1R", opxiOBMC8x8QP_MPEG4_8u_C1R}}) {
        auto fn = oc.fn;
        auto all = [fn, src] {
            fn(src, kStep, p.dst.data(), kStep, &diff[0], &diff[1], &diff[2], &diff[3], &diff[4],
               0);
        };
        add(oc.name, "alldiff", all, portable(all));
        auto eq = [fn, src] {
            fn(src, kStep, p.dst.data(), kStep, &one[0], &one[1], &one[2], &one[3], &one[4], 0);
        };
        add(oc.name, "oneequal", eq, portable(eq));
    }

    // ---- GMC warps of a macroblock inside a 64x64 sprite (VOP the same rectangle), 1/16
    // accuracy: one point (a translation) and three points (small zoom and rotation)
    struct Warp {
        std::vector<unsigned char> mem = std::vector<unsigned char>(512);
        OpxWarpStateMPEG4* st = reinterpret_cast<OpxWarpStateMPEG4*>(mem.data());
        Warp(int points, const Opx32s* du, const Opx32s* dv) {
            const OpxRect rc{0, 0, 64, 64};
            opxiWarpInit_MPEG4(st, du, dv, points, 2, 3, 0, 0, 3, &rc, &rc);
        }
    };
    static const Opx32s du[3] = {5, 3, -2}, dv[3] = {-3, 2, 3};
    static Warp w1(1, du, dv), w3(3, du, dv);
    static const OpxRect mb{16, 16, 16, 16}, cb{8, 8, 8, 8};
    auto wl1 = [] {
        opxiWarpLuma_MPEG4_8u_C1R(p.ref.data(), kStep, p.dst.data(), kStep, &mb, w1.st);
    };
    add("opxiWarpLuma_MPEG4_8u_C1R", "16x16_1pt", wl1, portable(wl1));
    auto wl3 = [] {
        opxiWarpLuma_MPEG4_8u_C1R(p.ref.data(), kStep, p.dst.data(), kStep, &mb, w3.st);
    };
    add("opxiWarpLuma_MPEG4_8u_C1R", "16x16_3pt", wl3, portable(wl3));
    auto wc3 = [] {
        opxiWarpChroma_MPEG4_8u_P2R(p.ref.data(), kStep, p.ref.data() + 32, kStep, p.dst.data(),
                                    kStep, p.dst.data() + 16, kStep, &cb, w3.st);
    };
    add("opxiWarpChroma_MPEG4_8u_P2R", "8x8_3pt", wc3, portable(wc3));

    // ---- H.263 / H.261 loop filters
    auto h263h = [] {
        p.restore(16);
        opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(p.work.data() + 8 * kStep + 8, kStep, 16);
    };
    add("opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR", "hor", h263h, portable(h263h));
    auto h263v = [] {
        p.restore(16);
        opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(p.work.data() + 8 * kStep + 8, kStep, 16);
    };
    add("opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR", "ver", h263v, portable(h263v));
    auto h261 = [src] { opxiFilter8x8_H261_8u_C1R(src, kStep, p.dst.data(), kStep); };
    add("opxiFilter8x8_H261_8u_C1R", "random", h261, portable(h261));

    // ---- MPEG-4 post-filters: default mode (thr2 past any count) and DC offset mode (thr2 0)
    auto m4def = [] {
        p.restore(24);
        opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(p.work.data() + 8 * kStep + 8, kStep, 16, 2,
                                                     10);
    };
    add("opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR", "default", m4def, portable(m4def));
    auto m4dc = [] {
        p.restore(24);
        opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(p.work.data() + 8 * kStep + 8, kStep, 16, 2,
                                                     0);
    };
    add("opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR", "dcoffset", m4dc, portable(m4dc));
    auto m4vdef = [] {
        p.restore(24);
        opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR(p.work.data() + 8 * kStep + 8, kStep, 16, 2,
                                                     10);
    };
    add("opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR", "default", m4vdef, portable(m4vdef));
    static Opx32s thr[6];
    auto dthr = [] {
        opxiFilterDeringingThreshold_MPEG4_8u_P3R(p.keep.data(), kStep, p.keep.data() + 16, kStep,
                                                  p.keep.data() + 24, kStep, thr);
    };
    add("opxiFilterDeringingThreshold_MPEG4_8u_P3R", "threshold", dthr, portable(dthr));
    auto dsm = [] {
        opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(p.keep.data() + 9 * kStep + 9, kStep,
                                                  p.dst.data(), kStep, 16, 104);
    };
    add("opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R", "smooth", dsm, portable(dsm));
}
