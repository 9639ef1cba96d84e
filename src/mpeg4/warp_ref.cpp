// Portable sprite warping and brightness change, sample by sample from the rules.
#include "mpeg4/warp.hpp"

namespace opx::mpeg4::ref {
namespace {

inline int clampi(std::int64_t v, int lo, int hi) noexcept {
    return static_cast<int>(v < lo ? lo : v > hi ? hi : v);
}

// Rounded division of 128-bit numerator by a non-zero denominator, halves away from zero.
std::int64_t div_round(__int128 n, __int128 d) noexcept {
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const __int128 q = n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
    return static_cast<std::int64_t>(q);
}

// Four-point (perspective) position in 1/s sample of the plane, absolute coordinates. Luminance
// sample (i, j) at offset X = i − x, Y = j − y from the VOP corner; a chrominance sample stands at
// luminance (2i + 1/2, 2j + 1/2) and its position is the luminance one halved, less 1/4 sample.
void perspective(const WarpRecord& r, bool chroma, std::int64_t i, std::int64_t j, std::int64_t* f,
                 std::int64_t* g) noexcept {
    const __int128 i0 = r.corner[0], j0 = r.corner[1], i1 = r.corner[2], j1 = r.corner[3];
    const __int128 i2 = r.corner[4], j2 = r.corner[5], i3 = r.corner[6], j3 = r.corner[7];
    const __int128 W = r.vw, H = r.vh;
    const __int128 gg = ((i0 - i1 - i2 + i3) * (j2 - j3) - (i2 - i3) * (j0 - j1 - j2 + j3)) * H;
    const __int128 hh = ((i1 - i3) * (j0 - j1 - j2 + j3) - (i0 - i1 - i2 + i3) * (j1 - j3)) * W;
    const __int128 D = (i1 - i3) * (j2 - j3) - (i2 - i3) * (j1 - j3);
    const __int128 a = D * (i1 - i0) * H + gg * i1, b = D * (i2 - i0) * W + hh * i2;
    const __int128 c = D * i0 * W * H;
    const __int128 d = D * (j1 - j0) * H + gg * j1, e = D * (j2 - j0) * W + hh * j2;
    const __int128 ff = D * j0 * W * H;
    const int s = 2 << r.accuracy;
    if (!chroma) {
        const __int128 X = i - r.vx, Y = j - r.vy;
        const __int128 den = gg * X + hh * Y + D * W * H;
        if (den == 0) {
            *f = static_cast<std::int64_t>(i0);
            *g = static_cast<std::int64_t>(j0);
            return;
        }
        *f = div_round(a * X + b * Y + c, den);
        *g = div_round(d * X + e * Y + ff, den);
        return;
    }
    const __int128 X = 4 * static_cast<__int128>(i) + 1 - 2 * static_cast<__int128>(r.vx);
    const __int128 Y = 4 * static_cast<__int128>(j) + 1 - 2 * static_cast<__int128>(r.vy);
    const __int128 den = gg * X + hh * Y + 2 * D * W * H;
    if (den == 0) {
        *f = static_cast<std::int64_t>(i0 / 2);
        *g = static_cast<std::int64_t>(j0 / 2);
        return;
    }
    *f = div_round(2 * (a * X + b * Y + 2 * c) - s * den, 4 * den);
    *g = div_round(2 * (d * X + e * Y + 2 * ff) - s * den, 4 * den);
}

// Bilinear interpolation at (F, G) in 1/16 sample, each tap's coordinate clamped on its own.
inline Opx8u sample_at(const Opx8u* src, std::ptrdiff_t ss, int w, int h, std::int64_t F,
                       std::int64_t G, int k) noexcept {
    const std::int64_t ix = asr(F, 4), iy = asr(G, 4);
    const int fx = static_cast<int>(F & 15), fy = static_cast<int>(G & 15);
    const int x0 = clampi(ix, 0, w - 1), x1 = clampi(ix + 1, 0, w - 1);
    const int y0 = clampi(iy, 0, h - 1), y1 = clampi(iy + 1, 0, h - 1);
    const int A = src[y0 * ss + x0], B = src[y0 * ss + x1];
    const int C = src[y1 * ss + x0], D = src[y1 * ss + x1];
    const int u = 16 * A + fx * (B - A), v = 16 * C + fx * (D - C);
    return static_cast<Opx8u>((16 * u + k + fy * (v - u)) >> 8);
}

void warp(const WarpRecord& r, bool chroma, const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst,
          std::ptrdiff_t ds, int x, int y, int w, int h) noexcept {
    const int pw = chroma ? r.cw : r.sw, ph = chroma ? r.ch : r.sh;
    const int ox = chroma ? r.cx : r.sx, oy = chroma ? r.cy : r.sy;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Opx8u v;
            if (r.points == 0) {
                v = src[clampi(static_cast<std::int64_t>(y) + j - oy, 0, ph - 1) * ss +
                        clampi(static_cast<std::int64_t>(x) + i - ox, 0, pw - 1)];
            } else {
                std::int64_t F, G;
                warp_position(r, chroma, static_cast<std::int64_t>(x) + i,
                              static_cast<std::int64_t>(y) + j, &F, &G);
                v = sample_at(src, ss, pw, ph, F, G, r.k);
            }
            dst[j * ds + i] = v;
        }
}

void brightness(Opx8u* p, std::ptrdiff_t step, int w, int h, int f) noexcept {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int v = (p[j * step + i] * f + 520) >> 10;
            p[j * step + i] = static_cast<Opx8u>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
}

}  // namespace

