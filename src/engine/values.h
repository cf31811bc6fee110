// Value blocks of the VariableTable and the variables every script has.
#pragma once

#include <cstdint>

#include "engine/machine.h"

namespace tarvil {

// Size of a new value block for a TypeCode (0, the temporaries, gives 255);
// 0 after a warning for a code that has no block of its own.
uint32_t GetDefVarSize(Machine& machine, TypeCode typeCode);

// Creates ClArg (one per argument, last first, so ClArg[0] is the first),
// ClNum and PI. Called at the start of every compilation. Stops it with
// "Memoria insufficiente" when they cannot all be made.
void DefineCommandLineVariables(Machine& machine);

}  // namespace tarvil
