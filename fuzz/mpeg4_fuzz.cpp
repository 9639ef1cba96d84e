// MPEG-4 / H.263 / H.261 coefficient coding. Input: a selector byte, a flag byte, then data.
//
// Selectors 0..14: one decoder, DC decoder or reconstructor on the data as a stream. The stream
// sits in an exact-size heap buffer with 12 zero bytes after it (zeros end every code within
// two events, and forward readers may look three bytes ahead) and 8 zero bytes before it (the
// backward readers stop at the first marker bit of the zeros); AddressSanitizer sees any access
// beyond. The block has canaries on both sides.
// Selector 15..20: an encode → decode round trip of the 64 levels taken from the data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "opxvc.h"

namespace {

struct Guarded {
    Opx16s mem[64 + 32];
    Guarded() {
        for (auto& v : mem) v = 0x5A5A;
    }
    Opx16s* block() { return mem + 16; }
    void check() const {
        for (int i = 0; i < 16; ++i)
            if (mem[i] != 0x5A5A || mem[80 + i] != 0x5A5A) __builtin_trap();
    }
};

const OpxQuantInvInterStateMPEG4* inv_record(bool matrix) {
    static std::vector<std::uint8_t> rec[2];
    std::vector<std::uint8_t>& r = rec[matrix];
    if (r.empty()) {
        r.assign(156, 0);
        Opx8u w[64];
        for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(1 + i * 4);
        opxiQuantInvInterInit_MPEG4(matrix ? w : nullptr,
                                    reinterpret_cast<OpxQuantInvInterStateMPEG4*>(r.data()), 8);
    }
    return reinterpret_cast<const OpxQuantInvInterStateMPEG4*>(r.data());
}

void decode(int sel, int flags, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> buf(8 + size + 12, 0);
    if (size) std::memcpy(buf.data() + 8, data, size);
    Opx8u* start = buf.data() + 8;
    Opx8u* p = start;
    Opx32s off = flags & 7;
    const int f1 = (flags >> 3) & 1, f2 = (flags >> 4) & 1, scan = ((flags >> 5) & 3) - 1;
    if (sel == 2 || sel == 3) {  // backward: start at the last bit of the data
        if (size == 0) return;
        p = start + size - 1;
    }
    Guarded g;
    Opx32s last = 0;
    Opx16s dc = 0;
    OpxResult r = opxOk;
    const Opx32s qp = 1 + (flags >> 3) % 31;
    switch (sel) {
    case 0: r = opxiDecodeCoeffsIntra_MPEG4_1u16s(&p, &off, g.block(), &last, f1, f2, scan); break;
    case 1: r = opxiDecodeCoeffsInter_MPEG4_1u16s(&p, &off, g.block(), &last, f1, scan); break;
    case 2: r = opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s(&p, &off, g.block(), &last, f1); break;
    case 3: r = opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, g.block(), &last); break;
    case 4: r = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, g.block(), &last, f1, f2, scan); break;
    case 5: r = opxiDecodeCoeffsInter_H263_1u16s(&p, &off, g.block(), &last, f2, scan); break;
    case 6: r = opxiDecodeCoeffsIntra_H261_1u16s(&p, &off, g.block(), &last, scan); break;
    case 7: r = opxiDecodeCoeffsInter_H261_1u16s(&p, &off, g.block(), &last, scan); break;
    case 8: r = opxiDecodeDCIntra_MPEG4_1u16s(&p, &off, &dc, f1); break;
    case 9: r = opxiDecodeDCIntra_H263_1u16s(&p, &off, &dc); break;
    case 10: r = opxiReconstructCoeffsIntra_H261_1u16s(&p, &off, g.block(), &last, qp); break;
    case 11: r = opxiReconstructCoeffsInter_H261_1u16s(&p, &off, g.block(), &last, qp); break;
    case 12:
        r = opxiReconstructCoeffsIntra_H263_1u16s(&p, &off, g.block(), &last, f1, qp, f2, scan,
                                                  flags >> 7);
        break;
    case 13: r = opxiReconstructCoeffsInter_H263_1u16s(&p, &off, g.block(), &last, qp, f2); break;
    default:
        r = opxiReconstructCoeffsInter_MPEG4_1u16s(&p, &off, g.block(), &last, f1, scan,
                                                   inv_record(f2), qp);
        break;
    }
    g.check();
    if (r != opxOk && r != opxErrVlcCode) __builtin_trap();
    if (off < 0 || off > 7) __builtin_trap();
}

