#pragma once

#include <windows.h>

#include <vector>

namespace ZEV {

class CWindowSubclasser;

// The process-wide table of subclassed windows. Messages look their window up
// here on every call, mostly for the same window several times in a row, so
// the last hit is remembered and answered without a search.
class CWindowMap
{
public:
    struct TEntry
    {
        HWND hWnd;
        CWindowSubclasser* pSubclasser;
        // Set when the subclasser left while another procedure had been put
        // over ours: calls still arriving through the chain go here.
        WNDPROC pfnOrphanProc;
    };

    // Created on first use, destroyed at process exit.
    static CWindowMap& Instance();

    // Position of the window, or -1.
    int Find(HWND hWnd) const;
    // Throws CIndexOutOfBoundsException for a position outside the map.
    TEntry& At(int nIndex);
    void Add(HWND hWnd, CWindowSubclasser* pSubclasser);
    void Remove(HWND hWnd);
    void RemoveAt(int nIndex);
    int GetCount() const { return int(m_entries.size()); }

private:
    CWindowMap() : m_hLastWnd(nullptr), m_nLastIndex(-1) {}

    std::vector<TEntry> m_entries;
    mutable HWND m_hLastWnd;
    mutable int m_nLastIndex;
};

} // namespace ZEV
