// Exported coefficient decoders, DC decoders and reconstructors of MPEG-4, H.263 and H.261.
//
// Every function checks its arguments (null pointers, including the stream pointer behind
// ppBitStream; the bit offset as an unsigned value; then its own checks), decodes with a cursor of
// its own and writes the caller's cursor back only on success (two functions also after their
// 8-bit DC, as stated). The last index is a scan position.
#include <cstring>

#include "frame/check.hpp"
#include "mpeg4/quant.hpp"
#include "mpeg4/vlc_decode.hpp"

using namespace opx::mpeg4;
using opx::bits::ByteReader;

namespace {

#define OPX_CHECK_CURSOR(pp, off)                                              \
    do {                                                                       \
        OPX_CHECK(static_cast<std::uint32_t>(*(off)) <= 7u, opxErrBitOffset); \
    } while (0)

void commit(const ByteReader& r, Opx8u** pp, Opx32s* off) noexcept {
    *pp = const_cast<Opx8u*>(r.ptr());
    *off = r.offset();
}

// Scan table for a scan argument, or null (unscanned) for values the function does not map.
const std::uint8_t* scan_of(Opx32s scan, int highest) noexcept {
    return (scan >= 0 && scan <= highest) ? kScan[scan] : nullptr;
}
const std::uint8_t* scan_or_zigzag(Opx32s scan, int highest) noexcept {
    return (scan >= 1 && scan <= highest) ? kScan[scan] : kScan[0];
}

void clear(Opx16s* c, int from) noexcept {
    std::memset(c + from, 0, sizeof(Opx16s) * static_cast<std::size_t>(64 - from));
}

std::int32_t clamp32(std::int64_t v, std::int32_t lo, std::int32_t hi) noexcept {
    return static_cast<std::int32_t>(v < lo ? lo : v > hi ? hi : v);
}

// sign(L) · (2 QP |L| + q'), in 32-bit arithmetic, clamped to lo..hi.
struct H263Dequant {
    std::int32_t qp2, odd, lo, hi;
    Opx16s operator()(int level) const noexcept {
        if (level == 0) return 0;
        const std::int64_t m = std::int64_t{qp2} * (level < 0 ? -level : level) + odd;
        return static_cast<Opx16s>(clamp32(level < 0 ? -m : m, lo, hi));
    }
};
H263Dequant h263_dequant(std::int32_t qp, bool clamp12) noexcept {
    return clamp12 ? H263Dequant{2 * qp, odd_offset(qp), -2048, 2047}
                   : H263Dequant{2 * qp, odd_offset(qp), -32768, 32767};
}

// The 8-bit INTRADC of H.263 and H.261: 0 and 128 are not codes, 255 stands for 128.
bool read_intradc(ByteReader& r, int* dc) noexcept {
    const int v = static_cast<int>(r.peek(8));
    if (v == 0 || v == 128) return false;
    r.skip(8);
    *dc = v == 255 ? 128 : v;
    return true;
}

template <class Read>
OpxResult decode_plain(Opx8u** pp, Opx32s* off, Opx16s* c, Opx32s* last, int start,
                       const std::uint8_t* scan, bool mpeg4_last, Read&& read) noexcept {
    ByteReader r(*pp, *off);
    clear(c, start < 0 ? 0 : 1);
    const LoopResult lr = event_loop(r, start, read, [&](int i, int level) {
        c[scan ? scan[i] : i] = static_cast<Opx16s>(level);
    });
    if (!lr.ok) {
        *last = mpeg4_last ? lr.reached : lr.written;
        return opxErrVlcCode;
    }
    commit(r, pp, off);
    *last = lr.reached;
    return opxOk;
}

// H.261 inter blocks: a leading 1s is the first-coefficient code (run 0, level ±1).
template <class Store>
bool h261_first(ByteReader& r, Store&& store) noexcept {
    if (r.peek(1) == 0) return false;
    store(0, r.read(2) & 1 ? -1 : 1);
    return true;
}

}  // namespace

// ---- decoders ----------------------------------------------------------------------------------

