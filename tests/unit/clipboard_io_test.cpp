// LOADIMAGE("CLIPBOARD") and SAVEIMAGE(img, "CLIPBOARD") against an in-memory clipboard.
#include <gtest/gtest.h>
#include <unistd.h>

#include "image/bmp_file.h"
#include "image/image_codecs.h"
#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

// A packed 2 × 1 true-colour bitmap: left pixel `left`, right one black.
std::vector<uint8_t> SmallDib(uint8_t left) {
    std::vector<uint8_t> dib(40 + 8, 0);
    PutLe32(dib, 0, 40);
    PutLe32(dib, 4, 2);
    PutLe32(dib, 8, 1);
    PutLe16(dib, 12, 1);
    PutLe16(dib, 14, 24);
    dib[40] = dib[41] = dib[42] = left;
    return dib;
}

TEST(ClipboardLoad, FirstLoadTakesTheImageAlreadyThereAndEmptiesTheClipboard) {
    ImageRig rig;
    rig.host.clipboardDib = SmallDib(0x40);
    Item* image = rig.Load("clipboard");  // any letter case
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(rig.host.waitRounds, 0);
    EXPECT_FALSE(rig.host.clipboardDib.has_value());
    EXPECT_EQ(image->image->block.size(), 48u) << "exactly the clipboard's bytes";
    EXPECT_EQ(rig.GetPixel(image, 0, 0), 0x404040u);
}

TEST(ClipboardLoad, AnyOtherImageIsConvertedToAPackedBitmap) {
    ImageRig rig;
    rig.host.clipboardBitmap = ClipboardBitmap{2, 1, 32, {0xFF112233, 0xFF445566}, {}};
    Item* image = rig.Load("CLIPBOARD");
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_FALSE(rig.host.clipboardBitmap.has_value());
    EXPECT_EQ(image->image->BitCount(), 24);
    EXPECT_EQ(rig.GetPixel(image, 1, 0), 0x665544u);
}

TEST(ClipboardLoad, PackedBitmapIsPreferred) {
    ImageRig rig;
    rig.host.clipboardDib = SmallDib(0x10);
    rig.host.clipboardBitmap = ClipboardBitmap{2, 1, 32, {0xFFFFFFFF, 0xFFFFFFFF}, {}};
    Item* image = rig.Load("CLIPBOARD");
    EXPECT_EQ(rig.GetPixel(image, 0, 0), 0x101010u);
}

// Another program's PNG is decoded by the core; a packed bitmap still comes first.
TEST(ClipboardLoad, PngIsDecodedUnlessAPackedBitmapIsThere) {
    ImageRig maker;
    Item* source = maker.Create(3, 2, 24);
    maker.SetPixel(source, 2, 1, 0x12, 0x34, 0x56);
    const auto png = EncodeImage(ImageFormat::Png, *source->image);
    ASSERT_TRUE(png.has_value());
    struct Case {
        const char* what;
        bool dib;
        bool bitmap;
        bool brokenPng;
        uint32_t expected;  // pixel (2, 1), or 0 with the loading error
    };
    const Case cases[] = {
        {"png alone", false, false, false, 0x563412},
        {"png beside a picture", false, true, false, 0x563412},
        {"png beside a packed bitmap", true, false, false, 0},
        {"broken png", false, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageRig rig;
        rig.host.clipboardPng = *png;
        if (c.brokenPng) rig.host.clipboardPng->resize(png->size() / 2);
        if (c.dib) rig.host.clipboardDib = SmallDib(0x10);
        if (c.bitmap) rig.host.clipboardBitmap = ClipboardBitmap{3, 2, 32, {}, {}};
        Item* image = rig.Load("CLIPBOARD");
        EXPECT_FALSE(rig.host.clipboardPng.has_value()) << "the clipboard is emptied";
        if (c.brokenPng) {
            // An unusable clipboard image makes the name a file name, which does not exist.
            EXPECT_EQ(LastStop(rig.m), "Error: Loading image 'CLIPBOARD'");
            continue;
        }
        ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
        if (c.dib) {
            EXPECT_EQ(image->image->Width(), 2);
            EXPECT_EQ(rig.GetPixel(image, 0, 0), 0x101010u);
        } else {
            EXPECT_EQ(image->image->Width(), 3);
            EXPECT_EQ(rig.GetPixel(image, 2, 1), c.expected);
        }
    }
}

TEST(ClipboardLoad, AfterASaveTheLoadWaitsForAnotherProgramsImage) {
    ImageRig rig;
    Item* created = rig.Create(3, 3, 8);
    rig.Save(created, "Clipboard");
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    ASSERT_EQ(rig.host.putImages.size(), 1u);
    EXPECT_EQ(rig.host.putImages[0], created->image->block) << "the whole block";
    EXPECT_EQ(rig.host.changeCount, 0);

    rig.host.onWait = [](FakeHost& host) {
        if (host.waitRounds == 3) {  // another program puts its image
            host.clipboardDib = SmallDib(0x77);
            ++host.changeCount;
        }
    };
    Item* loaded = rig.Load("CLIPBOARD");
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(rig.host.waitRounds, 3);
    EXPECT_EQ(rig.GetPixel(loaded, 0, 0), 0x777777u);
    EXPECT_FALSE(rig.host.clipboardDib.has_value());
}

TEST(ClipboardLoad, AChangeWithoutAnImageKeepsWaiting) {
    ImageRig rig;
    rig.host.changeCount = 0;
    rig.host.onWait = [](FakeHost& host) {
        if (host.waitRounds == 2) ++host.changeCount;  // text, say: nothing to take
        if (host.waitRounds == 5)
            host.clipboardBitmap = ClipboardBitmap{1, 1, 24, {0xFF0000FF}, {}};
    };
    Item* loaded = rig.Load("CLIPBOARD");
    EXPECT_EQ(rig.host.waitRounds, 5);
    EXPECT_EQ(rig.GetPixel(loaded, 0, 0), 0xFF0000u);
}

TEST(ClipboardLoad, StopDuringTheWaitEndsWithAnImageWithoutMemory) {
    ImageRig rig;
    rig.host.changeCount = 0;
    rig.host.clipboardDib = SmallDib(1);
    rig.host.onWait = [&rig](FakeHost& host) {
        if (host.waitRounds == 4) PushStop(rig.m, "Warning: Program stopped");
    };
    Item* result = Call(rig.m, FuncLoadImage, {rig.Text("CLIPBOARD")});
    EXPECT_EQ(rig.host.waitRounds, 4);
    EXPECT_EQ(LastStop(rig.m), "Warning: Program stopped");
    EXPECT_EQ(ItemAt(rig.m.StopList, 1), nullptr) << "no message of its own";
    ASSERT_EQ(rig.m.StackTop, 1u);
    EXPECT_EQ(rig.m.OperandStack[0], result);
    EXPECT_FALSE(result->image->hasMemory());
    EXPECT_TRUE(rig.host.clipboardDib.has_value()) << "nothing was taken";
}

TEST(ClipboardLoad, NoClipboardFailsAtOnceWithTheNameAsWritten) {
    ImageRig rig;
    rig.host.clipboardAvailable = false;
    rig.host.clipboardDib = SmallDib(1);
    rig.Load("ClipBoard");
    EXPECT_EQ(LastStop(rig.m), "Error: Loading image 'ClipBoard'");
    EXPECT_EQ(rig.host.waitRounds, 0);

    rig.m.StopList.head.reset();
    rig.Save(rig.Create(2, 2, 24), "clipboard");
    EXPECT_EQ(LastStop(rig.m), "Error: Writing image 'clipboard'");
    EXPECT_TRUE(rig.host.putImages.empty());
    EXPECT_EQ(rig.host.changeCount, 1);
}

// Runs the test body in a scratch folder as the working directory.
class InScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }
    ScratchFolder folder_;
    std::filesystem::path previous_;
};

