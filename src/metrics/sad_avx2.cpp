// AVX2-build SAD kernels (128-bit vectors: rows are at most 16 bytes, and merging rows into
// 256-bit vectors costs more than the halved psadbw count saves).
//
// 8-bit blocks use psadbw on row groups; the rows of candidates use psadbw (16 wide) or mpsadbw
// (8 and 4 wide, eight candidates per instruction) and compute eight candidates per pass.
// 16-bit blocks take exact differences as max − min of unsigned lanes.
#include "metrics/rows_avx2.hpp"
#include "metrics/sad.hpp"

namespace opx::metrics::avx2 {
namespace {

// ---- 8-bit single candidate ------------------------------------------------------------------

// Two accumulators halve the dependency chain of the additions; each psadbw lane sum is at most
// 8 × 255, the block total at most 65280.
template <int W, int H, int Pos>
std::int32_t sad(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                 std::int32_t ref_step) noexcept {
    if constexpr (Pos == kInteger && (W == 4 || (W == 8 && H <= 8))) {
        // Integer position, 4 wide or 8×4 and 8×8: one psadbw per row on 8- or 4-byte loads, no
        // shuffles; only the low 64-bit lane carries a sum, so no final horizontal addition
        // (a shorter dependency chain than row pairs merged by movhps). 8×16 takes the path
        // below, two rows per psadbw: half the psadbw and additions, which pays there.
        __m128i acc[4];
#pragma GCC unroll 16
        for (int y = 0; y < H; ++y) {
            const Opx8u* s = row8(src, y, src_step);
            const Opx8u* r = row8(ref, y, ref_step);
            const __m128i d =
                W == 8 ? _mm_sad_epu8(load8(s), load8(r)) : _mm_sad_epu8(load4(s), load4(r));
            acc[y & 3] = y < 4 ? d : _mm_add_epi32(acc[y & 3], d);
        }
        return _mm_cvtsi128_si32(
            _mm_add_epi32(_mm_add_epi32(acc[0], acc[1]), _mm_add_epi32(acc[2], acc[3])));
    }
    constexpr int kRows = 16 / W, kGroups = H / kRows;
    Candidate8u<W, Pos> cand(ref, ref_step);
    __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
#pragma GCC unroll 16
    for (int g = 0; g < kGroups; ++g) {
        const __m128i s = load_group<W>(row8(src, g * kRows, src_step), src_step);
        const __m128i d = _mm_sad_epu8(s, cand.next());
        if (g & 1)
            acc1 = _mm_add_epi32(acc1, d);
        else
            acc0 = _mm_add_epi32(acc0, d);
    }
    return hsum_sad(_mm_add_epi32(acc0, acc1));
}

// ---- 16-bit single candidate -----------------------------------------------------------------

// Eight samples of a W-wide 16-bit block: one row part for W ≥ 8, two rows of 4 for W = 4.
template <int W>
OPX_INLINE __m128i load_chunk(const Opx16u* p, std::int32_t step) noexcept {
    if constexpr (W >= 8)
        return load16(p);
    else
        return load8x2(p, row_t(p, 1, step));
}

// The candidate chunk at p (rows as load_chunk); pavgw is exact for all 16-bit values.
template <int W, int Pos>
OPX_INLINE __m128i candidate_chunk(const Opx16u* p, std::int32_t step) noexcept {
    const __m128i a = load_chunk<W>(p, step);
    if constexpr (Pos == kInteger) {
        return a;
    } else if constexpr (Pos == kVertical) {
        return _mm_avg_epu16(a, load_chunk<W>(row_t(p, 1, step), step));
    } else if constexpr (Pos == kHorizontal) {
        return _mm_avg_epu16(a, load_chunk<W>(p + 1, step));
    } else {
        const __m128i b = load_chunk<W>(p + 1, step);
        const __m128i c = load_chunk<W>(row_t(p, 1, step), step);
        const __m128i d = load_chunk<W>(row_t(p, 1, step) + 1, step);
        return avg4_u16(_mm_avg_epu16(a, b), _mm_avg_epu16(c, d), _mm_xor_si128(a, b),
                        _mm_xor_si128(c, d));
    }
}

// |a − b| of unsigned 16-bit lanes, exact (0..65535).
OPX_INLINE __m128i absdiff_u16(__m128i a, __m128i b) noexcept {
    return _mm_sub_epi16(_mm_max_epu16(a, b), _mm_min_epu16(a, b));
}

// Adds pairs of unsigned 16-bit lanes into 32-bit lanes. pmaddwd reads its lanes as signed, so
// the lanes are biased by −32768 first (XOR 0x8000); each pair sum then comes out 65536 low, which
// the caller adds back (kPairBias per pair).
constexpr std::int32_t kPairBias = 65536;
OPX_INLINE __m128i pair_sums_biased(__m128i v) noexcept {
    return _mm_madd_epi16(_mm_xor_si128(v, _mm_set1_epi16(-32768)), _mm_set1_epi16(1));
}

template <int W, int H, int Pos>
std::int32_t sad16u(const Opx16u* src, std::int32_t src_step, const Opx16u* ref,
                    std::int32_t ref_step) noexcept {
    constexpr int kRows = W >= 8 ? 1 : 2, kChunks = W >= 8 ? W / 8 : 1;
    __m128i acc = _mm_setzero_si128();
#pragma GCC unroll 16
    for (int y = 0; y < H; y += kRows) {
        for (int c = 0; c < kChunks; ++c) {
            const __m128i s = load_chunk<W>(row_t(src, y, src_step) + 8 * c, src_step);
            const __m128i p = candidate_chunk<W, Pos>(row_t(ref, y, ref_step) + 8 * c, ref_step);
            acc = _mm_add_epi32(acc, pair_sums_biased(absdiff_u16(s, p)));
        }
    }
    // Total at most 65535 × 256 < 2^24; the biased lane sums stay above −2^23.
    return hsum_epi32(acc) + W * H / 2 * kPairBias;
}

// ---- two-channel interleaved 8×8 (16 bytes a row) ----------------------------------------------

template <int Pos>
void sad_c2(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
            std::int32_t out[2]) noexcept {
    Candidate8u<16, Pos, 2> cand(ref, ref_step);
    const __m128i even = _mm_set1_epi16(0x00FF), zero = _mm_setzero_si128();
    __m128i acc0 = zero, acc1 = zero;
#pragma GCC unroll 8
    for (int y = 0; y < 8; ++y) {
        const __m128i s = load16(row8(src, y, src_step)), p = cand.next();
        const __m128i ad = _mm_sub_epi8(_mm_max_epu8(s, p), _mm_min_epu8(s, p));
        acc0 = _mm_add_epi32(acc0, _mm_sad_epu8(_mm_and_si128(ad, even), zero));
        acc1 = _mm_add_epi32(acc1, _mm_sad_epu8(_mm_srli_epi16(ad, 8), zero));
    }
    out[0] = hsum_sad(acc0);
    out[1] = hsum_sad(acc1);
}

// ---- rows of candidates ------------------------------------------------------------------------

// Sixteen reference bytes ref[0..14] (byte 15 zero) without reading ref[15]: the last pass of
// the 8-wide rows may end exactly at ref[14].
OPX_INLINE __m128i load15(const Opx8u* r) noexcept {
    return _mm_unpacklo_epi64(load8(r), _mm_srli_epi64(load8(r + 7), 8));
}
// ref[0..10] without reading further.
OPX_INLINE __m128i load11(const Opx8u* r) noexcept {
    return _mm_unpacklo_epi64(load8(r), _mm_srli_epi32(load4(r + 7), 8));
}

// SADs of the eight candidates ref + i0 .. ref + i0 + 7 as unsigned 16-bit lanes.
template <int W>
OPX_INLINE __m128i eight_candidates(const Opx8u* src, std::int32_t src_step, const Opx8u* ref,
                                    std::int32_t ref_step, int i0) noexcept {
    if constexpr (W == 16) {
        // One psadbw per candidate and row, eight accumulators (two 64-bit halves each). The
        // row loop walks two pointers and is not unrolled: fully unrolled, the compiler keeps
        // sixteen row addresses live and spills the accumulators.
        __m128i acc[8];
        for (auto& a : acc) a = _mm_setzero_si128();
        const Opx8u* s = src;
        const Opx8u* r = ref + i0;
#pragma GCC unroll 1
        for (int y = 0; y < 16; ++y) {
            const __m128i sv = load16(s);
#pragma GCC unroll 8
            for (int j = 0; j < 8; ++j)
                acc[j] = _mm_add_epi32(acc[j], _mm_sad_epu8(load16(r + j), sv));
            s += src_step;
            r += ref_step;
        }
        // [t0, 0, t1, 0] … then two unsigned-saturating packs (t ≤ 65280, nothing saturates).
        __m128i c[4];
        for (int j = 0; j < 4; ++j)
            c[j] = _mm_add_epi32(_mm_unpacklo_epi64(acc[2 * j], acc[2 * j + 1]),
                                 _mm_unpackhi_epi64(acc[2 * j], acc[2 * j + 1]));
        return _mm_packus_epi32(_mm_packus_epi32(c[0], c[1]), _mm_packus_epi32(c[2], c[3]));
    } else if constexpr (W == 8) {
        // mpsadbw: source bytes 0..3 against ref[j .. j+3], bytes 4..7 against ref[4+j .. 7+j];
        // lane sums at most 8 × 8 × 255 = 16320.
        __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
#pragma GCC unroll 8
        for (int y = 0; y < 8; ++y) {
            const __m128i s = load8(row8(src, y, src_step));
            const __m128i r = load15(row8(ref, y, ref_step) + i0);
            acc0 = _mm_add_epi16(acc0, _mm_mpsadbw_epu8(r, s, 0));
            acc1 = _mm_add_epi16(acc1, _mm_mpsadbw_epu8(r, s, 5));
        }
        return _mm_add_epi16(acc0, acc1);
    } else if constexpr (W == 4) {
        __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
#pragma GCC unroll 4
        for (int y = 0; y < 4; y += 2) {
            const __m128i s0 = load4(row8(src, y, src_step));
            const __m128i s1 = load4(row8(src, y + 1, src_step));
            acc0 =
                _mm_add_epi16(acc0, _mm_mpsadbw_epu8(load11(row8(ref, y, ref_step) + i0), s0, 0));
            acc1 = _mm_add_epi16(acc1,
                                 _mm_mpsadbw_epu8(load11(row8(ref, y + 1, ref_step) + i0), s1, 0));
        }
        return _mm_add_epi16(acc0, acc1);
    } else {
        // 2×2: candidates in lanes; each source sample against eight reference samples widened
        // to 16 bits (sums at most 4 × 255).
        __m128i acc = _mm_setzero_si128();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const __m128i s = _mm_set1_epi16(row8(src, y, src_step)[x]);
                const __m128i r = _mm_cvtepu8_epi16(load8(row8(ref, y, ref_step) + i0 + x));
                acc = _mm_add_epi16(acc, _mm_abs_epi16(_mm_sub_epi16(r, s)));
            }
        return acc;
    }
}

template <int W>
void xn(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
        Opx16u* out, int m) noexcept {
    for (int i0 = 0; i0 < m; i0 += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i0),
                         eight_candidates<W>(src, src_step, ref, ref_step, i0));
}

