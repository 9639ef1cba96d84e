// Picture management: NAL unit dispatch, picture order counts (clause 8.2.1), frame number gaps,
// reference marking (clause 8.2.5), reference list construction (clause 8.2.4), slice group maps
// (clause 8.2.2) and output in display order with the bumping process of Annex C.
#include "decoder.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace h264dec {

void* alloc_picture_memory(size_t bytes) {
    constexpr size_t kHuge = size_t(2) << 20;
    const bool huge = bytes >= kHuge / 2;
    const size_t align = huge ? kHuge : 64;
    const size_t size = (bytes + align - 1) / align * align;
    void* p = std::aligned_alloc(align, size);
    if (!p) throw std::bad_alloc();
    if (huge) madvise(p, size, MADV_HUGEPAGE);  // advice only: failure changes nothing
    return p;
}

void FreePictureMemory::operator()(void* p) const {
    std::free(p);
}

void clear_motion(MbMotion& m) {
    std::memset(m.mv, 0, sizeof m.mv);
    std::memset(m.ref_id, 0xFF, sizeof m.ref_id);
    std::memset(m.ref_idx, 0xFF, sizeof m.ref_idx);
    m.field_mb = 0;
}

Decoder::Decoder(const Options& opt, FILE* report)
    : opt_(opt), report_(report), writer_(opt.out, opt.format) {
    if (!build_cavlc_tables(vlc_)) {
        error("cannot build the CAVLC tables");
        refused_ = true;
    }
}

Decoder::~Decoder() {
    writer_.close();
}

bool Decoder::close_output() {
    if (!writer_.close()) output_failed_ = true;
    return !output_failed_;
}

void Decoder::error(const char* fmt, ...) {
    ++errors_;
    if (!report_ || errors_ > 20) return;
    va_list ap;
    va_start(ap, fmt);
    std::fprintf(report_, "opxvc-h264dec: ");
    std::vfprintf(report_, fmt, ap);
    std::fprintf(report_, "\n");
    va_end(ap);
}

// ---- NAL units -----------------------------------------------------------------------------

void Decoder::feed_nal(const uint8_t* nal, size_t size) {
    if (size < 1 || refused_ || stop()) return;
    if (nal[0] & 0x80) return error("forbidden_zero_bit set"), void();
    int ref_idc = (nal[0] >> 5) & 3;
    int type = nal[0] & 31;
    switch (type) {
        case 7: {
            rbsp_.assign(nal + 1, size - 1);
            Bits b = rbsp_.reader(0);
            Sps s;
            if (!parse_sps(b, s)) return error("invalid sequence parameter set"), void();
            if (s.chroma_format_idc == 3) {
                refused_ = true;
                return error(
                           "unsupported stream: chroma format 4:4:4 (only 4:2:0, 4:2:2 and "
                           "4:0:0)"),
                       void();
            }
            if (s.bit_depth_luma > 14 || s.bit_depth_chroma > 14) {
                refused_ = true;
                return error("unsupported stream: %d-bit samples (8 to 14 bits)",
                             std::max(s.bit_depth_luma, s.bit_depth_chroma)),
                       void();
            }
            if (s.chroma_format_idc != 0 && s.bit_depth_luma != s.bit_depth_chroma) {
                refused_ = true;
                return error("unsupported stream: luma depth %d and chroma depth %d differ",
                             s.bit_depth_luma, s.bit_depth_chroma),
                       void();
            }
            if (s.mbaff && s.chroma_format_idc == 2) {
                refused_ = true;
                return error("unsupported stream: MBAFF coding of 4:2:2 video"), void();
            }
            sps_[s.id] = s;
            break;
        }
        case 8: {
            rbsp_.assign(nal + 1, size - 1);
            Bits b = rbsp_.reader(0);
            Pps p;
            if (!parse_pps(b, sps_, p)) return error("invalid picture parameter set"), void();
            if (p.cabac) {
                refused_ = true;
                return error("unsupported stream: CABAC entropy coding (only CAVLC)"), void();
            }
            pps_[p.id] = p;
            break;
        }
        case 1:
        case 5: {
            rbsp_.assign(nal + 1, size - 1);
            Bits b = rbsp_.reader(0);
            SliceHeader sh;
            std::string why;
            if (!parse_slice_header(b, type, ref_idc, sps_, pps_, sh, why)) {
                if (why.find("not supported") != std::string::npos) {
                    refused_ = true;
                    return error("unsupported stream: %s", why.c_str()), void();
                }
                return error("slice header: %s", why.c_str()), void();
            }
            if (sh.redundant_pic_cnt > 0) return;  // primary pictures only
            const Pps& pps = pps_[sh.pps_id];
            const Sps& sps = sps_[pps.sps_id];
            if (sps.mbaff && pps.num_slice_groups > 1) {
                refused_ = true;
                return error("unsupported stream: MBAFF coding with slice groups"), void();
            }
            bool new_pic = !cur_;
            if (cur_) {
                const SliceHeader& f = first_sh_;
                new_pic =
                    f.frame_num != sh.frame_num || f.pps_id != sh.pps_id ||
                    f.field_pic != sh.field_pic || f.bottom_field != sh.bottom_field ||
                    (f.nal_ref_idc == 0) != (sh.nal_ref_idc == 0) || f.idr != sh.idr ||
                    (sh.idr && f.idr_pic_id != sh.idr_pic_id) ||
                    (sps.poc_type == 0 &&
                     (f.poc_lsb != sh.poc_lsb || f.delta_poc_bottom != sh.delta_poc_bottom)) ||
                    (sps.poc_type == 1 &&
                     (f.delta_poc[0] != sh.delta_poc[0] || f.delta_poc[1] != sh.delta_poc[1]));
                if (new_pic) finish_picture();
            }
            if (new_pic) {
                if (!sh.idr && !sps_active_)
                    return error("stream does not start with an IDR picture"), void();
                if (!activate_sps(sps)) return;
                start_picture(sh, sps, pps);
            }
            if (sh.first_mb * (mbaff_ ? 2 : 1) >= mb_width_ * mb_height_)
                return error("first_mb_in_slice out of range"), void();
            decode_slice(sh, b);
            break;
        }
        case 2:
        case 3:
        case 4:
            refused_ = true;
            return error("unsupported stream: data partitioning"), void();
        default:
            break;  // SEI, delimiters, filler and extensions carry nothing the decoder needs
    }
}

