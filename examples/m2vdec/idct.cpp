// The 8×8 inverse DCT of H.262 clause 7.5 / ISO/IEC 11172-2 annex A, separable in single
// precision: f(x, y) = Σ_u Σ_v C(u) C(v) F(u, v) cos((2x + 1)uπ/16) cos((2y + 1)vπ/16) / 4,
// rounded to the nearest integer. Single precision keeps the error far inside the IEEE 1180
// bounds (the test runs that procedure). Two builds of the same sums: eight-lane AVX2 with FMA,
// chosen once when the processor has them, and plain loops for any other.
//
// The AVX2 build takes the block transposed (the decoder has its block decoders place the
// coefficients so, by a transposed scan and weight table), so that both passes combine whole
// rows and one register transpose sits between them:
//   pass 1  Q[x] = Σ_u basis[u][x] · Xᵀ[u],
//   pass 2  out[y] = Σ_v basis[v][y] · Qᵀ[v].
// Each pass pairs output rows k and 7 - k: basis[u][7 - k] = (-1)^u basis[u][k], so the even and
// odd terms are summed once and added and subtracted (32 multiply-adds a pass). Every row is
// taken, zero or not: on coded blocks, loops over the rows that are not zero lost more to
// mispredicted loop ends than they saved (about 10% of the decoder's time on 1080 streams).
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
    float m2[8][8];  // the same: the second pass broadcasts from here (see transform_avx2)
    float dc77[8][8];  // basis[7][y] basis[7][x], the pattern of F(7, 7) alone
    double d[8][8];
    Basis() {
        const double pi = 3.14159265358979323846;
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) {
                const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
                d[u][x] = cu / 2 * std::cos((2 * x + 1) * u * pi / 16);
                m[u][x] = m2[u][x] = float(d[u][x]);
            }
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) dc77[y][x] = float(d[7][y] * d[7][x]);
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

// F(0, 0) and F(7, 7) alone: f(x, y) = F(0, 0) / 8 + F(7, 7) basis[7][y] basis[7][x], rounded
// half up like the full transform (F(0, 0) / 8 is exact in single precision).
template <class T, int Lo, int Hi>
void dc_portable(int dc, int f77, T* out, int out_stride) {
    const Basis& b = basis();
    // the same sums as dc_rows: F(0, 0) / 8 + 1/2 exact, then one rounding when |F(7, 7)| <= 1
    const float d = float(dc) * 0.125f + 0.5f, f = float(f77);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const float r = d + f * b.dc77[y][x];
            const int i = int(r);
            out[y * out_stride + x] = T(clamp(i - (float(i) > r), Lo, Hi));
        }
}

#ifdef M2VDEC_X86
#define M2VDEC_AVX2 __attribute__((target("avx2,fma")))

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
// Inlined into its two callers, so that the rows stay in registers.
M2VDEC_AVX2 __attribute__((always_inline)) inline void transform_avx2(const Opx16s in_t[64], __m256i out[8]) {
    const Basis& b = basis();
    // e0..e3 and o0..o3 sum the terms of rows u even and odd for output rows k = 0..3 (named
    // registers; every row, no branches: a skipped row costs less than a mispredicted loop end)
    __m256 e0, e1, e2, e3, o0, o1, o2, o3;
#define M2VDEC_FIRST(a0, a1, a2, a3, u, t)                     \
    do {                                                       \
        const float* m = basis[u];                             \
        a0 = _mm256_mul_ps(_mm256_broadcast_ss(m + 0), t);     \
        a1 = _mm256_mul_ps(_mm256_broadcast_ss(m + 1), t);     \
        a2 = _mm256_mul_ps(_mm256_broadcast_ss(m + 2), t);     \
        a3 = _mm256_mul_ps(_mm256_broadcast_ss(m + 3), t);     \
    } while (0)
#define M2VDEC_TERMS(a0, a1, a2, a3, u, t)                           \
    do {                                                             \
        const float* m = basis[u];                                   \
        a0 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 0), t, a0);     \
        a1 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 1), t, a1);     \
        a2 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 2), t, a2);     \
        a3 = _mm256_fmadd_ps(_mm256_broadcast_ss(m + 3), t, a3);     \
    } while (0)
    __m256 q[8];
    {
        const float(*basis)[8] = b.m;
        __m256 t = row_ps(in_t);
        M2VDEC_FIRST(e0, e1, e2, e3, 0, t);
        t = row_ps(in_t + 8);
        M2VDEC_FIRST(o0, o1, o2, o3, 1, t);
        for (int u = 2; u < 8; u += 2) {
            t = row_ps(in_t + 8 * u);
            M2VDEC_TERMS(e0, e1, e2, e3, u, t);
            t = row_ps(in_t + 8 * u + 8);
            M2VDEC_TERMS(o0, o1, o2, o3, u + 1, t);
        }
    }
    q[0] = _mm256_add_ps(e0, o0), q[7] = _mm256_sub_ps(e0, o0);
    q[1] = _mm256_add_ps(e1, o1), q[6] = _mm256_sub_ps(e1, o1);
    q[2] = _mm256_add_ps(e2, o2), q[5] = _mm256_sub_ps(e2, o2);
    q[3] = _mm256_add_ps(e3, o3), q[4] = _mm256_sub_ps(e3, o3);
    transpose8(q);
    // The second pass takes its factors from a copy: from the same addresses the compiler keeps
    // the first pass's 32 broadcasts for the second and spills them to the stack, which costs
    // more than broadcasting again.
    const float(*basis)[8] = b.m2;
    M2VDEC_FIRST(e0, e1, e2, e3, 0, q[0]);
    M2VDEC_FIRST(o0, o1, o2, o3, 1, q[1]);
    for (int u = 2; u < 8; u += 2) {
        M2VDEC_TERMS(e0, e1, e2, e3, u, q[u]);
        M2VDEC_TERMS(o0, o1, o2, o3, u + 1, q[u + 1]);
    }
