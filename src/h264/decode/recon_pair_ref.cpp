// Portable 8×4 pairs of inter 4×4 blocks (8-bit flat, 16-bit matrix): the per-block kernel twice.
#include "h264/decode/recon.hpp"

namespace opx::h264::ref {

void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept {
    kTransform.add4x4_flat(dst, coeffs, nullptr, dst, step, step, qp, true);
    kTransform.add4x4_flat(dst + 4, coeffs + 16, nullptr, dst + 4, step, step, qp, true);
}

void add4x4_matrix_pair_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                             int qp, int max_sample, const Opx16s* level_scale) noexcept {
    const auto s = static_cast<std::int32_t>(step * 2);
    kTransform.add4x4_matrix_high(dst, s, coeffs, dc, dst, s, qp, true, max_sample, level_scale);
    kTransform.add4x4_matrix_high(dst + 4, s, coeffs + 16, dc ? dc + 1 : nullptr, dst + 4, s, qp,
                                  true, max_sample, level_scale);
}

}  // namespace opx::h264::ref
