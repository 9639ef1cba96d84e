// H.264 forward transforms and quantisation: AVX2 kernels against the portable ones on random
// and worst-case blocks (every qp, both offsets, flat and caller scales, guard pages), round
// trips through the library's own dequantisation and inverse transforms, and the rules.
#include "h264/encode/fwd.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::h264::enc;

constexpr Opx16s kZigzag4x4[16] = {0, 1, 5, 6, 2, 4, 7, 12, 3, 8, 11, 13, 9, 10, 14, 15};

// Residual / coefficient shapes that drive the 16-bit paths to their edges.
// kAt427 and kAt910 sit on the bounds of the 16-bit 8x8 and 4x4 transform paths.
enum class Kind { kPixel, kAt427, kAt910, kAt911, kWide, kExtreme, kSparse };
constexpr Kind kKinds[] = {Kind::kPixel, Kind::kAt427,   Kind::kAt910, Kind::kAt911,
                           Kind::kWide,  Kind::kExtreme, Kind::kSparse};

Opx16s value16(Rng& rng, Kind k) {
    switch (k) {
        case Kind::kPixel: return static_cast<Opx16s>(rng.coin() ? (rng.coin() ? 255 : -255)
                                                                 : rng.uniform(-255, 255));
        case Kind::kAt427: return static_cast<Opx16s>(rng.coin() ? 427 : -427);
        case Kind::kAt910: return static_cast<Opx16s>(rng.coin() ? 910 : -910);
        case Kind::kAt911: return static_cast<Opx16s>(rng.uniform(-911, 911));
        case Kind::kWide: return static_cast<Opx16s>(rng.uniform(-32768, 32767));
        case Kind::kExtreme: return static_cast<Opx16s>(rng.coin() ? -32768 : 32767);
        case Kind::kSparse: return static_cast<Opx16s>(rng.uniform(0, 5) ? 0 : rng.uniform(-40, 40));
    }
    return 0;
}

// A scan matrix: the zig-zag, or a random permutation of 0..n-1 with some large values and some
// negative ones (which never win over the 0 of `last`).
std::vector<Opx16s> scan_of(Rng& rng, int n) {
    std::vector<Opx16s> s(n);
    for (int i = 0; i < n; ++i) s[i] = static_cast<Opx16s>(n == 16 ? kZigzag4x4[i] : i);
    for (int i = n - 1; i > 0; --i) std::swap(s[i], s[rng.uniform(0, i)]);
    if (rng.uniform(0, 3) == 0) s[rng.uniform(0, n - 1)] = 32767;
    if (rng.uniform(0, 3) == 0) s[rng.uniform(0, n - 1)] = rng.coin() ? -32768 : -5;
    return s;
}

// Blocks of T placed against an unreadable page (front or back): a kernel that reads or writes
// one element too many faults.
template <class T>
T* guarded(GuardedBuffer& g, int n, bool at_front) {
    return reinterpret_cast<T*>(g.place(static_cast<std::ptrdiff_t>(n * sizeof(T)), 1, 0, at_front));
}

bool same_facts(BlockFacts a, BlockFacts b) { return a.count == b.count && a.last == b.last; }

// The 16s transform-quantiser and luma DC kernels of a table, which store their facts.
BlockFacts trans_quant4x4(const FwdKernels& k, const Opx16s* src, Opx16s* dst, int qp, int intra,
                          const Opx16s* scan, const Opx16s* scale) {
    BlockFacts f{};
    EXPECT_EQ(k.trans_quant4x4(src, dst, qp, &f.count, intra, scan, &f.last, scale), opxOk);
    return f;
}
BlockFacts luma_dc(const FwdKernels& k, Opx16s* srcdst, Opx16s* tblock, int qp, int need_transform,
                   const Opx16s* scan, const Opx16s* scale) {
    BlockFacts f{};
    EXPECT_EQ(k.luma_dc(srcdst, tblock, qp, &f.count, need_transform, scan, &f.last, scale), opxOk);
    return f;
}

// The 16s 8x8 quantiser of a table, whose kernel stores its facts.
BlockFacts quant8x8(const FwdKernels& k, const Opx16s* src, Opx16s* dst, int qp_per, int intra,
                    const Opx16s* scan, const Opx16u* scale) {
    BlockFacts f{};
    EXPECT_EQ(k.quant8x8(src, dst, qp_per, intra, scan, scale, &f.count, &f.last), opxOk);
    return f;
}

// The 16s quantiser of a table, whose kernel stores its facts.
BlockFacts quant4x4(const FwdKernels& k, const Opx16s* src, Opx16s* dst, int qp, int intra,
                    const Opx16s* scan, const Opx16u* scale) {
    BlockFacts f{};
    EXPECT_EQ(k.quant4x4(src, dst, &f.count, &f.last, scale, scan, qp, intra), opxOk);
    return f;
}

// ---- differential --------------------------------------------------------------------------

