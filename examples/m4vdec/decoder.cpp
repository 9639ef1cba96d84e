// MPEG-4 Visual decoding (ISO/IEC 14496-2): start codes, the video object layer and VOP
// headers (clause 6.2), video packets and data partitioning (with reversible VLC, also decoded
// backward on request), macroblocks of I-, P- and B-VOPs
// (1MV and 4MV, unrestricted vectors, direct mode, half- and quarter-sample prediction), S-VOPs of
// global motion compensation, motion vector prediction (clause 7.6.5), intra DC and AC prediction
// (clause 7.4.3) and reconstruction; H.263 pictures (ITU-T H.263 clause 5) with unrestricted
// vectors (Annex D) and advanced prediction (Annex F), version 2 picture headers with advanced
// intra coding, the deblocking filter, the alternative inter VLC and modified quantisation
// (Annexes I, J, S, T), and H.261 pictures (ITU-T H.261 clause 4) with the
// same machinery. Streams using tools outside this set are refused (exit 3). The stream can be
// rewritten as it is decoded: every block's coefficients re-encoded (in reversible codes for
// data-partitioned MPEG-4), other bits copied, stuffing redone where lengths change.
//
// Decoder::Impl is declared in decoder_impl.hpp, which lists the files of its parts; the parts
// not listed there are defined here.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "decoder_impl.hpp"
#include "mpeg2_code_lists.h"  // MBA and CBP: H.261 Tables 1 and 4 equal MPEG-1's

