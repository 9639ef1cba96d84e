/* Test-only IDCT plugin of opxvc-m4vdec: wraps the public AVDCT interface of libavcodec so that
 * the decoder can use a peer's inverse DCT (opxvc-m4vdec --idct-plugin FILE:ALGO, ALGO one of
 * the "idct" option's names, e.g. simple). Built only when pkg-config finds libavcodec. */
#include <libavcodec/avdct.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <string.h>

typedef struct {
    AVDCT* dct;
} Plugin;

__attribute__((visibility("default"))) void* opxvc_m4vdec_idct_create(const char* algo) {
    AVDCT* d = avcodec_dct_alloc();
    if (!d) return NULL;
    /* the algorithm by the name of one of the "idct" option's constants (av_opt_set's expression
     * parser is not asked about unknown names) */
    const AVOption* o = av_opt_find(d, algo, "idct", 0, 0);
    if (!o || o->type != AV_OPT_TYPE_CONST || av_opt_set_int(d, "idct", o->default_val.i64, 0) < 0 ||
        avcodec_dct_init(d) < 0 || !d->idct) {
        av_free(d);
        return NULL;
    }
    Plugin* p = av_malloc(sizeof *p);
    if (!p) {
        av_free(d);
        return NULL;
    }
    p->dct = d;
    return p;
}

/* block: 64 coefficients in raster order in, 64 samples in raster order out */
__attribute__((visibility("default"))) void opxvc_m4vdec_idct_run(void* h, short* block) {
    Plugin* p = h;
    _Alignas(32) int16_t tmp[64];
    for (int i = 0; i < 64; ++i) tmp[p->dct->idct_permutation[i]] = block[i];
    p->dct->idct(tmp);
    memcpy(block, tmp, sizeof tmp);
}

__attribute__((visibility("default"))) void opxvc_m4vdec_idct_destroy(void* h) {
    Plugin* p = h;
    av_free(p->dct);
    av_free(p);
}
