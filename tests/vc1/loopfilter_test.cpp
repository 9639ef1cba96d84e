// VC-1 deblocking and overlap smoothing through the exported functions (the AVX2 kernels, and the
// portable ones in the suite's second run), results pinned, on flat, step, sign-mismatch, clip-0
// and random edges with every flag value; smoothing write-back seen by the horizontal pass, every
// fieldNeighbourFlag, interleaved chroma against planar; canaries, negative steps.
#include "vc1/loopfilter.hpp"

#include "harness/pinned.hpp"
#include "vc1_util.hpp"

namespace opx::test::vc1 {
namespace {

// ---- deblocking ------------------------------------------------------------------------------

struct Form {
    const char* name;
    bool vertical, c2, luma;
    int width, height, ex, ey;  // region in bytes and rows, edge sample (byte x, row y)
};
const Form kForms[] = {
    {"LumaVer", true, false, true, 16, 16, 8, 0},
    {"LumaHor", false, false, true, 16, 8, 0, 4},
    {"ChromaVer", true, false, false, 16, 8, 8, 0},
    {"ChromaHor", false, false, false, 8, 8, 0, 4},
    {"ChromaVerC2", true, true, false, 32, 8, 16, 0},
    {"ChromaHorC2", false, true, false, 16, 8, 0, 4},
};

OpxResult call_deblock(int form, Opx8u* p, int pq, std::int32_t step, Opx32u fu, Opx32u fv) {
    if (form >= 4)
        return (form == 4 ? opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR
                          : opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR)(p, pq, step, fu, fv);
    return (form == 0   ? opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR
            : form == 1 ? opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR
            : form == 2 ? opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR
                        : opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR)(p, pq, step, fu);
}

// Edge contents: 0 flat, 1 step with flat sides, 2 random around a step, 3 sign mismatch (the
// correction points away from clip), 4 clip 0 (P4 - P5 in -1..1), 5 fully random.
int edge_value(Rng& rng, int kind, int across, int line, int base, int step) {
    // Kind 3: P4 < P5 but a0 demands the other way, a ramp reversed at the edge.
    static const int shape[8] = {0, 2, 4, 12, 14, 8, 10, 12};
    const bool right = across >= 0;
    return kind == 0   ? base
           : kind == 1 ? base + (right ? step : 0)
           : kind == 2 ? std::clamp<int>(base + (right ? step : 0) + rng.uniform_int(-3, 3), 0, 255)
           : kind == 3 ? std::clamp(base + shape[across + 4] + (line & 1), 0, 255)
           : kind == 4 ? base + (across == 0 ? rng.uniform_int(-1, 1) : (right ? 6 : -6))
                       : rng.uniform_int(0, 255);
}

// Every edge kind and flag value pinned (checked against the filter formulas of SMPTE 421M 8.6
// when pinned).
TEST(Vc1Deblock, EveryEdgeKindAndFlagPinned) {
    Rng rng(0x44424C4Bull);
    Digest digest;
    for (int fi = 0; fi < 6; ++fi) {
        const Form& f = kForms[fi];
        for (Opx32u flag = 0; flag < 16; ++flag)
            for (int kind = 0; kind < 6; ++kind)
                for (int trial = 0; trial < 6; ++trial) {
                    SCOPED_TRACE(testing::Message() << f.name << " flag " << flag << " kind "
                                                    << kind << " trial " << trial);
                    const Opx32u fv = f.c2 ? static_cast<Opx32u>(rng.uniform(0, 15)) : 0;
                    const int pq = trial == 5 ? rng.uniform_int(-2, 40) : rng.uniform_int(1, 31);
                    const int base = rng.uniform_int(0, 200), st = rng.uniform_int(-40, 40);
                    Area<Opx8u> a(f.width, f.height, trial & 1, trial % 3);
                    for (int y = 0; y < f.height; ++y)
                        for (int x = 0; x < f.width; ++x) {
                            const int across =
                                f.vertical ? ((x - f.ex) >> (f.c2 ? 1 : 0)) : y - f.ey;
                            const int v = (across < -4 || across > 3)
                                              ? rng.uniform_int(0, 255)
                                              : std::clamp(edge_value(rng, kind, across,
                                                                      f.vertical ? y : x, base, st),
                                                           0, 255);
                            a.at(x, y) = static_cast<Opx8u>(v);
                        }
                    ASSERT_EQ(call_deblock(fi, &a.at(f.ex, f.ey), pq, a.step(), flag, fv), opxOk);
                    ASSERT_TRUE(a.canaries_intact());
                    for (int y = 0; y < f.height; ++y)
                        for (int x = 0; x < f.width; ++x) digest.add(a.at(x, y));
                }
    }
    EXPECT_EQ(digest.value(), 0xd9db48b05eda685eull);
}

// ---- smoothing ----------------------------------------------------------------------------

using Blk = std::vector<std::vector<int>>;  // [row][col]

Blk random_blk(Rng& rng, int rows, int cols, bool wide) {
    Blk b(rows, std::vector<int>(cols));
    for (auto& r : b)
        for (int& v : r)
            v = static_cast<int>(wide ? rng.uniform(-32768, 32767) : rng.uniform(-60, 320));
    return b;
}
void put(Area<Opx16s>& a, const Blk& b) {
    for (size_t y = 0; y < b.size(); ++y)
        for (size_t x = 0; x < b[y].size(); ++x)
            a.at(static_cast<int>(x), static_cast<int>(y)) = static_cast<Opx16s>(b[y][x]);
}
Blk get(Area<Opx16s>& a, int rows, int cols) {
    Blk b(rows, std::vector<int>(cols));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) b[y][x] = a.at(x, y);
    return b;
}
void expect_blk(Area<Opx16s>& a, const Blk& b) {
    for (size_t y = 0; y < b.size(); ++y)
        for (size_t x = 0; x < b[y].size(); ++x)
            ASSERT_EQ(a.at(static_cast<int>(x), static_cast<int>(y)), b[y][x])
                << "block at " << x << "," << y;
}

template <class T>
void add(Digest& d, Area<T>& a, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) d.add(a.at(x, y));
}

