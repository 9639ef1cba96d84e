// Block primitives through their exported names, against a per-sample model of the rules kept
// in this file (so a mistake in the shared table indexing of the library cannot hide), and the
// values the rules single out.
#include <algorithm>
#include <vector>

#include "frame/block.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

// ---- the model --------------------------------------------------------------------------------

// Reference sample (x, y) of a block at p with byte step `step`.
int at(const Opx8u* p, std::int32_t step, int x, int y) {
    return p[static_cast<std::ptrdiff_t>(y) * step + x];
}

// Half-sample prediction: hor / ver select the half positions, r rounds half down.
int predict(const Opx8u* p, std::int32_t step, int x, int y, bool hor, bool ver, int n, int r) {
    if (hor && ver)
        return (at(p, step, x, y) + at(p, step, x + n, y) + at(p, step, x, y + 1) +
                at(p, step, x + n, y + 1) + 2 - r) >>
               2;
    if (hor) return (at(p, step, x, y) + at(p, step, x + n, y) + 1 - r) >> 1;
    if (ver) return (at(p, step, x, y) + at(p, step, x, y + 1) + 1 - r) >> 1;
    return at(p, step, x, y);
}

// Position codes: acc bit 0 horizontal, bit 1 vertical; mcType 4 vertical, 8 horizontal.
bool acc_hor(int acc) {
    return acc & 1;
}
bool acc_ver(int acc) {
    return acc & 2;
}
bool mc_hor(int mc_type) {
    return mc_type & 8;
}
bool mc_ver(int mc_type) {
    return mc_type & 4;
}

int clamp255(long v) {
    return static_cast<int>(std::clamp<long>(v, 0, 255));
}
int wrap16(long v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

// Inputs of one call: a reference area with room on all sides, residual planes, a destination
// with canaries. Steps are odd for bytes.
struct Bench {
    static constexpr int kRefStep = 41, kResStep = 70;  // bytes
    std::vector<Opx8u> ref_f = std::vector<Opx8u>(kRefStep * 48);
    std::vector<Opx8u> ref_b = std::vector<Opx8u>(kRefStep * 48);
    std::vector<Opx16s> res_u = std::vector<Opx16s>(kResStep * 10);
    std::vector<Opx16s> res_v = std::vector<Opx16s>(kResStep * 10);
    Plane<Opx8u> dst;
    std::vector<Opx8u> dst_before;

    Bench(int w, int h, Rng& rng) : dst(w, h, 16, 3, 1) {
        for (auto& v : ref_f) v = static_cast<Opx8u>(rng.next());
        for (auto& v : ref_b) v = static_cast<Opx8u>(rng.next());
        // Residuals mostly small, some at the ends of the range.
        for (auto* res : {&res_u, &res_v})
            for (auto& v : *res)
                v = static_cast<Opx16s>(rng.coin() ? rng.uniform(-300, 300)
                                                   : rng.uniform(-32768, 32767));
        dst.fill(Pattern::kRandom, rng, 0, 255);
        for (int y = 0; y < h; ++y) dst_before.insert(dst_before.end(), dst.row(y), dst.row(y) + w);
    }
    const Opx8u* f() const { return ref_f.data() + 2 * kRefStep + 3; }
    // Room for 17 rows with positive or negative steps.
    const Opx8u* b() const { return ref_b.data() + 22 * kRefStep + 1; }
    const Opx16s* u() const { return res_u.data() + 1; }
    const Opx16s* v() const { return res_v.data() + 2; }
    static constexpr std::int32_t ref_step() { return kRefStep; }
    static constexpr std::int32_t res_step() { return kResStep; }
    int res(const Opx16s* r, int x, int y) const {
        return reinterpret_cast<const Opx16s*>(reinterpret_cast<const char*>(r) + y * kResStep)[x];
    }
    int before(int x, int y) const {
        return dst_before[static_cast<std::size_t>(y * dst.width() + x)];
    }

    // Compares the destination with the model and checks the canaries.
    template <class Model>
    testing::AssertionResult check(Model model) {
        std::vector<Opx8u> expect;
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x) expect.push_back(static_cast<Opx8u>(model(x, y)));
        if (!dst.canaries_intact()) return testing::AssertionFailure() << "write outside block";
        return regions_equal(expect.data(), dst.width(), dst.data(), dst.step(), dst.width(),
                             dst.height());
    }
};

