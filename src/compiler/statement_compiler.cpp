// CompileScript: splits the text into lines, classifies each and dispatches it.
#include <algorithm>
#include <charconv>
#include <limits>

#include "compiler/compiler.h"
#include "engine/host.h"
#include "engine/values.h"
#include "handlers/handlers.h"

namespace tarvil {

std::string TrimBlanks(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    return std::string(text.substr(begin, end - begin));
}

int32_t ClassifyLine(std::string_view line, size_t& cursor) {
    enum { kLeadingBlanks, kFirstWord, kBlanksAfterWord, kInsideBrackets } state = kLeadingBlanks;
    size_t wordStart = cursor;
    for (; cursor < line.size();) {
        const char c = line[cursor];
        bool stop = false;
        switch (state) {
            case kLeadingBlanks:
                if (c == ' ') {
                    ++cursor;
                } else {
                    wordStart = cursor;
                    state = kFirstWord;
                }
                break;
            case kFirstWord:
                if (c == ' ') {
                    state = kBlanksAfterWord;
                } else if (c == '(') {
                    stop = true;
                } else if (c == '=') {
                    return kw::kAssignment;
                } else if (c == '[') {
                    state = kInsideBrackets;
                } else {
                    ++cursor;
                }
                break;
            case kBlanksAfterWord:
                if (c == ' ') {
                    ++cursor;
                } else if (c == '=') {
                    return kw::kAssignment;
                } else {
                    stop = true;
                }
                break;
            case kInsideBrackets:
                if (c == ']') state = kFirstWord;
                ++cursor;
                break;
        }
        if (stop) break;
    }
    if (state == kLeadingBlanks) return 0;
    return MatchKeyword(line.substr(wordStart));
}

namespace {

// Whether a reference can ever read the name back: LookupVariable reads names
// as a run of letters and "_", so x1, a.b or città could be declared but never used.
bool IsReadableName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter);
}

// The element count after "[": optional blanks and a sign, then decimal digits
// up to the first non-digit; no digits give 0. Counts beyond a long saturate.
long ReadElementCount(std::string_view text) {
    size_t position = text.find_first_not_of(" \t\n\v\f\r");
    if (position == std::string_view::npos) return 0;
    bool negative = false;
    if (text[position] == '+' || text[position] == '-') {
        negative = text[position] == '-';
        ++position;
    }
    const std::string_view digits = text.substr(position);
    long count = 0;
    const std::from_chars_result result =
        std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (result.ec == std::errc::result_out_of_range) count = std::numeric_limits<long>::max();
    // from_chars takes a "-" of its own; after our sign it is no number ("--5" is 0).
    if (result.ec == std::errc() && !digits.empty() && digits.front() == '-') count = 0;
    return negative ? -count : count;
}

}  // namespace

void CompileDeclaration(Machine& machine, TypeCode typeCode, std::string_view names) {
    size_t start = 0;
    while (start <= names.size()) {
        size_t comma = names.find(',', start);
        if (comma == std::string_view::npos) comma = names.size();
        const std::string piece = TrimBlanks(names.substr(start, comma - start));
        start = comma + 1;
        if (piece.empty()) continue;

        std::string name = piece;
        long count = 1;
        if (const size_t bracket = piece.find('['); bracket != std::string::npos) {
            name = TrimBlanks(piece.substr(0, bracket));
            count = ReadElementCount(std::string_view(piece).substr(bracket + 1));
        }
        if (!IsReadableName(name)) {
            PushStop(machine,
                     Format("[%.4u] Error: Variable name not valid '%s' (letters and _ only)",
                            machine.LineNumber, name.c_str()));
            return;
        }
        if (count <= 0) continue;
        if (count > kMaxArrayElements) {
            PushStop(machine, Format("[%.4u] Error: Array too large '%s' (at most %ld elements)",
                                     machine.LineNumber, piece.c_str(), kMaxArrayElements));
            return;
        }
        const uint32_t size = GetDefVarSize(machine, typeCode);
        if (count == 1) {
            if (!CreateCompilerItem(machine, machine.VariableTable, typeCode, nullptr, size, name))
                return;
            continue;
        }
        if (!DeclareArray(machine.VariableTable, machine.Arrays, typeCode, size, name,
                          static_cast<uint32_t>(count))) {
            PushStop(machine, "Memoria insufficiente");
            return;
        }
    }
}

