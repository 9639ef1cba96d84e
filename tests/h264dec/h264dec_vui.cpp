// The sequence parameter set parser on a full VUI (Annex E): aspect ratio (table and extended),
// video signal type with colour description, timing, and the bitstream restriction that follows
// them, for which every earlier field must have been read with its right width.
#include <cstdio>
#include <vector>

#include "bit_writer.hpp"
#include "decoder.hpp"

namespace {

std::vector<uint8_t> sps_with_vui(int aspect_idc) {
    h264test::Writer w = h264test::sps_head({66, 1, 4, 3});  // Baseline
    w.u(1, 1);   // vui_parameters_present_flag
    w.u(1, 1);   // aspect_ratio_info_present_flag
    w.u(8, uint32_t(aspect_idc));
    if (aspect_idc == 255) {
        w.u(16, 80);
        w.u(16, 33);
    }
    w.u(1, 0);   // overscan_info_present_flag
    w.u(1, 1);   // video_signal_type_present_flag
    w.u(3, 5);   // video_format
    w.u(1, 1);   // video_full_range_flag
    w.u(1, 1);   // colour_description_present_flag
    w.u(8, 1);   // colour_primaries
    w.u(8, 6);   // transfer_characteristics
    w.u(8, 5);   // matrix_coefficients
    w.u(1, 0);   // chroma_loc_info_present_flag
    w.u(1, 1);   // timing_info_present_flag
    w.u(32, 1001);
    w.u(32, 60000);
    w.u(1, 1);   // fixed_frame_rate_flag
    w.u(1, 0);   // nal_hrd_parameters_present_flag
    w.u(1, 0);   // vcl_hrd_parameters_present_flag
    w.u(1, 0);   // pic_struct_present_flag
    w.u(1, 1);   // bitstream_restriction_flag
    w.u(1, 1);   // motion_vectors_over_pic_boundaries_flag
    w.ue(0);     // max_bytes_per_pic_denom
    w.ue(0);     // max_bits_per_mb_denom
    w.ue(16);    // log2_max_mv_length_horizontal
    w.ue(16);    // log2_max_mv_length_vertical
    w.ue(2);     // max_num_reorder_frames
    w.ue(3);     // max_dec_frame_buffering
    w.u(1, 1);   // rbsp_stop_one_bit
    return w.bytes;
}

}  // namespace

int main() {
    int fails = 0;
    for (int idc : {9, 255}) {  // 80:33 from Table E-1, and the same as Extended_SAR
        const std::vector<uint8_t> nal = sps_with_vui(idc);
        h264dec::Rbsp rbsp;
        rbsp.assign(nal.data() + 1, nal.size() - 1);
        h264dec::Bits b = rbsp.reader(0);
        h264dec::Sps s;
        const bool ok = h264dec::parse_sps(b, s);
        const opxcli::PictureFormat f = h264dec::picture_format(s);
        const bool good = ok && s.sar_num == 80 && s.sar_den == 33 && s.full_range == 1 &&
                          s.colour_primaries == 1 && s.transfer_characteristics == 6 &&
                          s.matrix_coefficients == 5 && s.num_units_in_tick == 1001 &&
                          s.time_scale == 60000 && s.bitstream_restriction &&
                          s.max_num_reorder_frames == 2 && s.max_dec_frame_buffering == 3 &&
                          f.fps_num == 30000 && f.fps_den == 1001 && f.width == 64 &&
                          f.height == 48 && opxcli::y4m_header(f) ==
                              "YUV4MPEG2 W64 H48 F30000:1001 Ip A80:33 C420jpeg XCOLORRANGE=FULL";
        std::printf("aspect_ratio_idc %d: %s (sar %d:%d, range %d, colour %d/%d/%d, tick %u/%u, "
                    "reorder %d, buffering %d)\n",
                    idc, good ? "ok" : "WRONG", s.sar_num, s.sar_den, s.full_range,
                    s.colour_primaries, s.transfer_characteristics, s.matrix_coefficients,
                    s.num_units_in_tick, s.time_scale, s.max_num_reorder_frames,
                    s.max_dec_frame_buffering);
        fails += !good;
    }
    std::printf("%d passed, %d failed\n", 2 - fails, fails);
    return fails ? 1 : 0;
}
