/*
 * opxvc — video-coding primitives.
 *
 * One public header for the whole library. It compiles as C99 and as C++.
 *
 * Every function returns an OpxResult (except opxvcGetLibVersion): 0 on success, a negative
 * error code when the work was not done (after an argument error nothing has been written),
 * a positive warning when the work was done with a caveat or, for opxWrnNothingDone and
 * opxWrnMisalignedBuffer, not done at all.
 *
 * Arguments are checked in a fixed order: null pointers first (in argument order, including
 * pointers stored behind pointer arguments), then each function's value checks in the order its
 * comment gives, warnings last.
 *
 * Row steps are signed byte distances between the first samples of consecutive rows unless a
 * function says otherwise. No alignment is required of any pointer or step.
 */
#ifndef OPXVC_H
#define OPXVC_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(OPXVC_BUILDING)
#    define OPXVC_API __declspec(dllexport)
#  else
#    define OPXVC_API
#  endif
#elif defined(__GNUC__)
#  define OPXVC_API __attribute__((visibility("default")))
#else
#  define OPXVC_API
#endif

#ifdef __cplusplus
#  define OPXVC_NOEXCEPT noexcept
extern "C" {
#else
#  define OPXVC_NOEXCEPT
#endif

/* ---------------------------------------------------------------------------------------------
 * Element types and records
 * ------------------------------------------------------------------------------------------- */

typedef uint8_t Opx8u;
typedef int8_t Opx8s;
typedef uint16_t Opx16u;
typedef int16_t Opx16s;
typedef uint32_t Opx32u;
typedef int32_t Opx32s;
typedef int64_t Opx64s;
typedef float Opx32f;

/** Size of a processed region in samples; passed by value as one 8-byte record. */
typedef struct OpxRoiSize {
    Opx32s width;
    Opx32s height;
} OpxRoiSize;

/** A position in samples. */
typedef struct OpxPoint {
    Opx32s x;
    Opx32s y;
} OpxPoint;

/** A rectangle inside a region; x + width and y + height stay inside the enclosing region. */
typedef struct OpxRect {
    Opx32s x;
    Opx32s y;
    Opx32s width;
    Opx32s height;
} OpxRect;

/** A motion vector in the sub-sample units of the function that takes it. */
typedef struct OpxMotionVec {
    Opx16s dx;
    Opx16s dy;
} OpxMotionVec;

/* ---------------------------------------------------------------------------------------------
 * Result codes
 * ------------------------------------------------------------------------------------------- */

typedef Opx32s OpxResult;

enum {
    opxWrnOddRoiSize = 35,           /**< done; the source region's width or height is odd */
    opxWrnIntraPredUnavailable = 11, /**< done; unavailable intra neighbours were taken as 128 */
    opxWrnMisalignedBuffer = 2,      /**< stream buffer not a multiple of 4; nothing done */
    opxWrnNothingDone = 1,           /**< the requested mode has no variant; nothing written */
    opxOk = 0,
    opxErrRegionTooSmall = -2,  /**< the region is smaller than the filter's window */
    opxErrNoMemory = -4,        /**< allocation of a state record failed */
    opxErrBadArg = -5,          /**< an argument value or combination is not allowed */
    opxErrSize = -6,            /**< a width, height or block size outside its allowed set */
    opxErrNullPtr = -8,         /**< a required pointer (or one behind a pointer) is null */
    opxErrMemAlloc = -9,        /**< allocation failed, or an output buffer has no room left */
    opxErrDivByZero = -10,      /**< a divisor argument is zero */
    opxErrOutOfRange = -11,     /**< an argument lies outside its allowed range */
    opxErrLevelRange = -13,     /**< a quantised level's magnitude exceeds 2063 */
    opxErrStep = -14,           /**< a row step is too small for the block */
    opxErrContextMatch = -17,   /**< a state record does not carry its kind's identifier */
    opxErrInterpolation = -22,  /**< an interpolation mode outside its allowed set */
    opxErrResizeFactor = -23,   /**< a resize factor outside its allowed set */
    opxErrH264VlcCode = -74,    /**< an invalid code in a word-cursor bit stream */
    opxErrIntraPredUnavailable = -117, /**< the intra mode needs unavailable neighbours */
    opxErrVlcCode = -191,       /**< an invalid code in a byte-cursor bit stream */
    opxErrQp = -192,            /**< a quantiser out of range or a zero matrix entry */
    opxErrBitOffset = -193,     /**< a byte-cursor bit offset outside 0..7 */
    opxErrStreamEnd = -223      /**< the CABAC output buffer is full */
};

/* ---------------------------------------------------------------------------------------------
 * Version
 * ------------------------------------------------------------------------------------------- */

typedef struct OpxVersionInfo {
    Opx32s major;
    Opx32s minor;
    Opx32s majorBuild;
    Opx32s build;
    char targetCpu[4];     /**< build-variant code: "l9" and two zero bytes for the AVX2 build */
    const char* name;      /**< "opxVC AVX2 (l9)" */
    const char* version;   /**< "7.1.0 (r36264)" */
    const char* buildDate; /**< "Jul 23 2012" */
} OpxVersionInfo;

/** The library's constant version record. Never null; the same pointer on every call. */
OPXVC_API const OpxVersionInfo* opxvcGetLibVersion(void) OPXVC_NOEXCEPT;

/* ==== BLOCK PRIMITIVES (copies, averages, residual addition, motion compensation) ==== */

/**
 * Copies an 8×8 or 16×16 block of 8-bit samples. Steps may be negative.
 * Returns opxErrNullPtr when pSrc or pDst is null, otherwise opxOk.
 */
OPXVC_API OpxResult opxiCopy8x8_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                       Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                         Opx32s dstStep) OPXVC_NOEXCEPT;

