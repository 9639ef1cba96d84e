// libFuzzer entry point over the whole MPEG-4 Visual / H.263 / H.261 decoder (built with
// -DOPXVC_FUZZ=ON and clang): the input as an elementary stream (the decoder tells the three
// syntaxes apart by the first start code), built-in inverse DCT, no output, no report. Seed it
// with small streams, e.g. from
//   ffmpeg -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 4 -c:v mpeg4 -bf 1 -f m4v seed.m4v
//   ffmpeg -f lavfi -i testsrc2=size=128x96:rate=5 -frames:v 4 -c:v h263 seed.h263
//   ffmpeg -f lavfi -i testsrc2=size=176x144:rate=5 -frames:v 4 -c:v h261 seed.h261
// and for the prediction tools (each one command)
//   ffmpeg -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 4 -c:v mpeg4 -flags +qpel+mv4
//          -bf 1 -f m4v qpel.m4v
//   ffmpeg -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 4 -c:v libxvid -gmc 1 -f m4v gmc.m4v
//   ffmpeg -f lavfi -i testsrc2=size=128x96:rate=5 -frames:v 4 -c:v h263 -obmc 1 -flags +mv4
//          obmc.h263
//   ffmpeg -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 4 -c:v h263p -flags +aic+loop
//          -umv 1 -aiv 1 v2.h263
// and reversible VLC from `opxvc-m4vdec --rewrite-rvlc` of a data-partitioned stream
// (-data_partitioning 1 -ps 200). The last byte's five low bits also turn on --postfilter,
// --obmc-compat, a rewrite (--rewrite, or --rewrite-rvlc with bit 4), --rvlc-backward and
// --dquant-compat.
#include "m4vdec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<m4vdec::Idct> idct = m4vdec::builtin_idct();
    m4vdec::Options opt;
    opt.quiet = true;
    opt.idct = idct.get();
    opt.postfilter = size > 0 && (data[size - 1] & 1);
    opt.obmc_compat = size > 0 && (data[size - 1] & 2);
    opt.rewrite = size > 0 && (data[size - 1] & 4);
    opt.rewrite_rvlc = opt.rewrite && (data[size - 1] & 16);
    opt.rvlc_backward = size > 0 && (data[size - 1] & 8);
    opt.dquant_compat = size > 0 && (data[size - 1] & 16);
    m4vdec::Decoder d(opt, nullptr);
    d.decode(data, size);
    return 0;
}
