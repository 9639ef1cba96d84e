#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/memops.hpp"
#include "harness/harness.hpp"
#include "opxcore.h"

namespace opx::test {
namespace {

TEST(Core, MallocAlignsAndRefusesSizesBelowOne) {
    EXPECT_EQ(opxMalloc(0), nullptr);
    EXPECT_EQ(opxMalloc(-5), nullptr);
    for (int32_t size : {1, 3, 64, 1000, 1 << 20}) {
        void* p = opxMalloc(size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
        static_cast<unsigned char*>(p)[size - 1] = 1;
        opxFree(p);
    }
    opxFree(nullptr);
}

TEST(Core, AlignPtrMovesUp) {
    alignas(64) char buf[128];
    EXPECT_EQ(opxAlignPtr(buf, 4), buf);
    EXPECT_EQ(opxAlignPtr(buf + 1, 4), buf + 4);
    EXPECT_EQ(opxAlignPtr(buf + 3, 16), buf + 16);
    EXPECT_EQ(opxAlignPtr(buf + 17, 1), buf + 17);
    EXPECT_EQ(opxAlignPtr(buf + 17, -8), buf + 17);
    // Alignments that are not powers of two: the next multiple of the address, never lower.
    for (int a : {3, 24, 48})
        for (int i = 0; i < 64; ++i) {
            const auto p = reinterpret_cast<std::uintptr_t>(buf + i);
            const auto q = reinterpret_cast<std::uintptr_t>(opxAlignPtr(buf + i, a));
            EXPECT_EQ(q % a, 0u) << a;
            EXPECT_TRUE(q >= p && q - p < static_cast<std::uintptr_t>(a)) << a << " " << i;
        }
}

TEST(Core, CacheSizeIsPlausibleOrUnknown) {
    int32_t size = -1;
    if (opxGetMaxCacheSizeB(&size) == 0) {
        EXPECT_GT(size, 0);
    }
    EXPECT_NE(opxGetMaxCacheSizeB(nullptr), 0);
}

// The helpers (which take the streaming-store paths only above the threshold, when the buffer is
// larger than the caches) and the streaming-store paths themselves: exactly the region, with the
// values wanted, at any size and alignment.
TEST(Memops, FillAndCopyWriteExactlyTheRegionOnEveryPath) {
    using Fill = void (*)(void*, std::uint8_t, std::size_t) noexcept;
    using Copy = void (*)(void*, const void*, std::size_t) noexcept;
    const struct {
        Fill fill;
        Copy copy;
        std::vector<std::size_t> sizes;
    } paths[] = {{frame::fill_bytes,
                  frame::copy_bytes,
                  {0, 17, 4096, frame::kStreamingThreshold + 1, std::size_t{1} << 26}},
                 {frame::stream_fill, frame::stream_copy, {0, 1, 15, 16, 100, 4099}}};
    for (const auto& path : paths)
        for (std::size_t bytes : path.sizes)
            for (std::size_t misalign : {0, 3, 5, 10, 15}) {
                if (bytes > 4099 && misalign != 3) continue;
                std::vector<unsigned char> src(bytes + 32), a(bytes + 32, 0xEE), b(a);
                for (std::size_t i = 0; i < src.size(); ++i)
                    src[i] = static_cast<unsigned char>(i * 7 + bytes);
                path.fill(a.data() + misalign, 0x42, bytes);
                path.copy(b.data() + misalign, src.data() + 3, bytes);
                const auto is = [](auto first, auto last, unsigned char v) {
                    return std::all_of(first, last, [v](unsigned char c) { return c == v; });
                };
                for (const auto* v : {&a, &b}) {  // nothing outside the region
                    ASSERT_TRUE(is(v->begin(), v->begin() + misalign, 0xEE)) << bytes;
                    ASSERT_TRUE(is(v->begin() + misalign + bytes, v->end(), 0xEE)) << bytes;
                }
                ASSERT_TRUE(is(a.begin() + misalign, a.begin() + misalign + bytes, 0x42)) << bytes;
                ASSERT_EQ(std::memcmp(b.data() + misalign, src.data() + 3, bytes), 0) << bytes;
            }
}

}  // namespace
}  // namespace opx::test
