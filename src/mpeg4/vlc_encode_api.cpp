// Exported coefficient and DC encoders of MPEG-4, H.263 and H.261.
//
// Each function checks its arguments (null pointers, the bit offset, the nonzero count against
// the block), then writes every code through the byte cursor: the first byte keeps the bits
// already in it, later bytes are assigned, and the byte after the last one reached is untouched.
// The tables are those of the decoders (generated from the same code lists).
#include "frame/check.hpp"
#include "frame/dispatch.hpp"
#include "mpeg4/vlc_tables.hpp"

using namespace opx::mpeg4;

namespace {

// Byte-cursor writer that gathers codes in a 64-bit register and stores whole bytes in
// transmission order. The bits already in the first byte (above the offset) are taken in first,
// so that byte is merged; the final partial byte is stored with zeros after the code; no byte
// after it is touched.
class ByteWriter {
public:
    ByteWriter(Opx8u* p, int off) noexcept
        : p_(p), acc_(off ? std::uint64_t{p[0]} >> (8 - off) : 0), n_(off) {}
    // Appends the low n bits of code, 1 <= n <= 32.
    OPX_INLINE void write(std::uint32_t code, int n) noexcept {
        acc_ = acc_ << n | (code & static_cast<std::uint32_t>((std::uint64_t{1} << n) - 1));
        n_ += n;  // at most 7 + 32 bits pending
        while (n_ >= 8) {
            n_ -= 8;
            *p_++ = static_cast<Opx8u>(acc_ >> n_);
        }
    }
    // Stores the pending bits; the cursor then stands behind the last bit written.
    OPX_INLINE void finish() noexcept {
        if (n_) *p_ = static_cast<Opx8u>(acc_ << (8 - n_));
    }
    Opx8u* ptr() const noexcept { return p_; }
    int offset() const noexcept { return n_; }

private:
    Opx8u* p_;
    std::uint64_t acc_;
    int n_;
};

// Number of nonzero levels at raster indices from..63 (every scan begins with index 0, so with
// from = 1 this is the coded range of a block whose DC is coded separately, in any scan).
int nonzero_from(const Opx16s* c, int from) noexcept {
    int n = 0;
    for (int i = from; i < 64; ++i) n += c[i] != 0;
    return n;
}

// Calls emit(last, run, level) for the first `count` nonzero levels from scan position `start`.
template <class Emit>
OPX_INLINE void walk(const Opx16s* c, const std::uint8_t* scan, int start, int count,
                     Emit&& emit) noexcept {
    int run = 0, n = 0;
    for (int i = start; i < 64; ++i) {
        const int v = c[scan ? scan[i] : i];
        if (v == 0) {
            ++run;
            continue;
        }
        const bool last = ++n == count;
        emit(last ? 1 : 0, run, v);
        if (last) return;
        run = 0;
    }
}

// A table code and its sign bit, when the table holds (last, run, |level|).
OPX_INLINE bool put_table(ByteWriter& w, const EncTable& t, int last, int run, int mag,
                          int negative) noexcept {
    if (mag > 31) return false;
    const std::uint32_t e = t[last][run][mag];
    if (!e) return false;
    w.write(enc_code(e) << 1 | static_cast<std::uint32_t>(negative), enc_len(e) + 1);
    return true;
}

// ISO/IEC 14496-2 clause 7.4.1.3, escapes tried in the order 1, 2, 3; escape 2 only when the
// reduced run gives a table entry.
void put_mpeg4(ByteWriter& w, bool intra, int last, int run, int level) noexcept {
    const EncTable& t = kEnc[intra ? kTabIntra : kTabInter];
    const int table = intra ? 0 : 1;
    const int mag = level < 0 ? -level : level, neg = level < 0;
    if (put_table(w, t, last, run, mag, neg)) return;
    const int lmax = kLmax[table][last][run];
    if (lmax && mag > lmax && mag - lmax <= 31 && t[last][run][mag - lmax]) {
        w.write(0x3 << 1 | 0, 8);
        put_table(w, t, last, run, mag - lmax, neg);
        return;
    }
    const int r1 = mag <= 31 ? kRmaxPlus1[table][last][mag] : 0;
    if (r1 && run >= r1 && t[last][run - r1][mag]) {
        w.write(0x3 << 2 | 2, 9);
        put_table(w, t, last, run - r1, mag, neg);
        return;
    }
    // 0000011 11, LAST, RUN (6), 1, LEVEL (12, two's complement), 1: 30 bits.
    w.write(0x0F << 21 | static_cast<std::uint32_t>(last) << 20 | static_cast<std::uint32_t>(run) << 14 |
                1u << 13 | (static_cast<std::uint32_t>(level) & 0xFFF) << 1 | 1u,
            30);
}

// Table B-23, or 00001, LAST, RUN (6), 1, |LEVEL| (11), 1, 0000, sign: 30 bits.
void put_rvlc(ByteWriter& w, bool intra, int last, int run, int level) noexcept {
    const int mag = level < 0 ? -level : level, neg = level < 0;
    if (put_table(w, kEnc[intra ? kTabRvlcIntra : kTabRvlcInter], last, run, mag, neg)) return;
    w.write(1u << 25 | static_cast<std::uint32_t>(last) << 24 | static_cast<std::uint32_t>(run) << 18 |
                1u << 17 | (static_cast<std::uint32_t>(mag) & 0x7FF) << 6 | 1u << 5 |
                static_cast<std::uint32_t>(neg),
            30);
}

// H.263 Table 16 / Table I.2, or ESCAPE, LAST, RUN (6), LEVEL (8); with modified quantisation a
// level of magnitude 128 or more is LEVEL 1000 0000 followed by its 5 low and 6 high bits.
void put_h263(ByteWriter& w, bool adv, bool mod_quant, int last, int run, int level) noexcept {
    const int mag = level < 0 ? -level : level;
    if (put_table(w, kEnc[adv ? kTabAdvIntra : kTabInter], last, run, mag, level < 0)) return;
    const std::uint32_t head = 0x3u << 15 | static_cast<std::uint32_t>(last) << 14 |
                               static_cast<std::uint32_t>(run) << 8;
    if (mod_quant && mag >= 128) {
        w.write(head | 0x80, 22);
        const std::uint32_t l = static_cast<std::uint32_t>(level);
        w.write((l & 31) << 6 | ((l >> 5) & 63), 11);
        return;
    }
    w.write(head | (static_cast<std::uint32_t>(level) & 0xFF), 22);
}

// H.261 Table 5, or ESCAPE (000001), RUN (6), LEVEL (8): 20 bits.
void put_h261(ByteWriter& w, int run, int level) noexcept {
    const int mag = level < 0 ? -level : level;
    if (mag <= 15 && kEncH261[run][mag]) {
        const std::uint32_t e = kEncH261[run][mag];
        w.write(enc_code(e) << 1 | static_cast<std::uint32_t>(level < 0), enc_len(e) + 1);
        return;
    }
    w.write(1u << 14 | static_cast<std::uint32_t>(run) << 8 | (static_cast<std::uint32_t>(level) & 0xFF),
            20);
}

void commit(ByteWriter& w, Opx8u** pp, Opx32s* off) noexcept {
    w.finish();
    *pp = w.ptr();
    *off = w.offset();
}

#define OPX_CHECK_ENCODER(count, lo_count, hi_count)                                        \
    OPX_CHECK_NULL(pCoeffs, ppBitStream, pBitOffset);                                       \
    OPX_CHECK_NULL(*ppBitStream);                                                           \
    OPX_CHECK(static_cast<std::uint32_t>(*pBitOffset) <= 7u, opxErrBitOffset);              \
    OPX_CHECK((count) >= (lo_count) && (count) <= (hi_count), opxErrOutOfRange)

}  // namespace

