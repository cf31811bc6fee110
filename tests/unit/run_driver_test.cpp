// RunScript: how a run ends, what is shown, what is returned, and the
// message-dispatch cadence of the execution loop.
#include <gtest/gtest.h>

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

TEST_F(RunDriverTest, RunTimeErrorIsShownWithoutLine) {
    const RunResult result = Run("string s\r\nfloat x\r\nx=s+1\r\nDspMes(\"not reached\")\r\n");
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.line, 0u);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Error: Argument not numeric"});
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
    EXPECT_EQ(outer.outcome, RunOutcome::Stopped);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Warning: Program stopped"});
    EXPECT_EQ(host.dispatchCount, 1);  // stopped right after the first dispatch
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
