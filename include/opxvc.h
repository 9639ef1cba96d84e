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

/*
 * Common rules of the block primitives. Blocks have the fixed size in the name (width x height,
 * in bytes for 8-bit blocks). Every step is a signed byte distance between rows, for 8-bit and
 * 16-bit blocks alike; steps may be negative and are not checked; no alignment is required.
 *
 * Half-sample prediction P of sample (x, y) from reference R, rounding bit r (0 = round half up,
 * 1 = round half down):
 *   integer position   R[y][x]
 *   horizontal half    (R[y][x] + R[y][x+n] + 1 - r) >> 1
 *   vertical half      (R[y][x] + R[y+1][x] + 1 - r) >> 1
 *   both               (R[y][x] + R[y][x+n] + R[y+1][x] + R[y+1][x+n] + 2 - r) >> 2
 * n = 1, or 2 for interleaved two-component chroma rows (MC16x8UV, MC16x8BUV, MC16x4, MC16x4B,
 * the P2C2R forms: first component in even bytes, second in odd bytes). A horizontal or
 * both-direction prediction reads n bytes beyond each row, a vertical or both-direction
 * prediction one row below the block.
 *
 * acc: bit 0 horizontal half, bit 1 vertical half; other bits ignored. rounding: bit 0 is r.
 * mcType: 0 integer, 4 vertical half, 8 horizontal half, 12 both; bits other than 2 and 3 are
 * ignored. roundControl: bit 0 is r, in every MC function (the 2- and 4-wide ones included).
 *
 * Rows are processed in order, each read before it is written, so destination rows that overlap
 * (a step smaller than the row) hold the result of the last row written.
 *
 * Results are clamped to 0..255. The MC functions add residuals exactly; opxiAdd8x8_16s8u_C1IRS,
 * opxiAdd8x8HP_16s8u_C1RS and opxiAddC8x8_16s8u_C1IR form the sum modulo 2^16, read it as a
 * signed 16-bit value and then clamp (200 + 32700 gives 0).
 *
 * Every function returns opxErrNullPtr when a pointer argument is null (nothing is written),
 * otherwise opxOk.
 */

/** Copies an 8x8 or 16x16 block. */
OPXVC_API OpxResult opxiCopy8x8_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                       Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                         Opx32s dstStep) OPXVC_NOEXCEPT;

/** pDst = half-sample prediction from pSrc at position acc with rounding bit (rounding & 1). */
OPXVC_API OpxResult opxiCopy8x8HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                         Opx32s dstStep, Opx32s acc,
                                         Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x16HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                           Opx32s dstStep, Opx32s acc,
                                           Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x8HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                          Opx32s dstStep, Opx32s acc,
                                          Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy8x4HP_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                         Opx32s dstStep, Opx32s acc,
                                         Opx32s rounding) OPXVC_NOEXCEPT;

/** pDst = (pSrc1 + pSrc2 + 1) >> 1. */
OPXVC_API OpxResult opxiAverage8x8_8u_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                          Opx32s src2Step, Opx8u* pDst,
                                          Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiAverage16x16_8u_C1R(const Opx8u* pSrc1, Opx32s src1Step, const Opx8u* pSrc2,
                                            Opx32s src2Step, Opx8u* pDst,
                                            Opx32s dstStep) OPXVC_NOEXCEPT;

/** pSrcDst = (pSrc + pSrcDst + 1) >> 1. */
OPXVC_API OpxResult opxiAverage8x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                           Opx32s srcDstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiAverage16x16_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst,
                                             Opx32s srcDstStep) OPXVC_NOEXCEPT;

/**
 * pSrcDst = (P + pSrcDst + 1) >> 1, P the half-sample prediction from pSrc at position acc with
 * rounding bit (rounding & 1). The final average always rounds half up.
 */
OPXVC_API OpxResult opxiInterpolateAverage16x16_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep,
                                                        Opx8u* pSrcDst, Opx32s srcDstStep,
                                                        Opx32s acc, Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateAverage16x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep,
                                                       Opx8u* pSrcDst, Opx32s srcDstStep,
                                                       Opx32s acc, Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateAverage8x8_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep,
                                                      Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s acc,
                                                      Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateAverage8x4_8u_C1IR(const Opx8u* pSrc, Opx32s srcStep,
                                                      Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s acc,
                                                      Opx32s rounding) OPXVC_NOEXCEPT;

/** pSrcDst = clamp(pSrcDst + pResidual), 16-bit wrapping sum. */
OPXVC_API OpxResult opxiAdd8x8_16s8u_C1IRS(const Opx16s* pResidual, Opx32s residualStep,
                                           Opx8u* pSrcDst, Opx32s srcDstStep) OPXVC_NOEXCEPT;

/**
 * pDst = clamp(P + pResidual), 16-bit wrapping sum, P the half-sample prediction from pRef at
 * position acc with rounding bit (rounding & 1).
 */
OPXVC_API OpxResult opxiAdd8x8HP_16s8u_C1RS(const Opx16s* pResidual, Opx32s residualStep,
                                            const Opx8u* pRef, Opx32s refStep, Opx8u* pDst,
                                            Opx32s dstStep, Opx32s acc,
                                            Opx32s rounding) OPXVC_NOEXCEPT;

/** Every sample of the 8x8 block = clamp(sample + value), 16-bit wrapping sum. */
OPXVC_API OpxResult opxiAddC8x8_16s8u_C1IR(Opx16s value, Opx8u* pSrcDst,
                                           Opx32s srcDstStep) OPXVC_NOEXCEPT;

/**
 * Motion compensation, one prediction: pDst = clamp(P + pResidual), P the half-sample prediction
 * from pRef at mcType with r = roundControl & 1. The residual block has the destination's shape
 * (one Opx16s per destination byte). MC16x8UV and MC16x4 work on interleaved chroma (n = 2).
 */
