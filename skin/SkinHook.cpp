#include "skin/SkinHook.h"

#include <cstdlib>

#include "skin/WindowMap.h"

namespace ZEV {

namespace {

const ATOM ATOM_DIALOG = 0x8002;
const ATOM ATOM_SKINNED_1 = 0xC23B;
const ATOM ATOM_SKINNED_2 = 0xC16A;
// Windows of this class are attached at creation even with a menu.
const ATOM ATOM_ATTACH_AT_CREATION = 0xC256;

bool GetInfo(HWND hWnd, WINDOWINFO& info)
{
    info = WINDOWINFO();
    info.cbSize = sizeof(WINDOWINFO);
    return GetWindowInfo(hWnd, &info) != FALSE;
}

} // namespace

CSkinHook* CSkinHook::s_pInstance = nullptr;

CSkinHook::CSkinHook() : m_hHook(nullptr) {}

CSkinHook::~CSkinHook()
{
    if (m_hHook)
        UnhookWindowsHookEx(m_hHook);
}

void CSkinHook::Create(const CWindowSkin& setup)
{
    if (s_pInstance)
        return;
    // The window map must outlive the instance: made first, it is destroyed last.
    CWindowMap::Instance();
    s_pInstance = new CSkinHook();
    std::atexit(&DestroyInstance);
    s_pInstance->CopySkinFrom(setup);
    s_pInstance->m_hHook = SetWindowsHookExW(WH_CBT, &HookProc, nullptr, GetCurrentThreadId());
}

void CSkinHook::DestroyInstance()
{
    delete s_pInstance;
    s_pInstance = nullptr;
}

bool CSkinHook::IsSkinnedWindow(const WINDOWINFO& info)
{
    return info.atomWindowType == ATOM_DIALOG || info.atomWindowType == ATOM_SKINNED_1 ||
           info.atomWindowType == ATOM_SKINNED_2 || (info.dwStyle & WS_DLGFRAME);
}

LRESULT CALLBACK CSkinHook::HookProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    CSkinHook* pHook = s_pInstance;
    HHOOK hHook = pHook ? pHook->m_hHook : nullptr;
    if (!pHook || nCode < 0)
        return CallNextHookEx(hHook, nCode, wParam, lParam);
    const bool bWindowCode = nCode == HCBT_CREATEWND || nCode == HCBT_ACTIVATE ||
                             nCode == HCBT_MOVESIZE || nCode == HCBT_DESTROYWND;
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    WINDOWINFO info;
    if (bWindowCode && GetInfo(hWnd, info) && IsSkinnedWindow(info)) {
        switch (nCode) {
        case HCBT_CREATEWND:
            pHook->OnCreateWindow(
                hWnd, reinterpret_cast<const CBT_CREATEWNDW*>(lParam), info.atomWindowType);
            break;
        case HCBT_ACTIVATE:
        case HCBT_MOVESIZE:
            pHook->OnActivateWindow(hWnd);
            break;
        case HCBT_DESTROYWND:
            pHook->OnDestroyWindow(hWnd);
            break;
        }
    }
    return CallNextHookEx(hHook, nCode, wParam, lParam);
}

int CSkinHook::FindTrackedIndex(HWND hWnd) const
{
    for (size_t i = 0; i < m_tracked.size(); ++i) {
        if (m_tracked[i].hWnd == hWnd)
            return int(i);
    }
    return -1;
}

CWindowSkin* CSkinHook::FindTracked(HWND hWnd) const
{
    int nIndex = FindTrackedIndex(hWnd);
    return nIndex < 0 ? nullptr : m_tracked[nIndex].pSkin.get();
}

void CSkinHook::OnCreateWindow(HWND hWnd, const CBT_CREATEWNDW* pCreate, ATOM atom)
{
    int nIndex = FindTrackedIndex(hWnd);
    if (nIndex >= 0) {
        // A new window cannot own a live skin: the entry is left from a window
        // that went without a destruction notice (a child destroyed with its parent).
        if (m_tracked[nIndex].pSkin->IsAttached())
            return;
        m_held.push_back(std::move(m_tracked[nIndex].pSkin));
        m_tracked.erase(m_tracked.begin() + nIndex);
    }
    auto pSkin = std::make_unique<CWindowSkin>();
    pSkin->CopySkinFrom(*this);
    CWindowSkin* pNew = pSkin.get();
    m_tracked.push_back(TTracked{hWnd, std::move(pSkin)});
    const bool bNoMenu = !pCreate || !pCreate->lpcs || !pCreate->lpcs->hMenu;
    if (bNoMenu || atom == ATOM_ATTACH_AT_CREATION) {
        pNew->SetAttachingAtCreation(true);
        pNew->Attach(hWnd);
        pNew->SetAttachingAtCreation(false);
    }
}

void CSkinHook::OnActivateWindow(HWND hWnd)
{
    CWindowSkin* pSkin = FindTracked(hWnd);
    if (!pSkin || pSkin->IsAttached())
        return;
    if (pSkin->Attach(hWnd))
        PostMessageW(hWnd, WM_ACTIVATE, WA_ACTIVE, 0);
}

void CSkinHook::OnDestroyWindow(HWND hWnd)
{
    // Skins still attached are inside a window's destruction and stay for later.
    for (size_t i = m_held.size(); i-- > 0;) {
        if (!m_held[i]->IsAttached())
            m_held.erase(m_held.begin() + i);
    }
    for (size_t i = m_tracked.size(); i-- > 0;) {
        if (m_tracked[i].hWnd == hWnd || !IsWindow(m_tracked[i].hWnd)) {
            m_held.push_back(std::move(m_tracked[i].pSkin));
            m_tracked.erase(m_tracked.begin() + i);
        }
    }
}

} // namespace ZEV
