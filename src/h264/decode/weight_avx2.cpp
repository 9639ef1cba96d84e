// AVX2 weighted sample prediction.
//
// Fast path (every weight and offset H.264 can signal, and far beyond): samples stay bytes and
// the products come from pmaddubsw, which multiplies unsigned bytes by signed bytes and adds
// adjacent pairs in 16 bits. That is exact when
//   uni: |w| ≤ 128 (s·w in −32640..32385, a single product per lane), and
//   bi:  255·(sum of the positive weights) ≤ 32767 and 255·(sum of the negative ones) ≥ −32768,
// which the kernels test per call. The rounding shift is pmulhrsw by 2^(15−shift), which
// computes (x·2^(15−shift) + 2^14) >> 15 = (x + 2^(shift−1)) >> shift exactly for shift 1..15
// (the product is formed in 32 bits). The offset is added with signed saturation: with an
// offset inside 16 bits a saturated sum is beyond 0..255 on the same side as the exact one, so
// the final unsigned-saturating pack gives the exact clip.
//
// Any other weight, offset or shift, and source/destination blocks that overlap other than as
// the same block, take a scalar path in 64-bit arithmetic that reads and writes in row order.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "frame/dispatch.hpp"
#include "h264/decode/weight.hpp"

namespace opx::h264::avx2 {
namespace {

// ---- scalar path ------------------------------------------------------------------------------

constexpr std::int64_t floor_shift(std::int64_t x, int n) noexcept {
    return x >= 0 ? x >> n : ~(~x >> n);
}

template <class T>
void uni_scalar(T* p, std::ptrdiff_t step, int width, int height, const UniWeight& wt,
                int max) noexcept {
    const std::int64_t r = wt.shift > 0 ? std::int64_t{1} << (wt.shift - 1) : 0;
    for (int y = 0; y < height; ++y, p += step)
        for (int x = 0; x < width; ++x) {
            const std::int64_t v =
                floor_shift(p[x] * std::int64_t{wt.w[x & 1]} + r, wt.shift) + wt.o[x & 1];
            p[x] = static_cast<T>(std::clamp<std::int64_t>(v, 0, max));
        }
}

template <class T>
void bi_scalar(const T* s1, std::ptrdiff_t step1, const T* s2, std::ptrdiff_t step2, T* d,
               std::ptrdiff_t dstep, int width, int height, const BiWeight& wt, int max) noexcept {
    const std::int64_t r = wt.shift > 0 ? std::int64_t{1} << (wt.shift - 1) : 0;
    for (int y = 0; y < height; ++y, s1 += step1, s2 += step2, d += dstep)
        for (int x = 0; x < width; ++x) {
            const int c = x & 1;
            const std::int64_t v = s1[x] * std::int64_t{wt.w1[c]} + s2[x] * std::int64_t{wt.w2[c]};
            d[x] = static_cast<T>(
                std::clamp<std::int64_t>(floor_shift(v + r, wt.shift) + wt.o[c], 0, max));
        }
}

// ---- fast-path conditions ---------------------------------------------------------------------

constexpr bool in_s8(std::int64_t v) noexcept {
    return v >= -128 && v <= 127;
}
constexpr bool in_s16(std::int64_t v) noexcept {
    return v >= -32768 && v <= 32767;
}

bool uni_fast(const UniWeight& wt) noexcept {
    // Both weights in −128..127 and both offsets in −32768..32767, tested together.
    const std::uint64_t w = static_cast<std::uint64_t>(std::int64_t{wt.w[0]} + 128) |
                            static_cast<std::uint64_t>(std::int64_t{wt.w[1]} + 128);
    const std::uint64_t o =
        static_cast<std::uint64_t>(wt.o[0] + 32768) | static_cast<std::uint64_t>(wt.o[1] + 32768);
    return wt.shift <= 15 && w < 256 && o < 65536;
}

// With both weights in −128..127, 255·(positive sum) ≤ 32767 means a positive sum ≤ 128, and
// 255·(negative sum) ≥ −32768 a negative sum ≥ −128.
bool bi_fast(const BiWeight& wt) noexcept {
    if (wt.shift > 15 || !in_s16(wt.o[0]) || !in_s16(wt.o[1])) return false;
    for (int c = 0; c < 2; ++c) {
        const std::int32_t a = wt.w1[c], b = wt.w2[c];
        if (!in_s8(a) || !in_s8(b)) return false;
        if (std::max(a, 0) + std::max(b, 0) > 128 || std::min(a, 0) + std::min(b, 0) < -128)
            return false;
    }
    return true;
}

// Byte span [lo, hi) of a block.
struct Span {
    const char* lo;
    const char* hi;
};
Span span(const void* p, std::ptrdiff_t step, int width_bytes, int height) noexcept {
    const char* a = static_cast<const char*>(p);
    const char* b = a + static_cast<std::ptrdiff_t>(step) * (height - 1);
    return {std::min(a, b), std::max(a, b) + width_bytes};
}
// True when the destination shares memory with a source other than by being that very block
// (same address and step), where vector order could differ from row order.
// Destination rows that overlap one another count as well.
OPX_INLINE bool overlaps(const void* s, std::ptrdiff_t sstep, const void* d, std::ptrdiff_t dstep,
                         int width_bytes, int height) noexcept {
    if (height > 1 && dstep < width_bytes && dstep > -width_bytes) return true;
    if (s == d && sstep == dstep) return false;
    const Span a = span(s, sstep, width_bytes, height), b = span(d, dstep, width_bytes, height);
    return a.lo < b.hi && b.lo < a.hi;
}

// ---- row groups -------------------------------------------------------------------------------

// A group of up to 32 bytes: R rows of Bytes bytes packed back to back. Unused bytes are zero.
template <int Bytes>
inline constexpr int kRowsPerGroup = 32 / Bytes;

template <int Bytes>
std::uint64_t load_bytes(const Opx8u* p) noexcept {
    if constexpr (Bytes == 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    } else if constexpr (Bytes == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    } else {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
}

template <int Bytes>
void store_bytes(Opx8u* p, std::uint64_t v) noexcept {
    if constexpr (Bytes == 8) {
        std::memcpy(p, &v, 8);
    } else if constexpr (Bytes == 4) {
        const auto w = static_cast<std::uint32_t>(v);
        std::memcpy(p, &w, 4);
    } else {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

// Two rows of 8 bytes, or four of 4 bytes, in one 128-bit register (unused rows zero).
template <int Bytes, int R>
OPX_INLINE __m128i load_half(const Opx8u* p, std::ptrdiff_t step) noexcept {
    if constexpr (R <= 0) {
        return _mm_setzero_si128();
    } else if constexpr (Bytes == 8) {
        const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        if constexpr (R == 1) return lo;
        return _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(lo), reinterpret_cast<const double*>(p + step)));
    } else {
        static_assert(Bytes == 4);
        __m128i v = _mm_cvtsi32_si128(static_cast<int>(load_bytes<4>(p)));
        if constexpr (R > 1) v = _mm_insert_epi32(v, static_cast<int>(load_bytes<4>(p + step)), 1);
        if constexpr (R > 2)
            v = _mm_insert_epi32(v, static_cast<int>(load_bytes<4>(p + 2 * step)), 2);
        if constexpr (R > 3)
            v = _mm_insert_epi32(v, static_cast<int>(load_bytes<4>(p + 3 * step)), 3);
        return v;
    }
}

template <int Bytes, int R>
OPX_INLINE void store_half(Opx8u* p, std::ptrdiff_t step, __m128i v) noexcept {
    if constexpr (R <= 0) {
        return;
    } else if constexpr (Bytes == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
        if constexpr (R > 1) _mm_storeh_pi(reinterpret_cast<__m64*>(p + step), _mm_castsi128_ps(v));
    } else {
        static_assert(Bytes == 4);
        store_bytes<4>(p, static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)));
        if constexpr (R > 1)
            store_bytes<4>(p + step, static_cast<std::uint32_t>(_mm_extract_epi32(v, 1)));
        if constexpr (R > 2)
            store_bytes<4>(p + 2 * step, static_cast<std::uint32_t>(_mm_extract_epi32(v, 2)));
        if constexpr (R > 3)
            store_bytes<4>(p + 3 * step, static_cast<std::uint32_t>(_mm_extract_epi32(v, 3)));
    }
}

template <int Bytes, int R>
OPX_INLINE __m256i load_group(const Opx8u* p, std::ptrdiff_t step) noexcept {
    if constexpr (Bytes == 32) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else if constexpr (Bytes == 16) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if constexpr (R == 1) return _mm256_zextsi128_si256(lo);
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + step)),
                                       1);
    } else if constexpr (Bytes == 8 || Bytes == 4) {
        constexpr int kHalf = 16 / Bytes;
        const __m128i lo = load_half<Bytes, std::min(R, kHalf)>(p, step);
        if constexpr (R <= kHalf) return _mm256_zextsi128_si256(lo);
        // The template call is parenthesised: the intrinsic may be a macro.
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo),
                                       (load_half<Bytes, R - kHalf>(p + kHalf * step, step)), 1);
    } else {
        std::uint64_t u[4] = {0, 0, 0, 0};
        for (int i = 0; i < R; ++i) u[i / 4] |= load_bytes<2>(p + i * step) << (16 * (i % 4));
        return _mm256_set_epi64x(static_cast<long long>(u[3]), static_cast<long long>(u[2]),
                                 static_cast<long long>(u[1]), static_cast<long long>(u[0]));
    }
}

