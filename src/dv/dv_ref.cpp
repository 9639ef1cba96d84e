// Portable DV kernels, written from the rules: code words matched against the code table row by
// row, quantisers per coefficient.
#include "dv/dv.hpp"
#include "dv/segment_impl.hpp"

namespace opx::dv::ref {
namespace {

// The code word at the head of the 16-bit window `w` (bit 15 first), found by comparing the rows
// of the table; escapes take their fields from the window.
struct TableCodes {
    using Reader = ByteReader;
    std::uint32_t peek16(const Opx8u* seg, int pos) const noexcept {
        return peek16_bytes(seg, pos);
    }
    static Decoded decode(std::uint32_t w) noexcept {
        for (int i = 0; i < kNumCodes; ++i) {
            const Code& c = kCodes[i];
            if ((w >> (16 - c.length)) != c.bits) continue;
            switch (c.kind) {
                case CodeKind::kSigned: {
                    const bool negative = (w >> (15 - c.length)) & 1;
                    return {c.length + 1, c.run, negative ? -c.amp : c.amp, false};
                }
                case CodeKind::kZeroRun:
                    return {c.length, c.run, 0, false};
                case CodeKind::kEob:
                    return {c.length, 0, 0, true};
                case CodeKind::kRunEscape:  // 1111110 rrrrrr
                    return {13, static_cast<int>((w >> 3) & 63), 0, false};
                case CodeKind::kAmpEscape: {  // 1111111 aaaaaaaa s
                    const int amp = static_cast<int>((w >> 1) & 255);
                    return {16, 0, (w & 1) ? -amp : amp, false};
                }
            }
        }
        return {17, 0, 0, false};  // not reached: the code is complete
    }
};

void segment(const Opx8u* seg, const AreaLayout& layout, int limit, bool redistribute,
             Opx16s* blocks, Opx32u* info) noexcept {
    decode_segment<TableCodes>(seg, layout, limit, redistribute, blocks, info);
}

// The low 16 bits of v as a signed value.
constexpr Opx16s wrap16(std::int32_t v) noexcept {
    const std::int32_t low = v & 0xFFFF;
    return static_cast<Opx16s>(low >= 0x8000 ? low - 0x10000 : low);
}

// The upper 16 bits of a signed 32-bit product (floor of product / 2^16, in -16384..16384 for
// 16-bit factors).
constexpr std::int32_t hi16(std::int32_t product) noexcept {
    return shift_right(product, 16);
}

void quant_inv(Opx16s* c, const Opx16s* d) noexcept {
    for (int i = 0; i < 64; ++i) c[i] = wrap16(hi16(std::int32_t{c[i]} * d[i]) * 4);
}

void quant_weight(Opx16s* c, const Opx16u* q, const Opx16s* w) noexcept {
    for (int i = 0; i < 64; ++i) {
        const Opx16s t = wrap16(std::int32_t{shift_right(c[i], 3)} * q[i]);
        c[i] = static_cast<Opx16s>(hi16(std::int32_t{t} * w[i]));
    }
}

void quant_weight100(Opx16s* c, const Opx16s* w, Opx16u scale) noexcept {
    const Opx16s c0 = c[0];
    for (int i = 0; i < 64; ++i) {
        const Opx16s t = wrap16(std::int32_t{shift_right(c[i], 6)} * scale);
        const std::int32_t f = shift_right(std::int32_t{t} * w[i], 5);
        c[i] = static_cast<Opx16s>(f > 32767 ? 32767 : f < -32768 ? -32768 : f);
    }
    c[0] = shift_right(c0, 5);
}

}  // namespace

const DvKernels kDv = {&segment, &quant_inv, &quant_weight, &quant_weight100};

}  // namespace opx::dv::ref
