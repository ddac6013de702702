#pragma once

#include <windows.h>

// A menu handle with its operations. Objects made by FromHandle are temporary
// wrappers owned by the calling thread; they never destroy the menu.
class CMenu
{
public:
    CMenu() : m_hMenu(NULL) {}
    virtual ~CMenu();

    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const;

    static CMenu* FromHandle(HMENU hMenu);

    BOOL Attach(HMENU hMenu);
    HMENU Detach();

    BOOL CreateMenu() { return Attach(::CreateMenu()); }
    BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
    BOOL LoadMenu(UINT nIDResource);
    BOOL DestroyMenu();

    // Item texts are Shift-JIS.
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = NULL);
    BOOL DeleteMenu(UINT nPosition, UINT nFlags) { return ::DeleteMenu(m_hMenu, nPosition, nFlags); }
    UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
    { return static_cast<UINT>(::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck)); }
    UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
    { return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable)); }
    UINT GetMenuState(UINT nID, UINT nFlags) const { return ::GetMenuState(m_hMenu, nID, nFlags); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int nPos) const { return ::GetMenuItemID(m_hMenu, nPos); }
    int GetMenuString(UINT nIDItem, LPSTR lpString, int nMaxCount, UINT nFlags) const;
    CMenu* GetSubMenu(int nPos) const { return FromHandle(::GetSubMenu(m_hMenu, nPos)); }
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, HWND hWnd, LPCRECT lpRect = NULL)
    { return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, hWnd, lpRect); }

    HMENU m_hMenu;
};
