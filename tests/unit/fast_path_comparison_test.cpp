// Every benchmark workload (on small inputs) and every script of the script
// tests runs the same with the faster forms of instructions as without them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/script_file.h"
#include "unit/fake_host.h"
#include "unit/image_test_support.h"
#include "unit/run_comparison.h"

namespace tarvil {
namespace {

namespace fs = std::filesystem;
using testing::ExpectSameRun;
using testing::RunSetup;

// The project's folder: the test data folder is its tests/.
fs::path SourceFolder() {
    const char* data = std::getenv("TARVIL_TEST_DATA");
    return data != nullptr ? fs::path(data).parent_path() : fs::path();
}

std::string ScriptAt(const fs::path& path) {
    const std::vector<uint8_t> bytes = testing::ReadBytes(path.string());
    return DecodeScriptText(bytes).text;
}

// Replaces `from` by `to` in `text`, once or more; a text without it is a
// fault of the table, not a smaller run.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    for (; at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Restores the current folder the runs change.
class WorkingFolder {
public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    fs::path previous_;
};

TEST(FastPathComparisonTest, EveryWorkloadRunsTheSameOnSmallInputs) {
    ASSERT_FALSE(SourceFolder().empty()) << "TARVIL_TEST_DATA is not set";
    const fs::path bench = SourceFolder() / "bench";
    testing::ScratchFolder folder;
    const std::vector<std::string> inputs = {"rgb24", "smooth24", "pal8", "grey8", "small24"};
    {
        std::string maker = ScriptAt(bench / "make_workload_inputs.bas");
        ReplaceAll(maker, "side=1024", "side=14");
        testing::FakeHost host;
        Machine machine(&host);
        machine.Arguments = {"make_workload_inputs.bas"};
        for (const std::string& input : inputs)
            machine.Arguments.push_back(folder.File(input + ".bmp"));
        ASSERT_EQ(RunScript(machine, maker).outcome, RunOutcome::Normal) << host.messages.back();
    }
    struct Workload {
        const char* name;
        const char* input;  // none for the number workloads
        std::vector<std::pair<std::string, std::string>> smaller;
    };
    const std::vector<Workload> workloads = {
        {"grey", "rgb24", {}},
        {"invert", "rgb24", {}},
        {"bricon", "rgb24", {}},
        {"gamma", "rgb24", {}},
        {"threshold", "rgb24", {}},
        {"hue", "smooth24", {}},
        {"sepia", "rgb24", {}},
        {"blur", "rgb24", {}},
        {"sobel", "grey8", {}},
        {"flip", "rgb24", {}},
        {"rotate", "rgb24", {}},
        {"scale", "small24", {}},
        {"remap", "pal8", {}},
        {"nearest", "smooth24", {}},
        {"hist", nullptr, {{"2047", "37"}}},
        {"mandel", nullptr, {{"599", "9"}, {"799", "13"}}},
        {"sieve", nullptr, {{"300001", "501"}, {"300000", "500"}}},
    };
    for (const Workload& workload : workloads) {
        SCOPED_TRACE(workload.name);
        std::string script = ScriptAt(bench / "workloads" / (std::string(workload.name) + ".bas"));
        for (const auto& [from, to] : workload.smaller) ReplaceAll(script, from, to);
        RunSetup setup;
        setup.arguments = {std::string(workload.name) + ".bas"};
        if (workload.input != nullptr) {
            setup.arguments.push_back(folder.File(std::string(workload.input) + ".bmp"));
            setup.arguments.push_back(folder.File(std::string(workload.name) + ".bmp"));
        }
        ExpectSameRun(script, setup);
        // A stop at the first dispatch lands inside the work of every workload.
        setup.stopAtDispatch = 1;
        ExpectSameRun(script, setup);
    }
}

TEST(FastPathComparisonTest, EveryScriptTestRunsTheSame) {
    ASSERT_FALSE(SourceFolder().empty()) << "TARVIL_TEST_DATA is not set";
    const fs::path scripts = SourceFolder() / "tests" / "scripts";
    testing::ScratchFolder folder;
    size_t compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(scripts)) {
        if (entry.path().extension() != ".bas") continue;
        SCOPED_TRACE(entry.path().string());
        const std::vector<uint8_t> bytes = testing::ReadBytes(entry.path().string());
        const ScriptText decoded = DecodeScriptText(bytes);
        // A text that cannot be a script never reaches the compiler.
        if (!decoded.error.empty()) continue;
        fs::path base = entry.path();
        base.replace_extension();
        RunSetup setup;
        setup.arguments = {entry.path().filename().string()};
        std::ifstream args(base.string() + ".args");
        for (std::string line; std::getline(args, line);) setup.arguments.push_back(line);
        std::ifstream status(base.string() + ".status");
        int expectedStatus = 0;
        status >> expectedStatus;
        setup.compileErrorExpected = expectedStatus == 2;
        // The script tests run batch mode without a display.
        setup.clipboardAvailable = false;
        // Each run starts in an empty folder holding only the script, as batch mode's tests do.
        const fs::path work = folder.path() / "work";
        setup.beforeEachRun = [&] {
            fs::current_path(folder.path());
            fs::remove_all(work);
            fs::create_directories(work);
            fs::copy_file(entry.path(), work / entry.path().filename());
            fs::current_path(work);
        };
        WorkingFolder inFolder(folder.path());
        ExpectSameRun(decoded.text, setup);
        ++compared;
    }
    EXPECT_GT(compared, 40u);
}

}  // namespace
}  // namespace tarvil
