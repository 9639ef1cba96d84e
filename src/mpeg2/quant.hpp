// MPEG-2 quantisation, scans and zero counting on 8×8 blocks of Opx16s in raster order: kernel
// signatures and the kernel table of the family.
//
// Contract of every kernel: arguments already checked (pointers valid, quantiser scale not 0 for
// the forward quantisers, count 1..64, last index 0..63); reads and writes exactly the 64
// coefficients of the block (and the 64 entries of a weight table); results exact.
//
// Forward quantisers (the encoder's choice; single precision, products only, none fused):
//   level = clamp(trunc((c × (16 / scale)) × R[i]), −2047, 2047), each product rounded to float;
//   the clamp is applied in float before the conversion, and a NaN gives 0.
// The flat non-intra path (no table) uses the 16.16 reciprocal Q = (scale / 2 + 65536) / scale:
//   level = sign(c) × min((|c| × Q) >> 16, 2047); scales below 2 quantise by 1.
// Inverse quantisers, H.262 clause 7.4.2 computed exactly (no 16-bit wrap anywhere):
//   intra AC   F = (2 × c × W × scale) / 32,
//   non-intra  F = ((2c + sign c) × W × scale) / 32,
//   truncated toward zero, saturated to −2048..2047; the intra DC is passed through; then
//   mismatch control (clause 7.4.4): when the sum of the 64 values is even, bit 0 of F[63] flips.
#pragma once

#include <cstdint>

#include "mpeg2/mpeg2_tables.hpp"
#include "opxvc.h"

namespace opx::mpeg2 {

// Forward quantisers; return the number of nonzero levels (intra: among positions 1..63).
// `inv` is the reciprocal weight table (the default intra one when the caller passes none).
using QuantTableFn = int (*)(Opx16s* block, std::int32_t scale, const float* inv) noexcept;
// Flat non-intra quantiser (no table): any scale but 0.
using QuantFlatFn = int (*)(Opx16s* block, std::int32_t scale) noexcept;
// Inverse quantisers with a weight table, any scale and weights.
using QuantInvFn = void (*)(Opx16s* block, std::int32_t scale, const Opx16s* weights) noexcept;
// Inverse non-intra quantiser with flat weights (16).
using QuantInvFlatFn = void (*)(Opx16s* block, std::int32_t scale) noexcept;
// Scans; `src` and `dst` may be the same block. Forward: count 1..64; inverse: last 0..63.
using ScanFn = void (*)(const Opx16s* src, Opx16s* dst, int n) noexcept;
using CountZerosFn = std::uint32_t (*)(const Opx16s* block) noexcept;

struct QuantKernels {
    QuantTableFn quant_intra;
    QuantTableFn quant_table;
    QuantFlatFn quant_flat;
    QuantInvFn inv_intra;
    QuantInvFn inv_table;
    QuantInvFlatFn inv_flat;
    ScanFn scan_fwd[kNumScans];
    ScanFn scan_inv[kNumScans];
    CountZerosFn count_zeros;
};

namespace ref {
extern const QuantKernels kQuant;
}
namespace avx2 {
extern const QuantKernels kQuant;
}

}  // namespace opx::mpeg2
