// Rewriting the stream as it is decoded (--rewrite, --rewrite-rvlc, and in memory for
// --reencode-check, which compares each re-encoded block with its input bits): every block's
// coefficients decoded again to levels and re-encoded by the library (in reversible codes for
// data-partitioned MPEG-4 with --rewrite-rvlc, else in the codes they had), the other bits copied,
// stuffing redone where lengths change; and the backward decoding of reversible coefficient
// partitions checked against the forward one (--rvlc-backward).
#include <cstring>

#include "decoder_impl.hpp"

namespace m4vdec {

void BitWriter::copy(const uint8_t* src, uint64_t from, uint64_t to) {
    for (; from < to && (from & 7); ++from) put_bit((src[from >> 3] >> (7 - (from & 7))) & 1);
    if ((bits & 7) == 0) {  // both on byte boundaries: whole bytes
        const uint64_t whole = (to - from) >> 3;
        out.insert(out.end(), src + (from >> 3), src + (from >> 3) + whole);
        bits += whole * 8;
        from += whole * 8;
    }
    for (; from < to; ++from) put_bit((src[from >> 3] >> (7 - (from & 7))) & 1);
}

void Decoder::Impl::rw_sync(uint64_t upto) {
    if (upto <= rw_in) return;
    rw.copy(r.buf, rw_in, upto);
    rw_in = upto;
}

// the end of a video packet or VOP: stuffing (a 0, then 1s up to a byte boundary) redone
// for the output in place of the input's
void Decoder::Impl::rw_packet_end() {
    if (!rewriting) return;
    rw_sync(r.pos);
    rw.put_bit(0);
    while (rw.bits & 7) rw.put_bit(1);
    rw_in = (r.pos / 8 + 1) * 8;
}

// H.263: zeros up to a byte boundary in place of the input's (before a start code)
void Decoder::Impl::rw_align_zeros(uint64_t from, uint64_t to) {
    if (!rewriting) return;
    rw_sync(from);
    while (rw.bits & 7) rw.put_bit(0);
    rw_in = to;
}

// Bits [from, to) of src and of dst (from at dst_from) equal.
static bool same_bits(const uint8_t* src, uint64_t from, uint64_t to, const uint8_t* dst,
                      uint64_t dst_from) {
    auto bit = [](const uint8_t* p, uint64_t i) { return (p[i >> 3] >> (7 - (i & 7))) & 1; };
    for (uint64_t i = from; i < to; ++i)
        if (bit(src, i) != bit(dst, dst_from + (i - from))) return false;
    return true;
}

template <class Decode>
void Decoder::Impl::reencode_compare(uint64_t start, uint64_t from, const Opx16s* level,
                                     Decode decode) {
    if (!d.opt_.reencode_check) return;
    ++d.reencode_blocks_;
    const uint64_t n = rw.bits - from;
    if (n == r.pos - start && same_bits(r.buf, start, r.pos, rw.out.data(), from)) return;
    ++d.reencode_differences_;
    // coded otherwise: the copy must decode to the same levels
    BitWriter copy;
    copy.copy(rw.out.data(), from, rw.bits);
    copy.out.resize(copy.out.size() + 8, 0);  // the decoders' look-ahead
    Opx16s again[64] = {0};
    Opx8u* p = copy.out.data();
    Opx32s off = 0;
    if (!decode(p, off, again) || bit_of_in(copy, p, off) != n ||
        std::memcmp(again, level, sizeof again) != 0)
        throw std::string("a re-encoded block decodes to other levels");
}

// An MPEG-4 block whose coefficients took the input bits [start, r.pos): decoded again in
// scan order for the backward check and for the rewrite, which re-encodes them (in
// reversible codes in a third partition with --rewrite-rvlc, else in the codes they had).
void Decoder::Impl::block_levels(uint64_t start, bool intra, bool dc_separate) {
    const bool backward = rvlc_now && d.opt_.rvlc_backward;
    const bool rewrite = rewriting && (!d.opt_.rewrite_rvlc || in_partition3);
    if (!backward && !rewrite) return;
    CodedBlock b;
    b.start = start;
    b.end = r.pos;
    b.intra = intra;
    b.dc_separate = dc_separate;
    std::memset(b.level, 0, sizeof b.level);
    Opx8u* p = const_cast<Opx8u*>(r.buf + (start >> 3));
    Opx32s off = Opx32s(start & 7), last = 0;
    const OpxResult e =
        intra ? opxiDecodeCoeffsIntra_MPEG4_1u16s(&p, &off, b.level, &last, rvlc_now, dc_separate,
                                                  opxScanNone)
              : opxiDecodeCoeffsInter_MPEG4_1u16s(&p, &off, b.level, &last, rvlc_now, opxScanNone);
    if (e != opxOk || bit_of(p, off) != r.pos)
        throw std::string("coefficients decoded differently a second time");
    if (backward) packet_blocks.push_back(b);
    if (!rewrite) return;
    int n = 0;
    for (int i = dc_separate ? 1 : 0; i < 64; ++i) n += b.level[i] != 0;
    const int to_rvlc = d.opt_.rewrite_rvlc ? 1 : rvlc_now;
    rw_sync(start);
    const uint64_t from = rw.bits;
    Opx8u* w = rw.cursor(off, 300);  // 64 events of at most 33 bits
    const OpxResult f =
        intra ? opxiEncodeCoeffsIntra_MPEG4_16s1u(b.level, &w, &off, n, to_rvlc, dc_separate,
                                                  opxScanNone)
              : opxiEncodeCoeffsInter_MPEG4_16s1u(b.level, &w, &off, n, to_rvlc, opxScanNone);
    if (f != opxOk) throw std::string("a block's levels cannot be re-encoded");
    rw.done(w, off);
    rw_in = r.pos;
    reencode_compare(start, from, b.level, [&](Opx8u*& q, Opx32s& o, Opx16s* lv) {
        Opx32s l = 0;
        return (intra ? opxiDecodeCoeffsIntra_MPEG4_1u16s(&q, &o, lv, &l, to_rvlc, dc_separate,
                                                          opxScanNone)
                      : opxiDecodeCoeffsInter_MPEG4_1u16s(&q, &o, lv, &l, to_rvlc, opxScanNone)) ==
               opxOk;
    });
}

void Decoder::Impl::rewrite_h26x(uint64_t start, H26xCodes codes) {
    if (!rewriting) return;
    Opx16s level[64] = {0};
    Opx8u* p = const_cast<Opx8u*>(r.buf + (start >> 3));
    Opx32s off = Opx32s(start & 7), last = 0;
    const int mq = modquant;
    OpxResult e = opxErrVlcCode;
    switch (codes) {
        case kH263IntraAc:
            e = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, level, &last, 0, mq, opxScanNone);
            break;
        case kTableI2:
            e = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, level, &last, 1, mq, opxScanNone);
            break;
        case kH263Inter:
            e = opxiDecodeCoeffsInter_H263_1u16s(&p, &off, level, &last, mq, opxScanNone);
            break;
        case kH261Intra:
            e = opxiDecodeCoeffsIntra_H261_1u16s(&p, &off, level, &last, opxScanNone);
            break;
        case kH261Inter:
            e = opxiDecodeCoeffsInter_H261_1u16s(&p, &off, level, &last, opxScanNone);
            break;
    }
    if (e != opxOk || bit_of(p, off) != r.pos)
        throw std::string("coefficients decoded differently a second time");
    int n = 0;
    for (int i = codes == kH263IntraAc ? 1 : 0; i < 64; ++i) n += level[i] != 0;
    rw_sync(start);
    const uint64_t from = rw.bits;
    Opx8u* w = rw.cursor(off, 300);
    switch (codes) {
        case kH263IntraAc:
            e = opxiEncodeCoeffsIntra_H263_16s1u(level, &w, &off, n, 0, mq, opxScanNone);
            break;
        case kTableI2:
            e = opxiEncodeCoeffsIntra_H263_16s1u(level, &w, &off, n, 1, mq, opxScanNone);
            break;
        case kH263Inter:
            e = opxiEncodeCoeffsInter_H263_16s1u(level, &w, &off, n, mq, opxScanNone);
            break;
        case kH261Intra:
            e = opxiEncodeCoeffsIntra_H261_16s1u(level, &w, &off, n, opxScanNone);
            break;
        case kH261Inter:
            e = opxiEncodeCoeffsInter_H261_16s1u(level, &w, &off, n, opxScanNone);
            break;
    }
    if (e != opxOk) throw std::string("a block's levels cannot be re-encoded");
    rw.done(w, off);
    rw_in = r.pos;
    reencode_compare(start, from, level, [&](Opx8u*& q, Opx32s& o, Opx16s* lv) {
        Opx32s l = 0;
        switch (codes) {
            case kH263IntraAc:
                return opxiDecodeCoeffsIntra_H263_1u16s(&q, &o, lv, &l, 0, mq, opxScanNone) ==
                       opxOk;
            case kTableI2:
                return opxiDecodeCoeffsIntra_H263_1u16s(&q, &o, lv, &l, 1, mq, opxScanNone) ==
                       opxOk;
            case kH263Inter:
                return opxiDecodeCoeffsInter_H263_1u16s(&q, &o, lv, &l, mq, opxScanNone) == opxOk;
            case kH261Intra:
                return opxiDecodeCoeffsIntra_H261_1u16s(&q, &o, lv, &l, opxScanNone) == opxOk;
            case kH261Inter:
                return opxiDecodeCoeffsInter_H261_1u16s(&q, &o, lv, &l, opxScanNone) == opxOk;
        }
        return false;
    });
}

