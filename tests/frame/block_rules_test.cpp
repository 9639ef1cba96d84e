// Block primitives through their exported names: every position code (bits beyond the defined
// ones included), size and residual form pinned over fixed pseudo-random inputs, so a mistake in
// the shared table indexing of the library (or in both kernel tables alike) cannot hide, the
// residuals reaching wrapping and saturation.
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "frame/block.hpp"
#include "harness/harness.hpp"
#include "harness/pinned.hpp"

namespace opx::test {
namespace {

using HpApi = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, Opx32s, Opx32s);
using McApi = OpxResult (*)(const Opx8u*, Opx32s, const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s,
                            Opx32s);
using McBApi = OpxResult (*)(const Opx8u*, Opx32s, Opx32s, const Opx8u*, Opx32s, Opx32s,
                             const Opx16s*, Opx32s, Opx8u*, Opx32s, Opx32s);

// One call on a w x h destination (filled at random first; the in-place forms read it).
using Call = std::function<OpxResult(const Opx8u* ref, const Opx16s* res, Opx8u* d, Opx32s ds)>;
constexpr int kRefStep = 40, kResStep = 64;  // bytes

// Pinned from the library while a closed-form model of every function (half samples of a linear
// ramp plus a linear residual) and hand cases of the rounding (two and four samples, both
// roundings), the wrapping additions and the saturating ones passed against it.
TEST(BlockRules, EveryFunctionPositionAndSizePinned) {
    Rng rng(0x424C4B52ull);
    std::vector<Opx8u> ref(kRefStep * 19);
    std::vector<Opx16s> res(kResStep / 2 * 17);
    Digest digest;
    auto run = [&](int w, int h, const Call& call) {
        for (auto& v : ref) v = static_cast<Opx8u>(rng.next());
        const std::int64_t lim = rng.uniform(0, 3) ? 300 : 32768;  // sums wrap or saturate
        for (auto& v : res) v = static_cast<Opx16s>(rng.uniform(-lim, lim - 1));
        Plane<Opx8u> dst(w, h, 16, 3, 1);
        dst.fill(Pattern::kRandom, rng, 0, 255);
        ASSERT_EQ(call(ref.data(), res.data(), dst.data(), dst.step32()), opxOk);
        ASSERT_TRUE(dst.canaries_intact()) << w << "x" << h;
        digest.add(dst.data(), dst.step(), w, h);
    };
    // One call on a w x h destination d (step ds) from the reference r and the residual u.
#define OPX_RUN(w, h, ...) \
    run(w, h, [&](const Opx8u* r, const Opx16s* u, Opx8u* d, Opx32s ds) { return __VA_ARGS__; })
    const struct {
        HpApi fn;
        int w, h;
    } hp[] = {{opxiCopy8x8HP_8u_C1R, 8, 8},
              {opxiCopy16x16HP_8u_C1R, 16, 16},
              {opxiCopy16x8HP_8u_C1R, 16, 8},
              {opxiCopy8x4HP_8u_C1R, 8, 4},
              {opxiInterpolateAverage16x16_8u_C1IR, 16, 16},
              {opxiInterpolateAverage16x8_8u_C1IR, 16, 8},
              {opxiInterpolateAverage8x8_8u_C1IR, 8, 8},
              {opxiInterpolateAverage8x4_8u_C1IR, 8, 4}};
    for (const auto& c : hp)  // acc: bit 0 horizontal, bit 1 vertical, other bits ignored
        for (int acc : {0, 1, 2, 3, 7, -1})
            for (int rc : {0, 1}) OPX_RUN(c.w, c.h, c.fn(r, kRefStep, d, ds, acc, rc));
    const struct {
        McApi one;
        McBApi two;
        int w, h;
    } mc[] = {{opxiMC16x16_8u_C1, opxiMC16x16B_8u_C1, 16, 16},
              {opxiMC16x8_8u_C1, opxiMC16x8B_8u_C1, 16, 8},
              {opxiMC8x16_8u_C1, opxiMC8x16B_8u_C1, 8, 16},
              {opxiMC8x8_8u_C1, opxiMC8x8B_8u_C1, 8, 8},
              {opxiMC8x4_8u_C1, opxiMC8x4B_8u_C1, 8, 4},
              {opxiMC4x8_8u_C1, opxiMC4x8B_8u_C1, 4, 8},
              {opxiMC4x4_8u_C1, opxiMC4x4B_8u_C1, 4, 4},
              {opxiMC4x2_8u_C1, opxiMC4x2B_8u_C1, 4, 2},
              {opxiMC2x4_8u_C1, opxiMC2x4B_8u_C1, 2, 4},
              {opxiMC2x2_8u_C1, opxiMC2x2B_8u_C1, 2, 2},
              {opxiMC16x8UV_8u_C1, opxiMC16x8BUV_8u_C1, 16, 8},
              {opxiMC16x4_8u_C1, opxiMC16x4B_8u_C1, 16, 4}};
    for (const auto& c : mc)  // mcType: 8 horizontal, 4 vertical, other bits ignored
        for (int tf : {0, 4, 8, 12, 3, 28})
            for (int rc : {0, 1, 2, 3}) {  // the 2- and 4-wide forms read bit 0 of a number
                OPX_RUN(c.w, c.h, c.one(r, kRefStep, u, kResStep, d, ds, tf, rc));
                for (int tb : {0, 4, 8, 13})
                    OPX_RUN(c.w, c.h,
                            c.two(r, kRefStep, tf, r + 1, kRefStep, tb, u, kResStep, d, ds, rc));
            }
    for (int h : {8, 4})  // residual U at even destination bytes, V at odd ones
        for (int tf : {0, 4, 8, 12})
            for (int rc : {0, 1}) {
                OPX_RUN(16, h,
                        (h == 8 ? opxiMC8x8_16s8u_P2C2R : opxiMC8x4_16s8u_P2C2R)(
                            r, kRefStep, u, u + kResStep / 2, kResStep, d, ds, tf, rc));
                OPX_RUN(16, h,
                        (h == 8 ? opxiMC8x8B_16s8u_P2C2R : opxiMC8x4B_16s8u_P2C2R)(
                            r, kRefStep, tf, r + 2, kRefStep, 12 - tf, u, u + kResStep / 2,
                            kResStep, d, ds, rc));
            }
    for (int size : {8, 16}) {
        OPX_RUN(size, size,
                (size == 8 ? opxiCopy8x8_8u_C1R : opxiCopy16x16_8u_C1R)(r + 1, kRefStep, d, ds));
        OPX_RUN(size, size,
                (size == 8 ? opxiAverage8x8_8u_C1R : opxiAverage16x16_8u_C1R)(
                    r, kRefStep, r + 2 * kRefStep + 1, kRefStep, d, ds));
        OPX_RUN(size, size,
                (size == 8 ? opxiAverage8x8_8u_C1IR : opxiAverage16x16_8u_C1IR)(r + 1, kRefStep, d,
                                                                                ds));
    }
    OPX_RUN(8, 8, opxiAdd8x8_16s8u_C1IRS(u, kResStep, d, ds));
    for (int acc : {0, 1, 2, 3, 7})
        for (int rc : {0, 1})
            OPX_RUN(8, 8, opxiAdd8x8HP_16s8u_C1RS(u, kResStep, r, kRefStep, d, ds, acc, rc));
    for (Opx16s v : {-300, -7, 0, 9, 300}) OPX_RUN(8, 8, opxiAddC8x8_16s8u_C1IR(v, d, ds));
#undef OPX_RUN
    EXPECT_EQ(digest.value(), 0x609d0de0f6b05261ull) << std::hex << digest.value();
}

}  // namespace

