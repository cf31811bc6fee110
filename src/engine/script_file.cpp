#include "engine/script_file.h"

#include "engine/text_encoding.h"
#include "image/file_access.h"

namespace tarvil {

std::optional<std::string> DecodeScriptDocument(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const uint32_t count =
        bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    if (count > kMaxScriptCharacters || bytes.size() - 4 < count) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes.data()) + 4, count);
}

std::vector<uint8_t> EncodeScriptDocument(std::string_view text) {
    const auto count = static_cast<uint32_t>(text.size());
    std::vector<uint8_t> bytes;
    bytes.reserve(4 + text.size());
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(count >> shift));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

int WriteScriptDocument(const std::string& path, std::string_view text, FileSystemCalls& calls) {
    return ReplaceFile(path, EncodeScriptDocument(text), calls);
}

std::string ToCrLf(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            result += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            result += "\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// UTF-16 and UTF-32 texts, with a byte-order mark or (for the common case of
// a text that begins with an ASCII character) without one.
const char* WideEncoding(std::string_view text) {
    using namespace std::string_view_literals;
    if (StartsWith(text, "\xFF\xFE\0\0"sv) || StartsWith(text, "\0\0\xFE\xFF"sv)) return "UTF-32";
    if (StartsWith(text, "\xFF\xFE"sv) || StartsWith(text, "\xFE\xFF"sv)) return "UTF-16";
    if (text.size() >= 4) {
        const bool zero[4] = {text[0] == 0, text[1] == 0, text[2] == 0, text[3] == 0};
        if ((!zero[0] && zero[1] && zero[2] && zero[3]) ||
            (zero[0] && zero[1] && zero[2] && !zero[3]))
            return "UTF-32";
    }
    if (text.size() >= 2 && ((text[0] != 0 && text[1] == 0) || (text[0] == 0 && text[1] != 0)))
        return "UTF-16";
    return nullptr;
}

}  // namespace

ScriptText DecodeScriptText(std::span<const uint8_t> bytes) {
    ScriptText result;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::optional<std::string> document = DecodeScriptDocument(bytes);
    if (document) {
        result.isDocument = true;
        text = *document;
    }
    if (const char* encoding = WideEncoding(text)) {
        result.error =
            std::string("[0001] Error: The script is ") + encoding + " text; save it as UTF-8";
        return result;
    }
    if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
    if (IsValidUtf8(text)) {
        result.text = ToCrLf(text);
    } else {
        result.readAsLatin1 = true;
        result.text = ToCrLf(Latin1ToUtf8(text));
    }
    return result;
}

std::string Latin1Notice(std::string_view scriptName) {
    return "tarvil: " + std::string(scriptName) + ": not UTF-8, read as Latin-1 (ISO 8859-1)";
}

}  // namespace tarvil
