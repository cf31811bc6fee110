// RunScript: how a run ends, what is shown, what is returned, and the
// message-dispatch cadence of the execution loop.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "engine/run_driver.h"
#include "unit/fake_host.h"

namespace tarvil {
namespace {

class RunDriverTest : public ::testing::Test {
protected:
    RunResult Run(const std::string& script) { return RunScript(machine, script); }

    testing::FakeHost host;
    Machine machine{&host};
};

TEST_F(RunDriverTest, EmptyScriptEndsSilently) {
    const RunResult result = Run("");
    EXPECT_EQ(result.outcome, RunOutcome::Normal);
    EXPECT_EQ(result.line, 0u);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.dispatchCount, 0);
}

TEST_F(RunDriverTest, CompileErrorIsShownAndItsLineReturned) {
    std::string script;
    for (int i = 0; i < 11; ++i) script += "' comment\r\n";
    script += "foo bar\r\n";
    const RunResult result = Run(script);
    EXPECT_EQ(result.outcome, RunOutcome::CompileError);
    EXPECT_EQ(result.line, 12u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "[0012] Error: Instruction not found 'foo bar'");
}

TEST_F(RunDriverTest, RunTimeErrorIsShownAsItIsAndNamesItsLine) {
    const RunResult result = Run("string s\r\nfloat x\r\nx=s+1\r\nDspMes(\"not reached\")\r\n");
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.line, 3u);
    EXPECT_FALSE(result.lineInMessage);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Error: Argument not numeric"});
}

// Where each kind of stop leaves the run: the line it names, and whether the
// message names it already. Run-time messages keep their texts.
TEST(RunDriverStopLineTest, EveryStopNamesTheLineItHappenedIn) {
    struct Case {
        const char* script;
        std::deque<int> debugAnswers;
        RunOutcome outcome;
        unsigned line;
        bool lineInMessage;
        const char* message;
    } cases[] = {
        {"float x\r\n\r\nx=(1\r\n",
         {},
         RunOutcome::CompileError,
         3,
         true,
         "[0003] Error: In formula '(1'"},
        {"float a\r\nIF(a)\r\nENDIF\r\nELSE\r\n",
         {},
         RunOutcome::CompileError,
         4,
         false,
         "Else senza IF"},
        {"float a\r\n' note\r\nENDIF\r\na=1\r\n",
         {},
         RunOutcome::CompileError,
         3,
         false,
         "Endif senza IF"},
        {"float a\r\nIF(a)\r\na=1\r\n",
         {},
         RunOutcome::CompileError,
         2,
         true,
         "[0002] Error: IF without ENDIF"},
        {"DevCon img\r\n\r\nimg=LoadImage(\"no such file.bmp\")\r\n",
         {},
         RunOutcome::Stopped,
         3,
         false,
         "Error: Loading image 'no such file.bmp'"},
        {"float x,y\r\nx=2\r\ny=x\r\ny=7%(x-2)\r\n",
         {},
         RunOutcome::Stopped,
         4,
         false,
         "Error: Division by zero in '%'"},
        {"float x\r\nx=1\r\nx=SIN()\r\n",
         {},
         RunOutcome::Stopped,
         3,
         false,
         "Error: Missing argument"},
        // The FOR line's assignment of its start value.
        {"string s\r\nFor s=1 to 3\r\nNext s\r\n",
         {},
         RunOutcome::Stopped,
         2,
         false,
         "Error: Unknown assignment"},
        {"float i\r\nFor i=1 to 3\r\n  Debug\r\nNext i\r\n",
         {1, 2},
         RunOutcome::Stopped,
         3,
         false,
         "Debug: Program stopped"},
        {"float x\r\nx=1\r\n", {}, RunOutcome::Normal, 0, false, nullptr},
        {"float x\r\nRETURN\r\nx=1%0\r\n", {}, RunOutcome::Normal, 0, false, nullptr},
    };
    for (const Case& c : cases) {
        testing::FakeHost host;
        host.debugAnswers = c.debugAnswers;
        Machine machine(&host);
        const RunResult result = RunScript(machine, c.script);
        EXPECT_EQ(result.outcome, c.outcome) << c.script;
        EXPECT_EQ(result.line, c.line) << c.script;
        EXPECT_EQ(result.lineInMessage, c.lineInMessage) << c.script;
        const std::vector<std::string> expected =
            c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{};
        EXPECT_EQ(host.messages, expected) << c.script;
        // The host hears where the run stopped before the message is shown.
        ASSERT_EQ(host.runStops.size(), c.message ? 1u : 0u) << c.script;
        if (c.message) {
            EXPECT_EQ(host.runStops[0].line, c.line) << c.script;
            EXPECT_EQ(host.runStops[0].messagesBefore, 0u) << c.script;
        }
    }
}

TEST_F(RunDriverTest, EverythingIsClearedAfterARun) {
    Run("float a\r\nIF(a)\r\nFor a=1 to 2\r\nforgotten bits\r\n");
    EXPECT_TRUE(machine.VariableTable.empty());
    EXPECT_TRUE(machine.StopList.empty());
    EXPECT_TRUE(machine.LoopList.empty());
    EXPECT_TRUE(machine.BranchList.empty());
    EXPECT_FALSE(machine.RunInProgress);
    // The next run starts from scratch.
    EXPECT_EQ(Run("float a\r\na=2\r\n").outcome, RunOutcome::Normal);
}

