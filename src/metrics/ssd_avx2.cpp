// AVX2-build SSD and frame/field activity kernels.
#include "metrics/rows_avx2.hpp"
#include "metrics/ssd.hpp"

namespace opx::metrics::avx2 {
namespace {

// Σ (P − S)² over one row group: bytes interleaved (P, S) and multiplied by (1, −1) give the
// differences in 16-bit lanes (±255); pmaddwd squares and adds pairs (≤ 130050 per lane).
OPX_INLINE __m128i squares(__m128i p, __m128i s) noexcept {
    const __m128i pm = _mm_set1_epi16(0xFF01);
    const __m128i lo = _mm_maddubs_epi16(_mm_unpacklo_epi8(p, s), pm);
    const __m128i hi = _mm_maddubs_epi16(_mm_unpackhi_epi8(p, s), pm);
    return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

// Integer position, 4×4: each row on its own, so that little work follows the last load. The
// row's bytes interleaved (S, R) and multiplied by (1, −1) give its four differences (±255),
// pmaddwd squares and adds pairs: two 32-bit lanes per row (≤ 130050 each). A tree adds the rows
// and one step the two lanes; combining rows first would leave a four-lane sum at the end.
std::int32_t ssd_4x4(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                     std::int32_t ref_step) noexcept {
    const __m128i pm = _mm_set1_epi16(0xFF01);
    __m128i q[4];
    for (int y = 0; y < 4; ++y) {
        const __m128i x =
            _mm_unpacklo_epi8(load4(row8(src, y, src_step)), load4(row8(ref, y, ref_step)));
        const __m128i d = _mm_maddubs_epi16(x, pm);
        q[y] = _mm_madd_epi16(d, d);
    }
    const __m128i t = _mm_add_epi32(_mm_add_epi32(q[0], q[1]), _mm_add_epi32(q[2], q[3]));
    return _mm_cvtsi128_si32(_mm_add_epi32(t, _mm_shuffle_epi32(t, _MM_SHUFFLE(1, 1, 1, 1))));
}

// Integer position, 8 wide: samples zero-extended to 16 bits as they are loaded, one pmaddwd per
// row.
template <int H>
std::int32_t ssd_8xh(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                     std::int32_t ref_step) noexcept {
    __m128i acc[4];
#pragma GCC unroll 8
    for (int y = 0; y < H; ++y) {
        const __m128i s = _mm_cvtepu8_epi16(load8(row8(src, y, src_step)));
        const __m128i r = _mm_cvtepu8_epi16(load8(row8(ref, y, ref_step)));
        const __m128i d = _mm_sub_epi16(r, s);
        const __m128i q = _mm_madd_epi16(d, d);
        acc[y & 3] = y < 4 ? q : _mm_add_epi32(acc[y & 3], q);
    }
    constexpr int kUsed = H < 4 ? H : 4;
    __m128i sum = acc[0];
    for (int i = 1; i < kUsed; ++i) sum = _mm_add_epi32(sum, acc[i]);
    return hsum_epi32(sum);
}

template <int W, int H, int Pos>
std::int32_t ssd(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                 std::int32_t ref_step) noexcept {
    if constexpr (Pos == kInteger && W == 4) {
        static_assert(H == 4);
        return ssd_4x4(src, src_step, ref, ref_step);
    }
    if constexpr (Pos == kInteger && W == 8) return ssd_8xh<H>(src, src_step, ref, ref_step);
    constexpr int kRows = 16 / W, kGroups = H / kRows;
    Candidate8u<W, Pos> cand(ref, ref_step);
    __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g) {
        const __m128i s = load_group<W>(row8(src, g * kRows, src_step), src_step);
        const __m128i q = squares(cand.next(), s);
        if (g & 1)
            acc1 = _mm_add_epi32(acc1, q);
        else
            acc0 = _mm_add_epi32(acc0, q);
    }
    return hsum_epi32(_mm_add_epi32(acc0, acc1));
}

// All sixteen rows are loaded once; frame pairs (y, y+1) skip y = 7, field pairs are (y, y+2).
// Each psadbw half is at most 8 × 255; the totals at most 14 × 16 × 255 = 57120.
FrameField frame_field_8u(const Opx8u* src, std::int32_t step) noexcept {
    __m128i r[16];
    for (int y = 0; y < 16; ++y) r[y] = load16(row8(src, y, step));
    __m128i frame = _mm_setzero_si128(), field = _mm_setzero_si128();
    for (int y = 0; y < 15; ++y)
        if (y != 7) frame = _mm_add_epi32(frame, _mm_sad_epu8(r[y], r[y + 1]));
    for (int y = 0; y < 14; ++y) field = _mm_add_epi32(field, _mm_sad_epu8(r[y], r[y + 2]));
    return {hsum_sad(frame), hsum_sad(field)};
}

// 16-bit arithmetic throughout, as the rules ask: wrapping differences, pabsw (which leaves
// −32768 as 0x8000), wrapping sums. Summing the lanes through pmaddwd (signed) changes the
// total only by multiples of 2^16, so the low 16 bits are the sum modulo 2^16.
FrameField frame_field_16s(const Opx16s* src, std::int32_t step) noexcept {
    __m256i r[16];
    for (int y = 0; y < 16; ++y)
        r[y] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row_t(src, y, step)));
    __m256i frame = _mm256_setzero_si256(), field = _mm256_setzero_si256();
    for (int y = 0; y < 15; ++y)
        if (y != 7)
            frame = _mm256_add_epi16(frame, _mm256_abs_epi16(_mm256_sub_epi16(r[y], r[y + 1])));
    for (int y = 0; y < 14; ++y)
        field = _mm256_add_epi16(field, _mm256_abs_epi16(_mm256_sub_epi16(r[y], r[y + 2])));
    const auto mod16 = [](__m256i v) {
        const __m256i s = _mm256_madd_epi16(v, _mm256_set1_epi16(1));
        const __m128i h = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
        return hsum_epi32(h) & 0xFFFF;
    };
    return {mod16(frame), mod16(field)};
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

}  // namespace opx::metrics::avx2
