// Assignments and the built-in statements: SAVEIMAGE, SETPIXEL, SETPIXELVAL,
// SETPALETTE, PREVIEW, DSPMES and DSPWHILE. Their parameters compile as one
// list, the number of values is checked, and one handler pops them at run time.
#include "compiler/compiler.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

// Whether a target is one reference and nothing more: a name,
// then an index in brackets or a member, and the end. Anything after it (x1,
// a[1].Red, pix.Red2) would be dropped by the lookup, which reads only the
// reference, and the value would go to another variable. An index whose
// brackets do not close passes: the lookup reports it.
bool IsWholeReference(std::string_view target) {
    size_t position = 0;
    while (position < target.size() && IsNameCharacter(target[position])) ++position;
    if (position == target.size()) return true;
    if (target[position] == '[') {
        const ExpressionEnd index = FindExpressionEnd(target, position + 1);
        return !index.balanced || index.end + 1 == target.size();
    }
    if (target[position] == '.') {
        ++position;
        while (position < target.size() && IsNameCharacter(target[position])) ++position;
        return position == target.size();
    }
    return false;
}

}  // namespace

void CompileAssignment(Machine& machine, std::string_view target, std::string_view expression) {
    std::string text(expression);
    CompileExpression(machine, text);
    // The target is resolved even after a faulty expression, so that an unknown
    // target is the error shown.
    const std::string written = TrimBlanks(target);
    bool reported = false;
    Item* item = nullptr;
    if (IsWholeReference(written)) item = LookupVariable(machine, written, &reported, written);
    if (item == nullptr) {
        if (!reported) {
            PushStop(machine, Format("[%.4u] Error: Var not found '%s'", machine.LineNumber,
                                     written.c_str()));
        }
        return;
    }
    EmitInstruction(machine, Assign, item);
}

namespace {

struct ParameterStatement {
    int32_t code;
    Handler handler;
    int count;  // -1: any number
};

constexpr ParameterStatement kParameterStatements[] = {
    {kw::kSaveImage, StmtSaveImage, 2},     {kw::kSetPixel, StmtSetPixel, 4},
    {kw::kSetPixelVal, StmtSetPixelVal, 4}, {kw::kSetPalette, StmtSetPalette, 3},
    {kw::kPreview, StmtPreview, 6},         {kw::kDspWhile, StmtDspWhile, 2},
    {kw::kDspMes, StmtDspMes, -1},
};

// PREVIEW(img, title, x, y) gets img.Width+8 and img.Height+26 as the window size.
bool PushDefaultPreviewSize(Machine& machine, const std::string& parameters) {
    const std::string inside = parameters.substr(parameters.empty() ? 0 : 1);
    const size_t comma = inside.find(',');
    if (comma == std::string::npos) {
        PushStop(machine, Format("[%.4u] Error: Parameter type error '%s'", machine.LineNumber,
                                 parameters.c_str()));
        return false;
    }
    const std::string image = inside.substr(0, comma);
    for (const auto& [member, extra] : {std::pair{".Width", "+8"}, std::pair{".Height", "+26"}}) {
        bool reported = false;
        Item* size = LookupVariable(machine, image + member, &reported);
        if (size == nullptr) {
            if (!reported) {
                PushStop(machine, Format("[%.4u] Error: Var not found '%s'", machine.LineNumber,
                                         image.c_str()));
            }
            return false;
        }
        EmitInstruction(machine, PushOperand, size);
        std::string addition = extra;
        if (!CompileExpression(machine, addition)) return false;
    }
    return true;
}

}  // namespace

void CompileParameterStatement(Machine& machine, int32_t code, std::string_view parameters) {
    const ParameterStatement* statement = nullptr;
    for (const ParameterStatement& candidate : kParameterStatements) {
        if (candidate.code == code) statement = &candidate;
    }
    if (statement == nullptr) return;

    machine.ParamCount = 0;
    machine.ParamCountExcess = 0;
    std::string text(parameters);
    if (!CompileExpression(machine, text)) return;

    if (code == kw::kDspMes) {
        // DSPMES takes exactly the values its list leaves, so MIN(a,b) in it
        // is one value, not two.
        const float count = static_cast<float>(machine.ParamCount - machine.ParamCountExcess);
        Item* countItem = CreateCompilerItem(machine, machine.VariableTable, kTypeFloat, &count,
                                             sizeof count, "Num param");
        if (countItem == nullptr) return;
        EmitInstruction(machine, PushOperand, countItem);
    } else if (code == kw::kPreview && machine.ParamCount == 4) {
        if (!PushDefaultPreviewSize(machine, text)) return;
    } else if (machine.ParamCount != statement->count) {
        PushStop(machine, Format("[%.4u] Error: Parameter number error '%s'", machine.LineNumber,
                                 text.c_str()));
    }
    EmitInstruction(machine, statement->handler);
}

}  // namespace tarvil
