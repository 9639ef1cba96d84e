// The IEEE Std 1180-1990 accuracy procedure for opxvc-m2vdec's 8×8 inverse DCT: for the input
// ranges -256..255, -5..5 and -300..300, each with both signs, 10000 random blocks are
// forward-transformed in double precision, rounded and clamped to -2048..2047; the decoder's
// IDCT is compared with the double-precision IDCT (rounded, clamped to -256..255). Limits: peak
// error 1 at any position, mean square error 0.06 per position and 0.02 overall, mean error
// 0.015 per position and 0.0015 overall; an all-zero block gives zeros.
#include <cmath>
#include <cstdio>

#include "m2vdec.hpp"

namespace {

// the procedure's random number generator
struct Rand1180 {
    long randx = 1;
    long next(long lo, long hi) {
        randx = (randx * 1103515245 + 12345) & 0xFFFFFFFFL;
        const long i = randx & 0x7FFFFFFE;
        const double x = double(i) / double(0x7FFFFFFF) * double(hi - lo + 1);
        return long(std::floor(x)) + lo;
    }
};

void fdct(const double in[64], double out[64]) {
    const double pi = 3.14159265358979323846;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    s += in[y * 8 + x] * std::cos((2 * x + 1) * u * pi / 16) *
                         std::cos((2 * y + 1) * v * pi / 16);
            const double cu = u ? 1 : std::sqrt(0.5), cv = v ? 1 : std::sqrt(0.5);
            out[v * 8 + u] = s * cu * cv / 4;
        }
}

double clampd(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

bool run(long lo, long hi, int sign) {
    Rand1180 r;
    const int blocks = 10000;
    double err_sum[64] = {}, sq_sum[64] = {};
    int peak = 0;
    for (int n = 0; n < blocks; ++n) {
        double spatial[64], freq[64], ref[64];
        for (int i = 0; i < 64; ++i) spatial[i] = double(sign * r.next(lo, hi));
        fdct(spatial, freq);
        Opx16s coeffs[64];
        for (int i = 0; i < 64; ++i) {
            freq[i] = clampd(std::floor(freq[i] + 0.5), -2048, 2047);
            coeffs[i] = Opx16s(freq[i]);
        }
        m2vdec::idct8x8_reference(freq, ref);
        Opx16s out[64];
        m2vdec::idct8x8_residual(coeffs, out, 8);
        for (int i = 0; i < 64; ++i) {
            const double want = clampd(std::floor(ref[i] + 0.5), -256, 255);
            const double e = out[i] - want;
            err_sum[i] += e;
            sq_sum[i] += e * e;
            peak = std::max(peak, int(std::fabs(e)));
        }
    }
    double pmse = 0, pme = 0, omse = 0, ome = 0;
    for (int i = 0; i < 64; ++i) {
        pmse = std::max(pmse, sq_sum[i] / blocks);
        pme = std::max(pme, std::fabs(err_sum[i]) / blocks);
        omse += sq_sum[i];
        ome += err_sum[i];
    }
    omse /= 64.0 * blocks;
    ome = std::fabs(ome) / (64.0 * blocks);
    const bool ok = peak <= 1 && pmse <= 0.06 && omse <= 0.02 && pme <= 0.015 && ome <= 0.0015;
    std::printf("range %ld..%ld sign %+d: peak %d, pmse %.4f, omse %.4f, pme %.4f, ome %.5f %s\n", lo, hi,
                sign, peak, pmse, omse, pme, ome, ok ? "ok" : "FAILED");
    return ok;
}

}  // namespace

int main() {
    bool ok = true;
    const long ranges[3][2] = {{-256, 255}, {-5, 5}, {-300, 300}};
    for (const auto& rg : ranges)
        for (int sign : {1, -1}) ok = run(rg[0], rg[1], sign) && ok;
    Opx16s zero[64] = {}, out[64];
    m2vdec::idct8x8_residual(zero, out, 8);
    for (Opx16s v : out) ok = ok && v == 0;
    return ok ? 0 : 1;
}
