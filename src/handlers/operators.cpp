// The expression operators and array element access. Every operator pops R,
// then L, writes a float into its result temporary and pushes it; + on two
// texts writes their join, = and <> compare two texts.
//
// Arithmetic rounds R to single precision and combines it with L in double
// precision; division follows IEEE 754 (x / 0 is an infinity or a NaN, no
// error). Comparisons round R only and compare exactly, giving 1 or 0. The
// integer operators work on ToUint32 of each operand.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/text_encoding.h"

#include "handlers/handlers.h"

namespace tarvil {

namespace {

struct Operands {
    double left;
    double right;
};

// R is popped first; its rounding to single precision is part of every operator.
Operands PopOperands(Machine& m) {
    const auto right = static_cast<float>(PopNumber(m));
    const double left = PopNumber(m);
    return {left, right};
}

// The same for operands already popped: R is read first.
Operands NumberOperands(Machine& m, const Item& left, const Item& right) {
    const auto r = static_cast<float>(ItemNumber(m, right));
    const double l = ItemNumber(m, left);
    return {l, r};
}

constexpr size_t kMaxTextBytes = 254;

struct IntegerOperands {
    uint32_t left;
    uint32_t right;
};

IntegerOperands PopIntegerOperands(Machine& m) {
    const uint32_t right = ToUint32(PopNumber(m));
    const uint32_t left = ToUint32(PopNumber(m));
    return {left, right};
}

void PushTruth(Machine& m, bool truth) {
    PushFloatResult(m, truth ? 1.0 : 0.0);
}

}  // namespace

namespace {

// Two texts: L followed by R, cut to what a string holds (at most 254
// bytes, never inside a UTF-8 character); a cut text is marked so that no
// file operation takes it for a name.
void PushJoinedText(Machine& m, const Item& left, const Item& right) {
    Item* result = m.Current().item;
    if (result == nullptr || result->value == nullptr || result->size == 0) return;
    std::string joined(ItemText(left));
    joined += ItemText(right);
    const size_t limit = std::min<size_t>(kMaxTextBytes, result->size - 1);
    const size_t count = Utf8CutLength(joined, limit);
    result->typeCode = kTypeString;
    result->textCut = left.textCut || right.textCut || count < joined.size();
    std::memcpy(result->value, joined.data(), count);
    std::memset(result->value + count, 0, result->size - count);
    PushItem(m, result);
}

bool BothTexts(const Item& left, const Item& right) {
    return left.typeCode == kTypeString && right.typeCode == kTypeString;
}

}  // namespace

// + joins two texts; any other pair is numbers.
void OpAdd(Machine& m) {
    const Item* right = PopItem(m);
    const Item* left = PopItem(m);
    if (BothTexts(*left, *right)) return PushJoinedText(m, *left, *right);
    const Operands o = NumberOperands(m, *left, *right);
    PushFloatResult(m, ArithmeticValue(Arithmetic::kAdd, o.left, o.right));
}

void OpSub(Machine& m) {
    const Operands o = PopOperands(m);
    PushFloatResult(m, ArithmeticValue(Arithmetic::kSub, o.left, o.right));
}

void OpMul(Machine& m) {
    const Operands o = PopOperands(m);
    PushFloatResult(m, ArithmeticValue(Arithmetic::kMul, o.left, o.right));
}

void OpDiv(Machine& m) {
    const Operands o = PopOperands(m);
    PushFloatResult(m, ArithmeticValue(Arithmetic::kDiv, o.left, o.right));
}

// A zero divisor stops the run; the result is 0 so the temporary stays defined.
void OpMod(Machine& m) {
    const IntegerOperands o = PopIntegerOperands(m);
    if (o.right == 0) {
        PushStop(m, "Error: Division by zero in '%'");
        PushFloatResult(m, 0.0);
        return;
    }
    PushFloatResult(m, o.left % o.right);
}

void OpAnd(Machine& m) {
    const IntegerOperands o = PopIntegerOperands(m);
    PushFloatResult(m, o.left & o.right);
}

void OpOr(Machine& m) {
    const IntegerOperands o = PopIntegerOperands(m);
    PushFloatResult(m, o.left | o.right);
}

void OpXor(Machine& m) {
    const IntegerOperands o = PopIntegerOperands(m);
    PushFloatResult(m, o.left ^ o.right);
}

// = and <> compare two texts byte for byte; any other pair as numbers.
void OpEq(Machine& m) {
    const Item* right = PopItem(m);
    const Item* left = PopItem(m);
    if (BothTexts(*left, *right)) return PushTruth(m, ItemText(*left) == ItemText(*right));
    const Operands o = NumberOperands(m, *left, *right);
    PushTruth(m, o.left == o.right);
}

void OpNe(Machine& m) {
    const Item* right = PopItem(m);
    const Item* left = PopItem(m);
    if (BothTexts(*left, *right)) return PushTruth(m, ItemText(*left) != ItemText(*right));
    const Operands o = NumberOperands(m, *left, *right);
    PushTruth(m, o.left != o.right);
}

void OpLt(Machine& m) {
    const Operands o = PopOperands(m);
    PushTruth(m, o.left < o.right);
}

void OpLe(Machine& m) {
    const Operands o = PopOperands(m);
    PushTruth(m, o.left <= o.right);
}

void OpGt(Machine& m) {
    const Operands o = PopOperands(m);
    PushTruth(m, o.left > o.right);
}

void OpGe(Machine& m) {
    const Operands o = PopOperands(m);
    PushTruth(m, o.left >= o.right);
}

// -0.0 equals 0 here; NaN does not.
void OpNot(Machine& m) {
    PushTruth(m, PopNumber(m) == 0.0);
}

namespace {

// The element `steps` links after element 0 along the VariableTable: from
// the array's table where the operand names it, else by the walk.
Item* ElementAfter(Machine& m, Item* base, uint32_t arrayNumber, uint32_t steps) {
    DeclaredArray* array = m.Arrays.ByNumber(arrayNumber);
    if (array != nullptr && array->first == base && steps < array->count) {
        return ElementOf(*array, steps);
    }
    return ItemAfter(m.Arrays, base, steps);
}

}  // namespace

// a[i]: takes the element i links after element 0 (the operand) and hands it
// to the next instruction. A negative index is a huge unsigned count and runs
// off the table. The element must carry exactly the array's name.
void IndexArray(Machine& m) {
    const auto steps = static_cast<uint32_t>(ToInt32(PopNumber(m)));
    Item* base = m.Current().item;
    Item* element = ElementAfter(m, base, m.Current().number, steps);
    if (base == nullptr || element == nullptr || !base->name || element->name != base->name) {
        PushStop(m, "Error: Out of array space");
        return;
    }
    const uint32_t user = m.ProgramCounter + 1;
    if (user >= Machine::kCodeTableSize) {
        PushStop(m, "Error: Array element without an instruction to use it");
        return;
    }
    m.CodeTable[user].item = element;
}

}  // namespace tarvil
