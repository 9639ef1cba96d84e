// CAVLC syntax elements through bit masks. 32-bit blocks: the coefficients are first gathered
// into scan order (16 independent loads), so that the walk reads ord[p] with no load depending
// on another; their non-zero flags form a 16-bit mask, and the walk visits only its set bits,
// highest first: each run_before is the gap between two neighbouring set bits, total_zeros the span
// below the highest bit less the number of bits. 16-bit blocks take no loop at all (block16 below).
// The chroma DC arrays (4 and 8 values) share the portable loop, which is faster for so few values.
//
// Scan entries outside firstPos..lastPos are not judged (those inside are, before anything is
// written); the gather reads them modulo 16 (always inside the block) and the mask drops their
// positions.
#include <immintrin.h>

#include "frame/dispatch.hpp"
#include "h264/encode/cavlc_enc.hpp"

namespace opx::h264::enc::avx2 {
namespace {

// The 16 coefficients in scan order; the masks of non-zero values and of +-1 (bit k = scan
// position k).
struct Masks {
    unsigned nonzero, ones;
};

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
    unsigned good = 0;  // bit k: scan[k] lies in 0..15
    for (int h = 0; h < 2; ++h) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scan + 8 * h));
        const __m256i in = _mm256_cmpeq_epi32(_mm256_min_epu32(v, _mm256_set1_epi32(15)), v);
        good |= static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in))) << (8 * h);
    }
    if (OPX_UNLIKELY(~good & range)) return kBadScan;
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

// ---- 16-bit blocks: no loop over the coefficients ------------------------------------------
//
// The 16-bit kernels work in met order: bit (or byte) k stands for scan position 15 - k, so the
// coefficient met first is the lowest set bit. The flags come
// from the block's values packed to bytes (packsswb keeps zero, +-1 and the sign) and put into
// met order by one byte shuffle with the reversed scan; the positions of the set bits of the
// non-zero mask are packed into bytes by a 256-entry table per byte of the mask, so that the
// runs are differences of neighbouring bytes and the levels one more byte gather. The results
// are stored with exactly the number of values the rules give.

// The read-only data of the 16-bit kernels in one object, so that one base register reaches
// all of it (position-independent code would otherwise spend an address computation on each).
struct Tables16 {
    // Byte i of low[m]: the index of the i-th set bit of m, 0 past the last one; high[m]: the
    // same plus 8 (the positions of the high byte of a 16-bit mask).
    std::uint64_t low[256], high[256];
    // window + 16 + o holds o, o + 1, ..., o + 15 where they lie in 0..15 and 0x80 (a zero byte
    // from pshufb) elsewhere: pshufb(v, that) moves v down by o bytes (up by -o), o in -16..16.
    // One unaligned load replaces a broadcast, an add and a clamp.
    std::int8_t window[48];
    // Byte splats of 1 and 112: a load (often folded) where the compiler would build each in
    // registers with three instructions.
    std::int8_t one[16], above_15[16];
    // signs[t][b]: the TrailingOneSigns value of t trailing ones (0..3) whose signs, in the order
    // met, are bits 0, 1, 2 of b (1 = negative): the first met becomes the most significant bit.
    std::uint8_t signs[4][8];
};
constexpr Tables16 make_tables16() noexcept {
    Tables16 t{};
    for (int m = 0; m < 256; ++m)
        for (int b = 0, i = 0; b < 8; ++b)
            if (m >> b & 1) {
                t.low[m] |= static_cast<std::uint64_t>(b) << (8 * i);
                t.high[m] |= static_cast<std::uint64_t>(b + 8) << (8 * i++);
            }
    for (int i = 0; i < 48; ++i)
        t.window[i] = static_cast<std::int8_t>(i >= 16 && i < 32 ? i - 16 : -128);
    for (int i = 0; i < 16; ++i) t.one[i] = 1, t.above_15[i] = 112;
    for (int n = 0; n < 4; ++n)
        for (int b = 0; b < 8; ++b)
            for (int i = 0; i < n; ++i)
                t.signs[n][b] =
                    static_cast<std::uint8_t>(t.signs[n][b] | ((b >> i & 1) << (n - 1 - i)));
    return t;
}
alignas(64) constexpr Tables16 kTables16 = make_tables16();

