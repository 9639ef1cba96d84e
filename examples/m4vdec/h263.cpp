// H.263 pictures (ITU-T H.263 clause 5) on the MPEG-4 machinery: baseline picture and GOB
// headers, unrestricted vectors (Annex D) and advanced prediction with overlapped block motion
// compensation (Annex F); version 2 picture headers (PLUSPTYPE) with advanced intra coding, the
// deblocking filter, the alternative inter VLC and modified quantisation (Annexes I, J, S, T).
#include <algorithm>
#include <climits>
#include <cstring>

#include "decoder_impl.hpp"

namespace m4vdec {

// ---- H.263 baseline (ITU-T H.263 clause 5) ------------------------------------------------------
// GBSC (17 bits), possibly after stuffing zeros up to a byte boundary
bool Decoder::Impl::at_gob_header() const {
    if (r.peek(17) == 1) return true;
    const uint64_t aligned = (r.pos + 7) & ~uint64_t(7);
    if (aligned == r.pos) return false;
    Reader t = r;
    if (t.u(int(aligned - r.pos)) != 0) return false;
    return t.peek(17) == 1;
}

void Decoder::Impl::h263_picture() {
    r.u(22);  // PSC
    r.u(8);   // TR
    if (!r.bit() || r.bit()) throw std::string("invalid PTYPE");
    r.u(3);  // split screen, document camera, freeze picture release
    static const int kSizes[6][2] = {{0, 0},     {128, 96},  {176, 144},
                                     {352, 288}, {704, 576}, {1408, 1152}};
    const int format = int(r.u(3));
    mcbpc_p = format == 7 ? &kMcbpcPPlus : &kMcbpcP;
    if (format == 7) {
        plus_header();
    } else {
        if (format == 0 || format == 6) throw std::string("invalid source format");
        vop_type = int(r.u(1));
        umv = r.bit();
        umv_plus = false;
        need(!r.bit(), "H.263 syntax-based arithmetic coding (Annex E)");
        obmc = r.bit();  // advanced prediction (Annex F)
        need(!r.bit(), "H.263 PB-frames (Annex G)");
        qp = int(r.u(5));
        if (qp == 0) throw std::string("PQUANT 0");
        need(!r.bit(), "H.263 continuous presence multipoint");
        width = kSizes[format][0];
        height = kSizes[format][1];
        rounding = 0;
        aic = deblock = modquant = aiv = false;
    }
    while (r.bit()) r.u(8);  // PEI, PSUPP
    if (r.overrun()) throw std::string("picture header cut short");
    resize();
    have_vol = true;
    if (vop_type == 1 && !have_future) throw std::string("P-picture without a reference");
    fcode = 1;
    // macroblock rows per GOB (H.263 clause 5.2; custom sizes by their height)
    const int gob_rows = height <= 400 ? 1 : height <= 800 ? 2 : 4;
    pending = -1;
    for (MbInfo& m : mbs) m.slice = -1;
    slice = 0;
    pos_mb = 0;
    try {
        while (pos_mb < mbw * mbh) {
            const int mx = pos_mb % mbw, my = pos_mb / mbw;
            if (mx == 0 && my > 0 && my % gob_rows == 0 && at_gob_header()) {
                const uint64_t stuffing = r.pos;
                while (r.peek(17) != 1) r.u(1);
                if ((r.pos & 7) == 0) rw_align_zeros(stuffing, r.pos);
                r.u(17);
                const int gn = int(r.u(5));
                if (gn * gob_rows != my) throw std::string("GOB number out of order");
                r.u(2);  // GFID
                qp = int(r.u(5));
                if (qp == 0) throw std::string("GQUANT 0");
                ++slice;
            }
            h263_macroblock(mx, my);
            ++pos_mb;
            if (r.overrun()) throw std::string("picture data cut short");
        }
        rw_align_zeros(r.pos, (r.pos + 7) & ~uint64_t(7));
    } catch (const std::string& e) {
        error("picture %ld, macroblock %d: %s", d.frames_out_, pos_mb, e.c_str());
        obmc_pending();
    }
    if (deblock) deblock_picture();
    keep_qp();
    flush();
    std::swap(past, future);
    std::swap(future, cur);
    have_future = future_pending = true;
    if (obmc_compat) {
        if (recent.size() == 3) recent.erase(recent.begin());
        recent.push_back(mbs);
    }
}

// ---- H.263 version 2 pictures (PLUSPTYPE, H.263 clause 5.1.4) -----------------------------------
// from the PLUSPTYPE on, up to PQUANT
void Decoder::Impl::plus_header() {
    const int ufep = int(r.u(3));
    if (ufep > 1) throw std::string("invalid UFEP");
    if (ufep == 1) {  // OPPTYPE
        plus_format = int(r.u(3));
        custom_pcf = r.bit();
        plus_umv = r.bit();
        need(!r.bit(), "H.263 syntax-based arithmetic coding (Annex E)");
        plus_obmc = r.bit();
        aic = r.bit();
        deblock = r.bit();
        need(!r.bit(), "H.263 slice structure (Annex K)");
        need(!r.bit(), "H.263 reference picture selection (Annex N)");
        need(!r.bit(), "H.263 independent segment decoding (Annex R)");
        plus_aiv = r.bit();
        modquant = r.bit();
        if (r.u(4) != 8) throw std::string("invalid OPPTYPE");
    } else if (plus_format == 0) {
        throw std::string("PLUSPTYPE without its options");
    }
    obmc = plus_obmc;
    umv = umv_plus = plus_umv;
    aiv = plus_aiv;
    const int type = int(r.u(3));  // MPPTYPE
    need(type <= 1, "H.263 B, EI, EP or improved PB pictures");
    vop_type = type;
    need(!r.bit(), "H.263 reference picture resampling (Annex P)");
    need(!r.bit(), "H.263 reduced-resolution update (Annex Q)");
    rounding = int(r.u(1));  // RTYPE
    if (r.u(3) != 1) throw std::string("invalid MPPTYPE");
    need(!r.bit(), "H.263 continuous presence multipoint");
    static const int kSizes[6][2] = {{0, 0},     {128, 96},  {176, 144},
                                     {352, 288}, {704, 576}, {1408, 1152}};
    if (ufep == 1) {
        if (plus_format == 6) {  // CPFMT
            const int par = int(r.u(4));
            width = (int(r.u(9)) + 1) * 4;
            marker();
            height = int(r.u(9)) * 4;
            if (height == 0) throw std::string("picture height 0");
            if (par == 15) r.u(16);  // EPAR
        } else if (plus_format >= 1 && plus_format <= 5) {
            width = kSizes[plus_format][0];
            height = kSizes[plus_format][1];
        } else {
            throw std::string("invalid source format");
        }
        if (custom_pcf) r.u(8);  // CPCFC
    }
    if (custom_pcf) r.u(2);  // ETR
    // UUI: 1 the vector range of Table D.1, 01 unlimited; either way nothing to check here
    if (ufep == 1 && plus_umv && !r.bit() && !r.bit()) throw std::string("invalid UUI");
    qp = int(r.u(5));
    if (qp == 0) throw std::string("PQUANT 0");
}

// chrominance QUANT: Annex T Table T.1 in modified quantisation, else QUANT
int Decoder::Impl::chroma_qp(int q) const {
    static const uint8_t kQuantC[32] = {0,  1,  2,  3,  4,  5,  6,  6,  7,  8,  9,
                                        9,  10, 10, 11, 11, 12, 12, 12, 13, 13, 13,
                                        14, 14, 14, 14, 14, 15, 15, 15, 15, 15};
    return modquant ? kQuantC[q] : q;
}

// Annex I: one intra block of advanced intra coding into dst. mode 0 predicts the DC from
// the mean of the left and above blocks' (either alone when the other is missing, 1024
// without both), 1 the first row from the block above, 2 the first column from the block
// to the left (with the alternate horizontal and vertical scans); the reconstructed DC is
// made odd and not negative.
void Decoder::Impl::aic_block(int mx, int my, int b, bool coded, int mode, uint8_t* dst,
                              int stride) {
    const int c = b < 4 ? 0 : b - 3;
    const int bx = c ? mx : 2 * mx + (b & 1), by = c ? my : 2 * my + (b >> 1);
    const int gw = c ? mbw : 2 * mbw;
    const BlockPred* A = pred_at(c, bx - 1, by);
    const BlockPred* C = pred_at(c, bx, by - 1);
    alignas(16) Opx16s q[64];
    std::memset(q, 0, sizeof q);
    Opx32s off, last = 0;
    Opx8u* p = cursor(off);
    const uint64_t start = r.pos;
    if (opxiReconstructCoeffsIntra_H263_1u16s(&p, &off, q, &last, coded, c ? chroma_qp(qp) : qp, 1,
                                              mode == 1   ? 2
                                              : mode == 2 ? 1
                                                          : 0,
                                              modquant) != opxOk)
        throw std::string("invalid intra block");
    uncursor(p, off);
    if (coded) rewrite_h26x(start, kTableI2);
    int dc = 1024;
    if (mode == 0) {
        dc = A && C ? (A->dc + C->dc) >> 1 : A ? A->dc : C ? C->dc : 1024;
    } else if (mode == 1 && C) {
        dc = C->dc;
        for (int i = 1; i < 8; ++i) q[i] = Opx16s(q[i] + C->row[i]);
    } else if (mode == 2 && A) {
        dc = A->dc;
        for (int i = 1; i < 8; ++i) q[i * 8] = Opx16s(q[i * 8] + A->col[i]);
    }
    dc += q[0];
    q[0] = Opx16s(dc < 0 ? 0 : std::min(dc, 2047) | 1);
    BlockPred& me = pred[c][size_t(by * gw + bx)];
    me.dc = q[0];
    for (int i = 1; i < 8; ++i) me.row[i] = q[i], me.col[i] = q[i * 8];
    d.opt_.idct->put(q, dst, stride);
}

// Annex J: the deblocking filter over the reconstructed picture, horizontal block edges
// first, then vertical ones. An edge between two blocks of not-coded macroblocks stays;
// otherwise the QUANT is that of the macroblock below or to the right, or of the other one
// when that one was not coded (chrominance: its QUANT_C).
void Decoder::Impl::deblock_picture() {
    for (int c = 0; c < 3; ++c) {
        Plane& pl = cur.p[c];
        const int sh = c ? 0 : 1, gw = mbw << sh, gh = mbh << sh;
        auto edge_qp = [&](int ax, int ay, int bx, int by) {
            const MbInfo& a = mbs[size_t((ay >> sh) * mbw + (ax >> sh))];
            const MbInfo& b = mbs[size_t((by >> sh) * mbw + (bx >> sh))];
            if (a.skipped && b.skipped) return 0;
            const int q = b.skipped ? a.qp : b.qp;
            return c ? chroma_qp(q) : q;
        };
        for (int by = 1; by < gh; ++by)
            for (int bx = 0; bx < gw; ++bx)
                if (const int q = edge_qp(bx, by - 1, bx, by))
                    opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                                q);
        for (int by = 0; by < gh; ++by)
            for (int bx = 1; bx < gw; ++bx)
                if (const int q = edge_qp(bx - 1, by, bx, by))
                    opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                                q);
    }
}

