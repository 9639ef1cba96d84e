// Neighbour data, motion vector prediction (clause 8.4.1.3), direct prediction (clause
// 8.4.1.2) and inter prediction through the library's interpolation and weighting functions.
#include <cstring>
#include <type_traits>

#include "slice.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace h264dec {

// ---- neighbouring data ---------------------------------------------------------------------


// Clause 8.4.1.3. shape: 0 other, 1 16x8 upper, 2 16x8 lower, 3 8x16 left, 4 8x16 right.
Mv SliceDecoder::predict_mv(int x, int y, int w, int list, int ref, int shape) {
    if (!mbaff_) {
        const h264common::MvNeighbour a = frame_neighbour(x - 1, y, list),
                                      b = frame_neighbour(x, y - 1, list);
        // C inside the macroblock counts only where it is decoded already; in the rows below the
        // first, C right of the macroblock is not decoded yet
        h264common::MvNeighbour c;
        if (y == 0 || (x + w <= 3 && blk_idx(x + w, y - 1) < blk_idx(x, y)))
            c = frame_neighbour(x + w, y - 1, list);
        if (!c.avail) c = frame_neighbour(x - 1, y - 1, list);
        return h264common::predict_mv(a, b, c, ref, shape);
    }
    Nb a = nb(x - 1, y), b = nb(x, y - 1), c = nb(x + w, y - 1);
    if (c.avail && c.mbx == mbx_ && c.mby == mby_) {
        // inside the current macroblock: available only if already decoded
        if (x + w > 3 || blk_idx(x + w, y - 1) > blk_idx(x, y)) c.avail = false;
    }
    if (y - 1 >= 0 && x + w > 3) c.avail = false;
    if (!c.avail) c = nb(x - 1, y - 1, true);
    h264common::MvNeighbour na, nb_, nc;
    na.avail = a.avail;
    nb_.avail = b.avail;
    nc.avail = c.avail;
    neighbour_motion(a, list, na.ref, na.mv);
    neighbour_motion(b, list, nb_.ref, nb_.mv);
    neighbour_motion(c, list, nc.ref, nc.mv);
    return h264common::predict_mv(na, nb_, nc, ref, shape);
}

void SliceDecoder::store_motion(bool intra) {
    MbMotion& m = pic_->motion[size_t(mb_)];
    if (intra) {
        clear_motion(m);
        m.field_mb = field_mb_ ? 1 : 0;
        return;
    }
    m.field_mb = field_mb_ ? 1 : 0;
    // Picture::id of reference r of list l, -1 for none
    auto ref_id = [&](int l, int r) {
        return r < 0 ? -1 : field_mb_ ? ref_pic(l, r)->id : ref_id_[l][r];
    };
    const MbInfo& info = d_.mbs_[size_t(mb_)];
    if (info.still[0] == 0xE && info.still[1] == 0xE) {
        // one motion for the whole macroblock (inter_prediction found it): stored as such
        for (int l = 0; l < 2; ++l) {
            const int r = ref_idx_[l][0];
            const int32_t id = ref_id(l, r);
            const uint32_t v = r < 0 ? 0u
                                     : uint32_t(uint16_t(mv_[l][0].x)) |
                                           uint32_t(uint16_t(mv_[l][0].y)) << 16;
            for (int b8 = 0; b8 < 4; ++b8) {
                m.ref_idx[l][b8] = int8_t(r);
                m.ref_id[l][b8] = id;
            }
            for (int i = 0; i < 16; ++i) std::memcpy(m.mv[l][i], &v, 4);
        }
        return;
    }
    for (int l = 0; l < 2; ++l) {
        bool used = false;
        for (int b8 = 0; b8 < 4; ++b8) {
            int r = ref_idx_[l][(b8 >> 1) * 8 + (b8 & 1) * 2];  // alike in the whole 8x8 block
            m.ref_idx[l][b8] = int8_t(r);
            m.ref_id[l][b8] = ref_id(l, r);
            used |= r >= 0;
        }
        if (!used) {  // list 1 of P macroblocks, and one-list B macroblocks
            std::memset(m.mv[l], 0, sizeof m.mv[l]);
            continue;
        }
#ifdef __SSE2__
        // four vectors at a time: each to 16 bits (the low half of its 32-bit parts), zero where
        // the block does not use the list
        static_assert(sizeof(Mv) == 8 && sizeof(m.mv[0][0]) == 4, "two 32-bit parts, two 16-bit");
        auto low16 = [](const Mv* v) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
            return _mm_srai_epi32(_mm_slli_epi32(x, 16), 16);
        };
        for (int i = 0; i < 16; i += 4) {
            const __m128i used =
                _mm_cmpgt_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&ref_idx_[l][i])),
                                _mm_set1_epi32(-1));
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(m.mv[l][i]),
                _mm_and_si128(_mm_packs_epi32(low16(&mv_[l][i]), low16(&mv_[l][i + 2])), used));
        }
