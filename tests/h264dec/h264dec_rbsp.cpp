// NAL payload preparation against a byte-at-a-time rendering of clause 7.4.1: every
// emulation_prevention_three_byte removed (runs of zeros, 00 00 03 03, a 03 at the end), the
// words in reading order with one bits after the payload, and the position of the stop bit, on
// a reused word store that shrinks and grows between units.
#include <cstdio>
#include <random>
#include <vector>

#include "decoder.hpp"

namespace {

bool check(h264dec::Rbsp& r, const std::vector<uint8_t>& nal) {
    std::vector<uint8_t> want;
    int zeros = 0;
    for (uint8_t c : nal) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        want.push_back(c);
    }
    size_t end = want.size();
    while (end > 0 && want[end - 1] == 0) --end;
    uint64_t bits = end ? end * 8 - uint64_t(__builtin_ctz(want[end - 1])) - 1 : 0;
    r.assign(nal.data(), nal.size());
    bool ok = r.size_bits == bits && r.words_used >= (want.size() + 3) / 4 + 1;
    for (size_t i = 0; ok && i < r.words_used * 4; ++i) {
        const uint8_t got = uint8_t(r.words[i / 4] >> (24 - 8 * (i % 4)));
        ok = got == (i < want.size() ? want[i] : 0xFF);
    }
    if (!ok) std::fprintf(stderr, "h264dec_rbsp: mismatch on a unit of %zu bytes\n", nal.size());
    return ok;
}

}  // namespace

int main() {
    h264dec::Rbsp r;
    bool ok = true;
    const std::vector<std::vector<uint8_t>> fixed = {
        {},
        {3},
        {0, 0, 3},
        {0, 0, 3, 3},
        {0, 0, 0, 3, 1},
        {0, 0, 3, 0, 0, 3, 0, 0, 3, 0x80},
        {0x65, 0, 0, 3, 0, 3, 0, 0, 3},
        {1, 2, 3, 0, 3, 0, 0, 2, 0x40, 0, 0},
    };
    for (const auto& nal : fixed) ok &= check(r, nal);
    std::mt19937 rng(31);
    for (int t = 0; t < 400; ++t) {
        std::vector<uint8_t> nal(rng() % (t % 2 ? 3000 : 40));
        for (auto& c : nal) c = uint8_t(rng() % 4 == 0 ? rng() : rng() % 4);  // mostly 0..3
        ok &= check(r, nal);
    }
    return ok ? 0 : 1;
}