// The 4x4 transform-quantiser, the quantiser alone and the luma and chroma DC paths (chroma to
// qp 39) at every qp: intra and inter (needTransform for the luma DC), flat and caller scales
// (65535 in the last round), blocks against unreadable pages.
TEST(H264FwdDifferential, FourByFourAndDcEveryQpOffsetAndScale) {
    Rng rng;
    for (bool at_front : {false, true}) {
        GuardedBuffer g[7] = {GuardedBuffer(4096), GuardedBuffer(4096), GuardedBuffer(4096),
                              GuardedBuffer(4096), GuardedBuffer(4096), GuardedBuffer(4096),
                              GuardedBuffer(4096)};
        Opx16s* scan = guarded<Opx16s>(g[4], 16, at_front);
        Opx16s* scale = guarded<Opx16s>(g[5], 16, !at_front);
        Opx16s* dc_scale = guarded<Opx16s>(g[6], 1, at_front);  // the DC paths read one
        // Source and output blocks of n elements for the portable (w) and AVX2 (g) kernels.
        Opx16s *sw, *sg, *tw, *tg;
        auto blocks = [&](int n, Kind kind) {
            sw = guarded<Opx16s>(g[0], n, at_front), sg = guarded<Opx16s>(g[1], n, !at_front);
            tw = guarded<Opx16s>(g[2], n, at_front), tg = guarded<Opx16s>(g[3], n, !at_front);
            for (int i = 0; i < n; ++i) sw[i] = sg[i] = value16(rng, kind);
            for (int i = 0; i < n; ++i) tw[i] = tg[i] = value16(rng, kind);
        };
        auto same = [&](BlockFacts a, BlockFacts b, int n) {
            if (!regions_equal(tw, 0, tg, 0, n, 1) || !regions_equal(sw, 0, sg, 0, n, 1))
                return testing::AssertionFailure() << regions_equal(tw, 0, tg, 0, n, 1).message()
                                                   << regions_equal(sw, 0, sg, 0, n, 1).message();
            if (same_facts(a, b)) return testing::AssertionSuccess();
            return testing::AssertionFailure() << "count " << a.count << " / " << b.count
                                               << ", last " << a.last << " / " << b.last;
        };
        for (int qp = 0; qp <= 51; ++qp)
            for (Kind kind : kKinds)
                for (int round = 0; round < 8; ++round) {
                    SCOPED_TRACE(testing::Message() << "qp " << qp << " round " << round);
                    const auto sc = scan_of(rng, 16);
                    std::copy(sc.begin(), sc.end(), scan);
                    for (int i = 0; i < 16; ++i)
                        scale[i] = static_cast<Opx16s>(round == 7 ? 65535 : rng.uniform(1, 13107));
                    const bool odd = round & 1, intra = round & 4;
                    const Opx16s* sp = round & 2 ? scale : nullptr;
                    const Opx16u* up = reinterpret_cast<const Opx16u*>(sp);
                    dc_scale[0] = scale[0];
                    const Opx16s* dp = sp ? dc_scale : nullptr;
                    blocks(16, kind);
                    ASSERT_TRUE(same(trans_quant4x4(ref::kFwd, sw, tw, qp, odd, scan, sp),
                                     trans_quant4x4(avx2::kFwd, sg, tg, qp, odd, scan, sp), 16));
                    blocks(16, kind);
                    ASSERT_TRUE(same(quant4x4(ref::kFwd, sw, tw, qp, odd, scan, up),
                                     quant4x4(avx2::kFwd, sg, tg, qp, odd, scan, up), 16));
                    blocks(16, kind);
                    ASSERT_TRUE(same(luma_dc(ref::kFwd, sw, tw, qp, odd, scan, dp),
                                     luma_dc(avx2::kFwd, sg, tg, qp, odd, scan, dp), 16));
                    if (qp > 39) continue;
                    // Chroma DC 2x2 (the 2x4 kernel is the portable one in both tables): the facts
                    // are the count alone.
                    blocks(8, kind);
                    BlockFacts a{}, b{};
                    ASSERT_EQ(ref::kFwd.chroma_dc2x2(sw, tw, qp, &a.count, intra, odd, dp), opxOk);
                    ASSERT_EQ(avx2::kFwd.chroma_dc2x2(sg, tg, qp, &b.count, intra, odd, dp), opxOk);
                    ASSERT_TRUE(same(a, b, 8));
                }
    }
}

// An n x n block of +-amp (or +-(amp + 1)) with the signs of basis function uv % (n n) of the
// n-point DCT: it drives that function's coefficient to its largest magnitude. Bit 2 log2(n) of
// uv negates the block, the next bit adds 1 to amp.
static void basis_signs(Opx16s* dst, int n, int uv, int amp) {
    const int nn = n * n, u = (uv % nn) / n, v = uv % n;
    auto sgn = [n](int x, int f) {
        return std::cos((2 * x + 1) * f * M_PI / (2 * n)) < 0 ? -1 : 1;
    };
    const int a = (uv & 2 * nn ? amp + 1 : amp) * (uv & nn ? -1 : 1);
    for (int i = 0; i < nn; ++i) dst[i] = static_cast<Opx16s>(a * sgn(i / n, u) * sgn(i % n, v));
}

