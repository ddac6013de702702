#include "framework/Afx.h"
#include "log/LogListBox.h"
#include "tests/framework/TestDialogTemplate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

// Counts the text buffers that are alive while a test asks for it, so that a
// test can tell whether the views freed what was posted to them.
namespace {
std::atomic<bool> g_bCountArrays(false);
std::atomic<long> g_nLiveArrays(0);
}

void* operator new[](size_t n)
{
    void* p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    if (g_bCountArrays)
        ++g_nLiveArrays;
    return p;
}

void operator delete[](void* p) noexcept
{
    if (p != nullptr && g_bCountArrays)
        --g_nLiveArrays;
    std::free(p);
}

void operator delete[](void* p, size_t) noexcept
{
    operator delete[](p);
}

namespace {

const DWORD LOG_VIEW_STYLE = 0x50A12911;  // as in the main window's template
const int VIEW_ID = 1000;

// Sits below the view object, in front of the system list box, and notes
// what reaches the system box.
struct TSystemSide {
    static WNDPROC s_pfnListBox;
    static std::vector<WPARAM> s_setRedraw;
    static std::vector<DWORD> s_paintTicks;
    static DWORD s_dwLastSetCount;

    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_SETREDRAW)
            s_setRedraw.push_back(wParam);
        if (message == WM_PAINT)
            s_paintTicks.push_back(::GetTickCount());
        if (message == LB_SETCOUNT)
            s_dwLastSetCount = ::GetTickCount();
        return ::CallWindowProcA(s_pfnListBox, hWnd, message, wParam, lParam);
    }
};
WNDPROC TSystemSide::s_pfnListBox = NULL;
std::vector<WPARAM> TSystemSide::s_setRedraw;
std::vector<DWORD> TSystemSide::s_paintTicks;
DWORD TSystemSide::s_dwLastSetCount = 0;

// The parent of the views; notes what they tell it.
class CViewHostDlg : public CDialog
{
public:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == LBN_SELCHANGE && reinterpret_cast<HWND>(lParam) == m_hView)
            m_selChangeIds.push_back(LOWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
    void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) override
    {
        if (pScrollBar != nullptr && pScrollBar->m_hWnd == m_hView)
            m_scrolls.push_back(MAKEWPARAM(nSBCode, nPos));
        CDialog::OnVScroll(nSBCode, nPos, pScrollBar);
    }
    HWND m_hView = NULL;
    std::vector<int> m_selChangeIds;
    std::vector<WPARAM> m_scrolls;
};

// One visible host for the whole suite, so that no test pays for a top-level
// window's coming and going. Each test gets a fresh view in it.
class LogListBoxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pTemplate = new CTestDialogTemplate(WS_POPUP | WS_VISIBLE | WS_CAPTION, 320, 200,
                                              L"log views", L"ＭＳ ゴシック", 9);
        s_pHost = new CViewHostDlg;
        s_pHost->CreateIndirect(s_pTemplate->Get());
    }
    static void TearDownTestSuite()
    {
        delete s_pHost;
        delete s_pTemplate;
    }

    void SetUp() override
    {
        ASSERT_NE(s_pHost->m_hWnd, (HWND)NULL);
        s_pHost->m_selChangeIds.clear();
        s_pHost->m_scrolls.clear();
        TSystemSide::s_setRedraw.clear();
        TSystemSide::s_paintTicks.clear();
        HWND hView = ::CreateWindowExA(0, "LISTBOX", "", LOG_VIEW_STYLE, 5, 5, 300, 160,
                                       s_pHost->m_hWnd, reinterpret_cast<HMENU>(VIEW_ID),
                                       ::GetModuleHandleA(NULL), NULL);
        ASSERT_NE(hView, (HWND)NULL);
        ::SendMessageA(hView, WM_SETFONT, reinterpret_cast<WPARAM>(s_pHost->GetFont()), FALSE);
        TSystemSide::s_pfnListBox = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TSystemSide::Proc)));
        m_view.SetMaxLines(100000);
        ASSERT_TRUE(m_view.SubclassWindow(hView));
        s_pHost->m_hView = hView;
    }

    void TearDown() override
    {
        if (m_view.m_hWnd != NULL)
            m_view.DestroyWindow();
        PumpMessages();
    }

    void PostAndPump(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines)
            ASSERT_TRUE(m_view.PostLine(-1, line.c_str()));
        PumpMessages();
    }

    int RedrawLock() { return static_cast<int>(m_view.SendMessage(WM_SETREDRAW, REDRAW_CTRL_QUERY, REDRAW_CTRL_MARK)); }

    // Waits until the lazy repaint after the last line has run.
    void WaitForDrawingOn() { PumpUntil([this] { return RedrawLock() == 0; }, 2000); }

    static std::string ClipboardText()
    {
        std::string text;
        if (!::OpenClipboard(NULL))
            return "<busy>";
        if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(::GlobalLock(h));
            ::GlobalUnlock(h);
        }
        ::CloseClipboard();
        return text;
    }

    static void PutOnClipboard(const char* text)
    {
        ASSERT_TRUE(::OpenClipboard(NULL));
        ::EmptyClipboard();
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
        std::strcpy(static_cast<char*>(::GlobalLock(h)), text);
        ::GlobalUnlock(h);
        ::SetClipboardData(CF_TEXT, h);
        ::CloseClipboard();
    }

    static CTestDialogTemplate* s_pTemplate;
    static CViewHostDlg* s_pHost;
    CLogListBox m_view;
};
CTestDialogTemplate* LogListBoxTest::s_pTemplate = nullptr;
CViewHostDlg* LogListBoxTest::s_pHost = nullptr;

