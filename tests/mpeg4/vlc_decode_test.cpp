// Coefficient decoders, DC decoders and reconstructors: the rules' cases, escapes, cursor
// handling on success and failure, the mended faults and the result codes.
#include <cstring>

#include "mpeg4/bit_sink.hpp"
#include "mpeg4/mpeg4_util.hpp"
#include "mpeg4/quant.hpp"
#include "mpeg4/vlc_tables.hpp"

namespace opx::test::mpeg4 {
namespace {

using namespace opx::mpeg4;

// A stream of the sink's bits after `prefix` filler bits, with a cursor on its first bit.
struct Stream {
    std::vector<std::uint8_t> buf;
    Opx8u* p;
    Opx32s off;
    Stream(const BitSink& s, int prefix) : buf(s.bytes(prefix)) {
        p = buf.data() + prefix / 8;
        off = prefix % 8;
    }
    // Bits consumed since the start of the sink's bits.
    long consumed(int prefix) const { return (p - buf.data()) * 8 + off - prefix; }
};

TEST(Mpeg4DecodeRules, IntraDcSeparateAndStartPositions) {
    BitSink s;
    s.put(0b10, 2), s.put(0, 1);    // 0,0,1 +
    s.put(0b0111, 4), s.put(1, 1);  // 1,0,1 −
    for (int prefix = 0; prefix < 8; ++prefix) {
        for (int sep = 0; sep < 2; ++sep) {
            Stream st(s, prefix);
            Block b;
            for (int i = 0; i < 64; ++i) b[i] = 77;
            Opx32s last = -9;
            ASSERT_EQ(opxiDecodeCoeffsIntra_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, sep, 0),
                      opxOk);
            EXPECT_EQ(st.consumed(prefix), 8);
            const int p1 = sep ? 1 : 0;
            EXPECT_EQ(b[kScan[0][p1]], 1);
            EXPECT_EQ(b[kScan[0][p1 + 1]], -1);
            EXPECT_EQ(last, p1 + 1);
            EXPECT_EQ(b[0], sep ? 77 : 1);
            int nonzero = 0;
            for (int i = 0; i < 64; ++i) nonzero += b[i] != 0;
            EXPECT_EQ(nonzero, sep ? 3 : 2);
            EXPECT_TRUE(b.canaries_intact());
        }
    }
}

TEST(Mpeg4DecodeRules, ScanArgumentsPerFunction) {
    BitSink s;
    s.put_event(kInterCodes, 0, 4, 1), s.put_event(kInterCodes, 1, 0, 2);
    // Inter MPEG-4: 0 zigzag, 1 alternate vertical, anything else (2 included) unscanned.
    const std::pair<int, const std::uint8_t*> cases[] = {
        {0, kScan[0]}, {1, kScan[1]}, {2, nullptr}, {-1, nullptr}, {7, nullptr}};
    for (auto [scan, table] : cases) {
        Stream st(s, 3);
        Block b;
        Opx32s last = 0;
        ASSERT_EQ(opxiDecodeCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, scan), opxOk);
        EXPECT_EQ(b[table ? table[4] : 4], 1) << scan;
        EXPECT_EQ(b[table ? table[5] : 5], 2) << scan;
        EXPECT_EQ(last, 5);
    }
}

TEST(Mpeg4DecodeRules, EscapeModes) {
    // Inter: mode 1 adds LMAX(0, 0) = 12; mode 2 adds RMAX(0, 1) + 1 = 27; mode 3 fixed length.
    BitSink s;
    s.put(0x3, 7), s.put(0, 1), s.put_event(kInterCodes, 0, 0, -1);
    s.put(0x3, 7), s.put(0b10, 2), s.put_event(kInterCodes, 0, 0, 1);
    s.put(0x3, 7), s.put(0b11, 2), s.put(1, 1), s.put(5, 6), s.put(1, 1), s.put(0x800 + 0x30, 12),
        s.put(1, 1);  // LAST 1, RUN 5, LEVEL −2000
    Stream st(s, 5);
    Block b;
    Opx32s last = 0;
    ASSERT_EQ(opxiDecodeCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, -1), opxOk);
    EXPECT_EQ(b[0], -13);
    EXPECT_EQ(b[28], 1);
    EXPECT_EQ(b[34], -2000);
    EXPECT_EQ(last, 34);
    EXPECT_EQ(st.consumed(5), static_cast<long>(s.size()));
}

