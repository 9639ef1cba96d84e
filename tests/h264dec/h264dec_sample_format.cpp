// Which sample formats a sequence parameter set may announce: 4:2:0, 4:2:2 and 4:0:0 at 8 to 14
// bits are decoded; 4:4:4, more than 14 bits and luma and chroma of different depths are refused
// as unsupported. The lower end of pic_init_qp, -QpBdOffsetY (clause 7.4.2.2), which follows
// the depth of the sequence. And I_PCM samples (clause 7.3.5) of bitDepth bits, luma then Cb
// then Cr, which come out unchanged (qP 0: no filtering), as bytes at 8 bits and 16-bit
// little-endian words above (a 16x16 IDR picture made by hand per case). And the range of
// mb_qp_delta, which widens with QpBdOffsetY.
//   h264dec_sample_format WORKDIR
#include <cstdio>
#include <string>
#include <vector>

#include "bit_writer.hpp"
#include "decoder.hpp"

namespace {

using h264test::pps;
using h264test::Writer;

std::vector<uint8_t> high_sps(int chroma_format, int depth_luma, int depth_chroma, int mbs_w = 4,
                              int mbs_h = 3) {
    Writer w =
        h264test::sps_head({110, 1, mbs_w, mbs_h, true, chroma_format, depth_luma, depth_chroma});
    w.u(1, 0);  // vui_parameters_present_flag
    w.u(1, 1);  // rbsp_stop_one_bit
    return w.bytes;
}

int pcm_sample(int c, int x, int y, int depth) {
    return (x * 37 + y * 11 + c * 101 + (x ^ y) * 7) & ((1 << depth) - 1);
}

// The header of an IDR I slice from the first macroblock.
Writer idr_slice() {
    Writer w(0x65);
    w.ue(0);    // first_mb_in_slice
    w.ue(7);    // slice_type: I
    w.ue(0);    // pic_parameter_set_id
    w.u(4, 0);  // frame_num
    w.ue(0);    // idr_pic_id
    w.u(2, 0);  // no_output_of_prior_pics_flag, long_term_reference_flag
    w.se(0);    // slice_qp_delta
    return w;
}

// An IDR slice of one I_PCM macroblock.
std::vector<uint8_t> pcm_slice(int chroma_format, int depth) {
    Writer w = idr_slice();
    w.ue(25);  // mb_type: I_PCM
    w.align();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) w.u(depth, uint32_t(pcm_sample(0, x, y, depth)));
    for (int c = 1; c < 3 && chroma_format != 0; ++c)
        for (int y = 0; y < (chroma_format == 2 ? 16 : 8); ++y)
            for (int x = 0; x < 8; ++x) w.u(depth, uint32_t(pcm_sample(c, x, y, depth)));
    w.u(1, 1);  // rbsp_stop_one_bit
    return w.nal();
}

