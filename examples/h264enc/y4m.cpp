// YUV4MPEG2 input of opxvc-h264enc.
#include "y4m.hpp"

#include <cstdio>
#include <cstring>

#include "cli.hpp"

namespace h264enc {

Parse parse_y4m(const std::vector<uint8_t>& d, Y4m& y, std::string& why) {
    if (d.size() < 10 || std::memcmp(d.data(), "YUV4MPEG2 ", 10) != 0)
        return why = "not a YUV4MPEG2 stream", Parse::kDamaged;
    size_t eol = 10;
    while (eol < d.size() && d[eol] != '\n') ++eol;
    if (eol == d.size()) return why = "header without an end of line", Parse::kDamaged;
    const std::string header(reinterpret_cast<const char*>(d.data()) + 10, eol - 10);
    long w = 0, h = 0;
    size_t i = 0;
    while (i < header.size()) {
        size_t j = header.find(' ', i);
        if (j == std::string::npos) j = header.size();
        const std::string tag = header.substr(i, j - i), v = tag.empty() ? "" : tag.substr(1);
        i = j + 1;
        if (tag.empty()) continue;
        switch (tag[0]) {
            case 'W':
                if (!opxcli::parse_long(v, 1, 16384, &w)) return why = "bad width", Parse::kDamaged;
                break;
            case 'H':
                if (!opxcli::parse_long(v, 1, 16384, &h))
                    return why = "bad height", Parse::kDamaged;
                break;
            case 'F':
                std::sscanf(v.c_str(), "%d:%d", &y.fmt.fps_num, &y.fmt.fps_den);
                break;
            case 'A':
                std::sscanf(v.c_str(), "%d:%d", &y.fmt.sar_num, &y.fmt.sar_den);
                break;
            case 'I':
                if (v != "p" && v != "?")
                    return why = "unsupported input: interlaced or mixed (I" + v +
                                 "); progressive only",
                           Parse::kUnsupported;
                break;
            case 'C':
                if (v != "420jpeg" && v != "420mpeg2" && v != "420paldv" && v != "420")
                    return why = "unsupported input: colour space C" + v + " (8-bit 4:2:0 only)",
                           Parse::kUnsupported;
                break;
            default:
                break;
        }
    }
    if (w < 1 || h < 1) return why = "picture size missing", Parse::kDamaged;
    if ((w | h) & 1)
        return why = "unsupported input: odd picture size " + std::to_string(w) + "x" +
                     std::to_string(h) + " (4:2:0 needs even sizes)",
               Parse::kUnsupported;
    y.fmt.width = int(w);
    y.fmt.height = int(h);
    if (y.fmt.fps_num <= 0 || y.fmt.fps_den <= 0) y.fmt.fps_num = 25, y.fmt.fps_den = 1;
    const size_t n = size_t(w) * size_t(h) * 3 / 2;
    size_t p = eol + 1;
    while (p < d.size()) {
        if (d.size() - p < 5 || std::memcmp(d.data() + p, "FRAME", 5) != 0)
            return why = "frame header expected", Parse::kDamaged;
        while (p < d.size() && d[p] != '\n') ++p;
        ++p;
        if (p > d.size() || d.size() - p < n) {
            y.truncated = true;
            break;
        }
        y.frames.push_back(d.data() + p);
        p += n;
    }
    return Parse::kOk;
}

}  // namespace h264enc
