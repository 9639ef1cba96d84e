// Shared test harness: reproducible random numbers, named input patterns, buffers with canary
// margins and buffers that end at an unreadable page, a difference map for failures, and the
// registry of null-pointer cases that every exported function joins.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "opxvc.h"

namespace opx::test {

// ---- random numbers ---------------------------------------------------------------------------

// The seed of the running test: a hash of its full name, mixed with OPXVC_TEST_SEED when that is
// set in the environment (to try other inputs). Printed with every failure inside the test.
std::uint64_t test_seed();

class Rng {
public:
    // Seeded from the running test; a failure in the test prints the seed.
    Rng();
    explicit Rng(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull), seed_(seed) {}

    std::uint64_t next64() {
        // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    std::uint32_t next() { return static_cast<std::uint32_t>(next64() >> 32); }
    // Uniform in [lo, hi].
    std::int64_t uniform(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(next64() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    // Uniform in [lo, hi] as an int.
    int uniform_int(std::int64_t lo, std::int64_t hi) { return static_cast<int>(uniform(lo, hi)); }
    bool coin() { return next() & 1; }
    std::uint64_t seed() const { return seed_; }

private:
    std::uint64_t state_;
    std::uint64_t seed_ = 0;
    std::unique_ptr<testing::ScopedTrace> trace_;
};

// ---- input patterns ---------------------------------------------------------------------------

enum class Pattern { kRandom, kZeros, kMax, kComplementary, kChecker, kRamp };
inline constexpr Pattern kAllPatterns[] = {Pattern::kRandom,        Pattern::kZeros,
                                           Pattern::kMax,           Pattern::kComplementary,
                                           Pattern::kChecker,       Pattern::kRamp};
const char* pattern_name(Pattern p);

// Value of pattern `p` at (x, y) for samples in [lo, hi]. kComplementary gives lo in the first
// buffer (`second` false) and hi in the second: a pair of buffers that drives differences and
// sums to their extremes. kChecker alternates lo and hi per sample.
std::int64_t pattern_value(Pattern p, int x, int y, std::int64_t lo, std::int64_t hi, Rng& rng,
                           bool second = false);

// Fills a 2-D region (step in bytes) with a pattern.
template <class T>
void fill(T* base, std::ptrdiff_t step_bytes, int width, int height, Pattern p, Rng& rng,
          std::int64_t lo = std::numeric_limits<T>::min(),
          std::int64_t hi = std::numeric_limits<T>::max(), bool second = false) {
    for (int y = 0; y < height; ++y) {
        T* row = reinterpret_cast<T*>(reinterpret_cast<char*>(base) + y * step_bytes);
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<T>(pattern_value(p, x, y, lo, hi, rng, second));
    }
}

// ---- buffers ----------------------------------------------------------------------------------

// A 2-D buffer of T with `margin` elements of canary on all four sides. The region starts
// `misalign` bytes after a 64-byte boundary; the step (in bytes) is at least the row plus both
// margins and may be chosen larger.
template <class T>
class Plane {
public:
    Plane(int width, int height, int margin = 32, int misalign = 0, int extra_step_bytes = 0)
        : width_(width), height_(height), margin_(margin) {
        step_ = static_cast<std::ptrdiff_t>((width + 2 * margin) * sizeof(T)) + extra_step_bytes;
        step_ = (step_ + 63) / 64 * 64 + misalign % 64;
        const std::size_t bytes = static_cast<std::size_t>(step_) * (height + 2 * margin) + 256;
        storage_.assign(bytes, kCanary);
        char* base = reinterpret_cast<char*>(
            (reinterpret_cast<std::uintptr_t>(storage_.data()) + 63) & ~std::uintptr_t{63});
        origin_ = reinterpret_cast<T*>(base + margin * step_ + margin * sizeof(T) + misalign % 64);
    }

    T* data() { return origin_; }
    const T* data() const { return origin_; }
    T* row(int y) { return reinterpret_cast<T*>(reinterpret_cast<char*>(origin_) + y * step_); }
    const T* row(int y) const {
        return reinterpret_cast<const T*>(reinterpret_cast<const char*>(origin_) + y * step_);
    }
    T& at(int x, int y) { return row(y)[x]; }
    // Step in bytes (step32: as the exported functions take it).
    std::ptrdiff_t step() const { return step_; }
    Opx32s step32() const { return static_cast<Opx32s>(step_); }
    int width() const { return width_; }
    int height() const { return height_; }

    void fill(Pattern p, Rng& rng, std::int64_t lo = std::numeric_limits<T>::min(),
              std::int64_t hi = std::numeric_limits<T>::max(), bool second = false) {
        opx::test::fill(origin_, step_, width_, height_, p, rng, lo, hi, second);
    }
    // Fills the margins too (for sources read beyond the block), keeping the canary of
    // the storage outside them.
    void fill_with_margins(Pattern p, Rng& rng, std::int64_t lo = std::numeric_limits<T>::min(),
                           std::int64_t hi = std::numeric_limits<T>::max()) {
        opx::test::fill(row(-margin_) - margin_, step_, width_ + 2 * margin_,
                        height_ + 2 * margin_, p, rng, lo, hi);
    }
    // True when no byte outside the width × height region has changed since construction.
    bool canaries_intact() const;

private:
    static constexpr unsigned char kCanary = 0xA5;
    int width_, height_, margin_;
    std::ptrdiff_t step_;
    std::vector<unsigned char> storage_;
    T* origin_;
};

// A region of memory whose readable part is enclosed by unreadable pages: a read or write even
// one byte before begin() or at end() faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    unsigned char* begin() { return begin_; }
    unsigned char* end() { return begin_ + bytes_; }
    std::size_t size() const { return bytes_; }

    // A 2-D region of `width_bytes` × `height` rows with step `step` (may be negative) placed so
    // that its last byte touched sits just before the end (or, with at_front, its first byte at
    // begin()). Returns the pointer to the first sample of row 0; nullptr if it does not fit.
    unsigned char* place(std::ptrdiff_t width_bytes, int height, std::ptrdiff_t step,
                         bool at_front = false);

private:
    unsigned char* map_ = nullptr;
    std::size_t map_bytes_ = 0;
    unsigned char* begin_ = nullptr;
    std::size_t bytes_ = 0;
};

// ---- comparing --------------------------------------------------------------------------------

// Hex map of a 2-D region with the differing elements marked, for failure messages.
template <class T>
std::string diff_map(const T* expected, std::ptrdiff_t expected_step, const T* actual,
                     std::ptrdiff_t actual_step, int width, int height) {
    std::ostringstream os;
    os << "expected | actual (differences marked *)\n";
    for (int y = 0; y < height; ++y) {
        const T* e = reinterpret_cast<const T*>(reinterpret_cast<const char*>(expected) +
                                                y * expected_step);
        const T* a = reinterpret_cast<const T*>(reinterpret_cast<const char*>(actual) +
                                                y * actual_step);
        for (int x = 0; x < width; ++x) os << std::hex << +e[x] << ' ';
        os << "| ";
        for (int x = 0; x < width; ++x)
            os << std::hex << +a[x] << (a[x] == e[x] ? " " : "* ");
        os << '\n';
    }
    return os.str();
}

template <class T>
testing::AssertionResult regions_equal(const T* expected, std::ptrdiff_t expected_step,
                                       const T* actual, std::ptrdiff_t actual_step, int width,
                                       int height) {
    for (int y = 0; y < height; ++y) {
        const T* e = reinterpret_cast<const T*>(reinterpret_cast<const char*>(expected) +
                                                y * expected_step);
        const T* a = reinterpret_cast<const T*>(reinterpret_cast<const char*>(actual) +
                                                y * actual_step);
        if (std::memcmp(e, a, sizeof(T) * width) != 0)
            return testing::AssertionFailure()
                   << "first difference in row " << y << "\n"
                   << diff_map(expected, expected_step, actual, actual_step, width, height);
    }
    return testing::AssertionSuccess();
}

template <class T>
testing::AssertionResult planes_equal(const Plane<T>& expected, const Plane<T>& actual) {
    return regions_equal(expected.data(), expected.step(), actual.data(), actual.step(),
                         expected.width(), expected.height());
}

// ---- null-pointer cases -----------------------------------------------------------------------

// Scratch memory for the null-pointer cases: a large zone filled with a fixed byte pattern, with
// room on both sides of every pointer handed out (negative steps are fine).
class Scratch {
public:
    Scratch();
    // Distinct areas of the zone, one per slot (0..15), each 64 KiB away from its neighbours.
    unsigned char* bytes(int slot = 0);
    Opx8u* u8(int slot = 0) { return bytes(slot); }
    Opx16s* s16(int slot = 0) { return reinterpret_cast<Opx16s*>(bytes(slot)); }
    Opx16u* u16(int slot = 0) { return reinterpret_cast<Opx16u*>(bytes(slot)); }
    Opx32s* s32(int slot = 0) { return reinterpret_cast<Opx32s*>(bytes(slot)); }
    Opx32u* u32(int slot = 0) { return reinterpret_cast<Opx32u*>(bytes(slot)); }
    void reset();
    bool unchanged() const;
    // Stores `v` at the start of `slot` as part of the expected contents (a cursor, a count, a
    // pointer the call reads) and returns its address.
    template <class T>
    T* put(int slot, T v) {
        T* p = reinterpret_cast<T*>(bytes(slot));
        std::memcpy(p, &v, sizeof v);
        std::memcpy(snapshot_.data() + (bytes(slot) - zone_.data()), &v, sizeof v);
        return p;
    }

private:
    std::vector<unsigned char> zone_, snapshot_;
    unsigned char* base_;
};

// Hands out each pointer argument of a call, replacing the one with the chosen index by null.
class NullProbe {
public:
    explicit NullProbe(int null_index) : null_index_(null_index) {}
    template <class T>
    T* operator()(T* p) {
        return (count_++ == null_index_) ? nullptr : p;
    }
    int count() const { return count_; }

private:
    int null_index_;
    int count_ = 0;
};

using NullCaseFn = OpxResult (*)(NullProbe& nul, Scratch& s);
bool register_null_case(const char* function_name, NullCaseFn fn);

struct NullCase {
    const char* name;
    NullCaseFn fn;
};
const std::vector<NullCase>& null_cases();

// The null-pointer case of a function whose pointer arguments all point to plain samples or
// values (no records, no pointers to pointers): each pointer from its own Scratch slot, 0, 1, ...
// in argument order; the other arguments are `values`, in order.
namespace null_auto {
template <class... A>
constexpr std::array<int, sizeof...(A) + 1> pointer_args_before() {
    const bool pointer[] = {std::is_pointer_v<A>..., false};
    std::array<int, sizeof...(A) + 1> out{};
    for (std::size_t i = 0; i < sizeof...(A); ++i) out[i + 1] = out[i] + pointer[i];
    return out;
}
template <class T, std::size_t I, std::size_t P, class Values>
T auto_arg(NullProbe& nul, Scratch& s, const Values& values) {
    if constexpr (std::is_pointer_v<T>)
        return nul(reinterpret_cast<T>(s.bytes(static_cast<int>(P))));
    else
        return static_cast<T>(std::get<I - P>(values));
}
template <class... A, class Values, std::size_t... I>
OpxResult null_call_auto(OpxResult (*f)(A...), NullProbe& nul, Scratch& s, const Values& values,
                         std::index_sequence<I...>) {
    constexpr auto p = pointer_args_before<A...>();
    static_assert(std::tuple_size_v<Values> == sizeof...(A) - p[sizeof...(A)],
                  "one value for each argument that is not a pointer");
    // Braces: the arguments are formed (and the pointers counted by nul) left to right.
    return std::apply(f, std::tuple<A...>{auto_arg<A, I, p[I]>(nul, s, values)...});
}
}  // namespace null_auto
template <class... A, class... V>
OpxResult null_call_auto(OpxResult (*f)(A...), NullProbe& nul, Scratch& s, V... values) {
    return null_auto::null_call_auto(f, nul, s, std::make_tuple(values...),
                                     std::index_sequence_for<A...>{});
}

// ---- argument-check cases ---------------------------------------------------------------------

// One call with one bad argument (or two, to pin which check comes first), the result code it
// must give and, unless that code is opxOk, nothing written in the Scratch zone. Outputs and
// in-place buffers of the call come from `s`.
struct ArgCase {
    const char* call_text;
    int line;
    OpxResult want;
    std::function<OpxResult(Scratch& s)> call;
};
// Runs every case on a freshly reset Scratch.
void expect_arg_cases(const std::vector<ArgCase>& cases);

}  // namespace opx::test

// Registers the null-pointer case of an exported function. The body calls the function once,
// passing every pointer argument through `nul(...)` (pointers behind pointers included, in
// argument order) and taking memory from `s`; the harness nulls each in turn and checks
// opxErrNullPtr and that nothing was written.
//
//   OPX_NULL_CASE(opxiCopy8x8_8u_C1R) { return opxiCopy8x8_8u_C1R(nul(s.u8(0)), 8, nul(s.u8(1)), 8); }
#define OPX_NULL_CASE(function)                                                              \
    static OpxResult opx_null_case_##function(::opx::test::NullProbe& nul,                   \
                                              ::opx::test::Scratch& s);                      \
    [[maybe_unused]] static const bool opx_null_case_reg_##function =                        \
        ::opx::test::register_null_case(#function, &opx_null_case_##function);               \
    static OpxResult opx_null_case_##function([[maybe_unused]] ::opx::test::NullProbe& nul,  \
                                              [[maybe_unused]] ::opx::test::Scratch& s)
// The common case in one line: the body is the single call `function(args...)`.
//
//   OPX_NULL_CALL(opxiCopy8x8_8u_C1R, nul(s.u8(0)), 8, nul(s.u8(1)), 8)
#define OPX_NULL_CALL(function, ...)  \
    OPX_NULL_CASE(function) {         \
        return function(__VA_ARGS__); \
    }

// A row of an argument-check table: the expected code and the call, which takes its outputs
// from the Scratch `s` and may use copies of the test's locals.
//
//   OPX_ARG(opxErrSize, opxiSAD2x2xN_8u16u_C1R(s.u8(0), 16, s.u8(1), 48, s.u16(2), 7))
#define OPX_ARG(want, ...)                                                   \
    ::opx::test::ArgCase {                                                   \
        #__VA_ARGS__, __LINE__, want,                                        \
            [=](::opx::test::Scratch& s) mutable -> OpxResult {              \
                return __VA_ARGS__;                                          \
            }                                                                \
    }

// The null-pointer case of a function whose pointers all point to plain data (see
// null_call_auto), given its other arguments in order.
//
//   OPX_NULL_AUTO(opxiSAD16x16_8u32s, 32, 32, 0)
#define OPX_NULL_AUTO(function, ...)                                       \
    OPX_NULL_CASE(function) {                                              \
        return ::opx::test::null_call_auto(function, nul, s, __VA_ARGS__); \
    }
