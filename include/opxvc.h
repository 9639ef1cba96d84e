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

/* ==== END H.264 WEIGHTED PREDICTION ==== */

/* ==== H.264 DEBLOCKING ==== */

/* ==== END H.264 DEBLOCKING ==== */

#ifdef __cplusplus
}
#endif

#endif /* OPXVC_H */