template <int Bytes, int R>
OPX_INLINE void store_group(Opx8u* p, std::ptrdiff_t step, __m256i v) noexcept {
    if constexpr (Bytes == 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    } else if constexpr (Bytes == 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
        if constexpr (R == 2)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + step), _mm256_extracti128_si256(v, 1));
    } else if constexpr (Bytes == 8 || Bytes == 4) {
        constexpr int kHalf = 16 / Bytes;
        store_half<Bytes, std::min(R, kHalf)>(p, step, _mm256_castsi256_si128(v));
        if constexpr (R > kHalf)
            store_half<Bytes, R - kHalf>(p + kHalf * step, step, _mm256_extracti128_si256(v, 1));
    } else {
        std::uint64_t u[4];
        u[0] = static_cast<std::uint64_t>(_mm256_extract_epi64(v, 0));
        if constexpr (R > 4) u[1] = static_cast<std::uint64_t>(_mm256_extract_epi64(v, 1));
        if constexpr (R > 8) {
            u[2] = static_cast<std::uint64_t>(_mm256_extract_epi64(v, 2));
            u[3] = static_cast<std::uint64_t>(_mm256_extract_epi64(v, 3));
        }
        for (int i = 0; i < R; ++i) store_bytes<2>(p + i * step, u[i / 4] >> (16 * (i % 4)));
    }
}

