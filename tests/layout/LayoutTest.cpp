#include "framework/Afx.h"
#include "layout/ApplyLayout.h"
#include "layout/ColumnPairLayout.h"
#include "layout/LayoutBorder.h"
#include "layout/LayoutDialog.h"
#include "layout/LayoutPair.h"
#include "layout/LayoutWindow.h"
#include "res/resource.h"
#include "tests/framework/TestDialogTemplate.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ZEV;

namespace {

// A hidden parent with a client area of the given size, and children in it.
class CHost
{
public:
    CHost(int cx, int cy)
    {
        RECT rc = {0, 0, cx, cy};
        ::AdjustWindowRectEx(&rc, WS_POPUP, FALSE, 0);
        m_hWnd = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, rc.right - rc.left,
                                   rc.bottom - rc.top, NULL, NULL, ::GetModuleHandleA(NULL), NULL);
    }
    ~CHost() { ::DestroyWindow(m_hWnd); }

    HWND AddChild(int x, int y, int cx, int cy)
    {
        return ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, x, y, cx, cy, m_hWnd, NULL,
                                 ::GetModuleHandleA(NULL), NULL);
    }

    HWND m_hWnd;
};

RECT ChildRect(HWND hChild)
{
    RECT rc;
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(NULL, ::GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

} // namespace

TEST(LayoutPairTest, HorizontalPairOfOddWidthGivesTheExtraPixelToTheSecondChild)
{
    CHost host(101, 40);
    HWND a = host.AddChild(0, 0, 10, 10);
    HWND b = host.AddChild(0, 0, 10, 10);
    CLayoutPair pair(TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(a)),
                     TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(b)));

    EXPECT_TRUE(ApplyLayout(host.m_hWnd, pair));
    RECT ra = ChildRect(a), rb = ChildRect(b);
    EXPECT_EQ(ra.left, 0);
    EXPECT_EQ(Width(ra), 50);
    EXPECT_EQ(rb.left, 50);
    EXPECT_EQ(Width(rb), 51);
    EXPECT_EQ(Height(ra), 40);
    EXPECT_EQ(Height(rb), 40);
}

TEST(LayoutPairTest, ChildWiderThanItsCentredCellSticksOutOnBothSides)
{
    CHost host(200, 40);
    HWND a = host.AddChild(0, 0, 20, 10);
    HWND b = host.AddChild(0, 0, 121, 10);
    CLayoutPair pair(TLayoutCell(LAYOUT_START, LAYOUT_START, CLayoutWindow(a)),
                     TLayoutCell(LAYOUT_CENTER, LAYOUT_START, CLayoutWindow(b)));

    ApplyLayout(host.m_hWnd, pair);
    // Cell 100..200, excess 21: half of it, truncated toward zero, is 10.
    RECT rb = ChildRect(b);
    EXPECT_EQ(rb.left, 90);
    EXPECT_EQ(rb.right, 211);
    EXPECT_EQ(Width(rb), 121) << "centre mode does not resize";
}

TEST(LayoutPairTest, ModeZeroPutsTheChildAtTheLeftAndCentresItVertically)
{
    CHost host(200, 100);
    HWND a = host.AddChild(30, 5, 50, 20);
    HWND b = host.AddChild(0, 0, 50, 21);
    CLayoutPair pair(TLayoutCell(LAYOUT_START_CENTER, LAYOUT_START_CENTER, CLayoutWindow(a)),
                     TLayoutCell(LAYOUT_END, LAYOUT_END, CLayoutWindow(b)));

    ApplyLayout(host.m_hWnd, pair);
    RECT ra = ChildRect(a), rb = ChildRect(b);
    EXPECT_EQ(ra.left, 0);
    EXPECT_EQ(ra.top, 40);
    EXPECT_EQ(rb.left, 150) << "end mode: right edge of the second cell";
    EXPECT_EQ(rb.top, 79) << "end mode: bottom edge";
}

TEST(LayoutPairTest, VerticalPairWithMarginsAndGapSplitsTheRemainingHeight)
{
    CHost host(100, 110);
    HWND a = host.AddChild(0, 0, 10, 10);
    HWND b = host.AddChild(0, 0, 10, 10);
    CLayoutPair pair(TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(a)),
                     TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(b)), false, 25);
    pair.SetMargins(5, 3, 7, 1);
    pair.SetGaps(0, 6);

    ApplyLayout(host.m_hWnd, pair);
    // Available: 100 - 12 wide, 110 - 4 - 6 = 100 high; 25 % of it first.
    RECT ra = ChildRect(a), rb = ChildRect(b);
    EXPECT_EQ(ra.left, 5);
    EXPECT_EQ(ra.top, 3);
    EXPECT_EQ(Width(ra), 88);
    EXPECT_EQ(Height(ra), 25);
    EXPECT_EQ(rb.top, 3 + 25 + 6);
    EXPECT_EQ(Height(rb), 75);
}

