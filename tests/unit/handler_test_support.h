// Building blocks for running one handler outside a compiled program: Items
// made the way the compiler makes them, and a one-instruction code table.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image_record.h"
#include "engine/machine.h"
#include "handlers/handlers.h"

namespace tarvil::testing {

inline Item* MakeFloat(Machine& m, std::string_view name, float value) {
    Item* item = CreateItem(m.VariableTable, kTypeFloat, &value, sizeof value, name);
    return item;
}

// A string variable: a 255-byte block, or `size` bytes as a ClArg has.
inline Item* MakeString(Machine& m, std::string_view name, std::string_view text,
                        uint32_t size = 255) {
    Item* item = CreateItem(m.VariableTable, kTypeString, nullptr, size, name);
    std::memcpy(item->value, text.data(), std::min<size_t>(text.size(), size - 1));
    return item;
}

inline Item* MakeColour(Machine& m, TypeCode type, std::string_view name,
                        std::array<uint8_t, 4> bytes) {
    return CreateItem(m.VariableTable, type, bytes.data(), 4, name);
}

// A result temporary as the compiler creates it for each operator and function.
inline Item* MakeTemp(Machine& m) {
    return CreateItem(m.VariableTable, kTypeFloat, nullptr, 255, "Temp Var");
}

// A member Item: shares the block (and, for images, the image) of its variable.
inline Item* MakeMember(Machine& m, Item* variable, TypeCode code, std::string_view member) {
    Item* item =
        CreateItem(m.VariableTable, code, nullptr, 0, *variable->name + "." + std::string(member));
    item->value = variable->value;
    item->size = variable->size;
    item->parent = variable;
    return item;
}

// An image with just its 40-byte header filled in.
inline std::shared_ptr<Image> MakeImage(int32_t width, int32_t height, uint16_t bits,
                                        int32_t pixelsPerMetre = 0) {
    auto image = std::make_shared<Image>();
    image->block.assign(bih::kHeaderBytes, 0);
    image->SetHeaderInt32(bih::kSize, bih::kHeaderBytes);
    image->SetHeaderInt32(bih::kWidth, width);
    image->SetHeaderInt32(bih::kHeight, height);
    image->SetHeaderUint16(bih::kPlanes, 1);
    image->SetHeaderUint16(bih::kBitCount, bits);
    image->SetHeaderInt32(bih::kXPelsPerMeter, pixelsPerMetre);
    image->SetHeaderInt32(bih::kYPelsPerMeter, pixelsPerMetre);
    return image;
}

inline Item* MakeImageVariable(Machine& m, std::string_view name,
                               std::shared_ptr<Image> image = nullptr) {
    Item* item = CreateItem(m.VariableTable, kTypeImage, nullptr, 28, name);
    item->image = std::move(image);
    return item;
}

// Runs `handler` as instruction 0 with the given operand.
inline void RunHandler(Machine& m, Handler handler, Item* operand = nullptr, uint32_t number = 0) {
    m.CodeTable[0] = Instruction{handler, operand, number};
    m.ProgramCounter = 0;
    handler(m);
}

// Pushes the arguments and runs a function whose result goes into a fresh temporary.
inline Item* Call(Machine& m, Handler handler, std::initializer_list<Item*> arguments) {
    for (Item* argument : arguments) PushItem(m, argument);
    Item* result = MakeTemp(m);
    RunHandler(m, handler, result);
    return result;
}

// The newest StopList message, "" when there is none.
inline std::string LastStop(const Machine& m) {
    return m.StopList.head && m.StopList.head->name ? *m.StopList.head->name : std::string();
}

inline std::vector<uint8_t> Bytes(const Item& item, size_t count) {
    std::vector<uint8_t> bytes(count);
    std::memcpy(bytes.data(), item.value, std::min<size_t>(count, item.size));
    return bytes;
}

}  // namespace tarvil::testing