// Luma: vertical edge between two 16x8 halves (left, right), then horizontal edge from the
// updated right block (upper) onto a lower block: the horizontal pass reads the write-back. Every
// field and edge flag; results and write-backs pinned (checked against the overlap
// smoothing formulas of SMPTE 421M 8.5 when pinned).
TEST(Vc1Smooth, LumaVerticalWriteBackSeenByHorizontalEveryFlagPinned) {
    Rng rng(0x534D4C55ull);
    Digest digest;
    for (Opx32u field = 0; field < 8; ++field)
        for (Opx32u edge = 0; edge < 16; ++edge) {
            SCOPED_TRACE(testing::Message() << " field " << field << " edge " << edge);
            const bool wide = edge == 9;
            Blk L = random_blk(rng, 16, 8, wide), R = random_blk(rng, 16, 16, wide),
                D = random_blk(rng, 2, 16, wide);
            Area<Opx16s> al(8, 16, edge & 1, 2), ar(16, 16, false, 6), ad(16, 2, edge & 2);
            put(al, L), put(ar, R), put(ad, D);
            Area<Opx8u> dv(4, 16, field & 1, 3), dh(16, 4, !(field & 1), 1);
            ASSERT_EQ(opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R(&al.at(6, 0), al.step(), &ar.at(0, 0),
                                                              ar.step(), &dv.at(2, 0), dv.step(),
                                                              field, edge),
                      opxOk);
            // Horizontal: rows 14, 15 of R (as rows 6, 7 of an 8-row view) over D.
            const Blk after_ver = get(ar, 16, 16);
            ASSERT_EQ(
                opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R(&ar.at(0, 14), ar.step(), &ad.at(0, 0),
                                                        ad.step(), &dh.at(0, 2), dh.step(), edge),
                opxOk);
            expect_blk(ar, after_ver);  // sources unchanged by the horizontal pass
            ASSERT_TRUE(al.canaries_intact() && ar.canaries_intact() && dv.canaries_intact() &&
                        dh.canaries_intact());
            add(digest, al, 8, 16), add(digest, ar, 16, 16);
            add(digest, dv, 4, 16), add(digest, dh, 16, 4);
        }
    EXPECT_EQ(digest.value(), 0x253fa1b3b5993d9eull);
}

