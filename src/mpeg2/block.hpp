// MPEG-1/2 DCT block decoding and dequantisation from a word-cursor stream: kernel signature and
// the kernel table of the family.
//
// Contract of every kernel: arguments already checked (pointers valid except a null weight table
// of the MPEG-2 non-intra decoder, which means flat weights 16; cursor position 0..31; dcShift
// 0..3). Reads the stream words the codes occupy and the word after the last bit read (the cursor
// rule of frame/bitstream.hpp), the caller's tables, pScan[i] for the positions decoded (used
// modulo 64) and the weights of the raster positions written; writes the 64 coefficients, the
// cursor, the DC predictor (intra) and the last scan position.
#pragma once

#include <cstdint>

#include "opxvc.h"

namespace opx::mpeg2 {

enum Codec { kMpeg1, kMpeg2, kNumCodecs };

struct BlockArgs {
    Opx32u** stream;
    Opx32s* offset;
    const Opx32s* dc_table;     // intra: dct_dc_size table
    const Opx32s* first_table;  // non-intra: the first code when it does not start with 1
    const Opx32s* table;        // run/level table (run 254 EOB, 255 escape)
    const Opx32s* scan;
    std::int32_t qscale;
    const Opx16s* weights;
    Opx16s* dc_pred;  // intra
    int dc_shift;     // MPEG-2 intra
    Opx16s* dst;
    Opx32s* dst_size;
};

// opxOk, or opxErrH264VlcCode for an invalid code, a dct_dc_size above 11, a first non-intra code
// that is EOB, or a scan position beyond 63.
using BlockFn = OpxResult (*)(const BlockArgs& a) noexcept;

struct BlockKernels {
    BlockFn decode[kNumCodecs][2];  // [codec][intra]
};

namespace ref {
extern const BlockKernels kBlock;
}
namespace avx2 {
extern const BlockKernels kBlock;
}

}  // namespace opx::mpeg2
