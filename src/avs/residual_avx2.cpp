// AVX2 reconstruction kernels of AVS part 2 (dequantise, 8×8 inverse transform, add). The block
// decoders and the forward quantiser of this table are the portable ones.
//
// Lane layout. Dequantisation works on 32-bit lanes (scale is up to 65535) and packs each row to
// 16 bits with signed saturation. The horizontal stage takes a row of W as four 32-bit pairs
// (W[r][2p], W[r][2p + 1]), broadcasts each pair and multiplies it with the matching pair of
// T rows (T[2p][x], T[2p + 1][x]) for x = 0..7 (vpmaddwd): eight 32-bit sums, one per column.
// After (x + 4) >> 3 the rows are packed to 16 bits with saturation and interleaved in pairs of
// rows (H[a][x], H[b][x]), (a, b) = (0, 2), (4, 6), (1, 3), (5, 7); the vertical stage multiplies
// them with the broadcast pairs (T[a][y], T[b][y]) and takes rows y and 7 − y from the same
// even and odd sums. Range: |Σ T[r][y] H[r][x]| ≤ 54 × 32767, so R = (Σ + 64) >> 7 fits in
// 16 bits before it meets the prediction.
#include <immintrin.h>

#include "avs/avs.hpp"
#include "avs/avs_tables.hpp"

namespace opx::avs::avx2 {
namespace {

// Horizontal stage: row pair p of T across the columns, lanes (T[2p][x], T[2p + 1][x]) for
// x = 0..7. Vertical stage: the pair (T[2p][y], T[2p + 1][y]) of output row y as one 32-bit
// value (broadcast to every lane).
struct Constants {
    alignas(32) std::int16_t rows[4][16];
    // Vertical stage, output rows y = 0..3: pairs of T rows (0, 2), (4, 6) (even part) and
    // (1, 3), (5, 7) (odd part) at column y.
    std::int32_t even[4][2], odd[4][2];
};
constexpr std::int32_t pair32(int a, int b) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) |
                                     (static_cast<std::uint32_t>(a) & 0xFFFF));
}
constexpr Constants make_constants() {
    Constants k{};
    for (int p = 0; p < 4; ++p)
        for (int x = 0; x < 8; ++x) {
            k.rows[p][2 * x] = kTransform[2 * p][x];
            k.rows[p][2 * x + 1] = kTransform[2 * p + 1][x];
        }
    for (int y = 0; y < 4; ++y) {
        k.even[y][0] = pair32(kTransform[0][y], kTransform[2][y]);
        k.even[y][1] = pair32(kTransform[4][y], kTransform[6][y]);
        k.odd[y][0] = pair32(kTransform[1][y], kTransform[3][y]);
        k.odd[y][1] = pair32(kTransform[5][y], kTransform[7][y]);
    }
    return k;
}
constexpr Constants kConst = make_constants();

__m256i t_rows(int p) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kConst.rows[p]));
}

// Dequantised row r (its first N coefficients; the rest zero), 16-bit saturated, in both halves.
template <int N>
__m256i dequant_row(const Opx16s* coeff, __m256i scale, __m256i round, __m128i shift) noexcept {
    __m128i c;
    if constexpr (N == 8)
        c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coeff));
    else
        c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(coeff));
    __m256i w = _mm256_cvtepi16_epi32(c);
    if constexpr (N == 4) w = _mm256_blend_epi32(w, _mm256_setzero_si256(), 0xF0);
    w = _mm256_sra_epi32(_mm256_add_epi32(_mm256_mullo_epi32(w, scale), round), shift);
    const __m128i w16 = _mm_packs_epi32(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    return _mm256_broadcastsi128_si256(w16);
}

