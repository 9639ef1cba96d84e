// Rows far apart. A step of a gigabyte or more describes a legal picture, so every row offset has
// to be formed in pointer-width arithmetic: a 32-bit product wraps and lands gigabytes away from
// the row meant. Each case runs an exported function on a sparse picture, in which only a window
// around the block is mapped in every row and the rest of the reservation is inaccessible, and
// on a dense copy with a small step; results and windows must agree.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <vector>

#include "harness/harness.hpp"

namespace opx::test {
namespace {

constexpr int kRowsAbove = 4, kRows = 24;  // rows -4..23 are reachable
constexpr int kLeft = 64, kWindow = 192;   // columns -64..127 of every row

// Picture rows [-kRowsAbove, kRows) with their windows mapped in a reservation of
// (kRowsAbove + kRows) * |step| bytes; everything else traps.
class SparsePicture {
  public:
    explicit SparsePicture(std::ptrdiff_t step) : step_(step) {
        const std::ptrdiff_t page = sysconf(_SC_PAGESIZE);
        const std::ptrdiff_t span = (kRowsAbove + kRows) * std::llabs(step);
        bytes_ = static_cast<std::size_t>(span + 4 * page);
        void* m =
            mmap(nullptr, bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (m == MAP_FAILED) return;
        map_ = static_cast<unsigned char*>(m);
        // The lowest row starts a page in, so its window's left margin is mapped too.
        const int lowest = step > 0 ? -kRowsAbove : kRows - 1;
        origin_ = map_ + 2 * page + kLeft - lowest * step;
        for (int y = -kRowsAbove; y < kRows; ++y) {
            const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(row(y) - kLeft);
            const std::uintptr_t end = first + kWindow;
            const std::uintptr_t lo = first / page * page, hi = (end + page - 1) / page * page;
            if (mprotect(reinterpret_cast<void*>(lo), hi - lo, PROT_READ | PROT_WRITE) != 0) {
                munmap(map_, bytes_);
                map_ = nullptr;
                return;
            }
        }
    }
    ~SparsePicture() {
        if (map_) munmap(map_, bytes_);
    }
    SparsePicture(const SparsePicture&) = delete;
    SparsePicture& operator=(const SparsePicture&) = delete;

    bool ok() const { return map_ != nullptr; }
    Opx8u* row(int y) const { return origin_ + y * step_; }

  private:
    std::ptrdiff_t step_;
    std::size_t bytes_ = 0;
    unsigned char* map_ = nullptr;
    Opx8u* origin_ = nullptr;
};

// The same rows and windows, kWindow bytes apart, in the order of the sparse picture's rows.
struct DensePicture {
    explicit DensePicture(bool negative) : step(negative ? -kWindow : kWindow) {}
    Opx32s step;
    std::vector<Opx8u> bytes = std::vector<Opx8u>((kRowsAbove + kRows) * kWindow);
    Opx8u* row(int y) {
        return bytes.data() + (step > 0 ? y + kRowsAbove : kRows - 1 - y) * kWindow + kLeft;
    }
};

// A case calls one function on the picture whose row 0, column 0 is `o` and returns its result
// codes and any values it gives outside the picture.
using Outcome = std::vector<std::int64_t>;
struct Case {
    const char* name;
    std::function<Outcome(Opx8u* o, Opx32s step)> run;
    bool unsigned_step = false;  // the function takes its step as Opx32u: no negative steps
};

// Coefficients of a fixed pseudo-random stream, the same for both runs of a case.
std::vector<Opx16s> coefficients(int n, int range) {
    Rng rng(0xC0EFF + n);
    std::vector<Opx16s> c(n);
    for (auto& v : c) v = static_cast<Opx16s>(rng.uniform(-range, range));
    return c;
}

// Reconstruction functions take a stream of coefficients and move the caller's pointer.
template <class F>
Outcome with_stream(int n, F f) {
    std::vector<Opx16s> c = coefficients(n, 40);
    Opx16s* p = c.data();
    const OpxResult r = f(&p);
    return {r, p - c.data()};
}

// 16-bit samples of the picture from byte offset `bytes` of row 0 (steps in samples are s / 2).
Opx16u* u16(Opx8u* o, int bytes) {
    return reinterpret_cast<Opx16u*>(o + bytes);
}

std::vector<Opx32s> coefficients32(int n, int range) {
    const std::vector<Opx16s> c = coefficients(n, range);
    return {c.begin(), c.end()};
}

const Opx8u kAlpha[2] = {255, 255}, kBeta[2] = {255, 255};
const Opx16u kAlpha16[2] = {1023, 1023}, kBeta16[2] = {1023, 1023};
const Opx16u kTc016[16] = {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60};
const Opx8u kTc0[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const Opx8u kBs[16] = {4, 4, 4, 4, 1, 2, 3, 0, 2, 2, 3, 3, 1, 1, 1, 1};
const Opx16s kLevelScale[64] = {10, 13, 10, 13, 13, 16, 13, 16, 10, 13, 10, 13, 13, 16, 13, 16,
                                20, 18, 32, 18, 20, 18, 32, 18, 19, 24, 18, 24, 19, 24, 18, 24,
                                20, 18, 32, 18, 20, 18, 32, 18, 19, 24, 18, 24, 19, 24, 18, 24,
                                20, 18, 32, 18, 20, 18, 32, 18, 19, 24, 18, 24, 19, 24, 18, 24};
const Opx32s kModes4x4[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 4, 3, 2};
const Opx32s kModes8x8[4] = {3, 4, 8, 7};

std::vector<Case> cases() {
    std::vector<Case> v;
    auto add = [&](const char* name, std::function<Outcome(Opx8u*, Opx32s)> f) {
        v.push_back({name, std::move(f)});
    };
    auto add_unsigned = [&](const char* name, std::function<Outcome(Opx8u*, Opx32s)> f) {
        v.push_back({name, std::move(f), true});
    };
    // Cases whose outcome is the result code alone (the call may use the mode of a loop), the
    // code and one value the call writes to v, and reconstructions that take n coefficients
    // through the stream pointer p.
#define OPX_VALUE_CASE(name, ...)                 \
    add(name, [](Opx8u* o, Opx32s s) -> Outcome { \
        Opx32s v = -1;                            \
        return {__VA_ARGS__, v};                  \
    })
#define OPX_STEP_CASE(name, ...) \
    add(name, [=](Opx8u* o, Opx32s s) -> Outcome { return {__VA_ARGS__}; })
#define OPX_STEP_CASE_UNSIGNED(name, ...) \
    add_unsigned(name, [=](Opx8u* o, Opx32s s) -> Outcome { return {__VA_ARGS__}; })
#define OPX_STREAM_CASE(name, n, ...)                                   \
    add(name, [=](Opx8u* o, Opx32s s) {                                 \
        return with_stream(n, [&](Opx16s** p) { return __VA_ARGS__; }); \
    })
#define OPX_STREAM_CASE_UNSIGNED(name, n, ...)                          \
    add_unsigned(name, [=](Opx8u* o, Opx32s s) {                        \
        return with_stream(n, [&](Opx16s** p) { return __VA_ARGS__; }); \
    })
    // Cases on a fixed block of coefficients c (from `coeffs`), and cases whose call writes an
    // array v of n values of type T.
#define OPX_COEFF_CASE(name, coeffs, ...)         \
    add(name, [](Opx8u* o, Opx32s s) -> Outcome { \
        auto c = coeffs;                          \
        return {__VA_ARGS__};                     \
    })
#define OPX_ARRAY_CASE(name, T, n, ...)            \
    add(name, [](Opx8u* o, Opx32s s) -> Outcome {  \
        std::array<T, n> v{};                      \
        Outcome out{__VA_ARGS__};                  \
        out.insert(out.end(), v.begin(), v.end()); \
        return out;                                \
    })
    // ---- block primitives
    OPX_STEP_CASE("Copy16x16HP", opxiCopy16x16HP_8u_C1R(o, s, o + 32, s, 3, 1));
    OPX_COEFF_CASE("MC16x16B", coefficients(256, 300),
                   opxiMC16x16B_8u_C1(o, s, 12, o + 24, s, 8, c.data(), 32, o + 48, s, 1));
    OPX_COEFF_CASE(
        "MC8x8B P2C2R", coefficients(128, 300),
        opxiMC8x8B_16s8u_P2C2R(o, s, 12, o + 24, s, 4, c.data(), c.data() + 64, 16, o + 48, s, 0));
    OPX_COEFF_CASE("Add8x8HP", coefficients(64, 300),
                   opxiAdd8x8HP_16s8u_C1RS(c.data(), 16, o, s, o + 24, s, 3, 0));
    OPX_STEP_CASE("InterpolateAverage16x16",
                  opxiInterpolateAverage16x16_8u_C1IR(o, s, o + 32, s, 3, 1));
    // ---- metrics
    OPX_VALUE_CASE("SAD16x16", opxiSAD16x16_8u32s(o, s, o + 20, s, &v, 12));
    OPX_ARRAY_CASE("SAD16x16xN", Opx16u, 8, opxiSAD16x16xN_8u16u_C1R(o, s, o + 20, s, v.data(), 8));
    OPX_ARRAY_CASE("SAD16x16Blocks4x4", Opx16u, 16,
                   opxiSAD16x16Blocks4x4_8u16u(o, s, o + 20, s, v.data()));
    OPX_VALUE_CASE("SAD16x16 16u",
                   opxiSAD16x16_16u32s_C1R(reinterpret_cast<const Opx16u*>(o), s,
                                           reinterpret_cast<const Opx16u*>(o + 34), s, &v, 12));
    add("SAD8x8 C2R", [](Opx8u* o, Opx32s s) -> Outcome {
        Opx32s a = -1, b = -1;
        return {opxiSAD8x8_8u32s_C2R(o, s, o + 20, s, &a, &b, 12), a, b};
    });
    OPX_VALUE_CASE("SATD16x16", opxiSATD16x16_8u32s_C1R(o, s, o + 20, s, &v));
    OPX_VALUE_CASE("SAT8x8D", opxiSAT8x8D_8u32s_C1R(o, s, o + 20, s, &v));
    OPX_VALUE_CASE("SSD8x8", opxiSSD8x8_8u32s_C1R(o, s, o + 20, s, &v, 12));
    add("FrameFieldSAD16x16", [](Opx8u* o, Opx32s s) -> Outcome {
        Opx32s frame = -1, field = -1;
        return {opxiFrameFieldSAD16x16_8u32s_C1R(o, s, &frame, &field), frame, field};
    });
    // ---- inverse transforms
    OPX_COEFF_CASE("TransformLuma8x8InvAddPred", coefficients(64, 200),
                   opxiTransformLuma8x8InvAddPred_H264_16s8u_C1R(o, s, c.data(), o + 16, s));
    OPX_COEFF_CASE("TransformQuantInvAddPred4x4", coefficients(16, 40),
                   opxiTransformQuantInvAddPred4x4_H264_16s_C1IR(o, s, c.data(), nullptr, o + 8, s,
                                                                 28, 1, kLevelScale));
    OPX_COEFF_CASE("TransformQuantInvAddPred4x4 32s", coefficients32(16, 40),
                   opxiTransformQuantInvAddPred4x4_H264_32s_C1IR(
                       u16(o, 0), s, c.data(), nullptr, u16(o, 16), s, 40, 1, 10, kLevelScale));
    OPX_COEFF_CASE(
        "TransformInvAddPredLuma8x8 32s16u", coefficients32(64, 500),
        opxiTransformInvAddPredLuma8x8_H264_32s16u_C1R(u16(o, 0), s, c.data(), u16(o, 32), s, 10));
    // ---- intra prediction
    for (int mode = 0; mode <= 8; ++mode)
        OPX_STEP_CASE("PredictIntra_4x4",
                      opxiPredictIntra_4x4_H264_8u_C1IR(o, s, mode, 1 | 2 | 32 | 64));
    for (int mode = 0; mode <= 3; ++mode) {
        OPX_STEP_CASE("PredictIntra_16x16",
                      opxiPredictIntra_16x16_H264_8u_C1IR(o, s, mode, 1 | 2 | 32 | 64));
        OPX_STEP_CASE("PredictIntraChroma8x8",
                      opxiPredictIntraChroma8x8_H264_8u_C1IR(o, s, mode, 1 | 2 | 32 | 64));
    }
    // ---- macroblock reconstruction
    OPX_STREAM_CASE("ReconstructLumaInterMB", 256,
                    opxiReconstructLumaInterMB_H264_16s8u_C1R(p, o, s, 0x1FFFE, 26));
    OPX_STREAM_CASE("ReconstructLumaIntra16x16MB", 272,
                    opxiReconstructLumaIntra16x16MB_H264_16s8u_C1R(p, o, s, 3, 0x1FFFF, 26, 0));
    OPX_STREAM_CASE("ReconstructLumaIntra_16x16MB", 272,
                    opxiReconstructLumaIntra_16x16MB_H264_16s8u_C1R(p, o, s, 2, 0x1FFFF, 26, 0,
                                                                    kLevelScale, 0));
    OPX_STREAM_CASE("ReconstructLumaIntra4x4MB", 256,
                    opxiReconstructLumaIntra4x4MB_H264_16s8u_C1R(p, o, s, kModes4x4, 0x1FFFE, 26, 0,
                                                                 kLevelScale, 0));
    OPX_STREAM_CASE("ReconstructLumaIntra8x8MB", 256,
                    opxiReconstructLumaIntra8x8MB_H264_16s8u_C1R(p, o, s, kModes8x8, 15, 26, 0,
                                                                 kLevelScale, 0));
    OPX_STREAM_CASE("ReconstructLumaIntraHalf8x8MB", 128,
                    opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R(p, o, s, kModes8x8, 3, 26, 0,
                                                                     kLevelScale, 0));
    OPX_STREAM_CASE_UNSIGNED(
        "ReconstructChromaIntraMB P2R", 136,
        opxiReconstructChromaIntraMB_H264_16s8u_P2R(p, o, o + 16, Opx32u(s), 3, ~0u, 30, 0));
    OPX_STREAM_CASE("ReconstructChromaIntraMB C2R", 136,
                    opxiReconstructChromaIntraMB_H264_16s8u_C2R(p, o, s, 0, ~0u, 30, 0));
    OPX_STREAM_CASE_UNSIGNED("ReconstructChromaInterMB C2R", 136,
                             opxiReconstructChromaInterMB_H264_16s8u_C2R(p, o, Opx32u(s), ~0u, 30));
    OPX_STREAM_CASE("ReconstructChromaIntraHalvesMB C2R", 136,
                    opxiReconstructChromaIntraHalvesMB_H264_16s8u_C2R(p, o, s, 2, ~0u, 30, 0, 0));
    // ---- interpolation and weighting
    OPX_STEP_CASE("InterpolateLuma",
                  opxiInterpolateLuma_H264_8u_C1R(o, s, o + 40, s, 3, 1, {16, 16}));
    OPX_STEP_CASE("InterpolateChroma C2P2R",
                  opxiInterpolateChroma_H264_8u_C2P2R(o, s, o + 40, o + 56, s, 5, 3, {8, 8}));
    add("InterpolateLuma 16u", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxInterpolate16u r{u16(o, 8), s / 2, u16(o, 64), s / 2, 2, 3, {16, 16}, 10};
        return {opxiInterpolateLuma_H264_16u_C1R(&r)};
    });
    // Block prediction from a picture of 64 x 20 samples whose edges are replicated.
    add("InterpolateLumaBlock", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxInterpolateBlock8u r{{o, nullptr}, s,        {o + 80, nullptr}, s,
                                      {64, 20},     {16, 16}, {-4, -3},          {5, 27}};
        return {opxiInterpolateLumaBlock_H264_8u_P1R(&r)};
    });
    add("InterpolateChromaBlock 16u", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxInterpolateBlock16u r{{u16(o, 0), u16(o, 24)},
                                       s / 2,
                                       {u16(o, 64), u16(o, 96)},
                                       s / 2,
                                       {12, 20},
                                       {8, 8},
                                       {6, 15},
                                       {-9, 11},
                                       10};
        return {opxiInterpolateChromaBlock_H264_16u_P2R(&r)};
    });
    OPX_STEP_CASE("InterpolateBlock P3P1R",
                  opxiInterpolateBlock_H264_8u_P3P1R(o, o + 20, o + 40, 16, 16, s, s, s));
    OPX_STEP_CASE_UNSIGNED("UniDirWeightBlock",
                           opxiUniDirWeightBlock_H264_8u_C1R(o, Opx32u(s), 5, 40, -7, {16, 16}));
    OPX_STEP_CASE_UNSIGNED("BiDirWeightBlock", opxiBiDirWeightBlock_H264_8u_P2P1R(
                                                   o, o + 20, o + 40, Opx32u(s), Opx32u(s), 5, 40,
                                                   -7, 20, 3, {16, 16}));
    OPX_STEP_CASE_UNSIGNED("BiDirWeightBlockImplicit",
                           opxiBiDirWeightBlockImplicit_H264_8u_P2P1R(o, o + 20, o + 40, Opx32u(s),
                                                                      Opx32u(s), 40, 24, {16, 16}));
    OPX_STEP_CASE_UNSIGNED(
        "UnidirWeight 16u",
        opxiUnidirWeight_H264_16u_IP2P1R(u16(o, 0), Opx32u(s / 2), 5, 40, -7, {16, 16}, 10));
    add("BidirWeight 16u", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxBidir16u r{u16(o, 0), s / 2, u16(o, 32), s / 2, u16(o, 64), s / 2, {16, 16}, 10};
        return {opxiBidirWeight_H264_16u_P2P1R(&r, 5, 40, -7, 20, 3)};
    });
    OPX_STEP_CASE("WeightedAverage",
                  opxiWeightedAverage_H264_8u_C1IR(o, o + 20, s, 40, 24, 6, 3, {16, 16}));
    // ---- deblocking
    OPX_STEP_CASE("FilterDeblockingLuma_VerEdge",
                  opxiFilterDeblockingLuma_VerEdge_H264_8u_C1IR(o, s, kAlpha, kBeta, kTc0, kBs));
    OPX_STEP_CASE("FilterDeblockingLuma_HorEdge",
                  opxiFilterDeblockingLuma_HorEdge_H264_8u_C1IR(o, s, kAlpha, kBeta, kTc0, kBs));
    OPX_STEP_CASE("FilterDeblockingChroma_HorEdge C2IR",
                  opxiFilterDeblockingChroma_HorEdge_H264_8u_C2IR(o, s, kAlpha, kBeta, kTc0, kBs));
    OPX_STEP_CASE("FilterDeblockingChroma_VerEdge C1IR",
                  opxiFilterDeblockingChroma_VerEdge_H264_8u_C1IR(o, s, kAlpha, kBeta, kTc0, kBs));
    OPX_STEP_CASE("FilterDeblockingLuma_VerEdge_MBAFF",
                  opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR(o, s, 255, 255, kTc0, kBs));
    add("FilterDeblockingLumaVerEdge 16u", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxDeblock16u r{u16(o, 16), s / 2, kAlpha16, kBeta16, kTc016, kBs, 10};
        return {opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR(&r)};
    });
    add("FilterDeblockingChromaHorEdge 16u", [](Opx8u* o, Opx32s s) -> Outcome {
        const OpxDeblock16u r{u16(o, 16), s / 2, kAlpha16, kBeta16, kTc016, kBs, 10};
        return {opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR(&r)};
    });
