// Portable CAVLC syntax elements: one pass in reverse scan order with the counters of the rules
// (non-zero coefficients n, trailing ones t, zeros z since the previous non-zero coefficient).
#include <cstdlib>

#include "h264/encode/cavlc_enc.hpp"

namespace opx::h264::enc::ref {
namespace {

template <class T>
CavlcFacts encode(const T* src, const Opx32s* scan, int first, int last, T* levels,
                  Opx8u* runs) noexcept {
    int n = 0, t = 0, z = 0, run_total = 0;
    unsigned signs = 0;
    bool ones = true;  // trailing ones may still be counted
    for (int p = last; p >= first; --p) {
        const T v = src[scan[p]];
        if (v == 0) {
            ++z;
            continue;
        }
        if (ones && (v == 1 || v == -1)) {
            ++t;
            signs = signs * 2 + (v == -1 ? 1 : 0);
            ones = t < 3;
        } else {
            levels[n - t] = v;
            ones = false;
        }
        if (n > 0) {
            runs[n - 1] = static_cast<Opx8u>(z);
            run_total += z;
        }
        ++n;
        z = 0;
    }
    if (n == 0) return {0, 0, 0, static_cast<Opx8u>(last - first + 1)};
    return {static_cast<Opx8u>(t), static_cast<Opx8u>(signs), static_cast<Opx8u>(n),
            static_cast<Opx8u>(z + run_total)};
}

template <class T>
CavlcFacts block(const T* src, const Opx32s* scan, int first, int last, T* levels,
                 Opx8u* runs) noexcept {
    for (int p = first; p <= last; ++p)
        if (static_cast<std::uint32_t>(scan[p]) > 15) return kBadScan;
    return encode(src, scan, first, last, levels, runs);
}
}  // namespace

// Chroma DC: at most 8 values, where a plain loop beats any mask set-up; the AVX2 table uses
// these too.
template <class T>
CavlcFacts dc2x2(const T* src, T* levels, Opx8u* runs) noexcept {
    return encode(src, kChromaDc2x2Scan, 0, 3, levels, runs);
}
template <class T>
CavlcFacts dc2x4(const T* src, T* levels, Opx8u* runs) noexcept {
    return encode(src, kChromaDc2x4Scan, 0, 7, levels, runs);
}

OpxResult block16(const Opx16s* src, Opx8u first, const Opx32s* scan, Opx8u last,
                  Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff, Opx8u* total_zeros,
                  Opx16s* levels, Opx8u* runs) noexcept {
    const OpxResult r = check_block16(src, first, scan, last, trailing_ones, signs, total_coeff,
                                      total_zeros, levels, runs);
    if (r != opxOk) return r;
    return store_facts(block(src, scan, first, last, levels, runs), trailing_ones, signs,
                       total_coeff, total_zeros);
}

OpxResult dc2x2_16s(const Opx16s* src, Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff,
                    Opx8u* total_zeros, Opx16s* levels, Opx8u* runs) noexcept {
    return store_facts(dc2x2(src, levels, runs), trailing_ones, signs, total_coeff, total_zeros);
}
OpxResult dc2x4_16s(const Opx16s* src, Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff,
                    Opx8u* total_zeros, Opx16s* levels, Opx8u* runs) noexcept {
    return store_facts(dc2x4(src, levels, runs), trailing_ones, signs, total_coeff, total_zeros);
}

extern const CavlcEncKernels kCavlcEnc = {
    block16, block<Opx32s>, dc2x2_16s, dc2x2<Opx32s>, dc2x4_16s, dc2x4<Opx32s>,
};

}  // namespace opx::h264::enc::ref
