// `tarvil --batch SCRIPT [ARG ...]`: runs one script without any window.
#pragma once

namespace tarvil {

// Exit statuses of batch mode.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitStopped = 1;  // a run-time error or Ctrl+C
inline constexpr int kExitCompileError = 2;
inline constexpr int kExitBadInvocation = 3;  // unreadable script, wrong command line

// `args` are the words after --batch: the script, then its arguments.
int RunBatch(int argc, char** argv);

}  // namespace tarvil
