// A test-side bit writer, independent of the library's cursor code: bits kept one per element,
// packed on request after `prefix` bits of filler.
#pragma once

#include <cstdint>
#include <vector>

#include "mpeg4/vlc_code_lists.hpp"

namespace opx::test::mpeg4 {

struct BitSink {
    std::vector<int> bits;
    void put(std::uint32_t code, int len) {
        for (int i = len - 1; i >= 0; --i) bits.push_back((code >> i) & 1);
    }
    // A regular event of a code list and its sign bit; false when the list has no such code.
    template <std::size_t N>
    bool put_event(const opx::mpeg4::VlcCode (&list)[N], int last, int run, int level) {
        const int mag = level < 0 ? -level : level;
        for (const auto& c : list)
            if (c.last == last && c.run == run && c.level == mag) {
                put(c.code, c.len);
                put(level < 0, 1);
                return true;
            }
        return false;
    }
    // Bytes holding `prefix` filler bits (pattern 1010…) and then the bits, then `pad` bytes of
    // 0x00 (so that decoders that read ahead see zeros).
    std::vector<std::uint8_t> bytes(int prefix, int pad = 8) const {
        const std::size_t n = static_cast<std::size_t>(prefix) + bits.size();
        std::vector<std::uint8_t> out((n + 7) / 8 + static_cast<std::size_t>(pad), 0);
        for (std::size_t i = 0; i < n; ++i) {
            const int b = i < static_cast<std::size_t>(prefix) ? static_cast<int>(i & 1) ^ 1
                                                                : bits[i - static_cast<std::size_t>(prefix)];
            if (b) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        }
        return out;
    }
    std::size_t size() const { return bits.size(); }
};

}  // namespace opx::test::mpeg4
