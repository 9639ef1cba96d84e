// DV targets (chosen by an OPX_FUZZ_* definition).
// Segment decoders: 400 input bytes (zero-padded when shorter) in an exact-size heap buffer, so
// that AddressSanitizer sees any read before or after the segment; byte 400, when present, is
// numPositions. Every input also goes through the portable and the AVX2-build kernels, which must
// agree. Table builder: lists made from the input in the builder's grammar (widths and codes
// unchecked, so that malformed ones are common), each ending with a negative count.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dv/dv.hpp"
#include "frame/dispatch.hpp"
#include "opxvc.h"

namespace {

[[maybe_unused]] void segment(const std::uint8_t* data, std::size_t size,
                              const opx::dv::AreaLayout& layout, bool one_pass) {
    std::unique_ptr<std::uint8_t[]> seg(new std::uint8_t[400]);
    std::memset(seg.get(), 0, 400);
    std::memcpy(seg.get(), data, size < 400 ? size : 400);
    const int n = 5 * layout.count;
    const Opx8u num = size > 400 ? data[400] : 64;
    std::unique_ptr<Opx16s[]> blocks(new Opx16s[64 * n]());
    std::unique_ptr<Opx32u[]> info(new Opx32u[n]);
    OpxResult r;
    if (one_pass)
        r = opxiHuffmanDecodeSegmentOnePass_DV_8u16s(seg.get(), nullptr, nullptr, blocks.get(),
                                                     info.get(), num);
    else if (layout.count == 6)
        r = opxiHuffmanDecodeSegment_DV_8u16s(seg.get(), nullptr, nullptr, blocks.get(),
                                              info.get());
    else
        r = opxiHuffmanDecodeSegment_DV100_8u16s(seg.get(), nullptr, nullptr, blocks.get(),
                                                 info.get());
    if (r != opxOk) __builtin_trap();
    if (!opx::cpu::processor_has_avx2()) return;
    const int limit = !one_pass ? 64 : num < 1 ? 1 : num > 64 ? 64 : num;
    std::vector<Opx16s> b1(64 * n, 0), b2(64 * n, 0);
    std::vector<Opx32u> i1(n), i2(n);
    opx::dv::ref::kDv.segment(seg.get(), layout, limit, !one_pass, b1.data(), i1.data());
    opx::dv::avx2::kDv.segment(seg.get(), layout, limit, !one_pass, b2.data(), i2.data());
    if (b1 != b2 || i1 != i2) __builtin_trap();
    for (int k = 0; k < n; ++k)
        if (std::memcmp(&blocks[64 * k], &b1[64 * k], 128) != 0 || info[k] != i1[k])
            __builtin_trap();
}

[[maybe_unused]] void table(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto byte = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    auto word = [&]() -> Opx32s {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | byte();
        return static_cast<Opx32s>(v);
    };
    std::vector<Opx32s> lists[2];
    for (auto& l : lists) {
        const int b = static_cast<std::int8_t>(byte()) % 20;
        l = {b, 0, 0};
        const int lengths = byte() % 20;
        for (int length = 1; length <= lengths; ++length) {
            const int n = byte() % 4;
            l.push_back(n);
            for (int i = 0; i < n; ++i) {
                const std::uint8_t kind = byte();
                // mostly codes that fit their length, now and then any 32-bit value
                const Opx32s code = kind < 200 ? static_cast<Opx32s>(word() & ((1u << length) - 1))
                                               : word();
                l.push_back(code);
                l.push_back(static_cast<std::int8_t>(byte()));
                l.push_back(word());
            }
        }
        l.push_back(-1);
    }
    Opx32u* t = nullptr;
    const OpxResult r = opxiInitAllocHuffmanTable_DV_32u(lists[0].data(), lists[1].data(), &t);
    if (r == opxOk) {
        opxiFreeHuffmanTable_DV_32u(t);
    } else if (t != nullptr || (r != opxErrBadArg && r != opxErrMemAlloc)) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#if defined(OPX_FUZZ_DV_SEGMENT)
    segment(data, size, opx::dv::kLayoutDv, false);
#elif defined(OPX_FUZZ_DV_SEGMENT_ONE_PASS)
    segment(data, size, opx::dv::kLayoutDv, true);
#elif defined(OPX_FUZZ_DV100_SEGMENT)
    segment(data, size, opx::dv::kLayoutDv100, false);
#elif defined(OPX_FUZZ_DV_TABLE)
    table(data, size);
#endif
    return 0;
}