bool Decoder::activate_sps(const Sps& sps) {
    // a new picture size or sample format: new picture buffers
    bool resize = !sps_active_ || sps_active_->mb_width != sps.mb_width ||
                  sps_active_->mb_height != sps.mb_height ||
                  sps_active_->chroma_format_idc != sps.chroma_format_idc ||
                  sps_active_->bit_depth_luma != sps.bit_depth_luma;
    if (resize && sps_active_) flush();
    active_sps_ = sps;  // a copy: a later parameter set with the same id must not change it
    sps_active_ = &active_sps_;
    mb_width_ = sps.mb_width;
    mb_height_ = sps.mb_height;
    if (resize) {
        mbs_.assign(size_t(mb_width_) * mb_height_, MbInfo());
        bs_c422_.assign(sps.chroma_format_idc == 2 ? mbs_.size() : 0, {});
        free_.clear();
        dpb_.clear();
    }
    // Annex A: MaxDpbMbs per level
    static const struct {
        int level, mbs;
    } kLevels[] = {{9, 396},    {10, 396},   {11, 900},    {12, 2376},   {13, 2376},  {20, 2376},
                   {21, 4752},  {22, 8100},  {30, 8100},   {31, 18000},  {32, 20480}, {40, 32768},
                   {41, 32768}, {42, 34816}, {50, 110400}, {51, 184320}, {52, 184320}};
    int max_mbs = 184320;
    for (auto& l : kLevels)
        if (l.level == sps.level_idc) max_mbs = l.mbs;
    int frame_mbs = mb_width_ * mb_height_;
    dpb_size_ = std::min(16, std::max(1, max_mbs / frame_mbs));
    if (sps.bitstream_restriction && sps.max_dec_frame_buffering >= 0)
        dpb_size_ = std::max(1, std::min(16, sps.max_dec_frame_buffering));
    dpb_size_ = std::max(dpb_size_, std::min(16, sps.max_num_ref_frames));
    // a damaged or hostile header must not make the buffer huge: about 400000 macroblocks of
    // pictures at most (level 5.2 allows 184320)
    dpb_size_ = std::min(dpb_size_, std::max(1, 400000 / frame_mbs));
    max_refs_ = std::max(1, std::min(sps.max_num_ref_frames, dpb_size_));
    reorder_ = dpb_size_;
    if (sps.bitstream_restriction && sps.max_num_reorder_frames >= 0)
        reorder_ = std::min(sps.max_num_reorder_frames, dpb_size_);
    return true;
}

Picture* Decoder::new_picture() {
    std::unique_ptr<Picture> p;
    if (!free_.empty()) {
        p = std::move(free_.back());
        free_.pop_back();
    } else {
        p.reset(new Picture());
        p->width = sps_active_->mb_width * 16;
        p->height = sps_active_->mb_height * 16;
        p->chroma_format = sps_active_->chroma_format_idc;
        p->pel_bytes = sps_active_->bit_depth_luma > 8 ? 2 : 1;
        p->cwidth = p->width / 2;
        p->cheight = p->chroma_format == 2 ? p->height : p->height / 2;
        p->ystride = p->width;
        p->cstride = p->cwidth;
        size_t ys = size_t(p->width) * p->height * p->pel_bytes,
               cs = size_t(p->cwidth) * p->cheight * p->pel_bytes;
        p->plane_bytes = ys + 2 * cs;
        p->planes.reset(static_cast<uint8_t*>(alloc_picture_memory(p->plane_bytes)));
        p->y = p->planes.get();
        p->cb = p->y + ys;
        p->cr = p->cb + cs;
        p->mbs = size_t(sps_active_->mb_width) * sps_active_->mb_height;
        p->motion_store.reset(
            static_cast<MbMotion*>(alloc_picture_memory(p->mbs * sizeof(MbMotion))));
        p->motion = p->motion_store.get();
        // the fields: from the parity row, every second row (clause 6.2 of the sample arrays)
        for (int f = 0; f < 2; ++f) {
            Picture* v = new Picture();
            p->field[f].reset(v);
            v->parent = p.get();
            v->structure = 1 + f;
            v->width = p->width;
            v->height = p->height / 2;
            v->cwidth = p->cwidth;
            v->cheight = p->cheight / 2;
            v->ystride = 2 * p->ystride;
            v->cstride = 2 * p->cstride;
            v->chroma_format = p->chroma_format;
            v->pel_bytes = p->pel_bytes;
            const size_t pb = size_t(p->pel_bytes);
            v->y = p->y + size_t(f) * size_t(p->ystride) * pb;
            v->cb = p->cb + size_t(f) * size_t(p->cstride) * pb;
            v->cr = p->cr + size_t(f) * size_t(p->cstride) * pb;
            v->mbs = p->mbs / 2;
            v->motion = p->motion + size_t(f) * v->mbs;
        }
    }
    p->id = next_id_;
    next_id_ += 3;
    p->short_ref = p->long_ref = p->needed_for_output = p->non_existing = false;
    p->mmco5 = p->idr = false;
    p->field_coded = false;
    p->fields_done = 0;
    for (int f = 0; f < 2; ++f) {
        Picture* v = p->field[f].get();
        v->id = p->id + 1 + f;
        v->short_ref = v->long_ref = false;
        v->mmco5 = v->idr = false;
    }
    Picture* raw = p.get();
    dpb_.push_back(std::move(p));
    return raw;
}

void Decoder::release_unused() {
    for (size_t i = 0; i < dpb_.size();) {
        if (!dpb_[i]->is_ref() && !dpb_[i]->needed_for_output && dpb_[i].get() != store_ &&
            dpb_[i].get() != pending_) {
            free_.push_back(std::move(dpb_[i]));
            dpb_.erase(dpb_.begin() + long(i));
        } else {
            ++i;
        }
    }
}

// ---- picture order count (clause 8.2.1) ---------------------------------------------------

