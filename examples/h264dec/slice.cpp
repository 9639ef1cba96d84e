// Slice data: macroblock layer parsing (clause 7.3.5), intra mode and motion vector prediction
// (clauses 8.3.1.1, 8.4.1), direct prediction (8.4.1.2), and the library calls that form the
// samples: CAVLC residual decoding, interpolation, weighting and macroblock reconstruction.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "decoder.hpp"

namespace h264dec {

namespace {

const Opx32s kScanZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
const Opx32s kScanIdentity[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// luma4x4BlkIdx of the 4x4 block at (x, y) (in blocks) and back (clause 6.4.3)
inline int blk_idx(int x, int y) {
    return (y >> 1) * 8 + (x >> 1) * 4 + (y & 1) * 2 + (x & 1);
}
const uint8_t kBlkX[16] = {0, 1, 0, 1, 2, 3, 2, 3, 0, 1, 0, 1, 2, 3, 2, 3};
const uint8_t kBlkY[16] = {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3};

// normAdjust4x4 (clause 8.5.9) [qP % 6][position class]
const int kNorm4[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                          {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};
// normAdjust8x8 [qP % 6][position class 0..5]
const int kNorm8[6][6] = {{20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26},
                          {26, 23, 42, 24, 33, 31}, {28, 25, 45, 26, 35, 33},
                          {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43}};

int norm4_class(int i, int j) {
    return (i % 2 == 0 && j % 2 == 0) ? 0 : (i % 2 == 1 && j % 2 == 1) ? 1 : 2;
}
int norm8_class(int i, int j) {
    if (i % 4 == 0 && j % 4 == 0) return 0;
    if (i % 2 == 1 && j % 2 == 1) return 1;
    if (i % 4 == 2 && j % 4 == 2) return 2;
    if ((i % 4 == 0 && j % 2 == 1) || (i % 2 == 1 && j % 4 == 0)) return 3;
    if ((i % 4 == 0 && j % 4 == 2) || (i % 4 == 2 && j % 4 == 0)) return 4;
    return 5;
}

// B macroblock types 1..21: prediction of partitions 0 and 1 (1 L0, 2 L1, 3 Bi)
const uint8_t kBPred[22][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {1, 1}, {1, 1}, {2, 2}, {2, 2},
                               {1, 2}, {1, 2}, {2, 1}, {2, 1}, {1, 3}, {1, 3}, {2, 3}, {2, 3},
                               {3, 1}, {3, 1}, {3, 2}, {3, 2}, {3, 3}, {3, 3}};
// B sub-macroblock types: prediction (0 direct), partition width and height in 4x4 blocks
const uint8_t kBSub[13][3] = {{0, 2, 2}, {1, 2, 2}, {2, 2, 2}, {3, 2, 2}, {1, 2, 1},
                              {1, 1, 2}, {2, 2, 1}, {2, 1, 2}, {3, 2, 1}, {3, 1, 2},
                              {1, 1, 1}, {2, 1, 1}, {3, 1, 1}};
const uint8_t kPSub[4][2] = {{2, 2}, {2, 1}, {1, 2}, {1, 1}};

inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}
inline int median(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

struct Mv {
    int x = 0, y = 0;
    bool operator==(const Mv& o) const { return x == o.x && y == o.y; }
};

}  // namespace

// Per-slice decoding state.
class SliceDecoder {
  public:
    SliceDecoder(Decoder& d, const SliceHeader& sh, Bits& b)
        : d_(d), sh_(sh), b_(b), sps_(*d.sps_active_), pps_(d.pps_[sh.pps_id]), pic_(d.cur_) {}
    void run();

  private:
    Decoder& d_;
    const SliceHeader& sh_;
    Bits& b_;
    const Sps& sps_;
    const Pps& pps_;
    Picture* pic_;
    std::vector<Picture*> ref_[2];
    int slice_num_ = 0;
    int mbw_ = 0, mbh_ = 0;
    int qp_ = 0;
    int mbx_ = 0, mby_ = 0, mb_ = 0;
    int weight_mode_ = 0;  // 0 default, 1 explicit, 2 implicit
    int implicit_w_[32][32];
    Opx16s ls4_[6][6][16];  // [list][qP % 6][raster]
    Opx16s ls8_[2][6][64];
    bool mono_ = false;

    // current macroblock
    alignas(32) Opx16s coeffs_[16 * 16 + 16 + 2 * 4 + 8 * 16 + 64];
    Opx32u cbp4x4_ = 0, cbp8x8_ = 0;

    // motion of the current macroblock: refIdx per 4x4 block and list, mv per 4x4 block and list
    int ref_idx_[2][16];
    Mv mv_[2][16];

    bool mb_avail(int mbx, int mby) const {
        if (mbx < 0 || mby < 0 || mbx >= mbw_ || mby >= mbh_) return false;
        return d_.mbs_[size_t(mby * mbw_ + mbx)].slice_num == slice_num_;
    }
    int gblk(int mbx, int mby, int x, int y) const {
        return (mby * 4 + y) * (mbw_ * 4) + mbx * 4 + x;
    }

    struct Nb {
        bool avail = false;
        int mbx = 0, mby = 0, x = 0, y = 0;  // macroblock and 4x4 block inside it
    };
    // the 4x4 block at (x, y) relative to the current macroblock (x in -1..4, y in -1..3)
    Nb nb(int x, int y) const {
        Nb n;
        n.mbx = mbx_;
        n.mby = mby_;
        if (x < 0) --n.mbx, x += 4;
        if (x > 3) ++n.mbx, x -= 4;
        if (y < 0) --n.mby, y += 4;
        n.x = x;
        n.y = y;
        n.avail = (n.mbx == mbx_ && n.mby == mby_) ? true : mb_avail(n.mbx, n.mby);
        if (n.mby == mby_ && n.mbx > mbx_) n.avail = false;  // right of the current macroblock
        return n;
    }
    const MbInfo& info(const Nb& n) const { return d_.mbs_[size_t(n.mby * mbw_ + n.mbx)]; }

    bool decode_mb();
    void finish_mb() {
        if (sh_.deblock_idc != 1) d_.edge_strengths(mbx_, mby_);
    }
    void skip_mb();
    bool parse_residual(MbInfo& m, int cbp, bool i16);
    int luma_nc(int x, int y);
    int chroma_nc(int c, int x, int y);
    void neighbour_motion(const Nb& n, int list, int& ref, Mv& mv) const;
    Mv predict_mv(int x, int y, int w, int list, int ref, int shape);
    void store_motion(bool intra);
    void direct(int blk8);
    void direct_spatial_setup();
    void predict_partition(int x, int y, int w, int h);
    void inter_prediction();
    Opx8u intra_edges() const;
    void build_level_scale();
    void build_implicit_weights();

    // spatial direct (per macroblock)
    int sp_ref_[2] = {-1, -1};
    Mv sp_mv_[2];
    bool sp_done_ = false;
    bool zero_pred_ = false;
};

void Decoder::decode_slice(const SliceHeader& sh, Bits& bits) {
    SliceDecoder s(*this, sh, bits);
    s.run();
}

void SliceDecoder::build_level_scale() {
    for (int l = 0; l < 6; ++l)
        for (int m = 0; m < 6; ++m)
            for (int i = 0; i < 16; ++i)
                ls4_[l][m][i] =
                    Opx16s(pps_.scaling4x4[l][i] * kNorm4[m][norm4_class(i / 4, i % 4)]);
    for (int l = 0; l < 2; ++l)
        for (int m = 0; m < 6; ++m)
            for (int i = 0; i < 64; ++i)
                ls8_[l][m][i] =
                    Opx16s(pps_.scaling8x8[l][i] * kNorm8[m][norm8_class(i / 8, i % 8)]);
}

// Clause 8.4.2.3.1: implicit weights from picture order distances.
void SliceDecoder::build_implicit_weights() {
    for (size_t i = 0; i < ref_[0].size(); ++i)
        for (size_t j = 0; j < ref_[1].size(); ++j) {
            const Picture* p0 = ref_[0][i];
            const Picture* p1 = ref_[1][j];
            int w = 32;
            int tb = clip3(-128, 127, pic_->poc - p0->poc);
            int td = clip3(-128, 127, p1->poc - p0->poc);
            if (td != 0 && !p0->long_ref && !p1->long_ref) {
                int tx = (16384 + std::abs(td / 2)) / td;
                int dsf = clip3(-1024, 1023, (tb * tx + 32) >> 6);
                if ((dsf >> 2) >= -64 && (dsf >> 2) <= 128) w = 64 - (dsf >> 2);
            }
            implicit_w_[i][j] = w;  // weight of list 0; list 1 takes 64 - w
        }
}

void SliceDecoder::run() {
    mbw_ = d_.mb_width_;
    mbh_ = d_.mb_height_;
    mono_ = sps_.chroma_format_idc == 0;
    slice_num_ = d_.slice_num_++;
    SliceInfo si;
    si.deblock_idc = sh_.deblock_idc;
    si.alpha_offset = sh_.alpha_offset;
    si.beta_offset = sh_.beta_offset;
    si.chroma_qp_offset[0] = pps_.chroma_qp_offset[0];
    si.chroma_qp_offset[1] = pps_.chroma_qp_offset[1];
    d_.slices_.push_back(si);
    if (sh_.slice_type != 2 && !d_.build_ref_lists(sh_, ref_)) return;
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
    int mb = sh_.first_mb;
    bool more = true;
    int skip_run = -1;
    while (more) {
        if (mb >= n) {
            d_.error("slice runs past the last macroblock");
            d_.cur_has_error_ = true;
            return;
        }
        if (d_.mbs_[size_t(mb)].slice_num >= 0) {
            d_.error("macroblock %d decoded twice", mb);
            d_.cur_has_error_ = true;
            return;
        }
        mb_ = mb;
        mbx_ = mb % mbw_;
        mby_ = mb / mbw_;
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
                skip_mb();
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
        if (!decode_mb()) {
            d_.cur_has_error_ = true;
            return;
        }
        more = b_.more_rbsp_data();
        mb = d_.next_mb(mb);
    }
    if (b_.consumed() != b_.size_bits) {
        d_.error("slice data does not end at its stop bit");
        d_.cur_has_error_ = true;
    }
}

// ---- neighbouring data ---------------------------------------------------------------------

int SliceDecoder::luma_nc(int x, int y) {
    Nb a = nb(x - 1, y), b = nb(x, y - 1);
    int na = 0, nb_ = 0;
    if (a.avail) na = info(a).total_coeff[a.y * 4 + a.x];
    if (b.avail) nb_ = info(b).total_coeff[b.y * 4 + b.x];
    if (a.avail && b.avail) return (na + nb_ + 1) >> 1;
    return a.avail ? na : b.avail ? nb_ : 0;
}

int SliceDecoder::chroma_nc(int c, int x, int y) {
    // chroma 4x4 blocks form a 2x2 grid per macroblock
    bool aa, ba;
    int na = 0, nb_ = 0;
    const MbInfo& cur = d_.mbs_[size_t(mb_)];
    if (x > 0) {
        aa = true;
        na = cur.total_coeff_c[c][y * 2 + x - 1];
    } else {
        aa = mb_avail(mbx_ - 1, mby_);
        if (aa) na = d_.mbs_[size_t(mb_ - 1)].total_coeff_c[c][y * 2 + 1];
    }
    if (y > 0) {
        ba = true;
        nb_ = cur.total_coeff_c[c][x];
    } else {
        ba = mb_avail(mbx_, mby_ - 1);
        if (ba) nb_ = d_.mbs_[size_t(mb_ - mbw_)].total_coeff_c[c][2 + x];
    }
    if (aa && ba) return (na + nb_ + 1) >> 1;
    return aa ? na : ba ? nb_ : 0;
}

void SliceDecoder::neighbour_motion(const Nb& n, int list, int& ref, Mv& mv) const {
    ref = -1;
    mv = Mv();
    if (!n.avail) return;
    if (n.mbx == mbx_ && n.mby == mby_) {
        int i = n.y * 4 + n.x;
        ref = ref_idx_[list][i];
        if (ref >= 0) mv = mv_[list][i];
        return;
    }
    int g = gblk(n.mbx, n.mby, n.x, n.y);
    ref = pic_->ref_idx[list][size_t(g)];
    if (ref >= 0) {
        mv.x = pic_->mv[list][size_t(g) * 2];
        mv.y = pic_->mv[list][size_t(g) * 2 + 1];
    }
}

// Clause 8.4.1.3. shape: 0 other, 1 16x8 upper, 2 16x8 lower, 3 8x16 left, 4 8x16 right.
Mv SliceDecoder::predict_mv(int x, int y, int w, int list, int ref, int shape) {
    Nb a = nb(x - 1, y), b = nb(x, y - 1), c = nb(x + w, y - 1);
    if (c.avail && c.mbx == mbx_ && c.mby == mby_) {
        // inside the current macroblock: available only if already decoded
        if (x + w > 3 || blk_idx(x + w, y - 1) > blk_idx(x, y)) c.avail = false;
    }
    if (y - 1 >= 0 && x + w > 3) c.avail = false;
    if (!c.avail) c = nb(x - 1, y - 1);
    int ra, rb, rc;
    Mv ma, mb, mc;
    neighbour_motion(a, list, ra, ma);
    neighbour_motion(b, list, rb, mb);
    neighbour_motion(c, list, rc, mc);
    if (!b.avail && !c.avail && a.avail) {
        rb = rc = ra;
        mb = mc = ma;
    }
    if (shape == 1 && rb == ref) return mb;
    if (shape == 2 && ra == ref) return ma;
    if (shape == 3 && ra == ref) return ma;
    if (shape == 4 && rc == ref) return mc;
    int matches = (ra == ref) + (rb == ref) + (rc == ref);
    if (matches == 1) return ra == ref ? ma : rb == ref ? mb : mc;
    Mv m;
    m.x = median(ma.x, mb.x, mc.x);
    m.y = median(ma.y, mb.y, mc.y);
    return m;
}

void SliceDecoder::store_motion(bool intra) {
    for (int l = 0; l < 2; ++l)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                size_t g = size_t(gblk(mbx_, mby_, x, y));
                int i = y * 4 + x;
                int r = intra ? -1 : ref_idx_[l][i];
                pic_->ref_idx[l][g] = int8_t(r);
                if (r >= 0) {
                    const Picture* rp = ref_[l][size_t(r)];
                    pic_->mv[l][g * 2] = int16_t(mv_[l][i].x);
                    pic_->mv[l][g * 2 + 1] = int16_t(mv_[l][i].y);
                    pic_->ref_id[l][g] = rp->id;
                } else {
                    pic_->mv[l][g * 2] = pic_->mv[l][g * 2 + 1] = 0;
                    pic_->ref_id[l][g] = -1;
                }
            }
}

// ---- direct prediction (clause 8.4.1.2) ----------------------------------------------------

void SliceDecoder::direct_spatial_setup() {
    // neighbours of the macroblock as one 16x16 partition
    for (int l = 0; l < 2; ++l) {
        Nb a = nb(-1, 0), b = nb(0, -1), c = nb(4, -1);
        if (!c.avail) c = nb(-1, -1);
        int ra, rb, rc;
        Mv ma, mb, mc;
        neighbour_motion(a, l, ra, ma);
        neighbour_motion(b, l, rb, mb);
        neighbour_motion(c, l, rc, mc);
        auto minpos = [](int x, int y) {
            return (x >= 0 && y >= 0) ? std::min(x, y) : std::max(x, y);
        };
        sp_ref_[l] = minpos(ra, minpos(rb, rc));
    }
    if (sp_ref_[0] < 0 && sp_ref_[1] < 0) {
        sp_ref_[0] = sp_ref_[1] = 0;
        sp_mv_[0] = sp_mv_[1] = Mv();
        sp_done_ = true;
        zero_pred_ = true;
        return;
    }
    zero_pred_ = false;
    for (int l = 0; l < 2; ++l)
        sp_mv_[l] = sp_ref_[l] >= 0 ? predict_mv(0, 0, 4, l, sp_ref_[l], 0) : Mv();
    sp_done_ = true;
}

// Fills ref_idx_/mv_ of the 4x4 blocks of 8x8 block blk8 by direct prediction.
void SliceDecoder::direct(int blk8) {
    const Picture* col = ref_[1][0];
    int x8 = (blk8 & 1) * 2, y8 = (blk8 >> 1) * 2;
    if (sh_.direct_spatial && !sp_done_) direct_spatial_setup();
    for (int k = 0; k < 4; ++k) {
        int x = x8 + (k & 1), y = y8 + (k >> 1);
        int i = y * 4 + x;
        // co-located 4x4 block (clause 8.4.1.2.1); with direct_8x8_inference the corner block
        int cx = x, cy = y;
        if (sps_.direct_8x8_inference) {
            cx = (x8 / 2) * 3;
            cy = (y8 / 2) * 3;
        }
        size_t g = size_t(gblk(mbx_, mby_, cx, cy));
        int col_list = col->ref_idx[0][g] >= 0 ? 0 : 1;
        int ref_col = col->ref_idx[col_list][g];
        Mv mv_col;
        if (ref_col >= 0) {
            mv_col.x = col->mv[col_list][g * 2];
            mv_col.y = col->mv[col_list][g * 2 + 1];
        }
        if (sh_.direct_spatial) {
            bool col_zero = !col->long_ref && ref_col == 0 && std::abs(mv_col.x) <= 1 &&
                            std::abs(mv_col.y) <= 1;
            for (int l = 0; l < 2; ++l) {
                ref_idx_[l][i] = zero_pred_ ? 0 : sp_ref_[l];
                if (zero_pred_ || sp_ref_[l] < 0 || (sp_ref_[l] == 0 && col_zero))
                    mv_[l][i] = Mv();
                else
                    mv_[l][i] = sp_mv_[l];
                if (!zero_pred_ && sp_ref_[l] < 0) ref_idx_[l][i] = -1;
            }
        } else {
            int ref0 = 0;
            if (ref_col >= 0) {
                int id = col->ref_id[col_list][g];
                ref0 = -1;
                for (size_t r = 0; r < ref_[0].size(); ++r)
                    if (ref_[0][r]->id == id) {
                        ref0 = int(r);
                        break;
                    }
                if (ref0 < 0) {
                    d_.error("temporal direct: co-located reference not in list 0");
                    ref0 = 0;
                }
            } else {
                mv_col = Mv();
            }
            const Picture* p0 = ref_[0][size_t(ref0)];
            const Picture* p1 = ref_[1][0];
            int tb = clip3(-128, 127, pic_->poc - p0->poc);
            int td = clip3(-128, 127, p1->poc - p0->poc);
            Mv m0, m1;
            if (p0->long_ref || td == 0) {
                m0 = mv_col;
            } else {
                int tx = (16384 + std::abs(td / 2)) / td;
                int dsf = clip3(-1024, 1023, (tb * tx + 32) >> 6);
                m0.x = (dsf * mv_col.x + 128) >> 8;
                m0.y = (dsf * mv_col.y + 128) >> 8;
                m1.x = m0.x - mv_col.x;
                m1.y = m0.y - mv_col.y;
            }
            ref_idx_[0][i] = ref0;
            ref_idx_[1][i] = 0;
            mv_[0][i] = m0;
            mv_[1][i] = m1;
        }
    }
}

// ---- sample prediction -------------------------------------------------------------------

// Predicts the w x h luma block at (x, y) (samples, inside the macroblock) and its chroma from
// the motion of its first 4x4 block, writing into the picture.
void SliceDecoder::predict_partition(int x, int y, int w, int h) {
    int i = (y / 4) * 4 + x / 4;
    int r0 = ref_idx_[0][i], r1 = ref_idx_[1][i];
    int px = mbx_ * 16 + x, py = mby_ * 16 + y;
    int ys = pic_->width, cs = pic_->cwidth;
    Opx8u* dst_y = pic_->y + size_t(py) * ys + px;
    Opx8u* dst_cb = pic_->cb + size_t(py / 2) * cs + px / 2;
    Opx8u* dst_cr = pic_->cr + size_t(py / 2) * cs + px / 2;
    alignas(32) Opx8u tmp_y[2][16 * 16];
    alignas(32) Opx8u tmp_c[2][2][8 * 8];
    bool bi = r0 >= 0 && r1 >= 0;
    for (int l = 0; l < 2; ++l) {
        int r = l == 0 ? r0 : r1;
        if (r < 0) continue;
        if (size_t(r) >= ref_[l].size()) {
            d_.error("reference index %d beyond list %d", r, l);
            return;
        }
        const Picture* ref = ref_[l][size_t(r)];
        const Mv& mv = mv_[l][i];
        bool direct_out = !bi;
        OpxInterpolateBlock8u rec;
        rec.pSrc[0] = ref->y;
        rec.pSrc[1] = nullptr;
        rec.srcStep = ys;
        rec.pDst[0] = direct_out ? dst_y : tmp_y[l];
        rec.pDst[1] = nullptr;
        rec.dstStep = direct_out ? ys : 16;
        rec.frameSize = {pic_->width, pic_->height};
        rec.blockSize = {w, h};
        rec.blockPos = {px, py};
        rec.motionVector = {mv.x, mv.y};
        if (opxiInterpolateLumaBlock_H264_8u_P1R(&rec) != opxOk)
            d_.error("luma interpolation failed");
        if (mono_) continue;
        OpxInterpolateBlock8u rc;
        rc.pSrc[0] = ref->cb;
        rc.pSrc[1] = ref->cr;
        rc.srcStep = cs;
        rc.pDst[0] = direct_out ? dst_cb : tmp_c[l][0];
        rc.pDst[1] = direct_out ? dst_cr : tmp_c[l][1];
        rc.dstStep = direct_out ? cs : 8;
        rc.frameSize = {pic_->cwidth, pic_->cheight};
        rc.blockSize = {w / 2, h / 2};
        rc.blockPos = {px / 2, py / 2};
        rc.motionVector = {mv.x, mv.y};
        if (opxiInterpolateChromaBlock_H264_8u_P2R(&rc) != opxOk)
            d_.error("chroma interpolation failed");
    }
    OpxRoiSize roi_y = {w, h}, roi_c = {w / 2, h / 2};
    if (!bi) {
        if (weight_mode_ != 1) return;
        int l = r0 >= 0 ? 0 : 1, r = r0 >= 0 ? r0 : r1;
        const int(*wt)[2] = sh_.weight[l][r];
        if (wt[0][0] != (1 << sh_.luma_log2_denom) || wt[0][1] != 0)
            opxiUniDirWeightBlock_H264_8u_C1R(dst_y, Opx32u(ys), Opx32u(sh_.luma_log2_denom),
                                              wt[0][0], wt[0][1], roi_y);
        if (mono_) return;
        for (int c = 1; c < 3; ++c)
            if (wt[c][0] != (1 << sh_.chroma_log2_denom) || wt[c][1] != 0)
                opxiUniDirWeightBlock_H264_8u_C1R(c == 1 ? dst_cb : dst_cr, Opx32u(cs),
                                                  Opx32u(sh_.chroma_log2_denom), wt[c][0], wt[c][1],
                                                  roi_c);
        return;
    }
    if (weight_mode_ == 0) {
        opxiInterpolateBlock_H264_8u_P3P1R(tmp_y[0], tmp_y[1], dst_y, Opx32u(w), Opx32u(h), 16, 16,
                                           ys);
        if (mono_) return;
        opxiInterpolateBlock_H264_8u_P3P1R(tmp_c[0][0], tmp_c[1][0], dst_cb, Opx32u(w / 2),
                                           Opx32u(h / 2), 8, 8, cs);
        opxiInterpolateBlock_H264_8u_P3P1R(tmp_c[0][1], tmp_c[1][1], dst_cr, Opx32u(w / 2),
                                           Opx32u(h / 2), 8, 8, cs);
    } else if (weight_mode_ == 2) {
        int w0 = implicit_w_[r0][r1], w1 = 64 - w0;
        opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(tmp_y[0], tmp_y[1], dst_y, 16, 16, Opx32u(ys),
                                                   w0, w1, roi_y);
        if (mono_) return;
        opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(tmp_c[0][0], tmp_c[1][0], dst_cb, 8, 8,
                                                   Opx32u(cs), w0, w1, roi_c);
        opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(tmp_c[0][1], tmp_c[1][1], dst_cr, 8, 8,
                                                   Opx32u(cs), w0, w1, roi_c);
    } else {
        const int(*a)[2] = sh_.weight[0][r0];
        const int(*b)[2] = sh_.weight[1][r1];
        opxiBiDirWeightBlock_H264_8u_P3P1R(tmp_y[0], tmp_y[1], dst_y, 16, 16, Opx32u(ys),
                                           Opx32u(sh_.luma_log2_denom), a[0][0], a[0][1], b[0][0],
                                           b[0][1], roi_y);
        if (mono_) return;
        for (int c = 1; c < 3; ++c)
            opxiBiDirWeightBlock_H264_8u_P3P1R(
                tmp_c[0][c - 1], tmp_c[1][c - 1], c == 1 ? dst_cb : dst_cr, 8, 8, Opx32u(cs),
                Opx32u(sh_.chroma_log2_denom), a[c][0], a[c][1], b[c][0], b[c][1], roi_c);
    }
}

// Predicts the macroblock from ref_idx_/mv_: whole when all 16 blocks move alike, else per
// 8x8 block when each 8x8 block is uniform, else per 4x4 block.
void SliceDecoder::inter_prediction() {
    auto same = [&](int i, int j) {
        for (int l = 0; l < 2; ++l) {
            if (ref_idx_[l][i] != ref_idx_[l][j]) return false;
            if (ref_idx_[l][i] >= 0 && !(mv_[l][i] == mv_[l][j])) return false;
        }
        return true;
    };
    bool all = true;
    for (int i = 1; i < 16 && all; ++i) all = same(0, i);
    // internal edges (1..3) across which the motion does not change, for the filter strengths
    uint8_t still[2] = {0, 0};
    if (all) {
        still[0] = still[1] = 0xE;
    } else {
        for (int e = 1; e < 4; ++e) {
            bool v = true, h = true;
            for (int k = 0; k < 4; ++k) {
                v = v && same(k * 4 + e - 1, k * 4 + e);
                h = h && same((e - 1) * 4 + k, e * 4 + k);
            }
            still[0] |= uint8_t(v << e);
            still[1] |= uint8_t(h << e);
        }
    }
    MbInfo& info_mb = d_.mbs_[size_t(mb_)];
    info_mb.still[0] = still[0];
    info_mb.still[1] = still[1];
    if (all) return predict_partition(0, 0, 16, 16);
    for (int b8 = 0; b8 < 4; ++b8) {
        int x = (b8 & 1) * 2, y = (b8 >> 1) * 2;
        int i0 = y * 4 + x;
        bool top = same(i0, i0 + 1), bottom = same(i0 + 4, i0 + 5);
        bool left = same(i0, i0 + 4), right = same(i0 + 1, i0 + 5);
        if (top && bottom && left) {
            predict_partition(x * 4, y * 4, 8, 8);
        } else if (top && bottom) {
            predict_partition(x * 4, y * 4, 8, 4);
            predict_partition(x * 4, y * 4 + 4, 8, 4);
        } else if (left && right) {
            predict_partition(x * 4, y * 4, 4, 8);
            predict_partition(x * 4 + 4, y * 4, 4, 8);
        } else {
            for (int k = 0; k < 4; ++k)
                predict_partition((x + (k & 1)) * 4, (y + (k >> 1)) * 4, 4, 4);
        }
    }
}

// ---- skipped macroblocks -------------------------------------------------------------------

void SliceDecoder::skip_mb() {
    MbInfo& m = d_.mbs_[size_t(mb_)];
    m.slice_num = slice_num_;
    m.kind = kMbSkip;
    m.intra = false;
    m.transform8x8 = false;
    m.qp = int8_t(qp_);
    for (int c = 0; c < 2; ++c)
        m.qpc[c] = int8_t(kChromaQp[clip3(0, 51, qp_ + pps_.chroma_qp_offset[c])]);
    std::memset(m.total_coeff, 0, sizeof m.total_coeff);
    std::memset(m.total_coeff_c, 0, sizeof m.total_coeff_c);
    m.nonzero = 0;
    std::memset(m.ipred, 2, sizeof m.ipred);
    sp_done_ = false;
    if (sh_.slice_type == 0) {
        // P_Skip (clause 8.4.1.1)
        Nb a = nb(-1, 0), b = nb(0, -1);
        int ra, rb;
        Mv ma, mb;
        neighbour_motion(a, 0, ra, ma);
        neighbour_motion(b, 0, rb, mb);
        Mv mv;
        if (a.avail && b.avail && !(ra == 0 && ma == Mv()) && !(rb == 0 && mb == Mv()))
            mv = predict_mv(0, 0, 4, 0, 0, 0);
        for (int i = 0; i < 16; ++i) {
            ref_idx_[0][i] = 0;
            ref_idx_[1][i] = -1;
            mv_[0][i] = mv;
        }
    } else {
        for (int b8 = 0; b8 < 4; ++b8) direct(b8);
    }
    inter_prediction();
    store_motion(false);
    finish_mb();
}

// ---- macroblock layer ------------------------------------------------------------------------

Opx8u SliceDecoder::intra_edges() const {
    auto ok = [&](int x, int y) {
        if (!mb_avail(x, y)) return false;
        if (pps_.constrained_intra_pred && !d_.mbs_[size_t(y * mbw_ + x)].intra) return false;
        return true;
    };
    // edgeType bits of the reconstruction functions: a neighbour that is not available for
    // intra prediction (outside, another slice, or inter under constrained_intra_pred)
    Opx8u edge = 0;
    if (!ok(mbx_ - 1, mby_)) edge |= 1;
    if (!ok(mbx_, mby_ - 1)) edge |= 4;
    if (!ok(mbx_ - 1, mby_ - 1)) edge |= 16;
    if (!ok(mbx_ + 1, mby_ - 1)) edge |= 32;
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
        m.qp = 0;
        m.qpc[0] = m.qpc[1] = int8_t(kChromaQp[clip3(0, 51, pps_.chroma_qp_offset[0])]);
        m.qpc[1] = int8_t(kChromaQp[clip3(0, 51, pps_.chroma_qp_offset[1])]);
        b_.align();
        int ys = pic_->width, cs = pic_->cwidth;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                pic_->y[size_t(mby_ * 16 + y) * ys + mbx_ * 16 + x] = uint8_t(b_.u(8));
        for (int c = 0; c < 2 && !mono_; ++c)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    (c ? pic_->cr : pic_->cb)[size_t(mby_ * 8 + y) * cs + mbx_ * 8 + x] =
                        uint8_t(b_.u(8));
        std::memset(m.total_coeff, 16, sizeof m.total_coeff);
        std::memset(m.total_coeff_c, 16, sizeof m.total_coeff_c);
        m.nonzero = 0xFFFF;
        // the PCM samples count as coded for the deblocking decision (bS from intra anyway)
        for (int l = 0; l < 2; ++l)
            for (int i = 0; i < 16; ++i) ref_idx_[l][i] = -1;
        store_motion(true);
        if (b_.error) return d_.error("truncated PCM macroblock"), false;
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
                int n = sh_.num_ref_idx[l];
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
                    for (int yy = y; yy < y + h; ++yy)
                        for (int xx = x; xx < x + w; ++xx) {
                            ref_idx_[l][yy * 4 + xx] = refs[l][k];
                            mv_[l][yy * 4 + xx] = mv;
                        }
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
                    for (int b8 = 0; b8 < 4; ++b8) direct(b8);
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
                    int n = sh_.num_ref_idx[l];
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
                    for (int yy = y; yy < y + ph; ++yy)
                        for (int xx = x; xx < x + pw; ++xx) {
                            ref_idx_[l][yy * 4 + xx] = refs[l][p];
                            mv_[l][yy * 4 + xx] = mv;
                        }
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
        int dqp = b_.se();
        if (dqp < -26 || dqp > 25) return d_.error("bad mb_qp_delta"), false;
        qp_ = (qp_ + dqp + 52) % 52;
    }
    m.qp = int8_t(qp_);
    for (int c = 0; c < 2; ++c)
        m.qpc[c] = int8_t(kChromaQp[clip3(0, 51, qp_ + pps_.chroma_qp_offset[c])]);

