// Running quick code: one loop over the operations, jumping from unit to
// unit while the instructions left before the next dispatch of events hold
// the next unit, and leaving to the plain handlers where an operation cannot
// finish as they would.
//
// Dispatch is through a table of label addresses (GCC's computed goto, also
// clang's): each operation ends with its own indirect jump to the next, which
// the processor predicts per operation. Every value rule is the plain
// handlers' own: ArithmeticValue, the function values, AssignItem,
// StoreColourMember, the pixel access functions.
#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/image_member.h"
#include "fast/quick_code.h"
#include "handlers/colour_conversion.h"
#include "handlers/handlers.h"
#include "handlers/math_functions.h"
#include "image/image_operand.h"
#include "image/pixel_access.h"

namespace tarvil::quick {

namespace {

enum Form { kF, kB, kE, kL, kM, kR };

// Looks at the image `holder` holds: its 1-, 8- or 24-bit rows when they can
// be used directly, every one of them inside the block.
[[gnu::noinline]] void LookAt(PixelView& view, const std::shared_ptr<Image>& holder) {
    view = PixelView{};
    view.owner = holder;
    Image* image = holder.get();
    if (image == nullptr || !image->hasPixels) return;
    const uint16_t bits = image->BitCount();
    const int32_t width = image->Width();
    const int32_t height = image->Height();
    if ((bits != 1 && bits != 8 && bits != 24) || width <= 0 || height <= 0) return;
    const uint64_t rowBytes = (uint64_t{static_cast<uint32_t>(width)} * bits + 7) / 8;
    const uint64_t rows = uint64_t{image->RowStride} * static_cast<uint64_t>(height);
    if (rowBytes > image->RowStride || image->pixelsOffset > image->block.size() ||
        rows > image->block.size() - image->pixelsOffset)
        return;
    view.bottomRow = image->block.data() + image->pixelsOffset;
    view.width = static_cast<uint32_t>(width);
    view.height = static_cast<uint32_t>(height);
    view.stride = image->RowStride;
    view.bitCount = bits;
    if (bits != 24 && image->block.size() > Image::kPaletteOffset) {
        view.palette = image->block.data() + Image::kPaletteOffset;
        view.paletteEntries = static_cast<uint32_t>(
            std::min<size_t>(256, (image->block.size() - Image::kPaletteOffset) / 4));
    }
}

// A float operand as it is stored.
[[gnu::always_inline]] inline float ReadFloat(const Operand& o) {
    return LoadFloatBytes(o.bytes);
}

// The mean of a colour's first three bytes, a whole number.
[[gnu::always_inline]] inline uint32_t LumOf(const std::byte* bytes) {
    const auto byte = [bytes](int k) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[k]));
    };
    return (byte(0) + byte(1) + byte(2)) / 3;
}

// A float, a colour component, a float element, a colour's Lum or the held
// result: every one a float exactly; an image member in double precision (a
// resolution can be past the whole numbers a float holds).
template <Form form>
[[gnu::always_inline]] inline auto Read(const Operand& o, float held) {
    if constexpr (form == kR) {
        return held;
    } else if constexpr (form == kM) {
        return ImageMemberNumber(*o.item);
    } else if constexpr (form == kF) {
        return LoadFloatBytes(o.bytes);
    } else if constexpr (form == kE) {
        return LoadFloatBytes((*o.slot)->value);
    } else if constexpr (form == kL) {
        return static_cast<float>(LumOf(o.bytes));
    } else {
        return static_cast<float>(static_cast<uint8_t>(*o.bytes));
    }
}

// A numeric operand read the way its load says; the TypeCodes were checked
// when the code was prepared, so ItemNumber never reports an error here.
[[gnu::always_inline]] inline double ReadAny(Machine& m, const Operand& o, uint8_t load,
                                             float held) {
    switch (load) {
        case kLoadHeld:
            return held;
        case kLoadFloat:
            return LoadFloatBytes(o.bytes);
        case kLoadByte:
            return static_cast<uint8_t>(*o.bytes);
        case kLoadLum:
            return LumOf(o.bytes);
        case kLoadElement:
            return LoadFloatBytes((*o.slot)->value);
        case kLoadMember:
            return ImageMemberNumber(*o.item);
        default:
            return ItemNumber(m, **o.slot);
    }
}

