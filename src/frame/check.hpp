// Argument checks shared by every entry point.
//
// Order (the same for every exported function): null pointers first, in argument order and
// including pointers stored behind pointer arguments; then the function's own value checks in the
// order its header comment gives; warnings that leave the work undone last. The first failing
// check decides the result and nothing is written before all checks have passed.
#pragma once

#include "opxvc.h"

namespace opx {

template <class... P>
constexpr bool any_null(const P*... p) noexcept {
    return ((p == nullptr) || ...);
}

}  // namespace opx

// Returns opxErrNullPtr from the calling function when any argument is a null pointer.
#define OPX_CHECK_NULL(...)                                        \
    do {                                                           \
        if (::opx::any_null(__VA_ARGS__)) return opxErrNullPtr;    \
    } while (0)

// Returns `code` from the calling function unless `cond` holds.
#define OPX_CHECK(cond, code)            \
    do {                                 \
        if (!(cond)) return (code);      \
    } while (0)
