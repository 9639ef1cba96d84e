// AVX2 AVS luma interpolation and weighted prediction.
//
// One template body serves both block widths: a row of the block is one vector of 16-bit lanes
// (8 lanes in an SSE register for width 8, 16 lanes in an AVX2 register for width 16), and a
// vector "at column c" holds the value for block columns c..c + width − 1. Samples are widened
// from bytes as they are loaded; every load stays inside the filter support (columns −2..width+2,
// rows −2..height+2).
//
// Ranges (16-bit lanes): b1, h1 in [−510, 2550]; j1 in [−10200, 26520]. The 1-D quarter sums
// (taps −1, −2, 96, 42, −7) lie in [−2550, 35190], which leaves the signed range; they are formed
// with wrapping arithmetic and rounded as unsigned after adding 2560 (= 20 · 128), which is taken
// off again after the shift. In Q the difference A − C of two centre sums can leave 16 bits; its
// exact (A − C) >> 3 is (A >> 3) − (C >> 3) − ((A & 7) < (C & 7)). Written in the five half
// sums s−2..s2 that A, B, C, D are made of, the first stage ((A − C) >> 3) + C − B + D is
// (−s−2 − 2·s−1 + 32·s0 + 42·s1 − 7·s2) / 8, within [−7905, 24225], so its wrapping adds end in
// range.
//
// Sample rows and rows of half sums pass through sliding windows of registers, so that each is
// loaded or computed once per block; j1 is the vertical filter over rows of b1, or for (1, 2)
// and (3, 2) the horizontal filter over rows of h1 kept in a stack buffer.

constexpr int kBufPitch = 32;  // int16 per h1 row: columns −2..18 at 0..20, room for loads
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "avs/avs.hpp"
#include "frame/dispatch.hpp"

namespace opx::avs::avx2 {
namespace {

// 16-bit lanes of one block row, width W.
template <int W>
struct V;

template <>
struct V<16> {
    __m256i v;
    static V load(const Opx8u* p) {
        return {_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))};
    }
    static V load16(const std::int16_t* p) {
        return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))};
    }
    void store16(std::int16_t* p) const { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    void store8(Opx8u* p) const {  // clamped to 0..255
        const __m128i b =
            _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), b);
    }
    static V set(int a) { return {_mm256_set1_epi16(static_cast<short>(a))}; }
    friend V operator+(V a, V b) { return {_mm256_add_epi16(a.v, b.v)}; }
    friend V operator-(V a, V b) { return {_mm256_sub_epi16(a.v, b.v)}; }
    friend V operator&(V a, V b) { return {_mm256_and_si256(a.v, b.v)}; }
    V sra(int n) const { return {_mm256_srai_epi16(v, n)}; }
    V srl(int n) const { return {_mm256_srli_epi16(v, n)}; }
    V shl(int n) const { return {_mm256_slli_epi16(v, n)}; }
    static V gt(V a, V b) { return {_mm256_cmpgt_epi16(a.v, b.v)}; }  // −1 where a > b
};

template <>
struct V<8> {
    __m128i v;
    static V load(const Opx8u* p) {
        return {_mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)))};
    }
    static V load16(const std::int16_t* p) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
    }
    void store16(std::int16_t* p) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    void store8(Opx8u* p) const {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
    }
    static V set(int a) { return {_mm_set1_epi16(static_cast<short>(a))}; }
    friend V operator+(V a, V b) { return {_mm_add_epi16(a.v, b.v)}; }
    friend V operator-(V a, V b) { return {_mm_sub_epi16(a.v, b.v)}; }
    friend V operator&(V a, V b) { return {_mm_and_si128(a.v, b.v)}; }
    V sra(int n) const { return {_mm_srai_epi16(v, n)}; }
    V srl(int n) const { return {_mm_srli_epi16(v, n)}; }
    V shl(int n) const { return {_mm_slli_epi16(v, n)}; }
    static V gt(V a, V b) { return {_mm_cmpgt_epi16(a.v, b.v)}; }
};