// ---- H.263 motion vectors (clause 6.1.1, Annex D) and macroblocks -------------------------------
// One MVD component of Annex D with PLUSPTYPE (Table D.3): "1" for 0; otherwise a 0, then
// for each bit of |MVD| after its leading 1 that bit and a 1, then the sign (1 negative)
// and a 0. Single-valued, reversible; half samples.
int Decoder::Impl::umv_difference() {
    if (r.bit()) return 0;
    int a = 1;
    for (;;) {
        const int b = int(r.u(1));
        if (!r.bit()) return b ? -a : a;
        if (a >= 1 << 12) throw std::string("invalid motion vector difference");
        a = (a << 1) | b;
    }
}

// A macroblock or block vector from its prediction and the coded differences
detail::Mv Decoder::Impl::h263_mv(Mv p) {
    Mv v;
    if (umv_plus) {
        const int dx = umv_difference(), dy = umv_difference();
        // two differences of +1/2 would leave eight zeros in a row: a 1 follows to keep start
        // codes from being emulated
        if (dx == 1 && dy == 1 && !r.bit()) throw std::string("start code emulation bit 0");
        v.x = p.x + dx;
        v.y = p.y + dy;
        return v;
    }
    v.x = umv ? umv_v1_component(p.x) : mv_component(p.x);
    v.y = umv ? umv_v1_component(p.y) : mv_component(p.y);
    return v;
}

