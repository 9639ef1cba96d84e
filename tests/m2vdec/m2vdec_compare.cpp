// Helpers of the opxvc-m2vdec stream tests (m2vdec_streams.sh):
//   m2vdec_compare frames W H CHROMA OURS REFERENCE   planar 8-bit frames (CHROMA 420 or 422):
//       same frame count, every plane of every frame PSNR >= 60 dB and max |diff| <= 4
//   m2vdec_compare frames W H CHROMA OURS REFERENCE MIN_PSNR   the same with another PSNR floor
//       and no bound on single samples (long prediction chains: IDCT drift)
//   m2vdec_compare coeffs FFMPEG_LOG OURS              every block of `opxvc-m2vdec --coeffs`
//       equals the row ffmpeg's dct_coeff debug output gives for it (blocks 0-5)
//   m2vdec_compare patch KIND IN OUT                   a stream with one header field changed:
//       KIND chroma444 (sequence extension) or fields (every picture a top field)
//   m2vdec_compare flip SEED IN OUT                    IN with 1-8 random bits flipped
// Exit status 0 when the check holds, 1 otherwise.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

bool read_file(const char* path, std::vector<unsigned char>& d) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    d.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

int frames(int w, int h, int chroma, const char* ours, const char* ref, double min_psnr, int max_abs) {
    std::vector<unsigned char> a, b;
    if (!read_file(ours, a) || !read_file(ref, b)) return std::printf("cannot read\n"), 1;
    const long cw = (w + 1) / 2, ch = chroma == 422 ? h : (h + 1) / 2;
    const long plane[3] = {long(w) * h, cw * ch, cw * ch}, fs = plane[0] + 2 * plane[1];
    if (a.size() != b.size() || a.empty() || a.size() % fs)
        return std::printf("sizes differ: %zu and %zu bytes\n", a.size(), b.size()), 1;
    double worst = 99;
    int max_diff = 0;
    bool ok = true;
    for (size_t f = 0; f < a.size() / fs; ++f) {
        long off = long(f) * fs;
        for (int p = 0; p < 3; ++p) {
            double se = 0;
            int m = 0;
            for (long i = 0; i < plane[p]; ++i) {
                const int d = int(a[off + i]) - int(b[off + i]);
                se += double(d) * d;
                m = std::max(m, std::abs(d));
            }
            const double psnr = se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * plane[p] / se);
            worst = std::min(worst, psnr);
            max_diff = std::max(max_diff, m);
            if (psnr < min_psnr || m > max_abs) {
                std::printf("frame %zu plane %d: PSNR %.2f dB, max |diff| %d\n", f, p, psnr, m);
                ok = false;
            }
            off += plane[p];
        }
    }
    std::printf("%zu frames, worst plane PSNR %.2f dB, max |diff| %d\n", a.size() / fs, worst,
                max_diff);
    return ok ? 0 : 1;
}

// ffmpeg prints "DCT coeffs of MB at XxY:" and then one line of 64 values per block for every
// macroblock of every picture in decoding order; a picture starts at macroblock 0x0.
int coeffs(const char* log, const char* ours) {
    std::ifstream f(log), g(ours);
    if (!f || !g) return std::printf("cannot read\n"), 1;
    std::map<std::tuple<long, int, int, int>, std::string> ref;
    std::string line;
    long pic = -1;
    int x = 0, y = 0, blk = 6;
    while (std::getline(f, line)) {
        const size_t at = line.find("DCT coeffs of MB at ");
        if (at != std::string::npos) {
            if (std::sscanf(line.c_str() + at + 20, "%dx%d", &x, &y) != 2) continue;
            if (x == 0 && y == 0) ++pic;
            blk = 0;
            continue;
        }
        if (blk >= 6) continue;
        const size_t close = line.find("] ");
        if (close == std::string::npos) continue;
        std::istringstream in(line.substr(close + 1));
        std::string values, v;
        int n = 0;
        while (in >> v) values += " " + v, ++n;
        if (n != 64) continue;
        ref[{pic, x, y, blk++}] = values;
    }
    long n = 0, bad = 0, unlisted = 0;
    while (std::getline(g, line)) {
        long p;
        int bx, by, k, used = 0;
        if (std::sscanf(line.c_str(), "%ld %d %d %d:%n", &p, &bx, &by, &k, &used) != 4) continue;
        std::istringstream in(line.substr(size_t(used)));
        std::string values, v;
        while (in >> v) values += " " + v;
        if (k >= 6) {  // ffmpeg prints six blocks per macroblock: 4:2:2's 6 and 7 are not there
            ++unlisted;
            continue;
        }
        ++n;
        auto it = ref.find({p, bx, by, k});
        if (it == ref.end() || it->second != values) {
            if (++bad <= 3)
                std::printf("picture %ld macroblock %dx%d block %d:\n  ours  %s\n  ffmpeg %s\n", p, bx, by,
                            k, values.c_str(), it == ref.end() ? "(none)" : it->second.c_str());
        }
    }
    std::printf("%ld coded blocks, %ld differ", n, bad);
    if (unlisted) std::printf(" (%ld blocks 6-7 not in ffmpeg's output)", unlisted);
    std::printf("\n");
    return n > 0 && bad == 0 ? 0 : 1;
}

int patch(const std::string& kind, const char* in, const char* out) {
    std::vector<unsigned char> d;
    if (!read_file(in, d)) return 1;
    int changed = 0;
    for (size_t i = 0; i + 7 < d.size(); ++i) {
        if (d[i] || d[i + 1] || d[i + 2] != 1 || d[i + 3] != 0xB5) continue;
        const int id = d[i + 4] >> 4;
        if (kind == "chroma444" && id == 1) d[i + 5] |= 0x06, ++changed;            // chroma_format 3
        if (kind == "fields" && id == 8) d[i + 6] = (d[i + 6] & ~3) | 1, ++changed;  // top field
    }
    std::ofstream f(out, std::ios::binary);
    f.write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
    return changed && f ? 0 : 1;
}

int flip(unsigned seed, const char* in, const char* out) {
    std::vector<unsigned char> d;
    if (!read_file(in, d) || d.empty()) return 1;
    uint32_t x = seed * 2654435761u + 1;
    auto next = [&x] { return x ^= x << 13, x ^= x >> 17, x ^= x << 5; };
    const int flips = 1 + int(next() % 8);
    for (int k = 0; k < flips; ++k) d[next() % d.size()] ^= uint8_t(1u << (next() % 8));
    std::ofstream f(out, std::ios::binary);
    f.write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
    return f ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "frames" && (argc == 7 || argc == 8))
        return frames(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5], argv[6],
                      argc == 8 ? std::atof(argv[7]) : 60.0, argc == 8 ? 255 : 4);
    if (mode == "coeffs" && argc == 4) return coeffs(argv[2], argv[3]);
    if (mode == "flip" && argc == 5) return flip(unsigned(std::atol(argv[2])), argv[3], argv[4]);
    if (mode == "patch" && argc == 5) return patch(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: see the head of m2vdec_compare.cpp\n");
    return 2;
}
