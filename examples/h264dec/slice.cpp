// Slice data: macroblock layer parsing (clause 7.3.5), intra mode prediction (clause
// 8.3.1.1) and the library calls that form the samples: CAVLC residual decoding and macroblock
// reconstruction.
#include "slice.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace h264dec {

void Decoder::decode_slice(const SliceHeader& sh, Bits& bits) {
    SliceDecoder s(*this, sh, bits);
    s.run();
    s.flush_strengths();
}

void SliceDecoder::build_level_scale() {
    LevelScale& s = d_.level_scale_;
    ls4_ = s.ls4;
    ls8_ = s.ls8;
    if (s.valid && std::memcmp(s.from4x4, pps_.scaling4x4, sizeof s.from4x4) == 0 &&
        std::memcmp(s.from8x8, pps_.scaling8x8, sizeof s.from8x8) == 0)
        return;
    for (int l = 0; l < 6; ++l)
        for (int m = 0; m < 6; ++m)
            for (int i = 0; i < 16; ++i)
                s.ls4[l][m][i] =
                    Opx16s(pps_.scaling4x4[l][i] * kNorm4[m][norm4_class(i / 4, i % 4)]);
    for (int l = 0; l < 2; ++l)
        for (int m = 0; m < 6; ++m)
            for (int i = 0; i < 64; ++i)
                s.ls8[l][m][i] =
                    Opx16s(pps_.scaling8x8[l][i] * kNorm8[m][norm8_class(i / 8, i % 8)]);
    std::memcpy(s.from4x4, pps_.scaling4x4, sizeof s.from4x4);
    std::memcpy(s.from8x8, pps_.scaling8x8, sizeof s.from8x8);
    s.valid = true;
}

// Clause 8.4.2.3.1: the implicit weight of list 0 (list 1 takes 64 - w) from picture order
// distances between the current picture (an MBAFF field macroblock: its field) and the two
// references.
int SliceDecoder::implicit_weight(int cur_poc, const Picture* p0, const Picture* p1) {
    int w = 32;
    int tb = poc_distance(cur_poc, p0->poc);
    int td = poc_distance(p1->poc, p0->poc);
    if (td != 0 && !p0->long_ref && !p1->long_ref) {
        int tx = (16384 + std::abs(td / 2)) / td;
        int dsf = clip3(-1024, 1023, (tb * tx + 32) >> 6);
        if ((dsf >> 2) >= -64 && (dsf >> 2) <= 128) w = 64 - (dsf >> 2);
    }
    return w;
}

void SliceDecoder::build_implicit_weights() {
    for (size_t i = 0; i < ref_[0].size(); ++i)
        for (size_t j = 0; j < ref_[1].size(); ++j)
            implicit_w_[i][j] = implicit_weight(pic_->poc, ref_[0][i], ref_[1][j]);
}

void SliceDecoder::run() {
    mbw_ = d_.mb_width_;
    mbh_ = d_.mb_height_;
    mbaff_ = d_.mbaff_;
    mono_ = sps_.chroma_format_idc == 0;
    scan4_ = pic_->parent ? kScanField : kScanZigzag;
    scan8_ = pic_->parent ? kField8x8 : kZigzag8x8;
    c422_ = sps_.chroma_format_idc == 2;
    chroma_ac_ = c422_ ? 8 : 4;
    mb_ch_ = c422_ ? 16 : 8;
    bit_depth_ = sps_.bit_depth_luma;
    high_ = bit_depth_ > 8;
    qp_bd_y_ = 6 * (sps_.bit_depth_luma - 8);
    qp_bd_c_ = 6 * (sps_.bit_depth_chroma - 8);
    slice_num_ = d_.slice_num_++;
    SliceInfo si;
    si.deblock_idc = sh_.deblock_idc;
    si.alpha_offset = sh_.alpha_offset;
    si.beta_offset = sh_.beta_offset;
    si.chroma_qp_offset[0] = pps_.chroma_qp_offset[0];
    si.chroma_qp_offset[1] = pps_.chroma_qp_offset[1];
    si.build_thresholds();
    d_.slices_.push_back(si);
    if (sh_.slice_type != 2 && !d_.build_ref_lists(sh_, ref_)) return;
    for (int l = 0; l < 2; ++l)
        for (size_t r = 0; r < ref_[l].size() && r < 32; ++r) ref_id_[l][r] = ref_[l][r]->id;
    if (sh_.slice_type == 1 && !sh_.direct_spatial) build_temporal_scale();
    build_level_scale();
    weight_mode_ = 0;
    if (sh_.slice_type == 0 && pps_.weighted_pred) weight_mode_ = 1;
    if (sh_.slice_type == 1 && pps_.weighted_bipred_idc == 1) weight_mode_ = 1;
    if (sh_.slice_type == 1 && pps_.weighted_bipred_idc == 2) {
        weight_mode_ = 2;
        build_implicit_weights();
    }
    qp_ = sh_.qp;
    int n = mbw_ * mbh_;
    // CurrMbAddr: in MBAFF frames 2 * pair + (bottom macroblock)
    int mb = sh_.first_mb * (mbaff_ ? 2 : 1);
    bool more = true;
    int skip_run = -1;
    while (more) {
        if (mb >= n) {
            d_.error("slice runs past the last macroblock");
            d_.cur_has_error_ = true;
            return;
        }
        start_mb(mb);
        if (d_.mbs_[size_t(mb_)].slice_num >= 0) {
            d_.error("macroblock %d decoded twice", mb);
            d_.cur_has_error_ = true;
            return;
        }
        // (MBAFF: the record of the next address, the bottom macroblock or the next pair's top)
        prefetch_next(mbaff_ ? std::min(bottom_ ? mb_ - mbw_ + 1 : mb_ + mbw_, n - 1)
                             : std::min(mb + 2, n - 1));
        if (!mbaff_) set_neighbours();
        if (sh_.slice_type != 2) {
            if (skip_run < 0) {
                skip_run = int(b_.ue());
                if (b_.error || skip_run > n) {
                    d_.error("bad mb_skip_run");
                    d_.cur_has_error_ = true;
                    return;
                }
            }
            if (skip_run > 0) {
                // clause 7.3.4: a skipped top macroblock followed by a coded bottom one takes
                // the flag that precedes the bottom one; a pair skipped whole infers it
                if (mbaff_)
                    set_field(bottom_ ? d_.mbs_[size_t(mb_ - mbw_)].field
                              : skip_run == 1 && b_.more_rbsp_data() ? b_.bit() != 0
                                                                     : infer_field_flag());
                skip_mb();
                d_.mb_decoded(mb_);
                --skip_run;
                if (skip_run == 0) {
                    more = b_.more_rbsp_data();
                    if (!more) break;
                }
                mb = d_.next_mb(mb);
                continue;
            }
            skip_run = -1;
        }
        if (mbaff_) set_field(bottom_ ? d_.mbs_[size_t(mb_ - mbw_)].field : b_.bit() != 0);
        if (!decode_mb()) {
            d_.cur_has_error_ = true;
            return;
        }
        d_.mb_decoded(mb_);
        more = b_.more_rbsp_data();
        mb = d_.next_mb(mb);
    }
    if (b_.consumed() != b_.size_bits) {
        d_.error("slice data does not end at its stop bit");
        d_.cur_has_error_ = true;
    }
}

