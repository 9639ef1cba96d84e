/*
 * opxvc_h264_cavlc_codes.h: the CAVLC code tables of H.264 (clause 9.2: Tables 9-5, 9-7, 9-8,
 * 9-9a, 9-9b and 9-10) as code lists in the input format of opxiHuffmanTableInitAlloc_32s, for
 * decoders built on opxvc (the CAVLC decoders take tables the caller builds from these lists).
 * Plain C99 data, no function: include <stdint.h> (or opxvc.h) first. Every array is static, so
 * each translation unit that includes this header may get its own copy: include it in one.
 *
 * Code-list format (one int32_t array per table):
 *   [0]             not read
 *   [1]             N, the number of table levels
 *   [2 .. N+1]      index width of each level (root first); they add up to the longest code
 *   then, for code length L = 1, 2, 3, ...: a count n_L followed by n_L pairs (code, value), the
 *   code right-aligned in L bits; the list ends with -1.
 *
 * Values, as the CAVLC decoders expect them in the built tables' payloads:
 *   coeff_token   TotalCoeff * 256 + TrailingOnes (TotalCoeff in payload bits 15..8,
 *                 TrailingOnes in bits 7..0)
 *   total_zeros   total_zeros
 *   run_before    run_before
 *
 * How a decoder passes the built tables (build each list once with opxiHuffmanTableInitAlloc_32s
 * and release each with opxiHuffmanTableFree_32s):
 *   ppTblCoeffToken   an array of 3 tables, { nc0, nc2, nc4 } (0 <= nC < 2, 2 <= nC < 4,
 *                     4 <= nC < 8; nC >= 8 uses the fixed-length code, no table)
 *   pTblCoeffToken    cavlc_coeff_token_chroma_dc (4:2:0) or _chroma422_dc (4:2:2)
 *   ppTblTotalZeros   an array indexed by TotalCoeff, entry 0 unused: 16 entries, the 4x4 lists
 *                     tc1..tc15, for 4x4 blocks; 4 entries, the 2x2 lists tc1..tc3, for 4:2:0
 *                     chroma DC; 8 entries, the 2x4 lists tc1..tc7, for 4:2:2 chroma DC
 *   ppTblRunBefore    an array of 16 entries indexed by zerosLeft, entry 0 unused: zl1..zl6, then
 *                     one table (zerosLeft > 6, built once) in each of the entries 7..15
 * The pointer arrays at the end of this file are laid out that way (lists, not built tables).
 *
 * The stream: the decoders read 32-bit words with native loads, the earliest stream bit in bit
 * 31. The transmitted bytes are big-endian within each word, so a little-endian caller reverses
 * the bytes of every group of four (after removing the emulation prevention bytes) before the
 * call. The word after the last bit read is always loaded, and a damaged stream reads as far as
 * one block's longest codes (a level_prefix of up to 32 zeros, for 16 levels): follow the last
 * stream word with at least 40 readable words. One bits (0xFFFFFFFF) are the best padding: a
 * 1 ends every prefix, so a read that runs past the end stops within a word or two.
 */
#ifndef OPXVC_H264_CAVLC_CODES_H
#define OPXVC_H264_CAVLC_CODES_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define OPX_CAVLC_LIST_UNUSED __attribute__((unused))
#else
#define OPX_CAVLC_LIST_UNUSED
#endif

/* clang-format off */