// 5·(b + c) − (a + d): the half-sample filter over four neighbours.
template <class T>
OPX_INLINE T half(T a, T b, T c, T d) {
    const T s = b + c;
    return s.shl(2) + s - (a + d);
}

// 7·v and 56·v by shifts (wrapping, as the sums they enter).
template <class T>
OPX_INLINE T times7(T v) {
    return v.shl(3) - v;
}
template <class T>
OPX_INLINE T times56(T v) {
    return v.shl(6) - v.shl(3);
}

// (t + 64) >> 7 for a 1-D quarter sum t in [−2550, 35190] held modulo 2^16.
template <class T>
OPX_INLINE T round7(T t) {
    return (t + T::set(64 + 2560)).srl(7) - T::set(20);
}

// Q(A, B, C, D) in the staged form, exact.
template <class T>
OPX_INLINE T q(T a, T b, T c, T d) {
    const T seven = T::set(7);
    const T diff8 = a.sra(3) - c.sra(3) + T::gt(c & seven, a & seven);  // (A − C) >> 3
    T t = diff8 + c - b + d;
    t = t.sra(3) + b + T::set(8);
    return t.sra(4);
}

template <int W, int DX, int DY>
void luma(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, int h) noexcept {
    using T = V<W>;
    auto X = [&](int c, int r) { return T::load(src + r * ss + c); };
    auto B1 = [&](int c, int r) { return half(X(c - 1, r), X(c, r), X(c + 1, r), X(c + 2, r)); };

    if constexpr (DX == 0 && DY == 0) {
        for (int r = 0; r < h; ++r) {
            if constexpr (W == 16)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + r * ds),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + r * ss)));
            else
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + r * ds),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + r * ss)));
        }
    } else if constexpr (DY == 0) {
        for (int r = 0; r < h; ++r) {
            T v;
            if constexpr (DX == 2)
                v = (B1(0, r) + T::set(4)).sra(3);
            else if constexpr (DX == 1)
                v = round7(B1(-1, r) + times56(X(0, r)) + times7(B1(0, r)) + X(1, r).shl(3));
            else
                v = round7(X(0, r).shl(3) + times7(B1(0, r)) + times56(X(1, r)) + B1(1, r));
            v.store8(dst + r * ds);
        }
    } else if constexpr (DX == 0) {
        // Vertical positions: a window of the sample rows r − 2..r + 3, one new row per row.
        T x[6];
        for (int i = 0; i < 5; ++i) x[i] = X(0, i - 2);
        for (int r = 0; r < h; ++r) {
            x[5] = X(0, r + 3);
            const T h0 = half(x[1], x[2], x[3], x[4]);  // h1 at r + ½
            T v;
            if constexpr (DY == 2)
                v = (h0 + T::set(4)).sra(3);
            else if constexpr (DY == 1)
                v = round7(half(x[0], x[1], x[2], x[3]) + times56(x[2]) + times7(h0) + x[3].shl(3));
            else
                v = round7(x[2].shl(3) + times7(h0) + times56(x[3]) + half(x[2], x[3], x[4], x[5]));
            v.store8(dst + r * ds);
            for (int i = 0; i < 5; ++i) x[i] = x[i + 1];
        }
    } else if constexpr (DY == 2 && DX != 2) {
        // (1, 2), (3, 2): j1 one column either side of the block's and the vertical half sums
        // h1 of columns 0 and 1. The h1 rows of columns −2..width+2 go to a stack buffer (sample
        // rows through a window of four, each loaded once); j1 is the horizontal filter over a
        // buffer row.
        alignas(64) std::int16_t buf[16 * kBufPitch];
        T a[4], b[4];
        for (int i = 0; i < 3; ++i) {
            a[i] = X(-2, i - 1);
            b[i] = X(3, i - 1);
        }
        for (int r = 0; r < h; ++r) {
            std::int16_t* row = buf + r * kBufPitch;
            a[3] = X(-2, r + 2);
            b[3] = X(3, r + 2);
            half(a[0], a[1], a[2], a[3]).store16(row);
            half(b[0], b[1], b[2], b[3]).store16(row + 5);
            for (int i = 0; i < 3; ++i) {
                a[i] = a[i + 1];
                b[i] = b[i + 1];
            }
        }
        for (int r = 0; r < h; ++r) {
            const std::int16_t* row = buf + r * kBufPitch + 2;  // column 0
            const T hm2 = T::load16(row - 2), hm1 = T::load16(row - 1), h0 = T::load16(row),
                    h1 = T::load16(row + 1), h2 = T::load16(row + 2), h3 = T::load16(row + 3);
            const T jc = half(hm1, h0, h1, h2);
            const T v = DX == 1 ? q(half(hm2, hm1, h0, h1), h0, jc, h1)
                                : q(half(h0, h1, h2, h3), h1, jc, h0);
            v.store8(dst + r * ds);
        }
    } else {
        // Centre sums j1 as the vertical filter over a window of rows of horizontal half sums b1
        // (each b1 row computed once); (1, 2) and (3, 2) also need j1 one column either side and
        // the vertical half sums h1 of columns 0 and 1, from windows of sample rows.
        constexpr bool kQv = DX == 2;             // (2, 1), (2, 3): j1 of rows r ± 1 too
        constexpr bool kQh = DY == 2 && DX != 2;  // (1, 2), (3, 2)
        constexpr int kFirst = kQv ? 2 : 1;       // the window holds b1 rows r − kFirst ..
        constexpr int kRows = kQv ? 6 : 4;        // .. r − kFirst + kRows − 1
        constexpr int kC0 = kQh ? -1 : 0, kC1 = kQh ? 1 : 0;  // b1 columns kept
        T b[3][kRows];
        auto b1_row = [&](int slot, int r) {
            for (int c = kC0; c <= kC1; ++c) b[c + 1][slot] = B1(c, r);
        };
        for (int i = 0; i < kRows - 1; ++i) b1_row(i, i - kFirst);
        // j1 at (c + ½, r + d + ½).
        auto J = [&](int c, int d) {
            const int s0 = d + kFirst - 1;
            return half(b[c + 1][s0], b[c + 1][s0 + 1], b[c + 1][s0 + 2], b[c + 1][s0 + 3]);
        };
        T x0[4], x1[4];  // samples of columns 0 and 1, rows r − 1..r + 2 ((1, 2) and (3, 2))
        if constexpr (kQh)
            for (int i = 0; i < 3; ++i) {
                x0[i] = X(0, i - 1);
                x1[i] = X(1, i - 1);
            }
        for (int r = 0; r < h; ++r) {
            b1_row(kRows - 1, r - kFirst + kRows - 1);
            T v;
            if constexpr (DX == 2 && DY == 2)
                v = (J(0, 0) + T::set(32)).sra(6);
            else if constexpr (DX == 2 && DY == 1)
                v = q(J(0, -1), b[1][kFirst], J(0, 0), b[1][kFirst + 1]);
            else if constexpr (DX == 2 && DY == 3)
                v = q(J(0, 1), b[1][kFirst + 1], J(0, 0), b[1][kFirst]);
            else if constexpr (kQh) {
                x0[3] = X(0, r + 2);
                x1[3] = X(1, r + 2);
                const T h0 = half(x0[0], x0[1], x0[2], x0[3]),
                        h1 = half(x1[0], x1[1], x1[2], x1[3]);
                if constexpr (DX == 1)
                    v = q(J(-1, 0), h0, J(0, 0), h1);
                else
                    v = q(J(1, 0), h1, J(0, 0), h0);
                for (int i = 0; i < 3; ++i) {
                    x0[i] = x0[i + 1];
                    x1[i] = x1[i + 1];
                }
            } else {
                v = (X(DX / 2, r + DY / 2) + J(0, 0).sra(6) + T::set(1)).sra(1);
            }
            v.store8(dst + r * ds);
            for (int c = kC0; c <= kC1; ++c)
                for (int i = 0; i < kRows - 1; ++i) b[c + 1][i] = b[c + 1][i + 1];
        }
    }
}