// The records the next macroblock will write (its motion and data) and read (the co-located
// motion) are rarely in the cache: requested one macroblock ahead, the memory latency overlaps
// with the work on this one.
void SliceDecoder::prefetch_next(int mb) const {
    auto lines = [](const void* p, size_t bytes, auto fetch) {
        const char* c = static_cast<const char*>(p);
        for (size_t o = 0; o < bytes; o += 64) fetch(c + o);
        fetch(c + bytes - 1);
    };
    auto for_write = [](const char* c) { __builtin_prefetch(c, 1); };
    auto for_read = [](const char* c) { __builtin_prefetch(c, 0); };
    lines(&pic_->motion[size_t(mb)], sizeof(MbMotion), for_write);
    lines(&d_.mbs_[size_t(mb)], sizeof(MbInfo), for_write);
    if (sh_.slice_type == 1) lines(&ref_[1][0]->motion[size_t(mb)], sizeof(MbMotion), for_read);
}

// ---- skipped macroblocks -------------------------------------------------------------------

void SliceDecoder::skip_mb() {
    MbInfo& m = d_.mbs_[size_t(mb_)];
    m.slice_num = slice_num_;
    m.kind = kMbSkip;
    m.intra = false;
    m.transform8x8 = false;
    set_qp(m, qp_);
    std::memset(m.total_coeff, 0, sizeof m.total_coeff);
    std::memset(m.total_coeff_c, 0, sizeof m.total_coeff_c);
    m.nonzero = 0;
    std::memset(m.ipred, 2, sizeof m.ipred);
    sp_done_ = false;
    if (sh_.slice_type == 0) {
        // P_Skip (clause 8.4.1.1)
        h264common::MvNeighbour a, b;
        if (!mbaff_) {
            a = frame_neighbour(-1, 0, 0);
            b = frame_neighbour(0, -1, 0);
        } else {
            const Nb na = nb(-1, 0), nb_ = nb(0, -1);
            a.avail = na.avail;
            b.avail = nb_.avail;
            neighbour_motion(na, 0, a.ref, a.mv);
            neighbour_motion(nb_, 0, b.ref, b.mv);
        }
        Mv mv;
        if (a.avail && b.avail && !(a.ref == 0 && a.mv == Mv()) && !(b.ref == 0 && b.mv == Mv()))
            mv = predict_mv(0, 0, 4, 0, 0, 0);
        for (int i = 0; i < 16; ++i) {
            ref_idx_[0][i] = 0;
            ref_idx_[1][i] = -1;
            mv_[0][i] = mv;
        }
    } else {
        direct_mb();
    }
    inter_prediction();
    store_motion(false);
    finish_mb();
}

// ---- macroblock layer ------------------------------------------------------------------------

Opx8u SliceDecoder::intra_edges() const {
    if (mbaff_) {
        return mbaff_edges()[2];
    }
    auto ok = [&](int dx, int dy) {
        if (!nb_avail_[dy + 1][dx + 1]) return false;
        if (pps_.constrained_intra_pred && !d_.mbs_[size_t((mby_ + dy) * mbw_ + mbx_ + dx)].intra)
            return false;
        return true;
    };
    // edgeType bits of the reconstruction functions: a neighbour that is not available for
    // intra prediction (outside, another slice, or inter under constrained_intra_pred)
    Opx8u edge = 0;
    if (!ok(-1, 0)) edge |= 1;
    if (!ok(0, -1)) edge |= 4;
    if (!ok(-1, -1)) edge |= 16;
    if (!ok(1, -1)) edge |= 32;
    return edge;
}

