// The handlers of the machine itself: pushing operands and jumping.
#include "handlers/handlers.h"

namespace tarvil {

void PushOperand(Machine& m) {
    PushItem(m, m.Current().item);
}

void Jump(Machine& m) {
    m.ProgramCounter = m.Current().number;
}

namespace {

bool Condition(const Item& item) {
    return item.value != nullptr && item.size >= sizeof(uint32_t) && IsTrueWord(item.value);
}

}  // namespace

void JumpIfTrue(Machine& m) {
    if (Condition(*PopItem(m))) m.ProgramCounter = m.Current().number;
}

void JumpIfFalse(Machine& m) {
    if (!Condition(*PopItem(m))) m.ProgramCounter = m.Current().number;
}

}  // namespace tarvil
