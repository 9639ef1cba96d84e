// The inverse DCTs of opxvc-dvdec: 8-8 and 2-4-8 (IEC 61834-2), separable in single precision.
// The horizontal pass is the 8-point inverse of both modes; the vertical pass is the 8-point
// inverse (8-8) or the inverse of the field sum / difference pair of 4-point transforms (2-4-8).
// Both inverses are the exact inverses of the forward transforms as IEC 61834-2 defines them,
// taken in double precision and stored as single-precision matrices. Each pass works in halves
// (dvdec.hpp): a pair of outputs is e + o and e - o, each half a sum of four products, which halves
// the multiplications of a matrix product. The AVX2 path (chosen once, where the processor has it)
// forms the same sums in the same order as the portable one (products of zero coefficients add
// nothing), so both give the same samples. tests/dvdec/dvdec_idct1180.cpp runs the IEEE 1180
// procedure on both transforms and compares the paths.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "dvdec.hpp"
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define OPX_DVDEC_AVX2 1
#endif

namespace dvdec {

namespace {

// The vertical halves per mode: the input rows of the first half, then of the second, and the
// two output rows each pair of sums gives (first: p + q, second: p - q).
constexpr int kRows[2][8] = {{0, 2, 4, 6, 1, 3, 5, 7}, {0, 1, 2, 3, 4, 5, 6, 7}};
constexpr int kOutSum[2][4] = {{0, 1, 2, 3}, {0, 2, 4, 6}};
constexpr int kOutDiff[2][4] = {{7, 6, 5, 4}, {1, 3, 5, 7}};

void invert8(const double a_in[8][8], double inv[8][8]) {
    double a[8][16];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 16; ++j) a[i][j] = j < 8 ? a_in[i][j] : (j - 8 == i ? 1.0 : 0.0);
    for (int c = 0; c < 8; ++c) {
        int p = c;
        for (int r = c + 1; r < 8; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        for (int j = 0; j < 16; ++j) std::swap(a[c][j], a[p][j]);
        const double d = a[c][c];
        for (int j = 0; j < 16; ++j) a[c][j] /= d;
        for (int r = 0; r < 8; ++r) {
            if (r == c) continue;
            const double m = a[r][c];
            for (int j = 0; j < 16; ++j) a[r][j] -= m * a[c][j];
        }
    }
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) inv[i][j] = a[i][j + 8];
}

}  // namespace

Idct::Idct() {
    const double pi = 3.14159265358979323846;
    // forward[mode][frequency][sample]
    for (int u = 0; u < 8; ++u) {
        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
        for (int x = 0; x < 8; ++x) fwd_h[u][x] = fwd_v[0][u][x] = cu / 2 * std::cos((2 * x + 1) * u * pi / 16);
    }
    for (int v = 0; v < 8; ++v) {
        const int u = v % 4;
        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
        for (int z = 0; z < 4; ++z) {
            const double b = cu / 2 * std::cos((2 * z + 1) * u * pi / 8);
            fwd_v[1][v][2 * z] = b;
            fwd_v[1][v][2 * z + 1] = v < 4 ? b : -b;
        }
    }
    invert8(fwd_h, inv_h);
    invert8(fwd_v[0], inv_v[0]);
    invert8(fwd_v[1], inv_v[1]);
    // The halves rest on the symmetries of the inverses (inv_h[7 - x][h] = (-1)^h inv_h[x][h];
    // 8-8 vertical likewise; 2-4-8: rows 2z and 2z + 1 agree on the sums and are opposite on the
    // differences): only the first output of each pair is stored.
    for (int h = 0; h < 8; ++h)
        for (int x = 0; x < 4; ++x) h_[h][x] = h_[h][x + 4] = float(inv_h[x][h]);
    for (int m = 0; m < 2; ++m)
        for (int j = 0; j < 8; ++j)
            for (int k = 0; k < 4; ++k) v_[m][j][k] = float(inv_v[m][kOutSum[m][k]][kRows[m][j]]);
#if defined(OPX_DVDEC_AVX2)
    avx2_ = __builtin_cpu_supports("avx2");
#endif
}

// The transform of the coefficients `mask` (bit k: coefficient k; the others taken as zero), in
// the halves and the order of the AVX2 path.
static void transform_halves(const float (*h)[8], const float (*vm)[4], int mode,
                             const float in[64], std::uint64_t mask, float out[64]) {
    float t[8][8];
    for (int v = 0; v < 8; ++v) {
        float c[8];
        for (int k = 0; k < 8; ++k) c[k] = (mask >> (8 * v + k) & 1) ? in[8 * v + k] : 0.0f;
        for (int x = 0; x < 4; ++x) {
            float e = c[0] * h[0][x], o = c[1] * h[1][x];
            for (int k = 2; k < 8; k += 2) {
                e = e + c[k] * h[k][x];
                o = o + c[k + 1] * h[k + 1][x];
            }
            t[v][x] = e + o;
            t[v][7 - x] = e - o;
        }
    }
    const int* rows = kRows[mode];
    for (int k = 0; k < 4; ++k)
        for (int x = 0; x < 8; ++x) {
            float p = t[rows[0]][x] * vm[0][k], q = t[rows[4]][x] * vm[4][k];
            for (int j = 1; j < 4; ++j) {
                p = p + t[rows[j]][x] * vm[j][k];
                q = q + t[rows[4 + j]][x] * vm[4 + j][k];
            }
            out[8 * kOutSum[mode][k] + x] = p + q;
            out[8 * kOutDiff[mode][k] + x] = p - q;
        }
}

