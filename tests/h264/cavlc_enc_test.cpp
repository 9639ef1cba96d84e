// CAVLC syntax elements: levels -> syntax elements, against the elements the independent bit
// writer (which the decoders' round trips read back) writes from, for every block kind and scan;
// AVX2 kernels against the portable ones with outputs placed against unreadable pages; the rules
// and mended faults.
#include "h264/encode/cavlc_enc.hpp"

#include <algorithm>
#include <climits>
#include <vector>

#include "h264/cavlc_writer.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::test::cavlc;
using opx::h264::enc::CavlcEncKernels;
using opx::h264::enc::CavlcFacts;

constexpr Opx32s kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
constexpr Opx32s kField[16] = {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};

// The syntax elements of one block as the encoder reports them.
template <class T>
struct Elements {
    Opx8u t1 = 0xEE, signs = 0xEE, tc = 0xEE, tz = 0xEE;
    T levels[16];
    Opx8u runs[16];
    Elements() {
        std::fill(levels, levels + 16, static_cast<T>(0x5A5A));
        std::fill(runs, runs + 16, 0xA5);
    }
};

// The elements a kernel reports (facts, levels and runs) are those of the exported function.
template <class T>
void expect_same(const Elements<T>& e, const CavlcFacts& f, const Elements<T>& o) {
    EXPECT_EQ(f.trailing_ones, e.t1);
    EXPECT_EQ(f.signs, e.signs);
    EXPECT_EQ(f.total_coeff, e.tc);
    EXPECT_EQ(f.total_zeros, e.tz);
    EXPECT_TRUE(std::equal(e.levels, e.levels + 16, o.levels));
    EXPECT_TRUE(std::equal(e.runs, e.runs + 16, o.runs));
}

// The 16-bit block and chroma DC kernels of a table, which store their facts themselves.
CavlcFacts block16(const CavlcEncKernels& k, const Opx16s* src, const Opx32s* scan, int first,
                   int last, Opx16s* levels, Opx8u* runs) {
    CavlcFacts f{};
    EXPECT_EQ(k.block(src, static_cast<Opx8u>(first), scan, static_cast<Opx8u>(last),
                      &f.trailing_ones, &f.signs, &f.total_coeff, &f.total_zeros, levels, runs),
              opxOk);
    return f;
}
template <int N>
CavlcFacts dc16(const CavlcEncKernels& k, const Opx16s* src, Opx16s* levels, Opx8u* runs) {
    CavlcFacts f{};
    EXPECT_EQ((N == 4 ? k.dc2x2 : k.dc2x4)(src, &f.trailing_ones, &f.signs, &f.total_coeff,
                                           &f.total_zeros, levels, runs),
              opxOk);
    return f;
}

// Encodes a 4x4 block through the exported name and the two kernel tables; all three must agree.
template <class T>
Elements<T> encode4x4(const T* src, int first, int last, const Opx32s* scan) {
    Elements<T> e;
    OpxResult res;
    if constexpr (sizeof(T) == 2)
        res = opxiEncodeCoeffsCAVLC_H264_16s(src, static_cast<Opx8u>(first), scan,
                                             static_cast<Opx8u>(last), &e.t1, &e.signs, &e.tc,
                                             &e.tz, e.levels, e.runs);
    else
        res = opxiEncodeCoeffsCAVLC_H264_32s(src, first, scan, last, &e.t1, &e.signs, &e.tc, &e.tz,
                                             e.levels, e.runs);
    EXPECT_EQ(res, opxOk);
    for (const CavlcEncKernels* t :
         {&opx::h264::enc::ref::kCavlcEnc, &opx::h264::enc::avx2::kCavlcEnc}) {
        Elements<T> o;
        if constexpr (sizeof(T) == 2)
            expect_same(e, block16(*t, src, scan, first, last, o.levels, o.runs), o);
        else
            expect_same(e, t->block_high(src, scan, first, last, o.levels, o.runs), o);
    }
    return e;
}

