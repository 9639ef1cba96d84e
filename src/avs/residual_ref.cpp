// Portable residual kernels of AVS part 2: the context-adaptive 2-D VLC block decoders, the 8×8
// dequantise + inverse transform + add kernels and the forward transform and quantiser, written
// per coefficient from the rules. The decoders and the forward quantiser serve the AVX2 table
// too (they are bit-serial or encoder-side and gain little from vectors).
#include <algorithm>
#include <cstdlib>

#include "avs/avs.hpp"
#include "avs/avs_tables.hpp"
#include "frame/bitstream.hpp"

namespace opx::avs::ref {
namespace {

// ---- block decoding ----------------------------------------------------------------------------

// Table switching of one block kind: table t covers absolute levels up to bound[t] (table 0 only
// the start, bound 0; the last table is unbounded, 65535); k_first[t] is the Exp-Golomb order of
// the first code of a coefficient while table t is in use, k_escape that of an escape's level.
struct KindRules {
    const VlcTable* tables;
    int last;
    std::uint16_t bound[7];
    std::uint8_t k_first[7];
    int k_escape;
};

constexpr KindRules kIntraRules{kIntraVlc, 6, {0, 1, 2, 4, 7, 10, 65535}, {2, 2, 2, 2, 2, 2, 2}, 1};
constexpr KindRules kInterRules{kInterVlc, 6, {0, 1, 2, 3, 6, 9, 65535}, {3, 2, 2, 2, 2, 2, 2}, 0};
constexpr KindRules kChromaRules{kChromaVlc, 4, {0, 1, 2, 4, 65535}, {2, 0, 1, 1, 0}, 0};

// Longest run of leading zeros of a valid code: more would need a code number beyond what a
// 16-bit level or a run below 64 can use.
constexpr int kMaxLeadingZeros = 24;

// Exp-Golomb code of order k: z leading zeros, a one bit, z + k bits; the code number is the
// number formed by the one bit and the z + k bits, minus 2^k. -1 for more than 24 zeros.
std::int64_t exp_golomb(bits::WordReader& r, int k) noexcept {
    const int z = r.leading_zeros(kMaxLeadingZeros);
    if (z < 0) return -1;
    const int n = z + k;
    const std::uint32_t tail = n ? r.read(n) : 0;
    return ((std::int64_t{1} << z) - 1) * (std::int64_t{1} << k) + tail;
}

OpxResult decode(const KindRules& rules, Opx32u** stream, Opx32s* offset, Opx32s* num, Opx16s* dst,
                 bool field) noexcept {
    bits::WordReader r(*stream, *offset);
    int table = 0, n = 0, count = 0;
    std::uint8_t runs[64];
    std::int16_t levels[64];
    for (;;) {
        const VlcTable& t = rules.tables[table];
        const std::int64_t c = exp_golomb(r, rules.k_first[table]);
        if (c < 0) return opxErrH264VlcCode;
        int run;
        std::int32_t level;
        if (c < kVlcCodes) {
            run = t.entry[c].run;
            level = t.entry[c].level;
            if (n + run > 63) break;  // end of block (run 64) or beyond the block
        } else {
            const std::int64_t esc_run = (c - kVlcCodes) >> 1;
            if (n + esc_run > 63) break;
            run = static_cast<int>(esc_run);
            const std::int64_t d = exp_golomb(r, rules.k_escape);
            if (d < 0) return opxErrH264VlcCode;
            const std::int64_t abs_level = d + (run <= t.max_run ? t.ref_abs_level[run] : 1);
            const bool negative = c & 1;
            if (abs_level > (negative ? 32768 : 32767)) return opxErrH264VlcCode;
            level = static_cast<std::int32_t>(negative ? -abs_level : abs_level);
        }
        runs[count] = static_cast<std::uint8_t>(run);
        levels[count] = static_cast<std::int16_t>(level);
        ++count;
        const int abs_level = std::abs(level);
        if (abs_level > rules.bound[table]) {
            while (table < rules.last && abs_level > rules.bound[table]) ++table;
        }
        n += run + 1;
    }
    *stream = const_cast<Opx32u*>(r.ptr());
    *offset = r.pos();
    std::fill(dst, dst + 64, Opx16s{0});
    *num = field ? 63 : n;
    // Coefficients are sent from the highest frequency towards DC.
    const std::uint8_t* scan = kScan[field ? 1 : 0];
    int s = -1;
    for (int i = count - 1; i >= 0; --i) {
        s += runs[i] + 1;
        dst[scan[s]] = levels[i];
    }
    return opxOk;
}

// ---- reconstruction ----------------------------------------------------------------------------

std::int16_t sat16(std::int64_t v) noexcept {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}

// Reads the top-left N×N coefficients (the others count as zero).
template <int N>
void recon(const Opx16s* coeff, int qp, Opx8u* dst, std::ptrdiff_t step) noexcept {
    const Dequant dq = kDequant[qp];
    std::int16_t w[8][8] = {};
    for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c)
            w[r][c] = sat16(
                (std::int64_t{coeff[r * 8 + c]} * dq.scale + (std::int64_t{1} << (dq.shift - 1))) >>
                dq.shift);
    // Horizontal stage H = W × T, (x + 4) >> 3.
    std::int16_t h[8][8];
    for (int r = 0; r < 8; ++r)
        for (int x = 0; x < 8; ++x) {
            std::int32_t s = 0;
            for (int c = 0; c < 8; ++c) s += w[r][c] * kTransform[c][x];
            h[r][x] = sat16((s + 4) >> 3);
        }
    // Vertical stage R = Tᵀ × H, (x + 64) >> 7, added to the prediction.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            std::int32_t s = 0;
            for (int r = 0; r < 8; ++r) s += kTransform[r][y] * h[r][x];
            const int v = dst[y * step + x] + ((s + 64) >> 7);
            dst[y * step + x] = static_cast<Opx8u>(std::clamp(v, 0, 255));
        }
}

}  // namespace

