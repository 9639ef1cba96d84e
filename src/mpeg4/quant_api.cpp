// Exported MPEG-4 and H.263 quantisation functions: check the arguments, pick the method from the
// record (or the flags), call one kernel.
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg4/quant.hpp"

using namespace opx::mpeg4;

namespace {

const QuantKernels& k() noexcept { return OPX_SELECT(opx::mpeg4, kQuant); }

constexpr float kOnes[64] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                             1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                             1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

bool has_zero_weight(const Opx8u* m) noexcept {
    if (!m) return false;
    for (int i = 0; i < 64; ++i)
        if (m[i] == 0) return true;
    return false;
}

// Both Init kinds validate everything before writing, so a refused call leaves the record as it
// was (a zero weight no longer leaves a half-written record behind).
OpxResult init_inverse(const Opx8u* pMatrix, void* pState, Opx32s bitsPerPixel,
                       std::uint32_t id) noexcept {
    OPX_CHECK_NULL(pState);
    OPX_CHECK(bitsPerPixel >= 4 && bitsPerPixel <= 12, opxErrOutOfRange);
    OPX_CHECK(!has_zero_weight(pMatrix), opxErrQp);
    QuantInvRecord* r = align_record<QuantInvRecord>(pState);
    if (pMatrix)
        for (int i = 0; i < 64; ++i) r->weight[i] = pMatrix[i];
    r->bits_per_pixel = bitsPerPixel;
    r->matrix = pMatrix != nullptr;
    r->id = id;
    return opxOk;
}

OpxResult init_forward(const Opx8u* pMatrix, void* pState, Opx32s bitsPerPixel,
                       std::uint32_t id) noexcept {
    OPX_CHECK_NULL(pState);
    OPX_CHECK(bitsPerPixel >= 4 && bitsPerPixel <= 12, opxErrOutOfRange);
    OPX_CHECK(!has_zero_weight(pMatrix), opxErrQp);
    QuantFwdRecord* r = align_record<QuantFwdRecord>(pState);
    if (pMatrix) {
        for (int i = 0; i < 64; ++i) {
            const int w = pMatrix[i];
            if (bitsPerPixel <= 8) {
                r->weight[i] = static_cast<std::uint16_t>(w / 2);
                r->recip16[i] = static_cast<std::uint16_t>(w == 1 ? 65535 : 65536 / w + 1);
            } else {
                r->weight[i] = static_cast<std::uint16_t>(w);
                r->recipf[i] = static_cast<float>(1.0 / w);
            }
        }
    }
    r->bits_per_pixel = bitsPerPixel;
    r->matrix = pMatrix != nullptr;
    r->id = id;
    return opxOk;
}

// Rows 0 .. row of the last raster index; indices above 63 are taken as 63.
int rows_of(Opx32s lastIndex) noexcept { return (lastIndex > 63 ? 63 : lastIndex) / 8 + 1; }

// Mismatch control (ISO/IEC 14496-2 clause 7.4.4.4): an even sum moves coefficient 63 by one
// towards the odd neighbour.
void mismatch(Opx16s* c, std::int32_t sum) noexcept {
    if ((sum & 1) == 0) c[63] = static_cast<Opx16s>((c[63] & 1) ? c[63] - 1 : c[63] + 1);
}

std::int32_t clamp32(std::int64_t v, std::int32_t lo, std::int32_t hi) noexcept {
    return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}

template <class R>
OpxResult check_record(const R* r, std::uint32_t id, Opx32s qp) noexcept {
    OPX_CHECK(r->id == id, opxErrContextMatch);
    OPX_CHECK(qp >= 1 && qp <= max_qp(r->bits_per_pixel), opxErrQp);
    return opxOk;
}

OpxResult forward_mpeg4(Opx16s* c, const QuantFwdRecord* r, Opx32s qp, bool intra) noexcept {
    const int first = intra ? 1 : 0;
    if (r->bits_per_pixel <= 8) {
        if (r->matrix) return k().fwd_matrix(c, first, intra, r->weight, r->recip16, qp);
        return k().fwd_uniform(c, first, intra ? kFwdIntra : kFwdInter, qp, 32767);
    }
    FwdFloat p{0, 0.0f, 0.0f, kOnes};
    if (r->matrix) {
        p.rw = r->recipf;
        if (intra) {
            p.a = 8.0f / static_cast<float>(qp);
            p.pos_bias = 0.501f;
        } else {
            p.a = static_cast<float>(8.00001 / qp);
        }
    } else {
        p.a = static_cast<float>(0.5000001 / qp);
        p.dead = intra ? 0 : qp / 2;
    }
    return k().fwd_float(c, first, p);
}

}  // namespace

