// opxvc-vpp: runs one of opxvc's deinterlacing or denoising filters over every plane of every
// frame of a YUV4MPEG2 stream (8-bit 4:2:0 or gray).
//
//   opxvc-vpp --filter edge|median[=T]|triangle[=W]|smooth[=T]|adaptive[=M,T,MODE]|mosquito
//             [--parity tff|bff] [-o FILE] [--md5] [--frames N] [--time] [--quiet] INPUT.y4m
//
// The options, input, output and exit codes are the shared frame's (examples/common); this file
// reads y4m and calls the filters. --time adds the time spent in the filters alone.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.hpp"
#include "opxvc.h"
#include "input.hpp"
#include "output.hpp"

namespace {

enum class Filter { kEdge, kMedian, kTriangle, kSmooth, kAdaptive, kMosquito };

struct Settings {
    Filter filter = Filter::kEdge;
    long value[3] = {0, 0, 0};
    bool top_first = true;
};

// "name" or "name=a[,b[,c]]" with defaults for the values left out.
bool parse_filter(const std::string& text, Settings& s, std::string& why) {
    const std::string name = text.substr(0, text.find('='));
    const std::string args = text.find('=') == std::string::npos ? "" : text.substr(text.find('=') + 1);
    struct Known {
        const char* name;
        Filter f;
        int n;
        long def[3], lo, hi;
    } known[] = {
        {"edge", Filter::kEdge, 0, {0, 0, 0}, 0, 0},
        {"median", Filter::kMedian, 1, {10, 0, 0}, 0, 256},
        {"triangle", Filter::kTriangle, 1, {128, 0, 0}, 0, 256},
        {"smooth", Filter::kSmooth, 1, {8, 0, 0}, 0, 256},
        {"adaptive", Filter::kAdaptive, 3, {1, 12, 3}, 0, 256},
        {"mosquito", Filter::kMosquito, 0, {0, 0, 0}, 0, 0},
    };
    for (const Known& k : known) {
        if (name != k.name) continue;
        s.filter = k.f;
        std::memcpy(s.value, k.def, sizeof s.value);
        std::size_t pos = 0;
        for (int i = 0; i < k.n && pos < args.size(); ++i) {
            std::size_t end = args.find(',', pos);
            if (end == std::string::npos) end = args.size();
            if (!opxcli::parse_long(args.substr(pos, end - pos), k.lo, k.hi, &s.value[i])) {
                why = "bad value in " + text;
                return false;
            }
            pos = end + 1;
        }
        if (pos < args.size() || (k.n == 0 && !args.empty())) {
            why = "too many values in " + text;
            return false;
        }
        if (s.filter == Filter::kAdaptive && (s.value[0] < 1 || s.value[2] > 3)) {
            why = "adaptive needs M ≥ 1 and MODE 0..3";
            return false;
        }
        return true;
    }
    why = "unknown filter " + name;
    return false;
}

// One plane of a frame, and where its filtered copy goes.
struct PlaneRef {
    const uint8_t* data;
    int width, height;
};

class Runner {
  public:
    Runner(const Settings& s) : s_(s) {}
    // Filters plane `cur` (with its neighbours in time) into `out` (same size, packed rows).
    bool run(PlaneRef prev, PlaneRef cur, PlaneRef next, uint8_t* out, int plane_index) {
        const int w = cur.width, h = cur.height;
        // Rows a filter leaves alone (every row when a plane is too small for the filter).
        auto copy_rows = [&](int first, int step) {
            for (int y = first; y < h; y += step)
                std::memcpy(out + std::size_t(y) * w, cur.data + std::size_t(y) * w, std::size_t(w));
        };
        if (!fits(w, h)) {
            copy_rows(0, 1);
            return true;
        }
        const OpxRoiSize size{w, h};
        const OpxRect all{0, 0, w, h};
        OpxResult r = opxOk;
        switch (s_.filter) {
            case Filter::kEdge:
                // Keep the first field in time, rebuild the other from it.
                copy_rows(s_.top_first ? 0 : 1, 2);
                if (h % 2) copy_rows(h - 1, 1);  // an odd last row has no partner field row
                if (s_.top_first)
                    r = opxiDeinterlaceEdgeDetect_8u_C1R(cur.data, 2 * w, out + w, 2 * w, {w, h / 2}, 1, 1);
                else
                    r = opxiDeinterlaceEdgeDetect_8u_C1R(cur.data + w, 2 * w, out, 2 * w, {w, h / 2}, 0, 1);
                break;
            case Filter::kMedian:
                r = opxiDeinterlaceMedianThreshold_8u_C1R(cur.data, w, out, w, size,
                                                          static_cast<Opx32s>(s_.value[0]),
                                                          s_.top_first ? 1 : 0, 1);
                break;
            case Filter::kTriangle:
                copy_rows(h - 1, 1);  // a top slice over the whole plane leaves its last row
                r = opxiDeinterlaceFilterTriangle_8u_C1R(cur.data, w, out, w, size,
                                                         static_cast<Opx32u>(s_.value[0]), 1);
                break;
            case Filter::kSmooth:
                // One work buffer per plane: sized once, not cleared again for every frame.
                work_[plane_index].resize(2 * std::size_t(w + 3) * (h + 3));
                r = opxiFilterDenoiseSmooth_8u_C1R(cur.data, w, out, w, size, &all,
                                                   static_cast<Opx32s>(s_.value[0]),
                                                   work_[plane_index].data());
                break;
            case Filter::kAdaptive: {
                const int m = static_cast<int>(s_.value[0]);
                OpxDenoiseAdaptiveState*& st = adaptive_[plane_index];
                if (!st && opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(&st, size, {m, m}) != opxOk) return false;
                const Opx8u* src[3] = {prev.data, cur.data, next.data};
                r = opxiFilterDenoiseAdaptive_8u_C1R(src, w, out, w, size, &all, {m, m},
                                                     static_cast<Opx32s>(s_.value[1]),
                                                     static_cast<Opx32s>(s_.value[2]), st);
                break;
            }
            case Filter::kMosquito: {
                OpxDenoiseMosquitoState*& st = mosquito_[plane_index];
                if (!st && opxiFilterDenoiseMosquitoInitAlloc_8u_C1(&st, size) != opxOk) return false;
                const Opx8u* src[2] = {cur.data, prev.data};
                r = opxiFilterDenoiseMosquito_8u_C1R(src, w, out, w, size, &all, st);
                break;
            }
        }
        return r == opxOk;
    }
    ~Runner() {
        for (auto* s : adaptive_)
            if (s) opxiFilterDenoiseAdaptiveFree_8u_C1(s);
        for (auto* s : mosquito_)
            if (s) opxiFilterDenoiseMosquitoFree_8u_C1(s);
    }