TEST(Mpeg4DecodeRules, EscapeModeThreeLevelZeroAndMarkers) {
    auto esc3 = [](int level, int m1, int m2) {
        BitSink s;
        s.put(0x3, 7), s.put(0b11, 2), s.put(1, 1), s.put(0, 6), s.put(m1, 1),
            s.put(static_cast<std::uint32_t>(level) & 0xFFF, 12), s.put(m2, 1);
        return s;
    };
    Opx32s last = 0;
    {
        Stream st(esc3(0, 1, 1), 0);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsIntra_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 0, 0),
                  opxErrVlcCode);
        EXPECT_EQ(st.off, 0);
        EXPECT_EQ(st.p, st.buf.data());
    }
    {
        Stream st(esc3(0, 1, 1), 0);
        Block b;
        b[0] = 5;
        EXPECT_EQ(opxiDecodeCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 0), opxOk);
        EXPECT_EQ(b[0], 0);
        EXPECT_EQ(last, 0);
    }
    for (auto [level, m1, m2] : {std::tuple{-2048, 1, 1}, {5, 0, 1}, {5, 1, 0}}) {
        Stream st(esc3(level, m1, m2), 0);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 0),
                  opxErrVlcCode);
    }
}

TEST(Mpeg4DecodeRules, RunBeyond63AndTheLastIndexPerFamily) {
    BitSink s;
    for (int i = 0; i < 3; ++i) s.put_event(kInterCodes, 0, 20, 1);
    s.put_event(kInterCodes, 1, 3, 1);  // position 63 + 4 = 67
    Opx32s last = 0;
    {
        Stream st(s, 2);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 0), opxErrVlcCode);
        EXPECT_EQ(last, 66);
        EXPECT_EQ(st.consumed(2), 0);
        EXPECT_EQ(b[kScan[0][62]], 1);
    }
    {
        Stream st(s, 2);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsInter_H263_1u16s(&st.p, &st.off, b.data(), &last, 0, 0), opxErrVlcCode);
        EXPECT_EQ(last, 62);
        EXPECT_EQ(st.consumed(2), 0);
    }
}

TEST(Mpeg4DecodeRules, H263StartPositionsAndAnnexTExtendedLevel) {
    BitSink s;
    s.put(0x3, 7), s.put(0, 1), s.put(0, 6), s.put(0x80, 8), s.put(0b00011, 5), s.put(1, 6);
    s.put_event(kInterCodes, 1, 0, 1);
    Opx32s last = 0;
    {
        Stream st(s, 1);
        Block b;
        b[0] = 99;
        ASSERT_EQ(opxiDecodeCoeffsIntra_H263_1u16s(&st.p, &st.off, b.data(), &last, 0, 1, 0), opxOk);
        EXPECT_EQ(b[0], 99);
        EXPECT_EQ(b[1], 35);
        EXPECT_EQ(b[8], 1);
        EXPECT_EQ(last, 2);
        EXPECT_EQ(st.consumed(1), 33 + 5);
    }
    {
        Stream st(s, 1);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsInter_H263_1u16s(&st.p, &st.off, b.data(), &last, 0, 0), opxErrVlcCode);
        EXPECT_EQ(last, -1);
    }
    {
        Stream st(s, 1);
        Block b;
        ASSERT_EQ(opxiDecodeCoeffsInter_H263_1u16s(&st.p, &st.off, b.data(), &last, 1, 0), opxOk);
        EXPECT_EQ(b[0], 35);
        EXPECT_EQ(last, 1);
    }
    // Annex I: 1111 is (0, 1, 1), decoding from position 0.
    BitSink a;
    a.put(0b1111, 4), a.put(1, 1), a.put(0b0111, 4), a.put(0, 1);
    Stream st(a, 0);
    Block b;
    b[0] = 99;
    ASSERT_EQ(opxiDecodeCoeffsIntra_H263_1u16s(&st.p, &st.off, b.data(), &last, 1, 0, 1), opxOk);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[kScan[1][1]], -1);
    EXPECT_EQ(b[kScan[1][2]], 1);
}

