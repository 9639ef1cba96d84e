// Portable SSD and frame/field activity kernels, written per sample from the rules.
#include <cstdlib>

#include "metrics/ssd.hpp"

namespace opx::metrics::ref {
namespace {

using portable::candidate;
using portable::sample;

// Σ (P[y][x] − S[y][x])², P the candidate at position Pos.
template <int W, int H, int Pos>
std::int32_t ssd(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                 std::int32_t ref_step) noexcept {
    std::int32_t sum = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int d = candidate<Pos, 1>(ref, ref_step, x, y) - sample(src, src_step, x, y);
            sum += d * d;
        }
    return sum;
}

// Σ over the 16 samples of |r_a − r_b|.
int row_sad(const Opx8u* src, std::int32_t step, int a, int b) noexcept {
    int s = 0;
    for (int x = 0; x < 16; ++x) s += std::abs(sample(src, step, x, a) - sample(src, step, x, b));
    return s;
}

// frame: rows (y, y+1) for y = 0..6 and 8..14; field: rows (y, y+2) for y = 0..13.
FrameField frame_field_8u(const Opx8u* src, std::int32_t step) noexcept {
    FrameField r{0, 0};
    for (int y = 0; y < 15; ++y)
        if (y != 7) r.frame += row_sad(src, step, y, y + 1);
    for (int y = 0; y < 14; ++y) r.field += row_sad(src, step, y, y + 2);
    return r;
}

// The same in wrapping 16-bit arithmetic: the difference modulo 2^16 read as signed, its
// absolute value modulo 2^16 (|−32768| stays 0x8000), sums modulo 2^16, zero-extended.
std::uint16_t row_sad16(const Opx16s* src, std::int32_t step, int a, int b) noexcept {
    std::uint16_t s = 0;
    for (int x = 0; x < 16; ++x) {
        const auto d = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(sample(src, step, x, a) - sample(src, step, x, b)));
        const auto ad = static_cast<std::uint16_t>(d < 0 ? -static_cast<int>(d) : d);
        s = static_cast<std::uint16_t>(s + ad);
    }
    return s;
}

FrameField frame_field_16s(const Opx16s* src, std::int32_t step) noexcept {
    std::uint16_t frame = 0, field = 0;
    for (int y = 0; y < 15; ++y)
        if (y != 7) frame = static_cast<std::uint16_t>(frame + row_sad16(src, step, y, y + 1));
    for (int y = 0; y < 14; ++y)
        field = static_cast<std::uint16_t>(field + row_sad16(src, step, y, y + 2));
    return {frame, field};
}

template <int W, int H>
constexpr void fill_positions(SsdFn (&row)[kNumPositions]) {
    row[kInteger] = &stored<&ssd<W, H, kInteger>, Opx8u>;
    row[kVertical] = &stored<&ssd<W, H, kVertical>, Opx8u>;
    row[kHorizontal] = &stored<&ssd<W, H, kHorizontal>, Opx8u>;
    row[kBoth] = &stored<&ssd<W, H, kBoth>, Opx8u>;
}

template <std::size_t... S>
constexpr SsdKernels make(std::index_sequence<S...>) {
    SsdKernels k{};
    (fill_positions<kSsdSizes[S].width, kSsdSizes[S].height>(k.ssd[S]), ...);
    k.frame_field_8u = &frame_field_8u;
    k.frame_field_16s = &frame_field_16s;
    return k;
}

}  // namespace

extern const SsdKernels kSsd = make(std::make_index_sequence<kNumSsdSizes>());

}  // namespace opx::metrics::ref
