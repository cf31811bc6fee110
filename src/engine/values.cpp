#include "engine/values.h"

#include <array>
#include <charconv>
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

namespace {

// The user's locale may use "," as the decimal point (Qt and batch mode take it
// at start), so numbers go through to_chars, which always writes the C form.
std::string FormatWith(double value, std::chars_format format) {
    // The longest fixed form of a double: 309 digits, the point, 6 decimals, a sign.
    std::array<char, 330> buffer{};
    const std::to_chars_result result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, 6);
    if (result.ec != std::errc()) return {};
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string FormatNumber(double value) {
    return FormatWith(value, std::chars_format::general);
}

std::string FormatFixed(double value) {
    return FormatWith(value, std::chars_format::fixed);
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
