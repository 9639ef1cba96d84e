// Read-only data of H.264 fractional-sample interpolation (clause 8.4.2.2).
#pragma once

#include <cstdint>

namespace opx::h264 {

// Taps of the six-tap half-sample filter, equations 8-241 and 8-242.
extern const std::int8_t kLumaSixTap[6];

// One operand of a luma prediction sample: an integer sample G, a horizontal half sample b, a
// vertical half sample h or the centre half sample j, taken at offset (dx, dy) from the
// predicted position (a horizontal half sample one row down is s, a vertical one a column
// right is m, the integer samples right and below are H and M).
enum class LumaSample : std::uint8_t { kG, kB, kH, kJ };
struct LumaOperand {
    LumaSample sample;
    std::int8_t dx, dy;
};

// Table 8-12: the prediction at quarter-sample position (xFrac, yFrac) is the rounded average of
// two operands (both the same where the position is an integer or half sample).
extern const LumaOperand kLumaQuarterSample[4 /* yFrac */][4 /* xFrac */][2 /* operand */];

}  // namespace opx::h264
