// H.264 deblocking filter (clause 8.7): kernel signatures and the kernel tables of the family.
//
// Every kernel filters the edges of one macroblock in place, in the order of the standard
// (vertical edges left to right, horizontal edges top to bottom, lines in order along an edge),
// each edge reading what the edges before it wrote. The pointer addresses the macroblock's
// top-left sample; steps are in samples and may be negative.
//
// Inputs are never range-checked, so the kernels are written for any byte (8u) or 16-bit value
// of samples, thresholds and bS. A bS above 4 acts as 4.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"

namespace opx::h264 {

// Kernels that take threshold arrays ([0] for edge 0, [1] for the internal edges).
enum DeblockEdges {
    kDeblockLumaVer,       // luma columns 0, 4, 8, 12
    kDeblockLumaHor,       // luma rows 0, 4, 8, 12
    kDeblockChromaVer,     // 4:2:0 chroma columns 0, 4
    kDeblockChromaHor,     // 4:2:0 chroma rows 0, 4
    kDeblockChromaVerC2,   // interleaved CbCr, chroma columns 0, 4
    kDeblockChromaHorC2,   // interleaved CbCr, rows 0, 4
    kDeblockChroma422Ver,  // 4:2:2 chroma columns 0, 4, 16 rows
    kDeblockChroma422Hor,  // 4:2:2 chroma rows 0, 4, 8, 12
    kNumDeblock8u
};

// 16-bit kernels, all with threshold arrays (the MBAFF ones use entry [0]).
enum DeblockEdges16 {
    kDeblock16LumaVer,
    kDeblock16LumaHor,
    kDeblock16LumaVerMbaff,
    kDeblock16ChromaVer,
    kDeblock16ChromaHor,
    kDeblock16ChromaVerMbaff,
    kDeblock16Chroma422Ver,
    kDeblock16Chroma422Hor,
    kNumDeblock16u
};

// The 8-bit edge kernels return opxOk so that the exported functions hand over with a jump.
using Deblock8uFn = OpxResult (*)(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha,
                                  const Opx8u* beta, const Opx8u* tc0, const Opx8u* bs) noexcept;
// MBAFF: one vertical edge of 8 luma or 4 chroma rows with single thresholds.
using DeblockMbaff8uFn = void (*)(Opx8u* p, std::ptrdiff_t step, Opx32u alpha, Opx32u beta,
                                  const Opx8u* tc0, const Opx8u* bs) noexcept;
// bit_depth is 8..14 (the entry points clamp it).
using Deblock16uFn = void (*)(Opx16u* p, std::ptrdiff_t step, const Opx16u* alpha,
                              const Opx16u* beta, const Opx16u* tc0, const Opx8u* bs,
                              int bit_depth) noexcept;

struct DeblockKernels {
    Deblock8uFn edges8[kNumDeblock8u];
    DeblockMbaff8uFn luma_mbaff8;
    DeblockMbaff8uFn chroma_mbaff8;
    Deblock16uFn edges16[kNumDeblock16u];
};

namespace ref {
extern const DeblockKernels kDeblock;
}
namespace avx2 {
extern const DeblockKernels kDeblock;
}

}  // namespace opx::h264