// The tables' address, hidden from constant folding by an empty asm (which keeps the splats
// loads).
OPX_INLINE const Tables16* tables16() noexcept {
    const Tables16* p = &kTables16;
    __asm__("" : "+r"(p));
    return p;
}
OPX_INLINE __m128i load(const std::int8_t* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
OPX_INLINE __m128i bytes_from(const Tables16* tb, __m128i v, int o) noexcept {
    return _mm_shuffle_epi8(v, load(tb->window + 16 + o));
}

// Bytes 0 .. n - 1: the indices of the set bits of the 16-bit mask m, lowest first; zero past n.
OPX_INLINE __m128i bit_positions(const Tables16* tb, unsigned m) noexcept {
    const __m128i lo = _mm_cvtsi64_si128(static_cast<long long>(tb->low[m & 0xFF]));
    const __m128i hi = _mm_cvtsi64_si128(static_cast<long long>(tb->high[m >> 8]));
    return _mm_or_si128(lo, bytes_from(tb, hi, -_mm_popcnt_u32(m & 0xFF)));
}

// Exact-length stores: no byte past `len` is written, and the branches are taken by block kind
// (few or many coefficients), not by the exact count. The short lengths, the most common by far,
// take no branch: a head of two elements at the front and the last element at its place, each
// sent to a scratch slot when the length is too short for it.

// The address a when len >= K, else b, by a conditional move: the compiler makes a branch of a
// plain select here, which would mispredict on the counts. a is an integer: for a length too
// short it may name no element of the array.
template <unsigned K>
OPX_INLINE void* pick(unsigned len, std::uintptr_t a, void* b) noexcept {
    __asm__("cmpl %[k], %[len]\n\tcmovae %[a], %[b]"
            : [b] "+r"(b)
            : [a] "r"(a), [len] "r"(len), [k] "i"(K)
            : "cc");
    return b;
}
OPX_INLINE std::uintptr_t address(const void* p) noexcept {
    return reinterpret_cast<std::uintptr_t>(p);
}

// The first `len` bytes (0..15) of v.
OPX_INLINE void store_bytes(const Tables16* tb, Opx8u* d, __m128i v, unsigned len,
                            Opx8u* scratch) noexcept {
    if (OPX_UNLIKELY(len >= 4)) {
        if (len >= 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), v);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + len - 8), bytes_from(tb, v, len - 8));
        } else {
            const std::uint32_t a = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)),
                                b = static_cast<std::uint32_t>(
                                    _mm_cvtsi128_si32(bytes_from(tb, v, len - 4)));
            __builtin_memcpy(d, &a, 4);
            __builtin_memcpy(d + len - 4, &b, 4);
        }
        return;
    }
    const std::uint32_t head = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    void* const pair = pick<2>(len, address(d), scratch);            // bytes 0 and 1
    void* const last = pick<1>(len, address(d) + len - 1, scratch);  // byte len - 1
    const std::uint16_t two = static_cast<std::uint16_t>(head);
    __builtin_memcpy(pair, &two, 2);
    *static_cast<Opx8u*>(last) = static_cast<Opx8u>(head >> (8 * (len - 1) & 31));
}

// The first `len` 16-bit values (0..16) of v0 (values 0..7) and v1 (values 8..15).
OPX_INLINE void store_words(const Tables16* tb, Opx16s* d, __m128i v0, __m128i v1, unsigned len,
                            Opx8u* scratch) noexcept {
    if (OPX_UNLIKELY(len >= 4)) {
        auto* b = reinterpret_cast<unsigned char*>(d);
        const unsigned bytes = 2 * len;
        if (bytes >= 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b), v0);
            // bytes - 16 .. bytes - 1 of v0:v1 (the whole of v1 for 16 values).
            const unsigned o = bytes - 16;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b + o),
                             _mm_or_si128(bytes_from(tb, v0, o), bytes_from(tb, v1, o - 16)));
        } else if (bytes >= 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(b), v0);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(b + bytes - 8),
                             bytes_from(tb, v0, bytes - 8));
        }
        return;
    }
    const std::uint32_t head = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v0));
    const std::uint64_t head4 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(v0));
    void* const pair = pick<2>(len, address(d), scratch);                  // values 0 and 1
    void* const last = pick<1>(len, address(d) + 2 * (len - 1), scratch);  // value len - 1
    const std::uint16_t one = static_cast<std::uint16_t>(head4 >> (16 * (len - 1) & 63));
    __builtin_memcpy(pair, &head, 4);
    __builtin_memcpy(last, &one, 2);
}