namespace {

// Splits the text into lines at CR. A line that follows a CR LF pair starts with
// the blank the LF became; it does not count towards the line's length.
void CompileLines(Machine& machine, std::string_view text) {
    size_t position = 0;
    while (position < text.size()) {
        size_t lineEnd = text.find('\r', position);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        const bool startsWithLineFeed =
            position > 0 && text[position - 1] == '\r' && text[position] == '\n';
        // Tabs and line feeds read as blanks.
        std::string lineText(text.substr(position, lineEnd - position));
        for (char& c : lineText) {
            if (c == '\t' || c == '\n') c = ' ';
        }
        std::string_view line(lineText);
        position = lineEnd + 1;

        ++machine.LineNumber;
        // A NUL would end the text for every C string it passes through; the
        // lines after it must not silently go missing.
        if (line.find('\0') != std::string_view::npos) {
            PushStop(machine,
                     Format("[%.4u] Error: NUL character in the script text", machine.LineNumber));
            return;
        }
        const size_t visibleLength = line.size() - (startsWithLineFeed ? 1 : 0);
        if (visibleLength > kMaxLineLength) {
            PushStop(machine, Format("[%.4u] Error: Line too long (more than %zu characters)",
                                     machine.LineNumber, kMaxLineLength));
            return;
        }
        // An apostrophe starts a comment wherever it stands, inside a string too.
        if (const size_t quote = line.find('\''); quote != std::string_view::npos) {
            line = line.substr(0, quote);
        }

        size_t cursor = 0;
        const int32_t code = ClassifyLine(line, cursor);
        const std::string_view rest = line.substr(cursor);
        switch (code) {
            case kw::kAssignment:
                CompileAssignment(machine, line.substr(0, cursor), line.substr(cursor + 1));
                break;
            case kw::kString:
            case kw::kFloat:
            case kw::kDevcon:
            case kw::kRgb:
            case kw::kHbs:
                CompileDeclaration(machine, code & 0xFF, rest);
                break;
            case kw::kSaveImage:
            case kw::kSetPixel:
            case kw::kSetPixelVal:
            case kw::kPreview:
            case kw::kDspMes:
            case kw::kDspWhile:
            case kw::kSetPalette:
                CompileParameterStatement(machine, code, rest);
                break;
            case kw::kFor:
                CompileFor(machine, rest);
                break;
            case kw::kNext:
                CompileNext(machine, rest);
                break;
            case kw::kIf:
                CompileIf(machine, rest);
                break;
            case kw::kElse:
                CompileElse(machine);
                break;
            case kw::kEndif:
                CompileEndif(machine);
                break;
            case kw::kReturn:
                EmitInstruction(machine, StmtReturn);
                break;
            case kw::kExit:
                EmitInstruction(machine, StmtExit);
                break;
            case kw::kDebug:
                EmitInstruction(machine, StmtDebug, nullptr, machine.LineNumber);
                break;
            default:
                // A single word is ignored; anything more is an unknown instruction.
                if (cursor < line.size()) {
                    PushStop(machine, Format("[%.4u] Error: Instruction not found '%s'",
                                             machine.LineNumber, TrimBlanks(line).c_str()));
                }
                break;
        }
        if (!machine.StopList.empty()) return;
    }

    // An IF whose ENDIF never came would jump to a patch that never happened.
    if (const Item* open = machine.BranchList.head.get()) {
        PushStop(machine, Format("[%.4u] Error: IF without ENDIF", open->sourceLine));
    }
}

}  // namespace

bool CompileScript(Machine& machine, std::string_view text) {
    machine.LineNumber = 0;
    // Entries of an earlier compilation may name Items freed since.
    machine.Arrays.clear();
    DefineCommandLineVariables(machine);

    CompileLines(machine, text);
    if (!machine.StopList.empty()) return false;
    EmitInstruction(machine, StmtReturn);
    return machine.StopList.empty();
}

}  // namespace tarvil
