// Start codes, headers (sequence, extensions, picture), the picture store and display order.
#include <algorithm>
#include <cstring>

#include "m2vdec.hpp"
#include "mpeg2_code_lists.h"

namespace m2vdec {

namespace {

// ITU-T H.262 clause 6.3.11, default intra quantiser matrix (raster order)
constexpr Opx16s kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37, 19, 22, 26, 27, 29, 34,
    34, 38, 22, 22, 26, 27, 29, 34, 37, 40, 22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32,
    35, 40, 48, 58, 26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};

// frame_rate_code 1..8 (Table 6-4)
constexpr int kFrameRate[9][2] = {{0, 0},     {24000, 1001}, {24, 1}, {25, 1},      {30000, 1001},
                                  {30, 1},    {50, 1},       {60000, 1001}, {60, 1}};

enum StartCode : int {
    kPictureStart = 0x00,
    kSliceLast = 0xAF,
    kUserData = 0xB2,
    kSequenceHeader = 0xB3,
    kExtension = 0xB5,
    kSequenceEnd = 0xB7,
    kGroup = 0xB8,
};

Opx32s* build(const int32_t* list, bool run_level, bool& ok) {
    Opx32s* t = nullptr;
    const OpxResult r = run_level ? opxiHuffmanRunLevelTableInitAlloc_32s(list, &t)
                                  : opxiHuffmanTableInitAlloc_32s(list, &t);
    if (r != opxOk) ok = false;
    return t;
}

// Reads a quantiser matrix sent in zig-zag order into raster order.
void read_matrix(Bits& b, const Opx32s zigzag[64], Opx16s m[64]) {
    for (int i = 0; i < 64; ++i) m[zigzag[i]] = Opx16s(b.u(8));
}

}  // namespace

Tables::Tables() {
    ok = true;
    mb_addr_inc = build(mpeg2_b1_macroblock_address_increment, false, ok);
    mb_type[kI] = build(mpeg2_b2_macroblock_type_i, false, ok);
    mb_type[kP] = build(mpeg2_b3_macroblock_type_p, false, ok);
    mb_type[kB] = build(mpeg2_b4_macroblock_type_b, false, ok);
    cbp = build(mpeg2_b9_coded_block_pattern, false, ok);
    motion_code = build(mpeg2_b10_motion_code, false, ok);
    dc_size[0] = build(mpeg2_b12_dc_size_luma, false, ok);
    dc_size[1] = build(mpeg2_b13_dc_size_chroma, false, ok);
    b14 = build(mpeg2_b14, true, ok);
    b14_first = build(mpeg2_b14_first, true, ok);
    b15 = build(mpeg2_b15, true, ok);
    // The scan orders as the library's inverse scan places positions: feeding position k the
    // value k gives, at each raster index, the scan position that lands there.
    for (int s = 0; s < 2; ++s) {
        Opx16s pos[64], raster[64];
        for (int k = 0; k < 64; ++k) pos[k] = Opx16s(k);
        if (opxiScanInv_16s_C1(pos, raster, 63, s) != opxOk) ok = false;
        for (int r = 0; r < 64; ++r) scan[s][raster[r] & 63] = r;
        for (int k = 0; k < 64; ++k) scan_t[s][k] = (scan[s][k] & 7) * 8 + (scan[s][k] >> 3);
    }
}

Tables::~Tables() {
    Opx32s* all[] = {mb_addr_inc, mb_type[1], mb_type[2], mb_type[3], cbp, motion_code,
                     dc_size[0],  dc_size[1], b14,        b14_first,  b15};
    for (Opx32s* t : all)
        if (t) opxiHuffmanTableFree_32s(t);
}

void Frame::allocate(int w, int h, int chroma_format) {
    const int cw = chroma_format == 3 ? w : w / 2, ch = chroma_format == 1 ? h / 2 : h;
    const int ws[3] = {w, cw, cw}, hs[3] = {h, ch, ch};
    for (int c = 0; c < 3; ++c) {
        const int m = kMargin;
        width[c] = ws[c];
        height[c] = hs[c];
        stride[c] = ws[c] + 2 * m;
        buf[c].assign(size_t(stride[c]) * size_t(hs[c] + 2 * m) + 16, 0);
        plane[c] = buf[c].data() + size_t(m) * stride[c] + m;
    }
}

