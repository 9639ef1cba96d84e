// Portable intra prediction kernels, written per sample from the rules of H.264 clause 8.3, for
// 8-bit and 16-bit samples alike: S is the sample type, bd the bit depth (8 for Opx8u).
#include <cstring>
#include <utility>

#include "h264/decode/intra.hpp"

namespace opx::h264::ref {
namespace {

inline int clip1(int v, int bd) {
    const int max = (1 << bd) - 1;
    return v < 0 ? 0 : v > max ? max : v;
}

// Neighbours of an N×N block: p[x, -1] for x = -1..2N-1 and p[-1, y] for y = 0..N-1.
template <int N>
struct Neighbours {
    int above[2 * N + 1] = {};  // above[x + 1] = p[x, -1]
    int left[N] = {};           // left[y] = p[-1, y]
    int p(int x, int y) const { return y < 0 ? above[x + 1] : left[y]; }
};

template <int N>
constexpr int log2_of() {
    return N == 4 ? 2 : N == 8 ? 3 : 4;
}

// DC rule of clauses 8.3.1.2.3, 8.3.2.2.4 and 8.3.3.3; `sides` bit 0 above, bit 1 left.
template <int N>
int dc_value(const Neighbours<N>& nb, int sides, int bd) {
    int top = 0, left = 0;
    for (int i = 0; i < N; ++i) {
        top += nb.p(i, -1);
        left += nb.p(-1, i);
    }
    switch (sides) {
        case 3:
            return (top + left + N) >> (log2_of<N>() + 1);
        case 1:
            return (top + N / 2) >> log2_of<N>();
        case 2:
            return (left + N / 2) >> log2_of<N>();
        default:
            return 1 << (bd - 1);
    }
}

// Sample (x, y) of modes 0..8 of the 4×4 rules (clause 8.3.1.2); the 8×8 rules (clause 8.3.2.2)
// are the same with N = 8, applied to the filtered samples p'. DC is handled by dc_value.
template <int N>
int directional(const Neighbours<N>& nb, int mode, int x, int y) {
    auto p = [&nb](int px, int py) { return nb.p(px, py); };
    switch (mode) {
        case 0:
            return p(x, -1);
        case 1:
            return p(-1, y);
        case 3:  // diagonal down-left
            if (x == N - 1 && y == N - 1) return (p(2 * N - 2, -1) + 3 * p(2 * N - 1, -1) + 2) >> 2;
            return (p(x + y, -1) + 2 * p(x + y + 1, -1) + p(x + y + 2, -1) + 2) >> 2;
        case 4:  // diagonal down-right
            if (x > y) return (p(x - y - 2, -1) + 2 * p(x - y - 1, -1) + p(x - y, -1) + 2) >> 2;
            if (x < y) return (p(-1, y - x - 2) + 2 * p(-1, y - x - 1) + p(-1, y - x) + 2) >> 2;
            return (p(0, -1) + 2 * p(-1, -1) + p(-1, 0) + 2) >> 2;
        case 5: {  // vertical-right
            const int z = 2 * x - y;
            const int xs = x - (y >> 1);
            if (z >= 0 && (z & 1) == 0) return (p(xs - 1, -1) + p(xs, -1) + 1) >> 1;
            if (z >= 0) return (p(xs - 2, -1) + 2 * p(xs - 1, -1) + p(xs, -1) + 2) >> 2;
            if (z == -1) return (p(-1, 0) + 2 * p(-1, -1) + p(0, -1) + 2) >> 2;
            return (p(-1, y - 2 * x - 1) + 2 * p(-1, y - 2 * x - 2) + p(-1, y - 2 * x - 3) + 2) >>
                   2;
        }
        case 6: {  // horizontal-down
            const int z = 2 * y - x;
            const int ys = y - (x >> 1);
            if (z >= 0 && (z & 1) == 0) return (p(-1, ys - 1) + p(-1, ys) + 1) >> 1;
            if (z >= 0) return (p(-1, ys - 2) + 2 * p(-1, ys - 1) + p(-1, ys) + 2) >> 2;
            if (z == -1) return (p(-1, 0) + 2 * p(-1, -1) + p(0, -1) + 2) >> 2;
            return (p(x - 2 * y - 1, -1) + 2 * p(x - 2 * y - 2, -1) + p(x - 2 * y - 3, -1) + 2) >>
                   2;
        }
        case 7: {  // vertical-left
            const int xs = x + (y >> 1);
            if ((y & 1) == 0) return (p(xs, -1) + p(xs + 1, -1) + 1) >> 1;
            return (p(xs, -1) + 2 * p(xs + 1, -1) + p(xs + 2, -1) + 2) >> 2;
        }
        default: {  // 8 horizontal-up
            const int z = x + 2 * y;
            const int ys = y + (x >> 1);
            if (z < 2 * N - 3 && (z & 1) == 0) return (p(-1, ys) + p(-1, ys + 1) + 1) >> 1;
            if (z < 2 * N - 3) return (p(-1, ys) + 2 * p(-1, ys + 1) + p(-1, ys + 2) + 2) >> 2;
            if (z == 2 * N - 3) return (p(-1, N - 2) + 3 * p(-1, N - 1) + 2) >> 2;
            return p(-1, N - 1);
        }
    }
}

// What a kernel slot reads from the picture and which rule it applies.
struct SlotRule {
    int mode;          // 0..8
    int dc_sides;      // for DC: bit 0 above, bit 1 left
    bool above;        // p[0..N-1, -1]
    bool above_right;  // p[N..2N-1, -1]
    bool replicate;    // p[N..2N-1, -1] = p[N-1, -1]
    bool left;         // p[-1, 0..N-1]
    bool corner;       // p[-1, -1]
};

constexpr SlotRule slot_rule_4x4(int slot) {
    switch (slot) {
        case kP4V:
            return {0, 0, true, false, false, false, false};
        case kP4H:
            return {1, 0, false, false, false, true, false};
        case kP4Dc:
            return {2, 3, true, false, false, true, false};
        case kP4Ddl:
            return {3, 0, true, true, false, false, false};
        case kP4Ddr:
            return {4, 0, true, false, false, true, true};
        case kP4Vr:
            return {5, 0, true, false, false, true, true};
        case kP4Hd:
            return {6, 0, true, false, false, true, true};
        case kP4Vl:
            return {7, 0, true, true, false, false, false};
        case kP4Hu:
            return {8, 0, false, false, false, true, false};
        case kP4DdlNoAboveRight:
            return {3, 0, true, false, true, false, false};
        case kP4VlNoAboveRight:
            return {7, 0, true, false, true, false, false};
        case kP4DcAbove:
            return {2, 1, true, false, false, false, false};
        case kP4DcLeft:
            return {2, 2, false, false, false, true, false};
        default:
            return {2, 0, false, false, false, false, false};  // kP4Dc128
    }
}

// Reads the neighbours a slot names from the picture around dst.
template <int N, class S>
Neighbours<N> gather(const S* dst, std::ptrdiff_t step, const SlotRule& r) {
    Neighbours<N> nb;
    const S* above = dst - step;
    if (r.corner) nb.above[0] = above[-1];
    if (r.above)
        for (int x = 0; x < N; ++x) nb.above[x + 1] = above[x];
    if (r.above_right)
        for (int x = N; x < 2 * N; ++x) nb.above[x + 1] = above[x];
    if (r.replicate)
        for (int x = N; x < 2 * N; ++x) nb.above[x + 1] = above[N - 1];
    if (r.left)
        for (int y = 0; y < N; ++y) nb.left[y] = dst[y * step - 1];
    return nb;
}

template <int N, class S>
void write_block(S* dst, std::ptrdiff_t step, const Neighbours<N>& nb, const SlotRule& r, int bd) {
    const int dc = r.mode == 2 ? dc_value(nb, r.dc_sides, bd) : 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            dst[y * step + x] = static_cast<S>(r.mode == 2 ? dc : directional(nb, r.mode, x, y));
}

template <int Slot, class S>
void pred4x4_any(S* dst, std::ptrdiff_t step, int bd) {
    constexpr SlotRule r = slot_rule_4x4(Slot);
    write_block<4>(dst, step, gather<4>(dst, step, r), r, bd);
}
template <int Slot>
OpxResult pred4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    pred4x4_any<Slot>(dst, step, 8);
    return opxOk;
}
template <int Slot>
void pred4x4_high(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    pred4x4_any<Slot>(dst, step, bd);
}

// ---- 8×8 ------------------------------------------------------------------------------------

// The neighbours of an 8×8 block in one line, bottom-left to top-right:
//   e[0..7] = p[-1, 7..0], e[8] = p[-1, -1], e[9..24] = p[0..15, -1].
constexpr int kL0 = 7;  // p[-1, y] at kL0 - y
constexpr int kC = 8;   // p[-1, -1]
constexpr int kT0 = 9;  // p[x, -1] at kT0 + x

// Reference sample filter, clause 8.3.2.2.1, for the groups available.
void filter8x8(int* edge, bool above, bool left, bool corner) {
    int raw[25];
    std::memcpy(raw, edge, sizeof raw);
    auto t = [&raw](int x) { return raw[kT0 + x]; };  // p[x, -1]
    auto l = [&raw](int y) { return raw[kL0 - y]; };  // p[-1, y]
    const int c = raw[kC];
    if (above) {
        edge[kT0] = (corner ? (c + 2 * t(0) + t(1) + 2) >> 2 : (3 * t(0) + t(1) + 2) >> 2);
        for (int x = 1; x < 15; ++x) edge[kT0 + x] = (t(x - 1) + 2 * t(x) + t(x + 1) + 2) >> 2;
        edge[kT0 + 15] = (t(14) + 3 * t(15) + 2) >> 2;
    }
    if (corner) {
        int v;
        if (!above || !left) {
            if (above)
                v = (3 * c + t(0) + 2) >> 2;
            else if (left)
                v = (3 * c + l(0) + 2) >> 2;
            else
                v = c;
        } else {
            v = (t(0) + 2 * c + l(0) + 2) >> 2;
        }
        edge[kC] = v;
    }
    if (left) {
        edge[kL0] = (corner ? (c + 2 * l(0) + l(1) + 2) >> 2 : (3 * l(0) + l(1) + 2) >> 2);
        for (int y = 1; y < 7; ++y) edge[kL0 - y] = (l(y - 1) + 2 * l(y) + l(y + 1) + 2) >> 2;
        edge[kL0 - 7] = (l(6) + 3 * l(7) + 2) >> 2;
    }
}

// Clause 8.3.2.2 for one block: gather, complete above-right, substitute, filter, predict.
template <int Mode, class S>
void pred8x8_any(S* dst, std::ptrdiff_t step, int avail, int bd) {
    constexpr bool uses_above = Mode != 1 && Mode != 8;
    constexpr bool uses_left = Mode != 0 && Mode != 3 && Mode != 7;
    const int need = kIntraNeeds[Mode];
    const int half = 1 << (bd - 1);
    int e[25] = {};
    bool above = uses_above && (avail & kAvailAbove);
    bool left = uses_left && (avail & kAvailLeft);
    bool corner = avail & kAvailAboveLeft;
    const S* up = dst - step;
    if (above) {
        for (int x = 0; x < 8; ++x) e[kT0 + x] = up[x];
        // Clause 8.3.2.2: missing samples above-right are copies of p[7, -1].
        for (int x = 8; x < 16; ++x) e[kT0 + x] = (avail & kAvailAboveRight) ? up[x] : up[7];
    } else if (need & kAvailAbove) {
        for (int x = 0; x < 16; ++x) e[kT0 + x] = half;
        above = true;
    }
    if (left) {
        for (int y = 0; y < 8; ++y) e[kL0 - y] = dst[y * step - 1];
    } else if (need & kAvailLeft) {
        for (int y = 0; y < 8; ++y) e[kL0 - y] = half;
        left = true;
    }
    if (corner) {
        e[kC] = up[-1];
    } else if (need & kAvailAboveLeft) {
        e[kC] = half;
        corner = true;
    }
    filter8x8(e, above, left, corner);
    Neighbours<8> nb;
    for (int x = -1; x < 16; ++x) nb.above[x + 1] = e[kT0 + x];
    for (int y = 0; y < 8; ++y) nb.left[y] = e[kL0 - y];
    SlotRule r{Mode, (above ? 1 : 0) | (left ? 2 : 0), false, false, false, false, false};
    write_block<8>(dst, step, nb, r, bd);
}
template <int Mode>
void pred8x8(Opx8u* dst, std::ptrdiff_t step, int avail) noexcept {
    pred8x8_any<Mode>(dst, step, avail, 8);
}
template <int Mode>
void pred8x8_high(Opx16u* dst, std::ptrdiff_t step, int avail, int bd) noexcept {
    pred8x8_any<Mode>(dst, step, avail, bd);
}

// ---- 16×16 (clause 8.3.3) ---------------------------------------------------------------------

constexpr SlotRule slot_rule_16x16(int slot) {
    switch (slot) {
        case kP16V:
            return {0, 0, true, false, false, false, false};
        case kP16H:
            return {1, 0, false, false, false, true, false};
        case kP16Dc:
            return {2, 3, true, false, false, true, false};
        case kP16DcAbove:
            return {2, 1, true, false, false, false, false};
        case kP16DcLeft:
            return {2, 2, false, false, false, true, false};
        default:
            return {2, 0, false, false, false, false, false};
    }
}

template <int Slot, class S>
void pred16x16_any(S* dst, std::ptrdiff_t step, int bd) {
    constexpr SlotRule r = slot_rule_16x16(Slot);
    write_block<16>(dst, step, gather<16>(dst, step, r), r, bd);
}

// Plane prediction of clause 8.3.3.4 (W = H = 16) and of clause 8.3.4.4 for chroma: 4:2:0
// (W = H = 8, xCF = yCF = 0) and 4:2:2 (W = 8, H = 16, xCF = 0, yCF = 4). The gradient sums run
// over half the width and half the height; V of 4:2:2 reaches p[-1, -1].
template <int W, int H, class S>
void plane_any(S* dst, std::ptrdiff_t step, int bd) {
    const S* above = dst - step;
    auto t = [above](int x) { return static_cast<int>(above[x]); };  // p[x, -1], x >= -1
    auto l = [dst, step](int y) {                                    // p[-1, y], y >= -1
        return static_cast<int>(dst[y * step - 1]);
    };
    constexpr int hw = W / 2, hh = H / 2;
    int gh = 0, gv = 0;
    for (int i = 0; i < hw; ++i) gh += (i + 1) * (t(hw + i) - t(hw - 2 - i));
    for (int i = 0; i < hh; ++i) gv += (i + 1) * (l(hh + i) - l(hh - 2 - i));
    const int a = 16 * (l(H - 1) + t(W - 1));
    const int b = ((W == 16 ? 5 : 34) * gh + 32) >> 6;
    const int c = ((H == 16 ? 5 : 34) * gv + 32) >> 6;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            dst[y * step + x] =
                static_cast<S>(clip1((a + b * (x - (hw - 1)) + c * (y - (hh - 1)) + 16) >> 5, bd));
}

// ---- chroma 8×8 and 8×16 (clause 8.3.4) --------------------------------------------------------

template <int H, class S>
void chroma_h_any(S* dst, std::ptrdiff_t step) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 8; ++x) dst[y * step + x] = dst[y * step - 1];
}

