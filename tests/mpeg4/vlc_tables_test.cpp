// The generated decoder and encoder tables against the code lists, over every peek value; the code
// lists against the standards' check entries and LMAX/RMAX values; the scans.
#include "mpeg4/vlc_tables.hpp"

#include <algorithm>
#include <string>

#include "harness/harness.hpp"

namespace opx::test::mpeg4 {
namespace {

using namespace opx::mpeg4;

std::string bits_of(std::uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i) s += ((v >> i) & 1) ? '1' : '0';
    return s;
}
std::uint32_t reversed(std::uint32_t v, int n) {
    std::uint32_t r = 0;
    for (int i = 0; i < n; ++i) r |= ((v >> i) & 1u) << (n - 1 - i);
    return r;
}

// What a decoder table must hold at peek value v: found by matching every list code (and the
// escape / EOB prefixes) against the leading bits of v.
template <std::size_t N>
DecEntry expected(const VlcCode (&list)[N], std::uint32_t v, int width, std::uint32_t esc,
                  int esc_len, bool rev = false, std::uint32_t eob = 0, int eob_len = 0) {
    DecEntry e = 0;
    int matches = 0;
    for (const VlcCode& c : list) {
        const std::uint32_t code = rev ? reversed(c.code, c.len) : c.code;
        if ((v >> (width - c.len)) == code) {
            e = dec_pack(c.len, c.last, c.run, c.level);
            ++matches;
        }
    }
    if (esc_len && (v >> (width - esc_len)) == esc) e = kDecEscape, ++matches;
    if (eob_len && (v >> (width - eob_len)) == eob) e = kDecEob, ++matches;
    EXPECT_LE(matches, 1) << "codes overlap at " << bits_of(v, width);
    return e;
}

template <std::size_t N, std::size_t M>
void check_every_peek(const std::array<DecEntry, M>& table, const VlcCode (&list)[N], int width,
                      std::uint32_t esc, int esc_len, bool rev = false, std::uint32_t eob = 0,
                      int eob_len = 0) {
    ASSERT_EQ(M, std::size_t{1} << width);
    for (std::uint32_t v = 0; v < M; ++v)
        ASSERT_EQ(table[v], expected(list, v, width, esc, esc_len, rev, eob, eob_len))
            << bits_of(v, width);
}

TEST(Mpeg4VlcTables, EveryPeekOfEveryDecoderTable) {
    check_every_peek(kDecIntra, kIntraCodes, 12, 0x3, 7);
    check_every_peek(kDecInter, kInterCodes, 12, 0x3, 7);
    check_every_peek(kDecAdvIntra, kAdvIntraCodes, 12, 0x3, 7);
    check_every_peek(kDecH261, kH261Codes, 13, 0x1, 6, false, 0x2, 2);
    check_every_peek(kDecRvlc[0], kRvlcIntraCodes, 15, 0x1, 5);
    check_every_peek(kDecRvlc[1], kRvlcInterCodes, 15, 0x1, 5);
    check_every_peek(kDecRvlcBack[0], kRvlcIntraCodes, 15, 0, 0, true);
    check_every_peek(kDecRvlcBack[1], kRvlcInterCodes, 15, 0, 0, true);
}

// Illegal peek ranges of the MPEG-4/H.263 and H.261 lookups: nine leading zeros.
TEST(Mpeg4VlcTables, OnlyNineLeadingZerosBeginNoCode) {
    for (std::uint32_t v = 0; v < 4096; ++v) {
        ASSERT_EQ(kDecIntra[v] == 0, v < 8) << v;
        ASSERT_EQ(kDecInter[v] == 0, v < 8) << v;
        ASSERT_EQ(kDecAdvIntra[v] == 0, v < 8) << v;
    }
    for (std::uint32_t v = 0; v < 8192; ++v) ASSERT_EQ(kDecH261[v] == 0, v < 16) << v;
    // Reversible codes: five leading zeros begin no code; 00001 is the escape.
    for (std::uint32_t v = 0; v < 32768; ++v) {
        if (v < 1024) {
            ASSERT_EQ(kDecRvlc[0][v], 0);
        } else if (v < 2048) {
            ASSERT_EQ(kDecRvlc[1][v], kDecEscape);
        }
    }
}

TEST(Mpeg4VlcTables, ListsHoldTheStandardsCheckEntries) {
    auto has = [](const auto& list, const char* bits, int last, int run, int level) {
        const std::string b(bits);
        for (const VlcCode& c : list)
            if (bits_of(c.code, c.len) == b)
                return c.last == last && c.run == run && c.level == level;
        return false;
    };
    EXPECT_TRUE(has(kIntraCodes, "10", 0, 0, 1));
    EXPECT_TRUE(has(kIntraCodes, "110", 0, 0, 2));
    EXPECT_TRUE(has(kIntraCodes, "1111", 0, 0, 3));
    EXPECT_TRUE(has(kIntraCodes, "0111", 1, 0, 1));
    EXPECT_TRUE(has(kInterCodes, "10", 0, 0, 1));
    EXPECT_TRUE(has(kInterCodes, "110", 0, 1, 1));
    EXPECT_TRUE(has(kInterCodes, "1111", 0, 0, 2));
    EXPECT_TRUE(has(kInterCodes, "0111", 1, 0, 1));
    EXPECT_TRUE(has(kAdvIntraCodes, "10", 0, 0, 1));
    EXPECT_TRUE(has(kAdvIntraCodes, "110", 0, 0, 2));
    EXPECT_TRUE(has(kAdvIntraCodes, "1111", 0, 1, 1));
    EXPECT_TRUE(has(kRvlcIntraCodes, "110", 0, 0, 1));
    EXPECT_TRUE(has(kRvlcIntraCodes, "111", 0, 0, 2));
    EXPECT_TRUE(has(kRvlcInterCodes, "111", 0, 1, 1));
    EXPECT_TRUE(has(kH261Codes, "11", 0, 0, 1));
    EXPECT_TRUE(has(kH261Codes, "011", 0, 1, 1));
    EXPECT_TRUE(has(kH261Codes, "0100", 0, 0, 2));
    // Annex I uses exactly the code words of Table 16; both reversible columns the same words.
    auto words = [](const auto& list) {
        std::vector<std::pair<int, int>> w;
        for (const VlcCode& c : list) w.push_back({c.code, c.len});
        std::sort(w.begin(), w.end());
        return w;
    };
    EXPECT_EQ(words(kAdvIntraCodes), words(kInterCodes));
    EXPECT_EQ(words(kRvlcIntraCodes), words(kRvlcInterCodes));
    EXPECT_EQ(std::size(kRvlcIntraCodes), 169u);
    EXPECT_EQ(std::size(kIntraCodes), 102u);
}

TEST(Mpeg4VlcTables, LmaxAndRmaxAreTheStandardsValues) {
    const int intra_l0[] = {27, 10, 5, 4, 3, 3, 3, 3, 2, 2, 1, 1, 1, 1, 1};
    const int intra_r0[] = {14, 9, 7, 3, 2, 1, 1, 1, 1, 1};  // then 0 for levels 11..27
    const int intra_r1[] = {20, 6, 1, 0, 0, 0, 0, 0};
    const int inter_l0[] = {12, 6, 4, 3, 3, 3, 3, 2, 2, 2, 2};  // then 1 for runs 11..26
    const int inter_r0[] = {26, 10, 6, 2, 1, 1, 0, 0, 0, 0, 0, 0};
    for (int run = 0; run < 64; ++run) {
        EXPECT_EQ(kLmax[0][0][run], run < 15 ? intra_l0[run] : 0) << run;
        EXPECT_EQ(kLmax[0][1][run], run == 0 ? 8 : run == 1 ? 3 : run < 7 ? 2 : run <= 20 ? 1 : 0);
        EXPECT_EQ(kLmax[1][0][run], run < 11 ? inter_l0[run] : run <= 26 ? 1 : 0) << run;
        EXPECT_EQ(kLmax[1][1][run], run == 0 ? 3 : run == 1 ? 2 : run <= 40 ? 1 : 0);
    }
    for (int level = 1; level < 32; ++level) {
        EXPECT_EQ(kRmaxPlus1[0][0][level], level <= 10 ? intra_r0[level - 1] + 1 : level <= 27 ? 1 : 0);
        EXPECT_EQ(kRmaxPlus1[0][1][level], level <= 8 ? intra_r1[level - 1] + 1 : 0);
        EXPECT_EQ(kRmaxPlus1[1][0][level], level <= 12 ? inter_r0[level - 1] + 1 : 0);
        EXPECT_EQ(kRmaxPlus1[1][1][level], level == 1 ? 41 : level == 2 ? 2 : level == 3 ? 1 : 0);
    }
}

TEST(Mpeg4VlcTables, EncoderTablesInvertTheLists) {
    const VlcCode* lists[] = {kIntraCodes, kInterCodes, kAdvIntraCodes, kRvlcIntraCodes,
                              kRvlcInterCodes};
    const std::size_t sizes[] = {102, 102, 102, 169, 169};
    for (int t = 0; t < kNumCodeTables; ++t) {
        int entries = 0;
        for (int last = 0; last < 2; ++last)
            for (int run = 0; run < 64; ++run)
                for (int level = 1; level < 32; ++level) {
                    const std::uint32_t e = kEnc[t][last][run][level];
                    if (!e) continue;
                    ++entries;
                    const auto* end = lists[t] + sizes[t];
                    const auto* c = std::find_if(lists[t], end, [&](const VlcCode& x) {
                        return x.code == enc_code(e) && x.len == enc_len(e);
                    });
                    ASSERT_NE(c, end);
                    EXPECT_EQ(c->last, last);
                    EXPECT_EQ(c->run, run);
                    EXPECT_EQ(c->level, level);
                }
        EXPECT_EQ(entries, static_cast<int>(sizes[t])) << "table " << t;
    }
}

TEST(Mpeg4VlcTables, ScansArePermutationsWithTheStandardsFirstEntries) {
    const int first[3][10] = {{0, 1, 8, 16, 9, 2, 3, 10, 17, 24},
                              {0, 8, 16, 24, 1, 9, 2, 10, 17, 25},
                              {0, 1, 2, 3, 8, 9, 16, 17, 10, 11}};
    for (int s = 0; s < 3; ++s) {
        std::vector<int> seen(64, 0);
        for (int i = 0; i < 64; ++i) ++seen[kScan[s][i]];
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
        for (int i = 0; i < 10; ++i) EXPECT_EQ(kScan[s][i], first[s][i]);
    }
    // The alternate horizontal scan is the transposed alternate vertical scan.
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(kScan[2][i], (kScan[1][i] % 8) * 8 + kScan[1][i] / 8);
    // Zigzag: the positions walk the anti-diagonals.
    for (int i = 1; i < 64; ++i)
        EXPECT_LE(kScan[0][i - 1] / 8 + kScan[0][i - 1] % 8, kScan[0][i] / 8 + kScan[0][i] % 8);
}

}  // namespace
}  // namespace opx::test::mpeg4
