// MPEG-4 quarter-sample copies and OBMC: a model that mirrors the block's reference area in two
// dimensions first and then filters, the exported functions under both tables against it for every
// position and rounding, AVX2 against portable kernels at guard pages, OBMC with every subset of
// neighbour vectors equal to the current one, and the vector pointers' result codes.
#include "mpeg4/qpel.hpp"

#include <cstdlib>
#include <vector>

#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

namespace ref = opx::mpeg4::ref;
namespace avx2 = opx::mpeg4::avx2;

int clip(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// ---- models
// --------------------------------------------------------------------------------------

// Quarter-sample model: the (w + 1) x (h + 1) reference area extended by three mirrored samples on
// every side (mirroring rows commutes with the horizontal pass), then a plain separable filter.
std::vector<int> model_qp(const Opx8u* src, std::ptrdiff_t step, int w, int h, int acc, int rc) {
    acc &= 15;
    rc &= 1;
    const int dx = acc & 3, dy = acc >> 2;
    const int ew = w + 7, eh = h + 7;
    auto m = [](int i, int n) { return i < 0 ? -i - 1 : i > n ? 2 * n - i + 1 : i; };
    std::vector<int> e(static_cast<std::size_t>(ew * eh));
    for (int j = 0; j < eh; ++j)
        for (int i = 0; i < ew; ++i) {
            const int si = m(i - 3, w), sj = m(j - 3, h);
            // only what the position needs is read (acc 0: the block itself)
            const bool needed = (dx || si < w) && (dy || sj < h);
            e[static_cast<std::size_t>(j * ew + i)] = needed ? src[sj * step + si] : 0;
        }
    const int c[8] = {-1, 3, -6, 20, 20, -6, 3, -1};
    auto at = [&](int i, int j) { return e[static_cast<std::size_t>((j + 3) * ew + i + 3)]; };
    // horizontal: rows −3 .. h + 3 of the extended area
    std::vector<int> t(static_cast<std::size_t>(w * eh));
    for (int j = -3; j < h + 4; ++j)
        for (int i = 0; i < w; ++i) {
            int s = 0;
            for (int k = 0; k < 8; ++k) s += c[k] * at(i - 3 + k, j);
            const int half = clip((s + 16 - rc) >> 5);
            const int v = dx == 0   ? at(i, j)
                          : dx == 2 ? half
                                    : (half + at(dx == 1 ? i : i + 1, j) + 1 - rc) >> 1;
            t[static_cast<std::size_t>((j + 3) * w + i)] = v;
        }
    auto tt = [&](int i, int j) { return t[static_cast<std::size_t>((j + 3) * w + i)]; };
    std::vector<int> out(static_cast<std::size_t>(w * h));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int s = 0;
            for (int k = 0; k < 8; ++k) s += c[k] * tt(i, j - 3 + k);
            const int half = clip((s + 16 - rc) >> 5);
            out[static_cast<std::size_t>(j * w + i)] =
                dy == 0   ? tt(i, j)
                : dy == 2 ? half
                          : (half + tt(i, dy == 1 ? j : j + 1) + 1 - rc) >> 1;
        }
    return out;
}

// Half-sample model (rounded, four-sample form one rounding of the sum).
int model_hp(const Opx8u* p, std::ptrdiff_t step, int x, int y, int hx, int hy, int rc) {
    const int a = p[y * step + x];
    if (!hx && !hy) return a;
    if (hx && hy)
        return (a + p[y * step + x + 1] + p[(y + 1) * step + x] + p[(y + 1) * step + x + 1] + 2 -
                rc) /
               4;
    return (a + (hx ? p[y * step + x + 1] : p[(y + 1) * step + x]) + 1 - rc) / 2;
}