namespace m4vdec {

namespace {

// zigzag scan: scan position -> raster index (14496-2 Figure 7-2)
const uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// default weighting matrices, raster order (14496-2 clause 6.3.3)
const uint8_t kDefaultIntra[64] = {8,  17, 18, 19, 21, 23, 25, 27, 17, 18, 19, 21, 23, 25, 27, 28,
                                   20, 21, 22, 23, 24, 26, 28, 30, 21, 22, 23, 24, 26, 28, 30, 32,
                                   22, 23, 24, 26, 28, 30, 32, 35, 23, 24, 26, 28, 30, 32, 35, 38,
                                   25, 26, 28, 30, 32, 35, 38, 41, 27, 28, 30, 32, 35, 38, 41, 45};
const uint8_t kDefaultInter[64] = {16, 17, 18, 19, 20, 21, 22, 23, 17, 18, 19, 20, 21, 22, 23, 24,
                                   18, 19, 20, 21, 22, 23, 24, 25, 19, 20, 21, 22, 23, 24, 26, 27,
                                   20, 21, 22, 23, 25, 26, 27, 28, 21, 22, 23, 24, 26, 27, 28, 30,
                                   22, 23, 24, 26, 27, 28, 30, 31, 23, 24, 25, 27, 28, 30, 31, 33};

}  // namespace

void Decoder::Impl::error(const char* fmt, ...) {
    ++d.errors_;
    if (d.opt_.quiet) return;
    va_list ap;
    va_start(ap, fmt);
    std::fprintf(d.log_, "opxvc-m4vdec: ");
    std::vfprintf(d.log_, fmt, ap);
    std::fprintf(d.log_, "\n");
    va_end(ap);
}

// ---- headers ------------------------------------------------------------------------------------
void Decoder::Impl::read_matrix(uint8_t m[64]) {
    int last = 0, i = 0;
    for (; i < 64; ++i) {
        const int v = int(r.u(8));
        if (v == 0) break;
        m[kZigzag[i]] = uint8_t(last = v);
    }
    if (i == 0) throw std::string("empty quantiser matrix");
    for (; i < 64; ++i) m[kZigzag[i]] = uint8_t(last);
}

void Decoder::Impl::parse_vol() {
    r.u(1);  // random_accessible_vol
    const int type = int(r.u(8));
    need(type <= 1 || type == 0x11 || type == 0x12 || type == 0x14,
         "video object type other than simple");
    verid = 1;
    if (r.bit()) {
        verid = int(r.u(4));
        r.u(3);
    }
    if (r.u(4) == 15) r.u(16);  // extended PAR
    if (r.bit()) {              // vol_control_parameters
        need(r.u(2) == 1, "chroma format other than 4:2:0");
        r.u(1);  // low_delay
        if (r.bit()) {
            r.u(15), marker(), r.u(15), marker(), r.u(15), marker(), r.u(3), r.u(11), marker(),
                r.u(15), marker();
        }
    }
    need(r.u(2) == 0, "video object layer shape other than rectangular");
    marker();
    res = long(r.u(16));
    if (res == 0) throw std::string("vop_time_increment_resolution 0");
    marker();
    time_bits = 1;
    while ((1 << time_bits) < res) ++time_bits;
    if (r.bit()) r.u(time_bits);  // fixed_vop_rate
    marker();
    width = int(r.u(13));
    marker();
    height = int(r.u(13));
    marker();
    if (width == 0 || height == 0) throw std::string("picture size 0");
    need(!r.bit(), "interlaced video");
    need(r.bit(), "overlapped block motion compensation");
    sprite_enable = int(r.u(verid == 1 ? 1 : 2));  // 1 static sprite, 2 GMC
    need(sprite_enable != 1, "static sprites");
    if (sprite_enable == 3) throw std::string("reserved sprite_enable");
    if (sprite_enable == 2) {
        warp_points = int(r.u(6));
        need(warp_points <= 3, "global motion compensation with four warping points");
        warp_accuracy = int(r.u(2));
        need(!r.bit(), "sprite brightness change");
    }
    need(!r.bit(), "not 8-bit video");
    quant_type = r.bit();
    std::memcpy(intra_matrix, kDefaultIntra, 64);
    std::memcpy(inter_matrix, kDefaultInter, 64);
    if (quant_type) {
        if (r.bit()) read_matrix(intra_matrix);
        if (r.bit()) read_matrix(inter_matrix);
    }
    qpel = verid != 1 && r.bit();
    need(r.bit(), "complexity estimation header");
    resync_disabled = r.bit();
    partitioned = r.bit();
    rvlc = false;
    if (partitioned) {
        const uint64_t at = r.pos;
        rvlc = r.bit();
        if (rewriting && d.opt_.rewrite_rvlc && !rvlc) {  // reversible_vlc set
            rw_sync(at);
            rw.put_bit(1);
            rw_in = at + 1;
        }
    }
    need(partitioned || !d.opt_.rewrite_rvlc, "--rewrite-rvlc without data partitioning");
    if (verid != 1) {
        need(!r.bit(), "NEWPRED");
        need(!r.bit(), "reduced resolution VOPs");
    }
    need(!r.bit(), "scalability");
    if (r.overrun()) throw std::string("video object layer header cut short");

    resize();
    Opx32s n = 0;
    opxiQuantInvIntraGetSize_MPEG4(&n);
    inv_intra_mem.assign(size_t(n), 0);
    opxiQuantInvInterGetSize_MPEG4(&n);
    inv_inter_mem.assign(size_t(n), 0);
    inv_intra = reinterpret_cast<OpxQuantInvIntraStateMPEG4*>(inv_intra_mem.data());
    inv_inter = reinterpret_cast<OpxQuantInvInterStateMPEG4*>(inv_inter_mem.data());
    opxiQuantInvIntraInit_MPEG4(quant_type ? intra_matrix : nullptr, inv_intra, 8);
    opxiQuantInvInterInit_MPEG4(quant_type ? inter_matrix : nullptr, inv_inter, 8);
    opxiWarpGetSize_MPEG4(&n);
    warp_mem.assign(size_t(n), 0);
    warp = reinterpret_cast<OpxWarpStateMPEG4*>(warp_mem.data());
    have_vol = true;
}

// picture buffers for width x height; a repeated header of the same size keeps the references
void Decoder::Impl::resize() {
    const int new_mbw = (width + 15) / 16, new_mbh = (height + 15) / 16;
    if (new_mbw == mbw && new_mbh == mbh && !mbs.empty()) return;
    mbw = new_mbw;
    mbh = new_mbh;
    mb_num_bits = 1;
    while ((1 << mb_num_bits) < mbw * mbh) ++mb_num_bits;
    {
        flush();
        have_future = false;
        cur.alloc(mbw, mbh);
        past.alloc(mbw, mbh);
        future.alloc(mbw, mbh);
        mbs.assign(size_t(mbw * mbh), MbInfo());
        colocated = mbs;
        pred[0].assign(size_t(4 * mbw * mbh), BlockPred());
        pred[1].assign(size_t(mbw * mbh), BlockPred());
        pred[2].assign(size_t(mbw * mbh), BlockPred());
    }
}

// ---- video packets ------------------------------------------------------------------------------
int Decoder::Impl::resync_length() const {
    // B-VOPs: at least 18 bits (what ffmpeg writes and reads with both f_codes 1)
    return vop_type == 0   ? 17
           : vop_type == 2 ? 16 + std::max(std::max(fcode, fcode_b), 2)
                           : 16 + fcode;
}

// a byte-aligned resync marker after stuffing at the current position
bool Decoder::Impl::at_resync() const {
    if (resync_disabled) return false;
    const int n = 8 - int(r.pos & 7);
    if (r.peek(n) != (0x7Fu >> (8 - n))) return false;
    Reader t = r;
    t.pos += uint64_t(n);
    const int len = resync_length();
    return t.peek(len) == 1;
}

void Decoder::Impl::video_packet_header() {
    const int n = 8 - int(r.pos & 7);
    r.pos += uint64_t(n + resync_length());
    const int mb = int(r.u(mb_num_bits));
    if (mb >= mbw * mbh) throw std::string("macroblock number out of range");
    qp = int(r.u(5));
    if (qp == 0) throw std::string("quant_scale 0");
    if (r.bit()) {  // header_extension_code
        while (r.bit()) {
        }
        marker();
        r.u(time_bits);
        marker();
        const int t = int(r.u(2));
        if (t != vop_type) throw std::string("vop_coding_type changes inside a VOP");
        r.u(3);
        if (vop_type == 3) {  // the trajectory repeated
            Opx32s du[4], dv[4];
            sprite_trajectory(du, dv);
        }
        if (vop_type != 0) r.u(3);
        if (vop_type == 2) r.u(3);
    }
    ++slice;
    pos_mb = mb;
}

// ---- VOP ----------------------------------------------------------------------------------------
void Decoder::Impl::parse_vop() {
    if (!have_vol) throw std::string("VOP before a video object layer header");
    vop_type = int(r.u(2));
    if (vop_type == 3 && sprite_enable != 2) throw std::string("S-VOP without GMC");
    long seconds = 0;
    while (r.bit()) ++seconds;
    marker();
    const long inc = long(r.u(time_bits));
    marker();
    if (!r.bit()) {  // vop_coded 0: no picture (ffmpeg outputs none either); the time base
                     // moves on
        if (vop_type != 2) base_future += seconds;
        return;
    }
    long now;
    if (vop_type == 2) {
        now = (base_past + seconds) * res + inc;
    } else {
        base_past = base_future;
        base_future += seconds;
        now = base_future * res + inc;
    }
    if (vop_type != 0 && !have_future) throw std::string("predicted VOP without a reference");
    rounding = vop_type == 1 || vop_type == 3 ? int(r.u(1)) : 0;
    dc_thr = int(r.u(3));
    Opx32s du[4] = {0, 0, 0, 0}, dv[4] = {0, 0, 0, 0};
    if (vop_type == 3) sprite_trajectory(du, dv);
    qp = int(r.u(5));
    if (qp == 0) throw std::string("vop_quant 0");
    if (vop_type != 0) {
        fcode = int(r.u(3));
        if (fcode == 0) throw std::string("vop_fcode_forward 0");
    }
    if (vop_type == 2) {
        fcode_b = int(r.u(3));
        if (fcode_b == 0) throw std::string("vop_fcode_backward 0");
        trb = int(now - time_past);
        trd = int(time_future - time_past);
        if (trd <= 0 || trb <= 0 || trb >= trd) throw std::string("B-VOP outside its references");
    }
    if (vop_type == 3) gmc_setup(du, dv);
    for (MbInfo& m : mbs) m.slice = -1;
    slice = 0;
    pos_mb = 0;
    try {
        while (pos_mb < mbw * mbh) {
            // a B macroblock whose co-located one was not coded takes no bits, so a resync
            // marker met there belongs to a later macroblock
            const bool no_bits = vop_type == 2 && colocated[size_t(pos_mb)].skipped;
            if (pos_mb > 0 && !no_bits && at_resync()) {
                rw_packet_end();
                video_packet_header();
            }
            if (partitioned && vop_type != 2) {
                partitioned_packet();
                if (pos_mb < mbw * mbh && !at_resync())
                    throw std::string("video packet without a resync marker");
                continue;
            }
            if (vop_type == 2)
                b_macroblock(pos_mb % mbw, pos_mb / mbw);
            else
                macroblock(pos_mb % mbw, pos_mb / mbw);
            ++pos_mb;
            if (r.overrun()) throw std::string("VOP data cut short");
        }
        rw_packet_end();
    } catch (const std::string& e) {
        in_partition3 = rvlc_now = false;
        error("VOP %ld, macroblock %d: %s", d.frames_out_, pos_mb, e.c_str());
    }
    keep_qp();
    if (vop_type == 2) {
        output(cur);
        return;
    }
    flush();
    std::swap(past, future);
    std::swap(future, cur);
    colocated = mbs;
    have_future = future_pending = true;
    time_past = time_future;
    time_future = now;
}

// outputs the future reference if it has not been output yet
void Decoder::Impl::flush() {
    if (future_pending) output(future);
    future_pending = false;
}

// a decoded picture keeps its size and quantisers for its output, which may come after
// a header of another size
void Decoder::Impl::keep_qp() {
    for (size_t n = 0; n < mbs.size(); ++n) cur.qp[n] = uint8_t(mbs[n].qp);
    cur.width = width;
    cur.height = height;
}

void Decoder::Impl::output(Picture& shown) {
    if (d.opt_.max_frames >= 0 && d.frames_out_ >= d.opt_.max_frames) return;
    Picture& pic = d.opt_.postfilter ? postfilter(shown) : shown;
    opxcli::PictureFormat fmt;
    fmt.width = pic.width;
    fmt.height = pic.height;
    opxcli::Plane planes[3];
    for (int c = 0; c < 3; ++c) {
        planes[c].data = pic.p[c].d.data();
        planes[c].stride = pic.p[c].stride;
        planes[c].width = c ? (pic.width + 1) / 2 : pic.width;
        planes[c].height = c ? (pic.height + 1) / 2 : pic.height;
    }
    if (d.opt_.md5) std::printf("%ld %s\n", d.frames_out_, opxcli::frame_md5(fmt, planes).c_str());
    if (d.writer_.enabled() && !d.writer_.write(fmt, planes)) d.errors_++;
    ++d.frames_out_;
    if (d.opt_.progress) d.opt_.progress->frame();
}

// ---- stream -------------------------------------------------------------------------------------
void Decoder::Impl::run(const uint8_t* data, size_t size) {
    obmc_compat = d.opt_.obmc_compat;
    rewriting = d.opt_.rewrite;
    std::vector<uint8_t> buf(data, data + size);
    buf.resize(size + 4096, 0);  // a macroblock never reads 4 KB past the stream
    run_stream(buf, size);
    if (rewriting) {  // the rest as it is
        r.buf = buf.data();
        rw_sync(uint64_t(size) * 8);
        d.rewritten_ = std::move(rw.out);
    }
}

void Decoder::Impl::run_stream(const std::vector<uint8_t>& buf, size_t size) {
    size_t i = 0;
    const bool h263_psc = size >= 3 && buf[0] == 0 && buf[1] == 0 && (buf[2] & 0xFC) == 0x80;
    const bool h261_psc = size >= 3 && buf[0] == 0 && buf[1] == 1 && (buf[2] & 0xF0) == 0;
    if ((h263_psc || h261_psc) && d.opt_.rewrite_rvlc) {
        picture([] { need(false, "--rewrite-rvlc of an H.263 or H.261 stream"); });
        return;
    }
    // H.263: a picture start code (0000 0000 0000 0000 1000 00) first
    if (h263_psc) return run_h263(buf, size);
    // H.261: a picture start code (0000 0000 0000 0001 0000) first
    if (h261_psc) return run_h261(buf, size);
    auto next_start = [&](size_t from) {
        for (size_t k = from; k + 3 < size + 1; ++k)
            if (buf[k] == 0 && buf[k + 1] == 0 && buf[k + 2] == 1) return k;
        return size;
    };
    i = next_start(0);
    while (i < size) {
        if (d.opt_.max_frames >= 0 && d.frames_out_ >= d.opt_.max_frames) return;
        const size_t next = next_start(i + 3);
        if (i + 3 >= size) break;
        const int code = buf[i + 3];
        r.buf = buf.data();
        r.pos = uint64_t(i + 4) * 8;
        r.end = uint64_t(next) * 8;
        const bool go_on = picture([&] {
            if (code >= 0x20 && code <= 0x2F)
                parse_vol();
            else if (code == 0xB6)
                parse_vop();
            else if (code == 0xB0 || code == 0xB1 || code == 0xB2 || code == 0xB3 || code == 0xB5 ||
                     code <= 0x1F)
                ;  // sequence, user data, GOV, visual object: nothing needed
            else
                need(false, "start code of a tool outside the simple profile");
        });
        if (!go_on) return;
        i = next;
    }
    flush();
}

// ---- H.263 baseline (ITU-T H.263 clause 5) ------------------------------------------------------
// GBSC (17 bits), possibly after stuffing zeros up to a byte boundary
bool Decoder::Impl::at_gob_header() const {
    if (r.peek(17) == 1) return true;
    const uint64_t aligned = (r.pos + 7) & ~uint64_t(7);
    if (aligned == r.pos) return false;
    Reader t = r;
    if (t.u(int(aligned - r.pos)) != 0) return false;
    return t.peek(17) == 1;
}

void Decoder::Impl::h263_picture() {
    r.u(22);  // PSC
    r.u(8);   // TR
    if (!r.bit() || r.bit()) throw std::string("invalid PTYPE");
    r.u(3);  // split screen, document camera, freeze picture release
    static const int kSizes[6][2] = {{0, 0},     {128, 96},  {176, 144},
                                     {352, 288}, {704, 576}, {1408, 1152}};
    const int format = int(r.u(3));
    mcbpc_p = format == 7 ? &kMcbpcPPlus : &kMcbpcP;
    if (format == 7) {
        plus_header();
    } else {
        if (format == 0 || format == 6) throw std::string("invalid source format");
        vop_type = int(r.u(1));
        umv = r.bit();
        umv_plus = false;
        need(!r.bit(), "H.263 syntax-based arithmetic coding (Annex E)");
        obmc = r.bit();  // advanced prediction (Annex F)
        need(!r.bit(), "H.263 PB-frames (Annex G)");
        qp = int(r.u(5));
        if (qp == 0) throw std::string("PQUANT 0");
        need(!r.bit(), "H.263 continuous presence multipoint");
        width = kSizes[format][0];
        height = kSizes[format][1];
        rounding = 0;
        aic = deblock = modquant = aiv = false;
    }
    while (r.bit()) r.u(8);  // PEI, PSUPP
    if (r.overrun()) throw std::string("picture header cut short");
    resize();
    have_vol = true;
    if (vop_type == 1 && !have_future) throw std::string("P-picture without a reference");
    fcode = 1;
    // macroblock rows per GOB (H.263 clause 5.2; custom sizes by their height)
    const int gob_rows = height <= 400 ? 1 : height <= 800 ? 2 : 4;
    pending = -1;
    for (MbInfo& m : mbs) m.slice = -1;
    slice = 0;
    pos_mb = 0;
    try {
        while (pos_mb < mbw * mbh) {
            const int mx = pos_mb % mbw, my = pos_mb / mbw;
            if (mx == 0 && my > 0 && my % gob_rows == 0 && at_gob_header()) {
                const uint64_t stuffing = r.pos;
                while (r.peek(17) != 1) r.u(1);
                if ((r.pos & 7) == 0) rw_align_zeros(stuffing, r.pos);
                r.u(17);
                const int gn = int(r.u(5));
                if (gn * gob_rows != my) throw std::string("GOB number out of order");
                r.u(2);  // GFID
                qp = int(r.u(5));
                if (qp == 0) throw std::string("GQUANT 0");
                ++slice;
            }
            h263_macroblock(mx, my);
            ++pos_mb;
            if (r.overrun()) throw std::string("picture data cut short");
        }
        rw_align_zeros(r.pos, (r.pos + 7) & ~uint64_t(7));
    } catch (const std::string& e) {
        error("picture %ld, macroblock %d: %s", d.frames_out_, pos_mb, e.c_str());
        obmc_pending();
    }
    if (deblock) deblock_picture();
    keep_qp();
    flush();
    std::swap(past, future);
    std::swap(future, cur);
    have_future = future_pending = true;
    if (obmc_compat) {
        if (recent.size() == 3) recent.erase(recent.begin());
        recent.push_back(mbs);
    }
}

// ---- H.263 version 2 pictures (PLUSPTYPE, H.263 clause 5.1.4) -----------------------------------
// from the PLUSPTYPE on, up to PQUANT
void Decoder::Impl::plus_header() {
    const int ufep = int(r.u(3));
    if (ufep > 1) throw std::string("invalid UFEP");
    if (ufep == 1) {  // OPPTYPE
        plus_format = int(r.u(3));
        custom_pcf = r.bit();
        plus_umv = r.bit();
        need(!r.bit(), "H.263 syntax-based arithmetic coding (Annex E)");
        plus_obmc = r.bit();
        aic = r.bit();
        deblock = r.bit();
        need(!r.bit(), "H.263 slice structure (Annex K)");
        need(!r.bit(), "H.263 reference picture selection (Annex N)");
        need(!r.bit(), "H.263 independent segment decoding (Annex R)");
        plus_aiv = r.bit();
        modquant = r.bit();
        if (r.u(4) != 8) throw std::string("invalid OPPTYPE");
    } else if (plus_format == 0) {
        throw std::string("PLUSPTYPE without its options");
    }
    obmc = plus_obmc;
    umv = umv_plus = plus_umv;
    aiv = plus_aiv;
    const int type = int(r.u(3));  // MPPTYPE
    need(type <= 1, "H.263 B, EI, EP or improved PB pictures");
    vop_type = type;
    need(!r.bit(), "H.263 reference picture resampling (Annex P)");
    need(!r.bit(), "H.263 reduced-resolution update (Annex Q)");
    rounding = int(r.u(1));  // RTYPE
    if (r.u(3) != 1) throw std::string("invalid MPPTYPE");
    need(!r.bit(), "H.263 continuous presence multipoint");
    static const int kSizes[6][2] = {{0, 0},     {128, 96},  {176, 144},
                                     {352, 288}, {704, 576}, {1408, 1152}};
    if (ufep == 1) {
        if (plus_format == 6) {  // CPFMT
            const int par = int(r.u(4));
            width = (int(r.u(9)) + 1) * 4;
            marker();
            height = int(r.u(9)) * 4;
            if (height == 0) throw std::string("picture height 0");
            if (par == 15) r.u(16);  // EPAR
        } else if (plus_format >= 1 && plus_format <= 5) {
            width = kSizes[plus_format][0];
            height = kSizes[plus_format][1];
        } else {
            throw std::string("invalid source format");
        }
        if (custom_pcf) r.u(8);  // CPCFC
    }
    if (custom_pcf) r.u(2);  // ETR
    // UUI: 1 the vector range of Table D.1, 01 unlimited; either way nothing to check here
    if (ufep == 1 && plus_umv && !r.bit() && !r.bit()) throw std::string("invalid UUI");
    qp = int(r.u(5));
    if (qp == 0) throw std::string("PQUANT 0");
}

// chrominance QUANT: Annex T Table T.1 in modified quantisation, else QUANT
int Decoder::Impl::chroma_qp(int q) const {
    static const uint8_t kQuantC[32] = {0,  1,  2,  3,  4,  5,  6,  6,  7,  8,  9,
                                        9,  10, 10, 11, 11, 12, 12, 12, 13, 13, 13,
                                        14, 14, 14, 14, 14, 15, 15, 15, 15, 15};
    return modquant ? kQuantC[q] : q;
}

// Annex I: one intra block of advanced intra coding into dst. mode 0 predicts the DC from
// the mean of the left and above blocks' (either alone when the other is missing, 1024
// without both), 1 the first row from the block above, 2 the first column from the block
// to the left (with the alternate horizontal and vertical scans); the reconstructed DC is
// made odd and not negative.
void Decoder::Impl::aic_block(int mx, int my, int b, bool coded, int mode, uint8_t* dst,
                              int stride) {
    const int c = b < 4 ? 0 : b - 3;
    const int bx = c ? mx : 2 * mx + (b & 1), by = c ? my : 2 * my + (b >> 1);
    const int gw = c ? mbw : 2 * mbw;
    const BlockPred* A = pred_at(c, bx - 1, by);
    const BlockPred* C = pred_at(c, bx, by - 1);
    alignas(16) Opx16s q[64];
    std::memset(q, 0, sizeof q);
    Opx32s off, last = 0;
    Opx8u* p = cursor(off);
    const uint64_t start = r.pos;
    if (opxiReconstructCoeffsIntra_H263_1u16s(&p, &off, q, &last, coded, c ? chroma_qp(qp) : qp, 1,
                                              mode == 1   ? 2
                                              : mode == 2 ? 1
                                                          : 0,
                                              modquant) != opxOk)
        throw std::string("invalid intra block");
    uncursor(p, off);
    if (coded) rewrite_h26x(start, kTableI2);
    int dc = 1024;
    if (mode == 0) {
        dc = A && C ? (A->dc + C->dc) >> 1 : A ? A->dc : C ? C->dc : 1024;
    } else if (mode == 1 && C) {
        dc = C->dc;
        for (int i = 1; i < 8; ++i) q[i] = Opx16s(q[i] + C->row[i]);
    } else if (mode == 2 && A) {
        dc = A->dc;
        for (int i = 1; i < 8; ++i) q[i * 8] = Opx16s(q[i * 8] + A->col[i]);
    }
    dc += q[0];
    q[0] = Opx16s(dc < 0 ? 0 : std::min(dc, 2047) | 1);
    BlockPred& me = pred[c][size_t(by * gw + bx)];
    me.dc = q[0];
    for (int i = 1; i < 8; ++i) me.row[i] = q[i], me.col[i] = q[i * 8];
    d.opt_.idct->put(q, dst, stride);
}

// Annex J: the deblocking filter over the reconstructed picture, horizontal block edges
// first, then vertical ones. An edge between two blocks of not-coded macroblocks stays;
// otherwise the QUANT is that of the macroblock below or to the right, or of the other one
// when that one was not coded (chrominance: its QUANT_C).
void Decoder::Impl::deblock_picture() {
    for (int c = 0; c < 3; ++c) {
        Plane& pl = cur.p[c];
        const int sh = c ? 0 : 1, gw = mbw << sh, gh = mbh << sh;
        auto edge_qp = [&](int ax, int ay, int bx, int by) {
            const MbInfo& a = mbs[size_t((ay >> sh) * mbw + (ax >> sh))];
            const MbInfo& b = mbs[size_t((by >> sh) * mbw + (bx >> sh))];
            if (a.skipped && b.skipped) return 0;
            const int q = b.skipped ? a.qp : b.qp;
            return c ? chroma_qp(q) : q;
        };
        for (int by = 1; by < gh; ++by)
            for (int bx = 0; bx < gw; ++bx)
                if (const int q = edge_qp(bx, by - 1, bx, by))
                    opxiFilterDeblocking8x8HorEdge_H263_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                                q);
        for (int by = 0; by < gh; ++by)
            for (int bx = 1; bx < gw; ++bx)
                if (const int q = edge_qp(bx - 1, by, bx, by))
                    opxiFilterDeblocking8x8VerEdge_H263_8u_C1IR(pl.at(bx * 8, by * 8), pl.stride,
                                                                q);
    }
}

