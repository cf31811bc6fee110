// Item and ItemList: the one structure behind every table of the engine.
//
// A list runs from the newest Item to the oldest; new Items enter at the front,
// so of two Items with the same name the newer is found first. The list owns
// its Items (through the `next` chain) and each Item owns its name. A value
// block is owned by the Item that created it; members borrow their
// variable's block and image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/type_codes.h"

namespace tarvil {

struct Image;

struct Item {
    Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;
    ~Item();  // unlinks the rest of the chain iteratively: long lists never recurse

    // Value block: `size` bytes at `value`, zero-filled when created. A block
    // of up to 8 bytes (a float, a colour) lies in the Item itself; an Item
    // never moves, so `value` stays put.
    std::byte* value = nullptr;
    uint32_t size = 0;
    std::unique_ptr<std::byte[]> ownedValue;  // larger blocks; null for members
    alignas(8) std::byte smallValue[8]{};

    // Image held by a DEVCON variable (TypeCode 4) or a temporary (TypeCode 13).
    // Shared by every variable it was assigned to; released with its last holder.
    std::shared_ptr<Image> image;
    Item* parent = nullptr;  // a member's variable (members of images reach the image here)

    Item* aux = nullptr;      // FOR records: the hidden limit or step variable
    unsigned sourceLine = 0;  // IF and ELSE records: the line that opened them
    TypeCode typeCode = 0;
    // A string value that had to be cut to fit its block: it names no file
    // the script meant, so file operations refuse it.
    bool textCut = false;
    std::optional<std::string> name;
    std::unique_ptr<Item> next;
};

struct ItemList {
    ItemList() = default;
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList() { ClearList(*this); }

    // The chain: change it only through CreateItem, RemoveItem, RemoveFirstItem
    // and ClearList, which keep the name index in step.
    std::unique_ptr<Item> head;
    bool empty() const { return head == nullptr; }

    // The named Items of the list by name, oldest first, so a name is found
    // without walking the chain: arrays make lists of a million Items.
    std::unordered_map<std::string, std::vector<Item*>> byName;

    // How many Items the chain holds (with the elements a packed array
    // stands for, which count as Items), and how many it may hold: CreateItem
    // fails past the limit as it does when memory runs out. Unlimited but
    // where a harness gives a run less memory than the machine has.
    size_t count = 0;
    size_t limit = SIZE_MAX;

    friend void ClearList(ItemList& list);
};

// Creates an Item at the front of `list` with a zero-filled block of `size`
// bytes (nothing when 0), filled from `source` when given. Returns null when
// memory runs out (or the list is at its limit); the caller stops the
// compilation or the run with "Memoria insufficiente", which is then shown
// once, as the message that ended it.
Item* CreateItem(ItemList& list, TypeCode typeCode, const void* source, uint32_t size,
                 std::optional<std::string_view> name);

// `count` zero-filled Items of one name, TypeCode and size at the front of
// `list`, as as many CreateItem calls would make them (the last one made in
// front), each appended to `made`; the name is looked up in the index once.
// False when memory runs out; the Items made until then stay in the list.
bool CreateItems(ItemList& list, TypeCode typeCode, uint32_t size, std::string_view name,
                 size_t count, std::vector<Item*>& made);

// First Item (from the front) whose name equals `name` exactly and, unless
// typeCode is 0, whose TypeCode equals typeCode.
Item* FindItem(const ItemList& list, TypeCode typeCode, std::string_view name);
// First Item whose TypeCode is non-zero and equals typeCode.
Item* FindItem(const ItemList& list, TypeCode typeCode);

// The Item at 0-based `position` from the front, or null.
Item* ItemAt(const ItemList& list, size_t position);

// Unlinks and frees the first matching Item (by the rules of FindItem).
// Returns true when one was removed. Value blocks of other Items are untouched.
bool RemoveItem(ItemList& list, TypeCode typeCode, std::string_view name);
bool RemoveItem(ItemList& list, TypeCode typeCode);

// Unlinks and frees the Item at the front, if any.
void RemoveFirstItem(ItemList& list);

void ClearList(ItemList& list);

// Text of a string value: the bytes up to the first NUL, never past the block.
std::string_view ItemText(const Item& item);

// printf-style formatting into a 256-byte buffer, as every message and name of
// the engine is built; longer results are cut at 255 bytes, never inside a
// UTF-8 character.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarvil
