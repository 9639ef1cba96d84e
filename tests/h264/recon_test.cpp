// Luma and chroma macroblock reconstruction: the exported functions against a reconstruction
// assembled here, block by block, from the stand-alone predictions and the portable transform
// kernels (with the availability table written out as the rules give it); AVX2 tables against
// portable ones; stream consumption; errors and their order.
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

// Per-block availability of a 4×4 intra macroblock, as tabled (99 all, 35 above/left/corner,
// 65 above/above-right).
int table_avail_4x4(int n, int e) {
    switch (n) {
        case 0:
            return ((e & 4) ? 0 : 65) | ((e & 1) ? 0 : 2) | ((e & 16) ? 0 : 32);
        case 1:
        case 4:
            return (e & 4) ? 2 : 99;
        case 2:
        case 8:
        case 10:
            return (e & 1) ? 65 : 99;
        case 3:
        case 7:
        case 11:
        case 13:
        case 15:
            return 35;
        case 5:
            return 2 | ((e & 4) ? 0 : 33) | ((e & 32) ? 0 : 64);
        default:
            return 99;
    }
}

int table_avail_8x8(int n, int e) {
    switch (n) {
        case 0:
            return ((e & 4) ? 0 : 65) | ((e & 1) ? 0 : 2) | ((e & 16) ? 0 : 32);
        case 1:
            return 2 | ((e & 4) ? 0 : 33) | ((e & 32) ? 0 : 64);
        case 2:
            return 65 | ((e & 1) ? 0 : 34);
        default:
            return 35;
    }
}

const int kBx[16] = {0, 4, 0, 4, 8, 12, 8, 12, 0, 4, 0, 4, 8, 12, 8, 12};
const int kBy[16] = {0, 0, 4, 4, 0, 0, 4, 4, 8, 8, 12, 12, 8, 8, 12, 12};

const TransformKernels& rt = ref::kTransform;

// Coded-block patterns worth trying: none, singles, all, random.
std::vector<std::uint32_t> block_patterns(Rng& rng, int blocks) {
    std::vector<std::uint32_t> v = {0, (1u << blocks) - 1};
    for (int b = 0; b < blocks; ++b) v.push_back(1u << b);
    for (int i = 0; i < 6; ++i) v.push_back(rng.next() & ((1u << blocks) - 1));
    return v;
}

TEST(H264ReconLuma, InterMatchesBlockByBlockAndConsumesInOrder) {
    Rng rng;
    for (std::uint32_t blocks : block_patterns(rng, 16)) {
        const int qp = static_cast<int>(rng.uniform(0, 51));
        Picture pic = random_picture(rng), want = pic;
        auto stream = random_stream(rng, 16, 16);
        auto copy = stream;
        const auto original = stream;
        Opx16s* c = copy.data();
        for (int n = 0; n < 16; ++n) {
            if (!(blocks & (1u << n))) continue;
            Opx8u* b = want.mb() + kBy[n] * kStep + kBx[n];
            rt.add4x4_flat(b, c, nullptr, b, kStep, kStep, qp, true);
            c += 16;
        }
        Opx16s* p = stream.data();
        // Bit 0 (the 16×16 DC array) is ignored by the inter function.
        ASSERT_EQ(
            opxiReconstructLumaInterMB_H264_16s8u_C1R(&p, pic.mb(), kStep, blocks << 1 | 1, qp),
            opxOk);
        EXPECT_EQ(p - stream.data(), 16 * __builtin_popcount(blocks));
        EXPECT_TRUE(same(want, pic)) << "cbp " << blocks;
        // Blocks beyond the last one consumed are neither read as work space nor written.
        const auto used = static_cast<std::ptrdiff_t>(16 * __builtin_popcount(blocks));
        EXPECT_TRUE(std::equal(stream.begin() + used, stream.end(), original.begin() + used));
    }
}

