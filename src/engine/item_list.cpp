#include "engine/item_list.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/image_record.h"
#include "engine/text_encoding.h"

namespace tarvil {

Item::~Item() {
    // Destroying the chain link by link keeps the stack flat for lists of any length.
    while (next) next = std::move(next->next);
}

namespace {

// A new Item, not yet in any list; null when memory runs out.
std::unique_ptr<Item> MakeItem(TypeCode typeCode, const void* source, uint32_t size,
                               std::optional<std::string_view> name) {
    std::unique_ptr<Item> item;
    try {
        item = std::make_unique<Item>();
        if (size != 0) {
            if (size <= sizeof item->smallValue) {
                item->value = item->smallValue;
            } else {
                item->ownedValue = std::make_unique<std::byte[]>(size);  // zero-filled
                item->value = item->ownedValue.get();
            }
            if (source != nullptr) std::memcpy(item->value, source, size);
            item->size = size;
        }
        if (name) item->name.emplace(*name);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    item->typeCode = typeCode;
    return item;
}

Item* Link(ItemList& list, std::unique_ptr<Item> item) {
    item->next = std::move(list.head);
    list.head = std::move(item);
    ++list.count;
    return list.head.get();
}

}  // namespace

Item* CreateItem(ItemList& list, TypeCode typeCode, const void* source, uint32_t size,
                 std::optional<std::string_view> name) {
    if (list.count >= list.limit) return nullptr;
    std::unique_ptr<Item> item = MakeItem(typeCode, source, size, name);
    if (item == nullptr) return nullptr;
    if (item->name) {
        try {
            list.byName[*item->name].push_back(item.get());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return Link(list, std::move(item));
}

bool CreateItems(ItemList& list, TypeCode typeCode, uint32_t size, std::string_view name,
                 size_t count, std::vector<Item*>& made) {
    try {
        made.reserve(made.size() + count);
        std::vector<Item*>& named = list.byName[std::string(name)];
        named.reserve(named.size() + count);
        for (size_t k = 0; k < count; ++k) {
            if (list.count >= list.limit) return false;
            std::unique_ptr<Item> item = MakeItem(typeCode, nullptr, size, name);
            if (item == nullptr) return false;
            named.push_back(item.get());
            made.push_back(Link(list, std::move(item)));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

bool Matches(const Item& item, TypeCode typeCode, const std::string_view* name) {
    if (name == nullptr) return item.typeCode != 0 && item.typeCode == typeCode;
    if (!item.name || *item.name != *name) return false;
    return typeCode == 0 || item.typeCode == typeCode;
}

Item* Find(const ItemList& list, TypeCode typeCode, const std::string_view* name) {
    if (name != nullptr) {
        // Newest first, as along the chain.
        const auto named = list.byName.find(std::string(*name));
        if (named == list.byName.end()) return nullptr;
        for (auto it = named->second.rbegin(); it != named->second.rend(); ++it) {
            if (Matches(**it, typeCode, name)) return *it;
        }
        return nullptr;
    }
    for (Item* item = list.head.get(); item != nullptr; item = item->next.get()) {
        if (Matches(*item, typeCode, name)) return item;
    }
    return nullptr;
}

void Unindex(ItemList& list, const Item& item) {
    if (!item.name) return;
    const auto named = list.byName.find(*item.name);
    if (named == list.byName.end()) return;
    std::vector<Item*>& items = named->second;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (*it == &item) {
            items.erase(std::next(it).base());
            break;
        }
    }
    if (items.empty()) list.byName.erase(named);
}

void Unlink(ItemList& list, std::unique_ptr<Item>& link) {
    Unindex(list, *link);
    std::unique_ptr<Item> removed = std::move(link);
    link = std::move(removed->next);
    --list.count;
}

bool Remove(ItemList& list, TypeCode typeCode, const std::string_view* name) {
    if (name != nullptr) {
        // The index names the Item; the chain is walked only to unlink it.
        Item* target = Find(list, typeCode, name);
        if (target == nullptr) return false;
        for (std::unique_ptr<Item>* link = &list.head; *link; link = &(*link)->next) {
            if (link->get() == target) {
                Unlink(list, *link);
                return true;
            }
        }
        return false;
    }
    for (std::unique_ptr<Item>* link = &list.head; *link; link = &(*link)->next) {
        if (Matches(**link, typeCode, name)) {
            Unlink(list, *link);
            return true;
        }
    }
    return false;
}

}  // namespace

Item* FindItem(const ItemList& list, TypeCode typeCode, std::string_view name) {
    return Find(list, typeCode, &name);
}

Item* FindItem(const ItemList& list, TypeCode typeCode) {
    return Find(list, typeCode, nullptr);
}

Item* ItemAt(const ItemList& list, size_t position) {
    Item* item = list.head.get();
    while (item != nullptr && position > 0) {
        item = item->next.get();
        --position;
    }
    return item;
}

bool RemoveItem(ItemList& list, TypeCode typeCode, std::string_view name) {
    return Remove(list, typeCode, &name);
}

bool RemoveItem(ItemList& list, TypeCode typeCode) {
    return Remove(list, typeCode, nullptr);
}

void RemoveFirstItem(ItemList& list) {
    if (list.head) Unlink(list, list.head);
}

void ClearList(ItemList& list) {
    list.byName.clear();
    while (list.head) list.head = std::move(list.head->next);
    list.count = 0;
}

std::string_view ItemText(const Item& item) {
    if (item.value == nullptr) return {};
    const char* text = reinterpret_cast<const char*>(item.value);
    const void* end = std::memchr(text, '\0', item.size);
    return {text, end ? static_cast<size_t>(static_cast<const char*>(end) - text) : item.size};
}

std::string Format(const char* format, ...) {
    // Formatted with room to spare, so that the cut at 255 bytes can keep the
    // last UTF-8 character whole instead of splitting it.
    constexpr size_t kLongestText = 255;
    char buffer[2 * (kLongestText + 1)];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    const std::string_view text(buffer, strnlen(buffer, sizeof buffer));
    return std::string(text.substr(0, Utf8CutLength(text, kLongestText)));
}

}  // namespace tarvil
