#include "app/batch_mode.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <QCoreApplication>

#include "app/batch_host.h"
#include "app/script_file.h"
#include "engine/machine.h"
#include "engine/run_driver.h"
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
    int qtArgc = 1;
    char programName[] = "tarvil";
    char* qtArgv[] = {programName, nullptr};
    QCoreApplication application(qtArgc, qtArgv);

    Machine machine;
    BatchHost host(machine, interruptFd, nullptr);
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
