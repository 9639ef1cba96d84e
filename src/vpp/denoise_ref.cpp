// Portable denoising rows, sample by sample from the rules.
#include "vpp/denoise.hpp"

namespace opx::vpp::ref {
namespace {

// Rows a, b, c are consecutive picture rows, so the box of column i is rows b − 1 .. b + 1.
void box_row(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* f, std::ptrdiff_t n) noexcept {
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        int sum = 0;
        for (std::ptrdiff_t d = -1; d <= 1; ++d) sum += a[i + d] + b[i + d] + c[i + d];
        f[i] = static_cast<Opx8u>(((sum + 5) * 7281) >> 16);
    }
}

void map_row(const Opx8u* f0, const Opx8u* f1, Opx8u* m, std::ptrdiff_t n,
             std::int32_t threshold) noexcept {
    for (std::ptrdiff_t i = 0; i < n; ++i) m[i] = map_sample(f0, f1, i, threshold);
}

void smooth_row(const Opx8u* const s[3], const Opx8u* const m[3], Opx8u* dst,
                std::ptrdiff_t n) noexcept {
    for (std::ptrdiff_t i = 0; i < n; ++i) dst[i] = smooth_sample(s, m, i);
}

void adaptive_row(const AdaptiveArgs& a, int y, int x0, int x1) noexcept {
    Opx8u* d = row_of(a.dst, y, a.dst_step);
    for (int x = x0; x < x1; ++x) d[x] = adaptive_sample(a, y, x);
}

}  // namespace

extern const DenoiseKernels kDenoise = {&box_row, &map_row, &smooth_row, &adaptive_row};

}  // namespace opx::vpp::ref
