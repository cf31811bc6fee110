// Pieces shared by the faster forms that work on value blocks directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/machine.h"

namespace tarvil {

// NEXT on its value blocks: sum := step + variable (the variable rounded to
// single precision first, as OpAdd pops it), truth := sum <= limit, which is
// what JumpIfTrue looks at. True when the loop goes on.
inline bool NextOnBlocks(const std::byte* step, const std::byte* variable, std::byte* sum,
                         const std::byte* limit, std::byte* truth) {
    const float right = LoadFloatBytes(variable);
    StoreFloatBytes(sum, static_cast<float>(LoadFloatBytes(step) + static_cast<double>(right)));
    const float bound = LoadFloatBytes(limit);
    const bool again = LoadFloatBytes(sum) <= bound;
    StoreFloatBytes(truth, again ? 1.0f : 0.0f);
    return again;
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
