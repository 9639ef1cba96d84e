// Neighbour gathering and substitution for the 4×4 and 8×8 intra predictions (the cases the
// inline drivers of intra.hpp do not handle themselves).
#include <cstring>

#include "h264/decode/intra.hpp"

namespace opx::h264 {

void predict_4x4_substituted(const IntraKernels& k, Opx8u* dst, std::int32_t step, int mode,
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

bool predict_8x8(const IntraKernels& k, Opx8u* dst, std::int32_t step, int mode,
                 int avail) noexcept {
    alignas(32) Opx8u e[kEdgeBytes] = {};
    const int need = kIntraNeeds[mode];
    int have = avail & (kAvailAbove | kAvailLeft | kAvailAboveLeft);
    bool substituted = false;
    const Opx8u* above = dst - step;
    if (have & kAvailAbove) {
        std::memcpy(e + kEdgeTop0, above, 8);
        // Clause 8.3.2.2: missing samples above-right are copies of p[7, -1].
        if (avail & kAvailAboveRight)
            std::memcpy(e + kEdgeTop0 + 8, above + 8, 8);
        else
            std::memset(e + kEdgeTop0 + 8, above[7], 8);
    } else if (need & kAvailAbove) {
        std::memset(e + kEdgeTop0, 128, 16);
        have |= kAvailAbove;
        substituted = true;
    }
    if (have & kAvailLeft) {
        for (int y = 0; y < 8; ++y) e[kEdgeLeft0 - y] = dst[y * step - 1];
    } else if (need & kAvailLeft) {
        std::memset(e + kEdgeLeft0 - 7, 128, 8);
        have |= kAvailLeft;
        substituted = true;
    }
    if (have & kAvailAboveLeft) {
        e[kEdgeCorner] = above[-1];
    } else if (need & kAvailAboveLeft) {
        e[kEdgeCorner] = 128;
        have |= kAvailAboveLeft;
        substituted = true;
    }
    k.filter8x8(e, have);
    int slot = mode;
    if (mode == 2) {
        static constexpr signed char kDc[4] = {kP8Dc128, kP8DcAbove, kP8DcLeft, kP8Dc};
        slot = kDc[have & 3];
    }
    k.pred8x8[slot](dst, step, e);
    return substituted;
}

}  // namespace opx::h264
