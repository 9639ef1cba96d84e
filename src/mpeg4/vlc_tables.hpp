// Lookup tables of the MPEG-4 / H.263 / H.261 coefficient decoders and encoders, all generated at
// compile time from the code lists of vlc_code_lists.hpp, and the scan orders.
//
// Decoder tables are indexed directly by the next `bits` stream bits (the code without its sign
// bit, left-aligned): 12 bits for the MPEG-4 and H.263 tables, 13 for H.261, 15 for the
// reversible tables (whose backward twins are indexed by the bit-reversed code). An entry is a
// DecEntry: 0 for a bit pattern that begins no code, kDecEscape / kDecEob for the escape prefix
// and H.261's EOB, otherwise the code's length, LAST, RUN and LEVEL magnitude packed by dec_pack.
//
// Encoder tables map (LAST, RUN 0..63, LEVEL 1..31) to enc_pack(code, length), 0 when the table
// has no code for the event. LMAX and RMAX are derived from the same lists.
#pragma once

#include <array>
#include <cstdint>

#include "mpeg4/vlc_code_lists.hpp"

namespace opx::mpeg4 {

using DecEntry = std::uint16_t;
inline constexpr DecEntry kDecEscape = 0xFFFF;
inline constexpr DecEntry kDecEob = 0xFFFE;

// len 1..15 in bits 0..3, LAST in bit 4, RUN 0..63 in bits 5..10, LEVEL 1..31 in bits 11..15.
constexpr DecEntry dec_pack(int len, int last, int run, int level) noexcept {
    return static_cast<DecEntry>(len | last << 4 | run << 5 | level << 11);
}
constexpr int dec_len(DecEntry e) noexcept { return e & 15; }
constexpr int dec_last(DecEntry e) noexcept { return (e >> 4) & 1; }
constexpr int dec_run(DecEntry e) noexcept { return (e >> 5) & 63; }
constexpr int dec_level(DecEntry e) noexcept { return e >> 11; }

constexpr std::uint32_t enc_pack(std::uint32_t code, int len) noexcept {
    return code | static_cast<std::uint32_t>(len) << 24;
}
constexpr std::uint32_t enc_code(std::uint32_t e) noexcept { return e & 0xFFFFFF; }
constexpr int enc_len(std::uint32_t e) noexcept { return static_cast<int>(e >> 24); }

enum CodeTable { kTabIntra, kTabInter, kTabAdvIntra, kTabRvlcIntra, kTabRvlcInter, kNumCodeTables };

// Decoders. (The arrays of two tables are aggregates of constant tables.)
extern const std::array<DecEntry, 4096> kDecIntra;     // Table B-16
extern const std::array<DecEntry, 4096> kDecInter;     // Table B-17 / H.263 Table 16
extern const std::array<DecEntry, 4096> kDecAdvIntra;  // H.263 Table I.2
extern const std::array<DecEntry, 8192> kDecH261;      // H.261 Table 5 (first-coefficient code not included)
extern const std::array<DecEntry, 32768> kDecRvlc[2];      // [0 intra, 1 inter], forward
extern const std::array<DecEntry, 32768> kDecRvlcBack[2];  // [0 intra, 1 inter], bit-reversed codes

// Encoders: [table][LAST][RUN][LEVEL], LEVEL 0 unused.
using EncTable = std::array<std::array<std::array<std::uint32_t, 32>, 64>, 2>;
extern const EncTable kEnc[kNumCodeTables];
extern const std::array<std::array<std::uint32_t, 16>, 64> kEncH261;  // [RUN][LEVEL]

// Largest LEVEL coded for (LAST, RUN) and largest RUN + 1 coded for (LAST, LEVEL) in the MPEG-4
// intra and inter tables (0 where the table has none). [0 intra, 1 inter][LAST][RUN or LEVEL].
extern const std::array<std::array<std::uint8_t, 64>, 2> kLmax[2];
extern const std::array<std::array<std::uint8_t, 32>, 2> kRmaxPlus1[2];

// Scan position → raster index: [0] zigzag, [1] alternate vertical, [2] alternate horizontal.
extern const std::uint8_t kScan[3][64];

}  // namespace opx::mpeg4
