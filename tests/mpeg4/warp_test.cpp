// MPEG-4 sprite warping, global motion vector and brightness change: the exported warps against
// the portable kernel on random maps at guard pages (positions left of and above the sprite
// included) and wide sprites, results pinned (the earlier pins checked against a per-sample model
// of the map and the bilinear rule, the chrominance rounding of static sprites and GMC included),
// zero-point maps copying with the sprite's edges repeated, the set-up's checks before anything is
// written, the global vector of translations and of the four-point record, result codes.
#include "mpeg4/warp.hpp"

#include <cmath>
#include <cstring>
#include <vector>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"
#include "mpeg4/quant.hpp"

namespace opx::test::mpeg4 {
namespace {

using opx::mpeg4::kIdWarp;

// Caller memory for a record, 3 bytes past a 64-byte boundary, filled with a pattern.
struct Rec {
    struct Mem {
        std::vector<unsigned char> raw = std::vector<unsigned char>(384 + 128, 0xC3);
    } mem;
    OpxWarpStateMPEG4* p() {
        auto* b =
            reinterpret_cast<unsigned char*>(
                (reinterpret_cast<std::uintptr_t>(mem.raw.data()) + 63) & ~std::uintptr_t{63}) +
            3;
        return reinterpret_cast<OpxWarpStateMPEG4*>(b);
    }
};

OpxResult init(Rec& r, std::vector<Opx32s> du, std::vector<Opx32s> dv, int points, int type,
               int acc, int rounding, int qs, int fcode, OpxRect sprite, OpxRect vop) {
    du.resize(4);
    dv.resize(4);
    return opxiWarpInit_MPEG4(r.p(), du.data(), dv.data(), points, type, acc, rounding, qs, fcode,
                              &sprite, &vop);
}

// The exported luma warp on whole planes (steps as the function takes them).
OpxResult warp_luma(const Plane<Opx8u>& s, Plane<Opx8u>& d, const OpxRect& rect, Rec& r) {
    return opxiWarpLuma_MPEG4_8u_C1R(s.data(), s.step32(), d.data(), d.step32(), &rect, r.p());
}

// ---- set-up -------------------------------------------------------------------------------------

TEST(Mpeg4WarpRules, GetSizeAndZeroPointsWithoutDisplacements) {
    Opx32s size = 0;
    ASSERT_EQ(opxiWarpGetSize_MPEG4(&size), opxOk);
    EXPECT_EQ(size, 384);
    const OpxRect sp{0, 0, 64, 48}, vop{0, 0, 64, 48};
    Rec r;
    OpxMotionVec mv;
    EXPECT_EQ(opxiWarpInit_MPEG4(r.p(), nullptr, nullptr, 0, 0, 0, 0, 0, 1, &sp, &vop), opxOk);
    EXPECT_EQ(opxiCalcGlobalMV_MPEG4(0, 0, &mv, r.p()), opxOk);
}

TEST(Mpeg4WarpRules, GlobalVectorOnePointRangeAndFourPoints) {
    Rec r;
    const OpxRect sp{0, 0, 64, 64}, vop{0, 0, 64, 64};
    OpxMotionVec mv{};
    for (int qs : {0, 1}) {
        ASSERT_EQ(init(r, {3}, {-5}, 1, 0, 2, 0, qs, 3, sp, vop), opxOk);
        ASSERT_EQ(opxiCalcGlobalMV_MPEG4(16, 32, &mv, r.p()), opxOk);
        EXPECT_EQ(mv.dx, qs ? 6 : 3);
        EXPECT_EQ(mv.dy, qs ? -10 : -5);
    }
    ASSERT_EQ(init(r, {1000}, {-1000}, 1, 0, 2, 0, 0, 1, sp, vop), opxOk);
    ASSERT_EQ(opxiCalcGlobalMV_MPEG4(0, 0, &mv, r.p()), opxOk);
    EXPECT_EQ(mv.dx, 31);
    EXPECT_EQ(mv.dy, -32);
    // a four-point record (static sprite) has no single vector: (0, 0), every field defined
    ASSERT_EQ(init(r, {5, 2, 3, 1}, {7, 1, 2, 3}, 4, 1, 3, 1, 0, 7, sp, vop), opxOk);
    mv = {99, 99};
    ASSERT_EQ(opxiCalcGlobalMV_MPEG4(16, 16, &mv, r.p()), opxOk);
    EXPECT_EQ(mv.dx, 0);
    EXPECT_EQ(mv.dy, 0);
}

// Two or three points describing a pure translation give the one-point vector, as half or quarter
// samples (the mean displacement of other maps: the wide sprites' pins).
TEST(Mpeg4WarpRules, GlobalVectorOfATranslation) {
    Rec r;
    const OpxRect vop{0, 0, 176, 144};
    OpxMotionVec mv{};
    for (int points : {2, 3})
        for (int a = 0; a < 4; ++a)
            for (int qs : {0, 1}) {
                ASSERT_EQ(init(r, {-7, 0, 0}, {9, 0, 0}, points, 0, a, 0, qs, 4, vop, vop), opxOk);
                ASSERT_EQ(opxiCalcGlobalMV_MPEG4(32, 48, &mv, r.p()), opxOk);
                EXPECT_EQ(mv.dx, qs ? -14 : -7) << points << " " << a;
                EXPECT_EQ(mv.dy, qs ? 18 : 9);
            }
}

// ---- warps --------------------------------------------------------------------------------------

TEST(Mpeg4WarpRules, ZeroPointsCopyAndRepeatEdgeSamples) {
    Rng rng;
    Plane<Opx8u> s(32, 24, 8);
    s.fill(Pattern::kRandom, rng);
    Rec r;
    ASSERT_EQ(init(r, {}, {}, 0, 0, 0, 0, 0, 1, {8, 4, 32, 24}, {0, 0, 48, 40}), opxOk);
    const OpxRect rect{30, -4, 16, 16};  // right half and top rows outside the sprite
    Plane<Opx8u> d(16, 16, 8);
    ASSERT_EQ(warp_luma(s, d, rect, r), opxOk);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int sx = std::min(std::max(30 + x - 8, 0), 31),
                      sy = std::min(std::max(-4 + y - 4, 0), 23);
            ASSERT_EQ(d.at(x, y), s.at(sx, sy)) << x << "," << y;
        }
    EXPECT_TRUE(d.canaries_intact());
}

// A VOP 8191 samples wide with large displacements (positions that need more than 32 bits):
// pinned results of the warp and of the global vector.
TEST(Mpeg4WarpRules, WideSpritesPinned) {
    Digest wide;
    Rng rng(0x57415250ull);
    Plane<Opx8u> s(72, 56, 8);
    s.fill(Pattern::kRandom, rng);
    const OpxRect wvop{0, 0, 8191, 64};
    const std::vector<Opx32s> wdu{-3000, 4000, -2500}, wdv{2000, -3500, 1500};
    for (int a = 0; a < 4; ++a) {
        Rec r, r2;
        ASSERT_EQ(init(r, wdu, wdv, 3, 0, a, 0, 0, 7, wvop, wvop), opxOk);
        // The plane: a sprite of its size.
        ASSERT_EQ(init(r2, wdu, wdv, 3, 0, a, 0, 0, 7, {0, 0, 72, 56}, wvop), opxOk);
        for (int bx : {0, 4000, 8176}) {
            const OpxRect rect{bx, 32, 16, 16};
            Plane<Opx8u> d(16, 16);
            ASSERT_EQ(warp_luma(s, d, rect, r2), opxOk);
            wide.add(d.data(), d.step(), 16, 16);
            OpxMotionVec mv;
            ASSERT_EQ(opxiCalcGlobalMV_MPEG4(bx, 32, &mv, r.p()), opxOk);
            wide.add(&mv, sizeof mv);
        }
    }
    EXPECT_EQ(wide.value(), 0xcbd4e6b3db8b7d5dull) << std::hex << wide.value();
}

// ---- brightness ---------------------------------------------------------------------------------

TEST(Mpeg4WarpRules, BrightnessChange) {
    Plane<Opx8u> p(20, 6);
    auto fill = [&p] {
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 20; ++x) p.at(x, y) = static_cast<Opx8u>(x * 13 + y);
    };
    const Opx32s st = p.step32();
    for (int b : {100, -100, 0, 1648, -112, 7, -33}) {
        fill();
        ASSERT_EQ(opxiChangeSpriteBrightness_MPEG4_8u_C1IR(p.data(), st, 20, 6, b), opxOk);
        const long f = std::lround(1024.0 + 1024.0 * b / 100.0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 20; ++x) {
                const long v = (static_cast<long>(x * 13 + y) * f + 520) / 1024;
                ASSERT_EQ(p.at(x, y), b == 0 ? x * 13 + y : std::min(255L, std::max(0L, v))) << b;
            }
        ASSERT_TRUE(p.canaries_intact());
    }
    fill();
    EXPECT_EQ(opxiChangeSpriteBrightness_MPEG4_8u_C1IR(p.data(), st, 20, 6, -113),
              opxErrOutOfRange);
    EXPECT_EQ(opxiChangeSpriteBrightness_MPEG4_8u_C1IR(p.data(), st, 20, 6, 1649),
              opxErrOutOfRange);
    EXPECT_EQ(p.at(3, 2), 3 * 13 + 2);
}

