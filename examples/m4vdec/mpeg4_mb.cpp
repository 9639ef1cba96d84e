// MPEG-4 Visual macroblocks (ISO/IEC 14496-2): motion vector decoding and prediction (clause
// 7.6.5), half- and quarter-sample motion compensation, intra DC and AC prediction (clause 7.4.3)
// and the reconstruction of intra and inter blocks, macroblocks of I- and P-VOPs (the start of a
// macroblock shared with H.263), global motion compensation of S-VOPs, B-VOP macroblocks
// (direct, interpolated, backward, forward) and data-partitioned video packets.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "decoder_impl.hpp"

namespace m4vdec {

namespace {

int dc_scaler(int qp, bool chroma) {  // 14496-2 Table 7-1
    if (qp <= 4) return 8;
    if (chroma) return qp <= 24 ? (qp + 13) / 2 : qp - 6;
    return qp <= 8 ? 2 * qp : qp <= 24 ? qp + 8 : 2 * qp - 16;
}

// "//": division rounded to the nearest integer, halves away from zero
int round_div(int a, int b) {
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

int median(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

// ---- motion vectors -----------------------------------------------------------------------------
int Decoder::Impl::mv_component(int pred_v, int fc, bool wrap) {
    const int code = r.vlc(kMotionCode);
    if (code == INT_MIN) throw std::string("invalid motion_code");
    const int rs = fc - 1, f = 1 << rs;
    int diff = 0;
    if (code != 0) {
        diff = ((std::abs(code) - 1) << rs) + int(r.u(rs)) + 1;
        if (code < 0) diff = -diff;
    }
    int v = pred_v + diff;
    if (!wrap) return v;
    if (v < -32 * f) v += 64 * f;
    if (v > 32 * f - 1) v -= 64 * f;
    return v;
}

// candidate vector of block `blk` of macroblock (mx, my); false when outside the VOP or
// in another video packet
bool Decoder::Impl::cand(int mx, int my, int blk, Mv& out) const {
    if (mx < 0 || my < 0 || mx >= mbw) return false;
    const MbInfo& m = mbs[size_t(my * mbw + mx)];
    if (m.slice != slice) return false;
    out = m.mv[blk];
    return true;
}

detail::Mv Decoder::Impl::predict_mv(int mx, int my, int k, const Mv cur_mb[4]) const {
    Mv c[3];
    bool v[3];
    auto self = [&](int i, int b) { c[i] = cur_mb[b], v[i] = true; };
    switch (k) {
        case 0:
            v[0] = cand(mx - 1, my, 1, c[0]);
            v[1] = cand(mx, my - 1, 2, c[1]);
            v[2] = cand(mx + 1, my - 1, 2, c[2]);
            break;
        case 1:
            self(0, 0);
            v[1] = cand(mx, my - 1, 3, c[1]);
            v[2] = cand(mx + 1, my - 1, 2, c[2]);
            break;
        case 2:
            v[0] = cand(mx - 1, my, 3, c[0]);
            self(1, 0);
            self(2, 1);
            break;
        default:
            self(0, 2);
            self(1, 0);
            self(2, 1);
            break;
    }
    const int nvalid = v[0] + v[1] + v[2];
    if (nvalid == 0) return Mv();
    if (nvalid == 1) return v[0] ? c[0] : v[1] ? c[1] : c[2];
    for (int i = 0; i < 3; ++i)
        if (!v[i]) c[i] = Mv();
    Mv p;
    p.x = median(c[0].x, c[1].x, c[2].x);
    p.y = median(c[0].y, c[1].y, c[2].y);
    return p;
}

// prediction of a size x size block at (x, y) + mv of plane `c` of the reference: half-sample
// (mv in half samples), or with `quarter` the quarter-sample filter (luminance, mv in quarter
// samples); references outside the picture repeat its edge samples
// `limit` (the blocks of four-vector prediction and their chrominance): the block's
// position is first limited to 16 (chrominance 8) samples before the picture's displayed
// area and its right or bottom edge, where the fraction is dropped, as libavcodec's decoder
// does; it differs from edge repetition only when the coded size exceeds the displayed one
void Decoder::Impl::mc(const Picture& from, int c, int x, int y, Mv mv, int size, uint8_t* out,
                       int out_step, bool quarter, bool limit) {
    const Plane& src = from.p[c];
    const int sh = quarter ? 2 : 1, fm = quarter ? 3 : 1;
    int ix = x + (mv.x >> sh), iy = y + (mv.y >> sh), fx = mv.x & fm, fy = mv.y & fm;
    if (limit) {
        const int lw = c ? width >> 1 : width, lh = c ? height >> 1 : height, lo = c ? -8 : -16;
        ix = std::min(std::max(ix, lo), lw);
        iy = std::min(std::max(iy, lo), lh);
        if (ix == lw) fx = 0;
        if (iy == lh) fy = 0;
    }
    const int acc = quarter ? fx | (fy << 2) : fx | (fy << 1);
    const int ew = src.w, eh = src.h;  // the reconstructed VOP in whole macroblocks
    const uint8_t* s;
    int step;
    uint8_t tmp[17 * 17];
    if (ix >= 0 && iy >= 0 && ix + size + 1 <= ew && iy + size + 1 <= eh) {
        s = src.d.data() + iy * src.stride + ix;
        step = src.stride;
    } else {
        for (int j = 0; j <= size; ++j)
            for (int i = 0; i <= size; ++i)
                tmp[j * 17 + i] = src.d[size_t(std::min(std::max(iy + j, 0), eh - 1) * src.stride +
                                               std::min(std::max(ix + i, 0), ew - 1))];
        s = tmp;
        step = 17;
    }
    if (quarter) {
        if (size == 16)
            opxiCopy16x16QP_MPEG4_8u_C1R(s, step, out, out_step, acc, rounding);
        else
            opxiCopy8x8QP_MPEG4_8u_C1R(s, step, out, out_step, acc, rounding);
    } else if (size == 16) {
        opxiCopy16x16HP_8u_C1R(s, step, out, out_step, acc, rounding);
    } else {
        opxiCopy8x8HP_8u_C1R(s, step, out, out_step, acc, rounding);
    }
}

int Decoder::Impl::chroma_of_sum(int s) {  // four luminance vectors' sum -> chrominance vector
    static const int kRound16[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
    const int a = std::abs(s), c = (a >> 4) * 2 + kRound16[a & 15];
    return s < 0 ? -c : c;
}

// prediction of macroblock (mx, my) from `from` with one vector (four false) or four, into
// out[c] (rows step[c] bytes apart). Quarter-sample VOPs: luminance through the
// quarter-sample filter; each luminance vector is first halved (truncating towards zero) to
// half samples, then the chrominance vector follows the half-sample rule (14496-2 clause
// 7.6.2.2)
void Decoder::Impl::predict_mb(const Picture& from, int mx, int my, const Mv v[4], bool four,
                               uint8_t* const out[3], const int step[3]) {
    Mv cv;
    auto half = [this](int a) { return qpel ? a / 2 : a; };
    if (four) {
        for (int k = 0; k < 4; ++k)
            mc(from, 0, mx * 16 + (k & 1) * 8, my * 16 + (k >> 1) * 8, v[k], 8,
               out[0] + (k >> 1) * 8 * step[0] + (k & 1) * 8, step[0], qpel, true);
        cv.x = chroma_of_sum(half(v[0].x) + half(v[1].x) + half(v[2].x) + half(v[3].x));
        cv.y = chroma_of_sum(half(v[0].y) + half(v[1].y) + half(v[2].y) + half(v[3].y));
    } else {
        mc(from, 0, mx * 16, my * 16, v[0], 16, out[0], step[0], qpel);
        const int hx = half(v[0].x), hy = half(v[0].y);
        cv.x = (hx >> 1) | (hx & 1);
        cv.y = (hy >> 1) | (hy & 1);
    }
    mc(from, 1, mx * 8, my * 8, cv, 8, out[1], step[1], false, four);
    mc(from, 2, mx * 8, my * 8, cv, 8, out[2], step[2], false, four);
}

void Decoder::Impl::cur_mb(int mx, int my, uint8_t* out[3], int step[3]) {
    for (int c = 0; c < 3; ++c) {
        const int s = c ? 8 : 16;
        out[c] = cur.p[c].at(mx * s, my * s);
        step[c] = cur.p[c].stride;
    }
}

// ---- blocks -------------------------------------------------------------------------------------
const detail::BlockPred* Decoder::Impl::pred_at(int c, int bx, int by) const {
    const int gw = c ? mbw : 2 * mbw;
    if (bx < 0 || by < 0) return nullptr;
    const int mx = c ? bx : bx >> 1, my = c ? by : by >> 1;
    const MbInfo& m = mbs[size_t(my * mbw + mx)];
    if (m.slice != slice || !m.intra) return nullptr;
    return &pred[c][size_t(by * gw + bx)];
}

// dc: the DC differential read earlier (data partitioning), or null
void Decoder::Impl::intra_block(int mx, int my, int b, bool coded, bool ac_pred, bool dc_vlc,
                                const Opx16s* dc) {
    const int c = b < 4 ? 0 : b - 3;
    const int bx = c ? mx : 2 * mx + (b & 1), by = c ? my : 2 * my + (b >> 1);
    const int gw = c ? mbw : 2 * mbw;
    const BlockPred* A = pred_at(c, bx - 1, by);
    const BlockPred* B = pred_at(c, bx - 1, by - 1);
    const BlockPred* C = pred_at(c, bx, by - 1);
    const int fa = A ? A->dc : 1024, fb = B ? B->dc : 1024, fc = C ? C->dc : 1024;
    const bool from_above = std::abs(fa - fb) < std::abs(fb - fc);
    const int scaler = dc_scaler(qp, c != 0);
    const int scan = ac_pred ? (from_above ? 2 : 1) : 0;

    alignas(16) Opx16s q[64];
    std::memset(q, 0, sizeof q);
    Opx32s off;
    Opx8u* p = cursor(off);
    if (dc) {
        q[0] = *dc;
    } else if (dc_vlc) {
        Opx16s diff = 0;
        if (opxiDecodeDCIntra_MPEG4_1u16s(&p, &off, &diff, c != 0) != opxOk)
            throw std::string("invalid intra DC");
        q[0] = diff;
    }
    const uint64_t start = bit_of(p, off);
    if (coded) {
        Opx32s last = 0;
        if (opxiDecodeCoeffsIntra_MPEG4_1u16s(&p, &off, q, &last, rvlc_now, dc_vlc, scan) != opxOk)
            throw std::string("invalid intra coefficients");
    }
    uncursor(p, off);
    if (coded) block_levels(start, true, dc_vlc);

    // DC and AC prediction on the quantised levels
    q[0] = Opx16s(q[0] + round_div(from_above ? fc : fa, scaler));
    const BlockPred* P = from_above ? C : A;
    if (ac_pred && P) {
        const int nx = from_above ? bx : bx - 1, ny = from_above ? by - 1 : by;
        const int pqp = mbs[size_t((c ? ny : ny >> 1) * mbw + (c ? nx : nx >> 1))].qp;
        for (int i = 1; i < 8; ++i) {
            if (from_above)
                q[i] = Opx16s(q[i] + round_div(P->row[i] * pqp, qp));
            else
                q[i * 8] = Opx16s(q[i * 8] + round_div(P->col[i] * pqp, qp));
        }
    }
    BlockPred& me = pred[c][size_t(by * gw + bx)];
    me.dc = std::min(std::max(q[0] * scaler, 0), 2047);
    for (int i = 1; i < 8; ++i) me.row[i] = q[i], me.col[i] = q[i * 8];

    opxiQuantInvIntra_MPEG4_16s_C1I(q, 63, inv_intra, qp, c != 0);
    Plane& pl = cur.p[c];
    const int px = c ? mx * 8 : mx * 16 + (b & 1) * 8, py = c ? my * 8 : my * 16 + (b >> 1) * 8;
    d.opt_.idct->put(q, pl.at(px, py), pl.stride);
}

void Decoder::Impl::inter_block(int mx, int my, int b) {
    const int c = b < 4 ? 0 : b - 3;
    alignas(16) Opx16s q[64], res[64];
    Opx32s off, last = 0;
    Opx8u* p = cursor(off);
    const uint64_t start = r.pos;
    if (opxiReconstructCoeffsInter_MPEG4_1u16s(&p, &off, q, &last, rvlc_now, 0, inv_inter, qp) !=
        opxOk)
        throw std::string("invalid inter coefficients");
    uncursor(p, off);
    block_levels(start, false, false);
    d.opt_.idct->residual(q, res);
    Plane& pl = cur.p[c];
    const int px = c ? mx * 8 : mx * 16 + (b & 1) * 8, py = c ? my * 8 : my * 16 + (b >> 1) * 8;
    opxiAdd8x8_16s8u_C1IRS(res, 16, pl.at(px, py), pl.stride);
}

// ---- macroblocks --------------------------------------------------------------------------------
// The start of an I or P macroblock of either syntax: COD (a macroblock not coded is copied
// from the reference here, and -1 returned), then MCBPC with its stuffing codes skipped.
int Decoder::Impl::mb_start(int mx, int my) {
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    m.slice = slice;
    m.intra = m.skipped = m.four = m.has_ahead = false;
    for (Mv& v : m.mv) v = Mv();
    for (Mv& v : m.ahead) v = Mv();
    for (;;) {
        if (vop_type != 0 && r.bit()) {
            m.qp = qp;
            if (obmc) {  // H.263 Annex F: predicted once the right neighbour is known
                m.skipped = true;
                return -1;
            }
            uint8_t* out[3];
            int step[3];
            cur_mb(mx, my, out, step);
            if (vop_type == 3) {  // S-VOP: global motion compensation, no coefficients
                gmc_mb(mx, my, out, step);
                return -1;
            }
            m.skipped = true;
            const Mv z[4];
            predict_mb(future, mx, my, z, false, out, step);
            return -1;
        }
        const int value = r.vlc(vop_type == 0 ? kMcbpcI : *mcbpc_p);
        if (value == INT_MIN) throw std::string("invalid MCBPC");
        if (value >= 0) return value;
    }
}

void Decoder::Impl::macroblock(int mx, int my) {
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    const int value = mb_start(mx, my);
    if (value < 0) return;
    const int type = value >> 2, cbpc = value & 3;
    const bool intra = type >= 3;
    const bool mcsel = vop_type == 3 && type < 2 && r.bit();  // GMC macroblock
    const int dc_qp = qp;  // the intra DC coding switches on the QP before dquant
    const bool ac_pred = intra && r.bit();
    int cbpy = r.vlc(kCbpy);
    if (cbpy == INT_MIN) throw std::string("invalid cbpy");
    if (!intra) cbpy = 15 - cbpy;
    if (type == 1 || type == 4) {
        static const int kDquant[4] = {-1, -2, 1, 2};
        qp = std::min(std::max(qp + kDquant[r.u(2)], 1), 31);
    }
    m.qp = qp;
    m.intra = intra;
    m.four = type == 2;
    const int cbp = (cbpy << 2) | cbpc;  // bit 5 - b: block b coded
    if (intra) {
        const bool dc_vlc = dc_thr == 0 || (dc_thr < 7 && dc_qp < 11 + 2 * dc_thr);
        for (int b = 0; b < 6; ++b) intra_block(mx, my, b, (cbp >> (5 - b)) & 1, ac_pred, dc_vlc);
        return;
    }
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    Mv v[4];
    if (mcsel) {
        gmc_mb(mx, my, out, step);
        for (int b = 0; b < 6; ++b)
            if ((cbp >> (5 - b)) & 1) inter_block(mx, my, b);
        return;
    }
    if (type == 2) {
        for (int k = 0; k < 4; ++k) {
            const Mv p = predict_mv(mx, my, k, v);
            v[k].x = mv_component(p.x);
            v[k].y = mv_component(p.y);
        }
    } else {
        const Mv p = predict_mv(mx, my, 0, v);
        v[0].x = mv_component(p.x);
        v[0].y = mv_component(p.y);
        v[1] = v[2] = v[3] = v[0];
    }
    for (int k = 0; k < 4; ++k) m.mv[k] = v[k];
    predict_mb(future, mx, my, v, type == 2, out, step);
    for (int b = 0; b < 6; ++b)
        if ((cbp >> (5 - b)) & 1) inter_block(mx, my, b);
}

// ---- global motion compensation (14496-2 clauses 6.2.5.4 and 7.8) -------------------------------
// warping_mv_code: dmv_length (00 for 0, 010..110 for 1..5, then 1110, 11110, ... for
// 6..14), dmv_code of that many bits (a leading 0 makes it negative), a marker bit
int Decoder::Impl::warping_mv_code() {
    int len;
    if (r.peek(2) == 0) {
        r.u(2);
        len = 0;
    } else if (r.peek(3) != 7) {
        len = int(r.u(3)) - 1;
    } else {
        r.u(3);
        len = 6;
        while (r.bit())
            if (++len > 14) throw std::string("invalid dmv_length");
    }
    int v = 0;
    if (len > 0) {
        v = int(r.u(len));
        if (!(v >> (len - 1))) v -= (1 << len) - 1;
    }
    marker();
    return v;
}

// sprite_trajectory: the warping points' displacements (half samples), the later points'
// relative to the first, as the warp record takes them
void Decoder::Impl::sprite_trajectory(Opx32s du[4], Opx32s dv[4]) {
    for (int i = 0; i < warp_points; ++i) {
        du[i] = warping_mv_code();
        dv[i] = warping_mv_code();
    }
}

// the warp record of an S-VOP: the reference VOP (whole macroblocks) is the sprite
void Decoder::Impl::gmc_setup(const Opx32s du[4], const Opx32s dv[4]) {
    const OpxRect sprite{0, 0, mbw * 16, mbh * 16}, vop{0, 0, width, height};
    if (opxiWarpInit_MPEG4(warp, du, dv, warp_points, 2, warp_accuracy, rounding, qpel, fcode,
                           &sprite, &vop) != opxOk)
        throw std::string("invalid sprite trajectory");
}

// a GMC macroblock: the warped prediction from the reference, and the global vector of
// its 16x16 area for the vector prediction of later macroblocks
void Decoder::Impl::gmc_mb(int mx, int my, uint8_t* const out[3], const int step[3]) {
    const OpxRect luma{mx * 16, my * 16, 16, 16}, chroma{mx * 8, my * 8, 8, 8};
    const Plane* f = future.p;
    opxiWarpLuma_MPEG4_8u_C1R(f[0].d.data(), f[0].stride, out[0], step[0], &luma, warp);
    opxiWarpChroma_MPEG4_8u_P2R(f[1].d.data(), f[1].stride, f[2].d.data(), f[2].stride, out[1],
                                step[1], out[2], step[2], &chroma, warp);
    set_global_mv(mx, my);
}

void Decoder::Impl::set_global_mv(int mx, int my) {
    OpxMotionVec g{0, 0};
    opxiCalcGlobalMV_MPEG4(mx * 16, my * 16, &g, warp);
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    for (Mv& v : m.mv) v.x = g.dx, v.y = g.dy;
}

// ---- B-VOP macroblocks (14496-2 clauses 6.2.6 and 7.6.9) ----------------------------------------
void Decoder::Impl::average_into(uint8_t* const out[3], const int step[3]) {
    opxiAverage16x16_8u_C1IR(bwd_y, 16, out[0], step[0]);
    opxiAverage8x8_8u_C1IR(bwd_c[0], 8, out[1], step[1]);
    opxiAverage8x8_8u_C1IR(bwd_c[1], 8, out[2], step[2]);
}

void Decoder::Impl::b_macroblock(int mx, int my) {
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    m.slice = slice;
    m.intra = false;
    m.skipped = false;
    m.qp = qp;
    if (my != b_row || slice != b_slice) pmv_f = pmv_b = Mv(), b_row = my, b_slice = slice;
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    uint8_t* const bwd[3] = {bwd_y, bwd_c[0], bwd_c[1]};
    const int bstep[3] = {16, 8, 8};
    const MbInfo& co = colocated[size_t(my * mbw + mx)];
    if (co.skipped) {  // forward prediction with the zero vector, no coefficients
        const Mv z[4];
        predict_mb(past, mx, my, z, false, out, step);
        return;
    }
    int type = 0, cbp = 0;  // 0 direct, 1 interpolated, 2 backward, 3 forward
    bool delta_coded = false;
    if (!r.bit()) {  // modb 0x: mb_type follows, and cbpb with modb 00
        const bool has_cbp = !r.bit();
        int n = 0;
        while (n < 3 && !r.bit()) ++n;
        if (n == 3 && !r.bit()) throw std::string("invalid mb_type");
        type = n;
        delta_coded = type == 0;
        if (has_cbp) cbp = int(r.u(6));
        if (type != 0 && cbp != 0 && r.bit())
            qp = std::min(std::max(qp + (r.bit() ? 2 : -2), 1), 31);
        m.qp = qp;
    }
    if (type == 0) {  // direct: the co-located vectors scaled by TRB / TRD, plus a delta
        Mv delta;
        if (delta_coded) {
            delta.x = mv_component(0, 1, false);  // not wrapped into a range
            delta.y = mv_component(0, 1, false);
        }
        Mv f[4], b[4];
        for (int k = 0; k < 4; ++k) {
            const Mv c = co.intra ? Mv() : co.mv[k];
            f[k].x = trb * c.x / trd + delta.x;
            f[k].y = trb * c.y / trd + delta.y;
            b[k].x = delta.x == 0 ? (trb - trd) * c.x / trd : f[k].x - c.x;
            b[k].y = delta.y == 0 ? (trb - trd) * c.y / trd : f[k].y - c.y;
        }
        // per 8x8 block after a four-vector macroblock or with quarter samples (one vector
        // otherwise gives the same prediction as four)
        const bool four = co.four || qpel;
        predict_mb(past, mx, my, f, four, out, step);
        predict_mb(future, mx, my, b, four, bwd, bstep);
        average_into(out, step);
    } else {
        Mv f[4], b[4];
        if (type == 1 || type == 3) {
            f[0].x = mv_component(pmv_f.x, fcode);
            f[0].y = mv_component(pmv_f.y, fcode);
            pmv_f = f[0];
        }
        if (type == 1 || type == 2) {
            b[0].x = mv_component(pmv_b.x, fcode_b);
            b[0].y = mv_component(pmv_b.y, fcode_b);
            pmv_b = b[0];
        }
        if (type == 3) {
            predict_mb(past, mx, my, f, false, out, step);
        } else if (type == 2) {
            predict_mb(future, mx, my, b, false, out, step);
        } else {
            predict_mb(past, mx, my, f, false, out, step);
            predict_mb(future, mx, my, b, false, bwd, bstep);
            average_into(out, step);
        }
    }
    for (int k = 0; k < 6; ++k)
        if ((cbp >> (5 - k)) & 1) inter_block(mx, my, k);
}

// ---- data partitioning (14496-2 clause 6.2.5): one video packet from pos_mb ---------------------
void Decoder::Impl::read_dcs(PartMb& pm) {
    for (int b = 0; b < 6; ++b) {
        Opx32s off;
        Opx8u* p = cursor(off);
        if (opxiDecodeDCIntra_MPEG4_1u16s(&p, &off, &pm.dc[b], b >= 4) != opxOk)
            throw std::string("invalid intra DC");
        uncursor(p, off);
    }
}

void Decoder::Impl::partitioned_packet() {
    const int first = pos_mb;
    const bool intra_vop = vop_type == 0;
    const uint32_t marker_code = intra_vop ? 0x6B001u : 0x1F001u;  // dc_marker, motion_marker
    const int marker_len = intra_vop ? 19 : 17;
    part.clear();
    // first partition: macroblock types, vectors (P) or quantiser changes and DCs (I)
    while (r.peek(marker_len) != marker_code) {
        if (first + int(part.size()) >= mbw * mbh) throw std::string("partition marker missing");
        if (r.overrun()) throw std::string("VOP data cut short");
        const int n = first + int(part.size());
        const int mx = n % mbw, my = n / mbw;
        MbInfo& m = mbs[size_t(n)];
        m.slice = slice;
        m.intra = m.skipped = m.four = false;
        for (Mv& v : m.mv) v = Mv();
        part.emplace_back();
        PartMb& pm = part.back();
        int value = 0;
        for (;;) {
            if (!intra_vop && r.bit()) {
                // not coded; in an S-VOP a GMC macroblock without coefficients
                pm.skipped = true;
                pm.gmc = vop_type == 3;
                m.skipped = !pm.gmc;
                break;
            }
            value = r.vlc(intra_vop ? kMcbpcI : kMcbpcP);
            if (value == INT_MIN) throw std::string("invalid mcbpc");
            if (value >= 0) break;
        }
        m.qp = pm.qp = qp;
        if (pm.gmc) set_global_mv(mx, my);
        if (pm.skipped) continue;
        pm.type = value >> 2;
        pm.cbp = value & 3;
        pm.intra = m.intra = pm.type >= 3;
        m.four = pm.type == 2;
        if (intra_vop) {
            pm.dc_vlc = dc_thr == 0 || (dc_thr < 7 && qp < 11 + 2 * dc_thr);
            if (pm.type == 4) {
                static const int kDquant[4] = {-1, -2, 1, 2};
                qp = std::min(std::max(qp + kDquant[r.u(2)], 1), 31);
            }
            m.qp = pm.qp = qp;
            if (pm.dc_vlc) read_dcs(pm);
        } else if (vop_type == 3 && pm.type < 2 && r.bit()) {
            pm.gmc = true;
            set_global_mv(mx, my);
        } else if (!pm.intra) {
            Mv v[4];
            const int nv = pm.type == 2 ? 4 : 1;
            for (int k = 0; k < nv; ++k) {
                const Mv p = predict_mv(mx, my, k, v);
                v[k].x = mv_component(p.x);
                v[k].y = mv_component(p.y);
            }
            if (nv == 1) v[1] = v[2] = v[3] = v[0];
            for (int k = 0; k < 4; ++k) m.mv[k] = v[k];
        }
    }
    r.u(marker_len);
    // second partition: AC prediction flags, CBPY, quantiser changes and DCs (P)
    for (size_t i = 0; i < part.size(); ++i) {
        PartMb& pm = part[i];
        if (pm.skipped) continue;
        if (pm.intra) pm.ac_pred = r.bit();
        int cbpy = r.vlc(kCbpy);
        if (cbpy == INT_MIN) throw std::string("invalid cbpy");
        pm.cbp |= (pm.intra ? cbpy : 15 - cbpy) << 2;
        if (!intra_vop) {
            const int dc_qp = qp;
            if (pm.type == 1 || pm.type == 4) {
                static const int kDquant[4] = {-1, -2, 1, 2};
                qp = std::min(std::max(qp + kDquant[r.u(2)], 1), 31);
            }
            pm.qp = mbs[size_t(first) + i].qp = qp;
            if (pm.intra) {
                pm.dc_vlc = dc_thr == 0 || (dc_thr < 7 && dc_qp < 11 + 2 * dc_thr);
                if (pm.dc_vlc) read_dcs(pm);
            }
        }
    }
    // third partition: the blocks' coefficients (reversible codes with reversible_vlc), and
    // reconstruction
    const int saved_qp = qp;
    in_partition3 = true;
    rvlc_now = rvlc;
    packet_blocks.clear();
    for (size_t i = 0; i < part.size(); ++i) {
        const PartMb& pm = part[i];
        const int n = first + int(i), mx = n % mbw, my = n / mbw;
        const MbInfo& m = mbs[size_t(n)];
        uint8_t* out[3];
        int step[3];
        cur_mb(mx, my, out, step);
        qp = pm.qp;
        if (pm.gmc) {
            gmc_mb(mx, my, out, step);
            for (int b = 0; b < 6; ++b)
                if ((pm.cbp >> (5 - b)) & 1) inter_block(mx, my, b);
        } else if (pm.skipped) {
            const Mv z[4];
            predict_mb(future, mx, my, z, false, out, step);
        } else if (pm.intra) {
            for (int b = 0; b < 6; ++b)
                intra_block(mx, my, b, (pm.cbp >> (5 - b)) & 1, pm.ac_pred, pm.dc_vlc,
                            pm.dc_vlc ? &pm.dc[b] : nullptr);
        } else {
            predict_mb(future, mx, my, m.mv, pm.type == 2, out, step);
            for (int b = 0; b < 6; ++b)
                if ((pm.cbp >> (5 - b)) & 1) inter_block(mx, my, b);
        }
        if (r.overrun()) throw std::string("VOP data cut short");
    }
    qp = saved_qp;
    in_partition3 = rvlc_now = false;
    if (rvlc && d.opt_.rvlc_backward) rvlc_backward_check();
    pos_mb = first + int(part.size());
}

}  // namespace m4vdec
