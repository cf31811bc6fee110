// The handlers of the machine itself: pushing operands and jumping.
#include <cstring>

#include "handlers/handlers.h"

namespace tarvil {

void PushOperand(Machine& m) {
    PushItem(m, m.Current().item);
}

void Jump(Machine& m) {
    m.ProgramCounter = m.Current().number;
}

namespace {

// The condition is the 32-bit word at the value with its top bit cleared, so
// +0.0 and -0.0 are false and every other float, NaN included, is true.
bool Condition(const Item& item) {
    uint32_t word = 0;
    if (item.value != nullptr && item.size >= sizeof word)
        std::memcpy(&word, item.value, sizeof word);
    return (word & 0x7FFFFFFFu) != 0;
}

}  // namespace

void JumpIfTrue(Machine& m) {
    if (Condition(*PopItem(m))) m.ProgramCounter = m.Current().number;
}

void JumpIfFalse(Machine& m) {
    if (!Condition(*PopItem(m))) m.ProgramCounter = m.Current().number;
}

}  // namespace tarvil
