// Feeds damaged versions of H.264 streams to the decoder in process: every prefix at many cut
// points, copies with random bit flips, and the stream's first NAL units with one of them lost,
// repeated or swapped with the next (for field streams: unpaired fields, a second field of the
// same parity, fields in the wrong order, references to missing fields). The decoder must finish
// each one without crashing or touching memory outside its buffers (run under AddressSanitizer in
// CI). Exit 0 when it does.
//   h264dec_robustness STREAM...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "decoder.hpp"

namespace {

// A file's bytes, empty when it cannot be read.
std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> data;
    h264dec::read_stream(path.c_str(), data);
    return data;
}

long decode(const std::vector<uint8_t>& data, size_t size) {
    h264dec::Options opt;
    h264dec::Decoder d(opt, nullptr);
    return h264dec::decode_stream(d, data.data(), size);
}

// Start offsets of the NAL units (their 00 00 01 start codes) of an Annex B stream.
std::vector<size_t> nal_starts(const std::vector<uint8_t>& d) {
    std::vector<size_t> s;
    for (size_t i = 0; i + 2 < d.size(); ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) s.push_back(i);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: h264dec_robustness STREAM...\n");
        return 2;
    }
    std::mt19937 rng(20261206);
    for (int a = 1; a < argc; ++a) {
        std::vector<uint8_t> data = read_file(argv[a]);
        if (data.empty()) {
            std::fprintf(stderr, "cannot read %s\n", argv[a]);
            return 1;
        }
        auto t0 = std::chrono::steady_clock::now();
        long whole = decode(data, data.size());
        // prefixes: every prefix of a small stream; of a larger one the first 64 bytes one by
        // one and 40 cut points spread over the rest
        int prefixes = 0;
        if (data.size() <= 10000) {
            for (size_t cut = 1; cut < data.size(); ++cut, ++prefixes) decode(data, cut);
        } else {
            for (size_t cut = 1; cut < 64; ++cut, ++prefixes) decode(data, cut);
            for (int k = 1; k < 40; ++k, ++prefixes) decode(data, data.size() * size_t(k) / 40);
        }
        // bit flips: 1 to 32 random bits anywhere after the first bytes
        int flips = 0;
        for (int k = 0; k < 40; ++k, ++flips) {
            std::vector<uint8_t> copy = data;
            int n = 1 + int(rng() % 32);
            for (int i = 0; i < n; ++i) {
                size_t pos = rng() % copy.size();
                copy[pos] ^= uint8_t(1u << (rng() % 8));
            }
            decode(copy, copy.size());
        }
        // the first 24 NAL units rearranged: unit k lost, repeated, or swapped with k + 1
        int rearranged = 0;
        const std::vector<size_t> st = nal_starts(data);
        const size_t units = std::min<size_t>(st.size(), 24);
        auto unit = [&](size_t k) {
            const size_t end = k + 1 < st.size() ? st[k + 1] : data.size();
            return std::vector<uint8_t>(data.begin() + long(st[k]), data.begin() + long(end));
        };
        for (size_t k = 0; k < units; ++k)
            for (int op = 0; op < 3; ++op, ++rearranged) {
                std::vector<uint8_t> copy;
                for (size_t j = 0; j < units; ++j) {
                    const size_t from = op == 2 && j == k && k + 1 < units       ? k + 1
                                        : op == 2 && j == k + 1 && k + 1 < units ? k
                                                                                 : j;
                    if (op == 0 && j == k) continue;
                    const std::vector<uint8_t> u = unit(from);
                    copy.insert(copy.end(), u.begin(), u.end());
                    if (op == 1 && j == k) copy.insert(copy.end(), u.begin(), u.end());
                }
                decode(copy, copy.size());
            }
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf(
            "%s: %ld frames intact; %d prefixes, %d damaged and %d rearranged copies survived "
            "(%.1f s)\n",
            argv[a], whole, prefixes, flips, rearranged, s);
    }
    return 0;
}
