// VC-1 primitives: exported functions against themselves with the portable tables (deblocking and
// smoothing: against the portable kernels). Coefficient blocks come
// from a forward transform of random residuals; C1R forms write to a block of their own so that
// no case times a chain of stores and reloads through one block.
#include <tuple>

#include "bench.hpp"
#include "opxvc.h"
#include "vc1/interp.hpp"
#include "vc1/loopfilter.hpp"
#include "vc1/residual.hpp"

namespace {

struct alignas(4096) Page {
    alignas(64) Opx16s coef[64];
    alignas(64) Opx16s levels[64];
    alignas(64) Opx16s out[64];
    alignas(64) Opx16s work[64];
    alignas(64) Opx16s had[64];
    alignas(64) Opx8u pix[64 * 8];
    OpxRoiSize nz;
    Opx32s sum;
};
// Pictures for the loop filters: an edge whose every line is filtered (the worst case) and
// 16-bit blocks for smoothing.
struct alignas(4096) FilterPage {
    alignas(64) Opx8u pic[64 * 24];
    alignas(64) Opx16s left[16 * 16];
    alignas(64) Opx16s right[16 * 16];
    alignas(64) Opx16s u[8 * 8], v[8 * 8], u2[8 * 8], v2[8 * 8];
    alignas(64) Opx8u out[64 * 20];
};
FilterPage g_filter;
// Reference picture for the interpolation cases (64 x 48, blocks near its middle) and tables.
struct alignas(4096) InterpPage {
    alignas(64) Opx8u ref[64 * 48];
    alignas(64) Opx8u lut[256];
};
InterpPage g_interp;
struct alignas(4096) InterpOut {
    Opx8u pad[3072];  // keeps the block's low 12 address bits away from the source rows
    alignas(64) Opx8u dst[16 * 16];
};
InterpOut g_interp_out;
Page g_page;

struct Init {
    Init() {
        std::uint32_t x = 4321;
        for (int i = 0; i < 64; ++i) {
            g_page.coef[i] =
                static_cast<Opx16s>(static_cast<int>((x = x * 1103515245 + 12345) >> 24) - 128);
            g_page.levels[i] = static_cast<Opx16s>((i * 7) % 5 - 2);
        }
        for (int i = 0; i < 64 * 8; ++i)
            g_page.pix[i] = static_cast<Opx8u>((x = x * 1103515245 + 12345) >> 24);
        opxiTransform8x8Fwd_VC1_16s_C1IR(g_page.coef, 16);
        // A step of 8 at column 32 and row 8, with a little texture: every line filtered, the
        // filter leaves the step in place (each call sees the same kind of edge again).
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 64; ++x)
                g_filter.pic[64 * y + x] =
                    static_cast<Opx8u>(100 + (x >= 32 ? 8 : 0) + (y >= 8 ? 8 : 0) + ((x + y) & 1));
        for (int i = 0; i < 256; ++i) {
            g_filter.left[i] = static_cast<Opx16s>(60 + i % 90);
            g_filter.right[i] = static_cast<Opx16s>(200 - i % 70);
        }
        for (int i = 0; i < 64 * 48; ++i)
            g_interp.ref[i] = static_cast<Opx8u>((x = x * 1103515245 + 12345) >> 24);
        for (int i = 0; i < 256; ++i) g_interp.lut[i] = static_cast<Opx8u>(255 - i);
        for (int i = 0; i < 64; ++i)
            g_filter.u[i] = g_filter.v[i] = g_filter.u2[i] = g_filter.v2[i] =
                static_cast<Opx16s>(128 + i);
    }
} g_init;

}  // namespace