// ---- records -----------------------------------------------------------------------------------

OpxResult opxiQuantIntraGetSize_MPEG4(Opx32s* pSize) noexcept {
    OPX_CHECK_NULL(pSize);
    *pSize = kQuantFwdSize;
    return opxOk;
}
OpxResult opxiQuantInterGetSize_MPEG4(Opx32s* pSize) noexcept {
    return opxiQuantIntraGetSize_MPEG4(pSize);
}
OpxResult opxiQuantInvIntraGetSize_MPEG4(Opx32s* pSize) noexcept {
    OPX_CHECK_NULL(pSize);
    *pSize = kQuantInvSize;
    return opxOk;
}
OpxResult opxiQuantInvInterGetSize_MPEG4(Opx32s* pSize) noexcept {
    return opxiQuantInvIntraGetSize_MPEG4(pSize);
}

OpxResult opxiQuantIntraInit_MPEG4(const Opx8u* pMatrix, OpxQuantIntraStateMPEG4* pState,
                                   Opx32s bitsPerPixel) noexcept {
    return init_forward(pMatrix, pState, bitsPerPixel, kIdQuantIntra);
}
OpxResult opxiQuantInterInit_MPEG4(const Opx8u* pMatrix, OpxQuantInterStateMPEG4* pState,
                                   Opx32s bitsPerPixel) noexcept {
    return init_forward(pMatrix, pState, bitsPerPixel, kIdQuantInter);
}
OpxResult opxiQuantInvIntraInit_MPEG4(const Opx8u* pMatrix, OpxQuantInvIntraStateMPEG4* pState,
                                      Opx32s bitsPerPixel) noexcept {
    return init_inverse(pMatrix, pState, bitsPerPixel, kIdQuantInvIntra);
}
OpxResult opxiQuantInvInterInit_MPEG4(const Opx8u* pMatrix, OpxQuantInvInterStateMPEG4* pState,
                                      Opx32s bitsPerPixel) noexcept {
    return init_inverse(pMatrix, pState, bitsPerPixel, kIdQuantInvInter);
}

// ---- MPEG-4 ------------------------------------------------------------------------------------

OpxResult opxiQuantIntra_MPEG4_16s_C1I(Opx16s* pCoeffs, const OpxQuantIntraStateMPEG4* pState,
                                       Opx32s qp, Opx32s* pCount, Opx32s chromaFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs, pState, pCount);
    const QuantFwdRecord* r = align_record<QuantFwdRecord>(pState);
    if (const OpxResult e = check_record(r, kIdQuantIntra, qp)) return e;
    const std::int32_t c0 = pCoeffs[0];
    std::int32_t count = forward_mpeg4(pCoeffs, r, qp, true);
    // Intra DC: ⌊(|c0| + ⌊d/2⌋) / d⌋ when |c0| ≥ ⌈d/2⌉, else 0.
    const std::int32_t d = dc_scaler(qp, chromaFlag != 0);
    const std::int32_t a = c0 < 0 ? -c0 : c0;
    std::int32_t l0 = 0;
    if (a >= (d + 1) / 2) {
        l0 = (a + d / 2) / d;
        if (l0 > 2047) l0 = 2047;
        ++count;
    }
    pCoeffs[0] = static_cast<Opx16s>(c0 < 0 ? -l0 : l0);
    *pCount = count;
    return opxOk;
}

OpxResult opxiQuantInter_MPEG4_16s_C1I(Opx16s* pCoeffs, const OpxQuantInterStateMPEG4* pState,
                                       Opx32s qp, Opx32s* pCount) noexcept {
    OPX_CHECK_NULL(pCoeffs, pState, pCount);
    const QuantFwdRecord* r = align_record<QuantFwdRecord>(pState);
    if (const OpxResult e = check_record(r, kIdQuantInter, qp)) return e;
    *pCount = forward_mpeg4(pCoeffs, r, qp, false);
    return opxOk;
}

