// The faster forms of instructions: a run with them must be indistinguishable
// from the same run executed one instruction at a time. Each script runs
// twice, with and without them, and everything observable is compared: messages, the instructions
// executed, when events were dispatched, and every Item (variables, members,
// temporaries, images) as the run left it at its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "engine/image_record.h"
#include "engine/run_driver.h"
#include "fast/fast_paths.h"
#include "handlers/handlers.h"
#include "image/pixel_access.h"
#include "unit/fake_host.h"
#include "unit/image_test_support.h"
#include "unit/run_comparison.h"

namespace tarvil {
namespace {

using testing::ExpectSameRun;
using testing::ItemState;
using testing::Outcome;
using testing::RunWith;

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

const std::string kSumLoop = Lines({"float i,s,t", "For i=1 to 3000", "s=s+i", "t=s*2-i/3",
                                    "Next i", "DspMes(i,\" \",s,\" \",t)"});

TEST(FastFormsTest, LoopGivesTheSameValuesAndDispatchesAfterTheSameInstructions) {
    const Outcome fused = RunWith(true, kSumLoop);
    ASSERT_FALSE(fused.dispatchedAfter.empty());
    // Events go after the 1025th instruction, then after every 4097th.
    for (size_t k = 0; k < fused.dispatchedAfter.size(); ++k)
        EXPECT_EQ(fused.dispatchedAfter[k], 1025 + 4097 * k);
    ExpectSameRun(kSumLoop);
}

TEST(FastFormsTest, StopRequestedWhileEventsAreDispatchedLeavesTheSameLoopState) {
    // The stop lands after the dispatch: in the middle of a pass, wherever the
    // count falls, with the loop variable and temporaries as they were then.
    for (int stopAt = 1; stopAt <= 3; ++stopAt) ExpectSameRun(kSumLoop, stopAt);
}

TEST(FastFormsTest, ErrorInTheMiddleOfAPassLeavesTheSameLoopState) {
    ExpectSameRun(Lines({"float i,s,t", "For i=1 to 100", "s=s+i", "if(i=37)", "t=i%0", "endif",
                         "s=s*1.5", "Next i"}));
    // A non-numeric operand: the plain handlers run the instruction and stop the run.
    ExpectSameRun(Lines({"float i,s", "string a", "For i=1 to 10", "s=s+i", "if(i=4)", "s=s+a",
                         "endif", "Next i"}));
    // A run of plain assignments with one that has no rule: nothing of the run
    // is done ahead of it.
    ExpectSameRun(Lines({"float a,b", "string s", "RGB c", "b=2", "a=b", "c.Red=a", "c.Blue=c.Red",
                         "b=s", "a=7", "c.Green=a"}));
}

TEST(FastFormsTest, LoopWithStepLimitChangedAndFloatRounding) {
    ExpectSameRun(Lines({"float i,n,s", "n=10", "For i=0.1 to n step 0.7", "s=s+i*i", "n=n-0.25",
                         "Next i", "For i=5 to 1 step -1", "s=s/i", "Next i", "DspMes(s)"}));
}

TEST(FastFormsTest, ArrayElementsAndMemberLoopVariablesRunAsBefore) {
    // IndexArray redirects the instruction after it on every pass.
    ExpectSameRun(Lines({"float a[4],b[4],i,s", "For i=0 to 3", "a[i]=i*3", "b[i]=a[i]", "s=b[i]+s",
                         "s=a[3-i]*s", "Next i", "DspMes(s)"}));
    // NEXT over a member makes the member a float.
    ExpectSameRun(Lines(
        {"RGB pix", "float s", "For pix.Red=1 to 5", "s=s+pix.Red", "Next pix.Red", "DspMes(s)"}));
}

TEST(FastFormsTest, PixelCopyOfEveryDepthGivesTheSameImages) {
    for (const char* bits : {"1", "4", "8", "24"}) {
        const std::string script = Lines({"DevCon a,b", "RGB pix", "HBS h", "float x,y,k", ""}) +
                                   "a=CreateImage(7,5," + bits + ")\r\nb=CreateImage(7,5," + bits +
                                   ")\r\n" +
                                   Lines({"For k=0 to 255",
                                          "pix.Red=k*7",
                                          "pix.Green=k*13",
                                          "pix.Blue=255-k",
                                          "SetPalette(a,k,pix)",
                                          "SetPalette(b,255-k,pix)",
                                          "Next k",
                                          "For y=0 to 4",
                                          "For x=0 to 6",
                                          "pix.Red=x*40",
                                          "pix.Green=y*60",
                                          "pix.Blue=x*y",
                                          "SetPixel(a,x,y,pix)",
                                          "Next x",
                                          "Next y",
                                          "For y=-1 to 5",
                                          "For x=-2 to 8",
                                          "pix=GetPixel(a,x,y)",
                                          "pix.Red=pix.Green",
                                          "pix.Lum=pix.Blue",
                                          "SetPixel(b,x,y,pix)",
                                          "h=GetPixel(b,x,y)",
                                          "h.Hue=h.Sat",
                                          "k=pix.Lum-x/3",
                                          "if(pix.Lum>=k+0.5)",
                                          "pix.Green=pix.Lum*1.5",
                                          "SetPixel(a,x,y,pix)",
                                          "endif",
                                          "Next x",
                                          "Next y"});
        ExpectSameRun(script);
    }
}

TEST(FastFormsTest, PixelCallsWithoutAnImageOrWithNonNumbersRunAsBefore) {
    ExpectSameRun(Lines({"DevCon a", "RGB pix", "float x", "For x=0 to 3", "pix=GetPixel(a,x,x)",
                         "SetPixel(a,x,x,pix)", "Next x"}));
    ExpectSameRun(Lines({"DevCon a", "RGB pix", "string s", "float x", "a=CreateImage(4,4,24)",
                         "For x=0 to 3", "SetPixel(a,x,s,pix)", "Next x"}));
}

// A pixel loop that runs whole passes inside one call of the faster forms;
// stops at the dispatches land in the middle of passes.
std::string PixelLoop(const char* bits, const char* lastLine) {
    return Lines({"DevCon a,b", "RGB pix", "float x,y,k", "string s"}) + "a=CreateImage(64,40," +
           bits + ")\r\nb=CreateImage(64,40," + bits + ")\r\n" +
           Lines({"For y=0 to 39", "For x=0 to 63", "pix.Red=x*4", "pix.Green=y*6", "pix.Blue=x+y",
                  "SetPixel(a,x,y,pix)", "Next x", "Next y", "For y=0 to 39", "For x=0 to 63",
                  "pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "pix.Green=pix.Blue",
                  "SetPixel(b,x,y,pix)", lastLine, "Next x", "Next y"});
}

TEST(FastFormsTest, PixelLoopsRunInTheirNextAndStopInTheSamePlace) {
    for (const char* bits : {"8", "24"}) {
        const std::string script = PixelLoop(bits, "k=x");
        const Outcome fused = RunWith(true, script);
        ASSERT_GE(fused.dispatchedAfter.size(), 4u);
        for (size_t k = 0; k < fused.dispatchedAfter.size(); ++k)
            EXPECT_EQ(fused.dispatchedAfter[k], 1025 + 4097 * k);
        ExpectSameRun(script);
        for (int stopAt = 1; stopAt <= 4; ++stopAt) ExpectSameRun(script, stopAt);
        // A body instruction that the faster forms leave to the plain handlers.
        ExpectSameRun(PixelLoop(bits, "k=s"));
    }
}

// Two images of one depth with different colour tables and a pattern of
// pixels, made with instructions that are not fused.
std::string TwoPatternedImages(const char* bits) {
    return Lines({"DevCon a,b,none", "RGB pix", "HBS h", "float x,y,k,t,v"}) +
           "a=CreateImage(37,23," + bits + ")\r\nb=CreateImage(37,23," + bits + ")\r\n" +
           Lines({"For k=0 to 255", "pix.Red=k*7", "pix.Green=k*13", "pix.Blue=255-k",
                  "SetPalette(a,k,pix)", "SetPalette(b,255-k,pix)", "Next k", "For y=0 to 22",
                  "For x=0 to 36", "v=(x*7+y*13)%256", "SetPixelVal(a,x,y,v)",
                  "SetPixelVal(b,x,y,255-v)", "Next x", "Next y"});
}

// Loops over more pixels than the images hold, so that coordinates fall on
// both sides of them, with bodies of every kind of pixel work: plain component
// copies, an HBS target, arithmetic, an image read where it is written, an
// image operand without an image, a float as the colour.
TEST(FastFormsTest, WholePixelPassesMatchTheInstructionsAtEveryDepth) {
    const std::vector<std::vector<const char*>> bodies = {
        {"pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "pix.Green=pix.Blue", "pix.Blue=pix.Red",
         "SetPixel(b,x,y,pix)"},
        {"h=GetPixel(a,x,y)", "k=x*y", "SetPixel(a,x,k,h)", "t=k-y"},
        {"t=x-1", "pix=GetPixel(a,t,y)", "SetPixel(a,x,y,pix)", "pix=GetPixel(b,y,t)",
         "SetPixel(a,t,x,pix)"},
        {"pix=GetPixel(none,x,y)", "SetPixel(none,x,y,pix)", "SetPixel(b,x,y,pix)"},
        {"k=x*1000", "t=k+y", "SetPixel(b,x,y,t)", "pix=GetPixel(b,x,y)", "pix.Blue=pix.Green"},
        // Coordinates that are sums: both, the first or the second, a product
        // beside a difference, a colour and a value that are themselves sums;
        // image members, of an image and of a variable without one.
        {"t=1+none.Height", "k=a.Width-x+a.BitCount*a.Res-a.ClrImp", "pix=GetPixel(a,x-1,y+t)",
         "SetPixel(b,36-x,y,pix)", "v=GetPixelVal(a,x*2,y-1)", "SetPixelVal(b,x+t,y,v)",
         "SetPixelVal(a,x,y+1,v+1)", "h=GetPixel(b,x,y-t)", "SetPixel(a,x+1,y-1,h)"},
    };
    for (const char* bits : {"1", "4", "8", "24"}) {
        for (const auto& body : bodies) {
            std::string loops = "For y=-2 to 25\r\nFor x=-3 to 40\r\n";
            for (const char* line : body) loops += std::string(line) + "\r\n";
            loops += "Next x\r\nNext y\r\n";
            const std::string script = TwoPatternedImages(bits) + loops;
            SCOPED_TRACE(std::string(bits) + " bits: " + body.front());
            for (int stopAt = 0; stopAt <= 3; ++stopAt) ExpectSameRun(script, stopAt);
        }
    }
}

// Coordinates that truncate onto the image's edges from both sides, and ones
// far outside that wrap or reach the conversion's limits.
TEST(FastFormsTest, WholePixelPassesTruncateCoordinatesAsTheInstructionsDo) {
    const std::vector<std::vector<const char*>> loops = {
        {"For y=-1.5 to 24 step 0.5", "For x=-1.75 to 38 step 0.25"},
        {"For y=-0.999 to 23.001 step 11.5", "For x=36.5 to 37.5 step 0.125"},
        {"For y=-3e9 to 3e9 step 1.5e9", "For x=-16777300 to -16777100 step 8"},
        {"For y=2 to 3", "For x=2147482000 to 2147484500 step 256"},
    };
    for (const char* bits : {"8", "24"}) {
        for (const auto& loop : loops) {
            const std::string script =
                TwoPatternedImages(bits) +
                Lines({loop[0], loop[1], "pix=GetPixel(a,x,y)", "pix.Red=pix.Green",
                       "SetPixel(b,y,x,pix)", "Next x", "Next y"});
            SCOPED_TRACE(std::string(bits) + " bits: " + loop[1]);
            for (int stopAt = 0; stopAt <= 1; ++stopAt) ExpectSameRun(script, stopAt);
        }
    }
}

// Read-copy-write bodies whose x is the loop variable counted up by 1 run
// along the row while x stays inside both images: rows and limits that end
// inside, on and past the edges, images of different widths, one image read
// where it is written, y following x, steps other than 1, stops at dispatches.
TEST(FastFormsTest, PassesAlongARowMatchTheInstructions) {
    struct Case {
        const char* outer;
        const char* inner;
        const char* read;
        const char* write;
    };
    const Case cases[] = {
        {"For y=0 to 22", "For x=0 to 36", "pix=GetPixel(a,x,y)", "SetPixel(b,x,y,pix)"},
        {"For y=-1 to 23", "For x=0 to 50", "pix=GetPixel(a,x,y)", "SetPixel(b,x,y,pix)"},
        {"For y=0 to 22", "For x=3 to 20.5", "pix=GetPixel(a,x,y)", "SetPixel(c,x,y,pix)"},
        {"For y=0 to 22", "For x=0 to 36", "pix=GetPixel(c,x,y)", "SetPixel(a,x,y,pix)"},
        {"For y=0 to 22", "For x=0 to 36", "pix=GetPixel(a,x,y)", "SetPixel(a,x,y,pix)"},
        {"For y=0 to 3", "For x=0 to 30", "pix=GetPixel(a,x,x)", "SetPixel(b,x,x,pix)"},
        {"For y=0 to 22", "For x=0 to 36 step 2", "pix=GetPixel(a,x,y)", "SetPixel(b,x,y,pix)"},
        {"For y=0 to 22", "For x=0.5 to 36", "pix=GetPixel(a,x,y)", "SetPixel(b,x,y,pix)"},
        {"For y=0 to 22", "For x=30 to 2", "pix=GetPixel(a,x,y)", "SetPixel(b,x,y,pix)"},
        {"For y=0 to 22", "For x=0 to 36", "pix=GetPixel(a,x,y)", "SetPixel(b,y,x,pix)"},
    };
    for (const char* bits : {"8", "24"}) {
        for (const Case& c : cases) {
            const std::string script = TwoPatternedImages(bits) +
                                       "DevCon c\r\nc=CreateImage(11,30," + bits + ")\r\n" +
                                       Lines({c.outer, c.inner, c.read, "pix.Red=pix.Blue",
                                              "pix.Blue=pix.Green", c.write, "Next x", "Next y"});
            SCOPED_TRACE(std::string(bits) + " bits: " + c.inner + " " + c.read + " " + c.write);
            for (int stopAt = 0; stopAt <= 3; ++stopAt) ExpectSameRun(script, stopAt);
        }
    }
}

// 8-bit rows copied through bodies whose written colour depends on the read
// colour alone, and through ones where it does not: one image as source and
// target, tables that differ, tables with repeated colours, a table that the
// rows overlap (loaded from a file with two entries), copies that read a byte
// the pass writes only later, and colours that change between rows.
TEST(FastFormsTest, IndexedRowsCopiedThroughFixedAndChangingBodiesMatchTheInstructions) {
    testing::ScratchFolder folder;
    const std::string overlapped = folder.File("overlapped.bmp");
    std::vector<uint8_t> rows(40 * 30);
    // Entry e lies in stored row (4e - 8) / 40: each pixel names an entry of its own row,
    // so writing a row changes the colours its later pixels name.
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k] = static_cast<uint8_t>(10 * (k / 40) + 2 + (k % 40) * 3 % 10);
    testing::WriteBytes(overlapped, testing::HandMadeBmp(40, 30, 8, 2, 2, rows));
    const std::string images =
        TwoPatternedImages("8") +
        Lines({"DevCon d,o", "RGB q", "d=CreateImage(37,23,8)", "For k=0 to 255",
               "pix.Red=(k%16)*17", "pix.Green=(k%16)*3", "pix.Blue=40", "SetPalette(d,k,pix)",
               "Next k", "For y=0 to 22", "For x=0 to 36", "SetPixelVal(d,x,y,(x*5+y*3)%256)",
               "Next x", "Next y", "q.Red=5", "q.Green=77", "q.Blue=200"}) +
        "o=LoadImage(\"" + overlapped + "\")\r\n";
    struct Case {
        const char* read;
        std::vector<const char*> copies;
        const char* write;
    };
    const std::vector<Case> cases = {
        {"pix=GetPixel(a,x,y)", {"pix.Red=pix.Blue", "pix.Blue=pix.Green"}, "SetPixel(b,x,y,pix)"},
        {"pix=GetPixel(a,x,y)", {"pix.Red=pix.Blue", "pix.Blue=pix.Green"}, "SetPixel(a,x,y,pix)"},
        {"pix=GetPixel(d,x,y)", {"pix.Green=pix.Red"}, "SetPixel(d,x,y,pix)"},
        {"pix=GetPixel(a,x,y)", {"pix.Green=pix.Red"}, "SetPixel(d,x,y,pix)"},
        {"pix=GetPixel(o,x,y)", {"pix.Red=pix.Blue"}, "SetPixel(o,x,y,pix)"},
        {"pix=GetPixel(o,x,y)", {"pix.Red=pix.Blue"}, "SetPixel(b,x,y,pix)"},
        {"pix=GetPixel(a,x,y)", {"pix.Red=pix.Blue"}, "SetPixel(o,x,y,pix)"},
        {"pix=GetPixel(a,x,y)", {"pix.Red=q.Green", "q.Green=pix.Blue"}, "SetPixel(b,x,y,pix)"},
        {"pix=GetPixel(a,x,y)", {"pix.Red=q.Blue", "q.Red=pix.Green"}, "SetPixel(b,x,y,pix)"},
        {"pix=GetPixel(a,x,y)",
         {"q.Red=pix.Green", "q.Green=pix.Red", "q.Blue=pix.Blue"},
         "SetPixel(b,x,y,q)"},
        {"pix=GetPixel(a,x,y)", {"q.Red=pix.Green"}, "SetPixel(b,x,y,q)"},
    };
    // The file's rows start two entries after the header: they are the table's entries 2 on.
    ASSERT_EQ(RunWith(true, images + "DspMes(o.Width,o.BitCount)\r\n").messages,
              std::vector<std::string>{"408"});
    for (const Case& c : cases) {
        std::string loops = "For y=0 to 22\r\nq.Blue=y*11\r\nFor x=0 to 36\r\n";
        loops += std::string(c.read) + "\r\n";
        for (const char* line : c.copies) loops += std::string(line) + "\r\n";
        loops += std::string(c.write) + "\r\nNext x\r\nNext y\r\n";
        SCOPED_TRACE(std::string(c.read) + " " + c.copies.front() + " " + c.write);
        for (int stopAt = 0; stopAt <= 3; ++stopAt) ExpectSameRun(images + loops, stopAt);
    }
}

// The passes check the images once per call of the loop's NEXT: between two
// loops over x the script replaces and releases the images they use.
TEST(FastFormsTest, WholePixelPassesFollowImagesReplacedBetweenLoops) {
    // c keeps what every row read, whatever became of a and b.
    const std::string rows = Lines({"DevCon c",
                                    "c=CreateImage(37,41,24)",
                                    "For y=0 to 40",
                                    "For x=0 to 36",
                                    "pix=GetPixel(a,x,y)",
                                    "pix.Red=pix.Blue",
                                    "SetPixel(b,x,y,pix)",
                                    "SetPixel(c,x,y,pix)",
                                    "Next x",
                                    "if(y=4)",
                                    "b=CreateImage(9,50,8)",
                                    "endif",
                                    "if(y=8)",
                                    "a=b",
                                    "endif",
                                    "if(y=12)",
                                    "b=CreateImage(61,3,24)",
                                    "endif",
                                    "if(y=20)",
                                    "a=none",
                                    "endif",
                                    "if(y=30)",
                                    "SetPalette(b,3,pix)",
                                    "endif",
                                    "Next y"});
    for (const char* bits : {"8", "24"}) {
        SCOPED_TRACE(bits);
        for (int stopAt = 0; stopAt <= 2; ++stopAt)
            ExpectSameRun(TwoPatternedImages(bits) + rows, stopAt);
    }
}

// A Debug between two loops over x lists the variables the passes left; its
// Stop answer, or a stop at a dispatch, ends the run with them as they were.
TEST(FastFormsTest, DebugAfterWholePixelPassesListsTheSameVariables) {
    const std::string script =
        TwoPatternedImages("24") +
        Lines({"For y=0 to 30", "For x=-1 to 40", "pix=GetPixel(a,x,y)", "pix.Green=pix.Red",
               "k=k+x", "SetPixel(b,y,x,pix)", "Next x", "if(y%7=3)", "Debug", "endif", "Next y"});
    const std::deque<int> continueAll;
    const std::deque<int> stopAtThird = {1, 1, 2};
    for (int stopAt = 0; stopAt <= 2; ++stopAt) {
        ExpectSameRun(script, stopAt, continueAll);
        ExpectSameRun(script, stopAt, stopAtThird);
    }
    EXPECT_EQ(RunWith(true, script, 0, stopAtThird).debugCalls.size(), 3u);
}

// A loop over a colour member makes it a float that shares the colour's
// block: the steps that write the colour overwrite the loop variable.
TEST(FastFormsTest, WholePixelPassesOverALoopVariableInsideTheColour) {
    for (const char* bits : {"8", "24"}) {
        const std::string script =
            TwoPatternedImages(bits) +
            Lines({"For pix.Red=-2 to 40", "pix=GetPixel(a,pix.Red,3)", "pix.Green=pix.Blue",
                   "SetPixel(b,pix.Green,4,pix)", "Next pix.Red", "For y=0 to 9",
                   "For pix.Blue=0 to 30", "k=pix.Blue*2", "SetPixel(a,k,y,pix)", "Next pix.Blue",
                   "Next y"});
        SCOPED_TRACE(bits);
        for (int stopAt = 0; stopAt <= 1; ++stopAt) ExpectSameRun(script, stopAt);
    }
}

// SETPIXEL on an 8-bit image stores the entry a full search of the table
// finds, also for more colours than the remembered ones can hold.
TEST(FastFormsTest, NearestEntriesAreTheSearchesOwnForManyColours) {
    const std::string script = Lines({"DevCon a,c",
                                      "RGB pix",
                                      "float x,y,k,pass",
                                      "a=CreateImage(96,80,8)",
                                      "c=CreateImage(96,80,24)",
                                      "For k=0 to 255",
                                      "pix.Red=k*37",
                                      "pix.Green=k*101",
                                      "pix.Blue=k*59",
                                      "SetPalette(a,k,pix)",
                                      "Next k",
                                      "For pass=1 to 2",
                                      "For y=0 to 79",
                                      "For x=0 to 95",
                                      "pix.Red=x*8+pass",
                                      "pix.Green=y*3",
                                      "pix.Blue=x*y",
                                      "SetPixel(c,x,y,pix)",
                                      "Next x",
                                      "Next y",
                                      "For y=0 to 79",
                                      "For x=0 to 95",
                                      "pix=GetPixel(c,x,y)",
                                      "SetPixel(a,x,y,pix)",
                                      "Next x",
                                      "Next y",
                                      "Next pass"});
    const Outcome fused = RunWith(true, script);
    const ImageBlock* indexed = nullptr;
    const ImageBlock* colours = nullptr;
    for (const ItemState& item : fused.items) {
        if (item.name == "a") indexed = &item.image;
        if (item.name == "c") colours = &item.image;
    }
    ASSERT_NE(indexed, nullptr);
    ASSERT_NE(colours, nullptr);
    // Rows bottom-up; 8-bit rows of 96 bytes after the 256-entry table,
    // 24-bit rows of 288 bytes right after the header; spare bytes may follow.
    const size_t tableAt = Image::kPaletteOffset;
    const size_t indexRows = tableAt + 4 * 256;
    ASSERT_GE(indexed->size(), indexRows + 96 * 80);
    ASSERT_GE(colours->size(), tableAt + 288 * 80);
    const std::span<const uint8_t> table(indexed->data() + tableAt, 4 * 256);
    std::vector<int> distinctIndices(256, 0);
    for (size_t row = 0; row < 80; ++row) {
        for (size_t column = 0; column < 96; ++column) {
            const uint8_t* bgr = colours->data() + tableAt + row * 288 + 3 * column;
            const int expected = NearestPaletteIndex(bgr[2], bgr[1], bgr[0], table, 256);
            const uint8_t stored = (*indexed)[indexRows + row * 96 + column];
            ASSERT_EQ(stored, expected) << "row " << row << " column " << column;
            distinctIndices[stored] = 1;
        }
    }
    // The colours reach far more than a handful of entries.
    EXPECT_GT(std::count(distinctIndices.begin(), distinctIndices.end(), 1), 100);
    ExpectSameRun(script);
}

// SETPIXEL remembers the nearest colour-table entry by colour; a SETPALETTE in
// between must give the entry the new table gives.
TEST(FastFormsTest, NearestEntryFollowsTheColourTableAfterSetPalette) {
    testing::FakeHost host;
    Machine machine(&host);
    RunScript(machine, Lines({"DevCon a", "RGB red,near,black", "red.Red=255", "near.Red=200",
                              "a=CreateImage(4,1,8)", "SetPalette(a,0,red)", "SetPalette(a,1,near)",
                              "SetPixel(a,0,0,red)", "SetPalette(a,0,black)", "SetPixel(a,1,0,red)",
                              "SetPalette(a,1,black)", "SetPalette(a,2,red)", "SetPixel(a,2,0,red)",
                              "DspMes(GetPixelVal(a,0,0),GetPixelVal(a,1,0),GetPixelVal(a,2,0))"}));
    EXPECT_EQ(host.scriptMessages, std::vector<std::string>{"012"});
}

// Loops whose bodies are only target = a op b assignments; the count left
// before a dispatch goes pass by pass as before.
const std::string kArithmeticLoop = Lines({"float i,s,t", "For i=1 to 3000", "s=s+i", "t=s*i",
                                           "t=t/3", "Next i", "DspMes(i,\" \",s,\" \",t)"});

TEST(FastFormsTest, ArithmeticLoopDispatchesAfterTheSameInstructionsAndStopsInTheSamePlace) {
    const Outcome fused = RunWith(true, kArithmeticLoop);
    ASSERT_GE(fused.dispatchedAfter.size(), 3u);
    for (size_t k = 0; k < fused.dispatchedAfter.size(); ++k)
        EXPECT_EQ(fused.dispatchedAfter[k], 1025 + 4097 * k);
    ExpectSameRun(kArithmeticLoop);
    for (int stopAt = 1; stopAt <= 4; ++stopAt) ExpectSameRun(kArithmeticLoop, stopAt);
}

TEST(FastFormsTest, ArithmeticLoopsWithAliasesRoundingAndOtherOperandsRunAsBefore) {
    // The loop variable written by the body, a body reading what it writes.
    ExpectSameRun(
        Lines({"float i,s", "For i=1 to 9000", "i=i+0.5", "s=s-i", "Next i", "DspMes(s)"}));
    ExpectSameRun(Lines(
        {"float i,s", "s=1", "For i=1 to 5000", "s=s*1.0001", "s=s/s", "Next i", "DspMes(s)"}));
    // Single-precision storage of large sums; a limit the body moves.
    ExpectSameRun(Lines({"float i,s,n", "n=100000", "For i=0.5 to n step 0.25", "s=s+i", "n=n-0.5",
                         "Next i", "DspMes(s,\" \",n)"}));
    // A single addition, the form with its operator known ahead; stops in its passes.
    const std::string singleAdd =
        Lines({"float i,s", "For i=1 to 20000", "s=s+i", "Next i", "DspMes(s)"});
    for (int stopAt = 0; stopAt <= 3; ++stopAt) ExpectSameRun(singleAdd, stopAt);
    ExpectSameRun(
        Lines({"float i,s", "For i=1 to 1000000", "i=i+i", "s=i+s", "Next i", "DspMes(s)"}));
    ExpectSameRun(Lines({"float i", "For i=1 to 1e30", "i=i+i", "Next i", "DspMes(i)"}));
    // A string operand: the body runs instruction by instruction.
    ExpectSameRun(Lines({"float i", "string a", "For i=1 to 2000", "a=a+i", "Next i"}));
    // An empty body and a body that is not only arithmetic.
    ExpectSameRun(Lines({"float i", "For i=1 to 6000", "Next i", "DspMes(i)"}));
    ExpectSameRun(Lines({"float i,s", "For i=1 to 6000", "s=s+i", "s=i", "Next i", "DspMes(s)"}));
}

TEST(FastFormsTest, ChainedColourComponentsAreCopiedPairAfterPair) {
    // Each copy sees the ones before it in the run; a float and a string as colours.
    ExpectSameRun(Lines({"RGB a,b",
                         "float f",
                         "string t",
                         "a.Red=10",
                         "a.Green=20",
                         "a.Blue=30",
                         "a.Red=a.Green",
                         "a.Green=a.Blue",
                         "a.Blue=a.Red",
                         "b.Red=a.Blue",
                         "b.Green=b.Red",
                         "b.Blue=a.Green",
                         "f=1.5",
                         "t=\"xyz\"",
                         "DevCon img",
                         "img=CreateImage(4,1,24)",
                         "SetPixel(img,0,0,a)",
                         "SetPixel(img,1,0,b)",
                         "SetPixel(img,2,0,f)",
                         "SetPixel(img,3,0,t)"}));
}

// A stop names the line of the instruction it came in, with the faster forms
// or without: errors in instructions next to faster ones and in the bodies of
// pixel loops, errors right after whole pixel passes, and stops at dispatches
// inside them.
TEST(FastFormsTest, StopsNameTheLineThePlainInstructionsWouldName) {
    const std::string images =
        Lines({"DevCon a,b", "RGB pix", "float x,y,d,k", "string s", "a=CreateImage(64,40,24)",
               "b=CreateImage(64,40,24)", "d=3"});                  // lines 1 to 7
    const std::string rows = "For y=0 to 39\r\nFor x=0 to 63\r\n";  // lines 8 and 9
    struct Case {
        std::string script;
        int stopAtDispatch;
        const char* message;
        unsigned firstLine;  // the line named, or the range it lies in
        unsigned lastLine;
    } cases[] = {
        // A division by zero in the 37th pass, between faster assignments.
        {Lines({"float i,s,t", "For i=1 to 100", "s=s+i", "if(i=37)", "t=i%0", "endif", "s=s*1.5",
                "Next i"}),
         0, "Error: Division by zero in '%'", 5, 5},
        // In the body of a pixel loop, in its fourth row.
        {images + rows +
             Lines({"pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "pix.Blue=x%d",
                    "SetPixel(b,x,y,pix)", "Next x", "d=d-1", "Next y"}),
         0, "Error: Division by zero in '%'", 12, 12},
        // After three rows of whole pixel passes.
        {images + rows +
             Lines({"pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "SetPixel(b,x,y,pix)", "Next x",
                    "d=d-1", "k=y%d", "Next y"}),
         0, "Error: Division by zero in '%'", 15, 15},
        // A pixel write the faster forms leave to the plain handler.
        {images + rows + Lines({"pix=GetPixel(a,x,y)", "SetPixel(b,x,s,pix)", "Next x", "Next y"}),
         0, "Error: Argument not numeric", 11, 11},
        // Stops at the first and second dispatch, inside whole pixel passes.
        {images + rows +
             Lines({"pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "SetPixel(b,x,y,pix)", "Next x",
                    "Next y"}),
         1, "Warning: Program stopped", 8, 14},
        {images + rows +
             Lines({"pix=GetPixel(a,x,y)", "pix.Red=pix.Green", "SetPixel(b,x,y,pix)", "Next x",
                    "Next y"}),
         2, "Warning: Program stopped", 8, 14},
        // In the middle of whole passes of target = a op b.
        {kArithmeticLoop, 2, "Warning: Program stopped", 2, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const Outcome plain = RunWith(false, c.script, c.stopAtDispatch);
        const Outcome fused = RunWith(true, c.script, c.stopAtDispatch);
        EXPECT_EQ(plain.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(fused.messages, plain.messages);
        EXPECT_EQ(plain.result.outcome, RunOutcome::Stopped);
        EXPECT_GE(plain.result.line, c.firstLine);
        EXPECT_LE(plain.result.line, c.lastLine);
        EXPECT_EQ(fused.result.line, plain.result.line);
        EXPECT_EQ(fused.executed, plain.executed);
    }
}

}  // namespace
}  // namespace tarvil