TEST(H264ReconLuma, Inter8x8MatchesBlockByBlock) {
    Rng rng;
    for (std::uint32_t blocks = 0; blocks < 16; ++blocks) {
        const int qp = static_cast<int>(rng.uniform(0, 51));
        Opx16s ls[64];
        for (auto& v : ls) v = static_cast<Opx16s>(rng.uniform(6, 255));
        Picture pic = random_picture(rng), want = pic;
        auto stream = random_stream(rng, 4, 64);
        auto copy = stream;
        Opx16s* c = copy.data();
        for (int n = 0; n < 4; ++n) {
            if (!(blocks & (1u << n))) continue;
            Opx8u* b = want.mb() + 8 * (n >> 1) * kStep + 8 * (n & 1);
            rt.dequant8x8(c, qp / 6, ls);
            rt.add8x8(b, kStep, c, b, kStep);
            c += 64;
        }
        Opx16s* p = stream.data();
        ASSERT_EQ(
            opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(&p, pic.mb(), kStep, blocks, qp, ls, 0),
            opxOk);
        EXPECT_EQ(p - stream.data(), 64 * __builtin_popcount(blocks));
        EXPECT_TRUE(same(want, pic)) << "cbp " << blocks;
    }
}

// The older and the newer 4×4 intra functions, whole and in halves, for random modes and every
// edgeType combination.
TEST(H264ReconLuma, Intra4x4MatchesPredictionAndTransformBlockByBlock) {
    Rng rng;
    for (int edge = 0; edge < 64; edge += (edge & 1) ? 3 : 1) {  // bits 1, 4, 16, 32 and mixes
        const int e = edge & (1 | 4 | 16 | 32);
        for (std::uint32_t blocks : {0u, 0xFFFFu, 1u << (edge % 16), rng.next() & 0xFFFF}) {
            for (int form = 0; form < 3; ++form) {  // 0 older, 1 newer (matrix), 2 newer halves
                const int qp = static_cast<int>(rng.uniform(0, 51));
                Opx32s modes[16];
                for (auto& m : modes) m = static_cast<Opx32s>(rng.uniform(0, 8));
                Opx16s ls[16];
                for (auto& v : ls) v = static_cast<Opx16s>(rng.uniform(6, 255));
                Picture pic = random_picture(rng), want = pic;
                auto stream = random_stream(rng, 16, 16);
                auto copy = stream;
                Opx16s* c = copy.data();
                bool warn = false;
                for (int n = 0; n < 16; ++n) {
                    Opx8u* b = want.mb() + kBy[n] * kStep + kBx[n];
                    // The lower half of the halves form sees its upper neighbour and, for block 5
                    // of the half (block 13), no samples above-right: the caller's edge flags.
                    int av = table_avail_4x4(n, e);
                    if (form == 2 && n >= 8)
                        av = table_avail_4x4(n - 8, (e & ~4) | 32 | ((e & 1) ? 16 : 0));
                    warn |= opxiPredictIntra_4x4_H264_8u_C1IR(b, kStep, modes[n], av) ==
                            opxWrnIntraPredUnavailable;
                    if (!(blocks & (1u << n))) continue;
                    if (form == 0)
                        rt.add4x4_flat(b, c, nullptr, b, kStep, kStep, qp, true);
                    else
                        rt.add4x4_matrix(b, kStep, c, nullptr, b, kStep, qp, true, ls);
                    c += 16;
                }
                Opx16s* p = stream.data();
                OpxResult r;
                if (form == 0) {
                    r = opxiReconstructLumaIntraMB_H264_16s8u_C1R(&p, pic.mb(), kStep, modes,
                                                                  blocks << 1, qp, Opx8u(e));
                } else if (form == 1) {
                    r = opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(
                        &p, pic.mb(), kStep, modes, blocks << 1, qp, Opx8u(e), ls, 0);
                } else {
                    const OpxResult r1 = opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R(
                        &p, pic.mb(), kStep, modes, blocks & 0xFF, qp, Opx8u(e), ls, 0);
                    const OpxResult r2 = opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R(
                        &p, pic.mb() + 8 * kStep, kStep, modes + 8, blocks >> 8, qp,
                        Opx8u((e & ~4) | 32 | ((e & 1) ? 16 : 0)), ls, 0);
                    r = std::max(r1, r2);
                }
                EXPECT_EQ(r, warn ? opxWrnIntraPredUnavailable : opxOk);
                EXPECT_EQ(p - stream.data(), 16 * __builtin_popcount(blocks));
                EXPECT_TRUE(same(want, pic))
                    << "edge " << e << " cbp " << blocks << " form " << form;
            }
        }
    }
}

