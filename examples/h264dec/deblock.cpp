// Deblocking of a decoded picture (clause 8.7): the decoder derives the boundary strengths,
// alpha, beta and tC0 per macroblock edge, the library filters the samples. Also the
// concealment of macroblocks that a damaged stream left undecoded, and the CAVLC table set-up.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "decoder.hpp"
#include "opxvc_h264_cavlc_codes.h"

namespace h264dec {

using h264common::motion_strength;

static int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}

// A 4x4 bit matrix transposed: bit 4 * y + x moves to bit 4 * x + y.
static unsigned transpose4x4(unsigned m) {
    unsigned t = (m ^ (m >> 3)) & 0x0A0A;
    m ^= t ^ (t << 3);
    t = (m ^ (m >> 6)) & 0x00CC;
    return m ^ t ^ (t << 6);
}

// The four bS bytes of an edge from a nibble of segments: 2 where the segment's bit is set.
static constexpr uint32_t kTwos[16] = {
    0x00000000, 0x00000002, 0x00000200, 0x00000202, 0x00020000, 0x00020002, 0x00020200, 0x00020202,
    0x02000000, 0x02000002, 0x02000200, 0x02000202, 0x02020000, 0x02020002, 0x02020200, 0x02020202};

// Each bit e of a 4-bit mask spread over nibble e (bit e of still[] -> the segments of edge e).
static constexpr uint16_t kNibbles[16] = {
    0x0000, 0x000F, 0x00F0, 0x00FF, 0x0F00, 0x0F0F, 0x0FF0, 0x0FFF,
    0xF000, 0xF00F, 0xF0F0, 0xF0FF, 0xFF00, 0xFF0F, 0xFFF0, 0xFFFF};

