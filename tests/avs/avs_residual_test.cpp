// AVS residual path: the VLC tables against the standard's token lists, block decoding of
// streams made by an independent encoder (both kernel tables), invalid codes, the dequantise +
// inverse transform kernels (AVX2 against portable, orientation of the transform, kernel choice
// by numCoeff), the exported reconstruction and intra coding functions and their round trip.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "avs/avs.hpp"
#include "avs/avs_tables.hpp"
#include "avs/avs_test_util.hpp"
#include "harness/harness.hpp"
#include "harness/pinned.hpp"

namespace opx::test::avs {
namespace {

using namespace opx::avs;

const VlcTable& library_table(int i) {
    return i < 7 ? kIntraVlc[i] : (i < 14 ? kInterVlc[i - 7] : kChromaVlc[i - 14]);
}

// ---- tables ------------------------------------------------------------------------------------

TEST(AvsVlcTables, MatchTheStandardsTokenLists) {
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(kTokenLists[i].name);
        const auto want = parse_tokens(kTokenLists[i].tokens);
        ASSERT_EQ(want.size(), 59u);
        const VlcTable& t = library_table(i);
        for (int c = 0; c < 59; ++c) {
            EXPECT_EQ(t.entry[c].run, want[c].run) << "code " << c;
            EXPECT_EQ(t.entry[c].level, want[c].level) << "code " << c;
        }
        const auto ref = parse_list(kTokenLists[i].ref_abs_level);
        EXPECT_EQ(t.max_run + 1u, ref.size());
        for (std::size_t r = 0; r < ref.size(); ++r) EXPECT_EQ(t.ref_abs_level[r], ref[r]) << r;
    }
}

TEST(AvsVlcTables, ScansArePermutations) {
    for (int s = 0; s < 2; ++s) {
        std::array<int, 64> seen{};
        for (int i = 0; i < 64; ++i) ++seen[kScan[s][i]];
        for (int v : seen) EXPECT_EQ(v, 1);
    }
}

// ---- block decoding ----------------------------------------------------------------------------

constexpr const char* kKindNames[3] = {"intra", "inter", "chroma"};

OpxResult decode_call(int kind, Opx32u** s, Opx32s* off, Opx32s* num, Opx16s* dst, Opx32s scan) {
    return (kind == 0   ? opxiDecodeLumaBlockIntra_AVS_1u16s
            : kind == 1 ? opxiDecodeLumaBlockInter_AVS_1u16s
                        : opxiDecodeChromaBlock_AVS_1u16s)(s, off, num, dst, scan);
}

// Random sparse blocks in scan order: few coefficients, mostly small levels, some large (escapes
// that jump several tables), occasionally the last position 63.
std::vector<int> random_block(Rng& rng) {
    std::vector<int> c(64, 0);
    const int n = rng.uniform_int(0, 20);
    for (int i = 0; i < n; ++i) {
        const int pos = rng.uniform(0, 9) == 0 ? 63 : rng.uniform_int(0, 63);
        int level = rng.uniform_int(1, 3);
        const int r = rng.uniform_int(0, 19);
        if (r == 0) level = rng.uniform_int(4, 40);
        if (r == 1) level = rng.uniform_int(1000, 32767);
        c[pos] = rng.coin() ? level : -level;
    }
    if (rng.uniform(0, 30) == 0) c[63] = -32768;
    return c;
}

TEST(AvsDecodeBlock, IndependentlyEncodedBlocksDecodeExactlyWithBothTables) {
    Rng rng;
    for (int iter = 0; iter < 1500; ++iter) {
        const int kind = iter % 3;
        const bool field = (iter / 3) % 2;
        const int lead = rng.uniform_int(0, 40);
        std::vector<std::vector<int>> blocks;
        BitWriter w;
        w.put(rng.next(), lead);  // start anywhere in a word
        for (int b = 0; b < 3; ++b) {
            blocks.push_back(random_block(rng));
            ASSERT_TRUE(encode_block(w, kind, blocks.back(), rng.uniform(0, 7) == 0));
        }
        const long end_bits = static_cast<long>(w.size());
        const std::vector<std::uint32_t> words = w.words();
        for (const ResidualKernels* table :
             {&opx::avs::ref::kResidual, &opx::avs::avx2::kResidual}) {
            Opx32u* p = const_cast<Opx32u*>(words.data()) + lead / 32;
            Opx32s off = 31 - lead % 32;
            for (int b = 0; b < 3; ++b) {
                SCOPED_TRACE(testing::Message()
                             << kKindNames[kind] << " iter " << iter << " block " << b);
                std::array<Opx16s, 64> got;
                got.fill(0x5555);
                Opx32s num = -1;
                ASSERT_EQ(table->decode[kind](&p, &off, &num, got.data(), field), opxOk);
                std::array<Opx16s, 64> want{};
                int last = -1;
                for (int i = 0; i < 64; ++i) {
                    want[kScan[field][i]] = static_cast<Opx16s>(blocks[b][i]);
                    if (blocks[b][i]) last = i;
                }
                EXPECT_EQ(got, want);
                EXPECT_EQ(num, field ? 63 : last + 1);
            }
            EXPECT_EQ((p - words.data()) * 32 + (31 - off), end_bits);
        }
    }
}

struct Decoded {
    OpxResult result;
    std::array<Opx16s, 64> coeffs;
    Opx32s num;
    long bits;
};
Decoded decode_words(int kind, std::vector<std::uint32_t> words, Opx32s scan = 0) {
    Decoded d{};
    d.coeffs.fill(0x5555);
    d.num = -7;
    Opx32u* p = words.data();
    Opx32s off = 31;
    d.result = decode_call(kind, &p, &off, &d.num, d.coeffs.data(), scan);
    d.bits = (p - words.data()) * 32 + (31 - off);
    return d;
}

// Mended: the chroma decoder took the whole scanType as the scan table index.
TEST(AvsDecodeBlock, AnyNonzeroScanTypeIsFieldScanForEveryDecoder) {
    GuardedBuffer g(64 * sizeof(Opx16s));
    for (int kind = 0; kind < 3; ++kind)
        for (Opx32s scan : {1, 2, 3, -1, 0x7FFFFFFF}) {
            // (2, +1) then end of block: field scan position 2 is raster 16.
            BitWriter w;
            encode_block(w, kind, [] {
                std::vector<int> c(64);
                c[2] = 1;
                return c;
            }());
            std::vector<std::uint32_t> words = w.words();
            Opx32u* p = words.data();
            Opx32s off = 31, num = 0;
            Opx16s* dst = reinterpret_cast<Opx16s*>(g.begin());
            ASSERT_EQ(decode_call(kind, &p, &off, &num, dst, scan), opxOk) << kKindNames[kind];
            EXPECT_EQ(dst[16], 1) << kKindNames[kind] << " scan " << scan;
            EXPECT_EQ(num, 63);
        }
}

// Mended: the leading-zero count was unbounded; more than 24 zeros, or a level outside 16 bits,
// is an invalid code with the cursor as on entry and nothing written.
TEST(AvsDecodeBlock, InvalidCodesLeaveCursorAndOutputsUntouched) {
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kKindNames[kind]);
        std::vector<std::vector<std::uint32_t>> bad;
        {  // a valid pair, then 25 zeros and a one
            BitWriter w;
            w.exp_golomb(0, kKindCoding[kind].k_first[0]);
            for (int i = 0; i < 25; ++i) w.put_bit(0);
            w.put(1, 1);
            w.put(0, 30);
            bad.push_back(w.words(0, 4));
        }
        {  // escape whose level is 32768 + RefAbsLevel (outside 16 bits when positive), then EOB
            BitWriter w;
            w.exp_golomb(59 + 2 * 40 + 1, kKindCoding[kind].k_first[0]);
            w.exp_golomb(32767, kKindCoding[kind].k_escape);  // 32767 + 1
            w.exp_golomb(0, kKindCoding[kind].k_first[kKindCoding[kind].last]);
            bad.push_back(w.words());
        }
        for (auto& words : bad) {
            const Decoded d = decode_words(kind, words);
            EXPECT_EQ(d.result, opxErrH264VlcCode);
            EXPECT_EQ(d.bits, 0);  // the cursor as on entry
            EXPECT_EQ(d.num, -7);
            for (Opx16s v : d.coeffs) EXPECT_EQ(v, 0x5555);
        }
        {  // a negative escape level of exactly −32768 is valid
            BitWriter w;
            w.exp_golomb(59 + 2 * 40, kKindCoding[kind].k_first[0]);
            w.exp_golomb(32767, kKindCoding[kind].k_escape);
            w.exp_golomb(0, kKindCoding[kind].k_first[kKindCoding[kind].last]);  // end of block
            const Decoded d = decode_words(kind, w.words());
            EXPECT_EQ(d.result, opxOk);
            EXPECT_EQ(d.coeffs[kScan[0][40]], -32768);
        }
    }
    // Exactly 24 zeros are allowed (an escape of a huge run ends the block).
    BitWriter w;
    for (int i = 0; i < 24; ++i) w.put_bit(0);
    w.put(1, 1);
    w.put(0, 24 + 2);
    EXPECT_EQ(decode_words(0, w.words()).result, opxOk);
}