// H.263 Annex F weights (current, above/below, left/right).
const int kH0[8][8] = {{4, 5, 5, 5, 5, 5, 5, 4}, {5, 5, 5, 5, 5, 5, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5},
                       {5, 5, 6, 6, 6, 6, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5},
                       {5, 5, 5, 5, 5, 5, 5, 5}, {4, 5, 5, 5, 5, 5, 5, 4}};
const int kH1[8][8] = {{2, 2, 2, 2, 2, 2, 2, 2}, {1, 1, 2, 2, 2, 2, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1},
                       {1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1},
                       {1, 1, 2, 2, 2, 2, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2}};
const int kH2[8][8] = {{2, 1, 1, 1, 1, 1, 1, 2}, {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2},
                       {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2},
                       {2, 2, 1, 1, 1, 1, 2, 2}, {2, 1, 1, 1, 1, 1, 1, 2}};

// Prediction of sample (x, y) of an n x n block for vector v: HP per sample, QP from the model of
// the whole 8x8 block.
int model_pred(const Opx8u* src, std::ptrdiff_t step, int n, bool qp, const OpxMotionVec& v, int x,
               int y, int rc) {
    if (qp) {
        const Opx8u* p = src + (v.dy >> 2) * step + (v.dx >> 2);
        return model_qp(p, step, 8, 8, (v.dx & 3) | ((v.dy & 3) << 2),
                        rc)[static_cast<std::size_t>(y * 8 + x)];
    }
    const Opx8u* p = src + (v.dy >> 1) * step + (v.dx >> 1);
    return model_hp(p, step, x, y, v.dx & 1, v.dy & 1, rc);
}

int model_obmc(const Opx8u* src, std::ptrdiff_t step, int n, bool qp, const OpxMotionVec* mv, int x,
               int y, int rc) {
    const int g = n / 8, wx = x / g, wy = y / g;
    const int q = model_pred(src, step, n, qp, mv[0], x, y, rc);
    const int s = model_pred(src, step, n, qp, mv[x < n / 2 ? 1 : 2], x, y, rc);
    const int t = model_pred(src, step, n, qp, mv[y < n / 2 ? 3 : 4], x, y, rc);
    return clip((kH0[wy][wx] * q + kH2[wy][wx] * s + kH1[wy][wx] * t + 4) >> 3);
}

using CopyFn = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, Opx32s, Opx32s);
struct Shape {
    int w, h, index;
    CopyFn fn;
};
const Shape kShapes[] = {{8, 8, 0, opxiCopy8x8QP_MPEG4_8u_C1R},
                         {16, 8, 1, opxiCopy16x8QP_MPEG4_8u_C1R},
                         {16, 16, 2, opxiCopy16x16QP_MPEG4_8u_C1R}};

// ---- rules
// ---------------------------------------------------------------------------------------

TEST(Mpeg4QpelRules, EveryPositionAndRoundingFollowsTheModel) {
    Rng rng;
    for (int isa = 0; isa < (have_avx2() ? 2 : 1); ++isa) {
        IsaScope scope(isa ? opx::cpu::kIsaAvx2 : opx::cpu::kIsaPortable);
        for (const Shape& sh : kShapes)
            for (int acc = 0; acc < 16; ++acc)
                for (int rounding = 0; rounding < 4; ++rounding)
                    for (int kind = 0; kind < 3; ++kind) {
                        Plane<Opx8u> s(sh.w + 1, sh.h + 1, 8, acc), d(sh.w, sh.h, 8, rounding);
                        s.fill(kind == 0   ? Pattern::kRandom
                               : kind == 1 ? Pattern::kChecker
                                           : Pattern::kMax,
                               rng, 0, kind == 2 ? 255 : 255);
                        const Opx32s a = acc | (kind == 1 ? 0x30 : 0);  // bits above 3 ignored
                        ASSERT_EQ(sh.fn(s.data(), static_cast<Opx32s>(s.step()), d.data(),
                                        static_cast<Opx32s>(d.step()), a, rounding),
                                  opxOk);
                        const std::vector<int> want =
                            model_qp(s.data(), s.step(), sh.w, sh.h, acc, rounding);
                        for (int y = 0; y < sh.h; ++y)
                            for (int x = 0; x < sh.w; ++x)
                                ASSERT_EQ(d.at(x, y), want[static_cast<std::size_t>(y * sh.w + x)])
                                    << sh.w << "x" << sh.h << " acc " << acc << " rounding "
                                    << rounding << " at " << x << "," << y << " isa " << isa;
                        ASSERT_TRUE(d.canaries_intact());
                    }
    }
}

