#include "tests/e2e/TapFixture.h"

namespace {

const RECT NORMAL_RECT = {100, 60, 900, 400};

std::string MakePlacementIni(bool bMaximized)
{
    return "[main-dlg]\r\nValid=1\r\nSX=100\r\nSY=60\r\nEX=900\r\nEY=400\r\nShow=1\r\nMaximize=" +
           std::string(bMaximized ? "1" : "0") + "\r\n";
}

// Wine answers GetWindowPlacement for another process's window with the window's
// current rectangle, so the normal rectangle is read off a window that is not maximised.
void ExpectNormalRect(HWND hMain)
{
    ASSERT_FALSE(IsZoomed(hMain));
    RECT rc;
    // A display's answer to an earlier maximise may still move the window after
    // the restore; the restore's own answer follows it.
    WaitUntil([&] { return GetWindowRect(hMain, &rc) && EqualRect(&rc, &NORMAL_RECT); }, 10000, 50);
    ASSERT_TRUE(GetWindowRect(hMain, &rc));
    EXPECT_EQ(NORMAL_RECT.left, rc.left);
    EXPECT_EQ(NORMAL_RECT.top, rc.top);
    EXPECT_EQ(NORMAL_RECT.right, rc.right);
    EXPECT_EQ(NORMAL_RECT.bottom, rc.bottom);
}

bool WaitZoomed(HWND hWnd, bool bZoomed, DWORD dwMs)
{
    return WaitUntil([=] { return (IsZoomed(hWnd) != FALSE) == bZoomed; }, dwMs, 50);
}

}  // namespace

class ShutdownTest : public CTapFixture
{
protected:
    // Answers the question shown after the given way out, checking its text and default.
    void AnswerQuestion(int nAnswer)
    {
        HWND hBox = m_app.WaitMessageBox();
        ASSERT_NE(nullptr, hBox) << "leaving must ask";
        EXPECT_EQ(QUIT_QUESTION, GetMessageText(hBox));
        EXPECT_EQ(IDCANCEL, GetDefaultButton(hBox));
        m_app.ClickButton(hBox, nAnswer);
        ASSERT_TRUE(WaitWindowGone(hBox, 10000));
    }
};

TEST_F(ShutdownTest, EnterIsIgnoredAndEveryWayOutAsksFirst)
{
    HWND hMain = StartAndOpen(MakePlacementIni(false));
    ASSERT_NE(nullptr, hMain);
    ExpectNormalRect(hMain);

    m_app.PressKey(hMain, VK_RETURN);
    EXPECT_FALSE(MessageBoxAppears(1500)) << "Enter must not end or ask";
    EXPECT_TRUE(IsWindowVisible(hMain));

    m_app.PressKey(hMain, VK_ESCAPE);
    AnswerQuestion(IDCANCEL);
    m_app.Command(hMain, CMD_EXIT);
    AnswerQuestion(IDCANCEL);
    PostMessageA(hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    AnswerQuestion(IDCANCEL);
    Sleep(300);
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_TRUE(IsWindowVisible(hMain)) << "Cancel keeps the program running";

    m_app.PressKey(hMain, VK_ESCAPE);
    AnswerQuestion(IDOK);
    ASSERT_TRUE(m_app.WaitExit(20000));

    // "Show" is the window's visibility when it is destroyed, after the dialog has ended.
    std::vector<std::string> placement = {"Valid=1", "SX=100", "SY=60", "EX=900", "EY=400", "Show=#", "Maximize=0"};
    ExpectIniSection(m_app.ReadIni(), "main-dlg", placement);
}

// The maximised state comes from the file, as at every start after a maximised close, and
// must outlast the dialog manager's first show of the window.
TEST_F(ShutdownTest, AWindowClosedMaximisedComesBackMaximisedOverItsNormalRectangle)
{
    HWND hMain = StartAndOpen(MakePlacementIni(true));
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitZoomed(hMain, true, 10000));
    ASSERT_TRUE(m_app.Quit(hMain));
    std::string strIni = m_app.ReadIni();
    std::vector<std::string> placement = {"Valid=1", "SX=100", "SY=60", "EX=900", "EY=400", "Show=#", "Maximize=1"};
    ExpectIniSection(strIni, "main-dlg", placement);

    // The next start, from the file just written: maximised, the normal rectangle behind it.
    hMain = StartAndOpen(strIni);
    ASSERT_NE(nullptr, hMain);
    ASSERT_TRUE(WaitZoomed(hMain, true, 10000));
    PostMessageA(hMain, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitZoomed(hMain, false, 10000));
    ExpectNormalRect(hMain);
    EXPECT_TRUE(m_app.Quit(hMain));
}
