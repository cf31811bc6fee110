// Pieces shared by the faster forms that work on value blocks directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/image_record.h"
#include "engine/machine.h"

namespace tarvil {

// NEXT on its value blocks: sum := step + variable (the variable rounded to
// single precision first, as OpAdd pops it), truth := sum <= limit, which is
// what JumpIfTrue looks at. True when the loop goes on.
inline bool NextOnBlocks(const std::byte* step, const std::byte* variable, std::byte* sum,
                         const std::byte* limit, std::byte* truth) {
    const float right = LoadFloatBytes(variable);
    StoreFloatBytes(sum, static_cast<float>(ArithmeticValue(Arithmetic::kAdd, LoadFloatBytes(step),
                                                            static_cast<double>(right))));
    const float bound = LoadFloatBytes(limit);
    const bool again = LoadFloatBytes(sum) <= bound;
    StoreFloatBytes(truth, again ? 1.0f : 0.0f);
    return again;
}

// The first byte of a 24-bit pixel whose coordinates lie inside the image, and
// its stored row; null for every other case, which Locate's path handles.
// Inline: it is the whole of the pixel work in the faster pixel forms.
[[gnu::always_inline]] inline uint8_t* TrueColourPixel(Image* image, int32_t x, int32_t y,
                                                       uint32_t& storedRow) {
    if (image == nullptr || !image->hasPixels || image->BitCount() != 24) return nullptr;
    const int32_t width = image->Width();
    const int32_t height = image->Height();
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    storedRow = static_cast<uint32_t>(height - 1 - y);
    const size_t offset =
        image->pixelsOffset + storedRow * size_t{image->RowStride} + 3 * static_cast<size_t>(x);
    if (offset > image->block.size() || 3 > image->block.size() - offset) return nullptr;
    return image->block.data() + offset;
}

// What one of OpAdd, OpSub, OpMul, OpDiv gives for two operands.
double FusedArithmetic(Handler handler, double left, double right);

// The NEXT at `next` has just jumped back to its body, which FuseCode has
// found to be fused instructions that never jump. Runs whole passes of body
// and NEXT while `room` holds one, on what the passes cannot change, checked
// once here; returns the instructions done, 0 (having changed nothing) when
// the body's steps or operands are not ones this handles. `ended`: the last
// NEXT did not jump back. The operand stack slots are left as the passes
// would leave them; ProgramCounter is the caller's.
uint32_t RunWholePixelPasses(Machine& m, uint32_t next, uint32_t room, bool& ended);

}  // namespace tarvil
