// Denoising: edge-preserving smoothing, the adaptive temporal filter and the mosquito-noise
// filter. State records, kernel signatures, the per-sample rules shared by the portable rows
// and the AVX2 edges and tails, the plane walks and the kernel table.
//
// Contract of every kernel: arguments already checked (pointers valid, the region inside the
// picture and at least 1 × 3 samples, the work buffer large enough, the mode 0..3, the state
// matching the region and window); reads only the pictures (the smoothing filter and the
// adaptive filter within the picture, the mosquito filter within the region) and the state,
// writes only the region of the destination and the work buffer or state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "opxvc.h"
#include "vpp/deinterlace.hpp"  // row_of, copy_row

// The adaptive filter's state: the window half-sizes and region size it was made for, and the
// reciprocal table T[0 .. 3(2n + 1)²] (one spare entry after it, so that a 32-bit gather of the
// last entry stays inside the allocation).
struct OpxDenoiseAdaptiveState {
    Opx32s mask_width, mask_height;
    Opx32s roi_width, roi_height;
    Opx16u* table;
};

// The mosquito filter's state: a header at the first 16-byte boundary of its allocation, then
// the block records and the padded copy of the region. kMosquitoHeaderBytes + 15 bytes of
// alignment slack make the fixed 495 bytes of the allocation.
struct OpxDenoiseMosquitoState {
    Opx32s width, height;
    Opx32s tune[13];
    Opx32s reserved;
    void* allocation;      // what opxMalloc returned, for Free
    unsigned char* blocks; // one 20-byte record per 8×8 block
    Opx8u* samples;        // (width + 8) × (height + 8): the region with 4 replicated samples around
};

namespace opx::vpp {

inline constexpr std::int64_t kMosquitoHeaderBytes = 480;
static_assert(sizeof(OpxDenoiseMosquitoState) <= kMosquitoHeaderBytes);

// The tuning constants in the state's order, and what each one does in mosquito().
enum MosquitoTune {
    kTuneBlockWidth,      // 8
    kTuneBlockHeight,     // 8
    kTuneSimilarMin,      // 4: floor of the similarity threshold
    kTuneSimilarMax,      // 12: cap of the similarity threshold
    kTuneActivityDiv,     // 16: similarity threshold = activity / 16, clamped
    kTuneMaxChange,       // 4: largest change of a sample
    kTuneEdgeActivity,    // 32: least activity (max − min) of an edge block
    kTuneMinSimilar,      // 1: least number of similar neighbours for a sample to change
    kTuneSampleMotion,    // 32: a sample whose |current − previous| exceeds this is kept
    kTuneBlockMotion,     // 20: a block whose mean |current − previous| exceeds this is kept
    kTuneCentreWeight,    // 2: weight of the sample itself in the average
    kTuneEdgeRange,       // 16: a sample whose 3×3 range reaches this is an edge sample (kept)
    kTuneMinEdgeSamples,  // 6: least number of edge samples of an edge block
    kNumTune
};
inline constexpr Opx32s kMosquitoTune[kNumTune] = {8, 8, 4, 12, 16, 4, 32, 1, 32, 20, 2, 16, 6};

// Reciprocals of the smoothing filter's averages, T[n] for n = 1..9 (entry 0 unused).
extern const Opx16u kSmoothReciprocal[10];

// A rectangle of a picture: x0 ≤ x < x1, y0 ≤ y < y1 (checked to lie inside the picture).
struct Region {
    int x0, y0, x1, y1;
};

// ---- per-sample rules --------------------------------------------------------------------------

// The box mean F at picture position (y, x), whole 3×3 neighbourhood inside the picture:
// ((Σ + 5) × 7281) >> 16, at most 2300 × 7281 >> 16 = 255.
inline Opx8u box_sample(const Opx8u* s, std::int32_t step, int y, int x) noexcept {
    int sum = 0;
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) sum += row_of(s, y + j, step)[x + i];
    return static_cast<Opx8u>(((sum + 5) * 7281) >> 16);
}

// Map entry from F at (y, x), (y, x+1) (row f0) and (y+1, x), (y+1, x+1) (row f1).
inline Opx8u map_sample(const Opx8u* f0, const Opx8u* f1, std::ptrdiff_t i,
                        std::int32_t threshold) noexcept {
    auto absd = [](int a, int b) { return a > b ? a - b : b - a; };
    return (absd(f0[i], f1[i + 1]) >= threshold || absd(f0[i + 1], f1[i]) >= threshold) ? 255 : 0;
}

// Smoothed sample at column i of rows s0..s2 with map rows m0..m2 (m1[i] is its own entry).
inline Opx8u smooth_sample(const Opx8u* const s[3], const Opx8u* const m[3],
                           std::ptrdiff_t i) noexcept {
    if (m[1][i] != 0) return s[1][i];
    int n = 1, sum = s[1][i];
    for (int j = 0; j < 3; ++j)
        for (std::ptrdiff_t d = -1; d <= 1; ++d)
            if ((j != 1 || d != 0) && m[j][i + d] == 0) ++n, sum += s[j][i + d];
    const int v = (sum * kSmoothReciprocal[n]) >> 16;
    return static_cast<Opx8u>(v < 255 ? v : 255);
}

