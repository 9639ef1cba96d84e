// Block statistics and differences: exported functions against their portable kernels; blocks
// 64 bytes apart, references one byte past a 64-byte boundary.
#include "bench.hpp"
#include "metrics/stats.hpp"
#include "opxvc.h"

namespace {

constexpr int kStep = 64;

struct alignas(4096) Buffers {
    alignas(4096) Opx8u src[64 * 20];
    alignas(4096) Opx8u ref[64 * 20];
    struct alignas(1024) Out {
        Opx16s diff[256], sums[16];
        Opx32s a, b, v[4], m[4];
        Opx8u flag;
    } out;
} g;

const Opx8u* cand() { return g.ref + 1; }

struct Init {
    Init() {
        std::uint32_t x = 4242;
        for (int i = 0; i < 64 * 20; ++i) {
            g.src[i] = static_cast<Opx8u>((x = x * 1103515245 + 12345) >> 16);
            g.ref[i] = static_cast<Opx8u>(g.src[i] + static_cast<int>((x >> 20) % 31) - 15);
        }
    }
} g_init;

}  // namespace

OPX_BENCH_CASES(stats) {
    using opx::bench::add;
    namespace m = opx::metrics;
    const auto& r = m::ref::kStats;

    add(
        "opxiVariance16x16_8u32s", "16x16", [] { opxiVariance16x16_8u32s(g.src, kStep, &g.out.a); },
        [&r] { g.out.a = r.variance16(g.src, kStep); });
    add(
        "opxiVarSum8x8_8u32s_C1R", "8x8",
        [] { opxiVarSum8x8_8u32s_C1R(g.src, kStep, &g.out.a, &g.out.b); },
        [&r] { r.var_sum8u(g.src, kStep, &g.out.a, &g.out.b); });
    for (int mc : {0, 4, 8, 12})
        add(
            "opxiSqrDiff16x16_8u32s", "mcType" + std::to_string(mc),
            [mc] { opxiSqrDiff16x16_8u32s(g.src, kStep, cand(), kStep, mc, &g.out.a); },
            [mc, &r] { g.out.a = r.sqr_diff[mc >> 2](g.src, kStep, cand(), kStep); });
    add(
        "opxiSumsDiff8x8Blocks4x4_8u16s_C1", "no pDiff",
        [] { opxiSumsDiff8x8Blocks4x4_8u16s_C1(g.src, kStep, cand(), kStep, g.out.sums, nullptr); },
        [&r] { r.sums_diff8u[m::kSquare8](g.src, kStep, cand(), kStep, g.out.sums, nullptr); });
    add(
        "opxiSumsDiff16x16Blocks4x4_8u16s_C1", "pDiff",
        [] {
            opxiSumsDiff16x16Blocks4x4_8u16s_C1(g.src, kStep, cand(), kStep, g.out.sums,
                                                g.out.diff);
        },
        [&r] { r.sums_diff8u[m::kSquare16](g.src, kStep, cand(), kStep, g.out.sums, g.out.diff); });
    add(
        "opxiSub4x4_8u16s_C1R", "4x4",
        [] { opxiSub4x4_8u16s_C1R(g.src, kStep, cand(), kStep, g.out.diff, 8); },
        [&r] { r.sub8u[m::kSub4x4](g.src, kStep, cand(), kStep, g.out.diff, 8); });
    add(
        "opxiSub16x16_8u16s_C1R", "16x16",
        [] { opxiSub16x16_8u16s_C1R(g.src, kStep, cand(), kStep, g.out.diff, 32); },
        [&r] { r.sub8u[m::kSub16x16](g.src, kStep, cand(), kStep, g.out.diff, 32); });
    add(
        "opxiMeanAbsDev16x16_8u32s_C1R", "16x16",
        [] { opxiMeanAbsDev16x16_8u32s_C1R(g.src, kStep, &g.out.a); },
        [&r] { g.out.a = r.mean_abs_dev[m::kSquare16](g.src, kStep); });
    add(
        "opxiVarMeanDiff16x16_8u32s_C1R", "mcType12",
        [] {
            opxiVarMeanDiff16x16_8u32s_C1R(g.src, kStep, cand(), kStep, g.out.m, g.out.v, g.out.m,
                                           12);
        },
        [&r] {
            r.var_mean_diff[m::kVmd16x16][3](g.src, kStep, cand(), kStep, g.out.m, g.out.v,
                                             g.out.m);
        });
    add(
        "opxiEdgesDetect16x16_8u_C1R", "no early stop",
        [] { opxiEdgesDetect16x16_8u_C1R(g.src, kStep, 127, 224, &g.out.flag); },
        [&r] { g.out.flag = r.edges8u(g.src, kStep, 127, 224); });
}
