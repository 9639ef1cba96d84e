// High-bit-depth and 4:2:2 macroblock reconstruction (the 16 H264High functions): AVX2 against
// portable through the exported functions, the 32s16u functions at bit depth 8 against their
// 8-bit counterparts (the 4:2:0 macroblock functions and the 4:2:2 16s8u ones), and the rules
// worked out by hand at the depths the streams do not reach.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "frame/dispatch.hpp"
#include "h264/decode/intra.hpp"
#include "h264/decode/recon.hpp"
#include "h264/decode/transform.hpp"
#include "harness/harness.hpp"

namespace opx::test {
namespace {

using opx::h264::kFlatLevelScale4x4;

// ---- pictures, streams, records -------------------------------------------------------------

constexpr int kRows = 48, kX = 16, kY = 16;

// One plane with an odd step (in samples) and the macroblock at (kX, kY).
template <class T>
struct Pic {
    int step;
    std::vector<T> buf;
    explicit Pic(int s = 67) : step(s), buf(static_cast<std::size_t>(s) * kRows) {}
    T* mb() { return buf.data() + kY * step + kX; }
    T& at(int x, int y) { return mb()[y * step + x]; }
    bool operator==(const Pic& o) const { return buf == o.buf; }
};

template <class T>
void randomise(Pic<T>& p, Rng& rng, int bd) {
    const int max = (1 << bd) - 1;
    // Mostly smooth with some noise and some extremes, so clamps are reached both ways.
    const int base = static_cast<int>(rng.uniform(0, max));
    for (auto& v : p.buf) {
        const int r = static_cast<int>(rng.next() % 8);
        v = static_cast<T>(
            r == 0   ? 0
            : r == 1 ? max
                     : std::clamp<int>(base + int(rng.uniform(-max / 8, max / 8)), 0, max));
    }
}

template <class C>
std::vector<C> stream(Rng& rng, int n, std::int64_t mag, int zero_per_8) {
    std::vector<C> s(n + 64, static_cast<C>(0x7777));
    for (int i = 0; i < n; ++i)
        s[i] = (static_cast<int>(rng.next() % 8) < zero_per_8)
                   ? C(0)
                   : static_cast<C>(rng.uniform(-mag, mag));
    return s;
}

// Functions under test.
enum Fn {
    kLInter4,
    kLInter8,
    kLIntra4,
    kLIntraHalf4,
    kLIntra8,
    kLIntraHalf8,
    kLIntra16,
    kCInter,
    kCIntra,
    kCIntraHalf,
    k422Inter,
    k422Intra,
    k422IntraHalf,
    kNumFns
};
constexpr bool is_luma(int f) {
    return f <= kLIntra16;
}
constexpr bool is_422(int f) {
    return f >= k422Inter;
}

// Everything one call needs besides the planes and the streams.
struct Case {
    int fn = kLInter4;
    int bd = 10;
    int steps[2] = {67, 73};
    Opx32u cbp[2] = {};
    int qp[2] = {};
    int mode = 0;
    Opx32u edge[2] = {};
    Opx32s modes[16] = {};
    Opx16s ls[2][64] = {};
    Opx32u lsdc[2] = {16, 16};
    int bypass[2] = {};
    bool shared = true;  // chroma: one coefficient pointer for both records
};

// Planes and streams of one call; T/C: 16u/32s or 8u/16s.
template <class T, class C>
struct World {
    Pic<T> pl[2];
    std::vector<C> st[2];
    C* ptr[2] = {};
    World(const Pic<T>& a, const Pic<T>& b, const std::vector<C>& s0, const std::vector<C>& s1)
        : pl{a, b}, st{s0, s1}, ptr{st[0].data(), st[1].data()} {}
    std::ptrdiff_t used(int i) const { return ptr[i] - st[i].data(); }
};

template <class Info, class T, class C>
Info record(const Case& c, int comp, World<T, C>& w) {
    return Info{(comp == 1 && c.shared) ? &w.ptr[0] : &w.ptr[comp],
                w.pl[comp].mb(),
                w.pl[comp].step,
                c.cbp[comp],
                c.qp[comp],
                c.ls[comp],
                c.bypass[comp],
                c.bd};
}

OpxResult call(const Case& c, World<Opx16u, Opx32s>& w) {
    const OpxReconstructInfo r0 = record<OpxReconstructInfo>(c, 0, w),
                             r1 = record<OpxReconstructInfo>(c, 1, w);
    const OpxReconstructInfo* pp[2] = {&r0, &r1};
    switch (c.fn) {
        case kLInter4:
            return opxiReconstructLumaInter4x4_H264High_32s16u_IP1R(&r0);
        case kLInter8:
            return opxiReconstructLumaInter8x8_H264High_32s16u_IP1R(&r0);
        case kLIntra4:
            return opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(&r0, c.modes, c.edge[0]);
        case kLIntraHalf4:
            return opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R(&r0, c.modes, c.edge[0]);
        case kLIntra8:
            return opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(&r0, c.modes, c.edge[0]);
        case kLIntraHalf8:
            return opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R(&r0, c.modes, c.edge[0]);
        case kLIntra16:
            return opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(&r0, c.mode, c.edge[0]);
        case kCInter:
            return opxiReconstructChromaInter4x4_H264High_32s16u_IP2R(pp);
        case kCIntra:
            return opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(pp, c.mode, c.edge[0]);
        case kCIntraHalf:
            return opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R(pp, c.mode, c.edge[0],
                                                                          c.edge[1]);
        case k422Inter:
            return opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R(pp, c.lsdc[0], c.lsdc[1]);
        case k422Intra:
            return opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(pp, c.mode, c.edge[0],
                                                                         c.lsdc[0], c.lsdc[1]);
        default:
            return opxiReconstructChroma422IntraHalf4x4_H264High_32s16u_IP2R(
                pp, c.mode, c.edge[0], c.edge[1], c.lsdc[0], c.lsdc[1]);
    }
}

// The 16s8u functions: the 4:2:2 ones by their records; the 4:2:0 macroblock functions (the
// 8-bit counterparts of the 32s16u ones) on the first stream, Cb and Cr on one plane each.
OpxResult call(const Case& c, World<Opx8u, Opx16s>& w) {
    const OpxReconstructInfo8u r0 = record<OpxReconstructInfo8u>(c, 0, w),
                               r1 = record<OpxReconstructInfo8u>(c, 1, w);
    const OpxReconstructInfo8u* pp[2] = {&r0, &r1};
    Opx16s** pc = &w.ptr[0];
    Opx8u *d = w.pl[0].mb(), *d1 = w.pl[1].mb();
    const int s = w.pl[0].step;
    const Opx8u by = static_cast<Opx8u>(c.bypass[0]);
    // The 4:2:0 chroma mask: Cb DC 17, Cr DC 18, Cb blocks 19..22, Cr blocks 23..26.
    const Opx32u cc = ((c.cbp[0] & 1) << 17) | ((c.cbp[1] & 1) << 18) |
                      (((c.cbp[0] >> 1) & 15) << 19) | (((c.cbp[1] >> 1) & 15) << 23);
    const Opx8u e0 = static_cast<Opx8u>(c.edge[0]), e1 = static_cast<Opx8u>(c.edge[1]);
    switch (c.fn) {
        case kLInter4:
            return opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(pc, d, s, c.cbp[0], c.qp[0],
                                                                c.ls[0], by);
        case kLInter8:
            return opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(pc, d, s, c.cbp[0], c.qp[0],
                                                                c.ls[0], by);
        case kLIntra4:
            return opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(pc, d, s, c.modes, c.cbp[0],
                                                                c.qp[0], e0, c.ls[0], by);
        case kLIntraHalf4:
            return opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R(pc, d, s, c.modes, c.cbp[0],
                                                                    c.qp[0], e0, c.ls[0], by);
        case kLIntra8:
            return opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(pc, d, s, c.modes, c.cbp[0],
                                                                c.qp[0], e0, c.ls[0], by);
        case kLIntraHalf8:
            return opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R(pc, d, s, c.modes, c.cbp[0],
                                                                    c.qp[0], e0, c.ls[0], by);
        case kLIntra16:
            return opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(pc, d, s, c.mode, c.cbp[0],
                                                                   c.qp[0], e0, c.ls[0], by);
        case kCInter:
            return opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(pc, d, d1, s, cc, c.qp[0],
                                                                  c.qp[1], c.ls[0], c.ls[1], by);
        case kCIntra:
            return opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
                pc, d, d1, s, c.mode, cc, c.qp[0], c.qp[1], e0, c.ls[0], c.ls[1], by);
        case kCIntraHalf:
            return opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(
                pc, d, d1, s, c.mode, cc, c.qp[0], c.qp[1], e0, e1, c.ls[0], c.ls[1], by);
        case k422Inter:
            return opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(pp, c.lsdc[0], c.lsdc[1]);
        case k422Intra:
            return opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(pp, c.mode, c.edge[0],
                                                                        c.lsdc[0], c.lsdc[1]);
        default:
            return opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R(
                pp, c.mode, c.edge[0], c.edge[1], c.lsdc[0], c.lsdc[1]);
    }
}

// A random case of function `fn` at depth `bd`: qp over its whole range, cbp from one of the
// classes (none, DC only, single block, random, all), modes × edges at random, level-scale
// arrays of the flat default or random weights.
Case random_case(Rng& rng, int fn, int bd) {
    Case c;
    c.fn = fn;
    c.bd = bd;
    c.steps[0] = 16 + 2 * kX + 1 + 2 * static_cast<int>(rng.uniform(0, 20));
    c.steps[1] = 16 + 2 * kX + 1 + 2 * static_cast<int>(rng.uniform(0, 20));
    const int max_qp = is_luma(fn) ? 6 * bd + 3 : 6 * bd - 9;
    for (int comp = 0; comp < 2; ++comp) {
        c.qp[comp] = static_cast<int>(rng.uniform(0, max_qp));
        const int cls = static_cast<int>(rng.uniform(0, 4));
        const Opx32u r = rng.next();
        c.cbp[comp] = cls == 0   ? 0u
                      : cls == 1 ? 1u
                      : cls == 2 ? (1u << rng.uniform(0, 16))
                      : cls == 3 ? r
                                 : ~0u;
        c.bypass[comp] = rng.uniform(0, 7) == 0;
        if (c.bypass[comp] && rng.coin()) c.qp[comp] = 0;
        const bool flat = rng.coin();
        for (int i = 0; i < 64; ++i)
            c.ls[comp][i] = flat ? kFlatLevelScale4x4[c.qp[comp] % 6][i & 15]
                                 : static_cast<Opx16s>(rng.uniform(4, 255 * 29));
        c.lsdc[comp] = static_cast<Opx32u>(flat ? kFlatLevelScale4x4[(c.qp[comp] + 3) % 6][0]
                                                : rng.uniform(4, 255 * 29));
        c.edge[comp] = static_cast<Opx32u>(rng.next() & (1 | 4 | 16 | 32));
    }
    for (auto& m : c.modes) m = static_cast<Opx32s>(rng.uniform(0, 8));
    c.mode = static_cast<int>(rng.uniform(0, 3));
    c.shared = rng.coin();
    return c;
}

// Runs one case with the given kernel tables, from the same planes and streams.
template <class T, class C>
struct Run {
    OpxResult r;
    World<T, C> w;
};
template <class T, class C>
Run<T, C> run(const Case& c, cpu::Isa isa, const Pic<T>& a, const Pic<T>& b,
              const std::vector<C>& s0, const std::vector<C>& s1) {
    const cpu::Isa before = cpu::Isa(cpu::g_isa.load());
    cpu::force_isa(isa);
    Run<T, C> out{opxOk, World<T, C>(a, b, s0, s1)};
    out.r = call(c, out.w);
    cpu::force_isa(before);
    return out;
}

// ---- AVX2 against portable ------------------------------------------------------------------

template <class T, class C>
void avx2_vs_portable(int fn, int bd, int iters, Rng& rng) {
    for (int it = 0; it < iters; ++it) {
        const Case c = random_case(rng, fn, bd);
        Pic<T> a(c.steps[0]), b(c.steps[1]);
        randomise(a, rng, bd);
        randomise(b, rng, bd);
        // Levels up to ±2^(7 + bitDepth), some small, and now and then the whole of C (the
        // 32-bit paths wrap alike: the 8×4 pair kernel against two per-block kernels).
        const int kind = static_cast<int>(rng.uniform(0, 4));
        const std::int64_t mag = kind == 0  ? std::numeric_limits<C>::max()
                                 : kind < 3 ? std::min<std::int64_t>(std::int64_t{1} << (7 + bd),
                                                                     std::numeric_limits<C>::max())
                                            : 40;
        const auto s0 = stream<C>(rng, 17 * 64, mag, 3), s1 = stream<C>(rng, 17 * 64, mag, 3);
        const auto p = run<T, C>(c, cpu::kIsaPortable, a, b, s0, s1);
        const auto v = run<T, C>(c, cpu::kIsaAvx2, a, b, s0, s1);
        SCOPED_TRACE("fn " + std::to_string(fn) + " bd " + std::to_string(bd) + " iter " +
                     std::to_string(it) + " qp " + std::to_string(c.qp[0]) + "/" +
                     std::to_string(c.qp[1]) + " cbp " + std::to_string(c.cbp[0]) + "/" +
                     std::to_string(c.cbp[1]) + " mode " + std::to_string(c.mode) + " edge " +
                     std::to_string(c.edge[0]) + "/" + std::to_string(c.edge[1]));
        ASSERT_EQ(p.r, v.r);
        ASSERT_EQ(p.w.used(0), v.w.used(0));
        ASSERT_EQ(p.w.used(1), v.w.used(1));
        for (int comp = 0; comp < 2; ++comp) {
            ASSERT_TRUE(regions_equal(p.w.pl[comp].buf.data(), p.w.pl[comp].step * sizeof(T),
                                      v.w.pl[comp].buf.data(), v.w.pl[comp].step * sizeof(T),
                                      p.w.pl[comp].step, kRows))
                << "component " << comp;
        }
    }
}

TEST(H264ReconHigh, Avx2MatchesPortableForEveryFunctionAndDepth) {
    if (!cpu::processor_has_avx2()) GTEST_SKIP() << "no AVX2";
    Rng rng;
    for (int bd : {8, 9, 10, 12, 14})
        for (int fn = 0; fn < kNumFns; ++fn) avx2_vs_portable<Opx16u, Opx32s>(fn, bd, 24, rng);
    for (int fn = 0; fn < kNumFns; ++fn) avx2_vs_portable<Opx8u, Opx16s>(fn, 8, 60, rng);
}

// 16s8u chroma, 4:2:2 and 4:2:0: a level at the largest level scale (1000, position 5) at the
// bound under which 16-bit products are exact (|c| × LS × 2^(q6 - 4) + rounding <= 32767: 32 for
// qp 18 and 24, 8 for qp 36) and one past it, where the product leaves 16 bits: AVX2 equals
// portable, in a quad of Cb and of Cr.
TEST(H264ReconHigh, ChromaLevelsAroundTheExactProductBound) {
    if (!cpu::processor_has_avx2()) GTEST_SKIP() << "no AVX2";
    Rng rng;
    for (const int fn : {k422Inter, kCInter})
        for (const auto& [qp, bound] : {std::pair{18, 32}, std::pair{24, 32}, std::pair{36, 8}})
            for (int level : {bound, -bound, bound + 1, -bound - 1}) {
                Case c;
                c.fn = fn;
                c.bd = 8;
                c.cbp[0] = c.cbp[1] = fn == kCInter ? 0x1F : 0x1FF;
                c.qp[0] = c.qp[1] = qp;
                for (auto& ls : c.ls)
                    for (int i = 0; i < 64; ++i)
                        ls[i] = static_cast<Opx16s>(i == 5 ? 1000 : 7 * i + 1);
                Pic<Opx8u> a, b;
                randomise(a, rng, 8);
                randomise(b, rng, 8);
                auto s = stream<Opx16s>(rng, 17 * 64, 3, 4);
                if (fn == kCInter) {
                    s[8 + 5] = static_cast<Opx16s>(level);            // Cb block 0
                    s[8 + 64 + 32 + 5] = static_cast<Opx16s>(level);  // Cr block 2
                } else {
                    s[16 + 5] = static_cast<Opx16s>(level);             // Cb block 0
                    s[16 + 128 + 80 + 5] = static_cast<Opx16s>(level);  // Cr block 5
                }
                const auto p = run<Opx8u, Opx16s>(c, cpu::kIsaPortable, a, b, s, s);
                const auto v = run<Opx8u, Opx16s>(c, cpu::kIsaAvx2, a, b, s, s);
                for (int comp = 0; comp < 2; ++comp)
                    ASSERT_TRUE(p.w.pl[comp] == v.w.pl[comp])
                        << "fn " << fn << " qp " << qp << " level " << level << " component "
                        << comp;
            }
}

// ---- bit depth 8 against the 8-bit functions ------------------------------------------------

// Case for the comparison at depth 8: levels and scales small enough that no 16-bit
// intermediate of the 8-bit functions saturates.
Case depth8_case(Rng& rng, int fn) {
    Case c = random_case(rng, fn, 8);
    c.steps[1] = c.steps[0];  // the 8-bit chroma functions share one step
    c.shared = true;
    c.bypass[1] = c.bypass[0];
    for (int comp = 0; comp < 2; ++comp) {
        c.qp[comp] = static_cast<int>(rng.uniform(0, 30));
        if (c.bypass[comp] && rng.coin()) c.qp[comp] = 0;
        for (int i = 0; i < 64; ++i)
            c.ls[comp][i] = static_cast<Opx16s>(
                rng.coin() ? kFlatLevelScale4x4[c.qp[comp] % 6][i & 15] : rng.uniform(4, 64));
        c.lsdc[comp] = static_cast<Opx32u>(rng.uniform(4, 64));
    }
    return c;
}

// At depth 8 the 32s16u functions equal the 8-bit ones: 4:2:0 against the 16s8u macroblock
// functions, 4:2:2 against the 16s8u 4:2:2 functions (own steps and streams per component).
TEST(H264ReconHigh, DepthEightEqualsTheEightBitFunctions) {
    Rng rng;
    for (int fn = 0; fn < kNumFns; ++fn)
        for (int it = 0; it < 120; ++it) {
            Case c = depth8_case(rng, fn);
            if (is_422(fn)) {
                c.steps[1] = c.steps[0] + 2 * static_cast<int>(rng.uniform(0, 5));
                c.shared = rng.coin();
                c.bypass[1] = rng.uniform(0, 5) == 0;
            }
            Pic<Opx16u> a(c.steps[0]), b(c.steps[1]);
            randomise(a, rng, 8);
            randomise(b, rng, 8);
            const auto s0 = stream<Opx32s>(rng, 17 * 64, 3, 4),
                       s1 = is_422(fn) ? stream<Opx32s>(rng, 17 * 64, 3, 4) : s0;
            World<Opx16u, Opx32s> w(a, b, s0, s1);
            const OpxResult rh = call(c, w);
            Pic<Opx8u> a8(c.steps[0]), b8(c.steps[1]);
            std::copy(a.buf.begin(), a.buf.end(), a8.buf.begin());
            std::copy(b.buf.begin(), b.buf.end(), b8.buf.begin());
            World<Opx8u, Opx16s> w8(a8, b8, std::vector<Opx16s>(s0.begin(), s0.end()),
                                    std::vector<Opx16s>(s1.begin(), s1.end()));
            Case c8 = c;
            c8.bd = 0;  // not read by the 16s8u functions
            const OpxResult r8 = call(c8, w8);
            SCOPED_TRACE("fn " + std::to_string(fn) + " iter " + std::to_string(it));
            ASSERT_EQ(rh, r8);
            ASSERT_EQ(w.used(0), w8.used(0));
            ASSERT_EQ(w.used(1), w8.used(1));
            for (int comp = 0; comp < (is_luma(fn) ? 1 : 2); ++comp)
                for (std::size_t i = 0; i < w.pl[comp].buf.size(); ++i)
                    ASSERT_EQ(w.pl[comp].buf[i], w8.pl[comp].buf[i])
                        << "component " << comp << " sample " << i;
        }
}

// ---- rules --------------------------------------------------------------------------------------

struct Luma {
    Pic<Opx16u> pic;
    std::vector<Opx32s> st = std::vector<Opx32s>(17 * 64, 0);
    Opx32s* ptr = st.data();
    Opx16s ls[64];
    OpxReconstructInfo info{};
    Luma(int bd, int qp, Opx32u cbp) {
        for (auto& v : ls) v = 16;
        std::fill(pic.buf.begin(), pic.buf.end(), static_cast<Opx16u>(1 << (bd - 1)));
        info = OpxReconstructInfo{&ptr, pic.mb(), pic.step, cbp, qp, ls, 0, bd};
    }
};

// Top-left corner, block 0 vertical: predicted as 1 << (bitDepth - 1), warning 11.
TEST(H264ReconHigh, CornerBlockTakes512AndWarnsAt10Bits) {
    Luma l(10, 30, 0);
    for (auto& v : l.pic.buf) v = 77;
    Opx32s modes[16];
    for (auto& m : modes) m = 2;
    modes[0] = 0;
    EXPECT_EQ(opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(&l.info, modes, 1 | 4 | 16 | 32),
              opxWrnIntraPredUnavailable);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(l.pic.at(x, y), 512) << x << "," << y;
    // The 8×8 functions and the whole-row DC never warn.
    Luma m(10, 30, 0);
    EXPECT_EQ(opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(&m.info, modes, 1 | 4 | 16 | 32),
              opxOk);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(m.pic.at(x, y), 512);
}

// Clamping at 14 bits: to 16383 above and 0 below, 4×4 and 8×8.
TEST(H264ReconHigh, SamplesClampTo16383At14Bits) {
    for (int sign : {1, -1}) {
        Luma l(14, 0, 2);
        std::fill(l.pic.buf.begin(), l.pic.buf.end(), static_cast<Opx16u>(sign > 0 ? 16300 : 100));
        // qp 0: (1000 × 160 + 8) >> 4 = 10000, spread by the transform to every sample:
        // residual (10000 + 32) >> 6 = 156.
        l.st[0] = 1000 * sign;
        for (auto& v : l.ls) v = 16 * 10;
        EXPECT_EQ(opxiReconstructLumaInter4x4_H264High_32s16u_IP1R(&l.info), opxOk);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) ASSERT_EQ(l.pic.at(x, y), sign > 0 ? 16383 : 0);
        EXPECT_EQ(l.pic.at(4, 0), sign > 0 ? 16300 : 100);
        EXPECT_EQ(l.ptr - l.st.data(), 16);
        // the 8×8 form: qp 0, (3000 × 160 + 32) >> 6 = 7500, residual (7500 + 32) >> 6 = 117
        Luma e(14, 0, 1);
        std::fill(e.pic.buf.begin(), e.pic.buf.end(), static_cast<Opx16u>(sign > 0 ? 16300 : 100));
        e.st[0] = 3000 * sign;
        for (auto& v : e.ls) v = 160;
        EXPECT_EQ(opxiReconstructLumaInter8x8_H264High_32s16u_IP1R(&e.info), opxOk);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) ASSERT_EQ(e.pic.at(x, y), sign > 0 ? 16383 : 0);
        EXPECT_EQ(e.pic.at(8, 0), sign > 0 ? 16300 : 100);
    }
}

