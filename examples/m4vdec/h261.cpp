// H.261 pictures (ITU-T H.261 clause 4) on the MPEG-4 machinery: picture and GOB headers, MBA,
// MTYPE, motion vectors in whole samples, the loop filter, intra and inter blocks.
#include <climits>
#include <cstdlib>

#include "decoder_impl.hpp"
#include "mpeg2_code_lists.h"  // MBA and CBP: H.261 Tables 1 and 4 equal MPEG-1's

namespace m4vdec {

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

}  // namespace m4vdec