/* coeff_token, Table 9-5, column 0 <= nC < 2; value TotalCoeff * 256 + TrailingOnes */
static const int32_t cavlc_coeff_token_nc0[] OPX_CAVLC_LIST_UNUSED = {
    0, 2, 8, 8,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 1, 0x1, 1 * 256 + 1,
    /*  3 bits */ 1, 0x1, 2 * 256 + 2,
    /*  4 bits */ 0,
    /*  5 bits */ 1, 0x3, 3 * 256 + 3,
    /*  6 bits */ 3, 0x5, 1 * 256 + 0, 0x4, 2 * 256 + 1, 0x3, 4 * 256 + 3,
    /*  7 bits */ 2, 0x5, 3 * 256 + 2, 0x4, 5 * 256 + 3,
    /*  8 bits */ 4, 0x7, 2 * 256 + 0, 0x6, 3 * 256 + 1, 0x5, 4 * 256 + 2, 0x4, 6 * 256 + 3,
    /*  9 bits */ 4, 0x7, 3 * 256 + 0, 0x6, 4 * 256 + 1, 0x5, 5 * 256 + 2, 0x4, 7 * 256 + 3,
    /* 10 bits */ 4, 0x7, 4 * 256 + 0, 0x6, 5 * 256 + 1, 0x5, 6 * 256 + 2, 0x4, 8 * 256 + 3,
    /* 11 bits */ 4, 0x7, 5 * 256 + 0, 0x6, 6 * 256 + 1, 0x5, 7 * 256 + 2, 0x4, 9 * 256 + 3,
    /* 12 bits */ 0,
    /* 13 bits */ 8, 0xF, 6 * 256 + 0, 0xE, 7 * 256 + 1, 0xD, 8 * 256 + 2, 0xC, 10 * 256 + 3, 0xB, 7 * 256 + 0, 0xA, 8 * 256 + 1, 0x9, 9 * 256 + 2, 0x8, 8 * 256 + 0,
    /* 14 bits */ 8, 0xF, 9 * 256 + 0, 0xE, 9 * 256 + 1, 0xD, 10 * 256 + 2, 0xC, 11 * 256 + 3, 0xB, 10 * 256 + 0, 0xA, 10 * 256 + 1, 0x9, 11 * 256 + 2, 0x8, 12 * 256 + 3,
    /* 15 bits */ 9, 0xF, 11 * 256 + 0, 0xE, 11 * 256 + 1, 0xD, 12 * 256 + 2, 0xC, 13 * 256 + 3, 0xB, 12 * 256 + 0, 0xA, 12 * 256 + 1, 0x9, 13 * 256 + 2, 0x8, 14 * 256 + 3, 0x1, 13 * 256 + 1,
    /* 16 bits */ 12, 0xF, 13 * 256 + 0, 0xE, 14 * 256 + 1, 0xD, 14 * 256 + 2, 0xC, 15 * 256 + 3, 0xB, 14 * 256 + 0, 0xA, 15 * 256 + 1, 0x9, 15 * 256 + 2, 0x8, 16 * 256 + 3, 0x7, 15 * 256 + 0, 0x6, 16 * 256 + 1, 0x5, 16 * 256 + 2, 0x4, 16 * 256 + 0,
    -1};

