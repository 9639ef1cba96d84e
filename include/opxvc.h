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

/*
 * Block distortion measures for motion search. pSrc/srcStep is the current block, pRef/refStep
 * the candidate; steps are signed byte distances between rows for 8-bit and 16-bit samples
 * alike (negative steps are allowed except where a function says otherwise). No alignment is
 * required. Nothing but the result variables is written, and nothing at all when a check fails.
 *
 * Half-sample candidates (mcType): only mcType >> 2 selects the candidate, so 1..3 act as 0,
 * 5 as 4, 13 as 12:
 *   0..3   the reference block itself;
 *   4..7   vertical half position,   (R[y][x] + R[y+1][x] + 1) >> 1;
 *   8..11  horizontal half position, (R[y][x] + R[y][x+n] + 1) >> 1;
 *   12..15 both, (R[y][x] + R[y][x+n] + R[y+1][x] + R[y+1][x+n] + 2) >> 2;
 * rounding is always half up; n = 1 (n = 2 in the two-channel C2R form). A vertical or both
 * position reads one row below the block, a horizontal or both position n columns to its right.
 * Any other mcType (negative or above 15) writes nothing and returns opxWrnNothingDone; this
 * holds for every function that takes mcType.
 *
 * 16-bit samples (16u forms) are image samples of at most 15 significant bits (14 for mcType
 * 12..15 in the interpolating forms); the 16u functions of this library are nevertheless exact
 * for any 16-bit values: differences, interpolation and sums are formed without wrapping.
 */

