#include "image/pixel_access.h"

#include <gtest/gtest.h>

#include <span>

#include "image/packed_dib.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

TEST(PixelAccess, CoordinatesWrapAsUnsigned32BitNumbers) {
    ImageRig rig;
    Item* image = rig.Create(10, 5, 8);
    for (int x = 0; x < 10; ++x) rig.SetPixelVal(image, x, 0, 10 + x);
    for (int y = 1; y < 5; ++y) rig.SetPixelVal(image, 0, y, 100 + y);
    EXPECT_EQ(rig.GetPixelVal(image, 10, 0), 10);    // column 0
    EXPECT_EQ(rig.GetPixelVal(image, 0, 5), 10);     // the top row
    EXPECT_EQ(rig.GetPixelVal(image, -1, 0), 15);    // 4294967295 mod 10 = 5, not 9
    EXPECT_EQ(rig.GetPixelVal(image, 0, -1), 10);    // 4294967295 mod 5 = 0: the top row
    EXPECT_EQ(rig.GetPixelVal(image, 0, -2), 104);   // 4294967294 mod 5 = 4
    EXPECT_EQ(rig.GetPixelVal(image, 23.9, 0), 13);  // truncated, then wrapped
    EXPECT_EQ(rig.GetPixelVal(image, 0, 4), 104);
    EXPECT_TRUE(rig.m.StopList.empty());
}

TEST(PixelAccess, RowZeroIsTheTopRowAndStoredLast) {
    ImageRig rig;
    Item* image = rig.Create(3, 4, 24);
    rig.SetPixelVal(image, 0, 0, 0x030201);  // red 1, green 2, blue 3
    const Image& stored = *image->image;
    const size_t topRow = stored.pixelsOffset + 3 * stored.RowStride;
    EXPECT_EQ(stored.block[topRow], 3);  // blue first
    EXPECT_EQ(stored.block[topRow + 1], 2);
    EXPECT_EQ(stored.block[topRow + 2], 1);
    EXPECT_EQ(rig.GetPixelVal(image, 0, 0), 197121);
    EXPECT_EQ(rig.GetPixel(image, 0, 0), 0x030201u);
}

TEST(PixelAccess, OneBitImageOfANewImageIsBlackAndWhite) {
    ImageRig rig;
    Item* image = rig.Create(10, 5, 1);
    rig.SetPixel(image, 2, 1, 1, 0, 0);  // any red makes it white
    EXPECT_EQ(rig.GetPixel(image, 2, 1), 0xFFFFFFu);
    EXPECT_EQ(rig.GetPixelVal(image, 2, 1), 1);
    rig.SetPixel(image, 2, 1, 0, 255, 255);  // no red: black, whatever green and blue say
    EXPECT_EQ(rig.GetPixel(image, 2, 1), 0u);
    EXPECT_EQ(rig.GetPixelVal(image, 2, 1), 0);
    rig.SetPixel(image, 9, 4, 200, 0, 0);
    const Image& stored = *image->image;
    EXPECT_EQ(stored.block[stored.pixelsOffset + 1], 0x40)
        << "column 9: bit 6 of byte 1, bottom row";
}

TEST(PixelAccess, OneBitImageWithWhiteFirstEntryHasTheOtherPolarity) {
    ImageRig rig;
    Item* image = rig.Create(8, 1, 1);
    rig.SetPalette(image, 0, 255, 255, 255);
    rig.SetPalette(image, 1, 0, 0, 0);
    rig.SetPixelVal(image, 3, 0, 1);
    EXPECT_EQ(rig.GetPixel(image, 3, 0), 0u) << "a set bit is black";
    EXPECT_EQ(rig.GetPixel(image, 4, 0), 0xFFFFFFu);
    rig.SetPixel(image, 3, 0, 9, 0, 0);  // a red colour clears the bit
    EXPECT_EQ(rig.GetPixelVal(image, 3, 0), 0);
    rig.SetPixel(image, 5, 0, 0, 0, 0);  // black sets it
    EXPECT_EQ(rig.GetPixelVal(image, 5, 0), 1);
}

