// A bit writer for NAL units made by hand in the decoder's tests: u(n), ue(v), se(v), and the
// unit with emulation prevention bytes inserted as the decoder is fed it; and the picture
// parameter set those tests share.
#pragma once

#include <cstdint>
#include <vector>

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

}  // namespace h264test
