#include "frame/bitstream.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::bits;

// Fields of 1..32 bits from every position (single bits at bit 0, fields spanning two words or
// ending on bit 0 of a word) and give-backs across words, against a bit-by-bit reading.
TEST(WordReader, RandomFieldsMatchABitByBitReading) {
    Rng rng;
    std::vector<Opx32u> words(512);
    for (auto& w : words) w = rng.next();
    auto bit_at = [&](std::size_t i) { return (words[i / 32] >> (31 - i % 32)) & 1u; };
    WordReader r(words.data(), 31);
    std::size_t at = 0;
    while (at + 64 < words.size() * 32) {
        const int n = rng.uniform_int(1, 32);
        std::uint32_t expect = 0;
        for (int i = 0; i < n; ++i) expect = (expect << 1) | bit_at(at + i);
        ASSERT_EQ(r.read(n), expect) << "at bit " << at << ", n " << n;
        at += n;
        ASSERT_EQ(r.ptr() - words.data(), static_cast<std::ptrdiff_t>(at / 32));
        ASSERT_EQ(r.pos(), 31 - static_cast<int>(at % 32));
        if (rng.uniform(0, 3) == 0) {
            const int k = rng.uniform_int(0, std::min<std::size_t>(31, at));
            r.unread(k);
            at -= k;
            ASSERT_EQ(r.pos(), 31 - static_cast<int>(at % 32));
        }
    }
}

TEST(WordReader, LeadingZerosStopAtTheLimit) {
    const Opx32u w[4] = {0x00000000u, 0x00000001u, 0x40000000u, 0};
    WordReader r(w, 31);
    EXPECT_EQ(r.leading_zeros(64), 63);  // the one bit is bit 0 of word 1
    EXPECT_EQ(r.ptr(), w + 2);
    EXPECT_EQ(r.pos(), 31);
    EXPECT_EQ(r.leading_zeros(32), 1);
    EXPECT_EQ(r.pos(), 29);
    WordReader r2(w, 31);
    EXPECT_EQ(r2.leading_zeros(32), -1);
}

TEST(VlcWalk, LinksAndInvalidEntries) {
    // Root width 1: index 0 links to a sub-table of width 2 at 3; index 1 is invalid.
    std::vector<Opx32s> t = {1,
                             (3 << 8) | 0x80,
                             0x00F0F101,
                             2,
                             (10 << 8) | 0,
                             (11 << 8) | 1,
                             (12 << 8) | 0,
                             (13 << 8) | 0};
    const Opx32u w[2] = {0x20000000u, 0};  // 0 01 ...
    WordReader r(w, 31);
    std::int32_t v = 0;
    ASSERT_TRUE(vlc_walk(r, t.data(), v));
    EXPECT_EQ(v, 11);
    EXPECT_EQ(r.pos(), 29);  // 3 bits read, 1 given back
    const Opx32u bad[2] = {0x80000000u, 0};
    WordReader rb(bad, 31);
    EXPECT_FALSE(vlc_walk(rb, t.data(), v));
    std::vector<Opx32s> wide = {33, 0};
    WordReader rw(w, 31);
    EXPECT_FALSE(vlc_walk(rw, wide.data(), v));
}

TEST(ByteReader, ReadsAcrossBytesAndKeepsTheOffset) {
    const Opx8u b[8] = {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0, 0};
    ByteReader r(b, 4);
    EXPECT_EQ(r.read(8), 0xBCu);
    EXPECT_EQ(r.ptr(), b + 1);
    EXPECT_EQ(r.offset(), 4);
    EXPECT_EQ(r.read(32), 0xDEF12345u);
    EXPECT_EQ(r.ptr(), b + 5);
    EXPECT_EQ(r.offset(), 4);
}

TEST(ByteWriter, TenBitCodeAtOffsetSeven) {
    Opx8u b[4] = {0xFF, 0xEE, 0xDD, 0xCC};
    ByteWriter w(b, 7);
    w.write(0x2AB, 10);  // 10 1010 1011
    EXPECT_EQ(b[0], 0xFF);  // top 7 bits kept, first code bit 1
    EXPECT_EQ(b[1], 0x55);  // 0101 0101
    EXPECT_EQ(b[2], 0x80);  // last bit 1, zeros below
    EXPECT_EQ(b[3], 0xCC);  // untouched
    EXPECT_EQ(w.ptr(), b + 2);
    EXPECT_EQ(w.offset(), 1);
}

// Random codes of 1..32 bits written into `units` units holding `fill` until they are full, read
// back by the reader.
template <class Writer, class Reader, class Unit>
void round_trip(std::size_t units, Unit fill, int writer_start, int reader_start) {
    Rng rng;
    std::vector<Unit> buf(units + 8, fill);
    std::vector<std::pair<std::uint32_t, int>> codes;
    Writer w(buf.data(), writer_start);
    while (w.ptr() < buf.data() + units) {
        const int n = rng.uniform_int(1, 32);
        const std::uint32_t c = rng.next() & low_mask(n);
        w.write(c, n);
        codes.emplace_back(c, n);
    }
    Reader r(buf.data(), reader_start);
    for (auto [c, n] : codes) ASSERT_EQ(r.read(n), c);
}

TEST(ByteWriter, RandomCodesReadBackThroughTheByteReader) {
    round_trip<ByteWriter, ByteReader, Opx8u>(4096, 0xFF, 0, 0);
}

TEST(WordWriter, SpillIntoTheNextWord) {
    Opx32u w[2] = {0, 0xDEADBEEFu};
    WordWriter wr(w, 5);
    wr.write(0xB5, 8);  // 10110 101
    EXPECT_EQ(w[0], 0x16u);
    EXPECT_EQ(w[1], 0xA0000000u);
    EXPECT_EQ(wr.free_bits(), 29);
    EXPECT_EQ(wr.ptr(), w + 1);
}

TEST(WordWriter, ExactFillMovesOnWithoutTouchingTheNextWord) {
    Opx32u w[2] = {0, 0x12345678u};
    WordWriter wr(w, 8);
    wr.write(0xA5, 8);
    EXPECT_EQ(w[0], 0xA5u);
    EXPECT_EQ(w[1], 0x12345678u);
    EXPECT_EQ(wr.free_bits(), 32);
    EXPECT_EQ(wr.ptr(), w + 1);
}

TEST(WordWriter, RandomCodesReadBackThroughTheWordReader) {
    round_trip<WordWriter, WordReader, Opx32u>(1024, 0, 32, 31);
}

}  // namespace
}  // namespace opx::test
