// Read-only tables of the DV family: the AC code of IEC 61834-2, the two scan orders, and the
// decoding look-up derived from the code at compile time.
#include <array>

#include "dv/dv.hpp"

namespace opx::dv {

namespace {
constexpr CodeKind S = CodeKind::kSigned;
constexpr CodeKind Z = CodeKind::kZeroRun;
}  // namespace

// IEC 61834-2, variable-length code of the AC coefficients: (run, amplitude) against the code
// word, by code length. Code words of kSigned rows are followed by the sign bit; (run, 0) rows
// carry none. The two 7-bit escapes close the table: 1111110 + run (6 bits) codes (run, 0) for any
// run; 1111111 + amplitude (8 bits) + sign codes (0, amplitude) for any amplitude.
constexpr Code kCodes[] = {
    // length 2..4
    {0b00, 2, 0, 1, S},
    {0b010, 3, 0, 2, S},
    {0b0110, 4, 0, 0, CodeKind::kEob},
    {0b0111, 4, 1, 1, S},
    {0b1000, 4, 0, 3, S},
    {0b1001, 4, 0, 4, S},
    // length 5
    {0b10100, 5, 2, 1, S},
    {0b10101, 5, 1, 2, S},
    {0b10110, 5, 0, 5, S},
    {0b10111, 5, 0, 6, S},
    // length 6
    {0b110000, 6, 3, 1, S},
    {0b110001, 6, 4, 1, S},
    {0b110010, 6, 0, 7, S},
    {0b110011, 6, 0, 8, S},
    // length 7
    {0b1101000, 7, 5, 1, S},
    {0b1101001, 7, 6, 1, S},
    {0b1101010, 7, 2, 2, S},
    {0b1101011, 7, 1, 3, S},
    {0b1101100, 7, 1, 4, S},
    {0b1101101, 7, 0, 9, S},
    {0b1101110, 7, 0, 10, S},
    {0b1101111, 7, 0, 11, S},
    // length 8
    {0b11100000, 8, 7, 1, S},
    {0b11100001, 8, 8, 1, S},
    {0b11100010, 8, 9, 1, S},
    {0b11100011, 8, 10, 1, S},
    {0b11100100, 8, 3, 2, S},
    {0b11100101, 8, 4, 2, S},
    {0b11100110, 8, 2, 3, S},
    {0b11100111, 8, 1, 5, S},
    {0b11101000, 8, 1, 6, S},
    {0b11101001, 8, 1, 7, S},
    {0b11101010, 8, 0, 12, S},
    {0b11101011, 8, 0, 13, S},
    {0b11101100, 8, 0, 14, S},
    {0b11101101, 8, 0, 15, S},
    {0b11101110, 8, 0, 16, S},
    {0b11101111, 8, 0, 17, S},
    // length 9
    {0b111100000, 9, 11, 1, S},
    {0b111100001, 9, 12, 1, S},
    {0b111100010, 9, 13, 1, S},
    {0b111100011, 9, 14, 1, S},
    {0b111100100, 9, 5, 2, S},
    {0b111100101, 9, 6, 2, S},
    {0b111100110, 9, 3, 3, S},
    {0b111100111, 9, 4, 3, S},
    {0b111101000, 9, 2, 4, S},
    {0b111101001, 9, 2, 5, S},
    {0b111101010, 9, 1, 8, S},
    {0b111101011, 9, 0, 18, S},
    {0b111101100, 9, 0, 19, S},
    {0b111101101, 9, 0, 20, S},
    {0b111101110, 9, 0, 21, S},
    {0b111101111, 9, 0, 22, S},
    // length 10
    {0b1111100000, 10, 5, 3, S},
    {0b1111100001, 10, 3, 4, S},
    {0b1111100010, 10, 3, 5, S},
    {0b1111100011, 10, 2, 6, S},
    {0b1111100100, 10, 1, 9, S},
    {0b1111100101, 10, 1, 10, S},
    {0b1111100110, 10, 1, 11, S},
    // length 11
    {0b11111001110, 11, 0, 0, Z},
    {0b11111001111, 11, 1, 0, Z},
    {0b11111010000, 11, 6, 3, S},
    {0b11111010001, 11, 4, 4, S},
    {0b11111010010, 11, 3, 6, S},
    {0b11111010011, 11, 1, 12, S},
    {0b11111010100, 11, 1, 13, S},
    {0b11111010101, 11, 1, 14, S},
    // length 12
    {0b111110101100, 12, 2, 0, Z},
    {0b111110101101, 12, 3, 0, Z},
    {0b111110101110, 12, 4, 0, Z},
    {0b111110101111, 12, 5, 0, Z},
    {0b111110110000, 12, 7, 2, S},
    {0b111110110001, 12, 8, 2, S},
    {0b111110110010, 12, 9, 2, S},
    {0b111110110011, 12, 10, 2, S},
    {0b111110110100, 12, 7, 3, S},
    {0b111110110101, 12, 8, 3, S},
    {0b111110110110, 12, 4, 5, S},
    {0b111110110111, 12, 3, 7, S},
    {0b111110111000, 12, 2, 7, S},
    {0b111110111001, 12, 2, 8, S},
    {0b111110111010, 12, 2, 9, S},
    {0b111110111011, 12, 2, 10, S},
    {0b111110111100, 12, 2, 11, S},
    {0b111110111101, 12, 1, 15, S},
    {0b111110111110, 12, 1, 16, S},
    {0b111110111111, 12, 1, 17, S},
    // escapes
    {0b1111110, 7, 0, 0, CodeKind::kRunEscape},
    {0b1111111, 7, 0, 0, CodeKind::kAmpEscape},
};
constexpr int kNumCodes = sizeof(kCodes) / sizeof(kCodes[0]);

// 8-8 DCT: the zigzag of IEC 61834-2 (that of ISO/IEC 10918-1 and ITU-T H.262).
constexpr std::uint8_t kScan88[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

// ---- decoding look-up ---------------------------------------------------------------------------

// The entry for a window of `width` bits holding the next stream bits, from the codes whose word
// fits in the window (escapes resolved as far as the window shows them).
constexpr Lookup entry_for(std::uint32_t window, int width) {
    for (int i = 0; i < kNumCodes; ++i) {
        const Code& c = kCodes[i];
        if (c.length > width || (window >> (width - c.length)) != c.bits) continue;
        switch (c.kind) {
            case CodeKind::kSigned:
                return {static_cast<std::uint8_t>(c.length + 1), c.run, c.amp, c.kind};
            case CodeKind::kZeroRun:
            case CodeKind::kEob:
                return {c.length, c.run, 0, c.kind};
            case CodeKind::kRunEscape:
                if (width >= 13)
                    return {13, static_cast<std::uint8_t>((window >> (width - 13)) & 63), 0,
                            CodeKind::kZeroRun};
                return {0, 0, 0, c.kind};
            case CodeKind::kAmpEscape:
                return {16, 0, 0, c.kind};
        }
    }
    return {0, 0, 0, CodeKind::kSigned};  // a prefix of longer codes
}

constexpr std::array<Lookup, 512> make_first() {
    std::array<Lookup, 512> t{};
    for (std::uint32_t i = 0; i < 512; ++i) t[i] = entry_for(i, 9);
    return t;
}
constexpr std::array<Lookup, 512> make_long() {
    std::array<Lookup, 512> t{};
    for (std::uint32_t i = 0; i < 512; ++i) t[i] = entry_for((0xFu << 9) | i, 13);
    return t;
}
// Every 9-bit prefix other than 1111 xxxxx decodes directly, and every 13-bit window under 1111
// decodes (with the escapes, every bit string begins with a code word).
constexpr bool lookups_complete() {
    const std::array<Lookup, 512> kFirstArray = make_first();
    const std::array<Lookup, 512> kLongArray = make_long();
    for (int i = 0; i < 512; ++i) {
        if ((i >> 5) != 0xF && kFirstArray[i].bits == 0) return false;
        if (kLongArray[i].bits == 0) return false;
    }
    return true;
}
static_assert(lookups_complete(), "the DV code table must be complete");

constexpr std::array<Short, 1 << kShortBits> make_short() {
    std::array<Short, 1 << kShortBits> t{};
    for (std::uint32_t i = 0; i < t.size(); ++i) {
        const Lookup e = entry_for(i, kShortBits);
        if (e.bits == 0 || e.bits > kShortBits || e.kind == CodeKind::kAmpEscape) continue;
        const bool negative = e.kind == CodeKind::kSigned && ((i >> (kShortBits - e.bits)) & 1);
        t[i] = {static_cast<std::int16_t>(negative ? -int{e.amp} : int{e.amp}), e.bits,
                static_cast<std::uint8_t>(e.kind == CodeKind::kEob ? 255 : e.run)};
    }
    return t;
}

// No code word is a prefix of another, and the words fill the code space exactly (Kraft sum 1).
constexpr bool prefix_free_and_full() {
    std::uint32_t space = 0;  // in units of 2^-16
    for (int i = 0; i < kNumCodes; ++i) {
        const Code& a = kCodes[i];
        space += 1u << (16 - a.length);
        for (int j = 0; j < kNumCodes; ++j) {
            const Code& b = kCodes[j];
            if (i != j && b.length >= a.length && (b.bits >> (b.length - a.length)) == a.bits)
                return false;
        }
    }
    return space == (1u << 16);
}
static_assert(prefix_free_and_full(), "the DV code table must be a full prefix code");

}  // namespace

// 2-4-8 DCT: each field half is a 4 x 8 array of coefficients (raster k = 8 * row + column, the
// second half at k + 32), scanned in step: the pair (k, k + 32) for k = 0, 1, 8, 2, 9, 16, 24, ...
// along the diagonals of the 4 x 8 half.
constexpr std::uint8_t kScan248[64] = {
    0,  32, 1,  33, 8,  40, 2,  34, 9,  41, 16, 48, 24, 56, 17, 49, 10, 42, 3,  35, 4,  36,
    11, 43, 18, 50, 25, 57, 26, 58, 19, 51, 12, 44, 5,  37, 6,  38, 13, 45, 20, 52, 27, 59,
    28, 60, 21, 53, 14, 46, 7,  39, 15, 47, 22, 54, 29, 61, 30, 62, 23, 55, 31, 63};

constexpr std::array<Lookup, 512> kFirst = make_first();
constexpr std::array<Lookup, 512> kLong = make_long();
constexpr std::array<Short, 1 << kShortBits> kShort = make_short();

}  // namespace opx::dv
