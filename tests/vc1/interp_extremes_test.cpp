// VC-1 interpolation kernels, AVX2 against portable on the inputs that drive the filter sums to
// their ends: samples 0 or 255 repeating every four columns and rows in every phase, so that each
// output's window meets every sign pattern of the taps (largest and smallest first-pass sums,
// and the second pass's largest intermediates).
#include <gtest/gtest.h>

#include <cstring>

#include "vc1/interp.hpp"

namespace {

TEST(Vc1InterpExtremes, KernelTablesAgreeOnSignPatterns) {
    namespace v = opx::vc1;
    constexpr int kStep = 40;
    Opx8u src[kStep * 24];
    Opx8u out_ref[16 * 16], out_avx2[16 * 16];
    const Opx8u* origin = src + 2 * kStep + 4;
    for (int px = 0; px < 16; ++px)
        for (int py = 0; py < 16; ++py) {
            // Bit k of px (py): column (row) k modulo 4 is 255; both set or both clear: 255 / 0.
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < kStep; ++x)
                    src[y * kStep + x] =
                        ((px >> (x & 3)) & 1) ^ ((py >> (y & 3)) & 1) ? 255 : 0;
            for (int pos = 0; pos < 32; ++pos) {
                const int dx = pos & 3, dy = (pos >> 2) & 3, rnd = pos >> 4;
                for (int i = 0; i < v::kNumBicubicSizes; ++i) {
                    std::memset(out_ref, 0, sizeof out_ref);
                    std::memset(out_avx2, 0, sizeof out_avx2);
                    v::ref::kInterp.bicubic[i](origin, kStep, out_ref, 16, dx, dy, rnd);
                    v::avx2::kInterp.bicubic[i](origin, kStep, out_avx2, 16, dx, dy, rnd);
                    ASSERT_EQ(std::memcmp(out_ref, out_avx2, sizeof out_ref), 0)
                        << "bicubic " << i << " dx " << dx << " dy " << dy << " rnd " << rnd
                        << " patterns " << px << "," << py;
                }
                for (int i = 0; i < v::kNumBilinearSizes; ++i) {
                    v::ref::kInterp.bilinear[i](origin, kStep, out_ref, 16, dx, dy, rnd);
                    v::avx2::kInterp.bilinear[i](origin, kStep, out_avx2, 16, dx, dy, rnd);
                    ASSERT_EQ(std::memcmp(out_ref, out_avx2, sizeof out_ref), 0)
                        << "bilinear " << i << " dx " << dx << " dy " << dy;
                }
                for (int i = 0; i < v::kNumBilinearC2Sizes; ++i) {
                    v::ref::kInterp.bilinear_c2[i](origin, kStep, out_ref, 16, dx, dy, rnd);
                    v::avx2::kInterp.bilinear_c2[i](origin, kStep, out_avx2, 16, dx, dy, rnd);
                    ASSERT_EQ(std::memcmp(out_ref, out_avx2, sizeof out_ref), 0)
                        << "bilinear C2 " << i << " dx " << dx << " dy " << dy;
                }
            }
        }
}

}  // namespace
