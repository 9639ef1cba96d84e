// CAVLC and Exp-Golomb rules: argument checks and their order, corrupt streams (rejected with
// the cursor restored, nothing outside the block touched), lazy table checks, the chroma DC
// shortcut, and the null-pointer cases of the family.
#include <string>
#include <tuple>

#include "h264/cavlc_writer.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::test::cavlc;

constexpr std::int32_t kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

// A word-cursor stream holding `bits` ('0'/'1', other characters ignored) from bit `pos` of the
// first word; bits before it are ones, bits after it zeros, with three words of zeros after.
struct Stream {
    std::vector<Opx32u> w;
    Opx32u* p;
    Opx32s pos;
    Stream(const std::string& bits, int start_pos = 31) : pos(start_pos) {
        std::vector<int> b;
        for (int i = start_pos; i < 31; ++i) b.push_back(1);
        for (char c : bits)
            if (c == '0' || c == '1') b.push_back(c - '0');
        w.assign(b.size() / 32 + 4, 0);
        for (std::size_t i = 0; i < b.size(); ++i)
            if (b[i]) w[i / 32] |= 1u << (31 - i % 32);
        p = w.data();
    }
    // Bits consumed since the start.
    int consumed(int start_pos = 31) const {
        return static_cast<int>(p - w.data()) * 32 + (31 - pos) - (31 - start_pos);
    }
};

struct Luma {
    Opx16s out[24];
    Opx16s* dst = out + 4;
    Opx16s num = -5;
    Luma() { std::fill(out, out + 24, Opx16s{0x7777}); }
    OpxResult run(Stream& s, int nc, int limit, const std::int32_t* scan = kZigzag) {
        return run_with(s, nc, limit, tables().coeff_token, tables().total_zeros_4x4,
                        tables().run_before, scan);
    }
    // The same with the caller's tables.
    OpxResult run_with(Stream& s, int nc, int limit, const Opx32s** token, const Opx32s** zeros,
                       const Opx32s** runs, const std::int32_t* scan = kZigzag) {
        return opxiDecodeCAVLCCoeffs_H264_1u16s(
            &s.p, &s.pos, &num, &dst, nc, static_cast<Opx16s>(limit), token, zeros, runs, scan);
    }
    bool untouched() const {
        return num == -5 && dst == out + 4 &&
               std::all_of(out, out + 24, [](Opx16s v) { return v == 0x7777; });
    }
};

// ---- corrupt streams ----------------------------------------------------------------------------

// Corrupt streams: each is rejected with opxErrH264VlcCode, the cursor back where it started and
// the coefficient pointer unmoved; nothing written (kUntouched), or TotalCoeff and the cleared
// block written (a number: the TotalCoeff), as the walk got that far.
constexpr int kUntouched = -1, kAnyWrites = -2;
const Opx32s kPayload4Ones[3] = {1, 0x00F0F101, ((5 * 256 + 4) << 8) | 0};
const Opx32s kPayload17[3] = {1, 0x00F0F101, ((17 * 256) << 8) | 0};
const Opx32s kWidth0[3] = {0, 0, 0}, kWidth33[3] = {33, 0, 0}, kWidthNeg[3] = {-1, 0, 0},
             kWidthHuge[3] = {1 << 20, 0, 0};
const Opx32s kLinkedOut[5] = {1, (3 << 8) | 0x80, (3 << 8) | 0x80, 40, 0};
// TotalCoeff 2, TrailingOnes 2 ("001" for nC 0), signs "01", total_zeros 7 ("0011"), then an
// invalid run_before for zerosLeft 7 (eleven zeros).
const char* kBadRunBefore = "001 01 0011 00000000000";

struct Corrupt {
    const char* why;
    std::string bits;
    int start, nc, limit;
    const Opx32s* token;  // the caller's coeff_token table for every nC, or the standard ones
    int writes;
    bool range_form = false;  // the Idxs form over 0..15
};