// The arithmetic of a form: in single precision when both operands are
// floats exactly, which gives the bits of the double rule; else in double.
[[gnu::always_inline]] inline float FormArithmetic(Arithmetic arithmetic, float left, float right) {
    return SingleArithmeticValue(arithmetic, left, right);
}
[[gnu::always_inline]] inline double FormArithmetic(Arithmetic arithmetic, double left,
                                                    float right) {
    return ArithmeticValue(arithmetic, left, right);
}

// The right operand is rounded to single precision, as the operators pop it.
// (A float left operand compares as it would in double precision.)
template <typename Left>
[[gnu::always_inline]] inline bool Compare(Comparison comparison, Left left, float right) {
    switch (comparison) {
        case kEq:
            return left == right;
        case kNe:
            return left != right;
        case kLt:
            return left < right;
        case kLe:
            return left <= right;
        case kGt:
            return left > right;
        default:
            return left >= right;
    }
}

int32_t Coordinate(Machine& m, const Operand& o, uint8_t load, float held) {
    return ToInt32(ReadAny(m, o, load, held));
}

// The view of the image `holder` holds, made again when it holds another.
[[gnu::always_inline]] inline const PixelView& ViewOf(PixelView& view,
                                                      const std::shared_ptr<Image>& holder) {
    if (view.owner.owner_before(holder) || holder.owner_before(view.owner)) LookAt(view, holder);
    return view;
}

// The stored row of pixel (x, y) and where it starts, or null where the pixel
// access functions decide (no rows known, coordinates outside the image).
// A view with rows has a depth of 1, 8 or 24 bits; one without has no width.
[[gnu::always_inline]] inline uint8_t* RowOf(const PixelView& view, int32_t x, int32_t y,
                                             uint32_t& storedRow) {
    if (static_cast<uint32_t>(x) >= view.width || static_cast<uint32_t>(y) >= view.height)
        return nullptr;
    storedRow = view.height - 1 - static_cast<uint32_t>(y);
    return view.bottomRow + storedRow * size_t{view.stride};
}

// Whether bit 0 of a 1-bit image is black (colour-table entry 0 all zero).
[[gnu::always_inline]] inline bool ZeroBitIsBlackIn(const PixelView& view) {
    if (view.paletteEntries == 0) return true;
    return (view.palette[0] | view.palette[1] | view.palette[2] | view.palette[3]) == 0;
}

// What GetPixel leaves in its temporary: a 24-bit pixel's colour, the
// colour-table entry an 8-bit pixel names (black past the block), a 1-bit
// pixel's black or white.
[[gnu::always_inline]] inline void GetPixel(Item* out, PixelView& view, const Item* image,
                                            int32_t x, int32_t y) {
    uint32_t storedRow = 0;
    const PixelView& rows = ViewOf(view, image->image);
    const uint8_t* row = RowOf(rows, x, y, storedRow);
    if (row == nullptr) return StoreRgbResult(*out, PixelColourAt(image->image.get(), x, y));
    const auto column = static_cast<uint32_t>(x);
    if (rows.bitCount == 24) return StoreRgbResult(*out, ReadBgr(row + 3 * size_t{column}));
    if (rows.bitCount == 8) {
        const uint32_t entry = row[column];
        return StoreRgbResult(
            *out, entry < rows.paletteEntries ? ReadBgr(rows.palette + 4 * entry) : RgbBytes{});
    }
    StoreRgbResult(*out, ColourOfBit(ReadBit(row + column / 8, column), ZeroBitIsBlackIn(rows)));
}

// SetPixel: a 24-bit pixel takes the colour, an 8-bit one its nearest entry,
// a 1-bit one black or white by the red byte.
[[gnu::always_inline]] inline void SetPixel(PixelView& view, const Item* image, int32_t x,
                                            int32_t y, RgbBytes colour) {
    uint32_t storedRow = 0;
    const PixelView& rows = ViewOf(view, image->image);
    uint8_t* row = RowOf(rows, x, y, storedRow);
    if (row == nullptr) return PutPixelColourAt(image->image.get(), x, y, colour);
    const auto column = static_cast<uint32_t>(x);
    image->image->MarkRowChanged(storedRow);
    if (rows.bitCount == 24) {
        WriteBgr(row + 3 * size_t{column}, colour);
    } else if (rows.bitCount == 8) {
        row[column] = static_cast<uint8_t>(NearestEntryFor(*image->image, colour));
    } else {
        WriteBit(row + column / 8, column, BitOfColour(colour, ZeroBitIsBlackIn(rows)));
    }
}

