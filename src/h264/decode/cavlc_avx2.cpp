// CAVLC and Exp-Golomb kernels of the AVX2 build (compiled with BMI2/LZCNT: level_prefix and the
// Exp-Golomb prefix are one BZHI and one LZCNT when their terminating one lies in the current
// word). Same syntax and results as cavlc_ref.cpp, which the tests hold them against. Differences
// from the portable kernels, measured on the "mix" bench stream and by instruction counts on
// whole streams:
//   - the cursor counts the bits left in the current word, and a table code's index is peeked and
//     consumed net of its surplus in one position update (no read-then-give-back, no branch on a
//     zero surplus);
//   - a code that one root entry resolves, with a value in its range, is one lookup and one
//     check; links, invalid markers and values out of range walk the caller's table as before
//     (the tables are the caller's, so no derived table can stand in for them);
//   - a level with level_prefix 0..13 and its one in the current word is decoded from one peek
//     in 32-bit arithmetic (no escape terms, no 16-bit wrap); the sign is a select and
//     suffixLength steps through two small tables; the other levels go out of line, so that the
//     loop keeps its registers;
//   - the trailing ones are one 16-byte copy from an 8-row sign table;
//   - each run_before table is checked once per zerosLeft (no pointer and width loads on the
//     chain of runs of 0); the total_zeros table is loaded after the levels (loading it before
//     them, off the chain of bit positions, kept two more values live across the level loop:
//     more instructions for no time gained);
//   - after the last run_before (zerosLeft 0 or one coefficient left) the remaining levels are
//     placed without a per-coefficient test;
//   - the exported 4x4 forms jump to a kernel that takes their own arguments;
//   - an Exp-Golomb code inside the current word is one LZCNT and one BZHI with no registers
//     saved; the rest go out of line.
// Measured and not kept: an explicit 256-bit (or 128-bit) block clear, table-driven level
// magnitudes and branch-free look-ahead table walks (slower: the walk is a chain of dependent
// loads, and the branches on the bit position predict well enough); 64-bit BZHI in the peek and a
// single sign test for the lookup's two checks (both more instructions, the register allocation
// worsening); the nC class as (nC >= 2) + (nC >= 4) instead of a select (fewer instructions on
// residual-heavy streams, more on the others).
#include <immintrin.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/bitstream.hpp"
#include "h264/decode/cavlc.hpp"

namespace opx::h264::avx2 {
namespace {

constexpr int kMaxLeadingZeros = 32;

// The word cursor of bits::WordReader (same words read, same position written back), held as the
// number of unread bits of the current word, 1..32 (position + 1): a field's shift is then
// `left - n`, and a table code's index is peeked and consumed net of its surplus in one position
// update. The next word is read exactly when bits::WordReader would read it: when a field reaches
// into it or ends at bit 0 of the current word (n >= left).
class Reader {
  public:
    Reader(const Opx32u* p, int pos) noexcept : p_(p), left_(pos + 1) {}

    const Opx32u* ptr() const noexcept { return p_; }
    int pos() const noexcept { return left_ - 1; }
    std::uint32_t word() const noexcept { return p_[0]; }
    int left() const noexcept { return left_; }
    // Consumes everything up to the n bits (0..32) that are followed by q more bits of the current
    // word `word` (p_[0]), and returns those n bits: take_in_word for 1 <= q <= 31, take_across
    // for -n <= q <= 0, the field then ending at bit 0 of the word or in the next one, which is
    // read (as bits::WordReader reads it).
    OPX_INLINE std::uint32_t take_in_word(std::uint32_t word, int q, int n) noexcept {
        left_ = q;
        return _bzhi_u32(word >> q, static_cast<unsigned>(n));
    }
    OPX_INLINE std::uint32_t take_across(std::uint32_t word, int q, int n) noexcept {
        const std::uint64_t two = (std::uint64_t{word} << 32) | p_[1];
        ++p_;
        left_ = q + 32;
        return _bzhi_u32(static_cast<std::uint32_t>(two >> left_), static_cast<unsigned>(n));
    }

