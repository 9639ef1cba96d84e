// Chroma macroblock reconstruction drivers (8-bit 4:2:0): prediction of both components, then
// per component the DC array and the four 4×4 blocks, consuming the stream in the order
// Cb DC, Cr DC, Cb blocks, Cr blocks.
#include <cstring>

#include "h264/decode/recon.hpp"

namespace opx::h264 {
namespace {

constexpr std::uint32_t kChromaBits = 0x7FE0000;  // bits 17..26

// Residual of one component's 8×8 block: `dc` holds its four DC values, `ac` the component's
// four AC bits, `c` the stream position of its first coded block; returns the position after
// its last one.
Opx16s* chroma_residual(const ReconKernels& k, Opx16s* c, Opx8u* dst, std::ptrdiff_t step,
                        const Opx16s* dc, std::uint32_t ac, int qp, const Opx16s* ls,
                        bool bypass) noexcept {
    for (int b = 0; b < 4; ++b) {
        Opx8u* blk = dst + 4 * (b >> 1) * step + 4 * (b & 1);
        if (ac & (1u << b)) {
            if (bypass) {
                c[0] = dc[b];
                bypass_add<4>(blk, step, c);
            } else if (ls) {
                k.transform.add4x4_matrix(blk, step, c, &dc[b], blk, step, qp, true, ls);
            } else {
                k.transform.add4x4_flat(blk, c, &dc[b], blk, step, step, qp, true);
            }
            c += 16;
        } else if (bypass) {
            const int v = blk[0] + dc[b];
            blk[0] = static_cast<Opx8u>(v < 0 ? 0 : v > 255 ? 255 : v);
        } else if (dc[b] < -32 || dc[b] > 31) {
            // DC-only residual (DC + 32) >> 6 on all 16 samples; zero for DC in -32..31.
            if (ls)
                k.transform.add4x4_matrix(blk, step, nullptr, &dc[b], blk, step, qp, false, ls);
            else
                k.transform.add4x4_flat(blk, nullptr, &dc[b], blk, step, step, qp, false);
        }
    }
    return c;
}

}  // namespace

void chroma_planar(const ReconKernels& k, Opx16s** coeffs, Opx8u* u, Opx8u* v, std::ptrdiff_t step,
                   PredChromaFn pred, const ChromaParams& p) noexcept {
    if (pred) {
        pred(u, step);
        pred(v, step);
    }
    const std::uint32_t cbp = p.cbp;
    if (!(cbp & kChromaBits)) return;
    Opx16s* c = *coeffs;
    Opx16s dc[2][4] = {};
    for (int comp = 0; comp < 2; ++comp) {
        if (!(cbp & (1u << (17 + comp)))) continue;
        // Clause 8.5.11: the 2×2 DC array c0, c1 / c2, c3.
        const int qp = p.qp[comp];
        if (!p.bypass[comp]) {
            if (p.ls[0])
                k.transform.chroma_dc2x2_matrix(c, qp, p.ls[comp][0]);
            else
                k.transform.chroma_dc_flat(c, qp);
        }
        std::memcpy(dc[comp], c, sizeof dc[comp]);
        c += 4;
    }
    Opx8u* planes[2] = {u, v};
    for (int comp = 0; comp < 2; ++comp) {
        c = chroma_residual(k, c, planes[comp], step, dc[comp], (cbp >> (19 + 4 * comp)) & 15,
                            p.qp[comp], p.ls[comp], p.bypass[comp]);
    }
    *coeffs = c;
}

void chroma_interleaved(const ReconKernels& k, Opx16s** coeffs, Opx8u* uv, std::ptrdiff_t step,
                        PredChromaFn pred, int upper, int lower, const ChromaParams& p) noexcept {
    // Each component goes through a planar 8×8 block of its own with room for its neighbours;
    // only the neighbours marked available are copied in (the prediction reads no others).
    if (!pred && !(p.cbp & kChromaBits)) return;
    constexpr int kStep = 16;
    Opx8u tmp[2][9 * kStep];
    Opx8u* blk[2] = {tmp[0] + kStep + 8, tmp[1] + kStep + 8};
    for (int comp = 0; comp < 2; ++comp) {
        Opx8u* b = blk[comp];
        const Opx8u* src = uv + comp;
        if (pred) {
            if ((upper | lower) & kAvailAbove)
                for (int x = 0; x < 8; ++x) b[x - kStep] = src[2 * x - step];
            if (upper & kAvailAboveLeft) b[-kStep - 1] = src[-2 - step];
            for (int y = 0; y < 8; ++y)
                if ((y < 4 ? upper : lower) & kAvailLeft) b[y * kStep - 1] = src[y * step - 2];
        }
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) b[y * kStep + x] = src[y * step + 2 * x];
    }
    chroma_planar(k, coeffs, blk[0], blk[1], kStep, pred, p);
    for (int comp = 0; comp < 2; ++comp)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) uv[y * step + 2 * x + comp] = blk[comp][y * kStep + x];
}

}  // namespace opx::h264