// Argument values: the documented ones and some whose extra bits must be ignored.
constexpr int kAccValues[] = {0, 1, 2, 3, 4, 5, 6, 7, 19, -1};
constexpr int kRoundingValues[] = {0, 1, 2, 3, -2};
constexpr int kMcTypeValues[] = {0, 1, 2, 3, 4, 5, 8, 11, 12, 15, 16, 28, -4};
constexpr int kMcTypePairs[] = {0, 3, 4, 8, 13, 28};
constexpr int kRoundControlValues[] = {0, 1, 2, 3};

// ---- copies and averages ----------------------------------------------------------------------

using HpApi = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, Opx32s, Opx32s);
struct HpCase {
    const char* name;
    HpApi fn;
    int w, h;
};

// The half-sample copies, and the interpolating averages, whose final average with the
// destination rounds up.
TEST(BlockRules, HalfSampleCopiesAndInterpolatingAveragesFollowTheModel) {
    const HpCase cases[] = {
        {"Copy8x8HP", opxiCopy8x8HP_8u_C1R, 8, 8},
        {"Copy16x16HP", opxiCopy16x16HP_8u_C1R, 16, 16},
        {"Copy16x8HP", opxiCopy16x8HP_8u_C1R, 16, 8},
        {"Copy8x4HP", opxiCopy8x4HP_8u_C1R, 8, 4},
        {"InterpolateAverage16x16", opxiInterpolateAverage16x16_8u_C1IR, 16, 16},
        {"InterpolateAverage16x8", opxiInterpolateAverage16x8_8u_C1IR, 16, 8},
        {"InterpolateAverage8x8", opxiInterpolateAverage8x8_8u_C1IR, 8, 8},
        {"InterpolateAverage8x4", opxiInterpolateAverage8x4_8u_C1IR, 8, 4}};
    Rng rng;
    for (const HpCase& c : cases)
        for (int acc : kAccValues)
            for (int rnd : kRoundingValues) {
                const bool average = c.name[0] == 'I';
                Bench t(c.w, c.h, rng);
                ASSERT_EQ(c.fn(t.f(), t.ref_step(), t.dst.data(), t.dst.step(), acc, rnd), opxOk);
                EXPECT_TRUE(t.check([&](int x, int y) {
                    const int p =
                        predict(t.f(), t.ref_step(), x, y, acc_hor(acc), acc_ver(acc), 1, rnd & 1);
                    return average ? (p + t.before(x, y) + 1) >> 1 : p;
                })) << c.name
                    << " acc " << acc << " rounding " << rnd;
            }
}

TEST(BlockRules, CopiesAndAverages) {
    Rng rng;
    for (int size : {8, 16}) {
        {
            Bench t(size, size, rng);
            auto fn = size == 8 ? opxiCopy8x8_8u_C1R : opxiCopy16x16_8u_C1R;
            ASSERT_EQ(fn(t.f(), t.ref_step(), t.dst.data(), t.dst.step()), opxOk);
            EXPECT_TRUE(t.check([&](int x, int y) { return at(t.f(), t.ref_step(), x, y); }));
        }
        {
            Bench t(size, size, rng);
            auto fn = size == 8 ? opxiAverage8x8_8u_C1R : opxiAverage16x16_8u_C1R;
            ASSERT_EQ(fn(t.f(), t.ref_step(), t.b(), -t.ref_step(), t.dst.data(), t.dst.step()),
                      opxOk);
            EXPECT_TRUE(t.check([&](int x, int y) {
                return (at(t.f(), t.ref_step(), x, y) + at(t.b(), -t.ref_step(), x, y) + 1) >> 1;
            }));
        }
        {
            Bench t(size, size, rng);
            auto fn = size == 8 ? opxiAverage8x8_8u_C1IR : opxiAverage16x16_8u_C1IR;
            ASSERT_EQ(fn(t.f(), t.ref_step(), t.dst.data(), t.dst.step()), opxOk);
            EXPECT_TRUE(t.check([&](int x, int y) {
                return (at(t.f(), t.ref_step(), x, y) + t.before(x, y) + 1) >> 1;
            }));
        }
    }
}

