// Portable block statistics and differences, written per sample from the rules in stats.hpp.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include "metrics/stats.hpp"

namespace opx::metrics::ref {
namespace {

using portable::sample;

// Half-sample prediction P[y][x] at position Pos with rounding bit r (0 or 1) and horizontal
// neighbour N bytes on.
template <int Pos, int N>
int pred(const Opx8u* ref, std::int32_t step, int x, int y, int r) noexcept {
    const int a = sample(ref, step, x, y);
    if constexpr (Pos == kInteger) {
        return a;
    } else if constexpr (Pos == kVertical) {
        return (a + sample(ref, step, x, y + 1) + 1 - r) >> 1;
    } else if constexpr (Pos == kHorizontal) {
        return (a + sample(ref, step, x + N, y) + 1 - r) >> 1;
    } else {
        return (a + sample(ref, step, x + N, y) + sample(ref, step, x, y + 1) +
                sample(ref, step, x + N, y + 1) + 2 - r) >>
               2;
    }
}

template <class T>
T& at(T* base, std::int32_t step, int x, int y) noexcept {
    return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(base) + row_offset(y, step))[x];
}

// Position of sample (x, y) of a W-wide block in 4x4-block order.
template <int W>
int block_order(int x, int y) noexcept {
    const int k = (y / 4) * (W / 4) + x / 4;
    return 16 * k + 4 * (y % 4) + x % 4;
}

template <int N>
std::int32_t mean_abs_dev(const Opx8u* src, std::int32_t step) noexcept {
    std::int32_t s = 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) s += sample(src, step, x, y);
    const std::int32_t m = (s + N * N / 2) / (N * N);
    std::int32_t d = 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) d += std::abs(sample(src, step, x, y) - m);
    return d;
}

std::int32_t variance16(const Opx8u* src, std::int32_t step) noexcept {
    std::int64_t s = 0, q = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int v = sample(src, step, x, y);
            s += v;
            q += v * v;
        }
    return static_cast<std::int32_t>(q - ((s * s) >> 8));
}

// The single-precision variance of the rules; each statement is one rounded float operation.
std::int32_t float_variance(std::int64_t s, std::int64_t q) noexcept {
    const float a = static_cast<float>(q) / 64.0f;
    const float b = static_cast<float>(s) / 64.0f;
    const float c = b * b;
    const float v = a - c;
    return static_cast<std::int32_t>(v);
}

template <class T>
void var_sum(const T* src, std::int32_t step, Opx32s* var, Opx32s* sum) noexcept {
    std::int64_t s = 0, q = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::int64_t v = sample(src, step, x, y);
            s += v;
            q += v * v;
        }
    *var = float_variance(s, q);
    *sum = static_cast<Opx32s>(s);
}

OpxResult var_sum8u(const Opx8u* src, std::int32_t step, Opx32s* var, Opx32s* sum) noexcept {
    var_sum(src, step, var, sum);
    return opxOk;
}

template <int Pos>
std::int32_t sqr_diff(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                      std::int32_t ref_step) noexcept {
    std::int32_t s = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int d = sample(src, src_step, x, y) - pred<Pos, 1>(ref, ref_step, x, y, 0);
            s += d * d;
        }
    return s;
}

template <int N>
void sub8u(const Opx8u* a, std::int32_t a_step, const Opx8u* b, std::int32_t b_step, Opx16s* dst,
           std::int32_t dst_step) noexcept {
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            at(dst, dst_step, x, y) =
                static_cast<Opx16s>(sample(a, a_step, x, y) - sample(b, b_step, x, y));
}

void sub_sad8x8(const Opx8u* a, std::int32_t a_step, const Opx8u* b, std::int32_t b_step,
                Opx16s* dst, std::int32_t dst_step, Opx32s* sad) noexcept {
    sub8u<8>(a, a_step, b, b_step, dst, dst_step);
    std::int32_t s = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) s += std::abs(sample(a, a_step, x, y) - sample(b, b_step, x, y));
    *sad = s;
}

template <int N, class T, class Sum>
void sums_diff(const T* src, std::int32_t src_step, const T* pred_, std::int32_t pred_step,
               Sum* sums, Opx16s* diff) noexcept {
    for (int k = 0; k < (N / 4) * (N / 4); ++k) sums[k] = 0;
    std::int32_t acc[16] = {};
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const std::int32_t d = sample(src, src_step, x, y) - sample(pred_, pred_step, x, y);
            acc[(y / 4) * (N / 4) + x / 4] += d;
            if (diff) diff[block_order<N>(x, y)] = static_cast<Opx16s>(d);  // modulo 2^16
        }
    for (int k = 0; k < (N / 4) * (N / 4); ++k) sums[k] = static_cast<Sum>(acc[k]);
}

