// VC-1 interpolation and range mapping through the exported functions (the AVX2 kernels, and the
// portable ones in the suite's second run), pinned; every
// size, every (dx, dy), both roundings; block forms at every edge and corner and wholly outside the
// picture, frame and field, both padding modes, both fields, with and without tables; result codes,
// nothing written on error.
#include "vc1/interp.hpp"

#include <cstring>

#include "harness/pinned.hpp"
#include "vc1_util.hpp"

namespace opx::test::vc1 {
namespace {

enum Kind { kCubic, kLinear, kLinearC2 };
struct SizeCase {
    Kind kind;
    int w, h;  // C2: w in pairs
};
const SizeCase kSizes[] = {{kCubic, 8, 8},    {kCubic, 16, 8},  {kCubic, 16, 16}, {kLinear, 16, 16},
                           {kLinear, 8, 8},   {kLinear, 8, 4},  {kLinear, 4, 4},  {kLinearC2, 8, 8},
                           {kLinearC2, 8, 4}, {kLinearC2, 4, 4}};

OpxResult call_qp(Kind k, const OpxVC1Interpolate8u* p) {
    return k == kCubic    ? opxiInterpolateQPBicubic_VC1_8u_C1R(p)
           : k == kLinear ? opxiInterpolateQPBilinear_VC1_8u_C1R(p)
                          : opxiInterpolateQPBilinear_VC1_8u_C2R(p);
}
OpxResult call_block(Kind k, const OpxVC1InterpolateBlockIC8u* p) {
    return k == kCubic    ? opxiInterpolateICBicubicBlock_VC1_8u_C1R(p)
           : k == kLinear ? opxiInterpolateICBilinearBlock_VC1_8u_C1R(p)
                          : opxiInterpolateICBilinearBlock_VC1_8u_C2R(p);
}

// ---- QP functions ----------------------------------------------------------------------------

// Every size, fraction and rounding (bits above them ignored) through the exported functions
// against the portable kernels. The support of each (dx, dy) is placed against an unreadable page
// at either end, so that each reads exactly its documented support. Samples: random, and 0 or 255
// repeating every four columns and rows in every phase, so that each output's window meets every
// sign pattern of the taps (largest and smallest first-pass sums, the second pass's largest
// intermediates). Results pinned (from the library whose earlier pin, checked against the filter
// formulas of SMPTE 421M 8.3.6, held).
TEST(Vc1Interp, QPAgainstThePortableKernelsAtGuardPagesPinned) {
    namespace v = opx::vc1;
    Rng rng(0x51504950ull);
    Digest digest;
    for (const SizeCase& sc : kSizes)
        for (int pos = 0; pos < 32; ++pos)
            for (bool front : {false, true}) {
                const int dx = pos & 3, dy = (pos >> 2) & 3, rnd = pos >> 4;
                const int n = sc.kind == kLinearC2 ? 2 : 1, bytes = sc.w * n;
                int left = 0, cols = bytes, top = 0, rows = sc.h;
                if (sc.kind == kCubic) {
                    if (dx) left = 1, cols = bytes + 3;
                    if (dy) top = 1, rows = sc.h + 3;
                } else {
                    cols += dx ? n : 0;
                    rows += dy ? 1 : 0;
                }
                GuardedBuffer g(4096);
                unsigned char* p = g.place(cols, rows, cols, front);
                ASSERT_NE(p, nullptr);
                const Opx8u* origin = p + top * cols + left;
                const int idx = sc.kind == kCubic ? v::size_index(v::kBicubicSizes, {sc.w, sc.h})
                                : sc.kind == kLinear
                                    ? v::size_index(v::kBilinearSizes, {sc.w, sc.h})
                                    : v::size_index(v::kBilinearC2Sizes, {sc.w, sc.h});
                const auto kernel = sc.kind == kCubic    ? v::ref::kInterp.bicubic[idx]
                                    : sc.kind == kLinear ? v::ref::kInterp.bilinear[idx]
                                                         : v::ref::kInterp.bilinear_c2[idx];
                // Pattern 256: random. Otherwise bit k of the low (high) nibble: column (row) k
                // modulo 4 is 255; both set or both clear: 0.
                for (int pattern = 0; pattern <= 256; ++pattern) {
                    for (int y = 0; y < rows; ++y)
                        for (int x = 0; x < cols; ++x)
                            p[y * cols + x] = static_cast<Opx8u>(
                                pattern == 256 ? rng.uniform(0, 255)
                                : ((pattern >> (x & 3)) ^ (pattern >> (4 + (y & 3)))) & 1 ? 255
                                                                                          : 0);
                    Opx8u out[2][16 * 16] = {};
                    kernel(origin, cols, out[0], 16, dx, dy, rnd);
                    const OpxVC1Interpolate8u q{origin, cols,         out[1],
                                                16,     dx + 4 * (pos & 8), dy,
                                                {sc.w, sc.h},         rnd + 2 * (pos & 4)};
                    ASSERT_EQ(call_qp(sc.kind, &q), opxOk);
                    ASSERT_EQ(std::memcmp(out[0], out[1], sizeof out[0]), 0)
                        << sc.w << "x" << sc.h << " kind " << sc.kind << " dx " << dx << " dy "
                        << dy << " rnd " << rnd << " pattern " << pattern;
                    digest.add(out[1], sizeof out[1]);
                }
            }
    EXPECT_EQ(digest.value(), 0x759cab92ed4b1205ull) << std::hex << digest.value();
}

// ---- block forms -------------------------------------------------------------------------------

// Pinned results (checked against a model of the compensated, padded reference
// when pinned): blocks at every edge and corner and wholly outside the picture, frame and field,
// both padding modes, both fields, with and without tables.
TEST(Vc1Interp, BlockFormsEveryEdgeCornerModeAndTablePinned) {
    Rng rng(0x424C4B46ull);
    Digest digest;
    Opx8u lut_a[256], lut_b[256];
    for (int i = 0; i < 256; ++i) {
        lut_a[i] = static_cast<Opx8u>(255 - i);
        lut_b[i] = static_cast<Opx8u>(std::min(255, i / 2 + 60));
    }
    for (const SizeCase& sc : kSizes) {
        const bool c2 = sc.kind == kLinearC2;
        const int W = 23, H = 19;  // picture (C2: W pairs)
        const int bytes = c2 ? 2 * W : W;
        Area<Opx8u> pic(bytes, H, false, 3);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < bytes; ++x) pic.at(x, y) = static_cast<Opx8u>(rng.uniform(0, 255));
        const int bw = c2 ? 2 * sc.w : sc.w;
        const std::vector<std::int64_t> xs = {
            -100000,        -40,           -bw - 3,    -bw,       -2,        -1, 0, 1, 2,
            bytes - bw - 2, bytes - bw - 1, bytes - bw, bytes - 2, bytes - 1, bytes + 5, 2000000000};
        const std::vector<std::int64_t> ys = {
            -2000000000, -30,          -sc.h - 2,    -2,       -1,    0,     1,     2,
            5,           H / 2 - sc.h, H - sc.h - 2, H - sc.h, H - 2, H - 1, H + 4, 100000};
        for (int trial = 0; trial < 160; ++trial) {
            const std::int64_t bx = xs[trial % xs.size()];
            const std::int64_t by = ys[(trial / 3 + trial) % ys.size()];
            const bool field = (trial >> 1) & 1, bottom = (trial >> 2) & 1;
            const int padding = trial % 3;     // 2 means 0
            const int luts = (trial / 5) % 4;  // none, top only, both, bottom only
            const Opx8u* lt = (luts == 1 || luts == 2) ? lut_a : nullptr;
            const Opx8u* lb = (luts == 2 || luts == 3) ? lut_b : nullptr;
            const int dx = rng.uniform_int(0, 3), dy = rng.uniform_int(0, 3);
            const int rnd = trial & 1;
            Area<Opx8u> dst(bw, sc.h, trial & 8, 1);
            OpxVC1InterpolateBlockIC8u p{};
            p.pSrc = field && bottom ? &pic.at(0, 1) : &pic.at(0, 0);
            p.srcStep = pic.step();
            p.pDst = dst.base();
            p.dstStep = dst.step();
            p.pLutTop = lt;
            p.pLutBottom = lb;
            p.frameSize = {W, H};
            p.blockSize = {sc.w, sc.h};
            p.blockPos = {static_cast<Opx32s>(bx + (c2 ? (trial & 1) : 0)),
                          static_cast<Opx32s>(by)};
            p.dx = dx;
            p.dy = dy;
            p.paddingMode = static_cast<Opx32u>(padding);
            p.fieldPrediction = field ? 7u : 0u;
            p.roundControl = static_cast<Opx32u>(rnd);
            p.bottomField = bottom ? 1u : 0u;
            ASSERT_EQ(call_block(sc.kind, &p), opxOk);
            for (int y = 0; y < sc.h; ++y) digest.add(&dst.at(0, y), bw);
            ASSERT_TRUE(dst.canaries_intact());
        }
    }
    EXPECT_EQ(digest.value(), 0xd243145b6f02ae54ull);
}

// ---- range mapping --------------------------------------------------------------------------

TEST(Vc1RangeMap, BothPathsMatchTheFormula) {
    Rng rng;
    for (int w : {1, 7, 8, 15, 16, 17, 33, 64})
        for (int r = 0; r < 8; ++r) {
            const int h = 1 + (w + r) % 5;
            Area<Opx8u> src(w, h, r & 1, r), dst(w, h, !(r & 1), 2 * r + 1);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) src.at(x, y) = static_cast<Opx8u>(rng.uniform(0, 255));
            ASSERT_EQ(opxiRangeMapping_VC1_8u_C1R(src.base(), src.step(), dst.base(), dst.step(),
                                                  {w, h}, static_cast<Opx32u>(r)),
                      opxOk);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int v = src.at(x, y);
                    ASSERT_EQ(dst.at(x, y),
                              std::clamp((((v - 128) * (r + 9) + 4) >> 3) + 128, 0, 255));
                }
            ASSERT_TRUE(dst.canaries_intact());
        }
    const Opx8u in[4] = {100, 128, 0, 255};
    Opx8u out[4] = {9, 9, 9, 9};  // empty regions: no error, nothing written
    EXPECT_EQ(opxiRangeMapping_VC1_8u_C1R(in, 4, out, 4, {0, 1}, 3), opxOk);
    EXPECT_EQ(opxiRangeMapping_VC1_8u_C1R(in, 4, out, 4, {4, -1}, 3), opxOk);
    for (Opx8u v : out) EXPECT_EQ(v, 9);
}

