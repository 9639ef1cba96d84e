// Argument checks of the metric functions, one table: each row one bad argument (or two, the
// first checked winning), the code it gives, and nothing written.
#include <climits>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

TEST(MetricsChecks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    std::vector<ArgCase> rows = {
        OPX_ARG(opxErrNullPtr, opxiSAD16x16xN_8u16u_C1R(nullptr, 16, s.u8(1), 48, s.u16(2), 7)),
        // Overlapping rows of the two-channel form are fine.
        OPX_ARG(opxOk, opxiSAD8x8_8u32s_C2R(s.u8(0), 1, s.u8(1), 1, s.s32(2), s.s32(3), 0)),
    };
    // Two-channel steps below one: refused after the null check, before the mcType warning.
    for (Opx32s bad : {0, -1, -16, INT_MIN}) {
        rows.push_back(OPX_ARG(
            opxErrStep, opxiSAD8x8_8u32s_C2R(s.u8(0), bad, s.u8(1), 18, s.s32(2), s.s32(3), 0)));
        rows.push_back(OPX_ARG(
            opxErrStep, opxiSAD8x8_8u32s_C2R(s.u8(0), 16, s.u8(1), bad, s.s32(2), s.s32(3), 0)));
        rows.push_back(OPX_ARG(
            opxErrStep, opxiSAD8x8_8u32s_C2R(s.u8(0), bad, s.u8(1), 18, s.s32(2), s.s32(3), 99)));
        rows.push_back(OPX_ARG(
            opxErrNullPtr, opxiSAD8x8_8u32s_C2R(s.u8(0), bad, s.u8(1), 18, nullptr, s.s32(3), 0)));
    }
    // Rows of candidates come in multiples of eight.
    for (Opx32s n : {7, 0, 1, -1, -8, INT_MIN}) {
        rows.push_back(
            OPX_ARG(opxErrSize, opxiSAD16x16xN_8u16u_C1R(s.u8(0), 16, s.u8(1), 48, s.u16(2), n)));
        rows.push_back(OPX_ARG(
            opxErrSize, opxiSAD4x4xNI_8u16u_C1R(s.u8(0), 16, s.u8(1), 48, s.u16(2), n, s.s32(3))));
        rows.push_back(
            OPX_ARG(opxErrSize, opxiSAD2x2xN_8u16u_C1R(s.u8(0), 16, s.u8(1), 48, s.u16(2), n)));
    }
    // Prediction codes other than 0, 4, 8 and 12 do nothing.
    for (Opx32s code : {1, 2, 3, 5, 16, -4}) {
        rows.push_back(OPX_ARG(opxWrnNothingDone,
                               opxiSqrDiff16x16_8u32s(s.u8(0), 16, s.u8(1), 17, code, s.s32(2))));
        rows.push_back(OPX_ARG(
            opxWrnNothingDone,
            opxiSqrDiff16x16B_8u32s(s.u8(0), 16, s.u8(1), 17, 0, s.u8(1), 17, code, s.s32(2))));
    }
    expect_arg_cases(rows);
}

}  // namespace
}  // namespace opx::test