OpxResult opxiDecodeCoeffsIntra_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                            Opx16s* pCoeffs, Opx32s* pLastIndex, Opx32s rvlcFlag,
                                            Opx32s dcSeparate, Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    const int start = dcSeparate ? 0 : -1;
    auto read = [rvlcFlag](ByteReader& r, Event& ev) {
        return rvlcFlag ? read_rvlc(r, true, ev) : read_mpeg4(r, true, ev);
    };
    return decode_plain(ppBitStream, pBitOffset, pCoeffs, pLastIndex, start, scan_of(scan, 2),
                        true, read);
}

OpxResult opxiDecodeCoeffsInter_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                            Opx16s* pCoeffs, Opx32s* pLastIndex, Opx32s rvlcFlag,
                                            Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    auto read = [rvlcFlag](ByteReader& r, Event& ev) {
        return rvlcFlag ? read_rvlc(r, false, ev) : read_mpeg4(r, false, ev);
    };
    return decode_plain(ppBitStream, pBitOffset, pCoeffs, pLastIndex, -1, scan_of(scan, 1), true,
                        read);
}

static OpxResult rvlc_back(Opx8u** pp, Opx32s* off, Opx16s* c, Opx32s* last, bool intra,
                           int start) noexcept {
    std::int64_t pos = *off;
    if (!decode_rvlc_backward(*pp, &pos, intra, start, c, last)) return opxErrVlcCode;
    *pp += pos >> 3;
    *off = static_cast<Opx32s>(pos & 7);
    return opxOk;
}

OpxResult opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                    Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                    Opx32s dcSeparate) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    return rvlc_back(ppBitStream, pBitOffset, pCoeffs, pLastIndex, true, dcSeparate ? 0 : -1);
}

OpxResult opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                    Opx16s* pCoeffs, Opx32s* pLastIndex) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    return rvlc_back(ppBitStream, pBitOffset, pCoeffs, pLastIndex, false, -1);
}

OpxResult opxiDecodeCoeffsIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                           Opx16s* pCoeffs, Opx32s* pLastIndex,
                                           Opx32s advIntraFlag, Opx32s modQuantFlag,
                                           Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    const bool adv = advIntraFlag != 0, mq = modQuantFlag != 0;
    auto read = [adv, mq](ByteReader& r, Event& ev) { return read_h263(r, adv, mq, ev); };
    return decode_plain(ppBitStream, pBitOffset, pCoeffs, pLastIndex, adv ? -1 : 0,
                        scan_of(scan, 2), false, read);
}

OpxResult opxiDecodeCoeffsInter_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                           Opx16s* pCoeffs, Opx32s* pLastIndex,
                                           Opx32s modQuantFlag, Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    const bool mq = modQuantFlag != 0;
    auto read = [mq](ByteReader& r, Event& ev) { return read_h263(r, false, mq, ev); };
    return decode_plain(ppBitStream, pBitOffset, pCoeffs, pLastIndex, -1, scan_of(scan, 2), false,
                        read);
}

OpxResult opxiDecodeCoeffsIntra_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                           Opx16s* pCoeffs, Opx32s* pLastIndex,
                                           Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    ByteReader r(*ppBitStream, *pBitOffset);
    int dc = 0;
    if (!read_intradc(r, &dc)) {
        *pLastIndex = -1;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);  // the cursor stays past the DC whatever follows
    const std::uint8_t* s = scan == -1 ? nullptr : kScan[0];
    clear(pCoeffs, 0);
    const LoopResult lr = event_loop(r, 0, read_h261, [&](int i, int level) {
        pCoeffs[s ? s[i] : i] = static_cast<Opx16s>(level);
    });
    pCoeffs[0] = static_cast<Opx16s>(dc);
    if (!lr.ok) {
        *pLastIndex = lr.written;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}

OpxResult opxiDecodeCoeffsInter_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                           Opx16s* pCoeffs, Opx32s* pLastIndex,
                                           Opx32s scan) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    ByteReader r(*ppBitStream, *pBitOffset);
    const std::uint8_t* s = scan == -1 ? nullptr : kScan[0];
    clear(pCoeffs, 0);
    auto store = [&](int i, int level) { pCoeffs[s ? s[i] : i] = static_cast<Opx16s>(level); };
    const int start = h261_first(r, store) ? 0 : -1;
    const LoopResult lr = event_loop(r, start, read_h261, store);
    if (!lr.ok) {
        *pLastIndex = lr.written;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}

