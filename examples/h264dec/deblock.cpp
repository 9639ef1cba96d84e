// Deblocking of a decoded picture (clause 8.7): the decoder derives the boundary strengths,
// alpha, beta and tC0 per macroblock edge, the library filters the samples. Also the
// concealment of macroblocks that a damaged stream left undecoded, and the CAVLC table set-up.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "decoder.hpp"
#include "opxvc_h264_cavlc_codes.h"

namespace h264dec {

namespace {
inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}
}  // namespace

// bS for motion (clause 8.7.2.1) between block pi of macroblock p and block qi of macroblock q:
// 1 when the blocks use different reference pictures or a different number of motion vectors,
// or a vector component differs by 4 or more, else 0. Unused lists hold reference -1 and a zero
// vector, so a block with one vector compares like a pair with an unused list.
static int motion_strength(const MbMotion& p, int pi, const MbMotion& q, int qi) {
    const int p8 = blk8_of(pi), q8 = blk8_of(qi);
    const int p0 = p.ref_id[0][p8], p1 = p.ref_id[1][p8];
    const int q0 = q.ref_id[0][q8], q1 = q.ref_id[1][q8];
    auto far = [&](int lp, int lq) {
        return std::abs(p.mv[lp][pi][0] - q.mv[lq][qi][0]) >= 4 ||
               std::abs(p.mv[lp][pi][1] - q.mv[lq][qi][1]) >= 4;
    };
    if (p0 == q0 && p1 == q1) {
        if (p0 != p1) return far(0, 0) || far(1, 1);
        // both lists name the same picture (or neither is used): either pairing may match
        return (far(0, 0) || far(1, 1)) && (far(0, 1) || far(1, 0));
    }
    if (p0 == q1 && p1 == q0) return far(0, 1) || far(1, 0);
    return 1;
}

// A 4x4 bit matrix transposed: bit 4 * y + x moves to bit 4 * x + y.
static unsigned transpose4x4(unsigned m) {
    unsigned t = (m ^ (m >> 3)) & 0x0A0A;
    m ^= t ^ (t << 3);
    t = (m ^ (m >> 6)) & 0x00CC;
    return m ^ t ^ (t << 6);
}

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
        unsigned filtered = q.transform8x8 ? 0x0F00 : 0xFFF0;
        if (pm) filtered |= 0xF;
        if (q.intra) {
            for (int i = 0; i < 16; ++i) bs[i] = ((filtered >> i) & 1) ? (i < 4 ? 4 : 3) : 0;
            continue;
        }
        // block of segment k on edge e inside its macroblock: 4k + e (vertical), 4e + k
        const int along = dir == 0 ? 4 : 1, across = dir == 0 ? 1 : 4;
        auto edge_major = [dir](unsigned raster) {
            return dir == 0 ? transpose4x4(raster) : raster;
        };
        const unsigned qe = edge_major(q.nonzero);
        // coefficients in the block on either side: bS 2
        unsigned coded = (qe | (qe << 4)) & 0xFFF0;
        if (pm) coded |= (qe | (edge_major(pm->nonzero) >> 12)) & 0xF;
        coded &= filtered;
        for (int e = 0; e < 4; ++e) {
            // four bS bytes: 2 where the segment's bit is set
            uint32_t nibble = (coded >> (4 * e)) & 0xF, v = 0;
            for (int k = 0; k < 4; ++k) v |= ((nibble >> k) & 1u) << (8 * k + 1);
            std::memcpy(bs + 4 * e, &v, 4);
        }
        unsigned motion = filtered & ~coded;
        // internal edges the motion does not cross
        for (int e = 1; e < 4; ++e)
            if ((q.still[dir] >> e) & 1) motion &= ~(0xFu << (4 * e));
        if (pm && pm->intra) {
            std::memset(bs, 4, 4);
            motion &= ~0xFu;
        }
        // the macroblock edge between two macroblocks whose blocks all move alike along it: one
        // comparison serves its four segments
        const int perp = dir ^ 1;
        const bool uniform = pm && q.still[perp] == 0xE && pm->still[perp] == 0xE;
        int shared = -1;
        while (motion) {
            const int s = __builtin_ctz(motion);
            motion &= motion - 1;
            const int e = s >> 2, k = s & 3;
            const int qi = e * across + k * along;
            const int pi = (e == 0 ? 3 : e - 1) * across + k * along;
            const MbMotion& pmm = e == 0 ? cur_->motion[pmb_index] : qm;
            int v;
            if (e == 0 && uniform) {
                if (shared < 0) shared = motion_strength(pmm, pi, qm, qi);
                v = shared;
            } else {
                v = motion_strength(pmm, pi, qm, qi);
            }
            bs[s] = Opx8u(v);
        }
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

void SliceInfo::build_thresholds() {
    for (int qp = 0; qp < 52; ++qp) {
        const int index_a = clip3(0, 51, qp + alpha_offset);
        alpha[qp] = kAlpha[index_a];
        beta[qp] = kBeta[clip3(0, 51, qp + beta_offset)];
        tc0[qp][0] = tc0[qp][4] = 0;
        for (int b = 1; b < 4; ++b) tc0[qp][b] = kTc0[index_a][b - 1];
    }
}

