// Generic VLC tables: the exact layout the builder produces, validation of code lists, and
// decoding one code (cursor rules on invalid codes).
#include <string>

#include "harness/bits.hpp"
#include "harness/harness.hpp"
#include "opxcore.h"
#include "opxvc_h264_cavlc_codes.h"

namespace opx::test {
namespace {

struct Built {
    Opx32s* t = nullptr;
    OpxResult r;
    explicit Built(const std::vector<Opx32s>& list, bool run_level = false) {
        t = reinterpret_cast<Opx32s*>(std::uintptr_t{0x1234});  // must be replaced
        r = run_level ? opxiHuffmanRunLevelTableInitAlloc_32s(list.data(), &t)
                      : opxiHuffmanTableInitAlloc_32s(list.data(), &t);
    }
    ~Built() {
        if (t) opxiHuffmanTableFree_32s(t);
    }
};

// A word stream of `bits` from bit 31, zeros after.
std::vector<Opx32u> stream(const std::string& bits) {
    BitString w;
    w.put_text(bits);
    return w.words(0, 3);
}

TEST(HuffmanTable, SmallListLayout) {
    // N = 1, w0 = 2; 0 -> 5, 10 -> 6, 11 -> 7.
    Built b({0, 1, 2, /*L1*/ 1, 0, 5, /*L2*/ 2, 2, 6, 3, 7, -1});
    ASSERT_EQ(b.r, opxOk);
    const Opx32s expect[5] = {2, (5 << 8) | 1, (5 << 8) | 1, 6 << 8, 7 << 8};
    EXPECT_TRUE(regions_equal(expect, 0, b.t, 0, 5, 1));
}

TEST(HuffmanTable, OneSubTablePerDistinctPrefixInListOrder) {
    // Root 2 bits, sub-tables 2 bits. Codes 0 (1 bit), 1100, 1101, 1110 (prefix 11), 1000 and
    // 1011 (prefix 10), listed so that prefix 11 comes first.
    // clang-format off
    Built b({0, 2, 2, 2,
             /*L1*/ 1, 0, -3,
             /*L2*/ 0,
             /*L3*/ 0,
             /*L4*/ 5, 0xC, 1, 0xD, 2, 0xE, 3, 0x8, 4, 0xB, 5,
             -1});
    ASSERT_EQ(b.r, opxOk);
    const Opx32s fill = 0x00F0F101;
    const Opx32s expect[15] = {
        2, -3 * 256 + 1, -3 * 256 + 1, (10 << 8) | 0x80, (5 << 8) | 0x80,  // root
        2, 1 << 8, 2 << 8, 3 << 8, fill,                                   // prefix 11, at 5
        2, 4 << 8, fill, fill, 5 << 8};                                    // prefix 10, at 10
    // clang-format on
    EXPECT_TRUE(regions_equal(expect, 0, b.t, 0, 15, 1));
}

TEST(HuffmanTable, RunLevelPayload) {
    Built b({0, 1, 3, /*L1*/ 0, /*L2*/ 1, 1, 300, -2, /*L3*/ 1, 0, 254, 1, -1}, true);
    ASSERT_EQ(b.r, opxOk);
    // "01": run 300 & 255 = 44, level -2; three-bit "000": run 254 (EOB), level 1.
    EXPECT_EQ(b.t[1 + 0], static_cast<Opx32s>((1u << 16) | (254u << 8) | 0));
    EXPECT_EQ(b.t[1 + 2], static_cast<Opx32s>((0xFFFEu << 16) | (44u << 8) | 1));
    std::vector<Opx32u> w = stream("01 000");
    Opx32u* p = w.data();
    Opx32s pos = 31;
    Opx8u run;
    Opx16s level;
    ASSERT_EQ(opxiDecodeHuffmanPair_1u16s(&p, &pos, b.t, &run, &level), opxOk);
    EXPECT_EQ(run, 44);
    EXPECT_EQ(level, -2);
    EXPECT_EQ(pos, 29);
    ASSERT_EQ(opxiDecodeHuffmanPair_1u16s(&p, &pos, b.t, &run, &level), opxOk);
    EXPECT_EQ(run, 254);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(pos, 26);
}

TEST(HuffmanTable, MalformedListsAreRefusedAndTheOutputNulled) {
    const std::vector<std::vector<Opx32s>> bad = {
        {0, 0, -1},                          // no level
        {0, 1, 0, -1},                       // width 0
        {0, 1, 17, -1},                      // width 17
        {0, 2, 4, 0, 1, 0, 1, -1},           // second width 0
        {0, 1, 2, 0, 0, 1, 4, 1, -1},        // 3-bit code beyond 2 bits of width
        {0, 1, 2, 1, 2, 1, -1},              // code 2 in one bit
        {0, 1, 2, 1, -1, 1, -1},             // negative code in one bit
        {0, 1, 2, 1, 0, 1, 1, 1, 2, -1},     // 0 is a prefix of 01
        {0, 1, 2, 0, 2, 1, 1, 1, 2, -1},     // 01 twice
        {0, 1, 2, 0, 1, 3, 1, 1, 1, 2, -1},  // 1 after 11 in the list
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE("list " + std::to_string(i));
        Built b(bad[i]);
        EXPECT_EQ(b.r, opxErrBadArg);
        EXPECT_EQ(b.t, nullptr);
    }
    // A code longer than 32 bits.
    std::vector<Opx32s> long_code = {0, 3, 16, 16, 16};
    for (int len = 1; len < 33; ++len) long_code.push_back(0);
    long_code.insert(long_code.end(), {1, 1, 0, -1});
    Built b(long_code);
    EXPECT_EQ(b.r, opxErrBadArg);
    EXPECT_EQ(b.t, nullptr);
    // A 32-bit code is fine.
    std::vector<Opx32s> full = {0, 2, 16, 16};
    for (int len = 1; len < 32; ++len) full.push_back(0);
    full.insert(full.end(), {1, static_cast<Opx32s>(0x80000001u), 9, -1});
    Built ok(full);
    EXPECT_EQ(ok.r, opxOk);
    // A full 16-bit root is fine; 2^15 sub-tables of 2^16 entries are too many.
    std::vector<Opx32s> huge = {0, 2, 16, 16};
    for (int len = 1; len < 16; ++len) huge.push_back(0);
    huge.push_back(1 << 16);
    for (int c = 0; c < (1 << 16); ++c) huge.insert(huge.end(), {c, 0});
    huge.push_back(-1);
    Built big(huge);
    EXPECT_EQ(big.r, opxOk);  // 16-bit codes fit the root: 65537 entries
    std::vector<Opx32s> deep = {0, 2, 16, 16};
    for (int len = 1; len < 32; ++len) deep.push_back(0);
    deep.push_back(1 << 15);
    for (int c = 0; c < (1 << 15); ++c) deep.insert(deep.end(), {c << 16, 0});
    deep.push_back(-1);
    Built toobig(deep);  // 2^15 sub-tables of 65537 entries: beyond what links address
    EXPECT_EQ(toobig.r, opxErrBadArg);
    EXPECT_EQ(toobig.t, nullptr);
}

TEST(HuffmanTable, NullArgumentsNullTheOutput) {
    Opx32s* t = reinterpret_cast<Opx32s*>(std::uintptr_t{0x1234});
    EXPECT_EQ(opxiHuffmanTableInitAlloc_32s(nullptr, &t), opxErrNullPtr);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(opxiHuffmanTableInitAlloc_32s(cavlc_run_before_zl1, nullptr), opxErrNullPtr);
    EXPECT_EQ(opxiHuffmanTableFree_32s(nullptr), opxErrNullPtr);
}

TEST(HuffmanDecode, InvalidCodes) {
    // Root 2 bits: 1 -> 4, 01 -> 9, 00 begins no code.
    Built b({0, 1, 2, 1, 1, 4, 1, 1, 9, -1});
    ASSERT_EQ(b.r, opxOk);
    std::vector<Opx32u> w = stream("1 01 00");
    Opx32u* p = w.data();
    Opx32s pos = 31, v;
    ASSERT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, b.t), opxOk);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(pos, 30);
    ASSERT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, b.t), opxOk);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(pos, 28);
    // Pair: nothing written, cursor as on entry.
    Opx8u run = 1;
    Opx16s level = 1;
    EXPECT_EQ(opxiDecodeHuffmanPair_1u16s(&p, &pos, b.t, &run, &level), opxErrH264VlcCode);
    EXPECT_EQ(pos, 28);
    EXPECT_EQ(run, 1);
    EXPECT_EQ(level, 1);
    // One: 61681 stored, the cursor stays after the index bits (the surplus is not given back).
    EXPECT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, b.t), opxErrH264VlcCode);
    EXPECT_EQ(v, 61681);
    EXPECT_EQ(pos, 26);
}

