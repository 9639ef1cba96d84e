// CAVLC and Exp-Golomb kernels of the AVX2 build. Same syntax and results as cavlc_ref.cpp;
// the common path is made cheap:
//   - table walks look at the index bits without consuming them and then step over the code
//     alone (no read-then-give-back), loading the next stream word only when the index reaches
//     into it (never more words than the portable reader loads);
//   - level_prefix is one LZCNT on the current word when its terminating one lies there;
//   - levels with level_prefix below 16 come from the suffix-size and base tables, no branch per
//     case; suffixLength grows through a threshold table;
//   - the block is cleared with one or two 256-bit stores.
#include <immintrin.h>

#include "frame/bitstream.hpp"
#include "h264/decode/cavlc.hpp"

namespace opx::h264::avx2 {
namespace {

constexpr int kMaxLeadingZeros = 32;

// The word reading cursor of frame/bitstream.hpp with a look-ahead.
class Reader {
  public:
    Reader(const Opx32u* p, int pos) noexcept : p_(p), pos_(pos) {}
    const Opx32u* ptr() const noexcept { return p_; }
    int pos() const noexcept { return pos_; }

    // The next n bits (1..32) without consuming them. Loads the next word only when the field
    // reaches into it.
    OPX_INLINE std::uint32_t peek(int n) const noexcept {
        std::uint64_t w = std::uint64_t{p_[0]} << 32;
        if (n > pos_ + 1) w |= p_[1];
        return static_cast<std::uint32_t>((w << (31 - pos_)) >> (64 - n));
    }
    // Moves by n bits, -31..32 (negative: gives bits back).
    OPX_INLINE void skip(int n) noexcept {
        pos_ -= n;
        if (pos_ < 0) {
            pos_ += 32;
            ++p_;
        } else if (pos_ > 31) {
            pos_ -= 32;
            --p_;
        }
    }
    OPX_INLINE std::uint32_t read(int n) noexcept {
        const int q = pos_ - n;
        if (q >= 0) {
            const std::uint32_t v = static_cast<std::uint32_t>(std::uint64_t{p_[0]} >> (q + 1));
            pos_ = q;
            return v & bits::low_mask(n);
        }
        const std::uint64_t two = (std::uint64_t{p_[0]} << 32) | p_[1];
        ++p_;
        pos_ = q + 32;
        return static_cast<std::uint32_t>(two >> (q + 33)) & bits::low_mask(n);
    }
    // Zero bits before the next one, which is consumed too; -1 beyond `limit` zeros.
    OPX_INLINE int leading_zeros(int limit) noexcept {
        const std::uint32_t x = p_[0] & bits::low_mask(pos_ + 1);
        if (OPX_LIKELY(x != 0)) {
            const int top = 31 - static_cast<int>(_lzcnt_u32(x));
            const int n = pos_ - top;
            pos_ = top - 1;
            if (pos_ < 0) {
                pos_ = 31;
                ++p_;
            }
            return n;  // at most 31, within any limit used here
        }
        bits::WordReader r(p_, pos_);
        const int n = r.leading_zeros(limit);
        p_ = r.ptr();
        pos_ = r.pos();
        return n;
    }

  private:
    const Opx32u* p_;
    int pos_;
};

// VLC table walk with the invalid-code rules of bits::vlc_walk. On failure the reader stands
// where the walk stopped (index bits consumed, surplus not given back).
OPX_INLINE bool walk(Reader& r, const Opx32s* table, std::int32_t& value) noexcept {
    const std::int32_t w = table[0];
    if (OPX_UNLIKELY(static_cast<std::uint32_t>(w - 1) > 31u)) return false;
    std::int32_t e = table[1 + r.peek(w)];
    if (OPX_LIKELY(!(e & 0x80))) {
        const int surplus = e & 0xFF;
        value = e >> 8;
        if (OPX_UNLIKELY(value == bits::kVlcInvalid || surplus > 31)) {
            r.skip(w);
            return false;
        }
        r.skip(w - surplus);
        return true;
    }
    r.skip(w);
    while (e & 0x80) {
        const std::int32_t s = e >> 8;
        if (s <= 0) return false;
        const std::int32_t w2 = table[s];
        if (static_cast<std::uint32_t>(w2 - 1) > 31u) return false;
        e = table[s + 1 + r.read(w2)];
    }
    const int surplus = e & 0xFF;
    value = e >> 8;
    if (value == bits::kVlcInvalid || surplus > 31) return false;
    r.skip(-surplus);
    return true;
}

template <CavlcShape S>
constexpr int kBlockLength = S == CavlcShape::kDc2x2   ? 4
                             : S == CavlcShape::kDc2x4 ? 8
                                                       : 16;

template <class T, int N>
OPX_INLINE void clear(T* out) noexcept {
    constexpr int kBytes = N * static_cast<int>(sizeof(T));
    if constexpr (kBytes == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_setzero_si128());
    } else if constexpr (kBytes == 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_setzero_si128());
    } else {
        for (int i = 0; i < kBytes; i += 32)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(reinterpret_cast<char*>(out) + i),
                                _mm256_setzero_si256());
    }
}