TEST(H264FwdDifferential, TransformsAndPrediction) {
    Rng rng;
    for (bool at_front : {false, true}) {
        GuardedBuffer gs(4096), gd(4096), gd2(4096);
        for (Kind kind : kKinds)
            for (int round = 0; round < 200; ++round) {
                Opx16s* src = guarded<Opx16s>(gs, 64, at_front);
                Opx16s* want = guarded<Opx16s>(gd, 64, at_front);
                Opx16s* got = guarded<Opx16s>(gd2, 64, !at_front);
                for (int i = 0; i < 64; ++i) src[i] = value16(rng, kind);
                ref::kFwd.transform8x8(src, want);
                avx2::kFwd.transform8x8(src, got);
                ASSERT_TRUE(regions_equal(want, 0, got, 0, 64, 1));
                std::memcpy(got, src, 128);
                avx2::kFwd.transform8x8(got, got);  // in place
                ASSERT_TRUE(regions_equal(want, 0, got, 0, 64, 1));

                Opx16s* s4 = guarded<Opx16s>(gs, 16, at_front);
                Opx16s* w4 = guarded<Opx16s>(gd, 16, at_front);
                Opx16s* g4 = guarded<Opx16s>(gd2, 16, !at_front);
                for (int i = 0; i < 16; ++i) s4[i] = value16(rng, kind);
                ref::kFwd.transform4x4(s4, w4);
                avx2::kFwd.transform4x4(s4, g4);
                ASSERT_TRUE(regions_equal(w4, 0, g4, 0, 16, 1));
            }
        // The largest coefficients of the 16-bit 8x8 path: +-427 (and 428, just past it) with
        // the signs of a basis function, which drive that function's coefficient to its largest
        // magnitude (64 x 427 = 27328 for the DC).
        for (int uv = 0; uv < 64 * 4; ++uv) {
            Opx16s* src = guarded<Opx16s>(gs, 64, at_front);
            Opx16s want[64], got[64];
            basis_signs(src, 8, uv, 427);
            ref::kFwd.transform8x8(src, want);
            avx2::kFwd.transform8x8(src, got);
            ASSERT_TRUE(regions_equal(want, 0, got, 0, 64, 1)) << "basis " << uv;
        }
        // The same for the 4x4 transform-quantiser's exact 16-bit path: +-910 (and 911, past
        // it), whose largest gain is 36 (36 x 910 = 32760).
        for (int uv = 0; uv < 16 * 4; ++uv) {
            Opx16s* src = guarded<Opx16s>(gs, 16, at_front);
            Opx16s want[16], got[16];
            basis_signs(src, 4, uv, 910);
            const int qp = uv % 52;
            const Opx16s* zz = kZigzag4x4;
            ASSERT_TRUE(same_facts(trans_quant4x4(ref::kFwd, src, want, qp, 1, zz, nullptr),
                                   trans_quant4x4(avx2::kFwd, src, got, qp, 1, zz, nullptr)));
            ASSERT_TRUE(regions_equal(want, 0, got, 0, 16, 1)) << "basis " << uv;
        }
        for (std::int32_t step : {4, 5, 16, -4, -37}) {
            GuardedBuffer gp(4096);
            const Opx8u* pix = gp.place(4, 4, step, at_front);
            ASSERT_NE(pix, nullptr);
            for (std::size_t i = 0; i < gp.size(); ++i)
                gp.begin()[i] = static_cast<Opx8u>(i % 3 ? rng.next() : (i & 1) * 255);
            Opx16s want[16], got[16];
            ref::kFwd.transform_pred(pix, step, want);
            avx2::kFwd.transform_pred(pix, step, got);
            ASSERT_TRUE(regions_equal(want, 0, got, 0, 16, 1)) << "step " << step;
        }
    }
}

