#include "engine/array_table.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

namespace tarvil {

const DeclaredArray* ArrayTable::StartingAt(const Item* first) const {
    if (byFirstElement.empty()) return nullptr;
    const auto entry = byFirstElement.find(first);
    return entry == byFirstElement.end() ? nullptr : &arrays[entry->second];
}

DeclaredArray* ArrayTable::StartingAt(const Item* first) {
    return const_cast<DeclaredArray*>(std::as_const(*this).StartingAt(first));
}

bool PacksElements(TypeCode typeCode) {
    return typeCode == kTypeFloat || typeCode == kTypeRgb || typeCode == kTypeHbs;
}

namespace {

bool DeclarePacked(ItemList& list, DeclaredArray& array, TypeCode typeCode, uint32_t size,
                   std::string_view name, uint32_t count) {
    array.block.reset(static_cast<std::byte*>(std::calloc(count, size)));
    if (array.block == nullptr) return false;
    array.first = CreateItem(list, typeCode, nullptr, 0, name);
    if (array.first == nullptr) return false;
    // Element 0 borrows the first block, as a member borrows its variable's.
    array.first->value = array.block.get();
    array.first->size = size;
    array.typeCode = typeCode;
    array.elementSize = size;
    // The other elements count as the Items they stand for.
    list.count += count - 1;
    return true;
}

bool DeclareItems(ItemList& list, DeclaredArray& array, TypeCode typeCode, uint32_t size,
                  std::string_view name, uint32_t count) {
    if (!CreateItems(list, typeCode, size, name, count, array.items)) return false;
    // The newest element is element 0: a walk from it meets the older ones.
    std::reverse(array.items.begin(), array.items.end());
    array.first = array.items.front();
    return true;
}

}  // namespace

bool DeclareArray(ItemList& list, ArrayTable& table, TypeCode typeCode, uint32_t size,
                  std::string_view name, uint32_t count) {
    if (count > list.limit || list.count > list.limit - count) return false;
    try {
        DeclaredArray& array = table.arrays.emplace_back();
        array.count = count;
        const bool made = PacksElements(typeCode) && size != 0
                              ? DeclarePacked(list, array, typeCode, size, name, count)
                              : DeclareItems(list, array, typeCode, size, name, count);
        if (!made) {
            // What was made of it stays in the list until the list is cleared;
            // the array is not found by its number.
            array.first = nullptr;
            return false;
        }
        table.byFirstElement[array.first] = static_cast<uint32_t>(table.arrays.size() - 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

Item* PackedElement(DeclaredArray& array, uint32_t index) {
    if (index == 0) return array.first;
    if (array.made == nullptr) array.made = std::make_unique<std::unique_ptr<Item>[]>(array.count);
    std::unique_ptr<Item>& made = array.made[index];
    if (made == nullptr) {
        auto item = std::make_unique<Item>();
        item->value = array.BytesOf(index);
        item->size = array.elementSize;
        item->typeCode = array.typeCode;
        item->name = array.first->name;
        made = std::move(item);
    }
    return made.get();
}

Item* ItemAfter(ArrayTable& table, Item* start, uint64_t steps) {
    Item* item = start;
    while (item != nullptr) {
        if (DeclaredArray* array = table.StartingAt(item)) {
            if (steps < array->count) {
                return ElementOf(*array, static_cast<uint32_t>(steps));
            }
            // On after the array's last element.
            steps -= array->count;
            item = array->Packed() ? item->next.get() : array->items.back()->next.get();
            continue;
        }
        if (steps == 0) return item;
        --steps;
        item = item->next.get();
    }
    return nullptr;
}

void VisitPackedElements(const DeclaredArray& array,
                         const std::function<void(const Item&)>& visit) {
    Item standIn;
    standIn.typeCode = array.typeCode;
    standIn.size = array.elementSize;
    standIn.name = array.first->name;
    for (uint32_t index = 1; index < array.count; ++index) {
        if (array.made != nullptr && array.made[index] != nullptr) {
            visit(*array.made[index]);
            continue;
        }
        standIn.value = array.BytesOf(index);
        visit(standIn);
    }
}

}  // namespace tarvil
