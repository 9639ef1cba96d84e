// The mosquito-noise filter: ringing around strong edges in block-coded pictures is smoothed in
// the 8×8 blocks of the picture's grid that hold an edge, towards similar neighbours only, with
// a bounded change and a guard against the previous picture. Portable code serves both tables:
// only the samples of edge blocks are touched, the rest is a row copy.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "vpp/denoise.hpp"

namespace opx::vpp {
namespace {

// The 20-byte block record kept in the state.
struct BlockRecord {
    std::int16_t x, y;         // top-left sample in the picture
    Opx8u min, max;            // sample range of the current picture
    Opx8u filtered, reserved;  // 1 when the block's samples were filtered
    std::int32_t sad;          // Σ |current − previous| over the block
    std::int16_t edge_samples;
    std::int16_t threshold;  // similarity threshold
    std::int32_t changed;    // samples changed
};
static_assert(sizeof(BlockRecord) == 20);

constexpr int kExactDivisors = 19;

}  // namespace

void mosquito(const Opx8u* cur, const Opx8u* prev, std::int32_t src_step, Opx8u* dst,
              std::int32_t dst_step, Region roi, OpxDenoiseMosquitoState* state) noexcept {
    const Opx32s* t = state->tune;
    const int rw = roi.x1 - roi.x0, rh = roi.y1 - roi.y0;
    const int bw = t[kTuneBlockWidth], bh = t[kTuneBlockHeight];  // 8 × 8 (at most 16 × 16)
    for (int y = roi.y0; y < roi.y1; ++y)
        std::memcpy(row_of(dst, y, dst_step) + roi.x0, row_of(cur, y, src_step) + roi.x0,
                    static_cast<std::size_t>(rw));

    // Padded copy of the region, 4 samples replicated on every side, so that the 3×3 windows of
    // the filter never read outside the region.
    const std::ptrdiff_t ps = rw + 8;
    Opx8u* const pad = state->samples;
    for (int j = -4; j < rh + 4; ++j) {
        const Opx8u* s = row_of(cur, roi.y0 + std::clamp(j, 0, rh - 1), src_step) + roi.x0;
        Opx8u* p = pad + (j + 4) * ps;
        std::memset(p, s[0], 4);
        std::memcpy(p + 4, s, static_cast<std::size_t>(rw));
        std::memset(p + 4 + rw, s[rw - 1], 4);
    }
    auto padded = [&](int y, int x) -> const Opx8u* {
        return pad + (y - roi.y0 + 4) * ps + (x - roi.x0 + 4);
    };
    // 3×3 ranges of the samples of the block at (bx, by), separably: minima and maxima of three
    // columns over the block's rows and the rows around them, then of three of those rows.
    auto block_ranges = [&](int bx, int by, int bw_, int bh_, Opx8u* range) {
        Opx8u lo[18][16], hi[18][16];  // blocks of at most 16 × 16 samples
        for (int j = 0; j < bh_ + 2; ++j) {
            const Opx8u* p = padded(by - 1 + j, bx);
            for (int i = 0; i < bw_; ++i) {
                lo[j][i] = std::min({p[i - 1], p[i], p[i + 1]});
                hi[j][i] = std::max({p[i - 1], p[i], p[i + 1]});
            }
        }
        for (int j = 0; j < bh_; ++j)
            for (int i = 0; i < bw_; ++i)
                range[j * bw_ + i] = static_cast<Opx8u>(
                    std::max({hi[j][i], hi[j + 1][i], hi[j + 2][i]}) -
                    std::min({lo[j][i], lo[j + 1][i], lo[j + 2][i]}));
    };

    // floor(num / d) = (num × ceil(2^17 / d)) >> 17 exactly for d < 19 and num < 4620 (at most
    // 18 × 255 + 9 here), which spares a division per filtered sample.
    int recip[kExactDivisors];
    for (int d = 1; d < kExactDivisors; ++d) recip[d] = ((1 << 17) + d - 1) / d;
    recip[0] = 0;

    // Blocks of the grid wholly inside the region.
    const int gx0 = (roi.x0 + bw - 1) / bw * bw, gy0 = (roi.y0 + bh - 1) / bh * bh;
    BlockRecord* rec = reinterpret_cast<BlockRecord*>(state->blocks);
    for (int by = gy0; by + bh <= roi.y1; by += bh) {
        for (int bx = gx0; bx + bw <= roi.x1; bx += bw, ++rec) {
            BlockRecord r{};
            r.x = static_cast<std::int16_t>(bx), r.y = static_cast<std::int16_t>(by);
            int lo = 255, hi = 0, sad = 0, edges = 0;
            for (int y = by; y < by + bh; ++y) {
                const Opx8u* c = row_of(cur, y, src_step);
                const Opx8u* p = row_of(prev, y, src_step);
                for (int x = bx; x < bx + bw; ++x) {
                    lo = std::min<int>(lo, c[x]), hi = std::max<int>(hi, c[x]);
                    sad += std::abs(c[x] - p[x]);
                }
            }
            const int activity = hi - lo;
            r.min = static_cast<Opx8u>(lo), r.max = static_cast<Opx8u>(hi), r.sad = sad;
            const bool edge_block = activity >= t[kTuneEdgeActivity] &&
                                    sad / (bw * bh) <= t[kTuneBlockMotion];
            Opx8u range[16 * 16];
            if (edge_block) {
                block_ranges(bx, by, bw, bh, range);
                for (int i = 0; i < bw * bh; ++i) edges += range[i] >= t[kTuneEdgeRange];
            }
            r.edge_samples = static_cast<std::int16_t>(edges);
            if (edge_block && edges >= t[kTuneMinEdgeSamples]) {
                const int th = std::clamp(activity / t[kTuneActivityDiv], t[kTuneSimilarMin],
                                          t[kTuneSimilarMax]);
                const int wc = t[kTuneCentreWeight], lim = t[kTuneMaxChange];
                r.threshold = static_cast<std::int16_t>(th);
                r.filtered = 1;
                for (int y = by; y < by + bh; ++y) {
                    const Opx8u* p = row_of(prev, y, src_step);
                    Opx8u* d = row_of(dst, y, dst_step);
                    for (int x = bx; x < bx + bw; ++x) {
                        const int c = padded(y, x)[0];
                        if (std::abs(c - p[x]) > t[kTuneSampleMotion]) continue;
                        if (range[(y - by) * bw + (x - bx)] >= t[kTuneEdgeRange]) continue;
                        int n = 0, sum = 0;
                        for (int j = -1; j <= 1; ++j)
                            for (int i = -1; i <= 1; ++i) {
                                const int v = padded(y + j, x + i)[0];
                                if ((i | j) != 0 && std::abs(v - c) < th) ++n, sum += v;
                            }
                        if (n < t[kTuneMinSimilar]) continue;
                        const int den = wc + n, num = wc * c + sum + den / 2;
                        const int m = den < kExactDivisors ? (num * recip[den]) >> 17 : num / den;
                        const int out = c + std::clamp(m - c, -lim, lim);
                        r.changed += out != c;
                        d[x] = static_cast<Opx8u>(out);
                    }
                }
            }
            std::memcpy(rec, &r, sizeof r);
        }
    }
}

}  // namespace opx::vpp
