// opxvc-m4vdec: command line. Reads an MPEG-4 Visual, H.263 or H.261 elementary stream and
// decodes it.
//
//   opxvc-m4vdec [--md5] [-o FILE] [--format raw|y4m] [--frames N] [--idct-plugin FILE:ALGO]
//                [--obmc-compat] [--postfilter] [--time] [--quiet] STREAM
//
// The options, input, output and exit codes are the shared frame's (examples/common); this file
// adds --idct-plugin, --obmc-compat and --postfilter and runs the decoder.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "m4vdec.hpp"

int main(int argc, char** argv) {
    opxcli::CommandLine cl(
        "opxvc-m4vdec",
        "decodes MPEG-4 Visual (simple profile tools plus B-VOPs, quarter-sample prediction and "
        "global motion compensation: I/P/B/S-VOPs, 1MV and 4MV, "
        "H.263 and MPEG quantisation, video packets, data partitioning), "
        "H.263 baseline with unrestricted vectors and advanced prediction (Annexes D, F), H.263 "
        "version 2 pictures with advanced intra coding, deblocking, the alternative inter VLC and "
        "modified quantisation (Annexes I, J, S, T) and H.261 with opxvc",
        "an MPEG-4 Visual, H.263 or H.261 elementary stream");
    std::string plugin;
    opxcli::Option o;
    o.name = "idct-plugin";
    o.value_name = "FILE:ALGO";
    o.help =
        "use the inverse DCT ALGO of the plugin FILE (a shared object) instead of the "
        "built-in IEEE 1180-accurate one";
    o.on_value = [&](const std::string& v, std::string& why) {
        if (v.find(':') == std::string::npos) {
            why = "--idct-plugin takes FILE:ALGO";
            return false;
        }
        plugin = v;
        return true;
    };
    cl.add(o);
    bool obmc_compat = false;
    opxcli::Option oc;
    oc.name = "obmc-compat";
    oc.help =
        "H.263 advanced prediction: take each macroblock's right neighbour vectors as "
        "libavcodec's decoder does (a look-ahead that can see stale vectors) instead of the "
        "decoded ones, to compare with it bit for bit";
    oc.on_flag = [&] { obmc_compat = true; };
    cl.add(oc);
    bool postfilter = false;
    opxcli::Option op;
    op.name = "postfilter";
    op.help =
        "deblock and dering the pictures output (MPEG-4 post-processing, ISO/IEC 14496-2 Annex "
        "F); the reference pictures stay as decoded";
    op.on_flag = [&] { postfilter = true; };
    cl.add(op);
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    const opxcli::CommonOptions& c = cl.common();

    std::unique_ptr<m4vdec::Idct> idct;
    if (plugin.empty()) {
        idct = m4vdec::builtin_idct();
    } else {
        std::string why;
        idct = m4vdec::plugin_idct(plugin, why);
        if (!idct) {
            opxcli::message(cl.program(), "%s", why.c_str());
            return opxcli::kExitUsage;
        }
    }
    std::vector<uint8_t> data;
    std::string why;
    if (!opxcli::read_input(c.input, data, why)) {
        opxcli::message(cl.program(), "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    m4vdec::Options opt;
    opt.md5 = c.md5;
    opt.out = c.output;
    opt.format = c.format;
    opt.max_frames = c.max_frames;
    opt.quiet = c.quiet;
    opt.idct = idct.get();
    opt.obmc_compat = obmc_compat;
    opt.postfilter = postfilter;
    opxcli::Progress progress(c);
    opt.progress = &progress;

    m4vdec::Decoder dec(opt, stderr);
    dec.decode(data.data(), data.size());
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