// ---- H.263 motion vectors (clause 6.1.1, Annex D) and macroblocks -------------------------------
// One MVD component of Annex D with PLUSPTYPE (Table D.3): "1" for 0; otherwise a 0, then
// for each bit of |MVD| after its leading 1 that bit and a 1, then the sign (1 negative)
// and a 0. Single-valued, reversible; half samples.
int Decoder::Impl::umv_difference() {
    if (r.bit()) return 0;
    int a = 1;
    for (;;) {
        const int b = int(r.u(1));
        if (!r.bit()) return b ? -a : a;
        if (a >= 1 << 12) throw std::string("invalid motion vector difference");
        a = (a << 1) | b;
    }
}

// A macroblock or block vector from its prediction and the coded differences
detail::Mv Decoder::Impl::h263_mv(Mv p) {
    Mv v;
    if (umv_plus) {
        const int dx = umv_difference(), dy = umv_difference();
        // two differences of +1/2 would leave eight zeros in a row: a 1 follows to keep start
        // codes from being emulated
        if (dx == 1 && dy == 1 && !r.bit()) throw std::string("start code emulation bit 0");
        v.x = p.x + dx;
        v.y = p.y + dy;
        return v;
    }
    v.x = umv ? umv_v1_component(p.x) : mv_component(p.x);
    v.y = umv ? umv_v1_component(p.y) : mv_component(p.y);
    return v;
}