TEST(H264ReconLuma, Intra8x8MatchesPredictionAndTransformBlockByBlock) {
    Rng rng;
    for (int e = 0; e < 64; ++e) {
        if (e & ~(1 | 4 | 16 | 32)) continue;
        for (std::uint32_t blocks : {0u, 15u, 1u << (e % 4), rng.next() & 15}) {
            const int qp = static_cast<int>(rng.uniform(0, 51));
            Opx32s modes[4];
            for (auto& m : modes) m = static_cast<Opx32s>(rng.uniform(0, 8));
            Opx16s ls[64];
            for (auto& v : ls) v = static_cast<Opx16s>(rng.uniform(6, 255));
            Picture pic = random_picture(rng), want = pic;
            auto stream = random_stream(rng, 4, 64);
            auto copy = stream;
            Opx16s* c = copy.data();
            for (int n = 0; n < 4; ++n) {
                Opx8u* b = want.mb() + 8 * (n >> 1) * kStep + 8 * (n & 1);
                predict_8x8(ref::kIntra, b, kStep, modes[n], table_avail_8x8(n, e));
                if (!(blocks & (1u << n))) continue;
                rt.dequant8x8(c, qp / 6, ls);
                rt.add8x8(b, kStep, c, b, kStep);
                c += 64;
            }
            Opx16s* p = stream.data();
            EXPECT_EQ(opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(&p, pic.mb(), kStep, modes,
                                                                   blocks, qp, Opx8u(e), ls, 0),
                      opxOk);
            EXPECT_EQ(p - stream.data(), 64 * __builtin_popcount(blocks));
            EXPECT_TRUE(same(want, pic)) << "edge " << e << " cbp " << blocks;
        }
    }
}

TEST(H264ReconLuma, Intra16x16DcArrayAndBlocks) {
    Rng rng;
    for (int form = 0; form < 2; ++form) {
        for (std::uint32_t cbp :
             {0u, 1u, 1u | 2u, 1u << 9, 0x1FFFFu, 0x1FFFEu, rng.next() & 0x1FFFF}) {
            const int qp = static_cast<int>(rng.uniform(0, 51));
            const int mode = static_cast<int>(rng.uniform(0, 3));
            Opx16s ls[16];
            for (auto& v : ls) v = static_cast<Opx16s>(rng.uniform(6, 255));
            Picture pic = random_picture(rng), want = pic;
            auto stream = random_stream(rng, 17, 16, 300);
            auto copy = stream;
            Opx16s* c = copy.data();
            ASSERT_EQ(opxiPredictIntra_16x16_H264_8u_C1IR(want.mb(), kStep, mode, 35), opxOk);
            Opx16s dc[16] = {};
            if (cbp & 1) {
                if (form == 0)
                    rt.luma_dc_flat(c, qp);
                else
                    rt.luma_dc_matrix(c, qp, ls[0]);
                std::copy(c, c + 16, dc);
                c += 16;
            }
            if (cbp & 0x1FFFF)
                for (int n = 0; n < 16; ++n) {
                    Opx8u* b = want.mb() + kBy[n] * kStep + kBx[n];
                    const Opx16s* d = &dc[kBy[n] + kBx[n] / 4];
                    const bool coded = cbp & (2u << n);
                    if (form == 0)
                        rt.add4x4_flat(b, coded ? c : nullptr, d, b, kStep, kStep, qp, coded);
                    else
                        rt.add4x4_matrix(b, kStep, coded ? c : nullptr, d, b, kStep, qp, coded, ls);
                    if (coded) c += 16;
                }
            Opx16s* p = stream.data();
            const OpxResult r = form == 0 ? opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(
                                                &p, pic.mb(), kStep, mode, cbp, qp, 0)
                                          : opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(
                                                &p, pic.mb(), kStep, mode, cbp, qp, 0, ls, 0);
            EXPECT_EQ(r, opxOk);
            EXPECT_EQ(p - stream.data(), 16 * __builtin_popcount(cbp & 0x1FFFF));
            EXPECT_TRUE(same(want, pic)) << "cbp " << cbp << " form " << form;
        }
    }
}

// ---- chroma ------------------------------------------------------------------------------------

struct ChromaPics {
    Picture u, v;
};