// Byte pairs (even, odd) of a 16-bit lane pattern.
__m256i pair16(std::int64_t even, std::int64_t odd) noexcept {
    return _mm256_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(odd) << 16) |
                                              (static_cast<std::uint32_t>(even) & 0xFFFF)));
}
__m256i bytes4(std::int32_t b0, std::int32_t b1, std::int32_t b2, std::int32_t b3) noexcept {
    return _mm256_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(b0) & 0xFF) |
                                              ((static_cast<std::uint32_t>(b1) & 0xFF) << 8) |
                                              ((static_cast<std::uint32_t>(b2) & 0xFF) << 16) |
                                              ((static_cast<std::uint32_t>(b3) & 0xFF) << 24)));
}

// ---- uni-directional --------------------------------------------------------------------------

struct UniVec {
    __m256i w_even, w_odd, scale, o_even, o_odd, interleave;
    bool shifted;
};

UniVec uni_vec(const UniWeight& wt) noexcept {
    UniVec v;
    v.w_even = bytes4(wt.w[0], 0, wt.w[0], 0);
    v.w_odd = bytes4(0, wt.w[1], 0, wt.w[1]);
    v.shifted = wt.shift > 0;
    v.scale = _mm256_set1_epi16(static_cast<short>(wt.shift > 0 ? 1 << (15 - wt.shift) : 0));
    v.o_even = _mm256_set1_epi16(static_cast<short>(wt.o[0]));
    v.o_odd = _mm256_set1_epi16(static_cast<short>(wt.o[1]));
    // packus(even, odd) leaves per 128-bit lane the 8 even results then the 8 odd ones.
    v.interleave = _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15, 0, 8, 1,
                                    9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
    return v;
}