OPX_BENCH_CASES(vc1) {
    using namespace opx::vc1;
    using opx::bench::add;
    using opx::bench::through_portable;
    namespace r = opx::vc1::ref;
    Page& p = g_page;

    // Inverse transforms: full, a 4x4 corner (the "sparse" case) and DC only.
    struct Inv {
        const char* name;
        OpxResult (*fn)(const Opx16s*, Opx32s, Opx16s*, Opx32s, OpxRoiSize);
        Shape shape;
        int w, h;
    };
    static const Inv inv[] = {
        {"opxiTransform8x8Inv_VC1_16s_C1R", opxiTransform8x8Inv_VC1_16s_C1R, k8x8, 8, 8},
        {"opxiTransform8x4Inv_VC1_16s_C1R", opxiTransform8x4Inv_VC1_16s_C1R, k8x4, 8, 4},
        {"opxiTransform4x8Inv_VC1_16s_C1R", opxiTransform4x8Inv_VC1_16s_C1R, k4x8, 4, 8},
        {"opxiTransform4x4Inv_VC1_16s_C1R", opxiTransform4x4Inv_VC1_16s_C1R, k4x4, 4, 4}};
    for (const Inv& f : inv) {
        const int step = 2 * f.w;
        for (const auto& [label, nz] : {std::pair<const char*, OpxRoiSize>{"full", {f.w, f.h}},
                                        {"4x4", {4, 4}},
                                        {"dc", {1, 1}}}) {
            if (f.w == 4 && f.h == 4 && std::string(label) == "4x4") continue;
            const auto call = [&p, f, nz, step] { f.fn(p.coef, step, p.out, step, nz); };
            add(f.name, label, call, through_portable(call));
        }
    }
    struct Fwd {
        const char* name;
        OpxResult (*fn)(const Opx16s*, Opx32s, Opx16s*, Opx32s);
        Shape shape;
        int w;
    };
    static const Fwd fwd[] = {
        {"opxiTransform8x8Fwd_VC1_16s_C1R", opxiTransform8x8Fwd_VC1_16s_C1R, k8x8, 8},
        {"opxiTransform8x4Fwd_VC1_16s_C1R", opxiTransform8x4Fwd_VC1_16s_C1R, k8x4, 8},
        {"opxiTransform4x8Fwd_VC1_16s_C1R", opxiTransform4x8Fwd_VC1_16s_C1R, k4x8, 4},
        {"opxiTransform4x4Fwd_VC1_16s_C1R", opxiTransform4x4Fwd_VC1_16s_C1R, k4x4, 4}};
    for (const Fwd& f : fwd)
    {
        const auto call = [&p, f] { f.fn(p.coef, 2 * f.w, p.out, 2 * f.w); };
        add(f.name, "block", call, through_portable(call));
    }

    // Quantisers (q = 11: a multiplying class; q = 15: the class with the added dividend).
    for (int q : {11, 15}) {
        const std::string label = "q" + std::to_string(q);
        add("opxiQuantIntraUniform_VC1_16s_C1IR", label, [&p, q] { opxiQuantIntraUniform_VC1_16s_C1IR(p.work, 16, q); },
        through_portable([&p, q] { opxiQuantIntraUniform_VC1_16s_C1IR(p.work, 16, q); }));
        add("opxiQuantInterNonuniform_VC1_16s_C1IR", label, [&p, q] {
                opxiQuantInterNonuniform_VC1_16s_C1IR(p.work, 16, q, {8, 8});
            },
        through_portable([&p, q] {
                opxiQuantInterNonuniform_VC1_16s_C1IR(p.work, 16, q, {8, 8});
            }));
    }
    add("opxiQuantInvIntraUniform_VC1_16s_C1R", "8x8", [&p] { opxiQuantInvIntraUniform_VC1_16s_C1R(p.levels, 16, p.out, 16, 11, &p.nz); },
        through_portable([&p] { opxiQuantInvIntraUniform_VC1_16s_C1R(p.levels, 16, p.out, 16, 11, &p.nz); }));
    add("opxiQuantInvInterNonuniform_VC1_16s_C1R", "8x8", [&p] {
            opxiQuantInvInterNonuniform_VC1_16s_C1R(p.levels, 16, p.out, 16, 11, {8, 8}, &p.nz);
        },
        through_portable([&p] {
            opxiQuantInvInterNonuniform_VC1_16s_C1R(p.levels, 16, p.out, 16, 11, {8, 8}, &p.nz);
        }));
    add("opxiQuantInvInterUniform_VC1_16s_C1R", "4x4", [&p] {
            opxiQuantInvInterUniform_VC1_16s_C1R(p.levels, 8, p.out, 8, 11, {4, 4}, &p.nz);
        },
        through_portable([&p] {
            opxiQuantInvInterUniform_VC1_16s_C1R(p.levels, 8, p.out, 8, 11, {4, 4}, &p.nz);
        }));
    add("opxiHadamard8x8Sum_VC1_8u16s", "8x8", [&p] { opxiHadamard8x8Sum_VC1_8u16s(p.pix, 64, p.had, &p.sum); },
        through_portable([&p] { opxiHadamard8x8Sum_VC1_8u16s(p.pix, 64, p.had, &p.sum); }));
    add("opxiHadamard8x8Sum_VC1_16s", "8x8", [&p] { opxiHadamard8x8Sum_VC1_16s(p.coef, 16, p.had, &p.sum); },
        through_portable([&p] { opxiHadamard8x8Sum_VC1_16s(p.coef, 16, p.had, &p.sum); }));

    // Deblocking, every segment enabled (worst case).
    FilterPage& f = g_filter;
    Opx8u* ver = f.pic + 64 * 4 + 32;
    Opx8u* hor = f.pic + 64 * 8 + 16;
    add(
        "opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR", "worst",
        [ver] { opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR(ver, 12, 64, 0); },
        [ver] { r::kLoopFilter.deblock[kLumaVer](ver, 64, 12, 15); });
    add(
        "opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR", "worst",
        [hor] { opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR(hor, 12, 64, 0); },
        [hor] { r::kLoopFilter.deblock[kLumaHor](hor, 64, 12, 15); });
    add(
        "opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR", "worst",
        [ver] { opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR(ver, 12, 64, 0); },
        [ver] { r::kLoopFilter.deblock[kChromaVer](ver, 64, 12, 3); });
    add(
        "opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR", "worst",
        [hor] { opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR(hor, 12, 64, 0); },
        [hor] { r::kLoopFilter.deblock[kChromaHor](hor, 64, 12, 3); });
    add(
        "opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR", "worst",
        [ver] { opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR(ver, 12, 64, 0, 0); },
        [ver] { r::kLoopFilter.deblock[kChromaVerC2](ver, 64, 12, 15); });
    add(
        "opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR", "worst",
        [hor] { opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR(hor, 12, 64, 0, 0); },
        [hor] { r::kLoopFilter.deblock[kChromaHorC2](hor, 64, 12, 15); });

    // Smoothing: the portable figure runs the same halves through the portable kernels.
    static constexpr SmoothRows kRows = {{0, 1, 2, 3, 4, 5, 6, 7},
                                         {0, 1, 2, 3, 4, 5, 6, 7},
                                         {0, 1, 2, 3, 4, 5, 6, 7},
                                         {0, 1, 0, 1, 0, 1, 0, 1}};
    add(
        "opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R", "16 rows",
        [&f] {
            opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R(f.left + 14, 32, f.right, 32, f.out + 2, 64, 0,
                                                    15);
        },
        [&f] {
            r::kLoopFilter.smooth_ver(f.left + 14, 32, f.right, 32, f.out + 2, 64, 1, kRows);
            r::kLoopFilter.smooth_ver(f.left + 14 + 128, 32, f.right + 128, 32, f.out + 2 + 512, 64,
                                      1, kRows);
        });
    add(
        "opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R", "16 cols",
        [&f] {
            opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R(f.left + 224, 32, f.right, 32, f.out + 128, 64,
                                                    15);
        },
        [&f] {
            r::kLoopFilter.smooth_hor(f.left + 224, 32, f.right, 32, f.out + 128, 64, 1);
            r::kLoopFilter.smooth_hor(f.left + 232, 32, f.right + 8, 32, f.out + 136, 64, 1);
        });
    add(
        "opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R", "8x2",
        [&f] {
            opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R(f.u + 48, 16, f.u2, 16, f.v + 48, 16, f.v2,
                                                        16, f.out + 128, 64);
        },
        [&f] {
            r::kLoopFilter.smooth_hor(f.u + 48, 16, f.u2, 16, f.out + 128, 64, 2);
            r::kLoopFilter.smooth_hor(f.v + 48, 16, f.v2, 16, f.out + 129, 64, 2);
        });

    // Interpolation: means over the 15 fractional (dx, dy) positions (mean15) or all 16.
    using opx::bench::add_mean;
    const Opx8u* src = g_interp.ref + 64 * 16 + 24;
    Opx8u* dst = g_interp_out.dst;
    auto qp_case = [&](const char* name, const char* label,
                       OpxResult (*fn)(const OpxVC1Interpolate8u*), int w, int h,
                       InterpFn portable) {
        add_mean(
            name, label, 15,
            [=](int pos) {
                const int q = pos + 1;
                OpxVC1Interpolate8u p{src, 64, dst, 16, q & 3, q >> 2, {w, h}, 0};
                fn(&p);
            },
            [=](int pos) { portable(src, 64, dst, 16, (pos + 1) & 3, (pos + 1) >> 2, 0); });
    };
    qp_case("opxiInterpolateQPBicubic_VC1_8u_C1R", "16x16 mean15",
            opxiInterpolateQPBicubic_VC1_8u_C1R, 16, 16, r::kInterp.bicubic[2]);
    qp_case("opxiInterpolateQPBicubic_VC1_8u_C1R", "8x8 mean15",
            opxiInterpolateQPBicubic_VC1_8u_C1R, 8, 8, r::kInterp.bicubic[0]);
    qp_case("opxiInterpolateQPBilinear_VC1_8u_C1R", "8x8 mean15",
            opxiInterpolateQPBilinear_VC1_8u_C1R, 8, 8, r::kInterp.bilinear[1]);
    qp_case("opxiInterpolateQPBilinear_VC1_8u_C2R", "8x8 mean15",
            opxiInterpolateQPBilinear_VC1_8u_C2R, 8, 8, r::kInterp.bilinear_c2[0]);
    // Block forms: inside without tables (straight to the kernel), at the top-left corner with
    // a table (padded, compensated support).
    for (const auto& [label, x, y, lut] :
         {std::tuple<const char*, int, int, bool>{"16x16 inside", 24, 16, false},
          {"16x16 corner+lut", -5, -3, true}}) {
        add(
            "opxiInterpolateICBicubicBlock_VC1_8u_C1R", label,
            [=] {
                OpxVC1InterpolateBlockIC8u p{g_interp.ref,
                                             64,
                                             dst,
                                             16,
                                             lut ? g_interp.lut : nullptr,
                                             nullptr,
                                             {64, 48},
                                             {16, 16},
                                             {x, y},
                                             1,
                                             2,
                                             0,
                                             0,
                                             0,
                                             0};
                opxiInterpolateICBicubicBlock_VC1_8u_C1R(&p);
            },
            nullptr);
    }
    add(
        "opxiInterpolateICBilinearBlock_VC1_8u_C2R", "8x8 corner+lut",
        [=] {
            OpxVC1InterpolateBlockIC8u p{g_interp.ref,
                                         64,
                                         dst,
                                         16,
                                         g_interp.lut,
                                         g_interp.lut,
                                         {32, 48},
                                         {8, 8},
                                         {-4, -3},
                                         1,
                                         2,
                                         1,
                                         0,
                                         0,
                                         0};
            opxiInterpolateICBilinearBlock_VC1_8u_C2R(&p);
        },
        nullptr);
    add(
        "opxiRangeMapping_VC1_8u_C1R", "64x16",
        [] {
            opxiRangeMapping_VC1_8u_C1R(g_interp.ref, 64, g_interp.ref + 64 * 24, 64, {64, 16}, 5);
        },
        [] { r::kInterp.range_map(g_interp.ref, 64, g_interp.ref + 64 * 24, 64, 64, 16, 5); });
}
