// Plane walks of the smoothing and adaptive filters: the rules' bookkeeping of picture edges,
// extended rows and columns and the work buffer, shared by both kernel tables.
#include <algorithm>

#include "vpp/denoise.hpp"

namespace opx::vpp {

// Work buffer: the map M, then the box mean F, both (rw + 3) × (rh + 3) bytes with row step
// rw + 3. F(y, x) covers y0 − 1 .. y1 + 1, x0 − 1 .. x1 + 1 (M(y, x) reads F(y + 1, x + 1)); M covers
// y0 − 1 .. y1, x0 − 1 .. x1 (the neighbours of every region sample).
void smooth(const DenoiseKernels& k, const Opx8u* src, std::int32_t src_step, Opx8u* dst,
            std::int32_t dst_step, int width, int height, Region roi, std::int32_t threshold,
            Opx8u* work) noexcept {
    const std::ptrdiff_t rw = roi.x1 - roi.x0, rh = roi.y1 - roi.y0, ws = rw + 3;
    // Below three columns every region sample lies in the picture's first or last column
    // (the region always spans three rows or more, so the picture does too).
    if (width < 3) {
        for (int y = roi.y0; y < roi.y1; ++y)
            copy_row(row_of(src, y, src_step) + roi.x0, row_of(dst, y, dst_step) + roi.x0, rw);
        return;
    }
    Opx8u* const map = work;
    Opx8u* const box = work + ws * (rh + 3);
    auto box_at = [&](int y, int x) { return box + (y - (roi.y0 - 1)) * ws + (x - (roi.x0 - 1)); };
    auto map_at = [&](int y, int x) { return map + (y - (roi.y0 - 1)) * ws + (x - (roi.x0 - 1)); };

    // F: computed where the 3×3 window lies in the picture (rows and columns 1 .. size − 2);
    // elsewhere the nearest computed value.
    const int cx0 = std::clamp(roi.x0 - 1, 1, width - 2), cx1 = std::clamp(roi.x1 + 1, 1, width - 2);
    auto box_row = [&](int y) {
        const int sy = std::clamp(y, 1, height - 2);
        Opx8u* f = box_at(y, roi.x0 - 1);
        Opx8u* fc = box_at(y, cx0);
        k.box_row(row_of(src, sy - 1, src_step) + cx0, row_of(src, sy, src_step) + cx0,
                  row_of(src, sy + 1, src_step) + cx0, fc, cx1 - cx0 + 1);
        for (Opx8u* p = f; p < fc; ++p) *p = *fc;
        const Opx8u right = fc[cx1 - cx0];
        for (Opx8u* p = fc + (cx1 - cx0 + 1); p <= box_at(y, roi.x1 + 1); ++p) *p = right;
    };
    // M: a diagonal cross difference of F (threshold ≤ 0 marks everything); the map row below
    // the picture and the column right of it, where the region reaches them, are edges.
    auto map_row = [&](int y) {
        k.map_row(box_at(y, roi.x0 - 1), box_at(y + 1, roi.x0 - 1), map_at(y, roi.x0 - 1), rw + 2,
                  threshold);
        if (y == height) std::fill_n(map_at(height, roi.x0 - 1), rw + 2, Opx8u{255});
        if (roi.x1 == width) *map_at(y, width) = 255;
    };
    // Output: the picture's outer ring copied, the rest smoothed.
    const int ix0 = std::max(roi.x0, 1), ix1 = std::min(roi.x1, width - 1);
    auto out_row = [&](int y) {
        const Opx8u* s1 = row_of(src, y, src_step);
        Opx8u* d = row_of(dst, y, dst_step);
        if (y == 0 || y == height - 1 || ix0 >= ix1) {
            copy_row(s1 + roi.x0, d + roi.x0, rw);
            return;
        }
        if (roi.x0 == 0) d[0] = s1[0];
        if (roi.x1 == width) d[width - 1] = s1[width - 1];
        const Opx8u* s[3] = {row_of(src, y - 1, src_step) + ix0, s1 + ix0,
                             row_of(src, y + 1, src_step) + ix0};
        const Opx8u* m[3] = {map_at(y - 1, ix0), map_at(y, ix0), map_at(y + 1, ix0)};
        k.smooth_row(s, m, d + ix0, ix1 - ix0);
    };
    // One pass down the region, each row of F, M and the output made as soon as its inputs
    // are there (output row y reads M rows y − 1 .. y + 1, M row y reads F rows y, y + 1), so
    // that the work rows are still in cache when they are read.
    for (int y = roi.y0 - 1; y <= roi.y1 + 1; ++y) {
        box_row(y);
        if (y > roi.y0 - 1) map_row(y - 1);
        if (y - 2 >= roi.y0) out_row(y - 2);
    }
}

void adaptive(const DenoiseKernels& k, const AdaptiveArgs& a) noexcept {
    const Region& r = a.roi;
    const int ix0 = std::max(r.x0, 1), ix1 = std::min(r.x1, a.width - 1);
    for (int y = r.y0; y < r.y1; ++y) {
        const Opx8u* c = row_of(a.cur, y, a.src_step);
        Opx8u* d = row_of(a.dst, y, a.dst_step);
        if (y == 0 || y == a.height - 1 || ix0 >= ix1) {
            copy_row(c + r.x0, d + r.x0, r.x1 - r.x0);
            continue;
        }
        if (r.x0 == 0) d[0] = c[0];
        if (r.x1 == a.width) d[a.width - 1] = c[a.width - 1];
        k.adaptive_row(a, y, ix0, ix1);
    }
}

}  // namespace opx::vpp
