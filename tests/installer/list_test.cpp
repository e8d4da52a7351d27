#include "installer/common/slist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dorvik;

namespace {

int g_deleted = 0;

struct Item : TListItem {
    explicit Item(int v) : value(v) {}
    ~Item() override { ++g_deleted; }
    int value;
};

std::vector<int> values(const CSList& list)
{
    std::vector<int> out;
    for (TListItem* p = list.GetHead(); p; p = p->m_pNext)
        out.push_back(static_cast<Item*>(p)->value);
    return out;
}

CSList* filled(CSList& list, int n)
{
    for (int i = 1; i <= n; ++i)
        list.Add(new Item(i));
    return &list;
}

} // namespace

TEST(SList, InsertPositions)
{
    struct Case {
        int initial;
        int position;
        int expectedIndex;
        std::vector<int> expected;
    } cases[] = {
        {0, 0, 0, {9}},
        {0, 5, 0, {9}},
        {3, 0, 0, {9, 1, 2, 3}},
        {3, -4, 0, {9, 1, 2, 3}},
        {3, 1, 1, {1, 9, 2, 3}},
        {3, 2, 2, {1, 2, 9, 3}},
        {3, 3, 3, {1, 2, 3, 9}},
        {3, 10, 3, {1, 2, 3, 9}},
    };
    for (const auto& c : cases) {
        CSList list;
        filled(list, c.initial);
        EXPECT_EQ(list.Insert(new Item(9), c.position), c.expectedIndex) << c.initial << "@" << c.position;
        EXPECT_EQ(values(list), c.expected) << c.initial << "@" << c.position;
        EXPECT_EQ(list.GetCount(), c.initial + 1);
        EXPECT_EQ(static_cast<Item*>(list.GetTail())->value, c.expected.back());
    }
}

TEST(SList, NullItemsAreIgnored)
{
    CSList list;
    filled(list, 2);
    list.Add(nullptr);
    EXPECT_EQ(list.Insert(nullptr, 1), -1);
    EXPECT_EQ(values(list), (std::vector<int>{1, 2}));
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(SList, OwnsAndDeletesItsItemsAndCanBeRefilled)
{
    g_deleted = 0;
    {
        CSList list;
        filled(list, 3);
        list.DeleteAll();
        EXPECT_EQ(g_deleted, 3);
        EXPECT_EQ(list.GetHead(), nullptr);
        EXPECT_EQ(list.GetCount(), 0);
        list.DeleteAll(); // empty: nothing happens
        EXPECT_EQ(list.GetTail(), nullptr);
        filled(list, 2);
        EXPECT_EQ(values(list), (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(g_deleted, 5); // the destructor deleted the second filling
}

TEST(SList, LookupByIndexAndPredecessor)
{
    CSList list;
    filled(list, 3);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(4), nullptr);
    EXPECT_EQ(static_cast<Item*>(list.GetAt(1))->value, 1);
    EXPECT_EQ(static_cast<Item*>(list.GetAt(3))->value, 3);
    EXPECT_EQ(list.GetPrev(list.GetHead()), nullptr);
    EXPECT_EQ(list.GetPrev(list.GetAt(3)), list.GetAt(2));
    EXPECT_EQ(list.GetPrev(nullptr), nullptr);
    Item stranger(7);
    EXPECT_EQ(list.GetPrev(&stranger), nullptr);
}
