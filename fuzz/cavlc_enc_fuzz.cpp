// libFuzzer target: levels -> the library's CAVLC syntax elements -> bits (written here from the
// elements with the standard's code tables) -> the library's CAVLC decoder -> the same levels,
// for 4x4, AC and chroma DC blocks of 16-bit and 32-bit levels. Input: a kind byte, an nC byte,
// then the levels (two bytes each). Any difference traps; AddressSanitizer watches the
// exact-size output buffers.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "opxvc_h264_cavlc_codes.h"
#include "opxvc.h"

namespace {

constexpr Opx32s kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
constexpr Opx32s kField[16] = {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
constexpr int kDc422Order[8] = {0, 2, 1, 4, 6, 3, 5, 7};

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// A code list read back as value -> (code, length).
using Codes = std::map<std::int32_t, std::pair<std::uint32_t, int>>;
Codes read_list(const std::int32_t* list) {
    Codes m;
    const std::int32_t* p = list + 2 + list[1];
    for (int len = 1;; ++len) {
        const std::int32_t n = *p++;
        if (n < 0) break;
        for (std::int32_t i = 0; i < n; ++i, p += 2)
            m[p[1]] = {static_cast<std::uint32_t>(p[0]), len};
    }
    return m;
}

const Opx32s* build(const std::int32_t* list) {
    Opx32s* t = nullptr;
    check(opxiHuffmanTableInitAlloc_32s(list, &t) == opxOk);
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
    std::map<const std::int32_t*, Codes> codes;
    Tables() {
        for (int c = 0; c < 3; ++c) token[c] = build(cavlc_coeff_token_lists[c]);
        token_dc = build(cavlc_coeff_token_chroma_dc);
        token_dc422 = build(cavlc_coeff_token_chroma422_dc);
        for (int i = 1; i < 16; ++i) zeros4[i] = build(cavlc_total_zeros_4x4_lists[i]);
        for (int i = 1; i < 4; ++i) zeros2[i] = build(cavlc_total_zeros_2x2_lists[i]);
        for (int i = 1; i < 8; ++i) zeros8[i] = build(cavlc_total_zeros_2x4_lists[i]);
        const Opx32s* rb7 = build(cavlc_run_before_zl7plus);
        for (int i = 1; i < 16; ++i) runs[i] = i < 7 ? build(cavlc_run_before_lists[i]) : rb7;
    }
    void put(std::vector<std::uint8_t>& bits, const std::int32_t* list, std::int32_t value) {
        auto it = codes.find(list);
        if (it == codes.end()) it = codes.emplace(list, read_list(list)).first;
        const auto c = it->second.find(value);
        check(c != it->second.end());
        for (int i = c->second.second - 1; i >= 0; --i) bits.push_back((c->second.first >> i) & 1);
    }
};

void put_bits(std::vector<std::uint8_t>& bits, std::uint64_t code, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((code >> i) & 1);
}

// level_prefix and level_suffix (H.264 clause 9.2.2.1, encoding direction).
void put_level(std::vector<std::uint8_t>& bits, std::int64_t code, int suffix_length) {
    auto prefix = [&](int n) { put_bits(bits, 1, n + 1); };
    if (suffix_length == 0 && code < 14) return prefix(static_cast<int>(code));
    if (suffix_length == 0 && code < 30) return prefix(14), put_bits(bits, code - 14, 4);
    if (suffix_length > 0 && code < (std::int64_t{15} << suffix_length))
        return prefix(static_cast<int>(code >> suffix_length)), put_bits(bits, code, suffix_length);
    const std::int64_t rest = code - (std::int64_t{15} << suffix_length) - (suffix_length == 0 ? 15 : 0);
    if (rest < 4096) return prefix(15), put_bits(bits, rest, 12);
    int lp = 16;
    while (rest >= (std::int64_t{1} << (lp - 2)) - 4096) ++lp;
    prefix(lp);
    put_bits(bits, rest - ((std::int64_t{1} << (lp - 3)) - 4096), lp - 3);
}

enum Kind { k4x4_16s, k4x4_32s, kDc2x2_16s, kDc2x2_32s, kDc2x4_16s, kDc2x4_32s, kNumKinds };

template <class T>
void run(Tables& t, Kind kind, int nc, bool ac, bool field, const std::uint8_t* data) {
    const bool dc = kind >= kDc2x2_16s;
    const int n = kind == kDc2x2_16s || kind == kDc2x2_32s ? 4 : dc ? 8 : 16;
    const int first = dc ? 0 : ac;
    const Opx32s* scan = field ? kField : kZigzag;
    T src[16] = {};
    for (int i = 0; i < n; ++i) {
        std::int32_t v = static_cast<std::int16_t>(data[2 * i] | data[2 * i + 1] << 8);
        // Mostly small levels and zeros, some large; the 32-bit form up to 2^20.
        if ((data[2 * i] & 3) != 0) v = v % 4;
        if (sizeof(T) == 4 && (data[2 * i + 1] & 0xC0) == 0xC0) v *= 31;
        if (v == -32768) v = -32767;
        src[i] = static_cast<T>(v);
    }
    Opx8u t1 = 0, signs = 0, tc = 0, tz = 0;
    auto levels = std::make_unique<T[]>(16);
    auto runs = std::make_unique<Opx8u[]>(16);
    OpxResult r;
    if constexpr (sizeof(T) == 2) {
        r = kind == k4x4_16s ? opxiEncodeCoeffsCAVLC_H264_16s(src, static_cast<Opx8u>(first), scan, 15, &t1, &signs, &tc, &tz, levels.get(), runs.get())
            : kind == kDc2x2_16s ? opxiEncodeChromaDcCoeffsCAVLC_H264_16s(src, &t1, &signs, &tc, &tz, levels.get(), runs.get())
                                 : opxiEncodeCoeffsCAVLCChromaDC2x4_H264_16s(src, &t1, &signs, &tc, &tz, levels.get(), runs.get());
    } else {
        r = kind == k4x4_32s ? opxiEncodeCoeffsCAVLC_H264_32s(src, first, scan, 15, &t1, &signs, &tc, &tz, levels.get(), runs.get())
            : kind == kDc2x2_32s ? opxiEncodeCoeffsCAVLCChromaDC2x2_H264_32s(src, &t1, &signs, &tc, &tz, levels.get(), runs.get())
                                 : opxiEncodeCoeffsCAVLCChromaDC2x4_H264_32s(src, &t1, &signs, &tc, &tz, levels.get(), runs.get());
    }
    check(r == opxOk);
    const int capacity = n - first;
    std::vector<std::uint8_t> bits;
    const std::int32_t* token = dc ? (n == 4 ? cavlc_coeff_token_chroma_dc : cavlc_coeff_token_chroma422_dc)
                                   : cavlc_coeff_token_lists[nc < 2 ? 0 : nc < 4 ? 1 : 2];
    if (!dc && nc >= 8)
        put_bits(bits, tc == 0 ? 3 : ((tc - 1) << 2) | t1, 6);
    else
        t.put(bits, token, tc * 256 + t1);
    if (tc > 0) {
        put_bits(bits, signs, t1);
        int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
        for (int j = 0; j < tc - t1; ++j) {
            const std::int64_t v = levels[j];
            std::int64_t code = v > 0 ? 2 * v - 2 : -2 * v - 1;
            if (j == 0 && t1 < 3) code -= 2;
            put_level(bits, code, suffix_length);
            if (suffix_length == 0) suffix_length = 1;
            if ((v < 0 ? -v : v) > (std::int64_t{3} << (suffix_length - 1)) && suffix_length < 6)
                ++suffix_length;
        }
        if (tc < capacity)
            t.put(bits, n == 4 ? cavlc_total_zeros_2x2_lists[tc] : n == 8 ? cavlc_total_zeros_2x4_lists[tc]
                                                                         : cavlc_total_zeros_4x4_lists[tc],
                  tz);
        int left = tz;
        for (int i = 0; i + 1 < tc && left > 0; ++i) {
            t.put(bits, cavlc_run_before_lists[left < 7 ? left : 7], runs[i]);
            left -= runs[i];
        }
    }
    std::vector<Opx32u> words(bits.size() / 32 + 4, 0);
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) words[i / 32] |= 1u << (31 - i % 32);
    Opx32u* cur = words.data();
    Opx32s pos = 31;
    Opx16s num = -1;
    T out[16] = {};
    T* dst = out;
    if constexpr (sizeof(T) == 2) {
        r = kind == k4x4_16s ? opxiDecodeCAVLCCoeffs_H264_1u16s(&cur, &pos, &num, &dst, nc, static_cast<Opx16s>(capacity), t.token, t.zeros4, t.runs, scan)
            : kind == kDc2x2_16s ? opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&cur, &pos, &num, &dst, t.token_dc, t.zeros2, t.runs)
                                 : opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s(&cur, &pos, &num, &dst, t.token_dc422, t.zeros8, t.runs);
    } else {
        r = kind == k4x4_32s ? opxiDecodeCAVLCCoeffs_H264_1u32s(&cur, &pos, &num, &dst, nc, static_cast<Opx16s>(capacity), t.token, t.zeros4, t.runs, scan)
            : kind == kDc2x2_32s ? opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s(&cur, &pos, &num, &dst, t.token_dc, t.zeros2, t.runs)
                                 : opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s(&cur, &pos, &num, &dst, t.token_dc422, t.zeros8, t.runs);
    }
    check(r == opxOk);
    check(num == tc);
    // The decoder leaves a block without coefficients unwritten; ours is zero-initialised.
    for (int i = 0; i < n; ++i) {
        const int raster = dc ? (n == 8 ? kDc422Order[i] : i) : scan[i];
        const T want = (!dc && i < first) ? T{0} : src[raster];
        check(out[raster] == want);
    }
    check(static_cast<std::size_t>(cur - words.data()) * 32 + (31 - pos) == bits.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tables t;
    if (size < 2 + 32) return 0;
    const Kind kind = static_cast<Kind>(data[0] % kNumKinds);
    const int nc = data[1] % 17;
    const bool ac = data[0] & 0x40, field = data[0] & 0x80;
    if (kind == k4x4_16s || kind == kDc2x2_16s || kind == kDc2x4_16s)
        run<Opx16s>(t, kind, nc, ac, field, data + 2);
    else
        run<Opx32s>(t, kind, nc, ac, field, data + 2);
    return 0;
}
