// MPEG-4 and H.263 quantisation: every AVX2 kernel against the portable one, the values the rules
// single out, the mended faults, result codes and their order, and nothing written on error.
#include "mpeg4/quant.hpp"

#include <functional>

#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

using namespace opx::mpeg4;
namespace ref = opx::mpeg4::ref;
namespace avx2 = opx::mpeg4::avx2;

// Random levels: mostly small, some at the 16-bit extremes and the 12-bit range edges.
void random_levels(Rng& rng, Opx16s* c, int span) {
    for (int i = 0; i < 64; ++i) {
        const int kind = rng.uniform_int(0, 9);
        std::int64_t v = kind < 5 ? rng.uniform(-span, span) : kind < 7 ? 0
                         : kind < 8 ? rng.uniform(-32768, 32767)
                                    : (rng.coin() ? 1 : -1) * (2047 + rng.uniform(-2, 2));
        if (kind == 9 && rng.coin()) v = rng.coin() ? -32768 : 32767;
        c[i] = static_cast<Opx16s>(v);
    }
}

void random_weights(Rng& rng, std::uint16_t* w) {
    for (int i = 0; i < 64; ++i)
        w[i] = static_cast<std::uint16_t>(i % 7 == 0 ? (rng.coin() ? 1 : 255) : rng.uniform(1, 255));
}

// Every kernel of the table on random levels (small, 16-bit extremes, 12-bit range edges), random
// weights, every row count, rounding mode, limit and bit depth; canaries around the block.
TEST(Mpeg4QuantDifferential, EveryKernelOnRandomAndExtremeBlocks) {
    if (!have_avx2()) GTEST_SKIP();
    Rng rng;
    const std::int32_t ranges[][2] = {{-2048, 2047}, {-32768, 32767}, {-128, 127}, {-32768, 32767}};
    for (int iter = 0; iter < 15000; ++iter) {
        const int kernel = iter % 5;
        Block a, b;
        random_levels(rng, a.data(), (iter / 5) % 2 ? 40 : 4000);
        b = a;
        std::uint16_t w[64], rw[64];
        random_weights(rng, w);
        for (int i = 0; i < 64; ++i) rw[i] = static_cast<std::uint16_t>(w[i] == 1 ? 65535 : 65536 / w[i] + 1);
        float fw[64];
        for (int i = 0; i < 64; ++i) fw[i] = iter % 4 == 0 ? 1.0f : static_cast<float>(1.0 / w[i]);
        const int rows = rng.uniform_int(0, 8), first = rng.uniform_int(0, 1);
        const bool flag = rng.coin();
        const int bits = rng.uniform_int(4, 12);
        std::int32_t qp = rng.uniform_int(1, 31), ra = 0, rb = 0;
        if (kernel == 0) {
            if (iter % 3 == 0) qp = rng.uniform_int(1, 511);
            const auto& r = ranges[(iter / 5) % 4];
            const opx::mpeg4::InvUniform p{2 * qp, iter % 7 ? opx::mpeg4::odd_offset(qp) : 0, r[0],
                                           r[1]};
            ref::kQuant.inv_uniform(a.data(), rows, flag, p);
            avx2::kQuant.inv_uniform(b.data(), rows, flag, p);
        } else if (kernel == 1) {
            qp = rng.uniform_int(1, max_qp(bits));
            const std::int32_t hi = (1 << (bits + 3)) - 1;
            ra = ref::kQuant.inv_matrix(a.data(), rows, flag, w, qp, -hi - 1, hi);
            rb = avx2::kQuant.inv_matrix(b.data(), rows, flag, w, qp, -hi - 1, hi);
        } else if (kernel == 2) {
            const auto mode = static_cast<opx::mpeg4::FwdMode>(iter % 3);
            const std::int32_t limit = flag ? 127 : 32767;
            ra = ref::kQuant.fwd_uniform(a.data(), first, mode, qp, limit);
            rb = avx2::kQuant.fwd_uniform(b.data(), first, mode, qp, limit);
        } else if (kernel == 3) {
            std::uint16_t hw[64];
            for (int i = 0; i < 64; ++i) hw[i] = static_cast<std::uint16_t>(w[i] / 2);
            ra = ref::kQuant.fwd_matrix(a.data(), flag, flag, hw, rw, qp);
            rb = avx2::kQuant.fwd_matrix(b.data(), flag, flag, hw, rw, qp);
        } else {
            qp = rng.uniform_int(1, 511);
            const opx::mpeg4::FwdFloat forms[] = {
                {qp / 2, static_cast<float>(0.5000001 / qp), 0, fw},
                {0, static_cast<float>(0.5000001 / qp), 0, fw},
                {0, static_cast<float>(8.00001 / qp), 0, fw},
                {0, 8.0f / static_cast<float>(qp), 0.501f, fw}};
            ra = ref::kQuant.fwd_float(a.data(), first, forms[(iter / 5) % 4]);
            rb = avx2::kQuant.fwd_float(b.data(), first, forms[(iter / 5) % 4]);
        }
        ASSERT_TRUE(a == b) << "kernel " << kernel << " qp " << qp << " rows " << rows << " bits " << bits;
        ASSERT_EQ(ra, rb) << "kernel " << kernel;
    }
}

