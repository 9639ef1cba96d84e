// H.264 deblocking: AVX2 kernels against the portable ones for every kind of edge set, every bS
// pattern, thresholds over their whole range (edges filtered in order show there too); the values
// the rules single out; memory safety at the edges of the documented footprint.
#include "h264/decode/deblock.hpp"

#include <algorithm>
#include <array>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;

// Samples a kernel may read, relative to the macroblock's top-left sample: columns and rows
// [x0, x1) × [y0, y1), in samples (interleaved forms: bytes).
struct Footprint {
    int x0, x1, y0, y1;
};

constexpr Footprint kFoot8[kNumDeblock8u] = {
    {-4, 16, 0, 16},  // luma vertical
    {0, 16, -4, 16},  // luma horizontal
    {-2, 6, 0, 8},    // chroma vertical
    {0, 8, -2, 6},    // chroma horizontal
    {-4, 12, 0, 8},   // interleaved vertical
    {0, 16, -2, 6},   // interleaved horizontal
    {-2, 6, 0, 16},   // 4:2:2 vertical
    {0, 8, -2, 14},   // 4:2:2 horizontal
};
constexpr Footprint kFootLumaMbaff = {-4, 4, 0, 8};
constexpr Footprint kFootChromaMbaff = {-2, 2, 0, 4};
constexpr Footprint kFoot16[kNumDeblock16u] = {
    {-4, 16, 0, 16}, {0, 16, -4, 16}, {-4, 4, 0, 8},  {-2, 6, 0, 8},
    {0, 8, -2, 6},   {-2, 2, 0, 4},   {-2, 6, 0, 16}, {0, 8, -2, 14},
};
constexpr const char* kNames8[kNumDeblock8u] = {"luma ver", "luma hor", "chroma ver", "chroma hor",
                                                "c2 ver",   "c2 hor",   "422 ver",    "422 hor"};

// A plane with real samples around the macroblock; the macroblock starts at (kOrigin, kOrigin).
constexpr int kOrigin = 8;
constexpr int kSide = 40;

enum class Samples { kSmooth, kBlocky, kExtreme, kRandom };

template <class T>
void fill_samples(Plane<T>& pl, Samples kind, int max, Rng& rng) {
    const int unit = max > 255 ? (max + 1) / 256 : 1;  // scale of 8-bit steps at higher depths
    for (int y = 0; y < pl.height(); ++y)
        for (int x = 0; x < pl.width(); ++x) {
            int v = 0;
            switch (kind) {
                case Samples::kSmooth:
                    v = (100 + (x * 3 + y * 5) % 20 + static_cast<int>(rng.uniform(-3, 3))) * unit;
                    break;
                case Samples::kBlocky: {
                    const int block = ((x / 4) * 7 + (y / 4) * 13) % 9;
                    v = (80 + block * 9 + static_cast<int>(rng.uniform(-2, 2))) * unit;
                    break;
                }
                case Samples::kExtreme:
                    v = rng.coin() ? static_cast<int>(rng.uniform(0, 6)) * unit
                                   : max - static_cast<int>(rng.uniform(0, 6)) * unit;
                    if ((x / 4 + y / 4) % 2) v = rng.coin() ? 0 : max;
                    break;
                case Samples::kRandom:
                    v = static_cast<int>(rng.uniform(0, max));
                    break;
            }
            pl.at(x, y) = static_cast<T>(std::clamp(v, 0, max));
        }
}

// Thresholds and bS of one call. Values are scaled for 16-bit samples by `unit`; now and then
// any value the type holds.
template <class T>
struct Thresholds {
    T alpha[2], beta[2], tc0[16];
    Opx8u bs[16];
};

int pick_bs(Rng& rng) {
    const int r = static_cast<int>(rng.uniform(0, 19));
    return r < 18 ? r % 5 : static_cast<int>(rng.uniform(5, 255));
}

