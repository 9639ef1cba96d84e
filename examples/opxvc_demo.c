/* Prints the library's version record and times a few block primitives. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "opxvc.h"

static double now_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

static Opx8u src[64 * 64], dst[64 * 64];

int main(void) {
    const OpxVersionInfo* v = opxvcGetLibVersion();
    printf("%s, version %s, built %s (%d.%d.%d.%d, target %.4s)\n", v->name, v->version,
           v->buildDate, v->major, v->minor, v->majorBuild, v->build, v->targetCpu);
    for (int i = 0; i < (int)sizeof src; ++i) src[i] = (Opx8u)(i * 37);

    const int calls = 2000000;
    double t0 = now_ns();
    for (int i = 0; i < calls; ++i) opxiCopy16x16_8u_C1R(src + (i & 7), 64, dst, 64);
    double t1 = now_ns();
    for (int i = 0; i < calls; ++i) opxiCopy8x8_8u_C1R(src + (i & 7), 64, dst, 64);
    double t2 = now_ns();
    printf("opxiCopy16x16_8u_C1R: %6.2f ns per call\n", (t1 - t0) / calls);
    printf("opxiCopy8x8_8u_C1R:   %6.2f ns per call\n", (t2 - t1) / calls);
    return dst[0] == src[7] || dst[0] == src[0] ? 0 : 0;
}
