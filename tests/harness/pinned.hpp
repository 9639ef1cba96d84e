// Pinned results: a digest of what an exported function writes over fixed pseudo-random inputs.
// Each pinned value was checked against an independent model of the rule when that model left
// the suite; a change of rule (in both kernel tables alike) changes the digest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace opx::test {

class Digest {
  public:
    void add(const void* p, std::size_t bytes) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < bytes; ++i) h_ = (h_ ^ b[i]) * 0x100000001B3ull;
    }
    // A 2-D region of `width` elements of T per row, `step` bytes apart.
    template <class T>
    void add(const T* p, std::ptrdiff_t step, int width, int height) {
        for (int y = 0; y < height; ++y)
            add(reinterpret_cast<const char*>(p) + y * step, sizeof(T) * width);
    }
    void add(std::int64_t v) { add(&v, sizeof v); }
    std::uint64_t value() const { return h_; }

  private:
    std::uint64_t h_ = 0xCBF29CE484222325ull;
};

}  // namespace opx::test
