// The encoder: parameter sets and slice headers, mode decision (Intra 4x4 / Intra 16x16 by
// SATD cost, P_L0_16x16 by a small diamond search refined to quarter samples, P_Skip when the
// predicted motion leaves no residual), the forward path and reconstruction through the
// library, and the in-loop filter.
#include "encoder.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace h264enc {

using h264common::MbMotion;
using h264common::Mv;
using h264common::MvNeighbour;

namespace {

constexpr int kPadLuma = 48, kPadChroma = 24;  // replicated border of reference pictures
constexpr int kReach = 40;   // how far (samples) a motion vector may point outside the picture
constexpr int kMaxMv = 128;  // the largest full-sample vector component searched

// Raster position of luma block blkIdx (clause 6.4.3) and back.
inline int blk_x(int i) {
    return (i & 1) | ((i >> 1) & 2);
}
inline int blk_y(int i) {
    return ((i >> 1) & 1) | ((i >> 2) & 2);
}
inline int blk_idx(int x, int y) {
    return ((y >> 1) << 3) | ((x >> 1) << 2) | ((y & 1) << 1) | (x & 1);
}

void residual4x4(const uint8_t* s, int ss, const uint8_t* p, int ps, Opx16s* r) {
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) r[y * 4 + x] = Opx16s(s[y * ss + x] - p[y * ps + x]);
}

// Clamps levels to what the Baseline profile can code; returns a mask: bit 0 any level, bit 1
// any level past position 0.
int clamp_levels(Opx16s* l, int n) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        l[i] = Opx16s(std::clamp<int>(l[i], -kMaxLevel, kMaxLevel));
        if (l[i]) m |= i ? 3 : 1;
    }
    return m;
}

void check(OpxResult r) {
    if (r < opxOk) std::abort();  // every call's arguments are valid by construction
}

int satd(const uint8_t* s, int ss, const uint8_t* p, int ps, int w) {
    Opx32s v = 0;
    if (w == 16)
        check(opxiSATD16x16_8u32s_C1R(s, ss, p, ps, &v));
    else if (w == 8)
        check(opxiSATD8x8_8u32s_C1R(s, ss, p, ps, &v));
    else
        check(opxiSATD4x4_8u32s_C1R(s, ss, p, ps, &v));
    return v / 2;
}

// Reconstructs a 4x4 block in place: rec holds the prediction, levels the quantised block,
// dc the dequantised DC (or null).
void reconstruct4x4(uint8_t* rec, int step, const Opx16s* levels, const Opx16s* dc, int qp,
                    int nz) {
    if (!nz && !(dc && *dc)) return;
    Opx16s t[16];
    std::memcpy(t, levels, sizeof t);
    check(opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(rec, step, t, dc, rec, step, qp,
                                                        (nz & 2) ? 1 : 0, nullptr));
}

}  // namespace

void Plane::init(int w, int h, int p) {
    width = w;
    height = h;
    pad = p;
    stride = (w + 2 * p + 31) & ~31;
    buf.assign(size_t(stride) * size_t(h + 2 * p), 0);
    origin = buf.data() + size_t(p) * size_t(stride) + size_t(p);
}

Encoder::Encoder(const Settings& s) : s_(s) {
    mbw_ = (s.width + 15) / 16;
    mbh_ = (s.height + 15) / 16;
    const int w = mbw_ * 16, h = mbh_ * 16;
    for (int i = 0; i < 3; ++i) {
        src_.p[i].init(i ? w / 2 : w, i ? h / 2 : h, 0);
        for (Picture& p : pics_)
            p.p[i].init(i ? w / 2 : w, i ? h / 2 : h, i ? kPadChroma : kPadLuma);
    }
    mbs_.resize(size_t(mbw_) * size_t(mbh_));
    motion_.resize(mbs_.size());
    thr_.build(0, 0);
    qpc_ = h264common::kChromaQp[s.qp];
    lambda_ = std::max(0.7, std::pow(2.0, (s.qp - 12) / 6.0));
    for (int i = 0; i < 16; ++i) scan_pos_[h264common::kZigzag4x4[i]] = Opx16s(i);
    for (uint32_t k = 0; k < 48; ++k) {
        cbp_code_[0][h264common::kCbpIntra[k]] = k;
        cbp_code_[1][h264common::kCbpInter[k]] = k;
    }
}

// ---- parameter sets and slice header ----------------------------------------------------------

