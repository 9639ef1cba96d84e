// MPEG-4 and H.263 quantisation: every AVX2 kernel against the portable one, the values the rules
// single out, the mended faults, result codes and their order, and nothing written on error.
#include "mpeg4/quant.hpp"

#include "mpeg4/mpeg4_util.hpp"

namespace opx::test::mpeg4 {
namespace {

using namespace opx::mpeg4;
namespace ref = opx::mpeg4::ref;
namespace avx2 = opx::mpeg4::avx2;

// Random levels: mostly small, some at the 16-bit extremes and the 12-bit range edges.
void random_levels(Rng& rng, Opx16s* c, int span) {
    for (int i = 0; i < 64; ++i) {
        const int kind = static_cast<int>(rng.uniform(0, 9));
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
        const int rows = static_cast<int>(rng.uniform(0, 8)), first = static_cast<int>(rng.uniform(0, 1));
        const bool flag = rng.coin();
        const int bits = static_cast<int>(rng.uniform(4, 12));
        std::int32_t qp = static_cast<std::int32_t>(rng.uniform(1, 31)), ra = 0, rb = 0;
        switch (kernel) {
            case 0: {
                if (iter % 3 == 0) qp = static_cast<std::int32_t>(rng.uniform(1, 511));
                const auto& r = ranges[(iter / 5) % 4];
                const opx::mpeg4::InvUniform p{2 * qp, iter % 7 ? opx::mpeg4::odd_offset(qp) : 0, r[0], r[1]};
                ref::kQuant.inv_uniform(a.data(), rows, flag, p);
                avx2::kQuant.inv_uniform(b.data(), rows, flag, p);
                break;
            }
            case 1: {
                qp = static_cast<std::int32_t>(rng.uniform(1, max_qp(bits)));
                const std::int32_t hi = (1 << (bits + 3)) - 1;
                ra = ref::kQuant.inv_matrix(a.data(), rows, flag, w, qp, -hi - 1, hi);
                rb = avx2::kQuant.inv_matrix(b.data(), rows, flag, w, qp, -hi - 1, hi);
                break;
            }
            case 2: {
                const auto mode = static_cast<opx::mpeg4::FwdMode>(iter % 3);
                const std::int32_t limit = flag ? 127 : 32767;
                ra = ref::kQuant.fwd_uniform(a.data(), first, mode, qp, limit);
                rb = avx2::kQuant.fwd_uniform(b.data(), first, mode, qp, limit);
                break;
            }
            case 3: {
                std::uint16_t hw[64];
                for (int i = 0; i < 64; ++i) hw[i] = static_cast<std::uint16_t>(w[i] / 2);
                ra = ref::kQuant.fwd_matrix(a.data(), flag, flag, hw, rw, qp);
                rb = avx2::kQuant.fwd_matrix(b.data(), flag, flag, hw, rw, qp);
                break;
            }
            default: {
                qp = static_cast<std::int32_t>(rng.uniform(1, 511));
                const opx::mpeg4::FwdFloat forms[] = {
                    {qp / 2, static_cast<float>(0.5000001 / qp), 0, fw},
                    {0, static_cast<float>(0.5000001 / qp), 0, fw},
                    {0, static_cast<float>(8.00001 / qp), 0, fw},
                    {0, 8.0f / static_cast<float>(qp), 0.501f, fw}};
                ra = ref::kQuant.fwd_float(a.data(), first, forms[(iter / 5) % 4]);
                rb = avx2::kQuant.fwd_float(b.data(), first, forms[(iter / 5) % 4]);
            }
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

TEST(Mpeg4QuantRules, H263ForwardEdgeValues) {
    Opx16s c[64] = {};
    Opx32s n = 0;
    c[1] = 4; c[2] = 25; c[3] = -25;
    ASSERT_EQ(opxiQuantInter_H263_16s_C1I(c, 10, &n, 0), opxOk);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 1);
    EXPECT_EQ(c[3], -1);
    EXPECT_EQ(n, 2);
    Opx16s d[64] = {-3};
    ASSERT_EQ(opxiQuantInter_H263_16s_C1I(d, 1, &n, 0), opxOk);
    EXPECT_EQ(d[0], -1);  // truncation
    for (int mq = 0; mq < 2; ++mq) {
        Opx16s e[64] = {2047};
        ASSERT_EQ(opxiQuantInter_H263_16s_C1I(e, 4, &n, mq), opxOk);
        EXPECT_EQ(e[0], mq ? 255 : 127);
    }
}

TEST(Mpeg4QuantRules, H263IntraDcLevelStaysInOneTo254) {
    // 2036 → 255 and 3 → 0 are not INTRADC codes; far-out DCT values clamp as well.
    const std::pair<Opx16s, Opx16s> cases[] = {{2036, 254}, {3, 1}, {-500, 1}, {4000, 254}, {800, 100}};
    for (auto [in, want] : cases) {
        Opx16s c[64] = {in};
        Opx32s n = 0;
        ASSERT_EQ(opxiQuantIntra_H263_16s_C1I(c, 5, &n, 0, 0), opxOk);
        EXPECT_EQ(c[0], want) << in;
        EXPECT_EQ(n, 1);  // the DC counts whatever its value
    }
}

TEST(Mpeg4QuantRules, Mpeg4IntraDcScaler) {
    RecordMemory m(412, 3);
    auto* s = init_fwd<OpxQuantIntraStateMPEG4>(m, nullptr, 8, true);
    Opx16s c[64] = {100};
    Opx32s n = 0;
    ASSERT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, s, 10, &n, 0), opxOk);
    EXPECT_EQ(c[0], 6);  // d = 18: ⌊109 / 18⌋
    EXPECT_EQ(n, 1);
    Opx16s d[64] = {-100};
    ASSERT_EQ(opxiQuantIntra_MPEG4_16s_C1I(d, s, 10, &n, 1), opxOk);
    EXPECT_EQ(d[0], -9);  // d = 11: ⌊105 / 11⌋
    Opx16s e[64] = {8};
    ASSERT_EQ(opxiQuantIntra_MPEG4_16s_C1I(e, s, 10, &n, 0), opxOk);
    EXPECT_EQ(e[0], 0);  // below ⌈18/2⌉
    EXPECT_EQ(n, 0);
}

TEST(Mpeg4QuantRules, H263InverseValues) {
    Opx16s c[64] = {1, -2, 0};
    ASSERT_EQ(opxiQuantInvInter_H263_16s_C1I(c, 2, 4, 0), opxOk);
    EXPECT_EQ(c[0], 11);
    EXPECT_EQ(c[1], -19);
    EXPECT_EQ(c[2], 0);
    Opx16s d[64] = {100, 3};
    ASSERT_EQ(opxiQuantInvIntra_H263_16s_C1I(d, 1, 4, 0, 0), opxOk);
    EXPECT_EQ(d[0], 800);
    EXPECT_EQ(d[1], 27);
    Opx16s e[64] = {10, -3};
    ASSERT_EQ(opxiQuantInvIntra_H263_16s_C1I(e, 1, 4, 1, 0), opxOk);
    EXPECT_EQ(e[0], 80);
    EXPECT_EQ(e[1], -24);
}

TEST(Mpeg4QuantRules, H263InverseDoesNotWrapItsProduct) {
    for (int isa : {1, 2}) {
        if (isa == 2 && !have_avx2()) continue;
        IsaScope scope(static_cast<opx::cpu::Isa>(isa));
        Opx16s c[64] = {2047, -2047};
        ASSERT_EQ(opxiQuantInvInter_H263_16s_C1I(c, 1, 31, 0), opxOk);
        EXPECT_EQ(c[0], 2047);  // 126 945 clamped, not −2048
        EXPECT_EQ(c[1], -2048);
        Opx16s d[64] = {2047, -2047};
        ASSERT_EQ(opxiQuantInvInter_H263_16s_C1I(d, 1, 31, 1), opxOk);
        EXPECT_EQ(d[0], 32767);  // saturated to 16 bits
        EXPECT_EQ(d[1], -32768);
        Opx16s e[64] = {0, 2047};
        ASSERT_EQ(opxiQuantInvIntra_H263_16s_C1I(e, 1, 31, 1, 0), opxOk);
        EXPECT_EQ(e[1], 32767);
    }
}

TEST(Mpeg4QuantRules, InverseLastIndexAbove63WritesOnlyTheBlock) {
    Block b;
    for (int i = 0; i < 64; ++i) b[i] = 1;
    ASSERT_EQ(opxiQuantInvInter_H263_16s_C1I(b.data(), 1000, 3, 0), opxOk);
    EXPECT_TRUE(b.canaries_intact());
    EXPECT_EQ(b[63], 9);
    RecordMemory m(156, 5);
    auto* s = m.as<OpxQuantInvIntraStateMPEG4>();
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = 16;
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(w, s, 8), opxOk);
    Block c;
    for (int i = 0; i < 64; ++i) c[i] = 1;
    ASSERT_EQ(opxiQuantInvIntra_MPEG4_16s_C1I(c.data(), 0x7FFFFFFF, s, 2, 0), opxOk);
    EXPECT_TRUE(c.canaries_intact());
    EXPECT_EQ(c[62], 4);  // 1·16·2/8
}

TEST(Mpeg4QuantRules, Mpeg4NegativeLastIndexProcessesNoAcRow) {
    RecordMemory mi(156, 0), mp(156, 7);
    auto* si = mi.as<OpxQuantInvIntraStateMPEG4>();
    auto* sp = mp.as<OpxQuantInvInterStateMPEG4>();
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(nullptr, si, 8), opxOk);
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(nullptr, sp, 8), opxOk);
    Block b;
    for (int i = 0; i < 64; ++i) b[i] = 2;
    Block want = b;
    want[0] = 16;  // d(3) = 8
    ASSERT_EQ(opxiQuantInvIntra_MPEG4_16s_C1I(b.data(), -5, si, 3, 0), opxOk);
    EXPECT_TRUE(b == want);
    Block c;
    for (int i = 0; i < 64; ++i) c[i] = 2;
    Block unchanged = c;
    ASSERT_EQ(opxiQuantInvInter_MPEG4_16s_C1I(c.data(), -1, sp, 3), opxOk);
    EXPECT_TRUE(c == unchanged);
}