// An IDR slice of one Intra16x16 DC macroblock without coefficients whose mb_qp_delta is `dqp`.
std::vector<uint8_t> i16_slice(int dqp) {
    Writer w = idr_slice();
    w.ue(3);  // mb_type: I_16x16_2_0_0 (DC prediction, no coded blocks)
    w.ue(0);  // intra_chroma_pred_mode: DC
    w.se(dqp);
    w.u(1, 1);  // coeff_token of the DC block: no coefficients (nC 0)
    w.u(1, 1);  // rbsp_stop_one_bit
    return w.nal();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    struct Case {
        int chroma_format, depth_luma, depth_chroma;
        bool refused;
    } const cases[] = {
        {1, 8, 8, false},   {1, 10, 10, false}, {2, 8, 8, false}, {2, 10, 10, false},
        {1, 14, 14, false}, {0, 12, 8, false},  {3, 8, 8, true},  {1, 15, 15, true},
        {1, 10, 8, true},   {2, 8, 9, true},    {0, 15, 8, true},
    };
    int fails = 0, n = 0;
    for (const Case& c : cases) {
        h264dec::Options opt;
        h264dec::Decoder d(opt, nullptr);
        const std::vector<uint8_t> nal = high_sps(c.chroma_format, c.depth_luma, c.depth_chroma);
        d.feed_nal(nal.data(), nal.size());
        const bool ok = d.refused() == c.refused && (c.refused || d.errors() == 0);
        std::printf("chroma_format_idc %d, depths %d/%d: %s%s\n", c.chroma_format, c.depth_luma,
                    c.depth_chroma, d.refused() ? "refused" : "accepted", ok ? "" : "  WRONG");
        fails += !ok;
        ++n;
    }
    // pic_init_qp: down to -QpBdOffsetY, which is 0 at 8 bits and -12 at 10 bits; mb_qp_delta:
    // -(26 + QpBdOffsetY / 2)..25 + QpBdOffsetY / 2 (clause 7.4.5), in a picture of one macroblock
    struct QpCase {
        bool delta;      // mb_qp_delta, else pic_init_qp
        int depth, value;
        bool valid;
    } const qp_cases[] = {{false, 8, 0, true},    {false, 8, -1, false},  {false, 10, -12, true},
                          {false, 10, -13, false}, {false, 10, 51, true},  {false, 10, 52, false},
                          {true, 8, -26, true},    {true, 8, 25, true},    {true, 8, -27, false},
                          {true, 8, 26, false},    {true, 10, -32, true},  {true, 10, 31, true},
                          {true, 10, -33, false},  {true, 10, 32, false}};
    for (const QpCase& c : qp_cases) {
        h264dec::Options opt;
        h264dec::Decoder d(opt, nullptr);
        std::vector<std::vector<uint8_t>> units = {high_sps(1, c.depth, c.depth, 1, 1),
                                                   pps(c.delta ? 26 : c.value)};
        if (c.delta) units.push_back(i16_slice(c.value));
        for (const auto& u : units) d.feed_nal(u.data(), u.size());
        d.flush();
        const bool ok = (d.errors() == 0) == c.valid && d.frames_out() == (c.delta ? 1 : 0);
        std::printf("%d bits, %s %d: %s%s\n", c.depth, c.delta ? "mb_qp_delta" : "pic_init_qp",
                    c.value, d.errors() ? "refused" : "accepted", ok ? "" : "  WRONG");
        fails += !ok;
        ++n;
    }
    // I_PCM: 4:0:0 goes out as 4:2:0 with chroma 1 << (depth - 1)
    struct PcmCase {
        int chroma_format, depth;
    } const pcm_cases[] = {{1, 8}, {1, 10}, {1, 14}, {2, 8}, {2, 9}, {2, 12}, {0, 10}};
    for (const PcmCase& c : pcm_cases) {
        long frames = 0, errors = 0;
        const std::vector<uint8_t> got = h264test::decode_raw(
            dir + "/pcm.yuv",
            {high_sps(c.chroma_format, c.depth, c.depth, 1, 1), pps(26),
             pcm_slice(c.chroma_format, c.depth)},
            &frames, &errors);
        std::vector<uint8_t> want;
        auto put = [&](int v) {
            want.push_back(uint8_t(v));
            if (c.depth > 8) want.push_back(uint8_t(v >> 8));
        };
        for (int k = 0; k < 3; ++k)
            for (int y = 0; y < (k == 0 || c.chroma_format == 2 ? 16 : 8); ++y)
                for (int x = 0; x < (k == 0 ? 16 : 8); ++x)
                    put(k && !c.chroma_format ? 1 << (c.depth - 1) : pcm_sample(k, x, y, c.depth));
        const bool ok = frames == 1 && errors == 0 && got == want;
        std::printf("I_PCM, chroma_format_idc %d, %d bits: %s\n", c.chroma_format, c.depth,
                    ok ? "samples unchanged" : "WRONG");
        fails += !ok;
        ++n;
    }
    std::printf("%d passed, %d failed\n", n - fails, fails);
    return fails ? 1 : 0;
}