// Copies the border samples into the margin, so predictions from outside the picture see the
// nearest edge sample (vectors are clamped to the margin).
void Frame::extend_edges() {
    for (int c = 0; c < 3; ++c) {
        const int m = kMargin, w = width[c], h = height[c], s = stride[c];
        for (int y = 0; y < h; ++y) {
            uint8_t* row = plane[c] + y * s;
            std::memset(row - m, row[0], size_t(m));
            std::memset(row + w, row[w - 1], size_t(m));
        }
        for (int y = 1; y <= m; ++y) {
            std::memcpy(plane[c] - y * s - m, plane[c] - m, size_t(s));
            std::memcpy(plane[c] + (h - 1 + y) * s - m, plane[c] + (h - 1) * s - m, size_t(s));
        }
    }
}

std::unique_ptr<std::vector<Opx32u>> words_of(const uint8_t* data, size_t size) {
    auto w = std::make_unique<std::vector<Opx32u>>((size + 3) / 4 + 4, 0);
    Opx32u* out = w->data();
    size_t i = 0;
    for (; i + 4 <= size; i += 4)
        out[i / 4] = Opx32u(data[i]) << 24 | Opx32u(data[i + 1]) << 16 | Opx32u(data[i + 2]) << 8 | data[i + 3];
    for (; i < size; ++i) out[i / 4] |= Opx32u(data[i]) << (24 - 8 * (i % 4));
    return w;
}

Decoder::Decoder(const Options& opt, FILE* report)
    : opt_(opt), report_(report), writer_(opt.out, opt.format) {}

Decoder::~Decoder() { writer_.close(); }

bool Decoder::close_output() { return writer_.close(); }

void Decoder::refuse(const std::string& why) {
    if (!refused_ && report_) std::fprintf(report_, "opxvc-m2vdec: unsupported stream: %s\n", why.c_str());
    refused_ = true;
}

void Decoder::damage(const char* what) {
    if (report_ && !opt_.quiet && errors_ < 20)
        std::fprintf(report_, "opxvc-m2vdec: damaged stream: %s (picture %ld)\n", what, pictures_);
    ++errors_;
}

// ---- start-code units ------------------------------------------------------------------------
void Decoder::decode(const Opx32u* words, size_t size) {
    if (!tab_.ok) {
        refuse("the library refused the VLC tables");
        return;
    }
    auto byte_at = [&](size_t i) { return uint8_t(words[i / 4] >> (24 - 8 * (i % 4))); };
    auto find_start = [&](size_t from) -> size_t {
        for (size_t k = from; k + 3 < size;) {
            const uint8_t c = byte_at(k + 2);
            if (c > 1) {  // no start code begins at k, k + 1 or k + 2
                k += 3;
                continue;
            }
            if (c == 1 && byte_at(k + 1) == 0 && byte_at(k) == 0) return k;
            ++k;
        }
        return size;
    };
    size_t i = find_start(0);
    while (i < size && !refused_ && !stopped_) {
        const int code = byte_at(i + 3);
        const size_t body = i + 4, next = find_start(body);
        Bits b;
        b.begin = words;
        b.ptr = words + body / 4;
        b.pos = 31 - 8 * int(body % 4);
        b.end = uint64_t(std::min(next, size)) * 8;
        if (code >= 0x01 && code <= kSliceLast) {
            if (have_picture_) decode_slice(b, code);
        } else {
            if (have_picture_ && code != kExtension && code != kUserData) finish_picture();
            switch (code) {
                case kSequenceHeader:
                    if (!parse_sequence_header(b)) damage("sequence header");
                    ext_after_ = 1;
                    break;
                case kExtension:
                    if (!parse_extension(b)) damage("extension");
                    break;
                case kGroup: ext_after_ = 0; break;
                case kPictureStart:
                    ext_after_ = 2;
                    if (!parse_picture_header(b)) damage("picture header");
                    break;
                case kUserData: break;
                case kSequenceEnd: ext_after_ = 0; break;
                default: break;  // system start codes and reserved ones
            }
        }
        i = next;
    }
}