TEST(PixelAccess, SetPixelValStoresRawValues) {
    ImageRig rig;
    Item* one = rig.Create(3, 1, 1);
    rig.SetPixelVal(one, 0, 0, 5);
    EXPECT_EQ(rig.GetPixelVal(one, 0, 0), 1);
    rig.SetPixelVal(one, 0, 0, 0);
    EXPECT_EQ(rig.GetPixelVal(one, 0, 0), 0);

    Item* four = rig.Create(3, 2, 4);
    rig.SetPixelVal(four, 0, 0, 6);
    rig.SetPixelVal(four, 1, 0, 31);  // low four bits: 15 into the low nibble
    const Image& stored = *four->image;
    const size_t topRow = stored.pixelsOffset + stored.RowStride;
    EXPECT_EQ(stored.block[topRow], 0x6F);
    EXPECT_EQ(rig.GetPixelVal(four, 0, 0), 6);
    EXPECT_EQ(rig.GetPixelVal(four, 1, 0), 15);

    Item* eight = rig.Create(2, 2, 8);
    rig.SetPixelVal(eight, 1, 1, 300);
    EXPECT_EQ(rig.GetPixelVal(eight, 1, 1), 44);
    rig.SetPixelVal(eight, 0, 1, -1);
    EXPECT_EQ(rig.GetPixelVal(eight, 0, 1), 255);

    // Writing back what was read changes nothing.
    Item* full = rig.Create(2, 2, 24);
    rig.SetPixelVal(full, 1, 0, 0xABCDEF);
    rig.SetPixelVal(full, 1, 0, rig.GetPixelVal(full, 1, 0));
    EXPECT_EQ(rig.GetPixel(full, 1, 0), 0xABCDEFu);
}

TEST(NearestPaletteIndex, PicksTheClosestLowestEntryAndStopsAtAnExactOne) {
    // Entries: white, (0,0,0), (2,2,2), (1,1,1), (1,1,1).
    const uint8_t table[] = {255, 255, 255, 0, 0, 0, 0, 0, 2, 2, 2, 0, 1, 1, 1, 0, 1, 1, 1, 0};
    EXPECT_EQ(NearestPaletteIndex(1, 1, 1, table, 5), 3);  // exact match wins over the earlier ties
    EXPECT_EQ(NearestPaletteIndex(1, 1, 1, table, 3), 1);  // distance 3 both: the lower index
    EXPECT_EQ(NearestPaletteIndex(250, 255, 255, table, 5), 0);
    // Entries past the end of the table are never read.
    EXPECT_EQ(NearestPaletteIndex(1, 1, 1, std::span(table, 8), 256), 1);
    EXPECT_EQ(NearestPaletteIndex(1, 1, 1, std::span(table, 3), 256), 0);
}

TEST(PixelAccess, PaletteImagesTakeTheNearestEntry) {
    ImageRig rig;
    Item* four = rig.Create(2, 1, 4);
    rig.SetPixel(four, 0, 0, 8, 8, 8);
    EXPECT_EQ(rig.GetPixelVal(four, 0, 0), 0);  // 24 against 27
    rig.SetPixel(four, 0, 0, 9, 9, 9);
    EXPECT_EQ(rig.GetPixelVal(four, 0, 0), 1);  // 27 against 24
    EXPECT_EQ(rig.GetPixel(four, 0, 0), 0x111111u);

    Item* eight = rig.Create(2, 1, 8);
    rig.SetPixel(eight, 1, 0, 100, 100, 100);
    EXPECT_EQ(rig.GetPixelVal(eight, 1, 0), 100);
    for (int k = 0; k < 256; ++k) rig.SetPalette(eight, k, 255, 255, 255);
    rig.SetPalette(eight, 3, 0, 0, 0);
    rig.SetPalette(eight, 7, 2, 2, 2);
    rig.SetPixel(eight, 0, 0, 1, 1, 1);
    EXPECT_EQ(rig.GetPixelVal(eight, 0, 0), 3);
    EXPECT_EQ(rig.GetPixel(eight, 0, 0), 0u);
}

TEST(PixelAccess, PaletteReadsAndWritesSlotsKeepingTheReservedByte) {
    ImageRig rig;
    Item* image = rig.Create(2, 2, 8);
    EXPECT_EQ(rig.GetPalette(image, 255), 0xFFFFFFu);
    image->image->block[40 + 4 * 9 + 3] = 0x55;
    rig.SetPalette(image, 9.7, 10, 20, 30);
    EXPECT_EQ(rig.GetPalette(image, 9), 0x1E140Au);
    EXPECT_EQ(image->image->block[40 + 4 * 9 + 3], 0x55);
    EXPECT_EQ(image->image->block[40 + 4 * 9], 30) << "blue first";
}

TEST(PixelAccess, PaletteSlotsBeyondTheTableOverlapThePixelRows) {
    ImageRig rig;
    Item* image = rig.Create(4, 2, 24);
    rig.SetPixel(image, 0, 1, 10, 20, 30);  // bottom-left pixel: the first bytes of the rows
    EXPECT_EQ(rig.GetPalette(image, 0), 0x1E140Au);
    // Slot 1 is bytes 4..7: blue 3 and green 2 land in pixel 1 (bytes 3..5), red 1 in pixel 2.
    rig.SetPalette(image, 1, 1, 2, 3);
    EXPECT_EQ(rig.GetPixel(image, 1, 1), 0x000302u);
    EXPECT_EQ(rig.GetPixel(image, 2, 1), 0x010000u);  // byte 6 is its blue
}

