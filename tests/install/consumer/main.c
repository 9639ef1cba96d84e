/* A user's program, built against an installed opxvc. */
#include <stdio.h>

#include <opxvc.h>

int main(void) {
    Opx8u ref[16 * 16], pred[16 * 16];
    for (int i = 0; i < 256; ++i) ref[i] = (Opx8u)i;
    if (opxiCopy16x16_8u_C1R(ref, 16, pred, 16) != opxOk || pred[255] != 255) return 1;
    if (opxiCopy16x16_8u_C1R(NULL, 16, pred, 16) != opxErrNullPtr) return 1;
    printf("%s\n", opxvcGetLibVersion()->version);
    return 0;
}
