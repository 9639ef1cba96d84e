// MPEG-4 / H.263 / H.261 coefficient decoding: event readers for every code table, the common
// event loop, the backward reversible decoder and the DC readers. Portable code only: each event
// is one peek of 12, 13 or 15 bits and one table load, which leaves nothing for vectors.
//
// Contract: the cursor's byte pointer is valid and its offset lies in 0..7. Forward readers fetch
// up to three bytes past the last byte holding a consumed bit; the backward reader touches only
// bytes holding bits it reads.
#pragma once

#include <cstdint>

#include "frame/bitstream.hpp"
#include "mpeg4/vlc_tables.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

// One run/level/last event; LEVEL signed.
struct Event {
    int last, run, level;
};

// Event reader results.
enum ReadResult { kRead, kEnd, kIllegal };

// Table B-16 (intra) or B-17 (inter) with the three escape modes.
ReadResult read_mpeg4(bits::ByteReader& r, bool intra, Event& ev) noexcept;
// Table B-23 forward, intra or inter column.
ReadResult read_rvlc(bits::ByteReader& r, bool intra, Event& ev) noexcept;
// H.263 Table 16 (adv false) or Table I.2 (adv true) with the 22-bit escape (and Annex T's
// extended level when mod_quant).
ReadResult read_h263(bits::ByteReader& r, bool adv, bool mod_quant, Event& ev) noexcept;
// H.261 Table 5 with EOB (kEnd) and the 20-bit escape.
ReadResult read_h261(bits::ByteReader& r, Event& ev) noexcept;

// Outcome of the event loop: `ok`, the position reached (the MPEG-4 last index, above 63 when a
// run overflowed) and the position of the last coefficient written (the H.263/H.261 last index).
struct LoopResult {
    bool ok;
    int reached;
    int written;
};

// Decodes events from position `start` (the position before the first coefficient) until LAST
// (or EOB), storing each level through store(position, level).
template <class Read, class Store>
OPX_INLINE LoopResult event_loop(bits::ByteReader& r, int start, Read&& read,
                                 Store&& store) noexcept {
    int i = start, written = start;
    for (;;) {
        Event ev;
        const ReadResult rr = read(r, ev);
        if (rr == kIllegal) return {false, i, written};
        if (rr == kEnd) return {true, i, written};
        i += ev.run + 1;
        if (i > 63) return {false, i, written};
        store(i, ev.level);
        written = i;
        if (ev.last) return {true, i, i};
    }
}

// Backward reversible decoding of one block (Table B-23). `pos` is the absolute bit index, from
// the most significant bit of *base, of the final bit of the block (the sign bit of its LAST
// code); `start` is −1, or 0 with coefficient 0 kept. On success the coefficients are stored at
// their scan positions (1..63 cleared elsewhere, 0 too unless start is 0), *last_index receives
// the last position and *pos the bit index of the preceding block's final bit. On an illegal
// code the block holds what was decoded so far, *last_index the position reached, *pos unchanged.
bool decode_rvlc_backward(const Opx8u* base, std::int64_t* pos, bool intra, int start, Opx16s* c,
                          Opx32s* last_index) noexcept;

// MPEG-4 dct_dc_size and differential (Tables B-13/B-14); false for an illegal code.
bool read_dc_mpeg4(bits::ByteReader& r, bool chroma, Opx16s* diff) noexcept;

}  // namespace opx::mpeg4
