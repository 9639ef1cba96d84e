#include <cstring>

#include "frame/block.hpp"

namespace opx::frame::ref {
namespace {

template <int W, int H>
void copy(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    for (int y = 0; y < H; ++y) std::memcpy(dst + y * dst_step, src + y * src_step, W);
}

}  // namespace

extern const BlockKernels kBlock = {
    {copy<8, 8>, copy<16, 16>},
};

}  // namespace opx::frame::ref
