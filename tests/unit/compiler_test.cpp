// The compiler's observable output: statement codes, emitted instruction
// shapes, ParamCount and the exact error messages.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "app/new_script_template.h"
#include "compiler/compiler.h"
#include "handlers/handlers.h"
#include "unit/fake_host.h"

namespace tarvil {
namespace {

using std::string_literals::operator""s;

struct ClassifyCase {
    const char* line;
    int32_t code;
    const char* rest;  // the text from the cursor on
};

TEST(ClassifyLineTest, FindsStatementAndCursor) {
    const ClassifyCase cases[] = {
        {"   For y=0 to 255", kw::kFor, "y=0 to 255"},
        {"pix.Red  =pix.Red", kw::kAssignment, "=pix.Red"},
        {"SetPalette(Obmp,y,pix)", kw::kSetPalette, "(Obmp,y,pix)"},
        {"DevCon   Ibmp,Obmp", kw::kDevcon, "Ibmp,Obmp"},
        {"Next y", kw::kNext, "y"},
        {"x[i=1] = 2", kw::kAssignment, "= 2"},
        {"foo", 0, ""},
        {"foo bar", 0, "bar"},
        {"FOR=1", kw::kAssignment, "=1"},
        {"Debugging", kw::kDebug, ""},
        {"ELSEIF(x)", kw::kElse, "(x)"},
        {"", 0, ""},
        {"     ", 0, ""},
    };
    for (const ClassifyCase& c : cases) {
        size_t cursor = 0;
        const std::string_view line(c.line);
        EXPECT_EQ(ClassifyLine(line, cursor), c.code) << c.line;
        EXPECT_EQ(line.substr(cursor), c.rest) << c.line;
    }
}

TEST(KeywordTest, FirstKeywordThatBeginsTheTextWins) {
    std::string_view spelling;
    EXPECT_EQ(MatchKeyword("SETPIXELVAL(", &spelling), kw::kSetPixelVal);
    EXPECT_EQ(MatchKeyword("setpixel("), kw::kSetPixel);
    EXPECT_EQ(MatchKeyword("Redness", &spelling), kMemberRed);
    EXPECT_EQ(spelling, "Red");
    EXPECT_EQ(MatchKeyword("width", &spelling), kMemberWidth);
    EXPECT_EQ(spelling, "Width");
    EXPECT_EQ(MatchKeyword("SINE"), kw::kSin);
    EXPECT_EQ(MatchKeyword("asin"), kw::kAsin);
    EXPECT_EQ(MatchKeyword("Foo"), 0);
    EXPECT_EQ(MatchKeyword("RG"), 0);  // shorter than every keyword it begins
}

// Compiles `text` in a fresh machine and keeps the result for inspection.
class Compiled {
public:
    explicit Compiled(const std::string& text) {
        machine.host = &host;
        ok = CompileScript(machine, text);
    }
    std::vector<Handler> Handlers() const {
        std::vector<Handler> handlers;
        for (uint32_t i = 0; i < machine.EmitCount; ++i)
            handlers.push_back(machine.CodeTable[i].handler);
        return handlers;
    }
    std::string Message() const {
        const Item* stop = ItemAt(machine.StopList, 0);
        return stop && stop->name ? *stop->name : std::string();
    }
    const Item* Operand(uint32_t index) const { return machine.CodeTable[index].item; }

    testing::FakeHost host;
    Machine machine;
    bool ok = false;
};

TEST(CompileScriptTest, EmptyTextCompilesToReturn) {
    Compiled c("");
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.Handlers(), std::vector<Handler>{StmtReturn});
}

TEST(CompileScriptTest, TemplateCompilesTo118Instructions) {
    Compiled c{std::string(NewScriptTemplate)};
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.machine.EmitCount, 118u);
    EXPECT_EQ(c.machine.CodeTable[117].handler, StmtReturn);
    EXPECT_EQ(NewScriptTemplate.size(), 925u);
}

TEST(CompileScriptTest, GetPixelAssignmentShape) {
    Compiled c("DevCon Ibmp\r\nfloat x,y\r\nRGB pix\r\npix=GetPixel(Ibmp,x,y)\r\n");
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.Handlers(), (std::vector<Handler>{PushOperand, PushOperand, PushOperand,
                                                  FuncGetPixel, Assign, StmtReturn}));
    EXPECT_EQ(*c.Operand(0)->name, "Ibmp");
    EXPECT_EQ(*c.Operand(1)->name, "x");
    EXPECT_EQ(*c.Operand(2)->name, "y");
    EXPECT_EQ(*c.Operand(3)->name, "Temp Var");
    EXPECT_EQ(*c.Operand(4)->name, "pix");
}

