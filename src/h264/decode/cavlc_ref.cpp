// Portable CAVLC and Exp-Golomb kernels, written step by step from clauses 9.1 and 9.2 with the
// word reading cursor of frame/bitstream.hpp. The oracle of the tests.
#include <cstdlib>

#include "frame/bitstream.hpp"
#include "h264/decode/cavlc.hpp"

namespace opx::h264::ref {
namespace {

using bits::WordReader;

constexpr int kMaxLeadingZeros = 32;  // longer zero runs are invalid codes

void write_back(const CavlcBlock& b, const WordReader& r) noexcept {
    *b.stream = const_cast<Opx32u*>(r.ptr());
    *b.offset = r.pos();
}

// One residual block, clause 9.2 (steps 1 to 8 of the family's rules).
template <class T, CavlcShape S>
OpxResult residual(const CavlcBlock& b, T** dst) noexcept {
    constexpr bool kFourByFour = S == CavlcShape::k4x4 || S == CavlcShape::kRange;
    WordReader r(*b.stream, *b.offset);

    // 1. coeff_token (clause 9.2.1)
    int tc, t1;
    if (kFourByFour && b.nc >= 8) {
        const std::uint32_t v = r.read(6);
        tc = v == 3 ? 0 : static_cast<int>(v >> 2) + 1;
        t1 = v == 3 ? 0 : static_cast<int>(v & 3);
    } else {
        const Opx32s* table = b.coeff_token[kFourByFour ? coeff_token_class(b.nc) : 0];
        if (!table) return opxErrNullPtr;  // nothing read yet
        std::int32_t payload;
        if (!bits::vlc_walk(r, table, payload)) return opxErrH264VlcCode;
        tc = (payload >> 8) & 0xFF;
        t1 = payload & 0xFF;
    }
    // A pair that no table of the standard holds would index outside the block.
    if (t1 > 3 || t1 > tc) return opxErrH264VlcCode;
    const int capacity = b.end - b.start + 1;
    if (S == CavlcShape::kRange && capacity < 16 &&
        !remap_coeff_token(b.nc >= 8 ? 2 : coeff_token_class(b.nc), capacity, tc, t1))
        return opxErrH264VlcCode;
    if (tc > capacity) return opxErrH264VlcCode;

    // 3. TotalCoeff 0 ends the block.
    *b.num_coeff = static_cast<Opx16s>(tc);
    if (tc == 0) {
        write_back(b, r);
        return opxOk;
    }
    T* out = *dst;

    // 4. trailing ones, first bit for the highest-frequency coefficient
    std::int32_t level[16];
    if (t1 > 0) {
        const std::uint32_t signs = r.read(t1);
        for (int i = 0; i < t1; ++i) level[i] = (signs >> (t1 - 1 - i)) & 1 ? -1 : 1;
    }
    for (int i = 0; i < kCavlcBlockLength<S>; ++i) out[i] = 0;

    // 5. the other levels (clause 9.2.2)
    int suffix_length = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        const int level_prefix = r.leading_zeros(kMaxLeadingZeros);
        if (level_prefix < 0) return opxErrH264VlcCode;
        std::int64_t level_code = (level_prefix < 15 ? level_prefix : 15) << suffix_length;
        int suffix_size = suffix_length;
        if (level_prefix == 14 && suffix_length == 0) suffix_size = 4;
        if (level_prefix >= 15) suffix_size = level_prefix - 3;
        if (suffix_size > 0) level_code += r.read(suffix_size);
        if (level_prefix >= 15 && suffix_length == 0) level_code += 15;
        if (level_prefix >= 16) level_code += (std::int64_t{1} << (level_prefix - 3)) - 4096;
        if (i == t1 && t1 < 3) level_code += 2;
        // The 16-bit outputs hold levelCode in 16 bits (escape codes only reach beyond).
        if (sizeof(T) == 2) level_code &= 0xFFFF;
        const std::int32_t v = static_cast<std::int32_t>(
            level_code % 2 == 0 ? (level_code + 2) >> 1 : -((level_code + 1) >> 1));
        level[i] = v;
        if (suffix_length == 0) suffix_length = 1;
        if (std::abs(v) > (3 << (suffix_length - 1)) && suffix_length < 6) ++suffix_length;
    }

    // 6. total_zeros (clause 9.2.3)
    int total_zeros = 0;
    if (tc < capacity) {
        const Opx32s* table = b.total_zeros[total_zeros_index<S>(tc, capacity)];
        if (!table) {
            write_back(b, r);
            return opxErrNullPtr;
        }
        std::int32_t v;
        const bool ok = bits::vlc_walk(r, table, v);
        // The last coefficient must stay inside the block: start + total_zeros + tc - 1 <= end.
        if (!ok || v < 0 || v > capacity - tc) {
            if (S == CavlcShape::kRange) write_back(b, r);
            return opxErrH264VlcCode;
        }
        total_zeros = v;
    }