OPX_INLINE __m256i uni_bytes(__m256i a, const UniVec& v) noexcept {
    __m256i e = _mm256_maddubs_epi16(a, v.w_even);  // s[2i]·w0, exact
    __m256i o = _mm256_maddubs_epi16(a, v.w_odd);   // s[2i+1]·w1
    if (v.shifted) {
        e = _mm256_mulhrs_epi16(e, v.scale);
        o = _mm256_mulhrs_epi16(o, v.scale);
    }
    e = _mm256_adds_epi16(e, v.o_even);
    o = _mm256_adds_epi16(o, v.o_odd);
    return _mm256_shuffle_epi8(_mm256_packus_epi16(e, o), v.interleave);
}

// Up to 8 bytes of rows (R rows of Bytes bytes), widened to 16-bit lanes.
template <int Bytes, int R>
OPX_INLINE __m128i load_unit(const Opx8u* p, std::ptrdiff_t step) noexcept {
    if constexpr (R <= 0) {
        return _mm_setzero_si128();
    } else if constexpr (Bytes == 8) {
        return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    } else {
        std::uint64_t u = 0;
        for (int i = 0; i < R; ++i) u |= load_bytes<Bytes>(p + i * step) << (8 * Bytes * i);
        return _mm_cvtepu8_epi16(_mm_cvtsi64_si128(static_cast<long long>(u)));
    }
}

template <int Bytes, int R>
OPX_INLINE void store_unit(Opx8u* p, std::ptrdiff_t step, std::uint64_t u) noexcept {
    for (int i = 0; i < R; ++i) store_bytes<Bytes>(p + i * step, u >> (8 * Bytes * i));
}

// Rows of 8 bytes or fewer: 8 samples at a time in 16-bit lanes of a 128-bit register, which
// keeps the load-to-store latency short (no lane crossing). One pmulhrsw of s·2^7 by
// w·2^(8−shift) gives (s·w·2^(15−shift) + 2^14) >> 15 = (s·w + 2^(shift−1)) >> shift, and s·w
// for shift 0; both factors fit 16 bits for s ≤ 255, w in −128..127 and shift 0..8.
template <int Bytes, int H>
OPX_INLINE void uni8_narrow(Opx8u* p, std::ptrdiff_t step, int shift, std::int32_t w0,
                            std::int32_t w1, std::int64_t o0, std::int64_t o1) noexcept {
    constexpr int kUnitRows = 8 / Bytes;  // rows per 8 bytes
    constexpr int R = std::min(kUnitRows, H);
    const auto lane = [&](std::int32_t w) {
        return static_cast<std::uint32_t>(w * (1 << (8 - shift))) & 0xFFFF;
    };
    const __m128i w = _mm_set1_epi32(static_cast<int>((lane(w1) << 16) | lane(w0)));
    const __m128i o = _mm_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(o1) << 16) |
                                                      (static_cast<std::uint32_t>(o0) & 0xFFFF)));
    auto weigh = [&](__m128i x) {
        return _mm_adds_epi16(_mm_mulhrs_epi16(_mm_slli_epi16(x, 7), w), o);
    };
    for (int y = 0; y < H; y += 2 * R) {
        Opx8u* q = p + static_cast<std::ptrdiff_t>(step) * y;
        constexpr int R2 = std::min(R, H - R);  // rows of the second unit (0 for 2-row blocks
                                                // of narrow rows)
        const __m128i a = weigh(load_unit<Bytes, R>(q, step));
        const __m128i b = weigh(load_unit<Bytes, R2>(q + R * step, step));
        const __m128i r = _mm_packus_epi16(a, b);
        if constexpr (Bytes == 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), r);
            if constexpr (R2 > 0)
                _mm_storeh_pi(reinterpret_cast<__m64*>(q + step), _mm_castsi128_ps(r));
        } else {
            store_unit<Bytes, R>(q, step, static_cast<std::uint64_t>(_mm_cvtsi128_si64(r)));
            store_unit<Bytes, R2>(q + R * step, step,
                                  static_cast<std::uint64_t>(_mm_extract_epi64(r, 1)));
        }
    }
}