template <class T>
Thresholds<T> any_thresholds(Rng& rng, int unit) {
    const int top = std::numeric_limits<T>::max();
    auto threshold = [&](int typical) -> T {
        switch (rng.uniform(0, 5)) {
            case 0:
                return static_cast<T>(rng.uniform(0, 255 * unit) & top);
            case 1:
                return static_cast<T>(rng.uniform(0, top));
            default:
                return static_cast<T>(std::min<std::int64_t>(rng.uniform(0, typical) * unit, top));
        }
    };
    Thresholds<T> t;
    for (int i = 0; i < 2; ++i) {
        t.alpha[i] = threshold(60);
        t.beta[i] = threshold(18);
    }
    for (int i = 0; i < 16; ++i) {
        const int r = static_cast<int>(rng.uniform(0, 9));
        t.tc0[i] = static_cast<T>(r < 8    ? rng.uniform(0, 25) * unit
                                  : r == 8 ? rng.uniform(26, 255) * unit % (top + 1)
                                           : rng.uniform(0, top));
        t.bs[i] = static_cast<Opx8u>(pick_bs(rng));
    }
    // Whole edges of one bS value, including the all-4 and all-zero edges the quirks single out.
    if (rng.uniform(0, 3) == 0) {
        const int e = static_cast<int>(rng.uniform(0, 3));
        std::fill(t.bs + 4 * e, t.bs + 4 * e + 4, static_cast<Opx8u>(rng.uniform(0, 4)));
    }
    // Edges 1 and 3 unfiltered, as in macroblocks with 8×8 transforms.
    if (rng.uniform(0, 3) == 0) {
        std::fill(t.bs + 4, t.bs + 8, Opx8u{0});
        std::fill(t.bs + 12, t.bs + 16, Opx8u{0});
    }
    return t;
}

template <class T>
std::unique_ptr<Plane<T>> twin(const Plane<T>& a) {
    auto b = std::make_unique<Plane<T>>(a.width(), a.height(), 16);
    for (int y = 0; y < a.height(); ++y) std::copy(a.row(y), a.row(y) + a.width(), b->row(y));
    return b;
}

constexpr Samples kAllSamples[] = {Samples::kSmooth, Samples::kBlocky, Samples::kExtreme,
                                   Samples::kRandom};
constexpr int kRuns = 300;

// One 8-bit edge set through the portable path on `a` and the AVX2 path on a copy of it (aligned
// while `a` may not be); `up` addresses the macroblock from its bottom row with a negative step.
testing::AssertionResult same_edges8(int kind, Plane<Opx8u>& a, const Thresholds<Opx8u>& t,
                                     bool up = false) {
    auto b = twin(a);
    const int y0 = up ? kSide - 1 - kOrigin : kOrigin;
    const std::ptrdiff_t sa = up ? -a.step() : a.step(), sb = up ? -b->step() : b->step();
    ref::kDeblock.edges8[kind](&a.at(kOrigin, y0), sa, t.alpha, t.beta, t.tc0, t.bs);
    avx2::kDeblock.edges8[kind](&b->at(kOrigin, y0), sb, t.alpha, t.beta, t.tc0, t.bs);
    if (!b->canaries_intact()) return testing::AssertionFailure() << "write outside the block";
    return planes_equal(a, *b);
}

// Every 8-bit edge set: random thresholds over their whole range and bS per segment (whole edges
// of one bS a quarter of the time).
TEST(H264Deblock, EightBitKernelsMatchPortable) {
    Rng rng;
    for (int kind = 0; kind < kNumDeblock8u; ++kind) {
        SCOPED_TRACE(kNames8[kind]);
        for (int run = 0; run < kRuns; ++run) {
            Plane<Opx8u> a(kSide, kSide, 16, static_cast<int>(rng.uniform(0, 31)));
            fill_samples(a, kAllSamples[run % 4], 255, rng);
            ASSERT_TRUE(same_edges8(kind, a, any_thresholds<Opx8u>(rng, 1), run % 7 == 3))
                << "run " << run;
        }
    }
}