template <int N>
OpxResult sums_diff8u(const Opx8u* src, std::int32_t src_step, const Opx8u* p, std::int32_t p_step,
                      Opx16s* sums, Opx16s* diff) noexcept {
    sums_diff<N>(src, src_step, p, p_step, sums, diff);
    return opxOk;
}

// Edge samples of the top-left 15x15; the loop may stop once the count exceeds the limit
// without changing the answer.
template <class T, class Less>
bool edges(const T* src, std::int32_t step, std::uint32_t count, Less exceeds) noexcept {
    std::uint32_t n = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x) {
            const int v = sample(src, step, x, y);
            if (exceeds(std::abs(v - sample(src, step, x + 1, y))) ||
                exceeds(std::abs(v - sample(src, step, x, y + 1))))
                ++n;
        }
        if (n > count) return true;
    }
    return false;
}

bool edges8u(const Opx8u* src, std::int32_t step, std::uint32_t difference,
             std::uint32_t count) noexcept {
    const int t = static_cast<std::int8_t>(static_cast<std::uint8_t>(difference & 0xFF));
    return edges(src, step, count, [t](int d) { return std::min(d, 127) > t; });
}

}  // namespace

// ---- kernels shared with the AVX2 table ------------------------------------------------------

template <int W, int H, int Pos>
void diff(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref, std::int32_t ref_step,
          Opx16s* d, std::int32_t diff_step, Opx16s* p, std::int32_t pred_step, int r) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int pv = pred<Pos, 1>(ref, ref_step, x, y, r);
            at(d, diff_step, x, y) = static_cast<Opx16s>(sample(cur, cur_step, x, y) - pv);
            if (p) at(p, pred_step, x, y) = static_cast<Opx16s>(pv);
        }
}

template <int W, int H, int PosF, int PosB>
void diff_b(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref_f, std::int32_t f_step,
            const Opx8u* ref_b, std::int32_t b_step, Opx16s* d, std::int32_t diff_step,
            int r) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int pv =
                (pred<PosF, 1>(ref_f, f_step, x, y, r) + pred<PosB, 1>(ref_b, b_step, x, y, r) + 1) >>
                1;
            at(d, diff_step, x, y) = static_cast<Opx16s>(sample(cur, cur_step, x, y) - pv);
        }
}

template <int H, int Pos>
void diff_c2(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref, std::int32_t ref_step,
             Opx16s* du, std::int32_t u_step, Opx16s* dv, std::int32_t v_step, int r) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 16; ++x) {
            const int d = sample(cur, cur_step, x, y) - pred<Pos, 2>(ref, ref_step, x, y, r);
            at(x & 1 ? dv : du, x & 1 ? v_step : u_step, x >> 1, y) = static_cast<Opx16s>(d);
        }
}

template <int H, int PosF, int PosB>
void diff_c2_b(const Opx8u* cur, std::int32_t cur_step, const Opx8u* ref_f, std::int32_t f_step,
               const Opx8u* ref_b, std::int32_t b_step, Opx16s* du, std::int32_t u_step,
               Opx16s* dv, std::int32_t v_step, int r) noexcept {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 16; ++x) {
            const int pv =
                (pred<PosF, 2>(ref_f, f_step, x, y, r) + pred<PosB, 2>(ref_b, b_step, x, y, r) + 1) >>
                1;
            const int d = sample(cur, cur_step, x, y) - pv;
            at(x & 1 ? dv : du, x & 1 ? v_step : u_step, x >> 1, y) = static_cast<Opx16s>(d);
        }
}

template <int N>
void sub16u(const Opx16u* a, std::int32_t a_step, const Opx16u* b, std::int32_t b_step,
            Opx16s* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            at(dst, dst_step, x, y) = static_cast<Opx16s>(
                static_cast<std::uint16_t>(sample(a, a_step, x, y) - sample(b, b_step, x, y)));
}

template <int N>
void sums_diff16u(const Opx16u* src, std::int32_t src_step, const Opx16u* p, std::int32_t p_step,
                  Opx32s* sums, Opx16s* diff) noexcept {
    sums_diff<N>(src, src_step, p, p_step, sums, diff);
}