void Encoder::headers(std::vector<uint8_t>& out) {
    const int fs = mbw_ * mbh_;
    // the smallest level whose frame size fits (Table A-1)
    const int level = fs <= 396     ? 30
                      : fs <= 1620  ? 30
                      : fs <= 3600  ? 31
                      : fs <= 5120  ? 32
                      : fs <= 8192  ? 40
                      : fs <= 8704  ? 42
                      : fs <= 22080 ? 50
                                    : 51;
    BitWriter& b = bw_;
    b.clear();
    b.u(66, 8);    // profile_idc: Baseline
    b.u(0xC0, 8);  // constraint_set0_flag, constraint_set1_flag (also decodable as Main)
    b.u(uint32_t(level), 8);
    b.ue(0);  // seq_parameter_set_id
    b.ue(4);  // log2_max_frame_num_minus4: frame_num in 8 bits
    b.ue(2);  // pic_order_cnt_type 2: output order is decoding order
    b.ue(1);  // max_num_ref_frames
    b.u(0, 1);
    b.ue(uint32_t(mbw_ - 1));
    b.ue(uint32_t(mbh_ - 1));
    b.u(1, 1);  // frame_mbs_only_flag
    b.u(1, 1);  // direct_8x8_inference_flag
    const int crop_r = (mbw_ * 16 - s_.width) / 2, crop_b = (mbh_ * 16 - s_.height) / 2;
    b.u(crop_r || crop_b, 1);
    if (crop_r || crop_b) {  // in units of 2 samples (4:2:0 frames)
        b.ue(0);
        b.ue(uint32_t(crop_r));
        b.ue(0);
        b.ue(uint32_t(crop_b));
    }
    b.u(0, 1);  // vui_parameters_present_flag
    b.trailing();
    append_nal(out, 3, 7, b.bytes());
    b.clear();
    b.ue(0);  // pic_parameter_set_id
    b.ue(0);
    b.u(0, 1);  // CAVLC
    b.u(0, 1);
    b.ue(0);  // one slice group
    b.ue(0);  // num_ref_idx_l0_default_active_minus1
    b.ue(0);
    b.u(0, 1);  // weighted_pred_flag
    b.u(0, 2);
    b.se(s_.qp - 26);  // pic_init_qp_minus26: slices need no qp delta
    b.se(0);
    b.se(0);    // chroma_qp_index_offset
    b.u(1, 1);  // deblocking_filter_control_present_flag
    b.u(0, 1);  // constrained_intra_pred_flag
    b.u(0, 1);
    b.trailing();
    append_nal(out, 3, 8, b.bytes());
}

void Encoder::encode(const uint8_t* const planes[3], std::vector<uint8_t>& out) {
    if (frame_ > 0) std::swap(cur_, ref_);
    // the source, its right and bottom edges replicated to whole macroblocks
    for (int i = 0; i < 3; ++i) {
        Plane& d = src_.p[i];
        const int w = i ? s_.width / 2 : s_.width, h = i ? s_.height / 2 : s_.height;
        for (int y = 0; y < d.height; ++y) {
            uint8_t* row = d.at(0, y);
            std::memcpy(row, planes[i] + size_t(std::min(y, h - 1)) * size_t(w), size_t(w));
            std::memset(row + w, row[w - 1], size_t(d.width - w));
        }
    }
    const bool idr = frame_ % s_.keyint == 0;
    p_slice_ = !idr;
    if (idr) frame_num_ = 0;
    BitWriter& b = bw_;
    b.clear();
    b.ue(0);              // first_mb_in_slice
    b.ue(idr ? 7u : 5u);  // slice_type I or P (all slices of the picture alike)
    b.ue(0);              // pic_parameter_set_id
    b.u(uint32_t(frame_num_), 8);
    if (idr) b.ue(uint32_t(idr_id_));
    if (p_slice_) {
        b.u(0, 1);  // num_ref_idx_active_override_flag
        b.u(0, 1);  // ref_pic_list_modification_flag_l0
    }
    if (idr) {
        b.u(0, 1);  // no_output_of_prior_pics_flag
        b.u(0, 1);  // long_term_reference_flag
    } else {
        b.u(0, 1);  // adaptive_ref_pic_marking_mode_flag: sliding window
    }
    b.se(0);  // slice_qp_delta
    b.ue(s_.deblock ? 0 : 1);
    if (s_.deblock) {
        b.se(0);
        b.se(0);
    }
    skip_run_ = 0;
    for (mby_ = 0; mby_ < mbh_; ++mby_)
        for (mbx_ = 0; mbx_ < mbw_; ++mbx_) code_mb();
    if (skip_run_) b.ue(uint32_t(skip_run_));
    b.trailing();
    append_nal(out, idr ? 3 : 2, idr ? 5 : 1, b.bytes());
    if (s_.deblock) deblock();
    for (int i = 0; i < 3; ++i) {
        Plane& p = cur_->p[i];
        check(opxiExpandPlane_H264_8u_C1R(p.origin, p.width, p.height, p.stride, Opx32u(p.pad),
                                          opxFrame));
    }
    if (idr) idr_id_ ^= 1;
    frame_num_ = (frame_num_ + 1) & 255;
    ++frame_;
}

