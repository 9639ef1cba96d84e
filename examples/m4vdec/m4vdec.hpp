// opxvc-m4vdec: an MPEG-4 Visual (simple profile tools and B-VOPs), H.263 baseline and H.261
// decoder built on the library's public interface. Headers, macroblock syntax, motion vectors and
// AC/DC prediction are the decoder's own; coefficient decoding, intra DC decoding, inverse
// quantisation, half- and quarter-sample prediction, warping and loop filters, and residual
// addition are library calls. The 8x8 inverse DCT is pluggable (idct.cpp): a built-in IEEE
// 1180-accurate transform, or a shared object named with
// --idct-plugin.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli.hpp"
#include "opxvc.h"
#include "output.hpp"

namespace m4vdec {

// ---- inverse DCT ------------------------------------------------------------------------------
class Idct {
  public:
    virtual ~Idct() = default;
    // out = clamp(idct(in), 0, 255), 8 rows `stride` bytes apart (intra blocks)
    virtual void put(const Opx16s in[64], uint8_t* out, int stride) = 0;
    // out = idct(in) limited to -256..255, raster order (inter residuals)
    virtual void residual(const Opx16s in[64], Opx16s out[64]) = 0;
};
std::unique_ptr<Idct> builtin_idct();
// "FILE:ALGO": loads the shared object FILE and asks it for the transform ALGO; null with a
// reason in `why` on failure.
std::unique_ptr<Idct> plugin_idct(const std::string& file_algo, std::string& why);

// ---- variable-length codes (tables.cpp) -------------------------------------------------------
// One code of a table: `len` bits, right-aligned in `code`, standing for `value`.
struct Code {
    uint16_t code;
    uint8_t len;
    int16_t value;
};
struct CodeTable {
    const Code* codes;
    int count;
    const char* name;
};
// MCBPC of I-VOPs: value = mb_type * 4 + cbpc (mb_type 3 intra, 4 intra+q), -1 stuffing
extern const CodeTable kMcbpcI;
// MCBPC of P-VOPs: value = mb_type * 4 + cbpc (0 inter, 1 inter+q, 2 inter4v, 3 intra,
// 4 intra+q), -1 stuffing
extern const CodeTable kMcbpcP;
// CBPY for intra macroblocks (inter: 15 - value)
extern const CodeTable kCbpy;
// motion_code -32..32
extern const CodeTable kMotionCode;
// H.261 MTYPE: flags 1 intra, 2 MQUANT, 4 MVD, 8 CBP, 16 loop filter
extern const CodeTable kMtype;
extern const CodeTable* const kAllTables[5];

// ---- bit reader over a byte buffer padded with zeros ------------------------------------------
struct Reader {
    const uint8_t* buf = nullptr;
    uint64_t pos = 0, end = 0;  // bit positions
    bool overrun() const { return pos > end; }
    uint32_t peek(int n) const {  // n in 1..32
        const uint8_t* p = buf + (pos >> 3);
        uint64_t w = 0;
        for (int i = 0; i < 8; ++i) w = (w << 8) | p[i];
        return uint32_t((w << (pos & 7)) >> (64 - n));
    }
    uint32_t u(int n) {
        if (n == 0) return 0;
        uint32_t v = peek(n);
        pos += uint64_t(n);
        return v;
    }
    bool bit() { return u(1) != 0; }
    // returns the table's value, or INT32_MIN for a code not in the table
    int vlc(const CodeTable& t);
};

struct Options {
    bool md5 = false;
    std::string out, format;
    long max_frames = -1;
    bool quiet = false;
    opxcli::Progress* progress = nullptr;
    Idct* idct = nullptr;
    // H.263 Annex F: right neighbours' vectors as libavcodec's decoder takes them (see
    // decoder.cpp), for bit-exact comparison with it
    bool obmc_compat = false;
    // deblocking and deringing (14496-2 Annex F) of the pictures output, not of the references
    bool postfilter = false;
};

class Decoder {
  public:
    Decoder(const Options& opt, FILE* log);
    ~Decoder();
    // decodes a whole elementary stream
    void decode(const uint8_t* data, size_t size);
    bool refused() const { return refused_; }
    long errors() const { return errors_; }
    long frames_out() const { return frames_out_; }
    bool close_output() { return writer_.close(); }
    const std::string& output_error() const { return writer_.error(); }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    Options opt_;
    FILE* log_;
    opxcli::FrameWriter writer_;
    bool refused_ = false;
    long errors_ = 0, frames_out_ = 0;
    friend struct Impl;
};

}  // namespace m4vdec
