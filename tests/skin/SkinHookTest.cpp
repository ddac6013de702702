#include <gtest/gtest.h>

#include "skin/SkinHook.h"
#include "skin/SkinSetup.h"
#include "skin/WindowMap.h"
#include "tests/skin/SkinTestSupport.h"

using namespace ZEV;

namespace {

bool IsSkinned(HWND hWnd)
{
    CWindowSubclasser* pSubclasser = CWindowSubclasser::FromHandle(hWnd);
    return pSubclasser && pSubclasser->GetHwnd() == hWnd &&
           reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) ==
               CWindowSubclasser::GetCommonWindowProc() &&
           CSkinHook::GetInstance()->FindTracked(hWnd) == pSubclasser;
}

// The client area's top-left corner in window coordinates.
POINT ClientOrigin(HWND hWnd)
{
    RECT rcWindow = {};
    GetWindowRect(hWnd, &rcWindow);
    POINT pt = {0, 0};
    ClientToScreen(hWnd, &pt);
    pt.x -= rcWindow.left;
    pt.y -= rcWindow.top;
    return pt;
}

struct TMessageBoxProbe
{
    bool bFound = false;
    bool bSkinned = false;
    int nTicks = 0;
};
TMessageBoxProbe g_probe;

BOOL CALLBACK FindMessageBox(HWND hWnd, LPARAM lParam)
{
    char szClass[16] = {};
    char szTitle[64] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    if (strcmp(szClass, "#32770") != 0 || strcmp(szTitle, "確認") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR nId, DWORD)
{
    HWND hBox = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMessageBox, reinterpret_cast<LPARAM>(&hBox));
    if (!hBox && ++g_probe.nTicks < 200)
        return;
    KillTimer(nullptr, nId);
    if (!hBox)
        return;
    g_probe.bFound = true;
    g_probe.bSkinned = IsSkinned(hBox);
    PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

} // namespace

TEST(SkinHookTest, InstallingTwiceKeepsTheFirstInstallation)
{
    skintest::EnsureSkinInstalled();
    CSkinHook* pFirst = CSkinHook::GetInstance();
    ASSERT_NE(nullptr, pFirst);
    HHOOK hHook = pFirst->GetHookHandle();
    ASSERT_NE(nullptr, hHook);

    TSkinColors colors;
    colors.activeCaptionColor = 0x00FF00;
    colors.textColor = 0x0000FF;
    SetupSkin(colors, nullptr, nullptr, 3);

    EXPECT_EQ(pFirst, CSkinHook::GetInstance());
    EXPECT_EQ(hHook, pFirst->GetHookHandle());
    EXPECT_EQ(skintest::ACTIVE_CAPTION, pFirst->GetCaptionPainter().GetActiveColor());
    EXPECT_EQ(0x000000u, pFirst->GetTextColor());
    EXPECT_TRUE(pFirst->GetButton(CWindowSkin::SLOT_CLOSE).HasImage());
}

TEST(SkinHookTest, DialogCreatedAfterInstallationIsSkinnedWithoutCodeOfItsOwn)
{
    skintest::EnsureSkinInstalled();
    HWND hDlg = skintest::CreateTestDialog("ポート設定");
    ASSERT_NE(nullptr, hDlg);
    EXPECT_TRUE(IsSkinned(hDlg));

    // The client area sits below the skin's caption, inside its frame.
    CWindowSkin* pSkin = CSkinHook::GetInstance()->FindTracked(hDlg);
    ASSERT_NE(nullptr, pSkin);
    EXPECT_EQ(GetSystemMetrics(SM_CXFIXEDFRAME), pSkin->GetFrameWidth());
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), pSkin->GetCaptionHeight());
    POINT ptClient = ClientOrigin(hDlg);
    EXPECT_EQ(pSkin->GetFrameWidth(), ptClient.x);
    EXPECT_EQ(pSkin->GetFrameHeight() + pSkin->GetCaptionHeight(), ptClient.y);

    // A dialog without minimise and maximise boxes has the close button only,
    // scaleX(6) from the right edge.
    RECT rcWindow = {};
    GetWindowRect(hDlg, &rcWindow);
    RECT rcClose = pSkin->GetButtonRect(CWindowSkin::SLOT_CLOSE);
    EXPECT_EQ(rcWindow.right - rcWindow.left + ScaleX(-6), rcClose.right);
    EXPECT_EQ(ScaleY(5), rcClose.top);
    EXPECT_FALSE(pSkin->GetButton(CWindowSkin::SLOT_MINIMIZE).visible);
    EXPECT_FALSE(pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).visible);
    DestroyWindow(hDlg);
}

