// AVX2 intra prediction kernels (most fit in 128-bit registers; the 16×16 plane uses 256).
//
// The directional 4×4 and 8×8 modes share one scheme: the neighbours are laid out as a line e,
// two vectors are formed from it, F[j] = (e[j-1] + 2 e[j] + e[j+1] + 2) >> 2 and
// A[j] = (e[j] + e[j+1] + 1) >> 1, and every predicted sample is one byte of F or A, picked by a
// byte shuffle whose control is derived at compile time from the mode's rule (clauses 8.3.1.2.4
// to 8.3.1.2.9 and 8.3.2.2.5 to 8.3.2.2.10 restated on the line). The 3-tap filter is formed
// without widening: (a + 2b + c + 2) >> 2 == avg(b, floor((a + c) / 2)), and
// floor((a + c) / 2) == ~avg(~a, ~c) (the complement of the rounded mean of the complements,
// which needs no constant but all-ones).
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "h264/decode/intra.hpp"
#include "h264/decode/intra_lines.hpp"

namespace opx::h264::avx2 {
namespace {

OPX_INLINE std::uint32_t load32(const void* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
OPX_INLINE void store32(void* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}
OPX_INLINE std::uint64_t load64(const void* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
OPX_INLINE void store64(void* p, std::uint64_t v) {
    std::memcpy(p, &v, 8);
}

OPX_INLINE __m128i filt3(__m128i a, __m128i b, __m128i c) {
    const __m128i ones = _mm_cmpeq_epi8(b, b);
    const __m128i half =
        _mm_xor_si128(_mm_avg_epu8(_mm_xor_si128(a, ones), _mm_xor_si128(c, ones)), ones);
    return _mm_avg_epu8(b, half);
}

// ---- 4×4 ------------------------------------------------------------------------------------
// Lines and picks: intra_lines.hpp.
using namespace intra_lines;


// Shuffle of the register F[0..7] | A[0..7] giving rows 0..3, 4 bytes each.
struct Shuffle16 {
    alignas(16) signed char v[16];
};
constexpr Shuffle16 shuffle4x4(int mode) {
    Shuffle16 s{};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const Pick p = pick4x4(mode, x, y);
            s.v[4 * y + x] = static_cast<signed char>(p.a ? 8 + p.j : p.j);
        }
    return s;
}

template <int Mode>
constexpr Shuffle16 kShuffle4x4 = shuffle4x4(Mode);

OPX_INLINE void store_rows4(Opx8u* dst, std::ptrdiff_t step, __m128i r) {
    store32(dst, static_cast<std::uint32_t>(_mm_cvtsi128_si32(r)));
    store32(dst + step, static_cast<std::uint32_t>(_mm_extract_epi32(r, 1)));
    store32(dst + 2 * step, static_cast<std::uint32_t>(_mm_extract_epi32(r, 2)));
    store32(dst + 3 * step, static_cast<std::uint32_t>(_mm_extract_epi32(r, 3)));
}

// p[-1, 0..3] as one word, byte by byte: each byte lies within the store that wrote its row of
// the neighbouring block, so the reads forward from recent stores.
OPX_INLINE std::uint32_t left4(const Opx8u* dst, std::ptrdiff_t step) {
    return dst[-1] | dst[step - 1] << 8 | dst[2 * step - 1] << 16 |
           static_cast<std::uint32_t>(dst[3 * step - 1]) << 24;
}

template <int Mode, bool AboveRight>
OpxResult dir4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    const Opx8u* above = dst - step;
    // e: the line; r: its right neighbours, e[j + 1].
    __m128i e, r;
    if constexpr (Mode == 3 || Mode == 7) {
        if constexpr (AboveRight) {
            // p[0..7, -1]. DDL's F[7] takes p[7, -1] as its own right neighbour; VL reads no
            // sample beyond e[6].
            e = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(above));
            r = Mode == 3 ? _mm_shuffle_epi8(e, _mm_setr_epi8(1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 7, 7, 7,
                                                              7, 7, 7))
                          : _mm_srli_si128(e, 1);
        } else {
            // p[0..3, -1], then p[3, -1] repeated.
            e = _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(load32(above))),
                                 _mm_setr_epi8(0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3));
            r = _mm_srli_si128(e, 1);
        }
    } else if constexpr (Mode == 8) {
        // p[-1, 0..3]; HU reads F[0..3] and A[0..3], p[-1, 3] being its own right neighbour.
        e = _mm_cvtsi32_si128(static_cast<int>(left4(dst, step)));
        r = _mm_shuffle_epi8(e, _mm_setr_epi8(1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3));
    } else {
        // p[-1, 3..0] gathered byte by byte in a general register (bytes 0..3), p[-1, -1] and
        // p[0..3, -1] (bytes 4..8) in a vector register: two short chains instead of one long
        // chain of byte inserts. VR reads neither e[0] = p[-1, 3] nor F[1], A[0] that depend on
        // it (clause 8.3.1.2.6 uses p[-1, 0..2] only): its byte stays zero.
        const std::uint32_t bottom = Mode == 5 ? 0u : dst[3 * step - 1];
        const std::uint32_t left = bottom | dst[2 * step - 1] << 8 | dst[step - 1] << 16 |
                                   static_cast<std::uint32_t>(dst[-1]) << 24;
        // HD reads no sample right of p[2, -1] (clause 8.3.1.2.7): one load of p[-1..2, -1].
        const __m128i top =
            Mode == 6
                ? _mm_slli_si128(_mm_cvtsi32_si128(static_cast<int>(load32(above - 1))), 4)
                : _mm_insert_epi8(
                      _mm_slli_si128(_mm_cvtsi32_si128(static_cast<int>(load32(above))), 5),
                      above[-1], 4);
        e = _mm_or_si128(top, _mm_cvtsi32_si128(static_cast<int>(left)));
        r = _mm_srli_si128(e, 1);
    }
    const __m128i f = filt3(_mm_slli_si128(e, 1), e, r);  // F[0] unused
    __m128i fa = f;
    if constexpr (Mode != 3 && Mode != 4)
        fa = _mm_unpacklo_epi64(f, _mm_avg_epu8(e, r));
    store_rows4(dst, step,
                _mm_shuffle_epi8(
                    fa, _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle4x4<Mode>.v))));
    return opxOk;
}