// A final entry that gives back as many bits as its index took (or more) is malformed: obeying
// it would move the cursor before the code, at the start of a stream before the stream.
TEST(HuffmanDecode, SurplusNotBelowTheIndexWidthIsAnInvalidCode) {
    const Opx32s root[5] = {2, (5 << 8) | 2, (5 << 8) | 1, (6 << 8) | 31, 7 << 8};
    const Opx32s sub[8] = {1, (3 << 8) | 0x80, (3 << 8) | 0x80, 2, (9 << 8) | 2, (9 << 8) | 1, 0,
                           0};
    for (const auto& c :
         {std::make_pair(root, "00"), std::make_pair(root, "10"), std::make_pair(sub, "0 00")}) {
        std::vector<Opx32u> w = stream(c.second);
        Opx32u* p = w.data();
        Opx32s pos = 31, v = 0;
        EXPECT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, c.first), opxErrH264VlcCode) << c.second;
        EXPECT_EQ(p, w.data());
        Opx8u run = 0;
        Opx16s level = 0;
        pos = 31;
        EXPECT_EQ(opxiDecodeHuffmanPair_1u16s(&p, &pos, c.first, &run, &level), opxErrH264VlcCode);
        EXPECT_EQ(pos, 31);
    }
    // Surplus 1 after a 2-bit index is fine: one bit consumed.
    std::vector<Opx32u> w = stream("01");
    Opx32u* p = w.data();
    Opx32s pos = 31, v = 0;
    EXPECT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, root), opxOk);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(pos, 30);
}