TEST(SkinHookTest, MessageBoxIsSkinned)
{
    skintest::EnsureSkinInstalled();
    g_probe = TMessageBoxProbe();
    SetTimer(nullptr, 0, 20, &CloseMessageBox);
    int nResult = MessageBoxA(nullptr, "保存に失敗しました。", "確認", MB_OK);
    EXPECT_EQ(IDOK, nResult);
    EXPECT_TRUE(g_probe.bFound);
    EXPECT_TRUE(g_probe.bSkinned);
}

TEST(SkinHookTest, WindowWithMenuIsAttachedAtFirstActivationAndToldItIsActive)
{
    skintest::EnsureSkinInstalled();
    HMENU hMenu = CreateMenu();
    HMENU hFile = CreatePopupMenu();
    AppendMenuA(hFile, MF_STRING, 100, "ログ書き出し(&S)...\tCtrl+S");
    AppendMenuA(hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hFile), "ファイル(&F)");
    AppendMenuA(hMenu, MF_STRING, 101, "ヘルプ(&H)");
    HWND hWnd = CreateWindowExA(0, "#32770", "Taplinar", WS_POPUP | WS_CAPTION | WS_SYSMENU |
                                WS_MINIMIZEBOX, 60, 60, 400, 240, nullptr, hMenu,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, hWnd);
    ASSERT_NE(nullptr, CSkinHook::GetInstance()->FindTracked(hWnd));
    EXPECT_EQ(nullptr, CWindowSubclasser::FromHandle(hWnd));

    ShowWindow(hWnd, SW_SHOW);
    SetActiveWindow(hWnd);
    EXPECT_TRUE(IsSkinned(hWnd));
    MSG msg = {};
    ASSERT_TRUE(skintest::TakePosted(hWnd, WM_ACTIVATE, msg));
    EXPECT_EQ(WPARAM(WA_ACTIVE), msg.wParam);
    EXPECT_EQ(0, msg.lParam);

    // The menu bar is drawn by the skin: owner-drawn items with their position
    // and the first registration id in the item data.
    for (int i = 0; i < 2; ++i) {
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        ASSERT_TRUE(GetMenuItemInfoA(hMenu, i, TRUE, &mii));
        EXPECT_TRUE(mii.fType & MFT_OWNERDRAW) << i;
        EXPECT_EQ(MAKELONG(i, 0x8000), LONG(mii.dwItemData)) << i;
    }
    // Frame, caption and menu bar lie above the client area.
    CWindowSkin* pSkin = CSkinHook::GetInstance()->FindTracked(hWnd);
    MENUBARINFO mbi = {};
    mbi.cbSize = sizeof(mbi);
    ASSERT_TRUE(GetMenuBarInfo(hWnd, OBJID_MENU, 0, &mbi));
    EXPECT_EQ(pSkin->GetFrameHeight() + pSkin->GetCaptionHeight() +
                  (mbi.rcBar.bottom - mbi.rcBar.top + 1),
              ClientOrigin(hWnd).y);

    // An item replaced later is taken over again when the menu loop starts.
    ModifyMenuA(hMenu, 1, MF_BYPOSITION | MF_STRING, 101, "ヘルプ(&H)");
    SendMessageA(hWnd, WM_INITMENU, reinterpret_cast<WPARAM>(hMenu), 0);
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoA(hMenu, 1, TRUE, &mii));
    EXPECT_TRUE(mii.fType & MFT_OWNERDRAW);
    EXPECT_EQ(MAKELONG(1, 0x8001), LONG(mii.dwItemData));
    skintest::PumpMessages();
    DestroyWindow(hWnd);
}

