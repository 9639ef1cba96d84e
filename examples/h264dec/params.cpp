// NAL payload preparation, the header bit reader, and parsing of sequence and picture parameter
// sets and slice headers (H.264 clauses 7.3.2 and 7.3.3).
#include <algorithm>
#include <cstring>

#include "decoder.hpp"

namespace h264dec {

// Words appended after the payload. They hold one bits only: any code read past the end then
// terminates at once (a 1 bit ends every Exp-Golomb prefix and level_prefix), so a damaged
// stream cannot drive a reader far beyond the buffer.
constexpr size_t kPadWords = 80;

void Rbsp::assign(const uint8_t* nal, size_t n) {
    // The payload without emulation_prevention_three_byte goes into the words' storage as bytes,
    // then 0xFF up to the padding, then each word is byte-swapped in place. The storage only
    // grows: steady-state decoding allocates and clears nothing here.
    const size_t nwords = (n + 3) / 4 + kPadWords;
    if (words.size() < nwords) words.resize(nwords);
    uint8_t* out = reinterpret_cast<uint8_t*>(words.data());
    size_t len = 0, from = 0;
    // an emulation_prevention_three_byte is a 0x03 after two zero bytes (which follow any earlier
    // removed byte, since that was not zero); the runs between them are copied whole
    for (size_t k = 2; k < n;) {
        const void* hit = std::memchr(nal + k, 3, n - k);
        if (!hit) break;
        k = size_t(static_cast<const uint8_t*>(hit) - nal);
        if (nal[k - 1] == 0 && nal[k - 2] == 0) {
            std::memcpy(out + len, nal + from, k - from);
            len += k - from;
            from = k + 1;
            k += 3;  // the next one needs two new zero bytes
        } else {
            ++k;
        }
    }
    if (n > from) std::memcpy(out + len, nal + from, n - from);  // nal may be null when n is 0
    len += n - from;
    // the payload ends at the rbsp_stop_one_bit: the last 1 bit of the unit
    size_t end = len;
    while (end > 0 && out[end - 1] == 0) --end;
    size_bits = 0;
    if (end > 0) size_bits = uint64_t(end) * 8 - uint64_t(__builtin_ctz(out[end - 1])) - 1;
    const size_t used = (len + 3) / 4 + kPadWords;
    std::memset(out + len, 0xFF, used * 4 - len);
    for (size_t w = 0; w < used; ++w)
        words[w] = __builtin_bswap32(words[w]);  // first byte in bits 31..24
    words_used = used;
}

Bits Rbsp::reader(size_t skip_bytes) const {
    Bits b;
    b.begin = words.data();
    b.ptr = words.data() + skip_bytes / 4;
    b.pos = 31 - int(skip_bytes % 4) * 8;
    b.size_bits = size_bits;
    return b;
}

namespace {

// Clause 7.3.2.1.1.1 with the fall-back of Table 7-2. `fallback` is the list used when the
// list is absent; the returned flag tells a present list from an absent one.
void scaling_list(Bits& b, uint8_t* raster, int n, const uint8_t* fallback_raster,
                  const uint8_t* default_zigzag) {
    const uint8_t* scan = n == 16 ? kZigzag4x4 : kZigzag8x8;
    if (!b.bit()) {
        std::memcpy(raster, fallback_raster, size_t(n));
        return;
    }
    int last = 8, next = 8;
    for (int j = 0; j < n; ++j) {
        if (next != 0) {
            int delta = b.se();
            next = (last + delta + 256) % 256;
            if (j == 0 && next == 0) {  // useDefaultScalingMatrixFlag
                for (int k = 0; k < n; ++k) raster[scan[k]] = default_zigzag[k];
                return;
            }
        }
        uint8_t v = uint8_t(next == 0 ? last : next);
        raster[scan[j]] = v;
        last = v;
    }
}

void default_raster(uint8_t out4[2][16], uint8_t out8[2][64]) {
    for (int t = 0; t < 2; ++t) {
        for (int k = 0; k < 16; ++k) out4[t][kZigzag4x4[k]] = kDefault4x4[t][k];
        for (int k = 0; k < 64; ++k) out8[t][kZigzag8x8[k]] = kDefault8x8[t][k];
    }
}

// Reads the matrices of an SPS or PPS. For lists 0, 3 (4x4) and 6, 7 (8x8) the fall-back is
// `base` (rule A: the default lists; rule B: the sequence-level lists); the others fall back to
// the previous list of the same size.
void scaling_matrices(Bits& b, int n8x8, uint8_t s4[6][16], uint8_t s8[2][64],
                      const uint8_t base4[2][16], const uint8_t base8[2][64]) {
    uint8_t def4[2][16], def8[2][64];
    default_raster(def4, def8);
    for (int i = 0; i < 6; ++i) {
        const uint8_t* fb = (i == 0 || i == 3) ? base4[i / 3] : s4[i - 1];
        scaling_list(b, s4[i], 16, fb, kDefault4x4[i / 3]);
    }
    for (int i = 0; i < 2; ++i) {
        if (i < n8x8)
            scaling_list(b, s8[i], 64, base8[i], kDefault8x8[i]);
        else
            std::memcpy(s8[i], base8[i], 64);
    }
    (void)def4;
    (void)def8;
}

void flat(uint8_t s4[6][16], uint8_t s8[2][64]) {
    std::memset(s4, 16, 6 * 16);
    std::memset(s8, 16, 2 * 64);
}

void hrd_parameters(Bits& b) {
    int cnt = int(b.ue()) + 1;
    b.u(4);
    b.u(4);
    for (int i = 0; i < cnt && i < 32 && !b.error; ++i) {
        b.ue();
        b.ue();
        b.bit();
    }
    b.u(5);
    b.u(5);
    b.u(5);
    b.u(5);
}

// Sample aspect ratios of aspect_ratio_idc 1..16 (Table E-1).
constexpr uint8_t kSampleAspect[16][2] = {
    {1, 1},   {12, 11}, {10, 11}, {16, 11}, {40, 33},  {24, 11}, {20, 11}, {32, 11},
    {80, 33}, {18, 11}, {15, 11}, {64, 33}, {160, 99}, {4, 3},   {3, 2},   {2, 1}};

void vui_parameters(Bits& b, Sps& s) {
    if (b.bit()) {  // aspect_ratio_info_present_flag
        const uint32_t idc = b.u(8);
        if (idc == 255) {  // Extended_SAR
            s.sar_num = int(b.u(16));
            s.sar_den = int(b.u(16));
            if (!s.sar_num || !s.sar_den) s.sar_num = s.sar_den = 0;
        } else if (idc >= 1 && idc <= 16) {
            s.sar_num = kSampleAspect[idc - 1][0];
            s.sar_den = kSampleAspect[idc - 1][1];
        }
    }
    if (b.bit()) b.bit();  // overscan
    if (b.bit()) {         // video_signal_type_present_flag
        b.u(3);            // video_format
        s.full_range = int(b.bit());
        if (b.bit()) {  // colour_description_present_flag: three 8-bit codes
            s.colour_primaries = int(b.u(8));
            s.transfer_characteristics = int(b.u(8));
            s.matrix_coefficients = int(b.u(8));
        }
    }
    if (b.bit()) {  // chroma_loc_info
        b.ue();
        b.ue();
    }
    if (b.bit()) {  // timing_info_present_flag
        s.num_units_in_tick = b.u(32);
        s.time_scale = b.u(32);
        b.bit();  // fixed_frame_rate_flag
    }
    bool nal_hrd = b.bit();
    if (nal_hrd) hrd_parameters(b);
    bool vcl_hrd = b.bit();
    if (vcl_hrd) hrd_parameters(b);
    if (nal_hrd || vcl_hrd) b.bit();  // low_delay_hrd_flag
    b.bit();                          // pic_struct_present_flag
    s.bitstream_restriction = b.bit();
    if (s.bitstream_restriction) {
        b.bit();
        b.ue();
        b.ue();
        b.ue();
        b.ue();
        s.max_num_reorder_frames = int(b.ue());
        s.max_dec_frame_buffering = int(b.ue());
        if (b.error) {  // a truncated VUI: ignore the restriction
            s.bitstream_restriction = false;
            s.max_num_reorder_frames = s.max_dec_frame_buffering = -1;
        }
    }
    if (b.error) {  // a truncated VUI: nothing of it is trusted
        s.sar_num = s.sar_den = 0;
        s.num_units_in_tick = s.time_scale = 0;
        s.full_range = -1;
    }
}

}  // namespace

bool parse_sps(Bits& b, Sps& s) {
    s = Sps();
    s.profile_idc = int(b.u(8));
    b.u(8);  // constraint flags, reserved bits
    s.level_idc = int(b.u(8));
    s.id = int(b.ue());
    if (s.id > 31) return false;
    flat(s.scaling4x4, s.scaling8x8);
    int p = s.profile_idc;
    if (p == 100 || p == 110 || p == 122 || p == 244 || p == 44 || p == 83 || p == 86 || p == 118 ||
        p == 128 || p == 138 || p == 139 || p == 134 || p == 135) {
        s.chroma_format_idc = int(b.ue());
        if (s.chroma_format_idc > 3) return false;
        if (s.chroma_format_idc == 3) b.bit();  // separate_colour_plane_flag
        s.bit_depth_luma = int(b.ue()) + 8;
        s.bit_depth_chroma = int(b.ue()) + 8;
        s.transform_bypass = b.bit();
        s.scaling_present = b.bit();
        if (s.scaling_present) {
            uint8_t def4[2][16], def8[2][64];
            default_raster(def4, def8);
            scaling_matrices(b, s.chroma_format_idc == 3 ? 6 : 2, s.scaling4x4, s.scaling8x8, def4,
                             def8);
        }
    }
    s.log2_max_frame_num = int(b.ue()) + 4;
    if (s.log2_max_frame_num > 16) return false;
    s.poc_type = int(b.ue());
    if (s.poc_type == 0) {
        s.log2_max_poc_lsb = int(b.ue()) + 4;
        if (s.log2_max_poc_lsb > 16) return false;
    } else if (s.poc_type == 1) {
        s.delta_pic_order_always_zero = b.bit();
        s.offset_for_non_ref_pic = b.se();
        s.offset_for_top_to_bottom = b.se();
        int n = int(b.ue());
        if (n > 255) return false;
        for (int i = 0; i < n; ++i) s.offset_for_ref_frame.push_back(b.se());
    } else if (s.poc_type != 2) {
        return false;
    }
    s.max_num_ref_frames = int(b.ue());
    if (s.max_num_ref_frames > 16) return false;
    s.gaps_allowed = b.bit();
    s.mb_width = int(b.ue()) + 1;
    s.mb_height = int(b.ue()) + 1;
    s.frame_mbs_only = b.bit();
    if (!s.frame_mbs_only) {
        s.mb_height *= 2;
        s.mbaff = b.bit();
    }
    s.direct_8x8_inference = b.bit();
    if (b.bit()) {  // frame_cropping_flag
        int cx = s.chroma_format_idc == 0 || s.chroma_format_idc == 3 ? 1 : 2;
        int cy = (s.chroma_format_idc == 1 ? 2 : 1) * (s.frame_mbs_only ? 1 : 2);
        s.crop_left = int(b.ue()) * cx;
        s.crop_right = int(b.ue()) * cx;
        s.crop_top = int(b.ue()) * cy;
        s.crop_bottom = int(b.ue()) * cy;
    }
    if (b.bit()) vui_parameters(b, s);
    if (s.mb_width > 1024 || s.mb_height > 1024 || s.mb_width * s.mb_height > 139264) return false;
    if (s.crop_left + s.crop_right >= s.mb_width * 16 ||
        s.crop_top + s.crop_bottom >= s.mb_height * 16)
        return false;
    s.valid = !b.error || b.consumed() <= b.size_bits + 64;
    return s.valid;
}

bool parse_pps(Bits& b, const Sps* sps_table, Pps& p) {
    p = Pps();
    p.id = int(b.ue());
    p.sps_id = int(b.ue());
    if (p.id > 255 || p.sps_id > 31) return false;
    const Sps& sps = sps_table[p.sps_id];
    if (!sps.valid) return false;
    p.cabac = b.bit();
    p.bottom_field_pic_order_present = b.bit();
    p.num_slice_groups = int(b.ue()) + 1;
    if (p.num_slice_groups > 8) return false;
    if (p.num_slice_groups > 1) {
        p.slice_group_map_type = int(b.ue());
        int n = p.num_slice_groups;
        switch (p.slice_group_map_type) {
            case 0:
                for (int i = 0; i < n; ++i) p.run_length.push_back(int(b.ue()) + 1);
                break;
            case 2:
                for (int i = 0; i < n - 1; ++i) {
                    p.top_left.push_back(int(b.ue()));
                    p.bottom_right.push_back(int(b.ue()));
                }
                break;
            case 3:
            case 4:
            case 5:
                p.slice_group_change_direction = b.bit();
                p.slice_group_change_rate = int(b.ue()) + 1;
                break;
            case 6: {
                int units = int(b.ue()) + 1;
                if (units > 139264) return false;
                int bits = 0;
                while ((1 << bits) < n) ++bits;
                for (int i = 0; i < units && !b.error; ++i)
                    p.slice_group_id.push_back(int(b.u(bits)));
                break;
            }
            case 1:
                break;
            default:
                return false;
        }
    }
    p.num_ref_idx_default[0] = int(b.ue()) + 1;
    p.num_ref_idx_default[1] = int(b.ue()) + 1;
    if (p.num_ref_idx_default[0] > 32 || p.num_ref_idx_default[1] > 32) return false;
    p.weighted_pred = b.bit();
    p.weighted_bipred_idc = int(b.u(2));
    p.pic_init_qp = 26 + b.se();
    b.se();  // pic_init_qs
    p.chroma_qp_offset[0] = b.se();
    p.deblocking_control = b.bit();
    p.constrained_intra_pred = b.bit();
    p.redundant_pic_cnt_present = b.bit();
    p.chroma_qp_offset[1] = p.chroma_qp_offset[0];
    // without a PPS matrix the sequence-level matrices apply
    std::memcpy(p.scaling4x4, sps.scaling4x4, sizeof p.scaling4x4);
    std::memcpy(p.scaling8x8, sps.scaling8x8, sizeof p.scaling8x8);
    if (b.more_rbsp_data()) {
        p.transform_8x8_mode = b.bit();
        p.scaling_present = b.bit();
        if (p.scaling_present) {
            // fall-back rule B: lists 0, 3, 6 and 7 fall back to the sequence-level lists
            uint8_t base4[2][16], base8[2][64];
            std::memcpy(base4[0], sps.scaling4x4[0], 16);
            std::memcpy(base4[1], sps.scaling4x4[3], 16);
            std::memcpy(base8, sps.scaling8x8, sizeof base8);
            if (!sps.scaling_present) {
                // rule A applies when the sequence has no matrices
                default_raster(base4, base8);
            }
            scaling_matrices(b, p.transform_8x8_mode ? (sps.chroma_format_idc == 3 ? 6 : 2) : 0,
                             p.scaling4x4, p.scaling8x8, base4, base8);
        }
        p.chroma_qp_offset[1] = b.se();
    }
    // QPY reaches down to -QpBdOffsetY (clause 7.4.2.2); a depth above 14 is refused later
    const int qp_min = -6 * std::min(std::max(sps.bit_depth_luma - 8, 0), 6);
    if (p.pic_init_qp < qp_min || p.pic_init_qp > 51) return false;
    if (p.chroma_qp_offset[0] < -12 || p.chroma_qp_offset[0] > 12 || p.chroma_qp_offset[1] < -12 ||
        p.chroma_qp_offset[1] > 12)
        return false;
    p.valid = !b.error;
    return p.valid;
}

bool parse_slice_header(Bits& b, int nal_type, int nal_ref_idc, const Sps* sps_table,
                        const Pps* pps_table, SliceHeader& sh, std::string& why) {
    sh.nal_type = nal_type;
    sh.nal_ref_idc = nal_ref_idc;
    sh.idr = nal_type == 5;
    sh.first_mb = int(b.ue());
    int st = int(b.ue());
    if (st > 9) return why = "bad slice_type", false;
    st %= 5;
    if (st == 3 || st == 4) return why = "SP/SI slices are not supported", false;
    sh.slice_type = st;
    sh.pps_id = int(b.ue());
    if (sh.pps_id > 255 || !pps_table[sh.pps_id].valid) return why = "missing PPS", false;
    const Pps& pps = pps_table[sh.pps_id];
    const Sps& sps = sps_table[pps.sps_id];
    if (!sps.valid) return why = "missing SPS", false;
    if (pps.cabac) return why = "CABAC streams are not supported", false;
    sh.frame_num = int(b.u(sps.log2_max_frame_num));
    sh.field_pic = sh.bottom_field = false;
    if (!sps.frame_mbs_only) {
        sh.field_pic = b.bit();
        if (sh.field_pic) sh.bottom_field = b.bit();
    }
    if (sh.idr) sh.idr_pic_id = int(b.ue());
    sh.delta_poc_bottom = sh.delta_poc[0] = sh.delta_poc[1] = 0;
    if (sps.poc_type == 0) {
        sh.poc_lsb = int(b.u(sps.log2_max_poc_lsb));
        if (pps.bottom_field_pic_order_present && !sh.field_pic) sh.delta_poc_bottom = b.se();
    }
    if (sps.poc_type == 1 && !sps.delta_pic_order_always_zero) {
        sh.delta_poc[0] = b.se();
        if (pps.bottom_field_pic_order_present && !sh.field_pic) sh.delta_poc[1] = b.se();
    }
    sh.redundant_pic_cnt = pps.redundant_pic_cnt_present ? int(b.ue()) : 0;
    if (sh.slice_type == 1) sh.direct_spatial = b.bit();
    sh.num_ref_idx[0] = sh.num_ref_idx[1] = 0;
    if (sh.slice_type != 2) {
        sh.num_ref_idx[0] = pps.num_ref_idx_default[0];
        if (sh.slice_type == 1) sh.num_ref_idx[1] = pps.num_ref_idx_default[1];
        if (b.bit()) {
            sh.num_ref_idx[0] = int(b.ue()) + 1;
            if (sh.slice_type == 1) sh.num_ref_idx[1] = int(b.ue()) + 1;
        }
        if (sh.num_ref_idx[0] > 32 || sh.num_ref_idx[1] > 32) return why = "bad num_ref_idx", false;
    }
    for (int l = 0; l < 2; ++l) {
        sh.ref_mod[l].clear();
        if (sh.slice_type == 2 || (l == 1 && sh.slice_type != 1)) continue;
        if (b.bit()) {
            for (int k = 0; k < 66; ++k) {
                int op = int(b.ue());
                if (op == 3 || b.error) break;
                if (op > 3) return why = "bad reordering", false;
                sh.ref_mod[l].push_back({op, int(b.ue())});
            }
        }
    }
    sh.luma_log2_denom = sh.chroma_log2_denom = 0;
    if ((pps.weighted_pred && sh.slice_type == 0) ||
        (pps.weighted_bipred_idc == 1 && sh.slice_type == 1)) {
        sh.luma_log2_denom = int(b.ue());
        if (sps.chroma_format_idc != 0) sh.chroma_log2_denom = int(b.ue());
        if (sh.luma_log2_denom > 7 || sh.chroma_log2_denom > 7) return why = "bad denom", false;
        for (int l = 0; l < (sh.slice_type == 1 ? 2 : 1); ++l) {
            for (int i = 0; i < sh.num_ref_idx[l]; ++i) {
                int* w = &sh.weight[l][i][0][0];
                w[0] = 1 << sh.luma_log2_denom;
                w[1] = 0;
                if (b.bit()) {
                    w[0] = b.se();
                    w[1] = b.se();
                }
                for (int c = 1; c < 3; ++c) {
                    sh.weight[l][i][c][0] = 1 << sh.chroma_log2_denom;
                    sh.weight[l][i][c][1] = 0;
                }
                if (sps.chroma_format_idc != 0 && b.bit()) {
                    for (int c = 1; c < 3; ++c) {
                        sh.weight[l][i][c][0] = b.se();
                        sh.weight[l][i][c][1] = b.se();
                    }
                }
            }
        }
    }
    sh.mmco.clear();
    sh.adaptive_marking = sh.no_output_of_prior_pics = sh.long_term_reference = false;
    if (nal_ref_idc != 0) {
        if (sh.idr) {
            sh.no_output_of_prior_pics = b.bit();
            sh.long_term_reference = b.bit();
        } else {
            sh.adaptive_marking = b.bit();
            if (sh.adaptive_marking) {
                for (int k = 0; k < 100; ++k) {
                    int op = int(b.ue());
                    if (op == 0 || b.error) break;
                    if (op > 6) return why = "bad memory management operation", false;
                    Mmco m{op, 0, 0};
                    if (op == 1 || op == 3) m.a = int(b.ue());
                    if (op == 2) m.a = int(b.ue());
                    if (op == 3 || op == 6) m.b = int(b.ue());
                    if (op == 4) m.a = int(b.ue());
                    sh.mmco.push_back(m);
                }
            }
        }
    }
    sh.qp = pps.pic_init_qp + b.se();
    if (sh.qp < -6 * std::min(std::max(sps.bit_depth_luma - 8, 0), 6) || sh.qp > 51)
        return why = "bad slice_qp_delta", false;
    sh.deblock_idc = 0;
    sh.alpha_offset = sh.beta_offset = 0;
    if (pps.deblocking_control) {
        sh.deblock_idc = int(b.ue());
        if (sh.deblock_idc > 2) return why = "bad disable_deblocking_filter_idc", false;
        if (sh.deblock_idc != 1) {
            sh.alpha_offset = b.se() * 2;
            sh.beta_offset = b.se() * 2;
            if (sh.alpha_offset < -12 || sh.alpha_offset > 12 || sh.beta_offset < -12 ||
                sh.beta_offset > 12)
                return why = "bad filter offsets", false;
        }
    }
    if (pps.num_slice_groups > 1 && pps.slice_group_map_type >= 3 &&
        pps.slice_group_map_type <= 5) {
        int size = sps.mb_width * sps.mb_height;
        int units = (size + pps.slice_group_change_rate - 1) / pps.slice_group_change_rate + 1;
        int bits = 0;
        while ((1 << bits) < units) ++bits;
        sh.slice_group_change_cycle = int(b.u(bits));
    }
    if (b.error) return why = "truncated slice header", false;
    return true;
}

}  // namespace h264dec
