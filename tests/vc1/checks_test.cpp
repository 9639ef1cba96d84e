// Argument checks of the VC-1 functions, one table: each row one bad argument (or two, the
// first checked winning), the code it gives, and nothing written.
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

OpxVC1Interpolate8u qp(Scratch& s, int lead, OpxRoiSize r) {
    return {s.u8(0) + lead, 40, s.u8(1), 40, 1, 1, r, 0};
}
OpxVC1InterpolateBlockIC8u ic(Scratch& s, OpxRoiSize frame, OpxRoiSize block, OpxPoint at = {3, 3},
                              Opx32u padding = 0, Opx32u field = 0) {
    return {s.u8(0), 40, s.u8(1), 40,      nullptr, nullptr, frame, block,
            at,      1,  1,       padding, field,   0,       0};
}

TEST(Vc1Checks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    OpxVC1Interpolate8u p{};
    OpxVC1InterpolateBlockIC8u b{};
    std::vector<ArgCase> rows = {
        // Quantisers: the quantiser scale, then the block size; null pointers first.
        OPX_ARG(opxErrOutOfRange, opxiQuantIntraNonuniform_VC1_16s_C1IR(s.s16(0), 16, 63)),
        OPX_ARG(opxErrOutOfRange, opxiQuantInterUniform_VC1_16s_C1IR(s.s16(0), 16, 63, {8, 6})),
        OPX_ARG(opxErrSize, opxiQuantInterUniform_VC1_16s_C1IR(s.s16(0), 16, 10, {8, 6})),
        OPX_ARG(opxErrSize, opxiQuantInterNonuniform_VC1_16s_C1IR(s.s16(0), 16, 10, {6, 8})),
        OPX_ARG(opxErrNullPtr, opxiQuantInterNonuniform_VC1_16s_C1IR(nullptr, 16, 1, {6, 8})),
        OPX_ARG(opxErrSize,
                opxiQuantInvInterUniform_VC1_16s_C1IR(s.s16(0), 16, 10, {8, 16},
                                                      reinterpret_cast<OpxRoiSize*>(s.s32(1)))),
        OPX_ARG(opxErrSize,
                opxiQuantInvInterNonuniform_VC1_16s_C1R(s.s16(0), 16, s.s16(0), 16, 10, {0, 4},
                                                        reinterpret_cast<OpxRoiSize*>(s.s32(1)))),
        OPX_ARG(opxErrNullPtr,
                opxiQuantInvInterUniform_VC1_16s_C1IR(s.s16(0), 16, 10, {8, 16}, nullptr)),
    };
    // Range mapping: the range value 0..7.
    rows.push_back(OPX_ARG(opxErrOutOfRange,
                           opxiRangeMapping_VC1_8u_C1R(s.u8(0), 4, s.u8(1), 4, {4, 1}, 8)));
    // A frame of one row with paddingMode 2 (means 0) is fine.
    rows.push_back(OPX_ARG(opxOk, opxiInterpolateICBicubicBlock_VC1_8u_C1R(
                                      &(b = ic(s, {10, 1}, {8, 8}, {0, 0}, 2, 0)))));
    for (int q : {1, 63, 0, -2})
        rows.push_back(
            OPX_ARG(opxErrOutOfRange, opxiQuantIntraUniform_VC1_16s_C1IR(s.s16(0), 16, q)));
    // Interpolation takes the listed block sizes only.
    for (OpxRoiSize r : {OpxRoiSize{8, 16}, {4, 4}, {8, 4}, {32, 32}, {16, 4}, {0, 0}, {-8, 8}}) {
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateQPBicubic_VC1_8u_C1R(&(p = qp(s, 41, r)))));
        rows.push_back(OPX_ARG(
            opxErrSize, opxiInterpolateICBicubicBlock_VC1_8u_C1R(&(b = ic(s, {40, 40}, r)))));
    }
    for (OpxRoiSize r : {OpxRoiSize{16, 8}, {4, 8}, {2, 2}}) {
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateQPBilinear_VC1_8u_C1R(&(p = qp(s, 41, r)))));
        rows.push_back(OPX_ARG(
            opxErrSize, opxiInterpolateICBilinearBlock_VC1_8u_C1R(&(b = ic(s, {40, 40}, r)))));
    }
    for (OpxRoiSize r : {OpxRoiSize{16, 16}, {16, 8}, {4, 8}}) {
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateQPBilinear_VC1_8u_C2R(&(p = qp(s, 42, r)))));
        rows.push_back(OPX_ARG(
            opxErrSize, opxiInterpolateICBilinearBlock_VC1_8u_C2R(&(b = ic(s, {20, 40}, r)))));
    }
    // Frame sizes that leave nothing to read, and one-row frames for field or interlaced padding.
    const struct {
        OpxRoiSize frame;
        Opx32u padding, field;
    } frames[] = {
        {{0, 10}, 0, 0}, {{10, 0}, 0, 0}, {{-3, 10}, 0, 0}, {{10, 1}, 1, 0}, {{10, 1}, 0, 1}};
    for (const auto& f : frames) {
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateICBicubicBlock_VC1_8u_C1R(
                                    &(b = ic(s, f.frame, {8, 8}, {0, 0}, f.padding, f.field)))));
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateICBilinearBlock_VC1_8u_C1R(
                                    &(b = ic(s, f.frame, {4, 4}, {0, 0}, f.padding, f.field)))));
        rows.push_back(
            OPX_ARG(opxErrSize, opxiInterpolateICBilinearBlock_VC1_8u_C2R(
                                    &(b = ic(s, f.frame, {4, 4}, {0, 0}, f.padding, f.field)))));
    }
    expect_arg_cases(rows);
}

}  // namespace
}  // namespace opx::test