TEST_F(RunDriverTest, ExitClosesAfterTheRunAndLaterStatementsStillRun) {
    const RunResult result = Run("EXIT\r\nDspMes(\"after\")\r\n");
    EXPECT_EQ(result.outcome, RunOutcome::Normal);
    EXPECT_EQ(host.scriptMessages, std::vector<std::string>{"after"});
    EXPECT_EQ(host.closeRequests, 1);
    // EXIT stays in force: every later run asks again.
    Run("");
    EXPECT_EQ(host.closeRequests, 2);
}

// A host whose event dispatching runs a second script, as a Run command would.
class ReenteringHost : public testing::FakeHost {
public:
    std::function<void()> onDispatch;
    void DispatchPendingMessages() override {
        FakeHost::DispatchPendingMessages();
        if (onDispatch) onDispatch();
    }
};

TEST_F(RunDriverTest, NulByteIsACompileErrorOnItsLine) {
    // Before, the text silently ended at the NUL: the DSPMES never ran and the
    // run ended normally.
    using std::string_literals::operator""s;
    const RunResult result = Run("float x\r\nx=1\r\n\0x=2\r\nDspMes(x)\r\n"s);
    EXPECT_EQ(result.outcome, RunOutcome::CompileError);
    EXPECT_EQ(result.line, 3u);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"[0003] Error: NUL character in the script text"});
    EXPECT_TRUE(host.scriptMessages.empty());
}

TEST(RunDriverReentryTest, RunDuringARunStopsTheRunningScript) {
    ReenteringHost host;
    Machine machine(&host);
    RunResult nested;
    host.onDispatch = [&] { nested = RunScript(machine, "DspMes(\"never\")"); };
    const RunResult outer =
        RunScript(machine, "float i\r\nFor i=1 to 100000\r\nNext i\r\nDspMes(\"not reached\")\r\n");
    EXPECT_EQ(nested.outcome, RunOutcome::Refused);
    EXPECT_EQ(nested.line, 0u);
    EXPECT_EQ(outer.outcome, RunOutcome::Stopped);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Warning: Program stopped"});
    EXPECT_EQ(host.dispatchCount, 1);  // stopped right after the first dispatch
    EXPECT_EQ(outer.line, 3u);         // in the loop's NEXT
}

TEST(RunDriverReentryTest, StopAfterAJumpNamesTheJumpsLine) {
    // Five instructions before the FOR header (6) and 168 passes of the empty
    // body's NEXT (6 each): the 1025th instruction is the jump of the 169th
    // NEXT, which leads back to the FOR line's last instruction.
    ReenteringHost host;
    Machine machine(&host);
    host.onDispatch = [&] { RunScript(machine, ""); };
    const RunResult result =
        RunScript(machine, "float i,x\r\nx=1\r\nx=2\r\nDebug\r\nFor i=1 to 100000\r\nNext i\r\n");
    EXPECT_EQ(machine.ExecutedCount, 1025u);
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.line, 6u);
}

TEST(RunDriverReentryTest, StopBeforeTheFirstInstructionNamesNoLine) {
    // A stop requested from outside while the script compiled.
    class StoppingHost : public testing::FakeHost {
    public:
        Machine* machine = nullptr;
        bool StopRequested() override {
            PushStop(*machine, "Warning: Program stopped");
            return true;
        }
    } host;
    Machine machine(&host);
    host.machine = &machine;
    const RunResult result = RunScript(machine, "float x\r\nx=1\r\n");
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.line, 0u);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Warning: Program stopped"});
}

// Scripts that execute an exact number of instructions: a FOR header (6), n
// passes of an empty body (6 each, the first pass's NEXT included), Debug
// lines (1 each) and the closing StmtReturn (1).
std::string ScriptExecuting(int loopPasses, int debugLines) {
    std::string script = "float i\r\nFor i=1 to " + std::to_string(loopPasses) + "\r\nNext i\r\n";
    for (int i = 0; i < debugLines; ++i) script += "Debug\r\n";
    return script;
}

TEST(RunDriverCadenceTest, DispatchesAfterThe1025thAndThenEvery4097th) {
    struct Case {
        int loopPasses;
        int debugLines;
        uint64_t executed;
        int dispatches;
    } cases[] = {
        {169, 3, 1024, 0}, {169, 4, 1025, 1},  {852, 2, 5121, 1},
        {852, 3, 5122, 2}, {1535, 2, 9219, 3},
    };
    for (const Case& c : cases) {
        testing::FakeHost host;
        Machine machine(&host);
        RunScript(machine, ScriptExecuting(c.loopPasses, c.debugLines));
        EXPECT_EQ(machine.ExecutedCount, c.executed) << c.loopPasses << "/" << c.debugLines;
        EXPECT_EQ(host.dispatchCount, c.dispatches) << c.executed;
    }
}

TEST(RunDriverStackTest, ThousandWaitingValuesFitAndOneMoreStops) {
    // SIN takes one of its two arguments: x stays behind on the stack on every
    // pass. The NEXT of pass k needs k+2 slots.
    auto run = [](int passes) {
        testing::FakeHost host;
        Machine machine(&host);
        RunScript(machine, "float i,x,y\r\nFor i=1 to " + std::to_string(passes) +
                               "\r\ny=SIN(x,x)\r\nNext i\r\n");
        return host.messages;
    };
    EXPECT_TRUE(run(998).empty());
    EXPECT_EQ(run(999), std::vector<std::string>{
                            "Error: Operand stack full (more than 1000 values waiting)"});
}

TEST(RunDriverStackTest, MissingArgumentStopsTheRun) {
    testing::FakeHost host;
    Machine machine(&host);
    const RunResult result = RunScript(machine, "float x\r\nx=SIN()\r\n");
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Error: Missing argument"});
}

}  // namespace
}  // namespace tarvil
