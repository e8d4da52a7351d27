// The owned singly linked list the installers build their record lists on:
// whatever is added belongs to the list and is deleted by it.
#pragma once

namespace dorvik {

struct TListItem {
    TListItem() = default;
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;
    virtual ~TListItem() = default;

    TListItem* m_pNext = nullptr;
};

class CSList {
public:
    CSList() = default;
    CSList(const CSList&) = delete;
    CSList& operator=(const CSList&) = delete;
    virtual ~CSList();

    // Both take ownership of `item`; a null item is ignored.
    virtual void Add(TListItem* item);
    // Returns the 0-based index the item now stands at, or -1 for null.
    virtual int Insert(TListItem* item, int position);

    void DeleteAll();
    // Takes `item` out of the list and deletes it; false for a stranger.
    bool Remove(TListItem* item);

    TListItem* GetHead() const { return m_pHead; }
    TListItem* GetTail() const;
    // The item whose next pointer is `item`; null for the head, null or a
    // stranger.
    TListItem* GetPrev(const TListItem* item) const;
    // 1-based; null outside 1..count.
    TListItem* GetAt(int index) const;
    int GetCount() const { return m_nCount; }

private:
    TListItem* m_pHead = nullptr;
    int m_nCount = 0;
};

} // namespace dorvik