#else
        for (int i = 0; i < 16; ++i) {
            bool used = ref_idx_[l][i] >= 0;
            m.mv[l][i][0] = used ? int16_t(mv_[l][i].x) : int16_t(0);
            m.mv[l][i][1] = used ? int16_t(mv_[l][i].y) : int16_t(0);
        }
#endif
    }
}

// ---- direct prediction (clause 8.4.1.2) ----------------------------------------------------

void SliceDecoder::direct_spatial_setup() {
    // neighbours of the macroblock as one 16x16 partition, which serve both the references
    // (clause 8.4.1.2.2) and the vector prediction of the same partition (clause 8.4.1.3)
    h264common::MvNeighbour n[2][3];
    if (!mbaff_) {
        for (int l = 0; l < 2; ++l) {
            n[l][0] = frame_neighbour(-1, 0, l);
            n[l][1] = frame_neighbour(0, -1, l);
            n[l][2] = frame_neighbour(4, -1, l);
            if (!n[l][2].avail) n[l][2] = frame_neighbour(-1, -1, l);
        }
    } else {
        Nb a = nb(-1, 0), b = nb(0, -1), c = nb(4, -1);
        if (!c.avail) c = nb(-1, -1, true);
        for (int l = 0; l < 2; ++l) {
            n[l][0].avail = a.avail;
            n[l][1].avail = b.avail;
            n[l][2].avail = c.avail;
            neighbour_motion(a, l, n[l][0].ref, n[l][0].mv);
            neighbour_motion(b, l, n[l][1].ref, n[l][1].mv);
            neighbour_motion(c, l, n[l][2].ref, n[l][2].mv);
        }
    }
    for (int l = 0; l < 2; ++l) {
        auto minpos = [](int x, int y) {
            return (x >= 0 && y >= 0) ? std::min(x, y) : std::max(x, y);
        };
        sp_ref_[l] = minpos(n[l][0].ref, minpos(n[l][1].ref, n[l][2].ref));
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
        sp_mv_[l] = sp_ref_[l] >= 0
                        ? h264common::predict_mv(n[l][0], n[l][1], n[l][2], sp_ref_[l], 0)
                        : Mv();
    sp_done_ = true;
}

// Clause 8.4.1.2.3: the scale factor of temporal direct prediction for the current picture
// (an MBAFF field macroblock: its field) and references p0 and p1.
SliceDecoder::TemporalScale SliceDecoder::temporal_scale(const Picture* cur, const Picture* p0,
                                                         const Picture* p1) {
    int tb = poc_distance(cur->poc, p0->poc);
    int td = poc_distance(p1->poc, p0->poc);
    TemporalScale t;
    t.copy = p0->long_ref || td == 0;
    t.dsf = 0;
    if (!t.copy) {
        int tx = (16384 + std::abs(td / 2)) / td;
        t.dsf = clip3(-1024, 1023, (tb * tx + 32) >> 6);
    }
    return t;
}

void SliceDecoder::build_temporal_scale() {
    for (size_t r = 0; r < ref_[0].size(); ++r)
        temporal_[r] = temporal_scale(pic_, ref_[0][r], ref_[1][0]);
}

// Fills ref_idx_/mv_ of the 4x4 blocks of 8x8 block blk8 by direct prediction.
// Direct prediction of the whole macroblock. The usual case (spatial, direct_8x8_inference, the
// co-located macroblock at the same address in a list 1 picture of the same kind) takes the
// co-located record once and fills each 8x8 block with four stores a list; any other goes
// through direct() per 8x8 block.
void SliceDecoder::direct_mb() {
    const Picture* r1 = ref_[1][0];
    const bool same_kind =
        !r1->field_coded &&
        (mbaff_ ? (r1->motion[size_t(2 * pair_y_ * mbw_ + mbx_)].field_mb != 0) == field_mb_
                : !pic_->parent);
    if (!sh_.direct_spatial || !sps_.direct_8x8_inference || !same_kind) {
        for (int b8 = 0; b8 < 4; ++b8) direct(b8);
        return;
    }
    if (!sp_done_) direct_spatial_setup();
    const MbMotion& col = r1->motion[size_t(mb_)];
    for (int b8 = 0; b8 < 4; ++b8) {
        // the corner 4x4 block of the co-located 8x8 block (direct_8x8_inference)
        const int g = (b8 >> 1) * 12 + (b8 & 1) * 3;
        const int col_list = col.ref_idx[0][b8] >= 0 ? 0 : 1;
        const int ref_col = col.ref_idx[col_list][b8];
        const int cx = col.mv[col_list][g][0], cy = col.mv[col_list][g][1];
        const bool col_zero =
            !r1->long_ref && ref_col == 0 && cx >= -1 && cx <= 1 && cy >= -1 && cy <= 1;
        const int i = (b8 >> 1) * 8 + (b8 & 1) * 2;
        for (int l = 0; l < 2; ++l) {
            const Mv mv =
                zero_pred_ || sp_ref_[l] < 0 || (sp_ref_[l] == 0 && col_zero) ? Mv() : sp_mv_[l];
            fill_mv(mv_[l], i & 3, i >> 2, 2, 2, mv);
        }
    }
    // one reference per list for the whole macroblock, stored a row of blocks at a time (the
    // 16-byte loads of rows that follow are then forwarded from single stores)
    for (int l = 0; l < 2; ++l) {
        const int ref = zero_pred_ ? 0 : sp_ref_[l] < 0 ? -1 : sp_ref_[l];
#ifdef __SSE2__
        const __m128i row = _mm_set1_epi32(ref);
        for (int y = 0; y < 4; ++y)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&ref_idx_[l][4 * y]), row);
#else
        for (int i = 0; i < 16; ++i) ref_idx_[l][i] = ref;
#endif
    }
}