  private:
    // Planes each filter can take (smaller ones are copied).
    bool fits(int w, int h) const {
        switch (s_.filter) {
            case Filter::kEdge: case Filter::kMedian: return h >= 2;
            case Filter::kTriangle: case Filter::kSmooth: return h >= 3;
            case Filter::kAdaptive: return w >= s_.value[0] && h >= s_.value[0];
            case Filter::kMosquito: return w >= 8 && h >= 8;
        }
        return false;
    }
    Settings s_;
    std::vector<uint8_t> work_[3];
    OpxDenoiseAdaptiveState* adaptive_[3] = {};
    OpxDenoiseMosquitoState* mosquito_[3] = {};
};

}  // namespace

int main(int argc, char** argv) {
    opxcli::CommandLine cl("opxvc-vpp",
                           "deinterlaces or denoises every plane of a y4m stream with opxvc",
                           "a YUV4MPEG2 stream, 8-bit 4:2:0 or mono");
    Settings s;
    bool have_filter = false;
    cl.add({"filter", 0, "F",
            "edge | median[=T] | triangle[=W] | smooth[=T] | adaptive[=M,T,MODE] | mosquito "
            "(defaults: median 10, triangle 128, smooth 8, adaptive 1,12,3)",
            [&](const std::string& v, std::string& why) { return have_filter = parse_filter(v, s, why); },
            nullptr});
    cl.add({"parity", 0, "P", "tff (default) or bff: the field kept by edge and median",
            [&](const std::string& v, std::string& why) {
                if (v != "tff" && v != "bff") return why = "parity is tff or bff", false;
                s.top_first = v == "tff";
                return true;
            },
            nullptr});
    int code = 0;
    if (!cl.parse(argc, argv, &code)) return code;
    if (!have_filter) {
        cl.usage_error("--filter is required");
        return opxcli::kExitUsage;
    }
    const opxcli::CommonOptions& c = cl.common();
    std::vector<uint8_t> data;
    std::string why;
    if (!opxcli::read_input(c.input, data, why)) {
        opxcli::message(cl.program(), "cannot read %s: %s", c.input.c_str(), why.c_str());
        return opxcli::kExitDamaged;
    }
    opxcli::Y4mInput in;
    opxcli::Y4mStatus parsed = opxcli::parse_y4m(data, in, why);
    if (parsed == opxcli::Y4mStatus::kOk && in.fmt.chroma != opxcli::Chroma::k420 &&
        in.fmt.chroma != opxcli::Chroma::k400)
        parsed = opxcli::Y4mStatus::kUnsupported, why = "colour space C" + in.colour;
    else if (parsed == opxcli::Y4mStatus::kOk && in.truncated)
        parsed = opxcli::Y4mStatus::kDamaged, why = "truncated frame";
    if (parsed != opxcli::Y4mStatus::kOk) {
        const bool unsupported = parsed == opxcli::Y4mStatus::kUnsupported;
        opxcli::message(cl.program(), "%s: %s%s", c.input.c_str(), why.c_str(),
                        unsupported ? " (only 8-bit 4:2:0 and mono)" : "");
        return unsupported ? opxcli::kExitUnsupported : opxcli::kExitDamaged;
    }
    opxcli::PictureFormat fmt = in.fmt;
    if (s.filter <= Filter::kMedian) fmt.interlace = 'p';
    const int planes = fmt.chroma == opxcli::Chroma::k400 ? 1 : 3;
    const int pw[3] = {fmt.width, fmt.chroma_width(), fmt.chroma_width()};
    const int ph[3] = {fmt.height, fmt.chroma_height(), fmt.chroma_height()};
    std::size_t offset[3] = {0, std::size_t(pw[0]) * ph[0], std::size_t(pw[0]) * ph[0] + std::size_t(pw[1]) * ph[1]};

    opxcli::FrameWriter writer(c.output, c.format);
    opxcli::Progress progress(c);
    Runner runner(s);
    std::vector<uint8_t> out(in.frame_bytes());
    // Filter time as this thread's CPU time (the counterpart of a peer's user time on a shared
    // machine, where wall time also counts the time other processes hold the processor) and as
    // wall time.
    auto cpu_now = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
    };
    double filter_seconds = 0, filter_wall = 0;
    const long n = static_cast<long>(in.frames.size());
    const long frames = c.max_frames >= 0 && c.max_frames < n ? c.max_frames : n;
    for (long f = 0; f < frames; ++f) {
        const uint8_t* prev = in.frames[f > 0 ? f - 1 : f];
        const uint8_t* cur = in.frames[f];
        const uint8_t* next = in.frames[f + 1 < n ? f + 1 : f];
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpu_now();
        for (int p = 0; p < planes; ++p) {
            if (!runner.run({prev + offset[p], pw[p], ph[p]}, {cur + offset[p], pw[p], ph[p]},
                            {next + offset[p], pw[p], ph[p]}, out.data() + offset[p], p)) {
                opxcli::message(cl.program(), "frame %ld: the filter failed", f);
                return opxcli::kExitDamaged;
            }
        }
        filter_seconds += cpu_now() - c0;
        filter_wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        opxcli::Plane pl[3];
        for (int p = 0; p < 3; ++p)
            pl[p] = {out.data() + offset[p % planes], pw[p], pw[p], ph[p]};
        if (c.md5) std::printf("%s  frame %ld\n", opxcli::frame_md5(fmt, pl).c_str(), f);
        if (writer.enabled() && !writer.write(fmt, pl)) {
            opxcli::message(cl.program(), "%s", writer.error().c_str());
            return opxcli::kExitDamaged;
        }
        progress.frame();
    }
    progress.finish(cl.program());
    if (c.time)
        opxcli::message(cl.program(), "filter time %.3f s, %.1f frames/s (CPU time; wall %.3f s)",
                        filter_seconds, filter_seconds > 0 ? frames / filter_seconds : 0.0, filter_wall);
    if (writer.enabled() && !writer.close()) {
        opxcli::message(cl.program(), "%s", writer.error().c_str());
        return opxcli::kExitDamaged;
    }
    return frames > 0 ? opxcli::kExitOk : opxcli::kExitDamaged;
}
