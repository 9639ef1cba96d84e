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

/*
 * Compile-time version of this header: OPXVC_VERSION compares as a number
 * (major * 10000 + minor * 100 + patch), e.g. #if OPXVC_VERSION >= 70100. The run-time version
 * is in the record that opxvcGetLibVersion returns: its major and minor equal the header's for
 * a library of this header's version.
 */
#define OPXVC_VERSION_MAJOR 7
#define OPXVC_VERSION_MINOR 1
#define OPXVC_VERSION_PATCH 0
#define OPXVC_VERSION (OPXVC_VERSION_MAJOR * 10000 + OPXVC_VERSION_MINOR * 100 + OPXVC_VERSION_PATCH)
#define OPXVC_VERSION_STRING "7.1.0"

/*
 * The version record. Its strings are fixed: name, version, buildDate and targetCpu are the
 * same in every build, whichever kernels serve the calls. The AVX2 build contains both the AVX2
 * and the portable kernels and chooses once, when the library is loaded, by what the processor
 * reports (AVX2, BMI1, BMI2, LZCNT and the operating system's support of the YMM registers): the AVX2
 * kernels where all are there, the portable ones otherwise, with identical results. There is no
 * initialisation call and no environment variable; a build made with -DOPXVC_AVX2=OFF has only
 * the portable kernels.
 */
typedef struct OpxVersionInfo {
    Opx32s major;
    Opx32s minor;
    Opx32s majorBuild;
    Opx32s build;
    char targetCpu[4];     /**< build-variant code: "l9" and two zero bytes (fixed) */
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


/* ---- High bit depth (9..14 bits, also 8) and 4:2:2 macroblock reconstruction ---- */

/**
 * Reconstruction record of one plane (luma) or one chroma component, for the 32s16u functions:
 * the caller's coefficient pointer (advanced past the blocks consumed; consumed blocks are work
 * space), the block's top-left sample, the row step in samples, the coded-block bits (luma 4x4:
 * bit n + 1 for block n, bit 0 the Intra16x16 DC array; luma 8x8: bits 0..3; half functions:
 * bit n for block n of the half; chroma: bit 0 the DC array, bits 1..4 (4:2:0) or 1..8 (4:2:2)
 * the AC blocks), qp including the bit-depth offset (QP'Y or QP'C), the level-scale array for
 * qp % 6 (16 values, 64 for the 8x8 functions), the transform-bypass flag (effective with qp 0)
 * and the bit depth (8..14).
 */
typedef struct {
    Opx32s** ppSrcDstCoeff;
    Opx16u* pSrcDstPlane;
    Opx32s srcDstStep;
    Opx32u cbp;
    Opx32s qp;
    const Opx16s* pQuantTable;
    Opx32s bypassFlag;
    Opx32s bitDepth;
} OpxReconstructInfo;

/** The record of the 16s8u 4:2:2 functions: OpxReconstructInfo with 16-bit coefficients and
 *  8-bit samples; bitDepth is not read. */
typedef struct {
    Opx16s** ppSrcDstCoeff;
    Opx8u* pSrcDstPlane;
    Opx32s srcDstStep;
    Opx32u cbp;
    Opx32s qp;
    const Opx16s* pQuantTable;
    Opx32s bypassFlag;
    Opx32s bitDepth;
} OpxReconstructInfo8u;

/**
 * H.264 luma macroblock reconstruction for 16-bit samples: as the 8-bit 4x4MB, 8x8MB and
 * _16x16MB functions, with 32-bit coefficients and arithmetic (wrapping), samples clamped to
 * 0..(1 << bitDepth) - 1 and neighbours a 4x4 mode needs but lacks taken as 1 << (bitDepth - 1)
 * (result opxWrnIntraPredUnavailable). The 8x8 functions predict by H.264 clause 8.3.2.2 exactly
 * (value 1 << (bitDepth - 1) only for a group the mode needs but lacks, result opxOk). Half
 * functions: the upper 8 rows (8 modes, cbp bits 0..7; 8x8: 2 modes, bits 0 and 1).
 * Transform bypass (bypassFlag nonzero, qp 0) adds the coefficients unscaled; lossless callers
 * apply the residual DPCM of H.264 clause 8.5.15 to the coefficients first.
 *
 * Checks, in order: pInfo, pInfo->ppSrcDstCoeff, *pInfo->ppSrcDstCoeff, pSrcDstPlane,
 * pQuantTable, pMBIntraTypes null (opxErrNullPtr); srcDstStep below 1 (opxErrStep); bitDepth
 * outside 8..14, qp outside 0..6 bitDepth + 3 (opxErrOutOfRange); 16x16: mode outside 0..3
 * (opxErrOutOfRange), a mode lacking its neighbours (opxErrIntraPredUnavailable). A 4x4 or 8x8
 * block mode outside 0..8 ends the call with opxErrOutOfRange when reached.
 */
OPXVC_API OpxResult opxiReconstructLumaInter4x4_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaInter8x8_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo, const Opx32s* pMBIntraTypes, Opx32u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo, const Opx32s* pMBIntraTypes, Opx32u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo, const Opx32s* pMBIntraTypes, Opx32u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo, const Opx32s* pMBIntraTypes, Opx32u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R(
    const OpxReconstructInfo* pInfo, Opx32s intraPredMode, Opx32u edgeType) OPXVC_NOEXCEPT;

/**
 * H.264 chroma macroblock reconstruction, 16-bit samples (4:2:0 8x8 and 4:2:2 8x16 components)
 * and 8-bit 4:2:2. ppInfo: the Cb record, then the Cr record, each with its own plane, step,
 * cbp, qp and level-scale array. Order of consumption: Cb DC, Cr DC, Cb blocks, Cr blocks, each
 * from its record's coefficient pointer, read at the time of use (one pointer shared by both
 * records gives one stream in that order). 4:2:2: the 2x4 DC array is dequantised with
 * qP,DC = qp + 3 and levelScaleDCU / levelScaleDCV (LevelScale4x4((qp + 3) % 6, 0, 0) of Cb and
 * Cr); block k at (4 (k & 1), 4 (k >> 1)) takes DC value k. Intra modes 0 DC, 1 horizontal,
 * 2 vertical, 3 plane; the Half functions take edgeTypeTop for the upper and edgeTypeBottom for
 * the lower half and serve DC and vertical only.
 *
 * Checks, in order: ppInfo, either record, its ppSrcDstCoeff, the pointer behind it,
 * pSrcDstPlane, pQuantTable null (opxErrNullPtr); srcDstStep below 1 in either record
 * (opxErrStep); 32s16u: the Cb record's bitDepth outside 8..14 (opxErrOutOfRange; it governs
 * both components, the Cr record's is not read); a qp outside 0..6 bitDepth - 9 (32s16u) or
 * 0..39 (16s8u) (opxErrOutOfRange); intra: mode outside 0..3 (opxErrOutOfRange), a mode lacking
 * its neighbours, Half: modes 1 and 3 (opxErrIntraPredUnavailable). With both cbp 0 the call
 * ends after the prediction.
 */
OPXVC_API OpxResult opxiReconstructChromaInter4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2]) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode,
    Opx32u edgeType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32u levelScaleDCU,
    Opx32u levelScaleDCV) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32u levelScaleDCU,
    Opx32u levelScaleDCV) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeType,
    Opx32u levelScaleDCU, Opx32u levelScaleDCV) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeType,
    Opx32u levelScaleDCU, Opx32u levelScaleDCV) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422IntraHalf4x4_H264High_16s8u_IP2R(
    const OpxReconstructInfo8u* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom, Opx32u levelScaleDCU, Opx32u levelScaleDCV) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructChroma422IntraHalf4x4_H264High_32s16u_IP2R(
    const OpxReconstructInfo* const ppInfo[2], Opx32s intraChromaPredMode, Opx32u edgeTypeTop,
    Opx32u edgeTypeBottom, Opx32u levelScaleDCU, Opx32u levelScaleDCV) OPXVC_NOEXCEPT;

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

/*
 * Forward transforms and quantisation. Blocks are raster arrays (row = vertical frequency): 16
 * values for 4x4 blocks and the luma DC array, 4 for the 2x2 chroma DC array, 8 for the 2x4
 * chroma DC array (2 columns by 4 rows), 64 for 8x8 blocks. A level is
 * sign(c) * ((|c| * s + f) >> q) with an exact product, clamped to the output type; s is the
 * forward scale of the coefficient's position for qp % 6 or the caller's scale (read as an
 * unsigned value; with a caller's scale q is 4 smaller). pScanMatrix gives each raster position
 * its scan position; *pLastCoeff receives the largest scan position holding a non-zero level
 * (0 when none), *pNumLevels the number of non-zero levels, negated when the first level is
 * non-zero unless a function says otherwise. qpPer = qp / 6.
 */

/**
 * Exact forward 4x4 transform of a residual and quantisation: q = 15 + qpPer (11 + qpPer with
 * pScaleLevels, 16 values, optional), f = 2^q / 3 (intra) or 2^q / 6, rounded down.
 * Checks: pSrc, pDst, pNumLevels, pScanMatrix, pLastCoeff null (opxErrNullPtr); qp outside 0..51
 * (16s) or 0..87 (16s32s) (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantFwd4x4_H264_16s_C1(
    const Opx16s* pSrc, Opx16s* pDst, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    const Opx16s* pScanMatrix, Opx32s* pLastCoeff, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantFwd4x4_H264_16s32s_C1(
    const Opx16s* pSrc, Opx32s* pDst, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    const Opx16s* pScanMatrix, Opx32s* pLastCoeff, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;

/**
 * Quantisation of 16 transform coefficients with the rule of
 * opxiTransformQuantFwd4x4_H264_16s_C1; *pNumLevels is a plain count (never negated).
 * pScaleLevels is optional in the 16s and 32s forms and required in the 16s32s form.
 * Checks: a required pointer null (opxErrNullPtr); qp outside 0..51 (16s, 16s32s) or 0..87 (32s)
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiQuantizeResidual4x4Fwd_H264_16s_C1(
    const Opx16s* pSrc, Opx16s* pDst, Opx32s* pNumLevels, Opx32s* pLastCoeff,
    const Opx16u* pScaleLevels, const Opx16s* pScanMatrix, Opx32s qp,
    Opx32s intra) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantizeResidual4x4Fwd_H264_16s32s_C1(
    const Opx16s* pSrc, Opx32s* pDst, Opx32s* pNumLevels, Opx32s* pLastCoeff,
    const Opx32s* pScaleLevels, const Opx16s* pScanMatrix, Opx32s qp,
    Opx32s intra) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantizeResidual4x4Fwd_H264_32s_C1(
    const Opx32s* pSrc, Opx32s* pDst, Opx32s* pNumLevels, Opx32s* pLastCoeff,
    const Opx32s* pScaleLevels, const Opx16s* pScanMatrix, Opx32s qp,
    Opx32s intra) OPXVC_NOEXCEPT;

/**
 * Forward 4x4 core transform (rows, then columns). 16s: every intermediate sum saturated to 16
 * bits. 32s: 32-bit wrapping arithmetic. Checks: either pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransformResidual4x4Fwd_H264_16s_C1(const Opx16s* pSrc,
                                                            Opx16s* pDst) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformResidual4x4Fwd_H264_32s_C1(const Opx32s* pSrc,
                                                            Opx32s* pDst) OPXVC_NOEXCEPT;

/**
 * Forward 8x8 transform (rows, then columns; arithmetic shifts, exact 32-bit intermediates).
 * The 16s outputs are saturated to 16 bits; the C1I form works in place.
 * Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransformFwdLuma8x8_H264_16s_C1(const Opx16s* pSrc,
                                                        Opx16s* pDst) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformFwdLuma8x8_H264_16s32s_C1(const Opx16s* pSrc,
                                                           Opx32s* pDst) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformLuma8x8Fwd_H264_16s_C1I(Opx16s* pSrcDst) OPXVC_NOEXCEPT;

/**
 * Quantisation of 64 coefficients of an 8x8 block with the caller's 64 scales for the block's
 * qp % 6 (from opxiGenScaleLevel8x8_H264_8u16s_D2): q = 12 + qpPer,
 * f = 682 * 2^(qpPer + 1) (intra) or 342 * 2^(qpPer + 1). The 16s form saturates |c| to 32767
 * first. Checks: a pointer null (opxErrNullPtr); qpPer outside 0..8 (16s) or 0..14 (32s)
 * (opxErrQp).
 */
OPXVC_API OpxResult opxiQuantLuma8x8_H264_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s qpPer,
                                                 Opx32s intra, const Opx16s* pScanMatrix,
                                                 const Opx16u* pScaleLevels, Opx32s* pNumLevels,
                                                 Opx32s* pLastCoeff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantLuma8x8_H264_32s_C1(const Opx32s* pSrc, Opx32s* pDst, Opx32s qpPer,
                                                 Opx32s intra, const Opx16s* pScanMatrix,
                                                 const Opx16u* pScaleLevels, Opx32s* pNumLevels,
                                                 Opx32s* pLastCoeff) OPXVC_NOEXCEPT;