bool Decoder::parse_sequence_header(Bits& b) {
    SequenceHeader s;
    s.horizontal_size = int(b.u(12));
    s.vertical_size = int(b.u(12));
    s.aspect_ratio_information = int(b.u(4));
    s.frame_rate_code = int(b.u(4));
    b.skip(18);  // bit_rate_value
    b.skip(1);   // marker_bit
    b.skip(10);  // vbv_buffer_size_value
    b.skip(1);   // constrained_parameters_flag
    std::memcpy(s.intra_quantiser_matrix, kDefaultIntraMatrix, sizeof kDefaultIntraMatrix);
    if (b.bit()) read_matrix(b, tab_.scan[0], s.intra_quantiser_matrix);
    std::fill(s.non_intra_quantiser_matrix, s.non_intra_quantiser_matrix + 64, Opx16s(16));
    if (b.bit()) read_matrix(b, tab_.scan[0], s.non_intra_quantiser_matrix);
    std::memcpy(s.chroma_intra_quantiser_matrix, s.intra_quantiser_matrix, 128);
    std::memcpy(s.chroma_non_intra_quantiser_matrix, s.non_intra_quantiser_matrix, 128);
    if (b.error || s.horizontal_size == 0 || s.vertical_size == 0) return false;
    if (s.frame_rate_code < 1 || s.frame_rate_code > 8) s.frame_rate_code = 3;
    // A repeated sequence header keeps the extension's values (clause 6.1.1.6).
    if (seq_.valid && seq_.mpeg2) {
        s.mpeg2 = true;
        s.profile_and_level_indication = seq_.profile_and_level_indication;
        s.progressive_sequence = seq_.progressive_sequence;
        s.chroma_format = seq_.chroma_format;
        s.frame_rate_extension_n = seq_.frame_rate_extension_n;
        s.frame_rate_extension_d = seq_.frame_rate_extension_d;
        s.horizontal_size |= seq_.horizontal_size & ~0xFFF;
        s.vertical_size |= seq_.vertical_size & ~0xFFF;
        s.display_horizontal_size = seq_.display_horizontal_size;
        s.display_vertical_size = seq_.display_vertical_size;
    }
    s.mb_width = (s.horizontal_size + 15) / 16;
    s.mb_height = s.progressive_sequence ? (s.vertical_size + 15) / 16 : 2 * ((s.vertical_size + 31) / 32);
    if (seq_.valid && (s.mb_width != seq_.mb_width || s.mb_height != seq_.mb_height)) flush();
    s.valid = true;
    seq_ = s;
    return true;
}

