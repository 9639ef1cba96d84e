// VC-1 transforms, AVX2: both passes as sums of word-pair products (vpmaddwd), 32-bit sums.
//
// Forward transforms (and the generic kernel below): two rows of a block per 256-bit register,
// row i in the low lane and row i + 1 in the high lane, eight 16-bit values each (4-wide blocks
// use the low four). The row pass broadcasts each coefficient pair (D[i][2m], D[i][2m+1]) inside
// its lane and multiplies it with the pair (B[2m][j], B[2m+1][j]) of the basis for four columns
// j at a time; the 32-bit sums are rounded, shifted and packed with signed saturation, which is
// the 16-bit clamp of the rules. The column pass interleaves rows 2m and 2m + 1 word by word and
// multiplies with the broadcast pair (C[i][2m], C[i][2m+1]) to form output row i for all columns.
//
// Inverse transforms use the symmetry of the bases (basis k is even or odd about its middle):
// each pass forms the even and the odd sums for the first half of its outputs and takes the
// second half from their difference (inverse8x8, inverse8x4, inverse4xh below).
// Only the rows and pairs inside the promised non-zero extent enter either pass.
#include <immintrin.h>

#include <type_traits>

#include "frame/dispatch.hpp"
#include "vc1/residual.hpp"
#include "vc1/rows_avx2.hpp"

namespace opx::vc1::avx2 {
namespace {

// Row pass constants: pairs[m][half] holds (B[2m][j], B[2m+1][j]) for j = 4 half .. 4 half + 3,
// in both lanes.
struct RowPass {
    alignas(32) std::int16_t pairs[4][2][16];
};
// Column pass constants: pair[i][m] = (C[i][2m], C[i][2m+1]) as one 32-bit value.
struct ColPass {
    std::int32_t pair[8][4];
};

// B[k][j] for the row pass: inverse rows use the basis itself (E = D . M), forward rows its
// transpose (E[i][k] = sum_j X[i][j] F[k][j]).
template <int N>
constexpr RowPass make_row(const Matrix<N>& mat, bool transpose) {
    RowPass r{};
    for (int m = 0; m < N / 2; ++m)
        for (int half = 0; half < N / 4; ++half)
            for (int lane = 0; lane < 2; ++lane)
                for (int j = 0; j < 4; ++j) {
                    const int jj = 4 * half + j, k0 = 2 * m, k1 = 2 * m + 1;
                    r.pairs[m][half][8 * lane + 2 * j] = transpose ? mat.m[jj][k0] : mat.m[k0][jj];
                    r.pairs[m][half][8 * lane + 2 * j + 1] =
                        transpose ? mat.m[jj][k1] : mat.m[k1][jj];
                }
    return r;
}
// C[i][k] for the column pass: inverse R[i] = sum_k M[k][i] E[k] (transpose), forward
// Y[l] = sum_i F[l][i] E[i].
template <int N>
constexpr ColPass make_col(const Matrix<N>& mat, bool transpose) {
    ColPass c{};
    for (int i = 0; i < N; ++i)
        for (int m = 0; m < N / 2; ++m) {
            const int a = transpose ? mat.m[2 * m][i] : mat.m[i][2 * m];
            const int b = transpose ? mat.m[2 * m + 1][i] : mat.m[i][2 * m + 1];
            c.pair[i][m] = static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) |
                                                     (static_cast<std::uint32_t>(a) & 0xFFFF));
        }
    return c;
}

constexpr RowPass kRowInv8 = make_row(kInv8, false);
constexpr RowPass kRowInv4 = make_row(kInv4, false);
constexpr RowPass kRowFwd8 = make_row(kFwd8, true);
constexpr RowPass kRowFwd4 = make_row(kFwd4, true);
constexpr ColPass kColInv8 = make_col(kInv8, true);
constexpr ColPass kColInv4 = make_col(kInv4, true);
constexpr ColPass kColFwd8 = make_col(kFwd8, false);
constexpr ColPass kColFwd4 = make_col(kFwd4, false);


