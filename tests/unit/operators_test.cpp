#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "compiler/compiler.h"
#include "handler_test_support.h"

namespace tarvil::testing {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct BinaryCase {
    const char* name;
    Handler handler;
    float left;
    float right;
    float expected;  // NaN: a NaN is expected
};

// Runs L op R with both operands as float variables; returns the stored result.
float Binary(Machine& m, Handler handler, Item* left, Item* right) {
    Item* result = Call(m, handler, {left, right});
    EXPECT_EQ(result->typeCode, kTypeFloat);
    EXPECT_EQ(m.StackTop, 1u);
    EXPECT_EQ(m.OperandStack[0], result);
    return ReadFloat(*result);
}

void ExpectSame(float actual, float expected, const char* name) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << name << " gave " << actual;
    } else {
        EXPECT_EQ(actual, expected) << name;
        EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << name;
    }
}

TEST(Operators, Table) {
    const BinaryCase cases[] = {
        {"1.5+2.25", OpAdd, 1.5f, 2.25f, 3.75f},
        {"1-3", OpSub, 1, 3, -2},
        {"6*7", OpMul, 6, 7, 42},
        {"7/2", OpDiv, 7, 2, 3.5f},
        {"1/0", OpDiv, 1, 0, kInf},
        {"-1/0", OpDiv, -1, 0, -kInf},
        {"0/0", OpDiv, 0, 0, kNaN},
        {"1/-0", OpDiv, 1, -0.0f, -kInf},
        {"3e38*10", OpMul, 3e38f, 10, kInf},  // stored as single precision
        {"7.9%3", OpMod, 7.9f, 3, 1},
        {"-1%3", OpMod, -1, 3, 0},
        {"7%-2", OpMod, 7, -2, 7},
        {"10%4", OpMod, 10, 4, 2},
        {"6&3", OpAnd, 6, 3, 2},
        {"-1&255", OpAnd, -1, 255, 255},
        {"6|3", OpOr, 6, 3, 7},
        {"-1|0", OpOr, -1, 0, 4294967296.0f},
        {"6^3", OpXor, 6, 3, 5},
        {"(2^32+512)&1023", OpAnd, 4294967808.0f, 1023, 512},  // only the low 32 bits count
        {"NaN|1", OpOr, kNaN, 1, 1},
        {"2=2", OpEq, 2, 2, 1},
        {"2=3", OpEq, 2, 3, 0},
        {"2<>2", OpNe, 2, 2, 0},
        {"2<>3", OpNe, 2, 3, 1},
        {"1<2", OpLt, 1, 2, 1},
        {"2<2", OpLt, 2, 2, 0},
        {"2<=2", OpLe, 2, 2, 1},
        {"3<=2", OpLe, 3, 2, 0},
        {"3>2", OpGt, 3, 2, 1},
        {"2>2", OpGt, 2, 2, 0},
        {"2>=2", OpGe, 2, 2, 1},
        {"1>=2", OpGe, 1, 2, 0},
        {"-0=0", OpEq, -0.0f, 0, 1},
        {"NaN=NaN", OpEq, kNaN, kNaN, 0},
        {"NaN<>NaN", OpNe, kNaN, kNaN, 1},
        {"NaN<1", OpLt, kNaN, 1, 0},
        {"NaN>=1", OpGe, kNaN, 1, 0},
    };
    for (const BinaryCase& c : cases) {
        Machine m;
        const float result =
            Binary(m, c.handler, MakeFloat(m, "l", c.left), MakeFloat(m, "r", c.right));
        ExpectSame(result, c.expected, c.name);
        EXPECT_TRUE(m.StopList.empty()) << c.name;
    }
}

