// Portable H.264 interpolation kernels, written sample by sample from clause 8.4.2.2.
#include <algorithm>
#include <utility>

#include "h264/decode/interp.hpp"
#include "h264/decode/interp_edge.hpp"
#include "h264/decode/interp_tables.hpp"

namespace opx::h264::ref {
namespace {

// ---- luma (clause 8.4.2.2.1) ------------------------------------------------------------------

template <class T>
struct LumaSource {
    const T* src;
    std::ptrdiff_t step;
    int max_value;

    int full(int x, int y) const { return src[y * step + x]; }
    int clip(int v) const { return std::clamp(v, 0, max_value); }
    // Unrounded horizontal six-tap sum b1 at the half position right of (x, y) (8-241).
    int b1(int x, int y) const {
        int sum = 0;
        for (int k = 0; k < 6; ++k) sum += kLumaSixTap[k] * full(x - 2 + k, y);
        return sum;
    }
    int h1(int x, int y) const {
        int sum = 0;
        for (int k = 0; k < 6; ++k) sum += kLumaSixTap[k] * full(x, y - 2 + k);
        return sum;
    }
    // j1 from the unrounded b1 values of six rows (8-244); |j1| < 2^19 for 14-bit samples, so
    // it is kept in 32 bits and rounded once.
    int j1(int x, int y) const {
        int sum = 0;
        for (int k = 0; k < 6; ++k) sum += kLumaSixTap[k] * b1(x, y - 2 + k);
        return sum;
    }
    int operand(const LumaOperand& o, int x, int y) const {
        const int ox = x + o.dx, oy = y + o.dy;
        switch (o.sample) {
            case LumaSample::kG:
                return full(ox, oy);
            case LumaSample::kB:
                return clip((b1(ox, oy) + 16) >> 5);
            case LumaSample::kH:
                return clip((h1(ox, oy) + 16) >> 5);
            case LumaSample::kJ:
                break;
        }
        return clip((j1(ox, oy) + 512) >> 10);
    }
    // Prediction sample at quarter position (dx, dy) of integer position (x, y), Table 8-12.
    int predict(int x, int y, int dx, int dy) const {
        const LumaOperand* o = kLumaQuarterSample[dy][dx];
        if (o[0].sample == o[1].sample && o[0].dx == o[1].dx && o[0].dy == o[1].dy)
            return operand(o[0], x, y);
        return (operand(o[0], x, y) + operand(o[1], x, y) + 1) >> 1;
    }
};

template <class T>
void luma(const T* src, std::ptrdiff_t src_step, T* dst, std::ptrdiff_t dst_step, int width,
          int height, int dx, int dy, int max_value) noexcept {
    const LumaSource<T> s{src, src_step, max_value};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            dst[y * dst_step + x] = static_cast<T>(s.predict(x, y, dx, dy));
}

template <int W, int DX, int DY>
void luma8(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst, std::ptrdiff_t dst_step,
           int height) noexcept {
    luma<Opx8u>(src, src_step, dst, dst_step, W, height, DX, DY, 255);
}

template <int DX, int DY>
void luma16(const Opx16u* src, std::ptrdiff_t src_step, Opx16u* dst, std::ptrdiff_t dst_step,
            int width, int height, int max_value) noexcept {
    luma<Opx16u>(src, src_step, dst, dst_step, width, height, DX, DY, max_value);
}

// ---- chroma (clause 8.4.2.2.2) ----------------------------------------------------------------

// Sample (x, y) of channel c of a source with `channels` interleaved channels. Samples one
// column or row beyond the block are read only with a fractional dx or dy (their weight is
// zero otherwise).
template <class T>
int chroma_sample(const T* src, std::ptrdiff_t step, int channels, int c, int x, int y, int dx,
                  int dy) {
    auto at = [&](int xx, int yy) { return int{src[yy * step + xx * channels + c]}; };
    const int a = at(x, y);
    const int b = dx ? at(x + 1, y) : 0;
    const int cc = dy ? at(x, y + 1) : 0;
    const int d = dx && dy ? at(x + 1, y + 1) : 0;
    return ((8 - dx) * (8 - dy) * a + dx * (8 - dy) * b + (8 - dx) * dy * cc + dx * dy * d + 32) >>
           6;
}

template <class T>
void chroma(const T* src, std::ptrdiff_t src_step, int channels, T* const* dst, int dst_channels,
            std::ptrdiff_t dst_step, int width, int height, int dx, int dy) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                const int v = chroma_sample(src, src_step, channels, c, x, y, dx, dy);
                if (dst_channels == channels)
                    dst[0][y * dst_step + x * channels + c] = static_cast<T>(v);
                else
                    dst[c][y * dst_step + x] = static_cast<T>(v);
            }
}

