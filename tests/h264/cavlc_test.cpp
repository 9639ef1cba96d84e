// CAVLC and Exp-Golomb decoding: round trips through an independent bit writer (every decoder,
// its exported name served by each kernel table), AVX2 against portable kernels on arbitrary bits,
// and the rules: result codes, cursor positions, what stays written after a failure.
#include "h264/decode/cavlc.hpp"

#include <algorithm>
#include <numeric>

#include "frame/dispatch.hpp"
#include "h264/cavlc_writer.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::test::cavlc;

constexpr std::int32_t kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

// The exported names served by each kernel table in turn.
constexpr cpu::Isa kPaths[] = {cpu::kIsaPortable, cpu::kIsaAvx2};
const char* path_name(cpu::Isa p) {
    return p == cpu::kIsaAvx2 ? "avx2" : "portable";
}

struct Cursor {
    Opx32u* p;
    Opx32s pos;
};

// The standard's total_zeros tables for a block of `blk.kind`.
const Opx32s** zeros_of(const Block& blk) {
    Tables& t = tables();
    return blk.kind == Kind::kDc2x2   ? t.total_zeros_2x2
           : blk.kind == Kind::kDc2x4 ? t.total_zeros_2x4
           : blk.kind == Kind::kRange ? t.total_zeros_for(blk.end - blk.start + 1)
                                      : t.total_zeros_4x4;
}

// Decodes one block of `blk.kind` through the exported names served by the `isa` table, with the
// tables of the standard, or the caller's total_zeros and run_before arrays.
template <class T>
OpxResult decode(cpu::Isa isa, const Block& blk, const std::int32_t* scan, Cursor& c,
                 Opx16s* num, T** dst, const Opx32s** zeros = nullptr,
                 const Opx32s** runs = nullptr) {
    Tables& t = tables();
    const Opx32s* dc_token = blk.kind == Kind::kDc2x2 ? t.coeff_token_dc : t.coeff_token_dc422;
    if (!zeros) zeros = zeros_of(blk);
    if (!runs) runs = t.run_before;
    // The 16- or 32-bit form of a function (the range form has only the 16-bit one).
    constexpr bool k16 = sizeof(T) == 2;
    const auto form = [](auto f16, auto f32) {
        if constexpr (k16)
            return f16;
        else
            return f32;
    };
    const cpu::Isa before = cpu::Isa(cpu::g_isa.load());
    cpu::force_isa(isa);
    OpxResult r = opxErrBadArg;
    switch (blk.kind) {
        case Kind::k4x4:
            r = form(opxiDecodeCAVLCCoeffs_H264_1u16s, opxiDecodeCAVLCCoeffs_H264_1u32s)(
                &c.p, &c.pos, num, dst, blk.nc, static_cast<Opx16s>(16 - blk.start),
                t.coeff_token, zeros, runs, scan);
            break;
        case Kind::kRange:
            if constexpr (k16)
                r = opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(
                    &c.p, &c.pos, num, dst, blk.nc, static_cast<Opx16s>(blk.end - blk.start + 1),
                    t.coeff_token, zeros, runs, scan, blk.start, blk.end);
            break;
        case Kind::kDc2x2:
            r = form(opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s,
                     opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s)(&c.p, &c.pos, num, dst, dc_token,
                                                               zeros, runs);
            break;
        case Kind::kDc2x4:
            r = form(opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s,
                     opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s)(&c.p, &c.pos, num, dst,
                                                                  dc_token, zeros, runs);
            break;
    }
    cpu::force_isa(before);
    return r;
}

int block_length(Kind k) {
    return k == Kind::kDc2x2 ? 4 : k == Kind::kDc2x4 ? 8 : 16;
}

// The dense block a decoder must produce for `blk`.
template <class T>
std::vector<T> expected_block(const Block& blk, const std::int32_t* scan) {
    static constexpr int k422[8] = {0, 2, 1, 4, 6, 3, 5, 7};
    std::vector<T> out(block_length(blk.kind), 0);
    for (int p = 0; p < 16; ++p) {
        if (!blk.scan_levels[p]) continue;
        const T v = static_cast<T>(blk.scan_levels[p]);
        if (blk.kind == Kind::kDc2x2)
            out[p] = v;
        else if (blk.kind == Kind::kDc2x4)
            out[k422[p]] = v;
        else
            out[scan[p] & 15] = v;  // scan entries are used modulo 16
    }
    return out;
}

