// MPEG-4 post-filters (ISO/IEC 14496-2 Annex F): deblocking across one 8-sample block edge,
// deringing thresholds of a macroblock and the deringing smoother of one 8x8 block; the kernel
// table.
//
// Contract of every kernel: arguments already checked (pointers valid, qp 1..31).
// - Deblocking reads the ten samples s0..s9 of each of the 8 segments across the edge (p points
//   to s5 of the first) and writes only s1..s8 of them.
// - The threshold kernel reads the four luminance and two chrominance 8x8 blocks and writes six
//   values.
// - The smoother reads the block and its one-sample border (10x10) and writes the 8x8 destination;
//   source and destination may be the same block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

// Defaults of the deblocking decision (documented for callers): thr1 = 2, thr2 = 6.
inline constexpr int kPostThr1 = 2;
inline constexpr int kPostThr2 = 6;

struct PostFilterKernels {
    void (*deblock_hor)(Opx8u* p, std::ptrdiff_t step, int qp, int thr1, int thr2);
    void (*deblock_ver)(Opx8u* p, std::ptrdiff_t step, int qp, int thr1, int thr2);
    void (*dering_threshold)(const Opx8u* y, std::ptrdiff_t ys, const Opx8u* cb, std::ptrdiff_t cbs,
                             const Opx8u* cr, std::ptrdiff_t crs, Opx32s* thr);
    void (*dering_smooth)(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds,
                          int qp, int threshold);
};

// Used by both tables (internal linkage: each translation unit keeps its own copy): the DC offset
// (smooth region) filter of one segment v[0..9] in place, when its s1..s8 span less than 2·qp.
static inline void dc_offset_segment(int* v, int qp) noexcept {
    int mx = v[1], mn = v[1];
    for (int k = 2; k <= 8; ++k) {
        mx = v[k] > mx ? v[k] : mx;
        mn = v[k] < mn ? v[k] : mn;
    }
    if (mx - mn >= 2 * qp) return;
    int e[18];  // p0 repeated four times, p0, s1..s8, p9, then p9 repeated
    const int d0 = v[0] - v[1], d9 = v[8] - v[9];
    const int p0 = (d0 < 0 ? -d0 : d0) < qp ? v[0] : v[1];
    const int p9 = (d9 < 0 ? -d9 : d9) < qp ? v[9] : v[8];
    for (int k = 0; k < 4; ++k) e[k] = p0;
    e[4] = p0;
    for (int k = 1; k <= 8; ++k) e[4 + k] = v[k];
    e[13] = p9;
    for (int k = 14; k < 18; ++k) e[k] = p9;
    static constexpr int w[9] = {1, 1, 2, 2, 4, 2, 2, 1, 1};
    int out[9];
    for (int n = 1; n <= 8; ++n) {
        int s = 8;
        for (int k = 0; k < 9; ++k) s += w[k] * e[n + k];
        out[n] = s >> 4;
    }
    for (int n = 1; n <= 8; ++n) v[n] = out[n];
}

namespace ref {
extern const PostFilterKernels kPostFilter;
}
namespace avx2 {
extern const PostFilterKernels kPostFilter;
}

}  // namespace opx::mpeg4