void Decoder::compute_poc(const SliceHeader& sh, const Sps& sps, Picture& p) {
    // 64-bit arithmetic: hostile offsets and long streams must not overflow; the results are
    // clamped to the int range of the picture's fields.
    const int64_t max_frame_num = int64_t(1) << sps.log2_max_frame_num;
    int64_t top, bottom;
    if (sps.poc_type == 0) {
        if (sh.idr) prev_poc_msb_ = prev_poc_lsb_ = 0;
        const int64_t max_lsb = int64_t(1) << sps.log2_max_poc_lsb;
        int64_t msb;
        if (sh.poc_lsb < prev_poc_lsb_ && prev_poc_lsb_ - sh.poc_lsb >= max_lsb / 2)
            msb = prev_poc_msb_ + max_lsb;
        else if (sh.poc_lsb > prev_poc_lsb_ && sh.poc_lsb - prev_poc_lsb_ > max_lsb / 2)
            msb = prev_poc_msb_ - max_lsb;
        else
            msb = prev_poc_msb_;
        top = msb + sh.poc_lsb;
        // a bottom field's count is its own lsb (clause 8.2.1.1)
        bottom = sh.field_pic ? top : top + sh.delta_poc_bottom;
        if (sh.nal_ref_idc != 0) {
            prev_poc_msb_ = msb;
            prev_poc_lsb_ = sh.poc_lsb;
        }
    } else {
        int64_t offset;
        if (sh.idr)
            offset = 0;
        else if (prev_frame_num_ > sh.frame_num)
            offset = (prev_mmco5_ ? 0 : prev_frame_num_offset_) + max_frame_num;
        else
            offset = prev_mmco5_ ? 0 : prev_frame_num_offset_;
        if (sps.poc_type == 1) {
            int n = int(sps.offset_for_ref_frame.size());
            int64_t abs_frame_num = n != 0 ? offset + sh.frame_num : 0;
            if (sh.nal_ref_idc == 0 && abs_frame_num > 0) --abs_frame_num;
            int64_t expected = 0;
            if (abs_frame_num > 0) {
                int64_t delta_cycle = 0;
                for (int v : sps.offset_for_ref_frame) delta_cycle += v;
                const int64_t cycle = (abs_frame_num - 1) / n, in_cycle = (abs_frame_num - 1) % n;
                expected = cycle * delta_cycle;
                for (int64_t i = 0; i <= in_cycle; ++i)
                    expected += sps.offset_for_ref_frame[size_t(i)];
            }
            if (sh.nal_ref_idc == 0) expected += sps.offset_for_non_ref_pic;
            top = expected + sh.delta_poc[0];
            bottom = sh.field_pic ? expected + sps.offset_for_top_to_bottom + sh.delta_poc[0]
                                  : top + sps.offset_for_top_to_bottom + sh.delta_poc[1];
        } else {
            const int64_t t = sh.idr ? 0
                                     : (sh.nal_ref_idc == 0 ? 2 * (offset + sh.frame_num) - 1
                                                            : 2 * (offset + sh.frame_num));
            top = bottom = t;
        }
        prev_frame_num_offset_ = offset;
    }
    prev_frame_num_ = sh.frame_num;
    prev_mmco5_ = false;
    auto to_int = [](int64_t v) {
        return int(std::clamp<int64_t>(v, std::numeric_limits<int>::min(),
                                       std::numeric_limits<int>::max()));
    };
    // a field picture sets its own count in the frame store and its view
    if (!sh.field_pic || !sh.bottom_field) p.top_poc = to_int(top);
    if (!sh.field_pic || sh.bottom_field) p.bottom_poc = to_int(bottom);
    if (p.field[0]) {
        p.field[0]->poc = p.top_poc;
        p.field[1]->poc = p.bottom_poc;
    }
    if (!sh.field_pic || (p.fields_done & (sh.bottom_field ? 1 : 2)))
        p.poc = std::min(p.top_poc, p.bottom_poc);
    else
        p.poc = sh.bottom_field ? p.bottom_poc : p.top_poc;
}

// ---- frame number gaps (clause 8.2.5.2) ---------------------------------------------------

void Decoder::fill_frame_gap(const SliceHeader& sh, const Sps& sps) {
    int max_frame_num = 1 << sps.log2_max_frame_num;
    int unused = (prev_ref_frame_num_ + 1) % max_frame_num;
    if (!sps.gaps_allowed) error("frame_num gap (%d to %d)", prev_ref_frame_num_, sh.frame_num);
    // only the last max_num_ref_frames inferred frames can survive the sliding window: a long
    // gap (or a damaged frame_num) infers just those
    int missing = (sh.frame_num - unused + max_frame_num) % max_frame_num;
    int keep = max_refs_;
    if (missing > keep) unused = (sh.frame_num - keep + max_frame_num) % max_frame_num;
    int guard = 0;
    Picture* last = nullptr;
    for (auto& p : dpb_)
        if (p->is_ref() && (!last || p->decode_order > last->decode_order)) last = p.get();
    while (unused != sh.frame_num && guard++ < max_frame_num) {
        Picture* p = new_picture();
        p->non_existing = true;
        p->frame_num = unused;
        // the inferred frame takes the samples of the last reference (only a damaged stream
        // will ever show them)
        if (last)
            std::memcpy(p->planes.get(), last->planes.get(), p->plane_bytes);
        else
            fill_grey(*p);
        for (size_t i = 0; i < p->mbs; ++i) clear_motion(p->motion[i]);
        SliceHeader g = sh;
        g.field_pic = g.bottom_field = false;
        g.idr = false;
        g.nal_ref_idc = 1;
        g.frame_num = unused;
        g.delta_poc[0] = g.delta_poc[1] = 0;
        if (sps.poc_type != 0) {
            compute_poc(g, sps, *p);
        } else {
            p->poc = p->top_poc = p->bottom_poc = last ? last->poc : 0;
            p->field[0]->poc = p->field[1]->poc = p->poc;
        }
        p->decode_order = decode_order_++;
        p->fields_done = 3;
        sliding_window();
        p->short_ref = p->field[0]->short_ref = p->field[1]->short_ref = true;
        prev_ref_frame_num_ = unused;
        unused = (unused + 1) % max_frame_num;
        release_unused();
        while (int(dpb_.size()) > dpb_size_ + 1) {
            size_t before = dpb_.size();
            bump();
            release_unused();
            if (dpb_.size() == before) break;
        }
    }
}