TEST(CavlcCorrupt, RejectedWithTheCursorRestored) {
    const Corrupt cases[] = {
        {"(1, 2)", "000010", 7, 9, 15, nullptr, kUntouched},
        {"(2, 3)", "000111", 7, 9, 15, nullptr, kUntouched},
        {"(16, 0) in an AC block", "111100 0", 7, 9, 15, nullptr, kUntouched},
        {"(16, 1) in an AC block", "111101", 7, 9, 15, nullptr, kUntouched},
        {"TrailingOnes 4", "1111 1111 1111 1111", 31, 0, 16, kPayload4Ones, kUntouched},
        {"TotalCoeff 17", "1111 1111 1111 1111", 31, 0, 16, kPayload17, kUntouched},
        {"table width 0", "1111", 31, 0, 16, kWidth0, kAnyWrites},
        {"table width 33", "1111", 31, 0, 16, kWidth33, kAnyWrites},
        {"table width -1", "1111", 31, 0, 16, kWidthNeg, kAnyWrites},
        {"table width 2^20", "1111", 31, 0, 16, kWidthHuge, kAnyWrites},
        {"sub-table head out of range", "1111", 31, 0, 16, kLinkedOut, kAnyWrites},
        {"total_zeros 15 in an AC block", "01 0 000000001", 20, 0, 15, nullptr, 1},
        {"invalid run_before", kBadRunBefore, 9, 0, 16, nullptr, 2},
        {"no coeff_token (range form)", std::string(16, '0'), 9, 0, 16, nullptr, kUntouched, true},
        {"level_prefix of 33 zeros", "000101" + std::string(33, '0') + "1", 3, 0, 16, nullptr,
         kAnyWrites},
    };
    Tables& t = tables();
    for (const Corrupt& c : cases) {
        SCOPED_TRACE(c.why);
        Stream s(c.bits, c.start);
        Luma l;
        const Opx32s* token[3] = {c.token, c.token, c.token};
        const OpxResult r =
            c.range_form ? opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(
                               &s.p, &s.pos, &l.num, &l.dst, c.nc, static_cast<Opx16s>(c.limit),
                               t.coeff_token, t.total_zeros_4x4, t.run_before, kZigzag, 0, 15)
                         : l.run_with(s, c.nc, c.limit, c.token ? token : t.coeff_token,
                                      t.total_zeros_4x4, t.run_before);
        EXPECT_EQ(r, opxErrH264VlcCode);
        EXPECT_EQ(s.p, s.w.data());
        EXPECT_EQ(s.pos, c.start);
        EXPECT_EQ(l.dst, l.out + 4);
        if (c.writes == kUntouched) {
            EXPECT_TRUE(l.untouched());
        }
        if (c.writes >= 0) {
            EXPECT_EQ(l.num, c.writes);
            for (int i = 0; i < 16; ++i) EXPECT_EQ(l.out[4 + i], 0) << i;
            EXPECT_EQ(l.out[3], 0x7777);
            EXPECT_EQ(l.out[20], 0x7777);
        }
    }
    // With the DC coefficient included, total_zeros 15 is fine.
    Stream s2("01 0 000000001", 20);
    Luma l2;
    EXPECT_EQ(l2.run(s2, 0, 16), opxOk);
    EXPECT_EQ(l2.out[4 + 15], 1);
}

// The range form leaves the cursor where the walk stopped at an invalid run_before; a remap with
// no allowed pair restores it.
TEST(CavlcCorrupt, RangeFormCursor) {
    Tables& t = tables();
    Stream s(kBadRunBefore, 9);
    Luma l;
    EXPECT_EQ(
        opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(&s.p, &s.pos, &l.num, &l.dst, 0, 16, t.coeff_token,
                                             t.total_zeros_4x4, t.run_before, kZigzag, 0, 15),
        opxErrH264VlcCode);
    // 3 + 2 + 4 bits, then the walk's 8 + 3 index bits.
    EXPECT_EQ(s.consumed(9), 3 + 2 + 4 + 11);
    EXPECT_EQ(l.dst, l.out + 4);
    // m = 1 allows (0,0) and (1,0), (1,1): ranks 0..2. "000101" is (1,0) for nC 0, rank 4.
    Stream r("000101 1 1");
    Luma lr;
    EXPECT_EQ(
        opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(&r.p, &r.pos, &lr.num, &lr.dst, 0, 1, t.coeff_token,
                                             t.total_zeros_2x2, t.run_before, kZigzag, 3, 3),
        opxErrH264VlcCode);
    EXPECT_TRUE(lr.untouched());
    EXPECT_EQ(r.consumed(), 0);
}

// The longest level_prefix, 32 zeros (33 are in the corrupt streams).
TEST(CavlcCorrupt, LevelPrefixOf32Zeros) {
    // (1,0) for nC 0 is "000101", then the level_prefix.
    Stream ok("000101" + std::string(32, '0') + "1" + std::string(29, '0') + "1");
    Opx32s out[16], *dst = out;
    Opx16s num;
    Tables& t = tables();
    EXPECT_EQ(opxiDecodeCAVLCCoeffs_H264_1u32s(&ok.p, &ok.pos, &num, &dst, 0, 16, t.coeff_token,
                                               t.total_zeros_4x4, t.run_before, kZigzag),
              opxOk);
    // levelCode = (15 << 0) + 0 + 2^29 - 4096 + 15 + 2 = 2^29 - 4064: level 2^28 - 2031.
    EXPECT_EQ(out[0], (1 << 28) - 2031);
}

