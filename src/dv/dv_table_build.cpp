// The caller-built DV look-up table: two code lists, each expanded into a direct table of 2^b
// entries. No decoder reads it (the segment decoders use the library's own code), so it is kept
// to exactly what the lists ask for.
//
// List grammar: [0] the index width b (1..16); [1], [2] not read; from [3], for code lengths
// L = 1, 2, ...: a count n (0 allowed) and n triples (code, run, amplitude); a negative count
// ends the list. A code of length L fills the 2^(b - L) entries from code << (b - L) with
// (amplitude * 64) << 16 | run << 8 | L (amplitude * 64 and run kept to 16 and 8 bits); entries no
// code reaches hold 0; a later code overwrites an earlier one.
#include "dv/dv.hpp"
#include "frame/check.hpp"
#include "opxcore.h"

namespace {

constexpr int kFirstLength = 3;

// Checks a list whole: its width, and that every code fits its length and its length fits the
// width. Returns the width, or 0 for a malformed list.
int check_list(const Opx32s* list) noexcept {
    const Opx32s b = list[0];
    if (b < 1 || b > 16) return 0;
    const Opx32s* p = list + kFirstLength;
    for (int length = 1;; ++length) {
        const Opx32s n = *p++;
        if (n < 0) return b;
        if (n > 0 && length > b) return 0;
        for (Opx32s i = 0; i < n; ++i, p += 3) {
            const std::uint32_t code = static_cast<std::uint32_t>(p[0]);
            if ((code >> length) != 0) return 0;
        }
    }
}

void fill(const Opx32s* list, int b, Opx32u* table) noexcept {
    for (int i = 0; i < (1 << b); ++i) table[i] = 0;
    const Opx32s* p = list + kFirstLength;
    for (int length = 1;; ++length) {
        const Opx32s n = *p++;
        if (n < 0) return;
        for (Opx32s i = 0; i < n; ++i, p += 3) {
            const Opx32u code = static_cast<Opx32u>(p[0]);
            const Opx32u run = static_cast<Opx32u>(p[1]) & 0xFF;
            const Opx32u amp64 = (static_cast<Opx32u>(p[2]) * 64u) & 0xFFFF;
            const Opx32u entry = (amp64 << 16) | (run << 8) | static_cast<Opx32u>(length);
            const int spare = b - length;
            for (Opx32u j = 0; j < (1u << spare); ++j) table[(code << spare) + j] = entry;
        }
    }
}

}  // namespace

OpxResult opxiInitAllocHuffmanTable_DV_32u(const Opx32s* pCodeList1, const Opx32s* pCodeList2,
                                           Opx32u** ppTable) noexcept {
    OPX_CHECK_NULL(pCodeList1, pCodeList2, ppTable);
    const int b1 = check_list(pCodeList1);
    const int b2 = check_list(pCodeList2);
    OPX_CHECK(b1 != 0 && b2 != 0, opxErrBadArg);
    const Opx32s entries = (1 << b1) + (1 << b2);  // at most 2^17
    auto* table = static_cast<Opx32u*>(opxMalloc(entries * 4));
    if (!table) return opxErrMemAlloc;
    fill(pCodeList1, b1, table);
    fill(pCodeList2, b2, table + (1 << b1));
    *ppTable = table;
    return opxOk;
}

OpxResult opxiFreeHuffmanTable_DV_32u(Opx32u* pTable) noexcept {
    OPX_CHECK_NULL(pTable);
    opxFree(pTable);
    return opxOk;
}
