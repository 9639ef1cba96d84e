// Test-side MPEG-1/2 block writer: encodes intra DC differentials and run/level sequences with
// the annex B code lists (table codes or either escape form) into word-cursor streams, and keeps
// the tables built from those lists. Shared by the tests, the benchmark and the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "../../examples/m2vdec/mpeg2_code_lists.h"
#include "../harness/bits.hpp"
#include "opxvc.h"

namespace opx::test::mpeg2 {

struct Code {
    std::uint32_t bits;
    int length;
};

// (run, level) -> code of a run/level code list; EOB and escape apart.
struct CodeMap {
    std::map<std::pair<int, int>, Code> pairs;
    Code eob{0, 0}, escape{0, 0};  // length 0: the list has none
    explicit CodeMap(const std::int32_t* list) {
        const std::int32_t* p = list + 2 + list[1];
        for (int len = 1;; ++len) {
            const std::int32_t n = *p++;
            if (n < 0) break;
            for (std::int32_t i = 0; i < n; ++i, p += 3) {
                const Code c{static_cast<std::uint32_t>(p[0]), len};
                if (p[1] == 254)
                    eob = c;
                else if (p[1] == 255)
                    escape = c;
                else
                    pairs[{p[1], p[2]}] = c;
            }
        }
    }
    const Code* find(int run, int level) const {
        auto it = pairs.find({run, level});
        return it == pairs.end() ? nullptr : &it->second;
    }
};

// value -> code of a plain code list.
inline std::map<int, Code> value_codes(const std::int32_t* list) {
    std::map<int, Code> m;
    const std::int32_t* p = list + 2 + list[1];
    for (int len = 1;; ++len) {
        const std::int32_t n = *p++;
        if (n < 0) break;
        for (std::int32_t i = 0; i < n; ++i, p += 2)
            m[p[1]] = {static_cast<std::uint32_t>(p[0]), len};
    }
    return m;
}

class BitWriter : public opx::test::BitString {
  public:
    using BitString::put;
    void put(const Code& c) { put(c.bits, c.length); }
    // Words with the first bit at position `first_pos` (31..0) of word 0 (the bits before it
    // are ones), then `pad` words of `fill`.
    std::vector<Opx32u> words(int first_pos, int pad = 2, Opx32u fill = 0) const {
        return BitString::words(31 - first_pos, pad, fill);
    }
    // Cursor (word index, position) of bit `index` when written with words(first_pos).
    static std::pair<std::size_t, int> cursor_at(std::size_t index, int first_pos) {
        const std::size_t i = static_cast<std::size_t>(31 - first_pos) + index;
        return {i / 32, 31 - static_cast<int>(i % 32)};
    }
};

enum class Escape { kNever, kSometimes, kAlways };

// Writes run/level pairs with `map` (the first pair of a non-intra block with `first`, which
// may be null), escaping when the pair has no code or when `esc` asks for it; `mpeg1` selects the
// escape form. `ends` receives the stream length after each pair.
template <class Rng>
void put_pairs(BitWriter& w, const std::vector<std::pair<int, int>>& pairs, const CodeMap& map,
               const CodeMap* first, bool mpeg1, Escape esc, Rng& coin,
               std::vector<std::size_t>* ends = nullptr) {
    for (std::size_t n = 0; n < pairs.size(); ++n) {
        const int run = pairs[n].first, level = pairs[n].second;
        const CodeMap& m = (n == 0 && first) ? *first : map;
        const Code* c = m.find(run, level);
        const bool escape = !c || esc == Escape::kAlways || (esc == Escape::kSometimes && coin());
        if (!escape) {
            w.put(*c);
        } else {
            w.put(m.escape);
            w.put(static_cast<std::uint32_t>(run), 6);
            if (!mpeg1) {
                w.put(static_cast<std::uint32_t>(level) & 0xFFF, 12);
            } else if (level >= -127 && level <= 127) {
                w.put(static_cast<std::uint32_t>(level) & 0xFF, 8);
            } else if (level > 0) {
                w.put(0, 8);
                w.put(static_cast<std::uint32_t>(level), 8);
            } else {
                w.put(0x80, 8);
                w.put(static_cast<std::uint32_t>(level + 256), 8);
            }
        }
        if (ends) ends->push_back(w.size());
    }
}

// dct_dc_size and dct_dc_differential for a differential of `size` bits.
inline void put_dc(BitWriter& w, const std::map<int, Code>& sizes, int diff) {
    int size = 0;
    while ((1 << size) <= std::abs(diff)) ++size;
    w.put(sizes.at(size));
    if (size > 0) w.put(static_cast<std::uint32_t>(diff > 0 ? diff : diff + (1 << size) - 1), size);
}

// The tables of annex B, built once.
struct Tables {
    Opx32s* dc_luma = nullptr;
    Opx32s* dc_chroma = nullptr;
    Opx32s* b14 = nullptr;
    Opx32s* b14_first = nullptr;
    Opx32s* b15 = nullptr;
    Tables() {
        opxiHuffmanTableInitAlloc_32s(mpeg2_b12_dc_size_luma, &dc_luma);
        opxiHuffmanTableInitAlloc_32s(mpeg2_b13_dc_size_chroma, &dc_chroma);
        opxiHuffmanRunLevelTableInitAlloc_32s(mpeg2_b14, &b14);
        opxiHuffmanRunLevelTableInitAlloc_32s(mpeg2_b14_first, &b14_first);
        opxiHuffmanRunLevelTableInitAlloc_32s(mpeg2_b15, &b15);
    }
    ~Tables() {
        for (Opx32s* t : {dc_luma, dc_chroma, b14, b14_first, b15})
            if (t) opxiHuffmanTableFree_32s(t);
    }
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;
};

}  // namespace opx::test::mpeg2