// Boundary strengths of the macroblock's vertical [0] and horizontal [1] edges, [4 * edge +
// segment]. The slice decoder calls this when the macroblock is complete; the filter pass
// recomputes it where a neighbour was decoded later (slice groups). Masks with bit 4 * edge +
// segment say where coefficients decide (bS 2) and where the motion must be compared, so that
// the comparisons run only where they matter.
void Decoder::edge_strengths(int mbx, int mby) {
    const int w = mb_width_;
    const size_t mb = size_t(mby * w + mbx);
    MbInfo& q = mbs_[mb];
    const MbMotion& qm = cur_->motion[mb];
    const SliceInfo& si = slices_[size_t(q.slice_num)];
    q.bs_valid = true;
    // 4:2:2 chroma has horizontal edges at the rows of luma edges 1 and 3 even where the luma
    // transform is 8x8: their strengths are derived too (clause 8.7.2.1), then kept apart
    const bool extra = q.transform8x8 && sps_active_->chroma_format_idc == 2;
    for (int dir = 0; dir < 2; ++dir) {  // 0: vertical edges, 1: horizontal edges
        Opx8u* bs = q.bs[dir];
        int nx = dir == 0 ? mbx - 1 : mbx, ny = dir == 0 ? mby : mby - 1;
        size_t pmb_index = size_t(ny * w + nx);
        const MbInfo* pm = nx >= 0 && ny >= 0 ? &mbs_[pmb_index] : nullptr;
        if (pm && pm->slice_num < 0) {
            q.bs_valid = false;  // not decoded yet, or lost
            pm = nullptr;
        }
        if (pm && si.deblock_idc == 2 && pm->slice_num != q.slice_num) pm = nullptr;
        // edges filtered: edge 0 with a neighbour, internal edges 1 and 3 only with 4x4
        // transforms
        unsigned filtered = q.transform8x8 && !(extra && dir == 1) ? 0x0F00 : 0xFFF0;
        if (pm) filtered |= 0xF;
        auto split_extra = [&] {
            if (!(extra && dir == 1)) return;
            std::memcpy(bs_c422_[mb].data(), bs + 4, 4);
            std::memcpy(bs_c422_[mb].data() + 4, bs + 12, 4);
            std::memset(bs + 4, 0, 4);
            std::memset(bs + 12, 0, 4);
        };
        // intra: 4 on macroblock edges, but 3 on horizontal ones in field pictures (clause
        // 8.7.2.1)
        const Opx8u intra_edge = dir == 1 && field_pic_ ? 3 : 4;
        if (q.intra) {  // filtered is whole nibbles: edge e's four segments alike
            const uint64_t threes = 0x03030303;
            const uint64_t half[2] = {
                (filtered & 0xF ? 0x01010101u * intra_edge : 0) | (filtered & 0xF0 ? threes << 32 : 0),
                (filtered & 0xF00 ? threes : 0) | (filtered & 0xF000 ? threes << 32 : 0)};
            std::memcpy(bs, half, 16);
            split_extra();
            continue;
        }
        // block of segment k on edge e inside its macroblock: 4k + e (vertical), 4e + k
        const int along = dir == 0 ? 4 : 1, across = dir == 0 ? 1 : 4;
        auto edge_major = [dir](unsigned raster) {
            return dir == 0 ? transpose4x4(raster) : raster;
        };
        const int perp = dir ^ 1;
        const int mvy_limit = field_pic_ ? 2 : 4;  // 4 quarter frame samples
        // Edge 0 against the neighbour where coefficients and intra prediction do not decide:
        // one comparison for the four segments when the blocks on both sides move alike along
        // it, else one per segment.
        auto motion_edge0 = [&](unsigned motion) {
            const MbMotion& pmm = cur_->motion[pmb_index];
            if (q.still[perp] == 0xE && pm->still[perp] == 0xE) {
                const int s = __builtin_ctz(motion);
                const Opx8u v =
                    Opx8u(motion_strength(pmm, 3 * across + s * along, qm, s * along, mvy_limit));
                // the segments still to set, as a byte mask (0x02 -> 0xFF per byte)
                const uint32_t mask = (kTwos[motion] >> 1) * 0xFF;
                uint32_t edge0;
                std::memcpy(&edge0, bs, 4);
                edge0 = (edge0 & ~mask) | (0x01010101u * v & mask);
                std::memcpy(bs, &edge0, 4);
                return;
            }
            for (; motion; motion &= motion - 1) {
                const int k = __builtin_ctz(motion);
                bs[k] =
                    Opx8u(motion_strength(pmm, 3 * across + k * along, qm, k * along, mvy_limit));
            }
        };
        // No coefficients and one motion across the internal edges (skipped macroblocks,
        // mostly): only edge 0 can have a strength.
        if (q.nonzero == 0 && q.still[dir] == 0xE && !(extra && dir == 1)) {
            std::memset(bs, 0, 16);
            if (!pm) continue;
            if (pm->intra) {
                std::memset(bs, intra_edge, 4);
                continue;
            }
            const unsigned coded = (edge_major(pm->nonzero) >> 12) & 0xF;
            std::memcpy(bs, &kTwos[coded], 4);
            if (coded != 0xF) motion_edge0(~coded & 0xF);
            continue;
        }
        const unsigned qe = edge_major(q.nonzero);
        // coefficients in the block on either side: bS 2
        unsigned coded = (qe | (qe << 4)) & 0xFFF0;
        if (pm) coded |= (qe | (edge_major(pm->nonzero) >> 12)) & 0xF;
        coded &= filtered;
        for (int e = 0; e < 4; ++e) std::memcpy(bs + 4 * e, &kTwos[(coded >> (4 * e)) & 0xF], 4);
        unsigned motion = filtered & ~coded;
        // internal edges the motion does not cross
        motion &= ~unsigned(kNibbles[q.still[dir] & 0xE]);
        if (pm && pm->intra) {
            std::memset(bs, intra_edge, 4);
            motion &= ~0xFu;
        }
        if (motion & 0xF) motion_edge0(motion & 0xF);
        // internal edges: blocks of this macroblock on both sides
        for (motion &= ~0xFu; motion; motion &= motion - 1) {
            const int s = __builtin_ctz(motion);
            const int e = s >> 2, k = s & 3;
            bs[s] = Opx8u(motion_strength(qm, (e - 1) * across + k * along, qm,
                                          e * across + k * along, mvy_limit));
        }
        split_extra();
    }
}

// Decoding in raster order (the usual case) filters macroblock row r - 1 as soon as row r is
// complete, while its samples are still in the cache: row r's intra prediction needed row r - 1
// unfiltered, and filtering row r - 1 changes nothing below it. Any other order (slice groups,
// arbitrary slice order, lost slices) leaves the rest to the end of the picture.
void Decoder::mb_decoded(int mb) {
    if (mb != next_in_order_) in_order_ = false;
    next_in_order_ = mb + 1;
    if (!in_order_ || (mb + 1) % mb_width_ != 0) return;
    int row = mb / mb_width_;
    if (row >= 1) deblock_rows(deblocked_rows_, row);
}

namespace {

// Every bS of a macroblock 0 (vertical and horizontal edges): nothing to filter.
bool no_strength(const Opx8u (&bs)[2][16]) {
    uint64_t w[4];
    static_assert(sizeof w == sizeof bs, "two edges' 16 strengths");
    std::memcpy(w, bs, sizeof w);
    return (w[0] | w[1] | w[2] | w[3]) == 0;
}

}  // namespace

