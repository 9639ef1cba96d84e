#include "output.hpp"

#include "cli.hpp"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <vector>

namespace opxcli {

int PictureFormat::chroma_width() const {
    switch (chroma) {
        case Chroma::k400: return 0;
        case Chroma::k444: return width;
        case Chroma::k411: return (width + 3) / 4;
        default: return (width + 1) / 2;
    }
}

int PictureFormat::chroma_height() const {
    switch (chroma) {
        case Chroma::k400: return 0;
        case Chroma::k420: return (height + 1) / 2;
        default: return height;
    }
}

// ---- MD5 (RFC 1321) ----------------------------------------------------------------------------

namespace {

constexpr uint32_t kMd5K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kMd5R[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

}  // namespace

Md5::Md5() : h_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::block(const uint8_t* p) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(p[i * 4]) | uint32_t(p[i * 4 + 1]) << 8 | uint32_t(p[i * 4 + 2]) << 16 |
               uint32_t(p[i * 4 + 3]) << 24;
    uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t t = d, x = a + f + kMd5K[i] + w[g];
        const int r = kMd5R[(i / 16) * 4 + i % 4];
        d = c;
        c = b;
        b = b + ((x << r) | (x >> (32 - r)));
        a = t;
    }
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
}

void Md5::update(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    length_ += n;
    while (n > 0) {
        if (fill_ == 0 && n >= 64) {
            block(p);
            p += 64;
            n -= 64;
            continue;
        }
        const size_t take = std::min(n, 64 - fill_);
        std::memcpy(buf_ + fill_, p, take);
        fill_ += take;
        p += take;
        n -= take;
        if (fill_ == 64) {
            block(buf_);
            fill_ = 0;
        }
    }
}

std::string Md5::hex() {
    const uint64_t bits = length_ * 8;
    const uint8_t pad = 0x80, zero = 0;
    update(&pad, 1);
    while (fill_ != 56) update(&zero, 1);
    uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = uint8_t(bits >> (8 * i));
    update(len, 8);
    char out[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(out + i * 2, 3, "%02x", unsigned(h_[i / 4] >> (8 * (i % 4))) & 0xFF);
    return std::string(out, 32);
}

std::string md5_hex(const void* data, size_t n) {
    Md5 m;
    m.update(data, n);
    return m.hex();
}

// ---- frames ------------------------------------------------------------------------------------

namespace {

int plane_count(const PictureFormat& f) { return f.chroma == Chroma::k400 ? 1 : 3; }
int bytes_per_sample(const PictureFormat& f) { return f.bit_depth > 8 ? 2 : 1; }

template <typename Fn>
void for_each_row(const PictureFormat& fmt, const Plane planes[3], Fn fn) {
    const int bytes = bytes_per_sample(fmt);
    for (int c = 0; c < plane_count(fmt); ++c) {
        const Plane& p = planes[c];
        for (int y = 0; y < p.height; ++y)
            fn(static_cast<const uint8_t*>(p.data) + y * p.stride, size_t(p.width) * bytes);
    }
}

bool same_layout(const PictureFormat& a, const PictureFormat& b) {
    return a.width == b.width && a.height == b.height && a.chroma == b.chroma &&
           a.bit_depth == b.bit_depth;
}

}  // namespace

std::string y4m_header(const PictureFormat& f) {
    std::string c;
    const std::string depth = f.bit_depth > 8 ? "p" + std::to_string(f.bit_depth) : "";
    switch (f.chroma) {
        case Chroma::k400: c = f.bit_depth > 8 ? "mono" + std::to_string(f.bit_depth) : "mono"; break;
        case Chroma::k420: c = f.bit_depth > 8 ? "420" + depth : "420jpeg"; break;
        case Chroma::k422: c = "422" + depth; break;
        case Chroma::k444: c = "444" + depth; break;
        case Chroma::k411: c = "411"; break;
    }
    char head[256];
    std::snprintf(head, sizeof head, "YUV4MPEG2 W%d H%d F%d:%d I%c A%d:%d C%s", f.width, f.height,
                  f.fps_num, f.fps_den, f.interlace, f.sar_num, f.sar_den, c.c_str());
    std::string s = head;
    if (f.full_range >= 0) s += f.full_range ? " XCOLORRANGE=FULL" : " XCOLORRANGE=LIMITED";
    return s;
}

std::string frame_md5(const PictureFormat& fmt, const Plane planes[3]) {
    Md5 m;
    for_each_row(fmt, planes, [&](const uint8_t* row, size_t n) { m.update(row, n); });
    return m.hex();
}

FrameWriter::FrameWriter(std::string path, std::string format) : path_(std::move(path)) {
    y4m_ = format.empty() ? path_ == "-" || has_suffix(path_, ".y4m") : format == "y4m";
}

FrameWriter::~FrameWriter() { close(); }

bool FrameWriter::open() {
    if (f_) return true;
    if (path_ == "-") {
        f_ = stdout;
        return true;
    }
    f_ = std::fopen(path_.c_str(), "wb");
    if (!f_) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        failed_ = true;
        return false;
    }
    return true;
}

bool FrameWriter::write(const PictureFormat& fmt, const Plane planes[3]) {
    if (!enabled()) return true;
    if (failed_ || !open()) return false;
    if (!header_done_) {
        first_ = fmt;
        if (y4m_) std::fprintf(f_, "%s\n", y4m_header(fmt).c_str());
        header_done_ = true;
    } else if (y4m_ && !same_layout(first_, fmt)) {
        error_ = "the picture size or format changes within the stream; y4m cannot follow (use "
                 "--format raw)";
        failed_ = true;
        return false;
    }
    if (y4m_) std::fputs("FRAME\n", f_);
    for_each_row(fmt, planes, [&](const uint8_t* row, size_t n) { std::fwrite(row, 1, n, f_); });
    if (std::ferror(f_)) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        failed_ = true;
        return false;
    }
    return true;
}

bool FrameWriter::close() {
    if (!f_) return !failed_;
    bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
    if (f_ != stdout) ok = std::fclose(f_) == 0 && ok;
    f_ = nullptr;
    if (!ok && !failed_) error_ = "cannot write " + path_ + ": " + std::strerror(errno);
    failed_ = failed_ || !ok;
    return !failed_;
}

}  // namespace opxcli
