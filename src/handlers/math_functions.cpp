// The numeric functions. The argument goes through the operation in double
// precision and the result is rounded to single precision when stored. Domain
// errors give a NaN, overflow an infinity; neither stops the run.
#include <cmath>

#include "handlers/handlers.h"

namespace tarvil {

namespace {

// RAND's linear congruential generator and its scale (the single-precision value of 1 / 32767).
constexpr uint32_t kRandMultiplier = 214013;
constexpr uint32_t kRandIncrement = 2531011;
constexpr double kRandScale = 3.0518509447574615e-05;

}  // namespace

void FuncSin(Machine& m) {
    PushFloatResult(m, std::sin(PopNumber(m)));
}
void FuncCos(Machine& m) {
    PushFloatResult(m, std::cos(PopNumber(m)));
}
void FuncTan(Machine& m) {
    PushFloatResult(m, std::tan(PopNumber(m)));
}
void FuncAsin(Machine& m) {
    PushFloatResult(m, std::asin(PopNumber(m)));
}
void FuncAcos(Machine& m) {
    PushFloatResult(m, std::acos(PopNumber(m)));
}
void FuncAtan(Machine& m) {
    PushFloatResult(m, std::atan(PopNumber(m)));
}
void FuncHsin(Machine& m) {
    PushFloatResult(m, std::sinh(PopNumber(m)));
}
void FuncHcos(Machine& m) {
    PushFloatResult(m, std::cosh(PopNumber(m)));
}
void FuncHtan(Machine& m) {
    PushFloatResult(m, std::tanh(PopNumber(m)));
}
void FuncSqr(Machine& m) {
    PushFloatResult(m, std::sqrt(PopNumber(m)));
}
void FuncAbs(Machine& m) {
    PushFloatResult(m, std::fabs(PopNumber(m)));
}
void FuncExp(Machine& m) {
    PushFloatResult(m, std::exp(PopNumber(m)));
}
void FuncLog(Machine& m) {
    PushFloatResult(m, std::log(PopNumber(m)));
}
void FuncBlog(Machine& m) {
    PushFloatResult(m, std::log10(PopNumber(m)));
}

// POW(x, y): y is rounded to single precision, x is not.
void FuncPow(Machine& m) {
    const auto y = static_cast<float>(PopNumber(m));
    const double x = PopNumber(m);
    PushFloatResult(m, std::pow(x, static_cast<double>(y)));
}

// MIN(a, b) and MAX(a, b) compare both in single precision; with a NaN the result is b.
void FuncMin(Machine& m) {
    const auto b = static_cast<float>(PopNumber(m));
    const auto a = static_cast<float>(PopNumber(m));
    PushFloatResult(m, a <= b ? a : b);
}

void FuncMax(Machine& m) {
    const auto b = static_cast<float>(PopNumber(m));
    const auto a = static_cast<float>(PopNumber(m));
    PushFloatResult(m, a >= b ? a : b);
}

// INT(-1.5) is 4294967295 (stored as 4294967296): the result is unsigned.
void FuncInt(Machine& m) {
    PushFloatResult(m, ToUint32(PopNumber(m)));
}

// The generator advances before the argument is read; its state lives for the
// whole program, across runs.
void FuncRand(Machine& m) {
    m.RandState = m.RandState * kRandMultiplier + kRandIncrement;
    const uint32_t r = (m.RandState >> 16) & 0x7FFF;
    const double x = PopNumber(m);
    PushFloatResult(m, x * r * kRandScale);
}

}  // namespace tarvil
