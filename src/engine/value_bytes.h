// How values lie in their blocks. The plain handlers and the faster forms of
// instructions read and write values through these, so that each rule has one
// definition.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/type_codes.h"

namespace tarvil {

// A colour (RGB or HBS) block: three component bytes and a fourth byte.
inline constexpr size_t kColourBytes = 4;

// A float is the first four bytes of its block, in the machine's order. The
// caller has checked that the block holds them.
inline float LoadFloatBytes(const std::byte* bytes) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

inline void StoreFloatBytes(std::byte* bytes, float value) {
    std::memcpy(bytes, &value, sizeof value);
}

// The four arithmetic operators.
enum class Arithmetic : uint8_t { kAdd, kSub, kMul, kDiv };

// L op R in the precision of its operands. With two NaN operands the result
// is L's NaN: the processor would give whichever operand the compiler
// happened to put first, which can differ from one form of an instruction to
// another.
template <typename Number>
inline Number ArithmeticIn(Arithmetic op, Number left, Number right) {
    if (std::isnan(left)) return left;
    switch (op) {
        case Arithmetic::kAdd:
            return left + right;
        case Arithmetic::kSub:
            return left - right;
        case Arithmetic::kMul:
            return left * right;
        case Arithmetic::kDiv:
            break;
    }
    return left / right;
}

// L op R in double precision (R already rounded to single precision).
inline double ArithmeticValue(Arithmetic op, double left, double right) {
    return ArithmeticIn(op, left, right);
}

// The same for two single-precision operands, rounded to single precision
// as a result is stored. The exact result rounded once to single precision
// is the number that rounding it to double and then to single gives (double
// precision has more than twice the bits), so the processor's
// single-precision operations give it directly.
inline float SingleArithmeticValue(Arithmetic op, float left, float right) {
    return ArithmeticIn(op, left, right);
}

// A condition is the 32-bit word at its value with the top bit cleared, so
// +0.0 and -0.0 are false and every other float, NaN included, is true.
inline bool IsTrueWord(const std::byte* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return (word & 0x7FFFFFFFu) != 0;
}

// Red, Green and Blue are bytes 0, 1 and 2 of their colour's block.
inline bool IsRgbComponent(TypeCode code) {
    static_assert(kMemberGreen == kMemberRed + 1 && kMemberBlue == kMemberRed + 2);
    return static_cast<uint32_t>(code - kMemberRed) <= 2;
}

inline size_t RgbComponentOffset(TypeCode code) {
    return static_cast<size_t>(code - kMemberRed);
}

// The byte of its colour's block a component member works on: Red and Hue 0,
// Green and Bri 1, Blue and Sat 2.
inline size_t ComponentOffset(TypeCode code) {
    switch (code) {
        case kMemberRed:
        case kMemberHue:
            return 0;
        case kMemberGreen:
        case kMemberBri:
            return 1;
        default:
            return 2;
    }
}

// An assignment to an RGB member (Lum among them) clears the colour's fourth
// byte; one to an HBS member leaves it.
inline bool ClearsFourthByte(TypeCode member) {
    return IsRgbMember(member);
}

// A colour member's byte (all three for Lum) written into its colour's block.
inline void StoreColourMember(std::byte* block, TypeCode member, uint8_t value) {
    if (member == kMemberLum) {
        block[0] = block[1] = block[2] = std::byte{value};
    } else {
        block[ComponentOffset(member)] = std::byte{value};
    }
    if (ClearsFourthByte(member)) block[3] = std::byte{0};
}

// pix.Red = q.Green and the like: one byte, and the fourth byte cleared as an
// assignment to an RGB member clears it. Both blocks hold a colour.
inline void CopyRgbComponent(std::byte* target, TypeCode targetMember, const std::byte* source,
                             TypeCode sourceMember) {
    target[RgbComponentOffset(targetMember)] = source[RgbComponentOffset(sourceMember)];
    target[3] = std::byte{0};
}

}  // namespace tarvil
