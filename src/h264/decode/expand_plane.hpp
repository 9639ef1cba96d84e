// Border replication of a reference plane, so that motion compensation may read outside it.
#pragma once

#include <cstddef>

#include "opxvc.h"

namespace opx::h264 {

// Pads a width x height plane (row 0 at `plane`) by `pels` samples on every side; in field mode
// only the rows of one parity, from the rows of that parity. The buffer extends that far.
void expand_plane(Opx8u* plane, int width, int height, std::ptrdiff_t pitch, std::size_t pels,
                  int field_mode) noexcept;

}  // namespace opx::h264
