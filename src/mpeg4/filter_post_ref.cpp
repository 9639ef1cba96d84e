// Portable MPEG-4 deblocking and deringing post-filters, sample by sample from the rules. One
// deblocking body serves both edge directions (`along` and `across` swapped).
#include <cstdlib>

#include "mpeg4/filter_post.hpp"

namespace opx::mpeg4::ref {
namespace {

// Division by 8 rounding to the nearest, halves away from zero.
inline int div8(int x) noexcept {
    return (x + 4 - (x < 0)) >> 3;
}

void deblock_body(Opx8u* p, std::ptrdiff_t along, std::ptrdiff_t across, int qp, int thr1,
                  int thr2) noexcept {
    for (int i = 0; i < 8; ++i, p += along) {
        int v[10];
        for (int k = 0; k < 10; ++k) v[k] = p[(k - 5) * across];
        int eq = 0;
        for (int k = 0; k < 9; ++k) eq += std::abs(v[k] - v[k + 1]) <= thr1;
        if (eq < thr2) {
            const int a30 = div8(2 * v[3] - 5 * v[4] + 5 * v[5] - 2 * v[6]);
            const int a31 = div8(2 * v[1] - 5 * v[2] + 5 * v[3] - 2 * v[4]);
            const int a32 = div8(2 * v[5] - 5 * v[6] + 5 * v[7] - 2 * v[8]);
            int m = std::abs(a30);
            if (std::abs(a31) < m) m = std::abs(a31);
            if (std::abs(a32) < m) m = std::abs(a32);
            const int a30n = a30 > 0 ? m : a30 < 0 ? -m : 0;
            if (std::abs(a30) < qp && a30n != a30) {
                int d = div8(5 * (a30n - a30));
                const int lim = (v[4] - v[5]) / 2;  // truncating towards zero
                if (lim >= 0)
                    d = d < 0 ? 0 : d > lim ? lim : d;
                else
                    d = d > 0 ? 0 : d < lim ? lim : d;
                p[-across] = static_cast<Opx8u>(v[4] - d);
                p[0] = static_cast<Opx8u>(v[5] + d);
            }
        } else {
            dc_offset_segment(v, qp);
            for (int k = 1; k <= 8; ++k) p[(k - 5) * across] = static_cast<Opx8u>(v[k]);
        }
    }
}

void deblock_hor(Opx8u* p, std::ptrdiff_t step, int qp, int t1, int t2) noexcept {
    deblock_body(p, 1, step, qp, t1, t2);
}
void deblock_ver(Opx8u* p, std::ptrdiff_t step, int qp, int t1, int t2) noexcept {
    deblock_body(p, step, 1, qp, t1, t2);
}

void block_range(const Opx8u* b, std::ptrdiff_t s, int& thr, int& range) noexcept {
    int mx = 0, mn = 255;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int v = b[y * s + x];
            mx = v > mx ? v : mx;
            mn = v < mn ? v : mn;
        }
    thr = (mx + mn + 1) >> 1;
    range = mx - mn;
}

void dering_threshold(const Opx8u* y, std::ptrdiff_t ys, const Opx8u* cb, std::ptrdiff_t cbs,
                      const Opx8u* cr, std::ptrdiff_t crs, Opx32s* thr) noexcept {
    int t[6], r[6];
    for (int k = 0; k < 4; ++k) block_range(y + (k >> 1) * 8 * ys + (k & 1) * 8, ys, t[k], r[k]);
    block_range(cb, cbs, t[4], r[4]);
    block_range(cr, crs, t[5], r[5]);
    int best = 0;
    for (int k = 1; k < 4; ++k)
        if (r[k] > r[best]) best = k;
    const int big = r[best];
    const int tbest = t[best];
    for (int k = 0; k < 4; ++k) {
        if (big < 16)
            t[k] = 0;
        else if (big >= 64 && r[k] < 32)
            t[k] = tbest;
    }
    for (int k = 0; k < 6; ++k) thr[k] = t[k];
}

// The result is formed in a local block before anything is written (in place is allowed).
void dering_smooth(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int qp,
                   int threshold) noexcept {
    Opx8u out[8][8];
    if (qp == 1) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) out[y][x] = src[y * ss + x];
    } else {
        bool b[10][10];
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) b[y][x] = src[(y - 1) * ss + x - 1] < threshold;
        const int lim = qp >> 1;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int p = src[y * ss + x];
                bool same = true;
                for (int dy = 0; dy < 3; ++dy)
                    for (int dx = 0; dx < 3; ++dx)
                        same = same && b[y + dy][x + dx] == b[y + 1][x + 1];
                if (!same) {
                    out[y][x] = static_cast<Opx8u>(p);
                    continue;
                }
                int s = 8;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        s += (dx ? 1 : 2) * (dy ? 1 : 2) * src[(y + dy) * ss + x + dx];
                int f = s >> 4;
                f = f < p - lim ? p - lim : f > p + lim ? p + lim : f;
                out[y][x] = static_cast<Opx8u>(f);
            }
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) dst[y * ds + x] = out[y][x];
}

}  // namespace

const PostFilterKernels kPostFilter = {deblock_hor, deblock_ver, dering_threshold, dering_smooth};

}  // namespace opx::mpeg4::ref