OpxResult opxiEncodeCoeffsIntra_MPEG4_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                            Opx32s* pBitOffset, Opx32s countNonZero,
                                            Opx32s rvlcFlag, Opx32s dcSeparate,
                                            Opx32s scan) noexcept {
    const int start = dcSeparate ? 1 : 0;
    OPX_CHECK_ENCODER(countNonZero, 1, 64 - start);
    OPX_CHECK(countNonZero <= nonzero_from(pCoeffs, start), opxErrOutOfRange);
    const std::uint8_t* s = scan == -1 ? nullptr : scan == 1 ? kScan[1] : scan == 2 ? kScan[2] : kScan[0];
    ByteWriter w(*ppBitStream, *pBitOffset);
    walk(pCoeffs, s, start, countNonZero, [&](int last, int run, int level) {
        if (rvlcFlag)
            put_rvlc(w, true, last, run, level);
        else
            put_mpeg4(w, true, last, run, level);
    });
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeCoeffsInter_MPEG4_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                            Opx32s* pBitOffset, Opx32s countNonZero,
                                            Opx32s rvlcFlag, Opx32s scan) noexcept {
    OPX_CHECK_ENCODER(countNonZero, 1, 64);
    OPX_CHECK(countNonZero <= nonzero_from(pCoeffs, 0), opxErrOutOfRange);
    const std::uint8_t* s = scan == -1 ? nullptr : scan == 1 ? kScan[1] : kScan[0];
    ByteWriter w(*ppBitStream, *pBitOffset);
    walk(pCoeffs, s, 0, countNonZero, [&](int last, int run, int level) {
        if (rvlcFlag)
            put_rvlc(w, false, last, run, level);
        else
            put_mpeg4(w, false, last, run, level);
    });
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeCoeffsIntra_H263_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                           Opx32s* pBitOffset, Opx32s countNonZero,
                                           Opx32s advIntraFlag, Opx32s modQuantFlag,
                                           Opx32s scan) noexcept {
    const int start = advIntraFlag ? 0 : 1;  // without advanced intra the DC is INTRADC
    OPX_CHECK_ENCODER(countNonZero, 1, 64 - start);
    OPX_CHECK(countNonZero <= nonzero_from(pCoeffs, start), opxErrOutOfRange);
    const std::uint8_t* s = (scan >= 0 && scan <= 2) ? kScan[scan] : nullptr;
    ByteWriter w(*ppBitStream, *pBitOffset);
    const bool adv = advIntraFlag != 0, mq = modQuantFlag != 0;
    walk(pCoeffs, s, start, countNonZero,
         [&](int last, int run, int level) { put_h263(w, adv, mq, last, run, level); });
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeCoeffsInter_H263_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                           Opx32s* pBitOffset, Opx32s countNonZero,
                                           Opx32s modQuantFlag, Opx32s scan) noexcept {
    OPX_CHECK_ENCODER(countNonZero, 1, 64);
    OPX_CHECK(countNonZero <= nonzero_from(pCoeffs, 0), opxErrOutOfRange);
    const std::uint8_t* s = (scan >= 0 && scan <= 2) ? kScan[scan] : nullptr;
    ByteWriter w(*ppBitStream, *pBitOffset);
    const bool mq = modQuantFlag != 0;
    walk(pCoeffs, s, 0, countNonZero,
         [&](int last, int run, int level) { put_h263(w, false, mq, last, run, level); });
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeCoeffsIntra_H261_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                           Opx32s* pBitOffset, Opx32s countNonZero,
                                           Opx32s scan) noexcept {
    OPX_CHECK_ENCODER(countNonZero, 1, 64);
    // The DC counts as one.
    OPX_CHECK(countNonZero - 1 <= nonzero_from(pCoeffs, 1), opxErrOutOfRange);
    const std::uint8_t* s = scan == -1 ? nullptr : kScan[0];
    ByteWriter w(*ppBitStream, *pBitOffset);
    const int dc = pCoeffs[0];
    w.write(dc == 128 ? 255u : static_cast<std::uint32_t>(dc) & 0xFF, 8);
    if (countNonZero > 1)
        walk(pCoeffs, s, 1, countNonZero - 1,
             [&](int, int run, int level) { put_h261(w, run, level); });
    w.write(0x2, 2);  // EOB
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeCoeffsInter_H261_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                           Opx32s* pBitOffset, Opx32s countNonZero,
                                           Opx32s scan) noexcept {
    OPX_CHECK_ENCODER(countNonZero, 1, 64);
    OPX_CHECK(countNonZero <= nonzero_from(pCoeffs, 0), opxErrOutOfRange);
    const std::uint8_t* s = scan == -1 ? nullptr : kScan[0];
    ByteWriter w(*ppBitStream, *pBitOffset);
    bool first = true;
    walk(pCoeffs, s, 0, countNonZero, [&](int, int run, int level) {
        // H.261 clause 4.2.4.1: a first coefficient ±1 at position 0 is coded 1s.
        if (first && run == 0 && (level == 1 || level == -1))
            w.write(0x2 | static_cast<std::uint32_t>(level < 0), 2);
        else
            put_h261(w, run, level);
        first = false;
    });
    w.write(0x2, 2);  // EOB
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeDCIntra_H263_16s1u(Opx16s dc, Opx8u** ppBitStream,
                                       Opx32s* pBitOffset) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(static_cast<std::uint32_t>(*pBitOffset) <= 7u, opxErrBitOffset);
    ByteWriter w(*ppBitStream, *pBitOffset);
    w.write(dc == 128 ? 255u : static_cast<std::uint32_t>(dc) & 0xFF, 8);
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}