void Decoder::deblock_rows(int first, int end) {
    Picture* p = cur_;
    const bool mono = sps_active_->chroma_format_idc == 0;
    const int w = mb_width_;
    deblocked_rows_ = std::max(deblocked_rows_, end);
    for (int mby = first; mby < end; ++mby) {
        for (int mbx = 0; mbx < w; ++mbx) {
            MbInfo& q = mbs_[size_t(mby * w + mbx)];
            if (q.slice_num < 0 || q.slice_num >= int(slices_.size())) continue;
            const SliceInfo& si = slices_[size_t(q.slice_num)];
            if (si.deblock_idc == 1) continue;
            if (!q.bs_valid) edge_strengths(mbx, mby);
            Opx8u* py = p->y + size_t(mby * 16) * p->width + mbx * 16;
            Opx8u* pc[2] = {p->cb + size_t(mby * 8) * p->cwidth + mbx * 8,
                            p->cr + size_t(mby * 8) * p->cwidth + mbx * 8};
            for (int dir = 0; dir < 2; ++dir) {  // 0: vertical edges, 1: horizontal edges
                int nx = dir == 0 ? mbx - 1 : mbx, ny = dir == 0 ? mby : mby - 1;
                const MbInfo* pm = nx >= 0 && ny >= 0 ? &mbs_[size_t(ny * w + nx)] : nullptr;
                const Opx8u* bs = q.bs[dir];
                uint32_t edges[4];  // the four bS of each edge
                std::memcpy(edges, bs, 16);
                if (!(edges[0] | edges[1] | edges[2] | edges[3])) continue;
                // luma thresholds (clause 8.7.2.2): edge 0 from the average qP of both sides
                const int qp_edge = pm && edges[0] ? (pm->qp + q.qp + 1) >> 1 : q.qp;
                const Opx8u alpha[2] = {si.alpha[qp_edge], si.alpha[q.qp]};
                const Opx8u beta[2] = {si.beta[qp_edge], si.beta[q.qp]};
                Opx8u tc0[16];
                for (int i = 0; i < 16; ++i)
                    tc0[i] = si.tc0[i < 4 ? qp_edge : q.qp][std::min<int>(bs[i], 4)];
                OpxResult r = dir == 0 ? opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(
                                             py, p->width, alpha, beta, tc0, bs)
                                       : opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(
                                             py, p->width, alpha, beta, tc0, bs);
                if (r != opxOk) error("luma deblocking failed (%d)", r);
                // chroma edge 0 uses luma edge 0's bS, chroma edge 1 luma edge 2's
                if (mono || !(edges[0] | edges[2])) continue;
                for (int c = 0; c < 2; ++c) {
                    const int cq = q.qpc[c];
                    const int cqe = pm && edges[0] ? (pm->qpc[c] + cq + 1) >> 1 : cq;
                    const Opx8u ca[2] = {si.alpha[cqe], si.alpha[cq]};
                    const Opx8u cb[2] = {si.beta[cqe], si.beta[cq]};
                    Opx8u ctc[8];
                    for (int k = 0; k < 4; ++k) {
                        ctc[k] = si.tc0[cqe][std::min<int>(bs[k], 4)];
                        ctc[4 + k] = si.tc0[cq][std::min<int>(bs[8 + k], 4)];
                    }
                    r = dir == 0 ? opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR(pc[c], p->cwidth,
                                                                                   ca, cb, ctc, bs)
                                 : opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR(pc[c], p->cwidth,
                                                                                   ca, cb, ctc, bs);
                    if (r != opxOk) error("chroma deblocking failed (%d)", r);
                }
            }
        }
    }
}

// Macroblocks that no slice covered (lost or damaged slices) take the samples of the most
// recent reference picture, or mid-grey, and count as intra for what follows.
void Decoder::conceal_picture() {
    Picture* p = cur_;
    const Picture* src = nullptr;
    for (auto& q : dpb_)
        if (q.get() != p && q->is_ref() && (!src || q->decode_order > src->decode_order))
            src = q.get();
    int missing = 0;
    for (int mby = 0; mby < mb_height_; ++mby)
        for (int mbx = 0; mbx < mb_width_; ++mbx) {
            MbInfo& m = mbs_[size_t(mby * mb_width_ + mbx)];
            if (m.slice_num >= 0) continue;
            ++missing;
            for (int y = 0; y < 16; ++y) {
                size_t o = size_t(mby * 16 + y) * p->width + mbx * 16;
                if (src)
                    std::memcpy(p->y + o, src->y + o, 16);
                else
                    std::memset(p->y + o, 128, 16);
            }
            for (int y = 0; y < 8; ++y) {
                size_t o = size_t(mby * 8 + y) * p->cwidth + mbx * 8;
                if (src) {
                    std::memcpy(p->cb + o, src->cb + o, 8);
                    std::memcpy(p->cr + o, src->cr + o, 8);
                } else {
                    std::memset(p->cb + o, 128, 8);
                    std::memset(p->cr + o, 128, 8);
                }
            }
            clear_motion(p->motion[size_t(mby * mb_width_ + mbx)]);
        }
    if (missing) error("%d macroblocks missing in picture %d; concealed", missing, p->poc);
}

// ---- CAVLC tables ----------------------------------------------------------------------------

CavlcTables::~CavlcTables() {
    for (Opx32s* t : owned) opxiHuffmanTableFree_32s(t);
}

bool build_cavlc_tables(CavlcTables& t) {
    auto build = [&](const int32_t* list) -> const Opx32s* {
        Opx32s* table = nullptr;
        if (opxiHuffmanTableInitAlloc_32s(list, &table) != opxOk || !table) return nullptr;
        t.owned.push_back(table);
        return table;
    };
    for (int i = 0; i < 3; ++i)
        if (!(t.coeff_token[i] = build(cavlc_coeff_token_lists[i]))) return false;
    if (!(t.coeff_token[3] = build(cavlc_coeff_token_chroma_dc))) return false;
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
