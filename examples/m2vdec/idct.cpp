// The 8×8 inverse DCT of H.262 clause 7.5 / ISO/IEC 11172-2 annex A, separable in single
// precision: f(x, y) = Σ_u Σ_v C(u) C(v) F(u, v) cos((2x + 1)uπ/16) cos((2y + 1)vπ/16) / 4,
// rounded to the nearest integer. Single precision keeps the error far inside the IEEE 1180
// bounds (the test runs that procedure). Two builds of the same sums: eight-lane AVX2 with FMA,
// chosen once when the processor has them, and plain loops for any other.
//
// The AVX2 build takes the block transposed (the decoder has its block decoders place the
// coefficients so, by a transposed scan and weight table), so that both passes combine whole
// rows and one register transpose sits between them:
//   pass 1  Q[x] = Σ_u basis[u][x] · Xᵀ[u]   over the rows u of Xᵀ that are not zero,
//   pass 2  out[y] = Σ_v basis[v][y] · Qᵀ[v].
// Each pass pairs output rows k and 7 - k: basis[u][7 - k] = (-1)^u basis[u][k], so the even and
// odd terms are summed once and added and subtracted.
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define M2VDEC_X86 1
#endif

#include "m2vdec.hpp"

namespace m2vdec {

namespace {

// basis[u][x] = C(u) / 2 × cos((2x + 1)uπ/16), C(0) = 1/√2, else 1
struct Basis {
    float m[8][8];
    double d[8][8];
    float w7[4][8];  // basis[7][k] · basis[7][x]: the term of F(7, 7) in output rows k, 7 - k
    Basis() {
        const double pi = 3.14159265358979323846;
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) {
                const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
                d[u][x] = cu / 2 * std::cos((2 * x + 1) * u * pi / 16);
                m[u][x] = float(d[u][x]);
            }
        for (int k = 0; k < 4; ++k)
            for (int x = 0; x < 8; ++x) w7[k][x] = float(d[7][k] * d[7][x]);
    }
};

const Basis& basis() {
    static const Basis b;  // built on first use, not at load time
    return b;
}

// out (raster, rounded) = Bᵀ · in · B. Rows and coefficients that are zero (most of them in
// coded blocks) are passed over in the first pass.
inline void transform(const Opx16s in[64], int out[64]) {
    const Basis& b = basis();
    float tmp[8][8];
    for (int v = 0; v < 8; ++v) {  // rows: tmp[v][x] = Σ_u in[v][u] basis[u][x]
        float acc[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (int u = 0; u < 8; ++u) {
            if (in[v * 8 + u] == 0) continue;
            const float c = in[v * 8 + u];
            for (int x = 0; x < 8; ++x) acc[x] += c * b.m[u][x];
        }
        for (int x = 0; x < 8; ++x) tmp[v][x] = acc[x];
    }
    for (int y = 0; y < 8; ++y) {  // columns: out[y][x] = Σ_v basis[v][y] tmp[v][x]
        float acc[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (int v = 0; v < 8; ++v) {
            const float c = b.m[v][y];
            for (int x = 0; x < 8; ++x) acc[x] += c * tmp[v][x];
        }
        for (int x = 0; x < 8; ++x) {  // round half up: floor(acc + 0.5)
            const float r = acc[x] + 0.5f;
            const int i = int(r);
            out[y * 8 + x] = i - (float(i) > r);
        }
    }
}

inline int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }


inline void transpose(const Opx16s in[64], Opx16s out[64]) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[x * 8 + y] = in[y * 8 + x];
}

void residual_portable(const Opx16s in_t[64], Opx16s* out, int out_stride_elems) {
    Opx16s in[64];
    transpose(in_t, in);
    int r[64];
    transform(in, r);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[y * out_stride_elems + x] = Opx16s(clamp(r[y * 8 + x], -256, 255));
}

void samples_portable(const Opx16s in_t[64], uint8_t* out, int out_stride) {
    Opx16s in[64];
    transpose(in_t, in);
    int r[64];
    transform(in, r);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[y * out_stride + x] = uint8_t(clamp(r[y * 8 + x], 0, 255));
}

#ifdef M2VDEC_X86
#define M2VDEC_AVX2 __attribute__((target("avx2,fma,bmi2")))

M2VDEC_AVX2 inline void transpose8(__m256 r[8]) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

M2VDEC_AVX2 inline __m256 row_ps(const Opx16s* r) {
    return _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r))));
}