// ---- exported functions: the values the rules single out ---------------------------------------

template <class S>
S* init_fwd(RecordMemory& m, const Opx8u* matrix, int bits, bool intra) {
    S* s = m.as<S>();
    const OpxResult r = intra ? opxiQuantIntraInit_MPEG4(matrix, reinterpret_cast<OpxQuantIntraStateMPEG4*>(s), bits)
                              : opxiQuantInterInit_MPEG4(matrix, reinterpret_cast<OpxQuantInterStateMPEG4*>(s), bits);
    EXPECT_EQ(r, opxOk);
    return s;
}

TEST(Mpeg4QuantRules, GetSizeValuesAndAnyAddress) {
    Opx32s s = 0;
    EXPECT_EQ(opxiQuantIntraGetSize_MPEG4(&s), opxOk);
    EXPECT_EQ(s, 412);
    EXPECT_EQ(opxiQuantInterGetSize_MPEG4(&s), opxOk);
    EXPECT_EQ(s, 412);
    EXPECT_EQ(opxiQuantInvIntraGetSize_MPEG4(&s), opxOk);
    EXPECT_EQ(s, 156);
    EXPECT_EQ(opxiQuantInvInterGetSize_MPEG4(&s), opxOk);
    EXPECT_EQ(s, 156);
    for (int mis = 0; mis < 16; ++mis) {
        // Only the GetSize bytes may be written: the area after them keeps its filler.
        std::vector<unsigned char> mem(412 + 64, 0xC3);
        auto* st = reinterpret_cast<OpxQuantInterStateMPEG4*>(mem.data() + mis);
        Opx8u w[64];
        for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(i + 1);
        ASSERT_EQ(opxiQuantInterInit_MPEG4(w, st, 10), opxOk);
        for (std::size_t i = 412 + mis; i < mem.size(); ++i) ASSERT_EQ(mem[i], 0xC3);
        for (int i = 0; i < mis; ++i) ASSERT_EQ(mem[i], 0xC3);
        Opx16s c[64] = {100};
        Opx32s n = -1;
        EXPECT_EQ(opxiQuantInter_MPEG4_16s_C1I(c, st, 5, &n), opxOk);
    }
}

