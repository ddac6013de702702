#include "skin/WindowMap.h"

#include "support/ZevException.h"

namespace ZEV {

CWindowMap& CWindowMap::Instance()
{
    static CWindowMap map;
    return map;
}

int CWindowMap::Find(HWND hWnd) const
{
    if (hWnd && hWnd == m_hLastWnd)
        return m_nLastIndex;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].hWnd != hWnd)
            continue;
        m_hLastWnd = hWnd;
        m_nLastIndex = int(i);
        return m_nLastIndex;
    }
    return -1;
}

CWindowMap::TEntry& CWindowMap::At(int nIndex)
{
    if (nIndex < 0 || nIndex >= GetCount())
        throw CIndexOutOfBoundsException();
    return m_entries[nIndex];
}

void CWindowMap::Add(HWND hWnd, CWindowSubclasser* pSubclasser)
{
    m_entries.push_back(TEntry{hWnd, pSubclasser, nullptr});
}

void CWindowMap::Remove(HWND hWnd)
{
    int nIndex = Find(hWnd);
    if (nIndex >= 0)
        RemoveAt(nIndex);
}

void CWindowMap::RemoveAt(int nIndex)
{
    At(nIndex);
    m_entries.erase(m_entries.begin() + nIndex);
    // Positions behind the removed one have moved.
    m_hLastWnd = nullptr;
    m_nLastIndex = -1;
}

} // namespace ZEV