TEST(CompileScriptTest, ForLoopShape) {
    Compiled c("float y,a\r\nFor y=0 to 255\r\na=y\r\nNext y\r\n");
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.Handlers(),
              (std::vector<Handler>{PushOperand, Assign, PushOperand, Assign, PushOperand, Assign,
                                    PushOperand, Assign,  // the body a=y
                                    PushOperand, PushOperand, OpAdd, PushOperand, OpLe, JumpIfTrue,
                                    StmtReturn}));
    const Machine& m = c.machine;
    EXPECT_EQ(*m.CodeTable[0].item->name, "Const 0.000000");
    EXPECT_EQ(*m.CodeTable[1].item->name, "y");
    EXPECT_EQ(*m.CodeTable[2].item->name, "Const 255.000000");
    EXPECT_EQ(*m.CodeTable[3].item->name, "ForNextTo y");
    EXPECT_EQ(*m.CodeTable[4].item->name, "Const 1.000000");
    EXPECT_EQ(*m.CodeTable[5].item->name, "ForNextSteep y");
    EXPECT_EQ(*m.CodeTable[8].item->name, "ForNextSteep y");
    EXPECT_EQ(*m.CodeTable[9].item->name, "y");
    EXPECT_EQ(m.CodeTable[10].item, m.CodeTable[9].item);  // the sum goes straight into y
    EXPECT_EQ(*m.CodeTable[11].item->name, "ForNextTo y");
    EXPECT_EQ(m.CodeTable[13].number, 5u);  // resumes at the body's first instruction
    EXPECT_TRUE(m.LoopList.empty());
}

TEST(CompileScriptTest, IfElseEndifPatches) {
    Compiled c("float a\r\nIF(a)\r\na=1\r\nELSE\r\na=2\r\nENDIF\r\na=3\r\n");
    ASSERT_TRUE(c.ok) << c.Message();
    // 0 Push a, 1 JumpIfFalse, 2-3 a=1, 4 Jump, 5-6 a=2, 7-8 a=3, 9 Return
    const Machine& m = c.machine;
    EXPECT_EQ(m.CodeTable[1].handler, JumpIfFalse);
    EXPECT_EQ(m.CodeTable[1].number, 4u);
    EXPECT_EQ(m.CodeTable[4].handler, Jump);
    EXPECT_EQ(m.CodeTable[4].number, 6u);
    EXPECT_TRUE(m.BranchList.empty());
}

TEST(CompileScriptTest, IfWithoutElsePatchesToLastBodyInstruction) {
    Compiled c("float a\r\nIF(a)\r\na=1\r\nENDIF\r\n");
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.machine.CodeTable[1].number, 3u);
}

struct ExpressionCase {
    const char* expression;
    std::vector<Handler> handlers;  // emitted for "x=<expression>", before Assign
    int paramCount;
};

