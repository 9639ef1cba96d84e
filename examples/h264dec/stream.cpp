// The Annex B byte-stream splitter.
#include <cstdio>
#include <cstring>
#include <string>

#include "decoder.hpp"

namespace h264dec {

// Splits an Annex B byte stream at its start codes and feeds the NAL units.
long decode_stream(Decoder& d, const uint8_t* data, size_t size) {
    size_t i = 0;
    // the first 00 00 01 at or after `from`: a search for its 01, then a look back
    auto find_start = [&](size_t from) -> size_t {
        for (size_t k = from + 2; k < size;) {
            const void* hit = std::memchr(data + k, 1, size - k);
            if (!hit) break;
            k = size_t(static_cast<const uint8_t*>(hit) - data);
            if (data[k - 1] == 0 && data[k - 2] == 0) return k - 2;
            k += 3;  // a later 01 needs two zero bytes after this one
        }
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
    std::string why;
    return opxcli::read_input(path, data, why);
}

}  // namespace h264dec
