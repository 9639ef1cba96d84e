// Read-only data of the denoisers.
#include "vpp/denoise.hpp"

namespace opx::vpp {

// 65536 / n rounded, 65535 for n = 1 (16 bits); n·T[n] is 65535 for n = 1, 3, 5 and 65534 for
// n = 7, so a flat patch of that many averaged samples comes out one lower.
extern const Opx16u kSmoothReciprocal[10] = {0,     65535, 32768, 21845, 16384,
                                             13107, 10923, 9362,  8192,  7282};

}  // namespace opx::vpp
