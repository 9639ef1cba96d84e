// MPEG program streams (ISO/IEC 13818-1 clause 2.5, ISO/IEC 11172-1 clause 2.4): the payloads
// of the first video stream's PES packets, concatenated, are the elementary stream.
#include <algorithm>

#include "m2vdec.hpp"

namespace m2vdec {

bool demux_program_stream(const uint8_t* d, size_t n, std::vector<uint8_t>& es) {
    if (n < 4 || d[0] || d[1] || d[2] != 1 || d[3] != 0xBA) return false;
    es.clear();
    int video_id = -1;
    size_t i = 0;
    while (i + 4 <= n) {
        if (d[i] || d[i + 1] || d[i + 2] != 1) {  // resynchronise on the next start code
            ++i;
            continue;
        }
        const int id = d[i + 3];
        if (id == 0xB9) break;  // MPEG_program_end_code
        if (id == 0xBA) {       // pack header: MPEG-2 ('01') 10 bytes + stuffing, MPEG-1 8 bytes
            if (i + 5 > n) break;
            if ((d[i + 4] & 0xC0) == 0x40) {
                if (i + 14 > n) break;
                i += 14 + (d[i + 13] & 7);
            } else {
                i += 12;
            }
            continue;
        }
        if (id < 0xBB || i + 6 > n) {  // not a system start code: skip it
            i += 4;
            continue;
        }
        const size_t length = size_t(d[i + 4]) << 8 | d[i + 5];
        const size_t begin = i + 6, end = std::min(n, begin + length);
        i = begin + length;
        if (id < 0xE0 || id > 0xEF) continue;  // system header, audio, padding, private, ...
        if (video_id < 0) video_id = id;
        if (id != video_id) continue;
        size_t p = begin;
        if (p < end && (d[p] & 0xC0) == 0x80) {  // MPEG-2 PES header
            if (p + 3 > end) continue;
            p += 3 + d[p + 2];
        } else {  // MPEG-1: stuffing, STD buffer, time stamps
            while (p < end && d[p] == 0xFF) ++p;
            if (p < end && (d[p] & 0xC0) == 0x40) p += 2;
            if (p < end && (d[p] & 0xF0) == 0x20) p += 5;
            else if (p < end && (d[p] & 0xF0) == 0x30) p += 10;
            else if (p < end && d[p] == 0x0F) p += 1;
        }
        if (p < end) es.insert(es.end(), d + p, d + end);
    }
    return true;
}

}  // namespace m2vdec