/**
 * Intra 16x16 luma DC: with needTransform nonzero the 4x4 Hadamard of the 16 DC values in
 * pSrcDst (columns, then rows), each value shifted right by 1 (rounding down) and saturated to
 * 16 (32) bits, is written to pTBlock; with needTransform 0 pTBlock already holds the
 * transformed values and is left unchanged. pTBlock is quantised into pSrcDst:
 * q = 16 + qpPer, f = 2^q / 3, or with pScaleLevels (optional, element 0 used) q = 12 + qpPer,
 * f = 682 * 2^(qpPer + 1). Checks: pSrcDst, pTBlock, pNumLevels, pScanMatrix, pLastCoeff null
 * (opxErrNullPtr); qp outside 0..51 (16s) or 0..87 (32s) (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantFwdLumaDC4x4_H264_16s_C1I(
    Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s needTransform,
    const Opx16s* pScanMatrix, Opx32s* pLastCoeff, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantFwdLumaDC4x4_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s needTransform,
    const Opx16s* pScanMatrix, Opx32s* pLastCoeff, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;

/**
 * Chroma DC: the 2x2 (4:2:0) or 2x4 (4:2:2) DC transform of pSrcDst, saturated to 16 (32)
 * bits, into pTBlock when needTransform is nonzero (else pTBlock is read and left), quantised
 * into pSrcDst. 2x2: q = 16 + qpPer, f = 2^q / 3 (intra) or 2^q / 6. 2x4: qp + 3 takes the
 * place of qp and f = 682 (intra) or 342 times 2^(q - 11). With pScaleLevels (optional,
 * element 0 used) q is 4 smaller. Checks: pSrcDst, pTBlock, pNumLevels null (opxErrNullPtr); qp
 * outside 0..39 (16s) or 0..75 (32s) (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantFwdChromaDC2x2_H264_16s_C1I(
    Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    Opx32s needTransform, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantFwdChromaDC2x2_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    Opx32s needTransform, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantFwdChromaDC2x4_H264_16s_C1I(
    Opx16s* pSrcDst, Opx16s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    Opx32s needTransform, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantFwdChromaDC2x4_H264_32s_C1I(
    Opx32s* pSrcDst, Opx32s* pTBlock, Opx32s qp, Opx32s* pNumLevels, Opx32s intra,
    Opx32s needTransform, const Opx16s* pScaleLevels) OPXVC_NOEXCEPT;

/**
 * Older in-place forms with the CAVLC level guard: the work of
 * opxiTransformQuantFwd4x4_H264_16s_C1 (flat scales), of the 16s luma DC function (flat scales)
 * and of the 16s 2x2 chroma DC function. When a level's magnitude would exceed 2063 they return
 * opxErrLevelRange and write nothing (neither levels, pTBlock nor facts). *pLastCoeff is masked
 * to 0..127. Checks: a pointer null (opxErrNullPtr); qp outside 0..51 (0..39 for chroma DC)
 * (opxErrOutOfRange).
 */