bool SliceDecoder::decode_mb() {
    MbInfo& m = d_.mbs_[size_t(mb_)];
    m.slice_num = slice_num_;
    m.transform8x8 = false;
    std::memset(m.total_coeff, 0, sizeof m.total_coeff);
    std::memset(m.total_coeff_c, 0, sizeof m.total_coeff_c);
    m.nonzero = 0;
    std::memset(m.ipred, 2, sizeof m.ipred);
    sp_done_ = false;
    // mb_type numbering here: 0..25 intra (Table 7-11), 100..104 P (Table 7-13), 200..222 B
    // (Table 7-14)
    int mb_type = int(b_.ue());
    int st = sh_.slice_type;
    if (mb_type > (st == 0 ? 30 : st == 1 ? 48 : 25)) return d_.error("bad mb_type"), false;
    if (st == 0) {
        if (mb_type < 5) {
            mb_type += 100;  // P types 100..104
        } else {
            mb_type -= 5;
        }
    } else if (st == 1) {
        if (mb_type < 23) {
            mb_type += 200;  // B types 200..222
        } else {
            mb_type -= 23;
        }
    }
    if (mb_type > 25 && mb_type < 100) return d_.error("bad mb_type"), false;
    if (mb_type > 222 || (mb_type > 104 && mb_type < 200)) return d_.error("bad mb_type"), false;

    if (mb_type == 25) {  // I_PCM
        m.kind = kMbIPCM;
        m.intra = true;
        set_qp(m, 0);  // the filter takes qP 0 for I_PCM (clause 8.7.2.2)
        if (high_ ? !read_pcm<Opx16u>(m) : !read_pcm<Opx8u>(m)) return false;
        std::memset(m.total_coeff, 16, sizeof m.total_coeff);
        std::memset(m.total_coeff_c, 16, sizeof m.total_coeff_c);
        m.nonzero = 0xFFFF;
        // the PCM samples count as coded for the deblocking decision (bS from intra anyway)
        for (int l = 0; l < 2; ++l)
            for (int i = 0; i < 16; ++i) ref_idx_[l][i] = -1;
        store_motion(true);
        finish_mb();
        return true;
    }

    bool intra = mb_type < 26;
    m.intra = intra;
    bool i16 = intra && mb_type >= 1;
    int cbp = 0;
    int i16_mode = 0, chroma_mode = 0;
    bool t8 = false;
    int sub[4] = {0, 0, 0, 0};
    bool is_8x8_part = mb_type == 103 || mb_type == 104 || mb_type == 222;
    if (i16) {
        i16_mode = (mb_type - 1) % 4;
        cbp = ((mb_type - 1) / 4 % 3) << 4 | ((mb_type >= 13) ? 15 : 0);
        m.kind = kMbI16x16;
    }
    for (int l = 0; l < 2; ++l)
        for (int i = 0; i < 16; ++i) {
            ref_idx_[l][i] = -1;
            mv_[l][i] = Mv();
        }

    if (is_8x8_part) {
        m.kind = kMbInter;
        for (int k = 0; k < 4; ++k) {
            sub[k] = int(b_.ue());
            if (sub[k] > (st == 1 ? 12 : 3)) return d_.error("bad sub_mb_type"), false;
        }
        int refs[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};
        for (int l = 0; l < 2; ++l) {
            for (int k = 0; k < 4; ++k) {
                int pred = st == 1 ? kBSub[sub[k]][0] : 1;
                if (!(pred & (1 << l))) continue;
                int n = sh_.num_ref_idx[l] << (field_mb_ ? 1 : 0);
                if (n > 1 && mb_type != 104) {
                    refs[l][k] = n == 2 ? int(!b_.bit()) : int(b_.ue());
                    if (refs[l][k] >= n) return d_.error("bad ref_idx"), false;
                }
            }
        }
        // sub-macroblock motion: mvd parsing interleaved with prediction would need all refs
        // first (they are), and each sub-partition's prediction uses earlier ones
        int mvd[2][4][4][2];
        for (int l = 0; l < 2; ++l)
            for (int k = 0; k < 4; ++k) {
                int pred = st == 1 ? kBSub[sub[k]][0] : 1;
                if (!(pred & (1 << l))) continue;
                int w = st == 1 ? kBSub[sub[k]][1] : kPSub[sub[k]][0];
                int h = st == 1 ? kBSub[sub[k]][2] : kPSub[sub[k]][1];
                int parts = (2 / w) * (2 / h);
                for (int p = 0; p < parts; ++p) {
                    mvd[l][k][p][0] = b_.se();
                    mvd[l][k][p][1] = b_.se();
                }
            }
        // derive in decoding order (sub-macroblock by sub-macroblock, list 0 then list 1 per
        // partition; the lists do not influence each other)
        for (int k = 0; k < 4; ++k) {
            int x8 = (k & 1) * 2, y8 = (k >> 1) * 2;
            int pred = st == 1 ? kBSub[sub[k]][0] : 1;
            if (st == 1 && pred == 0) {
                direct(k);
                continue;
            }
            int w = st == 1 ? kBSub[sub[k]][1] : kPSub[sub[k]][0];
            int h = st == 1 ? kBSub[sub[k]][2] : kPSub[sub[k]][1];
            int parts = (2 / w) * (2 / h);
            for (int p = 0; p < parts; ++p) {
                int x = x8 + (w == 1 ? (p & 1) : 0);
                int y = y8 + (h == 1 ? (w == 1 ? (p >> 1) : p) : 0);
                for (int l = 0; l < 2; ++l) {
                    if (!(pred & (1 << l))) continue;
                    Mv mvp = predict_mv(x, y, w, l, refs[l][k], 0);
                    Mv mv;
                    mv.x = mvp.x + mvd[l][k][p][0];
                    mv.y = mvp.y + mvd[l][k][p][1];
                    fill_motion(ref_idx_[l], mv_[l], x, y, w, h, refs[l][k], mv);
                }
            }
        }
    } else if (!intra || i16 || mb_type == 0) {
        if (intra && mb_type == 0) {
            m.kind = kMbI4x4;
            if (pps_.transform_8x8_mode) t8 = b_.bit();
            if (t8) m.kind = kMbI8x8;
        }
        if (intra) {
            if (m.kind == kMbI4x4 || m.kind == kMbI8x8) {
                int step = m.kind == kMbI8x8 ? 4 : 1;
                for (int n = 0; n < 16; n += step) {
                    bool prev_flag = b_.bit();
                    int rem = prev_flag ? -1 : int(b_.u(3));
                    int x = kBlkX[n], y = kBlkY[n];
                    Nb a = nb(x - 1, y), b = nb(x, y - 1);
                    // an 8x8 block's left neighbour is the 8x8 block holding the location, its
                    // 4x4 block 1, or 3 for block 2 of a frame macroblock beside a field
                    // macroblock (clause 8.3.2.1): the upper or lower row of that 8x8 block
                    if (step == 4)
                        a.y = (a.y & ~1) | (n == 8 && a.avail && mbaff_ && !field_mb_ &&
                                                    a.mbx != mbx_ && info(a).field
                                                ? 1
                                                : 0);
                    auto usable = [&](const Nb& q) {
                        if (!q.avail) return false;
                        if (q.mbx == mbx_ && q.mby == mby_) return true;
                        return !(pps_.constrained_intra_pred && !info(q).intra);
                    };
                    int mode;
                    if (!usable(a) || !usable(b)) {
                        mode = 2;
                    } else {
                        int ma = (a.mbx == mbx_ && a.mby == mby_) ? m.ipred[a.y * 4 + a.x]
                                                                  : info(a).ipred[a.y * 4 + a.x];
                        int mb = (b.mbx == mbx_ && b.mby == mby_) ? m.ipred[b.y * 4 + b.x]
                                                                  : info(b).ipred[b.y * 4 + b.x];
                        mode = std::min(ma, mb);
                    }
                    if (!prev_flag) mode = rem < mode ? rem : rem + 1;
                    if (step == 4) {
                        for (int k = 0; k < 4; ++k)
                            m.ipred[(y + k / 2) * 4 + x + k % 2] = int8_t(mode);
                    } else {
                        m.ipred[y * 4 + x] = int8_t(mode);
                    }
                }
            }
            if (!mono_) {
                chroma_mode = int(b_.ue());
                if (chroma_mode > 3) return d_.error("bad intra_chroma_pred_mode"), false;
            }
        } else {
            m.kind = kMbInter;
            int parts = 1, pw = 4, ph = 4;
            int preds[2] = {1, 1};
            int t = mb_type;
            if (t == 101 || (t >= 204 && t % 2 == 0)) parts = 2, ph = 2;
            if (t == 102 || (t >= 205 && t % 2 == 1)) parts = 2, pw = 2;
            if (t >= 200) {
                if (t == 200) {  // B_Direct_16x16
                    direct_mb();
                    parts = 0;
                } else {
                    preds[0] = kBPred[t - 200][0];
                    preds[1] = kBPred[t - 200][1];
                }
            }
            int refs[2][2] = {{0, 0}, {0, 0}};
            for (int l = 0; l < 2; ++l)
                for (int p = 0; p < parts; ++p) {
                    if (!(preds[p] & (1 << l))) continue;
                    int n = sh_.num_ref_idx[l] << (field_mb_ ? 1 : 0);
                    if (n > 1) {
                        refs[l][p] = n == 2 ? int(!b_.bit()) : int(b_.ue());
                        if (refs[l][p] >= n) return d_.error("bad ref_idx"), false;
                    }
                }
            int mvd[2][2][2];
            for (int l = 0; l < 2; ++l)
                for (int p = 0; p < parts; ++p) {
                    if (!(preds[p] & (1 << l))) continue;
                    mvd[l][p][0] = b_.se();
                    mvd[l][p][1] = b_.se();
                }
            for (int p = 0; p < parts; ++p) {
                int x = pw == 2 ? p * 2 : 0, y = ph == 2 ? p * 2 : 0;
                int shape = parts == 1 ? 0 : ph == 2 ? 1 + p : 3 + p;
                for (int l = 0; l < 2; ++l) {
                    if (!(preds[p] & (1 << l))) continue;
                    Mv mvp = predict_mv(x, y, pw, l, refs[l][p], shape);
                    Mv mv;
                    mv.x = mvp.x + mvd[l][p][0];
                    mv.y = mvp.y + mvd[l][p][1];
                    fill_motion(ref_idx_[l], mv_[l], x, y, pw, ph, refs[l][p], mv);
                }
            }
        }
    }
    if (b_.error) return d_.error("truncated macroblock"), false;

    if (!i16) {
        uint32_t code = b_.ue();
        if (code > (mono_ ? 15u : 47u)) return d_.error("bad coded_block_pattern"), false;
        cbp = mono_ ? (intra ? kCbpIntraMono : kCbpInterMono)[code]
                    : (intra ? kCbpIntra : kCbpInter)[code];
        if ((cbp & 15) && pps_.transform_8x8_mode && !intra) {
            bool small = false;
            if (is_8x8_part) {
                for (int k = 0; k < 4; ++k) {
                    if (st == 1 && sub[k] == 0)
                        small |= !sps_.direct_8x8_inference;
                    else if (st == 1 ? (kBSub[sub[k]][1] != 2 || kBSub[sub[k]][2] != 2)
                                     : sub[k] != 0)
                        small = true;
                }
            }
            if (mb_type == 200 && !sps_.direct_8x8_inference) small = true;
            if (!small) t8 = b_.bit();
        }
    }
    m.transform8x8 = t8;
    if (cbp != 0 || i16) {
        // clause 7.4.5: mb_qp_delta in -(26 + QpBdOffsetY / 2)..25 + QpBdOffsetY / 2, QPY
        // wrapping modulo 52 + QpBdOffsetY into -QpBdOffsetY..51
        int dqp = b_.se();
        if (dqp < -(26 + qp_bd_y_ / 2) || dqp > 25 + qp_bd_y_ / 2)
            return d_.error("bad mb_qp_delta"), false;
        qp_ = (qp_ + dqp + 52 + 2 * qp_bd_y_) % (52 + qp_bd_y_) - qp_bd_y_;
    }
    set_qp(m, qp_);

    if (!parse_residual(m, cbp, i16)) return false;
    bypass_ = sps_.transform_bypass && qp_ + qp_bd_y_ == 0;
    if (bypass_ && intra) {
        if (high_)
            lossless_dpcm<Opx32s>(m, i16_mode, chroma_mode, coeffs32_);
        else
            lossless_dpcm<Opx16s>(m, i16_mode, chroma_mode, coeffs_);
    }
    if (intra)
        store_motion(true);
    else {
        inter_prediction();
        store_motion(false);
    }
    if (high_)
        reconstruct<Opx16u>(m, intra, i16_mode, chroma_mode, t8);
    else
        reconstruct<Opx8u>(m, intra, i16_mode, chroma_mode, t8);
    finish_mb();
    return true;
}

