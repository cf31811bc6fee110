// Faster forms of a pixel read into a colour and of a pixel write: 24-bit
// pixels inside the image are read and written straight from their bytes;
// every other pixel takes the plain handlers' checked path.
#include <cstring>

#include "engine/image_record.h"
#include "fast/fast_paths.h"
#include "fast/fast_steps.h"
#include "handlers/handlers.h"
#include "image/image_operand.h"
#include "image/pixel_access.h"

namespace tarvil {

namespace {

// A coordinate: FuseCode has checked that it has a float's block.
bool IsFloat(const Item* item) {
    return item->typeCode == kTypeFloat;
}

float CoordinateValue(const Item& item) {
    return LoadFloatBytes(item.value);
}

bool StackHasRoomFor(const Machine& m, uint32_t count) {
    return m.StackTop + count <= Machine::kOperandStackSize;
}

}  // namespace

// colour = GetPixel(image, x, y) with float coordinates and an RGB or HBS target.
uint32_t FusedGetPixelAssign(Machine& m, uint32_t /*budget*/) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    Item* imageItem = code[0].item;
    Item* xItem = code[1].item;
    Item* yItem = code[2].item;
    Item* result = code[3].item;
    Item* target = code[4].item;
    // FuseCode has checked that the coordinates, the result and the target have
    // their blocks and that the target is not the result.
    if (!IsFloat(xItem) || !IsFloat(yItem) ||
        (target->typeCode != kTypeRgb && target->typeCode != kTypeHbs) || !StackHasRoomFor(m, 3)) {
        return 0;
    }
    const int32_t y = ToInt32(CoordinateValue(*yItem));
    const int32_t x = ToInt32(CoordinateValue(*xItem));
    Image* image = OperandImage(imageItem);
    uint32_t storedRow = 0;
    RgbBytes colour;
    if (const uint8_t* p = TrueColourPixel(image, x, y, storedRow)) {
        colour = ReadBgr(p);
    } else {
        colour = PixelColourAt(image, x, y);
    }
    StoreRgbResult(*result, colour);
    m.OperandStack[m.StackTop] = result;
    m.OperandStack[m.StackTop + 1] = xItem;
    m.OperandStack[m.StackTop + 2] = yItem;
    if (target->typeCode == kTypeRgb) {
        std::memcpy(target->value, result->value, kColourBytes);  // RGB from RGB: the four bytes
    } else {
        AssignItem(m, *target, *result);
    }
    m.ProgramCounter = pc + 4;
    return 5;
}

// SetPixel(image, x, y, colour) with float coordinates.
uint32_t FusedSetPixel(Machine& m, uint32_t /*budget*/) {
    const uint32_t pc = m.ProgramCounter;
    const Instruction* code = &m.CodeTable[pc];
    Item* imageItem = code[0].item;
    Item* xItem = code[1].item;
    Item* yItem = code[2].item;
    Item* colourItem = code[3].item;
    if (!IsFloat(xItem) || !IsFloat(yItem) || !StackHasRoomFor(m, 4)) return 0;
    const RgbBytes colour = ColourOperandBytes(colourItem);
    const int32_t y = ToInt32(CoordinateValue(*yItem));
    const int32_t x = ToInt32(CoordinateValue(*xItem));
    Image* image = OperandImage(imageItem);
    uint32_t storedRow = 0;
    if (uint8_t* p = TrueColourPixel(image, x, y, storedRow)) {
        image->MarkRowChanged(storedRow);
        WriteBgr(p, colour);
    } else {
        PutPixelColourAt(image, x, y, colour);
    }
    m.OperandStack[m.StackTop] = imageItem;
    m.OperandStack[m.StackTop + 1] = xItem;
    m.OperandStack[m.StackTop + 2] = yItem;
    m.OperandStack[m.StackTop + 3] = colourItem;
    m.ProgramCounter = pc + 4;
    return 5;
}

}  // namespace tarvil