OpxResult opxiQuantInvIntra_MPEG4_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex,
                                          const OpxQuantInvIntraStateMPEG4* pState, Opx32s qp,
                                          Opx32s chromaFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs, pState);
    const QuantInvRecord* r = align_record<QuantInvRecord>(pState);
    if (const OpxResult e = check_record(r, kIdQuantInvIntra, qp)) return e;
    const std::int32_t hi = (1 << (r->bits_per_pixel + 3)) - 1, lo = -hi - 1;
    std::int32_t sum = 0;
    if (lastIndex >= 1) {  // a last index below 1 leaves every AC row alone
        if (r->matrix)
            sum = k().inv_matrix(pCoeffs, rows_of(lastIndex), true, r->weight, qp, lo, hi);
        else
            k().inv_uniform(pCoeffs, rows_of(lastIndex), true,
                            InvUniform{2 * qp, odd_offset(qp), lo, hi});
    }
    const std::int32_t f0 =
        clamp32(std::int64_t{dc_scaler(qp, chromaFlag != 0)} * pCoeffs[0], lo, hi);
    pCoeffs[0] = static_cast<Opx16s>(f0);
    if (r->matrix) mismatch(pCoeffs, sum + f0);
    return opxOk;
}

OpxResult opxiQuantInvInter_MPEG4_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex,
                                          const OpxQuantInvInterStateMPEG4* pState,
                                          Opx32s qp) noexcept {
    OPX_CHECK_NULL(pCoeffs, pState);
    const QuantInvRecord* r = align_record<QuantInvRecord>(pState);
    if (const OpxResult e = check_record(r, kIdQuantInvInter, qp)) return e;
    if (lastIndex < 0) return opxOk;  // an empty block: no row to process
    const std::int32_t hi = (1 << (r->bits_per_pixel + 3)) - 1, lo = -hi - 1;
    if (r->matrix) {
        mismatch(pCoeffs,
                 k().inv_matrix(pCoeffs, rows_of(lastIndex), false, r->weight, qp, lo, hi));
    } else {
        k().inv_uniform(pCoeffs, rows_of(lastIndex), false,
                        InvUniform{2 * qp, odd_offset(qp), lo, hi});
    }
    return opxOk;
}

// ---- H.263 -------------------------------------------------------------------------------------

OpxResult opxiQuantIntra_H263_16s_C1I(Opx16s* pCoeffs, Opx32s qp, Opx32s* pCount,
                                      Opx32s advIntraFlag, Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs, pCount);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    const std::int32_t limit = (qp < 8 && !modQuantFlag) ? 127 : 32767;
    if (advIntraFlag) {
        *pCount = k().fwd_uniform(pCoeffs, 0, kFwdAdvIntra, qp, limit);
        return opxOk;
    }
    const std::int32_t c0 = pCoeffs[0];
    const std::int32_t count = k().fwd_uniform(pCoeffs, 1, kFwdIntra, qp, limit);
    // INTRADC (H.263 clause 6.2.1): 8 bits, 0 and 128 are not codes; the level lies in 1..254.
    pCoeffs[0] = static_cast<Opx16s>(clamp32((c0 + 4) >> 3, 1, 254));
    *pCount = count + 1;
    return opxOk;
}

OpxResult opxiQuantInter_H263_16s_C1I(Opx16s* pCoeffs, Opx32s qp, Opx32s* pCount,
                                      Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs, pCount);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    const std::int32_t limit = (qp < 8 && !modQuantFlag) ? 127 : 32767;
    *pCount = k().fwd_uniform(pCoeffs, 0, kFwdInter, qp, limit);
    return opxOk;
}

OpxResult opxiQuantInvIntra_H263_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex, Opx32s qp,
                                         Opx32s advIntraFlag, Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    OPX_CHECK(lastIndex >= 0, opxErrOutOfRange);
    if (advIntraFlag) {  // 2 · QP · c for every coefficient, saturated to 16 bits
        k().inv_uniform(pCoeffs, rows_of(lastIndex), false, InvUniform{2 * qp, 0, -32768, 32767});
        return opxOk;
    }
    const std::int32_t hi = modQuantFlag ? 32767 : 2047, lo = modQuantFlag ? -32768 : -2048;
    if (lastIndex > 0)
        k().inv_uniform(pCoeffs, rows_of(lastIndex), true,
                        InvUniform{2 * qp, odd_offset(qp), lo, hi});
    pCoeffs[0] = static_cast<Opx16s>(clamp32(8 * std::int32_t{pCoeffs[0]}, -32768, 32767));
    return opxOk;
}

OpxResult opxiQuantInvInter_H263_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex, Opx32s qp,
                                         Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(pCoeffs);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    OPX_CHECK(lastIndex >= 0, opxErrOutOfRange);
    const std::int32_t hi = modQuantFlag ? 32767 : 2047, lo = modQuantFlag ? -32768 : -2048;
    k().inv_uniform(pCoeffs, rows_of(lastIndex), false,
                    InvUniform{2 * qp, odd_offset(qp), lo, hi});
    return opxOk;
}