// QPY and the QPc of both components (clause 8.5.8), as the filter takes them: without the
// bit-depth offsets, QPc from qPI clipped to -QpBdOffsetC..51.
void SliceDecoder::set_qp(MbInfo& m, int qp) {
    // a macroblock in transform bypass (QP'Y 0) is filtered with qP 0, as I_PCM is
    if (sps_.transform_bypass && qp + qp_bd_y_ == 0) qp = 0;
    m.qp = int8_t(qp);
    if (qp != qpc_for_) {  // QPc changes only with QPY inside a slice
        qpc_for_ = qp;
        for (int c = 0; c < 2; ++c) {
            const int qpi = clip3(-qp_bd_c_, 51, qp + pps_.chroma_qp_offset[c]);
            qpc_[c] = int8_t(qpi < 0 ? qpi : kChromaQp[qpi]);
        }
    }
    m.qpc[0] = qpc_[0];
    m.qpc[1] = qpc_[1];
}

// I_PCM samples (clause 7.3.5): bitDepth bits each, luma then Cb then Cr.
template <class Pel>
bool SliceDecoder::read_pcm(MbInfo& m) {
    (void)m;
    b_.align();
    const int ys = view_->ystride, cs = view_->cstride;
    Pel* py = view_->plane<Pel>(0) + size_t(vy_ * 16) * ys + mbx_ * 16;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) py[size_t(y) * ys + x] = Pel(b_.u(sps_.bit_depth_luma));
    for (int c = 1; c < 3 && !mono_; ++c) {
        Pel* pc = view_->plane<Pel>(c) + size_t(vy_ * mb_ch_) * cs + mbx_ * 8;
        for (int y = 0; y < mb_ch_; ++y)
            for (int x = 0; x < 8; ++x) pc[size_t(y) * cs + x] = Pel(b_.u(sps_.bit_depth_chroma));
    }
    if (b_.error) return d_.error("truncated PCM macroblock"), false;
    return true;
}

