// opxvc-h264enc: command line. Reads a YUV4MPEG2 stream (8-bit 4:2:0, progressive, even size)
// and encodes it into an H.264 Annex B byte stream.
//
//   opxvc-h264enc [-o FILE] [--qp N] [--keyint N] [--no-deblock] [--recon FILE.y4m] [--md5]
//                 [--frames N] [--time] [--quiet] INPUT.y4m
//
// The options, input and exit codes are the shared frame's (examples/common); --md5 prints the
// digest of each reconstructed picture as `opxvc-h264dec --md5` prints the decoded one.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.hpp"
#include "encoder.hpp"
#include "output.hpp"
#include "input.hpp"

namespace {

double psnr(double sse, double samples) {
    return sse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * samples / sse);
}

// What this encoder does not take from a well-formed y4m stream; "" when it takes it.
std::string refusal(const opxcli::Y4mInput& in) {
    const opxcli::PictureFormat& f = in.fmt;
    if (f.chroma != opxcli::Chroma::k420)
        return "unsupported input: colour space C" + in.colour + " (8-bit 4:2:0 only)";
    if (f.interlace != 'p' && f.interlace != '?')
        return std::string("unsupported input: interlaced or mixed (I") + f.interlace +
               "); progressive only";
    if ((f.width | f.height) & 1)
        return "unsupported input: odd picture size " + std::to_string(f.width) + "x" +
               std::to_string(f.height) + " (4:2:0 needs even sizes)";
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    opxcli::CommandLine cl("opxvc-h264enc",
                           "encodes a y4m stream into H.264 (Baseline, CAVLC, I and P) with opxvc",
                           "a YUV4MPEG2 stream, 8-bit 4:2:0, progressive, even size", false);
    std::string out_path, recon_path;
    long qp = 26, keyint = 250;
    bool deblock = true;
    cl.add({"output", 'o', "FILE",
            "write the H.264 Annex B byte stream to FILE (- : standard output)",
            [&](const std::string& v, std::string& why) {
                if (v.empty()) return why = "empty output name", false;
                out_path = v;
                return true;
            },
            nullptr});
    cl.add_int("qp", "quantisation parameter of every macroblock (default 26)", 0, 51, &qp);
    cl.add_int("keyint", "an IDR picture every N pictures (default 250; 1: intra only)", 1,
               1L << 30, &keyint);
    cl.add({"no-deblock", 0, "", "turn the in-loop deblocking filter off", nullptr,
            [&] { deblock = false; }});
    cl.add({"recon", 0, "FILE",
            "write the reconstructed pictures to FILE (y4m when it ends in .y4m)",
            [&](const std::string& v, std::string& why) {
                if (v.empty()) return why = "empty file name", false;
                recon_path = v;
                return true;
            },
            nullptr});
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    const opxcli::CommonOptions& c = cl.common();
    if (out_path == "-" && (c.md5 || recon_path == "-")) {
        cl.usage_error("the stream and --md5 or --recon cannot both go to standard output");
        return opxcli::kExitUsage;
    }

    std::vector<uint8_t> data;
    std::string why;
    if (!opxcli::read_input(c.input, data, why)) {
        opxcli::message(cl.program(), "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    opxcli::Y4mInput in;
    const opxcli::Y4mStatus parsed = opxcli::parse_y4m(data, in, why);
    if (parsed == opxcli::Y4mStatus::kOk) why = refusal(in);
    if (parsed != opxcli::Y4mStatus::kOk || !why.empty()) {
        if (parsed == opxcli::Y4mStatus::kUnsupported) why = "unsupported input: " + why + " (8-bit 4:2:0 only)";
        opxcli::message(cl.program(), "%s: %s", c.input.c_str(), why.c_str());
        return parsed == opxcli::Y4mStatus::kDamaged ? opxcli::kExitDamaged
                                                     : opxcli::kExitUnsupported;
    }
    const opxcli::PictureFormat& fmt = in.fmt;
    if (in.frames.empty()) {  // nothing to encode: no picture buffers for a header's size
        opxcli::message(cl.program(), "%s: %s", c.input.c_str(),
                        in.truncated ? "truncated first frame" : "no frame");
        return opxcli::kExitDamaged;
    }

    FILE* out = nullptr;
    if (!out_path.empty()) {
        out = out_path == "-" ? stdout : std::fopen(out_path.c_str(), "wb");
        if (!out) {
            opxcli::message(cl.program(), "cannot create %s", out_path.c_str());
            return opxcli::kExitDamaged;
        }
    }
    opxcli::FrameWriter recon(recon_path, "");
    opxcli::Progress progress(c);

    h264enc::Settings s;
    s.width = fmt.width;
    s.height = fmt.height;
    s.qp = int(qp);
    s.keyint = int(keyint);
    s.deblock = deblock;
    h264enc::Encoder enc(s);
    std::vector<uint8_t> bytes;
    enc.headers(bytes);
    uint64_t total = 0;
    double sse[3] = {0, 0, 0};
    bool io_error = false;
    long n = long(in.frames.size());
    if (c.max_frames >= 0 && c.max_frames < n) n = c.max_frames;
    const int cw = fmt.width / 2, ch = fmt.height / 2;
    for (long f = 0; f < n && !io_error; ++f) {
        const uint8_t* y = in.frames[size_t(f)];
        const uint8_t* planes[3] = {y, y + size_t(fmt.width) * fmt.height,
                                    y + size_t(fmt.width) * fmt.height + size_t(cw) * ch};
        enc.encode(planes, bytes);
        total += bytes.size();
        if (out && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) io_error = true;
        bytes.clear();
        const h264enc::Picture& r = enc.recon();
        const opxcli::Plane pl[3] = {{r.p[0].origin, r.p[0].stride, fmt.width, fmt.height},
                                     {r.p[1].origin, r.p[1].stride, cw, ch},
                                     {r.p[2].origin, r.p[2].stride, cw, ch}};
        for (int k = 0; k < 3; ++k)
            for (int yy = 0; yy < pl[k].height; ++yy)
                for (int xx = 0; xx < pl[k].width; ++xx) {
                    const int d = int(r.p[k].origin[std::ptrdiff_t(yy) * r.p[k].stride + xx]) -
                                  planes[k][size_t(yy) * size_t(pl[k].width) + size_t(xx)];
                    sse[k] += double(d * d);
                }
        if (c.md5) std::printf("%ld %s\n", f, opxcli::frame_md5(fmt, pl).c_str());
        if (recon.enabled() && !recon.write(fmt, pl)) {
            opxcli::message(cl.program(), "%s", recon.error().c_str());
            io_error = true;
        }
        progress.frame();
    }
    progress.finish(cl.program());
    if (out && out != stdout && std::fclose(out) != 0) io_error = true;
    if (out == stdout && std::fflush(stdout) != 0) io_error = true;
    if (!recon.close()) io_error = true;
    if (io_error) {
        opxcli::message(cl.program(), "cannot write the output");
        return opxcli::kExitDamaged;
    }
    if (!c.quiet && n > 0) {
        const double seconds = double(n) * fmt.fps_den / fmt.fps_num;
        const double luma = double(fmt.width) * fmt.height, chroma = double(cw) * ch;
        opxcli::message(cl.program(),
                        "%ld frames, %llu bytes, %.1f kb/s at %d/%d fps; PSNR Y %.2f U %.2f V %.2f",
                        n, static_cast<unsigned long long>(total), total * 8 / seconds / 1000,
                        fmt.fps_num, fmt.fps_den, psnr(sse[0], luma * n), psnr(sse[1], chroma * n),
                        psnr(sse[2], chroma * n));
    }
    if (in.truncated && (c.max_frames < 0 || c.max_frames > long(in.frames.size()))) {
        opxcli::message(cl.program(), "%s: truncated frame after %zu whole frames", c.input.c_str(),
                        in.frames.size());
        return opxcli::kExitDamaged;
    }
    return opxcli::kExitOk;
}