// ---- residual addition ------------------------------------------------------------------------

TEST(BlockRules, ResidualAdditionWrapsSixteenBitSums) {
    Rng rng;
    {
        Bench t(8, 8, rng);
        ASSERT_EQ(opxiAdd8x8_16s8u_C1IRS(t.u(), t.res_step(), t.dst.data(), t.dst.step()), opxOk);
        EXPECT_TRUE(t.check(
            [&](int x, int y) { return clamp255(wrap16(t.before(x, y) + t.res(t.u(), x, y))); }));
    }
    for (int acc : kAccValues)
        for (int rnd : kRoundingValues) {
            Bench t(8, 8, rng);
            ASSERT_EQ(opxiAdd8x8HP_16s8u_C1RS(t.u(), t.res_step(), t.f(), t.ref_step(),
                                              t.dst.data(), t.dst.step(), acc, rnd),
                      opxOk);
            EXPECT_TRUE(t.check([&](int x, int y) {
                const int p =
                    predict(t.f(), t.ref_step(), x, y, acc_hor(acc), acc_ver(acc), 1, rnd & 1);
                return clamp255(wrap16(p + t.res(t.u(), x, y)));
            })) << "acc "
                << acc << " rounding " << rnd;
        }
    for (int value : {0, 1, -1, 100, -300, 255, 32767, -32768, 32600}) {
        Bench t(8, 8, rng);
        ASSERT_EQ(opxiAddC8x8_16s8u_C1IR(static_cast<Opx16s>(value), t.dst.data(), t.dst.step()),
                  opxOk);
        EXPECT_TRUE(t.check([&](int x, int y) { return clamp255(wrap16(t.before(x, y) + value)); }))
            << "value " << value;
    }
}

// ---- motion compensation ----------------------------------------------------------------------

using McApi = OpxResult (*)(const Opx8u*, Opx32s, const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s,
                            Opx32s);
using McBApi = OpxResult (*)(const Opx8u*, Opx32s, Opx32s, const Opx8u*, Opx32s, Opx32s,
                             const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s);
struct McCase {
    const char* name;
    McApi one;
    McBApi two;
    int w, h, n;
};
const McCase kMcCases[] = {
    {"MC16x16", opxiMC16x16_8u_C1, opxiMC16x16B_8u_C1, 16, 16, 1},
    {"MC16x8", opxiMC16x8_8u_C1, opxiMC16x8B_8u_C1, 16, 8, 1},
    {"MC8x16", opxiMC8x16_8u_C1, opxiMC8x16B_8u_C1, 8, 16, 1},
    {"MC8x8", opxiMC8x8_8u_C1, opxiMC8x8B_8u_C1, 8, 8, 1},
    {"MC8x4", opxiMC8x4_8u_C1, opxiMC8x4B_8u_C1, 8, 4, 1},
    {"MC4x8", opxiMC4x8_8u_C1, opxiMC4x8B_8u_C1, 4, 8, 1},
    {"MC4x4", opxiMC4x4_8u_C1, opxiMC4x4B_8u_C1, 4, 4, 1},
    {"MC4x2", opxiMC4x2_8u_C1, opxiMC4x2B_8u_C1, 4, 2, 1},
    {"MC2x4", opxiMC2x4_8u_C1, opxiMC2x4B_8u_C1, 2, 4, 1},
    {"MC2x2", opxiMC2x2_8u_C1, opxiMC2x2B_8u_C1, 2, 2, 1},
    {"MC16x8UV", opxiMC16x8UV_8u_C1, opxiMC16x8BUV_8u_C1, 16, 8, 2},
    {"MC16x4", opxiMC16x4_8u_C1, opxiMC16x4B_8u_C1, 16, 4, 2},
};