template <bool Fwd, int N>
constexpr const RowPass& row_pass() noexcept {
    if constexpr (Fwd) {
        if constexpr (N == 8)
            return kRowFwd8;
        else
            return kRowFwd4;
    } else {
        if constexpr (N == 8)
            return kRowInv8;
        else
            return kRowInv4;
    }
}
template <bool Fwd, int N>
constexpr const ColPass& col_pass() noexcept {
    if constexpr (Fwd) {
        if constexpr (N == 8)
            return kColFwd8;
        else
            return kColFwd4;
    } else {
        if constexpr (N == 8)
            return kColInv8;
        else
            return kColInv4;
    }
}

// W x H transform, inverse (Fwd false) or forward, of a block whose coefficients outside the
// top-left EW x EH rectangle are zero (EW, EH even). Sums wrap modulo 2^32 (vpmaddwd and vpaddd),
// as the rules ask of the forward sums; the inverse sums never come near.
template <int W, int H, int EW, int EH, bool Fwd>
void transform(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
               std::int32_t dst_step) noexcept {
    constexpr int s1 = Fwd ? (W == 8 ? 12 : 11) : 3;
    constexpr int s2 = Fwd ? (H == 8 ? 20 : 19) : 7;
    const RowPass& rp = row_pass<Fwd, W>();
    const ColPass& cp = col_pass<Fwd, H>();

    // Row pass on rows 0..EH-1.
    __m256i e[H / 2];
    const __m256i round1 = _mm256_set1_epi32(1 << (s1 - 1));
    for (int p = 0; p < EH / 2; ++p) {
        const __m256i d = load_rows<W>(src, src_step, 2 * p);
        __m256i lo = round1, hi = round1;
        auto pair = [&](auto m_const) {
            constexpr int m = decltype(m_const)::value;
            if constexpr (2 * m < EW) {
                const __m256i b = _mm256_shuffle_epi32(d, m * 0x55);
                lo = _mm256_add_epi32(
                    lo,
                    _mm256_madd_epi16(
                        b, _mm256_load_si256(reinterpret_cast<const __m256i*>(rp.pairs[m][0]))));
                if constexpr (W == 8)
                    hi = _mm256_add_epi32(
                        hi, _mm256_madd_epi16(b, _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                     rp.pairs[m][1]))));
            }
        };
        pair(std::integral_constant<int, 0>());
        pair(std::integral_constant<int, 1>());
        pair(std::integral_constant<int, 2>());
        pair(std::integral_constant<int, 3>());
        lo = _mm256_srai_epi32(lo, s1);
        hi = W == 8 ? _mm256_srai_epi32(hi, s1) : lo;
        e[p] = _mm256_packs_epi32(lo, hi);
    }

    // Column pass: rows 2m and 2m + 1 interleaved word by word.
    const __m256i interleave =
        _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3, 10,
                         11, 4, 5, 12, 13, 6, 7, 14, 15);
    __m256i pm[H / 2];
    for (int m = 0; m < EH / 2; ++m)
        pm[m] = _mm256_shuffle_epi8(_mm256_permute4x64_epi64(e[m], 0xD8), interleave);
    __m256i out[H];
    for (int i = 0; i < H; ++i) {
        const int c = (!Fwd && H == 8 && i >= 4) ? 1 : 0;
        __m256i acc = _mm256_set1_epi32((1 << (s2 - 1)) + c);
        for (int m = 0; m < EH / 2; ++m)
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pm[m], _mm256_set1_epi32(cp.pair[i][m])));
        out[i] = _mm256_srai_epi32(acc, s2);
    }
    for (int i = 0; i < H; i += 2) {
        const __m256i packed = _mm256_packs_epi32(out[i], out[i + 1]);
        if constexpr (W == 8) {
            store_rows<8>(dst, dst_step, i, _mm256_permute4x64_epi64(packed, 0xD8));
        } else {
            // Low lane: row i columns 0..3, then row i + 1.
            const __m128i v = _mm256_castsi256_si128(packed);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, i, dst_step)), v);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, i + 1, dst_step)),
                         _mm_unpackhi_epi64(v, v));
        }
    }
}