void Decoder::deblock_rows(int first, int end) {
    if (mbaff_) return deblock_mbaff(), void();
    Picture* p = cur_;
    const int w = mb_width_;
    const int slices = int(slices_.size());
    deblocked_rows_ = std::max(deblocked_rows_, end);
    for (int mby = first; mby < end; ++mby) {
        for (int mbx = 0; mbx < w; ++mbx) {
            MbInfo& q = mbs_[size_t(mby * w + mbx)];
            if (q.slice_num < 0 || q.slice_num >= slices) continue;
            const SliceInfo& si = slices_[size_t(q.slice_num)];
            if (si.deblock_idc == 1) continue;
            if (!q.bs_valid) edge_strengths(mbx, mby);
            if (no_strength(q.bs) && p->chroma_format != 2) continue;  // (4:2:2 keeps more bS)
            const MbInfo* nb[2] = {mbx > 0 ? &mbs_[size_t(mby * w + mbx - 1)] : &q,
                                   mby > 0 ? &mbs_[size_t((mby - 1) * w + mbx)] : &q};
            h264common::MbFilter f = mb_filter(*p, mbx * 16, mby * 16, q, q.bs, nb);
            filter_mb(f, q, size_t(mby * w + mbx), si);
        }
    }
}

// The filter record of the macroblock whose luma starts at (x, y) in picture (or field view)
// v: its samples, strengths and qP values, and those of its left [0] and upper [1] neighbours.
h264common::MbFilter Decoder::mb_filter(const Picture& v, int x, int y, const MbInfo& q,
                                        const Opx8u (*bs)[16], const MbInfo* const nb[2]) const {
    const size_t pb = size_t(v.pel_bytes);
    const int ch = v.chroma_format == 2 ? y : y / 2;
    h264common::MbFilter f;
    f.y = v.y + (size_t(y) * v.ystride + x) * pb;
    f.c[0] = v.cb + (size_t(ch) * v.cstride + x / 2) * pb;
    f.c[1] = v.cr + (size_t(ch) * v.cstride + x / 2) * pb;
    f.ystep = v.ystride;
    f.cstep = v.cstride;
    f.chroma = v.chroma_format != 0;
    f.bs = bs;
    f.qp = q.qp;
    for (int c = 0; c < 2; ++c) f.qpc[c] = q.qpc[c];
    for (int dir = 0; dir < 2; ++dir) {
        f.nb_qp[dir] = nb[dir]->qp;
        for (int c = 0; c < 2; ++c) f.nb_qpc[dir][c] = nb[dir]->qpc[c];
    }
    return f;
}

// Filters the edges of f with nonzero bS: the 8-bit 4:2:0 (or 4:0:0) form of the shared
// example code, or deblock_mb.
void Decoder::filter_mb(const h264common::MbFilter& f, const MbInfo& q, size_t mb,
                        const SliceInfo& si) {
    if (cur_->pel_bytes == 2) return deblock_mb<Opx16u>(f, q, mb, si);
    if (cur_->chroma_format == 2) return deblock_mb<Opx8u>(f, q, mb, si);
    OpxResult r = h264common::filter_macroblock(f, si);
    if (r != opxOk) error("deblocking failed (%d)", r);
}