template <class T, int N>
Elements<T> encode_dc(const T* src) {
    Elements<T> e;
    OpxResult res;
    if constexpr (sizeof(T) == 2 && N == 4)
        res = opxiEncodeChromaDcCoeffsCAVLC_H264_16s(src, &e.t1, &e.signs, &e.tc, &e.tz, e.levels,
                                                     e.runs);
    else if constexpr (sizeof(T) == 4 && N == 4)
        res = opxiEncodeCoeffsCAVLCChromaDC2x2_H264_32s(src, &e.t1, &e.signs, &e.tc, &e.tz,
                                                        e.levels, e.runs);
    else if constexpr (sizeof(T) == 2)
        res = opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s(src, &e.t1, &e.signs, &e.tc, &e.tz,
                                                        e.levels, e.runs);
    else
        res = opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s(src, &e.t1, &e.signs, &e.tc, &e.tz,
                                                        e.levels, e.runs);
    EXPECT_EQ(res, opxOk);
    for (const CavlcEncKernels* t :
         {&opx::h264::enc::ref::kCavlcEnc, &opx::h264::enc::avx2::kCavlcEnc}) {
        Elements<T> o;
        if constexpr (sizeof(T) == 2)
            expect_same(e, dc16<N>(*t, src, o.levels, o.runs), o);
        else
            expect_same(e, (N == 4 ? t->dc2x2_high : t->dc2x4_high)(src, o.levels, o.runs), o);
    }
    return e;
}

// Levels -> elements, for one block kind and coefficient type: the elements that the residual
// syntax is written from (the bits are a function of them) are those of the independent writer.
template <class T>
void round_trip(Rng& rng, Kind kind, int first, const Opx32s* scan, std::int32_t max_level) {
    const Block blk = random_block(rng, kind, 0, first, 15, max_level);
    // Raster block from the levels by scan position.
    T src[16] = {};
    const int n = kind == Kind::kDc2x2 ? 4 : kind == Kind::kDc2x4 ? 8 : 16;
    for (int p = 0; p < n; ++p) {
        const int raster = kind == Kind::kDc2x2   ? opx::h264::enc::kChromaDc2x2Scan[p]
                           : kind == Kind::kDc2x4 ? opx::h264::enc::kChromaDc2x4Scan[p]
                                                  : scan[p];
        src[raster] = static_cast<T>(blk.scan_levels[p]);
    }
    const Elements<T> e = kind == Kind::kDc2x2   ? encode_dc<T, 4>(src)
                          : kind == Kind::kDc2x4 ? encode_dc<T, 8>(src)
                                                 : encode4x4<T>(src, first, 15, scan);
    const Syntax x = syntax_of(blk);
    SCOPED_TRACE(testing::Message() << "first " << first);
    ASSERT_EQ(e.tc, x.tc);
    ASSERT_EQ(e.t1, x.t1);
    ASSERT_EQ(e.signs, x.signs);
    if (x.tc && x.tc < x.capacity) {
        ASSERT_EQ(e.tz, x.total_zeros);  // written only then
    }
    for (int i = x.t1; i < x.tc; ++i) ASSERT_EQ(e.levels[i - x.t1], x.levels[i]) << i;
    for (int i = 0; i + 1 < x.tc; ++i) ASSERT_EQ(e.runs[i], x.runs[i]) << i;
}

TEST(H264CavlcEncRoundTrip, EveryScanAndKind) {
    Rng rng;
    for (int first : {0, 1})
        for (const Opx32s* scan : {kZigzag, kField})
            for (int round = 0; round < 1200; ++round) {
                round_trip<Opx16s>(rng, Kind::k4x4, first, scan, 2063);
                round_trip<Opx32s>(rng, Kind::k4x4, first, scan, 2063);
            }
    for (int round = 0; round < 1500; ++round) {
        round_trip<Opx16s>(rng, Kind::kDc2x2, 0, kZigzag, 2063);
        round_trip<Opx32s>(rng, Kind::kDc2x2, 0, kZigzag, 2063);
        round_trip<Opx16s>(rng, Kind::kDc2x4, 0, kZigzag, 2063);
        round_trip<Opx32s>(rng, Kind::kDc2x4, 0, kZigzag, 2063);
    }
}

// ---- differential with guard pages ------------------------------------------------------------

