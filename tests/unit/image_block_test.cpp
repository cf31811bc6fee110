// Image blocks: large ones live in mappings of their own, small ones on the
// heap; either way a block behaves as a byte vector.
#include "engine/image_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace tarvil {
namespace {

TEST(ImageBlock, EverySizeStartsZeroedKeepsItsBytesAndGrowsAcrossTheMappingSize) {
    const size_t sizes[] = {1,
                            4096,
                            kHugeBlockBytes - 1,
                            kHugeBlockBytes,
                            (size_t{3} << 20) + 70000,
                            (size_t{4} << 20)};
    for (const size_t size : sizes) {
        ImageBlock block(size);
        EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }))
            << size;
        for (size_t i = 0; i < size; i += 4093) block[i] = static_cast<uint8_t>(i * 7 + 1);
        block.back() = 0xA5;
        const ImageBlock copy = block;
        EXPECT_EQ(copy, block) << size;
        // Growing past a mapping (or into one) moves the bytes and zeroes the rest.
        ImageBlock grown = copy;
        grown.resize(size + kHugeBlockBytes + 1);
        EXPECT_TRUE(std::equal(copy.begin(), copy.end(), grown.begin())) << size;
        EXPECT_TRUE(std::all_of(grown.begin() + static_cast<ptrdiff_t>(size), grown.end(),
                                [](uint8_t b) { return b == 0; }))
            << size;
        ImageBlock moved = std::move(grown);
        EXPECT_EQ(moved.size(), size + kHugeBlockBytes + 1);
        EXPECT_EQ(moved.back(), 0);
    }
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ImageBlock, ALargeBlockStartsOnAHugePageBoundary) {
    const ImageBlock large((size_t{3} << 20) + 70000);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(large.data()) % (uintptr_t{2} << 20), 0u);
}
#endif

}  // namespace
}  // namespace tarvil
