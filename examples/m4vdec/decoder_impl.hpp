// The decoder's state (Decoder::Impl) and the declarations of its parts, shared by the decoder's
// translation units; internal to opxvc-m4vdec, not installed:
//   decoder.cpp     MPEG-4 Visual headers, video packets and VOPs, picture output, the stream,
//                   the public Decoder functions
//   mpeg4_mb.cpp    motion vectors and prediction, blocks, macroblocks of I-, P-, S- and B-VOPs,
//                   global motion compensation, data partitioning
//   rewrite.cpp     rewriting (--rewrite, --rewrite-rvlc), backward reversible decoding, BitWriter
//   postfilter.cpp  --postfilter
//   h263.cpp        H.263 baseline and version 2 pictures, their macroblocks and vectors, Annex F
//   h261.cpp        H.261 pictures
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "m4vdec.hpp"

namespace m4vdec {
namespace detail {

// thrown for a tool outside the supported set: the stream is refused
struct Unsupported {
    std::string what;
};

struct Plane {
    std::vector<uint8_t> d;
    int stride = 0, w = 0, h = 0;  // w, h: coded size (whole macroblocks)
    uint8_t* at(int x, int y) { return d.data() + y * stride + x; }
};
struct Picture {
    Plane p[3];
    std::vector<uint8_t> qp;    // the macroblocks' quantisers (--postfilter)
    int width = 0, height = 0;  // as decoded (a later header may change the stream's size)
    void alloc(int mbw, int mbh) {
        qp.assign(size_t(mbw * mbh), 1);
        for (int c = 0; c < 3; ++c) {
            const int s = c ? 8 : 16;
            p[c].w = p[c].stride = mbw * s;
            p[c].h = mbh * s;
            p[c].d.assign(size_t(p[c].stride) * p[c].h, 128);
        }
    }
};

struct Mv {
    int x = 0, y = 0;
};

// what a block keeps for intra prediction: the DC (dequantised) and the quantised first row
// and column after prediction
struct BlockPred {
    int dc = 1024;
    int16_t row[8] = {0}, col[8] = {0};
};

struct MbInfo {
    int slice = -1;  // video packet number in the current VOP; -1: not decoded
    bool intra = false, skipped = false;
    int qp = 1;
    Mv mv[4];
    bool four = false;  // H.263: four vectors
    // H.263 Annex F, libavcodec-compatible (Options::obmc_compat): the vectors its look-ahead
    // gave this macroblock while the one to its left was decoded
    bool has_ahead = false;
    Mv ahead[4];
};

}  // namespace detail

struct Decoder::Impl {
    using Unsupported = detail::Unsupported;
    using Plane = detail::Plane;
    using Picture = detail::Picture;
    using Mv = detail::Mv;
    using BlockPred = detail::BlockPred;
    using MbInfo = detail::MbInfo;

    Decoder& d;
    explicit Impl(Decoder& dec) : d(dec) {}

    // video object layer
    bool have_vol = false;
    int verid = 1, width = 0, height = 0, time_bits = 1;
    bool resync_disabled = true, quant_type = false, partitioned = false, qpel = false;
    uint8_t intra_matrix[64], inter_matrix[64];
    int mbw = 0, mbh = 0, mb_num_bits = 1;
    std::vector<uint8_t> inv_intra_mem, inv_inter_mem;
    // global motion compensation: sprite_enable 2 (GMC), the warping points of S-VOPs and their
    // accuracy (0..3: 1/2 .. 1/16 sample), and the warp record of the current S-VOP
    int sprite_enable = 0, warp_points = 0, warp_accuracy = 0;
    std::vector<uint8_t> warp_mem;
    OpxWarpStateMPEG4* warp = nullptr;
    OpxQuantInvIntraStateMPEG4* inv_intra = nullptr;
    OpxQuantInvInterStateMPEG4* inv_inter = nullptr;

