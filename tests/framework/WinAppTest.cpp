#include "framework/Afx.h"
#include "tests/framework/TestDialogTemplate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CTestApp : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        ++m_nInit;
        m_bWasRegistered = AfxGetApp() == this;
        return m_bInitAnswer;
    }
    int Run() override
    {
        ++m_nRun;
        return 5;
    }
    int ExitInstance() override
    {
        ++m_nExit;
        return 7;
    }
    BOOL m_bInitAnswer = FALSE;
    bool m_bWasRegistered = false;
    int m_nInit = 0;
    int m_nRun = 0;
    int m_nExit = 0;
};

// Finds the message box by its caption, notes what it shows, and closes it.
struct TMessageBoxCloser {
    static HWND s_hFound;
    static HWND s_hOwner;
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR idEvent, DWORD)
    {
        HWND hBox = ::FindWindowA("#32770", AFX_APP_NAME);
        if (hBox == NULL)
            return;
        ::KillTimer(NULL, idEvent);
        s_hFound = hBox;
        s_hOwner = ::GetWindow(hBox, GW_OWNER);
        ::PostMessageA(hBox, WM_COMMAND, IDCANCEL, 0);
    }
};
HWND TMessageBoxCloser::s_hFound = NULL;
HWND TMessageBoxCloser::s_hOwner = NULL;

} // namespace

TEST(WinAppTest, WinMainRunsInitInstanceThenEitherRunOrExitInstance)
{
    {
        CTestApp app;
        EXPECT_EQ(AfxWinMain(::GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOW), 7);
        EXPECT_TRUE(app.m_bWasRegistered);
        EXPECT_EQ(app.m_nInit, 1);
        EXPECT_EQ(app.m_nRun, 0) << "FALSE ends without the message loop";
        EXPECT_EQ(app.m_nExit, 1);
        EXPECT_STREQ(AfxGetAppName(), "Taplinar");
    }
    {
        CTestApp app;
        app.m_bInitAnswer = TRUE;
        EXPECT_EQ(AfxWinMain(::GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOW), 5);
        EXPECT_EQ(app.m_nRun, 1);
    }
    EXPECT_EQ(AfxGetApp(), nullptr) << "the object is found only while it lives";
    EXPECT_EQ(AfxWinMain(::GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(""), SW_SHOW), -1);
}

TEST(WinAppTest, MessageBoxCarriesTheProgramNameAndSitsOverTheMainWindow)
{
    CWinApp app;
    CTestDialogTemplate tpl(WS_POPUP | WS_CAPTION, 100, 50, L"main");
    CDialog mainDlg;
    ASSERT_TRUE(mainDlg.CreateIndirect(tpl.Get()));
    app.m_pMainWnd = &mainDlg;

    TMessageBoxCloser::s_hFound = NULL;
    UINT_PTR timer = ::SetTimer(NULL, 0, 20, TMessageBoxCloser::OnTick);
    int nAnswer = AfxMessageBox("終了します。よろしいですか？？", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    ::KillTimer(NULL, timer);

    EXPECT_EQ(nAnswer, IDCANCEL);
    EXPECT_NE(TMessageBoxCloser::s_hFound, (HWND)NULL) << "a box captioned with the program's name";
    EXPECT_EQ(TMessageBoxCloser::s_hOwner, mainDlg.m_hWnd);
    app.m_pMainWnd = nullptr;
    mainDlg.DestroyWindow();
}