void Idct::transform(const float in[64], std::uint64_t nonzero, int mode, float out[64]) const {
    transform_halves(h_, v_[mode], mode, in, nonzero, out);
}

void Idct::set_avx2(bool on) {
#if defined(OPX_DVDEC_AVX2)
    avx2_ = on && __builtin_cpu_supports("avx2");
#else
    (void)on;
#endif
}

void Idct::reference(const double in[64], int mode, double out[64]) const {
    double t[8][8];
    for (int v = 0; v < 8; ++v)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int h = 0; h < 8; ++h) s += inv_h[x][h] * in[8 * v + h];
            t[v][x] = s;
        }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int v = 0; v < 8; ++v) s += inv_v[mode][y][v] * t[v][x];
            out[8 * y + x] = s;
        }
}

void Idct::forward(const double in[64], int mode, double out[64]) const {
    double t[8][8];
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int x = 0; x < 8; ++x) s += fwd_h[u][x] * in[8 * y + x];
            t[y][u] = s;
        }
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int y = 0; y < 8; ++y) s += fwd_v[mode][v][y] * t[y][u];
            out[8 * v + u] = s;
        }
}

namespace {

// Bit k set for every nonzero c[k].
std::uint64_t nonzero_mask(const std::int16_t c[64]) {
#if defined(__SSE2__)
    std::uint64_t m = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 16 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 16 * i + 8));
        const __m128i z = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        m |= std::uint64_t(std::uint16_t(~_mm_movemask_epi8(z))) << (16 * i);
    }
    return m;
#else
    std::uint64_t m = 0;
    for (int k = 0; k < 64; ++k) m |= std::uint64_t(c[k] != 0) << k;
    return m;
#endif
}

}  // namespace

#if defined(OPX_DVDEC_AVX2)
// samples() with eight lanes a register: the same sums in the same order, so the same results.
// The horizontal pass takes two rows a register (their first four samples from the sums, the
// last four from the differences); the vertical pass takes whole rows.
// The j-th input row of the vertical pass times its weight in the k-th pair of output rows.
template <int Mode>
__attribute__((target("avx2"), always_inline)) static inline __m256 term(const __m256* t,
                                                                       const float (*vm)[4],
                                                                       int j, int k) {
    return _mm256_mul_ps(t[kRows[Mode][j]], _mm256_broadcast_ss(&vm[j][k]));
}

template <int Mode>
__attribute__((target("avx2"))) static void samples_avx2(
    const float (*h)[8], const float (*vm)[4], const std::int16_t c[64], const Recon& r,
    float bias, std::uint8_t* dst, std::ptrdiff_t stride, bool split411) {
    const __m256 b = _mm256_set1_ps(bias), half = _mm256_set1_ps(0.5f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    __m256 in[8];
    unsigned rows = 0;  // bit v: row v has a nonzero coefficient
#pragma GCC unroll 8
    for (int v = 0; v < 8; ++v) {
        const __m128i ci = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8 * v));
        if (_mm_testz_si128(ci, ci)) {  // a zero row adds nothing
            in[v] = _mm256_setzero_ps();
            continue;
        }
        rows |= 1u << v;
        // the row's transform input; zero coefficients stay zero, the DC is taken as it is
        const __m256 cf = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(ci));
        const __m256 q = _mm256_mul_ps(_mm256_add_ps(cf, b), _mm256_load_ps(r.ilat + 8 * v));
        const __m256 n = _mm256_cvtepi32_ps(
            _mm256_cvttps_epi32(_mm256_add_ps(q, _mm256_or_ps(half, _mm256_and_ps(q, sign)))));
        __m256 x = _mm256_mul_ps(_mm256_mul_ps(_mm256_load_ps(r.lat + 8 * v), n),
                                 _mm256_load_ps(r.scale + 8 * v));
        const __m256i zero = _mm256_cvtepi16_epi32(_mm_cmpeq_epi16(ci, _mm_setzero_si128()));
        x = _mm256_andnot_ps(_mm256_castsi256_ps(zero), x);
        if (v == 0) x = _mm256_blend_ps(x, cf, 1);
        in[v] = x;
    }
    // horizontal: rows v and v + 1, frequencies 0..3 in a and 4..7 in b (low lane row v)
    __m256 t[8];