// ---- reconstruction kernels -------------------------------------------------------------------

using Block = std::array<Opx16s, 64>;
using Pixels = std::array<Opx8u, 64>;

Pixels run_recon(ReconFn fn, const Block& c, int qp, const Pixels& pred) {
    Pixels p = pred;
    fn(c.data(), qp, p.data(), 8);
    return p;
}

// Every kernel at every QP on single coefficients (the basis functions) and random blocks, pinned
// from the library while the per-sample model of dequantisation and of the standard's transform,
// R[y][x] = ((T[u][y] · ((w · T[v][x] + 4) >> 3)) + 64) >> 7, passed against it; the random
// blocks saturate the dequantised values at high QPs. The AVX2 kernels against the portable ones
// on those blocks and on full-range, extreme (±32768 alternating) and sparse blocks.
TEST(AvsReconKernels, EveryKernelAndQpPinnedAndAvx2MatchesPortable) {
    Rng rng(0x41565243ull), extra;
    Digest digest;
    for (int kernel = 0; kernel < kNumReconKernels; ++kernel)
        for (int qp = 0; qp < 64; ++qp)
            for (int k = 0; k < 64 + 8 + 6; ++k) {
                Block c{};
                Pixels pred;
                const int mode = k - 72;  // the blocks not pinned
                if (k < 64)
                    c[k] = static_cast<Opx16s>(k & 1 ? -2 - qp : 3 + qp);
                else if (mode < 0)
                    for (auto& v : c) v = static_cast<Opx16s>(rng.uniform(-k * 8, k * 8));
                for (int i = 0; mode >= 0 && i < 64; ++i)
                    c[i] = mode % 3 == 0   ? static_cast<Opx16s>(extra.next())
                           : mode % 3 == 1 ? ((i * 7 + qp) % 2 ? 32767 : -32768)
                           : extra.uniform(0, 5) == 0
                               ? static_cast<Opx16s>(extra.uniform(-300, 300))
                               : 0;
                for (auto& v : pred) v = static_cast<Opx8u>((mode < 0 ? rng : extra).next());
                if (mode >= 3) pred.fill(mode == 3 ? 0 : 255);
                const Pixels want = run_recon(opx::avs::ref::kResidual.recon[kernel], c, qp, pred);
                ASSERT_EQ(run_recon(opx::avs::avx2::kResidual.recon[kernel], c, qp, pred), want)
                    << "kernel " << kernel << " qp " << qp << " block " << k;
                if (mode < 0) digest.add(want.data(), 64);
            }
    EXPECT_EQ(digest.value(), 0x6500cbfff34318fdull) << std::hex << digest.value();
}

