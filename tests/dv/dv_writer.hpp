// Test-side DV segment writer: encodes blocks with the AC code of IEC 61834-2 and lays the block
// streams into a segment as an encoder does (own area first; overflow into the spare bits of the
// same macroblock's blocks in block order; what is left into the spare bits of the whole segment
// in segment order). It records, per block, how many of its bits found room and in which pass it
// was completed, and from that predicts what a decoder must return.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "dv/dv.hpp"

namespace opx::test::dv {

using opx::dv::AreaLayout;

// One code of a block stream: the stream length up to and including it, the scan position it
// reaches (>= 64 for a code that overflows), its signed amplitude, whether it is EOB.
struct Mark {
    int end;
    int p;
    int value;
    bool eob;
};

// A block as a decoder sees it: the header fields and the AC stream after them.
struct BlockStream {
    int dc = 0;        // -256..255
    int mode = 0;      // 0: 8-8, 1: 2-4-8
    int cls = 0;       // 0..3
    std::string bits;  // '0'/'1'
    std::vector<Mark> marks;
    int p = 0;  // scan position reached so far

    void put(std::uint32_t word, int length) {
        for (int i = length - 1; i >= 0; --i) bits.push_back(((word >> i) & 1) ? '1' : '0');
    }
    // Appends the code word of (run, value) as the table holds it (kSigned / kZeroRun rows),
    // or an escape when allowed; returns false when no single code carries it.
    bool code(int run, int value) {
        const int amp = value < 0 ? -value : value;
        for (int i = 0; i < opx::dv::kNumCodes; ++i) {
            const opx::dv::Code& c = opx::dv::kCodes[i];
            const bool sign = c.kind == opx::dv::CodeKind::kSigned;
            if (c.run != run || c.amp != amp || !(sign || c.kind == opx::dv::CodeKind::kZeroRun))
                continue;
            put(c.bits, c.length);
            if (sign) put(value < 0, 1);
            return mark(run, value);
        }
        if (amp == 0 && run < 64) {  // 1111110 + run
            put(0b1111110, 7);
            put(static_cast<std::uint32_t>(run), 6);
            return mark(run, 0);
        }
        if (run == 0 && amp < 256) {  // 1111111 + amplitude + sign
            put(0b1111111, 7);
            put(static_cast<std::uint32_t>(amp), 8);
            put(value < 0, 1);
            return mark(0, value);
        }
        return false;
    }
    // (run, value) by one code, or by (run - 1, 0) and (0, value) as an encoder does when the
    // table has no code for the pair.
    void level(int run, int value) {
        if (code(run, value)) return;
        code(run - 1, 0);
        code(0, value);
    }
    void eob() {
        put(0b0110, 4);
        marks.push_back({static_cast<int>(bits.size()), p, 0, true});
    }
    int length() const { return static_cast<int>(bits.size()); }

