#include "image/image_operand.h"

#include <new>

namespace tarvil {

std::string_view OperandText(const Item* item) {
    if (item == nullptr || item->typeCode != kTypeString) return {};
    return ItemText(*item);
}

Image* BeginImageResult(Machine& m) {
    Item* result = m.Current().item;
    if (result == nullptr) return nullptr;
    PushItem(m, result);
    // The earlier image of this temporary belongs to the variable it was assigned to.
    result->image.reset();
    result->typeCode = kTypeImageResult;
    try {
        result->image = std::make_shared<Image>();
    } catch (const std::bad_alloc&) {
        PushStop(m, kNoMemoryMessage);
        return nullptr;
    }
    return result->image.get();
}

}  // namespace tarvil
