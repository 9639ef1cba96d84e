// The 8×8 inverse DCT of H.262 clause 7.5 / ISO/IEC 11172-2 annex A, separable in single
// precision: f(x, y) = Σ_u Σ_v C(u) C(v) F(u, v) cos((2x + 1)uπ/16) cos((2y + 1)vπ/16) / 4,
// rounded to the nearest integer. Single precision keeps the error far inside the IEEE 1180
// bounds (the test runs that procedure); the row and column passes are plain multiply-add loops
// over 8 lanes, which the compiler vectorises.
#include <cmath>

#include "m2vdec.hpp"

namespace m2vdec {

namespace {

// basis[u][x] = C(u) / 2 × cos((2x + 1)uπ/16), C(0) = 1/√2, else 1
struct Basis {
    float m[8][8];
    double d[8][8];
    Basis() {
        const double pi = 3.14159265358979323846;
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) {
                const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
                d[u][x] = cu / 2 * std::cos((2 * x + 1) * u * pi / 16);
                m[u][x] = float(d[u][x]);
            }
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

}  // namespace

void idct8x8_residual(const Opx16s in[64], Opx16s* out, int out_stride_elems) {
    int r[64];
    transform(in, r);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[y * out_stride_elems + x] = Opx16s(clamp(r[y * 8 + x], -256, 255));
}

void idct8x8_samples(const Opx16s in[64], uint8_t* out, int out_stride) {
    int r[64];
    transform(in, r);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) out[y * out_stride + x] = uint8_t(clamp(r[y * 8 + x], 0, 255));
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
