// Output of decoded pictures shared by the example programs: raw planar or YUV4MPEG2 to a file or
// standard output, and the per-frame MD5 lines of `--md5`.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace opxcli {

enum class Chroma { k400, k420, k422, k444, k411 };

// What a stream says of its pictures; the y4m header is made from it.
struct PictureFormat {
    int width = 0, height = 0;  // luma samples, as output (cropped)
    Chroma chroma = Chroma::k420;
    int bit_depth = 8;                  // 8..16; above 8, two bytes per sample, little-endian
    int fps_num = 25, fps_den = 1;      // frame rate; the default when the stream gives none
    int sar_num = 0, sar_den = 0;       // sample aspect ratio; 0:0 unknown
    char interlace = 'p';               // y4m: p, t, b or m
    int full_range = -1;                // 1 full, 0 limited, -1 not signalled
    // Cb/Cr size for this chroma format
    int chroma_width() const;
    int chroma_height() const;
};

// One plane: `width` × `height` samples of `bytes` (1 or 2) each, rows `stride` bytes apart.
struct Plane {
    const void* data = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0, height = 0;
};

// RFC 1321 MD5, fed in pieces.
class Md5 {
  public:
    Md5();
    void update(const void* data, size_t n);
    std::string hex();  // the digest in lower-case hexadecimal; ends the computation

  private:
    uint32_t h_[4];
    uint64_t length_ = 0;
    uint8_t buf_[64];
    size_t fill_ = 0;
    void block(const uint8_t* p);
};
std::string md5_hex(const void* data, size_t n);

// Writes frames to the output named on the command line. Nothing is created until the first
// frame arrives, so a stream refused before that leaves no file behind. "-" is standard output;
// the format is `format` ("raw"/"y4m") or, when empty, y4m for "-" and for names ending in
// ".y4m" (any case), raw otherwise.
class FrameWriter {
  public:
    FrameWriter(std::string path, std::string format);
    ~FrameWriter();
    bool enabled() const { return !path_.empty(); }
    bool y4m() const { return y4m_; }
    // Writes one frame of `fmt` (the y4m header before the first); false on an I/O error, with
    // the reason in error(). A frame whose format differs from the first one's is written as it
    // is (raw) or refused (y4m: one header per stream).
    bool write(const PictureFormat& fmt, const Plane planes[3]);
    bool close();  // flushes; false on an I/O error
    const std::string& error() const { return error_; }

  private:
    std::string path_, error_;
    bool y4m_ = false, header_done_ = false, failed_ = false;
    PictureFormat first_;
    FILE* f_ = nullptr;
    bool open();
};

// The y4m stream header for `fmt` (without the newline).
std::string y4m_header(const PictureFormat& fmt);

// MD5 of one frame as `--md5` prints it: the planes in order (Y, Cb, Cr; Y only for 4:0:0),
// each row's width × bytes-per-sample bytes.
std::string frame_md5(const PictureFormat& fmt, const Plane planes[3]);

}  // namespace opxcli
