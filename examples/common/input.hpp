// YUV4MPEG2 input shared by the example programs that read pictures (opxvc-h264enc, opxvc-vpp):
// the stream header as a PictureFormat and the frames' plane data, held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output.hpp"

namespace opxcli {

struct Y4mInput {
    PictureFormat fmt;                   // size, chroma, frame rate, aspect, interlace
    std::string colour;                  // the C tag as written ("420jpeg", "mono", …); "" absent
    std::vector<const uint8_t*> frames;  // first byte of each whole frame's Y plane
    bool truncated = false;              // the last frame is incomplete (not in `frames`)
    std::size_t frame_bytes() const;
};

// A whole input's bytes without a copy where it can: a regular file is mapped (pages come in as
// the reader reaches them), anything else (a pipe, "-") is read into memory by read_input. No
// padding follows the data: for readers that never look past `size`.
class MappedInput {
  public:
    MappedInput() = default;
    MappedInput(const MappedInput&) = delete;
    MappedInput& operator=(const MappedInput&) = delete;
    ~MappedInput();
    bool open(const std::string& path, std::string& why);
    const uint8_t* data = nullptr;
    std::size_t size = 0;

  private:
    std::vector<uint8_t> copy_;
    void* map_ = nullptr;
};

enum class Y4mStatus { kOk, kDamaged, kUnsupported };

// Reads the stream held in `d`; the frames point into it. 8-bit 4:2:0 (C420jpeg, C420mpeg2,
// C420paldv, C420 or no C tag), 4:1:1, 4:2:2, 4:4:4 and mono are understood; any other colour
// space (more than 8 bits, alpha) is kUnsupported with "colour space C…" in `why`. A damaged
// header or frame marker is kDamaged. Each program then refuses what it does not take.
Y4mStatus parse_y4m(const std::vector<uint8_t>& d, Y4mInput& y, std::string& why);

}  // namespace opxcli