// ---- 8x8 inverse by even and odd halves ----------------------------------------------------
// The 8-point basis is even or odd about its middle, M[k][7-j] = (-1)^k M[k][j], so each pass
// forms the even sum (k = 0, 2, 4, 6) and the odd sum (k = 1, 3, 5, 7) for outputs 0..3 only and
// takes outputs 7..4 as their difference: half the products of the plain matrix product.
constexpr bool halves_symmetric() {
    for (int k = 0; k < 8; ++k)
        for (int j = 0; j < 8; ++j)
            if (kInv8.m[k][7 - j] != ((k & 1) ? -kInv8.m[k][j] : kInv8.m[k][j])) return false;
    return true;
}
static_assert(halves_symmetric());

// pairs[q][8 lane + 2 j + t] = M[k][j] with k = (0, 2), (4, 6), (1, 3), (5, 7)[q][t], j = 0..3.
struct HalfPass {
    alignas(32) std::int16_t pairs[4][16];
};
constexpr int kHalfRows[4][2] = {{0, 2}, {4, 6}, {1, 3}, {5, 7}};
constexpr HalfPass make_half() {
    HalfPass h{};
    for (int q = 0; q < 4; ++q)
        for (int lane = 0; lane < 2; ++lane)
            for (int j = 0; j < 4; ++j)
                for (int t = 0; t < 2; ++t)
                    h.pairs[q][8 * lane + 2 * j + t] = kInv8.m[kHalfRows[q][t]][j];
    return h;
}
constexpr HalfPass kHalf8 = make_half();
OPX_INLINE __m256i half_pairs(int q) noexcept {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kHalf8.pairs[q]));
}
// (M[k0][i], M[k1][i]) as one 32-bit value, for the column pass.
OPX_INLINE __m256i col_pair(int q, int i) noexcept {
    return _mm256_set1_epi32(static_cast<int>(
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(kInv8.m[kHalfRows[q][1]][i])) << 16) |
        static_cast<std::uint16_t>(kInv8.m[kHalfRows[q][0]][i])));
}

// Row pass of rows a (low lane) and b (high lane): E = (D . M + 4) >> 3 clamped, returned as
// [a 0..3, b 0..3 | a 4..7, b 4..7]. Pairs beyond the width EW are zero and skipped.
template <int EW>
OPX_INLINE __m256i row_halves(__m256i d) noexcept {
    // Words D0 D2 D4 D6 D1 D3 D5 D7: dwords (D0, D2), (D4, D6), (D1, D3), (D5, D7).
    // Width 2: D2 and D3 are not read (zero from the shuffle).
    constexpr char z = EW > 2 ? 0 : -128;
    const __m256i order = _mm256_setr_epi8(
        0, 1, 4 | z, 5 | z, 8, 9, 12, 13, 2, 3, 6 | z, 7 | z, 10, 11, 14, 15,  //
        0, 1, 4 | z, 5 | z, 8, 9, 12, 13, 2, 3, 6 | z, 7 | z, 10, 11, 14, 15);
    d = _mm256_shuffle_epi8(d, order);
    __m256i even = _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi32(d, 0x00), half_pairs(0)),
                                    _mm256_set1_epi32(4));
    __m256i odd = _mm256_madd_epi16(_mm256_shuffle_epi32(d, 0xAA), half_pairs(2));
    if constexpr (EW > 4) {
        even = _mm256_add_epi32(even, _mm256_madd_epi16(_mm256_shuffle_epi32(d, 0x55), half_pairs(1)));
        odd = _mm256_add_epi32(odd, _mm256_madd_epi16(_mm256_shuffle_epi32(d, 0xFF), half_pairs(3)));
    }
    const __m256i lo = _mm256_srai_epi32(_mm256_add_epi32(even, odd), 3);
    const __m256i hi = _mm256_srai_epi32(_mm256_shuffle_epi32(_mm256_sub_epi32(even, odd), 0x1B), 3);
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
}

