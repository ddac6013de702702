#include "skin/WindowSubclasser.h"

#include "skin/WindowMap.h"

namespace ZEV {

namespace {

const WORD FIRST_MENU_ID = 0x8000;

WNDPROC CurrentProc(HWND hWnd)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
}

} // namespace

CWindowSubclasser::CWindowSubclasser()
    : m_hWnd(nullptr), m_pfnSaved(nullptr), m_wNextMenuId(FIRST_MENU_ID)
{
}

CWindowSubclasser::~CWindowSubclasser()
{
    // A derived object is gone already, so no OnDetaching/OnDetached here.
    if (!m_hWnd)
        return;
    CWindowMap& map = CWindowMap::Instance();
    if (IsWindow(m_hWnd) && CurrentProc(m_hWnd) != &CommonWindowProc) {
        int nIndex = map.Find(m_hWnd);
        if (nIndex >= 0) {
            map.At(nIndex).pSubclasser = nullptr;
            map.At(nIndex).pfnOrphanProc = m_pfnSaved;
        }
        return;
    }
    if (IsWindow(m_hWnd))
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSaved));
    map.Remove(m_hWnd);
}

bool CWindowSubclasser::Attach(HWND hWnd)
{
    if (m_hWnd)
        Detach();
    if (!hWnd || CWindowMap::Instance().Find(hWnd) >= 0)
        return false;
    PreAttach(hWnd);
    WNDPROC pfnPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommonWindowProc)));
    if (!pfnPrevious || pfnPrevious == &CommonWindowProc)
        return false;
    m_pfnSaved = pfnPrevious;
    m_hWnd = hWnd;
    CWindowMap::Instance().Add(hWnd, this);
    return OnAttached();
}

void CWindowSubclasser::Detach()
{
    OnDetaching();
    CWindowMap& map = CWindowMap::Instance();
    if (CurrentProc(m_hWnd) == &CommonWindowProc) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSaved));
        map.Remove(m_hWnd);
    } else {
        // Someone subclassed the window after us and still calls our procedure:
        // unhooking would cut them off, so the map keeps the way to the saved
        // procedure until the window's last message.
        int nIndex = map.Find(m_hWnd);
        if (nIndex >= 0) {
            map.At(nIndex).pSubclasser = nullptr;
            map.At(nIndex).pfnOrphanProc = m_pfnSaved;
        }
    }
    OnDetached();
    m_hWnd = nullptr;
    m_pfnSaved = nullptr;
}

CWindowSubclasser* CWindowSubclasser::FromHandle(HWND hWnd)
{
    CWindowMap& map = CWindowMap::Instance();
    int nIndex = map.Find(hWnd);
    return nIndex < 0 ? nullptr : map.At(nIndex).pSubclasser;
}

LRESULT CALLBACK CWindowSubclasser::CommonWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam,
                                                     LPARAM lParam)
{
    CWindowMap& map = CWindowMap::Instance();
    int nIndex = map.Find(hWnd);
    if (nIndex < 0)
        return DefWindowProcW(hWnd, nMsg, wParam, lParam);
    CWindowMap::TEntry& entry = map.At(nIndex);
    if (entry.pSubclasser)
        return entry.pSubclasser->WindowProc(nMsg, wParam, lParam);
    WNDPROC pfnOrphan = entry.pfnOrphanProc;
    if (nMsg == WM_NCDESTROY)
        map.RemoveAt(nIndex);
    return pfnOrphan ? CallWindowProcW(pfnOrphan, hWnd, nMsg, wParam, lParam) : 0;
}

void CWindowSubclasser::PreAttach(HWND) {}

bool CWindowSubclasser::OnAttached()
{
    return true;
}

void CWindowSubclasser::OnDetaching() {}

void CWindowSubclasser::OnDetached() {}

void CWindowSubclasser::RecalcFrame()
{
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

LRESULT CWindowSubclasser::Default(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (!m_pfnSaved)
        return 0;
    return CallWindowProcW(m_pfnSaved, m_hWnd, nMsg, wParam, lParam);
}

LRESULT CWindowSubclasser::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* pDraw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (pDraw && pDraw->CtlType == ODT_MENU) {
            if (IMenuItemDrawer* pDrawer = FindMenuDrawer(HIWORD(pDraw->itemData))) {
                pDrawer->DrawItem(*pDraw);
                return 0;
            }
        }
        break;
    }
    case WM_MEASUREITEM: {
        MEASUREITEMSTRUCT* pMeasure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (pMeasure && pMeasure->CtlType == ODT_MENU) {
            if (IMenuItemDrawer* pDrawer = FindMenuDrawer(HIWORD(pMeasure->itemData))) {
                pDrawer->MeasureItem(*pMeasure);
                return 0;
            }
        }
        break;
    }
    case WM_DESTROY: {
        LRESULT lResult = Default(nMsg, wParam, lParam);
        m_menus.clear();
        m_wNextMenuId = FIRST_MENU_ID;
        if (m_hWnd)
            Detach();
        return lResult;
    }
    }
    return Default(nMsg, wParam, lParam);
}

WORD CWindowSubclasser::RegisterMenu(HMENU hMenu, std::unique_ptr<IMenuItemDrawer> pDrawer)
{
    WORD wId = m_wNextMenuId;
    m_wNextMenuId = WORD((m_wNextMenuId + 1) | FIRST_MENU_ID);
    m_menus.push_back(TOwnerDrawnMenu{hMenu, wId, std::move(pDrawer)});
    return wId;
}

bool CWindowSubclasser::IsMenuRegistered(HMENU hMenu) const
{
    for (const TOwnerDrawnMenu& menu : m_menus) {
        if (menu.hMenu == hMenu)
            return true;
    }
    return false;
}

IMenuItemDrawer* CWindowSubclasser::FindMenuDrawer(WORD wId)
{
    for (size_t i = m_menus.size(); i-- > 0;) {
        if (!IsMenu(m_menus[i].hMenu)) {
            m_menus.erase(m_menus.begin() + i);
            continue;
        }
        if (m_menus[i].wId == wId)
            return m_menus[i].pDrawer.get();
    }
    return nullptr;
}

} // namespace ZEV