OpxResult opxiDecodeDCIntra_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset, Opx16s* pDcDiff,
                                        Opx32s chromaFlag) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pDcDiff);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    ByteReader r(*ppBitStream, *pBitOffset);
    Opx16s d = 0;
    if (!read_dc_mpeg4(r, chromaFlag != 0, &d)) return opxErrVlcCode;
    commit(r, ppBitStream, pBitOffset);
    *pDcDiff = d;
    return opxOk;
}

OpxResult opxiDecodeDCIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                       Opx16s* pDc) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pDc);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    ByteReader r(*ppBitStream, *pBitOffset);
    int dc = 0;
    if (!read_intradc(r, &dc)) return opxErrVlcCode;
    commit(r, ppBitStream, pBitOffset);
    *pDc = static_cast<Opx16s>(dc);
    return opxOk;
}

// ---- reconstructors ----------------------------------------------------------------------------

OpxResult opxiReconstructCoeffsIntra_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                Opx32s qp) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    clear(pCoeffs, 0);
    ByteReader r(*ppBitStream, *pBitOffset);
    int dc = 0;
    if (!read_intradc(r, &dc)) {
        *pLastIndex = -1;
        return opxErrVlcCode;
    }
    pCoeffs[0] = static_cast<Opx16s>(8 * dc);
    const H263Dequant dq = h263_dequant(qp, true);
    const LoopResult lr = event_loop(r, 0, read_h261, [&](int i, int level) {
        pCoeffs[kScan[0][i]] = dq(level);
    });
    if (!lr.ok) {
        *pLastIndex = lr.written;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}

OpxResult opxiReconstructCoeffsInter_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                Opx32s qp) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    clear(pCoeffs, 0);
    ByteReader r(*ppBitStream, *pBitOffset);
    const H263Dequant dq = h263_dequant(qp, true);
    auto store = [&](int i, int level) { pCoeffs[kScan[0][i]] = dq(level); };
    const int start = h261_first(r, store) ? 0 : -1;
    const LoopResult lr = event_loop(r, start, read_h261, store);
    if (!lr.ok) {
        *pLastIndex = lr.written;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}

OpxResult opxiReconstructCoeffsIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                Opx32s codedFlag, Opx32s qp, Opx32s advIntraFlag,
                                                Opx32s scan, Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    ByteReader r(*ppBitStream, *pBitOffset);
    const bool mq = modQuantFlag != 0;
    if (advIntraFlag) {
        // Annex I: the DC is a TCOEF event too; every level becomes 2 QP L (16-bit saturated).
        clear(pCoeffs, 0);
        if (!codedFlag) {  // no coefficient data: an empty block
            *pLastIndex = -1;
            return opxOk;
        }
        const std::uint8_t* s = scan_or_zigzag(scan, 2);
        const LoopResult lr = event_loop(
            r, -1, [mq](ByteReader& rr, Event& ev) { return read_h263(rr, true, mq, ev); },
            [&](int i, int level) {
                pCoeffs[s[i]] = static_cast<Opx16s>(
                    clamp32(std::int64_t{2} * qp * level, -32768, 32767));
            });
        if (!lr.ok) {
            *pLastIndex = lr.written;
            return opxErrVlcCode;
        }
        commit(r, ppBitStream, pBitOffset);
        *pLastIndex = lr.reached;
        return opxOk;
    }
    int dc = 0;
    if (!read_intradc(r, &dc)) {
        *pLastIndex = -1;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);  // the cursor stays past the DC whatever follows
    clear(pCoeffs, 1);  // codedFlag 0 clears 1..63 too
    OpxResult result = opxOk;
    if (codedFlag) {
        const H263Dequant dq = h263_dequant(qp, !mq);
        const LoopResult lr = event_loop(
            r, 0, [mq](ByteReader& rr, Event& ev) { return read_h263(rr, false, mq, ev); },
            [&](int i, int level) { pCoeffs[kScan[0][i]] = dq(level); });
        if (lr.ok) {
            commit(r, ppBitStream, pBitOffset);
            *pLastIndex = lr.reached;
        } else {
            *pLastIndex = lr.written;
            result = opxErrVlcCode;
        }
    } else {
        *pLastIndex = 0;
    }
    pCoeffs[0] = static_cast<Opx16s>(8 * dc);
    return result;
}