// Annex D.2 without PLUSPTYPE: the MVD table's two values per code (d and d -+ 64 half
// samples) resolve to the vector within -32..31 of a predictor in -31..32, and otherwise to
// the one within -63..63 of the predictor's sign (or zero)
int Decoder::Impl::umv_v1_component(int p) {
    const int code = r.vlc(kMotionCode);
    if (code == INT_MIN) throw std::string("invalid MVD");
    return umv_v1_vector(p, code);
}

int Decoder::Impl::umv_v1_vector(int p, int code) {
    const int d = code == 32 ? -32 : code;  // "-16 & 16" is one code
    if (p >= -31 && p <= 32) return p + d;
    int v = p + d;
    if (v < -63 || (p > 0 && v < 0)) v += 64;
    if (v > 63 || (p < 0 && v > 0)) v -= 64;
    return v;
}

// DQUANT of clause 5.3.6: -1, -2, +1, +2
int Decoder::Impl::dquant(int q) {
    static const int kDquant[4] = {-1, -2, 1, 2};
    return std::min(std::max(q + kDquant[r.u(2)], 1), 31);
}

// DQUANT of Annex T.2: 1 and a bit choosing between the two steps of Table T.1 for the
// current QUANT, or 0 and the new QUANT in 5 bits
// Table T.1 by QUANT and the bit: QUANT 1 -> +2/+1, 2..10 -> -1/+1, 11..20 -> -2/+2,
// 21..28 -> -3/+3, 29 -> -3/+2, 30 -> -3/+1, 31 -> -3/-5
int Decoder::Impl::dquant_t_step(int quant, int bit) {
    if (quant == 1) return bit ? 1 : 2;
    if (quant <= 10) return bit ? 1 : -1;
    if (quant <= 20) return bit ? 2 : -2;
    if (quant <= 28) return bit ? 3 : -3;
    return bit ? (quant == 29 ? 2 : quant == 30 ? 1 : -5) : -3;
}

