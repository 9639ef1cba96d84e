// MD5 of output frames and the Annex B byte-stream splitter.
#include <cstdio>
#include <cstring>
#include <string>

#include "decoder.hpp"

namespace h264dec {

// ---- MD5 (RFC 1321) ----------------------------------------------------------------------------
std::string md5_hex(const uint8_t* data, size_t n) {
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static const int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                              5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                              4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                              6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t h0 = 0x67452301, h1 = 0xefcdab89, h2 = 0x98badcfe, h3 = 0x10325476;
    auto rotl = [](uint32_t x, int c) { return (x << c) | (x >> (32 - c)); };
    auto chunk = [&](const uint8_t* p) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(p[i * 4]) | uint32_t(p[i * 4 + 1]) << 8 | uint32_t(p[i * 4 + 2]) << 16 |
                   uint32_t(p[i * 4 + 3]) << 24;
        uint32_t a = h0, b = h1, c = h2, d = h3;
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
            uint32_t t = d;
            d = c;
            c = b;
            b = b + rotl(a + f + k[i] + w[g], r[i]);
            a = t;
        }
        h0 += a;
        h1 += b;
        h2 += c;
        h3 += d;
    };
    size_t full = n / 64;
    for (size_t i = 0; i < full; ++i) chunk(data + i * 64);
    uint8_t tail[128] = {};
    size_t rem = n - full * 64;
    std::memcpy(tail, data + full * 64, rem);
    tail[rem] = 0x80;
    size_t tl = rem + 1 + 8 <= 64 ? 64 : 128;
    uint64_t bits = uint64_t(n) * 8;
    for (int i = 0; i < 8; ++i) tail[tl - 8 + i] = uint8_t(bits >> (8 * i));
    chunk(tail);
    if (tl == 128) chunk(tail + 64);
    char out[33];
    uint32_t hs[4] = {h0, h1, h2, h3};
    for (int i = 0; i < 16; ++i)
        std::snprintf(out + i * 2, 3, "%02x", (hs[i / 4] >> (8 * (i % 4))) & 0xFF);
    return std::string(out, 32);
}

// Splits an Annex B byte stream at its start codes and feeds the NAL units.
long decode_stream(Decoder& d, const uint8_t* data, size_t size) {
    size_t i = 0;
    auto find_start = [&](size_t from) -> size_t {
        for (size_t k = from; k + 2 < size; ++k)
            if (data[k] == 0 && data[k + 1] == 0 && data[k + 2] == 1) return k;
        return size;
    };
    i = find_start(0);
    while (i < size && !d.stop() && !d.refused()) {
        size_t begin = i + 3;
        size_t next = find_start(begin);
        size_t end = next;
        while (end > begin && data[end - 1] == 0) --end;  // trailing_zero_8bits
        if (end > begin) d.feed_nal(data + begin, end - begin);
        i = next;
    }
    if (!d.refused()) d.flush();
    return d.frames_out();
}

bool read_stream(const char* path, std::vector<uint8_t>& data) {
    const bool in = std::strcmp(path, "-") == 0;
    FILE* f = in ? stdin : std::fopen(path, "rb");
    if (!f) return false;
    data.clear();
    if (!in && std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        if (size > 0) data.reserve(size_t(size));
        std::fseek(f, 0, SEEK_SET);
    }
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    if (!in) std::fclose(f);
    return true;
}

}  // namespace h264dec
