// The bodies of the macroblock reconstruction drivers, generic over the sample type: ReconOps<S>
// names, for 8-bit samples (16-bit coefficients) and for 16-bit samples (32-bit coefficients, bit
// depth at run time), the per-block operations the drivers need: prediction, dequantisation,
// transform and addition, and the transform-bypass addition. Included by recon_luma.cpp,
// recon_chroma.cpp and recon_high.cpp only.
#pragma once

#include <cstring>

#include "h264/decode/recon.hpp"

namespace opx::h264 {

template <class S>
struct ReconOps;

template <>
struct ReconOps<Opx8u> {
    using Coeff = Opx16s;
    using ChromaPred = PredChromaFn;
    // No kernel for a whole set of blocks with DC values (the 8-bit blocks fill half a
    // register).
    static constexpr bool kBlocks = false;
    const ReconKernels& k;
    static Opx16s* add_blocks(Opx8u*, std::ptrdiff_t, Opx16s* c, const Opx16s*, std::uint32_t, int,
                              bool, int, const Opx16s*) noexcept {
        return c;
    }

    // Matrix style with ls, flat style without.
    OPX_INLINE void add4x4(Opx8u* b, std::ptrdiff_t st, Opx16s* c, const Opx16s* dc, int qp,
                           const Opx16s* ls) const noexcept {
        if (ls)
            k.transform.add4x4_matrix(b, st, c, dc, b, st, qp, true, ls);
        else
            k.transform.add4x4_flat(b, c, dc, b, st, st, qp, true);
    }
    OPX_INLINE void add4x4_dc(Opx8u* b, std::ptrdiff_t st, const Opx16s* dc, int qp,
                              const Opx16s* ls) const noexcept {
        if (ls)
            k.transform.add4x4_matrix(b, st, nullptr, dc, b, st, qp, false, ls);
        else
            k.transform.add4x4_flat(b, nullptr, dc, b, st, st, qp, false);
    }
    OPX_INLINE void dequant8x8(Opx16s* c, int qp, const Opx16s* ls) const noexcept {
        k.transform.dequant8x8(c, qp / 6, ls);
    }
    OPX_INLINE void add8x8(Opx8u* b, std::ptrdiff_t st, const Opx16s* c) const noexcept {
        k.transform.add8x8(b, st, c, b, st);
    }
    OPX_INLINE void luma_dc(Opx16s* c, int qp, const Opx16s* ls) const noexcept {
        if (ls)
            k.transform.luma_dc_matrix(c, qp, ls[0]);
        else
            k.transform.luma_dc_flat(c, qp);
    }
    OPX_INLINE void chroma_dc2x2(Opx16s* c, int qp, const Opx16s* ls) const noexcept {
        if (ls)
            k.transform.chroma_dc2x2_matrix(c, qp, ls[0]);
        else
            k.transform.chroma_dc_flat(c, qp);
    }
    OPX_INLINE void chroma_dc2x4(Opx16s* c, int qp, int ls_dc) const noexcept {
        k.transform.chroma_dc2x4_matrix(c, qp, ls_dc);
    }
    OPX_INLINE bool pred4x4(Opx8u* b, std::ptrdiff_t st, int mode, int avail) const noexcept {
        return predict_4x4(k.intra, b, st, mode, avail) != opxOk;
    }
    OPX_INLINE void pred8x8(Opx8u* b, std::ptrdiff_t st, int mode, int avail) const noexcept {
        k.intra.pred8x8[mode](b, st, avail);
    }
    OPX_INLINE void pred16x16(int slot, Opx8u* b, std::ptrdiff_t st) const noexcept {
        k.intra.pred16x16[slot](b, st);
    }
    OPX_INLINE static void chroma(PredChromaFn f, Opx8u* b, std::ptrdiff_t st) noexcept {
        f(b, st);
    }
    // Transform bypass: clamp(pred + c, 0, 255), the addition 16-bit saturating (it cannot
    // saturate: pred 0..255, c a 16-bit value).
    OPX_INLINE static Opx8u add_clamp(Opx8u s, Opx16s c) noexcept {
        const int v = s + c;
        return static_cast<Opx8u>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
};

template <>
struct ReconOps<Opx16u> {
    using Coeff = Opx32s;
    using ChromaPred = PredHighFn;
    // The blocks of a macroblock or component (not in bypass) go through one kernel call.
    static constexpr bool kBlocks = true;
    const ReconKernelsHigh& k;
    int bd;
    int max;  // (1 << bd) - 1

