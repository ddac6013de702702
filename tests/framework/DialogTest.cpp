#include "framework/Afx.h"
#include "tests/framework/TestDialogTemplate.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

CTestDialogTemplate ThreeControlTemplate()
{
    // Hidden unless a test shows it: a visible top-level window costs the X11
    // driver more to take away.
    CTestDialogTemplate tpl(WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 120, L"dialog");
    tpl.AddItem(0x83, 1001, WS_BORDER, 5, 5, 60, 40)
        .AddItem(0x85, 1002, CBS_DROPDOWNLIST, 70, 5, 60, 60)
        .AddItem(0x82, 1003, 0, 5, 60, 60, 10, L"label")
        .AddItem(0x80, IDOK, BS_DEFPUSHBUTTON, 140, 5, 50, 14, L"OK")
        .AddItem(0x80, IDCANCEL, 0, 140, 25, 50, 14, L"Cancel");
    return tpl;
}

// Controls that note the order in which they are bound.
std::vector<int>* g_pBindOrder = nullptr;

template <class TBase>
class CNotedControl : public TBase
{
public:
    void PreSubclassWindow() override
    {
        if (g_pBindOrder != nullptr)
            g_pBindOrder->push_back(::GetDlgCtrlID(this->m_hWnd));
        TBase::PreSubclassWindow();
    }
};

class CBindingDlg : public CDialog
{
public:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, 1003, m_label);
        DDX_Control(pDX, 1001, m_list);
        DDX_Control(pDX, 1002, m_combo);
        if (m_bAskForMissing)
            DDX_Control(pDX, 4711, m_missing);
    }
    CNotedControl<CStatic> m_label;
    CNotedControl<CListBox> m_list;
    CNotedControl<CComboBox> m_combo;
    CStatic m_missing;
    bool m_bAskForMissing = false;
};

// Ends itself from its own timer.
class CTimerDlg : public CDialog
{
public:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(7, 20);
        return TRUE;
    }
    void OnTimer(UINT_PTR nIDEvent) override
    {
        if (nIDEvent == 7) {
            KillTimer(7);
            EndDialog(42);
        }
        CDialog::OnTimer(nIDEvent);
    }
};

// Notes its initialisation and its cancellation.
class CNotingDlg : public CDialog
{
public:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_hOwnerAtInit = ::GetWindow(m_hWnd, GW_OWNER);
        if (m_pWatched != nullptr)
            m_bWatchedEnabledAtInit = m_pWatched->IsWindowEnabled();
        ++m_nInit;
        return TRUE;
    }
    void OnCancel() override
    {
        ++m_nCancel;
        CDialog::OnCancel();
    }
    HWND m_hOwnerAtInit = NULL;
    CWnd* m_pWatched = nullptr;
    BOOL m_bWatchedEnabledAtInit = TRUE;
    int m_nInit = 0;
    int m_nCancel = 0;
};

// A thread timer standing in for the user: posts a command to the dialog it
// is given as soon as that dialog has a window.
struct TPoster {
    static CDialog* s_pTarget;
    static WPARAM s_command;
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR idEvent, DWORD)
    {
        if (s_pTarget == nullptr || s_pTarget->m_hWnd == NULL)
            return;
        ::KillTimer(NULL, idEvent);
        ::PostMessageA(s_pTarget->m_hWnd, WM_COMMAND, s_command, 0);
    }
    static UINT_PTR Start(CDialog* pTarget, WPARAM command)
    {
        s_pTarget = pTarget;
        s_command = command;
        return ::SetTimer(NULL, 0, 20, OnTick);
    }
};
CDialog* TPoster::s_pTarget = nullptr;
WPARAM TPoster::s_command = 0;

// Stands in for the skin: a CBT hook that subclasses every dialog with
// SetWindowLongA at creation and puts the previous procedure back after
// passing WM_DESTROY on.
struct TSkinLikeSubclasser {
    static HHOOK s_hHook;
    static std::map<HWND, WNDPROC> s_saved;
    static std::vector<UINT> s_seen;

    static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam)
    {
        if (nCode == HCBT_CREATEWND) {
            HWND hWnd = reinterpret_cast<HWND>(wParam);
            char name[16] = {};
            ::GetClassNameA(hWnd, name, sizeof name);
            if (std::string(name) == "#32770")
                s_saved[hWnd] = reinterpret_cast<WNDPROC>(
                    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
        }
        return ::CallNextHookEx(s_hHook, nCode, wParam, lParam);
    }
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        s_seen.push_back(message);
        WNDPROC saved = s_saved[hWnd];
        LRESULT result = ::CallWindowProcW(saved, hWnd, message, wParam, lParam);
        if (message == WM_DESTROY) {
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
            s_saved.erase(hWnd);
        }
        return result;
    }
    static bool Saw(UINT message)
    {
        for (UINT m : s_seen)
            if (m == message)
                return true;
        return false;
    }
};
HHOOK TSkinLikeSubclasser::s_hHook = NULL;
std::map<HWND, WNDPROC> TSkinLikeSubclasser::s_saved;
std::vector<UINT> TSkinLikeSubclasser::s_seen;