bool Decoder::parse_extension(Bits& b) {
    const int id = int(b.u(4));
    if (ext_after_ == 1 && id == 1) {  // sequence_extension
        seq_.mpeg2 = true;
        seq_.profile_and_level_indication = int(b.u(8));
        seq_.progressive_sequence = b.bit();
        seq_.chroma_format = int(b.u(2));
        seq_.horizontal_size = (seq_.horizontal_size & 0xFFF) | int(b.u(2)) << 12;
        seq_.vertical_size = (seq_.vertical_size & 0xFFF) | int(b.u(2)) << 12;
        b.skip(12);  // bit_rate_extension
        b.skip(1);   // marker_bit
        b.skip(8);   // vbv_buffer_size_extension
        b.skip(1);   // low_delay
        seq_.frame_rate_extension_n = int(b.u(2));
        seq_.frame_rate_extension_d = int(b.u(5));
        seq_.mb_width = (seq_.horizontal_size + 15) / 16;
        // an interlaced sequence codes frames in a multiple of two macroblock rows (clause 6.3.3)
        seq_.mb_height = seq_.progressive_sequence ? (seq_.vertical_size + 15) / 16
                                                   : 2 * ((seq_.vertical_size + 31) / 32);
        if (seq_.chroma_format != 1 && seq_.chroma_format != 2) refuse("chroma format 4:4:4");
        if (seq_.vertical_size > 2800) refuse("picture height above 2800 lines");
        return !b.error;
    }
    if (ext_after_ == 1 && id == 2) {  // sequence_display_extension
        b.skip(3);                     // video_format
        if (b.bit()) b.skip(24);       // colour_description
        seq_.display_horizontal_size = int(b.u(14));
        b.skip(1);
        seq_.display_vertical_size = int(b.u(14));
        return !b.error;
    }
    if (ext_after_ == 1 && id == 5) {
        refuse("scalable extension");
        return true;
    }
    if (id == 3) {  // quant_matrix_extension
        if (b.bit()) {
            read_matrix(b, tab_.scan[0], seq_.intra_quantiser_matrix);
            std::memcpy(seq_.chroma_intra_quantiser_matrix, seq_.intra_quantiser_matrix, 128);
        }
        if (b.bit()) {
            read_matrix(b, tab_.scan[0], seq_.non_intra_quantiser_matrix);
            std::memcpy(seq_.chroma_non_intra_quantiser_matrix, seq_.non_intra_quantiser_matrix, 128);
        }
        if (b.bit()) read_matrix(b, tab_.scan[0], seq_.chroma_intra_quantiser_matrix);
        if (b.bit()) read_matrix(b, tab_.scan[0], seq_.chroma_non_intra_quantiser_matrix);
        return !b.error;
    }
    if (ext_after_ == 2 && id == 8) {  // picture_coding_extension
        PictureHeader& p = pic_;
        for (int s = 0; s < 2; ++s)
            for (int t = 0; t < 2; ++t) p.f_code[s][t] = int(b.u(4));
        p.intra_dc_precision = int(b.u(2));
        p.picture_structure = int(b.u(2));
        p.top_field_first = b.bit();
        p.frame_pred_frame_dct = b.bit();
        p.concealment_motion_vectors = b.bit();
        p.q_scale_type = b.bit();
        p.intra_vlc_format = b.bit();
        p.alternate_scan = b.bit();
        p.repeat_first_field = b.bit();
        b.skip(1);  // chroma_420_type
        p.progressive_frame = b.bit();
        picture_ext_seen_ = true;
        if (p.picture_structure != 3) refuse("field pictures");
        if (p.intra_dc_precision == 3) refuse("intra_dc_precision 3 (11 bits)");
        return !b.error;
    }
    if (ext_after_ == 2 && (id == 4 || id == 7 || id >= 9)) {  // copyright, display, scalable
        if (id >= 9) refuse("picture spatial or temporal scalable extension");
        return true;
    }
    return true;
}

bool Decoder::parse_picture_header(Bits& b) {
    if (!seq_.valid) return false;
    if (opt_.levels_path && !seq_.mpeg2) {
        refuse("--path=levels with MPEG-1 (the library's inverse quantisers are MPEG-2's)");
        return true;
    }
    PictureHeader p;
    p.temporal_reference = int(b.u(10));
    p.picture_coding_type = int(b.u(3));
    b.skip(16);  // vbv_delay
    if (p.picture_coding_type == kP || p.picture_coding_type == kB) {
        p.full_pel_vector[0] = int(b.u(1));
        p.f_code[0][0] = p.f_code[0][1] = int(b.u(3));
    }
    if (p.picture_coding_type == kB) {
        p.full_pel_vector[1] = int(b.u(1));
        p.f_code[1][0] = p.f_code[1][1] = int(b.u(3));
    }
    while (b.bit()) b.skip(8);  // extra_information_picture
    if (b.error) return false;
    if (p.picture_coding_type < kI || p.picture_coding_type > kB) {
        if (p.picture_coding_type == 4) refuse("D-pictures");
        return false;
    }
    pic_ = p;
    picture_ext_seen_ = false;
    start_picture();
    return true;
}

// ---- picture store and display order -------------------------------------------------------
void Decoder::start_picture() {
    if (opt_.max_frames >= 0 && frames_out_ >= opt_.max_frames) {
        stopped_ = true;
        return;
    }
    if (!spare_.empty()) {
        cur_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        cur_ = std::make_unique<Frame>();
    }
    const int chroma_height = seq_.chroma_format == 1 ? seq_.mb_height * 8 : seq_.mb_height * 16;
    if (cur_->width[0] != seq_.mb_width * 16 || cur_->height[0] != seq_.mb_height * 16 ||
        cur_->height[1] != chroma_height)
        cur_->allocate(seq_.mb_width * 16, seq_.mb_height * 16, seq_.chroma_format);
    cur_->temporal_reference = pic_.temporal_reference;
    const Opx16s* const matrices[4] = {seq_.intra_quantiser_matrix, seq_.chroma_intra_quantiser_matrix,
                                       seq_.non_intra_quantiser_matrix, seq_.chroma_non_intra_quantiser_matrix};
    for (int m = 0; m < 4; ++m)
        for (int k = 0; k < 64; ++k) weights_t_[m][(k & 7) * 8 + (k >> 3)] = matrices[m][k];
    have_picture_ = true;
}

