// Which sample formats a sequence parameter set may announce: 4:2:0, 4:2:2 and 4:0:0 at 8 to 14
// bits are decoded; 4:4:4, more than 14 bits and luma and chroma of different depths are refused
// as unsupported. And the lower end of pic_init_qp, -QpBdOffsetY (clause 7.4.2.2), which
// follows the depth of the sequence.
#include <cstdio>
#include <vector>

#include "decoder.hpp"

namespace {

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
};

std::vector<uint8_t> high_sps(int chroma_format, int depth_luma, int depth_chroma) {
    Writer w(0x67);
    w.u(8, 110);  // profile_idc: High 10 (the high-profile syntax)
    w.u(8, 0);
    w.u(8, 30);
    w.ue(0);  // seq_parameter_set_id
    w.ue(uint32_t(chroma_format));
    if (chroma_format == 3) w.u(1, 0);  // separate_colour_plane_flag
    w.ue(uint32_t(depth_luma - 8));
    w.ue(uint32_t(depth_chroma - 8));
    w.u(1, 0);  // qpprime_y_zero_transform_bypass_flag
    w.u(1, 0);  // seq_scaling_matrix_present_flag
    w.ue(0);    // log2_max_frame_num_minus4
    w.ue(2);    // pic_order_cnt_type
    w.ue(1);    // max_num_ref_frames
    w.u(1, 0);  // gaps_in_frame_num_value_allowed_flag
    w.ue(3);    // pic_width_in_mbs_minus1
    w.ue(2);    // pic_height_in_map_units_minus1
    w.u(1, 1);  // frame_mbs_only_flag
    w.u(1, 1);  // direct_8x8_inference_flag
    w.u(1, 0);  // frame_cropping_flag
    w.u(1, 0);  // vui_parameters_present_flag
    w.u(1, 1);  // rbsp_stop_one_bit
    return w.bytes;
}

std::vector<uint8_t> pps(int pic_init_qp) {
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

}  // namespace

int main() {
    struct Case {
        int chroma_format, depth_luma, depth_chroma;
        bool refused;
    } const cases[] = {
        {1, 8, 8, false},   {1, 10, 10, false}, {2, 8, 8, false}, {2, 10, 10, false},
        {1, 14, 14, false}, {0, 12, 8, false},  {3, 8, 8, true},  {1, 15, 15, true},
        {1, 10, 8, true},   {2, 8, 9, true},    {0, 15, 8, true},
    };
    int fails = 0, n = 0;
    for (const Case& c : cases) {
        h264dec::Options opt;
        h264dec::Decoder d(opt, nullptr);
        const std::vector<uint8_t> nal = high_sps(c.chroma_format, c.depth_luma, c.depth_chroma);
        d.feed_nal(nal.data(), nal.size());
        const bool ok = d.refused() == c.refused && (c.refused || d.errors() == 0);
        std::printf("chroma_format_idc %d, depths %d/%d: %s%s\n", c.chroma_format, c.depth_luma,
                    c.depth_chroma, d.refused() ? "refused" : "accepted", ok ? "" : "  WRONG");
        fails += !ok;
        ++n;
    }
    // pic_init_qp: down to -QpBdOffsetY, which is 0 at 8 bits and -12 at 10 bits
    struct QpCase {
        int depth, pic_init_qp;
        bool valid;
    } const qp_cases[] = {{8, 0, true},     {8, -1, false}, {10, -12, true},
                          {10, -13, false}, {10, 51, true}, {10, 52, false}};
    for (const QpCase& c : qp_cases) {
        h264dec::Options opt;
        h264dec::Decoder d(opt, nullptr);
        const std::vector<uint8_t> s = high_sps(1, c.depth, c.depth), p = pps(c.pic_init_qp);
        d.feed_nal(s.data(), s.size());
        d.feed_nal(p.data(), p.size());
        const bool ok = (d.errors() == 0) == c.valid;
        std::printf("%d bits, pic_init_qp %d: %s%s\n", c.depth, c.pic_init_qp,
                    d.errors() ? "invalid" : "valid", ok ? "" : "  WRONG");
        fails += !ok;
        ++n;
    }
    std::printf("%d passed, %d failed\n", n - fails, fails);
    return fails ? 1 : 0;
}
