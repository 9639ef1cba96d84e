// The IEEE Std 1180-1990 accuracy procedure's shared parts, for the example programs' inverse
// DCTs: its random number generator, its input ranges and the error statistics with their limits
// (peak error 1 at any position, mean square error 0.06 per position and 0.02 overall, mean
// error 0.015 per position and 0.0015 overall).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace opx::test {

struct Rand1180 {
    long randx = 1;
    long next(long lo, long hi) {
        randx = (randx * 1103515245 + 12345) & 0xFFFFFFFFL;
        const long i = randx & 0x7FFFFFFE;
        const double x = double(i) / double(0x7FFFFFFF) * double(hi - lo + 1);
        return long(std::floor(x)) + lo;
    }
};

// The procedure's three input ranges; each is run with both signs.
inline constexpr long kRanges1180[3][2] = {{-256, 255}, {-5, 5}, {-300, 300}};
inline constexpr int kBlocks1180 = 10000;

inline double clamp1180(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// Errors of one range and sign, position by position, over kBlocks1180 blocks.
struct Stats1180 {
    double err_sum[64] = {}, sq_sum[64] = {};
    int peak = 0;
    // `got` and `ref` before rounding: both rounded and clamped to -256..255 as the procedure does
    void add(int i, double got, double ref) {
        const double e = clamp1180(std::floor(got + 0.5), -256, 255) -
                         clamp1180(std::floor(ref + 0.5), -256, 255);
        err_sum[i] += e;
        sq_sum[i] += e * e;
        peak = std::max(peak, int(std::fabs(e)));
    }
    // Prints one line for `label`; true when every limit holds (and `extra_ok`).
    bool report(const char* label, long lo, long hi, int sign, bool extra_ok = true) const {
        double pmse = 0, pme = 0, omse = 0, ome = 0;
        for (int i = 0; i < 64; ++i) {
            pmse = std::max(pmse, sq_sum[i] / kBlocks1180);
            pme = std::max(pme, std::fabs(err_sum[i]) / kBlocks1180);
            omse += sq_sum[i];
            ome += err_sum[i];
        }
        omse /= 64.0 * kBlocks1180;
        ome = std::fabs(ome) / (64.0 * kBlocks1180);
        const bool ok = peak <= 1 && pmse <= 0.06 && omse <= 0.02 && pme <= 0.015 &&
                        ome <= 0.0015 && extra_ok;
        std::printf("%srange %ld..%ld sign %+d: peak %d, pmse %.4f, omse %.4f, pme %.4f, "
                    "ome %.5f %s\n",
                    label, lo, hi, sign, peak, pmse, omse, pme, ome, ok ? "ok" : "FAILED");
        return ok;
    }
};

}  // namespace opx::test
