// TypeCode values of VariableTable Items and the codes of the KeywordTable.
#pragma once

#include <cstdint>

namespace tarvil {

using TypeCode = int32_t;

// Value types.
inline constexpr TypeCode kTypeNone = 0;  // temporaries before their first result
inline constexpr TypeCode kTypeString = 2;
inline constexpr TypeCode kTypeFloat = 3;
inline constexpr TypeCode kTypeImage = 4;         // DEVCON variable
inline constexpr TypeCode kTypeImageResult = 13;  // CREATEIMAGE/LOADIMAGE result in a temporary
inline constexpr TypeCode kTypeRgb = 14;
inline constexpr TypeCode kTypeHbs = 19;

// Members: the Item shares the value block (or image) of its variable.
inline constexpr TypeCode kMemberHdc = 5;
inline constexpr TypeCode kMemberHeight = 6;
inline constexpr TypeCode kMemberWidth = 7;
inline constexpr TypeCode kMemberRes = 8;
inline constexpr TypeCode kMemberBitCount = 9;
inline constexpr TypeCode kMemberClrImp = 10;
inline constexpr TypeCode kMemberLum = 15;
inline constexpr TypeCode kMemberRed = 16;
inline constexpr TypeCode kMemberGreen = 17;
inline constexpr TypeCode kMemberBlue = 18;
inline constexpr TypeCode kMemberHue = 20;
inline constexpr TypeCode kMemberBri = 21;
inline constexpr TypeCode kMemberSat = 22;

inline constexpr bool IsImageMember(TypeCode code) {
    return code >= kMemberHdc && code <= kMemberClrImp;
}
inline constexpr bool IsRgbMember(TypeCode code) {
    return code >= kMemberLum && code <= kMemberBlue;
}
inline constexpr bool IsHbsMember(TypeCode code) {
    return code >= kMemberHue && code <= kMemberSat;
}
inline constexpr bool HoldsImage(TypeCode code) {
    return code == kTypeImage || code == kTypeImageResult;
}

// Statement and function codes of the KeywordTable, plus the assignment pseudo-code.
namespace kw {
inline constexpr int32_t kString = 0x2102;
inline constexpr int32_t kFloat = 0x2103;
inline constexpr int32_t kDevcon = 0x2104;
inline constexpr int32_t kRgb = 0x210E;
inline constexpr int32_t kHbs = 0x2113;
inline constexpr int32_t kDebug = 0x2000;
inline constexpr int32_t kLoadImage = 0x0200;
inline constexpr int32_t kCreateImage = 0x0300;
inline constexpr int32_t kSaveImage = 0x0400;
inline constexpr int32_t kSetPixelVal = 0x2400;
inline constexpr int32_t kGetPixelVal = 0x2500;
inline constexpr int32_t kSetPixel = 0x0500;
inline constexpr int32_t kGetPixel = 0x0600;
inline constexpr int32_t kPreview = 0x0700;
inline constexpr int32_t kDspMes = 0x0800;
inline constexpr int32_t kDspWhile = 0x0B00;
inline constexpr int32_t kFor = 0x0900;
inline constexpr int32_t kNext = 0x0A00;
inline constexpr int32_t kGetPalette = 0x0C00;
inline constexpr int32_t kSetPalette = 0x0D00;
inline constexpr int32_t kSin = 0x0E00;
inline constexpr int32_t kAsin = 0x2700;
inline constexpr int32_t kHsin = 0x2800;
inline constexpr int32_t kCos = 0x0F00;
inline constexpr int32_t kAcos = 0x2900;
inline constexpr int32_t kHcos = 0x2A00;
inline constexpr int32_t kSqr = 0x2600;
inline constexpr int32_t kTan = 0x2B00;
inline constexpr int32_t kAtan = 0x2C00;
inline constexpr int32_t kHtan = 0x2D00;
inline constexpr int32_t kAbs = 0x2E00;
inline constexpr int32_t kExp = 0x2F00;
inline constexpr int32_t kLog = 0x3000;
inline constexpr int32_t kBlog = 0x3100;
inline constexpr int32_t kPow = 0x3200;
inline constexpr int32_t kRand = 0x1300;
inline constexpr int32_t kIf = 0x1000;
inline constexpr int32_t kElse = 0x1100;
inline constexpr int32_t kEndif = 0x1200;
inline constexpr int32_t kReturn = 0x1600;
inline constexpr int32_t kMin = 0x1400;
inline constexpr int32_t kMax = 0x1500;
inline constexpr int32_t kInt = 0x2200;
inline constexpr int32_t kFileFind = 0x2300;
inline constexpr int32_t kGetFileName = 0x1700;
inline constexpr int32_t kExit = 0x3300;
inline constexpr int32_t kAssignment = 0x100;  // not in the table
}  // namespace kw

}  // namespace tarvil
