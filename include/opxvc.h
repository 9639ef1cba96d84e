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