// Mended: the inverse transform was written in the forward orientation. A first horizontal
// frequency (row 0, column 1) changes across a row, not down a column.
TEST(AvsReconKernels, FirstHorizontalFrequencyVariesAlongTheRows) {
    Block c{};
    c[1] = 20;
    Pixels pred;
    pred.fill(128);
    const Pixels out = run_recon(opx::avs::ref::kResidual.recon[kReconFull], c, 40, pred);
    for (int y = 1; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(out[y * 8 + x], out[x]);
    EXPECT_GT(out[0], 128);
    EXPECT_LT(out[7], 128);
    EXPECT_EQ(out[0] - 128, 128 - out[7]);
}

TEST(AvsReconKernels, NumCoeffChoosesWhichCoefficientsAreRead) {
    EXPECT_EQ(recon_kernel(1), kReconDc);
    for (int n = 2; n <= 10; ++n) EXPECT_EQ(recon_kernel(n), kRecon4x4);
    for (int n : {0, 11, 63, 64, -1, 1000}) EXPECT_EQ(recon_kernel(n), kReconFull);
    // Every zig-zag position below 10 lies in the top-left 4×4.
    for (int i = 0; i < 10; ++i) {
        EXPECT_LT(kScan[0][i] % 8, 4);
        EXPECT_LT(kScan[0][i] / 8, 4);
    }
    // That the DC and 4x4 kernels read no other coefficient: the pinned kernels above.
}

// ---- exported reconstruction -------------------------------------------------------------------

// A picture area that copies by value (the macroblock and its neighbours).
struct Img {
    Img(int w, int h) : w(w), h(h), px(static_cast<std::size_t>(w) * h) {}
    int w, h;
    std::vector<Opx8u> px;
    Opx8u& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    Opx8u* ptr(int x, int y) { return &at(x, y); }
    std::ptrdiff_t step() const { return w; }
    void random(Rng& rng, int lo = 0, int hi = 255) {
        for (auto& v : px) v = static_cast<Opx8u>(rng.uniform(lo, hi));
    }
    void set(int v) { std::fill(px.begin(), px.end(), static_cast<Opx8u>(v)); }
    bool operator==(const Img& o) const { return px == o.px; }
};

struct Mb {
    Img plane{48, 48};
    Opx8u* at() { return plane.ptr(16, 16); }
};

TEST(AvsReconstruct, InterConsumesCodedBlocksInBitOrder) {
    Mb mb;
    Rng rng;
    mb.plane.random(rng, 60, 190);
    for (Opx32u cbp = 0; cbp < 16; ++cbp) {
        Img p = mb.plane, want = mb.plane;
        std::vector<Block> coeffs(4);
        for (auto& b : coeffs)
            for (auto& v : b) v = static_cast<Opx16s>(rng.uniform(-20, 20));
        const Opx32s num[4] = {64, 1, 7, 0};
        Opx16s* pc = coeffs[0].data();
        Opx8u* at = p.ptr(16, 16);
        ASSERT_EQ(opxiReconstructLumaInter_AVS_16s8u_C1R(&pc, at, p.step(), num, cbp, 20), opxOk);
        int used = 0;
        for (int b = 0; b < 4; ++b)
            if (cbp & (1u << b)) {
                Opx8u* w = want.ptr(16 + (b & 1) * 8, 16 + (b >> 1) * 8);
                opx::avs::ref::kResidual.recon[recon_kernel(num[b])](coeffs[used++].data(), 20, w,
                                                                     want.step());
            }
        EXPECT_EQ(pc, coeffs[0].data() + 64 * used);
        EXPECT_TRUE(want == p) << "cbp " << cbp;
    }
    // Chroma inter: Cb rows 0–7, Cr rows 0–7, Cb rows 8–15, Cr rows 8–15.
    Img u(8, 16), v(8, 16);
    std::vector<Block> dc(4);
    for (int i = 0; i < 4; ++i) dc[i][0] = static_cast<Opx16s>(10 * (i + 1));
    Opx16s* pc = dc[0].data();
    const Opx32s num[4] = {1, 1, 1, 1};
    ASSERT_EQ(opxiReconstructChromaInter_AVS_16s8u_C1R(&pc, u.ptr(0, 0), v.ptr(0, 0), u.step(), num,
                                                       15, 0),
              opxOk);
    auto val = [](int level) {  // QP 0: scale 32768, shift 14
        const int w = (level * 32768 + 8192) >> 14;
        return (8 * w + 64) >> 7;
    };
    EXPECT_EQ(u.at(3, 3), val(10));
    EXPECT_EQ(v.at(3, 3), val(20));
    EXPECT_EQ(u.at(3, 12), val(30));
    EXPECT_EQ(v.at(3, 12), val(40));
}

// ---- intra prediction ---------------------------------------------------------------------------

// Every luma and chroma mode under every combination of unavailable neighbours, on random
// neighbourhoods, a ramp and a step between top and left; pinned from the library while hand-
// computed cases passed against it (DC of 128 without neighbours, modes 5..7 filling 128, an
// unavailable mode refused with nothing written, the down-right corner filter, down-left from
// the filtered arrays with t[8] repeated when the top right is missing, chroma plane prediction
// continuing a ramp).
TEST(AvsIntra, EveryModeAndAvailabilityPinned) {
    Rng rng(0x41564950ull);
    Digest digest;
    for (int picture = 0; picture < 10; ++picture)
        for (bool chroma : {false, true})
            for (unsigned mode = 0; mode < (chroma ? 4u : 8u); ++mode)
                for (Opx32u f = 0; f < 16; ++f) {
                    const Opx32u flags = (f & 1 ? Opx32u{kLeftUnavailable} : 0u) |
                                         (f & 2 ? Opx32u{kTopUnavailable} : 0u) |
                                         (f & 4 ? Opx32u{kTopRightUnavailable} : 0u) |
                                         (f & 8 ? Opx32u{kBottomLeftUnavailable} : 0u);
                    Img p(24, 24);
                    for (int y = 0; y < 24; ++y)
                        for (int x = 0; x < 24; ++x)
                            p.at(x, y) =
                                static_cast<Opx8u>(picture < 8   ? rng.next()
                                                   : picture < 9 ? 104 + 4 * (x - 8) + 4 * (y - 8)
                                                                 : (y < 8 ? 10 : 250));
                    const bool ok = (chroma ? predict_chroma : predict_luma)(p.ptr(8, 8), p.step(),
                                                                             mode, flags);
                    digest.add(ok);
                    digest.add(p.px.data(), p.px.size());
                }
    EXPECT_EQ(digest.value(), 0xf55d9dada7814a23ull) << std::hex << digest.value();
}

TEST(AvsIntra, BlockFlagsFollowTheMacroblock) {
    EXPECT_EQ(luma_block_flags(0, 1 | 4 | 32 | 64), 1u | 4 | 64);
    EXPECT_EQ(luma_block_flags(1, 1 | 4 | 32), 4u | 32 | 64);
    EXPECT_EQ(luma_block_flags(2, 1 | 4 | 32 | 64), 1u | 64);
    EXPECT_EQ(luma_block_flags(2, 4 | 32), 64u);
    EXPECT_EQ(luma_block_flags(3, 1 | 4), 32u | 64);
}

// ---- forward transform and intra coding --------------------------------------------------------

TEST(AvsTransformQuant, RulesAndInPlace) {
    Block src{}, dst{};
    Opx32s num = -1;
    ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(src.data(), dst.data(), &num, 30, 1), opxOk);
    EXPECT_EQ(num, 0);
    // A flat residual has only a DC level.
    src.fill(20);
    ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(src.data(), dst.data(), &num, 10, 1), opxOk);
    EXPECT_EQ(num, 1);
    EXPECT_GT(dst[0], 0);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(dst[i], 0);
    // Y(0, 0) = (64 · 20 · 64 + 4) >> 3 = 10240; a = 10240 · 32768 >> 16 = 5120;
    // level = (5120 · 7512 + 84560) >> 19 at QP 9.
    ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(src.data(), dst.data(), &num, 9, 1), opxOk);
    EXPECT_EQ(dst[0], (5120 * 7512 + 84560) >> 19);
    ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(src.data(), dst.data(), &num, 9, 0), opxOk);
    EXPECT_EQ(dst[0], (5120 * 7512 + 42280) >> 19);
    // In place equals out of place; numCoeff is 1 + the last zig-zag index.
    Rng rng;
    for (int iter = 0; iter < 200; ++iter) {
        for (auto& v : src) v = static_cast<Opx16s>(rng.uniform(-255, 255));
        Block in_place = src;
        Opx32s n1 = 0, n2 = 0;
        const Opx32s qp = rng.uniform_int(0, 63);
        ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(src.data(), dst.data(), &n1, qp, iter & 1),
                  opxOk);
        ASSERT_EQ(opxiTransformQuant8x8Fwd_AVS_16s_C1(in_place.data(), in_place.data(), &n2, qp,
                                                      iter & 1),
                  opxOk);
        EXPECT_EQ(dst, in_place);
        EXPECT_EQ(n1, n2);
        int last = -1;
        for (int i = 0; i < 64; ++i)
            if (dst[kScan[0][i]]) last = i;
        EXPECT_EQ(n1, last + 1);
    }
}

