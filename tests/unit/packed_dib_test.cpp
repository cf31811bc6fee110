#include "image/packed_dib.h"

#include <gtest/gtest.h>

#include "image/dib_header.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

TEST(InitDibHeader, RoundsTheDepthUpToASupportedBitCount) {
    const struct {
        int depth;
        uint16_t bits;
    } cases[] = {{0, 1}, {1, 1},   {2, 4},   {4, 4},   {5, 8},
                 {8, 8}, {15, 24}, {16, 24}, {24, 24}, {32, 24}};
    for (const auto& c : cases) {
        uint8_t header[40];
        std::fill(std::begin(header), std::end(header), 0xAA);
        InitDibHeader(header, 5, 3, c.depth);
        const std::vector<uint8_t> h(std::begin(header), std::end(header));
        EXPECT_EQ(Le32(h, 0), 40u);
        EXPECT_EQ(Le32(h, 4), 5u);
        EXPECT_EQ(Le32(h, 8), 3u);
        EXPECT_EQ(h[12], 1);
        EXPECT_EQ(h[14], c.bits) << "depth " << c.depth;
        EXPECT_EQ(Le32(h, 16), 0u);
        EXPECT_EQ(Le32(h, 20), 3 * RowStrideFor(5, c.bits)) << "depth " << c.depth;
        for (size_t i = 24; i < 40; ++i) EXPECT_EQ(h[i], 0) << i;
    }
}

ClipboardBitmap Picture(int32_t width, int32_t height, int depth, std::vector<uint32_t> pixels,
                        std::vector<uint32_t> palette = {}) {
    return {width, height, depth, std::move(pixels), std::move(palette)};
}

// Converts and adopts, so the pixels can be read back through the handlers.
Item* Adopt(ImageRig& rig, const ClipboardBitmap& picture, size_t expectedSize) {
    auto dib = BitmapToPackedDib(picture);
    EXPECT_TRUE(dib.has_value());
    if (!dib) return nullptr;
    EXPECT_EQ(dib->size(), expectedSize);
    auto image = std::make_shared<Image>();
    EXPECT_TRUE(AdoptPackedDib(std::move(*dib), *image));
    return MakeImageVariable(rig.m, "clip", image);
}

TEST(BitmapToPackedDib, MonochromeKeepsItsPaletteAndPolarity) {
    ImageRig rig;
    // Top row: white black white; bottom row: black black white.
    const uint32_t W = 0xFFFFFFFF, B = 0xFF000000;
    Item* image =
        Adopt(rig, Picture(3, 2, 1, {W, B, W, B, B, W}, {0x000000, 0xFFFFFF}), 2 * 4 + 1064);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->image->BitCount(), 1);
    EXPECT_EQ(image->image->block[image->image->pixelsOffset], 0x20) << "bottom row first";
    EXPECT_EQ(image->image->block[image->image->pixelsOffset + 4], 0xA0);
    EXPECT_EQ(rig.GetPixel(image, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rig.GetPixel(image, 1, 0), 0u);

    // White first: the bits are inverted, the colours stay.
    Item* inverted =
        Adopt(rig, Picture(3, 2, 1, {W, B, W, B, B, W}, {0xFFFFFF, 0x000000}), 2 * 4 + 1064);
    ASSERT_NE(inverted, nullptr);
    EXPECT_EQ(inverted->image->block[inverted->image->pixelsOffset + 4], 0x40);
    EXPECT_EQ(rig.GetPixel(inverted, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rig.GetPixel(inverted, 1, 1), 0u);

    // Without a palette: black, then white.
    Item* plain = Adopt(rig, Picture(2, 1, 1, {W, B}), 4 + 1064);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(rig.GetPalette(plain, 1), 0xFFFFFFu);
    EXPECT_EQ(rig.GetPixelVal(plain, 0, 0), 1);
}

TEST(BitmapToPackedDib, FourAndEightBitPicturesMapColoursToTheirIndices) {
    ImageRig rig;
    std::vector<uint32_t> palette(16);
    for (uint32_t k = 0; k < 16; ++k) palette[k] = (k * 16) << 16 | (k * 8);  // red, blue ramps
    palette[9] = palette[4];  // a repeated colour maps to its lower index
    const auto argb = [&](int k) { return 0xFF000000 | palette[static_cast<size_t>(k)]; };
    Item* four = Adopt(rig, Picture(3, 1, 4, {argb(1), argb(15), argb(9)}, palette), 4 + 1064);
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(four->image->BitCount(), 4);
    EXPECT_EQ(rig.GetPixelVal(four, 0, 0), 1);
    EXPECT_EQ(rig.GetPixelVal(four, 1, 0), 15);
    EXPECT_EQ(rig.GetPixelVal(four, 2, 0), 4);
    EXPECT_EQ(rig.GetPalette(four, 3), 48u | (24u << 16)) << "red 48, blue 24";

    // A colour missing from the table gets the nearest entry.
    std::vector<uint32_t> greys(256);
    for (uint32_t k = 0; k < 256; ++k) greys[k] = k * 0x010101;
    Item* eight =
        Adopt(rig, Picture(2, 2, 8, {0xFF050505, 0xFF0A0A0B, 0xFFFFFFFF, 0}, greys), 2 * 4 + 1064);
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(rig.GetPixelVal(eight, 0, 0), 5);
    EXPECT_EQ(rig.GetPixelVal(eight, 1, 0), 10);
    EXPECT_EQ(rig.GetPixelVal(eight, 0, 1), 255);
    EXPECT_EQ(rig.GetPixelVal(eight, 1, 1), 0);
}

TEST(BitmapToPackedDib, PalettelessPictureListsItsColoursInOrder) {
    ImageRig rig;
    Item* image = Adopt(rig, Picture(3, 1, 8, {0xFF123456, 0xFF654321, 0xFF123456}), 4 + 1064);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(rig.GetPalette(image, 0), 0x563412u);
    EXPECT_EQ(rig.GetPalette(image, 1), 0x214365u);
    EXPECT_EQ(rig.GetPixelVal(image, 2, 0), 0);
    EXPECT_EQ(rig.GetPixelVal(image, 1, 0), 1);
}

TEST(BitmapToPackedDib, DeepPicturesBecomeTrueColourWithoutAlpha) {
    for (int depth : {16, 24, 32}) {
        ImageRig rig;
        Item* image =
            Adopt(rig, Picture(2, 2, depth, {0x80102030, 0xFF405060, 0x00708090, 0xFFA0B0C0}),
                  2 * 8 + 1064);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->image->BitCount(), 24);
        EXPECT_EQ(image->image->PaletteCount, 0);
        EXPECT_EQ(rig.GetPixel(image, 0, 0), 0x302010u);
        EXPECT_EQ(rig.GetPixel(image, 1, 0), 0x605040u);
        EXPECT_EQ(rig.GetPixel(image, 0, 1), 0x908070u);
        EXPECT_EQ(rig.GetPixel(image, 1, 1), 0xC0B0A0u);
        const Image& stored = *image->image;
        EXPECT_EQ(stored.block[stored.pixelsOffset], 0x90) << "bottom row first, blue first";
    }
}

