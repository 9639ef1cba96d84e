// AVX2 deinterlacing rows: 32 samples per step in byte vectors (16 for rows of 16..31 samples).
// Averages are pavgb, (a + b + 1) >> 1 exactly; comparisons of unsigned bytes go through
// max/min and equality, so no sample needs widening except in the triangle filter.
#include "vpp/deinterlace.hpp"
#include "vpp/simd_avx2.hpp"

namespace opx::vpp::avx2 {
namespace {

void edge_row(const Opx8u* u, const Opx8u* d, const Opx8u* own, Opx8u* dst,
              std::ptrdiff_t width) noexcept {
    // Columns 1 .. width − 2; each span reads one column on either side of itself.
    walk_columns(
        1, width - 1,
        [&](auto tag, std::ptrdiff_t x) {
            const auto ul = ld(tag, u + x - 1), uc = ld(tag, u + x), ur = ld(tag, u + x + 1);
            const auto dl = ld(tag, d + x - 1), dc = ld(tag, d + x), dr = ld(tag, d + x + 1);
            const auto d1 = absdiff8(ul, dr), d2 = absdiff8(ur, dl), d0 = absdiff8(uc, dc);
            // The diagonal of least difference, the second on a tie (d1 ≥ d2) ...
            const auto second = ge8(d1, d2);
            const auto diag = blend8(avg8(ul, dr), avg8(ur, dl), second);
            // ... taken only when strictly below the vertical difference.
            const auto vertical = ge8(min8(d1, d2), d0);
            st(dst + x, blend8(diag, avg8(uc, dc), vertical));
        },
        [&](std::ptrdiff_t x) { dst[x] = edge_sample(u, d, x); });
    dst[0] = own[0];
    dst[width - 1] = own[width - 1];
}

// In place (dst == s) the overlapping last span rereads rebuilt samples; a rebuilt sample m lies
// between u and d, so median(u, m, d) = m and it rebuilds to itself.
void median_row(const Opx8u* u, const Opx8u* s, const Opx8u* d, Opx8u* dst, std::ptrdiff_t width,
                std::int32_t threshold) noexcept {
    const int t_minus_1 = threshold_minus_1(threshold), allow = threshold_allow(threshold);
    walk_columns(
        0, width,
        [&](auto tag, std::ptrdiff_t x) {
            const auto vu = ld(tag, u + x), vs = ld(tag, s + x), vd = ld(tag, d + x);
            const auto m = min8(max8(min8(vu, vs), vd), max8(vu, vs));
            const auto keep =
                below_threshold(m, vs, set1_8(tag, t_minus_1), set1_8(tag, allow));
            st(dst + x, blend8(m, vs, keep));
        },
        [&](std::ptrdiff_t x) { dst[x] = median_sample(u[x], s[x], d[x], threshold); });
}

// ((a + c)·e + b·w) >> 8 in 16-bit lanes: at most 255·(2e + w) ≤ 255·256 = 65280, so the
// low-half product is exact.
template <class V>
OPX_INLINE V triangle_half(V a, V b, V c, V w, V e) noexcept {
    return srli16_8(add16(mullo16(add16(a, c), e), mullo16(b, w)));
}

void triangle_row(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* dst, std::ptrdiff_t width,
                  int w, int e) noexcept {
    walk_columns(
        0, width,
        [&](auto tag, std::ptrdiff_t x) {
            const auto va = ld(tag, a + x), vb = ld(tag, b + x), vc = ld(tag, c + x);
            const auto z = zero(tag), vw = set1_16(tag, w), ve = set1_16(tag, e);
            const auto lo = triangle_half(unpacklo8(va, z), unpacklo8(vb, z), unpacklo8(vc, z), vw, ve);
            const auto hi = triangle_half(unpackhi8(va, z), unpackhi8(vb, z), unpackhi8(vc, z), vw, ve);
            st(dst + x, packus16(lo, hi));
        },
        [&](std::ptrdiff_t x) { dst[x] = triangle_sample(a[x], b[x], c[x], w, e); });
}

}  // namespace

extern const DeinterlaceKernels kDeinterlace = {&edge_row, &median_row, &triangle_row};

}  // namespace opx::vpp::avx2
