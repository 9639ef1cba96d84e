// AVS part 2 (GB/T 20090.2) primitives: kernel signatures and the kernel tables of the family.
//
// residual   block decoders (context-adaptive 2-D VLC), the 8×8 dequantise + inverse transform +
//            add kernels chosen by numCoeff, the forward transform and quantiser;
// interp     quarter-sample luma interpolation (one kernel per block width and fraction) and
//            weighted prediction;
// deblock    the loop filter, one kernel per plane and edge direction.
//
// Contract of every kernel: arguments already checked by the entry point; reads and writes only
// the documented samples; results exact by the rules written in avs_ref.cpp, interp_ref.cpp and
// deblock_ref.cpp (the portable kernels are the oracle of the AVX2 ones).
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"

namespace opx::avs {

// ---- residual ----------------------------------------------------------------------------------

enum BlockKind { kIntraLuma, kInterLuma, kChroma, kNumBlockKinds };

// Decodes one 8×8 block at the word reading cursor. `field` selects the field scan. On an
// invalid code returns opxErrH264VlcCode with the cursor, *num and *dst untouched.
using DecodeBlockFn = OpxResult (*)(Opx32u** stream, Opx32s* offset, Opx32s* num, Opx16s* dst,
                                    bool field) noexcept;

// Dequantises `coeff` with QP 0..63, inverse-transforms it and adds the residual to the 8×8
// prediction at `dst`, clamping to 0..255. Dequantised values and the horizontal stage's rounded
// values are saturated to 16 bits.
enum ReconKernel { kReconDc, kRecon4x4, kReconFull, kNumReconKernels };
using ReconFn = void (*)(const Opx16s* coeff, int qp, Opx8u* dst, std::ptrdiff_t step) noexcept;

// numCoeff 1: DC only; 2..10: the top-left 4×4 (every zig-zag position below 10 lies there);
// anything else, 0 included: all 64 coefficients.
constexpr ReconKernel recon_kernel(Opx32s num_coeff) noexcept {
    return num_coeff == 1 ? kReconDc : (num_coeff >= 2 && num_coeff <= 10 ? kRecon4x4 : kReconFull);
}

// Forward transform and quantisation of one residual block (src may equal dst); returns numCoeff.
using FwdQuantFn = Opx32s (*)(const Opx16s* src, Opx16s* dst, int qp, bool intra) noexcept;

struct ResidualKernels {
    DecodeBlockFn decode[kNumBlockKinds];
    ReconFn recon[kNumReconKernels];
    FwdQuantFn fwd_quant;
};

// ---- interpolation and weighting ---------------------------------------------------------------

// Luma quarter-sample interpolation of a block of one width (8 or 16) at one fraction (dx, dy);
// `src` points at the integer sample of the block's top-left corner. A fractional dx reads
// columns −2..width+2, a fractional dy rows −2..height+2; height 8 or 16.
using InterpFn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                          std::ptrdiff_t dst_step, int height) noexcept;
constexpr int interp_index(int width, int dx, int dy) noexcept {
    return (width & 16) + 4 * dy + dx;
}

// Weighted prediction of exactly width × height samples (width a multiple of 4 up to 28).
using WeightFn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                          std::ptrdiff_t dst_step, Opx32s scale, Opx32s offset, int width,
                          int height) noexcept;

struct InterpKernels {
    InterpFn luma[32];  // [interp_index(width, dx, dy)]
    WeightFn weight;
};

// ---- deblocking --------------------------------------------------------------------------------

enum DeblockEdges { kLumaVer, kLumaHor, kChromaVer, kChromaHor, kNumDeblockEdges };
// Filters the edges of one macroblock in place; returns opxOk.
using DeblockFn = OpxResult (*)(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha,
                                const Opx8u* beta, const Opx8u* c, const Opx8u* bs) noexcept;

struct DeblockKernels {
    DeblockFn edges[kNumDeblockEdges];
};

namespace ref {
extern const ResidualKernels kResidual;
extern const InterpKernels kInterp;
extern const DeblockKernels kDeblock;
// Scalar kernels that serve both tables (named, so that the AVX2 table is a constant).
OpxResult decode_intra(Opx32u**, Opx32s*, Opx32s*, Opx16s*, bool) noexcept;
OpxResult decode_inter(Opx32u**, Opx32s*, Opx32s*, Opx16s*, bool) noexcept;
OpxResult decode_chroma(Opx32u**, Opx32s*, Opx32s*, Opx16s*, bool) noexcept;
Opx32s fwd_quant(const Opx16s*, Opx16s*, int, bool) noexcept;
OpxResult deblock_chroma_ver(Opx8u*, std::ptrdiff_t, const Opx8u*, const Opx8u*, const Opx8u*,
                             const Opx8u*) noexcept;
}  // namespace ref
namespace avx2 {
extern const ResidualKernels kResidual;
extern const InterpKernels kInterp;
extern const DeblockKernels kDeblock;
}  // namespace avx2

// ---- intra prediction (scalar; shared by the reconstruction and the intra encoders) ----------

// Edge flags: a set bit marks the neighbours it names as unavailable.
enum : Opx32u {
    kLeftUnavailable = 1,
    kTopUnavailable = 4,
    kTopRightUnavailable = 32,
    kBottomLeftUnavailable = 64,
};

// Predicts the 8×8 block at `dst` in place from its neighbours in the same plane. Luma modes
// 0 vertical, 1 horizontal, 2 DC, 3 down-left, 4 down-right, 5..7 fill 128; chroma modes 0 DC,
// 1 horizontal, 2 vertical, 3 plane. Returns false (and writes nothing) when the mode needs
// neighbours that `flags` marks unavailable.
bool predict_luma(Opx8u* dst, std::ptrdiff_t step, unsigned mode, Opx32u flags) noexcept;
bool predict_chroma(Opx8u* dst, std::ptrdiff_t step, unsigned mode, Opx32u flags) noexcept;

// Flags of luma 8×8 block b (raster order) from the macroblock's flags.
constexpr Opx32u luma_block_flags(int b, Opx32u f) noexcept {
    switch (b) {
        case 0:
            return f & ~kTopRightUnavailable;
        case 1:
            return (f & ~kLeftUnavailable) | kBottomLeftUnavailable;
        case 2:
            return (f & kLeftUnavailable) | kBottomLeftUnavailable;
        default:
            return kTopRightUnavailable | kBottomLeftUnavailable;
    }
}

}  // namespace opx::avs