// Mid-grey samples in every plane: 1 << (bitDepth - 1).
void Decoder::fill_grey(Picture& p) const {
    if (p.pel_bytes == 1) return std::memset(p.planes.get(), 128, p.plane_bytes), void();
    const Opx16u grey = Opx16u(1u << (sps_active_->bit_depth_luma - 1));
    std::fill_n(reinterpret_cast<Opx16u*>(p.planes.get()), p.plane_bytes / 2, grey);
}

// ---- picture start and finish ----------------------------------------------------------------

void Decoder::start_picture(const SliceHeader& sh, const Sps& sps, const Pps& pps) {
    int max_frame_num = 1 << sps.log2_max_frame_num;
    const int parity = sh.bottom_field ? 1 : 0;
    // the second field of the held first field: same frame_num, opposite parity, reference
    // fields both or neither, the second not an IDR picture (a complementary field pair)
    Picture* pair = nullptr;
    if (pending_) {
        Picture* f = pending_;
        if (sh.field_pic && !sh.idr && !f->mmco5 && f->frame_num == sh.frame_num &&
            f->fields_done == (parity ? 1 : 2) && pending_ref_ == (sh.nal_ref_idc != 0))
            pair = f;
        else
            finish_unpaired();
    }
    if (pair) {
        pending_ = nullptr;
        store_ = pair;
    } else {
        if (sh.idr) {
            prev_ref_frame_num_ = 0;
        } else if (sh.frame_num != prev_ref_frame_num_ &&
                   sh.frame_num != (prev_ref_frame_num_ + 1) % max_frame_num) {
            fill_frame_gap(sh, sps);
        }
        // make room: the standard's bumping before storing the current picture
        release_unused();
        store_ = new_picture();
        store_->frame_num = sh.frame_num;
        store_->idr = sh.idr;
        store_->decode_order = decode_order_++;
        store_->field_coded = sh.field_pic;
    }
    field_pic_ = sh.field_pic;
    cur_ = sh.field_pic ? store_->field[parity].get() : store_;
    cur_->frame_num = sh.frame_num;
    cur_->idr = sh.idr;
    compute_poc(sh, sps, *store_);
    mb_height_ = sh.field_pic ? sps.mb_height / 2 : sps.mb_height;
    first_sh_ = sh;
    slice_num_ = 0;
    slices_.clear();
    cur_has_error_ = false;
    deblocked_rows_ = next_in_order_ = 0;
    // MBAFF frames are filtered when complete (a pair row's filtering reaches into the rows
    // of the pair row above, which the next pair row's intra prediction reads unfiltered)
    mbaff_ = sps.mbaff && !sh.field_pic;
    in_order_ = !mbaff_;
    for (auto& m : mbs_) m.slice_num = -1;
    build_slice_group_map(sh, sps, pps);
}

void Decoder::finish_picture() {
    if (!cur_) return;
    const Sps& sps = *sps_active_;
    conceal_picture();
    deblock_rows(deblocked_rows_, mb_height_);
    Picture* p = store_;
    const SliceHeader& sh = first_sh_;
    if (sh.nal_ref_idc != 0) {
        mark_references(sh, sps);
        prev_ref_frame_num_ = p->mmco5 ? 0 : sh.frame_num;
    }
    const int parity = sh.bottom_field ? 1 : 0;
    p->fields_done |= field_pic_ ? 1 << parity : 3;
    if (p->mmco5) {
        // clause 8.2.1: after memory_management_control_operation 5 the picture counts as
        // having order count 0 relative to what follows (a field: its own count)
        // (64-bit: the two counts of a hostile stream may lie more than 2^31 apart)
        const int64_t t = field_pic_ ? cur_->poc : p->poc;
        if (!field_pic_ || parity == 0)
            p->top_poc = int(std::min<int64_t>(p->top_poc - t, std::numeric_limits<int>::max()));
        if (!field_pic_ || parity == 1)
            p->bottom_poc =
                int(std::min<int64_t>(p->bottom_poc - t, std::numeric_limits<int>::max()));
        p->field[0]->poc = p->top_poc;
        p->field[1]->poc = p->bottom_poc;
        p->poc = field_pic_ ? cur_->poc : 0;
        prev_poc_msb_ = 0;
        prev_poc_lsb_ = field_pic_ && parity == 1 ? 0 : p->top_poc;
        prev_frame_num_offset_ = 0;
        prev_frame_num_ = 0;
        prev_mmco5_ = true;
    }
    cur_ = nullptr;
    store_ = nullptr;
    mb_height_ = sps.mb_height;
    if (p->fields_done != 3) {  // a first field: held for its second
        pending_ = p;
        pending_ref_ = sh.nal_ref_idc != 0;
        return;
    }
    p->poc = std::min(p->top_poc, p->bottom_poc);
    store_picture(p);
}

// A first field that no second field followed: the missing field's rows repeat the decoded
// field's and its motion is cleared, then the frame is stored as held.
void Decoder::finish_unpaired() {
    Picture* p = pending_;
    pending_ = nullptr;
    if (!p) return;
    const int have = (p->fields_done & 1) ? 0 : 1;
    const size_t pb = size_t(p->pel_bytes);
    for (int c = 0; c < (p->chroma_format == 0 ? 1 : 3); ++c) {
        uint8_t* base = c == 0 ? p->y : c == 1 ? p->cb : p->cr;
        const size_t row = size_t(c == 0 ? p->width : p->cwidth) * pb;
        const int rows = c == 0 ? p->height : p->cheight;
        for (int y = 0; y + 1 < rows; y += 2)
            std::memcpy(base + size_t(y + 1 - have) * row, base + size_t(y + have) * row, row);
    }
    Picture* missing = p->field[have ^ 1].get();
    for (size_t i = 0; i < missing->mbs; ++i) clear_motion(missing->motion[i]);
    missing->poc = p->poc;
    if (have == 0)
        p->bottom_poc = p->top_poc;
    else
        p->top_poc = p->bottom_poc;
    p->fields_done = 3;
    store_picture(p);
}

