// H.264 inverse transforms and dequantisation. The kernels have no data-dependent branches
// besides the documented AC/DC choice. Functions that write their coefficients in place take
// them from a ring of blocks, as a decoder does block after block: calling them on one block
// would time a chain of stores and reloads through that block rather than the work.
#include "bench.hpp"
#include "h264/decode/transform.hpp"
#include "opxvc.h"

namespace {

alignas(64) Opx8u g_pred[64 * 16];
alignas(64) Opx8u g_dst[64 * 16];
alignas(64) Opx16u g_pred16[32 * 16];
alignas(64) Opx16u g_dst16[32 * 16];
// A ring of coefficient blocks; next() moves to the following block.
template <class T>
struct Ring {
    alignas(64) T block[16][64];
    unsigned i = 0;
    T* next() { return block[++i & 15]; }
};
Ring<Opx16s> g_ring;
Ring<Opx32s> g_ring32;
alignas(64) Opx16s g_c[64];
alignas(64) Opx32s g_c32[64];
alignas(64) Opx16s g_ls[64];
const Opx16s g_dc = 300;

void init() {
    for (int i = 0; i < 64 * 16; ++i) g_pred[i] = static_cast<Opx8u>(i * 37);
    for (int i = 0; i < 32 * 16; ++i) g_pred16[i] = static_cast<Opx16u>(i * 37 & 1023);
    for (int i = 0; i < 64; ++i) {
        g_c[i] = static_cast<Opx16s>((i * 13) % 21 - 10);
        g_c32[i] = (i * 13) % 21 - 10;
        g_ls[i] = static_cast<Opx16s>(16 * (20 + i % 7));
        for (int k = 0; k < 16; ++k) {
            g_ring.block[k][i] = g_c[i];
            g_ring32.block[k][i] = g_c32[i];
        }
    }
}

}  // namespace

OPX_BENCH_CASES(h264_transform) {
    using namespace opx::h264;
    init();
    opx::bench::add(
        "opxiTransformQuantInvAddPred4x4_H264_16s_C1IR", "ac",
        [] {
            opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(g_pred + 1, 64, g_ring.next(), nullptr,
                                                          g_dst + 3, 64, 28, 1, g_ls);
        },
        [] {
            ref::kTransform.add4x4_matrix(g_pred + 1, 64, g_ring.next(), nullptr, g_dst + 3, 64, 28,
                                          true, g_ls);
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
        [] {
            opxiDequantTransformResidualAndAdd_H264_16s_C1I(g_pred + 1, g_c, nullptr, g_dst + 3, 64,
                                                            64, 28, 1);
        },
        [] {
            ref::kTransform.add4x4_flat(g_pred + 1, 64, g_ring.next(), nullptr, g_dst + 3, 64, 28,
                                        true);
        });
    opx::bench::add(
        "opxiDequantTransformResidualAndAdd_H264_16s_C1I", "dc",
        [] {
            opxiDequantTransformResidualAndAdd_H264_16s_C1I(g_pred + 1, nullptr, &g_dc, g_dst + 3,
                                                            64, 64, 28, 0);
        },
        [] {
            ref::kTransform.add4x4_flat(g_pred + 1, 64, nullptr, &g_dc, g_dst + 3, 64, 28, false);
        });
    opx::bench::add(
        "opxiDequantTransformResidual_H264_16s_C1I", "4x4",
        [] { opxiDequantTransformResidual_H264_16s_C1I(g_ring.next(), 8, nullptr, 1, 28); },
        [] { ref::kTransform.dequant_residual4x4_flat(g_ring.next(), 8, nullptr, true, 28); });
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
        [] { opxiQuantLuma8x8Inv_H264_16s_C1I(g_ring.next(), 3, g_ls); },
        [] { ref::kTransform.dequant8x8(g_ring.next(), 3, g_ls); });
    opx::bench::add(
        "opxiQuantInvLuma8x8_H264_32s_C1I", "8x8",
        [] { opxiQuantInvLuma8x8_H264_32s_C1I(g_ring32.next(), 3, g_ls); },
        [] { ref::kTransform.dequant8x8_high(g_ring32.next(), 3, g_ls); });
    opx::bench::add(
        "opxiTransformDequantLumaDC_H264_16s_C1I", "4x4",
        [] { opxiTransformDequantLumaDC_H264_16s_C1I(g_ring.next(), 28); },
        [] { ref::kTransform.luma_dc_flat(g_ring.next(), 28); });
    opx::bench::add(
        "opxiTransformQuantInvLumaDC4x4_H264_16s_C1I", "4x4",
        [] { opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(g_ring.next(), 28, g_ls); },
        [] { ref::kTransform.luma_dc_matrix(g_ring.next(), 28, g_ls[0]); });
    opx::bench::add(
        "opxiTransformQuantInvAddPred4x4_H264_32s_C1IR", "ac",
        [] {
            opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
                g_pred16 + 1, 64, g_ring32.next(), nullptr, g_dst16 + 3, 64, 40, 1, 10, g_ls);
        },
        [] {
            ref::kTransform.add4x4_matrix_high(g_pred16 + 1, 64, g_ring32.next(), nullptr,
                                               g_dst16 + 3, 64, 40, true, 1023, g_ls);
        });
    opx::bench::add(
        "opxiTransformResidual4x4Inv_H264_16s_C1", "4x4",
        [] { opxiTransformResidual4x4Inv_H264_16s_C1(g_c, g_c + 16); },
        [] { ref::kTransform.residual4x4(g_c, g_c + 16); });
    opx::bench::add(
        "opxiTransformQuantInvChromaDC2x2_H264_16s_C1I", "2x2",
        [] { opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(g_ring.next(), 28, g_ls); },
        [] { ref::kTransform.chroma_dc2x2_matrix(g_ring.next(), 28, g_ls[0]); });
    opx::bench::add(
        "opxiDequantTransformResidual_SISP_H264_16s_C1I", "4x4",
        [] {
            opxiDequantTransformResidual_SISP_H264_16s_C1I(g_ring.next(), g_c + 16, nullptr, 1, 28,
                                                           30, 1);
        },
        [] { ref::kTransform.sisp4x4(g_ring.next(), g_c + 16, nullptr, true, 28, 30, true); });
}