TEST(SkinHookTest, LateActivationNoticeDoesNotTakeActivationBack)
{
    skintest::EnsureSkinInstalled();
    HWND hMain = CreateWindowExA(0, "#32770", "Taplinar", WS_POPUP | WS_CAPTION | WS_SYSMENU, 60,
                                 60, 300, 200, nullptr, CreateMenu(), GetModuleHandleA(nullptr),
                                 nullptr);
    ASSERT_NE(nullptr, hMain);
    AppendMenuA(GetMenu(hMain), MF_STRING, 101, "ヘルプ(&H)");
    ShowWindow(hMain, SW_SHOW);
    SetActiveWindow(hMain);
    ASSERT_TRUE(IsSkinned(hMain));
    // Another window is activated before the posted notice is handled.
    HWND hOther = skintest::CreateTestDialog("ポート設定");
    ASSERT_EQ(hOther, GetActiveWindow());
    skintest::PumpMessages();

    EXPECT_EQ(hOther, GetActiveWindow());
    EXPECT_FALSE(CSkinHook::GetInstance()->FindTracked(hMain)->IsActive());
    EXPECT_TRUE(CSkinHook::GetInstance()->FindTracked(hOther)->IsActive());
    DestroyWindow(hOther);
    DestroyWindow(hMain);
}

TEST(SkinHookTest, CaptionlessChildDialogKeepsItsWholeArea)
{
    skintest::EnsureSkinInstalled();
    HWND hParent = skintest::CreateTestDialog("ログ設定");
    std::vector<WORD> tmpl = skintest::MakeDialogTemplate("", WS_CHILD | WS_VISIBLE, 80, 40);
    HWND hPage = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEA>(tmpl.data()), hParent,
                                            nullptr, 0);
    ASSERT_NE(nullptr, hPage);
    EXPECT_TRUE(IsSkinned(hPage));
    RECT rcWindow = {}, rcClient = {};
    GetWindowRect(hPage, &rcWindow);
    GetClientRect(hPage, &rcClient);
    EXPECT_EQ(0, ClientOrigin(hPage).x);
    EXPECT_EQ(0, ClientOrigin(hPage).y);
    EXPECT_EQ(rcWindow.right - rcWindow.left, rcClient.right);
    EXPECT_EQ(rcWindow.bottom - rcWindow.top, rcClient.bottom);
    EXPECT_FALSE(CSkinHook::GetInstance()->FindTracked(hPage)->GetButton(CWindowSkin::SLOT_CLOSE).visible);
    DestroyWindow(hParent);
}

TEST(SkinHookTest, MaximiseAndRestoreKeepTheirRectanglesAndButtons)
{
    skintest::EnsureSkinInstalled();
    HWND hWnd = CreateWindowExA(0, "#32770", "Taplinar",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                    WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                                100, 60, 500, 300, nullptr, CreateMenu(), GetModuleHandleA(nullptr),
                                nullptr);
    ASSERT_NE(nullptr, hWnd);
    AppendMenuA(GetMenu(hWnd), MF_STRING, 101, "ヘルプ(&H)");
    ShowWindow(hWnd, SW_SHOW);
    SetActiveWindow(hWnd);
    skintest::PumpMessages();
    CWindowSkin* pSkin = CSkinHook::GetInstance()->FindTracked(hWnd);
    ASSERT_TRUE(pSkin && pSkin->IsAttached());

    ShowWindow(hWnd, SW_MAXIMIZE);
    skintest::PumpMessages();
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    EXPECT_TRUE(IsZoomed(hWnd));
    EXPECT_GE(rc.right - rc.left, GetSystemMetrics(SM_CXSCREEN));
    SendMessageA(hWnd, WM_NCHITTEST, 0, 0);  // refreshes the buttons
    EXPECT_TRUE(pSkin->GetButton(CWindowSkin::SLOT_RESTORE).visible);
    EXPECT_FALSE(pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).visible);
    // Painting settles: nothing keeps posting itself.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, hWnd, 0, 0, PM_NOREMOVE));

    ShowWindow(hWnd, SW_RESTORE);
    skintest::PumpMessages();
    GetWindowRect(hWnd, &rc);
    EXPECT_FALSE(IsZoomed(hWnd));
    EXPECT_EQ(100, rc.left);
    EXPECT_EQ(60, rc.top);
    EXPECT_EQ(600, rc.right);
    EXPECT_EQ(360, rc.bottom);
    SendMessageA(hWnd, WM_NCHITTEST, 0, 0);
    EXPECT_TRUE(pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).visible);
    EXPECT_FALSE(pSkin->GetButton(CWindowSkin::SLOT_RESTORE).visible);
    DestroyWindow(hWnd);
}