// Stores the decoded picture and outputs pictures in display order (Annex C.4.5). An IDR
// picture or one with operation 5 first outputs everything before it.
void Decoder::store_picture(Picture* p) {
    if (p->idr || p->mmco5) {
        // pictures before the boundary are all output first
        for (;;) {
            Picture* best = nullptr;
            for (auto& q : dpb_)
                if (q.get() != p && q->needed_for_output && (!best || q->poc < best->poc))
                    best = q.get();
            if (!best) break;
            output(*best);
            best->needed_for_output = false;
        }
    }
    p->needed_for_output = !p->non_existing;
    release_unused();
    // the current picture joined the buffer in new_picture(); bump while it is over-full
    for (;;) {
        int used = int(dpb_.size());
        int waiting = 0;
        for (auto& q : dpb_) waiting += q->needed_for_output;
        if (used <= dpb_size_ && waiting <= reorder_) break;
        size_t before = dpb_.size();
        int before_waiting = waiting;
        bump();
        release_unused();
        int now_waiting = 0;
        for (auto& q : dpb_) now_waiting += q->needed_for_output;
        if (dpb_.size() == before && now_waiting == before_waiting) break;
    }
}

void Decoder::bump() {
    Picture* best = nullptr;
    for (auto& q : dpb_)
        if (q->needed_for_output && (!best || q->poc < best->poc)) best = q.get();
    if (!best) return;
    output(*best);
    best->needed_for_output = false;
}

void Decoder::flush() {
    if (cur_) finish_picture();
    finish_unpaired();
    for (;;) {
        Picture* best = nullptr;
        for (auto& q : dpb_)
            if (q->needed_for_output && (!best || q->poc < best->poc)) best = q.get();
        if (!best) break;
        output(*best);
        best->needed_for_output = false;
    }
    release_unused();
}

// ---- reference marking (clause 8.2.5) ------------------------------------------------------

// Clause 8.2.5.3: with the buffer full of references, the oldest short-term frame (both
// fields) stops being one. The current picture's frame store does not count.
void Decoder::sliding_window() {
    int n = 0;
    for (auto& p : dpb_)
        if (p.get() != store_ && p->is_ref()) ++n;
    while (n >= max_refs_) {
        Picture* oldest = nullptr;
        for (auto& p : dpb_)
            if (p.get() != store_ && p->has_short() &&
                (!oldest || p->decode_order < oldest->decode_order))
                oldest = p.get();
        if (!oldest) break;
        oldest->short_ref = oldest->field[0]->short_ref = oldest->field[1]->short_ref = false;
        derive_frame_marking(*oldest);
        if (!oldest->is_ref()) --n;
    }
}

// A frame is a short-term or long-term reference when both of its fields are.
void Decoder::derive_frame_marking(Picture& s) {
    const Picture& t = *s.field[0];
    const Picture& b = *s.field[1];
    s.short_ref = t.short_ref && b.short_ref;
    s.long_ref = t.long_ref && b.long_ref;
    if (t.long_ref || b.long_ref) s.long_term_idx = t.long_ref ? t.long_term_idx : b.long_term_idx;
}

// Clause 8.2.5 for frames and fields. The marks live in the field views: a frame picture's
// operations act on both fields of a frame, a field picture's on single fields, named by picture
// numbers 2 * FrameNumWrap + 1 (same parity) or 2 * FrameNumWrap (clause 8.2.4.1).
void Decoder::mark_references(const SliceHeader& sh, const Sps& sps) {
    Picture* st = store_;
    const bool field = field_pic_;
    const int par = sh.bottom_field ? 1 : 0;
    const int cur_mask = field ? 1 << par : 3;
    const int max_frame_num = 1 << sps.log2_max_frame_num;
    auto set = [](Picture* s, int mask, bool shrt, bool lng, int idx) {
        for (int f = 0; f < 2; ++f)
            if ((mask >> f) & 1) {
                s->field[f]->short_ref = shrt;
                s->field[f]->long_ref = lng;
                if (lng) s->field[f]->long_term_idx = idx;
            }
    };
    auto derive_all = [&] {
        for (auto& q : dpb_) derive_frame_marking(*q);
    };
    for (auto& q : dpb_)
        if (q->has_short())
            q->frame_num_wrap =
                q->frame_num > sh.frame_num ? q->frame_num - max_frame_num : q->frame_num;
    if (sh.idr) {
        for (auto& q : dpb_)
            if (q.get() != st) set(q.get(), 3, false, false, 0);
        if (sh.long_term_reference) {
            set(st, cur_mask, false, true, 0);
            max_long_term_idx_ = 0;
        } else {
            set(st, cur_mask, true, false, 0);
            max_long_term_idx_ = -1;
        }
        st->frame_num_wrap = sh.frame_num;
        derive_all();
        return;
    }
    const int cur_pic_num = field ? 2 * sh.frame_num + 1 : sh.frame_num;
    // the frame or field of picture number `num` among the short-term (long false) or long-term
    // references: its store and field mask
    auto find = [&](bool long_term, int num, Picture*& s, int& mask) {
        for (auto& q : dpb_) {
            if (!field) {
                if (q.get() != st && (long_term ? q->long_ref && q->long_term_idx == num
                                                : q->has_short() && q->frame_num_wrap == num)) {
                    s = q.get();
                    mask = 3;
                    return true;
                }
                continue;
            }
            for (int f = 0; f < 2; ++f) {
                const Picture* v = q->field[f].get();
                const int base = long_term ? v->long_term_idx : q->frame_num_wrap;
                if (v != cur_ && (long_term ? v->long_ref : v->short_ref) &&
                    2 * base + (f == par ? 1 : 0) == num) {
                    s = q.get();
                    mask = 1 << f;
                    return true;
                }
            }
        }
        return false;
    };
    auto find_short = [&](int pic_num, Picture*& s, int& mask) {
        return find(false, pic_num, s, mask);
    };
    auto find_long = [&](int lt_num, Picture*& s, int& mask) {
        return find(true, lt_num, s, mask);
    };
    // LongTermFrameIdx idx given to a picture of store keep: other frames and fields holding it
    // stop being references
    auto free_long_idx = [&](int idx, const Picture* keep) {
        for (auto& q : dpb_)
            if (q.get() != keep)
                for (int f = 0; f < 2; ++f)
                    if (q->field[f]->long_ref && q->field[f]->long_term_idx == idx)
                        q->field[f]->long_ref = false;
    };
    bool current_long = false;
    if (sh.adaptive_marking) {
        for (const Mmco& m : sh.mmco) {
            Picture* t = nullptr;
            int mask = 0;
            switch (m.op) {
                case 1:
                    if (find_short(cur_pic_num - (m.a + 1), t, mask)) set(t, mask, false, false, 0);
                    break;
                case 2:
                    if (find_long(m.a, t, mask)) set(t, mask, false, false, 0);
                    break;
                case 3:
                    if (!find_short(cur_pic_num - (m.a + 1), t, mask)) {
                        error("marking: no short-term picture %d", cur_pic_num - (m.a + 1));
                        break;
                    }
                    free_long_idx(m.b, t);
                    set(t, mask, false, true, m.b);
                    break;
                case 4:
                    max_long_term_idx_ = m.a - 1;
                    for (auto& q : dpb_)
                        for (int f = 0; f < 2; ++f)
                            if (q->field[f]->long_ref &&
                                q->field[f]->long_term_idx > max_long_term_idx_)
                                q->field[f]->long_ref = false;
                    break;
                case 5:
                    for (auto& q : dpb_)
                        for (int f = 0; f < 2; ++f)
                            if (q->field[f].get() != cur_)
                                q->field[f]->short_ref = q->field[f]->long_ref = false;
                    max_long_term_idx_ = -1;
                    st->mmco5 = true;
                    break;
                case 6:
                    free_long_idx(m.b, st);
                    set(st, cur_mask, false, true, m.b);
                    current_long = true;
                    break;
            }
        }
    } else if (!(field && st->field[par ^ 1]->short_ref)) {
        // (the second field of a pair whose first field is a short-term reference joins it)
        derive_all();
        sliding_window();
    }
    if (!current_long) set(st, cur_mask, true, false, 0);
    st->frame_num_wrap = st->mmco5 ? 0 : sh.frame_num;
    if (st->mmco5) st->frame_num = 0;
    derive_all();
    // a damaged stream can leave more references than allowed: drop the oldest short-term
    // ones, then the long-term ones with the highest indices
    int n = 0;
    for (auto& q : dpb_) n += q->is_ref();
    if (n > max_refs_) sliding_window();
    for (;;) {
        n = 0;
        Picture* worst = nullptr;
        for (auto& q : dpb_) {
            n += q->is_ref();
            const bool lng = q->field[0]->long_ref || q->field[1]->long_ref;
            if (q.get() != st && lng && (!worst || q->long_term_idx > worst->long_term_idx))
                worst = q.get();
        }
        if (n <= max_refs_ || !worst) break;
        worst->field[0]->long_ref = worst->field[1]->long_ref = false;
        derive_frame_marking(*worst);
    }
}