template <class T>
void guarded_differential(Rng& rng, bool at_front) {
    for (int round = 0; round < 600; ++round) {
        T src[16];
        // Every fifth block has no zero, every tenth examined whole: counts up to 16.
        const int no_zero = round % 5 == 1 ? 4 : 0;
        const bool whole = round % 10 == 1;
        for (T& v : src) {
            const int r = static_cast<int>(rng.uniform(no_zero, 9));
            v = static_cast<T>(r < 4 ? 0 : r < 7 ? (rng.coin() ? 1 : -1)
                                              : rng.uniform(-2000, 2000));
        }
        if (round % 7 == 0) src[rng.uniform(0, 15)] = sizeof(T) == 4 ? INT32_MIN : -32768;
        Opx32s scan[16];
        std::copy(kZigzag, kZigzag + 16, scan);
        for (int i = 15; i > 0; --i) std::swap(scan[i], scan[rng.uniform(0, i)]);
        const int first = whole ? 0 : static_cast<int>(rng.uniform(0, 15));
        const int last = whole ? 15 : static_cast<int>(rng.uniform(first, 15));
        T lw[16];
        Opx8u rw[16];
        const CavlcFacts want =
            sizeof(T) == 2
                ? block16(opx::h264::enc::ref::kCavlcEnc, reinterpret_cast<const Opx16s*>(src),
                          scan, first, last, reinterpret_cast<Opx16s*>(lw), rw)
                : opx::h264::enc::ref::kCavlcEnc.block_high(reinterpret_cast<const Opx32s*>(src),
                                                            scan, first, last,
                                                            reinterpret_cast<Opx32s*>(lw), rw);
        const int nl = want.total_coeff - want.trailing_ones;
        const int nr = want.total_coeff ? want.total_coeff - 1 : 0;
        GuardedBuffer gs(4096), gsc(4096), gl(4096), gr(4096);
        T* s = reinterpret_cast<T*>(gs.place(sizeof(src), 1, 0, at_front));
        Opx32s* sc = reinterpret_cast<Opx32s*>(gsc.place(sizeof(scan), 1, 0, !at_front));
        std::copy(src, src + 16, s);
        std::copy(scan, scan + 16, sc);
        // An array with nothing to hold is passed as the end of its buffer (a write faults) or its
        // beginning (a write before it faults).
        T* lev = reinterpret_cast<T*>(nl ? gl.place(nl * sizeof(T), 1, 0, at_front)
                                      : at_front ? gl.begin() : gl.end());
        Opx8u* runs = nr ? gr.place(nr, 1, 0, !at_front) : !at_front ? gr.begin() : gr.end();
        const CavlcFacts got =
            sizeof(T) == 2
                ? block16(opx::h264::enc::avx2::kCavlcEnc, reinterpret_cast<const Opx16s*>(s), sc,
                          first, last, reinterpret_cast<Opx16s*>(lev), runs)
                : opx::h264::enc::avx2::kCavlcEnc.block_high(reinterpret_cast<const Opx32s*>(s), sc,
                                                             first, last,
                                                             reinterpret_cast<Opx32s*>(lev), runs);
        ASSERT_EQ(want.trailing_ones, got.trailing_ones);
        ASSERT_EQ(want.signs, got.signs);
        ASSERT_EQ(want.total_coeff, got.total_coeff);
        ASSERT_EQ(want.total_zeros, got.total_zeros);
        ASSERT_TRUE(std::equal(lw, lw + nl, lev));
        ASSERT_TRUE(std::equal(rw, rw + nr, runs));
    }
}

TEST(H264CavlcEncDifferential, ArbitraryRangesScansAndGuardPages) {
    Rng rng;
    for (bool at_front : {false, true}) {
        guarded_differential<Opx16s>(rng, at_front);
        guarded_differential<Opx32s>(rng, at_front);
    }
}

// ---- rules ---------------------------------------------------------------------------------

// Hand-worked blocks, levels given by scan position (chroma DC: raster index), the range
// examined, and the elements wanted (the levels and runs written; those after stay untouched).
// Scan order 0, 3, -1, 0, 1, 1: met as 1, 1, -1 (three trailing ones, signs 0b001), then 3.
// Four +-1 at the top: the fourth (lowest) is a level; a +-1 after a larger level is a level too.
// firstPos 1 ignores the DC coefficient (an empty AC block: total_zeros 15); firstPos = lastPos
// examines one position; zeros above the highest coefficient do not count, those below it do,
// down to firstPos. Chroma DC 2x4: raster index 7 first, 0 last; raster 6 is scan position 4.
enum Form { k4x4, kDc2x2, kDc2x4 };
struct HandCase {
    Form form;
    std::vector<std::pair<int, int>> in;  // (scan position or DC raster index, level)
    int first, last;
    int t1, signs, tc, tz;
    std::vector<int> levels, runs;
};