TEST(LayoutPairTest, PairMissingAChildHasNoMinimumOrPresentSize)
{
    CHost host(100, 100);
    HWND a = host.AddChild(0, 0, 10, 10);
    CLayoutPair pair;
    pair.SetFirst(TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(a)));
    int w = -1, h = -1;
    EXPECT_FALSE(pair.GetMinSize(w, h));
    EXPECT_FALSE(pair.GetSize(w, h));

    // Once given a size, the pair keeps answering it.
    EXPECT_TRUE(pair.SetSize(30, 40));
    EXPECT_TRUE(pair.GetSize(w, h));
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 40);
}

TEST(LayoutPairTest, MinimumSizeAddsWidthsGapAndMarginsAndTakesTheTallerChild)
{
    CHost host(300, 300);
    HWND a = host.AddChild(0, 0, 40, 12);
    HWND b = host.AddChild(0, 0, 30, 17);
    CLayoutPair pair(TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(a)),
                     TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(b)));
    pair.SetGaps(4, 9);
    pair.SetMargins(1, 2, 3, 4);
    int w, h;
    ASSERT_TRUE(pair.GetMinSize(w, h));
    EXPECT_EQ(w, 40 + 4 + 30 + 1 + 3);
    EXPECT_EQ(h, 17 + 2 + 4);
}

TEST(LayoutWindowTest, MinimumSizeIsTheControlSizeWhenTheItemWasMade)
{
    CHost host(300, 300);
    HWND a = host.AddChild(0, 0, 40, 12);
    CLayoutWindow item(a);
    ::SetWindowPos(a, NULL, 0, 0, 90, 90, SWP_NOZORDER | SWP_NOMOVE);
    int w, h;
    item.GetMinSize(w, h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 12);
    std::unique_ptr<ILayoutItem> clone(item.Clone());
    clone->GetMinSize(w, h);
    EXPECT_EQ(w, 90) << "a clone measures the control anew";

    CLayoutWindow gone(reinterpret_cast<HWND>(0x7FFF0));
    EXPECT_FALSE(gone.GetSize(w, h));
    EXPECT_EQ(w, 0);
    gone.GetMinSize(w, h);
    EXPECT_EQ(w, 0);
}

TEST(LayoutBorderTest, NorthLabelsAndCenterViewsAreArrangedAsTheMainWindowWants)
{
    CHost host(400, 300);
    // Made in reverse, to see the layout restack them in placement order.
    HWND view2 = host.AddChild(0, 0, 140, 100);
    HWND view1 = host.AddChild(0, 0, 146, 104);
    HWND label2 = host.AddChild(0, 0, 94, 13);
    HWND label1 = host.AddChild(0, 0, 136, 13);
    CLayoutBorder border = MakeColumnPairLayout(label1, label2, view1, view2);

    int w, h;
    ASSERT_TRUE(border.GetMinSize(w, h));
    EXPECT_EQ(w, 146 + 140) << "the wider of the two rows";
    EXPECT_EQ(h, 13 + 104);

    ASSERT_TRUE(ApplyLayout(host.m_hWnd, border, HWND_TOP));
    RECT l1 = ChildRect(label1), l2 = ChildRect(label2), v1 = ChildRect(view1), v2 = ChildRect(view2);
    EXPECT_EQ(l1.left, 0);
    EXPECT_EQ(l1.top, 0);
    EXPECT_EQ(Width(l1), 200);
    EXPECT_EQ(l2.left, 200);
    EXPECT_EQ(Width(l2), 200);
    EXPECT_EQ(Height(l2), 13);
    EXPECT_EQ(v1.left, 0);
    EXPECT_EQ(v1.top, 13);
    EXPECT_EQ(Width(v1), 200);
    EXPECT_EQ(Height(v1), 300 - 13);
    EXPECT_EQ(v2.left, 200);
    EXPECT_EQ(Height(v2), 287);

    std::vector<HWND> stacking;
    for (HWND c = ::GetWindow(host.m_hWnd, GW_CHILD); c != NULL; c = ::GetWindow(c, GW_HWNDNEXT))
        stacking.push_back(c);
    EXPECT_EQ(stacking, (std::vector<HWND>{label1, label2, view1, view2}));
}

