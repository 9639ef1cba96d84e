// Event readers, the backward reversible decoder and the MPEG-4 DC reader.
#include "mpeg4/vlc_decode.hpp"

namespace opx::mpeg4 {
namespace {

using bits::ByteReader;

OPX_INLINE int sign_extend(std::uint32_t v, int bits) noexcept {
    const std::uint32_t m = 1u << (bits - 1);
    return static_cast<int>((v ^ m) - m);
}

// A regular code of a 12-bit table and its sign bit; false for an escape or illegal pattern.
OPX_INLINE bool regular12(ByteReader& r, const std::array<DecEntry, 4096>& t, Event& ev) noexcept {
    const DecEntry e = t[r.peek(12)];
    if (e == 0 || e == kDecEscape) return false;
    r.skip(dec_len(e));
    const int s = static_cast<int>(r.read(1));
    ev = {dec_last(e), dec_run(e), s ? -dec_level(e) : dec_level(e)};
    return true;
}

}  // namespace

// ISO/IEC 14496-2 clause 7.4.1.3: escape 0000011 then 0 (mode 1: level + LMAX), 10 (mode 2:
// run + RMAX + 1) or 11 (mode 3: fixed-length LAST, RUN, LEVEL with two marker bits).
ReadResult read_mpeg4(ByteReader& r, bool intra, Event& ev) noexcept {
    const std::array<DecEntry, 4096>& t = intra ? kDecIntra : kDecInter;
    const DecEntry e = t[r.peek(12)];
    if (e == 0) return kIllegal;
    if (e != kDecEscape) {
        r.skip(dec_len(e));
        const int s = static_cast<int>(r.read(1));
        ev = {dec_last(e), dec_run(e), s ? -dec_level(e) : dec_level(e)};
        return kRead;
    }
    r.skip(7);
    const int table = intra ? 0 : 1;
    if (r.read(1) == 0) {
        if (!regular12(r, t, ev)) return kIllegal;
        const int add = kLmax[table][ev.last][ev.run];
        ev.level += ev.level < 0 ? -add : add;
        return kRead;
    }
    if (r.read(1) == 0) {
        if (!regular12(r, t, ev)) return kIllegal;
        ev.run += kRmaxPlus1[table][ev.last][ev.level < 0 ? -ev.level : ev.level];
        return kRead;
    }
    // 1 + 6 + 1 + 12 + 1 = 21 bits.
    const std::uint32_t v = r.read(21);
    if (!(v & (1u << 13)) || !(v & 1u)) return kIllegal;  // marker bits
    const int level = sign_extend((v >> 1) & 0xFFF, 12);
    if (level == -2048 || (intra && level == 0)) return kIllegal;
    ev = {static_cast<int>(v >> 20), static_cast<int>((v >> 14) & 63), level};
    return kRead;
}

// Table B-23; escape 00001, LAST, RUN (6), marker, |LEVEL| (11, nonzero), marker, 0000s.
ReadResult read_rvlc(ByteReader& r, bool intra, Event& ev) noexcept {
    const DecEntry e = kDecRvlc[intra ? 0 : 1][r.peek(15)];
    if (e == 0) return kIllegal;
    if (e != kDecEscape) {
        r.skip(dec_len(e));
        const int s = static_cast<int>(r.read(1));
        ev = {dec_last(e), dec_run(e), s ? -dec_level(e) : dec_level(e)};
        return kRead;
    }
    r.skip(5);
    const std::uint32_t v = r.read(25);  // LAST RUN(6) 1 LEVEL(11) 1 0000s
    const int mag = static_cast<int>((v >> 6) & 0x7FF);
    if (!(v & (1u << 17)) || !(v & (1u << 5)) || mag == 0 || (v & 0x1E) != 0) return kIllegal;
    ev = {static_cast<int>(v >> 24), static_cast<int>((v >> 18) & 63), (v & 1) ? -mag : mag};
    return kRead;
}

// H.263 clause 5.4.2 and Annex T.4: escape 0000011, LAST, RUN (6), LEVEL (8); with modified
// quantisation LEVEL −128 announces 11 more bits (5 low bits, then 6 high bits, signed).
ReadResult read_h263(ByteReader& r, bool adv, bool mod_quant, Event& ev) noexcept {
    const DecEntry e = (adv ? kDecAdvIntra : kDecInter)[r.peek(12)];
    if (e == 0) return kIllegal;
    if (e != kDecEscape) {
        r.skip(dec_len(e));
        const int s = static_cast<int>(r.read(1));
        ev = {dec_last(e), dec_run(e), s ? -dec_level(e) : dec_level(e)};
        return kRead;
    }
    r.skip(7);
    const std::uint32_t v = r.read(15);
    int level = sign_extend(v & 0xFF, 8);
    if (level == 0) return kIllegal;
    if (level == -128) {
        if (!mod_quant) return kIllegal;
        const std::uint32_t x = r.read(11);
        level = sign_extend(x & 63, 6) * 32 + static_cast<int>(x >> 6);
    }
    ev = {static_cast<int>(v >> 14), static_cast<int>((v >> 8) & 63), level};
    return kRead;
}

// H.261 clause 4.2.4.1: EOB 10, escape 000001, RUN (6), LEVEL (8; 0 and −128 forbidden).
ReadResult read_h261(ByteReader& r, Event& ev) noexcept {
    const DecEntry e = kDecH261[r.peek(13)];
    if (e == 0) return kIllegal;
    if (e == kDecEob) {
        r.skip(2);
        return kEnd;
    }
    if (e != kDecEscape) {
        r.skip(dec_len(e));
        const int s = static_cast<int>(r.read(1));
        ev = {0, dec_run(e), s ? -dec_level(e) : dec_level(e)};
        return kRead;
    }
    r.skip(6);
    const std::uint32_t v = r.read(14);
    const int level = sign_extend(v & 0xFF, 8);
    if (level == 0 || level == -128) return kIllegal;
    ev = {0, static_cast<int>(v >> 8), level};
    return kRead;
}

namespace {

// Bit-reversed bytes.
constexpr std::array<std::uint8_t, 256> make_rev8() {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        for (int b = 0; b < 8; ++b) r |= ((v >> b) & 1) << (7 - b);
        t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(r);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kRev8 = make_rev8();

// Reads bits towards the start of the stream. The bits come in reading order (the bit at the
// cursor first, then the one before it, ...) into a window; a byte is fetched only when a field
// or code needs more bits than the window holds, so that only the bytes holding bits read are
// touched.
class BackReader {
public:
    BackReader(const Opx8u* base, std::int64_t pos) noexcept
        : base_(base), next_(pos >> 3), pos_(pos) {
        // The bits of the current byte up to the cursor: the cursor's bit is the least
        // significant of (byte >> (7 − offset)); reversed, it leads.
        const int k = static_cast<int>(pos & 7) + 1;
        win_ = kRev8[base_[next_]] & ((1u << k) - 1);
        n_ = k;
        --next_;
    }
    std::int64_t pos() const noexcept { return pos_; }
    int available() const noexcept { return n_; }
    OPX_INLINE void fetch() noexcept {
        win_ = win_ << 8 | kRev8[base_[next_--]];
        n_ += 8;
    }
    // The next 15 bits in reading order, zeros where the window ends.
    OPX_INLINE std::uint32_t peek15() const noexcept {
        return static_cast<std::uint32_t>((n_ >= 15 ? win_ >> (n_ - 15) : win_ << (15 - n_)) & 0x7FFF);
    }
    OPX_INLINE void skip(int m) noexcept {
        n_ -= m;
        pos_ -= m;
    }
    // m bits (m <= 16) in reading order, the first read most significant.
    OPX_INLINE std::uint32_t take(int m) noexcept {
        while (n_ < m) fetch();
        const std::uint32_t v = static_cast<std::uint32_t>(win_ >> (n_ - m)) & ((1u << m) - 1);
        skip(m);
        return v;
    }

private:
    const Opx8u* base_;
    std::int64_t next_;  // index of the next (earlier) byte to fetch
    std::int64_t pos_;   // bit index of the next bit to read
    std::uint64_t win_ = 0;
    int n_ = 0;  // bits in the window (at most 15 + 8 + 7)
};

OPX_INLINE std::uint32_t reverse_field(std::uint32_t v, int m) noexcept {
    std::uint32_t r = 0;
    for (int i = 0; i < m; ++i) r |= ((v >> i) & 1u) << (m - 1 - i);
    return r;
}

// One code read backwards: its sign bit, then its code word from the last bit (looked up in the
// table of bit-reversed code words), or the reversed escape. No reversed code word begins with
// 0000, which is how the escape's tail (0000, sign) shows.
bool read_rvlc_back(BackReader& r, bool intra, Event& ev) noexcept {
    const int sign = static_cast<int>(r.take(1));
    const std::array<DecEntry, 32768>& t = kDecRvlcBack[intra ? 0 : 1];
    for (;;) {
        const std::uint32_t v = r.peek15();
        if (r.available() >= 4 && (v >> 11) == 0) break;  // escape
        const DecEntry e = t[v];
        if (e != 0 && dec_len(e) <= r.available()) {
            r.skip(dec_len(e));
            ev = {dec_last(e), dec_run(e), sign ? -dec_level(e) : dec_level(e)};
            return true;
        }
        if (r.available() >= 15) return false;
        r.fetch();
    }
    r.skip(4);
    // Read backwards: 1, LEVEL (11, from its last bit), 1, RUN (6), LAST, then 00001.
    if (r.take(1) != 1) return false;
    const int mag = static_cast<int>(reverse_field(r.take(11), 11));
    if (mag == 0 || r.take(1) != 1) return false;
    const int run = static_cast<int>(reverse_field(r.take(6), 6));
    const int last = static_cast<int>(r.take(1));
    if (r.take(5) != 0x10) return false;  // the prefix 00001, read from its end
    ev = {last, run, sign ? -mag : mag};
    return true;
}

}  // namespace

bool decode_rvlc_backward(const Opx8u* base, std::int64_t* pos, bool intra, int start, Opx16s* c,
                          Opx32s* last_index) noexcept {
    BackReader r(base, *pos);
    Opx16s vals[64] = {};
    int p = 63;
    bool first = true, ok = true;
    std::int64_t stop = 0;
    for (;;) {
        const std::int64_t code_start = r.pos();
        Event ev;
        if (!read_rvlc_back(r, intra, ev)) {
            ok = false;
            break;
        }
        if (first) {
            if (!ev.last) {
                ok = false;
                break;
            }
            first = false;
        } else if (ev.last) {
            stop = code_start;  // the preceding block's LAST code: not consumed
            break;
        }
        if (p <= start) {
            ok = false;
            break;
        }
        vals[p] = static_cast<Opx16s>(ev.level);
        p -= ev.run + 1;
    }
    // Coefficients sit at p + 1 .. 63; move them down by p − start.
    for (int k = start + 1; k < 64; ++k) c[k] = 0;
    if (start < 0) c[0] = 0;
    for (int k = (p + 1 > 0 ? p + 1 : 0); k < 64; ++k) {
        const int to = k - (p - start);
        if (to >= 0 && to < 64 && to > start) c[to] = vals[k];
    }
    *last_index = start + 63 - p;
    if (ok) *pos = stop;
    return ok;
}

// ISO/IEC 14496-2 Tables B-13/B-14 and clause 7.4.1.1.
bool read_dc_mpeg4(ByteReader& r, bool chroma, Opx16s* diff) noexcept {
    const std::uint32_t v = r.peek(12);
    int size, len;
    if (!chroma) {
        if (v >> 10 == 3) size = 1, len = 2;
        else if (v >> 10 == 2) size = 2, len = 2;
        else if (v >> 9 == 3) size = 0, len = 3;
        else if (v >> 9 == 2) size = 3, len = 3;
        else if (v >> 9 == 1) size = 4, len = 3;
        else {
            if (v < 2) return false;  // eleven zeros
            const int z = __builtin_clz(v) - 20;  // leading zeros of the 12 bits, 3..10
            size = z + 2, len = z + 1;
        }
    } else {
        if (v >> 10 == 3) size = 0, len = 2;
        else if (v >> 10 == 2) size = 1, len = 2;
        else if (v >> 10 == 1) size = 2, len = 2;
        else {
            if (v == 0) return false;  // twelve zeros
            const int z = __builtin_clz(v) - 20;  // 2..11
            size = z + 1, len = z + 1;
        }
    }
    r.skip(len);
    if (size == 0) {
        *diff = 0;
        return true;
    }
    const std::int32_t x = static_cast<std::int32_t>(r.read(size));
    const std::int32_t d = (x >> (size - 1)) ? x : x - ((1 << size) - 1);
    if (size > 8 && r.read(1) != 1) return false;
    *diff = static_cast<Opx16s>(d);
    return true;
}

}  // namespace opx::mpeg4
