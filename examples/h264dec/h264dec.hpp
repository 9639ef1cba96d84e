// opxvc-h264dec: an H.264 (CAVLC, frames, field pictures and MBAFF frames, 4:2:0, 4:2:2 or 4:0:0
// at 8 to 14 bits) decoder built on the library's public interface. The decoder parses headers and
// slice data itself and derives motion vectors, availability and filter strengths; every
// sample-level operation (residual decoding, dequantisation and inverse transforms, intra
// prediction and reconstruction, interpolation, weighted prediction, deblocking) is a library call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli.hpp"
#include "h264common.hpp"
#include "opxvc.h"
#include "output.hpp"

namespace h264dec {

// ---- bit reader on the library's word reading cursor ----------------------------------------
// The payload of a NAL unit (emulation prevention removed) is held as 32-bit words with the first
// byte in bits 31..24, the layout the library's CAVLC decoders read. The same cursor (word pointer
// and bit position 31..0) serves the decoder's own header parsing, so both can take turns.
struct Bits {
    const Opx32u* ptr = nullptr;  // word holding the next bit
    Opx32s pos = 31;              // bit number of the next bit in *ptr
    const Opx32u* begin = nullptr;
    uint64_t size_bits = 0;  // payload bits up to (excluding) the rbsp stop bit
    bool error = false;

