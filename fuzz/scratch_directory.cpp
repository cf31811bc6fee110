#include "scratch_directory.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tarvil::fuzz {

std::string EnterScratchDirectory() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarvil-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        perror("tarvil fuzz: scratch directory");
        abort();
    }
    return pattern;
}

namespace {

// The real path of the directory `path` names a file in; "" when it has none.
std::string RealDirectoryOf(const char* path) {
    std::string directory(path);
    const size_t slash = directory.rfind('/');
    directory = slash == std::string::npos ? "." : slash == 0 ? "/" : directory.substr(0, slash);
    char resolved[PATH_MAX];
    return realpath(directory.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

}  // namespace

}  // namespace tarvil::fuzz

// Saving an image ends in rename(). Linked into the fuzz programs only, this
// one refuses every target outside the current (scratch) directory, so a
// fuzzed SAVEIMAGE can create or replace no other file. Everything else about
// a save runs as usual.
extern "C" int rename(const char* from, const char* to) noexcept {
    char current[PATH_MAX];
    const std::string target = tarvil::fuzz::RealDirectoryOf(to);
    if (getcwd(current, sizeof current) == nullptr || target.empty() ||
        std::string(current) == "/" ||
        (target != current && target.rfind(std::string(current) + "/", 0) != 0)) {
        errno = EACCES;
        return -1;
    }
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

// Scratch files need no durability, and a flush to disk per save would make
// fuzzing scripts that save images a hundred times slower.
extern "C" int fsync(int fd) {
    return fcntl(fd, F_GETFD) == -1 ? -1 : 0;
}
