// Finding and loading the desktop module.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/desktop_module.h"

namespace tarvil {

struct DesktopModule {
    RunDesktopFunction runDesktop = nullptr;
    OpenBatchClipboardFunction openBatchClipboard = nullptr;
};

// Where the module may lie for a program at `executablePath`, in the order
// they are tried: beside the program (a build tree), then `installedDir`
// taken relative to the program's folder (an installed program).
std::vector<std::string> DesktopModuleCandidates(const std::string& executablePath,
                                                 const std::string& installedDir);

// Loads the module of the running program (found through /proc/self/exe) and
// looks up its entry points. It stays loaded until the process ends. On
// failure `error` says why in one line.
std::optional<DesktopModule> LoadDesktopModule(std::string& error);

}  // namespace tarvil
