// opxvc-dvdec: decoding of DV (DIF) frames with the opxvc DV segment decoders and inverse
// quantisers. The frame layout (DIF sequences, video segments, superblock and macroblock
// placement), the dequantisation tables and the 8-8 / 2-4-8 inverse DCTs of IEC 61834-2 and
// SMPTE 314M live here; the library does the entropy decoding and the inverse quantisation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dvdec {

// The systems this decoder handles.
enum class System {
    k625_420,  // IEC 61834, 625/50, 4:2:0, 720x576
    k525_411,  // IEC 61834 / SMPTE 314M, 525/60, 4:1:1, 720x480
    k625_411,  // SMPTE 314M, 625/50, 4:1:1, 720x576
    k525_422,  // SMPTE 314M, 525/60, 4:2:2, 50 Mb/s, 720x480
    k625_422,  // SMPTE 314M, 625/50, 4:2:2, 50 Mb/s, 720x576
};

struct Format {
    System system = System::k625_420;
    int width = 720, height = 576;
    int sequences = 12;        // DIF sequences per channel
    int channels = 1;          // 2 at 50 Mb/s
    size_t frame_bytes = 0;    // channels * sequences * 12000
    int fps_num = 25, fps_den = 1;
    bool chroma411 = false;    // 4:1:1
    bool chroma422 = false;    // 4:2:2 (else 4:2:0 or 4:1:1)
};

// Reads the header and VAUX DIF blocks of the frame at `p` (`n` bytes available). Returns true
// with the format, or false with `why` and `unsupported` (true: a DV system this decoder does not
// handle; false: not a DV frame).
bool probe(const uint8_t* p, size_t n, Format& f, std::string& why, bool& unsupported);

// Dequantisation path.
enum class Dequant { kWeight, kTable };

struct Stats {
    long blocks = 0;            // blocks decoded
    long complete_one_pass = 0; // complete (EOB) within their own area
    long complete = 0;          // complete after all passes
    long blocks248 = 0;         // 2-4-8 blocks
};

// Planar 8-bit picture: Y then Cb then Cr, each `width` x `height` of its plane, tightly packed.
struct Picture {
    int width = 0, height = 0, cwidth = 0, cheight = 0;
    std::vector<uint8_t> y, cb, cr;
};

// From the quantiser's output F to the transform's input, per mode, class and QNO of the chosen
// dequantisation path: a nonzero F lies in [level, level + unit) for the floor the quantisers
// take; the level is the multiple of `lat` nearest to F + half the unit (ilat = 1 / lat), times
// `scale`. Where the unit holds more than one level, lat is 1/1024, which leaves F + half the
// unit as it is (exactly). The DC is exact.
struct alignas(32) Recon {
    float lat[64], ilat[64], scale[64];
};

// The 8-8 and 2-4-8 inverse DCTs (idct.cpp): coefficients F(v, h) in raster order (v the vertical
// frequency; for 2-4-8, rows 0..3 the field sum, 4..7 the field difference) to samples, the
// exact inverses of the forward transforms of IEC 61834-2 in single precision.
class Idct {
  public:
    Idct();
    // out = the inverse of `in` for `mode` (0: 8-8, 1: 2-4-8); `nonzero` has bit k set for every
    // coefficient k that may be nonzero (the others are not read).
    void transform(const float in[64], std::uint64_t nonzero, int mode, float out[64]) const;
    // The quantiser's output `c` through `r` (half unit `bias`) and transform(), + 128, rounded
    // and clamped to 0..255, written to dst; split411: columns 0..3 to rows 0..7 and columns
    // 4..7 to rows 8..15 (the 4:1:1 right-edge chrominance blocks).
    void samples(const std::int16_t c[64], const Recon& r, float bias, int mode,
                 std::uint8_t* dst, std::ptrdiff_t stride, bool split411) const;
    // Whether samples() takes the AVX2 path (where the processor has it; the tests compare).
    void set_avx2(bool on);
    bool avx2() const { return avx2_; }
    // The same inverse, and the forward transform, in double precision (the accuracy test).
    void reference(const double in[64], int mode, double out[64]) const;
    void forward(const double in[64], int mode, double out[64]) const;

  private:
    double fwd_h[8][8], fwd_v[2][8][8];  // [frequency][sample]
    double inv_h[8][8], inv_v[2][8][8];  // [sample][frequency]
    // Both passes in halves: the horizontal inverse gives samples x and 7 - x as e + o and
    // e - o, e from the even frequencies, o from the odd ones; the vertical one gives a pair of
    // output rows (8-8: y and 7 - y, from the even and the odd frequencies; 2-4-8: 2z and
    // 2z + 1, from the sums and the differences) the same way.
    // h_[h][x] = inv_h[x][h] for x = 0..3, repeated in lanes 4..7 (two rows a register).
    alignas(32) float h_[8][8];
    // v_[mode][j][k]: the weight of the j-th input row (the first half's four, then the
    // second's) in output row a(k), k = 0..3.
    float v_[2][8][4];
    bool avx2_ = false;                  // samples() with AVX2 (the same results)
};

class Decoder {
  public:
    Decoder(Dequant dq, bool stats);
    // Decodes one whole frame of format `f` (f.frame_bytes at `p`). Returns false (with `why`) on
    // a library error.
    bool decode(const uint8_t* p, const Format& f, Picture& pic, std::string& why);
    const Stats& stats() const { return stats_; }

  private:
    Dequant dq_;
    bool want_stats_;
    Stats stats_;
    Idct idct_;
    // Per mode (8-8, 2-4-8), class and QNO: the step table (Opx16u) and the weight table, and the
    // combined table of --dequant=table.
    uint16_t q_[2][4][16][64];
    int16_t w_[2][64];
    int16_t d_[2][4][16][64];
    // per mode, class and QNO of the chosen path
    Recon rec_[2][4][16];
    float bias_;  // half the quantiser's output unit
};

}  // namespace dvdec
