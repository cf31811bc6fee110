#include "scratch_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tarvil::fuzz {

namespace {

constexpr const char* kScratchPrefix = "tarvil-fuzz-";

// The real path of the directory `path` names a file in; "" when it has none.
std::string RealDirectoryOf(const char* path) {
    std::string directory(path);
    const size_t slash = directory.rfind('/');
    directory = slash == std::string::npos ? "." : slash == 0 ? "/" : directory.substr(0, slash);
    char resolved[PATH_MAX];
    return realpath(directory.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string CurrentDirectory() {
    char current[PATH_MAX];
    return getcwd(current, sizeof current) != nullptr ? std::string(current) : std::string();
}

// True when `path` names a file in the current directory or below it (never
// when the current directory is the root).
bool InsideCurrentDirectory(const char* path) {
    const std::string current = CurrentDirectory();
    const std::string directory = RealDirectoryOf(path);
    if (current.empty() || current == "/" || directory.empty()) return false;
    return directory == current || directory.rfind(current + "/", 0) == 0;
}

}  // namespace

std::string EnterScratchDirectory() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                          kScratchPrefix + "XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        perror("tarvil fuzz: scratch directory");
        abort();
    }
    return pattern;
}

void EmptyScratchDirectory() {
    const std::string current = CurrentDirectory();
    const size_t slash = current.rfind('/');
    if (slash == std::string::npos ||
        current.compare(slash + 1, strlen(kScratchPrefix), kScratchPrefix) != 0) {
        fprintf(stderr, "tarvil fuzz: '%s' is not a scratch directory\n", current.c_str());
        abort();
    }
    DIR* directory = opendir(".");
    if (directory == nullptr) return;
    // Saves make plain files only, so nothing here is a directory.
    while (const dirent* entry = readdir(directory)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            unlinkat(dirfd(directory), entry->d_name, 0);
        }
    }
    closedir(directory);
}

int ScratchFileSystem::Open(const char* path, int flags, mode_t mode) {
    if ((flags & O_CREAT) != 0 && !InsideCurrentDirectory(path)) {
        errno = EACCES;
        return -1;
    }
    return FileSystemCalls::Open(path, flags, mode);
}

int ScratchFileSystem::Fsync(int fd) {
    return fcntl(fd, F_GETFD) == -1 ? -1 : 0;
}

int ScratchFileSystem::Rename(const char* from, const char* to) {
    if (!InsideCurrentDirectory(to)) {
        errno = EACCES;
        return -1;
    }
    return FileSystemCalls::Rename(from, to);
}

}  // namespace tarvil::fuzz
