// AVX2-build DV kernels. Segments: code words recognised with look-ups (the next 11 bits for the
// short codes, sign included; else the next 9 bits, then for the 1111 prefixes the 9 bits after
// them) instead of the portable row search.
// Quantisers: 16 lanes of 16-bit multiplies per instruction, four vectors per block.
#include <immintrin.h>

#include "dv/dv.hpp"
#include "dv/segment_impl.hpp"

namespace opx::dv::avx2 {
namespace {

// Sequential reader: the stream bits from the current position on, left-aligned in a 64-bit
// word, at least 16 of them valid; a code costs a shift of the word, so that the next code's
// look-up waits only for that shift. Refilled with 8 bytes at a time, byte by byte (zeros past
// the segment) within the segment's last 8 bytes: nothing outside the segment is read.
struct WordReader {
    const Opx8u* seg;
    std::uint64_t buf;
    int valid;  // bits of buf that are stream bits
    int pos;    // segment position of buf's bit 63
    WordReader(const Opx8u* s, int p) noexcept : seg(s), buf(0), valid(0), pos(p) {}
    OPX_INLINE void fill() noexcept {
        const int byte = pos >> 3;
        std::uint64_t v;
        if (OPX_LIKELY(byte <= kSegmentBytes - 8)) {
            __builtin_memcpy(&v, seg + byte, 8);
            v = __builtin_bswap64(v);
        } else {
            v = 0;
            for (int i = 0; i < 8; ++i)
                v = (v << 8) | (byte + i < kSegmentBytes ? seg[byte + i] : 0u);
        }
        buf = v << (pos & 7);
        valid = 64 - (pos & 7);
    }
    OPX_INLINE std::uint32_t peek16() noexcept {
        if (OPX_UNLIKELY(valid < 16)) fill();
        return static_cast<std::uint32_t>(buf >> 48);
    }
    OPX_INLINE void skip(int bits) noexcept {
        buf <<= bits;
        valid -= bits;
        pos += bits;
    }
};

struct LookupCodes {
    using Reader = WordReader;
    // The stream is read through a 64-bit word cached from bit position `base` on: a code then
    // costs a shift of a register rather than a load, which shortens the chain from one code's
    // length to the next code's look-up. The word is reloaded when fewer than 16 of its bits lie
    // ahead (at most the segment's last 8 bytes: nothing outside it is read).
    std::uint64_t cache = 0;
    int base = -4096;

    OPX_INLINE std::uint32_t peek16(const Opx8u* seg, int pos) noexcept {
        unsigned off = static_cast<unsigned>(pos - base);
        if (OPX_UNLIKELY(off > 48)) {
            int byte = pos >> 3;
            if (byte > kSegmentBytes - 8) byte = kSegmentBytes - 8;
            std::uint64_t v;
            __builtin_memcpy(&v, seg + byte, 8);
            cache = __builtin_bswap64(v);
            base = byte * 8;
            off = static_cast<unsigned>(pos - base);
            if (off > 48) return peek16_bytes(seg, pos);  // within 2 bytes of the segment's end
        }
        return static_cast<std::uint32_t>((cache << off) >> 48);
    }
    // (run, 0) codes and the resolved run escape carry amplitude 0: their "sign" (the last bit
    // of the code) negates nothing, so they share the signed codes' path without a branch.
    // The codes that end within 11 bits (nearly all of a stream's) take one look-up with the
    // sign applied; the rest go through the two 9-bit look-ups.
    static OPX_INLINE Decoded decode(std::uint32_t w) noexcept {
        const Short s = kShort[w >> (16 - kShortBits)];
        if (OPX_LIKELY(s.bits != 0)) return {s.bits, s.run, s.value, s.run == 255};
        Lookup e = kFirst[w >> 7];
        if (OPX_UNLIKELY(e.bits == 0)) e = kLong[(w >> 3) & 511];
        if (OPX_UNLIKELY(e.kind == CodeKind::kAmpEscape)) {  // 1111111 aaaaaaaa s
            const int amp = static_cast<int>((w >> 1) & 255);
            return {16, 0, (w & 1) ? -amp : amp, false};
        }
        if (OPX_UNLIKELY(e.kind == CodeKind::kEob)) return {e.bits, 0, 0, true};
        const bool negative = (w >> (16 - e.bits)) & 1;
        return {e.bits, e.run, negative ? -int{e.amp} : int{e.amp}, false};
    }
};

void segment(const Opx8u* seg, const AreaLayout& layout, int limit, bool redistribute,
             Opx16s* blocks, Opx32u* info) noexcept {
    decode_segment<LookupCodes>(seg, layout, limit, redistribute, blocks, info);
}

OPX_INLINE __m256i load(const void* p) noexcept {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
OPX_INLINE void store(void* p, __m256i v) noexcept {
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// vpmulhw is the arithmetic upper half; vpsllw keeps the low 16 bits, as the rule does.
void quant_inv(Opx16s* c, const Opx16s* d) noexcept {
    for (int i = 0; i < 64; i += 16)
        store(c + i, _mm256_slli_epi16(_mm256_mulhi_epi16(load(c + i), load(d + i)), 2));
}

// vpsraw is the floor shift of the rule; vpmullw's low 16 bits do not depend on the signedness
// of q.
void quant_weight(Opx16s* c, const Opx16u* q, const Opx16s* w) noexcept {
    for (int i = 0; i < 64; i += 16) {
        const __m256i t = _mm256_mullo_epi16(_mm256_srai_epi16(load(c + i), 3), load(q + i));
        store(c + i, _mm256_mulhi_epi16(t, load(w + i)));
    }
}

// The 32-bit products t * w are rebuilt from vpmullw/vpmulhw halves (unpacking and packing both
// work within 128-bit lanes, so the order comes back), shifted, and packed with saturation.
// Coefficient 0 is blended in from c >> 5 in the register (a scalar store over the vector one
// would stall the next load of the block).
void quant_weight100(Opx16s* c, const Opx16s* w, Opx16u scale) noexcept {
    const __m256i s = _mm256_set1_epi16(static_cast<short>(scale));
    const __m256i first = _mm256_setr_epi16(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (int i = 0; i < 64; i += 16) {
        const __m256i cv = load(c + i);
        const __m256i t = _mm256_mullo_epi16(_mm256_srai_epi16(cv, 6), s);
        const __m256i wv = load(w + i);
        const __m256i lo = _mm256_mullo_epi16(t, wv);
        const __m256i hi = _mm256_mulhi_epi16(t, wv);
        const __m256i p0 = _mm256_srai_epi32(_mm256_unpacklo_epi16(lo, hi), 5);
        const __m256i p1 = _mm256_srai_epi32(_mm256_unpackhi_epi16(lo, hi), 5);
        __m256i f = _mm256_packs_epi32(p0, p1);
        if (i == 0) f = _mm256_blendv_epi8(f, _mm256_srai_epi16(cv, 5), first);
        store(c + i, f);
    }
}

}  // namespace

const DvKernels kDv = {&segment, &quant_inv, &quant_weight, &quant_weight100};

}  // namespace opx::dv::avx2
