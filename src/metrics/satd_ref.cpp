// Portable SATD and SAT8x8D kernels: the Hadamard transforms written as matrix products.
#include <cstdlib>

#include "metrics/satd.hpp"

namespace opx::metrics::ref {
namespace {

using portable::sample;

// Sylvester-ordered Hadamard matrix of order n (entries ±1): H[i][j] = (−1)^popcount(i AND j).
// Any row order gives the same sum of absolute coefficients.
constexpr int hadamard(int i, int j) {
    return (__builtin_popcount(i & j) & 1) ? -1 : 1;
}

// Σ |H_n · D · H_n| for the n×n difference block at (x0, y0); T is the sample type.
template <int Order, class T>
std::int64_t hadamard_abs_sum(const T* src, std::int32_t src_step, const T* ref,
                              std::int32_t ref_step, int x0, int y0) noexcept {
    std::int64_t d[Order][Order], t[Order][Order];
    for (int y = 0; y < Order; ++y)
        for (int x = 0; x < Order; ++x)
            d[y][x] = static_cast<std::int64_t>(sample(src, src_step, x0 + x, y0 + y)) -
                      sample(ref, ref_step, x0 + x, y0 + y);
    for (int i = 0; i < Order; ++i)  // t = H · D
        for (int x = 0; x < Order; ++x) {
            std::int64_t s = 0;
            for (int k = 0; k < Order; ++k) s += hadamard(i, k) * d[k][x];
            t[i][x] = s;
        }
    std::int64_t sum = 0;
    for (int i = 0; i < Order; ++i)  // (H · D) · H
        for (int j = 0; j < Order; ++j) {
            std::int64_t s = 0;
            for (int k = 0; k < Order; ++k) s += t[i][k] * hadamard(k, j);
            sum += s < 0 ? -s : s;
        }
    return sum;
}

// Sum over the 4×4 sub-blocks, unscaled (at most 16 × 255 × 16 = 65280 per sub-block).
template <int W, int H>
std::int32_t satd(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                  std::int32_t ref_step) noexcept {
    std::int64_t sum = 0;
    for (int y = 0; y < H; y += 4)
        for (int x = 0; x < W; x += 4)
            sum += hadamard_abs_sum<4>(src, src_step, ref, ref_step, x, y);
    return static_cast<std::int32_t>(sum);
}

// One 8×8 transform. For 16-bit samples the differences are exact (17-bit signed), the
// coefficients at most 64 × 65535 and their sum below 2^28: it fits the 32-bit result.
template <class T>
std::int32_t sat8x8d(const T* src, std::int32_t src_step, const T* ref,
                     std::int32_t ref_step) noexcept {
    return static_cast<std::int32_t>(hadamard_abs_sum<8>(src, src_step, ref, ref_step, 0, 0));
}

template <std::size_t... S>
constexpr SatdKernels make(std::index_sequence<S...>) {
    SatdKernels k{};
    ((k.satd[S] = &stored<&satd<kSatdSizes[S].width, kSatdSizes[S].height>, Opx8u>), ...);
    k.sat8x8d = &stored<&sat8x8d<Opx8u>, Opx8u>;
    k.sat8x8d_16u = &stored<&sat8x8d<Opx16u>, Opx16u>;
    return k;
}

}  // namespace

extern const SatdKernels kSatd = make(std::make_index_sequence<kNumSatdSizes>());

}  // namespace opx::metrics::ref