    if (!parse_residual(m, cbp, i16)) return false;

    // samples
    int ys = pic_->width, cs = pic_->cwidth;
    Opx8u* py = pic_->y + size_t(mby_ * 16) * ys + mbx_ * 16;
    Opx8u* pcb = pic_->cb + size_t(mby_ * 8) * cs + mbx_ * 8;
    Opx8u* pcr = pic_->cr + size_t(mby_ * 8) * cs + mbx_ * 8;
    Opx16s* cp = coeffs_;
    int qp6 = qp_ % 6;
    int qc[2] = {m.qpc[0], m.qpc[1]};
    OpxResult r = opxOk;
    if (intra) {
        store_motion(true);
        Opx8u edge = intra_edges();
        if (m.kind == kMbI16x16) {
            r = opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(&cp, py, ys, i16_mode, cbp4x4_, qp_,
                                                                edge, ls4_[0][qp6], 0);
        } else if (m.kind == kMbI8x8) {
            Opx32s modes[4];
            for (int k = 0; k < 4; ++k) modes[k] = m.ipred[(k >> 1) * 8 + (k & 1) * 2];
            r = opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(&cp, py, ys, modes, cbp8x8_, qp_, edge,
                                                             ls8_[0][qp6], 0);
        } else {
            Opx32s modes[16];
            for (int n = 0; n < 16; ++n) modes[n] = m.ipred[kBlkY[n] * 4 + kBlkX[n]];
            r = opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(&cp, py, ys, modes, cbp4x4_, qp_, edge,
                                                             ls4_[0][qp6], 0);
        }
        if (r < 0) d_.error("intra luma reconstruction refused (%d) at macroblock %d", r, mb_);
        if (!mono_) {
            r = opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
                &cp, pcb, pcr, Opx32u(cs), chroma_mode, cbp4x4_, Opx32u(qc[0]), Opx32u(qc[1]), edge,
                ls4_[1][qc[0] % 6], ls4_[2][qc[1] % 6], 0);
            if (r < 0)
                d_.error("intra chroma reconstruction refused (%d) at macroblock %d", r, mb_);
        }
    } else {
        inter_prediction();
        store_motion(false);
        if (t8)
            r = opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(&cp, py, ys, cbp8x8_, qp_,
                                                             ls8_[1][qp6], 0);
        else
            r = opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(&cp, py, ys, cbp4x4_, qp_,
                                                             ls4_[3][qp6], 0);
        if (r < 0) d_.error("inter luma reconstruction failed (%d)", r);
        if (!mono_) {
            r = opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(
                &cp, pcb, pcr, Opx32u(cs), cbp4x4_, Opx32u(qc[0]), Opx32u(qc[1]),
                ls4_[4][qc[0] % 6], ls4_[5][qc[1] % 6], 0);
            if (r < 0) d_.error("inter chroma reconstruction failed (%d)", r);
        }
    }
    finish_mb();
    return true;
}