OpxResult v4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    const std::uint32_t t = load32(dst - step);
    for (int y = 0; y < 4; ++y) store32(dst + y * step, t);
    return opxOk;
}

OpxResult h4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    for (int y = 0; y < 4; ++y) store32(dst + y * step, dst[y * step - 1] * 0x01010101u);
    return opxOk;
}

OPX_INLINE int sum_above4(const Opx8u* dst, std::ptrdiff_t step) {
    return _mm_cvtsi128_si32(
        _mm_sad_epu8(_mm_cvtsi32_si128(static_cast<int>(load32(dst - step))), _mm_setzero_si128()));
}
OPX_INLINE int sum_left4(const Opx8u* dst, std::ptrdiff_t step) {
    return dst[-1] + dst[step - 1] + dst[2 * step - 1] + dst[3 * step - 1];
}

// DC variants: Sides bit 0 above, bit 1 left (clause 8.3.1.2.3).
template <int Sides>
OpxResult dc4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    std::uint32_t dc = 128;
    if constexpr (Sides == 3) dc = (sum_above4(dst, step) + sum_left4(dst, step) + 4) >> 3;
    if constexpr (Sides == 1) dc = (sum_above4(dst, step) + 2) >> 2;
    if constexpr (Sides == 2) dc = (sum_left4(dst, step) + 2) >> 2;
    const std::uint32_t v = dc * 0x01010101u;
    for (int y = 0; y < 4; ++y) store32(dst + y * step, v);
    return opxOk;
}

// ---- 8×8 --------------------------------------------------------------------------------------
// The neighbours are held in registers as one line, bottom-left to top-right:
//   e[0] = e[1] (pad), e[1..8] = p[-1, 7..0], e[9] = p[-1, -1], e[10..25] = p[0..15, -1],
//   e[26..31] = e[25] (pads),
// in two halves LC = e[0..15] and HI = e[16..31]. Each directional mode reads a 16-byte window
// of the filtered line at `base`.

constexpr int window8x8(int mode) {
    return mode == 3 || mode == 7 ? 10 : mode == 4 || mode == 5 ? 2 : mode == 6 ? 1 : 0;
}

