// tarvil: the desktop application, or with --batch a script runner for terminals.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "batch/batch_mode.h"
#include "batch/desktop_module_loader.h"
#include "engine/text_encoding.h"

namespace {

void PrintHelp() {
    std::fputs(
        "Usage: tarvil [SCRIPT [ARG ...]]\n"
        "       tarvil --batch SCRIPT [ARG ...]\n"
        "       tarvil --batch - [ARG ...]      (the script from standard input)\n"
        "\n"
        "Edits bitmap images by script. Without --batch the editor opens and runs\n"
        "SCRIPT at once; with --batch SCRIPT runs without any window.\n"
        "\n"
        "The script sees SCRIPT and each ARG as ClArg, and their number as ClNum.\n"
        "In batch mode DSPMES prints to standard output and every other message to\n"
        "standard error. Exit status: 0 normal end, 1 stopped by an error, a signal\n"
        "or output that could not be written, 2 compile error, 3 unreadable script\n"
        "or wrong command line.\n"
        "\n"
        "Options:\n"
        "  --batch     run SCRIPT without any window\n"
        "  --help      show this help and exit\n"
        "  --version   show the version and exit\n",
        stdout);
}

// A closed standard descriptor would be taken by the next file opened, and
// script output would land in an image. Each one closed is opened on
// /dev/null read-only instead, so that writes to it fail and are reported.
void KeepStandardDescriptorsTaken() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", O_RDONLY | O_NOCTTY);
            if (opened >= 0 && opened != fd) close(opened);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    KeepStandardDescriptorsTaken();
    // A file-size limit makes a write fail with EFBIG, which a save reports,
    // instead of ending the process in the middle of a file.
    signal(SIGXFSZ, SIG_IGN);
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        PrintHelp();
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarvil %s\n", TARVIL_VERSION);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--batch") == 0) {
        return tarvil::RunBatch(argc - 2, argv + 2);
    }
    if (argc > 1 && argv[1][0] == '-' && argv[1][1] == '-') {
        std::fprintf(stderr,
                     "tarvil: unknown option '%s'\nUsage: tarvil [--batch] SCRIPT [ARG ...]\n",
                     tarvil::EscapeForTerminal(argv[1]).c_str());
        return tarvil::kExitBadInvocation;
    }
    std::string error;
    const auto module = tarvil::LoadDesktopModule(error);
    if (!module) {
        std::fprintf(stderr, "tarvil: cannot start the desktop application: %s\n", error.c_str());
        return 1;
    }
    return module->runDesktop(argc, argv);
}
