#include <gtest/gtest.h>

#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

struct PreviewCall {
    const Image* image;
    std::string title;
    int x, y, width, height;
};

class PreviewHost : public FakeHost {
public:
    std::vector<PreviewCall> calls;
    std::unique_ptr<PreviewWindow> CreatePreview(const Image& image, std::string_view title, int x,
                                                 int y, int width, int height) override {
        calls.push_back({&image, std::string(title), x, y, width, height});
        return FakeHost::CreatePreview(image, title, x, y, width, height);
    }
};

struct PreviewRig {
    PreviewHost host;
    Machine m{&host};
    void Preview(Item* image, std::string_view title, double x, double y, double width,
                 double height) {
        PushItem(m, image);
        PushItem(m, MakeString(m, "Const ", title));
        for (double v : {x, y, width, height}) {
            PushItem(m, MakeFloat(m, "Const", static_cast<float>(v)));
        }
        RunHandler(m, StmtPreview);
    }
    Item* Image(int width, int height, int bits) {
        Item* result = MakeTemp(m);
        for (double v : {double(width), double(height), double(bits)}) {
            PushItem(m, MakeFloat(m, "Const", static_cast<float>(v)));
        }
        RunHandler(m, FuncCreateImage, result);
        m.StackTop = 0;
        return MakeImageVariable(m, "img", std::move(result->image));
    }
};

TEST(Preview, FirstPreviewOpensTheWindowLaterOnesRepaintIt) {
    PreviewRig rig;
    Item* image = rig.Image(100, 50, 24);
    rig.Preview(image, "Output", 5, 5, 108, 76);
    ASSERT_EQ(rig.host.calls.size(), 1u);
    const PreviewCall& call = rig.host.calls[0];
    EXPECT_EQ(call.image, image->image.get());
    EXPECT_EQ(call.title, "Output");
    EXPECT_EQ(call.x, 5);
    EXPECT_EQ(call.y, 5);
    EXPECT_EQ(call.width, 108);
    EXPECT_EQ(call.height, 76);
    EXPECT_NE(image->image->preview, nullptr);

    rig.Preview(image, "Other", 50, 60, 300, 300);
    EXPECT_EQ(rig.host.calls.size(), 1u) << "title, position and size are kept";
    EXPECT_EQ(rig.host.previewRefreshes, 1);
    EXPECT_EQ(rig.m.StackTop, 0u);
    EXPECT_TRUE(rig.m.StopList.empty());

    // A variable sharing the image shares its window.
    Item* copy = MakeImageVariable(rig.m, "copy", image->image);
    rig.Preview(copy, "Copy", 0, 0, 10, 10);
    EXPECT_EQ(rig.host.previewRefreshes, 2);
    image->image.reset();
    copy->image.reset();
    EXPECT_EQ(rig.host.previewsDestroyed, 1);
}

TEST(Preview, SizesAreLimitedAndNumbersTakenAs16BitUnsigned) {
    const struct {
        double x, y, width, height;
        int expectedX, expectedY, expectedWidth, expectedHeight;
    } cases[] = {
        {5, 5, 2008, 1526, 5, 5, 1280, 1024},
        {-1, -2, 300, 200, 65535, 65534, 300, 200},
        {65537, 70000.9, 1280, 1024, 1, 4464, 1280, 1024},
        {0, 0, -1, -1, 0, 0, 1280, 1024},
        {0, 0, 65536 + 40, 65536 + 30, 0, 0, 40, 30},
    };
    for (const auto& c : cases) {
        PreviewRig rig;
        rig.Preview(rig.Image(2, 2, 8), "t", c.x, c.y, c.width, c.height);
        ASSERT_EQ(rig.host.calls.size(), 1u);
        const PreviewCall& call = rig.host.calls[0];
        EXPECT_EQ(call.x, c.expectedX);
        EXPECT_EQ(call.y, c.expectedY);
        EXPECT_EQ(call.width, c.expectedWidth);
        EXPECT_EQ(call.height, c.expectedHeight);
    }
}

TEST(Preview, TitleIsHandedOnAsWritten) {
    PreviewRig rig;
    rig.Preview(rig.Image(2, 2, 4), "Citt\xE0", 0, 0, 10, 10);
    ASSERT_EQ(rig.host.calls.size(), 1u);
    EXPECT_EQ(rig.host.calls[0].title, "Citt\xE0");
}

TEST(Preview, OperandsWithoutAnImageAreIgnored) {
    PreviewRig rig;
    Item* operands[] = {MakeImageVariable(rig.m, "none"), MakeFloat(rig.m, "f", 3),
                        MakeString(rig.m, "s", "img")};
    for (Item* operand : operands) rig.Preview(operand, "t", 0, 0, 10, 10);
    EXPECT_TRUE(rig.host.calls.empty());
    EXPECT_EQ(rig.m.StackTop, 0u);
    EXPECT_TRUE(rig.m.StopList.empty());
}

TEST(Preview, HostWithoutPreviewsIsAskedAgainNextTime) {
    PreviewRig rig;
    rig.host.showsPreviews = false;
    Item* image = rig.Image(2, 2, 1);
    rig.Preview(image, "a", 0, 0, 10, 10);
    rig.Preview(image, "b", 0, 0, 10, 10);
    EXPECT_EQ(rig.host.calls.size(), 2u);
    EXPECT_EQ(image->image->preview, nullptr);
}

TEST(Preview, ImageWithoutPixelsStillGetsAWindow) {
    PreviewRig rig;
    rig.Preview(rig.Image(4, 4, 16), "t", 0, 0, 10, 10);
    EXPECT_EQ(rig.host.calls.size(), 1u);
}

}  // namespace
}  // namespace tarvil::testing