// phminposuw gives the least of eight unsigned lanes and its lowest index; across passes only a
// strictly smaller value replaces the best, so ties keep the smaller index.
template <int W>
std::int32_t xni(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
                 Opx16u* out, int m) noexcept {
    int best_value = 0x10000, best = 0;
    for (int i0 = 0; i0 < m; i0 += 8) {
        const __m128i v = eight_candidates<W>(src, src_step, ref, ref_step, i0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i0), v);
        const int mp = _mm_cvtsi128_si32(_mm_minpos_epu16(v));
        if ((mp & 0xFFFF) < best_value) {
            best_value = mp & 0xFFFF;
            best = i0 + ((mp >> 16) & 7);
        }
    }
    return best;
}

// ---- sub-blocks of a 16×16 block ---------------------------------------------------------------

template <int B>
void blocks8u(const Opx8u* src, std::int32_t src_step, const Opx8u* ref, std::int32_t ref_step,
              Opx16u* out) noexcept {
    if constexpr (B == 8) {
        // psadbw sums each 8-byte half: rows 0..7 give [TL, TR], rows 8..15 [BL, BR].
        __m128i top = _mm_setzero_si128(), bottom = _mm_setzero_si128();
#pragma GCC unroll 16
        for (int y = 0; y < 16; ++y) {
            const __m128i d =
                _mm_sad_epu8(load16(row8(src, y, src_step)), load16(row8(ref, y, ref_step)));
            if (y < 8)
                top = _mm_add_epi32(top, d);
            else
                bottom = _mm_add_epi32(bottom, d);
        }
        const __m128i v = _mm_packus_epi32(top, bottom);  // dwords TL, TR, BL, BR
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(v, v));
    } else {
        // |s − r| per byte, pairs summed by pmaddubsw (≤ 510), four rows in 16-bit lanes
        // (≤ 2040), then pairs of lanes by pmaddwd: one 32-bit sum per 4×4 sub-block.
        const __m128i ones8 = _mm_set1_epi8(1), ones16 = _mm_set1_epi16(1);
        __m128i band[4];
#pragma GCC unroll 4
        for (int by = 0; by < 4; ++by) {
            __m128i acc = _mm_setzero_si128();
#pragma GCC unroll 4
            for (int y = 4 * by; y < 4 * by + 4; ++y) {
                const __m128i s = load16(row8(src, y, src_step));
                const __m128i r = load16(row8(ref, y, ref_step));
                const __m128i ad = _mm_sub_epi8(_mm_max_epu8(s, r), _mm_min_epu8(s, r));
                acc = _mm_add_epi16(acc, _mm_maddubs_epi16(ad, ones8));
            }
            band[by] = _mm_madd_epi16(acc, ones16);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi32(band[0], band[1]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_packus_epi32(band[2], band[3]));
    }
}