// ---- macroblocks ------------------------------------------------------------------------------

void Encoder::code_mb() {
    ms_ = &mbs_[size_t(mby_ * mbw_ + mbx_)];
    *ms_ = MbState();
    std::memset(ms_->ipred, 2, sizeof ms_->ipred);
    bool i16 = false;
    if (p_slice_) {
        const Mv skip = predict_mv(true);
        predict_inter(skip);
        encode_inter_luma();
        encode_chroma(false);
        if (!cbp_luma_ && !cbp_chroma_) {
            ++skip_run_;
            store_motion(false, skip);
            return;
        }
        const Mv mvp = predict_mv(false);
        Mv mv;
        const int inter = search(mvp, mv);
        int mode = 0;
        if (cost_i16x16(mode) >= inter) {
            predict_inter(mv);
            encode_inter_luma();
            encode_chroma(false);
            store_motion(false, mv);
            if (!cbp_luma_ && !cbp_chroma_ && mv == skip) {
                ++skip_run_;
                return;
            }
            BitWriter& b = bw_;
            b.ue(uint32_t(skip_run_));
            skip_run_ = 0;
            b.ue(0);  // P_L0_16x16
            b.se(mv.x - mvp.x);
            b.se(mv.y - mvp.y);
            b.ue(cbp_code_[1][cbp_luma_ | cbp_chroma_ << 4]);
            if (cbp_luma_ || cbp_chroma_) b.se(0);  // mb_qp_delta
            write_residual(false);
            return;
        }
    }
    int mode = 0;
    const int c16 = cost_i16x16(mode);
    const int c4 = encode_i4x4();
    if (c16 <= c4) {
        i16 = true;
        encode_i16x16(mode);
    }
    chroma_mode_ = choose_chroma_mode();
    encode_chroma(true);
    store_motion(true, Mv());
    ms_->intra = true;
    write_intra_mb(i16);
}

// Availability bits of the library's intra prediction (1 above, 2 left, 32 above-left, 64
// above-right) for luma 4x4 block (bx, by), or with four false for the whole macroblock.
int Encoder::intra_avail(int bx, int by, bool four) const {
    if (!four) bx = by = 0;
    const bool above = by > 0 || mby_ > 0, left = bx > 0 || mbx_ > 0;
    int a = (above ? 1 : 0) | (left ? 2 : 0) | (above && left ? 32 : 0);
    if (four) {
        bool ar;
        if (by == 0)
            ar = mby_ > 0 && (bx < 3 || mbx_ + 1 < mbw_);
        else
            ar = bx < 3 && blk_idx(bx + 1, by - 1) < blk_idx(bx, by);
        if (ar) a |= 64;
    }
    return a;
}

int Encoder::pred_mode4x4(int bx, int by) const {
    int a, b;
    if (bx > 0)
        a = ms_->ipred[by * 4 + bx - 1];
    else if (mbx_ > 0)
        a = mbs_[size_t(mby_ * mbw_ + mbx_ - 1)].ipred[by * 4 + 3];
    else
        return 2;
    if (by > 0)
        b = ms_->ipred[(by - 1) * 4 + bx];
    else if (mby_ > 0)
        b = mbs_[size_t((mby_ - 1) * mbw_ + mbx_)].ipred[12 + bx];
    else
        return 2;
    return std::min(a, b);
}

