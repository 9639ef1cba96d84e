// The decoder's state: parameter sets, the picture being decoded with its per-macroblock data,
// the decoded picture buffer and the output queue.
#pragma once

#include <array>
#include <cstdio>
#include <functional>

#include "h264dec.hpp"

namespace h264dec {

enum MbKind : uint8_t { kMbI4x4, kMbI8x8, kMbI16x16, kMbIPCM, kMbInter, kMbSkip };

struct MbInfo {
    int slice_num = -1;  // -1: not (yet) decoded in this picture
    MbKind kind = kMbSkip;
    bool intra = false, transform8x8 = false;
    bool field = false;  // MBAFF: a field macroblock (mb_field_decoding_flag)
    int8_t qp = 0;
    int8_t qpc[2] = {0, 0};
    uint8_t total_coeff[16];      // luma 4x4 blocks, raster order inside the macroblock
    uint8_t total_coeff_c[2][8];  // chroma 4x4 blocks (2 wide, 2 or 4 high, raster order)
    uint16_t nonzero = 0;         // luma 4x4 blocks (raster) with coefficients, for bS = 2
    // bit e: the motion does not change across internal edge e (vertical [0], horizontal [1])
    uint8_t still[2] = {0, 0};
    bool bs_valid = false;  // bs holds the strengths of the decoded picture's neighbours
    Opx8u bs[2][16];        // boundary strengths: vertical, horizontal edges [4 * edge + segment]
    int8_t ipred[16];       // Intra4x4/8x8 modes per 4x4 block (raster), 2 otherwise
};

// A slice's deblocking settings and its filter thresholds by qP.
struct SliceInfo : h264common::FilterThresholds {
    int deblock_idc = 0, alpha_offset = 0, beta_offset = 0;
    int chroma_qp_offset[2] = {0, 0};
    void build_thresholds() { build(alpha_offset, beta_offset); }
};

// Tables of CAVLC codes built with the library's table builder.
struct CavlcTables {
    const Opx32s* coeff_token[4] = {};  // nC classes 0..2, [3]: chroma DC
    const Opx32s* total_zeros[16] = {};
    const Opx32s* total_zeros_dc[4] = {};
    const Opx32s* coeff_token_422 = nullptr;  // chroma DC 2x4 (nC = -2)
    const Opx32s* total_zeros_422[8] = {};
    const Opx32s* run_before[16] = {};
    std::vector<Opx32s*> owned;
    bool ok = false;
    ~CavlcTables();
};

// The level scales of the 4x4 and 8x8 blocks (clause 8.5.9: [list][qP % 6][raster]) and the
// scaling lists they were formed from: slices of a picture, and mostly of a stream, share them.
struct LevelScale {
    bool valid = false;
    uint8_t from4x4[6][16], from8x8[2][64];
    Opx16s ls4[6][6][16];
    Opx16s ls8[2][6][64];
};

class Decoder {
  public:
    Decoder(const Options& opt, FILE* report);
    ~Decoder();
    void feed_nal(const uint8_t* nal, size_t size);
    void flush();
    long frames_out() const { return frames_out_; }
    long errors() const { return errors_; }
    bool refused() const { return refused_; }
    bool stop() const {
        return output_failed_ || (opt_.max_frames >= 0 && frames_out_ >= opt_.max_frames);
    }
    // The output could not be written (the reason in output_error()); decoding stops.
    bool output_failed() const { return output_failed_; }
    const std::string& output_error() const { return writer_.error(); }
    bool close_output();  // flushes the output; false on an I/O error

    // ---- used by the slice decoder ----
    void error(const char* fmt, ...);
    void mb_decoded(int mb);  // after the macroblock's samples and filter strengths

  private:
    friend class SliceDecoder;
    Options opt_;
    FILE* report_;
    opxcli::FrameWriter writer_;
    bool output_failed_ = false;
    std::vector<uint8_t> gray_;  // the chroma of 4:0:0 pictures
    long frames_out_ = 0, errors_ = 0;
    bool refused_ = false;
    int next_id_ = 3;  // frame stores take ids 3k, their fields 3k + 1 and 3k + 2

    Sps sps_[32];
    Pps pps_[256];
    Rbsp rbsp_;
    CavlcTables vlc_;

    // active sequence
    Sps active_sps_;
    const Sps* sps_active_ = nullptr;
    int mb_width_ = 0, mb_height_ = 0;
    int dpb_size_ = 16, reorder_ = 16, max_refs_ = 16;