// F/A index on the whole line for sample (x, y) of mode 3..8.
constexpr Pick pick8x8_line(int mode, int x, int y) {
    switch (mode) {
        case 3:
            return {false, 11 + x + y};  // p'[x + y + 1, -1]; (7, 7) uses the pad e[26]
        case 4:
            return {false, 9 + x - y};
        case 5: {
            const int z = 2 * x - y;
            if (z >= 0 && !(z & 1)) return {true, 9 + x - (y >> 1)};
            if (z >= -1) return {false, 9 + x - (y >> 1)};
            return {false, 10 - y + 2 * x};
        }
        case 6: {
            const int z = 2 * y - x;
            if (z >= 0 && !(z & 1)) return {true, 8 - y + (x >> 1)};
            if (z >= -1) return {false, 9 - y + (x >> 1)};
            return {false, 8 + x - 2 * y};
        }
        case 7:
            return (y & 1) ? Pick{false, 11 + x + (y >> 1)} : Pick{true, 10 + x + (y >> 1)};
        default: {  // 8
            const int z = x + 2 * y;
            if (z > 13) return {true, 0};  // p'[-1, 7] (A[0] averages it with its pad)
            if (z == 13) return {false, 1};
            return (z & 1) ? Pick{false, 7 - y - (x >> 1)} : Pick{true, 7 - y - (x >> 1)};
        }
    }
}

// Per pair of rows: a shuffle of F and one of A (-128 bytes give zero), OR-ed.
struct Shuffle8x8 {
    alignas(16) signed char f[4][16];
    alignas(16) signed char a[4][16];
};
constexpr Shuffle8x8 shuffle8x8(int mode) {
    Shuffle8x8 s{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const Pick p = pick8x8_line(mode, x, y);
            const int j = p.j - window8x8(mode);
            const int r = y >> 1, b = 8 * (y & 1) + x;
            s.f[r][b] = static_cast<signed char>(p.a ? -128 : j);
            s.a[r][b] = static_cast<signed char>(p.a ? j : -128);
        }
    return s;
}
template <int Mode>
constexpr Shuffle8x8 kShuffle8x8 = shuffle8x8(Mode);

OPX_INLINE __m128i loadu(const Opx8u* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The upper 8 bytes of a register to unaligned memory.
OPX_INLINE void store_high64(Opx8u* p, __m128i v) {
    const long long q = _mm_extract_epi64(v, 1);
    std::memcpy(p, &q, 8);
}

OPX_INLINE void store_rows8(Opx8u* dst, std::ptrdiff_t step, __m128i r) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), r);
    store_high64(dst + step, r);
}

// Window of the line at byte b (0..16) from its halves.
template <int B>
OPX_INLINE __m128i window(__m128i lc, __m128i hi) {
    if constexpr (B == 0)
        return lc;
    else if constexpr (B == 16)
        return hi;
    else
        return _mm_alignr_epi8(hi, lc, B);
}