// ---- reference lists (clause 8.2.4) --------------------------------------------------------

// Clause 8.2.4.2.5: the fields of an ordered list of frames, alternating in parity from the
// current field's, each parity in the frames' order; the rest of one parity when the other runs
// out. kind: 0 short-term, 1 long-term fields.
static std::vector<Picture*> alternate_fields(const std::vector<Picture*>& frames, int parity,
                                              int kind, const Picture* cur) {
    auto usable = [&](const Picture* f, int par) {
        const Picture* v = f->field[par].get();
        return v != cur && (kind == 0 ? v->short_ref : v->long_ref);
    };
    std::vector<Picture*> out;
    size_t k[2] = {0, 0};
    int want = parity;
    for (;;) {
        while (k[want] < frames.size() && !usable(frames[k[want]], want ? 1 : 0)) ++k[want];
        if (k[want] >= frames.size()) {
            want ^= 1;  // this parity ran out: the rest of the other
            while (k[want] < frames.size()) {
                if (usable(frames[k[want]], want))
                    out.push_back(frames[k[want]]->field[want].get());
                ++k[want];
            }
            break;
        }
        out.push_back(frames[k[want]]->field[want].get());
        ++k[want];
        want ^= 1;
    }
    return out;
}

bool Decoder::build_ref_lists(const SliceHeader& sh, std::vector<Picture*> lists[2]) {
    const Sps& sps = *sps_active_;
    int max_frame_num = 1 << sps.log2_max_frame_num;
    const bool field = field_pic_;
    const int par = sh.bottom_field ? 1 : 0;
    // frame decoding: frames whose fields are both references; field decoding: frames with a
    // field marked so (the current field's own first field included)
    std::vector<Picture*> st, lt;
    for (auto& q : dpb_) {
        Picture* p = q.get();
        if (p->has_short())
            p->frame_num_wrap =
                p->frame_num > sh.frame_num ? p->frame_num - max_frame_num : p->frame_num;
        if (!field) {
            if (p == cur_) continue;
            if (p->short_ref)
                st.push_back(p);
            else if (p->long_ref)
                lt.push_back(p);
            continue;
        }
        const Picture* other = p->field[par ^ 1].get();
        const Picture* same = p->field[par].get();
        const bool s_ok = other->short_ref || (same != cur_ && same->short_ref);
        const bool l_ok = other->long_ref || (same != cur_ && same->long_ref);
        if (s_ok) st.push_back(p);
        if (l_ok) lt.push_back(p);
    }
    std::sort(lt.begin(), lt.end(),
              [](Picture* a, Picture* b) { return a->long_term_idx < b->long_term_idx; });
    lists[0].clear();
    lists[1].clear();
    const int cur_poc = cur_->poc;
    // the order count of a frame entry in field decoding: of its reference fields only
    auto entry_poc = [&](const Picture* p) {
        if (!field) return p->poc;
        int v = std::numeric_limits<int>::max();
        for (int f = 0; f < 2; ++f) {
            const Picture* x = p->field[f].get();
            if (x != cur_ && x->short_ref) v = std::min(v, x->poc);
        }
        return v;
    };
    if (sh.slice_type == 0) {
        std::sort(st.begin(), st.end(),
                  [](Picture* a, Picture* b) { return a->frame_num_wrap > b->frame_num_wrap; });
        if (field) {
            lists[0] = alternate_fields(st, par, 0, cur_);
            const std::vector<Picture*> l = alternate_fields(lt, par, 1, cur_);
            lists[0].insert(lists[0].end(), l.begin(), l.end());
        } else {
            lists[0] = st;
            lists[0].insert(lists[0].end(), lt.begin(), lt.end());
        }
    } else {
        std::vector<Picture*> before, after;
        for (Picture* p : st) (entry_poc(p) <= cur_poc ? before : after).push_back(p);
        std::sort(before.begin(), before.end(),
                  [&](Picture* a, Picture* b) { return entry_poc(a) > entry_poc(b); });
        std::sort(after.begin(), after.end(),
                  [&](Picture* a, Picture* b) { return entry_poc(a) < entry_poc(b); });
        std::vector<Picture*> f0 = before, f1 = after;
        f0.insert(f0.end(), after.begin(), after.end());
        f1.insert(f1.end(), before.begin(), before.end());
        if (field) {
            lists[0] = alternate_fields(f0, par, 0, cur_);
            lists[1] = alternate_fields(f1, par, 0, cur_);
            const std::vector<Picture*> l = alternate_fields(lt, par, 1, cur_);
            lists[0].insert(lists[0].end(), l.begin(), l.end());
            lists[1].insert(lists[1].end(), l.begin(), l.end());
        } else {
            lists[0] = f0;
            lists[0].insert(lists[0].end(), lt.begin(), lt.end());
            lists[1] = f1;
            lists[1].insert(lists[1].end(), lt.begin(), lt.end());
        }
        if (lists[1].size() > 1 && lists[0] == lists[1]) std::swap(lists[1][0], lists[1][1]);
    }
    // the pictures the modification can name: short-term and long-term frames or fields
    std::vector<Picture*> sp, lp;
    if (field) {
        for (Picture* p : st)
            for (int f = 0; f < 2; ++f)
                if (p->field[f].get() != cur_ && p->field[f]->short_ref)
                    sp.push_back(p->field[f].get());
        for (Picture* p : lt)
            for (int f = 0; f < 2; ++f)
                if (p->field[f].get() != cur_ && p->field[f]->long_ref)
                    lp.push_back(p->field[f].get());
    } else {
        sp = st;
        lp = lt;
    }
    // picture numbers (clause 8.2.4.1)
    auto pic_num = [&](const Picture* p) {
        if (!field) return p->frame_num_wrap;
        const int same = p->structure - 1 == par ? 1 : 0;
        return 2 * p->parent->frame_num_wrap + same;
    };
    auto long_num = [&](const Picture* p) {
        if (!field) return p->long_term_idx;
        return 2 * p->long_term_idx + (p->structure - 1 == par ? 1 : 0);
    };
    const int max_pic_num = field ? 2 * max_frame_num : max_frame_num;
    const int cur_pic_num = field ? 2 * sh.frame_num + 1 : sh.frame_num;
    for (int l = 0; l < 2; ++l) {
        int n = sh.num_ref_idx[l];
        if (int(lists[l].size()) > n) lists[l].resize(size_t(n));
        // modification (clause 8.2.4.3)
        int pred = cur_pic_num;
        int idx = 0;
        for (const RefMod& m : sh.ref_mod[l]) {
            if (idx >= n) break;
            Picture* t = nullptr;
            if (m.op == 0 || m.op == 1) {
                int d = m.value + 1;
                if (d > max_pic_num) return error("bad reordering"), false;
                int nowrap = m.op == 0 ? pred - d : pred + d;
                if (nowrap < 0) nowrap += max_pic_num;
                if (nowrap >= max_pic_num) nowrap -= max_pic_num;
                pred = nowrap;
                int num = nowrap > cur_pic_num ? nowrap - max_pic_num : nowrap;
                for (Picture* p : sp)
                    if (pic_num(p) == num) t = p;
            } else {
                for (Picture* p : lp)
                    if (long_num(p) == m.value) t = p;
            }
            if (!t) {
                error("reordering names a missing reference");
                continue;
            }
            std::vector<Picture*>& L = lists[l];
            L.insert(L.begin() + idx, t);
            ++idx;
            for (size_t k = size_t(idx); k < L.size();) {
                if (L[k] == t)
                    L.erase(L.begin() + long(k));
                else
                    ++k;
            }
            if (int(L.size()) > n) L.resize(size_t(n));
        }
        // missing entries: a damaged or unusual stream; use any reference so decoding goes on
        if (int(lists[l].size()) < n) {
            Picture* fill = !lists[l].empty() ? lists[l].back() : nullptr;
            if (!fill && !sp.empty()) fill = sp[0];
            if (!fill && !lp.empty()) fill = lp[0];
            if (!fill) fill = cur_;  // nothing to refer to: predict from the picture itself
            while (int(lists[l].size()) < n) lists[l].push_back(fill);
        }
    }
    return true;
}