OPXVC_API OpxResult opxiTransformQuantResidual_H264_16s_C1I(Opx16s* pSrcDst, Opx32s qp,
                                                            Opx8s* pNumLevels, Opx8u intra,
                                                            const Opx16s* pScanMatrix,
                                                            Opx8u* pLastCoeff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantLumaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock,
                                                          Opx32s qp, Opx8s* pNumLevels,
                                                          Opx8u needTransform,
                                                          const Opx16s* pScanMatrix,
                                                          Opx8u* pLastCoeff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiTransformQuantChromaDC_H264_16s_C1I(Opx16s* pSrcDst, Opx16s* pTBlock,
                                                            Opx32s qp, Opx8s* pNumLevels,
                                                            Opx8u intra,
                                                            Opx8u needTransform) OPXVC_NOEXCEPT;

/**
 * Exact forward 4x4 transform of a 4x4 block of 8-bit samples read with srcStep (bytes) into 16
 * values. Checks: either pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiTransformPrediction_H264_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep,
                                                          Opx16s* pDst) OPXVC_NOEXCEPT;

/**
 * Scale arrays of a scaling list for one qp % 6: pDequantScale = w * normAdjust (the LevelScale
 * of H.264 clause 8.5.9), pQuantScale = the forward scale divided by w, rounded down. A weight
 * of 0 (not allowed in a stream) gives a forward scale of 1 and a dequantisation scale of 0. The
 * 8x8 form reads 8 rows of 8 weights srcStep bytes apart.
 * Checks: a pointer null (opxErrNullPtr); qpRem outside 0..5 (4x4: opxErrOutOfRange, 8x8:
 * opxErrQp).
 */
OPXVC_API OpxResult opxiGenScaleLevel4x4_H264_8u16s_C1(const Opx8u* pScalingList,
                                                       Opx16u* pDequantScale,
                                                       Opx16u* pQuantScale,
                                                       Opx32s qpRem) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGenScaleLevel8x8_H264_8u16s_D2(const Opx8u* pScalingList,
                                                       Opx32s srcStep, Opx16u* pDequantScale,
                                                       Opx16u* pQuantScale,
                                                       Opx32s qpRem) OPXVC_NOEXCEPT;

/*
 * CAVLC syntax elements of one block (H.264 clause 7.3.5.3.2), in the order the standard codes
 * them, from the highest scan position down; no bits are written. Outputs: *pTrailingOnes
 * (0..3), *pTrailingOneSigns (their signs as bits, 1 = negative, the first met the most
 * significant), *pNumCoeffs (TotalCoeff), *pTotalZeros (zeros between the first examined
 * position and the highest non-zero coefficient), pLevels (the TotalCoeff - TrailingOnes other
 * non-zero coefficients, in the order met) and pRuns (run_before of each coefficient met but the
 * last, TotalCoeff - 1 values). A block without non-zero coefficients reports total_zeros equal
 * to the number of positions examined and writes neither pLevels nor pRuns.
 */

/**
 * One 4x4 block of 16 coefficients in raster order: examines the scan positions lastPos down to
 * firstPos (0 for a block with its DC coefficient, 1 for an AC block), pScan (16 entries) giving
 * each scan position's raster index. Checks: a pointer null (opxErrNullPtr); firstPos below 0,
 * lastPos above 15 or below firstPos, or a pScan entry among positions firstPos..lastPos
 * outside 0..15 (opxErrOutOfRange, nothing written).
 */
OPXVC_API OpxResult opxiEncodeCoeffsCAVLC_H264_16s(const Opx16s* pSrc, Opx8u firstPos,
                                                   const Opx32s* pScan, Opx8u lastPos,
                                                   Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns,
                                                   Opx8u* pNumCoeffs, Opx8u* pTotalZeros,
                                                   Opx16s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsCAVLC_H264_32s(const Opx32s* pSrc, Opx32s firstPos,
                                                   const Opx32s* pScan, Opx32s lastPos,
                                                   Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns,
                                                   Opx8u* pNumCoeffs, Opx8u* pTotalZeros,
                                                   Opx32s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;

/**
 * Chroma DC blocks: 2x2 (4:2:0; 4 coefficients, examined in the order 3, 2, 1, 0) and 2x4
 * (4:2:2; 8 coefficients of 2 columns by 4 rows, examined in the order 7, 5, 3, 6, 4, 1, 2, 0,
 * the reverse of the 4:2:2 chroma DC scan). Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiEncodeChromaDcCoeffsCAVLC_H264_16s(
    const Opx16s* pSrc, Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
    Opx8u* pTotalZeros, Opx16s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsCAVLCChromaDC2x2_H264_32s(
    const Opx32s* pSrc, Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
    Opx8u* pTotalZeros, Opx32s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s(
    const Opx16s* pSrc, Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
    Opx8u* pTotalZeros, Opx16s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s(
    const Opx32s* pSrc, Opx8u* pTrailingOnes, Opx8u* pTrailingOneSigns, Opx8u* pNumCoeffs,
    Opx8u* pTotalZeros, Opx32s* pLevels, Opx8u* pRuns) OPXVC_NOEXCEPT;

/*
 * Block statistics and differences. Steps are signed byte distances for 8-bit and 16-bit data.
 * Half-sample predictions follow the block primitives: mcType 0 integer, 4 vertical, 8
 * horizontal, 12 both, roundControl 0 rounds half up and 1 half down (GetDiff reads only bits 2
 * and 3 of mcType and bit 0 of roundControl); a bidirectional prediction is (PF + PB + 1) >> 1
 * of two such predictions. A half-sample position reads one row below and one column (the
 * interleaved C2P2 forms: two bytes) to the right of the reference block. Differences and
 * predictions are written as Opx16s. 4x4-block order: the 16 values of the first 4x4 sub-block
 * row by row, then the next, sub-blocks left to right, top to bottom.
 */

/**
 * pDstDiff = cur - P, P the prediction from pSrcRef at mcType with roundControl; P also into
 * pDstPredictor unless that is null. Checks: pSrcCur, pSrcRef, pDstDiff null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiGetDiff16x16_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff16x8_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x16_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x8_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x4_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiff, Opx32s dstDiffStep, Opx16s* pDstPredictor, Opx32s dstPredictorStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;

/**
 * pDstDiff = cur - ((PF + PB + 1) >> 1), PF from pSrcRefF at mcTypeF, PB from pSrcRefB at
 * mcTypeB, both with roundControl. Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiGetDiff16x16B_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
    Opx32s dstDiffStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff16x8B_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
    Opx32s dstDiffStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x16B_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
    Opx32s dstDiffStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x8B_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
    Opx32s dstDiffStep, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x4B_8u16s_C1(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB, Opx16s* pDstDiff,
    Opx32s dstDiffStep, Opx32s roundControl) OPXVC_NOEXCEPT;

/**
 * Interleaved two-component blocks of 8 sample pairs by 8 or 4 rows (the horizontal neighbour
 * two bytes on): the differences of the even bytes go to pDstDiffU, of the odd bytes to
 * pDstDiffV (8 values a row each). The B forms subtract the bidirectional prediction.
 * Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiGetDiff8x8_8u16s_C2P2(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV, Opx32s dstDiffVStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x4_8u16s_C2P2(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRef, Opx32s srcRefStep,
    Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV, Opx32s dstDiffVStep,
    Opx32s mcType, Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x8B_8u16s_C2P2(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,
    Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV, Opx32s dstDiffVStep,
    Opx32s roundControl) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiGetDiff8x4B_8u16s_C2P2(
    const Opx8u* pSrcCur, Opx32s srcCurStep, const Opx8u* pSrcRefF, Opx32s srcRefFStep,
    Opx32s mcTypeF, const Opx8u* pSrcRefB, Opx32s srcRefBStep, Opx32s mcTypeB,
    Opx16s* pDstDiffU, Opx32s dstDiffUStep, Opx16s* pDstDiffV, Opx32s dstDiffVStep,
    Opx32s roundControl) OPXVC_NOEXCEPT;

/** cur - ref at the integer position, 4x4. Checks: a pointer null (opxErrNullPtr). */
OPXVC_API OpxResult opxiGetDiff4x4_8u16s_C1(const Opx8u* pSrcCur, Opx32s srcCurStep,
                                            const Opx8u* pSrcRef, Opx32s srcRefStep,
                                            Opx16s* pDstDiff, Opx32s dstDiffStep) OPXVC_NOEXCEPT;

/**
 * pDst = pSrc1 - pSrc2; the 16u forms take the difference modulo 2^16.
 * Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiSub16x16_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step,
                                             const Opx8u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                             Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSub8x8_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step,
                                             const Opx8u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                             Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSub4x4_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step,
                                             const Opx8u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                             Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSub8x8_16u16s_C1R(const Opx16u* pSrc1, Opx32s src1Step,
                                              const Opx16u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                              Opx32s dstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSub4x4_16u16s_C1R(const Opx16u* pSrc1, Opx32s src1Step,
                                              const Opx16u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                              Opx32s dstStep) OPXVC_NOEXCEPT;

/**
 * As opxiSub8x8_8u16s_C1R, and *pSAD = the sum of the absolute differences.
 * Checks: pSrc1, pSrc2, pDst, pSAD null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiSubSAD8x8_8u16s_C1R(const Opx8u* pSrc1, Opx32s src1Step,
                                            const Opx8u* pSrc2, Opx32s src2Step, Opx16s* pDst,
                                            Opx32s dstStep, Opx32s* pSAD) OPXVC_NOEXCEPT;

/**
 * pSums[k] = the sum of src - pred over 4x4 sub-block k (raster order of the sub-blocks: 16 for
 * 16x16, 4 for 8x8); when pDiff is not null it receives all differences in 4x4-block order
 * (16u forms: modulo 2^16). The C2P2 form splits an interleaved source into its two components
 * against two planar predictions. Checks: the sources, predictions and sums null
 * (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiSumsDiff16x16Blocks4x4_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep,
                                                        const Opx8u* pPred, Opx32s predStep,
                                                        Opx16s* pSums,
                                                        Opx16s* pDiff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSumsDiff8x8Blocks4x4_8u16s_C1(const Opx8u* pSrc, Opx32s srcStep,
                                                      const Opx8u* pPred, Opx32s predStep,
                                                      Opx16s* pSums, Opx16s* pDiff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSumsDiff16x16Blocks4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                          const Opx16u* pPred, Opx32s predStep,
                                                          Opx32s* pSums,
                                                          Opx16s* pDiff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSumsDiff8x8Blocks4x4_16u32s_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                        const Opx16u* pPred, Opx32s predStep,
                                                        Opx32s* pSums,
                                                        Opx16s* pDiff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSumsDiff8x8Blocks4x4_8u16s_C2P2(
    const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pPredU, Opx32s predUStep,
    const Opx8u* pPredV, Opx32s predVStep, Opx16s* pSumsU, Opx16s* pDiffU, Opx16s* pSumsV,
    Opx16s* pDiffV) OPXVC_NOEXCEPT;

/**
 * The sum of |x - m| over the block, m = (sum of x + N / 2) / N rounded down (N = 256 or 64).
 * Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiMeanAbsDev16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                  Opx32s* pDst) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiMeanAbsDev8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                Opx32s* pDst) OPXVC_NOEXCEPT;

/**
 * 256 times the variance of a 16x16 block, truncated: the sum of x^2 less
 * ((sum of x)^2 >> 8), the square formed in 64 bits. Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiVariance16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep,
                                            Opx32s* pDst) OPXVC_NOEXCEPT;

/**
 * 8x8 block: *pSum (or *pMean) = S, the sum of the samples; *pVar = the variance in single
 * precision: a = Q / 64, b = S / 64, v = a - b * b with S and Q (the sum of squares, exact)
 * converted to float and every operation rounded to float, v truncated toward zero. VarSum and
 * VarMean of one type are the same function. Checks: a pointer null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiVarSum8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pVar,
                                            Opx32s* pSum) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiVarMean8x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx32s* pVar,
                                             Opx32s* pMean) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiVarSum8x8_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pVar,
                                             Opx32s* pSum) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiVarMean8x8_16s32s_C1R(const Opx16s* pSrc, Opx32s srcStep, Opx32s* pVar,
                                              Opx32s* pMean) OPXVC_NOEXCEPT;

/**
 * Per 8x8 sub-block k (raster order; 4 for 16x16, 2 for 16x8) of the residual d = src - P, P
 * the prediction from pRef at mcType rounding half up: pMean[k] = (pSrcSum[k] - the sum of P) / 8
 * truncated toward zero (pSrcSum holds the caller's source sums), pVar[k] =
 * (sum of d^2 - pMean[k]^2) >> 6. Checks: a pointer null (opxErrNullPtr); mcType other than 0,
 * 4, 8, 12: opxWrnNothingDone, nothing written.
 */
OPXVC_API OpxResult opxiVarMeanDiff16x16_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                   const Opx8u* pRef, Opx32s refStep,
                                                   const Opx32s* pSrcSum, Opx32s* pVar,
                                                   Opx32s* pMean, Opx32s mcType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiVarMeanDiff16x8_8u32s_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                  const Opx8u* pRef, Opx32s refStep,
                                                  const Opx32s* pSrcSum, Opx32s* pVar,
                                                  Opx32s* pMean, Opx32s mcType) OPXVC_NOEXCEPT;

/**
 * The sum of (src - P)^2 over 16x16, P the prediction rounding half up (B: the bidirectional
 * prediction of two such). Checks: a pointer null (opxErrNullPtr); an mcType other than 0, 4,
 * 8, 12: opxWrnNothingDone, nothing written.
 */
OPXVC_API OpxResult opxiSqrDiff16x16_8u32s(const Opx8u* pSrc, Opx32s srcStep, const Opx8u* pRef,
                                           Opx32s refStep, Opx32s mcType,
                                           Opx32s* pSqrDiff) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiSqrDiff16x16B_8u32s(const Opx8u* pSrc, Opx32s srcStep,
                                            const Opx8u* pRefF, Opx32s refFStep, Opx32s mcTypeF,
                                            const Opx8u* pRefB, Opx32s refBStep, Opx32s mcTypeB,
                                            Opx32s* pSqrDiff) OPXVC_NOEXCEPT;

/**
 * *pRes = 1 when more than edgePelCount of the top-left 15x15 samples differ from their right
 * or lower neighbour by more than edgePelDifference, else 0 (the 16x16 block is read). 8u: only
 * the low byte of edgePelDifference counts, as a signed byte, against differences limited to
 * 127 (so 128..255 make every sample an edge sample). 16u: exact differences; a threshold of
 * 65536 or more or a count of 225 or more gives 0. Checks: pSrc, pRes null (opxErrNullPtr).
 */
OPXVC_API OpxResult opxiEdgesDetect16x16_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                Opx32u edgePelDifference, Opx32u edgePelCount,
                                                Opx8u* pRes) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEdgesDetect16x16_16u_C1R(const Opx16u* pSrc, Opx32s srcStep,
                                                 Opx32u edgePelDifference, Opx32u edgePelCount,
                                                 Opx32u* pRes) OPXVC_NOEXCEPT;

/* ==== END H.264 ENCODING ==== */


/* ==== MPEG-4, H.263, H.261: coefficient coding and quantisation ==== */

/*
 * Coefficient blocks are 64 Opx16s values in raster order (index 8 x row + column).
 *
 * MPEG-4 quantisation records live in caller memory of the size GetSize reports (412 bytes for
 * the forward records, 156 for the inverse records); Init and every user move the pointer up to
 * the next multiple of 16, so any address works. Records hold no pointers.
 * Each kind carries its own identifier word; a record of another kind gives opxErrContextMatch.
 * QP ranges over 1 .. 2^(b-3) - 1 for b bits per pixel (1..31 for b = 8).
 *
 * lastIndex of the inverse quantisers is a RASTER index: the rows 0 .. lastIndex / 8 are
 * processed and later rows left untouched (their coefficients are expected to be zero). Values
 * above 63 are taken as 63. (The decoders' *pLastIndex, in contrast, is a scan position.)
 */
typedef struct OpxQuantIntraStateMPEG4 OpxQuantIntraStateMPEG4;
typedef struct OpxQuantInterStateMPEG4 OpxQuantInterStateMPEG4;
typedef struct OpxQuantInvIntraStateMPEG4 OpxQuantInvIntraStateMPEG4;
typedef struct OpxQuantInvInterStateMPEG4 OpxQuantInvInterStateMPEG4;

/** Size in bytes of a forward quantisation record (412). pSize null: opxErrNullPtr. */
OPXVC_API OpxResult opxiQuantIntraGetSize_MPEG4(Opx32s* pSize) OPXVC_NOEXCEPT;
/** Same function as opxiQuantIntraGetSize_MPEG4. */
OPXVC_API OpxResult opxiQuantInterGetSize_MPEG4(Opx32s* pSize) OPXVC_NOEXCEPT;
/** Size in bytes of an inverse quantisation record (156). pSize null: opxErrNullPtr. */
OPXVC_API OpxResult opxiQuantInvIntraGetSize_MPEG4(Opx32s* pSize) OPXVC_NOEXCEPT;
/** Same function as opxiQuantInvIntraGetSize_MPEG4. */
OPXVC_API OpxResult opxiQuantInvInterGetSize_MPEG4(Opx32s* pSize) OPXVC_NOEXCEPT;

/**
 * Prepares a forward (Intra/Inter) or inverse (InvIntra/InvInter) quantisation record from 64
 * weights in raster order (pMatrix null: no matrix, the H.263 method) and the bits per pixel b.
 * Checks, in order: pState null: opxErrNullPtr; b outside 4..12: opxErrOutOfRange; a zero
 * weight: opxErrQp. Every check is made before the record is written, so a refused call leaves
 * it as it was.
 */
OPXVC_API OpxResult opxiQuantIntraInit_MPEG4(const Opx8u* pMatrix, OpxQuantIntraStateMPEG4* pState,
                                             Opx32s bitsPerPixel) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInterInit_MPEG4(const Opx8u* pMatrix, OpxQuantInterStateMPEG4* pState,
                                             Opx32s bitsPerPixel) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInvIntraInit_MPEG4(const Opx8u* pMatrix,
                                                OpxQuantInvIntraStateMPEG4* pState,
                                                Opx32s bitsPerPixel) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInvInterInit_MPEG4(const Opx8u* pMatrix,
                                                OpxQuantInvInterStateMPEG4* pState,
                                                Opx32s bitsPerPixel) OPXVC_NOEXCEPT;

/**
 * MPEG-4 forward quantisation in place. Without a matrix and b <= 8 the H.263 method (inter
 * dead zone QP/2, reciprocal of 2QP, QP 1 halves); b >= 9 single precision; with a matrix the
 * weights scale each step; levels limited to -2047..2047. The intra function quantises the DC
 * with the dc_scaler of QP (chromaFlag nonzero: chrominance). *pCount receives the number of
 * nonzero levels. Checks: pCoeffs, pState or pCount null: opxErrNullPtr; a record of another
 * kind: opxErrContextMatch; QP out of range: opxErrQp.
 */
OPXVC_API OpxResult opxiQuantIntra_MPEG4_16s_C1I(Opx16s* pCoeffs,
                                                 const OpxQuantIntraStateMPEG4* pState, Opx32s qp,
                                                 Opx32s* pCount, Opx32s chromaFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInter_MPEG4_16s_C1I(Opx16s* pCoeffs,
                                                 const OpxQuantInterStateMPEG4* pState, Opx32s qp,
                                                 Opx32s* pCount) OPXVC_NOEXCEPT;

/**
 * MPEG-4 inverse quantisation in place of the rows up to raster index lastIndex, results clamped
 * to -2^(b+3) .. 2^(b+3) - 1. Without a matrix: sign(c)(2QP|c| + q'), q' = QP or QP - 1 (odd).
 * With a matrix: intra c W QP / 8, inter (2c + sign c) W QP / 16 truncated, then mismatch
 * control on coefficient 63. Intra: the DC becomes dc_scaler x c0; lastIndex below 1 leaves the
 * AC rows alone. Inter: a negative lastIndex leaves the block alone. Checks: pCoeffs or pState
 * null: opxErrNullPtr; record of another kind: opxErrContextMatch; QP out of range: opxErrQp.
 */
OPXVC_API OpxResult opxiQuantInvIntra_MPEG4_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex,
                                                    const OpxQuantInvIntraStateMPEG4* pState,
                                                    Opx32s qp, Opx32s chromaFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInvInter_MPEG4_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex,
                                                    const OpxQuantInvInterStateMPEG4* pState,
                                                    Opx32s qp) OPXVC_NOEXCEPT;

/**
 * H.263 forward quantisation in place (H.263 method). Levels are limited to -127..127 when QP < 8
 * and modQuantFlag is 0. Intra without advanced intra: the INTRADC level is (c0 + 4) >> 3
 * clamped to 1..254 and counts as one nonzero level; with advanced intra every coefficient takes
 * the advanced-intra rounding. *pCount receives the number of nonzero levels.
 * Checks: pCoeffs or pCount null: opxErrNullPtr; QP outside 1..31: opxErrQp.
 */
OPXVC_API OpxResult opxiQuantIntra_H263_16s_C1I(Opx16s* pCoeffs, Opx32s qp, Opx32s* pCount,
                                                Opx32s advIntraFlag,
                                                Opx32s modQuantFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInter_H263_16s_C1I(Opx16s* pCoeffs, Opx32s qp, Opx32s* pCount,
                                                Opx32s modQuantFlag) OPXVC_NOEXCEPT;

/**
 * H.263 inverse quantisation in place of the rows up to raster index lastIndex:
 * sign(c)(2QP|c| + q') in 32-bit arithmetic, clamped to -2048..2047 (modQuantFlag 0) or
 * saturated to 16 bits (Annex T). Intra: the DC becomes 8 c0 and the AC rows are processed only
 * when lastIndex > 0; with advanced intra every coefficient becomes 2 QP c (saturated).
 * Checks: pCoeffs null: opxErrNullPtr; QP outside 1..31: opxErrQp; lastIndex < 0:
 * opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiQuantInvIntra_H263_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex, Opx32s qp,
                                                   Opx32s advIntraFlag,
                                                   Opx32s modQuantFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInvInter_H263_16s_C1I(Opx16s* pCoeffs, Opx32s lastIndex, Opx32s qp,
                                                   Opx32s modQuantFlag) OPXVC_NOEXCEPT;

/*
 * Byte cursor (the coefficient decoders and encoders below): *ppBitStream points to the byte that
 * holds the next bit, *pBitOffset (0..7) counts the bits of that byte already consumed or written,
 * from its most significant bit. Decoders fetch four bytes at a time and may read up to three
 * bytes past the last byte holding a consumed bit. On an invalid code (opxErrVlcCode) the cursor
 * is left as it was on entry, except where a function says otherwise.
 *
 * Scan orders (argument scan): 0 zigzag, 1 alternate vertical, 2 alternate horizontal (MPEG-4
 * Visual), -1 none (scan position = raster index); which values each function maps is stated
 * with it. *pLastIndex receives a SCAN position: the position of the last coefficient decoded.
 * After an invalid code the MPEG-4 decoders store the position reached (above 63 when a run
 * overflowed), the H.263 and H.261 functions the position of the last coefficient written.
 *
 * Common checks, in order: ppBitStream, pBitOffset, *ppBitStream or another pointer argument
 * null: opxErrNullPtr; *pBitOffset outside 0..7: opxErrBitOffset; then each function's own.
 */
typedef enum {
    opxScanNone = -1,
    opxScanZigzag = 0,
    opxScanAltVertical = 1,
    opxScanAltHorizontal = 2
} OpxScanOrder;

/**
 * Decodes one MPEG-4 intra block (Table B-16 with its three escape modes, or the intra column of
 * the reversible Table B-23 when rvlcFlag is nonzero) into 64 raster-order levels. dcSeparate
 * nonzero: coefficient 0 keeps its value and decoding starts at scan position 1. scan 0, 1, 2;
 * any other value stores unscanned. Escape mode 3 LEVEL 0 or -2048 is invalid.
 */
OPXVC_API OpxResult opxiDecodeCoeffsIntra_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                      Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                      Opx32s rvlcFlag, Opx32s dcSeparate,
                                                      Opx32s scan) OPXVC_NOEXCEPT;
/**
 * Decodes one MPEG-4 inter block (Table B-17, or the inter column of Table B-23). scan 0 or 1;
 * any other value (2 included) stores unscanned. Escape mode 3 LEVEL 0 is accepted and stored as
 * a zero coefficient; -2048 is invalid.
 */
OPXVC_API OpxResult opxiDecodeCoeffsInter_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                      Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                      Opx32s rvlcFlag, Opx32s scan) OPXVC_NOEXCEPT;
/**
 * Backward reversible decoding (Table B-23) of one block of a reversible data partition, read
 * from its end: on entry the cursor designates the block's final bit (the sign bit of its LAST
 * code: the bit at offset *pBitOffset of the current byte). The first code read must have
 * LAST = 1; decoding stops at the next LAST code, which belongs to the preceding block and is
 * left unconsumed: the cursor then designates that code's sign bit. Levels are stored at their
 * scan positions (no scan); intra with dcSeparate keeps coefficient 0 and starts at position 1.
 * Only the bytes that hold bits read are touched (the stream before the block is read, never
 * anything before the preceding block's final bit).
 */
