// MPEG-2 quantisers, scans and zero count: inverse quantisers exhaustive over the levels, legal
// scales and a few weights against the standard's formulas; forward ones exhaustive over
// coefficients and scales against a scalar float reference; every AVX2 kernel against the
// portable one on random and extreme blocks at every alignment; scan properties; the rules and
// argument checks.
#include "mpeg2/quant.hpp"

#include <array>
#include <climits>
#include <cmath>
#include <limits>

#include "harness/harness.hpp"

namespace opx::test::mpeg2 {
namespace {

namespace ref = opx::mpeg2::ref;
namespace avx2 = opx::mpeg2::avx2;
using opx::mpeg2::QuantKernels;
using Block = std::array<Opx16s, 64>;

const QuantKernels* const kKernels[] = {&ref::kQuant, &avx2::kQuant};

// ---- inverse quantisation ----------------------------------------------------------------------

// H.262 clause 7.4.2-7.4.4 in 64-bit arithmetic.
Block oracle_inverse(const Block& c, bool intra, std::int32_t q, const Opx16s* w) {
    Block f{};
    int sum = 0;
    for (int i = 0; i < 64; ++i) {
        if (intra && i == 0) {
            f[0] = c[0];
        } else {
            const std::int64_t l = c[i];
            const std::int64_t k = 2 * l + (intra ? 0 : (l > 0) - (l < 0));
            const std::int64_t v = k * (w ? w[i] : 16) * q / 32;
            f[i] =
                static_cast<Opx16s>(std::max<std::int64_t>(-2048, std::min<std::int64_t>(2047, v)));
        }
        sum += f[i];
    }
    if (sum % 2 == 0) f[63] = static_cast<Opx16s>(f[63] ^ 1);
    return f;
}

// The 16-bit forms (products kept to 16 bits), where no product wraps they give the same values.
Block sixteen_bit_inverse(const Block& c, bool intra, std::int32_t q, const Opx16s* w) {
    auto sat16 = [](int v) { return std::max(-32768, std::min(32767, v)); };
    Block f{};
    int sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int ci = c[i];
        if (intra) {
            if (i == 0) {
                f[0] = c[0];
            } else {
                const int p = static_cast<Opx16s>(ci * q * w[i]);
                f[i] = static_cast<Opx16s>(sat16(p + (ci < 0 ? 15 : 0)) >> 4);
            }
        } else if (w) {
            const int m = static_cast<Opx16s>(w[i] * q);
            const int p = static_cast<Opx16s>(ci * m);
            int h = ci != 0 ? static_cast<int>(static_cast<std::uint16_t>(m) >> 1) : 0;
            if (p < 0) h = -h;
            f[i] = static_cast<Opx16s>(sat16(sat16(p + h) + (p < 0 ? 15 : 0)) >> 4);
        } else {
            const int a = sat16(sat16(2 * ci) + ((ci > 0) - (ci < 0)));
            const int p = static_cast<Opx16s>(a * q);
            f[i] =
                static_cast<Opx16s>(std::max(-2048, std::min(2047, (p + (ci < 0 ? 1 : 0)) >> 1)));
        }
        sum += f[i];
    }
    if (sum % 2 == 0) f[63] = static_cast<Opx16s>(f[63] ^ 1);
    return f;
}

std::vector<Block> all_levels_blocks(int rotate) {
    std::vector<Block> v;
    for (int start = -2048; start < 2048; start += 64) {
        Block b;
        for (int i = 0; i < 64; ++i) b[i] = static_cast<Opx16s>(start + (i + rotate) % 64);
        v.push_back(b);
    }
    return v;
}

std::vector<Block> weight_sets() {
    std::vector<Block> v;
    for (int w : {1, 16, 255}) {
        Block b;
        b.fill(static_cast<Opx16s>(w));
        v.push_back(b);
    }
    Block d;
    for (int i = 0; i < 64; ++i) d[i] = opx::mpeg2::kDefaultIntraMatrix[i];
    v.push_back(d);
    return v;
}

TEST(Mpeg2QuantInv, ExhaustiveOverLevelsLegalScalesAndWeights) {
    const std::vector<Block> weights = weight_sets();
    int compared_16bit = 0;
    for (int rotate : {0, 1}) {
        for (const Block& c : all_levels_blocks(rotate)) {
            for (std::int32_t q = 1; q <= 112; ++q) {
                for (const Block& w : weights) {
                    const bool flat = w[0] == 16 && w[63] == 16;
                    for (bool intra : {true, false}) {
                        const Block want = oracle_inverse(c, intra, q, w.data());
                        // The 16-bit forms agree wherever their products stay in 16 bits.
                        bool fits = true;
                        for (int i = 0; i < 64; ++i) {
                            const long p = (2L * std::abs(c[i]) + 1) * w[i] * q / 2;
                            fits = fits && p <= 32767 && w[i] * q <= 32767;
                        }
                        if (fits) {
                            ++compared_16bit;
                            ASSERT_EQ(sixteen_bit_inverse(c, intra, q, w.data()), want);
                            if (!intra && flat) {
                                ASSERT_EQ(sixteen_bit_inverse(c, false, q, nullptr), want);
                            }
                        }
                        for (const QuantKernels* k : kKernels) {
                            Block got = c;
                            (intra ? k->inv_intra : k->inv_table)(got.data(), q, w.data());
                            ASSERT_EQ(got, want) << "scale " << q << " intra " << intra << " level "
                                                 << c[0] << " w " << w[1];
                            if (!intra && flat) {
                                got = c;
                                k->inv_flat(got.data(), q);
                                ASSERT_EQ(got, want) << "flat, scale " << q;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared_16bit, 1000);
    // Where the 16-bit forms wrap, the exact value: level 2047, weight 255, scale 112.
    Block c{}, w;
    w.fill(255);
    c[5] = 2047;
    Block got = c;
    ASSERT_EQ(opxiQuantInvIntra_MPEG2_16s_C1I(got.data(), 112, w.data()), opxOk);
    EXPECT_EQ(got[5], 2047);
    got = c;
    ASSERT_EQ(opxiQuantInv_MPEG2_16s_C1I(got.data(), 112, w.data()), opxOk);
    EXPECT_EQ(got[5], 2047);
    EXPECT_EQ(got[63], 0);  // odd sum: no correction
}

TEST(Mpeg2QuantInv, RulesSingledOut) {
    // Flat: a lone level 1 at position 0 gives 3 with scale 2 (odd sum).
    Block b{};
    b[0] = 1;
    ASSERT_EQ(opxiQuantInv_MPEG2_16s_C1I(b.data(), 2, nullptr), opxOk);
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[63], 0);
    // Levels 1 at positions 0 and 1, scale 1: 1 and 1, an even sum: F[63] becomes 1.
    b = Block{};
    b[0] = b[1] = 1;
    ASSERT_EQ(opxiQuantInv_MPEG2_16s_C1I(b.data(), 1, nullptr), opxOk);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[1], 1);
    EXPECT_EQ(b[63], 1);
    // Intra: the DC passes through and counts in the mismatch sum; F[63] = -2048 flips to -2047.
    Block w;
    w.fill(16);
    b = Block{};
    b[0] = 100;
    b[63] = -2048;
    ASSERT_EQ(opxiQuantInvIntra_MPEG2_16s_C1I(b.data(), 62, w.data()), opxOk);
    EXPECT_EQ(b[0], 100);
    EXPECT_EQ(b[63], -2047);
}

// ---- forward quantisation
// -------------------------------------------------------------------------

// The float rule, one rounded product at a time.
int float_level(Opx16s c, std::int32_t q, float inv) {
    const float k = 16.0f / static_cast<float>(q);
    const float scaled = static_cast<float>(c) * k;
    const float x = scaled * inv;
    if (std::isnan(x)) return 0;
    if (x >= 2047.0f) return 2047;
    if (x <= -2047.0f) return -2047;
    return static_cast<int>(std::trunc(x));
}

TEST(Mpeg2Quant, ExhaustiveOverCoefficientsAndScalesAgainstTheFloatRule) {
    Rng rng;
    std::array<float, 64> random_inv;
    for (float& f : random_inv) f = 1.0f / static_cast<float>(rng.uniform(1, 255));
    const float* default_inv = opx::mpeg2::kDefaultIntraInverse.v;
    for (int start = -32768; start < 32768; start += 64) {
        Block c;
        for (int i = 0; i < 64; ++i) c[i] = static_cast<Opx16s>(start + i);
        for (std::int32_t q = 1; q <= 112; ++q) {
            for (const float* inv : {default_inv, static_cast<const float*>(random_inv.data())}) {
                for (bool intra : {true, false}) {
                    Block want;
                    int count = 0;
                    for (int i = 0; i < 64; ++i) {
                        want[i] = (intra && i == 0)
                                      ? c[0]
                                      : static_cast<Opx16s>(float_level(c[i], q, inv[i]));
                        count += (!intra || i > 0) && want[i] != 0;
                    }
                    for (const QuantKernels* k : kKernels) {
                        Block got = c;
                        const int n = (intra ? k->quant_intra : k->quant_table)(got.data(), q, inv);
                        ASSERT_EQ(got, want) << "scale " << q << " from " << start;
                        ASSERT_EQ(n, count);
                    }
                }
            }
            // Flat: the fixed-point reciprocal, within one of the true quotient.
            for (const QuantKernels* k : kKernels) {
                Block got = c;
                k->quant_flat(got.data(), q);
                for (int i = 0; i < 64; ++i) {
                    const int exact = std::max(-2047, std::min(2047, c[i] / q));
                    ASSERT_LE(std::abs(got[i] - exact), 1) << c[i] << " / " << q;
                }
                if (k == kKernels[1]) {
                    Block r = c;
                    ref::kQuant.quant_flat(r.data(), q);
                    ASSERT_EQ(got, r);
                }
            }
        }
    }
}

TEST(Mpeg2Quant, RulesSingledOut) {
    for (const QuantKernels* k : kKernels) {
        // A DC-only intra block is unchanged and counts 0.
        Block b{};
        b[0] = 1234;
        EXPECT_EQ(k->quant_intra(b.data(), 5, opx::mpeg2::kDefaultIntraInverse.v), 0);
        EXPECT_EQ(b[0], 1234);
        // Flat: 45 with scale 3 gives 14; negative scales quantise by 1.
        b = Block{};
        b[7] = 45;
        b[9] = -45;
        EXPECT_EQ(k->quant_flat(b.data(), 3), 2);
        EXPECT_EQ(b[7], 14);
        EXPECT_EQ(b[9], -14);
        b = Block{};
        b[0] = 3000;
        b[1] = -5;
        b[2] = -32768;
        EXPECT_EQ(k->quant_flat(b.data(), -7), 3);
        EXPECT_EQ(b[0], 2047);
        EXPECT_EQ(b[1], -5);
        EXPECT_EQ(b[2], -2047);
        // NaN and infinite reciprocals: NaN gives 0, infinities saturate, inf × 0 is NaN.
        std::array<float, 64> inv;
        inv.fill(1.0f);
        inv[1] = std::numeric_limits<float>::quiet_NaN();
        inv[2] = std::numeric_limits<float>::infinity();
        inv[3] = -std::numeric_limits<float>::infinity();
        inv[4] = std::numeric_limits<float>::infinity();
        b = Block{};
        b[1] = 100;
        b[2] = 1;
        b[3] = 1;
        b[4] = 0;
        EXPECT_EQ(k->quant_table(b.data(), 16, inv.data()), 2);
        EXPECT_EQ(b[1], 0);
        EXPECT_EQ(b[2], 2047);
        EXPECT_EQ(b[3], -2047);
        EXPECT_EQ(b[4], 0);
    }
    // The exported functions: null tables, scale 0 refused with nothing written.
    Block b{}, keep;
    b[3] = 300;
    keep = b;
    Opx32s count = -1;
    EXPECT_EQ(opxiQuantIntra_MPEG2_16s_C1I(b.data(), 0, nullptr, &count), opxErrDivByZero);
    EXPECT_EQ(opxiQuant_MPEG2_16s_C1I(b.data(), 0, nullptr, &count), opxErrDivByZero);
    EXPECT_EQ(b, keep);
    EXPECT_EQ(count, -1);
    ASSERT_EQ(opxiQuantIntra_MPEG2_16s_C1I(b.data(), 2, nullptr, &count), opxOk);
    EXPECT_EQ(b[3], static_cast<Opx16s>(float_level(300, 2, 1.0f / 22)));  // W[3] = 22
    EXPECT_EQ(count, 1);
    b = keep;
    ASSERT_EQ(opxiQuant_MPEG2_16s_C1I(b.data(), 3, nullptr, &count), opxOk);
    EXPECT_EQ(b[3], 99);  // (300 × 21845) >> 16, just below 100
}

// ---- AVX2 against portable
// -------------------------------------------------------------------------

// Blocks at every 2-byte offset within 64 bytes, in a buffer with canaries.
template <class F>
void at_every_offset(F&& f) {
    for (int offset = 0; offset < 32; ++offset) {
        Plane<Opx16s> a(64 + 32, 1, 16), b(64 + 32, 1, 16);
        f(a.data() + offset, b.data() + offset, offset);
        ASSERT_TRUE(a.canaries_intact());
        ASSERT_TRUE(b.canaries_intact());
    }
}

void random_block(Rng& rng, Opx16s* b, int style) {
    for (int i = 0; i < 64; ++i) {
        std::int64_t v;
        switch (style % 6) {
            case 0:
                v = rng.uniform(-32768, 32767);
                break;
            case 1:
                v = rng.uniform(-2048, 2047);
                break;
            case 2:
                v = (i & 1) ? 32767 : -32768;
                break;
            case 3:
                v = rng.uniform(0, 3) == 0 ? rng.uniform(-40, 40) : 0;
                break;
            case 4:
                v = -32768;
                break;
            default:
                v = rng.coin() ? 2047 : -2048;
                break;
        }
        b[i] = static_cast<Opx16s>(v);
    }
}

TEST(Mpeg2QuantDifferential, InverseQuantisersOnRandomAndExtremeInputs) {
    Rng rng;
    const std::int32_t scales[] = {0,    1,     2,     31, 112,  113,     4095,
                                   4096, 65535, 65536, -1, -112, INT_MAX, INT_MIN};
    for (int round = 0; round < 12; ++round) {
        at_every_offset([&](Opx16s* x, Opx16s* y, int offset) {
            random_block(rng, x, round + offset);
            std::array<Opx16s, 64> w;
            for (Opx16s& v : w)
                v = static_cast<Opx16s>(round < 4   ? rng.uniform(1, 255)
                                        : round < 8 ? rng.uniform(-32768, 32767)
                                                    : (round & 1 ? 32767 : -32768));
            for (std::int32_t q : scales) {
                for (int kind = 0; kind < 3; ++kind) {
                    random_block(rng, x, round + offset + kind);
                    std::memcpy(y, x, 128);
                    if (kind == 0) {
                        ref::kQuant.inv_intra(x, q, w.data());
                        avx2::kQuant.inv_intra(y, q, w.data());
                    } else if (kind == 1) {
                        ref::kQuant.inv_table(x, q, w.data());
                        avx2::kQuant.inv_table(y, q, w.data());
                    } else {
                        ref::kQuant.inv_flat(x, q);
                        avx2::kQuant.inv_flat(y, q);
                    }
                    ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8))
                        << "kind " << kind << " scale " << q << " offset " << offset;
                }
            }
        });
    }
}

TEST(Mpeg2QuantDifferential, ForwardQuantisersOnRandomAndExtremeInputs) {
    Rng rng;
    const float specials[] = {0.0f,
                              -0.0f,
                              1e-40f,
                              1e30f,
                              -1e30f,
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              0.5f,
                              -1.0f};
    const std::int32_t scales[] = {1, 2, 3, 112, 113, 65536, 65537, -1, -3, INT_MAX, INT_MIN};
    for (int round = 0; round < 8; ++round) {
        std::array<float, 64> inv;
        for (float& f : inv)
            f = round < 4 ? 1.0f / static_cast<float>(rng.uniform(1, 255))
                          : specials[rng.uniform(0, std::size(specials) - 1)];
        at_every_offset([&](Opx16s* x, Opx16s* y, int offset) {
            for (std::int32_t q : scales) {
                for (int kind = 0; kind < 3; ++kind) {
                    random_block(rng, x, round + offset + kind);
                    std::memcpy(y, x, 128);
                    int nx, ny;
                    if (kind == 0) {
                        nx = ref::kQuant.quant_intra(x, q, inv.data());
                        ny = avx2::kQuant.quant_intra(y, q, inv.data());
                    } else if (kind == 1) {
                        nx = ref::kQuant.quant_table(x, q, inv.data());
                        ny = avx2::kQuant.quant_table(y, q, inv.data());
                    } else {
                        nx = ref::kQuant.quant_flat(x, q);
                        ny = avx2::kQuant.quant_flat(y, q);
                    }
                    ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8))
                        << "kind " << kind << " scale " << q << " offset " << offset;
                    ASSERT_EQ(nx, ny);
                }
            }
        });
    }
}

TEST(Mpeg2QuantDifferential, ScansAndZeroCount) {
    Rng rng;
    for (int round = 0; round < 6; ++round) {
        at_every_offset([&](Opx16s* x, Opx16s* y, int offset) {
            Block src;
            random_block(rng, src.data(), 3 + (round & 1) * 3 + offset);
            for (int scan = 0; scan < opx::mpeg2::kNumScans; ++scan) {
                for (int n = 1; n <= 64; ++n) {
                    ref::kQuant.scan_fwd[scan](src.data(), x, n);
                    avx2::kQuant.scan_fwd[scan](src.data(), y, n);
                    ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8)) << "fwd " << scan << " n " << n;
                    ref::kQuant.scan_inv[scan](src.data(), x, n - 1);
                    avx2::kQuant.scan_inv[scan](src.data(), y, n - 1);
                    ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8))
                        << "inv " << scan << " last " << n - 1;
                }
                // In place.
                std::memcpy(x, src.data(), 128);
                std::memcpy(y, src.data(), 128);
                const int n = static_cast<int>(rng.uniform(1, 64));
                ref::kQuant.scan_fwd[scan](x, x, n);
                avx2::kQuant.scan_fwd[scan](y, y, n);
                ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8));
                ref::kQuant.scan_inv[scan](x, x, n - 1);
                avx2::kQuant.scan_inv[scan](y, y, n - 1);
                ASSERT_TRUE(regions_equal(x, 16, y, 16, 8, 8));
            }
            std::memcpy(x, src.data(), 128);
            ASSERT_EQ(ref::kQuant.count_zeros(x), avx2::kQuant.count_zeros(x));
        });
    }
}

