// The slice decoder: per-slice state and the per-macroblock work. slice.cpp parses the
// macroblock layer and reconstructs; motion.cpp predicts motion vectors and samples.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "decoder.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace h264dec {

// The vector v (and, with kRef, the reference index ref) in the w x h 4x4 blocks (w, h: 1, 2
// or 4) at block (x, y) of one list's records (raster order, four blocks a row), from
// registers, a row of blocks per store: copying one block to the next would read back a vector
// just stored in two halves, and the 16-byte loads of pairs that follow (uniform_motion,
// store_motion) need a store that holds them whole; the processor cannot forward a load from
// parts of several stores still in its store buffer.
template <bool kRef>
inline void fill_blocks(int* ref_idx, Mv* mv, int x, int y, int w, int h, int ref, Mv v) {
#ifdef __SSE2__
    static_assert(sizeof(Mv) == 8, "two 32-bit parts");
    uint64_t word;
    std::memcpy(&word, &v, sizeof word);
    const __m128i m = _mm_set1_epi64x(static_cast<long long>(word));
    const __m128i r = _mm_set1_epi32(ref);
    for (int yy = y; yy < y + h; ++yy) {
        auto* const mr = reinterpret_cast<__m128i*>(mv + yy * 4 + x);
        auto* const rr = kRef ? reinterpret_cast<__m128i*>(ref_idx + yy * 4 + x) : nullptr;
        if (w == 4) {
            if (kRef) _mm_storeu_si128(rr, r);
            _mm_storeu_si128(mr, m);
            _mm_storeu_si128(mr + 1, m);
        } else if (w == 2) {
            if (kRef) _mm_storel_epi64(rr, r);
            _mm_storeu_si128(mr, m);
        } else {
            if (kRef) ref_idx[yy * 4 + x] = ref;
            _mm_storel_epi64(mr, m);
        }
    }
#else
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) {
            if (kRef) ref_idx[yy * 4 + xx] = ref;
            mv[yy * 4 + xx] = v;
        }
#endif
}
inline void fill_mv(Mv* mv, int x, int y, int w, int h, Mv v) {
    fill_blocks<false>(nullptr, mv, x, y, w, h, 0, v);
}
inline void fill_motion(int* ref_idx, Mv* mv, int x, int y, int w, int h, int ref, Mv v) {
    fill_blocks<true>(ref_idx, mv, x, y, w, h, ref, v);
}