TEST(Operators, RightOperandIsRoundedToSinglePrecisionFirst) {
    // An RGB colour with all four bytes set reads 4294967295, which single
    // precision cannot hold: R becomes 4294967296, L stays exact.
    const struct {
        Handler handler;
        float expected;
    } cases[] = {{OpEq, 0}, {OpNe, 1}, {OpLt, 1}, {OpLe, 1}, {OpGt, 0}, {OpGe, 0}, {OpSub, -1}};
    for (const auto& c : cases) {
        Machine m;
        Item* colour = MakeColour(m, kTypeRgb, "c", {255, 255, 255, 255});
        EXPECT_EQ(Binary(m, c.handler, colour, colour), c.expected);
    }
    // 16777217 (bytes 1, 0, 0, 1) rounds to 16777216 on the right only.
    Machine m;
    Item* colour = MakeColour(m, kTypeRgb, "c", {1, 0, 0, 1});
    EXPECT_EQ(Binary(m, OpSub, colour, colour), 1.0f);
}

// The faster forms work on two floats in single precision: the result must
// have the bits of the double-precision rule rounded, for every operator, on
// operands that round, overflow, underflow, cancel or are not numbers.
TEST(Operators, SinglePrecisionArithmeticHasTheBitsOfTheDoubleRule) {
    const float kMax = std::numeric_limits<float>::max();
    const float kTiny = std::numeric_limits<float>::denorm_min();
    const float kSmallest = std::numeric_limits<float>::min();
    const float values[] = {0.0f,     -0.0f,       1.0f,        -1.0f,      3.0f,  0.1f,
                            1.0f / 3, 16777216.0f, 16777217.0f, 1e-30f,     1e30f, kMax,
                            -kMax,    kTiny,       kSmallest,   -kSmallest, kInf,  -kInf,
                            kNaN,     -kNaN,       255.0f,      2.2f};
    const auto bits = [](float f) {
        uint32_t word;
        std::memcpy(&word, &f, sizeof word);
        return word;
    };
    for (const Arithmetic op :
         {Arithmetic::kAdd, Arithmetic::kSub, Arithmetic::kMul, Arithmetic::kDiv}) {
        for (const float left : values) {
            for (const float right : values) {
                const float single = SingleArithmeticValue(op, left, right);
                const auto viaDouble = static_cast<float>(ArithmeticValue(op, left, right));
                EXPECT_EQ(bits(single), bits(viaDouble))
                    << static_cast<int>(op) << " " << left << " " << right;
            }
        }
    }
}

TEST(Operators, ModuloByZeroStopsTheRun) {
    for (float divisor : {0.0f, 0.5f, -0.9f, 4294967296.0f}) {
        Machine m;
        Item* result = MakeTemp(m);
        WriteFloat(*result, 99);
        PushItem(m, MakeFloat(m, "l", 5));
        PushItem(m, MakeFloat(m, "r", divisor));
        RunHandler(m, OpMod, result);
        EXPECT_EQ(LastStop(m), "Error: Division by zero in '%'") << divisor;
        EXPECT_EQ(ReadFloat(*result), 0.0f);
        EXPECT_EQ(m.StackTop, 1u);
    }
}

TEST(Operators, Not) {
    const struct {
        float operand;
        float expected;
    } cases[] = {{0, 1}, {-0.0f, 1}, {5, 0}, {-1, 0}, {kNaN, 0}, {1e-30f, 0}};
    for (const auto& c : cases) {
        Machine m;
        Item* result = Call(m, OpNot, {MakeFloat(m, "x", c.operand)});
        EXPECT_EQ(ReadFloat(*result), c.expected) << c.operand;
        EXPECT_EQ(m.StackTop, 1u);
    }
}

TEST(Operators, NonNumericOperandCountsAsZero) {
    Machine m;
    Item* result = Call(m, OpAdd, {MakeString(m, "s", "12"), MakeFloat(m, "r", 2)});
    EXPECT_EQ(ReadFloat(*result), 2.0f);
    EXPECT_EQ(LastStop(m), "Error: Argument not numeric");
}