template <int Mode>
void pred8x8(Opx8u* dst, std::ptrdiff_t step, int avail) noexcept {
    constexpr bool uses_above = Mode != 1 && Mode != 8;
    constexpr bool uses_left = Mode != 0 && Mode != 3 && Mode != 7;
    constexpr int need = kIntraNeeds[Mode];
    const Opx8u* up = dst - step;
    bool above = uses_above && (avail & kAvailAbove);
    bool left = uses_left && (avail & kAvailLeft);
    bool corner = avail & kAvailAboveLeft;

    // Gather (clause 8.3.2.2): exactly the samples of the groups used and available.
    __m128i t = _mm_set1_epi8(static_cast<char>(128));  // p[0..15, -1]
    if (above) {
        if (avail & kAvailAboveRight)
            t = loadu(up);
        else
            t = _mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(up)),
                                 _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7));
    } else if (need & kAvailAbove) {
        above = true;
    }
    std::uint64_t l = 0x8080808080808080ull;  // p[-1, 7..0] in bytes 0..7
    if (left) {
        l = 0;
        for (int y = 0; y < 8; ++y)
            l |= static_cast<std::uint64_t>(dst[y * step - 1]) << (56 - 8 * y);
    } else if (need & kAvailLeft) {
        left = true;
    }
    int c = 128;
    if (corner)
        c = up[-1];
    else if (need & kAvailAboveLeft)
        corner = true;

    // Reference filter (clause 8.3.2.2.1): a missing neighbour of a sample is replaced by the
    // sample itself, which is what each special tap of the clause amounts to.
    const int t0 = _mm_cvtsi128_si32(t) & 255, l0 = static_cast<int>(l >> 56);
    __m128i tf = t;
    if (above) {
        const __m128i prev =
            _mm_alignr_epi8(t, _mm_set1_epi8(static_cast<char>(corner ? c : t0)), 15);
        const __m128i next = _mm_shuffle_epi8(
            t, _mm_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15));
        tf = filt3(prev, t, next);
    }
    __m128i lf = _mm_cvtsi64_si128(static_cast<long long>(l));
    if (left) {
        // Neighbours of each p[-1, y] in the column: below (p[-1, 7] its own) and above
        // (p[-1, -1], or p[-1, 0] itself without the corner).
        const __m128i below = _mm_shuffle_epi8(
            lf, _mm_setr_epi8(0, 0, 1, 2, 3, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1));
        const __m128i upper = _mm_insert_epi8(_mm_srli_si128(lf, 1), corner ? c : l0, 7);
        lf = filt3(below, lf, upper);
    }
    int cf = c;
    if (corner) cf = ((above ? t0 : c) + 2 * c + (left ? l0 : c) + 2) >> 2;

    if constexpr (Mode == 0) {
        for (int y = 0; y < 8; ++y)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * step), tf);
    } else if constexpr (Mode == 1) {
        const std::uint64_t v = static_cast<std::uint64_t>(_mm_cvtsi128_si64(lf));
        for (int y = 0; y < 8; ++y)
            store64(dst + y * step, ((v >> (56 - 8 * y)) & 255) * 0x0101010101010101ull);
    } else if constexpr (Mode == 2) {
        const __m128i z = _mm_setzero_si128();
        const int st = _mm_cvtsi128_si32(_mm_sad_epu8(_mm_unpacklo_epi64(tf, z), z));
        const int sl = _mm_cvtsi128_si32(_mm_sad_epu8(lf, z));
        std::uint64_t dc = 128;
        if (above && left)
            dc = (st + sl + 8) >> 4;
        else if (above)
            dc = (st + 4) >> 3;
        else if (left)
            dc = (sl + 4) >> 3;
        const std::uint64_t v = dc * 0x0101010101010101ull;
        for (int y = 0; y < 8; ++y) store64(dst + y * step, v);
    } else {
        // The filtered line: LC = [l7', l7'..l0', c', t0'..t5'], HI = [t6'..t15', t15' x6].
        constexpr int b = window8x8(Mode);
        const __m128i hi = _mm_shuffle_epi8(
            tf, _mm_setr_epi8(6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 15, 15, 15, 15, 15));
        __m128i w, prev, next;
        if constexpr (b == 10) {
            w = tf;
            prev = _mm_slli_si128(tf, 1);  // F[0] is not used by these modes
            next = _mm_shuffle_epi8(
                tf, _mm_setr_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15));
        } else {
            __m128i lc = _mm_or_si128(_mm_slli_si128(lf, 1), _mm_slli_si128(tf, 10));
            lc = _mm_insert_epi8(lc, _mm_cvtsi128_si32(lf) & 255, 0);
            lc = _mm_insert_epi8(lc, cf, 9);
            w = window<b>(lc, hi);
            if constexpr (b > 0)
                prev = window<b - 1>(lc, hi);
            else
                prev = _mm_slli_si128(lc, 1);  // F[0] is not used
            next = window<b + 1>(lc, hi);
        }
        const __m128i f = filt3(prev, w, next);
        const __m128i a = _mm_avg_epu8(w, next);
        constexpr const Shuffle8x8& s = kShuffle8x8<Mode>;
        for (int r = 0; r < 4; ++r) {
            __m128i v =
                _mm_shuffle_epi8(f, _mm_load_si128(reinterpret_cast<const __m128i*>(s.f[r])));
            if constexpr (Mode != 3 && Mode != 4)
                v = _mm_or_si128(
                    v,
                    _mm_shuffle_epi8(a, _mm_load_si128(reinterpret_cast<const __m128i*>(s.a[r]))));
            store_rows8(dst + 2 * r * step, step, v);
        }
    }
}

