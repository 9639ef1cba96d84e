// Internal fill and copy helpers for large work buffers.
//
// Above 2 MiB, and when the buffer is also larger than the largest processor cache reported by
// the core library, the helpers write with streaming (cache-bypassing) stores; otherwise with
// ordinary stores. The result is the same either way. The cache size is asked for on every large
// call: the library keeps no global state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace opx::frame {

inline constexpr std::size_t kStreamingThreshold = 2097152;

// True when a buffer of `bytes` should be written with streaming stores.
bool use_streaming_stores(std::size_t bytes) noexcept;

void fill_bytes(void* dst, std::uint8_t value, std::size_t bytes) noexcept;
void copy_bytes(void* dst, const void* src, std::size_t bytes) noexcept;

// The streaming-store paths of the two helpers, whatever the size (exposed for the tests).
void stream_fill(void* dst, std::uint8_t value, std::size_t bytes) noexcept;
void stream_copy(void* dst, const void* src, std::size_t bytes) noexcept;

}  // namespace opx::frame