// The library calls that form the macroblock's samples from the prediction and the residual.
template <class Pel>
void SliceDecoder::reconstruct(MbInfo& m, bool intra, int i16_mode, int chroma_mode, bool t8) {
    constexpr bool kHigh = sizeof(Pel) == 2;
    const int ys = view_->ystride, cs = view_->cstride;
    Pel* py = view_->plane<Pel>(0) + size_t(vy_ * 16) * ys + mbx_ * 16;
    Pel* pcb = view_->plane<Pel>(1) + size_t(vy_ * mb_ch_) * cs + mbx_ * 8;
    Pel* pcr = view_->plane<Pel>(2) + size_t(vy_ * mb_ch_) * cs + mbx_ * 8;
    // QP'Y and QP'C; in transform bypass 0 in every record
    const int qpy = bypass_ ? 0 : qp_ + qp_bd_y_;
    const int qc[2] = {bypass_ ? 0 : m.qpc[0] + qp_bd_c_, bypass_ ? 0 : m.qpc[1] + qp_bd_c_};
    const Opx8u bp = bypass_ ? 1 : 0;
    const int qp6 = qpy % 6;
    const Opx8u edge = intra ? intra_edges() : 0;
    // an MBAFF field macroblock whose upper and lower halves see different macroblocks on their
    // left with different availability: Intra4x4, Intra8x8 and chroma per half
    const bool split = intra && mbaff_ && mbaff_split_;
    const Opx8u* he = mbaff_edge_;
    OpxResult r = opxOk;
    // luma
    if constexpr (!kHigh) {
        Opx16s* cp = coeffs_;
        if (split && m.kind == kMbI8x8) {
            Opx32s modes[4];
            for (int k = 0; k < 4; ++k) modes[k] = m.ipred[(k >> 1) * 8 + (k & 1) * 2];
            r = OPX_COUNTED(opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R)(
                &cp, py, ys, modes, cbp8x8_ & 3, qpy, he[0], ls8_[0][qp6], bp);
            if (r >= 0)
                r = OPX_COUNTED(opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R)(
                    &cp, py + 8 * ys, ys, modes + 2, cbp8x8_ >> 2 & 3, qpy, he[1], ls8_[0][qp6],
                    bp);
        } else if (split && m.kind == kMbI4x4) {
            Opx32s modes[16];
            for (int n = 0; n < 16; ++n) modes[n] = m.ipred[kBlkRaster[n]];
            r = OPX_COUNTED(opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R)(
                &cp, py, ys, modes, cbp4x4_ >> 1 & 0xFF, qpy, he[0], ls4_[0][qp6], bp);
            if (r >= 0)
                r = OPX_COUNTED(opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R)(
                    &cp, py + 8 * ys, ys, modes + 8, cbp4x4_ >> 9 & 0xFF, qpy, he[1], ls4_[0][qp6],
                    bp);
        } else if (intra && m.kind == kMbI16x16) {
            r = OPX_COUNTED(opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R)(
                &cp, py, ys, i16_mode, cbp4x4_, qpy, edge, ls4_[0][qp6], bp);
        } else if (intra && m.kind == kMbI8x8) {
            Opx32s modes[4];
            for (int k = 0; k < 4; ++k) modes[k] = m.ipred[(k >> 1) * 8 + (k & 1) * 2];
            r = OPX_COUNTED(opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R)(
                &cp, py, ys, modes, cbp8x8_, qpy, edge, ls8_[0][qp6], bp);
        } else if (intra) {
            Opx32s modes[16];
            for (int n = 0; n < 16; ++n) modes[n] = m.ipred[kBlkRaster[n]];
            r = OPX_COUNTED(opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R)(
                &cp, py, ys, modes, cbp4x4_, qpy, edge, ls4_[0][qp6], bp);
        } else if (t8 && cbp8x8_) {
            r = OPX_COUNTED(opxiReconstructLumaInter8x8MB_H264_16s8u_C1R)(&cp, py, ys, cbp8x8_, qpy,
                                                                          ls8_[1][qp6], bp);
        } else if (!t8 && (cbp4x4_ & 0x1FFFFu)) {
            // without coefficients the prediction is the result: no reconstruction call
            // (coded-block bits: luma 1..16, chroma DC 17..18, chroma AC 19..26)
            r = OPX_COUNTED(opxiReconstructLumaInter4x4MB_H264_16s8u_C1R)(&cp, py, ys, cbp4x4_, qpy,
                                                                          ls4_[3][qp6], bp);
        }
        if (r < 0) d_.error("luma reconstruction refused (%d) at macroblock %d", r, mb_);
        if (mono_) return;
        if (!c422_) {
            if (split)
                r = OPX_COUNTED(opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R)(
                    &cp, pcb, pcr, Opx32u(cs), chroma_mode, cbp4x4_, Opx32u(qc[0]), Opx32u(qc[1]),
                    he[0], he[3], ls4_[1][qc[0] % 6], ls4_[2][qc[1] % 6], bp);
            else if (intra)
                r = OPX_COUNTED(opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R)(
                    &cp, pcb, pcr, Opx32u(cs), chroma_mode, cbp4x4_, Opx32u(qc[0]), Opx32u(qc[1]),
                    edge, ls4_[1][qc[0] % 6], ls4_[2][qc[1] % 6], bp);
            else if (cbp4x4_ >> 17)
                r = OPX_COUNTED(opxiReconstructChromaInter4x4MB_H264_16s8u_P2R)(
                    &cp, pcb, pcr, Opx32u(cs), cbp4x4_, Opx32u(qc[0]), Opx32u(qc[1]),
                    ls4_[4][qc[0] % 6], ls4_[5][qc[1] % 6], bp);
        } else if (intra || (cbp_c_[0] | cbp_c_[1])) {
            const int l = intra ? 1 : 4;
            OpxReconstructInfo8u rec[2];
            for (int c = 0; c < 2; ++c)
                rec[c] = {&cp, c ? pcr : pcb, cs, cbp_c_[c], qc[c], ls4_[l + c][qc[c] % 6], bp, 8};
            const OpxReconstructInfo8u* const pr[2] = {&rec[0], &rec[1]};
            // 4:2:2 chroma DC: qP,DC = QP'C + 3 (clause 8.5.11.2)
            const Opx32u dc0 = Opx32u(ls4_[l][(qc[0] + 3) % 6][0]);
            const Opx32u dc1 = Opx32u(ls4_[l + 1][(qc[1] + 3) % 6][0]);
            r = intra ? OPX_COUNTED(opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R)(
                            pr, chroma_mode, edge, dc0, dc1)
                      : OPX_COUNTED(opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R)(pr, dc0,
                                                                                          dc1);
        }
        if (r < 0) d_.error("chroma reconstruction refused (%d) at macroblock %d", r, mb_);
    } else {
        Opx32s* cp = coeffs32_;
        OpxReconstructInfo rec = {&cp, py, ys, cbp4x4_ & 0x1FFFFu, qpy, nullptr, bp, bit_depth_};
        if (split && (m.kind == kMbI8x8 || m.kind == kMbI4x4)) {
            const bool b8 = m.kind == kMbI8x8;
            Opx32s modes[16];
            if (b8)
                for (int k = 0; k < 4; ++k) modes[k] = m.ipred[(k >> 1) * 8 + (k & 1) * 2];
            else
                for (int n = 0; n < 16; ++n) modes[n] = m.ipred[kBlkRaster[n]];
            rec.pQuantTable = b8 ? ls8_[0][qp6] : ls4_[0][qp6];
            for (int h = 0; h < 2 && r >= 0; ++h) {
                rec.pSrcDstPlane = py + 8 * h * ys;
                rec.cbp = b8 ? cbp8x8_ >> (2 * h) & 3 : cbp4x4_ >> (1 + 8 * h) & 0xFF;
                r = b8 ? OPX_COUNTED(opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R)(
                             &rec, modes + 2 * h, he[h])
                       : OPX_COUNTED(opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R)(
                             &rec, modes + 8 * h, he[h]);
            }
        } else if (intra && m.kind == kMbI16x16) {
            rec.pQuantTable = ls4_[0][qp6];
            r = OPX_COUNTED(opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R)(&rec, i16_mode,
                                                                                edge);
        } else if (intra && m.kind == kMbI8x8) {
            Opx32s modes[4];
            for (int k = 0; k < 4; ++k) modes[k] = m.ipred[(k >> 1) * 8 + (k & 1) * 2];
            rec.cbp = cbp8x8_;
            rec.pQuantTable = ls8_[0][qp6];
            r = OPX_COUNTED(opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R)(&rec, modes, edge);
        } else if (intra) {
            Opx32s modes[16];
            for (int n = 0; n < 16; ++n) modes[n] = m.ipred[kBlkRaster[n]];
            rec.pQuantTable = ls4_[0][qp6];
            r = OPX_COUNTED(opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R)(&rec, modes, edge);
        } else if (t8 && cbp8x8_) {
            rec.cbp = cbp8x8_;
            rec.pQuantTable = ls8_[1][qp6];
            r = OPX_COUNTED(opxiReconstructLumaInter8x8_H264High_32s16u_IP1R)(&rec);
        } else if (!t8 && rec.cbp) {
            rec.pQuantTable = ls4_[3][qp6];
            r = OPX_COUNTED(opxiReconstructLumaInter4x4_H264High_32s16u_IP1R)(&rec);
        }
        if (r < 0) d_.error("luma reconstruction refused (%d) at macroblock %d", r, mb_);
        if (mono_ || !(intra || (cbp_c_[0] | cbp_c_[1]))) return;
        const int l = intra ? 1 : 4;
        OpxReconstructInfo crec[2];
        for (int c = 0; c < 2; ++c)
            crec[c] = {&cp,   c ? pcr : pcb,          cs, cbp_c_[c],
                       qc[c], ls4_[l + c][qc[c] % 6], bp, bit_depth_};
        const OpxReconstructInfo* const pr[2] = {&crec[0], &crec[1]};
        if (c422_) {
            const Opx32u dc0 = Opx32u(ls4_[l][(qc[0] + 3) % 6][0]);
            const Opx32u dc1 = Opx32u(ls4_[l + 1][(qc[1] + 3) % 6][0]);
            r = intra ? OPX_COUNTED(opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R)(
                            pr, chroma_mode, edge, dc0, dc1)
                      : OPX_COUNTED(opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R)(pr, dc0,
                                                                                           dc1);
        } else if (split) {
            r = OPX_COUNTED(opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R)(pr, chroma_mode,
                                                                                    he[0], he[3]);
        } else {
            r = intra ? OPX_COUNTED(opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R)(
                            pr, chroma_mode, edge)
                      : OPX_COUNTED(opxiReconstructChromaInter4x4_H264High_32s16u_IP2R)(pr);
        }
        if (r < 0) d_.error("chroma reconstruction refused (%d) at macroblock %d", r, mb_);
    }
}