TEST(Mpeg4DecodeRules, H261FirstCoefficientIntraDcAndEob) {
    BitSink s;
    s.put(0b11, 2), s.put_event(kH261Codes, 0, 1, 1), s.put(0b10, 2);
    Opx32s last = 0;
    {
        Stream st(s, 6);
        Block b;
        ASSERT_EQ(opxiDecodeCoeffsInter_H261_1u16s(&st.p, &st.off, b.data(), &last, 0), opxOk);
        EXPECT_EQ(b[0], -1);
        EXPECT_EQ(b[kScan[0][2]], 1);
        EXPECT_EQ(last, 2);
        EXPECT_EQ(st.consumed(6), 8);
    }
    {
        Stream st(s, 6);
        Block b;
        ASSERT_EQ(opxiReconstructCoeffsInter_H261_1u16s(&st.p, &st.off, b.data(), &last, 10), opxOk);
        EXPECT_EQ(b[0], -(20 + 9));
        EXPECT_EQ(b[kScan[0][2]], 29);
    }
    for (int code : {0, 128, 255, 17}) {
        BitSink d;
        d.put(static_cast<std::uint32_t>(code), 8), d.put(0b10, 2);
        Stream st(d, 3), st2(d, 3);
        Block b, r;
        for (int i = 0; i < 64; ++i) b[i] = r[i] = 5;
        const OpxResult e1 = opxiDecodeCoeffsIntra_H261_1u16s(&st.p, &st.off, b.data(), &last, 0);
        const Opx32s last1 = last;
        const OpxResult e2 = opxiReconstructCoeffsIntra_H261_1u16s(&st2.p, &st2.off, r.data(), &last, 4);
        if (code == 0 || code == 128) {
            EXPECT_EQ(e1, opxErrVlcCode);
            EXPECT_EQ(e2, opxErrVlcCode);
            EXPECT_EQ(last1, -1);
            EXPECT_EQ(last, -1);
            EXPECT_EQ(b[0], 5);  // nothing else changes
            EXPECT_EQ(st.consumed(3), 0);
        } else {
            ASSERT_EQ(e1, opxOk);
            ASSERT_EQ(e2, opxOk);
            EXPECT_EQ(b[0], code == 255 ? 128 : code);
            EXPECT_EQ(r[0], code == 255 ? 1024 : 8 * code);
            EXPECT_EQ(last1, 0);
            EXPECT_EQ(st.consumed(3), 10);
        }
    }
}

