#include "engine/text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace tarvil {

namespace {

// Decodes one well-formed sequence at the start of `text`; returns its length
// (0 when malformed: bad lead byte, missing continuation, overlong form,
// surrogate or a value past U+10FFFF).
size_t DecodeUtf8(std::string_view text, uint32_t& codePoint) {
    const auto lead = static_cast<uint8_t>(text[0]);
    size_t length;
    uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if ((byte & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

void AppendLatin1Character(std::string& utf8, uint8_t byte) {
    if (byte < 0x80) {
        utf8.push_back(static_cast<char>(byte));
    } else {
        utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

void AppendEscapedByte(std::string& text, uint8_t byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    text += escaped;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(text, codePoint);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (char c : latin1) AppendLatin1Character(utf8, static_cast<uint8_t>(c));
    return utf8;
}

std::string DisplayTextToUtf8(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size());
    while (!bytes.empty()) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(bytes, codePoint);
        if (length == 0) {
            AppendLatin1Character(utf8, static_cast<uint8_t>(bytes[0]));
            bytes.remove_prefix(1);
        } else {
            utf8.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return utf8;
}

std::string EscapeForTerminal(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(bytes, codePoint);
        const bool control = codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
        if (length == 0 || (control && codePoint != '\t')) {
            // A C1 control's two bytes are escaped one by one, like a stray byte.
            const size_t escaped = length == 0 ? 1 : length;
            for (size_t i = 0; i < escaped; ++i) {
                AppendEscapedByte(text, static_cast<uint8_t>(bytes[i]));
            }
            bytes.remove_prefix(escaped);
        } else {
            text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return text;
}

size_t Utf8CutLength(std::string_view bytes, size_t limit) {
    if (limit >= bytes.size()) return bytes.size();
    // Step back over the continuation bytes the cut falls among, to the byte
    // that leads them; cut before it only if its sequence runs past the cut.
    size_t lead = limit;
    while (lead > 0 && limit - lead < 3 && (static_cast<uint8_t>(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    const auto first = static_cast<uint8_t>(bytes[lead]);
    size_t length = 1;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
    }
    if (lead < limit && lead + length > limit &&
        IsValidUtf8(bytes.substr(lead, std::min(length, bytes.size() - lead))))
        return lead;
    return limit;
}

}  // namespace tarvil
