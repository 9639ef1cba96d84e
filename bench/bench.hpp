// The benchmark tool's registry and timer.
//
// Timing follows the method of the codec test tools so that figures compare: `lfence; rdtsc`
// around four calls per sample, thousands of samples, samples above four times the running mean
// dropped, the cost of an empty timed region subtracted, the mean reported in TSC ticks per call.
//
// With --strict a second lfence follows each rdtsc, so that the timed calls start only once the
// counter has been read. Without it they may run while the first rdtsc executes (about 40 cycles
// here), which the empty-region subtraction then takes off as well: a small function measures
// several ticks less than with the fence, and a latency-bound one about half. The strict figures
// suit tuning; the default ones compare with figures taken by the other tools.
#pragma once

#include <x86intrin.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/dispatch.hpp"

namespace opx::bench {

template <bool Strict>
inline std::uint64_t ticks() {
    _mm_lfence();
    const std::uint64_t t = __rdtsc();
    if constexpr (Strict) _mm_lfence();
    return t;
}

inline constexpr int kSamples = 4096;

// The timer method, set once from the command line before any case runs.
bool& strict_timer();

// Mean ticks of one timed region holding four calls of `f` (nothing subtracted yet).
template <bool Strict, class F>
double measure_raw(F& f, int samples) {
    for (int i = 0; i < 64; ++i) f();
    double sum = 0;
    long count = 0;
    for (int i = 0; i < samples; ++i) {
        const std::uint64_t t0 = ticks<Strict>();
        f();
        f();
        f();
        f();
        const std::uint64_t t1 = ticks<Strict>();
        const double t = static_cast<double>(t1 - t0);
        if (count == 0 || t * count <= sum * 4) {
            sum += t;
            ++count;
        }
    }
    return sum / static_cast<double>(count);
}

// Ticks of the empty timed region.
double timer_overhead();

// Ticks per call of `f`.
template <class F>
double measure(F f, int samples = kSamples) {
    const double raw =
        strict_timer() ? measure_raw<true>(f, samples) : measure_raw<false>(f, samples);
    const double t = (raw - timer_overhead()) / 4.0;
    return t < 0 ? 0 : t;
}

struct Case {
    std::string function;              // exported name
    std::string label;                 // short case label, e.g. "16x16", "acc3", "mc21"
    std::function<double()> fast;      // ticks per call of the exported function
    std::function<double()> portable;  // ticks per call of its portable path (may be empty)
};

std::vector<Case>& registry();

// Registers one case: `fast` calls the exported function, `portable` does the same work through
// the portable kernels (or is nullptr when there is none).
template <class F, class G>
void add(std::string function, std::string label, F fast, G portable) {
    Case c{std::move(function), std::move(label), [fast]() { return measure(fast); }, {}};
    if constexpr (!std::is_same_v<G, std::nullptr_t>)
        c.portable = [portable]() { return measure(portable); };
    registry().push_back(std::move(c));
}

// Registers a case whose figure is the mean over `positions` per-position figures: `fast(pos)` and
// `portable(pos)` are timed at each position on its own, so that stepping through the positions
// is not part of what is timed.
template <class F, class G>
void add_mean(std::string function, std::string label, int positions, F fast, G portable) {
    auto mean = [positions](auto f) {
        double sum = 0;
        for (int pos = 0; pos < positions; ++pos) sum += measure([&f, pos] { f(pos); });
        return sum / positions;
    };
    Case c{std::move(function), std::move(label), [fast, mean]() { return mean(fast); }, {}};
    if constexpr (!std::is_same_v<G, std::nullptr_t>)
        c.portable = [portable, mean]() { return mean(portable); };
    registry().push_back(std::move(c));
}

struct Registrar {
    explicit Registrar(void (*fn)()) { fn(); }
};

// `f` with the portable tables serving the exported names, for the portable figure of a case
// timed through an exported function: two stores around the call, no processor query (CPUID
// traps to the hypervisor in a virtual machine and would cost tens of thousands of ticks).
template <class F>
auto through_portable(F f) {
    return [f] {
        const int isa = opx::cpu::g_isa.load(std::memory_order_relaxed);
        opx::cpu::force_isa(opx::cpu::kIsaPortable);
        f();
        opx::cpu::force_isa(opx::cpu::Isa(isa));
    };
}

}  // namespace opx::bench

// Defines a function that registers a family's cases at start-up:
//   OPX_BENCH_CASES(block) { opx::bench::add("opxiCopy8x8_8u_C1R", "8x8", [] {...}, [] {...}); }
#define OPX_BENCH_CASES(family)                                                             \
    static void opx_bench_cases_##family();                                                 \
    static const ::opx::bench::Registrar opx_bench_reg_##family(&opx_bench_cases_##family); \
    static void opx_bench_cases_##family()
