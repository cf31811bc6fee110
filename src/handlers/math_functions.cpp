// The numeric function handlers: each pops its arguments (the last first) and
// pushes what math_functions.h gives for them. The result is rounded to single
// precision when stored; NaN and infinity never stop the run.
#include "handlers/math_functions.h"

#include "handlers/handlers.h"

namespace tarvil {

namespace {

void PushUnary(Machine& m, UnaryFunction function) {
    PushFloatResult(m, UnaryFunctionValue(function, PopNumber(m)));
}

void PushBinary(Machine& m, BinaryFunction function) {
    const double b = PopNumber(m);
    const double a = PopNumber(m);
    PushFloatResult(m, BinaryFunctionValue(function, a, b));
}

}  // namespace

void FuncSin(Machine& m) {
    PushUnary(m, UnaryFunction::kSin);
}
void FuncCos(Machine& m) {
    PushUnary(m, UnaryFunction::kCos);
}
void FuncTan(Machine& m) {
    PushUnary(m, UnaryFunction::kTan);
}
void FuncAsin(Machine& m) {
    PushUnary(m, UnaryFunction::kAsin);
}
void FuncAcos(Machine& m) {
    PushUnary(m, UnaryFunction::kAcos);
}
void FuncAtan(Machine& m) {
    PushUnary(m, UnaryFunction::kAtan);
}
void FuncHsin(Machine& m) {
    PushUnary(m, UnaryFunction::kHsin);
}
void FuncHcos(Machine& m) {
    PushUnary(m, UnaryFunction::kHcos);
}
void FuncHtan(Machine& m) {
    PushUnary(m, UnaryFunction::kHtan);
}
void FuncSqr(Machine& m) {
    PushUnary(m, UnaryFunction::kSqr);
}
void FuncAbs(Machine& m) {
    PushUnary(m, UnaryFunction::kAbs);
}
void FuncExp(Machine& m) {
    PushUnary(m, UnaryFunction::kExp);
}
void FuncLog(Machine& m) {
    PushUnary(m, UnaryFunction::kLog);
}
void FuncBlog(Machine& m) {
    PushUnary(m, UnaryFunction::kBlog);
}
void FuncInt(Machine& m) {
    PushUnary(m, UnaryFunction::kInt);
}

void FuncPow(Machine& m) {
    PushBinary(m, BinaryFunction::kPow);
}
void FuncMin(Machine& m) {
    PushBinary(m, BinaryFunction::kMin);
}
void FuncMax(Machine& m) {
    PushBinary(m, BinaryFunction::kMax);
}

// The generator advances before the argument is read; its state lives for the
// whole program, across runs.
void FuncRand(Machine& m) {
    const uint32_t sample = NextRandSample(m.RandState);
    PushFloatResult(m, RandValue(PopNumber(m), sample));
}

}  // namespace tarvil