void sums_diff_c2(const Opx8u* src, std::int32_t src_step, const Opx8u* pred_u,
                  std::int32_t pred_u_step, const Opx8u* pred_v, std::int32_t pred_v_step,
                  Opx16s* sums_u, Opx16s* diff_u, Opx16s* sums_v, Opx16s* diff_v) noexcept {
    const Opx8u* preds[2] = {pred_u, pred_v};
    const std::int32_t steps[2] = {pred_u_step, pred_v_step};
    Opx16s* sums[2] = {sums_u, sums_v};
    Opx16s* diffs[2] = {diff_u, diff_v};
    for (int c = 0; c < 2; ++c) {
        std::int32_t acc[4] = {};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int d = sample(src, src_step, 2 * x + c, y) - sample(preds[c], steps[c], x, y);
                acc[(y / 4) * 2 + x / 4] += d;
                if (diffs[c]) diffs[c][block_order<8>(x, y)] = static_cast<Opx16s>(d);
            }
        for (int k = 0; k < 4; ++k) sums[c][k] = static_cast<Opx16s>(acc[k]);
    }
}

void var_sum16s(const Opx16s* src, std::int32_t step, Opx32s* var, Opx32s* sum) noexcept {
    var_sum(src, step, var, sum);
}

template <int H, int Pos>
void var_mean_diff(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                   std::int32_t ref_step, const Opx32s* src_sum, Opx32s* var,
                   Opx32s* mean) noexcept {
    for (int k = 0; k < 2 * (H / 8); ++k) {
        const int bx = (k % 2) * 8, by = (k / 2) * 8;
        std::int64_t sp = 0, sd2 = 0;
        for (int y = by; y < by + 8; ++y)
            for (int x = bx; x < bx + 8; ++x) {
                const int p = pred<Pos, 1>(ref, ref_step, x, y, 0);
                const int d = sample(src, src_step, x, y) - p;
                sp += p;
                sd2 += d * d;
            }
        const std::int64_t m = (std::int64_t{src_sum[k]} - sp) / 8;  // truncates toward zero
        const std::int64_t v = (sd2 - m * m) >> 6;
        mean[k] = static_cast<Opx32s>(m);
        var[k] = static_cast<Opx32s>(std::clamp<std::int64_t>(
            v, std::numeric_limits<Opx32s>::min(), std::numeric_limits<Opx32s>::max()));
    }
}

template <int PosF, int PosB>
std::int32_t sqr_diff_b(const Opx8u* src, std::int32_t src_step, const Opx8u* ref_f,
                        std::int32_t f_step, const Opx8u* ref_b, std::int32_t b_step) noexcept {
    std::int32_t s = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int p =
                (pred<PosF, 1>(ref_f, f_step, x, y, 0) + pred<PosB, 1>(ref_b, b_step, x, y, 0) + 1) >>
                1;
            const int d = sample(src, src_step, x, y) - p;
            s += d * d;
        }
    return s;
}

bool edges16u(const Opx16u* src, std::int32_t step, std::uint32_t difference,
              std::uint32_t count) noexcept {
    return edges(src, step, count,
                 [difference](int d) { return static_cast<std::uint32_t>(d) > difference; });
}

// ---- the table ---------------------------------------------------------------------------

