#include "framework/Menu.h"

#include "framework/WinApp.h"
#include "support/WideText.h"

#include <cstring>

#include <algorithm>
#include <map>
#include <memory>

namespace {

// Temporary wrappers live as long as the thread; menus are few, so the map
// only drops wrappers of menus that no longer exist when it grows.
std::map<HMENU, std::unique_ptr<CMenu>>& TemporaryMenus()
{
    thread_local std::map<HMENU, std::unique_ptr<CMenu>> map;
    return map;
}

void PruneDeadMenus(std::map<HMENU, std::unique_ptr<CMenu>>& map)
{
    for (auto it = map.begin(); it != map.end();) {
        if (::IsMenu(it->first)) {
            ++it;
            continue;
        }
        it->second->m_hMenu = NULL;
        it = map.erase(it);
    }
}

} // namespace

CMenu::~CMenu()
{
    // Temporary wrappers are detached before they go; an owned menu that is
    // still attached to a window is that window's to destroy.
    m_hMenu = NULL;
}

__attribute__((optimize("no-delete-null-pointer-checks")))
HMENU CMenu::GetSafeHmenu() const
{
    return this == nullptr ? NULL : m_hMenu;
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (hMenu == NULL)
        return nullptr;
    auto& map = TemporaryMenus();
    auto it = map.find(hMenu);
    if (it != map.end())
        return it->second.get();
    if (map.size() >= 32)
        PruneDeadMenus(map);
    std::unique_ptr<CMenu> p(new CMenu);
    p->m_hMenu = hMenu;
    CMenu* pMenu = p.get();
    map.emplace(hMenu, std::move(p));
    return pMenu;
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (hMenu == NULL || m_hMenu != NULL)
        return FALSE;
    m_hMenu = hMenu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    return Attach(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource)));
}

namespace {

// Bitmap and owner-drawn items carry a handle or data where a text would be.
bool IsTextItem(UINT nFlags)
{
    return (nFlags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) == 0;
}

} // namespace

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    return InsertMenu(static_cast<UINT>(-1), nFlags | MF_BYPOSITION, nIDNewItem, lpszNewItem);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    std::wstring strText = ZEV::ToWide(lpszNewItem);
    LPCWSTR pItem = IsTextItem(nFlags) && lpszNewItem != nullptr ? strText.c_str()
                                                                  : reinterpret_cast<LPCWSTR>(lpszNewItem);
    return ::InsertMenuW(m_hMenu, nPosition, nFlags, nIDNewItem, pItem);
}

int CMenu::GetMenuString(UINT nIDItem, LPSTR lpString, int nMaxCount, UINT nFlags) const
{
    wchar_t buffer[256] = {};
    int n = ::GetMenuStringW(m_hMenu, nIDItem, buffer, sizeof buffer / sizeof buffer[0], nFlags);
    std::string strText = ZEV::FromWide(buffer, n > 0 ? n : 0);
    if (nMaxCount <= 0)
        return static_cast<int>(strText.size());
    size_t nCopy = std::min<size_t>(strText.size(), static_cast<size_t>(nMaxCount - 1));
    std::memcpy(lpString, strText.data(), nCopy);
    lpString[nCopy] = '\0';
    return static_cast<int>(nCopy);
}

BOOL CMenu::DestroyMenu()
{
    HMENU hMenu = Detach();
    return hMenu != NULL && ::DestroyMenu(hMenu);
}
