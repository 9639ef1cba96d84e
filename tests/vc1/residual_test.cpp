// VC-1 transforms, quantisers and Hadamard measure: every kernel of both tables against each other
// and pinned, the extent promise and its thresholds, the exhaustive division test of the forward
// quantisers, worked examples, result codes and nothing written on error.
#include "vc1/residual.hpp"

#include <array>

#include "harness/pinned.hpp"
#include "vc1_util.hpp"

namespace opx::test::vc1 {
namespace {

namespace lib = opx::vc1;

const lib::TransformKernels* const kTransformTables[] = {&lib::ref::kTransform,
                                                         &lib::avx2::kTransform};
const lib::QuantKernels* const kQuantTables[] = {&lib::ref::kQuant, &lib::avx2::kQuant};
const char* const kPathNames[] = {"portable", "avx2"};

struct ShapeCase {
    int shape, w, h;
};
const ShapeCase kShapes[] = {
    {lib::k8x8, 8, 8}, {lib::k8x4, 8, 4}, {lib::k4x8, 4, 8}, {lib::k4x4, 4, 4}};

// Extent (columns, rows) that kernel `index` of a w x h shape covers.
std::pair<int, int> kernel_extent(int index, int w, int h) {
    if (index == lib::kInvDc) return {1, 1};
    const int e[] = {2, 4, 8};
    return {std::min(w, e[(index - 1) % 3]), std::min(h, e[(index - 1) / 3])};
}

// Coefficients the way a decoder meets them: the forward transform of a residual, or random
// levels, or full-range values that drive both clamps.
Block coefficients(Rng& rng, int kind, int w, int h) {
    if (kind == 0) {  // the portable forward transform of a residual
        const Block x = random_block(rng, w * h, -255, 255);
        std::vector<Opx16s> buf(x.begin(), x.end());
        const int shape =
            w == 8 ? (h == 8 ? lib::k8x8 : lib::k8x4) : (h == 8 ? lib::k4x8 : lib::k4x4);
        lib::ref::kTransform.fwd[shape](buf.data(), 2 * w, buf.data(), 2 * w);
        return Block(buf.begin(), buf.end());
    }
    if (kind < 3)
        return random_block(rng, w * h, kind == 1 ? -2048 : -32768, kind == 1 ? 2047 : 32767);
    Block b(w * h);  // extremes: every value at -32768 or 32767
    for (int& v : b) v = rng.coin() ? -32768 : 32767;
    return b;
}

Block masked(Block b, int w, int ew, int eh) {
    for (size_t i = 0; i < b.size(); ++i)
        if (static_cast<int>(i) % w >= ew || static_cast<int>(i) / w >= eh) b[i] = 0;
    return b;
}

// ---- transforms: every kernel of both tables, pinned ------------------------------------------

// Every inverse kernel of every shape and the forward transforms: AVX2 against portable, out of
// place (steps of both signs) and in place, canaries around, blocks at guard pages; the portable
// results pinned (checked against matrix products of the SMPTE 421M bases when pinned).
TEST(Vc1Transform, EveryKernelAvx2MatchesPortableAndPinned) {
    Rng rng(0x56433154ull);
    Digest inv, fwd;
    for (const ShapeCase& sc : kShapes)
        for (int index = -1; index < lib::kNumInvKernels; ++index) {  // -1: forward
            const auto [ew, eh] =
                index < 0 ? std::pair{sc.w, sc.h} : kernel_extent(index, sc.w, sc.h);
            for (int trial = 0; trial < 48; ++trial) {
                SCOPED_TRACE(testing::Message()
                             << sc.w << "x" << sc.h << " kernel " << index << " trial " << trial);
                const Block d =
                    index < 0 ? (trial % 3 == 0   ? random_block(rng, sc.w * sc.h, -255, 255)
                                 : trial % 3 == 1 ? random_block(rng, sc.w * sc.h, -32768, 32767)
                                                  : coefficients(rng, 3, sc.w, sc.h))
                              : masked(coefficients(rng, trial % 4, sc.w, sc.h), sc.w, ew, eh);
                Block out[2];
                for (int t = 0; t < 2; ++t) {
                    const auto fn = [&](const Opx16s* s, std::int32_t ss, Opx16s* o,
                                        std::int32_t os) {
                        if (index < 0)
                            kTransformTables[t]->fwd[sc.shape](s, ss, o, os);
                        else
                            kTransformTables[t]->inv[sc.shape][index](s, ss, o, os);
                    };
                    const bool neg = trial & 4;
                    Area<Opx16s> src(sc.w, sc.h, neg, 2 * (trial % 5)), dst(sc.w, sc.h, !neg, 6);
                    src.put(d, sc.w);
                    fn(src.base(), src.step(), dst.base(), dst.step());
                    out[t] = dst.get(sc.w);
                    fn(src.base(), src.step(), src.base(), src.step());
                    ASSERT_EQ(src.get(sc.w), out[t]) << "in place";
                    ASSERT_TRUE(dst.canaries_intact() && src.canaries_intact());
                    if (trial < 2) {  // reads and writes confined to the block
                        GuardedBuffer g(4096);
                        auto* p =
                            reinterpret_cast<Opx16s*>(g.place(2 * sc.w, sc.h, 2 * sc.w, trial));
                        for (int i = 0; i < sc.w * sc.h; ++i) p[i] = static_cast<Opx16s>(d[i]);
                        fn(p, 2 * sc.w, p, 2 * sc.w);
                        ASSERT_EQ(Block(p, p + sc.w * sc.h), out[t]);
                    }
                }
                ASSERT_EQ(out[1], out[0]) << "AVX2 against portable";
                (index < 0 ? fwd : inv).add(out[0].data(), out[0].size() * sizeof(int));
            }
        }
    EXPECT_EQ(inv.value(), 0xe60d125e95594372ull);
    EXPECT_EQ(fwd.value(), 0x94bb4b3a4be1d6b8ull);
}

// The exported functions clamp the promise, then take the smallest kernel that covers it: every
// promised extent from -1 to block size + 1 in each direction, with the block zero outside it,
// gives the full transform; with the block non-zero outside it, exactly the promised part.
using InvIR = OpxResult (*)(Opx16s*, Opx32s, OpxRoiSize);
using InvR = OpxResult (*)(const Opx16s*, Opx32s, Opx16s*, Opx32s, OpxRoiSize);
struct InvExported {
    ShapeCase sc;
    InvIR in_place;
    InvR out;
};
const InvExported kInvExported[] = {
    {kShapes[0], opxiTransform8x8Inv_VC1_16s_C1IR, opxiTransform8x8Inv_VC1_16s_C1R},
    {kShapes[1], opxiTransform8x4Inv_VC1_16s_C1IR, opxiTransform8x4Inv_VC1_16s_C1R},
    {kShapes[2], opxiTransform4x8Inv_VC1_16s_C1IR, opxiTransform4x8Inv_VC1_16s_C1R},
    {kShapes[3], opxiTransform4x4Inv_VC1_16s_C1IR, opxiTransform4x4Inv_VC1_16s_C1R},
};

TEST(Vc1Transform, PromisedExtentClampedAndEachThresholdCrossed) {
    Rng rng;
    for (const InvExported& f : kInvExported) {
        const int w = f.sc.w, h = f.sc.h;
        for (int pw = -1; pw <= w + 1; ++pw)
            for (int ph = -1; ph <= h + 1; ++ph) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " promise " << pw << "x" << ph);
                const int cw = std::clamp(pw, 0, w), ch = std::clamp(ph, 0, h);
                // Kept promise: coefficients only inside.
                Block d = masked(coefficients(rng, 0, w, h), w, cw, ch);
                if (cw < 2 && ch < 2) d = masked(d, w, 1, 1);
                Area<Opx16s> a(w, h), b(w, h, true);
                a.put(d, w);
                b.put(d, w);
                ASSERT_EQ(f.in_place(a.base(), a.step(), {pw, ph}), opxOk);
                ASSERT_EQ(f.out(b.base(), b.step(), b.base(), b.step(), {pw, ph}), opxOk);
                Area<Opx16s> full_d(w, h);  // the whole block transformed
                full_d.put(d, w);
                ASSERT_EQ(f.in_place(full_d.base(), full_d.step(), {w, h}), opxOk);
                ASSERT_EQ(a.get(w), full_d.get(w));
                ASSERT_EQ(b.get(w), full_d.get(w));
                // Broken promise: the values outside the covered extent are not read.
                const Block full = coefficients(rng, 1, w, h);
                const int kw = (cw < 2 && ch < 2) ? 1 : std::min(w, cw <= 2 ? 2 : cw <= 4 ? 4 : 8);
                const int kh = (cw < 2 && ch < 2) ? 1 : std::min(h, ch <= 2 ? 2 : ch <= 4 ? 4 : 8);
                a.put(full, w);
                full_d.put(masked(full, w, kw, kh), w);
                ASSERT_EQ(f.in_place(a.base(), a.step(), {pw, ph}), opxOk);
                ASSERT_EQ(f.in_place(full_d.base(), full_d.step(), {w, h}), opxOk);
                ASSERT_EQ(a.get(w), full_d.get(w));
            }
    }
}

