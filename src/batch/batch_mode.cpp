#include "app/batch_mode.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/batch_host.h"
#include "app/script_file.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
#include "engine/text_encoding.h"
#include "runtime_ui/system_clipboard.h"

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

// The system clipboard needs a display; without one batch mode runs on a
// plain core application and the clipboard fails at once.
bool DisplayAvailable() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// Stderr carries the script's messages, which callers parse: Qt's own
// diagnostics (a missing XDG_RUNTIME_DIR, say) stay out of it, errors stay in.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "tarvil: %s\n", message.toLocal8Bit().constData());
    }
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
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    char programName[] = "tarvil";
    char* qtArgv[] = {programName, nullptr};
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<SystemClipboard> clipboard;
    if (DisplayAvailable()) {
        application = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
        clipboard = std::make_unique<SystemClipboard>();
    } else {
        application = std::make_unique<QCoreApplication>(qtArgc, qtArgv);
    }

    Machine machine;
    BatchHost host(machine, interruptFd, clipboard.get());
    machine.host = &host;
    for (int i = 0; i < argc; ++i) machine.Arguments.push_back(Utf8ToLatin1(argv[i]));

    const RunResult result = RunScript(machine, ScriptTextFromFileBytes(bytes));
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
