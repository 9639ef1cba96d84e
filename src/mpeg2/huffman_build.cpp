// VLC lookup tables built from a caller's code list (the table layout of frame/bitstream.hpp).
//
// The list is checked whole before the table is allocated: level count, index widths, code
// lengths and values, coverage of the longest code by the widths, and prefix-freeness. Sizes are
// computed in 64 bits; a table larger than links can address (2^23 - 1 entries, 32 MiB) is
// refused like any other malformed list.
#include <algorithm>
#include <cstdint>

#include "frame/bitstream.hpp"
#include "mpeg2/huffman.hpp"
#include "opxcore.h"

namespace opx::mpeg2 {
namespace {

constexpr std::int32_t kFill = 0x00F0F101;  // payload 0xF0F1 (no code), code byte 1
constexpr int kMaxLevels = 32;              // widths are >= 1, so 32 levels cover any code
constexpr std::int64_t kMaxEntries = (std::int64_t{1} << 23) - 1;  // largest link payload

struct Code {
    std::uint64_t left;  // code left-aligned in 64 bits (sort key: prefixes group together)
    std::uint32_t code;
    int length;
};

// Parsed list header: widths of the levels and their running sums S_k.
struct Levels {
    int count = 0;  // levels that can hold code bits (at most kMaxLevels)
    int width[kMaxLevels] = {};
    int sum[kMaxLevels] = {};  // S_k = width[0] + ... + width[k]
};

// Walks the code records of a list. `fields` is 2 (code, value) or 3 (code, run, level).
template <class F>
void for_each_code(const Opx32s* records, int fields, F&& f) {
    const Opx32s* p = records;
    for (int length = 1;; ++length) {
        const Opx32s n = *p++;
        if (n < 0) return;
        for (Opx32s i = 0; i < n; ++i, p += fields) f(length, p);
    }
}

OpxResult build(const Opx32s* list, int fields, Opx32s** out) noexcept {
    // ---- the header: N levels and their widths, 1..16 each
    const Opx32s n_levels = list[1];
    if (n_levels < 1) return opxErrBadArg;
    Levels lv;
    std::int64_t total_width = 0;
    for (Opx32s k = 0; k < n_levels; ++k) {
        const Opx32s w = list[2 + k];
        if (w < 1 || w > 16) return opxErrBadArg;
        if (k < kMaxLevels) {
            total_width += w;
            lv.width[k] = w;
            lv.sum[k] = static_cast<int>(total_width);
            lv.count = k + 1;
        }
    }
    const Opx32s* records = list + 2 + n_levels;

    // ---- the records: lengths up to 32, codes that fit, widths that cover them
    std::int64_t n_codes = 0;
    int longest = 0;
    bool ok = true;
    for_each_code(records, fields, [&](int length, const Opx32s* r) {
        const std::uint32_t c = static_cast<std::uint32_t>(r[0]);
        if (length > 32 || (length < 32 && (c >> length) != 0)) ok = false;
        longest = std::max(longest, length);
        ++n_codes;
    });
    if (!ok || longest > total_width) return opxErrBadArg;
    if (n_codes > kMaxEntries) return opxErrBadArg;  // more codes than a table can index

    // ---- prefix-freeness, on a sorted scratch list: when a code is a prefix of another, all
    // codes between them in left-aligned order share that prefix, so neighbours suffice.
    Code* scratch = nullptr;
    if (n_codes > 0) {
        scratch = static_cast<Code*>(opxMalloc(static_cast<Opx32s>(n_codes * sizeof(Code))));
        if (!scratch) return opxErrMemAlloc;
        std::int64_t i = 0;
        for_each_code(records, fields, [&](int length, const Opx32s* r) {
            const std::uint32_t c = static_cast<std::uint32_t>(r[0]);
            scratch[i++] = {std::uint64_t{c} << (64 - length), c, length};
        });
        std::sort(scratch, scratch + n_codes, [](const Code& a, const Code& b) {
            return a.left != b.left ? a.left < b.left : a.length < b.length;
        });
        for (std::int64_t j = 0; j + 1 < n_codes; ++j) {
            const Code& a = scratch[j];
            const Code& b = scratch[j + 1];
            if (b.length >= a.length && (b.code >> (b.length - a.length)) == a.code) ok = false;
        }
    }

    // ---- size: the root, plus one sub-table of level k + 1 per distinct S_k-bit prefix of the
    // codes longer than S_k. Prefixes are contiguous in the sorted list.
    std::int64_t size = (std::int64_t{1} << lv.width[0]) + 1;
    for (int k = 0; ok && k + 1 < lv.count; ++k) {
        const int s = lv.sum[k];
        bool have = false;
        std::uint32_t last = 0;
        for (std::int64_t j = 0; j < n_codes; ++j) {
            const Code& c = scratch[j];
            if (c.length <= s) continue;
            const std::uint32_t prefix = static_cast<std::uint32_t>(c.code >> (c.length - s));
            if (!have || prefix != last) size += (std::int64_t{1} << lv.width[k + 1]) + 1;
            have = true;
            last = prefix;
        }
    }
    opxFree(scratch);
    // Links carry sub-table indices in a 24-bit signed payload.
    if (!ok || size > kMaxEntries) return opxErrBadArg;

    auto* table = static_cast<Opx32s*>(opxMalloc(static_cast<Opx32s>(size * 4)));
    if (!table) return opxErrMemAlloc;
    std::fill(table, table + size, kFill);
    table[0] = lv.width[0];

    // ---- fill, codes in list order; sub-tables are appended as first met
    std::int64_t next = (std::int64_t{1} << lv.width[0]) + 1;
    for_each_code(records, fields, [&](int length, const Opx32s* r) {
        const std::uint32_t c = static_cast<std::uint32_t>(r[0]);
        std::uint32_t payload;
        if (fields == 2) {
            payload = static_cast<std::uint32_t>(r[1]);
        } else {
            payload =
                (static_cast<std::uint32_t>(r[2]) << 8) | (static_cast<std::uint32_t>(r[1]) & 0xFF);
        }
        std::int64_t base = 0;  // index of the current (sub-)table's width entry
        int consumed = 0;       // S_(k-1)
        for (int k = 0;; ++k) {
            const int s = lv.sum[k];
            const int w = lv.width[k];
            if (length > s) {
                const std::uint32_t idx =
                    static_cast<std::uint32_t>(c >> (length - s)) & opx::bits::low_mask(w);
                Opx32s& e = table[base + 1 + idx];
                if (e == kFill) {
                    e = static_cast<Opx32s>((static_cast<std::uint32_t>(next) << 8) | 0x80);
                    table[next] = lv.width[k + 1];
                    next += (std::int64_t{1} << lv.width[k + 1]) + 1;
                }
                base = e >> 8;
                consumed = s;
                continue;
            }
            const int surplus = s - length;
            const std::uint32_t first = (c & opx::bits::low_mask(length - consumed)) << surplus;
            const Opx32s entry =
                static_cast<Opx32s>((payload << 8) | static_cast<std::uint32_t>(surplus));
            std::fill_n(table + base + 1 + first, std::int64_t{1} << surplus, entry);
            return;
        }
    });
    *out = table;
    return opxOk;
}

}  // namespace

OpxResult build_table(const Opx32s* list, bool run_level, Opx32s** out) noexcept {
    return build(list, run_level ? 3 : 2, out);
}

}  // namespace opx::mpeg2
