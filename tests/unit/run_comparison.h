// Runs one script twice, with the faster forms of instructions and without
// them, and compares everything observable: messages, the instructions
// executed, when events were dispatched, the Debug listings, and every Item
// (variables, members, the images temporaries hold) as the run left it at its end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/image_record.h"
#include "engine/run_driver.h"
#include "unit/fake_host.h"

namespace tarvil::testing {

struct ItemState {
    std::string name;
    TypeCode typeCode;
    std::vector<uint8_t> value;
    ImageBlock image;
    bool operator==(const ItemState&) const = default;
};

// Records what a run leaves: the Items when the run ends (the progress dialog
// is closed before anything is released), the executed count at each dispatch,
// and can stop the run at a given dispatch as Ctrl+C or a second Run would.
class RecordingHost : public FakeHost {
public:
    explicit RecordingHost(int stopAtDispatch = 0) : stopAtDispatch_(stopAtDispatch) {}
    Machine* machine = nullptr;
    std::vector<uint64_t> dispatchedAfter;
    std::vector<ItemState> finalItems;

    void DispatchPendingMessages() override {
        FakeHost::DispatchPendingMessages();
        dispatchedAfter.push_back(machine->ExecutedCount);
        if (static_cast<int>(dispatchedAfter.size()) == stopAtDispatch_)
            PushStop(*machine, "Warning: Program stopped");
    }
    int UpdateProgress(const char* text, uint16_t percent) override {
        if (text == nullptr && finalItems.empty()) Snapshot();
        return FakeHost::UpdateProgress(text, percent);
    }

private:
    void Snapshot() {
        for (const Item* item = machine->VariableTable.head.get(); item != nullptr;
             item = item->next.get()) {
            ItemState state{item->name.value_or(""), item->typeCode, {}, {}};
            // A temporary is the machine's scratch: once the instruction after
            // it has taken its value, no instruction, dialog or file reads it,
            // and the faster forms may leave it unwritten. Its image counts.
            if (state.name.rfind("Temp Var", 0) == 0) {
                state.typeCode = 0;
                if (item->image) state.image = item->image->block;
                finalItems.push_back(std::move(state));
                continue;
            }
            if (item->value != nullptr) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(item->value);
                state.value.assign(bytes, bytes + item->size);
            }
            if (item->image) state.image = item->image->block;
            finalItems.push_back(std::move(state));
            // A packed array's other elements, as their Items would be.
            const DeclaredArray* array = machine->Arrays.StartingAt(item);
            if (array == nullptr || !array->Packed()) continue;
            VisitPackedElements(*array, [this](const Item& element) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(element.value);
                finalItems.push_back({*element.name,
                                      element.typeCode,
                                      std::vector<uint8_t>(bytes, bytes + element.size),
                                      {}});
            });
        }
    }
    int stopAtDispatch_;
};

struct Outcome {
    RunResult result;
    std::vector<std::string> messages;
    uint64_t executed;
    std::vector<uint64_t> dispatchedAfter;
    std::vector<ItemState> items;
    std::vector<DebugCall> debugCalls;
};

struct RunSetup {
    int stopAtDispatch = 0;
    std::deque<int> debugAnswers;  // what the Debug dialogs answer in turn (1 Continue, 2 Stop)
    std::vector<std::string> arguments;  // ClArg, the script's name first
    // The script is one that does not compile: the comparison is of its message.
    bool compileErrorExpected = false;
    // Called before each of the two runs (a fresh working folder).
    std::function<void()> beforeEachRun;
    // False as in batch mode without a display.
    bool clipboardAvailable = true;
};

inline Outcome RunWith(bool fast, const std::string& script, const RunSetup& setup) {
    if (setup.beforeEachRun) setup.beforeEachRun();
    RecordingHost host(setup.stopAtDispatch);
    host.debugAnswers = setup.debugAnswers;
    host.clipboardAvailable = setup.clipboardAvailable;
    Machine machine(&host);
    host.machine = &machine;
    machine.Arguments = setup.arguments;
    machine.FuseInstructions = fast;
    const RunResult result = RunScript(machine, script);
    return {result,          host.messages,  machine.ExecutedCount, host.dispatchedAfter,
            host.finalItems, host.debugCalls};
}

inline Outcome RunWith(bool fast, const std::string& script, int stopAtDispatch = 0,
                       std::deque<int> debugAnswers = {}) {
    return RunWith(fast, script,
                   RunSetup{stopAtDispatch, std::move(debugAnswers), {}, false, {}, true});
}

// Compares the two runs. A comparison of two runs that never started proves
// nothing: each must have executed instructions, unless the script is one
// that is meant not to compile.
inline void ExpectSameRun(const std::string& script, const RunSetup& setup) {
    const Outcome plain = RunWith(false, script, setup);
    const Outcome fast = RunWith(true, script, setup);
    if (setup.compileErrorExpected) {
        EXPECT_EQ(plain.result.outcome, RunOutcome::CompileError);
    } else {
        EXPECT_NE(plain.result.outcome, RunOutcome::CompileError)
            << (plain.messages.empty() ? std::string() : plain.messages.front());
        EXPECT_GT(plain.executed, 0u);
    }
    ASSERT_EQ(fast.debugCalls.size(), plain.debugCalls.size());
    for (size_t i = 0; i < plain.debugCalls.size(); ++i) {
        EXPECT_EQ(fast.debugCalls[i].line, plain.debugCalls[i].line);
        EXPECT_EQ(fast.debugCalls[i].variableLines, plain.debugCalls[i].variableLines);
    }
    EXPECT_EQ(fast.result.outcome, plain.result.outcome);
    EXPECT_EQ(fast.result.line, plain.result.line);
    EXPECT_EQ(fast.messages, plain.messages);
    EXPECT_EQ(fast.executed, plain.executed);
    EXPECT_EQ(fast.dispatchedAfter, plain.dispatchedAfter);
    ASSERT_EQ(fast.items.size(), plain.items.size());
    for (size_t i = 0; i < plain.items.size(); ++i)
        EXPECT_TRUE(fast.items[i] == plain.items[i]) << "Item " << i << " " << plain.items[i].name;
}

inline void ExpectSameRun(const std::string& script, int stopAtDispatch = 0,
                          const std::deque<int>& debugAnswers = {}) {
    ExpectSameRun(script, RunSetup{stopAtDispatch, debugAnswers, {}, false, {}, true});
}

}  // namespace tarvil::testing
