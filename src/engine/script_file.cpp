#include "engine/script_file.h"

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

std::string ScriptTextFromFileBytes(std::span<const uint8_t> bytes) {
    if (auto document = DecodeScriptDocument(bytes)) return ToCrLf(*document);
    return ToCrLf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace tarvil
