// Portable MPEG-4 quarter-sample copies and OBMC, written sample by sample from the rules.
#include <cstring>

#include "mpeg4/qpel.hpp"

namespace opx::mpeg4::ref {
namespace {

inline int clip255(int v) noexcept {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Index i of a run of samples 0..n, taps beyond the ends mirrored (−1 → 0, n + 1 → n).
inline int mirror(int i, int n) noexcept {
    return i < 0 ? -1 - i : i > n ? 2 * n + 1 - i : i;
}

// Half-sample value between positions i and i + 1 of a run 0..n read through `at`.
template <class At>
inline int half(At at, int i, int n, int rc) noexcept {
    auto v = [&](int k) { return at(mirror(i + k, n)); };
    const int sum = 20 * (v(0) + v(1)) - 6 * (v(-1) + v(2)) + 3 * (v(-2) + v(3)) - (v(-3) + v(4));
    return clip255((sum + 16 - rc) >> 5);
}

// Value at quarter position d (0..3) between i and i + 1.
template <class At>
inline int quarter(At at, int i, int n, int d, int rc) noexcept {
    if (d == 0) return at(i);
    const int hv = half(at, i, n, rc);
    if (d == 2) return hv;
    const int other = d == 1 ? at(i) : at(i + 1);
    return (hv + other + 1 - rc) >> 1;
}

// Horizontal pass over h + 1 rows (h when there is no vertical offset), then the vertical pass on
// its output.
template <int W, int H>
void copy_qp(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int acc,
             int rc) noexcept {
    if (acc == 0) {
        for (int y = 0; y < H; ++y) std::memcpy(dst + y * ds, src + y * ss, W);
        return;
    }
    const int dx = acc & 3, dy = acc >> 2;
    int t[H + 1][W];
    for (int y = 0; y < (dy ? H + 1 : H); ++y) {
        const Opx8u* row = src + y * ss;
        auto at = [row](int i) { return static_cast<int>(row[i]); };
        for (int x = 0; x < W; ++x) t[y][x] = quarter(at, x, W, dx, rc);
    }
    for (int x = 0; x < W; ++x) {
        auto at = [&t, x](int i) { return t[i][x]; };
        for (int y = 0; y < H; ++y) dst[y * ds + x] = static_cast<Opx8u>(quarter(at, y, H, dy, rc));
    }
}

// Half-sample block prediction (acc bit 0 horizontal, bit 1 vertical), row step N.
template <int N>
void hp_block(const Opx8u* p, std::ptrdiff_t ss, Opx8u* out, int acc, int rc) noexcept {
    const int ox = acc & 1;
    const std::ptrdiff_t oy = (acc >> 1) ? ss : 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const Opx8u* r = p + y * ss + x;
            int v;
            if (acc == 3)
                v = (r[0] + r[1] + r[ss] + r[ss + 1] + 2 - rc) >> 2;
            else if (acc)
                v = (r[0] + r[ox + oy] + 1 - rc) >> 1;
            else
                v = r[0];
            out[y * N + x] = static_cast<Opx8u>(v);
        }
}

void qp8_block(const Opx8u* p, std::ptrdiff_t ss, Opx8u* out, int acc, int rc) noexcept {
    copy_qp<8, 8>(p, ss, out, 8, acc, rc);
}

template <int N>
void weight_blend(const Opx8u* q, const Opx8u* s, const Opx8u* t, Opx8u* dst,
                  std::ptrdiff_t ds) noexcept;

#include "mpeg4/obmc_body.inc"

template <int N>
void weight_blend(const Opx8u* q, const Opx8u* s, const Opx8u* t, Opx8u* dst,
                  std::ptrdiff_t ds) noexcept {
    constexpr int g = N / 8;  // each weight covers g x g samples
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const int w = (y / g) * 8 + x / g, i = y * N + x;
            const int v = (kObmcH0[w] * q[i] + kObmcH2[w] * s[i] + kObmcH1[w] * t[i] + 4) >> 3;
            dst[y * ds + x] = static_cast<Opx8u>(clip255(v));
        }
}

void copy8x8(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
             int r) noexcept {
    copy_qp<8, 8>(s, ss, d, ds, a, r);
}
void copy16x8(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
              int r) noexcept {
    copy_qp<16, 8>(s, ss, d, ds, a, r);
}
void copy16x16(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
               int r) noexcept {
    copy_qp<16, 16>(s, ss, d, ds, a, r);
}

}  // namespace

const QpelKernels kQpel = {
    {copy8x8, copy16x8, copy16x16}, obmc<8, false>, obmc<16, false>, obmc<8, true>};

}  // namespace opx::mpeg4::ref