int Decoder::Impl::dquant_t(int q) {
    if (r.bit()) return q + dquant_t_step(q, int(r.u(1)));
    const int v = int(r.u(5));
    if (v == 0) throw std::string("QUANT 0");
    return v;
}

// one inter block's levels, dequantised with QUANT q: Table 16, or under Annex S the intra
// codes of Table I.2 when Table 16 would put more than 64 coefficients in the block (the
// decoder reports that as an invalid code and leaves the cursor where it was)
void Decoder::Impl::h263_inter_block(Opx16s q[64], int quant) {
    Opx32s off, last = 0;
    Opx8u* p = cursor(off);
    const uint64_t start = r.pos;
    OpxResult e = opxiReconstructCoeffsInter_H263_1u16s(&p, &off, q, &last, quant, modquant);
    H26xCodes codes = kH263Inter;
    if (e == opxErrVlcCode && aiv) {
        e = opxiDecodeCoeffsIntra_H263_1u16s(&p, &off, q, &last, 1, modquant, opxScanZigzag);
        if (e == opxOk) e = opxiQuantInvInter_H263_16s_C1I(q, 63, quant, modquant);
        codes = kTableI2;
    }
    if (e != opxOk) throw std::string("invalid inter block");
    uncursor(p, off);
    rewrite_h26x(start, codes);
}