// ---- slice groups (clause 8.2.2) -----------------------------------------------------------

void Decoder::build_slice_group_map(const SliceHeader& sh, const Sps& sps, const Pps& pps) {
    int n = mb_width_ * mb_height_;
    mb_to_slice_group_.assign(size_t(n), 0);
    one_group_ = pps.num_slice_groups <= 1;
    if (one_group_) return;
    int w = mb_width_, h = mb_height_, groups = pps.num_slice_groups;
    std::vector<int>& m = mb_to_slice_group_;
    // (the product of a hostile cycle and rate exceeds int: formed in 64 bits)
    const int units_in_group0 = int(
        std::min<int64_t>(int64_t(sh.slice_group_change_cycle) * pps.slice_group_change_rate, n));
    switch (pps.slice_group_map_type) {
        case 0: {
            int i = 0;
            do {
                for (int g = 0; g < groups && i < n; i += pps.run_length[size_t(g++)])
                    for (int j = 0; j < pps.run_length[size_t(g)] && i + j < n; ++j)
                        m[size_t(i + j)] = g;
            } while (i < n);
            break;
        }
        case 1:
            for (int i = 0; i < n; ++i)
                m[size_t(i)] = ((i % w) + (((i / w) * groups) / 2)) % groups;
            break;
        case 2:
            std::fill(m.begin(), m.end(), groups - 1);
            for (int g = groups - 2; g >= 0; --g) {
                int tl = pps.top_left[size_t(g)], br = pps.bottom_right[size_t(g)];
                int yt = tl / w, xt = tl % w, yb = br / w, xb = br % w;
                for (int y = yt; y <= yb && y < h; ++y)
                    for (int x = xt; x <= xb && x < w; ++x) m[size_t(y * w + x)] = g;
            }
            break;
        case 3: {  // box-out
            std::fill(m.begin(), m.end(), 1);
            int dir = pps.slice_group_change_direction ? 1 : 0;
            int x = (w - dir) / 2, y = (h - dir) / 2;
            int left = x, top = y, right = x, bottom = y;
            int xdir = dir - 1, ydir = dir;
            for (int k = 0, guard = 0; k < units_in_group0 && guard < 4 * n + 16; ++guard) {
                bool vacant = m[size_t(y * w + x)] == 1;
                if (vacant) m[size_t(y * w + x)] = 0;
                if (xdir == -1 && x == left) {
                    left = std::max(left - 1, 0);
                    x = left;
                    xdir = 0;
                    ydir = 2 * dir - 1;
                } else if (xdir == 1 && x == right) {
                    right = std::min(right + 1, w - 1);
                    x = right;
                    xdir = 0;
                    ydir = 1 - 2 * dir;
                } else if (ydir == -1 && y == top) {
                    top = std::max(top - 1, 0);
                    y = top;
                    xdir = 1 - 2 * dir;
                    ydir = 0;
                } else if (ydir == 1 && y == bottom) {
                    bottom = std::min(bottom + 1, h - 1);
                    y = bottom;
                    xdir = 2 * dir - 1;
                    ydir = 0;
                } else {
                    x += xdir;
                    y += ydir;
                }
                k += vacant ? 1 : 0;
            }
            break;
        }
        case 4: {
            int size0 = pps.slice_group_change_direction ? n - units_in_group0 : units_in_group0;
            for (int i = 0; i < n; ++i)
                m[size_t(i)] = i < size0 ? (pps.slice_group_change_direction ? 1 : 0)
                                         : (pps.slice_group_change_direction ? 0 : 1);
            break;
        }
        case 5: {
            int size0 = pps.slice_group_change_direction ? n - units_in_group0 : units_in_group0;
            int k = 0;
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y, ++k)
                    m[size_t(y * w + x)] = k < size0 ? (pps.slice_group_change_direction ? 1 : 0)
                                                     : (pps.slice_group_change_direction ? 0 : 1);
            break;
        }
        case 6:
            for (int i = 0; i < n; ++i)
                m[size_t(i)] =
                    i < int(pps.slice_group_id.size()) ? pps.slice_group_id[size_t(i)] : 0;
            break;
    }
    (void)sps;
}