template <int EW, int EH>
void inverse8x8(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                std::int32_t dst_step) noexcept {
    auto rows = [&](int a, int b) {
        const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, a, src_step)));
        const __m128i rb = b < EH ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, b, src_step)))
                                  : _mm_setzero_si128();
        return _mm256_inserti128_si256(_mm256_castsi128_si256(ra), rb, 1);
    };
    // Word pairs of rows (0, 2), (4, 6), (1, 3), (5, 7), columns 0..3 low lane, 4..7 high lane.
    __m256i x02, x46, x13, x57;
    if constexpr (EH > 4) {
        // Rows (0, 4), (2, 6), (1, 5), (3, 7).
        const __m256i r04 = row_halves<EW>(rows(0, 4)), r26 = row_halves<EW>(rows(2, 6));
        const __m256i r15 = row_halves<EW>(rows(1, 5)), r37 = row_halves<EW>(rows(3, 7));
        x02 = _mm256_unpacklo_epi16(r04, r26), x46 = _mm256_unpackhi_epi16(r04, r26);
        x13 = _mm256_unpacklo_epi16(r15, r37), x57 = _mm256_unpackhi_epi16(r15, r37);
    } else {
        // Rows 4..7 are zero: rows (0, 2) and (1, 3) share a register, and the word pairs come
        // from its two halves in each lane. Rows at or beyond EH are zero.
        const __m256i interleave = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7,
                                                    14, 15, 0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12,
                                                    13, 6, 7, 14, 15);
        x02 = _mm256_shuffle_epi8(row_halves<EW>(rows(0, 2)), interleave);
        x13 = _mm256_shuffle_epi8(row_halves<EW>(rows(1, 3)), interleave);
        x46 = x57 = _mm256_setzero_si256();
    }
    __m256i out[8];
    for (int i = 0; i < 4; ++i) {
        __m256i even =
            _mm256_add_epi32(_mm256_madd_epi16(x02, col_pair(0, i)), _mm256_set1_epi32(64));
        __m256i odd = _mm256_madd_epi16(x13, col_pair(2, i));
        if constexpr (EH > 4) {
            even = _mm256_add_epi32(even, _mm256_madd_epi16(x46, col_pair(1, i)));
            odd = _mm256_add_epi32(odd, _mm256_madd_epi16(x57, col_pair(3, i)));
        }
        // Rows 4..7 round with 64 + 1.
        out[i] = _mm256_srai_epi32(_mm256_add_epi32(even, odd), 7);
        out[7 - i] = _mm256_srai_epi32(
            _mm256_sub_epi32(_mm256_add_epi32(even, _mm256_set1_epi32(1)), odd), 7);
    }
    for (int i = 0; i < 8; i += 2)
        store_rows<8>(dst, dst_step, i,
                      _mm256_permute4x64_epi64(_mm256_packs_epi32(out[i], out[i + 1]), 0xD8));
}

