// The caller-built DV look-up table: the list grammar, entry layout, hostile lists refused with
// nothing allocated or written.
#include <vector>

#include "harness/harness.hpp"

namespace opx::test::dv {
namespace {

// A table that the builder must accept; freed at the end of the scope.
struct Built {
    Opx32u* t = nullptr;
    OpxResult r;
    Built(const Opx32s* a, const Opx32s* b) { r = opxiInitAllocHuffmanTable_DV_32u(a, b, &t); }
    ~Built() {
        if (r == opxOk) opxiFreeHuffmanTable_DV_32u(t);
    }
};

constexpr Opx32u entry(int amp, int run, int length) {
    return (static_cast<Opx32u>(amp * 64) & 0xFFFF) << 16 | static_cast<Opx32u>(run & 255) << 8 |
           static_cast<Opx32u>(length);
}

TEST(DvTable, EntriesOfBothListsInOneTable) {
    // list 1: width 3; length 1: code 0 (run 5, amp 1); length 2: 10 (run 1, amp 2);
    //         length 3: 110 (run 0, amp -3); 111 left empty.
    const Opx32s list1[] = {3, 99, 99, 1, 0, 5, 1, 1, 2, 1, 2, 1, 6, 0, -3, -1};
    // list 2: width 2, lengths 1 empty, 2: 01 (run 300 -> 44, amp 1024 -> 16 bits of 65536)
    const Opx32s list2[] = {2, 0, 0, 0, 1, 1, 300, 1024, -5};
    Built b(list1, list2);
    ASSERT_EQ(b.r, opxOk);
    // The entries of codes 0, 10 and 110 (list 1) and 01 (list 2).
    const Opx32u c0 = entry(1, 5, 1), c10 = entry(2, 1, 2), c110 = entry(-3, 0, 3),
                 c01 = entry(1024, 300, 2);
    const Opx32u want[] = {c0, c0, c0, c0, c10, c10, c110, 0, 0, c01, 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(b.t[i], want[i]) << i;
    EXPECT_EQ(b.t[9], (300u & 255) << 8 | 2u) << "amplitude x 64 kept to 16 bits";
}

TEST(DvTable, WidestListsAndLaterCodesOverwrite) {
    const Opx32s list1[] = {16, 0, 0, 1, 1, 7, 7, 0, 0, 0,      0, 0, 0,
                            0,  0, 0, 0, 0, 0, 0, 0, 1, 0xFFFF, 1, 1, -1};
    const Opx32s list2[] = {1, 0, 0, 2, 0, 1, 1, 0, 2, 2, -1};  // two codes 0: the later stands
    Built b(list1, list2);
    ASSERT_EQ(b.r, opxOk);
    EXPECT_EQ(b.t[0], 0u);
    EXPECT_EQ(b.t[0x8000], entry(7, 7, 1));
    EXPECT_EQ(b.t[0xFFFE], entry(7, 7, 1));
    EXPECT_EQ(b.t[0xFFFF], entry(1, 1, 16));
    EXPECT_EQ(b.t[0x10000], entry(2, 2, 1));
    EXPECT_EQ(b.t[0x10001], 0u);
}

// Argument checks, one table: hostile code lists in either place are refused, the output table
// pointer and everything else left as they were.
TEST(DvChecks, EachBadArgumentGivesItsCodeAndWritesNothing) {
    const Opx32s good[] = {2, 0, 0, 0, 1, 1, 1, 1, -1};
    const std::vector<std::vector<Opx32s>> bad = {
        {0, 0, 0, -1},                          // width 0
        {17, 0, 0, -1},                         // width 17
        {-3, 0, 0, -1},                         // negative width
        {2, 0, 0, 0, 0, 1, 0, 0, 0, -1},        // a code of length 3 in a 2-bit list
        {2, 0, 0, 1, 2, 0, 0, -1},              // code 10 at length 1
        {2, 0, 0, 1, -1, 0, 0, -1},             // a negative code
        {4, 0, 0, 0, 1, 0x40000000, 0, 0, -1},  // bits far above the length
    };
    std::vector<ArgCase> rows;
    for (const std::vector<Opx32s>& list : bad) {
        const Opx32s* l = list.data();
        rows.push_back(OPX_ARG(opxErrBadArg, opxiInitAllocHuffmanTable_DV_32u(l, good, s.put(1, s.u32(2)))));
        rows.push_back(OPX_ARG(opxErrBadArg, opxiInitAllocHuffmanTable_DV_32u(good, l, s.put(1, s.u32(2)))));
    }
    expect_arg_cases(rows);
}

OPX_NULL_CASE(opxiInitAllocHuffmanTable_DV_32u) {
    static const Opx32s list[] = {2, 0, 0, 0, 1, 1, 1, 1, -1};
    Opx32u* t = nullptr;
    const OpxResult r = opxiInitAllocHuffmanTable_DV_32u(nul(list), nul(list), nul(&t));
    if (r == opxOk) opxiFreeHuffmanTable_DV_32u(t);
    return r;
}
OPX_NULL_CASE(opxiFreeHuffmanTable_DV_32u) {
    static const Opx32s list[] = {2, 0, 0, 0, 1, 1, 1, 1, -1};
    Opx32u* t = nullptr;
    opxiInitAllocHuffmanTable_DV_32u(list, list, &t);
    Opx32u* arg = nul(t);
    const OpxResult r = opxiFreeHuffmanTable_DV_32u(arg);
    if (!arg) opxiFreeHuffmanTable_DV_32u(t);
    return r;
}

}  // namespace
}  // namespace opx::test::dv
