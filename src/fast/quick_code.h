// Quick code: the compiled instructions translated, before a run, into
// operations on the Items themselves.
//
// The code is cut into units: straight runs of instructions with no jump
// target inside them, each ended by a jump, by the instruction before a jump
// target, or by an instruction quick code does not do. Inside a unit the
// operand stack is known when the code is prepared (its picture): which Item
// each pop receives and the TypeCode it has then. So pushes cost nothing at
// run time; every other instruction becomes one operation that reads its
// operands straight from their blocks, with the load chosen for their
// TypeCode, and writes its temporary or target as the plain handler would.
// A few instructions in a row that the language always emits together (the
// NEXT of a loop, a comparison and its jump) become one operation.
//
// TypeCodes are known because Items keep theirs: a declared variable, a
// member or a constant never changes its TypeCode unless some instruction
// writes a result into it (a NEXT over a colour member makes it a float),
// and such Items are left to the plain handlers; a temporary is read only
// after its own instruction, in the same unit, has written it.
//
// The instructions a unit does are counted before it starts, so that it
// starts only when the instructions left before the next dispatch of events
// hold it; a jump goes on in the unit it lands in without leaving the run.
// Where an operation cannot finish as the plain handler would without
// stopping the run (a '%' by zero, an array index past the element table),
// the run ends before that instruction: the operand stack gets the Items the
// picture says the plain path would have there, and the plain handlers go on
// from it, so every error, message and stop line is theirs.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/machine.h"

