// opxvc-dvdec: command line. Reads raw DV (DIF) frames and decodes them to planar pictures.
//
//   opxvc-dvdec [--md5] [-o FILE] [--format raw|y4m] [--frames N] [--dequant weight|table]
//               [--stats] [--time] [--quiet] STREAM
//
// The options, input, output and exit codes are the shared frame's (examples/common).
#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "dvdec.hpp"
#include "input.hpp"
#include "output.hpp"

int main(int argc, char** argv) {
    opxcli::CommandLine cl("opxvc-dvdec",
                           "decodes DV (625/50 4:2:0, 4:1:1, 50 Mb/s 4:2:2) with opxvc",
                           "raw DV (DIF) frames");
    dvdec::Dequant dq = dvdec::Dequant::kWeight;
    bool stats = false;
    cl.add({"dequant", 0, "M",
            "weight (default): step and weight tables; table: one combined table per block",
            [&](const std::string& v, std::string& why) {
                if (v != "weight" && v != "table") return why = "dequant is weight or table", false;
                dq = v == "weight" ? dvdec::Dequant::kWeight : dvdec::Dequant::kTable;
                return true;
            },
            nullptr});
    cl.add({"stats", 0, "", "print block counts: complete in one pass, after all passes, 2-4-8",
            nullptr, [&] { stats = true; }});
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    const opxcli::CommonOptions& c = cl.common();
    const std::string& prog = cl.program();

    opxcli::MappedInput data;
    std::string why;
    if (!data.open(c.input, why)) {
        opxcli::message(prog, "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    if (data.size == 0) {
        opxcli::message(prog, "%s: no DV frame", c.input.c_str());
        return opxcli::kExitDamaged;
    }

    dvdec::Decoder dec(dq, stats);
    opxcli::FrameWriter out(c.output, c.format);
    opxcli::Progress progress(c);
    dvdec::Picture pic;
    int result = opxcli::kExitOk;
    long frames = 0;
    size_t pos = 0;
    dvdec::Format first;
    while (pos < data.size && (c.max_frames < 0 || frames < c.max_frames)) {
        dvdec::Format f;
        bool unsupported = false;
        if (!dvdec::probe(data.data + pos, data.size - pos, f, why, unsupported)) {
            opxcli::message(prog, "frame %ld: %s", frames, why.c_str());
            result = unsupported ? opxcli::kExitUnsupported : opxcli::kExitDamaged;
            break;
        }
        if (frames == 0) first = f;
        if (f.system != first.system) {
            opxcli::message(prog, "frame %ld: unsupported stream: the DV system changes", frames);
            result = opxcli::kExitUnsupported;
            break;
        }
        if (data.size - pos < f.frame_bytes) {
            opxcli::message(prog, "frame %ld: truncated frame (%zu of %zu bytes)", frames,
                            data.size - pos, f.frame_bytes);
            result = opxcli::kExitDamaged;
            break;
        }
        if (!dec.decode(data.data + pos, f, pic, why)) {
            opxcli::message(prog, "frame %ld: %s", frames, why.c_str());
            result = opxcli::kExitDamaged;
            break;
        }
        pos += f.frame_bytes;
        opxcli::PictureFormat pf;
        pf.width = pic.width, pf.height = pic.height;
        pf.chroma = f.chroma411   ? opxcli::Chroma::k411
                    : f.chroma422 ? opxcli::Chroma::k422
                                  : opxcli::Chroma::k420;
        pf.fps_num = f.fps_num, pf.fps_den = f.fps_den;
        pf.interlace = 'b';  // DV frames are interlaced, bottom field first
        pf.full_range = 0;
        const opxcli::Plane planes[3] = {{pic.y.data(), pic.width, pic.width, pic.height},
                                         {pic.cb.data(), pic.cwidth, pic.cwidth, pic.cheight},
                                         {pic.cr.data(), pic.cwidth, pic.cwidth, pic.cheight}};
        if (c.md5) std::printf("frame %ld %s\n", frames, opxcli::frame_md5(pf, planes).c_str());
        if (out.enabled() && !out.write(pf, planes)) {
            opxcli::message(prog, "%s", out.error().c_str());
            return opxcli::kExitDamaged;
        }
        ++frames;
        progress.frame();
    }
    progress.finish(prog);
    if (out.enabled() && !out.close()) {
        opxcli::message(prog, "%s", out.error().c_str());
        return opxcli::kExitDamaged;
    }
    if (stats) {
        const dvdec::Stats& s = dec.stats();
        std::printf("blocks %ld complete-one-pass %ld complete %ld redistributed %ld blocks248 %ld\n",
                    s.blocks, s.complete_one_pass, s.complete, s.complete - s.complete_one_pass,
                    s.blocks248);
    }
    if (result == opxcli::kExitOk && frames == 0) {
        opxcli::message(prog, "%s: no frame decoded", c.input.c_str());
        return opxcli::kExitDamaged;
    }
    return result;
}