TEST(Vc1Transform, WorkedExamples) {
    // Forward of a flat block of 100s: DC only, and back to 100 exactly.
    const struct {
        InvIR inv;
        OpxResult (*fwd)(Opx16s*, Opx32s);
        int w, h, dc;
    } flat[] = {{opxiTransform8x8Inv_VC1_16s_C1IR, opxiTransform8x8Fwd_VC1_16s_C1IR, 8, 8, 711},
                {opxiTransform8x4Inv_VC1_16s_C1IR, opxiTransform8x4Fwd_VC1_16s_C1IR, 8, 4, 502},
                {opxiTransform4x8Inv_VC1_16s_C1IR, opxiTransform4x8Fwd_VC1_16s_C1IR, 4, 8, 502},
                {opxiTransform4x4Inv_VC1_16s_C1IR, opxiTransform4x4Fwd_VC1_16s_C1IR, 4, 4, 354}};
    for (const auto& f : flat) {
        Opx16s x[64];
        std::fill(x, x + 64, Opx16s{100});
        ASSERT_EQ(f.fwd(x, 2 * f.w), opxOk);
        EXPECT_EQ(x[0], f.dc);
        for (int i = 1; i < f.w * f.h; ++i) EXPECT_EQ(x[i], 0);
        ASSERT_EQ(f.inv(x, 2 * f.w, {f.w, f.h}), opxOk);
        for (int i = 0; i < f.w * f.h; ++i) EXPECT_EQ(x[i], 100);
    }
}

