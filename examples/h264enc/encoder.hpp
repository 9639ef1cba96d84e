// opxvc-h264enc: an H.264 encoder (Baseline profile, CAVLC, one slice per picture, I and P
// pictures with one reference) built on the library's public interface. The encoder decides
// modes and motion and writes the syntax; the forward transforms and quantisation, the CAVLC
// syntax elements, the metrics, intra prediction, interpolation, reconstruction and deblocking
// are library calls.
#pragma once

#include <cstdint>
#include <vector>

#include "h264common.hpp"
#include "syntax.hpp"

namespace h264enc {

struct Settings {
    int width = 0, height = 0;  // even
    int qp = 26;                // 0..51
    int keyint = 250;           // an IDR picture every keyint pictures
    bool deblock = true;
};

// One picture plane with a replicated border of `pad` samples on every side.
struct Plane {
    std::vector<uint8_t> buf;
    int width = 0, height = 0, stride = 0, pad = 0;
    uint8_t* origin = nullptr;  // sample (0, 0)
    void init(int w, int h, int p);
    uint8_t* at(int x, int y) { return origin + std::ptrdiff_t(y) * stride + x; }
};

struct Picture {
    Plane p[3];
};

// What the encoder keeps of a coded macroblock for its neighbours and the filter.
struct MbState {
    bool intra = false;
    uint8_t tc[16] = {};     // TotalCoeff of the luma 4x4 blocks (raster)
    uint8_t tcc[2][4] = {};  // chroma AC blocks
    uint16_t nonzero = 0;    // luma blocks (raster) with coefficients
    int8_t ipred[16] = {};   // Intra4x4 modes, 2 for other macroblock types
};

class Encoder {
  public:
    explicit Encoder(const Settings& s);
    // The parameter sets; written once before the first picture.
    void headers(std::vector<uint8_t>& out);
    // Encodes one picture (planes of width x height, rows packed) and appends its NAL unit.
    void encode(const uint8_t* const planes[3], std::vector<uint8_t>& out);
    // The reconstruction of the last picture (coded size; the cropped part is width x height).
    const Picture& recon() const { return *cur_; }
    long frames() const { return frame_; }

  private:
    Settings s_;
    int mbw_, mbh_;
    CavlcCodes codes_;
    h264common::FilterThresholds thr_;
    Picture src_, pics_[2];
    Picture* cur_ = &pics_[0];
    Picture* ref_ = &pics_[1];
    std::vector<MbState> mbs_;
    std::vector<h264common::MbMotion> motion_;
    long frame_ = 0;
    int frame_num_ = 0, idr_id_ = 0;
    bool p_slice_ = false;
    int qpc_;
    double lambda_;
    Opx16s scan_pos_[16];       // raster index -> zig-zag position
    uint32_t cbp_code_[2][48];  // coded_block_pattern -> me(v) codeNum, intra [0] and inter [1]
    BitWriter bw_;

    // the macroblock being coded
    int mbx_ = 0, mby_ = 0, skip_run_ = 0;
    MbState* ms_ = nullptr;
    // decisions and levels
    int cbp_luma_ = 0, cbp_chroma_ = 0, i16_mode_ = 0, chroma_mode_ = 0;
    int8_t modes_[16];
    Opx16s luma_[16][16], luma_dc_[16], chroma_dc_[2][4], chroma_ac_[2][4][16];
    uint8_t pred_y_[256], pred_c_[2][64];

    void code_mb();
    // intra
    int intra_avail(int bx, int by, bool four) const;
    int pred_mode4x4(int bx, int by) const;
    int encode_i4x4();  // returns the cost
    int cost_i16x16(int& mode);
    void encode_i16x16(int mode);
    void encode_chroma(bool intra);
    int choose_chroma_mode();
    // inter
    h264common::Mv predict_mv(bool skip) const;
    int search(h264common::Mv mvp, h264common::Mv& best);
    void predict_inter(h264common::Mv mv);
    void encode_inter_luma();
    void store_motion(bool intra, h264common::Mv mv);
    // syntax
    void write_intra_mb(bool i16);
    void write_residual(bool i16);
    int luma_nc(int bx, int by) const;
    int chroma_nc(int c, int bx, int by) const;
    void deblock();
};

}  // namespace h264enc
