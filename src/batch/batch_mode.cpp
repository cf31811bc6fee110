#include "batch/batch_mode.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "batch/batch_host.h"
#include "batch/desktop_module_loader.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
#include "engine/script_file.h"
#include "engine/text_encoding.h"

namespace tarvil {

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

// Ctrl+C is taken through a signalfd, so the run can stop between two
// instructions and still clean up. SIGINT is blocked before any thread starts.
int OpenInterruptFd() {
    sigset_t interruptSignals;
    sigemptyset(&interruptSignals);
    sigaddset(&interruptSignals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &interruptSignals, nullptr) != 0) return -1;
    return signalfd(-1, &interruptSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The system clipboard needs a display; without one batch mode runs without
// Qt and the clipboard fails at once.
bool DisplayAvailable() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// The clipboard from the desktop module; without the module the run goes on
// without a clipboard, after one warning.
std::unique_ptr<BatchClipboard> OpenClipboard(int interruptFd) {
    std::string error;
    const auto module = LoadDesktopModule(error);
    if (!module) {
        std::fprintf(stderr, "tarvil: no system clipboard: %s\n", error.c_str());
        return nullptr;
    }
    return std::unique_ptr<BatchClipboard>(module->openBatchClipboard(interruptFd));
}

}  // namespace

int RunBatch(int argc, char** argv) {
    if (argc < 1) {
        std::fputs("Usage: tarvil --batch SCRIPT [ARG ...]\n", stderr);
        return kExitBadInvocation;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(argv[0], bytes, error)) {
        std::fprintf(stderr, "tarvil: cannot read script '%s': %s\n", argv[0], error.c_str());
        return kExitBadInvocation;
    }

    const int interruptFd = OpenInterruptFd();
    // The user's locale, as a Qt application takes it: number text follows it.
    std::setlocale(LC_ALL, "");
    // Declared before the machine and the host, so it outlives them; its end
    // ends the GUI application, which hands our image to a clipboard manager.
    std::unique_ptr<BatchClipboard> clipboard;
    if (DisplayAvailable()) clipboard = OpenClipboard(interruptFd);

    Machine machine;
    BatchHost host(machine, interruptFd, clipboard.get());
    machine.host = &host;
    for (int i = 0; i < argc; ++i) machine.Arguments.emplace_back(argv[i]);

    const ScriptText script = DecodeScriptText(bytes);
    if (!script.error.empty()) {
        std::fprintf(stderr, "%s\n", script.error.c_str());
        if (interruptFd >= 0) close(interruptFd);
        return kExitCompileError;
    }
    if (script.readAsLatin1) std::fprintf(stderr, "%s\n", Latin1Notice(argv[0]).c_str());
    const RunResult result = RunScript(machine, script.text);
    if (interruptFd >= 0) close(interruptFd);
    switch (result.outcome) {
        case RunOutcome::Normal:
            return kExitNormal;
        case RunOutcome::CompileError:
            return kExitCompileError;
        default:
            return kExitStopped;
    }
}

}  // namespace tarvil