TEST(BitmapToPackedDib, RefusesEmptyOversizedAndShortPictures) {
    const ClipboardBitmap cases[] = {
        Picture(0, 1, 24, {1}),
        Picture(1, 0, 24, {1}),
        Picture(-1, 1, 24, {1}),
        Picture(2, 2, 24, {1, 2, 3}),
        Picture(32769, 1, 24, std::vector<uint32_t>(32769)),
        Picture(1, 32769, 8, std::vector<uint32_t>(32769)),
    };
    for (const auto& picture : cases) {
        EXPECT_FALSE(BitmapToPackedDib(picture).has_value())
            << picture.width << "x" << picture.height;
    }
}

// ---- Packed bitmaps taken from the clipboard.

std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bits, uint32_t clrUsed,
                         size_t totalSize) {
    std::vector<uint8_t> dib(totalSize, 0);
    if (totalSize >= 40) {
        PutLe32(dib, 0, 40);
        PutLe32(dib, 4, static_cast<uint32_t>(width));
        PutLe32(dib, 8, static_cast<uint32_t>(height));
        PutLe16(dib, 12, 1);
        PutLe16(dib, 14, bits);
        PutLe32(dib, 32, clrUsed);
        PutLe32(dib, 36, 9);  // biClrImportant
    }
    return dib;
}

std::vector<uint8_t> Patched(std::vector<uint8_t> dib, size_t offset, uint32_t value) {
    PutLe32(dib, offset, value);
    return dib;
}

TEST(AdoptPackedDib, KeepsExactlyTheClipboardBytes) {
    const struct {
        std::vector<uint8_t> dib;
        size_t pixelsOffset;
    } cases[] = {
        {Dib(3, 2, 24, 0, 40 + 24), 40},         {Dib(3, 2, 8, 0, 40 + 1024 + 8), 1064},
        {Dib(3, 2, 8, 2, 40 + 8 + 8), 48},       {Dib(9, 1, 1, 0, 40 + 8 + 4), 48},
        {Dib(9, 1, 4, 0, 40 + 64 + 8 + 5), 104},  // trailing bytes are kept
    };
    for (const auto& c : cases) {
        Image image;
        ASSERT_TRUE(AdoptPackedDib(ImageBlock(c.dib.begin(), c.dib.end()), image)) << c.dib.size();
        EXPECT_EQ(image.block.size(), c.dib.size());
        EXPECT_EQ(image.pixelsOffset, c.pixelsOffset);
        EXPECT_TRUE(image.hasPixels);
        EXPECT_EQ(image.HeaderInt32(bih::kClrImportant), 0);
    }
}

TEST(AdoptPackedDib, RefusesMalformedBitmaps) {
    const struct {
        const char* label;
        std::vector<uint8_t> dib;
        size_t length;
    } cases[] = {
        {"empty", {}, 0},
        {"shorter than the header", Dib(1, 1, 24, 0, 39), 39},
        {"rows one byte short", Dib(3, 2, 24, 0, 40 + 23), 63},
        {"colour table cut", Dib(1, 1, 8, 0, 40 + 1000), 1040},
        {"colour count pushes rows out", Dib(1, 1, 8, 200, 40 + 8 + 4), 52},
        {"biClrUsed 257", Dib(1, 1, 24, 257, 2000), 2000},
        {"16 bits", Dib(1, 1, 16, 0, 100), 100},
        {"32 bits", Dib(1, 1, 32, 0, 100), 100},
        {"top-down", Dib(1, -1, 24, 0, 100), 100},
        {"zero width", Dib(0, 1, 24, 0, 100), 100},
        {"32769 wide", Dib(32769, 1, 1, 0, 40 + 8 + 4100), 4148},
        {"overflowing sizes", Dib(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, 100), 100},
        {"compressed", Patched(Dib(1, 1, 8, 0, 1100), 16, 1), 1100},
        {"V5 header", Patched(Dib(1, 1, 24, 0, 200), 0, 124), 200},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.dib.size(), c.length) << c.label;
        Image image;
        EXPECT_FALSE(AdoptPackedDib(ImageBlock(c.dib.begin(), c.dib.end()), image)) << c.label;
        EXPECT_FALSE(image.hasMemory()) << c.label;
    }
}

}  // namespace
}  // namespace tarvil::testing