namespace {

template <std::size_t S, int F>
constexpr void fill_b(StatsKernels& k) {
    constexpr int W = kDiffSizes[S].width, H = kDiffSizes[S].height;
    k.diff_b[S][F][0] = &diff_b<W, H, F, 0>;
    k.diff_b[S][F][1] = &diff_b<W, H, F, 1>;
    k.diff_b[S][F][2] = &diff_b<W, H, F, 2>;
    k.diff_b[S][F][3] = &diff_b<W, H, F, 3>;
}
template <std::size_t S>
constexpr void fill_size(StatsKernels& k) {
    constexpr int W = kDiffSizes[S].width, H = kDiffSizes[S].height;
    k.diff[S][0] = &diff<W, H, 0>;
    k.diff[S][1] = &diff<W, H, 1>;
    k.diff[S][2] = &diff<W, H, 2>;
    k.diff[S][3] = &diff<W, H, 3>;
    fill_b<S, 0>(k);
    fill_b<S, 1>(k);
    fill_b<S, 2>(k);
    fill_b<S, 3>(k);
}
template <int C, int H, int F>
constexpr void fill_c2_b(StatsKernels& k) {
    k.diff_c2_b[C][F][0] = &diff_c2_b<H, F, 0>;
    k.diff_c2_b[C][F][1] = &diff_c2_b<H, F, 1>;
    k.diff_c2_b[C][F][2] = &diff_c2_b<H, F, 2>;
    k.diff_c2_b[C][F][3] = &diff_c2_b<H, F, 3>;
}
template <int C, int H>
constexpr void fill_c2(StatsKernels& k) {
    k.diff_c2[C][0] = &diff_c2<H, 0>;
    k.diff_c2[C][1] = &diff_c2<H, 1>;
    k.diff_c2[C][2] = &diff_c2<H, 2>;
    k.diff_c2[C][3] = &diff_c2<H, 3>;
    fill_c2_b<C, H, 0>(k);
    fill_c2_b<C, H, 1>(k);
    fill_c2_b<C, H, 2>(k);
    fill_c2_b<C, H, 3>(k);
}
template <int F>
constexpr void fill_sqr_b(StatsKernels& k) {
    k.sqr_diff_b[F][0] = &sqr_diff_b<F, 0>;
    k.sqr_diff_b[F][1] = &sqr_diff_b<F, 1>;
    k.sqr_diff_b[F][2] = &sqr_diff_b<F, 2>;
    k.sqr_diff_b[F][3] = &sqr_diff_b<F, 3>;
}
template <int V, int H>
constexpr void fill_vmd(StatsKernels& k) {
    k.var_mean_diff[V][0] = &var_mean_diff<H, 0>;
    k.var_mean_diff[V][1] = &var_mean_diff<H, 1>;
    k.var_mean_diff[V][2] = &var_mean_diff<H, 2>;
    k.var_mean_diff[V][3] = &var_mean_diff<H, 3>;
}

template <std::size_t... S>
constexpr StatsKernels make(std::index_sequence<S...>) {
    StatsKernels k{};
    (fill_size<S>(k), ...);
    fill_c2<kC2x8, 8>(k);
    fill_c2<kC2x4, 4>(k);
    k.sub8u[kSub16x16] = &sub8u<16>;
    k.sub8u[kSub8x8] = &sub8u<8>;
    k.sub8u[kSub4x4] = &sub8u<4>;
    k.sub16u[kSub16u8x8] = &sub16u<8>;
    k.sub16u[kSub16u4x4] = &sub16u<4>;
    k.sub_sad8x8 = &sub_sad8x8;
    k.sums_diff8u[kSquare16] = &sums_diff8u<16>;
    k.sums_diff8u[kSquare8] = &sums_diff8u<8>;
    k.sums_diff16u[kSquare16] = &sums_diff16u<16>;
    k.sums_diff16u[kSquare8] = &sums_diff16u<8>;
    k.sums_diff_c2 = &sums_diff_c2;
    k.mean_abs_dev[kSquare16] = &mean_abs_dev<16>;
    k.mean_abs_dev[kSquare8] = &mean_abs_dev<8>;
    k.variance16 = &variance16;
    k.variance16_out = &variance_stored<&variance16>;
    k.var_sum8u = &var_sum8u;
    k.var_sum16s = &var_sum16s;
    fill_vmd<kVmd16x16, 16>(k);
    fill_vmd<kVmd16x8, 8>(k);
    k.sqr_diff[0] = &sqr_diff<0>;
    k.sqr_diff[1] = &sqr_diff<1>;
    k.sqr_diff[2] = &sqr_diff<2>;
    k.sqr_diff[3] = &sqr_diff<3>;
    k.sqr_diff_out[0] = &stored<&sqr_diff<0>, Opx8u>;
    k.sqr_diff_out[1] = &stored<&sqr_diff<1>, Opx8u>;
    k.sqr_diff_out[2] = &stored<&sqr_diff<2>, Opx8u>;
    k.sqr_diff_out[3] = &stored<&sqr_diff<3>, Opx8u>;
    fill_sqr_b<0>(k);
    fill_sqr_b<1>(k);
    fill_sqr_b<2>(k);
    fill_sqr_b<3>(k);
    k.edges8u = &edges8u;
    k.edges16u = &edges16u;
    return k;
}

}  // namespace

extern const StatsKernels kStats = make(std::make_index_sequence<kNumDiffSizes>());

}  // namespace opx::metrics::ref
