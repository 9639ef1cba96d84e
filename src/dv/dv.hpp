// DV segment decoding and inverse quantisation: segment geometry, the variable-length code of
// IEC 61834-2, kernel signatures and the kernel table of the family.
//
// A segment is five compressed macroblocks of 80 bytes. A macroblock is a 4-byte header (byte 3,
// low 4 bits: QNO) followed by its block areas; an area starts with the 9-bit DC, the DCT mode bit
// and the 2-bit class, then the AC codes. Blocks whose codes overflow their area continue in the
// spare bits of their macroblock, then in those of the whole segment (IEC 61834-2 clause on the
// arrangement of compressed data in a video segment).
//
// Contract of every segment kernel: pointers valid; reads the 400 bytes of the segment and nothing
// else; writes coefficient 0 of every block, the coefficient of every decoded code, and every
// information word; nothing else of the output blocks.
#pragma once

#include <array>
#include <cstdint>

#include "opxvc.h"

namespace opx::dv {

inline constexpr int kSegmentBytes = 400;
inline constexpr int kSegmentBits = kSegmentBytes * 8;
inline constexpr int kMacroblocks = 5;
inline constexpr int kMacroblockBytes = 80;
inline constexpr int kMaxAreas = 8;      // per macroblock
inline constexpr int kHeaderBits = 12;   // DC (9), mode (1), class (2)
inline constexpr int kMaxCodeBits = 16;  // the longest code: 1111111, amplitude, sign

// Where a macroblock's block areas lie: byte offsets within the macroblock and lengths.
struct AreaLayout {
    int count;
    std::uint8_t offset[kMaxAreas];
    std::uint8_t bytes[kMaxAreas];
};

// DV (IEC 61834-2, SMPTE 314M): four luminance areas of 14 bytes, two chrominance areas of 10.
inline constexpr AreaLayout kLayoutDv{6, {4, 18, 32, 46, 60, 70}, {14, 14, 14, 14, 10, 10}};
// DV100 (SMPTE 370M): six areas of 10 bytes, two of 8.
inline constexpr AreaLayout kLayoutDv100{
    8, {4, 14, 24, 34, 44, 54, 64, 72}, {10, 10, 10, 10, 10, 10, 8, 8}};

// ---- the variable-length code (dv_tables.cpp) ------------------------------------------------

// What a code word stands for.
enum class CodeKind : std::uint8_t {
    kSigned,     // (run, amplitude >= 1), a sign bit follows the code word (1: negative)
    kZeroRun,    // (run, 0), no sign bit
    kEob,        // end of block
    kRunEscape,  // prefix 1111110: a 6-bit run follows, amplitude 0, no sign bit
    kAmpEscape,  // prefix 1111111: an 8-bit amplitude and a sign bit follow, run 0
};

// One row of the code table: the code word right-aligned in `bits`, its length without the sign
// bit or the escape fields.
struct Code {
    std::uint16_t bits;
    std::uint8_t length;
    std::uint8_t run;
    std::uint8_t amp;
    CodeKind kind;
};

// The code table of IEC 61834-2 in order of code length, then code word.
extern const Code kCodes[];
extern const int kNumCodes;

// Scan orders (scan position -> raster index): 8-8 DCT zigzag and 2-4-8 DCT (pairs of the two
// field halves, raster index k of the first field half then k + 32).
extern const std::uint8_t kScan88[64];
extern const std::uint8_t kScan248[64];

// Decoding look-up of the fast kernels (built from kCodes at compile time). An entry tells, for the
// next bits of the stream, the total bits of the code (sign and fields included), the run, the
// amplitude and the kind. kFirst is indexed by the next 9 bits; prefixes 1111 0xxxx .. 1111 110xx
// (other than 11110xxxx, whose word the 9 bits hold) refer to kLong, indexed by the 9 bits after
// the 1111; 1111111xx is the amplitude escape.
struct Lookup {
    std::uint8_t bits;  // code bits in all; 0 in kFirst for a prefix resolved further
    std::uint8_t run;
    std::uint8_t amp;
    CodeKind kind;
};
extern const std::array<Lookup, 512> kFirst;
extern const std::array<Lookup, 512> kLong;

// One look-up for the codes that end, sign bit included, within the next 11 bits: bits 0 for a
// window whose code is longer (or an escape), run 255 for EOB.
struct Short {
    std::int16_t value;  // signed amplitude
    std::uint8_t bits;   // code bits in all
    std::uint8_t run;
};
inline constexpr int kShortBits = 11;
extern const std::array<Short, 1 << kShortBits> kShort;

// ---- kernels ---------------------------------------------------------------------------------

// Decodes one segment of `layout.count` areas per macroblock into 5 * layout.count blocks.
// `limit` (1..64) is the number of scan positions a block may fill (64: whole blocks); with
// `redistribute` false only the first pass runs (each block within its own area).
using SegmentFn = void (*)(const Opx8u* segment, const AreaLayout& layout, int limit,
                           bool redistribute, Opx16s* blocks, Opx32u* info) noexcept;

// F = hi16(c * d) << 2 (low 16 bits kept), 64 coefficients.
using QuantInvFn = void (*)(Opx16s* coefs, const Opx16s* dequant) noexcept;
// t = low16((c >> 3) * q), F = hi16(t * w).
using QuantWeightFn = void (*)(Opx16s* coefs, const Opx16u* quant, const Opx16s* weight) noexcept;
// t = low16((c >> 6) * scale), F = sat16((t * w) >> 5); F[0] = c[0] >> 5.
using QuantWeight100Fn = void (*)(Opx16s* coefs, const Opx16s* weight, Opx16u scale) noexcept;

struct DvKernels {
    SegmentFn segment;
    QuantInvFn quant_inv;
    QuantWeightFn quant_weight;
    QuantWeight100Fn quant_weight100;
};

namespace ref {
extern const DvKernels kDv;
}
namespace avx2 {
extern const DvKernels kDv;
}

// Arithmetic shift right written as a floor division, defined for negative values in every
// language version: for x < 0, ~x >= 0 and ~(~x >> s) = floor(x / 2^s).
template <class T>
constexpr T shift_right(T x, int s) noexcept {
    return x < 0 ? static_cast<T>(~(~x >> s)) : static_cast<T>(x >> s);
}

}  // namespace opx::dv