TEST(PixelAccess, IndicesOutsideTheTableChangeNothingAndReadBlack) {
    ImageRig rig;
    Item* image = rig.Create(2, 2, 8);
    const ImageBlock before = image->image->block;
    for (double index : {256.0, -1.0, 1e10, 65536.0}) {
        rig.SetPalette(image, index, 1, 2, 3);
        EXPECT_EQ(rig.GetPalette(image, index), 0u) << index;
    }
    EXPECT_EQ(image->image->block, before);
    EXPECT_TRUE(rig.m.StopList.empty());
}

// A clipboard image has no spare bytes: slots and pixels that would lie past
// its end are neither read nor written.
TEST(PixelAccess, ClipboardImageWithoutSpareBytesIsNeverOverrun) {
    ImageRig rig;
    std::vector<uint8_t> dib(40 + 8 + 4, 0);  // 1 × 1, 8 bits, two colour-table entries
    PutLe32(dib, 0, 40);
    PutLe32(dib, 4, 1);
    PutLe32(dib, 8, 1);
    PutLe16(dib, 12, 1);
    PutLe16(dib, 14, 8);
    PutLe32(dib, 32, 2);
    dib[44] = dib[45] = dib[46] = 0xFF;  // entry 1 white
    dib[48] = 200;                       // the pixel's index lies past the block
    auto image = std::make_shared<Image>();
    ASSERT_TRUE(AdoptPackedDib(ImageBlock(dib.begin(), dib.end()), *image));
    Item* variable = MakeImageVariable(rig.m, "clip", image);

    EXPECT_EQ(rig.GetPixel(variable, 0, 0), 0u);
    EXPECT_EQ(rig.GetPixelVal(variable, 0, 0), 200);
    EXPECT_EQ(rig.GetPalette(variable, 2), 200u << 16) << "slot 2 is the pixel row, blue first";
    EXPECT_EQ(rig.GetPalette(variable, 3), 0u) << "slot 3 lies past the block";
    const ImageBlock before = image->block;
    rig.SetPalette(variable, 3, 9, 9, 9);
    rig.SetPalette(variable, 255, 9, 9, 9);
    EXPECT_EQ(image->block, before);
    rig.SetPixel(variable, 0, 0, 255, 255, 255);  // only entries 0..2 are searched
    EXPECT_EQ(rig.GetPixelVal(variable, 0, 0), 1);
}

// SETPIXEL remembers nearest entries only while the colour table lies before
// the pixel rows: here slot 2 is the pixel row, so a pixel write changes it.
TEST(PixelAccess, NearestEntryFollowsPixelsThatOverlapTheColourTable) {
    ImageRig rig;
    std::vector<uint8_t> dib(40 + 8 + 4, 0);  // 4 × 1, 8 bits, two black entries
    PutLe32(dib, 0, 40);
    PutLe32(dib, 4, 4);
    PutLe32(dib, 8, 1);
    PutLe16(dib, 12, 1);
    PutLe16(dib, 14, 8);
    PutLe32(dib, 32, 2);
    auto image = std::make_shared<Image>();
    ASSERT_TRUE(AdoptPackedDib(ImageBlock(dib.begin(), dib.end()), *image));
    Item* variable = MakeImageVariable(rig.m, "clip", image);

    rig.SetPixel(variable, 3, 0, 30, 20, 10);
    EXPECT_EQ(rig.GetPixelVal(variable, 3, 0), 0) << "entries 0..2 are all black";
    // Slot 2 becomes blue 10, green 20, red 30 through the pixels.
    rig.SetPixelVal(variable, 0, 0, 10);
    rig.SetPixelVal(variable, 1, 0, 20);
    rig.SetPixelVal(variable, 2, 0, 30);
    rig.SetPixel(variable, 3, 0, 30, 20, 10);
    EXPECT_EQ(rig.GetPixelVal(variable, 3, 0), 2);
}

// The rows a preview must show again: those written since it last did, or
// every row after a change of the colour table.
TEST(PixelAccess, WritesMarkTheirStoredRowsForThePreview) {
    ImageRig rig;
    Item* image = rig.Create(3, 4, 8);
    const Image& stored = *image->image;
    EXPECT_TRUE(stored.AllRowsChanged()) << "a new image has never been shown";
    stored.ClearChangedRows();
    rig.GetPixel(image, 0, 0);
    EXPECT_GE(stored.changedRowsBegin, stored.changedRowsEnd) << "reading marks nothing";
    rig.SetPixel(image, 2, 1, 1, 2, 3);  // row 1 from the top is stored row 2
    EXPECT_EQ(stored.changedRowsBegin, 2u);
    EXPECT_EQ(stored.changedRowsEnd, 3u);
    rig.SetPixelVal(image, 0, 3, 7);  // the bottom row
    EXPECT_EQ(stored.changedRowsBegin, 0u);
    EXPECT_EQ(stored.changedRowsEnd, 3u);
    stored.ClearChangedRows();
    rig.SetPalette(image, 5, 1, 2, 3);
    EXPECT_TRUE(stored.AllRowsChanged());
}