void warp_position(const WarpRecord& r, bool chroma, std::int64_t i, std::int64_t j,
                   std::int64_t* f, std::int64_t* g) noexcept {
    const int a = r.accuracy, rho = 3 - a;
    const std::int64_t ox = 16 * static_cast<std::int64_t>(chroma ? r.cx : r.sx);
    const std::int64_t oy = 16 * static_cast<std::int64_t>(chroma ? r.cy : r.sy);
    std::int64_t F = 0, G = 0;
    if (r.points == 1) {
        if (!chroma) {
            F = r.i0 + 16 * (i - r.vx);
            G = r.j0 + 16 * (j - r.vy);
        } else {
            F = r.ci0 + 16 * (i - r.vx / 2);
            G = r.cj0 + 16 * (j - r.vy / 2);
        }
    } else if (r.points == 4) {
        perspective(r, chroma, i, j, &F, &G);
        F *= std::int64_t{1} << rho;
        G *= std::int64_t{1} << rho;
    } else if (!chroma) {
        const int e = r.e;
        const std::int64_t rnd = e + 2 - a >= 0 ? std::int64_t{1} << (e + 2 - a) : 0;
        const std::int64_t mask = ~((std::int64_t{1} << rho) - 1);
        F = asr(r.i0 * (std::int64_t{1} << e) + r.fx * (i - r.vx) + r.fy * (j - r.vy) + rnd, e) &
            mask;
        G = asr(r.j0 * (std::int64_t{1} << e) + r.gx * (i - r.vx) + r.gy * (j - r.vy) + rnd, e) &
            mask;
    } else {
        // ISO/IEC 14496-2 chrominance map: sample (i, j) stands at luminance (2i + 1/2, 2j + 1/2).
        const int e = r.e;
        const std::int64_t X = 4 * i - 2 * static_cast<std::int64_t>(r.vx) + 1;
        const std::int64_t Y = 4 * j - 2 * static_cast<std::int64_t>(r.vy) + 1;
        const std::int64_t base = std::int64_t{1} << (e + 4);
        const std::int64_t rnd = std::int64_t{1} << (e + rho + 1);
        F = asr(r.fx * X + r.fy * Y + r.i0 * (std::int64_t{2} << e) - base + rnd, e + rho + 2) *
            (std::int64_t{1} << rho);
        G = asr(r.gx * X + r.gy * Y + r.j0 * (std::int64_t{2} << e) - base + rnd, e + rho + 2) *
            (std::int64_t{1} << rho);
    }
    *f = F - ox;
    *g = G - oy;
}

const WarpKernels kWarp = {warp, brightness};

}  // namespace opx::mpeg4::ref
