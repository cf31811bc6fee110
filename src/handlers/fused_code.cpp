// Fused instructions: the sequences that pixel loops spend their time in, each
// done by one handler. Every one of them first checks that its operands are of
// the kinds it handles and that the operand stack has room for what the
// sequence pushes, so that none of the instructions could stop the run; then it
// reads and writes the same Items, in the same order, as the instructions
// would, and leaves the stack slots as they would. Otherwise it returns false
// and the instructions run one by one.
#include <cstring>
#include <initializer_list>

#include "handlers/handlers.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

// An Item with a block that holds a float. An Item's block never changes once
// it is made, so FuseCode checks this once; TypeCodes do change (a NEXT over a
// member makes it a float) and are checked on every run of a fused handler.
bool HasFloatBlock(const Item* item) {
    return item != nullptr && item->value != nullptr && item->size >= sizeof(float);
}

bool IsFloat(const Item* item) {
    return item->typeCode == kTypeFloat;
}

float Load(const Item& item) {
    float value;
    std::memcpy(&value, item.value, sizeof value);
    return value;
}

void Store(Item& item, double value) {
    item.typeCode = kTypeFloat;
    const auto single = static_cast<float>(value);
    std::memcpy(item.value, &single, sizeof single);
}

bool StackHasRoom(const Machine& m, uint32_t count) {
    return m.StackTop + count <= Machine::kOperandStackSize;
}

// The condition of JumpIfTrue: the float's bits without the sign are not zero.
bool Condition(const Item& item) {
    uint32_t word = 0;
    std::memcpy(&word, item.value, sizeof word);  // a block FuseCode has checked
    return (word & 0x7FFFFFFFu) != 0;
}

bool Is(const Machine& m, uint32_t index, Handler handler) {
    return index < m.EmitCount && m.CodeTable[index].handler == handler;
}

bool IsArithmetic(Handler handler) {
    return handler == OpAdd || handler == OpSub || handler == OpMul || handler == OpDiv;
}

double Arithmetic(Handler handler, double left, double right) {
    if (handler == OpAdd) return left + right;
    if (handler == OpSub) return left - right;
    if (handler == OpMul) return left * right;
    return left / right;
}

}  // namespace

// NEXT: variable := step + variable; repeat while variable <= limit.
bool FusedForNext(Machine& m) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    Item* step = code[0].item;
    Item* variable = code[1].item;
    Item* sum = code[2].item;
    Item* limit = code[3].item;
    Item* truth = code[4].item;
    if (!IsFloat(step) || !IsFloat(variable) || !IsFloat(limit) || !StackHasRoom(m, 2)) {
        return false;
    }
    // OpAdd pops the variable (rounded to single precision), then the step.
    const float right = Load(*variable);
    Store(*sum, Load(*step) + static_cast<double>(right));
    // OpLe pops the limit, then the sum (a float now, whatever it was).
    const float bound = Load(*limit);
    Store(*truth, Load(*sum) <= bound ? 1.0 : 0.0);
    m.OperandStack[m.StackTop] = truth;
    m.OperandStack[m.StackTop + 1] = limit;
    m.ProgramCounter = Condition(*truth) ? code[5].number : pc + 5;
    return true;
}

// target = a op b with + - * /.
bool FusedArithmeticAssign(Machine& m) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    Item* left = code[0].item;
    Item* right = code[1].item;
    Item* result = code[2].item;
    Item* target = code[3].item;
    if (!IsFloat(left) || !IsFloat(right) || !IsFloat(target) || !StackHasRoom(m, 2)) {
        return false;
    }
    const float r = Load(*right);
    Store(*result, Arithmetic(code[2].handler, Load(*left), r));
    // Assign: a float from a float, converted through double as AssignFloat does.
    Store(*target, Load(*result));
    m.OperandStack[m.StackTop] = result;
    m.OperandStack[m.StackTop + 1] = right;
    m.ProgramCounter = pc + 3;
    return true;
}

// A longer run of assignments is fused in pieces.
constexpr uint32_t kMostPairsInARun = 8;

namespace {

// The Items of instructions pc + offsets: all of them with a float's block.
bool HaveFloatBlocks(const Machine& m, uint32_t pc, std::initializer_list<uint32_t> offsets) {
    for (uint32_t offset : offsets) {
        if (!HasFloatBlock(m.CodeTable[pc + offset].item)) return false;
    }
    return true;
}

bool HaveItems(const Machine& m, uint32_t pc, uint32_t span) {
    for (uint32_t k = 0; k < span; ++k) {
        if (m.CodeTable[pc + k].item == nullptr) return false;
    }
    return true;
}

// The fused form of the instructions at pc, when they make one of the sequences
// and their Items have the blocks the fused handler reads and writes in place.
FusedInstruction FuseAt(const Machine& m, uint32_t pc) {
    const auto item = [&m, pc](uint32_t offset) { return m.CodeTable[pc + offset].item; };
    // IndexArray redirects the next instruction to another Item on every run.
    if (pc > 0 && m.CodeTable[pc - 1].handler == IndexArray) return {};
    if (!Is(m, pc, PushOperand)) return {};
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, OpAdd) && Is(m, pc + 3, PushOperand) &&
        Is(m, pc + 4, OpLe) && Is(m, pc + 5, JumpIfTrue)) {
        if (!HaveFloatBlocks(m, pc, {0, 1, 2, 3, 4})) return {};
        return {FusedForNext, 6};
    }
    if (Is(m, pc + 1, PushOperand) && pc + 2 < m.EmitCount &&
        IsArithmetic(m.CodeTable[pc + 2].handler) && Is(m, pc + 3, Assign)) {
        if (!HaveFloatBlocks(m, pc, {0, 1, 2, 3}) || item(3) == item(2)) return {};
        return {FusedArithmeticAssign, 4};
    }
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) && Is(m, pc + 3, FuncGetPixel) &&
        Is(m, pc + 4, Assign)) {
        if (!HaveFloatBlocks(m, pc, {1, 2, 3, 4}) || item(4) == item(3)) return {};
        return {FusedGetPixelAssign, 5};
    }
    if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) && Is(m, pc + 3, PushOperand) &&
        Is(m, pc + 4, StmtSetPixel)) {
        if (!HaveFloatBlocks(m, pc, {1, 2})) return {};
        return {FusedSetPixel, 5};
    }
    if (Is(m, pc + 1, Assign)) {
        uint32_t pairs = 1;
        while (pairs < kMostPairsInARun && Is(m, pc + 2 * pairs, PushOperand) &&
               Is(m, pc + 2 * pairs + 1, Assign)) {
            ++pairs;
        }
        if (!HaveItems(m, pc, 2 * pairs)) return {};
        if (pairs == 1) return {FusedPushAssign, 2};
        bool blocks = true;
        for (uint32_t k = 0; k < 2 * pairs && blocks; ++k) blocks = HasFloatBlock(item(k));
        // A float's block is as large as a colour's: 4 bytes.
        return {blocks ? FusedColourAssignRun : FusedPushAssignRun, 2 * pairs};
    }
    return {};
}

}  // namespace

void FuseCode(Machine& m) {
    for (uint32_t pc = 0; pc < Machine::kCodeTableSize; ++pc)
        m.FusedTable[pc] = pc < m.EmitCount ? FuseAt(m, pc) : FusedInstruction{};
}

}  // namespace tarvil