TEST(LayoutBorderTest, EdgesTakeTheirExtentAndTheCenterTheRest)
{
    CHost host(300, 200);
    HWND n = host.AddChild(0, 0, 10, 20);
    HWND s = host.AddChild(0, 0, 10, 30);
    HWND w = host.AddChild(0, 0, 40, 10);
    HWND e = host.AddChild(0, 0, 50, 10);
    HWND c = host.AddChild(0, 0, 10, 10);
    CLayoutBorder border;
    border.SetMargins(2, 2, 2, 2);
    border.SetGaps(3, 4);
    border.SetCell(CLayoutBorder::NORTH, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(n)));
    border.SetCell(CLayoutBorder::SOUTH, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(s)));
    border.SetCell(CLayoutBorder::WEST, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(w)));
    border.SetCell(CLayoutBorder::EAST, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(e)));
    border.SetCell(CLayoutBorder::CENTER, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(c)));

    ApplyLayout(host.m_hWnd, border, HWND_BOTTOM);
    RECT rn = ChildRect(n), rs = ChildRect(s), rw = ChildRect(w), re = ChildRect(e), rc = ChildRect(c);
    EXPECT_EQ(rn.top, 2);
    EXPECT_EQ(Width(rn), 296);
    EXPECT_EQ(rs.top, 200 - 2 - 30);
    // Between north and south: 196 - 30 - 4 - 20 - 4 = 138 high, from y 26.
    EXPECT_EQ(rw.top, 26);
    EXPECT_EQ(Height(rw), 138);
    EXPECT_EQ(rw.left, 2);
    EXPECT_EQ(re.left, 2 + 296 - 50);
    EXPECT_EQ(rc.left, 2 + 40 + 3);
    EXPECT_EQ(Width(rc), 296 - 50 - 3 - 40 - 3);
    EXPECT_EQ(Height(rc), 138);

    std::vector<HWND> stacking;
    for (HWND h = ::GetWindow(host.m_hWnd, GW_CHILD); h != NULL; h = ::GetWindow(h, GW_HWNDNEXT))
        stacking.push_back(h);
    EXPECT_EQ(stacking, (std::vector<HWND>{n, s, w, e, c})) << "HWND_BOTTOM leaves the stacking alone";
}

namespace {

// Notes how the layout moved it.
class CMoveWatcher : public CWnd
{
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_WINDOWPOSCHANGING) {
            const WINDOWPOS* p = reinterpret_cast<const WINDOWPOS*>(lParam);
            if ((p->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
                ++m_nMoves;
                if ((p->flags & SWP_NOREDRAW) == 0)
                    ++m_nRedrawingMoves;
            }
        }
        if (message == WM_PAINT)
            ++m_nPaints;
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int m_nMoves = 0;
    int m_nRedrawingMoves = 0;
    int m_nPaints = 0;
};

// The main window's template and layout, with watchers on its two views.
class CMainLikeDlg : public CLayoutDialog
{
public:
    BOOL OnInitDialog() override
    {
        CLayoutDialog::OnInitDialog();
        m_view1.SubclassDlgItem(1000, this);
        m_view2.SubclassDlgItem(1001, this);
        m_sizeView1 = SizeOf(m_view1.m_hWnd);
        m_sizeView2 = SizeOf(m_view2.m_hWnd);
        m_sizeLabel1 = SizeOf(::GetDlgItem(m_hWnd, 1007));
        if (m_bWithRoot)
            InstallLayout(MakeColumnPairLayout(::GetDlgItem(m_hWnd, 1007), ::GetDlgItem(m_hWnd, 1008),
                                               m_view1.m_hWnd, m_view2.m_hWnd));
        else
            InstallLayout(CLayoutPair());
        return TRUE;
    }
    bool Open()
    {
        return Create(IDD_TAPLINAR_DIALOG) != FALSE;
    }
    static SIZE SizeOf(HWND hWnd)
    {
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        return {rc.right - rc.left, rc.bottom - rc.top};
    }
    CMoveWatcher m_view1;
    CMoveWatcher m_view2;
    // The controls as the template made them.
    SIZE m_sizeView1 = {}, m_sizeView2 = {}, m_sizeLabel1 = {};
    bool m_bWithRoot = true;
};

MINMAXINFO AskTrackingLimits(HWND hWnd)
{
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {5000, 5000};
    ::SendMessageA(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

} // namespace

TEST(LayoutDialogTest, MinimumTrackingSizeIsTheControlsSizePlusTheFrame)
{
    CMainLikeDlg dlg;
    ASSERT_TRUE(dlg.Open());
    RECT rcWindow, rcClient;
    dlg.GetWindowRect(&rcWindow);
    dlg.GetClientRect(&rcClient);
    int nFrameX = Width(rcWindow) - Width(rcClient), nFrameY = Height(rcWindow) - Height(rcClient);

    MINMAXINFO info = AskTrackingLimits(dlg.m_hWnd);
    EXPECT_EQ(info.ptMinTrackSize.x, dlg.m_sizeView1.cx + dlg.m_sizeView2.cx + nFrameX);
    EXPECT_EQ(info.ptMinTrackSize.y, dlg.m_sizeLabel1.cy + dlg.m_sizeView1.cy + nFrameY);
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000) << "free to grow";

    dlg.m_bGrowHorizontally = false;
    dlg.m_bGrowVertically = false;
    info = AskTrackingLimits(dlg.m_hWnd);
    EXPECT_EQ(info.ptMaxTrackSize.x, info.ptMinTrackSize.x);
    EXPECT_EQ(info.ptMaxTrackSize.y, info.ptMinTrackSize.y);
    dlg.DestroyWindow();
}

TEST(LayoutDialogTest, RootWithoutMinimumSizeSetsNoTrackingLimits)
{
    CMainLikeDlg dlg;
    dlg.m_bWithRoot = false;
    ASSERT_TRUE(dlg.Open());
    dlg.m_bGrowHorizontally = false;
    MINMAXINFO info = AskTrackingLimits(dlg.m_hWnd);
    EXPECT_EQ(info.ptMinTrackSize.x, 1);
    EXPECT_EQ(info.ptMinTrackSize.y, 1);
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000);
    dlg.DestroyWindow();
}

