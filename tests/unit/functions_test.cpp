#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <string>

#include "engine/file_find.h"
#include "engine/text_encoding.h"
#include "handler_test_support.h"

namespace tarvil::testing {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float Apply(Handler handler, std::initializer_list<float> arguments) {
    Machine m;
    for (float a : arguments) PushItem(m, MakeFloat(m, "Const", a));
    Item* result = MakeTemp(m);
    RunHandler(m, handler, result);
    EXPECT_TRUE(m.StopList.empty());
    EXPECT_EQ(m.StackTop, 1u);
    EXPECT_EQ(result->typeCode, kTypeFloat);
    return ReadFloat(*result);
}

TEST(MathFunctions, EdgeValues) {
    const struct {
        const char* name;
        Handler handler;
        std::initializer_list<float> arguments;
        float expected;  // NaN: a NaN is expected
    } cases[] = {
        {"SIN(0)", FuncSin, {0}, 0},
        {"COS(0)", FuncCos, {0}, 1},
        {"TAN(0)", FuncTan, {0}, 0},
        {"ASIN(1)", FuncAsin, {1}, 1.5707964f},
        {"ASIN(2)", FuncAsin, {2}, kNaN},
        {"ACOS(1)", FuncAcos, {1}, 0},
        {"ATAN(1)", FuncAtan, {1}, 0.7853982f},
        {"HSIN(0)", FuncHsin, {0}, 0},
        {"HCOS(0)", FuncHcos, {0}, 1},
        {"HTAN(100)", FuncHtan, {100}, 1},
        {"HSIN(1000)", FuncHsin, {1000}, kInf},
        {"SQR(16)", FuncSqr, {16}, 4},
        {"SQR(-1)", FuncSqr, {-1}, kNaN},
        {"ABS(-2.5)", FuncAbs, {-2.5f}, 2.5f},
        {"EXP(0)", FuncExp, {0}, 1},
        {"EXP(1000)", FuncExp, {1000}, kInf},
        {"LOG(0)", FuncLog, {0}, -kInf},
        {"LOG(-1)", FuncLog, {-1}, kNaN},
        {"BLOG(1000)", FuncBlog, {1000}, 3},
        {"POW(2,10)", FuncPow, {2, 10}, 1024},
        {"POW(2,-1)", FuncPow, {2, -1}, 0.5f},
        {"POW(-8,0.5)", FuncPow, {-8, 0.5f}, kNaN},
        {"POW(10,40)", FuncPow, {10, 40}, kInf},
        {"MIN(3,5)", FuncMin, {3, 5}, 3},
        {"MIN(5,3)", FuncMin, {5, 3}, 3},
        {"MAX(3,5)", FuncMax, {3, 5}, 5},
        {"MAX(5,3)", FuncMax, {5, 3}, 5},
        {"MIN(NaN,1)", FuncMin, {kNaN, 1}, 1},
        {"MAX(1,NaN)", FuncMax, {1, kNaN}, kNaN},
        {"INT(3.7)", FuncInt, {3.7f}, 3},
        {"INT(-1.5)", FuncInt, {-1.5f}, 4294967296.0f},
        {"INT(-0.5)", FuncInt, {-0.5f}, 0},
        {"INT(NaN)", FuncInt, {kNaN}, 0},
    };
    for (const auto& c : cases) {
        const float result = Apply(c.handler, c.arguments);
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(result)) << c.name << " gave " << result;
        } else {
            EXPECT_EQ(result, c.expected) << c.name;
        }
    }
}

TEST(MathFunctions, NonNumericArgumentCountsAsZero) {
    Machine m;
    Item* result = Call(m, FuncCos, {MakeString(m, "s", "1")});
    EXPECT_EQ(ReadFloat(*result), 1.0f);
    EXPECT_EQ(LastStop(m), "Error: Argument not numeric");
}

TEST(Rand, SequenceFromProgramStart) {
    Machine m;
    EXPECT_EQ(ReadFloat(*Call(m, FuncRand, {MakeFloat(m, "Const", 1)})), 0.0012512589f);
    // RAND(32767) yields the generator's raw values.
    for (float r : {18467.0f, 6334.0f, 26500.0f, 19169.0f}) {
        m.StackTop = 0;
        EXPECT_EQ(ReadFloat(*Call(m, FuncRand, {MakeFloat(m, "Const", 32767)})), r);
    }
    m.StackTop = 0;
    EXPECT_EQ(ReadFloat(*Call(m, FuncRand, {MakeFloat(m, "Const", 0)})), 0.0f);

    // The state carries on: a machine restored to it continues the same sequence.
    Machine again;
    EXPECT_EQ(ReadFloat(*Call(again, FuncRand, {MakeFloat(again, "Const", 32767)})), 41.0f);
    again.RandState = m.RandState;
    again.StackTop = 0;
    const float next = ReadFloat(*Call(again, FuncRand, {MakeFloat(again, "Const", 32767)}));
    m.StackTop = 0;
    EXPECT_EQ(ReadFloat(*Call(m, FuncRand, {MakeFloat(m, "Const", 32767)})), next);
}

class FileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvil-filefind-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (const char* name : {"a.bmp", "b.bmp", "notes.txt", "citt\xC3\xA0.bmp",
                                 "\xE6\x97\xA5\xE6\x9C\xAC.bmp", "old\xE9.bmp"}) {
            std::ofstream(dir_ + "/" + name) << "x";
        }
        std::filesystem::create_directory(dir_ + "/sub");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // FILEFIND(variable); returns the result text.
    std::string Find(Item* pattern) {
        m_.StackTop = 0;
        Item* result = Call(m_, FuncFileFind, {pattern});
        EXPECT_EQ(result->typeCode, kTypeString);
        EXPECT_EQ(m_.StackTop, 1u);
        EXPECT_TRUE(m_.StopList.empty());
        return std::string(ItemText(*result));
    }

    // Calls FILEFIND until it gives empty text; a search that never ends fails instead of hanging.
    std::set<std::string> FindAll(const std::string& pattern) {
        Item* variable = MakeString(m_, "p", pattern);
        std::set<std::string> found;
        for (int call = 0; call < 100; ++call) {
            const std::string name = Find(variable);
            if (name.empty()) return found;
            EXPECT_TRUE(found.insert(name).second) << "repeated " << name;
        }
        ADD_FAILURE() << "the search did not end";
        return found;
    }

    std::string dir_;
    Machine m_;
};

TEST_F(FileFindTest, EnumeratesWithTheVariableItEmptied) {
    Item* variable = MakeString(m_, "p", dir_ + "/?.bmp");
    const std::string first = Find(variable);
    EXPECT_EQ(ItemText(*variable), "");
    const std::string second = Find(variable);
    EXPECT_EQ((std::set<std::string>{first, second}),
              (std::set<std::string>{dir_ + "/a.bmp", dir_ + "/b.bmp"}));
    EXPECT_EQ(Find(variable), "");
    EXPECT_EQ(Find(variable), "");
    EXPECT_FALSE(m_.FileFind->dir);
}

TEST_F(FileFindTest, WildcardsIncludingDotEntriesAndSubdirectories) {
    EXPECT_EQ(FindAll(dir_ + "/*"),
              (std::set<std::string>{dir_ + "/.", dir_ + "/..", dir_ + "/a.bmp", dir_ + "/b.bmp",
                                     dir_ + "/notes.txt", dir_ + "/citt\xC3\xA0.bmp",
                                     dir_ + "/\xE6\x97\xA5\xE6\x9C\xAC.bmp", dir_ + "/old\xE9.bmp",
                                     dir_ + "/sub"}));
    EXPECT_EQ(FindAll(dir_ + "/*.txt"), (std::set<std::string>{dir_ + "/notes.txt"}));
    // Names are bytes on both sides: UTF-8 as it is, and a Latin-1 name that is not UTF-8.
    for (const std::string name :
         {"citt\xC3\xA0.bmp", "\xE6\x97\xA5\xE6\x9C\xAC.bmp", "old\xE9.bmp"}) {
        EXPECT_EQ(FindAll(dir_ + "/" + name), (std::set<std::string>{dir_ + "/" + name}));
    }
    // "?" is one character of a UTF-8 name and one byte of any other, in every locale.
    EXPECT_EQ(FindAll(dir_ + "/citt?.bmp"), (std::set<std::string>{dir_ + "/citt\xC3\xA0.bmp"}));
    EXPECT_EQ(FindAll(dir_ + "/old?.bmp"), (std::set<std::string>{dir_ + "/old\xE9.bmp"}));
    EXPECT_EQ(FindAll(dir_ + "/??.bmp"),
              (std::set<std::string>{dir_ + "/\xE6\x97\xA5\xE6\x9C\xAC.bmp"}));
    EXPECT_EQ(FindAll(dir_ + "/\xE6\x97\xA5*"),
              (std::set<std::string>{dir_ + "/\xE6\x97\xA5\xE6\x9C\xAC.bmp"}));
}

TEST_F(FileFindTest, NothingToFind) {
    for (const std::string& pattern :
         {dir_ + "/*.gif", dir_ + "/missing/*", std::string("no-such-dir\\*.bmp")}) {
        Item* variable = MakeString(m_, "p", pattern);
        EXPECT_EQ(Find(variable), "") << pattern;
        EXPECT_EQ(ItemText(*variable), "") << pattern;
        EXPECT_EQ(Find(variable), "") << pattern;
    }
    // No search was ever opened.
    Machine fresh;
    Item* result = Call(fresh, FuncFileFind, {MakeString(fresh, "p", "")});
    EXPECT_EQ(ItemText(*result), "");
}

TEST_F(FileFindTest, RelativePatternUsesTheWorkingDirectory) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    const std::set<std::string> found = FindAll("*.bmp");
    const std::set<std::string> inSub = FindAll("sub/*");
    std::filesystem::current_path(previous);
    EXPECT_EQ(found, (std::set<std::string>{"a.bmp", "b.bmp", "citt\xC3\xA0.bmp",
                                            "\xE6\x97\xA5\xE6\x9C\xAC.bmp", "old\xE9.bmp"}));
    EXPECT_EQ(inSub, (std::set<std::string>{"sub/.", "sub/.."}));
}

TEST_F(FileFindTest, NewPatternEndsTheOpenSearch) {
    Item* variable = MakeString(m_, "p", dir_ + "/*");
    EXPECT_NE(Find(variable), "");
    Item* other = MakeString(m_, "q", dir_ + "/notes.txt");
    EXPECT_EQ(Find(other), dir_ + "/notes.txt");
    EXPECT_EQ(Find(variable), "");  // continues the new search, which has nothing more
}

TEST_F(FileFindTest, LongResultIsCutToTheTemporary) {
    std::string longName(200, 'n');
    std::ofstream(dir_ + "/" + longName) << "x";
    Item* variable = MakeString(m_, "p", dir_ + "/nnnn*");
    const std::string expected = (dir_ + "/" + longName).substr(0, 254);
    EXPECT_EQ(Find(variable), expected);
}

}  // namespace
}  // namespace tarvil::testing
