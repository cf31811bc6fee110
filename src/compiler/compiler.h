// The one-pass compiler: script text to CodeTable, line by line.
//
// Each line is classified by a small scanner and the KeywordTable and compiled
// at once; expressions are compiled left to right, without precedence, into
// stack code whose results go to compile-time temporaries. The first error
// ends the compilation after its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/machine.h"

namespace tarvil {

// Source lines hold at most this many characters.
inline constexpr size_t kMaxLineLength = 255;
// A declaration creates at most this many elements.
inline constexpr long kMaxArrayElements = 1 << 20;

// Character classes of the language. They are ASCII only and never follow the
// user's locale: under a Latin-1 locale isalpha() takes "à" for a letter.
constexpr bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}
// A character of a variable name as a reference reads it: a digit ends a name.
constexpr bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Compiles the whole text (lines separated by CR; an LF becomes a blank).
// True when no entry reached the StopList. A NUL byte anywhere is an error on
// its line.
bool CompileScript(Machine& machine, std::string_view text);

// Statement code of a line (a KeywordTable code, kw::kAssignment, or 0) and the
// position where the statement's own compiler starts.
int32_t ClassifyLine(std::string_view line, size_t& cursor);

// Code of the first KeywordTable entry that begins `text` (letter case
// ignored), 0 when none does. `keyword` receives the table's spelling.
int32_t MatchKeyword(std::string_view text, std::string_view* keyword = nullptr);

// Removes blanks at both ends.
std::string TrimBlanks(std::string_view text);

// Expressions. Each returns false after reporting its first error.
bool CompileExpression(Machine& machine, std::string& text);
bool CompileSubExpression(Machine& machine, std::string& text, size_t& cursor);

struct ExpressionEnd {
    bool balanced = true;
    size_t end = 0;
    size_t openQuote = std::string::npos;  // an unterminated string literal starts here
};
// The end of the bracket level that starts at `start`: the first closing
// bracket without an opening, or the end of the text. Brackets inside string
// literals do not count.
ExpressionEnd FindExpressionEnd(std::string_view text, size_t start);

// The decimal number at `cursor`, rounded to single precision, read with "." as
// the point whatever the locale. A number is a run of digits and points and an
// optional exponent ("e" or "E", an optional sign, digits); its value is what
// the run's longest valid start gives (1.5.7 is 1.5). `cursor` ends on the
// number's last character. An "e" that no digit follows (1e, 1e+) is not part
// of the number: `incompleteExponent` is set then.
float ReadNumber(std::string_view text, size_t& cursor, bool* incompleteExponent = nullptr);

// CreateItem for the compiler: when memory runs out the compilation stops
// with "Memoria insufficiente" (after the host has shown it), so that no
// program runs with a piece of a line left out.
Item* CreateCompilerItem(Machine& machine, ItemList& list, TypeCode typeCode, const void* source,
                         uint32_t size, std::optional<std::string_view> name);

// Resolves a variable, member or array reference at the start of `text`
// (emitting the index code and IndexArray for an array reference). Null when
// nothing fits; `reported` is set when the lookup already put its own error
// on the StopList. A missing array is reported as `shownName` (the array's
// name when empty).
Item* LookupVariable(Machine& machine, std::string_view text, bool* reported = nullptr,
                     std::string_view shownName = {});

// Statements.
void CompileAssignment(Machine& machine, std::string_view target, std::string_view expression);
void CompileDeclaration(Machine& machine, TypeCode typeCode, std::string_view names);
void CompileParameterStatement(Machine& machine, int32_t code, std::string_view parameters);
void CompileFor(Machine& machine, std::string_view text);
void CompileNext(Machine& machine, std::string_view text);
void CompileIf(Machine& machine, std::string_view text);
void CompileElse(Machine& machine);
void CompileEndif(Machine& machine);

// A fresh "Temp Var" for one operator or function result.
Item* CreateTemporary(Machine& machine);

}  // namespace tarvil
