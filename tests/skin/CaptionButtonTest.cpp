#include <gtest/gtest.h>

#include "skin/SkinHook.h"
#include "skin/SkinSetup.h"
#include "tests/skin/SkinTestSupport.h"

using namespace ZEV;

namespace {

TCaptionButton Button(int x, int y)
{
    TCaptionButton button;
    button.x = x;
    button.y = y;
    button.w = 14;
    button.h = 15;
    button.visible = true;
    return button;
}

void ExpectRect(const RECT& rc, int nLeft, int nTop, int nRight, int nBottom)
{
    EXPECT_EQ(nLeft, rc.left);
    EXPECT_EQ(nTop, rc.top);
    EXPECT_EQ(nRight, rc.right);
    EXPECT_EQ(nBottom, rc.bottom);
}

// One window for the whole suite, so that no test pays for a top-level
// window's coming and going.
class CaptionButtonWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        skintest::EnsureSkinInstalled();
        s_hWnd = skintest::CreateTestDialog("ボタン", WS_POPUP | WS_CAPTION | WS_SYSMENU |
                                                          WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                                                          DS_MODALFRAME);
    }
    static void TearDownTestSuite()
    {
        if (s_hWnd)
            DestroyWindow(s_hWnd);
        s_hWnd = nullptr;
    }
    void SetUp() override
    {
        m_hWnd = s_hWnd;
        ASSERT_NE(nullptr, m_hWnd);
        m_pSkin = CSkinHook::GetInstance()->FindTracked(m_hWnd);
        ASSERT_NE(nullptr, m_pSkin);
        EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
        MSG msg;
        while (skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg)) {
        }
    }

    static HWND s_hWnd;

    POINT CloseCentre() const
    {
        return skintest::ScreenCentre(m_hWnd, m_pSkin->GetButtonRect(CWindowSkin::SLOT_CLOSE));
    }
    LPARAM ClientPoint(POINT ptScreen) const
    {
        ScreenToClient(m_hWnd, &ptScreen);
        return MAKELPARAM(ptScreen.x, ptScreen.y);
    }
    void PressClose()
    {
        POINT pt = CloseCentre();
        SendMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(pt.x, pt.y));
    }

    HWND m_hWnd = nullptr;
    CWindowSkin* m_pSkin = nullptr;
};

HWND CaptionButtonWindowTest::s_hWnd = nullptr;

} // namespace

TEST(CaptionButtonTest, RectanglesCountNegativePositionsFromTheFarEdges)
{
    // 96 pixels per inch: close, maximise, minimise.
    ExpectRect(Button(-6, 5).GetRect(300, 200), 280, 5, 294, 20);
    ExpectRect(Button(-23, 5).GetRect(300, 200), 263, 5, 277, 20);
    ExpectRect(Button(-40, 5).GetRect(300, 200), 246, 5, 260, 20);
    // 120 pixels per inch.
    ExpectRect(Button(ScaleByDpi(-6, 120), ScaleByDpi(5, 120)).GetRect(300, 200), 279, 6, 293, 21);
    ExpectRect(Button(ScaleByDpi(-23, 120), 6).GetRect(300, 200), 258, 6, 272, 21);
    ExpectRect(Button(ScaleByDpi(-40, 120), 6).GetRect(300, 200), 236, 6, 250, 21);
    // Non-negative positions count from the left and top; a negative y from the bottom.
    ExpectRect(Button(0, 0).GetRect(300, 200), 0, 0, 14, 15);
    ExpectRect(Button(3, -4).GetRect(300, 200), 3, 181, 17, 196);
    TCaptionButton hidden = Button(-6, 5);
    hidden.visible = false;
    RECT rcHidden = hidden.GetRect(300, 200);
    EXPECT_TRUE(IsRectEmpty(&rcHidden));
}

