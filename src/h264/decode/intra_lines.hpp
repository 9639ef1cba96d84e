// The 4×4 directional intra modes as picks from two lines of neighbours, shared by the 8-bit
// and the 16-bit AVX2 kernels (which turn them into shuffles at compile time).
//
// Lines (index: sample):
//   DDL, VL:      0..7: p[0..7, -1] (8: p[7, -1])
//   DDR, VR, HD:  0..3: p[-1, 3..0], 4: p[-1, -1], 5..8: p[0..3, -1]
//   HU:           0..3: p[-1, 0..3], then p[-1, 3] repeated
#pragma once

namespace opx::h264::intra_lines {

// A shuffle control: source F or A and index j in the window, per output sample.
struct Pick {
    bool a;
    int j;
};

// Sample (x, y) of 4×4 mode `mode` (3..8).
constexpr Pick pick4x4(int mode, int x, int y) {
    switch (mode) {
        case 3:
            return {false, x + y + 1};
        case 4:
            return {false, 4 + x - y};
        case 5: {
            const int z = 2 * x - y;
            if (z >= 0 && !(z & 1)) return {true, 4 + x - (y >> 1)};
            if (z >= -1) return {false, 4 + x - (y >> 1)};
            return {false, 5 - y + 2 * x};
        }
        case 6: {
            const int z = 2 * y - x;
            if (z >= 0 && !(z & 1)) return {true, 3 - y + (x >> 1)};
            if (z >= -1) return {false, 4 - y + (x >> 1)};
            return {false, 3 + x - 2 * y};
        }
        case 7:
            return (y & 1) ? Pick{false, x + (y >> 1) + 1} : Pick{true, x + (y >> 1)};
        default: {  // 8
            const int z = x + 2 * y;
            if (z > 5) return {true, 3};
            if (z == 5) return {false, 3};
            return (z & 1) ? Pick{false, y + (x >> 1) + 1} : Pick{true, y + (x >> 1)};
        }
    }
}

}  // namespace opx::h264::intra_lines
