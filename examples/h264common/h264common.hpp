// What the H.264 example programs (opxvc-h264dec, opxvc-h264enc) share: the standard's tables,
// per-macroblock motion with the motion vector predictor and the filter strengths it gives, and
// the deblocking of one macroblock through the library's edge filters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "opxvc.h"

namespace h264common {

// ---- counting of library calls (the decoder's --calls) ----
// OPX_COUNTED(opxiFoo)(arguments) calls opxiFoo and, while call_counting is on, counts the call
// under the function's name; off, it costs one predictable branch.
extern bool call_counting;
void count_call(const char* name);
// The counts, one "name count" line per function in name order.
void print_call_counts(FILE* f);
#define OPX_COUNTED(f) \
    ((void)(__builtin_expect(h264common::call_counting, 0) && (h264common::count_call(#f), 1)), f)

// ---- tables (tables.cpp) ----
extern const uint8_t kZigzag4x4[16];
extern const uint8_t kZigzag8x8[64];
extern const uint8_t kDefault4x4[2][16];  // intra, inter; zig-zag order
extern const uint8_t kDefault8x8[2][64];
extern const uint8_t kChromaQp[52];
extern const uint8_t kAlpha[52];
extern const uint8_t kBeta[52];
extern const uint8_t kTc0[52][3];
extern const uint8_t kCbpIntra[48], kCbpInter[48], kCbpIntraMono[16], kCbpInterMono[16];

// nC of a CAVLC block (clause 9.2.1) from the TotalCoeff of the blocks left of (A) and above (B)
// it, each counted when available.
inline int predict_nc(bool a_avail, int na, bool b_avail, int nb) {
    if (a_avail && b_avail) return (na + nb + 1) >> 1;
    return a_avail ? na : b_avail ? nb : 0;
}

// ---- motion ----
inline int median(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

struct Mv {
    int x = 0, y = 0;
    bool operator==(const Mv& o) const { return x == o.x && y == o.y; }
};

// A neighbouring block A, B or C of motion vector prediction (clause 8.4.1.3): available or
// not, its reference index (-1: unavailable, intra or the list unused) and vector.
struct MvNeighbour {
    bool avail = false;
    int ref = -1;
    Mv mv;
};

// mvpLX of clause 8.4.1.3 from the neighbours A, B and C (C already replaced by D where C is
// unavailable) for reference index `ref`. shape: 0 other, 1 16x8 upper, 2 16x8 lower, 3 8x16
// left, 4 8x16 right.
inline Mv predict_mv(MvNeighbour a, MvNeighbour b, MvNeighbour c, int ref, int shape) {
    if (!b.avail && !c.avail && a.avail) b = c = a;
    if (shape == 1 && b.ref == ref) return b.mv;
    if (shape == 2 && a.ref == ref) return a.mv;
    if (shape == 3 && a.ref == ref) return a.mv;
    if (shape == 4 && c.ref == ref) return c.mv;
    const int matches = (a.ref == ref) + (b.ref == ref) + (c.ref == ref);
    if (matches == 1) return a.ref == ref ? a.mv : b.ref == ref ? b.mv : c.mv;
    Mv m;
    m.x = median(a.mv.x, b.mv.x, c.mv.x);
    m.y = median(a.mv.y, b.mv.y, c.mv.y);
    return m;
}

// Motion of one macroblock, kept per picture for neighbour and co-located look-ups and the
// filter strengths: a vector per 4x4 block (raster order inside the macroblock) and a reference
// per 8x8 block, the granularity of refIdx in frame decoding (sub-macroblock partitions share
// their 8x8 block's reference, and direct prediction derives one per 8x8 block). Three cache
// lines per macroblock.
struct alignas(64) MbMotion {
    int16_t mv[2][16][2];  // [list][4x4 block][x, y]; 0 where the block does not use the list
    int32_t ref_id[2][4];  // [list][8x8 block] picture identifier of the reference, -1: unused
    int8_t ref_idx[2][4];  // [list][8x8 block] -1 where the list is unused
    // 1: a field macroblock of an MBAFF frame (vectors and indices of fields), else 0 (a byte, not
    // a bool: a damaged stream can make a picture its own co-located picture and read a record
    // before it is written)
    uint8_t field_mb;
};

// The 8x8 block holding the 4x4 block at raster index i (y * 4 + x) of a macroblock.
inline int blk8_of(int i) {
    return ((i >> 3) << 1) | ((i >> 1) & 1);
}

// bS for motion (clause 8.7.2.1) between block pi of macroblock p and block qi of macroblock q:
// 0 or 1. mvy_limit: the vertical difference that counts, 4 quarter samples in frames and 2 in
// fields (4 quarter frame samples). Blocks with the same references and vectors (most of them)
// give 0 inline; the others go to motion_strength_general.
int motion_strength_general(const MbMotion& p, int pi, const MbMotion& q, int qi, int mvy_limit);
inline int motion_strength(const MbMotion& p, int pi, const MbMotion& q, int qi,
                           int mvy_limit = 4) {
    uint32_t pv[2], qv[2];
    std::memcpy(&pv[0], p.mv[0][pi], 4);
    std::memcpy(&pv[1], p.mv[1][pi], 4);
    std::memcpy(&qv[0], q.mv[0][qi], 4);
    std::memcpy(&qv[1], q.mv[1][qi], 4);
    const int p8 = blk8_of(pi), q8 = blk8_of(qi);
    if (((pv[0] ^ qv[0]) | (pv[1] ^ qv[1])) == 0 && p.ref_id[0][p8] == q.ref_id[0][q8] &&
        p.ref_id[1][p8] == q.ref_id[1][q8])
        return 0;
    return motion_strength_general(p, pi, q, qi, mvy_limit);
}

// ---- deblocking ----

// Filter thresholds by qP with a slice's offsets applied (clause 8.7.2.2); tc0 by bS 0..4.
struct FilterThresholds {
    // tc0[qp][bS & 7]: 0 for bS 0 and for 4 and above (the strong filter takes no tc0)
    Opx8u alpha[52], beta[52], tc0[52][8];
    void build(int alpha_offset, int beta_offset);
};

// One macroblock of a 4:2:0 (or, with chroma false, 4:0:0) picture to filter: its sample
// positions, boundary strengths (vertical [0] and horizontal [1] edges, [4 * edge + segment])
// and qP values, and those of its left [0] and upper [1] neighbours (read only where the
// neighbour's edge has a non-zero bS).
struct MbFilter {
    Opx8u* y = nullptr;
    Opx8u* c[2] = {nullptr, nullptr};
    int ystep = 0, cstep = 0;
    bool chroma = true;
    const Opx8u (*bs)[16] = nullptr;
    int qp = 0, qpc[2] = {0, 0};
    int nb_qp[2] = {0, 0}, nb_qpc[2][2] = {{0, 0}, {0, 0}};
};

// Filters the macroblock's edges, vertical then horizontal (clause 8.7); returns opxOk or the
// first failing library result.
OpxResult filter_macroblock(const MbFilter& m, const FilterThresholds& t);

}  // namespace h264common