// Intra residual of a macroblock in transform bypass with horizontal or vertical prediction
// (clause 8.5.15): each residual sample becomes the sum of those left of it (horizontal) or above
// it (vertical) in the predicted block, the 4x4 or 8x8 block, the 16x16 luma or the whole chroma
// component. Done on the packed coefficient stream before the reconstruction call, which adds it
// unchanged; a 16x16 or chroma region is repacked with every block coded (the sums reach blocks
// that had no coefficients), DC values at the blocks' position 0 and in the DC arrays.
template <class Coef>
void SliceDecoder::lossless_dpcm(MbInfo& m, int i16_mode, int chroma_mode, Coef* coeffs) {
    // sums over a w x h region of r (row step `step`), vertical: down the columns
    auto accumulate = [](Coef* r, int step, int w, int h, bool vertical) {
        if (vertical) {
            for (int y = 1; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    r[y * step + x] = Coef(r[y * step + x] + r[(y - 1) * step + x]);
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 1; x < w; ++x)
                    r[y * step + x] = Coef(r[y * step + x] + r[y * step + x - 1]);
        }
    };
    alignas(32) Coef out[kCoeffs];
    Coef* o = out;
    Coef* cp = coeffs;
    // luma (Intra4x4/8x8 modes 0 vertical, 1 horizontal; Intra16x16 likewise)
    if (m.kind == kMbI16x16) {
        Coef u[16][16] = {};
        Coef dc[16] = {};
        if (cbp4x4_ & 1) {
            std::copy(cp, cp + 16, dc);
            cp += 16;
        }
        for (int n = 0; n < 16; ++n) {
            const int bx = kBlkX[n] * 4, by = kBlkY[n] * 4;
            if ((cbp4x4_ >> (n + 1)) & 1) {
                for (int i = 0; i < 16; ++i) u[by + i / 4][bx + i % 4] = cp[i];
                cp += 16;
            }
            u[by][bx] = dc[by + bx / 4];  // the DC array in raster order of the blocks
        }
        if (i16_mode < 2) {
            accumulate(&u[0][0], 16, 16, 16, i16_mode == 0);
            for (int k = 0; k < 16; ++k) o[k] = u[(k / 4) * 4][(k % 4) * 4];
            o += 16;
            for (int n = 0; n < 16; ++n) {
                const int bx = kBlkX[n] * 4, by = kBlkY[n] * 4;
                for (int i = 0; i < 16; ++i) o[i] = u[by + i / 4][bx + i % 4];
                o += 16;
            }
            cbp4x4_ |= 0x1FFFFu;
        } else {
            o = std::copy(coeffs, cp, o);
        }
    } else if (m.kind == kMbI8x8) {
        for (int b8 = 0; b8 < 4; ++b8) {
            if (!((cbp8x8_ >> b8) & 1)) continue;
            const int mode = m.ipred[(b8 >> 1) * 8 + (b8 & 1) * 2];
            if (mode < 2) accumulate(cp, 8, 8, 8, mode == 0);
            o = std::copy(cp, cp + 64, o);
            cp += 64;
        }
    } else {
        for (int n = 0; n < 16; ++n) {
            if (!((cbp4x4_ >> (n + 1)) & 1)) continue;
            const int mode = m.ipred[kBlkRaster[n]];
            if (mode < 2) accumulate(cp, 4, 4, 4, mode == 0);
            o = std::copy(cp, cp + 16, o);
            cp += 16;
        }
    }
    // chroma (modes 1 horizontal, 2 vertical): Cb DC, Cr DC, Cb blocks, Cr blocks
    if (!mono_) {
        const int nb = chroma_ac_, rows = nb * 2;  // blocks; rows of the component
        if (chroma_mode == 1 || chroma_mode == 2) {
            Coef u[2][16][8] = {};
            Coef dc[2][8] = {};
            for (int c = 0; c < 2; ++c)
                if (cbp_c_[c] & 1) {
                    std::copy(cp, cp + nb, dc[c]);
                    cp += nb;
                }
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < nb; ++k) {
                    const int bx = (k & 1) * 4, by = (k >> 1) * 4;
                    if ((cbp_c_[c] >> (k + 1)) & 1) {
                        for (int i = 0; i < 16; ++i) u[c][by + i / 4][bx + i % 4] = cp[i];
                        cp += 16;
                    }
                    u[c][by][bx] = dc[c][k];
                }
            for (int c = 0; c < 2; ++c) {
                accumulate(&u[c][0][0], 8, 8, rows, chroma_mode == 2);
                for (int k = 0; k < nb; ++k) *o++ = u[c][(k >> 1) * 4][(k & 1) * 4];
            }
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < nb; ++k) {
                    const int bx = (k & 1) * 4, by = (k >> 1) * 4;
                    for (int i = 0; i < 16; ++i) o[i] = u[c][by + i / 4][bx + i % 4];
                    o += 16;
                }
                cbp_c_[c] = (2u << nb) - 1;
            }
            cbp4x4_ |= 0x3FFu << 17;  // the 4:2:0 8-bit calls' chroma bits
        } else {
            const int n =
                (cbp_c_[0] & 1) * nb + (cbp_c_[1] & 1) * nb +
                16 * (__builtin_popcount(cbp_c_[0] >> 1) + __builtin_popcount(cbp_c_[1] >> 1));
            o = std::copy(cp, cp + n, o);
        }
    }
    std::copy(out, o, coeffs);
}

