// The one loop body of the four MPEG-1/2 block decoders (H.262 clauses 7.2 and 7.4, ISO/IEC
// 11172-2 clause 2.4.4), codec and intra as template parameters. Included by block_ref.cpp and
// block_avx2.cpp; everything has internal linkage, so each translation unit keeps its own build.
//
// Cursor on return: after the EOB code on success. On opxErrH264VlcCode it stands before a code
// that is invalid (the table walk finds no code, or a dct_dc_size table gives a size outside
// 0..11) and after a code that is valid but cannot be placed (EOB as the first code of a
// non-intra block, a scan position beyond 63); the coefficients placed so far stay, the DC
// predictor keeps its update and *dst_size is not written.
//
// Dequantisation takes its products in 64 bits: |2L + sign L| <= 65537, |W| <= 32768 and
// |qscale| < 2^31 give less than 2^63, so every caller value is exact and conforming streams get
// the standard's values.
#pragma once

#include <cstring>

#ifdef __AVX2__
#include <immintrin.h>
#endif

#include "frame/bitstream.hpp"
#include "mpeg2/block.hpp"

namespace opx::mpeg2 {
namespace {

// The word reading cursor with a look-ahead window: `win` holds the 64 bits from the next unread
// bit on, of which the first pos + 33 are stream bits (the current word from the cursor down, and
// the next word; zeros follow). Loading the next word is within the cursor rule: every
// look-ahead reads at least the bit under the cursor, so the word after it must be readable.
// Table codes are looked up in the window and consumed net of their surplus bits in one step;
// the window is shifted along, so that only a step into the next word loads one.
struct Cursor {
    const Opx32u* p;
    int pos;
    std::uint64_t win;

    Cursor(const Opx32u* words, int position) noexcept
        : p(words), pos(position), win(((std::uint64_t{p[0]} << 32) | p[1]) << (31 - pos)) {}

    // Consumes n bits, 0 <= n <= 32. A branch, not arithmetic: predicted, it keeps the load of
    // the next word off the chain from one code to the next (branch-free: about 15% slower).
    OPX_INLINE void skip(int n) noexcept {
        win <<= n;
        pos -= n;
        if (pos < 0) {
            pos += 32;
            ++p;
            win |= std::uint64_t{p[1]} << (31 - pos);
        }
    }
    // skip(n), the window shifted by `shift` modulo 64: any count with the low six bits of n,
    // which may be at hand a step sooner than n itself.
    OPX_INLINE void skip_by(int n, std::uint32_t shift) noexcept {
        win <<= shift & 63u;
        pos -= n;
        if (pos < 0) {
            pos += 32;
            ++p;
            win |= std::uint64_t{p[1]} << (31 - pos);
        }
    }
    // The next n bits, 1 <= n <= 32.
    OPX_INLINE std::uint32_t read(int n) noexcept {
        const std::uint32_t v = static_cast<std::uint32_t>(win >> (64 - n));
        skip(n);
        return v;
    }
};

// The VLC lookup-table walk of frame/bitstream.hpp on the window. Invalid codes (and malformed
// entries: widths outside 1..32, links to index <= 0, a surplus not below the last width) give
// false and leave the cursor where it was (the walk moves a copy until it succeeds).
OPX_INLINE bool walk(Cursor& cursor, const Opx32s* table, std::int32_t& value) noexcept {
    std::int32_t w = table[0];
    if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
    Cursor c = cursor;
    std::uint64_t win = c.win;
    std::int32_t e = table[1 + (win >> (64 - w))];
    int used = w;
    while (e & 0x80) {
        const std::int32_t s = e >> 8;
        if (s <= 0) return false;
        w = table[s];
        if (static_cast<std::uint32_t>(w - 1) > 31u) return false;
        if (used + w > 32) {  // beyond the stream bits the window is sure to hold
            c.skip(used);
            win = c.win;
            used = 0;
        }
        e = table[s + 1 + ((win << used) >> (64 - w))];
        used += w;
    }
    const int surplus = e & 0xFF;
    value = e >> 8;
    if (value == opx::bits::kVlcInvalid || surplus >= w) return false;
    // used - e has the low eight bits of used - surplus (e holds the surplus in its low byte):
    // the window shifts by it without waiting for the surplus to be taken out of e.
    // (unsigned: a caller's table may hold any entry, and the signed difference could overflow)
    c.skip_by(used - surplus, static_cast<std::uint32_t>(used) - static_cast<std::uint32_t>(e));
    cursor = c;
    return true;
}

OPX_INLINE std::int64_t sign_of(std::int64_t v) noexcept {
    return (v > 0) - (v < 0);
}

// Reconstructed value of level L with weight × quantiser scale `wq`.
template <int C, bool Intra>
OPX_INLINE Opx16s dequantise(std::int32_t level, std::int64_t wq) noexcept {
    const std::int64_t l = level;
    const std::int64_t k = Intra ? 2 * l : 2 * l + sign_of(l);
    std::int64_t f;
    if constexpr (C == kMpeg1) {
        f = k * wq / 16;
        if ((f & 1) == 0) f -= sign_of(f);  // oddification, before the clamp (0 stays 0)
    } else {
        f = k * wq / 32;
    }
    if (f > 2047) f = 2047;
    if (f < -2048) f = -2048;
    return static_cast<Opx16s>(f);
}

// The escape's fixed-length fields. MPEG-2: 6-bit run, 12-bit two's complement level. MPEG-1:
// 6-bit run, 8-bit level; 0 and -128 announce 8 more bits, the level being those bits, resp.
// those bits - 256.
template <int C>
OPX_INLINE void escape(Cursor& r, std::int32_t& run, std::int32_t& level) noexcept {
    if constexpr (C == kMpeg2) {
        const std::uint32_t v = r.read(18);
        run = static_cast<std::int32_t>(v >> 12);
        level = static_cast<std::int32_t>((v & 0xFFF) ^ 0x800) - 0x800;
    } else {
        const std::uint32_t v = r.read(14);
        run = static_cast<std::int32_t>(v >> 8);
        level = static_cast<std::int32_t>((v & 0xFF) ^ 0x80) - 0x80;
        if (level == 0)
            level = static_cast<std::int32_t>(r.read(8));
        else if (level == -128)
            level = static_cast<std::int32_t>(r.read(8)) - 256;
    }
}

// The flat weights of an MPEG-2 non-intra block without a weight table.
constexpr Opx16s kFlatWeights[64] = {16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                     16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                     16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                     16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

template <int C, bool Intra>
OpxResult decode_block(const BlockArgs& a) noexcept {
    constexpr std::uint8_t kEob = 254, kEscape = 255;
    Opx16s* const dst = a.dst;
#ifdef __AVX2__
    // Four stores: a fixed-size memset of unknown alignment becomes `rep stos` here, whose
    // start-up costs more than the stores.
    for (int j = 0; j < 4; ++j)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 16 * j), _mm256_setzero_si256());
#else
    std::memset(dst, 0, 64 * sizeof(Opx16s));
#endif
    Cursor r(*a.stream, *a.offset);
    auto leave = [&](const Cursor& at) {
        *a.stream = const_cast<Opx32u*>(at.p);
        *a.offset = at.pos;
    };
    const std::int64_t qscale = a.qscale;
    const Opx32s* const scan = a.scan;
    const Opx16s* const weights = (C == kMpeg2 && !Intra && !a.weights) ? kFlatWeights : a.weights;

