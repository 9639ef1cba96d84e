// libFuzzer target over opxvc-dvdec's whole decoding: the input as it is through the frame probe
// (and the decoder when it holds a whole frame), then a frame of each system built from it: the
// input repeated over the whole frame, the header and VAUX DIF blocks set for the system chosen
// by the first byte, decoded with the dequantisation path chosen by the second (and --stats'
// one-pass decoding). Nothing is checked beyond the decoder staying inside its buffers.
#include <cstdint>
#include <string>
#include <vector>

#include "dvdec.hpp"

namespace {

void decode(const std::uint8_t* p, std::size_t n, dvdec::Dequant dq, bool stats) {
    dvdec::Format f;
    std::string why;
    bool unsupported = false;
    if (!dvdec::probe(p, n, f, why, unsupported) || n < f.frame_bytes) return;
    dvdec::Decoder dec(dq, stats);
    dvdec::Picture pic;
    dec.decode(p, f, pic, why);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    decode(data, size, dvdec::Dequant::kWeight, false);
    if (size < 3) return 0;
    // system: DSF, APT, STYPE (4:2:0, 525 4:1:1, 625 4:1:1, 525 and 625 4:2:2, DV100 refused)
    static const std::uint8_t kSystems[6][3] = {{1, 0, 0}, {0, 0, 0}, {1, 1, 0},
                                                {0, 1, 4}, {1, 1, 4}, {0, 0, 0x14}};
    const std::uint8_t* sys = kSystems[data[0] % 6];
    const dvdec::Dequant dq = (data[1] & 1) ? dvdec::Dequant::kTable : dvdec::Dequant::kWeight;
    const bool stats = data[1] & 2;
    const std::size_t frame = std::size_t(sys[2] == 4 ? 2 : 1) * (sys[0] ? 12 : 10) * 12000;
    std::vector<std::uint8_t> f(frame);
    for (std::size_t i = 0; i < frame; ++i) f[i] = data[2 + i % (size - 2)];
    f[0] = std::uint8_t(f[0] & 0x1F);  // header DIF block
    f[3] = std::uint8_t((f[3] & 0x7F) | (sys[0] << 7));
    f[4] = std::uint8_t((f[4] & 0xF8) | sys[1]);
    std::uint8_t* vaux = f.data() + 3 * 80;  // VAUX DIF block with a VS pack
    vaux[0] = std::uint8_t((vaux[0] & 0x1F) | 0x40);
    vaux[3] = 0x60;
    vaux[6] = std::uint8_t((vaux[6] & 0xE0) | sys[2]);
    decode(f.data(), f.size(), dq, stats);
    return 0;
}