// Hand-computed values through the exported functions: (index, value) pairs in, the named
// coefficients (and the count of the forward quantisers) out.
TEST(Mpeg4QuantRules, ValuesTheRulesSingleOut) {
    RecordMemory mf(412, 3), mi(156, 9), mii(156, 1), mdi(156, 0), mdp(156, 7);
    auto* fwd = init_fwd<OpxQuantIntraStateMPEG4>(mf, nullptr, 8, true);
    Opx8u w16[64];
    std::fill(w16, w16 + 64, Opx8u{16});
    auto* inv = mi.as<OpxQuantInvInterStateMPEG4>();
    auto* inv_intra = mii.as<OpxQuantInvIntraStateMPEG4>();
    auto* default_intra = mdi.as<OpxQuantInvIntraStateMPEG4>();  // the default matrices
    auto* default_inter = mdp.as<OpxQuantInvInterStateMPEG4>();
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(w16, inv, 8), opxOk);
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(w16, inv_intra, 8), opxOk);
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(nullptr, default_intra, 8), opxOk);
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(nullptr, default_inter, 8), opxOk);
    using Call = std::function<OpxResult(Opx16s*, Opx32s*)>;
    const auto h263_inter = [](int qp, int mq) -> Call { return [=](Opx16s* c, Opx32s* n) { return opxiQuantInter_H263_16s_C1I(c, qp, n, mq); }; };
    const auto h263_intra_dc = [](Opx16s* c, Opx32s* n) { return opxiQuantIntra_H263_16s_C1I(c, 5, n, 0, 0); };
    const auto mpeg4_intra = [&](int chroma) -> Call { return [=](Opx16s* c, Opx32s* n) { return opxiQuantIntra_MPEG4_16s_C1I(c, fwd, 10, n, chroma); }; };
    const auto h263_inv_inter = [](int qp, int mq) -> Call { return [=](Opx16s* c, Opx32s*) { return opxiQuantInvInter_H263_16s_C1I(c, 2, qp, mq); }; };
    const auto h263_inv_intra = [](int qp, int aic) -> Call { return [=](Opx16s* c, Opx32s*) { return opxiQuantInvIntra_H263_16s_C1I(c, 1, qp, aic, 0); }; };
    struct Case {
        const char* rule;
        std::vector<std::pair<int, int>> in;
        Call call;
        std::vector<std::pair<int, int>> out;
        int count;  // -1: no count
    };
    std::vector<std::pair<int, int>> sevens = {{0, 3}}, sevens_out = {{0, 24}, {63, 1}};
    for (int i = 1; i < 63; ++i) sevens.push_back({i, 7}), sevens_out.push_back({i, 7});
    // Every coefficient 1 or 2: a last index above 63 processes the block and no more; a
    // negative one no AC row (the intra DC by its scaler d(3) = 8 alone).
    std::vector<std::pair<int, int>> ones, twos, twos_dc = {{0, 16}};
    for (int i = 0; i < 64; ++i) ones.push_back({i, 1}), twos.push_back({i, 2});
    for (int i = 1; i < 64; ++i) twos_dc.push_back({i, 2});
    const Case cases[] = {
        {"H.263 forward, dead zone", {{1, 4}, {2, 25}, {3, -25}}, h263_inter(10, 0), {{1, 0}, {2, 1}, {3, -1}}, 2},
        {"H.263 forward truncates", {{0, -3}}, h263_inter(1, 0), {{0, -1}}, 1},
        {"H.263 forward limit 127", {{0, 2047}}, h263_inter(4, 0), {{0, 127}}, 1},
        {"H.263 modified quantisation limit 255", {{0, 2047}}, h263_inter(4, 1), {{0, 255}}, 1},
        // INTRADC stays in 1..254 (255 and 0 are not INTRADC codes); the DC counts whatever it is.
        {"INTRADC 2036", {{0, 2036}}, h263_intra_dc, {{0, 254}}, 1},
        {"INTRADC 3", {{0, 3}}, h263_intra_dc, {{0, 1}}, 1},
        {"INTRADC -500", {{0, -500}}, h263_intra_dc, {{0, 1}}, 1},
        {"INTRADC 4000", {{0, 4000}}, h263_intra_dc, {{0, 254}}, 1},
        {"INTRADC 800", {{0, 800}}, h263_intra_dc, {{0, 100}}, 1},
        {"MPEG-4 luma DC scaler 18: (100 + 9) / 18", {{0, 100}}, mpeg4_intra(0), {{0, 6}}, 1},
        {"MPEG-4 chroma DC scaler 11: -(100 + 5) / 11", {{0, -100}}, mpeg4_intra(1), {{0, -9}}, 1},
        {"MPEG-4 DC below half the scaler", {{0, 8}}, mpeg4_intra(0), {{0, 0}}, 0},
        {"H.263 inverse inter", {{0, 1}, {1, -2}}, h263_inv_inter(4, 0), {{0, 11}, {1, -19}, {2, 0}}, -1},
        {"H.263 inverse intra", {{0, 100}, {1, 3}}, h263_inv_intra(4, 0), {{0, 800}, {1, 27}}, -1},
        {"H.263 inverse intra, advanced intra coding", {{0, 10}, {1, -3}}, h263_inv_intra(4, 1), {{0, 80}, {1, -24}}, -1},
        // The product 2047 · 62 + 31 = 126 945 is clamped, not wrapped to 16 bits.
        {"H.263 inverse, no wrap", {{0, 2047}, {1, -2047}}, h263_inv_inter(31, 0), {{0, 2047}, {1, -2048}}, -1},
        {"H.263 inverse, modified quantisation: 16 bits", {{0, 2047}, {1, -2047}}, h263_inv_inter(31, 1), {{0, 32767}, {1, -32768}}, -1},
        {"H.263 inverse intra, no wrap", {{1, 2047}}, h263_inv_intra(31, 1), {{1, 32767}}, -1},
        {"MPEG-4 matrix inverse, even sum flips F[63]", {{0, 1}}, [&](Opx16s* c, Opx32s*) { return opxiQuantInvInter_MPEG4_16s_C1I(c, 0, inv, 2); }, {{0, 6}, {63, 1}}, -1},
        {"MPEG-4 matrix inverse, last index 63", {{0, -1}}, [&](Opx16s* c, Opx32s*) { return opxiQuantInvInter_MPEG4_16s_C1I(c, 63, inv, 2); }, {{0, -6}, {63, 1}}, -1},
        {"MPEG-4 intra inverse, DC by the scaler, AC rows past the last index kept", sevens, [&](Opx16s* c, Opx32s*) { return opxiQuantInvIntra_MPEG4_16s_C1I(c, 0, inv_intra, 2, 0); }, sevens_out, -1},
        {"H.263 inverse, last index above 63", ones, [](Opx16s* c, Opx32s*) { return opxiQuantInvInter_H263_16s_C1I(c, 1000, 3, 0); }, {{63, 9}}, -1},
        {"MPEG-4 intra inverse, last index above 63", ones, [&](Opx16s* c, Opx32s*) { return opxiQuantInvIntra_MPEG4_16s_C1I(c, 0x7FFFFFFF, inv_intra, 2, 0); }, {{62, 4}}, -1},
        {"MPEG-4 intra inverse, negative last index", twos, [&](Opx16s* c, Opx32s*) { return opxiQuantInvIntra_MPEG4_16s_C1I(c, -5, default_intra, 3, 0); }, twos_dc, -1},
        {"MPEG-4 inter inverse, negative last index", twos, [&](Opx16s* c, Opx32s*) { return opxiQuantInvInter_MPEG4_16s_C1I(c, -1, default_inter, 3); }, twos, -1},
    };
    for (const Case& k : cases) {
        Block c;
        for (int i = 0; i < 64; ++i) c[i] = 0;
        for (auto [i, v] : k.in) c[i] = static_cast<Opx16s>(v);
        Opx32s n = -7;
        ASSERT_EQ(k.call(c.data(), &n), opxOk) << k.rule;
        for (auto [i, v] : k.out) EXPECT_EQ(c[i], v) << k.rule << ", coefficient " << i;
        EXPECT_TRUE(c.canaries_intact()) << k.rule;
        if (k.count >= 0) {
            EXPECT_EQ(n, k.count) << k.rule;
        }
    }
}

