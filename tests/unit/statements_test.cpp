#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/variable_listing.h"
#include "fake_host.h"
#include "handler_test_support.h"

namespace tarvil::testing {
namespace {

class StatementTest : public ::testing::Test {
protected:
    Item* Text(std::string_view text) { return MakeString(m_, "Const ", text); }
    Item* Number(float value) { return MakeFloat(m_, "Const", value); }

    // DSPMES(arguments...): the compiler pushes the arguments, then their count.
    void DspMes(std::initializer_list<Item*> arguments) {
        for (Item* argument : arguments) PushItem(m_, argument);
        PushItem(m_, MakeFloat(m_, "Num param", static_cast<float>(arguments.size())));
        RunHandler(m_, StmtDspMes);
    }

    FakeHost host_;
    Machine m_{&host_};
};

TEST_F(StatementTest, DspMesJoinsTextAndNumbers) {
    const std::string long200(200, 'a');
    const struct {
        std::vector<Item*> arguments;
        std::string shown;
    } cases[] = {
        {{Text("x="), Number(1.5f)}, "x=1.5"},
        {{Text("Count:"), Number(100000)}, "Count:100000"},
        {{}, ""},
        {{Number(1e6f), Text(" "), Number(0.0001f), Text(" "), Number(-2)}, "1e+06 0.0001 -2"},
        {{Number(1.0f / 3)}, "0.333333"},
        {{MakeColour(m_, kTypeRgb, "c", {1, 2, 3, 0})}, "197121"},
        {{Text(long200), Text(long200)}, std::string(255, 'a')},
    };
    for (const auto& c : cases) {
        host_.scriptMessages.clear();
        for (Item* argument : c.arguments) PushItem(m_, argument);
        PushItem(m_, Number(static_cast<float>(c.arguments.size())));
        RunHandler(m_, StmtDspMes);
        ASSERT_EQ(host_.scriptMessages.size(), 1u);
        EXPECT_EQ(host_.scriptMessages[0], c.shown);
        EXPECT_EQ(m_.StackTop, 0u);
        EXPECT_TRUE(m_.StopList.empty());
    }
}

TEST_F(StatementTest, DspMesLeavesOlderStackEntriesAlone) {
    Item* waiting = Number(7);
    PushItem(m_, waiting);
    DspMes({Text("a"), Text("b")});
    EXPECT_EQ(host_.scriptMessages, std::vector<std::string>{"ab"});
    ASSERT_EQ(m_.StackTop, 1u);
    EXPECT_EQ(m_.OperandStack[0], waiting);
}

TEST_F(StatementTest, DspMesWithACountLargerThanTheStack) {
    PushItem(m_, Text("only"));
    PushItem(m_, Number(5));
    RunHandler(m_, StmtDspMes);
    EXPECT_EQ(host_.scriptMessages, std::vector<std::string>{"only"});
    EXPECT_EQ(m_.StackTop, 0u);
    EXPECT_FALSE(m_.StopList.empty());

    // Nothing at all on the stack, and a negative count.
    ClearList(m_.StopList);
    RunHandler(m_, StmtDspMes);
    PushItem(m_, Number(-3));
    RunHandler(m_, StmtDspMes);
    EXPECT_EQ(m_.StackTop, 0u);
    EXPECT_EQ(host_.scriptMessages.size(), 3u);
}

TEST_F(StatementTest, DspMesNonNumericArgumentStops) {
    DspMes({Text("img:"), MakeImageVariable(m_, "img")});
    EXPECT_EQ(host_.scriptMessages, std::vector<std::string>{"img:0"});
    EXPECT_EQ(LastStop(m_), "Error: Argument not numeric");
}

TEST_F(StatementTest, DspWhileAsStatementAndFunction) {
    const struct {
        Item* text;
        float percent;
        int stopRequest;
        bool asFunction;
        std::string shownText;
        uint16_t shownPercent;
    } cases[] = {
        {Text("Working"), 50, 0, false, "Working", 50},
        {Text(""), 0, 0, false, "", 0},  // closes the dialog
        {Text("Working"), 99.9f, 1, true, "Working", 99},
        {Text("Working"), 42, 0, true, "Working", 42},
        {Number(3), 10, 0, true, "", 10},  // only strings have a text
        {Text("big"), 70000, 0, false, "big", 70000 & 0xFFFF},
        {Text("neg"), -1, 0, false, "neg", 0xFFFF},
    };
    for (const auto& c : cases) {
        host_.progressCalls.clear();
        host_.stopRequest = c.stopRequest;
        PushItem(m_, c.text);
        PushItem(m_, Number(c.percent));
        Item* result = c.asFunction ? MakeTemp(m_) : nullptr;
        RunHandler(m_, StmtDspWhile, result);
        ASSERT_EQ(host_.progressCalls.size(), 1u);
        EXPECT_EQ(host_.progressCalls[0].text, c.shownText);
        EXPECT_EQ(host_.progressCalls[0].percent, c.shownPercent);
        if (c.asFunction) {
            ASSERT_EQ(m_.StackTop, 1u);
            EXPECT_EQ(m_.OperandStack[0], result);
            EXPECT_EQ(result->typeCode, kTypeFloat);
            EXPECT_EQ(ReadFloat(*result), static_cast<float>(c.stopRequest));
        }
        m_.StackTop = 0;
    }
    EXPECT_TRUE(m_.StopList.empty());
}

TEST_F(StatementTest, DebugAnswers) {
    MakeFloat(m_, "x", 2.5f);
    host_.debugAnswers = {1, 2};
    RunHandler(m_, StmtDebug, nullptr, 7);
    EXPECT_TRUE(m_.StopList.empty());
    RunHandler(m_, StmtDebug, nullptr, 9);
    EXPECT_EQ(LastStop(m_), "Debug: Program stopped");
    ASSERT_EQ(host_.debugCalls.size(), 2u);
    EXPECT_EQ(host_.debugCalls[0].line, 7u);
    EXPECT_EQ(host_.debugCalls[1].line, 9u);
    EXPECT_EQ(host_.debugCalls[0].variableLines,
              std::vector<std::string>{"float           x = 2.5"});
}

TEST_F(StatementTest, ReturnAndExit) {
    RunHandler(m_, StmtExit);
    EXPECT_TRUE(m_.ExitRequested);
    EXPECT_TRUE(m_.StopList.empty());  // the statements after EXIT still run
    RunHandler(m_, StmtReturn);
    EXPECT_EQ(LastStop(m_), "End");
}

TEST(StatementsWithoutHost, ShowNothingAndGoOn) {
    Machine m;
    PushItem(m, MakeString(m, "Const ", "hello"));
    PushItem(m, MakeFloat(m, "Num param", 1));
    RunHandler(m, StmtDspMes);
    PushItem(m, MakeString(m, "Const ", "busy"));
    PushItem(m, MakeFloat(m, "Const", 5));
    Item* result = MakeTemp(m);
    RunHandler(m, StmtDspWhile, result);
    EXPECT_EQ(ReadFloat(*result), 0.0f);
    RunHandler(m, StmtDebug, nullptr, 3);
    EXPECT_TRUE(m.StopList.empty());
    EXPECT_EQ(m.StackTop, 1u);
}

TEST(VariableListing, LinesAndOrder) {
    Machine m;
    MakeString(m, "ClArg", "a", 2);
    MakeFloat(m, "ClNum", 1);
    MakeFloat(m, "PI", 3.1415927f);
    MakeFloat(m, "x", 2.5f);
    MakeFloat(m, "numbers", 3);
    MakeFloat(m, "ConstX", 1);
    MakeFloat(m, "constant", 1);
    MakeString(m, "Const ", "literal");
    MakeFloat(m, "Const 1.000000", 1);
    MakeFloat(m, "Num param", 2);
    MakeTemp(m);
    MakeFloat(m, "ForNextTo i", 10);
    MakeFloat(m, "FORNEXTSteep i", 1);
    MakeString(m, "s", "");
    MakeString(m, "name", "it's");
    Item* pix = MakeColour(m, kTypeRgb, "pix", {1, 2, 3, 4});
    MakeMember(m, pix, kMemberRed, "Red");
    MakeFloat(m, "odd.name", 1);  // declared with a dot: hidden like a member
    MakeColour(m, kTypeHbs, "h", {10, 200, 240, 0});
    Item* image = MakeImageVariable(m, "Ibmp", MakeImage(640, 480, 8, 3780));
    MakeMember(m, image, kMemberWidth, "Width");
    MakeImageVariable(m, "Empty");
    // Case decides nothing: "a" sorts before "B", and equal lines keep the table's order.
    MakeFloat(m, "B", 0);
    MakeFloat(m, "a", 0);
    MakeFloat(m, "Ab", 0);
    MakeFloat(m, "aB", 0);
    Item* odd = MakeFloat(m, "odd", 0);
    odd->typeCode = kTypeImageResult;  // a type without a line

    EXPECT_EQ(VariableListing(m), (std::vector<std::string>{
                                      "devcon       Ibmp = x=640 y=480 bit=8 res=96",
                                      "devcon      Empty = (no image)",
                                      "float           a = 0",
                                      "float           B = 0",
                                      "float           x = 2.5",
                                      "float          aB = 0",
                                      "float          Ab = 0",
                                      "float          PI = 3.14159",
                                      "float       ClNum = 1",
                                      "float     numbers = 3",
                                      "hbs             h = h= 10 b=200 s=240",
                                      "rgb           pix = r=  1 g=  2 b=  3",
                                      "string          s = ''",
                                      "string       name = 'it's'",
                                      "string      ClArg = 'a'",
                                  }));
}

TEST(VariableListing, LongLinesAreCut) {
    Machine m;
    MakeString(m, "long_name_of_twenty_", std::string(254, 'z'));
    const std::vector<std::string> lines = VariableListing(m);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 255u);
    EXPECT_EQ(lines[0].substr(0, 33), "string long_name_of_twenty_ = 'zz");
}

}  // namespace
}  // namespace tarvil::testing