TEST(Mpeg4QpelRules, FlatAreaStaysFlatAndSamplesBeyondTheAreaAreNotUsed) {
    for (const Shape& sh : kShapes)
        for (int acc = 0; acc < 16; ++acc) {
            Plane<Opx8u> s(sh.w + 1, sh.h + 1, 8), d(sh.w, sh.h);
            Rng rng;
            s.fill_with_margins(Pattern::kRandom, rng);  // around the area: noise
            for (int y = 0; y <= sh.h; ++y)
                for (int x = 0; x <= sh.w; ++x) s.at(x, y) = 201;
            ASSERT_EQ(sh.fn(s.data(), static_cast<Opx32s>(s.step()), d.data(),
                            static_cast<Opx32s>(d.step()), acc, acc & 1),
                      opxOk);
            for (int y = 0; y < sh.h; ++y)
                for (int x = 0; x < sh.w; ++x) ASSERT_EQ(d.at(x, y), 201) << acc;
        }
}

// Footprint: acc 0 reads the block, any other position at most one more column and row.
TEST(Mpeg4QpelDifferential, KernelsAgreeAtGuardPages) {
    if (!have_avx2()) GTEST_SKIP();
    Rng rng;
    GuardedBuffer gs(8192), ga(4096), gb(4096);
    for (const Shape& sh : kShapes)
        for (int acc = 0; acc < 16; ++acc)
            for (int iter = 0; iter < 8; ++iter) {
                const int rc = iter & 1;
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
                ref::kQpel.copy[sh.index](s, step, a, -step, acc, rc);
                avx2::kQpel.copy[sh.index](s, step, b, -step, acc, rc);
                ASSERT_TRUE(regions_equal(a, -step, b, -step, sh.w, sh.h))
                    << sh.w << "x" << sh.h << " acc " << acc;
            }
}

// ---- OBMC
// ------------------------------------------------------------------------------------------

using ObmcApi = OpxResult (*)(const Opx8u*, Opx32s, Opx8u*, Opx32s, const OpxMotionVec*,
                              const OpxMotionVec*, const OpxMotionVec*, const OpxMotionVec*,
                              const OpxMotionVec*, Opx32s);

struct Obmc {
    const char* name;
    int n;
    bool qp;
    ObmcApi fn;
    opx::mpeg4::ObmcFn ref_fn, avx2_fn;
};

