// VC-1 interpolation and range mapping, portable kernels written per sample from the rules
// (SMPTE 421M bicubic and bilinear filters, range mapping).
#include "vc1/interp.hpp"

namespace opx::vc1::ref {

template <int W, int H>
void bicubic(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
             int dy, int rnd) noexcept {
    auto R = [&](int x, int y) -> int { return row_at(src, y, src_step)[x]; };
    const int* tx = kBicubicTaps[dx];
    const int* ty = kBicubicTaps[dy];
    const int sx = kBicubicShift[dx], sy = kBicubicShift[dy];
    for (int y = 0; y < H; ++y) {
        Opx8u* d = row_at(dst, y, dst_step);
        for (int x = 0; x < W; ++x) {
            int out;
            if (dx == 0 && dy == 0) {
                out = R(x, y);
            } else if (dy == 0) {  // horizontal only: rounding 2^(s-1) - rnd
                int s = 0;
                for (int k = 0; k < 4; ++k) s += tx[k] * R(x - 1 + k, y);
                out = (s + (1 << (sx - 1)) - rnd) >> sx;
            } else if (dx == 0) {  // vertical only: rounding 2^(s-1) - 1 + rnd
                int s = 0;
                for (int k = 0; k < 4; ++k) s += ty[k] * R(x, y - 1 + k);
                out = (s + (1 << (sy - 1)) - 1 + rnd) >> sy;
            } else {  // vertical pass first on columns x-1..x+2, then horizontal
                const int s1 = sx + sy - 7;
                int s = 0;
                for (int j = 0; j < 4; ++j) {
                    int v = 0;
                    for (int k = 0; k < 4; ++k) v += ty[k] * R(x - 1 + j, y - 1 + k);
                    s += tx[j] * ((v + (1 << (s1 - 1)) - 1 + rnd) >> s1);
                }
                out = (s + 64 - rnd) >> 7;
            }
            d[x] = static_cast<Opx8u>(clamp8(out));
        }
    }
}

// N = 1 (planar) or 2 (interleaved pairs: W pairs, 2W bytes per row).
template <int W, int H, int N>
void bilinear(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step, int dx,
              int dy, int rnd) noexcept {
    for (int y = 0; y < H; ++y) {
        const Opx8u* r0 = row_at(src, y, src_step);
        const Opx8u* r1 = row_at(src, y + 1, src_step);
        Opx8u* d = row_at(dst, y, dst_step);
        for (int x = 0; x < W * N; ++x) {
            const int a = r0[x];
            const int b = dx ? r0[x + N] : 0;
            const int c = dy ? r1[x] : 0;
            const int dd = dx && dy ? r1[x + N] : 0;
            d[x] = static_cast<Opx8u>((a * (4 - dx) * (4 - dy) + b * dx * (4 - dy) +
                                       c * (4 - dx) * dy + dd * dx * dy + 8 - rnd) >>
                                      4);
        }
    }
}

template void bicubic<8, 8>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                            int) noexcept;
template void bicubic<16, 8>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                             int) noexcept;
template void bicubic<16, 16>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                              int) noexcept;
template void bilinear<16, 16, 1>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                  int) noexcept;
template void bilinear<8, 8, 1>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;
template void bilinear<8, 4, 1>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;
template void bilinear<4, 4, 1>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;
template void bilinear<8, 8, 2>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;
template void bilinear<8, 4, 2>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;
template void bilinear<4, 4, 2>(const Opx8u*, std::int32_t, Opx8u*, std::int32_t, int, int,
                                int) noexcept;

namespace {

void range_map(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step,
               int width, int height, int r) noexcept {
    for (int y = 0; y < height; ++y) {
        const Opx8u* s = row_at(src, y, src_step);
        Opx8u* d = row_at(dst, y, dst_step);
        for (int x = 0; x < width; ++x)
            d[x] = static_cast<Opx8u>(clamp8((((s[x] - 128) * (r + 9) + 4) >> 3) + 128));
    }
}

}  // namespace

const InterpKernels kInterp = {
    {&bicubic<8, 8>, &bicubic<16, 8>, &bicubic<16, 16>},
    {&bilinear<16, 16, 1>, &bilinear<8, 8, 1>, &bilinear<8, 4, 1>, &bilinear<4, 4, 1>},
    {&bilinear<8, 8, 2>, &bilinear<8, 4, 2>, &bilinear<4, 4, 2>},
    &range_map,
};

}  // namespace opx::vc1::ref