void SliceDecoder::direct(int blk8) {
    // the co-located picture (Table 8-6) and macroblock (clause 8.4.1.2.1): a field picture
    // whose list 1 field belongs to a frame decoded as a frame reads that frame (Frm_To_Fld);
    // a frame picture whose list 1 frame was decoded as two fields reads the field nearer in
    // order (Fld_To_Frm); otherwise the same macroblock of the same kind of picture
    const Picture* r1 = ref_[1][0];
    const Picture* col_pic = r1;
    int col_mb = mb_, vscale = 0;  // 0 One_To_One, 1 Frm_To_Fld, 2 Fld_To_Frm
    int x8 = (blk8 & 1) * 2, y8 = (blk8 >> 1) * 2;
    int col_row = -1;  // the co-located 4x4 block row where the scale is not one to one
    // of a frame's fields, the one nearer in order to the current frame (Table 8-6)
    auto nearer_field = [&](const Picture* f) {
        const int dt = std::abs(poc_distance(f->top_poc, pic_->poc));
        const int db = std::abs(poc_distance(f->bottom_poc, pic_->poc));
        return dt < db ? 0 : 1;
    };
    if (mbaff_) {
        // an MBAFF frame (Table 8-8, AFRM): a field macroblock takes the field of its parity
        // of a field-coded list 1 frame, or of a field pair co-located in an MBAFF frame, one
        // to one, and from frame macroblocks the one holding yCol (Frm_To_Fld); a frame
        // macroblock takes the co-located field macroblocks of the nearer field (Fld_To_Frm)
        const int pair_top = 2 * pair_y_ * mbw_ + mbx_;
        if (r1->field_coded) {
            col_pic = r1->field[field_mb_ ? (bottom_ ? 1 : 0) : nearer_field(r1)].get();
            col_mb = pair_y_ * mbw_ + mbx_;
            if (!field_mb_) {
                vscale = 2;
                col_row = 2 * (bottom_ ? 1 : 0) + (y8 >> 1);
            }
        } else if ((r1->motion[size_t(pair_top)].field_mb != 0) != field_mb_) {
            if (field_mb_) {
                vscale = 1;
                col_mb = pair_top + mbw_ * (y8 >> 1);
                col_row = y8 ? 2 : 0;
            } else {
                vscale = 2;
                col_mb = pair_top + mbw_ * nearer_field(r1);
                col_row = 2 * (bottom_ ? 1 : 0) + (y8 >> 1);
            }
        }
    } else if (pic_->parent && !r1->store()->field_coded && r1->parent) {
        col_pic = r1->parent;
        const int pair_top = 2 * mbw_ * mby_ + mbx_;
        if (col_pic->motion[size_t(pair_top)].field_mb != 0) {
            // a field pair of an MBAFF frame: the macroblock of the current parity
            col_mb = pair_top + mbw_ * (pic_->structure - 1);
        } else {
            vscale = 1;
            // the corner blocks of direct_8x8_inference (required in these streams): yCol 0
            // or 12
            col_mb = pair_top + mbw_ * (y8 >> 1);
            col_row = y8 ? 2 : 0;  // yM = (2 * yCol) % 16
        }
    } else if (!pic_->parent && r1->field_coded) {
        vscale = 2;
        col_pic = r1->field[nearer_field(r1)].get();
        col_mb = mbw_ * (mby_ >> 1) + mbx_;
        col_row = 2 * (mby_ & 1) + (y8 >> 1);  // yM = 8 * (mby % 2) + 4 * (yCol / 8)
    }
    const MbMotion& col = col_pic->motion[size_t(col_mb)];
    if (sh_.direct_spatial && !sp_done_) direct_spatial_setup();
    // with direct_8x8_inference the four blocks share the co-located corner block and so the
    // whole derivation: done once, copied to the others
    const bool inferred = sps_.direct_8x8_inference;
    Mv set[2];  // the last vectors stored, per list
    for (int k = 0; k < (inferred ? 1 : 4); ++k) {
        int x = x8 + (k & 1), y = y8 + (k >> 1);
        int i = y * 4 + x;
        // co-located 4x4 block (clause 8.4.1.2.1); with direct_8x8_inference the corner block
        int g = inferred ? (y8 / 2) * 12 + (x8 / 2) * 3 : i;
        if (col_row >= 0) g = col_row * 4 + (x8 / 2) * 3;
        int g8 = blk8_of(g);
        int col_list = col.ref_idx[0][g8] >= 0 ? 0 : 1;
        int ref_col = col.ref_idx[col_list][g8];
        Mv mv_col;  // zero where the co-located block is intra
        mv_col.x = col.mv[col_list][g][0];
        mv_col.y = col.mv[col_list][g][1];
        if (sh_.direct_spatial) {
            bool col_zero =
                !r1->long_ref && ref_col == 0 && std::abs(mv_col.x) <= 1 && std::abs(mv_col.y) <= 1;
            for (int l = 0; l < 2; ++l) {
                ref_idx_[l][i] = zero_pred_ ? 0 : sp_ref_[l];
                set[l] = zero_pred_ || sp_ref_[l] < 0 || (sp_ref_[l] == 0 && col_zero)
                             ? Mv()
                             : sp_mv_[l];
                mv_[l][i] = set[l];
                if (!zero_pred_ && sp_ref_[l] < 0) ref_idx_[l][i] = -1;
            }
        } else {
            int ref0 = 0;
            // clause 8.4.1.2.3: the vertical vector in the current picture's units
            if (vscale == 1) mv_col.y /= 2;
            if (vscale == 2) mv_col.y *= 2;
            if (ref_col >= 0) {
                // the picture the co-located block referred to, as the current picture
                // refers to it: the field of its frame with the current parity, or the frame
                // of its field (ids: frame 3k, fields 3k + 1 and 3k + 2)
                int id = col.ref_id[col_list][g8];
                if (vscale == 1) id = id / 3 * 3 + view_->structure;
                if (vscale == 2) id = id / 3 * 3;
                ref0 = -1;
                for (int r = 0; r < ref_count(0); ++r)
                    if ((field_mb_ ? ref_pic(0, r)->id : ref_id_[0][r]) == id) {
                        ref0 = r;
                        break;
                    }
                if (ref0 < 0) {
                    d_.error("temporal direct: co-located reference not in list 0");
                    ref0 = 0;
                }
            }
            const TemporalScale t = field_mb_
                                        ? temporal_scale(view_, ref_pic(0, ref0), ref_pic(1, 0))
                                        : temporal_[ref0];
            Mv m0, m1;
            if (t.copy) {
                m0 = mv_col;
            } else {
                m0.x = (t.dsf * mv_col.x + 128) >> 8;
                m0.y = (t.dsf * mv_col.y + 128) >> 8;
                m1.x = m0.x - mv_col.x;
                m1.y = m0.y - mv_col.y;
            }
            ref_idx_[0][i] = ref0;
            ref_idx_[1][i] = 0;
            mv_[0][i] = set[0] = m0;
            mv_[1][i] = set[1] = m1;
        }
    }
    if (inferred) {
        int i = y8 * 4 + x8;
        for (int l = 0; l < 2; ++l) {
            ref_idx_[l][i + 1] = ref_idx_[l][i + 4] = ref_idx_[l][i + 5] = ref_idx_[l][i];
            fill_mv(mv_[l], i & 3, i >> 2, 2, 2, set[l]);
        }
    }
}