/* coeff_token, Table 9-5, column 2 <= nC < 4; value TotalCoeff * 256 + TrailingOnes */
static const int32_t cavlc_coeff_token_nc2[] OPX_CAVLC_LIST_UNUSED = {
    0, 2, 8, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 2, 0x3, 0, 0x2, 1 * 256 + 1,
    /*  3 bits */ 1, 0x3, 2 * 256 + 2,
    /*  4 bits */ 2, 0x5, 3 * 256 + 3, 0x4, 4 * 256 + 3,
    /*  5 bits */ 2, 0x7, 2 * 256 + 1, 0x6, 5 * 256 + 3,
    /*  6 bits */ 8, 0xB, 1 * 256 + 0, 0xA, 3 * 256 + 1, 0x9, 3 * 256 + 2, 0x8, 6 * 256 + 3, 0x7, 2 * 256 + 0, 0x6, 4 * 256 + 1, 0x5, 4 * 256 + 2, 0x4, 7 * 256 + 3,
    /*  7 bits */ 4, 0x7, 3 * 256 + 0, 0x6, 5 * 256 + 1, 0x5, 5 * 256 + 2, 0x4, 8 * 256 + 3,
    /*  8 bits */ 4, 0x7, 4 * 256 + 0, 0x6, 6 * 256 + 1, 0x5, 6 * 256 + 2, 0x4, 5 * 256 + 0,
    /*  9 bits */ 4, 0x7, 6 * 256 + 0, 0x6, 7 * 256 + 1, 0x5, 7 * 256 + 2, 0x4, 9 * 256 + 3,
    /* 10 bits */ 0,
    /* 11 bits */ 8, 0xF, 7 * 256 + 0, 0xE, 8 * 256 + 1, 0xD, 8 * 256 + 2, 0xC, 10 * 256 + 3, 0xB, 8 * 256 + 0, 0xA, 9 * 256 + 1, 0x9, 9 * 256 + 2, 0x8, 11 * 256 + 3,
    /* 12 bits */ 8, 0xF, 9 * 256 + 0, 0xE, 10 * 256 + 1, 0xD, 10 * 256 + 2, 0xC, 12 * 256 + 3, 0xB, 10 * 256 + 0, 0xA, 11 * 256 + 1, 0x9, 11 * 256 + 2, 0x8, 11 * 256 + 0,
    /* 13 bits */ 11, 0xF, 12 * 256 + 0, 0xE, 12 * 256 + 1, 0xD, 12 * 256 + 2, 0xC, 13 * 256 + 3, 0xB, 13 * 256 + 0, 0xA, 13 * 256 + 1, 0x9, 13 * 256 + 2, 0x8, 14 * 256 + 3, 0x7, 14 * 256 + 0, 0x6, 14 * 256 + 2, 0x1, 15 * 256 + 3,
    /* 14 bits */ 8, 0xB, 14 * 256 + 1, 0xA, 15 * 256 + 2, 0x9, 15 * 256 + 0, 0x8, 15 * 256 + 1, 0x7, 16 * 256 + 0, 0x6, 16 * 256 + 1, 0x5, 16 * 256 + 2, 0x4, 16 * 256 + 3,
    -1};

/* coeff_token, Table 9-5, column 4 <= nC < 8; value TotalCoeff * 256 + TrailingOnes */
static const int32_t cavlc_coeff_token_nc4[] OPX_CAVLC_LIST_UNUSED = {
    0, 2, 8, 2,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 0,
    /*  4 bits */ 8, 0xF, 0, 0xE, 1 * 256 + 1, 0xD, 2 * 256 + 2, 0xC, 3 * 256 + 3, 0xB, 4 * 256 + 3, 0xA, 5 * 256 + 3, 0x9, 6 * 256 + 3, 0x8, 7 * 256 + 3,
    /*  5 bits */ 8, 0xF, 2 * 256 + 1, 0xE, 3 * 256 + 2, 0xD, 8 * 256 + 3, 0xC, 3 * 256 + 1, 0xB, 4 * 256 + 2, 0xA, 4 * 256 + 1, 0x9, 5 * 256 + 2, 0x8, 5 * 256 + 1,
    /*  6 bits */ 8, 0xF, 1 * 256 + 0, 0xE, 6 * 256 + 1, 0xD, 6 * 256 + 2, 0xC, 9 * 256 + 3, 0xB, 2 * 256 + 0, 0xA, 7 * 256 + 1, 0x9, 7 * 256 + 2, 0x8, 3 * 256 + 0,
    /*  7 bits */ 8, 0xF, 4 * 256 + 0, 0xE, 8 * 256 + 1, 0xD, 8 * 256 + 2, 0xC, 10 * 256 + 3, 0xB, 5 * 256 + 0, 0xA, 9 * 256 + 2, 0x9, 6 * 256 + 0, 0x8, 7 * 256 + 0,
    /*  8 bits */ 8, 0xF, 8 * 256 + 0, 0xE, 9 * 256 + 1, 0xD, 10 * 256 + 2, 0xC, 11 * 256 + 3, 0xB, 9 * 256 + 0, 0xA, 10 * 256 + 1, 0x9, 11 * 256 + 2, 0x8, 12 * 256 + 3,
    /*  9 bits */ 9, 0xF, 10 * 256 + 0, 0xE, 11 * 256 + 1, 0xD, 12 * 256 + 2, 0xC, 13 * 256 + 3, 0xB, 11 * 256 + 0, 0xA, 12 * 256 + 1, 0x9, 13 * 256 + 2, 0x8, 12 * 256 + 0, 0x7, 13 * 256 + 1,
    /* 10 bits */ 13, 0xD, 13 * 256 + 0, 0xC, 14 * 256 + 1, 0xB, 14 * 256 + 2, 0xA, 14 * 256 + 3, 0x9, 14 * 256 + 0, 0x8, 15 * 256 + 1, 0x7, 15 * 256 + 2, 0x6, 15 * 256 + 3, 0x5, 15 * 256 + 0, 0x4, 16 * 256 + 1, 0x3, 16 * 256 + 2, 0x2, 16 * 256 + 3, 0x1, 16 * 256 + 0,
    -1};

