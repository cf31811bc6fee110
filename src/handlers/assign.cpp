// Assign: the target is the operand Item, the source is popped. The pair of
// TypeCodes chooses the rule; an unsupported pair stops the run with
// "Error: Unknown assignment" and leaves the target as it was (an image target
// has given up its old image by then).
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/image_record.h"
#include "engine/text_encoding.h"
#include "handlers/colour_conversion.h"
#include "handlers/handlers.h"

namespace tarvil {

namespace {

constexpr size_t kMaxStringChars = 254;
// The single-precision value nearest to one third: Lum keeps its fraction here.
constexpr double kOneThird = 0.3333333432674408;
constexpr float kCentimetresPerMetre = 100.0f;
constexpr double kInchesPerCentimetre = 0.39370078740157477;

void UnknownAssignment(Machine& m) {
    PushStop(m, "Error: Unknown assignment");
}

// The 4 colour bytes of an RGB/HBS variable or of one of its members (which
// share the variable's block); null when there is no such block.
std::byte* ColourBlock(const Item& item) {
    if (item.value != nullptr && item.size >= kColourBytes) return item.value;
    if (item.parent != nullptr && item.parent->value != nullptr &&
        item.parent->size >= kColourBytes) {
        return item.parent->value;
    }
    return nullptr;
}

uint8_t ColourByte(const Item& item, int index) {
    const std::byte* block = ColourBlock(item);
    return block == nullptr ? 0 : static_cast<uint8_t>(block[index]);
}

// The image an image member designates; null for a variable without an image.
Image* MemberImage(const Item& member) {
    if (member.parent == nullptr) return nullptr;
    return member.parent->image.get();
}

}  // namespace

// The value a colour member receives. Sources that are not numbers or colour
// members give 0 without an error.
uint8_t ComponentValue(const Item& source) {
    switch (source.typeCode) {
        case kTypeFloat:
            // Truncated, then the low 8 bits: 256 gives 0, -1 gives 255.
            return ComponentFromNumber(ReadFloat(source));
        case kMemberLum:
            return static_cast<uint8_t>(
                (ColourByte(source, 0) + ColourByte(source, 1) + ColourByte(source, 2)) / 3);
        case kMemberRed:
        case kMemberGreen:
        case kMemberBlue:
        case kMemberHue:
        case kMemberBri:
        case kMemberSat:
            return ColourByte(source, ComponentOffset(source.typeCode));
        default:
            return 0;
    }
}

void StoreRgbFromHbs(std::byte* to, const std::byte* from) {
    const RgbColour rgb = HbsToRgb(static_cast<uint8_t>(from[0]), static_cast<uint8_t>(from[1]),
                                   static_cast<uint8_t>(from[2]));
    to[0] = std::byte{rgb.red};
    to[1] = std::byte{rgb.green};
    to[2] = std::byte{rgb.blue};
    to[3] = std::byte{0};
}

void StoreHbsFromRgb(std::byte* to, const std::byte* from) {
    const HbsColour hbs = RgbToHbs(static_cast<uint8_t>(from[0]), static_cast<uint8_t>(from[1]),
                                   static_cast<uint8_t>(from[2]));
    to[0] = std::byte{hbs.hue};
    to[1] = std::byte{hbs.brightness};
    to[2] = std::byte{hbs.saturation};
}

namespace {

void AssignString(Machine& m, Item& target, const Item& source) {
    if (source.typeCode != kTypeString) return UnknownAssignment(m);
    if (target.value == nullptr || target.size == 0) return;
    // At most 254 characters, and never more than the block holds with its
    // terminator (a ClArg block is only its argument's length + 1).
    const std::string_view text = ItemText(source);
    const size_t limit = std::min<size_t>(kMaxStringChars, target.size - 1);
    const size_t count = Utf8CutLength(text, limit);
    target.textCut = source.textCut || count < text.size();
    std::memmove(target.value, text.data(), count);  // the source may be the target itself
    std::memset(target.value + count, 0, target.size - count);
}

void AssignFloat(Machine& m, Item& target, const Item& source) {
    double value;
    switch (source.typeCode) {
        case kTypeFloat:
            value = ReadFloat(source);
            break;
        case kMemberHeight:
        case kMemberWidth:
        case kMemberBitCount: {
            const Image* image = MemberImage(source);
            if (image == nullptr) {
                value = 0.0;  // as the member reads in an expression
            } else if (source.typeCode == kMemberHeight) {
                value = image->Height();
            } else if (source.typeCode == kMemberWidth) {
                value = image->Width();
            } else {
                value = image->BitCount();
            }
            break;
        }
        case kMemberLum:
            value =
                (ColourByte(source, 0) + ColourByte(source, 1) + ColourByte(source, 2)) * kOneThird;
            break;
        case kMemberRed:
        case kMemberGreen:
        case kMemberBlue:
        case kMemberHue:
        case kMemberBri:
        case kMemberSat:
            value = ColourByte(source, ComponentOffset(source.typeCode));
            break;
        default:
            return UnknownAssignment(m);
    }
    WriteFloat(target, static_cast<float>(value));
}

void AssignImage(Machine& m, Item& target, Item& source) {
    // Keep the source's image before the target lets go of its own, so that
    // img = img (or two variables sharing one image) leaves the image intact.
    std::shared_ptr<Image> incoming;
    if (HoldsImage(source.typeCode)) {
        // A CREATEIMAGE/LOADIMAGE temporary hands its image over: the variable
        // becomes its only holder, so a later assignment frees it at once.
        incoming = source.typeCode == kTypeImageResult ? std::move(source.image) : source.image;
    }
    if (target.typeCode == kTypeImage) target.image.reset();
    if (!HoldsImage(source.typeCode)) return UnknownAssignment(m);
    target.image = std::move(incoming);
}

void AssignResolution(Machine& m, const Item& target, const Item& source) {
    if (source.typeCode != kTypeFloat) return UnknownAssignment(m);
    Image* image = MemberImage(target);
    if (image == nullptr) return;
    const double perMetre =
        static_cast<double>(ReadFloat(source)) * kCentimetresPerMetre * kInchesPerCentimetre;
    const int32_t pixelsPerMetre = ToInt32(perMetre);
    image->SetHeaderInt32(bih::kXPelsPerMeter, pixelsPerMetre);
    image->SetHeaderInt32(bih::kYPelsPerMeter, pixelsPerMetre);
}

void AssignImportantColours(Machine& m, const Item& target, const Item& source) {
    if (source.typeCode != kTypeFloat) return UnknownAssignment(m);
    Image* image = MemberImage(target);
    if (image == nullptr) return;
    image->SetHeaderInt32(bih::kClrImportant, ToInt32(ReadFloat(source)));
}

void AssignRgb(Machine& m, Item& target, const Item& source) {
    if (source.typeCode != kTypeRgb && source.typeCode != kTypeHbs) {
        return UnknownAssignment(m);
    }
    std::byte* to = ColourBlock(target);
    const std::byte* from = ColourBlock(source);
    if (to == nullptr || from == nullptr) return;
    if (source.typeCode == kTypeRgb) {
        std::memmove(to, from, kColourBytes);
        return;
    }
    StoreRgbFromHbs(to, from);
}

void AssignHbs(Machine& m, Item& target, const Item& source) {
    if (source.typeCode != kTypeRgb && source.typeCode != kTypeHbs) {
        return UnknownAssignment(m);
    }
    std::byte* to = ColourBlock(target);
    const std::byte* from = ColourBlock(source);
    if (to == nullptr || from == nullptr) return;
    if (source.typeCode == kTypeHbs) {
        std::memmove(to, from, kColourBytes);
        return;
    }
    StoreHbsFromRgb(to, from);
}

void AssignColourMember(Item& target, const Item& source) {
    std::byte* block = ColourBlock(target);
    if (block == nullptr) return;
    StoreColourMember(block, target.typeCode, ComponentValue(source));
}

}  // namespace

void Assign(Machine& m) {
    Item* source = PopItem(m);
    Item* target = m.Current().item;
    if (target == nullptr) return UnknownAssignment(m);
    AssignItem(m, *target, *source);
}

bool AssignmentNeverStops(TypeCode target, TypeCode source) {
    switch (target) {
        case kTypeFloat:
            return source == kTypeFloat || source == kMemberLum || IsRgbMember(source) ||
                   IsHbsMember(source) || source == kMemberHeight || source == kMemberWidth ||
                   source == kMemberBitCount;
        case kTypeRgb:
        case kTypeHbs:
            return source == kTypeRgb || source == kTypeHbs;
        default:
            // A colour member takes any source (what is not a number reads 0).
            return target == kMemberLum || IsRgbMember(target) || IsHbsMember(target);
    }
}

void AssignItem(Machine& m, Item& targetItem, Item& sourceItem) {
    Item* source = &sourceItem;
    Item* target = &targetItem;
    switch (target->typeCode) {
        case kTypeString:
            return AssignString(m, *target, *source);
        case kTypeFloat:
            return AssignFloat(m, *target, *source);
        case kTypeImage:
        case kTypeImageResult:
            return AssignImage(m, *target, *source);
        case kMemberRes:
            return AssignResolution(m, *target, *source);
        case kMemberClrImp:
            return AssignImportantColours(m, *target, *source);
        case kTypeRgb:
            return AssignRgb(m, *target, *source);
        case kTypeHbs:
            return AssignHbs(m, *target, *source);
        case kMemberLum:
        case kMemberRed:
        case kMemberGreen:
        case kMemberBlue:
        case kMemberHue:
        case kMemberBri:
        case kMemberSat:
            return AssignColourMember(*target, *source);
        default:
            return UnknownAssignment(m);
    }
}

}  // namespace tarvil