std::vector<std::string> Numbered(const char* prefix, int nFrom, int nTo)
{
    std::vector<std::string> lines;
    for (int i = nFrom; i <= nTo; ++i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%s%d", prefix, i);
        lines.push_back(buffer);
    }
    return lines;
}

} // namespace

TEST_F(LogListBoxTest, FullStoreDropsItsOldestTwentyLines)
{
    for (int nFrom = 1; nFrom <= 100001; nFrom += 1000)
        PostAndPump(Numbered("line ", nFrom, std::min(nFrom + 999, 100001)));

    EXPECT_EQ(m_view.GetLineCount(), 99981);
    EXPECT_EQ(m_view.GetCount(), 99981) << "the system box knows the count";
    std::string text;
    m_view.GetLineText(0, text);
    EXPECT_EQ(text, "line 21");
    m_view.GetLineText(99980, text);
    EXPECT_EQ(text, "line 100001");
    RECT rc;
    m_view.GetClientRect(&rc);
    int nRows = rc.bottom / m_view.GetItemHeight(0);
    EXPECT_GE(m_view.GetTopIndex(), 99981 - nRows - 1) << "the newest line is shown";
}

TEST_F(LogListBoxTest, LinesPostedFromAnotherThreadArriveInOrder)
{
    HWND hView = m_view.m_hWnd;
    std::atomic<int> nFailed(0);
    std::thread poster([this, &nFailed] {
        for (const std::string& line : Numbered("t", 0, 1999))
            if (!m_view.PostLine(-1, line.c_str()))
                ++nFailed;
    });
    bool bAll = PumpUntil([this] { return m_view.GetLineCount() == 2000; }, 10000);
    poster.join();
    PumpMessages();
    ASSERT_TRUE(bAll);
    EXPECT_EQ(nFailed.load(), 0);
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        m_view.GetLineText(i, text);
        ASSERT_EQ(text, "t" + std::to_string(i));
    }
    EXPECT_EQ(m_view.m_hWnd, hView);
}

