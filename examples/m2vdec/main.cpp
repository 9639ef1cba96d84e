// opxvc-m2vdec: command line. Reads an MPEG-1 or MPEG-2 video elementary stream, or a program
// stream holding one, and decodes it.
//
//   opxvc-m2vdec [--md5] [--coeffs] [--path blocks|levels] [-o FILE] [--format raw|y4m] [--frames N] [--time] [--quiet]
//                STREAM
//
// The options, input, output and exit codes are the shared frame's (examples/common); this file
// adds --coeffs and --path and runs the decoder.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "m2vdec.hpp"

int main(int argc, char** argv) {
    opxcli::CommandLine cl("opxvc-m2vdec",
                           "decodes MPEG-1 and MPEG-2 video (progressive and interlaced frame "
                           "pictures, 4:2:0 and 4:2:2) with opxvc",
                           "an MPEG-1/MPEG-2 video elementary stream or program stream");
    bool coeffs = false;
    opxcli::Option o;
    o.name = "coeffs";
    o.help = "print the dequantised coefficients of every coded block (picture, macroblock x y, "
             "block: 64 values in raster order) on standard output";
    o.on_flag = [&] { coeffs = true; };
    cl.add(o);
    bool levels_path = false;
    opxcli::Option path;
    path.name = "path";
    path.value_name = "blocks|levels";
    path.help = "how blocks are decoded: one library call each (blocks, the default) or, for "
                "MPEG-2, run/level pairs, inverse scan and inverse quantiser calls (levels)";
    path.on_value = [&](const std::string& v, std::string& why) {
        if (v != "blocks" && v != "levels") {
            why = "--path takes blocks or levels";
            return false;
        }
        levels_path = v == "levels";
        return true;
    };
    cl.add(path);
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    const opxcli::CommonOptions& c = cl.common();

    std::vector<uint8_t> data;
    std::string why;
    if (!opxcli::read_input(c.input, data, why)) {
        opxcli::message(cl.program(), "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    m2vdec::Options opt;
    opt.md5 = c.md5;
    opt.coeffs = coeffs;
    opt.levels_path = levels_path;
    opt.out = c.output;
    opt.format = c.format;
    opt.max_frames = c.max_frames;
    opt.quiet = c.quiet;
    opxcli::Progress progress(c);
    opt.progress = &progress;

    // a program stream (pack header first) gives its video elementary stream
    std::vector<uint8_t> es;
    if (m2vdec::demux_program_stream(data.data(), data.size(), es)) data.swap(es);

    m2vdec::Decoder dec(opt, stderr);
    const auto words = m2vdec::words_of(data.data(), data.size());
    dec.decode(words->data(), data.size());
    if (!dec.refused()) dec.flush();
    const bool written = dec.close_output();
    progress.finish(cl.program());

    if (!written) {
        opxcli::message(cl.program(), "%s", dec.output_error().c_str());
        return opxcli::kExitDamaged;
    }
    if (dec.refused()) return opxcli::kExitUnsupported;
    if (dec.frames_out() == 0) {
        opxcli::message(cl.program(), "%s: no picture decoded", c.input.c_str());
        return opxcli::kExitDamaged;
    }
    return dec.errors() ? opxcli::kExitDamaged : opxcli::kExitOk;
}
