// H.264 CAVLC syntax elements of one block (H.264 clause 7.3.5.3.2): TotalCoeff, TrailingOnes
// and their signs, the remaining levels, total_zeros and run_before, in the order the standard
// codes them (highest scan position first). No bits are written.
//
// Every kernel walks the scan positions last..first of `src` through `scan` (scan position ->
// raster index, entries already checked to lie in 0..15) and writes the five facts and, for a
// block with non-zero coefficients, TotalCoeff - TrailingOnes levels and TotalCoeff - 1 runs:
//  - trailing ones: the first (up to three) coefficients met that are +-1 before any coefficient
//    of larger magnitude; their signs packed with the first met as the most significant bit
//    (1 = negative);
//  - levels: the other non-zero coefficients, in the order met;
//  - runs[i]: the zeros between the i-th coefficient met and the next one (the lowest-frequency
//    coefficient's run is implied by total_zeros);
//  - total_zeros: the zeros below the highest non-zero coefficient, down to `first`; an empty
//    block reports last - first + 1 and writes neither levels nor runs.
#pragma once

#include <cstdint>

#include "frame/check.hpp"
#include "opxvc.h"

#pragma GCC visibility push(hidden)

namespace opx::h264::enc {

struct CavlcFacts {
    Opx8u trailing_ones, signs, total_coeff, total_zeros;
};

// The block kernels check the scan first: when an entry of scan positions first..last names no
// raster position 0..15 they write nothing and fail (block_high: returns kBadScan, a
// total_coeff no block has); the entries outside first..last are read but not judged.
inline constexpr CavlcFacts kBadScan = {0, 0, 255, 0};

// The facts of a 16-bit block kernel stored through the exported function's pointers.
inline OpxResult store_facts(CavlcFacts f, Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff,
                             Opx8u* total_zeros) noexcept {
    if (f.total_coeff == kBadScan.total_coeff) return opxErrOutOfRange;
    *trailing_ones = f.trailing_ones;
    *signs = f.signs;
    *total_coeff = f.total_coeff;
    *total_zeros = f.total_zeros;
    return opxOk;
}

// The 16-bit block kernel takes opxiEncodeCoeffsCAVLC_H264_16s's arguments as they come, makes
// all its checks (check_block16, then the scan: opxErrOutOfRange, nothing written) and stores the
// facts itself, so that the entry point is one jump: the checks then load the pointers passed on
// the stack once, where a checking entry point and the kernel would each load them (a fifth of
// the instructions of a call).
// opxiEncodeCoeffsCAVLC_H264_16s's checks but the scan's, in its order: a pointer null, then
// lastPos above 15 or below firstPos (firstPos, unsigned, cannot be below 0).
inline OpxResult check_block16(const Opx16s* src, Opx8u first, const Opx32s* scan, Opx8u last,
                               Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff,
                               Opx8u* total_zeros, Opx16s* levels, Opx8u* runs) noexcept {
    if (::opx::any_null(src, scan, trailing_ones, signs, total_coeff, total_zeros, levels, runs))
        return opxErrNullPtr;
    if (last > 15 || last < first) return opxErrOutOfRange;
    return opxOk;
}

using CavlcEncFn = OpxResult (*)(const Opx16s* src, Opx8u first, const Opx32s* scan, Opx8u last,
                                 Opx8u* trailing_ones, Opx8u* signs, Opx8u* total_coeff,
                                 Opx8u* total_zeros, Opx16s* levels, Opx8u* runs) noexcept;
using CavlcEncHighFn = CavlcFacts (*)(const Opx32s* src, const Opx32s* scan, int first, int last,
                                      Opx32s* levels, Opx8u* runs) noexcept;
// Chroma DC: 2x2 (scan 0, 1, 2, 3) or 2x4 (the 4:2:2 chroma DC scan 0, 2, 1, 4, 6, 3, 5, 7, so
// raster index 7 is met first and 0 last).
// The 16-bit ones take the exported functions' arguments and store the facts, as CavlcEncFn.
using CavlcDcFn = OpxResult (*)(const Opx16s* src, Opx8u* trailing_ones, Opx8u* signs,
                                Opx8u* total_coeff, Opx8u* total_zeros, Opx16s* levels,
                                Opx8u* runs) noexcept;
using CavlcDcHighFn = CavlcFacts (*)(const Opx32s* src, Opx32s* levels, Opx8u* runs) noexcept;

struct CavlcEncKernels {
    CavlcEncFn block;
    CavlcEncHighFn block_high;
    CavlcDcFn dc2x2;
    CavlcDcHighFn dc2x2_high;
    CavlcDcFn dc2x4;
    CavlcDcHighFn dc2x4_high;
};

// The 4:2:2 chroma DC scan (H.264 clause 8.5.11.1): scan position -> raster index.
inline constexpr Opx32s kChromaDc2x4Scan[8] = {0, 2, 1, 4, 6, 3, 5, 7};
inline constexpr Opx32s kChromaDc2x2Scan[4] = {0, 1, 2, 3};

namespace ref {
extern const CavlcEncKernels kCavlcEnc;
// The chroma DC kernels, which the AVX2 table shares (instantiated by the portable table).
template <class T>
CavlcFacts dc2x2(const T* src, T* levels, Opx8u* runs) noexcept;
template <class T>
CavlcFacts dc2x4(const T* src, T* levels, Opx8u* runs) noexcept;
OpxResult dc2x2_16s(const Opx16s*, Opx8u*, Opx8u*, Opx8u*, Opx8u*, Opx16s*, Opx8u*) noexcept;
OpxResult dc2x4_16s(const Opx16s*, Opx8u*, Opx8u*, Opx8u*, Opx8u*, Opx16s*, Opx8u*) noexcept;
}  // namespace ref
namespace avx2 {
extern const CavlcEncKernels kCavlcEnc;
}

}  // namespace opx::h264::enc

#pragma GCC visibility pop
