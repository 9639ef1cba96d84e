// Portable weighted sample prediction, written per sample from H.264 clause 8.4.2.3.
//
// Arithmetic is in 64 bits: with samples below 2^16 and 32-bit weights and offsets no product or
// sum reaches 2^50, so every accepted argument gives the exact result.
#include <algorithm>

#include "h264/decode/weight.hpp"

namespace opx::h264::ref {
namespace {

// Floor division by 2^n, defined for negative x as well (~x is non-negative there).
constexpr std::int64_t floor_shift(std::int64_t x, int n) noexcept {
    return x >= 0 ? x >> n : ~(~x >> n);
}

constexpr std::int64_t rounding(int shift) noexcept {
    return shift > 0 ? std::int64_t{1} << (shift - 1) : 0;
}

template <class T>
T clip(std::int64_t v, int max) noexcept {
    return static_cast<T>(std::clamp<std::int64_t>(v, 0, max));
}

template <class T>
const T* row(const T* p, std::ptrdiff_t step, int y) noexcept {
    return p + static_cast<std::ptrdiff_t>(step) * y;
}
template <class T>
T* row(T* p, std::ptrdiff_t step, int y) noexcept {
    return p + static_cast<std::ptrdiff_t>(step) * y;
}

template <class T>
void uni_any(T* p, std::ptrdiff_t step, int width, int height, const UniWeight& wt,
             int max) noexcept {
    const std::int64_t r = rounding(wt.shift);
    for (int y = 0; y < height; ++y) {
        T* d = row(p, step, y);
        for (int x = 0; x < width; ++x) {
            const int c = x & 1;
            d[x] = clip<T>(floor_shift(d[x] * std::int64_t{wt.w[c]} + r, wt.shift) + wt.o[c], max);
        }
    }
}

template <class T>
void bi_any(const T* s1, std::ptrdiff_t step1, const T* s2, std::ptrdiff_t step2, T* d,
            std::ptrdiff_t dstep, int width, int height, const BiWeight& wt, int max) noexcept {
    const std::int64_t r = rounding(wt.shift);
    for (int y = 0; y < height; ++y) {
        const T* a = row(s1, step1, y);
        const T* b = row(s2, step2, y);
        T* o = row(d, dstep, y);
        for (int x = 0; x < width; ++x) {
            const int c = x & 1;
            // Both sources are read before the destination sample is written (in-place forms).
            const std::int64_t v = a[x] * std::int64_t{wt.w1[c]} + b[x] * std::int64_t{wt.w2[c]};
            o[x] = clip<T>(floor_shift(v + r, wt.shift) + wt.o[c], max);
        }
    }
}

// Fixed-size 8-bit kernels; Bytes is the row width in bytes.
template <int Bytes, int H>
void uni8(Opx8u* p, std::ptrdiff_t step, const UniWeight& wt) noexcept {
    uni_any<Opx8u>(p, step, Bytes, H, wt, 255);
}

template <int Bytes, int H>
OpxResult uni_plain(Opx8u* p, std::ptrdiff_t step, int shift, int w, int o) noexcept {
    uni_any<Opx8u>(p, step, Bytes, H, UniWeight{shift, {w, w}, {o, o}}, 255);
    return opxOk;
}

template <int Bytes, int H>
void bi8(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2, std::ptrdiff_t step2, Opx8u* d,
         std::ptrdiff_t dstep, const BiWeight& wt) noexcept {
    bi_any<Opx8u>(s1, step1, s2, step2, d, dstep, Bytes, H, wt, 255);
}

void bi8_any(const Opx8u* s1, std::ptrdiff_t step1, const Opx8u* s2, std::ptrdiff_t step2, Opx8u* d,
             std::ptrdiff_t dstep, int width, int height, const BiWeight& wt) noexcept {
    bi_any<Opx8u>(s1, step1, s2, step2, d, dstep, width, height, wt, 255);
}

void uni16(Opx16u* p, std::ptrdiff_t step, int width, int height, const UniWeight& wt,
           int max) noexcept {
    uni_any<Opx16u>(p, step, width, height, wt, max);
}

void bi16(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2, std::ptrdiff_t step2, Opx16u* d,
          std::ptrdiff_t dstep, int width, int height, const BiWeight& wt, int max) noexcept {
    bi_any<Opx16u>(s1, step1, s2, step2, d, dstep, width, height, wt, max);
}

void avg16(const Opx16u* s1, std::ptrdiff_t step1, const Opx16u* s2, std::ptrdiff_t step2,
           Opx16u* d, std::ptrdiff_t dstep, int width, int height) noexcept {
    for (int y = 0; y < height; ++y) {
        const Opx16u* a = row(s1, step1, y);
        const Opx16u* b = row(s2, step2, y);
        Opx16u* o = row(d, dstep, y);
        for (int x = 0; x < width; ++x) o[x] = static_cast<Opx16u>((a[x] + b[x] + 1) >> 1);
    }
}

}  // namespace

extern const WeightKernels kWeight = {
    OPX_WEIGHT_TABLE(uni8, 1),
    OPX_WEIGHT_TABLE(uni8, 2),
    OPX_WEIGHT_TABLE(uni_plain, 1),
    OPX_WEIGHT_TABLE(bi8, 1),
    OPX_WEIGHT_TABLE(bi8, 2),
    bi8_any,
    uni16,
    bi16,
    avg16,
};

}  // namespace opx::h264::ref
