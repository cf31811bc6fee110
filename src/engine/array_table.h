// ArrayTable: the declared arrays, so that IndexArray finds an element by its
// index instead of walking the VariableTable.
//
// Every element of an array lies in the VariableTable as if it were an Item
// there: element 0 first, then element k after k links. Arrays of strings and
// images are laid out that way, one Item per element, all made by the
// declaration. Arrays of floats and colours are packed: their element blocks
// lie side by side in one block that the array owns, only element 0 is an Item
// of the VariableTable (its block is the first), and any other element becomes
// an Item, borrowing its block, the first time an instruction is handed it.
// A sieve of 300,000 floats is then 1.2 MB instead of 300,000 Items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/item_list.h"

namespace tarvil {

struct FreeBlock {
    void operator()(std::byte* block) const { std::free(block); }
};

struct DeclaredArray {
    Item* first = nullptr;  // element 0, an Item of the VariableTable
    uint32_t count = 0;
    // Strings and images: every element, element 0 first. Empty when packed.
    std::vector<Item*> items;
    // Packed arrays: the TypeCode and block size the elements were declared
    // with, their blocks (zero-filled) and the elements made Items so far.
    TypeCode typeCode = 0;
    uint32_t elementSize = 0;
    std::unique_ptr<std::byte, FreeBlock> block;
    std::unique_ptr<std::unique_ptr<Item>[]> made;

    bool Packed() const { return block != nullptr; }
    std::byte* BytesOf(uint32_t index) const {
        return block.get() + static_cast<size_t>(index) * elementSize;
    }
};

struct ArrayTable {
    // The number of an array (IndexArray's operand) is 1 + its place here; a
    // deque never moves them.
    std::deque<DeclaredArray> arrays;
    // The place of each array by its element 0.
    std::unordered_map<const Item*, uint32_t> byFirstElement;

    DeclaredArray* ByNumber(uint32_t number) {
        return number != 0 && number <= arrays.size() ? &arrays[number - 1] : nullptr;
    }
    // The array whose element 0 is `first`, if any.
    const DeclaredArray* StartingAt(const Item* first) const;
    DeclaredArray* StartingAt(const Item* first);
    void clear() {
        byFirstElement.clear();
        arrays.clear();
    }
};

// Whether arrays of this TypeCode are packed.
bool PacksElements(TypeCode typeCode);

// Declares `count` (at least 2) elements named `name` at the front of `list`:
// packed where the TypeCode is, otherwise as many Items. Every element counts
// against the list's limit. False when memory runs out.
bool DeclareArray(ItemList& list, ArrayTable& table, TypeCode typeCode, uint32_t size,
                  std::string_view name, uint32_t count);

// Element `index` of a packed array as an Item: element 0 is `first`, any
// other is made the first time it is asked for and kept until the array
// goes. Throws std::bad_alloc when memory runs out, as the run's other
// allocations do.
Item* PackedElement(DeclaredArray& array, uint32_t index);

// Element `index` (below the array's count) of either kind of array, as an Item.
inline Item* ElementOf(DeclaredArray& array, uint32_t index) {
    return array.Packed() ? PackedElement(array, index) : array.items[index];
}

// The Item `steps` links after `start` along the VariableTable as the
// declarations laid it out (packed elements taking the places their Items
// would have), made an Item where it is a packed element; null past the end.
Item* ItemAfter(ArrayTable& table, Item* start, uint64_t steps);

// Each element of a packed array after element 0 as an Item: the one made, or
// one standing in for it.
void VisitPackedElements(const DeclaredArray& array, const std::function<void(const Item&)>& visit);

}  // namespace tarvil
