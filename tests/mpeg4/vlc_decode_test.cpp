// Coefficient decoders, DC decoders and reconstructors: the rules' cases, escapes, cursor
// handling on success and failure, the mended faults and the result codes.
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

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

// One call of a coefficient decoder or reconstructor on a stream of the sink's bits after
// `prefix` filler bits, every coefficient holding `fill` before it: the result, the named
// coefficients (raster index, value), every other coefficient, the last index and the bits
// consumed after it (kAny: not checked); the canaries around the block always.
using DecodeFn = std::function<OpxResult(Opx8u** pp, Opx32s* po, Opx16s* c, Opx32s* last)>;
#define OPX_DECODE(...) \
    DecodeFn([=](Opx8u** pp, Opx32s* po, Opx16s* c, Opx32s* last) { return __VA_ARGS__; })
constexpr int kAny = 0x7FFFFFFF;
void expect_decode(const std::string& what, const BitSink& bits, int prefix, int fill,
                   const DecodeFn& call, OpxResult result,
                   const std::vector<std::pair<int, int>>& named, int others, Opx32s last,
                   long consumed) {
    SCOPED_TRACE(what);
    Stream st(bits, prefix);
    Block b;
    for (int i = 0; i < 64; ++i) b[i] = static_cast<Opx16s>(fill);
    Opx32s got_last = -7777;
    EXPECT_EQ(call(&st.p, &st.off, b.data(), &got_last), result);
    std::vector<int> want(64, others);
    for (auto [i, v] : named) want[i] = v;
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(want[i] == kAny || b[i] == want[i]) << "coefficient " << i << ": " << b[i];
    EXPECT_TRUE(last == kAny || got_last == last) << "last index " << got_last;
    EXPECT_TRUE(consumed == kAny || st.consumed(prefix) == consumed)
        << "consumed " << st.consumed(prefix);
    EXPECT_TRUE(b.canaries_intact());
}

TEST(Mpeg4DecodeRules, Mpeg4CoefficientCases) {
    // Intra: 0,0,1 + then 1,0,1 −, from every start position, with and without a separate DC.
    BitSink one;
    one.put(0b10, 2), one.put(0, 1), one.put(0b0111, 4), one.put(1, 1);
    for (int prefix = 0; prefix < 8; ++prefix)
        for (int sep = 0; sep < 2; ++sep)
            expect_decode("intra, separate DC " + std::to_string(sep), one, prefix, 77,
                          OPX_DECODE(opxiDecodeCoeffsIntra_MPEG4_1u16s(pp, po, c, last, 0, sep, 0)),
                          opxOk, {{0, sep ? 77 : 1}, {kScan[0][sep], 1}, {kScan[0][sep + 1], -1}},
                          0, sep + 1, 8);
    // Inter scans: 0 zigzag, 1 alternate vertical, anything else (2 included) unscanned.
    BitSink two;
    two.put_event(kInterCodes, 0, 4, 1), two.put_event(kInterCodes, 1, 0, 2);
    for (auto [scan, t] : {std::pair<int, const std::uint8_t*>{0, kScan[0]},
                           {1, kScan[1]},
                           {2, nullptr},
                           {-1, nullptr},
                           {7, nullptr}})
        expect_decode("inter scan " + std::to_string(scan), two, 3, 3,
                      OPX_DECODE(opxiDecodeCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, scan)),
                      opxOk, {{t ? t[4] : 4, 1}, {t ? t[5] : 5, 2}}, 0, 5,
                      static_cast<long>(two.size()));
    // Inter escapes: mode 1 adds LMAX(0, 0) = 12; mode 2 adds RMAX(0, 1) + 1 = 27; mode 3 fixed
    // length (LAST 1, RUN 5, LEVEL −2000).
    BitSink esc;
    esc.put(0x3, 7), esc.put(0, 1), esc.put_event(kInterCodes, 0, 0, -1);
    esc.put(0x3, 7), esc.put(0b10, 2), esc.put_event(kInterCodes, 0, 0, 1);
    esc.put(0x3, 7), esc.put(0b11, 2), esc.put(1, 1), esc.put(5, 6), esc.put(1, 1);
    esc.put(0x800 + 0x30, 12), esc.put(1, 1);
    expect_decode("escape modes", esc, 5, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, -1)), opxOk,
                  {{0, -13}, {28, 1}, {34, -2000}}, 0, 34, static_cast<long>(esc.size()));
    // Escape mode 3 with level 0 (invalid in intra blocks, a zero in inter ones), level −2048
    // and either marker bit 0.
    auto esc3 = [](int level, int m1, int m2) {
        BitSink s;
        s.put(0x3, 7), s.put(0b11, 2), s.put(1, 1), s.put(0, 6), s.put(m1, 1);
        s.put(static_cast<std::uint32_t>(level) & 0xFFF, 12), s.put(m2, 1);
        return s;
    };
    expect_decode("intra escape level 0", esc3(0, 1, 1), 0, 3,
                  OPX_DECODE(opxiDecodeCoeffsIntra_MPEG4_1u16s(pp, po, c, last, 0, 0, 0)),
                  opxErrVlcCode, {}, kAny, kAny, 0);
    expect_decode("inter escape level 0", esc3(0, 1, 1), 0, 5,
                  OPX_DECODE(opxiDecodeCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, 0)), opxOk,
                  {{0, 0}}, kAny, 0, kAny);
    for (auto [level, m1, m2] : {std::tuple{-2048, 1, 1}, {5, 0, 1}, {5, 1, 0}})
        expect_decode("inter escape " + std::to_string(level) + " markers " + std::to_string(m1) +
                          std::to_string(m2),
                      esc3(level, m1, m2), 0, 3,
                      OPX_DECODE(opxiDecodeCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, 0)),
                      opxErrVlcCode, {}, kAny, kAny, kAny);
    // A run past position 63: the last index each family reports, the cursor as on entry.
    BitSink past;
    for (int i = 0; i < 3; ++i) past.put_event(kInterCodes, 0, 20, 1);
    past.put_event(kInterCodes, 1, 3, 1);  // position 63 + 4 = 67
    expect_decode("MPEG-4 run past 63", past, 2, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, 0)),
                  opxErrVlcCode, {{kScan[0][62], 1}}, kAny, 66, 0);
    expect_decode("H.263 run past 63", past, 2, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_H263_1u16s(pp, po, c, last, 0, 0)),
                  opxErrVlcCode, {}, kAny, 62, 0);
}