TEST(H264Deblock, MbaffKernelsMatchPortable) {
    Rng rng;
    for (int luma = 0; luma < 2; ++luma)
        for (int run = 0; run < kRuns; ++run) {
            Plane<Opx8u> a(kSide, kSide, 16);
            fill_samples(a, kAllSamples[run % 4], 255, rng);
            auto b = twin(a);
            const Thresholds<Opx8u> t = any_thresholds<Opx8u>(rng, 1);
            Opx32u alpha = t.alpha[0], beta = t.beta[0];
            if (run % 5 == 0) alpha = static_cast<Opx32u>(rng.uniform(0, UINT32_MAX));
            if (run % 7 == 0) beta = static_cast<Opx32u>(rng.uniform(256, UINT32_MAX));
            const auto& r = luma ? ref::kDeblock.luma_mbaff8 : ref::kDeblock.chroma_mbaff8;
            const auto& v = luma ? avx2::kDeblock.luma_mbaff8 : avx2::kDeblock.chroma_mbaff8;
            r(&a.at(kOrigin, kOrigin), a.step(), alpha, beta, t.tc0, t.bs);
            v(&b->at(kOrigin, kOrigin), b->step(), alpha, beta, t.tc0, t.bs);
            ASSERT_TRUE(planes_equal(a, *b)) << (luma ? "luma" : "chroma") << " run " << run;
            ASSERT_TRUE(b->canaries_intact());
        }
}

TEST(H264Deblock, SixteenBitKernelsMatchPortable) {
    Rng rng;
    for (int kind = 0; kind < kNumDeblock16u; ++kind)
        for (int run = 0; run < kRuns; ++run) {
            SCOPED_TRACE(kind);
            const int depth = static_cast<int>(rng.uniform(8, 14)), max = (1 << depth) - 1;
            Plane<Opx16u> a(kSide, kSide, 16);
            // Now and then samples beyond the bit depth (the caller's plane is not checked).
            fill_samples(a, kAllSamples[run % 4], run % 11 == 5 ? 65535 : max, rng);
            auto b = twin(a);
            const Thresholds<Opx16u> t = any_thresholds<Opx16u>(rng, 1 << (depth - 8));
            const std::ptrdiff_t sa = a.step() / 2, sb = b->step() / 2;
            ref::kDeblock.edges16[kind](&a.at(kOrigin, kOrigin), sa, t.alpha, t.beta, t.tc0, t.bs,
                                        depth);
            avx2::kDeblock.edges16[kind](&b->at(kOrigin, kOrigin), sb, t.alpha, t.beta, t.tc0, t.bs,
                                         depth);
            ASSERT_TRUE(planes_equal(a, *b)) << "run " << run << " depth " << depth;
            ASSERT_TRUE(b->canaries_intact());
        }
}

// ---- rules of the exported functions ----------------------------------------------------------

struct Mb {
    Plane<Opx8u> plane{kSide, kSide, 16};
    Opx8u* at() { return &plane.at(kOrigin, kOrigin); }
    Opx32s step() const { return static_cast<Opx32s>(plane.step()); }
};

