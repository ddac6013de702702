#include "app/MainDlg.h"

#include <gtest/gtest.h>

#include <vector>

#include "res/resource.h"
#include "settings/IniProfile.h"
#include "tests/framework/TestDialogTemplate.h"

namespace {

const int ROWS = 200;

// The real main window, brought up without the port dialog.
class CPortlessMainDlg : public CMainDlg
{
public:
    bool OpenPorts() override { return true; }
};

// Moves the mouse to (x, y) on the screen, as the user's hand would.
INPUT MouseAt(int x, int y, DWORD dwButton = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | dwButton;
    return input;
}

class MainDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::DeleteFileA(ZEV::GetDefaultIniPath().c_str());
        ASSERT_TRUE(m_dlg.Create(IDD_TAPLINAR_DIALOG));
        ::SetForegroundWindow(m_dlg.m_hWnd);
        // Each pause marks both views with a row, the way the log fills them.
        for (int i = 0; i < ROWS; ++i)
            m_dlg.GetLog().MarkPause();
        ASSERT_TRUE(PumpUntil([this] { return Count(Left()) == ROWS && Count(Right()) == ROWS; }, 5000));
        PumpMessages();
        ASSERT_GT(Top(Left()), 10) << "the views show their newest rows";
        ASSERT_EQ(Top(Left()), Top(Right()));
    }

    void TearDown() override
    {
        m_dlg.DestroyWindow();
        ::DeleteFileA(ZEV::GetDefaultIniPath().c_str());
    }

    HWND Left() { return m_dlg.m_lbLog1.m_hWnd; }
    HWND Right() { return m_dlg.m_lbLog2.m_hWnd; }
    static int Top(HWND hView) { return static_cast<int>(::SendMessageA(hView, LB_GETTOPINDEX, 0, 0)); }
    static int Count(HWND hView) { return static_cast<int>(::SendMessageA(hView, LB_GETCOUNT, 0, 0)); }
    static int Selected(HWND hView) { return static_cast<int>(::SendMessageA(hView, LB_GETSELCOUNT, 0, 0)); }
    // Moves a view without telling anyone, so that the two views differ.
    static void PlaceTop(HWND hView, int nTop) { ::SendMessageA(hView, LB_SETTOPINDEX, nTop, 0); }

    void Input(std::initializer_list<INPUT> inputs)
    {
        std::vector<INPUT> all(inputs);
        ASSERT_EQ(all.size(), ::SendInput(static_cast<UINT>(all.size()), all.data(), sizeof(INPUT)));
        PumpUntil([] { return false; }, 300);
    }

    bool IsMonitorChecked()
    {
        return (::GetMenuState(::GetMenu(m_dlg.m_hWnd), ID_VIEW_MONITOR, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    CPortlessMainDlg m_dlg;
};

} // namespace

TEST_F(MainDlgTest, ScrollingEitherViewBringsTheOtherToTheSameTopRow)
{
    // Wheel over the right view.
    const int nBottom = Top(Right());
    RECT rc;
    ::GetWindowRect(Right(), &rc);
    ::SendMessageA(Right(), WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), MAKELPARAM(rc.left + 10, rc.top + 10));
    EXPECT_LT(Top(Right()), nBottom);
    EXPECT_EQ(Top(Right()), Top(Left())) << "wheel over the right view";

    // The left view's thumb dragged to the top of its scroll bar.
    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof(bar);
    ASSERT_TRUE(::GetScrollBarInfo(Left(), OBJID_VSCROLL, &bar));
    const int x = (bar.rcScrollBar.left + bar.rcScrollBar.right) / 2;
    const int yThumb = bar.rcScrollBar.top + (bar.xyThumbTop + bar.xyThumbBottom) / 2;
    Input({MouseAt(x, yThumb), MouseAt(x, yThumb, MOUSEEVENTF_LEFTDOWN), MouseAt(x, yThumb - 20),
           MouseAt(x, bar.rcScrollBar.top, 0), MouseAt(x, bar.rcScrollBar.top, MOUSEEVENTF_LEFTUP)});
    EXPECT_EQ(0, Top(Left())) << "the drag reached the left view";
    EXPECT_EQ(0, Top(Right())) << "scroll bar drag on the left view";
}

TEST_F(MainDlgTest, SelectingInOneViewBringsTheOtherToTheSameTopRowButNotTheSelection)
{
    // A click on the first visible row of the left view.
    PlaceTop(Right(), 0);
    const int nTop = Top(Left());
    RECT rcItem;
    ::SendMessageA(Left(), LB_GETITEMRECT, nTop, reinterpret_cast<LPARAM>(&rcItem));
    ::MapWindowPoints(Left(), NULL, reinterpret_cast<POINT*>(&rcItem), 2);
    const int x = rcItem.left + 20, y = (rcItem.top + rcItem.bottom) / 2;
    Input({MouseAt(x, y), MouseAt(x, y, MOUSEEVENTF_LEFTDOWN), MouseAt(x, y, MOUSEEVENTF_LEFTUP)});
    EXPECT_GT(::SendMessageA(Left(), LB_GETSEL, nTop, 0), 0) << "the click selected the row";
    EXPECT_EQ(nTop, Top(Left()));
    EXPECT_EQ(nTop, Top(Right()));
    EXPECT_EQ(0, Selected(Right())) << "only the top row is copied";

    // Ctrl+A in the right view.
    PlaceTop(Left(), 0);
    ::SendMessageA(Right(), WM_CHAR, 1, 0x1E0001);
    EXPECT_EQ(ROWS, Selected(Right()));
    EXPECT_NE(0, Top(Right()));
    EXPECT_EQ(Top(Right()), Top(Left())) << "Ctrl+A in the right view";
    EXPECT_EQ(1, Selected(Left()));
}

TEST_F(MainDlgTest, MonitorItemIsCheckedExactlyWhileMonitoring)
{
    EXPECT_TRUE(m_dlg.IsMonitoring());
    EXPECT_TRUE(IsMonitorChecked()) << "monitoring starts on";

    m_dlg.SendMessage(WM_COMMAND, ID_VIEW_MONITOR);
    EXPECT_FALSE(m_dlg.IsMonitoring());
    EXPECT_FALSE(IsMonitorChecked());
    EXPECT_TRUE(PumpUntil([this] { return Count(Left()) == ROWS + 1 && Count(Right()) == ROWS + 1; }, 2000))
        << "an empty row in both views marks the pause";

    m_dlg.SendMessage(WM_COMMAND, ID_VIEW_MONITOR);
    EXPECT_TRUE(m_dlg.IsMonitoring());
    EXPECT_TRUE(IsMonitorChecked());
}