template <int B>
void blocks16u(const Opx16u* src, std::int32_t src_step, const Opx16u* ref, std::int32_t ref_step,
               Opx32u* out) noexcept {
    // Row halves: cols 0..7 and 8..15; biased pair sums as in sad16u.
    constexpr int kRowsPerBand = B;
    __m128i sums[16 / B][2];
#pragma GCC unroll 4
    for (int by = 0; by < 16 / B; ++by) {
        __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
#pragma GCC unroll 8
        for (int y = by * kRowsPerBand; y < (by + 1) * kRowsPerBand; ++y) {
            const Opx16u* s = row_t(src, y, src_step);
            const Opx16u* r = row_t(ref, y, ref_step);
            acc0 = _mm_add_epi32(acc0, pair_sums_biased(absdiff_u16(load16(s), load16(r))));
            acc1 = _mm_add_epi32(acc1, pair_sums_biased(absdiff_u16(load16(s + 8), load16(r + 8))));
        }
        sums[by][0] = acc0;
        sums[by][1] = acc1;
    }
    if constexpr (B == 8) {
        // Per 8×8 sub-block: 32 pairs, each 65536 low.
        for (int by = 0; by < 2; ++by)
            for (int bx = 0; bx < 2; ++bx)
                out[2 * by + bx] = static_cast<Opx32u>(hsum_epi32(sums[by][bx]) + 32 * kPairBias);
    } else {
        // Lanes of one half: [c0+c1, c2+c3, c4+c5, c6+c7] → sub-blocks (lanes 0+1), (2+3);
        // per 4×4 sub-block 8 pairs. Sums at most 65535 × 16 < 2^21.
        const __m128i bias = _mm_set1_epi32(8 * kPairBias);
        for (int by = 0; by < 4; ++by)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * by),
                             _mm_add_epi32(_mm_hadd_epi32(sums[by][0], sums[by][1]), bias));
    }
}

