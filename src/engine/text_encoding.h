// Text is kept as bytes. Script texts, names and messages are UTF-8 wherever
// they meet the system; older script documents hold Latin-1, which is
// converted once when the script is read. Windows and terminals show engine
// text with these helpers, so that no byte is lost or changed on the way.
#pragma once

#include <string>
#include <string_view>

namespace tarvil {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

std::string Latin1ToUtf8(std::string_view latin1);

// The longest length up to `limit` at which `bytes` can be cut without
// splitting a well-formed UTF-8 sequence (a text that is not UTF-8 there is
// cut at `limit`).
size_t Utf8CutLength(std::string_view bytes, size_t limit);

// Engine text for display: well-formed UTF-8 sequences stay as they are, every
// other byte is taken as the Latin-1 character of that value. The result is
// well-formed UTF-8 and equals `bytes` when they were.
std::string DisplayTextToUtf8(std::string_view bytes);

// Engine text for a terminal's error stream: as DisplayTextToUtf8, with
// control characters (C0, DEL and C1) and bytes that are not UTF-8 written as
// "\xHH", so that a name or a text cannot move the cursor or change colours.
// Tabs stay as they are.
std::string EscapeForTerminal(std::string_view bytes);

}  // namespace tarvil