// ((p × scale + 16) >> 5) + offset for 16 samples: p·scale + 16 as one vpmaddwd of the pairs
// (p, 1) and (scale, 16), exact while scale fits in 16 bits; the sum with the offset stays in
// 32 bits for |offset| < 2^30; packing saturates to 16 and then to 0..255, which is the clamp.
// Other scales and offsets take the exact scalar loop.
OPX_INLINE __m128i weight16(__m128i p, __m256i coef, __m256i offset) {
    const __m256i w = _mm256_cvtepu8_epi16(p);
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i lo = _mm256_unpacklo_epi16(w, one), hi = _mm256_unpackhi_epi16(w, one);
    const __m256i a = _mm256_add_epi32(_mm256_srai_epi32(_mm256_madd_epi16(lo, coef), 5), offset);
    const __m256i b = _mm256_add_epi32(_mm256_srai_epi32(_mm256_madd_epi16(hi, coef), 5), offset);
    const __m256i s = _mm256_packs_epi32(a, b);  // lane order restored by the in-lane unpacks
    return _mm_packus_epi16(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
}

void weight(const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst, std::ptrdiff_t ds, Opx32s scale,
            Opx32s offset, int width, int height) noexcept {
    if (scale < -32768 || scale > 32767 || offset <= -(1 << 30) || offset >= (1 << 30)) {
        ref::kInterp.weight(src, ss, dst, ds, scale, offset, width, height);
        return;
    }
    const __m256i coef =
        _mm256_set1_epi32(static_cast<int>((16u << 16) | (static_cast<unsigned>(scale) & 0xFFFF)));
    const __m256i off = _mm256_set1_epi32(offset);
    for (int r = 0; r < height; ++r) {
        const Opx8u* s = src + r * ss;
        Opx8u* d = dst + r * ds;
        int c = 0;
        for (; c + 16 <= width; c += 16)
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(d + c),
                weight16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + c)), coef, off));
        if (c + 8 <= width) {
            _mm_storel_epi64(
                reinterpret_cast<__m128i*>(d + c),
                weight16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + c)), coef, off));
            c += 8;
        }
        if (c < width) {  // width is a multiple of 4: one group of 4 left
            std::int32_t v;
            std::memcpy(&v, s + c, 4);
            v = _mm_cvtsi128_si32(weight16(_mm_cvtsi32_si128(v), coef, off));
            std::memcpy(d + c, &v, 4);
        }
    }
}

}  // namespace

const InterpKernels kInterp = {
    {
        luma<8, 0, 0>,  luma<8, 1, 0>,  luma<8, 2, 0>,  luma<8, 3, 0>,  luma<8, 0, 1>,
        luma<8, 1, 1>,  luma<8, 2, 1>,  luma<8, 3, 1>,  luma<8, 0, 2>,  luma<8, 1, 2>,
        luma<8, 2, 2>,  luma<8, 3, 2>,  luma<8, 0, 3>,  luma<8, 1, 3>,  luma<8, 2, 3>,
        luma<8, 3, 3>,  luma<16, 0, 0>, luma<16, 1, 0>, luma<16, 2, 0>, luma<16, 3, 0>,
        luma<16, 0, 1>, luma<16, 1, 1>, luma<16, 2, 1>, luma<16, 3, 1>, luma<16, 0, 2>,
        luma<16, 1, 2>, luma<16, 2, 2>, luma<16, 3, 2>, luma<16, 0, 3>, luma<16, 1, 3>,
        luma<16, 2, 3>, luma<16, 3, 3>,
    },
    weight,
};

}  // namespace opx::avs::avx2
