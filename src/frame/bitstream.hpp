// Bit-stream cursors shared by every variable-length decoder and encoder of the library.
//
// The library keeps no stream state: a cursor is built from the caller's pointer and position,
// used for one call, and written back (by the caller of these helpers) when the function's rules
// say so. Three conventions exist:
//
//   WordReader  Opx32u words, earliest bit in bit 31; position 31..0 is the bit number of the next
//               unread bit in the current word. Reads touch the next word only when a field
//               reaches into it (also when it ends exactly at bit 0 of the current word, so the
//               word after the last bit read must be readable).
//   ByteReader  bytes in transmission order; offset 0..7 counts the bits of the current byte
//   ByteWriter  already consumed or written. Reads fetch four bytes from the current one.
//   WordWriter  Opx32u words filled from bit 31; position 32..1 is the number of free bits.
//
// No shift count ever reaches the width of its operand: 32-bit fields go through 64-bit values.
#pragma once

#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::bits {

// Lowest n bits set, n in 0..32.
OPX_INLINE constexpr std::uint32_t low_mask(int n) noexcept {
    return static_cast<std::uint32_t>((std::uint64_t{1} << n) - 1);
}

class WordReader {
public:
    WordReader(const Opx32u* p, int pos) noexcept : p_(p), pos_(pos) {}

    const Opx32u* ptr() const noexcept { return p_; }
    int pos() const noexcept { return pos_; }

    // Reads an n-bit field, 1 <= n <= 32, most significant bit first.
    OPX_INLINE std::uint32_t read(int n) noexcept {
        const int q = pos_ - n;
        if (q >= 0) {
            const std::uint32_t v = static_cast<std::uint32_t>(std::uint64_t{p_[0]} >> (q + 1));
            pos_ = q;
            return v & low_mask(n);
        }
        // The field spans two words; q + 33 is in 1..32.
        const std::uint64_t two = (std::uint64_t{p_[0]} << 32) | p_[1];
        ++p_;
        pos_ = q + 32;
        return static_cast<std::uint32_t>(two >> (q + 33)) & low_mask(n);
    }

    OPX_INLINE std::uint32_t bit() noexcept {
        const std::uint32_t v = (p_[0] >> pos_) & 1u;
        if (--pos_ < 0) {
            pos_ = 31;
            ++p_;
        }
        return v;
    }

    // Gives back k bits, 0 <= k <= 31.
    OPX_INLINE void unread(int k) noexcept {
        pos_ += k;
        if (pos_ > 31) {
            pos_ -= 32;
            --p_;
        }
    }

    // Counts leading zero bits and consumes them together with the terminating one bit. Returns
    // the count, or -1 when more than `limit` zeros stand in a row (the cursor is then left
    // somewhere inside the run; callers restore it).
    OPX_INLINE int leading_zeros(int limit) noexcept {
        int n = 0;
        for (;;) {
            // Bits left in the current word, from the cursor down to bit 0.
            const std::uint32_t w = p_[0] & low_mask(pos_ + 1);
            if (w != 0) {
                const int top = 31 - __builtin_clz(w);  // position of the first one bit
                n += pos_ - top;
                if (n > limit) return -1;
                pos_ = top - 1;
                if (pos_ < 0) {
                    pos_ = 31;
                    ++p_;
                }
                return n;
            }
            n += pos_ + 1;
            if (n > limit) return -1;
            pos_ = 31;
            ++p_;
        }
    }

private:
    const Opx32u* p_;
    int pos_;
};

// VLC lookup-table walk. Entry 0 of `table` is the root index width; an entry's low byte is its
// code byte (bit 7: link), its upper 24 bits (arithmetic shift) the payload. Returns false for an
// invalid code: payload 0xF0F1, an index width outside 1..32, a link to index <= 0 or a surplus
// count not below the width of the last index read (giving back more bits than that index took
// would move the cursor before the code, even before the stream). The reader is then left where
// the walk stopped; callers restore it.
inline constexpr std::int32_t kVlcInvalid = 0xF0F1;