    OPX_INLINE Opx32s* add_blocks(Opx16u* b, std::ptrdiff_t st, Opx32s* c, const Opx32s* dc,
                                  std::uint32_t coded, int pairs, bool luma, int qp,
                                  const Opx16s* ls) const noexcept {
        return k.add4x4_blocks(b, st, c, dc, coded, pairs, luma, qp, max, ls);
    }

    // The transform kernels take steps in bytes.
    static std::int32_t bytes(std::ptrdiff_t st) noexcept {
        return static_cast<std::int32_t>(st * static_cast<std::ptrdiff_t>(sizeof(Opx16u)));
    }
    OPX_INLINE void add4x4(Opx16u* b, std::ptrdiff_t st, Opx32s* c, const Opx32s* dc, int qp,
                           const Opx16s* ls) const noexcept {
        k.transform.add4x4_matrix_high(b, bytes(st), c, dc, b, bytes(st), qp, true, max, ls);
    }
    OPX_INLINE void add4x4_dc(Opx16u* b, std::ptrdiff_t st, const Opx32s* dc, int qp,
                              const Opx16s* ls) const noexcept {
        k.transform.add4x4_matrix_high(b, bytes(st), nullptr, dc, b, bytes(st), qp, false, max, ls);
    }
    OPX_INLINE void dequant8x8(Opx32s* c, int qp, const Opx16s* ls) const noexcept {
        k.transform.dequant8x8_high(c, qp / 6, ls);
    }
    OPX_INLINE void add8x8(Opx16u* b, std::ptrdiff_t st, const Opx32s* c) const noexcept {
        k.transform.add8x8_high(b, bytes(st), c, b, bytes(st), max);
    }
    OPX_INLINE void luma_dc(Opx32s* c, int qp, const Opx16s* ls) const noexcept {
        k.transform.luma_dc_matrix_high(c, qp, ls[0]);
    }
    // 4:2:0 chroma DC by the 32-bit 2×2 kernel: (f × LS) >> (5 − qp/6), or << (qp/6 − 5), which
    // equals ((f × LS) << (qp/6)) >> 5 wherever that fits 32 bits.
    OPX_INLINE void chroma_dc2x2(Opx32s* c, int qp, const Opx16s* ls) const noexcept {
        k.transform.chroma_dc2x2_matrix_high(c, qp, ls[0]);
    }
    OPX_INLINE void chroma_dc2x4(Opx32s* c, int qp, int ls_dc) const noexcept {
        k.transform.chroma_dc2x4_matrix_high(c, qp, ls_dc);
    }
    OPX_INLINE bool pred4x4(Opx16u* b, std::ptrdiff_t st, int mode, int avail) const noexcept {
        return predict_4x4(k.intra, b, st, mode, avail, bd);
    }
    OPX_INLINE void pred8x8(Opx16u* b, std::ptrdiff_t st, int mode, int avail) const noexcept {
        k.intra.pred8x8[mode](b, st, avail, bd);
    }
    OPX_INLINE void pred16x16(int slot, Opx16u* b, std::ptrdiff_t st) const noexcept {
        k.intra.pred16x16[slot](b, st, bd);
    }
    OPX_INLINE void chroma(PredHighFn f, Opx16u* b, std::ptrdiff_t st) const noexcept {
        f(b, st, bd);
    }
    // Transform bypass: clamp(pred + c, 0, max) with the addition wrapping in 32 bits.
    OPX_INLINE Opx16u add_clamp(Opx16u s, Opx32s c) const noexcept {
        const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(s) +
                                                 static_cast<std::uint32_t>(c));
        return static_cast<Opx16u>(v < 0 ? 0 : v > max ? max : v);
    }
};

// Adds untransformed coefficients to an N×N prediction (transform bypass).
template <int N, class S, class C>
OPX_INLINE void bypass_add(const ReconOps<S>& o, S* dst, std::ptrdiff_t step, const C* c) noexcept {
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            dst[y * step + x] = o.add_clamp(dst[y * step + x], c[y * N + x]);
}

// One coded 4×4 block: dequantise (`dc` replacing position 0 when given), inverse transform and
// add to the prediction in place; or add untransformed (bypass).
template <class S, class C>
OPX_INLINE void add_4x4(const ReconOps<S>& o, S* blk, std::ptrdiff_t step, C* c, const C* dc,
                        int qp, const Opx16s* ls, bool bypass) noexcept {
    if (bypass) {
        if (dc) c[0] = *dc;
        bypass_add<4>(o, blk, step, c);
    } else {
        o.add4x4(blk, step, c, dc, qp, ls);
    }
}

// A 4×4 block without AC coefficients whose DC value comes from a DC array: the DC-only residual
// (DC + 32) >> 6 on all 16 samples, zero for DC in -32..31; in bypass the DC value added to the
// first sample.
template <class S, class C>
OPX_INLINE void add_dc_only(const ReconOps<S>& o, S* blk, std::ptrdiff_t step, const C* dc, int qp,
                            const Opx16s* ls, bool bypass) noexcept {
    if (bypass)
        blk[0] = o.add_clamp(blk[0], *dc);
    else if (*dc < -32 || *dc > 31)
        o.add4x4_dc(blk, step, dc, qp, ls);
}

// One coded 8×8 block in two steps: the dequantisation (none in bypass), which does not depend
// on the block's samples, then the inverse transform added in place (or the coefficients added
// untransformed).
template <class S, class C>
OPX_INLINE void dequant_8x8(const ReconOps<S>& o, C* c, int qp, const Opx16s* ls,
                            bool bypass) noexcept {
    if (!bypass) o.dequant8x8(c, qp, ls);
}
template <class S, class C>
OPX_INLINE void add_8x8(const ReconOps<S>& o, S* blk, std::ptrdiff_t step, const C* c,
                        bool bypass) noexcept {
    if (bypass)
        bypass_add<8>(o, blk, step, c);
    else
        o.add8x8(blk, step, c);
}

// ---- luma ---------------------------------------------------------------------------------------

// Inter macroblock, 4×4 transform, coded blocks in block order (cbp bits 1..16).
template <class S, class C>
OPX_INLINE void luma_inter_4x4_blocks(const ReconOps<S>& o, C** coeffs, S* dst, std::ptrdiff_t step,
                                      std::uint32_t cbp, int qp, const Opx16s* ls,
                                      bool bypass) noexcept {
    C* c = *coeffs;
    for (std::uint32_t bits = (cbp >> 1) & 0xFFFF; bits != 0; bits &= bits - 1) {
        const int n = __builtin_ctz(bits);
        add_4x4(o, dst + luma4x4_y(n) * step + luma4x4_x(n), step, c,
                static_cast<const C*>(nullptr), qp, ls, bypass);
        c += 16;
    }
    *coeffs = c;
}

// Inter macroblock, 8×8 transform: cbp bits 0..3 mark the 8×8 blocks. ls: 64 values.
template <class S, class C>
OPX_INLINE void luma_inter_8x8_blocks(const ReconOps<S>& o, C** coeffs, S* dst, std::ptrdiff_t step,
                                      std::uint32_t cbp, int qp, const Opx16s* ls,
                                      bool bypass) noexcept {
    C* c = *coeffs;
    for (int n = 0; n < 4; ++n) {
        if (!(cbp & (1u << n))) continue;
        dequant_8x8(o, c, qp, ls, bypass);
        add_8x8(o, dst + 8 * (n >> 1) * step + 8 * (n & 1), step, c, bypass);
        c += 64;
    }
    *coeffs = c;
}

// Intra 4×4 blocks 0..blocks-1 (16, or 8 for a half): bit `shift + n` of cbp marks block n.
// Returns opxOk, opxWrnIntraPredUnavailable, or opxErrOutOfRange for a mode outside 0..8.
template <class S, class C>
OPX_INLINE OpxResult luma_intra_4x4_blocks(const ReconOps<S>& o, C** coeffs, S* dst,
                                           std::ptrdiff_t step, const Opx32s* modes, int blocks,
                                           std::uint32_t cbp, int shift, int qp, int edge,
                                           const Opx16s* ls, bool bypass) noexcept {
    C* c = *coeffs;
    bool substituted = false;
    const std::uint8_t* avail = block_avail_row<4>(edge);
    if constexpr (ReconOps<S>::kBlocks) {
        // The residuals of all coded blocks first (they do not depend on the samples), so that
        // the chain from block to block is the prediction and one addition.
        if (!bypass && o.k.residuals4x4) {
            const std::uint32_t coded = (cbp >> shift) & ((1u << blocks) - 1);
            alignas(32) Opx16s res[16 * 16];
            o.k.residuals4x4(res, c, __builtin_popcount(coded), qp, ls);
            const Opx16s* r = res;
            for (int n = 0; n < blocks; ++n) {
                const Opx32s mode = modes[n];
                if (static_cast<std::uint32_t>(mode) > 8) {
                    *coeffs = c;
                    return opxErrOutOfRange;
                }
                S* blk = dst + luma4x4_y(n) * step + luma4x4_x(n);
                if ((coded & (1u << n)) && o.k.pred4x4_add) {
                    // Prediction and residual in one kernel, unless a substitution is due.
                    const auto fn = o.k.pred4x4_add->by_avail[mode][avail[n] & kAvail4x4Bits];
                    if (fn) {
                        fn(blk, step, o.bd, r, o.max);
                        r += 16;
                        c += 16;
                        continue;
                    }
                }
                substituted |= o.pred4x4(blk, step, mode, avail[n]);
                if (coded & (1u << n)) {
                    o.k.add_residual4x4(blk, step, r, o.max);
                    r += 16;
                    c += 16;
                }
            }
            *coeffs = c;
            return substituted ? opxWrnIntraPredUnavailable : opxOk;
        }
    }
    for (int n = 0; n < blocks; ++n) {
        const Opx32s mode = modes[n];
        if (static_cast<std::uint32_t>(mode) > 8) {
            *coeffs = c;
            return opxErrOutOfRange;
        }
        const int x = luma4x4_x(n), y = luma4x4_y(n);
        S* blk = dst + y * step + x;
        substituted |= o.pred4x4(blk, step, mode, avail[n]);
        if (cbp & (1u << (n + shift))) {
            add_4x4(o, blk, step, c, static_cast<const C*>(nullptr), qp, ls, bypass);
            c += 16;
        }
    }
    *coeffs = c;
    return substituted ? opxWrnIntraPredUnavailable : opxOk;
}

// Intra 8×8 blocks 0..blocks-1 (4, or 2 for a half); bit n of cbp marks block n. ls: 64 values.
// Returns opxOk or opxErrOutOfRange for a mode outside 0..8.
template <class S, class C>
OPX_INLINE OpxResult luma_intra_8x8_blocks(const ReconOps<S>& o, C** coeffs, S* dst,
                                           std::ptrdiff_t step, const Opx32s* modes, int blocks,
                                           std::uint32_t cbp, int qp, int edge, const Opx16s* ls,
                                           bool bypass) noexcept {
    C* c = *coeffs;
    const std::uint8_t* avail = block_avail_row<8>(edge);
    for (int n = 0; n < blocks; ++n) {
        const Opx32s mode = modes[n];
        if (static_cast<std::uint32_t>(mode) > 8) {
            *coeffs = c;
            return opxErrOutOfRange;
        }
        const int x = 8 * (n & 1), y = 8 * (n >> 1);
        S* blk = dst + y * step + x;
        // Dequantised first, the coefficients are ready while the prediction waits for the
        // samples of the block before (the chain from block to block sets the pace here, so
        // the one-kernel dequantisation and transform of inter blocks would only lengthen it).
        const bool coded = cbp & (1u << n);
        if (coded) dequant_8x8(o, c, qp, ls, bypass);
        o.pred8x8(blk, step, mode, avail[n]);
        if (coded) {
            add_8x8(o, blk, step, c, bypass);
            c += 64;
        }
    }
    *coeffs = c;
    return opxOk;
}

// Intra 16×16 macroblock with a prediction slot already checked (pred16x16_slot).
template <class S, class C>
OPX_INLINE void luma_intra_16x16_mb(const ReconOps<S>& o, C** coeffs, S* dst, std::ptrdiff_t step,
                                    int slot, std::uint32_t cbp, int qp, const Opx16s* ls,
                                    bool bypass) noexcept {
    o.pred16x16(slot, dst, step);
    if (!(cbp & 0x1FFFF)) return;
    C* c = *coeffs;
    if constexpr (ReconOps<S>::kBlocks) {
        // The DC array stays where it is (the kernel writes no coefficients of the blocks
        // before the ones it consumes); without one every block takes DC value 0.
        if (!bypass) {
            static constexpr C kNoDc[16] = {};
            const C* dc = kNoDc;
            if (cbp & 1) {
                o.luma_dc(c, qp, ls);
                dc = c;
                c += 16;
            }
            *coeffs = o.add_blocks(dst, step, c, dc, (cbp >> 1) & 0xFFFF, 8, true, qp, ls);
            return;
        }
    }
    alignas(32) C dc[16] = {};
    if (cbp & 1) {
        // Clause 8.5.10: the DC array of the 16 blocks, raster order of the 4×4 array of blocks.
        if (!bypass) o.luma_dc(c, qp, ls);
        std::memcpy(dc, c, sizeof dc);
        c += 16;
    }
    for (int n = 0; n < 16; ++n) {
        const int x = luma4x4_x(n), y = luma4x4_y(n);
        S* blk = dst + y * step + x;
        const C* d = &dc[4 * (y >> 2) + (x >> 2)];
        if (cbp & (2u << n)) {
            add_4x4(o, blk, step, c, d, qp, ls, bypass);
            c += 16;
        } else {
            add_dc_only(o, blk, step, d, qp, ls, bypass);
        }
    }
    *coeffs = c;
}

// ---- chroma -------------------------------------------------------------------------------------

// Both components of a chroma macroblock, 8 × Rows samples each (Rows 8: 4:2:0, 2×2 DC array and
// four blocks; Rows 16: 4:2:2, 2×4 DC array and eight blocks, block k at (4 (k & 1), 4 (k >> 1))).
// Prediction of both first (intra), then the DC arrays of Cb and Cr, then the blocks of Cb and of
// Cr, each taken from its component's coefficient pointer at the time of use (clause 8.5.11).
template <int Rows, class S, class C>
OPX_NOINLINE void chroma_mb_blocks(const ReconOps<S>& o, const ChromaPlane<S, C> (&p)[2]) noexcept;

template <int Rows, class S, class C>
OPX_INLINE void chroma_mb(const ReconOps<S>& o, const ChromaPlane<S, C> (&p)[2],
                          typename ReconOps<S>::ChromaPred pred) noexcept {
    constexpr int kBlocks = Rows / 2;
    if (pred) {
        o.chroma(pred, p[0].plane, p[0].step);
        o.chroma(pred, p[1].plane, p[1].step);
    }
    if (!(p[0].dc | p[1].dc) && !(p[0].ac | p[1].ac)) return;
    if constexpr (ReconOps<S>::kBlocks) {
        // The DC arrays stay where they are (the kernel writes no coefficients of the blocks
        // before the ones it consumes); without one every block takes DC value 0.
        if (!p[0].bypass && !p[1].bypass && p[0].ls && p[1].ls) {
            static constexpr C kNoDc[kBlocks] = {};
            const C* dcs[2] = {kNoDc, kNoDc};
            for (int comp = 0; comp < 2; ++comp) {
                const ChromaPlane<S, C>& q = p[comp];
                if (!q.dc) continue;
                C* c = *q.coeffs;
                if constexpr (Rows == 8)
                    o.chroma_dc2x2(c, q.qp, q.ls);
                else
                    o.chroma_dc2x4(c, q.qp, q.ls_dc);
                dcs[comp] = c;
                *q.coeffs = c + kBlocks;
            }
            for (int comp = 0; comp < 2; ++comp) {
                const ChromaPlane<S, C>& q = p[comp];
                *q.coeffs = o.add_blocks(q.plane, q.step, *q.coeffs, dcs[comp], q.ac, kBlocks / 2,
                                         false, q.qp, q.ls);
            }
            return;
        }
    }
    chroma_mb_blocks<Rows>(o, p);
}

// The part of chroma_mb after the prediction where no kernel takes the blocks of a component
// (transform bypass, 8-bit samples), out of line so that the kernel path keeps a small frame.
template <int Rows, class S, class C>
OPX_NOINLINE void chroma_mb_blocks(const ReconOps<S>& o, const ChromaPlane<S, C> (&p)[2]) noexcept {
    constexpr int kBlocks = Rows / 2;
    alignas(32) C dc[2][kBlocks] = {};
    for (int comp = 0; comp < 2; ++comp) {
        const ChromaPlane<S, C>& q = p[comp];
        if (!q.dc) continue;
        C* c = *q.coeffs;
        if (!q.bypass) {
            if constexpr (Rows == 8)
                o.chroma_dc2x2(c, q.qp, q.ls);
            else
                o.chroma_dc2x4(c, q.qp, q.ls_dc);
        }
        std::memcpy(dc[comp], c, sizeof dc[comp]);
        *q.coeffs = c + kBlocks;
    }
    for (int comp = 0; comp < 2; ++comp) {
        const ChromaPlane<S, C>& q = p[comp];
        C* c = *q.coeffs;
        if constexpr (ReconOps<S>::kBlocks) {
            if (!q.bypass) {
                *q.coeffs = o.add_blocks(q.plane, q.step, c, dc[comp], q.ac, kBlocks / 2, false,
                                         q.qp, q.ls);
                continue;
            }
        }
        for (int b = 0; b < kBlocks; ++b) {
            S* blk = q.plane + 4 * (b >> 1) * q.step + 4 * (b & 1);
            if (q.ac & (1u << b)) {
                add_4x4(o, blk, q.step, c, &dc[comp][b], q.qp, q.ls, q.bypass);
                c += 16;
            } else {
                add_dc_only(o, blk, q.step, &dc[comp][b], q.qp, q.ls, q.bypass);
            }
        }
        *q.coeffs = c;
    }
}

}  // namespace opx::h264
