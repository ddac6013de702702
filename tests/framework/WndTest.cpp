#include "framework/Afx.h"
#include "tests/framework/TestDialogTemplate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A list box object that notes what passes through it.
class CCountingListBox : public CListBox
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_seen.push_back(message);
        return CListBox::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override { ++m_nPostNcDestroy; }
    void DrawItem(LPDRAWITEMSTRUCT p) override { m_drawn.push_back(static_cast<int>(p->itemID)); }

    bool Saw(UINT message) const
    {
        for (UINT m : m_seen)
            if (m == message)
                return true;
        return false;
    }

    std::vector<UINT> m_seen;
    std::vector<int> m_drawn;
    int m_nPostNcDestroy = 0;
};

class CNotedCombo : public CComboBox
{
public:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (message == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE)
            ++m_nSelChange;
        return CComboBox::OnChildNotify(message, wParam, lParam, pResult);
    }
    int m_nSelChange = 0;
};

class CHostDlg : public CDialog
{
public:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == CBN_SELCHANGE)
            ++m_nSelChangeSeenByParent;
        return CDialog::OnCommand(wParam, lParam);
    }
    int m_nSelChangeSeenByParent = 0;
};

HWND CreatePlainListBox()
{
    return ::CreateWindowExA(0, "LISTBOX", "", WS_OVERLAPPEDWINDOW | LBS_HASSTRINGS, 0, 0, 200, 200,
                             NULL, NULL, ::GetModuleHandleA(NULL), NULL);
}

} // namespace

TEST(WndSubclassTest, SubclassedControlStillReachesItsSavedProcedure)
{
    HWND hWnd = CreatePlainListBox();
    ASSERT_NE(hWnd, (HWND)NULL);
    LONG_PTR original = ::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);

    CCountingListBox box;
    ASSERT_TRUE(box.SubclassWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &box);
    EXPECT_EQ(box.AddString("one"), 0);
    EXPECT_EQ(box.AddString("two"), 1);

    // The real list box stored the lines, and our object saw the requests.
    EXPECT_EQ(box.GetCount(), 2);
    std::string text;
    box.GetText(1, text);
    EXPECT_EQ(text, "two");
    EXPECT_TRUE(box.Saw(LB_ADDSTRING));

    EXPECT_EQ(box.UnsubclassWindow(), hWnd);
    EXPECT_EQ(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    ::DestroyWindow(hWnd);
}

TEST(WndSubclassTest, DestroyingAWindowDetachesItsObjectAndRestoresTheProcedure)
{
    HWND hWnd = CreatePlainListBox();
    CCountingListBox box;
    ASSERT_TRUE(box.SubclassWindow(hWnd));
    EXPECT_FALSE(CCountingListBox().SubclassWindow(hWnd)) << "one object per window";

    ::DestroyWindow(hWnd);
    EXPECT_TRUE(box.Saw(WM_NCDESTROY));
    EXPECT_EQ(box.m_nPostNcDestroy, 1);
    EXPECT_EQ(box.m_hWnd, (HWND)NULL);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(WndSubclassTest, CreateBindsTheWindowBeforeItsFirstMessage)
{
    CCountingListBox box;
    RECT rc = {0, 0, 100, 100};
    ASSERT_TRUE(box.CreateEx(0, "LISTBOX", "", WS_POPUP, rc, nullptr, 0));
    ASSERT_FALSE(box.m_seen.empty());
    // The creation messages themselves went through the object.
    EXPECT_TRUE(box.Saw(WM_NCCREATE));
    EXPECT_TRUE(box.Saw(WM_CREATE));
    EXPECT_TRUE(box.DestroyWindow());
    EXPECT_EQ(box.m_hWnd, (HWND)NULL);
}

TEST(WndSubclassTest, FromHandleGivesTheBoundObjectOrAWrapperOfTheHandle)
{
    HWND hBound = CreatePlainListBox();
    HWND hLoose = CreatePlainListBox();
    CListBox box;
    ASSERT_TRUE(box.SubclassWindow(hBound));

    EXPECT_EQ(CWnd::FromHandle(hBound), &box);
    CWnd* pLoose = CWnd::FromHandle(hLoose);
    ASSERT_NE(pLoose, nullptr);
    EXPECT_EQ(pLoose->m_hWnd, hLoose);
    EXPECT_EQ(CWnd::FromHandlePermanent(hLoose), nullptr);
    EXPECT_EQ(CWnd::FromHandle(hLoose), pLoose) << "one wrapper per handle";
    EXPECT_EQ(CWnd::FromHandle(NULL), nullptr);
    CWnd* volatile pNone = nullptr;  // as callers hand on a missing parent
    EXPECT_EQ(pNone->GetSafeHwnd(), (HWND)NULL);

    ::DestroyWindow(hLoose);
    ::DestroyWindow(hBound);
}

TEST(WndReflectionTest, OwnerDrawnRowsAreDrawnByTheListBoxObject)
{
    CTestDialogTemplate tpl(WS_POPUP | WS_VISIBLE | WS_CAPTION, 200, 120, L"reflect");
    tpl.AddItem(0x83, 1000, WS_BORDER | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 5, 5, 150, 80);
    CHostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(tpl.Get()));
    CCountingListBox box;
    ASSERT_TRUE(box.SubclassDlgItem(1000, &dlg));

    box.AddString("a");
    box.AddString("b");
    box.RedrawWindow();
    PumpMessages();
    ASSERT_FALSE(box.m_drawn.empty());
    EXPECT_EQ(box.m_drawn.front(), 0);
    dlg.DestroyWindow();
}

TEST(WndReflectionTest, ControlNotificationsReachTheControlObjectAndThenItsParent)
{
    CTestDialogTemplate tpl(WS_POPUP | WS_CAPTION, 200, 120, L"reflect");
    tpl.AddItem(0x85, 1004, CBS_DROPDOWNLIST | WS_VSCROLL, 5, 5, 100, 80);
    CHostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(tpl.Get()));
    CNotedCombo combo;
    ASSERT_TRUE(combo.SubclassDlgItem(1004, &dlg));
    combo.AddString("COM1");
    combo.AddString("COM2");
    combo.SetCurSel(0);

    // A key press changes the selection the way a user does, so the system
    // box sends CBN_SELCHANGE to its parent.
    combo.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_EQ(combo.m_nSelChange, 1);
    EXPECT_EQ(dlg.m_nSelChangeSeenByParent, 1);
    dlg.DestroyWindow();
}
