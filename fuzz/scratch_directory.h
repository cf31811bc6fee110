// Keeping fuzzed scripts away from files that matter.
#pragma once

#include <string>

namespace tarvil::fuzz {

// Creates a fresh directory under $TMPDIR (or /tmp) and makes it the current
// one; returns its path. Aborts when that is impossible.
std::string EnterScratchDirectory();

}  // namespace tarvil::fuzz
