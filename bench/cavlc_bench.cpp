// CAVLC decoding: ticks per block on streams of real-looking blocks (mostly few coefficients,
// small levels, short codes), made syntactically from the standard's code lists.
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "opxvc_h264_cavlc_codes.h"
#include "bench.hpp"
#include "h264/decode/cavlc.hpp"
#include "opxvc.h"

namespace {

constexpr std::int32_t kZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

// value -> (code, length) of a code list
std::map<std::int32_t, std::pair<std::uint32_t, int>> codes(const std::int32_t* list) {
    std::map<std::int32_t, std::pair<std::uint32_t, int>> m;
    const std::int32_t* p = list + 2 + list[1];
    for (int len = 1;; ++len) {
        const std::int32_t n = *p++;
        if (n < 0) break;
        for (std::int32_t i = 0; i < n; ++i, p += 2)
            m[p[1]] = {static_cast<std::uint32_t>(p[0]), len};
    }
    return m;
}

struct Bits {
    std::vector<std::uint8_t> b;
    void put(std::uint32_t c, int n) {
        for (int i = n - 1; i >= 0; --i) b.push_back((c >> i) & 1);
    }
    void put(const std::pair<std::uint32_t, int>& c) { put(c.first, c.second); }
};

Opx32s* table(const std::int32_t* list) {
    Opx32s* t = nullptr;
    opxiHuffmanTableInitAlloc_32s(list, &t);
    return t;
}

struct Set {
    const Opx32s* token[3];
    const Opx32s* token_dc;
    const Opx32s* zeros[16];
    const Opx32s* zeros_dc[4];
    const Opx32s* runs[16];
    std::vector<Opx32u> words;
    std::vector<std::pair<int, int>> starts;  // (word, pos) of each block
    std::vector<int> nc;
    std::size_t next = 0;
    Opx16s out[64];
};

// One block's syntax: coeff_token, signs, levels with small prefixes, then any valid
// total_zeros and run_before codes.
void write_block(Bits& w, std::mt19937& rng, bool chroma_dc, int nc) {
    const int cap = chroma_dc ? 4 : 16;
    std::geometric_distribution<int> few(chroma_dc ? 0.6 : 0.35);
    int tc = std::min(cap, few(rng));
    int t1 = std::min({tc, 3, static_cast<int>(rng() % 4)});
    if (!chroma_dc && nc >= 8) {
        w.put(tc == 0 ? 3u : static_cast<std::uint32_t>(((tc - 1) << 2) | t1), 6);
    } else {
        const std::int32_t* tl = chroma_dc ? cavlc_coeff_token_chroma_dc
                                           : cavlc_coeff_token_lists[nc < 2   ? 0
                                                                     : nc < 4 ? 1
                                                                              : 2];
        w.put(codes(tl).at(tc * 256 + t1));
    }
    if (!tc) return;
    w.put(rng() & 7, t1);
    int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        // Clause 9.2.2.1 as the decoder will read it, so that suffixLength follows the stream.
        const int prefix =
            std::min(static_cast<int>(std::geometric_distribution<int>(0.55)(rng)), 13);
        const std::uint32_t suffix = suffix_length ? rng() & ((1u << suffix_length) - 1) : 0;
        w.put(1, prefix + 1);
        if (suffix_length) w.put(suffix, suffix_length);
        int level_code = (prefix << suffix_length) + static_cast<int>(suffix);
        if (i == t1 && t1 < 3) level_code += 2;
        const int mag = (level_code + 2) >> 1;
        if (suffix_length == 0) suffix_length = 1;
        if (mag > (3 << (suffix_length - 1)) && suffix_length < 6) ++suffix_length;
    }
    if (tc < cap) {
        const std::int32_t* zl =
            chroma_dc ? cavlc_total_zeros_2x2_lists[tc] : cavlc_total_zeros_4x4_lists[tc];
        auto m = codes(zl);
        auto it = m.begin();
        std::advance(it,
                     std::min<int>(static_cast<int>(rng() % 3), static_cast<int>(m.size()) - 1));
        const int tz = it->first;
        w.put(it->second);
        int left = tz;
        for (int i = 0; i + 1 < tc && left > 0; ++i) {
            auto rm = codes(cavlc_run_before_lists[std::min(left, 7)]);
            const int run = static_cast<int>(rng() % (left + 1));
            w.put(rm.at(run));
            left -= run;
        }
    }
}

