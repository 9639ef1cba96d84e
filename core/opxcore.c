#include "opxcore.h"

#include <stdlib.h>
#include <unistd.h>

enum { kAlign = 64 };

void* opxMalloc(int32_t size) {
    if (size < 1) return NULL;
    void* p = NULL;
    if (posix_memalign(&p, kAlign, (size_t)size) != 0) return NULL;
    return p;
}

void opxFree(void* ptr) { free(ptr); }

void* opxAlignPtr(void* ptr, int alignBytes) {
    if (alignBytes <= 1) return ptr;
    const uintptr_t a = (uintptr_t)alignBytes;
    const uintptr_t p = (uintptr_t)ptr;
    /* The modulo serves any alignment, not only powers of two. */
    return (char*)ptr + (a - p % a) % a;
}

int opxGetMaxCacheSizeB(int32_t* pSizeByte) {
    if (pSizeByte == NULL) return 1;
    long best = 0;
#if defined(_SC_LEVEL1_DCACHE_SIZE)
    const int names[] = {_SC_LEVEL1_DCACHE_SIZE, _SC_LEVEL2_CACHE_SIZE, _SC_LEVEL3_CACHE_SIZE,
                         _SC_LEVEL4_CACHE_SIZE};
    for (unsigned i = 0; i < sizeof names / sizeof names[0]; ++i) {
        long v = sysconf(names[i]);
        if (v > best) best = v;
    }
#endif
    if (best <= 0) return 1;
    if (best > INT32_MAX) best = INT32_MAX;
    *pSizeByte = (int32_t)best;
    return 0;
}