/**
 * SAD (sum of absolute differences, 32-bit) of a 16×16, 16×8 or 8×8 block against the
 * candidate at mcType.
 * Returns opxErrNullPtr if pSrc, pRef or pSAD is null; opxWrnNothingDone if mcType is outside
 * 0..15; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                       Opx32s refStep, Opx32s* pSAD,
                                       Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSAD,
                                          Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSAD,
                                         Opx32s mcType) OPXVC_NOEXCEPT;

/**
 * SAD of an 8×16, 8×4, 4×8 or 4×4 block against the reference block (integer position).
 * Returns opxErrNullPtr if pSrc, pRef or pSAD is null; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD8x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD8x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD4x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD4x4_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                     Opx32s refStep, Opx32s* pSAD) OPXVC_NOEXCEPT;

/**
 * SAD of 16-bit samples (16×16, 8×8, 4×4) against the candidate at mcType.
 * Returns opxErrNullPtr if pSrc, pRef or pSAD is null; opxWrnNothingDone if mcType is outside
 * 0..15; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD16x16_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                            const Opx16u* pRef, Opx32s refStep, Opx32s* pSAD,
                                            Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD8x8_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                          Opx32s refStep, Opx32s* pSAD,
                                          Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                          Opx32s refStep, Opx32s* pSAD,
                                          Opx32s mcType) OPXVC_NOEXCEPT;

/**
 * SADs of a block of 8 interleaved sample pairs (16 bytes) × 8 rows against the candidate at
 * mcType (horizontal neighbour: the next sample of the same channel, 2 bytes on): *pSAD0 for the
 * even bytes, *pSAD1 for the odd bytes.
 * Returns opxErrNullPtr if pSrc, pRef, pSAD0 or pSAD1 is null; opxErrStep if srcStep < 1 or
 * refStep < 1; opxWrnNothingDone if mcType is outside 0..15; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD8x8_8u32s_C2R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSAD0, Opx32s* pSAD1,
                                         Opx32s mcType) OPXVC_NOEXCEPT;

/**
 * SADs of a 16×16, 8×8, 4×4 or 2×2 block against a row of horizontally adjacent candidates:
 * with M = N rounded down to a multiple of 8, pSAD[i] (unsigned 16-bit; a 16×16 SAD is at most
 * 65280) is the SAD against the block at pRef + i, i = 0..M−1. The reference is read for M − 1
 * columns beyond the block's width. The xNI forms also write to *pMinIndex the smallest i with
 * the least pSAD[i].
 * Returns opxErrNullPtr if pSrc, pRef, pSAD (or pMinIndex) is null; opxErrSize if M < 1 (N < 8,
 * negative N included); otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD16x16xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                             const Opx8u* pRef, Opx32s refStep, Opx16u* pSAD,
                                             Opx32s N) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD8x8xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx16u* pSAD, Opx32s N) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD4x4xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx16u* pSAD, Opx32s N) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD2x2xN_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx16u* pSAD, Opx32s N) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD16x16xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                              const Opx8u* pRef, Opx32s refStep, Opx16u* pSAD,
                                              Opx32s N, Opx32s* pMinIndex) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD8x8xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                            Opx32s refStep, Opx16u* pSAD, Opx32s N,
                                            Opx32s* pMinIndex) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD4x4xNI_8u16u_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                            Opx32s refStep, Opx16u* pSAD, Opx32s N,
                                            Opx32s* pMinIndex) OPXVC_NOEXCEPT;

/**
 * SADs of the four 8×8 or sixteen 4×4 sub-blocks of a 16×16 block, in raster order of the
 * sub-blocks (left to right, then top to bottom): pDstSAD[4] or pDstSAD[16].
 * Returns opxErrNullPtr if pSrc, pRef or pDstSAD is null; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAD16x16Blocks8x8_8u16u(const Opx8u* pSrc, Opx32s srcStep,
                                                const Opx8u* pRef, Opx32s refStep,
                                                Opx16u* pDstSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD16x16Blocks4x4_8u16u(const Opx8u* pSrc, Opx32s srcStep,
                                                const Opx8u* pRef, Opx32s refStep,
                                                Opx16u* pDstSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD16x16Blocks8x8_16u32u_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                     const Opx16u* pRef, Opx32s refStep,
                                                     Opx32u* pDstSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAD16x16Blocks4x4_16u32u_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                     const Opx16u* pRef, Opx32s refStep,
                                                     Opx32u* pDstSAD) OPXVC_NOEXCEPT;

/**
 * SATD: the block is split into 4×4 sub-blocks; each difference block D = S − R is transformed
 * by the 4×4 Hadamard matrix on both sides and the absolute values of its 16 coefficients are
 * summed, unscaled; *pSATD is the sum over all sub-blocks (at most 65280 per sub-block).
 * Returns opxErrNullPtr if pSrc, pRef or pSATD is null; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSATD16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                            Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD8x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD8x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD4x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSATD4x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;

/**
 * SAT8x8D: D = S − R over the 8×8 block, transformed by the 8×8 Hadamard matrix on both sides;
 * *pSATD is the sum of the absolute values of the 64 coefficients, unscaled. The 16u form is
 * exact for any 16-bit samples.
 * Returns opxErrNullPtr if pSrc, pRef or pSATD is null; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSAT8x8D_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                          Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSAT8x8D_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep, const Opx16u* pRef,
                                           Opx32s refStep, Opx32s* pSATD) OPXVC_NOEXCEPT;

/**
 * SSD: sum of squared differences (32-bit) of an 8×8 or 4×4 block against the candidate at
 * mcType.
 * Returns opxErrNullPtr if pSrc, pRef or pSSD is null; opxWrnNothingDone if mcType is outside
 * 0..15; otherwise opxOk.
 */
OPXVC_API OpxResult opxiSSD8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSSD,
                                         Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSSD4x4_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                         Opx32s refStep, Opx32s* pSSD,
                                         Opx32s mcType) OPXVC_NOEXCEPT;

/**
 * Frame and field activity of a 16×16 block with rows r0..r15, each row difference summed over
 * its 16 samples: frame = Σ |r_y − r_{y+1}| for y = 0..6 and 8..14 (rows 7 and 8 are not
 * paired), field = Σ |r_y − r_{y+2}| for y = 0..13. The 8u sums are at most 57120. The 16s form
 * takes each difference and its absolute value in wrapping 16-bit arithmetic (|−32768| is
 * 32768), and both sums modulo 2^16; *pFrameSAD and *pFieldSAD receive them zero-extended,
 * 0..65535.
 * Returns opxErrNullPtr if pSrc, pFrameSAD or pFieldSAD is null; otherwise opxOk.
 */
OPXVC_API OpxResult opxiFrameFieldSAD16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                     Opx32s* pFrameSAD,
                                                     Opx32s* pFieldSAD) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFrameFieldSAD16x16_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                      Opx32s* pFrameSAD,
                                                      Opx32s* pFieldSAD) OPXVC_NOEXCEPT;

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

/* ==== END H.264 WEIGHTED PREDICTION ==== */

/* ==== H.264 DEBLOCKING ==== */

/* ==== END H.264 DEBLOCKING ==== */

#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