int Encoder::encode_i4x4() {
    Plane& py = cur_->p[0];
    Plane& sy = src_.p[0];
    int total = int(24 * lambda_);
    cbp_luma_ = 0;
    for (int blk = 0; blk < 16; ++blk) {
        const int bx = blk_x(blk), by = blk_y(blk), i = by * 4 + bx;
        const int x = mbx_ * 16 + bx * 4, y = mby_ * 16 + by * 4;
        uint8_t* rec = py.at(x, y);
        const uint8_t* src = sy.at(x, y);
        const int av = intra_avail(bx, by, true), pm = pred_mode4x4(bx, by);
        const bool above = av & 1, left = av & 2, all = (av & 35) == 35;
        const bool ok[9] = {above, left, true, above, all, all, all, above, left};
        int best = 2, best_cost = 1 << 30;
        for (int m = 0; m < 9; ++m) {
            if (!ok[m]) continue;
            check(opxiPredictIntra_4x4_H264_8u_C1IR(rec, py.stride, m, av));
            const int c =
                satd(src, sy.stride, rec, py.stride, 4) + int(lambda_ * (m == pm ? 1 : 4));
            if (c < best_cost) best_cost = c, best = m;
        }
        check(opxiPredictIntra_4x4_H264_8u_C1IR(rec, py.stride, best, av));
        Opx16s r[16];
        residual4x4(src, sy.stride, rec, py.stride, r);
        Opx32s n = 0, last = 0;
        check(opxiTransformQuantFwd4x4_H264_16s_C1(r, luma_[i], s_.qp, &n, 1, scan_pos_, &last,
                                                   nullptr));
        const int nz = clamp_levels(luma_[i], 16);
        reconstruct4x4(rec, py.stride, luma_[i], nullptr, s_.qp, nz);
        if (nz) cbp_luma_ |= 1 << (blk >> 2);
        modes_[i] = int8_t(best);
        ms_->ipred[i] = int8_t(best);
        total += best_cost;
    }
    return total;
}

int Encoder::cost_i16x16(int& mode) {
    Plane& py = cur_->p[0];
    uint8_t* rec = py.at(mbx_ * 16, mby_ * 16);
    const uint8_t* src = src_.p[0].at(mbx_ * 16, mby_ * 16);
    const int av = intra_avail(0, 0, false);
    const bool ok[4] = {(av & 1) != 0, (av & 2) != 0, true, (av & 35) == 35};
    int best = 1 << 30;
    for (int m = 0; m < 4; ++m) {
        if (!ok[m]) continue;
        check(opxiPredictIntra_16x16_H264_8u_C1IR(rec, py.stride, m, av));
        const int c = satd(src, src_.p[0].stride, rec, py.stride, 16) + int(lambda_ * 4);
        if (c < best) best = c, mode = m;
    }
    return best;
}

void Encoder::encode_i16x16(int mode) {
    Plane& py = cur_->p[0];
    Plane& sy = src_.p[0];
    i16_mode_ = mode;
    std::memset(ms_->ipred, 2, sizeof ms_->ipred);
    uint8_t* mb = py.at(mbx_ * 16, mby_ * 16);
    check(opxiPredictIntra_16x16_H264_8u_C1IR(mb, py.stride, mode, intra_avail(0, 0, false)));
    Opx16s dc[16], t[16];
    int nzs[16], any_ac = 0;
    for (int i = 0; i < 16; ++i) {
        const int x = mbx_ * 16 + (i & 3) * 4, y = mby_ * 16 + (i >> 2) * 4;
        Opx16s r[16], c[16];
        residual4x4(sy.at(x, y), sy.stride, py.at(x, y), py.stride, r);
        check(opxiTransformResidual4x4Fwd_H264_16s_C1(r, c));
        dc[i] = c[0];
        Opx32s n = 0, last = 0;
        check(opxiQuantizeResidual4x4Fwd_H264_16s_C1(c, luma_[i], &n, &last, nullptr, scan_pos_,
                                                     s_.qp, 1));
        luma_[i][0] = 0;
        nzs[i] = clamp_levels(luma_[i], 16);
        any_ac |= nzs[i];
    }
    Opx32s n = 0, last = 0;
    check(opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(dc, t, s_.qp, &n, 1, scan_pos_, &last,
                                                      nullptr));
    clamp_levels(dc, 16);
    std::memcpy(luma_dc_, dc, sizeof dc);
    cbp_luma_ = any_ac ? 15 : 0;
    check(opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(dc, s_.qp, nullptr));
    for (int i = 0; i < 16; ++i)
        reconstruct4x4(py.at(mbx_ * 16 + (i & 3) * 4, mby_ * 16 + (i >> 2) * 4), py.stride,
                       luma_[i], &dc[i], s_.qp, nzs[i]);
}

