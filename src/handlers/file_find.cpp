// FILEFIND(pattern): a non-empty pattern starts a new directory search and
// empties the variable that held it; an empty one continues the open search.
// The result is the pattern's directory part followed by the entry's name, or
// empty text when nothing (more) matches. No errors: an unreadable directory
// simply matches nothing.
#include <fnmatch.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/file_find.h"
#include "engine/text_encoding.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

constexpr size_t kMaxResultChars = 254;

// The text a string Item holds; other types count as empty text.
std::string_view PatternText(const Item& item) {
    return item.typeCode == kTypeString ? ItemText(item) : std::string_view{};
}

// Length of the directory part: up to and including the last "/", or "\" or
// ":" for scripts written on Windows; 0 when there is none.
size_t DirectoryPartLength(std::string_view pattern) {
    const size_t separator = pattern.find_last_of("/\\:");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

// The next entry of the open search that matches its pattern; ends
// the search and returns null when there is none.
const char* NextMatch(FileFindState& state) {
    if (!state.dir) return nullptr;
    if (!state.utf8LocaleTried) {
        state.utf8LocaleTried = true;
        state.utf8Locale.reset(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr));
    }
    // fnmatch follows the thread's character type; a name that is not UTF-8
    // is matched byte by byte.
    const locale_t previous = state.utf8Locale ? uselocale(state.utf8Locale.get()) : nullptr;
    const char* match = nullptr;
    while (const dirent* entry = readdir(state.dir.get())) {
        if (fnmatch(state.namePattern.c_str(), entry->d_name, 0) == 0) {
            match = entry->d_name;
            break;
        }
    }
    if (previous != nullptr) uselocale(previous);
    if (match == nullptr) state.dir.reset();
    return match;
}

void StartSearch(FileFindState& state, std::string_view pattern) {
    const size_t directoryLength = DirectoryPartLength(pattern);
    state.dir.reset();
    state.directory.assign(pattern.substr(0, directoryLength));
    state.namePattern.assign(pattern.substr(directoryLength));
    const std::string path = state.directory.empty() ? "." : state.directory;
    state.dir.reset(opendir(path.c_str()));
}

// Stores `text` as the result's string value, cut to what the block holds with its terminator.
void StoreText(Item& result, std::string_view text) {
    result.typeCode = kTypeString;
    if (result.value == nullptr || result.size == 0) return;
    const size_t count = Utf8CutLength(text, std::min(kMaxResultChars, size_t{result.size} - 1));
    result.textCut = count < text.size();
    std::memcpy(result.value, text.data(), count);
    std::memset(result.value + count, 0, result.size - count);
}

}  // namespace

void FuncFileFind(Machine& m) {
    Item* patternItem = PopItem(m);
    FileFindState& state = *m.FileFind;
    const std::string_view pattern = PatternText(*patternItem);
    if (!pattern.empty()) {
        // A pattern cut to fit its variable would search another folder or for other names.
        if (patternItem->textCut) {
            state.dir.reset();
        } else {
            StartSearch(state, pattern);
        }
        // The variable is emptied, so calling again with it continues this search.
        patternItem->value[0] = std::byte{0};
    }

    std::string found;
    if (const char* name = NextMatch(state)) found = state.directory + name;

    Item* result = m.Current().item;
    if (result == nullptr) return;
    StoreText(*result, found);
    PushItem(m, result);
}

}  // namespace tarvil
