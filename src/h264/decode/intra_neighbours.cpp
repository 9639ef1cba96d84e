// The 4×4 intra prediction of a block that lacks a neighbour group its mode needs.
#include <algorithm>
#include <cstring>

#include "h264/decode/intra.hpp"

namespace opx::h264 {

void predict_4x4_substituted(const IntraKernels& k, Opx8u* dst, std::ptrdiff_t step, int mode,
                             int avail) noexcept {
    // A 5-row block of its own: row 0 holds p[-1..7, -1], rows 1..4 hold p[-1, y] and the block.
    // Only the neighbours marked available are read from the picture.
    constexpr int kStep = 16;
    Opx8u tmp[5 * kStep];
    std::memset(tmp, 128, sizeof tmp);
    Opx8u* blk = tmp + kStep + 1;
    const Opx8u* above = dst - step;
    if (avail & kAvailAbove) {
        std::memcpy(blk - kStep, above, 4);
        if (avail & kAvailAboveRight)
            std::memcpy(blk - kStep + 4, above + 4, 4);
        else
            std::memset(blk - kStep + 4, above[3], 4);  // clause 8.3.1.2
    }
    if (avail & kAvailAboveLeft) blk[-kStep - 1] = above[-1];
    if (avail & kAvailLeft)
        for (int y = 0; y < 4; ++y) blk[y * kStep - 1] = dst[y * step - 1];
    // Every group this mode reads is now present (real or 128); DC never comes here.
    k.pred4x4[mode](blk, kStep);
    for (int y = 0; y < 4; ++y) std::memcpy(dst + y * step, blk + y * kStep, 4);
}

}  // namespace opx::h264

namespace opx::h264 {

void predict_4x4_substituted(const IntraKernelsHigh& k, Opx16u* dst, std::ptrdiff_t step, int mode,
                             int avail, int bd) noexcept {
    // As the 8-bit form, with 1 << (bd - 1) for the missing groups.
    constexpr int kStep = 16;
    Opx16u tmp[5 * kStep];
    std::fill(tmp, tmp + 5 * kStep, static_cast<Opx16u>(1 << (bd - 1)));
    Opx16u* blk = tmp + kStep + 1;
    const Opx16u* above = dst - step;
    if (avail & kAvailAbove) {
        for (int x = 0; x < 4; ++x) blk[x - kStep] = above[x];
        for (int x = 4; x < 8; ++x)
            blk[x - kStep] = (avail & kAvailAboveRight) ? above[x] : above[3];  // clause 8.3.1.2
    }
    if (avail & kAvailAboveLeft) blk[-kStep - 1] = above[-1];
    if (avail & kAvailLeft)
        for (int y = 0; y < 4; ++y) blk[y * kStep - 1] = dst[y * step - 1];
    k.pred4x4[mode](blk, kStep, bd);
    for (int y = 0; y < 4; ++y) std::memcpy(dst + y * step, blk + y * kStep, 4 * sizeof(Opx16u));
}

}  // namespace opx::h264
