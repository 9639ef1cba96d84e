// NAL units and the CAVLC residual syntax: the library finds each block's syntax elements
// (opxiEncodeCoeffsCAVLC_H264_16s and the chroma DC form), this file writes their codes.
#include "syntax.hpp"

#include <cstdlib>

#include "h264common.hpp"
#include "opxvc_h264_cavlc_codes.h"

namespace h264enc {

void append_nal(std::vector<uint8_t>& out, int nal_ref_idc, int nal_type,
                const std::vector<uint8_t>& rbsp) {
    static const uint8_t kStart[4] = {0, 0, 0, 1};
    out.insert(out.end(), kStart, kStart + 4);
    out.push_back(uint8_t((nal_ref_idc << 5) | nal_type));
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros == 2 && b <= 3) {  // clause 7.4.1: emulation_prevention_three_byte
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

namespace {

// Walks a code list (format in opxvc_h264_cavlc_codes.h), calling f(code, length, value).
template <class F>
void for_each_code(const int32_t* list, F f) {
    int i = 2 + list[1];
    for (int len = 1; list[i] != -1; ++len) {
        const int n = list[i++];
        for (int k = 0; k < n; ++k, i += 2) f(uint16_t(list[i]), uint8_t(len), list[i + 1]);
    }
}

}  // namespace

CavlcCodes::CavlcCodes() {
    auto token = [this](int cls, const int32_t* list) {
        for_each_code(list, [&](uint16_t c, uint8_t l, int v) {
            coeff_token[cls][v >> 8][v & 3] = {c, l};
        });
    };
    for (int i = 0; i < 3; ++i) token(i, cavlc_coeff_token_lists[i]);
    token(3, cavlc_coeff_token_chroma_dc);
    for (int tc = 1; tc < 16; ++tc)
        for_each_code(cavlc_total_zeros_4x4_lists[tc], [&](uint16_t c, uint8_t l, int v) {
            total_zeros[tc][v] = {c, l};
        });
    for (int tc = 1; tc < 4; ++tc)
        for_each_code(cavlc_total_zeros_2x2_lists[tc], [&](uint16_t c, uint8_t l, int v) {
            total_zeros_dc[tc][v] = {c, l};
        });
    for (int i = 0; i < 16; ++i) scan[i] = h264common::kZigzag4x4[i];
    for (int zl = 1; zl < 8; ++zl)
        for_each_code(cavlc_run_before_lists[zl], [&](uint16_t c, uint8_t l, int v) {
            run_before[zl][v] = {c, l};
        });
}

int write_block(BitWriter& bw, const CavlcCodes& codes, const Opx16s* coeffs, int first, int nc) {
    Opx8u t1 = 0, t1_signs = 0, total = 0, total_zeros = 0;
    Opx16s levels[16];
    Opx8u runs[16];
    const bool dc = nc < 0;
    const OpxResult r =
        dc ? opxiEncodeChromaDcCoeffsCAVLC_H264_16s(coeffs, &t1, &t1_signs, &total, &total_zeros,
                                                    levels, runs)
           : opxiEncodeCoeffsCAVLC_H264_16s(coeffs, Opx8u(first), codes.scan, 15, &t1, &t1_signs,
                                            &total, &total_zeros, levels, runs);
    if (r != opxOk) std::abort();  // arguments are always valid here
    // coeff_token (Table 9-5)
    if (nc >= 8) {
        bw.u(total ? uint32_t((total - 1) << 2 | t1) : 3u, 6);
    } else {
        const int cls = dc ? 3 : nc < 2 ? 0 : nc < 4 ? 1 : 2;
        const Code& c = codes.coeff_token[cls][total][t1];
        bw.u(c.code, c.len);
    }
    if (!total) return 0;
    bw.u(t1_signs, t1);
    // levels (clause 9.2.2.1), from the highest frequency down
    int suffix_length = total > 10 && t1 < 3 ? 1 : 0;
    for (int i = 0; i < total - t1; ++i) {
        const int level = levels[i];
        int code = level > 0 ? 2 * level - 2 : -2 * level - 1;
        if (i == 0 && t1 < 3) code -= 2;
        if (suffix_length == 0) {
            if (code < 14) {
                bw.u(1, code + 1);
            } else if (code < 30) {
                bw.u(1, 15);  // level_prefix 14
                bw.u(uint32_t(code - 14), 4);
            } else {
                bw.u(1, 16);  // level_prefix 15
                bw.u(uint32_t(code - 30), 12);
            }
        } else if (code < (15 << suffix_length)) {
            bw.u(1, (code >> suffix_length) + 1);
            bw.u(uint32_t(code) & ((1u << suffix_length) - 1), suffix_length);
        } else {
            bw.u(1, 16);
            bw.u(uint32_t(code - (15 << suffix_length)), 12);
        }
        if (suffix_length == 0) suffix_length = 1;
        if (std::abs(level) > (3 << (suffix_length - 1)) && suffix_length < 6) ++suffix_length;
    }
    // total_zeros and run_before
    const int max_coeffs = dc ? 4 : 16 - first;
    if (total < max_coeffs) {
        const Code& c =
            dc ? codes.total_zeros_dc[total][total_zeros] : codes.total_zeros[total][total_zeros];
        bw.u(c.code, c.len);
    }
    int zeros_left = total_zeros;
    for (int i = 0; i < total - 1 && zeros_left > 0; ++i) {
        const Code& c = codes.run_before[zeros_left < 7 ? zeros_left : 7][runs[i]];
        bw.u(c.code, c.len);
        zeros_left -= runs[i];
    }
    return total;
}

}  // namespace h264enc
