// Coefficient and DC encoders: random round trips through every encoder/decoder pair (flags,
// scans, start offsets 0..7; the bits before the cursor and the byte after the last one written
// untouched; reversible blocks decoded backwards, escapes included, to the preceding block's
// final bit), the exact bits of the rules' cases, the escape choice and the mended checks.
#include <cstring>
#include <string>

#include "mpeg4/bit_sink.hpp"
#include "mpeg4/mpeg4_util.hpp"
#include "mpeg4/vlc_tables.hpp"

namespace opx::test::mpeg4 {
namespace {

using namespace opx::mpeg4;

// An output buffer of random bytes; the cursor starts at `off` bits into byte 4.
struct Out {
    std::vector<std::uint8_t> buf, orig;
    Opx8u* p;
    Opx32s off;
    int off0;
    Out(Rng& rng, int offset) : buf(400), off0(offset) {
        for (auto& b : buf) b = static_cast<std::uint8_t>(rng.next());
        orig = buf;
        p = buf.data() + 4;
        off = offset;
    }
    long written() const { return (p - buf.data() - 4) * 8 + off - off0; }
    // The bits before the cursor, and every byte after the last one reached, are as they were.
    testing::AssertionResult untouched() const {
        if (std::memcmp(buf.data(), orig.data(), 4) != 0) return testing::AssertionFailure() << "before";
        const int keep_mask = 0xFF00 >> off0 & 0xFF;
        if ((buf[4] & keep_mask) != (orig[4] & keep_mask))
            return testing::AssertionFailure() << "earlier bits of the first byte";
        const std::size_t next = static_cast<std::size_t>(p - buf.data()) + (off ? 1 : 0);
        for (std::size_t i = next; i < buf.size(); ++i)
            if (buf[i] != orig[i]) return testing::AssertionFailure() << "byte " << i << " after the code";
        return testing::AssertionSuccess();
    }
    std::string bits() const {
        std::string s;
        for (long i = 0; i < written(); ++i) {
            const long b = 32 + off0 + i;
            s += (buf[static_cast<std::size_t>(b / 8)] >> (7 - b % 8)) & 1 ? '1' : '0';
        }
        return s;
    }
};

// Random block: `nz` nonzero levels in magnitudes up to `maxmag` (mostly small) at random places.
void random_block(Rng& rng, Opx16s* c, int nz, int maxmag) {
    std::memset(c, 0, 128);
    for (int k = 0; k < nz; ++k) {
        int pos = rng.uniform_int(0, 63);
        int mag = static_cast<int>(rng.uniform(0, 3) ? rng.uniform(1, 4) : rng.uniform(1, maxmag));
        c[pos] = static_cast<Opx16s>(rng.coin() ? -mag : mag);
    }
}
int count_from(const Opx16s* c, int from) {
    int n = 0;
    for (int i = from; i < 64; ++i) n += c[i] != 0;
    return n;
}

enum Pair { kMpeg4Intra, kMpeg4Inter, kH263Intra, kH263Inter, kH261Intra, kH261Inter, kNumPairs };

TEST(Mpeg4EncodeRoundTrip, EveryPairFlagScanAndOffset) {
    Rng rng;
    // (encoder scan, decoder scan) pairs naming the same order in each family.
    const int mpeg4_intra_scans[][2] = {{0, 0}, {1, 1}, {2, 2}, {-1, -1}};
    const int mpeg4_inter_scans[][2] = {{0, 0}, {1, 1}, {-1, -1}};
    const int h263_scans[][2] = {{0, 0}, {1, 1}, {2, 2}, {-1, -1}};
    const int h261_scans[][2] = {{0, 0}, {-1, -1}};
    for (int iter = 0; iter < 6000; ++iter) {
        const Pair pair = static_cast<Pair>(iter % kNumPairs);
        const int offset = (iter / kNumPairs) % 8;
        const int f1 = (iter / 48) & 1, f2 = (iter / 96) & 1;  // the two flags of each pair
        Opx16s c[64];
        const bool mq = pair == kH263Intra || pair == kH263Inter ? f2 : 0;
        const int maxmag = pair <= kMpeg4Inter ? 2047 : (pair <= kH263Inter && mq) ? 1023 : 127;
        random_block(rng, c, rng.uniform_int(1, rng.coin() ? 6 : 64), maxmag);
        int scan_e = 0, scan_d = 0;
        auto pick = [&](const auto& list) {
            const auto& p = list[rng.uniform(0, static_cast<int>(std::size(list)) - 1)];
            scan_e = p[0], scan_d = p[1];
        };
        int start = 0;
        switch (pair) {
        case kMpeg4Intra: pick(mpeg4_intra_scans); start = f2 ? 1 : 0; break;
        case kMpeg4Inter: pick(mpeg4_inter_scans); break;
        case kH263Intra: pick(h263_scans); start = f1 ? 0 : 1; break;
        case kH263Inter: pick(h263_scans); break;
        default: pick(h261_scans); start = pair == kH261Intra ? 1 : 0; break;
        }
        if (pair == kH261Intra) c[0] = static_cast<Opx16s>(rng.uniform(1, 254));
        int nz = count_from(c, start);
        if (nz == 0) {
            c[63] = 1;
            nz = 1;
        }
        const int count = pair == kH261Intra ? nz + 1 : nz;
        // The encoder codes only up to the count-th level: drop a random tail sometimes.
        Out o(rng, offset);
        OpxResult e = opxErrBadArg;
        switch (pair) {
        case kMpeg4Intra: e = opxiEncodeCoeffsIntra_MPEG4_16s1u(c, &o.p, &o.off, count, f1, f2, scan_e); break;
        case kMpeg4Inter: e = opxiEncodeCoeffsInter_MPEG4_16s1u(c, &o.p, &o.off, count, f1, scan_e); break;
        case kH263Intra: e = opxiEncodeCoeffsIntra_H263_16s1u(c, &o.p, &o.off, count, f1, mq, scan_e); break;
        case kH263Inter: e = opxiEncodeCoeffsInter_H263_16s1u(c, &o.p, &o.off, count, mq, scan_e); break;
        case kH261Intra: e = opxiEncodeCoeffsIntra_H261_16s1u(c, &o.p, &o.off, count, scan_e); break;
        default: e = opxiEncodeCoeffsInter_H261_16s1u(c, &o.p, &o.off, count, scan_e); break;
        }
        ASSERT_EQ(e, opxOk) << "pair " << pair;
        ASSERT_TRUE(o.untouched()) << "pair " << pair << " offset " << offset;
        // Decode from the same place.
        Opx8u* p = o.buf.data() + 4;
        Opx32s off = offset;
        Block d;
        d[0] = c[0];  // coefficient 0 is kept where the DC is coded separately
        Opx32s last = -7;
        switch (pair) {
        case kMpeg4Intra: e = opxiDecodeCoeffsIntra_MPEG4_1u16s(&p, &off, d.data(), &last, f1, f2, scan_d); break;
        case kMpeg4Inter: e = opxiDecodeCoeffsInter_MPEG4_1u16s(&p, &off, d.data(), &last, f1, scan_d); break;
        case kH263Intra: e = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, d.data(), &last, f1, mq, scan_d); break;
        case kH263Inter: e = opxiDecodeCoeffsInter_H263_1u16s(&p, &off, d.data(), &last, mq, scan_d); break;
        case kH261Intra: e = opxiDecodeCoeffsIntra_H261_1u16s(&p, &off, d.data(), &last, scan_d); break;
        default: e = opxiDecodeCoeffsInter_H261_1u16s(&p, &off, d.data(), &last, scan_d); break;
        }
        ASSERT_EQ(e, opxOk) << "pair " << pair << " iter " << iter;
        ASSERT_EQ(p, o.p) << "pair " << pair;
        ASSERT_EQ(off, o.off);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(d[i], c[i]) << "pair " << pair << " index " << i;
        ASSERT_TRUE(d.canaries_intact());
    }
}

TEST(Mpeg4EncodeRoundTrip, ReversibleBlocksDecodeBackwards) {
    Rng rng;
    for (int iter = 0; iter < 300; ++iter) {
        const bool intra = iter & 1, sep = intra && (iter & 2);
        const int start = sep ? 1 : 0;
        Out o(rng, iter % 8);
        Opx16s blocks[3][64];
        std::vector<std::pair<Opx8u*, int>> ends;
        for (auto& c : blocks) {
            random_block(rng, c, rng.uniform_int(1, 20), 2047);
            if (count_from(c, start) == 0) c[40] = -3;
            const OpxResult e = intra
                ? opxiEncodeCoeffsIntra_MPEG4_16s1u(c, &o.p, &o.off, count_from(c, start), 1, sep, -1)
                : opxiEncodeCoeffsInter_MPEG4_16s1u(c, &o.p, &o.off, count_from(c, 0), 1, -1);
            ASSERT_EQ(e, opxOk);
            ends.push_back({o.p, o.off});
        }
        // Final bit of block 2, then walk back over blocks 2 and 1.
        auto final_bit = [](std::pair<Opx8u*, int> end) {
            return end.second ? std::pair{end.first, end.second - 1} : std::pair{end.first - 1, 7};
        };
        auto [p, off] = final_bit(ends[2]);
        for (int b = 2; b >= 1; --b) {
            Block d;
            d[0] = blocks[b][0];
            Opx32s last = 0;
            const OpxResult e = intra ? opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s(&p, &off, d.data(), &last, sep)
                                      : opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(&p, &off, d.data(), &last);
            ASSERT_EQ(e, opxOk);
            for (int i = 0; i < 64; ++i) ASSERT_EQ(d[i], blocks[b][i]) << "block " << b << " index " << i;
            int want_last = 63;
            while (!blocks[b][want_last]) --want_last;
            ASSERT_EQ(last, want_last);
            const auto prev = final_bit(ends[static_cast<std::size_t>(b) - 1]);
            ASSERT_EQ(p, prev.first);
            ASSERT_EQ(off, prev.second);
        }
    }
}

TEST(Mpeg4EncodeRoundTrip, DcCodes) {
    Rng rng;
    for (int iter = 0; iter < 3000; ++iter) {
        Out o(rng, iter % 8);
        const int chroma_e = iter % 3;  // 0, 1, 2 (2 is luminance)
        const Opx16s v = static_cast<Opx16s>(rng.uniform(-4095, 4095) >> rng.uniform(0, 11));
        ASSERT_EQ(opxiEncodeDCIntra_MPEG4_16s1u(v, &o.p, &o.off, chroma_e), opxOk);
        ASSERT_TRUE(o.untouched());
        Opx8u* p = o.buf.data() + 4;
        Opx32s off = iter % 8;
        Opx16s d = 0;
        ASSERT_EQ(opxiDecodeDCIntra_MPEG4_1u16s(&p, &off, &d, chroma_e == 1), opxOk);
        ASSERT_EQ(d, v);
        ASSERT_EQ(p, o.p);
        ASSERT_EQ(off, o.off);
        Out h(rng, iter % 8);
        const Opx16s dc = static_cast<Opx16s>(rng.uniform(1, 254));
        ASSERT_EQ(opxiEncodeDCIntra_H263_16s1u(dc, &h.p, &h.off), opxOk);
        ASSERT_TRUE(h.untouched());
        p = h.buf.data() + 4;
        off = iter % 8;
        ASSERT_EQ(opxiDecodeDCIntra_H263_1u16s(&p, &off, &d), opxOk);
        ASSERT_EQ(d, dc);
        EXPECT_EQ(h.written(), 8);
    }
}

// ---- exact bits --------------------------------------------------------------------------------

std::string encode_inter_mpeg4(std::initializer_list<std::pair<int, int>> levels, int rvlc = 0) {
    Rng rng(7);
    Opx16s c[64] = {};
    for (auto [pos, v] : levels) c[pos] = static_cast<Opx16s>(v);
    Out o(rng, 3);
    EXPECT_EQ(opxiEncodeCoeffsInter_MPEG4_16s1u(c, &o.p, &o.off, static_cast<Opx32s>(levels.size()), rvlc, -1), opxOk);
    return o.bits();
}

TEST(Mpeg4EncodeRules, ExactBitsOfTheRulesCases) {
    EXPECT_EQ(encode_inter_mpeg4({{0, 1}}), "01110");
    // Level 13 at run 0, LAST 0 (LMAX 12): escape 1 with the code of (0, 0, 1).
    EXPECT_EQ(encode_inter_mpeg4({{0, 13}, {9, 1}}).substr(0, 11), "00000110" "10" "0");
    // Level 2000: escape 3.
    EXPECT_EQ(encode_inter_mpeg4({{5, 2000}}), "000001111" "1" "000101" "1" "011111010000" "1");
    // (LAST 1, RUN 3, 2): LMAX(1, 3) = 1, so escape 1 with the code of (1, 3, 1).
    EXPECT_EQ(encode_inter_mpeg4({{3, 2}}), "00000110" "001101" "0");
    // (LAST 0, RUN 30, 1): runs above 26 have no LMAX; escape 2 with RUN 30 - 27 = 3: (0, 3, 1).
    EXPECT_EQ(encode_inter_mpeg4({{30, 1}, {40, 5}}).substr(0, 15), "000001110" "01101" "0");
    // (LAST 1, RUN 45, 2): RMAX(1, 2) = 1 → reduced run 43 has no code: escape 3.
    EXPECT_EQ(encode_inter_mpeg4({{45, -2}}).substr(0, 9), "000001111");
    // H.263 with modified quantisation, level −200.
    {
        Rng rng(1);
        Opx16s c[64] = {};
        c[0] = -200;
        Out o(rng, 0);
        ASSERT_EQ(opxiEncodeCoeffsInter_H263_16s1u(c, &o.p, &o.off, 1, 1, 0), opxOk);
        EXPECT_EQ(o.bits(), "0000011" "1" "000000" "10000000" "11000" "111001");
    }
    // H.261 inter block with −1 first: 11, then EOB.
    {
        Rng rng(2);
        Opx16s c[64] = {};
        c[0] = -1;
        Out o(rng, 5);
        ASSERT_EQ(opxiEncodeCoeffsInter_H261_16s1u(c, &o.p, &o.off, 1, 0), opxOk);
        EXPECT_EQ(o.bits(), "1110");
        Out q(rng, 5);
        c[0] = 44;
        ASSERT_EQ(opxiEncodeCoeffsIntra_H261_16s1u(c, &q.p, &q.off, 1, 0), opxOk);
        EXPECT_EQ(q.bits(), "00101100" "10");
    }
    // Reversible escape: 00001, LAST, RUN, 1, |L|, 1, 0000s.
    EXPECT_EQ(encode_inter_mpeg4({{2, -1000}}, 1), "00001" "1" "000010" "1" "01111101000" "1" "00001");
}

// ---- null pointers -----------------------------------------------------------------------------

#define OPX_ENC_NULL(fn, ...)                                           \
    OPX_NULL_CASE(fn) {                                                 \
        Opx8u* stream = nul(s.u8(0));                                   \
        Opx32s off = 0;                                                 \
        return fn(nul(s.s16(2)), nul(&stream), nul(&off), __VA_ARGS__); \
    }
OPX_ENC_NULL(opxiEncodeCoeffsIntra_MPEG4_16s1u, 1, 0, 0, 0)
OPX_ENC_NULL(opxiEncodeCoeffsInter_MPEG4_16s1u, 1, 0, 0)
OPX_ENC_NULL(opxiEncodeCoeffsIntra_H263_16s1u, 1, 1, 0, 0)
OPX_ENC_NULL(opxiEncodeCoeffsInter_H263_16s1u, 1, 0, 0)
OPX_ENC_NULL(opxiEncodeCoeffsIntra_H261_16s1u, 1, 0)
OPX_ENC_NULL(opxiEncodeCoeffsInter_H261_16s1u, 1, 0)
OPX_NULL_CASE(opxiEncodeDCIntra_H263_16s1u) {
    Opx8u* stream = nul(s.u8(0));
    Opx32s off = 0;
    return opxiEncodeDCIntra_H263_16s1u(7, nul(&stream), nul(&off));
}
OPX_NULL_CASE(opxiEncodeDCIntra_MPEG4_16s1u) {
    Opx8u* stream = nul(s.u8(0));
    Opx32s off = 0;
    return opxiEncodeDCIntra_MPEG4_16s1u(7, nul(&stream), nul(&off), 0);
}

}  // namespace
}  // namespace opx::test::mpeg4