// ---- the table ---------------------------------------------------------------------------------

template <int W, int H>
constexpr void fill_positions(SadFn (&row)[kNumPositions]) {
    row[kInteger] = &stored<&sad<W, H, kInteger>, Opx8u>;
    row[kVertical] = &stored<&sad<W, H, kVertical>, Opx8u>;
    row[kHorizontal] = &stored<&sad<W, H, kHorizontal>, Opx8u>;
    row[kBoth] = &stored<&sad<W, H, kBoth>, Opx8u>;
}
template <int W, int H>
constexpr void fill_positions(Sad16uFn (&row)[kNumPositions]) {
    row[kInteger] = &stored<&sad16u<W, H, kInteger>, Opx16u>;
    row[kVertical] = &stored<&sad16u<W, H, kVertical>, Opx16u>;
    row[kHorizontal] = &stored<&sad16u<W, H, kHorizontal>, Opx16u>;
    row[kBoth] = &stored<&sad16u<W, H, kBoth>, Opx16u>;
}

template <std::size_t... S, std::size_t... U, std::size_t... X, std::size_t... B>
constexpr SadKernels make(std::index_sequence<S...>, std::index_sequence<U...>,
                          std::index_sequence<X...>, std::index_sequence<B...>) {
    SadKernels k{};
    (fill_positions<kSadSizes[S].width, kSadSizes[S].height>(k.sad[S]), ...);
    (fill_positions<kSad16uSizes[U].width, kSad16uSizes[U].height>(k.sad16u[U]), ...);
    k.sad_c2[kInteger] = &sad_c2<kInteger>;
    k.sad_c2[kVertical] = &sad_c2<kVertical>;
    k.sad_c2[kHorizontal] = &sad_c2<kHorizontal>;
    k.sad_c2[kBoth] = &sad_c2<kBoth>;
    ((k.xn[X] = &xn<kSadXnSizes[X].width>), ...);
    ((k.xni[X] = &xni<kSadXnSizes[X].width>), ...);
    ((k.blocks8u[B] = &blocks8u<kSadBlocksSizes[B].width>), ...);
    ((k.blocks16u[B] = &blocks16u<kSadBlocksSizes[B].width>), ...);
    return k;
}

}  // namespace

extern const SadKernels kSad =
    make(std::make_index_sequence<kNumSadSizes>(), std::make_index_sequence<kNumSad16uSizes>(),
         std::make_index_sequence<kNumXnSizes>(), std::make_index_sequence<kNumBlocksSizes>());

}  // namespace opx::metrics::avx2
