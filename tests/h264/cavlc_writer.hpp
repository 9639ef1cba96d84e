// Test support for the CAVLC decoders: the standard's tables built through the library's own
// table builder, and an independent CAVLC bit writer (clause 9.2 read backwards) that turns
// blocks of levels into word-cursor streams.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "opxvc_h264_cavlc_codes.h"
#include "harness/harness.hpp"
#include "opxvc.h"

namespace opx::test::cavlc {

// One code list read back as value -> (code, length).
struct CodeMap {
    std::map<std::int32_t, std::pair<std::uint32_t, int>> code;
    explicit CodeMap(const std::int32_t* list);
};

// Every table of Tables 9-5 and 9-7 to 9-10, built with opxiHuffmanTableInitAlloc_32s once per
// test program (never released: they are shared by all tests).
struct Tables {
    const Opx32s* coeff_token[3];
    const Opx32s* coeff_token_dc;     // nC = -1
    const Opx32s* coeff_token_dc422;  // nC = -2
    const Opx32s* total_zeros_4x4[16];
    const Opx32s* total_zeros_2x2[4];
    const Opx32s* total_zeros_2x4[8];
    const Opx32s* run_before[16];
    // The total_zeros array the range form takes for maxNumCoeff m (indexed by tzVlcIndex).
    const Opx32s** total_zeros_for(int m);
};
Tables& tables();

// Bits gathered MSB-first and packed into words of the word reading cursor.
class BitWriter {
  public:
    void put(std::uint32_t code, int n) {
        for (int i = n - 1; i >= 0; --i) bits_.push_back((code >> i) & 1);
    }
    std::size_t size() const { return bits_.size(); }
    const std::vector<std::uint8_t>& bits() const { return bits_; }
    // The stream as words, starting at bit `lead` of the first word (bits before it random),
    // followed by `pad` words of random bits.
    std::vector<Opx32u> words(int lead_pos, int pad, Rng& rng) const;

  private:
    std::vector<std::uint8_t> bits_;
};

// Which decoder a block is written for.
enum class Kind { k4x4, kRange, kDc2x2, kDc2x4 };

struct Block {
    Kind kind = Kind::k4x4;
    int nc = 0;                         // 4×4 kinds: uVLCSelect
    int start = 0, end = 15;            // scan positions covered (4×4 kinds)
    std::int32_t scan_levels[16] = {};  // levels by scan position (chroma DC: decoding order)
};

// The residual syntax elements of a block (clause 7.3.5.3.2): the levels in decoding order
// (the trailing ones first), the sign bits of the trailing ones (the first met in bit
// TrailingOnes - 1), total_zeros and run_before of every level but the last.
struct Syntax {
    int tc = 0, t1 = 0, signs = 0, total_zeros = 0, first = 0, capacity = 0;
    std::vector<std::int32_t> levels;
    std::vector<int> runs;
};
Syntax syntax_of(const Block& blk);

// Writes the residual of `blk`; returns TotalCoeff.
int write_block(const Block& blk, BitWriter& w);

// A random block: TotalCoeff drawn over 0..capacity, levels mostly small with some up to
// `max_level` in magnitude (escape codes).
Block random_block(Rng& rng, Kind kind, int nc, int start, int end, std::int32_t max_level);

// ---- definitions ----------------------------------------------------------------------------

inline CodeMap::CodeMap(const std::int32_t* list) {
    const std::int32_t* p = list + 2 + list[1];
    for (int len = 1;; ++len) {
        const std::int32_t n = *p++;
        if (n < 0) break;
        for (std::int32_t i = 0; i < n; ++i, p += 2)
            code[p[1]] = {static_cast<std::uint32_t>(p[0]), len};
    }
}

namespace detail {
inline const Opx32s* build(const std::int32_t* list) {
    Opx32s* t = nullptr;
    EXPECT_EQ(opxiHuffmanTableInitAlloc_32s(list, &t), opxOk);
    return t;
}
}  // namespace detail

inline Tables& tables() {
    static Tables t = [] {
        Tables x{};
        for (int c = 0; c < 3; ++c) x.coeff_token[c] = detail::build(cavlc_coeff_token_lists[c]);
        x.coeff_token_dc = detail::build(cavlc_coeff_token_chroma_dc);
        x.coeff_token_dc422 = detail::build(cavlc_coeff_token_chroma422_dc);
        for (int i = 1; i < 16; ++i)
            x.total_zeros_4x4[i] = detail::build(cavlc_total_zeros_4x4_lists[i]);
        for (int i = 1; i < 4; ++i)
            x.total_zeros_2x2[i] = detail::build(cavlc_total_zeros_2x2_lists[i]);
        for (int i = 1; i < 8; ++i)
            x.total_zeros_2x4[i] = detail::build(cavlc_total_zeros_2x4_lists[i]);
        const Opx32s* rb7 = detail::build(cavlc_run_before_zl7plus);
        for (int i = 1; i < 16; ++i)
            x.run_before[i] = i < 7 ? detail::build(cavlc_run_before_lists[i]) : rb7;
        return x;
    }();
    return t;
}

inline const Opx32s** Tables::total_zeros_for(int m) {
    if (m < 5) return total_zeros_2x2;
    if (m <= 8) return total_zeros_2x4;
    return total_zeros_4x4;
}

inline std::vector<Opx32u> BitWriter::words(int lead_pos, int pad, Rng& rng) const {
    const int lead = 31 - lead_pos;  // bits of the first word before the stream
    const std::size_t total = lead + bits_.size();
    std::vector<Opx32u> w((total + 31) / 32 + pad);
    for (auto& x : w) x = rng.next();
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        const std::size_t at = lead + i;
        const Opx32u mask = 1u << (31 - at % 32);
        w[at / 32] = bits_[i] ? (w[at / 32] | mask) : (w[at / 32] & ~mask);
    }
    return w;
}