// Expected chroma reconstruction of one macroblock, flat or matrix style.
void chroma_expected(ChromaPics& w, std::vector<Opx16s> s, std::uint32_t cbp, int mode, int avail,
                     int qpu, int qpv, const Opx16s* lsu, const Opx16s* lsv) {
    Opx8u* planes[2] = {w.u.mb(), w.v.mb()};
    if (mode >= 0) {
        for (Opx8u* pl : planes)
            ASSERT_EQ(opxiPredictIntraChroma8x8_H264_8u_C1IR(pl, kStep, mode, avail), opxOk);
    }
    Opx16s* c = s.data();
    Opx16s dc[2][4] = {};
    const int qps[2] = {qpu, qpv};
    const Opx16s* ls[2] = {lsu, lsv};
    for (int k = 0; k < 2; ++k)
        if (cbp & (1u << (17 + k))) {
            if (lsu)
                rt.chroma_dc2x2_matrix(c, qps[k], ls[k][0]);
            else
                rt.chroma_dc_flat(c, qps[k]);
            std::copy(c, c + 4, dc[k]);
            c += 4;
        }
    for (int k = 0; k < 2; ++k)
        for (int b = 0; b < 4; ++b) {
            Opx8u* blk = planes[k] + 4 * (b >> 1) * kStep + 4 * (b & 1);
            const bool coded = cbp & (1u << (19 + 4 * k + b));
            if (!coded && !(cbp & 0x7FE0000)) continue;
            if (lsu)
                rt.add4x4_matrix(blk, kStep, coded ? c : nullptr, &dc[k][b], blk, kStep, qps[k],
                                 coded, ls[k]);
            else
                rt.add4x4_flat(blk, coded ? c : nullptr, &dc[k][b], blk, kStep, kStep, qps[k],
                               coded);
            if (coded) c += 16;
        }
}

std::vector<std::uint32_t> chroma_patterns(Rng& rng) {
    std::vector<std::uint32_t> v = {0, 1u << 17, 1u << 18, (1u << 18) | (1u << 23), 0x7FE0000};
    for (int b = 19; b < 27; ++b) v.push_back(1u << b);
    for (int i = 0; i < 6; ++i) v.push_back(rng.next() & 0x7FE0000);
    return v;
}

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

TEST(H264ReconChroma, AllFormsMatchBlockByBlockAndInterleavedMatchesPlanar) {
    Rng rng;
    for (std::uint32_t cbp : chroma_patterns(rng)) {
        for (int mode = -1; mode < 4; ++mode) {
            for (int form = 0; form < 2; ++form) {  // older (flat), newer (matrix)
                const int qpu = static_cast<int>(rng.uniform(0, 39));
                const int qpv = form ? static_cast<int>(rng.uniform(0, 39)) : qpu;
                Opx16s lsu[16], lsv[16];
                for (int i = 0; i < 16; ++i) {
                    lsu[i] = static_cast<Opx16s>(rng.uniform(6, 255));
                    lsv[i] = static_cast<Opx16s>(rng.uniform(6, 255));
                }
                ChromaPics pic{random_picture(rng), random_picture(rng)};
                ChromaPics want = pic;
                auto stream = random_stream(rng, 10, 16, 200);
                chroma_expected(want, stream, cbp, mode, 35, qpu, qpv, form ? lsu : nullptr,
                                form ? lsv : nullptr);
                const int used = 4 * __builtin_popcount(cbp & (3u << 17)) +
                                 16 * __builtin_popcount(cbp & (0xFFu << 19));
                auto uv = interleave(pic);
                auto s2 = stream;
                Opx16s* p = stream.data();
                Opx16s* p2 = s2.data();
                Opx8u* uvmb = uv.data() + 2 * (kY * kStep + kX);
                OpxResult r1, r2;
                if (mode < 0 && form == 0) {
                    r1 = opxiReconstructChromaInterMB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(),
                                                                     kStep, cbp, qpu);
                    r2 =
                        opxiReconstructChromaInterMB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, cbp, qpu);
                } else if (mode < 0) {
                    r1 = opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(
                        &p, pic.u.mb(), pic.v.mb(), kStep, cbp, qpu, qpv, lsu, lsv, 0);
                    r2 = opxiReconstructChromaInter4x4MB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, cbp,
                                                                        qpu, qpv, lsu, lsv, 0);
                } else if (form == 0) {
                    r1 = opxiReconstructChromaIntraMB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(),
                                                                     kStep, mode, cbp, qpu, 0);
                    r2 = opxiReconstructChromaIntraMB_H264_16s8u_C2R(&p2, uvmb, 2 * kStep, mode,
                                                                     cbp, qpu, 0);
                } else {
                    r1 = opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
                        &p, pic.u.mb(), pic.v.mb(), kStep, mode, cbp, qpu, qpv, 0, lsu, lsv, 0);
                    r2 = opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(
                        &p2, uvmb, 2 * kStep, mode, cbp, qpu, qpv, 0, lsu, lsv, 0);
                }
                SCOPED_TRACE("cbp " + std::to_string(cbp) + " mode " + std::to_string(mode) +
                             " form " + std::to_string(form));
                EXPECT_EQ(r1, opxOk);
                EXPECT_EQ(r2, opxOk);
                EXPECT_EQ(p - stream.data(), used);
                EXPECT_EQ(p2 - s2.data(), used);
                EXPECT_TRUE(same(want.u, pic.u));
                EXPECT_TRUE(same(want.v, pic.v));
                EXPECT_TRUE(interleave(want) == uv) << "interleaved differs from planar";
            }
        }
    }
}