template <class Reader>
OPX_INLINE bool vlc_walk(Reader& r, const Opx32s* table, std::int32_t& value) noexcept {
    std::int32_t w = table[0];
    if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
    std::int32_t e = table[1 + r.read(w)];
    while (e & 0x80) {
        const std::int32_t s = e >> 8;
        if (s <= 0) return false;
        w = table[s];
        if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
        e = table[s + 1 + r.read(w)];
    }
    const int surplus = e & 0xFF;
    value = e >> 8;
    if (value == kVlcInvalid || surplus >= w) return false;
    r.unread(surplus);
    return true;
}

class ByteReader {
public:
    ByteReader(const Opx8u* p, int off) noexcept : p_(p), off_(off) {}

    const Opx8u* ptr() const noexcept { return p_; }
    int offset() const noexcept { return off_; }

    // The 32 bits from the current byte onward, first byte most significant.
    OPX_INLINE std::uint32_t fetch32() const noexcept {
        return (std::uint32_t{p_[0]} << 24) | (std::uint32_t{p_[1]} << 16) |
               (std::uint32_t{p_[2]} << 8) | std::uint32_t{p_[3]};
    }

    // The next n bits without consuming them, 1 <= n <= 25.
    OPX_INLINE std::uint32_t peek(int n) const noexcept {
        return static_cast<std::uint32_t>(fetch32() << off_) >> (32 - n);
    }

    OPX_INLINE void skip(int n) noexcept {
        const int t = off_ + n;
        p_ += t >> 3;
        off_ = t & 7;
    }

    // Reads an n-bit field, 1 <= n <= 32.
    OPX_INLINE std::uint32_t read(int n) noexcept {
        if (n <= 25) {
            const std::uint32_t v = peek(n);
            skip(n);
            return v;
        }
        const std::uint32_t hi = peek(n - 16);
        skip(n - 16);
        const std::uint32_t lo = peek(16);
        skip(16);
        return (hi << 16) | lo;
    }

private:
    const Opx8u* p_;
    int off_;
};

class ByteWriter {
public:
    ByteWriter(Opx8u* p, int off) noexcept : p_(p), off_(off) {}

    Opx8u* ptr() const noexcept { return p_; }
    int offset() const noexcept { return off_; }

    // Writes the low n bits of `code`, 1 <= n <= 32. The current byte keeps its top `offset`
    // bits; every later byte the code reaches is assigned, so the bits after the code inside the
    // last byte written are zero, and the byte after that is not touched.
    OPX_INLINE void write(std::uint32_t code, int n) noexcept {
        // Left-aligned in a 64-bit value so that the offset shift loses nothing.
        const std::uint64_t v = (std::uint64_t{code} & low_mask(n)) << (64 - n);
        const std::uint64_t s = v >> off_;
        const int o = off_;
        const int total = o + n;
        const std::uint8_t keep = o ? static_cast<std::uint8_t>(p_[0] & ~(0xFFu >> o)) : 0;
        p_[0] = static_cast<std::uint8_t>(keep | static_cast<std::uint8_t>(s >> 56));
        for (int i = 1; i * 8 < total; ++i) p_[i] = static_cast<std::uint8_t>(s >> (56 - 8 * i));
        p_ += total >> 3;
        off_ = total & 7;
    }

private:
    Opx8u* p_;
    int off_;
};

class WordWriter {
public:
    WordWriter(Opx32u* p, int free_bits) noexcept : p_(p), free_(free_bits) {}

    Opx32u* ptr() const noexcept { return p_; }
    int free_bits() const noexcept { return free_; }

    // Writes the low n bits of `code`, 1 <= n <= 32. Free bits of the current word are filled by
    // OR (they must be zero); a word that the code spills into is assigned.
    OPX_INLINE void write(std::uint32_t code, int n) noexcept {
        const int r = free_ - n;
        if (r > 0) {
            p_[0] |= (code & low_mask(n)) << r;
            free_ = r;
        } else if (r == 0) {
            p_[0] |= code & low_mask(n);
            ++p_;
            free_ = 32;
        } else {
            p_[0] |= (code >> -r) & low_mask(free_);
            ++p_;
            p_[0] = static_cast<std::uint32_t>((std::uint64_t{code} & low_mask(-r)) << (32 + r));
            free_ = 32 + r;
        }
    }

private:
    Opx32u* p_;
    int free_;
};

}  // namespace opx::bits
