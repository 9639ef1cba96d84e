// Rows of VC-1 coefficient blocks in AVX2 registers: two rows of a W-wide 16-bit block per
// 256-bit register (row i in the low lane, row i + 1 in the high lane; 4-wide rows in the low
// 64 bits of each lane, the rest zero). Shared by the transform and quantiser kernels.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "frame/dispatch.hpp"
#include "vc1/vc1.hpp"

namespace opx::vc1::avx2 {

// Rows i and i + 1 of a W-wide block.
template <int W>
OPX_INLINE __m256i load_rows(const Opx16s* src, std::int32_t step, int i) noexcept {
    const Opx16s* r0 = row_at(src, i, step);
    const Opx16s* r1 = row_at(src, i + 1, step);
    if constexpr (W == 8)
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1)), 1);
    else
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0))),
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r1)), 1);
}

template <int W>
OPX_INLINE void store_rows(Opx16s* dst, std::int32_t step, int i, __m256i v) noexcept {
    Opx16s* r0 = row_at(dst, i, step);
    Opx16s* r1 = row_at(dst, i + 1, step);
    if constexpr (W == 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r0), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r1), _mm256_extracti128_si256(v, 1));
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(r0), _mm256_castsi256_si128(v));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(r1), _mm256_extracti128_si256(v, 1));
    }
}

}  // namespace opx::vc1::avx2
