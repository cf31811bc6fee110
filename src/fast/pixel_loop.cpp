// Whole passes of a loop whose body reads and writes pixels: GetPixel into a
// colour, copies between colour components, SetPixel, and target = a op b.
//
// What a pass could need checking on every step is checked once, before the
// passes: the TypeCodes, the value blocks, the images behind the image
// operands with their size, depth, row stride and rows, and the room on the
// operand stack. None of it changes while the passes run:
// - every write of a pass gives the Item the TypeCode it already has (the
//   temporaries of GetPixel hold a colour and those of the arithmetic a float
//   once a first pass has run; the checks insist on it), and no Item's block
//   or image is replaced;
// - pixels are written only past the header, so an image keeps its size and
//   depth; the colour table, which 8-bit rows may overlap, is read anew on
//   every pixel, and the nearest-entry memory is left to its own function.
// Each pass then only converts the coordinates and compares them with the
// size; a pixel outside the image takes the general path, which wraps.
// Reads and writes go in the instructions' order, so Items sharing a block
// see what the steps before them wrote.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <initializer_list>

#include "fast/fast_paths.h"
#include "fast/fast_steps.h"
#include "handlers/handlers.h"
#include "image/image_operand.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

constexpr uint32_t kMostStepsInAPixelLoop = 16;
constexpr uint32_t kMostCopiesInAPixelLoop = 32;

// An 8- or 24-bit image whose rows all lie inside its block, past its header.
struct PixelGrid {
    Image* image;
    uint8_t* bottomRow;
    const uint8_t* palette;
    uint32_t width;
    uint32_t height;
    size_t stride;
    // The size as floats, exact: both are at most 2^24.
    float widthLimit;
    float heightLimit;

    // No pixel write reaches the colour table: it lies wholly before the rows.
    bool TableBeforeRows() const { return image->pixelsOffset >= Image::kPaletteOffset + 4 * 256; }

    // The first byte of the pixel at the coordinates' values, rows counted
    // from the top; null outside. A coordinate truncates to 0..width-1
    // exactly when its value lies strictly between -1 and width.
    uint8_t* Find(float x, float y, size_t bytesPerPixel, uint32_t& storedRow) const {
        if (!(x > -1.0f && x < widthLimit && y > -1.0f && y < heightLimit)) return nullptr;
        const auto column = static_cast<uint32_t>(static_cast<int32_t>(x));
        const auto row = static_cast<uint32_t>(static_cast<int32_t>(y));
        storedRow = height - 1 - row;
        return bottomRow + storedRow * stride + bytesPerPixel * column;
    }
};

constexpr int32_t kLargestExactFloat = 1 << 24;

bool MakeGrid(Image* image, uint16_t bitCount, PixelGrid& grid) {
    if (image == nullptr || !image->hasPixels || image->BitCount() != bitCount) return false;
    const int32_t width = image->Width();
    const int32_t height = image->Height();
    const size_t size = image->block.size();
    if (width <= 0 || height <= 0 || width > kLargestExactFloat || height > kLargestExactFloat ||
        image->pixelsOffset < Image::kPaletteOffset || image->pixelsOffset > size) {
        return false;
    }
    const uint64_t bytesPerPixel = bitCount / 8;
    const uint64_t end = image->pixelsOffset +
                         uint64_t{image->RowStride} * static_cast<uint64_t>(height - 1) +
                         bytesPerPixel * static_cast<uint64_t>(width);
    if (end > size) return false;
    // An 8-bit pixel may name any of the 256 entries.
    if (bitCount == 8 && Image::kPaletteOffset + 4 * 256 > size) return false;
    grid = {image,
            image->block.data() + image->pixelsOffset,
            image->block.data() + Image::kPaletteOffset,
            static_cast<uint32_t>(width),
            static_cast<uint32_t>(height),
            image->RowStride,
            static_cast<float>(width),
            static_cast<float>(height)};
    return true;
}

enum class StepKind : uint8_t {
    GetTrueColour,
    GetIndexed,
    GetAnywhere,
    SetTrueColour,
    SetIndexed,
    SetAnywhere,
    CopyComponents,
    Arithmetic,
};

