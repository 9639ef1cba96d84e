// opxvc-h264dec: command line. Reads an H.264 Annex B byte stream and decodes it.
//
//   opxvc-h264dec [--md5] [-o FILE] [--frames N] STREAM
//
// --md5 prints "<frame number> <md5>" per output frame (cropped Y, then Cb, then Cr);
// -o writes raw planar YUV, or YUV4MPEG2 when FILE ends in .y4m; --frames N stops after N frames.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decoder.hpp"

int main(int argc, char** argv) {
    h264dec::Options opt;
    const char* input = nullptr;
    bool timing = false;
    long loops = 1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--md5") {
            opt.md5 = true;
        } else if (a == "-o" && i + 1 < argc) {
            opt.out = argv[++i];
        } else if (a == "--frames" && i + 1 < argc) {
            opt.max_frames = std::strtol(argv[++i], nullptr, 10);
        } else if (a == "--time") {
            timing = true;
        } else if (a == "--loops" && i + 1 < argc) {
            loops = std::max(1L, std::strtol(argv[++i], nullptr, 10));
            timing = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr,
                         "usage: opxvc-h264dec [--md5] [-o FILE] [--frames N] [--time] [--loops N] "
                         "STREAM\n");
            return 2;
        } else {
            input = argv[i];
        }
    }
    if (!input) {
        std::fprintf(
            stderr,
            "usage: opxvc-h264dec [--md5] [-o FILE] [--frames N] [--time] [--loops N] STREAM\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!h264dec::read_stream(input, data)) {
        std::fprintf(stderr, "opxvc-h264dec: cannot open %s\n", input);
        return 1;
    }
    auto t0 = std::chrono::steady_clock::now();
    h264dec::Decoder dec(opt, stderr);
    long frames = h264dec::decode_stream(dec, data.data(), data.size());
    // --loops N: decode N - 1 more times without output, for timing
    for (long k = 1; k < loops; ++k) {
        h264dec::Options quiet;
        h264dec::Decoder again(quiet, nullptr);
        frames += h264dec::decode_stream(again, data.data(), data.size());
    }
    auto t1 = std::chrono::steady_clock::now();
    if (timing) {
        double s = std::chrono::duration<double>(t1 - t0).count();
        std::fprintf(stderr, "%ld frames in %.3f s: %.1f frames/s\n", frames, s, frames / s);
    }
    if (dec.refused()) return 3;
    return dec.errors() ? 1 : 0;
}
