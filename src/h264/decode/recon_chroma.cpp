// Chroma macroblock reconstruction drivers for 8-bit samples (4:2:0 planar and interleaved,
// 4:2:2 planar): one component kernel per component for the matrix style, else the generic
// body of recon_drivers.hpp.
#include "h264/decode/recon_drivers.hpp"

namespace opx::h264 {
namespace {

constexpr std::uint32_t kChromaBits = 0x7FE0000;  // bits 17..26

}  // namespace

void chroma_planar(const ReconKernels& k, Opx16s** coeffs, Opx8u* u, Opx8u* v, std::ptrdiff_t step,
                   PredChromaFn pred, const ChromaParams& p) noexcept {
    const std::uint32_t cbp = p.cbp;
    if (p.ls[0] && p.ls[1] && !p.bypass[0] && !p.bypass[1]) {
        // Matrix style: one kernel call per component, DC array included. Both DC arrays come
        // first in the stream (clause 8.5.11 order), then the blocks of Cb and of Cr.
        if (pred) {
            pred(u, step);
            pred(v, step);
        }
        if (!(cbp & kChromaBits)) return;
        Opx16s* dc[2] = {nullptr, nullptr};
        for (int comp = 0; comp < 2; ++comp) {
            if (!(cbp & (1u << (17 + comp)))) continue;
            dc[comp] = *coeffs;
            *coeffs += 4;
        }
        Opx8u* const plane[2] = {u, v};
        for (int comp = 0; comp < 2; ++comp) {
            const std::uint32_t ac = (cbp >> (19 + 4 * comp)) & 15;
            if (dc[comp] || ac)
                *coeffs = k.add_chroma420(plane[comp], step, *coeffs, dc[comp], ac, p.qp[comp],
                                          p.ls[comp]);
        }
        return;
    }
    // cbp bits 17, 18: DC arrays; 19..22, 23..26: the blocks of Cb, Cr. One stream pointer.
    const ChromaPlane8 planes[2] = {
        {coeffs, u, step, bool(cbp & (1u << 17)), (cbp >> 19) & 15, p.qp[0], p.ls[0], p.bypass[0],
         0},
        {coeffs, v, step, bool(cbp & (1u << 18)), (cbp >> 23) & 15, p.qp[1], p.ls[1], p.bypass[1],
         0},
    };
    chroma_mb<8>(ReconOps<Opx8u>{k}, planes, pred);
}

namespace {

// The records as plane descriptions through chroma_mb, block by block (transform bypass), out of
// line.
OPX_NOINLINE void chroma422_planes(const ReconKernels& k, const OpxReconstructInfo8u* const* pp,
                                   PredChromaFn pred, const int (&ls_dc)[2]) noexcept {
    ChromaPlane8 planes[2];
    for (int comp = 0; comp < 2; ++comp) {
        const OpxReconstructInfo8u& r = *pp[comp];
        planes[comp] = ChromaPlane8{
            r.ppSrcDstCoeff,     r.pSrcDstPlane, r.srcDstStep,  (r.cbp & 1) != 0,
            (r.cbp >> 1) & 0xFF, r.qp,           r.pQuantTable, r.bypassFlag != 0 && r.qp == 0,
            ls_dc[comp]};
    }
    chroma_mb<16>(ReconOps<Opx8u>{k}, planes, pred);
}

}  // namespace

void chroma422(const ReconKernels& k, const OpxReconstructInfo8u* const* pp, PredChromaFn pred,
               int ls_dc_u, int ls_dc_v) noexcept {
    const OpxReconstructInfo8u& u = *pp[0];
    const OpxReconstructInfo8u& v = *pp[1];
    const int ls_dc[2] = {ls_dc_u, ls_dc_v};
    if ((u.bypassFlag != 0 && u.qp == 0) || (v.bypassFlag != 0 && v.qp == 0)) {
        chroma422_planes(k, pp, pred, ls_dc);
        return;
    }
    // One kernel call per component, DC array included, read straight from the records; both
    // DC arrays are located first (clause 8.5.11 order), each call then reads its own.
    if (pred) {
        pred(u.pSrcDstPlane, u.srcDstStep);
        pred(v.pSrcDstPlane, v.srcDstStep);
    }
    Opx16s* dc[2] = {nullptr, nullptr};
    for (int comp = 0; comp < 2; ++comp) {
        const OpxReconstructInfo8u& r = *pp[comp];
        if (!(r.cbp & 1)) continue;
        dc[comp] = *r.ppSrcDstCoeff;
        *r.ppSrcDstCoeff += 8;
    }
    for (int comp = 0; comp < 2; ++comp) {
        const OpxReconstructInfo8u& r = *pp[comp];
        *r.ppSrcDstCoeff = k.add_chroma422(r.pSrcDstPlane, r.srcDstStep, *r.ppSrcDstCoeff, dc[comp],
                                           (r.cbp >> 1) & 0xFF, r.qp, r.pQuantTable, ls_dc[comp]);
    }
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
