// Small helpers of the VC-1 tests: blocks of 16-bit values placed in canaried planes with
// positive or negative steps, and random blocks.
#pragma once

#include <vector>

#include "harness/harness.hpp"

namespace opx::test::vc1 {

// Block: w x h values in raster order.
using Block = std::vector<int>;

// A w x h block of T in a Plane with canaries; `negative` walks the rows bottom-up (negative
// step); `extra` widens the step by that many bytes (kept even for 16-bit values).
template <class T>
class Area {
  public:
    Area(int w, int h, bool negative = false, int extra = 0, int misalign = 0)
        : plane_(w, h, 16, misalign, extra), h_(h), negative_(negative) {}
    T* base() { return negative_ ? plane_.row(h_ - 1) : plane_.data(); }
    std::int32_t step() const {
        return static_cast<std::int32_t>(negative_ ? -plane_.step() : plane_.step());
    }
    T& at(int x, int y) { return negative_ ? plane_.at(x, h_ - 1 - y) : plane_.at(x, y); }
    void put(const Block& b, int w) {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w; ++x) at(x, y) = static_cast<T>(b[y * w + x]);
    }
    Block get(int w) {
        Block b(w * h_);
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w; ++x) b[y * w + x] = at(x, y);
        return b;
    }
    bool canaries_intact() const { return plane_.canaries_intact(); }

  private:
    Plane<T> plane_;
    int h_;
    bool negative_;
};

inline Block random_block(Rng& rng, int n, int lo, int hi) {
    Block b(n);
    for (int& v : b) v = rng.uniform_int(lo, hi);
    return b;
}

}  // namespace opx::test::vc1
