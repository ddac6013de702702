#include <gtest/gtest.h>

#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "settings/WindowPlacement.h"
#include "tests/settings/ScratchIni.h"

using namespace ZEV;

namespace {

const char WINDOW_CLASS[] = "TaplinarPlacementTest";

// A real top-level window, 300 x 200 at (10, 10), hidden at first.
class WindowPlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = WINDOW_CLASS;
        RegisterClassA(&wc);
        m_hWnd = CreateWindowExA(0, WINDOW_CLASS, "placement", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                 200, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, m_hWnd);
    }

    void TearDown() override { DestroyWindow(m_hWnd); }

    void WriteRecord(LONGLONG llLeft, LONGLONG llTop, LONGLONG llRight, LONGLONG llBottom,
                     DWORD dwShow, DWORD dwMaximize)
    {
        CProfileSection section = m_profile.GetSection(INI_SECTION_MAIN_DLG);
        section.WriteDword(INI_KEY_VALID, 1);
        section.WriteInt64(INI_KEY_SX, llLeft);
        section.WriteInt64(INI_KEY_SY, llTop);
        section.WriteInt64(INI_KEY_EX, llRight);
        section.WriteInt64(INI_KEY_EY, llBottom);
        section.WriteDword(INI_KEY_SHOW, dwShow);
        section.WriteDword(INI_KEY_MAXIMIZE, dwMaximize);
    }

    bool Restore(bool bRestoreSize, bool bApplyShow)
    {
        return RestoreWindowPlacement(m_profile.GetSection(INI_SECTION_MAIN_DLG), m_hWnd,
                                      bRestoreSize, bApplyShow);
    }

    RECT GetNormalRect() const
    {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        GetWindowPlacement(m_hWnd, &placement);
        return placement.rcNormalPosition;
    }

    static std::string Describe(const RECT& rc)
    {
        return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
               std::to_string(rc.right) + "," + std::to_string(rc.bottom);
    }

    CScratchIni m_ini;
    CIniProfile m_profile{m_ini.GetPath()};
    HWND m_hWnd = nullptr;
};

}  // namespace

TEST_F(WindowPlacementTest, WithoutAValidRecordNothingChanges)
{
    m_ini.Write("[main-dlg]\r\nValid=0\r\nSX=50\r\nMaximize=1\r\n");

    EXPECT_FALSE(Restore(true, true));
    EXPECT_EQ("10,10,310,210", Describe(GetNormalRect()));
    EXPECT_FALSE(IsZoomed(m_hWnd));
}

TEST_F(WindowPlacementTest, SavedRectangleIsRestoredAndTheWindowStaysHidden)
{
    WriteRecord(120, 80, 620, 330, 1, 0);

    EXPECT_TRUE(Restore(true, false));
    EXPECT_EQ("120,80,620,330", Describe(GetNormalRect()));
    EXPECT_FALSE(IsWindowVisible(m_hWnd));
}

TEST_F(WindowPlacementTest, WithoutRestoreSizeOnlyThePositionMoves)
{
    WriteRecord(40, 30, 45, 35, 1, 0);

    EXPECT_TRUE(Restore(false, false));
    EXPECT_EQ("40,30,340,230", Describe(GetNormalRect()));
}

TEST_F(WindowPlacementTest, ShowFlagIsAppliedOnlyWhenAsked)
{
    WriteRecord(0, 0, 300, 200, 1, 0);
    EXPECT_TRUE(Restore(true, true));
    EXPECT_TRUE(IsWindowVisible(m_hWnd));

    WriteRecord(0, 0, 300, 200, 0, 0);
    EXPECT_TRUE(Restore(true, true));
    EXPECT_FALSE(IsWindowVisible(m_hWnd));
}

TEST_F(WindowPlacementTest, MaximisedWindowKeepsItsNormalRectangleBehind)
{
    WriteRecord(100, 60, 500, 360, 1, 1);

    EXPECT_TRUE(Restore(true, false));
    EXPECT_TRUE(IsZoomed(m_hWnd));
    EXPECT_EQ("100,60,500,360", Describe(GetNormalRect()));

    ShowWindow(m_hWnd, SW_RESTORE);
    RECT rcWindow = {};
    GetWindowRect(m_hWnd, &rcWindow);
    EXPECT_EQ("100,60,500,360", Describe(rcWindow));
}

TEST_F(WindowPlacementTest, ImplausibleRectanglesAreRefusedWithoutMaximising)
{
    const LONGLONG cases[][4] = {
        {0, 0, 4001, 100},              // wider than 4000
        {0, 0, 100, 4001},              // taller than 4000
        {500, 0, 100, 100},             // negative width
        {0, 0, 4294967396LL, 100},      // would wrap round to a width of 100
        {-4294967296LL, 0, 100, 100},   // left outside any screen coordinate
    };
    for (const LONGLONG* pCase : cases) {
        WriteRecord(pCase[0], pCase[1], pCase[2], pCase[3], 1, 1);
        EXPECT_FALSE(Restore(true, true)) << pCase[0] << "," << pCase[2];
        EXPECT_FALSE(IsZoomed(m_hWnd));
        EXPECT_EQ("10,10,310,210", Describe(GetNormalRect()));
    }
    WriteRecord(0, 0, 4000, 4000, 0, 0);
    EXPECT_TRUE(Restore(true, false));
}

TEST_F(WindowPlacementTest, DamagedValuesFallBackAsNumbers)
{
    m_ini.Write("[main-dlg]\r\nValid=yes\r\n");
    EXPECT_FALSE(Restore(true, false));  // "yes" reads as 0

    m_ini.Write("[main-dlg]\r\nValid=1\r\nSX=\r\nSY=junk\r\nEX=400\r\nEY=300\r\n");
    EXPECT_TRUE(Restore(true, false));
    EXPECT_EQ("0,0,400,300", Describe(GetNormalRect()));
}
