// AVX2 MPEG-4 quarter-sample copies and OBMC. A block row (or the column run of the vertical
// pass) is held as sixteen 16-bit lanes; the mirrored taps beyond the ends of the row are laid out
// once in a small extended row, from which the eight tap vectors are unaligned loads. Eight-wide
// blocks use the low half of the lanes.
#include <immintrin.h>

#include <cstring>

#include "mpeg4/qpel.hpp"

namespace opx::mpeg4::avx2 {
namespace {

// Rounded average (a + b + 1 − rc) >> 1 of 16-bit lanes.
inline __m256i avg_rc(__m256i a, __m256i b, __m256i one_minus_rc) noexcept {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a, b), one_minus_rc), 1);
}

// The 8-tap half-sample filter on tap vectors e[0..7] (e[3], e[4] the two centre samples),
// rounded with 16 − rc, shifted by 5 and clamped to 0..255.
inline __m256i taps8(const __m256i* e, __m256i round) noexcept {
    __m256i s = _mm256_mullo_epi16(_mm256_add_epi16(e[3], e[4]), _mm256_set1_epi16(20));
    s = _mm256_sub_epi16(s, _mm256_mullo_epi16(_mm256_add_epi16(e[2], e[5]), _mm256_set1_epi16(6)));
    const __m256i o = _mm256_add_epi16(e[1], e[6]);
    s = _mm256_add_epi16(s, _mm256_add_epi16(o, _mm256_add_epi16(o, o)));
    s = _mm256_sub_epi16(s, _mm256_add_epi16(e[0], e[7]));
    s = _mm256_srai_epi16(_mm256_add_epi16(s, round), 5);
    return _mm256_min_epi16(_mm256_max_epi16(s, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

inline __m256i widen16(const Opx8u* p) noexcept {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

inline void store_row(Opx8u* d, __m256i v, int w) noexcept {
    const __m128i b = _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    if (w == 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), b);
    else
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), b);
}

// Byte shuffles that lay out the eight taps of the horizontal filter for output columns 0..15 from
// a row held in a register: tap k of column x reads sample x − 3 + k, mirrored into 0..W
// (−1 reads 0, W + 1 reads W). Sample W is not in the register: `last` marks where it is taken.
template <int W>
struct TapIndex {
    alignas(16) std::int8_t idx[8][16];
    alignas(16) std::int8_t last[8][16];
};
template <int W>
constexpr TapIndex<W> make_tap_index() {
    TapIndex<W> t{};
    for (int k = 0; k < 8; ++k)
        for (int x = 0; x < 16; ++x) {
            int i = x - 3 + k;
            i = i < 0 ? -1 - i : i > W ? 2 * W + 1 - i : i;
            const bool beyond = x >= W || i == W;
            t.idx[k][x] = static_cast<std::int8_t>(beyond ? -128 : i);
            t.last[k][x] = static_cast<std::int8_t>(x < W && i == W ? -1 : 0);
        }
    return t;
}
template <int W>
constexpr TapIndex<W> kTapIndex = make_tap_index<W>();

template <int W, int H>
void copy_qp(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int acc,
             int rc) noexcept {
    if (acc == 0) {
        for (int y = 0; y < H; ++y) std::memcpy(dst + y * ds, src + y * ss, W);
        return;
    }
    const int dx = acc & 3, dy = acc >> 2;
    const __m256i round = _mm256_set1_epi16(static_cast<short>(16 - rc));
    const __m256i omr = _mm256_set1_epi16(static_cast<short>(1 - rc));
    __m256i t[H + 1 + 6];  // rows −3 .. H + 3 of the horizontal pass, mirrored
    __m256i* tr = t + 3;
    const int rows = dy ? H + 1 : H;
    for (int y = 0; y < rows; ++y) {
        const Opx8u* row = src + y * ss;
        if (dx == 0) {
            if (W == 16)
                tr[y] = widen16(row);
            else
                tr[y] =
                    _mm256_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row)));
            continue;
        }
        // samples 0..W−1 in a register, sample W (the last one the filter may read) broadcast
        const __m128i v = W == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row))
                                  : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
        const __m128i last = _mm_set1_epi8(static_cast<char>(row[W]));
        __m256i e[8];
        for (int k = 0; k < 8; ++k) {
            const __m128i idx =
                _mm_load_si128(reinterpret_cast<const __m128i*>(kTapIndex<W>.idx[k]));
            const __m128i sel =
                _mm_load_si128(reinterpret_cast<const __m128i*>(kTapIndex<W>.last[k]));
            e[k] = _mm256_cvtepu8_epi16(_mm_blendv_epi8(_mm_shuffle_epi8(v, idx), last, sel));
        }
        const __m256i hv = taps8(e, round);
        tr[y] = dx == 2 ? hv : avg_rc(hv, dx == 1 ? e[3] : e[4], omr);
    }
    if (dy == 0) {
        for (int y = 0; y < H; ++y) store_row(dst + y * ds, tr[y], W);
        return;
    }
    tr[-1] = tr[0];
    tr[-2] = tr[1];
    tr[-3] = tr[2];
    tr[H + 1] = tr[H];
    tr[H + 2] = tr[H - 1];
    tr[H + 3] = tr[H - 2];
    for (int y = 0; y < H; ++y) {
        const __m256i vv = taps8(tr + y - 3, round);
        const __m256i out = dy == 2 ? vv : avg_rc(vv, dy == 1 ? tr[y] : tr[y + 1], omr);
        store_row(dst + y * ds, out, W);
    }
}