    // Places a run/level pair; false when the position passes 63. `odd` follows bit 0 of the sum
    // of the block for mismatch control (a caller scan may place twice at one index).
    int i;
    [[maybe_unused]] std::uint32_t odd = 0;
    auto place = [&](std::int32_t run, std::int32_t level) {
        i += run + 1;
        if (i > 63) return false;
        const int k = scan[i] & 63;  // caller scans may hold anything
        const Opx16s f = dequantise<C, Intra>(level, std::int64_t{weights[k]} * qscale);
        if constexpr (C == kMpeg2) odd ^= static_cast<std::uint32_t>(dst[k] ^ f);
        dst[k] = f;
        return true;
    };

    if constexpr (Intra) {
        // dct_dc_size, then dct_dc_differential (H.262 clause 7.2.1).
        std::int32_t size;
        const Cursor at = r;
        if (!walk(r, a.dc_table, size) || size < 0 || size > 11) {
            leave(at);
            return opxErrH264VlcCode;
        }
        std::int32_t diff = 0;
        if (size > 0) {
            const std::int32_t v = static_cast<std::int32_t>(r.read(size));
            diff = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
        }
        if constexpr (C == kMpeg1) {
            // The predictor holds 8 × DC: the coefficient itself.
            const Opx16s dc = static_cast<Opx16s>(*a.dc_pred + 8 * diff);
            *a.dc_pred = dc;
            dst[0] = dc;
        } else {
            const Opx16s pred = static_cast<Opx16s>(*a.dc_pred + diff);
            *a.dc_pred = pred;
            dst[0] = static_cast<Opx16s>(pred * (1 << a.dc_shift));
            odd = static_cast<std::uint32_t>(dst[0]);  // the DC counts for mismatch control
        }
        i = 0;
    } else {
        // The first coefficient: "1s" is run 0, level ±1 (H.262 table B-14 note); otherwise
        // the first table.
        i = -1;
        std::int32_t run, level;
        const std::uint64_t win = r.win;
        if (win >> 63) {
            r.skip(2);
            run = 0;
            level = ((win >> 62) & 1) ? -1 : 1;
        } else {
            std::int32_t v;
            if (!walk(r, a.first_table, v)) {
                leave(r);
                return opxErrH264VlcCode;
            }
            run = v & 0xFF;
            level = v >> 8;
            if (run == kEob) {
                leave(r);
                return opxErrH264VlcCode;
            }
            if (run == kEscape) escape<C>(r, run, level);
        }
        if (!place(run, level)) {
            leave(r);
            return opxErrH264VlcCode;
        }
    }

    for (;;) {
        std::int32_t v;
        if (OPX_UNLIKELY(!walk(r, a.table, v))) {
            leave(r);
            return opxErrH264VlcCode;
        }
        std::int32_t run = v & 0xFF;
        std::int32_t level = v >> 8;
        if (OPX_UNLIKELY(run >= kEob)) {
            if (run == kEob) break;
            escape<C>(r, run, level);
        }
        if (OPX_UNLIKELY(!place(run, level))) {
            leave(r);
            return opxErrH264VlcCode;
        }
    }

    if constexpr (C == kMpeg2) {
        // Mismatch control (H.262 clause 7.4.4) after saturation, the intra DC included.
        if ((odd & 1) == 0) dst[63] = static_cast<Opx16s>(dst[63] ^ 1);
    }
    *a.dst_size = (C == kMpeg2 && !Intra && i == 0) ? 1 : i;
    leave(r);
    return opxOk;
}

}  // namespace
}  // namespace opx::mpeg2
