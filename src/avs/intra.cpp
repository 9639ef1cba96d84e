// AVS 8×8 intra prediction (luma modes 0..4, chroma modes 0..3) from the reconstructed
// neighbours of the block in the same plane. Scalar: one block is 64 samples and the reference
// arrays are built once per block; the reconstruction and the intra encoders share it.
#include <algorithm>

#include "avs/avs.hpp"

namespace opx::avs {
namespace {

// The two reference arrays of 20 samples. t[0] / l[0] is the top-left corner when both the left
// column and the top row are available, else the first sample of its own array; t[9..16] the
// top-right samples (t[8] repeated when unavailable), l[9..16] likewise below-left; entries
// 17..19 repeat entry 16 so that the filtered value at 16 needs no special case.
struct Refs {
    int t[20], l[20];
    bool top, left;
};

Refs gather(const Opx8u* p, std::ptrdiff_t step, Opx32u flags) noexcept {
    Refs r{};
    r.left = !(flags & kLeftUnavailable);
    r.top = !(flags & kTopUnavailable);
    if (r.top) {
        const Opx8u* above = p - step;
        for (int i = 0; i < 8; ++i) r.t[1 + i] = above[i];
        const bool tr = !(flags & kTopRightUnavailable);
        for (int i = 0; i < 8; ++i) r.t[9 + i] = tr ? above[8 + i] : r.t[8];
        r.t[0] = r.left ? above[-1] : r.t[1];
        for (int i = 17; i < 20; ++i) r.t[i] = r.t[16];
    }
    if (r.left) {
        for (int i = 0; i < 8; ++i) r.l[1 + i] = p[i * step - 1];
        const bool bl = !(flags & kBottomLeftUnavailable);
        for (int i = 0; i < 8; ++i) r.l[9 + i] = bl ? p[(8 + i) * step - 1] : r.l[8];
        r.l[0] = r.top ? p[-step - 1] : r.l[1];
        for (int i = 17; i < 20; ++i) r.l[i] = r.l[16];
    }
    return r;
}

// Filtered reference value (a[i − 1] + 2 a[i] + a[i + 1] + 2) >> 2.
int f3(const int* a, int i) noexcept {
    return (a[i - 1] + 2 * a[i] + a[i + 1] + 2) >> 2;
}

template <class Fn>
void fill(Opx8u* p, std::ptrdiff_t step, Fn value) noexcept {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) p[y * step + x] = static_cast<Opx8u>(value(x, y));
}

void dc(Opx8u* p, std::ptrdiff_t step, const Refs& r) noexcept {
    if (r.top && r.left)
        fill(p, step, [&](int x, int y) { return (f3(r.t, x + 1) + f3(r.l, y + 1)) >> 1; });
    else if (r.top)
        fill(p, step, [&](int x, int) { return f3(r.t, x + 1); });
    else if (r.left)
        fill(p, step, [&](int, int y) { return f3(r.l, y + 1); });
    else
        fill(p, step, [](int, int) { return 128; });
}

}  // namespace

bool predict_luma(Opx8u* p, std::ptrdiff_t step, unsigned mode, Opx32u flags) noexcept {
    const Refs r = gather(p, step, flags);
    switch (mode & 7) {
        case 0:  // vertical
            if (!r.top) return false;
            fill(p, step, [&](int x, int) { return r.t[x + 1]; });
            return true;
        case 1:  // horizontal
            if (!r.left) return false;
            fill(p, step, [&](int, int y) { return r.l[y + 1]; });
            return true;
        case 2:
            dc(p, step, r);
            return true;
        case 3:  // down-left
            if (!r.top || !r.left) return false;
            fill(p, step,
                 [&](int x, int y) { return (f3(r.t, x + y + 2) + f3(r.l, x + y + 2)) >> 1; });
            return true;
        case 4:  // down-right
            if (!r.top || !r.left) return false;
            fill(p, step, [&](int x, int y) {
                if (x > y) return f3(r.t, x - y);
                if (x < y) return f3(r.l, y - x);
                return (r.l[1] + 2 * r.t[0] + r.t[1] + 2) >> 2;
            });
            return true;
        default:
            fill(p, step, [](int, int) { return 128; });
            return true;
    }
}

bool predict_chroma(Opx8u* p, std::ptrdiff_t step, unsigned mode, Opx32u flags) noexcept {
    const Refs r = gather(p, step, flags);
    switch (mode & 3) {
        case 0:
            dc(p, step, r);
            return true;
        case 1:  // horizontal
            if (!r.left) return false;
            fill(p, step, [&](int, int y) { return r.l[y + 1]; });
            return true;
        case 2:  // vertical
            if (!r.top) return false;
            fill(p, step, [&](int x, int) { return r.t[x + 1]; });
            return true;
        default: {  // plane
            if (!r.top || !r.left) return false;
            int ih = 0, iv = 0;
            for (int i = 1; i <= 4; ++i) {
                ih += i * (r.t[4 + i] - r.t[4 - i]);
                iv += i * (r.l[4 + i] - r.l[4 - i]);
            }
            const int ib = (17 * ih + 16) >> 5, ic = (17 * iv + 16) >> 5;
            const int ia = 16 * (r.t[8] + r.l[8]);
            fill(p, step, [&](int x, int y) {
                return std::clamp((ia + (x - 3) * ib + (y - 3) * ic + 16) >> 5, 0, 255);
            });
            return true;
        }
    }
}

}  // namespace opx::avs
