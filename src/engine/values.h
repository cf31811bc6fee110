// Value blocks of the VariableTable and the variables every script has.
#pragma once

#include <cstdint>
#include <string>

#include "engine/machine.h"

namespace tarvil {

// Size of a new value block for a TypeCode (0, the temporaries, gives 255);
// 0 after a warning for a code that has no block of its own.
uint32_t GetDefVarSize(Machine& machine, TypeCode typeCode);

// A number as "%g" writes it in the C locale: six significant digits, trailing
// zeros dropped, exponent form for very small and large magnitudes, "inf",
// "nan", "-0". The decimal point is "." whatever the locale.
std::string FormatNumber(double value);

// A number as "%f" writes it in the C locale: six decimals, "." as the point.
std::string FormatFixed(double value);

// Creates ClArg (one per argument, last first, so ClArg[0] is the first),
// ClNum and PI. Called at the start of every compilation. Stops it with
// "Memoria insufficiente" when they cannot all be made.
void DefineCommandLineVariables(Machine& machine);

}  // namespace tarvil
