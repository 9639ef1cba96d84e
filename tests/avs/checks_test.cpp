// Argument checks of the AVS functions, one table: each row one bad argument (or two, the first
// checked winning), the code it gives, and nothing written or consumed.
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

// A block prediction from slot 0 (step 64) into slot 1 (step 32) at (8, 8).
OpxInterpolateBlock8u block(Scratch& s, OpxRoiSize frame, OpxRoiSize size, OpxPoint mv) {
    return {{s.u8(0), nullptr}, 64, {s.u8(1), nullptr}, 32, frame, size, {8, 8}, mv};
}

TEST(AvsChecks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    const Opx32u modes[4] = {0, 1, 2, 3};
    const Opx32s num[4] = {1, 1, 1, 1};
    OpxInterpolateBlock8u b{};
    std::vector<ArgCase> rows = {
        // Mended: the mode and numCoeff arrays are tested for null.
        OPX_ARG(opxErrNullPtr, opxiReconstructLumaIntra_AVS_16s8u_C1R(s.put(1, s.s16(2)), s.u8(0),
                                                                      64, nullptr, num, 15, 10, 0)),
        OPX_ARG(opxErrNullPtr, opxiReconstructLumaIntra_AVS_16s8u_C1R(
                                   s.put(1, s.s16(2)), s.u8(0), 64, modes, nullptr, 15, 10, 0)),
        OPX_ARG(opxErrNullPtr, opxiReconstructLumaInter_AVS_16s8u_C1R(s.put(1, s.s16(2)), s.u8(0),
                                                                      64, nullptr, 15, 10)),
        OPX_ARG(opxErrNullPtr,
                opxiReconstructChromaIntra_AVS_16s8u_C1R(s.put(1, s.s16(2)), s.u8(0), s.u8(0) + 8,
                                                         64, 0, nullptr, 3, 10, 0)),
        OPX_ARG(opxErrNullPtr, opxiReconstructChromaInter_AVS_16s8u_C1R(
                                   s.put(1, s.s16(2)), s.u8(0), s.u8(0) + 8, 64, nullptr, 15, 10)),
        OPX_ARG(opxErrBadArg,
                opxiTransformQuant8x8Fwd_AVS_16s_C1(s.s16(0), s.s16(1), s.s32(2), 64, 1)),
        OPX_ARG(opxErrBadArg,
                opxiTransformQuant8x8Fwd_AVS_16s_C1(s.s16(0), s.s16(1), s.s32(2), -1, 1)),
    };
    for (Opx32s qp : {64, -1}) {
        rows.push_back(
            OPX_ARG(opxErrOutOfRange, opxiReconstructLumaIntra_AVS_16s8u_C1R(
                                          s.put(1, s.s16(2)), s.u8(0), 64, modes, num, 15, qp, 0)));
        rows.push_back(OPX_ARG(
            opxErrOutOfRange,
            opxiReconstructLumaInter_AVS_16s8u_C1R(s.put(1, s.s16(2)), s.u8(0), 64, num, 15, qp)));
    }
    for (Opx32s qp : {52, -1}) {
        rows.push_back(OPX_ARG(
            opxErrOutOfRange, opxiReconstructChromaIntra_AVS_16s8u_C1R(
                                  s.put(1, s.s16(2)), s.u8(0), s.u8(0) + 8, 64, 0, num, 3, qp, 0)));
        rows.push_back(OPX_ARG(opxErrOutOfRange,
                               opxiReconstructChromaInter_AVS_16s8u_C1R(
                                   s.put(1, s.s16(2)), s.u8(0), s.u8(0) + 8, 64, num, 15, qp)));
    }
    // Mended: block sizes other than 8 and 16 were accepted (the edge buffer holds 16 rows and
    // kernels exist for widths 8 and 16 only); an empty frame has nothing to clamp to.
    const OpxRoiSize bad_sizes[] = {{0, 8},  {24, 8}, {4, 8},   {12, 8},  {8, 24}, {8, 32},
                                    {16, 0}, {16, 4}, {16, 12}, {32, 16}, {-8, 8}};
    for (OpxRoiSize r : bad_sizes)
        rows.push_back(OPX_ARG(opxErrSize, opxiInterpolateLumaBlock_AVS_8u_P1R(
                                               &(b = block(s, {64, 64}, r, {-1000, 3})))));
    for (OpxRoiSize frame : {OpxRoiSize{0, 64}, {64, 0}, {-1, 5}})
        rows.push_back(OPX_ARG(opxErrSize, opxiInterpolateLumaBlock_AVS_8u_P1R(
                                               &(b = block(s, frame, {8, 8}, {1, 1})))));
    expect_arg_cases(rows);
}

}  // namespace
}  // namespace opx::test