// 8x4: the 8-point rows by halves, rows (0, 1) and (2, 3); the 4-point columns (also even or
// odd about their middle) by halves on the word pairs of rows (0, 2) and (1, 3).
template <int EW, int EH>
void inverse8x4(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                std::int32_t dst_step) noexcept {
    auto rows = [&](int a) {
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, a, src_step)))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(row_at(src, a + 1, src_step))), 1);
    };
    const __m256i r01 = row_halves<EW>(rows(0));
    const __m256i r23 = EH > 2 ? row_halves<EW>(rows(2)) : _mm256_setzero_si256();
    const __m256i x02 = _mm256_unpacklo_epi16(r01, r23), x13 = _mm256_unpackhi_epi16(r01, r23);
    auto pair = [](int k0, int k1, int i) {
        return _mm256_set1_epi32(static_cast<int>(
            (static_cast<std::uint32_t>(static_cast<std::uint16_t>(kInv4.m[k1][i])) << 16) |
            static_cast<std::uint16_t>(kInv4.m[k0][i])));
    };
    __m256i out[4];
    for (int i = 0; i < 2; ++i) {
        const __m256i even =
            _mm256_add_epi32(_mm256_madd_epi16(x02, pair(0, 2, i)), _mm256_set1_epi32(64));
        const __m256i odd = _mm256_madd_epi16(x13, pair(1, 3, i));
        out[i] = _mm256_srai_epi32(_mm256_add_epi32(even, odd), 7);
        out[3 - i] = _mm256_srai_epi32(_mm256_sub_epi32(even, odd), 7);
    }
    for (int i = 0; i < 4; i += 2)
        store_rows<8>(dst, dst_step, i,
                      _mm256_permute4x64_epi64(_mm256_packs_epi32(out[i], out[i + 1]), 0xD8));
}

// 4-wide blocks (4x4, 4x8): the row pass on four rows per register, rows (0, 2) in the low lane
// and (1, 3) in the high lane, its outputs alternating between the two rows of a lane; packed,
// they are the column pass's word pairs of the even rows (0, 2) in the low lane and of the odd
// rows (1, 3) in the high lane (likewise rows 4..7). The column basis being even or odd about
// its middle, each product yields the even sum (low lane) and the odd sum (high lane) of one
// output row i; a lane exchange pairs them up, and their sum and difference are rows i and
// H - 1 - i.
template <int H>
struct NarrowCol {
    // [output i][row group g][lane dword]: low lane (M[k0][i], M[k1][i]) of the even rows of the
    // group, high lane of its odd rows.
    alignas(32) std::int32_t pair[H / 2][2][8];
};
template <int H>
constexpr NarrowCol<H> make_narrow_col(const Matrix<H>& mat) {
    NarrowCol<H> c{};
    constexpr int rows[2][2][2] = {{{0, 2}, {1, 3}}, {{4, 6}, {5, 7}}};
    for (int i = 0; i < H / 2; ++i)
        for (int g = 0; g < H / 4; ++g)
            for (int lane = 0; lane < 2; ++lane)
                for (int j = 0; j < 4; ++j)
                    c.pair[i][g][4 * lane + j] = static_cast<std::int32_t>(
                        (static_cast<std::uint32_t>(
                             static_cast<std::uint16_t>(mat.m[rows[g][lane][1]][i]))
                         << 16) |
                        static_cast<std::uint16_t>(mat.m[rows[g][lane][0]][i]));
    return c;
}
constexpr NarrowCol<4> kNarrowCol4 = make_narrow_col(kInv4);
constexpr NarrowCol<8> kNarrowCol8 = make_narrow_col(kInv8);
constexpr bool inv4_symmetric() {
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 4; ++j)
            if (kInv4.m[k][3 - j] != ((k & 1) ? -kInv4.m[k][j] : kInv4.m[k][j])) return false;
    return true;
}
static_assert(inv4_symmetric());
// Row pass constants: dwords (M[2m][c], M[2m+1][c]) for columns c = 2h, 2h, 2h + 1, 2h + 1 (the
// two rows of a lane take turns), h = 0 (columns 0, 1) or 1 (columns 2, 3), both lanes.
struct NarrowRow {
    alignas(32) std::int16_t pairs[2][2][16];  // [m][h]
};
constexpr NarrowRow make_narrow_row() {
    NarrowRow r{};
    for (int m = 0; m < 2; ++m)
        for (int h = 0; h < 2; ++h)
            for (int lane = 0; lane < 2; ++lane)
                for (int d = 0; d < 4; ++d) {
                    const int c = 2 * h + d / 2;
                    r.pairs[m][h][8 * lane + 2 * d] = kInv4.m[2 * m][c];
                    r.pairs[m][h][8 * lane + 2 * d + 1] = kInv4.m[2 * m + 1][c];
                }
    return r;
}
constexpr NarrowRow kNarrowRow = make_narrow_row();