TEST(ExpressionTest, EmittedCodeAndParamCount) {
    const std::vector<ExpressionCase> cases = {
        {"-5", {PushOperand, PushOperand, OpSub}, 1},
        {"1+2*3", {PushOperand, PushOperand, OpAdd, PushOperand, OpMul}, 1},
        {"2*(3+4)", {PushOperand, PushOperand, PushOperand, OpAdd, OpMul}, 1},
        {"a<=b+1", {PushOperand, PushOperand, OpLe, PushOperand, OpAdd}, 1},
        {"a<>b", {PushOperand, PushOperand, OpNe}, 1},
        {"a>=b", {PushOperand, PushOperand, OpGe}, 1},
        {"a>>b", {PushOperand, PushOperand, OpGt}, 1},
        {"a<=b&a<b", {PushOperand, PushOperand, OpLe, PushOperand, OpAnd, PushOperand, OpLt}, 1},
        {"!a&b", {PushOperand, OpNot, PushOperand, OpAnd}, 1},
        {"!(a&b)", {PushOperand, PushOperand, OpAnd, OpNot}, 1},
        {"a*-b", {PushOperand, PushOperand, PushOperand, OpSub, OpMul}, 1},
        {"SIN (a)", {PushOperand, FuncSin}, 1},
        {"S IN(a)", {PushOperand, FuncSin}, 1},  // blanks go before anything is read
        {"1+2)+3", {PushOperand, PushOperand, OpAdd}, 1},
        {"POW(a,2)", {PushOperand, PushOperand, FuncPow}, 2},
        {"1.5.7", {PushOperand}, 1},
    };
    for (const ExpressionCase& c : cases) {
        testing::FakeHost host;
        Machine m(&host);
        CompileDeclaration(m, kTypeFloat, "a,b,x");
        m.ParamCount = 0;
        std::string text = c.expression;
        EXPECT_TRUE(CompileExpression(m, text)) << c.expression;
        std::vector<Handler> handlers;
        for (uint32_t i = 0; i < m.EmitCount; ++i) handlers.push_back(m.CodeTable[i].handler);
        EXPECT_EQ(handlers, c.handlers) << c.expression;
        EXPECT_EQ(m.ParamCount, c.paramCount) << c.expression;
    }
}

TEST(ExpressionTest, NumberReadingSkipsTheWholeRun) {
    size_t cursor = 0;
    EXPECT_FLOAT_EQ(ReadNumber("1.5.7+1", cursor), 1.5f);
    EXPECT_EQ(cursor, 4u);
    cursor = 0;
    EXPECT_FLOAT_EQ(ReadNumber(".25", cursor), 0.25f);
    cursor = 0;
    EXPECT_FLOAT_EQ(ReadNumber("0x10", cursor), 0.0f);  // no hexadecimal numbers
}

TEST(ExpressionTest, NumbersWithExponents) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const std::string tiny = "0." + std::string(200, '0') + "1e-200";
    const struct {
        std::string text;
        float value;
        size_t last;  // where the cursor ends: the number's last character
        bool incompleteExponent;
    } cases[] = {
        {"1e5", 1e5f, 2, false},
        {"2.5e-3", 0.0025f, 5, false},
        {"1E5", 1e5f, 2, false},
        {"1e+2*x", 100.0f, 3, false},
        {"1e3+e", 1000.0f, 2, false},
        {".5e1", 5.0f, 3, false},
        {"007e01", 70.0f, 5, false},
        {"1e", 1.0f, 0, true},
        {"1e+", 1.0f, 0, true},
        {"12E-x", 12.0f, 1, true},
        {"1.5.7e3)", 1.5f, 6, false},  // the value stops at the second point, the run does not
        {"1e39", kInfinity, 3, false},
        {"1e999", kInfinity, 4, false},
        {"1e99999999999999999999", kInfinity, 21, false},
        {"1e-999", 0.0f, 5, false},
        {"1e-46", 0.0f, 4, false},
        {tiny, 0.0f, tiny.size() - 1, false},
        {"0.0e999", 0.0f, 6, false},
        {".", 0.0f, 0, false},
    };
    for (const auto& c : cases) {
        size_t cursor = 0;
        bool incomplete = !c.incompleteExponent;
        EXPECT_EQ(ReadNumber(c.text, cursor, &incomplete), c.value) << c.text;
        EXPECT_EQ(cursor, c.last) << c.text;
        EXPECT_EQ(incomplete, c.incompleteExponent) << c.text;
    }
}

TEST(ExpressionTest, LiteralConstantsHoldTheirValue) {
    // With a variable e declared, 1e5 is still the number 100000.
    Compiled c("float e,x\r\nx=1e5\r\nx=2.5e-3+e\r\nx=-1E3");
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.Handlers(),
              (std::vector<Handler>{PushOperand, Assign, PushOperand, PushOperand, OpAdd, Assign,
                                    PushOperand, PushOperand, OpSub, Assign, StmtReturn}));
    EXPECT_EQ(ReadFloat(*c.Operand(0)), 1e5f);
    EXPECT_EQ(*c.Operand(0)->name, "Const 100000.000000");
    EXPECT_EQ(ReadFloat(*c.Operand(2)), 0.0025f);
    EXPECT_EQ(*c.Operand(3)->name, "e");
    EXPECT_EQ(ReadFloat(*c.Operand(7)), 1000.0f);
}

