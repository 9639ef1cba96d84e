// H.264 intra prediction of 8-bit samples (clause 8.3): kernel signatures, kernel slots, the
// kernel table, and the neighbour-availability logic shared by the stand-alone prediction
// functions and the macroblock reconstructions.
//
// Contract of every kernel: it predicts one block in place and reads exactly the neighbour
// samples its slot names, nothing else, so that a block on a picture edge never touches memory
// outside the caller's picture. Which slot serves a mode and an availability is decided here,
// by the drivers below, never inside a kernel.
#pragma once

#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::h264 {

// Availability bits (the encoding of the stand-alone prediction functions).
enum IntraAvail : int {
    kAvailAbove = 1,        // p[x, -1], x = 0..N-1
    kAvailLeft = 2,         // p[-1, y], y = 0..N-1
    kAvailAboveLeft = 32,   // p[-1, -1]
    kAvailAboveRight = 64,  // p[x, -1], x = N..2N-1
};

// edgeType bits of the reconstruction functions: each marks a neighbouring macroblock as
// unavailable.
enum EdgeBit : int {
    kEdgeLeft = 1,
    kEdgeAbove = 4,
    kEdgeAboveLeft = 16,
    kEdgeAboveRight = 32,
};

// ---- 4×4 (clause 8.3.1.2) -------------------------------------------------------------------
// The kernel reads the picture around dst: the row above at dst - step, the column at
// dst[y * step - 1], the corner at dst[-step - 1].
enum Pred4x4Slot : int {
    kP4V,                // mode 0: reads p[0..3, -1]
    kP4H,                // mode 1: reads p[-1, 0..3]
    kP4Dc,               // mode 2 with above and left: reads both
    kP4Ddl,              // mode 3: reads p[0..7, -1]
    kP4Ddr,              // mode 4: reads p[-1, -1], p[0..3, -1], p[-1, 0..3]
    kP4Vr,               // mode 5: as mode 4
    kP4Hd,               // mode 6: as mode 4
    kP4Vl,               // mode 7: reads p[0..7, -1]
    kP4Hu,               // mode 8: reads p[-1, 0..3]
    kP4DdlNoAboveRight,  // mode 3 reading p[0..3, -1]; p[4..7, -1] taken as p[3, -1]
    kP4VlNoAboveRight,   // mode 7 likewise
    kP4DcAbove,          // mode 2 with the row above only
    kP4DcLeft,           // mode 2 with the left column only
    kP4Dc128,            // mode 2 with neither: 128
    kNumPred4x4Slots
};
// The 4×4 kernels return opxOk so that the exported function can hand over to them with a jump.
using Pred4x4Fn = OpxResult (*)(Opx8u* dst, std::ptrdiff_t step) noexcept;

// ---- 8×8 (clause 8.3.2.2) -------------------------------------------------------------------
// One kernel per mode 0..8 does the whole of clause 8.3.2.2 for a block: it reads the neighbour
// groups that `avail` marks available and that the mode uses (the row above and above-right
// unless the mode is 1 or 8, the left column unless it is 0, 3 or 7, the corner always), completes
// missing samples above-right from p[7, -1], takes 128 for a group the mode needs (kIntraNeeds)
// but lacks, filters the references (clause 8.3.2.2.1) and predicts. DC chooses its rule from the
// groups available.
using Pred8x8Fn = void (*)(Opx8u* dst, std::ptrdiff_t step, int avail) noexcept;

// ---- 16×16 (clause 8.3.3), reading the picture like the 4×4 kernels --------------------------
enum Pred16x16Slot : int {
    kP16V,
    kP16H,
    kP16Dc,
    kP16Plane,  // modes 0..3 (DC: both sides; plane: corner too)
    kP16DcAbove,
    kP16DcLeft,
    kP16Dc128,
    kNumPred16x16Slots
};
using Pred16x16Fn = void (*)(Opx8u* dst, std::ptrdiff_t step) noexcept;

