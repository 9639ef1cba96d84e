// VC-1 post-reconstruction filters: the in-loop deblocking filter (SMPTE 421M 8.6) and overlap
// smoothing (SMPTE 421M 8.5). Kernel signatures and the kernel tables (portable `ref`, `avx2`).
//
// Deblocking kernels filter up to four segments of four lines across one edge; a segment is
// decided by its third line and filtered line by line (loopfilter_ref.cpp states the line
// filter). Kernels take the set of enabled segments (bit s: segment s is filtered) already
// derived from the caller's flags; only P4 and P5 of a line are ever written.
//
// Smoothing kernels: y = (M x + r) >> 3 per line across the edge, M rows (7, 0, 0, 1),
// (-1, 7, 1, 1), (1, 1, 7, -1), (1, 0, 0, 7), r = 4 when (k + line) is even, else 3. Sums are
// exact (32-bit); the vertical-edge forms write the results back into their 16-bit sources
// (modulo 2^16, which never acts on reconstructed samples) and, clamped to 0..255, into pDst;
// the horizontal-edge forms write pDst only.
#pragma once

#include "vc1/vc1.hpp"

#pragma GCC visibility push(hidden)

namespace opx::vc1 {

// ---- deblocking ------------------------------------------------------------------------------

enum DeblockForm {
    kLumaVer,    // 16 lines, pSrcDst at the first sample right of the edge
    kLumaHor,    // 16 lines (columns), pSrcDst at the first sample below the edge
    kChromaVer,  // 8 lines
    kChromaHor,
    kChromaVerC2,  // 8 lines per component, interleaved pairs: segments 0, 1 of U, 2, 3 of V
    kChromaHorC2,
    kNumDeblockForms
};

// Filters the enabled segments (bit s of `segments`) of one edge with PQUANT = pquant.
using DeblockFn = void (*)(Opx8u* p, std::int32_t step, int pquant, unsigned segments) noexcept;

// ---- smoothing -------------------------------------------------------------------------------

// One 8-line luma half or chroma edge. For vertical edges a and b are the left and right blocks
// (a at x0, b at x2), row steps in bytes; for horizontal edges the upper and lower blocks.
// Luma vertical edge: `lines` 0..7 of a and b (`a_rows`/`b_rows` map a line to a source row) go
// to pDst rows `dst_rows`; `parity` 0 or 1 is added to the line index of the rounding.
struct SmoothRows {
    std::int8_t a[8], b[8], dst[8];
    std::int8_t parity[8];
};
// Vertical edge: processes lines 0..7 per `rows`, writing back and clamping into dst (byte
// distance `dst_pitch` between the four outputs: 1 for planar, 2 for interleaved chroma).
using SmoothVerFn = void (*)(Opx16s* a, std::int32_t a_step, Opx16s* b, std::int32_t b_step,
                             Opx8u* dst, std::int32_t dst_step, int dst_pitch,
                             const SmoothRows& rows) noexcept;
// Horizontal edge: columns 0..7 of rows a[0], a[1] | b[0], b[1]; outputs at dst rows -2..+1,
// column c at byte dst_pitch * c; rounding line index = column.
using SmoothHorFn = void (*)(const Opx16s* a, std::int32_t a_step, const Opx16s* b,
                             std::int32_t b_step, Opx8u* dst, std::int32_t dst_step,
                             int dst_pitch) noexcept;

struct LoopFilterKernels {
    DeblockFn deblock[kNumDeblockForms];
    SmoothVerFn smooth_ver;
    SmoothHorFn smooth_hor;
};

namespace ref {
extern const LoopFilterKernels kLoopFilter;
void smooth_ver(Opx16s* a, std::int32_t a_step, Opx16s* b, std::int32_t b_step, Opx8u* dst,
                std::int32_t dst_step, int dst_pitch, const SmoothRows& rows) noexcept;
}  // namespace ref
namespace avx2 {
extern const LoopFilterKernels kLoopFilter;
}

}  // namespace opx::vc1

#pragma GCC visibility pop