// Annex D.2 without PLUSPTYPE: the MVD table's two values per code (d and d -+ 64 half
// samples) resolve to the vector within -32..31 of a predictor in -31..32, and otherwise to
// the one within -63..63 of the predictor's sign (or zero)
int Decoder::Impl::umv_v1_component(int p) {
    const int code = r.vlc(kMotionCode);
    if (code == INT_MIN) throw std::string("invalid MVD");
    return umv_v1_vector(p, code);
}

int Decoder::Impl::umv_v1_vector(int p, int code) {
    const int d = code == 32 ? -32 : code;  // "-16 & 16" is one code
    if (p >= -31 && p <= 32) return p + d;
    int v = p + d;
    if (v < -63 || (p > 0 && v < 0)) v += 64;
    if (v > 63 || (p < 0 && v > 0)) v -= 64;
    return v;
}

// DQUANT of clause 5.3.6: -1, -2, +1, +2
int Decoder::Impl::dquant(int q) {
    static const int kDquant[4] = {-1, -2, 1, 2};
    return std::min(std::max(q + kDquant[r.u(2)], 1), 31);
}

// DQUANT of Annex T.2: 1 and a bit choosing between the two steps of Table T.1 for the
// current QUANT, or 0 and the new QUANT in 5 bits
// Table T.1 by QUANT and the bit: QUANT 1 -> +2/+1, 2..10 -> -1/+1, 11..20 -> -2/+2,
// 21..28 -> -3/+3, 29 -> -3/+2, 30 -> -3/+1, 31 -> -3/-5
int Decoder::Impl::dquant_t_step(int quant, int bit) {
    if (quant == 1) return bit ? 1 : 2;
    if (quant <= 10) return bit ? 1 : -1;
    if (quant <= 20) return bit ? 2 : -2;
    if (quant <= 28) return bit ? 3 : -3;
    return bit ? (quant == 29 ? 2 : quant == 30 ? 1 : -5) : -3;
}