// ---- quantisers -----------------------------------------------------------------------------

// Every q in 2..62 and every 16-bit coefficient, both kinds, both tables, against truncating
// division (the AVX2 kernels divide by reciprocal multiplication); the non-uniform quantiser
// first moves the coefficient toward zero by q / 2.
int model_quant(int c, int q, bool nonuniform) {
    if (c == 0) return 0;
    const int t = nonuniform ? c - (c > 0 ? 1 : -1) * (q / 2) : c;
    return t / q;  // C++ division truncates toward zero
}

TEST(Vc1Quant, ForwardDivisionExactForEveryStepAndCoefficient) {
    std::vector<Opx16s> all(65536), work(65536);
    for (int i = 0; i < 65536; ++i) all[i] = static_cast<Opx16s>(i - 32768);
    for (int t = 0; t < 2; ++t)
        for (int kind = 0; kind < 2; ++kind)
            for (int q = 2; q <= 62; ++q) {
                work = all;
                const auto fn =
                    kQuantTables[t]->fwd[kind][lib::kQInter8x8][lib::kDivSteps[q - 2].cls];
                for (int blk = 0; blk < 1024; ++blk) fn(work.data() + 64 * blk, 16, q);
                for (int i = 0; i < 65536; ++i)
                    if (work[i] != model_quant(all[i], q, kind == 1))
                        FAIL() << kPathNames[t] << (kind ? " non-uniform" : " uniform") << " q "
                               << q << " c " << all[i] << ": " << work[i];
            }
}