int Encoder::choose_chroma_mode() {
    const int av = intra_avail(0, 0, false);
    const bool ok[4] = {true, (av & 2) != 0, (av & 1) != 0, (av & 35) == 35};
    int best = 0, best_cost = 1 << 30;
    for (int m = 0; m < 4; ++m) {
        if (!ok[m]) continue;
        int c = 0;
        for (int k = 1; k < 3; ++k) {
            Plane& p = cur_->p[k];
            uint8_t* rec = p.at(mbx_ * 8, mby_ * 8);
            check(opxiPredictIntraChroma8x8_H264_8u_C1IR(rec, p.stride, m, av));
            c += satd(src_.p[k].at(mbx_ * 8, mby_ * 8), src_.p[k].stride, rec, p.stride, 8);
        }
        if (c < best_cost) best_cost = c, best = m;
    }
    for (int k = 1; k < 3; ++k) {
        Plane& p = cur_->p[k];
        check(opxiPredictIntraChroma8x8_H264_8u_C1IR(p.at(mbx_ * 8, mby_ * 8), p.stride, best, av));
    }
    return best;
}

// Chroma residual of both components against the prediction in the picture (intra) or in
// pred_c_ (inter), and its reconstruction.
void Encoder::encode_chroma(bool intra) {
    int any_dc = 0, any_ac = 0;
    int nzs[2][4];
    for (int c = 0; c < 2; ++c) {
        Plane& p = cur_->p[1 + c];
        Plane& s = src_.p[1 + c];
        uint8_t* rec = p.at(mbx_ * 8, mby_ * 8);
        if (!intra)
            for (int y = 0; y < 8; ++y) std::memcpy(rec + y * p.stride, pred_c_[c] + y * 8, 8);
        Opx16s dc[4], t[4];
        for (int b = 0; b < 4; ++b) {
            const int x = mbx_ * 8 + (b & 1) * 4, y = mby_ * 8 + (b >> 1) * 4;
            Opx16s r[16], co[16];
            residual4x4(s.at(x, y), s.stride, p.at(x, y), p.stride, r);
            check(opxiTransformResidual4x4Fwd_H264_16s_C1(r, co));
            dc[b] = co[0];
            Opx32s n = 0, last = 0;
            check(opxiQuantizeResidual4x4Fwd_H264_16s_C1(co, chroma_ac_[c][b], &n, &last, nullptr,
                                                         scan_pos_, qpc_, intra ? 1 : 0));
            chroma_ac_[c][b][0] = 0;
            nzs[c][b] = clamp_levels(chroma_ac_[c][b], 16);
            any_ac |= nzs[c][b];
        }
        Opx32s n = 0;
        check(opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(dc, t, qpc_, &n, intra ? 1 : 0, 1,
                                                            nullptr));
        any_dc |= clamp_levels(dc, 4);
        std::memcpy(chroma_dc_[c], dc, sizeof dc);
    }
    cbp_chroma_ = any_ac ? 2 : any_dc ? 1 : 0;
    if (!cbp_chroma_) return;
    for (int c = 0; c < 2; ++c) {
        Plane& p = cur_->p[1 + c];
        Opx16s dc[4];
        std::memcpy(dc, chroma_dc_[c], sizeof dc);
        check(opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(dc, qpc_, nullptr));
        for (int b = 0; b < 4; ++b)
            reconstruct4x4(p.at(mbx_ * 8 + (b & 1) * 4, mby_ * 8 + (b >> 1) * 4), p.stride,
                           chroma_ac_[c][b], &dc[b], qpc_, nzs[c][b]);
    }
}

// ---- motion -------------------------------------------------------------------------------

