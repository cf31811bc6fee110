// Text as bytes: UTF-8 checks, the Latin-1 reading of older scripts, what
// windows and terminals are given, and how a script file's bytes become text.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "engine/item_list.h"
#include "engine/script_file.h"
#include "engine/text_encoding.h"

namespace tarvil::testing {
namespace {

TEST(TextEncoding, Utf8ValidityDisplayAndTerminalForms) {
    const struct {
        std::string bytes;
        bool valid;
        std::string display;   // DisplayTextToUtf8
        std::string terminal;  // EscapeForTerminal
    } cases[] = {
        {"plain.bmp", true, "plain.bmp", "plain.bmp"},
        {"citt\xC3\xA0.bmp", true, "citt\xC3\xA0.bmp", "citt\xC3\xA0.bmp"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.bmp", true, "\xE6\x97\xA5\xE6\x9C\xAC.bmp",
         "\xE6\x97\xA5\xE6\x9C\xAC.bmp"},
        {"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        // Latin-1 bytes: shown as their Latin-1 characters, escaped for terminals.
        {"citt\xE0.bmp", false, "citt\xC3\xA0.bmp", "citt\\xE0.bmp"},
        {"\xC3", false, "\xC3\x83", "\\xC3"},                                    // cut short
        {"\xC0\xAF", false, "\xC3\x80\xC2\xAF", "\\xC0\\xAF"},                   // overlong
        {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xC2\x80", "\\xED\\xA0\\x80"},  // surrogate
        {"\xF4\x90\x80\x80", false, "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80",
         "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
        // Controls are valid UTF-8 but must not reach a terminal as they are.
        {"a\x1B[31mred\nb\tc\x7F", true, "a\x1B[31mred\nb\tc\x7F", "a\\x1B[31mred\\x0Ab\tc\\x7F"},
        {"\xC2\x9B"
         "2J",
         true,
         "\xC2\x9B"
         "2J",
         "\\xC2\\x9B2J"},  // C1 CSI
        {"", true, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(DisplayTextToUtf8(c.bytes), c.display) << c.bytes;
        EXPECT_TRUE(IsValidUtf8(DisplayTextToUtf8(c.bytes))) << c.bytes;
        EXPECT_EQ(EscapeForTerminal(c.bytes), c.terminal) << c.bytes;
    }
    for (int byte = 0; byte < 256; ++byte) {
        const std::string latin1(1, static_cast<char>(byte));
        EXPECT_EQ(DisplayTextToUtf8(Latin1ToUtf8(latin1)), Latin1ToUtf8(latin1)) << byte;
    }
}

// Messages and string values are cut to their size without splitting a
// character; a text that is not UTF-8 is cut where the size says.
TEST(TextEncoding, CutsKeepCharactersWhole) {
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";  // é
    EXPECT_EQ(Format("%s", accents.c_str()), accents.substr(0, 254));
    EXPECT_EQ(Format("x%s", accents.c_str()), "x" + accents.substr(0, 254));
    const std::string latin1(300, '\xE9');
    EXPECT_EQ(Format("%s", latin1.c_str()), latin1.substr(0, 255));
    EXPECT_EQ(Format("%s", std::string(300, 'a').c_str()), std::string(255, 'a'));
    EXPECT_EQ(Utf8CutLength("ab\xE6\x97\xA5", 3), 2u);
    EXPECT_EQ(Utf8CutLength("ab\xE6\x97\xA5", 5), 5u);
    EXPECT_EQ(Utf8CutLength("ab\xF0\x9F\x98\x80", 5), 2u);
}

ScriptText Decode(std::string_view bytes) {
    return DecodeScriptText(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string Document(std::string_view text) {
    const auto bytes = EncodeScriptDocument(text);
    return std::string(bytes.begin(), bytes.end());
}

TEST(ScriptText, FilesBecomeUtf8WithCrLfLineEnds) {
    using namespace std::string_literals;
    const struct {
        std::string file;
        std::string text;
        bool latin1;
        bool document;
        std::string error;
    } cases[] = {
        {"a=1\nb=2\n", "a=1\r\nb=2\r\n", false, false, ""},
        {"a=1\rb=2", "a=1\r\nb=2", false, false, ""},
        {"\xEF\xBB\xBFstring s\r\n", "string s\r\n", false, false, ""},  // mark skipped
        {"s=\"\xE6\x97\xA5\"\n", "s=\"\xE6\x97\xA5\"\r\n", false, false, ""},
        {"s=\"citt\xE0\"\n", "s=\"citt\xC3\xA0\"\r\n", true, false, ""},
        {Document("s=\"citt\xE0.bmp\"\r\n"), "s=\"citt\xC3\xA0.bmp\"\r\n", true, true, ""},
        {Document("s=\"citt\xC3\xA0.bmp\"\r\n"), "s=\"citt\xC3\xA0.bmp\"\r\n", false, true, ""},
        {"\xFF\xFE"
         "a\0=\0"s,
         "", false, false, "[0001] Error: The script is UTF-16 text; save it as UTF-8"},
        {"\xFE\xFF\0a\0="s, "", false, false,
         "[0001] Error: The script is UTF-16 text; save it as UTF-8"},
        {"f\0l\0o\0a\0t\0"s, "", false, false,
         "[0001] Error: The script is UTF-16 text; save it as UTF-8"},
        {"\xFF\xFE\0\0a\0\0\0"s, "", false, false,
         "[0001] Error: The script is UTF-32 text; save it as UTF-8"},
        {"f\0\0\0l\0\0\0"s, "", false, false,
         "[0001] Error: The script is UTF-32 text; save it as UTF-8"},
        {"", "", false, false, ""},
    };
    for (const auto& c : cases) {
        const ScriptText script = Decode(c.file);
        EXPECT_EQ(script.error, c.error) << c.file;
        if (!c.error.empty()) continue;
        EXPECT_EQ(script.text, c.text) << c.file;
        EXPECT_EQ(script.readAsLatin1, c.latin1) << c.file;
        EXPECT_EQ(script.isDocument, c.document) << c.file;
    }
}

}  // namespace
}  // namespace tarvil::testing
