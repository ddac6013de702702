#pragma once

#include "support/ZevException.h"

#include <memory>
#include <utility>

namespace ZEV {

// Fixed-capacity FIFO over one array of slots; entry i lives in slot
// (head + i) mod capacity, so adding and dropping at the ends never moves data.
// A full queue refuses new entries; the caller decides what to drop.
template <class T>
class CRingQueueT
{
public:
    explicit CRingQueueT(int nCapacity = 0) { SetCapacity(nCapacity); }

    CRingQueueT(const CRingQueueT&) = delete;
    CRingQueueT& operator=(const CRingQueueT&) = delete;

    // Replaces the ring by an empty one of the new capacity.
    void SetCapacity(int nCapacity)
    {
        if (nCapacity < 0)
            throw CInvalidParamException();
        m_pSlots.reset(nCapacity > 0 ? new T[nCapacity] : nullptr);
        m_nCapacity = nCapacity;
        m_nHead = 0;
        m_nCount = 0;
    }

    int GetCapacity() const { return m_nCapacity; }
    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    bool IsFull() const { return m_nCount == m_nCapacity; }

    // Appends one entry; returns its index, or -1 when full (nothing added).
    int Add(const T& value) { return Emplace(T(value)); }
    int Add(T&& value) { return Emplace(std::move(value)); }

    // Drops the n oldest entries; fails without change when fewer are held.
    bool Pop(int n)
    {
        if (n < 0 || n > m_nCount)
            return false;
        for (int i = 0; i < n; ++i)
            Slot(i) = T();
        m_nHead = Wrap(m_nHead + n);
        m_nCount -= n;
        return true;
    }

    // Takes the oldest entry out.
    T Take()
    {
        if (m_nCount == 0)
            throw CEmptyException();
        T value = std::move(Slot(0));
        Pop(1);
        return value;
    }

    // The entry at index, or nullptr for an index outside 0 .. count-1.
    const T* GetAt(int nIndex) const
    {
        if (nIndex < 0 || nIndex >= m_nCount)
            return nullptr;
        return &Slot(nIndex);
    }

    const T& operator[](int nIndex) const
    {
        const T* p = GetAt(nIndex);
        if (p == nullptr)
            throw CIndexOutOfBoundsException();
        return *p;
    }

    // Removes one entry; the later ones move up by one.
    bool RemoveAt(int nIndex)
    {
        if (nIndex < 0 || nIndex >= m_nCount)
            return false;
        for (int i = nIndex; i + 1 < m_nCount; ++i)
            Slot(i) = std::move(Slot(i + 1));
        Slot(m_nCount - 1) = T();
        --m_nCount;
        return true;
    }

    void RemoveAll() { Pop(m_nCount); }

private:
    int Emplace(T&& value)
    {
        if (m_nCount >= m_nCapacity)
            return -1;
        Slot(m_nCount) = std::move(value);
        return m_nCount++;
    }

    int Wrap(int n) const { return m_nCapacity > 0 ? n % m_nCapacity : 0; }
    T& Slot(int i) { return m_pSlots[Wrap(m_nHead + i)]; }
    const T& Slot(int i) const { return m_pSlots[Wrap(m_nHead + i)]; }

    std::unique_ptr<T[]> m_pSlots;
    int m_nCapacity = 0;
    int m_nHead = 0;
    int m_nCount = 0;
};

} // namespace ZEV
