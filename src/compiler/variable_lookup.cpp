// LookupVariable: names, members and array references to Items.
#include "compiler/compiler.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

size_t NameLength(std::string_view text) {
    size_t length = 0;
    while (length < text.size() && IsNameCharacter(text[length])) ++length;
    return length;
}

// Whether a member code belongs to a variable of the given type.
bool MemberFits(int32_t memberCode, TypeCode variableType) {
    switch (variableType) {
        case kTypeImage:
            return IsImageMember(memberCode);
        case kTypeRgb:
            return IsRgbMember(memberCode);
        case kTypeHbs:
            return IsHbsMember(memberCode);
        default:
            return false;
    }
}

}  // namespace

Item* LookupVariable(Machine& machine, std::string_view text, bool* reported,
                     std::string_view shownName) {
    if (reported != nullptr) *reported = false;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    std::string working(text);
    const size_t nameLength = NameLength(working);
    const std::string name = working.substr(0, nameLength);

    if (nameLength < working.size() && working[nameLength] == '[') {
        // A missing array is the error shown, whatever its index holds, and
        // also after an earlier error on the line (q[1]=zz with neither declared).
        Item* array = FindItem(machine.VariableTable, 0, name);
        if (array == nullptr) {
            const std::string shown(shownName.empty() ? std::string_view(name) : shownName);
            PushStop(machine,
                     Format("[%.4u] Error: Var not found '%s'", machine.LineNumber, shown.c_str()));
            if (reported != nullptr) *reported = true;
            return nullptr;
        }
        // The index is compiled here; it is not one of the statement's parameters.
        const int savedParamCount = machine.ParamCount;
        const int savedExcess = machine.ParamCountExcess;
        size_t cursor = nameLength + 1;
        const bool indexCompiled = CompileSubExpression(machine, working, cursor);
        machine.ParamCount = savedParamCount;
        machine.ParamCountExcess = savedExcess;
        if (!indexCompiled) {
            if (reported != nullptr) *reported = true;
            return nullptr;
        }
        // The number names the array's entry in the ArrayTable (0: none, walk).
        const auto entry = machine.Arrays.byFirstElement.find(array);
        const uint32_t arrayNumber =
            entry == machine.Arrays.byFirstElement.end() ? 0 : entry->second + 1;
        EmitInstruction(machine, IndexArray, array, arrayNumber);
        return array;
    }

    if (nameLength < working.size() && working[nameLength] == '.') {
        const std::string_view memberText = std::string_view(working).substr(
            nameLength + 1, NameLength(std::string_view(working).substr(nameLength + 1)));
        std::string_view keyword;
        const int32_t code = MatchKeyword(memberText, &keyword);
        if (code == 0) return nullptr;
        const std::string fullName = name + "." + std::string(keyword);
        if (Item* member = FindItem(machine.VariableTable, 0, fullName)) return member;
        Item* variable = FindItem(machine.VariableTable, 0, name);
        if (variable == nullptr) return nullptr;
        if (!MemberFits(code, variable->typeCode)) {
            // Image members on an image, colour members on their colour type, nothing else.
            PushStop(
                machine,
                Format("[%.4u] Error: Member not valid for this variable '%s'", machine.LineNumber,
                       std::string(working.substr(0, nameLength + 1 + memberText.size())).c_str()));
            if (reported != nullptr) *reported = true;
            return nullptr;
        }
        Item* member =
            CreateCompilerItem(machine, machine.VariableTable, code, nullptr, 0, fullName);
        if (member == nullptr) {
            if (reported != nullptr) *reported = true;
            return nullptr;
        }
        member->value = variable->value;
        member->size = variable->size;
        member->parent = variable;
        return member;
    }

    return FindItem(machine.VariableTable, 0, name);
}

}  // namespace tarvil