Mv Encoder::predict_mv(bool skip) const {
    auto nb = [&](int x, int y, int blk) {
        MvNeighbour n;
        if (x < 0 || y < 0 || x >= mbw_) return n;
        const MbMotion& m = motion_[size_t(y * mbw_ + x)];
        n.avail = true;
        n.ref = m.ref_idx[0][h264common::blk8_of(blk)];
        n.mv.x = m.mv[0][blk][0];
        n.mv.y = m.mv[0][blk][1];
        return n;
    };
    const MvNeighbour a = nb(mbx_ - 1, mby_, 3), b = nb(mbx_, mby_ - 1, 12);
    MvNeighbour c = nb(mbx_ + 1, mby_ - 1, 12);
    if (!c.avail) c = nb(mbx_ - 1, mby_ - 1, 15);
    if (skip) {  // clause 8.4.1.1
        if (!a.avail || !b.avail || (a.ref == 0 && a.mv == Mv()) || (b.ref == 0 && b.mv == Mv()))
            return Mv();
    }
    return h264common::predict_mv(a, b, c, 0, 0);
}

void Encoder::store_motion(bool intra, Mv mv) {
    MbMotion& m = motion_[size_t(mby_ * mbw_ + mbx_)];
    for (int b = 0; b < 4; ++b) {
        m.ref_idx[0][b] = int8_t(intra ? -1 : 0);
        m.ref_idx[1][b] = -1;
        m.ref_id[0][b] = intra ? -1 : 0;
        m.ref_id[1][b] = -1;
    }
    for (int i = 0; i < 16; ++i) {
        m.mv[0][i][0] = int16_t(intra ? 0 : mv.x);
        m.mv[0][i][1] = int16_t(intra ? 0 : mv.y);
        m.mv[1][i][0] = m.mv[1][i][1] = 0;
    }
}

// Full-sample diamond search around the predictor and zero, then half- and quarter-sample
// refinement by SATD; costs add lambda times the bits of the vector difference.
int Encoder::search(Mv mvp, Mv& best) {
    const Plane& r = ref_->p[0];
    const Plane& s = src_.p[0];
    const uint8_t* src = s.origin + std::ptrdiff_t(mby_ * 16) * s.stride + mbx_ * 16;
    const int x0 = mbx_ * 16, y0 = mby_ * 16;
    // inside the padded reference, and within +-128 samples (the vertical range of levels 3
    // and above is -256..255.75)
    const int xmin = std::max(-kReach - x0, -kMaxMv),
              xmax = std::min(r.width - 16 + kReach - x0, kMaxMv);
    const int ymin = std::max(-kReach - y0, -kMaxMv),
              ymax = std::min(r.height - 16 + kReach - y0, kMaxMv);
    auto mv_cost = [&](int qx, int qy) {
        return int(lambda_ * (se_bits(qx - mvp.x) + se_bits(qy - mvp.y)));
    };
    auto full = [&](int ix, int iy) {
        Opx32s sad = 0;
        check(opxiSAD16x16_8u32s(src, s.stride,
                                 r.origin + std::ptrdiff_t(y0 + iy) * r.stride + x0 + ix, r.stride,
                                 &sad, 0));
        return sad + mv_cost(ix * 4, iy * 4);
    };
    int bx = std::clamp((mvp.x + 2) >> 2, xmin, xmax),
        by = std::clamp((mvp.y + 2) >> 2, ymin, ymax);
    int bc = full(bx, by);
    if (std::clamp(0, xmin, xmax) == 0 && std::clamp(0, ymin, ymax) == 0) {
        const int c = full(0, 0);
        if (c < bc) bc = c, bx = 0, by = 0;
    }
    static const int kDx[4] = {1, -1, 0, 0}, kDy[4] = {0, 0, 1, -1};
    for (int step = 8; step >= 1; step >>= 1) {
        for (int it = 0; it < 16; ++it) {
            int nx = bx, ny = by, nc = bc;
            for (int k = 0; k < 4; ++k) {
                const int x = bx + kDx[k] * step, y = by + kDy[k] * step;
                if (x < xmin || x > xmax || y < ymin || y > ymax) continue;
                const int c = full(x, y);
                if (c < nc) nc = c, nx = x, ny = y;
            }
            if (nc == bc) break;
            bc = nc, bx = nx, by = ny;
        }
    }
    // fractional refinement
    uint8_t pred[256];
    auto frac = [&](int qx, int qy) {
        const uint8_t* p = r.origin + std::ptrdiff_t(y0 + (qy >> 2)) * r.stride + x0 + (qx >> 2);
        check(opxiInterpolateLuma_H264_8u_C1R(p, r.stride, pred, 16, qx & 3, qy & 3, {16, 16}));
        return satd(src, s.stride, pred, 16, 16) + mv_cost(qx, qy);
    };
    int qx = bx * 4, qy = by * 4;
    bc = frac(qx, qy);
    for (int step = 2; step >= 1; step >>= 1) {
        int nx = qx, ny = qy, nc = bc;
        for (int dy = -step; dy <= step; dy += step)
            for (int dx = -step; dx <= step; dx += step) {
                if (!dx && !dy) continue;
                const int c = frac(qx + dx, qy + dy);
                if (c < nc) nc = c, nx = qx + dx, ny = qy + dy;
            }
        bc = nc, qx = nx, qy = ny;
    }
    best.x = qx;
    best.y = qy;
    return bc;
}

