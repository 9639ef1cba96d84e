// MPEG-4 and H.263 quantisation of one 8×8 block in place: the state records of the MPEG-4
// functions, the derived quantities (step reciprocal, odd offset, DC scaler) and the kernel table.
//
// Contract of every kernel: arguments already checked (block valid, QP in range for the record's
// bits per pixel, row count 0..8); reads and writes only the 64 coefficients, and of those only
// the positions the kernel's description names; results exact.
#pragma once

#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

// Identifier words ("QAMC" … "UAMC" read byte by byte in memory).
inline constexpr std::uint32_t kIdQuantInvIntra = 0x434D4152;
inline constexpr std::uint32_t kIdQuantInvInter = 0x434D4153;
inline constexpr std::uint32_t kIdQuantIntra = 0x434D4154;
inline constexpr std::uint32_t kIdQuantInter = 0x434D4155;

// The identifier word comes first in every record, so that checking a record of another kind
// (of another size) reads nothing beyond the smallest record.
//
// Inverse record: weights W in raster order, unchanged.
struct QuantInvRecord {
    std::uint32_t id;
    std::int32_t bits_per_pixel;  // 4..12
    std::int32_t matrix;          // 1: weights loaded (MPEG method), 0: H.263 method
    std::uint16_t weight[64];
};

// Forward record. b ≤ 8: weight = ⌊W/2⌋ and recip16 = 65535 for W = 1, ⌊65536/W⌋ + 1 otherwise.
// b ≥ 9: weight = W and recipf = 1/W (computed in double, rounded to single).
struct QuantFwdRecord {
    std::uint32_t id;
    std::int32_t bits_per_pixel;
    std::int32_t matrix;
    std::uint16_t weight[64];
    union {
        std::uint16_t recip16[64];
        float recipf[64];
    };
};

// GetSize values: the record plus room to move the caller's pointer to a 16-byte boundary.
inline constexpr std::int32_t kQuantInvSize = 156;
inline constexpr std::int32_t kQuantFwdSize = 412;
static_assert(sizeof(QuantInvRecord) + 15 <= kQuantInvSize);
static_assert(sizeof(QuantFwdRecord) + 15 <= kQuantFwdSize);

template <class R>
R* align_record(void* p) noexcept {
    return reinterpret_cast<R*>((reinterpret_cast<std::uintptr_t>(p) + 15) & ~std::uintptr_t{15});
}
template <class R>
const R* align_record(const void* p) noexcept {
    return reinterpret_cast<const R*>((reinterpret_cast<std::uintptr_t>(p) + 15) &
                                      ~std::uintptr_t{15});
}

// Step reciprocal R(QP) = ⌊65536 / 2QP⌋ + 1 (QP ≥ 1; 32769 for QP 1, 1725 for QP 19).
constexpr std::int32_t step_recip(std::int32_t qp) noexcept { return 65536 / (2 * qp) + 1; }
// q' = QP for odd QP, QP − 1 for even QP.
constexpr std::int32_t odd_offset(std::int32_t qp) noexcept { return (qp & 1) ? qp : qp - 1; }
// dc_scaler of ISO/IEC 14496-2 Table 7-1.
constexpr std::int32_t dc_scaler(std::int32_t qp, bool chroma) noexcept {
    if (qp <= 4) return 8;
    if (!chroma) return qp <= 8 ? 2 * qp : qp <= 24 ? qp + 8 : 2 * qp - 16;
    return qp <= 24 ? (qp + 13) / 2 : qp - 6;
}
// Largest QP for b bits per pixel: 2^(b−3) − 1.
constexpr std::int32_t max_qp(std::int32_t bits) noexcept { return (1 << (bits - 3)) - 1; }

// ---- kernels ------------------------------------------------------------------------------------

// Inverse by the H.263 method over rows 0..rows−1 (index 0 left alone when skip_dc): a nonzero
// level c gives sign(c) · (qp2 · |c| + odd) in 32-bit arithmetic (|c| ≤ 32768, qp2 ≤ 1022: below
// 2^25), clamped to lo..hi (which lie within the 16-bit range).
struct InvUniform {
    std::int32_t qp2, odd, lo, hi;
};
using InvUniformFn = void (*)(Opx16s* c, int rows, bool skip_dc, const InvUniform& p) noexcept;

// Inverse by the MPEG method over rows 0..rows−1. Intra (index 0 left alone):
// trunc(c · W · QP / 8); inter: trunc((2c + sign(c)) · W · QP / 16), 0 stays 0; clamped to
// lo..hi. Returns the sum of the values written (the mismatch-control parity).
using InvMatrixFn = std::int32_t (*)(Opx16s* c, int rows, bool intra, const std::uint16_t* w,
                                     std::int32_t qp, std::int32_t lo, std::int32_t hi) noexcept;

// Forward by the H.263 method over positions first..63 (first 0 or 1). Mode: inter
// ⌊max(|c| − ⌊QP/2⌋, 0) · R / 65536⌋; intra ⌊|c| · R / 65536⌋; advanced intra
// ⌊min(|c| + ⌊3QP/4⌋, 32767) · R / 65536⌋; QP 1: trunc(c / 2). |L| limited to `limit`, sign of c.
// Returns the number of nonzero levels written.
enum FwdMode { kFwdInter, kFwdIntra, kFwdAdvIntra };
using FwdUniformFn = std::int32_t (*)(Opx16s* c, int first, FwdMode mode, std::int32_t qp,
                                      std::int32_t limit) noexcept;

// Forward with a matrix, b ≤ 8, positions first..63; 16-bit unsigned intermediates:
// t = ⌊(16|c| + ⌊W/2⌋) · RW / 65536⌋; inter |L| = ⌊t · R / 65536⌋, intra
// |L| = ⌊(t + ⌊(3QP + 2)/4⌋) · R / 65536⌋; limited to 2047, sign of c. Returns the nonzero count.
using FwdMatrixFn = std::int32_t (*)(Opx16s* c, int first, bool intra, const std::uint16_t* half_w,
                                     const std::uint16_t* rw, std::int32_t qp) noexcept;

// Forward in single precision, b ≥ 9, positions first..63:
// L = trunc(((float)x · a) · rw[k] + bias), x = c − dead for c > 0 and c + dead otherwise,
// bias = +pos_bias for c ≥ 0 and −pos_bias for c < 0; saturated to 16 bits, then clamped to
// −2047..2047. Returns the nonzero count.
struct FwdFloat {
    std::int32_t dead;
    float a;
    float pos_bias;
    const float* rw;  // 64 entries (all 1 without a matrix)
};
using FwdFloatFn = std::int32_t (*)(Opx16s* c, int first, const FwdFloat& p) noexcept;

struct QuantKernels {
    InvUniformFn inv_uniform;
    InvMatrixFn inv_matrix;
    FwdUniformFn fwd_uniform;
    FwdMatrixFn fwd_matrix;
    FwdFloatFn fwd_float;
};

namespace ref {
extern const QuantKernels kQuant;
}
namespace avx2 {
extern const QuantKernels kQuant;
}

}  // namespace opx::mpeg4
