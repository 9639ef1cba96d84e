// AVX2 MPEG-2 quantisers, scans and zero count.
//
// Inverse quantisers work on 16 coefficients per register with unsigned 16-bit products: with
// M = W × scale (exact in 16 bits, unsigned, for every weight when 0 <= W × scale <= 65535, which
// covers every conforming stream: 255 × 112 = 28560) and h = M >> 1 for non-intra blocks (0 for
// intra), the magnitude of ((2c + sign c) × M) / 32, resp. (2c × M) / 32, is
//   (|c| × M + h) >> 4           (2|c|M + M is odd when M is, so the halving loses nothing),
// and it saturates exactly when |c| × M + h >= 32768 (magnitude 2048): the high half of the
// product being nonzero, or the low half plus h reaching 32768 (added with unsigned saturation).
// Weights or scales outside that range take the portable kernel.
//
// Forward quantisers multiply in single precision exactly as the rule reads (two roundings; the
// rule has products only, so there is nothing a compiler could fuse into a multiply-add, and no
// FMA instruction is used) and clamp in float before the conversion.
//
// Scans permute 64 coefficients held in four registers. The permutation is compiled from the scan
// table into a plan: for each output register, pairs of 128-bit source lanes are brought into
// its low and high lane (a blend of the input registers and their lane-swapped copies, or none
// when a register already holds them in place), a byte shuffle picks the coefficients that come
// from them, and the pieces are ORed.
#include <immintrin.h>

#include <utility>

#include "frame/dispatch.hpp"
#include "mpeg2/quant.hpp"

namespace opx::mpeg2::avx2 {
namespace {

OPX_INLINE __m256i load16(const Opx16s* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
OPX_INLINE void store16(Opx16s* p, __m256i v) noexcept {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// One "coefficient is zero" bit per coefficient of two registers of 16, in coefficient order.
OPX_INLINE std::uint32_t zero_mask(__m256i a, __m256i b) noexcept {
    const __m256i z = _mm256_setzero_si256();
    const __m256i bytes = _mm256_packs_epi16(_mm256_cmpeq_epi16(a, z), _mm256_cmpeq_epi16(b, z));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_permute4x64_epi64(bytes, _MM_SHUFFLE(3, 1, 2, 0))));
}

// ---- forward quantisation ----------------------------------------------------------------------

// Eight levels as 32-bit lanes. min/max return their second operand when either is NaN, so a NaN
// passes the clamp and converts to INT32_MIN, which no level can be.
OPX_INLINE __m256i levels8(const Opx16s* c, const float* inv, __m256 k) noexcept {
    const __m128i c16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    __m256 x = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(c16)), k);
    x = _mm256_mul_ps(x, _mm256_loadu_ps(inv));
    x = _mm256_max_ps(_mm256_set1_ps(-2047.0f), _mm256_min_ps(_mm256_set1_ps(2047.0f), x));
    return _mm256_cvttps_epi32(x);
}

// Number of zero values among 32 coefficients (two registers; any order).
OPX_INLINE int zeros32(__m256i a, __m256i b) noexcept {
    const __m256i z = _mm256_setzero_si256();
    const __m256i bytes = _mm256_packs_epi16(_mm256_cmpeq_epi16(a, z), _mm256_cmpeq_epi16(b, z));
    return _mm_popcnt_u32(static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes)));
}

template <int First>
int quant_table(Opx16s* block, std::int32_t scale, const float* inv) noexcept {
    const __m256 k = _mm256_set1_ps(16.0f / static_cast<float>(scale));
    const Opx16s dc = block[0];
    const __m256i nan = _mm256_set1_epi16(-32768);
    __m256i out[4];
    for (int g = 0; g < 4; ++g) {
        const __m256i a = levels8(block + 16 * g, inv + 16 * g, k);
        const __m256i b = levels8(block + 16 * g + 8, inv + 16 * g + 8, k);
        // packs interleaves the 128-bit lanes of a and b; levels fit, a NaN saturates to -32768.
        __m256i v = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
        v = _mm256_andnot_si256(_mm256_cmpeq_epi16(v, nan), v);       // NaN -> 0
        if (First == 1 && g == 0) v = _mm256_insert_epi16(v, dc, 0);  // the intra DC stays
        out[g] = v;
        store16(block + 16 * g, v);
    }
    const int zeros = zeros32(out[0], out[1]) + zeros32(out[2], out[3]);
    // Intra: the DC is not counted.
    return 64 - zeros - (First == 1 && dc != 0 ? 1 : 0);
}