TEST(Mpeg4DecodeRules, IntraDcByteStaysConsumedWhenTheEventsFail) {
    BitSink s;
    s.put(40, 8), s.put(0, 12);  // a DC, then an invalid code
    Opx32s last = 0;
    {
        Stream st(s, 4);
        Block b;
        EXPECT_EQ(opxiDecodeCoeffsIntra_H261_1u16s(&st.p, &st.off, b.data(), &last, 0), opxErrVlcCode);
        EXPECT_EQ(st.consumed(4), 8);
        EXPECT_EQ(b[0], 40);
    }
    {
        Stream st(s, 4);
        Block b;
        EXPECT_EQ(opxiReconstructCoeffsIntra_H263_1u16s(&st.p, &st.off, b.data(), &last, 1, 5, 0, 0, 0),
                  opxErrVlcCode);
        EXPECT_EQ(st.consumed(4), 8);
        EXPECT_EQ(b[0], 320);
        EXPECT_EQ(last, 0);
    }
    {
        Stream st(s, 4);
        Block b;
        for (int i = 0; i < 64; ++i) b[i] = 3;
        ASSERT_EQ(opxiReconstructCoeffsIntra_H263_1u16s(&st.p, &st.off, b.data(), &last, 0, 5, 0, 0, 0),
                  opxOk);
        EXPECT_EQ(st.consumed(4), 8);
        EXPECT_EQ(last, 0);
        EXPECT_EQ(b[0], 320);
        for (int i = 1; i < 64; ++i) ASSERT_EQ(b[i], 0);  // codedFlag 0 clears 1..63
    }
    {
        Stream st(s, 4);
        Block b;
        EXPECT_EQ(opxiReconstructCoeffsInter_H261_1u16s(&st.p, &st.off, b.data(), &last, 5), opxErrVlcCode);
        EXPECT_EQ(st.consumed(4), 0);
    }
}

TEST(Mpeg4DecodeRules, Mpeg4DcDifferentials) {
    struct Case {
        const char* bits;
        int chroma;
        int want;  // 9999: invalid
    } cases[] = {{"111", 0, 1},           {"110", 0, -1},     {"1000", 0, -3},
                 {"011", 0, 0},           {"11", 1, 0},       {"10 1", 1, 1},
                 {"0001 11111", 0, 31},   {"0001 00000", 0, -31},
                 {"00000001 101010101 1", 0, 341}, {"00000001 101010101 0", 0, 9999},
                 {"00000000000", 0, 9999}, {"000000000000", 1, 9999},
                 {"00000000001 100000000000 1", 0, 2048}, {"000000000001 011111111111 1", 1, -2048}};
    for (const Case& c : cases) {
        BitSink s;
        int n = 0;
        for (const char* q = c.bits; *q; ++q)
            if (*q != ' ') s.put(*q == '1', 1), ++n;
        Stream st(s, 7);
        Opx16s d = 1234;
        const OpxResult e = opxiDecodeDCIntra_MPEG4_1u16s(&st.p, &st.off, &d, c.chroma);
        if (c.want == 9999) {
            EXPECT_EQ(e, opxErrVlcCode) << c.bits;
            EXPECT_EQ(d, 1234);
            EXPECT_EQ(st.consumed(7), 0);
        } else {
            EXPECT_EQ(e, opxOk) << c.bits;
            EXPECT_EQ(d, c.want) << c.bits;
            EXPECT_EQ(st.consumed(7), n) << c.bits;
        }
    }
    for (int v : {0, 128, 255, 1}) {
        BitSink s;
        s.put(static_cast<std::uint32_t>(v), 8);
        Stream st(s, 2);
        Opx16s d = -5;
        const OpxResult e = opxiDecodeDCIntra_H263_1u16s(&st.p, &st.off, &d);
        EXPECT_EQ(e, v == 0 || v == 128 ? opxErrVlcCode : opxOk);
        EXPECT_EQ(d, v == 0 || v == 128 ? -5 : v == 255 ? 128 : v);
    }
}

template <class S>
S* inv_record(RecordMemory& m, const Opx8u* w, int bits, bool inter) {
    if (inter)
        EXPECT_EQ(opxiQuantInvInterInit_MPEG4(w, m.as<OpxQuantInvInterStateMPEG4>(), bits), opxOk);
    else
        EXPECT_EQ(opxiQuantInvIntraInit_MPEG4(w, m.as<OpxQuantInvIntraStateMPEG4>(), bits), opxOk);
    return m.as<S>();
}

