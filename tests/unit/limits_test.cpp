// The compiler and the run at the edges of their limits: bracket nesting up to
// what a line can hold, unterminated strings wherever they can stand, string
// literals at the size of a value block, and instruction counts that cross
// 4000 in the middle of a line. Every case ends in a result or a message.
// (4000/4001 instructions on whole lines, 255/256 characters and 1000/1001
// stack entries are pinned in compiler_test and run_driver_test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run_driver.h"
#include "unit/fake_host.h"

namespace tarvil {
namespace {

std::string Repeat(char c, int count) {
    return std::string(static_cast<size_t>(count), c);
}

struct RunCase {
    std::string name;
    std::string script;
    RunOutcome outcome;
    std::vector<std::string> messages;  // everything shown, DSPMES texts included
};

void ExpectRuns(const std::vector<RunCase>& cases) {
    for (const RunCase& c : cases) {
        testing::FakeHost host;
        Machine machine(&host);
        const RunResult result = RunScript(machine, c.script);
        EXPECT_EQ(result.outcome, c.outcome) << c.name;
        EXPECT_EQ(host.messages, c.messages) << c.name;
        // After any run the machine is empty again, ready for the next one.
        EXPECT_EQ(ItemAt(machine.VariableTable, 0), nullptr) << c.name;
        EXPECT_EQ(ItemAt(machine.StopList, 0), nullptr) << c.name;
    }
}

// "x=" then `depth` opening brackets, the operand, and as many closing ones.
std::string NestedAssignment(int depth, const std::string& operand) {
    return "x=" + Repeat('(', depth) + operand + Repeat(')', depth);
}

TEST(BracketLimitTest, DeepestNestingThatFitsALineRunsAndDeeperIsRefused) {
    const std::string deepest = NestedAssignment(126, "7");  // 255 characters
    ASSERT_EQ(deepest.size(), 255u);
    const std::string tooDeep = NestedAssignment(127, "7");  // 257 characters
    // Nesting inside an operator chain: "x=1+(1+(1+ ... )))" with 63 levels.
    std::string chain = "x=";
    for (int i = 0; i < 63; ++i) chain += "1+(";
    chain += "1" + Repeat(')', 63);
    ASSERT_LE(chain.size(), 255u);
    // Function calls nested as deep as a line allows: SQR(SQR(...(1)...)).
    std::string calls = "x=";
    for (int i = 0; i < 50; ++i) calls += "SQR(";
    calls += "1" + Repeat(')', 50);
    ASSERT_EQ(calls.size(), 253u);

    ExpectRuns({
        {"126 levels", "float x\r\n" + deepest + "\r\nDspMes(x)\r\n", RunOutcome::Normal, {"7"}},
        {"127 levels",
         "float x\r\n" + tooDeep + "\r\n",
         RunOutcome::CompileError,
         {"[0002] Error: Line too long (more than 255 characters)"}},
        {"operator chain", "float x\r\n" + chain + "\r\nDspMes(x)\r\n", RunOutcome::Normal, {"64"}},
        {"nested calls", "float x\r\n" + calls + "\r\nDspMes(x)\r\n", RunOutcome::Normal, {"1"}},
        {"126 empty levels",
         "float x\r\n" + NestedAssignment(126, "") + "\r\n",
         RunOutcome::Stopped,
         {"Error: Missing argument"}},
    });
}

// Messages are cut at 255 characters, closing quote included.
std::string CutMessage(const std::string& text) {
    return text.substr(0, 255);
}

TEST(BracketLimitTest, LinesOfBracketsAloneGiveMessages) {
    const std::string opening253 = Repeat('(', 253);
    ExpectRuns({
        {"255 opening brackets",
         Repeat('(', 255),
         RunOutcome::CompileError,
         {CutMessage("[0001] Error: Instruction not found '" + Repeat('(', 255) + "'")}},
        {"assignment of 253 opening brackets",
         "float x\r\nx=" + opening253,
         RunOutcome::CompileError,
         {CutMessage("[0002] Error: In formula '" + opening253 + "'")}},
        {"DSPMES of 248 opening brackets",
         "DspMes(" + Repeat('(', 248),
         RunOutcome::CompileError,
         {CutMessage("[0001] Error: In formula '" + Repeat('(', 249) + "'")}},
        {"assignment of 253 closing brackets",
         "float x\r\nx=" + Repeat(')', 253),
         RunOutcome::Stopped,
         {"Error: Missing argument"}},
        {"256 opening brackets",
         Repeat('(', 256),
         RunOutcome::CompileError,
         {"[0001] Error: Line too long (more than 255 characters)"}},
    });
}

TEST(StringLimitTest, UnterminatedStringsAreReportedWhereverTheyStand) {
    ExpectRuns({
        {"at the end of the text",
         "DspMes(\"abc",
         RunOutcome::CompileError,
         {"[0001] Error: String end not found '\"abc'"}},
        {"before a line break",
         "DspMes(\"abc\r\nDspMes(1)\r\n",
         RunOutcome::CompileError,
         {"[0001] Error: String end not found '\"abc'"}},
        {"in an assignment",
         "string s\r\ns=\"abc",
         RunOutcome::CompileError,
         {"[0002] Error: String end not found '\"abc'"}},
        {"after a closed one",
         "DspMes(\"a\",\"b",
         RunOutcome::CompileError,
         {"[0001] Error: String end not found '\"b'"}},
        {"a lone quote",
         "DspMes(\")",
         RunOutcome::CompileError,
         {"[0001] Error: String end not found '\")'"}},
        // A single word is ignored, and a lone quote is one.
        {"a quote alone on a line", "\"", RunOutcome::Normal, {}},
    });
}

TEST(StringLimitTest, LongLiteralsAreCutToTheValueBlock) {
    // The longest literals a line can hold are kept whole, shown directly or
    // through a string variable.
    const std::string literal245(245, 'a');  // DspMes("...") is then 255 characters
    const std::string literal251(251, 'b');  // s="..." is then 255 characters
    ExpectRuns({
        {"DSPMES literal", "DspMes(\"" + literal245 + "\")", RunOutcome::Normal, {literal245}},
        {"assigned literal",
         "string s\r\ns=\"" + literal251 + "\"\r\nDspMes(s)\r\n",
         RunOutcome::Normal,
         {literal251}},
    });
}

TEST(InstructionLimitTest, LimitCrossedInsideALineNamesThatLine) {
    // 1999 "x=1" lines fill 3998 instructions; a last line that needs more than
    // the two instructions left is refused with its own line number.
    std::string full = "float x\r\n";
    for (int i = 0; i < 1999; ++i) full += "x=1\r\n";
    ExpectRuns({
        {"expression over the edge",
         full + "x=1+2+3\r\n",
         RunOutcome::CompileError,
         {"[2001] Error: Program too long (more than 4000 instructions)"}},
        {"statement over the edge",
         full + "DspMes(1,2)\r\n",
         RunOutcome::CompileError,
         {"[2001] Error: Program too long (more than 4000 instructions)"}},
        {"one instruction left for the closing return", full + "Debug\r\n", RunOutcome::Normal, {}},
    });
}

}  // namespace
}  // namespace tarvil