/* ==== END BLOCK PRIMITIVES ==== */

/* ==== DISTORTION METRICS ==== */

/* ==== END DISTORTION METRICS ==== */

/* ==== VLC TABLES AND H.264 CAVLC DECODING ==== */

/* ==== END VLC TABLES AND H.264 CAVLC DECODING ==== */

/* ==== H.264 INVERSE TRANSFORMS AND DEQUANTISATION ==== */

/* ==== END H.264 INVERSE TRANSFORMS AND DEQUANTISATION ==== */

/* ==== H.264 INTRA PREDICTION AND RECONSTRUCTION ==== */

/* ==== END H.264 INTRA PREDICTION AND RECONSTRUCTION ==== */

/* ==== H.264 INTERPOLATION ==== */

/* ==== END H.264 INTERPOLATION ==== */

/* ==== H.264 WEIGHTED PREDICTION ==== */

/*
 * Weighted sample prediction of H.264 clause 8.4.2.3. With Clip the clamp to 0..255 (8u) or
 * 0..2^bitDepth − 1 (16u), s, s1, s2 co-located samples and >> the floor division by a power of
 * two, the results are, exactly for every weight and offset accepted (no intermediate wraps):
 *   uni-directional: logWD ≥ 1: Clip(((s·weight + 2^(logWD−1)) >> logWD) + offset);
 *                    logWD = 0: Clip(s·weight + offset)
 *   bi-directional:  Clip(((s1·weight1 + s2·weight2 + 2^logWD) >> (logWD + 1))
 *                         + ((offset1 + offset2 + 1) >> 1))
 *   implicit:        Clip((s1·weight1 + s2·weight2 + 32) >> 6)
 * Block sides ("sizes") are 2, 4, 8 or 16; otherwise opxErrSize. 8u steps (Opx32u) are
 * compared with the width as unsigned values and taken as unsigned distances; the steps of the
 * records are signed. Rows are processed top to bottom, samples left to right, each sample read
 * before it is written. In the interleaved (C2) forms a width counts CbCr pairs; the Cb weight
 * and offset apply to even bytes, the Cr ones to odd bytes.
 */

/** Two prediction blocks and a destination (8-bit). Steps in bytes. */
typedef struct OpxBidir8u {
    const Opx8u* pSrc1;
    Opx32s src1Step;
    const Opx8u* pSrc2;
    Opx32s src2Step;
    Opx8u* pDst;
    Opx32s dstStep;
    OpxRoiSize roiSize;
} OpxBidir8u;

/** Two prediction blocks and a destination (16-bit). Steps in samples. */
typedef struct OpxBidir16u {
    const Opx16u* pSrc1;
    Opx32s src1Step;
    const Opx16u* pSrc2;
    Opx32s src2Step;
    Opx16u* pDst;
    Opx32s dstStep;
    OpxRoiSize roiSize;
    Opx32s bitDepth; /**< results are clamped to 0..2^bitDepth − 1; 8..14 */
} OpxBidir16u;

