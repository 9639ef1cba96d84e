// Portable H.263 and H.261 loop filters, written sample by sample from the rules. One body per
// filter serves both edge directions: `along` steps to the next position on the edge, `across`
// from one side of the edge to the other.
#include <cstdlib>

#include "mpeg4/filter.hpp"

namespace opx::mpeg4::ref {
namespace {

inline int clip255(int v) noexcept {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}
inline int sign(int v) noexcept {
    return (v > 0) - (v < 0);
}

// H.263 Annex J: up-down ramp of strength s (kNoRamp: none), then the outer correction.
void deblock_body(Opx8u* p, std::ptrdiff_t along, std::ptrdiff_t across, int n, int s) noexcept {
    for (int i = 0; i < n; ++i, p += along) {
        const int p1 = p[-2 * across], p0 = p[-across], q0 = p[0], q1 = p[across];
        const int d = (p1 - 4 * p0 + 4 * q0 - q1) / 8;
        const int ad = std::abs(d);
        int m = 2 * (ad - s);
        if (m < 0) m = 0;
        int r = ad - m;
        if (r < 0) r = 0;
        const int d1 = sign(d) * r;
        const int lim = r >> 1;
        int d2 = (p1 - q1) / 4;
        d2 = d2 < -lim ? -lim : d2 > lim ? lim : d2;
        p[-2 * across] = static_cast<Opx8u>(clip255(p1 - d2));
        p[-across] = static_cast<Opx8u>(clip255(p0 + d1));
        p[0] = static_cast<Opx8u>(clip255(q0 - d1));
        p[across] = static_cast<Opx8u>(clip255(q1 + d2));
    }
}

void boundary_body(Opx8u* p, std::ptrdiff_t along, std::ptrdiff_t across) noexcept {
    for (int i = 0; i < 16; ++i, p += along) {
        const int p0 = p[-across], q0 = p[0];
        p[-across] = static_cast<Opx8u>((3 * p0 + q0 + 2) >> 2);
        p[0] = static_cast<Opx8u>((p0 + 3 * q0 + 2) >> 2);
    }
}

void deblock_hor(Opx8u* p, std::ptrdiff_t step, int n, int s) noexcept {
    deblock_body(p, 1, step, n, s);
}
void deblock_ver(Opx8u* p, std::ptrdiff_t step, int n, int s) noexcept {
    deblock_body(p, step, 1, n, s);
}
void boundary_hor(Opx8u* p, std::ptrdiff_t step) noexcept {
    boundary_body(p, 1, step);
}
void boundary_ver(Opx8u* p, std::ptrdiff_t step) noexcept {
    boundary_body(p, step, 1);
}

// Separable 1/4, 1/2, 1/4 inside the block, nothing across its border; the whole result is formed
// before anything is written, so the block may be filtered in place.
void h261(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds) noexcept {
    int h[8][8];
    for (int y = 0; y < 8; ++y) {
        const Opx8u* r = src + y * ss;
        h[y][0] = 4 * r[0];
        h[y][7] = 4 * r[7];
        for (int x = 1; x < 7; ++x) h[y][x] = r[x - 1] + 2 * r[x] + r[x + 1];
    }
    Opx8u out[8][8];
    for (int x = 0; x < 8; ++x) {
        out[0][x] = static_cast<Opx8u>((h[0][x] + 2) >> 2);
        out[7][x] = static_cast<Opx8u>((h[7][x] + 2) >> 2);
        for (int y = 1; y < 7; ++y)
            out[y][x] = static_cast<Opx8u>((h[y - 1][x] + 2 * h[y][x] + h[y + 1][x] + 8) >> 4);
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) dst[y * ds + x] = out[y][x];
}

}  // namespace

const FilterKernels kFilter = {deblock_hor, deblock_ver, boundary_hor, boundary_ver, h261};

}  // namespace opx::mpeg4::ref
