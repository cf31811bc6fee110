// The desktop application: tarvil [SCRIPT [ARG ...]].
#pragma once

#include <string>
#include <vector>

namespace tarvil {

// The ClArg values of a start: every argument after the program name, script
// path first, as the bytes they came as. Called once the application object
// has taken its own options (-platform, -style, ...) out of argv.
std::vector<std::string> ScriptArguments(int argc, char** argv);

// The exit status after SIGINT, SIGTERM or SIGHUP `signal` ended the application.
inline int SignalExitStatus(int signal) {
    return 128 + signal;
}

// Opens the main window (and SCRIPT, if given), runs the script once, shows the
// splash, and returns the exit status when the window has closed. A SCRIPT that
// cannot be opened is reported and ends the application with status 1. SIGINT,
// SIGTERM and SIGHUP stop a run in progress and end the application at once,
// without questions, with SignalExitStatus.
int RunDesktop(int argc, char** argv);

}  // namespace tarvil