OpxResult opxiReconstructCoeffsInter_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                Opx16s* pCoeffs, Opx32s* pLastIndex, Opx32s qp,
                                                Opx32s modQuantFlag) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    OPX_CHECK(qp >= 1 && qp <= 31, opxErrQp);
    ByteReader r(*ppBitStream, *pBitOffset);
    const bool mq = modQuantFlag != 0;
    const H263Dequant dq = h263_dequant(qp, !mq);
    clear(pCoeffs, 0);
    const LoopResult lr = event_loop(
        r, -1, [mq](ByteReader& rr, Event& ev) { return read_h263(rr, false, mq, ev); },
        [&](int i, int level) { pCoeffs[kScan[0][i]] = dq(level); });
    if (!lr.ok) {
        *pLastIndex = lr.written;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}

OpxResult opxiReconstructCoeffsInter_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                 Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                 Opx32s rvlcFlag, Opx32s scan,
                                                 const OpxQuantInvInterStateMPEG4* pState,
                                                 Opx32s qp) noexcept {
    OPX_CHECK_NULL(ppBitStream, pBitOffset);
    OPX_CHECK_NULL(*ppBitStream, pCoeffs, pLastIndex);
    OPX_CHECK_CURSOR(ppBitStream, pBitOffset);
    // The record and QP are checked before anything is read or written, with or without
    // reversible codes.
    OPX_CHECK_NULL(pState);
    const QuantInvRecord* rec = align_record<QuantInvRecord>(pState);
    OPX_CHECK(rec->id == kIdQuantInvInter, opxErrContextMatch);
    OPX_CHECK(qp >= 1 && qp <= max_qp(rec->bits_per_pixel), opxErrQp);

    const std::uint8_t* s = scan == 1 ? kScan[1] : kScan[0];
    ByteReader r(*ppBitStream, *pBitOffset);
    clear(pCoeffs, 0);
    if (rvlcFlag) {
        *pLastIndex = -1;
        const LoopResult lr = event_loop(
            r, -1, [](ByteReader& rr, Event& ev) { return read_rvlc(rr, false, ev); },
            [&](int i, int level) { pCoeffs[s[i]] = static_cast<Opx16s>(level); });
        if (!lr.ok) {
            *pLastIndex = lr.reached;
            return opxErrVlcCode;
        }
        commit(r, ppBitStream, pBitOffset);
        *pLastIndex = lr.reached;
        return opxiQuantInvInter_MPEG4_16s_C1I(pCoeffs, 63, pState, qp);
    }
    const std::int32_t hi = (1 << (rec->bits_per_pixel + 3)) - 1, lo = -hi - 1;
    std::int32_t sum = 0;
    LoopResult lr;
    auto read = [](ByteReader& rr, Event& ev) { return read_mpeg4(rr, false, ev); };
    if (rec->matrix) {
        // ((2L + sign L) W QP) / 16 truncated, saturated to 16 bits, clamped; mismatch control.
        lr = event_loop(r, -1, read, [&](int i, int level) {
            const int k = s[i];
            std::int64_t f = 0;
            if (level != 0)
                f = (2 * std::int64_t{level} + (level < 0 ? -1 : 1)) * rec->weight[k] * qp / 16;
            const std::int32_t v = clamp32(clamp32(f, -32768, 32767), lo, hi);
            sum += v - pCoeffs[k];
            pCoeffs[k] = static_cast<Opx16s>(v);
        });
        if (lr.ok && (sum & 1) == 0)
            pCoeffs[63] = static_cast<Opx16s>((pCoeffs[63] & 1) ? pCoeffs[63] - 1 : pCoeffs[63] + 1);
    } else {
        const H263Dequant dq{2 * qp, odd_offset(qp), lo, hi};
        lr = event_loop(r, -1, read, [&](int i, int level) { pCoeffs[s[i]] = dq(level); });
    }
    if (!lr.ok) {
        *pLastIndex = lr.reached;
        return opxErrVlcCode;
    }
    commit(r, ppBitStream, pBitOffset);
    *pLastIndex = lr.reached;
    return opxOk;
}