OPXVC_API OpxResult opxiDecodeCoeffsIntraRVLCBack_MPEG4_1u16s(Opx8u** ppBitStream,
                                                              Opx32s* pBitOffset, Opx16s* pCoeffs,
                                                              Opx32s* pLastIndex,
                                                              Opx32s dcSeparate) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeCoeffsInterRVLCBack_MPEG4_1u16s(Opx8u** ppBitStream,
                                                              Opx32s* pBitOffset, Opx16s* pCoeffs,
                                                              Opx32s* pLastIndex) OPXVC_NOEXCEPT;
/**
 * Decodes one H.263 intra block's TCOEF events. advIntraFlag 0: Table 16, coefficient 0 (the
 * caller's INTRADC) kept, decoding from position 1; nonzero: the Annex I table, all 64 cleared,
 * the DC coded as an event. modQuantFlag nonzero: Annex T escape levels (LEVEL -128 followed by
 * 11 bits: 5 low bits, then 6 high bits). scan 0, 1, 2; any other value stores unscanned.
 */
OPXVC_API OpxResult opxiDecodeCoeffsIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                     Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                     Opx32s advIntraFlag, Opx32s modQuantFlag,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/** Decodes one H.263 inter block (Table 16); flags and scan as for the intra function. */
OPXVC_API OpxResult opxiDecodeCoeffsInter_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                     Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                     Opx32s modQuantFlag,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/**
 * Decodes one H.261 intra block: the 8-bit DC (0 and 128 invalid: *pLastIndex = -1, nothing else
 * changes; 255 stands for 128), then TCOEFF events up to EOB. The cursor stays past the DC even
 * when the events then fail. scan -1 stores unscanned, any other value zigzag.
 */
OPXVC_API OpxResult opxiDecodeCoeffsIntra_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                     Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/** Decodes one H.261 inter block; a leading 1s is the first coefficient (run 0, level +-1). */
OPXVC_API OpxResult opxiDecodeCoeffsInter_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                     Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/**
 * Decodes an MPEG-4 intra DC differential: dct_dc_size (Table B-13, or B-14 when chromaFlag is
 * nonzero), the differential and, for sizes above 8, a marker bit that must be 1.
 */
OPXVC_API OpxResult opxiDecodeDCIntra_MPEG4_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                  Opx16s* pDcDiff, Opx32s chromaFlag) OPXVC_NOEXCEPT;
/** Reads an H.263 INTRADC byte: 0 and 128 are invalid, 255 gives 128. */
OPXVC_API OpxResult opxiDecodeDCIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                 Opx16s* pDc) OPXVC_NOEXCEPT;

/**
 * Decode and dequantise one block in zigzag order. H.261 and H.263 levels L become
 * sign(L)(2QP|L| + q') (q' = QP odd, QP - 1 even) clamped to -2048..2047 (H.263 with modQuantFlag:
 * saturated to 16 bits); the intra DC code c gives 8c (1024 for 255). Further check: QP outside
 * 1..31: opxErrQp.
 */
OPXVC_API OpxResult opxiReconstructCoeffsIntra_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                          Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                          Opx32s qp) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructCoeffsInter_H261_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                          Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                          Opx32s qp) OPXVC_NOEXCEPT;
/**
 * H.263 intra reconstruction. Without advanced intra: the INTRADC byte (invalid: *pLastIndex -1,
 * cursor unchanged), then, when codedFlag is nonzero, Table 16 events in zigzag order; codedFlag 0
 * reads nothing more, clears coefficients 1..63 and sets *pLastIndex to 0. Coefficient 0 receives
 * the reconstructed DC, also when the events fail (the cursor then stays just past the DC byte).
 * With advanced intra: Annex I events from position 0 in the given scan (0 zigzag, 1 alternate
 * vertical, 2 alternate horizontal, else zigzag), each level giving 2 QP L (saturated to 16
 * bits); codedFlag 0 then gives an empty block (*pLastIndex -1) and reads nothing.
 */
OPXVC_API OpxResult opxiReconstructCoeffsIntra_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                          Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                          Opx32s codedFlag, Opx32s qp,
                                                          Opx32s advIntraFlag, Opx32s scan,
                                                          Opx32s modQuantFlag) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructCoeffsInter_H263_1u16s(Opx8u** ppBitStream, Opx32s* pBitOffset,
                                                          Opx16s* pCoeffs, Opx32s* pLastIndex,
                                                          Opx32s qp,
                                                          Opx32s modQuantFlag) OPXVC_NOEXCEPT;
/**
 * MPEG-4 inter reconstruction with an inverse inter record (scan 1 alternate vertical, else
 * zigzag). rvlcFlag 0: Table B-17, each level dequantised as it is stored (H.263 method, or the
 * matrix method with mismatch control), clamped to the record's range. rvlcFlag nonzero: the
 * reversible inter codes, then opxiQuantInvInter_MPEG4_16s_C1I over the whole block; *pLastIndex
 * receives the last position decoded. Further checks, made before anything is read or written:
 * pState null: opxErrNullPtr; a record of another kind: opxErrContextMatch; QP out of range:
 * opxErrQp.
 */
OPXVC_API OpxResult opxiReconstructCoeffsInter_MPEG4_1u16s(
    Opx8u** ppBitStream, Opx32s* pBitOffset, Opx16s* pCoeffs, Opx32s* pLastIndex, Opx32s rvlcFlag,
    Opx32s scan, const OpxQuantInvInterStateMPEG4* pState, Opx32s qp) OPXVC_NOEXCEPT;

/*
 * Coefficient encoders: write one block's quantised levels (64 raster-order Opx16s) as
 * run/level/last events through the byte cursor. The first byte keeps the bits already in it,
 * following bytes are assigned, the byte after the last one reached is not touched; the caller
 * provides room for the worst case (64 events of up to 33 bits). countNonZero is the number of
 * nonzero levels of the coded range (the H.261 intra DC counts as one); the level it ends on
 * gets LAST = 1 and later levels are not examined.
 *
 * Checks, in order: pCoeffs, ppBitStream, pBitOffset or *ppBitStream null: opxErrNullPtr;
 * *pBitOffset outside 0..7: opxErrBitOffset; countNonZero outside 1..64 (1..63 when the DC is
 * coded separately: MPEG-4 intra with dcSeparate, H.263 intra without advanced intra) or above
 * the number of nonzero levels in the coded range: opxErrOutOfRange. Nothing is written on error.
 */

/**
 * MPEG-4 intra / inter TCOEF encoding (Tables B-16/B-17 with escapes tried in the order 1, 2, 3;
 * escape 2 only when the reduced run has a table code), or the reversible Table B-23 with its
 * 30-bit escape when rvlcFlag is nonzero. Intra scan: 1 alternate vertical, 2 alternate
 * horizontal, -1 none, else zigzag; dcSeparate nonzero starts at position 1. Inter scan:
 * 1 alternate vertical, -1 none, else zigzag.
 */
OPXVC_API OpxResult opxiEncodeCoeffsIntra_MPEG4_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                      Opx32s* pBitOffset, Opx32s countNonZero,
                                                      Opx32s rvlcFlag, Opx32s dcSeparate,
                                                      Opx32s scan) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsInter_MPEG4_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                      Opx32s* pBitOffset, Opx32s countNonZero,
                                                      Opx32s rvlcFlag, Opx32s scan) OPXVC_NOEXCEPT;
/**
 * H.263 TCOEF encoding (Table 16, or Table I.2 with advIntraFlag, the DC then coded as an event
 * from position 0; without it coding starts at position 1). Escape: 22 bits with an 8-bit level
 * (levels must lie in -127..127), or with modQuantFlag and |L| >= 128 the Annex T form (LEVEL
 * 1000 0000, the 5 low bits, then the 6 high bits; 33 bits). scan 0 zigzag, 1 alternate
 * vertical, 2 alternate horizontal, else none.
 */
OPXVC_API OpxResult opxiEncodeCoeffsIntra_H263_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                     Opx32s* pBitOffset, Opx32s countNonZero,
                                                     Opx32s advIntraFlag, Opx32s modQuantFlag,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsInter_H263_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                     Opx32s* pBitOffset, Opx32s countNonZero,
                                                     Opx32s modQuantFlag,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/**
 * H.261 TCOEFF encoding, ended by EOB. Intra: the DC byte first (128 written as 255), then the
 * AC events. Inter: a first coefficient +-1 at position 0 is written 1s. Escape: 20 bits, levels
 * in -127..127. scan -1 none, else zigzag.
 */
OPXVC_API OpxResult opxiEncodeCoeffsIntra_H261_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                     Opx32s* pBitOffset, Opx32s countNonZero,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiEncodeCoeffsInter_H261_16s1u(const Opx16s* pCoeffs, Opx8u** ppBitStream,
                                                     Opx32s* pBitOffset, Opx32s countNonZero,
                                                     Opx32s scan) OPXVC_NOEXCEPT;
/**
 * Writes an H.263 INTRADC level as 8 bits (128 as 255). Checks: ppBitStream, pBitOffset or
 * *ppBitStream null: opxErrNullPtr; offset outside 0..7: opxErrBitOffset.
 */
OPXVC_API OpxResult opxiEncodeDCIntra_H263_16s1u(Opx16s dc, Opx8u** ppBitStream,
                                                 Opx32s* pBitOffset) OPXVC_NOEXCEPT;
/**
 * Writes an MPEG-4 intra DC differential: dct_dc_size (chromaFlag 1: Table B-14, any other value
 * the luminance Table B-13), the differential's size bits (of dcDiff - 1 when negative) and a
 * marker bit for sizes above 8. Checks as opxiEncodeDCIntra_H263_16s1u, then |dcDiff| >= 4096
 * (no size code): opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiEncodeDCIntra_MPEG4_16s1u(Opx16s dcDiff, Opx8u** ppBitStream,
                                                  Opx32s* pBitOffset,
                                                  Opx32s chromaFlag) OPXVC_NOEXCEPT;

/*
 * H.263 and H.261 loop filters (in place). pSrcDst points to the first sample after the edge: the
 * first row below a horizontal edge, the first column right of a vertical edge. Across the edge
 * p1 p0 | q0 q1 are the two samples on each side; results are clamped to 0..255. Null pointers:
 * opxErrNullPtr; nothing is written on error.
 */