int Decoder::Impl::dquant_t(int q) {
    if (r.bit()) return q + dquant_t_step(q, int(r.u(1)));
    const int v = int(r.u(5));
    if (v == 0) throw std::string("QUANT 0");
    return v;
}

// one inter block's levels, dequantised with QUANT q: Table 16, or under Annex S the intra
// codes of Table I.2 when Table 16 would put more than 64 coefficients in the block (the
// decoder reports that as an invalid code and leaves the cursor where it was)
void Decoder::Impl::h263_inter_block(Opx16s q[64], int quant) {
    Opx32s off, last = 0;
    Opx8u* p = cursor(off);
    const uint64_t start = r.pos;
    OpxResult e = opxiReconstructCoeffsInter_H263_1u16s(&p, &off, q, &last, quant, modquant);
    H26xCodes codes = kH263Inter;
    if (e == opxErrVlcCode && aiv) {
        e = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, q, &last, 1, modquant, opxScanZigzag);
        if (e == opxOk) e = opxiQuantInvInter_H263_16s_C1I(q, 63, quant, modquant);
        codes = kTableI2;
    }
    if (e != opxOk) throw std::string("invalid inter block");
    uncursor(p, off);
    rewrite_h26x(start, codes);
}

void Decoder::Impl::h263_macroblock(int mx, int my) {
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    const int value = mb_start(mx, my);
    if (value < 0) {
        if (obmc) obmc_parsed(mx, my, 0);
        return;
    }
    const int type = value >> 2;
    const bool four = type == 2 || type == 5;  // INTER4V, INTER4V+Q
    need(!four || obmc || deblock, "H.263 four-vector macroblocks outside advanced prediction");
    const bool intra = type == 3 || type == 4;
    int intra_mode = 0;  // Annex I: 0 DC, 1 vertical, 2 horizontal prediction
    if (intra && aic && r.bit()) intra_mode = 1 + int(r.u(1));
    int cbpy = r.vlc(kCbpy);
    if (cbpy == INT_MIN) throw std::string("invalid CBPY");
    // Annex S: an inter macroblock with both chrominance blocks coded takes the intra
    // meaning of CBPY
    if (!intra && !(aiv && (value & 3) == 3)) cbpy = 15 - cbpy;
    if (type == 1 || type == 4 || type == 5) {
        const uint64_t at = r.pos;
        const int before = qp;
        qp = modquant && !d.opt_.dquant_compat ? dquant_t(qp) : dquant(qp);
        if (rewriting && modquant && d.opt_.dquant_compat) {  // written in the form of T.2
            rw_sync(at);
            if (qp == before + dquant_t_step(before, 0) || qp == before + dquant_t_step(before, 1))
                rw.put(qp == before + dquant_t_step(before, 0) ? 2 : 3, 2);
            else
                rw.put(uint32_t(qp), 6);
            rw_in = r.pos;
        }
    }
    m.qp = qp;
    m.intra = intra;
    const int cbp = (cbpy << 2) | (value & 3);
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    alignas(16) Opx16s q[64], res[64];
    if (intra) {
        for (int b = 0; b < 6; ++b) {
            const int c = b < 4 ? 0 : b - 3;
            uint8_t* dst = c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8;
            if (aic) {
                aic_block(mx, my, b, (cbp >> (5 - b)) & 1, intra_mode, dst, step[c]);
                continue;
            }
            Opx32s off, last = 0;
            Opx8u* p = cursor(off);
            const uint64_t start = r.pos + 8;  // past INTRADC
            if (opxiReconstructCoeffsIntra_H263_1u16s(&p, &off, q, &last, (cbp >> (5 - b)) & 1,
                                                      c ? chroma_qp(qp) : qp, 0, 0,
                                                      modquant) != opxOk)
                throw std::string("invalid intra block");
            uncursor(p, off);
            if ((cbp >> (5 - b)) & 1) rewrite_h26x(start, kH263IntraAc);
            d.opt_.idct->put(q, dst, step[c]);
        }
        if (obmc) obmc_parsed(mx, my, -1);
        return;
    }
    Mv v[4];
    const int nv = four ? 4 : 1;
    // libavcodec's look-ahead (compatible mode) follows an inter macroblock that was coded
    MbInfo* left = mx > 0 ? &mbs[size_t(my * mbw + mx - 1)] : nullptr;
    const bool ahead = obmc && obmc_compat && left && !left->intra && !left->skipped;
    for (int k = 0; k < nv; ++k) {
        const Mv p = predict_mv(mx, my, k, v);
        v[k] = h263_mv(p);
        if (ahead) {  // the same differences on the look-ahead's predictions
            Mv real[4];
            std::memcpy(real, left->mv, sizeof real);
            for (int i = 0; i < 4; ++i) left->mv[i] = held(my * mbw + mx - 1, i);
            const Mv pa = predict_mv(mx, my, k, m.ahead);
            std::memcpy(left->mv, real, sizeof real);
            m.ahead[k].x = umv ? pa.x + v[k].x - p.x : wrap_mv(pa.x + v[k].x - p.x);
            m.ahead[k].y = umv ? pa.y + v[k].y - p.y : wrap_mv(pa.y + v[k].y - p.y);
        }
    }
    if (nv == 1) {
        v[1] = v[2] = v[3] = v[0];
        m.ahead[1] = m.ahead[2] = m.ahead[3] = m.ahead[0];
    }
    for (int k = 0; k < 4; ++k) m.mv[k] = v[k];
    m.four = nv == 4;
    m.has_ahead = ahead;
    if (!obmc) predict_mb(future, mx, my, v, nv == 4, out, step);
    for (int b = 0; b < 6; ++b) {
        if (!((cbp >> (5 - b)) & 1)) continue;
        const int c = b < 4 ? 0 : b - 3;
        h263_inter_block(q, c ? chroma_qp(qp) : qp);
        if (obmc) {
            d.opt_.idct->residual(q, parsed_res[b]);
            continue;
        }
        d.opt_.idct->residual(q, res);
        opxiAdd8x8_16s8u_C1IRS(res, 16, c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8,
                               step[c]);
    }
    if (obmc) obmc_parsed(mx, my, cbp);
}

