// Quick code stops before any instruction it cannot do as the plain handler
// would, and leaves it and everything after it to the plain handlers: each
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

TEST(QuickCodeTest, EveryWayOutOfARunMatchesThePlainPath) {
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
        {"packed elements handed on where a run leaves: on the stack, to the instruction",
         Lines({"float a[30],i,s", "RGB c[4],p", "string t", "For i=1 to 2000",
                "a[i%30]=a[(i+7)%30]+i", "c[i%4]=p", "p.Red=i", "p=c[(i+1)%4]", "if(i%400=0)",
                "DspMes(a[i%30],\" \",c[i%4])", "endif", "if(i=1900)", "s=a[i%30]%(i%5)+s", "endif",
                "if(i=1950)", "a[3]=t", "endif", "Next i"})},
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
        {"remembered results: repeating arguments, signed zeros, NaNs and infinities, and "
         "more arguments than the memory has slots, each result checked against one known",
         Lines({"float x,z,s,t,w,bad", "z=(0-0)*(0-1)", "For x=-3000 to 3000",
                "s=s+Pow(x%7,0.5)+Sin(x%5)+Log(x%3)+Pow(z,0-1)+Pow(0,0-1)+Exp(x/1000)",
                "t=t+Cos(x)+Atan(x*z)+Log(0-x%2)+Blog(x*x)+Pow(x%3,x%4)", "if(x%127=0)", "w=1",
                "endif", "if(Pow(2,x%127)<>w)", "bad=bad+1", "endif", "if(Pow(x,1)<>x)",
                "bad=bad+1000", "endif", "w=w*2", "Next x", "DspMes(s,\" \",t,\" \",bad)"})},
        {"pixels of image variables given other images inside the loop (the old one kept alive "
         "by another variable): 8 and 24 bits, other sizes, 1 and 4 bits, none, and two "
         "variables sharing an image",
         Lines({"DevCon a,b,c,none",
                "RGB pix",
                "HBS h",
                "float x,y,v,k",
                "a=CreateImage(6,5,24)",
                "b=CreateImage(6,5,8)",
                "For k=0 to 5",
                "For y=-1 to 6",
                "For x=-1 to 7",
                "pix.Red=x*40",
                "pix.Green=y*50",
                "pix.Blue=k*30",
                "SetPixel(a,x,y,pix)",
                "SetPixelVal(b,x,y,x+y*7+k)",
                "v=v+GetPixelVal(a,x,y)+GetPixelVal(b,y,x)",
                "pix=GetPixel(b,x,y)",
                "h=pix",
                "h.Hue=(h.Hue+40)%240",
                "pix=h",
                "SetPixel(b,y,x,pix)",
                "SetPixel(none,x,y,pix)",
                "v=v+GetPixelVal(none,x,y)",
                "Next x",
                "Next y",
                "if(k=1)",
                "c=a",
                "a=CreateImage(9,3,8)",
                "endif",
                "if(k=2)",
                "b=CreateImage(4,8,24)",
                "endif",
                "if(k=3)",
                "a=b",
                "endif",
                "if(k=4)",
                "a=CreateImage(5,5,1)",
                "b=CreateImage(5,5,4)",
                "endif",
                "Next k",
                "DspMes(v,\" \",pix.Red,\" \",h.Hue)"})},
        {"colour members after a loop over one of them left float bytes in the fourth byte: "
         "RGB members clear it, HBS members keep it",
         Lines({"RGB pix", "HBS h", "float k,s", "For h.Bri=1 to 2", "Next h.Bri",
                "For pix.Blue=1 to 2", "Next pix.Blue", "For k=1 to 50", "h.Sat=k", "h.Hue=s",
                "pix.Green=k", "s=s+1", "Next k"})},
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

// The units quick code is cut into and the operations each instruction
// becomes: units end at jump targets, after jumps and before instructions
// left to the plain handlers; pushes become no operation of their own, and
// an operation whose result is assigned to a float or RGB variable writes
// it there itself (b=a+2, pix=GetPixel(...)); a colour member gets its own.
TEST(QuickCodeTest, UnitsAndOperationsAsListed) {
    const struct {
        const char* what;
        std::string script;
        const char* listing;
    } cases[] = {
        {"assignments end at one without a rule (t=a), which the plain handler stops with",
         Lines({"float a,b", "string t", "RGB c", "a=1", "b=a+2", "c.Red=b*3", "t=a", "b=9"}),
         "[0,11) AssignFloatF AddFF MulRF AssignComponentR Exit\n"
         "[12,14) AssignFloatF Exit\n"},
        {"numeric functions are operations (SIN and POW remember their last results); one given a "
         "string is left plain",
         Lines({"float a,b,c", "string t", "a=Sin(b)+Pow(b,2)*Rand(a)", "c=Sin(t)"}),
         "[0,11) UnaryRemembered BinaryFnRemembered AddFR RandAny MulFR Exit\n"},
        {"a pixel loop: its body and NEXT x one unit, NEXT y another",
         Lines({"DevCon i,o", "RGB pix", "float x,y", "i=CreateImage(4,4,24)",
                "o=CreateImage(4,4,24)", "For y=0 to 3", "For x=0 to 3", "pix=GetPixel(i,x,y)",
                "pix.Red=255-pix.Red", "SetPixel(o,x,y,pix)", "Next x", "Next y"}),
         "[0,3) Exit\n"  // the CREATEIMAGE calls and their assignments are plain
         "[5,8) Exit\n"
         "[10,16) AssignFloatF AssignFloatF AssignFloatF Jump\n"  // FOR y: into its body
         "[16,22) AssignFloatF AssignFloatF AssignFloatF Jump\n"
         "[22,42) GetPixelFF SubFB AssignComponentR SetPixelFF ForNext\n"
         "[42,48) ForNext\n"},
        {"coordinates that are sums: the + or - goes into the pixel operation, unless it is a "
         "statement of its own or not the last operation before it",
         Lines({"DevCon i", "float x,y,t,v", "v=GetPixelVal(i,x-1,y+t)", "SetPixelVal(i,x,9-y,v)",
                "t=x-1", "v=GetPixelVal(i,t,y)", "v=GetPixelVal(i,x+1,y*2)"}),
         "[0,34) GetPixelValSum SetPixelValSum(R) SubFF GetPixelValFF AddFF MulFF GetPixelValFF "
         "Exit\n"},
        {"an IF and arrays: the comparison is the jump; elements through their slots",
         Lines({"float h[4]", "float i,v", "For i=0 to 3", "v=i%4", "if(v>1)", "h[v]=h[v]+1",
                "endif", "Next i"}),
         "[0,6) AssignFloatF AssignFloatF AssignFloatF Jump\n"
         "[6,14) ModFF CompareJumpRF\n"
         "[14,22) IndexPackedF AddEF IndexPackedF AssignToElement Jump\n"  // on to ENDIF
         "[22,28) ForNext\n"},
        {"a float stored by one operation is read by the next from the register holding it, "
         "as either operand; not after an operation that stores none (c.Lum=v, v=a), nor in a "
         "form there is none of (a component and the held result)",
         Lines({"RGB c", "float a,b,v", "v=Min(Max(a*2,0),255)", "c.Lum=v", "b=Sqr(v)+1",
                "a=2-(b*3)", "v=a", "b=Sqr(a)", "v=c.Red+b"}),
         "[0,30) MulFF MaxRF MinRF AssignLumR UnaryAny AddRF MulRF SubFR AssignFloatR UnaryAny "
         "AddBF Exit\n"},
        {"an index worked out just before is read from the held result",
         Lines({"float h[8]", "float i,v", "v=h[i%8]", "h[i*2]=v+1"}),
         "[0,14) ModFF IndexPackedR AssignFromElement AddFF MulFF IndexPackedR AssignToElement "
         "Exit\n"},
        {"comparisons and their jumps take the forms of their operands' loads, a Lum too",
         Lines({"RGB c", "DevCon i", "float a", "a=c.Lum*2", "if(c.Lum>127)", "a=1", "endif",
                "if(c.Red<a)", "a=i.Width-1", "endif", "if(i.Height>a)", "a=2", "endif"}),
         "[0,8) MulLF CompareJumpLF\n"  // the product straight into a
         "[8,10) AssignFloatF Jump\n"
         "[10,14) CompareJumpBF\n"
         "[14,18) SubMF Jump\n"
         "[18,22) CompareJumpMF\n"
         "[22,24) AssignFloatF Jump\n"},
        {"an array of strings: its elements are Items of their own",
         Lines({"string t[3],s", "float i", "For i=0 to 2", "s=t[i]", "Next i"}),
         "[0,6) AssignFloatF AssignFloatF AssignFloatF Jump\n"
         "[6,9) IndexF Exit\n"  // a string assignment is the plain handler's
         "[10,16) ForNext\n"},
        {"a NEXT over a colour member writes a float into it: reads of it stay plain",
         Lines({"RGB c", "float s", "For c.Red=1 to 3", "s=s+c.Red", "Next c.Red"}),
         "[0,1) Exit\n"  // c.Red=1
         "[2,6) AssignFloatF AssignFloatF Jump\n"
         "[6,7) Exit\n"    // s, then c.Red
         "[10,11) Exit\n"  // NEXT's step, then c.Red
         "[13,14) Exit\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::FakeHost host;
        Machine machine(&host);
        // Compiled only: the Items must live while the listing is made.
        ASSERT_TRUE(CompileScript(machine, c.script));
        PrepareFastForms(machine, true);
        ASSERT_NE(machine.FastForms, nullptr);
        EXPECT_EQ(quick::ListQuickCode(static_cast<const quick::QuickCode&>(*machine.FastForms)),
                  c.listing);
        PrepareFastForms(machine, false);
        EXPECT_EQ(machine.FastForms, nullptr);
    }
}

}  // namespace
}  // namespace tarvil