Opx32s num_coeff_of(const Opx16s* c) {
    Opx32s n = 0;
    for (int i = 0; i < 64; ++i)
        if (c[kScan[0][i]]) n = i + 1;
    return n;
}

// The encoder's reconstruction equals reconstructing its output.
TEST(AvsDisassemble, LumaRoundTripThroughTheDecoderReconstruction) {
    Rng rng;
    for (int iter = 0; iter < 120; ++iter) {
        Img src(16, 16), rec(48, 48);
        src.random(rng);
        if (iter % 3 == 0)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) src.at(x, y) = static_cast<Opx8u>(8 * x + 4 * y);
        rec.random(rng);
        const Img neighbours = rec;
        const Opx32u flags = (iter % 2 ? Opx32u{kLeftUnavailable | kBottomLeftUnavailable} : 0u) |
                             (iter % 5 == 0 ? Opx32u{kTopUnavailable} : 0u) |
                             (iter % 3 == 0 ? Opx32u{kTopRightUnavailable} : 0u);
        const Opx32s qp = rng.uniform_int(0, 63);
        std::vector<Opx16s> buf(4 * 64 + 8, 0x3333);
        Opx16s* pc = buf.data();
        Opx32u modes[4] = {9, 9, 9, 9}, cbp = 99;
        ASSERT_EQ(opxiDisassembleLumaIntra_AVS_16s8u_C1R(src.ptr(0, 0), src.step(), rec.ptr(16, 16),
                                                         rec.step(), &pc, modes, &cbp, qp, flags),
                  opxOk);
        int coded = 0;
        Opx32s num[4] = {};
        for (int b = 0; b < 4; ++b) {
            EXPECT_LE(modes[b], 4u);
            if (cbp & (1u << b)) num[b] = num_coeff_of(buf.data() + 64 * coded++);
        }
        EXPECT_EQ(pc, buf.data() + 64 * coded);
        Img dec = neighbours;
        Opx16s* rc = buf.data();
        ASSERT_EQ(opxiReconstructLumaIntra_AVS_16s8u_C1R(&rc, dec.ptr(16, 16), dec.step(), modes,
                                                         num, cbp, qp, flags),
                  opxOk);
        EXPECT_EQ(rc, pc);
        EXPECT_TRUE(rec == dec) << "iter " << iter;
    }
}

