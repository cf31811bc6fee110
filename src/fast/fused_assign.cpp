// Faster forms of assignments from a pushed operand: one PushOperand/Assign
// pair, and runs of them (pix.Red=... / pix.Green=... / ...), with copies
// between RGB components done on their bytes.
#include <array>

#include "fast/fast_paths.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

// pix.Red = pix.Green and the like: RGB components of colour blocks.
bool IsComponentCopy(const Item* target, const Item* source) {
    return target != nullptr && source != nullptr && IsRgbComponent(target->typeCode) &&
           IsRgbComponent(source->typeCode) && target->value != nullptr &&
           target->size >= kColourBytes && source->value != nullptr && source->size >= kColourBytes;
}

// What the assignment does for such a pair.
void CopyComponent(Item& target, const Item& source) {
    CopyRgbComponent(target.value, target.typeCode, source.value, source.typeCode);
}

bool PairNeverStops(const Instruction* pair) {
    return pair[0].item != nullptr && pair[1].item != nullptr &&
           AssignmentNeverStops(*pair[1].item, *pair[0].item);
}

}  // namespace

// PushOperand source; Assign target.
uint32_t FusedPushAssign(Machine& m, uint32_t /*budget*/) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    if (m.StackTop >= Machine::kOperandStackSize) return 0;
    if (IsComponentCopy(code[1].item, code[0].item)) {
        CopyComponent(*code[1].item, *code[0].item);
    } else if (PairNeverStops(code)) {
        AssignItem(m, *code[1].item, *code[0].item);
    } else {
        return 0;
    }
    m.OperandStack[m.StackTop] = code[0].item;
    m.ProgramCounter = pc + 1;
    return 2;
}

// Consecutive PushOperand/Assign pairs (pix.Red=... / pix.Green=... / ...): every
// pair is checked first, as no assignment among them changes a TypeCode.
namespace {

// `blocksChecked`: FuseCode has found a colour's block at every Item of the
// run, so only the TypeCodes are left to look at.
template <bool blocksChecked>
uint32_t RunOfPushAssign(Machine& m) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    const uint32_t span = m.FusedTable[pc].span;
    if (m.StackTop >= Machine::kOperandStackSize) return 0;
    // The bytes each pair copies, found while the pairs are checked: the copies
    // then need no second look at the Items, whose blocks they may write.
    struct ComponentCopy {
        std::byte* target;
        const std::byte* source;
        std::byte* reserved;
    };
    std::array<ComponentCopy, kMostPairsInARun> copies;
    const uint32_t pairs = span / 2;
    bool allComponents = pairs <= copies.size();
    for (uint32_t k = 0; k < pairs && allComponents; ++k) {
        Item* target = code[2 * k + 1].item;
        const Item* source = code[2 * k].item;
        if constexpr (blocksChecked) {
            allComponents = IsRgbComponent(target->typeCode) && IsRgbComponent(source->typeCode);
        } else {
            allComponents = IsComponentCopy(target, source);
        }
        if (allComponents) {
            copies[k] = {target->value + RgbComponentOffset(target->typeCode),
                         source->value + RgbComponentOffset(source->typeCode), target->value + 3};
        }
    }
    if (allComponents) {
        // What CopyComponent does, pair after pair.
        for (uint32_t k = 0; k < pairs; ++k) {
            *copies[k].target = *copies[k].source;
            *copies[k].reserved = std::byte{0};
        }
    } else {
        for (uint32_t k = 0; k < span; k += 2) {
            if (!PairNeverStops(code + k)) return 0;
        }
        for (uint32_t k = 0; k < span; k += 2) AssignItem(m, *code[k + 1].item, *code[k].item);
    }
    m.OperandStack[m.StackTop] = code[span - 2].item;
    m.ProgramCounter = pc + span - 1;
    return span;
}

}  // namespace

uint32_t FusedPushAssignRun(Machine& m, uint32_t /*budget*/) {
    return RunOfPushAssign<false>(m);
}

uint32_t FusedColourAssignRun(Machine& m, uint32_t /*budget*/) {
    return RunOfPushAssign<true>(m);
}

}  // namespace tarvil