// The 16-bit-lane quantisers split |c| x s + f into halves and carry from the low one: every
// coefficient -32768..32767, at every qp and offset (flat 4x4 and DC scales) and at qp_per 0..8
// with scales where the carry and the clamp bite and random ones (8x8).
TEST(H264FwdDifferential, EveryCoefficientThroughTheSixteenBitQuantisers) {
    auto block = [](int b, Opx16s* c, int n) {
        for (int i = 0; i < n; ++i) c[i] = static_cast<Opx16s>(-32768 + b * n + i);
    };
    Opx16s c[16], want[16], got[16], tw[16], tg[16];
    for (int qp = 0; qp <= 51; ++qp)
        for (bool intra : {false, true})
            for (int b = 0; b < 65536 / 16; ++b) {
                block(b, c, 16);
                ASSERT_TRUE(
                    same_facts(quant4x4(ref::kFwd, c, want, qp, intra, kZigzag4x4, nullptr),
                               quant4x4(avx2::kFwd, c, got, qp, intra, kZigzag4x4, nullptr)));
                ASSERT_TRUE(regions_equal(want, 0, got, 0, 16, 1)) << "qp " << qp;
                std::copy(c, c + 16, tw), std::copy(c, c + 16, tg);
                ASSERT_TRUE(same_facts(luma_dc(ref::kFwd, want, tw, qp, 0, kZigzag4x4, nullptr),
                                       luma_dc(avx2::kFwd, got, tg, qp, 0, kZigzag4x4, nullptr)));
                ASSERT_TRUE(regions_equal(want, 0, got, 0, 16, 1)) << "qp " << qp;
                if (qp > 39) continue;
                std::copy(c, c + 4, tw), std::copy(c, c + 4, tg);
                Opx32s na = 0, ng = 0;
                ASSERT_EQ(ref::kFwd.chroma_dc2x2(want, tw, qp, &na, intra, 0, nullptr), opxOk);
                ASSERT_EQ(avx2::kFwd.chroma_dc2x2(got, tg, qp, &ng, intra, 0, nullptr), opxOk);
                ASSERT_EQ(na, ng);
                ASSERT_TRUE(regions_equal(want, 0, got, 0, 4, 1)) << "qp " << qp;
            }
    // 8x8: the blocks, scan and scales against unreadable pages; random scans; scale 0 stands
    // for random scales per position.
    Rng rng;
    GuardedBuffer gs(4096), gd(4096), gd2(4096), gsc(4096), gl(4096);
    for (int per = 0; per <= 8; ++per)
        for (bool intra : {false, true})
            for (int s : {0, 1, 2, 13107, 20972, 32768, 65534, 65535}) {
                const bool front = (per + s) & 1;
                Opx16s* src = guarded<Opx16s>(gs, 64, front);
                Opx16s* w = guarded<Opx16s>(gd, 64, front);
                Opx16s* g = guarded<Opx16s>(gd2, 64, !front);
                Opx16s* scan = guarded<Opx16s>(gsc, 64, front);
                Opx16u* scale = guarded<Opx16u>(gl, 64, !front);
                const auto sc = scan_of(rng, 64);
                std::copy(sc.begin(), sc.end(), scan);
                for (int i = 0; i < 64; ++i)
                    scale[i] = static_cast<Opx16u>(s ? s : rng.uniform(1, 65535));
                for (int b = 0; b < 65536 / 64; ++b) {
                    block(b, src, 64);
                    const BlockFacts a = quant8x8(ref::kFwd, src, w, per, intra, scan, scale);
                    const BlockFacts v = quant8x8(avx2::kFwd, src, g, per, intra, scan, scale);
                    ASSERT_TRUE(regions_equal(w, 0, g, 0, 64, 1)) << "qpPer " << per << " s " << s;
                    ASSERT_TRUE(same_facts(a, v)) << "qpPer " << per << " s " << s;
                }
            }
}

// ---- round trips through the library's inverse path ------------------------------------------

double qstep(int qp) { return 0.625 * std::pow(2.0, qp / 6.0); }

// 8x8: samples -> residual -> 8x8 forward transform -> quantisation with the flat scales of
// GenScaleLevel8x8 -> the library's 8x8 dequantisation and inverse transform with prediction.
TEST(H264FwdRoundTrip, Luma8x8ThroughGeneratedScales) {
    Rng rng;
    Opx8u flat[64];
    std::fill(flat, flat + 64, 16);
    Opx16s scan[64];
    for (int i = 0; i < 64; ++i) scan[i] = static_cast<Opx16s>(i);
    for (int qp = 0; qp <= 51; ++qp) {
        Opx16u deq[64], quant[64];
        ASSERT_EQ(opxiGenScaleLevel8x8_H264_8u16s_D2(flat, 8, deq, quant, qp % 6), opxOk);
        Opx16s ls[64];
        for (int i = 0; i < 64; ++i) ls[i] = static_cast<Opx16s>(deq[i]);
        const double bound = 8 * (5.0 / 6.0) * qstep(qp) * 1.03 + 2;
        for (int round = 0; round < 12; ++round) {
            Opx8u cur[64], pred[64], rec[64];
            Opx16s c[64], level[64];
            for (int i = 0; i < 64; ++i) {
                cur[i] = static_cast<Opx8u>(round % 3 ? rng.uniform(0, 255) : (i & 1) * 255);
                pred[i] = static_cast<Opx8u>(round % 3 ? rng.uniform(0, 255) : 255 - cur[i]);
                c[i] = static_cast<Opx16s>(cur[i] - pred[i]);
            }
            ASSERT_EQ(opxiTransformFwdLuma8x8_H264_16s_C1(c, c), opxOk);
            Opx32s num = 0, last = 0;
            ASSERT_EQ(opxiQuantLuma8x8_H264_16s_C1(c, level, qp / 6, round & 1, scan, quant, &num,
                                                   &last),
                      opxOk);
            ASSERT_EQ(opxiQuantLuma8x8Inv_H264_16s_C1I(level, qp / 6, ls), opxOk);
            ASSERT_EQ(opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(pred, 8, level, rec, 8), opxOk);
            for (int i = 0; i < 64; ++i) {
                const int want = cur[i];
                // Clamping to 0..255 only brings the sample closer.
                ASSERT_LE(std::abs(rec[i] - want), bound) << "qp " << qp << " position " << i;
            }
        }
    }
}

