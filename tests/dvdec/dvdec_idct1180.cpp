// The IEEE Std 1180-1990 accuracy procedure for opxvc-dvdec's inverse DCTs, 8-8 and 2-4-8: for
// the input ranges -256..255, -5..5 and -300..300, each with both signs, 10000 random blocks are
// transformed forward in double precision (the mode's own forward transform), rounded and
// clamped to -2048..2047; the decoder's inverse is compared with the double-precision inverse
// (ieee1180.hpp: statistics and limits); an all-zero block gives zeros. The decoder's sample path (AVX2 where the processor has it) must give the
// same samples as the transform on every block, and the same samples as the portable path with a
// dequantisation offset and level lattice.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dvdec.hpp"
#include "ieee1180.hpp"

namespace {

bool run(dvdec::Idct& idct, const dvdec::Recon& identity, const dvdec::Recon& snap, int mode,
         long lo, long hi, int sign) {
    opx::test::Rand1180 r;
    opx::test::Stats1180 stats;
    long path_diffs = 0;
    for (int n = 0; n < opx::test::kBlocks1180; ++n) {
        double spatial[64], freq[64], ref[64];
        for (double& v : spatial) v = double(sign * r.next(lo, hi));
        idct.forward(spatial, mode, freq);
        alignas(32) float in[64];
        alignas(32) std::int16_t coeffs[64];
        for (int i = 0; i < 64; ++i) {
            freq[i] = opx::test::clamp1180(std::floor(freq[i] + 0.5), -2048, 2047);
            in[i] = float(freq[i]);
            coeffs[i] = std::int16_t(freq[i]);
        }
        idct.reference(freq, mode, ref);
        float out[64];
        idct.transform(in, ~std::uint64_t{0}, mode, out);
        std::uint8_t px[64];
        idct.samples(coeffs, identity, 0.0f, mode, px, 8, false);
        // every other coefficient zeroed, through a snapping table, both paths
        for (int i = 1; i < 64; i += 2) coeffs[i] = 0;
        std::uint8_t p1[64], p2[128];
        const bool avx2 = idct.avx2();
        idct.samples(coeffs, snap, 0.5f, mode, p1, 8, false);
        idct.set_avx2(false);
        idct.samples(coeffs, snap, 0.5f, mode, p2, 4, true);  // the 4:1:1 split as well
        idct.set_avx2(avx2);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                path_diffs += p1[8 * y + x] != p2[(y + (x >> 2) * 8) * 4 + (x & 3)];
        for (int i = 0; i < 64; ++i) {
            stats.add(i, double(out[i]), ref[i]);
            // the decoder's sum
            path_diffs += px[i] != opx::test::clamp1180(std::floor(out[i] + 128.5f), 0, 255);
        }
    }
    if (path_diffs) std::printf("sample path differs in %ld samples\n", path_diffs);
    return stats.report(mode ? "2-4-8 " : "8-8 ", lo, hi, sign, path_diffs == 0);
}

}  // namespace

int main() {
    dvdec::Idct idct;
    // F taken as it is: lattice 1/1024 (exact for integers), scale 1
    static dvdec::Recon identity;
    std::fill(identity.lat, identity.lat + 64, 1.0f / 1024);
    std::fill(identity.ilat, identity.ilat + 64, 1024.0f);
    std::fill(identity.scale, identity.scale + 64, 1.0f);
    static dvdec::Recon snap;  // levels 3 apart for even positions, scales around 1/2
    for (int k = 0; k < 64; ++k) {
        snap.lat[k] = k % 2 ? 1.0f / 1024 : 3.0f;
        snap.ilat[k] = k % 2 ? 1024.0f : 1.0f / 3;
        snap.scale[k] = 0.4f + 0.01f * float(k);
    }
    bool ok = true;
    for (int mode = 0; mode < 2; ++mode) {
        for (const auto& rg : opx::test::kRanges1180)
            for (int sign : {1, -1}) ok = run(idct, identity, snap, mode, rg[0], rg[1], sign) && ok;
        const float zero[64] = {};
        float out[64];
        idct.transform(zero, ~std::uint64_t{0}, mode, out);
        for (float v : out) ok = ok && v == 0.0f;
    }
    return ok ? 0 : 1;
}