template <int Bytes, int H>
void uni8_wide(Opx8u* p, std::ptrdiff_t step, const UniWeight& wt) noexcept {
    const UniVec v = uni_vec(wt);
    constexpr int R = std::min(kRowsPerGroup<Bytes>, H);
    for (int y = 0; y < H; y += R, p += static_cast<std::ptrdiff_t>(step) * R)
        store_group<Bytes, R>(p, step, uni_bytes(load_group<Bytes, R>(p, step), v));
}

template <int Bytes, int H>
__attribute__((noinline)) void uni8_wide_outlined(Opx8u* p, std::ptrdiff_t step,
                                                  const UniWeight& wt) noexcept {
    uni8_wide<Bytes, H>(p, step, wt);
}

template <int Bytes, int H>
__attribute__((noinline)) void uni8_scalar(Opx8u* p, std::ptrdiff_t step,
                                           const UniWeight& wt) noexcept {
    uni_scalar<Opx8u>(p, step, Bytes, H, wt, 255);
}

// The paths a block does not usually take stay out of line, so that the common one (narrow rows,
// shift ≤ 8) runs without a stack frame.
template <int Bytes, int H>
void uni8(Opx8u* p, std::ptrdiff_t step, const UniWeight& wt) noexcept {
    // Rows that overlap (a step below the row width) are weighted one after the other.
    if (OPX_UNLIKELY(!uni_fast(wt) || (step < Bytes && step > -Bytes)))
        return uni8_scalar<Bytes, H>(p, step, wt);
    if constexpr (Bytes <= 8) {
        if (OPX_LIKELY(wt.shift <= 8))
            return uni8_narrow<Bytes, H>(p, step, wt.shift, wt.w[0], wt.w[1], wt.o[0], wt.o[1]);
        return uni8_wide_outlined<Bytes, H>(p, step, wt);
    } else {
        return uni8_wide<Bytes, H>(p, step, wt);
    }
}

template <int Bytes, int H>
OpxResult uni_plain(Opx8u* p, std::ptrdiff_t step, int shift, int w, int o) noexcept {
    if constexpr (Bytes <= 8)
        uni8_narrow<Bytes, H>(p, step, shift, w, w, o, o);
    else
        uni8_wide<Bytes, H>(p, step, UniWeight{shift, {w, w}, {o, o}});
    return opxOk;
}

// ---- bi-directional ---------------------------------------------------------------------------

struct BiVec {
    __m256i w, scale, o;
    bool shifted;
};

BiVec bi_vec(const BiWeight& wt) noexcept {
    BiVec v;
    v.w = bytes4(wt.w1[0], wt.w2[0], wt.w1[1], wt.w2[1]);
    v.shifted = wt.shift > 0;
    v.scale = _mm256_set1_epi16(static_cast<short>(wt.shift > 0 ? 1 << (15 - wt.shift) : 0));
    v.o = pair16(wt.o[0], wt.o[1]);
    return v;
}

// Result bytes of 32 sample pairs.
OPX_INLINE __m256i bi_bytes(__m256i a, __m256i b, const BiVec& v) noexcept {
    // Per 128-bit lane: samples 0..7 and 8..15 as (s1, s2) byte pairs; 16-bit lane i holds the
    // sample i (mod 16), so the lane's parity is the sample's.
    __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, b), v.w);
    __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, b), v.w);
    if (v.shifted) {
        lo = _mm256_mulhrs_epi16(lo, v.scale);
        hi = _mm256_mulhrs_epi16(hi, v.scale);
    }
    return _mm256_packus_epi16(_mm256_adds_epi16(lo, v.o), _mm256_adds_epi16(hi, v.o));
}

template <int Bytes, int H>
void bi8(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2, std::ptrdiff_t step2, Opx8u* d,
         std::ptrdiff_t dstep, const BiWeight& wt) noexcept {
    if (!bi_fast(wt) || overlaps(s1, step1, d, dstep, Bytes, H) ||
        overlaps(s2, step2, d, dstep, Bytes, H))
        return bi_scalar<Opx8u>(s1, step1, s2, step2, d, dstep, Bytes, H, wt, 255);
    const BiVec v = bi_vec(wt);
    constexpr int R = std::min(kRowsPerGroup<Bytes>, H);
    for (int y = 0; y < H; y += R) {
        const __m256i a = load_group<Bytes, R>(s1, step1);
        const __m256i b = load_group<Bytes, R>(s2, step2);
        store_group<Bytes, R>(d, dstep, bi_bytes(a, b, v));
        s1 += static_cast<std::ptrdiff_t>(step1) * R;
        s2 += static_cast<std::ptrdiff_t>(step2) * R;
        d += static_cast<std::ptrdiff_t>(dstep) * R;
    }
}

