// Read-only tables of the H.264 inverse transforms and dequantisation.
#include "h264/decode/transform.hpp"

namespace opx::h264 {
namespace {

// H.264 clause 8.5.9, normAdjust4x4: [6 /* qP % 6 */][3 /* class: both even, both odd, mixed */].
constexpr Table2<std::uint8_t, 6, 3> kNormAdjust = {{
    {10, 16, 13},
    {11, 18, 14},
    {13, 20, 16},
    {14, 23, 18},
    {16, 25, 20},
    {18, 29, 23},
}};

constexpr Table2<Opx16s, 52, 16> make_dequant_flat() {
    Table2<Opx16s, 52, 16> t{};
    for (int qp = 0; qp < 52; ++qp)
        for (int i = 0; i < 16; ++i)
            t.v[qp][i] = static_cast<Opx16s>(kNormAdjust[qp % 6][class4x4(i)] << (qp / 6));
    return t;
}

constexpr Table2<Opx16s, 6, 16> make_flat_level_scale() {
    Table2<Opx16s, 6, 16> t{};
    for (int m = 0; m < 6; ++m)
        for (int i = 0; i < 16; ++i)
            t.v[m][i] = static_cast<Opx16s>(16 * kNormAdjust[m][class4x4(i)]);
    return t;
}

}  // namespace

extern const Table2<std::uint8_t, 6, 3> kNormAdjust4x4 = kNormAdjust;

// H.264 clause 8.6.1, LevelScale2 (the forward quantisation factors):
// [6 /* QS % 6 */][3 /* class: both even, both odd, mixed */].
extern const Table2<std::uint16_t, 6, 3> kLevelScale2 = {{
    {13107, 5243, 8066},
    {11916, 4660, 7490},
    {10082, 4194, 6554},
    {9362, 3647, 5825},
    {8192, 3355, 5243},
    {7282, 2893, 4559},
}};

// LevelScale4x4 with the flat weight 16: [6 /* qP % 6 */][16 /* raster position */].
alignas(32) extern const Table2<Opx16s, 6, 16> kFlatLevelScale4x4 = make_flat_level_scale();

// Flat dequantisation factors v(qp % 6, class) << (qp / 6): [52 /* qp */][16 /* raster */].
alignas(32) extern const Table2<Opx16s, 52, 16> kDequantFlat4x4 = make_dequant_flat();

}  // namespace opx::h264