OPXVC_API OpxResult opxiMC16x16_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                      Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                      Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                     Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                     Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x16_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                     Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                     Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x8_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x2_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC2x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC2x2_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                    Opx32s residualStep, Opx8u* pDst, Opx32s dstStep, Opx32s mcType,
                                    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x8UV_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                       Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                       Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x4_8u_C1(const Opx8u* pRef, Opx32s refStep, const Opx16s* pResidual,
                                     Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                     Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;

/**
 * Motion compensation, two predictions: pDst = clamp(((PF + PB + 1) >> 1) + pResidual), PF from
 * pRefF at mcTypeF and PB from pRefB at mcTypeB, both with r = roundControl & 1; the average of
 * the two always rounds half up. MC16x8BUV and MC16x4B work on interleaved chroma (n = 2).
 */
OPXVC_API OpxResult opxiMC16x16B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                       const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                       const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                       Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                      const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                      const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                      Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x16B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                      const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                      const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                      Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x8B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC4x2B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC2x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC2x2B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                     const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                     const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                     Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x8BUV_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                        const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                        const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                        Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC16x4B_8u_C1(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                      const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                      const Opx16s* pResidual, Opx32s residualStep, Opx8u* pDst,
                                      Opx32s dstStep, Opx32s roundControl) OPXVC_NOEXCEPT;

/**
 * Motion compensation into interleaved chroma (8 sample pairs = 16 bytes wide, 8 or 4 rows, n = 2)
 * from two planar 8-wide residual blocks sharing residualStep: sample i of a row of pResidualU is
 * added at destination byte 2i, of pResidualV at byte 2i + 1. Arithmetic as opxiMC8x8_8u_C1
 * (one prediction) and opxiMC8x8B_8u_C1 (two predictions).
 */
OPXVC_API OpxResult opxiMC8x8_16s8u_P2C2R(const Opx8u* pRef, Opx32s refStep,
                                          const Opx16s* pResidualU, const Opx16s* pResidualV,
                                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                          Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x4_16s8u_P2C2R(const Opx8u* pRef, Opx32s refStep,
                                          const Opx16s* pResidualU, const Opx16s* pResidualV,
                                          Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                          Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x8B_16s8u_P2C2R(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                           const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                           const Opx16s* pResidualU, const Opx16s* pResidualV,
                                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                           Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMC8x4B_16s8u_P2C2R(const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                           const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                           const Opx16s* pResidualU, const Opx16s* pResidualV,
                                           Opx32s residualStep, Opx8u* pDst, Opx32s dstStep,
                                           Opx32s roundControl) OPXVC_NOEXCEPT;

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

/*
 * Word reading cursor (all functions of this section): *ppBitStream points to the Opx32u word
 * that holds the next unread bit, *pOffset is that bit's number (31 = word untouched, 0 = only
 * bit 0 left); the earliest stream bit of a word is bit 31. On return the cursor stands just
 * behind the last bit consumed. A field that ends on bit 0 of a word loads the following word,
 * so the word after the last bit read must be readable.
 *
 * VLC lookup table (an Opx32s array): entry 0 holds the root index width w; entries 1 .. 2^w are
 * the root table. An entry's low byte is its code byte, its upper 24 bits (arithmetic shift) the
 * payload. Code byte bit 7 set: a link, the payload is the index of a sub-table whose first entry
 * holds its own index width. Otherwise the entry is final: the payload is the decoded value and
 * the code byte the number of bits to give back. Payload 0xF0F1 marks an invalid code. Index
 * widths outside 1..32 found in a table are invalid codes too.
 */

/**
 * Builds a VLC lookup table from a code list, in memory from opxMalloc; release it with
 * opxiHuffmanTableFree_32s.
 *
 * Code list (Opx32s): [0] not read; [1] N >= 1 levels; [2..N+1] index widths (1..16) of the
 * root and of the sub-tables of each further level, adding up to at least the longest code;
 * then for code length L = 1, 2, ...: a count n_L >= 0 and n_L records, the list ending with a
 * negative count. A record is (code, value) for opxiHuffmanTableInitAlloc_32s, the payload being
 * the value (low 24 bits kept), or (code, run, level) for opxiHuffmanRunLevelTableInitAlloc_32s,
 * the payload being (level << 8) | (run & 255) (low 16 bits of the level kept). Codes are
 * right-aligned, at most 32 bits long, fit their length and form a prefix-free set. Sub-tables
 * are placed in list order; every entry that begins no code holds 0x00F0F101.
 *
 * Checks: pCodeList or ppTable null: opxErrNullPtr. A malformed list (N < 1, a width outside
 * 1..16, a non-empty length above 32, a code that does not fit its length, widths that do not
 * cover the longest code, a code that is a prefix of another or repeated, a table of more than
 * 2^23 - 1 entries, which links cannot address): opxErrBadArg. Allocation failure:
 * opxErrMemAlloc. *ppTable is set to null on every result other than opxOk (also on the
 * null-pointer error when ppTable is valid).
 */
OPXVC_API OpxResult opxiHuffmanTableInitAlloc_32s(const Opx32s* pCodeList,
                                                  Opx32s** ppTable) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiHuffmanRunLevelTableInitAlloc_32s(const Opx32s* pCodeList,
                                                          Opx32s** ppTable) OPXVC_NOEXCEPT;

/** Releases a table built by the two functions above. pTable null: opxErrNullPtr. */
OPXVC_API OpxResult opxiHuffmanTableFree_32s(Opx32s* pTable) OPXVC_NOEXCEPT;

/**
 * Decodes one code with a VLC lookup table.
 *
 * One: *pValue receives the payload. On an invalid code *pValue receives 61681 (0xF0F1), the
 * result is opxErrH264VlcCode and the cursor stays where the table walk stopped.
 * Pair: *pRun receives payload bits 7..0, *pLevel payload bits 23..8 (run/level tables). On an
 * invalid code the result is opxErrH264VlcCode, the cursor is as on entry and nothing is written.
 *
 * Checks: a null pointer argument or a null *ppBitStream: opxErrNullPtr; *pOffset outside 0..31:
 * opxErrBadArg.
 */
OPXVC_API OpxResult opxiDecodeHuffmanOne_1u32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                               Opx32s* pValue,
                                               const Opx32s* pTable) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeHuffmanPair_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                const Opx32s* pTable, Opx8u* pRun,
                                                Opx16s* pLevel) OPXVC_NOEXCEPT;

/**
 * Decodes the CAVLC residual of one H.264 4×4 block (clause 9.2) and stores it as a dense block
 * of 16 coefficients in raster order at *ppDstCoeffs, through pScanMatrix (scan position ->
 * raster index; entries are used modulo 16). *pNumCoeff receives TotalCoeff. A block with
 * TotalCoeff 0 writes nothing else; otherwise the whole block is written and *ppDstCoeffs
 * advances by 16.
 *
 * uVLCSelect is nC: 0..7 walk ppTblCoeffToken[0] (0 <= nC < 2), [1] (2 <= nC < 4) or [2]
 * (4 <= nC < 8); 8 and above read the 6-bit fixed-length code. The payload of a coeff_token
 * table is TotalCoeff * 256 + TrailingOnes, of ppTblTotalZeros[TotalCoeff] total_zeros, of
 * ppTblRunBefore[zerosLeft] run_before (1 <= zerosLeft <= 15; entries 7..15 hold the
 * zerosLeft > 6 table). coeffLimit is 16 for a block with its DC coefficient, 15 for an AC-only
 * block (scan positions 1..15).
 *
 * The range form decodes the coefficients of scan positions startIdx..endIdx; its sixth argument
 * is maxNumCoeff = endIdx - startIdx + 1. Below 16 the decoded (TotalCoeff, TrailingOnes) pair
 * is remapped to the pairs allowed for maxNumCoeff coefficients, and below 15 total_zeros is
 * decoded with ppTblTotalZeros[tzVlcIndex] (the 2×2 chroma DC tables for maxNumCoeff < 5, the
 * 2×4 chroma DC tables for 5..8, the 4×4 tables for 9..14).
 *
 * Level values are held in 16 bits during decoding in the 16-bit outputs (a level of 32768 is
 * stored as -32768); the 32-bit form decodes levels at full precision (high bit depths).
 *
 * Checks, in order: a null pointer argument, or a null *ppBitStream or *ppDstCoeffs:
 * opxErrNullPtr; *pOffset outside 0..31: opxErrBadArg; coeffLimit other than 15 or 16 (not the
 * range form): opxErrOutOfRange; uVLCSelect negative: opxErrOutOfRange; range form: startIdx,
 * endIdx outside 0 <= startIdx <= endIdx <= 15: opxErrOutOfRange, maxNumCoeff other than
 * endIdx - startIdx + 1: opxErrBadArg. During decoding, a table that is needed found null:
 * opxErrNullPtr, the cursor left where the decoding brought it.
 *
 * Invalid codes: opxErrH264VlcCode with the cursor restored to its entry state. Invalid are
 * codes missing from a table, a coeff_token with TrailingOnes above 3 or above TotalCoeff or
 * with TotalCoeff above the block's capacity (or, in the range form, with no allowed pair to
 * remap to), more than 32 leading zeros in a level_prefix, a negative run_before, and a
 * total_zeros that is negative or leaves the last coefficient outside the block. After an
 * invalid total_zeros or run_before code, *pNumCoeff, the cleared block and the levels placed
 * so far stay written and *ppDstCoeffs is not advanced; the range form then leaves the cursor
 * where the failing table walk stopped.
 */
OPXVC_API OpxResult opxiDecodeCAVLCCoeffs_H264_1u16s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
    Opx32s uVLCSelect, Opx16s coeffLimit, const Opx32s** ppTblCoeffToken,
    const Opx32s** ppTblTotalZeros, const Opx32s** ppTblRunBefore,
    const Opx32s* pScanMatrix) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCAVLCCoeffs_H264_1u32s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx32s** ppDstCoeffs,
    Opx32s uVLCSelect, Opx16s coeffLimit, const Opx32s** ppTblCoeffToken,
    const Opx32s** ppTblTotalZeros, const Opx32s** ppTblRunBefore,
    const Opx32s* pScanMatrix) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
    Opx32s uVLCSelect, Opx16s maxNumCoeff, const Opx32s** ppTblCoeffToken,
    const Opx32s** ppTblTotalZeros, const Opx32s** ppTblRunBefore, const Opx32s* pScanMatrix,
    Opx32s startIdx, Opx32s endIdx) OPXVC_NOEXCEPT;

/**
 * Decodes the CAVLC residual of a chroma DC block: 2×2 (4:2:0, 4 coefficients c0..c3) or 2×4
 * (4:2:2, 8 coefficients in raster order of the 2-column by 4-row array; the k-th coefficient of
 * the decoding order goes to raster index 0, 2, 1, 4, 6, 3, 5, 7). pTblCoeffToken is the
 * nC = -1 (2×2) or nC = -2 (2×4) table; ppTblTotalZeros is indexed by TotalCoeff (1..3 or 1..7)
 * and ppTblRunBefore by zerosLeft. Output, results and invalid codes as for
 * opxiDecodeCAVLCCoeffs_H264_1u16s (block capacity 4 or 8).
 *
 * opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s serves the codes "1" + sign + total_zeros (TotalCoeff
 * 1) and "01" (TotalCoeff 0) without tables, and checks ppDstCoeffs, the tables and *ppDstCoeffs
 * for null only when it needs them.
 *
 * Checks, in order: a null pointer argument, or a null *ppBitStream or *ppDstCoeffs:
 * opxErrNullPtr; *pOffset outside 0..31: opxErrBadArg.
 */
OPXVC_API OpxResult opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
    const Opx32s* pTblCoeffToken, const Opx32s** ppTblTotalZeros,
    const Opx32s** ppTblRunBefore) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx32s** ppDstCoeffs,
    const Opx32s* pTblCoeffToken, const Opx32s** ppTblTotalZeros,
    const Opx32s** ppTblRunBefore) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx16s** ppDstCoeffs,
    const Opx32s* pTblCoeffToken, const Opx32s** ppTblTotalZeros,
    const Opx32s** ppTblRunBefore) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s(
    Opx32u** ppBitStream, Opx32s* pOffset, Opx16s* pNumCoeff, Opx32s** ppDstCoeffs,
    const Opx32s* pTblCoeffToken, const Opx32s** ppTblTotalZeros,
    const Opx32s** ppTblRunBefore) OPXVC_NOEXCEPT;