// Intra 16x16: sixteen 4x4 blocks, their DC values through the luma DC path and their AC
// through the 4x4 path, reconstructed by the decoder's luma DC and 4x4 functions; and the chroma
// DC paths (2x2 and 2x4) the same way.
template <int Blocks>
void dc_round_trip(int qp, Rng& rng) {
    Opx16s r[Blocks][16], coef[Blocks][16], dc[16] = {}, t[16];
    for (int b = 0; b < Blocks; ++b) {
        const int base = static_cast<int>(rng.uniform(-200, 200));
        for (int i = 0; i < 16; ++i)
            r[b][i] = static_cast<Opx16s>(std::clamp<int>(base + static_cast<int>(rng.uniform(-40, 40)), -255, 255));
        ASSERT_EQ(opxiTransformResidual4x4Fwd_H264_16s_C1(r[b], coef[b]), opxOk);
        dc[b] = coef[b][0];
    }
    Opx32s num = 0, last = 0;
    if constexpr (Blocks == 16) {
        ASSERT_EQ(opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(dc, t, qp, &num, 1, kZigzag4x4,
                                                              &last, nullptr),
                  opxOk);
        ASSERT_EQ(opxiTransformDequantLumaDC_H264_16s_C1I(dc, qp), opxOk);
    } else if constexpr (Blocks == 4) {
        ASSERT_EQ(opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(dc, t, qp, &num, 1, 1, nullptr),
                  opxOk);
        ASSERT_EQ(opxiTransformDequantChromaDC_H264_16s_C1I(dc, qp), opxOk);
    } else {
        ASSERT_EQ(opxiTransformQuantFwdChromaDC2x4_H264_16s_C1I(dc, t, qp, &num, 0, 1, nullptr),
                  opxOk);
        ASSERT_EQ(opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(dc, qp, nullptr), opxOk);
    }
    const double bound = 4 * (5.0 / 6.0) * qstep(Blocks == 8 ? qp + 3 : qp) * 1.05 + 3;
    for (int b = 0; b < Blocks; ++b) {
        Opx16s level[16];
        ASSERT_EQ(opxiTransformQuantFwd4x4_H264_16s_C1(r[b], level, qp, &num, 1, kZigzag4x4,
                                                       &last, nullptr),
                  opxOk);
        ASSERT_EQ(opxiDequantTransformResidual_H264_16s_C1I(level, 8, &dc[b], 1, qp), opxOk);
        for (int i = 0; i < 16; ++i)
            ASSERT_LE(std::abs(level[i] - r[b][i]), bound)
                << Blocks << " blocks, qp " << qp << " block " << b << " position " << i;
    }
}

TEST(H264FwdRoundTrip, LumaDcAndChromaDcThroughTheDecoder) {
    Rng rng;
    for (int qp = 0; qp <= 51; ++qp)
        for (int round = 0; round < 8; ++round) {
            dc_round_trip<16>(qp, rng);
            if (qp <= 39) dc_round_trip<4>(qp, rng);
            if (qp <= 39) dc_round_trip<8>(qp, rng);
        }
}

// ---- rules -------------------------------------------------------------------------------

// The rounding offsets at their exact boundaries (qp 0: q 15, scale 13107 at position 0):
// f = 10922 (intra) and 5461 (inter) each just reach the next level; one less, or the other
// kind's offset, does not. The 32s form the same; the 16s32s form takes the caller's scales
// with q = 11 (scale 1: f = 682 intra, 341 inter; 1366 reaches 1 only with the intra offset,
// 1706 stays 0 only with the inter one).
TEST(H264FwdRules, RoundingOffsetsOfIntraAndInterBlocks) {
    Opx32s one[16];
    std::fill(one, one + 16, 1);
    for (const auto& [intra, c, want, c1, want1] :
         {std::tuple{1, 21842, 8737, 1366, 1}, std::tuple{0, 27305, 10922, 1706, 0}}) {
        Opx16s coef[16] = {static_cast<Opx16s>(c)}, level[16], coef1[16] = {Opx16s(c1)};
        Opx32s wide[16] = {c}, l32[16], l16s32[16], num = 0, last = 0;
        ASSERT_EQ(opxiQuantizeResidual4x4Fwd_H264_16s_C1(coef, level, &num, &last, nullptr,
                                                         kZigzag4x4, 0, intra),
                  opxOk);
        ASSERT_EQ(opxiQuantizeResidual4x4Fwd_H264_32s_C1(wide, l32, &num, &last, nullptr,
                                                         kZigzag4x4, 0, intra),
                  opxOk);
        ASSERT_EQ(opxiQuantizeResidual4x4Fwd_H264_16s32s_C1(coef1, l16s32, &num, &last, one,
                                                            kZigzag4x4, 0, intra),
                  opxOk);
        EXPECT_EQ(level[0], want) << "intra " << intra;
        EXPECT_EQ(l32[0], want) << "intra " << intra;
        EXPECT_EQ(l16s32[0], want1) << "intra " << intra;
    }
}