TEST(Mpeg4DecodeRules, Mpeg4ReconstructionBothMethods) {
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(16 + i);
    RecordMemory mm(156, 3), mh(156, 11);
    auto* matrix = inv_record<OpxQuantInvInterStateMPEG4>(mm, w, 8, true);
    auto* plain = inv_record<OpxQuantInvInterStateMPEG4>(mh, nullptr, 8, true);
    BitSink s;
    s.put_event(kInterCodes, 0, 0, 1), s.put_event(kInterCodes, 0, 1, -2), s.put_event(kInterCodes, 1, 0, 3);
    Opx32s last = 0;
    {
        Stream st(s, 0);
        Block b;
        ASSERT_EQ(opxiReconstructCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 0, plain, 4), opxOk);
        EXPECT_EQ(b[0], 11);
        EXPECT_EQ(b[8], -19);
        EXPECT_EQ(b[16], 27);
        EXPECT_EQ(last, 3);
    }
    {
        Stream st(s, 0);
        Block b;
        ASSERT_EQ(opxiReconstructCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, 0, 1, matrix, 2), opxOk);
        // alternate vertical: positions 0, 2, 3 → raster 0, 16, 24
        EXPECT_EQ(b[0], 3 * 16 * 2 / 16);
        EXPECT_EQ(b[16], -(5 * 32 * 2 / 16));
        EXPECT_EQ(b[24], 7 * 40 * 2 / 16);
        const int sum = b[0] + b[16] + b[24];
        EXPECT_EQ(b[63], (sum & 1) ? 0 : 1);
    }
}

TEST(Mpeg4DecodeRules, ReconstructorWithReversibleCodes) {
    RecordMemory mp(156, 0);
    auto* inter = inv_record<OpxQuantInvInterStateMPEG4>(mp, nullptr, 8, true);
    for (int rvlc = 0; rvlc < 2; ++rvlc) {
        BitSink s;
        if (rvlc)
            s.put_event(kRvlcInterCodes, 1, 0, 1);
        else
            s.put_event(kInterCodes, 1, 0, 1);
        Stream st(s, 3);
        Block b;
        for (int i = 0; i < 64; ++i) b[i] = 9;
        Opx32s last = 1234;
        ASSERT_EQ(opxiReconstructCoeffsInter_MPEG4_1u16s(&st.p, &st.off, b.data(), &last, rvlc, 0, inter, 3), opxOk);
        EXPECT_EQ(last, 0);  // the decoded last position
        EXPECT_EQ(b[0], 9);
    }
}

// ---- reversible codes, backward ----------------------------------------------------------------

struct Ev {
    int last, run, level;
};

void put_rvlc(BitSink& s, bool intra, const Ev& e) {
    if (!s.put_event(intra ? kRvlcIntraCodes : kRvlcInterCodes, e.last, e.run, e.level)) {
        s.put(1, 5), s.put(e.last, 1), s.put(e.run, 6), s.put(1, 1);
        s.put(e.level < 0 ? -e.level : e.level, 11), s.put(1, 1), s.put(e.level < 0, 5);
    }
}

TEST(Mpeg4DecodeRules, BackwardReadsNoByteBeforeThePrecedingFinalBit) {
    // The preceding block's LAST code starts the buffer, right after an unreadable page.
    for (int first_off = 0; first_off < 8; ++first_off) {
        BitSink s;
        put_rvlc(s, false, {1, 0, 1});  // preceding block: 1011 and its sign
        put_rvlc(s, false, {0, 1, -1});
        put_rvlc(s, false, {1, 2, 5});
        std::vector<std::uint8_t> bytes = s.bytes(first_off, 0);
        GuardedBuffer g(bytes.size());
        std::memcpy(g.begin(), bytes.data(), bytes.size());
        const long final_bit = first_off + static_cast<long>(s.size()) - 1;
        Opx8u* p = g.begin() + final_bit / 8;
        Opx32s off = static_cast<Opx32s>(final_bit % 8);
        Block b;
        Opx32s last = 0;
        ASSERT_EQ(opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, b.data(), &last), opxOk);
        EXPECT_EQ(p, g.begin() + (first_off + 4) / 8);
        EXPECT_EQ(off, (first_off + 4) % 8);
        EXPECT_EQ(b[1], -1);
        EXPECT_EQ(b[4], 5);
        EXPECT_EQ(last, 4);
    }
}