/**
 * Decodes one Exp-Golomb code (clause 9.1): ue(v) when isSigned is 0, se(v) otherwise. Codes
 * with more than 16 (16-bit form) or 31 (32-bit form) leading zeros, up to 32, are passed over
 * whole and give 0. The 16-bit form stores the value's low 16 bits.
 *
 * Checks, in order: a null pointer argument or a null *ppBitStream: opxErrNullPtr; *pOffset
 * outside 0..31: opxErrBadArg. More than 32 leading zeros: opxErrH264VlcCode, cursor as on
 * entry, nothing written.
 */
OPXVC_API OpxResult opxiDecodeExpGolombOne_H264_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                      Opx16s* pDst,
                                                      Opx8u isSigned) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeExpGolombOne_H264_1u32s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                      Opx32s* pDst,
                                                      Opx32s isSigned) OPXVC_NOEXCEPT;

/* ==== END VLC TABLES AND H.264 CAVLC DECODING ==== */

/* ==== H.264 INVERSE TRANSFORMS AND DEQUANTISATION ==== */

/*
 * Coefficient blocks are raster arrays (row = vertical frequency): 16 values for 4x4 blocks and
 * the luma DC array, 4 for the 2x2 chroma DC array, 8 for the 2x4 chroma DC array (2 columns by 4
 * rows), 64 for 8x8 blocks. AC is nonzero when a 4x4 block has coefficients besides the DC one;
 * pDC, when not null, supplies an already dequantised DC value that replaces coefficient 0.
 * Flat-style functions scale by qp alone; matrix-style functions take the level-scale array of
 * the current scaling matrix for qP % 6 (16 values for 4x4, 64 for 8x8; the DC functions read
 * element 0) or null for the flat default 16 x normAdjust4x4. Steps are in bytes.
 */

/**
 * Flat dequantisation and inverse 4x4 transform in place, the block addressed with a row step:
 * rows in 16-bit wrapping arithmetic, columns exact; with AC = 0 all 16 values become
 * (DC + 32) >> 6. Checks: pSrcDst null (opxErrNullPtr); qp outside 0..51 (opxErrOutOfRange);
 * step < 8 (opxErrStep).
 */
OPXVC_API OpxResult opxiDequantTransformResidual_H264_16s_C1I(Opx16s* pSrcDst, Opx32s step,
                                                              const Opx16s* pDC, Opx32s AC,
                                                              Opx32s qp) OPXVC_NOEXCEPT;

/**
 * Flat dequantisation, inverse 4x4 transform (16-bit saturating) and prediction added with
 * clamping to 0..255 into pDst. With AC nonzero the residuals are written back to pSrcDst; with
 * AC = 0 the DC residual alone is added and pSrcDst is not written.
 * Checks: pPred or pDst null (opxErrNullPtr); qp outside 0..51 (opxErrOutOfRange); pSrcDst null
 * unless pDC is given and AC is 0 (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiDequantTransformResidualAndAdd_H264_16s_C1I(
    const Opx8u* pPred, Opx16s* pSrcDst, const Opx16s* pDC, Opx8u* pDst, Opx32s predStep,
    Opx32s dstStep, Opx32s qp, Opx32s AC) OPXVC_NOEXCEPT;

/**
 * SP/SI reconstruction of a 4x4 block (H.264 clause 8.6): pSrcDst holds the levels in and the
 * reconstructed samples (0..255) out; pPredictBlock holds the forward 4x4 transform of the
 * prediction. switching = 0 (SP, clause 8.6.1): levels dequantised with qp, added to the
 * prediction, requantised and dequantised with qs. switching != 0 (SI and switching SP, clause
 * 8.6.2): the prediction is quantised with qs and added to the levels, then dequantised with qs.
 * Checks: pSrcDst or pPredictBlock null (opxErrNullPtr); qp, then qs, outside 0..51
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiDequantTransformResidual_SISP_H264_16s_C1I(
    Opx16s* pSrcDst, const Opx16s* pPredictBlock, const Opx16s* pDC, Opx32s AC, Opx32s qp,
    Opx32s qs, Opx32s switching) OPXVC_NOEXCEPT;

/**
 * Flat inverse transform and dequantisation of the 16 luma DC values of an Intra 16x16
 * macroblock (H.264 clause 8.5.10). Checks: pSrcDst null (opxErrNullPtr); qp outside 0..51
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformDequantLumaDC_H264_16s_C1I(Opx16s* pSrcDst,
                                                            Opx32s qp) OPXVC_NOEXCEPT;

/**
 * Flat inverse transform and dequantisation of the 2x2 chroma DC array (H.264 clause 8.5.11).
 * Checks: pSrcDst null (opxErrNullPtr); qp outside 0..51 (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformDequantChromaDC_H264_16s_C1I(Opx16s* pSrcDst,
                                                              Opx32s qp) OPXVC_NOEXCEPT;

/**
 * SP/SI chroma DC: combines the 2x2 DC levels with the DC array of the prediction's transforms
 * (pDCPredict), requantises with qs (in the level domain when switching != 0, H.264 clause
 * 8.6.2) and returns the four dequantised DC values, the pDC inputs of the blocks' SISP calls.
 * Checks: pSrcDst or pDCPredict null (opxErrNullPtr); qp, then qs, outside 0..51
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformDequantChromaDC_SISP_H264_16s_C1I(
    Opx16s* pSrcDst, const Opx16s* pDCPredict, Opx32s qp, Opx32s qs,
    Opx32s switching) OPXVC_NOEXCEPT;

/**
 * Matrix-style dequantisation (H.264 clause 8.5.12.1), inverse 4x4 transform and prediction
 * added with clamping. 16s: 16-bit saturating, samples 0..255. 32s: 32-bit arithmetic, samples
 * 0..(1 << bitDepth) - 1. With AC nonzero the residuals are written back to pSrcDst; with AC = 0
 * only the DC value is used and pSrcDst is not written.
 * Checks 16s: pPred, pSrcDst or pDst null (opxErrNullPtr); qp outside 0..51 (opxErrOutOfRange).
 * Checks 32s: pPred, pSrcDst or pDst null (opxErrNullPtr); qp outside 0..87 or bitDepth outside
 * 9..14 (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(
    const Opx8u* pPred, Opx32s predStep, Opx16s* pSrcDst, const Opx16s* pDC, Opx8u* pDst,
    Opx32s dstStep, Opx32s qp, Opx32s AC, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
    const Opx16u* pPred, Opx32s predStep, Opx32s* pSrcDst, const Opx32s* pDC, Opx16u* pDst,
    Opx32s dstStep, Opx32s qp, Opx32s AC, Opx32s bitDepth,
    const Opx16s* pLevelScale) OPXVC_NOEXCEPT;

/**
 * Matrix-style inverse transform and dequantisation of chroma DC arrays (H.264 clause
 * 8.5.11.2): 2x2 (4:2:0) and 2x4 (4:2:2; the function uses qP = qp + 3, so pLevelScale must be
 * the array for (qp + 3) % 6, and the flat default is taken for (qp + 3) % 6).
 * Checks: pSrcDst null (opxErrNullPtr); qp outside 0..39 (16s) or 0..75 (32s)
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantInvChromaDC2x2_H264_16s_C1I(
    Opx16s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantInvChromaDC2x2_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantInvChromaDC2x4_H264_16s_C1I(
    Opx16s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantInvChromaDC2x4_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;

/**
 * Matrix-style inverse transform and dequantisation of the 16 luma DC values (H.264 clause
 * 8.5.10); 16-bit saturating (16s) or 32-bit (32s) arithmetic.
 * Checks: pSrcDst null (opxErrNullPtr); qp outside 0..51 (16s) or 0..87 (32s)
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantInvLumaDC4x4_H264_16s_C1I(
    Opx16s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantInvLumaDC4x4_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s qp, const Opx16s* pLevelScale) OPXVC_NOEXCEPT;

/**
 * Inverse 4x4 transform (H.264 clause 8.5.12.2) of dequantised coefficients from pSrc into pDst;
 * 16-bit saturating (16s) or 32-bit (32s) arithmetic. Checks: either null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransformResidual4x4Inv_H264_16s_C1(const Opx16s* pSrc,
                                                            Opx16s* pDst) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformResidual4x4Inv_H264_32s_C1(const Opx32s* pSrc,
                                                            Opx32s* pDst) OPXVC_NOEXCEPT;

/**
 * Inverse 8x8 transform (H.264 clause 8.5.13.2) of 64 dequantised coefficients plus the
 * prediction, clamped into pDst; the coefficients are left as they were. 16s8u: 16-bit
 * saturating, samples 0..255. 32s16u: 32-bit, samples 0..(1 << bitDepth) - 1.
 * Checks: pPred, pSrcDst or pDst null (opxErrNullPtr); 32s16u: bitDepth outside 9..14
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(
    const Opx8u* pPred, Opx32s predStep, Opx16s* pSrcDst, Opx8u* pDst,
    Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R(
    const Opx16u* pPred, Opx32s predStep, Opx32s* pSrcDst, Opx16u* pDst, Opx32s dstStep,
    Opx32s bitDepth) OPXVC_NOEXCEPT;

/**
 * 8x8 dequantisation in place (H.264 clause 8.5.13.1) with the 64 level-scale values for qP % 6
 * and qp6 = qP / 6. 16s: 16-bit results (saturated below qp6 6). 32s: the exact product of the
 * 32-bit coefficient and the level scale, the result kept in 32 bits.
 * Checks: pSrcDst or pLevelScale null (opxErrNullPtr); qp6 outside 0..8 (16s) or 0..14 (32s)
 * (opxErrQp).
 */