// Mended: |c| x s + f overflows 32 bits at high qp; the product is exact.
TEST(H264FwdRules, WideFormsUseExactProducts) {
    Opx32s c[16] = {INT32_MAX, 0, -INT32_MAX}, l[16], num, last;  // positions of class a
    // qp 84: q = 29, s = 13107, f = 2^29 / 3; (2147483647 * 13107 + 178956970) >> 29 = 52428.
    ASSERT_EQ(opxiQuantizeResidual4x4Fwd_H264_32s_C1(c, l, &num, &last, nullptr, kZigzag4x4, 84, 1),
              opxOk);
    EXPECT_EQ(l[0], 52428);
    EXPECT_EQ(l[2], -52428);
    EXPECT_EQ(num, 2);
    // A caller scale of 2^31 - 1 on 2^31 - 1 at q = 11: the level saturates to the 32-bit range.
    Opx32s sc[16];
    std::fill(sc, sc + 16, INT32_MAX);
    ASSERT_EQ(opxiQuantizeResidual4x4Fwd_H264_32s_C1(c, l, &num, &last, sc, kZigzag4x4, 0, 1),
              opxOk);
    EXPECT_EQ(l[0], INT32_MAX);
    EXPECT_EQ(l[2], -INT32_MAX - 1);
}

// needTransform 0: pTBlock is quantised as it stands and left unchanged; pSrcDst's input is not
// used.
TEST(H264FwdRules, NoTransformReadsAndKeepsTBlock) {
    Opx16s t[16], keep[16], a[16], b[16];
    Opx32s num, last;
    for (int i = 0; i < 16; ++i) t[i] = keep[i] = static_cast<Opx16s>(i * 300 - 2000);
    std::fill(a, a + 16, 1234);
    std::fill(b, b + 16, -77);
    ASSERT_EQ(opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(a, t, 10, &num, 0, kZigzag4x4, &last,
                                                          nullptr),
              opxOk);
    ASSERT_EQ(opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(b, t, 10, &num, 0, kZigzag4x4, &last,
                                                          nullptr),
              opxOk);
    EXPECT_TRUE(regions_equal(keep, 0, t, 0, 16, 1));
    EXPECT_TRUE(regions_equal(a, 0, b, 0, 16, 1));
    Opx16s c[8] = {}, tc[8];
    for (int i = 0; i < 8; ++i) tc[i] = keep[i];
    ASSERT_EQ(opxiTransformQuantFwdChromaDC2x4_H264_16s_C1I(c, tc, 10, &num, 1, 0, nullptr), opxOk);
    EXPECT_TRUE(regions_equal(keep, 0, tc, 0, 8, 1));
    ASSERT_EQ(opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(c, tc, 10, &num, 1, 0, nullptr), opxOk);
    EXPECT_TRUE(regions_equal(keep, 0, tc, 0, 4, 1));
}