struct ComponentCopy {
    std::byte* target;
    const std::byte* source;
    std::byte* reserved;
};

// No member initializers: a plan's sixteen steps are not cleared ahead, each
// step is cleared when it is planned (PassStep{}).
struct PassStep {
    StepKind kind;
    PixelGrid grid;
    Image* image;
    const std::byte* x;
    const std::byte* y;
    // GetPixel's temporary and target; arithmetic's result and target.
    std::byte* result;
    std::byte* target;  // GetPixel: null for an HBS target
    Item* resultItem;
    Item* targetItem;
    const uint8_t* colour;  // SetPixel's colour operand
    const std::byte* left;
    const std::byte* right;
    Handler op;
    const ComponentCopy* firstCopy;
    const ComponentCopy* endOfCopies;
};

struct PassPlan {
    std::array<PassStep, kMostStepsInAPixelLoop> steps;
    uint32_t stepCount = 0;
    std::array<ComponentCopy, kMostCopiesInAPixelLoop> copies;
    uint32_t copyCount = 0;
    // NEXT's blocks.
    const std::byte* step = nullptr;
    const std::byte* variable = nullptr;
    std::byte* sum = nullptr;
    const std::byte* limit = nullptr;
    std::byte* truth = nullptr;
    // The operand stack slots above StackTop as a whole pass leaves them.
    std::array<Item*, 4> slots{};
    uint32_t slotCount = 0;
    uint32_t stackNeeded = 0;

    void Leave(std::initializer_list<Item*> items) {
        uint32_t k = 0;
        for (Item* item : items) slots[k++] = item;
        if (k > slotCount) slotCount = k;
        if (k > stackNeeded) stackNeeded = k;
    }
};

bool IsFloat(const Item* item) {
    return item->typeCode == kTypeFloat;
}

bool PlanGetPixel(PassPlan& plan, const Instruction* code) {
    Item* xItem = code[1].item;
    Item* yItem = code[2].item;
    Item* result = code[3].item;
    Item* target = code[4].item;
    // FuseCode has found their blocks and a target that is not the temporary.
    if (!IsFloat(xItem) || !IsFloat(yItem) || result->typeCode != kTypeRgb ||
        (target->typeCode != kTypeRgb && target->typeCode != kTypeHbs)) {
        return false;
    }
    PassStep& s = plan.steps[plan.stepCount++];
    s = PassStep{};
    s.image = OperandImage(code[0].item);
    s.kind = MakeGrid(s.image, 24, s.grid)  ? StepKind::GetTrueColour
             : MakeGrid(s.image, 8, s.grid) ? StepKind::GetIndexed
                                            : StepKind::GetAnywhere;
    s.x = xItem->value;
    s.y = yItem->value;
    s.result = result->value;
    s.resultItem = result;
    s.targetItem = target;
    s.target = target->typeCode == kTypeRgb ? target->value : nullptr;
    plan.Leave({result, xItem, yItem});
    return true;
}

bool PlanSetPixel(PassPlan& plan, const Instruction* code) {
    Item* xItem = code[1].item;
    Item* yItem = code[2].item;
    Item* colour = code[3].item;
    if (!IsFloat(xItem) || !IsFloat(yItem) || colour == nullptr || colour->value == nullptr ||
        colour->size < 3) {
        return false;
    }
    PassStep& s = plan.steps[plan.stepCount++];
    s = PassStep{};
    s.image = OperandImage(code[0].item);
    s.kind = MakeGrid(s.image, 24, s.grid)  ? StepKind::SetTrueColour
             : MakeGrid(s.image, 8, s.grid) ? StepKind::SetIndexed
                                            : StepKind::SetAnywhere;
    s.x = xItem->value;
    s.y = yItem->value;
    s.colour = reinterpret_cast<const uint8_t*>(colour->value);
    plan.Leave({code[0].item, xItem, yItem, colour});
    return true;
}

