// Portable AVS luma interpolation and weighted prediction, per sample from the rules.
//
// Sums, from 8-bit samples x(col, row) relative to the predicted sample:
//   b1 at (c + ½, r): 5·(x(c, r) + x(c + 1, r)) − (x(c − 1, r) + x(c + 2, r)), in [−510, 2550];
//   h1 at (c, r + ½): the same down the column;
//   j1 at (c + ½, r + ½): the same filter down a column of b1 values, in [−10200, 26520].
// Quarter samples next to an integer sample weight their neighbours (half sums at scale 8,
// integer samples at scale 8 as 8·x) by 1, 7, 7, 1; quarter samples between a half and a centre
// value (Q) weight them the same way at scale 64. Every result is clamped to 0..255.
#include <algorithm>
#include <cstdint>

#include "avs/avs.hpp"

namespace opx::avs::ref {
namespace {

// Q(A, B, C, D): A and C centre sums (scale 64), B and D half sums (scale 8), with C and B the
// nearer pair; exactly (A + 56·B + 7·C + 8·D + 512) >> 10, evaluated in the staged form.
int q(int a, int b, int c, int d) noexcept {
    int t = ((a - c) >> 3) + c - b + d;
    t = (t >> 3) + b + 8;
    return t >> 4;
}

template <int W, int DX, int DY>
void luma(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int h) noexcept {
    auto x = [&](int c, int r) { return int{src[r * ss + c]}; };
    auto b1 = [&](int c, int r) {
        return 5 * (x(c, r) + x(c + 1, r)) - (x(c - 1, r) + x(c + 2, r));
    };
    auto h1 = [&](int c, int r) {
        return 5 * (x(c, r) + x(c, r + 1)) - (x(c, r - 1) + x(c, r + 2));
    };
    auto j1 = [&](int c, int r) {
        return 5 * (b1(c, r) + b1(c, r + 1)) - (b1(c, r - 1) + b1(c, r + 2));
    };
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < W; ++c) {
            int v;
            if constexpr (DX == 0 && DY == 0)
                v = x(c, r);
            else if constexpr (DX == 2 && DY == 0)
                v = (b1(c, r) + 4) >> 3;
            else if constexpr (DX == 0 && DY == 2)
                v = (h1(c, r) + 4) >> 3;
            else if constexpr (DX == 1 && DY == 0)
                v = (b1(c - 1, r) + 56 * x(c, r) + 7 * b1(c, r) + 8 * x(c + 1, r) + 64) >> 7;
            else if constexpr (DX == 3 && DY == 0)
                v = (8 * x(c, r) + 7 * b1(c, r) + 56 * x(c + 1, r) + b1(c + 1, r) + 64) >> 7;
            else if constexpr (DX == 0 && DY == 1)
                v = (h1(c, r - 1) + 56 * x(c, r) + 7 * h1(c, r) + 8 * x(c, r + 1) + 64) >> 7;
            else if constexpr (DX == 0 && DY == 3)
                v = (8 * x(c, r) + 7 * h1(c, r) + 56 * x(c, r + 1) + h1(c, r + 1) + 64) >> 7;
            else if constexpr (DX == 2 && DY == 2)
                v = (j1(c, r) + 32) >> 6;
            else if constexpr (DX == 2 && DY == 1)
                v = q(j1(c, r - 1), b1(c, r), j1(c, r), b1(c, r + 1));
            else if constexpr (DX == 2 && DY == 3)
                v = q(j1(c, r + 1), b1(c, r + 1), j1(c, r), b1(c, r));
            else if constexpr (DX == 1 && DY == 2)
                v = q(j1(c - 1, r), h1(c, r), j1(c, r), h1(c + 1, r));
            else if constexpr (DX == 3 && DY == 2)
                v = q(j1(c + 1, r), h1(c + 1, r), j1(c, r), h1(c, r));
            else  // (1, 1), (3, 1), (1, 3), (3, 3): the nearest integer sample and the centre
                v = (x(c + DX / 2, r + DY / 2) + (j1(c, r) >> 6) + 1) >> 1;
            dst[r * ds + c] = static_cast<Opx8u>(std::clamp(v, 0, 255));
        }
}

void weight(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, Opx32s scale,
            Opx32s offset, int width, int height) noexcept {
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const std::int64_t v = ((std::int64_t{src[r * ss + c]} * scale + 16) >> 5) + offset;
            dst[r * ds + c] = static_cast<Opx8u>(std::clamp<std::int64_t>(v, 0, 255));
        }
}

}  // namespace

const InterpKernels kInterp = {
    {
        luma<8, 0, 0>,  luma<8, 1, 0>,  luma<8, 2, 0>,  luma<8, 3, 0>,  luma<8, 0, 1>,
        luma<8, 1, 1>,  luma<8, 2, 1>,  luma<8, 3, 1>,  luma<8, 0, 2>,  luma<8, 1, 2>,
        luma<8, 2, 2>,  luma<8, 3, 2>,  luma<8, 0, 3>,  luma<8, 1, 3>,  luma<8, 2, 3>,
        luma<8, 3, 3>,  luma<16, 0, 0>, luma<16, 1, 0>, luma<16, 2, 0>, luma<16, 3, 0>,
        luma<16, 0, 1>, luma<16, 1, 1>, luma<16, 2, 1>, luma<16, 3, 1>, luma<16, 0, 2>,
        luma<16, 1, 2>, luma<16, 2, 2>, luma<16, 3, 2>, luma<16, 0, 3>, luma<16, 1, 3>,
        luma<16, 2, 3>, luma<16, 3, 3>,
    },
    weight,
};

}  // namespace opx::avs::ref
