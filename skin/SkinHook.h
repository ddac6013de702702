#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "skin/WindowSkin.h"

namespace ZEV {

// The one installed skin: a copy of the set-up object's elements, the CBT hook
// of the installing thread and the skins of the windows it tracks.
class CSkinHook : public CWindowSkin
{
public:
    ~CSkinHook() override;

    static CSkinHook* GetInstance() { return s_pInstance; }
    // Makes the instance from the set-up object and hooks the calling thread;
    // does nothing when an instance exists. Destroyed at process exit.
    static void Create(const CWindowSkin& setup);

    HHOOK GetHookHandle() const { return m_hHook; }
    CWindowSkin* FindTracked(HWND hWnd) const;
    int GetTrackedCount() const { return int(m_tracked.size()); }
    // Skins of destroyed windows not yet deleted.
    int GetHeldCount() const { return int(m_held.size()); }

    // Class atoms of windows skinned whatever their style; the dialog class first.
    static bool IsSkinnedWindow(const WINDOWINFO& info);

private:
    struct TTracked
    {
        HWND hWnd;
        std::unique_ptr<CWindowSkin> pSkin;
    };

    CSkinHook();

    static LRESULT CALLBACK HookProc(int nCode, WPARAM wParam, LPARAM lParam);
    static void DestroyInstance();

    void OnCreateWindow(HWND hWnd, const CBT_CREATEWNDW* pCreate, ATOM atom);
    void OnActivateWindow(HWND hWnd);
    void OnDestroyWindow(HWND hWnd);
    int FindTrackedIndex(HWND hWnd) const;

    static CSkinHook* s_pInstance;

    std::vector<TTracked> m_tracked;
    HHOOK m_hHook;
    // The skin of the window destroyed last; it still sees that window's
    // WM_DESTROY, so it is deleted at the next destruction.
    std::vector<std::unique_ptr<CWindowSkin>> m_held;
};

} // namespace ZEV
