// ItemList: newest first, the matching rules, removal, and long lists.
#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
}  // namespace tarvil