TEST(LayoutDialogTest, WideningByTwoNWidensEachViewByN)
{
    CMainLikeDlg dlg;
    ASSERT_TRUE(dlg.Open());
    RECT rc;
    dlg.GetWindowRect(&rc);
    MINMAXINFO info = AskTrackingLimits(dlg.m_hWnd);
    dlg.SetWindowPos(nullptr, 0, 0, info.ptMinTrackSize.x, Height(rc), SWP_NOMOVE | SWP_NOZORDER);
    RECT v1 = ChildRect(dlg.m_view1.m_hWnd), v2 = ChildRect(dlg.m_view2.m_hWnd), client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(Width(v1) + Width(v2), Width(client));
    EXPECT_EQ(Width(v1), Width(client) / 2);

    dlg.SetWindowPos(nullptr, 0, 0, info.ptMinTrackSize.x + 2 * 37, Height(rc), SWP_NOMOVE | SWP_NOZORDER);
    RECT w1 = ChildRect(dlg.m_view1.m_hWnd), w2 = ChildRect(dlg.m_view2.m_hWnd);
    EXPECT_EQ(Width(w1), Width(v1) + 37);
    EXPECT_EQ(Width(w2), Width(v2) + 37);
    EXPECT_EQ(w2.left, w1.right);
    dlg.DestroyWindow();
}

TEST(LayoutDialogTest, ResizingMovesWithoutRedrawingAndThenRepaintsEachControlOnce)
{
    CMainLikeDlg dlg;
    ASSERT_TRUE(dlg.Open());
    dlg.UpdateWindow();
    PumpUntil([] { return false; }, 200);
    dlg.m_view1.m_nMoves = dlg.m_view1.m_nRedrawingMoves = dlg.m_view1.m_nPaints = 0;

    RECT rc;
    dlg.GetWindowRect(&rc);
    dlg.SetWindowPos(nullptr, 0, 0, Width(rc) + 40, Height(rc) + 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(dlg.m_view1.m_nMoves, 0);
    EXPECT_EQ(dlg.m_view1.m_nRedrawingMoves, 0);
    // (The platform may paint a control that the growing window uncovers
    // while it is being resized; what counts is what follows the layout.)
    dlg.m_view1.m_nPaints = dlg.m_view2.m_nPaints = 0;

    // The whole window, children included, waits for one repaint.
    RECT rcUpdate, rcClient;
    ASSERT_TRUE(::GetUpdateRect(dlg.m_hWnd, &rcUpdate, FALSE));
    dlg.GetClientRect(&rcClient);
    EXPECT_TRUE(::EqualRect(&rcUpdate, &rcClient));
    EXPECT_TRUE(::GetUpdateRect(dlg.m_view1.m_hWnd, &rcUpdate, FALSE));
    PumpMessages();
    EXPECT_EQ(dlg.m_view1.m_nPaints, 1);
    EXPECT_EQ(dlg.m_view2.m_nPaints, 1);
    dlg.DestroyWindow();
}