// 4:2:0 DC by the 2×2 rule at the top of the 14-bit range: qp 75 (q6 12), LS 16, f = 1 gives
// ((1 × 16) << 12) >> 5 = 2048, residual (2048 + 32) >> 6 = 32 on every sample.
TEST(H264ReconHigh, Chroma420DcAtQp75) {
    Case c;
    c.fn = kCInter;
    c.bd = 14;
    c.cbp[0] = c.cbp[1] = 1;
    c.qp[0] = c.qp[1] = 75;
    for (auto& ls : c.ls) std::fill(ls, ls + 64, Opx16s{16});
    Pic<Opx16u> p;
    std::fill(p.buf.begin(), p.buf.end(), Opx16u{1000});
    std::vector<Opx32s> s(64, 0);
    s[0] = 1;
    World<Opx16u, Opx32s> w(p, p, s, s);
    EXPECT_EQ(call(c, w), opxOk);
    EXPECT_EQ(w.used(0), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(w.pl[0].at(x, y), 1032);
            ASSERT_EQ(w.pl[1].at(x, y), 1000);
        }
    EXPECT_EQ(w.pl[0].at(0, 8), 1000);
}

}  // namespace

// ---- null pointers ------------------------------------------------------------------------------
// Pointers in the order checked: the record array (chroma), each record, its ppSrcDstCoeff, the
// pointer behind it, the plane, the level-scale array, then pMBIntraTypes.

