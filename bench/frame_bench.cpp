#include "bench.hpp"
#include "frame/block.hpp"
#include "opxvc.h"

namespace {
alignas(64) Opx8u g_src[64 * 64];
alignas(64) Opx8u g_dst[64 * 64];
}  // namespace

OPX_BENCH_CASES(frame_copy) {
    using namespace opx::frame;
    opx::bench::add(
        "opxiCopy16x16_8u_C1R", "16x16", [] { opxiCopy16x16_8u_C1R(g_src + 1, 64, g_dst, 64); },
        [] { ref::kBlock.copy[kCopy16x16](g_src + 1, 64, g_dst, 64); });
    opx::bench::add(
        "opxiCopy8x8_8u_C1R", "8x8", [] { opxiCopy8x8_8u_C1R(g_src + 1, 64, g_dst, 64); },
        [] { ref::kBlock.copy[kCopy8x8](g_src + 1, 64, g_dst, 64); });
}