// The two passes; rows of the result rounded (half up) to 32-bit integers, rows y in out[y].
M2VDEC_AVX2 inline void transform_avx2(const Opx16s in_t[64], __m256i out[8]) {
    const Basis& b = basis();
    // F(7, 7), which mismatch control makes odd in about half the blocks, is taken apart as one
    // product term, so that it does not make row 7 and column 7 count. Then the rows and columns
    // of Xᵀ that are not zero: one bit each (rows in bit order 0 2 1 3 4 6 5 7, from the packing
    // of two registers of two rows each).
    const __m256i* src = reinterpret_cast<const __m256i*>(in_t);
    const __m256i z = _mm256_setzero_si256();
    __m256i v[4], any = z;
    for (int i = 0; i < 4; ++i) {
        v[i] = _mm256_loadu_si256(src + i);
        if (i == 3) v[i] = _mm256_and_si256(v[i], _mm256_setr_epi64x(-1, -1, -1, 0x0000FFFFFFFFFFFFll));
        any = _mm256_or_si256(any, v[i]);
        v[i] = _mm256_cmpeq_epi16(v[i], z);
    }
    const uint64_t zero = uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_packs_epi16(v[0], v[1])))) |
                          uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_packs_epi16(v[2], v[3])))) << 32;
    uint64_t nz = ~zero;
    nz |= nz >> 4;
    nz |= nz >> 2;
    nz |= nz >> 1;
    const uint32_t rows = uint32_t(_pext_u64(nz, 0x0101010101010101ull));
    const __m128i any8 = _mm_or_si128(_mm256_castsi256_si128(any), _mm256_extracti128_si256(any, 1));
    const uint32_t cols =
        uint32_t(_pext_u32(~uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi16(any8, _mm_setzero_si128()))), 0x5555));
    static constexpr int kRowOfBit[8] = {0, 2, 1, 3, 4, 6, 5, 7};

    // pass 1: e0..e3 and o0..o3 sum the terms of rows u even and odd for output rows k = 0..3
    // (named registers: arrays of them would live in memory across the loops)
    __m256 e0 = _mm256_setzero_ps(), e1 = e0, e2 = e0, e3 = e0, o0 = e0, o1 = e0, o2 = e0, o3 = e0;
#define M2VDEC_TERMS(a0, a1, a2, a3, u, t)                                  \
    do {                                                                    \
        const float* m = b.m[u];                                            \
        a0 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 0), t, a0);            \
        a1 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 1), t, a1);            \
        a2 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 2), t, a2);            \
        a3 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 3), t, a3);            \
    } while (0)
    for (uint32_t even = rows & 0x33; even; even &= even - 1) {  // bits 0 1 4 5: rows 0 2 4 6
        const int u = kRowOfBit[__builtin_ctz(even)];
        const __m256 t = row_ps(in_t + 8 * u);
        M2VDEC_TERMS(e0, e1, e2, e3, u, t);
    }
    for (uint32_t odd = rows & 0x4C; odd; odd &= odd - 1) {  // bits 2 3 6: rows 1 3 5
        const int u = kRowOfBit[__builtin_ctz(odd)];
        const __m256 t = row_ps(in_t + 8 * u);
        M2VDEC_TERMS(o0, o1, o2, o3, u, t);
    }
    if (rows & 0x80) {  // row 7 without F(7, 7)
        const __m256 t = _mm256_blend_ps(row_ps(in_t + 56), _mm256_setzero_ps(), 0x80);
        M2VDEC_TERMS(o0, o1, o2, o3, 7, t);
    }
    alignas(32) __m256 q[8];
    q[0] = _mm256_add_ps(e0, o0), q[7] = _mm256_sub_ps(e0, o0);
    q[1] = _mm256_add_ps(e1, o1), q[6] = _mm256_sub_ps(e1, o1);
    q[2] = _mm256_add_ps(e2, o2), q[5] = _mm256_sub_ps(e2, o2);
    q[3] = _mm256_add_ps(e3, o3), q[4] = _mm256_sub_ps(e3, o3);
    transpose8(q);
    // pass 2 over the columns of Xᵀ that are not zero (the other rows of q are zero), then F(7, 7)
    e0 = e1 = e2 = e3 = o0 = o1 = o2 = o3 = _mm256_setzero_ps();
    for (uint32_t even = cols & 0x55; even; even &= even - 1) {
        const int u = __builtin_ctz(even);
        M2VDEC_TERMS(e0, e1, e2, e3, u, q[u]);
    }
    for (uint32_t odd = cols & 0xAA; odd; odd &= odd - 1) {
        const int u = __builtin_ctz(odd);
        M2VDEC_TERMS(o0, o1, o2, o3, u, q[u]);
    }