// ---- scans
// -------------------------------------------------------------------------------------------

// Forward scan of the ramp 1..64: the scan table itself (plus one).
std::array<int, 64> scan_order(Opx32s scan) {
    Block ramp, out;
    for (int i = 0; i < 64; ++i) ramp[i] = static_cast<Opx16s>(i + 1);
    EXPECT_EQ(opxiScanFwd_16s_C1(ramp.data(), out.data(), 64, scan), opxOk);
    std::array<int, 64> order;
    for (int k = 0; k < 64; ++k) order[k] = out[k] - 1;
    return order;
}

TEST(Mpeg2Scan, PermutationsTransposeAndInverse) {
    const auto zigzag = scan_order(0), vertical = scan_order(1), horizontal = scan_order(2);
    for (const auto& s : {zigzag, vertical, horizontal}) {
        std::array<int, 64> seen{};
        for (int r : s) {
            ASSERT_TRUE(r >= 0 && r < 64);
            ++seen[r];
        }
        for (int n : seen) EXPECT_EQ(n, 1);
        EXPECT_EQ(s[0], 0);
        EXPECT_EQ(s[63], 63);
    }
    for (int k = 0; k < 64; ++k) EXPECT_EQ(horizontal[k], (vertical[k] % 8) * 8 + vertical[k] / 8);
    // The zig-zag walks anti-diagonals: row + column never decreases by more than the step.
    for (int k = 1; k < 64; ++k) {
        const int d0 = zigzag[k - 1] / 8 + zigzag[k - 1] % 8, d1 = zigzag[k] / 8 + zigzag[k] % 8;
        EXPECT_TRUE(d1 == d0 || d1 == d0 + 1) << k;
    }
    // Any scan value other than 1 and 2 is the zig-zag.
    EXPECT_EQ(scan_order(3), zigzag);
    EXPECT_EQ(scan_order(-1), zigzag);
    // Inverse after forward is the identity.
    Rng rng;
    for (Opx32s scan : {0, 1, 2}) {
        Block src, mid, back;
        random_block(rng, src.data(), 0);
        ASSERT_EQ(opxiScanFwd_16s_C1(src.data(), mid.data(), 64, scan), opxOk);
        ASSERT_EQ(opxiScanInv_16s_C1(mid.data(), back.data(), 63, scan), opxOk);
        EXPECT_EQ(back, src);
        // In place, both ways.
        mid = src;
        ASSERT_EQ(opxiScanFwd_16s_C1(mid.data(), mid.data(), 64, scan), opxOk);
        ASSERT_EQ(opxiScanInv_16s_C1(mid.data(), mid.data(), 63, scan), opxOk);
        EXPECT_EQ(mid, src);
    }
}