    uint64_t consumed() const { return uint64_t(ptr - begin) * 32 + uint64_t(31 - pos); }
    bool overrun() const { return consumed() > size_bits; }
    uint32_t u(int n);  // n in 0..32
    uint32_t bit() { return u(1); }
    static constexpr uint32_t kMaxUe = 1u << 28;
    uint32_t ue();  // 0..kMaxUe
    int32_t se();   // -kMaxUe/2..kMaxUe/2
    bool more_rbsp_data() const { return consumed() < size_bits; }
    void align() {
        if (pos != 31 && pos != 7 && pos != 15 && pos != 23) u((pos + 1) & 7);
    }
};

inline uint32_t Bits::u(int n) {
    if (n == 0) return 0;
    if (overrun()) {
        error = true;
        return 0;
    }
    // the padding keeps two words readable behind any position inside the payload
    uint64_t w = (uint64_t(ptr[0]) << 32) | ptr[1];
    int start = 63 - (31 - pos);  // bit index in w of the next bit
    uint32_t v = uint32_t((w >> (start - n + 1)) & ((n == 32) ? 0xFFFFFFFFull : ((1ull << n) - 1)));
    int q = pos - n;
    if (q >= 0) {
        pos = q;
    } else {
        pos = q + 32;
        ++ptr;
    }
    if (overrun()) error = true;
    return v;
}

// ue(v) through the library's Exp-Golomb decoder. A code with 32 leading zeros (which the
// library passes over, giving 0) and a code running past the payload are errors. So is a value
// above kMaxUe: no element this decoder keeps can be that large in a stream it can decode (the
// HRD bit rates and buffer sizes, which can, are read and dropped), and the cap lets the callers
// compute with the value in int (sizes times 4, sums of a few values) without overflow.
inline uint32_t Bits::ue() {
    const uint64_t start = consumed();
    if (start > size_bits) {
        error = true;
        return 0;
    }
    Opx32u* p = const_cast<Opx32u*>(ptr);
    Opx32s o = pos;
    Opx32s v = 0;
    if (OPX_COUNTED(opxiDecodeExpGolombOne_H264_1u32s)(&p, &o, &v, 0) != opxOk) {
        error = true;
        return 0;
    }
    ptr = p;
    pos = o;
    const uint64_t end = consumed();
    if (end > size_bits || (v == 0 && end - start > 1)) {
        error = true;
        return 0;
    }
    if (uint32_t(v) > kMaxUe) {  // codes with 31 leading zeros reach 2^32 - 2
        error = true;
        return kMaxUe;
    }
    return uint32_t(v);
}

inline int32_t Bits::se() {
    uint32_t k = ue();
    return (k & 1) ? int32_t((k + 1) >> 1) : -int32_t(k >> 1);
}

struct Rbsp {
    std::vector<Opx32u> words;  // grows only; words_used of them hold the unit and padding
    size_t words_used = 0;
    uint64_t size_bits = 0;
    void assign(const uint8_t* nal, size_t n);  // removes emulation prevention bytes
    Bits reader(size_t skip_bytes) const;
};

// ---- parameter sets -------------------------------------------------------------------------
struct Sps {
    bool valid = false;
    int profile_idc = 0, level_idc = 0, id = 0;
    int chroma_format_idc = 1;
    int bit_depth_luma = 8, bit_depth_chroma = 8;
    bool transform_bypass = false;
    bool scaling_present = false;
    uint8_t scaling4x4[6][16];  // raster order
    uint8_t scaling8x8[2][64];  // raster order
    int log2_max_frame_num = 4;
    int poc_type = 0, log2_max_poc_lsb = 4;
    bool delta_pic_order_always_zero = false;
    int offset_for_non_ref_pic = 0, offset_for_top_to_bottom = 0;
    std::vector<int> offset_for_ref_frame;
    int max_num_ref_frames = 0;
    bool gaps_allowed = false;
    int mb_width = 0, mb_height = 0;
    bool frame_mbs_only = true, mbaff = false, direct_8x8_inference = false;
    int crop_left = 0, crop_right = 0, crop_top = 0, crop_bottom = 0;  // in samples
    bool bitstream_restriction = false;
    int max_num_reorder_frames = -1, max_dec_frame_buffering = -1;
    // VUI (Annex E): sample aspect ratio (0:0 unknown), timing, video_full_range_flag (-1 absent)
    int sar_num = 0, sar_den = 0;
    uint32_t num_units_in_tick = 0, time_scale = 0;
    int full_range = -1;
    int colour_primaries = 2, transfer_characteristics = 2, matrix_coefficients = 2;
};

struct Pps {
    bool valid = false;
    int id = 0, sps_id = 0;
    bool cabac = false, bottom_field_pic_order_present = false;
    int num_slice_groups = 1, slice_group_map_type = 0;
    std::vector<int> run_length, top_left, bottom_right, slice_group_id;
    bool slice_group_change_direction = false;
    int slice_group_change_rate = 1;
    int num_ref_idx_default[2] = {1, 1};
    bool weighted_pred = false;
    int weighted_bipred_idc = 0;
    int pic_init_qp = 26;
    int chroma_qp_offset[2] = {0, 0};
    bool deblocking_control = false, constrained_intra_pred = false,
         redundant_pic_cnt_present = false;
    bool transform_8x8_mode = false;
    bool scaling_present = false;
    uint8_t scaling4x4[6][16];
    uint8_t scaling8x8[2][64];
};

struct Picture;

struct RefMod {
    int op, value;
};
struct Mmco {
    int op, a, b;
};

struct SliceHeader {
    int nal_ref_idc = 0, nal_type = 0;
    bool idr = false;
    int first_mb = 0, slice_type = 0;  // 0 P, 1 B, 2 I
    int pps_id = 0, frame_num = 0, idr_pic_id = 0;
    int poc_lsb = 0, delta_poc_bottom = 0, delta_poc[2] = {0, 0};
    bool field_pic = false, bottom_field = false;
    int redundant_pic_cnt = 0;
    bool direct_spatial = false;
    int num_ref_idx[2] = {0, 0};
    std::vector<RefMod> ref_mod[2];
    // weights: [list][ref][component Y,Cb,Cr] {weight, offset, explicit flag}
    int luma_log2_denom = 0, chroma_log2_denom = 0;
    int weight[2][32][3][2];
    bool no_output_of_prior_pics = false, long_term_reference = false, adaptive_marking = false;
    std::vector<Mmco> mmco;
    int qp = 26;
    int deblock_idc = 0, alpha_offset = 0, beta_offset = 0;
    int slice_group_change_cycle = 0;
};

// ---- decoded pictures ------------------------------------------------------------------------

// Large per-picture buffers: aligned to 2 MiB and offered for transparent huge pages when they
// are big enough, so that filling a new picture costs a few page faults rather than one per
// 4 KiB page. Throws std::bad_alloc as new does.
void* alloc_picture_memory(size_t bytes);
struct FreePictureMemory {
    void operator()(void* p) const;
};
template <class T>
using PictureArray = std::unique_ptr<T[], FreePictureMemory>;

using h264common::blk8_of;
using h264common::MbMotion;

// A frame store owns the samples and motion of a frame; its two field views (field[0] top,
// field[1] bottom) see the same buffers from their parity row with twice the step and half the
// height, and the motion of a field-coded frame in their halves. Field views hold the reference
// marking of each field; a frame's own short_ref/long_ref say that both fields are marked so.
struct Picture {
    int id = 0;  // unique per picture: identifies reference pictures (frame 3k, its fields 3k+1,
                 // 3k+2)
    int width = 0, height = 0, cwidth = 0, cheight = 0;
    int ystride = 0, cstride = 0;  // samples from one row to the next
    int structure = 3;             // 1 top field, 2 bottom field, 3 frame
    Picture* parent = nullptr;     // field view: its frame store
    std::unique_ptr<Picture> field[2];
    bool field_coded = false;  // frame store: decoded as two field pictures
    int fields_done = 0;       // frame store: bit 0 top, bit 1 bottom decoded
    int chroma_format = 1;     // chroma_format_idc: 0 4:0:0, 1 4:2:0, 2 4:2:2
    int pel_bytes = 1;         // 1: 8-bit samples; 2: 16-bit samples (bit depths 9..14)
    // Buffers are left uninitialised: decoding (or concealment) writes every sample and every
    // block's motion before anything reads them.
    PictureArray<uint8_t> planes;
    size_t plane_bytes = 0, mbs = 0;
    // the planes' first samples; sample type Opx8u or Opx16u by pel_bytes (see plane())
    uint8_t* y = nullptr;
    uint8_t* cb = nullptr;
    uint8_t* cr = nullptr;
    template <class Pel>
    Pel* plane(int c) const {
        return reinterpret_cast<Pel*>(c == 0 ? y : c == 1 ? cb : cr);
    }
    int poc = 0, top_poc = 0, bottom_poc = 0;
    int frame_num = 0, frame_num_wrap = 0, long_term_idx = 0;
    bool short_ref = false, long_ref = false, needed_for_output = false, non_existing = false;
    bool mmco5 = false, idr = false;
    int decode_order = 0;
    PictureArray<MbMotion> motion_store;
    MbMotion* motion = nullptr;  // per macroblock, raster order (a field view: its half)
    bool field_ref(int f) const { return field[f] && (field[f]->short_ref || field[f]->long_ref); }
    bool has_short() const {
        return short_ref || (field[0] && (field[0]->short_ref || field[1]->short_ref));
    }
    bool is_ref() const { return short_ref || long_ref || field_ref(0) || field_ref(1); }
    Picture* store() { return parent ? parent : this; }
    const Picture* store() const { return parent ? parent : this; }
};

struct Options {
    bool md5 = false;
    std::string out;     // output file ("-": standard output); empty: none
    std::string format;  // "raw", "y4m" or empty (by the output's name)
    long max_frames = -1;
    bool quiet = false;
    opxcli::Progress* progress = nullptr;  // told of every frame output
};

}  // namespace h264dec