bool SliceDecoder::parse_residual(MbInfo& m, int cbp, bool i16) {
    // one instance per coefficient width, chroma format and MBAFF or not
    auto with = [&](auto coef, auto* coeffs) {
        using Coef = decltype(coef);
        if (mbaff_)
            return c422_ ? parse_residual_t<Coef, true, true>(m, cbp, i16, coeffs)
                         : parse_residual_t<Coef, false, true>(m, cbp, i16, coeffs);
        return c422_ ? parse_residual_t<Coef, true, false>(m, cbp, i16, coeffs)
                     : parse_residual_t<Coef, false, false>(m, cbp, i16, coeffs);
    };
    return high_ ? with(Opx32s(), coeffs32_) : with(Opx16s(), coeffs_);
}

// Bit i set where coefficient i of the 16 is not zero.
template <class Coef>
static unsigned nonzero_mask(const Coef* c) {
#ifdef __SSE2__
    auto at = [c](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i)); };
    // (signed saturation keeps every non-zero value non-zero)
    __m128i w;
    if constexpr (sizeof(Coef) == 2)
        w = _mm_packs_epi16(at(0), at(8));
    else
        w = _mm_packs_epi16(_mm_packs_epi32(at(0), at(4)), _mm_packs_epi32(at(8), at(12)));
    return ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_setzero_si128()))) & 0xFFFF;
#else
    unsigned m = 0;
    for (int i = 0; i < 16; ++i) m |= unsigned(c[i] != 0) << i;
    return m;
#endif
}

// nC of a 4x4 block (clause 9.2.1) from the blocks left of and above it: luma in MBAFF frames
// (elsewhere parse_residual keeps a table of the counts around the macroblock), and chroma,
// where left_ok_ and top_ok_ say whether the neighbouring macroblocks are available (set per
// macroblock in parse_residual). Defined beside their one caller, so that they inline there.
__attribute__((always_inline)) inline int SliceDecoder::luma_nc(int x, int y) {
    int n[2] = {0, 0};
    bool avail[2];
    for (int k = 0; k < 2; ++k) {
        const Nb b = k == 0 ? nb(x - 1, y) : nb(x, y - 1);
        avail[k] = b.avail;
        if (b.avail) n[k] = info(b).total_coeff[b.y * 4 + b.x];
    }
    return h264common::predict_nc(avail[0], n[0], avail[1], n[1]);
}

__attribute__((always_inline)) inline int SliceDecoder::chroma_nc(int c, int x, int y, int blocks) {
    // chroma 4x4 blocks form a grid 2 wide and 2 (4:2:0) or 4 (4:2:2) high per macroblock
    const MbInfo* mbs = d_.mbs_.data();
    const MbInfo& cur = mbs[mb_];
    if (mbaff_) {
        int n[2] = {0, 0};
        bool avail[2];
        for (int k = 0; k < 2; ++k) {
            const Nb b = k == 0 ? nb_mbaff(4 * x - 1, 4 * y, 8, mb_ch_)
                                : nb_mbaff(4 * x, 4 * y - 1, 8, mb_ch_);
            avail[k] = b.avail;
            if (b.avail) n[k] = info(b).total_coeff_c[c][(b.y >> 2) * 2 + (b.x >> 2)];
        }
        return h264common::predict_nc(avail[0], n[0], avail[1], n[1]);
    }
    bool aa = x > 0 || left_ok_, ba = y > 0 || top_ok_;
    int na = !aa     ? 0
             : x > 0 ? cur.total_coeff_c[c][y * 2 + x - 1]
                     : mbs[mb_ - 1].total_coeff_c[c][y * 2 + 1];
    int nb_ = !ba     ? 0
              : y > 0 ? cur.total_coeff_c[c][(y - 1) * 2 + x]
                      : mbs[mb_ - mbw_].total_coeff_c[c][blocks - 2 + x];
    return h264common::predict_nc(aa, na, ba, nb_);
}

