// YUV4MPEG2 input of the example programs.
#include "input.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "cli.hpp"

namespace opxcli {

MappedInput::~MappedInput() {
    if (map_) munmap(map_, size);
}

bool MappedInput::open(const std::string& path, std::string& why) {
    if (path != "-") {
        const int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* m = mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (m != MAP_FAILED) {
                madvise(m, std::size_t(st.st_size), MADV_SEQUENTIAL);
                map_ = m, data = static_cast<const uint8_t*>(m), size = std::size_t(st.st_size);
                ::close(fd);
                return true;
            }
        }
        if (fd >= 0) ::close(fd);
    }
    if (!read_input(path, copy_, why)) return false;
    data = copy_.data(), size = copy_.size();
    return true;
}

std::size_t Y4mInput::frame_bytes() const {
    const std::size_t luma = std::size_t(fmt.width) * std::size_t(fmt.height);
    if (fmt.chroma == Chroma::k400) return luma;
    return luma + 2 * std::size_t(fmt.chroma_width()) * std::size_t(fmt.chroma_height());
}

namespace {

bool colour_space(const std::string& v, Chroma& c) {
    static const struct {
        const char* tag;
        Chroma chroma;
    } kKnown[] = {{"420jpeg", Chroma::k420}, {"420mpeg2", Chroma::k420},
                  {"420paldv", Chroma::k420}, {"420", Chroma::k420},
                  {"411", Chroma::k411},     {"422", Chroma::k422},
                  {"444", Chroma::k444},     {"mono", Chroma::k400}};
    for (const auto& k : kKnown)
        if (v == k.tag) return c = k.chroma, true;
    return false;
}

}  // namespace

Y4mStatus parse_y4m(const std::vector<uint8_t>& d, Y4mInput& y, std::string& why) {
    if (d.size() < 10 || std::memcmp(d.data(), "YUV4MPEG2 ", 10) != 0)
        return why = "not a YUV4MPEG2 stream", Y4mStatus::kDamaged;
    std::size_t eol = 10;
    while (eol < d.size() && d[eol] != '\n') ++eol;
    if (eol == d.size()) return why = "header without an end of line", Y4mStatus::kDamaged;
    const std::string header(reinterpret_cast<const char*>(d.data()) + 10, eol - 10);
    long w = 0, h = 0;
    y.fmt.chroma = Chroma::k420;
    for (std::size_t i = 0; i < header.size();) {
        std::size_t j = header.find(' ', i);
        if (j == std::string::npos) j = header.size();
        const std::string tag = header.substr(i, j - i);
        i = j + 1;
        if (tag.empty()) continue;
        const std::string v = tag.substr(1);
        switch (tag[0]) {
            case 'W':
                if (!parse_long(v, 1, 16384, &w)) return why = "bad width", Y4mStatus::kDamaged;
                break;
            case 'H':
                if (!parse_long(v, 1, 16384, &h)) return why = "bad height", Y4mStatus::kDamaged;
                break;
            case 'F': std::sscanf(v.c_str(), "%d:%d", &y.fmt.fps_num, &y.fmt.fps_den); break;
            case 'A': std::sscanf(v.c_str(), "%d:%d", &y.fmt.sar_num, &y.fmt.sar_den); break;
            case 'I': y.fmt.interlace = v.empty() ? 'p' : v[0]; break;
            case 'C':
                y.colour = v;
                if (!colour_space(v, y.fmt.chroma))
                    return why = "colour space C" + v, Y4mStatus::kUnsupported;
                break;
            default: break;
        }
    }
    if (w < 1 || h < 1) return why = "picture size missing", Y4mStatus::kDamaged;
    y.fmt.width = int(w);
    y.fmt.height = int(h);
    if (y.fmt.fps_num <= 0 || y.fmt.fps_den <= 0) y.fmt.fps_num = 25, y.fmt.fps_den = 1;
    const std::size_t n = y.frame_bytes();
    for (std::size_t p = eol + 1; p < d.size(); p += n) {
        if (d.size() - p < 5 || std::memcmp(d.data() + p, "FRAME", 5) != 0)
            return why = "frame header expected", Y4mStatus::kDamaged;
        while (p < d.size() && d[p] != '\n') ++p;
        ++p;
        if (p > d.size() || d.size() - p < n) {
            y.truncated = true;
            break;
        }
        y.frames.push_back(d.data() + p);
    }
    return Y4mStatus::kOk;
}

}  // namespace opxcli