  private:
    bool mark(int run, int value) {
        p += run + 1;
        marks.push_back({static_cast<int>(bits.size()), p, value, false});
        return true;
    }
};

// Encodes the levels of scan positions 1..63 (-255..255) and EOB.
inline BlockStream encode_levels(const int (&levels)[64], int dc, int mode, int cls) {
    BlockStream s;
    s.dc = dc;
    s.mode = mode;
    s.cls = cls;
    int last = 0;
    for (int p = 1; p < 64; ++p) {
        if (levels[p] == 0) continue;
        s.level(p - last - 1, levels[p]);
        last = p;
    }
    s.eob();
    return s;
}

// Random levels whose stream is roughly `target_bits` long: nonzero levels at random gaps, small
// amplitudes mostly, now and then large ones (escapes) and long runs (zero-run codes).
template <class Rng>
BlockStream random_block(Rng& rng, int target_bits, int mode = -1) {
    int levels[64] = {};
    BlockStream probe;
    int p = 0;
    while (true) {
        const int r = rng.uniform(0, 99);
        const int gap = r < 60   ? 0
                        : r < 85 ? static_cast<int>(rng.uniform(1, 3))
                                 : static_cast<int>(rng.uniform(4, 30));
        if (p + gap + 1 > 63) break;
        const int q = rng.uniform(0, 99);
        int amp = q < 70   ? static_cast<int>(rng.uniform(1, 3))
                  : q < 95 ? static_cast<int>(rng.uniform(4, 22))
                           : static_cast<int>(rng.uniform(23, 255));
        if (rng.coin()) amp = -amp;
        const int before = probe.length();
        probe.level(gap, amp);
        if (before > 0 && probe.length() + 4 > target_bits) break;
        p += gap + 1;
        levels[p] = amp;
    }
    const int m = mode < 0 ? static_cast<int>(rng.uniform(0, 9) == 0) : mode;
    return encode_levels(levels, static_cast<int>(rng.uniform(-256, 255)), m,
                         static_cast<int>(rng.uniform(0, 3)));
}

// Where each block's stream went.
struct Placement {
    std::vector<int> placed;  // stream bits that found room
    std::vector<int> pass;    // 1, 2, 3: pass in which the whole stream was placed; 0: never
    int straddles = 0;        // codes split between two donors' spare bits
};

// Lays out `blocks` (5 * layout.count streams in segment order) into `seg` (400 bytes). Bits that
// no stream uses are random. QNO of macroblock m is qno[m].
template <class Rng>
Placement write_segment(const AreaLayout& layout, const std::vector<BlockStream>& blocks,
                        const int (&qno)[5], Rng& rng, std::uint8_t* seg) {
    const int n = layout.count;
    std::vector<char> bit(opx::dv::kSegmentBits);
    for (auto& b : bit) b = static_cast<char>(rng.coin());
    Placement pl;
    pl.placed.assign(5 * n, 0);
    pl.pass.assign(5 * n, 0);
    struct Span {
        int cur, end;
    };
    std::vector<char> in_donor(5 * n, 0);
    // Moves bits of block k into span s; true when the block's stream is all placed.
    auto place = [&](int k, Span& s, int pass) {
        const BlockStream& b = blocks[k];
        const int from = pl.placed[k];
        const int count = std::min(b.length() - from, s.end - s.cur);
        for (int i = 0; i < count; ++i) bit[s.cur + i] = b.bits[from + i] == '1';
        s.cur += count;
        pl.placed[k] += count;
        if (pass > 1 && count > 0) {
            // A code split between the previous donor and this one?
            bool code_ends_there = false;
            for (const Mark& m : b.marks) code_ends_there |= m.end == from;
            if (in_donor[k] && !code_ends_there) ++pl.straddles;
            in_donor[k] = 1;
        }
        if (pl.placed[k] == b.length()) {
            pl.pass[k] = pass;
            return true;
        }
        return false;
    };
    auto share = [&](std::vector<int>& inc, std::vector<Span>& don, int pass,
                     std::vector<int>* inc_out, std::vector<Span>* don_out) {
        size_t i = 0, d = 0;
        while (i < inc.size() && d < don.size()) {
            if (place(inc[i], don[d], pass)) ++i;
            if (don[d].cur == don[d].end) ++d;
        }
        if (inc_out)
            for (; i < inc.size(); ++i) inc_out->push_back(inc[i]);
        if (don_out)
            for (; d < don.size(); ++d) don_out->push_back(don[d]);
    };
    std::vector<int> seg_inc;
    std::vector<Span> seg_don;
    for (int mb = 0; mb < 5; ++mb) {
        const int base = mb * opx::dv::kMacroblockBytes * 8;
        // header: a video DIF block ID, then STA 0 and QNO
        const std::uint32_t head = (0x90u << 24) | (static_cast<std::uint32_t>(mb) << 8) |
                                   static_cast<std::uint32_t>(qno[mb] & 15);
        for (int i = 0; i < 32; ++i) bit[base + i] = (head >> (31 - i)) & 1;
        std::vector<int> inc;
        std::vector<Span> don;
        for (int a = 0; a < n; ++a) {
            const int k = mb * n + a;
            const BlockStream& b = blocks[k];
            const int start = base + layout.offset[a] * 8;
            const std::uint32_t h = (static_cast<std::uint32_t>(b.dc) & 0x1FF) << 3 |
                                    static_cast<std::uint32_t>(b.mode) << 2 |
                                    static_cast<std::uint32_t>(b.cls);
            for (int i = 0; i < 12; ++i) bit[start + i] = (h >> (11 - i)) & 1;
            Span s{start + 12, start + layout.bytes[a] * 8};
            if (place(k, s, 1)) {
                if (s.cur < s.end) don.push_back(s);
            } else {
                inc.push_back(k);
            }
        }
        share(inc, don, 2, &seg_inc, &seg_don);
    }
    share(seg_inc, seg_don, 3, nullptr, nullptr);
    for (int i = 0; i < opx::dv::kSegmentBytes; ++i) {
        std::uint8_t v = 0;
        for (int j = 0; j < 8; ++j) v = static_cast<std::uint8_t>(v << 1 | bit[8 * i + j]);
        seg[i] = v;
    }
    return pl;
}

// What a decoder must return for one block: `blk` (64 coefficients, already holding what the
// caller passed in) receives the DC and the values of the codes wholly within the first `placed`
// stream bits, up to the first that reaches `limit`; returns the information word.
inline Opx32u expect_block(const BlockStream& b, int placed, int limit, int qno, Opx16s* blk) {
    const std::uint8_t* scan = b.mode ? opx::dv::kScan248 : opx::dv::kScan88;
    blk[0] = static_cast<Opx16s>(b.dc * 128);
    int last = 0;
    Opx32u eob = 0;
    for (const Mark& m : b.marks) {
        if (m.end > placed) break;
        if (m.eob) {
            eob = 1;
            break;
        }
        if (m.p >= limit) break;
        blk[scan[m.p]] = static_cast<Opx16s>(m.value * 64);
        last = m.p;
    }
    return static_cast<Opx32u>(qno) << 16 | static_cast<Opx32u>(last) << 8 |
           static_cast<Opx32u>(b.mode << 6 | b.cls << 4) | eob;
}

}  // namespace opx::test::dv