// Any size: 32-byte pieces along each row, the rest of the row by the scalar rule.
void bi8_any(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2, std::ptrdiff_t step2, Opx8u* d,
             std::ptrdiff_t dstep, int width, int height, const BiWeight& wt) noexcept {
    if (width < 32 || !bi_fast(wt) || overlaps(s1, step1, d, dstep, width, height) ||
        overlaps(s2, step2, d, dstep, width, height))
        return bi_scalar<Opx8u>(s1, step1, s2, step2, d, dstep, width, height, wt, 255);
    const BiVec v = bi_vec(wt);
    const int vec_width = width & ~31;
    for (int y = 0; y < height; ++y, s1 += step1, s2 += step2, d += dstep) {
        for (int x = 0; x < vec_width; x += 32) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s1 + x));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s2 + x));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), bi_bytes(a, b, v));
        }
        if (vec_width < width)
            bi_scalar<Opx8u>(s1 + vec_width, step1, s2 + vec_width, step2, d + vec_width, dstep,
                             width - vec_width, 1, wt, 255);
    }
}

// ---- 16-bit -----------------------------------------------------------------------------------

// 16-bit samples (any value up to 65535) in 32-bit lanes, eight at a time. Exact when
//   uni: |w| ≤ 2^14 and |o| ≤ 2^29: |s·w| < 2^30, so the sum with the offset stays in 31 bits;
//   bi:  |w1|, |w2| < 2^14 and |o| ≤ 2^29: |s1·w1 + s2·w2| + 2^(shift−1) < 2^31 for shift ≤ 8,
//        and after the shift the offset adds at most 2^29.
// Other arguments, and blocks that overlap other than in place, take the scalar path.
constexpr bool in_range(std::int64_t v, std::int64_t bound) noexcept {
    return v >= -bound && v <= bound;
}

