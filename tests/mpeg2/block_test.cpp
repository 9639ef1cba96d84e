// MPEG-1/2 block decoders: the annex B code lists, random blocks written with them (table codes
// and both escape forms, runs reaching position 63, codes ending on word boundaries) decoded by
// the exported functions and compared with a per-coefficient oracle;
// the error rules, the mended faults and the argument checks.
#include "mpeg2/block.hpp"

#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "harness/harness.hpp"
#include "mpeg2/block_writer.hpp"
#include "mpeg2/mpeg2_tables.hpp"

namespace opx::test::mpeg2 {
namespace {

using opx::mpeg2::kMpeg1;
using opx::mpeg2::kMpeg2;

const Tables& tables() {
    static const Tables t;
    return t;
}

std::array<Opx32s, 64> scan32(int kind) {
    std::array<Opx32s, 64> s{};
    for (int k = 0; k < 64; ++k) s[k] = opx::mpeg2::kScans[kind][k];
    return s;
}

// ---- the code lists -----------------------------------------------------------------------------

// Σ 2^-length over a list's codes.
double kraft(const std::int32_t* list, int fields) {
    double sum = 0;
    const std::int32_t* p = list + 2 + list[1];
    for (int len = 1;; ++len) {
        const std::int32_t n = *p++;
        if (n < 0) break;
        sum += n * std::ldexp(1.0, -len);
        p += n * fields;
    }
    return sum;
}

TEST(Mpeg2CodeLists, BuildAndCoverTheCodeSpaceTheStandardLeavesUnused) {
    struct List {
        const std::int32_t* list;
        int fields;
        double unused;  // share of the code space that begins no code
    };
    const List lists[] = {
        {mpeg2_b1_macroblock_address_increment, 2, -1},
        {mpeg2_b2_macroblock_type_i, 2, 0.25},
        {mpeg2_b3_macroblock_type_p, 2, 1.0 / 64},
        {mpeg2_b4_macroblock_type_b, 2, 1.0 / 64},
        {mpeg2_b9_coded_block_pattern, 2, 1.0 / 512},  // 0000 0000 0
        {mpeg2_b10_motion_code, 2, -1},
        {mpeg2_b11_dmvector, 2, 0},
        {mpeg2_b12_dc_size_luma, 2, 0},
        {mpeg2_b13_dc_size_chroma, 2, 0},
        // Twelve zeros begin no coefficient code (start-code emulation).
        {mpeg2_b14, 3, 1.0 / 4096},
        {mpeg2_b14_first, 3, 1.0 / 4096},
        // Table one leaves six 12-bit and four 13-bit codes of table zero unused as well.
        {mpeg2_b15, 3, 7.0 / 4096 + 4.0 / 8192},
    };
    for (const List& l : lists) {
        Opx32s* t = nullptr;
        const OpxResult r = l.fields == 2 ? opxiHuffmanTableInitAlloc_32s(l.list, &t)
                                          : opxiHuffmanRunLevelTableInitAlloc_32s(l.list, &t);
        EXPECT_EQ(r, opxOk);
        if (t) opxiHuffmanTableFree_32s(t);
        if (l.unused >= 0) {
            EXPECT_DOUBLE_EQ(kraft(l.list, l.fields), 1.0 - l.unused) << l.list;
        } else {
            EXPECT_LT(kraft(l.list, l.fields), 1.0);
        }
    }
    // Every (run, level) of the coefficient tables once per sign; 111 pairs besides EOB/escape.
    EXPECT_EQ(CodeMap(mpeg2_b14).pairs.size(), 2u * 111);
    EXPECT_EQ(CodeMap(mpeg2_b15).pairs.size(), 2u * 111);
    EXPECT_EQ(CodeMap(mpeg2_b14_first).pairs.size(), 2u * 111);
}

// ---- the oracle ---------------------------------------------------------------------------------

Opx16s oracle_value(bool mpeg1, bool intra, std::int64_t level, std::int64_t w, std::int64_t q) {
    const std::int64_t sign = (level > 0) - (level < 0);
    const std::int64_t k = 2 * level + (intra ? 0 : sign);
    std::int64_t f;
    if (mpeg1) {
        f = k * q * w / 16;
        if (f % 2 == 0) f -= (f > 0) - (f < 0);  // made odd toward zero
    } else {
        f = k * w * q / 32;
    }
    return static_cast<Opx16s>(std::min<std::int64_t>(2047, std::max<std::int64_t>(-2048, f)));
}

struct BlockSetup {
    int codec = kMpeg2;
    bool intra = false;
    std::array<Opx32s, 64> scan = scan32(0);
    Opx32s qscale = 1;
    std::array<Opx16s, 64> weights{};
    bool flat = false;  // MPEG-2 non-intra: null matrix
    int dc_shift = 0;
    bool chroma = false;
    bool table_one = false;  // intra AC with table B-15
};

struct Expected {
    std::array<Opx16s, 64> block{};
    Opx32s size = 0;
};

// `eob`: the block ended normally (mismatch control and the size apply).
Expected expect(const BlockSetup& s, Opx16s& pred, int dc_diff,
                const std::vector<std::pair<int, int>>& pairs, bool eob = true) {
    const bool mpeg1 = s.codec == kMpeg1;
    Expected e;
    int i = s.intra ? 0 : -1;
    if (s.intra) {
        if (mpeg1) {
            pred = static_cast<Opx16s>(pred + 8 * dc_diff);
            e.block[0] = pred;
        } else {
            pred = static_cast<Opx16s>(pred + dc_diff);
            e.block[0] = static_cast<Opx16s>(pred * (1 << s.dc_shift));
        }
    }
    for (const auto& [run, level] : pairs) {
        i += run + 1;
        const int k = s.scan[i] & 63;
        const std::int64_t w = s.flat ? 16 : s.weights[k];
        e.block[k] = oracle_value(mpeg1, s.intra, level, w, s.qscale);
    }
    if (!mpeg1 && eob) {
        int sum = 0;
        for (Opx16s v : e.block) sum += v;
        if (sum % 2 == 0) e.block[63] = static_cast<Opx16s>(e.block[63] ^ 1);
    }
    e.size = (!mpeg1 && !s.intra && i == 0) ? 1 : i;
    return e;
}

// ---- calling the decoders -----------------------------------------------------------------------

// Through the exported names: the portable and AVX2 builds share one loop body, and the whole
// suite runs again with the portable tables serving those names.
struct Call {
    const Opx32s* t0;  // DC size table (intra) or first table
    const Opx32s* t1;  // AC table
};

OpxResult decode(const BlockSetup& s, Call t, Opx32u** pp, Opx32s* off, Opx16s* pred, Opx16s* dst,
                 Opx32s* size) {
    const Opx32s* scan = s.scan.data();
    const Opx16s* qm = s.flat ? nullptr : s.weights.data();
    if (s.intra && s.codec == kMpeg1)
        return opxiReconstructDCTBlockIntra_MPEG1_32s(pp, off, t.t0, t.t1, scan, s.qscale, qm, pred,
                                                      dst, size);
    if (s.intra)
        return opxiReconstructDCTBlockIntra_MPEG2_32s(pp, off, t.t0, t.t1, scan, s.qscale, qm, pred,
                                                      s.dc_shift, dst, size);
    if (s.codec == kMpeg1)
        return opxiReconstructDCTBlock_MPEG1_32s(pp, off, t.t0, t.t1, scan, s.qscale, qm, dst,
                                                 size);
    return opxiReconstructDCTBlock_MPEG2_32s(pp, off, t.t0, t.t1, scan, s.qscale, qm, dst, size);
}

Call tables_for(const BlockSetup& s) {
    const Tables& t = tables();
    if (s.intra) return {s.chroma ? t.dc_chroma : t.dc_luma, s.table_one ? t.b15 : t.b14};
    return {t.b14_first, t.b14};
}

// ---- random blocks ------------------------------------------------------------------------------

int random_level(Rng& rng, bool mpeg1) {
    const int pick = rng.uniform_int(0, 9);
    int mag;
    if (pick < 6)
        mag = rng.uniform_int(1, 3);
    else if (pick < 8)
        mag = rng.uniform_int(1, 40);
    else
        mag = rng.uniform_int(1, mpeg1 ? 255 : 2047);
    if (!mpeg1 && pick == 9 && rng.coin()) return -2048;  // the 12-bit escape's extreme
    if (mpeg1 && pick == 9 && rng.coin()) return -256;
    return rng.coin() ? mag : -mag;
}

// Pairs from position `start` (0 intra: after the DC; -1 non-intra). `last` >= 0 forces the
// final position; at least one pair for non-intra blocks.
std::vector<std::pair<int, int>> random_pairs(Rng& rng, bool intra, bool mpeg1, int last = -1) {
    std::vector<std::pair<int, int>> v;
    int pos = intra ? 0 : -1;
    const int style = rng.uniform_int(0, 3);  // sparse, dense, long runs, mixed
    const int stop = last >= 0 ? last : 63;
    for (;;) {
        const int room = stop - pos - 1;  // largest run that stays within `stop`
        if (room < 0) break;
        if (!v.empty() || intra) {
            if (last < 0 && rng.uniform(0, 99) < (style == 0 ? 35 : style == 1 ? 3 : 15)) break;
        }
        int run;
        if (style == 1)
            run = 0;
        else if (style == 2)
            run = rng.uniform_int(0, room);
        else
            run = rng.uniform_int(0, std::min(room, rng.coin() ? 2 : 31));
        if (last >= 0 && rng.uniform(0, 3) == 0) run = room;  // jump straight to `last`
        v.push_back({run, random_level(rng, mpeg1)});
        pos += run + 1;
        if (pos == stop) break;
    }
    if (last >= 0 && pos != last) {
        v.push_back({last - pos - 1, random_level(rng, mpeg1)});
    }
    return v;
}

BlockSetup random_setup(Rng& rng, int codec, bool intra) {
    BlockSetup s;
    s.codec = codec;
    s.intra = intra;
    s.scan = scan32(rng.coin() ? 0 : 1);
    s.qscale = static_cast<Opx32s>(codec == kMpeg1 ? rng.uniform(1, 31) : rng.uniform(1, 112));
    const int m = rng.uniform_int(0, 3);
    for (int i = 0; i < 64; ++i)
        s.weights[i] = static_cast<Opx16s>(m == 0   ? rng.uniform(1, 255)
                                           : m == 1 ? opx::mpeg2::kDefaultIntraMatrix[i]
                                           : m == 2 ? 16
                                                    : 255);
    s.flat = codec == kMpeg2 && !intra && m == 2 && rng.coin();
    s.dc_shift = rng.uniform_int(0, 3);
    s.chroma = rng.coin();
    s.table_one = codec == kMpeg2 && intra && rng.coin();
    return s;
}

struct Written {
    BitWriter w;
    std::vector<int> diffs;
    std::vector<std::vector<std::pair<int, int>>> pairs;
    std::vector<std::size_t> ends;  // stream length after each block
    std::vector<std::size_t> code_ends;
};

// `overrun`: the last pair of each block (at position 63) one run longer, past the block's end.
Written write_blocks(Rng& rng, const BlockSetup& s, int count, Escape esc, int force_last = -1,
                     bool overrun = false) {
    const bool mpeg1 = s.codec == kMpeg1;
    const CodeMap later(s.intra && s.table_one ? mpeg2_b15 : mpeg2_b14);
    const CodeMap first(mpeg2_b14_first);
    const auto dc_codes = value_codes(s.chroma ? mpeg2_b13_dc_size_chroma : mpeg2_b12_dc_size_luma);
    auto coin = [&rng] { return rng.coin(); };
    Written out;
    for (int b = 0; b < count; ++b) {
        int diff = 0;
        if (s.intra) {
            const int size = rng.uniform_int(0, mpeg1 ? 8 : 11);
            if (size > 0) {
                const int mag = rng.uniform_int(1 << (size - 1), (1 << size) - 1);
                diff = rng.coin() ? mag : -mag;
            }
            put_dc(out.w, dc_codes, diff);
        }
        const int last = force_last >= 0 ? force_last : (rng.uniform(0, 7) == 0 ? 63 : -1);
        auto pairs = random_pairs(rng, s.intra, mpeg1, last);
        while (overrun && pairs.back().first == 63)  // a run of 64 has no code
            pairs = random_pairs(rng, s.intra, mpeg1, last);
        if (overrun) ++pairs.back().first;
        put_pairs(out.w, pairs, later, s.intra ? nullptr : &first, mpeg1, esc, coin,
                  &out.code_ends);
        out.w.put(later.eob);
        out.code_ends.push_back(out.w.size());
        out.diffs.push_back(diff);
        out.pairs.push_back(std::move(pairs));
        out.ends.push_back(out.w.size());
    }
    return out;
}

// Decodes the blocks one after another and checks each against the oracle. Returns
// the number of codes that ended on a word boundary.
int check_blocks(const BlockSetup& s, const Written& wr, int first_pos, Opx16s pred0) {
    // The stream ends two words after its last bit (room for the table walk's index bits and
    // the word after them), at the end of readable memory.
    const std::vector<Opx32u> words = wr.w.words(first_pos, 2);
    GuardedBuffer g(words.size() * 4);
    std::memcpy(g.begin(), words.data(), words.size() * 4);
    Opx32u* const base = reinterpret_cast<Opx32u*>(g.begin());
    Opx32u* p = base;
    Opx32s pos = first_pos;
    Opx16s pred = pred0, want_pred = pred0;
    for (std::size_t b = 0; b < wr.pairs.size(); ++b) {
        SCOPED_TRACE(testing::Message() << "block " << b);
        const Expected e = expect(s, want_pred, wr.diffs[b], wr.pairs[b]);
        Plane<Opx16s> dst(64, 1, 8);
        std::fill(dst.data(), dst.data() + 64, Opx16s{0x5A5A});
        Opx32s size = -7;
        const OpxResult r = decode(s, tables_for(s), &p, &pos, &pred, dst.data(), &size);
        EXPECT_EQ(r, opxOk);
        if (r != opxOk) return 0;
        EXPECT_TRUE(regions_equal(e.block.data(), 16, dst.data(), 16, 8, 8))
            << "qscale " << s.qscale << " codec " << s.codec << " intra " << s.intra;
        EXPECT_TRUE(dst.canaries_intact());
        EXPECT_EQ(size, e.size);
        EXPECT_EQ(pred, want_pred);
        const auto [word, bit] = BitWriter::cursor_at(wr.ends[b], first_pos);
        EXPECT_EQ(p - base, static_cast<std::ptrdiff_t>(word));
        EXPECT_EQ(pos, bit);
        if (testing::Test::HasFailure()) return 0;
    }
    int boundary = 0;
    for (std::size_t e : wr.code_ends) boundary += BitWriter::cursor_at(e, first_pos).second == 31;
    return boundary;
}

TEST(Mpeg2BlockDecode, RandomBlocksMatchThePerCoefficientOracle) {
    Rng rng;
    int boundaries = 0, escapes_seen = 0;
    for (int codec : {kMpeg1, kMpeg2}) {
        for (bool intra : {false, true}) {
            for (int round = 0; round < 24; ++round) {
                SCOPED_TRACE(testing::Message()
                             << "codec " << codec << " intra " << intra << " round " << round);
                BlockSetup s = random_setup(rng, codec, intra);
                if (round >= 18) {  // extreme scales and weights: exact, no overflow
                    const Opx32s qs[] = {INT_MAX, INT_MIN + 1, -1, 0, 65536, 112};
                    const Opx16s ws[] = {32767, -32768, 255, 1, -32768, 32767};
                    s.qscale = qs[round - 18];
                    s.weights.fill(ws[round - 18]);
                    s.flat = false;
                }
                const Escape esc = round % 3 == 0   ? Escape::kNever
                                   : round % 3 == 1 ? Escape::kSometimes
                                                    : Escape::kAlways;
                escapes_seen += esc != Escape::kNever;
                const Written wr = write_blocks(rng, s, 24, esc);
                const int first_pos = rng.uniform_int(0, 31);
                const Opx16s pred0 =
                    static_cast<Opx16s>(codec == kMpeg1 ? 1024 : 1 << (7 + (3 - s.dc_shift)));
                boundaries += check_blocks(s, wr, first_pos, pred0);
                if (HasFailure()) return;
            }
        }
    }
    EXPECT_GT(boundaries, 0) << "no code ended on a word boundary";
    EXPECT_GT(escapes_seen, 0);
}

TEST(Mpeg2BlockDecode, RunReachingPosition63IsDecodedAnd64IsAnError) {
    Rng rng;
    for (int codec : {kMpeg1, kMpeg2}) {
        for (bool intra : {false, true}) {
            BlockSetup s = random_setup(rng, codec, intra);
            const Written ok = write_blocks(rng, s, 8, Escape::kSometimes, 63);
            check_blocks(s, ok, 7, 0);
            // Position 64: the last pair's run one longer. Coefficients placed before stay, the
            // cursor stands after the offending code, the size is not written.
            const Written bad = write_blocks(rng, s, 1, Escape::kSometimes, 63, true);
            Opx16s pred = 0, want_pred = 0;
            std::vector<std::pair<int, int>> placed(bad.pairs[0].begin(), bad.pairs[0].end() - 1);
            const Expected e = expect(s, want_pred, bad.diffs[0], placed, false);
            std::vector<Opx32u> words = bad.w.words(31);
            Opx32u* p = words.data();
            Opx32s pos = 31, size = -7;
            std::array<Opx16s, 64> dst;
            dst.fill(99);
            ASSERT_EQ(decode(s, tables_for(s), &p, &pos, &pred, dst.data(), &size),
                      opxErrH264VlcCode);
            EXPECT_EQ(size, -7);
            EXPECT_EQ(pred, intra ? want_pred : 0);
            // code_ends: one per pair, then the end of block
            const auto [word, bit] = BitWriter::cursor_at(bad.code_ends[placed.size()], 31);
            EXPECT_EQ(p - words.data(), static_cast<std::ptrdiff_t>(word));
            EXPECT_EQ(pos, bit);
            EXPECT_EQ(dst, e.block);  // placed coefficients, no mismatch control
        }
    }
}

// One block decoded from `bits` (the cursor at bit 31 of word 0), the DC predictor 77 and every
// coefficient 3 before the call.
struct Outcome {
    OpxResult result;
    std::ptrdiff_t words;  // whole words consumed
    Opx32s pos, size;
    Opx16s pred;
    std::array<Opx16s, 64> dst;
};
Outcome decode_bits(const BlockSetup& s, Call t, const std::string& bits) {
    BitWriter w;
    w.put_text(bits);
    std::vector<Opx32u> words = w.words(31, 2);
    Opx32u* p = words.data();
    Outcome o{};
    o.pos = 31, o.size = -1, o.pred = 77;
    o.dst.fill(3);
    o.result = decode(s, t, &p, &o.pos, &o.pred, o.dst.data(), &o.size);
    o.words = p - words.data();
    return o;
}

// ---- errors and mended faults -------------------------------------------------------------------

TEST(Mpeg2BlockDecode, InvalidCodeLeavesTheCursorBeforeIt) {
    const Tables& t = tables();
    for (int codec : {kMpeg1, kMpeg2}) {
        BlockSetup s;
        s.codec = codec;
        s.weights.fill(16);
        // Non-intra: "0100 0" is run 0 level 2 (via the first table), then twelve zeros.
        Outcome o = decode_bits(s, {t.b14_first, t.b14}, "01000 000000000000 1111");
        EXPECT_EQ(o.result, opxErrH264VlcCode);
        EXPECT_EQ(o.pos, 26);
        EXPECT_EQ(o.size, -1);
        EXPECT_NE(o.dst[0], 0);  // the coefficient placed before stays
        // An invalid first code: the cursor as on entry.
        o = decode_bits(s, {t.b14_first, t.b14}, "000000000000 1111");
        EXPECT_EQ(o.result, opxErrH264VlcCode);
        EXPECT_EQ(o.pos, 31);
        EXPECT_EQ(o.words, 0);
    }
}

// Caller tables that a conforming decoder would never pass: EOB as the first code, dct_dc_size
// above 11 (which would read more bits than a field can hold), scan entries outside 0..63.
TEST(Mpeg2BlockDecode, CallerTablesOutsideTheStandard) {
    // First table: "01" EOB, "00" run 0 level 5, "1x" never reached (the shortcut).
    static const Opx32s kFirst[] = {0, 1, 2, /*1*/ 0, /*2*/ 2, 0x1, 254, 0, 0x0, 0, 5, -1};
    // DC sizes: "1" -> 12, "01" -> 3, "00" -> -1.
    static const Opx32s kDc[] = {0, 1, 2, /*1*/ 1, 1, 12, /*2*/ 2, 1, 3, 0, -1, -1};
    Opx32s *first = nullptr, *dc = nullptr;
    ASSERT_EQ(opxiHuffmanRunLevelTableInitAlloc_32s(kFirst, &first), opxOk);
    ASSERT_EQ(opxiHuffmanTableInitAlloc_32s(kDc, &dc), opxOk);
    const Tables& t = tables();
    const auto zz = scan32(0);
    for (int codec : {kMpeg1, kMpeg2}) {
        BlockSetup s;
        s.codec = codec;
        s.weights.fill(16);
        Outcome o = decode_bits(s, {first, t.b14}, "01 10");
        EXPECT_EQ(o.result, opxErrH264VlcCode);
        EXPECT_EQ(o.pos, 29);  // after the EOB
        EXPECT_EQ(o.size, -1);
        s.intra = true;
        for (const char* bits : {"1 000000000000", "00 0000"}) {
            o = decode_bits(s, {dc, t.b14}, bits);
            EXPECT_EQ(o.result, opxErrH264VlcCode);
            EXPECT_EQ(o.pos, 31);  // before the size code
            EXPECT_EQ(o.pred, 77);
            EXPECT_EQ(o.dst[0], 0);  // cleared, nothing placed
        }
        // Scan entries are used modulo 64: (0,-1) at position 0, (0,1) at position 1.
        s.intra = false;
        for (int k = 0; k < 64; ++k) s.scan[k] = zz[k] + ((k & 1) ? -64000 : 64 * 12345);
        o = decode_bits(s, {t.b14_first, t.b14}, "11 110 10");
        ASSERT_EQ(o.result, opxOk);
        EXPECT_EQ(o.dst[0], codec == kMpeg2 ? -1 : -3);
        EXPECT_EQ(o.dst[1], codec == kMpeg2 ? 1 : 3);
        // Mismatch control sums the values left in the block: a scan that places twice at one
        // index counts only the last value there. "11" (0,-1) by the first-code shortcut, "110"
        // (0,+1), EOB, at scale 2: -3, then 3; the sum, 3, is odd. With and without a matrix.
        if (codec == kMpeg1) continue;
        s.scan.fill(5);
        s.qscale = 2;
        for (bool flat : {true, false}) {
            s.flat = flat;
            o = decode_bits(s, {t.b14_first, t.b14}, "11 110 10");
            ASSERT_EQ(o.result, opxOk);
            EXPECT_EQ(o.dst[5], 3);
            EXPECT_EQ(o.dst[63], 0);
            EXPECT_EQ(o.pos, 24);
        }
    }
    opxiHuffmanTableFree_32s(first);
    opxiHuffmanTableFree_32s(dc);
}

// Argument checks of the MPEG-1/2 functions, one table: each row one bad argument (or two, the
// first checked winning), the code it gives, and nothing written or consumed.
TEST(Mpeg2Checks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    const Tables* t = &tables();
    const auto zz = scan32(0);
    std::array<Opx16s, 64> w;
    w.fill(16);
    const Opx16s* wt = w.data();
    const Opx32s* scan = zz.data();
    std::vector<ArgCase> rows = {
        // A null stream pointer behind ppBitStream, with a bad dcShift: the null pointer first.
        OPX_ARG(opxErrNullPtr, opxiReconstructDCTBlockIntra_MPEG2_32s(s.put(1, static_cast<Opx32u*>(nullptr)), s.put(2, Opx32s{31}), t->dc_luma, t->b14, scan, 1, wt, s.s16(3), 7, s.s16(4), s.s32(5))),
        OPX_ARG(opxErrDivByZero, opxiQuantIntra_MPEG2_16s_C1I(s.s16(0), 0, nullptr, s.s32(1))),
        OPX_ARG(opxErrDivByZero, opxiQuant_MPEG2_16s_C1I(s.s16(0), 0, nullptr, s.s32(1))),
        OPX_ARG(opxErrNullPtr, opxiScanFwd_16s_C1(nullptr, s.s16(1), 0, 0)),  // null before range
    };
    for (Opx32s shift : {-1, 4, INT_MAX})
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiReconstructDCTBlockIntra_MPEG2_32s(s.put(1, s.u32(0)), s.put(2, Opx32s{31}), t->dc_luma, t->b14, scan, 1, wt, s.s16(3), shift, s.s16(4), s.s32(5))));
    for (Opx32s bad : {-1, 32, INT_MIN}) {
        rows.push_back(OPX_ARG(opxErrBadArg, opxiReconstructDCTBlockIntra_MPEG1_32s(s.put(1, s.u32(0)), s.put(2, bad), t->dc_luma, t->b14, scan, 1, wt, s.s16(3), s.s16(4), s.s32(5))));
        // The position is checked before dcShift.
        rows.push_back(OPX_ARG(opxErrBadArg, opxiReconstructDCTBlockIntra_MPEG2_32s(s.put(1, s.u32(0)), s.put(2, bad), t->dc_luma, t->b14, scan, 1, wt, s.s16(3), 9, s.s16(4), s.s32(5))));
        rows.push_back(OPX_ARG(opxErrBadArg, opxiReconstructDCTBlock_MPEG1_32s(s.put(1, s.u32(0)), s.put(2, bad), t->b14_first, t->b14, scan, 1, wt, s.s16(4), s.s32(5))));
        rows.push_back(OPX_ARG(opxErrBadArg, opxiReconstructDCTBlock_MPEG2_32s(s.put(1, s.u32(0)), s.put(2, bad), t->b14_first, t->b14, scan, 1, nullptr, s.s16(4), s.s32(5))));
    }
    for (Opx32s n : {0, 65, -1, INT_MIN})
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiScanFwd_16s_C1(s.s16(0), s.s16(1), n, 0)));
    for (Opx32s n : {-1, 64, INT_MAX})
        rows.push_back(OPX_ARG(opxErrOutOfRange, opxiScanInv_16s_C1(s.s16(0), s.s16(1), n, 0)));
    expect_arg_cases(rows);
}