// ---- null pointers ----------------------------------------------------------------------------

OPX_NULL_AUTO(opxiCopy8x8_8u_C1R, 8, 8)
OPX_NULL_AUTO(opxiCopy16x16_8u_C1R, 16, 16)
OPX_NULL_AUTO(opxiCopy8x8HP_8u_C1R, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiCopy16x16HP_8u_C1R, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiCopy16x8HP_8u_C1R, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiCopy8x4HP_8u_C1R, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiInterpolateAverage16x16_8u_C1IR, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiInterpolateAverage16x8_8u_C1IR, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiInterpolateAverage8x8_8u_C1IR, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiInterpolateAverage8x4_8u_C1IR, 32, 32, 3, 1)
OPX_NULL_AUTO(opxiAverage8x8_8u_C1R, 8, 8, 8)
OPX_NULL_AUTO(opxiAverage16x16_8u_C1R, 16, 16, 16)
OPX_NULL_AUTO(opxiAverage8x8_8u_C1IR, 8, 8)
OPX_NULL_AUTO(opxiAverage16x16_8u_C1IR, 16, 16)
OPX_NULL_AUTO(opxiAdd8x8_16s8u_C1IRS, 16, 8)
OPX_NULL_AUTO(opxiAdd8x8HP_16s8u_C1RS, 16, 9, 8, 3, 0)
OPX_NULL_AUTO(opxiAddC8x8_16s8u_C1IR, -300, 8)

OPX_NULL_AUTO(opxiMC16x16_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC16x8_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC8x16_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC8x8_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC8x4_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC4x8_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC4x4_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC4x2_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC2x4_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC2x2_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC16x8UV_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC16x4_8u_C1, 33, 32, 16, 12, 1)
OPX_NULL_AUTO(opxiMC16x16B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC16x8B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC8x16B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC8x8B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC8x4B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC4x8B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC4x4B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC4x2B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC2x4B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC2x2B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC16x8BUV_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC16x4B_8u_C1, 33, 12, -33, 8, 32, 16, 1)
OPX_NULL_AUTO(opxiMC8x8_16s8u_P2C2R, 33, 16, 16, 12, 0)
OPX_NULL_AUTO(opxiMC8x4_16s8u_P2C2R, 33, 16, 16, 4, 1)
OPX_NULL_AUTO(opxiMC8x8B_16s8u_P2C2R, 33, 12, 33, 4, 16, 16, 0)
OPX_NULL_AUTO(opxiMC8x4B_16s8u_P2C2R, 33, 8, -33, 12, 16, 16, 1)

}  // namespace opx::test
