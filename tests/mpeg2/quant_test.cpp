// MPEG-2 quantisers, scans and zero count: every level at every legal scale pinned, hand-computed
// values, scan permutations, and every kernel of the table, AVX2
// against portable, on random and extreme blocks at every alignment.
#include "mpeg2/quant.hpp"

#include <array>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "harness/harness.hpp"
#include "harness/pinned.hpp"

namespace opx::test::mpeg2 {
namespace {

namespace ref = opx::mpeg2::ref;
namespace avx2 = opx::mpeg2::avx2;
using opx::mpeg2::QuantKernels;
using Block = std::array<Opx16s, 64>;

// Every level of the legal range (forward: of 16 bits) at every legal scale, through the exported
// functions: weights 1, 16, 255, the default matrix and none; reciprocals of the default matrix,
// random ones and none. Pinned from the library while models of H.262 clause 7.4 in 64 bits and of
// the float rule of the forward quantisers (one rounded product at a time), exhaustive over the
// same levels and scales, passed against it.
TEST(Mpeg2Quant, EveryLevelAndLegalScalePinned) {
    std::vector<Block> weights;
    for (int w : {1, 16, 255})
        weights.push_back(Block{}), weights.back().fill(static_cast<Opx16s>(w));
    weights.push_back(Block{});
    for (int i = 0; i < 64; ++i) weights.back()[i] = opx::mpeg2::kDefaultIntraMatrix[i];
    Rng rng(0x51554E54ull);
    std::array<float, 64> random_inv;
    for (float& f : random_inv) f = 1.0f / static_cast<float>(rng.uniform(1, 255));
    Digest inverse, forward;
    for (int start = -2048; start < 2048; start += 64)
        for (std::int32_t q = 1; q <= 112; ++q) {
            Block c;
            for (int i = 0; i < 64; ++i) c[i] = static_cast<Opx16s>(start + (i + q) % 64);
            for (const Block& w : weights) {
                Block a = c, b = c;
                ASSERT_EQ(opxiQuantInvIntra_MPEG2_16s_C1I(a.data(), q, w.data()), opxOk);
                ASSERT_EQ(opxiQuantInv_MPEG2_16s_C1I(b.data(), q, w.data()), opxOk);
                inverse.add(a.data(), 128), inverse.add(b.data(), 128);
            }
            Block flat = c;
            ASSERT_EQ(opxiQuantInv_MPEG2_16s_C1I(flat.data(), q, nullptr), opxOk);
            inverse.add(flat.data(), 128);
        }
    for (int start = -32768; start < 32768; start += 64)
        for (std::int32_t q = 1; q <= 112; ++q) {
            Block c;
            for (int i = 0; i < 64; ++i) c[i] = static_cast<Opx16s>(start + i);
            const float* const invs[] = {nullptr, random_inv.data()};
            for (const float* inv : invs) {
                Block a = c, b = c;
                Opx32s na = -1, nb = -1;
                ASSERT_EQ(opxiQuantIntra_MPEG2_16s_C1I(a.data(), q, inv, &na), opxOk);
                ASSERT_EQ(opxiQuant_MPEG2_16s_C1I(b.data(), q, inv, &nb), opxOk);
                forward.add(a.data(), 128), forward.add(b.data(), 128);
                forward.add(na), forward.add(nb);
            }
        }
    EXPECT_EQ(inverse.value(), 0xeaf073926ba19494ull) << std::hex << inverse.value();
    EXPECT_EQ(forward.value(), 0x6bdbc1c3770e3c2cull) << std::hex << forward.value();
}

TEST(Mpeg2Quant, HandComputedValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN(),
                inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::function<int(Opx16s*)> call;          // returns the count (or 0)
        std::vector<std::pair<int, int>> in, out;  // (index, value); others 0
        int count;
    };
    static std::array<float, 64> inv;
    inv.fill(1.0f);
    inv[1] = nan, inv[2] = inf, inv[3] = -inf, inv[4] = inf;
    const Case cases[] = {
        {"negative scale quantises by 1",
         [](Opx16s* b) {
             Opx32s n;
             opxiQuant_MPEG2_16s_C1I(b, -7, nullptr, &n);
             return n;
         },
         {{0, 3000}, {1, -5}, {2, -32768}},
         {{0, 2047}, {1, -5}, {2, -2047}},
         3},
        {"NaN gives 0, infinities saturate",
         [](Opx16s* b) {
             Opx32s n;
             opxiQuant_MPEG2_16s_C1I(b, 16, inv.data(), &n);
             return n;
         },
         {{1, 100}, {2, 1}, {3, 1}},
         {{2, 2047}, {3, -2047}},
         2},
    };
    for (const Case& c : cases) {
        Block b{}, want{};
        for (auto [i, v] : c.in) b[i] = static_cast<Opx16s>(v);
        for (auto [i, v] : c.out) want[i] = static_cast<Opx16s>(v);
        EXPECT_EQ(c.call(b.data()), c.count) << c.what;
        EXPECT_EQ(b, want) << c.what;
    }
}

// ---- AVX2 against portable ---------------------------------------------------------------------

void random_block(Rng& rng, Opx16s* b, int style) {
    for (int i = 0; i < 64; ++i) {
        const int k = style % 6;
        const std::int64_t v = k == 0   ? rng.uniform(-32768, 32767)
                               : k == 1 ? rng.uniform(-2048, 2047)
                               : k == 2 ? ((i & 1) ? 32767 : -32768)
                               : k == 3 ? (rng.uniform(0, 3) == 0 ? rng.uniform(-40, 40) : 0)
                               : k == 4 ? -32768
                                        : (rng.coin() ? 2047 : -2048);
        b[i] = static_cast<Opx16s>(v);
    }
}

TEST(Mpeg2QuantDifferential, EveryKernelOnRandomAndExtremeInputs) {
    using Entry = std::function<int(const QuantKernels&, Opx16s*, std::int32_t, const Opx16s*,
                                    const float*, int)>;
    std::vector<std::pair<std::string, Entry>> entries = {
        {"inv_intra",
         [](auto& k, Opx16s* b, auto q, auto w, auto, int) { return k.inv_intra(b, q, w), 0; }},
        {"inv_table",
         [](auto& k, Opx16s* b, auto q, auto w, auto, int) { return k.inv_table(b, q, w), 0; }},
        {"inv_flat",
         [](auto& k, Opx16s* b, auto q, auto, auto, int) { return k.inv_flat(b, q), 0; }},
        {"quant_intra", [](auto& k, Opx16s* b, auto q, auto, auto inv,
                           int) { return k.quant_intra(b, q ? q : 1, inv); }},
        {"quant_table", [](auto& k, Opx16s* b, auto q, auto, auto inv,
                           int) { return k.quant_table(b, q ? q : 1, inv); }},
        {"quant_flat",
         [](auto& k, Opx16s* b, auto q, auto, auto, int) { return k.quant_flat(b, q ? q : 1); }},
        {"count_zeros", [](auto& k, Opx16s* b, auto, auto, auto,
                           int) { return static_cast<int>(k.count_zeros(b)); }},
    };
    for (int scan = 0; scan < opx::mpeg2::kNumScans; ++scan) {
        entries.push_back({"scan_fwd", [scan](auto& k, Opx16s* b, auto, auto, auto, int n) {
                               Block src;
                               std::memcpy(src.data(), b, 128);
                               k.scan_fwd[scan](n & 1 ? b : src.data(), b,
                                                n % 64 + 1);  // odd n: in place
                               return 0;
                           }});
        entries.push_back({"scan_inv", [scan](auto& k, Opx16s* b, auto, auto, auto, int n) {
                               Block src;
                               std::memcpy(src.data(), b, 128);
                               k.scan_inv[scan](n & 1 ? b : src.data(), b, n % 64);
                               return 0;
                           }});
    }
    const std::int32_t scales[] = {0,     1,     2,     3,  31,   112,     113,    4095,
                                   65535, 65536, 65537, -1, -112, INT_MAX, INT_MIN};
    const float specials[] = {0.0f,
                              -0.0f,
                              1e-40f,
                              1e30f,
                              -1e30f,
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              0.5f,
                              -1.0f};
    Rng rng;
    GuardedBuffer g(128);  // a block that ends at unreadable memory
    for (int round = 0; round < 8; ++round) {
        std::array<Opx16s, 64> w;
        std::array<float, 64> inv;
        for (int i = 0; i < 64; ++i) {
            w[i] = static_cast<Opx16s>(round < 3   ? rng.uniform(1, 255)
                                       : round < 6 ? rng.uniform(-32768, 32767)
                                                   : (round & 1 ? 32767 : -32768));
            inv[i] = round < 4 ? 1.0f / static_cast<float>(rng.uniform(1, 255))
                               : specials[rng.uniform(0, 8)];
        }
        for (int offset = 0; offset < 32; ++offset) {
            Plane<Opx16s> a(64, 1, 16, 2 * offset), b(64, 1, 16, 2 * offset);
            for (std::size_t e = 0; e < entries.size(); ++e)
                for (std::int32_t q : scales) {
                    const auto& [name, call] = entries[e];
                    if (e >= 6 && q > 3) break;  // scans and count: the scale is not used
                    random_block(rng, a.data(),
                                 static_cast<int>((static_cast<unsigned>(round + offset) +
                                                   static_cast<unsigned>(q)) % 6u));
                    std::memcpy(b.data(), a.data(), 128);
                    std::memcpy(g.begin(), a.data(), 128);
                    const int n = rng.uniform_int(0, 127);
                    const int rx = call(ref::kQuant, a.data(), q, w.data(), inv.data(), n);
                    const int ry = call(avx2::kQuant, b.data(), q, w.data(), inv.data(), n);
                    const int rg = call(avx2::kQuant, reinterpret_cast<Opx16s*>(g.begin()), q,
                                        w.data(), inv.data(), n);
                    ASSERT_TRUE(regions_equal(a.data(), 128, b.data(), 128, 64, 1))
                        << name << " scale " << q << " offset " << offset;
                    ASSERT_EQ(std::memcmp(g.begin(), b.data(), 128), 0) << name;
                    ASSERT_EQ(rx, ry) << name << " scale " << q;
                    ASSERT_EQ(rg, ry);
                }
            ASSERT_TRUE(a.canaries_intact() && b.canaries_intact());
        }
    }
}

// ---- scans and arguments -----------------------------------------------------------------------

std::array<int, 64> scan_order(Opx32s scan) {
    Block ramp, out;
    for (int i = 0; i < 64; ++i) ramp[i] = static_cast<Opx16s>(i + 1);
    EXPECT_EQ(opxiScanFwd_16s_C1(ramp.data(), out.data(), 64, scan), opxOk);
    std::array<int, 64> order;
    for (int k = 0; k < 64; ++k) order[k] = out[k] - 1;
    return order;
}

TEST(Mpeg2Scan, PermutationsTransposeInverseAndEarlyStop) {
    const auto zigzag = scan_order(0), vertical = scan_order(1), horizontal = scan_order(2);
    for (const auto& s : {zigzag, vertical, horizontal}) {
        std::array<int, 64> seen{};
        for (int r : s) ASSERT_TRUE(r >= 0 && r < 64 && ++seen[r] == 1);
        EXPECT_EQ(s[0], 0);
        EXPECT_EQ(s[63], 63);
    }
    for (int k = 0; k < 64; ++k) EXPECT_EQ(horizontal[k], (vertical[k] % 8) * 8 + vertical[k] / 8);
    for (int k = 1; k < 64; ++k) {  // the zig-zag walks anti-diagonals
        const int d0 = zigzag[k - 1] / 8 + zigzag[k - 1] % 8, d1 = zigzag[k] / 8 + zigzag[k] % 8;
        EXPECT_TRUE(d1 == d0 || d1 == d0 + 1) << k;
    }
    EXPECT_EQ(scan_order(3), zigzag);  // any other value is the zig-zag
    EXPECT_EQ(scan_order(-1), zigzag);
    EXPECT_EQ(vertical[2], 16);  // H.262 figure 7-3: down the first column first
    Rng rng;
    for (Opx32s scan : {0, 1, 2}) {
        Block src, mid, back;
        random_block(rng, src.data(), 0);
        ASSERT_EQ(opxiScanFwd_16s_C1(src.data(), mid.data(), 64, scan), opxOk);
        ASSERT_EQ(opxiScanInv_16s_C1(mid.data(), back.data(), 63, scan), opxOk);
        EXPECT_EQ(back, src);
    }
    // 30 nonzero values: a count of 19 keeps the first 19 in scan order, 20 copies everything.
    Block thirty{}, out;
    for (int k = 0; k < 60; k += 2) thirty[zigzag[k]] = static_cast<Opx16s>(k + 1);
    for (int n : {19, 20}) {
        ASSERT_EQ(opxiScanFwd_16s_C1(thirty.data(), out.data(), n, 0), opxOk);
        for (int k = 0; k < 64; ++k)
            EXPECT_EQ(out[k], (k % 2 == 0 && k < 2 * (n == 19 ? 19 : 30)) ? k + 1 : 0);
    }
    // Inverse with last index 0 writes pDst[0] and zeros.
    Block five;
    five.fill(5);
    ASSERT_EQ(opxiScanInv_16s_C1(five.data(), out.data(), 0, 1), opxOk);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(out[k], k == 0 ? 5 : 0);
    Opx32u n = 0;
    out.fill(0), out[0] = 1, out[63] = -32768, out[31] = 7;
    ASSERT_EQ(opxiCountZeros8x8_16s_C1(out.data(), &n), opxOk);
    EXPECT_EQ(n, 61u);
}

OPX_NULL_CALL(opxiQuantIntra_MPEG2_16s_C1I, nul(s.s16(0)), 4, nullptr, nul(s.s32(1)))
OPX_NULL_CALL(opxiQuant_MPEG2_16s_C1I, nul(s.s16(0)), 4, nullptr, nul(s.s32(1)))
OPX_NULL_AUTO(opxiQuantInvIntra_MPEG2_16s_C1I, 4)
OPX_NULL_CALL(opxiQuantInv_MPEG2_16s_C1I, nul(s.s16(0)), 4, nullptr)
OPX_NULL_AUTO(opxiScanFwd_16s_C1, 10, 1)
OPX_NULL_AUTO(opxiScanInv_16s_C1, 10, 2)
OPX_NULL_CALL(opxiCountZeros8x8_16s_C1, nul(s.s16(0)), nul(s.u32(1)))

}  // namespace
}  // namespace opx::test::mpeg2
