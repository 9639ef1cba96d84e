// Portable quantisation kernels, written per coefficient from the rules. The single-precision
// path is built with -ffp-contract=off (CMakeLists) so that no product is fused with the addition
// that follows it: results must match the AVX2 kernels bit for bit.
#include <cmath>
#include <cstdlib>

#include "mpeg4/quant.hpp"

namespace opx::mpeg4::ref {
namespace {

std::int32_t clamp(std::int64_t v, std::int32_t lo, std::int32_t hi) noexcept {
    return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}
std::int32_t sat16(std::int64_t v) noexcept { return clamp(v, -32768, 32767); }

void inv_uniform(Opx16s* c, int rows, bool skip_dc, const InvUniform& p) noexcept {
    for (int k = skip_dc ? 1 : 0; k < rows * 8; ++k) {
        const std::int64_t v = c[k];
        if (v == 0) continue;
        const std::int64_t mag = p.qp2 * std::llabs(v) + p.odd;
        c[k] = static_cast<Opx16s>(clamp(v < 0 ? -mag : mag, p.lo, p.hi));
    }
}

std::int32_t inv_matrix(Opx16s* c, int rows, bool intra, const std::uint16_t* w, std::int32_t qp,
                        std::int32_t lo, std::int32_t hi) noexcept {
    std::int32_t sum = 0;
    for (int k = intra ? 1 : 0; k < rows * 8; ++k) {
        const std::int64_t v = c[k];
        std::int64_t f;
        if (intra) {
            f = v * w[k] * qp / 8;  // C++ division truncates towards zero
        } else {
            f = v == 0 ? 0 : (2 * v + (v < 0 ? -1 : 1)) * w[k] * qp / 16;
        }
        const std::int32_t r = clamp(f, lo, hi);
        c[k] = static_cast<Opx16s>(r);
        sum += r;
    }
    return sum;
}

std::int32_t fwd_uniform(Opx16s* c, int first, FwdMode mode, std::int32_t qp,
                         std::int32_t limit) noexcept {
    const std::int64_t r = step_recip(qp);
    std::int32_t count = 0;
    for (int k = first; k < 64; ++k) {
        const std::int64_t a = std::llabs(c[k]);
        std::int64_t m;
        if (qp == 1) {
            m = a / 2;
        } else if (mode == kFwdInter) {
            m = std::max<std::int64_t>(a - qp / 2, 0) * r >> 16;
        } else if (mode == kFwdIntra) {
            m = a * r >> 16;
        } else {
            m = std::min<std::int64_t>(a + 3 * qp / 4, 32767) * r >> 16;
        }
        if (m > limit) m = limit;
        c[k] = static_cast<Opx16s>(c[k] < 0 ? -m : m);
        count += m != 0;
    }
    return count;
}

std::int32_t fwd_matrix(Opx16s* c, int first, bool intra, const std::uint16_t* half_w,
                        const std::uint16_t* rw, std::int32_t qp) noexcept {
    const std::uint32_t r = static_cast<std::uint32_t>(step_recip(qp));
    const std::uint32_t k_intra = static_cast<std::uint32_t>((3 * qp + 2) / 4);
    std::int32_t count = 0;
    for (int k = first; k < 64; ++k) {
        const std::uint32_t a = static_cast<std::uint32_t>(std::abs(c[k]));
        // Intermediates are 16-bit unsigned (inputs are DCT outputs of 8-bit pictures, |c| < 4096).
        const std::uint32_t x = (16 * a + half_w[k]) & 0xFFFF;
        const std::uint32_t t = x * rw[k] >> 16;
        const std::uint32_t u = intra ? (t + k_intra) & 0xFFFF : t;
        std::uint32_t m = u * r >> 16;
        if (m > 2047) m = 2047;
        const std::int32_t sm = static_cast<std::int32_t>(m);
        c[k] = static_cast<Opx16s>(c[k] < 0 ? -sm : sm);
        count += m != 0;
    }
    return count;
}

std::int32_t fwd_float(Opx16s* c, int first, const FwdFloat& p) noexcept {
    std::int32_t count = 0;
    for (int k = first; k < 64; ++k) {
        const std::int32_t v = c[k];
        const std::int32_t x = v > 0 ? v - p.dead : v + p.dead;
        const float prod = static_cast<float>(x) * p.a;
        const float scaled = prod * p.rw[k];
        const float biased = scaled + (v < 0 ? -p.pos_bias : p.pos_bias);
        // cvttps2dq semantics: values outside the 32-bit range become INT32_MIN.
        std::int64_t t = (biased >= 2147483648.0f || biased < -2147483648.0f || biased != biased)
                             ? std::int64_t{INT32_MIN}
                             : static_cast<std::int64_t>(std::trunc(biased));
        const std::int32_t l = clamp(sat16(t), -2047, 2047);
        c[k] = static_cast<Opx16s>(l);
        count += l != 0;
    }
    return count;
}

}  // namespace

const QuantKernels kQuant = {inv_uniform, inv_matrix, fwd_uniform, fwd_matrix, fwd_float};

}  // namespace opx::mpeg4::ref