Set& make(bool chroma_dc) {
    static Set sets[2];
    Set& s = sets[chroma_dc];
    if (!s.words.empty()) return s;
    for (int c = 0; c < 3; ++c) s.token[c] = table(cavlc_coeff_token_lists[c]);
    s.token_dc = table(cavlc_coeff_token_chroma_dc);
    for (int i = 1; i < 16; ++i) s.zeros[i] = table(cavlc_total_zeros_4x4_lists[i]);
    for (int i = 1; i < 4; ++i) s.zeros_dc[i] = table(cavlc_total_zeros_2x2_lists[i]);
    for (int i = 1; i < 16; ++i) s.runs[i] = table(cavlc_run_before_lists[i]);
    std::mt19937 rng(1234);
    Bits w;
    for (int i = 0; i < 1024; ++i) {
        const int nc = chroma_dc ? -1
                                 : (rng() % 8 == 0 ? 4 + static_cast<int>(rng() % 8)
                                                   : static_cast<int>(rng() % 4));
        s.starts.push_back(
            {static_cast<int>(w.b.size() / 32), 31 - static_cast<int>(w.b.size() % 32)});
        s.nc.push_back(nc);
        write_block(w, rng, chroma_dc, nc);
    }
    s.words.assign(w.b.size() / 32 + 4, 0);
    for (std::size_t i = 0; i < w.b.size(); ++i)
        if (w.b[i]) s.words[i / 32] |= 1u << (31 - i % 32);
    // Every block must decode and end where the next begins.
    for (std::size_t i = 0; i + 1 < s.starts.size(); ++i) {
        Opx32u* p = s.words.data() + s.starts[i].first;
        Opx32s pos = s.starts[i].second;
        Opx16s* dst = s.out;
        Opx16s num;
        const OpxResult r =
            chroma_dc ? opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&p, &pos, &num, &dst, s.token_dc,
                                                                 s.zeros_dc, s.runs)
                      : opxiDecodeCAVLCCoeffs_H264_1u16s(&p, &pos, &num, &dst, s.nc[i], 16, s.token,
                                                         s.zeros, s.runs, kZigzag);
        if (r != opxOk || p != s.words.data() + s.starts[i + 1].first ||
            pos != s.starts[i + 1].second)
            std::fprintf(stderr, "cavlc bench: block %zu does not decode cleanly\n", i);
    }
    return s;
}

template <bool kChromaDc, bool kExported>
void decode_one() {
    Set& s = make(kChromaDc);
    const std::size_t i = s.next;
    s.next = (i + 1) & 1023;
    Opx32u* p = s.words.data() + s.starts[i].first;
    Opx32s pos = s.starts[i].second;
    Opx16s* dst = s.out;
    Opx16s num;
    if constexpr (kChromaDc) {
        if constexpr (kExported) {
            opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s(&p, &pos, &num, &dst, s.token_dc, s.zeros_dc,
                                                     s.runs);
        } else {
            const Opx32s* tok[1] = {s.token_dc};
            const opx::h264::CavlcBlock b{&p, &pos, &num,       0,      0,
                                          3,  tok,  s.zeros_dc, s.runs, nullptr};
            opx::h264::ref::kCavlc.dc2x2_16s(b, &dst);
        }
    } else {
        if constexpr (kExported) {
            opxiDecodeCAVLCCoeffs_H264_1u16s(&p, &pos, &num, &dst, s.nc[i], 16, s.token, s.zeros,
                                             s.runs, kZigzag);
        } else {
            const opx::h264::CavlcBlock b{&p, &pos,    &num,    s.nc[i], 0,
                                          15, s.token, s.zeros, s.runs,  kZigzag};
            opx::h264::ref::kCavlc.luma_16s(b, &dst);
        }
    }
}

}  // namespace

OPX_BENCH_CASES(cavlc) {
    opx::bench::add(
        "opxiDecodeCAVLCCoeffs_H264_1u16s", "mix", [] { decode_one<false, true>(); },
        [] { decode_one<false, false>(); });
    opx::bench::add(
        "opxiDecodeCAVLCChromaDcCoeffs_H264_1u16s", "chromadc", [] { decode_one<true, true>(); },
        [] { decode_one<true, false>(); });
}
