// MPEG-4 quarter-sample block copies and overlapped block motion compensation (OBMC): the kernel
// table.
//
// Quarter-sample copy kernels (index 0: 8x8, 1: 16x8, 2: 16x16): acc already reduced to 0..15 and
// rc to 0..1. With acc 0 they read the w x h block only; otherwise they may read columns 0..w and
// rows 0..h of the source (the filter mirrors its taps at the ends of that area and never reaches
// beyond it). They write the w x h destination block only.
//
// OBMC kernels: vectors already checked (five valid pointers: current, left, right, above, below);
// they read the reference area each vector addresses and write the 8x8 (16x16) destination only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

using QpelCopyFn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                            std::ptrdiff_t dst_step, int acc, int rc);
using ObmcFn = void (*)(const Opx8u* src, std::ptrdiff_t src_step, Opx8u* dst,
                        std::ptrdiff_t dst_step, const OpxMotionVec* const mv[5], int rc);

struct QpelKernels {
    QpelCopyFn copy[3];  // 8x8, 16x8, 16x16
    ObmcFn obmc_hp8;
    ObmcFn obmc_hp16;
    ObmcFn obmc_qp8;
};

namespace ref {
extern const QpelKernels kQpel;
}
namespace avx2 {
extern const QpelKernels kQpel;
}

}  // namespace opx::mpeg4