void Decoder::Impl::h263_macroblock(int mx, int my) {
    MbInfo& m = mbs[size_t(my * mbw + mx)];
    const int value = mb_start(mx, my);
    if (value < 0) {
        if (obmc) obmc_parsed(mx, my, 0);
        return;
    }
    const int type = value >> 2;
    const bool four = type == 2 || type == 5;  // INTER4V, INTER4V+Q
    need(!four || obmc || deblock, "H.263 four-vector macroblocks outside advanced prediction");
    const bool intra = type == 3 || type == 4;
    int intra_mode = 0;  // Annex I: 0 DC, 1 vertical, 2 horizontal prediction
    if (intra && aic && r.bit()) intra_mode = 1 + int(r.u(1));
    int cbpy = r.vlc(kCbpy);
    if (cbpy == INT_MIN) throw std::string("invalid CBPY");
    // Annex S: an inter macroblock with both chrominance blocks coded takes the intra
    // meaning of CBPY
    if (!intra && !(aiv && (value & 3) == 3)) cbpy = 15 - cbpy;
    if (type == 1 || type == 4 || type == 5) {
        const uint64_t at = r.pos;
        const int before = qp;
        qp = modquant && !d.opt_.dquant_compat ? dquant_t(qp) : dquant(qp);
        if (rewriting && modquant && d.opt_.dquant_compat) {  // written in the form of T.2
            rw_sync(at);
            if (qp == before + dquant_t_step(before, 0) || qp == before + dquant_t_step(before, 1))
                rw.put(qp == before + dquant_t_step(before, 0) ? 2 : 3, 2);
            else
                rw.put(uint32_t(qp), 6);
            rw_in = r.pos;
        }
    }
    m.qp = qp;
    m.intra = intra;
    const int cbp = (cbpy << 2) | (value & 3);
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    alignas(16) Opx16s q[64], res[64];
    if (intra) {
        for (int b = 0; b < 6; ++b) {
            const int c = b < 4 ? 0 : b - 3;
            uint8_t* dst = c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8;
            if (aic) {
                aic_block(mx, my, b, (cbp >> (5 - b)) & 1, intra_mode, dst, step[c]);
                continue;
            }
            Opx32s off, last = 0;
            Opx8u* p = cursor(off);
            const uint64_t start = r.pos + 8;  // past INTRADC
            if (opxiReconstructCoeffsIntra_H263_1u16s(&p, &off, q, &last, (cbp >> (5 - b)) & 1,
                                                      c ? chroma_qp(qp) : qp, 0, 0,
                                                      modquant) != opxOk)
                throw std::string("invalid intra block");
            uncursor(p, off);
            if ((cbp >> (5 - b)) & 1) rewrite_h26x(start, kH263IntraAc);
            d.opt_.idct->put(q, dst, step[c]);
        }
        if (obmc) obmc_parsed(mx, my, -1);
        return;
    }
    Mv v[4];
    const int nv = four ? 4 : 1;
    // libavcodec's look-ahead (compatible mode) follows an inter macroblock that was coded
    MbInfo* left = mx > 0 ? &mbs[size_t(my * mbw + mx - 1)] : nullptr;
    const bool ahead = obmc && obmc_compat && left && !left->intra && !left->skipped;
    for (int k = 0; k < nv; ++k) {
        const Mv p = predict_mv(mx, my, k, v);
        v[k] = h263_mv(p);
        if (ahead) {  // the same differences on the look-ahead's predictions
            Mv real[4];
            std::memcpy(real, left->mv, sizeof real);
            for (int i = 0; i < 4; ++i) left->mv[i] = held(my * mbw + mx - 1, i);
            const Mv pa = predict_mv(mx, my, k, m.ahead);
            std::memcpy(left->mv, real, sizeof real);
            m.ahead[k].x = umv ? pa.x + v[k].x - p.x : wrap_mv(pa.x + v[k].x - p.x);
            m.ahead[k].y = umv ? pa.y + v[k].y - p.y : wrap_mv(pa.y + v[k].y - p.y);
        }
    }
    if (nv == 1) {
        v[1] = v[2] = v[3] = v[0];
        m.ahead[1] = m.ahead[2] = m.ahead[3] = m.ahead[0];
    }
    for (int k = 0; k < 4; ++k) m.mv[k] = v[k];
    m.four = nv == 4;
    m.has_ahead = ahead;
    if (!obmc) predict_mb(future, mx, my, v, nv == 4, out, step);
    for (int b = 0; b < 6; ++b) {
        if (!((cbp >> (5 - b)) & 1)) continue;
        const int c = b < 4 ? 0 : b - 3;
        h263_inter_block(q, c ? chroma_qp(qp) : qp);
        if (obmc) {
            d.opt_.idct->residual(q, parsed_res[b]);
            continue;
        }
        d.opt_.idct->residual(q, res);
        opxiAdd8x8_16s8u_C1IRS(res, 16, c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8,
                               step[c]);
    }
    if (obmc) obmc_parsed(mx, my, cbp);
}

// ---- H.263 Annex F: overlapped block motion compensation ----------------------------------------
// (the macroblock waiting for its right neighbour, and the compatible mode: decoder_impl.hpp)
detail::Mv Decoder::Impl::held(int n, int blk) const {
    const MbInfo& m = mbs[size_t(n)];
    if (m.four) return m.mv[blk];
    if (m.has_ahead) return m.ahead[blk];
    const MbInfo* o = older(n);
    return o ? o->mv[blk] : Mv();
}

// macroblock (mx, my) parsed (cbp -1: intra, already reconstructed; its residuals in
// parsed_res): the one waiting to its left is predicted, this one waits unless it ends
// its row
void Decoder::Impl::obmc_parsed(int mx, int my, int cbp) {
    obmc_pending();
    if (cbp < 0) return;
    pending = my * mbw + mx;
    pending_cbp = cbp;
    std::memcpy(pending_res, parsed_res, sizeof pending_res);
    if (mx == mbw - 1) obmc_pending();
}

// the remote vector from block `blk` of macroblock (mx, my) for a block with vector `self`
// (Annex F.3): outside the picture, not decoded or intra, the block's own; a macroblock not
// coded has the zero vector
detail::Mv Decoder::Impl::remote(int mx, int my, int blk, Mv self) const {
    if (mx < 0 || my < 0 || mx >= mbw || my >= mbh) return self;
    const MbInfo& m = mbs[size_t(my * mbw + mx)];
    if (m.slice < 0 || m.intra) return self;
    return m.mv[blk];
}

// the right neighbour's vector for macroblock n (compatible mode: see obmc_compat)
detail::Mv Decoder::Impl::remote_right(int n, int blk, Mv self) const {
    const int mx = n % mbw;
    if (!obmc_compat || mx + 1 == mbw) return remote(mx + 1, n / mbw, blk, self);
    if (mbs[size_t(n)].skipped) {
        const MbInfo* o = older(n + 1);
        return !o ? Mv() : o->intra ? self : o->mv[blk];
    }
    const MbInfo& r = mbs[size_t(n + 1)];
    if (r.slice < 0 || r.intra) return self;
    return r.has_ahead ? r.ahead[blk] : r.mv[blk];
}

