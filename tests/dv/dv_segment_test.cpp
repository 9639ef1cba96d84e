// DV segment decoding: segments laid out by the test-side writer decode back to their blocks (for
// blocks that fit, that complete within their macroblock, that need the segment pass, that stay
// incomplete), the rules' single cases, the mended faults, reads confined to the segment, and the
// AVX2-build kernel against the portable one.
#include <algorithm>
#include <cstring>

#include "dv/dv.hpp"
#include "dv_writer.hpp"
#include "harness/harness.hpp"

namespace opx::test::dv {
namespace {

using opx::dv::kLayoutDv;
using opx::dv::kLayoutDv100;
namespace ref = opx::dv::ref;
namespace avx2 = opx::dv::avx2;

constexpr Opx16s kUntouched = 0x5A5A;  // what the caller's blocks hold before decoding

enum class Fn { kFull, kOnePass, kDv100 };

struct Result {
    std::vector<Opx16s> blocks;
    std::vector<Opx32u> info;
};

Result decode(Fn fn, const std::uint8_t* seg, int num_positions = 64) {
    const int n = fn == Fn::kDv100 ? 40 : 30;
    Result r{std::vector<Opx16s>(64 * n, kUntouched), std::vector<Opx32u>(n, 0xDEADBEEF)};
    EXPECT_EQ(fn == Fn::kOnePass ? opxiHuffmanDecodeSegmentOnePass_DV_8u16s(
                                       seg, nullptr, nullptr, r.blocks.data(), r.info.data(),
                                       static_cast<Opx8u>(num_positions))
                                 : (fn == Fn::kFull ? opxiHuffmanDecodeSegment_DV_8u16s
                                                    : opxiHuffmanDecodeSegment_DV100_8u16s)(
                                       seg, nullptr, nullptr, r.blocks.data(), r.info.data()),
              opxOk);
    return r;
}

// A segment made by the writer, and what a decoder must return for it.
struct Case {
    std::vector<BlockStream> blocks;
    int qno[5] = {};
    std::uint8_t seg[400];
    Placement pl;
};

void write(Case& c, const AreaLayout& layout, Rng& rng) {
    for (int& q : c.qno) q = rng.uniform_int(0, 15);
    c.pl = write_segment(layout, c.blocks, c.qno, rng, c.seg);
}

// The expected result of `fn` for case c: with `redistribute` the writer's placement, otherwise
// each block's own area only.
Result expect(const Case& c, const AreaLayout& layout, bool redistribute, int limit) {
    const int n = layout.count;
    Result r{std::vector<Opx16s>(64 * 5 * n, kUntouched), std::vector<Opx32u>(5 * n)};
    for (int k = 0; k < 5 * n; ++k) {
        const int own = layout.bytes[k % n] * 8 - 12;
        const int placed = redistribute ? c.pl.placed[k] : std::min(own, c.blocks[k].length());
        r.info[k] = expect_block(c.blocks[k], placed, limit, c.qno[k / n], &r.blocks[64 * k]);
    }
    return r;
}

testing::AssertionResult same(const Result& want, const Result& got) {
    for (size_t k = 0; k < want.info.size(); ++k) {
        if (want.info[k] != got.info[k])
            return testing::AssertionFailure() << "block " << k << " info " << std::hex
                                               << want.info[k] << " != " << got.info[k];
        auto d = regions_equal(&want.blocks[64 * k], 16, &got.blocks[64 * k], 16, 8, 8);
        if (!d) return d << "block " << k;
    }
    return testing::AssertionSuccess();
}

// Blocks with streams of the given sizes (in AC bits), in segment order.
Case sized(Rng& rng, const AreaLayout& layout, const std::vector<int>& sizes) {
    Case c;
    for (int s : sizes) c.blocks.push_back(random_block(rng, s));
    write(c, layout, rng);
    return c;
}

std::vector<int> sizes_for(Rng& rng, int n, int lo, int hi) {
    std::vector<int> s(5 * n);
    for (int& v : s) v = rng.uniform_int(lo, hi);
    return s;
}

// ---- the writer's segments decode back -------------------------------------------------------

struct Scenario {
    const char* name;
    int lo, hi;  // AC bits per block
};
// DV areas hold 100 (luminance) and 68 (chrominance) AC bits, 560 per macroblock in all.
constexpr Scenario kScenarios[] = {
    {"every block fits its area", 4, 60},
    {"overflow within the macroblock", 30, 120},
    {"overflow into other macroblocks", 20, 170},
    {"more than the segment holds", 120, 400},
};

// Both layouts (DV: the full and one-pass decoders; DV100: its decoder).
TEST(DvSegment, WriterSegmentsDecodeBackInEveryScenario) {
    Rng rng;
    for (const AreaLayout* l : {&kLayoutDv, &kLayoutDv100}) {
        const bool dv100 = l == &kLayoutDv100;
        int passes[4] = {0, 0, 0, 0}, straddles = 0;
        for (const Scenario& sc : kScenarios) {
            for (int iter = 0; iter < (dv100 ? 40 : 60); ++iter) {
                std::vector<int> sizes = dv100 ? sizes_for(rng, 8, sc.lo * 3 / 4, sc.hi * 3 / 4)
                                               : sizes_for(rng, 6, sc.lo, sc.hi);
                // Some macroblocks full and others nearly empty, so that the segment pass moves
                // bits.
                if (dv100 ? iter % 2 : iter % 3 == 1)
                    std::fill(sizes.begin() + (dv100 ? 8 : 12), sizes.begin() + (dv100 ? 24 : 18),
                              4);
                Case c = sized(rng, *l, sizes);
                for (int p : c.pl.pass) ++passes[p];
                straddles += c.pl.straddles;
                SCOPED_TRACE(testing::Message() << sc.name << ", segment " << iter);
                const Fn full = dv100 ? Fn::kDv100 : Fn::kFull;
                ASSERT_TRUE(same(expect(c, *l, true, 64), decode(full, c.seg)));
                if (!dv100) {
                    ASSERT_TRUE(same(expect(c, *l, false, 64), decode(Fn::kOnePass, c.seg, 64)));
                }
            }
        }
        // Every kind of block was met: fitting, completed in passes 2 and 3, left incomplete.
        for (int p : passes) EXPECT_GT(p, 0);
        EXPECT_TRUE(dv100 || straddles > 0);
    }
}

// The one-pass decoder stops each block after numPositions positions; 0 and 1 keep the DC only
// (no position written, no EOB seen); above 64, whole blocks.
TEST(DvSegment, OnePassStopsEachBlockAfterNumPositions) {
    Rng rng;
    for (int num : {0, 1, 2, 3, 10, 33, 63, 64, 65, 255})
        for (int iter = 0; iter < 8; ++iter) {
            Case c = sized(rng, kLayoutDv, sizes_for(rng, 6, 20, 150));
            SCOPED_TRACE(testing::Message() << "numPositions " << num << ", segment " << iter);
            const Result got = decode(Fn::kOnePass, c.seg, num);
            ASSERT_TRUE(same(expect(c, kLayoutDv, false, std::clamp(num, 1, 64)), got));
            for (int k = 0; num < 2 && k < 30; ++k) {
                EXPECT_EQ(got.info[k] & 0xFF01u, 0u) << "no position written, no EOB seen";
                for (int i = 1; i < 64; ++i) ASSERT_EQ(got.blocks[64 * k + i], kUntouched);
            }
        }
}

// ---- the rules' single cases -----------------------------------------------------------------

// Every block a DC and at most a few codes, each fitting its area.
Case small_case(Rng& rng, const AreaLayout& layout = kLayoutDv) {
    return sized(rng, layout, sizes_for(rng, layout.count, 4, 30));
}

TEST(DvSegment, EobOnlyBlockIsTheDcAlone) {
    Rng rng;
    Case c = small_case(rng);
    int none[64] = {};
    c.blocks[7] = encode_levels(none, -256, 0, 2);
    c.pl = write_segment(kLayoutDv, c.blocks, c.qno, rng, c.seg);
    const Result got = decode(Fn::kFull, c.seg);
    EXPECT_EQ(got.info[7], static_cast<Opx32u>(c.qno[1]) << 16 | 0x20u | 1u);
    EXPECT_EQ(got.blocks[64 * 7], -256 * 128);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(got.blocks[64 * 7 + i], kUntouched) << i;
}

TEST(DvSegment, LuminanceBlockCompletesFromItsOwnChrominanceBlockFirst) {
    Rng rng;
    // Macroblock 0: block 0 needs up to 60 bits beyond its 100, blocks 1-3 fill their areas
    // exactly (32 codes of 3 bits and EOB), block 4 (chrominance) is EOB alone and leaves 64 spare
    // bits. The other macroblocks leave spare bits too, which block 0 must not take.
    Case c;
    do c.blocks.assign(1, random_block(rng, 150));
    while (c.blocks[0].length() <= 100 || c.blocks[0].length() > 164);
    for (int k = 1; k < 4; ++k) {
        int levels[64] = {};
        for (int p = 1; p <= 32; ++p) levels[p] = rng.coin() ? 1 : -1;
        c.blocks.push_back(encode_levels(levels, 5, 0, 1));
        ASSERT_EQ(c.blocks.back().length(), 100);
    }
    int none[64] = {};
    c.blocks.push_back(encode_levels(none, -3, 0, 0));
    for (int k = 5; k < 30; ++k) c.blocks.push_back(random_block(rng, 20));
    write(c, kLayoutDv, rng);
    ASSERT_EQ(c.pl.pass[0], 2) << "block 0 completes in the macroblock pass";
    ASSERT_TRUE(same(expect(c, kLayoutDv, true, 64), decode(Fn::kFull, c.seg)));
    // The one-pass decoder leaves block 0 incomplete.
    EXPECT_EQ(decode(Fn::kOnePass, c.seg).info[0] & 1u, 0u);
}

// A code that carries the position past 63 ends its block without being stored; its EOB bit stays
// clear; the bits after it are spare and serve another block of the macroblock.
TEST(DvSegment, PositionOverflowEndsTheBlockAndFreesItsBits) {
    Rng rng;
    Case c = small_case(rng);
    BlockStream over;
    over.dc = 17;
    over.code(62, 0);  // position 63, a zero stored
    over.code(0, 1);   // position 64: ends the block
    ASSERT_EQ(over.marks.back().p, 64);
    c.blocks[0] = over;
    do c.blocks[1] = random_block(rng, 160);
    while (c.blocks[1].length() <= 100 || c.blocks[1].length() > 180);
    write(c, kLayoutDv, rng);
    Result want = expect(c, kLayoutDv, true, 64);
    const Result got = decode(Fn::kFull, c.seg);
    ASSERT_TRUE(same(want, got));
    EXPECT_EQ(got.info[0] & 0xFF01u, 63u << 8) << "last position 63, no EOB";
    EXPECT_EQ(got.blocks[63], 0);
    for (int i = 1; i < 63; ++i) EXPECT_EQ(got.blocks[i], kUntouched);
    EXPECT_EQ(c.pl.pass[1], 2) << "block 1 completes in the bits after the overflowing code";
    EXPECT_EQ(got.info[1] & 1u, 1u);
}

TEST(DvSegment, TwoFourEightBlocksUseTheFieldScan) {
    Rng rng;
    Case c = small_case(rng);
    BlockStream b;
    b.mode = 1;
    b.level(0, 5);   // position 1 -> raster 32
    b.level(1, -2);  // position 3 -> raster 33
    b.level(0, 1);   // position 4 -> raster 8
    b.eob();
    c.blocks[3] = b;
    write(c, kLayoutDv, rng);
    const Result got = decode(Fn::kFull, c.seg);
    EXPECT_EQ(got.blocks[64 * 3 + 32], 5 * 64);
    EXPECT_EQ(got.blocks[64 * 3 + 1], kUntouched);
    EXPECT_EQ(got.blocks[64 * 3 + 33], -2 * 64);
    EXPECT_EQ(got.blocks[64 * 3 + 8], 64);
    EXPECT_EQ(got.info[3] & 0xFF41u, (4u << 8) | 0x40u | 1u);
    // The scans: the 2-4-8 order pairs the field halves; both are permutations of 0..63.
    const int start[] = {0, 32, 1, 33, 8, 40, 2, 34, 9, 41, 16, 48, 24, 56, 17, 49, 10, 42, 3, 35};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(opx::dv::kScan248[i], start[i]) << i;
    for (const std::uint8_t* scan : {opx::dv::kScan88, opx::dv::kScan248}) {
        bool seen[64] = {};
        for (int i = 0; i < 64; ++i) seen[scan[i]] = true;
        for (bool s : seen) EXPECT_TRUE(s);
    }
}

// The code words the rules quote, and a few of each length; zero-amplitude codes carry no sign.
TEST(DvSegment, CodeWordsOfTheStandard) {
    struct Row {
        std::uint32_t word;
        int length;  // with the sign bit
        int run, value;
    };
    const Row rows[] = {
        {0b000, 3, 0, 1},
        {0b001, 3, 0, -1},
        {0b0100, 4, 0, 2},
        {0b01110, 5, 1, 1},
        {0b10001, 5, 0, -3},
        {0b11010111, 8, 1, -3},
        {0b111001100, 9, 2, 3},
        {0b1111010110, 10, 0, 18},
        {0b11111001110, 11, 0, 0},
        {0b11111001111, 11, 1, 0},
        {0b111110101111, 12, 5, 0},
        {0b1111101111111, 13, 1, -17},
        {0b1111110111101, 13, 61, 0},
        {0b1111111111111111, 16, 0, -255},
    };
    for (const Row& row : rows) {
        std::uint8_t seg[400];
        std::memset(seg, 0xFF, sizeof seg);
        // Block 0 of macroblock 0: DC 0, the code, then EOB (0110), then ones.
        std::uint64_t bits = 0;
        int n = 0;
        auto put = [&](std::uint64_t v, int len) {
            bits = bits << len | v;
            n += len;
        };
        put(0, 12);
        put(row.word, row.length);
        put(0b0110, 4);
        bits <<= 64 - n;
        for (int i = 0; i < 8; ++i) seg[4 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
        std::memset(seg + 12, 0x66, 6);  // EOBs up to the end of the area
        const Result got = decode(Fn::kOnePass, seg, 64);
        const int p = row.run + 1;
        EXPECT_EQ(got.info[0] & 0xFF01u, static_cast<Opx32u>(p) << 8 | 1u) << row.word;
        EXPECT_EQ(got.blocks[opx::dv::kScan88[p]], row.value * 64) << row.word;
    }
}

// ---- AVX2-build kernel against the portable one, reads confined to the segment ----------------

// Random segments (all ones: escapes running to the last bit), the writer's segments of both
// layouts (some with a bit flipped); every layout, limit and pass; the segment's last byte just
// before an unreadable page, or (a page-sized buffer starts on a page) its first byte just after
// one, for the kernels and the exported functions.
TEST(DvSegmentDifferential, AnySegmentEveryLayoutAndLimitReadingOnlyTheSegment) {
    Rng rng;
    GuardedBuffer at_end(400), whole_page(4096);
    for (int iter = 0; iter < 300; ++iter) {
        std::uint8_t* seg = (iter % 2 ? at_end : whole_page).begin();
        const int kind = iter % 3;
        if (kind == 0) {
            for (int i = 0; i < 400; ++i)
                seg[i] = iter % 9 == 0 ? 0xFF : static_cast<std::uint8_t>(rng.next());
        } else {
            const AreaLayout& l = kind == 1 ? kLayoutDv : kLayoutDv100;
            const bool big = iter % 5 == 0;  // overflowing into the segment pass
            Case c = sized(rng, l, sizes_for(rng, l.count, big ? 100 : 4, big ? 300 : 250));
            std::memcpy(seg, c.seg, 400);
            if (iter % 7 == 0)
                seg[rng.uniform(0, 399)] ^= static_cast<std::uint8_t>(1 << rng.uniform(0, 7));
        }
        for (const AreaLayout* l : {&kLayoutDv, &kLayoutDv100}) {
            for (int limit : {1, 5, 64}) {
                for (bool redistribute : {false, true}) {
                    if (redistribute && limit != 64) continue;
                    std::vector<Opx16s> bw(64 * 40), bg(64 * 40);
                    fill(bw.data(), 128, 64, 40, Pattern::kRandom, rng);
                    bg = bw;
                    std::vector<Opx32u> iw(40, 7), ig(40, 7);
                    ref::kDv.segment(seg, *l, limit, redistribute, bw.data(), iw.data());
                    avx2::kDv.segment(seg, *l, limit, redistribute, bg.data(), ig.data());
                    ASSERT_EQ(iw, ig) << "segment " << iter << " limit " << limit;
                    ASSERT_EQ(bw, bg) << "segment " << iter << " limit " << limit;
                }
            }
        }
        if (iter < 80) {
            decode(Fn::kFull, seg);
            decode(Fn::kOnePass, seg, 255);
            decode(Fn::kDv100, seg);
        }
    }
}

// ---- null pointers -----------------------------------------------------------------------------

OPX_NULL_CALL(opxiHuffmanDecodeSegment_DV_8u16s, nul(s.u8(0)), nullptr, nullptr, nul(s.s16(1)),
              nul(s.u32(2)))
OPX_NULL_CALL(opxiHuffmanDecodeSegmentOnePass_DV_8u16s, nul(s.u8(0)), nullptr, nullptr,
              nul(s.s16(1)), nul(s.u32(2)), 64)
OPX_NULL_CALL(opxiHuffmanDecodeSegment_DV100_8u16s, nul(s.u8(0)), nullptr, nullptr, nul(s.s16(1)),
              nul(s.u32(2)))

}  // namespace
}  // namespace opx::test::dv
