// Portable deinterlacing rows, sample by sample from the rules.
#include "vpp/deinterlace.hpp"

namespace opx::vpp::ref {
namespace {

void edge_row(const Opx8u* u, const Opx8u* d, const Opx8u* own, Opx8u* dst,
              std::ptrdiff_t width) noexcept {
    for (std::ptrdiff_t x = 1; x < width - 1; ++x) dst[x] = edge_sample(u, d, x);
    dst[0] = own[0];
    dst[width - 1] = own[width - 1];
}

void median_row(const Opx8u* u, const Opx8u* s, const Opx8u* d, Opx8u* dst, std::ptrdiff_t width,
                std::int32_t threshold) noexcept {
    for (std::ptrdiff_t x = 0; x < width; ++x) dst[x] = median_sample(u[x], s[x], d[x], threshold);
}

void triangle_row(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* dst, std::ptrdiff_t width,
                  int w, int e) noexcept {
    for (std::ptrdiff_t x = 0; x < width; ++x) dst[x] = triangle_sample(a[x], b[x], c[x], w, e);
}

}  // namespace

extern const DeinterlaceKernels kDeinterlace = {&edge_row, &median_row, &triangle_row};

}  // namespace opx::vpp::ref
