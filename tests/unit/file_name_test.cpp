// GETFILENAME: the host's open-file dialog; title and path are Latin-1 on both sides.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// A name that had to be cut to fit a string variable (254 bytes) is not the
// file the script meant: LOADIMAGE and SAVEIMAGE fail with their message and
// FILEFIND finds nothing, while the same name uncut works. The mark follows
// the text through assignments and goes when a text that fits replaces it.
TEST(CutFileNames, AreRefusedByEveryFileOperation) {
    for (const bool cut : {false, true}) {
        ScratchFolder folder;
        const std::string prefix = folder.File("");
        ImageRig rig;
        // A ClArg's block is as long as its argument, so it holds the whole text.
        const std::string longName = prefix + std::string(254 - prefix.size(), 'n') +
                                     (cut ? std::string(40, 'x') : std::string());
        Item* argument =
            MakeString(rig.m, "ClArg", longName, static_cast<uint32_t>(longName.size() + 1));
        Item* name = MakeString(rig.m, "name", "");
        Item* copy = MakeString(rig.m, "copy", "");
        AssignItem(rig.m, *name, *argument);
        AssignItem(rig.m, *copy, *name);
        ASSERT_EQ(ItemText(*copy).size(), 254u);
        EXPECT_EQ(copy->textCut, cut);

        const std::string shown(ItemText(*copy));
        PushItem(rig.m, rig.Create(2, 2, 24));
        PushItem(rig.m, copy);
        RunHandler(rig.m, StmtSaveImage);
        EXPECT_EQ(LastStop(rig.m), cut ? Format("Error: Writing image '%s'", shown.c_str()) : "");
        EXPECT_EQ(std::filesystem::exists(shown), !cut);
        ClearList(rig.m.StopList);

        rig.m.StackTop = 0;
        Call(rig.m, FuncLoadImage, {copy});
        EXPECT_EQ(LastStop(rig.m), cut ? Format("Error: Loading image '%s'", shown.c_str()) : "");
        ClearList(rig.m.StopList);

        rig.m.StackTop = 0;
        Item* found = Call(rig.m, FuncFileFind, {copy});
        EXPECT_EQ(ItemText(*found), cut ? "" : shown);

        // A text that fits clears the mark.
        AssignItem(rig.m, *copy, *rig.Text("short.bmp"));
        EXPECT_FALSE(copy->textCut);
    }
}

}  // namespace
}  // namespace tarvil::testing
