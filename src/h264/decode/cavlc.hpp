// H.264 CAVLC residual decoding (clause 9.2) and Exp-Golomb codes (clause 9.1): the kernel
// signatures, the description of one block and the kernel table of the family.
//
// A kernel does all the work of one exported function after its argument checks, cursor
// write-back included (the rules on where the cursor stands after each kind of failure belong to
// the decoding). The portable kernels (cavlc_ref.cpp) follow the clauses step by step; the AVX2
// build (cavlc_avx2.cpp) decodes the same syntax with table-driven levels and BMI/LZCNT bit
// handling, and the tests run both on the same streams.
#pragma once

#include <cstdint>

#include "opxvc.h"

namespace opx::h264 {

// Block shapes: where levels go and which total_zeros table serves them.
enum class CavlcShape {
    k4x4,    // 16 raster coefficients through the scan matrix; positions start..15
    kRange,  // 16 raster coefficients through the scan matrix; positions start..end, remapped
    kDc2x2,  // 4:2:0 chroma DC, 4 coefficients
    kDc2x4,  // 4:2:2 chroma DC, 8 coefficients
};

// One call's arguments after the checks. `coeff_token` holds the three nC-class tables (4×4
// shapes) or, in entry 0, the one chroma DC table. Table pointers are checked when used.
struct CavlcBlock {
    Opx32u** stream;
    Opx32s* offset;  // 0..31
    Opx16s* num_coeff;
    int nc;          // uVLCSelect, >= 0 (4×4 shapes)
    int start, end;  // first and last scan position (4×4 shapes; chroma DC: 0 and 3 or 7)
    const Opx32s* const* coeff_token;
    const Opx32s* const* total_zeros;
    const Opx32s* const* run_before;
    const Opx32s* scan;  // 4×4 shapes
};

template <class T>
using CavlcFn = OpxResult (*)(const CavlcBlock& b, T** dst) noexcept;
template <class T>
using ExpGolombFn = OpxResult (*)(Opx32u** stream, Opx32s* offset, T* dst, bool is_signed) noexcept;

// The exported 4×4 forms' own arguments, checked: their entry points jump to such a kernel
// without building a CavlcBlock (start = 16 - coeff_limit, end 15).
template <class T>
using CavlcLumaFn = OpxResult (*)(Opx32u** stream, Opx32s* offset, Opx16s* num_coeff, T** dst,
                                  Opx32s nc, Opx16s coeff_limit, const Opx32s** coeff_token,
                                  const Opx32s** total_zeros, const Opx32s** run_before,
                                  const Opx32s* scan) noexcept;

// A CavlcLumaFn made of a block kernel, which the compiler can inline into it.
template <class T, OpxResult (*Kernel)(const CavlcBlock&, T**) noexcept>
OpxResult luma_entry(Opx32u** stream, Opx32s* offset, Opx16s* num_coeff, T** dst, Opx32s nc,
                     Opx16s coeff_limit, const Opx32s** coeff_token, const Opx32s** total_zeros,
                     const Opx32s** run_before, const Opx32s* scan) noexcept {
    const CavlcBlock b{stream, offset,      num_coeff,   nc,         16 - coeff_limit,
                       15,     coeff_token, total_zeros, run_before, scan};
    return Kernel(b, dst);
}

struct CavlcKernels {
    CavlcFn<Opx16s> luma_16s;   // k4x4
    CavlcFn<Opx32s> luma_32s;   // k4x4, levels at full precision
    CavlcFn<Opx16s> range_16s;  // kRange
    CavlcFn<Opx16s> dc2x2_16s;  // kDc2x2 with the table-free shortcut; dst may be null
    CavlcFn<Opx32s> dc2x2_32s;  // kDc2x2
    CavlcFn<Opx16s> dc2x4_16s;  // kDc2x4
    CavlcFn<Opx32s> dc2x4_32s;  // kDc2x4
    ExpGolombFn<Opx16s> exp_golomb_16s;
    ExpGolombFn<Opx32s> exp_golomb_32s;
    CavlcLumaFn<Opx16s> luma_entry_16s;  // luma_16s for the exported name
    CavlcLumaFn<Opx32s> luma_entry_32s;  // luma_32s for the exported name
};

namespace ref {
extern const CavlcKernels kCavlc;
}
namespace avx2 {
extern const CavlcKernels kCavlc;
}

// ---- read-only data (cavlc_tables.cpp) ---------------------------------------------------------

struct TokenPair {
    std::uint8_t total_coeff, trailing_ones;
};

// The 62 (TotalCoeff, TrailingOnes) pairs of each coeff_token class of Table 9-5 (0 <= nC < 2,
// 2 <= nC < 4, 4 <= nC < 8), ordered by increasing code length and, within a length, decreasing
// code value: the order in which the range form remaps pairs. `rank` is the position of each
// pair in that order, [class][TotalCoeff 0..16][TrailingOnes 0..3], -1 for no pair.
struct CoeffTokenOrder {
    TokenPair order[3][62];
    std::int8_t rank[3][17][4];
};
extern const CoeffTokenOrder kCoeffTokenOrder;

// Raster index of the k-th coefficient of a 4:2:2 chroma DC block (2 columns by 4 rows).
extern const std::uint8_t kChroma422DcRaster[8];

// suffixLength grows when a level's magnitude exceeds kLevelThreshold[suffixLength] (0..5).
extern const std::uint8_t kLevelThreshold[6];

// nC class of a coeff_token table (uVLCSelect 0..7), and the class whose order serves nC >= 8.
inline int coeff_token_class(int nc) noexcept {
    return nc < 2 ? 0 : nc < 4 ? 1 : 2;
}

// Number of coefficients a block of shape S writes.
template <CavlcShape S>
inline constexpr int kCavlcBlockLength = S == CavlcShape::kDc2x2   ? 4
                                         : S == CavlcShape::kDc2x4 ? 8
                                                                   : 16;

// Entry of the total_zeros table array (tzVlcIndex) for TotalCoeff tc of a block of `capacity`
// coefficients: tc itself, except in the range form below 15 coefficients, whose caller passes
// the 2x2 chroma DC tables (capacity 1..4), the 4:2:2 chroma DC tables (5..8) or the 4x4 tables
// (9..14), indexed by tc shifted to match and capped at the last table.
template <CavlcShape S>
inline int total_zeros_index(int tc, int capacity) noexcept {
    if (S != CavlcShape::kRange || capacity >= 15) return tc;
    const int m = capacity;
    const int index = m < 5 ? tc - m + 4 : m <= 8 ? tc - m + 8 : tc - m + 16;
    const int top = m < 5 ? 3 : m <= 8 ? 7 : 15;
    return index > top ? top : index;
}

// The range form's remap (for m < 16 coefficients): the pair at position k of the class order
// becomes the k-th of the pairs allowed for m coefficients. False when there is none.
bool remap_coeff_token(int cls, int m, int& tc, int& t1) noexcept;

}  // namespace opx::h264
