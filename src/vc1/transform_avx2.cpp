// VC-1 transforms, AVX2: both passes as sums of word-pair products (vpmaddwd).
//
// Layout: two rows of a block per 256-bit register, row i in the low lane and row i + 1 in the
// high lane, eight 16-bit values each (4-wide blocks use the low four). The row pass broadcasts
// each coefficient pair (D[i][2m], D[i][2m+1]) inside its lane and multiplies it with the pair
// (B[2m][j], B[2m+1][j]) of the basis for four columns j at a time; the 32-bit sums are rounded,
// shifted and packed with signed saturation, which is the 16-bit clamp of the rules and leaves
// the rows in the same two-rows-per-register layout. The column pass interleaves rows 2m and
// 2m + 1 word by word (one qword permute, one in-lane byte shuffle) and multiplies with the
// broadcast pair (C[i][2m], C[i][2m+1]) to form output row i for all columns at once.
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
            _mm_storeh_pd(reinterpret_cast<double*>(row_at(dst, i + 1, dst_step)),
                          _mm_castsi128_pd(v));
        }
    }
}

template <int W, int H, int EW, int EH>
void inverse(const Opx16s* src, std::int32_t src_step, Opx16s* dst,
             std::int32_t dst_step) noexcept {
    transform<W, H, EW, EH, false>(src, src_step, dst, dst_step);
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
