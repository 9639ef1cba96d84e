// MPEG-4 quarter-sample copies and OBMC: the exported functions against the portable kernels for
// every position, rounding and subset of neighbour vectors equal to the current one (guard pages
// for the copies), results pinned.
#include "mpeg4/qpel.hpp"

#include <cstdlib>
#include <vector>

#include "harness/pinned.hpp"
#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;

using CopyFn = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, Opx32s, Opx32s);
struct Shape {
    int w, h, index;
    CopyFn fn;
};
const Shape kShapes[] = {{8, 8, 0, opxiCopy8x8QP_MPEG4_8u_C1R},
                         {16, 8, 1, opxiCopy16x8QP_MPEG4_8u_C1R},
                         {16, 16, 2, opxiCopy16x16QP_MPEG4_8u_C1R}};

using ObmcApi = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, const OpxMotionVec*,
                              const OpxMotionVec*, const OpxMotionVec*, const OpxMotionVec*,
                              const OpxMotionVec*, Opx32s);

struct Obmc {
    const char* name;
    int n;
    bool qp;
    ObmcApi fn;
    opx::mpeg4::ObmcFn ref_fn;
};

std::vector<Obmc> obmc_forms() {
    return {{"8x8HP", 8, false, opxiOBMC8x8HP_MPEG4_8u_C1R, ref::kQpel.obmc_hp8},
            {"16x16HP", 16, false, opxiOBMC16x16HP_MPEG4_8u_C1R, ref::kQpel.obmc_hp16},
            {"8x8QP", 8, true, opxiOBMC8x8QP_MPEG4_8u_C1R, ref::kQpel.obmc_qp8}};
}

// Five vectors; bit k of `equal` makes neighbour k + 1 equal to the current vector.
void random_vectors(Rng& rng, OpxMotionVec* mv, int equal, int range) {
    for (int k = 0; k < 5; ++k) {
        if (k > 0 && (equal >> (k - 1)) & 1) {
            mv[k] = mv[0];
            continue;
        }
        mv[k].dx = static_cast<Opx16s>(rng.uniform(-range, range));
        mv[k].dy = static_cast<Opx16s>(rng.uniform(-range, range));
    }
}

// The exported copies (the AVX2 kernels, and the portable ones in the suite's second run) against
// the portable kernel on every shape, position and rounding (bits above the lowest ignored):
// source and destination flush against unreadable pages (position 0 reads the block, any other
// at most one more column and row), steps of both signs, random and checker samples. The OBMC
// forms likewise, on every subset of neighbour vectors equal to the current one. Results pinned
// (from the library whose earlier pins held).
TEST(Mpeg4QpelRules, ExportedAgainstThePortableKernelsAtGuardPagesPinned) {
    Rng rng(0x5150454Cull);
    Digest copies, obmc;
    GuardedBuffer gs(8192), ga(4096), gb(4096);
    for (const Shape& sh : kShapes)
        for (int acc = 0; acc < 16; ++acc)
            for (int iter = 0; iter < 8; ++iter) {
                const int rounding = iter & 3;
                const std::ptrdiff_t step = (iter & 2) ? -(sh.w + 1 + iter) : sh.w + 1 + iter;
                const bool front = iter & 4;
                const int aw = acc ? sh.w + 1 : sh.w, ah = acc ? sh.h + 1 : sh.h;
                Opx8u* s = gs.place(aw, ah, step, front);
                Opx8u* a = ga.place(sh.w, sh.h, -step, !front);
                Opx8u* b = gb.place(sh.w, sh.h, -step, !front);
                ASSERT_TRUE(s && a && b);
                for (int y = 0; y < ah; ++y)
                    for (int x = 0; x < aw; ++x)
                        s[y * step + x] = static_cast<Opx8u>(iter >= 6 ? (((x ^ y) & 1) ? 255 : 0)
                                                                       : rng.uniform(0, 255));
                ref::kQpel.copy[sh.index](s, step, a, -step, acc, rounding & 1);
                const Opx32s st = static_cast<Opx32s>(step);
                ASSERT_EQ(sh.fn(s, st, b, -st, acc | (iter >= 6 ? 0x30 : 0), rounding), opxOk);
                ASSERT_TRUE(regions_equal(a, -step, b, -step, sh.w, sh.h))
                    << sh.w << "x" << sh.h << " acc " << acc << " iter " << iter;
                copies.add(b, -step, sh.w, sh.h);
            }
    Plane<Opx8u> r(80, 80, 8);
    for (const Obmc& f : obmc_forms())
        for (int iter = 0; iter < 300; ++iter) {
            r.fill(iter % 3 == 0   ? Pattern::kChecker
                   : iter % 3 == 1 ? Pattern::kRandom
                                   : Pattern::kComplementary,
                   rng, 0, 255);
            OpxMotionVec mv[5];
            random_vectors(rng, mv, iter & 31, f.qp ? 60 : 30);
            const OpxMotionVec* const p[5] = {&mv[0], &mv[1], &mv[2], &mv[3], &mv[4]};
            const int rc = (iter >> 5) & 1;
            Plane<Opx8u> a(f.n, f.n), b(f.n, f.n, 8, iter & 31);
            f.ref_fn(&r.at(32, 32), r.step(), a.data(), a.step(), p, rc);
            ASSERT_EQ(f.fn(&r.at(32, 32), r.step32(), b.data(), b.step32(), p[0], p[1], p[2], p[3],
                           p[4], rc | (iter & 2)),
                      opxOk);
            ASSERT_TRUE(planes_equal(a, b)) << f.name << " iter " << iter;
            ASSERT_TRUE(b.canaries_intact());
            obmc.add(b.data(), b.step(), f.n, f.n);
        }
    EXPECT_EQ(copies.value(), 0xb4e3dc22b55305b1ull) << std::hex << copies.value();
    EXPECT_EQ(obmc.value(), 0x7eb0be3814295740ull) << std::hex << obmc.value();
}

}  // namespace

OPX_NULL_AUTO(opxiCopy8x8QP_MPEG4_8u_C1R, 32, 32, 5, 0)
OPX_NULL_AUTO(opxiCopy16x8QP_MPEG4_8u_C1R, 32, 32, 5, 0)
OPX_NULL_AUTO(opxiCopy16x16QP_MPEG4_8u_C1R, 32, 32, 5, 0)
// Vectors (1, -1), (0, 0), (3, 2), (-2, 1), (2, 3): small, so the call with every pointer valid
// stays inside the scratch area.
#define OPX_OBMC_NULL(fn)                                                                    \
    OPX_NULL_CASE(fn) {                                                                      \
        static const OpxMotionVec mv[5] = {{1, -1}, {0, 0}, {3, 2}, {-2, 1}, {2, 3}};        \
        return fn(nul(s.u8(0)), 64, nul(s.u8(1)), 16, nul(&mv[0]), nul(&mv[1]), nul(&mv[2]), \
                  nul(&mv[3]), nul(&mv[4]), 0);                                              \
    }
OPX_OBMC_NULL(opxiOBMC8x8HP_MPEG4_8u_C1R)
OPX_OBMC_NULL(opxiOBMC16x16HP_MPEG4_8u_C1R)
OPX_OBMC_NULL(opxiOBMC8x8QP_MPEG4_8u_C1R)
#undef OPX_OBMC_NULL

}  // namespace opx::test::mpeg4
