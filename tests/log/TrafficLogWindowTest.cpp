#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/Static.h"
#include "log/LogListBox.h"
#include "log/TrafficLog.h"
#include "log/WindowLogHost.h"
#include "serial/SerialPort.h"
#include "settings/ProfileKeys.h"
#include "support/Format.h"

namespace {

const char kMainClass[] = "TrafficLogWindowTestMain";
CTrafficLog* g_pLog = nullptr;

// What the log needs of the main window: its flush timer.
LRESULT CALLBACK MainProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_TIMER && wParam == IDT_FLUSH) {
        ::KillTimer(hWnd, IDT_FLUSH);
        if (g_pLog != nullptr)
            g_pLog->FlushPending();
        return 0;
    }
    return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

// afterEach runs after every message, where the user could see the views.
void PumpFor(DWORD dwMs, const std::function<void()>& afterEach = nullptr)
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (GetTickCount() - dwStart < dwMs && ::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            if (afterEach)
                afterEach();
        }
        const DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwMs)
            return;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, dwMs - dwElapsed, QS_ALLINPUT);
    }
}

// Pumps until no row is queued for the views any more.
void PumpUntilIdle()
{
    MSG msg;
    do {
        PumpFor(20);
    } while (::PeekMessageA(&msg, NULL, WM_POSTLINE, WM_POSTLINE, PM_NOREMOVE));
}

// Hands the views the rows already queued for them, and nothing else: no timer runs.
void DispatchQueuedRows()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, WM_POSTLINE, WM_POSTLINE, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

std::string Text(CLogListBox& view, int nIndex)
{
    std::string str;
    view.GetLineText(nIndex, str);
    return str;
}

struct CPaintedView : public CLogListBox {   // notes the rows it draws
    void DrawItem(LPDRAWITEMSTRUCT p) override { m_drawn.push_back(p->itemID), CLogListBox::DrawItem(p); }
    std::vector<UINT> m_drawn;
};

class TrafficLogWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = kMainClass;
        ::RegisterClassA(&wc);
        ASSERT_TRUE(m_main.CreateEx(0, kMainClass, "main", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300, NULL, NULL));
        const DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                              LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | LBS_NODATA;
        for (int i = 0; i < 2; ++i) {
            m_view[i].SetMaxLines(100000);
            const RECT rcView = {i * 300, 20, i * 300 + 290, 280};
            ASSERT_TRUE(m_view[i].Create(dwStyle, rcView, &m_main, 1000 + i));
            const RECT rcLabel = {i * 300, 0, i * 300 + 290, 18};
            ASSERT_TRUE(m_label[i].Create(" L H", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, rcLabel, &m_main, 1007 + i));
        }
        char szTemp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, szTemp);
        m_strIni = std::string(szTemp) + "trafficlog_window_test.ini";
        ::DeleteFileA(m_strIni.c_str());

        ZEV::TPortSetting setting;
        setting.strPortName = "\\\\.\\COM3";
        m_port[0].SetPortSetting(setting);
        setting.strPortName = "\\\\.\\COM4";
        m_port[1].SetPortSetting(setting);

        TLogWindows windows;
        windows.pMainWnd = &m_main;
        windows.pView[0] = &m_view[0];
        windows.pView[1] = &m_view[1];
        windows.pHeader[0] = &m_label[0];
        windows.pHeader[1] = &m_label[1];
        windows.pbMonitor = &m_bMonitor;
        windows.pPort[0] = &m_port[0];
        windows.pPort[1] = &m_port[1];
        m_host.Attach(windows);
        m_host.SetIniPath(m_strIni);
        m_log.SetHost(&m_host);
        g_pLog = &m_log;
    }

    void TearDown() override
    {
        g_pLog = nullptr;
        m_main.DestroyWindow();
        ::DeleteFileA(m_strIni.c_str());
    }

    void WriteSetting(const char* pszKey, const char* pszValue)
    {
        ::WritePrivateProfileStringA(ZEV::INI_SECTION_LOG_SETTING, pszKey, pszValue, m_strIni.c_str());
    }

    std::string Label(int i)
    {
        char sz[256] = {};
        ::GetWindowTextA(m_label[i].GetSafeHwnd(), sz, sizeof sz);
        return sz;
    }

    void Byte(int nPort, BYTE c) { m_log.OnLineData(nPort, 1, &c); }

    CWnd m_main;
    CPaintedView m_view[2];
    CStatic m_label[2];
    ZEV::CSerialPort m_port[2];
    std::atomic<bool> m_bMonitor{true};
    std::string m_strIni;
    CWindowLogHost m_host;
    CTrafficLog m_log;
};

