#include "h264/decode/expand_plane.hpp"

#include <cstring>

namespace opx::h264 {

void expand_plane(Opx8u* plane, int width, int height, std::ptrdiff_t pitch, std::size_t pels,
                  int field_mode) noexcept {
    const std::ptrdiff_t p = static_cast<std::ptrdiff_t>(pels);
    // Rows of the chosen parity: `first` is the first picture row of it, `last` the last one;
    // consecutive rows of one parity are `stride` rows apart.
    const int stride = field_mode == opxFrame ? 1 : 2;
    const int first = field_mode == opxBottomField ? 1 : 0;
    const int last = field_mode == opxTopField ? height - 2 : height - 1;
    const std::ptrdiff_t below = field_mode == opxFrame      ? p
                                 : field_mode == opxTopField ? (p + 1) >> 1
                                                             : p >> 1;
    const std::ptrdiff_t above = field_mode == opxFrame      ? p
                                 : field_mode == opxTopField ? p >> 1
                                                             : (p + 1) >> 1;
    auto row = [&](std::ptrdiff_t r) { return plane + r * pitch; };
    // (1) the last row of the parity into the rows below the picture
    for (std::ptrdiff_t i = 1; i <= below; ++i)
        std::memcpy(row(last + i * stride), row(last), static_cast<std::size_t>(width));
    // (2) left and right padding of every row of the parity, picture and rows below
    for (std::ptrdiff_t r = first; r <= last + below * stride; r += stride) {
        Opx8u* q = row(r);
        std::memset(q - p, q[0], pels);
        std::memset(q + width, q[width - 1], pels);
    }
    // (3) the extended first row of the parity into the rows above the picture
    for (std::ptrdiff_t i = 1; i <= above; ++i)
        std::memcpy(row(first - i * stride) - p, row(first) - p,
                    static_cast<std::size_t>(width) + 2 * pels);
}

}  // namespace opx::h264