int Decoder::next_mb_in_group(int mb) const {
    int n = mb_width_ * mb_height_;
    int g = mb_to_slice_group_[size_t(mb)];
    for (++mb; mb < n && mb_to_slice_group_[size_t(mb)] != g; ++mb) {
    }
    return mb;
}

// ---- output --------------------------------------------------------------------------------

void Decoder::output(Picture& p) {
    if (stop()) return;
    if (!opt_.md5 && !writer_.enabled()) {  // decoding only (timing)
        ++frames_out_;
        if (opt_.progress) opt_.progress->frame();
        return;
    }
    const Sps& sps = *sps_active_;
    opxcli::PictureFormat fmt = picture_format(sps);
    // samples of 8 bits as bytes, deeper ones as 16-bit little-endian words (the native
    // format of the reference decoder, on this little-endian machine the planes as they are)
    const size_t pb = size_t(p.pel_bytes);
    const int sub_y = p.chroma_format == 2 ? 1 : 2;
    const size_t coff = (size_t(sps.crop_top / sub_y) * p.cwidth + sps.crop_left / 2) * pb;
    const uint8_t* cb = p.cb + coff;
    const uint8_t* cr = p.cr + coff;
    std::ptrdiff_t cstride = std::ptrdiff_t(p.cwidth * pb);
    // 4:0:0 pictures go out as 4:2:0 with mid-grey chroma, as the reference decoder gives them.
    if (sps.chroma_format_idc == 0) {
        const Opx16u grey = Opx16u(1u << (sps.bit_depth_luma - 1));
        gray_.resize(size_t(fmt.chroma_width()) * pb);
        for (size_t i = 0; i < size_t(fmt.chroma_width()); ++i)
            std::memcpy(gray_.data() + i * pb, &grey, pb);  // little-endian: the low byte first
        cb = cr = gray_.data();
        cstride = 0;
    }
    const opxcli::Plane planes[3] = {{p.y + (size_t(sps.crop_top) * p.width + sps.crop_left) * pb,
                                      std::ptrdiff_t(p.width * pb), fmt.width, fmt.height},
                                     {cb, cstride, fmt.chroma_width(), fmt.chroma_height()},
                                     {cr, cstride, fmt.chroma_width(), fmt.chroma_height()}};
    if (opt_.md5) std::printf("%ld %s\n", frames_out_, opxcli::frame_md5(fmt, planes).c_str());
    if (!writer_.write(fmt, planes)) {
        output_failed_ = true;
        return;
    }
    ++frames_out_;
    if (opt_.progress) opt_.progress->frame();
}

opxcli::PictureFormat picture_format(const Sps& sps) {
    opxcli::PictureFormat f;
    f.width = sps.mb_width * 16 - sps.crop_left - sps.crop_right;
    f.height = sps.mb_height * 16 - sps.crop_top - sps.crop_bottom;
    f.chroma = sps.chroma_format_idc == 2 ? opxcli::Chroma::k422 : opxcli::Chroma::k420;
    f.bit_depth = sps.bit_depth_luma;
    if (sps.time_scale > 0 && sps.num_units_in_tick > 0) {
        // A frame lasts two ticks (clause E.2.1, a frame of two fields); reduce the fraction.
        uint64_t n = sps.time_scale, d = 2 * uint64_t(sps.num_units_in_tick);
        uint64_t a = n, b = d;
        while (b) {
            const uint64_t t = a % b;
            a = b;
            b = t;
        }
        n /= a;
        d /= a;
        if (n <= INT_MAX && d <= INT_MAX) {
            f.fps_num = int(n);
            f.fps_den = int(d);
        }
    }
    f.sar_num = sps.sar_num;
    f.sar_den = sps.sar_den;
    f.full_range = sps.full_range;
    return f;
}

}  // namespace h264dec
