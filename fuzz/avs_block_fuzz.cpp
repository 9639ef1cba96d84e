// AVS block decoders under libFuzzer. Input: byte 0 picks the decoder (intra luma, inter luma,
// chroma), bytes 1..4 the scan type (any 32-bit value); the rest is the stream, grouped into
// words with the first byte most significant. The words are followed by two zero words and
// nothing else: that is the read-ahead a valid call needs (the bits of a code end at most in the
// first, and a run of more than 24 zeros is refused before the reader leaves the second), so
// AddressSanitizer sees any read beyond. Blocks are written into an exact-size heap buffer.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "opxvc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const int kind = data[0] % 3;
    Opx32s scan;
    std::memcpy(&scan, data + 1, 4);
    data += 5;
    size -= 5;
    const std::size_t words = (size + 3) / 4;
    std::unique_ptr<Opx32u[]> stream(new Opx32u[words + 2]());
    for (std::size_t i = 0; i < size; ++i) stream[i / 4] |= Opx32u{data[i]} << (24 - 8 * (i % 4));
    std::unique_ptr<Opx16s[]> block(new Opx16s[64]);
    Opx32u* p = stream.get();
    Opx32s off = 31;
    for (int b = 0; b < 64 && p < stream.get() + words; ++b) {
        Opx32u* const p0 = p;
        const Opx32s off0 = off;
        Opx32s num = -1;
        OpxResult r;
        switch (kind) {
            case 0:
                r = opxiDecodeLumaBlockIntra_AVS_1u16s(&p, &off, &num, block.get(), scan);
                break;
            case 1:
                r = opxiDecodeLumaBlockInter_AVS_1u16s(&p, &off, &num, block.get(), scan);
                break;
            default:
                r = opxiDecodeChromaBlock_AVS_1u16s(&p, &off, &num, block.get(), scan);
                break;
        }
        if (r != opxOk) {
            if (r != opxErrH264VlcCode || p != p0 || off != off0) __builtin_trap();
            break;
        }
        if (num < 0 || num > 64 || (scan != 0 && num != 63) || off < 0 || off > 31)
            __builtin_trap();
    }
    return 0;
}