template <class T>
void check_hand_case(const HandCase& c) {
    T src[16] = {};
    for (auto [p, v] : c.in) src[c.form == k4x4 ? kZigzag[p] : p] = static_cast<T>(v);
    const Elements<T> e = c.form == k4x4     ? encode4x4(src, c.first, c.last, kZigzag)
                          : c.form == kDc2x2 ? encode_dc<T, 4>(src)
                                             : encode_dc<T, 8>(src);
    EXPECT_EQ(e.t1, c.t1);
    EXPECT_EQ(e.signs, c.signs);
    EXPECT_EQ(e.tc, c.tc);
    EXPECT_EQ(e.tz, c.tz);
    for (std::size_t i = 0; i <= c.levels.size(); ++i)
        EXPECT_EQ(e.levels[i], static_cast<T>(i < c.levels.size() ? c.levels[i] : 0x5A5A)) << i;
    for (std::size_t i = 0; i <= c.runs.size(); ++i)
        EXPECT_EQ(e.runs[i], i < c.runs.size() ? c.runs[i] : 0xA5) << "run " << i;
}

TEST(H264CavlcEncRules, HandWorkedBlocks) {
    const HandCase cases[] = {
        {k4x4, {{1, 3}, {2, -1}, {4, 1}, {5, 1}}, 0, 15, 3, 1, 4, 2, {3}, {0, 1, 0}},
        {k4x4, {{9, -1}, {8, 1}, {7, -1}, {6, 1}}, 0, 15, 3, 0b101, 4, 6, {1}, {0, 0, 0}},
        {k4x4, {{5, 1}, {4, 2}, {3, -1}}, 0, 15, 1, 0, 3, 3, {2, -1}, {0, 0}},
        {k4x4, {{0, 7}}, 1, 15, 0, 0, 0, 15, {}, {}},
        {k4x4, {{0, 7}}, 0, 0, 0, 0, 1, 0, {7}, {}},
        {k4x4, {{0, 7}}, 3, 3, 0, 0, 0, 1, {}, {}},
        {k4x4, {{0, 7}, {5, -4}}, 2, 12, 0, 0, 1, 3, {-4}, {}},
        {kDc2x2, {}, 0, 0, 0, 0, 0, 4, {}, {}},
        {kDc2x4, {}, 0, 0, 0, 0, 0, 8, {}, {}},
        {kDc2x4, {{0, 5}, {7, 9}}, 0, 0, 0, 0, 2, 6, {9, 5}, {6}},
        {kDc2x4, {{6, -1}}, 0, 0, 1, 1, 1, 4, {}, {}},
    };
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        SCOPED_TRACE(n);
        check_hand_case<Opx16s>(cases[n]);
        check_hand_case<Opx32s>(cases[n]);
    }
}

// ---- null pointers -------------------------------------------------------------------------

OPX_NULL_AUTO(opxiEncodeCoeffsCAVLC_H264_16s, 0, 15)
OPX_NULL_AUTO(opxiEncodeCoeffsCAVLC_H264_32s, 0, 15)
OPX_NULL_CALL(opxiEncodeChromaDcCoeffsCAVLC_H264_16s, nul(s.s16(0)), nul(s.u8(1)), nul(s.u8(2)),
              nul(s.u8(3)), nul(s.u8(4)), nul(s.s16(5)), nul(s.u8(6)))
OPX_NULL_CALL(opxiEncodeCoeffsCAVLCChromaDC2x2_H264_32s, nul(s.s32(0)), nul(s.u8(1)),
              nul(s.u8(2)), nul(s.u8(3)), nul(s.u8(4)), nul(s.s32(5)), nul(s.u8(6)))
OPX_NULL_CALL(opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s, nul(s.s16(0)), nul(s.u8(1)),
              nul(s.u8(2)), nul(s.u8(3)), nul(s.u8(4)), nul(s.s16(5)), nul(s.u8(6)))
OPX_NULL_CALL(opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s, nul(s.s32(0)), nul(s.u8(1)),
              nul(s.u8(2)), nul(s.u8(3)), nul(s.u8(4)), nul(s.s32(5)), nul(s.u8(6)))

}  // namespace
}  // namespace opx::test
