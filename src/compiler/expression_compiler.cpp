// Expressions: one left-to-right pass per bracket level, one pending operator,
// no precedence. Every operator, "!" and function call gets its own temporary.
#include <algorithm>
#include <charconv>
#include <limits>

#include "compiler/compiler.h"
#include "engine/values.h"
#include "handlers/handlers.h"

namespace tarvil {

Item* CreateCompilerItem(Machine& machine, ItemList& list, TypeCode typeCode, const void* source,
                         uint32_t size, std::optional<std::string_view> name) {
    Item* item = CreateItem(list, typeCode, source, size, name);
    if (item == nullptr) PushStop(machine, "Memoria insufficiente");
    return item;
}

Item* CreateTemporary(Machine& machine) {
    return CreateCompilerItem(machine, machine.VariableTable, kTypeFloat, nullptr, 255, "Temp Var");
}

ExpressionEnd FindExpressionEnd(std::string_view text, size_t start) {
    ExpressionEnd result;
    int depth = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) {
                result.balanced = false;
                result.openQuote = i;
                result.end = text.size();
                return result;
            }
            i = close;
        } else if (c == '(' || c == '[') {
            ++depth;
        } else if (c == ')' || c == ']') {
            if (depth == 0) {
                result.end = i;
                return result;
            }
            --depth;
        }
    }
    result.balanced = depth == 0;
    result.end = text.size();
    return result;
}

namespace {

size_t DigitRunEnd(std::string_view text, size_t position) {
    while (position < text.size() && IsDecimalDigit(text[position])) ++position;
    return position;
}

// Whether a number that does not fit a double (from_chars then says
// result_out_of_range and gives no value) is too large rather than too small:
// its order of magnitude, the place of its first significant digit moved by
// the exponent, is above or below 1.
bool TooLarge(std::string_view run, bool negativeExponent, std::string_view exponentDigits) {
    long order = 0;
    const size_t point = std::min(run.find('.'), run.size());
    const size_t firstSignificant = run.find_first_of("123456789");
    if (firstSignificant == std::string_view::npos) return false;
    if (firstSignificant < point) {
        order = static_cast<long>(point - firstSignificant);
    } else {
        order = -static_cast<long>(firstSignificant - point - 1);
    }
    long exponent = 0;
    for (const char digit : exponentDigits) {
        exponent = std::min(exponent * 10 + (digit - '0'), 1000000L);
    }
    return order + (negativeExponent ? -exponent : exponent) > 0;
}

}  // namespace

float ReadNumber(std::string_view text, size_t& cursor, bool* incompleteExponent) {
    if (incompleteExponent != nullptr) *incompleteExponent = false;
    size_t end = cursor;
    while (end < text.size() && (IsDecimalDigit(text[end]) || text[end] == '.')) ++end;
    const std::string_view run = text.substr(cursor, end - cursor);

    bool negativeExponent = false;
    std::string_view exponentDigits;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        size_t digits = end + 1;
        if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) {
            negativeExponent = text[digits] == '-';
            ++digits;
        }
        const size_t digitsEnd = DigitRunEnd(text, digits);
        if (digitsEnd > digits) {
            exponentDigits = text.substr(digits, digitsEnd - digits);
            end = digitsEnd;
        } else if (incompleteExponent != nullptr) {
            *incompleteExponent = true;
        }
    }

    // from_chars, unlike strtod, reads "." as the point in every locale. It
    // takes the longest valid start of the text, so 1.5.7 gives 1.5; a lone
    // "." gives nothing and counts as 0.
    const std::string_view number = text.substr(cursor, end - cursor);
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        value = TooLarge(run, negativeExponent, exponentDigits)
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    if (end > cursor) cursor = end - 1;
    return static_cast<float>(value);
}

