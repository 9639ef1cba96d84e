#include <cstddef>

#include "bench.hpp"
#include "frame/block.hpp"
#include "opxvc.h"

namespace {
// The rows that are read (bytes 0..1107 of a page for the sources, 0..1151 for the residuals) and
// the rows that are written (bytes 2048..3087 of a page) never share their low 12 address bits:
// a store whose address matched a pending load's there would hold the load back (4K aliasing),
// a cost of where the buffers happen to lie rather than of the functions.
struct alignas(4096) Buffers {
    Opx8u src[64 * 64];
    Opx8u src2[64 * 64];
    Opx16s res[32 * 32];  // 2048 bytes: the destination starts half a page on
    Opx8u dst[64 * 64];
} g_buffers;
static_assert(offsetof(Buffers, dst) % 4096 == 2048);
Opx8u* const g_src = g_buffers.src;
Opx8u* const g_src2 = g_buffers.src2;
Opx8u* const g_dst = g_buffers.dst;
Opx16s* const g_res = g_buffers.res;
Opx16s* const g_res2 = g_buffers.res + 512;  // a second residual block (two-plane forms)
}  // namespace

OPX_BENCH_CASES(frame_copy) {
    using namespace opx::frame;
    opx::bench::add(
        "opxiCopy16x16_8u_C1R", "16x16", [] { opxiCopy16x16_8u_C1R(g_src + 1, 64, g_dst, 64); },
        [] { ref::kBlock.copy[kCopy16x16](g_src + 1, 64, g_dst, 64); });
    opx::bench::add(
        "opxiCopy8x8_8u_C1R", "8x8", [] { opxiCopy8x8_8u_C1R(g_src + 1, 64, g_dst, 64); },
        [] { ref::kBlock.copy[kCopy8x8](g_src + 1, 64, g_dst, 64); });
}