template <int N>
void recon(const Opx16s* coeff, int qp, Opx8u* dst, std::ptrdiff_t step) noexcept {
    const Dequant dq = kDequant[qp];
    const __m256i scale = _mm256_set1_epi32(dq.scale);
    const __m256i round = _mm256_set1_epi32(1 << (dq.shift - 1));
    const __m128i shift = _mm_cvtsi32_si128(dq.shift);
    constexpr int kPairs = N / 2;  // column pairs of W that can be nonzero
    __m256i tp[kPairs];
    for (int p = 0; p < kPairs; ++p) tp[p] = t_rows(p);

    // Horizontal stage, rows 0..N−1 (the others are zero).
    __m256i h[8];
    const __m256i four = _mm256_set1_epi32(4);
    for (int r = 0; r < N; ++r) {
        const __m256i w = dequant_row<N>(coeff + r * 8, scale, round, shift);
        __m256i s = _mm256_madd_epi16(_mm256_shuffle_epi32(w, 0x00), tp[0]);
        s = _mm256_add_epi32(s, _mm256_madd_epi16(_mm256_shuffle_epi32(w, 0x55), tp[1]));
        if constexpr (N == 8) {
            s = _mm256_add_epi32(s, _mm256_madd_epi16(_mm256_shuffle_epi32(w, 0xAA), tp[2]));
            s = _mm256_add_epi32(s, _mm256_madd_epi16(_mm256_shuffle_epi32(w, 0xFF), tp[3]));
        }
        s = _mm256_srai_epi32(_mm256_add_epi32(s, four), 3);
        h[r] = _mm256_packs_epi32(s, s);  // [x0..3 x0..3 | x4..7 x4..7], saturated
    }
    // Rows interleaved in the pairs of the vertical stage: (H[a][x], H[b][x]), x = 0..7.
    const __m256i i02 = _mm256_unpacklo_epi16(h[0], h[2]), i13 = _mm256_unpacklo_epi16(h[1], h[3]);
    __m256i i46 = _mm256_setzero_si256(), i57 = _mm256_setzero_si256();
    if constexpr (N == 8) {
        i46 = _mm256_unpacklo_epi16(h[4], h[6]);
        i57 = _mm256_unpacklo_epi16(h[5], h[7]);
    }

    // Vertical stage: T[r][7 − y] = (−1)^r T[r][y], so rows y and 7 − y share the even-row and
    // odd-row sums: R[y] = E + O, R[7 − y] = E − O.
    const __m256i rnd = _mm256_set1_epi32(64);
    __m256i res[8];
    for (int y = 0; y < 4; ++y) {
        __m256i e = _mm256_madd_epi16(i02, _mm256_set1_epi32(kConst.even[y][0]));
        __m256i o = _mm256_madd_epi16(i13, _mm256_set1_epi32(kConst.odd[y][0]));
        if constexpr (N == 8) {
            e = _mm256_add_epi32(e, _mm256_madd_epi16(i46, _mm256_set1_epi32(kConst.even[y][1])));
            o = _mm256_add_epi32(o, _mm256_madd_epi16(i57, _mm256_set1_epi32(kConst.odd[y][1])));
        }
        e = _mm256_add_epi32(e, rnd);
        res[y] = _mm256_srai_epi32(_mm256_add_epi32(e, o), 7);
        res[7 - y] = _mm256_srai_epi32(_mm256_sub_epi32(e, o), 7);
    }

    // Addition, two rows at a time.
    const __m256i order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    for (int y = 0; y < 8; y += 2) {
        const __m256i r2[2] = {res[y], res[y + 1]};
        // [y x0..3, y+1 x0..3 | y x4..7, y+1 x4..7] -> [y x0..7 | y+1 x0..7].
        const __m256i rows = _mm256_permutevar8x32_epi32(_mm256_packs_epi32(r2[0], r2[1]), order);
        Opx8u* d0 = dst + y * step;
        Opx8u* d1 = d0 + step;
        const __m128i pred =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d0)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d1)));
        const __m256i sum = _mm256_add_epi16(_mm256_cvtepu8_epi16(pred), rows);
        const __m128i out =
            _mm_packus_epi16(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), out);
        _mm_storeh_pi(reinterpret_cast<__m64*>(d1), _mm_castsi128_ps(out));
    }
}

// DC only: every sample receives (8 × w0 + 64) >> 7.
void recon_dc(const Opx16s* coeff, int qp, Opx8u* dst, std::ptrdiff_t step) noexcept {
    const Dequant dq = kDequant[qp];
    std::int64_t w =
        (std::int64_t{coeff[0]} * dq.scale + (std::int64_t{1} << (dq.shift - 1))) >> dq.shift;
    w = w < -32768 ? -32768 : (w > 32767 ? 32767 : w);
    const __m128i v = _mm_set1_epi16(static_cast<short>((8 * w + 64) >> 7));
    for (int y = 0; y < 8; y += 2) {
        Opx8u* d0 = dst + y * step;
        Opx8u* d1 = d0 + step;
        const __m128i a = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d0)));
        const __m128i b = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d1)));
        const __m128i out = _mm_packus_epi16(_mm_add_epi16(a, v), _mm_add_epi16(b, v));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d0), out);
        _mm_storeh_pi(reinterpret_cast<__m64*>(d1), _mm_castsi128_ps(out));
    }
}

}  // namespace

const ResidualKernels kResidual = {
    {ref::decode_intra, ref::decode_inter, ref::decode_chroma},
    {recon_dc, recon<4>, recon<8>},
    ref::fwd_quant,
};

}  // namespace opx::avs::avx2