TEST(ExpressionTest, DspWhileParamCounts) {
    struct Case {
        const char* line;
        bool ok;
    } cases[] = {
        {"DspWhile(\"a\",SIN(x))", true},
        {"DspWhile(\"a\",POW(x,2))", false},
        {"DspWhile(\"\",0)", true},
        {"DspWhile(!x,50)", true},  // "!" does not change the count
    };
    for (const Case& c : cases) {
        Compiled compiled(std::string("float x\r\n") + c.line);
        EXPECT_EQ(compiled.ok, c.ok) << c.line << ": " << compiled.Message();
    }
}

TEST(BuiltinStatementTest, PreviewGetsDefaultSize) {
    Compiled c("DevCon Obmp\r\nPreview(Obmp,\"Output\",5,5)\r\n");
    ASSERT_TRUE(c.ok) << c.Message();
    EXPECT_EQ(c.Handlers(),
              (std::vector<Handler>{PushOperand, PushOperand, PushOperand, PushOperand, PushOperand,
                                    PushOperand, OpAdd, PushOperand, PushOperand, OpAdd,
                                    StmtPreview, StmtReturn}));
    EXPECT_EQ(*c.Operand(4)->name, "Obmp.Width");
    EXPECT_EQ(*c.Operand(7)->name, "Obmp.Height");
}

TEST(BuiltinStatementTest, DspMesPushesItsCount) {
    Compiled c("DspMes(\"End\")");
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.Handlers(),
              (std::vector<Handler>{PushOperand, PushOperand, StmtDspMes, StmtReturn}));
    EXPECT_EQ(*c.Operand(1)->name, "Num param");
    EXPECT_FLOAT_EQ(ReadFloat(*c.Operand(1)), 1.0f);
}

// A string right after an operator is its right operand; elsewhere (a DSPMES
// list) it stands between values without taking an operator.
TEST(ExpressionTest, AStringRightAfterAnOperatorIsItsOperand) {
    const struct {
        const char* script;
        std::vector<Handler> handlers;
    } cases[] = {
        {"string a,b\r\nb=a+\".png\"", {PushOperand, PushOperand, OpAdd, Assign, StmtReturn}},
        {"string a\r\nfloat t\r\nt=(a<>\"\")",
         {PushOperand, PushOperand, OpNe, Assign, StmtReturn}},
        {"string b\r\nb=\"one\"+\"two\"+\"three\"",
         {PushOperand, PushOperand, OpAdd, PushOperand, OpAdd, Assign, StmtReturn}},
        {"float x,y\r\nDspMes(x \"=\" y)",
         {PushOperand, PushOperand, PushOperand, PushOperand, StmtDspMes, StmtReturn}},
    };
    for (const auto& c : cases) {
        Compiled compiled(c.script);
        ASSERT_TRUE(compiled.ok) << c.script << ": " << compiled.Message();
        EXPECT_EQ(compiled.Handlers(), c.handlers) << c.script;
    }
}

TEST(VariableTest, DeclarationsArraysAndMembers) {
    testing::FakeHost host;
    Machine m(&host);
    CompileDeclaration(m, kTypeFloat, " b[3] , c[0], d[x], e ");
    EXPECT_EQ(m.VariableTable.count, 4u);  // three b, one e
    // b's elements lie packed in one block, element 0 an Item in the list.
    Item* b = FindItem(m.VariableTable, 0, "b");
    ASSERT_NE(b, nullptr);
    const DeclaredArray* array = m.Arrays.StartingAt(b);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->count, 3u);
    EXPECT_TRUE(array->Packed());
    EXPECT_EQ(b->value, array->BytesOf(0));
    CompileDeclaration(m, kTypeRgb, "pix");
    Item* red = LookupVariable(m, "pix.Red");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(*red->name, "pix.Red");
    EXPECT_EQ(red->typeCode, kMemberRed);
    EXPECT_EQ(red->value, FindItem(m.VariableTable, 0, "pix")->value);
    EXPECT_EQ(LookupVariable(m, "pix.RED"), red);
    EXPECT_EQ(LookupVariable(m, "Pix.Red"), nullptr);  // names are case-sensitive
    EXPECT_EQ(LookupVariable(m, "pix.Foo"), nullptr);
    EXPECT_EQ(LookupVariable(m, "x1"), nullptr);
}