// Step edges (p side, q side; the second line past the edge raised by `bump`), beta 5, tC0 0:
// p0 and q0 as the rules give them on the first `n` samples along the edge, sample n as it was,
// p1 and q1 untouched. Luma bS 4 with alpha 15: the step of 5 is not below (15 >> 2) + 2 (the
// edge of the full filter), so only p0 and q0 change. Chroma, alpha 20: bS < 4 corrects by
// tC0 + 1; 4:2:2 horizontal edges take the first bS for all eight columns, 4:2:0 ones each
// segment's; interleaved forms apply the bS 4 rule only when all four are 4, otherwise the bS < 4
// rule also where bS is 4.
TEST(H264Deblock, RuleCasesOnStepEdges) {
    enum Fn { kLumaVer, kChromaHor, kChroma422Hor, kChromaHorC2 };
    struct Case {
        const char* why;
        Fn fn;
        int p, q, bump;
        std::array<Opx8u, 4> bs;
        int p0, q0, n;
    };
    const Case cases[] = {
        {"luma bS 4 without the full filter", kLumaVer, 10, 15, 0, {4, 4, 4, 4}, 11, 14, 16},
        {"chroma bS 1 tC0 0", kChromaHor, 100, 110, 0, {1, 1, 1, 1}, 101, 109, 8},
        {"4:2:2 first bS 4", kChroma422Hor, 100, 110, 2, {4, 0, 0, 0}, 103, 109, 8},
        {"4:2:0 bS per segment", kChromaHor, 100, 110, 2, {4, 0, 0, 0}, 103, 109, 2},
        {"interleaved, all four 4", kChromaHorC2, 100, 110, 0, {4, 4, 4, 4}, 103, 108, 16},
        {"interleaved, not all 4", kChromaHorC2, 100, 110, 0, {4, 4, 4, 3}, 101, 109, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const bool ver = c.fn == kLumaVer;
        Mb m;
        for (int y = -kOrigin; y < kSide - kOrigin; ++y)
            for (int x = -kOrigin; x < kSide - kOrigin; ++x) {
                const int d = ver ? x : y;
                m.plane.at(kOrigin + x, kOrigin + y) =
                    static_cast<Opx8u>(d < 0 ? c.p : c.q + (d == 1) * c.bump);
            }
        const Opx8u a[2] = {Opx8u(ver ? 15 : 20), Opx8u(ver ? 15 : 20)}, b[2] = {5, 5};
        Opx8u tc[16] = {}, bs[16] = {};
        std::copy(c.bs.begin(), c.bs.end(), bs);
        Opx8u* const at = m.at();
        const Opx32s st = m.step();
        const OpxDeblock8u d = {at, st, a, b, tc, bs};
        ASSERT_EQ(c.fn == kLumaVer
                      ? opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(at, st, a, b, tc, bs)
                  : c.fn == kChromaHor
                      ? opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR(at, st, a, b, tc, bs)
                  : c.fn == kChroma422Hor ? opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR(&d)
                                          : opxiFilterDeblockingChroma_HorEdge_H264_8u_C2I(&d),
                  opxOk);
        const std::ptrdiff_t across = ver ? 1 : m.step(), along = ver ? m.step() : 1;
        for (int i = 0; i <= c.n; ++i) {
            const Opx8u* q = m.at() + i * along;
            EXPECT_EQ(q[-2 * across], c.p) << i;
            EXPECT_EQ(q[across], c.q + c.bump) << i;
            EXPECT_EQ(q[-across], i < c.n ? c.p0 : c.p) << i;
            EXPECT_EQ(q[0], i < c.n ? c.q0 : c.q) << i;
        }
    }
}

// 16 bits: bitDepth outside 8..14 is taken as the nearest of 8 and 14, never as a wild shift.
TEST(H264Deblock, SixteenBitDepthIsClampedTo8To14) {
    Opx16u tc[16];
    std::fill(tc, tc + 16, Opx16u{100});
    Opx8u bs[16] = {3, 3, 3, 3};
    for (Opx32s depth : {-5, 0, 7, 15, 31, 32, 1000}) {
        Plane<Opx16u> p1(kSide, kSide, 16), p2(kSide, kSide, 16);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                p1.at(x, y) = p2.at(x, y) = static_cast<Opx16u>(x < kOrigin ? 60000 : 65000);
        const Opx16u wa[2] = {9000, 9000}, wb[2] = {100, 100};
        OpxDeblock16u d1 = {
            &p1.at(kOrigin, kOrigin), static_cast<Opx32s>(p1.step() / 2), wa, wb, tc, bs, depth};
        OpxDeblock16u d2 = d1;
        d2.pSrcDstPlane = &p2.at(kOrigin, kOrigin);
        d2.bitDepth = depth < 8 ? 8 : 14;
        ASSERT_EQ(opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR(&d1), opxOk);
        ASSERT_EQ(opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR(&d2), opxOk);
        EXPECT_TRUE(planes_equal(p1, p2)) << depth;
        EXPECT_LE(p1.at(kOrigin, kOrigin), depth < 8 ? 255 : 16383);
    }
}

// ---- memory safety ----------------------------------------------------------------------------

// Each kernel run with its footprint flush against unreadable pages on either side.
template <class T, class Run>
void check_footprint(const Footprint& f, Run run) {
    const int w = (f.x1 - f.x0), h = f.y1 - f.y0;
    for (bool front : {false, true}) {
        GuardedBuffer g(static_cast<std::size_t>(w) * h * sizeof(T));
        unsigned char* base = g.place(w * sizeof(T), h, w * sizeof(T), front);
        ASSERT_NE(base, nullptr);
        Rng rng(w * 131 + h);
        for (unsigned char* c = g.begin(); c != g.end(); ++c)
            *c = static_cast<unsigned char>(rng.uniform(90, 110));
        T* mb = reinterpret_cast<T*>(base) - f.y0 * w - f.x0;
        run(mb, w);
    }
}

TEST(H264Deblock, KernelsStayInsideTheirFootprint) {
    Opx8u a[2] = {255, 255}, b[2] = {255, 255}, tc[16], bs[16];
    std::fill(tc, tc + 16, Opx8u{255});
    std::fill(bs, bs + 16, Opx8u{4});
    for (const DeblockKernels* k : {&ref::kDeblock, &avx2::kDeblock}) {
        for (int kind = 0; kind < kNumDeblock8u; ++kind) {
            SCOPED_TRACE(kNames8[kind]);
            for (Opx8u v : {Opx8u{4}, Opx8u{2}}) {
                std::fill(bs, bs + 16, v);
                check_footprint<Opx8u>(kFoot8[kind], [&](Opx8u* p, int step) {
                    k->edges8[kind](p, step, a, b, tc, bs);
                });
            }
        }
        check_footprint<Opx8u>(
            kFootLumaMbaff, [&](Opx8u* p, int step) { k->luma_mbaff8(p, step, 255, 255, tc, bs); });
        check_footprint<Opx8u>(kFootChromaMbaff, [&](Opx8u* p, int step) {
            k->chroma_mbaff8(p, step, 255, 255, tc, bs);
        });
        const Opx16u a16[2] = {65535, 65535}, b16[2] = {65535, 65535};
        Opx16u tc16[16];
        std::fill(tc16, tc16 + 16, Opx16u{65535});
        for (int kind = 0; kind < kNumDeblock16u; ++kind)
            check_footprint<Opx16u>(kFoot16[kind], [&](Opx16u* p, int step) {
                k->edges16[kind](p, step, a16, b16, tc16, bs, 14);
            });
    }
}

}  // namespace