// PushOperand/Assign pairs that each copy one RGB component to another.
bool PlanCopies(PassPlan& plan, const Instruction* code, uint32_t span) {
    const uint32_t pairs = span / 2;
    if (plan.copyCount + pairs > plan.copies.size()) return false;
    PassStep& s = plan.steps[plan.stepCount];
    s = PassStep{};
    s.kind = StepKind::CopyComponents;
    s.firstCopy = &plan.copies[plan.copyCount];
    s.endOfCopies = s.firstCopy + pairs;
    for (uint32_t k = 0; k < pairs; ++k) {
        const Item* source = code[2 * k].item;
        Item* target = code[2 * k + 1].item;
        if (source == nullptr || target == nullptr || !IsRgbComponent(source->typeCode) ||
            !IsRgbComponent(target->typeCode) || source->value == nullptr ||
            source->size < kColourBytes || target->value == nullptr ||
            target->size < kColourBytes) {
            return false;
        }
        plan.copies[plan.copyCount + k] = {target->value + RgbComponentOffset(target->typeCode),
                                           source->value + RgbComponentOffset(source->typeCode),
                                           target->value + 3};
    }
    plan.copyCount += pairs;
    ++plan.stepCount;
    plan.Leave({code[span - 2].item});
    return true;
}

bool PlanArithmetic(PassPlan& plan, const Instruction* code) {
    if (!IsFloat(code[0].item) || !IsFloat(code[1].item) || !IsFloat(code[2].item) ||
        !IsFloat(code[3].item)) {
        return false;
    }
    PassStep& s = plan.steps[plan.stepCount++];
    s = PassStep{};
    s.kind = StepKind::Arithmetic;
    s.left = code[0].item->value;
    s.right = code[1].item->value;
    s.result = code[2].item->value;
    s.op = code[2].handler;
    s.target = code[3].item->value;
    plan.Leave({code[2].item, code[1].item});
    return true;
}

bool MakePlan(const Machine& m, uint32_t next, PassPlan& plan) {
    const uint32_t first = m.CodeTable[next + 5].number + 1;
    for (uint32_t at = first; at < next; at += m.FusedTable[at].span) {
        if (plan.stepCount == plan.steps.size()) return false;
        const FusedInstruction& fused = m.FusedTable[at];
        const Instruction* code = &m.CodeTable[at];
        bool planned = false;
        if (fused.handler == FusedGetPixelAssign) {
            planned = PlanGetPixel(plan, code);
        } else if (fused.handler == FusedSetPixel) {
            planned = PlanSetPixel(plan, code);
        } else if (fused.handler == FusedColourAssignRun || fused.handler == FusedPushAssignRun ||
                   fused.handler == FusedPushAssign) {
            planned = PlanCopies(plan, code, fused.span);
        } else if (fused.handler == FusedArithmeticAssign) {
            planned = PlanArithmetic(plan, code);
        }
        if (!planned) return false;
    }
    // NEXT has just run: its sum and truth hold floats, and the rest it has checked.
    const Instruction* loop = &m.CodeTable[next];
    plan.step = loop[0].item->value;
    plan.variable = loop[1].item->value;
    plan.sum = loop[2].item->value;
    plan.limit = loop[3].item->value;
    plan.truth = loop[4].item->value;
    plan.Leave({loop[4].item, loop[3].item});
    return m.StackTop + plan.stackNeeded <= Machine::kOperandStackSize;
}