OPXVC_API OpxResult opxiQuantLuma8x8Inv_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp6,
                                                     const Opx16s* pLevelScale) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInvLuma8x8_H264_32s_C1I(Opx32s* pSrcDst, Opx32s qp6,
                                                     const Opx16s* pLevelScale) OPXVC_NOEXCEPT;

/* ==== END H.264 INVERSE TRANSFORMS AND DEQUANTISATION ==== */

/* ==== H.264 INTRA PREDICTION AND RECONSTRUCTION ==== */

/*
 * Intra prediction of 8-bit H.264 blocks in place (clause 8.3). pSrcDst is the block's top-left
 * sample; its neighbours are read from the picture around it, and only those marked available.
 * availability: 1 the row above, 2 the column to the left, 32 the sample above-left, 64 the
 * samples above-right.
 *
 * opxiPredictIntra_4x4_H264_8u_C1IR: modes 0..8 as the standard numbers them. Every mode is
 * predicted; a neighbour group the mode needs but lacks is taken as samples of 128 and the result
 * is opxWrnIntraPredUnavailable. Modes 3 and 7 complete missing samples above-right from the last
 * sample above (no warning); without the row above they count as missing too.
 * Checks: pSrcDst null (opxErrNullPtr); mode outside 0..8 (opxErrOutOfRange).
 *
 * opxiPredictIntra_16x16_H264_8u_C1IR: modes 0 vertical, 1 horizontal, 2 DC, 3 plane.
 * Checks: pSrcDst null (opxErrNullPtr); mode outside 0..3 (opxErrOutOfRange); a mode whose
 * neighbours are unavailable (vertical: above; horizontal: left; plane: above, left and
 * above-left) is refused with opxErrIntraPredUnavailable. DC never fails (128 without neighbours).
 *
 * opxiPredictIntraChroma8x8_H264_8u_C1IR: one 8×8 chroma block of 4:2:0; modes 0 DC (per 4×4
 * block), 1 horizontal, 2 vertical, 3 plane.
 * Checks: pSrcDst null (opxErrNullPtr); srcDstStep below 8 (opxErrStep); mode outside 0..3
 * (opxErrOutOfRange); neighbours unavailable as for 16×16 (opxErrIntraPredUnavailable).
 */
OPXVC_API OpxResult opxiPredictIntra_4x4_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                      Opx32s mode,
                                                      Opx32s availability) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiPredictIntra_16x16_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                        Opx32s mode,
                                                        Opx32s availability) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiPredictIntraChroma8x8_H264_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                           Opx32s mode,
                                                           Opx32s availability) OPXVC_NOEXCEPT;

/*
 * Luma macroblock reconstruction, 8-bit, in place: pSrcDst is the macroblock's (or the half's)
 * top-left sample, srcDstStep the picture's row step.
 *
 * Packed coefficient stream: *ppSrcDstCoeff points to the caller's Opx16s coefficients. Each
 * block marked coded takes the next 16 coefficients (64 for an 8×8 block, raster order within the
 * block); blocks not marked take nothing. On return *ppSrcDstCoeff stands after the last block
 * consumed. Consumed blocks serve as work space: their contents are undefined afterwards.
 *
 * cbp4x4: bit n + 1 marks 4×4 block n (luma4x4BlkIdx order) as coded; bit 0 marks the 16×16 DC
 * array (16×16 functions only, which take it first). Half functions: bit n marks block n = 0..7.
 * cbp8x8: bit k marks 8×8 block k (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right).
 * pMBIntraTypes: one mode (0..8) per block in block order (16, 8, 4 or 2 entries).
 * edgeType: 1 left macroblock unavailable, 4 upper, 16 upper-left, 32 upper-right.
 *
 * The older functions (IntraMB, InterMB, Intra16x16MB, IntraHalfMB) dequantise with the flat
 * scale of qp; the newer ones (4x4MB, 8x8MB, _16x16MB) with pQuantTable, the level-scale array of
 * the current scaling matrix for qp % 6 (16 entries, 64 for 8×8), and with bypassFlag nonzero and
 * qp 0 add the coefficients to the prediction untransformed (transform bypass).
 *
 * Results: 4×4 intra functions return opxWrnIntraPredUnavailable when some block needed a
 * neighbour group that was unavailable and took 128 for it; 8×8 intra functions substitute
 * silently (after completing missing samples above-right and filtering as clause 8.3.2.2 says);
 * 16×16 functions refuse a mode without its neighbours (opxErrIntraPredUnavailable) before
 * writing anything. A block mode outside 0..8 ends the call with opxErrOutOfRange when that block
 * is reached (blocks before it are done and their coefficients consumed).
 *
 * Checks, in order: ppSrcDstCoeff, pSrcDst, *ppSrcDstCoeff, pMBIntraTypes, pQuantTable null
 * (opxErrNullPtr); IntraHalfMB only: srcDstStep below 1 (opxErrStep); qp outside 0..51
 * (opxErrOutOfRange); 16×16 functions: intraPredMode outside 0..3 (opxErrOutOfRange), then its
 * neighbours unavailable (opxErrIntraPredUnavailable).
 */
OPXVC_API OpxResult opxiReconstructLumaInterMB_H264_16s8u_C1R(Opx16s** ppSrcDstCoeff,
                                                              Opx8u* pSrcDst, Opx32s srcDstStep,
                                                              Opx32u cbp4x4,
                                                              Opx32s qp) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraMB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s intraPredMode,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraHalfMB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaInter4x4MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, Opx32u cbp4x4, Opx32s qp,
    const Opx16s* pQuantTable, Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaInter8x8MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, Opx32u cbp8x8, Opx32s qp,
    const Opx16s* pQuantTable, Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType, const Opx16s* pQuantTable,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType, const Opx16s* pQuantTable,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp8x8, Opx32s qp, Opx8u edgeType, const Opx16s* pQuantTable,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32s* pMBIntraTypes,
    Opx32u cbp8x8, Opx32s qp, Opx8u edgeType, const Opx16s* pQuantTable,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, Opx32s intraPredMode,
    Opx32u cbp4x4, Opx32s qp, Opx8u edgeType, const Opx16s* pQuantTable,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;

/*
 * Chroma macroblock reconstruction of 8-bit 4:2:0, Cb then Cr, in place: P2R forms take the two
 * planes (one step), C2R forms one interleaved plane (Cb on even bytes, Cr on odd bytes).
 * srcDstUVStep is a signed byte distance in every form: where its type is Opx32u, a value of
 * 2^31 or more is taken as the negative step it encodes.
 * The coefficient stream continues where the luma function left it; cbp4x4 bits: 17 Cb DC array
 * (4 coefficients), 18 Cr DC array, 19..22 Cb blocks 0..3 with AC coefficients, 23..26 Cr blocks.
 * Stream order: Cb DC, Cr DC, the coded Cb blocks, the coded Cr blocks (16 coefficients each,
 * position 0 not read). chromaQP is QPc (0..39); the newer 4x4MB forms take a qp and a 16-entry
 * level-scale array per component and support transform bypass (bypassFlag nonzero, qp 0).
 * Intra modes: 0 DC, 1 horizontal, 2 vertical, 3 plane; a mode whose neighbours are unavailable
 * (edgeType bits as for luma) is refused with opxErrIntraPredUnavailable before anything is
 * written. The Halfs/Halves forms take the availability of the upper four rows from edgeTypeTop
 * and of the lower four from edgeTypeBottom and serve DC and vertical only (horizontal and plane:
 * opxErrIntraPredUnavailable).
 *
 * Checks, in order: ppSrcDstCoeff, the plane pointers, *ppSrcDstCoeff, the level-scale arrays
 * null (opxErrNullPtr); a chroma qp above 39 (opxErrOutOfRange); the C2R forms of the older
 * functions: srcDstUVStep below 1 (opxErrStep); intra forms: mode outside 0..3
 * (opxErrOutOfRange); then the availability the mode needs (opxErrIntraPredUnavailable).
 */
