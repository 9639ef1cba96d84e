// Read-only tables of the H.264 forward transforms and quantisation.
#include "h264/encode/fwd.hpp"

namespace opx::h264::enc {
namespace {

// H.264 clause 8.5.9, normAdjust4x4: [6 /* qp % 6 */][3 /* class of class4x4() */].
constexpr std::uint8_t kNormAdjust4x4[6][3] = {
    {10, 16, 13}, {11, 18, 14}, {13, 20, 16}, {14, 23, 18}, {16, 25, 20}, {18, 29, 23},
};

// H.264 clause 8.5.9, normAdjust8x8: [6 /* qp % 6 */][6 /* class of class8x8() */].
constexpr std::uint8_t kNormAdjust8x8[6][6] = {
    {20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26}, {26, 23, 42, 24, 33, 31},
    {28, 25, 45, 26, 35, 33}, {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43},
};

// Forward 8x8 scales MF8: [6 /* qp % 6 */][6 /* class of class8x8() */].
constexpr std::uint16_t kQuantScale8x8[6][6] = {
    {13107, 11428, 20972, 12222, 16777, 15481}, {11916, 10826, 19174, 11058, 14980, 14290},
    {10082, 8943, 15978, 9675, 12710, 11985},   {9362, 8228, 14913, 8931, 11984, 11259},
    {8192, 7346, 13159, 7740, 10486, 9777},     {7282, 6428, 11570, 6830, 9118, 8640},
};

template <class T, int N, class Src, int C>
constexpr PerQpRem<T, N> expand(const Src (&src)[6][C]) {
    PerQpRem<T, N> e{};
    for (int m = 0; m < 6; ++m)
        for (int i = 0; i < N; ++i)
            e.v[m][i] = static_cast<T>(src[m][N == 16 ? class4x4(i) : class8x8(i)]);
    return e;
}

}  // namespace

extern const PerQpRem<std::uint16_t, 3> kQuantScale4x4 = kMf4x4;
alignas(32) extern const PerQpRem<std::uint16_t, 16> kQuantScale4x4Raster =
    expand<std::uint16_t, 16>(kMf4x4.v);
alignas(32) extern const PerQpRem<std::uint16_t, 64> kQuantScale8x8Raster =
    expand<std::uint16_t, 64>(kQuantScale8x8);
alignas(32) extern const PerQpRem<std::uint8_t, 16> kNormAdjust4x4Raster =
    expand<std::uint8_t, 16>(kNormAdjust4x4);
alignas(32) extern const PerQpRem<std::uint8_t, 64> kNormAdjust8x8Raster =
    expand<std::uint8_t, 64>(kNormAdjust8x8);

}  // namespace opx::h264::enc