// ---- 16×16 ------------------------------------------------------------------------------------

void v16(Opx8u* dst, std::ptrdiff_t step) noexcept {
    const __m128i t = loadu(dst - step);
    for (int y = 0; y < 16; ++y) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + y * step), t);
}

void h16(Opx8u* dst, std::ptrdiff_t step) noexcept {
    for (int y = 0; y < 16; ++y)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + y * step),
                         _mm_set1_epi8(static_cast<char>(dst[y * step - 1])));
}

template <int Sides>
void dc16(Opx8u* dst, std::ptrdiff_t step) noexcept {
    int dc = 128;
    int top = 0, left = 0;
    if constexpr (Sides & 1) {
        const __m128i s = _mm_sad_epu8(loadu(dst - step), _mm_setzero_si128());
        top = _mm_cvtsi128_si32(_mm_add_epi32(s, _mm_unpackhi_epi64(s, s)));
    }
    if constexpr (Sides & 2) {
        int l0 = 0, l1 = 0;
        for (int y = 0; y < 16; y += 2) {
            l0 += dst[y * step - 1];
            l1 += dst[(y + 1) * step - 1];
        }
        left = l0 + l1;
    }
    if constexpr (Sides == 3) dc = (top + left + 16) >> 5;
    if constexpr (Sides == 1) dc = (top + 8) >> 4;
    if constexpr (Sides == 2) dc = (left + 8) >> 4;
    const __m128i v = _mm_set1_epi8(static_cast<char>(dc));
    for (int y = 0; y < 16; ++y) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + y * step), v);
}

// Horizontal gradient sum of the plane modes: sum (i + 1) (p[half + i, -1] - p[half - 2 - i, -1])
// for i < half, from the row above (p[-1, -1] included) with one multiply-add.
template <int W>
OPX_INLINE int plane_h(const Opx8u* above) {
    if constexpr (W == 16) {
        const __m128i x =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(above - 1)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(above + 8)));
        const __m128i w = _mm_setr_epi8(-8, -7, -6, -5, -4, -3, -2, -1, 1, 2, 3, 4, 5, 6, 7, 8);
        __m128i s = _mm_madd_epi16(_mm_maddubs_epi16(x, w), _mm_set1_epi16(1));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
        return _mm_cvtsi128_si32(s);
    } else {
        const __m128i x =
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(above - 1))),
                               _mm_cvtsi32_si128(static_cast<int>(load32(above + 4))));
        const __m128i w = _mm_setr_epi8(-4, -3, -2, -1, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0);
        __m128i s = _mm_madd_epi16(_mm_maddubs_epi16(x, w), _mm_set1_epi16(1));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
        return _mm_cvtsi128_si32(s);
    }
}

