// Block primitives: every AVX2 kernel against the portable kernel of the same table slot, on
// random and extreme inputs, misaligned, odd and negative steps, with canaries around the
// destination and with every input ending at an unreadable page.
#include "block_test_entries.hpp"

namespace opx::test {
namespace {

using namespace opx::frame;
using block::Entry;
using block::Inputs;

struct Layout {
    int misalign;   // of every buffer
    int extra;      // extra step bytes (odd values give odd steps)
    bool negative;  // all steps negative: row 0 is the last row in memory
};
constexpr Layout kLayouts[] = {{0, 0, false}, {1, 3, false}, {7, 64, true}, {15, 1, true}};

// Row 0 and step of a plane walked upward or downward.
template <class T>
std::pair<T*, std::int32_t> walk(Plane<T>& p, bool negative) {
    if (!negative) return {p.data(), static_cast<std::int32_t>(p.step())};
    return {p.row(p.height() - 1), static_cast<std::int32_t>(-p.step())};
}

// Residual ranges: the full 16-bit range drives the saturation and wrap-around, the small range
// keeps most sums inside 0..255.
struct ResidualRange {
    std::int64_t lo, hi;
};
constexpr ResidualRange kResidualRanges[] = {{-32768, 32767}, {-300, 300}};

void differential(const Entry& e, int index, Pattern pattern, const Layout& lay,
                  const ResidualRange& rr, Rng& rng) {
    // Reference planes: the block plus margins, all filled, so reads to the right and below
    // (and above, for negative steps) see defined data; the walk stays inside the margins.
    Plane<Opx8u> ref_f(e.width, e.height + 1, 32, lay.misalign, lay.extra);
    Plane<Opx8u> ref_b(e.width, e.height + 1, 32, lay.misalign + 2, lay.extra);
    ref_f.fill_with_margins(pattern, rng, 0, 255);
    ref_b.fill_with_margins(pattern == Pattern::kComplementary ? Pattern::kMax : pattern, rng, 0,
                            255);
    // Residuals: the U/V planes of P2C2R, or one plane.
    const int rw = e.res_width ? e.res_width : 1;
    Plane<Opx16s> res_u(rw, e.height, 8, lay.misalign * 2, lay.extra * 2);
    Plane<Opx16s> res_v(rw, e.height, 8, lay.misalign * 2, lay.extra * 2);
    res_u.fill(pattern, rng, rr.lo, rr.hi);
    res_v.fill(pattern, rng, rr.lo, rr.hi, true);
    // Destinations: equal starting contents (read by the in-place forms).
    Plane<Opx8u> dst_ref(e.width, e.height, 16, lay.misalign, lay.extra);
    Plane<Opx8u> dst_avx(e.width, e.height, 16, (lay.misalign + 5) % 64, lay.extra);
    dst_ref.fill(pattern, rng, 0, 255, true);
    for (int y = 0; y < e.height; ++y)
        std::memcpy(dst_avx.row(y), dst_ref.row(y), static_cast<std::size_t>(e.width));

    // The reference planes have one row more than the block: the row below the block (read by
    // vertical positions) is the plane's last row, or its first with negative steps.
    auto [f, f_step] = walk(ref_f, lay.negative);
    auto [b, b_step] = walk(ref_b, lay.negative);
    auto [u, res_step] = walk(res_u, lay.negative);
    auto [v, res_step_v] = walk(res_v, lay.negative);
    ASSERT_EQ(res_step, res_step_v);
    const Inputs in{f, f_step, b, b_step, u, v, res_step};
    auto [dr, dr_step] = walk(dst_ref, lay.negative);
    auto [da, da_step] = walk(dst_avx, lay.negative);
    e.call(ref::kBlock, index, in, dr, dr_step);
    e.call(avx2::kBlock, index, in, da, da_step);

    SCOPED_TRACE(testing::Message()
                 << e.name << " index " << index << " pattern " << pattern_name(pattern)
                 << " misalign " << lay.misalign << " extra " << lay.extra << " negative "
                 << lay.negative << " residuals " << rr.lo << ".." << rr.hi);
    ASSERT_TRUE(planes_equal(dst_ref, dst_avx));
    ASSERT_TRUE(dst_ref.canaries_intact());
    ASSERT_TRUE(dst_avx.canaries_intact());
}

TEST(BlockKernels, Avx2MatchesPortableForEveryTableSlot) {
    Rng rng;
    for (const Entry& e : block::entries())
        for (int i = 0; i < e.count; ++i)
            for (Pattern p : kAllPatterns)
                for (const Layout& lay : kLayouts)
                    for (const ResidualRange& rr : kResidualRanges) {
                        if (!e.res_width && &rr != kResidualRanges) continue;
                        differential(e, i, p, lay, rr, rng);
                        if (HasFatalFailure()) return;
                    }
}

// Every input region is exactly what the rules let the kernel read: the block, n more bytes to
// the right for horizontal positions and one more row for vertical positions. Each is placed
// flush against an unreadable page, at its end and at its start, with positive and negative
// steps; the destination too (it must not be written outside the block either).
class GuardedInputs {
  public:
    GuardedInputs() : f_(kBytes), b_(kBytes), u_(kBytes), v_(kBytes), d_(kBytes) {}

