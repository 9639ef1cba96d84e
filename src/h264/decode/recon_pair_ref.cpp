// Portable 8×4 pair of inter 4×4 blocks: the per-block kernel twice.
#include "h264/decode/recon.hpp"

namespace opx::h264::ref {

void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept {
    kTransform.add4x4_flat(dst, coeffs, nullptr, dst, step, step, qp, true);
    kTransform.add4x4_flat(dst + 4, coeffs + 16, nullptr, dst + 4, step, step, qp, true);
}

}  // namespace opx::h264::ref