TEST_F(TrafficLogWindowTest, FlushTimerOfTheWindowWritesTheBlockIntoBothViews)
{
    WriteSetting(ZEV::INI_KEY_DATA_WIDTH, "0");
    m_log.LoadDumpSettings();
    const bool cts[2] = {false, true};
    const bool dsr[2] = {true, false};
    m_log.MarkOpen(cts, dsr);
    Byte(0, 'H');
    Byte(0, 'i');
    PumpFor(400);

    ASSERT_EQ(3, m_view[0].GetCount());
    ASSERT_EQ(3, m_view[1].GetCount());
    EXPECT_EQ("----- Open -----", Text(m_view[0], 0));
    EXPECT_EQ("\x81\x40\x84\xAB|", Text(m_view[0], 1));
    EXPECT_EQ("\x84\xAB\x81\x40|", Text(m_view[1], 1));
    EXPECT_EQ("\x81\x40\x84\xAB|------| 0000 : 48 69 -- -- -- -- -- -- -- -- -- -- -- -- -- --  : Hi",
              Text(m_view[0], 2));
    EXPECT_EQ("\x84\xAB\x81\x40|------|", Text(m_view[1], 2));
    EXPECT_EQ(" L H     <\\\\.\\COM3>        DTR(LOW)", Label(0));
    EXPECT_EQ(" L H     <\\\\.\\COM4>        DTR(HI)", Label(1));
}

TEST_F(TrafficLogWindowTest, SettingsComeFromTheIniFile)
{
    m_log.LoadDumpSettings();
    EXPECT_EQ(8u, m_log.GetLineBytes());
    EXPECT_FALSE(m_log.IsFullDump());

    WriteSetting(ZEV::INI_KEY_DATA_WIDTH, "0");
    WriteSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, "1");
    WriteSetting(ZEV::INI_KEY_SIGNAL_MODE, "1");
    const bool cts[2] = {true, true};
    m_log.ApplyLogSettings(cts);
    EXPECT_EQ(16u, m_log.GetLineBytes());
    EXPECT_TRUE(m_log.IsFullDump());
    EXPECT_EQ("    |", m_log.GetSignalColumn(0));
    PumpUntilIdle();
    EXPECT_EQ(0, m_view[0].GetCount());
}

TEST_F(TrafficLogWindowTest, HeaderIsSetFromAnEventThreadWhileTheWindowThreadRuns)
{
    const bool off[2] = {false, false};
    m_log.MarkOpen(off, off);
    std::atomic<bool> bDone(false);
    std::thread events([&] {
        m_log.OnDsrChanged(1, true);
        bDone = true;
    });
    for (int i = 0; i < 100 && !bDone; ++i)
        PumpFor(20);
    events.join();
    EXPECT_EQ(" L H     <\\\\.\\COM4>        DTR(LOW)", Label(1));
}

TEST_F(TrafficLogWindowTest, ClearLogDropsRowsStillQueuedForTheViews)
{
    const bool off[2] = {false, false};
    m_log.MarkOpen(off, off);
    m_log.MarkPause();
    Byte(1, 'z');
    m_log.ClearLog();
    DispatchQueuedRows();
    EXPECT_EQ(0, m_view[0].GetCount());
    EXPECT_EQ(0, m_view[1].GetCount());

    PumpFor(300);
    ASSERT_EQ(1, m_view[0].GetCount());
    ASSERT_EQ(1, m_view[1].GetCount());
    EXPECT_EQ(0u, Text(m_view[1], 0).find("\x81\x40\x84\xAB|------| 0000 : 7A"));
}

// One relay's event thread: bytes with short pauses, now and then a CTS change.
void DriveEvents(CTrafficLog& log, int nPort, std::atomic<bool>& bRun)
{
    unsigned n = 0;
    while (bRun) {
        const BYTE c = static_cast<BYTE>('0' + n % 10);
        log.OnLineData(nPort, 1, &c);
        if (++n % 61 == 0)
            log.OnCtsChanged(nPort, n % 2 == 0);
        if (n % 7 == 0)
            Sleep(1);
    }
}