std::vector<Obmc> obmc_forms() {
    return {
        {"8x8HP", 8, false, opxiOBMC8x8HP_MPEG4_8u_C1R, ref::kQpel.obmc_hp8, avx2::kQpel.obmc_hp8},
        {"16x16HP", 16, false, opxiOBMC16x16HP_MPEG4_8u_C1R, ref::kQpel.obmc_hp16,
         avx2::kQpel.obmc_hp16},
        {"8x8QP", 8, true, opxiOBMC8x8QP_MPEG4_8u_C1R, ref::kQpel.obmc_qp8, avx2::kQpel.obmc_qp8}};
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

TEST(Mpeg4ObmcRules, EverySubsetOfEqualVectorsFollowsTheModel) {
    Rng rng;
    Plane<Opx8u> ref_plane(64, 64, 8);
    for (int isa = 0; isa < (have_avx2() ? 2 : 1); ++isa) {
        IsaScope scope(isa ? opx::cpu::kIsaAvx2 : opx::cpu::kIsaPortable);
        for (const Obmc& f : obmc_forms())
            for (int equal = 0; equal < 32; ++equal)
                for (int rc = 0; rc < 2; ++rc) {
                    ref_plane.fill(equal & 1 ? Pattern::kRandom : Pattern::kChecker, rng, 0, 255);
                    OpxMotionVec mv[5];
                    random_vectors(rng, mv, equal, f.qp ? 40 : 20);
                    Plane<Opx8u> d(f.n, f.n, 8, equal);
                    const Opx8u* src = &ref_plane.at(24, 24);
                    const Opx32s st = static_cast<Opx32s>(ref_plane.step());
                    ASSERT_EQ(f.fn(src, st, d.data(), static_cast<Opx32s>(d.step()), &mv[0], &mv[1],
                                   &mv[2], &mv[3], &mv[4], rc | 2),
                              opxOk);
                    for (int y = 0; y < f.n; ++y)
                        for (int x = 0; x < f.n; ++x)
                            ASSERT_EQ(d.at(x, y), model_obmc(src, st, f.n, f.qp, mv, x, y, rc))
                                << f.name << " subset " << equal << " at " << x << "," << y
                                << " isa " << isa;
                    ASSERT_TRUE(d.canaries_intact());
                }
    }
}

TEST(Mpeg4ObmcRules, AllVectorsEqualGiveThePlainPrediction) {
    Rng rng;
    Plane<Opx8u> r(40, 40, 8);
    r.fill(Pattern::kRandom, rng);
    for (int rc = 0; rc < 2; ++rc)
        for (int pos = 0; pos < 16; ++pos) {
            OpxMotionVec v{static_cast<Opx16s>(pos & 3), static_cast<Opx16s>(pos >> 2)};
            const OpxMotionVec mv[5] = {v, v, v, v, v};
            Plane<Opx8u> a(8, 8), b(8, 8);
            const Opx32s st = static_cast<Opx32s>(r.step());
            ASSERT_EQ(
                opxiOBMC8x8QP_MPEG4_8u_C1R(&r.at(8, 8), st, a.data(), static_cast<Opx32s>(a.step()),
                                           &mv[0], &mv[1], &mv[2], &mv[3], &mv[4], rc),
                opxOk);
            ASSERT_EQ(opxiCopy8x8QP_MPEG4_8u_C1R(&r.at(8, 8), st, b.data(),
                                                 static_cast<Opx32s>(b.step()), pos, rc),
                      opxOk);
            EXPECT_TRUE(planes_equal(b, a)) << pos;
        }
}

TEST(Mpeg4ObmcDifferential, KernelsAgreeOnRandomAndExtremeReferences) {
    if (!have_avx2()) GTEST_SKIP();
    Rng rng;
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
            Plane<Opx8u> a(f.n, f.n), b(f.n, f.n);
            const std::ptrdiff_t st = r.step();
            f.ref_fn(&r.at(32, 32), st, a.data(), a.step(), p, iter & 1);
            f.avx2_fn(&r.at(32, 32), st, b.data(), b.step(), p, iter & 1);
            ASSERT_TRUE(planes_equal(a, b)) << f.name << " iter " << iter;
            ASSERT_TRUE(b.canaries_intact());
        }
}

}  // namespace

OPX_NULL_CALL(opxiCopy8x8QP_MPEG4_8u_C1R, nul(s.u8(0)), 32, nul(s.u8(1)), 32, 5, 0)
OPX_NULL_CALL(opxiCopy16x8QP_MPEG4_8u_C1R, nul(s.u8(0)), 32, nul(s.u8(1)), 32, 5, 0)
OPX_NULL_CALL(opxiCopy16x16QP_MPEG4_8u_C1R, nul(s.u8(0)), 32, nul(s.u8(1)), 32, 5, 0)
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
