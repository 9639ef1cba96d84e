// H.264 interpolation at picture edges: Top and Bottom row replacement, and the Block functions
// against a reference that fetches every sample with clamped coordinates. Pictures sit flush
// against unreadable pages, so any read outside the picture faults.
#include <climits>
#include <set>
#include <tuple>
#include <type_traits>

#include "h264/decode/interp.hpp"
#include "h264/interp_test_util.hpp"

namespace opx::test {
namespace {

using namespace opx::h264;
using namespace opx::test::interp;

// ---- Top and Bottom -----------------------------------------------------------------------------

// Rows of the block support that a Top (Bottom) call may read, and the picture row that stands
// for each support row.
struct RowRule {
    bool top;
    int out, height;
    int last_picture_row() const { return height - 1 - out; }  // Bottom; Top: row `out`
    int source_of(int r) const {
        if (out <= 0) return r;
        if (top) return r < out ? out : r;
        return r > last_picture_row() ? last_picture_row() : r;
    }
};

// Runs `call(src, step, dst, dst_step)` on a source holding only the rows that the rule lets the
// function read (flush against unreadable pages on the side of the picture edge), and `plain` on
// a source whose support rows were replaced by the test; both must agree.
template <class T, class Edge, class Plain>
void check_rows(const Support& s, const RowRule& rule, int w, int h, int max, Rng& rng, Edge edge,
                Plain plain) {
    // Readable rows: the support rows that are picture rows, plus the edge row itself.
    int lo = s.r0, hi = s.r1;
    if (rule.out > 0) {
        if (rule.top) {
            lo = std::max(s.r0, rule.out);
            hi = std::max(s.r1, rule.out);
        } else {
            hi = std::min(s.r1, rule.last_picture_row());
            lo = std::min(s.r0, rule.last_picture_row());
        }
    }
    const int rows = hi - lo + 1;
    const std::ptrdiff_t step = s.width();
    GuardedBuffer g(static_cast<std::size_t>(rows * step) * sizeof(T));
    T* first = reinterpret_cast<T*>(g.place(s.width() * sizeof(T), rows, step * sizeof(T),
                                            /*at_front=*/rule.top));
    for (int i = 0; i < rows * step; ++i) first[i] = static_cast<T>(rng.uniform(0, max));
    const T* block = first - lo * step - s.c0;  // block sample (0, 0); may lie outside the buffer

    // The same source with the support rows replaced, for the plain kernel.
    Plane<T> full(w, h, 4);
    for (int r = s.r0; r <= s.r1; ++r)
        for (int c = s.c0; c <= s.c1; ++c) full.at(c, r) = block[rule.source_of(r) * step + c];

    Plane<T> a(w, h, 8), b(w, h, 8);
    ASSERT_EQ(edge(block, step, b.data(), b.step() / static_cast<std::ptrdiff_t>(sizeof(T))),
              opxOk);
    plain(full.data(), full.step() / static_cast<std::ptrdiff_t>(sizeof(T)), a.data(),
          a.step() / static_cast<std::ptrdiff_t>(sizeof(T)));
    ASSERT_TRUE(planes_equal(a, b));
    ASSERT_TRUE(b.canaries_intact());
}

// The portable plain kernel for a w x h block at fraction (fx, fy): luma in quarter samples,
// chroma in eighth samples.
template <class T>
void ref_plain(bool luma, int w, int h, int fx, int fy, int max, const T* s, std::ptrdiff_t ss,
               T* d, std::ptrdiff_t ds) {
    if constexpr (sizeof(T) == 1) {
        if (luma)
            ref::kInterp.luma8[luma8_index(w, fx, fy)](s, ss, d, ds, h);
        else
            ref::kInterp.chroma8[chroma8_index(w, fx, fy)](s, ss, d, ds, h, chroma_frac(fx, fy));
    } else if (luma) {
        ref::kInterp.luma16[4 * fy + fx](s, ss, d, ds, w, h, max);
    } else {
        ref::kInterp.chroma16[chroma16_index(fx, fy)](s, ss, d, ds, w, h, fx, fy);
    }
}

std::vector<int> out_pixel_cases(int h) {
    return {-3, 0, 1, 2, h - 1, h, h + 3, h + 40};
}

// One Top or Bottom call, of luma (`luma`: quarter-sample position dx, dy) or chroma (eighth
// samples), against the portable plain kernel on the replaced rows.
template <class T>
void check_edge_rows(bool luma, int w, int h, int dx, int dy, bool top, int out, Rng& rng) {
    SCOPED_TRACE(testing::Message()
                 << (luma ? "luma " : "chroma ") << sizeof(T) * 8 << " bits " << w << "x" << h
                 << " dx " << dx << " dy " << dy << (top ? " top " : " bottom ") << out);
    Support s = luma ? luma_support(w, h, dx, dy) : chroma_support(w, h, dx, dy);
    if (!luma && sizeof(T) == 2) s.c1 = std::max(s.c1, 7);  // 16-bit steps are at least 8 samples
    const int max = sizeof(T) == 1 ? 255 : luma ? 4095 : 16383;
    check_rows<T>(
        s, RowRule{top, out, h}, w, h, max, rng,
        [&](const T* src, std::ptrdiff_t ss, T* d, std::ptrdiff_t ds) {
            if constexpr (sizeof(T) == 1) {
                const auto f = luma ? (top ? opxiInterpolateLumaTop_H264_8u_C1R
                                           : opxiInterpolateLumaBottom_H264_8u_C1R)
                                    : (top ? opxiInterpolateChromaTop_H264_8u_C1R
                                           : opxiInterpolateChromaBottom_H264_8u_C1R);
                return f(src, static_cast<Opx32s>(ss), d, static_cast<Opx32s>(ds), dx, dy, out,
                         {w, h});
            } else {
                const auto f = luma ? (top ? opxiInterpolateLumaTop_H264_16u_C1R
                                           : opxiInterpolateLumaBottom_H264_16u_C1R)
                                    : (top ? opxiInterpolateChromaTop_H264_16u_C1R
                                           : opxiInterpolateChromaBottom_H264_16u_C1R);
                const std::ptrdiff_t dst_step = luma ? ds : std::max<std::ptrdiff_t>(ds, 8);
                OpxInterpolate16u p{
                    src,    static_cast<Opx32s>(ss), d, static_cast<Opx32s>(dst_step), dx, dy,
                    {w, h}, luma ? 12 : 14};
                return f(&p, out);
            }
        },
        [&](const T* src, std::ptrdiff_t ss, T* d, std::ptrdiff_t ds) {
            ref_plain(luma, w, h, dx, dy, max, src, ss, d, ds);
        });
}

TEST(InterpEdges, LumaTopAndBottomReplaceRowsOutsideThePicture) {
    Rng rng;
    for (int w : {4, 8, 16})
        for (int h : {4, 8, 16})
            for (int pos = 0; pos < 16; ++pos)
                for (bool top : {true, false})
                    for (int out : out_pixel_cases(h)) {
                        check_edge_rows<Opx8u>(true, w, h, pos % 4, pos / 4, top, out, rng);
                        if (w + h != 20)
                            check_edge_rows<Opx16u>(true, w, h, pos % 4, pos / 4, top, out, rng);
                    }
}

TEST(InterpEdges, ChromaTopAndBottomReplaceRowsOutsideThePicture) {
    Rng rng;
    for (int w : {2, 4, 8})
        for (int h : {2, 4, 8, 16})
            for (auto [dx, dy] : {std::pair{0, 0}, {3, 0}, {0, 5}, {7, 1}})
                for (bool top : {true, false})
                    for (int out : out_pixel_cases(h)) {
                        check_edge_rows<Opx8u>(false, w, h, dx, dy, top, out, rng);
                        check_edge_rows<Opx16u>(false, w, h, dx, dy, top, out, rng);
                    }
}

// ---- Block functions ----------------------------------------------------------------------------

// A picture of fw x fh samples of `channels` interleaved elements T, in memory that ends (or
// starts) at an unreadable page, with the tightest step.
template <class T>
struct Picture {
    int fw, fh, channels;
    GuardedBuffer buf;
    T* data;
    std::ptrdiff_t step;  // elements
    Picture(int w, int h, int ch, bool at_front, int max, Rng& rng)
        : fw(w), fh(h), channels(ch), buf(static_cast<std::size_t>(w * ch * h) * sizeof(T)) {
        step = w * ch;
        data = reinterpret_cast<T*>(buf.place(w * ch * sizeof(T), h, step * sizeof(T), at_front));
        for (int i = 0; i < w * ch * h; ++i) data[i] = static_cast<T>(rng.uniform(0, max));
    }
    // Sample at clamped coordinates (64-bit, any position).
    T at(std::int64_t x, std::int64_t y, int c) const {
        x = std::clamp<std::int64_t>(x, 0, fw - 1);
        y = std::clamp<std::int64_t>(y, 0, fh - 1);
        return data[y * step + x * channels + c];
    }
};

// Reference of a Block call: fetch the support with clamped coordinates sample by sample, then
// run the portable plain kernel on it. `luma`: quarter samples and six-tap support; else eighth
// samples and one extra column and row.
template <class T, class Kernel>
void expect_block(const Picture<T>& pic, bool luma, int w, int h, OpxPoint pos, OpxPoint mv,
                  Plane<T>& out, int c, Kernel kernel) {
    const int bits = luma ? 2 : 3;
    const int fx = mv.x & ((1 << bits) - 1), fy = mv.y & ((1 << bits) - 1);
    const std::int64_t x0 = std::int64_t{pos.x} + (mv.x >> bits);
    const std::int64_t y0 = std::int64_t{pos.y} + (mv.y >> bits);
    Plane<T> region(w, h, 4);
    for (int r = -3; r < h + 4; ++r)
        for (int q = -3; q < w + 4; ++q) region.at(q, r) = pic.at(x0 + q, y0 + r, c);
    kernel(region.data(), region.step() / static_cast<std::ptrdiff_t>(sizeof(T)), out.data(),
           out.step() / static_cast<std::ptrdiff_t>(sizeof(T)), fx, fy);
}

// Block positions and vectors that cover every combination of the four edge flags, vectors
// wholly outside the picture and the extremes of the vector range.
std::vector<std::pair<OpxPoint, OpxPoint>> block_cases(int fw, int fh, int w, int h, bool luma,
                                                       Rng& rng) {
    std::vector<std::pair<OpxPoint, OpxPoint>> out;
    const int unit = luma ? 4 : 8;
    const int sx = fw < 8 ? 1 : 2, sy = fh < 8 ? 1 : 2;
    for (int y = -h - 3; y <= fh + 3; y += sy)
        for (int x = -w - 3; x <= fw + 3; x += sx) {
            const int fx = static_cast<int>(rng.uniform(0, unit - 1));
            const int fy = static_cast<int>(rng.uniform(0, unit - 1));
            out.push_back({{fw / 2, fh / 2}, {(x - fw / 2) * unit + fx, (y - fh / 2) * unit + fy}});
            // Near the top-left corner also with both fractions set, so that tiny pictures are
            // crossed on all four sides whatever the random fractions were.
            if (x >= -3 && x <= 1 && y >= -3 && y <= 1)
                out.push_back(
                    {{fw / 2, fh / 2}, {(x - fw / 2) * unit + 1, (y - fh / 2) * unit + 1}});
        }
    for (int big : {1 << 20, INT_MAX, INT_MIN, -(1 << 24) - 1})
        for (int other : {0, 5, big, big == INT_MIN ? INT_MAX : -big})
            out.push_back({{static_cast<int>(rng.uniform(0, fw - 1)), 0}, {big, other}}),
                out.push_back({{INT_MAX - 20, INT_MIN + 3}, {other, big}});
    // Zero vectors (the shortcut without edge test) at both corners of a picture the block fits.
    if (w <= fw && h <= fh) {
        out.push_back({{0, 0}, {0, 0}});
        out.push_back({{fw - w, fh - h}, {0, 0}});
    }
    return out;
}

// A zero vector makes no edge test, so the clamped fetch is the expected result only for blocks
// inside the picture.
bool zero_vector_outside(int fw, int fh, int w, int h, OpxPoint pos, OpxPoint mv) {
    return mv.x == 0 && mv.y == 0 &&
           !(pos.x >= 0 && pos.y >= 0 && pos.x + w <= fw && pos.y + h <= fh);
}

// Edge flags of a case (left, right, top, bottom), for the coverage check.
int edge_flags(int fw, int fh, int w, int h, bool luma, OpxPoint pos, OpxPoint mv) {
    const int bits = luma ? 2 : 3, before = luma ? 2 : 0, extra = luma ? 5 : 1;
    auto axis = [&](std::int64_t p, int v, int size, std::int64_t& s, std::int64_t& e) {
        s = p + (v >> bits);
        e = s + size;
        if (v & ((1 << bits) - 1)) s -= before, e = s + size + extra;
    };
    std::int64_t xs, xe, ys, ye;
    axis(pos.x, mv.x, w, xs, xe);
    axis(pos.y, mv.y, h, ys, ye);
    return (xs < 0) | (xe > fw) << 1 | (ys < 0) << 2 | (ye > fh) << 3;
}

enum class BlockForm { kLuma, kChromaP2R, kChromaC2C2R, kChromaC2P2R };

// One Block function on samples T against the clamped fetch. Picture shapes: per axis, a tiny
// size gives regions crossing both edges and a large one regions inside or crossing one edge,
// so their products cover every edge-flag combination (checked for 8-bit luma and every chroma
// form); 16-bit luma on one small picture.
template <class T>
void check_block(BlockForm form, int w, int h, Rng& rng) {
    const bool luma = form == BlockForm::kLuma, c2c2 = form == BlockForm::kChromaC2C2R;
    const bool interleaved = c2c2 || form == BlockForm::kChromaC2P2R;
    const int max = sizeof(T) == 1 ? 255 : luma ? 1023 : 16383;
    using Shapes = std::vector<std::tuple<int, int, bool>>;
    const Shapes shapes =
        !luma            ? Shapes{{1, 1, false}, {40, 22, true}, {1, 22, false}, {40, 1, true}}
        : sizeof(T) == 1 ? Shapes{{3, 2, false}, {40, 28, true}, {3, 28, true}, {40, 2, false}}
                         : Shapes{{11, 9, true}};
    std::set<int> flags;
    for (auto [fw, fh, front] : shapes) {
        Picture<T> p0(fw, fh, interleaved ? 2 : 1, front, max, rng);
        Picture<T> p1(fw, fh, 1, !front, max, rng);  // Cr plane of the planar forms (same step)
        for (auto [pos, mv] : block_cases(fw, fh, w, h, luma, rng)) {
            if (zero_vector_outside(fw, fh, w, h, pos, mv)) continue;
            flags.insert(edge_flags(fw, fh, w, h, luma, pos, mv));
            SCOPED_TRACE(testing::Message()
                         << static_cast<int>(form) << " " << sizeof(T) * 8 << " bits " << w << "x"
                         << h << " pos " << pos.x << "," << pos.y << " mv " << mv.x << "," << mv.y);
            Plane<T> e0(w, h, 8), e1(w, h, 8), a0(w * (c2c2 ? 2 : 1), h, 8), a1(w, h, 8);
            auto kernel = [&](const T* s, std::ptrdiff_t ss, T* d, std::ptrdiff_t ds, int fx,
                              int fy) { ref_plain(luma, w, h, fx, fy, max, s, ss, d, ds); };
            expect_block(p0, luma, w, h, pos, mv, e0, 0, kernel);
            if (!luma)
                expect_block(interleaved ? p0 : p1, false, w, h, pos, mv, e1, interleaved ? 1 : 0,
                             kernel);
            // Both destination planes share one step: a1 has the geometry of a0 unless the
            // output is interleaved.
            std::conditional_t<sizeof(T) == 1, OpxInterpolateBlock8u, OpxInterpolateBlock16u> r{};
            r.pSrc[0] = p0.data;
            r.pSrc[1] = luma || interleaved ? nullptr : p1.data;
            r.srcStep = static_cast<Opx32s>(p0.step);
            r.pDst[0] = a0.data();
            r.pDst[1] = luma || c2c2 ? nullptr : a1.data();
            r.dstStep = static_cast<Opx32s>(a0.step() / static_cast<std::ptrdiff_t>(sizeof(T)));
            r.frameSize = {fw, fh};
            r.blockSize = {w, h};
            r.blockPos = pos;
            r.motionVector = mv;
            if constexpr (sizeof(T) == 1) {
                ASSERT_EQ(luma ? opxiInterpolateLumaBlock_H264_8u_P1R(&r)
                          : form == BlockForm::kChromaP2R
                              ? opxiInterpolateChromaBlock_H264_8u_P2R(&r)
                          : c2c2 ? opxiInterpolateChromaBlock_H264_8u_C2C2R(&r)
                                 : opxiInterpolateChromaBlock_H264_8u_C2P2R(&r),
                          opxOk);
            } else {
                r.bitDepth = luma ? 10 : 14;
                ASSERT_EQ(luma ? opxiInterpolateLumaBlock_H264_16u_P1R(&r)
                               : opxiInterpolateChromaBlock_H264_16u_P2R(&r),
                          opxOk);
            }
            if (c2c2) {
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        ASSERT_EQ(a0.at(2 * x, y), e0.at(x, y)) << x << "," << y;
                        ASSERT_EQ(a0.at(2 * x + 1, y), e1.at(x, y)) << x << "," << y;
                    }
            } else {
                ASSERT_TRUE(planes_equal(e0, a0));
                if (!luma) {
                    ASSERT_TRUE(planes_equal(e1, a1));
                    ASSERT_TRUE(a1.canaries_intact());
                }
            }
            ASSERT_TRUE(a0.canaries_intact());
        }
    }
    if (!luma || sizeof(T) == 1) {
        EXPECT_EQ(flags.size(), 16u) << "edge-flag combinations covered";
    }
}

TEST(InterpEdges, LumaBlockMatchesClampedFetchAtEveryEdge) {
    Rng rng;
    for (int w : {4, 8, 16})
        for (int h : {4, 8, 16}) {
            check_block<Opx8u>(BlockForm::kLuma, w, h, rng);
            check_block<Opx16u>(BlockForm::kLuma, w, h, rng);
        }
}

TEST(InterpEdges, ChromaBlockFormsMatchClampedFetchAtEveryEdge) {
    Rng rng;
    for (int w : {2, 4, 8})
        for (int h : {2, 4, 8, 16}) {
            for (BlockForm f :
                 {BlockForm::kChromaP2R, BlockForm::kChromaC2C2R, BlockForm::kChromaC2P2R})
                check_block<Opx8u>(f, w, h, rng);
            check_block<Opx16u>(BlockForm::kChromaP2R, w, h, rng);
        }
}

// A zero vector copies the block at blockPos and makes no edge test.
TEST(InterpEdges, ZeroVectorCopiesWithoutEdgeTest) {
    Rng rng;
    Plane<Opx8u> pic(32, 32, 8);
    pic.fill(Pattern::kRandom, rng);
    Plane<Opx8u> d(16, 16, 8);
    // The block lies beyond the 8x8 frame: copied as it is.
    OpxInterpolateBlock8u r{{pic.data()}, static_cast<Opx32s>(pic.step()),
                            {d.data()},   static_cast<Opx32s>(d.step()),
                            {8, 8},       {16, 16},
                            {9, 3},       {0, 0}};
    ASSERT_EQ(opxiInterpolateLumaBlock_H264_8u_P1R(&r), opxOk);
    EXPECT_TRUE(regions_equal(pic.row(3) + 9, pic.step(), d.data(), d.step(), 16, 16));
}

}  // namespace
}  // namespace opx::test