// The bytes of a view's dump rows, in view order.
std::string DumpedBytes(CLogListBox& view)
{
    std::string strBytes;
    for (int i = 0; i < view.GetCount(); ++i) {
        const std::string strRow = Text(view, i);
        if (strRow.size() < 22 || strRow.compare(17, 3, " : ") != 0)
            continue;
        for (size_t n = 20; n + 2 <= strRow.size() && strRow[n] != '-' && strRow[n] != ' '; n += 3)
            strBytes += static_cast<char>(std::strtoul(strRow.substr(n, 2).c_str(), nullptr, 16));
    }
    return strBytes;
}

TEST_F(TrafficLogWindowTest, ViewsStayInStepAndInOrderWhenTwoEventThreadsAndTheWindowThreadRun)
{
    WriteSetting(ZEV::INI_KEY_DATA_VIEW_TYPE, "1");
    m_log.LoadDumpSettings();
    m_main.ShowWindow(SW_SHOWNOACTIVATE);
    const bool off[2] = {false, false};
    m_log.MarkOpen(off, off);
    std::atomic<bool> bRun(true);
    std::thread port1(DriveEvents, std::ref(m_log), 0, std::ref(bRun));
    std::thread port2(DriveEvents, std::ref(m_log), 1, std::ref(bRun));
    int nApart = 0;
    auto checkStep = [&] {   // what both panes drew reaches the screen at once, after each message
        nApart += m_view[0].GetCount() != m_view[1].GetCount() || m_view[0].m_drawn != m_view[1].m_drawn;
    };
    const DWORD dwStart = GetTickCount();
    bool bCleared = false;
    // Three seconds, longer while a busy machine has yet to fill the views (until a deadline).
    auto more = [&] {
        const DWORD dwSpent = GetTickCount() - dwStart;
        return dwSpent < 3000 || (dwSpent < 30000 && (m_view[0].GetCount() <= 40 || DumpedBytes(m_view[1]).size() <= 200));
    };
    while (more()) {
        PumpFor(50, checkStep);
        m_log.MarkPause();
        if (!bCleared && GetTickCount() - dwStart > 300) {
            m_log.ClearLog();
            bCleared = true;
        }
    }
    EXPECT_FALSE(m_view[0].m_drawn.empty()) << "no paint during the flood";
    bRun = false;
    port1.join();
    port2.join();
    PumpFor(300);
    PumpUntilIdle();

    EXPECT_EQ(0, nApart) << "the views were seen out of step";
    const int nCount = m_view[0].GetCount();
    ASSERT_GT(nCount, 20);
    ASSERT_EQ(nCount, m_view[1].GetCount());
    for (int i = 0; i < nCount; ++i) {
        const std::string left = Text(m_view[0], i);
        const std::string right = Text(m_view[1], i);
        if (left.size() >= 12 && right.size() >= 12) {
            ASSERT_EQ(left.substr(5, 7), right.substr(5, 7)) << "row " << i;
        }
    }
    // Each port counts '0' to '9' over and over: its bytes come in order.
    for (int v = 0; v < 2; ++v) {
        const std::string strBytes = DumpedBytes(m_view[v]);
        ASSERT_GT(strBytes.size(), 100u);
        for (size_t i = 1; i < strBytes.size(); ++i)
            ASSERT_EQ((strBytes[i - 1] - '0' + 1) % 10, strBytes[i] - '0') << "view " << v << " byte " << i;
    }
}

TEST_F(TrafficLogWindowTest, AWindowThatTakesNoRowsHoldsTheNewestPairsUpToTheViewsLimit)
{
    m_view[0].SetMaxLines(100);
    m_view[1].SetMaxLines(100);
    const bool off[2] = {false, false};
    m_log.MarkOpen(off, off);
    // Bytes of the two ports in turn, each written out by the next, the last
    // one by a byte while monitoring is off: 252 pairs.
    std::thread events([this] {
        for (int i = 0; i < 250; ++i)
            Byte(i % 2, static_cast<BYTE>(i));
        m_bMonitor = false;
        Byte(0, 0);
    });
    events.join();
    EXPECT_EQ(100u, m_log.GetBacklogSize());

    PumpUntilIdle();
    ASSERT_EQ(100, m_view[0].GetCount());
    ASSERT_EQ(100, m_view[1].GetCount());
    for (int k = 0; k < 100; ++k) {
        const int nByte = 150 + k;
        EXPECT_EQ(12u, Text(m_view[1 - nByte % 2], k).size()) << "row " << k;
        EXPECT_EQ(ZEV::Format("%02X", nByte), Text(m_view[nByte % 2], k).substr(20, 2)) << "row " << k;
    }
}

} // namespace
