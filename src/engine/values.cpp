#include "engine/values.h"

#include <cstring>

#include "engine/host.h"

namespace tarvil {

uint32_t GetDefVarSize(Machine& machine, TypeCode typeCode) {
    switch (typeCode) {
        case kTypeNone:
        case kTypeString:
            return 255;
        case kTypeFloat:
            return 4;
        case kTypeImage:
            return 28;
        case kTypeRgb:
        case kTypeHbs:
            return 4;
        default:
            if (machine.host != nullptr) {
                machine.host->ShowMessage("GetDefVarSize:\nVariable type unknown",
                                          MessageKind::System);
            }
            return 0;
    }
}

void DefineCommandLineVariables(Machine& machine) {
    bool created = true;
    for (auto argument = machine.Arguments.rbegin();
         created && argument != machine.Arguments.rend(); ++argument) {
        // The block holds exactly the text and its terminator.
        created = CreateItem(machine.VariableTable, kTypeString, argument->c_str(),
                             static_cast<uint32_t>(argument->size() + 1), "ClArg") != nullptr;
    }
    const float count = static_cast<float>(machine.Arguments.size());
    const float pi = 3.1415927f;
    created = created &&
              CreateItem(machine.VariableTable, kTypeFloat, &count, sizeof count, "ClNum") &&
              CreateItem(machine.VariableTable, kTypeFloat, &pi, sizeof pi, "PI");
    if (!created) PushStop(machine, "Memoria insufficiente");
}

}  // namespace tarvil
