// opxvc-m4vdec: command line. Reads an MPEG-4 Visual, H.263 or H.261 elementary stream and
// decodes it.
//
//   opxvc-m4vdec [--md5] [-o FILE] [--format raw|y4m] [--frames N] [--idct-plugin FILE:ALGO]
//                [--obmc-compat] [--postfilter] [--rewrite OUT | --rewrite-rvlc OUT]
//                [--rvlc-backward] [--reencode-check] [--dquant-compat] [--time] [--quiet] STREAM
//
// The options, input, output and exit codes are the shared frame's (examples/common); this file
// adds the decoder's own options, runs the decoder and writes a rewritten stream.
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
        "H.263 and MPEG quantisation, video packets, data partitioning, reversible VLC), "
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
    std::string rewrite_out;
    bool rewrite_rvlc = false, rvlc_backward = false, dquant_compat = false;
    auto rewrite_option = [&](const char* name, const char* help, bool rvlc) {
        opxcli::Option w;
        w.name = name;
        w.value_name = "OUT";
        w.help = help;
        w.on_value = [&, rvlc](const std::string& v, std::string& why) {
            if (!rewrite_out.empty()) {
                why = "one of --rewrite and --rewrite-rvlc, once";
                return false;
            }
            rewrite_out = v;
            rewrite_rvlc = rvlc;
            return true;
        };
        cl.add(w);
    };
    rewrite_option("rewrite-rvlc",
                   "write to OUT the data-partitioned MPEG-4 stream with every block's "
                   "coefficients in reversible codes (reversible_vlc set), all else as it was",
                   true);
    rewrite_option("rewrite",
                   "write to OUT the stream with every block's coefficients re-encoded by the "
                   "library in the codes they had",
                   false);
    opxcli::Option rb;
    rb.name = "rvlc-backward";
    rb.help =
        "also decode each video packet's reversible coefficient partition backward and report "
        "levels that differ from the forward decoding as errors";
    rb.on_flag = [&] { rvlc_backward = true; };
    cl.add(rb);
    bool reencode_check = false;
    opxcli::Option rc;
    rc.name = "reencode-check";
    rc.help =
        "re-encode every coded block with the library at its bit offset and compare it with the "
        "stream's bits; print how many were coded differently (MPEG-4 escapes may be chosen "
        "otherwise; such a block must decode to the same levels, or it is an error)";
    rc.on_flag = [&] { reencode_check = true; };
    cl.add(rc);
    opxcli::Option dq;
    dq.name = "dquant-compat";
    dq.help =
        "H.263 modified quantisation (Annex T): read DQUANT in the 2-bit form of clause 5.3.6, as "
        "ffmpeg's encoder writes it; --rewrite then writes the form of Annex T.2";
    dq.on_flag = [&] { dquant_compat = true; };
    cl.add(dq);
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    if (reencode_check && rewrite_rvlc) {
        opxcli::message(
            cl.program(),
            "--reencode-check compares blocks in their own codes: not with --rewrite-rvlc");
        return opxcli::kExitUsage;
    }
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
    opt.rewrite = !rewrite_out.empty();
    opt.rewrite_rvlc = rewrite_rvlc;
    opt.rvlc_backward = rvlc_backward;
    opt.dquant_compat = dquant_compat;
    opt.reencode_check = reencode_check;
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
    if (!rewrite_out.empty() && !dec.refused()) {
        FILE* f = std::fopen(rewrite_out.c_str(), "wb");
        const std::vector<uint8_t>& w = dec.rewritten();
        bool ok = f && std::fwrite(w.data(), 1, w.size(), f) == w.size();
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok) {
            opxcli::message(cl.program(), "cannot write %s", rewrite_out.c_str());
            return opxcli::kExitDamaged;
        }
    }
    if (reencode_check && !dec.refused())
        opxcli::message(cl.program(), "re-encode check: %ld blocks, %ld coded differently",
                        dec.reencode_blocks(), dec.reencode_differences());
    if (dec.refused()) return opxcli::kExitUnsupported;
    if (dec.frames_out() == 0) {
        opxcli::message(cl.program(), "%s: no picture decoded", c.input.c_str());
        return opxcli::kExitDamaged;
    }
    return dec.errors() ? opxcli::kExitDamaged : opxcli::kExitOk;
}