void round_trip(int sel, int flags, const std::uint8_t* data, std::size_t size) {
    Opx16s c[64] = {};
    const int f1 = flags & 1, f2 = (flags >> 1) & 1, scan = ((flags >> 2) & 3) - 1;
    const int maxmag = sel <= 16 ? 2047 : (sel <= 18 && f2) ? 1023 : 127;
    for (std::size_t i = 0; i + 1 < size && i / 2 < 64; i += 2) {
        const int v = static_cast<std::int16_t>(data[i] | data[i + 1] << 8) % (maxmag + 1);
        c[i / 2] = static_cast<Opx16s>(v);
    }
    if (sel == 19) c[0] = static_cast<Opx16s>(1 + (c[0] & 0xFF) % 254);
    const int start = (sel == 15 && f2) || (sel == 17 && !f1) || sel == 19 ? 1 : 0;
    int n = 0;
    for (int i = start; i < 64; ++i) n += c[i] != 0;
    if (sel == 19) ++n;
    if (n == 0 || n > 64 - start) return;
    std::vector<std::uint8_t> buf(64 * 33 / 8 + 16, 0);
    Opx8u* p = buf.data();
    Opx32s off = flags >> 5;
    OpxResult r;
    switch (sel) {
    case 15: r = opxiEncodeCoeffsIntra_MPEG4_16s1u(c, &p, &off, n, f1, f2, scan); break;
    case 16: r = opxiEncodeCoeffsInter_MPEG4_16s1u(c, &p, &off, n, f1, scan == 2 ? 0 : scan); break;
    case 17: r = opxiEncodeCoeffsIntra_H263_16s1u(c, &p, &off, n, f1, f2, scan); break;
    case 18: r = opxiEncodeCoeffsInter_H263_16s1u(c, &p, &off, n, f2, scan); break;
    case 19: r = opxiEncodeCoeffsIntra_H261_16s1u(c, &p, &off, n, scan == -1 ? -1 : 0); break;
    default: r = opxiEncodeCoeffsInter_H261_16s1u(c, &p, &off, n, scan == -1 ? -1 : 0); break;
    }
    if (r != opxOk) __builtin_trap();
    Opx8u* q = buf.data();
    Opx32s qoff = flags >> 5;
    Guarded g;
    g.block()[0] = c[0];
    Opx32s last = 0;
    switch (sel) {
    case 15: r = opxiDecodeCoeffsIntra_MPEG4_1u16s(&q, &qoff, g.block(), &last, f1, f2, scan); break;
    case 16: r = opxiDecodeCoeffsInter_MPEG4_1u16s(&q, &qoff, g.block(), &last, f1, scan == 2 ? 0 : scan); break;
    case 17: r = opxiDecodeCoeffsIntra_H263_1u16s(&q, &qoff, g.block(), &last, f1, f2, scan); break;
    case 18: r = opxiDecodeCoeffsInter_H263_1u16s(&q, &qoff, g.block(), &last, f2, scan); break;
    case 19: r = opxiDecodeCoeffsIntra_H261_1u16s(&q, &qoff, g.block(), &last, scan == -1 ? -1 : 0); break;
    default: r = opxiDecodeCoeffsInter_H261_1u16s(&q, &qoff, g.block(), &last, scan == -1 ? -1 : 0); break;
    }
    g.check();
    if (r != opxOk || q != p || qoff != off) __builtin_trap();
    if (std::memcmp(g.block(), c, sizeof c) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int sel = data[0] % 21, flags = data[1];
    if (sel < 15)
        decode(sel, flags, data + 2, size - 2);
    else
        round_trip(sel, flags, data + 2, size - 2);
    return 0;
}