// ---- chroma 8×8 of 4:2:0 (clause 8.3.4), one plane, reading the picture -----------------------
// DC kernels are indexed by the availability of the upper half (blocks 0, 1: the row above and
// rows 0..3 of the left column) and of the lower half (blocks 2, 3: the row above and rows 4..7
// of the left column): slot = upper | lower << 2, each with bit 0 above and bit 1 left.
enum PredChromaSlot : int { kPcH, kPcV, kPcPlane, kNumPredChromaSlots };
inline constexpr int kNumChromaDcSlots = 16;
using PredChromaFn = void (*)(Opx8u* dst, std::ptrdiff_t step) noexcept;

// ---- chroma 8×16 of 4:2:2 (clause 8.3.4 with ChromaArrayType 2), one plane --------------------
// The same slots as 4:2:0: the halves are rows 0..7 (blocks 0..3) and rows 8..15 (blocks 4..7);
// each 4×4 block takes its DC from the neighbours of the macroblock (block (4, 8): p[4..7, -1]
// and p[-1, 8..11]). Plane: b = (34 H + 32) >> 6, c = (5 V + 32) >> 6 (yCF = 4), with V reaching
// p[-1, -1].

struct IntraKernels {
    Pred4x4Fn pred4x4[kNumPred4x4Slots];
    Pred8x8Fn pred8x8[9];
    Pred16x16Fn pred16x16[kNumPred16x16Slots];
    PredChromaFn chroma[kNumPredChromaSlots];
    PredChromaFn chroma_dc[kNumChromaDcSlots];
    PredChromaFn chroma422[kNumPredChromaSlots];
    PredChromaFn chroma422_dc[kNumChromaDcSlots];
    // The 4×4 kernel of each mode for each availability (bits as they stand, the others masked
    // off: one mask and one load pick the kernel), or null where the mode needs a group that is
    // missing. Filled from pred4x4 by with_pred4x4_by_avail.
    Pred4x4Fn pred4x4_by_avail[9][128];
};

namespace ref {
extern const IntraKernels kIntra;
}
namespace avx2 {
extern const IntraKernels kIntra;
}