struct ErrorCase {
    std::string script;
    const char* message;
    unsigned lineOfMessage;
};

TEST(CompileErrorTest, Messages) {
    const std::string longLine(256, 'x');
    const std::string fitLine = std::string(254, ' ') + "x";  // 255 characters
    const std::vector<ErrorCase> cases = {
        {"foo bar", "[0001] Error: Instruction not found 'foo bar'", 1},
        {"  foo(1)", "[0001] Error: Instruction not found 'foo(1)'", 1},
        {"float x\r\nx=((1+2)", "[0002] Error: In formula '((1+2)'", 2},
        {"DspMes(\"it's\")", "[0001] Error: String end not found '\"it'", 1},
        {"float x\r\nx=y+1", "[0002] Error: Var not found 'y+1'", 2},
        {"y=1", "[0001] Error: Var not found 'y'", 1},
        {"float x\r\nx=SETPIXEL(1)",
         "[0002] Error: Function not callable in expression 'SETPIXEL(1)'", 2},
        {"float x\r\nx=RAND", "[0002] Error: Missing '(' after function 'RAND'", 2},
        {"DevCon Obmp\r\nfloat x,y\r\nSetPixel(Obmp, x, y)",
         "[0003] Error: Parameter number error '(Obmp,x,y)'", 2},
        {"DevCon Obmp\r\nfloat x\r\nSetPixel(Obmp,POW(x,2),x,x)",
         "[0003] Error: Parameter number error '(Obmp,POW(x,2),x,x)'", 3},
        {"Preview(\"a\")", "[0001] Error: Parameter number error '(\"a\")'", 1},
        {"ELSE", "Else senza IF", 0},
        {"float a\r\nIF(a)\r\nELSE\r\nELSE", "Else senza IF", 0},
        {"ENDIF", "Endif senza IF", 0},
        {"float a\r\nIF(a)\r\na=1", "[0002] Error: IF without ENDIF", 2},
        {"float x\r\nfloat y\r\ny=x.Red",
         "[0003] Error: Member not valid for this variable 'x.Red'", 3},
        {"RGB c\r\nfloat y\r\ny=c.Width",
         "[0003] Error: Member not valid for this variable 'c.Width'", 3},
        {"float x\r\nx.SIN=1", "[0002] Error: Member not valid for this variable 'x.SIN'", 2},
        {"float x\r\nFor x to 3", "[0002] Error: Missing '=' in FOR 'x'", 2},
        {longLine.c_str(), "[0001] Error: Line too long (more than 255 characters)", 1},
        {"float x\r\nx=q+1\r\nfoo bar", "[0002] Error: Var not found 'q+1'", 2},
        {"float x\r\nz=q", "[0002] Error: Var not found 'z'", 2},  // target error shown last
        // An operand directly after an operand, blanks or not.
        {"float x,y\r\ny=x 3", "[0002] Error: Missing operator before '3'", 2},
        {"float x,y\r\ny=x+", "[0002] Error: Missing operand after '+'", 2},
        {"float x,y\r\ny=(x*)-1", "[0002] Error: Missing operand after '*'", 2},
        {"float x,y\r\nif(x<=)", "[0002] Error: Missing operand after '<='", 2},
        {"float y\r\ny=2(3)", "[0002] Error: Missing operator before '(3)'", 2},
        {"float x,y\r\ny=x(1)", "[0002] Error: Missing operator before '(1)'", 2},
        {"float a,b,y\r\ny=(a)(b)", "[0002] Error: Missing operator before '(b)'", 2},
        {"float a,b,y\r\ny=a!=b", "[0002] Error: Missing operator before '!=b'", 2},
        {"float a,y\r\ny=SIN(a)a", "[0002] Error: Missing operator before 'a'", 2},
        {"float a,y\r\ny=a[1]2", "[0002] Error: Missing operator before '2'", 2},
        {"float a,y\r\ny=(a).5", "[0002] Error: Missing operator before '.5'", 2},
        {"float x,y\r\ny=x1", "[0002] Error: Missing operator before '1'", 2},
        {"float x\r\nDspMes(x 3, \"a\")", "[0002] Error: Missing operator before '3,\"a\")'", 2},
        {"float x\r\nIF(x)(1)", "[0002] Error: Missing operator before '(1)'", 2},
        {"float a\r\nfloat b[2]\r\nb[a 1]=2", "[0003] Error: Missing operator before '1]'", 3},
        // An exponent mark without digits.
        {"float e,x\r\nx=1e", "[0002] Error: Exponent without digits '1e'", 2},
        {"float e,x\r\nx=1e+e", "[0002] Error: Exponent without digits '1e+e'", 2},
        {"float x\r\nx=2.5E-", "[0002] Error: Exponent without digits '2.5E-'", 2},
        // Declared names that no reference could read back.
        {"float x1", "[0001] Error: Variable name not valid 'x1' (letters and _ only)", 1},
        {"float a, b2[3]", "[0001] Error: Variable name not valid 'b2' (letters and _ only)", 1},
        {"RGB a.b", "[0001] Error: Variable name not valid 'a.b' (letters and _ only)", 1},
        {"string citt\xC3\xA0",
         "[0001] Error: Variable name not valid 'citt\xC3\xA0' (letters and _ only)", 1},
        {"float x=3", "[0001] Error: Variable name not valid 'x=3' (letters and _ only)", 1},
        {"float a b", "[0001] Error: Variable name not valid 'a b' (letters and _ only)", 1},
        {"float [3]", "[0001] Error: Variable name not valid '' (letters and _ only)", 1},
        {"float c1[0]", "[0001] Error: Variable name not valid 'c1' (letters and _ only)", 1},
        // Targets are named as written, and must be a whole reference.
        {"float x\r\nfloat zz\r\nq[1]=zz", "[0003] Error: Var not found 'q[1]'", 3},
        {"float x\r\nfloat y\r\nq[1]=zz", "[0003] Error: Var not found 'q[1]'", 3},
        {"float x\r\nfloat y\r\nx=q[zz]+1", "[0003] Error: Var not found 'q'", 3},
        {"float x\r\nq[ 1 ] = 2", "[0002] Error: Var not found 'q[ 1 ]'", 2},
        {"float x\r\nx1=3", "[0002] Error: Var not found 'x1'", 2},
        {"RGB c[2]\r\nc[1].Red=3", "[0002] Error: Var not found 'c[1].Red'", 2},
        {"RGB c\r\nc.Red2=3", "[0002] Error: Var not found 'c.Red2'", 2},
        {"float x\r\nFor x1=1 to 3", "[0002] Error: Var not found 'x1'", 2},
        // A NUL byte ends nothing: it is an error on its line.
        {"float x\r\nx=1\r\nx=2 \0 x=3\r\nfoo bar"s,
         "[0003] Error: NUL character in the script text", 3},
        {"float x\r\n' a comment \0\r\n"s, "[0002] Error: NUL character in the script text", 2},
        {"\0"s, "[0001] Error: NUL character in the script text", 1},
    };
    for (const ErrorCase& c : cases) {
        testing::FakeHost host;
        Machine m(&host);
        EXPECT_FALSE(CompileScript(m, c.script)) << c.script;
        const Item* stop = ItemAt(m.StopList, 0);
        ASSERT_NE(stop, nullptr) << c.script;
        EXPECT_EQ(*stop->name, c.message) << c.script;
    }
    // What the checks above must leave alone.
    for (const char* script : {
             "float x,y\r\nDspMes(\"a\" x)",
             "float x,y\r\nDspMes(x \"=\" y)",
             "float x,y\r\nDspMes(\"Done: \",x)",
             "float x,y\r\nDspMes(x \"=\" (-y), \"!\" !x)",
             "float a[10], b , c[ 3 ]junk,,d[-1], e[+2]\r\na[9]=b+c[2]+e[1]",
             "FLOAT FOR, Red, _x_\r\nFOR=1\r\nRed=FOR\r\n_x_=Red",
             "float y\r\nfloat q[3]\r\nq[ 1 ] = 2\r\ny=q [1]\r\ny = q[ 1 ]",
             "RGB pix\r\npix.Red = 3\r\npix.Redness=4",
             "float y\r\ny=1.5.7+.5e-1",
         }) {
        Compiled accepted(script);
        EXPECT_TRUE(accepted.ok) << script << ": " << accepted.Message();
    }
    Compiled fits(fitLine);
    EXPECT_TRUE(fits.ok) << fits.Message();
    // A 255-character line after a CR LF keeps its LF's blank and still fits.
    Compiled fitsSecond("\r\n" + std::string(255, ' '));
    EXPECT_TRUE(fitsSecond.ok) << fitsSecond.Message();
}

