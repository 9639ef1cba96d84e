// Spatial deinterlacing: edge-directed field interpolation, median threshold and the vertical
// triangle filter. Kernel signatures, the plane walks shared by both kernel tables, and the table.
//
// Contract of every kernel: arguments already checked (pointers valid, sizes at least the
// documented minimum, fieldNum reduced to 0 or 1, layout one of 1, 4, 16); reads exactly the
// rows and columns the rules name (the rows outside the plane only where the rules let the
// caller provide them) and writes only the destination rows the rules name, `width` bytes each.
// Widths are in bytes (the two-channel triangle filter passes twice the sample count).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "opxvc.h"

namespace opx::vpp {

// Row `y` of a plane with a signed step; ptrdiff_t arithmetic so that large steps times rows
// do not wrap in 32 bits.
template <class T>
inline T* row_of(T* base, std::ptrdiff_t y, std::int32_t step) noexcept {
    using Byte = std::conditional_t<std::is_const_v<T>, const unsigned char, unsigned char>;
    return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) + y * static_cast<std::ptrdiff_t>(step));
}

// ---- per-sample rules (used by the portable rows and by the AVX2 tails) ------------------------

// Edge-directed average of one sample between rows U (above) and D (below), x in 1..width − 2.
// Ties go to the second diagonal (U[x+1], D[x−1]) over the first, and to the vertical over both.
inline Opx8u edge_sample(const Opx8u* u, const Opx8u* d, std::ptrdiff_t x) noexcept {
    auto absd = [](int a, int b) { return a > b ? a - b : b - a; };
    const int d1 = absd(u[x - 1], d[x + 1]);
    const int d2 = absd(u[x + 1], d[x - 1]);
    const int d0 = absd(u[x], d[x]);
    int a = u[x], b = d[x];
    if (d1 < d2) {
        if (d1 < d0) a = u[x - 1], b = d[x + 1];
    } else if (d2 < d0) {
        a = u[x + 1], b = d[x - 1];
    }
    return static_cast<Opx8u>((a + b + 1) >> 1);
}

// Median threshold of one sample: the median m of (u, s, d) unless |m − s| < threshold (an
// integer comparison: a threshold of 0 or below always gives m, one above 255 always s).
inline Opx8u median_sample(int u, int s, int d, std::int32_t threshold) noexcept {
    const int lo = u < s ? u : s, hi = u < s ? s : u;
    const int lo_d = lo > d ? lo : d;
    const int m = lo_d < hi ? lo_d : hi;  // min(max(min(u, s), d), max(u, s))
    const int diff = m > s ? m - s : s - m;
    return static_cast<Opx8u>(diff < threshold ? s : m);
}

// Triangle filter of one sample: ((a + c)·e + b·w) >> 8, at most 255 × 256 (2e + w ≤ 256).
inline Opx8u triangle_sample(int a, int b, int c, int w, int e) noexcept {
    return static_cast<Opx8u>(((a + c) * e + b * w) >> 8);
}

// ---- kernels ---------------------------------------------------------------------------------

// Destination row of the edge-directed filter between source rows u and d; columns 0 and
// width − 1 are copied from `own` (source row k).
using EdgeRowFn = void (*)(const Opx8u* u, const Opx8u* d, const Opx8u* own, Opx8u* dst,
                           std::ptrdiff_t width) noexcept;
// Rebuilt row of the median threshold filter from source rows u, s, d. dst may equal s (in
// place): every sample is read before it is written and a rebuilt sample rebuilds to itself.
using MedianRowFn = void (*)(const Opx8u* u, const Opx8u* s, const Opx8u* d, Opx8u* dst,
                             std::ptrdiff_t width, std::int32_t threshold) noexcept;
// Filtered row of the triangle filter from source rows a, b, c; w in 0..256, e = (256 − w) >> 1.
using TriangleRowFn = void (*)(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* dst,
                               std::ptrdiff_t width, int w, int e) noexcept;

struct DeinterlaceKernels {
    EdgeRowFn edge_row;
    MedianRowFn median_row;
    TriangleRowFn triangle_row;
};

