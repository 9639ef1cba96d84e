// The IEEE Std 1180-1990 accuracy procedure for opxvc-m2vdec's 8×8 inverse DCT: for the input
// ranges -256..255, -5..5 and -300..300, each with both signs, 10000 random blocks are
// forward-transformed in double precision, rounded and clamped to -2048..2047; the decoder's
// IDCT is compared with the double-precision IDCT (ieee1180.hpp: statistics and limits); an
// all-zero block gives zeros.
#include <cmath>
#include <cstdio>

#include "ieee1180.hpp"
#include "m2vdec.hpp"

namespace {

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

bool run(long lo, long hi, int sign) {
    opx::test::Rand1180 r;
    opx::test::Stats1180 stats;
    for (int n = 0; n < opx::test::kBlocks1180; ++n) {
        double spatial[64], freq[64], ref[64];
        for (int i = 0; i < 64; ++i) spatial[i] = double(sign * r.next(lo, hi));
        fdct(spatial, freq);
        Opx16s coeffs[64];
        for (int i = 0; i < 64; ++i) {
            freq[i] = opx::test::clamp1180(std::floor(freq[i] + 0.5), -2048, 2047);
            coeffs[i] = Opx16s(freq[i]);
        }
        m2vdec::idct8x8_reference(freq, ref);
        Opx16s out[64];
        m2vdec::idct8x8_residual(coeffs, out, 8);
        for (int i = 0; i < 64; ++i) stats.add(i, out[i], ref[i]);
    }
    return stats.report("", lo, hi, sign);
}

// The shortcut for blocks with only F(0, 0) and F(7, 7): every DC value with F(7, 7) in -1..1
// (mismatch control sets it to 1 or flips it) gives the double-precision IDCT rounded half up,
// as residual and, clamped to 0..255, as samples. F(0, 0) / 8 alone is exact; the reference's
// products land a rounding error off its halves (-2044: -255.5), so they count as the half.
bool dc_shortcut() {
    bool ok = true;
    for (int dc = -2048; dc <= 2047; ++dc)
        for (int f77 = -1; f77 <= 1; ++f77) {
            double freq[64] = {}, ref[64];
            freq[0] = dc;
            freq[63] = f77;
            m2vdec::idct8x8_reference(freq, ref);
            Opx16s res[64];
            uint8_t smp[64];
            m2vdec::idct8x8_dc_residual(dc, f77, res, 8);
            m2vdec::idct8x8_dc_samples(dc, f77, smp, 8);
            for (int i = 0; i < 64; ++i) {
                const double r = std::floor(ref[i] + 0.5 + 1e-9);
                const double rr = opx::test::clamp1180(r, -256, 255), rs = opx::test::clamp1180(r, 0, 255);
                if (res[i] != rr || smp[i] != rs) {
                    if (ok) std::printf("DC shortcut: F(0,0) %d F(7,7) %d at %d: %d %d, want %g %g\n", dc, f77, i, res[i], smp[i], rr, rs);
                    ok = false;
                }
            }
        }
    return ok;
}

}  // namespace

int main() {
    bool ok = true;
    for (const auto& rg : opx::test::kRanges1180)
        for (int sign : {1, -1}) ok = run(rg[0], rg[1], sign) && ok;
    Opx16s zero[64] = {}, out[64];
    m2vdec::idct8x8_residual(zero, out, 8);
    for (Opx16s v : out) ok = ok && v == 0;
    ok = dc_shortcut() && ok;
    return ok ? 0 : 1;
}