TEST(CompileLimitTest, FourThousandInstructions) {
    // Each "x=1" line emits two instructions; the program ends with StmtReturn.
    std::string fits = "float x\r\n";
    for (int i = 0; i < 1999; ++i) fits += "x=1\r\n";
    Compiled ok(fits);  // 3998 + 1 = 3999 instructions
    EXPECT_TRUE(ok.ok) << ok.Message();
    Compiled full(fits + "RETURN\r\n");  // exactly 4000
    EXPECT_TRUE(full.ok) << full.Message();
    EXPECT_EQ(full.machine.EmitCount, 4000u);
    Compiled over(fits + "x=1\r\nx=1");  // 4001 on line 2002
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.Message(), "[2002] Error: Program too long (more than 4000 instructions)");
    // With no room left for the closing StmtReturn, the last line is named.
    Compiled noReturn(fits + "x=1\r\n");
    EXPECT_FALSE(noReturn.ok);
    EXPECT_EQ(noReturn.Message(), "[2002] Error: Program too long (more than 4000 instructions)");
}

TEST(CompileScriptTest, LineFeedsAloneMakeOneLine) {
    Compiled c("foo bar\nfloat x");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.Message(), "[0001] Error: Instruction not found 'foo bar float x'");
}

TEST(CompileScriptTest, ErrorStopsCompilationAfterItsLine) {
    Compiled c("float x\r\nx=1\r\nfoo bar\r\nx=2\r\n");
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.machine.EmitCount, 2u);
}