// ---- H.263 Annex F: overlapped block motion compensation ----------------------------------------
// (the macroblock waiting for its right neighbour, and the compatible mode: decoder_impl.hpp)
detail::Mv Decoder::Impl::held(int n, int blk) const {
    const MbInfo& m = mbs[size_t(n)];
    if (m.four) return m.mv[blk];
    if (m.has_ahead) return m.ahead[blk];
    const MbInfo* o = older(n);
    return o ? o->mv[blk] : Mv();
}

// macroblock (mx, my) parsed (cbp -1: intra, already reconstructed; its residuals in
// parsed_res): the one waiting to its left is predicted, this one waits unless it ends
// its row
void Decoder::Impl::obmc_parsed(int mx, int my, int cbp) {
    obmc_pending();
    if (cbp < 0) return;
    pending = my * mbw + mx;
    pending_cbp = cbp;
    std::memcpy(pending_res, parsed_res, sizeof pending_res);
    if (mx == mbw - 1) obmc_pending();
}

// the remote vector from block `blk` of macroblock (mx, my) for a block with vector `self`
// (Annex F.3): outside the picture, not decoded or intra, the block's own; a macroblock not
// coded has the zero vector
detail::Mv Decoder::Impl::remote(int mx, int my, int blk, Mv self) const {
    if (mx < 0 || my < 0 || mx >= mbw || my >= mbh) return self;
    const MbInfo& m = mbs[size_t(my * mbw + mx)];
    if (m.slice < 0 || m.intra) return self;
    return m.mv[blk];
}

