// opxvc-m2vdec: an MPEG-1 / MPEG-2 video decoder built on the library's public interface. The
// decoder parses headers and slice data itself and derives motion vectors; every VLC goes
// through tables from the library's builders, coefficients through the library's block decoders
// (or, with --path=levels, its pair decoder, inverse scan and inverse quantisers), prediction
// and residual addition through its motion-compensation primitives. The 8×8 inverse DCT is the
// decoder's own (idct.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.hpp"
#include "opxvc.h"
#include "output.hpp"

namespace m2vdec {

// ---- bit reader on the library's word reading cursor ----------------------------------------
// The elementary stream is held as 32-bit words with the first byte in bits 31..24, the layout
// the library's VLC and block decoders read; header parsing uses the same cursor (word pointer
// and bit number 31..0), so both take turns. `end` is the bit position (from the start of the
// words) where the current start-code unit ends.
struct Bits {
    const Opx32u* ptr = nullptr;
    Opx32s pos = 31;
    const Opx32u* begin = nullptr;
    uint64_t end = 0;
    bool error = false;

    uint64_t consumed() const { return uint64_t(ptr - begin) * 32 + uint64_t(31 - pos); }
    bool overrun() const { return consumed() > end; }
    uint32_t peek(int n) const;  // n in 1..32
    uint32_t u(int n);           // n in 0..32
    bool bit() { return u(1) != 0; }
    void skip(int n) { u(n); }
};

inline uint32_t Bits::peek(int n) const {
    // the padding keeps two words readable behind any position inside the stream
    uint64_t w = (uint64_t(ptr[0]) << 32) | ptr[1];
    int start = 32 + pos;  // bit index in w of the next bit
    return uint32_t((w >> (start - n + 1)) & ((n == 32) ? 0xFFFFFFFFull : ((1ull << n) - 1)));
}

inline uint32_t Bits::u(int n) {
    // after an overrun the cursor stays where it is (within the padding) and reads give 0
    if (n == 0 || error) return 0;
    uint32_t v = peek(n);
    int q = pos - n;
    if (q >= 0) {
        pos = q;
    } else {
        pos = q + 32;
        ++ptr;
    }
    if (overrun()) {
        error = true;
        return 0;
    }
    return v;
}

// ---- headers (ITU-T H.262 clause 6.2; ISO/IEC 11172-2 clause 2.4.2) --------------------------
enum PictureType { kI = 1, kP = 2, kB = 3 };

struct SequenceHeader {
    bool valid = false;
    bool mpeg2 = false;  // a sequence_extension follows the sequence header
    int horizontal_size = 0, vertical_size = 0;
    int aspect_ratio_information = 0, frame_rate_code = 0;
    int frame_rate_extension_n = 0, frame_rate_extension_d = 0;
    int profile_and_level_indication = 0;
    bool progressive_sequence = true;
    int chroma_format = 1;  // 1 4:2:0, 2 4:2:2, 3 4:4:4
    int display_horizontal_size = 0, display_vertical_size = 0;  // 0: not sent
    // quantiser matrices in raster order
    Opx16s intra_quantiser_matrix[64], non_intra_quantiser_matrix[64];
    Opx16s chroma_intra_quantiser_matrix[64], chroma_non_intra_quantiser_matrix[64];
    int mb_width = 0, mb_height = 0;
};

struct PictureHeader {
    int temporal_reference = 0;
    int picture_coding_type = 0;
    int full_pel_vector[2] = {0, 0};  // MPEG-1 forward, backward
    int f_code[2][2] = {{15, 15}, {15, 15}};  // [forward/backward][horizontal/vertical]
    int intra_dc_precision = 0;
    int picture_structure = 3;  // 1 top field, 2 bottom field, 3 frame
    bool top_field_first = false, frame_pred_frame_dct = true, concealment_motion_vectors = false;
    bool q_scale_type = false, intra_vlc_format = false, alternate_scan = false;
    bool repeat_first_field = false, progressive_frame = true;
};

// ---- pictures ------------------------------------------------------------------------------
// One decoded frame: three planes with a margin around the coded area (a multiple of 16 luma
// samples each way), so motion vectors clamped into the margin never read outside the buffer.
struct Frame {
    static constexpr int kMargin = 32;  // samples on each side, every plane (blocks of 16 + 1)
    std::vector<uint8_t> buf[3];
    uint8_t* plane[3] = {nullptr, nullptr, nullptr};  // sample (0, 0)
    int stride[3] = {0, 0, 0};
    int width[3] = {0, 0, 0}, height[3] = {0, 0, 0};  // coded size
    int temporal_reference = 0;
    void allocate(int w, int h, int chroma_format);
    void extend_edges();
};

struct Options {
    bool md5 = false;
    bool coeffs = false;       // --coeffs
    bool levels_path = false;  // --path=levels (MPEG-2): pair decoder, inverse scan, quantiser
    std::string out, format;
    long max_frames = -1;
    bool quiet = false;
    opxcli::Progress* progress = nullptr;
};

// The VLC tables, built once from the H.262 annex B code lists.
struct Tables {
    Opx32s* mb_addr_inc = nullptr;
    Opx32s* mb_type[4] = {nullptr, nullptr, nullptr, nullptr};  // by picture_coding_type
    Opx32s* cbp = nullptr;
    Opx32s* motion_code = nullptr;
    Opx32s* dc_size[2] = {nullptr, nullptr};  // luma, chroma
    Opx32s* b14 = nullptr;
    Opx32s* b14_first = nullptr;
    Opx32s* b15 = nullptr;
    Opx32s scan[2][64];  // zig-zag, alternate: scan position -> raster index
    Opx32s scan_t[2][64];  // the same to the transposed block (the inverse DCT's input)
    bool ok = false;
    Tables();
    ~Tables();
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;
};

// 8×8 inverse DCT (IEEE 1180 accurate): coefficients in raster order to a residual clamped to
// -256..255, or to samples clamped to 0..255 (intra blocks); the _t forms take the coefficient
// block transposed (in_t[8 × u + v] = F(u, v), u horizontal), as the decoder keeps it.
void idct8x8_residual(const Opx16s in[64], Opx16s* out, int out_stride_elems);
void idct8x8_samples(const Opx16s in[64], uint8_t* out, int out_stride);
void idct8x8_residual_t(const Opx16s in_t[64], Opx16s* out, int out_stride_elems);
void idct8x8_samples_t(const Opx16s in_t[64], uint8_t* out, int out_stride);
// A block whose only nonzero coefficients are F(0, 0) and F(7, 7) (in intra blocks without AC
// coefficients, mismatch control makes F(7, 7) 1 whenever the DC is even): the same values as
// the full transform, for a fraction of its work.
void idct8x8_dc_residual(int dc, int f77, Opx16s* out, int out_stride_elems);
void idct8x8_dc_samples(int dc, int f77, uint8_t* out, int out_stride);
// The double-precision definition, for the accuracy test.
void idct8x8_reference(const double in[64], double out[64]);

class Decoder {
  public:
    Decoder(const Options& opt, FILE* report);
    ~Decoder();
    // Decodes one elementary stream held as words (first byte in bits 31..24, two zero words of
    // padding behind `size` bytes).
    void decode(const Opx32u* words, size_t size);
    void flush();
    bool close_output();
    long frames_out() const { return frames_out_; }
    bool refused() const { return refused_; }
    long errors() const { return errors_; }
    const std::string& output_error() const { return writer_.error(); }