// ---- null pointers ------------------------------------------------------------------------------

struct NullFixture {
    std::array<Opx32s, 64> scan = scan32(0);
    std::array<Opx16s, 64> weights{};
    Opx32u stream[8] = {0x8A000000u, 0, 0, 0, 0, 0, 0, 0};  // "100 0101 0": (0,1), EOB ...
    NullFixture() { weights.fill(16); }
};
NullFixture& null_fixture() {
    static NullFixture f;
    return f;
}

// Every pointer of the call, the stream pointer behind ppBitStream included.
#define OPX_MPEG2_BLOCK_NULL_CASE(fn, t0, t1, weights, ...)                                      \
    OPX_NULL_CASE(fn) {                                                                          \
        NullFixture& f = null_fixture();                                                         \
        Opx32u* p = nul(f.stream);                                                               \
        Opx32s off = 31;                                                                         \
        return fn(nul(&p), nul(&off), nul(tables().t0), nul(tables().t1), nul(f.scan.data()), 3, \
                  weights, __VA_ARGS__);                                                         \
    }
OPX_MPEG2_BLOCK_NULL_CASE(opxiReconstructDCTBlockIntra_MPEG1_32s, dc_luma, b14,
                          nul(f.weights.data()), nul(s.s16(1)), nul(s.s16(2)), nul(s.s32(3)))
OPX_MPEG2_BLOCK_NULL_CASE(opxiReconstructDCTBlockIntra_MPEG2_32s, dc_luma, b14,
                          nul(f.weights.data()), nul(s.s16(1)), 1, nul(s.s16(2)), nul(s.s32(3)))
OPX_MPEG2_BLOCK_NULL_CASE(opxiReconstructDCTBlock_MPEG1_32s, b14_first, b14, nul(f.weights.data()),
                          nul(s.s16(2)), nul(s.s32(3)))
OPX_MPEG2_BLOCK_NULL_CASE(opxiReconstructDCTBlock_MPEG2_32s, b14_first, b14, f.weights.data(),
                          nul(s.s16(2)), nul(s.s32(3)))

}  // namespace
}  // namespace opx::test::mpeg2