// Plane prediction (clauses 8.3.3.4 and 8.3.4.4; W × H = 16 × 16, 8 × 8, or 8 × 16 for 4:2:2
// with yCF = 4). The sums a + b (x - xc) + c (y - yc) + 16 stay within int16: a <= 8160, |b|,
// |c| <= 717 (gradients weighted 5) or 1355 (weighted 34), so every sum lies within
// -11472..19648 (8 × 16: -11156..19332).
template <int W, int H>
void plane(Opx8u* dst, std::ptrdiff_t step) noexcept {
    constexpr int hw = W / 2, hh = H / 2;
    const Opx8u* above = dst - step;
    const int h = plane_h<W>(above);
    int v = 0;
    for (int i = 0; i < hh; ++i)
        v += (i + 1) * (dst[(hh + i) * step - 1] - dst[(hh - 2 - i) * step - 1]);
    const int a = 16 * (dst[(H - 1) * step - 1] + above[W - 1]);
    const int b = W == 16 ? (5 * h + 32) >> 6 : (34 * h + 32) >> 6;
    const int c = H == 16 ? (5 * v + 32) >> 6 : (34 * v + 32) >> 6;
    const int base = a - (hw - 1) * b - (hh - 1) * c + 16;
    if constexpr (W == 16) {
        const __m256i ramp =
            _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        __m256i row0 =
            _mm256_add_epi16(_mm256_set1_epi16(static_cast<short>(base)),
                             _mm256_mullo_epi16(ramp, _mm256_set1_epi16(static_cast<short>(b))));
        __m256i row1 = _mm256_add_epi16(row0, _mm256_set1_epi16(static_cast<short>(c)));
        const __m256i c2 = _mm256_set1_epi16(static_cast<short>(2 * c));
        for (int y = 0; y < 16; y += 2) {
            const __m256i p = _mm256_permute4x64_epi64(
                _mm256_packus_epi16(_mm256_srai_epi16(row0, 5), _mm256_srai_epi16(row1, 5)), 0xD8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + y * step), _mm256_castsi256_si128(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (y + 1) * step),
                             _mm256_extracti128_si256(p, 1));
            row0 = _mm256_add_epi16(row0, c2);
            row1 = _mm256_add_epi16(row1, c2);
        }
    } else {
        // Rows y and y + 1 in the lanes of r01, y + 2 and y + 3 in those of r23; packed, a lane
        // holds rows y and y + 2 (low) or y + 1 and y + 3 (high).
        const __m128i row0 = _mm_add_epi16(_mm_set1_epi16(static_cast<short>(base)),
                                           _mm_mullo_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7),
                                                           _mm_set1_epi16(static_cast<short>(b))));
        __m256i r01 =
            _mm256_inserti128_si256(_mm256_castsi128_si256(row0),
                                    _mm_add_epi16(row0, _mm_set1_epi16(static_cast<short>(c))), 1);
        const __m256i c2 = _mm256_set1_epi16(static_cast<short>(2 * c));
        const __m256i c4 = _mm256_set1_epi16(static_cast<short>(4 * c));
        __m256i r23 = _mm256_add_epi16(r01, c2);
        for (int y = 0; y < H; y += 4) {
            const __m256i p =
                _mm256_packus_epi16(_mm256_srai_epi16(r01, 5), _mm256_srai_epi16(r23, 5));
            const __m128i lo = _mm256_castsi256_si128(p), hi = _mm256_extracti128_si256(p, 1);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * step), lo);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (y + 1) * step), hi);
            store_high64(dst + (y + 2) * step, lo);
            store_high64(dst + (y + 3) * step, hi);
            r01 = _mm256_add_epi16(r01, c4);
            r23 = _mm256_add_epi16(r23, c4);
        }
    }
}

// ---- chroma -------------------------------------------------------------------------------------

template <int H>
void chroma_h(Opx8u* dst, std::ptrdiff_t step) noexcept {
    for (int y = 0; y < H; ++y) store64(dst + y * step, dst[y * step - 1] * 0x0101010101010101ull);
}

template <int H>
void chroma_v(Opx8u* dst, std::ptrdiff_t step) noexcept {
    const std::uint64_t t = load64(dst - step);
    for (int y = 0; y < H; ++y) store64(dst + y * step, t);
}

// DC per 4×4 chroma block (clauses 8.3.4.1 to 8.3.4.3); Slot = upper | lower << 2 with bit 0
// above and bit 1 left per half. Blocks (0,0) and (1,1) average both sides, (1,0) prefers the
// samples above, (0,1) those on the left.
template <int Slot>
void chroma_dc(Opx8u* dst, std::ptrdiff_t step) noexcept {
    constexpr int up = Slot & 3, lo = Slot >> 2;
    int t0 = 0, t1 = 0;
    if constexpr (((up | lo) & 1) != 0) {
        // p[0..3, -1] in bytes 0..3 and p[4..7, -1] in bytes 8..11: one SAD gives both sums.
        const __m128i s = _mm_sad_epu8(
            _mm_unpacklo_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst - step)),
                               _mm_setzero_si128()),
            _mm_setzero_si128());
        t0 = _mm_cvtsi128_si32(s);
        t1 = _mm_extract_epi16(s, 4);
    }
    int l0 = 0, l1 = 0;
    if constexpr ((up & 2) != 0) l0 = sum_left4(dst, step);
    if constexpr ((lo & 2) != 0) l1 = sum_left4(dst + 4 * step, step);
    auto both = [](int s_above, int s_left, int sides) {
        return sides == 3   ? (s_above + s_left + 4) >> 3
               : sides == 1 ? (s_above + 2) >> 2
               : sides == 2 ? (s_left + 2) >> 2
                            : 128;
    };
    const int d00 = both(t0, l0, up);
    const int d10 = (up & 1) ? (t1 + 2) >> 2 : (up & 2) ? (l0 + 2) >> 2 : 128;
    const int d01 = (lo & 2) ? (l1 + 2) >> 2 : (lo & 1) ? (t0 + 2) >> 2 : 128;
    const int d11 = both(t1, l1, lo);
    const std::uint64_t upper = (d00 | static_cast<std::uint64_t>(d10) << 32) * 0x01010101u;
    const std::uint64_t lower = (d01 | static_cast<std::uint64_t>(d11) << 32) * 0x01010101u;
    for (int y = 0; y < 4; ++y) store64(dst + y * step, upper);
    for (int y = 4; y < 8; ++y) store64(dst + y * step, lower);
}