/**
 * H.263 Annex J deblocking across one 8-sample edge: d = (p1 - 4 p0 + 4 q0 - q1) / 8, an up-down
 * ramp of strength S = Table J.2 (qp) gives d1 (full for |d| <= S, none from 2S), p0 += d1,
 * q0 -= d1, and d2 = (p1 - q1) / 4 limited to +-(|d1| >> 1) gives p1 -= d2, q1 += d2 (divisions
 * truncate). qp outside 1..31: opxErrQp.
 */
OPXVC_API OpxResult opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                                Opx32s qp) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                                Opx32s qp) OPXVC_NOEXCEPT;
/** The same filter across a 16-sample edge without the strength ramp (d1 = d). */
OPXVC_API OpxResult opxiFilterDeblocking16x16HorEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                                  Opx32s srcDstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblocking16x16VerEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                                  Opx32s srcDstStep) OPXVC_NOEXCEPT;
/**
 * H.263 Annex Q block boundary filter across a 16-sample edge: p0' = (3 p0 + q0 + 2) >> 2,
 * q0' = (p0 + 3 q0 + 2) >> 2; p1 and q1 untouched.
 */
OPXVC_API OpxResult opxiFilterBlockBoundaryHorEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                                Opx32s srcDstStep) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterBlockBoundaryVerEdge_H263_8u_C1IR(Opx8u* pSrcDst,
                                                                Opx32s srcDstStep) OPXVC_NOEXCEPT;
/**
 * H.261 loop filter of one 8x8 block: separable 1/4 1/2 1/4 inside the block, border rows and
 * columns filtered along the border only, corners unchanged. pSrc and pDst may be the same block
 * (filtering in place).
 */
OPXVC_API OpxResult opxiFilter8x8_H261_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                              Opx32s dstStep) OPXVC_NOEXCEPT;

/*
 * MPEG-4 quarter-sample copies. acc: bits 1..0 the horizontal quarter position, bits 3..2 the
 * vertical; rounding: bit 0 (rc). acc 0 copies the block. Otherwise half-sample values come from
 * the 8-tap filter (-1, 3, -6, 20, 20, -6, 3, -1) with rounding 16 - rc, shift 5, clamped;
 * quarter values average a half-sample value with its nearer neighbour, (p + q + 1 - rc) >> 1.
 * The horizontal pass runs over h + 1 rows, the vertical pass on its output. For a w x h block
 * only columns 0..w and rows 0..h of the source are read: taps beyond them are mirrored (-1 reads
 * 0, w + 1 reads w). Null pointers: opxErrNullPtr.
 */
OPXVC_API OpxResult opxiCopy8x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, Opx32s acc,
                                               Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                Opx32s dstStep, Opx32s acc,
                                                Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiCopy16x16QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                 Opx32s dstStep, Opx32s acc,
                                                 Opx32s rounding) OPXVC_NOEXCEPT;
/**
 * Overlapped block motion compensation (H.263 Annex F weights, also MPEG-4 OBMC). pSrc is the
 * reference at the block's position; each vector addresses its prediction from there (half-sample
 * units for HP with the rounded half-sample interpolation, quarter-sample units for QP with the
 * quarter-sample filter of a whole 8x8 block). The current prediction covers the block, the left
 * vector columns 0..3 (0..7 for 16x16) and the right the others, the above vector rows 0..3 (0..7)
 * and the below the others; a neighbour equal to the current vector reuses the current
 * prediction. Output (H0 q + H2 s + H1 t + 4) >> 3; in the 16x16 form each weight covers 2x2
 * samples. Any of the seven pointers null: opxErrNullPtr, nothing read or written.
 */
OPXVC_API OpxResult opxiOBMC8x8HP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, const OpxMotionVec* pMvCur,
                                               const OpxMotionVec* pMvLeft,
                                               const OpxMotionVec* pMvRight,
                                               const OpxMotionVec* pMvAbove,
                                               const OpxMotionVec* pMvBelow,
                                               Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiOBMC16x16HP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                 Opx32s dstStep, const OpxMotionVec* pMvCur,
                                                 const OpxMotionVec* pMvLeft,
                                                 const OpxMotionVec* pMvRight,
                                                 const OpxMotionVec* pMvAbove,
                                                 const OpxMotionVec* pMvBelow,
                                                 Opx32s rounding) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiOBMC8x8QP_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                               Opx32s dstStep, const OpxMotionVec* pMvCur,
                                               const OpxMotionVec* pMvLeft,
                                               const OpxMotionVec* pMvRight,
                                               const OpxMotionVec* pMvAbove,
                                               const OpxMotionVec* pMvBelow,
                                               Opx32s rounding) OPXVC_NOEXCEPT;

/*
 * MPEG-4 post-filters (ISO/IEC 14496-2 Annex F). Null pointers: opxErrNullPtr; qp outside 1..31:
 * opxErrQp; nothing is written on error.
 */
/**
 * Deblocking across one 8-sample block edge, in place. pSrcDst points to s5 of the first of the
 * eight segments s0..s9 across the edge (s4 | s5 adjacent to it): the first row below a
 * horizontal edge, the first column right of a vertical edge. eq_cnt counts the nine neighbouring
 * pairs differing by at most thr1. eq_cnt < thr2 (default mode): s4 and s5 move towards each
 * other by the corrected a3,0 term (only when |a3,0| < qp), limited to (s4 - s5) / 2 truncated
 * towards zero. Otherwise (DC offset mode, when s1..s8 span less than 2 qp) s1..s8 are smoothed
 * by the 9-tap filter 1 1 2 2 4 2 2 1 1 / 16. Usual values: thr1 = 2, thr2 = 6.
 */
OPXVC_API OpxResult opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                                 Opx32s qp, Opx32s thr1,
                                                                 Opx32s thr2) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                                 Opx32s qp, Opx32s thr1,
                                                                 Opx32s thr2) OPXVC_NOEXCEPT;
/**
 * Deringing thresholds of one macroblock: pThresholds[0..5] for luminance blocks 0..3 (raster
 * order in the 16x16 block at pSrcY), then Cb and Cr: (max + min + 1) >> 1 of each block. With R
 * the largest luminance range: R < 16 sets the four luminance thresholds to 0; R >= 64 gives
 * every luminance block of range below 32 the threshold of the (first) block of range R.
 */
OPXVC_API OpxResult opxiFilterDeringingThreshold_MPEG4_8u_P3R(const Opx8u* pSrcY, Opx32s srcStepY,
                                                              const Opx8u* pSrcCb,
                                                              Opx32s srcStepCb,
                                                              const Opx8u* pSrcCr,
                                                              Opx32s srcStepCr,
                                                              Opx32s* pThresholds) OPXVC_NOEXCEPT;
/**
 * Deringing smoother of one 8x8 block (its one-sample border is read): a sample whose 3x3
 * neighbourhood lies entirely below threshold or entirely at or above it becomes the 3x3
 * 1 2 1 / 2 4 2 / 1 2 1 average ((sum + 8) >> 4), kept within +-(qp >> 1) of the sample; other
 * samples are copied. qp 1 copies the block. pSrc and pDst may be the same block.
 */
OPXVC_API OpxResult opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                              Opx8u* pDst, Opx32s dstStep,
                                                              Opx32s qp,
                                                              Opx32s threshold) OPXVC_NOEXCEPT;

/*
 * MPEG-4 sprite warping and global motion compensation. The warp record lives in caller memory of
 * opxiWarpGetSize_MPEG4 bytes (384; the functions use it from the next 16-byte boundary). Warped
 * positions are computed in 1/16 sample with 64-bit (perspective: 128-bit) integers.
 */
typedef struct OpxWarpStateMPEG4 OpxWarpStateMPEG4;
/** Size of the warp record in bytes (384). Null pSize: opxErrNullPtr. */
OPXVC_API OpxResult opxiWarpGetSize_MPEG4(Opx32s* pSize) OPXVC_NOEXCEPT;
/**
 * Sets up the warp record of one VOP: numPoints 0..4 warping points with displacements pDu/pDv
 * (half samples, each relative to the first as in the bitstream), spriteType 1 static sprite
 * (rounding then 0; four points only there), warpAccuracy 0..3 (1/2 .. 1/16 sample),
 * roundingType bit 0, quarterSample, fcode 1..7 (global vector range), the sprite and VOP
 * rectangles. The record is cleared first. Checks, all before anything is written: null pState,
 * pSpriteRect, pVopRect (or pDu/pDv with numPoints > 0): opxErrNullPtr; numPoints outside 0..4,
 * 4 with spriteType not 1, warpAccuracy outside 0..3, fcode outside 1..7: opxErrOutOfRange;
 * sprite or VOP width or height below 1: opxErrSize.
 */
OPXVC_API OpxResult opxiWarpInit_MPEG4(OpxWarpStateMPEG4* pState, const Opx32s* pDu,
                                       const Opx32s* pDv, Opx32s numPoints, Opx32s spriteType,
                                       Opx32s warpAccuracy, Opx32s roundingType,
                                       Opx32s quarterSample, Opx32s fcode,
                                       const OpxRect* pSpriteRect,
                                       const OpxRect* pVopRect) OPXVC_NOEXCEPT;
/**
 * Warped luminance prediction of the rectangle pDstRect (absolute coordinates, as the VOP
 * rectangle) from the plane pSrc addressed at the sprite rectangle's origin. Each sample is the
 * bilinear interpolation at its warped position (1/16 sample, rounding constant
 * 128 - (r << (3 - a))), every tap's coordinate clamped to the sprite on its own. No points:
 * copy with edge clamping. Null pointers: opxErrNullPtr; a record without the warp identifier:
 * opxErrContextMatch. An empty rectangle writes nothing.
 */
OPXVC_API OpxResult opxiWarpLuma_MPEG4_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                              Opx32s dstStep, const OpxRect* pDstRect,
                                              const OpxWarpStateMPEG4* pState) OPXVC_NOEXCEPT;
/** The same for both chrominance planes; pDstRect in chrominance coordinates. */
OPXVC_API OpxResult opxiWarpChroma_MPEG4_8u_P2R(const Opx8u* pSrcCb, Opx32s srcStepCb,
                                                const Opx8u* pSrcCr, Opx32s srcStepCr,
                                                Opx8u* pDstCb, Opx32s dstStepCb, Opx8u* pDstCr,
                                                Opx32s dstStepCr, const OpxRect* pDstRect,
                                                const OpxWarpStateMPEG4* pState) OPXVC_NOEXCEPT;
/**
 * The global motion vector of the 16x16 macroblock at (xOffset, yOffset) (half samples, quarter
 * with quarterSample): one point, the translation; two or three points, the mean warped
 * displacement of its 256 samples rounded to nearest (halves away from zero); no or four points
 * (0, 0). Clamped to the fcode range. Checks as the warps.
 */
OPXVC_API OpxResult opxiCalcGlobalMV_MPEG4(Opx32s xOffset, Opx32s yOffset, OpxMotionVec* pMv,
                                           const OpxWarpStateMPEG4* pState) OPXVC_NOEXCEPT;
/**
 * Sprite brightness change in place: factor F = 1024 + 1024 b / 100 rounded to nearest,
 * p' = (p F + 520) >> 10 clamped to 0..255. b outside -112..1648: opxErrOutOfRange; b 0 does
 * nothing. Null pSrcDst: opxErrNullPtr.
 */
OPXVC_API OpxResult opxiChangeSpriteBrightness_MPEG4_8u_C1IR(Opx8u* pSrcDst, Opx32s srcDstStep,
                                                             Opx32s width, Opx32s height,
                                                             Opx32s brightnessChange) OPXVC_NOEXCEPT;

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

/**
 * Decodes the DCT coefficients of one MPEG-1 or MPEG-2 block from a word-cursor stream and
 * dequantises them into pDstBlock: 64 Opx16s in raster order (8 × row + column), cleared first.
 *
 * Tables are caller-built run/level tables (opxiHuffmanRunLevelTableInitAlloc_32s) in which run
 * 254 is EOB and run 255 ESCAPE; the DC size table (opxiHuffmanTableInitAlloc_32s) gives
 * dct_dc_size. ESCAPE is followed by a 6-bit run and a 12-bit two's complement level (MPEG-2) or
 * an 8-bit level, extended by 8 more bits after 0 (level = those bits) or -128 (those bits - 256)
 * (MPEG-1). Scan position i goes to raster index pScan[i] & 63; W = pQuantMatrix[that index].
 *
 * Intra blocks start with dct_dc_size (0..11) and the differential. MPEG-1: the predictor
 * *pDcPred holds 8 × DC (reset value 1024); the DC coefficient is *pDcPred + 8 × differential,
 * which also becomes the new predictor. MPEG-2: the predictor holds the DC level (reset value
 * 1 << (7 + intra_dc_precision)); it is increased by the differential and the DC coefficient is
 * *pDcPred << dcShift, dcShift = 3 - intra_dc_precision. AC coefficients start at position 1.
 * Non-intra blocks: when the next bit is 1, the two bits "1s" give run 0, level ±1 at position 0;
 * otherwise the first code comes from pFirstTable, later ones from pTable.
 *
 * Dequantisation (divisions truncate toward zero, exact for every qscale and weight):
 * MPEG-1 intra AC (2L × qscale × W) / 16, non-intra ((2L + sign L) × qscale × W) / 16, made odd
 * toward zero when even, then clamped to -2048..2047. MPEG-2 intra AC (2L × W × qscale) / 32,
 * non-intra ((2L + sign L) × W × qscale) / 32 (pQuantMatrix null: W = 16), saturated to
 * -2048..2047, then mismatch control: when the sum of the 64 values (intra DC included) is even,
 * bit 0 of coefficient 63 flips.
 *
 * At EOB *pDstSize receives the scan position of the last coefficient (0 for an intra block with
 * no AC coefficient; for an MPEG-2 non-intra block, 1 when that position is 0), the cursor stands
 * after the EOB code and the result is opxOk.
 *
 * Checks: a null pointer argument (but pQuantMatrix of opxiReconstructDCTBlock_MPEG2_32s) or a
 * null *ppBitStream: opxErrNullPtr; *pOffset outside 0..31: opxErrBadArg; dcShift outside 0..3:
 * opxErrOutOfRange. Nothing is written on these errors.
 * opxErrH264VlcCode: an invalid code or a dct_dc_size outside 0..11 (the cursor stands before
 * that code), a first non-intra code that is EOB or a scan position beyond 63 (the cursor stands
 * after that code). The coefficients placed so far and the updated DC predictor stay; *pDstSize
 * is not written. The stream is read up to the word after the one that holds the last bit read,
 * index bits of the table walks included: keep that word readable.
 */
