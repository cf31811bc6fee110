// Faster forms of instructions, kept in side tables beside the CodeTable.
//
// Everything here stands for instructions the plain handlers would run and
// does exactly what they would do; where it cannot (operands of other kinds,
// an instruction that could stop the run, too few instructions left before
// the next dispatch of events), it does nothing and the plain handlers run.
// Only the execution loop uses this: it prepares the side table before a run
// and offers each instruction to RunFastForm before running it plainly.
#pragma once

#include <cstdint>

#include "engine/machine.h"

namespace tarvil {

// Fills the side tables from the CodeTable before a run: the FusedTable and
// the QuickTable. With `fast` false they are emptied: every instruction runs
// plainly.
void PrepareFastForms(Machine& m, bool fast);

// Fills the FusedTable: the fused form of the instructions starting at each
// index, when there is one.
void FuseCode(Machine& m);

// Fills the QuickTable: the quick op of each instruction of a straight stretch.
void PrepareQuickRuns(Machine& m);

// Runs the quick ops from ProgramCounter to the end of their stretch, when
// `budget` holds all of them, stopping before any whose operands are no
// longer of the prepared kinds or that would stop the run. Returns the
// instructions done (0: none) and leaves ProgramCounter and the operand stack
// as the plain handlers would after the last of them.
uint32_t RunQuick(Machine& m, uint32_t budget);

// Runs the fused form at ProgramCounter when there is one and the `countdown`
// (instructions left before the next dispatch of events, less one) holds its
// span. Returns how many instructions it did, having counted them in
// ExecutedCount and left ProgramCounter after the last of them; 0 when the
// instruction is to run plainly.
inline uint32_t RunFastForm(Machine& m, uint32_t countdown) {
    const FusedInstruction& fused = m.FusedTable[m.ProgramCounter];
    uint32_t done = 0;
    if (fused.handler != nullptr && fused.span <= countdown) done = fused.handler(m, countdown);
    if (done == 0 && m.QuickTable[m.ProgramCounter].kind != 0) done = RunQuick(m, countdown);
    if (done == 0) return 0;
    m.ExecutedCount += done;
    ++m.ProgramCounter;
    return done;
}

// The fused handlers (see FusedInstruction).
// PushOperand step, v; OpAdd v; PushOperand limit; OpLe; JumpIfTrue
uint32_t FusedForNext(Machine& m, uint32_t budget);
// PushOperand a, b; OpAdd/Sub/Mul/Div; Assign
uint32_t FusedArithmeticAssign(Machine& m, uint32_t budget);
// NEXT, then whole passes of a body of at most 16 arithmetic assignments
inline constexpr uint32_t kMostArithmeticInALoop = 16;
uint32_t FusedArithmeticLoop(Machine& m, uint32_t budget);
// NEXT, then the body's fused instructions and NEXT again, pass after pass
uint32_t FusedLoop(Machine& m, uint32_t budget);
// PushOperand source; Assign
uint32_t FusedPushAssign(Machine& m, uint32_t budget);
// A longer run of PushOperand/Assign pairs is fused in pieces of this many.
inline constexpr uint32_t kMostPairsInARun = 8;
// 2 to 8 such pairs in a row
uint32_t FusedPushAssignRun(Machine& m, uint32_t budget);
// the same, every Item with a colour's block
uint32_t FusedColourAssignRun(Machine& m, uint32_t budget);
// PushOperand image, x, y; GetPixel; Assign
uint32_t FusedGetPixelAssign(Machine& m, uint32_t budget);
// PushOperand image, x, y, colour; SetPixel
uint32_t FusedSetPixel(Machine& m, uint32_t budget);

}  // namespace tarvil