#pragma GCC unroll 4
    for (int v = 0; v < 8; v += 2) {
        if (!(rows >> v & 3)) {
            t[v] = t[v + 1] = _mm256_setzero_ps();
            continue;
        }
        const __m256 a = _mm256_permute2f128_ps(in[v], in[v + 1], 0x20);
        const __m256 bb = _mm256_permute2f128_ps(in[v], in[v + 1], 0x31);
        __m256 e = _mm256_mul_ps(_mm256_shuffle_ps(a, a, 0x00), _mm256_load_ps(h[0]));
        __m256 o = _mm256_mul_ps(_mm256_shuffle_ps(a, a, 0x55), _mm256_load_ps(h[1]));
        e = _mm256_add_ps(e, _mm256_mul_ps(_mm256_shuffle_ps(a, a, 0xAA), _mm256_load_ps(h[2])));
        o = _mm256_add_ps(o, _mm256_mul_ps(_mm256_shuffle_ps(a, a, 0xFF), _mm256_load_ps(h[3])));
        e = _mm256_add_ps(e, _mm256_mul_ps(_mm256_shuffle_ps(bb, bb, 0x00), _mm256_load_ps(h[4])));
        o = _mm256_add_ps(o, _mm256_mul_ps(_mm256_shuffle_ps(bb, bb, 0x55), _mm256_load_ps(h[5])));
        e = _mm256_add_ps(e, _mm256_mul_ps(_mm256_shuffle_ps(bb, bb, 0xAA), _mm256_load_ps(h[6])));
        o = _mm256_add_ps(o, _mm256_mul_ps(_mm256_shuffle_ps(bb, bb, 0xFF), _mm256_load_ps(h[7])));
        const __m256 first = _mm256_add_ps(e, o);  // samples 0..3
        __m256 last = _mm256_sub_ps(e, o);         // samples 7..4
        last = _mm256_shuffle_ps(last, last, 0x1B);
        t[v] = _mm256_permute2f128_ps(first, last, 0x20);
        t[v + 1] = _mm256_permute2f128_ps(first, last, 0x31);
    }
    // vertical: output rows in pairs
    __m256 a[8];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        __m256 p = term<Mode>(t, vm, 0, k), q = term<Mode>(t, vm, 4, k);
        for (int j = 1; j < 4; ++j) {
            p = _mm256_add_ps(p, term<Mode>(t, vm, j, k));
            q = _mm256_add_ps(q, term<Mode>(t, vm, 4 + j, k));
        }
        a[kOutSum[Mode][k]] = _mm256_add_ps(p, q);
        a[kOutDiff[Mode][k]] = _mm256_sub_ps(p, q);
    }
    const __m256 offset = _mm256_set1_ps(128.5f);
    for (int y = 0; y < 8; ++y) {
        const __m256i i32 = _mm256_cvttps_epi32(_mm256_add_ps(a[y], offset));
        const __m128i i16 =
            _mm_packs_epi32(_mm256_castsi256_si128(i32), _mm256_extracti128_si256(i32, 1));
        const __m128i px = _mm_packus_epi16(i16, i16);
        if (!split411) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * stride), px);
        } else {
            const std::uint32_t lo = std::uint32_t(_mm_cvtsi128_si32(px));
            const std::uint32_t hi = std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(px, 4)));
            std::memcpy(dst + y * stride, &lo, 4);
            std::memcpy(dst + (y + 8) * stride, &hi, 4);
        }
    }
}
#endif

void Idct::samples(const std::int16_t c[64], const Recon& r, float bias,
                                    int mode, std::uint8_t* dst, std::ptrdiff_t stride,
                                    bool split411) const {
#if defined(OPX_DVDEC_AVX2)
    if (avx2_)
        return mode ? samples_avx2<1>(h_, v_[1], c, r, bias, dst, stride, split411)
                    : samples_avx2<0>(h_, v_[0], c, r, bias, dst, stride, split411);
#endif
    alignas(32) float in[64];
    for (int k = 0; k < 64; ++k) {
        const float q = (float(c[k]) + bias) * r.ilat[k];
        in[k] = r.lat[k] * float(int(q + std::copysign(0.5f, q))) * r.scale[k];
    }
    in[0] = c[0];
    alignas(32) float out[64];
    transform_halves(h_, v_[mode], mode, in, nonzero_mask(c) | 1, out);
    alignas(32) std::uint8_t px[64];
    for (int i = 0; i < 64; ++i) {
        // floor(v + 128 + 0.5) for v + 128.5 >= 0 (truncation), 0 below
        const int r = int(out[i] + 128.5f);
        px[i] = std::uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
    }
    if (!split411) {
        for (int y = 0; y < 8; ++y) std::copy(px + 8 * y, px + 8 * y + 8, dst + y * stride);
    } else {  // columns 0..3 to rows 0..7, columns 4..7 to rows 8..15
        for (int y = 0; y < 8; ++y) {
            std::copy(px + 8 * y, px + 8 * y + 4, dst + y * stride);
            std::copy(px + 8 * y + 4, px + 8 * y + 8, dst + (y + 8) * stride);
        }
    }
}

}  // namespace dvdec
