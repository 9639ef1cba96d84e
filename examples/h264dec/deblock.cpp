// Deblocking of a decoded picture (clause 8.7): the decoder derives the boundary strengths,
// alpha, beta and tC0 per macroblock edge, the library filters the samples. Also the
// concealment of macroblocks that a damaged stream left undecoded, and the CAVLC table set-up.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "decoder.hpp"
#include "opxvc_h264_cavlc_codes.h"

namespace h264dec {

using h264common::motion_strength;

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
            h264common::MbFilter f;
            f.y = p->y + size_t(mby * 16) * p->width + mbx * 16;
            f.c[0] = p->cb + size_t(mby * 8) * p->cwidth + mbx * 8;
            f.c[1] = p->cr + size_t(mby * 8) * p->cwidth + mbx * 8;
            f.ystep = p->width;
            f.cstep = p->cwidth;
            f.chroma = !mono;
            f.bs = q.bs;
            f.qp = q.qp;
            for (int dir = 0; dir < 2; ++dir) {  // 0: left, 1: upper neighbour
                int nx = dir == 0 ? mbx - 1 : mbx, ny = dir == 0 ? mby : mby - 1;
                const MbInfo& pm = nx >= 0 && ny >= 0 ? mbs_[size_t(ny * w + nx)] : q;
                f.nb_qp[dir] = pm.qp;
                for (int c = 0; c < 2; ++c) f.nb_qpc[dir][c] = pm.qpc[c];
            }
            for (int c = 0; c < 2; ++c) f.qpc[c] = q.qpc[c];
            OpxResult r = h264common::filter_macroblock(f, si);
            if (r != opxOk) error("deblocking failed (%d)", r);
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
