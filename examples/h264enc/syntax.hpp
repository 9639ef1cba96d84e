// The encoder's own bit writing: fixed-length and Exp-Golomb codes, NAL units with emulation
// prevention (Annex B byte stream), and the CAVLC residual block syntax (clause 7.3.5.3.2)
// from the syntax elements the library derives.
#pragma once

#include <cstdint>
#include <vector>

#include "opxvc.h"

namespace h264enc {

class BitWriter {
  public:
    void u(uint32_t value, int n) {  // n in 0..32, most significant bit first
        for (int i = n - 1; i >= 0; --i) bit((value >> i) & 1);
    }
    void bit(uint32_t b) {
        acc_ = (acc_ << 1) | (b & 1);
        if (++fill_ == 8) {
            bytes_.push_back(uint8_t(acc_));
            acc_ = 0;
            fill_ = 0;
        }
    }
    void ue(uint32_t v) {  // v up to 2^32 - 2
        const uint64_t x = uint64_t(v) + 1;
        int len = 0;
        while ((x >> len) > 1) ++len;
        u(0, len);
        for (int i = len; i >= 0; --i) bit(uint32_t(x >> i) & 1);
    }
    void se(int32_t v) { ue(v > 0 ? uint32_t(2 * int64_t(v) - 1) : uint32_t(-2 * int64_t(v))); }
    void trailing() {  // rbsp_trailing_bits
        bit(1);
        while (fill_) bit(0);
    }
    uint64_t bits() const { return bytes_.size() * 8 + uint64_t(fill_); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    void clear() {
        bytes_.clear();
        acc_ = 0;
        fill_ = 0;
    }

  private:
    std::vector<uint8_t> bytes_;
    uint32_t acc_ = 0;
    int fill_ = 0;
};

// Bits of ue(v) and se(v) codes, for costs.
inline int ue_bits(uint32_t v) {
    int len = 0;
    while ((uint64_t(v) + 1) >> (len + 1)) ++len;
    return 2 * len + 1;
}
inline int se_bits(int32_t v) {
    return ue_bits(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * v));
}

// Appends a NAL unit (start code, header, payload with emulation prevention bytes) to `out`.
void append_nal(std::vector<uint8_t>& out, int nal_ref_idc, int nal_type,
                const std::vector<uint8_t>& rbsp);

// CAVLC code tables, built from the installed code lists.
struct Code {
    uint16_t code = 0;
    uint8_t len = 0;
};
struct CavlcCodes {
    Code coeff_token[4][17][4];  // [nC class 0..2, 3: chroma DC][TotalCoeff][TrailingOnes]
    Code total_zeros[16][16];    // 4x4 blocks [TotalCoeff][total_zeros]
    Code total_zeros_dc[4][4];   // 2x2 chroma DC
    Code run_before[8][16];      // [min(zerosLeft, 7)][run_before]
    Opx32s scan[16];             // zig-zag scan: scan position -> raster index
    CavlcCodes();
};

// Levels past 2063 in magnitude would need level_prefix 16 or more, which only the High
// profiles allow: the encoder clamps levels to this bound (and reconstructs from the clamped
// levels).
constexpr int kMaxLevel = 2063;

// Writes one residual block: `coeffs` in raster order (16 values, or the 4 chroma DC values),
// `first`..15 the scan positions coded (0 or 1; the chroma DC block ignores it). nC is the
// neighbours' prediction (-1: chroma DC). Returns TotalCoeff.
int write_block(BitWriter& bw, const CavlcCodes& codes, const Opx16s* coeffs, int first, int nc);

}  // namespace h264enc