// ---- sample prediction -------------------------------------------------------------------

void SliceDecoder::predict_partition(int x, int y, int w, int h) {
    // the chroma format as a template argument: the 8-bit 4:2:0 path has no test of it
    if (high_)
        c422_ ? predict_partition_t<Opx16u, true>(x, y, w, h)
              : predict_partition_t<Opx16u, false>(x, y, w, h);
    else
        c422_ ? predict_partition_t<Opx8u, true>(x, y, w, h)
              : predict_partition_t<Opx8u, false>(x, y, w, h);
}

// Predicts the w x h luma block at (x, y) (samples, inside the macroblock) and its chroma from
// the motion of its first 4x4 block, writing into the picture. 4:2:2 chroma has the luma height:
// its vertical vector is in quarter samples, passed to the eighth-sample interpolation doubled
// (clause 8.4.1.4). A block predicted from one list goes its own way (no scratch blocks, nothing
// of the other list worked out).
template <class Pel, bool kC422>
void SliceDecoder::predict_partition_t(int x, int y, int w, int h) {
    const int i = (y >> 2) * 4 + (x >> 2);
    const int r0 = ref_idx_[0][i], r1 = ref_idx_[1][i];
    for (int l = 0; l < 2; ++l)
        if ((l == 0 ? r0 : r1) >= ref_count(l)) {
            d_.error("reference index %d beyond list %d", l == 0 ? r0 : r1, l);
            return;
        }
    if (r0 < 0 || r1 < 0) {
        if ((r0 & r1) < 0) return;  // neither list: nothing to predict from
        return predict_single_t<Pel, kC422>(r0 < 0 ? 1 : 0, r0 < 0 ? r1 : r0, i, x, y, w, h);
    }
    predict_bi_t<Pel, kC422>(r0, r1, i, x, y, w, h);
}

