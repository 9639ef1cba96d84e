// CAVLC syntax elements through a bit mask. The coefficients are first gathered into scan order
// (16-bit: two byte shuffles of the block's halves by the scan indices and a blend; 32-bit: 16
// independent loads), so that the walk reads ord[p] with no load depending on another; their
// non-zero flags form a 16-bit mask, and the walk visits only its set bits, highest first: each
// run_before is the gap between two neighbouring set bits, total_zeros the span below the
// highest bit less the number of bits. The chroma DC arrays (4 and 8 values) share the portable
// loop, which is faster for so few values.
//
// Scan entries outside firstPos..lastPos are not checked by the entry points; the gather reads
// them modulo 16 (always inside the block) and the mask drops their positions.
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "h264/encode/cavlc_enc.hpp"

namespace opx::h264::enc::avx2 {
namespace {

// Scan indices as bytes, modulo 16.
OPX_INLINE __m128i scan_bytes(const Opx32s* scan) noexcept {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan + 8));
    const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    const __m128i bytes =
        _mm_packs_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    return _mm_and_si128(bytes, _mm_set1_epi8(15));
}

// The 16 coefficients in scan order; the masks of non-zero values and of +-1 (bit k = scan
// position k).
struct Masks {
    unsigned nonzero, ones;
};

OPX_INLINE Masks gather(const Opx16s* src, const Opx32s* scan, Opx16s* ord) noexcept {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
    const __m128i idx = scan_bytes(scan);
    // Byte pair (2i, 2i + 1) of the half that holds raster index i.
    const __m128i b = _mm_add_epi8(_mm_and_si128(idx, _mm_set1_epi8(7)),
                                   _mm_and_si128(idx, _mm_set1_epi8(7)));
    const __m128i b1 = _mm_add_epi8(b, _mm_set1_epi8(1));
    const __m128i upper = _mm_cmpgt_epi8(idx, _mm_set1_epi8(7));
    __m128i out[2];
    for (int h = 0; h < 2; ++h) {
        const __m128i ctl = h ? _mm_unpackhi_epi8(b, b1) : _mm_unpacklo_epi8(b, b1);
        const __m128i sel = h ? _mm_unpackhi_epi8(upper, upper) : _mm_unpacklo_epi8(upper, upper);
        out[h] = _mm_blendv_epi8(_mm_shuffle_epi8(lo, ctl), _mm_shuffle_epi8(hi, ctl), sel);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ord + 8 * h), out[h]);
    }
    // packsswb keeps a non-zero word non-zero and +-1 as +-1.
    const __m128i bytes = _mm_packs_epi16(out[0], out[1]);
    const __m128i z = _mm_cmpeq_epi8(bytes, _mm_setzero_si128());
    const __m128i one = _mm_cmpeq_epi8(_mm_abs_epi8(bytes), _mm_set1_epi8(1));
    // |x| = 1 after saturation only for x = +-1 (saturated values are +-127 / -128).
    return {~static_cast<unsigned>(_mm_movemask_epi8(z)) & 0xFFFFu,
            static_cast<unsigned>(_mm_movemask_epi8(one))};
}

OPX_INLINE Masks gather(const Opx32s* src, const Opx32s* scan, Opx32s* ord) noexcept {
    for (int k = 0; k < 16; ++k) ord[k] = src[scan[k] & 15];
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1);
    unsigned nz = 0, ones = 0;
    for (int h = 0; h < 2; ++h) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<__m256i*>(ord + 8 * h));
        const int z = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, zero)));
        // |v| = 1; pabsd of INT32_MIN stays INT32_MIN, never 1.
        const int o = _mm256_movemask_ps(
            _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_abs_epi32(v), one)));
        nz |= (~static_cast<unsigned>(z) & 0xFFu) << (8 * h);
        ones |= static_cast<unsigned>(o) << (8 * h);
    }
    return {nz, ones};
}

OPX_INLINE int top(unsigned mask) noexcept { return 31 - static_cast<int>(_lzcnt_u32(mask)); }

// The trailing ones come from the masks without a data-dependent branch: they are the non-zero
// positions above the highest non-zero position that is not +-1, at most three of them.
template <class T>
CavlcFacts block(const T* src, const Opx32s* scan, int first, int last, T* levels,
                 Opx8u* runs) noexcept {
    alignas(32) T ord[16];
    const unsigned range = (0xFFFFu >> (15 - last)) & (0xFFFFu << first);
    const Masks mk = gather(src, scan, ord);
    unsigned mask = mk.nonzero & range;
    if (mask == 0) return {0, 0, 0, static_cast<Opx8u>(last - first + 1)};
    const int n_total = _mm_popcnt_u32(mask);
    const int total_zeros = top(mask) - first + 1 - n_total;
    const unsigned larger = mask & ~mk.ones;
    // top(0) = -1: with no larger level every non-zero position lies above it.
    const unsigned above = static_cast<unsigned>(~0ull << (top(larger) + 1));
    const int t_all = _mm_popcnt_u32(mask & above);
    const int t = t_all < 3 ? t_all : 3;
    unsigned signs = 0;
    int p = top(mask), i = 0;
    for (; i < t; ++i) {
        signs = signs * 2 + (ord[p] < 0);
        mask &= ~(1u << p);
        const int q = top(mask);  // -1 when p was the last one; its run is not stored
        if (mask) runs[i] = static_cast<Opx8u>(p - q - 1);
        p = q;
    }
    for (; mask; ++i) {
        levels[i - t] = ord[p];
        mask &= ~(1u << p);
        const int q = top(mask);
        if (mask) runs[i] = static_cast<Opx8u>(p - q - 1);
        p = q;
    }
    return {static_cast<Opx8u>(t), static_cast<Opx8u>(signs), static_cast<Opx8u>(n_total),
            static_cast<Opx8u>(total_zeros)};
}

}  // namespace

extern const CavlcEncKernels kCavlcEnc = {
    block<Opx16s>,       block<Opx32s>,       ref::dc2x2<Opx16s>,
    ref::dc2x2<Opx32s>,  ref::dc2x4<Opx16s>,  ref::dc2x4<Opx32s>,
};

}  // namespace opx::h264::enc::avx2