    // The next n bits, 0 <= n <= 32 (0 gives 0 and reads only the current word).
    OPX_INLINE std::uint32_t peek(int n) const noexcept {
        const int q = left_ - n;
        // (q reaches 32 for n = 0 at the start of a word: a 64-bit shift)
        if (q > 0)
            return _bzhi_u32(static_cast<std::uint32_t>(std::uint64_t{p_[0]} >> q),
                             static_cast<unsigned>(n));
        const std::uint64_t two = (std::uint64_t{p_[0]} << 32) | p_[1];
        return _bzhi_u32(static_cast<std::uint32_t>(two >> (q + 32)), static_cast<unsigned>(n));
    }

    // Moves on by 0 <= n <= 32 bits.
    OPX_INLINE void skip(int n) noexcept {
        left_ -= n;
        if (left_ <= 0) {
            left_ += 32;
            ++p_;
        }
    }

    OPX_INLINE std::uint32_t read(int n) noexcept {
        const std::uint32_t v = peek(n);
        skip(n);
        return v;
    }

    // bits::WordReader::leading_zeros: the count of zeros before a one bit, both consumed, or -1
    // past `limit` zeros (the cursor then stands inside the run).
    OPX_INLINE int leading_zeros(int limit) noexcept {
        int n = 0;
        for (;;) {
            const std::uint32_t w = _bzhi_u32(p_[0], static_cast<unsigned>(left_));
            if (OPX_LIKELY(w != 0)) {
                const int lz = __builtin_clz(w);
                n += lz + left_ - 32;
                if (n > limit) return -1;
                left_ = 31 - lz;
                if (left_ == 0) {
                    left_ = 32;
                    ++p_;
                }
                return n;
            }
            n += left_;
            if (n > limit) return -1;
            left_ = 32;
            ++p_;
        }
    }

