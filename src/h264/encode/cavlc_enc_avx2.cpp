// CAVLC syntax elements through a bit mask: the block's non-zero flags are gathered into scan
// order with one byte shuffle (pshufb of the raster flags by the scan indices), and the walk
// visits only the set bits, highest first: each run_before is the gap between two neighbouring
// set bits, total_zeros the span below the highest bit less the number of bits. The chroma DC
// arrays (4 and 8 values) build their masks with scalar tests.
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "h264/encode/cavlc_enc.hpp"

namespace opx::h264::enc::avx2 {
namespace {

// 16 raster flags (0xFF = non-zero) as bytes.
OPX_INLINE __m128i nonzero_bytes(const Opx16s* src) noexcept {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    const __m256i z = _mm256_cmpeq_epi16(v, _mm256_setzero_si256());
    const __m128i b = _mm_packs_epi16(_mm256_castsi256_si128(z), _mm256_extracti128_si256(z, 1));
    return _mm_xor_si128(b, _mm_set1_epi8(-1));
}
// Scan indices 0..15 as bytes.
OPX_INLINE __m128i scan_bytes(const Opx32s* scan) noexcept {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan + 8));
    const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    return _mm_packs_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
}

template <class T>
OPX_INLINE CavlcFacts walk(const T* src, const Opx32s* scan, unsigned mask, int first, int last,
                           T* levels, Opx8u* runs) noexcept {
    if (mask == 0) return {0, 0, 0, static_cast<Opx8u>(last - first + 1)};
    int p = 31 - static_cast<int>(_lzcnt_u32(mask));
    const int n_total = _mm_popcnt_u32(mask);
    const int total_zeros = p - first + 1 - n_total;
    int n = 0, t = 0;
    unsigned signs = 0;
    // Trailing ones: at most three, from the top, while the values are +-1.
    for (;;) {
        const T v = src[scan[p]];
        if ((v == 1 || v == -1) && t < 3) {
            ++t;
            signs = signs * 2 + (v < 0);
        } else {
            levels[n - t] = v;
        }
        mask &= ~(1u << p);
        ++n;
        if (mask == 0) break;
        const int q = 31 - static_cast<int>(_lzcnt_u32(mask));
        runs[n - 1] = static_cast<Opx8u>(p - q - 1);
        p = q;
        if (t != n) break;  // a level was met: no more trailing ones
    }
    while (mask) {
        levels[n - t] = src[scan[p]];
        mask &= ~(1u << p);
        ++n;
        if (mask == 0) break;
        const int q = 31 - static_cast<int>(_lzcnt_u32(mask));
        runs[n - 1] = static_cast<Opx8u>(p - q - 1);
        p = q;
    }
    return {static_cast<Opx8u>(t), static_cast<Opx8u>(signs), static_cast<Opx8u>(n_total),
            static_cast<Opx8u>(total_zeros)};
}

CavlcFacts block16(const Opx16s* src, const Opx32s* scan, int first, int last, Opx16s* levels,
                   Opx8u* runs) noexcept {
    const __m128i flags = _mm_shuffle_epi8(nonzero_bytes(src), scan_bytes(scan));
    const unsigned range = (0xFFFFu >> (15 - last)) & (0xFFFFu << first);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(flags)) & range;
    return walk(src, scan, mask, first, last, levels, runs);
}

CavlcFacts block32(const Opx32s* src, const Opx32s* scan, int first, int last, Opx32s* levels,
                   Opx8u* runs) noexcept {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)), zero);
    const __m256i b = _mm256_cmpeq_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 8)), zero);
    const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    const __m128i z = _mm_packs_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    const __m128i flags =
        _mm_shuffle_epi8(_mm_xor_si128(z, _mm_set1_epi8(-1)), scan_bytes(scan));
    const unsigned range = (0xFFFFu >> (15 - last)) & (0xFFFFu << first);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(flags)) & range;
    return walk(src, scan, mask, first, last, levels, runs);
}

}  // namespace

extern const CavlcEncKernels kCavlcEnc = {
    block16,
    block32,
    ref::dc2x2<Opx16s>,
    ref::dc2x2<Opx32s>,
    ref::dc2x4<Opx16s>,
    ref::dc2x4<Opx32s>,
};

}  // namespace opx::h264::enc::avx2