namespace {

Handler OperatorHandler(char op, char second) {
    switch (op) {
        case '+':
            return OpAdd;
        case '-':
            return OpSub;
        case '*':
            return OpMul;
        case '/':
            return OpDiv;
        case '%':
            return OpMod;
        case '&':
            return OpAnd;
        case '|':
            return OpOr;
        case '^':
            return OpXor;
        case '=':
            return OpEq;
        case '<':
            if (second == '>') return OpNe;
            return second == '=' ? OpLe : OpLt;
        case '>':
            // ">>" is ">" with the second character absorbed.
            return second == '=' ? OpGe : OpGt;
        default:
            return nullptr;
    }
}

Handler FunctionHandler(int32_t code) {
    switch (code) {
        case kw::kLoadImage:
            return FuncLoadImage;
        case kw::kCreateImage:
            return FuncCreateImage;
        case kw::kGetPixel:
            return FuncGetPixel;
        case kw::kGetPixelVal:
            return FuncGetPixelVal;
        case kw::kGetPalette:
            return FuncGetPalette;
        case kw::kGetFileName:
            return FuncGetFileName;
        case kw::kFileFind:
            return FuncFileFind;
        case kw::kDspWhile:
            return StmtDspWhile;
        case kw::kSin:
            return FuncSin;
        case kw::kAsin:
            return FuncAsin;
        case kw::kHsin:
            return FuncHsin;
        case kw::kCos:
            return FuncCos;
        case kw::kAcos:
            return FuncAcos;
        case kw::kHcos:
            return FuncHcos;
        case kw::kTan:
            return FuncTan;
        case kw::kAtan:
            return FuncAtan;
        case kw::kHtan:
            return FuncHtan;
        case kw::kSqr:
            return FuncSqr;
        case kw::kAbs:
            return FuncAbs;
        case kw::kExp:
            return FuncExp;
        case kw::kLog:
            return FuncLog;
        case kw::kBlog:
            return FuncBlog;
        case kw::kPow:
            return FuncPow;
        case kw::kRand:
            return FuncRand;
        case kw::kMin:
            return FuncMin;
        case kw::kMax:
            return FuncMax;
        case kw::kInt:
            return FuncInt;
        default:
            return nullptr;
    }
}

// Characters that begin an operand: a number, a name (or any stray character,
// which is read as one), a bracket group, or "!" before an operand.
bool StartsOperand(char c) {
    // Blanks, separators, string literals and operators.
    constexpr std::string_view kNotOperands = " ,\"%&*+/=^|<>-";
    return kNotOperands.find(c) == std::string_view::npos;
}

bool Failed(const Machine& machine) {
    return !machine.StopList.empty();
}

// Emits an operator or function handler with a fresh result temporary.
bool EmitWithTemporary(Machine& machine, Handler handler) {
    Item* temporary = CreateTemporary(machine);
    if (temporary == nullptr) return false;
    return EmitInstruction(machine, handler, temporary);
}

bool PushConstant(Machine& machine, float value) {
    Item* constant =
        CreateCompilerItem(machine, machine.VariableTable, kTypeFloat, &value, sizeof value,
                           "Const " + FormatFixed(static_cast<double>(value)));
    if (constant == nullptr) return false;
    ++machine.ParamCount;
    return EmitInstruction(machine, PushOperand, constant);
}

// A word at the cursor: a variable (member, array element) or a function call.
bool CompileName(Machine& machine, std::string& text, size_t& cursor) {
    bool reported = false;
    if (Item* item = LookupVariable(machine, std::string_view(text).substr(cursor), &reported)) {
        ++machine.ParamCount;
        if (!EmitInstruction(machine, PushOperand, item)) return false;
        size_t nameEnd = cursor;
        while (nameEnd < text.size() && IsNameCharacter(text[nameEnd])) ++nameEnd;
        if (nameEnd < text.size() && text[nameEnd] == '[') {
            const size_t close = text.find(']', nameEnd);
            cursor = close == std::string::npos ? text.size() - 1 : close;
        } else {
            cursor += item->name ? item->name->size() - 1 : 0;
        }
        return true;
    }
    if (reported || Failed(machine)) return false;

    size_t scan = cursor;
    const int32_t code = ClassifyLine(std::string_view(text), scan);
    const std::string fromName = text.substr(cursor);
    if (code == 0 || code == kw::kAssignment) {
        PushStop(machine,
                 Format("[%.4u] Error: Var not found '%s'", machine.LineNumber, fromName.c_str()));
        return false;
    }
    const Handler handler = FunctionHandler(code);
    if (scan >= text.size() || text[scan] != '(') {
        if (handler == nullptr) {
            PushStop(machine, Format("[%.4u] Error: Var not found '%s'", machine.LineNumber,
                                     fromName.c_str()));
        } else {
            PushStop(machine, Format("[%.4u] Error: Missing '(' after function '%s'",
                                     machine.LineNumber, fromName.c_str()));
        }
        return false;
    }
    cursor = scan + 1;
    const int countBefore = machine.ParamCount;
    const int excessBefore = machine.ParamCountExcess;
    if (!CompileSubExpression(machine, text, cursor)) return false;
    // Whatever the arguments counted, the call leaves one value.
    machine.ParamCountExcess = excessBefore + (machine.ParamCount - countBefore) - 1;
    if (handler == nullptr) {
        PushStop(machine, Format("[%.4u] Error: Function not callable in expression '%s'",
                                 machine.LineNumber, fromName.c_str()));
        return false;
    }
    return EmitWithTemporary(machine, handler);
}

}  // namespace