// Residual of one macroblock (clause 7.3.5.3) into the packed coefficient stream of the
// reconstruction functions: every call of the CAVLC decoder that finds coefficients appends one
// dense block and the matching coded-block bit is set.
template <class Coef, bool kC422, bool kMbaff>
bool SliceDecoder::parse_residual_t(MbInfo& m, int cbp, bool i16, Coef* coeffs) {
    constexpr int kBlocks = kC422 ? 8 : 4;  // chroma AC blocks per component
    constexpr bool kWide = sizeof(Coef) == 4;
    CavlcTables& t = d_.vlc_;
    Coef* cp = coeffs;
    cbp4x4_ = 0;
    cbp8x8_ = 0;
    cbp_c_[0] = cbp_c_[1] = 0;
    Opx32u* ptr = const_cast<Opx32u*>(b_.ptr);
    Opx32s pos = b_.pos;
    Opx16s num = 0;
    auto fail = [&](const char* what) {
        d_.error("residual: invalid %s at macroblock %d", what, mb_);
        return false;
    };
    const Opx32s** tok = t.coeff_token;
    const Opx32s** tz = t.total_zeros;
    const Opx32s** rb = t.run_before;
    left_ok_ = nb_avail_[1][0];
    top_ok_ = nb_avail_[0][1];
    // Outside MBAFF frames, the TotalCoeff of the luma blocks inside and around the macroblock,
    // entry 8 * (y + 1) + x + 1 for the block at (x, y), 64 for a neighbouring macroblock that is
    // not available: nC (clause 9.2.1) is then the sum of two entries, halved when below 64 (both
    // available), else taken modulo 32 (one available: its count; none: 0).
    uint8_t around[40];
    if constexpr (!kMbaff) {
        const MbInfo* mbs = d_.mbs_.data();
        std::memset(around, 0, sizeof around);
        for (int i = 0; i < 4; ++i) {
            around[i + 1] = top_ok_ ? mbs[mb_ - mbw_].total_coeff[12 + i] : 64;
            around[8 * i + 8] = left_ok_ ? mbs[mb_ - 1].total_coeff[4 * i + 3] : 64;
        }
    }
    // nC of the luma block at raster index r (4 * y + x)
    auto nc_at = [&](int r) {
        if constexpr (kMbaff) {
            return luma_nc(r & 3, r >> 2);
        } else {
            const int a = r + (r & 12) + 9;
            const int sum = around[a - 1] + around[a - 8];
            return sum < 64 ? (sum + 1) >> 1 : sum & 31;
        }
    };
    auto block = [&](int nc, int limit, const Opx32s* scan, Coef** dst) -> int {
        OpxResult r;
        if constexpr (kWide)
            r = OPX_COUNTED(opxiDecodeCAVLCCoeffs_H264_1u32s)(&ptr, &pos, &num, dst, nc,
                                                              Opx16s(limit), tok, tz, rb, scan);
        else
            r = OPX_COUNTED(opxiDecodeCAVLCCoeffs_H264_1u16s)(&ptr, &pos, &num, dst, nc,
                                                              Opx16s(limit), tok, tz, rb, scan);
        if (r != opxOk) return -1;
        return num;
    };
    if (i16) {
        int n = block(nc_at(0), 16, scan4_, &cp);
        if (n < 0) return fail("Intra16x16 DC block");
        if (n > 0) cbp4x4_ |= 1;
    }
    for (int b8 = 0; b8 < 4; ++b8) {
        if (!(cbp & (1 << b8))) continue;
        if (m.transform8x8) {
            alignas(32) Coef tmp[4][16];
            int counts[4];
            bool any = false;
            for (int k = 0; k < 4; ++k) {
                const int r = kBlkRaster[b8 * 4 + k];
                Coef* tp = tmp[k];
                int c = block(nc_at(r), 16, kScanIdentity, &tp);
                if (c < 0) return fail("8x8 luma block");
                m.total_coeff[r] = uint8_t(c);
                around[r + (r & 12) + 9] = uint8_t(c);
                counts[k] = c;
                any |= c > 0;
            }
            if (any) {
                // the four interleaved 4x4 parts form one 8x8 block in zig-zag order: the block
                // cleared, then each part's non-zero coefficients put in place
                std::memset(cp, 0, 64 * sizeof(Coef));
                for (int k = 0; k < 4; ++k)
                    if (counts[k] > 0)
                        for (unsigned nz = nonzero_mask(tmp[k]); nz; nz &= nz - 1) {
                            const int i = __builtin_ctz(nz);
                            cp[scan8_[4 * i + k]] = tmp[k][i];
                        }
                cp += 64;
                cbp8x8_ |= 1u << b8;
                int x = (b8 & 1) * 2, y = (b8 >> 1) * 2;
                m.nonzero |= uint16_t((3u << (y * 4 + x)) | (3u << ((y + 1) * 4 + x)));
            }
        } else {
            for (int k = 0; k < 4; ++k) {
                const int n = b8 * 4 + k, r = kBlkRaster[n];
                int c = block(nc_at(r), i16 ? 15 : 16, scan4_, &cp);
                if (c < 0) return fail("luma block");
                m.total_coeff[r] = uint8_t(c);
                around[r + (r & 12) + 9] = uint8_t(c);
                if (c > 0) {
                    cbp4x4_ |= 1u << (n + 1);
                    m.nonzero |= uint16_t(1u << r);
                }
            }
        }
    }
    if (i16 && (cbp4x4_ & 1)) m.nonzero |= 0;  // DC coefficients do not count for bS = 2
    if (!mono_ && (cbp >> 4)) {
        for (int c = 0; c < 2; ++c) {
            // the 2x2 (nC = -1) or 2x4 (nC = -2) DC block, 16- or 32-bit levels
            OpxResult r;
            if constexpr (kWide) {
                r = kC422 ? OPX_COUNTED(opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s)(
                                &ptr, &pos, &num, &cp, t.coeff_token_422, t.total_zeros_422, rb)
                          : OPX_COUNTED(opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s)(
                                &ptr, &pos, &num, &cp, t.coeff_token[3], t.total_zeros_dc, rb);
            } else {
                r = kC422 ? OPX_COUNTED(opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s)(
                                &ptr, &pos, &num, &cp, t.coeff_token_422, t.total_zeros_422, rb)
                          : OPX_COUNTED(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s)(
                                &ptr, &pos, &num, &cp, t.coeff_token[3], t.total_zeros_dc, rb);
            }
            if (r != opxOk) return fail("chroma DC block");
            if (num > 0) {
                cbp4x4_ |= 1u << (17 + c);
                cbp_c_[c] |= 1;
            }
        }
        if (cbp >> 5) {
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < kBlocks; ++k) {
                    int n = block(chroma_nc(c, k & 1, k >> 1, kBlocks), 15, scan4_, &cp);
                    if (n < 0) return fail("chroma AC block");
                    m.total_coeff_c[c][k] = uint8_t(n);
                    if (n > 0) {
                        cbp4x4_ |= 1u << (19 + c * 4 + k);  // read by the 4:2:0 8-bit calls only
                        cbp_c_[c] |= 1u << (k + 1);
                    }
                }
        }
    }
    b_.ptr = ptr;
    b_.pos = pos;
    if (b_.overrun()) {
        d_.error("residual runs past the end of the slice at macroblock %d", mb_);
        return false;
    }
    return true;
}

}  // namespace h264dec