// Loop records are named "ForNextSteep NAME", cut at 255 characters: a NEXT
// whose variable differs from the FOR's only past the cut finds the FOR's
// records but not a variable, and stops instead of closing the loop.
TEST(CompileScriptTest, NextOfAnUndeclaredNameThatMatchesACutLoopRecordStops) {
    const std::string loopName(243, 'v');
    std::string otherName = loopName;
    otherName.back() = 'w';
    const std::string script =
        "float " + loopName + "\r\nFor " + loopName + "=1 to 3\r\nNext " + otherName + "\r\n";
    Compiled c(script);
    EXPECT_FALSE(c.ok);
    // Messages are cut at 255 characters too.
    EXPECT_EQ(c.Message(), ("[0003] Error: Var not found '" + otherName + "'").substr(0, 255));
    // The same NEXT with the FOR's own name closes the loop.
    Compiled same("float " + loopName + "\r\nFor " + loopName + "=1 to 3\r\nNext " + loopName +
                  "\r\n");
    EXPECT_TRUE(same.ok) << same.Message();
}

// A compilation given less memory: wherever the variable table fills up (a
// declaration, a constant, a temporary, a member, a loop bound, DSPMES's
// count), the compilation stops with the memory message.
TEST(CompileScriptTest, RunningOutOfVariablesAnywhereStopsWithTheMemoryMessage) {
    for (const char* script :
         {"float a\r\nstring s[3]\r\nDspMes(s, \"x\", 2)\r\n",
          "float x\r\nRGB c[40], d\r\nx=c.Red+1\r\nFor x=1 to 3 step 2\r\nIF(x)\r\nELSE\r\n"
          "ENDIF\r\nNext x\r\n"}) {
        size_t needed = 0;
        {
            testing::FakeHost host;
            Machine m(&host);
            ASSERT_TRUE(CompileScript(m, script)) << script;
            needed = m.VariableTable.count;
        }
        for (size_t limit = 0; limit <= needed; ++limit) {
            testing::FakeHost host;
            Machine m(&host);
            m.VariableTable.limit = limit;
            const bool fits = limit >= needed;
            EXPECT_EQ(CompileScript(m, script), fits) << script << " limit " << limit;
            EXPECT_LE(m.VariableTable.count, limit) << script << " limit " << limit;
            const Item* stop = ItemAt(m.StopList, 0);
            if (fits) {
                EXPECT_EQ(stop, nullptr) << script;
            } else {
                ASSERT_NE(stop, nullptr) << script << " limit " << limit;
                EXPECT_EQ(*stop->name, "Memoria insufficiente") << script << " limit " << limit;
            }
        }
    }
}

}  // namespace
}  // namespace tarvil