int quant_flat(Opx16s* block, std::int32_t scale) noexcept {
    // Q <= 32768 fits an unsigned 16-bit lane; (|c| × Q) >> 16 is the high half of the product.
    const bool divide = scale >= 2;
    const __m256i q =
        _mm256_set1_epi16(static_cast<short>(divide ? (scale / 2 + 65536) / scale : 0));
    const __m256i limit = _mm256_set1_epi16(2047);
    __m256i out[4];
    for (int g = 0; g < 4; ++g) {
        const __m256i c = load16(block + 16 * g);
        __m256i mag = _mm256_abs_epi16(c);  // -32768 gives 32768 as an unsigned lane
        if (divide) mag = _mm256_mulhi_epu16(mag, q);
        out[g] = _mm256_sign_epi16(_mm256_min_epu16(mag, limit), c);
        store16(block + 16 * g, out[g]);
    }
    return 64 - zeros32(out[0], out[1]) - zeros32(out[2], out[3]);
}

// ---- inverse quantisation ----------------------------------------------------------------------

// Sixteen reconstructed values from coefficients c and products M = W × scale (see the header).
template <bool Intra>
OPX_INLINE __m256i dequant16(__m256i c, __m256i m) noexcept {
    const __m256i a = _mm256_abs_epi16(c);
    __m256i lo = _mm256_mullo_epi16(a, m);
    if constexpr (!Intra) lo = _mm256_adds_epu16(lo, _mm256_srli_epi16(m, 1));
    const __m256i hi = _mm256_min_epu16(_mm256_mulhi_epu16(a, m), _mm256_set1_epi16(1));
    // (lo >> 4) | (hi << 12): exact below 4096, at least 4096 whenever it saturates.
    const __m256i mag = _mm256_or_si256(_mm256_srli_epi16(lo, 4), _mm256_slli_epi16(hi, 12));
    // Saturation: 2047 for positive, 2048 for negative coefficients.
    const __m256i limit = _mm256_sub_epi16(_mm256_set1_epi16(2047), _mm256_srai_epi16(c, 15));
    return _mm256_sign_epi16(_mm256_min_epu16(mag, limit), c);
}

// Mismatch control over the four result registers: the parity of the sum is the parity of the
// number of odd values.
OPX_INLINE void mismatch_control(Opx16s* block, const __m256i f[4]) noexcept {
    const __m256i x = _mm256_xor_si256(_mm256_xor_si256(f[0], f[1]), _mm256_xor_si256(f[2], f[3]));
    const std::uint32_t odd = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_slli_epi16(x, 15)));  // bit 0 of each lane, in its high byte
    if ((_mm_popcnt_u32(odd) & 1) == 0) block[63] = static_cast<Opx16s>(block[63] ^ 1);
}

template <bool Intra, bool Flat>
OPX_INLINE void inv_fast(Opx16s* block, const __m256i m[4]) noexcept {
    const Opx16s dc = block[0];
    __m256i f[4];
    for (int g = 0; g < 4; ++g) f[g] = dequant16<Intra>(load16(block + 16 * g), m[Flat ? 0 : g]);
    if constexpr (Intra) f[0] = _mm256_insert_epi16(f[0], dc, 0);  // the DC passes through
    for (int g = 0; g < 4; ++g) store16(block + 16 * g, f[g]);
    mismatch_control(block, f);
}

template <bool Intra>
void inv_table(Opx16s* block, std::int32_t scale, const Opx16s* weights) noexcept {
    if (scale >= 0 && scale <= 65535) {
        const __m256i s = _mm256_set1_epi16(static_cast<short>(scale));
        __m256i m[4], over = _mm256_setzero_si256(), sign = _mm256_setzero_si256();
        for (int g = 0; g < 4; ++g) {
            const __m256i w = load16(weights + 16 * g);
            m[g] = _mm256_mullo_epi16(w, s);
            over = _mm256_or_si256(over, _mm256_mulhi_epu16(w, s));
            sign = _mm256_or_si256(sign, w);
        }
        over = _mm256_or_si256(over, _mm256_srai_epi16(sign, 15));
        if (_mm256_testz_si256(over, over)) {
            inv_fast<Intra, false>(block, m);
            return;
        }
    }
    Intra ? ref::kQuant.inv_intra(block, scale, weights)
          : ref::kQuant.inv_table(block, scale, weights);
}

