// The numbers an image variable's members read: Height, Width, Res, BitCount
// and ClrImp, from the image's header. Inline, so that the faster forms read
// a member as cheaply as a float; ItemNumber reads them through it too.
#pragma once

#include "engine/image_record.h"
#include "engine/machine.h"

namespace tarvil {

// The members that read as numbers.
inline bool IsNumberImageMember(TypeCode code) {
    return code == kMemberHeight || code == kMemberWidth || code == kMemberRes ||
           code == kMemberBitCount || code == kMemberClrImp;
}

// A member of a variable without an image reads 0.
[[gnu::always_inline]] inline double ImageMemberNumber(const Item& member) {
    const Image* image = member.parent != nullptr ? member.parent->image.get() : nullptr;
    if (image == nullptr) return 0.0;
    switch (member.typeCode) {
        case kMemberHeight:
            return image->Height();
        case kMemberWidth:
            return image->Width();
        case kMemberRes:
            return image->ResolutionDpi();
        case kMemberBitCount:
            return image->BitCount();
        default:
            return image->HeaderInt32(bih::kClrImportant);
    }
}

}  // namespace tarvil
