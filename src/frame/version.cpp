#include "opxvc.h"

namespace {

constexpr OpxVersionInfo kVersion = {
    7, 1, 0, 36264, {'l', '9', '\0', '\0'}, "opxVC AVX2 (l9)", "7.1.0 (r36264)", "Jul 23 2012",
};

}  // namespace

extern "C" OPXVC_API const OpxVersionInfo* opxvcGetLibVersion(void) noexcept { return &kVersion; }
