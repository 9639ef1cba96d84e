// Portable build of the MPEG-1/2 block decoders.
#include "mpeg2/block_decode.hpp"

namespace opx::mpeg2::ref {

const BlockKernels kBlock = {{
    {decode_block<kMpeg1, false>, decode_block<kMpeg1, true>},
    {decode_block<kMpeg2, false>, decode_block<kMpeg2, true>},
}};

}  // namespace opx::mpeg2::ref
