// AVX2 kernels of H.264 interpolation, 8-bit: luma per (width, position), chroma per (width,
// fractional axes) for planar, interleaved and splitting layouts, and the block average. The
// 16-bit kernels are in interp16_avx2.cpp.
#include <algorithm>
#include <utility>

#include "h264/decode/interp.hpp"
#include "h264/decode/interp_chroma_avx2.hpp"
#include "h264/decode/interp_luma_avx2.hpp"

namespace opx::h264 {
namespace ref {
extern const InterpKernels kInterp;
}
namespace avx2 {

namespace {

template <int W, int DX, int DY>
void luma8(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds,
           int height) noexcept {
    luma_body<Luma8Layout<W>, DX, DY>(src, ss, dst, ds, height, 255);
}

template <int W, bool DX, bool DY>
__attribute__((noinline)) OpxResult chroma8_rows(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst,
                                                 std::ptrdiff_t ds, int height, int frac) noexcept {
    chroma_body<W, 1, DX, DY, ChromaOut::kSame>(src, ss, dst, nullptr, ds, height, frac);
    return opxOk;
}

template <int W, bool DX, bool DY>
OpxResult chroma8(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int height,
                  int frac) noexcept {
    if constexpr (W <= 4) {
        // Narrow blocks of four rows (4×4, 2×4) take a copy of the body with the height fixed:
        // straight-line code without a stack frame.
        if (OPX_LIKELY(height == 4)) {
            chroma_body<W, 1, DX, DY, ChromaOut::kSame>(src, ss, dst, nullptr, ds, 4, frac);
            return opxOk;
        }
        return chroma8_rows<W, DX, DY>(src, ss, dst, ds, height, frac);
    } else {
        chroma_body<W, 1, DX, DY, ChromaOut::kSame>(src, ss, dst, nullptr, ds, height, frac);
        return opxOk;
    }
}
template <int W, bool DX, bool DY>
OpxResult chroma8_c2(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int height,
                     int frac) noexcept {
    chroma_body<2 * W, 2, DX, DY, ChromaOut::kSame>(src, ss, dst, nullptr, ds, height, frac);
    return opxOk;
}
template <int W, bool DX, bool DY>
void chroma8_split(const Opx8u* src, std::ptrdiff_t ss, Opx8u* du, Opx8u* dv, std::ptrdiff_t ds,
                   int height, int frac) noexcept {
    chroma_body<2 * W, 2, DX, DY, ChromaOut::kSplit>(src, ss, du, dv, ds, height, frac);
}

// Rounded average of N bytes at `off` of a row; both pieces of a row are loaded before either is
// stored, so the destination may be one of the sources.
template <int N>
OPX_INLINE __m128i avg_load(const Opx8u* a, const Opx8u* b) {
    return _mm_avg_epu8(load_bytes<N>(a), load_bytes<N>(b));
}
template <int N>
OPX_INLINE void avg_row(const Opx8u* a, const Opx8u* b, Opx8u* d, int w) {
    const __m128i first = avg_load<N>(a, b);
    const __m128i last = avg_load<N>(a + w - N, b + w - N);
    store_bytes<N>(d, first);
    store_bytes<N>(d + w - N, last);
}

// Rows of exactly N bytes: one piece a row, rows in order.
template <int N>
OPX_INLINE void avg_rows(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2,
                         std::ptrdiff_t step2, Opx8u* d, std::ptrdiff_t ds, int height) {
    for (int y = 0; y < height; ++y, s1 += step1, s2 += step2, d += ds)
        store_bytes<N>(d, avg_load<N>(s1, s2));
}

void average(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2, std::ptrdiff_t step2, Opx8u* d,
             std::ptrdiff_t ds, int width, int height) noexcept {
    switch (width) {  // the block widths of H.264 partitions
        case 16:
            return avg_rows<16>(s1, step1, s2, step2, d, ds, height);
        case 8:
            return avg_rows<8>(s1, step1, s2, step2, d, ds, height);
        case 4:
            return avg_rows<4>(s1, step1, s2, step2, d, ds, height);
        default:
            break;
    }
    for (int y = 0; y < height; ++y, s1 += step1, s2 += step2, d += ds) {
        if (width >= 16)
            avg_row<16>(s1, s2, d, width);
        else if (width >= 8)
            avg_row<8>(s1, s2, d, width);
        else if (width >= 4)
            avg_row<4>(s1, s2, d, width);
        else
            avg_row<2>(s1, s2, d, width);
    }
}

// ---- edge work buffer
// ----------------------------------------------------------------------------

// Fills the edge work buffer for a region whose rows are at most 32 bytes, from pictures whose
// rows are at least 32 bytes: every buffer row is one 32-byte window of a picture row, read
// wholly inside the picture, with the clamped columns picked out by a byte permutation that is
// the same for all rows. A row is written with one store, so that the kernel's loads that follow
// are served from it. Other regions take the portable copier.
template <int E>
void gather(const unsigned char* plane, std::ptrdiff_t step, int frame_width, int frame_height,
            const EdgeRegion& r, unsigned char* buf) noexcept {
    constexpr int kWindow = 32 / E;  // elements
    if (r.width > kWindow || frame_width < kWindow) {
        ref::kInterp.gather[E - 1](plane, step, frame_width, frame_height, r, buf);
        return;
    }
    const std::int64_t base = std::clamp<std::int64_t>(r.x0, 0, frame_width - kWindow);
    // Element c of a row is window element clamp(x0 + c, 0, width - 1) - base, which lies in
    // 0..kWindow-1; the bounds are narrowed to 8 bits without changing any clamped value.
    const int d = static_cast<int>(std::clamp<std::int64_t>(r.x0 - base, -64, 64));
    const int lo = static_cast<int>(std::max<std::int64_t>(-base, -128));
    const int hi = static_cast<int>(std::min<std::int64_t>(frame_width - 1 - base, 127));
    __m256i column, byte;
    if constexpr (E == 1) {
        column = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                  19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
        byte = _mm256_setzero_si256();
    } else {
        column = _mm256_setr_epi8(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10,
                                  10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15);
        byte = _mm256_set1_epi16(0x0100);
    }
    __m256i e = _mm256_add_epi8(column, _mm256_set1_epi8(static_cast<char>(d)));
    e = _mm256_min_epi8(_mm256_max_epi8(e, _mm256_set1_epi8(static_cast<char>(lo))),
                        _mm256_set1_epi8(static_cast<char>(hi)));
    if constexpr (E == 2) e = _mm256_add_epi8(e, e);
    const __m256i index = _mm256_add_epi8(e, byte);
    const __m256i upper = _mm256_cmpgt_epi8(index, _mm256_set1_epi8(15));
    const unsigned char* window = plane + base * E;
    std::int64_t prev = -1;
    __m256i row = _mm256_setzero_si256();
    for (int i = 0; i < r.height; ++i) {
        const std::int64_t y = std::clamp<std::int64_t>(r.y0 + i, 0, frame_height - 1);
        if (y != prev) {
            prev = y;
            const __m256i raw = _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(window + static_cast<std::ptrdiff_t>(y) * step));
            row = _mm256_blendv_epi8(
                _mm256_shuffle_epi8(_mm256_permute4x64_epi64(raw, 0x44), index),
                _mm256_shuffle_epi8(_mm256_permute4x64_epi64(raw, 0xEE), index), upper);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(buf + i * kEdgePitch * E), row);
    }
}

// ---- the table
// ------------------------------------------------------------------------------------

template <int W, int... P>
constexpr void fill_luma8(InterpLuma8Fn* out, std::integer_sequence<int, P...>) {
    ((out[P] = luma8<W, P % 4, P / 4>), ...);
}

template <int... P>
constexpr void fill_luma16(InterpLuma16Fn* out, std::integer_sequence<int, P...>) {
    ((out[P] = luma16<P % 4, P / 4>), ...);
}

template <template <int, bool, bool> class K, class Fn>
constexpr void fill_chroma(Fn* out) {
    const Fn per_width[3][4] = {{K<2, 0, 0>::fn, K<2, 1, 0>::fn, K<2, 0, 1>::fn, K<2, 1, 1>::fn},
                                {K<4, 0, 0>::fn, K<4, 1, 0>::fn, K<4, 0, 1>::fn, K<4, 1, 1>::fn},
                                {K<8, 0, 0>::fn, K<8, 1, 0>::fn, K<8, 0, 1>::fn, K<8, 1, 1>::fn}};
    for (int i = 0; i < 16; ++i) out[i] = per_width[i < 4 ? 0 : i < 8 ? 1 : 2][i & 3];
}
template <int W, bool DX, bool DY>
struct Planar {
    static constexpr InterpChroma8Fn fn = chroma8<W, DX, DY>;
};

template <int W, bool DX, bool DY>
struct Interleaved {
    static constexpr InterpChroma8Fn fn = chroma8_c2<W, DX, DY>;
};
template <int W, bool DX, bool DY>
struct Split {
    static constexpr InterpChromaSplit8Fn fn = chroma8_split<W, DX, DY>;
};

constexpr InterpKernels make_table() {
    InterpKernels t{};
    const auto positions = std::make_integer_sequence<int, 16>{};
    fill_luma8<4>(t.luma8 + 0, positions);
    fill_luma8<8>(t.luma8 + 16, positions);
    fill_luma8<16>(t.luma8 + 32, positions);
    fill_luma8<16>(t.luma8 + 48, positions);
    fill_chroma<Planar>(t.chroma8);
    fill_chroma<Interleaved>(t.chroma8_c2);
    fill_chroma<Split>(t.chroma8_split);
    fill_luma16(t.luma16, positions);
    t.chroma16[chroma16_index(0, 0)] = chroma16<false, false>;
    t.chroma16[chroma16_index(1, 0)] = chroma16<true, false>;
    t.chroma16[chroma16_index(0, 1)] = chroma16<false, true>;
    t.chroma16[chroma16_index(1, 1)] = chroma16<true, true>;
    t.average = average;
    t.gather[0] = gather<1>;
    t.gather[1] = gather<2>;
    return t;
}

}  // namespace

// A constant: filled at compile time, in read-only memory.
extern const InterpKernels kInterp = make_table();

}  // namespace avx2
}  // namespace opx::h264