namespace detail {

struct Pair {
    int tc, t1;
};

// The (TotalCoeff, TrailingOnes) pairs of a coeff_token list in remap order: code length
// ascending, code value descending.
inline std::vector<Pair> pair_order(const std::int32_t* list) {
    std::vector<std::pair<std::pair<int, std::uint32_t>, Pair>> v;
    for (const auto& [value, cl] : CodeMap(list).code)
        v.push_back({{cl.second, ~cl.first}, {value >> 8, value & 255}});
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Pair> out;
    for (const auto& e : v) out.push_back(e.second);
    return out;
}

inline const std::int32_t* token_list(const Block& b) {
    switch (b.kind) {
        case Kind::kDc2x2:
            return cavlc_coeff_token_chroma_dc;
        case Kind::kDc2x4:
            return cavlc_coeff_token_chroma422_dc;
        default:
            return cavlc_coeff_token_lists[b.nc < 2 ? 0 : b.nc < 4 ? 1 : 2];
    }
}

inline void put_value(BitWriter& w, const std::int32_t* list, std::int32_t value) {
    static std::map<const std::int32_t*, CodeMap> cache;
    auto it = cache.find(list);
    if (it == cache.end()) it = cache.emplace(list, CodeMap(list)).first;
    if (!it->second.code.count(value))
        ADD_FAILURE() << "no code for value " << value << " in list " << list;
    const auto c = it->second.code.at(value);
    w.put(c.first, c.second);
}

// level_prefix and level_suffix of one level (clause 9.2.2.1 inverted).
inline void put_level(BitWriter& w, std::int64_t level_code, int suffix_length) {
    auto prefix = [&](int n) { w.put(1, n + 1); };  // n zeros and a one
    if (suffix_length == 0 && level_code < 14) return prefix(static_cast<int>(level_code));
    if (suffix_length == 0 && level_code < 30) {
        prefix(14);
        return w.put(static_cast<std::uint32_t>(level_code - 14), 4);
    }
    if (suffix_length > 0 && level_code < (std::int64_t{15} << suffix_length)) {
        prefix(static_cast<int>(level_code >> suffix_length));
        return w.put(static_cast<std::uint32_t>(level_code), suffix_length);
    }
    const std::int64_t rest =
        level_code - (std::int64_t{15} << suffix_length) - (suffix_length == 0 ? 15 : 0);
    if (rest < 4096) {
        prefix(15);
        return w.put(static_cast<std::uint32_t>(rest), 12);
    }
    int lp = 16;
    while (rest >= (std::int64_t{1} << (lp - 2)) - 4096) ++lp;
    prefix(lp);
    w.put(static_cast<std::uint32_t>(rest - ((std::int64_t{1} << (lp - 3)) - 4096)), lp - 3);
}

}  // namespace detail

inline Syntax syntax_of(const Block& b) {
    Syntax x;
    std::vector<int> pos;
    x.first = b.kind == Kind::kDc2x2 || b.kind == Kind::kDc2x4 ? 0 : b.start;
    const int last = b.kind == Kind::kDc2x2 ? 3 : b.kind == Kind::kDc2x4 ? 7 : b.end;
    for (int p = last; p >= x.first; --p)
        if (b.scan_levels[p]) x.levels.push_back(b.scan_levels[p]), pos.push_back(p);
    x.tc = static_cast<int>(x.levels.size());
    while (x.t1 < x.tc && x.t1 < 3 && std::abs(x.levels[x.t1]) == 1)
        x.signs = x.signs << 1 | (x.levels[x.t1++] < 0);
    x.capacity = last - x.first + 1;
    x.total_zeros = x.tc ? pos[0] - x.first + 1 - x.tc : 0;
    for (int i = 0; i + 1 < x.tc; ++i) x.runs.push_back(pos[i] - pos[i + 1] - 1);
    return x;
}