TEST(Mpeg4QuantRules, MatrixInverseAndMismatchControl) {
    RecordMemory m(156, 9);
    auto* s = m.as<OpxQuantInvInterStateMPEG4>();
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = 16;
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(w, s, 8), opxOk);
    Opx16s c[64] = {1};
    ASSERT_EQ(opxiQuantInvInter_MPEG4_16s_C1I(c, 0, s, 2), opxOk);
    EXPECT_EQ(c[0], 6);
    EXPECT_EQ(c[63], 1);  // even sum
    Opx16s d[64] = {-1};
    d[63] = 0;
    ASSERT_EQ(opxiQuantInvInter_MPEG4_16s_C1I(d, 63, s, 2), opxOk);
    EXPECT_EQ(d[0], -6);
    EXPECT_EQ(d[63], 1);
    RecordMemory mi(156, 1);
    auto* si = mi.as<OpxQuantInvIntraStateMPEG4>();
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(w, si, 8), opxOk);
    Opx16s e[64] = {3};
    for (int i = 1; i < 63; ++i) e[i] = 7;
    ASSERT_EQ(opxiQuantInvIntra_MPEG4_16s_C1I(e, 0, si, 2, 0), opxOk);
    EXPECT_EQ(e[0], 24);
    EXPECT_EQ(e[63], 1);
    for (int i = 1; i < 63; ++i) ASSERT_EQ(e[i], 7);
}