template <int H, class S>
void chroma_v_any(S* dst, std::ptrdiff_t step) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 8; ++x) dst[y * step + x] = dst[x - step];
}

// DC per 4×4 chroma block (clauses 8.3.4.1 to 8.3.4.3), from the neighbours of the macroblock:
// the block at (xO, yO) sums p[xO..xO+3, -1] and p[-1, yO..yO+3]. Blocks with xO = yO = 0 or both
// nonzero average both sides, blocks with yO = 0 prefer the samples above, blocks with xO = 0
// those on the left. Slot: bits 0..1 for rows 0..H/2-1, bits 2..3 for the rest (bit 0 above,
// bit 1 left).
template <int Slot, int H, class S>
void chroma_dc_any(S* dst, std::ptrdiff_t step, int bd) {
    int dc[H / 4][2];
    for (int by = 0; by < H / 4; ++by) {
        const int sides = by < H / 8 ? (Slot & 3) : (Slot >> 2);
        const bool above = sides & 1, left = sides & 2;
        for (int bx = 0; bx < 2; ++bx) {
            int top = 0, lft = 0;
            if (above)
                for (int i = 0; i < 4; ++i) top += dst[-step + 4 * bx + i];
            if (left)
                for (int i = 0; i < 4; ++i) lft += dst[(4 * by + i) * step - 1];
            int v = 1 << (bd - 1);
            if ((bx == 0 && by == 0) || (bx > 0 && by > 0)) {
                if (above && left)
                    v = (top + lft + 4) >> 3;
                else if (above)
                    v = (top + 2) >> 2;
                else if (left)
                    v = (lft + 2) >> 2;
            } else if (by == 0) {
                if (above)
                    v = (top + 2) >> 2;
                else if (left)
                    v = (lft + 2) >> 2;
            } else {
                if (left)
                    v = (lft + 2) >> 2;
                else if (above)
                    v = (top + 2) >> 2;
            }
            dc[by][bx] = v;
        }
    }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 8; ++x) dst[y * step + x] = static_cast<S>(dc[y >> 2][x >> 2]);
}