// The exported warps (the AVX2 kernel, and the portable one in the suite's second run) against
// the portable kernel on random set-ups: one to three points, every accuracy, GMC and static
// sprites, blocks of odd sizes partly outside the sprite, left of and above it, the plane packed
// against unreadable pages on either side and stepped either way; large displacements and wide
// VOPs reach the positions beyond 32 bits. Results pinned (from the library whose earlier pins
// held).
TEST(Mpeg4WarpRules, ExportedAgainstThePortableKernelAtGuardPagesPinned) {
    using opx::mpeg4::WarpRecord;
    Rng rng(0x44574152ull);
    Digest digest;
    GuardedBuffer gs(1 << 16);
    for (int iter = 0; iter < 3000; ++iter) {
        // edge: small maps of whole-vector blocks against the plane's last samples
        const bool chroma = iter & 1, front = iter & 2, big = iter % 7 == 0, edge = iter % 3 == 2;
        const int points = 1 + iter / 4 % 3;
        const OpxRect sp{rng.uniform_int(-20, 20), rng.uniform_int(-20, 20),
                         rng.uniform_int(edge ? 40 : 1, 48), rng.uniform_int(edge ? 40 : 1, 48)};
        const OpxRect vop{rng.uniform_int(-16, 16), rng.uniform_int(-16, 16),
                          static_cast<Opx32s>(big ? rng.uniform(1, 8000) : rng.uniform(1, 64)),
                          static_cast<Opx32s>(big ? rng.uniform(1, 8000) : rng.uniform(1, 64))};
        const int range = edge ? 2 : big ? 60000 : iter % 5 == 0 ? 400 : 24;
        std::vector<Opx32s> du(4), dv(4);
        for (int k = 0; k < 3; ++k) {
            du[static_cast<std::size_t>(k)] = rng.uniform_int(-range, range);
            dv[static_cast<std::size_t>(k)] = rng.uniform_int(-range, range);
        }
        Rec rec;
        ASSERT_EQ(opxiWarpInit_MPEG4(rec.p(), du.data(), dv.data(), points, rng.uniform_int(0, 2),
                                     rng.uniform_int(0, 3), iter >> 3 & 1, 0, 7, &sp, &vop),
                  opxOk);
        const WarpRecord& r = *opx::mpeg4::align_record<WarpRecord>(rec.p());
        const int pw = chroma ? r.cw : r.sw, ph = chroma ? r.ch : r.sh;
        const std::ptrdiff_t step = (iter & 4 ? -1 : 1) * (pw + (edge ? 0 : rng.uniform(0, 5)));
        Opx8u* src = gs.place(pw, ph, step, front);
        ASSERT_NE(src, nullptr);
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x)
                src[y * step + x] = static_cast<Opx8u>(rng.uniform(0, 255));
        int bw = rng.uniform_int(1, 21), bh = rng.uniform_int(1, 21);
        int bx = rng.uniform_int(-40, 60), by = rng.uniform_int(-40, 60);
        if (edge) {
            bw = 8 << (iter >> 4 & 1);
            bx = (chroma ? r.cx : r.sx) + pw - bw - rng.uniform_int(0, 3);
            by = (chroma ? r.cy : r.sy) + ph - bh - rng.uniform_int(0, 3);
        }
        Plane<Opx8u> a(bw, bh, 8), b(bw, bh, 8), c(bw, bh, 8);
        opx::mpeg4::ref::kWarp.warp(r, chroma, src, step, a.data(), a.step(), bx, by, bw, bh);
        const OpxRect rect{bx, by, bw, bh};
        const Opx32s st = static_cast<Opx32s>(step);
        ASSERT_EQ(chroma ? opxiWarpChroma_MPEG4_8u_P2R(src, st, src, st, b.data(), b.step32(),
                                                       c.data(), c.step32(), &rect, rec.p())
                         : opxiWarpLuma_MPEG4_8u_C1R(src, st, b.data(), b.step32(), &rect, rec.p()),
                  opxOk);
        ASSERT_TRUE(planes_equal(a, b)) << "iter " << iter << " points " << points;
        ASSERT_TRUE(!chroma || planes_equal(a, c)) << "Cr, iter " << iter;
        ASSERT_TRUE(b.canaries_intact());
        digest.add(b.data(), b.step(), bw, bh);
    }
    EXPECT_EQ(digest.value(), 0xd8c1cb2219d99e18ull) << std::hex << digest.value();
}

}  // namespace

