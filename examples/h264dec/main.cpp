// opxvc-h264dec: command line. Reads an H.264 Annex B byte stream and decodes it.
//
//   opxvc-h264dec [--md5] [-o FILE] [--format raw|y4m] [--frames N] [--time] [--quiet]
//                 [--loops N] [--calls] STREAM
//
// The options, input, output and exit codes are the shared frame's (examples/common); this file
// adds --loops and --calls and runs the decoder.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "decoder.hpp"

int main(int argc, char** argv) {
    opxcli::CommandLine cl("opxvc-h264dec",
                           "decodes H.264 (CAVLC frames and field pictures, 4:2:0, 4:2:2 and "
                           "4:0:0, 8 to 14 bits) with opxvc",
                           "an H.264 Annex B byte stream");
    long loops = 1;
    cl.add_int("loops", "decode N times (output from the first pass only), for timing", 1, 100000,
               &loops);
    bool calls = false;
    opxcli::Option calls_opt;
    calls_opt.name = "calls";
    calls_opt.help = "print each library function called, with its number of calls (stderr)";
    calls_opt.on_flag = [&calls] { calls = true; };
    cl.add(calls_opt);
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    h264common::call_counting = calls;
    const opxcli::CommonOptions& c = cl.common();

    std::vector<uint8_t> data;
    std::string why;
    if (!opxcli::read_input(c.input, data, why)) {
        opxcli::message(cl.program(), "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    h264dec::Options opt;
    opt.md5 = c.md5;
    opt.out = c.output;
    opt.format = c.format;
    opt.max_frames = c.max_frames;
    opt.quiet = c.quiet;
    opxcli::Progress progress(c);
    opt.progress = &progress;

    h264dec::Decoder dec(opt, stderr);
    long frames = h264dec::decode_stream(dec, data.data(), data.size());
    const bool written = dec.close_output();
    for (long k = 1; k < loops && written && !dec.refused(); ++k) {
        h264dec::Options quiet;
        quiet.progress = &progress;
        h264dec::Decoder again(quiet, nullptr);
        frames += h264dec::decode_stream(again, data.data(), data.size());
    }
    progress.finish(cl.program());
    if (calls) h264common::print_call_counts(stderr);

    if (!written) {
        opxcli::message(cl.program(), "%s", dec.output_error().c_str());
        return opxcli::kExitDamaged;
    }
    if (dec.refused()) return opxcli::kExitUnsupported;
    if (frames == 0) {
        opxcli::message(cl.program(), "%s: no picture decoded", c.input.c_str());
        return opxcli::kExitDamaged;
    }
    return dec.errors() ? opxcli::kExitDamaged : opxcli::kExitOk;
}