// The older functions accept 2063 and refuse 2064 with nothing written (mended: levels, pTBlock
// and the facts stay as they were).
TEST(H264FwdRules, OlderFunctionsGuardTheLevelRange) {
    // Luma DC at qp 0 without transform: level = (t * 13107 + 21845) >> 16.
    auto level_of = [](int t) { return (static_cast<std::int64_t>(t) * 13107 + 21845) >> 16; };
    int t2063 = 0;
    while (level_of(t2063 + 1) <= 2063) ++t2063;
    for (int t : {t2063, t2063 + 1}) {
        Opx16s dc[16], tb[16] = {static_cast<Opx16s>(-t)};
        std::fill(dc, dc + 16, 99);
        Opx8s num = 55;
        Opx8u last = 66;
        const OpxResult r = opxiTransformQuantLumaDC_H264_16s_C1I(dc, tb, 0, &num, 0, kZigzag4x4, &last);
        if (level_of(t) <= 2063) {
            EXPECT_EQ(r, opxOk);
            EXPECT_EQ(dc[0], -2063);
            EXPECT_EQ(num, -1);
        } else {
            EXPECT_EQ(r, opxErrLevelRange);
            EXPECT_EQ(dc[0], 99);
            EXPECT_EQ(num, 55);
            EXPECT_EQ(last, 66);
        }
    }
    // The residual form against the current function's levels on constant blocks around the
    // limit (DC level ~ 6.4 x residual at qp 0).
    for (int v = 300; v <= 340; ++v) {
        Opx16s r[16], l[16];
        std::fill(r, r + 16, static_cast<Opx16s>(v));
        r[5] = static_cast<Opx16s>(v - 3);
        Opx32s num32, last32;
        opxiTransformQuantFwd4x4_H264_16s_C1(r, l, 0, &num32, 1, kZigzag4x4, &last32, nullptr);
        const int biggest = std::abs(*std::max_element(l, l + 16, [](Opx16s a, Opx16s b) {
            return std::abs(a) < std::abs(b);
        }));
        Opx16s io[16];
        std::copy(r, r + 16, io);
        Opx8s num = 55;
        Opx8u last = 66;
        const OpxResult res = opxiTransformQuantResidual_H264_16s_C1I(io, 0, &num, 1, kZigzag4x4, &last);
        if (biggest <= 2063) {
            ASSERT_EQ(res, opxOk) << v;
            ASSERT_TRUE(regions_equal(l, 0, io, 0, 16, 1));
            ASSERT_EQ(num, num32);
            ASSERT_EQ(last, last32);
        } else {
            ASSERT_EQ(res, opxErrLevelRange) << v;
            ASSERT_TRUE(regions_equal(r, 0, io, 0, 16, 1));
            ASSERT_EQ(num, 55);
        }
    }
    // Chroma DC, with its transform: a constant block of 4 x v.
    for (int v = 300; v <= 700; v += 7) {
        Opx16s c[4] = {static_cast<Opx16s>(v), static_cast<Opx16s>(v), static_cast<Opx16s>(v),
                       static_cast<Opx16s>(v)};
        Opx16s tb[4] = {1, 2, 3, 4};
        Opx8s num = 55;
        const std::int64_t want = (std::int64_t{4} * v * 13107 + 65536 / 3) >> 16;
        const OpxResult res = opxiTransformQuantChromaDC_H264_16s_C1I(c, tb, 0, &num, 1, 1);
        if (want <= 2063) {
            ASSERT_EQ(res, opxOk);
            ASSERT_EQ(c[0], want);
            ASSERT_EQ(tb[0], 4 * v);
        } else {
            ASSERT_EQ(res, opxErrLevelRange);
            ASSERT_EQ(c[0], v);
            ASSERT_EQ(tb[0], 1);
            ASSERT_EQ(num, 55);
        }
    }
}

// Mended: a weight of 0 gives a forward scale of 1 and a dequantisation scale of 0 (no
// division by zero); other weights give floor(MF / w).
TEST(H264FwdRules, GenScaleLevelWeights) {
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(i * 4);  // w[0] = 0
    for (int m = 0; m < 6; ++m) {
        Opx16u deq[64], q[64];
        ASSERT_EQ(opxiGenScaleLevel4x4_H264_8u16s_C1(w, deq, q, m), opxOk);
        EXPECT_EQ(q[0], 1);
        EXPECT_EQ(deq[0], 0);
        for (int i = 1; i < 16; ++i) {
            const unsigned mf = kQuantScale4x4[m][class4x4(i)];
            EXPECT_LE(q[i] * w[i], mf);
            EXPECT_GT((q[i] + 1u) * w[i], mf);
        }
        ASSERT_EQ(opxiGenScaleLevel8x8_H264_8u16s_D2(w, 8, deq, q, m), opxOk);
        EXPECT_EQ(q[0], 1);
        EXPECT_EQ(deq[0], 0);
        // Flat weights 16: the standard's LevelScale8x8 = 16 x normAdjust8x8.
        Opx8u flat[8 * 11];
        std::fill(flat, flat + 88, 16);
        ASSERT_EQ(opxiGenScaleLevel8x8_H264_8u16s_D2(flat, 11, deq, q, m), opxOk);
        constexpr int kNormAdjust8x8Class0[6] = {20, 22, 26, 28, 32, 36};
        EXPECT_EQ(deq[0], 16 * kNormAdjust8x8Class0[m]);
        EXPECT_EQ(q[0], kQuantScale8x8Raster[m][0] / 16);
    }
}

TEST(H264FwdRules, TransformOnlySixteenBitSaturates) {
    Opx16s x[16], y[16];
    std::fill(x, x + 16, 32767);
    ASSERT_EQ(opxiTransformResidual4x4Fwd_H264_16s_C1(x, y), opxOk);
    EXPECT_EQ(y[0], 32767);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(y[i], 0);
    Opx32s a[16], b[16];
    std::fill(a, a + 16, 1000);
    ASSERT_EQ(opxiTransformResidual4x4Fwd_H264_32s_C1(a, b), opxOk);
    EXPECT_EQ(b[0], 16000);
    Opx8u pix[4 * 7];
    std::fill(pix, pix + 28, 255);
    ASSERT_EQ(opxiTransformPrediction_H264_8u16s_C1(pix, 7, y), opxOk);
    EXPECT_EQ(y[0], 16 * 255);
    Opx16s big[64];
    std::fill(big, big + 64, -32768);
    ASSERT_EQ(opxiTransformLuma8x8Fwd_H264_16s_C1I(big), opxOk);
    EXPECT_EQ(big[0], -32768);
    Opx32s wide[64];
    std::fill(big, big + 64, -32768);
    ASSERT_EQ(opxiTransformFwdLuma8x8_H264_16s32s_C1(big, wide), opxOk);
    EXPECT_EQ(wide[0], -32768 * 64);
}

