// Video-processing filters: exported functions against their portable kernels on a 1920 × 1080
// plane ("1080") and a 33 × 17 one ("odd"). A whole-plane call takes milliseconds, so these cases
// use a timer of their own: two warm-up calls, then the median of 15 (1080) or 201 (odd) single
// calls, in TSC ticks.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "bench.hpp"
#include "opxvc.h"
#include "vpp/deinterlace.hpp"
#include "vpp/denoise.hpp"

namespace {

struct Picture {
    int width, height;
    std::int32_t step;
    std::vector<Opx8u> mem;
    Opx8u* data;
    Picture(int w, int h, std::uint32_t seed) : width(w), height(h) {
        step = (w + 63 + 32) & ~63;
        mem.assign(static_cast<std::size_t>(step) * (h + 8) + 64, 0);
        data = reinterpret_cast<Opx8u*>((reinterpret_cast<std::uintptr_t>(mem.data()) + 63) & ~std::uintptr_t{63}) + 4 * step;
        // Smooth shapes with a few hard edges and some noise: both edge and flat areas.
        std::uint32_t x = seed;
        for (int y = -4; y < h + 4; ++y)
            for (int i = 0; i < w; ++i) {
                x = x * 1103515245 + 12345;
                const int base = ((i / 64 + y / 48) & 1) ? 60 + i % 97 : 180 - y % 71;
                data[y * step + i] = static_cast<Opx8u>(std::clamp(base + static_cast<int>((x >> 16) % 13) - 6, 0, 255));
            }
    }
};

struct Set {
    Picture prev, cur, next, dst;
    std::vector<Opx8u> work;
    OpxDenoiseAdaptiveState* adaptive1 = nullptr;
    OpxDenoiseAdaptiveState* adaptive2 = nullptr;
    OpxDenoiseMosquitoState* mosquito = nullptr;
    Set(int w, int h)
        : prev(w, h, 1), cur(w, h, 2), next(w, h, 3), dst(w, h, 4),
          work(static_cast<std::size_t>(2 * (w + 3) * (h + 3))) {
        opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&adaptive1, {w, h}, {1, 1});
        opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&adaptive2, {w, h}, {2, 2});
        opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&mosquito, {w, h});
    }
};

// The pictures are made on first use, so that a filtered-out run allocates nothing.
Set& set_of(bool large) {
    static std::unique_ptr<Set> sets[2];
    auto& s = sets[large];
    if (!s) s = large ? std::make_unique<Set>(1920, 1080) : std::make_unique<Set>(33, 17);
    return *s;
}

template <class F>
double median_ticks(F f, int samples) {
    f();
    f();
    std::vector<double> t(samples);
    for (double& v : t) {
        const std::uint64_t t0 = opx::bench::ticks<true>();
        f();
        v = static_cast<double>(opx::bench::ticks<true>() - t0);
    }
    std::nth_element(t.begin(), t.begin() + samples / 2, t.end());
    return t[samples / 2];
}

// Registers one case on both plane sizes: call(set, portable) runs the filter once.
template <class Call>
void add_both(const char* function, const char* suffix, Call call) {
    for (bool large : {true, false}) {
        const int samples = large ? 15 : 201;
        std::string label = std::string(large ? "1080" : "odd") + suffix;
        opx::bench::registry().push_back(
            {function, label, [=] { return median_ticks([&] { call(set_of(large), false); }, samples); },
             [=] { return median_ticks([&] { call(set_of(large), true); }, samples); }});
    }
}

}  // namespace

OPX_BENCH_CASES(vpp) {
    namespace v = opx::vpp;
    const v::DeinterlaceKernels& dref = v::ref::kDeinterlace;
    const v::DenoiseKernels& nref = v::ref::kDenoise;

    // One field of the frame rebuilt from the other (steps twice the frame's).
    add_both("opxiDeinterlaceEdgeDetect_8u_C1R", "", [&dref](Set& s, bool portable) {
        const Picture& p = s.cur;
        const int h = p.height / 2;
        if (portable)
            v::edge_detect(dref, p.data, 2 * p.step, s.dst.data, 2 * p.step, p.width, h, 1, true);
        else
            opxiDeinterlaceEdgeDetect_8u_C1R(p.data, 2 * p.step, s.dst.data, 2 * p.step, {p.width, h}, 1, 1);
    });
    add_both("opxiDeinterlaceMedianThreshold_8u_C1R", "", [&dref](Set& s, bool portable) {
        const Picture& p = s.cur;
        if (portable)
            v::median_threshold(dref, p.data, p.step, s.dst.data, p.step, p.width, p.height, 10, true, true);
        else
            opxiDeinterlaceMedianThreshold_8u_C1R(p.data, p.step, s.dst.data, p.step, {p.width, p.height}, 10, 1, 1);
    });
    add_both("opxiDeinterlaceFilterTriangle_8u_C1R", "", [&dref](Set& s, bool portable) {
        const Picture& p = s.cur;
        if (portable)
            v::triangle(dref, p.data, p.step, s.dst.data, p.step, p.width, p.height, 128, 1);
        else
            opxiDeinterlaceFilterTriangle_8u_C1R(p.data, p.step, s.dst.data, p.step, {p.width, p.height}, 128, 1);
    });
    add_both("opxiDeinterlaceFilterTriangle_8u_C2R", "", [&dref](Set& s, bool portable) {
        const Picture& p = s.cur;
        const int w = p.width / 2;
        if (portable)
            v::triangle(dref, p.data, p.step, s.dst.data, p.step, 2 * w, p.height, 128, 1);
        else
            opxiDeinterlaceFilterTriangle_8u_C2R(p.data, p.step, s.dst.data, p.step, {w, p.height}, 128, 1);
    });
    add_both("opxiFilterDenoiseSmooth_8u_C1R", "", [&nref](Set& s, bool portable) {
        const Picture& p = s.cur;
        const OpxRect r{0, 0, p.width, p.height};
        if (portable)
            v::smooth(nref, p.data, p.step, s.dst.data, p.step, p.width, p.height,
                      {0, 0, p.width, p.height}, 20, s.work.data());
        else
            opxiFilterDenoiseSmooth_8u_C1R(p.data, p.step, s.dst.data, p.step, {p.width, p.height}, &r, 20, s.work.data());
    });
    for (int m : {1, 2}) {
        add_both("opxiFilterDenoiseAdaptive_8u_C1R", m == 1 ? " 1x1" : " 2x2", [&nref, m](Set& s, bool portable) {
            const Picture& p = s.cur;
            const OpxRect r{0, 0, p.width, p.height};
            const Opx8u* src[3] = {s.prev.data, s.cur.data, s.next.data};
            OpxDenoiseAdaptiveState* st = m == 1 ? s.adaptive1 : s.adaptive2;
            if (portable)
                v::adaptive(nref, {src[0], src[1], src[2], p.step, s.dst.data, p.step, p.width,
                                   p.height, {0, 0, p.width, p.height}, m, m, 12, 3, st->table});
            else
                opxiFilterDenoiseAdaptive_8u_C1R(src, p.step, s.dst.data, p.step, {p.width, p.height}, &r, {m, m}, 12, 3, st);
        });
    }
    // One portable filter serves both tables.
    add_both("opxiFilterDenoiseMosquito_8u_C1R", "", [](Set& s, bool) {
        const Picture& p = s.cur;
        const OpxRect r{0, 0, p.width, p.height};
        const Opx8u* src[2] = {s.cur.data, s.prev.data};
        opxiFilterDenoiseMosquito_8u_C1R(src, p.step, s.dst.data, p.step, {p.width, p.height}, &r, s.mosquito);
    });
}