void write_back(const CavlcBlock& b, const Reader& r) noexcept {
    *b.stream = const_cast<Opx32u*>(r.ptr());
    *b.offset = r.pos();
}

bool remap(int cls, int m, int& tc, int& t1) noexcept {
    const int k = kCoeffTokenOrder.rank[cls][tc][t1];
    if (k < 0) return false;
    const int max_t1 = m < 3 ? m : 3;
    int seen = 0;
    for (const TokenPair& p : kCoeffTokenOrder.order[cls]) {
        if (p.total_coeff > m || p.trailing_ones > max_t1) continue;
        if (seen++ == k) {
            tc = p.total_coeff;
            t1 = p.trailing_ones;
            return true;
        }
    }
    return false;
}

// One level with level_prefix >= 16 or in the 32-bit outputs' escape range (clause 9.2.2.1).
template <class T>
__attribute__((noinline)) std::int32_t escape_level(Reader& r, int level_prefix, int suffix_length,
                                                    bool first) noexcept {
    std::int64_t code = std::int64_t{15} << suffix_length;
    code += r.read(level_prefix - 3);
    if (suffix_length == 0) code += 15;
    if (level_prefix >= 16) code += (std::int64_t{1} << (level_prefix - 3)) - 4096;
    if (first) code += 2;
    if (sizeof(T) == 2) code &= 0xFFFF;
    return static_cast<std::int32_t>((code & 1) ? -((code + 1) >> 1) : (code + 2) >> 1);
}

template <class T, CavlcShape S>
OpxResult residual(const CavlcBlock& b, T** dst) noexcept {
    constexpr bool kFourByFour = S == CavlcShape::k4x4 || S == CavlcShape::kRange;
    Reader r(*b.stream, *b.offset);

    int tc, t1;
    if (kFourByFour && b.nc >= 8) {
        const std::uint32_t v = r.read(6);
        tc = v == 3 ? 0 : static_cast<int>(v >> 2) + 1;
        t1 = v == 3 ? 0 : static_cast<int>(v & 3);
    } else {
        const Opx32s* table = b.coeff_token[kFourByFour ? coeff_token_class(b.nc) : 0];
        if (OPX_UNLIKELY(!table)) return opxErrNullPtr;
        std::int32_t payload;
        if (OPX_UNLIKELY(!walk(r, table, payload))) return opxErrH264VlcCode;
        tc = (payload >> 8) & 0xFF;
        t1 = payload & 0xFF;
    }
    if (OPX_UNLIKELY(t1 > 3 || t1 > tc)) return opxErrH264VlcCode;
    const int capacity = b.end - b.start + 1;
    if (S == CavlcShape::kRange && capacity < 16 &&
        !remap(b.nc >= 8 ? 2 : coeff_token_class(b.nc), capacity, tc, t1))
        return opxErrH264VlcCode;
    if (OPX_UNLIKELY(tc > capacity)) return opxErrH264VlcCode;

    *b.num_coeff = static_cast<Opx16s>(tc);
    if (tc == 0) {
        write_back(b, r);
        return opxOk;
    }
    T* out = *dst;

    // Levels in decoding order. The trailing ones: bit set means -1.
    std::int32_t level[16];
    if (t1 > 0) {
        const std::uint32_t signs = r.read(t1) << (32 - t1);  // first sign in bit 31
        for (int i = 0; i < t1; ++i)
            level[i] = 1 - 2 * static_cast<std::int32_t>((signs >> (31 - i)) & 1);
    }
    clear<T, kBlockLength<S>>(out);

    int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        const int level_prefix = r.leading_zeros(kMaxLeadingZeros);
        if (OPX_UNLIKELY(level_prefix < 0)) return opxErrH264VlcCode;
        const bool first = i == t1 && t1 < 3;
        std::int32_t v;
        if (OPX_LIKELY(level_prefix < 15)) {
            const int size = kLevelSuffixSize[suffix_length][level_prefix];
            const std::uint32_t s = size ? r.read(size) : static_cast<std::uint32_t>(level_prefix);
            const std::int32_t mag = kLevelBase[suffix_length][level_prefix] +
                                     static_cast<std::int32_t>(s >> 1) + (first ? 1 : 0);
            v = (s & 1) ? -mag : mag;
        } else {
            v = escape_level<T>(r, level_prefix, suffix_length, first);
        }
        level[i] = v;
        const std::int32_t mag = v < 0 ? -v : v;
        if (suffix_length == 0) suffix_length = 1;
        if (suffix_length < 6 && mag > kLevelThreshold[suffix_length]) ++suffix_length;
    }

    int total_zeros = 0;
    if (tc < capacity) {
        int index = tc;
        if (S == CavlcShape::kRange && capacity < 15) {
            const int m = capacity;
            index = m < 5 ? tc - m + 4 : m <= 8 ? tc - m + 8 : tc - m + 16;
            const int top = m < 5 ? 3 : m <= 8 ? 7 : 15;
            if (index > top) index = top;
        }
        const Opx32s* table = b.total_zeros[index];
        if (OPX_UNLIKELY(!table)) {
            write_back(b, r);
            return opxErrNullPtr;
        }
        std::int32_t v;
        const bool ok = walk(r, table, v);
        if (OPX_UNLIKELY(!ok || v < 0 || v > capacity - tc)) {
            if (S == CavlcShape::kRange) write_back(b, r);
            return opxErrH264VlcCode;
        }
        total_zeros = v;
    }

    // Placement from the highest scan position down: pos = start + zerosLeft + left - 1.
    int zeros_left = total_zeros;
    int pos = b.start + total_zeros + tc - 1;
    int i = 0;
    for (; i < tc - 1 && zeros_left > 0; ++i) {
        const Opx32s* table = b.run_before[zeros_left];
        if (OPX_UNLIKELY(!table)) {
            write_back(b, r);
            return opxErrNullPtr;
        }
        std::int32_t run;
        if (OPX_UNLIKELY(!walk(r, table, run) || run < 0)) {
            if (S == CavlcShape::kRange) write_back(b, r);
            return opxErrH264VlcCode;
        }
        if (kFourByFour) {
            out[b.scan[pos] & 15] = static_cast<T>(level[i]);
        } else if (S == CavlcShape::kDc2x2) {
            out[pos] = static_cast<T>(level[i]);
        } else {
            out[kChroma422DcRaster[pos]] = static_cast<T>(level[i]);
        }
        if (run > zeros_left) run = zeros_left;
        zeros_left -= run;
        pos -= run + 1;
    }
    // No zeros left (or the last coefficient): the rest are consecutive, the last one taking
    // whatever zeros remain below it.
    for (; i < tc; ++i) {
        if (i == tc - 1) pos = b.start + zeros_left;
        if (kFourByFour) {
            out[b.scan[pos] & 15] = static_cast<T>(level[i]);
        } else if (S == CavlcShape::kDc2x2) {
            out[pos] = static_cast<T>(level[i]);
        } else {
            out[kChroma422DcRaster[pos]] = static_cast<T>(level[i]);
        }
        --pos;
    }

    *dst = out + kBlockLength<S>;
    write_back(b, r);
    return opxOk;
}