// Table 8-10: a 4:2:0 field predicted from the field of the other parity shifts its chroma
// vector by a quarter chroma row (-2 in eighths from a bottom field into a top). 4:2:2 chroma
// takes the luma vector doubled (eighths of its full-height rows).
template <bool kC422>
static int chroma_mvy(const Picture* view, const Picture* ref, int mvy) {
    if (kC422) return 2 * mvy;
    if (view->parent && ref->structure != view->structure) mvy += view->structure == 2 ? 2 : -2;
    return mvy;
}

// One list's prediction of a w x h block at (x, y) of the luma plane, or of both chroma planes
// (x, y, w, h and the vector (mvx, mvy) then in chroma samples and eighths), into dst[0] (and
// dst[1]): the library's block interpolation, which reads across the picture's edges.
template <class Pel, bool kChroma>
OpxResult SliceDecoder::interpolate(const Picture* ref, int mvx, int mvy, int x, int y, int w,
                                    int h, Pel* const (&dst)[2], int dst_step) const {
    using Block =
        std::conditional_t<sizeof(Pel) == 2, OpxInterpolateBlock16u, OpxInterpolateBlock8u>;
    Block rec;
    rec.pSrc[0] = ref->plane<Pel>(kChroma ? 1 : 0);
    rec.pSrc[1] = kChroma ? ref->plane<Pel>(2) : nullptr;
    rec.srcStep = kChroma ? view_->cstride : view_->ystride;
    rec.pDst[0] = dst[0];
    rec.pDst[1] = dst[1];
    rec.dstStep = dst_step;
    rec.frameSize = kChroma ? OpxRoiSize{view_->cwidth, view_->cheight}
                            : OpxRoiSize{view_->width, view_->height};
    rec.blockSize = {w, h};
    rec.blockPos = {x, y};
    rec.motionVector = {mvx, mvy};
    if constexpr (sizeof(Pel) == 2) {
        rec.bitDepth = bit_depth_;
        return kChroma ? OPX_COUNTED(opxiInterpolateChromaBlock_H264_16u_P2R)(&rec)
                       : OPX_COUNTED(opxiInterpolateLumaBlock_H264_16u_P1R)(&rec);
    } else {
        return kChroma ? OPX_COUNTED(opxiInterpolateChromaBlock_H264_8u_P2R)(&rec)
                       : OPX_COUNTED(opxiInterpolateLumaBlock_H264_8u_P1R)(&rec);
    }
}

// A block predicted from reference r of list l alone: interpolated straight into the picture,
// then weighted there when explicit weights apply.
template <class Pel, bool kC422>
void SliceDecoder::predict_single_t(int l, int r, int i, int x, int y, int w, int h) {
    constexpr bool kHigh = sizeof(Pel) == 2;
    const Picture* const view = view_;
    const Picture* const ref = ref_pic(l, r);
    const Mv mv = mv_[l][i];
    const int px = mbx_ * 16 + x, py = vy_ * 16 + y;
    const int ys = view->ystride, cs = view->cstride;
    Pel* const dst_y = view->plane<Pel>(0) + size_t(py) * size_t(ys) + size_t(px);
    if (interpolate<Pel, false>(ref, mv.x, mv.y, px, py, w, h, {dst_y, nullptr}, ys) != opxOk)
        d_.error("luma interpolation failed");
    const int cpy = kC422 ? py : py >> 1, ch = kC422 ? h : h >> 1, cw = w >> 1;
    Pel* const dst_cb = view->plane<Pel>(1) + size_t(cpy) * size_t(cs) + size_t(px >> 1);
    Pel* const dst_cr = view->plane<Pel>(2) + size_t(cpy) * size_t(cs) + size_t(px >> 1);
    if (!mono_ && interpolate<Pel, true>(ref, mv.x, chroma_mvy<kC422>(view, ref, mv.y), px >> 1,
                                         cpy, cw, ch, {dst_cb, dst_cr}, cs) != opxOk)
        d_.error("chroma interpolation failed");
    if (weight_mode_ != 1) return;
    // explicit weights of an MBAFF field macroblock: those of the frame (refIdx >> 1); the
    // offsets are in units of 8-bit samples (clause 8.4.2.3.2)
    const int(*wt)[2] = sh_.weight[l][r >> (field_mb_ ? 1 : 0)];
    const OpxRoiSize roi_y = {w, h}, roi_c = {cw, ch};
    for (int c = 0; c < (mono_ ? 1 : 3); ++c) {
        const int denom = c ? sh_.chroma_log2_denom : sh_.luma_log2_denom;
        if (wt[c][0] == (1 << denom) && wt[c][1] == 0) continue;
        Pel* d = c == 0 ? dst_y : c == 1 ? dst_cb : dst_cr;
        const int step = c ? cs : ys;
        if constexpr (kHigh) OPX_COUNTED(opxiUnidirWeight_H264_16u_IP2P1R)
        (d, Opx32u(step), Opx32u(denom), wt[c][0], wt[c][1] * (1 << (bit_depth_ - 8)),
         c ? roi_c : roi_y, bit_depth_);
        else OPX_COUNTED(opxiUniDirWeightBlock_H264_8u_C1R)(d, Opx32u(step), Opx32u(denom),
                                                            wt[c][0], wt[c][1], c ? roi_c : roi_y);
    }
}

