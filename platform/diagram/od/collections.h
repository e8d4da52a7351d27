// Typed arrays of the diagram library that can also be walked through a
// generic collection interface and an iterator. An array holds pointers and
// never owns what they point to.
#pragma once

#include "afx/object.h"

#include <cstddef>
#include <vector>

// Position base of every collection iterator.
class CCIterPos {
public:
    virtual ~CCIterPos() = default;
};

template <class I>
class CCIterPos_T : public CCIterPos {
public:
    I m_i{};
};

template <class T>
class ICollection_T {
public:
    virtual ~ICollection_T() = default;
    virtual CCIterPos* NewPosition() = 0;
    virtual void First(CCIterPos* pos) = 0;
    virtual void Next(CCIterPos* pos) = 0;
    virtual void Prev(CCIterPos* pos) = 0;
    virtual void Last(CCIterPos* pos) = 0;
    virtual void RemoveAt(CCIterPos* pos) = 0;
    virtual T GetAt(CCIterPos* pos) = 0;
    virtual void SetAt(CCIterPos* pos, T value) = 0;
    virtual void InsertAt(CCIterPos* pos, T value) = 0;
    virtual bool FindNext(CCIterPos* pos, T value) = 0;
    virtual bool FindPrev(CCIterPos* pos, T value) = 0;
    virtual int GetSize() = 0;
    virtual void RemoveAll() = 0;
};

template <class T, class ARG_T = T>
class CCArray_T : public CObject, public ICollection_T<T> {
public:
    CCArray_T() = default;
    CCArray_T(const CCArray_T& other) : CObject(), m_data(other.m_data) {}
    CCArray_T& operator=(const CCArray_T& other)
    {
        m_data = other.m_data;
        return *this;
    }

    // The array part.
    int GetSize() override { return static_cast<int>(m_data.size()); }
    int GetSize() const { return static_cast<int>(m_data.size()); }
    int GetCount() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }
    T GetAt(int i) const { return (i >= 0 && i < GetSize()) ? m_data[static_cast<std::size_t>(i)] : T{}; }
    T GetAt(int i) { return static_cast<const CCArray_T&>(*this).GetAt(i); }
    void SetAt(int i, ARG_T value) { m_data.at(static_cast<std::size_t>(i)) = value; }
    T& ElementAt(int i) { return m_data.at(static_cast<std::size_t>(i)); }
    T operator[](int i) const { return m_data.at(static_cast<std::size_t>(i)); }
    int Add(ARG_T value)
    {
        m_data.push_back(value);
        return GetSize() - 1;
    }
    void InsertAt(int i, ARG_T value) { m_data.insert(m_data.begin() + i, value); }
    void RemoveAt(int i, int count = 1) { m_data.erase(m_data.begin() + i, m_data.begin() + i + count); }
    void Copy(const CCArray_T& other) { m_data = other.m_data; }
    void Append(const CCArray_T& other) { m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end()); }
    auto begin() const { return m_data.begin(); }
    auto end() const { return m_data.end(); }

    // Own operations.
    virtual void Remove(T value)
    {
        for (int i = GetSize() - 1; i >= 0; --i)
            if (m_data[static_cast<std::size_t>(i)] == value)
                RemoveAt(i);
    }
    virtual int IndexOf(T value) const
    {
        for (int i = 0; i < GetSize(); ++i)
            if (m_data[static_cast<std::size_t>(i)] == value)
                return i;
        return -1;
    }

    // The collection interface.
    CCIterPos* NewPosition() override { return new CCIterPos_T<int>; }
    void First(CCIterPos* pos) override { idx(pos) = 0; }
    void Next(CCIterPos* pos) override { ++idx(pos); }
    void Prev(CCIterPos* pos) override { --idx(pos); }
    void Last(CCIterPos* pos) override { idx(pos) = GetSize() - 1; }
    void RemoveAt(CCIterPos* pos) override { RemoveAt(idx(pos)); }
    T GetAt(CCIterPos* pos) override { return GetAt(idx(pos)); }
    void SetAt(CCIterPos* pos, T value) override { SetAt(idx(pos), value); }
    void InsertAt(CCIterPos* pos, T value) override { InsertAt(idx(pos), value); }
    bool FindNext(CCIterPos* pos, T value) override
    {
        const int n = GetSize();
        int& i = idx(pos);
        for (int j = i + 1 < 0 ? 0 : i + 1; j < n; ++j)
            if (m_data[static_cast<std::size_t>(j)] == value) {
                i = j;
                return true;
            }
        for (int j = 0; j < n; ++j)
            if (m_data[static_cast<std::size_t>(j)] == value) {
                i = j;
                return true;
            }
        return false;
    }
    bool FindPrev(CCIterPos* pos, T value) override
    {
        int& i = idx(pos);
        for (int j = i - 1; j >= 0; --j)
            if (j < GetSize() && m_data[static_cast<std::size_t>(j)] == value) {
                i = j;
                return true;
            }
        for (int j = GetSize() - 1; j >= 0; --j)
            if (m_data[static_cast<std::size_t>(j)] == value) {
                i = j;
                return true;
            }
        return false;
    }
    // Empty, as removing the first element until none is left would leave
    // it, without moving the rest down each time.
    void RemoveAll() override { m_data.clear(); }

private:
    static int& idx(CCIterPos* pos) { return static_cast<CCIterPos_T<int>*>(pos)->m_i; }
    std::vector<T> m_data;
};

template <class T>
class Iterator_T {
public:
    explicit Iterator_T(ICollection_T<T>* collection) { Init(collection); }
    Iterator_T(const Iterator_T&) = delete;
    Iterator_T& operator=(const Iterator_T&) = delete;
    virtual ~Iterator_T() { delete m_pPos; }

    virtual void Init(ICollection_T<T>* collection)
    {
        delete m_pPos;
        m_pCollection = collection;
        m_pPos = collection->NewPosition();
    }
    virtual void First() { m_pCollection->First(m_pPos); }
    virtual void Next() { m_pCollection->Next(m_pPos); }
    virtual bool FindNext(T value) { return m_pCollection->FindNext(m_pPos, value); }
    virtual void Prev() { m_pCollection->Prev(m_pPos); }
    virtual bool FindPrev(T value) { return m_pCollection->FindPrev(m_pPos, value); }
    virtual void Last() { m_pCollection->Last(m_pPos); }
    virtual T Current() { return m_pCollection->GetAt(m_pPos); }
    virtual T GetNext()
    {
        Next();
        return Current();
    }
    virtual T GetPrev()
    {
        Prev();
        return Current();
    }
    virtual T GetLast()
    {
        Last();
        return Current();
    }
    virtual void SetCurrent(T value) { m_pCollection->SetAt(m_pPos, value); }
    virtual void RemoveCurrent() { m_pCollection->RemoveAt(m_pPos); }
    virtual void InsertCurrent(T value) { m_pCollection->InsertAt(m_pPos, value); }
    T GetFirst()
    {
        First();
        return Current();
    }

private:
    CCIterPos* m_pPos = nullptr;
    ICollection_T<T>* m_pCollection = nullptr;
};
