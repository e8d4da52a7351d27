#include "diagram/od/collections.h"
#include "diagram/odcomponent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Array = CCArray_T<int*, int*>;

TEST(Collections, EdgeCases)
{
    int v[4] = {};
    int* const a = &v[0];
    int* const b = &v[1];
    int* const c = &v[2];
    int* const absent = &v[3];

    struct Case {
        const char* what;
        std::vector<int*> items;
        int start;                 // position before the call
        int op;                    // 0 FindNext, 1 FindPrev
        int* value;
        bool found;
        int end;                   // position after the call
    };
    const Case cases[] = {
        {"forward", {a, b, c}, 0, 0, c, true, 2},
        {"forward wraps to the start", {a, b, c}, 1, 0, a, true, 0},
        {"only at the current index: wraps round to it", {a, b, c}, 1, 0, b, true, 1},
        {"absent forward: unchanged", {a, b, c}, 1, 0, absent, false, 1},
        {"backward", {a, b, c}, 2, 1, a, true, 0},
        {"backward wraps to the end", {a, b, c}, 0, 1, c, true, 2},
        {"only at the current index backward", {a, b, c}, 1, 1, b, true, 1},
        {"absent backward: unchanged", {a, b, c}, 1, 1, absent, false, 1},
        {"first of two after the position", {a, b, a}, 0, 0, a, true, 2},
        {"empty", {}, 0, 0, a, false, 0},
    };
    for (const Case& tc : cases) {
        Array arr;
        for (int* p : tc.items)
            arr.Add(p);
        ICollection_T<int*>& coll = arr;
        CCIterPos* pos = coll.NewPosition();
        static_cast<CCIterPos_T<int>*>(pos)->m_i = tc.start;
        const bool found = tc.op == 0 ? coll.FindNext(pos, tc.value) : coll.FindPrev(pos, tc.value);
        EXPECT_EQ(found, tc.found) << tc.what;
        EXPECT_EQ(static_cast<CCIterPos_T<int>*>(pos)->m_i, tc.end) << tc.what;
        delete pos;
    }
}

TEST(Collections, GetAtOutsideAndIteratorWalks)
{
    int v[3] = {};
    Array arr;
    for (int& x : v)
        arr.Add(&x);
    Iterator_T<int*> it(&arr);
    std::vector<int*> walked;
    for (int* p = it.GetFirst(); p; p = it.GetNext())
        walked.push_back(p);
    EXPECT_EQ(walked, (std::vector<int*>{&v[0], &v[1], &v[2]}));
    EXPECT_EQ(it.GetNext(), nullptr) << "past the end stays null";
    EXPECT_EQ(it.GetNext(), nullptr);
    it.First();
    EXPECT_EQ(it.GetPrev(), nullptr) << "before the first";
    EXPECT_EQ(it.GetLast(), &v[2]);

    // A null element ends such a walk early.
    arr.SetAt(1, nullptr);
    int count = 0;
    for (int* p = it.GetFirst(); p; p = it.GetNext())
        ++count;
    EXPECT_EQ(count, 1);

    // Changing through the iterator.
    it.First();
    it.Next();
    it.SetCurrent(&v[1]);
    it.InsertCurrent(&v[2]);
    EXPECT_EQ(arr.GetSize(), 4);
    EXPECT_EQ(arr.GetAt(1), &v[2]);
    it.RemoveCurrent();
    EXPECT_EQ(arr.GetAt(1), &v[1]);
}

TEST(Collections, RemoveIndexOfAndRemoveAll)
{
    int v[2] = {};
    Array arr;
    arr.Add(&v[0]);
    arr.Add(&v[1]);
    arr.Add(&v[0]);
    arr.Remove(&v[0]);
    EXPECT_EQ(arr.GetSize(), 1);
    EXPECT_EQ(arr.IndexOf(&v[0]), -1);
    EXPECT_EQ(arr.IndexOf(&v[1]), 0);
    arr.RemoveAll();
    EXPECT_EQ(arr.GetSize(), 0);
    static_cast<ICollection_T<int*>&>(arr).RemoveAll(); // empty: nothing happens
    EXPECT_EQ(arr.GetSize(), 0);
}

TEST(Collections, ArraysNeverOwnComponents)
{
    auto* c = new CODComponent;
    c->AddRef();
    {
        CCArray_T<CODComponent*, CODComponent*> arr;
        arr.Add(c);
        arr.Add(c);
        arr.RemoveAll();
        arr.Add(c);
    }
    EXPECT_EQ(c->GetRefCount(), 1);
    EXPECT_EQ(c->GetName(), "");
    c->Release();
}

} // namespace