bool CompileSubExpression(Machine& machine, std::string& text, size_t& cursor) {
    const ExpressionEnd level = FindExpressionEnd(text, cursor);
    if (level.openQuote != std::string::npos) {
        PushStop(machine, Format("[%.4u] Error: String end not found '%s'", machine.LineNumber,
                                 text.substr(level.openQuote).c_str()));
        return false;
    }
    if (!level.balanced) {
        PushStop(machine, Format("[%.4u] Error: In formula '%s'", machine.LineNumber,
                                 text.substr(cursor).c_str()));
        return false;
    }
    if (cursor >= level.end) return true;

    char pendingOperator = 0;
    char secondCharacter = 0;
    bool notMark = false;        // "!" before the operand
    bool negateOperand = false;  // "-" right after an operator: negates the next operand alone
    bool operandCompleted = false;
    // The last token (blanks aside) completed an operand: another operand may
    // not follow it directly. A string literal in between separates them, as
    // in DspMes(x "=" y).
    bool afterOperand = false;

    for (;;) {
        const char c = text[cursor];
        bool completed = false;
        if (afterOperand && StartsOperand(c)) {
            // x 3 (x3 once the blanks are gone), 2(3), (a)(b), a!b: the first
            // value would be left on the operand stack, unused.
            PushStop(machine, Format("[%.4u] Error: Missing operator before '%s'",
                                     machine.LineNumber, text.substr(cursor).c_str()));
            return false;
        }
        switch (c) {
            case ' ':
                break;
            case '!':
                // OpNot takes one value and gives one: the count stays as it is.
                notMark = true;
                operandCompleted = false;
                break;
            case ',':
                operandCompleted = false;
                break;
            case '"': {
                const size_t close = text.find('"', cursor + 1);
                if (close == std::string::npos) {
                    PushStop(machine, Format("[%.4u] Error: String end not found '%s'",
                                             machine.LineNumber, text.substr(cursor).c_str()));
                    return false;
                }
                ++machine.ParamCount;
                const std::string literal = text.substr(cursor + 1, close - cursor - 1);
                Item* constant = CreateCompilerItem(machine, machine.VariableTable, kTypeString,
                                                    nullptr, 255, "Const ");
                if (constant == nullptr) return false;
                literal.copy(reinterpret_cast<char*>(constant->value),
                             std::min<size_t>(literal.size(), constant->size - 1));
                if (!EmitInstruction(machine, PushOperand, constant)) return false;
                cursor = close;
                // Right after an operator a string is its right operand
                // (name+".png", name<>""); elsewhere it does not complete an
                // operand, so a DSPMES list may set one between two values.
                if (pendingOperator != 0 && !operandCompleted) completed = true;
                break;
            }
            case '%':
            case '&':
            case '*':
            case '+':
            case '/':
            case '=':
            case '^':
            case '|':
                --machine.ParamCount;
                pendingOperator = c;
                secondCharacter = 0;
                operandCompleted = false;
                break;
            case '<':
            case '>':
                --machine.ParamCount;
                pendingOperator = c;
                secondCharacter = 0;
                if (cursor + 1 < text.size() &&
                    (text[cursor + 1] == '=' || text[cursor + 1] == '>')) {
                    secondCharacter = text[++cursor];
                }
                operandCompleted = false;
                break;
            case '-':
                if (!operandCompleted && pendingOperator != 0) {
                    // a*-b is a*(-b): 0 is pushed now, subtracted from the next operand.
                    if (!PushConstant(machine, 0.0f)) return false;
                    --machine.ParamCount;
                    negateOperand = true;
                    break;
                }
                if (!operandCompleted && !PushConstant(machine, 0.0f)) return false;
                --machine.ParamCount;
                pendingOperator = '-';
                secondCharacter = 0;
                operandCompleted = false;
                break;
            case '(':
                ++cursor;
                if (!CompileSubExpression(machine, text, cursor)) return false;
                completed = true;
                break;
            default:
                if (c == '.' || IsDecimalDigit(c)) {
                    const size_t numberStart = cursor;
                    bool incompleteExponent = false;
                    const float value = ReadNumber(text, cursor, &incompleteExponent);
                    if (incompleteExponent) {
                        PushStop(machine,
                                 Format("[%.4u] Error: Exponent without digits '%s'",
                                        machine.LineNumber, text.substr(numberStart).c_str()));
                        return false;
                    }
                    if (!PushConstant(machine, value)) return false;
                } else if (!CompileName(machine, text, cursor)) {
                    return false;
                }
                completed = true;
                break;
        }
        if (completed) {
            if (notMark && !EmitWithTemporary(machine, OpNot)) return false;
            if (negateOperand && !EmitWithTemporary(machine, OpSub)) return false;
            if (pendingOperator != 0 &&
                !EmitWithTemporary(machine, OperatorHandler(pendingOperator, secondCharacter))) {
                return false;
            }
            pendingOperator = 0;
            secondCharacter = 0;
            notMark = false;
            negateOperand = false;
            operandCompleted = true;
        }
        if (c != ' ') afterOperand = completed;
        if (Failed(machine)) return false;
        ++cursor;
        if (cursor >= level.end) {
            // y=a+ would leave a alone, the operator dropped without a word.
            if (pendingOperator != 0) {
                std::string shown(1, pendingOperator);
                if (secondCharacter != 0) shown += secondCharacter;
                PushStop(machine, Format("[%.4u] Error: Missing operand after '%s'",
                                         machine.LineNumber, shown.c_str()));
                return false;
            }
            return true;
        }
    }
}

bool CompileExpression(Machine& machine, std::string& text) {
    // Blanks outside string literals go; a double quote switches in and out.
    std::string compact;
    compact.reserve(text.size());
    bool inString = false;
    for (const char c : text) {
        if (c == '"') inString = !inString;
        if (c != ' ' || inString) compact += c;
    }
    text = std::move(compact);
    size_t cursor = 0;
    return CompileSubExpression(machine, text, cursor);
}

}  // namespace tarvil