// ---- 16-bit samples (bit depths 8..14) ---------------------------------------------------------
// The same slots and the same reading contract; `step` counts samples, `bd` is the bit depth:
// missing neighbours and DC without neighbours give 1 << (bd - 1), plane clamps to
// (1 << bd) - 1. The 8×8 kernels follow clause 8.3.2.2 exactly as the 8-bit ones do (above-right
// completed from p[7, -1], DC from the sides present, filtering by the groups present) and
// substitute 1 << (bd - 1) only for a group the mode needs but lacks.
using Pred4x4HighFn = void (*)(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept;
using Pred8x8HighFn = void (*)(Opx16u* dst, std::ptrdiff_t step, int avail, int bd) noexcept;
using PredHighFn = void (*)(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept;

struct IntraKernelsHigh {
    Pred4x4HighFn pred4x4[kNumPred4x4Slots];
    Pred8x8HighFn pred8x8[9];
    PredHighFn pred16x16[kNumPred16x16Slots];
    PredHighFn chroma[kNumPredChromaSlots];
    PredHighFn chroma_dc[kNumChromaDcSlots];
    PredHighFn chroma422[kNumPredChromaSlots];
    PredHighFn chroma422_dc[kNumChromaDcSlots];
    Pred4x4HighFn pred4x4_by_avail[9][128];
};

namespace ref {
extern const IntraKernelsHigh kIntraHigh;
}
namespace avx2 {
extern const IntraKernelsHigh kIntraHigh;
}

// A 4×4 prediction added at once to a residual block (16 values in raster order, saturating
// 16-bit addition, clamped to 0..max): the sum written, the prediction never stored. The same
// kernels by mode and availability as pred4x4_by_avail (null where that is null). AVX2 only.
using Pred4x4AddHighFn = void (*)(Opx16u* dst, std::ptrdiff_t step, int bd, const Opx16s* res,
                                  int max) noexcept;
struct Pred4x4AddHighTable {
    Pred4x4AddHighFn by_avail[9][128];
};
namespace avx2 {
extern const Pred4x4AddHighTable kPred4x4AddHigh;
}

// ---- drivers: availability, substitution and slot choice --------------------------------------

// Neighbour groups each 4×4 / 8×8 mode needs (above-right is not listed: the standard
// substitutes it from p[N-1, -1]).
inline constexpr int kIntraNeeds[9] = {
    kAvailAbove,                                 // 0 vertical
    kAvailLeft,                                  // 1 horizontal
    0,                                           // 2 DC uses what there is
    kAvailAbove,                                 // 3 diagonal down-left
    kAvailAbove | kAvailLeft | kAvailAboveLeft,  // 4 diagonal down-right
    kAvailAbove | kAvailLeft | kAvailAboveLeft,  // 5 vertical-right
    kAvailAbove | kAvailLeft | kAvailAboveLeft,  // 6 horizontal-down
    kAvailAbove,                                 // 7 vertical-left
    kAvailLeft,                                  // 8 horizontal-up
};

// Out-of-line part of predict_4x4: builds the neighbours in a small block of its own with 128 for
// the groups the mode needs but lacks, predicts there and copies the block out.
void predict_4x4_substituted(const IntraKernels& k, Opx8u* dst, std::ptrdiff_t step, int mode,
                             int avail) noexcept;

// Slot of a 4×4 mode for an availability, or -1 when the mode needs a group that is missing (the
// substitution path). For modes 3 and 7 a row above without the samples above-right is completed
// from p[3, -1] (clause 8.3.1.2), no substitution; without the row above, the samples
// above-right count as missing too. DC never substitutes.
inline constexpr int kAvail4x4Bits = kAvailAbove | kAvailLeft | kAvailAboveLeft | kAvailAboveRight;
static_assert(kAvail4x4Bits < 128);
constexpr int pred4x4_slot(int mode, int avail) {
    const int need = kIntraNeeds[mode];
    if ((avail & need) != need) return -1;
    if (mode == 2) {
        constexpr int kDc[4] = {kP4Dc128, kP4DcAbove, kP4DcLeft, kP4Dc};
        return kDc[avail & 3];
    }
    if ((mode == 3 || mode == 7) && !(avail & kAvailAboveRight))
        return mode == 3 ? kP4DdlNoAboveRight : kP4VlNoAboveRight;
    return mode;
}

// `t` with pred4x4_by_avail filled from its pred4x4 kernels: entry [mode][bits] serves every
// availability whose bits masked by kAvail4x4Bits are `bits`.
template <class Table>
constexpr Table with_pred4x4_by_avail(Table t) {
    for (int mode = 0; mode < 9; ++mode)
        for (int bits = 0; bits < 128; ++bits) {
            const int slot = pred4x4_slot(mode, bits & kAvail4x4Bits);
            t.pred4x4_by_avail[mode][bits] = slot < 0 ? nullptr : t.pred4x4[slot];
        }
    return t;
}

// Predicts a 4×4 block with `mode` (0..8) and the availability bits. Returns
// opxWrnIntraPredUnavailable when a group the mode needs was unavailable and taken as 128.
OPX_INLINE OpxResult predict_4x4(const IntraKernels& k, Opx8u* dst, std::ptrdiff_t step, int mode,
                                 int avail) noexcept {
    const Pred4x4Fn fn = k.pred4x4_by_avail[mode][avail & kAvail4x4Bits];
    if (OPX_UNLIKELY(!fn)) {
        predict_4x4_substituted(k, dst, step, mode, avail);
        return opxWrnIntraPredUnavailable;
    }
    return fn(dst, step);
}

void predict_4x4_substituted(const IntraKernelsHigh& k, Opx16u* dst, std::ptrdiff_t step, int mode,
                             int avail, int bd) noexcept;

// predict_4x4 for 16-bit samples; returns true after a substitution.
OPX_INLINE bool predict_4x4(const IntraKernelsHigh& k, Opx16u* dst, std::ptrdiff_t step, int mode,
                            int avail, int bd) noexcept {
    const Pred4x4HighFn fn = k.pred4x4_by_avail[mode][avail & kAvail4x4Bits];
    if (OPX_UNLIKELY(!fn)) {
        predict_4x4_substituted(k, dst, step, mode, avail, bd);
        return true;
    }
    fn(dst, step, bd);
    return false;
}

// Predicts an 8×8 luma block with `mode` (0..8). Returns true when a group the mode needs was
// unavailable and taken as 128.
OPX_INLINE bool predict_8x8(const IntraKernels& k, Opx8u* dst, std::ptrdiff_t step, int mode,
                            int avail) noexcept {
    k.pred8x8[mode](dst, step, avail);
    const int need = kIntraNeeds[mode];
    return (avail & need) != need;
}

// Slot of a 16×16 mode (0..3), or -1 when the mode needs a neighbour that is unavailable.
OPX_INLINE int pred16x16_slot(int mode, int avail) noexcept {
    switch (mode) {
        case 0:
            return (avail & kAvailAbove) ? kP16V : -1;
        case 1:
            return (avail & kAvailLeft) ? kP16H : -1;
        case 2: {
            static constexpr signed char kDc[4] = {kP16Dc128, kP16DcAbove, kP16DcLeft, kP16Dc};
            return kDc[avail & 3];
        }
        default: {
            const int need = kAvailAbove | kAvailLeft | kAvailAboveLeft;
            return (avail & need) == need ? kP16Plane : -1;
        }
    }
}

// Chroma kernel for a mode (0 DC, 1 horizontal, 2 vertical, 3 plane) with the availability of
// the upper and lower halves (bits kAvailAbove, kAvailLeft, kAvailAboveLeft; the two are equal
// except in the half-macroblock functions), or nullptr when the mode needs a neighbour that is
// unavailable. Vertical and plane look at the upper half's bits.
// `plain` and `dc` are the kernels of one chroma format and depth (chroma/chroma_dc or
// chroma422/chroma422_dc of a table).
template <class Fn>
OPX_INLINE Fn chroma_pick(const Fn (&plain)[kNumPredChromaSlots], const Fn (&dc)[kNumChromaDcSlots],
                          int mode, int upper, int lower) noexcept {
    switch (mode) {
        case 0:
            return dc[(upper & 3) | (lower & 3) << 2];
        case 1:
            return (upper & lower & kAvailLeft) ? plain[kPcH] : nullptr;
        case 2:
            return (upper & kAvailAbove) ? plain[kPcV] : nullptr;
        default: {
            const int need = kAvailAbove | kAvailLeft | kAvailAboveLeft;
            return (upper & lower & need) == need ? plain[kPcPlane] : nullptr;
        }
    }
}
OPX_INLINE PredChromaFn chroma_kernel(const IntraKernels& k, int mode, int upper,
                                      int lower) noexcept {
    return chroma_pick(k.chroma, k.chroma_dc, mode, upper, lower);
}

// Availability bits of a whole macroblock from edgeType.
OPX_INLINE int mb_avail(int edge_type) noexcept {
    return ((edge_type & kEdgeAbove) ? 0 : kAvailAbove) |
           ((edge_type & kEdgeLeft) ? 0 : kAvailLeft) |
           ((edge_type & kEdgeAboveLeft) ? 0 : kAvailAboveLeft) |
           ((edge_type & kEdgeAboveRight) ? 0 : kAvailAboveRight);
}

}  // namespace opx::h264