void inv_flat(Opx16s* block, std::int32_t scale) noexcept {
    if (scale >= 0 && scale <= 4095) {  // 16 × scale in 16 bits
        const __m256i m[4] = {_mm256_set1_epi16(static_cast<short>(16 * scale))};
        inv_fast<false, true>(block, m);
        return;
    }
    ref::kQuant.inv_flat(block, scale);
}

// ---- scans -------------------------------------------------------------------------------------

// One shuffle step: 128-bit source lanes `lo` and `hi` (lane j holds coefficients 8j..8j+7;
// kNone: not used) brought into the low and high lane of output register `out`, then shuffled.
constexpr std::uint8_t kNone = 0xFF;
struct Step {
    std::uint8_t lo = kNone, hi = kNone, out = 0;
    alignas(32) std::int8_t mask[32] = {};
};
struct Plan {
    Step step[32];
    int n = 0;
};

// out[p] = in[from[p]], p = 0..63.
constexpr Plan make_plan(const std::uint8_t (&from)[64]) noexcept {
    Plan plan{};
    for (int m = 0; m < 4; ++m) {
        bool need[2][8] = {};
        for (int h = 0; h < 2; ++h)
            for (int j = 0; j < 8; ++j) need[h][from[16 * m + 8 * h + j] / 8] = true;
        std::uint8_t pairs[8][2] = {};
        int n = 0;
        // Lanes already in place in a source register (2q low, 2q + 1 high) go first.
        for (int q = 0; q < 4; ++q) {
            if (need[0][2 * q] && need[1][2 * q + 1]) {
                pairs[n][0] = static_cast<std::uint8_t>(2 * q);
                pairs[n][1] = static_cast<std::uint8_t>(2 * q + 1);
                ++n;
                need[0][2 * q] = need[1][2 * q + 1] = false;
            }
        }
        std::uint8_t rest[2][8] = {};
        int count[2] = {0, 0};
        for (int h = 0; h < 2; ++h)
            for (int l = 0; l < 8; ++l)
                if (need[h][l]) rest[h][count[h]++] = static_cast<std::uint8_t>(l);
        for (int t = 0; t < count[0] || t < count[1]; ++t, ++n) {
            pairs[n][0] = t < count[0] ? rest[0][t] : kNone;
            pairs[n][1] = t < count[1] ? rest[1][t] : kNone;
        }
        for (int t = 0; t < n; ++t) {
            Step& s = plan.step[plan.n++];
            s.lo = pairs[t][0];
            s.hi = pairs[t][1];
            s.out = static_cast<std::uint8_t>(m);
            for (int h = 0; h < 2; ++h) {
                const std::uint8_t lane = h ? s.hi : s.lo;
                for (int j = 0; j < 8; ++j) {
                    const int src = from[16 * m + 8 * h + j];
                    const bool take = src / 8 == lane;
                    s.mask[16 * h + 2 * j] = take ? static_cast<std::int8_t>(2 * (src % 8)) : -128;
                    s.mask[16 * h + 2 * j + 1] =
                        take ? static_cast<std::int8_t>(2 * (src % 8) + 1) : -128;
                }
            }
        }
    }
    return plan;
}

struct Inverse {
    std::uint8_t v[64];
};
constexpr Inverse invert(const std::uint8_t (&scan)[64]) noexcept {
    Inverse r{};
    for (int k = 0; k < 64; ++k) r.v[scan[k]] = static_cast<std::uint8_t>(k);
    return r;
}
inline constexpr Inverse kInverseScans[kNumScans] = {invert(kScans[0]), invert(kScans[1]),
                                                     invert(kScans[2])};

// The plan of a scan (Inverse: raster order from scan order), a variable of its own so that it
// can be a template argument.
template <int Scan, bool Inverse>
struct PlanOf {
    static constexpr Plan value = make_plan(Inverse ? kInverseScans[Scan].v : kScans[Scan]);
};

// The source register of a step, from the input registers and their lane-swapped copies: one of
// them when it holds both lanes in place, else a blend of the two that hold them (a blend is no
// shuffle, so the shuffle unit does one lane swap per input register and one byte shuffle per
// step). An unused half is whatever comes cheapest; its mask bytes clear it.
template <const Plan& P, int I>
OPX_INLINE __m256i source(const __m256i in[4], const __m256i sw[4]) noexcept {
    constexpr Step s = P.step[I];
    // The register whose low lane is lane l, and the one whose high lane is lane l.
    constexpr auto low = [](int l) { return std::pair<bool, int>{l % 2 == 0, l / 2}; };
    constexpr auto high = [](int l) { return std::pair<bool, int>{l % 2 == 1, l / 2}; };
    if constexpr (s.lo == kNone) {
        constexpr auto h = high(s.hi);
        return h.first ? in[h.second] : sw[h.second];
    } else if constexpr (s.hi == kNone) {
        constexpr auto l = low(s.lo);
        return l.first ? in[l.second] : sw[l.second];
    } else {
        constexpr auto l = low(s.lo);
        constexpr auto h = high(s.hi);
        const __m256i x = l.first ? in[l.second] : sw[l.second];
        if constexpr (l == h) return x;
        const __m256i y = h.first ? in[h.second] : sw[h.second];
        return _mm256_blend_epi32(x, y, 0xF0);
    }
}