// A bi-predicted block: both predictions formed, then averaged or weighted into the picture.
template <class Pel, bool kC422>
void SliceDecoder::predict_bi_t(int r0, int r1, int i, int x, int y, int w, int h) {
    constexpr bool kHigh = sizeof(Pel) == 2;
    const Picture* const view = view_;
    const int px = mbx_ * 16 + x, py = vy_ * 16 + y;
    const int cpy = kC422 ? py : py >> 1, ch = kC422 ? h : h >> 1, cw = w >> 1;
    const int ys = view->ystride, cs = view->cstride;
    alignas(32) Pel tmp_y[2][16 * 16];
    alignas(32) Pel tmp_c[2][2][8 * 16];
    // Where the two predictions are read from: the scratch blocks, or, for a full-sample vector
    // whose block lies inside the reference, the reference picture itself (no copy: the
    // weighting reads those samples once).
    const Pel* src_y[2];
    const Pel* src_c[2][2];
    int step_y[2], step_c[2];
    for (int l = 0; l < 2; ++l) {
        const Picture* ref = ref_pic(l, l == 0 ? r0 : r1);
        const Mv mv = mv_[l][i];
        const int sx = px + (mv.x >> 2), sy = py + (mv.y >> 2);
        if (((mv.x | mv.y) & 3) == 0 && (sx | sy) >= 0 && sx + w <= view->width &&
            sy + h <= view->height) {
            src_y[l] = ref->plane<Pel>(0) + size_t(sy) * size_t(ys) + size_t(sx);
            step_y[l] = ys;
        } else {
            src_y[l] = tmp_y[l];
            step_y[l] = 16;
            if (interpolate<Pel, false>(ref, mv.x, mv.y, px, py, w, h, {tmp_y[l], nullptr}, 16) !=
                opxOk)
                d_.error("luma interpolation failed");
        }
        if (mono_) continue;
        const int cmy = chroma_mvy<kC422>(view, ref, mv.y);
        const int csx = (px >> 1) + (mv.x >> 3), csy = cpy + (cmy >> 3);
        if (((mv.x | cmy) & 7) == 0 && (csx | csy) >= 0 && csx + cw <= view->cwidth &&
            csy + ch <= view->cheight) {
            for (int c = 0; c < 2; ++c)
                src_c[l][c] = ref->plane<Pel>(1 + c) + size_t(csy) * size_t(cs) + size_t(csx);
            step_c[l] = cs;
        } else {
            src_c[l][0] = tmp_c[l][0];
            src_c[l][1] = tmp_c[l][1];
            step_c[l] = 8;
            if (interpolate<Pel, true>(ref, mv.x, cmy, px >> 1, cpy, cw, ch,
                                       {tmp_c[l][0], tmp_c[l][1]}, 8) != opxOk)
                d_.error("chroma interpolation failed");
        }
    }
    Pel* const dst_y = view->plane<Pel>(0) + size_t(py) * size_t(ys) + size_t(px);
    Pel* const dst_c[2] = {view->plane<Pel>(1) + size_t(cpy) * size_t(cs) + size_t(px >> 1),
                           view->plane<Pel>(2) + size_t(cpy) * size_t(cs) + size_t(px >> 1)};
    const OpxRoiSize roi_y = {w, h}, roi_c = {cw, ch};
    // explicit weights of an MBAFF field macroblock: those of the frame (refIdx >> 1); implicit
    // ones from its field's order count and those of the reference fields
    const int wr0 = r0 >> (field_mb_ ? 1 : 0), wr1 = r1 >> (field_mb_ ? 1 : 0);
    const int implicit_w0 = weight_mode_ != 2 ? 32
                            : field_mb_ ? implicit_weight(view->poc, ref_pic(0, r0), ref_pic(1, r1))
                                        : implicit_w_[r0][r1];
    // weighted-prediction offsets are in units of 8-bit samples (clause 8.4.2.3.2)
    const int osh = bit_depth_ - 8;
    if constexpr (kHigh) {
        for (int c = 0; c < (mono_ ? 1 : 3); ++c) {
            OpxBidir16u b;
            b.pSrc1 = c ? src_c[0][c - 1] : src_y[0];
            b.pSrc2 = c ? src_c[1][c - 1] : src_y[1];
            b.src1Step = c ? step_c[0] : step_y[0];
            b.src2Step = c ? step_c[1] : step_y[1];
            b.pDst = c ? dst_c[c - 1] : dst_y;
            b.dstStep = c ? cs : ys;
            b.roiSize = c ? roi_c : roi_y;
            b.bitDepth = bit_depth_;
            // implicit weights of 32 and 32: the plain average, as below
            if (weight_mode_ == 0 || (weight_mode_ == 2 && implicit_w0 == 32)) {
                OPX_COUNTED(opxiBidir_H264_16u_P2P1R)(&b);
            } else if (weight_mode_ == 2) {
                const int w0 = implicit_w0;
                OPX_COUNTED(opxiBidirWeightImplicit_H264_16u_P2P1R)(&b, w0, 64 - w0);
            } else {
                const int(*a)[2] = sh_.weight[0][wr0];
                const int(*bw)[2] = sh_.weight[1][wr1];
                OPX_COUNTED(opxiBidirWeight_H264_16u_P2P1R)
                (&b, Opx32u(c ? sh_.chroma_log2_denom : sh_.luma_log2_denom), a[c][0],
                 a[c][1] * (1 << osh), bw[c][0], bw[c][1] * (1 << osh));
            }
        }
        return;
    } else {
        // implicit weights of 32 and 32 (a B picture midway between its references) are the
        // plain average: (32 a + 32 b + 32) >> 6 = (a + b + 1) >> 1
        if (weight_mode_ == 0 || (weight_mode_ == 2 && implicit_w0 == 32)) {
            OPX_COUNTED(opxiInterpolateBlock_H264_8u_P3P1R)
            (src_y[0], src_y[1], dst_y, Opx32u(w), Opx32u(h), step_y[0], step_y[1], ys);
            if (mono_) return;
            for (int c = 0; c < 2; ++c) OPX_COUNTED(opxiInterpolateBlock_H264_8u_P3P1R)
            (src_c[0][c], src_c[1][c], dst_c[c], Opx32u(cw), Opx32u(ch), step_c[0], step_c[1], cs);
        } else if (weight_mode_ == 2) {
            int w0 = implicit_w0, w1 = 64 - w0;
            OPX_COUNTED(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R)
            (src_y[0], src_y[1], dst_y, Opx32u(step_y[0]), Opx32u(step_y[1]), Opx32u(ys), w0, w1,
             roi_y);
            if (mono_) return;
            for (int c = 0; c < 2; ++c) OPX_COUNTED(opxiBiDirWeightBlockImplicit_H264_8u_P3P1R)
            (src_c[0][c], src_c[1][c], dst_c[c], Opx32u(step_c[0]), Opx32u(step_c[1]), Opx32u(cs),
             w0, w1, roi_c);
        } else {
            const int(*a)[2] = sh_.weight[0][wr0];
            const int(*b)[2] = sh_.weight[1][wr1];
            OPX_COUNTED(opxiBiDirWeightBlock_H264_8u_P3P1R)
            (src_y[0], src_y[1], dst_y, Opx32u(step_y[0]), Opx32u(step_y[1]), Opx32u(ys),
             Opx32u(sh_.luma_log2_denom), a[0][0], a[0][1], b[0][0], b[0][1], roi_y);
            if (mono_) return;
            for (int c = 1; c < 3; ++c) OPX_COUNTED(opxiBiDirWeightBlock_H264_8u_P3P1R)
            (src_c[0][c - 1], src_c[1][c - 1], dst_c[c - 1], Opx32u(step_c[0]), Opx32u(step_c[1]),
             Opx32u(cs), Opx32u(sh_.chroma_log2_denom), a[c][0], a[c][1], b[c][0], b[c][1], roi_c);
        }
    }
}