// Rows r0, r1 from the low lane (low and high 64 bits), r2, r3 from the high lane.
OPX_INLINE void store_4x4(Opx16s* dst, std::int32_t step, __m256i v, int r0, int r1, int r2,
                          int r3) noexcept {
    const __m128i lo = _mm256_castsi256_si128(v), hi = _mm256_extracti128_si256(v, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, r0, step)), lo);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, r1, step)),
                         _mm_unpackhi_epi64(lo, lo));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, r2, step)), hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, r3, step)),
                         _mm_unpackhi_epi64(hi, hi));
}

template <int H, int EW, int EH>
void inverse4xh(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
                std::int32_t dst_step) noexcept {
    const NarrowCol<H>& cols = []() -> const NarrowCol<H>& {
        if constexpr (H == 8)
            return kNarrowCol8;
        else
            return kNarrowCol4;
    }();
    // Rows 4g .. 4g + 3 as [4g, 4g + 2 | 4g + 1, 4g + 3] (64 bits each); the row pass
    // E = (D . M + 4) >> 3 gives the rows of a lane in turns, so that the pack leaves the word
    // pairs of rows (4g, 4g + 2) in the low lane and (4g + 1, 4g + 3) in the high lane.
    constexpr int groups = EH > 4 ? 2 : 1;
    auto pairs = [](int m, int h) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(kNarrowRow.pairs[m][h]));
    };
    auto load2 = [&](int r0, int r1) {
        const __m128i lo =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row_at(src, r0, src_step)));
        if (r1 >= EH) return lo;
        return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo),
                                             reinterpret_cast<const double*>(row_at(src, r1, src_step))));
    };
    __m256i y[2];  // [pairs of rows (0, 2) | (1, 3)], [(4, 6) | (5, 7)]
    for (int g = 0; g < groups; ++g) {
        const __m256i d = _mm256_inserti128_si256(_mm256_castsi128_si256(load2(4 * g, 4 * g + 2)),
                                                  load2(4 * g + 1, 4 * g + 3), 1);
        const __m256i d01 = _mm256_shuffle_epi32(d, 0x88);  // (D0, D1) of rows a, b, a, b
        const __m256i round = _mm256_set1_epi32(4);
        __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(d01, pairs(0, 0)), round);
        __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(d01, pairs(0, 1)), round);
        if constexpr (EW > 2) {
            const __m256i d23 = _mm256_shuffle_epi32(d, 0xDD);  // (D2, D3)
            lo = _mm256_add_epi32(lo, _mm256_madd_epi16(d23, pairs(1, 0)));
            hi = _mm256_add_epi32(hi, _mm256_madd_epi16(d23, pairs(1, 1)));
        }
        y[g] = _mm256_packs_epi32(_mm256_srai_epi32(lo, 3), _mm256_srai_epi32(hi, 3));
    }
    // [even | odd] sums of output row i.
    auto sums = [&](int i) {
        __m256i acc = _mm256_madd_epi16(
            y[0], _mm256_load_si256(reinterpret_cast<const __m256i*>(cols.pair[i][0])));
        if constexpr (groups > 1)
            acc = _mm256_add_epi32(
                acc, _mm256_madd_epi16(y[1], _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                                 cols.pair[i][1]))));
        return acc;
    };
    // Rows i, i + 1 (top) and H - 1 - i, H - 2 - i (bottom: rows 4..7 of an 8-point column
    // round with 64 + 1).
    __m256i top[H / 4], bottom[H / 4];
    for (int p = 0; p < H / 4; ++p) {
        const __m256i a0 = sums(2 * p), a1 = sums(2 * p + 1);
        const __m256i even =
            _mm256_add_epi32(_mm256_permute2x128_si256(a0, a1, 0x20), _mm256_set1_epi32(64));
        const __m256i odd = _mm256_permute2x128_si256(a0, a1, 0x31);
        top[p] = _mm256_srai_epi32(_mm256_add_epi32(even, odd), 7);
        const __m256i even_b =
            H == 8 ? _mm256_add_epi32(even, _mm256_set1_epi32(1)) : even;
        bottom[p] = _mm256_srai_epi32(_mm256_sub_epi32(even_b, odd), 7);
    }
    if constexpr (H == 4) {
        // Low lane rows 0, 3; high lane rows 1, 2.
        store_4x4(dst, dst_step, _mm256_packs_epi32(top[0], bottom[0]), 0, 3, 1, 2);
    } else {
        store_4x4(dst, dst_step, _mm256_packs_epi32(top[0], top[1]), 0, 2, 1, 3);
        store_4x4(dst, dst_step, _mm256_packs_epi32(bottom[0], bottom[1]), 7, 5, 6, 4);
    }
}