  private:
    const Opx32u* p_;
    int left_;
};

// VLC table walk with the invalid-code rules of bits::vlc_walk. On failure the reader stands
// where the walk stopped (index bits consumed, surplus not given back). The last index is only
// peeked, then consumed less its surplus. `w` is the root index width, table[0], which callers
// may load ahead, off the chain of bit positions.
OPX_INLINE bool walk(Reader& r, const Opx32s* table, std::int32_t w, std::int32_t& value) noexcept {
    if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
    std::int32_t e = (table + 1)[r.peek(w)];
    while (e & 0x80) {
        r.skip(w);
        const std::int32_t s = e >> 8;
        if (s <= 0) return false;
        w = table[s];
        if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
        e = (table + s + 1)[r.peek(w)];
    }
    const int surplus = e & 0xFF;
    value = e >> 8;
    if (OPX_UNLIKELY(value == bits::kVlcInvalid || surplus >= w)) {  // see bits::vlc_walk
        r.skip(w);
        return false;
    }
    r.skip(w - surplus);
    return true;
}

OPX_INLINE bool walk(Reader& r, const Opx32s* table, std::int32_t& value) noexcept {
    return walk(r, table, table[0], value);
}

// The common case of walk() in one lookup: a final root entry whose surplus is below the width
// and whose value lies in 0..max (which leaves out the invalid-code marker, links and negative
// values). Anything else returns false with nothing consumed, and the caller walks the table.
// `w` must be a valid width (1..32).
OPX_INLINE bool lookup(Reader& r, const Opx32s* table, std::int32_t w, std::int32_t max,
                       std::int32_t& value) noexcept {
    const std::int32_t e = (table + 1)[r.peek(w)];
    const std::int32_t used = w - (e & 0xFF);
    value = e >> 8;
    if (OPX_UNLIKELY(used <= 0 ||
                     static_cast<std::uint32_t>(value) > static_cast<std::uint32_t>(max)))
        return false;
    r.skip(used);
    return true;
}

OPX_INLINE bool valid_width(std::int32_t w) noexcept {
    return static_cast<std::uint32_t>(w - 1) <= 31u;
}

// kLevelThreshold with a last entry that no magnitude exceeds: suffixLength stops at 6.
constexpr std::int64_t kThreshold[7] = {3, 3, 6, 12, 24, 48, INT64_MAX};
// The same indexed by suffixLength before its step from 0 to 1 (kThreshold[0] serves both) and
// compared with levelCode / 2 = magnitude - 1: suffixLength grows once more when levelCode / 2
// reaches kGrowAt[suffixLength].
// The trailing ones by their sign bits (first in bit 2), and a fourth entry that the levels
// overwrite or that goes unused, so that the row is one 16-byte copy.
constexpr std::int32_t kTrailingOnes[8][4] = {{1, 1, 1, 0},   {1, 1, -1, 0},  {1, -1, 1, 0},
                                              {1, -1, -1, 0}, {-1, 1, 1, 0},  {-1, 1, -1, 0},
                                              {-1, -1, 1, 0}, {-1, -1, -1, 0}};
constexpr int kGrowAt[7] = {3, 3, 6, 12, 24, 48, INT32_MAX};
// suffixLength after a level that does not reach kGrowAt: 0 becomes 1, the others stay.
constexpr int kGrowFrom[7] = {1, 1, 2, 3, 4, 5, 6};

void write_back(const CavlcBlock& b, const Reader& r) noexcept {
    *b.stream = const_cast<Opx32u*>(r.ptr());
    *b.offset = r.pos();
}

// Stores a level at scan position pos.
template <class T, CavlcShape S>
OPX_INLINE void place(const Opx32s* scan, T* out, std::ptrdiff_t pos, std::int32_t level) noexcept {
    if (S == CavlcShape::k4x4 || S == CavlcShape::kRange) {
        out[scan[pos] & 15] = static_cast<T>(level);
    } else if (S == CavlcShape::kDc2x2) {
        out[pos] = static_cast<T>(level);
    } else {
        out[kChroma422DcRaster[pos]] = static_cast<T>(level);
    }
}

// The reader after one level, and the level; p null for a level_prefix of more than 32 zeros.
struct LevelStep {
    const Opx32u* p;
    int left;
    std::int32_t level;
};

// One level the common path of residual() leaves (clause 9.2.2.1 in full: level_prefix 14 and up,
// a prefix that reaches the next word). Out of line, so that the level loop keeps its registers.
// The magnitude, (levelCode + 2) / 2, is below 2^30 and so is that of the level returned.
template <class T>
__attribute__((noinline)) LevelStep level_general(Reader r, int suffix_length,
                                                  int first_bump) noexcept {
    const int level_prefix = r.leading_zeros(kMaxLeadingZeros);
    if (OPX_UNLIKELY(level_prefix < 0)) return {nullptr, 0, 0};
    std::int64_t level_code = (level_prefix < 15 ? level_prefix : 15) << suffix_length;
    int suffix_size = suffix_length;
    if (level_prefix == 14 && suffix_length == 0) suffix_size = 4;
    if (level_prefix >= 15) suffix_size = level_prefix - 3;
    level_code += r.read(suffix_size) + first_bump;  // a read of 0 bits gives 0
    if (level_prefix >= 15 && suffix_length == 0) level_code += 15;
    if (level_prefix >= 16) level_code += (std::int64_t{1} << (level_prefix - 3)) - 4096;
    if (sizeof(T) == 2) level_code &= 0xFFFF;
    // Even levelCode: (levelCode + 2) / 2; odd: -(levelCode + 1) / 2, the same magnitude.
    const std::int64_t mag = (level_code + 2) >> 1;
    const std::int64_t neg = -(level_code & 1);
    return {r.ptr(), r.left(), static_cast<std::int32_t>((mag ^ neg) - neg)};
}

template <class T, CavlcShape S>
OPX_INLINE OpxResult residual(const CavlcBlock& b, T** dst) noexcept {
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
        // Payloads up to TotalCoeff 16 with TrailingOnes 3 in one lookup.
        std::int32_t payload;
        const std::int32_t width = table[0];
        if (OPX_UNLIKELY(!valid_width(width) || !lookup(r, table, width, 16 * 256 + 3, payload)) &&
            !walk(r, table, width, payload))
            return opxErrH264VlcCode;
        tc = (payload >> 8) & 0xFF;
        t1 = payload & 0xFF;
    }
    if (OPX_UNLIKELY(t1 > 3 || t1 > tc)) return opxErrH264VlcCode;
    const int capacity = b.end - b.start + 1;
    if (S == CavlcShape::kRange && capacity < 16 &&
        !remap_coeff_token(b.nc >= 8 ? 2 : coeff_token_class(b.nc), capacity, tc, t1))
        return opxErrH264VlcCode;
    if (OPX_UNLIKELY(tc > capacity)) return opxErrH264VlcCode;