template <const Plan& P, int I>
OPX_INLINE void apply_step(const __m256i in[4], const __m256i sw[4], __m256i out[4]) noexcept {
    if constexpr (I < P.n) {
        constexpr int o = P.step[I].out;
        const __m256i mask = _mm256_load_si256(reinterpret_cast<const __m256i*>(P.step[I].mask));
        out[o] = _mm256_or_si256(out[o], _mm256_shuffle_epi8(source<P, I>(in, sw), mask));
    }
}

template <const Plan& P, std::size_t... I>
OPX_INLINE void permute(const __m256i in[4], __m256i out[4], std::index_sequence<I...>) noexcept {
    __m256i sw[4];  // unused copies are dropped by the compiler
    for (int g = 0; g < 4; ++g) {
        sw[g] = _mm256_permute4x64_epi64(in[g], _MM_SHUFFLE(1, 0, 3, 2));
        out[g] = _mm256_setzero_si256();
    }
    (apply_step<P, static_cast<int>(I)>(in, sw, out), ...);
}

OPX_INLINE __m256i lane_index(int g) noexcept {
    return _mm256_add_epi16(_mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                            _mm256_set1_epi16(static_cast<short>(16 * g)));
}

template <int Scan>
void scan_fwd(const Opx16s* src, Opx16s* dst, int count) noexcept {
    __m256i in[4], out[4];
    for (int g = 0; g < 4; ++g) in[g] = load16(src + 16 * g);
    permute<PlanOf<Scan, false>::value>(in, out, std::make_index_sequence<32>{});
    if (count < 20) {
        // Walk with an early stop: everything after the count-th nonzero value is cleared.
        const std::uint64_t nonzero = ~(std::uint64_t{zero_mask(out[0], out[1])} |
                                        (std::uint64_t{zero_mask(out[2], out[3])} << 32));
        if (_mm_popcnt_u64(nonzero) > static_cast<unsigned>(count)) {
            // The count-th set bit: the position of the last value kept.
            const std::uint64_t bit = _pdep_u64(std::uint64_t{1} << (count - 1), nonzero);
            const __m256i last = _mm256_set1_epi16(static_cast<short>(_tzcnt_u64(bit)));
            for (int g = 0; g < 4; ++g)
                out[g] = _mm256_andnot_si256(_mm256_cmpgt_epi16(lane_index(g), last), out[g]);
        }
    }
    for (int g = 0; g < 4; ++g) store16(dst + 16 * g, out[g]);
}

template <int Scan>
void scan_inv(const Opx16s* src, Opx16s* dst, int last) noexcept {
    __m256i in[4], out[4];
    const __m256i l = _mm256_set1_epi16(static_cast<short>(last));
    for (int g = 0; g < 4; ++g)
        in[g] = _mm256_andnot_si256(_mm256_cmpgt_epi16(lane_index(g), l), load16(src + 16 * g));
    permute<PlanOf<Scan, true>::value>(in, out, std::make_index_sequence<32>{});
    for (int g = 0; g < 4; ++g) store16(dst + 16 * g, out[g]);
}

std::uint32_t count_zeros(const Opx16s* block) noexcept {
    return static_cast<std::uint32_t>(zeros32(load16(block), load16(block + 16)) +
                                      zeros32(load16(block + 32), load16(block + 48)));
}

}  // namespace

const QuantKernels kQuant = {
    quant_table<1>,
    quant_table<0>,
    quant_flat,
    inv_table<true>,
    inv_table<false>,
    inv_flat,
    {scan_fwd<kScanZigzag>, scan_fwd<kScanAltVertical>, scan_fwd<kScanAltHorizontal>},
    {scan_inv<kScanZigzag>, scan_inv<kScanAltVertical>, scan_inv<kScanAltHorizontal>},
    count_zeros,
};

}  // namespace opx::mpeg2::avx2
