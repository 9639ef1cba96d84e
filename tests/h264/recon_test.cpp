// Macroblock reconstruction by the flat (8-bit, no level scale) functions and the forms the decoder
// does not call: the DC-only residual at its rounding edges, interleaved against planar chroma,
// stream consumption, the AVX2 pair kernel against the portable one, errors and their order. (The
// ordinary paths are checked by the decoder's streams and the depth-8 comparison of
// recon_high_test.cpp; the kernels the drivers call by their own differential tests.)
#include "h264/decode/recon.hpp"

#include <algorithm>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

constexpr int kStep = 96, kRows = 64, kX = 24, kY = 24;

struct Picture {
    std::vector<Opx8u> buf = std::vector<Opx8u>(kStep * kRows);
    Opx8u* mb() { return buf.data() + kY * kStep + kX; }
    bool operator==(const Picture& o) const { return buf == o.buf; }
};

Picture random_picture(Rng& rng) {
    Picture p;
    for (auto& v : p.buf) v = static_cast<Opx8u>(rng.uniform(0, 255));
    return p;
}

testing::AssertionResult same(const Picture& a, const Picture& b) {
    return regions_equal(a.buf.data(), kStep, b.buf.data(), kStep, kStep, kRows);
}

// A coefficient stream of `blocks` blocks of `len` levels, mostly small, some sparse, with a
// sentinel tail that must never be consumed.
std::vector<Opx16s> random_stream(Rng& rng, int blocks, int len, int magnitude = 40) {
    std::vector<Opx16s> s(blocks * len + 64, 0x7777);
    for (int b = 0; b < blocks; ++b) {
        const bool sparse = rng.coin();
        for (int i = 0; i < len; ++i)
            s[b * len + i] =
                static_cast<Opx16s>(sparse && i > 2 ? 0 : rng.uniform(-magnitude, magnitude));
    }
    return s;
}

const int kBx[16] = {0, 4, 0, 4, 8, 12, 8, 12, 0, 4, 0, 4, 8, 12, 8, 12};
const int kBy[16] = {0, 0, 4, 4, 0, 0, 4, 4, 8, 8, 12, 12, 8, 8, 12, 12};

const TransformKernels& rt = ref::kTransform;

// A block without AC levels whose dequantised DC value is d gets (d + 32) >> 6 on every sample:
// nothing for d in -32..31, +1 at 32, -1 at -33. Levels and qps are swept until the DC values
// -33 and 32 (the first that change the block; 31 no flat scale reaches) have both been reached,
// through chroma (2×2 DC array) and the 16×16 DC array.
TEST(H264ReconDcOnly, ResidualIsDcPlus32ShiftedBySixAtEveryRoundingEdge) {
    Rng rng;
    std::vector<int> seen;
    for (int qp = 0; qp < 12; ++qp)
        for (int level = -12; level <= 12; ++level)
            for (int luma = 0; luma < 2; ++luma) {
                Picture pic = random_picture(rng), want = pic;
                std::vector<Opx16s> s(32, 0);
                s[0] = static_cast<Opx16s>(level);
                s[1] = static_cast<Opx16s>(level / 3);
                Opx16s dc[16];
                std::copy(s.begin(), s.begin() + 16, dc);
                if (luma)
                    rt.luma_dc_flat(dc, qp);
                else
                    rt.chroma_dc_flat(dc, qp);
                Opx16s* p = s.data();
                if (luma) {
                    ASSERT_EQ(opxiPredictIntra_16x16_H264_8u_C1IR(want.mb(), kStep, 0, 35), opxOk);
                    ASSERT_EQ(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, pic.mb(), kStep, 0,
                                                                             1, qp, 0),
                              opxOk);
                } else {
                    Picture v = pic;
                    ASSERT_EQ(opxiReconstructChromaInterMB_H264_16s8u_P2R(&p, pic.mb(), v.mb(),
                                                                          kStep, 1u << 17, qp),
                              opxOk);
                }
                for (int n = 0; n < (luma ? 16 : 4); ++n) {
                    const int d = luma ? dc[kBy[n] + kBx[n] / 4] : dc[n];
                    seen.push_back(d);
                    const int bx = luma ? kBx[n] : 4 * (n & 1), by = luma ? kBy[n] : 4 * (n >> 1);
                    for (int y = by; y < by + 4; ++y)
                        for (int x = bx; x < bx + 4; ++x) {
                            Opx8u& w = want.mb()[y * kStep + x];
                            w = static_cast<Opx8u>(std::clamp(w + ((d + 32) >> 6), 0, 255));
                        }
                }
                ASSERT_TRUE(same(want, pic))
                    << "qp " << qp << " level " << level << " luma " << luma;
            }
    for (int d : {-33, -32, 32})
        EXPECT_NE(std::find(seen.begin(), seen.end(), d), seen.end())
            << "DC " << d << " not reached";
}