OPXVC_API OpxResult opxiReconstructDCTBlockIntra_MPEG1_32s(
    Opx32u** ppBitStream, Opx32s* pOffset, const Opx32s* pDcSizeTable, const Opx32s* pAcTable,
    const Opx32s* pScan, Opx32s qscale, const Opx16s* pQuantMatrix, Opx16s* pDcPred,
    Opx16s* pDstBlock, Opx32s* pDstSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructDCTBlockIntra_MPEG2_32s(
    Opx32u** ppBitStream, Opx32s* pOffset, const Opx32s* pDcSizeTable, const Opx32s* pAcTable,
    const Opx32s* pScan, Opx32s qscale, const Opx16s* pQuantMatrix, Opx16s* pDcPred,
    Opx32s dcShift, Opx16s* pDstBlock, Opx32s* pDstSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructDCTBlock_MPEG1_32s(
    Opx32u** ppBitStream, Opx32s* pOffset, const Opx32s* pFirstTable, const Opx32s* pTable,
    const Opx32s* pScan, Opx32s qscale, const Opx16s* pQuantMatrix, Opx16s* pDstBlock,
    Opx32s* pDstSize) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiReconstructDCTBlock_MPEG2_32s(
    Opx32u** ppBitStream, Opx32s* pOffset, const Opx32s* pFirstTable, const Opx32s* pTable,
    const Opx32s* pScan, Opx32s qscale, const Opx16s* pQuantMatrix, Opx16s* pDstBlock,
    Opx32s* pDstSize) OPXVC_NOEXCEPT;

/**
 * Forward MPEG-2 quantisation of an 8×8 block in place (raster order); *pCount receives the
 * number of nonzero levels (intra: among positions 1..63, the DC being left unchanged).
 *
 * With a table pQMatrixInv (64 reciprocal weights 1 / W in raster order), in single precision:
 * level = trunc((c × (16 / quantiserScale)) × pQMatrixInv[i]), each product rounded to float,
 * clamped to -2047..2047 before the conversion (NaN gives 0). Intra without a table: the
 * reciprocals of the default intra matrix (ITU-T H.262 clause 6.3.11). Non-intra without a table
 * (flat weights): level = sign(c) × ((|c| × Q) >> 16) with Q = (quantiserScale / 2 + 65536) /
 * quantiserScale for scales from 2 (45 with scale 3 gives 14), level = c for scales below 2;
 * clamped to -2047..2047.
 *
 * Checks: pSrcDst or pCount null: opxErrNullPtr; quantiserScale 0: opxErrDivByZero.
 */
OPXVC_API OpxResult opxiQuantIntra_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                                 const Opx32f* pQMatrixInv,
                                                 Opx32s* pCount) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuant_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                            const Opx32f* pQMatrixInv,
                                            Opx32s* pCount) OPXVC_NOEXCEPT;

/**
 * Inverse MPEG-2 quantisation of an 8×8 block in place (ITU-T H.262 clause 7.4.2), computed
 * exactly for every level, weight and scale: intra F = (2c × W × quantiserScale) / 32 for
 * positions 1..63 (the DC passes through), non-intra F = ((2c + sign c) × W × quantiserScale) / 32
 * for all 64 (pQMatrix null: W = 16); truncation toward zero, saturation to -2048..2047, then
 * mismatch control (clause 7.4.4): when the sum of the 64 values is even, bit 0 of F[63] flips.
 *
 * Checks: pSrcDst (intra: or pQMatrix) null: opxErrNullPtr.
 */
OPXVC_API OpxResult opxiQuantInvIntra_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                                    const Opx16s* pQMatrix) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiQuantInv_MPEG2_16s_C1I(Opx16s* pSrcDst, Opx32s quantiserScale,
                                               const Opx16s* pQMatrix) OPXVC_NOEXCEPT;

/**
 * Reorders an 8×8 block from raster order into scan order: scan 1 alternate-vertical, 2
 * alternate-horizontal, any other value zig-zag. countNonZero 20..64: pDst[k] = pSrc[scan[k]]
 * for every k. countNonZero 1..19: the nonzero values are placed in scan order up to and
 * including the countNonZero-th, every other output is 0. pSrc and pDst may be the same block.
 *
 * Checks: pSrc or pDst null: opxErrNullPtr; countNonZero outside 1..64: opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiScanFwd_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s countNonZero,
                                       Opx32s scan) OPXVC_NOEXCEPT;

/**
 * Reorders scan positions 0..lastIndex of pSrc into raster order: pDst[scan[k]] = pSrc[k], every
 * other output 0 (scan as for opxiScanFwd_16s_C1). pSrc and pDst may be the same block.
 *
 * Checks: pSrc or pDst null: opxErrNullPtr; lastIndex outside 0..63: opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiScanInv_16s_C1(const Opx16s* pSrc, Opx16s* pDst, Opx32s lastIndex,
                                       Opx32s scan) OPXVC_NOEXCEPT;

/** *pCount receives the number of zero values among the 64 of pSrc. Either null: opxErrNullPtr. */
OPXVC_API OpxResult opxiCountZeros8x8_16s_C1(const Opx16s* pSrc, Opx32u* pCount) OPXVC_NOEXCEPT;

/* ==== END MPEG-1/2 ==== */


/* ==== DV: segment decoding and inverse quantisation ==== */

/*
 * Segment (pSegment): 400 bytes, five compressed macroblocks of 80 bytes (the five video DIF
 * blocks of a video segment as recorded). A macroblock is a 4-byte header whose byte 3 holds QNO
 * in bits 3..0, then its block areas: DV (IEC 61834-2, SMPTE 314M) four of 14 bytes and two of 10
 * at byte offsets 4, 18, 32, 46, 60, 70; DV100 (SMPTE 370M) six of 10 bytes and two of 8 at 4, 14,
 * 24, 34, 44, 54, 64, 72. An area starts with the 9-bit DC (two's complement), the DCT mode bit m
 * (0: 8-8, 1: 2-4-8) and the 2-bit class, then the AC codes of IEC 61834-2.
 *
 * Blocks (pBlocks): 30 (DV) or 40 (DV100) blocks of 64 Opx16s in raster order, block k at element
 * 64 * k in segment order. Only coefficient 0 (DC x 128, the 9 bits placed in bits 15..7) and the
 * position of every decoded code (amplitude x 64 with its sign; 0 for a (run, 0) code) are
 * written: the caller passes the blocks cleared. Scan positions are mapped to raster positions by
 * the zigzag (m = 0) or the 2-4-8 scan (m = 1) of the block's own mode bit.
 *
 * Block information (pBlockInfo), one Opx32u per block: bit 0 set when the block's codes ended with
 * EOB; bits 6..4 the mode bit and the class; bits 15..8 the scan position of the last coefficient
 * written (0 when only the DC is); bits 19..16 the macroblock's QNO; the other bits 0.
 *
 * A block ends at EOB, or at a code that would carry its scan position to 64 (to the one-pass
 * limit) or beyond: that code's value is not stored, bit 0 stays 0, and the bits after it are
 * spare. A block whose bits run out first is incomplete: it continues in the spare bits of its
 * own macroblock's blocks (block order), then in those left anywhere in the segment (segment
 * order); a code may straddle two such runs of spare bits. Blocks still incomplete when the spare
 * bits run out keep what they decoded (bit 0 clear). Only the 400 bytes of the segment are read.
 * pScanTables and pTable are not read and may be null.
 *
 * Checks: pSegment, pBlocks or pBlockInfo null: opxErrNullPtr. Corrupt segments are decoded as far
 * as the codes go; damage shows only as bit 0 clear.
 */

/** Decodes a DV segment (30 blocks), with the redistribution of spare bits. */
OPXVC_API OpxResult opxiHuffmanDecodeSegment_DV_8u16s(const Opx8u* pSegment,
                                                      const void* pScanTables, const void* pTable,
                                                      Opx16s* pBlocks,
                                                      Opx32u* pBlockInfo) OPXVC_NOEXCEPT;

/**
 * Decodes a DV segment (30 blocks) each block within its own area only, filling at most
 * min(numPositions, 64) scan positions per block (positions 1 .. limit - 1 after the DC; 0 and 1
 * keep the DC only). No bits move between blocks.
 */
OPXVC_API OpxResult opxiHuffmanDecodeSegmentOnePass_DV_8u16s(const Opx8u* pSegment,
                                                             const void* pScanTables,
                                                             const void* pTable, Opx16s* pBlocks,
                                                             Opx32u* pBlockInfo,
                                                             Opx8u numPositions) OPXVC_NOEXCEPT;

/** Decodes a DV100 segment (40 blocks, eight areas per macroblock), with redistribution. */
OPXVC_API OpxResult opxiHuffmanDecodeSegment_DV100_8u16s(const Opx8u* pSegment,
                                                         const void* pScanTables,
                                                         const void* pTable, Opx16s* pBlocks,
                                                         Opx32u* pBlockInfo) OPXVC_NOEXCEPT;

/**
 * Builds a direct look-up table from two code lists, in memory from opxMalloc; release it with
 * opxiFreeHuffmanTable_DV_32u. The segment decoders do not read it.
 *
 * Code list (Opx32s): [0] the index width b, 1..16; [1] and [2] not read; from [3], for code
 * lengths L = 1, 2, ...: a count n >= 0 and n triples (code, run, amplitude), the list ending with
 * a negative count. The table holds 2^b1 entries for the first list followed by 2^b2 for the
 * second; a code of length L fills the 2^(b - L) entries from code << (b - L) with
 * ((amplitude * 64) << 16) | ((run & 255) << 8) | L (amplitude * 64 kept to 16 bits). Entries no
 * code reaches hold 0; where codes overlap, the later one stands.
 *
 * Checks: a null argument: opxErrNullPtr. A width outside 1..16, a code longer than its list's
 * width, or a code with bits set at or above its length: opxErrBadArg. Allocation failure:
 * opxErrMemAlloc. On every error nothing is allocated and *ppTable is not written.
 */
OPXVC_API OpxResult opxiInitAllocHuffmanTable_DV_32u(const Opx32s* pCodeList1,
                                                     const Opx32s* pCodeList2,
                                                     Opx32u** ppTable) OPXVC_NOEXCEPT;

/** Releases a table from opxiInitAllocHuffmanTable_DV_32u. pTable null: opxErrNullPtr. */
OPXVC_API OpxResult opxiFreeHuffmanTable_DV_32u(Opx32u* pTable) OPXVC_NOEXCEPT;

/*
 * Inverse quantisers: 64 coefficients in place, 16-bit arithmetic; hi16(x) is the upper half of
 * the signed 32-bit product (its floor division by 65536), ">>" an arithmetic (floor) shift.
 * Checks: a null pointer argument: opxErrNullPtr.
 */

/** F = hi16(c * d) << 2, the low 16 bits kept; d from pDequantTable. */
OPXVC_API OpxResult opxiQuantInv_DV_16s_C1I(Opx16s* pSrcDst,
                                            const Opx16s* pDequantTable) OPXVC_NOEXCEPT;

/** t = (c >> 3) * q keeping the low 16 bits (q from pQuantTable), then F = hi16(t * w). */
OPXVC_API OpxResult opxiQuantWeightBlockInv_DV_16s_C1I(Opx16s* pSrcDst,
                                                       const Opx16u* pQuantTable,
                                                       const Opx16s* pWeightTable) OPXVC_NOEXCEPT;

/**
 * t = (c >> 6) * qScale keeping the low 16 bits, then F = (t * w) >> 5, the 32-bit value saturated
 * to 16 bits; coefficient 0 becomes c0 >> 5 instead.
 */