inline const Opx32s kScanZigzag[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
// field scans of field pictures and field macroblocks (Tables 8-13 and 8-14): scan index ->
// raster index
inline const Opx32s kScanField[16] = {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
inline const uint8_t kField8x8[64] = {
    0,  8,  16, 1,  9,  24, 32, 17, 2, 25, 40, 48, 56, 33, 10, 3,  18, 41, 49, 57, 26, 11,
    4,  19, 34, 42, 50, 58, 27, 12, 5, 20, 35, 43, 51, 59, 28, 13, 6,  21, 36, 44, 52, 60,
    29, 14, 22, 37, 45, 53, 61, 30, 7, 15, 38, 46, 54, 62, 23, 31, 39, 47, 55, 63};
inline const Opx32s kScanIdentity[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// luma4x4BlkIdx of the 4x4 block at (x, y) (in blocks) and back (clause 6.4.3)
inline int blk_idx(int x, int y) {
    return (y >> 1) * 8 + (x >> 1) * 4 + (y & 1) * 2 + (x & 1);
}
inline const uint8_t kBlkX[16] = {0, 1, 0, 1, 2, 3, 2, 3, 0, 1, 0, 1, 2, 3, 2, 3};
inline const uint8_t kBlkY[16] = {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3};
inline const uint8_t kBlkRaster[16] = {0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15};

// normAdjust4x4 (clause 8.5.9) [qP % 6][position class]
inline const int kNorm4[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                                 {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};
// normAdjust8x8 [qP % 6][position class 0..5]
inline const int kNorm8[6][6] = {{20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26},
                                 {26, 23, 42, 24, 33, 31}, {28, 25, 45, 26, 35, 33},
                                 {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43}};

inline int norm4_class(int i, int j) {
    return (i % 2 == 0 && j % 2 == 0) ? 0 : (i % 2 == 1 && j % 2 == 1) ? 1 : 2;
}
inline int norm8_class(int i, int j) {
    if (i % 4 == 0 && j % 4 == 0) return 0;
    if (i % 2 == 1 && j % 2 == 1) return 1;
    if (i % 4 == 2 && j % 4 == 2) return 2;
    if ((i % 4 == 0 && j % 2 == 1) || (i % 2 == 1 && j % 4 == 0)) return 3;
    if ((i % 4 == 0 && j % 4 == 2) || (i % 4 == 2 && j % 4 == 0)) return 4;
    return 5;
}

// B macroblock types 1..21: prediction of partitions 0 and 1 (1 L0, 2 L1, 3 Bi)
inline const uint8_t kBPred[22][2] = {
    {0, 0}, {1, 0}, {2, 0}, {3, 0}, {1, 1}, {1, 1}, {2, 2}, {2, 2}, {1, 2}, {1, 2}, {2, 1},
    {2, 1}, {1, 3}, {1, 3}, {2, 3}, {2, 3}, {3, 1}, {3, 1}, {3, 2}, {3, 2}, {3, 3}, {3, 3}};
// B sub-macroblock types: prediction (0 direct), partition width and height in 4x4 blocks
inline const uint8_t kBSub[13][3] = {{0, 2, 2}, {1, 2, 2}, {2, 2, 2}, {3, 2, 2}, {1, 2, 1},
                                     {1, 1, 2}, {2, 2, 1}, {2, 1, 2}, {3, 2, 1}, {3, 1, 2},
                                     {1, 1, 1}, {2, 1, 1}, {3, 1, 1}};
inline const uint8_t kPSub[4][2] = {{2, 2}, {2, 1}, {1, 2}, {1, 1}};

inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}
// DiffPicOrderCnt(a, b) clipped to -128..127 (clauses 8.4.1.2.3 and 8.4.2.3.1), formed in 64 bits:
// the order counts of a hostile stream may lie more than 2^31 apart.
inline int poc_distance(int a, int b) {
    const int64_t d = int64_t(a) - b;
    return d < -128 ? -128 : d > 127 ? 127 : int(d);
}
using h264common::median;
using h264common::Mv;

// Per-slice decoding state.
class SliceDecoder {
  public:
    SliceDecoder(Decoder& d, const SliceHeader& sh, Bits& b)
        : d_(d), sh_(sh), b_(b), sps_(*d.sps_active_), pps_(d.pps_[sh.pps_id]), pic_(d.cur_) {}
    void run();
    // the strengths of the macroblock still waiting for them (see finish_mb)
    void flush_strengths() {
        if (pending_bs_[0] >= 0) d_.edge_strengths(pending_bs_[0], pending_bs_[1]);
        pending_bs_[0] = -1;
    }

  private:
    Decoder& d_;
    const SliceHeader& sh_;
    Bits& b_;
    const Sps& sps_;
    const Pps& pps_;
    Picture* pic_;
    std::vector<Picture*> ref_[2];
    int ref_id_[2][32];  // Picture::id of every list entry
    struct TemporalScale {
        bool copy;  // long-term reference or equal order counts: list 0 takes mvCol as it is
        int dsf;    // DistScaleFactor
    };
    TemporalScale temporal_[32];
    int slice_num_ = 0;
    int mbw_ = 0, mbh_ = 0;
    int qp_ = 0;
    int mbx_ = 0, mby_ = 0, mb_ = 0;
    // MBAFF frames: pairs of macroblocks, each pair frame or field coded. mby_ is the
    // macroblock's row in the frame's records (mbs_, motion), pair_y_ its pair row; a field
    // macroblock's samples are rows of one parity: the sample work sees the current
    // macroblock at row vy_ of view_ (the frame, or the field view of its parity).
    bool mbaff_ = false, field_mb_ = false, bottom_ = false;
    int pair_y_ = 0;
    // the pairs left-above, above, right-above and left of the current pair (index (dy + 1) * 3 +
    // dx + 1): 0 not available, 1 a frame pair, 2 a field pair; set by start_mb
    int8_t pair_nb_[4] = {};
    Picture* view_ = nullptr;
    int vy_ = 0;
    void start_mb(int addr);
    void set_field(bool field);
    bool infer_field_flag() const;
    int weight_mode_ = 0;  // 0 default, 1 explicit, 2 implicit
    int implicit_w_[32][32];
    const Opx16s (*ls4_)[6][16] = nullptr;  // [list][qP % 6][raster], in Decoder::level_scale_
    const Opx16s (*ls8_)[6][64] = nullptr;
    bool mono_ = false;
    const Opx32s* scan4_ = kScanZigzag;  // the field scans in field pictures
    const uint8_t* scan8_ = kZigzag8x8;
    bool c422_ = false;  // 4:2:2: chroma 8x16 per component, eight AC blocks
    bool high_ = false;  // 16-bit samples and 32-bit coefficients (bit depths 9..14)
    int chroma_ac_ = 4;  // AC blocks per chroma component
    int mb_ch_ = 8;      // chroma rows per macroblock
    int bit_depth_ = 8;
    int qp_bd_y_ = 0, qp_bd_c_ = 0;  // QpBdOffsetY, QpBdOffsetC

    // current macroblock: the packed coefficient stream, 16-bit (8-bit samples) or 32-bit
    static constexpr int kCoeffs = 16 * 16 + 16 + 2 * 8 + 2 * 8 * 16 + 64;
    alignas(32) Opx16s coeffs_[kCoeffs];
    alignas(32) Opx32s coeffs32_[kCoeffs];
    Opx32u cbp4x4_ = 0, cbp8x8_ = 0;
    Opx32u cbp_c_[2] = {0, 0};  // per chroma component: bit 0 DC, bits 1..8 AC blocks

    // motion of the current macroblock: refIdx per 4x4 block and list, mv per 4x4 block and list
    int ref_idx_[2][16];
    Mv mv_[2][16];

    // availability of the neighbouring macroblocks, decided when the macroblock starts:
    // [0] the row above (left, above, right), [1] the current row (left, itself, right: never)
    bool nb_avail_[2][3] = {};
    void set_neighbours() {
        const MbInfo* const cur = &d_.mbs_[size_t(mby_ * mbw_ + mbx_)];
        const bool left = mbx_ > 0, right = mbx_ + 1 < mbw_, up = mby_ > 0;
        auto same_slice = [&](std::ptrdiff_t d) { return cur[d].slice_num == slice_num_; };
        nb_avail_[0][0] = up && left && same_slice(-mbw_ - 1);
        nb_avail_[0][1] = up && same_slice(-mbw_);
        nb_avail_[0][2] = up && right && same_slice(-mbw_ + 1);
        nb_avail_[1][0] = left && same_slice(-1);
        nb_avail_[1][1] = true;
        nb_avail_[1][2] = false;  // right of the current macroblock: not decoded yet
    }

    struct Nb {
        bool avail = false;
        int mbx = 0, mby = 0, x = 0, y = 0;  // macroblock and 4x4 block inside it
    };
    // MBAFF (clause 6.4.12.2, Table 6-4): the macroblock holding location (xN, yN) relative to
    // the current macroblock in a maxW x maxH grid (luma 16 x 16, chroma 8 x 8 or 8 x 16) and
    // the location (x, y) inside it, in samples; mby is the macroblock's row in the frame
    // (2 * pair row + 1 for the bottom macroblock of a pair).
    // A location inside the current macroblock is its own; one to the left or above, in a pair
    // of the same kind, has a fixed answer too (all three answered here, without a call); any
    // other goes through the derivation of Table 6-4.
    Nb nb_mbaff(int xN, int yN, int maxW, int maxH) const {
        if (xN >= 0 && yN >= 0 && xN < maxW && yN < maxH) {
            Nb n;
            n.avail = true;
            n.mbx = mbx_;
            n.mby = mby_;
            n.x = xN;
            n.y = yN;
            return n;
        }
        if (xN < 0 && yN >= 0 && yN < maxH && pair_nb_[3] == (field_mb_ ? 2 : 1)) {
            // to the left, in a pair of the same kind: the macroblock of the same position
            Nb n;
            n.avail = true;
            n.mbx = mbx_ - 1;
            n.mby = mby_;
            n.x = xN + maxW;
            n.y = yN;
            return n;
        }
        if (yN < 0 && xN >= 0 && xN < maxW &&
            ((!field_mb_ && bottom_) || pair_nb_[1] == (field_mb_ ? 2 : 1))) {
            // above: the top macroblock of the pair for a bottom frame macroblock, else, in a
            // pair of the same kind, the bottom frame macroblock or the field of the same parity
            Nb n;
            n.avail = true;
            n.mbx = mbx_;
            n.mby = mby_ - (field_mb_ ? 2 : 1);
            n.x = xN;
            n.y = yN + maxH;
            return n;
        }
        return nb_mbaff_outside(xN, yN, maxW, maxH);
    }
    Nb nb_mbaff_outside(int xN, int yN, int maxW, int maxH) const;
    bool pair_avail(int px, int py) const {
        if (px < 0 || py < 0 || px >= mbw_ || 2 * py >= mbh_) return false;
        return d_.mbs_[size_t(2 * py * mbw_ + px)].slice_num == slice_num_;
    }
    // the 4x4 block at (x, y) relative to the current macroblock (x in -1..4, y in -1..3);
    // corner: the block holding its lower-right sample (neighbour D of a block at (x + 1, y +
    // 1): in MBAFF frames a macroblock on the left may hold the upper and lower rows of a block)
    Nb nb(int x, int y, bool corner = false) const {
        if (mbaff_) {
            Nb n = nb_mbaff(x < 0 ? -1 : 4 * x, y < 0 ? -1 : 4 * y + (corner ? 3 : 0), 16, 16);
            n.x >>= 2;
            n.y >>= 2;
            return n;
        }
        Nb n;
        int dx = x < 0 ? -1 : x > 3 ? 1 : 0, dy = y < 0 ? -1 : 0;
        n.mbx = mbx_ + dx;
        n.mby = mby_ + dy;
        n.x = x - 4 * dx;
        n.y = y - 4 * dy;
        n.avail = nb_avail_[dy + 1][dx + 1];
        return n;
    }
    const MbInfo& info(const Nb& n) const { return d_.mbs_[size_t(n.mby * mbw_ + n.mbx)]; }

    void prefetch_next(int mb) const;
    bool decode_mb();
    // The edge strengths of a macroblock are derived when the next one is complete (and the last
    // one's by flush_strengths): read right after they are stored, its motion records would wait
    // on store forwarding, which cannot serve loads narrower than, or across, the stores.
    // Anything left out is derived by the deblocking pass (bs_valid).
    void finish_mb() {
        if (sh_.deblock_idc == 1 || mbaff_) return;
        flush_strengths();
        pending_bs_[0] = mbx_;
        pending_bs_[1] = mby_;
    }
    int pending_bs_[2] = {-1, 0};  // (mbx, mby) of the macroblock waiting, or -1
    void skip_mb();
    bool parse_residual(MbInfo& m, int cbp, bool i16);
    template <class Coef, bool kC422, bool kMbaff>
    bool parse_residual_t(MbInfo& m, int cbp, bool i16, Coef* coeffs);
    template <class Pel>
    bool read_pcm(MbInfo& m);
    template <class Pel>
    void reconstruct(MbInfo& m, bool intra, int i16_mode, int chroma_mode, bool t8);
    void set_qp(MbInfo& m, int qp);  // records QPY and the QPc of both components
    int qpc_for_ = INT_MIN;          // the QPY that qpc_ was derived from
    int8_t qpc_[2] = {0, 0};
    bool bypass_ = false;  // the macroblock's TransformBypassModeFlag
    template <class Coef>
    void lossless_dpcm(MbInfo& m, int i16_mode, int chroma_mode, Coef* coeffs);
    bool left_ok_ = false, top_ok_ = false;  // neighbouring macroblocks available
    int luma_nc(int x, int y);
    int chroma_nc(int c, int x, int y, int blocks);
    // The reference index and vector of list `list` at neighbour n (clause 8.4.1.3.2): -1 and 0
    // where it is unavailable or does not use the list. Inline: MBAFF macroblocks take three
    // for each vector they predict.
    void neighbour_motion(const Nb& n, int list, int& ref, Mv& mv) const {
        ref = -1;
        mv = Mv();
        if (!n.avail) return;
        if (n.mbx == mbx_ && n.mby == mby_) {
            int i = n.y * 4 + n.x;
            ref = ref_idx_[list][i];
            if (ref >= 0) mv = mv_[list][i];
            return;
        }
        const h264common::MbMotion& m = pic_->motion[size_t(n.mby * mbw_ + n.mbx)];
        int i = n.y * 4 + n.x;
        ref = m.ref_idx[list][h264common::blk8_of(i)];
        mv.x = m.mv[list][i][0];  // 0 where the list is unused
        mv.y = m.mv[list][i][1];
        // clause 8.4.1.3.1: a frame neighbour of a field macroblock in field units, and the
        // other way round
        if (mbaff_ && ref >= 0) {
            const bool nf = m.field_mb != 0;  // as the neighbour's MbInfo, in the record at hand
            if (field_mb_ && !nf) {
                mv.y /= 2;
                ref *= 2;
            } else if (!field_mb_ && nf) {
                mv.y *= 2;
                ref >>= 1;
            }
        }
    }
    // What nb() and neighbour_motion() give outside MBAFF frames, in one step: the neighbour at
    // the 4x4 block (x, y) relative to the current macroblock (x in -1..4, y in -1..3), list
    // `list`.
    h264common::MvNeighbour frame_neighbour(int x, int y, int list) const {
        h264common::MvNeighbour n;
        if (x >= 0 && x < 4 && y >= 0) {
            const int i = y * 4 + x;
            n.avail = true;
            n.ref = ref_idx_[list][i];
            if (n.ref >= 0) n.mv = mv_[list][i];
            return n;
        }
        const int dx = x < 0 ? -1 : x > 3 ? 1 : 0, dy = y < 0 ? -1 : 0;
        if (!nb_avail_[dy + 1][dx + 1]) return n;
        const h264common::MbMotion& m = pic_->motion[size_t((mby_ + dy) * mbw_ + mbx_ + dx)];
        const int i = (y - 4 * dy) * 4 + x - 4 * dx;
        n.avail = true;
        n.ref = m.ref_idx[list][h264common::blk8_of(i)];
        n.mv.x = m.mv[list][i][0];  // 0 where the list is unused
        n.mv.y = m.mv[list][i][1];
        return n;
    }
    Mv predict_mv(int x, int y, int w, int list, int ref, int shape);
    void store_motion(bool intra);
    void direct(int blk8);
    void direct_spatial_setup();
    void predict_partition(int x, int y, int w, int h);
    template <class Pel, bool kC422>
    void predict_partition_t(int x, int y, int w, int h);
    template <class Pel, bool kC422>
    void predict_single_t(int l, int r, int i, int x, int y, int w, int h);
    template <class Pel, bool kC422>
    void predict_bi_t(int r0, int r1, int i, int x, int y, int w, int h);
    template <class Pel, bool kChroma>
    OpxResult interpolate(const Picture* ref, int mvx, int mvy, int x, int y, int w, int h,
                          Pel* const (&dst)[2], int dst_step) const;
    void inter_prediction();
    void direct_mb();
    bool uniform_motion() const;
    Opx8u intra_edges() const;
    const Opx8u* mbaff_edges() const;
    mutable Opx8u mbaff_edge_[4] = {0, 0, 0, 0};
    mutable bool mbaff_split_ = false;  // the halves differ in left availability
    void build_level_scale();
    void build_implicit_weights();
    int implicit_weight(int cur_poc, const Picture* p0, const Picture* p1);
    // the reference picture of refIdx r of list l: an MBAFF field macroblock's index r names
    // field r & 1 (0 the current macroblock's parity) of frame r >> 1
    const Picture* ref_pic(int l, int r) const {
        if (!field_mb_) return ref_[l][size_t(r)];
        return ref_[l][size_t(r >> 1)]->field[(bottom_ ? 1 : 0) ^ (r & 1)].get();
    }
    int ref_count(int l) const { return int(ref_[l].size()) << (field_mb_ ? 1 : 0); }
    void build_temporal_scale();
    static TemporalScale temporal_scale(const Picture* cur, const Picture* p0, const Picture* p1);

    // spatial direct (per macroblock)
    int sp_ref_[2] = {-1, -1};
    Mv sp_mv_[2];
    bool sp_done_ = false;
    bool zero_pred_ = false;
};

}  // namespace h264dec
