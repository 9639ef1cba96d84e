// Reference fields of field pictures, which the conformance streams use only in their simplest
// form: list initialisation by alternating parity (clause 8.2.4.2.5), modification by field
// picture numbers and long-term picture numbers (clause 8.2.4.3), marking with operations in
// fields (clause 8.2.5.4) and the sliding window that spares a second field (clause 8.2.5.3).
// Each case is a stream made by hand of 16x32 frames coded as two one-macroblock fields: I
// fields of flat I_PCM samples (a tag per field), and P fields of one P_Skip macroblock, which
// copy list 0's first field; and frames between them (I_PCM rows of the tag on even rows and
// tag + 1 on odd ones, P_Skip). The tags that come out name the reference each P field took.
//   h264dec_fields WORKDIR
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "bit_writer.hpp"
#include "decoder.hpp"

namespace {

using h264test::pps;
using h264test::Writer;

std::vector<uint8_t> sps(int max_refs) {
    // Main profile, fields of one macroblock
    Writer w = h264test::sps_head({77, max_refs, 1, 1, false});
    w.u(1, 0);  // vui_parameters_present_flag
    w.u(1, 1);
    return w.bytes;
}

// One field picture. tag > 0: an I field of I_PCM samples `tag`; else a P field of one
// P_Skip macroblock. mods: list 0 modification (op, value); mmco: marking operations (op and
// its one or two values); idr, long_term: the IDR picture's long_term_reference_flag.
struct Field {
    int frame_num;
    bool bottom;
    int tag;
    bool idr = false, long_term = false;
    std::vector<std::vector<int>> mods = {}, mmco = {};
    bool frame = false;  // a frame picture of two macroblocks
};

std::vector<uint8_t> slice(const Field& f) {
    Writer w(f.idr ? 0x65 : 0x61);
    w.ue(0);
    w.ue(f.tag ? 7 : 5);  // I or P
    w.ue(0);
    w.u(4, uint32_t(f.frame_num));
    w.u(1, !f.frame);  // field_pic_flag
    if (!f.frame) w.u(1, f.bottom);
    if (f.idr) w.ue(0);  // idr_pic_id
    if (!f.tag) {
        w.u(1, 0);  // num_ref_idx_active_override_flag
        w.u(1, !f.mods.empty());
        for (const auto& m : f.mods) {
            w.ue(uint32_t(m[0]));
            w.ue(uint32_t(m[1]));
        }
        if (!f.mods.empty()) w.ue(3);
    }
    if (f.idr) {
        w.u(1, 0);
        w.u(1, f.long_term);
    } else {
        w.u(1, !f.mmco.empty());
        for (const auto& m : f.mmco)
            for (int v : m) w.ue(uint32_t(v));
        if (!f.mmco.empty()) w.ue(0);
    }
    w.se(0);  // slice_qp_delta
    if (f.tag) {
        for (int mb = 0; mb < (f.frame ? 2 : 1); ++mb) {
            w.ue(25);  // I_PCM
            w.align();
            for (int i = 0; i < 256 + 128; ++i) {
                const int row = i < 256 ? i / 16 : (i - 256) / 8;
                w.u(8, uint32_t(f.tag + (f.frame ? row & 1 : 0)));
            }
        }
    } else {
        w.ue(f.frame ? 2 : 1);  // mb_skip_run
    }
    w.u(1, 1);
    return w.nal();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    struct Case {
        const char* rule;
        int max_refs;
        std::vector<Field> fields;
        std::vector<int> want;  // luma of each output frame's top and bottom field
    } const cases[] = {
        {"a second field's list starts with the same parity of the previous frame",
         2,
         {{0, false, 10, true}, {0, true, 20}, {1, false, 0}, {1, true, 0}},
         {10, 20, 10, 20}},
        {"a second field's list holds its first field",
         2,
         {{0, false, 10, true}, {0, true, 0}},
         {10, 10}},
        {"modification: picture number 2 * FrameNumWrap is the opposite parity",
         2,
         {{0, false, 10, true},
          {0, true, 20},
          {1, false, 30},
          {1, true, 0, false, false, {{0, 0}}}},
         {10, 20, 30, 30}},
        {"modification: 2 * FrameNumWrap + 1 is the same parity",
         2,
         {{0, false, 10, true},
          {0, true, 20},
          {1, false, 30},
          {1, true, 0, false, false, {{0, 1}}}},
         {10, 20, 30, 20}},
        {"modification: the opposite parity of an older frame",
         2,
         {{0, false, 10, true},
          {0, true, 20},
          {1, false, 30},
          {1, true, 0, false, false, {{0, 2}}}},
         {10, 20, 30, 10}},
        {"operation 1 in a field removes one field by its picture number",
         2,
         {{0, false, 10, true},
          {0, true, 20},
          {1, false, 30, false, false, {}, {{1, 2}}},
          {1, true, 0}},
         {10, 20, 30, 30}},
        {"long-term fields: LongTermPicNum 2 * idx for the opposite parity",
         2,
         {{0, false, 10, true, true},
          {0, true, 20, false, false, {}, {{6, 0}}},
          {1, false, 30},
          {1, true, 0, false, false, {{2, 0}}}},
         {10, 20, 30, 10}},
        {"long-term fields: 2 * idx + 1 for the same parity",
         2,
         {{0, false, 10, true, true},
          {0, true, 20, false, false, {}, {{6, 0}}},
          {1, false, 30},
          {1, true, 0, false, false, {{2, 1}}}},
         {10, 20, 30, 20}},
        {"a frame predicted from a frame coded as two fields",
         2,
         {{0, false, 10, true}, {0, true, 20}, {1, false, 0, false, false, {}, {}, true}},
         {10, 20, 10, 20}},
        {"the fields of a frame coded as a frame, by alternating parity",
         2,
         {{0, false, 10, true, false, {}, {}, true}, {1, false, 0}, {1, true, 0}},
         {10, 11, 10, 11}},
        {"the sliding window drops a frame for a first field and spares the second",
         1,
         {{0, false, 10, true}, {0, true, 20}, {1, false, 30}, {1, true, 0}},
         {10, 20, 30, 30}},
    };
    int fails = 0;
    for (const Case& c : cases) {
        std::vector<std::vector<uint8_t>> units = {sps(c.max_refs), pps(26)};
        for (const Field& f : c.fields) units.push_back(slice(f));
        long frames = 0, errors = 0;
        const std::vector<uint8_t> got =
            h264test::decode_raw(dir + "/fields.yuv", units, &frames, &errors);
        std::vector<int> tags;
        for (size_t f = 0; f + 768 <= got.size(); f += 768) {
            tags.push_back(got[f]);       // row 0: top field
            tags.push_back(got[f + 16]);  // row 1: bottom field
        }
        const bool ok = errors == 0 && tags == c.want;
        std::printf("%s: %s\n", c.rule, ok ? "ok" : "WRONG");
        if (!ok) {
            std::printf("  got");
            for (int t : tags) std::printf(" %d", t);
            std::printf("\n");
        }
        fails += !ok;
    }
    std::printf("%d passed, %d failed\n", int(std::size(cases)) - fails, fails);
    return fails ? 1 : 0;
}
