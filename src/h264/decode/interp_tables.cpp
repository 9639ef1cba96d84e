#include "h264/decode/interp_tables.hpp"

namespace opx::h264 {

extern const std::int8_t kLumaSixTap[6] = {1, -5, 20, 20, -5, 1};

namespace {
constexpr LumaOperand G{LumaSample::kG, 0, 0};
constexpr LumaOperand H{LumaSample::kG, 1, 0};  // integer sample to the right
constexpr LumaOperand M{LumaSample::kG, 0, 1};  // integer sample below
constexpr LumaOperand b{LumaSample::kB, 0, 0};
constexpr LumaOperand s{LumaSample::kB, 0, 1};  // b one row down
constexpr LumaOperand h{LumaSample::kH, 0, 0};
constexpr LumaOperand m{LumaSample::kH, 1, 0};  // h one column right
constexpr LumaOperand j{LumaSample::kJ, 0, 0};
}  // namespace

extern const LumaOperand kLumaQuarterSample[4][4][2] = {
    // yFrac 0: G a b c
    {{G, G}, {G, b}, {b, b}, {H, b}},
    // yFrac 1: d e f g
    {{G, h}, {b, h}, {b, j}, {b, m}},
    // yFrac 2: h i j k
    {{h, h}, {h, j}, {j, j}, {j, m}},
    // yFrac 3: n p q r
    {{M, h}, {h, s}, {j, s}, {m, s}},
};

}  // namespace opx::h264