// ---- null pointers -------------------------------------------------------------------------

OPX_NULL_CALL(opxiTransformQuantFwd4x4_H264_16s_C1, nul(s.s16(0)), nul(s.s16(1)), 10, nul(s.s32(2)),
              1, nul(s.s16(3)), nul(s.s32(4)), nullptr)
OPX_NULL_CALL(opxiTransformQuantFwd4x4_H264_16s32s_C1, nul(s.s16(0)), nul(s.s32(1)), 10,
              nul(s.s32(2)), 1, nul(s.s16(3)), nul(s.s32(4)), nullptr)
OPX_NULL_CALL(opxiQuantizeResidual4x4Fwd_H264_16s_C1, nul(s.s16(0)), nul(s.s16(1)), nul(s.s32(2)),
              nul(s.s32(3)), nullptr, nul(s.s16(4)), 10, 1)
OPX_NULL_AUTO(opxiQuantizeResidual4x4Fwd_H264_16s32s_C1, 10, 1)
OPX_NULL_CALL(opxiQuantizeResidual4x4Fwd_H264_32s_C1, nul(s.s32(0)), nul(s.s32(1)), nul(s.s32(2)),
              nul(s.s32(3)), nullptr, nul(s.s16(4)), 10, 1)
OPX_NULL_CALL(opxiTransformResidual4x4Fwd_H264_16s_C1, nul(s.s16(0)), nul(s.s16(1)))
OPX_NULL_CALL(opxiTransformResidual4x4Fwd_H264_32s_C1, nul(s.s32(0)), nul(s.s32(1)))
OPX_NULL_CALL(opxiTransformFwdLuma8x8_H264_16s_C1, nul(s.s16(0)), nul(s.s16(1)))
OPX_NULL_CALL(opxiTransformFwdLuma8x8_H264_16s32s_C1, nul(s.s16(0)), nul(s.s32(1)))
OPX_NULL_CALL(opxiTransformLuma8x8Fwd_H264_16s_C1I, nul(s.s16(0)))
OPX_NULL_AUTO(opxiQuantLuma8x8_H264_16s_C1, 3, 1)
OPX_NULL_AUTO(opxiQuantLuma8x8_H264_32s_C1, 3, 1)
OPX_NULL_CALL(opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I, nul(s.s16(0)), nul(s.s16(1)), 10,
              nul(s.s32(2)), 1, nul(s.s16(3)), nul(s.s32(4)), nullptr)
OPX_NULL_CALL(opxiTransformQuantFwdLumaDC4x4_H264_32s_C1I, nul(s.s32(0)), nul(s.s32(1)), 10,
              nul(s.s32(2)), 1, nul(s.s16(3)), nul(s.s32(4)), nullptr)
OPX_NULL_CALL(opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I, nul(s.s16(0)), nul(s.s16(1)), 10,
              nul(s.s32(2)), 1, 1, nullptr)
OPX_NULL_CALL(opxiTransformQuantFwdChromaDC2x2_H264_32s_C1I, nul(s.s32(0)), nul(s.s32(1)), 10,
              nul(s.s32(2)), 1, 1, nullptr)
OPX_NULL_CALL(opxiTransformQuantFwdChromaDC2x4_H264_16s_C1I, nul(s.s16(0)), nul(s.s16(1)), 10,
              nul(s.s32(2)), 1, 1, nullptr)
OPX_NULL_CALL(opxiTransformQuantFwdChromaDC2x4_H264_32s_C1I, nul(s.s32(0)), nul(s.s32(1)), 10,
              nul(s.s32(2)), 1, 1, nullptr)
OPX_NULL_AUTO(opxiTransformQuantResidual_H264_16s_C1I, 10, 1)
OPX_NULL_AUTO(opxiTransformQuantLumaDC_H264_16s_C1I, 10, 1)
OPX_NULL_AUTO(opxiTransformQuantChromaDC_H264_16s_C1I, 10, 1, 1)
OPX_NULL_CALL(opxiTransformPrediction_H264_8u16s_C1, nul(s.u8(0)), 16, nul(s.s16(1)))
OPX_NULL_CALL(opxiGenScaleLevel4x4_H264_8u16s_C1, nul(s.u8(0)), nul(s.u16(1)), nul(s.u16(2)), 3)
OPX_NULL_CALL(opxiGenScaleLevel8x8_H264_8u16s_D2, nul(s.u8(0)), 8, nul(s.u16(1)), nul(s.u16(2)), 3)

}  // namespace
}  // namespace opx::test
