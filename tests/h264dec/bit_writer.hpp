// A bit writer for NAL units made by hand in the decoder's tests: u(n), ue(v), se(v), and the
// unit with emulation prevention bytes inserted as the decoder is fed it; the parameter sets
// those tests share, and their decoding to raw pictures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decoder.hpp"

namespace h264test {

struct Writer {
    std::vector<uint8_t> bytes;
    int bits = 0;
    explicit Writer(uint8_t header) : bytes{header} {}
    void u(int n, uint32_t v) {
        for (int i = n - 1; i >= 0; --i) {
            if (bits % 8 == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((v >> i) & 1) << (7 - bits % 8));
            ++bits;
        }
    }
    void ue(uint32_t v) {
        int n = 0;
        while ((v + 1) >> (n + 1)) ++n;
        u(n, 0);
        u(n + 1, v + 1);
    }
    void se(int v) { ue(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * v)); }
    void align() {
        while (bits % 8) u(1, 0);
    }
    // the unit as fed to the decoder: emulation prevention bytes inserted
    std::vector<uint8_t> nal() const {
        std::vector<uint8_t> out;
        int zeros = 0;
        for (uint8_t b : bytes) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }
};

// The fields of a sequence parameter set that the tests vary; the others are 0 (parameter set 0,
// log2_max_frame_num 4, no gaps, no cropping) and pic_order_cnt_type is 2.
struct SpsFields {
    int profile;  // 66 Baseline, 77 Main, 110 High 10 (with the high-profile syntax)
    int max_refs, mbs_w, mbs_h;
    bool frame_mbs_only = true;  // else field pictures (no MBAFF) and map units of two rows
    int chroma_format = 1, depth_luma = 8, depth_chroma = 8;  // the high-profile syntax only
};

// A sequence parameter set up to frame_cropping_flag; the caller writes the VUI flag and what
// follows.
inline Writer sps_head(const SpsFields& f) {
    Writer w(0x67);               // nal_unit_header: nal_ref_idc 3, type 7
    w.u(8, uint32_t(f.profile));  // profile_idc
    w.u(8, 0);                    // constraint flags, reserved
    w.u(8, 30);                   // level_idc
    w.ue(0);                      // seq_parameter_set_id
    if (f.profile == 110) {
        w.ue(uint32_t(f.chroma_format));
        if (f.chroma_format == 3) w.u(1, 0);  // separate_colour_plane_flag
        w.ue(uint32_t(f.depth_luma - 8));
        w.ue(uint32_t(f.depth_chroma - 8));
        w.u(1, 0);  // qpprime_y_zero_transform_bypass_flag
        w.u(1, 0);  // seq_scaling_matrix_present_flag
    }
    w.ue(0);                           // log2_max_frame_num_minus4
    w.ue(2);                           // pic_order_cnt_type
    w.ue(uint32_t(f.max_refs));        // max_num_ref_frames
    w.u(1, 0);                         // gaps_in_frame_num_value_allowed_flag
    w.ue(uint32_t(f.mbs_w - 1));       // pic_width_in_mbs_minus1
    w.ue(uint32_t(f.mbs_h - 1));       // pic_height_in_map_units_minus1
    w.u(1, f.frame_mbs_only);          // frame_mbs_only_flag
    if (!f.frame_mbs_only) w.u(1, 0);  // mb_adaptive_frame_field_flag
    w.u(1, 1);                         // direct_8x8_inference_flag
    w.u(1, 0);                         // frame_cropping_flag
    return w;
}

// A CAVLC picture parameter set of one slice group and one reference, nothing else enabled.
inline std::vector<uint8_t> pps(int pic_init_qp) {
    Writer w(0x68);
    w.ue(0);    // pic_parameter_set_id
    w.ue(0);    // seq_parameter_set_id
    w.u(1, 0);  // entropy_coding_mode_flag
    w.u(1, 0);  // bottom_field_pic_order_in_frame_present_flag
    w.ue(0);    // num_slice_groups_minus1
    w.ue(0);    // num_ref_idx_l0_default_active_minus1
    w.ue(0);    // num_ref_idx_l1_default_active_minus1
    w.u(1, 0);  // weighted_pred_flag
    w.u(2, 0);  // weighted_bipred_idc
    w.se(pic_init_qp - 26);
    w.se(0);    // pic_init_qs_minus26
    w.se(0);    // chroma_qp_index_offset
    w.u(1, 0);  // deblocking_filter_control_present_flag
    w.u(1, 0);  // constrained_intra_pred_flag
    w.u(1, 0);  // redundant_pic_cnt_present_flag
    w.u(1, 1);  // rbsp_stop_one_bit
    return w.bytes;
}

// The raw pictures (each picture's planes in turn) the decoder makes of `units`, through the
// file `path`; its frame and error counts in *frames and *errors.
inline std::vector<uint8_t> decode_raw(const std::string& path,
                                       const std::vector<std::vector<uint8_t>>& units,
                                       long* frames, long* errors) {
    h264dec::Options opt;
    opt.out = path;
    opt.format = "raw";
    {
        h264dec::Decoder d(opt, stderr);
        for (const auto& u : units) d.feed_nal(u.data(), u.size());
        d.flush();
        d.close_output();
        *frames = d.frames_out();
        *errors = d.errors();
    }
    std::vector<uint8_t> got;
    h264dec::read_stream(opt.out.c_str(), got);
    std::remove(opt.out.c_str());
    return got;
}

}  // namespace h264test
