// One decoder per target (chosen by an OPX_FUZZ_* definition). Input: 4 parameter bytes, then
// the stream. The stream is followed by 48 words of zeros (room for the longest block any
// decoder can read) and nothing else, and each block is written into an exact-size heap buffer,
// so that AddressSanitizer sees any read or write beyond.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "opxvc_h264_cavlc_codes.h"
#include "opxvc.h"

namespace {

constexpr std::int32_t kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

const Opx32s* build(const std::int32_t* list) {
    Opx32s* t = nullptr;
    if (opxiHuffmanTableInitAlloc_32s(list, &t) != opxOk) __builtin_trap();
    return t;
}

struct Tables {
    const Opx32s* token[3];
    const Opx32s* token_dc;
    const Opx32s* token_dc422;
    const Opx32s* zeros4[16] = {};
    const Opx32s* zeros2[4] = {};
    const Opx32s* zeros8[8] = {};
    const Opx32s* runs[16] = {};
    Opx32s* pair = nullptr;
    Tables() {
        for (int c = 0; c < 3; ++c) token[c] = build(cavlc_coeff_token_lists[c]);
        token_dc = build(cavlc_coeff_token_chroma_dc);
        token_dc422 = build(cavlc_coeff_token_chroma422_dc);
        for (int i = 1; i < 16; ++i) zeros4[i] = build(cavlc_total_zeros_4x4_lists[i]);
        for (int i = 1; i < 4; ++i) zeros2[i] = build(cavlc_total_zeros_2x2_lists[i]);
        for (int i = 1; i < 8; ++i) zeros8[i] = build(cavlc_total_zeros_2x4_lists[i]);
        for (int i = 1; i < 16; ++i) runs[i] = build(cavlc_run_before_lists[i]);
        // A run/level table with a two-level layout: root 3 bits, sub-tables 4 bits.
        static const Opx32s kPairs[] = {0,       2,       3,       4, /*1*/ 1, 1, 0,   1, /*2*/ 1,
                                        1,       1,       -1,
                                        /*3*/ 0, /*4*/ 0, /*5*/ 2, 3, 2,       2, 2,   3, -5,
                                        /*6*/ 1, 1,       254,     0, /*7*/ 1, 1, 255, 0, -1};
        if (opxiHuffmanRunLevelTableInitAlloc_32s(kPairs, &pair) != opxOk) __builtin_trap();
    }
};

template <class T>
std::unique_ptr<T[]> block(int n) {
    return std::unique_ptr<T[]>(new T[n]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tables t;
    if (size < 4) return 0;
    const std::uint8_t a = data[0], b = data[1], c = data[2];
    Opx32s pos = data[3] & 31;
    data += 4;
    size -= 4;
    const std::size_t n_words = (size + 3) / 4 + 48;
    std::unique_ptr<Opx32u[]> words(new Opx32u[n_words]());
    for (std::size_t i = 0; i < size; ++i)
        words[i / 4] |= static_cast<Opx32u>(data[i]) << (24 - 8 * (i % 4));
    Opx32u* p = words.get();
    Opx16s num = 0;
    // Blocks one after another until the stream is used up or a call fails.
    for (int guard = 0; guard < 64 && p < words.get() + (size + 3) / 4; ++guard) {
        OpxResult r = opxErrBadArg;
#if defined(OPX_FUZZ_CAVLC_LUMA_16S) || defined(OPX_FUZZ_CAVLC_LUMA_32S)
#if defined(OPX_FUZZ_CAVLC_LUMA_16S)
        using T = Opx16s;
#else
        using T = Opx32s;
#endif
        auto out = block<T>(16);
        T* dst = out.get();
        const int nc = a % 17;
        const Opx16s limit = (b & 1) ? 15 : 16;
#if defined(OPX_FUZZ_CAVLC_LUMA_16S)
        r = opxiDecodeCAVLCCoeffs_H264_1u16s(&p, &pos, &num, &dst, nc, limit, t.token, t.zeros4,
                                             t.runs, kZigzag);
#else
        r = opxiDecodeCAVLCCoeffs_H264_1u32s(&p, &pos, &num, &dst, nc, limit, t.token, t.zeros4,
                                             t.runs, kZigzag);
#endif
#elif defined(OPX_FUZZ_CAVLC_RANGE_16S)
        auto out = block<Opx16s>(16);
        Opx16s* dst = out.get();
        const int start = b % 16;
        const int end = start + c % (16 - start);
        const int m = end - start + 1;
        const Opx32s** zeros = m < 5 ? t.zeros2 : m <= 8 ? t.zeros8 : t.zeros4;
        r = opxiDecodeCAVLCCoeffsIdxs_H264_1u16s(&p, &pos, &num, &dst, a % 17,
                                                 static_cast<Opx16s>(m), t.token, zeros, t.runs,
                                                 kZigzag, start, end);
#elif defined(OPX_FUZZ_CAVLC_DC_16S)
        auto out = block<Opx16s>(4);
        Opx16s* dst = out.get();
        r = opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&p, &pos, &num, &dst, t.token_dc, t.zeros2,
                                                     t.runs);
#elif defined(OPX_FUZZ_CAVLC_DC_32S)
        auto out = block<Opx32s>(4);
        Opx32s* dst = out.get();
        r = opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s(&p, &pos, &num, &dst, t.token_dc, t.zeros2,
                                                     t.runs);
#elif defined(OPX_FUZZ_CAVLC_DC422_16S)
        auto out = block<Opx16s>(8);
        Opx16s* dst = out.get();
        r = opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s(&p, &pos, &num, &dst, t.token_dc422,
                                                        t.zeros8, t.runs);
#elif defined(OPX_FUZZ_CAVLC_DC422_32S)
        auto out = block<Opx32s>(8);
        Opx32s* dst = out.get();
        r = opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s(&p, &pos, &num, &dst, t.token_dc422,
                                                        t.zeros8, t.runs);
#elif defined(OPX_FUZZ_EXP_GOLOMB_16S)
        Opx16s v;
        r = opxiDecodeExpGolombOne_H264_1u16s(&p, &pos, &v, a & 1);
#elif defined(OPX_FUZZ_EXP_GOLOMB_32S)
        Opx32s v;
        r = opxiDecodeExpGolombOne_H264_1u32s(&p, &pos, &v, a & 1);
#elif defined(OPX_FUZZ_HUFFMAN_ONE)
        Opx32s v;
        r = opxiDecodeHuffmanOne_1u32s(&p, &pos, &v, t.runs[7 + a % 9]);
#elif defined(OPX_FUZZ_HUFFMAN_PAIR)
        Opx8u run;
        Opx16s level;
        r = opxiDecodeHuffmanPair_1u16s(&p, &pos, t.pair, &run, &level);
#endif
        (void)b;
        (void)c;
        if (r != opxOk) break;
        if (pos < 0 || pos > 31 || p < words.get() || p >= words.get() + n_words) __builtin_trap();
    }
    return 0;
}