TEST_F(LogListBoxTest, RowsThatNeverStopComingStillLetTheWindowsTimersRun)
{
    std::atomic<bool> bRun(true);
    std::thread poster([this, &bRun] { while (bRun) m_view.PostLine(-1, "row"); });
    const UINT_PTR nTimer = ::SetTimer(NULL, 0, 50, NULL);
    bool bTimer = false;
    for (const DWORD dwStart = ::GetTickCount(); !bTimer && ::GetTickCount() - dwStart < 5000;) {
        MSG msg;
        if (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            bTimer = msg.message == WM_TIMER && msg.hwnd == NULL, ::DispatchMessageA(&msg);
    }
    bRun = false;
    poster.join();
    ::KillTimer(NULL, nTimer);
    EXPECT_TRUE(bTimer) << "a notice was always waiting: timers and paints never came";
}

TEST_F(LogListBoxTest, TextRequestsAreServedFromTheStoreAndRefusedPastTheEnd)
{
    PostAndPump({"first", "second row"});
    char buffer[32];
    EXPECT_EQ(m_view.SendMessage(LB_GETTEXTLEN, 1), 10);
    EXPECT_EQ(m_view.SendMessage(LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 10);
    EXPECT_STREQ(buffer, "second row");

    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(m_view.SendMessage(LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buffer)), -1);
    EXPECT_EQ(m_view.SendMessage(LB_GETTEXTLEN, 2), -1);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'X')) << "nothing written";
    EXPECT_EQ(m_view.CopyLineText(2, buffer), LB_ERR);

    // Another process's buffer would be too small for a row: a request sent
    // from another thread is refused and writes nothing.
    std::atomic<LRESULT> result(0);
    std::atomic<bool> bAnswered(false);
    std::thread asker([&] {
        result = m_view.SendMessage(LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer));
        bAnswered = true;
    });
    for (MSG msg; !bAnswered; Sleep(1)) {
        while (PeekMessage(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
    }
    asker.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'X'));

    std::string text = "kept";
    m_view.GetLineText(5, text);
    EXPECT_EQ(text, "kept") << "an index past the end leaves the text alone";
}

TEST_F(LogListBoxTest, DeletingAndResettingWorkOnTheStore)
{
    PostAndPump({"a", "b", "c"});
    EXPECT_EQ(m_view.SendMessage(LB_DELETESTRING, 3), 0);
    EXPECT_EQ(m_view.SendMessage(LB_DELETESTRING, 100), 0);
    EXPECT_EQ(m_view.GetLineCount(), 3) << "an index past the end changes nothing";
    EXPECT_EQ(m_view.GetCount(), 3);

    EXPECT_EQ(m_view.SendMessage(LB_DELETESTRING, 1), 0);
    std::string text;
    m_view.GetLineText(1, text);
    EXPECT_EQ(text, "c");
    EXPECT_EQ(m_view.GetCount(), 2);

    m_view.SendMessage(LB_RESETCONTENT);
    EXPECT_EQ(m_view.GetLineCount(), 0);
    EXPECT_EQ(m_view.GetCount(), 0);
}

TEST_F(LogListBoxTest, RedrawRequestsNestAndOnlyTheOuterPairReachesTheSystemBox)
{
    TSystemSide::s_setRedraw.clear();
    m_view.SendMessage(WM_SETREDRAW, FALSE);
    m_view.SendMessage(WM_SETREDRAW, FALSE);
    m_view.SendMessage(WM_SETREDRAW, TRUE);
    EXPECT_EQ(RedrawLock(), 1) << "drawing stays off";
    EXPECT_EQ(TSystemSide::s_setRedraw, (std::vector<WPARAM>{FALSE}));

    m_view.SendMessage(WM_SETREDRAW, TRUE);
    EXPECT_EQ(RedrawLock(), 0);
    m_view.SendMessage(WM_SETREDRAW, TRUE);
    EXPECT_EQ(RedrawLock(), 0) << "a further TRUE is ignored";
    EXPECT_EQ(TSystemSide::s_setRedraw, (std::vector<WPARAM>{FALSE, TRUE}));

    m_view.SendMessage(WM_SETREDRAW, FALSE);
    m_view.SendMessage(WM_SETREDRAW, FALSE);
    m_view.SendMessage(WM_SETREDRAW, REDRAW_CTRL_RESET, REDRAW_CTRL_MARK);
    EXPECT_EQ(RedrawLock(), 0);
    EXPECT_EQ(TSystemSide::s_setRedraw.back(), (WPARAM)TRUE);
}

