// A test-side bit writer, independent of the library's cursor code: bits kept one per element,
// most significant first, packed on request into 32-bit words (bit 31 first) or bytes (bit 7
// first) behind a number of filler bits. Used by the tests, the benchmarks and the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace opx::test {

class BitString {
  public:
    // The low `n` bits of `value`, most significant first.
    void put(std::uint64_t value, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits_.push_back(static_cast<std::uint8_t>((value >> i) & 1));
    }
    void put_bit(unsigned b) { bits_.push_back(static_cast<std::uint8_t>(b & 1)); }
    // The '0' and '1' of `text` in order; anything else (spaces) is skipped.
    void put_text(const std::string& text) {
        for (char c : text)
            if (c == '0' || c == '1') put_bit(c == '1');
    }
    // Exp-Golomb code of order k for code number c.
    void exp_golomb(std::uint64_t c, int k) {
        const std::uint64_t v = c + (std::uint64_t{1} << k);
        int len = 0;
        while ((v >> len) > 1) ++len;  // v has len + 1 bits
        for (int i = 0; i < len - k; ++i) put_bit(0);
        put(v, len + 1);
    }
    std::size_t size() const { return bits_.size(); }

    // Words holding `lead` one bits and then the bits, then `pad` words of `fill`.
    std::vector<std::uint32_t> words(int lead = 0, int pad = 2, std::uint32_t fill = 0) const {
        const std::size_t total = static_cast<std::size_t>(lead) + bits_.size();
        std::vector<std::uint32_t> w((total + 31) / 32, 0);
        for (std::size_t i = 0; i < total; ++i)
            if (i < static_cast<std::size_t>(lead) || bits_[i - static_cast<std::size_t>(lead)])
                w[i / 32] |= 1u << (31 - i % 32);
        w.resize(w.size() + static_cast<std::size_t>(pad), fill);
        return w;
    }
    // Bytes holding `prefix` filler bits (1010…) and then the bits, then `pad` zero bytes (so
    // that readers that load ahead see zeros).
    std::vector<std::uint8_t> bytes(int prefix, int pad = 8) const {
        const std::size_t n = static_cast<std::size_t>(prefix) + bits_.size();
        std::vector<std::uint8_t> out((n + 7) / 8 + static_cast<std::size_t>(pad), 0);
        for (std::size_t i = 0; i < n; ++i) {
            const bool one = i < static_cast<std::size_t>(prefix)
                                 ? (i & 1) == 0
                                 : bits_[i - static_cast<std::size_t>(prefix)] != 0;
            if (one) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        }
        return out;
    }

  private:
    std::vector<std::uint8_t> bits_;
};

}  // namespace opx::test