// Whether the 16 blocks share their references and, for the lists they use, their vectors.
bool SliceDecoder::uniform_motion() const {
#ifdef __SSE2__
    static_assert(sizeof(Mv) == 8, "two 32-bit parts");
    __m128i same = _mm_set1_epi32(-1);
    for (int l = 0; l < 2; ++l) {
        const __m128i r = _mm_set1_epi32(ref_idx_[l][0]);
        for (int i = 0; i < 16; i += 4)
            same = _mm_and_si128(
                same, _mm_cmpeq_epi32(
                          r, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&ref_idx_[l][i]))));
        if (ref_idx_[l][0] < 0) continue;
        std::int64_t first;
        std::memcpy(&first, &mv_[l][0], 8);
        const __m128i v = _mm_set1_epi64x(first);
        for (int i = 0; i < 16; i += 2)
            same = _mm_and_si128(
                same,
                _mm_cmpeq_epi32(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&mv_[l][i]))));
    }
    return _mm_movemask_epi8(same) == 0xFFFF;
#else
    for (int l = 0; l < 2; ++l)
        for (int i = 1; i < 16; ++i)
            if (ref_idx_[l][i] != ref_idx_[l][0] ||
                (ref_idx_[l][0] >= 0 && !(mv_[l][i] == mv_[l][0])))
                return false;
    return true;