TEST_F(CaptionButtonWindowTest, HitTestAnswersButtonsCaptionAndClient)
{
    RECT rcWindow = {};
    GetWindowRect(m_hWnd, &rcWindow);
    const int nWidth = rcWindow.right - rcWindow.left;
    // Close, maximise and minimise are at -6, -23 and -40 from the right edge.
    EXPECT_EQ(nWidth + ScaleX(-6), m_pSkin->GetButtonRect(CWindowSkin::SLOT_CLOSE).right);
    EXPECT_EQ(nWidth + ScaleX(-23), m_pSkin->GetButtonRect(CWindowSkin::SLOT_MAXIMIZE).right);
    EXPECT_EQ(nWidth + ScaleX(-40), m_pSkin->GetButtonRect(CWindowSkin::SLOT_MINIMIZE).right);
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_RESTORE).visible);

    struct
    {
        int nSlot;
        LRESULT nExpected;
    } const buttons[] = {{CWindowSkin::SLOT_CLOSE, HTCLOSE},
                         {CWindowSkin::SLOT_MAXIMIZE, HTMAXBUTTON},
                         {CWindowSkin::SLOT_MINIMIZE, HTMINBUTTON}};
    for (const auto& b : buttons) {
        POINT pt = skintest::ScreenCentre(m_hWnd, m_pSkin->GetButtonRect(b.nSlot));
        EXPECT_EQ(b.nExpected, SendMessageA(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)))
            << b.nSlot;
    }
    // Caption text area, and the client.
    POINT ptCaption = {rcWindow.left + nWidth / 2,
                       rcWindow.top + m_pSkin->GetFrameHeight() + m_pSkin->GetCaptionHeight() / 2};
    EXPECT_EQ(HTCAPTION, SendMessageA(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(ptCaption.x, ptCaption.y)));
    POINT ptClient = {5, 5};
    ClientToScreen(m_hWnd, &ptClient);
    EXPECT_EQ(HTCLIENT, SendMessageA(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(ptClient.x, ptClient.y)));
}

TEST_F(CaptionButtonWindowTest, CloseReleasedElsewhereSendsNothingAndOnItPostsClose)
{
    PressClose();
    EXPECT_EQ(CWindowSkin::SLOT_CLOSE, m_pSkin->GetPressedButton());
    EXPECT_TRUE(m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).pressed);
    EXPECT_EQ(m_hWnd, GetCapture());

    // Dragged off the button: it no longer looks pressed.
    POINT ptInside = {5, 5};
    SendMessageA(m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(ptInside.x, ptInside.y));
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).pressed);
    SendMessageA(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(ptInside.x, ptInside.y));
    EXPECT_EQ(CWindowSkin::NO_BUTTON, m_pSkin->GetPressedButton());
    EXPECT_EQ(nullptr, GetCapture());
    MSG msg;
    EXPECT_FALSE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));

    PressClose();
    SendMessageA(m_hWnd, WM_LBUTTONUP, 0, ClientPoint(CloseCentre()));
    EXPECT_EQ(CWindowSkin::NO_BUTTON, m_pSkin->GetPressedButton());
    ASSERT_TRUE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));
    EXPECT_EQ(WPARAM(SC_CLOSE), msg.wParam);
    EXPECT_EQ(0, msg.lParam);
    EXPECT_FALSE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));
}

TEST_F(CaptionButtonWindowTest, NonClientReleaseOnTheSameButtonPostsItsCommand)
{
    POINT pt = skintest::ScreenCentre(m_hWnd, m_pSkin->GetButtonRect(CWindowSkin::SLOT_MINIMIZE));
    SendMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTMINBUTTON, MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(CWindowSkin::SLOT_MINIMIZE, m_pSkin->GetPressedButton());
    SendMessageA(m_hWnd, WM_NCLBUTTONUP, HTCLOSE, MAKELPARAM(pt.x, pt.y));
    MSG msg;
    EXPECT_FALSE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));

    SendMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTMINBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageA(m_hWnd, WM_NCLBUTTONUP, HTMINBUTTON, MAKELPARAM(pt.x, pt.y));
    ASSERT_TRUE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));
    EXPECT_EQ(WPARAM(SC_MINIMIZE), msg.wParam);
}

TEST_F(CaptionButtonWindowTest, LostCaptureEndsThePressWithoutCommand)
{
    PressClose();
    ASSERT_EQ(m_hWnd, GetCapture());
    ReleaseCapture();
    EXPECT_EQ(CWindowSkin::NO_BUTTON, m_pSkin->GetPressedButton());
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).pressed);
    SendMessageA(m_hWnd, WM_NCLBUTTONUP, HTCLOSE, 0);
    MSG msg;
    EXPECT_FALSE(skintest::TakePosted(m_hWnd, WM_SYSCOMMAND, msg));
}

TEST_F(CaptionButtonWindowTest, HoverMakesOnlyTheButtonUnderTheMouseHot)
{
    SendMessageA(m_hWnd, WM_NCMOUSEMOVE, HTMAXBUTTON, 0);
    EXPECT_TRUE(m_pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).hot);
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).hot);
    SendMessageA(m_hWnd, WM_NCMOUSEMOVE, HTCAPTION, 0);
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_MAXIMIZE).hot);
}

TEST_F(CaptionButtonWindowTest, DisabledCloseIsNotPressed)
{
    EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    PressClose();
    EXPECT_FALSE(m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).enabled);
    EXPECT_EQ(CWindowSkin::NO_BUTTON, m_pSkin->GetPressedButton());
    EXPECT_EQ(3, m_pSkin->GetButton(CWindowSkin::SLOT_CLOSE).GetStateImage());
}
