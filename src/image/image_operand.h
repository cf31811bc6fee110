// How the image handlers reach the images they work on and deliver the ones they make.
#pragma once

#include <string_view>

#include "engine/image_record.h"
#include "engine/machine.h"

namespace tarvil {

inline constexpr const char* kNoMemoryMessage = "Error: Not enought memory to create image";

// The image an operand designates: that of a DEVCON variable or an image
// result; null for any other operand and for a variable that holds no image.
inline Image* OperandImage(const Item* item) {
    if (item == nullptr || !HoldsImage(item->typeCode)) return nullptr;
    return item->image.get();
}

// The text of a string operand; empty for any other operand.
std::string_view OperandText(const Item* item);

// Pushes the current instruction's result Item, makes it an image result
// (TypeCode 13) holding a new image without memory, and returns that image.
// The result is on the stack before anything can fail. Null only when no
// memory is left even for that (the run is then stopped).
Image* BeginImageResult(Machine& m);

}  // namespace tarvil
