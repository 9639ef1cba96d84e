// Generic VLC tables: building from a code list, shared by the exported builders and decoders.
#pragma once

#include "opxvc.h"

namespace opx::mpeg2 {

// Builds the table of a code list ((code, value) records, or (code, run, level) when
// `run_level`). Returns opxOk and the table in *out, or opxErrBadArg / opxErrMemAlloc with *out
// untouched.
OpxResult build_table(const Opx32s* list, bool run_level, Opx32s** out) noexcept;

}  // namespace opx::mpeg2