// GetPixelVal: a 1-bit pixel's bit, an 8-bit pixel's byte, a 24-bit pixel's
// packed colour.
[[gnu::always_inline]] inline uint32_t GetPixelValue(PixelView& view, const Item* image, int32_t x,
                                                     int32_t y) {
    uint32_t storedRow = 0;
    const PixelView& rows = ViewOf(view, image->image);
    const uint8_t* row = RowOf(rows, x, y, storedRow);
    if (row == nullptr) return PixelValueAt(image->image.get(), x, y);
    const auto column = static_cast<uint32_t>(x);
    if (rows.bitCount == 8) return row[column];
    if (rows.bitCount == 24) return PackedColour(ReadBgr(row + 3 * size_t{column}));
    return ReadBit(row + column / 8, column);
}

[[gnu::always_inline]] inline void SetPixelValue(PixelView& view, const Item* image, int32_t x,
                                                 int32_t y, uint32_t value) {
    uint32_t storedRow = 0;
    const PixelView& rows = ViewOf(view, image->image);
    uint8_t* row = RowOf(rows, x, y, storedRow);
    if (row == nullptr) return PutPixelValueAt(image->image.get(), x, y, value);
    const auto column = static_cast<uint32_t>(x);
    image->image->MarkRowChanged(storedRow);
    if (rows.bitCount == 8) {
        row[column] = static_cast<uint8_t>(value);
    } else if (rows.bitCount == 24) {
        WriteBgr(row + 3 * size_t{column}, ColourOfPacked(value));
    } else {
        WriteBit(row + column / 8, column, value);
    }
}

// A coordinate as the left-out operation would have left it in its
// temporary. That operation works in double precision and rounds to single;
// the exact sum or difference of two floats rounded once to single
// precision is the same number (double precision has more than twice the
// bits), and a coordinate never shows which NaN or which zero it was.
[[gnu::always_inline]] inline int32_t SumCoordinate(const CoordinateSum& sum) {
    const float left = LoadFloatBytes(sum.left);
    const float right = LoadFloatBytes(sum.right);
    return ToInt32(sum.arithmetic == Arithmetic::kSub ? left - right : left + right);
}

// The function's result for the arguments a and b, from its memory when it
// was given the same bits there last.
template <typename Compute>
[[gnu::always_inline]] inline double Remember(FunctionMemory& memory, double a, double b,
                                              Compute compute) {
    uint64_t keyA;
    uint64_t keyB;
    std::memcpy(&keyA, &a, sizeof keyA);
    std::memcpy(&keyB, &b, sizeof keyB);
    const uint64_t mixed = (keyA ^ (keyB * 0x9E3779B97F4A7C15ull)) * 0xD6E8FEB86659FD93ull;
    Remembered* pair = &memory.slots[2 * (mixed >> (64 - kRememberedPairBits))];
    if (pair[0].a == keyA && pair[0].b == keyB) return pair[0].result;
    if (pair[1].a == keyA && pair[1].b == keyB) {
        std::swap(pair[0], pair[1]);
    } else {
        pair[1] = pair[0];
        pair[0] = {keyA, keyB, compute()};
    }
    return pair[0].result;
}

// The image of an image variable or result (their TypeCodes were checked
// when the code was prepared).
[[gnu::always_inline]] inline Image* ImageOf(const Item* item) {
    return item->image.get();
}

RgbBytes ColourBytes(const std::byte* bytes) {
    return {static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(bytes[1]),
            static_cast<uint8_t>(bytes[2])};
}

// The last statement start of `unit` after its first one that no more than
// `left` instructions reach; null where none does.
const Segment* LastFitting(const QuickCode& q, const Unit& unit, uint32_t left) {
    const Segment* fits = nullptr;
    for (uint32_t k = unit.segmentsBegin; k < unit.segmentsEnd; ++k) {
        if (q.segments[k].pc - unit.startPc > left) break;
        fits = &q.segments[k];
    }
    return fits;
}