// The 2- and 4-wide forms read bit 0 of roundControl like the others (2 rounds as 0, 3 as 1).
TEST(BlockRules, OnePredictionMotionCompensationAddsExactly) {
    Rng rng;
    for (const McCase& c : kMcCases)
        for (int mc_type : kMcTypeValues)
            for (int rc : kRoundControlValues) {
                Bench t(c.w, c.h, rng);
                ASSERT_EQ(c.one(t.f(), t.ref_step(), t.u(), t.res_step(), t.dst.data(),
                                t.dst.step(), mc_type, rc),
                          opxOk);
                EXPECT_TRUE(t.check([&](int x, int y) {
                    const int p = predict(t.f(), t.ref_step(), x, y, mc_hor(mc_type),
                                          mc_ver(mc_type), c.n, rc & 1);
                    return clamp255(p + t.res(t.u(), x, y));
                })) << c.name
                    << " mcType " << mc_type << " roundControl " << rc;
            }
}

TEST(BlockRules, TwoPredictionMotionCompensationAveragesRoundingUp) {
    Rng rng;
    for (const McCase& c : kMcCases)
        for (int tf : kMcTypePairs)
            for (int tb : kMcTypePairs)
                for (int rc : kRoundControlValues) {
                    Bench t(c.w, c.h, rng);
                    ASSERT_EQ(c.two(t.f(), t.ref_step(), tf, t.b(), -t.ref_step(), tb, t.u(),
                                    t.res_step(), t.dst.data(), t.dst.step(), rc),
                              opxOk);
                    EXPECT_TRUE(t.check([&](int x, int y) {
                        const int pf =
                            predict(t.f(), t.ref_step(), x, y, mc_hor(tf), mc_ver(tf), c.n, rc & 1);
                        const int pb = predict(t.b(), -t.ref_step(), x, y, mc_hor(tb), mc_ver(tb),
                                               c.n, rc & 1);
                        return clamp255(((pf + pb + 1) >> 1) + t.res(t.u(), x, y));
                    })) << c.name
                        << " mcTypeF " << tf << " mcTypeB " << tb << " roundControl " << rc;
                }
}

// Residual U at even destination bytes, V at odd ones.
TEST(BlockRules, PlanarResidualsLandOnAlternateBytes) {
    Rng rng;
    for (int h : {8, 4}) {
        auto one = h == 8 ? opxiMC8x8_16s8u_P2C2R : opxiMC8x4_16s8u_P2C2R;
        auto two = h == 8 ? opxiMC8x8B_16s8u_P2C2R : opxiMC8x4B_16s8u_P2C2R;
        for (int tf : kMcTypePairs) {
            for (int rc : {0, 1}) {
                Bench t(16, h, rng);
                const auto residual = [&](int x, int y) {
                    return t.res((x & 1) ? t.v() : t.u(), x >> 1, y);
                };
                ASSERT_EQ(one(t.f(), t.ref_step(), t.u(), t.v(), t.res_step(), t.dst.data(),
                              t.dst.step(), tf, rc),
                          opxOk);
                EXPECT_TRUE(t.check([&](int x, int y) {
                    return clamp255(
                        predict(t.f(), t.ref_step(), x, y, mc_hor(tf), mc_ver(tf), 2, rc) +
                        residual(x, y));
                })) << "height "
                    << h << " mcType " << tf << " roundControl " << rc;
                for (int tb : kMcTypePairs) {
                    Bench s(16, h, rng);
                    ASSERT_EQ(two(s.f(), s.ref_step(), tf, s.b(), s.ref_step(), tb, s.u(), s.v(),
                                  s.res_step(), s.dst.data(), s.dst.step(), rc),
                              opxOk);
                    EXPECT_TRUE(s.check([&](int x, int y) {
                        const int pf =
                            predict(s.f(), s.ref_step(), x, y, mc_hor(tf), mc_ver(tf), 2, rc);
                        const int pb =
                            predict(s.b(), s.ref_step(), x, y, mc_hor(tb), mc_ver(tb), 2, rc);
                        return clamp255(((pf + pb + 1) >> 1) +
                                        s.res((x & 1) ? s.v() : s.u(), x >> 1, y));
                    })) << "height "
                        << h << " mcTypeF " << tf << " mcTypeB " << tb;
                }
            }
        }
    }
}

// ---- values singled out by the rules ----------------------------------------------------------

