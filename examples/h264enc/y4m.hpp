// YUV4MPEG2 input of opxvc-h264enc: the header's format and the frames' plane data, with the
// inputs the encoder does not take (other than 8-bit 4:2:0, interlaced, odd sizes) told apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output.hpp"

namespace h264enc {

struct Y4m {
    opxcli::PictureFormat fmt;
    std::vector<const uint8_t*> frames;  // first byte of each whole frame's Y plane
    bool truncated = false;              // a last frame is incomplete
};

enum class Parse { kOk, kDamaged, kUnsupported };

// Reads the stream held in `d` (the frames point into it); `why` says what is wrong otherwise.
Parse parse_y4m(const std::vector<uint8_t>& d, Y4m& y, std::string& why);

}  // namespace h264enc
