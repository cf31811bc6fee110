// Every instruction handler, one line each: what it pops, what it does.
// Arguments are popped last first; a function's operand is its result temporary.
#pragma once

#include "engine/machine.h"

namespace tarvil {

// Operand stack and jumps (the operand of a jump is the index of the instruction
// *before* the one that runs next, because the loop adds 1 after every handler).
void PushOperand(Machine& m);  // pushes the operand Item
void Jump(Machine& m);         // ProgramCounter := operand
void JumpIfTrue(Machine& m);   // pops a condition; jumps when true
void JumpIfFalse(Machine& m);  // pops a condition; jumps when false

// Assignment: pops the source, converts it into the operand Item.
void Assign(Machine& m);
// What Assign does once it has its two Items.
void AssignItem(Machine& m, Item& target, Item& source);
// The byte a colour member receives from `source`: a number truncated to its
// low 8 bits, a colour member's byte, 0 for what is neither.
uint8_t ComponentValue(const Item& source);
// An RGB colour block from an HBS one (the fourth byte cleared), and an HBS
// block from an RGB one (the fourth byte kept), as RGB = HBS and HBS = RGB do.
void StoreRgbFromHbs(std::byte* to, const std::byte* from);
void StoreHbsFromRgb(std::byte* to, const std::byte* from);
// True when assigning an Item of TypeCode `source` to one of `target` cannot
// stop the run (the pair has a rule).
bool AssignmentNeverStops(TypeCode target, TypeCode source);

// Operators: pop R then L, store the result in the operand temporary, push it.
void OpAdd(Machine& m);
void OpSub(Machine& m);
void OpMul(Machine& m);
void OpDiv(Machine& m);
void OpMod(Machine& m);  // unsigned 32-bit remainder; a zero divisor stops the run
void OpAnd(Machine& m);
void OpOr(Machine& m);
void OpXor(Machine& m);
void OpEq(Machine& m);
void OpNe(Machine& m);
void OpLt(Machine& m);
void OpLe(Machine& m);
void OpGt(Machine& m);
void OpGe(Machine& m);
void OpNot(Machine& m);       // pops one value: 1 if it equals 0, else 0
void IndexArray(Machine& m);  // pops an index; redirects the next instruction to that element

// Numeric functions: pop their arguments, push a float result.
void FuncSin(Machine& m);
void FuncCos(Machine& m);
void FuncTan(Machine& m);
void FuncAsin(Machine& m);
void FuncAcos(Machine& m);
void FuncAtan(Machine& m);
void FuncHsin(Machine& m);
void FuncHcos(Machine& m);
void FuncHtan(Machine& m);
void FuncSqr(Machine& m);
void FuncAbs(Machine& m);
void FuncExp(Machine& m);
void FuncLog(Machine& m);
void FuncBlog(Machine& m);
void FuncPow(Machine& m);
void FuncMin(Machine& m);
void FuncMax(Machine& m);
void FuncInt(Machine& m);
void FuncRand(Machine& m);
void FuncFileFind(Machine& m);  // pops a pattern; pushes the next matching entry as text

// Statements.
void StmtDspMes(Machine& m);    // pops the count, then the values; shows them joined
void StmtDspWhile(Machine& m);  // pops text and percentage; result temporary optional
void StmtDebug(Machine& m);     // operand: the source line
void StmtReturn(Machine& m);    // "End" on the StopList
void StmtExit(Machine& m);      // the application closes when the run ends

// Images.
void FuncCreateImage(Machine& m);  // pops bits, height, width; pushes a new image
void FuncLoadImage(Machine& m);    // pops a file name or "CLIPBOARD"; pushes the image
void StmtSaveImage(Machine& m);    // pops the name, then the image
void FuncGetFileName(Machine& m);  // pops a title; pushes the chosen path or ""
void FuncGetPixel(Machine& m);     // pops y, x; replaces the image with its RGB colour
void StmtSetPixel(Machine& m);     // pops colour, y, x, image
void FuncGetPixelVal(Machine& m);  // pops y, x; replaces the image with the raw value
void StmtSetPixelVal(Machine& m);  // pops value, y, x, image
void FuncGetPalette(Machine& m);   // pops index; replaces the image with the entry's colour
void StmtSetPalette(Machine& m);   // pops colour, index, image
void StmtPreview(Machine& m);      // pops height, width, y, x, title, image

}  // namespace tarvil
