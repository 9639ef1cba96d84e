// Block primitives: every AVX2 kernel against the portable kernel of the same table slot, on
// random and extreme inputs, odd, large and negative steps, with every input and the destination
// ending (or starting) at an unreadable page; and rows that overlap.
#include "block_test_entries.hpp"

namespace opx::test {
namespace {

using namespace opx::frame;
using block::Entry;
using block::Inputs;

// Every slot against the portable slot on every input pattern, with residuals over the full
// 16-bit range (saturation and wrap-around) or a small one (sums mostly inside 0..255). Every
// input region is exactly what the rules let the kernel read: the block, n more bytes to the
// right for horizontal positions and one more row for vertical positions. Each is placed flush
// against an unreadable page, at its end and at its start, with odd, large and negative steps;
// the destination too (it must not be written outside the block either).
class GuardedInputs {
  public:
    GuardedInputs() : f_(kBytes), b_(kBytes), u_(kBytes), v_(kBytes), d_(kBytes) {}

    void run(const Entry& e, int index, Pattern pat, bool at_front, bool negative, bool wide,
             Rng& rng) {
        const block::Reach r = e.reach(index);
        const int sf = negative ? 104 : 41, sr = 48;  // odd or large 8-bit step, even 16-bit step
        const std::int32_t f_step = negative ? -sf : sf, r_step = negative ? -sr : sr;
        const Pattern pb = pat == Pattern::kComplementary ? Pattern::kMax : pat;
        const std::int64_t lo = wide ? -32768 : -300, hi = wide ? 32767 : 300;
        fill8(f_, pat, false, rng), fill8(b_, pb, false, rng), fill8(d_, pat, true, rng);
        Opx8u* f = f_.place(e.width + reach_x(r.pos_f, e.n), e.height + reach_y(r.pos_f), f_step,
                            at_front);
        Opx8u* b = b_.place(e.width + reach_x(r.pos_b, e.n), e.height + reach_y(r.pos_b), f_step,
                            at_front);
        const int rw = 2 * (e.res_width ? e.res_width : 1);
        fill(reinterpret_cast<Opx16s*>(u_.begin()), 128, 64, kBytes / 128, pat, rng, lo, hi);
        fill(reinterpret_cast<Opx16s*>(v_.begin()), 128, 64, kBytes / 128, pat, rng, lo, hi, true);
        auto* u = reinterpret_cast<Opx16s*>(u_.place(rw, e.height, r_step, at_front));
        auto* v = reinterpret_cast<Opx16s*>(v_.place(rw, e.height, r_step, at_front));
        Opx8u* d = d_.place(e.width, e.height, f_step, !at_front);
        ASSERT_TRUE(f && b && u && v && d);

        // The portable result, into an ordinary copy of the destination.
        std::vector<Opx8u> expect(static_cast<std::size_t>(e.width * e.height));
        for (int y = 0; y < e.height; ++y)
            std::memcpy(&expect[static_cast<std::size_t>(y * e.width)], d + y * f_step,
                        static_cast<std::size_t>(e.width));
        const Inputs in{f, f_step, b, f_step, u, v, r_step};
        std::vector<Opx8u> whole(d_.begin(), d_.end());  // what must stay outside the block
        e.call(ref::kBlock, index, in, expect.data(), e.width);
        e.call(avx2::kBlock, index, in, d, f_step);
        SCOPED_TRACE(testing::Message()
                     << e.name << " index " << index << " pattern " << pattern_name(pat)
                     << " front " << at_front << " negative " << negative << " wide " << wide);
        ASSERT_TRUE(regions_equal(expect.data(), e.width, d, f_step, e.width, e.height));
        for (int y = 0; y < e.height; ++y)
            std::memcpy(&whole[static_cast<std::size_t>(d + y * f_step - d_.begin())],
                        &expect[static_cast<std::size_t>(y * e.width)],
                        static_cast<std::size_t>(e.width));
        ASSERT_TRUE(std::equal(whole.begin(), whole.end(), d_.begin())) << "written outside";
    }

  private:
    static constexpr std::size_t kBytes = 128 * 20;
    static int reach_x(int pos, int n) { return pos >= 0 && (pos & kHalfHor) ? n : 0; }
    static int reach_y(int pos) { return pos >= 0 && (pos & kHalfVer) ? 1 : 0; }

    // The whole buffer as rows of 64 samples (a 2-D pattern whatever the step).
    static void fill8(GuardedBuffer& g, Pattern p, bool second, Rng& rng) {
        fill(g.begin(), 64, 64, static_cast<int>(kBytes / 64), p, rng, 0, 255, second);
    }

    GuardedBuffer f_, b_, u_, v_, d_;
};

TEST(BlockKernels, Avx2MatchesPortableReadingNothingBeyondTheDocumentedRegion) {
    Rng rng;
    GuardedInputs g;
    for (const Entry& e : block::entries())
        for (int i = 0; i < e.count; ++i)
            for (Pattern p : kAllPatterns)
                for (int layout = 0; layout < 4; ++layout) {
                    g.run(e, i, p, layout & 1, layout & 2, (layout + static_cast<int>(p)) & 1, rng);
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
