// Read-only tables of AVS part 2 (GB/T 20090.2) residual coding, reconstruction and loop
// filtering, as the standard gives them.
#pragma once

#include <cstdint>

namespace opx::avs {

// One entry of a two-dimensional VLC table: the (run, level) of a code number 0..58. The
// end-of-block code is stored as run 64, level 0, so that it ends a block like a run that would
// place a coefficient beyond position 63.
struct VlcEntry {
    std::int8_t run;
    std::int8_t level;
};
inline constexpr int kVlcCodes = 59;  // code numbers below this come from the table
inline constexpr int kEndOfBlockRun = 64;

struct VlcTable {
    VlcEntry entry[kVlcCodes];
    std::uint8_t ref_abs_level[26];  // [run], run 0..max_run: added to an escape's value
    std::uint8_t max_run;
};

// Tables 0..6 of intra luma blocks, 0..6 of inter luma blocks, 0..4 of chroma blocks.
extern const VlcTable kIntraVlc[7];
extern const VlcTable kInterVlc[7];
extern const VlcTable kChromaVlc[5];

// Scan orders, scan position -> raster position: [0] zig-zag, [1] field scan.
extern const std::uint8_t kScan[2][64];

// Dequantisation (scale, shift) by QP 0..63.
struct Dequant {
    std::uint16_t scale;
    std::uint8_t shift;
};
extern const Dequant kDequant[64];

// Forward quantisation step Q[QP], QP 0..63, and normalisation factors M[r mod 4][c mod 4].
extern const std::uint16_t kQuantStep[64];
extern const std::uint16_t kFwdNorm[4][4];

// The 8×8 integer transform matrix T (rows top to bottom); a constant expression so that the
// vector kernels can build their lane constants at compile time.
inline constexpr std::int8_t kTransform[8][8] = {
    {8, 8, 8, 8, 8, 8, 8, 8},         {10, 9, 6, 2, -2, -6, -9, -10},
    {10, 4, -4, -10, -10, -4, 4, 10}, {9, -2, -10, -6, 6, 10, 2, -9},
    {8, -8, -8, 8, 8, -8, -8, 8},     {6, -10, 2, 9, -9, -2, 10, -6},
    {4, -10, 10, -4, -4, 10, -10, 4}, {2, -6, 9, -10, 10, -9, 6, -2},
};

}  // namespace opx::avs
