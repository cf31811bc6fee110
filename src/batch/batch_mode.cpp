#include "batch/batch_mode.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "batch/batch_host.h"
#include "batch/desktop_module_loader.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
#include "engine/script_file.h"
#include "engine/text_encoding.h"

namespace tarvil {

namespace {

constexpr size_t kMaxScriptBytes = kMaxScriptFileBytes;

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd > STDERR_FILENO) close(fd);
    }
};

// Reads all of `fd` into `bytes`, at most kMaxScriptBytes; false with `error` set otherwise.
bool ReadAll(int fd, std::vector<uint8_t>& bytes, std::string& error) {
    uint8_t piece[16384];
    for (;;) {
        const ssize_t got = read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            return false;
        }
        if (got == 0) return true;
        if (bytes.size() + static_cast<size_t>(got) > kMaxScriptBytes) {
            error = "larger than 16 MiB, which no script is";
            return false;
        }
        bytes.insert(bytes.end(), piece, piece + got);
    }
}

// The script file: a regular file only, so that a folder, a FIFO or a device
// is refused at once instead of blocking or filling the memory; "-" is
// standard input, for pipes.
bool ReadScript(const char* path, std::vector<uint8_t>& bytes, std::string& error) {
    if (std::strcmp(path, "-") == 0) return ReadAll(STDIN_FILENO, bytes, error);
    FdCloser file{open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(file.fd, &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxScriptBytes) {
        error = "larger than 16 MiB, which no script is";
        return false;
    }
    return ReadAll(file.fd, bytes, error);
}

// SIGINT, SIGTERM and SIGHUP are taken through a signalfd, so that the run
// stops between two instructions or between two pieces of image work and
// still cleans up (a save in progress removes its temporary). They are
// blocked before any thread starts, so every thread leaves them to the fd.
int OpenInterruptFd() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, signal);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) return -1;
    return signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The system clipboard needs a display, and the desktop module to reach it.
std::unique_ptr<BatchClipboard> OpenClipboard(int interruptFd, std::string& reason) {
    bool anyDisplay = false;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') anyDisplay = true;
    }
    if (!anyDisplay) {
        reason = "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
        return nullptr;
    }
    std::string error;
    const auto module = LoadDesktopModule(error);
    if (!module) {
        reason = error;
        return nullptr;
    }
    return std::unique_ptr<BatchClipboard>(module->openBatchClipboard(interruptFd, reason));
}

// The line after a stop message that says where the run stopped.
std::string StopLineNote(unsigned line, const std::string& scriptName) {
    return "tarvil: line " + std::to_string(line) + " of " + scriptName;
}

int ExitStatus(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Normal:
            return kExitNormal;
        case RunOutcome::CompileError:
            return kExitCompileError;
        default:
            return kExitStopped;
    }
}

int Run(int argc, char** argv, std::vector<uint8_t> bytes) {
    const std::string scriptName = std::strcmp(argv[0], "-") == 0 ? "standard input" : argv[0];
    ScriptText script = DecodeScriptText(bytes);
    bytes = {};
    if (!script.error.empty()) {
        std::fprintf(stderr, "%s\n", EscapeForTerminal(script.error).c_str());
        return kExitCompileError;
    }
    if (script.readAsLatin1) {
        std::fprintf(stderr, "%s\n", EscapeForTerminal(Latin1Notice(scriptName)).c_str());
    }

    const int interruptFd = OpenInterruptFd();
    // The user's locale, as a Qt application takes it; numbers in scripts and
    // in messages do not depend on it.
    std::setlocale(LC_ALL, "");

    // On the heap: the machine's tables are larger than a small thread stack.
    auto machine = std::make_unique<Machine>();
    int status;
    {
        BatchHost host(*machine, interruptFd, [interruptFd](std::string& reason) {
            return OpenClipboard(interruptFd, reason);
        });
        machine->host = &host;
        for (int i = 0; i < argc; ++i) machine->Arguments.emplace_back(argv[i]);

        const RunResult result = RunScript(*machine, script.text);
        status = ExitStatus(result.outcome);
        machine->host = nullptr;
        // Where the run stopped, unless the message has said so already.
        if (result.line != 0 && !result.lineInMessage) {
            std::fprintf(stderr, "%s\n",
                         EscapeForTerminal(StopLineNote(result.line, scriptName)).c_str());
        }
        // For measurements: how many script instructions the run executed.
        if (std::getenv("TARVIL_COUNT_INSTRUCTIONS") != nullptr) {
            std::fprintf(stderr, "tarvil: executed %llu instructions\n",
                         static_cast<unsigned long long>(machine->ExecutedCount));
        }
        // Output that was lost is no success, whatever the script did.
        if (status == kExitNormal && (host.outputError() != 0 || host.errorStreamFailed())) {
            status = kExitStopped;
        }
    }
    if (interruptFd >= 0) close(interruptFd);
    return status;
}

}  // namespace

int RunBatch(int argc, char** argv) {
    if (argc < 1) {
        std::fputs("Usage: tarvil --batch SCRIPT [ARG ...]\n", stderr);
        return kExitBadInvocation;
    }
    try {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!ReadScript(argv[0], bytes, error)) {
            std::fprintf(stderr, "tarvil: cannot read script '%s': %s\n",
                         EscapeForTerminal(argv[0]).c_str(), error.c_str());
            return kExitBadInvocation;
        }
        return Run(argc, argv, std::move(bytes));
    } catch (const std::bad_alloc&) {
        // Only outside a run: RunScript turns a lack of memory into its own stop.
        std::fputs("tarvil: out of memory\n", stderr);
        return kExitStopped;
    }
}

}  // namespace tarvil
