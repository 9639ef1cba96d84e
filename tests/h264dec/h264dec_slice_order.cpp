// Decodes multi-slice streams twice, once as they are and once with the slices of every picture
// in reverse order, and requires identical pictures. Slices decode independently, so the order
// must not matter; the reversed order takes the decoder's other paths: neighbours decoded after
// a macroblock (its filter strengths recomputed in the filter pass) and the whole filtering at
// the end of the picture instead of row by row during decoding. Exit 0 when every stream
// matches and had pictures of several slices.
//   h264dec_slice_order WORKDIR STREAM...
#include <cstdio>
#include <string>
#include <vector>

#include "decoder.hpp"

namespace {

// A file's bytes, empty when it cannot be read.
std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> data;
    h264dec::read_stream(path.c_str(), data);
    return data;
}

struct Nal {
    size_t begin, end;  // payload bytes after the start code
};

std::vector<Nal> split_nals(const std::vector<uint8_t>& d) {
    std::vector<Nal> nals;
    auto start = [&](size_t from) {
        for (size_t k = from; k + 2 < d.size(); ++k)
            if (d[k] == 0 && d[k + 1] == 0 && d[k + 2] == 1) return k;
        return d.size();
    };
    for (size_t i = start(0); i < d.size();) {
        size_t next = start(i + 3);
        nals.push_back({i + 3, next});
        i = next;
    }
    return nals;
}

bool is_slice(const std::vector<uint8_t>& d, const Nal& n) {
    int type = n.end > n.begin ? d[n.begin] & 31 : 0;
    return type == 1 || type == 5;
}

int first_mb(const std::vector<uint8_t>& d, const Nal& n) {
    h264dec::Rbsp r;
    r.assign(d.data() + n.begin + 1, n.end - n.begin - 1);
    h264dec::Bits b = r.reader(0);
    return int(b.ue());
}

// The stream with the slices of each picture (a run of slices starting at macroblock 0)
// reversed; other units stay where they are. Counts the pictures of more than one slice.
std::vector<uint8_t> reverse_slices(const std::vector<uint8_t>& d, int& multi) {
    std::vector<Nal> nals = split_nals(d);
    std::vector<uint8_t> out;
    auto emit = [&](const Nal& n) {
        static const uint8_t kStart[4] = {0, 0, 0, 1};
        out.insert(out.end(), kStart, kStart + 4);
        out.insert(out.end(), d.begin() + long(n.begin), d.begin() + long(n.end));
    };
    std::vector<Nal> picture;
    auto flush = [&] {
        multi += picture.size() > 1;
        for (size_t k = picture.size(); k-- > 0;) emit(picture[k]);
        picture.clear();
    };
    for (const Nal& n : nals) {
        if (!is_slice(d, n)) {
            flush();
            emit(n);
            continue;
        }
        if (first_mb(d, n) == 0) flush();
        picture.push_back(n);
    }
    flush();
    return out;
}

// Decodes into a raw YUV file and returns its bytes.
std::vector<uint8_t> decode(const std::vector<uint8_t>& stream, const std::string& out,
                            long& errors) {
    h264dec::Options opt;
    opt.out = out;
    {
        h264dec::Decoder d(opt, stderr);
        h264dec::decode_stream(d, stream.data(), stream.size());
        errors = d.errors();
    }
    return read_file(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: h264dec_slice_order WORKDIR STREAM...\n");
        return 2;
    }
    const std::string work = argv[1];
    int fail = 0;
    for (int a = 2; a < argc; ++a) {
        std::vector<uint8_t> data = read_file(argv[a]);
        if (data.empty()) {
            std::fprintf(stderr, "cannot read %s\n", argv[a]);
            return 1;
        }
        int multi = 0;
        std::vector<uint8_t> reversed = reverse_slices(data, multi);
        long e1 = 0, e2 = 0;
        std::vector<uint8_t> p1 = decode(data, work + "/in_order.yuv", e1);
        std::vector<uint8_t> p2 = decode(reversed, work + "/reversed.yuv", e2);
        bool ok = multi > 0 && !p1.empty() && p1 == p2 && e1 == 0 && e2 == 0;
        std::printf(
            "%s: %d pictures of several slices; %zu bytes decoded; reversed slice order %s\n",
            argv[a], multi, p1.size(), ok ? "identical" : "DIFFERS (or errors)");
        fail |= !ok;
    }
    return fail;
}
