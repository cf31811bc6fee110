// The engine works on single-byte Latin-1 text, as script files store it; the
// file system speaks UTF-8. File names are converted at that boundary.
#pragma once

#include <string>
#include <string_view>

namespace tarvil {

std::string Latin1ToUtf8(std::string_view latin1);

// Characters outside Latin-1 and malformed sequences (one per offending byte) become "?".
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace tarvil
