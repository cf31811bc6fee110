// The KeywordTable: the language's vocabulary, in matching order.
#include <array>

#include "compiler/compiler.h"
#include "engine/type_codes.h"

namespace tarvil {

namespace {

struct Keyword {
    int32_t code;
    std::string_view text;
};

// Order matters: the first keyword that begins a word wins, so SETPIXELVAL
// comes before SETPIXEL and ASIN before SIN.
constexpr std::array<Keyword, 59> kKeywordTable{{
    {kw::kString, "STRING"},
    {kw::kFloat, "FLOAT"},
    {kw::kDevcon, "DEVCON"},
    {kw::kRgb, "RGB"},
    {kw::kHbs, "HBS"},
    {kMemberHdc, "hDC"},
    {kMemberHeight, "Height"},
    {kMemberWidth, "Width"},
    {kMemberBitCount, "BitCount"},
    {kMemberRes, "Res"},
    {kMemberClrImp, "ClrImp"},
    {kMemberLum, "Lum"},
    {kMemberRed, "Red"},
    {kMemberGreen, "Green"},
    {kMemberBlue, "Blue"},
    {kMemberHue, "Hue"},
    {kMemberBri, "Bri"},
    {kMemberSat, "Sat"},
    {kw::kDebug, "Debug"},
    {kw::kLoadImage, "LOADIMAGE"},
    {kw::kCreateImage, "CREATEIMAGE"},
    {kw::kSaveImage, "SAVEIMAGE"},
    {kw::kSetPixelVal, "SETPIXELVAL"},
    {kw::kGetPixelVal, "GETPIXELVAL"},
    {kw::kSetPixel, "SETPIXEL"},
    {kw::kGetPixel, "GETPIXEL"},
    {kw::kPreview, "PREVIEW"},
    {kw::kDspMes, "DSPMES"},
    {kw::kDspWhile, "DSPWHILE"},
    {kw::kFor, "FOR"},
    {kw::kNext, "NEXT"},
    {kw::kGetPalette, "GETPALETTE"},
    {kw::kSetPalette, "SETPALETTE"},
    {kw::kSin, "SIN"},
    {kw::kAsin, "ASIN"},
    {kw::kHsin, "HSIN"},
    {kw::kCos, "COS"},
    {kw::kAcos, "ACOS"},
    {kw::kHcos, "HCOS"},
    {kw::kSqr, "SQR"},
    {kw::kTan, "TAN"},
    {kw::kAtan, "ATAN"},
    {kw::kHtan, "HTAN"},
    {kw::kAbs, "ABS"},
    {kw::kExp, "EXP"},
    {kw::kLog, "LOG"},
    {kw::kBlog, "BLOG"},
    {kw::kPow, "POW"},
    {kw::kRand, "RAND"},
    {kw::kIf, "IF"},
    {kw::kElse, "ELSE"},
    {kw::kEndif, "ENDIF"},
    {kw::kReturn, "RETURN"},
    {kw::kMin, "MIN"},
    {kw::kMax, "MAX"},
    {kw::kInt, "INT"},
    {kw::kFileFind, "FILEFIND"},
    {kw::kGetFileName, "GETFILENAME"},
    {kw::kExit, "EXIT"},
}};

}  // namespace

int32_t MatchKeyword(std::string_view text, std::string_view* keyword) {
    for (const Keyword& entry : kKeywordTable) {
        if (text.size() < entry.text.size()) continue;
        bool same = true;
        for (size_t i = 0; i < entry.text.size() && same; ++i) {
            same = UpperAscii(text[i]) == UpperAscii(entry.text[i]);
        }
        if (same) {
            if (keyword != nullptr) *keyword = entry.text;
            return entry.code;
        }
    }
    return 0;
}

}  // namespace tarvil
