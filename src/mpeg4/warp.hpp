// MPEG-4 sprite warping and global motion compensation (ISO/IEC 14496-2 clause 7.8): the warp
// record, its set-up and the per-sample maps, and sprite brightness change.
//
// Positions are kept in 1/16 sample (luminance or chrominance) and all set-up arithmetic is in
// 64-bit integers (128-bit for the perspective products), so sprites up to 8191 samples wide with
// any displacement neither overflow nor shift negative values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace opx::mpeg4 {

inline constexpr std::uint32_t kIdWarp = 0x434D4151;
inline constexpr std::int32_t kWarpSize = 384;

struct WarpRecord {
    std::uint32_t id;
    std::int32_t rounding;     // r used: the caller's value unless the sprite is static (then 0)
    std::int32_t quarter;      // 1: quarter-sample vectors
    std::int32_t points;       // 0..4
    std::int32_t accuracy;     // a: 0..3 (1/2 .. 1/16 sample)
    std::int32_t sprite_type;  // 1 static sprite, else GMC
    std::int32_t mv_lo, mv_hi;
    std::int32_t sx, sy, sw, sh;  // luminance sprite rectangle
    std::int32_t cx, cy, cw, ch;  // chrominance sprite rectangle
    std::int32_t vx, vy, vw, vh;  // VOP rectangle
    std::int32_t k;               // interpolation constant 128 − (r << (3 − a))
    std::int32_t e;               // exponent of the affine coefficients
    std::int64_t i0, j0;          // first warped point, 1/16 luminance sample
    std::int64_t ci0, cj0;        // one point: chrominance counterpart, 1/16 chrominance sample
    std::int64_t fx, fy, gx, gy;  // affine coefficients (two and three points)
    std::int64_t corner[8];       // four points: warped corners i0' j0' .. i3' j3' in 1/s sample
};
static_assert(sizeof(WarpRecord) + 15 <= kWarpSize);

// Floor of x / 2^n for any sign (a defined arithmetic right shift).
constexpr std::int64_t asr(std::int64_t x, int n) noexcept {
    return x >= 0 ? (x >> n) : ~((~x) >> n);
}

struct WarpKernels {
    // Luminance (chroma false) or one chrominance plane (chroma true) of the rectangle
    // (x, y, w, h) in absolute coordinates; writes w x h samples, reads only inside the sprite
    // rectangle of the plane.
    void (*warp)(const WarpRecord& r, bool chroma, const Opx8u* src, std::ptrdiff_t ss, Opx8u* dst,
                 std::ptrdiff_t ds, int x, int y, int w, int h);
    // Brightness change of a region with factor f (1024: unchanged).
    void (*brightness)(Opx8u* p, std::ptrdiff_t step, int w, int h, int f);
};

namespace ref {
extern const WarpKernels kWarp;
// Warped position (F, G) in 1/16 sample relative to the plane's sprite origin (the rule shared by
// the warps and the global vector).
void warp_position(const WarpRecord& r, bool chroma, std::int64_t i, std::int64_t j,
                   std::int64_t* f, std::int64_t* g) noexcept;
}  // namespace ref

namespace avx2 {
extern const WarpKernels kWarp;
}  // namespace avx2

}  // namespace opx::mpeg4