OPXVC_API OpxResult opxiReconstructChromaInterMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32u cbp4x4, Opx32u chromaQP) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaInterMB_H264_16s8u_C2R(Opx16s** ppSrcDstCoeff,
                                                                Opx8u* pSrcDstUV,
                                                                Opx32u srcDstUVStep,
                                                                Opx32u cbp4x4,
                                                                Opx32u chromaQP) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraMB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32s srcDstUVStep, Opx32s intraChromaPredMode,
    Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaInter4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV, const Opx16s* pQuantTableU,
    const Opx16s* pQuantTableV, Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaInter4x4MB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32u srcDstUVStep, Opx32u cbp4x4,
    Opx32u chromaQPU, Opx32u chromaQPV, const Opx16s* pQuantTableU, const Opx16s* pQuantTableV,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntra4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV,
    Opx8u edgeType, const Opx16s* pQuantTableU, const Opx16s* pQuantTableV,
    Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntra4x4MB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32u srcDstUVStep, Opx32s intraChromaPredMode,
    Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV, Opx8u edgeType,
    const Opx16s* pQuantTableU, const Opx16s* pQuantTableV, Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalfsMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop,
    Opx8u edgeTypeBottom) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalvesMB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop,
    Opx8u edgeTypeBottom) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUV, Opx32s srcDstUVStep, Opx32s intraChromaPredMode,
    Opx32u cbp4x4, Opx32u chromaQP, Opx8u edgeTypeTop, Opx8u edgeTypeBottom) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV,
    Opx8u edgeTypeTop, Opx8u edgeTypeBottom, const Opx16s* pQuantTableU,
    const Opx16s* pQuantTableV, Opx8u bypassFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalves4x4MB_H264_16s8u_P2R(
    Opx16s** ppSrcDstCoeff, Opx8u* pSrcDstUPlane, Opx8u* pSrcDstVPlane, Opx32u srcDstUVStep,
    Opx32s intraChromaPredMode, Opx32u cbp4x4, Opx32u chromaQPU, Opx32u chromaQPV,
    Opx8u edgeTypeTop, Opx8u edgeTypeBottom, const Opx16s* pQuantTableU,
    const Opx16s* pQuantTableV, Opx8u bypassFlag) OPXVC_NOEXCEPT;


/* ==== END H.264 INTRA PREDICTION AND RECONSTRUCTION ==== */

/* ==== H.264 INTERPOLATION ==== */

/** Parameter record of the 16-bit plain, Top and Bottom interpolation functions (luma and
 *  chroma). Steps count 16-bit samples. */
typedef struct OpxInterpolate16u {
    const Opx16u* pSrc; /**< integer-position source sample of the block's top-left corner */
    Opx32s srcStep;     /**< source row step in samples */
    Opx16u* pDst;       /**< destination block */
    Opx32s dstStep;     /**< destination row step in samples */
    Opx32s dx;          /**< horizontal fraction: 0..3 quarter (luma) or 0..7 eighth (chroma) */
    Opx32s dy;          /**< vertical fraction, same ranges */
    OpxRoiSize roiSize; /**< block width and height */
    Opx32s bitDepth;    /**< sample bit depth 8..14; luma results are clamped to 2^bitDepth - 1 */
} OpxInterpolate16u;

/** Parameter record of the 8-bit Block interpolation functions (and of the AVS luma
 *  interpolation). Steps count bytes. */
typedef struct OpxInterpolateBlock8u {
    const Opx8u* pSrc[2];   /**< reference planes: [0] luma, Cb or interleaved CbCr; [1] Cr */
    Opx32s srcStep;         /**< row step of the reference planes */
    Opx8u* pDst[2];         /**< destination blocks: [0] luma, Cb or CbCr; [1] Cr */
    Opx32s dstStep;         /**< destination row step */
    OpxRoiSize frameSize;   /**< size of the reference picture in samples of the plane
                                 (sample pairs for interleaved CbCr) */
    OpxRoiSize blockSize;   /**< block width and height */
    OpxPoint blockPos;      /**< integer position of the block's top-left sample */
    OpxPoint motionVector;  /**< quarter samples (luma) or eighth samples (chroma) */
} OpxInterpolateBlock8u;

/** Parameter record of the 16-bit Block interpolation functions. Steps count samples. */
typedef struct OpxInterpolateBlock16u {
    const Opx16u* pSrc[2];
    Opx32s srcStep;
    Opx16u* pDst[2];
    Opx32s dstStep;
    OpxRoiSize frameSize;
    OpxRoiSize blockSize;
    OpxPoint blockPos;
    OpxPoint motionVector;
    Opx32s bitDepth; /**< sample bit depth 8..14 */
} OpxInterpolateBlock16u;

/** Field selector of opxiExpandPlane_H264_8u_C1R. */
typedef Opx32s OpxFrameFieldFlag;
enum {
    opxFrame = 0,      /**< every row */
    opxTopField = 1,   /**< even rows only */
    opxBottomField = 2 /**< odd rows only */
};

/**
 * H.264 luma prediction at quarter-sample position (dx, dy) (H.264 clause 8.4.2.2.1): six-tap
 * half samples, centre sample j at full precision, quarter samples as rounded averages.
 * pSrc points at the integer sample of the block's top-left corner; a fractional dx reads
 * columns -2..width+2, a fractional dy rows -2..height+2. Steps in bytes, may be negative.
 * Checks: pSrc or pDst null -> opxErrNullPtr; dx or dy outside 0..3 -> opxErrBadArg; width not
 * 4, 8 or 16, or height not a positive multiple of 4 -> opxErrSize.
 * Top and Bottom: as plain, but `outPixels` block rows lie above the picture (Top: block row
 * outPixels is the first picture row) or below it (Bottom: block row height-1-outPixels is the
 * last picture row); support rows beyond that row are read as copies of it, and only picture
 * rows are read. outPixels <= 0 replaces nothing. Their height must also be at most 16
 * (opxErrSize).
 */
OPXVC_API OpxResult opxiInterpolateLuma_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                    Opx8u* pDst, Opx32s dstStep, Opx32s dx,
                                                    Opx32s dy, OpxRoiSize roiSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateLumaTop_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                       Opx8u* pDst, Opx32s dstStep, Opx32s dx,
                                                       Opx32s dy, Opx32s outPixels,
                                                       OpxRoiSize roiSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateLumaBottom_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                          Opx8u* pDst, Opx32s dstStep, Opx32s dx,
                                                          Opx32s dy, Opx32s outPixels,
                                                          OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * 16-bit H.264 luma prediction, the rules of opxiInterpolateLuma_H264_8u_C1R with results
 * clamped to 0..2^bitDepth-1; Top and Bottom take `outPixels` as the 8-bit forms do.
 * Checks: pSrcDst, pSrc or pDst null -> opxErrNullPtr; srcStep or dstStep below the width ->
 * opxErrStep; dx or dy outside 0..3 -> opxErrBadArg; width or height not 4, 8 or 16, or 16x4
 * or 4x16 -> opxErrSize; bitDepth outside 8..14 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiInterpolateLuma_H264_16u_C1R(const OpxInterpolate16u* pSrcDst)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateLumaTop_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                        Opx32s outPixels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateLumaBottom_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                           Opx32s outPixels) OPXVC_NOEXCEPT;

/**
 * H.264 chroma prediction at eighth-sample position (dx, dy) (H.264 clause 8.4.2.2.2):
 * ((8-dx)(8-dy)A + dx(8-dy)B + (8-dx)dy C + dx dy D + 32) >> 6. A fractional dx reads one
 * further column, a fractional dy one further row. C2P2R reads interleaved CbCr (width counts
 * pairs) and writes Cb to pDstU and Cr to pDstV.
 * Checks: pointers null -> opxErrNullPtr; dx or dy outside 0..7 -> opxErrBadArg; width not 2, 4
 * or 8, or height not a positive even number -> opxErrSize. Top and Bottom take `outPixels` as
 * the luma functions do and also need a height of at most 16 (opxErrSize).
 */