// The element a window shows, as its own Item, handed to the window's user
// in the window's place.
Item* Settle(Machine& m, const ElementWindow& window) {
    Item* element = PackedElement(*window.array, window.index);
    m.CodeTable[window.user].item = element;
    return element;
}

// The operand stack as the plain path has it at `exit`, and the operand of
// the instruction there.
void LeaveStack(Machine& m, const QuickCode& q, uint32_t base, const ExitPoint& exit) {
    if (exit.window != 0) Settle(m, q.windows[exit.window - 1]);
    for (uint32_t k = 0; k < exit.depth; ++k) {
        const PictureEntry& e = q.pictures[exit.picture + k];
        Item* item = e.item;
        if (e.window != 0) {
            item = Settle(m, q.windows[e.window - 1]);
        } else if (e.redirected != 0) {
            item = m.CodeTable[e.redirected - 1].item;
        }
        m.OperandStack[base + k] = item;
    }
    m.StackTop = base + exit.depth;
}

}  // namespace

// Label addresses and computed gotos are an extension of GCC and clang.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#ifdef __clang__
#pragma clang diagnostic ignored "-Wgnu-label-as-value"
#endif

namespace {

// The run itself; with no Machine, only the labels' table for the preparation.
uint32_t Run(Machine* machine, uint32_t budget, const void* const** labelsOut) {
    static const void* const kLabels[] = {
#define TARVIL_QUICK_LABEL(name) &&Do##name,
        TARVIL_QUICK_OPS(TARVIL_QUICK_LABEL)
#undef TARVIL_QUICK_LABEL
    };
    static_assert(sizeof kLabels / sizeof kLabels[0] == kCodeCount);
    if (machine == nullptr) {
        *labelsOut = kLabels;
        return 0;
    }
    Machine& m = *machine;
    auto& q = static_cast<QuickCode&>(*m.FastForms);
    const uint32_t startPc = m.ProgramCounter;
    const uint32_t entry = q.entries[startPc];
    if (entry == 0) return 0;
    const Op* op = &q.ops[entry - 1];
    // The float the operation just done stored in its result, which the
    // next one may read from here.
    float held = op->heldFrom != nullptr ? LoadFloatBytes(op->heldFrom) : 0.0f;
    const uint32_t base = m.StackTop;
    const uint32_t first = q.exits[op->exit].unitEnd - startPc;
    if (first > budget || base + q.deepest > Machine::kOperandStackSize) return 0;
    // Instructions left before the next dispatch once the current unit is done.
    uint32_t left = budget - first;
    uint32_t resume = 0;  // the instruction the plain handlers go on with

#define DISPATCH() goto * op->label
#define NEXT()      \
    do {            \
        ++op;       \
        DISPATCH(); \
    } while (0)
// A float result into its Item, already a float, and into `held`.
#define STORE_RESULT(...)                       \
    do {                                        \
        held = static_cast<float>(__VA_ARGS__); \
        StoreFloatBytes(op->result, held);      \
    } while (0)

    // Where a unit that did not fit stops: the operation whose label was
    // turned to DoStop, its own label, and the statement it starts.
    Op* stopOp = nullptr;
    const void* stopLabel = nullptr;
    uint32_t stopPc = 0;
    uint32_t stopUnitEnd = 0;
    int32_t index = 0;  // IndexArray's, read by the form of its operand

    // Goes on with unit `u`, or, when it does not fit, with as many of its
    // statements as do, or ends the run before it.
#define ENTER(u)                                               \
    do {                                                       \
        const Unit* unit = (u);                                \
        if (unit->first == nullptr) {                          \
            resume = unit->startPc;                            \
            m.StackTop = base;                                 \
            goto Leave;                                        \
        }                                                      \
        if (unit->count > left) {                              \
            const Segment* fits = LastFitting(q, *unit, left); \
            if (fits == nullptr) {                             \
                resume = unit->startPc;                        \
                m.StackTop = base;                             \
                goto Leave;                                    \
            }                                                  \
            stopOp = &q.ops[fits->op];                         \
            stopLabel = stopOp->label;                         \
            stopOp->label = &&DoStop;                          \
            stopPc = fits->pc;                                 \
            stopUnitEnd = unit->endPc;                         \
        }                                                      \
        left -= unit->count;                                   \
        op = unit->first;                                      \
        DISPATCH();                                            \
    } while (0)

    DISPATCH();

// Every binary operation has one form for each pair of loads in
// TARVIL_QUICK_LOAD_PAIRS and an Any form.
#define TARVIL_FORMS(FORM, name, how) TARVIL_QUICK_LOAD_PAIRS(FORM, name, how)

#define TARVIL_ARITHMETIC_FORM(name, arithmetic, A, B)                                          \
    Do##name##A##B : STORE_RESULT(FormArithmetic(arithmetic, Read<k##A>(op->a, held),           \
                                                 static_cast<float>(Read<k##B>(op->b, held)))); \
    NEXT();
#define TARVIL_ARITHMETIC(name, arithmetic)                                                      \
    TARVIL_FORMS(TARVIL_ARITHMETIC_FORM, name, arithmetic)                                       \
    Do##name##Any                                                                                \
        : STORE_RESULT(ArithmeticValue(arithmetic, ReadAny(m, op->a, op->loadA, held),           \
                                       static_cast<float>(ReadAny(m, op->b, op->loadB, held)))); \
    NEXT();

    TARVIL_ARITHMETIC(Add, Arithmetic::kAdd)
    TARVIL_ARITHMETIC(Sub, Arithmetic::kSub)
    TARVIL_ARITHMETIC(Mul, Arithmetic::kMul)
    TARVIL_ARITHMETIC(Div, Arithmetic::kDiv)
#undef TARVIL_ARITHMETIC
#undef TARVIL_ARITHMETIC_FORM

#define TARVIL_COMPARISON_FORM(name, comparison, A, B)                                 \
    Do##name##A##B : STORE_RESULT(Compare(comparison, Read<k##A>(op->a, held),         \
                                          static_cast<float>(Read<k##B>(op->b, held))) \
                                      ? 1.0                                            \
                                      : 0.0);                                          \
    NEXT();
#define TARVIL_COMPARISON(name, comparison)                                                      \
    TARVIL_FORMS(TARVIL_COMPARISON_FORM, name, comparison)                                       \
    Do##name##Any : STORE_RESULT(Compare(comparison, ReadAny(m, op->a, op->loadA, held),         \
                                         static_cast<float>(ReadAny(m, op->b, op->loadB, held))) \
                                     ? 1.0                                                       \
                                     : 0.0);                                                     \
    NEXT();

