// Choice of the kernel tables that serve the exported names.
//
// Every family defines its kernel table twice, `opx::<family>::ref::k…` (portable C++) and
// `opx::<family>::avx2::k…` (AVX2). An entry point names its table through
// OPX_SELECT(namespace, table) on every call. In the default build both tables are in the library
// and the first call that needs one asks the processor once (CPUID and XGETBV: AVX2, BMI1, BMI2,
// LZCNT, POPCNT and the operating system's YMM state) and remembers the answer; after that the
// choice is one load and one well-predicted branch. Nothing compiled for AVX2 runs before that
// check, and nothing runs when the library is loaded. With -DOPXVC_AVX2=OFF only the portable
// tables are built and OPX_SELECT names them directly.
#pragma once

#include <atomic>

#ifndef OPX_USE_AVX2
#define OPX_USE_AVX2 1
#endif

#if defined(__GNUC__)
#define OPX_INLINE inline __attribute__((always_inline))
#define OPX_RESTRICT __restrict__
#define OPX_LIKELY(x) __builtin_expect(!!(x), 1)
#define OPX_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OPX_INLINE inline
#define OPX_RESTRICT
#define OPX_LIKELY(x) (x)
#define OPX_UNLIKELY(x) (x)
#endif

namespace opx::cpu {

enum Isa : int { kIsaUnknown = 0, kIsaPortable = 1, kIsaAvx2 = 2 };

// The tables in use; kIsaUnknown until the first call asks the processor. Constant-initialised.
extern std::atomic<int> g_isa;

// Asks the processor (at most once per process, racing callers agree) and records the answer.
int resolve_isa() noexcept;

// What this processor supports, asked afresh (the check behind resolve_isa).
bool processor_has_avx2() noexcept;

// Test-only hook (not exported from the shared library): serve the exported names with the
// given tables from now on; kIsaUnknown asks the processor again. kIsaAvx2 on a processor
// without AVX2 is the caller's fault.
void force_isa(Isa isa) noexcept;

OPX_INLINE bool use_avx2() noexcept {
    int isa = g_isa.load(std::memory_order_relaxed);
    if (OPX_UNLIKELY(isa == kIsaUnknown)) isa = resolve_isa();
    return isa == kIsaAvx2;
}

}  // namespace opx::cpu

#if OPX_USE_AVX2
#define OPX_SELECT(ns, table) (::opx::cpu::use_avx2() ? ns::avx2::table : ns::ref::table)
#else
#define OPX_SELECT(ns, table) (ns::ref::table)
#endif