// Sources start one byte past a cache line (unaligned, as most motion vectors make them).
OPX_BENCH_CASES(frame_block) {
    using namespace opx::frame;
    using opx::bench::add;
    for (int acc = 0; acc < 4; ++acc) {
        const std::string label = "acc" + std::to_string(acc);
        add(
            "opxiCopy16x16HP_8u_C1R", label,
            [acc] { opxiCopy16x16HP_8u_C1R(g_src + 1, 64, g_dst, 64, acc, 0); },
            [acc] { ref::kBlock.copy_hp[kHp16x16][hp_index(acc, 0)](g_src + 1, 64, g_dst, 64); });
    }
    add(
        "opxiCopy8x8HP_8u_C1R", "acc3",
        [] { opxiCopy8x8HP_8u_C1R(g_src + 1, 64, g_dst, 64, 3, 0); },
        [] { ref::kBlock.copy_hp[kHp8x8][hp_index(3, 0)](g_src + 1, 64, g_dst, 64); });
    add(
        "opxiInterpolateAverage16x16_8u_C1IR", "acc3",
        [] { opxiInterpolateAverage16x16_8u_C1IR(g_src + 1, 64, g_dst, 64, 3, 0); },
        [] { ref::kBlock.interp_average[kHp16x16][hp_index(3, 0)](g_src + 1, 64, g_dst, 64); });
    add(
        "opxiAverage16x16_8u_C1R", "16x16",
        [] { opxiAverage16x16_8u_C1R(g_src + 1, 64, g_src2 + 3, 64, g_dst, 64); },
        [] { ref::kBlock.average[kCopy16x16](g_src + 1, 64, g_src2 + 3, 64, g_dst, 64); });
    add(
        "opxiAdd8x8_16s8u_C1IRS", "8x8", [] { opxiAdd8x8_16s8u_C1IRS(g_res, 16, g_dst, 64); },
        [] { ref::kBlock.add_8x8(g_res, 16, g_dst, 64); });
    // The four 8x8 blocks of a 16x16 macroblock in one timed call (no block is updated twice in
    // a row, as in a decoder; the "8x8" case above chains each call on the previous one's
    // stores).
    add(
        "opxiAdd8x8_16s8u_C1IRS", "4x8x8",
        [] {
            opxiAdd8x8_16s8u_C1IRS(g_res, 16, g_dst, 64);
            opxiAdd8x8_16s8u_C1IRS(g_res + 64, 16, g_dst + 8, 64);
            opxiAdd8x8_16s8u_C1IRS(g_res + 128, 16, g_dst + 8 * 64, 64);
            opxiAdd8x8_16s8u_C1IRS(g_res + 192, 16, g_dst + 8 * 64 + 8, 64);
        },
        [] {
            ref::kBlock.add_8x8(g_res, 16, g_dst, 64);
            ref::kBlock.add_8x8(g_res + 64, 16, g_dst + 8, 64);
            ref::kBlock.add_8x8(g_res + 128, 16, g_dst + 8 * 64, 64);
            ref::kBlock.add_8x8(g_res + 192, 16, g_dst + 8 * 64 + 8, 64);
        });
    add(
        "opxiAdd8x8HP_16s8u_C1RS", "acc3",
        [] { opxiAdd8x8HP_16s8u_C1RS(g_res, 16, g_src + 1, 64, g_dst, 64, 3, 0); },
        [] { ref::kBlock.add_hp_8x8[hp_index(3, 0)](g_res, 16, g_src + 1, 64, g_dst, 64); });
    add(
        "opxiAddC8x8_16s8u_C1IR", "8x8", [] { opxiAddC8x8_16s8u_C1IR(-7, g_dst, 64); },
        [] { ref::kBlock.add_const_8x8(-7, g_dst, 64); });
    for (int mc_type : {0, 12}) {
        const std::string label = "mcType" + std::to_string(mc_type);
        add(
            "opxiMC16x16_8u_C1", label,
            [mc_type] { opxiMC16x16_8u_C1(g_src + 1, 64, g_res, 32, g_dst, 64, mc_type, 0); },
            [mc_type] {
                ref::kBlock.mc[kMc16x16][mc_index(mc_type, 0)](g_src + 1, 64, g_res, 32, g_dst, 64);
            });
    }
    add(
        "opxiMC8x8_8u_C1", "mcType12",
        [] { opxiMC8x8_8u_C1(g_src + 1, 64, g_res, 16, g_dst, 64, 12, 0); },
        [] { ref::kBlock.mc[kMc8x8][mc_index(12, 0)](g_src + 1, 64, g_res, 16, g_dst, 64); });
    add(
        "opxiMC16x8UV_8u_C1", "mcType12",
        [] { opxiMC16x8UV_8u_C1(g_src + 1, 64, g_res, 32, g_dst, 64, 12, 0); },
        [] { ref::kBlock.mc[kMc16x8UV][mc_index(12, 0)](g_src + 1, 64, g_res, 32, g_dst, 64); });
    add(
        "opxiMC4x4_8u_C1", "mcType12",
        [] { opxiMC4x4_8u_C1(g_src + 1, 64, g_res, 8, g_dst, 64, 12, 0); },
        [] {
            ref::kMcSmall.mc[kMc4x4][mc_small_index(12)](g_src + 1, 64, g_res, 8, g_dst, 64, 0);
        });
    add(
        "opxiMC16x16B_8u_C1", "mcType12_12",
        [] { opxiMC16x16B_8u_C1(g_src + 1, 64, 12, g_src2 + 3, 64, 12, g_res, 32, g_dst, 64, 0); },
        [] {
            ref::kBlock.mc_b[kMc16x16][mc_b_index(12, 12, 0)](g_src + 1, 64, g_src2 + 3, 64, g_res,
                                                              32, g_dst, 64);
        });
    add(
        "opxiMC8x8_16s8u_P2C2R", "mcType12",
        [] { opxiMC8x8_16s8u_P2C2R(g_src + 1, 64, g_res, g_res2, 16, g_dst, 64, 12, 0); },
        [] {
            ref::kBlock.mc_p2c2[kP2C2_8x8][mc_index(12, 0)](g_src + 1, 64, g_res, g_res2, 16, g_dst,
                                                            64);
        });
}
