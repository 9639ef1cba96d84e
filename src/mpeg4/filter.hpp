// In-place edge filters of H.263 (Annex J deblocking, Annex Q block boundary) and the H.261 loop
// filter: the strength table and the kernel table.
//
// Contract of every kernel: arguments already checked (pointers valid, strength 1..12 or
// kNoRamp); an edge kernel reads and writes only the two rows (columns) on each side of the edge
// for its n positions along it (n is 8 or 16); the H.261 kernel reads the 8x8 source block and
// writes the 8x8 destination block, and source and destination may be the same block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

// H.263 Table J.2: strength for QP 1..31 (index QP − 1).
inline constexpr std::uint8_t kH263Strength[31] = {1,  1,  2,  2,  3,  3,  4,  4,  4, 5, 5,
                                                   6,  6,  7,  7,  7,  8,  8,  8,  9, 9, 9,
                                                   10, 10, 10, 11, 11, 11, 12, 12, 12};

// A strength no correction reaches (|d| ≤ 1275 / 8 < 255): the 16-sample filter has no ramp.
inline constexpr int kNoRamp = 255;

struct FilterKernels {
    // H.263 deblocking across a horizontal edge: p is the first sample below the edge, n columns.
    void (*deblock_hor)(Opx8u* p, std::ptrdiff_t step, int n, int strength);
    // The same across a vertical edge: p is the first sample right of the edge, n rows.
    void (*deblock_ver)(Opx8u* p, std::ptrdiff_t step, int n, int strength);
    // Block boundary filter (p0 and q0 only), 16 positions.
    void (*boundary_hor)(Opx8u* p, std::ptrdiff_t step);
    void (*boundary_ver)(Opx8u* p, std::ptrdiff_t step);
    // H.261 loop filter of one 8x8 block.
    void (*h261)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst, std::ptrdiff_t dst_step);
};

namespace ref {
extern const FilterKernels kFilter;
}
namespace avx2 {
extern const FilterKernels kFilter;
}

}  // namespace opx::mpeg4
