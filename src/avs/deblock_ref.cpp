// Portable AVS loop filter, per line from the rules. One body serves both edge directions: a
// line runs across the edge with `across` between its samples, successive lines lie `along`
// apart (vertical edges: across 1, along the row step; horizontal edges the reverse).
#include <algorithm>
#include <cstdlib>

#include "avs/avs.hpp"

namespace opx::avs::ref {
namespace {

int clip(int v, int lo, int hi) noexcept {
    return std::clamp(v, lo, hi);
}

// Filters one line whose segment bS is nonzero. All conditions use the unfiltered samples.
template <bool Luma>
void filter_line(Opx8u* q, std::ptrdiff_t across, int alpha, int beta, int c,
                 bool strong) noexcept {
    const int p0 = q[-across], p1 = q[-2 * across], p2 = q[-3 * across];
    const int q0 = q[0], q1 = q[across], q2 = q[2 * across];
    if (!(std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta))
        return;
    const bool ap = std::abs(p2 - p0) < beta, aq = std::abs(q2 - q0) < beta;
    if (strong) {
        const bool s = std::abs(p0 - q0) < (alpha >> 2) + 2;
        if (ap && s) {
            q[-across] = static_cast<Opx8u>((((p1 + q0) >> 1) + p0 + 1) >> 1);
            if (Luma) q[-2 * across] = static_cast<Opx8u>((((p0 + q0) >> 1) + p1 + 1) >> 1);
        } else {
            q[-across] = static_cast<Opx8u>((((p0 + q0) >> 1) + p1 + 1) >> 1);
        }
        if (aq && s) {
            q[0] = static_cast<Opx8u>((((q1 + p0) >> 1) + q0 + 1) >> 1);
            if (Luma) q[across] = static_cast<Opx8u>((((p0 + q0) >> 1) + q1 + 1) >> 1);
        } else {
            q[0] = static_cast<Opx8u>((((p0 + q0) >> 1) + q1 + 1) >> 1);
        }
        return;
    }
    const int d = clip((3 * (q0 - p0) + (p1 - q1) + 4) >> 3, -c, c);
    const int np0 = clip(p0 + d, 0, 255), nq0 = clip(q0 - d, 0, 255);
    q[-across] = static_cast<Opx8u>(np0);
    q[0] = static_cast<Opx8u>(nq0);
    if (Luma) {
        if (ap) {
            const int d1 = clip((3 * (np0 - p1) + (p2 - nq0) + 4) >> 3, -c, c);
            q[-2 * across] = static_cast<Opx8u>(clip(p1 + d1, 0, 255));
        }
        if (aq) {
            const int d2 = clip((3 * (q1 - nq0) + (np0 - q2) + 4) >> 3, -c, c);
            q[across] = static_cast<Opx8u>(clip(q1 - d2, 0, 255));
        }
    }
}

// One edge of `lines` lines in two segments with bS b0 (first half) and b1 (second half).
template <bool Luma>
void filter_edge(Opx8u* q, std::ptrdiff_t across, std::ptrdiff_t along, int lines, int b0, int b1,
                 int alpha, int beta, int c) noexcept {
    const bool strong = b0 == 2 && b1 == 2;
    for (int i = 0; i < lines; ++i) {
        const int b = i < lines / 2 ? b0 : b1;
        if (b != 0) filter_line<Luma>(q + i * along, across, alpha, beta, c, strong);
    }
}

// Luma: edge 0 then edge 8; bS of the q-side blocks: vertical edges [e], [e + 2], horizontal
// edges [2e], [2e + 1].
template <bool Vertical>
OpxResult luma(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta, const Opx8u* c,
               const Opx8u* bs) noexcept {
    const std::ptrdiff_t across = Vertical ? 1 : step, along = Vertical ? step : 1;
    for (int e = 0; e < 2; ++e) {
        const int b0 = Vertical ? bs[e] : bs[2 * e], b1 = Vertical ? bs[e + 2] : bs[2 * e + 1];
        filter_edge<true>(p + 8 * e * across, across, along, 16, b0, b1, alpha[e], beta[e], c[e]);
    }
    return opxOk;
}

// Chroma: edge 0 only; vertical bS [0] rows 0–3, [2] rows 4–7; horizontal [0] and [1].
template <bool Vertical>
OpxResult chroma(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                 const Opx8u* c, const Opx8u* bs) noexcept {
    const std::ptrdiff_t across = Vertical ? 1 : step, along = Vertical ? step : 1;
    filter_edge<false>(p, across, along, 8, bs[0], Vertical ? bs[2] : bs[1], alpha[0], beta[0],
                       c[0]);
    return opxOk;
}

}  // namespace

OpxResult deblock_chroma_ver(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                             const Opx8u* c, const Opx8u* bs) noexcept {
    return chroma<true>(p, step, alpha, beta, c, bs);
}

const DeblockKernels kDeblock = {{luma<true>, luma<false>, deblock_chroma_ver, chroma<false>}};

}  // namespace opx::avs::ref
