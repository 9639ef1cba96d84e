// The shared test-side bit writer with the events of the MPEG-4 / H.263 / H.261 code lists.
#pragma once

#include <cstdint>
#include <vector>

#include "harness/bits.hpp"
#include "mpeg4/vlc_code_lists.hpp"

namespace opx::test::mpeg4 {

struct BitSink : opx::test::BitString {
    // A regular event of a code list and its sign bit; false when the list has no such code.
    template <std::size_t N>
    bool put_event(const opx::mpeg4::VlcCode (&list)[N], int last, int run, int level) {
        const int mag = level < 0 ? -level : level;
        for (const auto& c : list)
            if (c.last == last && c.run == run && c.level == mag) {
                put(c.code, c.len);
                put(level < 0, 1);
                return true;
            }
        return false;
    }
};

}  // namespace opx::test::mpeg4