/* coeff_token, Table 9-5, column nC = -1 (chroma DC 4:2:0); value TotalCoeff * 256 + TrailingOnes */
static const int32_t cavlc_coeff_token_chroma_dc[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 8,
    /*  1 bits */ 1, 0x1, 1 * 256 + 1,
    /*  2 bits */ 1, 0x1, 0,
    /*  3 bits */ 1, 0x1, 2 * 256 + 2,
    /*  4 bits */ 0,
    /*  5 bits */ 0,
    /*  6 bits */ 6, 0x7, 1 * 256 + 0, 0x6, 2 * 256 + 1, 0x5, 3 * 256 + 3, 0x4, 2 * 256 + 0, 0x3, 3 * 256 + 0, 0x2, 4 * 256 + 0,
    /*  7 bits */ 3, 0x3, 3 * 256 + 1, 0x2, 3 * 256 + 2, 0x0, 4 * 256 + 3,
    /*  8 bits */ 2, 0x3, 4 * 256 + 1, 0x2, 4 * 256 + 2,
    -1};

/* coeff_token, Table 9-5, column nC = -2 (chroma DC 4:2:2); value TotalCoeff * 256 + TrailingOnes */
static const int32_t cavlc_coeff_token_chroma422_dc[] OPX_CAVLC_LIST_UNUSED = {
    0, 2, 8, 5,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 1, 0x1, 1 * 256 + 1,
    /*  3 bits */ 1, 0x1, 2 * 256 + 2,
    /*  4 bits */ 0,
    /*  5 bits */ 1, 0x1, 3 * 256 + 3,
    /*  6 bits */ 1, 0x1, 4 * 256 + 3,
    /*  7 bits */ 8, 0xF, 1 * 256 + 0, 0xE, 2 * 256 + 0, 0xD, 2 * 256 + 1, 0xC, 3 * 256 + 1, 0xB, 3 * 256 + 2, 0xA, 4 * 256 + 2, 0x9, 5 * 256 + 3, 0x8, 6 * 256 + 3,
    /*  8 bits */ 0,
    /*  9 bits */ 4, 0x7, 3 * 256 + 0, 0x6, 4 * 256 + 0, 0x5, 4 * 256 + 1, 0x4, 5 * 256 + 2,
    /* 10 bits */ 4, 0x7, 5 * 256 + 0, 0x6, 5 * 256 + 1, 0x5, 6 * 256 + 2, 0x4, 7 * 256 + 3,
    /* 11 bits */ 4, 0x7, 6 * 256 + 0, 0x6, 6 * 256 + 1, 0x5, 7 * 256 + 2, 0x4, 8 * 256 + 3,
    /* 12 bits */ 4, 0x7, 7 * 256 + 0, 0x6, 7 * 256 + 1, 0x5, 8 * 256 + 1, 0x4, 8 * 256 + 2,
    /* 13 bits */ 1, 0x7, 8 * 256 + 0,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 1 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc1[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 9,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 0,
    /*  3 bits */ 2, 0x3, 1, 0x2, 2,
    /*  4 bits */ 2, 0x3, 3, 0x2, 4,
    /*  5 bits */ 2, 0x3, 5, 0x2, 6,
    /*  6 bits */ 2, 0x3, 7, 0x2, 8,
    /*  7 bits */ 2, 0x3, 9, 0x2, 10,
    /*  8 bits */ 2, 0x3, 11, 0x2, 12,
    /*  9 bits */ 3, 0x3, 13, 0x2, 14, 0x1, 15,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 2 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc2[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 5, 0x7, 0, 0x6, 1, 0x5, 2, 0x4, 3, 0x3, 4,
    /*  4 bits */ 4, 0x5, 5, 0x4, 6, 0x3, 7, 0x2, 8,
    /*  5 bits */ 2, 0x3, 9, 0x2, 10,
    /*  6 bits */ 4, 0x3, 11, 0x2, 12, 0x1, 13, 0x0, 14,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 3 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc3[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 5, 0x7, 1, 0x6, 2, 0x5, 3, 0x4, 6, 0x3, 7,
    /*  4 bits */ 4, 0x5, 0, 0x4, 4, 0x3, 5, 0x2, 8,
    /*  5 bits */ 3, 0x3, 9, 0x2, 10, 0x1, 12,
    /*  6 bits */ 2, 0x1, 11, 0x0, 13,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 4 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc4[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 5,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 5, 0x7, 1, 0x6, 4, 0x5, 5, 0x4, 6, 0x3, 8,
    /*  4 bits */ 4, 0x5, 2, 0x4, 3, 0x3, 7, 0x2, 9,
    /*  5 bits */ 4, 0x3, 0, 0x2, 10, 0x1, 11, 0x0, 12,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 5 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc5[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 5,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 5, 0x7, 3, 0x6, 4, 0x5, 5, 0x4, 6, 0x3, 7,
    /*  4 bits */ 5, 0x5, 0, 0x4, 1, 0x3, 2, 0x2, 8, 0x1, 10,
    /*  5 bits */ 2, 0x1, 9, 0x0, 11,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 6 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc6[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 7, 0x7, 2, 0x6, 3, 0x5, 4, 0x4, 5, 0x3, 6, 0x2, 7, 0x1, 9,
    /*  4 bits */ 1, 0x1, 8,
    /*  5 bits */ 1, 0x1, 1,
    /*  6 bits */ 2, 0x1, 0, 0x0, 10,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 7 (Table 9-7); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc7[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 1, 0x3, 5,
    /*  3 bits */ 5, 0x5, 2, 0x4, 3, 0x3, 4, 0x2, 6, 0x1, 8,
    /*  4 bits */ 1, 0x1, 7,
    /*  5 bits */ 1, 0x1, 1,
    /*  6 bits */ 2, 0x1, 0, 0x0, 9,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 8 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc8[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 2, 0x3, 4, 0x2, 5,
    /*  3 bits */ 3, 0x3, 3, 0x2, 6, 0x1, 7,
    /*  4 bits */ 1, 0x1, 1,
    /*  5 bits */ 1, 0x1, 2,
    /*  6 bits */ 2, 0x1, 0, 0x0, 8,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 9 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc9[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 6,
    /*  1 bits */ 0,
    /*  2 bits */ 3, 0x3, 3, 0x2, 4, 0x1, 6,
    /*  3 bits */ 1, 0x1, 5,
    /*  4 bits */ 1, 0x1, 2,
    /*  5 bits */ 1, 0x1, 7,
    /*  6 bits */ 2, 0x1, 0, 0x0, 1,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 10 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc10[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 5,
    /*  1 bits */ 0,
    /*  2 bits */ 3, 0x3, 3, 0x2, 4, 0x1, 5,
    /*  3 bits */ 1, 0x1, 2,
    /*  4 bits */ 1, 0x1, 6,
    /*  5 bits */ 2, 0x1, 0, 0x0, 1,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 11 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc11[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 4,
    /*  1 bits */ 1, 0x1, 4,
    /*  2 bits */ 0,
    /*  3 bits */ 3, 0x3, 5, 0x2, 3, 0x1, 2,
    /*  4 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 12 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc12[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 4,
    /*  1 bits */ 1, 0x1, 3,
    /*  2 bits */ 1, 0x1, 2,
    /*  3 bits */ 1, 0x1, 4,
    /*  4 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 13 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc13[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 1, 0x1, 2,
    /*  2 bits */ 1, 0x1, 3,
    /*  3 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 14 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc14[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 1, 0x1, 2,
    /*  2 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, 4x4 blocks, TotalCoeff 15 (Table 9-8); value total_zeros */
static const int32_t cavlc_total_zeros_4x4_tc15[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 1,
    /*  1 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, chroma DC 2x2, TotalCoeff 1 (Table 9-9a); value total_zeros */
static const int32_t cavlc_total_zeros_2x2_tc1[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 1, 0x1, 1,
    /*  3 bits */ 2, 0x1, 2, 0x0, 3,
    -1};

/* total_zeros, chroma DC 2x2, TotalCoeff 2 (Table 9-9a); value total_zeros */
static const int32_t cavlc_total_zeros_2x2_tc2[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 2, 0x1, 1, 0x0, 2,
    -1};

/* total_zeros, chroma DC 2x2, TotalCoeff 3 (Table 9-9a); value total_zeros */
static const int32_t cavlc_total_zeros_2x2_tc3[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 1,
    /*  1 bits */ 2, 0x1, 0, 0x0, 1,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 1 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc1[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 5,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 0,
    /*  3 bits */ 2, 0x3, 2, 0x2, 1,
    /*  4 bits */ 3, 0x3, 4, 0x2, 3, 0x1, 5,
    /*  5 bits */ 2, 0x1, 6, 0x0, 7,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 2 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc2[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 1, 0x1, 1,
    /*  3 bits */ 6, 0x7, 6, 0x6, 5, 0x5, 4, 0x4, 3, 0x1, 2, 0x0, 0,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 3 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc3[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 2, 0x2, 3, 0x1, 2,
    /*  3 bits */ 4, 0x7, 5, 0x6, 4, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 4 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc4[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 3, 0x2, 3, 0x1, 2, 0x0, 1,
    /*  3 bits */ 2, 0x7, 4, 0x6, 0,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 5 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc5[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 0,
    /*  2 bits */ 4, 0x3, 3, 0x2, 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 6 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc6[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 1, 0x1, 2,
    /*  2 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* total_zeros, chroma DC 2x4, TotalCoeff 7 (Table 9-9b); value total_zeros */
static const int32_t cavlc_total_zeros_2x4_tc7[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 1,
    /*  1 bits */ 2, 0x1, 1, 0x0, 0,
    -1};

/* run_before, zerosLeft 1 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl1[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 1,
    /*  1 bits */ 2, 0x1, 0, 0x0, 1,
    -1};

/* run_before, zerosLeft 2 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl2[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 1, 0x1, 0,
    /*  2 bits */ 2, 0x1, 1, 0x0, 2,
    -1};

/* run_before, zerosLeft 3 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl3[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 2,
    /*  1 bits */ 0,
    /*  2 bits */ 4, 0x3, 0, 0x2, 1, 0x1, 2, 0x0, 3,
    -1};

/* run_before, zerosLeft 4 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl4[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 3, 0x3, 0, 0x2, 1, 0x1, 2,
    /*  3 bits */ 2, 0x1, 3, 0x0, 4,
    -1};

/* run_before, zerosLeft 5 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl5[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 2, 0x3, 0, 0x2, 1,
    /*  3 bits */ 4, 0x3, 2, 0x2, 3, 0x1, 4, 0x0, 5,
    -1};

/* run_before, zerosLeft 6 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl6[] OPX_CAVLC_LIST_UNUSED = {
    0, 1, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 1, 0x3, 0,
    /*  3 bits */ 6, 0x5, 5, 0x4, 6, 0x3, 3, 0x2, 4, 0x1, 2, 0x0, 1,
    -1};

/* run_before, zerosLeft > 6 (Table 9-10); value run_before */
static const int32_t cavlc_run_before_zl7plus[] OPX_CAVLC_LIST_UNUSED = {
    0, 2, 8, 3,
    /*  1 bits */ 0,
    /*  2 bits */ 0,
    /*  3 bits */ 7, 0x7, 0, 0x6, 1, 0x5, 2, 0x4, 3, 0x3, 4, 0x2, 5, 0x1, 6,
    /*  4 bits */ 1, 0x1, 7,
    /*  5 bits */ 1, 0x1, 8,
    /*  6 bits */ 1, 0x1, 9,
    /*  7 bits */ 1, 0x1, 10,
    /*  8 bits */ 1, 0x1, 11,
    /*  9 bits */ 1, 0x1, 12,
    /* 10 bits */ 1, 0x1, 13,
    /* 11 bits */ 1, 0x1, 14,
    -1};

/* coeff_token lists by nC class: 0 <= nC < 2, 2 <= nC < 4, 4 <= nC < 8. */
static const int32_t* const cavlc_coeff_token_lists[3] OPX_CAVLC_LIST_UNUSED = {
    cavlc_coeff_token_nc0, cavlc_coeff_token_nc2, cavlc_coeff_token_nc4};

/* total_zeros lists by TotalCoeff (entry 0 unused). */
static const int32_t* const cavlc_total_zeros_4x4_lists[16] OPX_CAVLC_LIST_UNUSED = {
    NULL,
    cavlc_total_zeros_4x4_tc1,  cavlc_total_zeros_4x4_tc2,  cavlc_total_zeros_4x4_tc3,
    cavlc_total_zeros_4x4_tc4,  cavlc_total_zeros_4x4_tc5,  cavlc_total_zeros_4x4_tc6,
    cavlc_total_zeros_4x4_tc7,  cavlc_total_zeros_4x4_tc8,  cavlc_total_zeros_4x4_tc9,
    cavlc_total_zeros_4x4_tc10, cavlc_total_zeros_4x4_tc11, cavlc_total_zeros_4x4_tc12,
    cavlc_total_zeros_4x4_tc13, cavlc_total_zeros_4x4_tc14, cavlc_total_zeros_4x4_tc15};
static const int32_t* const cavlc_total_zeros_2x2_lists[4] OPX_CAVLC_LIST_UNUSED = {
    NULL, cavlc_total_zeros_2x2_tc1, cavlc_total_zeros_2x2_tc2, cavlc_total_zeros_2x2_tc3};
static const int32_t* const cavlc_total_zeros_2x4_lists[8] OPX_CAVLC_LIST_UNUSED = {
    NULL,
    cavlc_total_zeros_2x4_tc1, cavlc_total_zeros_2x4_tc2, cavlc_total_zeros_2x4_tc3,
    cavlc_total_zeros_2x4_tc4, cavlc_total_zeros_2x4_tc5, cavlc_total_zeros_2x4_tc6,
    cavlc_total_zeros_2x4_tc7};

/* run_before lists by zerosLeft (entry 0 unused; 7..15 share the zerosLeft > 6 list). */
static const int32_t* const cavlc_run_before_lists[16] OPX_CAVLC_LIST_UNUSED = {
    NULL,
    cavlc_run_before_zl1, cavlc_run_before_zl2, cavlc_run_before_zl3, cavlc_run_before_zl4,
    cavlc_run_before_zl5, cavlc_run_before_zl6,
    cavlc_run_before_zl7plus, cavlc_run_before_zl7plus, cavlc_run_before_zl7plus,
    cavlc_run_before_zl7plus, cavlc_run_before_zl7plus, cavlc_run_before_zl7plus,
    cavlc_run_before_zl7plus, cavlc_run_before_zl7plus, cavlc_run_before_zl7plus};

/* clang-format on */

#endif /* OPXVC_H264_CAVLC_CODES_H */