// the right neighbour's vector for macroblock n (compatible mode: see obmc_compat)
detail::Mv Decoder::Impl::remote_right(int n, int blk, Mv self) const {
    const int mx = n % mbw;
    if (!obmc_compat || mx + 1 == mbw) return remote(mx + 1, n / mbw, blk, self);
    if (mbs[size_t(n)].skipped) {
        const MbInfo* o = older(n + 1);
        return !o ? Mv() : o->intra ? self : o->mv[blk];
    }
    const MbInfo& r = mbs[size_t(n + 1)];
    if (r.slice < 0 || r.intra) return self;
    return r.has_ahead ? r.ahead[blk] : r.mv[blk];
}

void Decoder::Impl::obmc_pending() {
    if (pending < 0) return;
    const int n = pending, mx = n % mbw, my = n / mbw;
    pending = -1;
    const MbInfo& m = mbs[size_t(n)];
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    for (int k = 0; k < 4; ++k) {
        const int bx = k & 1, by = k >> 1;
        const Mv c = m.mv[k];
        // left, right, above, below; the macroblock below is not decoded yet: own vector
        const Mv v[5] = {c, bx ? m.mv[k - 1] : remote(mx - 1, my, k + 1, c),
                         bx ? remote_right(n, k - 1, c) : m.mv[k + 1],
                         by ? m.mv[k - 2] : remote(mx, my - 1, k + 2, c), by ? c : m.mv[k + 2]};
        obmc_block(mx * 16 + bx * 8, my * 16 + by * 8, v, out[0] + by * 8 * step[0] + bx * 8,
                   step[0]);
    }
    Mv cv;
    cv.x = chroma_of_sum(m.mv[0].x + m.mv[1].x + m.mv[2].x + m.mv[3].x);
    cv.y = chroma_of_sum(m.mv[0].y + m.mv[1].y + m.mv[2].y + m.mv[3].y);
    mc(future, 1, mx * 8, my * 8, cv, 8, out[1], step[1]);
    mc(future, 2, mx * 8, my * 8, cv, 8, out[2], step[2]);
    for (int b = 0; b < 6; ++b) {
        if (!((pending_cbp >> (5 - b)) & 1)) continue;
        const int c = b < 4 ? 0 : b - 3;
        opxiAdd8x8_16s8u_C1IRS(pending_res[b], 16,
                               c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8, step[c]);
    }
}