inline int write_block(const Block& b, BitWriter& w) {
    const Syntax x = syntax_of(b);
    const std::vector<std::int32_t>& level = x.levels;
    const int tc = x.tc, t1 = x.t1, capacity = x.capacity;

    // coeff_token. The range form remaps: write the pair whose rank in the class order is the
    // rank of (tc, t1) among the pairs allowed for `capacity` coefficients (nC >= 8 uses the
    // order of 4 <= nC < 8).
    const bool four = b.kind == Kind::k4x4 || b.kind == Kind::kRange;
    int code_tc = tc, code_t1 = t1;
    if (b.kind == Kind::kRange && capacity < 16) {
        Block c = b;
        c.nc = std::min(b.nc, 4);
        const auto order = detail::pair_order(detail::token_list(c));
        int k = 0;
        for (const detail::Pair& p : order) {
            if (p.tc > capacity || p.t1 > std::min(capacity, 3)) continue;
            if (p.tc == tc && p.t1 == t1) break;
            ++k;
        }
        code_tc = order[k].tc;
        code_t1 = order[k].t1;
    }
    if (four && b.nc >= 8)
        w.put(code_tc == 0 ? 3 : static_cast<std::uint32_t>(((code_tc - 1) << 2) | code_t1), 6);
    else
        detail::put_value(w, detail::token_list(b), code_tc * 256 + code_t1);
    if (tc == 0) return 0;

    for (int i = 0; i < t1; ++i) w.put(level[i] < 0, 1);
    int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        const std::int64_t v = level[i];
        std::int64_t code = v > 0 ? 2 * v - 2 : -2 * v - 1;
        if (i == t1 && t1 < 3) code -= 2;
        detail::put_level(w, code, suffix_length);
        if (suffix_length == 0) suffix_length = 1;
        if (std::abs(v) > (std::int64_t{3} << (suffix_length - 1)) && suffix_length < 6)
            ++suffix_length;
    }

    const int total_zeros = x.total_zeros;
    if (tc < capacity) {
        const std::int32_t* list;
        if (b.kind == Kind::kDc2x2) {
            list = cavlc_total_zeros_2x2_lists[tc];
        } else if (b.kind == Kind::kDc2x4) {
            list = cavlc_total_zeros_2x4_lists[tc];
        } else if (b.kind == Kind::kRange && capacity < 15) {
            const int m = capacity;
            if (m < 5)
                list = cavlc_total_zeros_2x2_lists[std::min(tc - m + 4, 3)];
            else if (m <= 8)
                list = cavlc_total_zeros_2x4_lists[std::min(tc - m + 8, 7)];
            else
                list = cavlc_total_zeros_4x4_lists[std::min(tc - m + 16, 15)];
        } else {
            list = cavlc_total_zeros_4x4_lists[tc];
        }
        detail::put_value(w, list, total_zeros);
    }
    int zeros_left = total_zeros;
    for (int i = 0; i + 1 < tc && zeros_left > 0; ++i) {
        const int run = x.runs[i];
        detail::put_value(w, cavlc_run_before_lists[std::min(zeros_left, 7)], run);
        zeros_left -= run;
    }
    return tc;
}

inline Block random_block(Rng& rng, Kind kind, int nc, int start, int end, std::int32_t max_level) {
    Block b;
    b.kind = kind;
    b.nc = nc;
    if (kind == Kind::kDc2x2) start = 0, end = 3;
    if (kind == Kind::kDc2x4) start = 0, end = 7;
    b.start = start;
    b.end = end;
    const int capacity = end - start + 1;
    const int tc = static_cast<int>(rng.uniform(0, capacity));
    // tc distinct positions out of the range
    std::vector<int> all;
    for (int p = start; p <= end; ++p) all.push_back(p);
    for (int i = 0; i < tc; ++i) {
        const int j = static_cast<int>(rng.uniform(i, capacity - 1));
        std::swap(all[i], all[j]);
        // Magnitude 1 three times in eight, 2..4 twice, then 5..40, 41..3000, 1..max_level.
        const std::int32_t lo[8] = {1, 1, 1, 2, 2, 5, 41, 1};
        const std::int32_t hi[8] = {1, 1, 1, 4, 4, 40, 3000, max_level};
        const int r = static_cast<int>(rng.uniform(0, 7));
        const auto mag = static_cast<std::int32_t>(rng.uniform(lo[r], hi[r]));
        b.scan_levels[all[i]] = rng.coin() ? -mag : mag;
    }
    return b;
}

}  // namespace opx::test::cavlc
