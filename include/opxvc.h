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

/* ==== END H.264 WEIGHTED PREDICTION ==== */

/* ==== H.264 DEBLOCKING ==== */

/* ==== END H.264 DEBLOCKING ==== */

#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
