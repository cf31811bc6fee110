// What the numeric functions of a fixed argument count give for their
// arguments read as numbers. The plain handlers and the quick runs both call
// these, so each function has one definition.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/machine.h"

namespace tarvil {

// The functions of one argument.
enum class UnaryFunction : uint8_t {
    kSin,
    kCos,
    kTan,
    kAsin,
    kAcos,
    kAtan,
    kHsin,
    kHcos,
    kHtan,
    kSqr,
    kAbs,
    kExp,
    kLog,
    kBlog,
    kInt,
};

// The argument goes through the operation in double precision; domain errors
// give a NaN, overflow an infinity. INT(-1.5) is 4294967295: the result is
// unsigned.
inline double UnaryFunctionValue(UnaryFunction function, double x) {
    switch (function) {
        case UnaryFunction::kSin:
            return std::sin(x);
        case UnaryFunction::kCos:
            return std::cos(x);
        case UnaryFunction::kTan:
            return std::tan(x);
        case UnaryFunction::kAsin:
            return std::asin(x);
        case UnaryFunction::kAcos:
            return std::acos(x);
        case UnaryFunction::kAtan:
            return std::atan(x);
        case UnaryFunction::kHsin:
            return std::sinh(x);
        case UnaryFunction::kHcos:
            return std::cosh(x);
        case UnaryFunction::kHtan:
            return std::tanh(x);
        case UnaryFunction::kSqr:
            return std::sqrt(x);
        case UnaryFunction::kAbs:
            return std::fabs(x);
        case UnaryFunction::kExp:
            return std::exp(x);
        case UnaryFunction::kLog:
            return std::log(x);
        case UnaryFunction::kBlog:
            return std::log10(x);
        case UnaryFunction::kInt:
            return ToUint32(x);
    }
    return 0.0;
}

// The functions of two arguments.
enum class BinaryFunction : uint8_t { kPow, kMin, kMax };

// `a` is the first argument, `b` the second (popped first).
// POW(a, b): b is rounded to single precision, a is not. MIN and MAX compare
// both in single precision; with a NaN the result is b.
inline double BinaryFunctionValue(BinaryFunction function, double a, double b) {
    const auto singleB = static_cast<float>(b);
    if (function == BinaryFunction::kPow) return std::pow(a, static_cast<double>(singleB));
    const auto singleA = static_cast<float>(a);
    if (function == BinaryFunction::kMin) return singleA <= singleB ? singleA : singleB;
    return singleA >= singleB ? singleA : singleB;
}

// RAND's linear congruential generator: advances `state` and gives the
// sample it draws, 0 to 32767.
inline uint32_t NextRandSample(uint32_t& state) {
    constexpr uint32_t kRandMultiplier = 214013;
    constexpr uint32_t kRandIncrement = 2531011;
    state = state * kRandMultiplier + kRandIncrement;
    return (state >> 16) & 0x7FFF;
}

// RAND(x) for a drawn sample: x scaled by the sample over 32767 (the
// single-precision value of 1 / 32767).
inline double RandValue(double x, uint32_t sample) {
    constexpr double kRandScale = 3.0518509447574615e-05;
    return x * sample * kRandScale;
}

}  // namespace tarvil