OpxResult dc2x2_shortcut(const CavlcBlock& b, Opx16s** dst) noexcept {
    Reader r(*b.stream, *b.offset);
    const std::uint32_t v = r.peek(5);
    if (v & 0x10) {
        if (!dst || !*dst) return opxErrNullPtr;
        // total_zeros of TotalCoeff 1 from b2..b0: 1xx -> 0, 01x -> 1, 001 -> 2, 000 -> 3.
        const int total_zeros = (v & 4) ? 0 : (v & 2) ? 1 : (v & 1) ? 2 : 3;
        const int used = (v & 4) ? 3 : (v & 2) ? 4 : 5;
        Opx16s* out = *dst;
        clear<Opx16s, 4>(out);
        out[total_zeros] = (v & 8) ? -1 : 1;
        *b.num_coeff = 1;
        *dst = out + 4;
        r.skip(used);
        write_back(b, r);
        return opxOk;
    }
    if (v & 8) {
        *b.num_coeff = 0;
        r.skip(2);
        write_back(b, r);
        return opxOk;
    }
    if (!dst || !*dst || !b.coeff_token[0] || !b.total_zeros || !b.run_before) return opxErrNullPtr;
    return residual<Opx16s, CavlcShape::kDc2x2>(b, dst);
}

template <class T>
OpxResult exp_golomb(Opx32u** stream, Opx32s* offset, T* dst, bool is_signed) noexcept {
    Reader r(*stream, *offset);
    const int zeros = r.leading_zeros(kMaxLeadingZeros);
    if (zeros < 0) return opxErrH264VlcCode;
    constexpr int kMaxZeros = sizeof(T) == 2 ? 16 : 31;
    std::int64_t value = 0;
    if (zeros > 0) {
        const std::uint32_t suffix = r.read(zeros);
        if (zeros <= kMaxZeros) {
            const std::int64_t k = (std::int64_t{1} << zeros) + suffix;  // codeNum + 1
            value = !is_signed ? k - 1 : (k & 1) ? -(k >> 1) : k >> 1;
        }
    }
    *dst = static_cast<T>(value);
    *stream = const_cast<Opx32u*>(r.ptr());
    *offset = r.pos();
    return opxOk;
}

}  // namespace

extern const CavlcKernels kCavlc = {
    residual<Opx16s, CavlcShape::k4x4>,
    residual<Opx32s, CavlcShape::k4x4>,
    residual<Opx16s, CavlcShape::kRange>,
    dc2x2_shortcut,
    residual<Opx32s, CavlcShape::kDc2x2>,
    residual<Opx16s, CavlcShape::kDc2x4>,
    residual<Opx32s, CavlcShape::kDc2x4>,
    exp_golomb<Opx16s>,
    exp_golomb<Opx32s>,
};

}  // namespace opx::h264::avx2
