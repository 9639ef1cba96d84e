// Picture-edge handling of the H.264 interpolation entry points: the filter support of a block is
// copied into a work buffer on the stack, with rows (Top, Bottom) or rows and columns (Block)
// outside the picture replaced by the nearest picture samples, and the kernel then runs on the
// buffer. Only picture samples are read.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/dispatch.hpp"
#include "h264/decode/interp.hpp"

namespace opx::h264::edge {

// Work buffer: rows of kPitch elements. The largest support is 21 x 21 (16 x 16 luma block with
// fractional dx and dy); the spare rows take the 16-byte spill of the row builder below.
inline constexpr int kPitch = kEdgePitch;
inline constexpr int kRows = 21 + 2;

template <class T>
struct alignas(64) WorkBuffer {
    T data[kRows * kPitch];
};

// Copies n bytes (0..64) with loads and stores that touch exactly [src, src + n).
OPX_INLINE void copy_bytes(unsigned char* dst, const unsigned char* src, std::ptrdiff_t n) {
    if (n >= 16) {
        for (std::ptrdiff_t i = 0; i + 16 <= n; i += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16)));
    } else if (n >= 8) {
        std::uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, src, 4);
        std::memcpy(&b, src + n - 4, 4);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + n - 4, &b, 4);
    } else if (n >= 2) {
        std::uint16_t a, b;
        std::memcpy(&a, src, 2);
        std::memcpy(&b, src + n - 2, 2);
        std::memcpy(dst, &a, 2);
        std::memcpy(dst + n - 2, &b, 2);
    } else if (n == 1) {
        *dst = *src;
    }
}

// Stores `v` over [dst, dst + n) in 16-byte pieces; may write up to 15 bytes beyond.
OPX_INLINE void fill_bytes(unsigned char* dst, __m128i v, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
}

// Broadcast of one element E (an 8-bit or 16-bit sample, or a CbCr pair as 16 bits).
template <class E>
OPX_INLINE __m128i splat(const unsigned char* p) {
    E v;
    std::memcpy(&v, p, sizeof(E));
    if constexpr (sizeof(E) == 1)
        return _mm_set1_epi8(static_cast<char>(v));
    else
        return _mm_set1_epi16(static_cast<short>(v));
}

// Top and Bottom: copies rows r0..r1, columns c0..c1 of the block support (block coordinates)
// into `buf` (the buffer position of block sample (0, 0)), taking row `row_of(r)` of `src` for
// block row r.
template <class T, class RowOf>
void gather_rows(const T* src, std::ptrdiff_t step, int r0, int r1, int c0, int c1, RowOf row_of,
                 T* buf) {
    for (int r = r0; r <= r1; ++r)
        copy_bytes(reinterpret_cast<unsigned char*>(buf + r * kPitch + c0),
                   reinterpret_cast<const unsigned char*>(src + row_of(r) * step + c0),
                   static_cast<std::ptrdiff_t>(c1 - c0 + 1) * sizeof(T));
}

// Row rule of the Top functions: block row `out` is the picture's first row; with out > 0 every
// row above it is read as a copy of it.
struct TopRows {
    int out;
    int operator()(int r) const { return out > 0 && r < out ? out : r; }
};
// Row rule of the Bottom functions: block row height - 1 - out is the picture's last row; with
// out > 0 every row below it is read as a copy of it (out >= height puts that row above the
// block).
struct BottomRows {
    int last;
    bool active;
    int operator()(int r) const { return active && r > last ? last : r; }
};

using Region = EdgeRegion;

OPX_INLINE bool inside(const Region& r, int frame_width, int frame_height) {
    return r.x0 >= 0 && r.y0 >= 0 && r.x0 + r.width <= frame_width &&
           r.y0 + r.height <= frame_height;
}

// Block: copies `region` of a plane of elements E (one picture sample: an 8-bit or 16-bit sample
// or an interleaved CbCr pair; the step is in bytes) into `buf`, every sample outside the picture
// replaced by the sample at the clamped coordinates (H.264 clause 8.4.2.2.1, equations 8-228 and
// 8-229).
template <class E>
void gather_clamped(const unsigned char* plane, std::ptrdiff_t step_bytes, int frame_width,
                    int frame_height, const Region& region, unsigned char* buf_bytes) noexcept {
    E* const buf = reinterpret_cast<E*>(buf_bytes);
    // Columns of the region that lie inside the picture: [inner0, inner1).
    const std::int64_t inner0 = std::clamp<std::int64_t>(-region.x0, 0, region.width);
    const std::int64_t inner1 =
        std::clamp<std::int64_t>(frame_width - region.x0, inner0, region.width);
    const std::int64_t first = std::clamp<std::int64_t>(region.x0, 0, frame_width - 1);
    std::int64_t prev_row = -1;
    for (int i = 0; i < region.height; ++i) {
        unsigned char* out = reinterpret_cast<unsigned char*>(buf + i * kPitch);
        const std::int64_t y = std::clamp<std::int64_t>(region.y0 + i, 0, frame_height - 1);
        if (y == prev_row) {
            copy_bytes(out, out - kPitch * sizeof(E), region.width * sizeof(E));
            continue;
        }
        prev_row = y;
        const unsigned char* row = plane + static_cast<std::ptrdiff_t>(y) * step_bytes;
        if (inner0 > 0) fill_bytes(out, splat<E>(row), inner0 * sizeof(E));
        if (inner1 < region.width)
            fill_bytes(out + inner1 * sizeof(E), splat<E>(row + (frame_width - 1) * sizeof(E)),
                       (region.width - inner1) * sizeof(E));
        copy_bytes(out + inner0 * sizeof(E), row + first * sizeof(E),
                   (inner1 - inner0) * sizeof(E));
    }
}

}  // namespace opx::h264::edge
