// libFuzzer entry point over the encoder (built with -DOPXVC_FUZZ=ON and clang): the first two
// bytes choose qp, the filter and the key interval, the rest is read as a y4m stream (pictures
// up to 64x64, two frames). The stream made is decoded by the example decoder, whose pictures
// must equal the encoder's reconstruction byte for byte.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder.hpp"
#include "encoder.hpp"
#include "input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::vector<uint8_t> text(data + 2, data + size);
    opxcli::Y4mInput in;
    std::string why;
    if (opxcli::parse_y4m(text, in, why) != opxcli::Y4mStatus::kOk || in.frames.empty() ||
        in.fmt.chroma != opxcli::Chroma::k420 || ((in.fmt.width | in.fmt.height) & 1) ||
        in.fmt.width > 64 || in.fmt.height > 64)
        return 0;
    h264enc::Settings s;
    s.width = in.fmt.width;
    s.height = in.fmt.height;
    s.qp = data[0] % 52;
    s.deblock = (data[1] & 1) != 0;
    s.keyint = (data[1] & 2) ? 1 : 2;
    h264enc::Encoder enc(s);
    std::vector<uint8_t> stream, expected;
    enc.headers(stream);
    const int w = s.width, h = s.height, cw = w / 2, ch = h / 2;
    for (size_t f = 0; f < in.frames.size() && f < 2; ++f) {
        const uint8_t* y = in.frames[f];
        const uint8_t* planes[3] = {y, y + size_t(w) * h, y + size_t(w) * h + size_t(cw) * ch};
        enc.encode(planes, stream);
        const h264enc::Picture& r = enc.recon();
        for (int k = 0; k < 3; ++k)
            for (int row = 0; row < (k ? ch : h); ++row) {
                const uint8_t* p = r.p[k].origin + std::ptrdiff_t(row) * r.p[k].stride;
                expected.insert(expected.end(), p, p + (k ? cw : w));
            }
    }
    const std::string path = "/tmp/opxvc-h264enc-fuzz-" + std::to_string(getpid()) + ".yuv";
    h264dec::Options opt;
    opt.out = path;
    opt.format = "raw";
    h264dec::Decoder dec(opt, nullptr);
    h264dec::decode_stream(dec, stream.data(), stream.size());
    if (!dec.close_output() || dec.errors()) std::abort();
    std::vector<uint8_t> got;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) got.insert(got.end(), buf, buf + n);
        std::fclose(f);
    }
    std::remove(path.c_str());
    if (got != expected) std::abort();  // the decoder disagrees with the reconstruction
    return 0;
}