OPX_NULL_AUTO(opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR, 64)
OPX_NULL_AUTO(opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR, 64)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR, 64)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR, 64)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_VerEdge_H264_8u_C2IR, 64)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR, 64)
#define OPX_DEBLOCK8_NULL_CASE(fn)                                         \
    OPX_NULL_CASE(fn) {                                                    \
        const OpxDeblock8u d = {nul(s.u8(0)), 64,           nul(s.u8(1)),  \
                                nul(s.u8(2)), nul(s.u8(3)), nul(s.u8(4))}; \
        return fn(nul(&d));                                                \
    }
OPX_DEBLOCK8_NULL_CASE(opxiFilterDeblockingChroma_VerEdge_H264_8u_C2I)
OPX_DEBLOCK8_NULL_CASE(opxiFilterDeblockingChroma_HorEdge_H264_8u_C2I)
OPX_DEBLOCK8_NULL_CASE(opxiFilterDeblockingChroma422VerEdge_H264_8u_C1IR)
OPX_DEBLOCK8_NULL_CASE(opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR)
OPX_NULL_AUTO(opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR, 64, 40, 10)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_VerEdge_MBAFF_H264_8u_C1IR, 64, 40, 10)

#define OPX_DEBLOCK16_NULL_CASE(fn)                                                              \
    OPX_NULL_CASE(fn) {                                                                          \
        const OpxDeblock16u d = {nul(s.u16(0)), 64, nul(s.u16(1)), nul(s.u16(2)), nul(s.u16(3)), \
                                 nul(s.u8(4)),  10};                                             \
        return fn(nul(&d));                                                                      \
    }
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingLumaHorEdge_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingLumaVerEdgeMBAFF_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingChromaVerEdge_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingChromaVerEdgeMBAFF_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingChroma422VerEdge_H264_16u_C1IR)
OPX_DEBLOCK16_NULL_CASE(opxiFilterDeblockingChroma422HorEdge_H264_16u_C1IR)

}  // namespace opx::test
