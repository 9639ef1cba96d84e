// I_PCM macroblocks at 8 to 14 bits, 4:2:0, 4:2:2 and 4:0:0 (clause 7.3.5): the samples are
// bitDepth bits each, luma then Cb then Cr, and come out unchanged (qP 0: no filtering) as bytes
// at 8 bits and 16-bit little-endian words above. One 16x16 IDR picture made by hand per case.
#include <cstdio>
#include <string>
#include <vector>

#include "decoder.hpp"

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    int bits = 0;
    void u(int n, uint32_t v) {
        for (int i = n - 1; i >= 0; --i) {
            if (bits % 8 == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((v >> i) & 1) << (7 - bits % 8));
            ++bits;
        }
    }
    void ue(uint32_t v) {
        int n = 0;
        while ((v + 1) >> (n + 1)) ++n;
        u(n, 0);
        u(n + 1, v + 1);
    }
    void align() {
        while (bits % 8) u(1, 0);
    }
    void trailing() {
        u(1, 1);
        align();
    }
};

// Appends a NAL unit with a start code, inserting emulation prevention bytes.
void nal(std::vector<uint8_t>& out, uint8_t header, const std::vector<uint8_t>& rbsp) {
    out.insert(out.end(), {0, 0, 0, 1, header});
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

int sample(int c, int x, int y, int depth) {
    return (x * 37 + y * 11 + c * 101 + (x ^ y) * 7) & ((1 << depth) - 1);
}

std::vector<uint8_t> pcm_stream(int chroma_format, int depth) {
    std::vector<uint8_t> out;
    Writer s;
    s.u(8, chroma_format == 2 ? 122 : 110);
    s.u(8, 0);
    s.u(8, 30);
    s.ue(0);
    s.ue(uint32_t(chroma_format));
    s.ue(uint32_t(depth - 8));
    s.ue(uint32_t(depth - 8));
    s.u(1, 0);  // qpprime_y_zero_transform_bypass_flag
    s.u(1, 0);  // seq_scaling_matrix_present_flag
    s.ue(0);    // log2_max_frame_num_minus4
    s.ue(2);    // pic_order_cnt_type
    s.ue(1);    // max_num_ref_frames
    s.u(1, 0);
    s.ue(0);  // one macroblock wide
    s.ue(0);  // and high
    s.u(1, 1);
    s.u(1, 1);
    s.u(1, 0);
    s.u(1, 0);
    s.trailing();
    nal(out, 0x67, s.bytes);
    Writer p;
    p.ue(0);
    p.ue(0);
    p.u(1, 0);
    p.u(1, 0);
    p.ue(0);
    p.ue(0);
    p.ue(0);
    p.u(1, 0);
    p.u(2, 0);
    p.ue(0);  // pic_init_qp_minus26 (se 0)
    p.ue(0);  // pic_init_qs_minus26
    p.ue(0);  // chroma_qp_index_offset
    p.u(1, 0);
    p.u(1, 0);
    p.u(1, 0);
    p.trailing();
    nal(out, 0x68, p.bytes);
    Writer d;
    d.ue(0);    // first_mb_in_slice
    d.ue(7);    // slice_type I (all slices)
    d.ue(0);    // pic_parameter_set_id
    d.u(4, 0);  // frame_num
    d.ue(0);    // idr_pic_id
    d.u(1, 0);  // no_output_of_prior_pics_flag
    d.u(1, 0);  // long_term_reference_flag
    d.ue(0);    // slice_qp_delta (se 0)
    d.ue(25);   // mb_type I_PCM
    d.align();  // pcm_alignment_zero_bit
    const int ch = chroma_format == 2 ? 16 : 8;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) d.u(depth, uint32_t(sample(0, x, y, depth)));
    for (int c = 1; c < 3 && chroma_format != 0; ++c)
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < 8; ++x) d.u(depth, uint32_t(sample(c, x, y, depth)));
    d.trailing();
    nal(out, 0x65, d.bytes);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    struct Case {
        int chroma_format, depth;
    } const cases[] = {{1, 8}, {1, 10}, {1, 14}, {2, 8}, {2, 9}, {2, 12}, {0, 10}};
    int fails = 0, n = 0;
    for (const Case& c : cases) {
        const std::vector<uint8_t> stream = pcm_stream(c.chroma_format, c.depth);
        const std::string out = dir + "/pcm_" + std::to_string(c.chroma_format) + "_" +
                                std::to_string(c.depth) + ".yuv";
        h264dec::Options opt;
        opt.out = out;
        opt.format = "raw";
        long frames = 0;
        long errors = 0;
        {
            h264dec::Decoder d(opt, stderr);
            frames = h264dec::decode_stream(d, stream.data(), stream.size());
            d.close_output();
            errors = d.errors();
        }
        std::vector<uint8_t> got;
        h264dec::read_stream(out.c_str(), got);
        // expected: 4:0:0 goes out as 4:2:0 with chroma 1 << (depth - 1)
        const int bytes = c.depth > 8 ? 2 : 1, ch = c.chroma_format == 2 ? 16 : 8;
        std::vector<uint8_t> want;
        auto put = [&](int v) {
            want.push_back(uint8_t(v));
            if (bytes == 2) want.push_back(uint8_t(v >> 8));
        };
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) put(sample(0, x, y, c.depth));
        for (int k = 1; k < 3; ++k)
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < 8; ++x)
                    put(c.chroma_format ? sample(k, x, y, c.depth) : 1 << (c.depth - 1));
        const bool ok = frames == 1 && errors == 0 && got == want;
        std::printf("I_PCM chroma_format_idc %d, %d bits: %s (%ld frame, %zu bytes)\n",
                    c.chroma_format, c.depth, ok ? "samples unchanged" : "WRONG", frames,
                    got.size());
        fails += !ok;
        ++n;
        std::remove(out.c_str());
    }
    std::printf("%d passed, %d failed\n", n - fails, fails);
    return fails ? 1 : 0;
}