// One macroblock of a 4:2:2 or a high-bit-depth picture (clause 8.7): as
// h264common::filter_macroblock, with thresholds scaled by 2^(bitDepth - 8), qP values that
// may be negative (QPY and QPc go down to -QpBdOffset; the index is clipped after averaging),
// and the 4:2:2 chroma edges (vertical: 16 rows, horizontal: four edges, the second and fourth
// at the rows of luma edges 1 and 3).
template <class Pel>
void Decoder::deblock_mb(const h264common::MbFilter& f, const MbInfo& q, size_t mb,
                         const SliceInfo& si) {
    constexpr bool kHigh = sizeof(Pel) == 2;
    using Th = std::conditional_t<kHigh, Opx16u, Opx8u>;
    Picture* p = cur_;
    const int bd = sps_active_->bit_depth_luma, scale = 1 << (bd - 8);
    const bool mono = p->chroma_format == 0, c422 = p->chroma_format == 2;
    auto thresholds = [&](int qp_edge, int qp_in, const Opx8u* bs, int edges, int bs_stride,
                          Th alpha[2], Th beta[2], Th* tc) {
        if (qp_edge >= 0 && qp_in >= 0) {  // the slice's tables (negative qP: high bit depths)
            alpha[0] = Th(si.alpha[qp_edge] * scale);
            alpha[1] = Th(si.alpha[qp_in] * scale);
            beta[0] = Th(si.beta[qp_edge] * scale);
            beta[1] = Th(si.beta[qp_in] * scale);
            for (int e = 0; e < edges; ++e) {
                const Opx8u* row = si.tc0[e ? qp_in : qp_edge];
                for (int k = 0; k < 4; ++k) tc[4 * e + k] = Th(row[bs[e * bs_stride + k] & 7] * scale);
            }
            return;
        }
        const int qpe[2] = {qp_edge, qp_in};
        for (int k = 0; k < 2; ++k) {
            const int ia = clip3(0, 51, qpe[k] + si.alpha_offset);
            alpha[k] = Th(kAlpha[ia] * scale);
            beta[k] = Th(kBeta[clip3(0, 51, qpe[k] + si.beta_offset)] * scale);
        }
        // tc0 by bS & 7 for the edge's qP and the inside's: 0 for bS 0 and from 4 up
        Th by_bs[2][8] = {};
        for (int k = 0; k < 2; ++k) {
            const int ia = clip3(0, 51, qpe[k] + si.alpha_offset);
            for (int b = 1; b < 4; ++b) by_bs[k][b] = Th(kTc0[ia][b - 1] * scale);
        }
        for (int e = 0; e < edges; ++e)
            for (int k = 0; k < 4; ++k) tc[4 * e + k] = by_bs[e ? 1 : 0][bs[e * bs_stride + k] & 7];
    };
    auto filter = [&](Pel* plane, int step, const Th* alpha, const Th* beta, const Th* tc,
                      const Opx8u* bs, int kind) {
        // kind: 0 luma vertical, 1 luma horizontal, 2 chroma vertical, 3 chroma horizontal
        OpxResult r;
        if constexpr (kHigh) {
            const OpxDeblock16u d = {plane, step, alpha, beta, tc, bs, bd};
            switch (kind) {
                case 0:
                    r = OPX_COUNTED(opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR)(&d);
                    break;
                case 1:
                    r = OPX_COUNTED(opxiFilterDeblockingLumaHorEdge_H264_16u_C1IR)(&d);
                    break;
                case 2:
                    r = c422 ? OPX_COUNTED(opxiFilterDeblockingChroma422VerEdge_H264_16u_C1IR)(&d)
                             : OPX_COUNTED(opxiFilterDeblockingChromaVerEdge_H264_16u_C1IR)(&d);
                    break;
                default:
                    r = c422 ? OPX_COUNTED(opxiFilterDeblockingChroma422HorEdge_H264_16u_C1IR)(&d)
                             : OPX_COUNTED(opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR)(&d);
            }
        } else {
            const OpxDeblock8u d = {plane, step, alpha, beta, tc, bs};
            switch (kind) {
                case 0:
                    r = OPX_COUNTED(opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR)(
                        plane, step, alpha, beta, tc, bs);
                    break;
                case 1:
                    r = OPX_COUNTED(opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR)(
                        plane, step, alpha, beta, tc, bs);
                    break;
                case 2:
                    r = OPX_COUNTED(opxiFilterDeblockingChroma422VerEdge_H264_8u_C1IR)(&d);
                    break;
                default:
                    r = OPX_COUNTED(opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR)(&d);
            }
        }
        if (r != opxOk) error("deblocking failed (%d)", r);
    };
    Pel* y = reinterpret_cast<Pel*>(f.y);
    for (int dir = 0; dir < 2; ++dir) {
        const Opx8u* bs = f.bs[dir];
        // chroma bS: vertical edges take luma edges 0 and 2 (4:2:0 horizontal likewise);
        // 4:2:2 horizontal edges take all four luma edges, 1 and 3 from bs_c422 under the 8x8
        // transform
        Opx8u cbs[16];
        std::memcpy(cbs, bs, 16);
        if (c422 && dir == 1 && q.transform8x8) {
            const Opx8u* extra = bs_c422_[mb].data();
            std::memcpy(cbs + 4, extra, 4);
            std::memcpy(cbs + 12, extra + 4, 4);
        }
        uint64_t lw[2], cw[2];
        std::memcpy(lw, bs, 16);
        std::memcpy(cw, cbs, 16);
        const bool any_l = (lw[0] | lw[1]) != 0, any_c = (cw[0] | cw[1]) != 0;
        const bool nb_edge = bs[0] | bs[1] | bs[2] | bs[3];
        if (any_l) {
            const int qe = nb_edge ? (f.nb_qp[dir] + f.qp + 1) >> 1 : f.qp;
            Th alpha[2], beta[2], tc[16];
            thresholds(qe, f.qp, bs, 4, 4, alpha, beta, tc);
            filter(y, f.ystep, alpha, beta, tc, bs, dir);
        }
        if (mono || !any_c) continue;
        for (int c = 0; c < 2; ++c) {
            Pel* pc = reinterpret_cast<Pel*>(f.c[c]);
            const int cq = f.qpc[c];
            const int cqe = nb_edge ? (f.nb_qpc[dir][c] + cq + 1) >> 1 : cq;
            Th alpha[2], beta[2], tc[16];
            if (dir == 1 && c422) {
                thresholds(cqe, cq, cbs, 4, 4, alpha, beta, tc);
                filter(pc, f.cstep, alpha, beta, tc, cbs, 3);
            } else {
                // chroma edges 0 and 1 from luma edges 0 and 2
                thresholds(cqe, cq, cbs, 2, 8, alpha, beta, tc);
                filter(pc, f.cstep, alpha, beta, tc, cbs, 2 + dir);
            }
        }
    }
}