// The 8-bit and 16-bit signatures of the kernels above.
template <int Slot>
void pred16x16(Opx8u* dst, std::ptrdiff_t step) noexcept {
    pred16x16_any<Slot>(dst, step, 8);
}
template <int Slot>
void pred16x16_high(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    pred16x16_any<Slot>(dst, step, bd);
}
template <int W, int H>
void plane(Opx8u* dst, std::ptrdiff_t step) noexcept {
    plane_any<W, H>(dst, step, 8);
}
template <int W, int H>
void plane_high(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    plane_any<W, H>(dst, step, bd);
}
template <int H>
void chroma_h(Opx8u* dst, std::ptrdiff_t step) noexcept {
    chroma_h_any<H>(dst, step);
}
template <int H>
void chroma_h_high(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    chroma_h_any<H>(dst, step);
}
template <int H>
void chroma_v(Opx8u* dst, std::ptrdiff_t step) noexcept {
    chroma_v_any<H>(dst, step);
}
template <int H>
void chroma_v_high(Opx16u* dst, std::ptrdiff_t step, int) noexcept {
    chroma_v_any<H>(dst, step);
}
template <int Slot, int H>
void chroma_dc(Opx8u* dst, std::ptrdiff_t step) noexcept {
    chroma_dc_any<Slot, H>(dst, step, 8);
}
template <int Slot, int H>
void chroma_dc_high(Opx16u* dst, std::ptrdiff_t step, int bd) noexcept {
    chroma_dc_any<Slot, H>(dst, step, bd);
}

