#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "image/dib_header.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

struct CreateCase {
    double width, height, bits;
    int32_t expectedWidth, expectedHeight;
    uint16_t expectedBits;
    uint32_t stride;
    uint16_t paletteCount;
};

class CreateImageTest : public ::testing::TestWithParam<CreateCase> {};

TEST_P(CreateImageTest, LaysOutHeaderTableAndBlackPixels) {
    const CreateCase& c = GetParam();
    ImageRig rig;
    Item* result =
        Call(rig.m, FuncCreateImage, {rig.Num(c.width), rig.Num(c.height), rig.Num(c.bits)});
    ASSERT_EQ(rig.m.StackTop, 1u);
    EXPECT_EQ(rig.m.OperandStack[0], result);
    EXPECT_EQ(result->typeCode, kTypeImageResult);
    EXPECT_TRUE(rig.m.StopList.empty());
    ASSERT_NE(result->image, nullptr);
    const Image& image = *result->image;

    EXPECT_EQ(image.RowStride, c.stride);
    EXPECT_EQ(image.PaletteCount, c.paletteCount);
    EXPECT_EQ(image.block.size(), c.expectedHeight * c.stride + 3112u);
    EXPECT_TRUE(image.hasPixels);
    EXPECT_EQ(image.pixelsOffset, 40u + 4u * c.paletteCount);
    EXPECT_EQ(image.HeaderInt32(bih::kSize), 40);
    EXPECT_EQ(image.Width(), c.expectedWidth);
    EXPECT_EQ(image.Height(), c.expectedHeight);
    EXPECT_EQ(image.HeaderUint16(bih::kPlanes), 1);
    EXPECT_EQ(image.BitCount(), c.expectedBits);
    for (size_t field : {bih::kCompression, bih::kSizeImage, bih::kXPelsPerMeter,
                         bih::kYPelsPerMeter, bih::kClrUsed, bih::kClrImportant}) {
        EXPECT_EQ(image.HeaderInt32(field), 0) << "field at " << field;
    }
    // The default table is a grey ramp from black to white.
    const int step = c.paletteCount == 2 ? 255 : c.paletteCount == 16 ? 17 : 1;
    for (size_t k = 0; k < c.paletteCount; ++k) {
        const uint8_t* entry = &image.block[40 + 4 * k];
        const auto grey = static_cast<uint8_t>(k * step);
        EXPECT_EQ(entry[0], grey);
        EXPECT_EQ(entry[1], grey);
        EXPECT_EQ(entry[2], grey);
        EXPECT_EQ(entry[3], 0);
    }
    for (size_t i = image.pixelsOffset; i < image.block.size(); ++i) {
        ASSERT_EQ(image.block[i], 0) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CreateImageTest,
    ::testing::Values(CreateCase{10, 5, 1, 10, 5, 1, 4, 2}, CreateCase{3, 2, 24, 3, 2, 24, 12, 0},
                      CreateCase{1, 1, 4, 1, 1, 4, 4, 16}, CreateCase{1, 1, 8, 1, 1, 8, 4, 256},
                      CreateCase{33, 2, 1, 33, 2, 1, 8, 2}, CreateCase{7, 3, 4, 7, 3, 4, 4, 16},
                      // Every argument is truncated toward zero.
                      CreateCase{10.9, 5.5, 8.7, 10, 5, 8, 12, 256}));

TEST(CreateImage, FourBitTableEndsInWhiteAndEightBitIsTheFullRamp) {
    ImageRig rig;
    Item* four = rig.Create(1, 1, 4);
    EXPECT_EQ(rig.GetPalette(four, 15), 0xFFFFFFu);
    EXPECT_EQ(rig.GetPalette(four, 1), 0x111111u);
    Item* eight = rig.Create(2, 2, 8);
    EXPECT_EQ(rig.GetPalette(eight, 100), 0x646464u);
    EXPECT_EQ(rig.GetPalette(eight, 255), 0xFFFFFFu);
}

TEST(CreateImage, UnsupportedBitCountWarnsAndGivesAnImageWithoutPixels) {
    for (int bits : {2, 16, 32, 0, -3}) {
        ImageRig rig;
        Item* result = Call(rig.m, FuncCreateImage, {rig.Num(8), rig.Num(8), rig.Num(bits)});
        ASSERT_EQ(rig.host.messages.size(), 1u);
        EXPECT_EQ(rig.host.messages[0],
                  std::to_string(bits) + " bit di informazione colore non gestiti");
        EXPECT_TRUE(rig.host.scriptMessages.empty());
        EXPECT_TRUE(rig.m.StopList.empty()) << "the run goes on";
        EXPECT_EQ(rig.m.StackTop, 1u);
        EXPECT_EQ(result->typeCode, kTypeImageResult);
        const Image& image = *result->image;
        EXPECT_TRUE(image.hasMemory());
        EXPECT_FALSE(image.hasPixels);
        EXPECT_EQ(image.PaletteCount, 0);
        EXPECT_EQ(image.block.size(), 8 * RowStrideFor(8, bits) + 3112);
        EXPECT_EQ(image.HeaderInt32(bih::kWidth), 8);
    }
}

TEST(CreateImage, SixteenBitImageIgnoresPixelCalls) {
    ImageRig rig;
    Item* image = rig.Create(8, 8, 16);
    const ImageBlock before = image->image->block;
    rig.SetPixel(image, 1, 1, 255, 255, 255);
    rig.SetPixelVal(image, 2, 2, 77);
    EXPECT_EQ(image->image->block, before);
    EXPECT_EQ(rig.GetPixel(image, 1, 1), 0u);
    EXPECT_EQ(rig.GetPixelVal(image, 2, 2), 0.0);
}

TEST(CreateImage, BadSizesStopTheRunWithAnImageWithoutMemoryOnTheStack) {
    const struct {
        double width, height, bits;
    } cases
        [] =
            {
                {0, 5, 8},           {5, 0, 8},      {-1, 5, 8},   {5, -3, 24},
                {32769, 1, 8},       {1, 32769, 24}, {1e12, 1, 8}, {1, -1e12, 8},
                {32768, 32768, 1e6},  // a row of 4 GB: the block size would not fit 32 bits
                {32768, 200, 65536},
            };
    for (const auto& c : cases) {
        ImageRig rig;
        Item* result =
            Call(rig.m, FuncCreateImage, {rig.Num(c.width), rig.Num(c.height), rig.Num(c.bits)});
        EXPECT_EQ(LastStop(rig.m), "Error: Not enought memory to create image")
            << c.width << "x" << c.height << "x" << c.bits;
        ASSERT_EQ(rig.m.StackTop, 1u);
        EXPECT_EQ(rig.m.OperandStack[0], result);
        EXPECT_EQ(result->typeCode, kTypeImageResult);
        ASSERT_NE(result->image, nullptr);
        EXPECT_FALSE(result->image->hasMemory());
        EXPECT_TRUE(rig.host.messages.empty());
    }
}

// A machine may be given less memory for image blocks than the process has:
// a block past that limit gets the memory message, one within it is made.
TEST(CreateImage, BlockLimitOfTheMachineActsAsAFailedAllocation) {
    const uint64_t limit = 8 * RowStrideFor(8, 24) + 3112;  // an 8 x 8 24-bit block exactly
    const struct {
        double width, height, bits;
        bool made;
    } cases[] = {
        {8, 8, 24, true}, {8, 9, 24, false},          {9, 8, 24, false},
        {8, 8, 8, true},  {26, 11, 111111118, false},
    };
    for (const auto& c : cases) {
        ImageRig rig;
        rig.m.ImageBlockLimit = limit;
        Item* result =
            Call(rig.m, FuncCreateImage, {rig.Num(c.width), rig.Num(c.height), rig.Num(c.bits)});
        ASSERT_NE(result->image, nullptr);
        EXPECT_EQ(result->image->hasMemory(), c.made)
            << c.width << "x" << c.height << "x" << c.bits;
        if (c.made) {
            EXPECT_TRUE(rig.m.StopList.empty());
        } else {
            EXPECT_EQ(LastStop(rig.m), "Error: Not enought memory to create image");
        }
    }
}

TEST(CreateImage, LargestSizeOfEachSideIsAccepted) {
    ImageRig rig;
    Item* wide = rig.Create(32768, 1, 1);
    EXPECT_TRUE(rig.m.StopList.empty());
    EXPECT_EQ(wide->image->RowStride, 4096u);
    Item* tall = rig.Create(1, 32768, 8);
    EXPECT_TRUE(rig.m.StopList.empty());
    EXPECT_EQ(tall->image->block.size(), 32768u * 4 + 3112);
}

TEST(CreateImage, RunningTheInstructionAgainLeavesTheAssignedImageAlone) {
    ImageRig rig;
    Item* result = MakeTemp(rig.m);
    for (Item* argument : {rig.Num(4), rig.Num(4), rig.Num(8)}) PushItem(rig.m, argument);
    RunHandler(rig.m, FuncCreateImage, result);
    Item* variable = MakeImageVariable(rig.m, "Obmp", result->image);
    rig.m.StackTop = 0;
    for (Item* argument : {rig.Num(2), rig.Num(2), rig.Num(24)}) PushItem(rig.m, argument);
    RunHandler(rig.m, FuncCreateImage, result);
    EXPECT_NE(result->image, variable->image);
    EXPECT_EQ(variable->image->Width(), 4);
    EXPECT_EQ(result->image->Width(), 2);
}

TEST(CreateImage, CreatedImageReadsResolutionAndImportantColoursAsZero) {
    ImageRig rig;
    Item* image = rig.Create(3, 3, 8);
    EXPECT_EQ(image->image->ResolutionDpi(), 0);
    EXPECT_EQ(image->image->HeaderInt32(bih::kClrImportant), 0);
}

// Creating and loading large images look for a stop request between their
// pieces: a stop leaves an image without memory and only the stop's message.
class StopOnLookHost : public FakeHost {
public:
    explicit StopOnLookHost(Machine& machine) : m_machine(machine) {}
    int looks = 0;
    int stopAtLook = 0;  // 0: never
    bool StopRequested() override {
        if (++looks != stopAtLook) return false;
        PushStop(m_machine, "Warning: Program stopped");
        return true;
    }

private:
    Machine& m_machine;
};

TEST(LongImageWork, StopsBetweenItsPiecesWhenAsked) {
    ScratchFolder folder;
    const std::string file = folder.File("large.bmp");
    {
        ImageRig rig;
        rig.Save(rig.Create(1024, 1024, 24), file);  // 3 MiB
        ASSERT_EQ(LastStop(rig.m), "");
    }
    const struct {
        const char* label;
        std::function<Item*(Machine&)> work;
    } cases[] = {
        {"CREATEIMAGE of 96 MiB",
         [](Machine& m) {
             return Call(m, FuncCreateImage,
                         {MakeFloat(m, "w", 8192), MakeFloat(m, "h", 4096), MakeFloat(m, "b", 24)});
         }},
        {"LOADIMAGE of 3 MiB",
         [&file](Machine& m) { return Call(m, FuncLoadImage, {MakeString(m, "n", file)}); }},
    };
    for (const auto& c : cases) {
        for (const bool stop : {false, true}) {
            Machine m;
            StopOnLookHost host(m);
            m.host = &host;
            host.stopAtLook = stop ? 1 : 0;
            Item* result = c.work(m);
            EXPECT_GE(host.looks, 1) << c.label << ": no look for a stop";
            ASSERT_NE(result->image, nullptr) << c.label;
            EXPECT_EQ(result->image->hasPixels, !stop) << c.label;
            EXPECT_EQ(result->image->block.empty(), stop) << c.label;
            EXPECT_EQ(LastStop(m), stop ? "Warning: Program stopped" : "") << c.label;
            EXPECT_EQ(host.messages.size(), 0u) << c.label;
            m.host = nullptr;
        }
    }
}

}  // namespace
}  // namespace tarvil::testing