OPXVC_API OpxResult opxiInterpolateChroma_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                      Opx8u* pDst, Opx32s dstStep, Opx32s dx,
                                                      Opx32s dy, OpxRoiSize roiSize)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChroma_H264_8u_C2P2R(const Opx8u* pSrc, Opx32s srcStep,
                                                        Opx8u* pDstU, Opx8u* pDstV,
                                                        Opx32s dstStep, Opx32s dx, Opx32s dy,
                                                        OpxRoiSize roiSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaTop_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                         Opx8u* pDst, Opx32s dstStep, Opx32s dx,
                                                         Opx32s dy, Opx32s outPixels,
                                                         OpxRoiSize roiSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBottom_H264_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                            Opx8u* pDst, Opx32s dstStep,
                                                            Opx32s dx, Opx32s dy,
                                                            Opx32s outPixels,
                                                            OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * 16-bit H.264 chroma prediction, the rules of opxiInterpolateChroma_H264_8u_C1R.
 * Checks: pSrcDst, pSrc or pDst null -> opxErrNullPtr; srcStep or dstStep below 8 ->
 * opxErrStep; dx or dy outside 0..7 -> opxErrBadArg; height not 2, 4, 8 or 16 -> opxErrSize;
 * width not 2, 4 or 8 -> opxErrSize; bitDepth outside 8..14 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiInterpolateChroma_H264_16u_C1R(const OpxInterpolate16u* pSrcDst)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaTop_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                          Opx32s outPixels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBottom_H264_16u_C1R(const OpxInterpolate16u* pSrcDst,
                                                             Opx32s outPixels) OPXVC_NOEXCEPT;

/**
 * H.264 prediction of one block from a whole reference picture: the block at blockPos moved by
 * motionVector, every reference sample outside the picture taken at the clamped coordinates
 * (H.264 clause 8.4.2.2). A zero vector copies the block at blockPos without any edge test.
 * Luma: pSrc[0] -> pDst[0]. Chroma P2R: pSrc[0], pSrc[1] -> pDst[0], pDst[1]; C2C2R:
 * interleaved pSrc[0] -> interleaved pDst[0]; C2P2R: interleaved pSrc[0] -> pDst[0] (Cb),
 * pDst[1] (Cr). Steps are not checked.
 * Checks: the record or a pointer the function reads or writes null -> opxErrNullPtr; luma:
 * width not 4, 8 or 16 or height not 4..16 in steps of 4, chroma: width not 2, 4 or 8 or
 * height not 2..16 in steps of 2 -> opxErrSize; frame width or height below 1 -> opxErrSize;
 * (16u) bitDepth outside 8..14 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiInterpolateLumaBlock_H264_8u_P1R(const OpxInterpolateBlock8u* pInterpInfo)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateLumaBlock_H264_16u_P1R(
    const OpxInterpolateBlock16u* pInterpInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBlock_H264_8u_P2R(
    const OpxInterpolateBlock8u* pInterpInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBlock_H264_16u_P2R(
    const OpxInterpolateBlock16u* pInterpInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBlock_H264_8u_C2C2R(
    const OpxInterpolateBlock8u* pInterpInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateChromaBlock_H264_8u_C2P2R(
    const OpxInterpolateBlock8u* pInterpInfo) OPXVC_NOEXCEPT;

/**
 * Rounded average (p + q + 1) >> 1 of two width x height blocks. P2P1R: one pitch for all three
 * blocks; P3P1R: a step each.
 * Checks: a pointer null -> opxErrNullPtr; width or height outside 2..16 -> opxErrSize.
 */
OPXVC_API OpxResult opxiInterpolateBlock_H264_8u_P2P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                       Opx8u* pDst, Opx32u width, Opx32u height,
                                                       Opx32s pitch) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiInterpolateBlock_H264_8u_P3P1R(const Opx8u* pSrc1, const Opx8u* pSrc2,
                                                       Opx8u* pDst, Opx32u width, Opx32u height,
                                                       Opx32s src1Step, Opx32s src2Step,
                                                       Opx32s dstStep) OPXVC_NOEXCEPT;

/**
 * Replicates the border samples of a frameWidth x frameHeight plane `pels` samples outward on
 * every side (the buffer must extend that far). opxTopField pads only the even rows, from the
 * even rows; opxBottomField only the odd rows.
 * Checks: pSrcDstPlane null -> opxErrNullPtr; frameHeight odd or below 2, or frameWidth below 1
 * -> opxErrSize; pels 0 -> opxOk with nothing written; fieldMode not 0, 1 or 2 -> opxErrBadArg.
 */
OPXVC_API OpxResult opxiExpandPlane_H264_8u_C1R(Opx8u* pSrcDstPlane, Opx32s frameWidth,
                                                Opx32s frameHeight, Opx32s pitch, Opx32u pels,
                                                OpxFrameFieldFlag fieldMode) OPXVC_NOEXCEPT;

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

/* ==== H.264 ENCODING: forward transforms and quantisation, CAVLC syntax elements, block statistics ==== */

/* ==== END H.264 ENCODING ==== */


/* ==== MPEG-4, H.263, H.261: coefficient coding and quantisation ==== */

/* ==== END MPEG-4, H.263, H.261 ==== */


/* ==== VC-1: transforms, quantisation, interpolation, smoothing, deblocking ==== */

/*
 * VC-1 (SMPTE 421M) residual path. Coefficient and residual blocks are Opx16s arrays in raster
 * order (row = vertical frequency) addressed with a row step in bytes (any sign, any alignment);
 * shapes are width x height (8x4: 8 columns, 4 rows). doubleQuant is 2 x MQUANT + HALFQP (2..62).
 * srcSizeNZ / *pDstSizeNZ is the non-zero extent of a block: width = 1 + last column holding a
 * non-zero coefficient, height = 1 + last such row (0 for an empty dimension).
 */

/**
 * Inverse transform (SMPTE 421M 8.1.4.2): rows E = (D . Mw + 4) >> 3, columns
 * R = (Mh^T . E + 64 + c) >> 7 with c = 1 on rows 4..7 of an 8-point column pass, each pass
 * clamped to 16 bits. srcSizeNZ promises that every coefficient outside its top-left rectangle
 * is zero; it is clamped to 0..block size first (a wider promise means the full transform). A
 * promise below 2 x 2 reads D[0][0] only; the result is always that of the full transform on the
 * promised block. In place (C1IR) or into pDst (C1R). Checks: pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransform8x8Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                     OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 8x4 inverse transform in place: 8-point rows, 4-point columns (see the 8x8 form). */
OPXVC_API OpxResult opxiTransform8x4Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                     OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 4x8 inverse transform in place: 4-point rows, 8-point columns (see the 8x8 form). */
OPXVC_API OpxResult opxiTransform4x8Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                     OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 4x4 inverse transform in place (see the 8x8 form). */
OPXVC_API OpxResult opxiTransform4x4Inv_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                     OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 8x8 inverse transform from pSrc into pDst. Checks: pSrc or pDst null (opxErrNullPtr). */
OPXVC_API OpxResult opxiTransform8x8Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep,
                                                    OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 8x4 inverse transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform8x4Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep,
                                                    OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 4x8 inverse transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform4x8Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep,
                                                    OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;
/** 4x4 inverse transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform4x4Inv_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep,
                                                    OpxRoiSize srcSizeNZ) OPXVC_NOEXCEPT;

/**
 * Forward transform (the library's encoder transform): rows E = (X . Fw^T + 2^(s1-1)) >> s1,
 * s1 = 11 (4-point) or 12 (8-point); columns Y = (Fh . E + 2^(s2-1)) >> s2, s2 = 19 or 20; each
 * pass clamped to 16 bits. Sums are 32-bit and wrap modulo 2^32 far outside residual range (the
 * same in every build). A block of 100s gives DC 711 (8x8), 502 (8x4, 4x8), 354 (4x4).
 * Checks: pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransform8x8Fwd_VC1_16s_C1IR(Opx16s* pSrcDst,
                                                     Opx32s srcDstStep) OPXVC_NOEXCEPT;
/** 8x4 forward transform in place. */
OPXVC_API OpxResult opxiTransform8x4Fwd_VC1_16s_C1IR(Opx16s* pSrcDst,
                                                     Opx32s srcDstStep) OPXVC_NOEXCEPT;
/** 4x8 forward transform in place. */
OPXVC_API OpxResult opxiTransform4x8Fwd_VC1_16s_C1IR(Opx16s* pSrcDst,
                                                     Opx32s srcDstStep) OPXVC_NOEXCEPT;
/** 4x4 forward transform in place. */
OPXVC_API OpxResult opxiTransform4x4Fwd_VC1_16s_C1IR(Opx16s* pSrcDst,
                                                     Opx32s srcDstStep) OPXVC_NOEXCEPT;
/** 8x8 forward transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform8x8Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;
/** 8x4 forward transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform8x4Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;
/** 4x8 forward transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform4x8Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;
/** 4x4 forward transform from pSrc into pDst. */
OPXVC_API OpxResult opxiTransform4x4Fwd_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                    Opx16s* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;

/**
 * Forward uniform quantisation of an 8x8 intra block in place: every coefficient but the first
 * becomes c / doubleQuant truncated toward zero. Checks: pSrcDst null (opxErrNullPtr);
 * doubleQuant outside 2..62 (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiQuantIntraUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                       Opx32s doubleQuant) OPXVC_NOEXCEPT;
/**
 * Forward non-uniform quantisation of an 8x8 intra block in place: every coefficient c but the
 * first becomes (c - sign(c) (doubleQuant >> 1)) / doubleQuant truncated toward zero. Checks as
 * for the uniform form.
 */
OPXVC_API OpxResult opxiQuantIntraNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                          Opx32s doubleQuant) OPXVC_NOEXCEPT;
/**
 * Forward uniform quantisation of an inter block of roiSize (width and height 4 or 8), all
 * coefficients. Checks: pSrcDst null (opxErrNullPtr); doubleQuant outside 2..62
 * (opxErrOutOfRange); roiSize height or width not 4 or 8 (opxErrSize).
 */
OPXVC_API OpxResult opxiQuantInterUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                       Opx32s doubleQuant,
                                                       OpxRoiSize roiSize) OPXVC_NOEXCEPT;
/** Forward non-uniform quantisation of an inter block of roiSize; checks as the uniform form. */
OPXVC_API OpxResult opxiQuantInterNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                          Opx32s doubleQuant,
                                                          OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Inverse uniform quantisation of an 8x8 intra block in place (SMPTE 421M 8.1.3.8): every
 * coefficient but the first becomes c x doubleQuant taken modulo 2^16 as a signed 16-bit value;
 * the first is kept. *pDstSizeNZ receives the non-zero extent of the result, its height at least
 * 1 even for an all-zero block. doubleQuant is not checked. Checks: pSrcDst or pDstSizeNZ null
 * (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiQuantInvIntraUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                          Opx32s doubleQuant,
                                                          OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/**
 * Inverse non-uniform quantisation of an 8x8 intra block in place: c x doubleQuant +
 * sign(c) (doubleQuant >> 1) modulo 2^16 (0 stays 0); otherwise as the uniform form.
 */
OPXVC_API OpxResult opxiQuantInvIntraNonuniform_VC1_16s_C1IR(
    Opx16s* pSrcDst, Opx32s srcDstStep, Opx32s doubleQuant, OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/** Inverse uniform intra quantisation from pSrc into pDst. Checks: pSrc, pDst or pDstSizeNZ null. */
OPXVC_API OpxResult opxiQuantInvIntraUniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                         Opx16s* pDst, Opx32s dstStep,
                                                         Opx32s doubleQuant,
                                                         OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/** Inverse non-uniform intra quantisation from pSrc into pDst. */
OPXVC_API OpxResult opxiQuantInvIntraNonuniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                            Opx16s* pDst, Opx32s dstStep,
                                                            Opx32s doubleQuant,
                                                            OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/**
 * Inverse uniform quantisation of an inter block of roiSize in place, every coefficient; the
 * non-zero extent (0 x 0 for an all-zero block) to *pDstSizeNZ. Checks: pSrcDst or pDstSizeNZ
 * null (opxErrNullPtr); roiSize height, then width, not 4 or 8 (opxErrSize).
 */
OPXVC_API OpxResult opxiQuantInvInterUniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                          Opx32s doubleQuant, OpxRoiSize roiSize,
                                                          OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/** Inverse non-uniform inter quantisation in place; as the uniform form. */
OPXVC_API OpxResult opxiQuantInvInterNonuniform_VC1_16s_C1IR(Opx16s* pSrcDst, Opx32s srcDstStep,
                                                             Opx32s doubleQuant,
                                                             OpxRoiSize roiSize,
                                                             OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/** Inverse uniform inter quantisation from pSrc into pDst. */
OPXVC_API OpxResult opxiQuantInvInterUniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                         Opx16s* pDst, Opx32s dstStep,
                                                         Opx32s doubleQuant, OpxRoiSize roiSize,
                                                         OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;
/** Inverse non-uniform inter quantisation from pSrc into pDst. */
OPXVC_API OpxResult opxiQuantInvInterNonuniform_VC1_16s_C1R(const Opx16s* pSrc, Opx32s srcStep,
                                                            Opx16s* pDst, Opx32s dstStep,
                                                            Opx32s doubleQuant, OpxRoiSize roiSize,
                                                            OpxRoiSize* pDstSizeNZ) OPXVC_NOEXCEPT;

/**
 * 8x8 Hadamard transform in natural order (row u vertical index, column v horizontal) and its
 * activity sum: horizontal butterflies at distances 1, 2, 4 (sum at the lower index, difference
 * at the upper) on every row, then the same vertically, every butterfly saturated to 16 bits.
 * pDst receives 64 values (rows 16 bytes apart); *pSum = sum over columns of
 * min(32767, sum of |values|), |-32768| counting 32767. Checks: pSrc, pDst or pSum null
 * (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiHadamard8x8Sum_VC1_8u16s(const Opx8u* pSrc, Opx32s srcStep, Opx16s* pDst,
                                                 Opx32s* pSum) OPXVC_NOEXCEPT;
/** The 8x8 Hadamard activity measure of 16-bit samples (see the 8u16s form). */
OPXVC_API OpxResult opxiHadamard8x8Sum_VC1_16s(const Opx16s* pSrc, Opx32s srcStep, Opx16s* pDst,
                                               Opx32s* pSum) OPXVC_NOEXCEPT;

/*
 * VC-1 in-loop deblocking (SMPTE 421M 8.6). pSrcDst points at the first sample right of a
 * vertical edge or below a horizontal edge; pQuant is PQUANT. An edge is filtered in segments of
 * four lines; the third line of a segment is filtered first and the other three only if it
 * changed. Line filter: a0 = (2 (P3 - P6) - 5 (P4 - P5) + 4) >> 3; if |a0| < PQUANT,
 * a3 = min(|a1|, |a2|) of the same term on P1..P4 and P5..P8; if a3 < |a0|,
 * d = 5 (sign(a0) a3 - a0) / 8 and clip = (P4 - P5) / 2 (both truncating); if clip != 0, d is
 * limited to 0..clip (or clip..0), P4 -= d, P5 += d, and the line counts as changed even when the
 * limit takes d to 0. Only P4 and P5 are written. Checks: pSrcDst null (opxErrNullPtr).
 */

/** Luma vertical edge, 16 rows; bit s of edgeDisabledFlag set = lines 4s..4s+3 not filtered. */
OPXVC_API OpxResult opxiFilterDeblockingLuma_VerEdge_VC1_8u_C1IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlag) OPXVC_NOEXCEPT;
/** Luma horizontal edge, 16 columns; flags as for the vertical edge. */
OPXVC_API OpxResult opxiFilterDeblockingLuma_HorEdge_VC1_8u_C1IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlag) OPXVC_NOEXCEPT;
/**
 * Chroma vertical edge, 8 rows: bit 1 of edgeDisabledFlag set = lines 0..3 not filtered, bit 2 =
 * lines 4..7; the other bits are not used (1 and 8 filter both segments).
 */
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_VC1_8u_C1IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlag) OPXVC_NOEXCEPT;
/** Chroma horizontal edge, 8 columns; flags as for the chroma vertical edge. */
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_VC1_8u_C1IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlag) OPXVC_NOEXCEPT;
/**
 * Interleaved chroma (U in even bytes, V in odd bytes) vertical edge, 8 rows; each component
 * filtered on its own with its own flags (chroma flag bits 1 and 2).
 */
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_VC1_8u_C2IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlagU,
    Opx32u edgeDisabledFlagV) OPXVC_NOEXCEPT;
/** Interleaved chroma horizontal edge, 8 sample pairs; as the C2 vertical edge. */
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_VC1_8u_C2IR(
    Opx8u* pSrcDst, Opx32s pQuant, Opx32s srcDstStep, Opx32u edgeDisabledFlagU,
    Opx32u edgeDisabledFlagV) OPXVC_NOEXCEPT;

/*
 * VC-1 overlap smoothing (SMPTE 421M 8.5) across 8x8 intra block edges, on 16-bit reconstructed
 * samples that include the +128 offset (the filter rows sum to 8, so the offset passes through
 * unchanged; clamping to 0..255 happens only in pDst). Per line across the edge, x0 x1 | x2 x3:
 * y0 = (7 x0 + x3 + r0) >> 3, y1 = (-x0 + 7 x1 + x2 + x3 + r1) >> 3,
 * y2 = (x0 + x1 + 7 x2 - x3 + r0) >> 3, y3 = (x0 + 7 x3 + r1) >> 3, with (r0, r1) = (4, 3) on even
 * lines and (3, 4) on odd lines (the line index counts within the 8-line half). Sums are exact.
 * Vertical edges write y back into the source blocks (x0, x1 into the left block, x2, x3 into
 * the right; modulo 2^16) and clamped into pDst; horizontal edges write pDst only. pSrcLeft and
 * pSrcUpper point at the second-to-last column or row of their block, pSrcRight and pSrcBottom
 * at the first; pDst at the first output right of or below the edge, the outputs going to
 * offsets -2, -1, 0, +1. Checks: any pointer null (opxErrNullPtr).
 */

/**
 * Luma vertical edge, 16 rows. fieldNeighbourFlag & 3 = 0: rows 0..7 are smoothed if
 * edgeFlag & 3, rows 8..15 if edgeFlag & 12. fieldNeighbourFlag & 3 != 0 (only bits 0 and 1
 * count): any non-zero edgeFlag smooths both fields; a block marked field-ordered (bit 0: the
 * right block, bit 1: the left block) holds its top field in rows 0..7 and its bottom field in
 * rows 8..15, a frame-ordered one in even and odd rows; pDst is frame-ordered; every top-field
 * line rounds as line 0 (4, 3, 4, 3), every bottom-field line as line 1 (3, 4, 3, 4).
 */
OPXVC_API OpxResult opxiSmoothingLuma_VerEdge_VC1_16s8u_C1R(
    Opx16s* pSrcLeft, Opx32s srcLeftStep, Opx16s* pSrcRight, Opx32s srcRightStep, Opx8u* pDst,
    Opx32s dstStep, Opx32u fieldNeighbourFlag, Opx32u edgeFlag) OPXVC_NOEXCEPT;
/** Luma horizontal edge, 16 columns: 0..7 if edgeFlag & 3, 8..15 if edgeFlag & 12. */
OPXVC_API OpxResult opxiSmoothingLuma_HorEdge_VC1_16s8u_C1R(
    Opx16s* pSrcUpper, Opx32s srcUpperStep, Opx16s* pSrcBottom, Opx32s srcBottomStep,
    Opx8u* pDst, Opx32s dstStep, Opx32u edgeFlag) OPXVC_NOEXCEPT;
/** Chroma vertical edge, 8 rows (with write-back). */
OPXVC_API OpxResult opxiSmoothingChroma_VerEdge_VC1_16s8u_C1R(
    Opx16s* pSrcLeft, Opx32s srcLeftStep, Opx16s* pSrcRight, Opx32s srcRightStep, Opx8u* pDst,
    Opx32s dstStep) OPXVC_NOEXCEPT;
