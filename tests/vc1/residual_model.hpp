// Scalar formulas of the VC-1 quantisers for the tests: division by the operator, the 16-bit
// products of the inverse quantisers, the nonzero extent. Shares nothing with the library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "opxvc.h"

namespace opx::test::vc1 {

using i64 = std::int64_t;
// Block: w x h values in raster order.
using Block = std::vector<int>;

inline int model_quant(int c, int q, bool nonuniform) {
    if (c == 0) return 0;
    const int t = nonuniform ? c - (c > 0 ? 1 : -1) * (q / 2) : c;
    return t / q;  // C++ division truncates toward zero
}

inline int model_dequant(int c, i64 q, bool nonuniform) {
    i64 r = i64{c} * q;
    if (nonuniform && c != 0) r += (c > 0 ? 1 : -1) * (q >> 1);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(r)));
}

// Non-zero extent (width, height) of a w x h block.
inline OpxRoiSize model_extent(const Block& b, int w, int h) {
    OpxRoiSize e{0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (b[y * w + x] != 0) {
                e.width = std::max(e.width, x + 1);
                e.height = std::max(e.height, y + 1);
            }
    return e;
}

}  // namespace opx::test::vc1
