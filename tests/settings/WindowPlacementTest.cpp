#include <gtest/gtest.h>

#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/WindowPlacement.h"
#include "tests/settings/ScratchIni.h"

using namespace ZEV;

namespace {

// A real top-level window, 300 x 200 at (10, 10), hidden at first.
class WindowPlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TaplinarPlacementTest";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, wc.lpszClassName, "placement", WS_OVERLAPPEDWINDOW, 10, 10,
                                 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, m_hWnd);
    }
    void TearDown() override { DestroyWindow(m_hWnd); }

    void WriteRecord(LONGLONG llLeft, LONGLONG llTop, LONGLONG llRight, LONGLONG llBottom,
                     DWORD dwShow, DWORD dwMaximize)
    {
        m_ini.Write("[main-dlg]\r\nValid=1\r\nSX=" + std::to_string(llLeft) + "\r\nSY=" +
                    std::to_string(llTop) + "\r\nEX=" + std::to_string(llRight) + "\r\nEY=" +
                    std::to_string(llBottom) + "\r\nShow=" + std::to_string(dwShow) +
                    "\r\nMaximize=" + std::to_string(dwMaximize) + "\r\n");
    }
    bool Restore(bool bRestoreSize, bool bApplyShow)
    {
        return RestoreWindowPlacement(m_profile.GetSection(INI_SECTION_MAIN_DLG), m_hWnd,
                                      bRestoreSize, bApplyShow);
    }
    std::string NormalRect() const
    {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        GetWindowPlacement(m_hWnd, &placement);
        const RECT& rc = placement.rcNormalPosition;
        return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
               std::to_string(rc.right) + "," + std::to_string(rc.bottom);
    }

    CScratchIni m_ini;
    CIniProfile m_profile{m_ini.GetPath()};
    HWND m_hWnd = nullptr;
};

}  // namespace

TEST_F(WindowPlacementTest, SavedRectangleIsRestoredAndShownOnlyWhenAsked)
{
    m_ini.Write("[main-dlg]\r\nValid=yes\r\nSX=50\r\n");  // "yes" reads as 0
    EXPECT_FALSE(Restore(true, true));
    EXPECT_EQ("10,10,310,210", NormalRect());

    WriteRecord(120, 80, 620, 330, 1, 0);
    EXPECT_TRUE(Restore(true, false));
    EXPECT_EQ("120,80,620,330", NormalRect());
    EXPECT_FALSE(IsWindowVisible(m_hWnd));

    WriteRecord(40, 30, 45, 35, 1, 0);
    EXPECT_TRUE(Restore(false, true));  // keeps its size, only moves
    EXPECT_EQ("40,30,540,280", NormalRect());
    EXPECT_TRUE(IsWindowVisible(m_hWnd));
}

TEST_F(WindowPlacementTest, MaximisedWindowKeepsItsNormalRectangleBehind)
{
    WriteRecord(100, 60, 500, 360, 1, 1);

    EXPECT_TRUE(Restore(true, false));
    EXPECT_TRUE(IsZoomed(m_hWnd));
    EXPECT_EQ("100,60,500,360", NormalRect());
    ShowWindow(m_hWnd, SW_RESTORE);
    RECT rcWindow = {};
    GetWindowRect(m_hWnd, &rcWindow);
    EXPECT_EQ(400, rcWindow.right - rcWindow.left);
    EXPECT_EQ(100, rcWindow.left);
}

TEST_F(WindowPlacementTest, ImplausibleRectanglesAreRefusedWithoutMaximising)
{
    const LONGLONG cases[][4] = {
        {0, 0, 4001, 100},             // wider than 4000
        {0, 0, 100, 4001},             // taller than 4000
        {500, 0, 100, 100},            // negative width
        {0, 0, 4294967396LL, 100},     // would wrap round to a width of 100
        {-4294967296LL, 0, 100, 100},  // no screen coordinate
    };
    for (const LONGLONG* pCase : cases) {
        WriteRecord(pCase[0], pCase[1], pCase[2], pCase[3], 1, 1);
        EXPECT_FALSE(Restore(true, true)) << pCase[0] << "," << pCase[2];
        EXPECT_FALSE(IsZoomed(m_hWnd));
        EXPECT_EQ("10,10,310,210", NormalRect());
    }
    WriteRecord(0, 0, 4000, 4000, 0, 0);
    EXPECT_TRUE(Restore(true, false));
}
