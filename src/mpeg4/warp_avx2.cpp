// AVX2 sprite warping for one to three points. Each coordinate of the map over the block is
// linear before its shift, N(i, j) = c + di·i + dj·j, and is kept in eight 32-bit lanes, stepped
// per sample and per row; the sprite origin is folded into c so the shift gives the position
// relative to the plane. The block is vectorised only when N stays inside 32 bits at its four
// corners (the extremes of a linear map) and every tap offset fits; otherwise, and for zero and
// four points, the portable kernel serves. The four taps are clamped one by one; each row's two
// taps come from one 32-bit gather at min(x0, width - 4) within the row (never outside the
// plane), the bytes then shifted out.
#include <immintrin.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "mpeg4/warp.hpp"

namespace opx::mpeg4::avx2 {
namespace {

struct Axis {
    std::int64_t c, di, dj;  // N at the block's first sample and its steps
    int sh;                  // position = asr(N, sh) & mask, in 1/16 sample
    std::int32_t mask;
};

// The two axes of the map for the block at (x, y); false when the record is not linear.
bool axes(const WarpRecord& r, bool chroma, int x, int y, Axis* ax, Axis* ay) noexcept {
    const std::int64_t ox = 16 * static_cast<std::int64_t>(chroma ? r.cx : r.sx);
    const std::int64_t oy = 16 * static_cast<std::int64_t>(chroma ? r.cy : r.sy);
    const std::int64_t X = x, Y = y;
    const int a = r.accuracy, rho = 3 - a;
    if (r.points == 1) {
        const std::int64_t vx = chroma ? r.vx / 2 : r.vx, vy = chroma ? r.vy / 2 : r.vy;
        *ax = {(chroma ? r.ci0 : r.i0) + 16 * (X - vx) - ox, 16, 0, 0, -1};
        *ay = {(chroma ? r.cj0 : r.j0) + 16 * (Y - vy) - oy, 0, 16, 0, -1};
        return true;
    }
    if (r.points != 2 && r.points != 3) return false;
    const int e = r.e;
    if (e > 24) return false;
    const std::int32_t mask = static_cast<std::int32_t>(~((1u << rho) - 1));
    if (!chroma) {
        const std::int64_t rnd = e + 2 - a >= 0 ? std::int64_t{1} << (e + 2 - a) : 0;
        const std::int64_t bx = r.i0 * (std::int64_t{1} << e) + rnd - ox * (std::int64_t{1} << e);
        const std::int64_t by = r.j0 * (std::int64_t{1} << e) + rnd - oy * (std::int64_t{1} << e);
        *ax = {bx + r.fx * (X - r.vx) + r.fy * (Y - r.vy), r.fx, r.fy, e, mask};
        *ay = {by + r.gx * (X - r.vx) + r.gy * (Y - r.vy), r.gx, r.gy, e, mask};
        return true;
    }
    // asr(N, e + rho + 2) << rho equals asr(N, e + 2) & mask; the origin (a multiple of 16)
    // passes through the mask.
    const std::int64_t Xc = 4 * X - 2 * static_cast<std::int64_t>(r.vx) + 1;
    const std::int64_t Yc = 4 * Y - 2 * static_cast<std::int64_t>(r.vy) + 1;
    const std::int64_t k = -(std::int64_t{1} << (e + 4)) + (std::int64_t{1} << (e + rho + 1));
    const std::int64_t s = std::int64_t{1} << (e + 2);
    *ax = {r.fx * Xc + r.fy * Yc + r.i0 * (std::int64_t{2} << e) + k - ox * s, 4 * r.fx, 4 * r.fy,
           e + 2, mask};
    *ay = {r.gx * Xc + r.gy * Yc + r.j0 * (std::int64_t{2} << e) + k - oy * s, 4 * r.gx, 4 * r.gy,
           e + 2, mask};
    return true;
}

bool fits32(const Axis& a, int w8, int h) noexcept {
    constexpr std::int64_t lim = std::int64_t{1} << 30;
    if (a.di > lim || a.di < -lim || a.dj > lim || a.dj < -lim) return false;
    for (int cj : {0, h - 1})
        for (int ci : {0, w8 - 1}) {
            const std::int64_t n = a.c + a.di * ci + a.dj * cj;
            if (n >= lim || n <= -lim) return false;
        }
    return true;
}

// Extremes over the block's lanes of the integer sample coordinate (a monotone function of N,
// so taken at the corners).
void sample_range(const Axis& a, int w8, int h, std::int64_t* lo, std::int64_t* hi) noexcept {
    *lo = INT64_MAX;
    *hi = INT64_MIN;
    for (int cj : {0, h - 1})
        for (int ci : {0, w8 - 1}) {
            const std::int64_t n = a.c + a.di * ci + a.dj * cj;
            const std::int64_t v = asr(asr(n, a.sh) & a.mask, 4);
            *lo = v < *lo ? v : *lo;
            *hi = v > *hi ? v : *hi;
        }
}

// The bytes at x0 and x1 (x1 - x0 in 0..1, both within the row) of the row at byte offset `row`,
// from the dword at xb = min(x0, width - 4), which lies inside the row.
inline void taps(const Opx8u* src, __m256i row, __m256i x0, __m256i x1, __m256i xb, __m256i ff,
                 __m256i* a, __m256i* b) noexcept {
    const __m256i dw =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), _mm256_add_epi32(row, xb), 1);
    *a = _mm256_and_si256(_mm256_srlv_epi32(dw, _mm256_slli_epi32(_mm256_sub_epi32(x0, xb), 3)),
                          ff);
    *b = _mm256_and_si256(_mm256_srlv_epi32(dw, _mm256_slli_epi32(_mm256_sub_epi32(x1, xb), 3)),
                          ff);
}