// ---- MBAFF frames ---------------------------------------------------------------------------

// Deblocking of an MBAFF frame (clause 8.7), after the whole frame is decoded, macroblock by
// macroblock in address order (pairs in raster order, top then bottom). A field macroblock's
// edges are those of its field: rows of one parity of the pair, filtered in the field view.
// Three edges differ from a picture of one kind:
// - the left edge between a frame and a field pair (mixedModeEdgeFlag): each row meets the
//   macroblock of the left pair that holds the row, so the edge is filtered in two sets of rows
//   (alternate rows beside a field pair, upper and lower halves beside a frame pair) with the
//   library's MBAFF edge functions, the strengths row by row;
// - the upper edge of a frame macroblock below a field pair: filtered as two field edges, its
//   rows of each parity against the field macroblock of that parity;
// - strengths: intra gives 4 on horizontal macroblock edges only between frame macroblocks (3
//   otherwise), a mixed edge without coefficients gives 1, and vertical vector differences
//   count from 4 quarter frame samples (2 in field macroblocks).
void Decoder::deblock_mbaff() {
    Picture* p = cur_;
    const int w = mb_width_;
    const int slices = int(slices_.size());
    auto nz = [](const MbInfo& m, int blk) { return ((m.nonzero >> blk) & 1) != 0; };
    for (int py = 0; py < mb_height_ / 2; ++py)
        for (int mbx = 0; mbx < w; ++mbx)
            for (int bot = 0; bot < 2; ++bot) {
                const size_t qi = size_t((2 * py + bot) * w + mbx);
                const MbInfo& q = mbs_[qi];
                if (q.slice_num < 0 || q.slice_num >= slices) continue;
                const SliceInfo& si = slices_[size_t(q.slice_num)];
                if (si.deblock_idc == 1) continue;
                const MbMotion& qm = p->motion[qi];
                const bool fld = q.field;
                auto usable = [&](int rec) -> const MbInfo* {
                    const MbInfo& m = mbs_[size_t(rec)];
                    if (m.slice_num < 0) return nullptr;
                    if (si.deblock_idc == 2 && m.slice_num != q.slice_num) return nullptr;
                    return &m;
                };
                // bS between block pb of macroblock pm (record prec) and block qb of q
                auto strength = [&](const MbInfo& pm, size_t prec, int pb, int qb, bool mb_edge,
                                    bool four, bool mixed) -> Opx8u {
                    if (pm.intra || q.intra) return mb_edge && four ? 4 : 3;
                    if (nz(pm, pb) || nz(q, qb)) return 2;
                    if (mixed) return 1;
                    return Opx8u(motion_strength(p->motion[prec], pb, qm, qb, fld ? 2 : 4));
                };
                // the four segments of a macroblock edge (dir 0 left, 1 upper) against pm: where
                // both macroblocks move alike along the edge, one motion comparison serves all
                auto edge4 = [&](const MbInfo& pm, size_t prec, int dir, bool four, bool mixed,
                                 Opx8u* out) {
                    if (pm.intra || q.intra) return std::memset(out, four ? 4 : 3, 4), void();
                    // segments with coefficients on either side (bit k: segment k)
                    const unsigned pe = dir == 0 ? transpose4x4(pm.nonzero) : pm.nonzero;
                    const unsigned qe = dir == 0 ? transpose4x4(q.nonzero) : q.nonzero;
                    const unsigned coded = ((pe >> 12) | qe) & 0xF;
                    std::memcpy(out, &kTwos[coded], 4);
                    unsigned motion = ~coded & 0xF;
                    if (!motion) return;
                    if (mixed) {
                        for (int k = 0; k < 4; ++k)
                            if ((motion >> k) & 1) out[k] = 1;
                        return;
                    }
                    auto segment = [&](int k) {
                        const int pb = dir == 0 ? 4 * k + 3 : 12 + k, qb = dir == 0 ? 4 * k : k;
                        return Opx8u(motion_strength(p->motion[prec], pb, qm, qb, fld ? 2 : 4));
                    };
                    // both macroblocks move alike along the edge: one comparison serves all
                    if (q.still[dir ^ 1] == 0xE && pm.still[dir ^ 1] == 0xE) {
                        const Opx8u v = segment(__builtin_ctz(motion));
                        for (int k = 0; k < 4; ++k)
                            if ((motion >> k) & 1) out[k] = v;
                        return;
                    }
                    for (int k = 0; k < 4; ++k)
                        if ((motion >> k) & 1) out[k] = segment(k);
                };
                Opx8u bs[2][16] = {};
                // internal edges, bit 4 * edge + segment: 3 in intra macroblocks, else 2 where
                // either block is coded, else the motion where it crosses the edge
                const unsigned internal = q.transform8x8 ? 0x0F00 : 0xFFF0;
                for (int dir = 0; dir < 2; ++dir) {
                    if (q.intra) {
                        for (int i = 4; i < 16; ++i) bs[dir][i] = ((internal >> i) & 1) ? 3 : 0;
                        continue;
                    }
                    // no coefficients, one motion across the internal edges: all 0
                    if (q.nonzero == 0 && q.still[dir] == 0xE) continue;
                    const unsigned qe = dir == 0 ? transpose4x4(q.nonzero) : q.nonzero;
                    const unsigned coded = (qe | (qe << 4)) & internal;
                    for (int e = 1; e < 4; ++e)
                        std::memcpy(bs[dir] + 4 * e, &kTwos[(coded >> (4 * e)) & 0xF], 4);
                    unsigned motion = internal & ~coded;
                    for (int e = 1; e < 4; ++e)
                        if ((q.still[dir] >> e) & 1) motion &= ~(0xFu << (4 * e));
                    while (motion) {
                        const int s = __builtin_ctz(motion);
                        motion &= motion - 1;
                        const int e = s >> 2, k = s & 3;
                        const int qb = dir == 0 ? 4 * k + e : 4 * e + k,
                                  pb = dir == 0 ? qb - 1 : qb - 4;
                        bs[dir][s] = Opx8u(motion_strength(qm, pb, qm, qb, fld ? 2 : 4));
                    }
                }
                const MbInfo* nb[2] = {&q, &q};
                // left edge
                const MbInfo* left[2] = {nullptr, nullptr};
                if (mbx > 0) {
                    left[0] = usable(2 * py * w + mbx - 1);
                    left[1] = usable((2 * py + 1) * w + mbx - 1);
                }
                const bool have_left = left[0] && left[1];
                const bool left_mixed = have_left && left[0]->field != fld;
                int row_bs[16];
                if (have_left && !left_mixed) {
                    const size_t prec = qi - 1;
                    nb[0] = &mbs_[prec];
                    edge4(*nb[0], prec, 0, true, false, bs[0]);
                } else if (left_mixed) {
                    // row k of q meets row ym of left macroblock j (Table 6-4)
                    for (int k = 0; k < 16; ++k) {
                        const int j = fld ? k >> 3 : k & 1;
                        const int ym = fld ? (2 * k + bot) & 15 : (k + 16 * bot) >> 1;
                        const MbInfo& pm = *left[j];
                        row_bs[k] = pm.intra || q.intra                                ? 4
                                    : nz(pm, (ym >> 2) * 4 + 3) || nz(q, (k >> 2) * 4) ? 2
                                                                                       : 1;
                    }
                }
                // upper edge
                const MbInfo* above[2] = {nullptr, nullptr};
                if (py > 0) {
                    above[0] = usable((2 * py - 2) * w + mbx);
                    above[1] = usable((2 * py - 1) * w + mbx);
                }
                bool two_fields = false;
                size_t prec = 0;
                bool top_edge = false, four = true, mixed = false;
                if (!fld && bot) {  // the top macroblock of the pair
                    prec = qi - size_t(w);
                    top_edge = true;
                } else if (above[0] && above[1]) {
                    const bool above_field = above[0]->field;
                    if (!fld && above_field) {
                        two_fields = true;
                    } else {
                        top_edge = true;
                        prec =
                            size_t((fld && above_field ? 2 * py - 2 + bot : 2 * py - 1) * w + mbx);
                        four = !fld;
                        mixed = fld && !above_field;
                    }
                }
                if (top_edge) {
                    nb[1] = &mbs_[prec];
                    edge4(*nb[1], prec, 1, four, mixed, bs[1]);
                }
                // vertical edges, then horizontal ones: in one pass unless the upper edge is
                // filtered field by field in between
                Opx8u part[2][16] = {};
                std::memcpy(part[0], bs[0], 16);
                if (!two_fields) std::memcpy(part[1], bs[1], 16);
                if (!left_mixed && !two_fields && p->chroma_format != 2 && no_strength(part))
                    continue;
                h264common::MbFilter f = mb_filter(fld ? *p->field[bot] : *p, mbx * 16,
                                                   (fld ? py : 2 * py + bot) * 16, q, part, nb);
                if (left_mixed) deblock_mbaff_left(f, q, left, row_bs, si);
                filter_mb(f, q, qi, si);
                if (!two_fields) continue;
                std::memset(part[0], 0, 16);
                {
                    for (int par = 0; par < 2; ++par) {
                        const size_t pr = size_t((2 * py - 2 + par) * w + mbx);
                        const MbInfo* fnb[2] = {&q, &mbs_[pr]};
                        for (int k = 0; k < 4; ++k)
                            part[1][k] = strength(mbs_[pr], pr, 12 + k, k, true, false, true);
                        // the frame macroblock's rows of parity par start at field row 16 py
                        filter_mb(mb_filter(*p->field[par], mbx * 16, py * 16, q, part, fnb), q, qi,
                                  si);
                    }
                }
                std::memcpy(part[1], bs[1], 16);
                f.bs = part;
                filter_mb(f, q, qi, si);
            }
}

