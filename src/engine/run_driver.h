// RunScript: compiles a script, runs it and cleans up after it.
#pragma once

#include <string_view>

#include "engine/machine.h"

namespace tarvil {

enum class RunOutcome {
    Normal,        // the run ended with "End"
    CompileError,  // compilation stopped; nothing ran
    Stopped,       // a run-time error or a stop request ended the run
    Refused,       // a run was already in progress; it has been asked to stop
};

struct RunResult {
    // The line the run stopped at: the one a compile error names (or, for a
    // message without a line such as "Else senza IF", the line being
    // compiled), or that of the instruction a run-time error or a stop
    // request ended the run in. 0 after a normal end, a refused run, or a
    // stop before the first instruction.
    unsigned line = 0;
    RunOutcome outcome = RunOutcome::Normal;
    // The stop message already begins with the line ("[0012] Error: ...").
    bool lineInMessage = false;
};

// Runs `text` (UTF-8, lines ended by CR LF). A call made while a run is in
// progress (from a handler's event dispatching) stops that run instead.
RunResult RunScript(Machine& machine, std::string_view text);

// Runs the CodeTable from index 0 until the StopList is not empty.
void ExecuteCode(Machine& machine);

}  // namespace tarvil