void warp(const WarpRecord& r, bool chroma, const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst,
          std::ptrdiff_t ds, int x, int y, int w, int h) noexcept {
    const int pw = chroma ? r.cw : r.sw, ph = chroma ? r.ch : r.sh;
    const int w8 = (w + 7) & ~7;
    Axis ax, ay;
    const std::int64_t span = static_cast<std::int64_t>(ph) * (ss < 0 ? -ss : ss) + pw + 4;
    if (!axes(r, chroma, x, y, &ax, &ay) || !fits32(ax, w8, h) || !fits32(ay, w8, h) ||
        span >= (std::int64_t{1} << 31) || pw < 4) {
        ref::kWarp.warp(r, chroma, src, ss, dst, ds, x, y, w, h);
        return;
    }
    std::int64_t x_lo, x_hi, y_lo, y_hi;
    sample_range(ax, w8, h, &x_lo, &x_hi);
    sample_range(ay, w8, h, &y_lo, &y_hi);
    // every tap inside the plane and three samples to the right of the left one: no clamping,
    // and one unaligned dword per row holds both horizontal taps
    const bool inside = x_lo >= 0 && x_hi + 3 <= pw - 1 && y_lo >= 0 && y_hi + 1 <= ph - 1;
    const __m256i ff = _mm256_set1_epi32(255), xlast4 = _mm256_set1_epi32(pw - 4);
    const __m256i fifteen = _mm256_set1_epi32(15), one = _mm256_set1_epi32(1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i xmax = _mm256_set1_epi32(pw - 1), ymax = _mm256_set1_epi32(ph - 1);
    const __m256i vss = _mm256_set1_epi32(static_cast<int>(ss));
    const __m256i kk = _mm256_set1_epi32(r.k);
    const __m256i mx = _mm256_set1_epi32(ax.mask), my = _mm256_set1_epi32(ay.mask);
    const __m128i shx = _mm_cvtsi32_si128(ax.sh), shy = _mm_cvtsi32_si128(ay.sh);
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i lx = _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(ax.di)));
    const __m256i ly = _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int>(ay.di)));
    const __m256i stx = _mm256_set1_epi32(static_cast<int>(8 * ax.di));
    const __m256i sty = _mm256_set1_epi32(static_cast<int>(8 * ay.di));
    for (int j = 0; j < h; ++j) {
        __m256i nx = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(ax.c + ax.dj * j)), lx);
        __m256i ny = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(ay.c + ay.dj * j)), ly);
        Opx8u* d = dst + j * ds;
        for (int i = 0; i < w; i += 8) {
            const __m256i F = _mm256_and_si256(_mm256_sra_epi32(nx, shx), mx);
            const __m256i G = _mm256_and_si256(_mm256_sra_epi32(ny, shy), my);
            nx = _mm256_add_epi32(nx, stx);
            ny = _mm256_add_epi32(ny, sty);
            const __m256i ix = _mm256_srai_epi32(F, 4), iy = _mm256_srai_epi32(G, 4);
            const __m256i fx = _mm256_and_si256(F, fifteen), fy = _mm256_and_si256(G, fifteen);
            __m256i A, B, C, D;
            if (inside) {
                const __m256i o0 = _mm256_add_epi32(_mm256_mullo_epi32(iy, vss), ix);
                const __m256i r0 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), o0, 1);
                const __m256i r1 =
                    _mm256_i32gather_epi32(reinterpret_cast<const int*>(src + ss), o0, 1);
                A = _mm256_and_si256(r0, ff);
                B = _mm256_and_si256(_mm256_srli_epi32(r0, 8), ff);
                C = _mm256_and_si256(r1, ff);
                D = _mm256_and_si256(_mm256_srli_epi32(r1, 8), ff);
            } else {
                const __m256i x0 = _mm256_min_epi32(_mm256_max_epi32(ix, zero), xmax);
                const __m256i x1 =
                    _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(ix, one), zero), xmax);
                const __m256i y0 =
                    _mm256_mullo_epi32(_mm256_min_epi32(_mm256_max_epi32(iy, zero), ymax), vss);
                const __m256i y1 = _mm256_mullo_epi32(
                    _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(iy, one), zero), ymax), vss);
                const __m256i xb = _mm256_min_epi32(x0, xlast4);
                taps(src, y0, x0, x1, xb, ff, &A, &B);
                taps(src, y1, x0, x1, xb, ff, &C, &D);
            }
            const __m256i u = _mm256_add_epi32(_mm256_slli_epi32(A, 4),
                                               _mm256_mullo_epi32(fx, _mm256_sub_epi32(B, A)));
            const __m256i v = _mm256_add_epi32(_mm256_slli_epi32(C, 4),
                                               _mm256_mullo_epi32(fx, _mm256_sub_epi32(D, C)));
            const __m256i o =
                _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(u, 4), kk),
                                                   _mm256_mullo_epi32(fy, _mm256_sub_epi32(v, u))),
                                  8);
            const __m128i p16 =
                _mm_packus_epi32(_mm256_castsi256_si128(o), _mm256_extracti128_si256(o, 1));
            const __m128i p8 = _mm_packus_epi16(p16, p16);
            if (w - i >= 8) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), p8);
            } else {
                alignas(16) Opx8u t[16];
                _mm_store_si128(reinterpret_cast<__m128i*>(t), p8);
                std::memcpy(d + i, t, static_cast<std::size_t>(w - i));
            }
        }
    }
}

void brightness(Opx8u* p, std::ptrdiff_t step, int w, int h, int f) noexcept {
    ref::kWarp.brightness(p, step, w, h, f);
}

}  // namespace

const WarpKernels kWarp = {warp, brightness};

}  // namespace opx::mpeg4::avx2
