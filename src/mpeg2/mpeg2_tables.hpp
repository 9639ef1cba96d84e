// Read-only MPEG-1/2 tables: the three coefficient scans and the default intra quantiser matrix.
// Constant expressions, so that the AVX2 kernels can derive their shuffle plans from the scans at
// compile time; nothing here is initialised at load time.
#pragma once

#include <cstdint>

namespace opx::mpeg2 {

// Scan position -> raster index (8 × row + column). H.262 figure 7-2 (zig-zag, alternate_scan 0)
// and figure 7-3 (alternate-vertical, alternate_scan 1); the alternate-horizontal scan is the
// transpose of the alternate-vertical one.
enum ScanKind { kScanZigzag, kScanAltVertical, kScanAltHorizontal, kNumScans };

inline constexpr std::uint8_t kScans[kNumScans][64] = {
    {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
     41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
     30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63},
    {0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49, 41, 33, 26, 18, 3,  11,
     4,  12, 19, 27, 34, 42, 50, 58, 35, 43, 51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44,
     52, 60, 37, 45, 53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63},
    {0,  1,  2,  3,  8,  9,  16, 17, 10, 11, 4,  5,  6,  7,  15, 14, 13, 12, 19, 18, 24, 25,
     32, 33, 26, 27, 20, 21, 22, 23, 28, 29, 30, 31, 34, 35, 40, 41, 48, 49, 42, 43, 36, 37,
     38, 39, 44, 45, 46, 47, 50, 51, 56, 57, 58, 59, 52, 53, 54, 55, 60, 61, 62, 63},
};

// The scan argument of the exported scan functions: 1 alternate-vertical, 2 alternate-horizontal,
// anything else zig-zag.
constexpr ScanKind scan_kind(std::int32_t scan) noexcept {
    return scan == 1 ? kScanAltVertical : scan == 2 ? kScanAltHorizontal : kScanZigzag;
}

// Default intra_quantiser_matrix, H.262 clause 6.3.11, in raster order.
inline constexpr std::uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,  //
};

// Its reciprocals 1 / W, each the single-precision quotient (the forward intra quantiser's table
// when the caller passes none).
struct InvMatrix {
    float v[64];
};
constexpr InvMatrix make_default_intra_inverse() noexcept {
    InvMatrix m{};
    for (int i = 0; i < 64; ++i) m.v[i] = 1.0f / static_cast<float>(kDefaultIntraMatrix[i]);
    return m;
}
inline constexpr InvMatrix kDefaultIntraInverse = make_default_intra_inverse();

}  // namespace opx::mpeg2