#undef M2VDEC_FIRST
#undef M2VDEC_TERMS
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

// The eight result rows stored as residuals (clamped to -256..255) or as samples (0..255).
M2VDEC_AVX2 __attribute__((always_inline)) inline void store_residual(const __m256i r[8], Opx16s* out, int out_stride_elems) {
    const __m256i lo = _mm256_set1_epi16(-256), hi = _mm256_set1_epi16(255);
    for (int y = 0; y < 8; y += 2) {
        const __m256i p = _mm256_max_epi16(_mm256_min_epi16(pack_rows(r[y], r[y + 1]), hi), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + y * out_stride_elems), _mm256_castsi256_si128(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (y + 1) * out_stride_elems),
                         _mm256_extracti128_si256(p, 1));
    }
}

M2VDEC_AVX2 __attribute__((always_inline)) inline void store_samples(const __m256i r[8], uint8_t* out, int out_stride) {
    for (int y = 0; y < 8; y += 2) {
        const __m256i p = pack_rows(r[y], r[y + 1]);
        const __m128i s = _mm_packus_epi16(_mm256_castsi256_si128(p), _mm256_extracti128_si256(p, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + y * out_stride), s);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (y + 1) * out_stride),
                         _mm_unpackhi_epi64(s, s));
    }
}

M2VDEC_AVX2 void residual_avx2(const Opx16s in_t[64], Opx16s* out, int out_stride_elems) {
    __m256i r[8];
    transform_avx2(in_t, r);
    store_residual(r, out, out_stride_elems);
}

M2VDEC_AVX2 void samples_avx2(const Opx16s in_t[64], uint8_t* out, int out_stride) {
    __m256i r[8];
    transform_avx2(in_t, r);
    store_samples(r, out, out_stride);
}

// Rows of the F(0, 0) / F(7, 7) block, rounded half up as in transform_avx2.
M2VDEC_AVX2 inline void dc_rows(int dc, int f77, __m256i out[8]) {
    const Basis& b = basis();
    const __m256 d = _mm256_set1_ps(float(dc) * 0.125f + 0.5f), f = _mm256_set1_ps(float(f77));
    for (int y = 0; y < 8; ++y)
        out[y] = _mm256_cvtps_epi32(_mm256_floor_ps(_mm256_fmadd_ps(f, _mm256_loadu_ps(b.dc77[y]), d)));
}

M2VDEC_AVX2 void dc_residual_avx2(int dc, int f77, Opx16s* out, int out_stride_elems) {
    __m256i r[8];
    dc_rows(dc, f77, r);
    store_residual(r, out, out_stride_elems);
}

M2VDEC_AVX2 void dc_samples_avx2(int dc, int f77, uint8_t* out, int out_stride) {
    __m256i r[8];
    dc_rows(dc, f77, r);
    store_samples(r, out, out_stride);
}
#endif

struct Kernels {
    void (*residual)(const Opx16s*, Opx16s*, int);
    void (*samples)(const Opx16s*, uint8_t*, int);
    void (*dc_residual)(int, int, Opx16s*, int);
    void (*dc_samples)(int, int, uint8_t*, int);
};

// Chosen on first use (the processor query once, not per block).
const Kernels& kernels() {
    static const Kernels k = [] {
#ifdef M2VDEC_X86
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
            return Kernels{residual_avx2, samples_avx2, dc_residual_avx2, dc_samples_avx2};
#endif
        return Kernels{residual_portable, samples_portable, dc_portable<Opx16s, -256, 255>,
                       dc_portable<uint8_t, 0, 255>};
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

void idct8x8_dc_residual(int dc, int f77, Opx16s* out, int out_stride_elems) {
    kernels().dc_residual(dc, f77, out, out_stride_elems);
}

void idct8x8_dc_samples(int dc, int f77, uint8_t* out, int out_stride) {
    kernels().dc_samples(dc, f77, out, out_stride);
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