    *b.num_coeff = static_cast<Opx16s>(tc);
    if (tc == 0) {
        write_back(b, r);
        return opxOk;
    }
    T* out = *dst;
    const Opx32s* const scan = b.scan;

    // Levels in decoding order. The trailing ones, bit set meaning -1, fill level[0..2] whatever
    // their number (those beyond t1 are overwritten or unused), so that no branch follows t1.
    std::int32_t level[16];
    const std::uint32_t signs = r.read(t1) << (3 - t1);  // first sign in bit 2
    std::memcpy(level, kTrailingOnes[signs], sizeof kTrailingOnes[0]);
    for (int i = 0; i < kCavlcBlockLength<S>; ++i) out[i] = 0;

    int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
    int first_bump = t1 < 3 ? 2 : 0;  // levelCode of the first level after fewer than 3 ones
    for (int i = t1; i < tc; ++i) {
        // Common case, taken without consuming anything first: level_prefix 0..13 with its one
        // in the current word. levelCode is then below 13 * 64 + 64 + 2, so neither the escape
        // terms nor the 16-bit wrap apply. An all-zero word gives lzcnt 32 and goes the general
        // way.
        {
            const std::uint32_t word = r.word();
            const int left = r.left();
            const int lz =
                static_cast<int>(_lzcnt_u32(_bzhi_u32(word, static_cast<unsigned>(left))));
            const int level_prefix = lz + left - 32;
            if (OPX_LIKELY(((13 - level_prefix) | (31 - lz)) >= 0)) {
                const int q = 31 - lz - suffix_length;  // bits left after the suffix, -6..31
                const int suffix =
                    static_cast<int>(OPX_LIKELY(q > 0) ? r.take_in_word(word, q, suffix_length)
                                                       : r.take_across(word, q, suffix_length));
                const int level_code = (level_prefix << suffix_length) + suffix + first_bump;
                first_bump = 0;
                // Even levelCode: (levelCode + 2) / 2; odd: -(levelCode + 1) / 2. With
                // h = levelCode / 2, that is h + 1 or ~h.
                const int h = level_code >> 1;
                level[i] = (level_code & 1) ? ~h : h + 1;
                suffix_length = kGrowFrom[suffix_length] + (h >= kGrowAt[suffix_length]);
                continue;
            }
        }
        const LevelStep step = level_general<T>(r, suffix_length, first_bump);
        if (OPX_UNLIKELY(!step.p)) return opxErrH264VlcCode;
        r = Reader(step.p, step.left - 1);
        first_bump = 0;
        level[i] = step.level;
        const std::int64_t mag = step.level < 0 ? -std::int64_t{step.level} : step.level;
        suffix_length += suffix_length == 0;
        suffix_length += mag > kThreshold[suffix_length];
    }

    int total_zeros = 0;
    if (tc < capacity) {
        const Opx32s* tz_table = b.total_zeros[total_zeros_index<S>(tc, capacity)];
        if (OPX_UNLIKELY(!tz_table)) {
            write_back(b, r);
            return opxErrNullPtr;
        }
        const std::int32_t tz_width = tz_table[0];
        std::int32_t v;
        if (OPX_UNLIKELY(!valid_width(tz_width) ||
                         !lookup(r, tz_table, tz_width, capacity - tc, v))) {
            const bool ok = walk(r, tz_table, tz_width, v);
            if (OPX_UNLIKELY(!ok || v < 0 || v > capacity - tc)) {
                if (S == CavlcShape::kRange) write_back(b, r);
                return opxErrH264VlcCode;
            }
        }
        total_zeros = v;
    }