// Stream consumption of the flat inter and 16×16 functions (the others are held to their
// high-bit-depth twins): 16 levels per coded block, the 16×16 DC array first; levels beyond are
// neither read as work space nor written.
TEST(H264ReconLuma, CodedBlocksConsumeTheStreamInOrder) {
    Rng rng;
    for (int it = 0; it < 30; ++it) {
        const std::uint32_t cbp = rng.next();
        const int qp = static_cast<int>(rng.uniform(0, 51));
        Picture pic = random_picture(rng);
        auto s = random_stream(rng, 17, 64);
        const auto orig = s;
        Opx16s* p = s.data();
        const bool inter = it % 2;
        ASSERT_EQ(inter ? opxiReconstructLumaInterMB_H264_16s8u_C1R(&p, pic.mb(), kStep, cbp, qp)
                        : opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, pic.mb(), kStep, 2,
                                                                         cbp, qp, 0),
                  opxOk);
        const std::ptrdiff_t used = 16 * __builtin_popcount(cbp & (inter ? 0x1FFFE : 0x1FFFF));
        EXPECT_EQ(p - s.data(), used) << "inter " << inter << " cbp " << cbp;
        EXPECT_TRUE(std::equal(s.begin() + used, s.end(), orig.begin() + used));
    }
}

// ---- chroma ------------------------------------------------------------------------------------

struct ChromaPics {
    Picture u, v;
};

// Interleaves two planes' macroblocks (and their surroundings) into one picture of twice the
// width.
std::vector<Opx8u> interleave(const ChromaPics& p) {
    std::vector<Opx8u> uv(2 * kStep * kRows);
    for (int i = 0; i < kStep * kRows; ++i) {
        uv[2 * i] = p.u.buf[i];
        uv[2 * i + 1] = p.v.buf[i];
    }
    return uv;
}