    // VOP
    int vop_type = 0, rounding = 0, dc_thr = 0, qp = 1, fcode = 1;
    // past and future references (I- and P-VOPs); the future one is output when the next
    // reference arrives or the stream ends, B-VOPs as soon as they are decoded
    Picture cur, past, future;
    bool have_future = false, future_pending = false;
    std::vector<MbInfo> colocated;  // the future reference's macroblocks
    int fcode_b = 1;
    // time: seconds (time bases) of the two references, VOP times in ticks
    long base_future = 0, base_past = 0, time_future = 0, time_past = 0, res = 1;
    std::vector<MbInfo> mbs;
    std::vector<BlockPred> pred[3];  // luma 2mbw x 2mbh, chroma mbw x mbh
    int slice = 0;
    Reader r;

    void error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    static void need(bool ok, const char* what) {
        if (!ok) throw Unsupported{what};
    }

    // ---- headers (decoder.cpp) -----------------------------------------------------------------
    void marker() {
        if (!r.bit()) throw std::string("marker bit missing");
    }
    void read_matrix(uint8_t m[64]);
    void parse_vol();
    void resize();

    // ---- motion vectors (mpeg4_mb.cpp) ---------------------------------------------------------
    int mv_component(int pred_v) { return mv_component(pred_v, fcode); }
    int mv_component(int pred_v, int fc, bool wrap = true);
    bool cand(int mx, int my, int blk, Mv& out) const;
    Mv predict_mv(int mx, int my, int k, const Mv cur_mb[4]) const;
    void mc(const Picture& from, int c, int x, int y, Mv mv, int size, uint8_t* out, int out_step,
            bool quarter = false, bool limit = false);
    static int chroma_of_sum(int s);
    void predict_mb(const Picture& from, int mx, int my, const Mv v[4], bool four,
                    uint8_t* const out[3], const int step[3]);
    void cur_mb(int mx, int my, uint8_t* out[3], int step[3]);

    // ---- blocks (mpeg4_mb.cpp) -----------------------------------------------------------------
    // a byte cursor at the reader's position for the library's decoders; uncursor() takes it back
    Opx8u* cursor(Opx32s& off) {
        off = Opx32s(r.pos & 7);
        return const_cast<Opx8u*>(r.buf + (r.pos >> 3));
    }
    void uncursor(const Opx8u* p, Opx32s off) { r.pos = bit_of(p, off); }
    uint64_t bit_of(const Opx8u* p, Opx32s off) const {
        return uint64_t(p - r.buf) * 8 + uint64_t(off);
    }
    const BlockPred* pred_at(int c, int bx, int by) const;
    void intra_block(int mx, int my, int b, bool coded, bool ac_pred, bool dc_vlc,
                     const Opx16s* dc = nullptr);
    void inter_block(int mx, int my, int b);

    // ---- rewriting (--rewrite, --rewrite-rvlc) and backward reversible decoding (rewrite.cpp) --
    // The output takes the input's bits up to rw_in; a block re-encoded or a field rewritten
    // is written in place of its input bits [start, end), and rw_in moves to its end.
    bool rewriting = false;
    BitWriter rw;
    uint64_t rw_in = 0;
    bool rvlc = false;  // reversible_vlc of the video object layer
    // decoding the third partition of a data-partitioned packet, in reversible codes (rvlc_now)
    bool in_partition3 = false, rvlc_now = false;
    void rw_sync(uint64_t upto);
    void rw_packet_end();
    void rw_align_zeros(uint64_t from, uint64_t to);

    // the levels of one coded block, in scan order
    struct CodedBlock {
        uint64_t start, end;  // input bits
        bool intra, dc_separate;
        Opx16s level[64];
    };
    std::vector<CodedBlock> packet_blocks;  // this packet's reversible blocks (--rvlc-backward)
    void block_levels(uint64_t start, bool intra, bool dc_separate);