// 4:2:2 (8×16): the same rule on four rows of blocks, all summing the macroblock's neighbours;
// rows 0..7 take the upper availability, rows 8..15 the lower. Block (0, 0) averages both sides,
// (4, 0) prefers above, (0, yO > 0) prefers left, (4, yO > 0) averages both.
template <int Slot>
void chroma422_dc(Opx8u* dst, std::ptrdiff_t step) noexcept {
    constexpr int up = Slot & 3, lo = Slot >> 2;
    int t0 = 0, t1 = 0;
    if constexpr (((up | lo) & 1) != 0) {
        const __m128i s = _mm_sad_epu8(
            _mm_unpacklo_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst - step)),
                               _mm_setzero_si128()),
            _mm_setzero_si128());
        t0 = _mm_cvtsi128_si32(s);
        t1 = _mm_extract_epi16(s, 4);
    }
    for (int by = 0; by < 4; ++by) {
        const int sides = by < 2 ? up : lo;
        const bool a = sides & 1, l = sides & 2;
        const int ls = l ? sum_left4(dst + 4 * by * step, step) : 0;
        int d0, d1;
        if (by == 0) {
            d0 = a && l ? (t0 + ls + 4) >> 3 : a ? (t0 + 2) >> 2 : l ? (ls + 2) >> 2 : 128;
            d1 = a ? (t1 + 2) >> 2 : l ? (ls + 2) >> 2 : 128;
        } else {
            d0 = l ? (ls + 2) >> 2 : a ? (t0 + 2) >> 2 : 128;
            d1 = a && l ? (t1 + ls + 4) >> 3 : a ? (t1 + 2) >> 2 : l ? (ls + 2) >> 2 : 128;
        }
        const std::uint64_t row = (d0 | static_cast<std::uint64_t>(d1) << 32) * 0x01010101u;
        for (int y = 0; y < 4; ++y) store64(dst + (4 * by + y) * step, row);
    }
}

template <int... S>
constexpr IntraKernels make_table(std::integer_sequence<int, S...>) {
    return with_pred4x4_by_avail(IntraKernels{
        {v4x4, h4x4, dc4x4<3>, dir4x4<3, true>, dir4x4<4, true>, dir4x4<5, true>, dir4x4<6, true>,
         dir4x4<7, true>, dir4x4<8, true>, dir4x4<3, false>, dir4x4<7, false>, dc4x4<1>, dc4x4<2>,
         dc4x4<0>},
        {pred8x8<0>, pred8x8<1>, pred8x8<2>, pred8x8<3>, pred8x8<4>, pred8x8<5>, pred8x8<6>,
         pred8x8<7>, pred8x8<8>},
        {v16, h16, dc16<3>, plane<16, 16>, dc16<1>, dc16<2>, dc16<0>},
        {chroma_h<8>, chroma_v<8>, plane<8, 8>},
        {chroma_dc<S>...},
        {chroma_h<16>, chroma_v<16>, plane<8, 16>},
        {chroma422_dc<S>...},
        {},
    });
}

}  // namespace

extern const IntraKernels kIntra = make_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});

}  // namespace opx::h264::avx2