// ---- tables checked when needed -----------------------------------------------------------------

TEST(CavlcLazyTables, NullTableFoundWhenNeeded) {
    Tables& t = tables();
    const Opx32s* token[3] = {t.coeff_token[0], nullptr, t.coeff_token[2]};
    const Opx32s *zeros[16], *runs[16];
    std::copy(t.total_zeros_4x4, t.total_zeros_4x4 + 16, zeros);
    std::copy(t.run_before, t.run_before + 16, runs);
    zeros[2] = runs[7] = nullptr;
    // The coeff_token table of nC 3's class missing: nothing read; total_zeros of TotalCoeff 2:
    // the cursor stays after the levels; run_before of zerosLeft 7: after total_zeros.
    struct {
        int nc;
        const Opx32s **token, **zeros, **runs;
        int used, num;
    } const cases[] = {{3, token, t.total_zeros_4x4, t.run_before, 0, -5},
                       {0, t.coeff_token, zeros, t.run_before, 5, 2},
                       {0, t.coeff_token, t.total_zeros_4x4, runs, 9, 2}};
    for (const auto& c : cases) {
        Stream s(kBadRunBefore, 9);
        Luma l;
        EXPECT_EQ(l.run_with(s, c.nc, 16, c.token, c.zeros, c.runs), opxErrNullPtr);
        EXPECT_EQ(s.consumed(9), c.used);
        EXPECT_EQ(l.num, c.num);
        EXPECT_EQ(l.dst, l.out + 4);
        if (!c.used) {
            EXPECT_TRUE(l.untouched());
        }
    }
    // nC 0 does not need the missing coeff_token table.
    Stream s("1");
    Luma l;
    EXPECT_EQ(l.run_with(s, 0, 16, token, t.total_zeros_4x4, t.run_before), opxOk);
}

// ---- chroma DC shortcut -------------------------------------------------------------------------

// The common codes decode without tables (their values are in the round trips): one -1 at
// index 3 across a word boundary, and no coefficient.
TEST(CavlcChromaDcShortcut, CommonCodesWithoutTables) {
    for (const auto& [bits, used, num] : {std::tuple{"11 000", 5, 1}, std::tuple{"01 111", 2, 0}}) {
        Stream s(bits, 2);
        Opx16s out[8] = {9, 9, 9, 9, 9, 9, 9, 9}, *dst = out, n = -5;
        EXPECT_EQ(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&s.p, &s.pos, &n, &dst, nullptr,
                                                           nullptr, nullptr),
                  opxOk);
        EXPECT_EQ(s.consumed(2), used);
        EXPECT_EQ(n, num);
        EXPECT_EQ(dst - out, 4 * num);
        EXPECT_EQ(out[3], num ? -1 : 9);
    }
    // The general path needs the tables and the coefficient pointer.
    Stream s("001");
    Opx16s num = -5;
    Opx16s* none = nullptr;
    Tables& t = tables();
    EXPECT_EQ(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&s.p, &s.pos, &num, &none, t.coeff_token_dc,
                                                       t.total_zeros_2x2, t.run_before),
              opxErrNullPtr);
    Stream s1("10100");
    EXPECT_EQ(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&s1.p, &s1.pos, &num, &none, nullptr,
                                                       nullptr, nullptr),
              opxErrNullPtr);
    EXPECT_EQ(num, -5);
    EXPECT_EQ(s1.consumed(), 0);
}

// ---- Exp-Golomb ---------------------------------------------------------------------------------

