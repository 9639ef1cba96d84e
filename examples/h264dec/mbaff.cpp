// MBAFF frames: macroblock addresses of pairs, mb_field_decoding_flag and its inference, and
// the neighbours of clause 6.4.12.2 (Table 6-4) between frame and field macroblock pairs.
#include "slice.hpp"

namespace h264dec {

// Position of macroblock address addr: its record (mb_, mbx_, mby_) and, outside MBAFF frames,
// the picture its samples are in.
void SliceDecoder::start_mb(int addr) {
    if (!mbaff_) {
        mb_ = addr;
        mbx_ = addr % mbw_;
        mby_ = addr / mbw_;
        view_ = pic_;
        vy_ = mby_;
        return;
    }
    const int pair = addr >> 1;
    bottom_ = addr & 1;
    mbx_ = pair % mbw_;
    pair_y_ = pair / mbw_;
    mby_ = 2 * pair_y_ + (bottom_ ? 1 : 0);
    mb_ = mby_ * mbw_ + mbx_;
    if (bottom_) return;  // the neighbouring pairs of the top macroblock serve both
    static constexpr int kDx[4] = {-1, 0, 1, -1}, kDy[4] = {-1, -1, -1, 0};
    for (int k = 0; k < 4; ++k) {
        const int px = mbx_ + kDx[k], py = pair_y_ + kDy[k];
        pair_nb_[k] = !pair_avail(px, py)                             ? 0
                      : d_.mbs_[size_t(2 * py * mbw_ + px)].field ? 2
                                                                      : 1;
    }
}

// mb_field_decoding_flag of the current MBAFF macroblock: its samples, scans and neighbours.
void SliceDecoder::set_field(bool field) {
    field_mb_ = field;
    d_.mbs_[size_t(mb_)].field = field;
    view_ = field ? pic_->field[bottom_ ? 1 : 0].get() : pic_;
    vy_ = field ? pair_y_ : mby_;
    scan4_ = field ? kScanField : kScanZigzag;
    scan8_ = field ? kField8x8 : kZigzag8x8;
}

// Clause 7.4.4: a pair with neither flag present takes the flag of the pair to its left, else
// of the pair above (in the same slice), else frame.
bool SliceDecoder::infer_field_flag() const {
    if (pair_nb_[3]) return pair_nb_[3] == 2;
    return pair_nb_[1] == 2;
}

// Table 6-4, for a location outside the current macroblock.
SliceDecoder::Nb SliceDecoder::nb_mbaff_outside(int xN, int yN, int maxW, int maxH) const {
    Nb n;
    int dx, dy;  // the neighbouring pair
    if (xN < 0)
        dx = -1, dy = yN < 0 ? -1 : 0;
    else if (xN < maxW)
        dx = 0, dy = yN < 0 ? -1 : 0;
    else
        dx = 1, dy = -1;
    if (yN >= maxH || (dx == 1 && yN >= 0)) return n;
    // xN in -1..2 maxW - 1 (a location inside the macroblock is answered by nb_mbaff)
    n.x = xN < 0 ? xN + maxW : xN >= maxW ? xN - maxW : xN;
    const bool cur_frame = !field_mb_, top = !bottom_;
    if (dx == 0 && dy == -1 && cur_frame && !top) {  // the top macroblock of the pair
        n.avail = true;
        n.mbx = mbx_;
        n.mby = mby_ - 1;
        n.y = yN + maxH;
        return n;
    }
    if (dx == 1 && cur_frame && !top) return n;  // C of a bottom frame macroblock
    // D of a bottom frame macroblock is found in the pair to the left
    if (dx == -1 && dy == -1 && cur_frame && !top) dy = 0;
    const int pair = pair_nb_[(dy + 1) * 3 + dx + 1];
    if (!pair) return n;
    const bool x_frame = pair == 1;
    int lower = 0, yM = yN;    // lower: the bottom macroblock of pair X
    if (yN < 0 && dy == -1) {  // pairs above: B, C, D
        if (cur_frame || !top) {
            lower = 1;
        } else if (x_frame) {
            lower = 1;
            yM = 2 * yN;
        }
    } else if (yN < 0) {
        // D of a bottom frame macroblock, in pair A: the sample above-left in the frame (beside a
        // field pair row 7 of its bottom macroblock)
        lower = x_frame ? 0 : 1;
        if (!x_frame) yM = (yN + maxH) >> 1;
    } else if (cur_frame) {  // A
        if (x_frame) {
            lower = top ? 0 : 1;
        } else {
            lower = yN & 1;
            yM = (yN + (top ? 0 : maxH)) >> 1;
        }
    } else if (x_frame) {
        lower = yN < maxH / 2 ? 0 : 1;
        yM = (yN << 1) + (top ? 0 : 1) - lower * maxH;
    } else {
        lower = top ? 0 : 1;
    }
    n.avail = true;
    n.mbx = mbx_ + dx;
    n.mby = 2 * (pair_y_ + dy) + lower;
    n.y = yM < 0 ? yM + maxH : yM;  // yM is in -maxH..maxH - 1
    return n;
}

// The edgeType bits of an MBAFF macroblock's upper [0] and lower [1] eight luma rows, of the
// whole macroblock [2] and of the lower chroma half [3] (Table 6-4): rows 0..7 of a field
// macroblock beside a frame pair have the pair's top macroblock on their left, rows 8..15 its
// bottom one; a frame macroblock beside a field pair has both on the left of every half. The
// lower half's own upper row is inside the macroblock; its upper-left sample is the left
// neighbour of row 7, available as the upper half's left (constrained_intra_pred).
const Opx8u* SliceDecoder::mbaff_edges() const {
    auto ok = [&](int x, int y) {
        const Nb n = nb_mbaff(x, y, 16, 16);
        return n.avail && !(pps_.constrained_intra_pred && !info(n).intra);
    };
    const bool left_top = ok(-1, 0) && ok(-1, 1), left_bottom = ok(-1, 8) && ok(-1, 9);
    Opx8u e = 0;
    if (!ok(0, -1)) e |= 4;
    if (!ok(-1, -1)) e |= 16;
    if (!ok(16, -1)) e |= 32;
    mbaff_edge_[0] = Opx8u(e | (left_top ? 0 : 1));
    mbaff_edge_[1] = Opx8u(32 | (left_bottom ? 0 : 1) | (left_top ? 0 : 16));
    mbaff_edge_[2] = Opx8u(e | (left_top && left_bottom ? 0 : 1));  // the whole macroblock
    // chroma DC of the lower blocks reads the row above the macroblock
    mbaff_edge_[3] = Opx8u(e | (left_bottom ? 0 : 1));
    mbaff_split_ = left_top != left_bottom;
    return mbaff_edge_;
}

}  // namespace h264dec
