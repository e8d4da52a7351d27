#include "installer/common/slist.h"

namespace dorvik {

CSList::~CSList() { DeleteAll(); }

void CSList::Add(TListItem* item)
{
    if (!item)
        return;
    item->m_pNext = nullptr;
    if (TListItem* tail = GetTail())
        tail->m_pNext = item;
    else
        m_pHead = item;
    ++m_nCount;
}

int CSList::Insert(TListItem* item, int position)
{
    if (!item)
        return -1;
    if (!m_pHead || position <= 0) {
        item->m_pNext = m_pHead;
        m_pHead = item;
        ++m_nCount;
        return 0;
    }
    if (position >= m_nCount) {
        int index = m_nCount;
        Add(item);
        return index;
    }
    TListItem* before = GetAt(position); // index position - 1, 0-based
    item->m_pNext = before->m_pNext;
    before->m_pNext = item;
    ++m_nCount;
    return position;
}

void CSList::DeleteAll()
{
    TListItem* item = m_pHead;
    while (item) {
        TListItem* next = item->m_pNext;
        delete item;
        item = next;
    }
    m_pHead = nullptr;
    m_nCount = 0;
}

TListItem* CSList::GetTail() const
{
    TListItem* item = m_pHead;
    while (item && item->m_pNext)
        item = item->m_pNext;
    return item;
}

TListItem* CSList::GetPrev(const TListItem* item) const
{
    if (!item)
        return nullptr;
    for (TListItem* p = m_pHead; p; p = p->m_pNext)
        if (p->m_pNext == item)
            return p;
    return nullptr;
}

TListItem* CSList::GetAt(int index) const
{
    if (index < 1 || index > m_nCount)
        return nullptr;
    TListItem* item = m_pHead;
    while (--index > 0)
        item = item->m_pNext;
    return item;
}

bool CSList::Remove(TListItem* item)
{
    if (!item)
        return false;
    if (item == m_pHead) {
        m_pHead = item->m_pNext;
    } else {
        TListItem* prev = GetPrev(item);
        if (!prev)
            return false;
        prev->m_pNext = item->m_pNext;
    }
    --m_nCount;
    delete item;
    return true;
}

} // namespace dorvik
