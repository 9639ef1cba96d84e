// H.264 inverse transforms and dequantisation. The kernels have no data-dependent branches
// besides the documented AC/DC choice. Functions that write their coefficients in place take
// them from a ring of blocks, as a decoder does block after block: calling them on one block
// would time a chain of stores and reloads through that block rather than the work.
#include "bench.hpp"
#include "h264/decode/transform.hpp"
#include "opxvc.h"

namespace {

// A ring of coefficient blocks; each timed case steps through it with a counter of its own (held
// in a register, so that stepping costs the timed calls next to nothing).
template <class T, unsigned N>
struct Ring {
    alignas(64) T block[N][64];
    T* at(unsigned n) { return block[n % N]; }
};

// The buffers of one sample size share one 4 KiB page, so that no two of them alias in the low
// 12 address bits: a store to one would otherwise hold back loads from another.
struct alignas(4096) Page8 {
    alignas(64) Opx16s c[64];
    alignas(64) Opx16s ls[64];
    Ring<Opx16s, 16> ring;
    alignas(64) Opx8u pred[64 * 8];
    alignas(64) Opx8u dst[64 * 8];
};
struct alignas(4096) Page16 {
    alignas(64) Opx32s c32[64];
    Ring<Opx32s, 8> ring32;
    alignas(64) Opx16u pred16[32 * 8];
    alignas(64) Opx16u dst16[32 * 8];
};
static_assert(sizeof(Page8) == 4096 && sizeof(Page16) == 4096);
Page8 g_page8;
Page16 g_page16;
auto& g_pred = g_page8.pred;
auto& g_dst = g_page8.dst;
auto& g_c = g_page8.c;
auto& g_ls = g_page8.ls;
auto& g_ring = g_page8.ring;
auto& g_pred16 = g_page16.pred16;
auto& g_dst16 = g_page16.dst16;
auto& g_c32 = g_page16.c32;
auto& g_ring32 = g_page16.ring32;
const Opx16s g_dc = 300;

void init() {
    for (int i = 0; i < 64 * 8; ++i) g_pred[i] = static_cast<Opx8u>(i * 37);
    for (int i = 0; i < 32 * 8; ++i) g_pred16[i] = static_cast<Opx16u>(i * 37 & 1023);
    for (int i = 0; i < 64; ++i) {
        g_c[i] = static_cast<Opx16s>((i * 13) % 21 - 10);
        g_c32[i] = (i * 13) % 21 - 10;
        g_ls[i] = static_cast<Opx16s>(16 * (20 + i % 7));
        for (auto& b : g_ring.block) b[i] = g_c[i];
        for (auto& b : g_ring32.block) b[i] = g_c32[i];
    }
}

}  // namespace