template <int... S>
constexpr IntraKernels make_table(std::integer_sequence<int, S...>) {
    return with_pred4x4_by_avail(IntraKernels{
        {pred4x4<kP4V>, pred4x4<kP4H>, pred4x4<kP4Dc>, pred4x4<kP4Ddl>, pred4x4<kP4Ddr>,
         pred4x4<kP4Vr>, pred4x4<kP4Hd>, pred4x4<kP4Vl>, pred4x4<kP4Hu>,
         pred4x4<kP4DdlNoAboveRight>, pred4x4<kP4VlNoAboveRight>, pred4x4<kP4DcAbove>,
         pred4x4<kP4DcLeft>, pred4x4<kP4Dc128>},
        {pred8x8<0>, pred8x8<1>, pred8x8<2>, pred8x8<3>, pred8x8<4>, pred8x8<5>, pred8x8<6>,
         pred8x8<7>, pred8x8<8>},
        {pred16x16<kP16V>, pred16x16<kP16H>, pred16x16<kP16Dc>, plane<16, 16>,
         pred16x16<kP16DcAbove>, pred16x16<kP16DcLeft>, pred16x16<kP16Dc128>},
        {chroma_h<8>, chroma_v<8>, plane<8, 8>},
        {chroma_dc<S, 8>...},
        {chroma_h<16>, chroma_v<16>, plane<8, 16>},
        {chroma_dc<S, 16>...},
        {},
    });
}