TEST(SkinHookTest, WindowsThatAreNotDialogsStayUnskinned)
{
    skintest::EnsureSkinInstalled();
    HWND hWnd = CreateWindowExA(0, "STATIC", "plain", WS_POPUP | WS_BORDER, 0, 0, 50, 50, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, hWnd);
    EXPECT_EQ(nullptr, CSkinHook::GetInstance()->FindTracked(hWnd));
    EXPECT_EQ(nullptr, CWindowSubclasser::FromHandle(hWnd));
    DestroyWindow(hWnd);
}

TEST(SkinHookTest, SkinnedWindowsEndCleanly)
{
    skintest::EnsureSkinInstalled();
    skintest::PumpMessages();
    const int nMapBefore = CWindowMap::Instance().GetCount();
    const int nTrackedBefore = CSkinHook::GetInstance()->GetTrackedCount();
    // Every window skin shares the hook's images; the count shows skins still alive.
    const CSharedBitmap& frame = CSkinHook::GetInstance()->GetFrameImage();
    const long nSharesBefore = frame.GetRefCount() - CSkinHook::GetInstance()->GetHeldCount();

    std::vector<HWND> windows;
    for (int i = 0; i < 5; ++i)
        windows.push_back(skintest::CreateTestDialog("ログ設定"));
    EXPECT_EQ(nMapBefore + 5, CWindowMap::Instance().GetCount());
    EXPECT_EQ(nTrackedBefore + 5, CSkinHook::GetInstance()->GetTrackedCount());
    EXPECT_EQ(nSharesBefore + 5, frame.GetRefCount() - CSkinHook::GetInstance()->GetHeldCount());
    for (HWND hWnd : windows)
        EXPECT_TRUE(DestroyWindow(hWnd));
    skintest::PumpMessages();

    EXPECT_EQ(nMapBefore, CWindowMap::Instance().GetCount());
    EXPECT_EQ(nTrackedBefore, CSkinHook::GetInstance()->GetTrackedCount());
    // At most the skin of the window destroyed last waits for deletion.
    EXPECT_LE(CSkinHook::GetInstance()->GetHeldCount(), 1);
    EXPECT_EQ(nSharesBefore, frame.GetRefCount() - CSkinHook::GetInstance()->GetHeldCount());
    for (HWND hWnd : windows)
        EXPECT_EQ(nullptr, CWindowSubclasser::FromHandle(hWnd));
}

namespace {

WNDPROC g_pfnBelow = nullptr;
int g_nOuterDestroyCalls = 0;

LRESULT CALLBACK OuterProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_NCDESTROY)
        ++g_nOuterDestroyCalls;
    return CallWindowProcW(g_pfnBelow, hWnd, nMsg, wParam, lParam);
}

} // namespace

TEST(SkinHookTest, WindowSubclassedAgainAfterTheSkinStillEndsCleanly)
{
    skintest::EnsureSkinInstalled();
    const int nMapBefore = CWindowMap::Instance().GetCount();
    HWND hDlg = skintest::CreateTestDialog("バージョン情報");
    ASSERT_TRUE(IsSkinned(hDlg));
    // A framework window object subclasses the dialog on top of the skin.
    g_nOuterDestroyCalls = 0;
    g_pfnBelow = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hDlg, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
    ASSERT_EQ(CWindowSubclasser::GetCommonWindowProc(), g_pfnBelow);
    SetWindowTextA(hDlg, "バージョン情報 2");

    EXPECT_TRUE(DestroyWindow(hDlg));
    EXPECT_EQ(1, g_nOuterDestroyCalls);
    EXPECT_EQ(nMapBefore, CWindowMap::Instance().GetCount());
    EXPECT_EQ(nullptr, CWindowSubclasser::FromHandle(hDlg));
}
