// The open directory search of FILEFIND, kept between calls and between runs.
#pragma once

#include <dirent.h>

#include <memory>
#include <string>

namespace tarvil {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct FileFindState {
    std::unique_ptr<DIR, DirCloser> dir;  // null when no search is open
    std::string directory;                // directory part of the pattern, as the script wrote it
    std::string namePattern;              // the part after the directory, matched with fnmatch
};

}  // namespace tarvil