OPXVC_API OpxResult opxiQuantWeightBlockInv_DV100_16s_C1I(Opx16s* pSrcDst,
                                                          const Opx16s* pWeightTable,
                                                          Opx16u qScale) OPXVC_NOEXCEPT;


/* ==== END DV ==== */


/* ==== AVS: residual decoding, reconstruction, interpolation, deblocking ==== */

/* AVS part 2 (GB/T 20090.2) primitives, Jizhun profile: 8×8 residual blocks, 8×8 intra
 * prediction, quarter-sample luma interpolation and the 8×8-edge loop filter. */

/** Intra edge flags of the AVS reconstruction and intra coding functions: a set bit marks the
 *  neighbours it names as unavailable for prediction. Other bits are ignored. */
enum {
    opxAvsLeftUnavailable = 1,        /**< the column left of the block */
    opxAvsTopUnavailable = 4,         /**< the row above the block */
    opxAvsTopRightUnavailable = 32,   /**< the 8 samples above and right of the block */
    opxAvsBottomLeftUnavailable = 64  /**< the 8 samples left of and below the block */
};

/**
 * Decodes one 8×8 block of quantised coefficients (context-adaptive 2-D VLC with table
 * switching and escapes) at the word reading cursor (*ppBitStream, *pOffset; position 31..0),
 * for an intra luma, inter luma or chroma block. pDstCoeffs receives the 64 coefficients in
 * raster order; *pNumCoeff is 1 + the zig-zag index of the last coefficient (0 for none), or 63
 * with field scan. scanType 0 selects zig-zag, any other value field scan. The cursor ends behind
 * the block's last code (the end-of-block code, or the code that would place a coefficient
 * beyond position 63); the word after the last bit read must be readable.
 * Checks: ppBitStream, *ppBitStream, pOffset, pNumCoeff or pDstCoeffs null -> opxErrNullPtr.
 * A code with more than 24 leading zeros, or an escape whose level lies outside 16 bits, is
 * invalid: opxErrH264VlcCode, the cursor as on entry, nothing written.
 */
OPXVC_API OpxResult opxiDecodeLumaBlockIntra_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                       Opx32s* pNumCoeff, Opx16s* pDstCoeffs,
                                                       Opx32s scanType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeLumaBlockInter_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                       Opx32s* pNumCoeff, Opx16s* pDstCoeffs,
                                                       Opx32s scanType) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiDecodeChromaBlock_AVS_1u16s(Opx32u** ppBitStream, Opx32s* pOffset,
                                                    Opx32s* pNumCoeff, Opx16s* pDstCoeffs,
                                                    Opx32s scanType) OPXVC_NOEXCEPT;

/**
 * Reconstructs the four 8×8 blocks of an intra luma macroblock in raster order at pSrcDst:
 * predicts each with pIntraPredModes[b] & 7 (0 vertical, 1 horizontal, 2 DC, 3 down-left,
 * 4 down-right, 5..7 fill 128; a mode whose neighbours are unavailable leaves the block as it
 * was), then, where cbp bit b (1, 2, 4, 8) is set, dequantises the next coefficient block of
 * *ppSrcCoeff with QP, inverse-transforms it and adds it (clamped to 0..255); *ppSrcCoeff moves
 * 64 coefficients per coded block. pNumCoeff[b] picks the transform: 1 DC only, 2..10 the
 * top-left 4×4 coefficients, any other value all 64. Dequantised values and the horizontal
 * stage are saturated to 16 bits.
 * edgeFlags (opxAvs…Unavailable) describe the macroblock; block 0's lower-left samples are the
 * left macroblock's rows 8–15, so set opxAvsBottomLeftUnavailable exactly when
 * opxAvsLeftUnavailable is set.
 * Checks: ppSrcCoeff, *ppSrcCoeff, pSrcDst, pIntraPredModes or pNumCoeff null ->
 * opxErrNullPtr; QP outside 0..63 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiReconstructLumaIntra_AVS_16s8u_C1R(
    Opx16s** ppSrcCoeff, Opx8u* pSrcDst, Opx32s srcDstStep, const Opx32u* pIntraPredModes,
    const Opx32s* pNumCoeff, Opx32u cbp, Opx32s QP, Opx32u edgeFlags) OPXVC_NOEXCEPT;
/** As opxiReconstructLumaIntra_AVS_16s8u_C1R without prediction: pSrcDst holds the inter
 *  prediction on entry. Checks: ppSrcCoeff, *ppSrcCoeff, pSrcDst or pNumCoeff null ->
 *  opxErrNullPtr; QP outside 0..63 -> opxErrOutOfRange. */
OPXVC_API OpxResult opxiReconstructLumaInter_AVS_16s8u_C1R(Opx16s** ppSrcCoeff, Opx8u* pSrcDst,
                                                           Opx32s srcDstStep,
                                                           const Opx32s* pNumCoeff, Opx32u cbp,
                                                           Opx32s QP) OPXVC_NOEXCEPT;
/** Reconstructs the 8×8 intra Cb and Cr blocks: predicts each with chromaPredMode & 3 (0 DC,
 *  1 horizontal, 2 vertical, 3 plane) and edgeFlags | opxAvsBottomLeftUnavailable, then adds the
 *  residual of the next coefficient block where cbp bit 1 (Cb) or 2 (Cr) is set, with
 *  pNumCoeff[0] (Cb) and pNumCoeff[1] (Cr). Checks: ppSrcCoeff, *ppSrcCoeff, pSrcDstU, pSrcDstV
 *  or pNumCoeff null -> opxErrNullPtr; chromaQP outside 0..51 -> opxErrOutOfRange. */
OPXVC_API OpxResult opxiReconstructChromaIntra_AVS_16s8u_C1R(
    Opx16s** ppSrcCoeff, Opx8u* pSrcDstU, Opx8u* pSrcDstV, Opx32s srcDstStep,
    Opx32u chromaPredMode, const Opx32s* pNumCoeff, Opx32u cbp, Opx32s chromaQP,
    Opx32u edgeFlags) OPXVC_NOEXCEPT;
/** Adds inter chroma residuals: cbp bit 1 Cb rows 0–7, 2 Cr rows 0–7, 4 Cb rows 8–15, 8 Cr rows
 *  8–15, each with its own pNumCoeff entry (four, in bit order). Checks as
 *  opxiReconstructChromaIntra_AVS_16s8u_C1R. */
OPXVC_API OpxResult opxiReconstructChromaInter_AVS_16s8u_C1R(
    Opx16s** ppSrcCoeff, Opx8u* pSrcDstU, Opx8u* pSrcDstV, Opx32s srcDstStep,
    const Opx32s* pNumCoeff, Opx32u cbp, Opx32s chromaQP) OPXVC_NOEXCEPT;

/**
 * Forward 8×8 transform and quantisation of one residual block (pSrc may equal pDst):
 * V = T × X (saturated to 16 bits), Y = (V × Tᵀ + 4) >> 3, level = ((|Y| × M >> 16) × Q[QP] +
 * 10 × R) >> 19 with R = 8456 (isIntra nonzero) or 4228, sign restored, clamped to 16 bits.
 * *pNumCoeff = 1 + the largest zig-zag index of a nonzero level (0 if none).
 * Checks: pSrc, pDst or pNumCoeff null -> opxErrNullPtr; QP outside 0..63 -> opxErrBadArg.
 */
OPXVC_API OpxResult opxiTransformQuant8x8Fwd_AVS_16s_C1(const Opx16s* pSrc, Opx16s* pDst,
                                                        Opx32s* pNumCoeff, Opx32s QP,
                                                        Opx32s isIntra) OPXVC_NOEXCEPT;
/**
 * Intra-codes a 16×16 luma macroblock: for each 8×8 block in raster order chooses the mode
 * 0..4 of least SAD against pSrc (DC unless another mode is strictly better), writes it to
 * pIntraPredModes[b], quantises the residual (isIntra) into the next slot of *ppDstCoeff and
 * reconstructs the block into pSrcDst (whose neighbours must be reconstructed). Blocks without a
 * nonzero level take no slot; *pCbp receives the coded blocks (1, 2, 4, 8) and *ppDstCoeff moves
 * past them. The buffer must hold four blocks; it is scratch while modes are tried.
 * Reconstructing the output with opxiReconstructLumaIntra_AVS_16s8u_C1R gives pSrcDst.
 * Checks: pSrc, pSrcDst, ppDstCoeff, *ppDstCoeff, pIntraPredModes or pCbp null ->
 * opxErrNullPtr; QP outside 0..63 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiDisassembleLumaIntra_AVS_16s8u_C1R(
    const Opx8u* pSrc, Opx32s srcStep, Opx8u* pSrcDst, Opx32s srcDstStep, Opx16s** ppDstCoeff,
    Opx32u* pIntraPredModes, Opx32u* pCbp, Opx32s QP, Opx32u edgeFlags) OPXVC_NOEXCEPT;
/**
 * Intra-codes the 8×8 Cb (element 0) and Cr (element 1) blocks of a 4:2:0 macroblock with one
 * chroma mode 0..3 of least SAD(Cb) + SAD(Cr) (DC unless another is strictly better), written to
 * *pChromaPredMode. Coded blocks lie consecutively at *ppDstCoeff (Cr moves to the first slot
 * when Cb has no nonzero level); *pCbp gets bit 1 (Cb) and 2 (Cr); *ppDstCoeff moves past the
 * coded blocks. The buffer must hold two blocks. Checks: any pointer (both elements of both
 * arrays included) null -> opxErrNullPtr; chromaQP outside 0..51 -> opxErrOutOfRange.
 */
OPXVC_API OpxResult opxiDisassembleChroma420Intra_AVS_16s8u_C1R(
    const Opx8u* pSrc[2], Opx32s srcStep, Opx8u* pSrcDst[2], Opx32s srcDstStep,
    Opx16s** ppDstCoeff, Opx32u* pChromaPredMode, Opx32u* pCbp, Opx32s chromaQP,
    Opx32u edgeFlags) OPXVC_NOEXCEPT;

/**
 * Luma quarter-sample interpolation of an 8 or 16 wide, 8 or 16 high block from a whole
 * reference plane (record fields as for opxiInterpolateLumaBlock_H264_8u_P1R; pSrc[0] ->
 * pDst[0], motion vector in quarter samples). Half samples use the taps (−1, 5, 5, −1), quarter
 * samples the standard's weightings of half sums and integer samples; every result is clamped
 * to 0..255. Samples outside the picture are read at the clamped coordinates; a zero vector
 * copies the block at blockPos without any edge test.
 * Checks: pInterpInfo, pSrc[0] or pDst[0] null -> opxErrNullPtr; width or height not 8 or 16,
 * or a frame width or height below 1 -> opxErrSize. Steps are not checked.
 */
OPXVC_API OpxResult opxiInterpolateLumaBlock_AVS_8u_P1R(const OpxInterpolateBlock8u* pInterpInfo)
    OPXVC_NOEXCEPT;
/**
 * Weighted prediction of exactly roiSize.width × roiSize.height samples:
 * dst = clamp(((src × scale + 16) >> 5) + offset, 0, 255), computed exactly for any scale and
 * offset. pSrc may equal pDst. Checks: pSrc or pDst null -> opxErrNullPtr; a width with a bit
 * other than 4, 8 and 16 set, or a height not a multiple of 4 -> opxErrSize (sizes of 0 write
 * nothing).
 */
OPXVC_API OpxResult opxiWeightPrediction_AVS_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                    Opx32s dstStep, Opx32s scale, Opx32s offset,
                                                    OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/**
 * Loop filter of the 8×8-block edges of one macroblock, in place (record OpxDeblock8u:
 * pSrcDstPlane at the macroblock's top-left sample). Luma: edges 0 (macroblock edge) and 8,
 * pAlpha/pBeta/pThresholds (the clamping value C) [0] and [1] for them; pBs has one entry per
 * 8×8 block in raster order and an edge segment uses the entry of the block on its q side.
 * Chroma: edge 0 only, entries [0]; vertical: pBs[0] rows 0–3, pBs[2] rows 4–7; horizontal:
 * pBs[0] columns 0–3, pBs[1] columns 4–7. A line is filtered when its bS is nonzero,
 * |p0 − q0| < alpha, |p1 − p0| < beta and |q1 − q0| < beta; the strong filter applies to an edge
 * whose two bS values are both 2, the normal one (clamped by C) otherwise. The internal luma edge
 * reads what the first edge wrote. Checks: the record or any of its pointers null ->
 * opxErrNullPtr (nothing changed).
 */
OPXVC_API OpxResult opxiFilterDeblockingLuma_VerEdge_AVS_8u_C1IR(const OpxDeblock8u* pDeblockInfo)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingLuma_HorEdge_AVS_8u_C1IR(const OpxDeblock8u* pDeblockInfo)
    OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_VerEdge_AVS_8u_C1IR(
    const OpxDeblock8u* pDeblockInfo) OPXVC_NOEXCEPT;