TEST(Mpeg4DecodeRules, H263AndH261CoefficientCases) {
    // An escape with the Annex T extended level (35), then (1, 0, 1).
    BitSink t;
    t.put(0x3, 7), t.put(0, 1), t.put(0, 6), t.put(0x80, 8), t.put(0b00011, 5), t.put(1, 6);
    t.put_event(kInterCodes, 1, 0, 1);
    expect_decode("H.263 intra from position 1, Annex T level", t, 1, 99,
                  OPX_DECODE(opxiDecodeCoeffsIntra_H263_1u16s(pp, po, c, last, 0, 1, 0)), opxOk,
                  {{0, 99}, {1, 35}, {8, 1}}, kAny, 2, 33 + 5);
    expect_decode("H.263 inter without Annex T", t, 1, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_H263_1u16s(pp, po, c, last, 0, 0)),
                  opxErrVlcCode, {}, kAny, -1, kAny);
    expect_decode("H.263 inter with Annex T", t, 1, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_H263_1u16s(pp, po, c, last, 1, 0)), opxOk,
                  {{0, 35}}, kAny, 1, kAny);
    // Annex I: 1111 is (0, 1, 1), decoding from position 0.
    BitSink aic;
    aic.put(0b1111, 4), aic.put(1, 1), aic.put(0b0111, 4), aic.put(0, 1);
    expect_decode("H.263 advanced intra coding", aic, 0, 99,
                  OPX_DECODE(opxiDecodeCoeffsIntra_H263_1u16s(pp, po, c, last, 1, 0, 1)), opxOk,
                  {{0, 0}, {kScan[1][1], -1}, {kScan[1][2], 1}}, kAny, kAny, kAny);
    // H.261: 11 is the first coefficient −1; EOB 10.
    BitSink first;
    first.put(0b11, 2), first.put_event(kH261Codes, 0, 1, 1), first.put(0b10, 2);
    expect_decode("H.261 inter first coefficient", first, 6, 3,
                  OPX_DECODE(opxiDecodeCoeffsInter_H261_1u16s(pp, po, c, last, 0)), opxOk,
                  {{0, -1}, {kScan[0][2], 1}}, kAny, 2, 8);
    expect_decode("H.261 inter reconstructed", first, 6, 3,
                  OPX_DECODE(opxiReconstructCoeffsInter_H261_1u16s(pp, po, c, last, 10)), opxOk,
                  {{0, -(20 + 9)}, {kScan[0][2], 29}}, kAny, kAny, kAny);
    // H.261 intra DC bytes: 0 and 128 are invalid (nothing changes), 255 means 128.
    for (int code : {0, 128, 255, 17}) {
        BitSink d;
        d.put(static_cast<std::uint32_t>(code), 8), d.put(0b10, 2);
        const bool bad = code == 0 || code == 128;
        expect_decode("H.261 intra DC " + std::to_string(code), d, 3, 5,
                      OPX_DECODE(opxiDecodeCoeffsIntra_H261_1u16s(pp, po, c, last, 0)),
                      bad ? opxErrVlcCode : opxOk,
                      {{0, bad           ? 5
                           : code == 255 ? 128
                                         : code}},
                      bad ? 5 : kAny, bad ? -1 : 0, bad ? 0 : 10);
        expect_decode("H.261 intra DC reconstructed " + std::to_string(code), d, 3, 5,
                      OPX_DECODE(opxiReconstructCoeffsIntra_H261_1u16s(pp, po, c, last, 4)),
                      bad ? opxErrVlcCode : opxOk,
                      {{0, bad           ? kAny
                           : code == 255 ? 1024
                                         : 8 * code}},
                      kAny, bad ? -1 : kAny, kAny);
    }
    // A DC byte, then an invalid code: the DC stays consumed (and placed), the events do not.
    BitSink dc;
    dc.put(40, 8), dc.put(0, 12);
    expect_decode("H.261 intra DC then an invalid code", dc, 4, 3,
                  OPX_DECODE(opxiDecodeCoeffsIntra_H261_1u16s(pp, po, c, last, 0)), opxErrVlcCode,
                  {{0, 40}}, kAny, kAny, 8);
    expect_decode("H.263 intra reconstructed, coded, then an invalid code", dc, 4, 3,
                  OPX_DECODE(opxiReconstructCoeffsIntra_H263_1u16s(pp, po, c, last, 1, 5, 0, 0, 0)),
                  opxErrVlcCode, {{0, 320}}, kAny, 0, 8);
    expect_decode("H.263 intra reconstructed, codedFlag 0 clears 1..63", dc, 4, 3,
                  OPX_DECODE(opxiReconstructCoeffsIntra_H263_1u16s(pp, po, c, last, 0, 5, 0, 0, 0)),
                  opxOk, {{0, 320}}, 0, 0, 8);
    expect_decode("H.261 inter reconstructed, an invalid code", dc, 4, 3,
                  OPX_DECODE(opxiReconstructCoeffsInter_H261_1u16s(pp, po, c, last, 5)),
                  opxErrVlcCode, {}, kAny, kAny, 0);
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
        s.put_text(c.bits);
        const long n = static_cast<long>(s.size());
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

