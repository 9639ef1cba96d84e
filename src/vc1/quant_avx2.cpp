// VC-1 quantisers and the 8x8 Hadamard measure, AVX2. Two rows of a block per 256-bit register
// (row 2p in the low lane, 2p + 1 in the high lane; 4-wide rows in the low 64 bits of a lane,
// the rest zero, which every operation here keeps zero).
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "vc1/residual.hpp"
#include "vc1/rows_avx2.hpp"

namespace opx::vc1::avx2 {
namespace {

constexpr int quant_w(int b) noexcept {
    return (b == kQInter4x8 || b == kQInter4x4) ? 4 : 8;
}
constexpr int quant_h(int b) noexcept {
    return (b == kQInter8x4 || b == kQInter4x4) ? 4 : 8;
}


// Word 0 of the low lane (the first coefficient of an intra block).
OPX_INLINE __m256i keep_first(__m256i result, __m256i original) noexcept {
    return _mm256_blend_epi16(result, _mm256_blend_epi32(result, original, 0x01), 0x01);
}

// ---- forward quantiser ----------------------------------------------------------------------

// t / q truncated, by the division class Cls of q (vc1.hpp, kDivSteps). t is any 16-bit value.
template <int Cls>
OPX_INLINE __m256i divide(__m256i t, __m256i magic, __m128i shift, __m256i low_mask) noexcept {
    const __m256i neg = _mm256_srai_epi16(t, 15);  // -1 for a negative dividend
    if constexpr (Cls == 0) {
        // q = 2^shift: add q - 1 to a negative dividend, then shift.
        return _mm256_sra_epi16(_mm256_add_epi16(t, _mm256_and_si256(neg, low_mask)), shift);
    } else {
        __m256i h = _mm256_mulhi_epi16(t, magic);
        // Class 2: the magic number is 2^16 above its stored value; t * 2^16 >> 16 = t.
        // The sum is floor(t (magic + 2^16) / 2^16), which lies between t and 0: no overflow.
        if constexpr (Cls == 2) h = _mm256_add_epi16(h, t);
        return _mm256_sub_epi16(_mm256_sra_epi16(h, shift), neg);
    }
}

template <int Kind, int Block, int Cls>
void quant_fwd(Opx16s* block, std::int32_t step, int q) noexcept {
    constexpr int W = quant_w(Block), H = quant_h(Block);
    const DivStep& ds = kDivSteps[q - 2];
    const __m256i magic = _mm256_set1_epi16(ds.magic);
    const __m128i shift = _mm_cvtsi32_si128(ds.shift);
    const __m256i low_mask = _mm256_set1_epi16(static_cast<short>(q - 1));
    const __m256i half = _mm256_set1_epi16(static_cast<short>(q >> 1));
    for (int p = 0; p < H / 2; ++p) {
        const __m256i c = load_rows<W>(block, step, 2 * p);
        // c - sign(c) (q >> 1) moves toward zero by at most 31: stays in 16 bits.
        const __m256i t = Kind == kNonuniform ? _mm256_sub_epi16(c, _mm256_sign_epi16(half, c)) : c;
        __m256i level = divide<Cls>(t, magic, shift, low_mask);
        if (Block == kQIntra && p == 0) level = keep_first(level, c);
        store_rows<W>(block, step, 2 * p, level);
    }
}

// ---- inverse quantiser ----------------------------------------------------------------------

template <int Kind, int Block>
void quant_inv(const Opx16s* src, std::int32_t src_step, Opx16s* dst, std::int32_t dst_step, int q,
               OpxRoiSize* nz) noexcept {
    constexpr int W = quant_w(Block), H = quant_h(Block);
    const __m256i qv = _mm256_set1_epi16(static_cast<short>(q));
    const __m256i half = _mm256_set1_epi16(static_cast<short>(q >> 1));
    const __m256i zero = _mm256_setzero_si256();
    // Zero words: their AND over the rows gives the columns, the byte masks of each row pair
    // (32 bits) side by side in 64-bit words the rows (16 bits a row).
    __m256i all_zero = _mm256_set1_epi16(-1);
    std::uint64_t row_bits[2] = {0, 0};
    for (int p = 0; p < H / 2; ++p) {
        const __m256i c = load_rows<W>(src, src_step, 2 * p);
        // Products and sums modulo 2^16, as the rules ask.
        __m256i r = _mm256_mullo_epi16(c, qv);
        if constexpr (Kind == kNonuniform) r = _mm256_add_epi16(r, _mm256_sign_epi16(half, c));
        if (Block == kQIntra && p == 0) r = keep_first(r, c);
        store_rows<W>(dst, dst_step, 2 * p, r);
        const __m256i is_zero = _mm256_cmpeq_epi16(r, zero);
        all_zero = _mm256_and_si256(all_zero, is_zero);
        const std::uint32_t nonzero = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(is_zero));
        row_bits[p >> 1] |= static_cast<std::uint64_t>(nonzero) << (32 * (p & 1));
    }
    const __m128i c2 =
        _mm_and_si128(_mm256_castsi256_si128(all_zero), _mm256_extracti128_si256(all_zero, 1));
    const std::uint32_t cbits = ~static_cast<std::uint32_t>(_mm_movemask_epi8(c2)) & 0xFFFFu;
    const int width = cbits ? (32 - static_cast<int>(_lzcnt_u32(cbits))) / 2 : 0;
    // Highest non-zero bit b of a 64-bit word: row b / 16 of its four.
    int height = 0;
    if (H == 8 && row_bits[1])
        height = 5 + (63 - static_cast<int>(_lzcnt_u64(row_bits[1]))) / 16;
    else if (row_bits[0])
        height = 1 + (63 - static_cast<int>(_lzcnt_u64(row_bits[0]))) / 16;
    if (Block == kQIntra && height < 1) height = 1;
    nz->width = width;
    nz->height = height;
}

// ---- Hadamard ----------------------------------------------------------------------------------

// Butterflies at word distance 1, 2, 4 inside each lane: sum at the lower index, difference at
// the upper, saturated.
OPX_INLINE __m256i horizontal(__m256i x) noexcept {
    const __m256i swap1 = _mm256_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13, 2,
                                           3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13);
    __m256i sw = _mm256_shuffle_epi8(x, swap1);
    x = _mm256_blend_epi16(_mm256_adds_epi16(x, sw), _mm256_subs_epi16(sw, x), 0xAA);
    sw = _mm256_shuffle_epi32(x, 0xB1);
    x = _mm256_blend_epi16(_mm256_adds_epi16(x, sw), _mm256_subs_epi16(sw, x), 0xCC);
    sw = _mm256_shuffle_epi32(x, 0x4E);
    return _mm256_blend_epi16(_mm256_adds_epi16(x, sw), _mm256_subs_epi16(sw, x), 0xF0);
}

