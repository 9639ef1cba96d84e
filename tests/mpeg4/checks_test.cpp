// Argument checks of the MPEG-4 and H.263 functions, one table: each row one bad argument (or
// two, the first checked winning), the code it gives, and nothing written.
#include <vector>

#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

// Any memory as a record of type T (records of another kind, never initialised, misaligned).
template <class T, class P>
T* rec(P* p) {
    return reinterpret_cast<T*>(p);
}

TEST(Mpeg4Checks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    // Records made once outside the table: forward intra with 8 and 9 bits, inverse inter, and
    // an inverse intra record in an exact-size block (only its identifier is read on refusal).
    RecordMemory f8(412, 0), f9(412, 0), mi(156, 0);
    std::vector<unsigned char> small(156);
    ASSERT_EQ(opxiQuantIntraInit_MPEG4(nullptr, f8.as<OpxQuantIntraStateMPEG4>(), 8), opxOk);
    ASSERT_EQ(opxiQuantIntraInit_MPEG4(nullptr, f9.as<OpxQuantIntraStateMPEG4>(), 9), opxOk);
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(nullptr, mi.as<OpxQuantInvInterStateMPEG4>(), 8), opxOk);
    ASSERT_EQ(
        opxiQuantInvIntraInit_MPEG4(nullptr, rec<OpxQuantInvIntraStateMPEG4>(small.data()), 8),
        opxOk);
    auto* fwd = f8.as<OpxQuantIntraStateMPEG4>();
    auto* fwd9 = f9.as<OpxQuantIntraStateMPEG4>();
    auto* inv = mi.as<OpxQuantInvInterStateMPEG4>();
    unsigned char* inv_intra = small.data();
    Opx8u w0[64];
    for (int i = 0; i < 64; ++i) w0[i] = static_cast<Opx8u>(i == 40 ? 0 : 20);
    const OpxRect sp{0, 0, 64, 48}, vop{0, 0, 64, 48}, r16{0, 0, 16, 16}, no_w{0, 0, 0, 8},
        no_h{0, 0, 8, 0};
    const Opx32s du[4] = {1, 2, 3, 4};
    Opx16s c[64] = {};
    c[0] = 5;
    c[9] = 2;
    c[20] = -1;
    // The warp set-up into a record 3 bytes into slot 0.
    auto warp_init = [](Scratch& s, const Opx32s* u, const Opx32s* v, int points, int type, int acc,
                        int rounding, int qs, int fcode, const OpxRect& a, const OpxRect& b) {
        return opxiWarpInit_MPEG4(rec<OpxWarpStateMPEG4>(s.u8(0) + 3), u, v, points, type, acc,
                                  rounding, qs, fcode, &a, &b);
    };
    std::vector<ArgCase> rows = {
        // Quantisers: a record of another kind, then the QP range (it depends on the record's
        // bit count); H.263: QP before the level range.
        OPX_ARG(opxErrContextMatch, opxiQuantInter_MPEG4_16s_C1I(
                                        s.s16(0), rec<OpxQuantInterStateMPEG4>(fwd), 0, s.s32(1))),
        OPX_ARG(opxErrContextMatch, opxiQuantInvIntra_MPEG4_16s_C1I(
                                        s.s16(0), 0, rec<OpxQuantInvIntraStateMPEG4>(inv), 3, 0)),
        OPX_ARG(opxErrQp, opxiQuantIntra_MPEG4_16s_C1I(s.s16(0), fwd, 32, s.s32(1), 0)),
        OPX_ARG(opxErrQp, opxiQuantIntra_MPEG4_16s_C1I(s.s16(0), fwd, 0, s.s32(1), 0)),
        OPX_ARG(opxErrContextMatch,
                opxiQuantIntra_MPEG4_16s_C1I(s.s16(0), rec<OpxQuantIntraStateMPEG4>(inv_intra), 3,
                                             s.s32(1), 0)),
        OPX_ARG(opxErrContextMatch, opxiQuantInvInter_MPEG4_16s_C1I(
                                        s.s16(0), 0, rec<OpxQuantInvInterStateMPEG4>(fwd), 3)),
        OPX_ARG(opxErrQp, opxiQuantIntra_MPEG4_16s_C1I(s.s16(0), fwd9, 64, s.s32(1), 0)),
        OPX_ARG(opxErrQp, opxiQuantInvInter_H263_16s_C1I(s.s16(0), -1, 0, 0)),
        OPX_ARG(opxErrOutOfRange, opxiQuantInvInter_H263_16s_C1I(s.s16(0), -1, 5, 0)),
        OPX_ARG(opxErrQp, opxiQuantInvIntra_H263_16s_C1I(s.s16(0), -1, 32, 0, 0)),
        OPX_ARG(opxErrQp, opxiQuantInter_H263_16s_C1I(s.s16(0), 32, s.s32(1), 0)),
        // Initialisation validates the matrix and the bit count before writing; a record never
        // initialised is refused.
        OPX_ARG(opxErrQp, opxiQuantIntraInit_MPEG4(w0, rec<OpxQuantIntraStateMPEG4>(s.u8(0)), 8)),
        OPX_ARG(opxErrOutOfRange,
                opxiQuantInterInit_MPEG4(nullptr, rec<OpxQuantInterStateMPEG4>(s.u8(0)), 13)),
        OPX_ARG(opxErrOutOfRange,
                opxiQuantInterInit_MPEG4(nullptr, rec<OpxQuantInterStateMPEG4>(s.u8(0)), 3)),
        OPX_ARG(opxErrQp,
                opxiQuantInvInterInit_MPEG4(w0, rec<OpxQuantInvInterStateMPEG4>(s.u8(0)), 8)),
        OPX_ARG(opxErrOutOfRange,
                opxiQuantInvInterInit_MPEG4(nullptr, rec<OpxQuantInvInterStateMPEG4>(s.u8(0)), 13)),
        OPX_ARG(opxErrContextMatch, opxiQuantInvInter_MPEG4_16s_C1I(
                                        s.s16(1), 0, rec<OpxQuantInvInterStateMPEG4>(s.u8(0)), 3)),

        // Sprite warping: counts, accuracy and fcode ranges, then the rectangles; null
        // displacements when points are given; a record never initialised.
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 4, 0, 0, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 5, 1, 0, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, -1, 0, 0, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 2, 0, -1, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 2, 0, 4, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 2, 0, 0, 0, 0, 0, sp, vop)),
        OPX_ARG(opxErrOutOfRange, warp_init(s, du, du, 2, 0, 0, 0, 0, 8, sp, vop)),
        OPX_ARG(opxErrSize, warp_init(s, du, du, 2, 0, 0, 0, 0, 1, no_w, vop)),
        OPX_ARG(opxErrSize, warp_init(s, du, du, 2, 0, 0, 0, 0, 1, sp, no_h)),
        OPX_ARG(opxErrNullPtr, warp_init(s, nullptr, du, 2, 0, 0, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrNullPtr, warp_init(s, du, nullptr, 1, 0, 0, 0, 0, 1, sp, vop)),
        OPX_ARG(opxErrContextMatch, opxiCalcGlobalMV_MPEG4(0, 0, rec<OpxMotionVec>(s.u8(1)),
                                                           rec<OpxWarpStateMPEG4>(s.u8(0) + 3))),
        OPX_ARG(opxErrContextMatch, opxiWarpLuma_MPEG4_8u_C1R(s.u8(1), 64, s.u8(2), 64, &r16,
                                                              rec<OpxWarpStateMPEG4>(s.u8(0) + 3))),
        OPX_ARG(opxErrContextMatch,
                opxiWarpChroma_MPEG4_8u_P2R(s.u8(1), 64, s.u8(1), 64, s.u8(2), 64, s.u8(3), 64,
                                            &r16, rec<OpxWarpStateMPEG4>(s.u8(0) + 3))),
    };
    // Coefficient decoders: the bit offset, then the record: another kind, QP, none.
    // A decoder with the cursor (slot 0, offset `off`) in slots 1 and 2, outputs in 3 and 4.
    auto decode = [](Scratch& s, Opx32s off, auto fn, auto... rest) {
        return fn(s.put(1, s.u8(0)), s.put(2, off), s.s16(3), s.s32(4), rest...);
    };
    rows.push_back(OPX_ARG(opxErrBitOffset, decode(s, 8, opxiDecodeCoeffsInter_MPEG4_1u16s, 0, 0)));
    rows.push_back(OPX_ARG(opxErrBitOffset, decode(s, -1, opxiDecodeCoeffsInter_H263_1u16s, 0, 0)));
    rows.push_back(
        OPX_ARG(opxErrBitOffset, decode(s, -1, opxiReconstructCoeffsInter_H263_1u16s, 0, 0)));
    rows.push_back(OPX_ARG(opxErrQp, decode(s, 0, opxiReconstructCoeffsInter_H263_1u16s, 0, 0)));
    rows.push_back(OPX_ARG(opxErrQp, decode(s, 0, opxiReconstructCoeffsIntra_H261_1u16s, 32)));
    const auto* other = rec<OpxQuantInvInterStateMPEG4>(inv_intra);
    for (int rvlc = 0; rvlc < 2; ++rvlc) {
        const auto fn = opxiReconstructCoeffsInter_MPEG4_1u16s;
        rows.push_back(OPX_ARG(opxErrContextMatch, decode(s, 3, fn, rvlc, 0, other, 3)));
        rows.push_back(OPX_ARG(opxErrQp, decode(s, 3, fn, rvlc, 0, inv, 32)));
        rows.push_back(OPX_ARG(opxErrNullPtr, decode(s, 3, fn, rvlc, 0, nullptr, 3)));
    }
    // Deblocking and deringing take QP 1..31.
    for (Opx32s qp : {0, 32, -5, 1000}) {
        rows.push_back(
            OPX_ARG(opxErrQp, opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(s.u8(0), 64, qp, 2, 6)));
        rows.push_back(
            OPX_ARG(opxErrQp, opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR(s.u8(0), 64, qp, 2, 6)));
        rows.push_back(OPX_ARG(opxErrQp, opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(
                                             s.u8(0), 64, s.u8(0), 64, qp, 100)));
        rows.push_back(
            OPX_ARG(opxErrQp, opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(s.u8(0), 64, qp)));
        rows.push_back(
            OPX_ARG(opxErrQp, opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(s.u8(0), 64, qp)));
    }
    // Coefficient encoders: counts outside 1..64 or above the last level, DC outside +-4095; the
    // bit offset is checked first.
    // An encoder on the block c with the cursor (slot 0, offset `off`) in slots 1 and 2.
    auto encode = [c](Scratch& s, Opx32s off, auto fn, auto... rest) {
        return fn(c, s.put(1, s.u8(0)), s.put(2, off), rest...);
    };
    for (Opx32s off : {0, 5, 8}) {
        const OpxResult range = off == 8 ? opxErrBitOffset : opxErrOutOfRange;
        rows.push_back(OPX_ARG(range, encode(s, off, opxiEncodeCoeffsInter_MPEG4_16s1u, 0, 0, 0)));
        rows.push_back(OPX_ARG(range, encode(s, off, opxiEncodeCoeffsInter_H263_16s1u, 65, 0, 0)));
        rows.push_back(OPX_ARG(range, encode(s, off, opxiEncodeCoeffsInter_MPEG4_16s1u, 4, 0, 0)));
        rows.push_back(
            OPX_ARG(range, encode(s, off, opxiEncodeCoeffsIntra_MPEG4_16s1u, 3, 0, 1, 0)));
        rows.push_back(
            OPX_ARG(range, encode(s, off, opxiEncodeCoeffsIntra_H263_16s1u, 3, 0, 0, 0)));
        rows.push_back(
            OPX_ARG(range, encode(s, off, opxiEncodeCoeffsIntra_H263_16s1u, 64, 0, 0, 0)));
        rows.push_back(OPX_ARG(range, encode(s, off, opxiEncodeCoeffsIntra_H261_16s1u, 4, 0)));
        rows.push_back(OPX_ARG(range, encode(s, off, opxiEncodeCoeffsInter_H261_16s1u, 4, 0)));
        rows.push_back(OPX_ARG(
            range, opxiEncodeDCIntra_MPEG4_16s1u(4096, s.put(1, s.u8(0)), s.put(2, off), 0)));
        rows.push_back(OPX_ARG(
            range, opxiEncodeDCIntra_MPEG4_16s1u(-4096, s.put(1, s.u8(0)), s.put(2, off), 1)));
        rows.push_back(OPX_ARG(off == 8 ? opxErrBitOffset : opxOk,
                               encode(s, off, opxiEncodeCoeffsIntra_H261_16s1u, 3, 0)));
    }
    expect_arg_cases(rows);
}

}  // namespace
}  // namespace opx::test::mpeg4