OPX_BENCH_CASES(h264_transform) {
    using namespace opx::h264;
    init();
    opx::bench::add(
        "opxiTransformQuantInvAddPred4x4_H264_16s_C1IR", "ac",
        [n = 0u]() mutable {
            opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(g_pred + 1, 64, g_ring.at(++n), nullptr,
                                                          g_dst + 3, 64, 28, 1, g_ls);
        },
        [n = 0u]() mutable {
            ref::kTransform.add4x4_matrix(g_pred + 1, 64, g_ring.at(++n), nullptr, g_dst + 3, 64,
                                          28, true, g_ls);
        });
    opx::bench::add(
        "opxiTransformQuantInvAddPred4x4_H264_16s_C1IR", "dc",
        [] {
            opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(g_pred + 1, 64, g_c, nullptr, g_dst + 3,
                                                          64, 28, 0, g_ls);
        },
        [] {
            ref::kTransform.add4x4_matrix(g_pred + 1, 64, g_c, nullptr, g_dst + 3, 64, 28, false,
                                          g_ls);
        });
    opx::bench::add(
        "opxiDequantTransformResidualAndAdd_H264_16s_C1I", "4x4",
        [n = 0u]() mutable {
            opxiDequantTransformResidualAndAdd_H264_16s_C1I(g_pred + 1, g_ring.at(++n), nullptr,
                                                            g_dst + 3, 64, 64, 28, 1);
        },
        [n = 0u]() mutable {
            ref::kTransform.add4x4_flat(g_pred + 1, g_ring.at(++n), nullptr, g_dst + 3, 64, 64, 28,
                                        true);
        });
    opx::bench::add(
        "opxiDequantTransformResidualAndAdd_H264_16s_C1I", "dc",
        [] {
            opxiDequantTransformResidualAndAdd_H264_16s_C1I(g_pred + 1, nullptr, &g_dc, g_dst + 3,
                                                            64, 64, 28, 0);
        },
        [] {
            ref::kTransform.add4x4_flat(g_pred + 1, nullptr, &g_dc, g_dst + 3, 64, 64, 28, false);
        });
    opx::bench::add(
        "opxiDequantTransformResidual_H264_16s_C1I", "4x4",
        [n = 0u]() mutable {
            opxiDequantTransformResidual_H264_16s_C1I(g_ring.at(++n), 8, nullptr, 1, 28);
        },
        [n = 0u]() mutable {
            ref::kTransform.dequant_residual4x4_flat(g_ring.at(++n), 8, nullptr, true, 28);
        });
    opx::bench::add(
        "opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R", "8x8",
        [] { opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(g_pred + 1, 64, g_c, g_dst + 3, 64); },
        [] { ref::kTransform.add8x8(g_pred + 1, 64, g_c, g_dst + 3, 64); });
    opx::bench::add(
        "opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R", "8x8",
        [] {
            opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R(g_pred16 + 1, 64, g_c32, g_dst16 + 3, 64,
                                                           10);
        },
        [] { ref::kTransform.add8x8_high(g_pred16 + 1, 64, g_c32, g_dst16 + 3, 64, 1023); });
    opx::bench::add(
        "opxiQuantLuma8x8Inv_H264_16s_C1I", "8x8",
        [n = 0u]() mutable { opxiQuantLuma8x8Inv_H264_16s_C1I(g_ring.at(++n), 3, g_ls); },
        [n = 0u]() mutable { ref::kTransform.dequant8x8(g_ring.at(++n), 3, g_ls); });
    opx::bench::add(
        "opxiQuantInvLuma8x8_H264_32s_C1I", "8x8",
        [n = 0u]() mutable { opxiQuantInvLuma8x8_H264_32s_C1I(g_ring32.at(++n), 3, g_ls); },
        [n = 0u]() mutable { ref::kTransform.dequant8x8_high(g_ring32.at(++n), 3, g_ls); });
    opx::bench::add(
        "opxiTransformDequantLumaDC_H264_16s_C1I", "4x4",
        [n = 0u]() mutable { opxiTransformDequantLumaDC_H264_16s_C1I(g_ring.at(++n), 28); },
        [n = 0u]() mutable { ref::kTransform.luma_dc_flat(g_ring.at(++n), 28); });
    opx::bench::add(
        "opxiTransformQuantInvLumaDC4x4_H264_16s_C1I", "4x4",
        [n = 0u]() mutable {
            opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(g_ring.at(++n), 28, g_ls);
        },
        [n = 0u]() mutable { ref::kTransform.luma_dc_matrix(g_ring.at(++n), 28, g_ls[0]); });
    opx::bench::add(
        "opxiTransformQuantInvAddPred4x4_H264_32s_C1IR", "ac",
        [n = 0u]() mutable {
            opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
                g_pred16 + 1, 64, g_ring32.at(++n), nullptr, g_dst16 + 3, 64, 40, 1, 10, g_ls);
        },
        [n = 0u]() mutable {
            ref::kTransform.add4x4_matrix_high(g_pred16 + 1, 64, g_ring32.at(++n), nullptr,
                                               g_dst16 + 3, 64, 40, true, 1023, g_ls);
        });
    opx::bench::add(
        "opxiTransformResidual4x4Inv_H264_16s_C1", "4x4",
        [] { opxiTransformResidual4x4Inv_H264_16s_C1(g_c, g_c + 16); },
        [] { ref::kTransform.residual4x4(g_c, g_c + 16); });
    opx::bench::add(
        "opxiTransformQuantInvChromaDC2x2_H264_16s_C1I", "2x2",
        [n = 0u]() mutable {
            opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(g_ring.at(++n), 28, g_ls);
        },
        [n = 0u]() mutable { ref::kTransform.chroma_dc2x2_matrix(g_ring.at(++n), 28, g_ls[0]); });
    opx::bench::add(
        "opxiDequantTransformResidual_SISP_H264_16s_C1I", "4x4",
        [n = 0u]() mutable {
            opxiDequantTransformResidual_SISP_H264_16s_C1I(g_ring.at(++n), g_c + 16, nullptr, 1, 28,
                                                           30, 1);
        },
        [n = 0u]() mutable {
            ref::kTransform.sisp4x4(g_ring.at(++n), g_c + 16, nullptr, true, 28, 30, true);
        });
}
