// The passes of DV segment decoding, shared by the portable and the AVX2-build kernels; they
// differ only in how stream bits are fetched (`Codes::peek16`) and one code word is recognised
// (`Codes::decode`). Everything here lives in an
// unnamed namespace: each translation unit compiles its own copy for its own instruction set.
//
// IEC 61834-2 arrangement of a video segment:
//   pass 1  every block is decoded within its own area; a block that meets EOB (or fills its last
//           scan position) leaves the rest of its area as spare bits, one that runs out of bits is
//           incomplete and keeps its undecoded tail bits (at most 15) for later;
//   pass 2  per macroblock, its incomplete blocks in block order continue in its blocks' spare
//           bits in block order; a code may straddle two donors;
//   pass 3  the incomplete blocks left by all macroblocks continue, in segment order, in the spare
//           bits all macroblocks left, in segment order.
// Bits are addressed by their position in the segment (bit 7 of byte 0 is position 0); nothing
// outside the 400 bytes is read.
#pragma once

#include "dv/dv.hpp"
#include "frame/dispatch.hpp"

namespace opx::dv {
namespace {

// One decoded code word: its bits in all (sign and escape fields included), the run, the signed
// amplitude, and whether it is EOB.
struct Decoded {
    int bits;
    int run;
    int value;
    bool eob;
};

// The 16 stream bits from position `pos` on (bit 15 first); positions past the segment read as 0.
// Three byte loads: the portable reader.
inline std::uint32_t peek16_bytes(const Opx8u* seg, int pos) noexcept {
    const int byte = pos >> 3;
    std::uint32_t w;
    if (OPX_LIKELY(byte + 3 <= kSegmentBytes)) {
        w = (std::uint32_t{seg[byte]} << 16) | (std::uint32_t{seg[byte + 1]} << 8) | seg[byte + 2];
    } else {
        w = 0;
        for (int i = 0; i < 3; ++i) w = (w << 8) | (byte + i < kSegmentBytes ? seg[byte + i] : 0u);
    }
    return (w >> (8 - (pos & 7))) & 0xFFFF;
}

// The portable sequential reader: the 16 bits at a position, the position moved on.
struct ByteReader {
    const Opx8u* seg;
    int pos;
    ByteReader(const Opx8u* s, int p) noexcept : seg(s), pos(p) {}
    std::uint32_t peek16() const noexcept { return peek16_bytes(seg, pos); }
    void skip(int bits) noexcept { pos += bits; }
};

// A run of segment bits [cur, end) that a block reads from: its own area, or a donor's spare bits.
struct Span {
    int cur;
    int end;
};

// Decoding state of one block.
struct BlockState {
    Opx16s* out;
    const std::uint8_t* scan;
    std::uint32_t carry;  // undecoded tail bits of an incomplete block, right-aligned
    int carry_n;          // 0..15
    int p;                // scan position of the last coefficient written
    bool done;
    bool eob;
};

// The next 16 bits of the block's stream: its carried tail bits, then the span's bits.
template <class Codes>
OPX_INLINE std::uint32_t window(Codes& codes, const Opx8u* seg, const BlockState& b,
                                const Span& s) noexcept {
    const std::uint32_t w = codes.peek16(seg, s.cur);
    if (b.carry_n == 0) return w;
    return ((b.carry << 16 | w) >> b.carry_n) & 0xFFFF;
}

inline void consume(BlockState& b, Span& s, int bits) noexcept {
    if (bits >= b.carry_n) {
        s.cur += bits - b.carry_n;
        b.carry = 0;
        b.carry_n = 0;
    } else {
        b.carry_n -= bits;
        b.carry &= (1u << b.carry_n) - 1;
    }
}

// Decodes codes of block `b` from its carried bits and span `s` until the block ends (true; s.cur
// is then the first bit after its last code) or the bits run out (false; the tail bits that hold
// no whole code are carried, s.cur = s.end). A code that would carry the scan position to `limit`
// or beyond ends the block without being stored; EOB ends it with `eob` set.
template <class Codes>
bool run_block(const Opx8u* seg, BlockState& b, Span& s, int limit) noexcept {
    Codes codes;  // the reader's state (a cached stream word, if it keeps one)
    // Codes that begin in the carried bits go through window(); once the carry is used up (at
    // once in the first pass) the loop below reads the span alone.
    while (b.carry_n > 0) {
        const int avail = b.carry_n + (s.end - s.cur);
        const std::uint32_t w = window(codes, seg, b, s);
        const Decoded d = Codes::decode(w);
        if (d.bits > avail) {
            // Every 16-bit string begins with a code word, so avail < d.bits <= 16 here.
            b.carry = w >> (16 - avail);
            b.carry_n = avail;
            s.cur = s.end;
            return false;
        }
        consume(b, s, d.bits);
        if (d.eob) {
            b.done = b.eob = true;
            return true;
        }
        const int p = b.p + d.run + 1;
        if (p >= limit) {
            b.done = true;
            return true;
        }
        b.p = p;
        // |value| <= 255: the product fits 16 bits.
        b.out[b.scan[p]] = static_cast<Opx16s>(d.value * 64);
    }
    // The span alone, its state in locals (the stores to the block do not make the compiler
    // reload them), written back on the way out.
    int cur = s.cur, p = b.p;
    const int end = s.end;
    Opx16s* const out = b.out;
    const std::uint8_t* const scan = b.scan;
    typename Codes::Reader rd(seg, cur);
    for (;;) {
        const std::uint32_t w = rd.peek16();
        const Decoded d = Codes::decode(w);
        const int avail = end - cur;
        if (d.bits > avail) {
            b.carry = avail > 0 ? w >> (16 - avail) : 0;
            b.carry_n = avail > 0 ? avail : 0;
            b.p = p;
            s.cur = end;
            return false;
        }
        cur += d.bits;
        rd.skip(d.bits);
        if (d.eob) {
            b.done = b.eob = true;
            break;
        }
        const int np = p + d.run + 1;
        if (np >= limit) {
            b.done = true;
            break;
        }
        p = np;
        out[scan[p]] = static_cast<Opx16s>(d.value * 64);
    }
    b.p = p;
    s.cur = cur;
    return true;
}

// Continues the blocks `inc[0..n_inc)` in order with the spare spans `don[0..n_don)` in order.
// On return *first_inc is the first block still incomplete and *first_don the first span with
// bits left (n_inc / n_don when none).
template <class Codes>
void share(const Opx8u* seg, BlockState* st, const int* inc, int n_inc, Span* don, int n_don,
           int* first_inc, int* first_don) noexcept {
    int i = 0, d = 0;
    while (i < n_inc && d < n_don) {
        if (run_block<Codes>(seg, st[inc[i]], don[d], 64)) ++i;
        if (don[d].cur == don[d].end) ++d;
    }
    *first_inc = i;
    *first_don = d;
}

template <class Codes>
void decode_segment(const Opx8u* seg, const AreaLayout& layout, int limit, bool redistribute,
                    Opx16s* blocks, Opx32u* info) noexcept {
    constexpr int kMaxBlocks = kMacroblocks * kMaxAreas;
    BlockState st[kMaxBlocks];
    int seg_inc[kMaxBlocks], n_seg_inc = 0;
    Span seg_don[kMaxBlocks];
    int n_seg_don = 0;
    const int n = layout.count;

    for (int mb = 0; mb < kMacroblocks; ++mb) {
        const Opx8u* m = seg + mb * kMacroblockBytes;
        const Opx32u qno = m[3] & 0xF;
        int inc[kMaxAreas], n_inc = 0;
        Span don[kMaxAreas];
        int n_don = 0;
        for (int a = 0; a < n; ++a) {
            const int k = mb * n + a;
            const int off = layout.offset[a];
            const std::uint32_t head = (std::uint32_t{m[off]} << 8) | m[off + 1];
            BlockState& b = st[k];
            b = BlockState{
                blocks + 64 * k, (head & 0x40) ? kScan248 : kScan88, 0, 0, 0, false, false};
            // DC: 9-bit two's complement in bits 15..7, i.e. DC x 128.
            b.out[0] = static_cast<Opx16s>(static_cast<std::int32_t>(head & 0xFF80) -
                                           ((head & 0x8000) ? 0x10000 : 0));
            info[k] = (qno << 16) | (head & 0x70);
            const int start = (mb * kMacroblockBytes + off) * 8;
            Span s{start + kHeaderBits, start + layout.bytes[a] * 8};
            if (run_block<Codes>(seg, b, s, limit)) {
                if (s.cur < s.end) don[n_don++] = s;
            } else {
                inc[n_inc++] = k;
            }
        }
        if (!redistribute) continue;
        int i = 0, d = 0;
        share<Codes>(seg, st, inc, n_inc, don, n_don, &i, &d);
        for (; i < n_inc; ++i) seg_inc[n_seg_inc++] = inc[i];
        for (; d < n_don; ++d) seg_don[n_seg_don++] = don[d];
    }
    if (redistribute) {
        int i = 0, d = 0;
        share<Codes>(seg, st, seg_inc, n_seg_inc, seg_don, n_seg_don, &i, &d);
    }
    for (int k = 0; k < kMacroblocks * n; ++k)
        info[k] |= (static_cast<Opx32u>(st[k].p) << 8) | (st[k].eob ? 1u : 0u);
}

}  // namespace
}  // namespace opx::dv
