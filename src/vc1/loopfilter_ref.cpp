// VC-1 deblocking and overlap smoothing, portable kernels written per sample from the rules
// (loopfilter.hpp).
#include <algorithm>
#include <cstdlib>

#include "vc1/loopfilter.hpp"

namespace opx::vc1::ref {
namespace {

// ---- deblocking (SMPTE 421M 8.6.4) -------------------------------------------------------------

constexpr int sign(int v) noexcept {
    return (v > 0) - (v < 0);
}

// One line across the edge: p points at P5, `pitch` is the byte distance between P1..P8.
// Returns true when the line counts as changed: clip is non-zero and the filter applies, even
// if the limits then take d to 0.
bool filter_line(Opx8u* p, std::ptrdiff_t pitch, int pquant) noexcept {
    auto P = [&](int n) -> int { return p[(n - 5) * pitch]; };
    const int a0 = (2 * (P(3) - P(6)) - 5 * (P(4) - P(5)) + 4) >> 3;
    if (std::abs(a0) >= pquant) return false;
    const int a1 = (2 * (P(1) - P(4)) - 5 * (P(2) - P(3)) + 4) >> 3;
    const int a2 = (2 * (P(5) - P(8)) - 5 * (P(6) - P(7)) + 4) >> 3;
    const int a3 = std::min(std::abs(a1), std::abs(a2));
    if (a3 >= std::abs(a0)) return false;
    int d = 5 * (sign(a0) * a3 - a0) / 8;
    const int clip = (P(4) - P(5)) / 2;
    if (clip == 0) return false;
    d = clip > 0 ? (d < 0 ? 0 : d > clip ? clip : d) : (d > 0 ? 0 : d < clip ? clip : d);
    p[-pitch] = static_cast<Opx8u>(P(4) - d);
    p[0] = static_cast<Opx8u>(P(5) + d);
    return true;
}

// Segment of four lines starting at p (line distance `line`): the third line decides.
void filter_segment(Opx8u* p, std::ptrdiff_t pitch, std::ptrdiff_t line, int pquant) noexcept {
    if (!filter_line(p + 2 * line, pitch, pquant)) return;
    filter_line(p, pitch, pquant);
    filter_line(p + line, pitch, pquant);
    filter_line(p + 3 * line, pitch, pquant);
}

// The one body of every edge: `pitch` runs across the edge, `line` along it; a vertical edge has
// pitch = sample size and line = row step, a horizontal edge the other way round. Segments of
// interleaved chroma: 0, 1 of the first component (byte 0), 2, 3 of the second (byte 1).
template <DeblockForm Form>
void deblock(Opx8u* p, std::int32_t step, int pquant, unsigned segments) noexcept {
    constexpr bool ver = Form == kLumaVer || Form == kChromaVer || Form == kChromaVerC2;
    constexpr bool c2 = Form == kChromaVerC2 || Form == kChromaHorC2;
    constexpr int n = c2 ? 2 : 1;
    const std::ptrdiff_t pitch = ver ? n : step;
    const std::ptrdiff_t line = ver ? step : n;
    for (int s = 0; s < 4; ++s) {
        if (!(segments >> s & 1)) continue;
        Opx8u* seg = c2 ? p + (s >> 1) + (s & 1) * 4 * line : p + s * 4 * line;
        filter_segment(seg, pitch, line, pquant);
    }
}

// ---- overlap smoothing (SMPTE 421M 8.5) --------------------------------------------------------

// y = (M x + r) >> 3 for one line; r = 4 when (k + parity) is even.
void smooth4(const int x[4], int parity, int y[4]) noexcept {
    const int r0 = (parity & 1) ? 3 : 4, r1 = 7 - r0;
    y[0] = (7 * x[0] + x[3] + r0) >> 3;
    y[1] = (-x[0] + 7 * x[1] + x[2] + x[3] + r1) >> 3;
    y[2] = (x[0] + x[1] + 7 * x[2] - x[3] + r0) >> 3;
    y[3] = (x[0] + 7 * x[3] + r1) >> 3;
}

}  // namespace

void smooth_ver(Opx16s* a, std::int32_t a_step, Opx16s* b, std::int32_t b_step, Opx8u* dst,
                std::int32_t dst_step, int dst_pitch, const SmoothRows& rows) noexcept {
    for (int t = 0; t < 8; ++t) {
        Opx16s* ra = row_at(a, rows.a[t], a_step);
        Opx16s* rb = row_at(b, rows.b[t], b_step);
        Opx8u* rd = row_at(dst, rows.dst[t], dst_step);
        const int x[4] = {ra[0], ra[1], rb[0], rb[1]};
        int y[4];
        smooth4(x, rows.parity[t], y);
        ra[0] = static_cast<Opx16s>(y[0]);
        ra[1] = static_cast<Opx16s>(y[1]);
        rb[0] = static_cast<Opx16s>(y[2]);
        rb[1] = static_cast<Opx16s>(y[3]);
        for (int k = 0; k < 4; ++k) rd[(k - 2) * dst_pitch] = static_cast<Opx8u>(clamp8(y[k]));
    }
}

namespace {

void smooth_hor(const Opx16s* a, std::int32_t a_step, const Opx16s* b, std::int32_t b_step,
                Opx8u* dst, std::int32_t dst_step, int dst_pitch) noexcept {
    for (int c = 0; c < 8; ++c) {
        const int x[4] = {row_at(a, 0, a_step)[c], row_at(a, 1, a_step)[c], row_at(b, 0, b_step)[c],
                          row_at(b, 1, b_step)[c]};
        int y[4];
        smooth4(x, c, y);
        for (int k = 0; k < 4; ++k)
            row_at(dst, k - 2, dst_step)[c * dst_pitch] = static_cast<Opx8u>(clamp8(y[k]));
    }
}

}  // namespace

const LoopFilterKernels kLoopFilter = {
    {&deblock<kLumaVer>, &deblock<kLumaHor>, &deblock<kChromaVer>, &deblock<kChromaHor>,
     &deblock<kChromaVerC2>, &deblock<kChromaHorC2>},
    &smooth_ver,
    &smooth_hor,
};

}  // namespace opx::vc1::ref