OPX_INLINE __m256i clip32(__m256i v, __m256i max) noexcept {
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), max);
}
OPX_INLINE __m256i load8x16(const Opx16u* p) noexcept {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
OPX_INLINE void store8x16(Opx16u* p, __m256i v) noexcept {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}
// Lanes alternating even / odd values.
OPX_INLINE __m256i pair32(std::int64_t even, std::int64_t odd) noexcept {
    return _mm256_setr_epi32(static_cast<int>(even), static_cast<int>(odd), static_cast<int>(even),
                             static_cast<int>(odd), static_cast<int>(even), static_cast<int>(odd),
                             static_cast<int>(even), static_cast<int>(odd));
}

void uni16(Opx16u* p, std::ptrdiff_t step, int width, int height, const UniWeight& wt,
           int max) noexcept {
    constexpr std::int64_t kW = 1 << 14, kO = 1 << 29;
    const bool fast = wt.shift <= 8 && in_range(wt.w[0], kW) && in_range(wt.w[1], kW) &&
                      in_range(wt.o[0], kO) && in_range(wt.o[1], kO) &&
                      (height == 1 || step >= width || step <= -width);
    if (!fast || width < 8) return uni_scalar<Opx16u>(p, step, width, height, wt, max);
    const __m256i w = pair32(wt.w[0], wt.w[1]), o = pair32(wt.o[0], wt.o[1]);
    const __m256i r = _mm256_set1_epi32(wt.shift > 0 ? 1 << (wt.shift - 1) : 0);
    const __m128i n = _mm_cvtsi32_si128(wt.shift);
    const __m256i m = _mm256_set1_epi32(max);
    const int vec = width & ~7;
    for (int y = 0; y < height; ++y, p += step) {
        for (int x = 0; x < vec; x += 8) {
            const __m256i v = _mm256_add_epi32(_mm256_mullo_epi32(load8x16(p + x), w), r);
            store8x16(p + x, clip32(_mm256_add_epi32(_mm256_sra_epi32(v, n), o), m));
        }
        if (vec < width) uni_scalar<Opx16u>(p + vec, step, width - vec, 1, wt, max);
    }
}

// Runs op on 16 samples of each source at a time (one 256-bit register): a row of 16, two rows
// of 8 or four rows of 4 per register; other widths row by row, 16, 8 and 4 samples at a time
// (the unused lanes then hold whatever, never stored) and `tail` on the rest of the row.
template <class Op, class Tail>
OPX_INLINE void bi16_rows(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2,
                          std::ptrdiff_t step2, Opx16u* d, std::ptrdiff_t dstep, int width,
                          int height, Op op, Tail tail) noexcept {
    auto load = [](const Opx16u* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    };
    auto load128 = [](const Opx16u* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    auto load64 = [](const Opx16u* p) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    };
    auto rows8 = [&](const Opx16u* p, std::ptrdiff_t step) {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(load128(p)), load128(p + step), 1);
    };
    auto rows4 = [&](const Opx16u* p, std::ptrdiff_t step) {
        const __m128i lo = _mm_unpacklo_epi64(load64(p), load64(p + step));
        const __m128i hi = _mm_unpacklo_epi64(load64(p + 2 * step), load64(p + 3 * step));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    };
    int y = 0;
    if (width == 16) {
        for (; y < height; ++y, s1 += step1, s2 += step2, d += dstep)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), op(load(s1), load(s2)));
        return;
    }
    if (width == 8) {
        for (; y + 2 <= height; y += 2, s1 += 2 * step1, s2 += 2 * step2, d += 2 * dstep) {
            const __m256i v = op(rows8(s1, step1), rows8(s2, step2));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dstep), _mm256_extracti128_si256(v, 1));
        }
    } else if (width == 4) {
        for (; y + 4 <= height; y += 4, s1 += 4 * step1, s2 += 4 * step2, d += 4 * dstep) {
            const __m256i v = op(rows4(s1, step1), rows4(s2, step2));
            const __m128i lo = _mm256_castsi256_si128(v), hi = _mm256_extracti128_si256(v, 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), lo);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + dstep), _mm_unpackhi_epi64(lo, lo));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 2 * dstep), hi);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 3 * dstep), _mm_unpackhi_epi64(hi, hi));
        }
    }
    for (; y < height; ++y, s1 += step1, s2 += step2, d += dstep) {
        int x = 0;
        for (; x + 16 <= width; x += 16)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), op(load(s1 + x), load(s2 + x)));
        for (; x + 8 <= width; x += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x),
                             _mm256_castsi256_si128(op(_mm256_castsi128_si256(load128(s1 + x)),
                                                       _mm256_castsi128_si256(load128(s2 + x)))));
        for (; x + 4 <= width; x += 4)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + x),
                             _mm256_castsi256_si128(op(_mm256_castsi128_si256(load64(s1 + x)),
                                                       _mm256_castsi128_si256(load64(s2 + x)))));
        if (x < width) tail(s1 + x, s2 + x, d + x, width - x);
    }
}

