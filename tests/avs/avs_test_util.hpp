// Helpers of the AVS tests: the standard's VLC token lists as text, a bit writer for the word
// reading cursor, and a block encoder written from the coding rules (table switching, escapes,
// reverse order), independent of the library's decoder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../harness/bits.hpp"

namespace opx::test::avs {

// The 2-D VLC tables as the standard lists them: code numbers from left to right; E is end of
// block (one code number), r:l takes two (+l, then −l); then RefAbsLevel for runs 0..MaxRun.
struct TokenList {
    const char* name;
    const char* tokens;
    const char* ref_abs_level;
};
inline const TokenList kTokenLists[19] = {
    {"Intra0",
     "0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1 8:1 9:1 10:1 0:2 11:1 12:1 13:1 14:1 1:2 15:1 16:1 0:3 17:1 "
     "18:1 2:2 19:1 20:1 3:2 21:1 4:2 22:1 E",
     "4,3,3,3,3,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2"},
    {"Intra1",
     "0:1 1:1 0:2 2:1 E 3:1 4:1 5:1 0:3 1:2 6:1 7:1 8:1 2:2 0:4 9:1 10:1 3:2 1:3 11:1 4:2 0:5 12:1 "
     "5:2 13:1 6:2 7:2 2:3 0:6 14:1",
     "7,4,4,3,3,3,3,3,2,2,2,2,2,2,2"},
    {"Intra2",
     "0:1 0:2 1:1 0:3 E 2:1 1:2 0:4 3:1 0:5 4:1 1:3 2:2 5:1 0:6 3:2 6:1 1:4 0:7 2:3 4:2 7:1 5:2 "
     "0:8 8:1 1:5 3:3 6:2 0:9 9:1",
     "10,6,4,4,3,3,3,2,2,2"},
    {"Intra3",
     "0:1 0:2 0:3 1:1 E 0:4 0:5 1:2 2:1 0:6 1:3 0:7 3:1 0:8 2:2 1:4 4:1 0:9 1:5 3:2 0:10 2:3 5:1 "
     "0:11 1:6 6:1 4:2 3:3 0:12 2:4",
     "13,7,5,4,3,2,2"},
    {"Intra4",
     "0:1 0:2 0:3 E 0:4 0:5 0:6 1:1 0:7 0:8 1:2 0:9 0:10 2:1 1:3 0:11 1:4 0:12 0:13 1:5 3:1 2:2 "
     "0:14 1:6 0:15 0:16 2:3 4:1 1:7 0:17",
     "18,8,4,2,2"},
    {"Intra5",
     "E 0:1 0:2 0:3 0:4 0:5 0:6 0:7 0:8 0:9 0:10 1:1 0:11 0:12 0:13 1:2 0:14 0:15 1:3 0:16 2:1 "
     "0:17 1:4 0:18 1:5 0:19 0:20 1:6 0:21 2:2",
     "22,7,3"},
    {"Intra6",
     "E 0:1 0:2 0:3 0:4 0:5 0:6 0:7 0:8 0:9 0:10 0:11 0:12 0:13 0:14 0:15 0:16 1:1 0:17 0:18 0:19 "
     "0:20 0:21 1:2 0:22 0:23 0:24 0:25 1:3 0:26",
     "27,4"},
    {"Inter0",
     "0:1 1:1 2:1 3:1 4:1 5:1 6:1 7:1 8:1 9:1 10:1 11:1 12:1 0:2 13:1 14:1 15:1 16:1 17:1 18:1 0:3 "
     "19:1 20:1 1:2 21:1 22:1 23:1 24:1 25:1 E",
     "4,3,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2"},
    {"Inter1",
     "0:1 E 1:1 2:1 3:1 4:1 5:1 0:2 6:1 7:1 8:1 9:1 1:2 10:1 11:1 0:3 12:1 13:1 2:2 14:1 3:2 15:1 "
     "4:2 16:1 0:4 5:2 17:1 18:1 6:2 1:3",
     "5,4,3,3,3,3,3,2,2,2,2,2,2,2,2,2,2,2,2"},
    {"Inter2",
     "0:1 E 1:1 0:2 2:1 3:1 0:3 1:2 4:1 5:1 6:1 2:2 0:4 7:1 1:3 3:2 8:1 9:1 0:5 4:2 10:1 5:2 11:1 "
     "2:3 0:6 1:4 12:1 6:2 3:3 13:1",
     "7,5,4,4,3,3,3,2,2,2,2,2,2,2"},
    {"Inter3",
     "0:1 E 0:2 1:1 0:3 2:1 1:2 0:4 3:1 0:5 4:1 1:3 2:2 5:1 0:6 3:2 6:1 1:4 0:7 2:3 7:1 4:2 0:8 "
     "8:1 3:3 5:2 1:5 9:1 0:9 2:4",
     "10,6,5,4,3,3,2,2,2,2"},
    {"Inter4",
     "0:1 E 0:2 0:3 1:1 0:4 0:5 1:2 2:1 0:6 1:3 0:7 3:1 0:8 2:2 1:4 4:1 0:9 1:5 3:2 5:1 0:10 2:3 "
     "0:11 6:1 1:6 3:3 4:2 0:12 2:4",
     "13,7,5,4,3,2,2"},
    {"Inter5",
     "E 0:1 0:2 0:3 0:4 0:5 1:1 0:6 0:7 0:8 1:2 0:9 2:1 0:10 1:3 0:11 1:4 0:12 3:1 2:2 0:13 1:5 "
     "0:14 1:6 4:1 0:15 2:3 0:16 3:2 1:7",
     "17,8,4,3,2"},
    {"Inter6",
     "E 0:1 0:2 0:3 0:4 0:5 0:6 0:7 1:1 0:8 0:9 0:10 0:11 0:12 1:2 0:13 2:1 0:14 0:15 1:3 0:16 "
     "0:17 0:18 1:4 0:19 0:20 2:2 3:1 1:5 0:21",
     "22,6,3,2"},
    {"Chroma0",
     "0:1 1:1 2:1 3:1 4:1 5:1 6:1 0:2 7:1 8:1 9:1 10:1 11:1 12:1 13:1 14:1 0:3 15:1 16:1 17:1 18:1 "
     "19:1 20:1 21:1 1:2 22:1 23:1 24:1 0:4 E",
     "5,3,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2"},
    {"Chroma1",
     "E 0:1 1:1 0:2 2:1 3:1 4:1 5:1 0:3 6:1 7:1 1:2 8:1 9:1 10:1 0:4 11:1 12:1 13:1 2:2 14:1 3:2 "
     "0:5 1:3 15:1 16:1 17:1 4:2 18:1 19:1",
     "6,4,3,3,3,2,2,2,2,2,2,2,2,2,2,2,2,2,2,2"},
    {"Chroma2",
     "0:1 E 0:2 1:1 0:3 2:1 0:4 1:2 3:1 0:5 4:1 1:3 2:2 5:1 0:6 6:1 3:2 0:7 7:1 1:4 8:1 2:3 4:2 "
     "5:2 0:8 9:1 10:1 0:9 1:5 3:3",
     "10,6,4,4,3,3,2,2,2,2,2"},
    {"Chroma3",
     "E 0:1 0:2 0:3 0:4 1:1 0:5 1:2 0:6 2:1 0:7 1:3 0:8 3:1 2:2 0:9 1:4 4:1 0:10 2:3 1:5 3:2 0:11 "
     "5:1 0:12 6:1 1:6 0:13 4:2 7:1",
     "14,7,4,3,3,2,2,2"},
    {"Chroma4",
     "E 0:1 0:2 0:3 0:4 0:5 0:6 0:7 0:8 1:1 0:9 0:10 0:11 1:2 0:12 0:13 1:3 0:14 2:1 0:15 1:4 0:16 "
     "0:17 1:5 3:1 2:2 0:18 1:6 0:19 4:1",
     "20,7,3,2,2"},
};

struct RunLevel {
    int run, level;
};

// Entries of a token list for code numbers 0..58 (end of block as run 64, level 0).
inline std::vector<RunLevel> parse_tokens(const char* text) {
    std::vector<RunLevel> out;
    std::istringstream in(text);
    std::string t;
    while (in >> t) {
        if (t == "E") {
            out.push_back({64, 0});
            continue;
        }
        const auto colon = t.find(':');
        const int r = std::stoi(t.substr(0, colon)), l = std::stoi(t.substr(colon + 1));
        out.push_back({r, l});
        out.push_back({r, -l});
    }
    return out;
}

inline std::vector<int> parse_list(const char* text) {
    std::vector<int> out;
    std::string s(text);
    std::istringstream in(s);
    std::string item;
    while (std::getline(in, item, ',')) out.push_back(std::stoi(item));
    return out;
}

// Bits for the word reading cursor: bit 31 of word 0 first.
using BitWriter = opx::test::BitString;

// Block kinds: 0 intra luma, 1 inter luma, 2 chroma. Table t of a kind is kTokenLists[first + t].
struct KindCoding {
    int first, last;
    int bound[7];
    int k_first[7];
    int k_escape;
};
inline constexpr KindCoding kKindCoding[3] = {
    {0, 6, {0, 1, 2, 4, 7, 10, 65535}, {2, 2, 2, 2, 2, 2, 2}, 1},
    {7, 6, {0, 1, 2, 3, 6, 9, 65535}, {3, 2, 2, 2, 2, 2, 2}, 0},
    {14, 4, {0, 1, 2, 4, 65535}, {2, 0, 1, 1, 0}, 0},
};

// Encodes one block: `coeffs` in scan order (64 values). Pairs are sent from the last nonzero
// coefficient towards DC, each as its table code when the current table has it, else as an
// escape (code 59 + 2·run, + 1 for a positive level, then level − RefAbsLevel). End of block
// follows. Returns false when a level cannot be coded (|level| below RefAbsLevel and not in the
// table cannot happen with the standard's tables).
inline bool encode_block(BitWriter& w, int kind, const std::vector<int>& scan_coeffs,
                         bool force_escape = false) {
    const KindCoding& kc = kKindCoding[kind];
    std::vector<std::pair<int, int>> pairs;  // (run, level) from DC upwards
    int run = 0;
    for (int i = 0; i < 64; ++i) {
        if (scan_coeffs[i] == 0) {
            ++run;
            continue;
        }
        pairs.push_back({run, scan_coeffs[i]});
        run = 0;
    }
    int table = 0;
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        const auto entries = parse_tokens(kTokenLists[kc.first + table].tokens);
        const auto ref = parse_list(kTokenLists[kc.first + table].ref_abs_level);
        const int refabs = it->first < static_cast<int>(ref.size()) ? ref[it->first] : 1;
        int code = -1;
        if (!force_escape || std::abs(it->second) < refabs)
            for (int c = 0; c < 59; ++c)
                if (entries[c].run == it->first && entries[c].level == it->second) code = c;
        const int k = kc.k_first[table];
        if (code >= 0) {
            w.exp_golomb(code, k);
        } else {
            const int abs_level = std::abs(it->second);
            if (abs_level < refabs) return false;
            w.exp_golomb(59 + 2 * it->first + (it->second > 0 ? 1 : 0), k);
            w.exp_golomb(abs_level - refabs, kc.k_escape);
        }
        const int abs_level = std::abs(it->second);
        while (table < kc.last && abs_level > kc.bound[table]) ++table;
    }
    // End of block: the E entry of the current table.
    const auto entries = parse_tokens(kTokenLists[kc.first + table].tokens);
    for (int c = 0; c < 59; ++c)
        if (entries[c].run == 64) w.exp_golomb(c, kc.k_first[table]);
    return true;
}

}  // namespace opx::test::avs