OPX_NULL_CALL(opxiWarpGetSize_MPEG4, nul(s.s32(0)))
OPX_NULL_CASE(opxiWarpInit_MPEG4) {
    static const OpxRect sp{0, 0, 64, 64};
    return opxiWarpInit_MPEG4(nul(reinterpret_cast<OpxWarpStateMPEG4*>(s.u8(0))), nul(s.s32(1)),
                              nul(s.s32(2)), 2, 0, 1, 0, 0, 1, nul(&sp), nul(&sp));
}
OPX_NULL_CASE(opxiWarpLuma_MPEG4_8u_C1R) {
    static const OpxRect rect{0, 0, 4, 4};
    return opxiWarpLuma_MPEG4_8u_C1R(nul(s.u8(0)), 16, nul(s.u8(1)), 16, nul(&rect),
                                     nul(reinterpret_cast<const OpxWarpStateMPEG4*>(s.u8(2))));
}
OPX_NULL_CASE(opxiWarpChroma_MPEG4_8u_P2R) {
    static const OpxRect rect{0, 0, 4, 4};
    return opxiWarpChroma_MPEG4_8u_P2R(nul(s.u8(0)), 16, nul(s.u8(1)), 16, nul(s.u8(2)), 16,
                                       nul(s.u8(3)), 16, nul(&rect),
                                       nul(reinterpret_cast<const OpxWarpStateMPEG4*>(s.u8(4))));
}
OPX_NULL_CASE(opxiCalcGlobalMV_MPEG4) {
    return opxiCalcGlobalMV_MPEG4(0, 0, nul(reinterpret_cast<OpxMotionVec*>(s.u8(0))),
                                  nul(reinterpret_cast<const OpxWarpStateMPEG4*>(s.u8(1))));
}
OPX_NULL_AUTO(opxiChangeSpriteBrightness_MPEG4_8u_C1IR, 16, 4, 4, 10)

}  // namespace opx::test::mpeg4
