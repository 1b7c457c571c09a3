#include "library/data/ItemList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tavopix {
namespace {

struct ItemFacts {
    std::u16string name;
    std::uint32_t size = 0;
    std::uint32_t time = 0;
    bool uploaded = false;
};

ItemList ListOf(const std::vector<ItemFacts>& facts) {
    ItemList list;
    for (const ItemFacts& fact : facts) {
        auto item = std::make_unique<PictureItem>();
        item->name = fact.name;
        item->path = u"%mypic%" + fact.name;
        item->size = fact.size;
        item->time = fact.time;
        item->uploaded = fact.uploaded;
        list.Append(std::move(item));
    }
    return list;
}

std::vector<std::u16string> Names(const ItemList& list) {
    std::vector<std::u16string> names;
    for (std::size_t i = 0; i < list.size(); ++i) {
        names.push_back(list[i].name);
    }
    return names;
}

using Names_ = std::vector<std::u16string>;

TEST(ItemListSort, UploadedFirstKeepsListingOrderOnBothSides) {
    ItemList list = ListOf({{u"a"}, {u"b", 0, 0, true}, {u"c"}, {u"d", 0, 0, true}, {u"e"}});
    list.Sort(7);
    EXPECT_EQ(Names(list), (Names_{u"b", u"d", u"a", u"c", u"e"}));
    list.Sort(8);
    EXPECT_EQ(Names(list), (Names_{u"a", u"c", u"e", u"b", u"d"}));
    // 0 and unknown numbers leave the order as it is; unknown ones keep the sort type too.
    list.Sort(0);
    list.Sort(9);
    list.Sort(-1);
    EXPECT_EQ(Names(list), (Names_{u"a", u"c", u"e", u"b", u"d"}));
    EXPECT_EQ(list.sortType(), 0);
}

TEST(ItemListSort, SizeAndTimeAreUnsignedAndStable) {
    ItemList list = ListOf({{u"small", 10, 5},
                            {u"big", 0x80000000u, 0x90000000u},
                            {u"tieA", 500, 7},
                            {u"tieB", 500, 7}});
    list.Sort(1);
    EXPECT_EQ(Names(list), (Names_{u"big", u"tieA", u"tieB", u"small"}));
    list.Sort(2);
    EXPECT_EQ(Names(list), (Names_{u"small", u"tieA", u"tieB", u"big"}));
    list.Sort(5);
    EXPECT_EQ(Names(list), (Names_{u"big", u"tieA", u"tieB", u"small"}));
    list.Sort(6);
    EXPECT_EQ(Names(list), (Names_{u"small", u"tieA", u"tieB", u"big"}));
}

TEST(ItemListSort, NamesCompareByCodeUnits) {
    // U+00E9 sorts after every ASCII letter, U+FF21 (fullwidth A) after U+00E9; capitals first.
    ItemList list = ListOf({{u"b.jpg"}, {u"\u00E9.jpg"}, {u"B.jpg"}, {u"\uFF21.jpg"}, {u"a.jpg"}});
    list.Sort(4);
    EXPECT_EQ(Names(list), (Names_{u"B.jpg", u"a.jpg", u"b.jpg", u"\u00E9.jpg", u"\uFF21.jpg"}));
    list.Sort(3);
    EXPECT_EQ(Names(list), (Names_{u"\uFF21.jpg", u"\u00E9.jpg", u"b.jpg", u"a.jpg", u"B.jpg"}));
}

TEST(ItemListOwnership, IdsFindItemsWhileTheyAreInTheList) {
    ItemList list = ListOf({{u"a"}, {u"b"}, {u"c"}});
    PictureItem* b = list.FindById(list[1].id);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->name, u"b");
    EXPECT_EQ(list.FindById(0), nullptr);
    const std::uint32_t bId = b->id;
    EXPECT_TRUE(list.Remove(b));
    EXPECT_EQ(list.FindById(bId), nullptr);
    EXPECT_EQ(Names(list), (Names_{u"a", u"c"}));
    PictureItem stranger;
    EXPECT_FALSE(list.Remove(&stranger));
    // Ids are not reused after a clear, so a cell of an earlier view never finds a new item.
    list.Clear();
    list.Append(std::make_unique<PictureItem>());
    EXPECT_GT(list[0].id, bId);
}

}  // namespace
}  // namespace tavopix
