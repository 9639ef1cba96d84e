// Portable intra prediction kernels, written per sample from the rules of H.264 clause 8.3.
#include <cstring>
#include <utility>

#include "h264/decode/intra.hpp"

namespace opx::h264::ref {
namespace {

inline Opx8u clip255(int v) {
    return static_cast<Opx8u>(v < 0 ? 0 : v > 255 ? 255 : v);
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
int dc_value(const Neighbours<N>& nb, int sides) {
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
            return 128;
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
template <int N>
Neighbours<N> gather(const Opx8u* dst, std::ptrdiff_t step, const SlotRule& r) {
    Neighbours<N> nb;
    const Opx8u* above = dst - step;
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

template <int N>
void write_block(Opx8u* dst, std::ptrdiff_t step, const Neighbours<N>& nb, const SlotRule& r) {
    const int dc = r.mode == 2 ? dc_value(nb, r.dc_sides) : 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            dst[y * step + x] =
                static_cast<Opx8u>(r.mode == 2 ? dc : directional(nb, r.mode, x, y));
}

template <int Slot>
OpxResult pred4x4(Opx8u* dst, std::ptrdiff_t step) noexcept {
    constexpr SlotRule r = slot_rule_4x4(Slot);
    write_block<4>(dst, step, gather<4>(dst, step, r), r);
    return opxOk;
}

// ---- 8×8 ------------------------------------------------------------------------------------

// The neighbours of an 8×8 block in one line, bottom-left to top-right:
//   e[0..7] = p[-1, 7..0], e[8] = p[-1, -1], e[9..24] = p[0..15, -1].
constexpr int kL0 = 7;  // p[-1, y] at kL0 - y
constexpr int kC = 8;   // p[-1, -1]
constexpr int kT0 = 9;  // p[x, -1] at kT0 + x

// Reference sample filter, clause 8.3.2.2.1, for the groups available.
void filter8x8(Opx8u* edge, bool above, bool left, bool corner) {
    Opx8u raw[25];
    std::memcpy(raw, edge, sizeof raw);
    auto t = [&raw](int x) { return static_cast<int>(raw[kT0 + x]); };  // p[x, -1]
    auto l = [&raw](int y) { return static_cast<int>(raw[kL0 - y]); };  // p[-1, y]
    const int c = raw[kC];
    if (above) {
        edge[kT0] = static_cast<Opx8u>(corner ? (c + 2 * t(0) + t(1) + 2) >> 2
                                              : (3 * t(0) + t(1) + 2) >> 2);
        for (int x = 1; x < 15; ++x)
            edge[kT0 + x] = static_cast<Opx8u>((t(x - 1) + 2 * t(x) + t(x + 1) + 2) >> 2);
        edge[kT0 + 15] = static_cast<Opx8u>((t(14) + 3 * t(15) + 2) >> 2);
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
        edge[kC] = static_cast<Opx8u>(v);
    }
    if (left) {
        edge[kL0] = static_cast<Opx8u>(corner ? (c + 2 * l(0) + l(1) + 2) >> 2
                                              : (3 * l(0) + l(1) + 2) >> 2);
        for (int y = 1; y < 7; ++y)
            edge[kL0 - y] = static_cast<Opx8u>((l(y - 1) + 2 * l(y) + l(y + 1) + 2) >> 2);
        edge[kL0 - 7] = static_cast<Opx8u>((l(6) + 3 * l(7) + 2) >> 2);
    }
}

// Clause 8.3.2.2 for one block: gather, complete above-right, substitute, filter, predict.
template <int Mode>
void pred8x8(Opx8u* dst, std::ptrdiff_t step, int avail) noexcept {
    constexpr bool uses_above = Mode != 1 && Mode != 8;
    constexpr bool uses_left = Mode != 0 && Mode != 3 && Mode != 7;
    const int need = kIntraNeeds[Mode];
    Opx8u e[25] = {};
    bool above = uses_above && (avail & kAvailAbove);
    bool left = uses_left && (avail & kAvailLeft);
    bool corner = avail & kAvailAboveLeft;
    const Opx8u* up = dst - step;
    if (above) {
        for (int x = 0; x < 8; ++x) e[kT0 + x] = up[x];
        // Clause 8.3.2.2: missing samples above-right are copies of p[7, -1].
        for (int x = 8; x < 16; ++x) e[kT0 + x] = (avail & kAvailAboveRight) ? up[x] : up[7];
    } else if (need & kAvailAbove) {
        for (int x = 0; x < 16; ++x) e[kT0 + x] = 128;
        above = true;
    }
    if (left) {
        for (int y = 0; y < 8; ++y) e[kL0 - y] = dst[y * step - 1];
    } else if (need & kAvailLeft) {
        for (int y = 0; y < 8; ++y) e[kL0 - y] = 128;
        left = true;
    }
    if (corner) {
        e[kC] = up[-1];
    } else if (need & kAvailAboveLeft) {
        e[kC] = 128;
        corner = true;
    }
    filter8x8(e, above, left, corner);
    Neighbours<8> nb;
    for (int x = -1; x < 16; ++x) nb.above[x + 1] = e[kT0 + x];
    for (int y = 0; y < 8; ++y) nb.left[y] = e[kL0 - y];
    SlotRule r{Mode, (above ? 1 : 0) | (left ? 2 : 0), false, false, false, false, false};
    write_block<8>(dst, step, nb, r);
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

template <int Slot>
void pred16x16(Opx8u* dst, std::ptrdiff_t step) noexcept {
    constexpr SlotRule r = slot_rule_16x16(Slot);
    write_block<16>(dst, step, gather<16>(dst, step, r), r);
}

// Plane prediction of clause 8.3.3.4 (W = H = 16) and, for 4:2:0 chroma, of clause 8.3.4.4
// (W = H = 8, xCF = yCF = 0).
template <int W>
void plane(Opx8u* dst, std::ptrdiff_t step) noexcept {
    const Opx8u* above = dst - step;
    auto t = [above](int x) { return static_cast<int>(above[x]); };  // p[x, -1], x >= -1
    auto l = [dst, step](int y) {                                    // p[-1, y], y >= -1
        return static_cast<int>(dst[y * step - 1]);
    };
    const int half = W / 2;
    int h = 0, v = 0;
    for (int i = 0; i < half; ++i) {
        h += (i + 1) * (t(half + i) - t(half - 2 - i));
        v += (i + 1) * (l(half + i) - l(half - 2 - i));
    }
    const int a = 16 * (l(W - 1) + t(W - 1));
    const int b = W == 16 ? (5 * h + 32) >> 6 : (34 * h + 32) >> 6;
    const int c = W == 16 ? (5 * v + 32) >> 6 : (34 * v + 32) >> 6;
    for (int y = 0; y < W; ++y)
        for (int x = 0; x < W; ++x)
            dst[y * step + x] =
                clip255((a + b * (x - (half - 1)) + c * (y - (half - 1)) + 16) >> 5);
}

// ---- chroma 8×8 (clause 8.3.4) -----------------------------------------------------------------

void chroma_h(Opx8u* dst, std::ptrdiff_t step) noexcept {
    for (int y = 0; y < 8; ++y) std::memset(dst + y * step, dst[y * step - 1], 8);
}

void chroma_v(Opx8u* dst, std::ptrdiff_t step) noexcept {
    Opx8u row[8];
    std::memcpy(row, dst - step, 8);
    for (int y = 0; y < 8; ++y) std::memcpy(dst + y * step, row, 8);
}

// DC per 4×4 chroma block (clauses 8.3.4.1 to 8.3.4.3): blocks at (0,0) and (4,4) average both
// sides, the block at (4,0) prefers the samples above, the block at (0,4) those on the left.
template <int Slot>
void chroma_dc(Opx8u* dst, std::ptrdiff_t step) noexcept {
    int dc[2][2];
    for (int by = 0; by < 2; ++by) {
        const int sides = by == 0 ? (Slot & 3) : (Slot >> 2);
        const bool above = sides & 1, left = sides & 2;
        for (int bx = 0; bx < 2; ++bx) {
            int top = 0, lft = 0;
            if (above)
                for (int i = 0; i < 4; ++i) top += dst[-step + 4 * bx + i];
            if (left)
                for (int i = 0; i < 4; ++i) lft += dst[(4 * by + i) * step - 1];
            int v = 128;
            if (bx == by) {
                if (above && left)
                    v = (top + lft + 4) >> 3;
                else if (above)
                    v = (top + 2) >> 2;
                else if (left)
                    v = (lft + 2) >> 2;
            } else if (bx == 1) {
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
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) dst[y * step + x] = static_cast<Opx8u>(dc[y >> 2][x >> 2]);
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
        {pred16x16<kP16V>, pred16x16<kP16H>, pred16x16<kP16Dc>, plane<16>, pred16x16<kP16DcAbove>,
         pred16x16<kP16DcLeft>, pred16x16<kP16Dc128>},
        {chroma_h, chroma_v, plane<8>},
        {chroma_dc<S>...},
        {},
    });
}

}  // namespace

extern const IntraKernels kIntra = make_table(std::make_integer_sequence<int, kNumChromaDcSlots>{});

}  // namespace opx::h264::ref