void Encoder::predict_inter(Mv mv) {
    const Plane& r = ref_->p[0];
    const uint8_t* p =
        r.origin + std::ptrdiff_t(mby_ * 16 + (mv.y >> 2)) * r.stride + mbx_ * 16 + (mv.x >> 2);
    check(opxiInterpolateLuma_H264_8u_C1R(p, r.stride, pred_y_, 16, mv.x & 3, mv.y & 3, {16, 16}));
    for (int c = 0; c < 2; ++c) {
        const Plane& rc = ref_->p[1 + c];
        const uint8_t* q =
            rc.origin + std::ptrdiff_t(mby_ * 8 + (mv.y >> 3)) * rc.stride + mbx_ * 8 + (mv.x >> 3);
        check(opxiInterpolateChroma_H264_8u_C1R(q, rc.stride, pred_c_[c], 8, mv.x & 7, mv.y & 7,
                                                {8, 8}));
    }
}

void Encoder::encode_inter_luma() {
    Plane& py = cur_->p[0];
    Plane& sy = src_.p[0];
    cbp_luma_ = 0;
    for (int i = 0; i < 16; ++i) {
        const int x = mbx_ * 16 + (i & 3) * 4, y = mby_ * 16 + (i >> 2) * 4;
        uint8_t* rec = py.at(x, y);
        for (int k = 0; k < 4; ++k)
            std::memcpy(rec + k * py.stride, pred_y_ + ((i >> 2) * 4 + k) * 16 + (i & 3) * 4, 4);
        Opx16s r[16];
        residual4x4(sy.at(x, y), sy.stride, rec, py.stride, r);
        Opx32s n = 0, last = 0;
        check(opxiTransformQuantFwd4x4_H264_16s_C1(r, luma_[i], s_.qp, &n, 0, scan_pos_, &last,
                                                   nullptr));
        const int nz = clamp_levels(luma_[i], 16);
        reconstruct4x4(rec, py.stride, luma_[i], nullptr, s_.qp, nz);
        if (nz) cbp_luma_ |= 1 << h264common::blk8_of(i);
    }
}

// ---- syntax -------------------------------------------------------------------------------

int Encoder::luma_nc(int bx, int by) const {
    const bool aa = bx > 0 || mbx_ > 0, ba = by > 0 || mby_ > 0;
    const int na = !aa      ? 0
                   : bx > 0 ? ms_->tc[by * 4 + bx - 1]
                            : mbs_[size_t(mby_ * mbw_ + mbx_ - 1)].tc[by * 4 + 3];
    const int nb = !ba      ? 0
                   : by > 0 ? ms_->tc[(by - 1) * 4 + bx]
                            : mbs_[size_t((mby_ - 1) * mbw_ + mbx_)].tc[12 + bx];
    return h264common::predict_nc(aa, na, ba, nb);
}

int Encoder::chroma_nc(int c, int bx, int by) const {
    const bool aa = bx > 0 || mbx_ > 0, ba = by > 0 || mby_ > 0;
    const int na = !aa      ? 0
                   : bx > 0 ? ms_->tcc[c][by * 2 + bx - 1]
                            : mbs_[size_t(mby_ * mbw_ + mbx_ - 1)].tcc[c][by * 2 + 1];
    const int nb = !ba      ? 0
                   : by > 0 ? ms_->tcc[c][bx]
                            : mbs_[size_t((mby_ - 1) * mbw_ + mbx_)].tcc[c][2 + bx];
    return h264common::predict_nc(aa, na, ba, nb);
}