TEST(PixelAccess, OperandsWithoutAnImageAreIgnored) {
    ImageRig rig;
    Item* created = rig.Create(4, 4, 8);
    Item* noImage = MakeImageVariable(rig.m, "empty");
    Item* noMemory = MakeImageVariable(rig.m, "bare", std::make_shared<Image>());
    Item* number = rig.Num(3);
    Item* text = rig.Text("img");
    Item* member = MakeMember(rig.m, created, kMemberWidth, "Width");
    for (Item* operand : {noImage, noMemory, number, text, member}) {
        rig.SetPixel(operand, 1, 1, 255, 255, 255);
        rig.SetPixelVal(operand, 1, 1, 5);
        rig.SetPalette(operand, 1, 5, 5, 5);
        EXPECT_EQ(rig.GetPixel(operand, 1, 1), 0u);
        EXPECT_EQ(rig.GetPixelVal(operand, 1, 1), 0);
        EXPECT_EQ(rig.GetPalette(operand, 1), 0u);
    }
    EXPECT_EQ(ReadFloat(*number), 3.0f);
    EXPECT_EQ(rig.GetPixelVal(created, 1, 1), 0) << "the member did not reach the image";
    EXPECT_EQ(rig.GetPalette(created, 1), 0x010101u);
    EXPECT_TRUE(rig.m.StopList.empty());
}

TEST(PixelAccess, GettersReplaceTheImageOnTheStack) {
    ImageRig rig;
    Item* image = rig.Create(2, 2, 24);
    for (Handler getter : {FuncGetPixel, FuncGetPixelVal}) {
        Item* result = Call(rig.m, getter, {image, rig.Num(0), rig.Num(0)});
        ASSERT_EQ(rig.m.StackTop, 1u);
        EXPECT_EQ(rig.m.OperandStack[0], result);
        rig.m.StackTop = 0;
    }
    Item* result = Call(rig.m, FuncGetPalette, {image, rig.Num(0)});
    ASSERT_EQ(rig.m.StackTop, 1u);
    EXPECT_EQ(rig.m.OperandStack[0], result);
}

TEST(PixelAccess, MissingArgumentsStopTheRunWithoutTouchingMemory) {
    ImageRig rig;
    RunHandler(rig.m, StmtSetPixel);
    EXPECT_EQ(LastStop(rig.m), "Error: Missing argument");
    RunHandler(rig.m, FuncGetPixel, MakeTemp(rig.m));
    EXPECT_EQ(rig.m.StackTop, 1u);
}

// The entry remembered for a colour is the search's own, also when asked
// again and after the table changes.
TEST(PixelAccess, NearestEntryIsTheSearchesOwn) {
    ImageRig rig;
    Item* variable = rig.Create(4, 1, 8);
    Image& image = *variable->image;
    auto table = [&image] {
        return std::span<const uint8_t>(image.block).subspan(Image::kPaletteOffset, 4 * 256);
    };
    // Entries 2k and 2k + 1 repeat one colour: ties go to the lower.
    for (int k = 0; k < 256; ++k) {
        rig.SetPalette(variable, k, static_cast<uint8_t>(k / 2 * 37),
                       static_cast<uint8_t>(k / 2 * 11), static_cast<uint8_t>(k / 2 * 5));
    }
    const RgbBytes colours[] = {
        {0, 0, 0}, {37, 11, 5}, {38, 12, 6}, {255, 255, 255}, {100, 3, 250}};
    for (int round = 0; round < 2; ++round) {
        for (const RgbBytes colour : colours) {
            const int expected =
                NearestPaletteIndex(colour.red, colour.green, colour.blue, table(), 256);
            EXPECT_EQ(NearestEntryFor(image, colour), expected)
                << "round " << round << " red " << int{colour.red};
            EXPECT_EQ(NearestEntryFor(image, colour), expected) << "asked again";
        }
        // The colours asked for now sit nearer other entries.
        rig.SetPalette(variable, 200, 255, 255, 255);
        rig.SetPalette(variable, 201, 38, 12, 6);
        rig.SetPalette(variable, 0, 1, 1, 1);
    }
}

}  // namespace
}  // namespace tarvil::testing
