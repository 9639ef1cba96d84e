// SAD family: every AVX2 kernel against the portable one (all sizes, positions, alignments,
// steps), the exported functions' checks and masking, values the rules single out, and reads
// confined to the documented samples.
#include "metrics/sad.hpp"

#include <climits>

#include "metrics/metrics_util.hpp"

namespace opx::test::metrics {
namespace {

using namespace opx::metrics;
namespace ref = opx::metrics::ref;
namespace avx2 = opx::metrics::avx2;

// ---- differential ------------------------------------------------------------------------------

// 8-bit samples, 16-bit ones at 14, 15 and 16 bits, and the two-channel 8x8 form (16 bytes).
TEST(SadDifferential, SingleCandidateEverySizePositionAlignmentStepAndSampleWidth) {
    Rng rng;
    single_candidate_sweep<Opx8u>(kSadSizes, ref::kSad.sad, avx2::kSad.sad, 8, rng);
    for (int bits : {14, 15, 16})
        single_candidate_sweep<Opx16u>(kSad16uSizes, ref::kSad.sad16u, avx2::kSad.sad16u, bits,
                                       rng);
    struct C2 {  // the two-channel positions as a table of one size
        const SadC2Fn* positions;
        const SadC2Fn* operator[](std::size_t) const { return positions; }
    };
    const BlockSize c2_size[] = {{16, 8}};
    single_candidate_sweep<Opx8u>(c2_size, C2{ref::kSad.sad_c2}, C2{avx2::kSad.sad_c2}, 8, rng);
}

TEST(SadDifferential, RowsOfCandidatesAndTheirMinimum) {
    Rng rng;
    for (int s = 0; s < kNumXnSizes; ++s) {
        const int w = kSadXnSizes[s].width;
        for (int m : {8, 16, 24, 40}) {
            SCOPED_TRACE(testing::Message() << w << "x" << w << " M " << m);
            for (std::int32_t step : steps_for(w + m)) {
                for (int align = 0; align < 32; ++align) {
                    const Pattern pat = kAllPatterns[align % 6];
                    Area<Opx8u> src(w, w, (align * 5) % 32, step);
                    Area<Opx8u> cand(w + m - 1, w, align, step);
                    src.fill(pat, rng, 0, 255);
                    cand.fill(pat, rng, 0, 255, true);
                    if (align % 3 ==
                        0) {  // candidates repeating every 8 columns: ties across passes
                        for (int y = 0; y < w; ++y)
                            for (int x = 8; x < w + m - 1; ++x) cand.at(x, y) = cand.at(x - 8, y);
                    }
                    std::vector<Opx16u> want(m + 8, 0xBEEF), got(m + 8, 0xBEEF);
                    ref::kSad.xn[s](src.data(), src.step(), cand.data(), cand.step(), want.data(),
                                    m);
                    avx2::kSad.xn[s](src.data(), src.step(), cand.data(), cand.step(), got.data(),
                                     m);
                    ASSERT_EQ(want, got) << pattern_name(pat) << " align " << align;
                    const std::int32_t iw = ref::kSad.xni[s](src.data(), src.step(), cand.data(),
                                                             cand.step(), want.data(), m);
                    const std::int32_t ig = avx2::kSad.xni[s](src.data(), src.step(), cand.data(),
                                                              cand.step(), got.data(), m);
                    ASSERT_EQ(want, got);
                    ASSERT_EQ(iw, ig) << pattern_name(pat) << " align " << align;
                }
            }
        }
    }
}

TEST(SadDifferential, SubBlocksOfSixteenBySixteen) {
    Rng rng;
    for (int s = 0; s < kNumBlocksSizes; ++s) {
        const int n = (16 / kSadBlocksSizes[s].width) * (16 / kSadBlocksSizes[s].width);
        for (std::int32_t step : steps_for(16)) {
            for (int align = 0; align < 32; ++align) {
                const Pattern pat = kAllPatterns[align % 6];
                Area<Opx8u> src(16, 16, align, step), cand(16, 16, 31 - align, -step);
                src.fill(pat, rng, 0, 255);
                cand.fill(pat, rng, 0, 255, true);
                std::vector<Opx16u> want(17, 0xBEEF), got(17, 0xBEEF);
                ref::kSad.blocks8u[s](src.data(), src.step(), cand.data(), cand.step(),
                                      want.data());
                avx2::kSad.blocks8u[s](src.data(), src.step(), cand.data(), cand.step(),
                                       got.data());
                ASSERT_EQ(want, got) << "8-bit, " << n << " sub-blocks, align " << align;
                EXPECT_EQ(got[n], 0xBEEF);
                for (int bits : {14, 15, 16}) {
                    Area<Opx16u> s16(16, 16, align & ~1, 2 * step), r16(16, 16, 0, 2 * step + 8);
                    s16.fill(pat, rng, 0, (1 << bits) - 1);
                    r16.fill(pat, rng, 0, (1 << bits) - 1, true);
                    std::vector<Opx32u> w32(17, 0xDEADBEEF), g32(17, 0xDEADBEEF);
                    ref::kSad.blocks16u[s](s16.data(), s16.step(), r16.data(), r16.step(),
                                           w32.data());
                    avx2::kSad.blocks16u[s](s16.data(), s16.step(), r16.data(), r16.step(),
                                            g32.data());
                    ASSERT_EQ(w32, g32) << bits << " bits, " << n << " sub-blocks";
                    EXPECT_EQ(g32[n], 0xDEADBEEFu);
                }
            }
        }
    }
}

// ---- rules -------------------------------------------------------------------------------------

// Every exported function that takes mcType, called with a 16-row, 18-column reference; the
// call writes the measure(s) to out[0] (and out[1]).
constexpr std::int32_t kStep8 = 32, kStep16 = 64;
using McCall = OpxResult (*)(const Opx8u* src8, const Opx8u* ref8, const Opx16u* src16,
                             const Opx16u* ref16, Opx32s* out, Opx32s mc);
template <auto F>
OpxResult mc8(const Opx8u* s, const Opx8u* r, const Opx16u*, const Opx16u*, Opx32s* o, Opx32s mc) {
    return F(s, kStep8, r, kStep8, o, mc);
}
template <auto F>
OpxResult mc16(const Opx8u*, const Opx8u*, const Opx16u* s, const Opx16u* r, Opx32s* o, Opx32s mc) {
    return F(s, kStep16, r, kStep16, o, mc);
}
OpxResult mc_c2(const Opx8u* s, const Opx8u* r, const Opx16u*, const Opx16u*, Opx32s* o,
                Opx32s mc) {
    return opxiSAD8x8_8u32s_C2R(s, kStep8, r, kStep8, o, o + 1, mc);
}
struct McCase {
    const char* name;
    McCall call;
};
const McCase kMcCases[] = {
    {"opxiSAD16x16_8u32s", mc8<opxiSAD16x16_8u32s>},
    {"opxiSAD16x8_8u32s_C1R", mc8<opxiSAD16x8_8u32s_C1R>},
    {"opxiSAD8x8_8u32s_C1R", mc8<opxiSAD8x8_8u32s_C1R>},
    {"opxiSAD16x16_16u32s_C1R", mc16<opxiSAD16x16_16u32s_C1R>},
    {"opxiSAD8x8_16u32s_C1R", mc16<opxiSAD8x8_16u32s_C1R>},
    {"opxiSAD4x4_16u32s_C1R", mc16<opxiSAD4x4_16u32s_C1R>},
    {"opxiSAD8x8_8u32s_C2R", mc_c2},
    {"opxiSSD8x8_8u32s_C1R", mc8<opxiSSD8x8_8u32s_C1R>},
    {"opxiSSD4x4_8u32s_C1R", mc8<opxiSSD4x4_8u32s_C1R>},
};

// Only mcType >> 2 selects the candidate; mcType outside 0..15 writes nothing and warns.
TEST(SadRules, McTypeShiftedRightByTwoSelectsTheCandidateAndOthersWarn) {
    Rng rng;
    Area<Opx8u> s8(32, 17, 0, kStep8), r8(32, 17, 3, kStep8);
    Area<Opx16u> s16(32, 17, 0, kStep16), r16(32, 17, 2, kStep16);
    s8.fill(Pattern::kRandom, rng, 0, 255);
    r8.fill(Pattern::kRandom, rng, 0, 255);
    s16.fill(Pattern::kRandom, rng, 0, 16383);
    r16.fill(Pattern::kRandom, rng, 0, 16383);
    for (const McCase& c : kMcCases) {
        SCOPED_TRACE(c.name);
        Opx32s base[4][2];
        for (int pos = 0; pos < 4; ++pos) {
            ASSERT_EQ(c.call(s8.data(), r8.data(), s16.data(), r16.data(), base[pos], 4 * pos),
                      opxOk);
        }
        // The four positions differ on random data (so the masking below is observable).
        EXPECT_NE(base[0][0], base[1][0]);
        EXPECT_NE(base[1][0], base[2][0]);
        EXPECT_NE(base[2][0], base[3][0]);
        for (int mc = 0; mc < 16; ++mc) {
            Opx32s out[2] = {-1, -1};
            ASSERT_EQ(c.call(s8.data(), r8.data(), s16.data(), r16.data(), out, mc), opxOk);
            EXPECT_EQ(out[0], base[mc >> 2][0]) << "mcType " << mc;
        }
        for (Opx32s mc : {16, 17, 28, 64, -1, -4, -16, 1 << 20, INT_MAX, INT_MIN}) {
            Opx32s out[2] = {12345, 6789};
            EXPECT_EQ(c.call(s8.data(), r8.data(), s16.data(), r16.data(), out, mc),
                      opxWrnNothingDone)
                << "mcType " << mc;
            EXPECT_EQ(out[0], 12345);
            EXPECT_EQ(out[1], 6789);
        }
    }
}

TEST(SadRules, ZeroAgainst255GivesTheLargestSumsAndSquares) {
    Area<Opx8u> zero(48, 17, 0, 64), full(48, 17, 5, 64);
    Rng rng;
    zero.fill(Pattern::kZeros, rng, 0, 255);
    full.fill(Pattern::kMax, rng, 0, 255);
    Opx32s sad = 0;
    for (Opx32s mc : {0, 4, 8, 12}) {
        ASSERT_EQ(opxiSAD16x16_8u32s(zero.data(), 64, full.data(), 64, &sad, mc), opxOk);
        EXPECT_EQ(sad, 65280);
        ASSERT_EQ(opxiSSD8x8_8u32s_C1R(zero.data(), 64, full.data(), 64, &sad, mc), opxOk);
        EXPECT_EQ(sad, 64 * 255 * 255);
        ASSERT_EQ(opxiSSD4x4_8u32s_C1R(zero.data(), 64, full.data(), 64, &sad, mc), opxOk);
        EXPECT_EQ(sad, 16 * 255 * 255);
    }
    Opx16u xn[24];
    Opx32s best = -1;
    ASSERT_EQ(opxiSAD16x16xNI_8u16u_C1R(zero.data(), 64, full.data(), 64, xn, 23, &best), opxOk);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(xn[i], 65280) << i;
    EXPECT_EQ(best, 0);
    Opx16u blocks[16];
    ASSERT_EQ(opxiSAD16x16Blocks8x8_8u16u(full.data(), 64, zero.data(), 64, blocks), opxOk);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(blocks[i], 16320);
    ASSERT_EQ(opxiSAD16x16Blocks4x4_8u16u(full.data(), 64, zero.data(), 64, blocks), opxOk);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(blocks[i], 4080);

    // 16-bit samples: exact at 15 bits and beyond.
    Area<Opx16u> z16(17, 17, 0, 64), f16(17, 17, 0, 64);
    z16.fill(Pattern::kZeros, rng, 0, 0);
    for (std::int64_t top : {32767, 65535}) {
        f16.fill(Pattern::kMax, rng, 0, top);
        for (Opx32s mc : {0, 4, 8, 12}) {
            ASSERT_EQ(opxiSAD16x16_16u32s_C1R(z16.data(), 64, f16.data(), 64, &sad, mc), opxOk);
            EXPECT_EQ(sad, top * 256);
        }
        Opx32u b32[16];
        ASSERT_EQ(opxiSAD16x16Blocks4x4_16u32u_C1R(f16.data(), 64, z16.data(), 64, b32), opxOk);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(b32[i], top * 16);
        ASSERT_EQ(opxiSAD16x16Blocks8x8_16u32u_C1R(z16.data(), 64, f16.data(), 64, b32), opxOk);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(b32[i], top * 64);
    }
}

TEST(SadRules, RowsOfCandidatesComputeMultiplesOfEight) {
    Opx8u s[16 * 16] = {}, r[48 * 16] = {};
    for (int i = 0; i < 48 * 16; ++i) r[i] = static_cast<Opx8u>(i * 37);
    Opx16u out[32];
    Opx32s best = 77;
    std::fill(std::begin(out), std::end(out), 0xBEEF);
    ASSERT_EQ(opxiSAD8x8xN_8u16u_C1R(s, 16, r, 48, out, 15), opxOk);
    for (int i = 0; i < 8; ++i) EXPECT_NE(out[i], 0xBEEF) << i;
    for (int i = 8; i < 32; ++i) EXPECT_EQ(out[i], 0xBEEF) << i;
    ASSERT_EQ(opxiSAD8x8xNI_8u16u_C1R(s, 16, r, 48, out, 31, &best), opxOk);
    for (int i = 24; i < 32; ++i) EXPECT_EQ(out[i], 0xBEEF) << i;
}

TEST(SadRules, MinimumIndexPrefersTheFirstOfEqualSums) {
    // 4×4 source of zeros and a reference whose row 0 alone is non-zero: candidate i sums
    // r[i .. i+3]. SADs 5, 3, 3, 53, 100, …: the first of the two 3s.
    const Opx8u zero[16 * 16] = {};
    Opx8u r[4 * 24] = {};
    const Opx8u row0[] = {2, 0, 0, 3, 0, 0, 50, 50, 50, 50, 50};
    std::copy(std::begin(row0), std::end(row0), r);
    Opx16u out[16];
    Opx32s best = -1;
    ASSERT_EQ(opxiSAD4x4xNI_8u16u_C1R(zero, 4, r, 24, out, 8, &best), opxOk);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(out[3], 53);
    EXPECT_EQ(best, 1);

    // All sums equal: index 0, for every size.
    Opx8u flat[16 * 40];
    std::fill(std::begin(flat), std::end(flat), 9);
    for (auto fn : {opxiSAD16x16xNI_8u16u_C1R, opxiSAD8x8xNI_8u16u_C1R, opxiSAD4x4xNI_8u16u_C1R}) {
        best = -1;
        ASSERT_EQ(fn(zero, 16, flat, 40, out, 16, &best), opxOk);
        EXPECT_EQ(best, 0);
    }

    // Columns repeating every 8: candidates i and i + 8 tie across the two passes; window sums
    // 150, 130, 180, … → index 1, not 9.
    const Opx8u period[8] = {40, 10, 30, 70, 20, 60, 50, 80};
    Opx8u per[4 * 24];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 24; ++x) per[24 * y + x] = period[x % 8];
    ASSERT_EQ(opxiSAD4x4xNI_8u16u_C1R(zero, 4, per, 24, out, 16, &best), opxOk);
    EXPECT_EQ(out[1], 4 * 130);
    EXPECT_EQ(out[9], out[1]);
    EXPECT_EQ(best, 1);
    // A strictly smaller sum in the second pass wins.
    for (int y = 0; y < 4; ++y)
        for (int x = 13; x < 17; ++x) per[24 * y + x] = 0;
    ASSERT_EQ(opxiSAD4x4xNI_8u16u_C1R(zero, 4, per, 24, out, 16, &best), opxOk);
    EXPECT_EQ(out[13], 0);
    EXPECT_EQ(best, 13);
}

// ---- reads confined to the documented samples -----------------------------------------------

// A call with its source footprint (sw bytes × sh rows) and reference footprint (rw × rh).
struct Footprint {
    const char* name;
    int sw, sh, rw, rh;
    std::function<OpxResult(const Opx8u* s, Opx32s ss, const Opx8u* r, Opx32s rs)> call;
};

std::vector<Footprint> footprints() {
    std::vector<Footprint> f;
#define OPX_FOOTPRINT(name, sw, sh, rw, rh, call) \
    f.push_back({name, sw, sh, rw, rh,            \
                 [=](const Opx8u* s, Opx32s ss, const Opx8u* r, Opx32s rs) { return call; }})
    static Opx32s results[256];  // shared result area
    static const Opx32s sums[4] = {1000, 2000, 3000, 4000};
    Opx32s* out = results;
    Opx16u* o16 = reinterpret_cast<Opx16u*>(out);
    Opx32u* o32 = reinterpret_cast<Opx32u*>(out);
    Opx16s* o16s = reinterpret_cast<Opx16s*>(out);
    auto u16 = [](const Opx8u* p) { return reinterpret_cast<const Opx16u*>(p); };
    for (int mc : {0, 4, 8, 12}) {
        const int dx = (mc & 8) ? 1 : 0, dy = (mc & 4) ? 1 : 0;
        OPX_FOOTPRINT("SAD16x16", 16, 16, 16 + dx, 16 + dy,
                      opxiSAD16x16_8u32s(s, ss, r, rs, out, mc));
        OPX_FOOTPRINT("SAD16x8", 16, 8, 16 + dx, 8 + dy,
                      opxiSAD16x8_8u32s_C1R(s, ss, r, rs, out, mc));
        OPX_FOOTPRINT("SAD8x8", 8, 8, 8 + dx, 8 + dy, opxiSAD8x8_8u32s_C1R(s, ss, r, rs, out, mc));
        OPX_FOOTPRINT("SSD8x8", 8, 8, 8 + dx, 8 + dy, opxiSSD8x8_8u32s_C1R(s, ss, r, rs, out, mc));
        OPX_FOOTPRINT("SSD4x4", 4, 4, 4 + dx, 4 + dy, opxiSSD4x4_8u32s_C1R(s, ss, r, rs, out, mc));
        OPX_FOOTPRINT(
            "SAD8x8 C2R", 16, 8, 16 + 2 * dx, 8 + dy,
            ss < 1 || rs < 1 ? opxOk : opxiSAD8x8_8u32s_C2R(s, ss, r, rs, out, out + 1, mc));
        OPX_FOOTPRINT("SAD16x16 16u", 32, 16, 2 * (16 + dx), 16 + dy,
                      opxiSAD16x16_16u32s_C1R(u16(s), ss, u16(r), rs, out, mc));
        OPX_FOOTPRINT("SAD8x8 16u", 16, 8, 2 * (8 + dx), 8 + dy,
                      opxiSAD8x8_16u32s_C1R(u16(s), ss, u16(r), rs, out, mc));
        OPX_FOOTPRINT("SAD4x4 16u", 8, 4, 2 * (4 + dx), 4 + dy,
                      opxiSAD4x4_16u32s_C1R(u16(s), ss, u16(r), rs, out, mc));
        OPX_FOOTPRINT("SqrDiff16x16", 16, 16, 16 + dx, 16 + dy,
                      opxiSqrDiff16x16_8u32s(s, ss, r, rs, mc, out));
        OPX_FOOTPRINT("VarMeanDiff16x16", 16, 16, 16 + dx, 16 + dy,
                      opxiVarMeanDiff16x16_8u32s_C1R(s, ss, r, rs, sums, out, out + 4, mc));
    }
    OPX_FOOTPRINT("SAD8x16", 8, 16, 8, 16, opxiSAD8x16_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SAD8x4", 8, 4, 8, 4, opxiSAD8x4_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SAD4x8", 4, 8, 4, 8, opxiSAD4x8_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SAD4x4", 4, 4, 4, 4, opxiSAD4x4_8u32s(s, ss, r, rs, out));
    for (int m : {8, 16}) {
        OPX_FOOTPRINT("SAD16x16xN", 16, 16, 16 + m - 1, 16,
                      opxiSAD16x16xN_8u16u_C1R(s, ss, r, rs, o16, m + 7));
        OPX_FOOTPRINT("SAD8x8xN", 8, 8, 8 + m - 1, 8, opxiSAD8x8xN_8u16u_C1R(s, ss, r, rs, o16, m));
        OPX_FOOTPRINT("SAD4x4xN", 4, 4, 4 + m - 1, 4,
                      opxiSAD4x4xN_8u16u_C1R(s, ss, r, rs, o16, m + 3));
        OPX_FOOTPRINT("SAD2x2xN", 2, 2, 2 + m - 1, 2, opxiSAD2x2xN_8u16u_C1R(s, ss, r, rs, o16, m));
        OPX_FOOTPRINT("SAD16x16xNI", 16, 16, 16 + m - 1, 16,
                      opxiSAD16x16xNI_8u16u_C1R(s, ss, r, rs, o16, m, out + 40));
        OPX_FOOTPRINT("SAD8x8xNI", 8, 8, 8 + m - 1, 8,
                      opxiSAD8x8xNI_8u16u_C1R(s, ss, r, rs, o16, m, out + 40));
        OPX_FOOTPRINT("SAD4x4xNI", 4, 4, 4 + m - 1, 4,
                      opxiSAD4x4xNI_8u16u_C1R(s, ss, r, rs, o16, m, out + 40));
    }
    OPX_FOOTPRINT("Blocks8x8", 16, 16, 16, 16, opxiSAD16x16Blocks8x8_8u16u(s, ss, r, rs, o16));
    OPX_FOOTPRINT("Blocks4x4", 16, 16, 16, 16, opxiSAD16x16Blocks4x4_8u16u(s, ss, r, rs, o16));
    OPX_FOOTPRINT("Blocks8x8 16u", 32, 16, 32, 16,
                  opxiSAD16x16Blocks8x8_16u32u_C1R(u16(s), ss, u16(r), rs, o32));
    OPX_FOOTPRINT("Blocks4x4 16u", 32, 16, 32, 16,
                  opxiSAD16x16Blocks4x4_16u32u_C1R(u16(s), ss, u16(r), rs, o32));
    // SATD, SAT8x8D, block statistics, frame/field activity (a source only: the reference is
    // not read).
    OPX_FOOTPRINT("SATD16x16", 16, 16, 16, 16, opxiSATD16x16_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD16x8", 16, 8, 16, 8, opxiSATD16x8_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD8x16", 8, 16, 8, 16, opxiSATD8x16_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD8x8", 8, 8, 8, 8, opxiSATD8x8_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD8x4", 8, 4, 8, 4, opxiSATD8x4_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD4x8", 4, 8, 4, 8, opxiSATD4x8_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SATD4x4", 4, 4, 4, 4, opxiSATD4x4_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SAT8x8D", 8, 8, 8, 8, opxiSAT8x8D_8u32s_C1R(s, ss, r, rs, out));
    OPX_FOOTPRINT("SAT8x8D 16u", 16, 8, 16, 8, opxiSAT8x8D_16u32s_C1R(u16(s), ss, u16(r), rs, out));
    OPX_FOOTPRINT("Sub16x16", 16, 16, 16, 16, opxiSub16x16_8u16s_C1R(s, ss, r, rs, o16s, 32));
    OPX_FOOTPRINT("SumsDiff16x16", 16, 16, 16, 16,
                  opxiSumsDiff16x16Blocks4x4_8u16s_C1(s, ss, r, rs, o16s, nullptr));
    OPX_FOOTPRINT("Variance16x16", 16, 16, 1, 1, opxiVariance16x16_8u32s(s, ss, out));
    OPX_FOOTPRINT("MeanAbsDev16x16", 16, 16, 1, 1, opxiMeanAbsDev16x16_8u32s_C1R(s, ss, out));
    OPX_FOOTPRINT("VarSum8x8", 8, 8, 1, 1, opxiVarSum8x8_8u32s_C1R(s, ss, out, out + 1));
    OPX_FOOTPRINT("EdgesDetect16x16", 16, 16, 1, 1,
                  opxiEdgesDetect16x16_8u_C1R(s, ss, 40, 30, reinterpret_cast<Opx8u*>(out)));
    OPX_FOOTPRINT("FrameField", 16, 16, 1, 1,
                  opxiFrameFieldSAD16x16_8u32s_C1R(s, ss, out, out + 1));
    OPX_FOOTPRINT(
        "FrameField 16s", 32, 16, 1, 1,
        opxiFrameFieldSAD16x16_16s32s_C1R(reinterpret_cast<const Opx16s*>(s), ss, out, out + 1));
#undef OPX_FOOTPRINT
    return f;
}

// Every exported metric of the family (SAD, SSD, SATD, the 16x16 block statistics, frame/field
// activity).
TEST(MetricsGuardPages, NoReadOutsideTheDocumentedColumnsAndRows) {
    GuardedBuffer src_buf(8192), ref_buf(8192);
    std::memset(src_buf.begin(), 7, src_buf.size());
    std::memset(ref_buf.begin(), 9, ref_buf.size());
    for (const Footprint& f : footprints()) {
        SCOPED_TRACE(testing::Message() << f.name << " reference " << f.rw << "x" << f.rh);
        const bool wide16 = std::string(f.name).find(" 16") != std::string::npos;
        for (Opx32s step : {64, 100, 101, -64, -100, -101}) {
            if (wide16 && (step & 1)) continue;
            for (bool front : {false, true}) {
                const Opx8u* s = src_buf.place(f.sw, f.sh, step, front);
                const Opx8u* r = ref_buf.place(f.rw, f.rh, -step, !front);
                ASSERT_NE(s, nullptr);
                ASSERT_NE(r, nullptr);
                EXPECT_GE(f.call(s, step, r, -step), opxOk);
            }
        }
    }
}

}  // namespace

OPX_NULL_AUTO(opxiSAD16x16_8u32s, 32, 32, 0)
OPX_NULL_AUTO(opxiSAD16x8_8u32s_C1R, 32, 32, 12)
OPX_NULL_AUTO(opxiSAD8x8_8u32s_C1R, 32, 32, 8)
OPX_NULL_AUTO(opxiSAD8x16_8u32s_C1R, 32, 32)
OPX_NULL_AUTO(opxiSAD8x4_8u32s_C1R, 32, 32)
OPX_NULL_AUTO(opxiSAD4x8_8u32s_C1R, 32, 32)
OPX_NULL_AUTO(opxiSAD4x4_8u32s, 32, 32)
OPX_NULL_AUTO(opxiSAD16x16_16u32s_C1R, 64, 64, 4)
OPX_NULL_AUTO(opxiSAD8x8_16u32s_C1R, 64, 64, 12)
OPX_NULL_AUTO(opxiSAD4x4_16u32s_C1R, 64, 64, 0)
OPX_NULL_AUTO(opxiSAD8x8_8u32s_C2R, 32, 32, 8)
OPX_NULL_AUTO(opxiSAD16x16xN_8u16u_C1R, 32, 48, 16)
OPX_NULL_AUTO(opxiSAD8x8xN_8u16u_C1R, 32, 48, 8)
OPX_NULL_AUTO(opxiSAD4x4xN_8u16u_C1R, 32, 48, 9)
OPX_NULL_AUTO(opxiSAD2x2xN_8u16u_C1R, 32, 48, 24)
OPX_NULL_AUTO(opxiSAD16x16xNI_8u16u_C1R, 32, 48, 16)
OPX_NULL_AUTO(opxiSAD8x8xNI_8u16u_C1R, 32, 48, 8)
OPX_NULL_AUTO(opxiSAD4x4xNI_8u16u_C1R, 32, 48, 8)
OPX_NULL_AUTO(opxiSAD16x16Blocks8x8_8u16u, 32, 32)
OPX_NULL_AUTO(opxiSAD16x16Blocks4x4_8u16u, 32, 32)
OPX_NULL_AUTO(opxiSAD16x16Blocks8x8_16u32u_C1R, 64, 64)
OPX_NULL_AUTO(opxiSAD16x16Blocks4x4_16u32u_C1R, 64, 64)

}  // namespace opx::test::metrics
