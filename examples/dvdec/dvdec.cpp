#include "dvdec.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "opxvc.h"

namespace dvdec {

namespace {

constexpr size_t kDifBlock = 80;
constexpr size_t kSequenceBytes = 150 * kDifBlock;  // one DIF sequence

// Quantisation steps of IEC 61834-2 by class, QNO and area (areas 0..3). Class 3 coefficients
// are further doubled (kClass3Factor).
constexpr uint8_t kStep[4][16][4] = {
    {  // class 0
        {2, 4, 4, 8}, {2, 4, 4, 8}, {2, 2, 4, 4}, {2, 2, 4, 4},
        {1, 2, 2, 4}, {1, 2, 2, 4}, {1, 1, 2, 2}, {1, 1, 2, 2},
        {1, 1, 1, 2}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
        {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
    },
    {  // class 1
        {4, 8, 8, 16}, {4, 4, 8, 8}, {4, 4, 8, 8}, {2, 4, 4, 8},
        {2, 4, 4, 8}, {2, 2, 4, 4}, {2, 2, 4, 4}, {1, 2, 2, 4},
        {1, 2, 2, 4}, {1, 1, 2, 2}, {1, 1, 2, 2}, {1, 1, 1, 2},
        {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1},
    },
    {  // class 2
        {8, 8, 16, 16}, {8, 8, 16, 16}, {4, 8, 8, 16}, {4, 8, 8, 16},
        {4, 4, 8, 8}, {4, 4, 8, 8}, {2, 4, 4, 8}, {2, 4, 4, 8},
        {2, 2, 4, 4}, {2, 2, 4, 4}, {1, 2, 2, 4}, {1, 2, 2, 4},
        {1, 1, 2, 2}, {1, 1, 2, 2}, {1, 1, 1, 2}, {1, 1, 1, 1},
    },
    {  // class 3
        {8, 8, 16, 16}, {4, 8, 8, 16}, {4, 8, 8, 16}, {4, 4, 8, 8},
        {4, 4, 8, 8}, {2, 4, 4, 8}, {2, 4, 4, 8}, {2, 2, 4, 4},
        {2, 2, 4, 4}, {1, 2, 2, 4}, {1, 2, 2, 4}, {1, 1, 2, 2},
        {1, 1, 2, 2}, {1, 1, 1, 2}, {1, 1, 1, 1}, {1, 1, 1, 1},
    },
};
constexpr int kClass3Factor = 2;

// The 2-4-8 scan: raster positions (8 * row + column; rows 0..3 the field sum, 4..7 the field
// difference) in scan order.
constexpr uint8_t kScan248[64] = {
    0,  32, 1,  33, 8,  40, 2,  34, 9,  41, 16, 48, 24, 56, 17, 49, 10, 42, 3,  35, 4,  36,
    11, 43, 18, 50, 25, 57, 26, 58, 19, 51, 12, 44, 5,  37, 6,  38, 13, 45, 20, 52, 27, 59,
    28, 60, 21, 53, 14, 46, 7,  39, 15, 47, 22, 54, 29, 61, 30, 62, 23, 55, 31, 63};

// The area of a scan position: 1..5, 6..20, 21..42, 43..63.
int area_of(int pos) { return pos < 6 ? 0 : pos < 21 ? 1 : pos < 43 ? 2 : 3; }

// Weighting factors w(i) of IEC 61834-2 (CSk = cos(k pi / 16)).
double wfac(int i) {
    auto cs = [](int k) { return std::cos(k * M_PI / 16.0); };
    switch (i) {
        case 0: return 1.0;
        case 1: return cs(4) / (4.0 * cs(7) * cs(2));
        case 2: return cs(4) / (2.0 * cs(6));
        case 3: return 1.0 / (2.0 * cs(5));
        case 4: return 7.0 / 8.0;
        case 5: return cs(4) / cs(3);
        case 6: return cs(4) / cs(2);
        default: return cs(4) / cs(1);
    }
}

// W(h, v) of raster position k for the mode (0: 8-8, 1: 2-4-8).
double weight(int mode, int k) {
    const int v = k / 8, h = k % 8;
    if (k == 0) return 0.25;
    if (mode == 0) return wfac(h) * wfac(v) / 2.0;
    return wfac(h) * wfac(2 * (v % 4)) / 2.0;
}

// Finds the VS pack (0x60) in the VAUX DIF blocks of the first DIF sequence; null if absent.
const uint8_t* find_vs_pack(const uint8_t* frame) {
    for (int b = 3; b <= 5; ++b) {
        const uint8_t* blk = frame + b * kDifBlock;
        if ((blk[0] >> 5) != 2) continue;
        for (int k = 0; k < 15; ++k)
            if (blk[3 + 5 * k] == 0x60) return blk + 3 + 5 * k;
    }
    return nullptr;
}

}  // namespace

bool probe(const uint8_t* p, size_t n, Format& f, std::string& why, bool& unsupported) {
    unsupported = false;
    if (n < 6 * kDifBlock) {
        why = "too short for a DIF frame header";
        return false;
    }
    if ((p[0] >> 5) != 0) {
        why = "no header DIF block";
        return false;
    }
    const int dsf = p[3] >> 7, apt = p[4] & 7;
    const uint8_t* vs = find_vs_pack(p);
    const int stype = vs ? (vs[3] & 0x1f) : 0;
    if (stype == 4 && (apt == 0 || apt == 1)) {  // 50 Mb/s 4:2:2: two channels
        f = Format();
        f.system = dsf ? System::k625_422 : System::k525_422;
        f.height = dsf ? 576 : 480, f.sequences = dsf ? 12 : 10;
        f.fps_num = dsf ? 25 : 30000, f.fps_den = dsf ? 1 : 1001;
        f.channels = 2, f.chroma422 = true;
        f.frame_bytes = size_t(f.channels) * f.sequences * kSequenceBytes;
        return true;
    }
    if (stype != 0) {
        unsupported = true;
        why = "unsupported stream: STYPE " + std::to_string(stype) +
              (stype == 4 ? " (50 Mb/s 4:2:2)" : stype >= 0x14 ? " (100 Mb/s)" : "");
        return false;
    }
    if (apt != 0 && apt != 1) {
        unsupported = true;
        why = "unsupported stream: APT " + std::to_string(apt);
        return false;
    }
    f = Format();
    if (dsf == 0) {
        f.system = System::k525_411;
        f.width = 720, f.height = 480, f.sequences = 10;
        f.fps_num = 30000, f.fps_den = 1001;
        f.chroma411 = true;
    } else {
        f.system = apt == 0 ? System::k625_420 : System::k625_411;
        f.width = 720, f.height = 576, f.sequences = 12;
        f.fps_num = 25, f.fps_den = 1;
        f.chroma411 = apt != 0;
    }
    f.frame_bytes = size_t(f.sequences) * kSequenceBytes;
    return true;
}

Decoder::Decoder(Dequant dq, bool stats) : dq_(dq), want_stats_(stats) {
    // Half the quantiser's output unit.
    const double bias = dq == Dequant::kWeight ? 0.5 : 2.0;
    bias_ = float(bias);
    // Areas by raster position for both scans.
    int area[2][64];
    int zz[64], n = 0;
    for (int s = 0; s < 15; ++s)  // the zigzag, diagonal by diagonal
        for (int i = 0; i < 8; ++i) {
            const int j = s - i;
            if (j < 0 || j > 7) continue;
            const int r = (s % 2) ? i : j, c = (s % 2) ? j : i;
            zz[n++] = 8 * r + c;
        }
    for (int pos = 0; pos < 64; ++pos) {
        area[0][zz[pos]] = area_of(pos);
        area[1][kScan248[pos]] = area_of(pos);
    }
    for (int m = 0; m < 2; ++m) {
        // Weighted path: F = hi16(8 * amplitude * step * w), so that w = 8192 / W gives
        // F = amplitude * step / W. w is taken as large as 16 bits allow (s times that, for a
        // finer F) and F divided by s again; the DC (dc << 7, q = 2) takes w = 8192 for 4 * dc.
        double wscale[64];
        for (int k = 0; k < 64; ++k) {
            const double base = 8192.0 / weight(m, k);
            const double sc = k == 0 ? 1.0 : std::floor(32767.0 / base);
            w_[m][k] = static_cast<int16_t>(k == 0 ? 8192 : std::lround(base * sc));
            wscale[k] = k == 0 ? 1.0 : base / w_[m][k];
        }
        for (int c = 0; c < 4; ++c)
            for (int q = 0; q < 16; ++q)
                for (int k = 0; k < 64; ++k) {
                    const int step = k == 0 ? 1
                                            : kStep[c][q][area[m][k]] * (c == 3 ? kClass3Factor : 1);
                    // Weighted path: t = (c >> 3) * q; the DC (c = dc << 7) takes q = 2.
                    q_[m][c][q][k] = static_cast<uint16_t>(k == 0 ? 2 : step);
                    // Combined path: F = hi16(c * d) << 2 with c = amplitude << 6, so that
                    // d = 256 * step / W gives F = step * amplitude / W in units of 4. d is
                    // taken as large as 16 bits allow (s times that) and F divided by s again.
                    const double base = step / weight(m, k) * 256.0;
                    const double sc = k == 0 ? 1.0 : std::floor(32767.0 / base);
                    d_[m][c][q][k] =
                        static_cast<int16_t>(k == 0 ? 512 : std::lround(base * sc));
                    // Spacing of the exact levels in units of F, and the factor from F to the
                    // transform's input.
                    const bool weighted = dq == Dequant::kWeight;
                    const double lat = weighted ? 8.0 * q_[m][c][q][k] * w_[m][k] / 65536.0
                                                : d_[m][c][q][k] / 256.0;
                    Recon& r = rec_[m][c][q];
                    const bool snap = k != 0 && lat >= 2 * bias;
                    r.lat[k] = snap ? float(lat) : 1.0f / 1024;
                    r.ilat[k] = snap ? float(1.0 / lat) : 1024.0f;
                    r.scale[k] = float(weighted ? wscale[k] : k == 0 ? 1.0 : base / d_[m][c][q][k]);
                }
    }
}

bool Decoder::decode(const uint8_t* frame, const Format& f, Picture& pic, std::string& why) {
    pic.width = f.width, pic.height = f.height;
    pic.cwidth = f.chroma411 ? f.width / 4 : f.width / 2;
    pic.cheight = f.chroma411 || f.chroma422 ? f.height : f.height / 2;
    // Every sample of the picture is written below (the macroblocks tile all three planes): the
    // planes are set up once, not cleared per frame.
    if (pic.y.size() != size_t(pic.width) * pic.height ||
        pic.cb.size() != size_t(pic.cwidth) * pic.cheight) {
        pic.y.assign(size_t(pic.width) * pic.height, 0);
        pic.cb.assign(size_t(pic.cwidth) * pic.cheight, 128);
        pic.cr.assign(size_t(pic.cwidth) * pic.cheight, 128);
    }

    alignas(32) int16_t blocks[30 * 64];
    uint32_t info[30];
    int one_pass[30] = {};
    static constexpr int kSbRowOffset[5] = {2, 6, 8, 0, 4};  // superblock row shift per macroblock
    static constexpr int kSbColumn[5] = {2, 1, 3, 0, 4};      // superblock column per macroblock
    static constexpr int k411Start[5] = {0, 4, 9, 13, 18};    // 4:1:1: first 32-wide column
    const int n = f.sequences;

    for (int cs = 0; cs < n * f.channels; ++cs) {
        const int ch = cs / n, seq = cs % n;
        const uint8_t* sb = frame + size_t(cs) * kSequenceBytes;
        for (int seg = 0; seg < 27; ++seg) {
            const int v0 = seg * 5;  // first video DIF block of the segment
            const uint8_t* s = sb + kDifBlock * size_t(7 + (v0 / 15) * 16 + v0 % 15);
            if (want_stats_) {
                std::memset(blocks, 0, sizeof blocks);
                if (opxiHuffmanDecodeSegmentOnePass_DV_8u16s(s, nullptr, nullptr, blocks, info,
                                                             64) != opxOk) {
                    why = "segment decoder failed";
                    return false;
                }
                for (int b = 0; b < 30; ++b) one_pass[b] = info[b] & 1;
            }
            std::memset(blocks, 0, sizeof blocks);
            if (opxiHuffmanDecodeSegment_DV_8u16s(s, nullptr, nullptr, blocks, info) !=
                opxOk) {
                why = "segment decoder failed";
                return false;
            }
            for (int m = 0; m < 5; ++m) {
                const int row = (seq + kSbRowOffset[m]) % n, col = kSbColumn[m];
                int x, y;
                bool edge = false;  // 4:1:1 right-edge macroblock (16 x 16)
                if (f.chroma422) {  // 16 x 8 macroblocks; the channels take alternate rows
                    const int c = seg / 3, r = (c & 1) ? 2 - seg % 3 : seg % 3;
                    x = col * 144 + c * 16, y = ((row * 2 + ch) * 3 + r) * 8;
                } else if (!f.chroma411) {
                    const int c = seg / 3, r = (c & 1) ? 2 - seg % 3 : seg % 3;
                    x = col * 144 + c * 16, y = row * 48 + r * 16;
                } else {
                    const int k = seg + ((col == 1 || col == 3) ? 3 : 0);
                    const int c = k411Start[col] + k / 6;
                    const int r = ((k / 6) & 1) ? 5 - k % 6 : k % 6;
                    if (c == 22) {
                        edge = true;
                        x = 704, y = row * 48 + r * 16;
                    } else {
                        x = c * 32, y = row * 48 + r * 8;
                    }
                }
                for (int b = 0; b < 6; ++b) {
                    if (f.chroma422 && (b == 1 || b == 3)) continue;  // reserved blocks
                    const int idx = m * 6 + b;
                    int16_t* blk = blocks + 64 * idx;
                    const uint32_t inf = info[idx];
                    const int mode = (inf >> 6) & 1, cls = (inf >> 4) & 3, qno = (inf >> 16) & 15;
                    ++stats_.blocks;
                    stats_.complete_one_pass += one_pass[idx];
                    stats_.complete += inf & 1;
                    stats_.blocks248 += mode;
                    const OpxResult r =
                        dq_ == Dequant::kWeight
                            ? opxiQuantWeightBlockInv_DV_16s_C1I(blk, q_[mode][cls][qno], w_[mode])
                            : opxiQuantInv_DV_16s_C1I(blk, d_[mode][cls][qno]);
                    if (r != opxOk) {
                        why = "inverse quantiser failed";
                        return false;
                    }
                    uint8_t* dst;
                    std::ptrdiff_t stride;
                    bool split = false;
                    if (b < 4) {
                        int bx, by;
                        if (f.chroma422)  // Y0 and Y1 in areas 0 and 2
                            bx = x + (b >> 1) * 8, by = y;
                        else if (!f.chroma411 || edge)
                            bx = x + (b & 1) * 8, by = y + (b >> 1) * 8;
                        else
                            bx = x + b * 8, by = y;
                        dst = pic.y.data() + size_t(by) * pic.width + bx;
                        stride = pic.width;
                    } else {
                        std::vector<uint8_t>& plane = b == 4 ? pic.cr : pic.cb;
                        const int cx = f.chroma411 ? x / 4 : x / 2;
                        const int cy = f.chroma411 || f.chroma422 ? y : y / 2;
                        dst = plane.data() + size_t(cy) * pic.cwidth + cx;
                        stride = pic.cwidth;
                        split = edge;
                    }
                    idct_.samples(blk, rec_[mode][cls][qno], bias_, mode, dst, stride, split);
                }
            }
        }
    }
    return true;
}

}  // namespace dvdec