    // 7. run_before and placement (clause 9.2.4)
    int zeros_left = total_zeros;
    for (int i = 0; i < tc; ++i) {
        const int left = tc - i;
        int run = zeros_left;
        if (left >= 2 && zeros_left > 0) {
            const Opx32s* table = b.run_before[zeros_left];
            if (!table) {
                write_back(b, r);
                return opxErrNullPtr;
            }
            std::int32_t v;
            if (!bits::vlc_walk(r, table, v) || v < 0) {
                if (S == CavlcShape::kRange) write_back(b, r);
                return opxErrH264VlcCode;
            }
            run = v;
        }
        const int pos = b.start + zeros_left + left - 1;
        if constexpr (kFourByFour) {
            out[b.scan[pos] & 15] = static_cast<T>(level[i]);
        } else if constexpr (S == CavlcShape::kDc2x2) {
            out[pos] = static_cast<T>(level[i]);
        } else {
            out[kChroma422DcRaster[pos]] = static_cast<T>(level[i]);
        }
        zeros_left -= run < zeros_left ? run : zeros_left;
    }

    // 8.
    *dst = out + kCavlcBlockLength<S>;
    write_back(b, r);
    return opxOk;
}

// 4:2:0 chroma DC with the table-free shortcut for the two commonest codes: "1" (TotalCoeff 1,
// TrailingOnes 1) followed by the sign and the total_zeros code of TotalCoeff 1 (1, 01x, 001,
// 000 for 0..3), and "01" (TotalCoeff 0). Tables and the coefficient pointer are checked only
// on the general path.
OpxResult dc2x2_shortcut(const CavlcBlock& b, Opx16s** dst) noexcept {
    WordReader look(*b.stream, *b.offset);
    const std::uint32_t v = look.read(5);  // b4..b0, b4 first
    if (v & 0x10) {
        if (!dst || !*dst) return opxErrNullPtr;
        int total_zeros, used;
        if (v & 4) {
            total_zeros = 0, used = 3;
        } else if (v & 2) {
            total_zeros = 1, used = 4;
        } else {
            total_zeros = v & 1 ? 2 : 3, used = 5;
        }
        WordReader r(*b.stream, *b.offset);
        r.read(used);
        Opx16s* out = *dst;
        for (int i = 0; i < 4; ++i) out[i] = 0;
        out[total_zeros] = v & 8 ? -1 : 1;
        *b.num_coeff = 1;
        *dst = out + 4;
        write_back(b, r);
        return opxOk;
    }
    if (v & 8) {
        WordReader r(*b.stream, *b.offset);
        r.read(2);
        *b.num_coeff = 0;
        write_back(b, r);
        return opxOk;
    }
    if (!dst || !*dst || !b.coeff_token[0] || !b.total_zeros || !b.run_before) return opxErrNullPtr;
    return residual<Opx16s, CavlcShape::kDc2x2>(b, dst);
}

// Exp-Golomb, clause 9.1. Codes beyond the output's range (more than 16 or 31 leading zeros, up
// to 32) are passed over and give 0.
template <class T>
OpxResult exp_golomb(Opx32u** stream, Opx32s* offset, T* dst, bool is_signed) noexcept {
    WordReader r(*stream, *offset);
    const int zeros = r.leading_zeros(kMaxLeadingZeros);
    if (zeros < 0) return opxErrH264VlcCode;
    constexpr int kMaxZeros = sizeof(T) == 2 ? 16 : 31;
    std::int64_t value = 0;
    if (zeros > 0) {
        const std::uint32_t suffix = r.read(zeros);
        if (zeros <= kMaxZeros) {
            const std::int64_t code_num = (std::int64_t{1} << zeros) - 1 + suffix;
            if (!is_signed) {
                value = code_num;
            } else {
                const std::int64_t k = code_num + 1;
                value = k % 2 == 0 ? k / 2 : -(k >> 1);
            }
        }
    }
    *dst = static_cast<T>(value);
    *stream = const_cast<Opx32u*>(r.ptr());
    *offset = r.pos();
    return opxOk;
}

}  // namespace

extern const CavlcKernels kCavlc = {
    residual<Opx16s, CavlcShape::k4x4>,
    residual<Opx32s, CavlcShape::k4x4>,
    residual<Opx16s, CavlcShape::kRange>,
    dc2x2_shortcut,
    residual<Opx32s, CavlcShape::kDc2x2>,
    residual<Opx16s, CavlcShape::kDc2x4>,
    residual<Opx32s, CavlcShape::kDc2x4>,
    exp_golomb<Opx16s>,
    exp_golomb<Opx32s>,
    luma_entry<Opx16s, residual<Opx16s, CavlcShape::k4x4>>,
    luma_entry<Opx32s, residual<Opx32s, CavlcShape::k4x4>>,
};

}  // namespace opx::h264::ref