// Writes `blocks` one after another, decodes them back in order and checks every block, the
// packing of the coefficient stream, and the cursor standing exactly at the end. The stream ends
// two words after the last code and the packed blocks at the last writable byte, both against
// unreadable pages: a decoder that reads further than the next word after its look-ahead, or
// writes past the blocks, faults.
template <class T>
void round_trip(cpu::Isa path, const std::vector<Block>& blocks, const std::int32_t* scan,
                Rng& rng) {
    BitWriter w;
    std::size_t packed = 0;
    for (const Block& b : blocks) {
        write_block(b, w);
        const std::vector<T> e = expected_block<T>(b, scan);
        if (std::any_of(e.begin(), e.end(), [](T v) { return v != 0; })) packed += e.size();
    }
    const int lead = static_cast<int>(rng.uniform(0, 31));
    const std::vector<Opx32u> words = w.words(lead, 2, rng);
    GuardedBuffer in(words.size() * 4), out(std::max<std::size_t>(packed, 1) * sizeof(T));
    auto* stream = reinterpret_cast<Opx32u*>(in.place(words.size() * 4, 1, 0));
    std::copy(words.begin(), words.end(), stream);
    T* const coeffs = reinterpret_cast<T*>(out.place(packed * sizeof(T), 1, 0));
    Cursor c{stream, lead};
    T* dst = coeffs;
    std::vector<T> expect;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE("block " + std::to_string(i));
        Opx16s num = -1;
        T* before = dst;
        ASSERT_EQ(decode<T>(path, blocks[i], scan, c, &num, &dst), opxOk);
        const std::vector<T> e = expected_block<T>(blocks[i], scan);
        const int tc = static_cast<int>(std::count_if(e.begin(), e.end(), [](T v) { return v; }));
        ASSERT_EQ(num, tc);
        ASSERT_EQ(dst - before, tc ? block_length(blocks[i].kind) : 0);
        if (tc) {
            ASSERT_TRUE(regions_equal(e.data(), 0, before, 0, block_length(blocks[i].kind), 1));
            expect.insert(expect.end(), e.begin(), e.end());
        }
    }
    const std::size_t end_bit = (31 - lead) + w.size();
    EXPECT_EQ(c.p - stream, static_cast<std::ptrdiff_t>(end_bit / 32));
    EXPECT_EQ(c.pos, 31 - static_cast<int>(end_bit % 32));
}

// A random block of `kind`: nC 0..16; 4x4 with or without the DC position; the range form over
// the whole block or (sub_ranges) over any sub-range.
Block any_block(Rng& rng, Kind kind, bool sub_ranges, std::int32_t max_level) {
    const int nc = static_cast<int>(rng.uniform(0, 16));
    int start = kind == Kind::k4x4 ? static_cast<int>(rng.uniform(0, 1)) : 0, end = 15;
    if (kind == Kind::kRange && sub_ranges) {
        start = static_cast<int>(rng.uniform(0, 15));
        end = static_cast<int>(rng.uniform(start, 15));
    }
    return random_block(rng, kind, nc, start, end, max_level);
}

template <class T>
void round_trip_kind(Kind kind, bool range_forms) {
    Rng rng;
    const std::int32_t max_level = sizeof(T) == 2 ? 32767 : (1 << 22);
    std::int32_t wild[16];  // the zig-zag scan plus multiples of 16
    for (int i = 0; i < 16; ++i) wild[i] = kZigzag[i] + 16 * (i * 7919 - 40000);
    for (cpu::Isa path : kPaths) {
        SCOPED_TRACE(path_name(path));
        for (int rep = 0; rep < 300; ++rep) {
            std::vector<Block> blocks;
            for (int i = 0; i <= rep % 8; ++i)
                blocks.push_back(any_block(rng, kind, range_forms, max_level));
            round_trip<T>(path, blocks, rep % 2 ? wild : kZigzag, rng);
            if (testing::Test::HasFatalFailure()) return;
        }
    }
}

// Random blocks of every decoder: 4x4 (both limits, 16- and 32-bit), the range form over the
// whole block and over every sub-range, chroma DC 2x2 and 2x4 (16- and 32-bit).
TEST(CavlcRoundTrip, RandomBlocksOfEveryDecoder) {
    for (Kind kind : {Kind::k4x4, Kind::kDc2x2, Kind::kDc2x4}) {
        round_trip_kind<Opx16s>(kind, false);
        round_trip_kind<Opx32s>(kind, false);
    }
    round_trip_kind<Opx16s>(Kind::kRange, false);
    round_trip_kind<Opx16s>(Kind::kRange, true);
}

// The 16-bit forms keep the low 16 bits of levelCode of levels past 16 bits (the 32-bit forms
// decode them exactly: the round trips).
TEST(CavlcLevels, SixteenBitFormsKeepTheLowBitsOfLargeLevels) {
    Rng rng;
    Block b;
    b.nc = 0;
    b.scan_levels[0] = 100000;
    b.scan_levels[3] = -(1 << 21);
    b.scan_levels[7] = 1;
    BitWriter w;
    write_block(b, w);
    std::vector<Opx32u> words = w.words(31, 2, rng);
    for (cpu::Isa path : kPaths) {
        Cursor c{words.data(), 31};
        Opx16s out[16], *dst = out, num;
        ASSERT_EQ(decode<Opx16s>(path, b, kZigzag, c, &num, &dst), opxOk);
        std::int64_t code = 2 * std::int64_t{100000} - 2;  // the last level decoded, not first
        code &= 0xFFFF;
        const std::int32_t v = code % 2 == 0 ? static_cast<std::int32_t>((code + 2) >> 1)
                                             : -static_cast<std::int32_t>((code + 1) >> 1);
        EXPECT_EQ(out[kZigzag[0]], static_cast<Opx16s>(v)) << path_name(path);
    }
}