// ---- null pointers -----------------------------------------------------------------------------

OPX_NULL_CALL(opxiQuantIntraGetSize_MPEG4, nul(s.s32(0)))
OPX_NULL_CALL(opxiQuantInterGetSize_MPEG4, nul(s.s32(0)))
OPX_NULL_CALL(opxiQuantInvIntraGetSize_MPEG4, nul(s.s32(0)))
OPX_NULL_CALL(opxiQuantInvInterGetSize_MPEG4, nul(s.s32(0)))
// (pMatrix may be null: no matrix)
OPX_NULL_CALL(opxiQuantIntraInit_MPEG4, s.u8(1), nul(reinterpret_cast<OpxQuantIntraStateMPEG4*>(s.u8(0))), 8)
OPX_NULL_CALL(opxiQuantInterInit_MPEG4, s.u8(1), nul(reinterpret_cast<OpxQuantInterStateMPEG4*>(s.u8(0))), 8)
OPX_NULL_CALL(opxiQuantInvIntraInit_MPEG4, s.u8(1), nul(reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(s.u8(0))), 8)
OPX_NULL_CALL(opxiQuantInvInterInit_MPEG4, s.u8(1), nul(reinterpret_cast<OpxQuantInvInterStateMPEG4*>(s.u8(0))), 8)
OPX_NULL_AUTO(opxiQuantIntra_MPEG4_16s_C1I, 4, 0)
OPX_NULL_AUTO(opxiQuantInter_MPEG4_16s_C1I, 4)
OPX_NULL_AUTO(opxiQuantInvIntra_MPEG4_16s_C1I, 63, 4, 0)
OPX_NULL_AUTO(opxiQuantInvInter_MPEG4_16s_C1I, 63, 4)
OPX_NULL_AUTO(opxiQuantIntra_H263_16s_C1I, 4, 0, 0)
OPX_NULL_AUTO(opxiQuantInter_H263_16s_C1I, 4, 0)
OPX_NULL_AUTO(opxiQuantInvIntra_H263_16s_C1I, 63, 4, 0, 0)
OPX_NULL_AUTO(opxiQuantInvInter_H263_16s_C1I, 63, 4, 0)

}  // namespace
}  // namespace opx::test::mpeg4