// ToInt32 of the float: no float lies strictly between -2^31 - 1 and -2^31,
// so the same range is tested without widening to double.
int32_t Coordinate(const std::byte* value) {
    const float single = LoadFloatBytes(value);
    if (!(single >= -2147483648.0f && single < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(single);
}

// GetPixel's colour into its temporary, then the assignment to the target.
void DeliverColour(Machine& m, const PassStep& s, RgbBytes colour) {
    const std::array<std::byte, kColourBytes> bytes{std::byte{colour.red}, std::byte{colour.green},
                                                    std::byte{colour.blue}, std::byte{0}};
    std::memcpy(s.result, bytes.data(), kColourBytes);
    if (s.target != nullptr) {
        std::memcpy(s.target, s.result, kColourBytes);  // RGB from RGB: the four bytes
    } else {
        AssignItem(m, *s.targetItem, *s.resultItem);
    }
}

template <StepKind kind>
[[gnu::always_inline]] inline void RunKnownStep(Machine& m, const PassStep& s) {
    uint32_t storedRow = 0;
    switch (kind) {
        case StepKind::GetTrueColour: {
            if (const uint8_t* p =
                    s.grid.Find(LoadFloatBytes(s.x), LoadFloatBytes(s.y), 3, storedRow)) {
                DeliverColour(m, s, ReadBgr(p));
            } else {
                DeliverColour(m, s, PixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y)));
            }
            return;
        }
        case StepKind::GetIndexed: {
            if (const uint8_t* p =
                    s.grid.Find(LoadFloatBytes(s.x), LoadFloatBytes(s.y), 1, storedRow)) {
                const uint8_t* entry = s.grid.palette + 4 * size_t{*p};
                DeliverColour(m, s, ReadBgr(entry));
            } else {
                DeliverColour(m, s, PixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y)));
            }
            return;
        }
        case StepKind::GetAnywhere:
            DeliverColour(m, s, PixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y)));
            return;
        case StepKind::SetTrueColour: {
            const RgbBytes colour{s.colour[0], s.colour[1], s.colour[2]};
            if (uint8_t* p = s.grid.Find(LoadFloatBytes(s.x), LoadFloatBytes(s.y), 3, storedRow)) {
                s.image->MarkRowChanged(storedRow);
                WriteBgr(p, colour);
            } else {
                PutPixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y), colour);
            }
            return;
        }
        case StepKind::SetIndexed: {
            const RgbBytes colour{s.colour[0], s.colour[1], s.colour[2]};
            if (uint8_t* p = s.grid.Find(LoadFloatBytes(s.x), LoadFloatBytes(s.y), 1, storedRow)) {
                const int index = NearestEntryFor(*s.image, colour);
                s.image->MarkRowChanged(storedRow);
                *p = static_cast<uint8_t>(index);
            } else {
                PutPixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y), colour);
            }
            return;
        }
        case StepKind::SetAnywhere:
            PutPixelColourAt(s.image, Coordinate(s.x), Coordinate(s.y),
                             {s.colour[0], s.colour[1], s.colour[2]});
            return;
        case StepKind::CopyComponents:
            for (const ComponentCopy* copy = s.firstCopy; copy != s.endOfCopies; ++copy) {
                *copy->target = *copy->source;
                *copy->reserved = std::byte{0};
            }
            return;
        case StepKind::Arithmetic: {
            const float right = LoadFloatBytes(s.right);
            StoreFloatBytes(
                s.result, static_cast<float>(FusedArithmetic(s.op, LoadFloatBytes(s.left), right)));
            StoreFloatBytes(s.target, LoadFloatBytes(s.result));
            return;
        }
    }
}

void RunStep(Machine& m, const PassStep& s) {
    switch (s.kind) {
        case StepKind::GetTrueColour:
            return RunKnownStep<StepKind::GetTrueColour>(m, s);
        case StepKind::GetIndexed:
            return RunKnownStep<StepKind::GetIndexed>(m, s);
        case StepKind::GetAnywhere:
            return RunKnownStep<StepKind::GetAnywhere>(m, s);
        case StepKind::SetTrueColour:
            return RunKnownStep<StepKind::SetTrueColour>(m, s);
        case StepKind::SetIndexed:
            return RunKnownStep<StepKind::SetIndexed>(m, s);
        case StepKind::SetAnywhere:
            return RunKnownStep<StepKind::SetAnywhere>(m, s);
        case StepKind::CopyComponents:
            return RunKnownStep<StepKind::CopyComponents>(m, s);
        case StepKind::Arithmetic:
            return RunKnownStep<StepKind::Arithmetic>(m, s);
    }
}

// Passes while `room` holds one; `body` runs the steps of one pass.
template <typename Body>
uint32_t Passes(const PassPlan& plan, uint32_t passSpan, uint32_t room, bool& ended,
                const Body& body) {
    uint32_t done = 0;
    while (room - done >= passSpan) {
        body();
        done += passSpan;
        if (!NextOnBlocks(plan.step, plan.variable, plan.sum, plan.limit, plan.truth)) {
            ended = true;
            break;
        }
    }
    return done;
}