void Encoder::write_intra_mb(bool i16) {
    BitWriter& b = bw_;
    if (p_slice_) {
        b.ue(uint32_t(skip_run_));
        skip_run_ = 0;
    }
    const uint32_t base = p_slice_ ? 5 : 0;
    if (i16) {
        b.ue(base + 1 + uint32_t(i16_mode_ + 4 * cbp_chroma_ + (cbp_luma_ ? 12 : 0)));
    } else {
        b.ue(base);  // I_NxN
        for (int blk = 0; blk < 16; ++blk) {
            const int bx = blk_x(blk), by = blk_y(blk), m = modes_[by * 4 + bx];
            const int pm = pred_mode4x4(bx, by);
            if (m == pm) {
                b.u(1, 1);
            } else {
                b.u(0, 1);
                b.u(uint32_t(m < pm ? m : m - 1), 3);
            }
        }
    }
    b.ue(uint32_t(chroma_mode_));
    if (!i16) b.ue(cbp_code_[0][cbp_luma_ | cbp_chroma_ << 4]);
    if (i16 || cbp_luma_ || cbp_chroma_) b.se(0);  // mb_qp_delta
    write_residual(i16);
}

void Encoder::write_residual(bool i16) {
    BitWriter& b = bw_;
    if (i16) write_block(b, codes_, luma_dc_, 0, luma_nc(0, 0));
    for (int blk = 0; blk < 16; ++blk) {
        const int bx = blk_x(blk), by = blk_y(blk), i = by * 4 + bx;
        int tc = 0;
        if (i16 ? cbp_luma_ != 0 : ((cbp_luma_ >> (blk >> 2)) & 1) != 0)
            tc = write_block(b, codes_, luma_[i], i16 ? 1 : 0, luma_nc(bx, by));
        ms_->tc[i] = uint8_t(tc);
        if (tc) ms_->nonzero = uint16_t(ms_->nonzero | (1u << i));
    }
    if (cbp_chroma_)
        for (int c = 0; c < 2; ++c) write_block(b, codes_, chroma_dc_[c], 0, -1);
    if (cbp_chroma_ == 2)
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 4; ++k)
                ms_->tcc[c][k] = uint8_t(
                    write_block(b, codes_, chroma_ac_[c][k], 1, chroma_nc(c, k & 1, k >> 1)));
}

// ---- in-loop filter -----------------------------------------------------------------------

void Encoder::deblock() {
    const int qpc = qpc_;
    for (int my = 0; my < mbh_; ++my)
        for (int mx = 0; mx < mbw_; ++mx) {
            const size_t qi_mb = size_t(my * mbw_ + mx);
            const MbState& q = mbs_[qi_mb];
            Opx8u bs[2][16];
            for (int dir = 0; dir < 2; ++dir) {
                const bool has_p = dir == 0 ? mx > 0 : my > 0;
                const size_t pi_mb = dir == 0 ? qi_mb - 1 : qi_mb - size_t(mbw_);
                for (int e = 0; e < 4; ++e)
                    for (int k = 0; k < 4; ++k) {
                        Opx8u& v = bs[dir][4 * e + k];
                        if (e == 0 && !has_p) {
                            v = 0;
                            continue;
                        }
                        const bool other = e == 0;
                        const MbState& p = other ? mbs_[pi_mb] : q;
                        if (q.intra || p.intra) {
                            v = other ? 4 : 3;
                            continue;
                        }
                        const int qb = dir == 0 ? k * 4 + e : e * 4 + k;
                        const int pe = other ? 3 : e - 1;
                        const int pb = dir == 0 ? k * 4 + pe : pe * 4 + k;
                        if (((q.nonzero >> qb) & 1) || ((p.nonzero >> pb) & 1))
                            v = 2;
                        else
                            v = Opx8u(h264common::motion_strength(motion_[other ? pi_mb : qi_mb],
                                                                  pb, motion_[qi_mb], qb));
                    }
            }
            h264common::MbFilter f;
            f.y = cur_->p[0].at(mx * 16, my * 16);
            f.c[0] = cur_->p[1].at(mx * 8, my * 8);
            f.c[1] = cur_->p[2].at(mx * 8, my * 8);
            f.ystep = cur_->p[0].stride;
            f.cstep = cur_->p[1].stride;
            f.bs = bs;
            f.qp = f.nb_qp[0] = f.nb_qp[1] = s_.qp;
            f.qpc[0] = f.qpc[1] = qpc;
            for (auto& n : f.nb_qpc) n[0] = n[1] = qpc;
            check(h264common::filter_macroblock(f, thr_));
        }
}

}  // namespace h264enc