void Decoder::finish_picture() {
    have_picture_ = false;
    ++pictures_;
    if (seq_.mpeg2 && !picture_ext_seen_) damage("picture without picture coding extension");
    if (pic_.picture_coding_type == kB) {
        // B-pictures of an open GOP that lack their forward reference are dropped.
        if (fwd_) output(*cur_);
        spare_.push_back(std::move(cur_));
        return;
    }
    cur_->extend_edges();
    if (bwd_pending_) output(*bwd_);
    if (fwd_) spare_.push_back(std::move(fwd_));
    fwd_ = std::move(bwd_);
    bwd_ = std::move(cur_);
    bwd_pending_ = true;
}

void Decoder::flush() {
    if (have_picture_) finish_picture();
    if (bwd_pending_ && bwd_) output(*bwd_);
    bwd_pending_ = false;
    if (fwd_) spare_.push_back(std::move(fwd_));
    if (bwd_) spare_.push_back(std::move(bwd_));
}

void Decoder::output(const Frame& f) {
    if (opt_.max_frames >= 0 && frames_out_ >= opt_.max_frames) {
        stopped_ = true;
        return;
    }
    opxcli::PictureFormat fmt;
    fmt.width = seq_.horizontal_size;
    fmt.height = seq_.vertical_size;
    fmt.chroma = seq_.chroma_format == 2 ? opxcli::Chroma::k422 : opxcli::Chroma::k420;
    const int fr = seq_.frame_rate_code;
    fmt.fps_num = kFrameRate[fr][0] * (seq_.frame_rate_extension_n + 1);
    fmt.fps_den = kFrameRate[fr][1] * (seq_.frame_rate_extension_d + 1);
    fmt.interlace = seq_.progressive_sequence ? 'p' : (pic_.top_field_first ? 't' : 'b');
    const int a = seq_.aspect_ratio_information;
    if (seq_.mpeg2) {
        // display aspect ratio 4:3, 16:9, 2.21:1 over the display (or coded) size
        const int dw = seq_.display_horizontal_size ? seq_.display_horizontal_size : fmt.width;
        const int dh = seq_.display_vertical_size ? seq_.display_vertical_size : fmt.height;
        static const int kDar[5][2] = {{0, 0}, {1, 1}, {4, 3}, {16, 9}, {221, 100}};
        if (a == 1) {
            fmt.sar_num = fmt.sar_den = 1;
        } else if (a >= 2 && a <= 4) {
            int64_t n = int64_t(kDar[a][0]) * dh, d = int64_t(kDar[a][1]) * dw, x = n, y = d;
            while (y) {
                const int64_t t = x % y;
                x = y;
                y = t;
            }
            fmt.sar_num = int(n / x);
            fmt.sar_den = int(d / x);
        }
    } else if (a >= 1 && a <= 14) {
        // pel aspect ratio (height / width) of ISO/IEC 11172-2 Table 2.4.3.2, times 10000
        static const int kPel[15] = {0,     10000, 6735,  7031,  7615,  8055,  8437, 8935,
                                     9157,  9815,  10255, 10695, 10950, 11575, 12015};
        fmt.sar_num = 10000;
        fmt.sar_den = kPel[a];
    }
    const opxcli::Plane planes[3] = {
        {f.plane[0], f.stride[0], fmt.width, fmt.height},
        {f.plane[1], f.stride[1], fmt.chroma_width(), fmt.chroma_height()},
        {f.plane[2], f.stride[2], fmt.chroma_width(), fmt.chroma_height()}};
    if (opt_.md5) std::printf("%ld %s\n", frames_out_, opxcli::frame_md5(fmt, planes).c_str());
    if (writer_.enabled() && !writer_.write(fmt, planes)) stopped_ = true;
    ++frames_out_;
    if (opt_.progress) opt_.progress->frame();
}

}  // namespace m2vdec