// Half-sample block prediction, row step N.
template <int N>
void hp_block(const Opx8u* p, std::ptrdiff_t ss, Opx8u* out, int acc, int rc) noexcept {
    auto load = [](const Opx8u* r) {
        return N == 16 ? widen16(r)
                       : _mm256_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r)));
    };
    const int ox = acc & 1;
    const std::ptrdiff_t oy = (acc >> 1) ? ss : 0;
    const __m256i omr = _mm256_set1_epi16(static_cast<short>(1 - rc));
    const __m256i tmr = _mm256_set1_epi16(static_cast<short>(2 - rc));
    for (int y = 0; y < N; ++y) {
        const Opx8u* r = p + y * ss;
        __m256i v = load(r);
        if (acc == 3) {
            const __m256i s = _mm256_add_epi16(_mm256_add_epi16(v, load(r + 1)),
                                               _mm256_add_epi16(load(r + ss), load(r + ss + 1)));
            v = _mm256_srli_epi16(_mm256_add_epi16(s, tmr), 2);
        } else if (acc) {
            v = avg_rc(v, load(r + ox + oy), omr);
        }
        store_row(out + y * N, v, N);
    }
}

void qp8_block(const Opx8u* p, std::ptrdiff_t ss, Opx8u* out, int acc, int rc) noexcept {
    copy_qp<8, 8>(p, ss, out, 8, acc, rc);
}

template <int N>
void weight_blend(const Opx8u* q, const Opx8u* s, const Opx8u* t, Opx8u* dst,
                  std::ptrdiff_t ds) noexcept;

#include "mpeg4/obmc_body.inc"

// Weights expanded to the block's rows (each entry covers N / 8 samples in both directions).
template <int N>
inline __m256i weights_row(const std::uint8_t* m, int y) noexcept {
    const std::uint8_t* r = m + (y * 8 / N) * 8;
    __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r));
    if (N == 16) w = _mm_unpacklo_epi8(w, w);
    return _mm256_cvtepu8_epi16(w);
}

template <int N>
void weight_blend(const Opx8u* q, const Opx8u* s, const Opx8u* t, Opx8u* dst,
                  std::ptrdiff_t ds) noexcept {
    auto load = [](const Opx8u* r) {
        return N == 16 ? widen16(r)
                       : _mm256_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r)));
    };
    const __m256i four = _mm256_set1_epi16(4);
    for (int y = 0; y < N; ++y) {
        const __m256i a = _mm256_mullo_epi16(load(q + y * N), weights_row<N>(kObmcH0, y));
        const __m256i b = _mm256_mullo_epi16(load(s + y * N), weights_row<N>(kObmcH2, y));
        const __m256i c = _mm256_mullo_epi16(load(t + y * N), weights_row<N>(kObmcH1, y));
        const __m256i v = _mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(c, four));
        store_row(dst + y * ds, _mm256_srli_epi16(v, 3), N);
    }
}

void copy8x8(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
             int r) noexcept {
    copy_qp<8, 8>(s, ss, d, ds, a, r);
}
void copy16x8(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
              int r) noexcept {
    copy_qp<16, 8>(s, ss, d, ds, a, r);
}
void copy16x16(const Opx8u* s, std::ptrdiff_t ss, Opx8u* d, std::ptrdiff_t ds, int a,
               int r) noexcept {
    copy_qp<16, 16>(s, ss, d, ds, a, r);
}

}  // namespace

const QpelKernels kQpel = {
    {copy8x8, copy16x8, copy16x16}, obmc<8, false>, obmc<16, false>, obmc<8, true>};

}  // namespace opx::mpeg4::avx2
