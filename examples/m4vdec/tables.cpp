// Variable-length code tables of the macroblock layer, transcribed from ITU-T H.263 (Tables 7,
// 8, 9 and 14) and ISO/IEC 14496-2 (Tables B-6, B-7, B-8 and B-12, the same codes). The
// coefficient and intra DC tables are the library's.
#include <climits>

#include "m4vdec.hpp"

namespace m4vdec {

namespace {

// MCBPC for I-VOPs (H.263 Table 7 / 14496-2 Table B-6)
const Code kMcbpcICodes[] = {
    {0b1, 1, 3 * 4 + 0},      {0b001, 3, 3 * 4 + 1},    {0b010, 3, 3 * 4 + 2},
    {0b011, 3, 3 * 4 + 3},    {0b0001, 4, 4 * 4 + 0},   {0b000001, 6, 4 * 4 + 1},
    {0b000010, 6, 4 * 4 + 2}, {0b000011, 6, 4 * 4 + 3}, {0b000000001, 9, -1},
};

// MCBPC for P-VOPs (H.263 Table 8 / 14496-2 Table B-7; without H.263's INTER4V+Q rows)
const Code kMcbpcPCodes[] = {
    {0b1, 1, 0 * 4 + 0},         {0b0011, 4, 0 * 4 + 1},      {0b0010, 4, 0 * 4 + 2},
    {0b000101, 6, 0 * 4 + 3},    {0b011, 3, 1 * 4 + 0},       {0b0000111, 7, 1 * 4 + 1},
    {0b0000110, 7, 1 * 4 + 2},   {0b000000101, 9, 1 * 4 + 3}, {0b010, 3, 2 * 4 + 0},
    {0b0000101, 7, 2 * 4 + 1},   {0b0000100, 7, 2 * 4 + 2},   {0b00000101, 8, 2 * 4 + 3},
    {0b00011, 5, 3 * 4 + 0},     {0b00000100, 8, 3 * 4 + 1},  {0b00000011, 8, 3 * 4 + 2},
    {0b0000011, 7, 3 * 4 + 3},   {0b000100, 6, 4 * 4 + 0},    {0b000000100, 9, 4 * 4 + 1},
    {0b000000011, 9, 4 * 4 + 2}, {0b000000010, 9, 4 * 4 + 3}, {0b000000001, 9, -1},
};

// MCBPC for H.263 P-pictures with PLUSPTYPE (H.263 Table 8 with its INTER4V+Q rows, mb_type 5)
const Code kMcbpcPPlusCodes[] = {
    {0b1, 1, 0 * 4 + 0},
    {0b0011, 4, 0 * 4 + 1},
    {0b0010, 4, 0 * 4 + 2},
    {0b000101, 6, 0 * 4 + 3},
    {0b011, 3, 1 * 4 + 0},
    {0b0000111, 7, 1 * 4 + 1},
    {0b0000110, 7, 1 * 4 + 2},
    {0b000000101, 9, 1 * 4 + 3},
    {0b010, 3, 2 * 4 + 0},
    {0b0000101, 7, 2 * 4 + 1},
    {0b0000100, 7, 2 * 4 + 2},
    {0b00000101, 8, 2 * 4 + 3},
    {0b00011, 5, 3 * 4 + 0},
    {0b00000100, 8, 3 * 4 + 1},
    {0b00000011, 8, 3 * 4 + 2},
    {0b0000011, 7, 3 * 4 + 3},
    {0b000100, 6, 4 * 4 + 0},
    {0b000000100, 9, 4 * 4 + 1},
    {0b000000011, 9, 4 * 4 + 2},
    {0b000000010, 9, 4 * 4 + 3},
    {0b000000001, 9, -1},
    {0b00000000010, 11, 5 * 4 + 0},
    {0b0000000001100, 13, 5 * 4 + 1},
    {0b0000000001110, 13, 5 * 4 + 2},
    {0b0000000001111, 13, 5 * 4 + 3},
};

// CBPY, value = CBPY(1234) of an intra macroblock (H.263 Table 9 / 14496-2 Table B-8)
const Code kCbpyCodes[] = {
    {0b0011, 4, 0},  {0b00101, 5, 1},  {0b00100, 5, 2},  {0b1001, 4, 3},
    {0b00011, 5, 4}, {0b0111, 4, 5},   {0b000010, 6, 6}, {0b1011, 4, 7},
    {0b00010, 5, 8}, {0b000011, 6, 9}, {0b0101, 4, 10},  {0b1010, 4, 11},
    {0b0100, 4, 12}, {0b1000, 4, 13},  {0b0110, 4, 14},  {0b11, 2, 15},
};

// motion_code -32..32: the code of |motion_code|, then its sign (0 positive) (14496-2 Table
// B-12; H.263 Table 14 lists the same codes as half-sample vector differences)
const Code kMotionCodes[] = {
    {0b0000000000101, 13, -32},
    {0b0000000000111, 13, -31},
    {0b000000000101, 12, -30},
    {0b000000000111, 12, -29},
    {0b000000001001, 12, -28},
    {0b000000001011, 12, -27},
    {0b000000001101, 12, -26},
    {0b000000001111, 12, -25},
    {0b00000001001, 11, -24},
    {0b00000001011, 11, -23},
    {0b00000001101, 11, -22},
    {0b00000001111, 11, -21},
    {0b00000010001, 11, -20},
    {0b00000010011, 11, -19},
    {0b00000010101, 11, -18},
    {0b00000010111, 11, -17},
    {0b00000011001, 11, -16},
    {0b00000011011, 11, -15},
    {0b00000011101, 11, -14},
    {0b00000011111, 11, -13},
    {0b00000100001, 11, -12},
    {0b00000100011, 11, -11},
    {0b0000010011, 10, -10},
    {0b0000010101, 10, -9},
    {0b0000010111, 10, -8},
    {0b00000111, 8, -7},
    {0b00001001, 8, -6},
    {0b00001011, 8, -5},
    {0b0000111, 7, -4},
    {0b00011, 5, -3},
    {0b0011, 4, -2},
    {0b011, 3, -1},
    {0b1, 1, 0},
    {0b010, 3, 1},
    {0b0010, 4, 2},
    {0b00010, 5, 3},
    {0b0000110, 7, 4},
    {0b00001010, 8, 5},
    {0b00001000, 8, 6},
    {0b00000110, 8, 7},
    {0b0000010110, 10, 8},
    {0b0000010100, 10, 9},
    {0b0000010010, 10, 10},
    {0b00000100010, 11, 11},
    {0b00000100000, 11, 12},
    {0b00000011110, 11, 13},
    {0b00000011100, 11, 14},
    {0b00000011010, 11, 15},
    {0b00000011000, 11, 16},
    {0b00000010110, 11, 17},
    {0b00000010100, 11, 18},
    {0b00000010010, 11, 19},
    {0b00000010000, 11, 20},
    {0b00000001110, 11, 21},
    {0b00000001100, 11, 22},
    {0b00000001010, 11, 23},
    {0b00000001000, 11, 24},
    {0b000000001110, 12, 25},
    {0b000000001100, 12, 26},
    {0b000000001010, 12, 27},
    {0b000000001000, 12, 28},
    {0b000000000110, 12, 29},
    {0b000000000100, 12, 30},
    {0b0000000000110, 13, 31},
    {0b0000000000100, 13, 32},
};

// MTYPE (H.261 Table 2); value: flags 1 intra, 2 MQUANT, 4 MVD, 8 CBP, 16 loop filter
const Code kMtypeCodes[] = {
    {0b0001, 4, 1},
    {0b0000001, 7, 1 | 2},
    {0b1, 1, 8},
    {0b00001, 5, 8 | 2},
    {0b000000001, 9, 4},
    {0b00000001, 8, 4 | 8},
    {0b0000000001, 10, 4 | 8 | 2},
    {0b001, 3, 4 | 16},
    {0b01, 2, 4 | 8 | 16},
    {0b000001, 6, 4 | 8 | 16 | 2},
};

template <size_t N>
constexpr int count(const Code (&)[N]) {
    return int(N);
}

}  // namespace

const CodeTable kMcbpcI = {kMcbpcICodes, count(kMcbpcICodes), "MCBPC (I)"};
const CodeTable kMcbpcP = {kMcbpcPCodes, count(kMcbpcPCodes), "MCBPC (P)"};
const CodeTable kMcbpcPPlus = {kMcbpcPPlusCodes, count(kMcbpcPPlusCodes), "MCBPC (P, PLUSPTYPE)"};
const CodeTable kCbpy = {kCbpyCodes, count(kCbpyCodes), "CBPY"};
const CodeTable kMotionCode = {kMotionCodes, count(kMotionCodes), "motion_code"};
const CodeTable kMtype = {kMtypeCodes, count(kMtypeCodes), "MTYPE"};
const CodeTable* const kAllTables[6] = {&kMcbpcI,     &kMcbpcP, &kCbpy,
                                        &kMotionCode, &kMtype,  &kMcbpcPPlus};

int Reader::vlc(const CodeTable& t) {
    const uint32_t bits = peek(16);
    for (int i = 0; i < t.count; ++i) {
        const Code& c = t.codes[i];
        if ((bits >> (16 - c.len)) == c.code) {
            pos += c.len;
            return c.value;
        }
    }
    return INT_MIN;
}

}  // namespace m4vdec