// Every block kernel of both tables, forward and inverse, on random, sparse and all-zero blocks
// of every extent, AVX2 against portable, out of place and in place, canaries around; the
// portable results and inverse extents pinned (checked against the quantiser formulas when
// pinned: the intra DC passes; the inverse extent follows the nonzero values, at least one row
// for intra blocks).
TEST(Vc1Quant, BlocksBothTablesAgreeAndPinned) {
    Rng rng(0x56435155ull);
    Digest digest;
    const int shapes[][2] = {{8, 8}, {8, 8}, {8, 4}, {4, 8}, {4, 4}};  // by QuantBlock
    for (int kind = 0; kind < 2; ++kind)
        for (int blk = 0; blk < lib::kNumQuantBlocks; ++blk)
            for (int trial = 0; trial < 120; ++trial) {
                const int w = shapes[blk][0], h = shapes[blk][1];
                SCOPED_TRACE(testing::Message() << "block " << blk << " trial " << trial);
                Block out[2];
                if (trial < 40) {  // forward
                    const int q = rng.uniform_int(2, 62);
                    const Block c = random_block(rng, w * h, trial & 1 ? -32768 : -300,
                                                 trial & 1 ? 32767 : 300);
                    for (int t = 0; t < 2; ++t) {
                        Area<Opx16s> a(w, h, trial & 2, 2 * (trial % 3));
                        a.put(c, w);
                        kQuantTables[t]->fwd[kind][blk][lib::kDivSteps[q - 2].cls](a.base(),
                                                                                   a.step(), q);
                        out[t] = a.get(w);
                        ASSERT_TRUE(a.canaries_intact());
                    }
                    ASSERT_EQ(out[1], out[0]) << "forward, q " << q;
                    digest.add(out[0].data(), out[0].size() * sizeof(int));
                }
                // doubleQuant is not checked: any value, the products wrap modulo 2^16.
                const int q =
                    trial % 5 == 4 ? rng.uniform_int(-100000, 100000) : rng.uniform_int(2, 62);
                Block c = trial % 3 == 0 ? random_block(rng, w * h, -32768, 32767)
                                         : random_block(rng, w * h, -3, 3);
                // Sparse blocks, every extent, all-zero blocks, a lone first coefficient.
                const int ew = rng.uniform_int(0, w), eh = rng.uniform_int(0, h);
                if (trial % 3 != 0) c = masked(c, w, ew, eh);
                if (trial % 11 == 5) c = masked(c, w, 1, 1);
                OpxRoiSize nz[2];
                for (int t = 0; t < 2; ++t) {
                    Area<Opx16s> a(w, h, trial & 2, 2 * (trial % 3)), b(w, h, !(trial & 2));
                    a.put(c, w);
                    nz[t] = {-7, -7};
                    kQuantTables[t]->inv[kind][blk](a.base(), a.step(), b.base(), b.step(), q,
                                                    &nz[t]);
                    out[t] = b.get(w);
                    OpxRoiSize in_place{-7, -7};
                    kQuantTables[t]->inv[kind][blk](a.base(), a.step(), a.base(), a.step(), q,
                                                    &in_place);
                    ASSERT_EQ(a.get(w), out[t]) << "in place";
                    ASSERT_TRUE(in_place.width == nz[t].width && in_place.height == nz[t].height);
                    ASSERT_TRUE(a.canaries_intact() && b.canaries_intact());
                }
                ASSERT_EQ(out[1], out[0]) << "inverse, q " << q;
                ASSERT_TRUE(nz[1].width == nz[0].width && nz[1].height == nz[0].height);
                digest.add(out[0].data(), out[0].size() * sizeof(int));
                digest.add(nz[0].width), digest.add(nz[0].height);
            }
    EXPECT_EQ(digest.value(), 0xbd0e335b9db1562full) << std::hex << digest.value();
}

TEST(Vc1Quant, WorkedExamplesAndZeroBlockExtents) {
    Opx16s b[64] = {38, 38, -38};
    ASSERT_EQ(opxiQuantIntraUniform_VC1_16s_C1IR(b, 16, 19), opxOk);
    EXPECT_EQ(b[0], 38);
    EXPECT_EQ(b[1], 2);
    EXPECT_EQ(b[2], -2);
    Opx16s c[16] = {14, 25};
    ASSERT_EQ(opxiQuantInterNonuniform_VC1_16s_C1IR(c, 8, 10, {4, 4}), opxOk);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 2);
    Opx16s d[16] = {-3};
    OpxRoiSize nz{9, 9};
    ASSERT_EQ(opxiQuantInvInterNonuniform_VC1_16s_C1IR(d, 8, 5, {4, 4}, &nz), opxOk);
    EXPECT_EQ(d[0], -17);
    EXPECT_EQ(nz.width, 1);
    EXPECT_EQ(nz.height, 1);
    Opx16s z[64] = {};
    ASSERT_EQ(opxiQuantInvIntraUniform_VC1_16s_C1IR(z, 16, 7, &nz), opxOk);
    EXPECT_EQ(nz.width, 0);
    EXPECT_EQ(nz.height, 1);
    ASSERT_EQ(opxiQuantInvInterUniform_VC1_16s_C1IR(z, 16, 7, {8, 8}, &nz), opxOk);
    EXPECT_EQ(nz.width, 0);
    EXPECT_EQ(nz.height, 0);
}

// ---- Hadamard --------------------------------------------------------------------------------