TEST(H264ReconChroma, HalvesTakeEachHalfsAvailability) {
    Rng rng;
    for (int top = 0; top < 2; ++top)
        for (int bottom = 0; bottom < 2; ++bottom) {
            ChromaPics pic{random_picture(rng), random_picture(rng)};
            ChromaPics want = pic;
            const int et = top ? 1 : 0, eb = bottom ? 1 : 0;  // left macroblock unavailable
            // DC of each half with its own left availability.
            for (Opx8u* pl : {want.u.mb(), want.v.mb()}) {
                const int slot = (mb_avail(et) & 3) | (mb_avail(eb) & 3) << 2;
                ref::kIntra.chroma_dc[slot](pl, kStep);
            }
            Opx16s coeffs[4] = {};
            Opx16s* p = coeffs;
            EXPECT_EQ(opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
                          &p, pic.u.mb(), pic.v.mb(), kStep, 0, 0, 20, Opx8u(et), Opx8u(eb)),
                      opxOk);
            EXPECT_TRUE(same(want.u, pic.u));
            EXPECT_TRUE(same(want.v, pic.v));
            auto uv = interleave(pic);
            Opx8u* uvmb = uv.data() + 2 * (kY * kStep + kX);
            ChromaPics again = pic;
            EXPECT_EQ(opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(&p, uvmb, 2 * kStep, 2, 0,
                                                                        20, Opx8u(et), Opx8u(eb)),
                      opxOk);
            for (Opx8u* pl : {again.u.mb(), again.v.mb()}) ref::kIntra.chroma[kPcV](pl, kStep);
            EXPECT_TRUE(interleave(again) == uv);
        }
}

// ---- transform bypass --------------------------------------------------------------------------

TEST(H264ReconBypass, QpZeroAddsCoefficientsAndQpOneTransforms) {
    Rng rng;
    Opx16s ls[64];
    for (auto& v : ls) v = 16;
    Picture pic = random_picture(rng), want = pic;
    auto stream = random_stream(rng, 4, 64, 300);
    Opx16s* p = stream.data();
    auto copy = stream;
    ASSERT_EQ(opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(&p, pic.mb(), kStep, 1, 0, ls, 1),
              opxOk);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            Opx8u& s = want.mb()[y * kStep + x];
            s = static_cast<Opx8u>(std::clamp(s + copy[8 * y + x], 0, 255));
        }
    EXPECT_TRUE(same(want, pic));
    // qp 1: the ordinary path.
    Picture pic2 = random_picture(rng), want2 = pic2;
    auto s2 = random_stream(rng, 1, 16);
    auto c2 = s2;
    Opx16s* q = s2.data();
    ASSERT_EQ(opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(&q, pic2.mb(), kStep, 2, 1, ls, 1),
              opxOk);
    rt.add4x4_matrix(want2.mb(), kStep, c2.data(), nullptr, want2.mb(), kStep, 1, true, ls);
    EXPECT_TRUE(same(want2, pic2));
    // Intra 8x8: each block predicted from the reconstructed blocks before it, then its
    // coefficients added (blocks 0, 1 and 3 coded).
    Picture pic3 = random_picture(rng), want3 = pic3;
    auto s3 = random_stream(rng, 3, 64, 300);
    const auto c3 = s3;
    const Opx32s modes[4] = {4, 8, 0, 6};
    const Opx16s* c = c3.data();
    for (int n = 0; n < 4; ++n) {
        Opx8u* b = want3.mb() + 8 * (n >> 1) * kStep + 8 * (n & 1);
        predict_8x8(ref::kIntra, b, kStep, modes[n], table_avail_8x8(n, 0));
        if (n == 2) continue;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                b[y * kStep + x] = static_cast<Opx8u>(std::clamp(b[y * kStep + x] + *c++, 0, 255));
    }
    Opx16s* q3 = s3.data();
    ASSERT_EQ(opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(&q3, pic3.mb(), kStep, modes, 0xB, 0, 0,
                                                           ls, 1),
              opxOk);
    EXPECT_EQ(q3 - s3.data(), 3 * 64);
    EXPECT_TRUE(same(want3, pic3));
}