#undef M2VDEC_TERMS
    const __m256 f77 = _mm256_set1_ps(float(in_t[63]));
    o0 = _mm256_fmadd_ps(f77, _mm256_loadu_ps(b.w7[0]), o0);
    o1 = _mm256_fmadd_ps(f77, _mm256_loadu_ps(b.w7[1]), o1);
    o2 = _mm256_fmadd_ps(f77, _mm256_loadu_ps(b.w7[2]), o2);
    o3 = _mm256_fmadd_ps(f77, _mm256_loadu_ps(b.w7[3]), o3);
    const __m256 half = _mm256_set1_ps(0.5f);
    auto round = [half](__m256 v) M2VDEC_AVX2 { return _mm256_cvtps_epi32(_mm256_floor_ps(_mm256_add_ps(v, half))); };
    out[0] = round(_mm256_add_ps(e0, o0)), out[7] = round(_mm256_sub_ps(e0, o0));
    out[1] = round(_mm256_add_ps(e1, o1)), out[6] = round(_mm256_sub_ps(e1, o1));
    out[2] = round(_mm256_add_ps(e2, o2)), out[5] = round(_mm256_sub_ps(e2, o2));
    out[3] = round(_mm256_add_ps(e3, o3)), out[4] = round(_mm256_sub_ps(e3, o3));
}

// Rows y and y + 1 as 16-bit values in one register (row y low).
M2VDEC_AVX2 inline __m256i pack_rows(__m256i a, __m256i b) {
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
}

M2VDEC_AVX2 void residual_avx2(const Opx16s in_t[64], Opx16s* out, int out_stride_elems) {
    __m256i r[8];
    transform_avx2(in_t, r);
    const __m256i lo = _mm256_set1_epi16(-256), hi = _mm256_set1_epi16(255);
    for (int y = 0; y < 8; y += 2) {
        const __m256i p = _mm256_max_epi16(_mm256_min_epi16(pack_rows(r[y], r[y + 1]), hi), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + y * out_stride_elems), _mm256_castsi256_si128(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (y + 1) * out_stride_elems),
                         _mm256_extracti128_si256(p, 1));
    }
}

M2VDEC_AVX2 void samples_avx2(const Opx16s in_t[64], uint8_t* out, int out_stride) {
    __m256i r[8];
    transform_avx2(in_t, r);
    for (int y = 0; y < 8; y += 2) {
        const __m256i p = pack_rows(r[y], r[y + 1]);
        const __m128i s = _mm_packus_epi16(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + y * out_stride), s);
        _mm_storeh_pd(reinterpret_cast<double*>(out + (y + 1) * out_stride), _mm_castsi128_pd(s));
    }
}
#endif

struct Kernels {
    void (*residual)(const Opx16s*, Opx16s*, int);
    void (*samples)(const Opx16s*, uint8_t*, int);
};

// Chosen on first use (the processor query once, not per block).
const Kernels& kernels() {
    static const Kernels k = [] {
#ifdef M2VDEC_X86
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2"))
            return Kernels{residual_avx2, samples_avx2};
#endif
        return Kernels{residual_portable, samples_portable};
    }();
    return k;
}

}  // namespace

void idct8x8_residual_t(const Opx16s in_t[64], Opx16s* out, int out_stride_elems) {
    kernels().residual(in_t, out, out_stride_elems);
}

void idct8x8_samples_t(const Opx16s in_t[64], uint8_t* out, int out_stride) {
    kernels().samples(in_t, out, out_stride);
}

void idct8x8_residual(const Opx16s in[64], Opx16s* out, int out_stride_elems) {
    Opx16s t[64];
    transpose(in, t);
    idct8x8_residual_t(t, out, out_stride_elems);
}

void idct8x8_samples(const Opx16s in[64], uint8_t* out, int out_stride) {
    Opx16s t[64];
    transpose(in, t);
    idct8x8_samples_t(t, out, out_stride);
}

void idct8x8_reference(const double in[64], double out[64]) {
    const Basis& b = basis();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) s += b.d[v][y] * b.d[u][x] * in[v * 8 + u];
            out[y * 8 + x] = s;
        }
}

}  // namespace m2vdec