OpxResult decode_intra(Opx32u** s, Opx32s* o, Opx32s* n, Opx16s* d, bool f) noexcept {
    return decode(kIntraRules, s, o, n, d, f);
}
OpxResult decode_inter(Opx32u** s, Opx32s* o, Opx32s* n, Opx16s* d, bool f) noexcept {
    return decode(kInterRules, s, o, n, d, f);
}
OpxResult decode_chroma(Opx32u** s, Opx32s* o, Opx32s* n, Opx16s* d, bool f) noexcept {
    return decode(kChromaRules, s, o, n, d, f);
}

// Forward transform (V = T × X saturated to 16 bits, Y = (V × Tᵀ + 4) >> 3 in 32 bits), then
// level = ((|Y| × M >> 16) × Q[QP] + 10 × R) >> 19 with R 8456 (intra) or 4228, sign restored,
// clamped to 16 bits.
Opx32s fwd_quant(const Opx16s* src, Opx16s* dst, int qp, bool intra) noexcept {
    std::int16_t v[8][8];
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            std::int32_t s = 0;
            for (int k = 0; k < 8; ++k) s += kTransform[r][k] * src[k * 8 + c];
            v[r][c] = sat16(s);
        }
    const std::int64_t q = kQuantStep[qp];
    const std::int64_t dead = 10 * (intra ? 8456 : 4228);
    std::int16_t out[64];
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            std::int32_t s = 0;
            for (int k = 0; k < 8; ++k) s += v[r][k] * kTransform[c][k];
            const std::int32_t y = (s + 4) >> 3;
            const std::int64_t a = (std::int64_t{std::abs(y)} * kFwdNorm[r & 3][c & 3]) >> 16;
            const std::int64_t level = (a * q + dead) >> 19;
            out[r * 8 + c] = sat16(y < 0 ? -level : level);
        }
    Opx32s num = 0;
    for (int i = 0; i < 64; ++i) {
        dst[i] = out[i];
        if (out[kScan[0][i]] != 0) num = i + 1;
    }
    return num;
}

const ResidualKernels kResidual = {
    {decode_intra, decode_inter, decode_chroma},
    {recon<1>, recon<4>, recon<8>},
    fwd_quant,
};

}  // namespace opx::avs::ref