// one overlapped 8x8 luminance block at (x, y): vectors current, left, right, above,
// below (half samples); the area they reach is taken from the reference with its edge
// samples repeated where it leaves the picture
void Decoder::Impl::obmc_block(int x, int y, const Mv vin[5], uint8_t* out, int out_step) {
    const Plane& src = future.p[0];
    // each prediction's position limited as mc() limits 8x8 blocks
    Mv v[5];
    for (int i = 0; i < 5; ++i) {
        int ix = std::min(std::max(x + (vin[i].x >> 1), -16), width);
        int iy = std::min(std::max(y + (vin[i].y >> 1), -16), height);
        v[i].x = 2 * (ix - x) + (ix == width ? 0 : vin[i].x & 1);
        v[i].y = 2 * (iy - y) + (iy == height ? 0 : vin[i].y & 1);
    }
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    for (int i = 0; i < 5; ++i) {
        x0 = std::min(x0, v[i].x >> 1), x1 = std::max(x1, (v[i].x >> 1) + 1);
        y0 = std::min(y0, v[i].y >> 1), y1 = std::max(y1, (v[i].y >> 1) + 1);
    }
    const uint8_t* s;
    int s_step;
    if (x + x0 >= 0 && y + y0 >= 0 && x + x1 + 8 <= src.w && y + y1 + 8 <= src.h) {
        s = src.d.data() + y * src.stride + x;
        s_step = src.stride;
    } else {
        const int w = 8 + x1 - x0, h = 8 + y1 - y0;
        obmc_area.resize(size_t(w * h));
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                obmc_area[size_t(j * w + i)] =
                    src.d[size_t(std::min(std::max(y + y0 + j, 0), src.h - 1) * src.stride +
                                 std::min(std::max(x + x0 + i, 0), src.w - 1))];
        s = obmc_area.data() - y0 * w - x0;
        s_step = w;
    }
    OpxMotionVec m[5];
    for (int i = 0; i < 5; ++i) m[i] = OpxMotionVec{Opx16s(v[i].x), Opx16s(v[i].y)};
    opxiOBMC8x8HP_MPEG4_8u_C1R(s, s_step, out, out_step, &m[0], &m[1], &m[2], &m[3], &m[4],
                               rounding);
}

// ---- H.263 stream: the pictures between picture start codes -------------------------------------
void Decoder::Impl::run_h263(const std::vector<uint8_t>& buf, size_t size) {
    auto next_psc = [&](size_t from) {
        for (size_t k = from; k + 2 < size; ++k)
            if (buf[k] == 0 && buf[k + 1] == 0 && (buf[k + 2] & 0xFC) == 0x80) return k;
        return size;
    };
    size_t i = next_psc(0);
    while (i < size) {
        if (d.opt_.max_frames >= 0 && d.frames_out_ >= d.opt_.max_frames) return;
        const size_t next = next_psc(i + 3);
        r.buf = buf.data();
        r.pos = uint64_t(i) * 8;
        r.end = uint64_t(next) * 8;
        if (!picture([&] { h263_picture(); })) return;
        i = next;
    }
    flush();
}

}  // namespace m4vdec