namespace {
template <class Info, class T, class C>
struct NullRec {
    C* coeff;
    Info info;
    const Info* p;
    NullRec(NullProbe& nul, Scratch& s, int slot) {
        coeff = reinterpret_cast<C*>(s.s32(slot));
        info = Info{};
        info.ppSrcDstCoeff = nul(&coeff);
        if (info.ppSrcDstCoeff) coeff = nul(coeff);
        info.pSrcDstPlane = reinterpret_cast<T*>(nul(s.u8(slot + 1) + 2048));
        info.srcDstStep = 64;
        info.cbp = 1;
        info.qp = 20;
        info.pQuantTable = nul(s.s16(slot + 2));
        info.bitDepth = 10;
        p = nul(&info);
    }
};
}  // namespace

#define OPX_HIGH_LUMA_NULL(function, ...)                         \
    OPX_NULL_CASE(function) {                                     \
        NullRec<OpxReconstructInfo, Opx16u, Opx32s> r(nul, s, 0); \
        return function(r.p __VA_ARGS__);                         \
    }
#define OPX_HIGH_CHROMA_NULL(function, Info, T, C, ...) \
    OPX_NULL_CASE(function) {                           \
        NullRec<Info, T, C> a(nul, s, 0), b(nul, s, 4); \
        const Info* pp[2] = {a.p, b.p};                 \
        return function(nul(&pp[0]) __VA_ARGS__);       \
    }

