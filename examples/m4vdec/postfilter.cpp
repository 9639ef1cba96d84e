// --postfilter: ISO/IEC 14496-2 Annex F deblocking and deringing of the pictures output; the
// reference pictures stay as decoded.
#include <algorithm>

#include "decoder_impl.hpp"

namespace m4vdec {

// Deblocking across every 8x8 block edge inside the picture, horizontal edges first, with
// the quantiser of the macroblock below or to the right of the edge; then deringing of
// every block from a copy of the deblocked picture (its edge samples repeated around it)
// with its macroblock's thresholds and quantiser.
detail::Picture& Decoder::Impl::postfilter(const Picture& pic) {
    post = pic;
    const int pw = pic.p[0].w / 16, ph = pic.p[0].h / 16;  // the picture's, not the stream's
    for (int c = 0; c < 3; ++c) {
        Plane& pl = post.p[c];
        const int sh = c ? 0 : 1, gw = pw << sh, gh = ph << sh;
        auto q = [&](int bx, int by) { return int(pic.qp[size_t((by >> sh) * pw + (bx >> sh))]); };
        for (int by = 1; by < gh; ++by)
            for (int bx = 0; bx < gw; ++bx)
                opxiFilterDeblocking8x8HorEdge_MPEG4_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                             q(bx, by), 2, 6);
        for (int by = 0; by < gh; ++by)
            for (int bx = 1; bx < gw; ++bx)
                opxiFilterDeblocking8x8VerEdge_MPEG4_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                             q(bx, by), 2, 6);
    }
    // the deblocked planes with a one-sample border of repeated edge samples
    const uint8_t* src[3];
    int sstep[3];
    size_t total = 0;
    for (int c = 0; c < 3; ++c) total += size_t(post.p[c].w + 2) * size_t(post.p[c].h + 2);
    padded.resize(total);
    uint8_t* at = padded.data();
    for (int c = 0; c < 3; ++c) {
        const Plane& pl = post.p[c];
        const int w = pl.w + 2, h = pl.h + 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at[size_t(y * w + x)] =
                    pl.d[size_t(std::min(std::max(y - 1, 0), pl.h - 1) * pl.stride +
                                std::min(std::max(x - 1, 0), pl.w - 1))];
        src[c] = at + w + 1;
        sstep[c] = w;
        at += size_t(w) * size_t(h);
    }
    for (int my = 0; my < ph; ++my)
        for (int mx = 0; mx < pw; ++mx) {
            const int qp_mb = pic.qp[size_t(my * pw + mx)];
            Opx32s thr[6];
            opxiFilterDeringingThreshold_MPEG4_8u_P3R(src[0] + my * 16 * sstep[0] + mx * 16,
                                                      sstep[0], src[1] + my * 8 * sstep[1] + mx * 8,
                                                      sstep[1], src[2] + my * 8 * sstep[2] + mx * 8,
                                                      sstep[2], thr);
            for (int b = 0; b < 6; ++b) {
                const int c = b < 4 ? 0 : b - 3;
                const int x = c ? mx * 8 : mx * 16 + (b & 1) * 8;
                const int y = c ? my * 8 : my * 16 + (b >> 1) * 8;
                opxiFilterDeringingSmooth8x8_MPEG4_8u_C1R(src[c] + y * sstep[c] + x, sstep[c],
                                                          post.p[c].at(x, y), post.p[c].stride,
                                                          qp_mb, thr[b]);
            }
        }
    return post;
}

}  // namespace m4vdec