    // H.263 and H.261 blocks for --rewrite: the input bits [start, r.pos) decoded again to
    // levels in scan order and re-encoded in the same codes
    enum H26xCodes {
        kH263IntraAc,  // Table 16 after INTRADC
        kTableI2,      // advanced intra coding, or an Annex S inter block
        kH263Inter,    // Table 16
        kH261Intra,    // the DC byte and TCOEFF to EOB
        kH261Inter,
    };
    void rewrite_h26x(uint64_t start, H26xCodes codes);
    // --reencode-check: the block just re-encoded (output bits [from, rw.bits)) against its input
    // bits [start, r.pos); decode(p, off, level) decodes the re-encoded copy in the same codes
    template <class Decode>
    void reencode_compare(uint64_t start, uint64_t from, const Opx16s* level, Decode decode);
    void rvlc_backward_check();
    static uint64_t bit_of_in(const BitWriter& w, const Opx8u* p, Opx32s off) {
        return uint64_t(p - w.out.data()) * 8 + uint64_t(off);
    }

    // ---- macroblocks (mpeg4_mb.cpp) ------------------------------------------------------------
    int mb_start(int mx, int my);
    void macroblock(int mx, int my);

    // ---- global motion compensation (mpeg4_mb.cpp) ---------------------------------------------
    int warping_mv_code();
    void sprite_trajectory(Opx32s du[4], Opx32s dv[4]);
    void gmc_setup(const Opx32s du[4], const Opx32s dv[4]);
    void gmc_mb(int mx, int my, uint8_t* const out[3], const int step[3]);
    void set_global_mv(int mx, int my);

    // ---- B-VOP macroblocks (mpeg4_mb.cpp) ------------------------------------------------------
    int trb = 1, trd = 2;
    Mv pmv_f, pmv_b;  // vector predictors: the previous macroblock's in the row and packet
    int b_row = -1, b_slice = -1;
    uint8_t bwd_y[256], bwd_c[2][64];
    void average_into(uint8_t* const out[3], const int step[3]);
    void b_macroblock(int mx, int my);

    // ---- data partitioning (mpeg4_mb.cpp) ------------------------------------------------------
    struct PartMb {
        int type = 0, cbp = 0, qp = 1;
        bool skipped = false, intra = false, ac_pred = false, dc_vlc = false, gmc = false;
        Opx16s dc[6] = {0, 0, 0, 0, 0, 0};
    };
    std::vector<PartMb> part;
    void read_dcs(PartMb& pm);
    void partitioned_packet();

    // ---- video packets (decoder.cpp) -----------------------------------------------------------
    int resync_length() const;
    bool at_resync() const;
    void video_packet_header();
    int pos_mb = 0;
    // MCBPC of P-VOPs and H.263 P-pictures; with PLUSPTYPE, also INTER4V+Q (mb_type 5)
    const CodeTable* mcbpc_p = &kMcbpcP;

    // ---- VOP and picture output (decoder.cpp) --------------------------------------------------
    void parse_vop();
    void flush();
    void keep_qp();
    void output(Picture& shown);

    // ---- --postfilter (postfilter.cpp) ---------------------------------------------------------
    Picture post;
    std::vector<uint8_t> padded;
    Picture& postfilter(const Picture& pic);

    // ---- H.263 baseline (h263.cpp) -------------------------------------------------------------
    bool at_gob_header() const;
    void h263_picture();

    // ---- H.263 version 2 pictures (h263.cpp) ---------------------------------------------------
    // options of the last picture with UFEP 1, kept by the pictures after it
    int plus_format = 0;
    bool custom_pcf = false, plus_obmc = false, plus_umv = false, plus_aiv = false;
    bool aic = false, deblock = false, modquant = false;  // Annexes I, J, T
    bool aiv = false;  // Annex S: inter blocks may take the intra codes of Table I.2
    // Annex D: vectors past the picture's edges; `umv_plus` the version 2 form (PLUSPTYPE),
    // whose differences take the reversible codes of Table D.3 and are not wrapped
    bool umv = false, umv_plus = false;
    void plus_header();
    int chroma_qp(int q) const;
    void aic_block(int mx, int my, int b, bool coded, int mode, uint8_t* dst, int stride);
    void deblock_picture();

