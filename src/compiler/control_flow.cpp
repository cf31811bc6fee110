// FOR/NEXT and IF/ELSE/ENDIF. Open blocks are records in the LoopList and the
// BranchList; the closing statements find them there and patch the forward jumps.
// A jump operand is the index of the instruction before the one that runs next.
#include "compiler/compiler.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

// Position of `word` in `text`, letter case ignored.
size_t FindIgnoringCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return std::string_view::npos;
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        bool same = true;
        for (size_t j = 0; j < word.size() && same; ++j) {
            same = UpperAscii(text[i + j]) == UpperAscii(word[j]);
        }
        if (same) return i;
    }
    return std::string_view::npos;
}

// Compiles `expression` into a new hidden variable and records it for NEXT.
bool CompileLoopBound(Machine& machine, std::string_view expression, const char* recordFormat,
                      const std::string& variableName) {
    std::string text(expression);
    CompileExpression(machine, text);
    if (!machine.StopList.empty()) return false;
    const std::string name = Format(recordFormat, variableName.c_str());
    Item* hidden = CreateCompilerItem(machine, machine.VariableTable, kTypeFloat, nullptr, 4, name);
    if (hidden == nullptr) return false;
    Item* record = CreateCompilerItem(machine, machine.LoopList, 0, nullptr, 0, name);
    if (hidden == nullptr || record == nullptr) return false;
    record->aux = hidden;
    return EmitInstruction(machine, Assign, hidden);
}

void Patch(Machine& machine, uint32_t index, uint32_t target) {
    if (index < machine.EmitCount) machine.CodeTable[index].number = target;
}

void RemoveNewestBranch(Machine& machine) {
    RemoveFirstItem(machine.BranchList);
}

}  // namespace

void CompileFor(Machine& machine, std::string_view text) {
    const size_t to = FindIgnoringCase(text, " to ");
    if (to == std::string_view::npos) return;  // not a loop: nothing is compiled
    const std::string head = TrimBlanks(text.substr(0, to));
    const std::string_view rest = text.substr(to + 4);

    size_t equals = 0;
    if (ClassifyLine(head, equals) != kw::kAssignment) {
        PushStop(machine,
                 Format("[%.4u] Error: Missing '=' in FOR '%s'", machine.LineNumber, head.c_str()));
        return;
    }
    const std::string variable = TrimBlanks(std::string_view(head).substr(0, equals));
    CompileAssignment(machine, variable, std::string_view(head).substr(equals + 1));
    if (!machine.StopList.empty()) return;

    std::string_view limit = rest;
    std::string_view increment = "1";
    if (const size_t step = FindIgnoringCase(rest, " step "); step != std::string_view::npos) {
        limit = rest.substr(0, step);
        increment = rest.substr(step + 6);
    }
    if (!CompileLoopBound(machine, limit, "ForNextTo %s", variable)) return;
    if (!CompileLoopBound(machine, increment, "ForNextSteep %s", variable)) return;
    CreateCompilerItem(machine, machine.LoopList, static_cast<TypeCode>(machine.EmitCount - 1),
                       nullptr, 0, Format("ForNextStart %s", variable.c_str()));
}

void CompileNext(Machine& machine, std::string_view text) {
    const std::string variable = TrimBlanks(text);
    const Item* step = FindItem(machine.LoopList, 0, Format("ForNextSteep %s", variable.c_str()));
    if (step == nullptr) return;  // no open FOR of that name: nothing is compiled

    // variable := step + variable, then repeat while variable <= limit.
    EmitInstruction(machine, PushOperand, step->aux);
    Item* loopVariable = LookupVariable(machine, variable);
    if (loopVariable == nullptr) {
        if (machine.StopList.empty()) {
            PushStop(machine, Format("[%.4u] Error: Var not found '%s'", machine.LineNumber,
                                     variable.c_str()));
        }
        return;
    }
    EmitInstruction(machine, PushOperand, loopVariable);
    EmitInstruction(machine, OpAdd, loopVariable);

    const Item* limit = FindItem(machine.LoopList, 0, Format("ForNextTo %s", variable.c_str()));
    if (limit == nullptr) return;
    EmitInstruction(machine, PushOperand, limit->aux);
    EmitInstruction(machine, OpLe, CreateTemporary(machine));

    const Item* start = FindItem(machine.LoopList, 0, Format("ForNextStart %s", variable.c_str()));
    if (start == nullptr) return;
    EmitInstruction(machine, JumpIfTrue, nullptr, static_cast<uint32_t>(start->typeCode));

    RemoveItem(machine.LoopList, 0, Format("ForNextTo %s", variable.c_str()));
    RemoveItem(machine.LoopList, 0, Format("ForNextSteep %s", variable.c_str()));
    RemoveItem(machine.LoopList, 0, Format("ForNextStart %s", variable.c_str()));
}

void CompileIf(Machine& machine, std::string_view text) {
    std::string condition(text);
    CompileExpression(machine, condition);
    if (!machine.StopList.empty()) return;
    Item* record =
        CreateCompilerItem(machine, machine.BranchList, static_cast<TypeCode>(machine.EmitCount),
                           nullptr, 0, "FalseJmp");
    if (record != nullptr) record->sourceLine = machine.LineNumber;
    EmitInstruction(machine, JumpIfFalse, nullptr, 0);
}

void CompileElse(Machine& machine) {
    const Item* open = machine.BranchList.head.get();
    if (open == nullptr || !open->name || *open->name != "FalseJmp") {
        PushStop(machine, "Else senza IF", static_cast<TypeCode>(machine.EmitCount));
        return;
    }
    // A false condition resumes with the first instruction of the ELSE branch.
    Patch(machine, static_cast<uint32_t>(open->typeCode), machine.EmitCount);
    RemoveNewestBranch(machine);
    Item* record =
        CreateCompilerItem(machine, machine.BranchList, static_cast<TypeCode>(machine.EmitCount),
                           nullptr, 0, "ElseJmp");
    if (record != nullptr) record->sourceLine = machine.LineNumber;
    EmitInstruction(machine, Jump, nullptr, 0);
}

void CompileEndif(Machine& machine) {
    const Item* open = machine.BranchList.head.get();
    if (open == nullptr) {
        PushStop(machine, "Endif senza IF", static_cast<TypeCode>(machine.EmitCount));
        return;
    }
    // Execution continues with the first instruction compiled after the ENDIF.
    Patch(machine, static_cast<uint32_t>(open->typeCode), machine.EmitCount - 1);
    RemoveNewestBranch(machine);
}

}  // namespace tarvil