TEST(Vc1Hadamard, BothTablesAgreeAndPinned) {
    Rng rng(0x48414441ull);
    Digest h8, h16;
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        Block x = random_block(rng, 64, 0, 255);  // 8-bit samples: exact
        if (trial % 4 == 1) std::fill(x.begin(), x.end(), 255);
        // 16-bit samples: small (exact), full range and extremes (saturating butterflies).
        const Block y = trial % 3 == 0   ? random_block(rng, 64, -512, 511)
                        : trial % 3 == 1 ? random_block(rng, 64, -32768, 32767)
                                         : coefficients(rng, 3, 8, 8);
        std::array<Opx16s, 66> out[2][2];
        Opx32s sum[2][2];
        for (int t = 0; t < 2; ++t) {
            Area<Opx8u> a8(8, 8, trial & 1, trial % 5);
            Area<Opx16s> a16(8, 8, trial & 2, 2 * (trial % 3));
            a8.put(x, 8);
            a16.put(y, 8);
            out[t][0].fill(0x5A5A), out[t][1].fill(0x5A5A);
            kQuantTables[t]->hadamard8u(a8.base(), a8.step(), out[t][0].data(), &sum[t][0]);
            kQuantTables[t]->hadamard16s(a16.base(), a16.step(), out[t][1].data(), &sum[t][1]);
            ASSERT_TRUE(out[t][0][64] == 0x5A5A && out[t][1][64] == 0x5A5A);
        }
        ASSERT_EQ(out[1][0], out[0][0]);
        ASSERT_EQ(out[1][1], out[0][1]);
        ASSERT_EQ(sum[1][0], sum[0][0]);
        ASSERT_EQ(sum[1][1], sum[0][1]);
        h8.add(out[0][0].data(), 128), h8.add(sum[0][0]);
        h16.add(out[0][1].data(), 128), h16.add(sum[0][1]);
    }
    EXPECT_EQ(h8.value(), 0x5a5fec093058a564ull);
    EXPECT_EQ(h16.value(), 0xc3768cad0e548ed5ull);
}

TEST(Vc1Hadamard, BlockOfOnes) {
    Opx8u ones[64];
    std::fill(ones, ones + 64, Opx8u{1});
    Opx16s out[64];
    Opx32s sum = 0;
    ASSERT_EQ(opxiHadamard8x8Sum_VC1_8u16s(ones, 8, out, &sum), opxOk);
    EXPECT_EQ(out[0], 64);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(out[i], 0);
    EXPECT_EQ(sum, 64);
}

// ---- null pointers -------------------------------------------------------------------------

#define OPX_INV_NULL(N)                                                                    \
    OPX_NULL_CALL(opxiTransform##N##Inv_VC1_16s_C1IR, nul(s.s16(0)), 16, OpxRoiSize{8, 8}) \
    OPX_NULL_CALL(opxiTransform##N##Inv_VC1_16s_C1R, nul(s.s16(0)), 16, nul(s.s16(1)), 16, \
                  OpxRoiSize{8, 8})                                                        \
    OPX_NULL_CALL(opxiTransform##N##Fwd_VC1_16s_C1IR, nul(s.s16(0)), 16)                   \
    OPX_NULL_CALL(opxiTransform##N##Fwd_VC1_16s_C1R, nul(s.s16(0)), 16, nul(s.s16(1)), 16)
OPX_INV_NULL(8x8)
OPX_INV_NULL(8x4)
OPX_INV_NULL(4x8)
OPX_INV_NULL(4x4)
#undef OPX_INV_NULL
OPX_NULL_AUTO(opxiQuantIntraUniform_VC1_16s_C1IR, 16, 10)
OPX_NULL_AUTO(opxiQuantIntraNonuniform_VC1_16s_C1IR, 16, 10)
OPX_NULL_AUTO(opxiQuantInterUniform_VC1_16s_C1IR, 16, 10, OpxRoiSize{8, 4})
OPX_NULL_AUTO(opxiQuantInterNonuniform_VC1_16s_C1IR, 16, 10, OpxRoiSize{4, 8})
OPX_NULL_AUTO(opxiQuantInvIntraUniform_VC1_16s_C1IR, 16, 10)
OPX_NULL_AUTO(opxiQuantInvIntraNonuniform_VC1_16s_C1IR, 16, 10)
OPX_NULL_AUTO(opxiQuantInvIntraUniform_VC1_16s_C1R, 16, 16, 10)
OPX_NULL_AUTO(opxiQuantInvIntraNonuniform_VC1_16s_C1R, 16, 16, 10)
OPX_NULL_AUTO(opxiQuantInvInterUniform_VC1_16s_C1IR, 16, 10, OpxRoiSize{8, 8})
OPX_NULL_AUTO(opxiQuantInvInterNonuniform_VC1_16s_C1IR, 16, 10, OpxRoiSize{8, 8})
OPX_NULL_AUTO(opxiQuantInvInterUniform_VC1_16s_C1R, 16, 16, 10, OpxRoiSize{4, 4})
OPX_NULL_AUTO(opxiQuantInvInterNonuniform_VC1_16s_C1R, 16, 16, 10, OpxRoiSize{4, 4})
OPX_NULL_AUTO(opxiHadamard8x8Sum_VC1_8u16s, 8)
OPX_NULL_AUTO(opxiHadamard8x8Sum_VC1_16s, 16)

}  // namespace
}  // namespace opx::test::vc1
