// ItemList: newest first, the matching rules, removal, and long lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/item_list.h"

namespace tarvil {
namespace {

TEST(ItemListTest, NewerItemOfTheSameNameIsFoundFirst) {
    ItemList list;
    Item* older = CreateItem(list, 3, nullptr, 4, "x");
    Item* newer = CreateItem(list, 3, nullptr, 4, "x");
    EXPECT_EQ(FindItem(list, 0, "x"), newer);
    EXPECT_TRUE(RemoveItem(list, 0, "x"));
    EXPECT_EQ(FindItem(list, 0, "x"), older);
}

TEST(ItemListTest, MatchingRules) {
    ItemList list;
    Item* zero = CreateItem(list, 0, nullptr, 0, "zero");
    Item* seven = CreateItem(list, 7, nullptr, 0, "name");
    CreateItem(list, 3, nullptr, 0, std::nullopt);  // unnamed
    EXPECT_EQ(FindItem(list, 0), nullptr);          // typeCode 0 without a name matches nothing
    EXPECT_EQ(FindItem(list, 0, "zero"), zero);
    EXPECT_EQ(FindItem(list, 7, "name"), seven);
    EXPECT_EQ(FindItem(list, 3, "name"), nullptr);  // same name, other TypeCode
    EXPECT_EQ(FindItem(list, 7), seven);
    EXPECT_EQ(FindItem(list, 0, "Name"), nullptr);  // case counts
    EXPECT_FALSE(RemoveItem(list, 0, "absent"));
}

TEST(ItemListTest, ItemAtCountsFromTheFront) {
    ItemList list;
    EXPECT_EQ(ItemAt(list, 0), nullptr);
    Item* oldest = CreateItem(list, 1, nullptr, 0, "a");
    CreateItem(list, 1, nullptr, 0, "b");
    Item* newest = CreateItem(list, 1, nullptr, 0, "c");
    EXPECT_EQ(ItemAt(list, 0), newest);
    EXPECT_EQ(ItemAt(list, 2), oldest);
    EXPECT_EQ(ItemAt(list, 3), nullptr);
}

TEST(ItemListTest, BlocksAreZeroFilledAndCopiedFromTheSource) {
    ItemList list;
    char text[255] = "abc";
    Item* copied = CreateItem(list, 2, text, sizeof text, "s");
    ASSERT_EQ(copied->size, 255u);
    EXPECT_EQ(ItemText(*copied), "abc");
    Item* empty = CreateItem(list, 3, nullptr, 4, "f");
    EXPECT_EQ(std::memcmp(empty->value, "\0\0\0\0", 4), 0);
    Item* none = CreateItem(list, 3, nullptr, 0, "n");
    EXPECT_EQ(none->value, nullptr);
}

TEST(ItemListTest, TextNeverRunsPastTheBlock) {
    ItemList list;
    Item* full = CreateItem(list, 2, "abcd", 4, "s");  // no terminator inside the block
    EXPECT_EQ(ItemText(*full), "abcd");
}

TEST(ItemListTest, RemovingKeepsOtherItemsBlocks) {
    ItemList list;
    Item* keep = CreateItem(list, 3, nullptr, 4, "keep");
    const float value = 2.5f;
    std::memcpy(keep->value, &value, sizeof value);
    CreateItem(list, 3, nullptr, 4, "drop");
    EXPECT_TRUE(RemoveItem(list, 0, "drop"));
    float read = 0;
    std::memcpy(&read, keep->value, sizeof read);
    EXPECT_EQ(read, 2.5f);
}

TEST(ItemListTest, VeryLongListsAreReleasedWithoutDeepRecursion) {
    ItemList list;
    for (int i = 0; i < 300000; ++i) CreateItem(list, 3, nullptr, 4, "b");
    ClearList(list);
    EXPECT_TRUE(list.empty());
    for (int i = 0; i < 300000; ++i) CreateItem(list, 3, nullptr, 4, "b");
    // The destructor releases it too.
}

TEST(FormatTest, LinePrefixAndCut) {
    EXPECT_EQ(Format("[%.4u] Error: Var not found '%s'", 7u, "x"),
              "[0007] Error: Var not found 'x'");
    EXPECT_EQ(Format("[%.4u]", 12345u), "[12345]");
    const std::string longName(400, 'n');
    EXPECT_EQ(Format("%s", longName.c_str()).size(), 255u);
}

// Names are found through an index; it must give what a walk along the chain
// gives, through creations, removals and clearing.
TEST(ItemListTest, NameIndexFollowsTheChain) {
    ItemList list;
    Item* oldest = CreateItem(list, 3, nullptr, 4, "a");
    Item* other = CreateItem(list, 2, nullptr, 4, "b");
    Item* middle = CreateItem(list, 2, nullptr, 4, "a");
    Item* newest = CreateItem(list, 3, nullptr, 4, "a");
    CreateItem(list, 5, nullptr, 0, std::nullopt);
    EXPECT_EQ(FindItem(list, 0, "a"), newest);
    EXPECT_EQ(FindItem(list, 2, "a"), middle);  // the newest with that TypeCode
    EXPECT_EQ(FindItem(list, 4, "a"), nullptr);
    EXPECT_EQ(FindItem(list, 0, "A"), nullptr);  // names match exactly
    EXPECT_EQ(FindItem(list, 0, "b"), other);

    EXPECT_TRUE(RemoveItem(list, 2, "a"));
    EXPECT_EQ(FindItem(list, 2, "a"), nullptr);
    EXPECT_EQ(FindItem(list, 0, "a"), newest);
    EXPECT_TRUE(RemoveItem(list, 0, "a"));
    EXPECT_EQ(FindItem(list, 0, "a"), oldest);

    RemoveFirstItem(list);  // the unnamed one
    RemoveFirstItem(list);  // "b"
    EXPECT_EQ(FindItem(list, 0, "b"), nullptr);
    EXPECT_EQ(FindItem(list, 0, "a"), oldest);
    EXPECT_EQ(ItemAt(list, 0), oldest);
    EXPECT_TRUE(RemoveItem(list, 3));  // by TypeCode alone
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(FindItem(list, 0, "a"), nullptr);
    EXPECT_TRUE(list.byName.empty());

    CreateItem(list, 3, nullptr, 4, "c");
    ClearList(list);
    EXPECT_EQ(FindItem(list, 0, "c"), nullptr);
    EXPECT_TRUE(list.byName.empty());
}

// A million array elements share one name; other names are still found at once,
// and the array's name gives its newest element.
TEST(ItemListTest, LargeArraysDoNotSlowOtherNames) {
    ItemList list;
    Item* before = CreateItem(list, 3, nullptr, 4, "x");
    Item* last = nullptr;
    for (int i = 0; i < 1'048'576; ++i) last = CreateItem(list, 3, nullptr, 4, "big");
    for (int i = 0; i < 100'000; ++i) ASSERT_EQ(FindItem(list, 0, "x"), before);
    EXPECT_EQ(FindItem(list, 0, "big"), last);
}

// The count follows every way an Item enters or leaves the chain, and a list
// at its limit refuses the next Item as if memory had run out.
TEST(ItemListTest, CountFollowsTheChainAndTheLimitRefusesMore) {
    ItemList list;
    list.limit = 3;
    const auto chainLength = [&list] {
        size_t length = 0;
        for (const Item* item = list.head.get(); item != nullptr; item = item->next.get()) ++length;
        return length;
    };
    ASSERT_NE(CreateItem(list, 3, nullptr, 4, "a"), nullptr);
    ASSERT_NE(CreateItem(list, 2, nullptr, 4, "b"), nullptr);
    ASSERT_NE(CreateItem(list, 5, nullptr, 0, std::nullopt), nullptr);
    EXPECT_EQ(list.count, 3u);

    EXPECT_EQ(CreateItem(list, 3, nullptr, 4, "refused"), nullptr);
    EXPECT_EQ(FindItem(list, 0, "refused"), nullptr);
    EXPECT_EQ(list.count, 3u);

    // Removing by name, by TypeCode and from the front each make room for one more.
    const struct {
        const char* label;
        void (*remove)(ItemList&);
    } removals[] = {
        {"by name", [](ItemList& l) { EXPECT_TRUE(RemoveItem(l, 0, "a")); }},
        {"by TypeCode", [](ItemList& l) { EXPECT_TRUE(RemoveItem(l, 2)); }},
        {"from the front", [](ItemList& l) { RemoveFirstItem(l); }},
    };
    for (const auto& removal : removals) {
        removal.remove(list);
        EXPECT_EQ(list.count, 2u) << removal.label;
        EXPECT_EQ(chainLength(), 2u) << removal.label;
        EXPECT_NE(CreateItem(list, 3, nullptr, 4, removal.label), nullptr) << removal.label;
        EXPECT_EQ(list.count, 3u) << removal.label;
    }
    ClearList(list);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.limit, 3u) << "clearing keeps the limit";
    for (int i = 0; i < 3; ++i) EXPECT_NE(CreateItem(list, 3, nullptr, 4, "again"), nullptr);
    EXPECT_EQ(CreateItem(list, 3, nullptr, 4, "again"), nullptr);
}

}  // namespace
}  // namespace tarvil
