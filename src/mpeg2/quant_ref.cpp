// Portable MPEG-2 quantisers, scans and zero count, written per coefficient from the rules.
#include <cstring>

#include "mpeg2/quant.hpp"

namespace opx::mpeg2::ref {
namespace {

// ---- forward quantisation --------------------------------------------------------------------

// The level of a scaled coefficient: clamped in float (a NaN fails both comparisons and the
// equality test and gives 0), then truncated toward zero.
int level_of(float x) noexcept {
    if (x != x) return 0;
    if (x > 2047.0f) return 2047;
    if (x < -2047.0f) return -2047;
    return static_cast<int>(x);
}

// Positions First..63 quantised with the reciprocal table; position 0 of intra blocks (the DC,
// First = 1) is left as it is.
template <int First>
int quant_table(Opx16s* block, std::int32_t scale, const float* inv) noexcept {
    const float k = 16.0f / static_cast<float>(scale);
    int count = 0;
    for (int i = First; i < 64; ++i) {
        const float scaled = static_cast<float>(block[i]) * k;
        const float weighted = scaled * inv[i];
        const int level = level_of(weighted);
        block[i] = static_cast<Opx16s>(level);
        count += level != 0;
    }
    return count;
}

// Flat weights: the 16.16 reciprocal, not a division (45 with scale 3 gives 14, not 15).
int quant_flat(Opx16s* block, std::int32_t scale) noexcept {
    int count = 0;
    for (int i = 0; i < 64; ++i) {
        const std::int32_t c = block[i];
        std::int32_t level;
        if (scale >= 2) {
            const std::int32_t q = (scale / 2 + 65536) / scale;     // at most 32768
            const std::int32_t mag = ((c < 0 ? -c : c) * q) >> 16;  // |c| × q <= 2^30
            level = c < 0 ? -mag : mag;
        } else {
            level = c;  // scale 1, and negative scales taken as 1
        }
        if (level > 2047) level = 2047;
        if (level < -2047) level = -2047;
        block[i] = static_cast<Opx16s>(level);
        count += level != 0;
    }
    return count;
}

// ---- inverse quantisation (H.262 clause 7.4.2) ------------------------------------------------

int sign(std::int64_t v) noexcept {
    return (v > 0) - (v < 0);
}

// Mismatch control, clause 7.4.4: an even sum of the 64 values flips bit 0 of the last one.
void mismatch_control(Opx16s* block) noexcept {
    std::int32_t sum = 0;
    for (int i = 0; i < 64; ++i) sum += block[i];
    if ((sum & 1) == 0) block[63] = static_cast<Opx16s>(block[63] ^ 1);
}

// In 64 bits every product is exact: |2c + sign c| <= 65537, |W| <= 32768, |scale| < 2^31.
template <bool Intra>
void inv(Opx16s* block, std::int32_t scale, const Opx16s* weights) noexcept {
    for (int i = Intra ? 1 : 0; i < 64; ++i) {
        const std::int64_t c = block[i];
        const std::int64_t w = weights ? weights[i] : 16;
        const std::int64_t k = Intra ? 2 * c : 2 * c + sign(c);
        std::int64_t f = k * w * scale / 32;  // truncates toward zero
        if (f > 2047) f = 2047;
        if (f < -2048) f = -2048;
        block[i] = static_cast<Opx16s>(f);
    }
    mismatch_control(block);
}

void inv_flat(Opx16s* block, std::int32_t scale) noexcept {
    inv<false>(block, scale, nullptr);
}

// ---- scans -------------------------------------------------------------------------------------

// The source is copied first, so that in-place calls read the block as it was.
template <int Scan>
void scan_fwd(const Opx16s* src, Opx16s* dst, int count) noexcept {
    Opx16s in[64];
    std::memcpy(in, src, sizeof in);
    const std::uint8_t* scan = kScans[Scan];
    if (count >= 20) {
        for (int k = 0; k < 64; ++k) dst[k] = in[scan[k]];
        return;
    }
    // Few coefficients: walk the scan and stop after the count-th nonzero value.
    std::memset(dst, 0, 64 * sizeof(Opx16s));
    int written = 0;
    for (int k = 0; k < 64 && written < count; ++k) {
        const Opx16s v = in[scan[k]];
        if (v != 0) {
            dst[k] = v;
            ++written;
        }
    }
}

template <int Scan>
void scan_inv(const Opx16s* src, Opx16s* dst, int last) noexcept {
    Opx16s in[64];
    std::memcpy(in, src, sizeof in);
    const std::uint8_t* scan = kScans[Scan];
    std::memset(dst, 0, 64 * sizeof(Opx16s));
    dst[0] = in[0];
    for (int k = 1; k <= last; ++k) dst[scan[k]] = in[k];
}

std::uint32_t count_zeros(const Opx16s* block) noexcept {
    std::uint32_t n = 0;
    for (int i = 0; i < 64; ++i) n += block[i] == 0;
    return n;
}

}  // namespace

const QuantKernels kQuant = {
    quant_table<1>,
    quant_table<0>,
    quant_flat,
    inv<true>,
    inv<false>,
    inv_flat,
    {scan_fwd<kScanZigzag>, scan_fwd<kScanAltVertical>, scan_fwd<kScanAltHorizontal>},
    {scan_inv<kScanZigzag>, scan_inv<kScanAltVertical>, scan_inv<kScanAltHorizontal>},
    count_zeros,
};

}  // namespace opx::mpeg2::ref
