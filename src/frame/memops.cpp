#include "frame/memops.hpp"

#include <emmintrin.h>

#include <cstring>

#include "opxcore.h"

namespace opx::frame {

bool use_streaming_stores(std::size_t bytes) noexcept {
    if (bytes <= kStreamingThreshold) return false;
    int32_t cache = 0;
    if (opxGetMaxCacheSizeB(&cache) != 0) return false;
    return bytes > static_cast<std::size_t>(cache);
}

namespace {

// Writes `bytes` bytes at dst with non-temporal stores; `next(i)` yields the 16 bytes for
// offset i of the aligned middle part.
template <class Next>
void stream_out(std::uint8_t* dst, std::size_t bytes, Next next, const std::uint8_t* head_src,
                std::uint8_t fill) noexcept {
    std::size_t head = (16 - (reinterpret_cast<std::uintptr_t>(dst) & 15)) & 15;
    if (head > bytes) head = bytes;
    if (head_src) std::memcpy(dst, head_src, head); else std::memset(dst, fill, head);
    std::size_t i = head;
    for (; i + 16 <= bytes; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), next(i));
    _mm_sfence();
    if (head_src) std::memcpy(dst + i, head_src + i, bytes - i);
    else std::memset(dst + i, fill, bytes - i);
}

}  // namespace

void fill_bytes(void* dst, std::uint8_t value, std::size_t bytes) noexcept {
    if (use_streaming_stores(bytes)) stream_fill(dst, value, bytes);
    else std::memset(dst, value, bytes);
}

void copy_bytes(void* dst, const void* src, std::size_t bytes) noexcept {
    if (use_streaming_stores(bytes)) stream_copy(dst, src, bytes);
    else std::memcpy(dst, src, bytes);
}

void stream_fill(void* dst, std::uint8_t value, std::size_t bytes) noexcept {
    auto* d = static_cast<std::uint8_t*>(dst);
    const __m128i v = _mm_set1_epi8(static_cast<char>(value));
    stream_out(d, bytes, [v](std::size_t) { return v; }, nullptr, value);
}

void stream_copy(void* dst, const void* src, std::size_t bytes) noexcept {
    auto* d = static_cast<std::uint8_t*>(dst);
    const auto* s = static_cast<const std::uint8_t*>(src);
    stream_out(
        d, bytes,
        [s](std::size_t i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)); },
        s, 0);
}

}  // namespace opx::frame
