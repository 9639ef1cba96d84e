// The inverse DCTs of opxvc-dvdec: 8-8 and 2-4-8 (IEC 61834-2), separable in single precision.
// The horizontal pass is the 8-point inverse of both modes; the vertical pass is the 8-point
// inverse (8-8) or the inverse of the field sum / difference pair of 4-point transforms (2-4-8).
// Both inverses are the exact inverses of the forward transforms as IEC 61834-2 defines them,
// taken in double precision and stored as single-precision matrices. The portable path visits only
// the nonzero coefficients and the rows they reach (loops left to the compiler's vectoriser); the
// AVX2 path (chosen once, where the processor has it) skips zero rows and forms the same sums in
// the same order, so both give the same samples. tests/dvdec/dvdec_idct1180.cpp runs the IEEE
// 1180 procedure on both transforms and compares the paths.
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
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            h_[j][i] = float(inv_h[i][j]);
            for (int m = 0; m < 2; ++m) v_[m][j][i] = float(inv_v[m][i][j]);
        }
#if defined(OPX_DVDEC_AVX2)
    avx2_ = __builtin_cpu_supports("avx2");
#endif
}

// The transform of the nonzero coefficients `mask` (bit k: coefficient k).
static void transform_sparse(const float (*h)[8], const float (*vm)[8],
                                              const float in[64], std::uint64_t mask,
                                              float out[64]) {
    // t[v][x] = sum over h of in[v][h] inv_h[x][h]: the even h, the odd h, then both (the
    // order of the AVX2 path, which adds the zeros too: they change no sum)
    alignas(32) float te[8][8] = {}, to[8][8] = {}, t[8][8];
    unsigned rows = 0;
    for (; mask != 0; mask &= mask - 1) {
        const int k = __builtin_ctzll(mask), v = k >> 3;
        rows |= 1u << v;
        const float c = in[k];
        float* acc = (k & 1) ? to[v] : te[v];
        for (int x = 0; x < 8; ++x) acc[x] += c * h[k & 7][x];
    }
    for (int v = 0; v < 8; ++v)
        for (int x = 0; x < 8; ++x) t[v][x] = te[v][x] + to[v][x];
    // out[y][x] = sum over v of inv_v[y][v] t[v][x], row by row
    alignas(32) float acc[8][8] = {};
    for (; rows != 0; rows &= rows - 1) {
        const int v = __builtin_ctz(rows);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) acc[y][x] += vm[v][y] * t[v][x];
    }
    std::copy(&acc[0][0], &acc[0][0] + 64, out);
}

void Idct::transform(const float in[64], std::uint64_t nonzero, int mode, float out[64]) const {
    transform_sparse(h_, v_[mode], in, nonzero, out);
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
// Row v of the first pass is finished in registers (no branch per coefficient) and added at once
// into the eight output rows.
__attribute__((target("avx2"))) static void samples_avx2(
    const float (*h)[8], const float (*vm)[8], const std::int16_t c[64], const Recon& r,
    float bias, std::uint8_t* dst, std::ptrdiff_t stride, bool split411) {
    const __m256 b = _mm256_set1_ps(bias), half = _mm256_set1_ps(0.5f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
           a7 = a0;
    for (int v = 0; v < 8; ++v) {
        const __m128i ci = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 8 * v));
        if (_mm_testz_si128(ci, ci)) continue;  // a zero row adds nothing
        // the row's transform input; zero coefficients stay zero, the DC is taken as it is
        const __m256 cf = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(ci));
        const __m256 q = _mm256_mul_ps(_mm256_add_ps(cf, b), _mm256_load_ps(r.ilat + 8 * v));
        const __m256 n = _mm256_cvtepi32_ps(
            _mm256_cvttps_epi32(_mm256_add_ps(q, _mm256_or_ps(half, _mm256_and_ps(q, sign)))));
        __m256 in = _mm256_mul_ps(_mm256_mul_ps(_mm256_load_ps(r.lat + 8 * v), n),
                                  _mm256_load_ps(r.scale + 8 * v));
        const __m256i zero = _mm256_cvtepi16_epi32(_mm_cmpeq_epi16(ci, _mm_setzero_si128()));
        in = _mm256_andnot_ps(_mm256_castsi256_ps(zero), in);
        if (v == 0) in = _mm256_blend_ps(in, cf, 1);
        alignas(32) float row[8];
        _mm256_store_ps(row, in);
        // all eight coefficients of the row (zeros add nothing), even and odd ones apart
        __m256 te = _mm256_mul_ps(_mm256_broadcast_ss(row), _mm256_load_ps(h[0]));
        __m256 to = _mm256_mul_ps(_mm256_broadcast_ss(row + 1), _mm256_load_ps(h[1]));
        for (int hh = 2; hh < 8; hh += 2) {
            te = _mm256_add_ps(te, _mm256_mul_ps(_mm256_broadcast_ss(row + hh),
                                                 _mm256_load_ps(h[hh])));
            to = _mm256_add_ps(to, _mm256_mul_ps(_mm256_broadcast_ss(row + hh + 1),
                                                 _mm256_load_ps(h[hh + 1])));
        }
        const __m256 t = _mm256_add_ps(te, to);
        const float* col = vm[v];
        a0 = _mm256_add_ps(a0, _mm256_mul_ps(_mm256_broadcast_ss(col + 0), t));
        a1 = _mm256_add_ps(a1, _mm256_mul_ps(_mm256_broadcast_ss(col + 1), t));
        a2 = _mm256_add_ps(a2, _mm256_mul_ps(_mm256_broadcast_ss(col + 2), t));
        a3 = _mm256_add_ps(a3, _mm256_mul_ps(_mm256_broadcast_ss(col + 3), t));
        a4 = _mm256_add_ps(a4, _mm256_mul_ps(_mm256_broadcast_ss(col + 4), t));
        a5 = _mm256_add_ps(a5, _mm256_mul_ps(_mm256_broadcast_ss(col + 5), t));
        a6 = _mm256_add_ps(a6, _mm256_mul_ps(_mm256_broadcast_ss(col + 6), t));
        a7 = _mm256_add_ps(a7, _mm256_mul_ps(_mm256_broadcast_ss(col + 7), t));
    }
    const __m256 a[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
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
    if (avx2_) return samples_avx2(h_, v_[mode], c, r, bias, dst, stride, split411);
#endif
    alignas(32) float in[64];
    for (int k = 0; k < 64; ++k) {
        const float q = (float(c[k]) + bias) * r.ilat[k];
        in[k] = r.lat[k] * float(int(q + std::copysign(0.5f, q))) * r.scale[k];
    }
    in[0] = c[0];
    alignas(32) float out[64];
    transform_sparse(h_, v_[mode], in, nonzero_mask(c) | 1, out);
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
