// Helpers of the MPEG-4 / H.263 / H.261 tests: coefficient blocks with canaries on both sides,
// records in caller memory at any address, and whether the processor has AVX2.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "frame/dispatch.hpp"
#include "harness/harness.hpp"

namespace opx::test::mpeg4 {

// 64 coefficients with 16 canary values on each side.
class Block {
public:
    static constexpr Opx16s kCanary = 0x5A5A;
    Block() { mem_.fill(kCanary); }
    Opx16s* data() { return mem_.data() + 16; }
    const Opx16s* data() const { return mem_.data() + 16; }
    Opx16s& operator[](int i) { return data()[i]; }
    Opx16s operator[](int i) const { return data()[i]; }
    void set(const Opx16s* v) { std::memcpy(data(), v, 128); }
    bool canaries_intact() const {
        for (int i = 0; i < 16; ++i)
            if (mem_[i] != kCanary || mem_[80 + i] != kCanary) return false;
        return true;
    }
    bool operator==(const Block& o) const { return mem_ == o.mem_; }

private:
    std::array<Opx16s, 96> mem_;
};

// Caller memory for a record of `size` bytes placed `misalign` bytes past a 64-byte boundary.
class RecordMemory {
public:
    RecordMemory(int size, int misalign) : mem_(static_cast<std::size_t>(size) + 128, 0xC3) {
        p_ = reinterpret_cast<unsigned char*>(
                 (reinterpret_cast<std::uintptr_t>(mem_.data()) + 63) & ~std::uintptr_t{63}) +
             misalign;
    }
    template <class T>
    T* as() {
        return reinterpret_cast<T*>(p_);
    }

private:
    std::vector<unsigned char> mem_;
    unsigned char* p_;
};

inline bool have_avx2() { return opx::cpu::processor_has_avx2(); }

}  // namespace opx::test::mpeg4