TEST(HuffmanDecode, SurplusBitsAreGivenBackAcrossWords) {
    // An 8-bit root whose entries for 00000xxx hold code byte 3: five bits consumed.
    Built b({0, 1, 8, 0, 0, 0, 0, 1, 0, 77, 0, 0, 1, 0xFF, 1, -1});
    ASSERT_EQ(b.r, opxOk);
    std::vector<Opx32u> w = {0xFFFFFFF8u, 0x1FFFFFFFu, 0};  // "00000" straddles the words at bit 2
    Opx32u* p = w.data();
    Opx32s pos = 2, v;
    ASSERT_EQ(opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, b.t), opxOk);
    EXPECT_EQ(v, 77);
    EXPECT_EQ(p, w.data() + 1);
    EXPECT_EQ(pos, 29);
}

// ---- null pointers ------------------------------------------------------------------------------

OPX_NULL_CASE(opxiHuffmanTableInitAlloc_32s) {
    Opx32s* t = nullptr;  // a local: the builder nulls it on failure
    const OpxResult r = opxiHuffmanTableInitAlloc_32s(nul(cavlc_run_before_zl7plus), nul(&t));
    if (t) opxiHuffmanTableFree_32s(t);
    return r;
}
OPX_NULL_CASE(opxiHuffmanRunLevelTableInitAlloc_32s) {
    static const Opx32s list[] = {0, 1, 2, 1, 1, 3, 4, 1, 1, 2, 5, -1, -1};
    Opx32s* t = nullptr;
    const OpxResult r = opxiHuffmanRunLevelTableInitAlloc_32s(nul(list), nul(&t));
    if (t) opxiHuffmanTableFree_32s(t);
    return r;
}
OPX_NULL_CASE(opxiHuffmanTableFree_32s) {
    Opx32s* t = nullptr;
    opxiHuffmanTableInitAlloc_32s(cavlc_run_before_zl1, &t);
    Opx32s* arg = nul(t);
    const OpxResult r = opxiHuffmanTableFree_32s(arg);
    if (!arg) opxiHuffmanTableFree_32s(t);
    return r;
}
OPX_NULL_CASE(opxiDecodeHuffmanOne_1u32s) {
    static Opx32s* table = [] {
        Opx32s* t = nullptr;
        opxiHuffmanTableInitAlloc_32s(cavlc_run_before_zl7plus, &t);
        return t;
    }();
    static Opx32u stream[4] = {0x12345678u, 0, 0, 0};
    Opx32u* p = nul(stream);
    Opx32s off = 31;
    return opxiDecodeHuffmanOne_1u32s(nul(&p), nul(&off), nul(s.s32(2)), nul(table));
}
OPX_NULL_CASE(opxiDecodeHuffmanPair_1u16s) {
    static Opx32s* table = [] {
        static const Opx32s list[] = {0, 1, 2, 1, 1, 3, 4, 1, 1, 2, 5, -1, -1};
        Opx32s* t = nullptr;
        opxiHuffmanRunLevelTableInitAlloc_32s(list, &t);
        return t;
    }();
    static Opx32u stream[4] = {0xF2345678u, 0, 0, 0};
    Opx32u* p = nul(stream);
    Opx32s off = 31;
    return opxiDecodeHuffmanPair_1u16s(nul(&p), nul(&off), nul(table), nul(s.u8(2)), nul(s.s16(3)));
}

}  // namespace
}  // namespace opx::test