struct AdaptiveArgs {
    const Opx8u* prev;
    const Opx8u* cur;
    const Opx8u* next;
    std::int32_t src_step;
    Opx8u* dst;
    std::int32_t dst_step;
    int width, height;  // the picture
    Region roi;
    int mw, mh;  // window half-sizes
    std::int32_t threshold;
    int mode;
    const Opx16u* table;
};

// The adaptive rule at (y, x), not in the picture's outer ring. Sums in 64 bits: the window may
// be as large as the picture.
inline Opx8u adaptive_sample(const AdaptiveArgs& a, int y, int x) noexcept {
    const int y0 = y - a.mh < 0 ? 0 : y - a.mh, y1 = y + a.mh > a.height - 1 ? a.height - 1 : y + a.mh;
    const int x0 = x - a.mw < 0 ? 0 : x - a.mw, x1 = x + a.mw > a.width - 1 ? a.width - 1 : x + a.mw;
    const int c = row_of(a.cur, y, a.src_step)[x];
    std::int64_t sc = 0, sp = 0, sn = 0, np = 0, nn = 0;
    for (int j = y0; j <= y1; ++j) {
        const Opx8u* p = row_of(a.prev, j, a.src_step);
        const Opx8u* q = row_of(a.cur, j, a.src_step);
        const Opx8u* r = row_of(a.next, j, a.src_step);
        for (int i = x0; i <= x1; ++i) {
            sc += q[i];
            const int dp = p[i] > c ? p[i] - c : c - p[i];
            const int dn = r[i] > c ? r[i] - c : c - r[i];
            if (dp < a.threshold) sp += p[i], ++np;
            if (dn < a.threshold) sn += r[i], ++nn;
        }
    }
    const std::int64_t n = std::int64_t{y1 - y0 + 1} * (x1 - x0 + 1);
    std::int64_t s = sc, k = n;
    if (np + nn != 0) {
        const int pp = row_of(a.prev, y, a.src_step)[x], pn = row_of(a.next, y, a.src_step)[x];
        s += (a.mode & 1) ? sp : pp;
        s += (a.mode & 2) ? sn : pn;
        k += ((a.mode & 1) ? np : 1) + ((a.mode & 2) ? nn : 1);
    }
    return static_cast<Opx8u>((static_cast<std::uint64_t>(s) * a.table[k]) >> 16);
}

// ---- kernels -----------------------------------------------------------------------------------

// F over n columns: f[i] = box mean centred on column i of rows a (above), b, c (below).
using BoxRowFn = void (*)(const Opx8u* a, const Opx8u* b, const Opx8u* c, Opx8u* f,
                          std::ptrdiff_t n) noexcept;
// Map entries m[i] = map_sample(f0, f1, i), i < n.
using MapRowFn = void (*)(const Opx8u* f0, const Opx8u* f1, Opx8u* m, std::ptrdiff_t n,
                          std::int32_t threshold) noexcept;
// Smoothed samples dst[i] = smooth_sample(s, m, i), i < n.
using SmoothRowFn = void (*)(const Opx8u* const s[3], const Opx8u* const m[3], Opx8u* dst,
                             std::ptrdiff_t n) noexcept;
// The adaptive rule on columns x0 ≤ x < x1 of row y (none in the picture's outer ring).
using AdaptiveRowFn = void (*)(const AdaptiveArgs& a, int y, int x0, int x1) noexcept;

struct DenoiseKernels {
    BoxRowFn box_row;
    MapRowFn map_row;
    SmoothRowFn smooth_row;
    AdaptiveRowFn adaptive_row;
};

namespace ref {
extern const DenoiseKernels kDenoise;
}
namespace avx2 {
extern const DenoiseKernels kDenoise;
}

// ---- plane walks -------------------------------------------------------------------------------

// Work buffer bytes of the smoothing filter for a region of rw × rh.
inline std::int64_t smooth_work_bytes(std::int64_t rw, std::int64_t rh) noexcept {
    return 2 * (rw + 3) * (rh + 3);
}

void smooth(const DenoiseKernels& k, const Opx8u* src, std::int32_t src_step, Opx8u* dst,
            std::int32_t dst_step, int width, int height, Region roi, std::int32_t threshold,
            Opx8u* work) noexcept;

void adaptive(const DenoiseKernels& k, const AdaptiveArgs& a) noexcept;

// The mosquito filter (portable only: it touches the samples of edge blocks alone).
void mosquito(const Opx8u* cur, const Opx8u* prev, std::int32_t src_step, Opx8u* dst,
              std::int32_t dst_step, Region roi, OpxDenoiseMosquitoState* state) noexcept;

}  // namespace opx::vpp