#undef OPX_STEP_CASE
#undef OPX_VALUE_CASE
#undef OPX_STEP_CASE_UNSIGNED
#undef OPX_STREAM_CASE
#undef OPX_STREAM_CASE_UNSIGNED
#undef OPX_COEFF_CASE
#undef OPX_ARRAY_CASE
    return v;
}

TEST(LargeSteps, RowsGigabytesApartAreAddressedExactly) {
    constexpr Opx32s kSteps[] = {(1 << 30) + 64, 0x7FFFFFC0, -((1 << 30) + 64)};
    for (Opx32s step : kSteps) {
        SparsePicture sparse(step);
        if (!sparse.ok()) GTEST_SKIP() << "cannot reserve the address space of a sparse picture";
        for (const Case& c : cases()) {
            if (step < 0 && c.unsigned_step) continue;
            SCOPED_TRACE(testing::Message() << c.name << ", step " << step);
            Rng rng(0x5EED);
            DensePicture dense(step < 0);
            for (int y = -kRowsAbove; y < kRows; ++y)
                for (int x = -kLeft; x < kWindow - kLeft; ++x)
                    sparse.row(y)[x] = dense.row(y)[x] = static_cast<Opx8u>(rng.next());
            const Outcome expected = c.run(dense.row(0), dense.step);
            ASSERT_FALSE(expected.empty());
            // Functions that refuse a negative step must refuse it alike and write nothing.
            if (step > 0) {
                ASSERT_GE(expected[0], 0);
            }
            EXPECT_EQ(c.run(sparse.row(0), step), expected);
            for (int y = -kRowsAbove; y < kRows; ++y)
                if (!std::equal(dense.row(y) - kLeft, dense.row(y) + kWindow - kLeft,
                                sparse.row(y) - kLeft)) {
                    ADD_FAILURE() << "row " << y << " differs";
                    break;
                }
        }
    }
}

}  // namespace
}  // namespace opx::test