// The left edge of macroblock q beside a pair of the other kind, luma rows 0..15 with strengths
// row_bs: rows of the left pair's top macroblock, then of its bottom one (every other row of a
// frame macroblock; rows 0..7, then 8..15 of a field macroblock). The chroma rows of a set
// (4:2:0: every other row, or rows 0..3 and 4..7) take the strengths of its luma rows.
void Decoder::deblock_mbaff_left(const h264common::MbFilter& f, const MbInfo& q,
                                 const MbInfo* const left[2], const int* row_bs,
                                 const SliceInfo& si) {
    const bool fld = q.field, high = cur_->pel_bytes == 2;
    const int bd = sps_active_->bit_depth_luma, scale = 1 << (bd - 8);
    const size_t pb = size_t(cur_->pel_bytes);
    for (int j = 0; j < 2; ++j) {
        const MbInfo& pm = *left[j];
        for (int c = -1; c < (f.chroma ? 2 : 0); ++c) {
            const bool luma = c < 0;
            const int qpav = luma ? (pm.qp + q.qp + 1) >> 1 : (pm.qpc[c] + q.qpc[c] + 1) >> 1;
            const int ia = clip3(0, 51, qpav + si.alpha_offset);
            const int ib = clip3(0, 51, qpav + si.beta_offset);
            // luma: 8 rows, a strength per two; chroma: 4 rows, one each
            Opx8u b4[4];
            for (int i = 0; i < 4; ++i) b4[i] = Opx8u(row_bs[fld ? 8 * j + 2 * i : j + 4 * i]);
            const int step = luma ? f.ystep : f.cstep;
            const int first = fld ? (luma ? 8 : 4) * j : j;  // first row, in steps
            Opx8u* at = (luma ? f.y : f.c[c]) + size_t(first) * size_t(step) * pb;
            const int rstep = fld ? step : 2 * step;
            Opx16u tc[4];
            Opx8u tc8[4];
            for (int i = 0; i < 4; ++i) {
                tc[i] = Opx16u(b4[i] < 4 ? kTc0[ia][b4[i] - 1] * scale : 0);
                tc8[i] = Opx8u(tc[i]);
            }
            OpxResult r;
            if (high) {
                const Opx16u alpha = Opx16u(kAlpha[ia] * scale), beta = Opx16u(kBeta[ib] * scale);
                const OpxDeblock16u d = {
                    reinterpret_cast<Opx16u*>(at), rstep, &alpha, &beta, tc, b4, bd};
                r = luma ? OPX_COUNTED(opxiFilterDeblockingLumaVerEdgeMBAFF_H264_16u_C1IR)(&d)
                         : OPX_COUNTED(opxiFilterDeblockingChromaVerEdgeMBAFF_H264_16u_C1IR)(&d);
            } else {
                r = luma ? OPX_COUNTED(opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR)(
                               at, rstep, kAlpha[ia], kBeta[ib], tc8, b4)
                         : OPX_COUNTED(opxiFilterDeblockingChroma_VerEdge_MBAFF_H264_8u_C1IR)(
                               at, rstep, kAlpha[ia], kBeta[ib], tc8, b4);
            }
            if (r != opxOk) error("deblocking failed (%d)", r);
        }
    }
}