// The commonest body, a pixel read, its components rearranged and the pixel
// written, with the kinds of its steps known to the compiler.
bool Overlaps(const std::byte* a, size_t aBytes, const std::byte* b, size_t bBytes) {
    const auto start = reinterpret_cast<uintptr_t>(a);
    const auto other = reinterpret_cast<uintptr_t>(b);
    return start < other + bBytes && other < start + aBytes;
}

// A read-copy-write body that walks along a row: both pixel steps take the
// loop variable as x and one Item as y, NEXT adds exactly 1 to the variable
// in place, no byte the body writes is the variable's, y's, the step's or
// the limit's, and NEXT writes none of y's, the step's or the limit's. Then, while x stays an
// integer inside both images, every pass reads and writes the next pixel of one row and NEXT only
// counts.
bool WalksAlongARow(const PassPlan& plan) {
    const PassStep& read = plan.steps[0];
    const PassStep& copies = plan.steps[1];
    const PassStep& write = plan.steps[2];
    if (read.target == nullptr || read.x != plan.variable || write.x != plan.variable ||
        plan.sum != plan.variable || read.y != write.y || LoadFloatBytes(plan.step) != 1.0f) {
        return false;
    }
    // y, the step and the limit stay as they are for the whole call; NEXT
    // writes the variable (its sum) and its truth.
    for (const std::byte* block : {read.y, plan.step, plan.limit}) {
        if (Overlaps(block, sizeof(float), plan.sum, sizeof(float)) ||
            Overlaps(block, sizeof(float), plan.truth, sizeof(float))) {
            return false;
        }
    }
    if (Overlaps(plan.variable, sizeof(float), plan.truth, sizeof(float))) return false;
    const std::array<const std::byte*, 4> steady{plan.variable, read.y, plan.step, plan.limit};
    for (const std::byte* block : steady) {
        if (Overlaps(block, sizeof(float), read.result, kColourBytes) ||
            Overlaps(block, sizeof(float), read.target, kColourBytes)) {
            return false;
        }
        for (const ComponentCopy* copy = copies.firstCopy; copy != copies.endOfCopies; ++copy) {
            if (Overlaps(block, sizeof(float), copy->target, 1) ||
                Overlaps(block, sizeof(float), copy->reserved, 1)) {
                return false;
            }
        }
    }
    return true;
}

// The row of a grid at y (counted from the top) when y truncates inside it.
bool StoredRowAt(const PixelGrid& grid, float y, uint32_t& storedRow) {
    if (!(y > -1.0f && y < grid.heightLimit)) return false;
    storedRow = grid.height - 1 - static_cast<uint32_t>(static_cast<int32_t>(y));
    return true;
}

// The passes along a row (see WalksAlongARow) that lie wholly inside both
// images and the budget; the same bytes are written in the same order as
// pass by pass, and NEXT's variable and truth are left as the last pass
// leaves them. Returns the instructions done; 0 when no pass qualifies.
// Whether each pass of a read-copy-write body leaves every byte it writes,
// and the colour it writes, as a fixed function of the colour it reads: each
// copy takes a byte the pass has already written (the read colour or an
// earlier copy), or one that neither the pass nor NEXT ever writes.
bool WritesAFunctionOfTheColourRead(const PassPlan& plan) {
    const PassStep& read = plan.steps[0];
    const PassStep& copies = plan.steps[1];
    const PassStep& write = plan.steps[2];
    auto writtenByTheRead = [&](const std::byte* at) {
        return Overlaps(at, 1, read.result, kColourBytes) ||
               Overlaps(at, 1, read.target, kColourBytes);
    };
    auto writtenByCopies = [](const std::byte* at, const ComponentCopy* from,
                              const ComponentCopy* to) {
        for (const ComponentCopy* copy = from; copy != to; ++copy) {
            if (copy->target == at || copy->reserved == at) return true;
        }
        return false;
    };
    auto writtenByNext = [&](const std::byte* at) {
        return Overlaps(at, 1, plan.sum, sizeof(float)) ||
               Overlaps(at, 1, plan.truth, sizeof(float));
    };
    for (const ComponentCopy* copy = copies.firstCopy; copy != copies.endOfCopies; ++copy) {
        const std::byte* at = copy->source;
        if (writtenByTheRead(at) || writtenByCopies(at, copies.firstCopy, copy)) continue;
        if (writtenByCopies(at, copy, copies.endOfCopies) || writtenByNext(at)) return false;
    }
    const auto* colour = reinterpret_cast<const std::byte*>(write.colour);
    for (const std::byte* at = colour; at != colour + 3; ++at) {
        if (!writtenByTheRead(at) && !writtenByCopies(at, copies.firstCopy, copies.endOfCopies) &&
            writtenByNext(at)) {
            return false;
        }
    }
    return true;
}