class CCountingDlg : public CDialog
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NCDESTROY)
            ++m_nNcDestroy;
        return CDialog::WindowProc(message, wParam, lParam);
    }
    BOOL OnInitDialog() override
    {
        ++m_nInit;
        return CDialog::OnInitDialog();
    }
    void OnOK() override { ++m_nOK; }
    void PostNcDestroy() override { ++m_nPostNcDestroy; }
    int m_nNcDestroy = 0;
    int m_nInit = 0;
    int m_nOK = 0;
    int m_nPostNcDestroy = 0;
};

} // namespace

TEST(DialogDataExchangeTest, ControlsAreBoundInTheOrderGiven)
{
    std::vector<int> order;
    g_pBindOrder = &order;
    CTestDialogTemplate tpl = ThreeControlTemplate();
    CBindingDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(tpl.Get()));
    g_pBindOrder = nullptr;

    EXPECT_EQ(order, (std::vector<int>{1003, 1001, 1002}));
    EXPECT_EQ(dlg.m_list.m_hWnd, ::GetDlgItem(dlg.m_hWnd, 1001));
    EXPECT_EQ(dlg.GetDlgItem(1002), &dlg.m_combo) << "a bound control is found as its object";

    // A second pass keeps the bindings as they are.
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    dlg.m_bAskForMissing = true;
    EXPECT_FALSE(dlg.UpdateData(TRUE)) << "a control the dialog lacks fails the exchange";
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_list.m_hWnd, (HWND)NULL);
}

TEST(DialogModalTest, EndDialogResultComesBackFromDoModal)
{
    CTestDialogTemplate tpl = ThreeControlTemplate();
    CTimerDlg dlg;
    dlg.InitModalIndirect(tpl.Get());
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.m_nModalResult, 42);
    EXPECT_EQ(dlg.m_hWnd, (HWND)NULL) << "the window is gone once DoModal returns";

    CDialog missing(4711u);  // no such template in the test program
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST(DialogModalTest, PostedCancelCommandEndsTheDialogThroughOnCancel)
{
    CTestDialogTemplate tpl = ThreeControlTemplate();
    CNotingDlg dlg;
    dlg.InitModalIndirect(tpl.Get());
    UINT_PTR timer = TPoster::Start(&dlg, IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ::KillTimer(NULL, timer);
    EXPECT_EQ(dlg.m_nInit, 1);
    EXPECT_EQ(dlg.m_nCancel, 1);
}

TEST(DialogModalTest, DialogWithoutParentIsOwnedByTheMainWindowAndReleasesIt)
{
    CWinApp app;
    CTestDialogTemplate tpl = ThreeControlTemplate();
    CDialog mainDlg;
    ASSERT_TRUE(mainDlg.CreateIndirect(tpl.Get()));
    app.m_pMainWnd = &mainDlg;

    CNotingDlg dlg;
    dlg.m_pWatched = &mainDlg;
    dlg.InitModalIndirect(tpl.Get());
    UINT_PTR timer = TPoster::Start(&dlg, IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ::KillTimer(NULL, timer);

    EXPECT_EQ(dlg.m_hOwnerAtInit, mainDlg.m_hWnd);
    EXPECT_FALSE(dlg.m_bWatchedEnabledAtInit) << "the owner is disabled while the dialog runs";
    EXPECT_TRUE(mainDlg.IsWindowEnabled());
    app.m_pMainWnd = nullptr;
    mainDlg.DestroyWindow();
}

TEST(DialogSubclassStackTest, SkinStyleSubclassOnTopKeepsBothWorkingAndUnwindsOnDestroy)
{
    TSkinLikeSubclasser::s_seen.clear();
    TSkinLikeSubclasser::s_hHook = ::SetWindowsHookExA(WH_CBT, TSkinLikeSubclasser::Hook, NULL,
                                                      ::GetCurrentThreadId());
    ASSERT_NE(TSkinLikeSubclasser::s_hHook, (HHOOK)NULL);
    CTestDialogTemplate tpl = ThreeControlTemplate();
    CCountingDlg dlg;
    BOOL bCreated = dlg.CreateIndirect(tpl.Get());
    ::UnhookWindowsHookEx(TSkinLikeSubclasser::s_hHook);
    ASSERT_TRUE(bCreated);
    HWND hWnd = dlg.m_hWnd;

    // The other subclass sits on top of ours and hands on to us.
    EXPECT_EQ(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(TSkinLikeSubclasser::Proc));
    EXPECT_EQ(TSkinLikeSubclasser::s_saved[hWnd], AfxWndProc);
    EXPECT_TRUE(TSkinLikeSubclasser::Saw(WM_INITDIALOG));
    EXPECT_EQ(dlg.m_nInit, 1);

    ::SendMessageA(hWnd, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dlg.m_nOK, 1);

    ::DestroyWindow(hWnd);
    EXPECT_EQ(TSkinLikeSubclasser::s_saved.count(hWnd), 0u);
    EXPECT_EQ(dlg.m_nNcDestroy, 1) << "our procedure was back in place for the last message";
    EXPECT_EQ(dlg.m_nPostNcDestroy, 1);
    EXPECT_EQ(dlg.m_hWnd, (HWND)NULL);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}