// Residual of one macroblock (clause 7.3.5.3) into the packed coefficient stream of the
// reconstruction functions: every call of the CAVLC decoder that finds coefficients appends one
// dense block and the matching coded-block bit is set.
bool SliceDecoder::parse_residual(MbInfo& m, int cbp, bool i16) {
    CavlcTables& t = d_.vlc_;
    Opx16s* cp = coeffs_;
    cbp4x4_ = 0;
    cbp8x8_ = 0;
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
    auto block = [&](int nc, int limit, const Opx32s* scan, Opx16s** dst) -> int {
        OpxResult r = opxiDecodeCAVLCCoeffs_H264_1u16s(&ptr, &pos, &num, dst, nc, Opx16s(limit),
                                                       tok, tz, rb, scan);
        if (r != opxOk) return -1;
        return num;
    };
    if (i16) {
        int nc = luma_nc(0, 0);
        int n = block(nc, 16, kScanZigzag, &cp);
        if (n < 0) return fail("Intra16x16 DC block");
        if (n > 0) cbp4x4_ |= 1;
    }
    for (int b8 = 0; b8 < 4; ++b8) {
        if (!(cbp & (1 << b8))) continue;
        if (m.transform8x8) {
            alignas(32) Opx16s tmp[4][16];
            bool any = false;
            for (int k = 0; k < 4; ++k) {
                int n = b8 * 4 + k;
                int x = kBlkX[n], y = kBlkY[n];
                Opx16s* tp = tmp[k];
                int c = block(luma_nc(x, y), 16, kScanIdentity, &tp);
                if (c < 0) return fail("8x8 luma block");
                m.total_coeff[y * 4 + x] = uint8_t(c);
                if (c == 0) std::memset(tmp[k], 0, sizeof tmp[k]);
                any |= c > 0;
            }
            if (any) {
                // the four interleaved 4x4 parts form one 8x8 block in zig-zag order
                for (int k = 0; k < 4; ++k)
                    for (int i = 0; i < 16; ++i) cp[kZigzag8x8[4 * i + k]] = tmp[k][i];
                cp += 64;
                cbp8x8_ |= 1u << b8;
                int x = (b8 & 1) * 2, y = (b8 >> 1) * 2;
                m.nonzero |= uint16_t((3u << (y * 4 + x)) | (3u << ((y + 1) * 4 + x)));
            }
        } else {
            for (int k = 0; k < 4; ++k) {
                int n = b8 * 4 + k;
                int x = kBlkX[n], y = kBlkY[n];
                int c = block(luma_nc(x, y), i16 ? 15 : 16, kScanZigzag, &cp);
                if (c < 0) return fail("luma block");
                m.total_coeff[y * 4 + x] = uint8_t(c);
                if (c > 0) {
                    cbp4x4_ |= 1u << (n + 1);
                    m.nonzero |= uint16_t(1u << (y * 4 + x));
                }
            }
        }
    }
    if (i16 && (cbp4x4_ & 1)) m.nonzero |= 0;  // DC coefficients do not count for bS = 2
    if (!mono_ && (cbp >> 4)) {
        for (int c = 0; c < 2; ++c) {
            OpxResult r = opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(
                &ptr, &pos, &num, &cp, t.coeff_token[3], t.total_zeros_dc, rb);
            if (r != opxOk) return fail("chroma DC block");
            if (num > 0) cbp4x4_ |= 1u << (17 + c);
        }
        if (cbp >> 5) {
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < 4; ++k) {
                    int n = block(chroma_nc(c, k & 1, k >> 1), 15, kScanZigzag, &cp);
                    if (n < 0) return fail("chroma AC block");
                    m.total_coeff_c[c][k] = uint8_t(n);
                    if (n > 0) cbp4x4_ |= 1u << (19 + c * 4 + k);
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
