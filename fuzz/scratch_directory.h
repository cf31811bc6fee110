// Keeping fuzzed scripts away from files that matter.
#pragma once

#include <string>

#include "image/file_access.h"

namespace tarvil::fuzz {

// Creates a fresh directory under $TMPDIR (or /tmp) and makes it the current
// one; returns its path. Aborts when that is impossible.
std::string EnterScratchDirectory();

// Removes the files an earlier input saved into the current directory, so
// that every input starts from an empty one (FILEFIND lists it). Aborts when
// the current directory is not a scratch directory.
void EmptyScratchDirectory();

// The file-system calls of a fuzzed machine: SAVEIMAGE creates and replaces
// files inside the current (scratch) directory only, and skips the flush to
// disk, which scratch files do not need and which would make scripts that
// save a hundred times slower. Everything else about a save runs as usual.
class ScratchFileSystem final : public FileSystemCalls {
public:
    int Open(const char* path, int flags, mode_t mode) override;
    int Fsync(int fd) override;
    int Rename(const char* from, const char* to) override;
};

}  // namespace tarvil::fuzz
