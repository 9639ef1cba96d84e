// Load-time choice between the portable and the AVX2 kernel tables (see dispatch.hpp). Built for
// baseline x86-64: this file must run on any 64-bit x86 processor.
#include "frame/dispatch.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace opx::cpu {

std::atomic<int> g_isa{kIsaPortable};

bool processor_has_avx2() noexcept {
#if OPX_USE_AVX2 && (defined(__x86_64__) || defined(__i386__))
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid(1, a, b, c, d);
    const bool osxsave = c & (1u << 27), avx = c & (1u << 28), popcnt = c & (1u << 23);
    if (!osxsave || !avx || !popcnt) return false;
    // The operating system saves the XMM and YMM registers (XCR0 bits 1 and 2).
    unsigned xcr0_lo = 0, xcr0_hi = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0_lo), "=d"(xcr0_hi) : "c"(0));
    if ((xcr0_lo & 6u) != 6u) return false;
    __cpuid_count(7, 0, a, b, c, d);
    const bool bmi1 = b & (1u << 3), avx2 = b & (1u << 5), bmi2 = b & (1u << 8);
    if (!bmi1 || !avx2 || !bmi2) return false;
    if (__get_cpuid_max(0x80000000u, nullptr) < 0x80000001u) return false;
    __cpuid(0x80000001u, a, b, c, d);
    return c & (1u << 5);  // LZCNT (ABM)
#else
    return false;
#endif
}

Isa choose_isa() noexcept { return processor_has_avx2() ? kIsaAvx2 : kIsaPortable; }

void force_isa(Isa isa) noexcept { g_isa.store(isa, std::memory_order_relaxed); }

namespace {

// The library's one piece of load-time code: it runs before the loader returns the library to
// its user, and only reads the processor's identification and writes g_isa.
__attribute__((constructor)) void check_processor_at_load() { force_isa(choose_isa()); }

}  // namespace

}  // namespace opx::cpu