// Macroblocks that no slice covered (lost or damaged slices) take the samples of the most
// recent reference picture, or mid-grey, and count as intra for what follows.
void Decoder::conceal_picture() {
    // every macroblock decoded, one after the other from the first: nothing is missing
    if (in_order_ && next_in_order_ == mb_width_ * mb_height_) return;
    Picture* p = cur_;
    const Picture* src = nullptr;
    for (auto& q : dpb_)
        if (q.get() != store_ && q->is_ref() && (!src || q->decode_order > src->decode_order))
            src = q.get();
    // a field takes the rows of the same parity
    if (src && p->parent) src = src->field[p->structure - 1].get();
    int missing = 0;
    for (int mby = 0; mby < mb_height_; ++mby)
        for (int mbx = 0; mbx < mb_width_; ++mbx) {
            MbInfo& m = mbs_[size_t(mby * mb_width_ + mbx)];
            if (m.slice_num >= 0) continue;
            ++missing;
            const size_t pb = size_t(p->pel_bytes);
            const int mbh = p->chroma_format == 2 ? 16 : 8;
            const Opx16u grey = Opx16u(1u << (sps_active_->bit_depth_luma - 1));
            auto rows = [&](int c, int x0, int y0, int n, int h, int step) {
                uint8_t* d = c == 0 ? p->y : c == 1 ? p->cb : p->cr;
                const uint8_t* s = !src ? nullptr : c == 0 ? src->y : c == 1 ? src->cb : src->cr;
                for (int y = 0; y < h; ++y) {
                    const size_t o = (size_t(y0 + y) * step + x0) * pb;
                    if (s)
                        std::memcpy(d + o, s + o, n * pb);
                    else if (pb == 1)
                        std::memset(d + o, 128, size_t(n));
                    else
                        std::fill_n(reinterpret_cast<Opx16u*>(d + o), n, grey);
                }
            };
            rows(0, mbx * 16, mby * 16, 16, 16, p->ystride);
            rows(1, mbx * 8, mby * mbh, 8, mbh, p->cstride);
            rows(2, mbx * 8, mby * mbh, 8, mbh, p->cstride);
            clear_motion(p->motion[size_t(mby * mb_width_ + mbx)]);
        }
    if (missing) error("%d macroblocks missing in picture %d; concealed", missing, p->poc);
}

