/* A user's program, built against an installed opxvc: a block copy, the version macros, and a
 * CAVLC table built from the installed code lists. */
#include <stdio.h>

#include <opxvc.h>
#include <opxvc_h264_cavlc_codes.h>

#if OPXVC_VERSION < 70100
#error "opxvc 7.1 or later expected"
#endif

int main(void) {
    Opx8u ref[16 * 16], pred[16 * 16];
    for (int i = 0; i < 256; ++i) ref[i] = (Opx8u)i;
    if (opxiCopy16x16_8u_C1R(ref, 16, pred, 16) != opxOk || pred[255] != 255) return 1;
    if (opxiCopy16x16_8u_C1R(NULL, 16, pred, 16) != opxErrNullPtr) return 1;
    Opx32s* table = NULL;
    if (opxiHuffmanTableInitAlloc_32s(cavlc_coeff_token_nc0, &table) != opxOk || !table) return 1;
    opxiHuffmanTableFree_32s(table);
    printf("%s\n", opxvcGetLibVersion()->version);
    return 0;
}