void Decoder::Impl::obmc_pending() {
    if (pending < 0) return;
    const int n = pending, mx = n % mbw, my = n / mbw;
    pending = -1;
    const MbInfo& m = mbs[size_t(n)];
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    for (int k = 0; k < 4; ++k) {
        const int bx = k & 1, by = k >> 1;
        const Mv c = m.mv[k];
        // left, right, above, below; the macroblock below is not decoded yet: own vector
        const Mv v[5] = {c, bx ? m.mv[k - 1] : remote(mx - 1, my, k + 1, c),
                         bx ? remote_right(n, k - 1, c) : m.mv[k + 1],
                         by ? m.mv[k - 2] : remote(mx, my - 1, k + 2, c), by ? c : m.mv[k + 2]};
        obmc_block(mx * 16 + bx * 8, my * 16 + by * 8, v, out[0] + by * 8 * step[0] + bx * 8,
                   step[0]);
    }
    Mv cv;
    cv.x = chroma_of_sum(m.mv[0].x + m.mv[1].x + m.mv[2].x + m.mv[3].x);
    cv.y = chroma_of_sum(m.mv[0].y + m.mv[1].y + m.mv[2].y + m.mv[3].y);
    mc(future, 1, mx * 8, my * 8, cv, 8, out[1], step[1]);
    mc(future, 2, mx * 8, my * 8, cv, 8, out[2], step[2]);
    for (int b = 0; b < 6; ++b) {
        if (!((pending_cbp >> (5 - b)) & 1)) continue;
        const int c = b < 4 ? 0 : b - 3;
        opxiAdd8x8_16s8u_C1IRS(pending_res[b], 16,
                               c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8, step[c]);
    }
}

// one overlapped 8x8 luminance block at (x, y): vectors current, left, right, above,
// below (half samples); the area they reach is taken from the reference with its edge
// samples repeated where it leaves the picture
void Decoder::Impl::obmc_block(int x, int y, const Mv vin[5], uint8_t* out, int out_step) {
    const Plane& src = future.p[0];
    // each prediction's position limited as mc() limits 8x8 blocks
    Mv v[5];
    for (int i = 0; i < 5; ++i) {
        int ix = std::min(std::max(x + (vin[i].x >> 1), -16), width);
        int iy = std::min(std::max(y + (vin[i].y >> 1), -16), height);
        v[i].x = 2 * (ix - x) + (ix == width ? 0 : vin[i].x & 1);
        v[i].y = 2 * (iy - y) + (iy == height ? 0 : vin[i].y & 1);
    }
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    for (int i = 0; i < 5; ++i) {
        x0 = std::min(x0, v[i].x >> 1), x1 = std::max(x1, (v[i].x >> 1) + 1);
        y0 = std::min(y0, v[i].y >> 1), y1 = std::max(y1, (v[i].y >> 1) + 1);
    }
    const uint8_t* s;
    int s_step;
    if (x + x0 >= 0 && y + y0 >= 0 && x + x1 + 8 <= src.w && y + y1 + 8 <= src.h) {
        s = src.d.data() + y * src.stride + x;
        s_step = src.stride;
    } else {
        const int w = 8 + x1 - x0, h = 8 + y1 - y0;
        obmc_area.resize(size_t(w * h));
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                obmc_area[size_t(j * w + i)] =
                    src.d[size_t(std::min(std::max(y + y0 + j, 0), src.h - 1) * src.stride +
                                 std::min(std::max(x + x0 + i, 0), src.w - 1))];
        s = obmc_area.data() - y0 * w - x0;
        s_step = w;
    }
    OpxMotionVec m[5];
    for (int i = 0; i < 5; ++i) m[i] = OpxMotionVec{Opx16s(v[i].x), Opx16s(v[i].y)};
    opxiOBMC8x8HP_MPEG4_8u_C1R(s, s_step, out, out_step, &m[0], &m[1], &m[2], &m[3], &m[4],
                               rounding);
}

// ---- H.263 stream: the pictures between picture start codes -------------------------------------
void Decoder::Impl::run_h263(const std::vector<uint8_t>& buf, size_t size) {
    auto next_psc = [&](size_t from) {
        for (size_t k = from; k + 2 < size; ++k)
            if (buf[k] == 0 && buf[k + 1] == 0 && (buf[k + 2] & 0xFC) == 0x80) return k;
        return size;
    };
    size_t i = next_psc(0);
    while (i < size) {
        if (d.opt_.max_frames >= 0 && d.frames_out_ >= d.opt_.max_frames) return;
        const size_t next = next_psc(i + 3);
        r.buf = buf.data();
        r.pos = uint64_t(i) * 8;
        r.end = uint64_t(next) * 8;
        if (!picture([&] { h263_picture(); })) return;
        i = next;
    }
    flush();
}

// ---- H.261 (ITU-T H.261 clause 4) ---------------------------------------------------------------
// a table from a code list of the MPEG-2 example ((code, value) records by length)
void Decoder::Impl::from_list(const int32_t* list, std::vector<Code>& out) {
    int i = 2 + list[1];
    for (int len = 1; list[i] >= 0; ++len) {
        const int n = list[i++];
        for (int k = 0; k < n; ++k, i += 2)
            out.push_back(Code{uint16_t(list[i]), uint8_t(len), int16_t(list[i + 1])});
    }
}

void Decoder::Impl::h261_tables() {
    if (!mba_codes.empty()) return;
    from_list(mpeg2_b1_macroblock_address_increment, mba_codes);
    for (Code& c : mba_codes)
        if (c.value == 34) c = Code{0xF, 11, -1};  // H.261 MBA stuffing in place of the escape
    from_list(mpeg2_b9_coded_block_pattern, cbp_codes);
    mba_table = CodeTable{mba_codes.data(), int(mba_codes.size()), "MBA"};
    cbp_table = CodeTable{cbp_codes.data(), int(cbp_codes.size()), "CBP"};
}

// zero bits before a start code (stuffing up to a byte boundary)
void Decoder::Impl::skip_zeros() {
    while (r.pos < r.end && r.peek(16) == 0) ++r.pos;
}