// An 8-bit row copied through a body whose written colour is a fixed
// function of the colour read, with both colour tables out of the rows' way:
// the target entry then depends on the source pixel's index alone, and is
// looked up once per index in each call. The body's Items are left as the last
// pass leaves them by running it once more for the last index read (the
// pixel itself may have been overwritten since, when one image is both).
// Out of line: its map's room on the stack would otherwise be set up on
// every call of the passes, the 24-bit ones included.
[[gnu::noinline]] void MapIndexesAlongARow(Machine& m, const PassPlan& plan, const uint8_t* source,
                                           uint8_t* target, uint32_t column, uint32_t count) {
    const PassStep& read = plan.steps[0];
    const PassStep& copies = plan.steps[1];
    const PassStep& write = plan.steps[2];
    auto runBody = [&](uint8_t index) {
        const uint8_t* entry = read.grid.palette + 4 * size_t{index};
        DeliverColour(m, read, ReadBgr(entry));
        RunKnownStep<StepKind::CopyComponents>(m, copies);
    };
    constexpr int16_t kUnknown = -1;
    std::array<int16_t, 256> targetIndexOf;
    targetIndexOf.fill(kUnknown);
    const NearestEntryByHint nearest(*write.image);
    uint8_t index = 0;
    for (uint32_t k = column; k < column + count; ++k) {
        index = source[k];
        int16_t& known = targetIndexOf[index];
        if (known == kUnknown) {
            runBody(index);
            known = static_cast<int16_t>(
                nearest({write.colour[0], write.colour[1], write.colour[2]}, index));
        }
        target[k] = static_cast<uint8_t>(known);
    }
    runBody(index);
}

// Pass by pass along a row: the pixel read, the copies, the pixel written.
template <StepKind get, StepKind set>
[[gnu::always_inline]] inline void CopyAlongARow(Machine& m, const PassPlan& plan,
                                                 const uint8_t* source, uint8_t* target,
                                                 uint32_t column, uint32_t count) {
    const PassStep& read = plan.steps[0];
    const PassStep& copies = plan.steps[1];
    const PassStep& write = plan.steps[2];
    for (uint32_t k = column; k < column + count; ++k) {
        if constexpr (get == StepKind::GetTrueColour) {
            const uint8_t* p = source + 3 * size_t{k};
            DeliverColour(m, read, ReadBgr(p));
        } else {
            const uint8_t* entry = read.grid.palette + 4 * size_t{source[k]};
            DeliverColour(m, read, ReadBgr(entry));
        }
        RunKnownStep<StepKind::CopyComponents>(m, copies);
        const RgbBytes colour{write.colour[0], write.colour[1], write.colour[2]};
        if constexpr (set == StepKind::SetTrueColour) {
            WriteBgr(target + 3 * size_t{k}, colour);
        } else {
            target[k] = static_cast<uint8_t>(NearestEntryFor(*write.image, colour));
        }
    }
}

