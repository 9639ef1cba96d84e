// opxvc-m4vdec: an MPEG-4 Visual (simple profile tools and B-VOPs), H.263 baseline and H.261
// decoder built on the library's public interface. Headers, macroblock syntax, motion vectors and
// AC/DC prediction are the decoder's own; coefficient decoding, intra DC decoding, inverse
// quantisation, half- and quarter-sample prediction, warping and loop filters, and residual
// addition are library calls. The 8x8 inverse DCT is pluggable (idct.cpp): a built-in IEEE
// 1180-accurate transform, or a shared object named with --idct-plugin. The decoder's internals
// are declared in decoder_impl.hpp, which lists the files that define them.
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
// MCBPC of H.263 P-pictures with PLUSPTYPE: kMcbpcP's and mb_type 5 (inter4v+q)
extern const CodeTable kMcbpcPPlus;
// CBPY for intra macroblocks (inter: 15 - value)
extern const CodeTable kCbpy;
// motion_code -32..32
extern const CodeTable kMotionCode;
// H.261 MTYPE: flags 1 intra, 2 MQUANT, 4 MVD, 8 CBP, 16 loop filter
extern const CodeTable kMtype;
extern const CodeTable* const kAllTables[6];

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

// ---- bit writer (stream rewriting) ------------------------------------------------------------
struct BitWriter {
    std::vector<uint8_t> out;
    uint64_t bits = 0;
    void put(uint32_t v, int n) {  // n in 0..32, most significant bit first
        for (int i = n - 1; i >= 0; --i) put_bit(int((v >> i) & 1));
    }
    void put_bit(int b) {
        if ((bits & 7) == 0) out.push_back(0);
        if (b) out.back() = uint8_t(out.back() | (0x80 >> (bits & 7)));
        ++bits;
    }
    // bits [from, to) of `src` (positions from its first byte's most significant bit)
    void copy(const uint8_t* src, uint64_t from, uint64_t to);
    // a byte cursor at the end, with room for `bytes` more bytes, for the library's encoders;
    // done() takes the cursor back
    Opx8u* cursor(Opx32s& off, size_t bytes) {
        out.resize(size_t(bits >> 3) + bytes + 1, 0);
        off = Opx32s(bits & 7);
        return out.data() + (bits >> 3);
    }
    void done(const Opx8u* p, Opx32s off) {
        bits = uint64_t(p - out.data()) * 8 + uint64_t(off);
        out.resize(size_t((bits + 7) >> 3));
    }
};

struct Options {
    bool md5 = false;
    std::string out, format;
    long max_frames = -1;
    bool quiet = false;
    opxcli::Progress* progress = nullptr;
    Idct* idct = nullptr;
    // H.263 Annex F: right neighbours' vectors as libavcodec's decoder takes them (see
    // Decoder::Impl::obmc_compat in decoder_impl.hpp), for bit-exact comparison with it
    bool obmc_compat = false;
    // deblocking and deringing (14496-2 Annex F) of the pictures output, not of the references
    bool postfilter = false;
    // the stream rewritten (rewritten()): data-partitioned MPEG-4 with every block's coefficients
    // re-encoded in reversible codes (rewrite_rvlc), or every block re-encoded as it was coded
    bool rewrite = false, rewrite_rvlc = false;
    // every coded block re-encoded by the library at its bit offset and compared with its input
    // bits: a block coded differently must decode to the same levels (MPEG-4 allows another
    // escape choice); counted in reencode_blocks() and reencode_differences()
    bool reencode_check = false;
    // each video packet's reversible coefficient partition also decoded backward and its levels
    // checked against the forward decoding (a difference is an error)
    bool rvlc_backward = false;
    // H.263 Annex T: DQUANT read in the 2-bit form of clause 5.3.6, as ffmpeg's encoder writes it
    // (a rewrite then writes the form of Annex T.2)
    bool dquant_compat = false;
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
    const std::vector<uint8_t>& rewritten() const { return rewritten_; }
    long reencode_blocks() const { return reencode_blocks_; }
    long reencode_differences() const { return reencode_differences_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    Options opt_;
    FILE* log_;
    opxcli::FrameWriter writer_;
    bool refused_ = false;
    long errors_ = 0, frames_out_ = 0;
    long reencode_blocks_ = 0, reencode_differences_ = 0;
    std::vector<uint8_t> rewritten_;
    friend struct Impl;
};

}  // namespace m4vdec
