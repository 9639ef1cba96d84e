// Portable SAD kernels, written per sample from the rules.
#include <cstdlib>

#include "metrics/sad.hpp"

namespace opx::metrics::ref {
namespace {

using portable::candidate;
using portable::sample;

// Σ |S[y][x] − P[y][x]|, P the candidate at position Pos. For 16-bit samples every term is the
// exact difference, so the sum is exact for any sample values.
template <int W, int H, int Pos, class T>
std::int32_t sad(const T* src, std::int32_t src_step, const T* ref,
                 std::int32_t ref_step) noexcept {
    std::int32_t sum = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            sum += std::abs(sample(src, src_step, x, y) - candidate<Pos, 1>(ref, ref_step, x, y));
    return sum;
}

// Interleaved two-channel 8×8 block (16 bytes a row): the horizontal neighbour of a sample is
// the next sample of its channel, two bytes on.
template <int Pos>
void sad_c2(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
            std::int32_t out[2]) noexcept {
    std::int32_t sum[2] = {0, 0};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            sum[x & 1] +=
                std::abs(sample(src, src_step, x, y) - candidate<Pos, 2>(ref, ref_step, x, y));
    out[0] = sum[0];
    out[1] = sum[1];
}

// Candidate i is the block at ref + i (an unsigned 16-bit sum: 16×16 × 255 = 65280 at most).
template <int W>
void xn(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
        Opx16u* out, int m) noexcept {
    for (int i = 0; i < m; ++i)
        out[i] = static_cast<Opx16u>(sad<W, W, kInteger>(src, src_step, ref + i, ref_step));
}

// The least SAD compared as unsigned 16-bit values; ties go to the smaller index.
template <int W>
std::int32_t xni(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
                 Opx16u* out, int m) noexcept {
    xn<W>(src, src_step, ref, ref_step, out, m);
    std::int32_t best = 0;
    for (int i = 1; i < m; ++i)
        if (out[i] < out[best]) best = i;
    return best;
}

// Sub-blocks of B×B in raster order of the sub-blocks.
template <int B, class T, class Out>
void blocks(const T* src, std::int32_t src_step, const T* ref, std::int32_t ref_step,
            Out* out) noexcept {
    constexpr int kPerRow = 16 / B;
    for (int by = 0; by < kPerRow; ++by)
        for (int bx = 0; bx < kPerRow; ++bx)
            out[by * kPerRow + bx] = static_cast<Out>(
                sad<B, B, kInteger>(row_at(src, by * B, src_step) + bx * B, src_step,
                                    row_at(ref, by * B, ref_step) + bx * B, ref_step));
}

template <int W, int H, class T, class Fn>
constexpr void fill_positions(Fn (&row)[kNumPositions]) {
    row[kInteger] = &stored<&sad<W, H, kInteger, T>, T>;
    row[kVertical] = &stored<&sad<W, H, kVertical, T>, T>;
    row[kHorizontal] = &stored<&sad<W, H, kHorizontal, T>, T>;
    row[kBoth] = &stored<&sad<W, H, kBoth, T>, T>;
}

template <std::size_t... S, std::size_t... U, std::size_t... X, std::size_t... B>
constexpr SadKernels make(std::index_sequence<S...>, std::index_sequence<U...>,
                          std::index_sequence<X...>, std::index_sequence<B...>) {
    SadKernels k{};
    (fill_positions<kSadSizes[S].width, kSadSizes[S].height, Opx8u>(k.sad[S]), ...);
    (fill_positions<kSad16uSizes[U].width, kSad16uSizes[U].height, Opx16u>(k.sad16u[U]), ...);
    k.sad_c2[kInteger] = &sad_c2<kInteger>;
    k.sad_c2[kVertical] = &sad_c2<kVertical>;
    k.sad_c2[kHorizontal] = &sad_c2<kHorizontal>;
    k.sad_c2[kBoth] = &sad_c2<kBoth>;
    ((k.xn[X] = &xn<kSadXnSizes[X].width>), ...);
    ((k.xni[X] = &xni<kSadXnSizes[X].width>), ...);
    ((k.blocks8u[B] = &blocks<kSadBlocksSizes[B].width, Opx8u, Opx16u>), ...);
    ((k.blocks16u[B] = &blocks<kSadBlocksSizes[B].width, Opx16u, Opx32u>), ...);
    return k;
}

}  // namespace

extern const SadKernels kSad =
    make(std::make_index_sequence<kNumSadSizes>(), std::make_index_sequence<kNumSad16uSizes>(),
         std::make_index_sequence<kNumXnSizes>(), std::make_index_sequence<kNumBlocksSizes>());

}  // namespace opx::metrics::ref
