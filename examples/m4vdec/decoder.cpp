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
// The decoder's parts are listed in decoder_impl.hpp; this file holds the MPEG-4 Visual headers,
// video packets and VOPs, picture output, the stream's start codes and the public Decoder
// functions.
#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "decoder_impl.hpp"

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
    rewriting = d.opt_.rewrite || d.opt_.reencode_check;  // the check compares a rewrite
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

Decoder::Decoder(const Options& opt, FILE* log)
    : impl_(new Impl(*this)), opt_(opt), log_(log), writer_(opt.out, opt.format) {}
Decoder::~Decoder() = default;

void Decoder::decode(const uint8_t* data, size_t size) {
    impl_->run(data, size);
}

}  // namespace m4vdec