template <StepKind get, StepKind set>
uint32_t PassesAlongARow(Machine& m, const PassPlan& plan, uint32_t passSpan, uint32_t room,
                         bool& ended) {
    const PassStep& read = plan.steps[0];
    const PassStep& write = plan.steps[2];
    const float first = LoadFloatBytes(plan.variable);
    uint32_t readRow = 0;
    uint32_t writeRow = 0;
    if (!(first >= 0.0f && first < read.grid.widthLimit && first < write.grid.widthLimit) ||
        first != static_cast<float>(static_cast<int32_t>(first)) ||
        !StoredRowAt(read.grid, LoadFloatBytes(read.y), readRow) ||
        !StoredRowAt(write.grid, LoadFloatBytes(write.y), writeRow)) {
        return 0;
    }
    const auto column = static_cast<uint32_t>(first);
    const float limit = LoadFloatBytes(plan.limit);
    // The loop goes on while the variable, counted up exactly (it stays below
    // 2^24, inside the images), is at most the limit; it is now.
    const double toTheEnd = std::floor(static_cast<double>(limit) - first) + 1;
    const uint32_t inside = std::min(read.grid.width, write.grid.width) - column;
    const uint32_t count = static_cast<uint32_t>(
        std::min({static_cast<double>(room / passSpan), toTheEnd, static_cast<double>(inside)}));
    if (count == 0) return 0;
    const uint8_t* source = read.grid.bottomRow + readRow * read.grid.stride;
    uint8_t* target = write.grid.bottomRow + writeRow * write.grid.stride;
    if constexpr (get == StepKind::GetIndexed && set == StepKind::SetIndexed) {
        if (read.grid.TableBeforeRows() && write.grid.TableBeforeRows() &&
            WritesAFunctionOfTheColourRead(plan)) {
            MapIndexesAlongARow(m, plan, source, target, column, count);
        } else {
            CopyAlongARow<get, set>(m, plan, source, target, column, count);
        }
    } else {
        CopyAlongARow<get, set>(m, plan, source, target, column, count);
    }
    write.image->MarkRowChanged(writeRow);
    const auto last = static_cast<float>(column + count);
    StoreFloatBytes(plan.sum, last);  // the variable itself
    const bool again = last <= limit;
    StoreFloatBytes(plan.truth, again ? 1.0f : 0.0f);
    ended = !again;
    return count * passSpan;
}

template <StepKind get, StepKind set>
uint32_t CopyPasses(Machine& m, const PassPlan& plan, uint32_t passSpan, uint32_t room,
                    bool& ended) {
    const PassStep& read = plan.steps[0];
    const PassStep& copies = plan.steps[1];
    const PassStep& write = plan.steps[2];
    uint32_t done = 0;
    if (WalksAlongARow(plan)) {
        done = PassesAlongARow<get, set>(m, plan, passSpan, room, ended);
        if (ended) return done;
    }
    return done + Passes(plan, passSpan, room - done, ended, [&] {
               RunKnownStep<get>(m, read);
               RunKnownStep<StepKind::CopyComponents>(m, copies);
               RunKnownStep<set>(m, write);
           });
}

}  // namespace

uint32_t RunWholePixelPasses(Machine& m, uint32_t next, uint32_t room, bool& ended) {
    const uint32_t passSpan = next - m.CodeTable[next + 5].number + 5;
    if (room < passSpan) return 0;
    PassPlan plan;
    if (!MakePlan(m, next, plan)) return 0;
    const PassStep* steps = plan.steps.data();
    const bool copyBody = plan.stepCount == 3 && steps[1].kind == StepKind::CopyComponents;
    uint32_t done = 0;
    if (copyBody && steps[0].kind == StepKind::GetTrueColour &&
        steps[2].kind == StepKind::SetTrueColour) {
        done = CopyPasses<StepKind::GetTrueColour, StepKind::SetTrueColour>(m, plan, passSpan, room,
                                                                            ended);
    } else if (copyBody && steps[0].kind == StepKind::GetIndexed &&
               steps[2].kind == StepKind::SetIndexed) {
        done =
            CopyPasses<StepKind::GetIndexed, StepKind::SetIndexed>(m, plan, passSpan, room, ended);
    } else {
        const PassStep* endOfSteps = steps + plan.stepCount;
        done = Passes(plan, passSpan, room, ended, [&] {
            for (const PassStep* s = steps; s != endOfSteps; ++s) RunStep(m, *s);
        });
    }
    for (uint32_t k = 0; k < plan.slotCount; ++k) m.OperandStack[m.StackTop + k] = plan.slots[k];
    return done;
}

}  // namespace tarvil