#endif
}

// Predicts the macroblock from ref_idx_/mv_ in the largest blocks that move alike: the whole
// macroblock, two 16x8 or 8x16 halves, else per 8x8 block (whole, halves or 4x4 blocks). Also
// records the internal edges across which the motion does not change, for the filter strengths.
void SliceDecoder::inter_prediction() {
    // most macroblocks (skipped, 16x16, uniform direct) move as one: found with a few vector
    // compares before the per-block comparison below
    if (uniform_motion()) {
        MbInfo& m = d_.mbs_[size_t(mb_)];
        m.still[0] = m.still[1] = 0xE;
        return predict_partition(0, 0, 16, 16);
    }
    // each block's motion as three 64-bit words (reference and vector per list, the vector
    // zero where the list is unused): equal motion is equal words
    uint64_t key[16][3];
    auto pack = [](int lo, int hi) {
        return uint64_t(uint32_t(lo)) | uint64_t(uint32_t(hi)) << 32;
    };
    for (int i = 0; i < 16; ++i) {
        const int r0 = ref_idx_[0][i], r1 = ref_idx_[1][i];
        key[i][0] = pack(r0, r1);
        key[i][1] = r0 >= 0 ? pack(mv_[0][i].x, mv_[0][i].y) : 0;
        key[i][2] = r1 >= 0 ? pack(mv_[1][i].x, mv_[1][i].y) : 0;
    }
    auto same = [&](int i, int j) {
        return ((key[i][0] ^ key[j][0]) | (key[i][1] ^ key[j][1]) | (key[i][2] ^ key[j][2])) == 0;
    };
    // motion equal between horizontal neighbours (row y, columns x and x + 1) and vertical
    // neighbours (rows y and y + 1, column x)
    bool right[4][3], down[3][4];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) right[y][x] = same(y * 4 + x, y * 4 + x + 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) down[y][x] = same(y * 4 + x, y * 4 + x + 4);
    // uniform rectangle of blocks x0..x1, y0..y1 (inclusive)
    auto uniform = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if ((x < x1 && !right[y][x]) || (y < y1 && !down[y][x])) return false;
        return true;
    };
    uint8_t still[2] = {0, 0};
    for (int e = 1; e < 4; ++e) {
        bool v = true, h = true;
        for (int k = 0; k < 4; ++k) {
            v = v && right[k][e - 1];
            h = h && down[e - 1][k];
        }
        still[0] |= uint8_t(v << e);
        still[1] |= uint8_t(h << e);
    }
    MbInfo& info_mb = d_.mbs_[size_t(mb_)];
    info_mb.still[0] = still[0];
    info_mb.still[1] = still[1];
    if (still[0] == 0xE && still[1] == 0xE) return predict_partition(0, 0, 16, 16);
    if (uniform(0, 0, 3, 1) && uniform(0, 2, 3, 3)) {
        predict_partition(0, 0, 16, 8);
        predict_partition(0, 8, 16, 8);
        return;
    }
    if (uniform(0, 0, 1, 3) && uniform(2, 0, 3, 3)) {
        predict_partition(0, 0, 8, 16);
        predict_partition(8, 0, 8, 16);
        return;
    }
    for (int b8 = 0; b8 < 4; ++b8) {
        int x = (b8 & 1) * 2, y = (b8 >> 1) * 2;
        bool top = right[y][x], bottom = right[y + 1][x];
        bool left = down[y][x], rgt = down[y][x + 1];
        if (top && bottom && left) {
            predict_partition(x * 4, y * 4, 8, 8);
        } else if (top && bottom) {
            predict_partition(x * 4, y * 4, 8, 4);
            predict_partition(x * 4, y * 4 + 4, 8, 4);
        } else if (left && rgt) {
            predict_partition(x * 4, y * 4, 4, 8);
            predict_partition(x * 4 + 4, y * 4, 4, 8);
        } else {
            for (int k = 0; k < 4; ++k)
                predict_partition((x + (k & 1)) * 4, (y + (k >> 1)) * 4, 4, 4);
        }
    }
}

}  // namespace h264dec