// + joins two texts and = and <> compare them; a join longer than a string
// holds is cut and marked, so that no file operation takes it for a name; a
// text with a number, or a text's comparison by order, stays not numeric.
TEST(Operators, TextsJoinAndCompare) {
    Machine m;
    Item* photo = MakeString(m, "a", "photo.bmp");
    Item* png = MakeString(m, "b", ".png");
    Item* joined = Call(m, OpAdd, {photo, png});
    EXPECT_EQ(joined->typeCode, kTypeString);
    EXPECT_EQ(ItemText(*joined), "photo.bmp.png");
    EXPECT_FALSE(joined->textCut);
    m.StackTop = 0;
    Item* same = MakeString(m, "c", "photo.bmp");
    EXPECT_EQ(Binary(m, OpEq, photo, same), 1.0f);
    m.StackTop = 0;
    EXPECT_EQ(Binary(m, OpNe, photo, same), 0.0f);
    m.StackTop = 0;
    EXPECT_EQ(Binary(m, OpEq, photo, png), 0.0f);
    m.StackTop = 0;
    const std::string half(200, 'x');
    Item* longer = MakeString(m, "d", half);
    Item* cut = Call(m, OpAdd, {longer, longer});
    EXPECT_EQ(ItemText(*cut).size(), 254u);
    EXPECT_TRUE(cut->textCut);
    EXPECT_TRUE(m.StopList.empty());
    m.StackTop = 0;
    Call(m, OpAdd, {photo, MakeFloat(m, "n", 1)});
    EXPECT_EQ(LastStop(m), "Error: Argument not numeric");
    Machine order;
    Call(order, OpLt, {MakeString(order, "a", "a"), MakeString(order, "b", "b")});
    EXPECT_EQ(LastStop(order), "Error: Argument not numeric");
}

TEST(Operators, MissingOperandDoesNotReadBelowTheStack) {
    Machine m;
    Item* result = Call(m, OpMul, {MakeFloat(m, "r", 2)});
    EXPECT_FALSE(m.StopList.empty());
    EXPECT_EQ(ReadFloat(*result), 0.0f);
    EXPECT_EQ(m.StackTop, 1u);
}

class IndexArrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFloat(m_, "other", -1);
        // FLOAT b[3]: the element created last is element 0.
        for (int k = 2; k >= 0; --k) elements_[k] = MakeFloat(m_, "b", static_cast<float>(k));
        MakeFloat(m_, "newer", -2);
    }

    // Runs b[index] with `user` standing for the instruction that uses the element.
    Item* Index(float index, uint32_t at = 0) {
        PushItem(m_, MakeFloat(m_, "Const", index));
        m_.ProgramCounter = at;
        m_.CodeTable[at] = Instruction{IndexArray, elements_[0], arrayNumber_};
        if (at + 1 < Machine::kCodeTableSize) m_.CodeTable[at + 1].item = nullptr;
        IndexArray(m_);
        EXPECT_EQ(m_.StackTop, 0u);
        return at + 1 < Machine::kCodeTableSize ? m_.CodeTable[at + 1].item : nullptr;
    }

    // Gives the array its table of elements, as its declaration does.
    void Tabulate() {
        DeclaredArray& array = m_.Arrays.arrays.emplace_back();
        array.first = elements_[0];
        array.count = 3;
        array.items = {elements_[0], elements_[1], elements_[2]};
        m_.Arrays.byFirstElement[elements_[0]] = 0;
        arrayNumber_ = 1;
    }

    Machine m_;
    Item* elements_[3] = {};
    uint32_t arrayNumber_ = 0;  // 0: found by walking the VariableTable
};

TEST_F(IndexArrayTest, ReachesEachElement) {
    const struct {
        float index;
        int element;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {2.9f, 2}, {-0.5f, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Index(c.index), elements_[c.element]) << c.index;
        EXPECT_TRUE(m_.StopList.empty()) << c.index;
    }
}

TEST_F(IndexArrayTest, OutOfRangeIndicesStop) {
    for (float index : {3.0f, 4.0f, -1.0f, 1e10f, kNaN, 1e6f}) {
        EXPECT_EQ(Index(index), nullptr) << index;  // the user's operand is left alone
        EXPECT_EQ(LastStop(m_), "Error: Out of array space") << index;
        ClearList(m_.StopList);
    }
}

