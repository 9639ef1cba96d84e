// AVX2 build of the CAVLC kernels (placeholder: the portable bodies until the optimised ones land).
#include "h264/decode/cavlc.hpp"

namespace opx::h264::avx2 {
extern const CavlcKernels kCavlc = ref::kCavlc;
}
