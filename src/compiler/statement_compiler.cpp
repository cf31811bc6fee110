// CompileScript: splits the text into lines, classifies each and dispatches it.
#include <cctype>
#include <cstdlib>

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
            // strtol takes optional blanks and a sign, then digits; no digits give 0.
            const std::string countText = piece.substr(bracket + 1);
            count = std::strtol(countText.c_str(), nullptr, 10);
        }
        if (count <= 0) continue;
        if (count > kMaxArrayElements) {
            PushStop(machine, Format("[%.4u] Error: Array too large '%s' (at most %ld elements)",
                                     machine.LineNumber, piece.c_str(), kMaxArrayElements));
            return;
        }
        const uint32_t size = GetDefVarSize(machine, typeCode);
        for (long i = 0; i < count; ++i) {
            if (CreateCompilerItem(machine, machine.VariableTable, typeCode, nullptr, size, name) ==
                nullptr) {
                return;
            }
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
    DefineCommandLineVariables(machine);

    // The text ends at its first NUL, as a C string would.
    CompileLines(machine, text.substr(0, text.find('\0')));
    if (!machine.StopList.empty()) return false;
    EmitInstruction(machine, StmtReturn);
    return machine.StopList.empty();
}

}  // namespace tarvil
