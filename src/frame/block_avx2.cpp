#include <immintrin.h>

#include "frame/block.hpp"

namespace opx::frame::avx2 {
namespace {

// Rows are moved with one 64-bit or 128-bit load and store each.
template <int W, int H>
void copy(const Opx8u* src, std::int32_t src_step, Opx8u* dst, std::int32_t dst_step) noexcept {
    static_assert(W == 8 || W == 16);
    for (int y = 0; y < H; ++y) {
        if constexpr (W == 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst),
                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
        }
        src += src_step;
        dst += dst_step;
    }
}

}  // namespace

extern const BlockKernels kBlock = {
    {copy<8, 8>, copy<16, 16>},
};

}  // namespace opx::frame::avx2
