// A bit writer for NAL units made by hand in the decoder's tests: u(n), ue(v), se(v), and the
// unit with emulation prevention bytes inserted as the decoder is fed it.
#pragma once

#include <cstdint>
#include <vector>

namespace h264test {

struct Writer {
    std::vector<uint8_t> bytes;
    int bits = 0;
    explicit Writer(uint8_t header) : bytes{header} {}
    void u(int n, uint32_t v) {
        for (int i = n - 1; i >= 0; --i) {
            if (bits % 8 == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((v >> i) & 1) << (7 - bits % 8));
            ++bits;
        }
    }
    void ue(uint32_t v) {
        int n = 0;
        while ((v + 1) >> (n + 1)) ++n;
        u(n, 0);
        u(n + 1, v + 1);
    }
    void se(int v) { ue(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * v)); }
    void align() {
        while (bits % 8) u(1, 0);
    }
    // the unit as fed to the decoder: emulation prevention bytes inserted
    std::vector<uint8_t> nal() const {
        std::vector<uint8_t> out;
        int zeros = 0;
        for (uint8_t b : bytes) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }
};

}  // namespace h264test