// --rvlc-backward: the packet's reversible blocks decoded again from the partition's end,
// last block first. A code with LAST = 1 put before the first block stops its backward
// decoding as the preceding block's LAST code stops the others'.
void Decoder::Impl::rvlc_backward_check() {
    if (packet_blocks.empty()) return;
    const CodedBlock& first = packet_blocks.front();
    BitWriter w;
    Opx16s one[64] = {1};
    Opx32s off;
    Opx8u* p = w.cursor(off, 8);
    if (first.intra)
        opxiEncodeCoeffsIntra_MPEG4_16s1u(one, &p, &off, 1, 1, 0, opxScanNone);
    else
        opxiEncodeCoeffsInter_MPEG4_16s1u(one, &p, &off, 1, 1, opxScanNone);
    w.done(p, off);
    const uint64_t base = w.bits;
    w.copy(r.buf, first.start, packet_blocks.back().end);
    w.out.resize(w.out.size() + 8, 0);
    uint64_t final_bit = w.bits - 1;
    for (size_t k = packet_blocks.size(); k-- > 0;) {
        const CodedBlock& b = packet_blocks[k];
        Opx16s level[64] = {0};
        Opx32s last = 0;
        p = w.out.data() + (final_bit >> 3);
        off = Opx32s(final_bit & 7);
        const OpxResult e =
            b.intra
                ? opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s(&p, &off, level, &last, b.dc_separate)
                : opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, level, &last);
        bool same = e == opxOk && bit_of_in(w, p, off) + 1 == base + (b.start - first.start);
        for (int i = b.dc_separate ? 1 : 0; i < 64 && same; ++i) same = level[i] == b.level[i];
        if (!same) {
            error(
                "VOP %ld: backward decoding of a reversible block (bits %llu..%llu) differs "
                "from its forward decoding",
                d.frames_out_, (unsigned long long)b.start, (unsigned long long)b.end);
            return;
        }
        final_bit = base + (b.start - first.start) - 1;
    }
}

}  // namespace m4vdec