  private:
    // headers
    bool parse_sequence_header(Bits& b);
    bool parse_extension(Bits& b);
    bool parse_picture_header(Bits& b);
    void refuse(const std::string& why);
    void damage(const char* what);
    // pictures
    void start_picture();
    void finish_picture();
    void decode_slice(Bits& b, int slice_vertical_position);
    bool decode_macroblock(Bits& b, int mb_x, int mb_y, int& quantiser_scale_code);
    bool read_motion_vectors(Bits& b, int s, int motion_vector_count, bool mv_format_field);
    int read_vector_component(Bits& b, int f_code, int pred);
    // The block's coefficients, transposed (the inverse DCT's input); `dc_only` is set when no
    // coefficient but F(0, 0) and F(7, 7) can be nonzero.
    bool decode_block(Bits& b, int block, bool intra, int qscale, Opx16s coeffs[64], bool& dc_only);
    bool decode_block_levels(Bits& b, int block, bool intra, int qscale, Opx16s coeffs[64]);
    void predict(int mb_x, int mb_y, int flags, const Opx16s* residual);
    void skip_macroblock(int mb_x, int mb_y);
    void output(const Frame& f);
    void print_coeffs(int block, const Opx16s c[64]);

    Options opt_;
    FILE* report_;
    opxcli::FrameWriter writer_;
    Tables tab_;
    SequenceHeader seq_;
    PictureHeader pic_;
    bool have_picture_ = false;  // a picture header has been read and its slices go to cur_
    bool picture_ext_seen_ = false;
    int ext_after_ = 0;  // 1: sequence header, 2: picture header (where an extension belongs)
    std::unique_ptr<Frame> cur_, fwd_, bwd_;  // being decoded; older and newer reference
    bool bwd_pending_ = false;  // bwd_ is a reference not yet output
    std::vector<std::unique_ptr<Frame>> spare_;
    long frames_out_ = 0, pictures_ = 0, errors_ = 0;
    bool refused_ = false, stopped_ = false;

    // macroblock state (ITU-T H.262 clause 7.6.3)
    Opx16s dc_pred_[3] = {0, 0, 0};
    int pmv_[2][2][2] = {};  // PMV[r][s][t]
    int mv_[2][2][2] = {};   // vector[r][s][t] of the current macroblock
    int field_select_[2][2] = {};
    int last_flags_ = 0;     // macroblock_type of the previous macroblock (B skips reuse it)
    int motion_type_ = 2;    // frame_motion_type: 1 field, 2 frame
    bool dct_type_field_ = false;
    int quantiser_scale_ = 0;
    int cur_mb_x_ = 0, cur_mb_y_ = 0;
    static constexpr int kEdgeStride = 32;
    uint8_t edge_[2][kEdgeStride * 17];
    // the quantiser matrices transposed, for the block decoders: intra luma, intra chroma,
    // non-intra luma, non-intra chroma (set for each picture)
    Opx16s weights_t_[4][64];  // field blocks rebuilt at the picture's top or bottom
};

std::unique_ptr<std::vector<Opx32u>> words_of(const uint8_t* data, size_t size);
// Extracts the video elementary stream of an MPEG program stream (pack header first); false
// when the data is not one.
bool demux_program_stream(const uint8_t* data, size_t size, std::vector<uint8_t>& es);

}  // namespace m2vdec