TEST(AvsDisassemble, ChromaRoundTripAndCrMovesToTheFirstSlot) {
    Rng rng;
    for (int iter = 0; iter < 120; ++iter) {
        Img su(8, 8), sv(8, 8), ru(24, 24), rv(24, 24);
        ru.random(rng);
        rv.random(rng);
        su.random(rng);
        sv.random(rng);
        const bool cb_flat = iter % 4 == 0;
        const Opx32u flags = iter % 2 ? Opx32u{kLeftUnavailable} : 0u;
        if (cb_flat) su.set(128);  // Cb equals its DC prediction without neighbours: no level
        const Opx32u f = cb_flat ? (kLeftUnavailable | kTopUnavailable) : flags;
        const Img nu = ru, nv = rv;
        const Opx32s qp = rng.uniform_int(0, 51);
        std::vector<Opx16s> buf(2 * 64, 0x3333);
        Opx16s* pc = buf.data();
        const Opx8u* s2[2] = {su.ptr(0, 0), sv.ptr(0, 0)};
        Opx8u* d2[2] = {ru.ptr(8, 8), rv.ptr(8, 8)};
        Opx32u mode = 9, cbp = 99;
        ASSERT_EQ(opxiDisassembleChroma420Intra_AVS_16s8u_C1R(s2, su.step(), d2, ru.step(), &pc,
                                                              &mode, &cbp, qp, f),
                  opxOk);
        EXPECT_LE(mode, 3u);
        if (cb_flat) {
            EXPECT_EQ(cbp & 1, 0u);
            if (cbp == 2) {
                EXPECT_EQ(pc, buf.data() + 64);
            }
        }
        Opx32s num[2] = {};
        int coded = 0;
        for (int c = 0; c < 2; ++c)
            if (cbp & (1u << c)) num[c] = num_coeff_of(buf.data() + 64 * coded++);
        EXPECT_EQ(pc, buf.data() + 64 * coded);
        Img du = nu, dv = nv;
        Opx16s* rc = buf.data();
        ASSERT_EQ(opxiReconstructChromaIntra_AVS_16s8u_C1R(&rc, du.ptr(8, 8), dv.ptr(8, 8),
                                                           du.step(), mode, num, cbp, qp, f),
                  opxOk);
        EXPECT_TRUE(ru == du) << "iter " << iter;
        EXPECT_TRUE(rv == dv) << "iter " << iter;
    }
}

