// Slice and macroblock layers (ITU-T H.262 clauses 6.2.4-6.2.6 and 7.2-7.6; ISO/IEC 11172-2
// clause 2.4.2.7): the decoder reads the macroblock header and motion vectors itself; each block
// is one library call that decodes and dequantises it, one inverse DCT of the decoder's own, and
// each prediction with its residual one library motion-compensation call.
#include <algorithm>
#include <cstring>

#include "m2vdec.hpp"

namespace m2vdec {

namespace {

// macroblock_type flags (as the code lists give them)
enum MbFlags : int { kQuant = 16, kForward = 8, kBackward = 4, kPattern = 2, kIntra = 1 };
enum MotionType : int { kField = 1, kFrame = 2, kDualPrime = 3 };

// Table 7-6, quantiser_scale for q_scale_type 1
constexpr int kNonLinearScale[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12,
                                     14, 16, 18, 20, 22, 24, 28, 32, 36, 40, 44,
                                     48, 52, 56, 64, 72, 80, 88, 96, 104, 112};

bool vlc(Bits& b, const Opx32s* table, int& value) {
    Opx32u* p = const_cast<Opx32u*>(b.ptr);
    Opx32s o = b.pos, v = 0;
    if (opxiDecodeHuffmanOne_1u32s(&p, &o, &v, table) != opxOk) return false;
    b.ptr = p;
    b.pos = o;
    value = v;
    return !b.overrun();
}

// Where block k of a macroblock goes: component, offset inside the macroblock's part of that
// plane, and the row step in rows (2 for field DCT: the block holds one field's rows). Luma
// blocks 0-3; 4:2:0 Cb 4, Cr 5; 4:2:2 Cb 4 and 6, Cr 5 and 7 (top, bottom), whose chroma is
// 16 rows high and takes the macroblock's dct_type too.
struct BlockPlace {
    int c, x, y, row_step, mb_w, mb_h;
};
BlockPlace place(int k, bool field_dct, int chroma_format) {
    if (k < 4) return {0, (k & 1) * 8, field_dct ? (k >> 1) : (k >> 1) * 8, field_dct ? 2 : 1, 16, 16};
    const int c = (k & 1) ? 2 : 1;
    if (chroma_format == 1) return {c, 0, 0, 1, 8, 8};
    const int lower = k >= 6;
    return {c, 0, field_dct ? lower : lower * 8, field_dct ? 2 : 1, 8, 16};
}

// Start of a component in the residual buffer (room for 4:2:2)
constexpr int kResidualSize = 256 + 2 * 128;
int residual_offset(int c) { return c == 0 ? 0 : 256 + (c - 1) * 128; }

// Integer sample position of a vector component, kept inside the frame's margin.
int clamp_position(int pos, int block, int size) { return std::min(std::max(pos, -block), size); }

}  // namespace

// ---- slice ---------------------------------------------------------------------------------
void Decoder::decode_slice(Bits& b, int slice_vertical_position) {
    if (slice_vertical_position > seq_.mb_height) {
        damage("slice below the picture");
        return;
    }
    int quantiser_scale_code = int(b.u(5));
    if (seq_.mpeg2 && b.peek(1)) b.skip(9);  // intra_slice_flag, intra_slice, reserved_bits
    while (b.bit()) b.skip(8);               // extra_information_slice
    const int dc_reset = seq_.mpeg2 ? 1 << (7 + pic_.intra_dc_precision) : 1024;
    auto reset_dc = [&] { dc_pred_[0] = dc_pred_[1] = dc_pred_[2] = Opx16s(dc_reset); };
    reset_dc();
    std::memset(pmv_, 0, sizeof pmv_);
    last_flags_ = 0;

    // macroblock_address_increment, with macroblock_escape and (MPEG-1) macroblock_stuffing
    auto increment = [&](int& inc) {
        inc = 0;
        for (;;) {
            if (b.peek(11) == 0x0F) {
                b.skip(11);
                continue;
            }
            int v = 0;
            if (!vlc(b, tab_.mb_addr_inc, v)) return false;
            if (v == 34) {
                inc += 33;
                continue;
            }
            inc += v;
            return true;
        }
    };
    const int mb_count = seq_.mb_width * seq_.mb_height;
    int inc = 0;
    if (!increment(inc)) return damage("macroblock_address_increment");
    int addr = (slice_vertical_position - 1) * seq_.mb_width + inc - 1;
    for (;;) {
        if (addr >= mb_count) return damage("macroblock address beyond the picture");
        if (!decode_macroblock(b, addr % seq_.mb_width, addr / seq_.mb_width, quantiser_scale_code))
            return;
        if (b.error || b.overrun()) return damage("slice ends inside a macroblock");
        // the slice ends where 23 zero bits (the next start code) follow
        if (b.peek(23) == 0) return;
        if (!increment(inc)) return damage("macroblock_address_increment");
        if (addr + inc >= mb_count) return damage("macroblock address beyond the picture");
        for (int k = 1; k < inc; ++k) {
            ++addr;
            if (pic_.picture_coding_type == kI) return damage("skipped macroblock in an I-picture");
            skip_macroblock(addr % seq_.mb_width, addr / seq_.mb_width);
            reset_dc();
        }
        ++addr;
    }
}

// ---- macroblock ----------------------------------------------------------------------------
bool Decoder::decode_macroblock(Bits& b, int mb_x, int mb_y, int& quantiser_scale_code) {
    cur_mb_x_ = mb_x;
    cur_mb_y_ = mb_y;
    int flags = 0;
    if (!vlc(b, tab_.mb_type[pic_.picture_coding_type], flags)) {
        damage("macroblock_type");
        return false;
    }
    const bool intra = flags & kIntra;
    motion_type_ = kFrame;
    dct_type_field_ = false;
    if (seq_.mpeg2 && !pic_.frame_pred_frame_dct) {
        if (flags & (kForward | kBackward)) motion_type_ = int(b.u(2));
        if (intra || (flags & kPattern)) dct_type_field_ = b.bit();
    }
    if (motion_type_ == kDualPrime) {
        refuse("dual-prime prediction");
        return false;
    }
    if (motion_type_ == 0) {
        damage("reserved frame_motion_type");
        return false;
    }
    if (flags & kQuant) quantiser_scale_code = int(b.u(5));
    if (quantiser_scale_code == 0) {
        damage("quantiser_scale_code 0");
        return false;
    }
    quantiser_scale_ = !seq_.mpeg2          ? quantiser_scale_code
                       : pic_.q_scale_type ? kNonLinearScale[quantiser_scale_code]
                                           : 2 * quantiser_scale_code;

    const bool concealment = intra && pic_.concealment_motion_vectors;
    const int count = motion_type_ == kField ? 2 : 1;
    if ((flags & kForward) || concealment) {
        if (!read_motion_vectors(b, 0, count, motion_type_ == kField)) return false;
    }
    if (flags & kBackward) {
        if (!read_motion_vectors(b, 1, count, motion_type_ == kField)) return false;
    }
    if (concealment) b.skip(1);  // marker_bit

    // coded_block_pattern: 6 bits, and 2 more (coded_block_pattern_1) in 4:2:2
    const int block_count = seq_.chroma_format == 2 ? 8 : 6;
    int cbp = 0;
    if (flags & kPattern) {
        if (!vlc(b, tab_.cbp, cbp)) {
            damage("coded_block_pattern");
            return false;
        }
        if (block_count == 8) cbp = cbp << 2 | int(b.u(2));
    } else if (intra) {
        cbp = (1 << block_count) - 1;
    }
    if (b.error) {
        damage("macroblock header");
        return false;
    }

    if (intra) {
        if (!pic_.concealment_motion_vectors) std::memset(pmv_, 0, sizeof pmv_);
        Opx16s coeffs[64];
        for (int k = 0; k < block_count; ++k) {
            bool dc_only;
            if (!decode_block(b, k, true, quantiser_scale_, coeffs, dc_only)) return false;
            const BlockPlace bp = place(k, dct_type_field_, seq_.chroma_format);
            const int stride = cur_->stride[bp.c];
            uint8_t* dst = cur_->plane[bp.c] + (mb_y * bp.mb_h) * stride + mb_x * bp.mb_w +
                           bp.x + bp.y * stride;
            if (dc_only)
                idct8x8_dc_samples(coeffs[0], coeffs[63], dst, stride * bp.row_step);
            else
                idct8x8_samples_t(coeffs, dst, stride * bp.row_step);
        }
        last_flags_ = flags;
        return true;
    }

    // non-intra: the DC predictors reset; a P macroblock without motion_forward predicts with a
    // zero frame vector and resets the motion vector predictors
    dc_pred_[0] = dc_pred_[1] = dc_pred_[2] =
        Opx16s(seq_.mpeg2 ? 1 << (7 + pic_.intra_dc_precision) : 1024);
    if (pic_.picture_coding_type == kP && !(flags & kForward)) {
        std::memset(pmv_, 0, sizeof pmv_);
        std::memset(mv_, 0, sizeof mv_);
        motion_type_ = kFrame;
        flags |= kForward;
    }
    // residual in frame order: 16×16 luma, then Cb and Cr, 8 wide and 8 or 16 rows each
    // coded blocks write all their samples, blocks not coded are cleared (8 rows of 8 each)
    alignas(32) Opx16s residual[kResidualSize];
    Opx16s coeffs[64];
    for (int k = 0; k < block_count; ++k) {
        if (!(cbp & (1 << (block_count - 1 - k)))) {
            const BlockPlace bp = place(k, dct_type_field_, seq_.chroma_format);
            Opx16s* r = residual + residual_offset(bp.c) + bp.y * bp.mb_w + bp.x;
            for (int row = 0; row < 8; ++row) std::memset(r + row * bp.mb_w * bp.row_step, 0, 16);
            continue;
        }
        bool dc_only;
        if (!decode_block(b, k, false, quantiser_scale_, coeffs, dc_only)) return false;
        const BlockPlace bp = place(k, dct_type_field_, seq_.chroma_format);
        const int w = bp.mb_w;
        Opx16s* const out = residual + residual_offset(bp.c) + bp.y * w + bp.x;
        if (dc_only)
            idct8x8_dc_residual(coeffs[0], coeffs[63], out, w * bp.row_step);
        else
            idct8x8_residual_t(coeffs, out, w * bp.row_step);
    }
    predict(mb_x, mb_y, flags, residual);
    last_flags_ = flags;
    return true;
}

// A skipped macroblock (clause 7.6.6): P, zero vector from the forward reference; B, the
// previous macroblock's prediction directions and vectors. No residual.
void Decoder::skip_macroblock(int mb_x, int mb_y) {
    alignas(32) static const Opx16s zero[kResidualSize] = {};
    int flags = last_flags_;
    if (pic_.picture_coding_type == kP) {
        std::memset(pmv_, 0, sizeof pmv_);
        std::memset(mv_, 0, sizeof mv_);
        motion_type_ = kFrame;
        flags = kForward;
    } else {
        // frame prediction with the vector predictors, which hold the previous macroblock's
        // vectors (the first field vector's, vertical in frame units, after field prediction)
        motion_type_ = kFrame;
        for (int s = 0; s < 2; ++s) {
            const int shift = seq_.mpeg2 ? 0 : pic_.full_pel_vector[s];
            mv_[0][s][0] = pmv_[0][s][0] * (1 << shift);
            mv_[0][s][1] = pmv_[0][s][1] * (1 << shift);
        }
        if (!(flags & (kForward | kBackward))) {
            damage("skipped B macroblock after an intra one");
            flags = kForward;
        }
    }
    predict(mb_x, mb_y, flags, zero);
}

// ---- motion vectors (clause 7.6.3) -----------------------------------------------------------
int Decoder::read_vector_component(Bits& b, int f_code, int pred) {
    int motion_code = 0;
    if (!vlc(b, tab_.motion_code, motion_code)) {
        b.error = true;
        return 0;
    }
    const int r_size = f_code - 1, f = 1 << r_size;
    int delta = motion_code;
    if (f != 1 && motion_code != 0) {
        const int residual = int(b.u(r_size));
        delta = ((std::abs(motion_code) - 1) * f) + residual + 1;
        if (motion_code < 0) delta = -delta;
    }
    const int high = 16 * f - 1, low = -16 * f, range = 32 * f;
    int v = pred + delta;
    if (v > high) v -= range;
    if (v < low) v += range;
    return v;
}

bool Decoder::read_motion_vectors(Bits& b, int s, int motion_vector_count, bool mv_format_field) {
    if (motion_vector_count == 1) {
        if (mv_format_field) field_select_[0][s] = int(b.u(1));
        // (MPEG-1: both are forward_f_code or backward_f_code of the picture header)
        const int fh = pic_.f_code[s][0], fv = pic_.f_code[s][1];
        if (fh < 1 || fh > 9 || fv < 1 || fv > 9) {
            damage("f_code");
            return false;
        }
        const int x = read_vector_component(b, fh, pmv_[0][s][0]);
        const int y = read_vector_component(b, fv, pmv_[0][s][1]);
        pmv_[0][s][0] = pmv_[1][s][0] = x;
        pmv_[0][s][1] = pmv_[1][s][1] = y;
        // MPEG-1 full_pel_vector: the vector and its predictor count whole samples
        const int shift = seq_.mpeg2 ? 0 : pic_.full_pel_vector[s];
        mv_[0][s][0] = x * (1 << shift);
        mv_[0][s][1] = y * (1 << shift);
    } else {
        const int fh = pic_.f_code[s][0], fv = pic_.f_code[s][1];
        if (fh < 1 || fh > 9 || fv < 1 || fv > 9) {
            damage("f_code");
            return false;
        }
        for (int r = 0; r < 2; ++r) {
            field_select_[r][s] = int(b.u(1));
            const int x = read_vector_component(b, fh, pmv_[r][s][0]);
            // field vectors of a frame picture: the vertical predictor is in frame units
            const int y = read_vector_component(b, fv, pmv_[r][s][1] >> 1);
            pmv_[r][s][0] = x;
            pmv_[r][s][1] = y * 2;
            mv_[r][s][0] = x;
            mv_[r][s][1] = y;
        }
    }
    if (b.error) {
        damage("motion vector");
        return false;
    }
    return true;
}

// ---- prediction and residual (clause 7.6.4-7.6.8) --------------------------------------------
void Decoder::predict(int mb_x, int mb_y, int flags, const Opx16s* residual) {
    const Frame* ref[2] = {fwd_.get(), bwd_.get()};
    if (pic_.picture_coding_type == kP) ref[0] = bwd_.get();  // the newest reference
    const bool use[2] = {(flags & kForward) != 0, (flags & kBackward) != 0};
    for (int s = 0; s < 2; ++s) {
        if (use[s] && !ref[s]) {
            damage("prediction without a reference picture");
            return;
        }
        if (use[s] && (ref[s]->width[1] != cur_->width[1] || ref[s]->height[1] != cur_->height[1] ||
                       ref[s]->width[0] != cur_->width[0] || ref[s]->height[0] != cur_->height[0])) {
            damage("reference picture of another size");
            return;
        }
    }
    Frame& f = *cur_;
    const int x = mb_x * 16, y = mb_y * 16;
    const int fields = motion_type_ == kField ? 2 : 1;
    for (int r = 0; r < fields; ++r) {
        // per field (r: destination field) or the whole frame: block height and row steps
        const int h = 16 / fields;
        const int dst_row = fields == 2 ? r : 0;
        for (int c = 0; c < 3; ++c) {
            const int step = f.stride[c] * fields;
            const bool half_height = c && seq_.chroma_format == 1;
            const int bw = c ? 8 : 16, bh = half_height ? h / 2 : h;
            const int bx = c ? x / 2 : x, by = half_height ? y / 2 : y;
            const uint8_t* src[2] = {nullptr, nullptr};
            int src_step[2] = {step, step};
            int type[2] = {0, 0};
            for (int s = 0; s < 2; ++s) {
                if (!use[s]) continue;
                int vx = mv_[fields == 2 ? r : 0][s][0], vy = mv_[fields == 2 ? r : 0][s][1];
                if (c) {  // chroma vectors: half, truncated toward zero (vertically in 4:2:0 only)
                    vx /= 2;
                    if (half_height) vy /= 2;
                }
                const int sel = fields == 2 ? field_select_[r][s] : 0;
                const int rows = f.height[c] / fields;
                const int ix = clamp_position(bx + (vx >> 1), bw, f.width[c]);
                const int iy = clamp_position(by / fields + (vy >> 1), bh, rows);
                type[s] = ((vx & 1) ? 8 : 0) | ((vy & 1) ? 4 : 0);
                const uint8_t* field = ref[s]->plane[c] + sel * ref[s]->stride[c];
                if (fields == 2 && (iy < 0 || iy + bh + 1 > rows)) {
                    // a field block reaching outside the picture sees its own field's edge rows
                    for (int j = 0; j <= bh; ++j) {
                        const int row = std::min(std::max(iy + j, 0), rows - 1);
                        std::memcpy(edge_[s] + j * kEdgeStride, field + row * step + ix, size_t(bw + 1));
                    }
                    src[s] = edge_[s];
                    src_step[s] = kEdgeStride;
                } else {
                    src[s] = field + iy * step + ix;
                    // The rows one cache line to the right, which the macroblocks 64 / bw further
                    // on read with similar vectors: fetched ahead, the motion compensation's
                    // reads wait on memory far less. (Asking only when a block begins a line, a
                    // quarter as many requests, lost most of the gain.)
                    for (int j = 0; j <= bh; ++j) __builtin_prefetch(src[s] + j * step + 64);
                }
            }
            uint8_t* dst = f.plane[c] + (by + dst_row) * f.stride[c] + bx;
            const Opx16s* res = residual + residual_offset(c) + dst_row * bw;
            const int res_step = (c ? 16 : 32) * fields;  // bytes
            const int one = use[0] ? 0 : 1;
            if (use[0] && use[1]) {
                if (c == 0 && fields == 1)
                    opxiMC16x16B_8u_C1(src[0], src_step[0], type[0], src[1], src_step[1], type[1], res, res_step, dst, step, 0);
                else if (c == 0)
                    opxiMC16x8B_8u_C1(src[0], src_step[0], type[0], src[1], src_step[1], type[1], res, res_step, dst, step, 0);
                else if (bh == 16)
                    opxiMC8x16B_8u_C1(src[0], src_step[0], type[0], src[1], src_step[1], type[1], res, res_step, dst, step, 0);
                else if (bh == 8)
                    opxiMC8x8B_8u_C1(src[0], src_step[0], type[0], src[1], src_step[1], type[1], res, res_step, dst, step, 0);
                else
                    opxiMC8x4B_8u_C1(src[0], src_step[0], type[0], src[1], src_step[1], type[1], res, res_step, dst, step, 0);
            } else {
                if (c == 0 && fields == 1)
                    opxiMC16x16_8u_C1(src[one], src_step[one], res, res_step, dst, step, type[one], 0);
                else if (c == 0)
                    opxiMC16x8_8u_C1(src[one], src_step[one], res, res_step, dst, step, type[one], 0);
                else if (bh == 16)
                    opxiMC8x16_8u_C1(src[one], src_step[one], res, res_step, dst, step, type[one], 0);
                else if (bh == 8)
                    opxiMC8x8_8u_C1(src[one], src_step[one], res, res_step, dst, step, type[one], 0);
                else
                    opxiMC8x4_8u_C1(src[one], src_step[one], res, res_step, dst, step, type[one], 0);
            }
        }
    }
}

// ---- blocks --------------------------------------------------------------------------------
bool Decoder::decode_block(Bits& b, int block, bool intra, int qscale, Opx16s coeffs[64], bool& dc_only) {
    dc_only = false;
    if (opt_.levels_path) return decode_block_levels(b, block, intra, qscale, coeffs);
    const int c = block < 4 ? 0 : (block & 1) ? 2 : 1;
    // transposed scan and weights: the coefficients come out transposed
    const Opx32s* scan = tab_.scan_t[pic_.alternate_scan ? 1 : 0];
    Opx32u* p = const_cast<Opx32u*>(b.ptr);
    Opx32s o = b.pos, size = 0;
    OpxResult r;
    if (intra) {
        const Opx16s* w = weights_t_[c ? 1 : 0];
        const Opx32s* ac = pic_.intra_vlc_format && seq_.mpeg2 ? tab_.b15 : tab_.b14;
        if (seq_.mpeg2)
            r = opxiReconstructDCTBlockIntra_MPEG2_32s(&p, &o, tab_.dc_size[c ? 1 : 0], ac, scan, qscale, w,
                                                       &dc_pred_[c], 3 - pic_.intra_dc_precision, coeffs, &size);
        else
            r = opxiReconstructDCTBlockIntra_MPEG1_32s(&p, &o, tab_.dc_size[c ? 1 : 0], ac, scan, qscale, w,
                                                       &dc_pred_[c], coeffs, &size);
    } else {
        const Opx16s* w = weights_t_[c ? 3 : 2];
        if (seq_.mpeg2)
            r = opxiReconstructDCTBlock_MPEG2_32s(&p, &o, tab_.b14_first, tab_.b14, scan, qscale, w, coeffs, &size);
        else
            r = opxiReconstructDCTBlock_MPEG1_32s(&p, &o, tab_.b14_first, tab_.b14, scan, qscale, w, coeffs, &size);
    }
    b.ptr = p;
    b.pos = o;
    if (r != opxOk || b.overrun()) {
        damage("block data");
        return false;
    }
    // The last scan position: 0 for an intra block with no AC coefficient; for a non-intra
    // block 1 also when it is 0, so scan position 1 must be zero as well. Mismatch control
    // may have set F(7, 7), which is never at scan position 0 or 1.
    dc_only = intra ? size == 0 : size <= 1 && coeffs[scan[1]] == 0;
    if (opt_.coeffs) print_coeffs(block, coeffs);
    return true;
}

// The same block in steps (--path=levels, MPEG-2): run/level pairs through the library's pair
// decoder, the levels placed in raster order by its inverse scan, then its inverse quantiser.
bool Decoder::decode_block_levels(Bits& b, int block, bool intra, int qscale, Opx16s coeffs[64]) {
    const int c = block < 4 ? 0 : (block & 1) ? 2 : 1;
    Opx16s levels[64] = {};
    int pos = 0;  // next scan position
    if (intra) {
        int size = 0;
        if (!vlc(b, tab_.dc_size[c ? 1 : 0], size) || size > 11) return damage("dct_dc_size"), false;
        int diff = 0;
        if (size) {
            diff = int(b.u(size));
            if (!(diff >> (size - 1))) diff -= (1 << size) - 1;  // dct_dc_differential < 0
        }
        dc_pred_[c] = Opx16s(dc_pred_[c] + diff);
        pos = 1;
    }
    const Opx32s* table = intra && pic_.intra_vlc_format ? tab_.b15 : tab_.b14;
    for (bool first = !intra;; first = false) {
        int run = 0, level = 0;
        if (first && b.peek(1)) {  // "1s": run 0, level ±1 at the first position
            b.skip(1);
            level = b.bit() ? -1 : 1;
        } else {
            Opx32u* p = const_cast<Opx32u*>(b.ptr);
            Opx32s o = b.pos;
            Opx8u r = 0;
            Opx16s l = 0;
            if (opxiDecodeHuffmanPair_1u16s(&p, &o, first ? tab_.b14_first : table, &r, &l) != opxOk)
                return damage("DCT coefficient code"), false;
            b.ptr = p;
            b.pos = o;
            if (r == 254) break;  // End of Block
            run = r;
            level = l;
            if (r == 255) {  // Escape: 6-bit run, 12-bit level
                run = int(b.u(6));
                level = int(b.u(12));
                if (level >= 2048) level -= 4096;
            }
        }
        pos += run;
        if (pos > 63 || b.overrun()) return damage("block data"), false;
        levels[pos++] = Opx16s(level);
    }
    if (b.overrun()) return damage("block data"), false;
    const int scan = pic_.alternate_scan ? 1 : 0;
    opxiScanInv_16s_C1(levels, coeffs, 63, scan);
    if (intra) {
        coeffs[0] = Opx16s(dc_pred_[c] << (3 - pic_.intra_dc_precision));
        opxiQuantInvIntra_MPEG2_16s_C1I(coeffs, qscale,
                                        c ? seq_.chroma_intra_quantiser_matrix : seq_.intra_quantiser_matrix);
    } else {
        opxiQuantInv_MPEG2_16s_C1I(coeffs, qscale,
                                   c ? seq_.chroma_non_intra_quantiser_matrix : seq_.non_intra_quantiser_matrix);
    }
    Opx16s t[64];
    for (int k = 0; k < 64; ++k) t[(k & 7) * 8 + (k >> 3)] = coeffs[k];
    std::memcpy(coeffs, t, sizeof t);
    if (opt_.coeffs) print_coeffs(block, coeffs);
    return true;
}

void Decoder::print_coeffs(int block, const Opx16s c[64]) {  // c transposed, printed in raster order
    std::printf("%ld %d %d %d:", pictures_, cur_mb_x_, cur_mb_y_, block);
    for (int i = 0; i < 64; ++i) std::printf("%5d", c[(i & 7) * 8 + (i >> 3)]);
    std::printf("\n");
}

}  // namespace m2vdec
