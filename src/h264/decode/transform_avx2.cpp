// AVX2 H.264 inverse transforms and dequantisation.
#include <immintrin.h>

#include "h264/decode/transform.hpp"

namespace opx::h264::avx2 {
namespace {

// Kernels without a vector form yet call the portable one.
template <class F, F TransformKernels::*M>
struct Portable;
template <class... A, void (*TransformKernels::*M)(A...) noexcept>
struct Portable<void (*)(A...) noexcept, M> {
    static void call(A... a) noexcept { (ref::kTransform.*M)(a...); }
};
#define OPX_PORTABLE(m) Portable<decltype(TransformKernels::m), &TransformKernels::m>::call

}  // namespace

extern const TransformKernels kTransform = {
    OPX_PORTABLE(add4x4_flat),
    OPX_PORTABLE(add4x4_matrix),
    OPX_PORTABLE(add4x4_matrix_high),
    OPX_PORTABLE(dequant_residual4x4_flat),
    OPX_PORTABLE(sisp4x4),
    OPX_PORTABLE(sisp_chroma_dc),
    OPX_PORTABLE(luma_dc_flat),
    OPX_PORTABLE(chroma_dc_flat),
    OPX_PORTABLE(luma_dc_matrix),
    OPX_PORTABLE(luma_dc_matrix_high),
    OPX_PORTABLE(chroma_dc2x2_matrix),
    OPX_PORTABLE(chroma_dc2x2_matrix_high),
    OPX_PORTABLE(chroma_dc2x4_matrix),
    OPX_PORTABLE(chroma_dc2x4_matrix_high),
    OPX_PORTABLE(residual4x4),
    OPX_PORTABLE(residual4x4_high),
    OPX_PORTABLE(dequant8x8),
    OPX_PORTABLE(dequant8x8_high),
    OPX_PORTABLE(add8x8),
    OPX_PORTABLE(add8x8_high),
};

}  // namespace opx::h264::avx2