// Chroma: the planar (C1R) form on component 0 and the interleaved (P2C2R) form on both, whose
// output interleaves the planar results; pinned as above.
TEST(Vc1Smooth, ChromaPlanarAndInterleavedPinned) {
    Rng rng(0x534D4348ull);
    Digest digest;
    for (int trial = 0; trial < 20; ++trial) {
        const bool wide = trial % 5 == 4;
        Blk L[2], R[2], U[2], B[2];
        Area<Opx16s> al[2] = {{8, 8, bool(trial & 1)}, {8, 8}}, ar[2] = {{8, 8}, {8, 8, true}};
        Area<Opx16s> au[2] = {{8, 8}, {8, 8, bool(trial & 2)}}, ab[2] = {{8, 8, true}, {8, 8}};
        for (int c = 0; c < 2; ++c) {
            L[c] = random_blk(rng, 8, 8, wide), R[c] = random_blk(rng, 8, 8, wide);
            U[c] = random_blk(rng, 8, 8, wide), B[c] = random_blk(rng, 8, 8, wide);
            put(al[c], L[c]), put(ar[c], R[c]), put(au[c], U[c]), put(ab[c], B[c]);
        }
        Area<Opx8u> d1(4, 8), d2(8, 8, trial & 1, 1), h1(8, 4), h2(16, 4, true), h1b(8, 4);
        ASSERT_EQ(opxiSmoothingChroma_HorEdge_VC1_16s8u_C1R(&au[0].at(0, 6), au[0].step(),
                                                            &ab[0].at(0, 0), ab[0].step(),
                                                            &h1.at(0, 2), h1.step()),
                  opxOk);
        ASSERT_EQ(opxiSmoothingChroma_HorEdge_VC1_16s8u_C1R(&au[1].at(0, 6), au[1].step(),
                                                            &ab[1].at(0, 0), ab[1].step(),
                                                            &h1b.at(0, 2), h1b.step()),
                  opxOk);
        ASSERT_EQ(opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R(
                      &au[0].at(0, 6), au[0].step(), &ab[0].at(0, 0), ab[0].step(), &au[1].at(0, 6),
                      au[1].step(), &ab[1].at(0, 0), ab[1].step(), &h2.at(0, 2), h2.step()),
                  opxOk);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(h2.at(2 * x, y), h1.at(x, y));
                ASSERT_EQ(h2.at(2 * x + 1, y), h1b.at(x, y));
            }
        ASSERT_EQ(opxiSmoothingChroma_VerEdge_VC1_16s8u_C1R(&al[0].at(6, 0), al[0].step(),
                                                            &ar[0].at(0, 0), ar[0].step(),
                                                            &d1.at(2, 0), d1.step()),
                  opxOk);
        add(digest, al[0], 8, 8), add(digest, ar[0], 8, 8), add(digest, d1, 4, 8);
        add(digest, h1, 8, 4), add(digest, h1b, 8, 4);
        const Blk l0 = get(al[0], 8, 8), r0 = get(ar[0], 8, 8);
        put(al[0], L[0]), put(ar[0], R[0]);
        ASSERT_EQ(opxiSmoothingChroma_VerEdge_VC1_16s8u_P2C2R(
                      &al[0].at(6, 0), al[0].step(), &ar[0].at(0, 0), ar[0].step(), &al[1].at(6, 0),
                      al[1].step(), &ar[1].at(0, 0), ar[1].step(), &d2.at(4, 0), d2.step()),
                  opxOk);
        expect_blk(al[0], l0);  // the same write-back as the planar form
        expect_blk(ar[0], r0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x) ASSERT_EQ(d2.at(2 * x, y), d1.at(x, y));
        add(digest, al[1], 8, 8), add(digest, ar[1], 8, 8), add(digest, d2, 8, 8);
        ASSERT_TRUE(d1.canaries_intact() && d2.canaries_intact() && h1.canaries_intact() &&
                    h2.canaries_intact());
    }
    EXPECT_EQ(digest.value(), 0x29377aef8d0b1138ull);
}

// ---- null pointers -------------------------------------------------------------------------

OPX_NULL_AUTO(opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR, 10, 64, 0u)
OPX_NULL_AUTO(opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR, 10, 64, 0u)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR, 10, 64, 0u)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR, 10, 64, 0u)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR, 10, 64, 0u, 0u)
OPX_NULL_AUTO(opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR, 10, 64, 0u, 0u)
OPX_NULL_AUTO(opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R, 32, 32, 32, 0u, 15u)
OPX_NULL_AUTO(opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R, 32, 32, 32, 15u)
OPX_NULL_AUTO(opxiSmoothingChroma_VerEdge_VC1_16s8u_C1R, 16, 16, 16)
OPX_NULL_AUTO(opxiSmoothingChroma_HorEdge_VC1_16s8u_C1R, 16, 16, 16)
OPX_NULL_AUTO(opxiSmoothingChroma_VerEdge_VC1_16s8u_P2C2R, 16, 16, 16, 16, 32)
OPX_NULL_AUTO(opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R, 16, 16, 16, 16, 32)

}  // namespace
}  // namespace opx::test::vc1