// DX, DY: whether the fraction is nonzero (chooses the kernel, as in the table index).
template <int W, bool DX, bool DY>
OpxResult chroma8(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst, std::ptrdiff_t dst_step,
                  int height, int frac) noexcept {
    const int dx = frac & 7, dy = frac >> 3;
    chroma<Opx8u>(src, src_step, 1, &dst, 1, dst_step, W, height, DX ? dx : 0, DY ? dy : 0);
    return opxOk;
}
template <int W, bool DX, bool DY>
OpxResult chroma8_c2(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst, std::ptrdiff_t dst_step,
                     int height, int frac) noexcept {
    const int dx = frac & 7, dy = frac >> 3;
    chroma<Opx8u>(src, src_step, 2, &dst, 2, dst_step, W, height, DX ? dx : 0, DY ? dy : 0);
    return opxOk;
}
template <int W, bool DX, bool DY>
void chroma8_split(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst_u, Opx8u* dst_v,
                   std::ptrdiff_t dst_step, int height, int frac) noexcept {
    const int dx = frac & 7, dy = frac >> 3;
    Opx8u* const dst[2] = {dst_u, dst_v};
    chroma<Opx8u>(src, src_step, 2, dst, 1, dst_step, W, height, DX ? dx : 0, DY ? dy : 0);
}
template <bool DX, bool DY>
void chroma16(const Opx16u* src, std::ptrdiff_t src_step, Opx16u* dst, std::ptrdiff_t dst_step,
              int width, int height, int dx, int dy) noexcept {
    chroma<Opx16u>(src, src_step, 1, &dst, 1, dst_step, width, height, DX ? dx : 0, DY ? dy : 0);
}

void average(const Opx8u* src1, std::ptrdiff_t src1_step, const Opx8u* src2,
             std::ptrdiff_t src2_step, Opx8u* dst, std::ptrdiff_t dst_step, int width,
             int height) noexcept {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            dst[y * dst_step + x] =
                static_cast<Opx8u>((src1[y * src1_step + x] + src2[y * src2_step + x] + 1) >> 1);
}

// ---- tables -----------------------------------------------------------------------------------

template <int W, int... P>
constexpr void fill_luma8(InterpLuma8Fn* out, std::integer_sequence<int, P...>) {
    ((out[P] = luma8<W, P % 4, P / 4>), ...);
}
template <int... P>
constexpr void fill_luma16(InterpLuma16Fn* out, std::integer_sequence<int, P...>) {
    ((out[P] = luma16<P % 4, P / 4>), ...);
}

constexpr InterpKernels make_table() {
    InterpKernels t{};
    const auto positions = std::make_integer_sequence<int, 16>{};
    fill_luma8<4>(t.luma8 + 0, positions);
    fill_luma8<8>(t.luma8 + 16, positions);
    fill_luma8<16>(t.luma8 + 32, positions);
    fill_luma8<16>(t.luma8 + 48, positions);
    fill_luma16(t.luma16, positions);
    const InterpChroma8Fn c8[3][4] = {
        {chroma8<2, 0, 0>, chroma8<2, 1, 0>, chroma8<2, 0, 1>, chroma8<2, 1, 1>},
        {chroma8<4, 0, 0>, chroma8<4, 1, 0>, chroma8<4, 0, 1>, chroma8<4, 1, 1>},
        {chroma8<8, 0, 0>, chroma8<8, 1, 0>, chroma8<8, 0, 1>, chroma8<8, 1, 1>}};
    const InterpChroma8Fn c2[3][4] = {
        {chroma8_c2<2, 0, 0>, chroma8_c2<2, 1, 0>, chroma8_c2<2, 0, 1>, chroma8_c2<2, 1, 1>},
        {chroma8_c2<4, 0, 0>, chroma8_c2<4, 1, 0>, chroma8_c2<4, 0, 1>, chroma8_c2<4, 1, 1>},
        {chroma8_c2<8, 0, 0>, chroma8_c2<8, 1, 0>, chroma8_c2<8, 0, 1>, chroma8_c2<8, 1, 1>}};
    const InterpChromaSplit8Fn sp[3][4] = {{chroma8_split<2, 0, 0>, chroma8_split<2, 1, 0>,
                                            chroma8_split<2, 0, 1>, chroma8_split<2, 1, 1>},
                                           {chroma8_split<4, 0, 0>, chroma8_split<4, 1, 0>,
                                            chroma8_split<4, 0, 1>, chroma8_split<4, 1, 1>},
                                           {chroma8_split<8, 0, 0>, chroma8_split<8, 1, 0>,
                                            chroma8_split<8, 0, 1>, chroma8_split<8, 1, 1>}};
    for (int i = 0; i < 16; ++i) {
        const int w = i < 4 ? 0 : i < 8 ? 1 : 2;
        t.chroma8[i] = c8[w][i & 3];
        t.chroma8_c2[i] = c2[w][i & 3];
        t.chroma8_split[i] = sp[w][i & 3];
    }
    t.chroma16[0] = chroma16<0, 0>;
    t.chroma16[1] = chroma16<1, 0>;
    t.chroma16[2] = chroma16<0, 1>;
    t.chroma16[3] = chroma16<1, 1>;
    t.average = average;
    t.gather[0] = edge::gather_clamped<std::uint8_t>;
    t.gather[1] = edge::gather_clamped<std::uint16_t>;
    return t;
}

constexpr InterpKernels kTable = make_table();

}  // namespace

extern const InterpKernels kInterp = kTable;

}  // namespace opx::h264::ref
