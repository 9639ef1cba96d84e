// libFuzzer target over the video-processing filters: the first input bytes choose the function,
// the sizes, steps (positive or negative), regions, state sizes and parameters; the rest are
// samples. Every buffer is allocated with exactly the rows and bytes the function's description
// lets it touch, so that AddressSanitizer reports any access outside them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "opxvc.h"

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint32_t take(uint32_t range) {  // a value in [0, range)
        uint32_t v = 0;
        for (int i = 0; i < 3 && n; ++i, ++p, --n) v = v << 8 | *p;
        return range ? v % range : 0;
    }
    int32_t between(int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(take(static_cast<uint32_t>(hi - lo + 1))); }
};

// A plane whose rows first .. last (relative to the returned pointer) of `width` bytes, `step`
// apart, are exactly the allocation; filled from the input.
struct Buffer {
    std::vector<uint8_t> mem;
    uint8_t* origin = nullptr;
    Buffer(Input& in, int width, int first, int last, int32_t step) {
        const int64_t rows = last - first + 1, abs_step = step < 0 ? -int64_t{step} : step;
        const int64_t bytes = (rows - 1) * abs_step + width;
        mem.resize(static_cast<size_t>(bytes));
        for (auto& b : mem) b = static_cast<uint8_t>(in.take(256));
        // Row `first` at the lowest address for a positive step, row `last` for a negative one.
        const int64_t lowest_row = step >= 0 ? first : last;
        origin = mem.data() - lowest_row * int64_t{step};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const int fn = static_cast<int>(in.take(8));
    const int w = in.between(1, 70), h = in.between(1, 40);
    const bool neg = in.take(2);
    const int32_t extra = in.between(0, 9);
    auto step_for = [&](int width) { return static_cast<int32_t>((width + extra) * (neg ? -1 : 1)); };
    switch (fn) {
        case 0: {  // edge-directed: field rows 0 .. h − 1, and row −1 or h without the border copy
            const int field = in.between(-2, 3), border = in.take(2);
            const int f = field != 0;
            const int first = (!border && !f) ? -1 : 0, last = (!border && f) ? h : h - 1;
            Buffer src(in, w, first, last, step_for(w)), dst(in, w, 0, h - 1, step_for(w) + 3);
            opxiDeinterlaceEdgeDetect_8u_C1R(src.origin, step_for(w), dst.origin, step_for(w) + 3, {w, h}, field, border);
            break;
        }
        case 1: {  // median threshold: rows −1 and h readable without the border copy
            const int hh = h < 2 ? 2 : h, border = in.take(2), field = in.between(0, 2);
            Buffer src(in, w, border ? 0 : -1, border ? hh - 1 : hh, step_for(w));
            Buffer dst(in, w, 0, hh - 1, step_for(w) - (neg ? 1 : -1));
            opxiDeinterlaceMedianThreshold_8u_C1R(src.origin, step_for(w), dst.origin, step_for(w) - (neg ? 1 : -1),
                                                  {w, hh}, in.between(-300, 300), field, border);
            break;
        }
        case 2:
        case 3: {  // triangle: two source rows and one destination row above a middle/bottom slice
            const int hh = h < 3 ? 3 : h, c2 = fn == 3, bytes = w * (c2 ? 2 : 1);
            const uint32_t layouts[] = {1, 4, 16, 2, 0};
            const uint32_t layout = layouts[in.take(5)];
            const bool above = layout == 4 || layout == 16;
            Buffer src(in, bytes, above ? -2 : 0, hh - 1, step_for(bytes));
            Buffer dst(in, bytes, above ? -1 : 0, hh - 1, step_for(bytes));
            const uint32_t weight = in.take(600);
            (c2 ? opxiDeinterlaceFilterTriangle_8u_C2R : opxiDeinterlaceFilterTriangle_8u_C1R)(
                src.origin, step_for(bytes), dst.origin, step_for(bytes), {w, hh}, weight, layout);
            break;
        }
        case 4: {  // smoothing: the picture and the work buffer of the region
            const OpxRect r{in.between(-1, w - 1), in.between(-1, h - 1), in.between(0, w), in.between(0, h)};
            Buffer src(in, w, 0, h - 1, step_for(w)), dst(in, w, 0, h - 1, step_for(w));
            const int64_t work = r.width > 0 && r.height > 0 ? 2 * int64_t(r.width + 3) * (r.height + 3) : 1;
            std::vector<uint8_t> pw(static_cast<size_t>(work));
            opxiFilterDenoiseSmooth_8u_C1R(src.origin, step_for(w), dst.origin, step_for(w), {w, h}, &r,
                                           in.between(-2, 300), pw.data());
            break;
        }
        case 5: {  // adaptive: three pictures, a state for the region and window
            const OpxRect r{in.between(0, w - 1), in.between(0, h - 1), 0, 0};
            OpxRect rr = r;
            rr.width = in.between(1, w - r.x);
            rr.height = in.between(1, h - r.y);
            const OpxRoiSize mask{in.between(1, rr.width < 6 ? rr.width : 6), in.between(1, rr.height < 6 ? rr.height : 6)};
            OpxDenoiseAdaptiveState* st = nullptr;
            if (opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&st, {rr.width, rr.height}, mask) != opxOk) break;
            Buffer a(in, w, 0, h - 1, step_for(w)), b(in, w, 0, h - 1, step_for(w)), c(in, w, 0, h - 1, step_for(w));
            // The three pictures share one step: place them in one allocation each of equal shape.
            Buffer dst(in, w, 0, h - 1, step_for(w));
            const Opx8u* src[3] = {a.origin, b.origin, c.origin};
            opxiFilterDenoiseAdaptive_8u_C1R(src, step_for(w), dst.origin, step_for(w), {w, h}, &rr, mask,
                                             in.between(-2, 300), in.between(-1, 4), st);
            opxiFilterDenoiseAdaptiveFree_8u_C1(st);
            break;
        }
        default: {  // mosquito: two pictures, a state for the region
            const OpxRect r{in.between(0, w - 1), in.between(0, h - 1), 0, 0};
            OpxRect rr = r;
            rr.width = in.between(1, w - r.x);
            rr.height = in.between(1, h - r.y);
            OpxDenoiseMosquitoState* st = nullptr;
            if (opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&st, {rr.width, rr.height}) != opxOk) break;
            Buffer a(in, w, 0, h - 1, step_for(w)), b(in, w, 0, h - 1, step_for(w)), dst(in, w, 0, h - 1, step_for(w));
            const Opx8u* src[2] = {a.origin, b.origin};
            opxiFilterDenoiseMosquito_8u_C1R(src, step_for(w), dst.origin, step_for(w), {w, h}, &rr, st);
            opxiFilterDenoiseMosquitoFree_8u_C1(st);
            break;
        }
    }
    return 0;
}