TEST(BlockRules, RoundingOfTwoAndFourSamples) {
    // Horizontal half of 1 and 2: 2 rounding up, 1 rounding down.
    Opx8u src[2 * 17] = {};
    for (int x = 0; x < 17; x += 2) src[x] = 1, src[x + 1] = 2;
    Opx8u dst[16 * 16];
    ASSERT_EQ(opxiCopy8x4HP_8u_C1R(src, 0, dst, 8, 1, 0), opxOk);
    EXPECT_EQ(dst[0], 2);
    ASSERT_EQ(opxiCopy8x4HP_8u_C1R(src, 0, dst, 8, 1, 1), opxOk);
    EXPECT_EQ(dst[0], 1);
    // Four samples 0, 0, 0, 1 rounding up: (1 + 2) >> 2 = 0, not an average of averages (1).
    Opx8u quad[17 * 17] = {};
    quad[17 + 1] = 1;
    ASSERT_EQ(opxiCopy16x16HP_8u_C1R(quad, 17, dst, 16, 3, 0), opxOk);
    EXPECT_EQ(dst[0], 0);
    // 1, 1, 1, 0 rounding down: (3 + 1) >> 2 = 1.
    std::memset(quad, 1, sizeof quad);
    quad[17 + 1] = 0;
    ASSERT_EQ(opxiCopy8x8HP_8u_C1R(quad, 17, dst, 8, 3, 1), opxOk);
    EXPECT_EQ(dst[0], 1);
}

TEST(BlockRules, WrappingAndExactSumsDiffer) {
    Opx8u block[8 * 8];
    std::memset(block, 200, sizeof block);
    Opx16s res[8 * 8];
    std::fill(std::begin(res), std::end(res), Opx16s{32700});
    ASSERT_EQ(opxiAdd8x8_16s8u_C1IRS(res, 16, block, 8), opxOk);
    EXPECT_EQ(block[0], 0);  // 32900 wraps to -32636
    EXPECT_EQ(block[63], 0);
    Opx8u ref[9 * 8];
    std::memset(ref, 200, sizeof ref);
    Opx8u dst[8 * 8] = {};
    ASSERT_EQ(opxiMC8x8_8u_C1(ref, 8, res, 16, dst, 8, 0, 0), opxOk);
    EXPECT_EQ(dst[0], 255);
    EXPECT_EQ(dst[63], 255);
    ASSERT_EQ(opxiMC2x2_8u_C1(ref, 8, res, 16, dst, 8, 12, 0), opxOk);
    EXPECT_EQ(dst[0], 255);
    // The HP form wraps too.
    ASSERT_EQ(opxiAdd8x8HP_16s8u_C1RS(res, 16, ref, 8, dst, 8, 0, 0), opxOk);
    EXPECT_EQ(dst[0], 0);
}

TEST(BlockRules, AddConstantSaturatesAndChecksOnlyTheBlock) {
    Opx8u block[8 * 8];
    for (int i = 0; i < 64; ++i) block[i] = static_cast<Opx8u>(i * 4);
    ASSERT_EQ(opxiAddC8x8_16s8u_C1IR(-300, block, 8), opxOk);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
    for (int value : {0, -300, 32767})
        EXPECT_EQ(opxiAddC8x8_16s8u_C1IR(static_cast<Opx16s>(value), nullptr, 8), opxErrNullPtr);
}

TEST(BlockRules, InterleavedChromaNeverMixesComponents) {
    // Even bytes 0, odd bytes 255: a horizontal half sample of either component keeps it.
    Opx8u ref[2 * 18];
    for (int i = 0; i < 36; ++i) ref[i] = (i & 1) ? 255 : 0;
    const Opx16s res[16 * 8] = {};
    const Opx16s res_plane[8 * 8] = {};
    Opx8u dst[16 * 8];
    for (McApi fn : {opxiMC16x8UV_8u_C1, opxiMC16x4_8u_C1}) {
        ASSERT_EQ(fn(ref, 0, res, 32, dst, 16, 8, 1), opxOk);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(dst[i], (i & 1) ? 255 : 0);
    }
    ASSERT_EQ(opxiMC8x8_16s8u_P2C2R(ref, 0, res_plane, res_plane, 16, dst, 16, 12, 0), opxOk);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(dst[i], (i & 1) ? 255 : 0);
}

}  // namespace

// ---- null pointers ----------------------------------------------------------------------------