// Result, value (-1: left as it was) and bits used, in the 16- and 32-bit forms (signed: any
// nonzero flag of the 16-bit form). Long codes: 17 zeros are passed over by the 16-bit form (35
// bits, value 0), also with the suffix in the word of the terminating one, and decoded by the
// 32-bit form; 16 zeros still decode in the 16-bit form (the low 16 bits of 2^16 - 1 + s); 31 in
// the 32-bit form, signed; 32 zeros are passed over, 33 are an invalid code (cursor as on entry).
TEST(ExpGolomb, ShortAndLongCodes) {
    const auto run = [](const std::string& bits, int pos, bool wide, int sign) {
        Stream s(bits, pos);
        Opx16s v16 = -1;
        Opx32s v32 = -1;
        const OpxResult r = wide ? opxiDecodeExpGolombOne_H264_1u32s(&s.p, &s.pos, &v32, sign)
                                 : opxiDecodeExpGolombOne_H264_1u16s(&s.p, &s.pos, &v16, sign);
        return std::tuple{r, wide ? std::int64_t{v32} : std::int64_t{v16}, s.consumed(pos)};
    };
    struct {
        const char* bits;
        int used;
        std::int64_t unsigned_value, signed_value;
    } const shorts[] = {{"1", 1, 0, 0},     {"010", 3, 1, 1},    {"011", 3, 2, -1},
                        {"00100", 5, 3, 2}, {"00101", 5, 4, -2}, {"0001000", 7, 7, 4}};
    for (const auto& c : shorts)
        for (int pos : {31, 1, 0})
            for (int sign : {0, 1})
                for (bool wide : {false, true})
                    EXPECT_EQ(run(c.bits, pos, wide, sign * (wide ? 1 : 7)),
                              std::tuple(opxOk, sign ? c.signed_value : c.unsigned_value, c.used))
                        << c.bits << " at " << pos;
    const auto z = [](int n) { return std::string(n, '0'); };
    const auto o = [](int n) { return std::string(n, '1'); };
    struct {
        std::string bits;
        int pos;
        bool wide;
        int sign;
        OpxResult r;
        std::int64_t value;
        int used;
    } const longs[] = {
        {z(17) + "1" + o(16) + "1", 31, false, 0, opxOk, 0, 35},
        {z(17) + "1" + o(16) + "1", 20, false, 0, opxOk, 0, 35},
        {z(17) + "1" + o(17), 31, true, 0, opxOk, (1 << 18) - 2, 35},
        {z(17) + "1" + o(17), 20, true, 0, opxOk, (1 << 18) - 2, 35},
        {z(16) + "1" + z(15) + "1", 31, false, 0, opxOk, 0, 33},
        {z(31) + "1" + z(31) + "1", 31, true, 1, opxOk, std::int64_t{1} << 30, 63},
        {z(32) + "1" + o(32), 5, true, 0, opxOk, 0, 65},
        {z(33) + "1", 5, true, 0, opxErrH264VlcCode, -1, 0},
        {z(33) + "1", 5, false, 0, opxErrH264VlcCode, -1, 0},
    };
    for (const auto& c : longs)
        EXPECT_EQ(run(c.bits, c.pos, c.wide, c.sign), std::tuple(c.r, c.value, c.used))
            << c.bits.size() << " bits at " << c.pos << (c.wide ? ", 32-bit form" : "");
}

// ---- null pointers ------------------------------------------------------------------------------

// Streams of zero bits take the general paths, so every checked pointer is needed.
Opx32u g_zeros[8] = {};

#define OPX_CAVLC_NULL_CASE(function, T, slot, ...)                                      \
    OPX_NULL_CASE(function) {                                                            \
        Tables& t = tables();                                                            \
        Opx32u* stream = nul(g_zeros);                                                   \
        Opx32s off = 31;                                                                 \
        T* dst = nul(s.slot(3));                                                         \
        return function(nul(&stream), nul(&off), nul(s.s16(2)), nul(&dst), __VA_ARGS__); \
    }
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCCoeffs_H264_1u16s, Opx16s, s16, 0, 16, nul(t.coeff_token),
                    nul(t.total_zeros_4x4), nul(t.run_before), nul(kZigzag))
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCCoeffs_H264_1u32s, Opx32s, s32, 2, 15, nul(t.coeff_token),
                    nul(t.total_zeros_4x4), nul(t.run_before), nul(kZigzag))
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCCoeffsIdxs_H264_1u16s, Opx16s, s16, 0, 16, nul(t.coeff_token),
                    nul(t.total_zeros_4x4), nul(t.run_before), nul(kZigzag), 0, 15)
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s, Opx16s, s16, nul(t.coeff_token_dc),
                    nul(t.total_zeros_2x2), nul(t.run_before))
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s, Opx32s, s32, nul(t.coeff_token_dc),
                    nul(t.total_zeros_2x2), nul(t.run_before))
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s, Opx16s, s16,
                    nul(t.coeff_token_dc422), nul(t.total_zeros_2x4), nul(t.run_before))
OPX_CAVLC_NULL_CASE(opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s, Opx32s, s32,
                    nul(t.coeff_token_dc422), nul(t.total_zeros_2x4), nul(t.run_before))
OPX_NULL_CASE(opxiDecodeExpGolombOne_H264_1u16s) {
    Opx32u* stream = nul(s.u32(1));
    Opx32s off = 31;
    return opxiDecodeExpGolombOne_H264_1u16s(nul(&stream), nul(&off), nul(s.s16(2)), 1);
}
OPX_NULL_CASE(opxiDecodeExpGolombOne_H264_1u32s) {
    Opx32u* stream = nul(s.u32(1));
    Opx32s off = 31;
    return opxiDecodeExpGolombOne_H264_1u32s(nul(&stream), nul(&off), nul(s.s32(2)), 1);
}

}  // namespace
}  // namespace opx::test