TEST(Mpeg2Scan, FewNonzeroStopEarlyManyCopyAll) {
    // 30 nonzero values: a count of 19 keeps the first 19 in scan order, 20 copies everything.
    const auto order = scan_order(0);
    Block src{};
    for (int k = 0; k < 60; k += 2) src[order[k]] = static_cast<Opx16s>(k + 1);
    Block out;
    ASSERT_EQ(opxiScanFwd_16s_C1(src.data(), out.data(), 19, 0), opxOk);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(out[k], (k % 2 == 0 && k < 38) ? k + 1 : 0) << k;
    ASSERT_EQ(opxiScanFwd_16s_C1(src.data(), out.data(), 20, 0), opxOk);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(out[k], (k % 2 == 0 && k < 60) ? k + 1 : 0) << k;
    // Count 3 on five nonzero values.
    Block five{};
    for (int k : {0, 4, 9, 20, 50}) five[order[k]] = 7;
    ASSERT_EQ(opxiScanFwd_16s_C1(five.data(), out.data(), 3, 0), opxOk);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(out[k], (k == 0 || k == 4 || k == 9) ? 7 : 0);
    // Inverse with lastIndex 0 writes pDst[0] and zeros.
    Block in;
    in.fill(5);
    out.fill(9);
    ASSERT_EQ(opxiScanInv_16s_C1(in.data(), out.data(), 0, 1), opxOk);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(out[k], k == 0 ? 5 : 0);
}

