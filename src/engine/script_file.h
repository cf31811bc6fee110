// The script document format: a 4-byte little-endian character count, then the
// text, one Latin-1 byte per character, lines separated by CR LF.
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

// Script text as batch mode takes it from a file: a script document, or else
// plain text with any line ends. Always CR LF line ends.
std::string ScriptTextFromFileBytes(std::span<const uint8_t> bytes);

}  // namespace tarvil