/** Chroma horizontal edge, 8 columns. */
OPXVC_API OpxResult opxiSmoothingChroma_HorEdge_VC1_16s8u_C1R(
    Opx16s* pSrcUpper, Opx32s srcUpperStep, Opx16s* pSrcBottom, Opx32s srcBottomStep,
    Opx8u* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;
/**
 * Chroma vertical edge of planar U and V blocks into interleaved pDst (U in even bytes, V in odd
 * bytes), 8 rows per component, with write-back into the four source blocks.
 */
OPXVC_API OpxResult opxiSmoothingChroma_VerEdge_VC1_16s8u_P2C2R(
    Opx16s* pSrcLeftU, Opx32s srcLeftStepU, Opx16s* pSrcRightU, Opx32s srcRightStepU,
    Opx16s* pSrcLeftV, Opx32s srcLeftStepV, Opx16s* pSrcRightV, Opx32s srcRightStepV, Opx8u* pDst,
    Opx32s dstStep) OPXVC_NOEXCEPT;
/** Chroma horizontal edge of planar U and V blocks into interleaved pDst, 8 columns each. */
OPXVC_API OpxResult opxiSmoothingChroma_HorEdge_VC1_16s8u_P2C2R(
    Opx16s* pSrcUpperU, Opx32s srcUpperStepU, Opx16s* pSrcBottomU, Opx32s srcBottomStepU,
    Opx16s* pSrcUpperV, Opx32s srcUpperStepV, Opx16s* pSrcBottomV, Opx32s srcBottomStepV,
    Opx8u* pDst, Opx32s dstStep) OPXVC_NOEXCEPT;

/*
 * VC-1 motion-compensated prediction (SMPTE 421M): quarter-sample bicubic (luma) and bilinear
 * (luma or chroma, planar or interleaved) interpolation, and range mapping.
 * Bicubic taps at offsets -1, 0, +1, +2: fraction 1 (-4, 53, 18, -3) >> 6, 2 (-1, 9, 9, -1) >> 4,
 * 3 (-3, 18, 53, -4) >> 6. Horizontal only: (s + 2^(shift-1) - rnd) >> shift; vertical only:
 * (s + 2^(shift-1) - 1 + rnd) >> shift; both: the vertical pass first on columns x-1..x+2 with
 * (s + 2^(s1-1) - 1 + rnd) >> s1, s1 = shift(dx) + shift(dy) - 7, then the horizontal pass with
 * (s + 64 - rnd) >> 7; results clamped to 0..255. Bilinear: (A (4-dx)(4-dy) + B dx (4-dy) +
 * C (4-dx) dy + D dx dy + 8 - rnd) >> 4, B and D the next sample of the same component (1 byte
 * away, 2 in interleaved rows). dx and dy are taken & 3, roundControl & 1.
 */

/** Parameters of the QP interpolation functions (the block's whole support in the reference). */
typedef struct OpxVC1Interpolate8u {
    const Opx8u* pSrc; /**< integer-position sample of the block's top-left corner */
    Opx32s srcStep;    /**< reference row step in bytes */
    Opx8u* pDst;       /**< prediction block */
    Opx32s dstStep;    /**< prediction row step in bytes */
    Opx32s dx;         /**< horizontal quarter-sample fraction 0..3 */
    Opx32s dy;         /**< vertical quarter-sample fraction 0..3 */
    OpxRoiSize roiSize; /**< block width and height (C2R: width in sample pairs) */
    Opx32s roundControl; /**< the standard's RND, 0 or 1 */
} OpxVC1Interpolate8u;

/** Parameters of the InterpolateIC...Block functions (block anywhere relative to the picture). */
typedef struct OpxVC1InterpolateBlockIC8u {
    const Opx8u* pSrc;       /**< first sample of the reference picture (field: of the field) */
    Opx32s srcStep;          /**< row step of the reference frame in bytes */
    Opx8u* pDst;             /**< prediction block */
    Opx32s dstStep;          /**< prediction row step */
    const Opx8u* pLutTop;    /**< 256-entry intensity table for top-field rows, or null */
    const Opx8u* pLutBottom; /**< table for bottom-field rows, or null */
    OpxRoiSize frameSize;    /**< picture width (C2R: in pairs) and frame height */
    OpxRoiSize blockSize;    /**< prediction block size */
    OpxPoint blockPos;       /**< integer position of the block in the picture (C2R: x in bytes) */
    Opx32s dx;               /**< quarter-sample fractions 0..3 */
    Opx32s dy;
    Opx32u paddingMode;      /**< 1: interlace-aware padding; any other value: edge repetition */
    Opx32u fieldPrediction;  /**< non-zero: the reference is one field of an interlaced frame */
    Opx32u roundControl;     /**< 0 or 1 */
    Opx32u bottomField;      /**< non-zero: the reference field is the bottom field */
} OpxVC1InterpolateBlockIC8u;

/**
 * Bicubic interpolation of an 8x8, 16x8 (16 wide) or 16x16 block whose filter support lies in
 * the reference. Checks: pParams, pSrc or pDst null (opxErrNullPtr); any other roiSize
 * (opxErrSize, nothing written).
 */
OPXVC_API OpxResult opxiInterpolateQPBicubic_VC1_8u_C1R(const OpxVC1Interpolate8u* pParams) OPXVC_NOEXCEPT;
/** Bilinear interpolation of a 16x16, 8x8, 8x4 or 4x4 block; checks as for the bicubic form. */
OPXVC_API OpxResult opxiInterpolateQPBilinear_VC1_8u_C1R(const OpxVC1Interpolate8u* pParams) OPXVC_NOEXCEPT;
/**
 * Bilinear interpolation of interleaved chroma (U in even bytes, V in odd bytes), 8x8, 8x4 or 4x4
 * sample pairs, each component filtered on its own; checks as for the bicubic form.
 */
OPXVC_API OpxResult opxiInterpolateQPBilinear_VC1_8u_C2R(const OpxVC1Interpolate8u* pParams) OPXVC_NOEXCEPT;

/*
 * Block forms: the reference is read with coordinates clamped into the picture (X to
 * 0..width-1, C2R per component with the pair index clamped; the pair index is blockPos.x >> 1,
 * its low bit ignored), so blockPos may lie anywhere (positions are computed in 64 bits). Every
 * reference sample v becomes LUT[v] before filtering: in frame prediction pLutTop on even picture
 * rows and pLutBottom on odd rows, in field prediction pLutBottom if bottomField else pLutTop
 * (padding rows included); a null table maps nothing. A padded row is a copy of the compensated
 * row it repeats. Field prediction: the field's first row is at pSrc, its row step 2 srcStep, its
 * height frameSize.height / 2. paddingMode 0: rows above and below repeat the first and last
 * row; paddingMode 1, frame prediction: each field repeats its own first or last row (same
 * parity); paddingMode 1, field prediction: beyond the field's far edge the adjacent row of the
 * opposite field is repeated (top field: the frame row just below its last row; bottom field:
 * the frame row just above its first row), its near edge repeats its own edge row.
 * Checks: pParams, pSrc or pDst null (opxErrNullPtr); blockSize not one of the function's sizes,
 * frameSize width or height below 1, or a frame height below 2 with field prediction or
 * paddingMode 1 (opxErrSize).
 */

/** Bicubic block form (8x8, 16x8, 16x16). */
OPXVC_API OpxResult opxiInterpolateICBicubicBlock_VC1_8u_C1R(
    const OpxVC1InterpolateBlockIC8u* pParams) OPXVC_NOEXCEPT;
/** Bilinear block form, planar (16x16, 8x8, 8x4, 4x4). */
OPXVC_API OpxResult opxiInterpolateICBilinearBlock_VC1_8u_C1R(
    const OpxVC1InterpolateBlockIC8u* pParams) OPXVC_NOEXCEPT;
/** Bilinear block form, interleaved chroma (8x8, 8x4, 4x4 pairs). */
OPXVC_API OpxResult opxiInterpolateICBilinearBlock_VC1_8u_C2R(
    const OpxVC1InterpolateBlockIC8u* pParams) OPXVC_NOEXCEPT;

/**
 * Range mapping: out = clamp(((v - 128) (rangeMapValue + 9) + 4) >> 3) + 128, 0..255) over
 * roiSize. Checks: pSrc or pDst null (opxErrNullPtr); rangeMapValue above 7
 * (opxErrOutOfRange); width or height below 1: opxOk, nothing done.
 */
OPXVC_API OpxResult opxiRangeMapping_VC1_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                Opx32s dstStep, OpxRoiSize roiSize,
                                                Opx32u rangeMapValue) OPXVC_NOEXCEPT;

/* ==== END VC-1 ==== */


/* ==== MPEG-1/2: block reconstruction, quantisation, scans ==== */

/* ==== END MPEG-1/2 ==== */


/* ==== DV: segment decoding and inverse quantisation ==== */

/* ==== END DV ==== */


/* ==== AVS: residual decoding, reconstruction, interpolation, deblocking ==== */

/* ==== END AVS ==== */


/* ==== VIDEO PROCESSING: deinterlacing and denoising ==== */

/* ==== END VIDEO PROCESSING ==== */


#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