OPX_NULL_CALL(opxiCopy8x8_8u_C1R, nul(s.u8(0)), 8, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiCopy16x16_8u_C1R, nul(s.u8(0)), 16, nul(s.u8(1)), 16)
#define OPX_HP_NULL_CASE(fn)                                 \
    OPX_NULL_CASE(fn) {                                      \
        return fn(nul(s.u8(0)), 32, nul(s.u8(1)), 32, 3, 1); \
    }
OPX_HP_NULL_CASE(opxiCopy8x8HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy16x16HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy16x8HP_8u_C1R)
OPX_HP_NULL_CASE(opxiCopy8x4HP_8u_C1R)
OPX_HP_NULL_CASE(opxiInterpolateAverage16x16_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage16x8_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage8x8_8u_C1IR)
OPX_HP_NULL_CASE(opxiInterpolateAverage8x4_8u_C1IR)
OPX_NULL_CALL(opxiAverage8x8_8u_C1R, nul(s.u8(0)), 8, nul(s.u8(1)), 8, nul(s.u8(2)), 8)
OPX_NULL_CALL(opxiAverage16x16_8u_C1R, nul(s.u8(0)), 16, nul(s.u8(1)), 16, nul(s.u8(2)), 16)
OPX_NULL_CALL(opxiAverage8x8_8u_C1IR, nul(s.u8(0)), 8, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiAverage16x16_8u_C1IR, nul(s.u8(0)), 16, nul(s.u8(1)), 16)
OPX_NULL_CALL(opxiAdd8x8_16s8u_C1IRS, nul(s.s16(0)), 16, nul(s.u8(1)), 8)
OPX_NULL_CALL(opxiAdd8x8HP_16s8u_C1RS, nul(s.s16(0)), 16, nul(s.u8(1)), 9, nul(s.u8(2)), 8, 3, 0)
OPX_NULL_CALL(opxiAddC8x8_16s8u_C1IR, -300, nul(s.u8(0)), 8)

#define OPX_MC_NULL_CASE(fn)                                                     \
    OPX_NULL_CASE(fn) {                                                          \
        return fn(nul(s.u8(0)), 33, nul(s.s16(1)), 32, nul(s.u8(2)), 16, 12, 1); \
    }
#define OPX_MC_B_NULL_CASE(fn)                                                                     \
    OPX_NULL_CASE(fn) {                                                                            \
        return fn(nul(s.u8(0)), 33, 12, nul(s.u8(1)), -33, 8, nul(s.s16(2)), 32, nul(s.u8(3)), 16, \
                  1);                                                                              \
    }
OPX_MC_NULL_CASE(opxiMC16x16_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x16_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC8x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x8_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC4x2_8u_C1)
OPX_MC_NULL_CASE(opxiMC2x4_8u_C1)
OPX_MC_NULL_CASE(opxiMC2x2_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x8UV_8u_C1)
OPX_MC_NULL_CASE(opxiMC16x4_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x16B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x16B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC8x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x8B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC4x2B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC2x4B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC2x2B_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x8BUV_8u_C1)
OPX_MC_B_NULL_CASE(opxiMC16x4B_8u_C1)
OPX_NULL_CALL(opxiMC8x8_16s8u_P2C2R, nul(s.u8(0)), 33, nul(s.s16(1)), nul(s.s16(2)), 16,
              nul(s.u8(3)), 16, 12, 0)
OPX_NULL_CALL(opxiMC8x4_16s8u_P2C2R, nul(s.u8(0)), 33, nul(s.s16(1)), nul(s.s16(2)), 16,
              nul(s.u8(3)), 16, 4, 1)
OPX_NULL_CALL(opxiMC8x8B_16s8u_P2C2R, nul(s.u8(0)), 33, 12, nul(s.u8(1)), 33, 4, nul(s.s16(2)),
              nul(s.s16(3)), 16, nul(s.u8(4)), 16, 0)
OPX_NULL_CALL(opxiMC8x4B_16s8u_P2C2R, nul(s.u8(0)), 33, 8, nul(s.u8(1)), -33, 12, nul(s.s16(2)),
              nul(s.s16(3)), 16, nul(s.u8(4)), 16, 1)

}  // namespace opx::test