// Bypass of one 4x4 block: DC value at position 0, then the block's coefficients (none for an
// uncoded block) added as they are.
void add_untransformed(Opx8u* b, const Opx16s* c, Opx16s dc) {
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int r = x == 0 && y == 0 ? dc : c ? c[4 * y + x] : 0;
            b[y * kStep + x] = static_cast<Opx8u>(std::clamp(b[y * kStep + x] + r, 0, 255));
        }
}

// The DC arrays in bypass: the 16x16 function and a chroma component with qp 0 take their DC
// values as they come, untransformed; an uncoded block still gets its DC value, on its first
// sample only. A chroma component with qp 1 takes the ordinary path.
TEST(H264ReconBypass, DcArraysOfIntra16x16AndChromaAreTakenAsTheyCome) {
    Rng rng;
    Opx16s ls[16];
    for (auto& v : ls) v = 16;
    for (std::uint32_t cbp : {0x1FFFFu, 1u, 1u | (2u << 5), 0x1FFFEu, rng.next() & 0x1FFFF}) {
        Picture pic = random_picture(rng), want = pic;
        auto stream = random_stream(rng, 17, 16, 300);
        const Opx16s* c = stream.data();
        ASSERT_EQ(opxiPredictIntra_16x16_H264_8u_C1IR(want.mb(), kStep, 1, 35), opxOk);
        Opx16s dc[16] = {};
        if (cbp & 1) {
            std::copy(c, c + 16, dc);
            c += 16;
        }
        for (int n = 0; n < 16; ++n) {
            const bool coded = cbp & (2u << n);
            add_untransformed(want.mb() + kBy[n] * kStep + kBx[n], coded ? c : nullptr,
                              dc[kBy[n] + kBx[n] / 4]);
            if (coded) c += 16;
        }
        Opx16s* p = stream.data();
        ASSERT_EQ(opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(&p, pic.mb(), kStep, 1, cbp, 0, 0,
                                                                  ls, 1),
                  opxOk);
        EXPECT_EQ(p, c);
        EXPECT_TRUE(same(want, pic)) << "cbp " << cbp;
    }
    for (std::uint32_t cbp : chroma_patterns(rng)) {
        ChromaPics pic{random_picture(rng), random_picture(rng)};
        auto stream = random_stream(rng, 10, 16, 300);
        // Cb (qp 0) by hand; Cr (qp 1) as the call without bypass forms it.
        ChromaPics want = pic;
        const Opx16s* c = stream.data();
        Opx16s dc[4] = {};
        if (cbp & (1u << 17)) {
            std::copy(c, c + 4, dc);
            c += 4;
        }
        if (cbp & (1u << 18)) c += 4;
        for (int b = 0; b < 4; ++b) {
            const bool coded = cbp & (1u << (19 + b));
            add_untransformed(want.u.mb() + 4 * (b >> 1) * kStep + 4 * (b & 1), coded ? c : nullptr,
                              dc[b]);
            if (coded) c += 16;
        }
        ChromaPics plain = pic;
        auto s2 = stream;
        Opx16s* p2 = s2.data();
        ASSERT_EQ(opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(&p2, plain.u.mb(), plain.v.mb(),
                                                                 kStep, cbp, 0, 1, ls, ls, 0),
                  opxOk);
        want.v = plain.v;
        Opx16s* p = stream.data();
        ASSERT_EQ(opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(&p, pic.u.mb(), pic.v.mb(), kStep,
                                                                 cbp, 0, 1, ls, ls, 1),
                  opxOk);
        SCOPED_TRACE("cbp " + std::to_string(cbp));
        EXPECT_EQ(p - stream.data(), p2 - s2.data());
        EXPECT_TRUE(same(want.u, pic.u));
        EXPECT_TRUE(same(want.v, pic.v));
    }
}