// ---- null pointers -------------------------------------------------------------------------

// The record and the two sample pointers it holds.
OpxResult qp_null(OpxResult (*f)(const OpxVC1Interpolate8u*), NullProbe& nul, Scratch& s) {
    OpxVC1Interpolate8u p{nullptr, 64, nullptr, 64, 1, 1, {8, 8}, 0};
    OpxVC1Interpolate8u* rec = nul(&p);
    p.pSrc = nul(s.u8(0) + 130);
    p.pDst = nul(s.u8(1));
    return f(rec);
}
OpxResult block_null(OpxResult (*f)(const OpxVC1InterpolateBlockIC8u*), NullProbe& nul,
                     Scratch& s) {
    OpxVC1InterpolateBlockIC8u p{nullptr, 64, nullptr, 64, nullptr, nullptr, {32, 32}, {8, 8},
                                 {4, 4},  1,  1,       0,  0,       0,       0};
    OpxVC1InterpolateBlockIC8u* rec = nul(&p);
    p.pSrc = nul(s.u8(0));
    p.pDst = nul(s.u8(1));
    return f(rec);
}
#define OPX_VC1_INTERP_NULL(fn, helper) \
    OPX_NULL_CASE(fn) {                 \
        return helper(fn, nul, s);      \
    }
OPX_VC1_INTERP_NULL(opxiInterpolateQPBicubic_VC1_8u_C1R, qp_null)
OPX_VC1_INTERP_NULL(opxiInterpolateQPBilinear_VC1_8u_C1R, qp_null)
OPX_VC1_INTERP_NULL(opxiInterpolateQPBilinear_VC1_8u_C2R, qp_null)
OPX_VC1_INTERP_NULL(opxiInterpolateICBicubicBlock_VC1_8u_C1R, block_null)
OPX_VC1_INTERP_NULL(opxiInterpolateICBilinearBlock_VC1_8u_C1R, block_null)
OPX_VC1_INTERP_NULL(opxiInterpolateICBilinearBlock_VC1_8u_C2R, block_null)
#undef OPX_VC1_INTERP_NULL
OPX_NULL_AUTO(opxiRangeMapping_VC1_8u_C1R, 64, 64, OpxRoiSize{16, 4}, 3u)

}  // namespace
}  // namespace opx::test::vc1
