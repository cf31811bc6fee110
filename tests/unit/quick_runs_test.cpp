// Quick runs stop before any instruction they cannot do as the plain handler
// would, and leave it and everything after it to the plain handlers: each
// script here runs with and without the faster forms and everything
// observable is compared, with stops at the first dispatches too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "engine/run_driver.h"
#include "fast/fast_paths.h"
#include "unit/fake_host.h"
#include "unit/run_comparison.h"

namespace tarvil {
namespace {

using testing::ExpectSameRun;

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

TEST(QuickRunsTest, EveryWayOutOfARunMatchesThePlainPath) {
    const struct {
        const char* what;
        std::string script;
    } cases[] = {
        {"expressions of every operator on floats and colour bytes",
         Lines({"float i,a,b,c", "RGB pix", "HBS h", "For i=1 to 3000", "pix.Red=255-pix.Red+i",
                "pix.Green=(pix.Red*3+pix.Blue)/4", "h.Hue=pix.Green%7", "a=(i%13)&(i|5)^(i-1)",
                "b=(a=i)+(a<>i)+(a<i)+(a<=i)+(a>i)+(a>=i)", "c=pix.Lum+pix+h.Sat+h.Bri-b/3",
                "pix.Lum=c", "h.Bri=pix.Lum", "a=pix.Red", "pix.Blue=h.Hue", "Next i",
                "DspMes(a,\" \",b,\" \",c,\" \",pix.Red,\" \",h.Hue)"})},
        {"a guard that fails: a colour member becomes a float in a loop over it",
         Lines({"RGB pix", "float s,k", "For k=1 to 1500", "s=s+pix.Red*2", "if(k=700)",
                "For pix.Red=1 to 3", "s=s-pix.Red", "Next pix.Red", "endif", "Next k",
                "DspMes(s)"})},
        {"an error inside a run: a zero divisor of '%'",
         Lines({"float i,s,d", "d=40", "For i=1 to 3000", "s=s+i*2-d", "d=d-1", "s=s+i%d",
                "Next i"})},
        {"an error from an operand the runs do not read: a string",
         Lines({"float i,s", "string t", "For i=1 to 2000", "s=s+i", "if(i=1500)", "s=s+i*t",
                "endif", "Next i"})},
        {"an assignment without a rule inside a stretch",
         Lines({"float a,b", "string t", "RGB c", "a=1", "b=a+2", "c.Red=b*3", "t=a", "b=9"})},
        {"conditions, ELSE branches and nested IFs",
         Lines({"float i,j,s", "For i=-50 to 3000", "if(i%3=0)", "s=s+1", "else",
                "if((i>100)&(i<200))", "s=s-2", "else", "s=s*1.0001", "endif", "endif", "if(!i)",
                "s=s+100", "endif", "Next i", "DspMes(s)"})},
        {"array elements, whose instruction IndexArray redirects on every pass",
         Lines({"float a[20],b[20],i", "For i=1 to 19", "a[i]=a[i-1]+i*2", "b[i]=a[i]-b[i-1]",
                "b[19-i]=b[i]+a[i]", "Next i", "For i=1 to 2000", "a[i%20]=a[(i+1)%20]+i", "Next i",
                "DspMes(a[3],\" \",b[7])"})},
        {"function calls and statements between runs",
         Lines({"float x,y,s", "For x=1 to 2500", "y=Sin(x/100)*50+Int(x/7)", "s=s+Abs(y-x)",
                "if(x%1000=0)", "DspMes(s)", "endif", "Next x"})},
        {"image members as numbers, of images that change and of a variable without one",
         Lines({"DevCon a,none", "float x,s", "a=CreateImage(9,5,8)", "For x=1 to 2000",
                "s=s+a.Width*x-a.Height+a.BitCount", "s=s-none.Width+none.Height", "if(x=1000)",
                "a=CreateImage(3,4,24)", "endif", "Next x", "DspMes(s)"})},
        {"stored pixel values at every depth, inside and outside the image, from colour bytes, "
         "with a string value that stops the run",
         Lines({"DevCon a,b,c,d,none",
                "RGB pix",
                "float x,y,v",
                "string t",
                "a=CreateImage(7,5,1)",
                "b=CreateImage(7,5,4)",
                "c=CreateImage(7,5,8)",
                "d=CreateImage(7,5,24)",
                "For y=-1 to 6",
                "For x=-2 to 8",
                "v=(x*37+y*11)%300-20",
                "pix.Green=v",
                "SetPixelVal(a,x,y,v)",
                "SetPixelVal(b,x+1,y,pix.Green)",
                "SetPixelVal(c,x,y-1,v*2.5)",
                "SetPixelVal(d,x,y,v*70000)",
                "v=GetPixelVal(a,x,y)+GetPixelVal(b,x,y)*2+GetPixelVal(c,y,x)-GetPixelVal(d,x,y)",
                "SetPixelVal(none,x,y,v)",
                "pix.Red=GetPixelVal(d,x-1,y)",
                "Next x",
                "if(y=3)",
                "d=c",
                "endif",
                "Next y",
                "DspMes(v,\" \",pix.Red)",
                "SetPixelVal(c,1,1,t)"})},
        {"numeric functions of floats, colour bytes, Lum, whole colours and image members, "
         "nested, with NaN and infinities",
         Lines({"float x,a,b,c,d,e,s", "RGB pix", "HBS h", "DevCon img", "img=CreateImage(5,3,8)",
                "For x=-1500 to 1500", "pix.Red=x", "h.Hue=x*3",
                "a=Pow(pix.Red/255,0.45)*255+Sqr(pix.Green)+Abs(h.Hue-x)+Pow(x,1/3)",
                "b=Sin(Cos(x/100)*Tan(x))+Asin(x/1000)+Acos(x/2000)+Atan(x)+Sin(img.Width*x)",
                "c=Hsin(x/10)+Hcos(x/10)+Htan(x)+Exp(x)+Log(x)+Blog(x)+Pow(0,x)",
                "d=Int(x/7)+Min(x,pix.Red)+Max(pix.Lum,x/3)+Min(Max(x,a),b)+Int(-x/3)",
                "e=Min(Log(x),x)+Max(x,Sqr(x))+Pow(pix,2)+Int(pix.Blue*x)+Exp(Int(x))",
                "s=s+Rand(x)+Sqr(Abs(x))*Min(pix.Red,h.Sat)+Max(pix,img.Height)",
                "pix.Green=Sqr(Abs(x))", "h.Bri=Rand(255)", "Next x",
                "DspMes(a,\" \",b,\" \",c,\" \",d,\" \",e,\" \",s,\" \",Rand(1))"})},
        {"function arguments whose TypeCode changes: a colour member becomes a float",
         Lines({"RGB pix", "float s,k", "For k=1 to 1500", "pix.Red=k",
                "s=s+Sqr(pix.Red)+Pow(pix.Red,2)/1000+Rand(pix.Red)+Max(pix.Red,9)", "if(k=700)",
                "For pix.Red=1 to 3", "s=s-Sin(pix.Red)", "Next pix.Red", "endif", "Next k",
                "DspMes(s)"})},
        {"a string argument: the plain handler stops the run",
         Lines({"float x,s", "string t", "t=\"7\"", "For x=1 to 2000", "s=s+Sqr(x)", "if(x=1500)",
                "s=s+Pow(x,t)", "endif", "Next x", "DspMes(s)"})},
        {"more arguments than a function pops: the extra one stays on the stack",
         Lines({"float x,a,b", "For x=1 to 200", "a=Sin(x,x*2)+1", "b=Max(x,a,3)-Min(a,x,b)",
                "Next x", "DspMes(a,\" \",b)"})},
        {"fewer arguments than a function pops: it pops what was pushed before",
         Lines({"float x,a,b", "For x=1 to 2000", "a=a+Sin(x)", "Next x", "b=2+Pow(x)",
                "DspMes(a,\" \",b)"})},
        {"arithmetic on two NaNs of opposite signs, alone, in a FOR loop's body and with calls",
         Lines({"float x,e,f,k,n", "For x=-300 to 300", "e=Log(x)", "f=Blog(x)", "k=e+f", "n=f*e",
                "k=k-n+(e/f)", "n=Log(x)+Blog(x)-Sqr(x)*Asin(x)", "Next x", "DspMes(k,\" \",n)"})},
        {"a FOR over floats with a moving limit and a step that changes",
         Lines({"float i,n,s,st", "n=3000", "st=1", "For i=0.5 to n step st", "s=s+i", "n=n-0.5",
                "Next i", "DspMes(s,\" \",n,\" \",i)"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int stopAt = 0; stopAt <= 3; ++stopAt) ExpectSameRun(c.script, stopAt);
    }
}

// The stretches the preparation finds: where they end, and that each
// instruction of one starts a run that ends with it.
TEST(QuickRunsTest, StretchesEndAtJumpTargetsAndAtInstructionsTheyCannotDo) {
    testing::FakeHost host;
    Machine machine(&host);
    // Compiled only: the Items must live while the tables are looked at. t=a has no rule.
    ASSERT_TRUE(CompileScript(machine, Lines({"float a,b", "string t", "RGB c", "a=1", "b=a+2",
                                              "c.Red=b*3", "t=a", "b=9"})));
    PrepareFastForms(machine, true);
    // a=1 (2), b=a+2 (4), c.Red=b*3 (4) make one stretch; t=a stops it at its Assign.
    uint32_t first = 0;
    while (first < machine.EmitCount && machine.QuickTable[first].kind == 0) ++first;
    ASSERT_LT(first, machine.EmitCount);
    const uint32_t end = machine.QuickTable[first].runEnd;
    EXPECT_EQ(end - first, 11u);  // ten instructions and t=a's push
    for (uint32_t pc = first; pc < end; ++pc) EXPECT_EQ(machine.QuickTable[pc].runEnd, end);
    EXPECT_EQ(machine.QuickTable[end].kind, 0);  // the Assign of t=a
    EXPECT_EQ(machine.QuickTable[end - 1].depth, 0u);
    EXPECT_EQ(machine.QuickTable[first].endDepth, 1u);  // a, pushed for t
    PrepareFastForms(machine, false);
    for (uint32_t pc = 0; pc < machine.EmitCount; ++pc) EXPECT_EQ(machine.QuickTable[pc].kind, 0);

    // Numeric functions stay inside a stretch; one given a string ends it.
    Machine calls(&host);
    ASSERT_TRUE(CompileScript(
        calls, Lines({"float a,b,c", "string t", "a=Sin(b)+Pow(b,2)*Rand(a)", "c=Sin(t)"})));
    PrepareFastForms(calls, true);
    first = 0;
    while (first < calls.EmitCount && calls.QuickTable[first].kind == 0) ++first;
    ASSERT_LT(first, calls.EmitCount);
    EXPECT_EQ(calls.QuickTable[first].runEnd - first, 11u);  // ten instructions and t's push
    EXPECT_EQ(calls.QuickTable[first + 11].kind, 0);         // Sin(t)
}

}  // namespace
}  // namespace tarvil