TEST(Mpeg4QuantRules, ResultCodesAndTheirOrder) {
    RecordMemory mf(412, 0), mi(156, 0);
    auto* fwd = mf.as<OpxQuantIntraStateMPEG4>();
    auto* inv = mi.as<OpxQuantInvInterStateMPEG4>();
    ASSERT_EQ(opxiQuantIntraInit_MPEG4(nullptr, fwd, 8), opxOk);
    ASSERT_EQ(opxiQuantInvInterInit_MPEG4(nullptr, inv, 8), opxOk);
    Opx16s c[64] = {};
    Opx32s n = 0;
    // A record of another kind, then the QP range (which depends on the record's b).
    EXPECT_EQ(opxiQuantInter_MPEG4_16s_C1I(c, reinterpret_cast<OpxQuantInterStateMPEG4*>(fwd), 0, &n),
              opxErrContextMatch);
    EXPECT_EQ(opxiQuantInvIntra_MPEG4_16s_C1I(c, 0, reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(inv), 3, 0),
              opxErrContextMatch);
    EXPECT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, fwd, 32, &n, 0), opxErrQp);
    EXPECT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, fwd, 0, &n, 0), opxErrQp);
    // Forward and inverse records of any kind in exact-size heap blocks: only the identifier is
    // read before the refusal.
    std::vector<unsigned char> small(156);
    ASSERT_EQ(opxiQuantInvIntraInit_MPEG4(nullptr, reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(small.data()), 8), opxOk);
    EXPECT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, reinterpret_cast<OpxQuantIntraStateMPEG4*>(small.data()), 3, &n, 0),
              opxErrContextMatch);
    EXPECT_EQ(opxiQuantInvInter_MPEG4_16s_C1I(c, 0, reinterpret_cast<OpxQuantInvInterStateMPEG4*>(fwd), 3),
              opxErrContextMatch);
    ASSERT_EQ(opxiQuantIntraInit_MPEG4(nullptr, fwd, 9), opxOk);
    EXPECT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, fwd, 32, &n, 0), opxOk);
    EXPECT_EQ(opxiQuantIntra_MPEG4_16s_C1I(c, fwd, 64, &n, 0), opxErrQp);
    EXPECT_EQ(opxiQuantInvInter_H263_16s_C1I(c, -1, 0, 0), opxErrQp);
    EXPECT_EQ(opxiQuantInvInter_H263_16s_C1I(c, -1, 5, 0), opxErrOutOfRange);
    EXPECT_EQ(opxiQuantInvIntra_H263_16s_C1I(c, -1, 32, 0, 0), opxErrQp);
    EXPECT_EQ(opxiQuantInter_H263_16s_C1I(c, 32, &n, 0), opxErrQp);
    // Forward H.263 quantisers refuse a null count (it would be written).
    EXPECT_EQ(opxiQuantInter_H263_16s_C1I(c, 5, nullptr, 0), opxErrNullPtr);
    EXPECT_EQ(opxiQuantIntra_H263_16s_C1I(c, 5, nullptr, 0, 0), opxErrNullPtr);
}

