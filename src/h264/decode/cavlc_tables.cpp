// Read-only data of the H.264 CAVLC decoders.
#include <array>

#include "h264/decode/cavlc.hpp"

namespace opx::h264 {
namespace {

// H.264 Table 9-5, coeff_token, for the three nC classes with tables (0 <= nC < 2, 2 <= nC < 4,
// 4 <= nC < 8): code length and code value, [class][TotalCoeff 0..16][TrailingOnes 0..3]
// (0 where the pair does not exist). Only the order of the codes is needed here; the codes
// themselves come to the decoders through the caller's tables.
constexpr std::uint8_t kCoeffTokenLength[3][17][4] = {
    {
        {1, 0, 0, 0},
        {6, 2, 0, 0},
        {8, 6, 3, 0},
        {9, 8, 7, 5},
        {10, 9, 8, 6},
        {11, 10, 9, 7},
        {13, 11, 10, 8},
        {13, 13, 11, 9},
        {13, 13, 13, 10},
        {14, 14, 13, 11},
        {14, 14, 14, 13},
        {15, 15, 14, 14},
        {15, 15, 15, 14},
        {16, 15, 15, 15},
        {16, 16, 16, 15},
        {16, 16, 16, 16},
        {16, 16, 16, 16},
    },
    {
        {2, 0, 0, 0},
        {6, 2, 0, 0},
        {6, 5, 3, 0},
        {7, 6, 6, 4},
        {8, 6, 6, 4},
        {8, 7, 7, 5},
        {9, 8, 8, 6},
        {11, 9, 9, 6},
        {11, 11, 11, 7},
        {12, 11, 11, 9},
        {12, 12, 12, 11},
        {12, 12, 12, 11},
        {13, 13, 13, 12},
        {13, 13, 13, 13},
        {13, 14, 13, 13},
        {14, 14, 14, 13},
        {14, 14, 14, 14},
    },
    {
        {4, 0, 0, 0},
        {6, 4, 0, 0},
        {6, 5, 4, 0},
        {6, 5, 5, 4},
        {7, 5, 5, 4},
        {7, 5, 5, 4},
        {7, 6, 6, 4},
        {7, 6, 6, 4},
        {8, 7, 7, 5},
        {8, 8, 7, 6},
        {9, 8, 8, 7},
        {9, 9, 8, 8},
        {9, 9, 9, 8},
        {10, 9, 9, 9},
        {10, 10, 10, 10},
        {10, 10, 10, 10},
        {10, 10, 10, 10},
    },
};
constexpr std::uint8_t kCoeffTokenCode[3][17][4] = {
    {
        {1, 0, 0, 0},
        {5, 1, 0, 0},
        {7, 4, 1, 0},
        {7, 6, 5, 3},
        {7, 6, 5, 3},
        {7, 6, 5, 4},
        {15, 6, 5, 4},
        {11, 14, 5, 4},
        {8, 10, 13, 4},
        {15, 14, 9, 4},
        {11, 10, 13, 12},
        {15, 14, 9, 12},
        {11, 10, 13, 8},
        {15, 1, 9, 12},
        {11, 14, 13, 8},
        {7, 10, 9, 12},
        {4, 6, 5, 8},
    },
    {
        {3, 0, 0, 0},
        {11, 2, 0, 0},
        {7, 7, 3, 0},
        {7, 10, 9, 5},
        {7, 6, 5, 4},
        {4, 6, 5, 6},
        {7, 6, 5, 8},
        {15, 6, 5, 4},
        {11, 14, 13, 4},
        {15, 10, 9, 4},
        {11, 14, 13, 12},
        {8, 10, 9, 8},
        {15, 14, 13, 12},
        {11, 10, 9, 12},
        {7, 11, 6, 8},
        {9, 8, 10, 1},
        {7, 6, 5, 4},
    },
    {
        {15, 0, 0, 0},
        {15, 14, 0, 0},
        {11, 15, 13, 0},
        {8, 12, 14, 12},
        {15, 10, 11, 11},
        {11, 8, 9, 10},
        {9, 14, 13, 9},
        {8, 10, 9, 8},
        {15, 14, 13, 13},
        {11, 14, 10, 12},
        {15, 10, 13, 12},
        {11, 14, 9, 12},
        {8, 10, 13, 8},
        {13, 7, 9, 12},
        {9, 12, 11, 10},
        {5, 8, 7, 6},
        {1, 4, 3, 2},
    },
};

// Selection by (length ascending, code descending) over the pairs of each class.
constexpr CoeffTokenOrder order_pairs() {
    CoeffTokenOrder o{};
    for (int c = 0; c < 3; ++c) {
        for (int tc = 0; tc <= 16; ++tc)
            for (int t1 = 0; t1 < 4; ++t1) o.rank[c][tc][t1] = -1;
        for (int n = 0; n < 62; ++n) {
            int best_tc = -1, best_t1 = -1;
            for (int tc = 0; tc <= 16; ++tc) {
                for (int t1 = 0; t1 < 4 && t1 <= tc; ++t1) {
                    if (o.rank[c][tc][t1] >= 0) continue;
                    if (best_tc < 0) {
                        best_tc = tc, best_t1 = t1;
                        continue;
                    }
                    const int len = kCoeffTokenLength[c][tc][t1];
                    const int best_len = kCoeffTokenLength[c][best_tc][best_t1];
                    if (len < best_len ||
                        (len == best_len &&
                         kCoeffTokenCode[c][tc][t1] > kCoeffTokenCode[c][best_tc][best_t1]))
                        best_tc = tc, best_t1 = t1;
                }
            }
            o.order[c][n] = {static_cast<std::uint8_t>(best_tc),
                             static_cast<std::uint8_t>(best_t1)};
            o.rank[c][best_tc][best_t1] = static_cast<std::int8_t>(n);
        }
    }
    return o;
}

}  // namespace

extern const CoeffTokenOrder kCoeffTokenOrder = order_pairs();

// Placement of clause 8.5.11.1 for 4:2:2 chroma DC: the k-th coefficient of the decoding order
// to its raster index in the 2 (wide) by 4 (high) array.
extern const std::uint8_t kChroma422DcRaster[8] = {0, 2, 1, 4, 6, 3, 5, 7};

// Clause 9.2.2.1: after a level, suffixLength 1..5 grows when the magnitude exceeds
// 3 << (suffixLength - 1); suffixLength 0 always grows (to 1), [suffixLength 0..5].
extern const std::uint8_t kLevelThreshold[6] = {0, 3, 6, 12, 24, 48};

bool remap_coeff_token(int cls, int m, int& tc, int& t1) noexcept {
    const int k = kCoeffTokenOrder.rank[cls][tc][t1];
    if (k < 0) return false;
    const int max_t1 = m < 3 ? m : 3;
    int seen = 0;
    for (const TokenPair& p : kCoeffTokenOrder.order[cls]) {
        if (p.total_coeff > m || p.trailing_ones > max_t1) continue;
        if (seen++ == k) {
            tc = p.total_coeff;
            t1 = p.trailing_ones;
            return true;
        }
    }
    return false;
}

}  // namespace opx::h264