// Every chroma form, planar and interleaved, give the same result and consume 4 levels per DC
// array and 16 per coded block.
TEST(H264ReconChroma, InterleavedMatchesPlanarAndConsumesInOrder) {
    Rng rng;
    for (int it = 0; it < 40; ++it) {
        const std::uint32_t cbp = it < 10 ? (1u << (17 + it)) & 0x7FE0000 : rng.next() & 0x7FE0000;
        const int mode = it % 5 - 1, form = (it / 5) & 1;
        const int qpu = static_cast<int>(rng.uniform(0, 39));
        const int qpv = form ? static_cast<int>(rng.uniform(0, 39)) : qpu;
        Opx16s lsu[16], lsv[16];
        for (int i = 0; i < 16; ++i) {
            lsu[i] = static_cast<Opx16s>(rng.uniform(6, 255));
            lsv[i] = static_cast<Opx16s>(rng.uniform(6, 255));
        }
        ChromaPics pic{random_picture(rng), random_picture(rng)};
        auto stream = random_stream(rng, 10, 16, 200);
        const int used =
            4 * __builtin_popcount(cbp & (3u << 17)) + 16 * __builtin_popcount(cbp & (0xFFu << 19));
        auto uv = interleave(pic);
        auto s2 = stream;
        Opx16s* p = stream.data();
        Opx16s* p2 = s2.data();
        Opx8u* uvmb = uv.data() + 2 * (kY * kStep + kX);
        OpxResult r1, r2;
        if (mode < 0 && form == 0) {
            r1 = opxiReconstructChromaInterMB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(), kStep, cbp,
                                                             qpu);
            r2 = opxiReconstructChromaInterMB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, cbp, qpu);
        } else if (mode < 0) {
            r1 = opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(), kStep,
                                                                cbp, qpu, qpv, lsu, lsv, 0);
            r2 = opxiReconstructChromaInter4x4MB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, cbp, qpu, qpv,
                                                                lsu, lsv, 0);
        } else if (form == 0) {
            r1 = opxiReconstructChromaIntraMB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(), kStep,
                                                             mode, cbp, qpu, 0);
            r2 = opxiReconstructChromaIntraMB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, mode, cbp, qpu,
                                                             0);
        } else {
            r1 = opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
                &p, pic.u.mb(), pic.v.mb(), kStep, mode, cbp, qpu, qpv, 0, lsu, lsv, 0);
            r2 = opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, mode, cbp,
                                                                qpu, qpv, 0, lsu, lsv, 0);
        }
        SCOPED_TRACE("cbp " + std::to_string(cbp) + " mode " + std::to_string(mode) + " form " +
                     std::to_string(form));
        EXPECT_EQ(r1, opxOk);
        EXPECT_EQ(r2, opxOk);
        EXPECT_EQ(p - stream.data(), used);
        EXPECT_EQ(p2 - s2.data(), used);
        EXPECT_TRUE(interleave(pic) == uv) << "interleaved differs from planar";
    }
}

// The 8×4 pair kernel against two portable per-block calls, on random levels and on levels that
// drive the 16-bit products and the saturating transform to their limits.
TEST(H264ReconPair, Avx2PairMatchesPortablePerBlock) {
    Rng rng;
    for (int iter = 0; iter < 600; ++iter) {
        const int qp = static_cast<int>(rng.uniform(0, 51));
        Opx16s c[32];
        const int kind = iter % 4;
        for (auto& v : c) {
            v = kind == 0   ? static_cast<Opx16s>(rng.uniform(-64, 64))
                : kind == 1 ? static_cast<Opx16s>(rng.uniform(-32768, 32767))
                : kind == 2 ? static_cast<Opx16s>(rng.coin() ? 32767 : -32768)
                            : static_cast<Opx16s>(rng.coin() ? rng.uniform(-2063, 2063) : 0);
        }
        Picture a = random_picture(rng), b = a;
        Opx16s ca[32], cb[32];
        std::copy(c, c + 32, ca);
        std::copy(c, c + 32, cb);
        ref::add4x4_flat_pair(a.mb(), kStep, ca, qp);
        avx2::add4x4_flat_pair(b.mb(), kStep, cb, qp);
        ASSERT_TRUE(same(a, b)) << "qp " << qp << " kind " << kind;
    }
}

// ---- errors --------------------------------------------------------------------------------------

TEST(H264ReconErrors, BlockModeOutOfRangeStopsWhenReached) {
    Rng rng;
    for (int bad : {9, -1}) {
        Picture pic = random_picture(rng), want = pic;
        auto stream = random_stream(rng, 16, 16);
        Opx32s modes[16] = {};
        modes[5] = bad;
        Opx16s* p = stream.data();
        // Blocks 0..4 done (all coded: 5 blocks consumed), block 5 and later untouched.
        EXPECT_EQ(
            opxiReconstructLumaIntraMB_H264_16s8u_C1R(&p, pic.mb(), kStep, modes, 0x1FFFE, 20, 0),
            opxErrOutOfRange);
        EXPECT_EQ(p - stream.data(), 5 * 16);
        EXPECT_TRUE(regions_equal(want.mb() + 12, kStep, pic.mb() + 12, kStep, 4, 4));
        Opx16s ls[64];
        for (auto& v : ls) v = 16;
        Opx32s m8[4] = {0, 0, bad, 0};
        p = stream.data();
        EXPECT_EQ(
            opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(&p, pic.mb(), kStep, m8, 15, 20, 0, ls, 0),
            opxErrOutOfRange);
        EXPECT_EQ(p - stream.data(), 2 * 64);
    }
}

}  // namespace

