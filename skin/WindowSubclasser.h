#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace ZEV {

// Measures and draws the owner-drawn items of one menu.
class IMenuItemDrawer
{
public:
    virtual ~IMenuItemDrawer() {}
    virtual void MeasureItem(MEASUREITEMSTRUCT& mis) = 0;
    virtual void DrawItem(const DRAWITEMSTRUCT& dis) = 0;
};

// Subclasses one window with the common window procedure and routes its
// messages to WindowProc. All subclassers share one process-wide window map.
class CWindowSubclasser
{
public:
    CWindowSubclasser();
    virtual ~CWindowSubclasser();

    CWindowSubclasser(const CWindowSubclasser&) = delete;
    CWindowSubclasser& operator=(const CWindowSubclasser&) = delete;

    // Leaves a window attached before, if any. No when the window is in the
    // map already or cannot be subclassed.
    bool Attach(HWND hWnd);

    HWND GetHwnd() const { return m_hWnd; }
    bool IsAttached() const { return m_hWnd != nullptr; }

    // Registers a menu whose items this window's drawers draw; answers its
    // registration id (0x8000 and up, top bit always set).
    WORD RegisterMenu(HMENU hMenu, std::unique_ptr<IMenuItemDrawer> pDrawer);
    bool IsMenuRegistered(HMENU hMenu) const;
    int GetRegisteredMenuCount() const { return int(m_menus.size()); }

    static CWindowSubclasser* FromHandle(HWND hWnd);
    static WNDPROC GetCommonWindowProc() { return &CommonWindowProc; }

protected:
    virtual void PreAttach(HWND hWnd);
    virtual bool OnAttached();
    virtual void OnDetaching();
    virtual void OnDetached();
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
    virtual void RecalcFrame();

    LRESULT Default(UINT nMsg, WPARAM wParam, LPARAM lParam);

private:
    struct TOwnerDrawnMenu
    {
        HMENU hMenu;
        WORD wId;
        std::unique_ptr<IMenuItemDrawer> pDrawer;
    };

    static LRESULT CALLBACK CommonWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

    void Detach();
    IMenuItemDrawer* FindMenuDrawer(WORD wId);

    HWND m_hWnd;
    WNDPROC m_pfnSaved;
    std::vector<TOwnerDrawnMenu> m_menus;
    WORD m_wNextMenuId;
};

} // namespace ZEV