TEST_F(LogListBoxTest, BurstOfLinesRepaintsEvery200MsAndOnceAfterItEnds)
{
    WaitForDrawingOn();
    TSystemSide::s_paintTicks.clear();
    std::atomic<bool> bDone(false);
    std::thread poster([&] {
        DWORD start = ::GetTickCount();
        for (int i = 0; ::GetTickCount() - start < 1000; ++i) {
            m_view.PostLine(-1, ("burst " + std::to_string(i)).c_str());
            ::Sleep(10);
        }
        bDone = true;
    });
    PumpUntil([&] { return bDone.load(); }, 5000);
    poster.join();
    PumpUntil([] { return false; }, 600);

    // Split the paints at the moment the view took its last line.
    DWORD dwLastLine = TSystemSide::s_dwLastSetCount;
    int nDuring = 0, nAfter = 0;
    DWORD dwLastAfter = 0;
    for (DWORD t : TSystemSide::s_paintTicks) {
        if (static_cast<LONG>(t - dwLastLine) <= 0) {
            ++nDuring;
        } else {
            ++nAfter;
            dwLastAfter = t - dwLastLine;
        }
    }
    // Every 200 ms while lines come; the closing paint about 100 ms after the
    // last one (a pending 200 ms tick, due any time in between, may come first).
    EXPECT_GE(nDuring, 2);
    EXPECT_LE(nDuring, 10);
    EXPECT_GE(nAfter, 1);
    EXPECT_LE(nAfter, 2);
    EXPECT_GE(dwLastAfter, 60u);
    EXPECT_LE(dwLastAfter, 400u);
    EXPECT_EQ(RedrawLock(), 0) << "drawing is back on";
}

