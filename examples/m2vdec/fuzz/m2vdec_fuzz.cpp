// libFuzzer entry point over the whole MPEG-1/2 decoder (built with -DOPXVC_FUZZ=ON and clang):
// the input as a program stream when it starts with a pack header, else as an elementary
// stream; no output, no report. Seed it with small streams, e.g. from
//   ffmpeg -f lavfi -i testsrc2=size=64x48 -frames:v 4 -c:v mpeg2video -bf 2 seed.m2v
#include "m2vdec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> es;
    if (m2vdec::demux_program_stream(data, size, es)) {
        data = es.data();
        size = es.size();
    }
    m2vdec::Options opt;
    opt.quiet = true;
    m2vdec::Decoder d(opt, nullptr);
    const auto words = m2vdec::words_of(data, size);
    d.decode(words->data(), size);
    if (!d.refused()) d.flush();
    return 0;
}