// ---- AVX2 tables against portable through the drivers ------------------------------------------

TEST(H264ReconDrivers, Avx2TablesMatchPortable) {
    Rng rng;
    const ReconKernels kr{ref::kIntra, ref::kTransform, ref::add4x4_flat_pair},
        ka{avx2::kIntra, avx2::kTransform, avx2::add4x4_flat_pair};
    for (int iter = 0; iter < 200; ++iter) {
        const int qp = static_cast<int>(rng.uniform(0, 51));
        const int edge = static_cast<int>(rng.next() & (1 | 4 | 16 | 32));
        const std::uint32_t cbp = rng.next();
        Opx32s modes[16];
        for (auto& m : modes) m = static_cast<Opx32s>(rng.uniform(0, 8));
        Opx16s ls[64];
        for (auto& v : ls) v = static_cast<Opx16s>(rng.uniform(6, 255));
        Picture a = random_picture(rng), b = a;
        auto sa = random_stream(rng, 17, 64, iter % 4 == 0 ? 2000 : 40), sb = sa;
        Opx16s *pa = sa.data(), *pb = sb.data();
        const int which = iter % 6;
        switch (which) {
            case 0:
                luma_inter_4x4(kr, &pa, a.mb(), kStep, cbp, qp, nullptr, false);
                luma_inter_4x4(ka, &pb, b.mb(), kStep, cbp, qp, nullptr, false);
                break;
            case 1:
                EXPECT_EQ(
                    luma_intra_4x4(kr, &pa, a.mb(), kStep, modes, 16, cbp, 1, qp, edge, ls, false),
                    luma_intra_4x4(ka, &pb, b.mb(), kStep, modes, 16, cbp, 1, qp, edge, ls, false));
                break;
            case 2:
                luma_intra_8x8(kr, &pa, a.mb(), kStep, modes, 4, cbp, qp, edge, ls, false);
                luma_intra_8x8(ka, &pb, b.mb(), kStep, modes, 4, cbp, qp, edge, ls, false);
                break;
            case 3: {
                const int slot = pred16x16_slot(int(rng.uniform(0, 3)), 35);
                luma_intra_16x16(kr, &pa, a.mb(), kStep, slot, cbp, qp, iter & 1 ? ls : nullptr,
                                 false);
                luma_intra_16x16(ka, &pb, b.mb(), kStep, slot, cbp, qp, iter & 1 ? ls : nullptr,
                                 false);
                break;
            }
            default: {
                const ChromaParams cp{cbp, {qp % 40, (qp + 7) % 40}, {ls, ls + 16}, {false, false}};
                const PredChromaFn fr = chroma_kernel(kr.intra, int(rng.uniform(0, 3)), 35, 35);
                const PredChromaFn fa = fr == kr.intra.chroma_dc[15]  ? ka.intra.chroma_dc[15]
                                        : fr == kr.intra.chroma[kPcH] ? ka.intra.chroma[kPcH]
                                        : fr == kr.intra.chroma[kPcV] ? ka.intra.chroma[kPcV]
                                                                      : ka.intra.chroma[kPcPlane];
                chroma_planar(kr, &pa, a.mb(), a.mb() + 8, kStep, fr, cp);
                chroma_planar(ka, &pb, b.mb(), b.mb() + 8, kStep, fa, cp);
                break;
            }
        }
        EXPECT_EQ(pa - sa.data(), pb - sb.data());
        EXPECT_TRUE(same(a, b)) << "driver " << which;
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

// ---- errors and their order --------------------------------------------------------------------

TEST(H264ReconErrors, ChecksComeFirstAndWriteNothing) {
    Rng rng;
    Picture pic = random_picture(rng);
    const Picture orig = pic;
    auto stream = random_stream(rng, 16, 16);
    Opx16s* p = stream.data();
    Opx16s ls[64];
    for (auto& v : ls) v = 16;
    Opx32s modes[16] = {};
    Opx8u* mb = pic.mb();
    EXPECT_EQ(opxiReconstructLumaInterMB_H264_16s8u_C1R(&p, mb, kStep, ~0u, 52), opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructLumaInterMB_H264_16s8u_C1R(&p, mb, kStep, ~0u, -1), opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(&p, mb, 0, modes, ~0u, 52, 0),
              opxErrStep);
    EXPECT_EQ(opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(&p, mb, kStep, modes, ~0u, 52, 0),
              opxErrOutOfRange);
    // 16×16: qp, then the mode, then the neighbours.
    EXPECT_EQ(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, mb, kStep, 4, ~0u, 52, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, mb, kStep, 4, ~0u, 20, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, mb, kStep, -1, ~0u, 20, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(&p, mb, kStep, 3, ~0u, 20, 16),
              opxErrIntraPredUnavailable);
    EXPECT_EQ(opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(&p, mb, kStep, 0, ~0u, 20, 4, ls, 0),
              opxErrIntraPredUnavailable);
    EXPECT_EQ(opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(&p, mb, kStep, 1, ~0u, 20, 1, ls, 0),
              opxErrIntraPredUnavailable);
    // Chroma: qp above 39 (up front in every form, the halves included), mode, neighbours, step.
    EXPECT_EQ(
        opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 0, ~0u, 40, 0, 0),
        opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(&p, mb, kStep, 0, ~0u, 51, 0, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(&p, mb, 0, 0, ~0u, 39, 0, 0),
              opxErrStep);
    EXPECT_EQ(
        opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 1, ~0u, 20, 0, 0),
        opxErrIntraPredUnavailable);
    EXPECT_EQ(
        opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 3, ~0u, 20, 0, 0),
        opxErrIntraPredUnavailable);
    EXPECT_EQ(
        opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 2, ~0u, 20, 4, 0),
        opxErrIntraPredUnavailable);
    EXPECT_EQ(opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 0, ~0u, 20,
                                                                  40, 0, 0, ls, ls, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructChromaIntraMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 4, ~0u, 20, 0),
              opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructChromaIntraMB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, 3, ~0u, 20, 16),
              opxErrIntraPredUnavailable);
    for (int mode : {-1, 4, 1000}) {
        EXPECT_EQ(opxiReconstructChromaIntraMB_H264_16s8u_C2R(&p, mb, kStep, mode, ~0u, 20, 0),
                  opxErrOutOfRange);
        EXPECT_EQ(opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, mode, ~0u,
                                                                 20, 20, 0, ls, ls, 0),
                  opxErrOutOfRange);
        EXPECT_EQ(opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(&p, mb, kStep, mode, ~0u, 20, 20,
                                                                 0, ls, ls, 0),
                  opxErrOutOfRange);
    }
    EXPECT_EQ(opxiReconstructChromaInterMB_H264_16s8u_C2R(&p, mb, 0, ~0u, 20), opxErrStep);
    EXPECT_EQ(opxiReconstructChromaInterMB_H264_16s8u_C2R(&p, mb, 0, ~0u, 40), opxErrOutOfRange);
    EXPECT_EQ(opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(&p, mb, mb + 8, kStep, ~0u, 0, 40, ls,
                                                             ls, 0),
              opxErrOutOfRange);
    EXPECT_EQ(p, stream.data());
    EXPECT_TRUE(same(orig, pic));
}

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

// The corner macroblock of a picture: block 0 in vertical mode is predicted from 128.
TEST(H264ReconLuma, CornerMacroblockWarns) {
    Rng rng;
    Picture pic = random_picture(rng);
    Opx32s modes[16] = {};
    for (int n = 1; n < 16; ++n) modes[n] = 2;
    Opx16s c[16] = {};
    Opx16s* p = c;
    EXPECT_EQ(opxiReconstructLumaIntraMB_H264_16s8u_C1R(&p, pic.mb(), kStep, modes, 0, 20,
                                                        1 | 4 | 16 | 32),
              opxWrnIntraPredUnavailable);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(pic.mb()[y * kStep + x], 128);
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