TEST(AvsDisassemble, StrictImprovementOverDc) {
    // A flat source and flat neighbours: every mode predicts exactly (SAD 0). The search starts
    // from DC with the largest sum; the first mode tried (vertical) improves on it and no later
    // mode with an equal sum replaces it.
    Img src(16, 16), rec(48, 48);
    std::vector<Opx16s> buf(256);
    Opx16s* pc = buf.data();
    Opx32u modes[4], cbp;
    auto disassemble = [&](Opx32s qp, Opx32u flags) {
        return opxiDisassembleLumaIntra_AVS_16s8u_C1R(src.ptr(0, 0), src.step(), rec.ptr(16, 16),
                                                      rec.step(), &pc, modes, &cbp, qp, flags);
    };
    ASSERT_EQ(disassemble(20, 0), opxOk);
    for (Opx32u m : modes) EXPECT_EQ(m, 0u);
    EXPECT_EQ(cbp, 0u);
    EXPECT_EQ(pc, buf.data());
    // Without the row above, horizontal is the first mode possible; without both neighbours
    // only DC is.
    ASSERT_EQ(disassemble(20, kTopUnavailable), opxOk);
    EXPECT_EQ(modes[0], 1u);
    EXPECT_EQ(modes[1], 1u);
    ASSERT_EQ(disassemble(20, kTopUnavailable | kLeftUnavailable | kBottomLeftUnavailable), opxOk);
    EXPECT_EQ(modes[0], 2u);
    EXPECT_EQ(disassemble(64, 0), opxErrOutOfRange);
}

}  // namespace