// The table of elements finds what the walk finds, past its end too (the
// walk goes on into older Items: "other" has another name).
TEST_F(IndexArrayTest, TableOfElementsFindsWhatTheWalkFinds) {
    for (float index : {0.0f, 1.0f, 2.0f, 2.9f, 3.0f, 4.0f, -1.0f, 1e10f, kNaN}) {
        arrayNumber_ = 0;
        Item* walked = Index(index);
        const std::string walkStop = LastStop(m_);
        ClearList(m_.StopList);
        if (m_.Arrays.arrays.empty()) Tabulate();
        arrayNumber_ = 1;
        EXPECT_EQ(Index(index), walked) << index;
        EXPECT_EQ(LastStop(m_), walkStop) << index;
        ClearList(m_.StopList);
        // An entry that is not this array's (another array's number) is not used.
        arrayNumber_ = 2;
        EXPECT_EQ(Index(index), walked) << index;
        ClearList(m_.StopList);
    }
}

// Arrays of floats and colours keep their elements in one block, Items of
// strings and images; either way an index past an array walks on into the
// Items declared before it, as if every element were an Item. Each row
// declares two arrays named b, the older first, after a float "other", and
// tags every element with its position along the walk.
TEST(PackedArrays, IndexingWalksOnAsTheElementItemsWould) {
    const struct {
        TypeCode older;
        TypeCode newer;
    } rows[] = {{kTypeFloat, kTypeFloat},
                {kTypeString, kTypeRgb},
                {kTypeHbs, kTypeString},
                {kTypeImage, kTypeFloat}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.older) * 100 + row.newer);
        Machine m;
        MakeFloat(m, "other", -1);
        CompileDeclaration(m, row.older, "b[2]");
        CompileDeclaration(m, row.newer, "b[3]");
        ASSERT_TRUE(m.StopList.empty()) << LastStop(m);
        EXPECT_EQ(m.VariableTable.count, 1u + 2 + 3);  // packed elements count too
        Item* first = FindItem(m.VariableTable, 0, "b");
        const uint32_t number = m.Arrays.byFirstElement.at(first) + 1;
        // A step through the array's table and one by the walk alone (no number).
        const auto index = [&](float at, uint32_t withNumber) {
            PushItem(m, MakeFloat(m, "Const", at));
            m.ProgramCounter = 0;
            m.CodeTable[0] = Instruction{IndexArray, first, withNumber};
            m.CodeTable[1].item = nullptr;
            IndexArray(m);
            return m.CodeTable[1].item;
        };
        std::vector<Item*> walk;
        for (uint32_t k = 0; k < 5; ++k) walk.push_back(index(static_cast<float>(k), number));
        ASSERT_TRUE(m.StopList.empty()) << LastStop(m);
        for (uint32_t k = 0; k < 5; ++k) {
            ASSERT_NE(walk[k], nullptr) << k;
            EXPECT_EQ(*walk[k]->name, "b") << k;
            EXPECT_EQ(walk[k]->typeCode, k < 3 ? row.newer : row.older) << k;
            EXPECT_EQ(index(static_cast<float>(k), 0), walk[k]) << k;  // the same Item again
            if (walk[k]->size >= 1) walk[k]->value[0] = static_cast<std::byte>(k + 1);
        }
        // Every element has a block of its own.
        for (uint32_t k = 0; k < 5; ++k) {
            if (walk[k]->size >= 1) {
                EXPECT_EQ(walk[k]->value[0], static_cast<std::byte>(k + 1)) << k;
            }
        }
        // Past the older array: "other", whose name is not the array's.
        EXPECT_EQ(index(5, number), nullptr);
        EXPECT_EQ(LastStop(m), "Error: Out of array space");
    }
}

TEST_F(IndexArrayTest, LastInstructionHasNoUserToRedirect) {
    Index(1, Machine::kCodeTableSize - 1);
    EXPECT_FALSE(m_.StopList.empty());
}

}  // namespace
}  // namespace tarvil::testing