template <int... S>
constexpr IntraKernelsHigh make_high_table(std::integer_sequence<int, S...>) {
    return with_pred4x4_by_avail(IntraKernelsHigh{
        {pred4x4_high<kP4V>, pred4x4_high<kP4H>, pred4x4_high<kP4Dc>, pred4x4_high<kP4Ddl>,
         pred4x4_high<kP4Ddr>, pred4x4_high<kP4Vr>, pred4x4_high<kP4Hd>, pred4x4_high<kP4Vl>,
         pred4x4_high<kP4Hu>, pred4x4_high<kP4DdlNoAboveRight>, pred4x4_high<kP4VlNoAboveRight>,
         pred4x4_high<kP4DcAbove>, pred4x4_high<kP4DcLeft>, pred4x4_high<kP4Dc128>},
        {pred8x8_high<0>, pred8x8_high<1>, pred8x8_high<2>, pred8x8_high<3>, pred8x8_high<4>,
         pred8x8_high<5>, pred8x8_high<6>, pred8x8_high<7>, pred8x8_high<8>},
        {pred16x16_high<kP16V>, pred16x16_high<kP16H>, pred16x16_high<kP16Dc>, plane_high<16, 16>,
         pred16x16_high<kP16DcAbove>, pred16x16_high<kP16DcLeft>, pred16x16_high<kP16Dc128>},
        {chroma_h_high<8>, chroma_v_high<8>, plane_high<8, 8>},
        {chroma_dc_high<S, 8>...},
        {chroma_h_high<16>, chroma_v_high<16>, plane_high<8, 16>},
        {chroma_dc_high<S, 16>...},
        {},
    });
}

}  // namespace

extern const IntraKernels kIntra = make_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});
extern const IntraKernelsHigh kIntraHigh =
    make_high_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});

}  // namespace opx::h264::ref