TEST(Mpeg4DecodeRules, Mpeg4ReconstructionCases) {
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(16 + i);
    RecordMemory mm(156, 3), mh(156, 11), mp(156, 0);
    const auto* matrix = inv_record<OpxQuantInvInterStateMPEG4>(mm, w, 8, true);
    const auto* plain = inv_record<OpxQuantInvInterStateMPEG4>(mh, nullptr, 8, true);
    const auto* inter = inv_record<OpxQuantInvInterStateMPEG4>(mp, nullptr, 8, true);
    BitSink s;
    s.put_event(kInterCodes, 0, 0, 1), s.put_event(kInterCodes, 0, 1, -2);
    s.put_event(kInterCodes, 1, 0, 3);
    expect_decode(
        "H.263 method", s, 0, 3,
        OPX_DECODE(opxiReconstructCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, 0, plain, 4)), opxOk,
        {{0, 11}, {8, -19}, {16, 27}}, kAny, 3, kAny);
    // Alternate vertical: positions 0, 2, 3 → raster 0, 16, 24; the sum 21 is odd.
    expect_decode(
        "matrix method", s, 0, 3,
        OPX_DECODE(opxiReconstructCoeffsInter_MPEG4_1u16s(pp, po, c, last, 0, 1, matrix, 2)), opxOk,
        {{0, 3 * 16 * 2 / 16}, {16, -(5 * 32 * 2 / 16)}, {24, 7 * 40 * 2 / 16}, {63, 0}}, kAny,
        kAny, kAny);
    // Reversible codes or not: the decoded last position (LAST at position 0).
    for (int rvlc = 0; rvlc < 2; ++rvlc) {
        BitSink r;
        if (rvlc)
            r.put_event(kRvlcInterCodes, 1, 0, 1);
        else
            r.put_event(kInterCodes, 1, 0, 1);
        expect_decode(
            "reversible " + std::to_string(rvlc), r, 3, 9,
            OPX_DECODE(opxiReconstructCoeffsInter_MPEG4_1u16s(pp, po, c, last, rvlc, 0, inter, 3)),
            opxOk, {{0, 9}}, kAny, 0, kAny);
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
