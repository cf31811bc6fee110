// The script document format: a 4-byte little-endian count of the text's
// bytes, then the text, lines separated by CR LF. Older documents hold
// Latin-1 text, newer ones UTF-8; plain text files are scripts too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvil {

class FileSystemCalls;

// The editor's size limit, and so the largest count a document may carry.
inline constexpr uint32_t kMaxScriptCharacters = 0xFFFFF;

// The largest script file read, in either form: far beyond any script (the
// editor holds a sixteenth of it), small enough that a wrong file is refused
// before it fills the memory.
inline constexpr size_t kMaxScriptFileBytes = size_t{16} << 20;

// The text of a script document, or nothing when `bytes` is not one (the count
// is over the limit or the file ends before the text does). Bytes after the
// text are ignored.
std::optional<std::string> DecodeScriptDocument(std::span<const uint8_t> bytes);

// The bytes of a script document holding `text`.
std::vector<uint8_t> EncodeScriptDocument(std::string_view text);

// Writes a script document holding `text` to `path` through `calls`: the old
// file is replaced only once the whole document is written and flushed, and a
// failure leaves it as it was with no temporary behind. Returns 0 or the errno
// value of the failure.
int WriteScriptDocument(const std::string& path, std::string_view text, FileSystemCalls& calls);

// The text with every line end (LF, CR or CR LF) made CR LF.
std::string ToCrLf(std::string_view text);

// A script file's text as the compiler takes it.
struct ScriptText {
    std::string text;           // UTF-8, CR LF line ends
    bool readAsLatin1 = false;  // the bytes were not UTF-8 and were taken as Latin-1
    bool isDocument = false;    // the file was a script document (count + text)
    // Set when the bytes cannot be a script (a UTF-16 or UTF-32 text): the
    // compile message, with the line it names.
    std::string error;
};

// Script text from a file's bytes: a script document, or else plain text with
// any line ends. A UTF-8 byte-order mark is skipped; a text that is not UTF-8
// is read as Latin-1 and converted.
ScriptText DecodeScriptText(std::span<const uint8_t> bytes);

// The one "tarvil:" line that says a script was read as Latin-1.
std::string Latin1Notice(std::string_view scriptName);

}  // namespace tarvil