using ClipboardFallback = InScratchFolder;

TEST_F(ClipboardFallback, UnusableClipboardImageMakesTheNameAFileName) {
    ImageRig rig;
    std::vector<uint8_t> bad = SmallDib(1);
    bad.pop_back();  // the row is one byte short
    rig.host.clipboardDib = bad;
    rig.Load("Clipboard");
    EXPECT_EQ(LastStop(rig.m), "Error: Loading image 'Clipboard'");
    EXPECT_FALSE(rig.host.clipboardDib.has_value()) << "emptied all the same";

    // With a file of that name in the working directory, the file is loaded.
    rig.m.StopList.head.reset();
    rig.Save(rig.Create(5, 1, 4), "./Clipboard");
    ASSERT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    rig.host.clipboardBitmap = ClipboardBitmap{0, 0, 24, {}, {}};  // cannot be converted
    Item* loaded = rig.Load("Clipboard");
    EXPECT_TRUE(rig.m.StopList.empty()) << LastStop(rig.m);
    EXPECT_EQ(loaded->image->Width(), 5);
    EXPECT_FALSE(rig.host.clipboardBitmap.has_value());
}

class RefusingClipboard : public FakeHost {
public:
    bool PutClipboardImage(std::span<const uint8_t>) override { return false; }
};

TEST(ClipboardSave, RefusedPutIsAWritingError) {
    RefusingClipboard host;
    Machine m(&host);
    Item* result = MakeTemp(m);
    for (double v : {2.0, 2.0, 24.0}) PushItem(m, MakeFloat(m, "Const", static_cast<float>(v)));
    RunHandler(m, FuncCreateImage, result);
    m.StackTop = 0;
    PushItem(m, result);
    PushItem(m, MakeString(m, "Const ", "CLIPBOARD"));
    RunHandler(m, StmtSaveImage);
    EXPECT_EQ(LastStop(m), "Error: Writing image 'CLIPBOARD'");
    EXPECT_EQ(host.changeCount, 1) << "the count drops only after a successful save";
}

TEST(ClipboardSave, ImageWithoutPixelsIsNotPut) {
    ImageRig rig;
    rig.Save(rig.Create(2, 2, 16), "CLIPBOARD");
    EXPECT_EQ(LastStop(rig.m), "Error: Writing image 'CLIPBOARD'");
    EXPECT_TRUE(rig.host.putImages.empty());
}

}  // namespace
}  // namespace tarvil::testing
