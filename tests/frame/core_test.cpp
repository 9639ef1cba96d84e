#include <cstdint>
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

TEST(Memops, FillAndCopyGiveTheSameResultWithAndWithoutStreamingStores) {
    for (std::size_t bytes : {std::size_t{0}, std::size_t{17}, std::size_t{4096},
                              frame::kStreamingThreshold + 1, std::size_t{1} << 26}) {
        std::vector<unsigned char> a(bytes + 16, 0xEE), b(bytes + 16, 0xEE);
        for (std::size_t i = 0; i < bytes; ++i) b[i + 3] = static_cast<unsigned char>(i * 7);
        frame::fill_bytes(a.data() + 3, 0x42, bytes);
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(a[i], (i >= 3 && i < bytes + 3) ? 0x42 : 0xEE) << i;
        frame::copy_bytes(a.data() + 5, b.data() + 3, bytes);
        for (std::size_t i = 0; i < bytes; ++i)
            ASSERT_EQ(a[i + 5], static_cast<unsigned char>(i * 7)) << i;
        EXPECT_EQ(a[bytes + 5], bytes ? 0xEE : 0xEE);
    }
}

TEST(Memops, StreamingPathsWriteExactlyTheRegion) {
    Rng rng;
    for (std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16},
                              std::size_t{100}, std::size_t{4099}}) {
        for (int misalign = 0; misalign < 16; misalign += 5) {
            std::vector<unsigned char> src(bytes + 32), a(bytes + 32, 0xEE);
            for (auto& c : src) c = static_cast<unsigned char>(rng.next());
            frame::stream_fill(a.data() + misalign, 0x42, bytes);
            for (std::size_t i = 0; i < a.size(); ++i)
                ASSERT_EQ(a[i], (i >= std::size_t(misalign) && i < bytes + misalign) ? 0x42 : 0xEE);
            std::vector<unsigned char> b(bytes + 32, 0xEE);
            frame::stream_copy(b.data() + misalign, src.data() + 3, bytes);
            for (std::size_t i = 0; i < b.size(); ++i) {
                const bool in = i >= std::size_t(misalign) && i < bytes + misalign;
                ASSERT_EQ(b[i], in ? src[i - misalign + 3] : 0xEE) << i;
            }
        }
    }
}

}  // namespace
}  // namespace opx::test
