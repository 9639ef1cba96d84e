/*
 * opxcore — the small companion library of memory and processor services that opxvc uses.
 * Compiles as C99 and C++.
 */
#ifndef OPXCORE_H
#define OPXCORE_H

#include <stdint.h>

#if defined(__GNUC__)
#  define OPXCORE_API __attribute__((visibility("default")))
#else
#  define OPXCORE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A block of `size` bytes aligned to 64 bytes, or null when size < 1 or memory is short. */
OPXCORE_API void* opxMalloc(int32_t size);

/** Releases a block from opxMalloc; null is accepted and ignored. */
OPXCORE_API void opxFree(void* ptr);

/** `ptr` moved up to the next multiple of `alignBytes` (any value above 1; others leave it). */
OPXCORE_API void* opxAlignPtr(void* ptr, int alignBytes);

/**
 * Stores in *pSizeByte the size in bytes of the largest processor cache and returns 0; returns
 * nonzero (and stores nothing) when the size cannot be told or pSizeByte is null.
 */
OPXCORE_API int opxGetMaxCacheSizeB(int32_t* pSizeByte);

#ifdef __cplusplus
}
#endif

#endif /* OPXCORE_H */
