// libFuzzer targets for the four MPEG-1/2 block decoders (one per OPX_FUZZ_* definition), on the
// annex B tables built by the library's own builders. Input: 4 parameter bytes (tables, scan,
// quantiser scale, weights, dcShift, start position), then the stream, followed by 48 words of
// zeros and nothing else; each block is decoded into an exact-size heap buffer so that
// AddressSanitizer sees any access beyond. Checked on every block: the cursor stays inside the
// buffer and moves forward; a decoded block has its size in 0..63, every AC value in
// -2048..2047 and, for MPEG-2, an odd coefficient sum (mismatch control).
#include <cstdint>
#include <cstring>
#include <memory>

#include "../examples/m2vdec/mpeg2_code_lists.h"
#include "opxvc.h"

namespace {

const Opx32s* build(const std::int32_t* list, bool run_level) {
    Opx32s* t = nullptr;
    const OpxResult r = run_level ? opxiHuffmanRunLevelTableInitAlloc_32s(list, &t)
                                  : opxiHuffmanTableInitAlloc_32s(list, &t);
    if (r != opxOk) __builtin_trap();
    return t;
}

struct Tables {
    const Opx32s* dc[2] = {build(mpeg2_b12_dc_size_luma, false),
                           build(mpeg2_b13_dc_size_chroma, false)};
    const Opx32s* ac[2] = {build(mpeg2_b14, true), build(mpeg2_b15, true)};
    const Opx32s* first = build(mpeg2_b14_first, true);
};

constexpr Opx32s kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Tables t;
    if (size < 4) return 0;
    const std::uint8_t a = data[0], b = data[1], c = data[2];
    Opx32s pos = data[3] & 31;
    data += 4;
    size -= 4;
    const std::size_t n_data = (size + 3) / 4;
    const std::size_t n_words = n_data + 48;
    std::unique_ptr<Opx32u[]> words(new Opx32u[n_words]());
    for (std::size_t i = 0; i < size; ++i)
        words[i / 4] |= static_cast<Opx32u>(data[i]) << (24 - 8 * (i % 4));

    // Scan: the zig-zag, or scrambled entries (used modulo 64).
    Opx32s scan[64];
    for (int k = 0; k < 64; ++k)
        scan[k] = (a & 1) ? kZigzag[k] : kZigzag[k] + (k * 977 - 31000) * 64;
    // Quantiser scale: anything, extremes included; weights 1..255 or extremes.
    const Opx32s qscale =
        (a & 2) ? static_cast<Opx32s>(b) - 16
                : static_cast<Opx32s>((0x7FFFFFFFu >> (b & 31)) ^ ((b & 32) ? 0xFFFFFFFFu : 0u));
    Opx16s weights[64];
    for (int k = 0; k < 64; ++k)
        weights[k] = (c & 1) ? static_cast<Opx16s>(1 + (c * (k + 1)) % 255)
                             : static_cast<Opx16s>((c & 2) ? 32767 : -32768);
    const Opx32s* dc = t.dc[(a >> 2) & 1];
    const Opx32s* ac = t.ac[(a >> 3) & 1];
    const Opx32s dc_shift = (a >> 4) & 3;
    Opx16s pred = static_cast<Opx16s>(c << 4);

    Opx32u* p = words.get();
    for (int guard = 0; guard < 256 && p < words.get() + n_data; ++guard) {
        std::unique_ptr<Opx16s[]> out(new Opx16s[64]);
        Opx32s last = -1;
        Opx32u* const before_p = p;
        const Opx32s before_pos = pos;
        OpxResult r;
#if defined(OPX_FUZZ_MPEG1_INTRA)
        constexpr bool kIntra = true, kMpeg2 = false;
        r = opxiReconstructDCTBlockIntra_MPEG1_32s(&p, &pos, dc, ac, scan, qscale, weights, &pred,
                                                   out.get(), &last);
#elif defined(OPX_FUZZ_MPEG2_INTRA)
        constexpr bool kIntra = true, kMpeg2 = true;
        r = opxiReconstructDCTBlockIntra_MPEG2_32s(&p, &pos, dc, ac, scan, qscale, weights, &pred,
                                                   dc_shift, out.get(), &last);
#elif defined(OPX_FUZZ_MPEG1_INTER)
        constexpr bool kIntra = false, kMpeg2 = false;
        r = opxiReconstructDCTBlock_MPEG1_32s(&p, &pos, t.first, t.ac[0], scan, qscale, weights,
                                              out.get(), &last);
#elif defined(OPX_FUZZ_MPEG2_INTER)
        constexpr bool kIntra = false, kMpeg2 = true;
        r = opxiReconstructDCTBlock_MPEG2_32s(&p, &pos, t.first, t.ac[0], scan, qscale,
                                              (c & 4) ? nullptr : weights, out.get(), &last);
#endif
        (void)dc;
        (void)dc_shift;
        if (pos < 0 || pos > 31 || p < words.get() || p >= words.get() + n_words) __builtin_trap();
        if (p < before_p || (p == before_p && pos > before_pos)) __builtin_trap();
        if (r != opxOk) break;
        if (last < 0 || last > 63) __builtin_trap();
        int sum = 0;
        for (int k = 0; k < 64; ++k) {
            sum += out[k];
            if ((k > 0 || !kIntra) && (out[k] < -2048 || out[k] > 2047)) __builtin_trap();
        }
        if (kMpeg2 && sum % 2 == 0) __builtin_trap();
    }
    return 0;
}
