// Faster forms of the instructions, kept beside the CodeTable.
//
// Everything here stands for instructions the plain handlers would run and
// does exactly what they would do; where it cannot (operands of other kinds,
// an instruction that could stop the run, too few instructions left before
// the next dispatch of events), it does nothing and the plain handlers run.
// Only the execution loop uses this: it prepares the faster forms before a
// run and offers each instruction to RunFastForm before running it plainly.
#pragma once

#include <cstdint>

#include "engine/machine.h"
#include "fast/quick_code.h"

namespace tarvil {

// Makes the faster forms from the CodeTable before a run; with `fast` false
// there are none and every instruction runs plainly.
inline void PrepareFastForms(Machine& m, bool fast) {
    m.FastForms.reset();
    if (fast) quick::PrepareQuickCode(m);
}

// Runs the faster form of the instructions from ProgramCounter on, when there
// is one, for at most `countdown` instructions (those left before the next
// dispatch of events, less one). Returns how many it did, having counted them
// in ExecutedCount and left ProgramCounter after the last of them; 0 when the
// instruction is to run plainly.
inline uint32_t RunFastForm(Machine& m, uint32_t countdown) {
    if (m.FastForms == nullptr) return 0;
    const uint32_t done = quick::RunQuickCode(m, countdown);
    if (done == 0) return 0;
    m.ExecutedCount += done;
    ++m.ProgramCounter;
    return done;
}

}  // namespace tarvil