// ---- CAVLC tables ----------------------------------------------------------------------------

CavlcTables::~CavlcTables() {
    for (Opx32s* t : owned) OPX_COUNTED(opxiHuffmanTableFree_32s)(t);
}

bool build_cavlc_tables(CavlcTables& t) {
    auto build = [&](const int32_t* list) -> const Opx32s* {
        Opx32s* table = nullptr;
        if (OPX_COUNTED(opxiHuffmanTableInitAlloc_32s)(list, &table) != opxOk || !table)
            return nullptr;
        t.owned.push_back(table);
        return table;
    };
    for (int i = 0; i < 3; ++i)
        if (!(t.coeff_token[i] = build(cavlc_coeff_token_lists[i]))) return false;
    if (!(t.coeff_token[3] = build(cavlc_coeff_token_chroma_dc))) return false;
    if (!(t.coeff_token_422 = build(cavlc_coeff_token_chroma422_dc))) return false;
    for (int i = 1; i < 8; ++i)
        if (!(t.total_zeros_422[i] = build(cavlc_total_zeros_2x4_lists[i]))) return false;
    for (int i = 1; i < 16; ++i)
        if (!(t.total_zeros[i] = build(cavlc_total_zeros_4x4_lists[i]))) return false;
    for (int i = 1; i < 4; ++i)
        if (!(t.total_zeros_dc[i] = build(cavlc_total_zeros_2x2_lists[i]))) return false;
    for (int i = 1; i < 7; ++i)
        if (!(t.run_before[i] = build(cavlc_run_before_lists[i]))) return false;
    for (int i = 7; i < 16; ++i)
        t.run_before[i] = t.run_before[7] ? t.run_before[7] : build(cavlc_run_before_lists[7]);
    t.ok = t.run_before[7] != nullptr;
    return t.ok;
}

}  // namespace h264dec