TEST(Mpeg2Scan, ArgumentErrorsWriteNothing) {
    Block src, dst;
    src.fill(3);
    dst.fill(9);
    const Block keep = dst;
    for (Opx32s n : {0, 65, -1, INT_MIN})
        EXPECT_EQ(opxiScanFwd_16s_C1(src.data(), dst.data(), n, 0), opxErrOutOfRange);
    for (Opx32s n : {-1, 64, INT_MAX})
        EXPECT_EQ(opxiScanInv_16s_C1(src.data(), dst.data(), n, 0), opxErrOutOfRange);
    EXPECT_EQ(opxiScanFwd_16s_C1(nullptr, dst.data(), 0, 0), opxErrNullPtr);
    EXPECT_EQ(dst, keep);
}

TEST(Mpeg2CountZeros, CountsZeros) {
    Block b{};
    Opx32u n = 0;
    ASSERT_EQ(opxiCountZeros8x8_16s_C1(b.data(), &n), opxOk);
    EXPECT_EQ(n, 64u);
    b[0] = 1;
    b[63] = -32768;
    b[31] = 7;
    ASSERT_EQ(opxiCountZeros8x8_16s_C1(b.data(), &n), opxOk);
    EXPECT_EQ(n, 61u);
    b.fill(-1);
    ASSERT_EQ(opxiCountZeros8x8_16s_C1(b.data(), &n), opxOk);
    EXPECT_EQ(n, 0u);
}