// The facts are stored as soon as they are known, before the arrays: nothing can fail after the
// scan is judged, and the four pointers then free their registers.
OpxResult block16(const Opx16s* src, Opx8u first, const Opx32s* scan, Opx8u last,
                  Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff, Opx8u* total_zeros,
                  Opx16s* levels, Opx8u* runs) noexcept {
    const OpxResult r = check_block16(src, first, scan, last, trailing_ones, signs, total_coeff,
                                      total_zeros, levels, runs);
    if (OPX_UNLIKELY(r != opxOk)) return r;
    const Tables16* tb = tables16();
    // rev[k]: the scan entry of scan position 15 - k as a byte (saturated). 128-bit packs keep
    // the entries in order (and need no vzeroupper).
    const auto* sc = reinterpret_cast<const __m128i*>(scan);
    const __m128i w0 = _mm_packs_epi32(_mm_loadu_si128(sc), _mm_loadu_si128(sc + 1));
    const __m128i w1 = _mm_packs_epi32(_mm_loadu_si128(sc + 2), _mm_loadu_si128(sc + 3));
    const __m128i rev =
        _mm_shuffle_epi8(_mm_packs_epi16(w0, w1),
                         _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
    // Every entry outside 0..15 stays outside it through the signed saturations (a negative one
    // reads above 127 unsigned); adding 112 with unsigned saturation sets the top bit of exactly
    // those bytes. Only the entries of positions first..last are judged: the lanes the others feed
    // are masked off below or never stored.
    const unsigned bad =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_adds_epu8(rev, load(tb->above_15))));
    const unsigned range = (0xFFFFu >> first) & ~(0x7FFFu >> last);  // met order
    if (OPX_UNLIKELY(bad & range)) return opxErrOutOfRange;

    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
    const __m128i f = _mm_shuffle_epi8(_mm_packs_epi16(lo, hi), rev);
    const unsigned m =
        ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(f, _mm_setzero_si128()))) & range;
    if (OPX_UNLIKELY(m == 0)) {
        *trailing_ones = 0, *signs = 0, *total_coeff = 0;
        *total_zeros = static_cast<Opx8u>(last - first + 1);
        return opxOk;
    }
    const __m128i one = load(tb->one);
    // |x| = 1 after saturation only for x = +-1 (saturated values are +-127 / -128).
    const unsigned ones =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_abs_epi8(f), one)));
    const int n = _mm_popcnt_u32(m);
    // Trailing ones: the non-zero values met before the first larger one (all when none is), at
    // most three.
    const unsigned larger = m & ~ones;
    const int t_all = _mm_popcnt_u32(m & ~larger & (larger - 1));
    const int t = t_all < 3 ? t_all : 3;
    const __m128i pos = bit_positions(tb, m);
    // Signs of the first three values met (bit i: the i-th), from their bytes gathered in order.
    const unsigned met_signs =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_shuffle_epi8(f, pos))) & 7;
    *trailing_ones = static_cast<Opx8u>(t);
    *signs = tb->signs[t][met_signs];
    *total_coeff = static_cast<Opx8u>(n);
    *total_zeros = static_cast<Opx8u>(16 - static_cast<int>(_tzcnt_u32(m)) - first - n);

    Opx8u scratch[4];
    // runs[i]: zeros between the i-th and the (i + 1)-th value met.
    const __m128i run = _mm_sub_epi8(_mm_sub_epi8(_mm_srli_si128(pos, 1), pos), one);
    store_bytes(tb, runs, run, static_cast<unsigned>(n - 1), scratch);
    // Levels: the values met after the trailing ones, gathered by raster index.
    const __m128i idx = _mm_shuffle_epi8(rev, bytes_from(tb, pos, t));
    // The low and the high bytes of the 16 values, each plane gathered by one byte shuffle.
    const __m128i planes = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m128i a = _mm_shuffle_epi8(lo, planes), b = _mm_shuffle_epi8(hi, planes);
    const __m128i plane_lo = _mm_unpacklo_epi64(a, b), plane_hi = _mm_unpackhi_epi64(a, b);
    const __m128i gl = _mm_shuffle_epi8(plane_lo, idx), gh = _mm_shuffle_epi8(plane_hi, idx);
    store_words(tb, levels, _mm_unpacklo_epi8(gl, gh), _mm_unpackhi_epi8(gl, gh),
                static_cast<unsigned>(n - t), scratch);
    return opxOk;
}

}  // namespace

extern const CavlcEncKernels kCavlcEnc = {
    block16, block<Opx32s>, ref::dc2x2_16s, ref::dc2x2<Opx32s>, ref::dc2x4_16s, ref::dc2x4<Opx32s>,
};

}  // namespace opx::h264::enc::avx2