TEST(Mpeg4DecodeRules, BackwardFirstCodeMustBeLast) {
    BitSink s;
    put_rvlc(s, false, {1, 0, 1});
    put_rvlc(s, false, {0, 0, 2});
    std::vector<std::uint8_t> bytes = s.bytes(0);
    const long final_bit = static_cast<long>(s.size()) - 1;
    Opx8u* p = bytes.data() + final_bit / 8;
    Opx32s off = static_cast<Opx32s>(final_bit % 8);
    Opx8u* p0 = p;
    Block b;
    Opx32s last = 0;
    EXPECT_EQ(opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, b.data(), &last), opxErrVlcCode);
    EXPECT_EQ(p, p0);
}

// ---- null pointers -----------------------------------------------------------------------------

// The stream lies in scratch memory (its bytes decode to whatever they decode to; only the result
// code matters here), the cursor on the stack.
#define OPX_DEC_NULL(fn, ...)                                    \
    OPX_NULL_CASE(fn) {                                          \
        Opx8u* stream = nul(s.u8(0));                            \
        Opx32s off = 0;                                          \
        return fn(nul(&stream), nul(&off), __VA_ARGS__);         \
    }
OPX_DEC_NULL(opxiDecodeCoeffsIntra_MPEG4_1u16s, nul(s.s16(2)), nul(s.s32(3)), 0, 1, 0)
OPX_DEC_NULL(opxiDecodeCoeffsInter_MPEG4_1u16s, nul(s.s16(2)), nul(s.s32(3)), 1, 0)
OPX_DEC_NULL(opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s, nul(s.s16(2)), nul(s.s32(3)), 1)
OPX_DEC_NULL(opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s, nul(s.s16(2)), nul(s.s32(3)))
OPX_DEC_NULL(opxiDecodeCoeffsIntra_H263_1u16s, nul(s.s16(2)), nul(s.s32(3)), 0, 0, 0)
OPX_DEC_NULL(opxiDecodeCoeffsInter_H263_1u16s, nul(s.s16(2)), nul(s.s32(3)), 1, 0)
OPX_DEC_NULL(opxiDecodeCoeffsIntra_H261_1u16s, nul(s.s16(2)), nul(s.s32(3)), 0)
OPX_DEC_NULL(opxiDecodeCoeffsInter_H261_1u16s, nul(s.s16(2)), nul(s.s32(3)), 0)
OPX_DEC_NULL(opxiDecodeDCIntra_MPEG4_1u16s, nul(s.s16(2)), 0)
OPX_DEC_NULL(opxiDecodeDCIntra_H263_1u16s, nul(s.s16(2)))
OPX_DEC_NULL(opxiReconstructCoeffsIntra_H261_1u16s, nul(s.s16(2)), nul(s.s32(3)), 5)
OPX_DEC_NULL(opxiReconstructCoeffsInter_H261_1u16s, nul(s.s16(2)), nul(s.s32(3)), 5)
OPX_DEC_NULL(opxiReconstructCoeffsIntra_H263_1u16s, nul(s.s16(2)), nul(s.s32(3)), 1, 5, 0, 0, 0)
OPX_DEC_NULL(opxiReconstructCoeffsInter_H263_1u16s, nul(s.s16(2)), nul(s.s32(3)), 5, 0)
OPX_DEC_NULL(opxiReconstructCoeffsInter_MPEG4_1u16s, nul(s.s16(2)), nul(s.s32(3)), 0, 0,
             nul(reinterpret_cast<const OpxQuantInvInterStateMPEG4*>(s.u8(4))), 5)

}  // namespace
}  // namespace opx::test::mpeg4
