// Fused instructions: the sequences that pixel loops spend their time in, each
// done by one handler. Every one of them first checks that its operands are of
// the kinds it handles and that the operand stack has room for what the
// sequence pushes, so that none of the instructions could stop the run; then it
// reads and writes the same Items, in the same order, as the instructions
// would, and leaves the stack slots as they would. Otherwise it returns false
// and the instructions run one by one.
#include <cstring>

#include "handlers/handlers.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

// A float Item with its 4-byte block: read and written in place.
bool IsFloatBlock(const Item* item) {
    return item != nullptr && item->typeCode == kTypeFloat && item->value != nullptr &&
           item->size >= sizeof(float);
}

// A result temporary that can take a float.
bool HasFloatBlock(const Item* item) {
    return item != nullptr && item->value != nullptr && item->size >= sizeof(float);
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
    if (item.value != nullptr && item.size >= sizeof word)
        std::memcpy(&word, item.value, sizeof word);
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
    if (!IsFloatBlock(step) || !IsFloatBlock(variable) || !IsFloatBlock(limit) ||
        !HasFloatBlock(sum) || !HasFloatBlock(truth) || !StackHasRoom(m, 2)) {
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
    if (!IsFloatBlock(left) || !IsFloatBlock(right) || !HasFloatBlock(result) ||
        !IsFloatBlock(target) || target == result || !StackHasRoom(m, 2)) {
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

void FuseCode(Machine& m) {
    for (uint32_t pc = 0; pc < Machine::kCodeTableSize; ++pc) {
        FusedInstruction fused;
        if (pc < m.EmitCount && Is(m, pc, PushOperand)) {
            if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, OpAdd) && Is(m, pc + 3, PushOperand) &&
                Is(m, pc + 4, OpLe) && Is(m, pc + 5, JumpIfTrue)) {
                fused = {FusedForNext, 6};
            } else if (Is(m, pc + 1, PushOperand) && pc + 2 < m.EmitCount &&
                       IsArithmetic(m.CodeTable[pc + 2].handler) && Is(m, pc + 3, Assign)) {
                fused = {FusedArithmeticAssign, 4};
            } else if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) &&
                       Is(m, pc + 3, FuncGetPixel) && Is(m, pc + 4, Assign)) {
                fused = {FusedGetPixelAssign, 5};
            } else if (Is(m, pc + 1, PushOperand) && Is(m, pc + 2, PushOperand) &&
                       Is(m, pc + 3, PushOperand) && Is(m, pc + 4, StmtSetPixel)) {
                fused = {FusedSetPixel, 5};
            } else if (Is(m, pc + 1, Assign)) {
                uint32_t pairs = 1;
                while (pairs < kMostPairsInARun && Is(m, pc + 2 * pairs, PushOperand) &&
                       Is(m, pc + 2 * pairs + 1, Assign)) {
                    ++pairs;
                }
                fused = pairs == 1 ? FusedInstruction{FusedPushAssign, 2}
                                   : FusedInstruction{FusedPushAssignRun, 2 * pairs};
            }
        }
        m.FusedTable[pc] = fused;
    }
}

}  // namespace tarvil