    // ---- H.263 motion vectors and macroblocks (h263.cpp) ---------------------------------------
    int umv_difference();
    Mv h263_mv(Mv p);
    int umv_v1_component(int p);
    static int umv_v1_vector(int p, int code);
    int dquant(int q);
    static int dquant_t_step(int quant, int bit);
    int dquant_t(int q);
    void h263_inter_block(Opx16s q[64], int quant);
    void h263_macroblock(int mx, int my);

    // ---- H.263 Annex F: overlapped block motion compensation (h263.cpp) ------------------------
    // An inter or not-coded macroblock's luminance prediction needs the vectors of the
    // macroblock to its right: it waits (with its residuals) until that one is parsed.
    bool obmc = false;
    // Compatible mode (Options::obmc_compat). libavcodec's decoder takes the right neighbour's
    // vectors from a look-ahead made after each coded inter macroblock, which predicts them
    // from the vector table as it stands: the left macroblock's entries are its own
    // look-ahead's result, or, without one (first in its row, after an intra or not-coded
    // macroblock) and unless it has four vectors, what the table held from the picture three
    // before (the buffer it reuses; zero at first). After a not-coded macroblock there is no
    // look-ahead at all: the right neighbour is that older picture's. H.263 Annex F.3 takes the
    // decoded vectors; this mode exists to compare with that decoder bit for bit.
    bool obmc_compat = false;
    std::vector<std::vector<MbInfo>> recent;  // the last three pictures' macroblocks
    const MbInfo* older(int n) const {
        return recent.size() == 3 ? &recent.front()[size_t(n)] : nullptr;
    }
    Mv held(int n, int blk) const;
    static int wrap_mv(int a) {  // into -32..31 (half samples, f_code 1)
        return ((a + 32) & 63) - 32;
    }
    int pending = -1, pending_cbp = 0;  // the waiting macroblock, -1 none
    alignas(16) Opx16s parsed_res[6][64], pending_res[6][64];
    void obmc_parsed(int mx, int my, int cbp);
    Mv remote(int mx, int my, int blk, Mv self) const;
    Mv remote_right(int n, int blk, Mv self) const;
    void obmc_pending();
    void obmc_block(int x, int y, const Mv vin[5], uint8_t* out, int out_step);
    std::vector<uint8_t> obmc_area;
    void run_h263(const std::vector<uint8_t>& buf, size_t size);

    // ---- H.261 (h261.cpp) ----------------------------------------------------------------------
    std::vector<Code> mba_codes, cbp_codes;
    CodeTable mba_table{nullptr, 0, "MBA"}, cbp_table{nullptr, 0, "CBP"};
    static void from_list(const int32_t* list, std::vector<Code>& out);
    void h261_tables();
    void skip_zeros();
    void h261_picture();
    void h261_macroblock(int mx, int my, int mtype, Mv v, int cbp);
    void run_h261(const std::vector<uint8_t>& buf, size_t size);

    // Parses one picture (or header) with `f`: damage is reported and decoding goes on at the
    // next start code; a tool outside the supported set refuses the stream (false).
    template <class F>
    bool picture(F&& f) {
        try {
            f();
        } catch (const Unsupported& u) {
            if (!d.opt_.quiet)
                std::fprintf(d.log_, "opxvc-m4vdec: unsupported stream: %s\n", u.what.c_str());
            d.refused_ = true;
            return false;
        } catch (const std::string& e) {
            error("%s", e.c_str());
        }
        return true;
    }

    // ---- stream (decoder.cpp) ------------------------------------------------------------------
    void run(const uint8_t* data, size_t size);
    void run_stream(const std::vector<uint8_t>& buf, size_t size);
};

}  // namespace m4vdec