TEST(Mpeg4QuantRules, InitValidatesBeforeWriting) {
    Opx8u w[64];
    for (int i = 0; i < 64; ++i) w[i] = static_cast<Opx8u>(i == 40 ? 0 : 20);
    RecordMemory mf(412, 0), mi(156, 0);
    std::vector<unsigned char> before(mf.as<unsigned char>(), mf.as<unsigned char>() + 412);
    EXPECT_EQ(opxiQuantIntraInit_MPEG4(w, mf.as<OpxQuantIntraStateMPEG4>(), 8), opxErrQp);
    EXPECT_EQ(opxiQuantInterInit_MPEG4(nullptr, mf.as<OpxQuantInterStateMPEG4>(), 13), opxErrOutOfRange);
    EXPECT_EQ(opxiQuantInterInit_MPEG4(nullptr, mf.as<OpxQuantInterStateMPEG4>(), 3), opxErrOutOfRange);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), mf.as<unsigned char>()));
    EXPECT_EQ(opxiQuantInvInterInit_MPEG4(w, mi.as<OpxQuantInvInterStateMPEG4>(), 8), opxErrQp);
    EXPECT_EQ(opxiQuantInvInterInit_MPEG4(nullptr, mi.as<OpxQuantInvInterStateMPEG4>(), 13), opxErrOutOfRange);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 156, mi.as<unsigned char>()));
    // The inverse record with a zero weight is refused, so using it is refused too.
    Opx16s c[64] = {};
    EXPECT_EQ(opxiQuantInvInter_MPEG4_16s_C1I(c, 0, mi.as<OpxQuantInvInterStateMPEG4>(), 3), opxErrContextMatch);
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
OPX_NULL_CALL(opxiQuantIntra_MPEG4_16s_C1I, nul(s.s16(0)), nul(reinterpret_cast<OpxQuantIntraStateMPEG4*>(s.u8(1))), 4, nul(s.s32(2)), 0)
OPX_NULL_CALL(opxiQuantInter_MPEG4_16s_C1I, nul(s.s16(0)), nul(reinterpret_cast<OpxQuantInterStateMPEG4*>(s.u8(1))), 4, nul(s.s32(2)))
OPX_NULL_CALL(opxiQuantInvIntra_MPEG4_16s_C1I, nul(s.s16(0)), 63, nul(reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(s.u8(1))), 4, 0)
OPX_NULL_CALL(opxiQuantInvInter_MPEG4_16s_C1I, nul(s.s16(0)), 63, nul(reinterpret_cast<OpxQuantInvInterStateMPEG4*>(s.u8(1))), 4)
OPX_NULL_CALL(opxiQuantIntra_H263_16s_C1I, nul(s.s16(0)), 4, nul(s.s32(1)), 0, 0)
OPX_NULL_CALL(opxiQuantInter_H263_16s_C1I, nul(s.s16(0)), 4, nul(s.s32(1)), 0)
OPX_NULL_CALL(opxiQuantInvIntra_H263_16s_C1I, nul(s.s16(0)), 63, 4, 0, 0)
OPX_NULL_CALL(opxiQuantInvInter_H263_16s_C1I, nul(s.s16(0)), 63, 4, 0)

}  // namespace
}  // namespace opx::test::mpeg4