namespace tarvil::quick {

// An operand as an operation reaches it: straight at its bytes (a static
// Item's block, or a colour member's byte in it), through a slot holding its
// Item (an array element: the slot is the CodeTable operand IndexArray
// sets), or as the Item itself.
struct ElementWindow;
union Operand {
    std::byte* bytes;
    Item* const* slot;
    Item* item;
    const std::vector<Item*>* elements;  // IndexArray's array of Items
    ElementWindow* window;               // IndexArray's packed array
};

// How a numeric operand is read in the operations of any kind ("any" forms).
enum Load : uint8_t {
    kLoadFloat,    // bytes: a float
    kLoadByte,     // bytes: one colour component
    kLoadLum,      // bytes: a colour's first three bytes, their mean
    kLoadElement,  // slot: a float array element
    kLoadMember,   // item: an image variable's Height, Width, Res, BitCount or ClrImp
    kLoadItem,     // slot: whatever the Item's TypeCode gives (ItemNumber)
    kLoadHeld,     // bytes: a float the operation just before stored there, read
                   // from the register that still holds it (see HoldsItsResult)
};

// The operations. Binary ones come in forms by their operands' loads: both
// floats (FF), float and byte (FB), byte and float (BF), two bytes (BB), a
// float array element and a float (EF), a float and an element (FE), a
// colour's Lum and a float (LF), an image member and a float (MF), the held
// result of the operation just before and a float (RF) or the other way
// round (FR), or any loads (Any: `loadA` and `loadB` say which). The pairs
// are listed once, as
// P(first, second, A, B): the names here and each form's code in
// RunQuickCode are made from that one list.
// clang-format off
#define TARVIL_QUICK_LOAD_PAIRS(P, first, second)                            \
    P(first, second, F, F) P(first, second, F, B) P(first, second, B, F)   \
    P(first, second, B, B) P(first, second, E, F) P(first, second, F, E)   \
    P(first, second, L, F) P(first, second, M, F) P(first, second, R, F)   \
    P(first, second, F, R)
// clang-format on
#define TARVIL_QUICK_FORM_NAME(X, name, A, B) X(name##A##B)
#define TARVIL_QUICK_BINARY(X, name) \
    TARVIL_QUICK_LOAD_PAIRS(TARVIL_QUICK_FORM_NAME, X, name) X(name##Any)

// clang-format off
#define TARVIL_QUICK_OPS(X)                                                            \
    /* a op b into the temporary `out`: + - * / and the comparisons (1 or 0) */       \
    TARVIL_QUICK_BINARY(X, Add) TARVIL_QUICK_BINARY(X, Sub)                           \
    TARVIL_QUICK_BINARY(X, Mul) TARVIL_QUICK_BINARY(X, Div)                           \
    TARVIL_QUICK_BINARY(X, Eq) TARVIL_QUICK_BINARY(X, Ne) TARVIL_QUICK_BINARY(X, Lt)  \
    TARVIL_QUICK_BINARY(X, Le) TARVIL_QUICK_BINARY(X, Gt) TARVIL_QUICK_BINARY(X, Ge)  \
    /* % & | ^ on the operands as unsigned 32-bit integers */                        \
    X(ModAny) X(AndAny) X(OrAny) X(XorAny) X(ModFF)                                   \
    X(NotAny)          /* 1 when a is 0 */                                            \
    X(UnaryAny)        /* SIN ... INT of a: `kind` is the UnaryFunction */            \
    X(BinaryFnAny)     /* POW, MIN, MAX of a and b: `kind` is the BinaryFunction */   \
    X(MinFF) X(MaxFF)  /* MIN, MAX of two floats */                                   \
    X(MinRF) X(MaxRF)  /* the same, a the held result */                              \
    /* the same for the functions that take their time, their last results */       \
    /* remembered in `memory` */                                                     \
    X(UnaryRemembered) X(BinaryFnRemembered)                                          \
    X(RandAny)         /* RAND(a), drawing from the Machine's generator */            \
    /* assignments: a is the source, b the target */                                 \
    X(AssignFloatF)    /* float from a float */                                       \
    X(AssignFloatB)    /* float from a colour component */                            \
    X(AssignFloatR)    /* float from the held result */                               \
    /* a colour component at b, the fourth byte to clear at c, from a float, a */   \
    /* component or the held result (an HBS member's c is QuickCode::scratch) */     \
    X(AssignComponentF) X(AssignComponentB) X(AssignComponentR)                       \
    /* the same for Lum's three bytes from b on */                                   \
    X(AssignLumF) X(AssignLumB) X(AssignLumR)                                         \
    X(AssignColour)    /* RGB from RGB, HBS from HBS: the four bytes */               \
    X(AssignRgbFromHbs) X(AssignHbsFromRgb)                                           \
    X(AssignToElement)   /* a float array element (slot b) from a float */            \
    X(AssignFromElement) /* a float from a float array element (slot a) */            \
    X(AssignAny)       /* any pair that has a rule: a and b are slots */              \
    /* IndexArray of array `out`: `target` is the instruction it redirects, */       \
    /* c its elements (Index) or the window onto its packed elements (R: the */    \
    /* index is the held result) */                                                  \
    X(IndexF) X(IndexAny) X(IndexR)                                                   \
    X(IndexPackedF) X(IndexPackedAny) X(IndexPackedR)                                 \
    /* pixels: c is the image Item, a and b the coordinates (FF: floats), */         \
    /* `view` what is known of its rows */                                           \
    X(GetPixelFF) X(GetPixelAny)       /* colour into `out` */                        \
    X(SetPixelFF) X(SetPixelAny)       /* colour from d (a slot) */                   \
    X(GetPixelValFF) X(GetPixelValAny) /* stored value into `out` */                  \
    X(SetPixelValFF) X(SetPixelValAny) /* stored value from d, read as `kind` says */ \
    /* the same with coordinates worked out (`sums`); SetPixel's colour bytes */    \
    /* at d */                                                                       \
    X(GetPixelSum) X(SetPixelSum) X(GetPixelValSum) X(SetPixelValSum)                 \
    X(GetPaletteAny)   /* entry a of image c into `out` */                            \
    X(SetPaletteAny)   /* entry a of image c from d (a slot) */                       \
    /* jumps: to the unit `taken` or on to `onward`; conditional ones jump */        \
    /* when the truth of their condition is `sense` */                               \
    X(Jump)                                                                           \
    X(JumpIfBytes)     /* the condition's word at a */                                \
    X(JumpIfSlot)      /* the condition's word in the Item in slot a */               \
    /* a comparison (`kind`) and its jump, in the forms of the binary ones */       \
    TARVIL_QUICK_BINARY(X, CompareJump)                                               \
    X(ForNext)         /* b := a + b; jump while b <= c */                            \
    X(Exit)            /* the next instruction is the plain handlers' */
// clang-format on

enum Code : uint16_t {
#define TARVIL_QUICK_ENUM(name) k##name,
    TARVIL_QUICK_OPS(TARVIL_QUICK_ENUM)
#undef TARVIL_QUICK_ENUM
        kCodeCount
};

// The operations that store a float into their `result` and keep it in a
// register for the operation after them, which reads it from there where it
// is a load of those bytes (kLoadHeld, the R forms): a value handed from one
// operation to the next then does not wait for the store to reach memory.
// The bytes are written all the same, for every later reader.
inline bool HoldsItsResult(uint16_t code) {
    return (code >= kAddFF && code <= kGeAny) || (code >= kModAny && code <= kRandAny) ||
           code == kGetPixelValFF || code == kGetPixelValAny || code == kGetPixelValSum;
}

// The comparisons, in the order of their forms.
enum Comparison : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };

// What a pixel operation found out about its image's rows, kept while its
// image operand holds the same image: the weak reference to it keeps the
// image's control block alive, so no later image can share its owner.
// `bottomRow` is null for every image whose rows are not used directly
// (depths other than 1, 8 and 24 bits, no pixels, rows that would not all fit
// the block).
struct PixelView {
    std::weak_ptr<Image> owner;
    uint8_t* bottomRow = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    uint32_t bitCount = 0;
    // A 1- or 8-bit image's colour table and how many of its entries lie in the block.
    const uint8_t* palette = nullptr;
    uint32_t paletteEntries = 0;
};

// The last results of a function that takes its time (the trigonometric and
// hyperbolic functions, EXP, LOG, BLOG, POW), by the bits of its arguments:
// the same arguments give the same result, so a pixel loop over 256 values
// computes each once. The slots are in pairs, the pair chosen by a hash of
// the arguments, the more recent result of the two first: with one slot
// each, two of 256 values sharing a slot turn each other out, and a tenth of
// the look-ups of a random image computed their function again.
// An empty slot: a signalling NaN, which no argument read as a number is
// (floats widen to quiet NaNs).
inline constexpr uint64_t kNoArgument = 0x7FF4000000000001ull;
struct Remembered {
    uint64_t a = kNoArgument;
    uint64_t b = kNoArgument;
    double result = 0.0;
};
inline constexpr unsigned kRememberedPairBits = 9;
struct FunctionMemory {
    std::array<Remembered, size_t{2} << kRememberedPairBits> slots{};
};

// A pixel coordinate that is a sum or difference of two floats, worked out
// by the pixel operation itself (x-1, x+i, h-y): the operation of the + or -
// is left out, and its temporary is not written,
// since the pixel operation is its only reader and never leaves quick code
// before its instruction. A coordinate that is a float alone is the float
// plus zero, which gives every coordinate the same whole number.
struct CoordinateSum {
    const std::byte* left = nullptr;
    const std::byte* right = nullptr;
    Arithmetic arithmetic = Arithmetic::kAdd;  // kAdd or kSub
};
struct CoordinateSums {
    CoordinateSum x;
    CoordinateSum y;
};

struct Unit;

struct Op {
    uint16_t code = kExit;
    uint8_t loadA = kLoadItem;
    uint8_t loadB = kLoadItem;
    uint8_t kind = 0;
    uint8_t sense = 0;
    uint32_t exit = 0;  // the ExitPoint before this operation's instruction
    uint32_t target = 0;
    uint32_t next = 0;
    // Where the operation's code is (direct threading): filled last.
    const void* label = nullptr;
    Operand a{};
    Operand b{};
    Operand c{};
    Operand d{};
    Item* out = nullptr;  // the result temporary
    // Its block: a float result is stored here alone (the Item is a float
    // and stays one).
    std::byte* result = nullptr;
    union {
        PixelView* view = nullptr;  // pixel operations
        FunctionMemory* memory;     // remembering function operations
    };
    union {
        // Jumps: the unit jumped to (and `onward`, the one that follows).
        const struct Unit* taken = nullptr;
        const CoordinateSums* sums;  // the Sum forms of the pixel operations
    };
    const struct Unit* onward = nullptr;
    // Where an operation that reads the held result finds it when a run
    // starts at it (nothing before it in the run holds it then).
    const std::byte* heldFrom = nullptr;
};

// A unit: its instructions are [startPc, endPc); `firstOp` (and `first`, once
// the operations are all made) is kNoOp (null) where the instruction at
// startPc is left to the plain handlers.
inline constexpr uint32_t kNoOp = UINT32_MAX;
// Where a statement of a unit starts (the picture is empty there): its
// instruction and the operation that does the first of its instructions.
struct Segment {
    uint32_t pc = 0;
    uint32_t op = 0;
};

struct Unit {
    uint32_t firstOp = kNoOp;
    uint32_t startPc = 0;
    uint32_t endPc = 0;
    uint32_t count = 0;  // endPc - startPc: the instructions a run of it does
    const Op* first = nullptr;
    // Its statements after the first, in QuickCode::segments: a unit that
    // does not fit what is left before a dispatch runs up to the last of
    // them that does.
    uint32_t segmentsBegin = 0;
    uint32_t segmentsEnd = 0;
};

// Where a run can end before an instruction: the instruction, the end of its
// unit, and the picture of the stack there (`depth` entries from `picture`).
// `window` is 1 + the window handed to the instruction at pc, if any.
struct ExitPoint {
    uint32_t pc = 0;
    uint32_t unitEnd = 0;
    uint32_t picture = 0;
    uint32_t depth = 0;
    uint32_t window = 0;
};

// An element of a packed array as quick code hands it on: IndexPacked points
// the window's Item at the element's block and hands the Item to its user,
// so no element needs an Item of its own. Where the run leaves quick code
// with the window still handed on (on the operand stack, or as the operand
// of the instruction the plain handlers go on with), the element's own Item
// takes its place there: the window never outlives a run of quick code.
struct ElementWindow {
    Item item;
    DeclaredArray* array = nullptr;
    uint32_t index = 0;  // the element the window shows
    uint32_t user = 0;   // the instruction whose operand it is
};

// One Item of a picture: `item`, or, when `redirected` is not 0, the Item
// IndexArray set as the operand of instruction `redirected` - 1; that is
// the window `window` - 1 where IndexArray's operation had one.
struct PictureEntry {
    Item* item = nullptr;
    uint32_t redirected = 0;
    uint32_t window = 0;
};

struct QuickCode final : FastCode {
    std::vector<Op> ops;
    std::vector<Unit> units;
    std::vector<ExitPoint> exits;
    std::vector<PictureEntry> pictures;
    std::vector<Segment> segments;
    // Where a run can start: 1 + the operation that does the instruction at
    // each index (after the pushes in front of it), 0 where none can.
    std::array<uint32_t, Machine::kCodeTableSize> entries{};
    // One for each pixel operation, filled as it runs; a deque never moves them.
    std::deque<PixelView> views;
    // One for each remembering function operation.
    std::deque<FunctionMemory> memories;
    // Slots holding static Items for the "any" forms; a deque never moves them.
    std::deque<Item*> itemSlots;
    // One for each pixel operation of a Sum form.
    std::deque<CoordinateSums> sums;
    // The zero a coordinate that is a float alone is added to.
    std::byte zero[sizeof(float)]{};
    // One for each IndexPacked operation.
    std::deque<ElementWindow> windows;
    // Where an assignment to an HBS member "clears" the fourth byte it keeps.
    std::byte scratch[kColourBytes]{};
    // The most Items a picture holds: a run starts only with room for them.
    uint32_t deepest = 0;
};

// Translates the CodeTable into quick code (the Machine's FastForms).
void PrepareQuickCode(Machine& m);

// The units of quick code as text, one a line: "[first,end) op op ...", the
// instructions it covers and the names of its operations.
std::string ListQuickCode(const QuickCode& q);

// The address of each operation's code in RunQuickCode, by Code.
const void* const* QuickCodeLabels();

// Runs quick code from ProgramCounter on while `budget` holds the next unit.
// Returns the instructions done (0: none, nothing changed) and leaves
// ProgramCounter on the last of them and the operand stack as the plain
// handlers would have left it.
uint32_t RunQuickCode(Machine& m, uint32_t budget);

}  // namespace tarvil::quick
