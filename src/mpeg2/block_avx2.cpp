// AVX2 build of the MPEG-1/2 block decoders: the same loop body as the portable build (the
// decoding is a chain of dependent table loads that vectors do not shorten), compiled with BMI2
// shifts and 256-bit clears and parity sums.
#include "mpeg2/block_decode.hpp"

namespace opx::mpeg2::avx2 {

const BlockKernels kBlock = {{
    {decode_block<kMpeg1, false>, decode_block<kMpeg1, true>},
    {decode_block<kMpeg2, false>, decode_block<kMpeg2, true>},
}};

}  // namespace opx::mpeg2::avx2