// ---- null pointers ------------------------------------------------------------------------------
// Pointers in argument order: ppSrcDstCoeff, the plane(s), then the stream pointer behind
// ppSrcDstCoeff; the remaining arguments follow the plane(s).

#define OPX_RECON_NULL_CASE_WITH(function, planes, ...) \
    OPX_NULL_CASE(function) {                           \
        Opx16s* coeff = s.s16(1);                       \
        Opx16s** pc = nul(&coeff);                      \
        planes;                                         \
        if (pc) *pc = nul(coeff);                       \
        return function(__VA_ARGS__);                   \
    }
#define OPX_RECON_NULL_CASE1(function, ...) \
    OPX_RECON_NULL_CASE_WITH(function, Opx8u* d = nul(s.u8(0) + 1024), pc, d, __VA_ARGS__)
#define OPX_RECON_NULL_CASE2(function, ...)                            \
    OPX_RECON_NULL_CASE_WITH(function, Opx8u* u = nul(s.u8(0) + 1024); \
                             Opx8u* v = nul(s.u8(4) + 1024), pc, u, v, __VA_ARGS__)

OPX_RECON_NULL_CASE1(opxiReconstructLumaInterMB_H264_16s8u_C1R, 64, 2, 20)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntraMB_H264_16s8u_C1R, 64, nul(s.s32(2)), 2, 20, 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R, 64, 2, 3, 20, 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R, 64, nul(s.s32(2)), 1, 20, 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaInter4x4MB_H264_16s8u_C1R, 64, 2, 20, nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaInter8x8MB_H264_16s8u_C1R, 64, 1, 20, nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R, 64, nul(s.s32(2)), 2, 20, 0,
                     nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R, 64, nul(s.s32(2)), 1, 20, 0,
                     nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R, 64, nul(s.s32(2)), 1, 20, 0,
                     nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R, 64, nul(s.s32(2)), 1, 20, 0,
                     nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R, 64, 2, 3, 20, 0,
                     nul(s.s16(3)), 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaInterMB_H264_16s8u_P2R, 64, 1u << 17, 20)
OPX_RECON_NULL_CASE1(opxiReconstructChromaInterMB_H264_16s8u_C2R, 64, 1u << 17, 20)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntraMB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 0)
OPX_RECON_NULL_CASE1(opxiReconstructChromaIntraMB_H264_16s8u_C2R, 64, 0, 1u << 17, 20, 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaInter4x4MB_H264_16s8u_P2R, 64, 1u << 17, 20, 20,
                     nul(s.s16(3)), nul(s.s16(5)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructChromaInter4x4MB_H264_16s8u_C2R, 64, 1u << 17, 20, 20,
                     nul(s.s16(3)), nul(s.s16(5)), 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 20, 0,
                     nul(s.s16(3)), nul(s.s16(5)), 0)
OPX_RECON_NULL_CASE1(opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R, 64, 0, 1u << 17, 20, 20, 0,
                     nul(s.s16(3)), nul(s.s16(5)), 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 0, 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntraHalvesMB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 0, 0)
OPX_RECON_NULL_CASE1(opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R, 64, 0, 1u << 17, 20, 0, 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 20,
                     0, 0, nul(s.s16(3)), nul(s.s16(5)), 0)
OPX_RECON_NULL_CASE2(opxiReconstructChromaIntraHalves4x4MB_H264_16s8u_P2R, 64, 0, 1u << 17, 20, 20,
                     0, 0, nul(s.s16(3)), nul(s.s16(5)), 0)

}  // namespace opx::test