// ---- null pointers
// ------------------------------------------------------------------------------------

OPX_NULL_CASE(opxiQuantIntra_MPEG2_16s_C1I) {
    return opxiQuantIntra_MPEG2_16s_C1I(nul(s.s16(0)), 4, nullptr, nul(s.s32(1)));
}
OPX_NULL_CASE(opxiQuant_MPEG2_16s_C1I) {
    return opxiQuant_MPEG2_16s_C1I(nul(s.s16(0)), 4, nullptr, nul(s.s32(1)));
}
OPX_NULL_CALL(opxiQuantInvIntra_MPEG2_16s_C1I, nul(s.s16(0)), 4, nul(s.s16(1)))
OPX_NULL_CALL(opxiQuantInv_MPEG2_16s_C1I, nul(s.s16(0)), 4, nullptr)
OPX_NULL_CALL(opxiScanFwd_16s_C1, nul(s.s16(0)), nul(s.s16(1)), 10, 1)
OPX_NULL_CALL(opxiScanInv_16s_C1, nul(s.s16(0)), nul(s.s16(1)), 10, 2)
OPX_NULL_CALL(opxiCountZeros8x8_16s_C1, nul(s.s16(0)), nul(s.u32(1)))

}  // namespace
}  // namespace opx::test::mpeg2