OPX_INLINE void butterfly(__m256i& a, __m256i& b) noexcept {
    const __m256i s = _mm256_adds_epi16(a, b);
    b = _mm256_subs_epi16(a, b);
    a = s;
}

// a[j] = rows j (low lane) and j + 4 (high lane), j = 0..3.
void hadamard_rows(__m256i a[4], Opx16s* dst, Opx32s* sum) noexcept {
    for (int j = 0; j < 4; ++j) a[j] = horizontal(a[j]);
    butterfly(a[0], a[1]);  // rows (0, 1) and (4, 5)
    butterfly(a[2], a[3]);
    butterfly(a[0], a[2]);  // rows (0, 2), (4, 6)
    butterfly(a[1], a[3]);
    for (int j = 0; j < 4; ++j) {  // rows (j, j + 4), across the lanes
        const __m256i sw = _mm256_permute2x128_si256(a[j], a[j], 0x01);
        a[j] = _mm256_blend_epi32(_mm256_adds_epi16(a[j], sw), _mm256_subs_epi16(sw, a[j]), 0xF0);
    }
    const __m256i cap = _mm256_set1_epi16(32767);
    __m256i col = _mm256_setzero_si256();
    for (int j = 0; j < 4; ++j) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8 * j), _mm256_castsi256_si128(a[j]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8 * (j + 4)),
                         _mm256_extracti128_si256(a[j], 1));
        // |-32768| reads 32768 unsigned: capped to 32767. Sums of non-negative terms saturate
        // to min(32767, total) in any order.
        col = _mm256_adds_epi16(col, _mm256_min_epu16(_mm256_abs_epi16(a[j]), cap));
    }
    const __m128i c8 =
        _mm_adds_epi16(_mm256_castsi256_si128(col), _mm256_extracti128_si256(col, 1));
    __m128i s4 = _mm_madd_epi16(c8, _mm_set1_epi16(1));
    s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0x4E));
    s4 = _mm_add_epi32(s4, _mm_shuffle_epi32(s4, 0xB1));
    *sum = _mm_cvtsi128_si32(s4);
}

void hadamard8u(const Opx8u* src, std::int32_t step, Opx16s* dst, Opx32s* sum) noexcept {
    __m256i a[4];
    for (int j = 0; j < 4; ++j) {
        const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row_at(src, j, step)));
        const __m128i hi =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row_at(src, j + 4, step)));
        a[j] = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(lo, hi));
    }
    hadamard_rows(a, dst, sum);
}

void hadamard16s(const Opx16s* src, std::int32_t step, Opx16s* dst, Opx32s* sum) noexcept {
    __m256i a[4];
    for (int j = 0; j < 4; ++j)
        a[j] = _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, j, step)))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, j + 4, step))), 1);
    hadamard_rows(a, dst, sum);
}

}  // namespace

#define OPX_FWD(K, B) \
    { &quant_fwd<K, B, 0>, &quant_fwd<K, B, 1>, &quant_fwd<K, B, 2> }
#define OPX_FWD_ROW(K)                                                       \
    {                                                                        \
        OPX_FWD(K, kQIntra), OPX_FWD(K, kQInter8x8), OPX_FWD(K, kQInter8x4), \
            OPX_FWD(K, kQInter4x8), OPX_FWD(K, kQInter4x4)                   \
    }
#define OPX_INVQ_ROW(K)                                                               \
    {                                                                                 \
        &quant_inv<K, kQIntra>, &quant_inv<K, kQInter8x8>, &quant_inv<K, kQInter8x4>, \
            &quant_inv<K, kQInter4x8>, &quant_inv<K, kQInter4x4>                      \
    }
const QuantKernels kQuant = {
    {OPX_FWD_ROW(kUniform), OPX_FWD_ROW(kNonuniform)},
    {OPX_INVQ_ROW(kUniform), OPX_INVQ_ROW(kNonuniform)},
    &hadamard8u,
    &hadamard16s,
};
#undef OPX_FWD
#undef OPX_FWD_ROW
#undef OPX_INVQ_ROW

}  // namespace opx::vc1::avx2