    void run(const Entry& e, int index, bool at_front, bool negative, Rng& rng) {
        const block::Reach r = e.reach(index);
        const int sf = 40 + (negative ? 0 : 1), sr = 48;  // odd 8-bit step, even 16-bit step
        const std::int32_t f_step = negative ? -sf : sf, r_step = negative ? -sr : sr;
        Opx8u* f = place(f_, e.width + reach_x(r.pos_f, e.n), e.height + reach_y(r.pos_f), f_step,
                         at_front, rng);
        Opx8u* b = place(b_, e.width + reach_x(r.pos_b, e.n), e.height + reach_y(r.pos_b), f_step,
                         at_front, rng);
        const int rw = 2 * (e.res_width ? e.res_width : 1);
        auto* u = reinterpret_cast<Opx16s*>(place(u_, rw, e.height, r_step, at_front, rng));
        auto* v = reinterpret_cast<Opx16s*>(place(v_, rw, e.height, r_step, at_front, rng));
        Opx8u* d = place(d_, e.width, e.height, f_step, !at_front, rng);
        ASSERT_TRUE(f && b && u && v && d);

        // The portable result, into an ordinary copy of the destination.
        std::vector<Opx8u> expect(static_cast<std::size_t>(e.width * e.height));
        for (int y = 0; y < e.height; ++y)
            std::memcpy(&expect[static_cast<std::size_t>(y * e.width)], d + y * f_step,
                        static_cast<std::size_t>(e.width));
        const Inputs in{f, f_step, b, f_step, u, v, r_step};
        e.call(ref::kBlock, index, in, expect.data(), e.width);
        e.call(avx2::kBlock, index, in, d, f_step);
        SCOPED_TRACE(testing::Message() << e.name << " index " << index << " front " << at_front
                                        << " negative " << negative);
        ASSERT_TRUE(regions_equal(expect.data(), e.width, d, f_step, e.width, e.height));
    }

  private:
    static constexpr std::size_t kBytes = 48 * 20;
    static int reach_x(int pos, int n) { return pos >= 0 && (pos & kHalfHor) ? n : 0; }
    static int reach_y(int pos) { return pos >= 0 && (pos & kHalfVer) ? 1 : 0; }

    static Opx8u* place(GuardedBuffer& g, int width, int height, std::int32_t step, bool at_front,
                        Rng& rng) {
        for (std::size_t i = 0; i < g.size(); ++i) g.begin()[i] = static_cast<Opx8u>(rng.next());
        return g.place(width, height, step, at_front);
    }

    GuardedBuffer f_, b_, u_, v_, d_;
};

TEST(BlockKernels, ReadNothingBeyondTheDocumentedRegion) {
    Rng rng;
    GuardedInputs g;
    for (const Entry& e : block::entries())
        for (int i = 0; i < e.count; ++i)
            for (bool at_front : {false, true})
                for (bool negative : {false, true}) {
                    g.run(e, i, at_front, negative, rng);
                    if (HasFatalFailure()) return;
                }
}

// Steps smaller than a row (0, 1, -1: rows overlap) are allowed. Rows are handled in order and
// each row is read before it is written, so the in-place forms agree with the portable path even
// when a row reads bytes the previous row wrote.
TEST(BlockKernels, OverlappingRowsGiveThePortableResult) {
    Rng rng;
    constexpr std::size_t kBytes = 4096;
    std::vector<Opx8u> f(kBytes), b(kBytes), dr(kBytes), da(kBytes);
    std::vector<Opx16s> u(kBytes), v(kBytes);
    for (const Entry& e : block::entries())
        for (int i = 0; i < e.count; ++i)
            for (int ref_step : {0, 1, -1})
                for (int dst_step : {0, 1, -2}) {
                    for (auto& x : f) x = static_cast<Opx8u>(rng.next());
                    for (auto& x : b) x = static_cast<Opx8u>(rng.next());
                    for (auto& x : u) x = static_cast<Opx16s>(rng.uniform(-400, 400));
                    for (auto& x : v) x = static_cast<Opx16s>(rng.next());
                    for (auto& x : dr) x = static_cast<Opx8u>(rng.next());
                    da = dr;
                    const std::size_t mid = kBytes / 2;
                    const Inputs in{&f[mid],     ref_step,    &b[mid],     -ref_step,
                                    &u[mid / 2], &v[mid / 2], 2 * dst_step};
                    e.call(ref::kBlock, i, in, &dr[mid], dst_step);
                    e.call(avx2::kBlock, i, in, &da[mid], dst_step);
                    ASSERT_EQ(dr, da) << e.name << " index " << i << " ref step " << ref_step
                                      << " dst step " << dst_step;
                }
}

}  // namespace
}  // namespace opx::test
