// opxvc-m4vdec's macroblock-layer code tables: every code fits its length, no code is a prefix of
// another (so none repeats), no value appears twice, and the Kraft sums equal the share of the
// code space each standard table fills (the rest is invalid or, for MCBPC of P-VOPs, H.263's
// INTER4V+Q codes 0000 0000 01x..., which the PLUSPTYPE table adds, and 0000 0000 0). Exit
// status 0 when all hold.
#include <cstdio>
#include <set>

#include "m4vdec.hpp"

int main() {
    using m4vdec::Code;
    // Kraft sums in units of 2^-13 (the longest code has 13 bits)
    const long expected[6] = {8080, 8176, 7936, 8188, 8184, 8183};
    int fail = 0;
    for (int t = 0; t < 6; ++t) {
        const m4vdec::CodeTable& tab = *m4vdec::kAllTables[t];
        long kraft = 0;
        std::set<int> values;
        for (int i = 0; i < tab.count; ++i) {
            const Code& a = tab.codes[i];
            if (a.len < 1 || a.len > 13 || (a.code >> a.len) != 0) {
                std::printf("%s: code %d does not fit %d bits\n", tab.name, a.code, a.len);
                fail = 1;
            }
            if (!values.insert(a.value).second) {
                std::printf("%s: value %d twice\n", tab.name, a.value);
                fail = 1;
            }
            kraft += 1L << (13 - a.len);
            for (int j = 0; j < tab.count; ++j) {
                const Code& b = tab.codes[j];
                if (i != j && b.len >= a.len && (b.code >> (b.len - a.len)) == a.code) {
                    std::printf("%s: code %d/%d is a prefix of %d/%d\n", tab.name, a.code, a.len,
                                b.code, b.len);
                    fail = 1;
                }
            }
        }
        if (kraft != expected[t]) {
            std::printf("%s: Kraft sum %ld/8192, expected %ld/8192\n", tab.name, kraft,
                        expected[t]);
            fail = 1;
        }
    }
    // every value the syntax can produce has a code
    if (m4vdec::kCbpy.count != 16 || m4vdec::kMotionCode.count != 65 ||
        m4vdec::kMcbpcI.count != 9 || m4vdec::kMcbpcP.count != 21 || m4vdec::kMtype.count != 10 ||
        m4vdec::kMcbpcPPlus.count != 25) {
        std::printf("table sizes differ from the standard's\n");
        fail = 1;
    }
    if (!fail) std::puts("code tables complete and prefix-free");
    return fail;
}