OPXVC_API OpxResult opxiFilterDeblockingChroma_HorEdge_AVS_8u_C1IR(
    const OpxDeblock8u* pDeblockInfo) OPXVC_NOEXCEPT;

/* ==== END AVS ==== */


/* ==== VIDEO PROCESSING: deinterlacing and denoising ==== */
/*
 * Spatial deinterlacers (stateless) and denoisers for 8-bit planes. Row steps are signed byte
 * distances and are not checked; widths and heights are in samples.
 */

/**
 * Edge-directed interpolation of a missing field. pSrc points at the rows of the existing field
 * (srcStep apart), pDst at the rows of the missing field; roiSize is the width and the number of
 * field rows h. fieldNum 0: missing row k lies between source rows k − 1 and k; any nonzero
 * fieldNum: between rows k and k + 1. For x in 1 .. width − 2 the output is the rounded-up
 * average along the direction of least absolute difference: the diagonals (U[x−1], D[x+1]) and
 * (U[x+1], D[x−1]) and the vertical (U[x], D[x]); ties go to the second diagonal over the first
 * and to the vertical over both. Columns 0 and width − 1 are copied from source row k.
 * copyBorder nonzero copies source row 0 (fieldNum 0) or h − 1 (otherwise) into the destination
 * row that has only one neighbour; without it source row −1 or h is read and must exist.
 * Source and destination may be the two fields of one frame (steps twice the frame's step);
 * no destination row may be a source row.
 * Returns opxErrNullPtr if pSrc or pDst is null; opxErrSize if width or height is below 1.
 */
OPXVC_API OpxResult opxiDeinterlaceEdgeDetect_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                     Opx8u* pDst, Opx32s dstStep,
                                                     OpxRoiSize roiSize, Opx32s fieldNum,
                                                     Opx32s copyBorder) OPXVC_NOEXCEPT;

/**
 * Median threshold deinterlacing of a frame. fieldNum 1 copies the even rows and rebuilds the
 * odd rows; any other value copies the odd rows and rebuilds the even rows. A rebuilt sample
 * with u, s, d the source samples above, at and below it is the median m of the three, or s
 * when |m − s| < threshold (an integer comparison: 0 or below always gives m, above 255 always
 * s). copyBorder nonzero copies the first and last rows as well and does not rebuild them;
 * without it a rebuilt row 0 or last row reads a source row outside the frame, which must
 * exist. Works in place (pSrc == pDst, equal steps).
 * Returns opxErrNullPtr if pSrc or pDst is null; opxErrSize if width < 1 or height < 2.
 */
OPXVC_API OpxResult opxiDeinterlaceMedianThreshold_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                          Opx8u* pDst, Opx32s dstStep,
                                                          OpxRoiSize roiSize, Opx32s threshold,
                                                          Opx32s fieldNum,
                                                          Opx32s copyBorder) OPXVC_NOEXCEPT;

/**
 * Vertical triangle filter of one slice of h rows: with w = min(centerWeight, 256) and
 * e = (256 − w) >> 1, an output sample from the source samples above (a), at (b) and below (c)
 * is ((a + c)·e + b·w) >> 8, truncated. layout 1 (top slice): row 0 is copied, rows 1 .. h − 2
 * are filtered, row h − 1 is left to the next slice. layout 4 (middle slice): destination rows
 * −1 .. h − 2 are filtered (so two source rows and one destination row above the slice must
 * exist). layout 16 (bottom slice): as the middle slice, then row h − 1 is copied. A top slice,
 * any middle slices and a bottom slice filter a frame exactly as one pass would. Any other
 * layout writes nothing. Source and destination must not overlap.
 * Returns opxErrNullPtr if pSrc or pDst is null; opxErrSize if width < 1 or height < 3;
 * otherwise opxOk (also for a layout that writes nothing).
 */
OPXVC_API OpxResult opxiDeinterlaceFilterTriangle_8u_C1R(const Opx8u* pSrc, Opx32s srcStep,
                                                         Opx8u* pDst, Opx32s dstStep,
                                                         OpxRoiSize roiSize, Opx32u centerWeight,
                                                         Opx32u layout) OPXVC_NOEXCEPT;

/**
 * opxiDeinterlaceFilterTriangle_8u_C1R on two interleaved channels: roiSize.width counts
 * two-byte samples and each channel is filtered on its own (the filter is vertical, so this is
 * the one-channel rule on 2 × width bytes). Same results as the one-channel form.
 */
OPXVC_API OpxResult opxiDeinterlaceFilterTriangle_8u_C2R(const Opx8u* pSrc, Opx32s srcStep,
                                                         Opx8u* pDst, Opx32s dstStep,
                                                         OpxRoiSize roiSize, Opx32u centerWeight,
                                                         Opx32u layout) OPXVC_NOEXCEPT;

/** State of the adaptive temporal denoiser (opaque; made by its InitAlloc). */
typedef struct OpxDenoiseAdaptiveState OpxDenoiseAdaptiveState;
/** State of the mosquito-noise filter (opaque; made by its InitAlloc). */
typedef struct OpxDenoiseMosquitoState OpxDenoiseMosquitoState;

/**
 * Edge-preserving smoothing of the region *roi of a picture of `size` (pSrc and pDst point at
 * the pictures' first samples). F is the 3×3 box mean of the source, ((Σ + 5) × 7281) >> 16, over
 * the region extended by one sample left and above and two right and below; where the 3×3
 * window leaves the picture F takes the value at the nearest position where it does not.
 * A map entry M(y, x) is an edge when |F(y, x) − F(y+1, x+1)| or |F(y, x+1) − F(y+1, x)| is at
 * least threshold. A region sample in the picture's outermost rows or columns, or with M ≠ 0,
 * is copied; otherwise it becomes the mean of itself and its eight neighbours whose map entry
 * is 0, (s × T[n]) >> 16 with T = 65535, 32768, 21845, 16384, 13107, 10923, 9362, 8192, 7282
 * for n = 1..9 (so a flat patch of 1, 3, 5 or 7 samples comes out one lower). threshold 0 or
 * below copies the region. pWork holds at least 2 × (roi.width + 3) × (roi.height + 3) bytes
 * (the map, then F); the function allocates nothing. Samples outside the region are not written.
 * Returns opxErrNullPtr if pSrc, pDst, roi or pWork is null; opxErrSize if size is not
 * positive; opxErrRegionTooSmall if roi->height < 3; opxErrSize if roi has a negative origin, a
 * width below 1 or reaches past the picture.
 */
OPXVC_API OpxResult opxiFilterDenoiseSmooth_8u_C1R(const Opx8u* pSrc, Opx32s srcStep, Opx8u* pDst,
                                                   Opx32s dstStep, OpxRoiSize size,
                                                   const OpxRect* roi, Opx32s threshold,
                                                   Opx8u* pWork) OPXVC_NOEXCEPT;

/**
 * Creates the state of the adaptive denoiser for regions of roiSize and windows of maskSize
 * (half-widths: the window is (2·maskSize.width + 1) × (2·maskSize.height + 1)); it holds the
 * reciprocal table T[0] = 1, T[i] = floor(0.5 + 65535 / i) (saturated to 65535) for
 * i = 1 .. 3·(2n + 1)², n = max(maskSize.width, maskSize.height).
 * Returns opxErrNullPtr if ppState is null; opxErrSize if a size is not positive or roiSize is
 * smaller than maskSize in either direction; opxErrMemAlloc if the memory cannot be had (or
 * would exceed 2^31 − 1 bytes).
 */
OPXVC_API OpxResult opxiFilterDenoiseAdaptiveInitAlloc_8u_C1(OpxDenoiseAdaptiveState** ppState,
                                                             OpxRoiSize roiSize,
                                                             OpxRoiSize maskSize) OPXVC_NOEXCEPT;

/** Releases an adaptive denoiser state. Returns opxErrNullPtr if pState is null. */
OPXVC_API OpxResult opxiFilterDenoiseAdaptiveFree_8u_C1(OpxDenoiseAdaptiveState* pState)
    OPXVC_NOEXCEPT;

/**
 * Adaptive temporal denoising of the region *roi of picture ppSrc[1], with ppSrc[0] the previous
 * and ppSrc[2] the next picture (same step; pDst points at the destination picture's first
 * sample). Region samples in the picture's outermost rows or columns are copied. For every
 * other sample c the window (clamped to the picture) gives N positions and the sum Sc of the
 * current picture; the window samples v of the previous and next pictures with |c − v| <
 * threshold give sums and counts Sp, Np, Sn, Nn. With Np + Nn = 0 the output is (Sc·T[N]) >> 16;
 * otherwise mode 0: s = P(prev) + P(next) + Sc, k = N + 2; 1: s = Sp + P(next) + Sc,
 * k = N + Np + 1; 2: s = P(prev) + Sn + Sc, k = N + Nn + 1; 3: s = Sp + Sn + Sc,
 * k = N + Np + Nn; the output is (s·T[k]) >> 16 with the whole sum s (no wrap for large windows).
 * Returns opxErrNullPtr if ppSrc, one of its pictures, pDst, roi or pState is null; opxErrSize if
 * size, roi or maskSize is not positive, roi lies outside the picture, or maskSize or the
 * region size differ from the state's; opxWrnNothingDone (nothing written) if mode is outside
 * 0..3.
 */
OPXVC_API OpxResult opxiFilterDenoiseAdaptive_8u_C1R(const Opx8u* const ppSrc[3], Opx32s srcStep,
                                                     Opx8u* pDst, Opx32s dstStep, OpxRoiSize size,
                                                     const OpxRect* roi, OpxRoiSize maskSize,
                                                     Opx32s threshold, Opx32s mode,
                                                     OpxDenoiseAdaptiveState* pState)
    OPXVC_NOEXCEPT;

/**
 * Creates the state of the mosquito-noise filter for regions of roiSize: one zero-filled block
 * of A + B + 495 bytes, A = ((w/8 + 1)(h/8 + 1)·20 + 15) rounded down to 16, B = ((w + 8)(h + 8)
 * + 15) rounded down to 16, holding the region size, the tuning constants 8, 8, 4, 12, 16, 4,
 * 32, 1, 32, 20, 2, 16, 6, one 20-byte record per 8×8 block and a padded copy of the region.
 * Returns opxErrNullPtr if ppState is null; opxErrSize if a size is not positive;
 * opxErrMemAlloc if the memory cannot be had (or would exceed 2^31 − 1 bytes).
 */
OPXVC_API OpxResult opxiFilterDenoiseMosquitoInitAlloc_8u_C1(OpxDenoiseMosquitoState** ppState,
                                                             OpxRoiSize roiSize) OPXVC_NOEXCEPT;

/** Releases a mosquito-filter state. Returns opxErrNullPtr if pState or its memory is null. */
OPXVC_API OpxResult opxiFilterDenoiseMosquitoFree_8u_C1(OpxDenoiseMosquitoState* pState)
    OPXVC_NOEXCEPT;

/**
 * Mosquito-noise reduction of the region *roi of picture ppSrc[0], guarded by ppSrc[1] (the
 * previous picture, same step); pDst points at the destination picture's first sample. The
 * filter works on the 8×8 blocks of the picture's grid that lie wholly inside the region;
 * other region samples are copied. With the state's constants (in order):
 *  - a block with activity A = max − min below 32 is copied (flat and textured blocks);
 *  - a sample whose 3×3 range (taken within the region) is at least 16 is an edge sample and
 *    is copied; a block with fewer than 6 edge samples is copied (a gradient, not an edge);
 *  - temporal guard: a block whose mean |current − previous| (rounded down) exceeds 20, and a
 *    sample whose own |current − previous| exceeds 32, are copied (new content);
 *  - every other sample c of the block is averaged with its n 3×3 neighbours v that are
 *    similar, |v − c| < clamp(A / 16, 4, 12) (neighbours taken within the region), the centre
 *    weighted 2: m = (2c + Σv + (2 + n)/2) / (2 + n); with n ≥ 1 the output is
 *    c + clamp(m − c, −4, 4), else c. Ringing whose neighbouring samples differ by less than the
 *    threshold is smoothed; stronger oscillation counts as detail and is kept.
 * Flat pictures, blocks without edges and the samples of a step edge come out unchanged.
 * Returns opxErrNullPtr if ppSrc, one of its pictures, pDst, roi, pState or the state's memory
 * is null; opxErrSize if the state's size is not positive, size is not positive, roi has a
 * negative origin, reaches past the picture or differs in size from the state's;
 * opxErrRegionTooSmall if no whole 8×8 block of the grid lies inside the region.
 */
OPXVC_API OpxResult opxiFilterDenoiseMosquito_8u_C1R(const Opx8u* const ppSrc[2], Opx32s srcStep,
                                                     Opx8u* pDst, Opx32s dstStep, OpxRoiSize size,
                                                     const OpxRect* roi,
                                                     OpxDenoiseMosquitoState* pState)
    OPXVC_NOEXCEPT;

/* ==== END VIDEO PROCESSING ==== */


#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