    TARVIL_COMPARISON(Eq, kEq)
    TARVIL_COMPARISON(Ne, kNe)
    TARVIL_COMPARISON(Lt, kLt)
    TARVIL_COMPARISON(Le, kLe)
    TARVIL_COMPARISON(Gt, kGt)
    TARVIL_COMPARISON(Ge, kGe)
#undef TARVIL_COMPARISON
#undef TARVIL_COMPARISON_FORM

DoModAny : {
    const uint32_t right = ToUint32(ReadAny(m, op->b, op->loadB, held));
    // A zero divisor stops the run: the plain handler says so.
    if (right == 0) goto Deoptimise;
    STORE_RESULT(ToUint32(ReadAny(m, op->a, op->loadA, held)) % right);
    NEXT();
}
DoModFF : {
    const uint32_t right = ToUint32(Read<kF>(op->b, held));
    if (right == 0) goto Deoptimise;
    STORE_RESULT(ToUint32(Read<kF>(op->a, held)) % right);
    NEXT();
}
DoAndAny:
    STORE_RESULT(ToUint32(ReadAny(m, op->a, op->loadA, held)) &
                 ToUint32(ReadAny(m, op->b, op->loadB, held)));
    NEXT();
DoOrAny:
    STORE_RESULT(ToUint32(ReadAny(m, op->a, op->loadA, held)) |
                 ToUint32(ReadAny(m, op->b, op->loadB, held)));
    NEXT();
DoXorAny:
    STORE_RESULT(ToUint32(ReadAny(m, op->a, op->loadA, held)) ^
                 ToUint32(ReadAny(m, op->b, op->loadB, held)));
    NEXT();
DoNotAny:
    STORE_RESULT(ReadAny(m, op->a, op->loadA, held) == 0.0 ? 1.0 : 0.0);
    NEXT();
DoUnaryAny:
    STORE_RESULT(UnaryFunctionValue(static_cast<UnaryFunction>(op->kind),
                                    ReadAny(m, op->a, op->loadA, held)));
    NEXT();
DoBinaryFnAny:
    STORE_RESULT(BinaryFunctionValue(static_cast<BinaryFunction>(op->kind),
                                     ReadAny(m, op->a, op->loadA, held),
                                     ReadAny(m, op->b, op->loadB, held)));
    NEXT();
DoMinFF:
    STORE_RESULT(
        BinaryFunctionValue(BinaryFunction::kMin, Read<kF>(op->a, held), Read<kF>(op->b, held)));
    NEXT();
DoMaxFF:
    STORE_RESULT(
        BinaryFunctionValue(BinaryFunction::kMax, Read<kF>(op->a, held), Read<kF>(op->b, held)));
    NEXT();
DoMinRF:
    STORE_RESULT(BinaryFunctionValue(BinaryFunction::kMin, held, Read<kF>(op->b, held)));
    NEXT();
DoMaxRF:
    STORE_RESULT(BinaryFunctionValue(BinaryFunction::kMax, held, Read<kF>(op->b, held)));
    NEXT();
DoUnaryRemembered : {
    const double x = ReadAny(m, op->a, op->loadA, held);
    STORE_RESULT(Remember(*op->memory, x, 0.0, [op, x] {
        return UnaryFunctionValue(static_cast<UnaryFunction>(op->kind), x);
    }));
    NEXT();
}
DoBinaryFnRemembered : {
    const double a = ReadAny(m, op->a, op->loadA, held);
    const double b = ReadAny(m, op->b, op->loadB, held);
    STORE_RESULT(Remember(*op->memory, a, b, [op, a, b] {
        return BinaryFunctionValue(static_cast<BinaryFunction>(op->kind), a, b);
    }));
    NEXT();
}
DoRandAny : {
    const double x = ReadAny(m, op->a, op->loadA, held);
    STORE_RESULT(RandValue(x, NextRandSample(m.RandState)));
    NEXT();
}

DoAssignFloatF:
    StoreFloatBytes(op->b.bytes, static_cast<float>(static_cast<double>(Read<kF>(op->a, held))));
    NEXT();
DoAssignFloatB:
    StoreFloatBytes(op->b.bytes, static_cast<float>(Read<kB>(op->a, held)));
    NEXT();
DoAssignFloatR:
    StoreFloatBytes(op->b.bytes, held);
    NEXT();
DoAssignComponentF:
    *op->b.bytes = std::byte{ComponentFromNumber(ReadFloat(op->a))};
    *op->c.bytes = std::byte{0};
    NEXT();
DoAssignComponentB:
    *op->b.bytes = *op->a.bytes;
    *op->c.bytes = std::byte{0};
    NEXT();
DoAssignComponentR:
    *op->b.bytes = std::byte{ComponentFromNumber(held)};
    *op->c.bytes = std::byte{0};
    NEXT();
DoAssignLumF : {
    const auto value = std::byte{ComponentFromNumber(ReadFloat(op->a))};
    op->b.bytes[0] = op->b.bytes[1] = op->b.bytes[2] = value;
    *op->c.bytes = std::byte{0};
    NEXT();
}
DoAssignLumR : {
    const auto value = std::byte{ComponentFromNumber(held)};
    op->b.bytes[0] = op->b.bytes[1] = op->b.bytes[2] = value;
    *op->c.bytes = std::byte{0};
    NEXT();
}
DoAssignLumB : {
    const std::byte value = *op->a.bytes;
    op->b.bytes[0] = op->b.bytes[1] = op->b.bytes[2] = value;
    *op->c.bytes = std::byte{0};
    NEXT();
}
DoAssignColour:
    std::memmove(op->b.bytes, op->a.bytes, kColourBytes);
    NEXT();
DoAssignRgbFromHbs:
    StoreRgbFromHbs(op->b.bytes, op->a.bytes);
    NEXT();
DoAssignHbsFromRgb:
    StoreHbsFromRgb(op->b.bytes, op->a.bytes);
    NEXT();
DoAssignToElement:
    StoreFloatBytes((*op->b.slot)->value,
                    static_cast<float>(static_cast<double>(ReadFloat(op->a))));
    NEXT();
DoAssignFromElement:
    StoreFloatBytes(op->b.bytes,
                    static_cast<float>(static_cast<double>(LoadFloatBytes((*op->a.slot)->value))));
    NEXT();
DoAssignAny:
    AssignItem(m, **op->b.slot, **op->a.slot);
    NEXT();

DoIndexF:
    index = ToInt32(ReadFloat(op->a));
    goto Index;
DoIndexR:
    index = ToInt32(held);
    goto Index;
DoIndexAny:
    index = ToInt32(ReadAny(m, op->a, op->loadA, held));
Index : {
    // Elements in the array's table; an index past it walks on from the
    // last element, which the plain handler does.
    const auto steps = static_cast<uint32_t>(index);
    const std::vector<Item*>& elements = *op->c.elements;
    if (steps >= elements.size()) goto Deoptimise;
    m.CodeTable[op->target].item = elements[steps];
    NEXT();
}
DoIndexPackedF:
    index = ToInt32(ReadFloat(op->a));
    goto IndexPacked;
DoIndexPackedR:
    index = ToInt32(held);
    goto IndexPacked;
DoIndexPackedAny:
    index = ToInt32(ReadAny(m, op->a, op->loadA, held));
IndexPacked : {
    // An index past the array walks on, which the plain handler does.
    const auto steps = static_cast<uint32_t>(index);
    ElementWindow& window = *op->c.window;
    if (steps >= window.array->count) goto Deoptimise;
    window.index = steps;
    window.item.value = window.array->BytesOf(steps);
    m.CodeTable[op->target].item = &window.item;
    NEXT();
}

DoGetPixelFF:
    GetPixel(op->out, *op->view, op->c.item, ToInt32(ReadFloat(op->a)), ToInt32(ReadFloat(op->b)));
    NEXT();
DoGetPixelAny:
    GetPixel(op->out, *op->view, op->c.item, Coordinate(m, op->a, op->loadA, held),
             Coordinate(m, op->b, op->loadB, held));
    NEXT();
DoSetPixelFF:
    SetPixel(*op->view, op->c.item, ToInt32(ReadFloat(op->a)), ToInt32(ReadFloat(op->b)),
             ColourBytes(op->d.bytes));
    NEXT();
DoSetPixelAny:
    SetPixel(*op->view, op->c.item, Coordinate(m, op->a, op->loadA, held),
             Coordinate(m, op->b, op->loadB, held), ColourOperandBytes(*op->d.slot));
    NEXT();
DoGetPixelValFF:
    STORE_RESULT(
        GetPixelValue(*op->view, op->c.item, ToInt32(ReadFloat(op->a)), ToInt32(ReadFloat(op->b))));
    NEXT();
DoGetPixelValAny:
    STORE_RESULT(GetPixelValue(*op->view, op->c.item, Coordinate(m, op->a, op->loadA, held),
                               Coordinate(m, op->b, op->loadB, held)));
    NEXT();
DoSetPixelValFF:
    SetPixelValue(*op->view, op->c.item, ToInt32(ReadFloat(op->a)), ToInt32(ReadFloat(op->b)),
                  static_cast<uint32_t>(ToInt32(ReadAny(m, op->d, op->kind, held))));
    NEXT();
DoSetPixelValAny : {
    const auto value = static_cast<uint32_t>(ToInt32(ReadAny(m, op->d, op->kind, held)));
    SetPixelValue(*op->view, op->c.item, Coordinate(m, op->a, op->loadA, held),
                  Coordinate(m, op->b, op->loadB, held), value);
    NEXT();
}
DoGetPixelSum:
    GetPixel(op->out, *op->view, op->c.item, SumCoordinate(op->sums->x),
             SumCoordinate(op->sums->y));
    NEXT();
DoSetPixelSum:
    SetPixel(*op->view, op->c.item, SumCoordinate(op->sums->x), SumCoordinate(op->sums->y),
             ColourBytes(op->d.bytes));
    NEXT();
DoGetPixelValSum:
    STORE_RESULT(GetPixelValue(*op->view, op->c.item, SumCoordinate(op->sums->x),
                               SumCoordinate(op->sums->y)));
    NEXT();
DoSetPixelValSum : {
    const auto value = static_cast<uint32_t>(ToInt32(ReadAny(m, op->d, op->kind, held)));
    SetPixelValue(*op->view, op->c.item, SumCoordinate(op->sums->x), SumCoordinate(op->sums->y),
                  value);
    NEXT();
}
DoGetPaletteAny : {
    const Image* image = ImageOf(op->c.item);
    const int32_t index = Coordinate(m, op->a, op->loadA, held);
    StoreRgbResult(*op->out, image != nullptr ? PaletteColourAt(*image, index) : RgbBytes{});
    NEXT();
}
DoSetPaletteAny : {
    Image* image = ImageOf(op->c.item);
    const int32_t index = Coordinate(m, op->a, op->loadA, held);
    if (image != nullptr) PutPaletteColourAt(*image, index, ColourOperandBytes(*op->d.slot));
    NEXT();
}

DoJump:
    ENTER(op->taken);
DoJumpIfBytes:
    if (IsTrueWord(op->a.bytes) == (op->sense != 0)) ENTER(op->taken);
    ENTER(op->onward);
DoJumpIfSlot:
    if (IsTrueWord((*op->a.slot)->value) == (op->sense != 0)) ENTER(op->taken);
    ENTER(op->onward);
#define TARVIL_COMPARE_JUMP_FORM(name, unused, A, B)                                           \
    Do##name##A##B : {                                                                         \
        const bool truth = Compare(static_cast<Comparison>(op->kind), Read<k##A>(op->a, held), \
                                   static_cast<float>(Read<k##B>(op->b, held)));               \
        if (truth == (op->sense != 0)) ENTER(op->taken);                                       \
        ENTER(op->onward);                                                                     \
    }
    TARVIL_FORMS(TARVIL_COMPARE_JUMP_FORM, CompareJump, )
#undef TARVIL_COMPARE_JUMP_FORM
#undef TARVIL_FORMS
DoCompareJumpAny : {
    const bool truth =
        Compare(static_cast<Comparison>(op->kind), ReadAny(m, op->a, op->loadA, held),
                static_cast<float>(ReadAny(m, op->b, op->loadB, held)));
    if (truth == (op->sense != 0)) ENTER(op->taken);
    ENTER(op->onward);
}
DoForNext : {
    // The variable is rounded to single precision first, as OpAdd pops it.
    const float variable = Read<kF>(op->b, held);
    StoreFloatBytes(op->b.bytes,
                    SingleArithmeticValue(Arithmetic::kAdd, Read<kF>(op->a, held), variable));
    const bool again = Read<kF>(op->b, held) <= static_cast<float>(Read<kF>(op->c, held));
    if (again) ENTER(op->taken);
    ENTER(op->onward);
}

DoStop:
    // The statements of the unit from here on were counted but are not done.
    left += stopUnitEnd - stopPc;
    resume = stopPc;
    m.StackTop = base;
    goto Leave;
Deoptimise : {
    // The instructions of the unit from this one on were counted but not done.
    const ExitPoint& exit = q.exits[op->exit];
    left += exit.unitEnd - exit.pc;
    resume = exit.pc;
    LeaveStack(m, q, base, exit);
    goto Leave;
}
DoExit : {
    const ExitPoint& exit = q.exits[op->exit];
    resume = exit.pc;
    LeaveStack(m, q, base, exit);
}
Leave:
    if (stopOp != nullptr) stopOp->label = stopLabel;
#undef ENTER
#undef STORE_RESULT
#undef NEXT
#undef DISPATCH
    const uint32_t done = budget - left;
    if (done == 0) {
        m.StackTop = base;
        return 0;
    }
    m.ProgramCounter = resume - 1;  // the execution loop adds one
    return done;
}

}  // namespace

#pragma GCC diagnostic pop

const void* const* QuickCodeLabels() {
    const void* const* labels = nullptr;
    Run(nullptr, 0, &labels);
    return labels;
}

uint32_t RunQuickCode(Machine& m, uint32_t budget) {
    return Run(&m, budget, nullptr);
}

}  // namespace tarvil::quick
