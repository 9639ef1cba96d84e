// Portable deblocking filter, written per line from H.264 clause 8.7.2.3 (bS < 4) and 8.7.2.4
// (bS = 4). One edge routine serves vertical and horizontal edges: `across` steps from one
// sample to the next across the edge (p0 → q0), `along` from one line to the next.
#include <algorithm>
#include <cstdlib>

#include "h264/decode/deblock.hpp"

namespace opx::h264::ref {
namespace {

// Floor division by 2^n, defined for negative x (no shift of a negative value).
constexpr int floor_shift(int x, int n) noexcept {
    return x >= 0 ? x >> n : ~(~x >> n);
}

// How an edge's four bS values select the filter.
enum class Strong {
    kPerSegment,  // bS ≥ 4 filters its segment with the bS = 4 rule
    kFirst,       // the first bS ≥ 4 makes the whole edge bS 4
    kAllFour,  // bS 4 rule only when all four are ≥ 4; otherwise bS < 4 rule for every non-zero
};

struct Edge {
    int bs[4];   // per segment, after the Strong rule: 0, 1..3 (bS < 4 rule) or 4
    int tc0[4];  // per segment
    long long alpha, beta;
};

Edge make_edge(const Opx8u* bs, Strong strong, long long alpha, long long beta,
               const int tc0[4]) noexcept {
    Edge e{};
    const bool first = strong == Strong::kFirst && bs[0] >= 4;
    const bool all =
        strong == Strong::kAllFour && bs[0] >= 4 && bs[1] >= 4 && bs[2] >= 4 && bs[3] >= 4;
    for (int k = 0; k < 4; ++k) {
        int b = std::min<int>(bs[k], 4);
        if (first || all) b = 4;
        if (strong == Strong::kAllFour && !all && b == 4) b = 3;
        e.bs[k] = b;
        e.tc0[k] = tc0[k];
    }
    e.alpha = alpha;
    e.beta = beta;
    return e;
}

template <class T>
void filter_line(T* q, std::ptrdiff_t a, int bs, int tc0, long long alpha, long long beta,
                 bool luma, int max) noexcept {
    const int p0 = q[-a], p1 = q[-2 * a], q0 = q[0], q1 = q[a];
    if (!(std::abs(p0 - q0) < alpha && std::abs(p1 - p0) < beta && std::abs(q1 - q0) < beta))
        return;
    if (!luma) {
        if (bs < 4) {
            const int tc = tc0 + 1;
            const int delta = std::clamp(floor_shift((q0 - p0) * 4 + (p1 - q1) + 4, 3), -tc, tc);
            q[-a] = static_cast<T>(std::clamp(p0 + delta, 0, max));
            q[0] = static_cast<T>(std::clamp(q0 - delta, 0, max));
        } else {
            q[-a] = static_cast<T>((2 * p1 + p0 + q1 + 2) >> 2);
            q[0] = static_cast<T>((2 * q1 + q0 + p1 + 2) >> 2);
        }
        return;
    }
    const int p2 = q[-3 * a], q2 = q[2 * a];
    const bool ap = std::abs(p2 - p0) < beta, aq = std::abs(q2 - q0) < beta;
    if (bs < 4) {
        const int tc = tc0 + ap + aq;
        const int delta = std::clamp(floor_shift((q0 - p0) * 4 + (p1 - q1) + 4, 3), -tc, tc);
        const int avg = (p0 + q0 + 1) >> 1;
        if (ap)
            q[-2 * a] =
                static_cast<T>(p1 + std::clamp(floor_shift(p2 + avg - 2 * p1, 1), -tc0, tc0));
        if (aq)
            q[a] = static_cast<T>(q1 + std::clamp(floor_shift(q2 + avg - 2 * q1, 1), -tc0, tc0));
        q[-a] = static_cast<T>(std::clamp(p0 + delta, 0, max));
        q[0] = static_cast<T>(std::clamp(q0 - delta, 0, max));
        return;
    }
    const int p3 = q[-4 * a], q3 = q[3 * a];
    const bool small_step = std::abs(p0 - q0) < (alpha >> 2) + 2;
    if (ap && small_step) {
        q[-a] = static_cast<T>((p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3);
        q[-2 * a] = static_cast<T>((p2 + p1 + p0 + q0 + 2) >> 2);
        q[-3 * a] = static_cast<T>((2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3);
    } else {
        q[-a] = static_cast<T>((2 * p1 + p0 + q1 + 2) >> 2);
    }
    if (aq && small_step) {
        q[0] = static_cast<T>((p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3);
        q[a] = static_cast<T>((p0 + q0 + q1 + q2 + 2) >> 2);
        q[2 * a] = static_cast<T>((2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3);
    } else {
        q[0] = static_cast<T>((2 * q1 + q0 + p1 + 2) >> 2);
    }
}

// One edge: `lines` lines from `q0` on, `lines_per_bs` consecutive lines per segment.
template <class T>
void filter_edge(T* q0, std::ptrdiff_t across, std::ptrdiff_t along, int lines, int lines_per_bs,
                 const Edge& e, bool luma, int max) noexcept {
    if (e.bs[0] == 0 && e.bs[1] == 0 && e.bs[2] == 0 && e.bs[3] == 0) return;
    for (int i = 0; i < lines; ++i) {
        const int k = i / lines_per_bs;
        if (e.bs[k] != 0)
            filter_line(q0 + i * along, across, e.bs[k], e.tc0[k], e.alpha, e.beta, luma, max);
    }
}

// Description of one kind of macroblock edge set.
struct Layout {
    int edges;          // edges filtered, in order
    int edge_distance;  // in samples across
    int lines;          // lines per edge
    int lines_per_bs;
    int bs_stride;  // bS of edge c start at [bs_stride · c]
    bool luma;
    Strong strong;
    bool interleaved;  // CbCr pairs: every sample across is two bytes, lines cover both
};

constexpr Layout kLuma = {4, 4, 16, 4, 4, true, Strong::kPerSegment, false};
constexpr Layout kChroma = {2, 4, 8, 2, 8, false, Strong::kPerSegment, false};
constexpr Layout kChroma422Ver = {2, 4, 16, 4, 8, false, Strong::kPerSegment, false};
constexpr Layout kChroma422Hor = {4, 4, 8, 2, 4, false, Strong::kFirst, false};
constexpr Layout kChromaC2 = {2, 4, 8, 2, 8, false, Strong::kAllFour, true};
constexpr Layout kChromaHor16 = {2, 4, 8, 2, 8, false, Strong::kFirst, false};

// Filters the edges of a macroblock; `vertical` edges run down columns.
template <class T, class Th>
void filter_mb(T* p, std::ptrdiff_t step, bool vertical, const Layout& l, const Th* alpha,
               const Th* beta, const Th* tc0, const Opx8u* bs, int max) noexcept {
    const int unit = l.interleaved ? 2 : 1;  // elements per sample across and along rows
    for (int c = 0; c < l.edges; ++c) {
        const int t[4] = {tc0[4 * c], tc0[4 * c + 1], tc0[4 * c + 2], tc0[4 * c + 3]};
        const Edge e =
            make_edge(bs + l.bs_stride * c, l.strong, alpha[c ? 1 : 0], beta[c ? 1 : 0], t);
        const int offset = c * l.edge_distance;
        for (int comp = 0; comp < unit; ++comp) {
            if (vertical) {
                filter_edge(p + offset * unit + comp, unit, step, l.lines, l.lines_per_bs, e,
                            l.luma, max);
            } else {
                filter_edge(p + offset * step + comp, step, unit, l.lines, l.lines_per_bs, e,
                            l.luma, max);
            }
        }
    }
}

template <const Layout& L, bool Vertical>
OpxResult edges8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                 const Opx8u* tc0, const Opx8u* bs) noexcept {
    filter_mb(p, step, Vertical, L, alpha, beta, tc0, bs, 255);
    return opxOk;
}

// Luma: an early exit when all 16 bS are zero (nothing would change anyway).
template <bool Vertical>
OpxResult luma8(Opx8u* p, std::ptrdiff_t step, const Opx8u* alpha, const Opx8u* beta,
                const Opx8u* tc0, const Opx8u* bs) noexcept {
    if (std::all_of(bs, bs + 16, [](Opx8u b) { return b == 0; })) return opxOk;
    filter_mb(p, step, Vertical, kLuma, alpha, beta, tc0, bs, 255);
    return opxOk;
}

// MBAFF: one vertical edge; luma row r uses entry r >> 1, chroma row r entry r.
template <class T>
void mbaff(T* p, std::ptrdiff_t step, long long alpha, long long beta, const int tc0[4],
           const Opx8u* bs, bool luma, int max) noexcept {
    if (alpha == 0 || (bs[0] == 0 && bs[1] == 0 && bs[2] == 0 && bs[3] == 0)) return;
    const Edge e = make_edge(bs, Strong::kPerSegment, alpha, beta, tc0);
    filter_edge(p, 1, step, luma ? 8 : 4, luma ? 2 : 1, e, luma, max);
}

template <bool Luma>
void mbaff8(Opx8u* p, std::ptrdiff_t step, Opx32u alpha, Opx32u beta, const Opx8u* tc0,
            const Opx8u* bs) noexcept {
    const int t[4] = {tc0[0], tc0[1], tc0[2], tc0[3]};
    mbaff(p, step, alpha, beta, t, bs, Luma, 255);
}

template <const Layout& L, bool Vertical>
void edges16(Opx16u* p, std::ptrdiff_t step, const Opx16u* alpha, const Opx16u* beta,
             const Opx16u* tc0, const Opx8u* bs, int bit_depth) noexcept {
    filter_mb(p, step, Vertical, L, alpha, beta, tc0, bs, (1 << bit_depth) - 1);
}

template <bool Luma>
void mbaff16(Opx16u* p, std::ptrdiff_t step, const Opx16u* alpha, const Opx16u* beta,
             const Opx16u* tc0, const Opx8u* bs, int bit_depth) noexcept {
    const int t[4] = {tc0[0], tc0[1], tc0[2], tc0[3]};
    mbaff(p, step, alpha[0], beta[0], t, bs, Luma, (1 << bit_depth) - 1);
}

}  // namespace

extern const DeblockKernels kDeblock = {
    {
        luma8<true>,
        luma8<false>,
        edges8<kChroma, true>,
        edges8<kChroma, false>,
        edges8<kChromaC2, true>,
        edges8<kChromaC2, false>,
        edges8<kChroma422Ver, true>,
        edges8<kChroma422Hor, false>,
    },
    mbaff8<true>,
    mbaff8<false>,
    {
        edges16<kLuma, true>,
        edges16<kLuma, false>,
        mbaff16<true>,
        edges16<kChroma, true>,
        edges16<kChromaHor16, false>,
        mbaff16<false>,
        edges16<kChroma422Ver, true>,
        edges16<kChroma422Hor, false>,
    },
};

}  // namespace opx::h264::ref