OpxResult opxiEncodeDCIntra_MPEG4_16s1u(Opx16s dcDiff, Opx8u** ppBitStream, Opx32s* pBitOffset,
                                        Opx32s chromaFlag) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream);
    OPX_CHECK(static_cast<std::uint32_t>(*pBitOffset) <= 7u, opxErrBitOffset);
    // dct_dc_size goes up to 12 (Tables B-13/B-14): larger differentials have no code.
    OPX_CHECK(dcDiff > -4096 && dcDiff < 4096, opxErrOutOfRange);
    const int mag = dcDiff < 0 ? -dcDiff : dcDiff;
    const int size = mag ? 32 - __builtin_clz(static_cast<unsigned>(mag)) : 0;
    ByteWriter w(*ppBitStream, *pBitOffset);
    if (chromaFlag == 1) {
        static constexpr std::uint8_t kCode[3] = {3, 2, 1};  // 11, 10, 01
        if (size < 3)
            w.write(kCode[size], 2);
        else
            w.write(1, size);  // 001, 0001, ... (size − 3 further zeros)
    } else {
        static constexpr std::uint8_t kCode[5] = {3, 3, 2, 2, 1}, kLen[5] = {3, 2, 2, 3, 3};
        if (size < 5)
            w.write(kCode[size], kLen[size]);
        else
            w.write(1, size - 1);  // 0001, 00001, ... (size − 5 further zeros)
    }
    if (size) {
        const std::uint32_t v = static_cast<std::uint32_t>(dcDiff < 0 ? dcDiff - 1 : dcDiff);
        w.write(v & ((1u << size) - 1), size);
        if (size > 8) w.write(1, 1);
    }
    commit(w, ppBitStream, pBitOffset);
    return opxOk;
}