// ---- AVX2 kernels against the portable ones on arbitrary bits --------------------------------

// Both kernel tables decode the same arbitrary bits as one block of `kind` (which also says the
// range and nC): result, cursor, TotalCoeff, coefficient pointer and block must agree.
template <class T>
void compare_on_noise(Kind kind) {
    Rng rng;
    for (int rep = 0; rep < 20000; ++rep) {
        std::vector<Opx32u> words(48);  // room for the longest block (16 escapes)
        // Mostly-zero words reach long prefixes and escapes; random ones everything else.
        for (auto& w : words)
            w = rng.uniform(0, 3) == 0 ? rng.next() & rng.next() & rng.next() : rng.next();
        const int pos = static_cast<int>(rng.uniform(0, 31));
        const Block blk = any_block(rng, kind, true, 1);
        // One rep in eight lacks one total_zeros and one run_before table: both kernels must
        // find the gap at the same point and leave the cursor alike.
        const int zeros_count = kind == Kind::kDc2x2 ? 4 : kind == Kind::kDc2x4 ? 8 : 16;
        const Opx32s* zeros[16] = {};
        const Opx32s* runs[16];
        std::copy(zeros_of(blk), zeros_of(blk) + zeros_count, zeros);
        std::copy(tables().run_before, tables().run_before + 16, runs);
        if (rep % 8 == 0) {
            zeros[rng.uniform(1, zeros_count - 1)] = nullptr;
            runs[rng.uniform(1, 15)] = nullptr;
        }
        T out[2][24];
        Opx16s num[2] = {-7, -7};
        OpxResult res[2];
        Cursor c[2];
        T* dst[2];
        for (int side = 0; side < 2; ++side) {
            std::fill(out[side], out[side] + 24, static_cast<T>(0x3C3C));
            c[side] = {words.data() + 1, pos};
            dst[side] = out[side] + 4;
            res[side] = decode<T>(side ? cpu::kIsaAvx2 : cpu::kIsaPortable, blk, kZigzag, c[side],
                                  &num[side], &dst[side], zeros, runs);
        }
        ASSERT_EQ(res[0], res[1]) << "rep " << rep;
        ASSERT_EQ(c[0].p, c[1].p) << "rep " << rep;
        ASSERT_EQ(c[0].pos, c[1].pos) << "rep " << rep;
        ASSERT_EQ(num[0], num[1]) << "rep " << rep;
        ASSERT_EQ(dst[0] - out[0], dst[1] - out[1]) << "rep " << rep;
        ASSERT_TRUE(regions_equal(out[0], 0, out[1], 0, 24, 1)) << "rep " << rep;
    }
}

TEST(CavlcKernels, Avx2MatchesPortableOnArbitraryBits) {
    for (Kind kind : {Kind::k4x4, Kind::kRange, Kind::kDc2x2, Kind::kDc2x4}) {
        SCOPED_TRACE(static_cast<int>(kind));
        compare_on_noise<Opx16s>(kind);
        if (kind != Kind::kRange) compare_on_noise<Opx32s>(kind);
        if (HasFatalFailure()) return;
    }
}

TEST(CavlcKernels, ExpGolombAvx2MatchesPortable) {
    Rng rng;
    for (int rep = 0; rep < 20000; ++rep) {
        std::vector<Opx32u> words(4);
        for (auto& w : words) w = rng.next() >> rng.uniform(0, 31);
        const int pos = static_cast<int>(rng.uniform(0, 31));
        const bool is_signed = rng.coin();
        Cursor c[2] = {{words.data(), pos}, {words.data(), pos}};
        Opx16s v16[2] = {0, 0};
        Opx32s v32[2] = {0, 0};
        const OpxResult a =
            opx::h264::ref::kCavlc.exp_golomb_16s(&c[0].p, &c[0].pos, &v16[0], is_signed);
        const OpxResult b =
            opx::h264::avx2::kCavlc.exp_golomb_16s(&c[1].p, &c[1].pos, &v16[1], is_signed);
        ASSERT_EQ(a, b);
        ASSERT_EQ(c[0].p, c[1].p);
        ASSERT_EQ(c[0].pos, c[1].pos);
        ASSERT_EQ(v16[0], v16[1]);
        c[0] = c[1] = {words.data(), pos};
        ASSERT_EQ(opx::h264::ref::kCavlc.exp_golomb_32s(&c[0].p, &c[0].pos, &v32[0], is_signed),
                  opx::h264::avx2::kCavlc.exp_golomb_32s(&c[1].p, &c[1].pos, &v32[1], is_signed));
        ASSERT_EQ(c[0].p, c[1].p);
        ASSERT_EQ(c[0].pos, c[1].pos);
        ASSERT_EQ(v32[0], v32[1]);
    }
}

}  // namespace
}  // namespace opx::test
