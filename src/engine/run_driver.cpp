#include "engine/run_driver.h"

#include <cctype>
#include <cstdlib>
#include <new>
#include <string>

#include "compiler/compiler.h"
#include "engine/host.h"
#include "engine/image_record.h"
#include "fast/fast_paths.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

constexpr std::string_view kOutOfMemoryMessage = "Memoria insufficiente";

// The first dispatch comes after the 1025th instruction, then after every 4097th.
constexpr unsigned kFirstDispatchCountdown = 1024;
constexpr unsigned kDispatchCountdown = 4096;

// The number a stop message begins with at its second character: the line of
// a "[0012] Error: ..." message, 0 for every other text.
unsigned LineOfMessage(std::string_view text) {
    if (text.size() < 2) return 0;
    size_t i = 1;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned long long value = 0;
    bool anyDigit = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        anyDigit = true;
        if (value < 0xFFFFFFFFull) value = value * 10 + static_cast<unsigned>(text[i] - '0');
        ++i;
    }
    if (!anyDigit || negative) return 0;
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(value);
}

}  // namespace

void ExecuteCode(Machine& machine) {
    machine.ProgramCounter = 0;
    machine.ExecutedCount = 0;
    machine.StopLine = 0;
    if (!machine.StopList.empty()) return;
    PrepareFastForms(machine, machine.FuseInstructions);
    machine.Executing = true;
    unsigned countdown = kFirstDispatchCountdown;
    for (;;) {
        if (machine.ProgramCounter >= machine.EmitCount) {
            // Only a jump past the compiled code gets here; never run stale entries.
            PushStop(machine, "Error: Jump outside the program");
            break;
        }
        // A faster form of the instructions from here on, when there is one
        // and no dispatch falls inside it, so events are dispatched after
        // exactly the same instructions. It never stops the run.
        if (const uint32_t done = RunFastForm(machine, countdown)) {
            countdown -= done;
            continue;
        }
        const Instruction& instruction = machine.CodeTable[machine.ProgramCounter];
        instruction.handler(machine);
        ++machine.ExecutedCount;
        if (countdown != 0) {
            --countdown;
        } else {
            if (machine.host != nullptr) machine.host->DispatchPendingMessages();
            countdown = kDispatchCountdown;
        }
        ++machine.ProgramCounter;
        if (!machine.StopList.empty()) {
            // Read only here: the loop itself never looks at lines.
            machine.StopLine = instruction.line;
            break;
        }
    }
    machine.Executing = false;
    machine.FastForms.reset();  // it points at Items the clean-up frees
}

RunResult RunScript(Machine& machine, std::string_view text) {
    if (machine.RunInProgress) {
        PushStop(machine, "Warning: Program stopped");
        return {0, RunOutcome::Refused};
    }
    // The guard covers the whole run, clean-up included: a Run arriving while the
    // progress dialog closes is refused rather than started on half-freed state.
    machine.RunInProgress = true;
    machine.EmitCount = 0;
    machine.StackTop = 0;
    machine.StopLine = 0;

    // Memory running out where no message can be recorded any more ends the
    // compilation or the run here; what it held is freed before anything is shown.
    bool compiled = false;
    bool outOfMemory = false;
    try {
        compiled = CompileScript(machine, text);
        // A stop requested while a long compilation ran (large arrays) ends
        // the run before its first instruction.
        if (compiled && !RunStopRequested(machine)) ExecuteCode(machine);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
        if (machine.Executing && machine.ProgramCounter < machine.EmitCount) {
            machine.StopLine = machine.CodeTable[machine.ProgramCounter].line;
        }
        machine.Executing = false;
    }
    if (outOfMemory) {
        ClearList(machine.VariableTable);
        machine.Arrays.clear();
        ClearList(machine.StopList);
    }

    // The message that ended the run is taken now: a Run refused while the
    // clean-up dispatches events must not replace it.
    const Item* stop = ItemAt(machine.StopList, 0);
    const bool stopped = outOfMemory || (stop != nullptr && (!stop->name || *stop->name != "End"));
    const std::string message = outOfMemory             ? std::string(kOutOfMemoryMessage)
                                : stopped && stop->name ? *stop->name
                                                        : std::string();

    if (machine.host != nullptr) machine.host->UpdateProgress(nullptr, 0);
    // Every variable goes with its block; an image goes with the last variable or
    // temporary holding it, so each image and preview is released exactly once.
    ClearList(machine.VariableTable);
    machine.Arrays.clear();

    RunResult result;
    result.outcome = compiled ? RunOutcome::Normal : RunOutcome::CompileError;
    if (stopped) {
        if (compiled) {
            result.outcome = RunOutcome::Stopped;
            result.line = machine.StopLine;
        } else {
            result.line = LineOfMessage(message);
            result.lineInMessage = result.line != 0;
            // "Else senza IF", "Endif senza IF", a lack of memory: the line
            // the compiler stopped in.
            if (!result.lineInMessage) result.line = machine.LineNumber;
        }
        if (machine.host != nullptr) {
            machine.host->RunStopped(result.line);
            machine.host->ShowMessage(message, MessageKind::System);
        }
    }
    ClearList(machine.StopList);
    ClearList(machine.BranchList);
    ClearList(machine.LoopList);
    machine.StackTop = 0;
    machine.RunInProgress = false;

    if (machine.ExitRequested && machine.host != nullptr) machine.host->RequestClose();
    return result;
}

}  // namespace tarvil
