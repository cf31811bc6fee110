// GETFILENAME: the host's open-file dialog; title and path are Latin-1 on both sides.
#include <gtest/gtest.h>

#include "unit/image_test_support.h"

namespace tarvil::testing {
namespace {

TEST(GetFileName, HandsTitleAndPathThroughAndCutsToTheResult) {
    const struct {
        std::string answer;
        std::string expected;
    } cases[] = {
        {"/home/anna/citt\xE0.bmp", "/home/anna/citt\xE0.bmp"},
        {"", ""},  // cancelled
        {std::string(300, 'a'), std::string(254, 'a')},
    };
    for (const auto& c : cases) {
        ImageRig rig;
        rig.host.fileNameAnswer = c.answer;
        Item* result = Call(rig.m, FuncGetFileName, {rig.Text("Scegli l'immagine \xE0")});
        ASSERT_EQ(rig.host.fileNameTitles.size(), 1u);
        EXPECT_EQ(rig.host.fileNameTitles[0], "Scegli l'immagine \xE0");
        EXPECT_EQ(result->typeCode, kTypeString);
        EXPECT_EQ(ItemText(*result), c.expected);
        EXPECT_EQ(static_cast<uint8_t>(result->value[254]), 0);
        ASSERT_EQ(rig.m.StackTop, 1u);
        EXPECT_EQ(rig.m.OperandStack[0], result);
    }
}

TEST(GetFileName, ShorterAnswerClearsAnEarlierLongerOne) {
    ImageRig rig;
    Item* result = MakeTemp(rig.m);
    rig.host.fileNameAnswer = "/a/very/long/name.bmp";
    PushItem(rig.m, rig.Text("t"));
    RunHandler(rig.m, FuncGetFileName, result);
    rig.host.fileNameAnswer = "/b.bmp";
    PushItem(rig.m, rig.Text("t"));
    RunHandler(rig.m, FuncGetFileName, result);
    EXPECT_EQ(ItemText(*result), "/b.bmp");
    EXPECT_EQ(static_cast<char>(result->value[7]), '\0');
}

}  // namespace
}  // namespace tarvil::testing
