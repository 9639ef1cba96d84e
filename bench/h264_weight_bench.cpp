#include "bench.hpp"
#include "h264/decode/weight.hpp"
#include "opxvc.h"

namespace {
// The destination rows lie half a page from the source rows in the low 12 address bits, so that
// the timed stores never hold back loads through 4K aliasing (a cost of the layout, not of the
// functions).
struct alignas(4096) Buffers {
    Opx8u a[64 * 64];
    Opx8u b[64 * 64];
    Opx8u gap[2048];
    Opx8u d[64 * 64];
} g_buffers;
Opx8u* const g_a = g_buffers.a;
Opx8u* const g_b = g_buffers.b;
Opx8u* const g_d = g_buffers.d;

struct Fill {
    Fill() {
        for (int i = 0; i < 64 * 64; ++i) {
            g_a[i] = static_cast<Opx8u>(i * 7);
            g_b[i] = static_cast<Opx8u>(i * 13 + 5);
        }
    }
} g_fill;
}  // namespace

OPX_BENCH_CASES(h264_weight) {
    using namespace opx::h264;
    // logWD 5, weight 40, offset −3: a typical explicit weight.
    const UniWeight uni = {5, {40, 40}, {-3, -3}};
    opx::bench::add(
        "opxiUniDirWeightBlock_H264_8u_C1R", "16x16",
        [] {
            opxiUniDirWeightBlock_H264_8u_C1R(g_d, 64, 5, 40, -3, {16, 16});
        },
        [uni] { ref::kWeight.uni[15](g_d, 64, uni); });
    opx::bench::add(
        "opxiUniDirWeightBlock_H264_8u_C1R", "8x8",
        [] {
            opxiUniDirWeightBlock_H264_8u_C1R(g_d, 64, 5, 40, -3, {8, 8});
        },
        [uni] { ref::kWeight.uni[10](g_d, 64, uni); });
    const BiWeight bi = {6, {40, 40}, {24, 24}, {1, 1}};
    opx::bench::add(
        "opxiBiDirWeightBlock_H264_8u_P2P1R", "16x16",
        [] {
            opxiBiDirWeightBlock_H264_8u_P2P1R(g_a, g_b, g_d, 64, 64, 5, 40, 2, 24, 0, {16, 16});
        },
        [bi] { ref::kWeight.bi[15](g_a, 64, g_b, 64, g_d, 64, bi); });
    opx::bench::add(
        "opxiBiDirWeightBlock_H264_8u_P2P1R", "8x8",
        [] {
            opxiBiDirWeightBlock_H264_8u_P2P1R(g_a, g_b, g_d, 64, 64, 5, 40, 2, 24, 0, {8, 8});
        },
        [bi] { ref::kWeight.bi[10](g_a, 64, g_b, 64, g_d, 64, bi); });
    const BiWeight imp = {6, {20, 20}, {44, 44}, {0, 0}};
    opx::bench::add(
        "opxiBiDirWeightBlockImplicit_H264_8u_P2P1R", "16x16",
        [] {
            opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(g_a, g_b, g_d, 64, 64, 20, 44, {16, 16});
        },
        [imp] { ref::kWeight.bi[15](g_a, 64, g_b, 64, g_d, 64, imp); });
}