/** Weights of one reference list for interleaved chroma. */
typedef struct OpxChromaWeight {
    Opx32u logWD;     /**< only the low 4 bits are used */
    Opx8s weight[2];  /**< Cb, Cr */
    Opx8s offset[2];  /**< Cb, Cr */
} OpxChromaWeight;

/**
 * Uni-directional explicit weighting of a block in place (the C1R and C1IR names are one
 * function). Checks: pSrcDst null → opxErrNullPtr; srcDstStep < width → opxErrStep; sizes →
 * opxErrSize; logWD > 7 → opxErrBadArg.
 */
OPXVC_API OpxResult opxiUniDirWeightBlock_H264_8u_C1R(Opx8u* pSrcDst, Opx32u srcDstStep,
                                                      Opx32u logWD, Opx32s weight, Opx32s offset,
                                                      OpxRoiSize roiSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiUniDirWeightBlock_H264_8u_C1IR(Opx8u* pSrcDst, Opx32u srcDstStep,
                                                       Opx32u logWD, Opx32s weight, Opx32s offset,
                                                       OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Uni-directional explicit weighting of an interleaved CbCr block in place at pDst (only pDst,
 * dstStep and roiSize of the record are used); logWD is the low 4 bits of the weight record's.
 * Checks: record, its pDst or pWeight null → opxErrNullPtr; dstStep < width → opxErrStep;
 * sizes → opxErrSize.
 */
OPXVC_API OpxResult opxiUniDirWeightBlock_H264_8u_C2R(OpxBidir8u* pBidir,
                                                      const OpxChromaWeight* pWeight)
    OPXVC_NOEXCEPT;

/**
 * Uni-directional explicit weighting of a 16-bit block in place (steps in samples). Checks:
 * pSrcDst null → opxErrNullPtr; srcDstStep < width → opxErrStep; sizes → opxErrSize;
 * logWD > 7 → opxErrBadArg; bitDepth outside 8..14 → opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiUnidirWeight_H264_16u_IP2P1R(Opx16u* pSrcDst, Opx32u srcDstStep,
                                                     Opx32u logWD, Opx32s weight, Opx32s offset,
                                                     OpxRoiSize roiSize,
                                                     Opx32s bitDepth) OPXVC_NOEXCEPT;

/**
 * Bi-directional explicit weighting; both sources share srcStep. Checks: any pointer null →
 * opxErrNullPtr; srcStep or dstStep < width → opxErrStep; sizes → opxErrSize; logWD > 7 →
 * opxErrBadArg.
 */
OPXVC_API OpxResult opxiBiDirWeightBlock_H264_8u_P2P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                       Opx8u* pDst, Opx32u srcStep,
                                                       Opx32u dstStep, Opx32u logWD,
                                                       Opx32s weight1, Opx32s offset1,
                                                       Opx32s weight2, Opx32s offset2,
                                                       OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/** As opxiBiDirWeightBlock_H264_8u_P2P1R with a step per block (any step < width → opxErrStep). */
OPXVC_API OpxResult opxiBiDirWeightBlock_H264_8u_P3P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                       Opx8u* pDst, Opx32u src1Step,
                                                       Opx32u src2Step, Opx32u dstStep,
                                                       Opx32u logWD, Opx32s weight1,
                                                       Opx32s offset1, Opx32s weight2,
                                                       Opx32s offset2,
                                                       OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Bi-directional explicit weighting of interleaved CbCr blocks; logWD is the low 4 bits of
 * the list-0 record's; src2Step is used but not checked. Checks: record, its pSrc1, pSrc2 or
 * pDst, pWeight0 or pWeight1 null → opxErrNullPtr; src1Step or dstStep < width → opxErrStep;
 * sizes → opxErrSize.
 */
OPXVC_API OpxResult opxiBiDirWeightBlock_H264_8u_C2R(OpxBidir8u* pBidir,
                                                     const OpxChromaWeight* pWeight0,
                                                     const OpxChromaWeight* pWeight1)
    OPXVC_NOEXCEPT;

/**
 * Implicit bi-directional weighting (weights summing to 64, no offsets). Checks: any pointer
 * null → opxErrNullPtr; srcStep or dstStep < width → opxErrStep; sizes → opxErrSize.
 */
OPXVC_API OpxResult opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(const Opx8u* pSrc1,
                                                               const Opx8u* pSrc2, Opx8u* pDst,
                                                               Opx32u srcStep, Opx32u dstStep,
                                                               Opx32s weight1, Opx32s weight2,
                                                               OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Implicit bi-directional weighting of a block of any size. Checks: any pointer null →
 * opxErrNullPtr; width or height below 1 → opxOk with nothing written; no step or size checks.
 */
OPXVC_API OpxResult opxiBiDirWeightBlockImplicit_H264_8u_P3P1R(
    const Opx8u* pSrc1, const Opx8u* pSrc2, Opx8u* pDst, Opx32u src1Step, Opx32u src2Step,
    Opx32u dstStep, Opx32s weight1, Opx32s weight2, OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Bi-directional explicit weighting of 16-bit blocks (offsets used as passed). Checks: record,
 * pSrc1, pSrc2 or pDst null → opxErrNullPtr; src1Step, src2Step or dstStep < width →
 * opxErrStep; sizes → opxErrSize; logWD > 7 → opxErrBadArg; bitDepth outside 8..14 →
 * opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiBidirWeight_H264_16u_P2P1R(const OpxBidir16u* pBidir, Opx32u logWD,
                                                   Opx32s weight1, Opx32s offset1,
                                                   Opx32s weight2,
                                                   Opx32s offset2) OPXVC_NOEXCEPT;

/** Implicit weighting of 16-bit blocks; checks as opxiBidirWeight_H264_16u_P2P1R (no logWD). */
OPXVC_API OpxResult opxiBidirWeightImplicit_H264_16u_P2P1R(const OpxBidir16u* pBidir,
                                                           Opx32s weight1,
                                                           Opx32s weight2) OPXVC_NOEXCEPT;

/**
 * Rounded average (s1 + s2 + 1) >> 1 of 16-bit blocks; bitDepth is not used. Checks: record or
 * any of its pointers null → opxErrNullPtr; width outside 2..16 → opxErrSize; height outside
 * 2..16 → opxErrSize; no step check.
 */
OPXVC_API OpxResult opxiBidir_H264_16u_P2P1R(const OpxBidir16u* pBidir) OPXVC_NOEXCEPT;

/**
 * Weighted average in place: pSrcDst = Clip(((s1·weight1 + d·weight2 + 2^(shift−1)) >> shift)
 * + offset), d the sample of pSrcDst; shift ≤ 0 means no shift and no rounding term. Checks:
 * pSrc1 or pSrcDst null → opxErrNullPtr; srcDstStep < width → opxErrStep; sizes →
 * opxErrSize; shift > 30 → opxErrBadArg.
 */
OPXVC_API OpxResult opxiWeightedAverage_H264_8u_C1IR(const Opx8u* pSrc1, Opx8u* pSrcDst,
                                                     Opx32s srcDstStep, Opx32s weight1,
                                                     Opx32s weight2, Opx32s shift, Opx32s offset,
                                                     OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/* ==== END H.264 WEIGHTED PREDICTION ==== */

/* ==== H.264 DEBLOCKING ==== */

/*
 * In-loop deblocking of the edges of one macroblock, in place (H.264 clause 8.7). The plane
 * pointer addresses the macroblock's top-left sample; steps are signed, in bytes for 8u and in
 * samples for 16u. Vertical-edge functions filter the left macroblock edge (edge 0) and then the
 * internal edges left to right, lines top to bottom; horizontal-edge functions filter edges top
 * to bottom, sample columns left to right; every line reads what earlier edges of the call
 * wrote. Edge 0 uses pAlpha[0] and pBeta[0], the internal edges [1].
 *
 * Arrays: pBs[4e + k] is the bS of luma edge e, segment k (four lines); pThresholds holds tC0 in
 * the same layout (16 entries for luma and 4:2:2 horizontal chroma, 8 for the other chroma
 * forms). 4:2:0 chroma filters chroma columns or rows 0 and 4 with bS [0..3] and [8..11], two
 * lines per bS; 4:2:2 vertical chroma filters columns 0 and 4 over 16 rows with bS [0..3] and
 * [8..11], four lines per bS; 4:2:2 horizontal chroma filters rows 0, 4, 8 and 12 with bS
 * [4c..4c+3], two columns per bS. In the interleaved (C2) forms a chroma column is two bytes
 * (Cb, Cr), both filtered with the same values.
 *
 * bS, alpha, beta and tC0 are not range-checked; any values are safe. bS 0 leaves a line
 * unchanged, 1..3 select the normal filter, 4 (and above) the strong one; except that the
 * horizontal 4:2:2 chroma functions (8u and 16u) and the 16u 4:2:0 horizontal chroma function
 * take an edge whose first bS is 4 as all 4, and the interleaved functions use the strong
 * filter only when all four bS of an edge are 4 (otherwise the normal filter with each
 * segment's tC0 wherever bS is non-zero). The 16u functions use alpha, beta and tC0 as passed
 * and clamp results to 0..2^bitDepth − 1, with bitDepth taken as 8 when below 8 and as 14 when
 * above 14.
 *
 * The only error is opxErrNullPtr, for a null required pointer (nothing is changed).
 */

/** Parameters of the record-based 8-bit functions. */
typedef struct OpxDeblock8u {
    Opx8u* pSrcDstPlane;
    Opx32s srcDstStep;
    const Opx8u* pAlpha;
    const Opx8u* pBeta;
    const Opx8u* pThresholds;
    const Opx8u* pBs;
} OpxDeblock8u;

/** Parameters of the 16-bit functions (step in samples). */
typedef struct OpxDeblock16u {
    Opx16u* pSrcDstPlane;
    Opx32s srcDstStep;
    const Opx16u* pAlpha;
    const Opx16u* pBeta;
    const Opx16u* pThresholds;
    const Opx8u* pBs;
    Opx32s bitDepth;
} OpxDeblock16u;

/**
 * Luma edges of a macroblock, 8-bit (vertical: columns 0, 4, 8, 12; horizontal: rows 0, 4, 8,
 * 12). Returns opxErrNullPtr when any of the five pointers is null.
 */
OPXVC_API OpxResult opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;

/**
 * 4:2:0 chroma edges of one chroma plane (C1IR) or of an interleaved CbCr plane (C2IR, C2I),
 * 8-bit. Returns opxErrNullPtr when any of the five pointers (the record and its five
 * pointers for C2I) is null.
 */
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C2IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, const Opx8u* pAlpha, const Opx8u* pBeta,
    const Opx8u* pThresholds, const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_H264_8u_C2I(const OpxDeblock8u* pDeblock)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_H264_8u_C2I(const OpxDeblock8u* pDeblock)
    OPXVC_NOEXCEPT;

/**
 * 4:2:2 chroma edges of one chroma plane, 8-bit. Returns opxErrNullPtr when the record or any
 * of its five pointers is null.
 */
OPXVC_API OpxResult opxiFilterDeblockingChroma422VerEdge_H264_8u_C1IR(
    const OpxDeblock8u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR(
    const OpxDeblock8u* pDeblock) OPXVC_NOEXCEPT;

/**
 * MBAFF vertical edge at column 0 with single thresholds, 8-bit: 8 luma rows (row r uses
 * pBs[r >> 1] and pThresholds[r >> 1]) or 4 chroma rows (row r uses entry r). Returns
 * opxErrNullPtr when pSrcDst, pThresholds or pBs is null.
 */
OPXVC_API OpxResult opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, Opx32u nAlpha, Opx32u nBeta, const Opx8u* pThresholds,
    const Opx8u* pBs) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_MBAFF_H264_8u_C1IR(
    Opx8u* pSrcDst, Opx32s srcDstStep, Opx32u nAlpha, Opx32u nBeta, const Opx8u* pThresholds,
    const Opx8u* pBs) OPXVC_NOEXCEPT;

/**
 * 16-bit luma and chroma edges; the MBAFF forms filter one vertical edge (8 luma or 4 chroma
 * rows) with pAlpha[0] and pBeta[0]. Returns opxErrNullPtr when the record or any of its five
 * pointers is null.
 */
OPXVC_API OpxResult opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingLumaHorEdge_H264_16u_C1IR(const OpxDeblock16u* pDeblock)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingLumaVerEdgeMBAFF_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChromaVerEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChromaVerEdgeMBAFF_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma422VerEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma422HorEdge_H264_16u_C1IR(
    const OpxDeblock16u* pDeblock) OPXVC_NOEXCEPT;

/* ==== END H.264 DEBLOCKING ==== */

#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