    // current picture: the frame, or the field view being decoded, and its frame store
    Picture* cur_ = nullptr;
    Picture* store_ = nullptr;
    // a first field whose second field may follow (held until then or until another picture)
    Picture* pending_ = nullptr;
    bool field_pic_ = false, pending_ref_ = false;
    bool mbaff_ = false;  // the current picture is an MBAFF frame
    std::vector<MbInfo> mbs_;
    // 4:2:2 macroblocks with the 8x8 transform: bS of horizontal edges 1 and 3 [4 * (edge >> 1)
    // + segment], which chroma filters (its transform is 4x4) and luma does not; empty unless
    // the sequence is 4:2:2
    std::vector<std::array<Opx8u, 8>> bs_c422_;
    std::vector<SliceInfo> slices_;
    LevelScale level_scale_;
    std::vector<int> mb_to_slice_group_;
    bool one_group_ = true;  // one slice group: every macroblock's
    SliceHeader first_sh_;
    int slice_num_ = 0;
    bool cur_has_error_ = false;
    int decode_order_ = 0;
    // filtering during decoding: rows filtered, next macroblock in raster order, all in order
    int deblocked_rows_ = 0, next_in_order_ = 0;
    bool in_order_ = true;

    // POC and frame number state
    int64_t prev_poc_msb_ = 0, prev_frame_num_offset_ = 0;
    int prev_poc_lsb_ = 0, prev_frame_num_ = 0, prev_ref_frame_num_ = 0;
    bool prev_mmco5_ = false;
    int max_long_term_idx_ = -1;  // -1: "no long-term frame indices"

    std::vector<std::unique_ptr<Picture>> dpb_;  // reference and/or waiting for output
    std::vector<std::unique_ptr<Picture>> free_;

    bool activate_sps(const Sps& sps);
    Picture* new_picture();
    void start_picture(const SliceHeader& sh, const Sps& sps, const Pps& pps);
    void finish_picture();
    void compute_poc(const SliceHeader& sh, const Sps& sps, Picture& p);
    void fill_frame_gap(const SliceHeader& sh, const Sps& sps);
    void mark_references(const SliceHeader& sh, const Sps& sps);
    void sliding_window();
    void finish_unpaired();
    static void derive_frame_marking(Picture& s);
    void store_picture(Picture* p);
    void bump();
    void output(Picture& p);
    void release_unused();
    void build_slice_group_map(const SliceHeader& sh, const Sps& sps, const Pps& pps);
    // the next macroblock of mb's slice group (clause 8.2.2: nextMbAddress)
    int next_mb(int mb) const { return one_group_ ? mb + 1 : next_mb_in_group(mb); }
    int next_mb_in_group(int mb) const;
    bool build_ref_lists(const SliceHeader& sh, std::vector<Picture*> lists[2]);
    void decode_slice(const SliceHeader& sh, Bits& bits);
    void deblock_rows(int first, int end);
    void edge_strengths(int mbx, int mby);
    void conceal_picture();
    void fill_grey(Picture& p) const;
    template <class Pel>
    void deblock_mb(const h264common::MbFilter& f, const MbInfo& q, size_t mb, const SliceInfo& si);
    h264common::MbFilter mb_filter(const Picture& v, int x, int y, const MbInfo& q,
                                   const Opx8u (*bs)[16], const MbInfo* const nb[2]) const;
    void filter_mb(const h264common::MbFilter& f, const MbInfo& q, size_t mb, const SliceInfo& si);
    void deblock_mbaff();
    void deblock_mbaff_left(const h264common::MbFilter& f, const MbInfo& q,
                            const MbInfo* const left[2], const int* row_bs, const SliceInfo& si);
};

// ---- parsing (params.cpp) ----
bool parse_sps(Bits& b, Sps& sps);
bool parse_pps(Bits& b, const Sps* sps_table, Pps& pps);
bool parse_slice_header(Bits& b, int nal_type, int nal_ref_idc, const Sps* sps_table,
                        const Pps* pps_table, SliceHeader& sh, std::string& why);
bool build_cavlc_tables(CavlcTables& t);

void clear_motion(MbMotion& m);  // no list used, zero vectors

// Splits an Annex B byte stream into NAL units, decodes them and flushes; returns the number of
// frames output.
long decode_stream(Decoder& d, const uint8_t* data, size_t size);
// The whole contents of a file ("-": standard input); false when it cannot be read.
bool read_stream(const char* path, std::vector<uint8_t>& data);
// The output format of the active sequence: cropped size, frame rate, aspect ratio, range.
opxcli::PictureFormat picture_format(const Sps& sps);

// ---- tables (the shared examples/h264common) ----
using namespace h264common;

}  // namespace h264dec
