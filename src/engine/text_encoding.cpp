#include "engine/text_encoding.h"

#include <cstdint>

namespace tarvil {

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (char c : latin1) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

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

}  // namespace

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    while (!utf8.empty()) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(utf8, codePoint);
        if (length == 0) {
            latin1.push_back('?');
            utf8.remove_prefix(1);
            continue;
        }
        latin1.push_back(codePoint <= 0xFF ? static_cast<char>(codePoint) : '?');
        utf8.remove_prefix(length);
    }
    return latin1;
}

}  // namespace tarvil