TEST_F(LogListBoxTest, RowsAreDrawnInTheirColoursAndClearedRowsVanish)
{
    PostAndPump({"x", "y"});
    m_view.SetSel(1, TRUE);
    WaitForDrawingOn();
    m_view.UpdateWindow();
    RECT rcRow, rcSelected;
    m_view.GetItemRect(1, &rcSelected);
    rcRow = rcSelected;
    HDC hDC = ::GetDC(m_view.m_hWnd);
    COLORREF crSelected = ::GetPixel(hDC, rcRow.right - 4, (rcRow.top + rcRow.bottom) / 2);
    m_view.GetItemRect(0, &rcRow);
    COLORREF crPlain = ::GetPixel(hDC, rcRow.right - 4, (rcRow.top + rcRow.bottom) / 2);
    ::ReleaseDC(m_view.m_hWnd, hDC);
    EXPECT_EQ(crSelected, ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(crPlain, ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(m_view.GetItemHeight(0), 12) << "9 point rows at 96 dpi";

    // Rows that went away do not stay on screen.
    m_view.SendMessage(LB_RESETCONTENT);
    WaitForDrawingOn();
    m_view.UpdateWindow();
    rcRow = rcSelected;
    hDC = ::GetDC(m_view.m_hWnd);
    COLORREF crCleared = ::GetPixel(hDC, rcRow.right - 4, (rcRow.top + rcRow.bottom) / 2);
    ::ReleaseDC(m_view.m_hWnd, hDC);
    EXPECT_EQ(crCleared, ::GetSysColor(COLOR_WINDOW));
}

TEST_F(LogListBoxTest, RowsArrivingBetweenRepaintsLeaveTheScreenAsItWas)
{
    PostAndPump(Numbered("row ", 1, 40));
    WaitForDrawingOn();
    HDC hDC = ::GetDC(m_view.m_hWnd);
    auto screen = [hDC] { std::vector<COLORREF> p; for (int i = 0; i < 7200; ++i) p.push_back(::GetPixel(hDC, i % 48, i / 48)); return p; };
    const std::vector<COLORREF> shown = screen();
    PostAndPump(Numbered("row ", 41, 44));
    EXPECT_EQ(screen(), shown) << "scrolled before the repaint: the rows it uncovered show old rows";
    ::ReleaseDC(m_view.m_hWnd, hDC);
}

TEST_F(LogListBoxTest, CtrlCCopiesTheSelectedRowsInViewOrder)
{
    PostAndPump({"a", "b", "c", "d", "e"});
    PutOnClipboard("before");
    m_view.SendMessage(WM_CHAR, 3, 0x2E0001);
    EXPECT_EQ(ClipboardText(), "before") << "nothing selected: the clipboard is not touched";

    m_view.SetSel(4, TRUE);
    m_view.SetSel(1, TRUE);
    m_view.SetSel(3, TRUE);
    m_view.SendMessage(WM_CHAR, 3, 0x2E0002);
    EXPECT_EQ(ClipboardText(), "before") << "a repeated key press does not count";

    m_view.SendMessage(WM_CHAR, 3, 0x2E0001);
    EXPECT_EQ(ClipboardText(), "b\r\nd\r\ne\r\n");
}

TEST_F(LogListBoxTest, SelectionCaretAndAnchorStayOnTheirRowsWhenTheOldestRowsGo)
{
    m_view.SetMaxLines(20);   // a full box drops its oldest 5
    PostAndPump(Numbered("r", 0, 19));
    for (int i : {2, 6, 7, 12})
        m_view.SetSel(i, TRUE);
    m_view.SetAnchorIndex(6);
    m_view.SetCaretIndex(12, FALSE);
    PostAndPump(Numbered("r", 20, 21));

    m_view.SendMessage(WM_CHAR, 3, 0x2E0001);
    EXPECT_EQ(ClipboardText(), "r6\r\nr7\r\nr12\r\n") << "r2 went with the oldest rows";
    EXPECT_EQ(m_view.GetAnchorIndex(), 1);
    EXPECT_EQ(m_view.GetCaretIndex(), 7);
}

TEST_F(LogListBoxTest, CtrlASelectsEveryRowAndTellsTheParent)
{
    PostAndPump(Numbered("r", 1, 30));
    m_view.SendMessage(WM_CHAR, 1, 0x1E0001);
    EXPECT_EQ(m_view.GetSelCount(), 30);
    EXPECT_EQ(s_pHost->m_selChangeIds, (std::vector<int>{VIEW_ID}));
}

TEST_F(LogListBoxTest, ScrollBarAndWheelScrollingAreReportedToTheParent)
{
    PostAndPump(Numbered("s", 1, 200));
    WaitForDrawingOn();
    int nTop = m_view.GetTopIndex();
    ASSERT_GT(nTop, 100);

    m_view.SendMessage(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(m_view.GetTopIndex(), nTop - 1);
    ASSERT_EQ(s_pHost->m_scrolls.size(), 1u);
    EXPECT_EQ(s_pHost->m_scrolls[0], (WPARAM)SB_LINEUP);

    RECT rc;
    m_view.GetWindowRect(&rc);
    m_view.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(rc.left + 5, rc.top + 5));
    int nAfterWheel = m_view.GetTopIndex();
    EXPECT_LT(nAfterWheel, nTop - 1);
    ASSERT_EQ(s_pHost->m_scrolls.size(), 2u);
    EXPECT_EQ(LOWORD(s_pHost->m_scrolls[1]), SB_THUMBPOSITION);
    EXPECT_EQ(HIWORD(s_pHost->m_scrolls[1]), nAfterWheel);
    EXPECT_EQ(RedrawLock(), 0) << "scrolling leaves drawing on";
}

TEST_F(LogListBoxTest, TextsThatCannotBeShownAnyMoreAreFreed)
{
    HWND hView = m_view.m_hWnd;
    g_nLiveArrays = 0;
    g_bCountArrays = true;
    for (int i = 0; i < 5; ++i)
        m_view.PostLine(-1, "queued");
    long nQueued = g_nLiveArrays;
    m_view.DestroyWindow();
    long nAfterDestroy = g_nLiveArrays;
    // Without a window nothing is posted, not even to this thread's queue.
    bool bPostedWithoutWindow = m_view.PostLine(-1, "too late");
    long nAfterLatePost = g_nLiveArrays;
    g_bCountArrays = false;

    EXPECT_EQ(nQueued, 5);
    EXPECT_EQ(nAfterDestroy, 0);
    EXPECT_FALSE(bPostedWithoutWindow);
    EXPECT_EQ(nAfterLatePost, 0);
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, (HWND)-1, WM_POSTLINE, WM_POSTLINE, PM_NOREMOVE))
        << "no thread message";
    EXPECT_FALSE(::PeekMessageA(&msg, NULL, WM_POSTLINE, WM_POSTLINE, PM_NOREMOVE) && msg.hwnd == hView);
}