namespace ref {
extern const DeinterlaceKernels kDeinterlace;
}
namespace avx2 {
extern const DeinterlaceKernels kDeinterlace;
}

// ---- plane walks (the rules' row bookkeeping, one for both tables) ---------------------------

inline void copy_row(const Opx8u* src, Opx8u* dst, std::ptrdiff_t width) noexcept {
    if (src != dst) std::memmove(dst, src, static_cast<std::size_t>(width));
}

// Edge-directed interpolation of h missing field rows. f = 0: the missing rows lie above their
// source rows (row k between source rows k − 1 and k); f = 1: below (between k and k + 1).
inline void edge_detect(const DeinterlaceKernels& k, const Opx8u* src, std::int32_t src_step,
                        Opx8u* dst, std::int32_t dst_step, std::ptrdiff_t width, int h, int f,
                        bool copy_border) noexcept {
    int first = 0, last = h - 1;
    if (copy_border) {
        const int r = f == 0 ? 0 : h - 1;
        copy_row(row_of(src, r, src_step), row_of(dst, r, dst_step), width);
        if (f == 0)
            first = 1;
        else
            last = h - 2;
    }
    for (int r = first; r <= last; ++r)
        k.edge_row(row_of(src, r + f - 1, src_step), row_of(src, r + f, src_step),
                   row_of(src, r, src_step), row_of(dst, r, dst_step), width);
}

// Median threshold over a frame of h rows: keep_even (fieldNum 1) keeps rows 0, 2, 4, … and
// rebuilds the odd rows; otherwise the odd rows are kept and the even rows rebuilt.
inline void median_threshold(const DeinterlaceKernels& k, const Opx8u* src, std::int32_t src_step,
                             Opx8u* dst, std::int32_t dst_step, std::ptrdiff_t width, int h,
                             std::int32_t threshold, bool keep_even, bool copy_border) noexcept {
    for (int r = keep_even ? 0 : 1; r < h; r += 2)
        copy_row(row_of(src, r, src_step), row_of(dst, r, dst_step), width);
    int first = keep_even ? 1 : 0, end = h;
    if (copy_border) {
        copy_row(src, dst, width);
        copy_row(row_of(src, h - 1, src_step), row_of(dst, h - 1, dst_step), width);
        if (first == 0) first = 2;
        end = h - 1;
    }
    for (int r = first; r < end; r += 2)
        k.median_row(row_of(src, r - 1, src_step), row_of(src, r, src_step),
                     row_of(src, r + 1, src_step), row_of(dst, r, dst_step), width, threshold);
}

// Triangle filter of one slice of h rows (layout 1 top, 4 middle, 16 bottom). The middle and
// bottom slices write destination row k − 1 from source rows k − 2 .. k (k = 0 .. h − 1), so a
// top slice, middle slices and a bottom slice filter a whole frame as one pass would.
inline void triangle(const DeinterlaceKernels& k, const Opx8u* src, std::int32_t src_step,
                     Opx8u* dst, std::int32_t dst_step, std::ptrdiff_t width, int h,
                     std::uint32_t center_weight, std::uint32_t layout) noexcept {
    const int w = center_weight < 256 ? static_cast<int>(center_weight) : 256;
    const int e = (256 - w) >> 1;
    if (layout == 1) {
        copy_row(src, dst, width);
        for (int r = 1; r <= h - 2; ++r)
            k.triangle_row(row_of(src, r - 1, src_step), row_of(src, r, src_step),
                           row_of(src, r + 1, src_step), row_of(dst, r, dst_step), width, w, e);
        return;
    }
    for (int r = 0; r < h; ++r)
        k.triangle_row(row_of(src, r - 2, src_step), row_of(src, r - 1, src_step),
                       row_of(src, r, src_step), row_of(dst, r - 1, dst_step), width, w, e);
    if (layout == 16) copy_row(row_of(src, h - 1, src_step), row_of(dst, h - 1, dst_step), width);
}

}  // namespace opx::vpp
