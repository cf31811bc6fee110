#include "engine/machine.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/file_find.h"
#include "engine/host.h"
#include "engine/image_member.h"
#include "engine/image_record.h"
#include "image/file_access.h"

namespace tarvil {

namespace {
constexpr uint32_t kEmptyOperandSize = 255;
}

Machine::Machine(Host* hostIn)
    : host(hostIn),
      FileFind(std::make_unique<FileFindState>()),
      FileSystem(std::make_unique<FileSystemCalls>()) {
    // A zero-filled, typeless block: read as a number it records "Argument not numeric".
    EmptyOperand.ownedValue = std::make_unique<std::byte[]>(kEmptyOperandSize);
    EmptyOperand.value = EmptyOperand.ownedValue.get();
    EmptyOperand.size = kEmptyOperandSize;
}

Machine::~Machine() = default;

bool EmitInstruction(Machine& machine, Handler handler, Item* item, uint32_t number) {
    if (machine.EmitCount >= Machine::kCodeTableSize) {
        // Report once: the line's later instructions would only repeat it.
        if (machine.StopList.empty()) {
            PushStop(machine, Format("[%.4u] Error: Program too long (more than %u instructions)",
                                     machine.LineNumber, Machine::kCodeTableSize));
        }
        return false;
    }
    machine.CodeTable[machine.EmitCount++] = Instruction{handler, item, number, machine.LineNumber};
    return true;
}

bool RunStopRequested(Machine& machine) {
    if (!machine.StopList.empty()) return true;
    return machine.host != nullptr && machine.host->StopRequested();
}

void PushStop(Machine& machine, std::string_view text, TypeCode typeCode) {
    if (machine.Executing && !machine.StopList.empty()) return;
    // A stop that cannot be recorded must not let the run go on: RunScript
    // takes this as the memory stop, after freeing the run's memory.
    if (CreateItem(machine.StopList, typeCode, nullptr, 0, text) == nullptr) throw std::bad_alloc();
}

void PushItem(Machine& machine, Item* item) {
    if (machine.StackTop >= Machine::kOperandStackSize) {
        PushStop(machine, "Error: Operand stack full (more than 1000 values waiting)");
        return;
    }
    machine.OperandStack[machine.StackTop++] = item;
}

Item* PopItem(Machine& machine) {
    if (machine.StackTop == 0) {
        PushStop(machine, "Error: Missing argument");
        std::memset(machine.EmptyOperand.value, 0, machine.EmptyOperand.size);
        machine.EmptyOperand.typeCode = 0;
        machine.EmptyOperand.image.reset();
        machine.EmptyOperand.textCut = false;
        return &machine.EmptyOperand;
    }
    return machine.OperandStack[--machine.StackTop];
}

namespace {

uint8_t ColourByte(const Item& item, int index) {
    if (item.value == nullptr || item.size < 4) return 0;
    return static_cast<uint8_t>(item.value[index]);
}

}  // namespace

double ItemNumber(Machine& machine, const Item& item) {
    switch (item.typeCode) {
        case kTypeFloat:
            return ReadFloat(item);
        case kMemberHeight:
        case kMemberWidth:
        case kMemberRes:
        case kMemberBitCount:
        case kMemberClrImp:
            return ImageMemberNumber(item);
        case kTypeRgb:
            return static_cast<double>(ColourByte(item, 0) | (ColourByte(item, 1) << 8) |
                                       (ColourByte(item, 2) << 16) |
                                       (static_cast<uint32_t>(ColourByte(item, 3)) << 24));
        case kMemberLum:
            return (ColourByte(item, 0) + ColourByte(item, 1) + ColourByte(item, 2)) / 3;
        case kMemberRed:
        case kMemberHue:
            return ColourByte(item, 0);
        case kMemberGreen:
        case kMemberBri:
            return ColourByte(item, 1);
        case kMemberBlue:
        case kMemberSat:
            return ColourByte(item, 2);
        default:
            PushStop(machine, "Error: Argument not numeric");
            return 0.0;
    }
}

double PopNumber(Machine& machine) {
    return ItemNumber(machine, *PopItem(machine));
}

void PushFloatResult(Machine& machine, double value) {
    Item* result = machine.Current().item;
    result->typeCode = kTypeFloat;
    WriteFloat(*result, static_cast<float>(value));
    PushItem(machine, result);
}

}  // namespace tarvil