template <int W, int H, int EW, int EH>
void inverse(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
             std::int32_t dst_step) noexcept {
    if constexpr (W == 8 && H == 8)
        inverse8x8<EW, EH>(src, src_step, dst, dst_step);
    else if constexpr (W == 8)
        inverse8x4<EW, EH>(src, src_step, dst, dst_step);
    else
        inverse4xh<H, EW, EH>(src, src_step, dst, dst_step);
}
template <int W, int H>
void forward(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
             std::int32_t dst_step) noexcept {
    transform<W, H, W, H, true>(src, src_step, dst, dst_step);
}

// Only D[0][0]: one value through both passes with their clamps (the +1 of rows 4..7 of an
// 8-point column never changes (12 e + 64) >> 7, 12 e being a multiple of 4).
template <int W, int H>
void inverse_dc(const Opx16s* src, std::int32_t, Opx16s* dst, std::int32_t dst_step) noexcept {
    const int e = clamp16((src[0] * (W == 8 ? 12 : 17) + 4) >> 3);
    const int r = clamp16((e * (H == 8 ? 12 : 17) + 64) >> 7);
    // 128-bit stores: no upper-lane state to clear on the way out of this short kernel.
    const __m128i v = _mm_set1_epi16(static_cast<short>(r));
    for (int i = 0; i < H; ++i) {
        if constexpr (W == 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row_at(dst, i, dst_step)), v);
        else
            _mm_storel_epi64(reinterpret_cast<__m128i*>(row_at(dst, i, dst_step)), v);
    }
}

}  // namespace

#define OPX_INV(W, H, EW, EH) &inverse<W, H, (EW < W ? EW : W), (EH < H ? EH : H)>
#define OPX_INV_ROW(W, H)                                                                       \
    {                                                                                           \
        &inverse_dc<W, H>, OPX_INV(W, H, 2, 2), OPX_INV(W, H, 4, 2), OPX_INV(W, H, 8, 2),       \
            OPX_INV(W, H, 2, 4), OPX_INV(W, H, 4, 4), OPX_INV(W, H, 8, 4), OPX_INV(W, H, 2, 8), \
            OPX_INV(W, H, 4, 8), OPX_INV(W, H, 8, 8)                                            \
    }
const TransformKernels kTransform = {
    {OPX_INV_ROW(8, 8), OPX_INV_ROW(8, 4), OPX_INV_ROW(4, 8), OPX_INV_ROW(4, 4)},
    {&forward<8, 8>, &forward<8, 4>, &forward<4, 8>, &forward<4, 4>},
};
#undef OPX_INV_ROW
#undef OPX_INV

}  // namespace opx::vc1::avx2
