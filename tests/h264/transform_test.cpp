// Differential tests of the H.264 inverse transform kernels: every AVX2 kernel against the
// portable one on the same inputs (random, worst-case and realistic coefficients, every qp,
// misaligned and in-place sample blocks, canaries around every output).
#include "h264/decode/transform.hpp"

#include <array>
#include <cstring>

#include "h264/transform_inputs.hpp"

namespace opx::test::h264 {
namespace {

using namespace opx::h264;

constexpr int kRounds = 24;  // random blocks per shape and parameter set

// A coefficient block with a canary margin on both sides.
template <class T, int N>
struct Coeffs {
    static constexpr int kMargin = 16;
    alignas(64) T storage[N + 2 * kMargin];
    int offset = 0;  // misalignment in elements
    explicit Coeffs(int misalign = 0) : offset(misalign) {
        std::memset(storage, 0xA5, sizeof(storage));
    }
    T* data() { return storage + kMargin + offset; }
    const T* data() const { return storage + kMargin + offset; }
    T& operator[](int i) { return data()[i]; }
    void set(const i64* v) {
        for (int i = 0; i < N; ++i) data()[i] = static_cast<T>(v[i]);
    }
    bool canaries_intact() const {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(storage);
        const std::size_t lo = (kMargin + offset) * sizeof(T), hi = lo + N * sizeof(T);
        for (std::size_t i = 0; i < sizeof(storage); ++i)
            if ((i < lo || i >= hi) && b[i] != 0xA5) return false;
        return true;
    }
};

template <class T, int N>
testing::AssertionResult same(const Coeffs<T, N>& a, const Coeffs<T, N>& b) {
    if (!a.canaries_intact() || !b.canaries_intact())
        return testing::AssertionFailure() << "write outside the block";
    return regions_equal(a.data(), 0, b.data(), 0, N, 1);
}

// Runs `call(kernels, block)` through the portable and the AVX2 table, each on its own copy of
// `v` (misaligned by `ma` and `mb` elements), and compares the blocks and their canaries.
template <class C, int N, class Call>
testing::AssertionResult diff(const i64* v, Call call, int ma = 0, int mb = 0) {
    Coeffs<C, N> a(ma), b(mb);
    a.set(v);
    b.set(v);
    call(ref::kTransform, a.data());
    call(avx2::kTransform, b.data());
    return same(a, b);
}

// Coefficients for a 16-bit block: one of the shapes, or realistic levels at qp.
void make16(Rng& rng, Shape s, int side, int n, i64* v) {
    fill_shape(rng, s, side, n, -32768, 32767, v);
}
void make32(Rng& rng, Shape s, int side, int n, i64* v) {
    // Beyond 16 bits: high-bit-depth levels reach 2^21; full-range values overflow 32 bits.
    if (s == Shape::kRandomSmall) {
        for (int i = 0; i < n; ++i) v[i] = rng.uniform(-(1 << 21), (1 << 21) - 1);
    } else {
        fill_shape(rng, s, side, n, INT32_MIN, INT32_MAX, v);
    }
}

// ---- 4x4 with prediction ------------------------------------------------------------------

template <class P>
struct PredDst {
    Plane<P> pred, a, b;
    PredDst(int n, int misalign, Rng& rng, int max_sample)
        : pred(n, n, 8, misalign, 3 * sizeof(P)),
          a(n, n, 8, misalign + sizeof(P)),
          b(n, n, 8, misalign + sizeof(P)) {
        pred.fill(Pattern::kRandom, rng, 0, max_sample);
    }
};

// The 4x4 add-prediction kernels: flat and matrix (8-bit samples, qp 0..51) and the
// high-bit-depth matrix form (qp 0..87). Level scales: the flat default, weighted ones and the
// full 16-bit range; one round in six works in place (prediction and destination the same
// block, as the reconstruction functions call them).
enum Add4x4 { kFlat, kMatrix, kMatrixHigh };

template <class P, class C>
void check_add4x4(Add4x4 form, Shape s, int qp, int round, Rng& rng) {
    const int max = form == kMatrixHigh ? (1 << rng.uniform(9, 14)) - 1 : 255;
    i64 v[16];
    if (form == kMatrixHigh)
        make32(rng, s, 4, 16, v);
    else
        make16(rng, s, 4, 16, v);
    if (round == 0) realistic_levels4x4(rng, qp, max, v);
    Opx16s ls[16];
    for (int i = 0; i < 16; ++i)
        ls[i] = static_cast<Opx16s>(round == 2   ? rng.uniform(-32768, 32767)
                                    : round == 3 ? rng.uniform(1, 255) * kV4[qp % 6][class4(i)]
                                                 : 16 * kV4[qp % 6][class4(i)]);
    const bool ac = round % 3 != 1, in_place = round == 5;
    const C dc = static_cast<C>(form == kMatrixHigh ? rng.uniform(INT32_MIN, INT32_MAX)
                                                    : rng.uniform(-32768, 32767));
    const C* pdc = round % 2 ? &dc : nullptr;
    PredDst<P> p(4, static_cast<int>(rng.uniform(0, 15)) & -int(sizeof(P)), rng, max);
    if (in_place)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) p.a.at(x, y) = p.b.at(x, y) = p.pred.at(x, y);
    Coeffs<C, 16> ca, cb;
    ca.set(v);
    cb.set(v);
    auto run = [&](const TransformKernels& t, Plane<P>& d, C* c) {
        const P* pred = in_place ? d.data() : p.pred.data();
        const std::ptrdiff_t ps = in_place ? d.step() : p.pred.step();
        if constexpr (sizeof(C) == 4)
            t.add4x4_matrix_high(pred, ps, c, pdc, d.data(), d.step(), qp, ac, max, ls);
        else if (form == kMatrix)
            // Round 4 takes the flat default through a null level scale; the AC flag is passed
            // as any nonzero value.
            t.add4x4_matrix(pred, ps, c, pdc, d.data(), d.step(), qp, ac ? round + 1 : 0,
                            round == 4 ? nullptr : ls);
        else
            t.add4x4_flat(pred, c, pdc, d.data(), ps, d.step(), qp, ac);
    };
    run(ref::kTransform, p.a, ca.data());
    run(avx2::kTransform, p.b, cb.data());
    ASSERT_TRUE(planes_equal(p.a, p.b)) << "form " << form << " qp " << qp << " round " << round;
    ASSERT_TRUE(same(ca, cb));
    ASSERT_TRUE(p.a.canaries_intact() && p.b.canaries_intact());
}

TEST(H264TransformKernels, Add4x4MatchesPortable) {
    Rng rng;
    for (Shape s : kAllShapes)
        for (int round = 0; round < kRounds / 4; ++round) {
            for (int qp = 0; qp < 52; ++qp) {
                check_add4x4<Opx8u, Opx16s>(kFlat, s, qp, round, rng);
                check_add4x4<Opx8u, Opx16s>(kMatrix, s, qp, round, rng);
            }
            for (int qp = 0; qp < 88; ++qp)
                check_add4x4<Opx16u, Opx32s>(kMatrixHigh, s, qp, round, rng);
        }
}

TEST(H264TransformKernels, DequantResidualFlatMatchesPortable) {
    Rng rng;
    for (Shape s : kAllShapes) {
        for (int qp = 0; qp < 52; ++qp) {
            for (int round = 0; round < kRounds / 4; ++round) {
                i64 v[16];
                make16(rng, s, 4, 16, v);
                if (round == 0) realistic_levels4x4(rng, qp, 255, v);
                const bool ac = round % 3 != 1;
                const Opx16s dc = static_cast<Opx16s>(rng.uniform(-32768, 32767));
                const Opx16s* pdc = round % 2 ? &dc : nullptr;
                const int extra = 2 * static_cast<int>(rng.uniform(0, 8));
                Plane<Opx16s> a(4, 4, 8, 2 * static_cast<int>(rng.uniform(0, 7)), extra);
                Plane<Opx16s> b(4, 4, 8, 2 * static_cast<int>(rng.uniform(0, 7)), extra + 6);
                for (int i = 0; i < 16; ++i)
                    a.at(i & 3, i >> 2) = b.at(i & 3, i >> 2) = static_cast<Opx16s>(v[i]);
                ref::kTransform.dequant_residual4x4_flat(a.data(), static_cast<int>(a.step()), pdc,
                                                         ac, qp);
                avx2::kTransform.dequant_residual4x4_flat(b.data(), static_cast<int>(b.step()), pdc,
                                                          ac, qp);
                ASSERT_TRUE(planes_equal(a, b)) << "qp " << qp << " ac " << ac;
                ASSERT_TRUE(a.canaries_intact() && b.canaries_intact());
            }
        }
    }
}

TEST(H264TransformKernels, SispAndResidual4x4MatchPortable) {
    Rng rng;
    for (Shape s : kAllShapes) {
        for (int round = 0; round < 4 * kRounds; ++round) {
            const int qp = static_cast<int>(rng.uniform(0, 51));
            const int qs = static_cast<int>(rng.uniform(0, 51));
            const bool switching = rng.coin(), ac = rng.coin();
            i64 v[16], p[16];
            make16(rng, s, 4, 16, v);
            make16(rng, s == Shape::kZeros ? Shape::kRandomSmall : s, 4, 16, p);
            Opx16s pred[16];
            for (int i = 0; i < 16; ++i) pred[i] = static_cast<Opx16s>(p[i]);
            const Opx16s dc = static_cast<Opx16s>(rng.uniform(-32768, 32767));
            const Opx16s* pdc = rng.coin() ? &dc : nullptr;
            ASSERT_TRUE((diff<Opx16s, 16>(v, [&](const TransformKernels& t, Opx16s* c) {
                t.sisp4x4(c, pred, pdc, ac, qp, qs, switching);
            })));
            ASSERT_TRUE((diff<Opx16s, 4>(v, [&](const TransformKernels& t, Opx16s* c) {
                t.sisp_chroma_dc(c, pred, qp, qs, switching);
            })));
            // The saturating and the 32-bit 4x4 transforms alone.
            make16(rng, s, 4, 16, v);
            Coeffs<Opx16s, 16> src(static_cast<int>(rng.uniform(0, 7)));
            src.set(v);
            ASSERT_TRUE((diff<Opx16s, 16>(
                v, [&](const TransformKernels& t, Opx16s* c) { t.residual4x4(src.data(), c); }, 0,
                1)));
            make32(rng, s, 4, 16, v);
            Coeffs<Opx32s, 16> src32(static_cast<int>(rng.uniform(0, 7)));
            src32.set(v);
            ASSERT_TRUE((diff<Opx32s, 16>(
                v,
                [&](const TransformKernels& t, Opx32s* c) { t.residual4x4_high(src32.data(), c); },
                0, 3)));
        }
    }
}

// A DC kernel with a level scale: portable against AVX2 on every qp its function accepts.
template <class C, class Fn>
void check_dc_kernel(const char* name, int n, int side, int qp_max, Fn TransformKernels::*kernel,
                     Shape s, int ls, Rng& rng) {
    for (int qp = 0; qp <= qp_max; ++qp) {
        i64 v[16];
        if (sizeof(C) == 2)
            make16(rng, s, side, n, v);
        else
            make32(rng, s, side, n, v);
        ASSERT_TRUE(
            (diff<C, 16>(v, [&](const TransformKernels& t, C* c) { (t.*kernel)(c, qp, ls); })))
            << name << " qp " << qp << " ls " << ls;
    }
}

// Every DC kernel, 16-bit and 32-bit, on every qp its function accepts.
TEST(H264TransformKernels, DcKernelsMatchPortable) {
    using K = TransformKernels;
    Rng rng;
    for (Shape s : kAllShapes) {
        for (int round = 0; round < kRounds; ++round) {
            const int ls = round % 3 == 0   ? static_cast<int>(rng.uniform(-32768, 32767))
                           : round % 3 == 1 ? 16 * kV4[round % 6][0]
                                            : static_cast<int>(rng.uniform(1, 255)) * 18;
            check_dc_kernel<Opx16s>("luma_dc_matrix", 16, 4, 51, &K::luma_dc_matrix, s, ls, rng);
            check_dc_kernel<Opx16s>("chroma_dc2x2_matrix", 4, 2, 39, &K::chroma_dc2x2_matrix, s, ls,
                                    rng);
            check_dc_kernel<Opx16s>("chroma_dc2x4_matrix", 8, 2, 39, &K::chroma_dc2x4_matrix, s, ls,
                                    rng);
            check_dc_kernel<Opx32s>("luma_dc_matrix_high", 16, 4, 87, &K::luma_dc_matrix_high, s,
                                    ls, rng);
            check_dc_kernel<Opx32s>("chroma_dc2x2_matrix_high", 4, 2, 75,
                                    &K::chroma_dc2x2_matrix_high, s, ls, rng);
            check_dc_kernel<Opx32s>("chroma_dc2x4_matrix_high", 8, 2, 75,
                                    &K::chroma_dc2x4_matrix_high, s, ls, rng);
            for (int qp = 0; qp < 52; ++qp) {
                i64 v[16];
                make16(rng, s, 4, 16, v);
                ASSERT_TRUE((diff<Opx16s, 16>(
                    v, [&](const TransformKernels& t, Opx16s* c) { t.luma_dc_flat(c, qp); })))
                    << "luma_dc_flat qp " << qp;
                ASSERT_TRUE((diff<Opx16s, 4>(
                    v, [&](const TransformKernels& t, Opx16s* c) { t.chroma_dc_flat(c, qp); })))
                    << "chroma_dc_flat qp " << qp;
            }
        }
    }
}

TEST(H264TransformKernels, Dequant8x8MatchesPortable) {
    Rng rng;
    for (Shape s : kAllShapes) {
        for (int qp6 = 0; qp6 <= 14; ++qp6) {
            for (int round = 0; round < kRounds / 2; ++round) {
                Opx16s ls[64];
                for (int i = 0; i < 64; ++i)
                    ls[i] = static_cast<Opx16s>(round % 3 == 0   ? rng.uniform(-32768, 32767)
                                                : round % 3 == 1 ? 16 * kV8[round % 6][class8(i)]
                                                                 : rng.uniform(1, 255) * 58);
                i64 v[64];
                if (qp6 <= 8) {
                    make16(rng, s, 8, 64, v);
                    if (round == 0) realistic_levels8x8(rng, qp6 * 6, 255, v);
                    ASSERT_TRUE((diff<Opx16s, 64>(
                        v, [&](const TransformKernels& t, Opx16s* c) { t.dequant8x8(c, qp6, ls); },
                        static_cast<int>(rng.uniform(0, 15)), 1)))
                        << "qp6 " << qp6;
                }
                make32(rng, s, 8, 64, v);
                ASSERT_TRUE((diff<Opx32s, 64>(
                    v, [&](const TransformKernels& t, Opx32s* c) { t.dequant8x8_high(c, qp6, ls); },
                    static_cast<int>(rng.uniform(0, 15)), 3)))
                    << "qp6 " << qp6;
            }
        }
    }
}

TEST(H264TransformKernels, Add8x8MatchesPortable) {
    Rng rng;
    for (Shape s : kAllShapes) {
        for (int round = 0; round < 4 * kRounds; ++round) {
            i64 v[64];
            make16(rng, s, 8, 64, v);
            if (round % 4 == 0) {
                const int qp = static_cast<int>(rng.uniform(0, 51));
                realistic_levels8x8(rng, qp, 255, v);
                for (int i = 0; i < 64; ++i) {
                    const i64 d = v[i] * 16 * kV8[qp % 6][class8(i)];
                    v[i] = qp < 36 ? (d + (i64{1} << (5 - qp / 6))) >> (6 - qp / 6)
                                   : d * (i64{1} << (qp / 6 - 6));
                    v[i] = std::clamp<i64>(v[i], -32768, 32767);
                }
            }
            Coeffs<Opx16s, 64> c(static_cast<int>(rng.uniform(0, 15)));
            c.set(v);
            Coeffs<Opx16s, 64> keep = c;
            PredDst<Opx8u> p(8, static_cast<int>(rng.uniform(0, 31)), rng, 255);
            ref::kTransform.add8x8(p.pred.data(), p.pred.step(), c.data(), p.a.data(), p.a.step());
            avx2::kTransform.add8x8(p.pred.data(), p.pred.step(), c.data(), p.b.data(), p.b.step());
            ASSERT_TRUE(planes_equal(p.a, p.b));
            ASSERT_TRUE(p.a.canaries_intact() && p.b.canaries_intact());
            ASSERT_TRUE(same(c, keep)) << "coefficients changed";

            const int bit_depth = static_cast<int>(rng.uniform(9, 14));
            make32(rng, s, 8, 64, v);
            Coeffs<Opx32s, 64> c32(static_cast<int>(rng.uniform(0, 15)));
            c32.set(v);
            PredDst<Opx16u> q(8, 2 * static_cast<int>(rng.uniform(0, 15)), rng,
                              (1 << bit_depth) - 1);
            ref::kTransform.add8x8_high(q.pred.data(), q.pred.step(), c32.data(), q.a.data(),
                                        q.a.step(), (1 << bit_depth) - 1);
            avx2::kTransform.add8x8_high(q.pred.data(), q.pred.step(), c32.data(), q.b.data(),
                                         q.b.step(), (1 << bit_depth) - 1);
            ASSERT_TRUE(planes_equal(q.a, q.b));
            ASSERT_TRUE(q.a.canaries_intact() && q.b.canaries_intact());
        }
    }
}

// Sample blocks placed against unreadable pages: no kernel reads outside its rows.
TEST(H264TransformKernels, SampleBlocksReadOnlyTheirRows) {
    Rng rng;
    for (bool at_front : {false, true}) {
        for (int step : {4, 5, 16, -4, -16}) {
            GuardedBuffer pg(64 * 64), dg(64 * 64);
            Opx8u* pred = pg.place(4, 4, step, at_front);
            Opx8u* dst = dg.place(4, 4, step, at_front);
            ASSERT_TRUE(pred && dst);
            for (std::size_t i = 0; i < pg.size(); ++i) pg.begin()[i] = static_cast<Opx8u>(i * 7);
            i64 v[16];
            realistic_levels4x4(rng, 20, 255, v);
            Opx16s ls[16];
            for (int i = 0; i < 16; ++i) ls[i] = static_cast<Opx16s>(16 * kV4[2][class4(i)]);
            for (const TransformKernels* t : {&ref::kTransform, &avx2::kTransform}) {
                for (bool ac : {false, true}) {
                    Opx16s c[16];
                    for (int i = 0; i < 16; ++i) c[i] = static_cast<Opx16s>(v[i]);
                    t->add4x4_flat(pred, c, nullptr, dst, step, step, 20, ac);
                    for (int i = 0; i < 16; ++i) c[i] = static_cast<Opx16s>(v[i]);
                    t->add4x4_matrix(pred, step, c, nullptr, dst, step, 20, ac, ls);
                }
            }
        }
        for (int step : {8, 9, -8, 32}) {
            GuardedBuffer pg(64 * 64), dg(64 * 64);
            Opx8u* pred = pg.place(8, 8, step, at_front);
            Opx8u* dst = dg.place(8, 8, step, at_front);
            ASSERT_TRUE(pred && dst);
            Opx16s c[64] = {100, -30, 5};
            for (const TransformKernels* t : {&ref::kTransform, &avx2::kTransform})
                t->add8x8(pred, step, c, dst, step);
        }
        for (int step : {8, 16, -8, -16}) {
            GuardedBuffer pg(64 * 64), dg(64 * 64);
            auto* pred = reinterpret_cast<Opx16u*>(pg.place(8, 4, step, at_front));
            auto* dst = reinterpret_cast<Opx16u*>(dg.place(8, 4, step, at_front));
            ASSERT_TRUE(pred && dst);
            Opx32s c[16] = {1000, -30, 5};
            Opx16s ls[16];
            for (int i = 0; i < 16; ++i) ls[i] = 16;
            for (const TransformKernels* t : {&ref::kTransform, &avx2::kTransform})
                t->add4x4_matrix_high(pred, step, c, nullptr, dst, step, 30, true, 1023, ls);
        }
        for (int step : {16, 17 * 2, -16, -32}) {
            GuardedBuffer pg(64 * 64), dg(64 * 64);
            auto* pred = reinterpret_cast<Opx16u*>(pg.place(16, 8, step, at_front));
            auto* dst = reinterpret_cast<Opx16u*>(dg.place(16, 8, step, at_front));
            ASSERT_TRUE(pred && dst);
            Opx32s c[64] = {1000, -30, 5};
            for (const TransformKernels* t : {&ref::kTransform, &avx2::kTransform})
                t->add8x8_high(pred, step, c, dst, step, 1023);
        }
        for (int step : {8, 10, 32}) {
            GuardedBuffer g(64 * 64);
            auto* c = reinterpret_cast<Opx16s*>(g.place(8, 4, step, at_front));
            ASSERT_TRUE(c);
            for (const TransformKernels* t : {&ref::kTransform, &avx2::kTransform})
                for (bool ac : {false, true}) t->dequant_residual4x4_flat(c, step, nullptr, ac, 10);
        }
    }
}

}  // namespace
}  // namespace opx::test::h264