void bi16(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2, std::ptrdiff_t step2, Opx16u* d,
          std::ptrdiff_t dstep, int width, int height, const BiWeight& wt, int max) noexcept {
    constexpr std::int64_t kW = (1 << 14) - 1, kO = 1 << 29;
    if (overlaps(s1, 2 * step1, d, 2 * dstep, 2 * width, height) ||
        overlaps(s2, 2 * step2, d, 2 * dstep, 2 * width, height))
        return bi_scalar<Opx16u>(s1, step1, s2, step2, d, dstep, width, height, wt, max);
    const __m256i m = _mm256_set1_epi16(static_cast<short>(max));
    // Equal weights of half the unit and no offset (implicit weights of a picture midway
    // between its references): ((a + b) h + h) >> shift with h = 2^(shift - 1) is
    // (a + b + 1) >> 1, then clipped to max.
    const std::int32_t half = wt.shift >= 1 ? std::int32_t{1} << (wt.shift - 1) : -1;
    if (wt.w1[0] == half && wt.w1[1] == half && wt.w2[0] == half && wt.w2[1] == half &&
        wt.o[0] == 0 && wt.o[1] == 0) {
        bi16_rows(
            s1, step1, s2, step2, d, dstep, width, height,
            [&](__m256i a, __m256i b) { return _mm256_min_epu16(_mm256_avg_epu16(a, b), m); },
            [&](const Opx16u* a, const Opx16u* b, Opx16u* o, int n) {
                for (int x = 0; x < n; ++x)
                    o[x] = static_cast<Opx16u>(std::min((a[x] + b[x] + 1) >> 1, max));
            });
        return;
    }
    bool fast = wt.shift >= 1 && wt.shift <= 8 && in_range(wt.o[0], kO) && in_range(wt.o[1], kO);
    for (int c = 0; c < 2; ++c) fast = fast && in_range(wt.w1[c], kW) && in_range(wt.w2[c], kW);
    if (!fast) return bi_scalar<Opx16u>(s1, step1, s2, step2, d, dstep, width, height, wt, max);
    // s1·w1 + s2·w2 by pmaddwd on the samples less 2^15 (signed 16-bit), the 2^15 (w1 + w2) put
    // back with the rounding term: every partial sum is within ±2^30 and the total is the exact
    // one, below 2^31 (see above). Samples of even and odd position keep their parity in the
    // 32-bit lanes, so the weights of interleaved Cb and Cr alternate there too.
    auto pair16 = [](int a, int b) { return (a & 0xFFFF) | (b * 65536); };
    const __m256i w = pair32(pair16(wt.w1[0], wt.w2[0]), pair16(wt.w1[1], wt.w2[1]));
    const std::int32_t r = std::int32_t{1} << (wt.shift - 1);
    const __m256i c = pair32(32768 * (std::int32_t{wt.w1[0]} + wt.w2[0]) + r,
                             32768 * (std::int32_t{wt.w1[1]} + wt.w2[1]) + r);
    const __m256i o = pair32(wt.o[0], wt.o[1]);
    const __m128i n = _mm_cvtsi32_si128(wt.shift);
    const __m256i bias = _mm256_set1_epi16(static_cast<short>(0x8000));
    bi16_rows(
        s1, step1, s2, step2, d, dstep, width, height,
        [&](__m256i a, __m256i b) {
            a = _mm256_xor_si256(a, bias);
            b = _mm256_xor_si256(b, bias);
            auto part = [&](__m256i ab) {
                const __m256i v = _mm256_add_epi32(_mm256_madd_epi16(ab, w), c);
                return _mm256_add_epi32(_mm256_sra_epi32(v, n), o);
            };
            return _mm256_min_epu16(_mm256_packus_epi32(part(_mm256_unpacklo_epi16(a, b)),
                                                        part(_mm256_unpackhi_epi16(a, b))),
                                    m);
        },
        [&](const Opx16u* a, const Opx16u* b, Opx16u* out, int count) {
            bi_scalar<Opx16u>(a, step1, b, step2, out, dstep, count, 1, wt, max);
        });
}

void avg16(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2, std::ptrdiff_t step2,
           Opx16u* d, std::ptrdiff_t dstep, int width, int height) noexcept {
    auto scalar = [](const Opx16u* a, const Opx16u* b, Opx16u* o, int n) {
        for (int x = 0; x < n; ++x) o[x] = static_cast<Opx16u>((a[x] + b[x] + 1) >> 1);
    };
    if (overlaps(s1, 2 * step1, d, 2 * dstep, 2 * width, height) ||
        overlaps(s2, 2 * step2, d, 2 * dstep, 2 * width, height)) {
        for (int y = 0; y < height; ++y, s1 += step1, s2 += step2, d += dstep)
            scalar(s1, s2, d, width);  // row by row, in order
        return;
    }
    bi16_rows(
        s1, step1, s2, step2, d, dstep, width, height,
        [](__m256i a, __m256i b) { return _mm256_avg_epu16(a, b); }, scalar);
}

}  // namespace

extern const WeightKernels kWeight = {
    OPX_WEIGHT_TABLE(uni8, 1),
    OPX_WEIGHT_TABLE(uni8, 2),
    OPX_WEIGHT_TABLE(uni_plain, 1),
    OPX_WEIGHT_TABLE(bi8, 1),
    OPX_WEIGHT_TABLE(bi8, 2),
    bi8_any,
    uni16,
    bi16,
    avg16,
};

}  // namespace opx::h264::avx2
