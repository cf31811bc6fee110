// The debug dialog's view of the script's variables: one line per variable,
// in the order a sorted, case-insensitive list box shows them.
#pragma once

#include <string>
#include <vector>

#include "engine/machine.h"

namespace tarvil {

// Constants, loop bookkeeping, literals, temporaries (names beginning with
// "Const", "ForNext", "Num " or "Temp Var", any case) and members (names with
// a dot) are left out, and so are Items of types that have no line. Each line
// is at most 255 characters.
std::vector<std::string> VariableListing(const Machine& machine);

}  // namespace tarvil
