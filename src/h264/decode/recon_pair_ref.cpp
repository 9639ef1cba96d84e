// Portable 8×4 pairs of inter 4×4 blocks (8-bit flat), the inter 4×4 blocks of an 8-bit
// macroblock, a 4:2:2 or 4:2:0 chroma component of 8-bit samples, the 4×4 blocks of a
// 16-bit-sample macroblock or chroma component and the 8×8 blocks of a 16-bit-sample macroblock:
// the DC and per-block kernels in turn.
#include "h264/decode/recon.hpp"

namespace opx::h264::ref {

void add4x4_flat_pair(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, int qp) noexcept {
    kTransform.add4x4_flat(dst, coeffs, nullptr, dst, step, step, qp, true);
    kTransform.add4x4_flat(dst + 4, coeffs + 16, nullptr, dst + 4, step, step, qp, true);
}

namespace {

// The blocks of a chroma component in turn, block n at (4 (n & 1), 4 (n >> 1)) with DC value d[n].
Opx16s* chroma_blocks(int blocks, Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, const Opx16s* d,
                      std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept {
    const auto s = static_cast<Opx32s>(step);
    for (int n = 0; n < blocks; ++n) {
        Opx8u* blk = dst + 4 * (n >> 1) * step + 4 * (n & 1);
        const bool ac = coded & (1u << n);
        kTransform.add4x4_matrix(blk, s, ac ? coeffs : nullptr, &d[n], blk, s, qp, ac, level_scale);
        if (ac) coeffs += 16;
    }
    return coeffs;
}

}  // namespace

Opx16s* add_chroma422(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale, int ls_dc) noexcept {
    static constexpr Opx16s kNoDc[8] = {};
    if (dc) kTransform.chroma_dc2x4_matrix(dc, qp, ls_dc);
    return chroma_blocks(8, dst, step, coeffs, dc ? dc : kNoDc, coded, qp, level_scale);
}

Opx16s* add_luma_inter4x4(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, std::uint32_t coded,
                          int qp, const Opx16s* level_scale) noexcept {
    const auto s = static_cast<Opx32s>(step);
    for (; coded; coded &= coded - 1) {
        const int n = __builtin_ctz(coded);
        Opx8u* blk = dst + luma4x4_y(n) * step + luma4x4_x(n);
        kTransform.add4x4_matrix(blk, s, coeffs, nullptr, blk, s, qp, true, level_scale);
        coeffs += 16;
    }
    return coeffs;
}

Opx16s* add_chroma420(Opx8u* dst, std::ptrdiff_t step, Opx16s* coeffs, Opx16s* dc,
                      std::uint32_t coded, int qp, const Opx16s* level_scale) noexcept {
    static constexpr Opx16s kNoDc[4] = {};
    if (dc) kTransform.chroma_dc2x2_matrix(dc, qp, level_scale[0]);
    return chroma_blocks(4, dst, step, coeffs, dc ? dc : kNoDc, coded, qp, level_scale);
}

Opx32s* add4x4_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, const Opx32s* dc,
                           std::uint32_t coded, int pairs, bool luma, int qp, int max_sample,
                           const Opx16s* level_scale) noexcept {
    const auto s = static_cast<std::int32_t>(step * 2);
    for (int n = 0; n < 2 * pairs; ++n) {
        const int x = luma ? luma4x4_x(n) : 4 * (n & 1), y = luma ? luma4x4_y(n) : 4 * (n >> 1);
        Opx16u* blk = dst + y * step + x;
        const Opx32s* d = !dc ? nullptr : luma ? &dc[4 * (y >> 2) + (x >> 2)] : &dc[n];
        if (coded & (1u << n)) {
            kTransform.add4x4_matrix_high(blk, s, coeffs, d, blk, s, qp, true, max_sample,
                                          level_scale);
            coeffs += 16;
        } else if (d) {
            kTransform.add4x4_matrix_high(blk, s, nullptr, d, blk, s, qp, false, max_sample,
                                          level_scale);
        }
    }
    return coeffs;
}

Opx32s* add8x8_blocks_high(Opx16u* dst, std::ptrdiff_t step, Opx32s* coeffs, std::uint32_t coded,
                           int qp, int max_sample, const Opx16s* level_scale) noexcept {
    const auto s = static_cast<std::int32_t>(step * 2);
    for (int n = 0; n < 4; ++n) {
        if (!(coded & (1u << n))) continue;
        Opx16u* blk = dst + 8 * (n >> 1) * step + 8 * (n & 1);
        kTransform.dequant8x8_high(coeffs, qp / 6, level_scale);
        kTransform.add8x8_high(blk, s, coeffs, blk, s, max_sample);
        coeffs += 64;
    }
    return coeffs;
}

}  // namespace opx::h264::ref
