// The open directory search of FILEFIND, kept between calls and between runs.
#pragma once

#include <dirent.h>
#include <locale.h>

#include <memory>
#include <string>
#include <type_traits>

namespace tarvil {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct LocaleFreer {
    void operator()(locale_t locale) const { freelocale(locale); }
};

struct FileFindState {
    std::unique_ptr<DIR, DirCloser> dir;  // null when no search is open
    std::string directory;                // directory part of the pattern, as the script wrote it
    std::string namePattern;              // the part after the directory, matched with fnmatch
    // Names are matched as UTF-8 whatever the user's locale ("?" is one
    // character, not one byte); made on first use, null where the C library has none.
    std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFreer> utf8Locale;
    bool utf8LocaleTried = false;
};

}  // namespace tarvil