// ---- null pointers ------------------------------------------------------------------------------

#define OPX_AVS_DECODE_NULL_CASE(fn)                                         \
    OPX_NULL_CASE(fn) {                                                      \
        Opx32u* stream = nul(s.u32(1));                                      \
        Opx32s off = 31;                                                     \
        return fn(nul(&stream), nul(&off), nul(s.s32(2)), nul(s.s16(3)), 0); \
    }
OPX_AVS_DECODE_NULL_CASE(opxiDecodeLumaBlockIntra_AVS_1u16s)
OPX_AVS_DECODE_NULL_CASE(opxiDecodeLumaBlockInter_AVS_1u16s)
OPX_AVS_DECODE_NULL_CASE(opxiDecodeChromaBlock_AVS_1u16s)

OPX_NULL_CASE(opxiReconstructLumaIntra_AVS_16s8u_C1R) {
    Opx16s* c = nul(s.s16(0));
    const Opx32u modes[4] = {0, 1, 2, 3};
    const Opx32s num[4] = {1, 5, 64, 0};
    return opxiReconstructLumaIntra_AVS_16s8u_C1R(nul(&c), nul(s.u8(1)), 64, nul(modes), nul(num),
                                                  15, 20, 0);
}
OPX_NULL_CASE(opxiReconstructLumaInter_AVS_16s8u_C1R) {
    Opx16s* c = nul(s.s16(0));
    const Opx32s num[4] = {1, 5, 64, 0};
    return opxiReconstructLumaInter_AVS_16s8u_C1R(nul(&c), nul(s.u8(1)), 64, nul(num), 15, 20);
}
OPX_NULL_CASE(opxiReconstructChromaIntra_AVS_16s8u_C1R) {
    Opx16s* c = nul(s.s16(0));
    const Opx32s num[2] = {1, 64};
    return opxiReconstructChromaIntra_AVS_16s8u_C1R(nul(&c), nul(s.u8(1)), nul(s.u8(2)), 64, 3,
                                                    nul(num), 3, 20, 0);
}
OPX_NULL_CASE(opxiReconstructChromaInter_AVS_16s8u_C1R) {
    Opx16s* c = nul(s.s16(0));
    const Opx32s num[4] = {1, 5, 64, 0};
    return opxiReconstructChromaInter_AVS_16s8u_C1R(nul(&c), nul(s.u8(1)), nul(s.u8(2)), 64,
                                                    nul(num), 15, 20);
}
OPX_NULL_CASE(opxiTransformQuant8x8Fwd_AVS_16s_C1) {
    return opxiTransformQuant8x8Fwd_AVS_16s_C1(nul(s.s16(0)), nul(s.s16(1)), nul(s.s32(2)), 20, 1);
}
OPX_NULL_CASE(opxiDisassembleLumaIntra_AVS_16s8u_C1R) {
    Opx16s* c = nul(s.s16(2));
    return opxiDisassembleLumaIntra_AVS_16s8u_C1R(nul(s.u8(0)), 64, nul(s.u8(1)), 64, nul(&c),
                                                  nul(s.u32(3)), nul(s.u32(4)), 20, 0);
}
OPX_NULL_CASE(opxiDisassembleChroma420Intra_AVS_16s8u_C1R) {
    const Opx8u* src[2] = {nul(s.u8(0)), nul(s.u8(1))};
    Opx8u* dst[2] = {nul(s.u8(2)), nul(s.u8(3))};
    Opx16s* c = nul(s.s16(4));
    return opxiDisassembleChroma420Intra_AVS_16s8u_C1R(nul(src), 64, nul(dst), 64, nul(&c),
                                                       nul(s.u32(5)), nul(s.u32(6)), 20, 0);
}

}  // namespace opx::test::avs