OPX_HIGH_LUMA_NULL(opxiReconstructLumaInter4x4_H264High_32s16u_IP1R)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaInter8x8_H264High_32s16u_IP1R)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R, , nul(s.s32(8)), 0)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R, , nul(s.s32(8)), 0)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R, , nul(s.s32(8)), 0)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R, , nul(s.s32(8)), 0)
OPX_HIGH_LUMA_NULL(opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R, , 2, 0)
OPX_HIGH_CHROMA_NULL(opxiReconstructChromaInter4x4_H264High_32s16u_IP2R, OpxReconstructInfo, Opx16u,
                     Opx32s)
OPX_HIGH_CHROMA_NULL(opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R, OpxReconstructInfo, Opx16u,
                     Opx32s, , 0, 0)
OPX_HIGH_CHROMA_NULL(opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R, OpxReconstructInfo,
                     Opx16u, Opx32s, , 0, 0, 0)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R, OpxReconstructInfo8u,
                     Opx8u, Opx16s, , 16, 16)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R, OpxReconstructInfo,
                     Opx16u, Opx32s, , 16, 16)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R, OpxReconstructInfo8u,
                     Opx8u, Opx16s, , 0, 0, 16, 16)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R, OpxReconstructInfo,
                     Opx16u, Opx32s, , 0, 0, 16, 16)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R, OpxReconstructInfo8u,
                     Opx8u, Opx16s, , 0, 0, 0, 16, 16)
OPX_HIGH_CHROMA_NULL(opxiReconstructChroma422IntraHalf4x4_H264High_32s16u_IP2R, OpxReconstructInfo,
                     Opx16u, Opx32s, , 0, 0, 0, 16, 16)

}  // namespace opx::test
