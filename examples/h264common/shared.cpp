// Motion vector prediction, boundary strengths of motion and the deblocking of one macroblock,
// shared by the H.264 example decoder and encoder.
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "h264common.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace h264common {

bool call_counting = false;

namespace {
std::map<std::string, long>& call_counts() {
    static std::map<std::string, long> counts;
    return counts;
}
}  // namespace

void count_call(const char* name) {
    ++call_counts()[name];
}

void print_call_counts(FILE* f) {
    for (const auto& [name, n] : call_counts()) std::fprintf(f, "%s %ld\n", name.c_str(), n);
}

namespace {
inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}
}  // namespace

// 1 when the blocks use different reference pictures or a different number of motion vectors,
// or a vector component differs by 4 or more, else 0. Unused lists hold reference -1 and a zero
// vector, so a block with one vector compares like a pair with an unused list.
int motion_strength_general(const MbMotion& p, int pi, const MbMotion& q, int qi, int mvy_limit) {
    const int p8 = blk8_of(pi), q8 = blk8_of(qi);
    const int p0 = p.ref_id[0][p8], p1 = p.ref_id[1][p8];
    const int q0 = q.ref_id[0][q8], q1 = q.ref_id[1][q8];
    auto far = [&](int lp, int lq) {
        return std::abs(p.mv[lp][pi][0] - q.mv[lq][qi][0]) >= 4 ||
               std::abs(p.mv[lp][pi][1] - q.mv[lq][qi][1]) >= mvy_limit;
    };
    if (p0 == q0 && p1 == q1) {
        if (p0 != p1) return far(0, 0) || far(1, 1);
        // both lists name the same picture (or neither is used): either pairing may match
        return (far(0, 0) || far(1, 1)) && (far(0, 1) || far(1, 0));
    }
    if (p0 == q1 && p1 == q0) return far(0, 1) || far(1, 0);
    return 1;
}

void FilterThresholds::build(int alpha_offset, int beta_offset) {
    for (int qp = 0; qp < 52; ++qp) {
        const int index_a = clip3(0, 51, qp + alpha_offset);
        alpha[qp] = kAlpha[index_a];
        beta[qp] = kBeta[clip3(0, 51, qp + beta_offset)];
        for (int b = 0; b < 8; ++b) tc0[qp][b] = 0;
        for (int b = 1; b < 4; ++b) tc0[qp][b] = kTc0[index_a][b - 1];
    }
}

namespace {

// tc0 of the 16 segments of an edge direction by their bS, those of edge 0 (the first four) with
// the thresholds of qP qp_edge and the others with those of qp.
[[gnu::always_inline]] inline void gather_tc0(const Opx8u* bs, const FilterThresholds& t,
                                              int qp_edge, int qp, Opx8u* tc0) {
#ifdef __SSE2__
    const __m128i b =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bs)), _mm_set1_epi8(7));
    // out = (b == 1 ? tc0[1] : 0) | (b == 2 ? tc0[2] : 0) | (b == 3 ? tc0[3] : 0)
    auto row = [&](int q) {
        int32_t first4;  // tc0[q][0..3], each byte then spread over a 32-bit lane
        std::memcpy(&first4, t.tc0[q], 4);
        __m128i x = _mm_cvtsi32_si128(first4);
        x = _mm_unpacklo_epi8(x, x);
        x = _mm_unpacklo_epi16(x, x);
        const __m128i t1 = _mm_shuffle_epi32(x, 0x55), t2 = _mm_shuffle_epi32(x, 0xAA),
                      t3 = _mm_shuffle_epi32(x, 0xFF);
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(1)), t1),
                                         _mm_and_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(2)), t2)),
                            _mm_and_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(3)), t3));
    };
    __m128i r = row(qp);
    if (qp_edge != qp) {
        const __m128i edge0 = _mm_cvtsi32_si128(-1);
        r = _mm_or_si128(_mm_and_si128(edge0, row(qp_edge)), _mm_andnot_si128(edge0, r));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(tc0), r);
#else
    for (int i = 0; i < 16; ++i) tc0[i] = t.tc0[i < 4 ? qp_edge : qp][bs[i] & 7];
#endif
}

}  // namespace

OpxResult filter_macroblock(const MbFilter& m, const FilterThresholds& t) {
    OpxResult first = opxOk;
    for (int dir = 0; dir < 2; ++dir) {  // 0: vertical edges, 1: horizontal edges
        const Opx8u* bs = m.bs[dir];
        uint32_t edges[4];  // the four bS of each edge
        std::memcpy(edges, bs, 16);
        if (!(edges[0] | edges[1] | edges[2] | edges[3])) continue;
        // luma thresholds (clause 8.7.2.2): edge 0 from the average qP of both sides
        const int qp_edge = edges[0] ? (m.nb_qp[dir] + m.qp + 1) >> 1 : m.qp;
        const Opx8u alpha[2] = {t.alpha[qp_edge], t.alpha[m.qp]};
        const Opx8u beta[2] = {t.beta[qp_edge], t.beta[m.qp]};
        Opx8u tc0[16];
        gather_tc0(bs, t, qp_edge, m.qp, tc0);
        OpxResult r = dir == 0 ? OPX_COUNTED(opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR)(
                                     m.y, m.ystep, alpha, beta, tc0, bs)
                               : OPX_COUNTED(opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR)(
                                     m.y, m.ystep, alpha, beta, tc0, bs);
        if (r != opxOk && first == opxOk) first = r;
        // chroma edge 0 uses luma edge 0's bS, chroma edge 1 luma edge 2's
        if (!m.chroma || !(edges[0] | edges[2])) continue;
        Opx8u ca[2], cb[2], ctc[16];
        int last[2] = {-1, -1};  // the qP pair the thresholds were formed for
        for (int c = 0; c < 2; ++c) {
            const int cq = m.qpc[c];
            const int cqe = edges[0] ? (m.nb_qpc[dir][c] + cq + 1) >> 1 : cq;
            if (cq != last[1] || cqe != last[0]) {  // Cr often shares Cb's
                last[0] = cqe;
                last[1] = cq;
                ca[0] = t.alpha[cqe], ca[1] = t.alpha[cq];
                cb[0] = t.beta[cqe], cb[1] = t.beta[cq];
                // chroma edges 0 and 1: the bS of luma edges 0 and 2
                gather_tc0(bs, t, cqe, cq, ctc);
                std::memcpy(ctc + 4, ctc + 8, 4);
            }
            r = dir == 0 ? OPX_COUNTED(opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR)(
                               m.c[c], m.cstep, ca, cb, ctc, bs)
                         : OPX_COUNTED(opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR)(
                               m.c[c], m.cstep, ca, cb, ctc, bs);
            if (r != opxOk && first == opxOk) first = r;
        }
    }
    return first;
}

}  // namespace h264common
