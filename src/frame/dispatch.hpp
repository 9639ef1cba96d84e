// Choice of the kernel tables that serve the exported names.
//
// Every family defines its kernel table twice, `opx::<family>::ref::k…` (portable C++) and
// `opx::<family>::avx2::k…` (AVX2). An entry point names its table through
// OPX_SELECT(namespace, table) on every call. In the default build both tables are in the library
// and the choice is made once, when the library is loaded: a constructor in cpu.cpp (built for
// baseline x86-64) asks the processor (CPUID and XGETBV: AVX2, BMI1, BMI2, LZCNT, POPCNT and the
// operating system's YMM state) and records the answer. Until then the portable tables serve, so
// nothing compiled for AVX2 can run before the check, not even for a caller whose own load-time
// code runs first. After that the choice costs one load and one compare on each call, with no
// call and no stack frame. With -DOPXVC_AVX2=OFF only the portable tables are built and
// OPX_SELECT names them directly.
#pragma once

#include <atomic>

#ifndef OPX_USE_AVX2
#define OPX_USE_AVX2 1
#endif

#if defined(__GNUC__)
#define OPX_INLINE inline __attribute__((always_inline))
#define OPX_NOINLINE __attribute__((noinline))
#define OPX_RESTRICT __restrict__
#define OPX_LIKELY(x) __builtin_expect(!!(x), 1)
#define OPX_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OPX_INLINE inline
#define OPX_NOINLINE
#define OPX_RESTRICT
#define OPX_LIKELY(x) (x)
#define OPX_UNLIKELY(x) (x)
#endif

namespace opx::cpu {

enum Isa : int { kIsaPortable = 1, kIsaAvx2 = 2 };

// The tables in use: kIsaPortable (constant-initialised) until the load-time check.
extern std::atomic<int> g_isa;

// What this processor supports, asked afresh (the check made at load time).
bool processor_has_avx2() noexcept;

// Test-only hook (not exported from the shared library): serve the exported names with the
// given tables from now on. kIsaAvx2 on a processor without AVX2 is the caller's fault.
void force_isa(Isa isa) noexcept;

// The choice the load-time check makes (force_isa(choose_isa()) undoes a forced choice).
Isa choose_isa() noexcept;

OPX_INLINE bool use_avx2() noexcept {
    return OPX_LIKELY(g_isa.load(std::memory_order_relaxed) == kIsaAvx2);
}

}  // namespace opx::cpu

#if OPX_USE_AVX2
#define OPX_SELECT(ns, table) (::opx::cpu::use_avx2() ? ns::avx2::table : ns::ref::table)
#else
#define OPX_SELECT(ns, table) (ns::ref::table)
#endif