    // Placement from the highest scan position down: pos = start + zerosLeft + left - 1. A run
    // of 0 keeps zerosLeft and so the table, which then need not be loaded again before the next
    // walk (the commonest run in real streams).
    int zeros_left = total_zeros;
    std::ptrdiff_t pos = b.start + total_zeros + tc - 1;
    int i = 0;
    if (tc > 1 && zeros_left > 0) {
        const Opx32s* const* run_tables = b.run_before;
        // One pass of the outer loop per zerosLeft: its table is checked (null, root width)
        // before its first walk, where the portable kernel finds a fault, and then serves the
        // runs of 0 that follow.
        for (;;) {
            const Opx32s* table = run_tables[zeros_left];
            if (OPX_UNLIKELY(!table)) {
                write_back(b, r);
                return opxErrNullPtr;
            }
            const std::int32_t width = table[0];
            if (OPX_UNLIKELY(!valid_width(width))) {
                if (S == CavlcShape::kRange) write_back(b, r);
                return opxErrH264VlcCode;
            }
            std::int32_t run;
            do {
                if (OPX_UNLIKELY(!lookup(r, table, width, zeros_left, run))) {
                    if (!walk(r, table, width, run) || run < 0) {
                        if (S == CavlcShape::kRange) write_back(b, r);
                        return opxErrH264VlcCode;
                    }
                    if (run > zeros_left) run = zeros_left;
                }
                place<T, S>(scan, out, pos, level[i]);
                ++i;
                pos -= run + 1;
                if (i == tc - 1) goto placed_runs;
            } while (run == 0);
            zeros_left -= run;
            if (zeros_left == 0) break;
        }
    }
placed_runs:
    // No zeros left (or the last coefficient): the rest are consecutive, the last one at
    // start + zerosLeft.
    for (; i < tc; ++i, --pos) place<T, S>(scan, out, pos, level[i]);

    *dst = out + kCavlcBlockLength<S>;
    write_back(b, r);
    return opxOk;
}

// The table's block kernels: one out-of-line copy of residual() each.
template <class T, CavlcShape S>
__attribute__((noinline)) OpxResult block(const CavlcBlock& b, T** dst) noexcept {
    return residual<T, S>(b, dst);
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
        for (int i = 0; i < 4; ++i) out[i] = 0;
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
    return block<Opx16s, CavlcShape::kDc2x2>(b, dst);  // out of line: the shortcuts save nothing
}

// Exp-Golomb codes the fast path of exp_golomb() leaves: a prefix or suffix that reaches the
// next word, and the invalid code. Out of line, so that the fast path saves no registers.
template <class T>
__attribute__((noinline)) OpxResult exp_golomb_general(Opx32u** stream, Opx32s* offset, T* dst,
                                                       bool is_signed) noexcept {
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

// Common case: the whole code (zeros, the one, as many suffix bits) inside the current word with
// at least one bit left after it. Its last 1 + zeros bits are codeNum + 1, and zeros is at most
// 15, so neither the 16-bit limit nor the 32-bit one applies. An all-zero word gives lzcnt 32 and
// a negative `after`.
template <class T>
OpxResult exp_golomb(Opx32u** stream, Opx32s* offset, T* dst, bool is_signed) noexcept {
    const Opx32u* p = *stream;
    const std::uint32_t word = p[0];
    const int left = *offset + 1;
    const int lz = static_cast<int>(_lzcnt_u32(_bzhi_u32(word, static_cast<unsigned>(left))));
    const int zeros = lz + left - 32;
    const int after = 31 - lz - zeros;
    if (OPX_UNLIKELY(after <= 0)) return exp_golomb_general(stream, offset, dst, is_signed);
    const std::int32_t k =
        static_cast<std::int32_t>(_bzhi_u32(word >> after, static_cast<unsigned>(zeros + 1)));
    const std::int32_t h = k >> 1, s = -(k & 1);
    *dst = static_cast<T>(!is_signed ? k - 1 : (h ^ s) - s);
    *stream = const_cast<Opx32u*>(p);
    *offset = after - 1;
    return opxOk;
}

}  // namespace

extern const CavlcKernels kCavlc = {
    block<Opx16s, CavlcShape::k4x4>,
    block<Opx32s, CavlcShape::k4x4>,
    block<Opx16s, CavlcShape::kRange>,
    dc2x2_shortcut,
    block<Opx32s, CavlcShape::kDc2x2>,
    block<Opx16s, CavlcShape::kDc2x4>,
    block<Opx32s, CavlcShape::kDc2x4>,
    exp_golomb<Opx16s>,
    exp_golomb<Opx32s>,
    luma_entry<Opx16s, residual<Opx16s, CavlcShape::k4x4>>,
    luma_entry<Opx32s, residual<Opx32s, CavlcShape::k4x4>>,
};

}  // namespace opx::h264::avx2