void Decoder::Impl::h261_picture() {
    h261_tables();
    r.u(20);  // PSC
    r.u(5);   // TR
    r.u(3);   // split screen, document camera, freeze picture release
    const bool cif = r.bit();
    r.u(2);                  // HI_RES, spare
    while (r.bit()) r.u(8);  // PEI, PSPARE
    width = cif ? 352 : 176;
    height = cif ? 288 : 144;
    resize();
    have_vol = true;
    rounding = 0;
    const int gobs = cif ? 12 : 3;
    std::vector<bool> done(size_t(mbw * mbh), false);
    try {
        for (int g = 0; g < gobs; ++g) {
            skip_zeros();
            if (r.peek(16) != 1) throw std::string("GOB header missing");
            r.u(16);
            const int gn = int(r.u(4));
            if (gn < 1 || gn > (cif ? 12 : 5) || (!cif && !(gn & 1)))  // QCIF: 1, 3, 5
                throw std::string("invalid GOB number");
            const int gx = cif ? ((gn - 1) & 1) * 11 : 0, gy = ((gn - 1) >> 1) * 3;
            qp = int(r.u(5));
            if (qp == 0) throw std::string("GQUANT 0");
            while (r.bit()) r.u(8);  // GEI, GSPARE
            int addr = 0;
            Mv prev;
            bool prev_mc = false;
            for (;;) {
                skip_zeros();
                if (r.peek(16) == 1 || r.pos >= r.end) break;
                int inc;
                do {
                    inc = r.vlc(mba_table);
                    if (inc == INT_MIN) throw std::string("invalid MBA");
                } while (inc < 0);
                if (inc != 1) prev_mc = false;
                addr += inc;
                if (addr > 33) throw std::string("MBA beyond the GOB");
                const int mx = gx + (addr - 1) % 11, my = gy + (addr - 1) / 11;
                if ((addr - 1) % 11 == 0) prev_mc = false;
                done[size_t(my * mbw + mx)] = true;
                const int mtype = r.vlc(kMtype);
                if (mtype == INT_MIN) throw std::string("invalid MTYPE");
                if (mtype & 2) {
                    qp = int(r.u(5));
                    if (qp == 0) throw std::string("MQUANT 0");
                }
                Mv v;
                if (mtype & 4) {
                    const int dx = r.vlc(kMotionCode), dy = r.vlc(kMotionCode);
                    if (dx == INT_MIN || dy == INT_MIN || std::abs(dx) > 16 || std::abs(dy) > 16)
                        throw std::string("invalid MVD");
                    auto wrap = [](int a) { return a > 15 ? a - 32 : a < -15 ? a + 32 : a; };
                    v.x = wrap((prev_mc ? prev.x : 0) + dx);
                    v.y = wrap((prev_mc ? prev.y : 0) + dy);
                }
                prev = v;
                prev_mc = (mtype & 4) != 0;
                int cbp = 63;
                if (mtype & 8) {
                    cbp = r.vlc(cbp_table);
                    if (cbp == INT_MIN) throw std::string("invalid CBP");
                } else if (!(mtype & 1)) {
                    cbp = 0;
                }
                h261_macroblock(mx, my, mtype, v, cbp);
                if (r.overrun()) throw std::string("picture data cut short");
            }
        }
    } catch (const std::string& e) {
        error("picture %ld: %s", d.frames_out_, e.c_str());
    }
    // macroblocks not transmitted: the previous picture's
    for (int n = 0; n < mbw * mbh; ++n)
        if (!done[size_t(n)] && have_future) {
            uint8_t* out[3];
            int step[3];
            cur_mb(n % mbw, n / mbw, out, step);
            const Mv z[4];
            predict_mb(future, n % mbw, n / mbw, z, false, out, step);
        }
    keep_qp();
    flush();
    std::swap(past, future);
    std::swap(future, cur);
    have_future = future_pending = true;
}

void Decoder::Impl::h261_macroblock(int mx, int my, int mtype, Mv v, int cbp) {
    mbs[size_t(my * mbw + mx)].qp = qp;
    uint8_t* out[3];
    int step[3];
    cur_mb(mx, my, out, step);
    alignas(16) Opx16s q[64], res[64];
    for (int b = 0; b < 6; ++b) {
        const int c = b < 4 ? 0 : b - 3;
        uint8_t* dst = c ? out[c] : out[0] + (b >> 1) * 8 * step[0] + (b & 1) * 8;
        if (!(mtype & 1)) {  // prediction: whole samples, chrominance vector halved toward 0
            if (!have_future) throw std::string("inter macroblock without a previous picture");
            const int s = c ? 8 : 16;
            const int vx = c ? v.x / 2 : v.x, vy = c ? v.y / 2 : v.y;
            const int x = mx * s + (c ? 0 : (b & 1) * 8) + vx;
            const int y = my * s + (c ? 0 : (b >> 1) * 8) + vy;
            const Plane& pl = future.p[c];
            if (x < 0 || y < 0 || x + 8 > pl.w || y + 8 > pl.h)
                throw std::string("vector outside the picture");
            opxiCopy8x8_8u_C1R(pl.d.data() + y * pl.stride + x, pl.stride, dst, step[c]);
            // FIL: the loop filter of H.261 clause 3.2.3 on the prediction, in place
            if (mtype & 16) opxiFilter8x8_H261_8u_C1R(dst, step[c], dst, step[c]);
        }
        if (!((cbp >> (5 - b)) & 1)) continue;
        Opx32s off, last = 0;
        Opx8u* p = cursor(off);
        const uint64_t start = r.pos;
        const OpxResult e = (mtype & 1)
                                ? opxiReconstructCoeffsIntra_H261_1u16s(&p, &off, q, &last, qp)
                                : opxiReconstructCoeffsInter_H261_1u16s(&p, &off, q, &last, qp);
        if (e != opxOk) throw std::string("invalid block");
        uncursor(p, off);
        rewrite_h26x(start, (mtype & 1) ? kH261Intra : kH261Inter);
        if (mtype & 1) {
            d.opt_.idct->put(q, dst, step[c]);
        } else {
            d.opt_.idct->residual(q, res);
            opxiAdd8x8_16s8u_C1IRS(res, 16, dst, step[c]);
        }
    }
}

void Decoder::Impl::run_h261(const std::vector<uint8_t>& buf, size_t size) {
    // PSC 0000 0000 0000 0001 0000, at any bit position
    const uint64_t bits = uint64_t(size) * 8;
    auto next_psc = [&](uint64_t from) {
        Reader t;
        t.buf = buf.data();
        for (uint64_t b = from; b + 20 <= bits; ++b) {
            t.pos = b;
            if (t.peek(20) == 0x10) return b;
        }
        return bits;
    };
    uint64_t i = next_psc(0);
    while (i < bits) {
        if (d.opt_.max_frames >= 0 && d.frames_out_ >= d.opt_.max_frames) return;
        const uint64_t next = next_psc(i + 20);
        r.buf = buf.data();
        r.pos = i;
        r.end = next;
        if (!picture([&] { h261_picture(); })) return;
        i = next;
    }
    flush();
}

Decoder::Decoder(const Options& opt, FILE* log)
    : impl_(new Impl(*this)), opt_(opt), log_(log), writer_(opt.out, opt.format) {}
Decoder::~Decoder() = default;

void Decoder::decode(const uint8_t* data, size_t size) {
    impl_->run(data, size);
}

}  // namespace m4vdec
